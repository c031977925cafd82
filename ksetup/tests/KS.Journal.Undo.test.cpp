#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "KS.Journal.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Text.h"
#include "KS.Test.Inspect.h"
#include "KS.Test.Observer.h"
#include "KS.Test.Sandbox.h"
#include "System.Remainder.Encoding.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;
using System::TRef;
using KsTest::Narrow;
using TKind = TRecordingObserver::TKind;

namespace {

constexpr int32_t HKCU = 1;

// A journal as the uninstaller gets it: loaded from its file.
TRef<TJournal> LoadedJournal(const std::u16string& path, const std::vector<std::u16string>& records) {
    std::u16string text = u"KSETUP-JOURNAL 1\r\n";
    for (const std::u16string& record : records) text += record + u"\r\n";
    const System::TBytes bytes = StringToUtf8Bytes(text);
    EXPECT_TRUE(WriteFileBytes(path, bytes.data(), static_cast<int64_t>(bytes.size())));
    auto journal = MakeRef<TJournal>();
    EXPECT_TRUE(journal->LoadFromFile(path));
    return journal;
}

std::u16string ChildReport(const std::u16string& path) {
    std::u16string text;
    ReadTextFile(path, text);
    return text;
}

} // namespace

TEST(JournalUndo, PassesInTheirOrder) {
    TTestFolder folder;
    TTestKey key;
    const std::u16string a = folder / u"a";
    ASSERT_TRUE(CreateDirPath(a + u"\\b"));
    ASSERT_TRUE(WriteBytes(a + u"\\b\\one.txt", "1"));
    ASSERT_TRUE(WriteBytes(a + u"\\two.txt", "2"));
    ASSERT_TRUE(WriteBytes(folder / u"x.log", "log"));
    ASSERT_TRUE(WriteRegString(HKCU, key / u"Owned\\Sub", u"v", u"1", false, true));
    ASSERT_TRUE(WriteRegString(HKCU, key / u"Empty", u"v", u"1", false, true));
    ASSERT_TRUE(WriteRegString(HKCU, key / u"Env", u"Path", u"C:\\keep;" + a, true, true));
    const std::u16string k = u"|1|32|" + key.Path();
    // The value of "Empty" is recorded after its key: only a backward pass
    // finds the key empty. The folders are recorded parent last, and a
    // list value that is gone changes nothing.
    auto journal = LoadedJournal(folder / u"unins000.dat",
                                 {u"D|" + a + u"\\b", u"D|" + a, u"F|" + a + u"\\b\\one.txt", u"F|" + a + u"\\two.txt",
                                  u"X|files|" + folder.Path() + u"\\*.LOG", u"RK" + k + u"\\Owned",
                                  u"RE" + k + u"\\Empty", u"RV" + k + u"\\Empty|v", u"PA" + k + u"\\Env|Path|" + a,
                                  u"PA" + k + u"\\Gone|Path|" + a, u"M|AppName|Dax"});
    auto observer = MakeRef<TRecordingObserver>();
    std::vector<std::u16string> notes;
    EXPECT_TRUE(journal->Undo(*observer, false, [&notes](const std::u16string& text) { notes.push_back(text); }));

    EXPECT_FALSE(IsExistingFolder(a));
    EXPECT_FALSE(FileExists(folder / u"x.log"));
    EXPECT_FALSE(RegKeyPresent(HKCU, key / u"Owned", true));
    EXPECT_FALSE(RegKeyPresent(HKCU, key / u"Empty", true));
    std::u16string path;
    EXPECT_TRUE(ReadRegString(HKCU, key / u"Env", u"Path", true, path));
    EXPECT_EQ(path, u"C:\\keep");
    EXPECT_FALSE(RegKeyPresent(HKCU, key / u"Gone", true));
    EXPECT_TRUE(notes.empty());

    EXPECT_EQ(observer->StatusTexts(), (std::vector<std::u16string>{u"Removendo arquivos...", u"Limpando o registro..."}));
    const auto progress = observer->Of(TKind::Progress);
    ASSERT_EQ(progress.size(), 3u);
    EXPECT_EQ(progress[0].Done, 0);
    EXPECT_EQ(progress[1].Done, 1);
    EXPECT_EQ(progress[2].Done, 11);
    EXPECT_EQ(progress[2].Total, 11);
}

TEST(JournalUndo, CancelStopsAtOnceNewestFileFirst) {
    TTestFolder folder;
    TTestKey key;
    ASSERT_TRUE(WriteBytes(folder / u"old.txt", "1"));
    ASSERT_TRUE(WriteBytes(folder / u"new.txt", "2"));
    ASSERT_TRUE(CreateDirPath(folder / u"d"));
    ASSERT_TRUE(WriteRegString(HKCU, key / u"Owned", u"v", u"1", false, true));
    auto journal = LoadedJournal(folder / u"unins000.dat",
                                 {u"D|" + (folder / u"d"), u"F|" + (folder / u"old.txt"), u"F|" + (folder / u"new.txt"),
                                  u"RK|1|32|" + key / u"Owned"});
    auto observer = MakeRef<TRecordingObserver>();
    observer->CancelAtPoll = 2;
    EXPECT_FALSE(journal->Undo(*observer, false));
    EXPECT_FALSE(FileExists(folder / u"new.txt"));
    EXPECT_TRUE(FileExists(folder / u"old.txt"));
    EXPECT_TRUE(IsExistingFolder(folder / u"d"));
    EXPECT_TRUE(RegKeyPresent(HKCU, key / u"Owned", true));
    EXPECT_EQ(observer->LastStatus(), u"Removendo arquivos...");
}

TEST(JournalUndo, KeyRecordsThatWouldNameAWholeRootAreSkippedAndLogged) {
    TTestFolder folder;
    TTestKey key;
    ASSERT_TRUE(WriteRegString(HKCU, key / u"Kept", u"v", u"1", false, true));
    const std::vector<std::u16string> refused = {u"RK|1|32|", u"RE|1|64|", u"RK|7|32|" + key / u"Kept",
                                                 u"RK|-1|32|" + key / u"Kept"};
    auto journal = LoadedJournal(folder / u"unins000.dat", refused);
    auto observer = MakeRef<TRecordingObserver>();
    std::vector<std::u16string> notes;
    EXPECT_TRUE(journal->Undo(*observer, false, [&notes](const std::u16string& text) { notes.push_back(text); }));
    EXPECT_TRUE(RegKeyPresent(HKCU, key / u"Kept", true));
    ASSERT_EQ(notes.size(), refused.size());
    for (size_t i = 0; i < refused.size(); ++i)
        EXPECT_NE(notes[i].find(refused[refused.size() - 1 - i]), std::u16string::npos) << Narrow(notes[i]);
}

TEST(JournalUndo, ProgramsRunInOrderHiddenOrShownAndAreWaitedFor) {
    TTestFolder folder;
    const std::u16string child = KsTest::ChildExePath();
    auto journal = LoadedJournal(
        folder / u"unins000.dat",
        {u"R|" + child + u"|report-later " + (folder / u"first.txt") + u" 0 400|" + folder.Path() + u"|runhidden",
         u"R|" + child + u"|report " + (folder / u"second.txt") + u" 0||"});
    auto observer = MakeRef<TRecordingObserver>();
    EXPECT_TRUE(journal->Undo(*observer, true));
    EXPECT_NE(ChildReport(folder / u"first.txt").find(u"show=0"), std::u16string::npos);
    EXPECT_NE(ChildReport(folder / u"second.txt").find(u"show=1"), std::u16string::npos);
    const std::vector<std::u16string> texts = observer->StatusTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], u"Executando ksetup_test_child.exe...");
    // Without the run flag nothing is started.
    DeleteFileW(System::WStr(folder / u"second.txt"));
    EXPECT_TRUE(journal->Undo(*observer, false));
    EXPECT_FALSE(FileExists(folder / u"second.txt"));
}

TEST(JournalUndo, RecordsOfWhatExistedBeforeTheRunAreLeftAlone) {
    TTestFolder folder;
    ASSERT_TRUE(WriteBytes(folder / u"before.txt", "antes"));
    ASSERT_TRUE(WriteBytes(folder / u"made.txt", "novo"));
    TJournal journal;
    journal.AddFile(folder / u"before.txt", true);
    journal.AddFile(folder / u"made.txt");
    // Marked only when the record is new: a second, "existing" add of the
    // same file does not protect it.
    journal.AddFile(folder / u"MADE.TXT", true);
    auto observer = MakeRef<TRecordingObserver>();
    EXPECT_TRUE(journal.Undo(*observer, false));
    EXPECT_EQ(ReadBytes(folder / u"before.txt"), "antes");
    EXPECT_FALSE(FileExists(folder / u"made.txt"));

    // Saved and loaded, the journal undoes everything: the uninstall owns it all.
    ASSERT_TRUE(journal.SaveToFile(folder / u"unins000.dat"));
    auto loaded = MakeRef<TJournal>();
    ASSERT_TRUE(loaded->LoadFromFile(folder / u"unins000.dat"));
    EXPECT_TRUE(loaded->Undo(*observer, false));
    EXPECT_FALSE(FileExists(folder / u"before.txt"));
}

TEST(JournalUndo, AnUninstallLeavesNoEmptyFolderOnTheWayToItsFiles) {
    // An interrupted first run made app, Bin, Rtl\Zyl and Vazio\Fundo and
    // left a half-written file; the run after it journaled its files only.
    TTestFolder folder;
    const std::u16string app = folder / u"app";
    for (const char16_t* sub : {u"\\Bin\\user", u"\\Rtl\\Zyl", u"\\Vazio\\Fundo", u"\\Docs"})
        ASSERT_TRUE(CreateDirPath(app + sub));
    ASSERT_TRUE(CreateDirPath(folder / u"fora"));
    const std::vector<std::u16string> files = {app + u"\\Bin\\dax.exe", app + u"\\Rtl\\Zyl\\c.dax",
                                               folder / u"fora\\f.txt"};
    std::vector<std::u16string> records;
    for (const std::u16string& file : files) {
        ASSERT_TRUE(WriteBytes(file, "x"));
        records.push_back(u"F|" + file);
    }
    ASSERT_TRUE(WriteBytes(StagedPath(app + u"\\Rtl\\Zyl\\c.dax"), "metade"));
    ASSERT_TRUE(WriteBytes(app + u"\\Bin\\user\\notas.txt", "do usuario"));
    // A record that climbs out of the folder is not followed.
    records.push_back(u"F|" + app + u"\\..\\fora\\g.txt");

    auto journal = LoadedJournal(folder / u"unins000.dat", records);
    auto plain = MakeRef<TSetupObserver>();
    ASSERT_TRUE(journal->Undo(*plain, false));
    journal->RemoveEmptyFileFolders(app + u"\\");

    EXPECT_FALSE(IsExistingFolder(app + u"\\Rtl"));
    EXPECT_EQ(ReadBytes(app + u"\\Bin\\user\\notas.txt"), "do usuario");
    // Empty, but on the way to no file of the journal: nothing says whose.
    EXPECT_TRUE(IsExistingFolder(app + u"\\Vazio\\Fundo"));
    EXPECT_TRUE(IsExistingFolder(app + u"\\Docs"));
    EXPECT_TRUE(IsExistingFolder(folder / u"fora"));

    // Once the user's files are gone, the whole installation folder goes.
    DeleteFolderTree(app + u"\\Bin\\user");
    DeleteFolderTree(app + u"\\Vazio");
    DeleteFolderTree(app + u"\\Docs");
    journal->RemoveEmptyFileFolders(app);
    EXPECT_FALSE(IsExistingFolder(app));
}
