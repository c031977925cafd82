// Shell windows whose surface is not a GDI surface: their frames reach the
// window through SetDIBitsToDevice, or, with ZYL_PRESENT_NOGDI=1, not at all.
// A process has one services object, so these run in an executable of their
// own, on memory and software surfaces.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Offscreen.Diagnostics.h"
#include "Zyl.Platform.Shell.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Platform.Win.h"
#include "Zyl.Test.Env.h"
#include "Zyl.Test.Events.h"
#include "Zyl.Test.Memory.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

constexpr COLORREF kRed = 0x0000FF, kBlue = 0xFF0000;

std::vector<std::u16string> DebugLines;
int PaintsBegun = 0;
// A paint that asks for another each time would hold the pump forever: the
// paint that reaches this count takes away what keeps asking, so that such a
// test fails instead of hanging.
constexpr int kRunawayPaints = 100;
std::function<void()> EndRunaway;

template <class TServices>
struct TShellFrameFixture : ::testing::Test {
    TScopedEnvVar Dirty{u"ZYL_DIRTY", std::nullopt};
    TScopedEnvVar NoGdi{u"ZYL_PRESENT_NOGDI", std::nullopt};
    TScopedPlatformServices Services{MakeRef<TServices>()};
    const TShellCalls SavedCalls = ShellCalls();
    const TDebugOutputProc SavedDebug = DebugOutputProc();
    TRef<TShellWinApp> App = MakeRef<TShellWinApp>();
    TRef<TEventLog> Log = MakeRef<TEventLog>();

    void SetUp() override {
        DebugLines.clear();
        PaintsBegun = 0;
        DebugOutputProc() = [](const std::u16string& text) { DebugLines.push_back(text); };
        ShellCalls().BeginPaint = [](HWND window, PAINTSTRUCT* paint) {
            if (++PaintsBegun == kRunawayPaints && EndRunaway) std::exchange(EndRunaway, nullptr)();
            return ::BeginPaint(window, paint);
        };
    }

    void TearDown() override {
        EndRunaway = nullptr;
        ShellCalls() = SavedCalls;
        DebugOutputProc() = SavedDebug;
    }

    // A borderless 120 x 80 window painted blue, with a red control on its
    // left half, shown and given the time to paint.
    TRef<TShellWinWindow> ShowPaintedWindow() {
        TRef<TShellWinWindow> window(static_cast<TShellWinWindow*>(App->CreateWindow().Get()));
        window->Events = MakeRef<TRecordingEvents>("W", Log, int32_t(kBlue));
        window->SetPosition(40, 40);
        window->SetSize(120, 80);
        auto control = MakeRef<TOffscreenControl>();
        control->Events = MakeRef<TRecordingEvents>("C", Log, int32_t(kRed));
        control->SetBounds(0, 0, 60, 80);
        window->AddChild(control.Get(), 0, 0);
        window->Show();
        Pump(*window);
        return window;
    }

    void Pump(TShellWinWindow& window) {
        App->ProcessMessages();
        UpdateWindow(window.Handle);
        App->ProcessMessages();
    }

    // Every pixel of the client area as shown, against the surface: the
    // first one that differs, or "" when they all agree.
    static std::string FirstStalePixel(TShellWinWindow& window) {
        const int32_t width = window.Width, height = window.Height;
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        void* bits = nullptr;
        const HBITMAP copy = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        const HDC memory = CreateCompatibleDC(nullptr);
        const HGDIOBJ old = SelectObject(memory, copy);
        const HDC screen = GetDC(window.Handle);
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        ReleaseDC(window.Handle, screen);
        GdiFlush();
        std::string stale;
        for (int32_t y = 0; y < height && stale.empty(); ++y)
            for (int32_t x = 0; x < width && stale.empty(); ++x) {
                const uint32_t shown = static_cast<const uint32_t*>(bits)[y * width + x] & 0xFFFFFF;
                const uint32_t drawn = uint32_t(window.Surface->PixelAt(x, y));
                const uint32_t drawnRgb = (drawn & 0xFF) << 16 | (drawn & 0xFF00) | (drawn >> 16 & 0xFF);
                if (shown != drawnRgb)
                    stale = "(" + std::to_string(x) + ", " + std::to_string(y) + ") shows " +
                            std::to_string(shown) + " where the surface has " + std::to_string(drawnRgb);
            }
        SelectObject(memory, old);
        DeleteDC(memory);
        DeleteObject(copy);
        return stale;
    }

    static COLORREF WindowColour(TShellWinWindow& window, int32_t x, int32_t y) {
        const HDC dc = GetDC(window.Handle);
        const COLORREF colour = GetPixel(dc, x, y);
        ReleaseDC(window.Handle, dc);
        return colour;
    }
};

using TMemoryShellFixture = TShellFrameFixture<TMemoryServices>;
using TSoftShellFixture = TShellFrameFixture<TSoftServices>;

} // namespace

TEST_F(TMemoryShellFixture, AMemoryFrameReachesTheWindowThroughGdi) {
    CreateGdiPresenter();
    const std::optional<std::u16string> settings[] = {std::nullopt, u"0"};
    for (const std::optional<std::u16string>& noGdi : settings) {
        TScopedEnvVar setting(u"ZYL_PRESENT_NOGDI", noGdi);
        const auto window = ShowPaintedWindow();
        EXPECT_GT(PaintsBegun, 0);
        EXPECT_EQ(WindowColour(*window, 10, 10), kRed);
        EXPECT_EQ(WindowColour(*window, 100, 70), kBlue);
        EXPECT_TRUE(DebugLines.empty());
        window->Destroy();
    }
}

// The first report of the process: each of these runs in a process of its own.
TEST_F(TMemoryShellFixture, NoGdiWithTheGdiPresenterValidatesReportsOnceAndShowsNothing) {
    CreateGdiPresenter();
    TScopedEnvVar setting(u"ZYL_PRESENT_NOGDI", u" 1 ");
    const auto window = ShowPaintedWindow();
    window->Invalidate();
    Pump(*window);
    EXPECT_EQ(PaintsBegun, 0);
    EXPECT_FALSE(GetUpdateRect(window->Handle, nullptr, FALSE));
    EXPECT_EQ(ColorAt(*window->Surface, 10, 10), int32_t(kRed)); // rendered, but not shown
    EXPECT_NE(WindowColour(*window, 10, 10), kRed);
    EXPECT_EQ(DebugLines, std::vector<std::u16string>{
                              u"ZYL: ZYL_PRESENT_NOGDI=1 exige um apresentador de GPU (ZYL_CANVAS=soft+d3d11, "
                              u"soft+d3d12 ou soft+dcomp); sem ele a casca nao apresenta (e nao usa o GDI)."});
}

TEST_F(TMemoryShellFixture, NoGdiWithAShellPresenterNamesIt) {
    CreateX11Presenter();
    TScopedEnvVar setting(u"ZYL_PRESENT_NOGDI", u"1");
    const auto window = ShowPaintedWindow();
    EXPECT_EQ(PaintsBegun, 0);
    EXPECT_NE(WindowColour(*window, 10, 10), kRed);
    EXPECT_EQ(DebugLines,
              std::vector<std::u16string>{
                  u"ZYL: O apresentador \"x11\" nao conseguiu apresentar o quadro, mesmo depois de recriar o "
                  u"dispositivo e de tentar o WARP (). A opcao ZYL_PRESENT_NOGDI=1 proibe o GDI: o quadro nao foi "
                  u"mostrado."});
}

// "ZYL_DIRTY" is read once per process: this runs in a process of its own.
TEST_F(TSoftShellFixture, DirtyModeAsksForThePaintOfTheDirtyRectangleOnly) {
    TScopedEnvVar dirty(u"ZYL_DIRTY", u"1");
    ASSERT_EQ(DirtyRepaintMode(), 1);
    const auto window = ShowPaintedWindow();
    ASSERT_NE(dynamic_cast<TSoftSurface*>(window->Surface.Get()), nullptr);
    window->TopLevelControls[0]->Invalidate();
    App->ProcessMessages(); // the pump asks for the paint; the system has not sent it yet
    RECT update{};
    ASSERT_TRUE(GetUpdateRect(window->Handle, &update, FALSE));
    EXPECT_EQ(update.left, 0);
    EXPECT_EQ(update.top, 0);
    EXPECT_EQ(update.right, 60);
    EXPECT_EQ(update.bottom, 80);
    Pump(*window);
    EXPECT_EQ(WindowColour(*window, 10, 10), kRed);
    EXPECT_EQ(WindowColour(*window, 100, 70), kBlue);
    EXPECT_TRUE(DebugLines.empty());
}

// A paint the system asks for while a full repaint is pending, before the
// pump has turned it into a paint request of its own: the paint renders the
// whole window, and what its paint DC cannot reach (it reaches only the areas
// asked for) is asked for again, so that the next paint shows it. A repaint
// that stays pending after every paint (a paint handler that asks for one, a
// window without a surface) must not keep the pump turning, and once it ends
// the window shows the surface. On software and GDI surfaces alike, with and
// without the partial repaints of "ZYL_DIRTY" (read once per process: each
// mode runs in a process of its own).
template <class TServices>
struct TPendingRepaintFixture : TShellFrameFixture<TServices> {
    enum class TKeepsPending { Nothing, PaintAsksForARepaint, NoSurface };

    // Sets up what keeps a repaint pending; gives what takes it away.
    static std::function<void()> KeepPending(TKeepsPending keeps, TShellWinWindow& window,
                                             TOffscreenControl& control) {
        switch (keeps) {
        case TKeepsPending::PaintAsksForARepaint: {
            auto& actions = static_cast<TRecordingEvents&>(*control.Events).Actions;
            actions["Paint"] = [&control] { control.Invalidate(); };
            return [&actions] { actions.erase("Paint"); };
        }
        case TKeepsPending::NoSurface:
            return [&window, surface = std::exchange(window.Surface, nullptr)] { window.Surface = surface; };
        case TKeepsPending::Nothing:
            break;
        }
        return nullptr;
    }

    void ShowsAPendingFullRepaintThatASmallPaintRendered() {
        const auto window = this->ShowPaintedWindow();
        const TRef<TOffscreenControl> control = window->TopLevelControls[0];
        control->Invalidate();
        this->Pump(*window);
        ASSERT_EQ(this->FirstStalePixel(*window), "") << "after the partial repaint";
        struct Case {
            const char* name;
            int32_t controlLeft;
            std::vector<RECT> asked;
            TKeepsPending keeps;
        };
        const RECT corner{100, 70, 110, 78};
        const std::vector<RECT> oppositeCorners{{0, 0, 4, 4}, {116, 76, 120, 80}};
        const Case cases[] = {
            {"one corner", 60, {corner}, TKeepsPending::Nothing},
            {"two opposite corners", 0, oppositeCorners, TKeepsPending::Nothing},
            {"a full-height strip", 60, {{0, 0, 4, 80}}, TKeepsPending::Nothing},
            {"a paint that asks for a repaint", 0, oppositeCorners, TKeepsPending::PaintAsksForARepaint},
            {"no surface", 60, oppositeCorners, TKeepsPending::NoSurface},
        };
        for (const Case& c : cases) {
            control->SetBounds(c.controlLeft, 0, 60, 80);
            ASSERT_TRUE(window->RepaintPending) << c.name;
            EndRunaway = KeepPending(c.keeps, *window, *control);
            PaintsBegun = 0;
            for (const RECT& area : c.asked) InvalidateRect(window->Handle, &area, FALSE);
            UpdateWindow(window->Handle);
            if (c.keeps == TKeepsPending::Nothing) {
                EXPECT_FALSE(window->RepaintPending) << c.name;
                EXPECT_EQ(window->Surface->PixelAt(c.controlLeft + 55, 10), int32_t(kRed)) << c.name;
            }
            this->Pump(*window);
            EXPECT_LT(PaintsBegun, kRunawayPaints) << c.name << ": the pump kept painting";
            if (EndRunaway) {
                std::exchange(EndRunaway, nullptr)();
                this->Pump(*window);
            }
            EXPECT_EQ(this->FirstStalePixel(*window), "") << c.name;
        }
        window->Destroy();
    }
};
using TPendingRepaintSurfaces = ::testing::Types<TSoftServices, TWinServices>;
TYPED_TEST_SUITE(TPendingRepaintFixture, TPendingRepaintSurfaces);

TYPED_TEST(TPendingRepaintFixture, DirtyModeShowsAPendingFullRepaintThatASmallPaintRendered) {
    TScopedEnvVar dirty(u"ZYL_DIRTY", u"1");
    ASSERT_EQ(DirtyRepaintMode(), 1);
    this->ShowsAPendingFullRepaintThatASmallPaintRendered();
}

TYPED_TEST(TPendingRepaintFixture, FullModeShowsAPendingFullRepaintThatASmallPaintRendered) {
    ASSERT_EQ(DirtyRepaintMode(), 0); // the fixture cleared "ZYL_DIRTY"
    this->ShowsAPendingFullRepaintThatASmallPaintRendered();
}
