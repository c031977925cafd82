// The soft canvas's compositor beside pixman on the same work, on a
// 1920 x 1080 destination: a 512 x 512 copy, a 512 x 512 premultiplied blend
// (a8r8g8b8 over x8r8g8b8) and a 2x nearest upscale of 512 x 512. Each figure
// is the best of 5 runs of at least 0.5 s, in destination Mpixel/s. Then the
// uncached glyph rasterizations per second of the block font at 12 and 48 px.
// A host program: bench/run-soft.sh builds it in Release without sanitizers.
#include <pixman.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

#include "Zyl.Platform.Soft.h"

using namespace Zyl;
using System::MakeRef;

namespace {

constexpr int32_t kWidth = 1920, kHeight = 1080, kSource = 512;

// Calls per second of `work`: the best of 5 runs of at least 0.5 s.
double BestRate(const std::function<void()>& work) {
    double best = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        int64_t calls = 0;
        double seconds = 0;
        do {
            for (int i = 0; i < 8; ++i) work();
            calls += 8;
            seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        } while (seconds < 0.5);
        best = std::max(best, double(calls) / seconds);
    }
    return best;
}

// Premultiplied pixels with a spread of alphas, the same for both sides.
void FillSource(uint32_t* pixels, size_t count, bool alpha) {
    uint32_t x = 2463534242u;
    for (size_t i = 0; i < count; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        const uint32_t a = alpha ? (i % 3 == 0 ? 255 : i % 3 == 1 ? 0 : x >> 24) : 255;
        uint32_t p = a << 24;
        for (int shift = 0; shift < 24; shift += 8) p |= ((x >> shift & 0xFF) * a / 255) << shift;
        pixels[i] = p;
    }
}

struct TCase {
    const char* Name;
    int64_t Pixels;
    std::function<void()> Ours;
    std::function<void()> Pixman;
};

} // namespace

int main() {
    auto canvasSurface = MakeRef<TSoftSurface>(kWidth, kHeight, false);
    TRef<TPlatformCanvas> canvas = canvasSurface->CreateCanvas();
    auto opaque = MakeRef<TSoftSurface>(kSource, kSource, false);
    auto translucent = MakeRef<TSoftSurface>(kSource, kSource, true);
    FillSource(reinterpret_cast<uint32_t*>(opaque->Bits()), size_t(kSource) * kSource, false);
    FillSource(reinterpret_cast<uint32_t*>(translucent->Bits()), size_t(kSource) * kSource, true);

    std::vector<uint32_t> dstPixels(size_t(kWidth) * kHeight, 0xFF000000u);
    pixman_image_t* dst = pixman_image_create_bits(PIXMAN_x8r8g8b8, kWidth, kHeight, dstPixels.data(), kWidth * 4);
    pixman_image_t* srcOpaque = pixman_image_create_bits(PIXMAN_x8r8g8b8, kSource, kSource,
                                                         reinterpret_cast<uint32_t*>(opaque->Bits()), kSource * 4);
    pixman_image_t* srcAlpha = pixman_image_create_bits(
        PIXMAN_a8r8g8b8, kSource, kSource, reinterpret_cast<uint32_t*>(translucent->Bits()), kSource * 4);
    pixman_image_t* srcScaled = pixman_image_create_bits(PIXMAN_x8r8g8b8, kSource, kSource,
                                                         reinterpret_cast<uint32_t*>(opaque->Bits()), kSource * 4);
    pixman_transform_t half;
    pixman_transform_init_scale(&half, pixman_double_to_fixed(0.5), pixman_double_to_fixed(0.5));
    pixman_image_set_transform(srcScaled, &half);
    pixman_image_set_filter(srcScaled, PIXMAN_FILTER_NEAREST, nullptr, 0);

    const TCase cases[] = {
        {"copy 512x512", int64_t(kSource) * kSource,
         [&] { canvas->DrawSurfaceEx(opaque.Get(), 0, 0, kSource, kSource, 100, 100, 100 + kSource, 100 + kSource,
                                     RopSourceCopy, 255, false); },
         [&] { pixman_image_composite32(PIXMAN_OP_SRC, srcOpaque, nullptr, dst, 0, 0, 0, 0, 100, 100, kSource, kSource); }},
        {"blend 512x512", int64_t(kSource) * kSource,
         [&] { canvas->DrawSurfaceEx(translucent.Get(), 0, 0, kSource, kSource, 100, 100, 100 + kSource,
                                     100 + kSource, RopSourceCopy, 255, true); },
         [&] { pixman_image_composite32(PIXMAN_OP_OVER, srcAlpha, nullptr, dst, 0, 0, 0, 0, 100, 100, kSource, kSource); }},
        {"upscale 2x 512->1024", int64_t(2 * kSource) * (2 * kSource),
         [&] { canvas->DrawSurfaceEx(opaque.Get(), 0, 0, kSource, kSource, 10, 10, 10 + 2 * kSource, 10 + 2 * kSource,
                                     RopSourceCopy, 255, false); },
         [&] { pixman_image_composite32(PIXMAN_OP_SRC, srcScaled, nullptr, dst, 0, 0, 0, 0, 10, 10, 2 * kSource, 2 * kSource); }},
    };
    for (const TCase& c : cases) {
        const double ours = BestRate(c.Ours) * double(c.Pixels) / 1e6;
        const double pixman = BestRate(c.Pixman) * double(c.Pixels) / 1e6;
        std::printf("%-22s ours %8.1f Mpixel/s  pixman %8.1f Mpixel/s  ours/pixman %.2f\n", c.Name, ours, pixman,
                    ours / pixman);
    }

    for (int32_t px : {12, 48}) {
        TSoftBlockFont font(px);
        uint32_t code = 33;
        const double rate = BestRate([&] {
            TSoftOutline outline;
            font.GetOutline(code, outline);
            RasterizeOutline(outline, font.EmPx(), font.UnitsPerEm(), 0, 65536);
            code = code == 126 ? 33 : code + 1;
        });
        std::printf("glyph rasterization %2d px: %.0f glyphs/s (uncached)\n", px, rate);
    }

    pixman_image_unref(srcScaled);
    pixman_image_unref(srcAlpha);
    pixman_image_unref(srcOpaque);
    pixman_image_unref(dst);
    return 0;
}
