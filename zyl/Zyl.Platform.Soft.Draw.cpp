// The soft canvas's drawing operations: lines, rectangles, ellipses, rounded
// rectangles, arcs, polygons, curves and the pixel operations. Logical
// coordinates become int64 device pixels, so no sum with the origin wraps.
#include <algorithm>

#include "Zyl.Platform.Soft.h"

namespace Zyl {

namespace {

// The largest side of an ellipse, rounded rectangle or arc box, and of a
// wide pen around one: the outer box then stays within 32767.
constexpr int64_t kMaxShapeSide = 16384;

// The one-pixel outline runs of row k of a shape: the whole row where the
// edge is flat or at the ends, else the two stretches up to the neighbours.
int32_t OutlineRuns(const TRowExtents& e, int32_t k, int64_t first[2], int64_t last[2]) {
    if (e.Empty(k)) return 0;
    const int32_t L = e.L[size_t(k)], R = e.R[size_t(k)];
    first[0] = L, last[0] = R;
    if (k == 0 || k == e.Rows() - 1 || e.Empty(k - 1) || e.Empty(k + 1)) return 1;
    const int32_t leftEnd = std::min(R, std::max({L, e.L[size_t(k - 1)] - 1, e.L[size_t(k + 1)] - 1}));
    const int32_t rightStart = std::max(L, std::min({R, e.R[size_t(k - 1)] + 1, e.R[size_t(k + 1)] + 1}));
    if (leftEnd + 1 >= rightStart) return 1;
    last[0] = leftEnd;
    first[1] = rightStart, last[1] = R;
    return 2;
}

} // namespace

bool TSoftCanvas::PenVisible() const { return State.PenStyle != PenStyleClear && State.Rop2 != RasterNop; }

bool TSoftCanvas::BrushVisible() const { return State.BrushStyle != BrushStyleClear; }

void TSoftCanvas::FillRows(int64_t top, int64_t bottom, int64_t x0, int64_t x1) {
    if (x0 >= x1) return;
    for (int64_t y = std::max<int64_t>(top, ClipBox.Top); y < std::min<int64_t>(bottom, ClipBox.Bottom); ++y)
        FillSpan(y, x0, x1);
}

// ---- Lines ---------------------------------------------------------------------------------

void TSoftCanvas::LineTo(int32_t x, int32_t y) {
    if (PenVisible()) {
        PreparePenFill();
        DashPhase = 0;
        const int64_t x0 = int64_t(PenX) + State.OriginX, y0 = int64_t(PenY) + State.OriginY;
        const int64_t x1 = int64_t(x) + State.OriginX, y1 = int64_t(y) + State.OriginY;
        if (State.PenWidth == 1) ThinLine(x0, y0, x1, y1, false);
        else WideLine(x0, y0, x1, y1, State.PenWidth);
    }
    PenX = x, PenY = y;
}

namespace {

} // namespace

void TSoftCanvas::Polyline(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex) {
    const int32_t n = UsablePointCount(points, pointCount, lastIndex);
    if (n < 2 || !PenVisible()) return;
    std::vector<int64_t> xs, ys;
    RaiseOnBadAlloc([&] {
        for (int32_t i = 0; i < n; ++i) {
            xs.push_back(int64_t(points[i].X) + State.OriginX);
            ys.push_back(int64_t(points[i].Y) + State.OriginY);
        }
    });
    StrokePolyline(xs.data(), ys.data(), n, false);
}

void TSoftCanvas::Polygon(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex, bool winding) {
    const int32_t n = UsablePointCount(points, pointCount, lastIndex);
    if (n < 2) return;
    std::vector<int64_t> xs, ys;
    RaiseOnBadAlloc([&] {
        for (int32_t i = 0; i < n; ++i) {
            xs.push_back(int64_t(points[i].X) + State.OriginX);
            ys.push_back(int64_t(points[i].Y) + State.OriginY);
        }
    });
    if (n >= 3 && BrushVisible()) {
        Spans->Count = 0;
        PolygonSpans(xs.data(), ys.data(), n, winding, ClipBox.Top, ClipBox.Bottom, *Spans);
        PrepareBrushFill();
        for (int32_t i = 0; i < Spans->Count; ++i)
            FillSpan(Spans->Rows[size_t(i)], Spans->Lefts[size_t(i)], Spans->Rights[size_t(i)]);
    }
    StrokePolyline(xs.data(), ys.data(), n, true);
}

void TSoftCanvas::PolyBezier(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex) {
    const int32_t n = UsablePointCount(points, pointCount, lastIndex);
    if (n < 4) return;
    if (PenVisible()) {
        std::vector<int64_t> xs, ys;
        FlattenBezier(points, n, xs, ys);
        StrokePolyline(xs.data(), ys.data(), int32_t(xs.size()), false);
    }
    PenX = points[n - 1].X, PenY = points[n - 1].Y;
}

// ---- Rectangles ----------------------------------------------------------------------------

void TSoftCanvas::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (left >= right || top >= bottom) return;
    const int64_t x0 = int64_t(left) + State.OriginX, y0 = int64_t(top) + State.OriginY;
    const int64_t x1 = x0 + (int64_t(right) - left), yl = y0 + (int64_t(bottom) - top) - 1;
    const int64_t w = State.PenWidth;
    if (!PenVisible()) {
        if (!BrushVisible()) return;
        PrepareBrushFill();
        FillRows(y0, yl, x0, x1 - 1);
        return;
    }
    const bool solid = State.PenStyle == PenStyleSolid;
    if (BrushVisible()) {
        PrepareBrushFill();
        if (w >= 2) FillRows(y0 + w, yl, x0 + w, x1 - 1);
        else if (solid) FillRows(y0 + 1, yl, x0 + 1, x1 - 1);
        else FillRows(y0, yl + 1, x0, x1);
    }
    PreparePenFill();
    if (w >= 2) {
        FillRows(y0, y0 + w, x0, x1 + w - 1);
        FillRows(yl, yl + w, x0, x1 + w - 1);
        FillRows(y0 + w, yl, x0, x0 + w);
        FillRows(y0 + w, yl, x1 - 1, x1 + w - 1);
    } else if (solid) {
        FillRows(y0, y0 + 1, x0, x1);
        if (yl > y0) FillRows(yl, yl + 1, x0, x1);
        FillRows(y0 + 1, yl, x0, x0 + 1);
        if (x1 - 1 > x0) FillRows(y0 + 1, yl, x1 - 1, x1);
    } else {
        const int64_t xs[4] = {x0, x1 - 1, x1 - 1, x0}, ys[4] = {y0, y0, yl, yl};
        StrokePolyline(xs, ys, 4, true);
    }
}

void TSoftCanvas::FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t color) {
    if (left >= right || top >= bottom) return;
    FillMode = FillPlain;
    FillColor = ColorToPixel(color);
    FillRows(int64_t(top) + State.OriginY, int64_t(bottom) + State.OriginY, int64_t(left) + State.OriginX,
             int64_t(right) + State.OriginX);
}

void TSoftCanvas::FillRectBrush(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (!BrushVisible() || left >= right || top >= bottom) return;
    PrepareBrushFill();
    if (FillMode == FillRaster) FillMode = FillPlain;
    FillRows(int64_t(top) + State.OriginY, int64_t(bottom) + State.OriginY, int64_t(left) + State.OriginX,
             int64_t(right) + State.OriginX);
}

void TSoftCanvas::FrameRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (top >= bottom || left >= right || !BrushVisible()) return;
    PrepareBrushFill();
    if (FillMode == FillRaster) FillMode = FillPlain;
    const int64_t x0 = int64_t(left) + State.OriginX, y0 = int64_t(top) + State.OriginY;
    const int64_t x1 = int64_t(right) + State.OriginX, yl = int64_t(bottom) + State.OriginY - 1;
    FillRows(y0, y0 + 1, x0, x1);
    if (yl > y0) FillRows(yl, yl + 1, x0, x1);
    FillRows(y0 + 1, yl, x0, x0 + 1);
    if (x1 - 1 > x0) FillRows(y0 + 1, yl, x1 - 1, x1);
}

void TSoftCanvas::DrawFocusRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (left >= right || top >= bottom) return;
    // Alpha byte 0: the alpha channel never changes.
    const uint32_t xorValue = ColorToRgb(State.BackColor);
    const int64_t x0 = int64_t(left) + State.OriginX, y0 = int64_t(top) + State.OriginY;
    const int64_t x1 = int64_t(right) + State.OriginX, yl = int64_t(bottom) + State.OriginY - 1;
    auto flip = [&](int64_t x, int64_t y) {
        if (((x + y) & 1) != 0 && IsPixelVisible(x, y)) *Pixel(x, y) ^= xorValue;
    };
    auto row = [&](int64_t y) {
        for (int64_t x = std::max<int64_t>(ClipBox.Left, x0); x <= std::min<int64_t>(x1 - 1, ClipBox.Right - 1); ++x)
            flip(x, y);
    };
    auto column = [&](int64_t x) {
        for (int64_t y = std::max<int64_t>(ClipBox.Top, y0 + 1); y <= std::min<int64_t>(yl - 1, ClipBox.Bottom - 1);
             ++y)
            flip(x, y);
    };
    row(y0);
    if (yl > y0) row(yl);
    column(x0);
    if (x1 - 1 > x0) column(x1 - 1);
}

// ---- Ellipses and rounded rectangles -------------------------------------------------------

void TSoftCanvas::OutlineRows(int64_t x, int64_t y, const TRowExtents& rows) {
    for (int32_t k = 0; k < rows.Rows(); ++k) {
        if (y + k < ClipBox.Top || y + k >= ClipBox.Bottom) continue;
        int64_t first[2], last[2];
        const int32_t count = OutlineRuns(rows, k, first, last);
        for (int32_t r = 0; r < count; ++r) FillSpan(y + k, x + first[r], x + last[r] + 1);
    }
}

namespace {

// Rows of a shape placed at (x, y), written with the prepared fill.
template <class F>
void ForRows(const TRowExtents& e, int64_t y, const TClipBox& clip, F&& row) {
    const int64_t from = std::max<int64_t>(0, clip.Top - y);
    const int64_t to = std::min<int64_t>(e.Rows(), clip.Bottom - y);
    for (int64_t k = from; k < to; ++k)
        if (!e.Empty(int32_t(k))) row(int32_t(k));
}

} // namespace

void TSoftCanvas::DrawRowShape(int64_t x0, int64_t y0, int64_t W, int64_t H, bool ellipse, int64_t cornerWidth,
                               int64_t cornerHeight) {
    if (W < 1 || W > kMaxShapeSide || H < 1 || H > kMaxShapeSide) return;
    const int64_t w = State.PenWidth;
    // A wider pen than a shape may have would make an outer box beyond 32767.
    if (PenVisible() && w > kMaxShapeSide) return;
    auto extents = [&](int64_t a, int64_t b, int64_t cw, int64_t ch, int32_t shrink) {
        return ellipse ? EllipseRowExtents(int32_t(a), int32_t(b), shrink)
                       : RoundRectRowExtents(int32_t(a), int32_t(b), cw, ch);
    };
    auto fillShape = [&](const TRowExtents& e, int64_t x, int64_t y) {
        PrepareBrushFill();
        ForRows(e, y, ClipBox, [&](int32_t k) { FillSpan(y + k, x + e.L[size_t(k)], x + e.R[size_t(k)] + 1); });
    };
    if (!PenVisible()) {
        if (BrushVisible() && W > 1 && H > 1) fillShape(extents(W - 1, H - 1, cornerWidth, cornerHeight, 9), x0, y0);
        return;
    }
    if (w == 1) {
        const TRowExtents outer = extents(W, H, cornerWidth, cornerHeight, 4);
        if (BrushVisible()) fillShape(outer, x0, y0);
        PreparePenFill();
        DashPhase = 0;
        OutlineRows(x0, y0, outer);
        return;
    }
    const TRowExtents outer = extents(W + w - 1, H + w - 1, cornerWidth, cornerHeight, 4);
    const bool hasInner = W - w - 1 > 0 && H - w - 1 > 0;
    TRowExtents inner;
    if (hasInner) {
        const auto innerCorner = [&](int64_t c) { return c - 2 * w < 1 ? 0 : c - 2 * w; };
        inner = extents(W - w - 1, H - w - 1, innerCorner(cornerWidth), innerCorner(cornerHeight), 4);
        if (BrushVisible()) fillShape(inner, x0 + w, y0 + w);
    }
    PreparePenFill();
    ForRows(outer, y0, ClipBox, [&](int32_t k) {
        const int64_t y = y0 + k, oL = x0 + outer.L[size_t(k)], oR = x0 + outer.R[size_t(k)];
        const int64_t r = k - w;
        if (hasInner && r >= 0 && r < inner.Rows() && !inner.Empty(int32_t(r))) {
            FillSpan(y, oL, x0 + w + inner.L[size_t(r)]);
            FillSpan(y, x0 + w + inner.R[size_t(r)] + 1, oR + 1);
        } else {
            FillSpan(y, oL, oR + 1);
        }
    });
}

void TSoftCanvas::Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    DrawRowShape(int64_t(left) + State.OriginX, int64_t(top) + State.OriginY, int64_t(right) - left,
                 int64_t(bottom) - top, true, 0, 0);
}

void TSoftCanvas::RoundRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t cornerWidth,
                            int32_t cornerHeight) {
    DrawRowShape(int64_t(left) + State.OriginX, int64_t(top) + State.OriginY, int64_t(right) - left,
                 int64_t(bottom) - top, false, cornerWidth, cornerHeight);
}

// ---- Arcs, chords and pies ------------------------------------------------------------------

enum : int32_t { ArcKindArc = 0, ArcKindChord = 1, ArcKindPie = 2 };

void TSoftCanvas::DrawArcShape(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1,
                               int32_t x2, int32_t y2, int32_t kind) {
    const int64_t W = int64_t(right) - left, H = int64_t(bottom) - top;
    if (W < 1 || W > kMaxShapeSide || H < 1 || H > kMaxShapeSide) return;
    const int64_t ox = State.OriginX, oy = State.OriginY;
    const TArcShape shape(left + ox, top + oy, W, H, x1 + ox, y1 + oy, x2 + ox, y2 + oy);
    const int64_t x0 = shape.L, y0 = shape.T;
    const TRowExtents rows = EllipseRowExtents(int32_t(W), int32_t(H), 4);
    // The columns l..r of row k that pass the test, solved per row where the
    // products fit in 64 bits and tested pixel by pixel otherwise.
    auto writeParts = [&](int32_t test, int64_t k, int64_t l, int64_t r) {
        if (shape.Small) {
            int64_t first[2], last[2];
            const int32_t count = ArcRowSpans(shape, test, k, l, r, first, last);
            for (int32_t i = 0; i < count; ++i) FillSpan(y0 + k, x0 + first[i], x0 + last[i] + 1);
            return;
        }
        const int64_t from = std::max<int64_t>(l, ClipBox.Left - x0), to = std::min<int64_t>(r, ClipBox.Right - 1 - x0);
        int64_t runStart = -1;
        for (int64_t j = from; j <= to + 1; ++j) {
            const bool in = j <= to && (test == ArcTestChord ? shape.InChord(j, k) : shape.InSector(j, k));
            if (in && runStart < 0) runStart = j;
            if (!in && runStart >= 0) {
                FillSpan(y0 + k, x0 + runStart, x0 + j);
                runStart = -1;
            }
        }
    };
    if (kind != ArcKindArc && BrushVisible()) {
        PrepareBrushFill();
        const int32_t test = kind == ArcKindChord ? ArcTestChord : ArcTestSector;
        ForRows(rows, y0, ClipBox, [&](int32_t k) { writeParts(test, k, rows.L[size_t(k)], rows.R[size_t(k)]); });
    }
    if (!PenVisible()) return;
    PreparePenFill();
    DashPhase = 0;
    ForRows(rows, y0, ClipBox, [&](int32_t k) {
        int64_t first[2], last[2];
        const int32_t count = OutlineRuns(rows, k, first, last);
        for (int32_t r = 0; r < count; ++r) writeParts(ArcTestSector, k, first[r], last[r]);
    });
    int64_t sx, sy, ex, ey, cx, cy;
    shape.StartPixel(sx, sy);
    shape.EndPixel(ex, ey);
    shape.CentrePixel(cx, cy);
    if (kind == ArcKindChord) {
        ThinLine(sx, sy, ex, ey, true);
    } else if (kind == ArcKindPie) {
        ThinLine(cx, cy, sx, sy, true);
        ThinLine(cx, cy, ex, ey, true);
    }
}

void TSoftCanvas::Arc(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1, int32_t x2,
                      int32_t y2) {
    DrawArcShape(left, top, right, bottom, x1, y1, x2, y2, ArcKindArc);
}

void TSoftCanvas::Chord(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1, int32_t x2,
                        int32_t y2) {
    DrawArcShape(left, top, right, bottom, x1, y1, x2, y2, ArcKindChord);
}

void TSoftCanvas::Pie(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1, int32_t x2,
                      int32_t y2) {
    DrawArcShape(left, top, right, bottom, x1, y1, x2, y2, ArcKindPie);
}

// ---- Pixels ---------------------------------------------------------------------------------

void TSoftCanvas::SetPixel(int32_t x, int32_t y, int32_t color) {
    const int64_t dx = int64_t(x) + State.OriginX, dy = int64_t(y) + State.OriginY;
    if (IsPixelVisible(dx, dy)) *Pixel(dx, dy) = ColorToPixel(color);
}

int32_t TSoftCanvas::GetPixel(int32_t x, int32_t y) {
    const int64_t dx = int64_t(x) + State.OriginX, dy = int64_t(y) + State.OriginY;
    if (!IsPixelVisible(dx, dy)) return -1;
    if (dx < 0 || dy < 0 || dx >= Width || dy >= Height) return 0;
    const uint32_t p = *Pixel(dx, dy), a = p >> 24;
    uint32_t r = (p >> 16) & 0xFF, g = (p >> 8) & 0xFF, b = p & 0xFF;
    if (SurfaceHasAlpha && a != 0 && a != 255) {
        const auto unmultiply = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
        r = unmultiply(r), g = unmultiply(g), b = unmultiply(b);
    }
    return int32_t(r | (g << 8) | (b << 16));
}

void TSoftCanvas::FloodFill(int32_t x, int32_t y, int32_t color, bool toBorder) {
    const int64_t sx = int64_t(x) + State.OriginX, sy = int64_t(y) + State.OriginY;
    if (!BrushVisible() || !IsPixelVisible(sx, sy)) return;
    const uint32_t c = ColorToRgb(color);
    auto matches = [&](int64_t px, int64_t py) { return ((*Pixel(px, py) & 0xFFFFFF) == c) != toBorder; };
    if (!matches(sx, sy)) return;
    const THeapBlock<uint8_t> visited = AllocZeroed<uint8_t>(uint64_t(Width) * uint64_t(Height));
    auto seen = [&](int64_t px, int64_t py) -> uint8_t& { return visited[size_t(py) * size_t(Width) + size_t(px)]; };
    auto qualifies = [&](int64_t px, int64_t py) {
        return px >= ClipBox.Left && px < ClipBox.Right && py >= ClipBox.Top && py < ClipBox.Bottom &&
               !seen(px, py) && IsPixelVisible(px, py) && matches(px, py);
    };
    PrepareBrushFill();
    struct TSeed {
        int64_t X, Y;
    };
    std::vector<TSeed> stack;
    RaiseOnBadAlloc([&] {
        stack.reserve(128);
        stack.push_back({sx, sy});
    });
    while (!stack.empty()) {
        const TSeed s = stack.back();
        stack.pop_back();
        if (!qualifies(s.X, s.Y)) continue;
        int64_t l = s.X, r = s.X;
        while (qualifies(l - 1, s.Y)) --l;
        while (qualifies(r + 1, s.Y)) ++r;
        for (int64_t i = l; i <= r; ++i) seen(i, s.Y) = 1;
        PutSpan(s.Y, l, r + 1);
        for (const int64_t ny : {s.Y - 1, s.Y + 1}) {
            bool previous = false;
            for (int64_t i = l; i <= r; ++i) {
                const bool q = qualifies(i, ny);
                if (q && !previous) RaiseOnBadAlloc([&] { stack.push_back({i, ny}); });
                previous = q;
            }
        }
    }
}

} // namespace Zyl
