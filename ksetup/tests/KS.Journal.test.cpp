// The journal's records, their text and the list helpers: no Windows
// interface, so these run in the host build as well.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KS.Journal.h"
#include "KS.Sys.Text.h"
#include "KS.Test.Text.h"

using namespace KS;
using KS::Test::U8;
using System::MakeRef;

namespace {

const std::string Header = "KSETUP-JOURNAL 1\r\n";

std::u16string FromUtf8(const std::string& bytes) {
    return DecodeUtf8(reinterpret_cast<const uint8_t*>(bytes.data()), ptrdiff_t(bytes.size()));
}

} // namespace

TEST(Journal, TextHoldsEveryRecordKindInItsExactBytes) {
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
    EXPECT_EQ(U8(journal->ToText()),
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

TEST(Journal, EmptyJournalIsTheHeaderAndParsesBackEmpty) {
    auto journal = MakeRef<TJournal>();
    EXPECT_EQ(U8(journal->ToText()), Header);
    auto parsed = MakeRef<TJournal>();
    parsed->AddFile(u"x");
    parsed->RebootNeeded = true;
    EXPECT_TRUE(parsed->ParseText(journal->ToText()));
    EXPECT_TRUE(parsed->Records().empty());
    EXPECT_FALSE(parsed->RebootNeeded);
}

TEST(Journal, ParsesTextLeniently) {
    struct Case {
        const char* Name;
        std::string Bytes;
        bool Loads;
        std::vector<std::u16string> Records;
    };
    const Case cases[] = {
        {"lf line ends", "KSETUP-JOURNAL 1\nF|a\nD|b\n", true, {u"F|a", u"D|b"}},
        {"cr line ends", "KSETUP-JOURNAL 1\rF|a\rD|b", true, {u"F|a", u"D|b"}},
        {"empty lines skipped", "KSETUP-JOURNAL 1\r\n\r\nF|a\r\n\n\nD|b\r\n", true, {u"F|a", u"D|b"}},
        {"utf-8", "KSETUP-JOURNAL 1\r\nF|\xC3\xA7\r\n", true, {u"F|ç"}},
        {"other version", "KSETUP-JOURNAL 7\r\nF|a\r\n", true, {u"F|a"}},
        {"records kept untrimmed and twice", "KSETUP-JOURNAL 1\r\n F|a \r\nF|a\r\nF|a\r\n", true,
         {u" F|a ", u"F|a", u"F|a"}},
        {"empty text", "", false, {}},
        {"no header", "F|a\r\nKSETUP-JOURNAL 1\r\n", false, {}},
        {"header in other case", "ksetup-journal 1\r\n", false, {}},
    };
    for (const Case& c : cases) {
        auto journal = MakeRef<TJournal>();
        journal->AddFile(u"left over");
        EXPECT_EQ(journal->ParseText(FromUtf8(c.Bytes)), c.Loads) << c.Name;
        EXPECT_EQ(journal->Records(), c.Records) << c.Name;
    }
}

TEST(Journal, ParsedRecordsCountForContains) {
    auto journal = MakeRef<TJournal>();
    ASSERT_TRUE(journal->ParseText(u"KSETUP-JOURNAL 1\r\nF|C:\\a\r\n"));
    journal->AddFile(u"c:\\A");
    EXPECT_EQ(journal->Records().size(), 1u);
}

TEST(Journal, RegViewText) {
    EXPECT_EQ(RegViewText(true), u"32");
    EXPECT_EQ(RegViewText(false), u"64");
}

TEST(JournalField, FieldsByNumberWithTheLastRunningToTheEnd) {
    const struct {
        const char16_t* Line;
        int N, Count;
        const char16_t* Field;
    } cases[] = {
        {u"RV|2|32|Software\\Dax|Versão", 1, 5, u"2"},
        {u"RV|2|32|Software\\Dax|Versão", 3, 5, u"Software\\Dax"},
        {u"RV|2|32|Software\\Dax|Versão", 4, 5, u"Versão"},
        {u"X|files|C:\\a|b", 1, 3, u"files"},
        {u"X|files|C:\\a|b", 2, 3, u"C:\\a|b"},
        {u"R|C:\\p.exe|a|C:\\w|runhidden|x", 4, 5, u"runhidden|x"},
        {u"R|C:\\p.exe|a||", 3, 5, u""},
        {u"R|C:\\p.exe", 2, 5, u""},
        {u"PA|1|64|Env|Path|C:\\bin", 5, 6, u"C:\\bin"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(U8(JournalField(c.Line, c.N, c.Count)), U8(c.Field)) << U8(c.Line) << " " << c.N;
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
        EXPECT_EQ(ListContainsItem(c.List, c.Item), c.Contains) << U8(c.List);
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
