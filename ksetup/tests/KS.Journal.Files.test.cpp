// The journal's file: what a save writes and what a load accepts.
#include <gtest/gtest.h>
#include <windows.h>

#include "KS.Journal.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Test.Sandbox.h"
#include "TestSupport.h"
#include "System.Remainder.Os.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;

namespace {

const std::string Header = "KSETUP-JOURNAL 1\r\n";

std::string Utf16LeWithMark(const std::u16string& text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

} // namespace

TEST(JournalFile, SavesTheTextInUtf8WithoutMark) {
    TTestFolder folder;
    auto journal = MakeRef<TJournal>();
    journal->AddFile(u"C:\\Programas\\Ação\\a.txt");
    journal->AddRegValue(3, false, u"S-1\\Environment", u"Nome|com barra");
    journal->SetMeta(u"AppName", u"Ostrel Dax");
    ASSERT_TRUE(journal->SaveToFile(folder / u"unins000.dat"));
    EXPECT_EQ(ReadBytes(folder / u"unins000.dat"),
              Header +
                  "F|C:\\Programas\\A\xC3\xA7\xC3\xA3o\\a.txt\r\n"
                  "RV|3|64|S-1\\Environment|Nome|com barra\r\n"
                  "M|AppName|Ostrel Dax\r\n");
    EXPECT_FALSE(FileExists(folder / u"unins000.dat.ksetup.tmp"));
}

TEST(JournalFile, EmptyJournalIsTheHeaderAndLoadsBackEmpty) {
    TTestFolder folder;
    auto journal = MakeRef<TJournal>();
    ASSERT_TRUE(journal->SaveToFile(folder / u"j.dat"));
    EXPECT_EQ(ReadBytes(folder / u"j.dat"), Header);
    auto loaded = MakeRef<TJournal>();
    loaded->AddFile(u"x");
    EXPECT_TRUE(loaded->LoadFromFile(folder / u"j.dat"));
    EXPECT_TRUE(loaded->Records().empty());
}

TEST(JournalFile, LoadsAnyByteOrderMark) {
    const struct {
        const char* Name;
        std::string Bytes;
    } cases[] = {
        {"no mark", "KSETUP-JOURNAL 1\nF|\xC3\xA7\n"},
        {"utf-8 mark", "\xEF\xBB\xBFKSETUP-JOURNAL 1\r\nF|\xC3\xA7\r\n"},
        {"utf-16 mark", Utf16LeWithMark(u"KSETUP-JOURNAL 1\nF|ç")},
    };
    TTestFolder folder;
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteBytes(folder / u"j.dat", c.Bytes));
        auto journal = MakeRef<TJournal>();
        journal->AddFile(u"left over");
        EXPECT_TRUE(journal->LoadFromFile(folder / u"j.dat")) << c.Name;
        EXPECT_EQ(journal->Records(), std::vector<std::u16string>{u"F|ç"}) << c.Name;
    }
    // A file that cannot be read still leaves the journal empty.
    auto journal = MakeRef<TJournal>();
    journal->AddFile(u"left over");
    journal->RebootNeeded = true;
    EXPECT_FALSE(journal->LoadFromFile(folder / u"missing.dat"));
    EXPECT_EQ(LastOsError(), uint32_t{ERROR_FILE_NOT_FOUND});
    EXPECT_TRUE(journal->Records().empty());
    EXPECT_FALSE(journal->RebootNeeded);
}

TEST(JournalFile, FailedSaveKeepsTheOldJournalWhole) {
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
