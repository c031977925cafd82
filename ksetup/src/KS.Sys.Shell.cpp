#include "KS.Sys.Shell.h"

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <atomic>
#include <vector>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Text.h"

using System::FromWStr;
using System::TLazyProc;
using System::WStr;

namespace KS {

namespace {

constexpr GUID kShellLinkClass = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kShellLinkInterface = {0x000214F9, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
constexpr GUID kPersistFileInterface = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

std::atomic<bool> comInitialized{false};

// A COM interface pointer, released when it goes.
template <class T>
struct TComRef {
    T* Ptr = nullptr;
    TComRef() = default;
    TComRef(const TComRef&) = delete;
    TComRef& operator=(const TComRef&) = delete;
    ~TComRef() {
        if (Ptr) Ptr->Release();
    }
    void** Out() { return reinterpret_cast<void**>(&Ptr); }
};

bool Failed(HRESULT result) {
    if (result >= 0) return false;
    SetLastOsError(uint32_t(result));
    return true;
}

} // namespace

void EnsureComInitialized() {
    static TLazyProc<decltype(&::CoInitializeEx)> pCoInitializeEx(u"ole32.dll", "CoInitializeEx");
    if (comInitialized.load()) return;
    pCoInitializeEx()(nullptr, COINIT_APARTMENTTHREADED);
    comInitialized.store(true);
}

bool CreateShellLink(const std::u16string& linkPath, const std::u16string& target,
                     const std::u16string& arguments, const std::u16string& workingFolder,
                     const std::u16string& iconFile, int32_t iconIndex, const std::u16string& description) {
    static TLazyProc<decltype(&::CoCreateInstance)> pCoCreateInstance(u"ole32.dll", "CoCreateInstance");
    EnsureComInitialized();

    TComRef<IShellLinkW> link;
    const HRESULT created =
        pCoCreateInstance()(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkInterface, link.Out());
    if (Failed(created)) return false;
    if (!link.Ptr) {
        SetLastOsError(uint32_t(E_NOINTERFACE));
        return false;
    }
    link.Ptr->SetPath(WStr(target));
    if (!arguments.empty()) link.Ptr->SetArguments(WStr(arguments));
    if (!workingFolder.empty()) link.Ptr->SetWorkingDirectory(WStr(workingFolder));
    if (!iconFile.empty()) link.Ptr->SetIconLocation(WStr(iconFile), iconIndex);
    if (!description.empty()) link.Ptr->SetDescription(WStr(description));
    link.Ptr->SetShowCmd(SW_SHOWNORMAL);

    TComRef<IPersistFile> file;
    if (Failed(link.Ptr->QueryInterface(kPersistFileInterface, file.Out()))) return false;
    return !Failed(file.Ptr->Save(WStr(linkPath), TRUE));
}

bool RunProcess(const std::u16string& commandLine, const std::u16string& workingFolder, uint16_t showCommand,
                bool wait, uint32_t& exitCode) {
    exitCode = 0;
    // CreateProcessW may write into the command line.
    std::vector<wchar_t> command(commandLine.begin(), commandLine.end());
    command.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = showCommand;
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        workingFolder.empty() ? nullptr : WStr(workingFolder), &startup, &started)) {
        SetLastOsError(GetLastError());
        return false;
    }
    TOwnedHandle process, thread;
    process.Handle = reinterpret_cast<intptr_t>(started.hProcess);
    thread.Handle = reinterpret_cast<intptr_t>(started.hThread);
    if (wait) exitCode = WaitForProcessExit(started.hProcess);
    return true;
}

uint32_t WaitForProcessExit(void* process) {
    static TLazyProc<decltype(&::MsgWaitForMultipleObjects)> pMsgWaitForMultipleObjects(
        u"user32.dll", "MsgWaitForMultipleObjects");
    static TLazyProc<decltype(&::PeekMessageW)> pPeekMessageW(u"user32.dll", "PeekMessageW");
    for (;;) {
        const DWORD woken = pMsgWaitForMultipleObjects()(1, &process, FALSE, INFINITE, QS_SENDMESSAGE);
        if (woken != WAIT_OBJECT_0 + 1) {
            // A wait the system refused still ends with the process.
            if (woken != WAIT_OBJECT_0) WaitForSingleObject(process, INFINITE);
            break;
        }
        // PeekMessageW delivers the sent messages; with these flags it takes
        // no posted message off the queue.
        MSG message;
        pPeekMessageW()(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    DWORD code = 0;
    GetExitCodeProcess(process, &code);
    return code;
}

void BroadcastEnvironmentChange() {
    static TLazyProc<decltype(&::SendMessageTimeoutW)> pSendMessageTimeoutW(u"user32.dll", "SendMessageTimeoutW");
    DWORD_PTR ignored = 0;
    pSendMessageTimeoutW()(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>(L"Environment"),
                           SMTO_ABORTIFHUNG, 5000, &ignored);
}

void NotifyAssociationsChanged() {
    static TLazyProc<decltype(&::SHChangeNotify)> pSHChangeNotify(u"shell32.dll", "SHChangeNotify");
    pSHChangeNotify()(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

std::u16string ShellFolderPath(int32_t csidl) {
    static TLazyProc<decltype(&::SHGetFolderPathW)> pSHGetFolderPathW(u"shell32.dll", "SHGetFolderPathW");
    wchar_t buffer[1024] = {};
    if (pSHGetFolderPathW()(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, buffer) != S_OK)
        return {};
    return FromWStr(buffer);
}

std::u16string CommonOrUserShellFolder(bool allUsers, int32_t allUsersCsidl, int32_t perUserCsidl) {
    return ShellFolderPath(allUsers ? allUsersCsidl : perUserCsidl);
}

std::u16string CurrentUserName() {
    static TLazyProc<decltype(&::GetUserNameW)> pGetUserNameW(u"advapi32.dll", "GetUserNameW");
    wchar_t buffer[257] = {};
    DWORD size = 257;
    if (!pGetUserNameW()(buffer, &size)) return {};
    return FromWStr(buffer);
}

std::u16string ComputerName() {
    wchar_t buffer[256] = {};
    DWORD size = 256;
    if (!GetComputerNameW(buffer, &size)) return {};
    return std::u16string(reinterpret_cast<const char16_t*>(buffer), size);
}

std::u16string FormatDateStamp(int32_t year, int32_t month, int32_t day) {
    return System::Int64ToStr(year) + u"-" + PadTwoDigits(month) + u"-" + PadTwoDigits(day);
}

std::u16string LocalDateStamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return FormatDateStamp(now.wYear, now.wMonth, now.wDay);
}

} // namespace KS
