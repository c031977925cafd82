// The soft compositor on random sources, rectangles, raster codes, opacities
// and transparent colours, the canvas's own surface included. Nothing outside
// the clip box changes, and a region of one rectangle gives the same pixels
// as the same area split into two rectangles (the whole-row and per-pixel
// paths agree).
//
// Input: sizes and flags, the clip rectangle, source and destination
// rectangles (small signed numbers), then seed bytes for the pixels.
#include <algorithm>
#include <array>
#include <vector>

#include "KsFuzz.h"
#include "Zyl.Platform.Soft.h"

using namespace Zyl;

namespace {

constexpr std::array<int32_t, 8> kCodes = {RopSourceCopy, 0x00660046, 0x008800C6, 0x00F00021,
                                           0x00000042,    0x00FB0A09, 0x00123456, RopSourceCopy};

using TReader = KsFuzz::TByteReader;

int32_t Small(TReader& in) { return int32_t(int8_t(in.Byte())) / 3; }

// A pixel a surface can hold: premultiplied with alpha, opaque without.
uint32_t PixelFrom(TReader& in, bool alpha) {
    const uint32_t a = alpha ? in.Byte() : 255;
    uint32_t p = a << 24;
    for (int shift = 0; shift < 24; shift += 8) p |= (in.Byte() % (a + 1)) << shift;
    return p;
}

std::vector<uint32_t> PixelsOf(TSoftSurface& s) {
    const uint32_t* p = reinterpret_cast<const uint32_t*>(s.Bits());
    return std::vector<uint32_t>(p, p + size_t(s.Width()) * size_t(s.Height()));
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    TReader in(data);
    const int32_t width = in.Byte() % 24 + 1, height = in.Byte() % 24 + 1;
    const int32_t srcWidth = in.Byte() % 24 + 1, srcHeight = in.Byte() % 24 + 1;
    const uint8_t flags = in.Byte();
    const bool canvasAlpha = flags & 1, sourceAlpha = flags & 2, own = flags & 4, transparent = flags & 8;
    const bool useAlpha = flags & 16;
    const int32_t rop = kCodes[size_t(flags >> 5)];
    const int32_t opacity = std::min(255, int32_t(in.Byte()) * 2);
    const int32_t brush = int32_t(in.Byte()) * 0x010203, key = int32_t(in.Byte() % 4) * 0x404040;
    const int32_t cl = Small(in), ct = Small(in), cr = Small(in) + 12, cb = Small(in) + 12;
    const int32_t sl = Small(in), st = Small(in), sr = sl + Small(in) + 4, sb = st + Small(in) + 4;
    const int32_t dl = Small(in), dt = Small(in), dr = dl + Small(in) + 6, db = dt + Small(in) + 6;

    std::vector<uint32_t> canvasPixels(size_t(width) * size_t(height));
    for (uint32_t& p : canvasPixels) p = PixelFrom(in, canvasAlpha);
    auto source = System::MakeRef<TSoftSurface>(srcWidth, srcHeight, sourceAlpha);
    std::generate_n(reinterpret_cast<uint32_t*>(source->Bits()), size_t(srcWidth) * size_t(srcHeight),
                    [&] { return PixelFrom(in, sourceAlpha); });

    std::array<std::vector<uint32_t>, 2> results;
    TClipBox box;
    for (int split = 0; split < 2; ++split) {
        auto surface = System::MakeRef<TSoftSurface>(width, height, canvasAlpha);
        std::copy(canvasPixels.begin(), canvasPixels.end(), reinterpret_cast<uint32_t*>(surface->Bits()));
        TRef<TPlatformCanvas> canvasRef = surface->CreateCanvas();
        TSoftCanvas& c = static_cast<TSoftCanvas&>(*canvasRef);
        c.SetBrush(brush, 0);
        c.ClipRect(cl, ct, cr, cb);
        if (split && c.State.ClipCount == 1 && c.ClipBox.Bottom - c.ClipBox.Top >= 2) {
            // The same area as two rectangles, one above the other.
            const TClipBox b = c.ClipBox;
            const int32_t middle = b.Top + (b.Bottom - b.Top) / 2;
            const int32_t two[8] = {b.Left, b.Top, b.Right, middle, b.Left, middle, b.Right, b.Bottom};
            c.SetClipRects(two, 2);
            KS_FUZZ_CHECK(!c.SingleClip);
        }
        box = c.ClipBox;
        TPlatformSurface* from = own ? static_cast<TPlatformSurface*>(surface.Get()) : source.Get();
        if (transparent) c.DrawSurfaceTransparent(from, sl, st, sr, sb, dl, dt, dr, db, key);
        else c.DrawSurfaceEx(from, sl, st, sr, sb, dl, dt, dr, db, rop, opacity, useAlpha);
        results[size_t(split)] = PixelsOf(*surface);
    }
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            const size_t i = size_t(y * width + x);
            if (x < box.Left || x >= box.Right || y < box.Top || y >= box.Bottom)
                KS_FUZZ_CHECK(results[0][i] == canvasPixels[i]);
        }
    KS_FUZZ_CHECK(results[0] == results[1]);
}
