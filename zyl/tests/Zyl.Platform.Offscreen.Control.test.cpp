#include "Zyl.Platform.Offscreen.Fixture.h"

namespace Zyl::Testing {
namespace {

using System::MakeRef;
using OffscreenControl = OffscreenFixture;

TEST_F(OffscreenControl, StartsVisibleEnabledEmptyAndDetached) {
    const TRef<TOffscreenControl> c = MakeRef<TCountedControl>();
    int32_t l = -1, t = -1, w = -1, h = -1;
    c->GetBounds(l, t, w, h);
    EXPECT_EQ(std::vector<int32_t>({l, t, w, h}), std::vector<int32_t>({0, 0, 0, 0}));
    EXPECT_TRUE(c->Visible);
    EXPECT_TRUE(c->Enabled);
    EXPECT_EQ(c->GetCursor(), 0);
    EXPECT_EQ(c->GetWindow(), nullptr);
    EXPECT_FALSE(c->HasFocus());
    // Without a window these do nothing.
    c->SetFocus();
    c->SetMouseCapture(true);
    c->Invalidate();
    c->SetCursor(CursorIBeam);
    c->SetHint(u"Dica");
    c->Reserved34(true);
    EXPECT_EQ(c->GetCursor(), CursorIBeam);
    EXPECT_EQ(c->GetHint(), u"Dica");
    EXPECT_TRUE(c->Reserved34Flag);
}

TEST_F(OffscreenControl, RaisesResizedOnlyForANewSize) {
    const TRef<TOffscreenControl> a = NewControl("A", -1, 0, 0, 4, 4);
    Log->Clear();
    a->SetBounds(3, 3, 4, 4);
    EXPECT_EQ(LogText(), "");
    a->SetBounds(3, 3, 5, 4);
    a->SetBounds(3, 3, 5, 6);
    EXPECT_EQ(LogText(), "A:Resized(5,4) A:Resized(5,6)");
}

TEST_F(OffscreenControl, SetVisibleWithTheSameValueRequestsNothing) {
    const TRef<TOffscreenControl> a = Place("A", -1, 1, 1, 4, 4);
    Settle();
    a->SetVisible(true);
    EXPECT_FALSE(Window->RepaintPending);
}

TEST_F(OffscreenControl, MovesTheFocusWithFalseBeforeTrue) {
    const TRef<TOffscreenControl> a = Place("A", -1, 0, 0, 4, 4);
    const TRef<TOffscreenControl> b = Place("B", -1, 5, 0, 4, 4);
    a->SetFocus();
    Settle();
    a->SetFocus();
    EXPECT_EQ(LogText(), "");
    EXPECT_FALSE(Window->RepaintPending);
    b->SetFocus();
    EXPECT_EQ(LogText(), "A:FocusChanged(0) B:FocusChanged(1)");
    EXPECT_TRUE(b->HasFocus());
    EXPECT_FALSE(a->HasFocus());
    EXPECT_TRUE(Window->RepaintPending);
}

TEST_F(OffscreenControl, HidingTheFocusedControlClearsTheFocusSilently) {
    const TRef<TOffscreenControl> parent = Place("P", -1, 0, 0, 8, 8);
    const TRef<TOffscreenControl> a = Place("A", -1, 1, 1, 4, 4, parent.Get());
    a->SetFocus();
    Log->Clear();
    parent->SetVisible(false);
    EXPECT_EQ(Window->FocusedControl.Get(), a.Get());
    a->SetVisible(false);
    EXPECT_EQ(Window->FocusedControl, nullptr);
    EXPECT_EQ(LogText(), "");
    // A hidden or disabled control can still take the focus.
    a->SetEnabled(false);
    a->SetFocus();
    EXPECT_TRUE(a->HasFocus());
}

TEST_F(OffscreenControl, ReleasingTheCaptureNeedsTheHolder) {
    const TRef<TOffscreenControl> a = Place("A", -1, 0, 0, 4, 4);
    const TRef<TOffscreenControl> b = Place("B", -1, 5, 0, 4, 4);
    a->SetMouseCapture(true);
    b->SetMouseCapture(false);
    EXPECT_EQ(Window->CapturedControl.Get(), a.Get());
    b->SetMouseCapture(true);
    EXPECT_EQ(Window->CapturedControl.Get(), b.Get());
    b->SetMouseCapture(false);
    EXPECT_EQ(Window->CapturedControl, nullptr);
}

TEST_F(OffscreenControl, FindsItsWindowOriginThroughItsAncestors) {
    const TRef<TOffscreenWindow> big = NewWindow(200, 100);
    const TRef<TOffscreenControl> top = NewControl("", -1, 0, 0, 50, 40);
    const TRef<TOffscreenControl> child = NewControl("", -1, 0, 0, 20, 20);
    const TRef<TOffscreenControl> grandchild = NewControl("", -1, 0, 0, 5, 5);
    big->AddChild(top.Get(), 100, 50);
    top->AddChild(child.Get(), 10, 20);
    child->AddChild(grandchild.Get(), 5, 5);
    int32_t x = 0, y = 0;
    grandchild->GetWindowOrigin(x, y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(115, 75));
    EXPECT_EQ(grandchild->GetWindow(), big.Get());
}

// Records the canvas origin its control is painted at, and the local x of
// the pointer it is told about.
class TOriginProbe : public TPlatformEvents {
public:
    int32_t PaintX = 0, PaintY = 0, PointerX = 0;
    void Paint(TPlatformCanvas* canvas) override { canvas->GetOrigin(PaintX, PaintY); }
    void MouseMove(int32_t x, int32_t, int32_t) override { PointerX = x; }
};

// Bounds reach the int32 limits and controls nest, so the sums of their
// positions are taken in 64 bits and saturate. Each grandchild lies where a
// wrapped 32-bit sum would put it at x 5, inside the window.
TEST_F(OffscreenControl, FarPositionsSaturateInsteadOfWrapping) {
    struct Case {
        int32_t parent, child, grandchild;
        int32_t origin;
        int32_t pointer, local;
    };
    const Case cases[] = {
        {100, INT32_MAX, INT32_MAX - 93, INT32_MAX, -10, INT32_MIN},
        {-100, INT32_MIN, INT32_MIN + 105, INT32_MIN, 10, INT32_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parent);
        const TRef<TOffscreenControl> parent = Place("", -1, c.parent, 0, 8, 8);
        const TRef<TOffscreenControl> child = Place("", -1, c.child, 1, 4, 4, parent.Get());
        const TRef<TOffscreenControl> grandchild = Place("", -1, c.grandchild, 1, 2, 2, child.Get());
        const auto probe = MakeRef<TOriginProbe>();
        grandchild->Events = probe;
        for (TOffscreenControl* control : {child.Get(), grandchild.Get()}) {
            int32_t x = 0, y = 0;
            control->GetWindowOrigin(x, y);
            EXPECT_EQ(x, c.origin);
        }
        Window->Invalidate();
        Window->RenderWindowSurface();
        EXPECT_EQ(std::make_pair(probe->PaintX, probe->PaintY), std::make_pair(c.origin, 2));
        grandchild->SetMouseCapture(true);
        Window->RouteMouseMove(c.pointer, 0, 0);
        EXPECT_EQ(probe->PointerX, c.local);
        parent->RemoveFromParent();
    }
}

TEST_F(OffscreenControl, AddingTakesAControlOutOfItsFormerContainer) {
    const TRef<TOffscreenControl> p = NewControl("", -1, 0, 0, 8, 8);
    const TRef<TOffscreenControl> q = NewControl("", -1, 0, 0, 8, 8);
    const TRef<TOffscreenControl> a = NewControl("", -1, 0, 0, 2, 2);
    Window->AddChild(p.Get(), 0, 0);
    Window->AddChild(q.Get(), 8, 0);
    Window->AddChild(a.Get(), 0, 0);
    p->AddChild(a.Get(), 1, 1);
    EXPECT_EQ(Window->TopLevelControls.size(), 2u);
    q->AddChild(a.Get(), 2, 3);
    EXPECT_TRUE(p->Children.empty());
    ASSERT_EQ(q->Children.size(), 1u);
    EXPECT_EQ(a->Parent.Get(), q.Get());
    EXPECT_EQ(std::make_pair(a->Left, a->Top), std::make_pair(2, 3));
    Window->AddChild(a.Get(), 4, 4);
    EXPECT_TRUE(q->Children.empty());
    EXPECT_EQ(a->Parent, nullptr);
    EXPECT_EQ(Window->TopLevelControls.size(), 3u);
}

TEST_F(OffscreenControl, LeavingAWindowClearsItsFocusCaptureHoverAndPopups) {
    const TRef<TOffscreenWindow> other = NewWindow();
    const TRef<TOffscreenControl> top = Place("T", -1, 0, 0, 10, 10);
    const TRef<TOffscreenControl> child = Place("C", -1, 1, 1, 4, 4, top.Get());
    const TRef<TOffscreenControl> grandchild = Place("G", -1, 1, 1, 2, 2, child.Get());
    const TRef<TOffscreenControl> popup = NewControl("P", -1, 0, 0, 2, 2);
    Window->AddPopupChild(popup.Get(), 12, 0);
    child->AddChild(popup.Get(), 0, 0);  // a popup moved into the subtree stays listed
    EXPECT_EQ(Window->Popups.size(), 1u);
    grandchild->SetFocus();
    Window->RouteMouseMove(3, 3, 0);
    ASSERT_EQ(Window->HoveredControl.Get(), grandchild.Get());
    child->SetMouseCapture(true);
    Log->Clear();

    other->AddChild(child.Get(), 3, 3);
    EXPECT_EQ(Window->FocusedControl, nullptr);
    EXPECT_EQ(Window->CapturedControl, nullptr);
    EXPECT_EQ(Window->HoveredControl, nullptr);
    EXPECT_TRUE(Window->Popups.empty());
    EXPECT_TRUE(top->Children.empty());
    EXPECT_EQ(grandchild->Window.Get(), other.Get());
    EXPECT_EQ(popup->Window.Get(), other.Get());
    EXPECT_EQ(other->FocusedControl, nullptr);
    EXPECT_EQ(LogText(), "");
}

TEST_F(OffscreenControl, RemoveFromParentTakesTheSubtreeOutOfTheWindow) {
    const TRef<TOffscreenControl> top = Place("", -1, 0, 0, 10, 10);
    const TRef<TOffscreenControl> child = Place("", -1, 1, 1, 4, 4, top.Get());
    const TRef<TOffscreenControl> grandchild = Place("", -1, 1, 1, 2, 2, child.Get());
    grandchild->SetFocus();
    grandchild->SetMouseCapture(true);
    child->RemoveFromParent();
    EXPECT_EQ(Window->FocusedControl, nullptr);
    EXPECT_EQ(Window->CapturedControl, nullptr);
    EXPECT_EQ(grandchild->GetWindow(), nullptr);
    EXPECT_EQ(child->Parent.Get(), top.Get());  // the parent reference stays
    EXPECT_TRUE(top->Children.empty());
}

} // namespace
} // namespace Zyl::Testing
