#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <ctime>
#include <functional>
#include <map>
#include <thread>

#include "KS.Elevation.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"
#include "KS.Test.Inspect.h"
#include "System.Remainder.Encoding.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Text.h"
#include "TestSupport.h"

using namespace KS;
using KsTest::TScratchTest;
using KS::TestSupport::LoadLink;
using KS::TestSupport::TLinkContents;
using System::FromWStr;
using System::WStr;

namespace {

// The child's "key=value" report lines.
std::map<std::u16string, std::u16string> ReadReport(const std::u16string& path) {
    std::map<std::u16string, std::u16string> report;
    std::u16string text;
    if (!ReadTextFile(path, text)) return report;
    size_t start = 0;
    for (size_t end; (end = text.find(u'\n', start)) != std::u16string::npos; start = end + 1) {
        const std::u16string line = text.substr(start, end - start);
        const size_t equals = line.find(u'=');
        if (equals != std::u16string::npos) report[line.substr(0, equals)] = line.substr(equals + 1);
    }
    return report;
}

std::u16string Quoted(const std::u16string& text) { return u"\"" + text + u"\""; }

} // namespace

// ---- Shell links -----------------------------------------------------------------

using ShellLinks = TScratchTest;

TEST_F(ShellLinks, EveryFieldReadsBack) {
    const std::u16string link = Path(u"Atalho completo.lnk");
    const std::u16string target = KsTest::ChildExePath();
    ASSERT_TRUE(CreateShellLink(link, target, u"report \"a b\" 3", Folder, GetSystemFolder() + u"\\shell32.dll", 4,
                                u"Descrição do atalho"));
    TLinkContents contents;
    ASSERT_TRUE(LoadLink(link, contents));
    EXPECT_EQ(AsciiUpperCase(contents.Target), AsciiUpperCase(target));
    EXPECT_EQ(contents.Arguments, u"report \"a b\" 3");
    EXPECT_EQ(contents.Folder, Folder);
    EXPECT_EQ(AsciiUpperCase(contents.IconFile), AsciiUpperCase(GetSystemFolder() + u"\\shell32.dll"));
    EXPECT_EQ(contents.IconIndex, 4);
    EXPECT_EQ(contents.Description, u"Descrição do atalho");
    EXPECT_EQ(contents.ShowCommand, SW_SHOWNORMAL);
}

TEST_F(ShellLinks, EmptyFieldsLeaveOnlyTheTargetAndAnExistingLinkIsReplaced) {
    const std::u16string link = Path(u"simple.lnk");
    ASSERT_TRUE(CreateShellLink(link, KsTest::ChildExePath(), u"old", u"", u"", 0, u"old"));
    ASSERT_TRUE(CreateShellLink(link, KsTest::ChildExePath(), u"", u"", u"", 0, u""));
    TLinkContents contents;
    ASSERT_TRUE(LoadLink(link, contents));
    EXPECT_EQ(AsciiUpperCase(contents.Target), AsciiUpperCase(KsTest::ChildExePath()));
    EXPECT_EQ(contents.Arguments, u"");
    EXPECT_EQ(contents.Description, u"");
    EXPECT_EQ(contents.ShowCommand, SW_SHOWNORMAL);
}

TEST_F(ShellLinks, MissingFolderFailsWithTheHresult) {
    SetLastOsError(0);
    EXPECT_FALSE(CreateShellLink(Path(u"missing\\x.lnk"), KsTest::ChildExePath(), u"", u"", u"", 0, u""));
    // An HRESULT failure has its top bit set.
    EXPECT_NE(LastOsError() & 0x80000000u, 0u) << LastOsError();
    EXPECT_FALSE(IsExistingFolder(Path(u"missing")));
}

// ---- Processes --------------------------------------------------------------------

using Process = TScratchTest;

TEST_F(Process, ChildSeesItsCommandLineFolderAndShowCommand) {
    const std::u16string report = Path(u"report.txt");
    const std::u16string command = Quoted(KsTest::ChildExePath()) + u" report " + Quoted(report) + u" 42 \"x y\"";
    const std::u16string childFolder = Path(u"work");
    ASSERT_TRUE(CreateDirPath(childFolder));
    uint32_t exitCode = 7;
    ASSERT_TRUE(RunProcess(command, childFolder, SW_SHOWMINNOACTIVE, true, exitCode));
    EXPECT_EQ(exitCode, 42u);
    auto seen = ReadReport(report);
    EXPECT_EQ(seen[u"cmd"], command);
    EXPECT_EQ(AsciiUpperCase(seen[u"cwd"]), AsciiUpperCase(childFolder));
    EXPECT_EQ(seen[u"show"], u"7");

    // No working folder: the child starts in this process's own.
    ASSERT_TRUE(RunProcess(Quoted(KsTest::ChildExePath()) + u" report " + Quoted(report) + u" 0", u"", SW_HIDE,
                           true, exitCode));
    EXPECT_EQ(exitCode, 0u);
    seen = ReadReport(report);
    EXPECT_EQ(AsciiUpperCase(seen[u"cwd"]), AsciiUpperCase(CurrentFolder()));
    EXPECT_EQ(seen[u"show"], u"0");
}

TEST_F(Process, WithoutWaitingTheExitCodeStaysZero) {
    const std::u16string report = Path(u"report.txt");
    uint32_t exitCode = 7;
    ASSERT_TRUE(RunProcess(Quoted(KsTest::ChildExePath()) + u" report " + Quoted(report) + u" 3", u"",
                           SW_HIDE, false, exitCode));
    EXPECT_EQ(exitCode, 0u);
    // Let the child finish before the folder goes.
    for (int i = 0; i < 200 && ReadReport(report).size() < 3; ++i) Sleep(50);
    EXPECT_EQ(ReadReport(report).size(), 3u);
}

// A child that sends a message to a window of the waiting thread, as a
// child's broadcast of an environment change does, is answered while the
// thread waits, by either starter; what was posted to the window stays
// queued, untouched.
TEST(ProcessWait, AnswersWhatTheChildSendsToTheWaitingThreadsWindowsAndNothingElse) {
    static constexpr UINT Asked = WM_APP, Posted = WM_APP + 1;
    static constexpr LRESULT Answer = 73;
    static int postedSeen = 0;
    struct Window {
        static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
            if (message == Asked) return Answer;
            if (message == Posted) ++postedSeen;
            return DefWindowProcW(window, message, w, l);
        }
    };
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &Window::Proc;
    windowClass.lpszClassName = L"KsProcessWaitTest";
    RegisterClassW(&windowClass);
    const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", 0, 0, 0, 10, 10, HWND_MESSAGE, nullptr,
                                        nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    const std::u16string child = KsTest::ChildExePath();
    const std::u16string send = u"send " + System::Int64ToStr(int64_t(window)) + u" " + System::Int64ToStr(Asked);
    struct Case {
        const char* name;
        std::function<bool(uint32_t&)> runAndWait;
    };
    const Case cases[] = {
        {"RunProcess", [&](uint32_t& code) { return RunProcess(Quoted(child) + u" " + send, u"", SW_HIDE, true, code); }},
        {"ShellExecuteAndWait",
         [&](uint32_t& code) { return ShellExecuteAndWait(u"open", child, send, u"", SW_HIDE, true, code); }},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(PostMessageW(window, Posted, 0, 0)) << c.name;
        uint32_t exitCode = 0;
        ASSERT_TRUE(c.runAndWait(exitCode)) << c.name;
        EXPECT_EQ(exitCode, uint32_t(Answer)) << c.name;
        EXPECT_EQ(postedSeen, 0) << c.name;
        MSG message;
        EXPECT_TRUE(PeekMessageW(&message, window, Posted, Posted, PM_REMOVE)) << c.name;
    }
    DestroyWindow(window);
}

TEST(ProcessStart, MissingProgramFailsWithFileNotFound) {
    uint32_t exitCode = 7;
    SetLastOsError(0);
    EXPECT_FALSE(RunProcess(u"C:\\ks-no-such-program.exe /x", u"", SW_HIDE, true, exitCode));
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(exitCode, 0u);
}

// ---- Environment broadcast -------------------------------------------------------

TEST(EnvironmentBroadcast, ReachesTopLevelWindows) {
    static volatile LONG heard = 0;
    struct Window {
        static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM w, LPARAM l) {
            if (message == WM_SETTINGCHANGE && l && lstrcmpW(reinterpret_cast<LPCWSTR>(l), L"Environment") == 0)
                InterlockedExchange(&heard, 1);
            return DefWindowProcW(window, message, w, l);
        }
    };
    const HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    bool created = false;
    std::thread listener([&] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &Window::Proc;
        windowClass.lpszClassName = L"KsEnvironmentBroadcastTest";
        RegisterClassW(&windowClass);
        const HWND window = CreateWindowExW(0, windowClass.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 10, 10,
                                            nullptr, nullptr, nullptr, nullptr);
        created = window != nullptr;
        SetEvent(ready);
        MSG message;
        for (int i = 0; window && !heard && i < 2000; ++i) {
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            Sleep(5);
        }
        if (window) DestroyWindow(window);
    });
    WaitForSingleObject(ready, INFINITE);
    if (created) BroadcastEnvironmentChange();
    listener.join();
    CloseHandle(ready);
    if (!created) GTEST_SKIP() << "no display: no top-level window to hear the broadcast";
    EXPECT_EQ(heard, 1);
}

// ---- Shell folders, names and the date ----------------------------------------------

TEST(ShellFolders, EveryFolderTheConstantsAskForExists) {
    const int32_t csidls[] = {25, 16, 23, 2, 24, 7, 35, 26, 46, 5, 28, 20, 9, 40};
    for (int32_t csidl : csidls) {
        const std::u16string folder = ShellFolderPath(csidl);
        EXPECT_TRUE(IsExistingFolder(folder)) << csidl << " " << KsTest::Narrow(folder);
    }
    EXPECT_EQ(CommonOrUserShellFolder(true, 25, 16), ShellFolderPath(25));
    EXPECT_EQ(CommonOrUserShellFolder(false, 25, 16), ShellFolderPath(16));
    EXPECT_NE(ShellFolderPath(25), ShellFolderPath(16));
    SetLastOsError(99);
    EXPECT_EQ(ShellFolderPath(0x7E), u"");  // no such folder number
    EXPECT_EQ(LastOsError(), 99u);
}

TEST(SystemNames, UserAndComputerAsTheEnvironmentNamesThem) {
    wchar_t value[512];
    ASSERT_GT(GetEnvironmentVariableW(L"USERNAME", value, 512), 0u);
    EXPECT_EQ(CurrentUserName(), FromWStr(value));
    ASSERT_GT(GetEnvironmentVariableW(L"COMPUTERNAME", value, 512), 0u);
    EXPECT_EQ(AsciiUpperCase(ComputerName()), AsciiUpperCase(FromWStr(value)));
}

TEST(DateStamp, YearUnpaddedMonthAndDayInTwoDigits) {
    EXPECT_EQ(FormatDateStamp(2025, 3, 7), u"2025-03-07");
    EXPECT_EQ(FormatDateStamp(1999, 12, 31), u"1999-12-31");
    EXPECT_EQ(FormatDateStamp(987, 10, 1), u"987-10-01");

    // The same day as the C runtime's local time (unless midnight passes between).
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_s(&local, &now);
    EXPECT_EQ(LocalDateStamp(), FormatDateStamp(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday));
}
