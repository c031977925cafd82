#include "KS.Elevation.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "KS.CommandLine.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"
#include "System.Remainder.Os.h"

namespace KS {

namespace {

const wchar_t* OptionalText(const std::u16string& text) {
    return text.empty() ? nullptr : System::WStr(text);
}

} // namespace

bool ShellExecuteAndWait(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                         const std::u16string& folder, int32_t show, bool wait, uint32_t& exitCode) {
    static System::TLazyProc<decltype(&::ShellExecuteExW)> shellExecuteEx(u"shell32.dll", "ShellExecuteExW");
    exitCode = 0;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = OptionalText(verb);
    info.lpFile = System::WStr(file);
    info.lpParameters = OptionalText(parameters);
    info.lpDirectory = OptionalText(folder);
    info.nShow = show;
    if (!shellExecuteEx()(&info)) {
        SetLastOsError(GetLastError());
        return false;
    }
    if (info.hProcess) {
        if (wait) exitCode = WaitForProcessExit(info.hProcess);
        CloseHandle(info.hProcess);
    }
    return true;
}

bool IsProcessElevated() {
    static System::TLazyProc<decltype(&::OpenProcessToken)> openProcessToken(u"advapi32.dll", "OpenProcessToken");
    static System::TLazyProc<decltype(&::GetTokenInformation)> getTokenInformation(u"advapi32.dll",
                                                                                   "GetTokenInformation");
    HANDLE token = nullptr;
    if (!openProcessToken()(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
    const std::unique_ptr<void, decltype(&CloseHandle)> owner(token, CloseHandle);
    TOKEN_ELEVATION elevation{};
    DWORD length = 0;
    return getTokenInformation()(token, TokenElevation, &elevation, sizeof elevation, &length) &&
           elevation.TokenIsElevated != 0;
}

bool RelaunchElevated(const TStringArray& args, uint32_t& exitCode) {
    exitCode = 2;
    if (HasSwitch(args, RelaunchedSwitch)) return false;
    TStringArray childArgs = args;
    childArgs.push_back(RelaunchedSwitch);
    uint32_t childCode = 0;
    // Windows starts an elevated copy in the system folder: this process's
    // folder keeps a relative "/DIR" or "/LOG" meaning what the user meant.
    if (!ElevationSeams().Launch(u"runas", GetOwnExePath(), JoinCommandLine(childArgs), CurrentFolder(),
                                 SW_SHOWNORMAL, true, childCode))
        return false;
    exitCode = childCode;
    return true;
}

TElevationSeams& ElevationSeams() {
    static TElevationSeams seams;
    return seams;
}

} // namespace KS
