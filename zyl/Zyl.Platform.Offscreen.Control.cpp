#include "Zyl.Platform.Offscreen.h"

#include <algorithm>

namespace Zyl {

using System::TRef;

bool RemoveControl(std::vector<TRef<TOffscreenControl>>& list, const TOffscreenControl* control) {
    const auto it = std::find_if(list.begin(), list.end(),
                                 [&](const TRef<TOffscreenControl>& c) { return c.Get() == control; });
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

TOffscreenControl::~TOffscreenControl() { Dispose(); }

void TOffscreenControl::Dispose() {
    if (disposed_) return;
    disposed_ = true;
    const TRef<TOffscreenControl> self(this);
    if (const TRef<TOffscreenWindow> window = Window) window->ForgetControl(this);
    const std::vector<TRef<TOffscreenControl>> children = Children;
    for (const TRef<TOffscreenControl>& child : children) {
        child->Parent = nullptr;
        AttachToWindow(*child, nullptr);
    }
    DetachFromContainer(*this);
    Children.clear();
    Window = nullptr;
    Parent = nullptr;
}

void TOffscreenControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    const TRef<TOffscreenControl> self(this);
    const bool resized = width != Width || height != Height;
    Left = left;
    Top = top;
    Width = width;
    Height = height;
    if (resized)
        if (const TRef<TPlatformEvents> sink = Events) sink->Resized(Width, Height);
    RequestRepaint();
}

void TOffscreenControl::GetBounds(int32_t& left, int32_t& top, int32_t& width, int32_t& height) {
    left = Left;
    top = Top;
    width = Width;
    height = Height;
}

void TOffscreenControl::SetVisible(bool flag) {
    if (flag == Visible) return;
    const TRef<TOffscreenControl> self(this);
    Visible = flag;
    if (!flag)
        if (const TRef<TOffscreenWindow> window = Window) window->ForgetControl(this);
    RequestRepaint();
}

void TOffscreenControl::SetEnabled(bool flag) {
    Enabled = flag;
    Invalidate();
}

void TOffscreenControl::SetFocus() {
    const TRef<TOffscreenWindow> window = Window;
    if (!window || window->FocusedControl.Get() == this) return;
    const TRef<TOffscreenControl> self(this);
    const TRef<TOffscreenControl> previous = window->FocusedControl;
    window->FocusedControl = self;
    if (previous)
        if (const TRef<TPlatformEvents> sink = previous->Events) sink->FocusChanged(false);
    // The previous holder's handler may have moved the focus on or taken
    // this control out of the window: then this control has no focus to
    // announce.
    if (window->FocusedControl.Get() != this) return;
    if (const TRef<TPlatformEvents> sink = Events) sink->FocusChanged(true);
    Invalidate();
}

void TOffscreenControl::SetMouseCapture(bool capture) {
    const TRef<TOffscreenWindow> window = Window;
    if (!window) return;
    const TRef<TOffscreenControl> self(this);
    if (capture)
        window->CapturedControl = self;
    else if (window->CapturedControl.Get() == this)
        window->CapturedControl = nullptr;
}

void TOffscreenControl::SetMouseTransparent(bool flag) { MouseTransparent = flag; }

void TOffscreenControl::Invalidate() {
    const TRef<TOffscreenWindow> window = Window;
    if (!window) return;
    int32_t x = 0, y = 0;
    GetWindowOrigin(x, y);
    window->RequestRepaint({std::max(x, 0), std::max(y, 0),
                            static_cast<int32_t>(std::min<int64_t>(int64_t{x} + Width, window->Width)),
                            static_cast<int32_t>(std::min<int64_t>(int64_t{y} + Height, window->Height))});
}

void TOffscreenControl::AddChild(TPlatformControl* child, int32_t x, int32_t y) {
    auto* c = dynamic_cast<TOffscreenControl*>(child);
    if (!c || disposed_ || c->Disposed()) return;
    const TRef<TOffscreenControl> keep(c);
    DetachFromContainer(*c);
    c->Parent = this;
    c->Left = x;
    c->Top = y;
    Children.push_back(keep);
    AttachToWindow(*c, Window.Get());
    Invalidate();
}

void TOffscreenControl::RemoveFromParent() {
    const TRef<TOffscreenControl> self(this);
    DetachFromContainer(*this);
    AttachToWindow(*this, nullptr);
}

void TOffscreenControl::Reserved34(bool flag) { Reserved34Flag = flag; }

bool TOffscreenControl::HasFocus() { return Window && Window->FocusedControl.Get() == this; }

void TOffscreenControl::GetWindowOrigin(int32_t& x, int32_t& y) {
    // Bounds reach the int32 limits and controls nest: the sums saturate.
    int64_t sumX = 0, sumY = 0;
    for (const TOffscreenControl* c = this; c; c = c->Parent.Get()) {
        sumX += c->Left;
        sumY += c->Top;
    }
    x = ClampToInt32(sumX);
    y = ClampToInt32(sumY);
}

TPlatformWindow* TOffscreenControl::GetWindow() { return Window.Get(); }

void TOffscreenControl::SetCursor(int32_t kind) { Cursor = kind; }
int32_t TOffscreenControl::GetCursor() { return Cursor; }
void TOffscreenControl::SetHint(const std::u16string& text) { Hint = text; }
std::u16string TOffscreenControl::GetHint() { return Hint; }

void TOffscreenControl::AttachToWindow(TOffscreenControl& control, TOffscreenWindow* window) {
    const TRef<TOffscreenControl> keep(&control);
    if (control.Window && control.Window.Get() != window) {
        const TRef<TOffscreenWindow> old = control.Window;
        old->ForgetControl(&control);
    }
    control.Window = window;
    const std::vector<TRef<TOffscreenControl>> children = control.Children;
    for (const TRef<TOffscreenControl>& child : children) AttachToWindow(*child, window);
}

void TOffscreenControl::DetachFromContainer(TOffscreenControl& control) {
    const TRef<TOffscreenControl> keep(&control);
    const TRef<TOffscreenWindow> window = control.Window;
    if (window && DirtyRepaintMode() != 0) window->RequestFullRepaint();
    if (control.Parent)
        RemoveControl(control.Parent->Children, &control);
    else if (window)
        RemoveControl(window->TopLevelControls, &control);
}

void TOffscreenControl::RequestRepaint() {
    if (DirtyRepaintMode() == 0)
        Invalidate();
    else if (Window)
        Window->RequestFullRepaint();
}

} // namespace Zyl
