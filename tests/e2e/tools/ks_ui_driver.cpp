// Drives another program's windows for the end-to-end tests, from outside
// that program, as a person at the screen would:
//
//   ks_ui_driver window TITLE [MS]        waits for a visible top-level window
//                                          of that title; prints "X Y W H", its
//                                          client origin on the screen and its
//                                          client size
//   ks_ui_driver click TITLE X Y [right]  posts a click as a person's hand
//                                          makes it: a move onto the client
//                                          point, a press, a release, and a
//                                          move back to where the real pointer
//                                          rests, so that the window's last
//                                          pointer message agrees with the
//                                          pointer and nothing stays hovered
//                                          by the click
//   ks_ui_driver move TITLE [X Y]         posts a move to the client point, or
//                                          to where the real pointer rests
//   ks_ui_driver key TITLE VK [COUNT]     posts a key press and release, COUNT
//                                          times (1 unless given)
//   ks_ui_driver type TITLE TEXT          posts the text as typed characters
//   ks_ui_driver box CAPTION [ID] [MS]    waits for a message box (class
//                                          "#32770") of that caption, prints
//                                          its text and presses the button ID
//   ks_ui_driver run EXE [ARGS...]        starts the program with these
//                                          arguments and its own standard
//                                          handles, prints "pid P" (its process
//                                          id) on standard error, waits for it
//                                          and exits with its exit code
//
// "run" is there because a Wine program's exit code can be lost on the host:
// once its last thread ends, the wineserver gives the unix process a moment
// to tear down (graphics drivers' exit handlers after Direct2D, or any
// teardown on a busy machine) and then kills it, so the host sees -9 where
// the program ended with 0. The code a Windows parent reads is the
// program's own; the host keeps only its low byte. So every command, the
// driver's own included, ends by printing "exit code N" on standard error.
//
// Output is UTF-8. Exit codes: 0 done, 1 bad arguments, 2 no such window
// within the time (20 s unless MS says), 3 no such button, 4 the program
// would not start; after "run", the program's.
#include <windows.h>

#include <cwchar>
#include <string>

#include "KS.CommandLine.h"
#include "System.Remainder.Os.h"

namespace {

constexpr DWORD kDefaultWaitMs = 20000;

void Print(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), bytes.data(), size, nullptr, nullptr);
    bytes += '\n';
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

int Fail(int code, const std::wstring& text) {
    const std::string bytes(text.begin(), text.end());
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_ERROR_HANDLE), (bytes + "\n").data(), DWORD(bytes.size() + 1), &written, nullptr);
    return code;
}

// The first visible window of the class (nullptr: any) and title, polled
// until it shows or the time is up.
HWND WaitForWindow(const wchar_t* className, const wchar_t* title, DWORD waitMs) {
    const ULONGLONG end = GetTickCount64() + waitMs;
    for (;;) {
        HWND found = nullptr;
        while ((found = FindWindowExW(nullptr, found, className, title)) != nullptr)
            if (IsWindowVisible(found)) return found;
        if (GetTickCount64() >= end) return nullptr;
        Sleep(50);
    }
}

std::wstring TextOf(HWND window) {
    std::wstring text(size_t(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(size_t(GetWindowTextW(window, text.data(), int(text.size()))));
    return text;
}

// The text a message box shows: its static controls' texts, one per line.
std::wstring BoxText(HWND box) {
    std::wstring text;
    EnumChildWindows(
        box,
        [](HWND child, LPARAM data) -> BOOL {
            wchar_t className[16] = {};
            GetClassNameW(child, className, 16);
            const std::wstring part = TextOf(child);
            auto& out = *reinterpret_cast<std::wstring*>(data);
            if (_wcsicmp(className, L"Static") == 0 && !part.empty()) out += (out.empty() ? L"" : L"\n") + part;
            return TRUE;
        },
        LPARAM(&text));
    return text;
}

// The deepest visible child under a client point, with the point in its
// own client coordinates.
HWND TargetAt(HWND window, POINT& point) {
    for (;;) {
        HWND child = ChildWindowFromPointEx(window, point, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (!child || child == window) return window;
        MapWindowPoints(window, child, &point, 1);
        window = child;
    }
}

// Where the real pointer rests, in the target's client coordinates.
POINT PointerIn(HWND target) {
    POINT point{};
    GetCursorPos(&point);
    ScreenToClient(target, &point);
    return point;
}

void PostMove(HWND target, POINT point) {
    PostMessageW(target, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
}

// Posted input reaches the window before the real pointer's moves that are
// still on their way: were the click to end on the button, a move of the
// pointer made meanwhile could reach the window first and be its last word.
int Click(HWND window, int x, int y, bool right) {
    POINT point{x, y};
    HWND target = TargetAt(window, point);
    const LPARAM at = MAKELPARAM(point.x, point.y);
    const WPARAM held = right ? MK_RBUTTON : MK_LBUTTON;
    PostMessageW(target, WM_MOUSEMOVE, 0, at);
    PostMessageW(target, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, held, at);
    PostMessageW(target, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, at);
    PostMove(target, PointerIn(target));
    return 0;
}

int Move(HWND window, int argc, wchar_t** argv) {
    if (argc < 5) {
        PostMove(window, PointerIn(window));
        return 0;
    }
    POINT point{_wtoi(argv[3]), _wtoi(argv[4])};
    HWND target = TargetAt(window, point);
    PostMove(target, point);
    return 0;
}

// Keys go where the window's thread has its focus, when that is in it.
HWND KeyTarget(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info) && info.hwndFocus &&
        (info.hwndFocus == window || IsChild(window, info.hwndFocus)))
        return info.hwndFocus;
    return window;
}

int Key(HWND window, UINT vk, int count) {
    HWND target = KeyTarget(window);
    const LPARAM scan = LPARAM(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC)) << 16;
    for (int i = 0; i < count; ++i) {
        PostMessageW(target, WM_KEYDOWN, vk, 1 | scan);
        PostMessageW(target, WM_KEYUP, vk, 1 | scan | (LPARAM(1) << 30) | (LPARAM(1) << 31));
    }
    return 0;
}

int Type(HWND window, const wchar_t* text) {
    HWND target = KeyTarget(window);
    for (const wchar_t* c = text; *c; ++c) PostMessageW(target, WM_CHAR, WPARAM(*c), 1);
    return 0;
}

int Box(const wchar_t* caption, int id, DWORD waitMs) {
    HWND box = WaitForWindow(L"#32770", caption, waitMs);
    if (!box) return Fail(2, L"no box");
    Print(BoxText(box));
    if (id < 0) return 0;
    HWND button = GetDlgItem(box, id);
    if (!button) return Fail(3, L"no button " + std::to_wstring(id));
    PostMessageW(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(button));
    return 0;
}

DWORD Run(int argc, wchar_t** argv) {
    KS::TStringArray args;
    for (int i = 2; i < argc; ++i) args.push_back(System::FromWStr(argv[i]));
    std::wstring line(System::WStr(KS::JoinCommandLine(args)));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(argv[2], line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &started))
        return Fail(4, L"cannot start: error " + std::to_wstring(GetLastError()));
    CloseHandle(started.hThread);
    Fail(0, L"pid " + std::to_wstring(started.dwProcessId));
    WaitForSingleObject(started.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hProcess);
    return code;
}

DWORD WaitArgument(int argc, wchar_t** argv, int index) {
    return index < argc ? DWORD(_wtoi(argv[index])) : kDefaultWaitMs;
}

DWORD Command(int argc, wchar_t** argv) {
    if (argc < 3) return Fail(1, L"usage: window|click|move|key|type|box|run ...");
    const std::wstring command = argv[1];
    if (command == L"run") return Run(argc, argv);
    if (command == L"box") return Box(argv[2], argc > 3 ? _wtoi(argv[3]) : -1, WaitArgument(argc, argv, 4));

    const DWORD waitMs = command == L"window" ? WaitArgument(argc, argv, 3) : kDefaultWaitMs;
    HWND window = WaitForWindow(nullptr, argv[2], waitMs);
    if (!window) return Fail(2, L"no window");
    if (command == L"window") {
        POINT origin{0, 0};
        ClientToScreen(window, &origin);
        RECT client{};
        GetClientRect(window, &client);
        Print(std::to_wstring(origin.x) + L" " + std::to_wstring(origin.y) + L" " + std::to_wstring(client.right) +
              L" " + std::to_wstring(client.bottom));
        return 0;
    }
    if (command == L"click" && argc >= 5)
        return Click(window, _wtoi(argv[3]), _wtoi(argv[4]), argc > 5 && std::wstring(argv[5]) == L"right");
    if (command == L"move") return Move(window, argc, argv);
    if (command == L"key" && argc >= 4) return Key(window, UINT(_wtoi(argv[3])), argc > 4 ? _wtoi(argv[4]) : 1);
    if (command == L"type" && argc >= 4) return Type(window, argv[3]);
    return Fail(1, L"bad arguments");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const DWORD code = Command(argc, argv);
    Fail(0, L"exit code " + std::to_wstring(code));
    return int(code);
}
