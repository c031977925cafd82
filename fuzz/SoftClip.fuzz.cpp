// Clip sequences on a soft canvas against a boolean mask per pixel:
// intersections, exclusions (reversed, empty and extreme rectangles
// included), resets, origins, saves and restores. After every step each
// pixel's visibility and the clip box match the mask, and an Xor span fill
// across every row flips each visible pixel exactly once and no other.
//
// Input: one byte per operation, followed by its arguments, one byte each
// (a few byte values stand for the int32 extremes). At most four exclusions
// count, so the region stays below the size at which it collapses to its
// bounding box (a unit test covers that).
#include <algorithm>
#include <vector>

#include "KsFuzz.h"
#include "Zyl.Platform.Soft.h"

using namespace Zyl;

namespace {

struct TModel {
    std::vector<bool> Mask;
    int32_t OriginX = 0, OriginY = 0;
};

using TReader = KsFuzz::TByteReader;

// A few byte values stand for the int32 extremes, the others for small numbers.
int32_t Coordinate(TReader& in) {
    switch (const uint8_t b = in.Byte()) {
    case 250: return INT32_MIN;
    case 251: return INT32_MAX;
    case 252: return INT32_MIN + 1;
    case 253: return INT32_MAX - 1;
    case 254: return -1;
    default: return int32_t(b) - 30;
    }
}

void Check(TSoftCanvas& c, const TModel& m) {
    int64_t minX = INT64_MAX, minY = INT64_MAX, maxX = INT64_MIN, maxY = INT64_MIN;
    for (int32_t y = 0; y < c.Height; ++y) {
        for (int32_t x = 0; x < c.Width; ++x) {
            const bool visible = m.Mask[size_t(y * c.Width + x)];
            KS_FUZZ_CHECK(c.IsPixelVisible(x, y) == visible);
            if (!visible) continue;
            minX = std::min<int64_t>(minX, x), maxX = std::max<int64_t>(maxX, x + 1);
            minY = std::min<int64_t>(minY, y), maxY = std::max<int64_t>(maxY, y + 1);
        }
    }
    int32_t l, t, r, b;
    const bool any = c.GetClipBox(l, t, r, b);
    KS_FUZZ_CHECK(any == (minX != INT64_MAX));
    if (any) {
        KS_FUZZ_CHECK(l == SaturateInt32(minX - m.OriginX) && r == SaturateInt32(maxX - m.OriginX));
        KS_FUZZ_CHECK(t == SaturateInt32(minY - m.OriginY) && b == SaturateInt32(maxY - m.OriginY));
    }

    uint32_t* pixels = reinterpret_cast<uint32_t*>(c.Bits);
    std::fill_n(pixels, size_t(c.Width) * size_t(c.Height), 0xFF000000u);
    c.SetRop2(RasterXor);
    c.SetPen(0xFFFFFF, 1, 0);
    c.PreparePenFill();
    for (int32_t y = -2; y < c.Height + 2; ++y) c.FillSpan(y, INT32_MIN, int64_t(INT32_MAX) * 2);
    for (size_t i = 0; i < m.Mask.size(); ++i) KS_FUZZ_CHECK(pixels[i] == (m.Mask[i] ? 0xFFFFFFFFu : 0xFF000000u));
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    TReader in(data);
    const int32_t width = in.Byte() % 40 + 1, height = in.Byte() % 40 + 1;
    auto surface = System::MakeRef<TSoftSurface>(width, height, false);
    TRef<TPlatformCanvas> canvasRef = surface->CreateCanvas();
    TSoftCanvas& c = static_cast<TSoftCanvas&>(*canvasRef);
    TModel m{std::vector<bool>(size_t(width) * size_t(height), true)};
    std::vector<TModel> saved;
    int exclusions = 0;

    auto apply = [&](bool keepInside, int64_t l, int64_t t, int64_t r, int64_t b) {
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x) {
                const bool inside = x >= l && x < r && y >= t && y < b;
                if (inside != keepInside) m.Mask[size_t(y * width + x)] = false;
            }
    };

    for (int steps = 0; in.More() && steps < 24; ++steps) {
        switch (in.Byte() % 6) {
        case 0: {
            const int32_t l = Coordinate(in), t = Coordinate(in), r = Coordinate(in), b = Coordinate(in);
            c.ClipRect(l, t, r, b);
            apply(true, int64_t(l) + m.OriginX, int64_t(t) + m.OriginY, int64_t(r) + m.OriginX, int64_t(b) + m.OriginY);
            break;
        }
        case 1: {
            const int32_t l = Coordinate(in), t = Coordinate(in), r = Coordinate(in), b = Coordinate(in);
            if (++exclusions > 4) break;
            c.ClipExclude(l, t, r, b);
            const int64_t L = int64_t(l) + m.OriginX, T = int64_t(t) + m.OriginY;
            const int64_t R = int64_t(r) + m.OriginX, B = int64_t(b) + m.OriginY;
            if (L < R && T < B) apply(false, L, T, R, B);
            break;
        }
        case 2:
            c.ResetClip();
            std::fill(m.Mask.begin(), m.Mask.end(), true);
            break;
        case 3:
            m.OriginX = Coordinate(in);
            m.OriginY = Coordinate(in);
            c.SetOrigin(m.OriginX, m.OriginY);
            break;
        case 4:
            c.Save();
            saved.push_back(m);
            break;
        default:
            c.Restore();
            if (!saved.empty()) {
                m = saved.back();
                saved.pop_back();
            }
            break;
        }
        Check(c, m);
    }
}
