#include <gtest/gtest.h>
#include <windows.h>

#include "KS.Engine.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "KS.Test.Engine.h"
#include "KS.Test.Observer.h"
#include "KS.Test.Sandbox.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;
using System::TRef;

namespace {

// What the child program reports about the way it was started.
struct TChildReport {
    std::u16string CommandLine;
    std::u16string Folder;
    std::u16string Show;
};

const std::u16string ChildName = NameOfPath(KsTest::ChildExePath());

// Waits up to 30 s for the child's whole report.
bool WaitForReport(const std::u16string& path, TChildReport& report) {
    for (int i = 0; i < 300; ++i) {
        std::u16string text;
        if (ReadTextFile(path, text)) {
            const TStringArray lines = SplitLines(text);
            if (lines.size() == 3 && HasPrefix(lines[0], u"cmd=") && HasPrefix(lines[1], u"cwd=") &&
                HasPrefix(lines[2], u"show=")) {
                report = {lines[0].substr(4), lines[1].substr(4), lines[2].substr(5)};
                return true;
            }
        }
        Sleep(100);
    }
    return false;
}

class RunEntries : public testing::Test {
protected:
    void SetUp() override {
        child_ = KsTest::ChildExePath();
        ASSERT_TRUE(FileExists(child_));
        ASSERT_TRUE(CreateDirPath(folder_ / u"app"));
    }

    // An engine whose [Run] section is the given lines, with a recording
    // observer and a log.
    TRef<TSetupEngine> Engine(const std::u16string& runLines, const std::u16string& extra = u"") {
        auto engine = LoadedEngine(u"[Setup]\nAppName=x\nDefaultDirName=" + folder_.Path() + u"\\app\n" + extra +
                                       u"[Run]\n" + runLines,
                                   folder_ / u"setup.log");
        engine->Observer = observer_;
        return engine;
    }

    TTestFolder folder_;
    std::u16string child_;
    TRef<TRecordingObserver> observer_ = MakeRef<TRecordingObserver>();
};

} // namespace

TEST_F(RunEntries, WaitAndShowFollowTheFlags) {
    struct Case {
        const char16_t* Flags;
        bool Waits;
        const char16_t* Show;
    };
    const Case cases[] = {
        {u"", true, u"1"},
        {u"nowait", false, u"1"},
        {u"nowait waituntilterminated", true, u"1"},
        {u"postinstall", false, u"1"},
        {u"postinstall, waituntilterminated", true, u"1"},
        {u"shellexec", false, u"1"},
        {u"shellexec waituntilterminated", true, u"1"},
        {u"runhidden", true, u"0"},
        {u"runhidden shellexec waituntilterminated", true, u"0"},
    };
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = KsTest::Narrow(c.Flags);
        const std::u16string report = folder_ / (u"report" + System::Int64ToStr(++n) + u".txt");
        auto engine = Engine(u"Filename: \"{src}\\" + ChildName + u"\"; Parameters: \"report-later " + report +
                             u" 0 2000\"; Flags: " + c.Flags + u"\n");
        engine->RunEntry(*engine->Script->EnsureSection(u"Run")->Entry(0));
        EXPECT_EQ(FileExists(report), c.Waits) << name;
        TChildReport seen;
        ASSERT_TRUE(WaitForReport(report, seen)) << name;
        EXPECT_EQ(seen.Show, c.Show) << name;
        EXPECT_EQ(seen.Folder, folder_ / u"app") << name;
    }
}

TEST_F(RunEntries, ProcessGetsTheQuotedPathABlankAndTheArguments) {
    auto engine = Engine(u"Filename: {src}\\" + ChildName + u"; WorkingDir: " + folder_.Path() + u"\n" +
                         u"Filename: {src}\\" + ChildName + u"; Parameters: report {app}\\r.txt 3\n");
    engine->RunEntries();
    TChildReport bare;
    ASSERT_TRUE(WaitForReport(folder_ / u"child-report.txt", bare));
    EXPECT_EQ(bare.CommandLine, u"\"" + child_ + u"\" ");
    EXPECT_EQ(bare.Folder, folder_.Path());
    TChildReport withArguments;
    ASSERT_TRUE(WaitForReport(folder_ / u"app\\r.txt", withArguments));
    EXPECT_EQ(withArguments.CommandLine, u"\"" + child_ + u"\" report " + folder_.Path() + u"\\app\\r.txt 3");
    EXPECT_EQ(withArguments.Folder, folder_ / u"app");
    EXPECT_EQ(LogLines(folder_ / u"setup.log"),
              (std::vector<std::u16string>{u"executando: " + child_ + u" ",
                                           u"executando: " + child_ + u" report " + folder_.Path() + u"\\app\\r.txt 3"}));
    EXPECT_EQ(observer_->StatusTexts(),
              (std::vector<std::u16string>{u"Executando " + ChildName + u"...", u"Executando " + ChildName + u"..."}));
}

TEST_F(RunEntries, LinksGoThroughTheShell) {
    const std::u16string report = folder_ / u"link-report.txt";
    ASSERT_TRUE(CreateShellLink(folder_ / u"child.lnk", child_, u"report " + report + u" 0", folder_.Path(), u"", 0, u""));
    auto engine = Engine(u"Filename: " + folder_.Path() + u"\\child.LNK; StatusMsg: Abrindo {app}\n");
    engine->RunEntries();
    TChildReport seen;
    ASSERT_TRUE(WaitForReport(report, seen));
    EXPECT_NE(seen.CommandLine.find(report), std::u16string::npos);
    EXPECT_EQ(observer_->StatusTexts(), (std::vector<std::u16string>{u"Abrindo {app}"}));
}

TEST_F(RunEntries, SkippedAndFailedEntriesNeverFail) {
    auto engine = Engine(u"Filename: {app}\\..\\nao-existe.exe; Flags: skipifdoesntexist\n"
                         u"Filename: \"\"\n"
                         u"Parameters: x\n"
                         u"Filename: {app}\\..\\nao-existe.exe\n");
    engine->RunEntries();
    const std::u16string file = folder_ / u"app\\..\\nao-existe.exe";
    EXPECT_EQ(LogLines(folder_ / u"setup.log"),
              (std::vector<std::u16string>{u"executando: " + file + u" ",
                                           u"não consegui executar " + file + u": " + OsErrorText(ERROR_FILE_NOT_FOUND)}));
    EXPECT_EQ(observer_->StatusTexts(), (std::vector<std::u16string>{u"Executando nao-existe.exe..."}));
    EXPECT_EQ(engine->LastError, u"");
}

TEST_F(RunEntries, PostInstallEntriesAreCountedAfterTheTaskFilter) {
    auto engine = Engine(u"Filename: {src}\\" + ChildName + u"; Parameters: report {app}\\a.txt 0; Flags: postinstall; Tasks: extra\n" +
                             u"Filename: {src}\\" + ChildName + u"; Flags: nowait\n" +
                             u"Filename: {src}\\" + ChildName + u"; Parameters: report {app}\\b.txt 0; Flags: postinstall\n",
                         u"[Tasks]\nName: extra; Flags: unchecked\n");
    engine->Observer = nullptr;
    EXPECT_EQ(engine->PostInstallRunCount(), 1);
    ASSERT_NE(engine->PostInstallRunEntry(0), nullptr);
    EXPECT_EQ(engine->PostInstallRunEntry(0), engine->Script->EnsureSection(u"Run")->Entry(2));
    EXPECT_EQ(engine->PostInstallRunEntry(1), nullptr);

    engine->RunPostInstallEntry(1);  // past the end: nothing, no observer made
    EXPECT_FALSE(engine->Observer);
    engine->RunPostInstallEntry(0);
    EXPECT_TRUE(engine->Observer);
    TChildReport seen;
    EXPECT_TRUE(WaitForReport(folder_ / u"app\\b.txt", seen));

    engine->SelectTask(u"extra", true);
    EXPECT_EQ(engine->PostInstallRunCount(), 2);
    EXPECT_EQ(engine->PostInstallRunEntry(0), engine->Script->EnsureSection(u"Run")->Entry(0));
}
