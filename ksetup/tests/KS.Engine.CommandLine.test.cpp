#include <gtest/gtest.h>
#include <windows.h>

#include "KS.Engine.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Registry.h"
#include "KS.Test.Engine.h"
#include "KS.Test.Sandbox.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::TRef;

namespace {

std::u16string Script(const std::u16string& privileges) {
    return u"[Setup]\n"
           u"AppId=ks-cmdline-" + KsTest::TestName() + u"\n"
           u"AppName=Teste\n"
           u"DefaultDirName={autopf}\\Teste\n"
           u"DefaultGroupName=Grupo\n"
           u"PrivilegesRequired=" + privileges + u"\n"
           u"[Tasks]\n"
           u"Name: a; Description: A\n"
           u"Name: b; Description: B; Flags: unchecked\n"
           u"Name: c; Description: C\n";
}

TRef<TSetupEngine> Parsed(const TStringArray& args, bool expected = true, const std::u16string& privileges = u"admin") {
    auto engine = LoadedEngine(Script(privileges));
    EXPECT_EQ(engine->ParseCommandLine(args), expected);
    return engine;
}

} // namespace

TEST(ParseCommandLine, SwitchesSetTheEngineInAnyCaseAndTheLaterOneWins) {
    auto engine = Parsed({u"/silent", u"/SUPPRESSMSGBOXES", u"/VerySilent=ignored", u"/LOG=C:\\x\\setup.log",
                          u"/group={autopf} Grupo", u"/ALLUSERS", u"/CurrentUser"});
    EXPECT_EQ(engine->SilentLevel, 2);
    EXPECT_TRUE(engine->SuppressMsgBoxes);
    EXPECT_EQ(engine->LogPath, u"C:\\x\\setup.log");
    EXPECT_EQ(engine->Context->GroupName, u"{autopf} Grupo");
    EXPECT_FALSE(engine->Context->AllUsers);
    EXPECT_EQ(Parsed({u"/VERYSILENT", u"/SILENT"})->SilentLevel, 1);
    EXPECT_TRUE(Parsed({u"/CURRENTUSER", u"/ALLUSERS"})->Context->AllUsers);
}

TEST(ParseCommandLine, SwitchesOfOtherInstallersAndOfTheEntryAreAccepted) {
    auto engine = Parsed({u"/SP-", u"/NORESTART", u"/NOCANCEL", u"/CLOSEAPPLICATIONS", u"/NOCLOSEAPPLICATIONS",
                          u"/RESTARTAPPLICATIONS", u"/norestartapplications", u"/URL=", u"/URL=https://localhost/x",
                          u"/NOUPDATE", u"/KSETUPUPDATED", u"/ksetupphase2=C:\\u.exe", u"/KSETUPWHATEVER"});
    EXPECT_EQ(engine->SilentLevel, 0);
    EXPECT_FALSE(engine->CommandLineDir);
}

TEST(ParseCommandLine, AnUnknownArgumentFailsAndTheSwitchesBeforeItStay) {
    for (const std::u16string bad : {u"/NAOEXISTE", u"palavra", u"SILENT", u"/SILENT-", u"", u"/KSETU"}) {
        auto engine = Parsed({u"/SILENT", bad, u"/VERYSILENT"}, false);
        EXPECT_EQ(engine->SilentLevel, 1) << KsTest::Narrow(bad);
    }
}

TEST(ParseCommandLine, TasksReplaceTheChoiceAndMergeTasksChangeIt) {
    EXPECT_EQ(Parsed({})->SelectedTasks, (TStringArray{u"a", u"c"}));
    auto replaced = Parsed({u"/TASKS=b, !a c"});
    EXPECT_EQ(replaced->SelectedTasks, (TStringArray{u"b", u"c"}));
    EXPECT_TRUE(replaced->CommandLineTasks);
    auto merged = Parsed({u"/MERGETASKS=!a,b"});
    EXPECT_EQ(merged->SelectedTasks, (TStringArray{u"c", u"b"}));
    EXPECT_FALSE(merged->CommandLineTasks);
    EXPECT_EQ(Parsed({u"/TASKS="})->SelectedTasks, TStringArray{});
}

TEST(ParseCommandLine, DirExpandsItsConstantsAndARelativeOneBecomesAbsolute) {
    auto engine = Parsed({u"/DIR={autopf}\\Outro\\"});
    EXPECT_TRUE(engine->CommandLineDir);
    EXPECT_EQ(engine->Context->AppDir, engine->Context->ExpandConstants(u"{autopf}") + u"\\Outro");
    EXPECT_EQ(engine->Context->UninstallExe, engine->Context->AppDir + u"\\unins000.exe");
    EXPECT_EQ(Parsed({u"/DIR=relativa\\pasta"})->Context->AppDir,
              StripTrailingBackslashes(CurrentFolder()) + u"\\relativa\\pasta");
}

TEST(ParseCommandLine, TheChosenModeDecidesTheDefaultFolder) {
    const std::u16string userPrograms = GetLocalAppDataDir() + u"\\Programs\\Teste";
    auto perUser = Parsed({u"/CURRENTUSER"});
    EXPECT_EQ(AsciiLowerCase(perUser->Context->AppDir), AsciiLowerCase(userPrograms));
    auto allUsers = Parsed({u"/ALLUSERS"}, true, u"lowest");
    EXPECT_NE(AsciiLowerCase(allUsers->Context->AppDir), AsciiLowerCase(userPrograms));
    EXPECT_EQ(allUsers->Context->AppDir, allUsers->Context->ExpandConstants(u"{pf}\\Teste"));
    // A "/DIR" before the mode switch takes the constants of the final mode.
    auto ordered = Parsed({u"/DIR={autopf}\\Meu", u"/CURRENTUSER"});
    EXPECT_EQ(AsciiLowerCase(ordered->Context->AppDir), AsciiLowerCase(GetLocalAppDataDir() + u"\\Programs\\Meu"));
}

TEST(ParseCommandLine, ThePreviousInstallIsLookedForInTheChosenMode) {
    TTestFolder folder;
    const std::u16string key =
        u"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\ks-cmdline-" + KsTest::TestName();
    ASSERT_TRUE(WriteRegString(1, key, u"InstallLocation", folder.Path(), false, true));
    EXPECT_FALSE(Parsed({})->PreviousInstall.Found);
    auto perUser = Parsed({u"/CURRENTUSER"});
    EXPECT_TRUE(perUser->PreviousInstall.Found);
    EXPECT_EQ(perUser->Context->AppDir, folder.Path());
    // An explicit folder still wins over the earlier one.
    EXPECT_EQ(Parsed({u"/CURRENTUSER", u"/DIR=C:\\Escolhida"})->Context->AppDir, u"C:\\Escolhida");
    DeleteRegKeyTree(1, key, true);
}
