#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "KS.Elevation.h"
#include "KS.Journal.h"
#include "KS.Startup.h"
#include "KS.Sys.Files.h"
#include "KS.Test.Sandbox.h"
#include "KS.Uninstall.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Text.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;

namespace {

struct TBox {
    std::u16string Text;
    std::u16string Title;
    uint32_t Flags = 0;
};

// Boxes are recorded and answered, never shown; the elevation test and the
// shell launcher answer as the test says.
struct TSeams {
    static inline std::vector<TBox> Boxes;
    static inline int32_t Answer = IDNO;
    static inline bool Elevated = true;
    static inline bool LaunchStarts = true;
    static inline std::vector<std::u16string> Launches;

    static int32_t Box(const std::u16string& text, const std::u16string& title, uint32_t flags) {
        Boxes.push_back({text, title, flags});
        return Answer;
    }
    static bool IsElevated() { return Elevated; }
    static bool Launch(const std::u16string& verb, const std::u16string&, const std::u16string& parameters,
                       const std::u16string&, int32_t, bool, uint32_t& exitCode) {
        Launches.push_back(verb + u" " + parameters);
        exitCode = 7;
        return LaunchStarts;
    }
};

class Uninstall : public ::testing::Test {
protected:
    void SetUp() override {
        TSeams::Boxes.clear();
        TSeams::Launches.clear();
        TSeams::Answer = IDNO;
        TSeams::Elevated = true;
        TSeams::LaunchStarts = true;
        savedBox_ = MessageBoxProc();
        savedSeams_ = ElevationSeams();
        MessageBoxProc() = TSeams::Box;
        ElevationSeams().IsElevated = TSeams::IsElevated;
        ElevationSeams().Launch = TSeams::Launch;
    }
    void TearDown() override {
        MessageBoxProc() = savedBox_;
        ElevationSeams() = savedSeams_;
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

private:
    TMessageBoxProc savedBox_ = nullptr;
    TElevationSeams savedSeams_;
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
    EXPECT_EQ(CleanupCommand(u"C:\\Ostrel\\unins000.exe", u"C:\\Ostrel\\unins000.dat", u"C:\\Ostrel",
                             u"C:\\Temp\\ksetup_un_12\\unins.exe", true),
              u"cmd.exe /c ping -n 3 127.0.0.1 >nul & del /f /q \"C:\\Ostrel\\unins000.exe\" "
              u"\"C:\\Ostrel\\unins000.dat\" & rmdir \"C:\\Ostrel\" & rmdir \"C:\\Ostrel\" & "
              u"del /f /q \"C:\\Temp\\ksetup_un_12\\unins.exe\" & rmdir \"C:\\Temp\\ksetup_un_12\"");
    // After a failed replay only the temporary copy goes.
    EXPECT_EQ(CleanupCommand(u"C:\\Ostrel\\unins000.exe", u"C:\\Ostrel\\unins000.dat", u"C:\\Ostrel",
                             u"C:\\Temp\\ksetup_un_12\\unins.exe", false),
              u"cmd.exe /c ping -n 3 127.0.0.1 >nul & del /f /q \"C:\\Temp\\ksetup_un_12\\unins.exe\" & "
              u"rmdir \"C:\\Temp\\ksetup_un_12\"");
}

TEST_F(Uninstall, AMissingJournalIsReportedInEveryModeAndGivesTwo) {
    for (const TStringArray& args : {TStringArray{}, TStringArray{u"/SILENT"}, TStringArray{u"/VERYSILENT"},
                                     TStringArray{u"/KSETUPPHASE2=" + (folder_ / u"unins000.exe")}}) {
        TSeams::Boxes.clear();
        EXPECT_EQ(UninstallMainAt(args, folder_ / u"unins000.exe"), 2);
        ASSERT_EQ(TSeams::Boxes.size(), 1u);
        EXPECT_EQ(TSeams::Boxes[0].Text, u"Não achei o registro da instalação (unins000.dat) ao lado deste programa.");
        EXPECT_EQ(TSeams::Boxes[0].Title, u"Desinstalar");
        EXPECT_EQ(TSeams::Boxes[0].Flags, 16u);
    }
}

TEST_F(Uninstall, AnAllUsersInstallRelaunchesElevatedAndPassesTheCodeOn) {
    TSeams::Elevated = false;
    // No "Admin" record counts as an all-users install.
    const std::u16string exe = InstallFixture({{u"AppName", u"Teste"}});
    EXPECT_EQ(UninstallMainAt({u"/SILENT"}, exe), 7);
    ASSERT_EQ(TSeams::Launches.size(), 1u);
    EXPECT_EQ(TSeams::Launches[0], u"runas /SILENT /KSETUPELEVATED");
    EXPECT_TRUE(TSeams::Boxes.empty());

    TSeams::LaunchStarts = false;
    EXPECT_EQ(UninstallMainAt({u"/SILENT"}, exe), 5);
    EXPECT_TRUE(TSeams::Boxes.empty());
    // A relaunched copy that is still not elevated does not try again.
    TSeams::Launches.clear();
    EXPECT_EQ(UninstallMainAt({u"/KSETUPELEVATED"}, exe), 5);
    EXPECT_TRUE(TSeams::Launches.empty());
}

TEST_F(Uninstall, APerUserInstallAsksWithoutElevationAndANoEndsWithFive) {
    TSeams::Elevated = false;
    const std::u16string exe = InstallFixture({{u"Admin", u"0"}});
    EXPECT_EQ(UninstallMainAt({}, exe), 5);
    EXPECT_TRUE(TSeams::Launches.empty());
    ASSERT_EQ(TSeams::Boxes.size(), 1u);
    EXPECT_EQ(TSeams::Boxes[0].Text, u"Deseja remover o programa e todos os seus componentes?");
    EXPECT_EQ(TSeams::Boxes[0].Title, u"Desinstalar");
    EXPECT_EQ(TSeams::Boxes[0].Flags, uint32_t(MB_YESNO | MB_ICONQUESTION));
}

TEST_F(Uninstall, PhaseOneStartsATemporaryCopyAndPassesItsCodeOn) {
    const std::u16string exe = InstallFixture({{u"AppName", u"Teste"}, {u"Admin", u"0"}});
    const std::u16string temporary =
        CombinePath(GetTempFolder(), u"ksetup_un_" + System::Int64ToStr(int64_t(GetCurrentProcessId())));
    DeleteFolderTree(temporary);
    TSeams::Answer = IDYES;
    // The test child answers an argument it does not know with 99.
    EXPECT_EQ(UninstallMainAt({}, exe), 99);
    ASSERT_EQ(TSeams::Boxes.size(), 1u);
    EXPECT_EQ(TSeams::Boxes[0].Text, u"Deseja remover Teste e todos os seus componentes?");
    EXPECT_TRUE(FileExists(temporary + u"\\unins.exe"));
    DeleteFolderTree(temporary);
}

TEST_F(Uninstall, PhaseTwoReplaysTheJournalAndItsCleanUpRemovesEverything) {
    const std::u16string exe = InstallFixture({{u"AppDir", folder_.Path()}}, {folder_ / u"a.txt", folder_ / u"b.txt"});
    const std::u16string copy = TemporaryCopy(exe);
    EXPECT_EQ(UninstallMainAt({u"/KSETUPPHASE2=" + exe, u"/VERYSILENT"}, copy), 0);
    EXPECT_TRUE(TSeams::Boxes.empty());
    EXPECT_FALSE(FileExists(folder_ / u"a.txt"));
    EXPECT_FALSE(FileExists(folder_ / u"b.txt"));
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
    ASSERT_EQ(TSeams::Boxes.size(), 1u);
    EXPECT_EQ(TSeams::Boxes[0].Text, u"Teste foi removido, mas alguns arquivos só serão apagados quando o Windows "
                                     u"for reiniciado.");
    EXPECT_TRUE(WaitUntilGone(folder_ / u"unins000.dat"));
    DeleteFileW(System::WStr(held));
}
