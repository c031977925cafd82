#include "Zyl.Platform.Offscreen.Fixture.h"
#include "Zyl.Platform.Offscreen.Diagnostics.h"
#include "Zyl.Test.Env.h"

#include <functional>
#include <tuple>

namespace Zyl::Testing {
namespace {

using System::MakeRef;

struct TModeText {
    const char16_t* Text;
    int32_t Mode;
};

class DirtyModeText : public ::testing::TestWithParam<TModeText> {};

TEST_P(DirtyModeText, SelectsOnlyExactValues) {
    EXPECT_EQ(DirtyModeFromText(GetParam().Text), GetParam().Mode);
}

INSTANTIATE_TEST_SUITE_P(Offscreen, DirtyModeText,
                         ::testing::Values(TModeText{u"1", 1}, TModeText{u"check", 2}, TModeText{u"Check", 0},
                                           TModeText{u"true", 0}, TModeText{u"2", 0}, TModeText{u"", 0},
                                           TModeText{u" 1", 0}, TModeText{u"check ", 0}));

TEST(OffscreenDirtyMode, FollowsTheEnvironmentOfTheProcess) {
    EXPECT_EQ(DirtyRepaintMode(), DirtyModeFromText(GetEnvVar(u"ZYL_DIRTY").value_or(u"")));
}

using OffscreenWindow = OffscreenFixture;

TEST_F(OffscreenWindow, StartsHiddenAt320By240WithAFullRepaintPending) {
    const TRef<TOffscreenWindow> window = MakeRef<TCountedWindow>(App.Get());
    EXPECT_EQ(window->GetWidth(), 320);
    EXPECT_EQ(window->GetHeight(), 240);
    EXPECT_FALSE(window->Visible);
    EXPECT_TRUE(window->RepaintPending);
    EXPECT_TRUE(window->FullRepaint);
    ASSERT_NE(window->GetSurface(), nullptr);
    EXPECT_EQ(window->GetSurface()->Width(), 320);
    EXPECT_FALSE(window->GetSurface()->HasAlpha());
    window->RenderWindowSurface();
    EXPECT_EQ(std::vector<int32_t>({window->DirtyLeft, window->DirtyTop, window->DirtyRight, window->DirtyBottom}),
              std::vector<int32_t>({0, 0, 320, 240}));
    EXPECT_EQ(Testing::ColorAt(*window->Surface, 319, 239), kBackground);
    window->Dispose();
}

TEST_F(OffscreenWindow, HasNoSurfaceWithoutPlatformServices) {
    const TScopedPlatformServices none(nullptr);
    const TRef<TOffscreenWindow> window = NewWindow(8, 8);
    EXPECT_EQ(window->GetSurface(), nullptr);
    window->Show();
    window->RenderWindowSurface();
    EXPECT_TRUE(window->RepaintPending);
}

TEST_F(OffscreenWindow, RendersNothingWhenNothingIsPending) {
    const TRef<TOffscreenControl> a = Place("A", kRed, 1, 1, 3, 3);
    Settle();
    a->Invalidate();
    Window->RenderWindowSurface();
    const std::vector<int32_t> painted{Window->DirtyLeft, Window->DirtyTop, Window->DirtyRight, Window->DirtyBottom};
    Log->Clear();
    Window->RenderWindowSurface();
    EXPECT_EQ(LogText(), "");
    EXPECT_EQ(std::vector<int32_t>({Window->DirtyLeft, Window->DirtyTop, Window->DirtyRight, Window->DirtyBottom}),
              painted);
}

TEST_F(OffscreenWindow, SetSizeReplacesTheSurfaceOnlyForANewSize) {
    WindowSink();
    Settle();
    const TRef<TPlatformSurface> before = Window->GetSurface();
    Window->SetSize(16, 12);
    EXPECT_EQ(Window->GetSurface(), before);
    EXPECT_FALSE(Window->RepaintPending);
    Window->SetSize(20, 10);
    EXPECT_NE(Window->GetSurface(), before);
    EXPECT_EQ(Window->GetSurface()->Width(), 20);
    EXPECT_TRUE(Window->FullRepaint);
    EXPECT_EQ(LogText(), "W:Resized(20,10)");
}

TEST_F(OffscreenWindow, SignalsOnlyARealWindowStateChange) {
    WindowSink();
    Window->SetWindowState(WindowStateNormal);
    Window->SetWindowState(WindowStateMaximized);
    Window->SetWindowState(WindowStateMaximized);
    EXPECT_EQ(LogText(), "W:WindowStateChanged(2)");
    EXPECT_EQ(Window->GetWindowState(), WindowStateMaximized);
}

TEST_F(OffscreenWindow, StoresItsAttributes) {
    Window->SetTitle(u"Instalador");
    Window->SetPosition(30, 40);
    Window->SetBorderStyle(BorderStyleDialog);
    Window->SetStayOnTop(true);
    Window->SetNoActivate(true);
    Window->SetFrameTheme(true, 1, 2, 3);
    Window->SetSizeConstraints(4, 5, 6, 7);
    Window->SetCursor(CursorHand);
    const TRef<TPlatformSurface> icon = MakeRef<TMemorySurface>(1, 1, true);
    Window->SetIcon(icon.Get());
    const TRef<TOffscreenWindow> owner = NewWindow();
    Window->SetOwner(owner.Get());
    int32_t x = 0, y = 0;
    Window->GetPosition(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(30, 40));
    Window->GetClientOrigin(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(30, 40));
    EXPECT_EQ(Window->GetTitle(), u"Instalador");
    EXPECT_EQ(Window->BorderStyle, BorderStyleDialog);
    EXPECT_TRUE(Window->StayOnTop && Window->NoActivate && Window->HasIcon && Window->FrameDark);
    EXPECT_EQ(std::vector<int32_t>({Window->FrameCaptionColor, Window->FrameTextColor, Window->FrameBorderColor,
                                    Window->MinWidth, Window->MinHeight, Window->MaxWidth, Window->MaxHeight}),
              std::vector<int32_t>({1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(Window->Owner.Get(), owner.Get());
    EXPECT_EQ(Window->WindowCursor, CursorHand);
    EXPECT_EQ(Window->CurrentCursor, 0);
    Window->Show();
    EXPECT_TRUE(Window->Visible && Window->FullRepaint);
    Settle();
    Window->Hide();
    EXPECT_FALSE(Window->Visible);
    EXPECT_FALSE(Window->RepaintPending);
}

// Painting: each sink fills its control with its colour; a full repaint.

struct TPaintCase {
    const char* Name;
    std::function<void(OffscreenFixture&)> Build;
    const char* Log;
    // (x, y, colour) of the window afterwards.
    std::vector<std::tuple<int32_t, int32_t, int32_t>> Pixels;
};

void PrintTo(const TPaintCase& c, std::ostream* os) { *os << c.Name; }

class Painting : public OffscreenFixture, public ::testing::WithParamInterface<TPaintCase> {};

TEST_P(Painting, FillsTheSurfaceInZOrder) {
    GetParam().Build(*this);
    Log->Clear();
    Window->Invalidate();
    Window->RenderWindowSurface();
    EXPECT_EQ(LogText(), GetParam().Log);
    for (const auto& [x, y, colour] : GetParam().Pixels)
        EXPECT_EQ(ColorAt(x, y), colour) << "at " << x << "," << y;
}

INSTANTIATE_TEST_SUITE_P(
    Offscreen, Painting,
    ::testing::Values(
        TPaintCase{"TheBackgroundWithoutASink", [](auto&) {}, "", {{0, 0, kBackground}, {15, 11, kBackground}}},
        TPaintCase{"TheWindowSinkInsteadOfTheBackground", [](auto& f) { f.WindowSink(kYellow); }, "W:Paint",
                   {{0, 0, kYellow}, {15, 11, kYellow}}},
        TPaintCase{"LaterSiblingsAboveEarlierOnes",
                   [](auto& f) {
                       f.Place("A", kRed, 0, 0, 8, 8);
                       f.Place("B", kGreen, 4, 4, 8, 8);
                   },
                   "A:Paint B:Paint", {{1, 1, kRed}, {5, 5, kGreen}, {11, 11, kGreen}, {12, 1, kBackground}}},
        TPaintCase{"PopupsAboveEveryTopLevelControl",
                   [](auto& f) {
                       f.Window->AddPopupChild(f.NewControl("P", kBlue, 0, 0, 4, 4).Get(), 2, 2);
                       f.Place("T", kRed, 0, 0, 16, 12);
                   },
                   "T:Paint P:Paint", {{3, 3, kBlue}, {6, 6, kRed}}},
        TPaintCase{"AChildClippedToItsParent",
                   [](auto& f) {
                       f.Place("C", kGreen, 4, 4, 10, 10, f.Place("P", kRed, 2, 2, 6, 6).Get());
                   },
                   "P:Paint C:Paint", {{3, 3, kRed}, {7, 7, kGreen}, {8, 8, kBackground}, {9, 6, kBackground}}},
        TPaintCase{"NothingOfAnInvisibleSubtree",
                   [](auto& f) {
                       const TRef<TOffscreenControl> parent = f.Place("P", kRed, 0, 0, 8, 8);
                       f.Place("C", kGreen, 1, 1, 4, 4, parent.Get());
                       parent->SetVisible(false);
                   },
                   "", {{2, 2, kBackground}}}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(OffscreenWindow, PaintsOnlyTheControlsInsideAPartialRegion) {
    const TRef<TOffscreenControl> a = Place("A", kRed, 0, 0, 3, 3);
    const TRef<TOffscreenControl> b = Place("B", kGreen, 10, 6, 3, 3);
    Place("C", kBlue, 13, 0, 2, 2);
    WindowSink(kYellow);
    Settle();
    a->Invalidate();
    b->Invalidate();
    Window->RenderWindowSurface();
    if (Mode() == 0) {
        EXPECT_EQ(LogText(), "W:Paint A:Paint B:Paint C:Paint");
    } else {
        // One repaint of the bounding rectangle (0, 0, 13, 9): C lies outside
        // it. The check then paints everything once more.
        const std::string partial = "W:Paint A:Paint B:Paint";
        EXPECT_EQ(LogText(), Mode() == 1 ? partial : partial + " W:Paint A:Paint B:Paint C:Paint");
        EXPECT_EQ(std::vector<int32_t>({Window->DirtyLeft, Window->DirtyTop, Window->DirtyRight, Window->DirtyBottom}),
                  std::vector<int32_t>({0, 0, 13, 9}));
    }
}

// Dirty rectangle: invalidation sequences after a settled frame.

struct TDirtyCase {
    const char* Name;
    std::function<void(OffscreenFixture&, TOffscreenWindow&, std::vector<TRef<TOffscreenControl>>&)> Play;
    // In the partial modes.
    bool Full;
    std::vector<int32_t> Rect;
    // In mode 0, where control invalidations never touch the rectangle.
    bool FullInMode0;
    bool PendingInMode0 = true;
};

void PrintTo(const TDirtyCase& c, std::ostream* os) { *os << c.Name; }

class DirtyRectangle : public OffscreenFixture, public ::testing::WithParamInterface<TDirtyCase> {};

// Controls: 0 at (1, 1, 3, 3), 1 at (10, 6, 4, 4), 2 at (20, 20, 4, 4),
// 3 at (-2, -3, 5, 5), 4 at (14, 10, 5, 5); 5 a child of 1 at (1, 2, 2, 2).
TEST_P(DirtyRectangle, MergesAsTheSequenceAsks) {
    const int32_t bounds[][4] = {{1, 1, 3, 3}, {10, 6, 4, 4}, {20, 20, 4, 4}, {-2, -3, 5, 5}, {14, 10, 5, 5}};
    std::vector<TRef<TOffscreenControl>> c;
    for (const auto& b : bounds) {
        c.push_back(NewControl("", -1, 0, 0, b[2], b[3]));
        Window->AddChild(c.back().Get(), b[0], b[1]);
    }
    c.push_back(NewControl("", -1, 0, 0, 2, 2));
    c[1]->AddChild(c[5].Get(), 1, 2);
    Settle();
    GetParam().Play(*this, *Window, c);
    const std::vector<int32_t> rect{Window->DirtyLeft, Window->DirtyTop, Window->DirtyRight, Window->DirtyBottom};
    if (Mode() == 0) {
        EXPECT_EQ(Window->RepaintPending, GetParam().PendingInMode0);
        EXPECT_EQ(Window->FullRepaint, GetParam().FullInMode0);
        EXPECT_EQ(rect, std::vector<int32_t>({0, 0, 16, 12}));
    } else {
        EXPECT_TRUE(Window->RepaintPending);
        EXPECT_EQ(Window->FullRepaint, GetParam().Full);
        EXPECT_EQ(rect, GetParam().Rect);
    }
}

const std::vector<int32_t> kWhole{0, 0, 16, 12};

INSTANTIATE_TEST_SUITE_P(
    Offscreen, DirtyRectangle,
    ::testing::Values(
        TDirtyCase{"OneControl", [](auto&, auto&, auto& c) { c[0]->Invalidate(); }, false, {1, 1, 4, 4}, false},
        TDirtyCase{"UnionOfTwoControls",
                   [](auto&, auto&, auto& c) {
                       c[0]->Invalidate();
                       c[1]->Invalidate();
                   },
                   false, {1, 1, 14, 10}, false},
        TDirtyCase{"AChildInWindowCoordinates", [](auto&, auto&, auto& c) { c[5]->Invalidate(); }, false,
                   {11, 8, 13, 10}, false},
        TDirtyCase{"AControlOutsideTheWindowLeavesTheRectangle", [](auto&, auto&, auto& c) { c[2]->Invalidate(); },
                   false, kWhole, false},
        TDirtyCase{"ClippedToTheWindowAtTheTopLeft", [](auto&, auto&, auto& c) { c[3]->Invalidate(); }, false,
                   {0, 0, 3, 2}, false},
        TDirtyCase{"ClippedToTheWindowAtTheBottomRight", [](auto&, auto&, auto& c) { c[4]->Invalidate(); },
                   false, {14, 10, 16, 12}, false},
        TDirtyCase{"APendingFullRepaintIsKept",
                   [](auto&, auto& w, auto& c) {
                       w.Invalidate();
                       c[0]->Invalidate();
                   },
                   true, kWhole, true},
        TDirtyCase{"DisablingInvalidates", [](auto&, auto&, auto& c) { c[0]->SetEnabled(false); }, false,
                   {1, 1, 4, 4}, false},
        TDirtyCase{"MovingAsksForAFullRepaint", [](auto&, auto&, auto& c) { c[0]->SetBounds(2, 2, 3, 3); }, true,
                   kWhole, false},
        TDirtyCase{"HidingAsksForAFullRepaint", [](auto&, auto&, auto& c) { c[0]->SetVisible(false); }, true,
                   kWhole, false},
        TDirtyCase{"RemovingAsksForAFullRepaint", [](auto&, auto&, auto& c) { c[5]->RemoveFromParent(); }, true,
                   kWhole, false, false}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(OffscreenWindow, CountsOnlyPartialRepaints) {
    const TRef<TOffscreenControl> a = Place("", -1, 1, 1, 3, 3);
    Settle();
    const int32_t count = PartialRepaintCount;
    const int64_t area = PartialRepaintArea;
    a->Invalidate();
    Window->RenderWindowSurface();
    Window->Invalidate();
    Window->RenderWindowSurface();
    if (Mode() == 0) {
        EXPECT_EQ(PartialRepaintCount, count);
        EXPECT_EQ(PartialRepaintArea, area);
    } else {
        EXPECT_EQ(PartialRepaintCount, count + 1);
        EXPECT_EQ(PartialRepaintArea, area + 9);
    }
    EXPECT_FALSE(Window->PartialPaint);
}

std::string Written;

// The window's sink paints red once, then green: a partial repaint then
// leaves red outside its region, which a full repaint would not.
TEST_F(OffscreenWindow, TheCheckRepairsAPartialRepaintThatDiffersFromAFullOne) {
    const TDiagnosticOutputProc previous = DiagnosticOutputProc();
    DiagnosticOutputProc() = [](const std::string& text) { Written += text; };
    Written.clear();
    const TRef<TOffscreenControl> a = Place("", -1, 1, 1, 3, 3);
    TRecordingEvents& sink = WindowSink(kRed);
    sink.Actions["Paint"] = [&sink] { sink.PaintColour = kGreen; };
    Settle();
    a->Invalidate();
    Window->RenderWindowSurface();
    DiagnosticOutputProc() = previous;
    EXPECT_EQ(ColorAt(2, 2), kGreen);
    EXPECT_EQ(ColorAt(0, 0), Mode() == 1 ? kRed : kGreen);
    EXPECT_EQ(Written, Mode() == 2 ? "DIRTY-MISMATCH: 183 pixels diferentes (regiao 1,1,4,4)\n" : "");
}

TEST_F(OffscreenWindow, RemovingANonPopupSchedulesNothing) {
    const TRef<TOffscreenControl> a = Place("", -1, 1, 1, 3, 3);
    Settle();
    Window->RemovePopupChild(a.Get());
    EXPECT_FALSE(Window->RepaintPending);
    EXPECT_EQ(Window->TopLevelControls.size(), 1u);
}

TEST_F(OffscreenWindow, KeepsAPopupAddedAgainAsATopLevelControlListed) {
    const TRef<TOffscreenControl> p = NewControl("", -1, 0, 0, 3, 3);
    Window->AddPopupChild(p.Get(), 1, 1);
    Window->AddChild(p.Get(), 2, 2);
    EXPECT_EQ(Window->Popups.size(), 1u);
    EXPECT_EQ(Window->TopLevelControls.size(), 1u);
    Window->RemovePopupChild(p.Get());
    EXPECT_TRUE(Window->Popups.empty());
    EXPECT_EQ(p->Window.Get(), Window.Get());
    Window->MovePopupChild(p.Get(), 5, 6);
    EXPECT_EQ(std::make_pair(p->Left, p->Top), std::make_pair(5, 6));
}

} // namespace
} // namespace Zyl::Testing
