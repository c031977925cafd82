// The soft canvas's compositor beside pixman on the same work, on a
// 1920 x 1080 destination: a 512 x 512 copy, a 512 x 512 premultiplied blend
// (a8r8g8b8 over x8r8g8b8) and a 2x nearest upscale of 512 x 512. Each figure
// is the best of 5 runs of at least 0.5 s, in destination Mpixel/s. Then the
// uncached glyph rasterizations per second of the block font at 12 and 48 px.
// Then the drawing operations: a solid FillRect over the whole destination and
// 10,000 random 32 x 32 ones beside pixman_image_fill_rectangles (SRC); a
// 100-point star about 800 px across, winding rule, beside cairo's image
// surface without antialiasing; a 64-character line of text at -12 tiled over
// the destination beside pixman_composite_glyphs (OVER, solid source) fed the
// same A8 coverages at the same positions.
// A host program: bench/run-soft.sh builds it in Release without sanitizers.
#include <cairo.h>
#include <pixman.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
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

    // Drawing operations.
    std::mt19937 random(7);
    std::vector<pixman_rectangle16_t> boxes(10000);
    for (pixman_rectangle16_t& b : boxes)
        b = {int16_t(random() % (kWidth - 32)), int16_t(random() % (kHeight - 32)), 32, 32};
    const pixman_color_t grey{0x8080, 0x8080, 0x8080, 0xFFFF};
    const pixman_rectangle16_t whole{0, 0, kWidth, kHeight};

    std::vector<TPlatformPoint> star;
    for (int i = 0; i < 100; ++i) {
        const double radius = i % 2 ? 160 : 400, angle = i * 3.14159265358979 * 2 * 49 / 100;
        star.push_back({int32_t(960 + radius * std::cos(angle)), int32_t(540 + radius * std::sin(angle))});
    }
    cairo_surface_t* cairoSurface = cairo_image_surface_create_for_data(
        reinterpret_cast<unsigned char*>(dstPixels.data()), CAIRO_FORMAT_RGB24, kWidth, kHeight, kWidth * 4);
    cairo_t* cr = cairo_create(cairoSurface);
    cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
    cairo_set_fill_rule(cr, CAIRO_FILL_RULE_WINDING);
    cairo_set_source_rgb(cr, 0.5, 0.2, 0.1);
    int64_t starPixels = 0;
    {
        auto probe = MakeRef<TSoftSurface>(kWidth, kHeight, false);
        TRef<TPlatformCanvas> c = probe->CreateCanvas();
        c->SetPen(0, 1, PenStyleClear);
        c->SetBrush(0xFFFFFF, BrushStyleSolid);
        c->Polygon(star.data(), int32_t(star.size()), int32_t(star.size()) - 1, true);
        for (int32_t y = 0; y < kHeight; ++y)
            for (int32_t x = 0; x < kWidth; ++x) starPixels += probe->PixelAt(x, y) == 0xFFFFFF;
    }

    // Text: the glyphs of a 64-character line at -12, tiled over the surface.
    const std::u16string line = u"Ostrel Dax Setup: instalando arquivos do ambiente, aguarde... 64";
    canvas->SetFont(u"Bench", -12, 0, 0);
    canvas->SetBackground(0xFFFFFF, true);
    int32_t lineWidth = 0, lineHeight = 0;
    canvas->TextExtent(line, lineWidth, lineHeight);
    const int32_t tilesX = kWidth / lineWidth, tilesY = kHeight / lineHeight;
    auto* soft = static_cast<TSoftCanvas*>(canvas.Get());
    soft->SelectFont();
    pixman_glyph_cache_t* glyphCache = pixman_glyph_cache_create();
    std::vector<pixman_glyph_t> placed;
    std::vector<pixman_image_t*> glyphImages;
    int64_t glyphPixels = 0;
    pixman_glyph_cache_freeze(glyphCache);
    for (int32_t ty = 0; ty < tilesY; ++ty)
        for (int32_t tx = 0; tx < tilesX; ++tx) {
            int32_t pen = tx * lineWidth;
            for (char16_t ch : line) {
                const TRef<TSoftGlyph> g = soft->Font->GetGlyph(ch);
                if (g->Width > 0) {
                    const void* key = pixman_glyph_cache_lookup(glyphCache, nullptr, (void*)uintptr_t(ch));
                    if (!key) {
                        const int32_t stride = (g->Width + 3) & ~3;
                        std::vector<uint8_t> a8(size_t(stride) * size_t(g->Height));
                        for (int32_t j = 0; j < g->Height; ++j)
                            std::copy_n(g->Coverage.data() + size_t(j) * size_t(g->Width), g->Width,
                                        a8.data() + size_t(j) * size_t(stride));
                        pixman_image_t* image = pixman_image_create_bits(
                            PIXMAN_a8, g->Width, g->Height, reinterpret_cast<uint32_t*>(a8.data()), stride);
                        key = pixman_glyph_cache_insert(glyphCache, nullptr, (void*)uintptr_t(ch), -g->Left, -g->Top,
                                                        image);
                        pixman_image_unref(image);
                    }
                    placed.push_back({pen, ty * lineHeight + soft->Font->Ascent(), key});
                    glyphPixels += int64_t(g->Width) * g->Height;
                }
                pen += soft->Font->CachedAdvance(ch);
            }
        }
    pixman_glyph_cache_thaw(glyphCache);
    pixman_image_t* ink = pixman_image_create_solid_fill(&grey);
    const int64_t glyphCount = int64_t(placed.size());

    const TCase drawing[] = {
        {"fill 1920x1080", int64_t(kWidth) * kHeight,
         [&] { canvas->FillRect(0, 0, kWidth, kHeight, 0x808080); },
         [&] { pixman_image_fill_rectangles(PIXMAN_OP_SRC, dst, &grey, 1, &whole); }},
        {"10000 fills 32x32", int64_t(boxes.size()) * 32 * 32,
         [&] {
             for (const pixman_rectangle16_t& b : boxes) canvas->FillRect(b.x, b.y, b.x + 32, b.y + 32, 0x808080);
         },
         [&] { pixman_image_fill_rectangles(PIXMAN_OP_SRC, dst, &grey, int(boxes.size()), boxes.data()); }},
    };
    for (const TCase& c : drawing) {
        const double ours = BestRate(c.Ours) * double(c.Pixels) / 1e6;
        const double pixman = BestRate(c.Pixman) * double(c.Pixels) / 1e6;
        std::printf("%-22s ours %8.1f Mpixel/s  pixman %8.1f Mpixel/s  ours/pixman %.2f\n", c.Name, ours, pixman,
                    ours / pixman);
    }
    canvas->SetPen(0, 1, PenStyleClear);
    canvas->SetBrush(0x102040, BrushStyleSolid);
    const double starOurs = BestRate([&] {
        canvas->Polygon(star.data(), int32_t(star.size()), int32_t(star.size()) - 1, true);
    }) * double(starPixels) / 1e6;
    const double starCairo = BestRate([&] {
        cairo_move_to(cr, star[0].X, star[0].Y);
        for (const TPlatformPoint& q : star) cairo_line_to(cr, q.X, q.Y);
        cairo_close_path(cr);
        cairo_fill(cr);
    }) * double(starPixels) / 1e6;
    std::printf("%-22s ours %8.1f Mpixel/s  cairo  %8.1f Mpixel/s  ours/cairo  %.2f\n", "star 100 points",
                starOurs, starCairo, starOurs / starCairo);
    const double textOurs = BestRate([&] {
        for (int32_t ty = 0; ty < tilesY; ++ty)
            for (int32_t tx = 0; tx < tilesX; ++tx) canvas->TextOut(tx * lineWidth, ty * lineHeight, line);
    });
    const double textPixman = BestRate([&] {
        pixman_composite_glyphs(PIXMAN_OP_OVER, ink, dst, PIXMAN_a8, 0, 0, 0, 0, 0, 0, kWidth, kHeight,
                                glyphCache, int(placed.size()), placed.data());
    });
    std::printf("%-22s ours %8.2f Mglyph/s %7.1f Mpixel/s  pixman %8.2f Mglyph/s %7.1f Mpixel/s  ours/pixman %.2f\n",
                "text 64 chars at -12", textOurs * glyphCount / 1e6, textOurs * glyphPixels / 1e6,
                textPixman * glyphCount / 1e6, textPixman * glyphPixels / 1e6, textOurs / textPixman);
    pixman_image_unref(ink);
    pixman_glyph_cache_destroy(glyphCache);
    cairo_destroy(cr);
    cairo_surface_destroy(cairoSurface);

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
