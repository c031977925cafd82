#include "Zyl.Platform.Offscreen.Fixture.h"

#include <functional>

namespace Zyl::Testing {
namespace {

using System::MakeRef;

constexpr int32_t kGrey = 0x808080;

// A (0, 0, 8, 8) with a child C (1, 1, 3, 3) and a grandchild G (0, 0, 2, 2);
// B (8, 0, 8, 8); the popup P (10, 8, 4, 4); the window's sink W. Plain
// pointers: the fixture holds the references.
struct TScene {
    TOffscreenControl *A, *B, *C, *G, *P;
};

class OffscreenOwnership : public OffscreenFixture {
public:
    TScene Build() {
        TScene s{};
        s.A = Place("A", kRed, 0, 0, 8, 8).Get();
        s.C = Place("C", kGreen, 1, 1, 3, 3, s.A).Get();
        s.G = Place("G", kBlue, 0, 0, 2, 2, s.C).Get();
        s.B = Place("B", kYellow, 8, 0, 8, 8).Get();
        s.P = NewControl("P", kBlue, 0, 0, 4, 4).Get();
        Window->AddPopupChild(s.P, 10, 8);
        WindowSink(kGrey);
        Settle();
        return s;
    }

    // Focus, capture, hover and the pressed control all set.
    void Engage(const TScene& s) {
        s.G->SetFocus();
        Window->RouteMouseMove(12, 9, 0);
        Window->RouteMouseDown(9, 1, MouseButtonLeft, 0);
        s.C->SetMouseCapture(true);
        ASSERT_EQ(Window->HoveredControl.Get(), s.P);
        ASSERT_EQ(Window->PressedControl.Get(), s.B);
    }

    void ExpectNothingLeft() {
        ReleaseAll();
        EXPECT_EQ(TCountedWindow::Live, 0);
        EXPECT_EQ(TCountedControl::Live, 0);
        EXPECT_EQ(Services->LiveSurfaces, 0);
    }
};

struct TDisposalOrder {
    const char* Name;
    std::function<void(TOffscreenWindow&, const TScene&)> Dispose;
};

void PrintTo(const TDisposalOrder& c, std::ostream* os) { *os << c.Name; }

class DisposalOrder : public OffscreenOwnership, public ::testing::WithParamInterface<TDisposalOrder> {};

TEST_P(DisposalOrder, LeavesNoLiveWindowOrControl) {
    const TScene s = Build();
    Engage(s);
    GetParam().Dispose(*Window, s);
    ExpectNothingLeft();
}

INSTANTIATE_TEST_SUITE_P(
    Offscreen, DisposalOrder,
    ::testing::Values(
        TDisposalOrder{"WindowFirst",
                       [](TOffscreenWindow& w, const TScene& s) {
                           w.Dispose();
                           for (TOffscreenControl* c : {s.A, s.B, s.C, s.G, s.P}) c->Dispose();
                       }},
        TDisposalOrder{"ControlsFirstParentsBeforeChildren",
                       [](TOffscreenWindow& w, const TScene& s) {
                           for (TOffscreenControl* c : {s.A, s.C, s.G, s.B, s.P}) c->Dispose();
                           w.Dispose();
                       }},
        TDisposalOrder{"ControlsFirstChildrenBeforeParents",
                       [](TOffscreenWindow& w, const TScene& s) {
                           for (TOffscreenControl* c : {s.G, s.C, s.A, s.P, s.B}) c->Dispose();
                           w.Dispose();
                       }},
        TDisposalOrder{"BetweenTheControls",
                       [](TOffscreenWindow& w, const TScene& s) {
                           s.C->Dispose();
                           w.Dispose();
                           for (TOffscreenControl* c : {s.A, s.G, s.B, s.P}) c->Dispose();
                       }},
        TDisposalOrder{"OnlyTheControls",
                       [](TOffscreenWindow&, const TScene& s) {
                           for (TOffscreenControl* c : {s.A, s.B, s.C, s.G, s.P}) c->Dispose();
                       }},
        TDisposalOrder{"TwiceEach",
                       [](TOffscreenWindow& w, const TScene& s) {
                           for (int i = 0; i < 2; ++i) {
                               w.Dispose();
                               for (TOffscreenControl* c : {s.A, s.B, s.C, s.G, s.P}) c->Dispose();
                           }
                       }}),
    [](const auto& info) { return std::string(info.param.Name); });

// Leaf controls need no disposal of their own once the window let go of
// them, a listed popup included.
TEST_F(OffscreenOwnership, DisposingTheWindowFreesItsLeafControlsAndListedPopups) {
    TOffscreenControl* leaf = NewControl("L", -1, 0, 0, 4, 4).Get();
    TOffscreenControl* popup = NewControl("P", -1, 0, 0, 4, 4).Get();
    Window->AddChild(leaf, 0, 0);
    Window->AddPopupChild(popup, 4, 4);
    leaf->SetFocus();
    popup->SetMouseCapture(true);
    Window->Dispose();
    EXPECT_EQ(popup->GetWindow(), nullptr);
    EXPECT_TRUE(Window->Popups.empty());
    ExpectNothingLeft();
}

TEST_F(OffscreenOwnership, ADisposedWindowPaintsNothingAndTakesNoControls) {
    const TScene s = Build();
    Window->Dispose();
    EXPECT_EQ(Window->GetSurface(), nullptr);
    EXPECT_EQ(s.G->GetWindow(), nullptr);
    EXPECT_EQ(s.C->Parent.Get(), s.A);
    Window->Invalidate();
    Window->RenderWindowSurface();
    Log->Clear();
    Window->SetSize(30, 30);
    EXPECT_EQ(Window->GetSurface(), nullptr);
    EXPECT_EQ(LogText(), "W:Resized(30,30)");
    Log->Clear();
    Window->AddChild(s.B, 0, 0);
    Window->AddPopupChild(s.P, 0, 0);
    EXPECT_TRUE(Window->TopLevelControls.empty());
    EXPECT_TRUE(Window->Popups.empty());
    EXPECT_EQ(s.B->GetWindow(), nullptr);
    EXPECT_EQ(LogText(), "");
}

TEST_F(OffscreenOwnership, ADisposedControlTakesNoChildrenAndNoContainerTakesIt) {
    const TScene s = Build();
    s.A->Dispose();
    EXPECT_EQ(s.A->GetWindow(), nullptr);
    EXPECT_EQ(s.A->Parent, nullptr);
    EXPECT_TRUE(s.A->Children.empty());
    EXPECT_EQ(s.C->Parent, nullptr);
    EXPECT_EQ(s.G->GetWindow(), nullptr);
    s.A->AddChild(s.B, 0, 0);
    EXPECT_TRUE(s.A->Children.empty());
    Window->AddChild(s.A, 0, 0);
    s.B->AddChild(s.A, 0, 0);
    EXPECT_EQ(Window->TopLevelControls.size(), 1u);
    EXPECT_TRUE(s.B->Children.empty());
}

// Handlers that change the window under the call that reached them.

class ReentryCase;

struct TReentryCase {
    const char* Name;
    // Sets the actions up; f is the fixture, s the scene.
    std::function<void(ReentryCase& f, const TScene& s)> Arrange;
    std::function<void(ReentryCase& f, const TScene& s)> Act;
    const char* Log;
    std::function<void(ReentryCase& f, const TScene& s)> Check;
};

void PrintTo(const TReentryCase& c, std::ostream* os) { *os << c.Name; }

class ReentryCase : public OffscreenOwnership, public ::testing::WithParamInterface<TReentryCase> {
public:
    static void On(TOffscreenControl* control, const std::string& event, std::function<void()> action) {
        Sink(*control).Actions[event] = std::move(action);
    }
    void OnWindow(const std::string& event, std::function<void()> action) {
        dynamic_cast<TRecordingEvents&>(*Window->Events).Actions[event] = std::move(action);
    }
    void Repaint() {
        Window->Invalidate();
        Window->RenderWindowSurface();
    }
};

TEST_P(ReentryCase, LeavesTheStatedState) {
    const TScene s = Build();
    GetParam().Arrange(*this, s);
    Log->Clear();
    GetParam().Act(*this, s);
    EXPECT_EQ(LogText(), GetParam().Log);
    GetParam().Check(*this, s);
}

using F = ReentryCase;

INSTANTIATE_TEST_SUITE_P(
    Offscreen, ReentryCase,
    ::testing::Values(
        TReentryCase{"MouseDownDisposesItsControl",
                     [](auto& f, const TScene& s) {
                         F::On(s.A, "MouseDown", [&f, a = s.A] {
                             a->Dispose();
                             f.Forget(a);
                         });
                     },
                     [](auto& f, const TScene&) { f.Window->RouteMouseDown(6, 6, MouseButtonLeft, 0); },
                     "A:MouseDown(6,6,1,0)",
                     [](auto& f, const TScene&) {
                         // As the shell does for a double-click right after the press.
                         const TRef<TOffscreenControl> pressed = f.Window->PressedControl;
                         ASSERT_NE(pressed, nullptr);
                         EXPECT_TRUE(pressed->Disposed());
                         if (const TRef<TPlatformEvents> sink = pressed->Events) sink->DoubleClick();
                         EXPECT_EQ(f.Window->TopLevelControls.size(), 1u);
                     }},
        TReentryCase{"MouseDownDisposesTheWindow",
                     [](auto& f, const TScene& s) { F::On(s.B, "MouseDown", [&f] { f.Window->Dispose(); }); },
                     [](auto& f, const TScene&) { f.Window->RouteMouseDown(9, 1, MouseButtonLeft, 0); },
                     "B:MouseDown(1,1,1,0)",
                     [](auto& f, const TScene& s) {
                         EXPECT_EQ(f.Window->PressedControl, nullptr);
                         EXPECT_TRUE(f.Window->TopLevelControls.empty());
                         EXPECT_EQ(s.B->GetWindow(), nullptr);
                         f.Repaint();
                         f.Window->RouteMouseMove(1, 1, 0);
                     }},
        TReentryCase{"MouseMoveClearsItsOwnEvents",
                     [](auto&, const TScene& s) { F::On(s.B, "MouseMove", [b = s.B] { b->Events = nullptr; }); },
                     [](auto& f, const TScene&) { f.Window->RouteMouseMove(9, 1, 0); },
                     "B:MouseEnter B:MouseMove(1,1,0)",
                     [](auto&, const TScene& s) { EXPECT_EQ(s.B->Events, nullptr); }},
        TReentryCase{"MouseEnterClearsItsOwnEvents",
                     [](auto&, const TScene& s) { F::On(s.B, "MouseEnter", [b = s.B] { b->Events = nullptr; }); },
                     [](auto& f, const TScene&) { f.Window->RouteMouseMove(9, 1, 0); },
                     "B:MouseEnter",
                     [](auto& f, const TScene& s) { EXPECT_EQ(f.Window->HoveredControl.Get(), s.B); }},
        TReentryCase{"KeyDownClearsItsOwnEvents",
                     [](auto&, const TScene& s) {
                         s.G->SetFocus();
                         F::On(s.G, "KeyDown", [g = s.G] { g->Events = nullptr; });
                     },
                     [](auto& f, const TScene&) {
                         f.Window->RouteKeyDown(PlatformKeyA, 0);
                         f.Window->RouteKeyUp(PlatformKeyA, 0);
                     },
                     "G:KeyDown(97,0) W:KeyUp(97,0)", [](auto&, const TScene&) {}},
        TReentryCase{"WindowPaintClearsItsOwnEvents",
                     [](auto& f, const TScene&) { f.OnWindow("Paint", [w = f.Window.Get()] { w->Events = nullptr; }); },
                     [](auto& f, const TScene&) { f.Repaint(); },
                     "W:Paint A:Paint C:Paint G:Paint B:Paint P:Paint",
                     [](auto& f, const TScene&) { EXPECT_EQ(f.Window->Events, nullptr); }},
        TReentryCase{"FocusChangedClearsItsOwnEvents",
                     [](auto&, const TScene& s) { F::On(s.B, "FocusChanged", [b = s.B] { b->Events = nullptr; }); },
                     [](auto&, const TScene& s) { s.B->SetFocus(); },
                     "B:FocusChanged(1)", [](auto&, const TScene& s) { EXPECT_TRUE(s.B->HasFocus()); }},
        TReentryCase{"MouseLeaveHidesTheControlAboutToBeEntered",
                     [](auto& f, const TScene& s) {
                         f.Window->RouteMouseMove(6, 6, 0);
                         F::On(s.A, "MouseLeave", [b = s.B] { b->SetVisible(false); });
                     },
                     [](auto& f, const TScene&) { f.Window->RouteMouseMove(9, 1, 0); },
                     "A:MouseLeave",
                     [](auto& f, const TScene&) {
                         EXPECT_EQ(f.Window->HoveredControl, nullptr);
                         EXPECT_EQ(f.Window->CurrentCursor, 0);
                     }},
        TReentryCase{"LosingTheFocusMovesItOn",
                     [](auto&, const TScene& s) {
                         s.A->SetFocus();
                         F::On(s.A, "FocusChanged", [c = s.C] { c->SetFocus(); });
                     },
                     [](auto&, const TScene& s) { s.B->SetFocus(); },
                     "A:FocusChanged(0) B:FocusChanged(0) C:FocusChanged(1)",
                     [](auto& f, const TScene& s) {
                         EXPECT_EQ(f.Window->FocusedControl.Get(), s.C);
                         EXPECT_FALSE(s.B->HasFocus());
                     }},
        TReentryCase{"LosingTheFocusDetachesTheNewHolder",
                     [](auto&, const TScene& s) {
                         s.A->SetFocus();
                         F::On(s.A, "FocusChanged", [b = s.B] { b->RemoveFromParent(); });
                     },
                     [](auto&, const TScene& s) { s.B->SetFocus(); }, "A:FocusChanged(0)",
                     [](auto& f, const TScene& s) {
                         EXPECT_EQ(f.Window->FocusedControl, nullptr);
                         EXPECT_FALSE(s.B->HasFocus());
                     }},
        TReentryCase{"PaintRemovesASibling",
                     [](auto& f, const TScene& s) {
                         F::On(s.A, "Paint", [&f, b = s.B] {
                             if (b->Disposed()) return;
                             b->Dispose();
                             f.Forget(b);
                         });
                     },
                     [](auto& f, const TScene&) { f.Repaint(); }, "W:Paint A:Paint C:Paint G:Paint P:Paint",
                     [](auto& f, const TScene&) {
                         EXPECT_EQ(f.Window->TopLevelControls.size(), 1u);
                         EXPECT_EQ(f.ColorAt(12, 2), kGrey);
                     }},
        TReentryCase{"PaintDisposesTheWindow",
                     [](auto& f, const TScene&) { f.OnWindow("Paint", [w = f.Window.Get()] { w->Dispose(); }); },
                     [](auto& f, const TScene&) { f.Repaint(); }, "W:Paint",
                     [](auto& f, const TScene&) { EXPECT_EQ(f.Window->GetSurface(), nullptr); }},
        TReentryCase{"ResizedDisposesTheWindow",
                     [](auto& f, const TScene&) { f.OnWindow("Resized", [w = f.Window.Get()] { w->Dispose(); }); },
                     [](auto& f, const TScene&) { f.Window->SetSize(20, 10); }, "W:Resized(20,10)",
                     [](auto& f, const TScene&) {
                         EXPECT_EQ(f.Window->GetSurface(), nullptr);
                         EXPECT_TRUE(f.Window->TopLevelControls.empty());
                     }},
        TReentryCase{"ResizedDisposesItsControl",
                     [](auto& f, const TScene& s) {
                         F::On(s.B, "Resized", [&f, b = s.B] {
                             b->Dispose();
                             f.Forget(b);
                         });
                     },
                     [](auto&, const TScene& s) { s.B->SetBounds(8, 0, 4, 4); }, "B:Resized(4,4)",
                     [](auto& f, const TScene&) {
                         EXPECT_EQ(f.Window->TopLevelControls.size(), 1u);
                         EXPECT_EQ(TCountedControl::Live, 4);
                     }}),
    [](const auto& info) { return std::string(info.param.Name); });

} // namespace
} // namespace Zyl::Testing
