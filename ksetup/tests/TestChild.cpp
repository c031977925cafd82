// A small program the service tests start as a real child process.
//   report <file> <exit code> [more arguments]: writes its command line,
//       working folder and show command to the file (UTF-16LE with a
//       byte-order mark) and exits with the code.
//   report-later <file> <exit code> <delay ms>: the same after the delay, so
//       that a test can tell whether its starter waited.
//   no arguments: reports to "child-report.txt" in its working folder.
//   hold <file> <ready event> <release event>: keeps the file open without
//       any sharing until the release event is set (at most 60 s).
//   send <window> <message>: sends the message to the window (its handle in
//       decimal) as a broadcast does, giving up after 2 s on a window that
//       does not answer, and exits with the window's answer, 0 without one.
#include <windows.h>

#include <cwchar>
#include <string>

namespace {

int Report(const wchar_t* path, const wchar_t* exitCode) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    wchar_t folder[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring text = L"\xFEFF";
    text += L"cmd=" + std::wstring(GetCommandLineW()) + L"\n";
    text += L"cwd=" + std::wstring(folder) + L"\n";
    const bool hasShow = startup.dwFlags & STARTF_USESHOWWINDOW;
    text += L"show=" + (hasShow ? std::to_wstring(startup.wShowWindow) : std::wstring(L"none")) + L"\n";
    const HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 100;
    DWORD written = 0;
    WriteFile(file, text.data(), DWORD(text.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return _wtoi(exitCode);
}

int Hold(const wchar_t* path, const wchar_t* readyName, const wchar_t* releaseName) {
    const HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return 101;
    const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, readyName);
    const HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, releaseName);
    if (!ready || !release) return 102;
    SetEvent(ready);
    WaitForSingleObject(release, 60000);
    CloseHandle(file);
    return 0;
}

int Send(const wchar_t* window, const wchar_t* message) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(reinterpret_cast<HWND>(_wcstoui64(window, nullptr, 10)), UINT(_wtoi(message)), 0, 0,
                             SMTO_ABORTIFHUNG, 2000, &answer))
        return 0;
    return int(answer);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 1) return Report(L"child-report.txt", L"0");
    if (argc >= 4 && std::wcscmp(argv[1], L"report") == 0) return Report(argv[2], argv[3]);
    if (argc >= 5 && std::wcscmp(argv[1], L"report-later") == 0) {
        Sleep(static_cast<DWORD>(_wtoi(argv[4])));
        return Report(argv[2], argv[3]);
    }
    if (argc >= 5 && std::wcscmp(argv[1], L"hold") == 0) return Hold(argv[2], argv[3], argv[4]);
    if (argc >= 4 && std::wcscmp(argv[1], L"send") == 0) return Send(argv[2], argv[3]);
    return 99;
}
