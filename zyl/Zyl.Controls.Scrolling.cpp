#include "Zyl.Controls.h"

#include <algorithm>

namespace Zyl {

using System::TRef;

void TScrollBarEvents::Scroll(int32_t code, int32_t position) {
    if (TRef<TScrollingWinControl> owner = Owner) owner->ScrollBarChanged(Kind != 0, code, position);
}

TScrollingWinControl::TScrollingWinControl(System::TComponent* owner) : TWinControl(owner) {
    HorzScrollBar = System::MakeRef<TControlScrollBar>(this, 0);
    VertScrollBar = System::MakeRef<TControlScrollBar>(this, 1);
}

TScrollingWinControl::~TScrollingWinControl() {
    for (TScrollBarEvents* events : {horzBarEvents_.Get(), vertBarEvents_.Get()})
        if (events) events->Owner = nullptr;
    for (TPlatformControl* bar : {horzBar_.Get(), vertBar_.Get()})
        if (bar) {
            bar->Events = nullptr;
            bar->RemoveFromParent();
        }
    horzBar_ = vertBar_ = nullptr;
    horzBarEvents_ = vertBarEvents_ = nullptr;
}

void TScrollingWinControl::GetContentExtent(int32_t& width, int32_t& height) const {
    if (!AutoScroll) {
        width = HorzScrollBar->Range, height = VertScrollBar->Range;
        return;
    }
    int64_t w = 0, h = 0;
    for (const TRef<TControl>& child : Controls()) {
        if (!child->Visible() || child->Align() != 0) continue;
        w = std::max(w, int64_t(child->Left()) + child->Width() + horzPosition_);
        h = std::max(h, int64_t(child->Top()) + child->Height() + vertPosition_);
    }
    if (w > 0) w += HorzScrollBar->Margin;
    if (h > 0) h += VertScrollBar->Margin;
    width = ClampToInt32(w), height = ClampToInt32(h);
}

void TScrollingWinControl::CreateScrollBars() {
    if (!HandleAllocated()) return;
    const auto make = [this](TRef<TPlatformControl>& bar, TRef<TScrollBarEvents>& events, bool vertical) {
        if (bar) return;
        TRef<TPlatformControl> made = GetPlatformApp()->CreateScrollBar();
        if (!made) return;
        events = System::MakeRef<TScrollBarEvents>(this, uint8_t(vertical ? 1 : 0));
        made->Events = events;
        made->SetScrollKind(vertical);
        made->Reserved34(false);
        AddPlatformChild(made.Get(), 0, 0);
        made->SetVisible(false);
        bar = made;
    };
    make(vertBar_, vertBarEvents_, true);
    make(horzBar_, horzBarEvents_, false);
}

void TScrollingWinControl::PushScrollParams() {
    if (vertShown_ && vertBar_) vertBar_->SetScrollParams(0, contentHeight_ - 1, VisibleHeight(), vertPosition_);
    if (horzShown_ && horzBar_) horzBar_->SetScrollParams(0, contentWidth_ - 1, VisibleWidth(), horzPosition_);
}

void TScrollingWinControl::UpdateScrollBars() {
    if (updating_ || !HandleAllocated()) return;
    CreateScrollBars();
    TRef<TScrollingWinControl> keep(this);
    TFlagGuard guard(updating_);
    int32_t cw = 0, ch = 0;
    GetContentExtent(cw, ch);
    contentWidth_ = cw, contentHeight_ = ch;
    const int64_t w = Width(), h = Height();
    const bool vAllowed = VertScrollBar->Visible && vertBar_, hAllowed = HorzScrollBar->Visible && horzBar_;
    bool needV = vAllowed && h < ch;
    bool needH = hAllowed && w < cw;
    if (needV && !needH && hAllowed) needH = w - ScrollBarSize < cw;
    // A bar that the other one made necessary is the last step: no third test.
    if (needH && !needV && vAllowed) needV = h - ScrollBarSize < ch;
    horzShown_ = needH, vertShown_ = needV;
    const int32_t vw = VisibleWidth(), vh = VisibleHeight();
    const int32_t rx = ClampToInt32(std::max<int64_t>(0, int64_t(cw) - vw));
    const int32_t ry = ClampToInt32(std::max<int64_t>(0, int64_t(ch) - vh));
    if (horzPosition_ > rx || vertPosition_ > ry) {
        updating_ = false;
        ScrollBy(horzPosition_ > rx ? rx - horzPosition_ : 0, vertPosition_ > ry ? ry - vertPosition_ : 0);
        updating_ = true;
    }
    if (vertBar_) {
        vertBar_->SetVisible(vertShown_);
        if (vertShown_) vertBar_->SetBounds(Width() - ScrollBarSize, 0, ScrollBarSize, vh);
    }
    if (horzBar_) {
        horzBar_->SetVisible(horzShown_);
        if (horzShown_) horzBar_->SetBounds(0, Height() - ScrollBarSize, vw, ScrollBarSize);
    }
    PushScrollParams();
}

void TScrollingWinControl::ScrollBy(int32_t dx, int32_t dy) {
    int32_t cw = 0, ch = 0;
    GetContentExtent(cw, ch);
    const auto limit = [](int64_t wanted, int64_t range) {
        const int64_t v = std::min(wanted, range);
        return v < 1 ? 0 : ClampToInt32(v);
    };
    const int32_t nx = limit(int64_t(horzPosition_) + dx, int64_t(cw) - VisibleWidth());
    const int32_t ny = limit(int64_t(vertPosition_) + dy, int64_t(ch) - VisibleHeight());
    if (nx == horzPosition_ && ny == vertPosition_) return;
    TRef<TScrollingWinControl> keep(this);
    const bool wasUpdating = updating_;
    {
        TFlagGuard guard(updating_);
        const int64_t mx = int64_t(horzPosition_) - nx, my = int64_t(vertPosition_) - ny;
        horzPosition_ = nx, vertPosition_ = ny;
        for (const TRef<TControl>& child : std::vector<TRef<TControl>>(Controls()))
            child->SetBounds(ClampToInt32(child->Left() + mx), ClampToInt32(child->Top() + my), child->Width(),
                             child->Height());
    }
    if (!wasUpdating) {
        TFlagGuard guard(updating_);
        PushScrollParams();
    }
    Invalidate();
}

void TScrollingWinControl::ScrollBarChanged(bool vertical, int32_t code, int32_t position) {
    const TControlScrollBar& bar = vertical ? *VertScrollBar : *HorzScrollBar;
    const int64_t current = vertical ? vertPosition_ : horzPosition_;
    const int32_t visible = vertical ? VisibleHeight() : VisibleWidth();
    const int64_t page = bar.PageIncrement < 1 ? visible : bar.PageIncrement;
    int64_t wanted = current;
    switch (code) {
    case 0: wanted = current - bar.Increment; break;
    case 1: wanted = current + bar.Increment; break;
    case 2: wanted = current - page; break;
    case 3: wanted = current + page; break;
    case 4: wanted = position; break;
    case 5:
        if (!bar.Tracking) return;
        wanted = position;
        break;
    case 6: wanted = 0; break;
    case 7: {
        int32_t cw = 0, ch = 0;
        GetContentExtent(cw, ch);
        wanted = int64_t(vertical ? ch : cw) - visible;
        break;
    }
    default: return;
    }
    TRef<TScrollingWinControl> keep(this);
    const int32_t delta = ClampToInt32(wanted - current);
    ScrollBy(vertical ? 0 : delta, vertical ? delta : 0);
    TFlagGuard guard(updating_);
    TPlatformControl* shownBar = vertical ? (vertShown_ ? vertBar_.Get() : nullptr)
                                          : (horzShown_ ? horzBar_.Get() : nullptr);
    if (shownBar)
        shownBar->SetScrollParams(0, (vertical ? contentHeight_ : contentWidth_) - 1, visible,
                                  vertical ? vertPosition_ : horzPosition_);
}

void TScrollingWinControl::ScrollInView(TControl* control) {
    if (!control) return;
    int64_t x = 0, y = 0;
    for (const TControl* c = control; c != this; c = c->Parent()) {
        if (!c) return;
        x += c->Left(), y += c->Top();
    }
    const int64_t dy = y < 0 ? y : std::max<int64_t>(0, y + control->Height() - VisibleHeight());
    const int64_t dx = x < 0 ? x : std::max<int64_t>(0, x + control->Width() - VisibleWidth());
    ScrollBy(ClampToInt32(dx), ClampToInt32(dy));
}

void TScrollingWinControl::AutoScrollInView(TControl* control) {
    if (AutoScroll) ScrollInView(control);
}

void TScrollingWinControl::FocusChanged(TWinControl* control) {
    AutoScrollInView(control);
    TWinControl::FocusChanged(control);
}

bool TScrollingWinControl::DoMouseWheel(TShiftState shift, int32_t delta, TPoint) {
    int32_t cw = 0, ch = 0;
    GetContentExtent(cw, ch);
    const bool horizontal = (shift & ssShift) != 0 || int64_t(ch) - VisibleHeight() <= 0;
    const int64_t range = horizontal ? int64_t(cw) - VisibleWidth() : int64_t(ch) - VisibleHeight();
    if (range <= 0) return false;
    const int64_t position = horizontal ? horzPosition_ : vertPosition_;
    const int64_t step = 3 * int64_t(horizontal ? HorzScrollBar->Increment : VertScrollBar->Increment);
    const int64_t wanted = std::clamp(delta <= 0 ? position + step : position - step, int64_t(0), range);
    const int32_t diff = ClampToInt32(wanted - position);
    ScrollBy(horizontal ? diff : 0, horizontal ? 0 : diff);
    return true;
}

TRect TScrollingWinControl::GetClientRect() const { return {0, 0, VisibleWidth(), VisibleHeight()}; }

void TScrollingWinControl::InitPlatformControl() {
    TWinControl::InitPlatformControl();
    UpdateScrollBars();
}

void TScrollingWinControl::ChildChanged(TControl*) {
    if (!updating_) UpdateScrollBars();
}

void TScrollingWinControl::Resize() {
    TWinControl::Resize();
    UpdateScrollBars();
}

} // namespace Zyl
