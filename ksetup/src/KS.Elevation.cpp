#include "KS.Elevation.h"

#include <windows.h>
#include <shellapi.h>

#include "KS.Sys.Errors.h"
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
        if (wait) {
            WaitForSingleObject(info.hProcess, INFINITE);
            DWORD code = 0;
            if (GetExitCodeProcess(info.hProcess, &code)) exitCode = code;
        }
        CloseHandle(info.hProcess);
    }
    return true;
}

} // namespace KS
