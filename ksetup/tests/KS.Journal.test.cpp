#include <gtest/gtest.h>
#include <windows.h>

#include "KS.Journal.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Registry.h"
#include "KS.Test.Sandbox.h"
#include "TestSupport.h"
#include "System.Remainder.Os.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;

namespace {

const std::string Header = "KSETUP-JOURNAL 1\r\n";

// The value's type and text as the registry holds them.
struct TRawValue {
    DWORD Type = REG_NONE;
    std::u16string Text;
};

TRawValue ReadRaw(HKEY root, const std::u16string& key, const std::u16string& name) {
    TRawValue value;
    wchar_t buffer[512] = {};
    DWORD size = sizeof(buffer) - sizeof(wchar_t);
    if (RegGetValueW(root, System::WStr(key), System::WStr(name), RRF_RT_ANY | RRF_NOEXPAND, &value.Type, buffer,
                     &size) == ERROR_SUCCESS &&
        (value.Type == REG_SZ || value.Type == REG_EXPAND_SZ))
        value.Text = System::FromWStr(buffer);
    return value;
}

std::string Utf16LeWithMark(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

} // namespace

TEST(Journal, SavesEveryRecordKindInItsExactBytes) {
    TTestFolder folder;
    auto journal = MakeRef<TJournal>();
    journal->AddFile(u"C:\\Programas\\Ação\\a.txt");
    journal->AddDir(u"C:\\Programas\\Ação");
    journal->AddRegKey(2, false, u"Software\\Ostrel\\Dax");
    journal->AddRegKeyIfEmpty(1, true, u"Software\\Ostrel");
    journal->AddRegValue(0, true, u".dax", u"");
    journal->AddRegValue(3, false, u"S-1\\Environment", u"Nome|com barra");
    journal->AddDelete(u"filesandordirs", u"C:\\App\\cache\\*");
    journal->AddRun(u"C:\\App\\limpa.exe", u"/q", u"C:\\App", u"runhidden waituntilterminated");
    journal->SetMeta(u"AppName", u"Ostrel Dax");
    ASSERT_TRUE(journal->SaveToFile(folder / u"unins000.dat"));
    EXPECT_EQ(ReadBytes(folder / u"unins000.dat"),
              Header +
                  "F|C:\\Programas\\A\xC3\xA7\xC3\xA3o\\a.txt\r\n"
                  "D|C:\\Programas\\A\xC3\xA7\xC3\xA3o\r\n"
                  "RK|2|64|Software\\Ostrel\\Dax\r\n"
                  "RE|1|32|Software\\Ostrel\r\n"
                  "RV|0|32|.dax|\r\n"
                  "RV|3|64|S-1\\Environment|Nome|com barra\r\n"
                  "X|filesandordirs|C:\\App\\cache\\*\r\n"
                  "R|C:\\App\\limpa.exe|/q|C:\\App|runhidden waituntilterminated\r\n"
                  "M|AppName|Ostrel Dax\r\n");
    EXPECT_FALSE(FileExists(folder / u"unins000.dat.ksetup.tmp"));
}

TEST(Journal, ListItemRecordBytes) {
    TTestKey key;
    auto journal = MakeRef<TJournal>();
    ASSERT_TRUE(journal->AddRegListItem(1, false, key.Path(), u"Path", u"C:\\Dax\\Bin"));
    ASSERT_EQ(journal->Records().size(), 1u);
    EXPECT_EQ(journal->Records()[0], u"PA|1|64|" + key.Path() + u"|Path|C:\\Dax\\Bin");
}

TEST(Journal, WritersKeepOneRecordComparedWithAsciiCaseFolded) {
    auto journal = MakeRef<TJournal>();
    journal->AddFile(u"C:\\App\\Ação.txt");
    journal->AddFile(u"c:\\app\\AÇÃO.TXT");  // differs in non-ASCII case: another file
    journal->AddFile(u"C:\\APP\\Ação.TXT");  // same under ASCII folding
    journal->AddRegKey(1, true, u"Software\\X");
    journal->AddRegKey(1, false, u"Software\\X");  // another view is another key
    EXPECT_EQ(journal->Records(), (std::vector<std::u16string>{u"F|C:\\App\\Ação.txt", u"F|c:\\app\\AÇÃO.TXT",
                                                               u"RK|1|32|Software\\X", u"RK|1|64|Software\\X"}));
    EXPECT_TRUE(journal->Contains(u"f|c:\\APP\\ação.txt"));
    EXPECT_FALSE(journal->Contains(u"F|C:\\App"));
}

TEST(Journal, MetaIsSetInPlaceAndReadByExactName) {
    auto journal = MakeRef<TJournal>();
    journal->SetMeta(u"AppDir", u"C:\\Old");
    journal->AddFile(u"C:\\Old\\a");
    journal->SetMeta(u"AppDir", u"C:\\New");
    journal->SetMeta(u"Admin", u"1");
    EXPECT_EQ(journal->Records(),
              (std::vector<std::u16string>{u"M|AppDir|C:\\New", u"F|C:\\Old\\a", u"M|Admin|1"}));
    EXPECT_EQ(journal->GetMeta(u"AppDir", u"-"), u"C:\\New");
    EXPECT_EQ(journal->GetMeta(u"appdir", u"-"), u"-");
    EXPECT_EQ(journal->GetMeta(u"App", u"-"), u"-");
    // The old value no longer counts as present, the new one does.
    EXPECT_FALSE(journal->Contains(u"M|AppDir|C:\\Old"));
    EXPECT_TRUE(journal->Contains(u"M|APPDIR|c:\\new"));
}

TEST(Journal, MergeTakesNewRecordsButNoMetadata) {
    auto mine = MakeRef<TJournal>();
    mine->SetMeta(u"AppVersion", u"2.0");
    mine->AddFile(u"C:\\App\\novo.dll");
    auto old = MakeRef<TJournal>();
    old->SetMeta(u"AppVersion", u"1.0");
    old->AddFile(u"C:\\APP\\NOVO.DLL");
    old->AddFile(u"C:\\App\\velho.dll");
    old->AddDir(u"C:\\App");
    mine->MergeRecords(*old);
    EXPECT_EQ(mine->Records(), (std::vector<std::u16string>{u"M|AppVersion|2.0", u"F|C:\\App\\novo.dll",
                                                            u"F|C:\\App\\velho.dll", u"D|C:\\App"}));
}

TEST(Journal, EmptyJournalIsTheHeaderAndLoadsBackEmpty) {
    TTestFolder folder;
    auto journal = MakeRef<TJournal>();
    ASSERT_TRUE(journal->SaveToFile(folder / u"j.dat"));
    EXPECT_EQ(ReadBytes(folder / u"j.dat"), Header);
    auto loaded = MakeRef<TJournal>();
    loaded->AddFile(u"x");
    loaded->RebootNeeded = true;
    EXPECT_TRUE(loaded->LoadFromFile(folder / u"j.dat"));
    EXPECT_TRUE(loaded->Records().empty());
    EXPECT_FALSE(loaded->RebootNeeded);
}

TEST(Journal, LoadsLeniently) {
    struct Case {
        const char* Name;
        std::string Bytes;
        bool Loads;
        std::vector<std::u16string> Records;
    };
    const std::string utf16 = Utf16LeWithMark(u"KSETUP-JOURNAL 1\nD|ç");
    const Case cases[] = {
        {"lf line ends", "KSETUP-JOURNAL 1\nF|a\nD|b\n", true, {u"F|a", u"D|b"}},
        {"cr line ends", "KSETUP-JOURNAL 1\rF|a\rD|b", true, {u"F|a", u"D|b"}},
        {"empty lines skipped", "KSETUP-JOURNAL 1\r\n\r\nF|a\r\n\n\nD|b\r\n", true, {u"F|a", u"D|b"}},
        {"utf-8 mark", "\xEF\xBB\xBFKSETUP-JOURNAL 1\r\nF|\xC3\xA7\r\n", true, {u"F|ç"}},
        {"utf-16 mark", utf16, true, {u"D|ç"}},
        {"other version", "KSETUP-JOURNAL 7\r\nF|a\r\n", true, {u"F|a"}},
        {"records kept untrimmed and twice", "KSETUP-JOURNAL 1\r\n F|a \r\nF|a\r\nF|a\r\n", true,
         {u" F|a ", u"F|a", u"F|a"}},
        {"empty file", "", false, {}},
        {"no header", "F|a\r\nKSETUP-JOURNAL 1\r\n", false, {}},
        {"header in other case", "ksetup-journal 1\r\n", false, {}},
    };
    TTestFolder folder;
    for (const Case& c : cases) {
        ASSERT_TRUE(WriteBytes(folder / u"j.dat", c.Bytes));
        auto journal = MakeRef<TJournal>();
        journal->AddFile(u"left over");
        EXPECT_EQ(journal->LoadFromFile(folder / u"j.dat"), c.Loads) << c.Name;
        EXPECT_EQ(journal->Records(), c.Records) << c.Name;
    }
    auto journal = MakeRef<TJournal>();
    EXPECT_FALSE(journal->LoadFromFile(folder / u"missing.dat"));
    EXPECT_EQ(LastOsError(), uint32_t{ERROR_FILE_NOT_FOUND});
}

TEST(Journal, LoadedRecordsCountForContains) {
    TTestFolder folder;
    ASSERT_TRUE(WriteBytes(folder / u"j.dat", "KSETUP-JOURNAL 1\r\nF|C:\\a\r\n"));
    auto journal = MakeRef<TJournal>();
    ASSERT_TRUE(journal->LoadFromFile(folder / u"j.dat"));
    journal->AddFile(u"c:\\A");
    EXPECT_EQ(journal->Records().size(), 1u);
}

TEST(Journal, FailedSaveKeepsTheOldJournalWhole) {
    TTestFolder folder;
    const std::u16string path = folder / u"unins000.dat";
    auto old = MakeRef<TJournal>();
    old->AddFile(u"C:\\App\\a");
    ASSERT_TRUE(old->SaveToFile(path));
    const std::string before = ReadBytes(path);

    // The temporary file beside the journal cannot be made.
    ASSERT_TRUE(CreateDirectoryW(System::WStr(path + u".ksetup.tmp"), nullptr));
    auto newer = MakeRef<TJournal>();
    newer->AddFile(u"C:\\App\\b");
    SetLastOsError(0);
    EXPECT_FALSE(newer->SaveToFile(path));
    EXPECT_NE(LastOsError(), 0u);
    EXPECT_EQ(ReadBytes(path), before);
    RemoveDirectoryW(System::WStr(path + u".ksetup.tmp"));

    // A journal that cannot be replaced (held open by someone who does not
    // share its deletion) stays as it was, and no temporary file is left.
    const HANDLE held = CreateFileW(System::WStr(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    SetLastOsError(0);
    EXPECT_FALSE(newer->SaveToFile(path));
    EXPECT_NE(LastOsError(), 0u);
    CloseHandle(held);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_FALSE(FileExists(path + u".ksetup.tmp"));

    EXPECT_FALSE(newer->SaveToFile(folder / u"no such folder\\unins000.dat"));
    EXPECT_EQ(LastOsError(), uint32_t{ERROR_PATH_NOT_FOUND});
}

TEST(Journal, RegViewText) {
    EXPECT_EQ(RegViewText(true), u"32");
    EXPECT_EQ(RegViewText(false), u"64");
}

TEST(JournalList, ContainsItemIgnoringBlanksTrailingBackslashesAndAsciiCase) {
    struct Case {
        const char16_t* List;
        const char16_t* Item;
        bool Contains;
    };
    const Case cases[] = {
        {u"C:\\A;C:\\Dax\\Bin;C:\\B", u"C:\\Dax\\Bin", true},
        {u"C:\\A; c:\\dax\\bin\\ ;C:\\B", u"C:\\Dax\\Bin", true},
        {u"C:\\Dax\\Bin\\\\", u"C:\\DAX\\BIN\\", true},
        {u"C:\\Dax\\Binário", u"C:\\Dax\\Bin", false},
        {u"C:\\Dax\\BINÁRIO", u"C:\\Dax\\Binário", false},
        {u"", u"C:\\Dax", false},
        {u"C:\\Dax", u" C:\\Dax", false},  // the item itself is not trimmed
        {u"C:\\;D:\\", u"C:\\", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ListContainsItem(c.List, c.Item), c.Contains) << KsTest::Narrow(c.List);
}

TEST(JournalList, RemoveItemDropsMatchesAndEmptyElements) {
    struct Case {
        const char16_t* List;
        const char16_t* Item;
        const char16_t* Result;
    };
    const Case cases[] = {
        {u"C:\\A;C:\\Dax\\Bin;C:\\B", u"C:\\Dax\\Bin", u"C:\\A;C:\\B"},
        {u"C:\\Dax\\Bin\\; C:\\A ;c:\\dax\\bin", u"C:\\Dax\\Bin", u" C:\\A "},
        {u"C:\\A;;C:\\B; ;", u"C:\\X", u"C:\\A;C:\\B"},
        {u"C:\\Dax\\Bin", u"C:\\Dax\\Bin", u""},
        {u"", u"C:\\Dax", u""},
    };
    for (const Case& c : cases) EXPECT_EQ(ListRemoveItem(c.List, c.Item), c.Result);
}

TEST(JournalList, AddItemToRealRegistryValues) {
    struct Case {
        const char* Name;
        const char16_t* Before;  // null: no value
        const char16_t* After;
    };
    const Case cases[] = {
        {"no value", nullptr, u"C:\\Dax\\Bin"},
        {"empty value", u"", u"C:\\Dax\\Bin"},
        {"blank value", u"   ", u"C:\\Dax\\Bin"},
        {"plain list", u"C:\\A;C:\\B", u"C:\\A;C:\\B;C:\\Dax\\Bin"},
        {"list ending in a separator", u"C:\\A;", u"C:\\A;C:\\Dax\\Bin"},
        {"list ending in a blank", u"C:\\A; ", u"C:\\A; ;C:\\Dax\\Bin"},
    };
    TTestKey key;
    for (const Case& c : cases) {
        DeleteRegValue(1, key.Path(), u"Path", false);
        if (c.Before) {
            ASSERT_TRUE(WriteRegString(1, key.Path(), u"Path", c.Before, false, false));
        }
        auto journal = MakeRef<TJournal>();
        EXPECT_TRUE(journal->AddRegListItem(1, false, key.Path(), u"Path", u"C:\\Dax\\Bin")) << c.Name;
        const TRawValue value = ReadRaw(HKEY_CURRENT_USER, key.Path(), u"Path");
        EXPECT_EQ(value.Type, DWORD{REG_EXPAND_SZ}) << c.Name;
        EXPECT_EQ(value.Text, c.After) << c.Name;
        EXPECT_EQ(journal->Records(),
                  (std::vector<std::u16string>{u"PA|1|64|" + key.Path() + u"|Path|C:\\Dax\\Bin"}))
            << c.Name;
    }
}

TEST(JournalList, ItemAlreadyListedIsNeitherWrittenNorRecorded) {
    TTestKey key;
    ASSERT_TRUE(WriteRegString(1, key.Path(), u"Path", u"C:\\A;c:\\dax\\bin\\;C:\\B", false, true));
    auto journal = MakeRef<TJournal>();
    EXPECT_TRUE(journal->AddRegListItem(1, true, key.Path(), u"Path", u"C:\\Dax\\Bin"));
    const TRawValue value = ReadRaw(HKEY_CURRENT_USER, key.Path(), u"Path");
    EXPECT_EQ(value.Type, DWORD{REG_SZ});  // not rewritten
    EXPECT_EQ(value.Text, u"C:\\A;c:\\dax\\bin\\;C:\\B");
    EXPECT_TRUE(journal->Records().empty());
}

TEST(JournalList, UnreadableValueIsNeverReplacedByTheItemAlone) {
    TTestKey key;
    ASSERT_TRUE(WriteRegDword(1, key.Path(), u"Path", 7, false));
    auto journal = MakeRef<TJournal>();
    EXPECT_FALSE(journal->AddRegListItem(1, false, key.Path(), u"Path", u"C:\\Dax\\Bin"));
    EXPECT_EQ(LastOsError(), uint32_t{ERROR_DATATYPE_MISMATCH});
    DWORD type = 0, data = 0, size = sizeof(data);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, System::WStr(key.Path()), L"Path", RRF_RT_ANY, &type, &data, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD{REG_DWORD});
    EXPECT_EQ(data, 7u);
    EXPECT_TRUE(journal->Records().empty());
}
