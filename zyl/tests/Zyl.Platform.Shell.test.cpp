#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <utility>
#include <vector>

#include "Zyl.Platform.Shell.h"
#include "Zyl.Test.Dialogs.h"
#include "Zyl.Test.Env.h"
#include "Zyl.Test.Events.h"
#include "Zyl.Test.Recording.h"
#include "Zyl.Test.Text.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

// A recording sink that can refuse to close.
class TShellSink : public TRecordingEvents {
public:
    using TRecordingEvents::TRecordingEvents;
    bool AllowClose = true;
    bool CloseQuery() override { return AllowClose; }
    void DoubleClick() override { Log->Lines.push_back(Name + ":DoubleClick"); }
};

struct TShellFixture : ::testing::Test {
    TScopedEnvVar Canvas{u"ZYL_CANVAS", u"gdi"};
    TScopedEnvVar Dirty{u"ZYL_DIRTY", std::nullopt};
    TScopedEnvVar NoGdi{u"ZYL_PRESENT_NOGDI", std::nullopt};
    TRef<TShellWinApp> App;
    TRef<TEventLog> Log = MakeRef<TEventLog>();
    std::vector<std::u16string> Handled;

    void SetUp() override {
        // The pointer rests where no test window appears: a window shown
        // under it gets moves the test did not make.
        SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
        CreateWinServices();
        App = MakeRef<TShellWinApp>();
        App->SetExceptionHandler([this](const System::Exception& e) {
            Handled.push_back(e.Message);
            return 0;
        });
    }

    TRef<TShellWinWindow> MakeWindow(int32_t border = 0, bool show = true) {
        TRef<TShellWinWindow> window(static_cast<TShellWinWindow*>(App->CreateWindow().Get()));
        window->Events = MakeRef<TShellSink>("W", Log);
        window->SetBorderStyle(border);
        window->SetPosition(40, 40);
        window->SetSize(120, 80);
        if (show) window->Show();
        App->ProcessMessages();
        Log->Clear();
        return window;
    }

    TShellSink& Sink(TShellWinWindow& window) { return static_cast<TShellSink&>(*window.Events); }

    void Post(TShellWinWindow& window, UINT message, WPARAM w, LPARAM l = 0) {
        PostMessageW(window.Handle, message, w, l);
        App->ProcessMessages();
    }

    // A control with a recording sink "C" at (left, top) of the window.
    TRef<TOffscreenControl> AddControl(TShellWinWindow& window, int32_t left, int32_t top, int32_t width,
                                       int32_t height) {
        auto control = MakeRef<TOffscreenControl>();
        control->Events = MakeRef<TShellSink>("C", Log);
        control->SetBounds(left, top, width, height);
        window.AddChild(control.Get(), left, top);
        return control;
    }

    static POINT ScreenPoint(TShellWinWindow& window, int32_t x, int32_t y) {
        POINT p{x, y};
        ClientToScreen(window.Handle, &p);
        return p;
    }

    void TearDown() override { SetKeyboardState(std::array<BYTE, 256>{}.data()); }
};

// The log without the lines that contain any of the noise texts: paints
// and pointer moves, which the system adds when a window or the real
// pointer moves.
std::string LogWithout(const TEventLog& log, std::initializer_list<const char*> noise) {
    std::string text;
    for (const std::string& line : log.Lines) {
        const bool skip = std::any_of(noise.begin(), noise.end(),
                                      [&line](const char* n) { return line.find(n) != std::string::npos; });
        if (!skip) text += (text.empty() ? "" : " ") + line;
    }
    return text;
}

} // namespace

TEST_F(TShellFixture, StylesClientSizeAndPosition) {
    const auto popup = MakeWindow(0);
    // The system adds WS_CLIPSIBLINGS to every top-level window.
    EXPECT_EQ(uint32_t(GetWindowLongPtrW(popup->Handle, GWL_STYLE)) & 0xFFFF0000u & ~uint32_t(WS_CLIPSIBLINGS),
              0x80000000u | WS_VISIBLE);
    const auto dialog = MakeWindow(3);
    EXPECT_EQ(uint32_t(GetWindowLongPtrW(dialog->Handle, GWL_STYLE)) & 0xCF0000u, 0xC80000u);
    EXPECT_EQ(uint32_t(GetWindowLongPtrW(dialog->Handle, GWL_EXSTYLE)) & 0x1u, 0x1u);
    RECT client;
    GetClientRect(dialog->Handle, &client);
    EXPECT_EQ(client.right, 120);
    EXPECT_EQ(client.bottom, 80);
    RECT outer;
    GetWindowRect(popup->Handle, &outer);
    EXPECT_EQ(outer.left, 40);
    EXPECT_EQ(outer.top, 40);
}

TEST_F(TShellFixture, EveryBorderStyleReachesTheNativeWindow) {
    const auto window = MakeWindow(1);
    // What the system adds by itself (visibility, clipping, the edge of a
    // captioned frame) is left out of the comparison.
    const uint32_t styleBits = 0xFFFF0000u & ~uint32_t(WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);
    const uint32_t exBits = WS_EX_DLGMODALFRAME | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE;
    const struct {
        int32_t Border;
        bool NoActivate;
        uint32_t Style, ExStyle;
    } cases[] = {
        {0, false, 0x80000000u, 0},   {1, false, 0xCB0000u, 0},        {2, false, 0xCF0000u, 0},
        {3, false, 0xC80000u, 0x1u},  {4, false, 0xC80000u, 0x80u},    {7, false, 0xCF0000u, 0},
        {1, true, 0xCB0000u, 0x8000080u},
    };
    for (const auto& c : cases) {
        window->SetNoActivate(c.NoActivate);
        window->SetBorderStyle(c.Border);
        EXPECT_EQ(uint32_t(GetWindowLongPtrW(window->Handle, GWL_STYLE)) & styleBits, c.Style) << c.Border;
        EXPECT_EQ(uint32_t(GetWindowLongPtrW(window->Handle, GWL_EXSTYLE)) & exBits, c.ExStyle) << c.Border;
        RECT client;
        GetClientRect(window->Handle, &client);
        EXPECT_EQ(client.right, 120) << c.Border; // the frame changes around the same client area
        EXPECT_EQ(client.bottom, 80) << c.Border;
    }
}

TEST_F(TShellFixture, NoNativeWindowBeforeShow) {
    const auto window = MakeWindow(1, false);
    EXPECT_EQ(window->Handle, nullptr);
    window->Show();
    EXPECT_NE(window->Handle, nullptr);
    EXPECT_TRUE(IsWindowVisible(window->Handle));
}

TEST_F(TShellFixture, CloseAsksTheSinkAndOnlyHides) {
    const auto window = MakeWindow(1);
    Sink(*window).AllowClose = false;
    SendMessageW(window->Handle, WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindowVisible(window->Handle));
    Sink(*window).AllowClose = true;
    SendMessageW(window->Handle, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindowVisible(window->Handle));
    EXPECT_TRUE(IsWindow(window->Handle));
    EXPECT_FALSE(window->Visible);
}

TEST_F(TShellFixture, ShiftAGivesKeyDownThenCapitalCharacter) {
    const auto window = MakeWindow();
    std::array<BYTE, 256> keys{};
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys.data());
    Post(*window, WM_KEYDOWN, 'A', 1);
    EXPECT_EQ(Log->Text(), "W:KeyDown(97,1) W:CharInput(65)");
}

TEST_F(TShellFixture, KeypadDigitGivesOnlyItsCharacterAndControlCharactersAreDropped) {
    const auto window = MakeWindow();
    Post(*window, WM_KEYDOWN, VK_NUMPAD5);
    Post(*window, WM_CHAR, '5');
    Post(*window, WM_CHAR, 8);
    EXPECT_EQ(Log->Text(), "W:CharInput(53)");
}

TEST_F(TShellFixture, AltF4ReachesTheSinkAndLeavesTheWindow) {
    const auto window = MakeWindow(1);
    std::array<BYTE, 256> keys{};
    keys[VK_MENU] = 0x80;
    SetKeyboardState(keys.data());
    Post(*window, WM_SYSKEYDOWN, VK_MENU, 1 << 29);
    Post(*window, WM_SYSKEYDOWN, VK_F4, 1 << 29);
    EXPECT_EQ(Log->Text(), "W:KeyDown(65513,8) W:KeyDown(65473,8)");
    EXPECT_TRUE(IsWindowVisible(window->Handle));
    // F10 alone is a key like any other, not the system menu.
    SetKeyboardState(std::array<BYTE, 256>{}.data());
    Log->Clear();
    Post(*window, WM_SYSKEYDOWN, VK_F10, 0);
    Post(*window, WM_SYSKEYUP, VK_F10, 0);
    EXPECT_EQ(Log->Text(), "W:KeyDown(65479,0) W:KeyUp(65479,0)");
}

TEST_F(TShellFixture, NativeCaptureLastsWhileAnyButtonIsHeld) {
    const auto window = MakeWindow();
    const LPARAM at = MAKELPARAM(5, 6);
    Post(*window, WM_LBUTTONDOWN, 0, at);
    Post(*window, WM_RBUTTONDOWN, 0, at);
    Post(*window, WM_LBUTTONUP, 0, at);
    EXPECT_EQ(GetCapture(), window->Handle);
    Post(*window, WM_RBUTTONUP, 0, at);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Log->Text(), "W:MouseDown(5,6,1,0) W:MouseDown(5,6,3,0) W:MouseUp(5,6,1,0) W:MouseUp(5,6,3,0)");
    Log->Clear();
    Post(*window, WM_LBUTTONUP, 0, MAKELPARAM(-3 & 0xFFFF, 2)); // unmatched, signed coordinates
    EXPECT_EQ(window->CaptureCount, 0);
    EXPECT_EQ(Log->Text(), "W:MouseUp(-3,2,1,0)");
}

TEST_F(TShellFixture, ExceptionsInsideTheWindowProcedureNeverUnwindThroughIt) {
    const auto window = MakeWindow();
    Sink(*window).Actions["KeyDown"] = [] { throw System::Exception(u"tecla"); };
    EXPECT_EQ(SendMessageW(window->Handle, WM_KEYDOWN, 'B', 0), 0);
    EXPECT_EQ(Handled, std::vector<std::u16string>{u"tecla"});
    Sink(*window).Actions["KeyDown"] = [] { throw std::runtime_error("outro"); };
    EXPECT_EQ(SendMessageW(window->Handle, WM_KEYDOWN, 'B', 0), 0);
    EXPECT_THROW(App->ProcessMessages(), std::runtime_error);
    EXPECT_NO_THROW(App->ProcessMessages());
    // A raising handler waits for the pump as well.
    App->SetExceptionHandler([](const System::Exception&) -> int32_t { throw std::logic_error("manipulador"); });
    Sink(*window).Actions["KeyDown"] = [] { throw System::Exception(u"tecla"); };
    EXPECT_EQ(SendMessageW(window->Handle, WM_KEYDOWN, 'B', 0), 0);
    EXPECT_THROW(App->ProcessMessages(), std::logic_error);
}

namespace {

int BeginCount = 0, EndCount = 0;

} // namespace

TEST_F(TShellFixture, ARaisingPaintStillEndsItsPaint) {
    const TShellCalls saved = ShellCalls();
    ShellCalls().BeginPaint = [](HWND w, PAINTSTRUCT* p) { ++BeginCount; return ::BeginPaint(w, p); };
    ShellCalls().EndPaint = [](HWND w, const PAINTSTRUCT* p) { ++EndCount; return ::EndPaint(w, p); };
    const auto window = MakeWindow();
    auto& sink = Sink(*window);
    bool raised = false;
    sink.Actions["Paint"] = [&raised] {
        if (!std::exchange(raised, true)) throw System::Exception(u"pintura");
    };
    window->Invalidate();
    App->ProcessMessages();
    UpdateWindow(window->Handle);
    App->ProcessMessages();
    ShellCalls() = saved;
    EXPECT_TRUE(raised);
    EXPECT_EQ(Handled, std::vector<std::u16string>{u"pintura"});
    EXPECT_GT(BeginCount, 0);
    EXPECT_EQ(BeginCount, EndCount);
}

TEST_F(TShellFixture, ARaisingResizedLeavesLaterResizesNative) {
    const auto window = MakeWindow(2);
    Sink(*window).Actions["Resized"] = [] { throw System::Exception(u"tamanho"); };
    SendMessageW(window->Handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(150, 90));
    EXPECT_EQ(Handled, std::vector<std::u16string>{u"tamanho"});
    EXPECT_FALSE(window->InNativeResize);
    Sink(*window).Actions.clear();
    window->SetSize(170, 100);
    RECT client;
    GetClientRect(window->Handle, &client);
    EXPECT_EQ(client.right, 170);
    EXPECT_EQ(client.bottom, 100);
}

TEST_F(TShellFixture, MinimizeAndRestoreReportTheStateAndKeepTheSize) {
    const auto window = MakeWindow(2);
    SendMessageW(window->Handle, WM_SIZE, SIZE_MINIMIZED, 0);
    SendMessageW(window->Handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(120, 80));
    EXPECT_EQ(Log->Text(), "W:WindowStateChanged(1) W:WindowStateChanged(0)");
    EXPECT_EQ(window->Width, 120);
    EXPECT_EQ(window->Height, 80);
}

TEST_F(TShellFixture, AWindowDestroyedWithItsOwnerForgetsItsHandle) {
    const auto owner = MakeWindow(1);
    const auto owned = MakeWindow(1, false);
    owned->SetOwner(owner.Get());
    owned->Show();
    ASSERT_NE(owned->Handle, nullptr);
    DestroyWindow(owner->Handle);
    EXPECT_EQ(owned->Handle, nullptr);
    owned->Hide(); // no call reaches a dead or reused handle
    owned->SetPosition(1, 1);
}

TEST_F(TShellFixture, AControlThatReleasesItselfOnADoubleClick) {
    const auto window = MakeWindow();
    auto control = MakeRef<TCountedControl>();
    auto sink = MakeRef<TShellSink>("C", Log);
    control->Events = sink;
    control->SetBounds(0, 0, 50, 50);
    window->AddChild(control.Get(), 0, 0);
    TOffscreenControl* raw = control.Get();
    sink->Actions["MouseDown"] = [&control, raw] {
        raw->Dispose();
        control = nullptr;
    };
    Log->Clear();
    Post(*window, WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 5));
    EXPECT_EQ(Log->Text(), "C:MouseDown(5,5,1,0) C:DoubleClick");
    EXPECT_TRUE(Handled.empty()) << Narrow(Handled.empty() ? u"" : Handled[0]);
    window->Destroy();
}

TEST_F(TShellFixture, ASinkDroppingItsWindowInsideKeyDown) {
    auto window = MakeWindow();
    const HWND handle = window->Handle;
    TShellWinWindow* raw = window.Get();
    Sink(*window).Actions["KeyDown"] = [&window, raw] {
        raw->Destroy();
        window = nullptr;
    };
    Post(*raw, WM_KEYDOWN, 'C');
    EXPECT_EQ(window, nullptr);
    EXPECT_FALSE(IsWindow(handle));
}

namespace {

DWORD FakeMasks[4];
int FakeWaits = 0;

} // namespace

TEST_F(TShellFixture, AFailingWaitFallsBackToTheOlderWakeMask) {
    const TShellCalls saved = ShellCalls();
    ShellCalls().MsgWaitForMultipleObjects = [](DWORD, const HANDLE*, BOOL, DWORD, DWORD mask) -> DWORD {
        FakeMasks[FakeWaits++ % 4] = mask;
        return mask == ShellWakeMask ? WAIT_FAILED : WAIT_TIMEOUT;
    };
    App->WaitForEvents(0);
    App->WaitForEvents(0);
    ShellCalls() = saved;
    EXPECT_EQ(FakeWaits, 3);
    EXPECT_EQ(FakeMasks[0], ShellWakeMask);
    EXPECT_EQ(FakeMasks[1], ShellLegacyWakeMask);
    EXPECT_EQ(FakeMasks[2], ShellLegacyWakeMask);
}

TEST_F(TShellFixture, RunEndsOnQuitFromATimerAndOnPostQuitMessage) {
    int fired = 0;
    const DWORD start = GetTickCount();
    // Removed at the fifth fire: a loaded machine may make it catch up
    // several times in one pass.
    int32_t id = 0;
    id = App->AddTimer(30, [&] {
        if (++fired < 5) return;
        App->RemoveTimer(id);
        App->Quit();
    });
    App->Quit(); // before Run: no effect
    App->Run();
    EXPECT_EQ(fired, 5);
    EXPECT_GE(GetTickCount() - start, 140u);
    App->Timers.clear();
    PostQuitMessage(0);
    App->Run();
    EXPECT_TRUE(App->QuitRequested);
}

TEST_F(TShellFixture, MessageBoxMapsFlagsAndAnswers) {
    const TShellCalls saved = ShellCalls();
    static UINT flags = 0;
    ShellCalls().MessageBox = [](HWND, LPCWSTR, LPCWSTR, UINT f) {
        flags = f;
        return IDNO;
    };
    EXPECT_EQ(App->MessageBox(nullptr, u"Titulo", u"Texto", 2, 2), 4);
    EXPECT_EQ(flags, 0x24u);
    ShellCalls() = saved;
}

TEST_F(TShellFixture, FontDialogRoundsTheChosenSize) {
    const TShellCalls saved = ShellCalls();
    ShellCalls().ChooseFont = [](CHOOSEFONTW* dialog) -> BOOL {
        EXPECT_EQ(dialog->iPointSize, 90);
        dialog->iPointSize = 105;
        dialog->lpLogFont->lfWeight = 700;
        wcscpy(dialog->lpLogFont->lfFaceName, L"Tahoma");
        return TRUE;
    };
    std::u16string face = u"Arial";
    int32_t size = 9, style = 0;
    EXPECT_TRUE(App->FontDialog(nullptr, nullptr, face, size, style));
    ShellCalls() = saved;
    EXPECT_EQ(face, u"Tahoma");
    EXPECT_EQ(size, 11);
    EXPECT_EQ(style, 1);
}

TEST_F(TShellFixture, SetCursorShowsTheCursorOfTheKindInTheClientArea) {
    const auto window = MakeWindow(1);
    const struct {
        int32_t Kind;
        LPCWSTR Cursor; // nil: hidden
    } cases[] = {{0, IDC_ARROW},   {1, IDC_IBEAM},    {2, IDC_HAND},      {3, IDC_WAIT},   {4, IDC_CROSS},
                 {5, IDC_SIZEWE},  {6, IDC_SIZENS},   {7, IDC_SIZEALL},   {8, IDC_NO},     {9, nullptr},
                 {10, IDC_SIZENWSE}, {11, IDC_SIZENESW}, {12, IDC_ARROW}, {-1, IDC_ARROW}};
    const HCURSOR unused = LoadCursorW(nullptr, IDC_APPSTARTING);
    for (const auto& c : cases) {
        SetCursor(unused);
        window->CurrentCursor = c.Kind;
        EXPECT_EQ(SendMessageW(window->Handle, WM_SETCURSOR, WPARAM(window->Handle), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
                  1);
        EXPECT_EQ(GetCursor(), c.Cursor ? LoadCursorW(nullptr, c.Cursor) : nullptr) << "kind " << c.Kind;
    }
    // Over the frame the system chooses, whatever the kind.
    SetCursor(unused);
    window->CurrentCursor = 9;
    SendMessageW(window->Handle, WM_SETCURSOR, WPARAM(window->Handle), MAKELPARAM(HTCAPTION, WM_MOUSEMOVE));
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
}

TEST_F(TShellFixture, WheelPointsAreScreenCoordinatesAndAFreePointGoesToTheFocusedControl) {
    const auto window = MakeWindow();
    window->SetPosition(-50, 30); // screen x below 0: the words are signed
    const auto control = AddControl(*window, 60, 10, 40, 40);
    control->SetFocus();
    const struct {
        int32_t X, Y;
        int16_t Delta;
        const char* Expected;
    } cases[] = {
        {5, 5, -120, "C:MouseWheel(-55,-5,-120,0)"}, // free: the focused control, in its coordinates
        {70, 20, 240, "C:MouseWheel(10,10,240,0)"},  // over the control
    };
    for (const auto& c : cases) {
        Log->Clear();
        const POINT at = ScreenPoint(*window, c.X, c.Y);
        Post(*window, WM_MOUSEWHEEL, MAKEWPARAM(0, WORD(c.Delta)), MAKELPARAM(WORD(at.x), WORD(at.y)));
        // Moves come from wherever the display's pointer happens to rest.
        EXPECT_EQ(LogWithout(*Log, {":Paint", ":MouseMove"}), c.Expected);
    }
}

TEST_F(TShellFixture, MouseLeaveWithAndWithoutAnOffscreenCapture) {
    const struct {
        bool Captured;
        const char* Expected;
    } cases[] = {
        {false, "C:MouseLeave W:MouseMove(-10000,-10000,0)"},
        {true, ""}, // the capturing control keeps the pointer, and stays hovered
    };
    for (const auto& c : cases) {
        const auto window = MakeWindow();
        const auto control = AddControl(*window, 0, 0, 50, 50);
        // The real pointer inside too, or the system reports its own leave.
        const POINT at = ScreenPoint(*window, 10, 10);
        SetCursorPos(at.x, at.y);
        Post(*window, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
        ASSERT_TRUE(window->TrackingMouse);
        ASSERT_EQ(window->HoveredControl, control);
        control->SetMouseCapture(c.Captured);
        Log->Clear();
        Post(*window, WM_MOUSELEAVE, 0, 0);
        EXPECT_EQ(LogWithout(*Log, {":Paint"}), c.Expected);
        EXPECT_FALSE(window->TrackingMouse);
        EXPECT_EQ(window->HoveredControl == control, c.Captured);
        Post(*window, WM_MOUSEMOVE, 0, MAKELPARAM(11, 10));
        EXPECT_TRUE(window->TrackingMouse); // asks for the next leave again
        window->Destroy();
    }
}

TEST_F(TShellFixture, SendInputReachesTheSinksEndToEnd) {
    const auto window = MakeWindow();
    const auto control = AddControl(*window, 0, 0, 50, 50);
    SetForegroundWindow(window->Handle);
    const POINT at = ScreenPoint(*window, 10, 20);
    SetCursorPos(at.x, at.y);
    App->ProcessMessages();
    Log->Clear();
    INPUT inputs[4] = {};
    inputs[0].type = inputs[1].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    inputs[2].type = inputs[3].type = INPUT_KEYBOARD;
    inputs[2].ki.wVk = inputs[3].ki.wVk = 'A';
    inputs[3].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(SendInput(4, inputs, sizeof(INPUT)), 4u);
    const DWORD start = GetTickCount();
    while (Log->Text().find("KeyUp") == std::string::npos && GetTickCount() - start < 5000) {
        App->ProcessMessages();
        App->WaitForEvents(20);
    }
    EXPECT_EQ(LogWithout(*Log, {":Paint", ":MouseMove(", ":MouseEnter"}), "C:MouseDown(10,20,1,0) C:MouseUp(10,20,1,0) W:KeyDown(97,0) W:CharInput(97) "
                                  "W:KeyUp(97,0)");
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(TShellFixture, SizeConstraintsSetTheNativeTrackSize) {
    const auto window = MakeWindow(2);
    window->SetSizeConstraints(100, 0, 300, 200);
    const auto outer = [&window](int32_t width, int32_t height) {
        RECT r{0, 0, width, height};
        AdjustWindowRectEx(&r, window->Style, FALSE, window->ExStyle);
        return POINT{r.right - r.left, r.bottom - r.top};
    };
    MINMAXINFO info{};
    info.ptMinTrackSize = {7, 7};
    info.ptMaxTrackSize = {9999, 9999};
    info.ptMaxSize = {5, 5};
    EXPECT_EQ(SendMessageW(window->Handle, WM_GETMINMAXINFO, 0, LPARAM(&info)), 0);
    EXPECT_EQ(info.ptMinTrackSize.x, outer(100, 0).x);
    EXPECT_EQ(info.ptMinTrackSize.y, 7); // no minimum height asked for
    EXPECT_EQ(info.ptMaxTrackSize.x, outer(300, 200).x);
    EXPECT_EQ(info.ptMaxTrackSize.y, outer(300, 200).y);
    EXPECT_EQ(info.ptMaxSize.x, 5);
    // The system holds a native resize to them, and the window follows.
    SetWindowPos(window->Handle, nullptr, 0, 0, 20, 300, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(window->Width, 100);
    SetWindowPos(window->Handle, nullptr, 0, 0, 2000, 2000, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(window->Width, 300);
    EXPECT_EQ(window->Height, 200);
    RECT client;
    GetClientRect(window->Handle, &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);
}

namespace {

// A surface of the current services filled with one pixel value.
TRef<TPlatformSurface> FilledSurface(int32_t size, uint32_t pixel) {
    TRef<TPlatformSurface> surface = CurrentPlatformServices()->CreateSurface(size, size, true);
    uint8_t* bits = surface->Bits();
    for (int32_t y = 0; y < size; ++y)
        std::fill_n(reinterpret_cast<uint32_t*>(bits + y * surface->Stride()), size, pixel);
    surface->FinishDrawing();
    return surface;
}

// Width and top-left colour (COLORREF) of an icon's colour bitmap.
std::pair<int32_t, COLORREF> IconSample(HICON icon) {
    ICONINFO info{};
    if (!GetIconInfo(icon, &info)) return {0, 0};
    BITMAP bitmap{};
    GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
    const HDC dc = CreateCompatibleDC(nullptr);
    const HGDIOBJ previous = SelectObject(dc, info.hbmColor);
    const COLORREF colour = GetPixel(dc, 0, 0);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return {bitmap.bmWidth, colour};
}

} // namespace

TEST_F(TShellFixture, SetIconGivesTheNativeWindowItsOwnIcon) {
    const auto window = MakeWindow(1, false);
    window->SetIcon(FilledSurface(16, 0xFFFF0000).Get()); // before the native window: kept for it
    const HICON first = window->IconHandle;
    ASSERT_NE(first, nullptr);
    window->Show();
    const auto icon = [&window](WPARAM kind) { return HICON(SendMessageW(window->Handle, WM_GETICON, kind, 0)); };
    EXPECT_EQ(icon(ICON_BIG), first);
    EXPECT_EQ(icon(ICON_SMALL), first);
    window->SetIcon(nullptr); // changes nothing
    EXPECT_EQ(icon(ICON_BIG), first);
    window->SetIcon(FilledSurface(8, 0xFF2040C0).Get()); // B, G, R apart: a swap shows
    ASSERT_NE(window->IconHandle, first);
    EXPECT_EQ(icon(ICON_BIG), window->IconHandle);
    EXPECT_EQ(icon(ICON_SMALL), window->IconHandle);
    const auto [width, colour] = IconSample(window->IconHandle);
    EXPECT_EQ(width, 8);
    EXPECT_EQ(colour, RGB(0x20, 0x40, 0xC0));
}

TEST_F(TShellFixture, ARealMessageBoxAnswersAsClosed) {
    const struct {
        int32_t Buttons;
        std::function<void(HWND)> Close;
        int32_t Expected;
    } cases[] = {
        {2, [](HWND box) { ClickButton(box, IDNO); }, 4},
        {1, [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); }, 2},
    };
    for (const auto& c : cases) {
        int32_t answer = 0;
        {
            TDialogCloser closer(c.Close);
            answer = App->MessageBox(nullptr, u"Pergunta", u"Continuar?", 2, c.Buttons);
        }
        EXPECT_EQ(answer, c.Expected) << "buttons " << c.Buttons;
    }
}

TEST_F(TShellFixture, ARealColourDialogCancelledLeavesTheColour) {
    int32_t colour = 0x123456;
    bool chosen = true;
    {
        TDialogCloser closer([](HWND box) { ClickButton(box, IDCANCEL); });
        chosen = App->ColorDialog(nullptr, nullptr, colour);
    }
    EXPECT_FALSE(chosen);
    EXPECT_EQ(colour, 0x123456);
}

TEST_F(TShellFixture, ColourDialogMasksTheColourBothWays) {
    const TShellCalls saved = ShellCalls();
    ShellCalls().ChooseColor = [](CHOOSECOLORW* dialog) -> BOOL {
        EXPECT_EQ(dialog->rgbResult, 0x563412u);
        EXPECT_EQ(dialog->Flags, DWORD(CC_RGBINIT | CC_FULLOPEN));
        dialog->rgbResult = 0x7F00FF00;
        return TRUE;
    };
    int32_t colour = int32_t(0x80563412);
    EXPECT_TRUE(App->ColorDialog(nullptr, nullptr, colour));
    ShellCalls() = saved;
    EXPECT_EQ(colour, 0x00FF00);
}
