#include <gtest/gtest.h>
#include <windows.h>

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
