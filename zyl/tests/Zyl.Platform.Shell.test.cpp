#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>

#include "Zyl.Platform.Shell.h"
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
    TRef<TShellWinApp> App;
    TRef<TEventLog> Log = MakeRef<TEventLog>();
    std::vector<std::u16string> Handled;

    void SetUp() override {
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

    void TearDown() override { SetKeyboardState(std::array<BYTE, 256>{}.data()); }
};

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
