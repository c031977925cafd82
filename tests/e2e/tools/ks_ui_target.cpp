// What the UI driver's own tests drive:
//
//   ks_ui_target window TITLE W H   a window with a client area of W x H,
//                                   blue with a red square at (10, 10)-(20, 20);
//                                   prints "move X Y", "down X Y", "up X Y"
//                                   (left button, "rdown"/"rup" right),
//                                   "key VK" and, for
//                                   printable characters, "char CODE" as they
//                                   arrive, and ends at Escape
//   ks_ui_target box NAME           one of the message boxes below; the exit
//                                   code is the answer
//   ks_ui_target echo CODE ARGS...  prints each argument on a line of its own
//                                   (UTF-8) and exits with CODE (decimal or
//                                   0x hexadecimal)
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

void Report(const char* what, long a) {
    printf("%s %ld\n", what, a);
    fflush(stdout);
}

// A point outside the client area has negative coordinates.
void Report(const char* what, long x, long y) {
    printf("%s %ld %ld\n", what, x, y);
    fflush(stdout);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const long x = short(LOWORD(lParam)), y = short(HIWORD(lParam));
    switch (message) {
    case WM_MOUSEMOVE: Report("move", x, y); return 0;
    case WM_LBUTTONDOWN: Report("down", x, y); return 0;
    case WM_LBUTTONUP: Report("up", x, y); return 0;
    case WM_RBUTTONDOWN: Report("rdown", x, y); return 0;
    case WM_RBUTTONUP: Report("rup", x, y); return 0;
    case WM_KEYDOWN:
        Report("key", long(wParam));
        if (wParam == VK_ESCAPE) DestroyWindow(window);
        return 0;
    case WM_CHAR:
        // Printable ones only: the posted Enter and Escape come back as
        // control characters through TranslateMessage.
        if (wParam >= 0x20) Report("char", long(wParam));
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255)), red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(dc, &client, blue);
        const RECT square{10, 10, 20, 20};
        FillRect(dc, &square, red);
        DeleteObject(blue);
        DeleteObject(red);
        EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int ShowWindowUntilEscape(const wchar_t* title, int width, int height) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    windowClass.lpszClassName = L"KsUiTarget";
    RegisterClassW(&windowClass);
    const DWORD style = WS_CAPTION | WS_SYSMENU;
    RECT frame{0, 0, width, height};
    AdjustWindowRect(&frame, style, FALSE);
    HWND window = CreateWindowW(L"KsUiTarget", title, style, 100, 80, frame.right - frame.left,
                                frame.bottom - frame.top, nullptr, nullptr, windowClass.hInstance, nullptr);
    if (!window) return 1;
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}

struct TBox {
    const wchar_t *Name, *Caption, *Text;
    UINT Flags;
};

// The kinds of boxes the installer shows, with its own accented texts.
constexpr TBox kBoxes[] = {
    {L"question", L"Desinstalar", L"Deseja remover o programa e todos os seus componentes?", MB_YESNO | MB_ICONQUESTION},
    {L"error", L"Erro de instalação", L"Não foi possível gravar o arquivo.\r\n\r\nTentar novamente?",
     MB_YESNO | MB_ICONERROR},
    {L"ok", L"Pasta de destino", L"Informe a pasta onde o programa será instalado.", MB_OK | MB_ICONERROR},
};

int Echo(int argc, wchar_t** argv) {
    for (int i = 3; i < argc; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string bytes(size_t(size), '\0');
        WideCharToMultiByte(CP_UTF8, 0, argv[i], -1, bytes.data(), size, nullptr, nullptr);
        printf("%s\n", bytes.c_str());
    }
    fflush(stdout);
    return int(wcstoul(argv[2], nullptr, 0));
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 5 && std::wstring(argv[1]) == L"window")
        return ShowWindowUntilEscape(argv[2], _wtoi(argv[3]), _wtoi(argv[4]));
    if (argc == 3 && std::wstring(argv[1]) == L"box")
        for (const TBox& box : kBoxes)
            if (std::wstring(argv[2]) == box.Name) return MessageBoxW(nullptr, box.Text, box.Caption, box.Flags);
    if (argc >= 3 && std::wstring(argv[1]) == L"echo") return Echo(argc, argv);
    return 1;
}
