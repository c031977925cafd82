#include "Zyl.Platform.Offscreen.h"

namespace Zyl {

using System::TRef;

namespace {

// (x, y) in the coordinates of the control's container.
TOffscreenControl* ControlTreeAt(TOffscreenControl& control, int32_t x, int32_t y, int32_t& localX,
                                 int32_t& localY) {
    if (!control.Visible || !control.Enabled || control.MouseTransparent) return nullptr;
    const int64_t dx = int64_t{x} - control.Left;
    const int64_t dy = int64_t{y} - control.Top;
    if (dx < 0 || dy < 0 || dx >= control.Width || dy >= control.Height) return nullptr;
    for (auto child = control.Children.rbegin(); child != control.Children.rend(); ++child)
        if (TOffscreenControl* hit = ControlTreeAt(**child, static_cast<int32_t>(dx),
                                                   static_cast<int32_t>(dy), localX, localY))
            return hit;
    localX = static_cast<int32_t>(dx);
    localY = static_cast<int32_t>(dy);
    return &control;
}

TOffscreenControl* TopmostAt(const std::vector<TRef<TOffscreenControl>>& list, int32_t x, int32_t y,
                             int32_t& localX, int32_t& localY) {
    for (auto control = list.rbegin(); control != list.rend(); ++control)
        if (TOffscreenControl* hit = ControlTreeAt(**control, x, y, localX, localY)) return hit;
    return nullptr;
}

// The point relative to the control's top-left corner, saturated.
void ToLocal(TOffscreenControl& control, int32_t x, int32_t y, int32_t& localX, int32_t& localY) {
    int32_t ox = 0, oy = 0;
    control.GetWindowOrigin(ox, oy);
    localX = ClampToInt32(int64_t{x} - ox);
    localY = ClampToInt32(int64_t{y} - oy);
}

} // namespace

TOffscreenControl* TOffscreenWindow::ControlAtPoint(int32_t x, int32_t y, int32_t& localX,
                                                    int32_t& localY) {
    if (TOffscreenControl* hit = TopmostAt(Popups, x, y, localX, localY)) return hit;
    if (TOffscreenControl* hit = TopmostAt(TopLevelControls, x, y, localX, localY)) return hit;
    localX = x;
    localY = y;
    return nullptr;
}

// Every sink call below runs with counted references to the window, the
// control and the sink: a handler may dispose any of them, or clear the
// Events field it was reached through.

void TOffscreenWindow::RouteMouseMove(int32_t x, int32_t y, int32_t shift) {
    const TRef<TOffscreenWindow> self(this);
    if (const TRef<TOffscreenControl> captured = CapturedControl) {
        int32_t localX = 0, localY = 0;
        ToLocal(*captured, x, y, localX, localY);
        if (const TRef<TPlatformEvents> sink = captured->Events) sink->MouseMove(localX, localY, shift);
        return;
    }
    int32_t localX = 0, localY = 0;
    const TRef<TOffscreenControl> hit = ControlAtPoint(x, y, localX, localY);
    if (hit != HoveredControl) {
        const TRef<TOffscreenControl> left = HoveredControl;
        // Set before the leave is announced, so a handler that hides or
        // removes the control about to be entered clears it again.
        HoveredControl = hit;
        if (left)
            if (const TRef<TPlatformEvents> sink = left->Events) sink->MouseLeave();
        if (hit && HoveredControl == hit)
            if (const TRef<TPlatformEvents> sink = hit->Events) sink->MouseEnter();
    }
    // A handler took the control away from under the pointer.
    if (hit && HoveredControl != hit) return;
    if (hit) {
        if (const TRef<TPlatformEvents> sink = hit->Events) sink->MouseMove(localX, localY, shift);
        CurrentCursor = hit->Cursor;
    } else {
        if (const TRef<TPlatformEvents> sink = Events) sink->MouseMove(x, y, shift);
        CurrentCursor = WindowCursor;
    }
}

template <class Send>
void TOffscreenWindow::RouteButton(int32_t x, int32_t y, bool press, Send send) {
    const TRef<TOffscreenWindow> self(this);
    int32_t localX = 0, localY = 0;
    TRef<TOffscreenControl> target = CapturedControl;
    if (target)
        ToLocal(*target, x, y, localX, localY);
    else
        target = ControlAtPoint(x, y, localX, localY);
    if (press) PressedControl = target;
    // A hit control without a sink swallows the event.
    if (const TRef<TPlatformEvents> sink = target ? target->Events : Events)
        send(*sink, localX, localY);
}

void TOffscreenWindow::RouteMouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) {
    RouteButton(x, y, true, [&](TPlatformEvents& sink, int32_t localX, int32_t localY) {
        sink.MouseDown(localX, localY, button, shift);
    });
}

void TOffscreenWindow::RouteMouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) {
    RouteButton(x, y, false, [&](TPlatformEvents& sink, int32_t localX, int32_t localY) {
        sink.MouseUp(localX, localY, button, shift);
    });
}

void TOffscreenWindow::RouteMouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) {
    const TRef<TOffscreenWindow> self(this);
    int32_t localX = 0, localY = 0;
    TRef<TOffscreenControl> target = ControlAtPoint(x, y, localX, localY);
    if (!target && FocusedControl) {
        target = FocusedControl;
        ToLocal(*target, x, y, localX, localY);
    }
    if (const TRef<TPlatformEvents> sink = target ? target->Events : nullptr)
        sink->MouseWheel(localX, localY, delta, shift);
    else if (const TRef<TPlatformEvents> own = Events)
        own->MouseWheel(x, y, delta, shift);
}

template <class Send>
void TOffscreenWindow::RouteToKeyTarget(Send send) {
    const TRef<TOffscreenWindow> self(this);
    const TRef<TOffscreenControl> focused = FocusedControl;
    TRef<TPlatformEvents> sink = focused ? focused->Events : nullptr;
    if (!sink) sink = Events;
    if (sink) send(*sink);
}

void TOffscreenWindow::RouteKeyDown(int32_t key, int32_t shift) {
    RouteToKeyTarget([&](TPlatformEvents& sink) { sink.KeyDown(key, shift); });
}

void TOffscreenWindow::RouteKeyUp(int32_t key, int32_t shift) {
    RouteToKeyTarget([&](TPlatformEvents& sink) { sink.KeyUp(key, shift); });
}

void TOffscreenWindow::RouteCharInput(char16_t character) {
    if (character == 0) return;
    RouteToKeyTarget([&](TPlatformEvents& sink) { sink.CharInput(character); });
}

} // namespace Zyl
