#include "Zyl.Platform.Soft.Pixels.h"

#include <algorithm>

#include "Zyl.Platform.Soft.Support.h"

namespace Zyl {

// ---- Clip lists -----------------------------------------------------------------

int32_t ClipRectsInUse(const TClipRectArray& rects, int32_t count) {
    if (!rects || count <= 0) return 0;
    return int32_t(std::min<size_t>(size_t(count), rects->size() / 4));
}

TClipBox ClipRectsBounds(const TClipRectArray& rects, int32_t count) {
    const int32_t n = ClipRectsInUse(rects, count);
    if (n == 0) return {};
    const int32_t* r = rects->data();
    TClipBox box{r[0], r[1], r[2], r[3]};
    for (int32_t i = 1; i < n; ++i) {
        box.Left = std::min(box.Left, r[4 * i]);
        box.Top = std::min(box.Top, r[4 * i + 1]);
        box.Right = std::max(box.Right, r[4 * i + 2]);
        box.Bottom = std::max(box.Bottom, r[4 * i + 3]);
    }
    return box;
}

bool ClipRectsContain(const TClipRectArray& rects, int32_t count, int64_t x, int64_t y) {
    const int32_t n = ClipRectsInUse(rects, count);
    const int32_t* r = n ? rects->data() : nullptr;
    for (int32_t i = 0; i < n; ++i, r += 4)
        if (x >= r[0] && x < r[2] && y >= r[1] && y < r[3]) return true;
    return false;
}

void ResetClipRects(TClipRectArray& rects, int32_t& count, int32_t width, int32_t height) {
    rects = RaiseOnBadAlloc([&] { return std::make_shared<const std::vector<int32_t>>(std::vector<int32_t>{0, 0, width, height}); });
    count = 1;
}

void IntersectClipRects(TClipRectArray& rects, int32_t& count, int32_t left, int32_t top, int32_t right,
                        int32_t bottom) {
    const int32_t n = ClipRectsInUse(rects, count);
    std::vector<int32_t> kept;
    ResizeOrRaise(kept, 4 * (size_t(n) + 1));
    const int32_t keptCount = ClipRectsToRect(rects, n, left, top, right, bottom, kept);
    rects = RaiseOnBadAlloc([&] { return std::make_shared<const std::vector<int32_t>>(std::move(kept)); });
    count = keptCount;
}

int32_t ClipRectsToRect(const TClipRectArray& rects, int32_t count, int32_t left, int32_t top, int32_t right,
                        int32_t bottom, std::vector<int32_t>& out) {
    const int32_t n = ClipRectsInUse(rects, count);
    if (left >= right || top >= bottom || n == 0) return 0;
    if (out.size() < 4 * size_t(n)) ResizeOrRaise(out, 4 * size_t(n) + 16);
    const int32_t* r = rects->data();
    int32_t written = 0;
    for (int32_t i = 0; i < n; ++i, r += 4) {
        const int32_t l = std::max(r[0], left), t = std::max(r[1], top);
        const int32_t rr = std::min(r[2], right), b = std::min(r[3], bottom);
        if (l >= rr || t >= b) continue;
        int32_t* o = out.data() + 4 * written++;
        o[0] = l, o[1] = t, o[2] = rr, o[3] = b;
    }
    return written;
}

// ---- Colour operations ---------------------------------------------------------

std::array<uint8_t, 8> HatchPattern(int32_t brushStyle) {
    switch (brushStyle) {
    case 2: return {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00, 0x00, 0x00};
    case 3: return {0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10};
    case 4: return {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};
    case 5: return {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
    case 6: return {0x10, 0x10, 0x10, 0xFF, 0x10, 0x10, 0x10, 0x10};
    default: return {0x81, 0x42, 0x24, 0x18, 0x18, 0x24, 0x42, 0x81};
    }
}

std::array<uint8_t, 8> BrushHatch(int32_t brushStyle) {
    return brushStyle >= 8 ? std::array<uint8_t, 8>{} : HatchPattern(brushStyle);
}

std::array<uint32_t, 64> HatchTile(const std::array<uint8_t, 8>& pattern, uint32_t fore, uint32_t back,
                                   int32_t shiftX, int32_t shiftY) {
    std::array<uint32_t, 64> tile{};
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x)
            tile[size_t(8 * y + x)] = (pattern[size_t((y + shiftY) & 7)] >> ((x + shiftX) & 7) & 1) ? fore : back;
    return tile;
}

uint32_t Rop2Result(int32_t mode, uint32_t p, uint32_t d) {
    switch (mode) {
    case 0: return 0;
    case 1: return 0x00FFFFFF;
    case 2: return d;
    case 3: return ~d;
    case 4: return p;
    case 5: return ~p;
    case 6: return p | ~d;
    case 7: return p & ~d;
    case 8: return d | ~p;
    case 9: return d & ~p;
    case 10: return p | d;
    case 11: return ~(p | d);
    case 12: return p & d;
    case 13: return ~(p & d);
    case 14: return p ^ d;
    case 15: return ~(p ^ d);
    default: return p;
    }
}

uint32_t TernaryRop(uint8_t index, uint32_t p, uint32_t s, uint32_t d) {
    uint32_t out = 0;
    for (int bit = 0; bit < 8; ++bit) {
        if (!(index & (1 << bit))) continue;
        out |= ((bit & 4) ? p : ~p) & ((bit & 2) ? s : ~s) & ((bit & 1) ? d : ~d);
    }
    return out;
}

// ---- Flood fill ----------------------------------------------------------------

namespace {

class TFloodFill {
public:
    TFloodFill(uint8_t* pixels, int32_t stride, int32_t width, int32_t height, const TClipRectArray& clipRects,
               int32_t clipCount, uint32_t rgb, bool toBorder)
        : pixels_(pixels), stride_(stride), width_(width), height_(height), clip_(clipRects),
          clipCount_(clipCount), rgb_(rgb), toBorder_(toBorder) {}

    bool Fillable(int32_t x, int32_t y) const {
        return ((*PixelPtr(pixels_, stride_, x, y) & 0xFFFFFF) == rgb_) != toBorder_;
    }
    bool Candidate(int32_t x, int32_t y) const {
        return !visited_[Index(x, y)] && ClipRectsContain(clip_, clipCount_, x, y) && Fillable(x, y);
    }
    // Scan-line fill from (x, y); `paint` is called once per filled pixel.
    void Fill(int32_t x, int32_t y, auto&& paint);

private:
    size_t Index(int32_t x, int32_t y) const { return size_t(y) * size_t(width_) + size_t(x); }
    void Push(int32_t x, int32_t y);

    uint8_t* pixels_;
    int32_t stride_, width_, height_;
    const TClipRectArray& clip_;
    int32_t clipCount_;
    uint32_t rgb_;
    bool toBorder_;
    THeapBlock<uint8_t> visited_;
    std::vector<int32_t> stack_;
    size_t pairs_ = 0;
};

void TFloodFill::Push(int32_t x, int32_t y) {
    if (stack_.size() < 2 * pairs_ + 2) ResizeOrRaise(stack_, 2 * stack_.size());
    stack_[2 * pairs_] = x;
    stack_[2 * pairs_ + 1] = y;
    ++pairs_;
}

void TFloodFill::Fill(int32_t x, int32_t y, auto&& paint) {
    visited_ = AllocZeroed<uint8_t>(uint64_t(width_) * uint64_t(height_));
    ResizeOrRaise(stack_, 256);
    Push(x, y);
    while (pairs_ > 0) {
        --pairs_;
        const int32_t px = stack_[2 * pairs_], py = stack_[2 * pairs_ + 1];
        if (px < 0 || px >= width_ || py < 0 || py >= height_ || !Candidate(px, py)) continue;
        int32_t l = px, r = px;
        while (l > 0 && Candidate(l - 1, py)) --l;
        while (r + 1 < width_ && Candidate(r + 1, py)) ++r;
        for (int32_t i = l; i <= r; ++i) {
            visited_[Index(i, py)] = 1;
            paint(i, py);
        }
        for (const int32_t row : {py - 1, py + 1}) {
            if (row < 0 || row >= height_) continue;
            bool inRun = false;
            for (int32_t i = l; i <= r; ++i) {
                const bool candidate = Candidate(i, row);
                if (candidate && !inRun) Push(i, row);
                inRun = candidate;
            }
        }
    }
}

} // namespace

void FloodFillPixels(uint8_t* pixels, int32_t stride, int32_t width, int32_t height, const TClipRectArray& clipRects,
                     int32_t clipCount, int32_t x, int32_t y, int32_t color, bool toBorder, int32_t brushColor,
                     int32_t brushStyle, int32_t backColor, bool backTransparent) {
    if (x < 0 || x >= width || y < 0 || y >= height || clipCount < 1) return;
    if (!ClipRectsContain(clipRects, clipCount, x, y)) return;
    TFloodFill fill(pixels, stride, width, height, clipRects, clipCount, ColorToRgb(color), toBorder);
    if (!fill.Fillable(x, y)) return;
    const uint32_t brush = ColorToPixel(brushColor), back = ColorToPixel(backColor);
    const bool hatched = brushStyle >= 2;
    // Styles 8 and above are a hatch without lines.
    const std::array<uint8_t, 8> pattern = BrushHatch(brushStyle);
    fill.Fill(x, y, [&](int32_t px, int32_t py) {
        ZYL_PIXEL_CHECK(px >= 0 && px < width && py >= 0 && py < height);
        uint32_t* p = PixelPtr(pixels, stride, px, py);
        if (!hatched || (pattern[size_t(py & 7)] >> (px & 7) & 1)) *p = brush;
        else if (!backTransparent) *p = back;
    });
}

// ---- Stretch blit ----------------------------------------------------------------

namespace {

// Nearest source index under the centre of destination index i of n, for a
// source of m: ((2i + 1) * m) div (2n), in 64 bits.
int64_t Sample(int64_t i, int64_t m, int64_t n) { return (2 * i + 1) * m / (2 * n); }

// Rows and columns of the destination rectangle that lie on the surface and
// inside the clip list's bounding box.
struct TSpan {
    int64_t First, End;
};

TSpan CutAxis(int64_t from, int64_t to, int64_t size, int64_t boxFrom, int64_t boxTo) {
    return {std::max({from, int64_t(0), boxFrom}), std::min({to, size, boxTo})};
}

} // namespace

void StretchBlitPixels(uint8_t* dst, int32_t dstStride, int32_t dstWidth, int32_t dstHeight, const uint8_t* src,
                       int32_t srcStride, int32_t srcWidth, int32_t srcHeight, int32_t srcLeft, int32_t srcTop,
                       int32_t srcRight, int32_t srcBottom, int32_t dstLeft, int32_t dstTop, int32_t dstRight,
                       int32_t dstBottom, const TClipRectArray& clipRects, int32_t clipCount, int32_t brushColor,
                       int32_t rop, bool plainCopy) {
    const int64_t sw = int64_t(srcRight) - srcLeft, sh = int64_t(srcBottom) - srcTop;
    const int64_t dw = int64_t(dstRight) - dstLeft, dh = int64_t(dstBottom) - dstTop;
    if (sw < 1 || sh < 1 || dw < 1 || dh < 1) return;
    ZYL_PIXEL_CHECK(srcLeft >= 0 && srcTop >= 0 && srcRight <= srcWidth && srcBottom <= srcHeight);
    (void)srcWidth, (void)srcHeight;

    THeapBlock<uint32_t> copy = AllocZeroed<uint32_t>(uint64_t(sw) * uint64_t(sh));
    for (int64_t row = 0; row < sh; ++row)
        std::copy_n(PixelPtr(src, srcStride, srcLeft, srcTop + row), sw, copy.get() + row * sw);

    const TClipBox box = ClipRectsBounds(clipRects, clipCount);
    const TSpan rows = CutAxis(dstTop, dstBottom, dstHeight, box.Top, box.Bottom);
    const TSpan cols = CutAxis(dstLeft, dstRight, dstWidth, box.Left, box.Right);
    if (rows.First >= rows.End || cols.First >= cols.End) return;
    const uint32_t p = ColorToRgb(brushColor);
    const uint8_t index = uint8_t(uint32_t(rop) >> 16);
    for (int64_t y = rows.First; y < rows.End; ++y) {
        const uint32_t* sourceRow = copy.get() + Sample(y - dstTop, sh, dh) * sw;
        for (int64_t x = cols.First; x < cols.End; ++x) {
            if (!ClipRectsContain(clipRects, clipCount, x, y)) continue;
            const uint32_t s = sourceRow[Sample(x - dstLeft, sw, dw)];
            ZYL_PIXEL_CHECK(x >= 0 && x < dstWidth && y >= 0 && y < dstHeight);
            uint32_t* d = PixelPtr(dst, dstStride, x, y);
            *d = plainCopy ? s : TernaryRop(index, p, s, *d) | 0xFF000000u;
        }
    }
}

// ---- Layer combination -------------------------------------------------------------

void CombineRop2Pixels(uint8_t* dst, int32_t dstStride, int32_t dstWidth, int32_t dstHeight, const uint8_t* src,
                       int32_t srcStride, int32_t width, int32_t height, int32_t dstX, int32_t dstY,
                       const TClipRectArray& clipRects, int32_t clipCount, int32_t mode) {
    // The surface bounds the writes as well as the list: a list rectangle
    // that reaches past the surface must not carry them into other memory.
    const TClipBox box = ClipRectsBounds(clipRects, clipCount);
    const TSpan rows = CutAxis(dstY, int64_t(dstY) + height, dstHeight, box.Top, box.Bottom);
    const TSpan cols = CutAxis(dstX, int64_t(dstX) + width, dstWidth, box.Left, box.Right);
    for (int64_t y = rows.First; y < rows.End; ++y) {
        for (int64_t x = cols.First; x < cols.End; ++x) {
            const uint32_t s = *PixelPtr(src, srcStride, x - dstX, y - dstY);
            if (s < 0x01000000u || !ClipRectsContain(clipRects, clipCount, x, y)) continue;
            ZYL_PIXEL_CHECK(x < dstWidth && y < dstHeight);
            uint32_t* d = PixelPtr(dst, dstStride, x, y);
            *d = Rop2Result(mode, s, *d) | 0xFF000000u;
        }
    }
}

// ---- Exclusion and focus rectangles ----------------------------------------------

namespace {

// An exclusion that would leave more rectangles keeps only their bounding box,
// which bounds the cost of every later clip test.
constexpr size_t kMaxExcludedRects = 256;

} // namespace

void ExcludeClipRects(TClipRectArray& rects, int32_t& count, int32_t left, int32_t top, int32_t right,
                      int32_t bottom) {
    // A reversed rectangle would pass the overlap test below and yield left and
    // right pieces that overlap, so that per-rectangle drawing treated their
    // common pixels twice (an XOR there would cancel itself).
    if (left > right || top > bottom) return;
    const int32_t n = ClipRectsInUse(rects, count);
    std::vector<int32_t> pieces;
    RaiseOnBadAlloc([&] {
        pieces.reserve(4 * (2 * size_t(n) + 4));
        auto add = [&](int32_t l, int32_t t, int32_t r, int32_t b) {
            if (pieces.size() == pieces.capacity()) pieces.reserve(2 * pieces.capacity() + 16);
            pieces.insert(pieces.end(), {l, t, r, b});
        };
        for (int32_t i = 0; i < n; ++i) {
            const int32_t* c = rects->data() + 4 * i;
            const int32_t l = c[0], t = c[1], r = c[2], b = c[3];
            if (right <= l || left >= r || bottom <= t || top >= b) {
                if (r > l && b > t) add(l, t, r, b);
                continue;
            }
            if (r > l && top > t) add(l, t, r, top);
            if (r > l && b > bottom) add(l, bottom, r, b);
            const int32_t mt = std::max(t, top), mb = std::min(b, bottom);
            if (left > l && mb > mt) add(l, mt, left, mb);
            if (mb > mt && r > right) add(right, mt, r, mb);
        }
    });
    const size_t pieceCount = pieces.size() / 4;
    TClipRectArray result = RaiseOnBadAlloc([&] { return std::make_shared<const std::vector<int32_t>>(std::move(pieces)); });
    if (pieceCount <= kMaxExcludedRects) {
        rects = std::move(result);
        count = int32_t(pieceCount);
        return;
    }
    const TClipBox box = ClipRectsBounds(result, int32_t(pieceCount));
    rects = RaiseOnBadAlloc([&] {
        return std::make_shared<const std::vector<int32_t>>(std::vector<int32_t>{box.Left, box.Top, box.Right, box.Bottom});
    });
    count = 1;
}

void XorFocusRectPixels(uint8_t* pixels, int32_t stride, int32_t width, int32_t height,
                        const TClipRectArray& clipRects, int32_t clipCount, int32_t left, int32_t top, int32_t right,
                        int32_t bottom, int32_t color) {
    if (right <= left || bottom <= top) return;
    const uint32_t mask = ColorToRgb(color);
    auto flip = [&](int64_t x, int64_t y) {
        if (x < 0 || x >= width || y < 0 || y >= height || ((x + y) & 1) == 0) return;
        if (!ClipRectsContain(clipRects, clipCount, x, y)) return;
        *PixelPtr(pixels, stride, x, y) ^= mask;
    };
    // Only the part of each run that lies on the surface can change anything,
    // so a huge rectangle costs no more than the surface. A pixel on two runs
    // (a rectangle one pixel high or wide) is flipped twice.
    const int64_t firstX = std::max<int64_t>(left, 0), endX = std::min<int64_t>(right, width);
    for (int64_t x = firstX; x < endX; ++x) {
        flip(x, top);
        flip(x, int64_t(bottom) - 1);
    }
    const int64_t firstY = std::max<int64_t>(int64_t(top) + 1, 0), endY = std::min<int64_t>(int64_t(bottom) - 1, height);
    for (int64_t y = firstY; y < endY; ++y) {
        flip(left, y);
        flip(int64_t(right) - 1, y);
    }
}

} // namespace Zyl
