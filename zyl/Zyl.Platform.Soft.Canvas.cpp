// The soft canvas's drawing state: pen, brush, font, background, raster
// mode, origin, saved states and the clip region.
#include <algorithm>

#include "Zyl.Platform.Soft.h"

namespace Zyl {

using System::MakeRef;

namespace {

// More rectangles than this after an exclusion collapse to their bounding box.
constexpr int32_t kMaxClipRects = 256;

} // namespace

TSoftCanvas::TSoftCanvas(TSoftSurface* surface)
    : Surface(surface), Bits(surface->Bits()), Stride(surface->Stride()), Width(surface->Width()),
      Height(surface->Height()), SurfaceHasAlpha(surface->HasAlpha()) {
    Spans = RaiseOnBadAlloc([] { return MakeRef<TSoftSpans>(); });
    ResetClip();
}

// ---- State ---------------------------------------------------------------------

void TSoftCanvas::Save() {
    RaiseOnBadAlloc([&] {
        if (size_t(SaveCount) >= SaveStack.size()) SaveStack.resize(2 * size_t(SaveCount) + 8);
        SaveStack[size_t(SaveCount)] = State;
    });
    ++SaveCount;
}

void TSoftCanvas::Restore() {
    if (SaveCount == 0) return;
    State = SaveStack[size_t(--SaveCount)];
    Font = nullptr;
    UpdateClipBox();
}

void TSoftCanvas::SetPen(int32_t color, int32_t width, int32_t style) {
    State.PenColor = color & 0xFFFFFF;
    State.PenWidth = width >= 2 ? width : 1;
    State.PenStyle = style < 6 ? style : PenStyleSolid;
}

void TSoftCanvas::SetBrush(int32_t color, int32_t style) {
    State.BrushColor = color & 0xFFFFFF;
    State.BrushStyle = style;
}

void TSoftCanvas::SetFont(const std::u16string& name, int32_t size, int32_t style, int32_t color) {
    // Underline, strike-out and colour do not change the font object.
    if (Font && (name != State.FontName || size != State.FontSize || (style & 3) != (State.FontStyle & 3)))
        Font = nullptr;
    RaiseOnBadAlloc([&] { State.FontName = name; });
    State.FontSize = size;
    State.FontStyle = style;
    State.FontColor = color & 0xFFFFFF;
}

void TSoftCanvas::SetTextAngle(int32_t angle) { State.TextAngle = angle % 3600; }

void TSoftCanvas::SetBackground(int32_t color, bool transparent) {
    State.BackColor = color & 0xFFFFFF;
    State.BackTransparent = transparent;
}

void TSoftCanvas::SetRop2(int32_t mode) { State.Rop2 = mode >= 0 && mode <= 15 ? mode : RasterCopy; }

void TSoftCanvas::SetOrigin(int32_t x, int32_t y) {
    State.OriginX = x;
    State.OriginY = y;
}

void TSoftCanvas::GetOrigin(int32_t& x, int32_t& y) {
    x = State.OriginX;
    y = State.OriginY;
}

// ---- Clip region ----------------------------------------------------------------

void TSoftCanvas::ClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    IntersectClip(int64_t(left) + State.OriginX, int64_t(top) + State.OriginY, int64_t(right) + State.OriginX,
                  int64_t(bottom) + State.OriginY);
}

void TSoftCanvas::ClipExclude(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    ExcludeClip(int64_t(left) + State.OriginX, int64_t(top) + State.OriginY, int64_t(right) + State.OriginX,
                int64_t(bottom) + State.OriginY);
}

void TSoftCanvas::ResetClip() {
    const int32_t whole[4] = {0, 0, Width, Height};
    SetClipRects(whole, 1);
}

bool TSoftCanvas::GetClipBox(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) {
    if (State.ClipCount == 0) {
        left = top = right = bottom = 0;
        return false;
    }
    left = ClampToInt32(int64_t(ClipBox.Left) - State.OriginX);
    top = ClampToInt32(int64_t(ClipBox.Top) - State.OriginY);
    right = ClampToInt32(int64_t(ClipBox.Right) - State.OriginX);
    bottom = ClampToInt32(int64_t(ClipBox.Bottom) - State.OriginY);
    // Decided on the device box: with an extreme origin the logical box
    // saturates and could look empty.
    return ClipBox.Right > ClipBox.Left && ClipBox.Bottom > ClipBox.Top;
}

void TSoftCanvas::UpdateClipBox() {
    ClipBox = ClipRectsBounds(State.ClipRects, State.ClipCount);
    SingleClip = ClipRectsInUse(State.ClipRects, State.ClipCount) <= 1;
}

void TSoftCanvas::SetClipRects(const int32_t* rects, int32_t count) {
    State.ClipRects = RaiseOnBadAlloc(
        [&] { return std::make_shared<const std::vector<int32_t>>(rects, rects + 4 * size_t(std::max(count, 0))); });
    State.ClipCount = std::max(count, 0);
    UpdateClipBox();
}

void TSoftCanvas::IntersectClip(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    // Every rectangle of the region lies on the surface, so clamping the
    // given one to int32 changes no intersection.
    IntersectClipRects(State.ClipRects, State.ClipCount, ClampToInt32(left), ClampToInt32(top), ClampToInt32(right),
                       ClampToInt32(bottom));
    UpdateClipBox();
}

void TSoftCanvas::ExcludeClip(int64_t left, int64_t top, int64_t right, int64_t bottom) {
    // A reversed rectangle would pass the overlap test below and cut the
    // region into overlapping pieces, which spans would then write twice.
    if (left >= right || top >= bottom) return;
    const int32_t L = ClampToInt32(left), T = ClampToInt32(top), R = ClampToInt32(right), B = ClampToInt32(bottom);
    const int32_t n = ClipRectsInUse(State.ClipRects, State.ClipCount);
    std::vector<int32_t> pieces;
    RaiseOnBadAlloc([&] {
        pieces.reserve(16 * size_t(n));
        auto add = [&](int32_t l, int32_t t, int32_t r, int32_t b) { pieces.insert(pieces.end(), {l, t, r, b}); };
        for (int32_t i = 0; i < n; ++i) {
            const int32_t* c = State.ClipRects->data() + 4 * i;
            const int32_t cl = c[0], ct = c[1], cr = c[2], cb = c[3];
            if (R <= cl || L >= cr || B <= ct || T >= cb) {
                if (cl < cr && ct < cb) add(cl, ct, cr, cb);
                continue;
            }
            if (ct < T) add(cl, ct, cr, T);
            if (B < cb) add(cl, B, cr, cb);
            const int32_t mt = std::max(ct, T), mb = std::min(cb, B);
            if (cl < L && mt < mb) add(cl, mt, L, mb);
            if (R < cr && mt < mb) add(R, mt, cr, mb);
        }
    });
    const int32_t count = int32_t(pieces.size() / 4);
    if (count > kMaxClipRects) {
        const auto all = std::make_shared<const std::vector<int32_t>>(std::move(pieces));
        const TClipBox box = ClipRectsBounds(all, count);
        const int32_t bounds[4] = {box.Left, box.Top, box.Right, box.Bottom};
        SetClipRects(bounds, 1);
        return;
    }
    SetClipRects(pieces.data(), count);
}

bool TSoftCanvas::IsPixelVisible(int64_t x, int64_t y) const {
    if (x < ClipBox.Left || x >= ClipBox.Right || y < ClipBox.Top || y >= ClipBox.Bottom) return false;
    return SingleClip || ClipRectsContain(State.ClipRects, State.ClipCount, x, y);
}

} // namespace Zyl
