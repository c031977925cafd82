#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "KS.Journal.h"
#include "KS.Startup.h"
#include "KS.Sys.Files.h"
#include "KS.Test.Entry.h"
#include "KS.Test.Sandbox.h"
#include "KS.Uninstall.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Text.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;

namespace {

class Uninstall : public TEntryTest {
protected:
    void SetUp() override {
        TEntryTest::SetUp();
        Answer = IDNO;
        // The question and the uninstall window start the application as
        // the program does: on the display, through GDI.
        SetEnvironmentVariableW(L"ZYL_CANVAS", L"gdi");
        InitializeUnits();
    }

    // "unins000.exe" (the test child) and a journal with the given metadata
    // and files beside it.
    std::u16string InstallFixture(const std::vector<std::pair<std::u16string, std::u16string>>& meta,
                                  const std::vector<std::u16string>& files = {}) {
        const std::u16string exe = folder_ / u"unins000.exe";
        EXPECT_TRUE(CopyFileW(System::WStr(KsTest::ChildExePath()), System::WStr(exe), FALSE));
        TJournal journal;
        for (const auto& [name, value] : meta) journal.SetMeta(name, value);
        for (const auto& file : files) {
            EXPECT_TRUE(WriteBytes(file, "x"));
            journal.AddFile(file);
        }
        EXPECT_TRUE(journal.SaveToFile(folder_ / u"unins000.dat"));
        return exe;
    }

    // The phase-2 copy, in a folder of its own as phase 1 makes it.
    static std::u16string TemporaryCopy(const std::u16string& exe) {
        const std::u16string folder = GetTempFolder() + u"\\ks-copy-" + KsTest::TestName();
        DeleteFolderTree(folder);
        EXPECT_TRUE(CreateDirPath(folder));
        const std::u16string copy = folder + u"\\unins.exe";
        EXPECT_TRUE(CopyFileW(System::WStr(exe), System::WStr(copy), FALSE));
        return copy;
    }

    TTestFolder folder_;
};

bool WaitUntilGone(const std::u16string& path) {
    for (int i = 0; i < 150; ++i) {
        if (GetFileAttributesW(System::WStr(path)) == INVALID_FILE_ATTRIBUTES) return true;
        Sleep(100);
    }
    return false;
}

} // namespace

TEST(CleanupCommand, DeletesTheUninstallerTheJournalTheFoldersAndTheCopyAfterAPause) {
    EXPECT_EQ(CleanupCommand(u"C:\\Ostrel\\unins000.exe", u"C:\\Ostrel\\unins000.dat", u"C:\\Ostrel", {},
                             u"C:\\Temp\\ksetup_un_12\\unins.exe", true),
              u"cmd.exe /c ping -n 3 127.0.0.1 >nul & del /f /q \"C:\\Ostrel\\unins000.exe\" "
              u"\"C:\\Ostrel\\unins000.dat\" & rmdir \"C:\\Ostrel\" & rmdir \"C:\\Ostrel\" & "
              u"del /f /q \"C:\\Temp\\ksetup_un_12\\unins.exe\" & rmdir \"C:\\Temp\\ksetup_un_12\"");
    // After a failed replay only the temporary copy goes.
    EXPECT_EQ(CleanupCommand(u"C:\\Ostrel\\unins000.exe", u"C:\\Ostrel\\unins000.dat", u"C:\\Ostrel", {},
                             u"C:\\Temp\\ksetup_un_12\\unins.exe", false),
              u"cmd.exe /c ping -n 3 127.0.0.1 >nul & del /f /q \"C:\\Temp\\ksetup_un_12\\unins.exe\" & "
              u"rmdir \"C:\\Temp\\ksetup_un_12\"");
}

// The folders the install made above the installation folder are still in
// use by it when the replay's folder pass runs: the clean-up removes them
// after it, deepest first, each only when empty.
TEST(CleanupCommand, RemovesTheJournaledParentsOfTheInstallationFolderAfterIt) {
    const std::vector<std::u16string> journaled = {
        u"C:\\Novo",                  // only the start of a name: no parent
        u"c:\\novopai",               // the top parent, in other ASCII case
        u"C:\\NovoPai\\Sub",
        u"C:\\NovoPai\\Sub\\App",       // the installation folder itself
        u"C:\\NovoPai\\Sub\\App\\Bin",  // inside it
        u"D:\\Outro",
    };
    const std::u16string exe = u"C:\\NovoPai\\Sub\\App\\unins000.exe";
    const std::u16string journal = u"C:\\NovoPai\\Sub\\App\\unins000.dat";
    const std::u16string copy = u"C:\\Temp\\ksetup_un_12\\unins.exe";
    EXPECT_EQ(CleanupCommand(exe, journal, u"C:\\NovoPai\\Sub\\App", journaled, copy, true),
              u"cmd.exe /c ping -n 3 127.0.0.1 >nul & del /f /q \"C:\\NovoPai\\Sub\\App\\unins000.exe\" "
              u"\"C:\\NovoPai\\Sub\\App\\unins000.dat\" & rmdir \"C:\\NovoPai\\Sub\\App\" & "
              u"rmdir \"C:\\NovoPai\\Sub\\App\" & rmdir \"C:\\NovoPai\\Sub\" & rmdir \"c:\\novopai\" & "
              u"del /f /q \"C:\\Temp\\ksetup_un_12\\unins.exe\" & rmdir \"C:\\Temp\\ksetup_un_12\"");
    // A failed replay leaves the installation, and so its parents.
    EXPECT_EQ(CleanupCommand(exe, journal, u"C:\\NovoPai\\Sub\\App", journaled, copy, false),
              u"cmd.exe /c ping -n 3 127.0.0.1 >nul & del /f /q \"C:\\Temp\\ksetup_un_12\\unins.exe\" & "
              u"rmdir \"C:\\Temp\\ksetup_un_12\"");
}

TEST_F(Uninstall, AMissingJournalIsReportedInEveryModeAndGivesTwo) {
    for (const TStringArray& args : {TStringArray{}, TStringArray{u"/SILENT"}, TStringArray{u"/VERYSILENT"},
                                     TStringArray{u"/KSETUPPHASE2=" + (folder_ / u"unins000.exe")}}) {
        Boxes.clear();
        EXPECT_EQ(UninstallMainAt(args, folder_ / u"unins000.exe"), 2);
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_EQ(Boxes[0].Text, u"Não achei o registro da instalação (unins000.dat) ao lado deste programa.");
        EXPECT_EQ(Boxes[0].Title, u"Desinstalar");
        EXPECT_EQ(Boxes[0].Flags, 16u);
    }
}

TEST_F(Uninstall, AnAllUsersInstallRelaunchesElevatedAndPassesTheCodeOn) {
    Elevated = false;
    // No "Admin" record counts as an all-users install.
    const std::u16string exe = InstallFixture({{u"AppName", u"Teste"}});
    EXPECT_EQ(UninstallMainAt({u"/SILENT"}, exe), 7);
    ASSERT_EQ(Launches.size(), 1u);
    EXPECT_EQ(Launches[0], u"runas /SILENT /KSETUPELEVATED");
    EXPECT_TRUE(Boxes.empty());

    LaunchStarts = false;
    EXPECT_EQ(UninstallMainAt({u"/SILENT"}, exe), 5);
    EXPECT_TRUE(Boxes.empty());
    // A relaunched copy that is still not elevated does not try again.
    Launches.clear();
    EXPECT_EQ(UninstallMainAt({u"/KSETUPELEVATED"}, exe), 5);
    EXPECT_TRUE(Launches.empty());
}

TEST_F(Uninstall, APerUserInstallAsksWithoutElevationAndANoEndsWithFive) {
    Elevated = false;
    const std::u16string exe = InstallFixture({{u"Admin", u"0"}});
    EXPECT_EQ(UninstallMainAt({}, exe), 5);
    EXPECT_TRUE(Launches.empty());
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, u"Deseja remover o programa e todos os seus componentes?");
    EXPECT_EQ(Boxes[0].Title, u"Desinstalar");
    EXPECT_EQ(Boxes[0].Flags, uint32_t(MB_YESNO | MB_ICONQUESTION));
}

TEST_F(Uninstall, PhaseOneStartsATemporaryCopyAndPassesItsCodeOn) {
    const std::u16string exe = InstallFixture({{u"AppName", u"Teste"}, {u"Admin", u"0"}});
    const std::u16string temporary =
        CombinePath(GetTempFolder(), u"ksetup_un_" + System::Int64ToStr(int64_t(GetCurrentProcessId())));
    DeleteFolderTree(temporary);
    Answer = IDYES;
    // The test child answers an argument it does not know with 99.
    EXPECT_EQ(UninstallMainAt({}, exe), 99);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, u"Deseja remover Teste e todos os seus componentes?");
    EXPECT_TRUE(FileExists(temporary + u"\\unins.exe"));
    DeleteFolderTree(temporary);
}

TEST_F(Uninstall, PhaseTwoReplaysTheJournalAndItsCleanUpRemovesEverything) {
    const std::u16string exe = InstallFixture({{u"AppDir", folder_.Path()}}, {folder_ / u"a.txt", folder_ / u"b.txt"});
    const std::u16string copy = TemporaryCopy(exe);
    EXPECT_EQ(UninstallMainAt({u"/KSETUPPHASE2=" + exe, u"/VERYSILENT"}, copy), 0);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_FALSE(FileExists(folder_ / u"a.txt"));
    EXPECT_FALSE(FileExists(folder_ / u"b.txt"));
    EXPECT_TRUE(WaitUntilGone(folder_.Path()));
    EXPECT_TRUE(WaitUntilGone(DirOfPath(copy)));
}

// A save of the journal that crashed half-way left its temporary file
// beside it: the installation folder goes only once that has gone too.
TEST_F(Uninstall, PhaseTwoRemovesTheStaleTemporaryOfAJournalSave) {
    const std::u16string exe = InstallFixture({{u"AppDir", folder_.Path()}}, {folder_ / u"a.txt"});
    const std::u16string stale = folder_ / u"unins000.dat.ksetup.tmp";
    ASSERT_TRUE(WriteBytes(stale, "KSETUP-JOURNAL 1\r\nF|"));
    const std::u16string copy = TemporaryCopy(exe);
    EXPECT_EQ(UninstallMainAt({u"/KSETUPPHASE2=" + exe, u"/VERYSILENT"}, copy), 0);
    EXPECT_FALSE(FileExists(stale));
    EXPECT_TRUE(WaitUntilGone(folder_.Path()));
    EXPECT_TRUE(WaitUntilGone(DirOfPath(copy)));
}

// Without a switch phase 2 replays in the uninstall window, which reports
// the outcome itself.
TEST_F(Uninstall, PhaseTwoWithoutSwitchesReplaysInTheWindowAndEndsWithZero) {
    const std::u16string exe =
        InstallFixture({{u"AppName", u"Teste"}, {u"AppDir", folder_.Path()}}, {folder_ / u"a.txt"});
    const std::u16string copy = TemporaryCopy(exe);
    EXPECT_EQ(UninstallMainAt({u"/KSETUPPHASE2=" + exe}, copy), 0);
    EXPECT_FALSE(FileExists(folder_ / u"a.txt"));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, u"Teste foi removido do computador.");
    EXPECT_EQ(Boxes[0].Flags, uint32_t(MB_OK | MB_ICONINFORMATION));
    EXPECT_TRUE(WaitUntilGone(folder_.Path()));
    EXPECT_TRUE(WaitUntilGone(DirOfPath(copy)));
}

TEST_F(Uninstall, AFileInUseIsRemovedAtTheNextRestartAndPhaseTwoEndsWithNine) {
    const std::u16string held = folder_ / u"em-uso.txt";
    const std::u16string exe = InstallFixture({{u"AppName", u"Teste"}}, {held});
    const std::u16string copy = TemporaryCopy(exe);
    const HANDLE file = CreateFileW(System::WStr(held), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(UninstallMainAt({u"/KSETUPPHASE2=" + exe, u"/SILENT"}, copy), 9);
    CloseHandle(file);
    // "/SILENT" shows the outcome.
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, u"Teste foi removido, mas alguns arquivos só serão apagados quando o Windows "
                                     u"for reiniciado.");
    EXPECT_TRUE(WaitUntilGone(folder_ / u"unins000.dat"));
    DeleteFileW(System::WStr(held));
}
