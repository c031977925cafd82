// The scroll engine and the stand-alone drawn scroll bar. Every difference
// of the range is taken in 64 bits: Min and Max may span the whole int32.
#include "Zyl.Platform.Drawn.h"

#include <algorithm>

namespace Zyl {

using System::TRef;

namespace {

constexpr int32_t RepeatDelayMs = 400;
constexpr int32_t RepeatIntervalMs = 50;

// The request a press on an arrow or the track repeats.
int32_t CodeOfPart(int32_t part) {
    switch (part) {
    case 1: return 0;
    case 2: return 2;
    case 4: return 3;
    default: return 1;
    }
}

} // namespace

TDrawnScrollEngine::TDrawnScrollEngine(TDrawnControl* owner, bool vertical, TScrollHandler onScroll)
    : Owner(owner), Vertical(vertical), OnScroll(std::move(onScroll)) {}

TDrawnScrollEngine::~TDrawnScrollEngine() { StopRepeat(); }

int32_t TDrawnScrollEngine::ArrowSize() const { return Length > 33 ? 17 : Length / 2; }

int32_t TDrawnScrollEngine::Track() const { return std::max(0, Length - 2 * ArrowSize()); }

bool TDrawnScrollEngine::Scrollable() const {
    if (PageSize < 1) return Min < Max;
    return PageSize < int64_t{Max} - Min + 1;
}

int32_t TDrawnScrollEngine::HighestPosition() const {
    if (PageSize < 1) return Max;
    // Never above Max, since PageSize is at least 1.
    return static_cast<int32_t>(std::max<int64_t>(Min, int64_t{Max} - PageSize + 1));
}

int32_t TDrawnScrollEngine::ThumbSize() const {
    const int32_t track = Track();
    if (Max < Min || PageSize < 1) return std::min(track, 17);
    int64_t size = int64_t{track} * PageSize / (int64_t{Max} - Min + 1);
    if (size < 10) size = 10;
    return static_cast<int32_t>(std::min<int64_t>(size, track));
}

int32_t TDrawnScrollEngine::ThumbStartAt(int32_t shown) const {
    const int64_t span = int64_t{HighestPosition()} - Min;
    if (span < 1) return ArrowSize();
    // The shown position may lie outside the range when set from outside;
    // keep the thumb on the track.
    const int64_t offset = std::clamp<int64_t>(int64_t{shown} - Min, 0, span);
    return ArrowSize() + static_cast<int32_t>(offset * (Track() - ThumbSize()) / span);
}

int32_t TDrawnScrollEngine::ThumbStart() const { return ThumbStartAt(PressedPart == 3 ? DragPosition : Position); }

int32_t TDrawnScrollEngine::HitTest(int32_t x, int32_t y) const {
    const int64_t across = Vertical ? x : y;
    const int64_t acrossStart = Vertical ? Left : Top;
    if (across < acrossStart || across >= acrossStart + Thickness) return 0;
    const int64_t d = int64_t{Along(x, y)} - Start();
    if (d < 0 || d >= Length) return 0;
    if (d < ArrowSize()) return 1;
    if (d >= Length - ArrowSize()) return 5;
    if (!Scrollable()) return 0;
    const int32_t thumbStart = ThumbStart();
    if (d < thumbStart) return 2;
    if (d < int64_t{thumbStart} + ThumbSize()) return 3;
    return 4;
}

void TDrawnScrollEngine::Scroll(int32_t code, int32_t position) {
    if (OnScroll) OnScroll(code, position);
}

void TDrawnScrollEngine::InvalidateOwner() { Owner->Host->Invalidate(); }

bool TDrawnScrollEngine::MouseDown(int32_t x, int32_t y) {
    const int32_t part = HitTest(x, y);
    if (part == 0) return false;
    const TRef<TDrawnScrollEngine> self(this);
    PressedPart = part;
    LastX = x;
    LastY = y;
    Owner->Host->SetMouseCapture(true);
    if (part == 3) {
        GrabOffset = Along(x, y) - Start() - ThumbStartAt(Position);
        DragPosition = Position;
    } else {
        Scroll(CodeOfPart(part), 0);
        FirstRepeat = true;
        StartRepeat(RepeatDelayMs);
    }
    InvalidateOwner();
    return true;
}

void TDrawnScrollEngine::MouseMove(int32_t x, int32_t y) {
    LastX = x;
    LastY = y;
    if (PressedPart == 0) {
        const int32_t part = HitTest(x, y);
        if (part == HotPart) return;
        HotPart = part;
        InvalidateOwner();
        return;
    }
    if (PressedPart != 3) return;
    const int64_t offset = int64_t{Along(x, y)} - Start() - GrabOffset - ArrowSize();
    const int64_t highest = HighestPosition();
    const int64_t span = highest - Min;
    const int64_t room = Track() - ThumbSize();
    int64_t p = Min;
    if (room > 0 && span > 0) p = std::clamp<int64_t>(Min + (offset * span + room / 2) / room, Min, highest);
    if (p == DragPosition) return;
    DragPosition = static_cast<int32_t>(p);
    Scroll(5, DragPosition);
    InvalidateOwner();
}

void TDrawnScrollEngine::MouseUp(int32_t x, int32_t y) {
    if (PressedPart == 0) return;
    const TRef<TDrawnScrollEngine> self(this);
    StopRepeat();
    Owner->Host->SetMouseCapture(false);
    if (PressedPart == 3) Scroll(4, DragPosition);
    PressedPart = 0;
    Scroll(8, 0);
    HotPart = HitTest(x, y);
    InvalidateOwner();
}

void TDrawnScrollEngine::StartRepeat(int32_t intervalMs) {
    StopRepeat();
    // The timer reaches the engine through a plain pointer: StopRepeat in
    // the destructor removes it first.
    RepeatTimer = Owner->App->AddTimer(intervalMs, [this] { RepeatTick(); });
}

void TDrawnScrollEngine::StopRepeat() {
    if (RepeatTimer == 0) return;
    Owner->App->RemoveTimer(RepeatTimer);
    RepeatTimer = 0;
}

void TDrawnScrollEngine::RepeatTick() {
    const TRef<TDrawnScrollEngine> self(this);
    if (PressedPart == 0 || PressedPart == 3) {
        StopRepeat();
        return;
    }
    if (HitTest(LastX, LastY) == PressedPart) Scroll(CodeOfPart(PressedPart), 0);
    if (FirstRepeat && RepeatTimer != 0) {
        FirstRepeat = false;
        StartRepeat(RepeatIntervalMs);
    }
}

void TDrawnScrollEngine::FillBar(TPlatformCanvas* canvas, int32_t along0, int32_t across0, int32_t along1,
                                 int32_t across1, int32_t color) {
    if (Vertical)
        canvas->FillRect(Left + across0, Top + along0, Left + across1, Top + along1, color);
    else
        canvas->FillRect(Left + along0, Top + across0, Left + along1, Top + across1, color);
}

void TDrawnScrollEngine::Paint(TPlatformCanvas* canvas) {
    FillBar(canvas, 0, 0, Length, Thickness, ThemeColor(29));
    const bool live = Scrollable() && Owner->Enabled;
    const int32_t arrow = ArrowSize();
    int32_t glyph[2] = {ThemeColor(live ? 33 : 34), ThemeColor(live ? 33 : 34)};
    const int32_t boxStart[2] = {0, Length - arrow};
    for (int32_t i = 0; i < 2; ++i) {
        const int32_t part = i == 0 ? 1 : 5;
        if (PressedPart == part) {
            FillBar(canvas, boxStart[i], 0, boxStart[i] + arrow, Thickness, ThemeColor(36));
            glyph[i] = 0xFFFFFF;
        } else if (live && PressedPart == 0 && HotPart == part) {
            FillBar(canvas, boxStart[i], 0, boxStart[i] + arrow, Thickness, ThemeColor(35));
        }
    }
    if (arrow > 5) {
        const int32_t m = Thickness / 2;
        for (int32_t i = 0; i < 4; ++i) {
            FillBar(canvas, 6 + i, m - i, 7 + i, m + i + 1, glyph[0]);
            FillBar(canvas, Length - 8 - i, m - i, Length - 7 - i, m + i + 1, glyph[1]);
        }
    }
    const int32_t size = ThumbSize();
    if (!live || size == 0) return;
    const int32_t color = PressedPart == 3 ? ThemeColor(32) : HotPart == 3 ? ThemeColor(31) : ThemeColor(30);
    const int32_t start = ThumbStart();
    FillBar(canvas, start, 2, start + size, Thickness - 2, color);
}

// ---------------------------------------------------------------------------
// Scroll bar

TDrawnScrollBar::TDrawnScrollBar(TDrawnApp* app, TRef<TPlatformControl> host)
    : TDrawnControl(app, std::move(host)),
      Engine(System::MakeRef<TDrawnScrollEngine>(this, false, [this](int32_t code, int32_t position) {
          if (const TRef<TPlatformEvents> sink = Events) sink->Scroll(code, position);
      })) {}

TDrawnScrollBar::~TDrawnScrollBar() { Engine->StopRepeat(); }

void TDrawnScrollBar::UpdateGeometry() {
    Engine->Left = 0;
    Engine->Top = 0;
    Engine->Length = Engine->Vertical ? ClientHeight : ClientWidth;
    Engine->Thickness = Engine->Vertical ? ClientWidth : ClientHeight;
}

void TDrawnScrollBar::SetScrollParams(int32_t min, int32_t max, int32_t page, int32_t position) {
    Engine->Min = min;
    Engine->Max = max;
    Engine->PageSize = page;
    Engine->Position = std::max(min, std::min(position, Engine->HighestPosition()));
    Host->Invalidate();
}

int32_t TDrawnScrollBar::GetScrollPos() { return Engine->Position; }

void TDrawnScrollBar::SetScrollKind(bool vertical) {
    Engine->Vertical = vertical;
    UpdateGeometry();
    Host->Invalidate();
}

void TDrawnScrollBar::Paint(TPlatformCanvas* canvas) {
    UpdateGeometry();
    Engine->Paint(canvas);
}

void TDrawnScrollBar::MouseDown(int32_t x, int32_t y, int32_t button, int32_t) {
    if (button != MouseButtonLeft) return;
    UpdateGeometry();
    Engine->MouseDown(x, y);
}

void TDrawnScrollBar::MouseUp(int32_t x, int32_t y, int32_t button, int32_t) {
    if (button == MouseButtonLeft) Engine->MouseUp(x, y);
}

void TDrawnScrollBar::MouseMove(int32_t x, int32_t y, int32_t) { Engine->MouseMove(x, y); }

void TDrawnScrollBar::MouseWheel(int32_t, int32_t, int32_t delta, int32_t) {
    const int32_t code = delta > 0 ? 0 : 1;
    for (int32_t i = 0; i < 3; ++i) Engine->OnScroll(code, 0);
    Engine->OnScroll(8, 0);
}

void TDrawnScrollBar::MouseLeave() {
    if (Engine->HotPart == 0 || Engine->PressedPart != 0) return;
    Engine->HotPart = 0;
    Host->Invalidate();
}

void TDrawnScrollBar::KeyDown(int32_t key, int32_t) {
    int32_t code = -1;
    switch (key) {
    case Zyl::KeyHome: code = 6; break;
    case Zyl::KeyLeft:
    case Zyl::KeyUp: code = 0; break;
    case Zyl::KeyRight:
    case Zyl::KeyDown: code = 1; break;
    case Zyl::KeyPageUp: code = 2; break;
    case Zyl::KeyPageDown: code = 3; break;
    case Zyl::KeyEnd: code = 7; break;
    default: return;
    }
    Engine->OnScroll(code, 0);
}

void TDrawnScrollBar::Resized(int32_t, int32_t) { UpdateGeometry(); }

} // namespace Zyl
