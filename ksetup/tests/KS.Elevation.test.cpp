#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "KS.Elevation.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Test.Sandbox.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;

TEST(ShellExecuteAndWait, WaitsForTheStartedProgramAndReadsItsExitCode) {
    TTestFolder folder;
    uint32_t exitCode = 99;
    ASSERT_TRUE(ShellExecuteAndWait(u"open", KsTest::ChildExePath(), u"report " + (folder / u"r.txt") + u" 7",
                                    folder.Path(), SW_HIDE, true, exitCode));
    EXPECT_EQ(exitCode, 7u);
    EXPECT_TRUE(FileExists(folder / u"r.txt"));
}

TEST(ShellExecuteAndWait, WithoutWaitingTheCodeStaysZero) {
    TTestFolder folder;
    uint32_t exitCode = 99;
    ASSERT_TRUE(ShellExecuteAndWait(u"", KsTest::ChildExePath(), u"", folder.Path(), SW_SHOWNORMAL, false, exitCode));
    EXPECT_EQ(exitCode, 0u);
    for (int i = 0; i < 300 && !FileExists(folder / u"child-report.txt"); ++i) Sleep(100);
    EXPECT_TRUE(FileExists(folder / u"child-report.txt"));
}

TEST(ShellExecuteAndWait, AMissingFileIsAFailureWithTheSystemsCode) {
    TTestFolder folder;
    uint32_t exitCode = 99;
    SetLastOsError(0);
    EXPECT_FALSE(ShellExecuteAndWait(u"open", folder / u"nao-existe.exe", u"", u"", SW_SHOWNORMAL, true, exitCode));
    EXPECT_EQ(exitCode, 0u);
    EXPECT_EQ(LastOsError(), uint32_t{ERROR_FILE_NOT_FOUND});
}

namespace {

// A shell that records what it was asked and answers as told.
struct TFakeShell {
    static inline std::vector<std::u16string> Calls;
    static inline bool Starts = true;
    static inline uint32_t ChildCode = 0;

    static bool Launch(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                       const std::u16string& folder, int32_t show, bool wait, uint32_t& exitCode) {
        const std::u16string how = std::u16string(show == SW_SHOWNORMAL ? u"normal" : u"other") +
                                   (wait ? u"|wait" : u"|nowait");
        Calls.push_back(verb + u"|" + file + u"|" + parameters + u"|" + folder + u"|" + how);
        exitCode = Starts ? ChildCode : 0;
        return Starts;
    }
};

class Relaunch : public ::testing::Test {
protected:
    void SetUp() override {
        TFakeShell::Calls.clear();
        TFakeShell::Starts = true;
        saved_ = ElevationSeams();
        ElevationSeams().Launch = TFakeShell::Launch;
    }
    void TearDown() override { ElevationSeams() = saved_; }

private:
    TElevationSeams saved_;
};

} // namespace


TEST(IsProcessElevated, AWineProcessCountsAsElevated) {
    EXPECT_TRUE(IsProcessElevated());
}

TEST_F(Relaunch, StartsItselfWithRunasAndTheSameArgumentsAndPassesTheChildsCodeOn) {
    for (const uint32_t code : {0u, 8u, 9u, 1234u}) {
        TFakeShell::Calls.clear();
        TFakeShell::ChildCode = code;
        uint32_t exitCode = 77;
        ASSERT_TRUE(KS::RelaunchElevated({u"/SILENT", u"/DIR=C:\\Program Files\\Ostrel"}, exitCode));
        EXPECT_EQ(exitCode, code);
        ASSERT_EQ(TFakeShell::Calls.size(), 1u);
        EXPECT_EQ(TFakeShell::Calls[0], u"runas|" + GetOwnExePath() +
                                            u"|/SILENT \"/DIR=C:\\Program Files\\Ostrel\" /KSETUPELEVATED|" + CurrentFolder() +
                                            u"|normal|wait");
    }
}

TEST_F(Relaunch, ARefusedStartGivesFalseAndCodeTwo) {
    TFakeShell::Starts = false;
    uint32_t exitCode = 77;
    EXPECT_FALSE(KS::RelaunchElevated({}, exitCode));
    EXPECT_EQ(exitCode, 2u);
    EXPECT_EQ(TFakeShell::Calls.size(), 1u);
}

TEST_F(Relaunch, ACopyThatWasRelaunchedAlreadyNeverStartsAnother) {
    uint32_t exitCode = 77;
    EXPECT_FALSE(KS::RelaunchElevated({u"/VERYSILENT", u"/ksetupelevated"}, exitCode));
    EXPECT_EQ(exitCode, 2u);
    EXPECT_TRUE(TFakeShell::Calls.empty());
}
