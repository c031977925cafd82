// Clip-rectangle lists and the pixel routines that take them, on a surface
// of 1..64 x 1..64 pixels with guard bytes around it and padding in each row.
// The list is reset, intersected, excluded from or replaced by rectangles
// straight from the input (outside the surface, negative, at the int32
// limits, overlapping); focus rectangles, flood fills and stretch blits run
// on it. Properties:
// - no routine writes a guard or padding byte, or a pixel outside every
//   rectangle of the list;
// - an exclusion leaves exactly the old area less the excluded rectangle
//   (seen through a grid around the surface), unless the result was capped,
//   when its one rectangle still covers that area; at most 256 rectangles;
// - rectangles of a list made by reset, intersect and exclude never overlap;
// - a focus rectangle drawn twice restores every pixel;
// - a layer changes no pixel outside the place it is combined into.
//
// Input: two size bytes, then one byte per operation and its arguments, one
// byte each (a few byte values stand for the int32 extremes).
#include <algorithm>
#include <vector>

#include "KsFuzz.h"
#include "Zyl.Platform.Soft.Pixels.h"

using namespace Zyl;

namespace {

// The grid the area model sees: coordinates the input names directly, and
// the whole surface.
constexpr int32_t kGridFrom = -24, kGridTo = 88, kGridSize = kGridTo - kGridFrom;
constexpr size_t kGuard = 64;
constexpr uint8_t kGuardByte = 0xA5;

using TReader = KsFuzz::TByteReader;

// A few byte values stand for the int32 extremes, the others for numbers in
// the model's grid.
int32_t Coordinate(TReader& in) {
    switch (const uint8_t b = in.Byte()) {
    case 250: return INT32_MIN;
    case 251: return INT32_MAX;
    case 252: return INT32_MIN + 1;
    case 253: return INT32_MAX - 1;
    default: return int32_t(b % 100) - 20;
    }
}

int32_t Color(TReader& in) {
    const uint32_t grey = in.Byte() * 0x010101u;
    return int32_t(grey ^ uint32_t(in.Byte()) << 8);
}

// How many list rectangles hold each cell of the grid.
std::vector<int32_t> Coverage(const TClipRectArray& rects, int32_t count) {
    std::vector<int32_t> cells(size_t(kGridSize) * kGridSize, 0);
    const int32_t n = ClipRectsInUse(rects, count);
    for (int32_t i = 0; i < n; ++i) {
        const int32_t* r = rects->data() + 4 * i;
        const int64_t l = std::max<int64_t>(r[0], kGridFrom), t = std::max<int64_t>(r[1], kGridFrom);
        const int64_t rr = std::min<int64_t>(r[2], kGridTo), b = std::min<int64_t>(r[3], kGridTo);
        for (int64_t y = t; y < b; ++y)
            for (int64_t x = l; x < rr; ++x) ++cells[size_t((y - kGridFrom) * kGridSize + (x - kGridFrom))];
    }
    return cells;
}

bool InRect(int64_t x, int64_t y, int32_t l, int32_t t, int32_t r, int32_t b) {
    return x >= l && x < r && y >= t && y < b;
}

struct TSurface {
    TSurface(int32_t width, int32_t height, int32_t padding)
        : Width(width), Height(height), Stride(4 * width + 4 * padding),
          Memory(2 * kGuard + size_t(Stride) * size_t(height), kGuardByte) {
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) *Pixel(x, y) = 0x80000000u + uint32_t(y * 977 + x * 131);
    }
    uint8_t* Bits() { return Memory.data() + kGuard; }
    uint32_t* Pixel(int32_t x, int32_t y) { return PixelPtr(Bits(), Stride, x, y); }
    uint32_t At(int32_t x, int32_t y) const { return *PixelPtr(Memory.data() + kGuard, Stride, x, y); }
    bool IsPixelByte(size_t offset) const {
        if (offset < kGuard || offset >= Memory.size() - kGuard) return false;
        return (offset - kGuard) % size_t(Stride) < 4 * size_t(Width);
    }

    int32_t Width, Height, Stride;
    std::vector<uint8_t> Memory;
};

// Guards and padding intact; every pixel outside the list as it was.
void CheckWritesStayInside(const TSurface& before, const TSurface& after, const TClipRectArray& rects,
                           int32_t count) {
    for (size_t i = 0; i < before.Memory.size(); ++i)
        if (!before.IsPixelByte(i)) KS_FUZZ_CHECK(after.Memory[i] == before.Memory[i]);
    const std::vector<int32_t> inside = Coverage(rects, count);
    for (int32_t y = 0; y < before.Height; ++y)
        for (int32_t x = 0; x < before.Width; ++x)
            if (inside[size_t((y - kGridFrom) * kGridSize + (x - kGridFrom))] == 0)
                KS_FUZZ_CHECK(after.At(x, y) == before.At(x, y));
}

void CheckExclusion(const TClipRectArray& before, int32_t beforeCount, const TClipRectArray& after,
                    int32_t afterCount, int32_t l, int32_t t, int32_t r, int32_t b) {
    KS_FUZZ_CHECK(afterCount >= 0 && afterCount <= 256);
    std::vector<int32_t> expected = Coverage(before, beforeCount);
    const bool reversed = l > r || t > b;
    for (int32_t y = kGridFrom; y < kGridTo; ++y)
        for (int32_t x = kGridFrom; x < kGridTo; ++x)
            if (!reversed && InRect(x, y, l, t, r, b)) expected[size_t((y - kGridFrom) * kGridSize + (x - kGridFrom))] = 0;
    const std::vector<int32_t> got = Coverage(after, afterCount);
    // Only a result of 257 or more pieces is capped, and each rectangle gives
    // at most four.
    const bool mayBeCapped = afterCount == 1 && ClipRectsInUse(before, beforeCount) >= 64;
    for (size_t i = 0; i < got.size(); ++i) {
        if (mayBeCapped) KS_FUZZ_CHECK(expected[i] == 0 || got[i] == 1);
        else KS_FUZZ_CHECK((expected[i] > 0) == (got[i] > 0));
    }
}

void CheckNoOverlap(const TClipRectArray& rects, int32_t count) {
    for (int32_t cell : Coverage(rects, count)) KS_FUZZ_CHECK(cell <= 1);
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    TReader in(data);
    const int32_t width = in.Byte() % 64 + 1, height = in.Byte() % 64 + 1;
    TSurface surface(width, height, in.Byte() % 3);
    TClipRectArray rects;
    int32_t count = 0;
    ResetClipRects(rects, count, width, height);
    bool madeBySplitting = true;

    for (int steps = 0; in.More() && steps < 64; ++steps) {
        const uint8_t op = in.Byte() % 8;
        switch (op) {
        case 0:
            ResetClipRects(rects, count, width, height);
            madeBySplitting = true;
            break;
        case 1: {
            const int32_t l = Coordinate(in), t = Coordinate(in), r = Coordinate(in), b = Coordinate(in);
            IntersectClipRects(rects, count, l, t, r, b);
            break;
        }
        case 2: {
            const int32_t l = Coordinate(in), t = Coordinate(in), r = Coordinate(in), b = Coordinate(in);
            const TClipRectArray before = rects;
            const int32_t beforeCount = count;
            ExcludeClipRects(rects, count, l, t, r, b);
            CheckExclusion(before, beforeCount, rects, count, l, t, r, b);
            break;
        }
        case 3: {
            // A list of the input's own, with a count that may pass its end.
            std::vector<int32_t> list(4 * size_t(in.Byte() % 80));
            for (int32_t& v : list) v = Coordinate(in);
            rects = std::make_shared<const std::vector<int32_t>>(std::move(list));
            count = int32_t(rects->size() / 4) + in.Byte() % 3;
            madeBySplitting = false;
            break;
        }
        case 4: {
            const int32_t l = Coordinate(in), t = Coordinate(in), r = Coordinate(in), b = Coordinate(in);
            const int32_t color = Color(in);
            const TSurface before = surface;
            XorFocusRectPixels(surface.Bits(), surface.Stride, width, height, rects, count, l, t, r, b, color);
            CheckWritesStayInside(before, surface, rects, count);
            for (int32_t y = 0; y < height; ++y)
                for (int32_t x = 0; x < width; ++x)
                    KS_FUZZ_CHECK((surface.At(x, y) ^ before.At(x, y)) <= 0x00FFFFFFu);
            XorFocusRectPixels(surface.Bits(), surface.Stride, width, height, rects, count, l, t, r, b, color);
            KS_FUZZ_CHECK(surface.Memory == before.Memory);
            break;
        }
        case 5: {
            const int32_t x = Coordinate(in), y = Coordinate(in);
            const int32_t color = Color(in), brush = Color(in), style = in.Byte() % 10;
            const bool toBorder = in.Byte() & 1;
            const int32_t back = Color(in);
            const bool backTransparent = in.Byte() & 1;
            const TSurface before = surface;
            FloodFillPixels(surface.Bits(), surface.Stride, width, height, rects, count, x, y, color, toBorder, brush,
                            style, back, backTransparent);
            CheckWritesStayInside(before, surface, rects, count);
            break;
        }
        case 6: {
            // The source rectangle lies in the surface (the routine's
            // precondition); the destination anywhere.
            const int32_t sl = in.Byte() % width, st = in.Byte() % height;
            const int32_t sr = sl + 1 + in.Byte() % (width - sl), sb = st + 1 + in.Byte() % (height - st);
            const int32_t dl = Coordinate(in), dt = Coordinate(in), dr = Coordinate(in), db = Coordinate(in);
            const int32_t rop = int32_t(uint32_t(in.Byte()) << 16), brush = Color(in);
            const bool plainCopy = in.Byte() & 1;
            const TSurface before = surface;
            StretchBlitPixels(surface.Bits(), surface.Stride, width, height, before.Memory.data() + kGuard,
                              before.Stride, width, height, sl, st, sr, sb, dl, dt, dr, db, rects, count, brush, rop,
                              plainCopy);
            CheckWritesStayInside(before, surface, rects, count);
            break;
        }
        case 7: {
            // A layer of its own size anywhere on (or off) the surface, with
            // transparent and opaque pixels.
            const int32_t layerWidth = in.Byte() % 16 + 1, layerHeight = in.Byte() % 16 + 1;
            const int32_t x = Coordinate(in), y = Coordinate(in), mode = in.Byte() % 16;
            const uint8_t seed = in.Byte();
            std::vector<uint32_t> layer(size_t(layerWidth) * size_t(layerHeight));
            for (size_t i = 0; i < layer.size(); ++i) layer[i] = uint32_t(i * 0x9E3779B1u + seed) & 0x01FFFFFFu;
            const TSurface before = surface;
            CombineRop2Pixels(surface.Bits(), surface.Stride, width, height,
                              reinterpret_cast<const uint8_t*>(layer.data()), 4 * layerWidth, layerWidth, layerHeight,
                              x, y, rects, count, mode);
            CheckWritesStayInside(before, surface, rects, count);
            for (int32_t py = 0; py < height; ++py)
                for (int32_t px = 0; px < width; ++px)
                    if (!InRect(px, py, x, y, int32_t(std::min<int64_t>(int64_t(x) + layerWidth, INT32_MAX)),
                                int32_t(std::min<int64_t>(int64_t(y) + layerHeight, INT32_MAX))))
                        KS_FUZZ_CHECK(surface.At(px, py) == before.At(px, py));
            break;
        }
        }
        if (madeBySplitting && op <= 2) CheckNoOverlap(rects, count);
    }
}
