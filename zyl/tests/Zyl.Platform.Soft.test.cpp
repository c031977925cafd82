#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "System.Remainder.Exceptions.h"
#include "Zyl.Platform.CanvasBackend.Reset.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Test.Env.h"
#include "Zyl.Test.Image.h"
#include "Zyl.Test.Memory.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__has_feature)
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
// An impossible surface size must fail as EOutOfMemory, not stop the test.
extern "C" const char* __asan_default_options() { return "allocator_may_return_null=1"; }
#endif
#endif

using namespace Zyl;
using System::MakeRef;

namespace {

struct TFixture {
    TFixture(int32_t width, int32_t height, bool alpha = false, uint32_t fill = 0xFF000000)
        : Surface(MakeRef<TSoftSurface>(width, height, alpha)),
          Canvas(static_cast<TSoftCanvas*>(Surface->CreateCanvas().Get())) {
        Fill(fill);
    }
    uint32_t& At(int32_t x, int32_t y) { return *PixelPtr(Surface->Bits(), Surface->Stride(), x, y); }
    void Fill(uint32_t value) { std::fill_n(reinterpret_cast<uint32_t*>(Surface->Bits()), Pixels(), value); }
    size_t Pixels() { return size_t(Surface->Width()) * size_t(Surface->Height()); }
    std::vector<uint32_t> Data() {
        const uint32_t* p = reinterpret_cast<const uint32_t*>(Surface->Bits());
        return std::vector<uint32_t>(p, p + Pixels());
    }

    TRef<TSoftSurface> Surface;
    TRef<TSoftCanvas> Canvas;
};

std::vector<int32_t> Regions(const TSoftCanvas& c) {
    return std::vector<int32_t>(c.State.ClipRects->begin(), c.State.ClipRects->begin() + 4 * c.State.ClipCount);
}

std::array<int32_t, 5> ClipBoxOf(TSoftCanvas& c) {
    std::array<int32_t, 5> r{};
    r[4] = c.GetClipBox(r[0], r[1], r[2], r[3]);
    return r;
}

// Fills every device pixel of the surface through the span writer.
void FillAll(TSoftCanvas& c) {
    for (int32_t y = 0; y < c.Height; ++y) c.FillSpan(y, -5, c.Width + 5);
}

TRef<TSoftSurface> Solid(int32_t width, int32_t height, uint32_t pixel, bool alpha = false) {
    auto s = MakeRef<TSoftSurface>(width, height, alpha);
    std::fill_n(reinterpret_cast<uint32_t*>(s->Bits()), size_t(width) * size_t(height), pixel);
    return s;
}

} // namespace

// ---- Surface and services -------------------------------------------------------

TEST(SoftSurface, NewSurfacesAndTheirPixels) {
    auto small = MakeRef<TSoftSurface>(0, -5, false);
    EXPECT_EQ(small->Width(), 1);
    EXPECT_EQ(small->Height(), 1);
    EXPECT_EQ(*reinterpret_cast<uint32_t*>(small->Bits()), 0xFF000000u);
    EXPECT_EQ(small->PixelAt(0, 0), 0);
    EXPECT_EQ(small->AlphaAt(0, 0), 255);

    auto alpha = MakeRef<TSoftSurface>(3, 2, true);
    EXPECT_EQ(alpha->Stride(), 12);
    EXPECT_EQ(std::vector<uint8_t>(alpha->Bits(), alpha->Bits() + 24), std::vector<uint8_t>(24, 0));
    EXPECT_EQ(alpha->AlphaAt(1, 1), 0);
    EXPECT_EQ(alpha->NativeHandle(), alpha->Bits());

    *PixelPtr(alpha->Bits(), 12, 1, 0) = 0x80102040;
    EXPECT_EQ(alpha->PixelAt(1, 0), 0x00804020);
    EXPECT_EQ(alpha->AlphaAt(1, 0), 0x80);
    for (auto [x, y] : {std::pair{-1, 0}, {3, 0}, {0, 2}, {0, -1}}) {
        EXPECT_EQ(alpha->PixelAt(x, y), 0);
        EXPECT_EQ(alpha->AlphaAt(x, y), 0);
    }
    // Without alpha the bytes come back as they are.
    auto opaque = Solid(1, 1, 0x80102040);
    EXPECT_EQ(opaque->PixelAt(0, 0), 0x00402010);
    EXPECT_EQ(opaque->AlphaAt(0, 0), 255);

    auto compatible = alpha->CreateCompatible(5, 4, false);
    EXPECT_NE(dynamic_cast<TSoftSurface*>(compatible.Get()), nullptr);
    EXPECT_EQ(compatible->Width(), 5);
    EXPECT_EQ(compatible->PixelAt(4, 3), 0);
    EXPECT_EQ(compatible->AlphaAt(4, 3), 255);
}

// Sizes come from image headers: 32-bit arithmetic wrapped them into short
// blocks that were then written at full size.
TEST(SoftSurface, HugeSizesRaiseOutOfMemoryInsteadOfWrapping) {
    EXPECT_THROW(MakeRef<TSoftSurface>(600000000, 1, true), System::EOutOfMemory);
    EXPECT_THROW(MakeRef<TSoftSurface>(536870911, 536870911, false), System::EOutOfMemory);
    try {
        auto big = MakeRef<TSoftSurface>(65536, 65536, true);
        EXPECT_EQ(big->Stride(), 262144);
        EXPECT_EQ(big->AlphaAt(65535, 65535), 0);
    } catch (const System::EOutOfMemory&) {
        SUCCEED();
    }
}

TEST(SoftServices, DefaultsAndSurfaces) {
    TSoftServices services;
    EXPECT_EQ(services.ScreenDpi(), 96);
    EXPECT_EQ(services.DefaultFontSize(), 9);
    EXPECT_EQ(services.DefaultFontName(), u"Segoe UI");
    EXPECT_EQ(services.MonospaceFontName(), u"Courier New");
    auto s = services.CreateSurface(4, 3, true);
    EXPECT_NE(dynamic_cast<TSoftSurface*>(s.Get()), nullptr);
    EXPECT_EQ(s->Stride(), 16);
    EXPECT_FALSE(SoftAutoChoiceAllowed());
}

TEST(SoftServices, PngRoundTripInMemoryIsExactForOpaqueSurfaces) {
    auto services = MakeRef<TSoftServices>();
    auto s = services->CreateSurface(7, 5, false);
    Testing::FillSurface(*s, Testing::RandomPixels(7, 5, false, 20));
    const System::TBytes png = services->SavePngMemory(s.Get());
    ASSERT_FALSE(png.empty());
    auto back = services->LoadPngMemory(png.data(), int32_t(png.size()));
    ASSERT_TRUE(back);
    EXPECT_NE(dynamic_cast<TSoftSurface*>(back.Get()), nullptr);
    EXPECT_EQ(Testing::SurfaceBytes(*back), Testing::SurfaceBytes(*s));
    EXPECT_FALSE(services->LoadPngMemory(png.data(), 7));
}

TEST(SoftServices, CreateSoftServicesInstallsOnlyWhenNoneAre) {
    {
        Testing::TScopedPlatformServices none(nullptr);
        CreateSoftServices();
        EXPECT_NE(dynamic_cast<TSoftServices*>(CurrentPlatformServices()), nullptr);
        TPlatformServices* first = CurrentPlatformServices();
        CreateSoftServices();
        EXPECT_EQ(CurrentPlatformServices(), first);
    }
    auto other = MakeRef<Testing::TMemoryServices>();
    Testing::TScopedPlatformServices installed(other);
    CreateSoftServices();
    EXPECT_EQ(CurrentPlatformServices(), other.Get());
}

TEST(SoftServices, RegistrationAndChoiceByName) {
    ResetCanvasBackendState();
    RegisterSoftCanvasBackend();
    TRef<TCanvasBackendInfo> soft = FindCanvasBackend(u"SOFT");
    ASSERT_TRUE(soft);
    EXPECT_EQ(soft->Name, u"soft");
    EXPECT_EQ(soft->Description, u"Canvas por software (BGRA, texto por contornos de fontes empacotadas): pixels "
                                 u"identicos em todos os sistemas");
    EXPECT_EQ(soft->Kind, CanvasKindBackend);
    EXPECT_EQ(soft->Platforms, 7);
    EXPECT_EQ(soft->Caps, 0xBD);
    EXPECT_EQ(soft->Priority, 100);
    EXPECT_EQ(soft->AvailabilityTest, nullptr);
    EXPECT_EQ(BuildAutoCanvasChain(), u"");
    {
        Testing::TScopedEnvVar canvas(u"ZYL_CANVAS", std::u16string(u"soft"));
        EXPECT_EQ(ActivateCanvasBackend(), u"soft");
        EXPECT_NE(dynamic_cast<TSoftServices*>(CurrentPlatformServices()), nullptr);
    }
    ResetCanvasBackendState();
}

// ---- Canvas state --------------------------------------------------------------------

TEST(SoftCanvasState, InitialStateAndClamps) {
    TFixture f(20, 10);
    TSoftCanvas& c = *f.Canvas;
    EXPECT_EQ(c.State.PenColor, 0);
    EXPECT_EQ(c.State.PenWidth, 1);
    EXPECT_EQ(c.State.BrushColor, 0xFFFFFF);
    EXPECT_EQ(c.State.FontSize, -12);
    EXPECT_EQ(c.State.BackColor, 0xFFFFFF);
    EXPECT_EQ(c.State.Rop2, RasterCopy);
    EXPECT_EQ(Regions(c), (std::vector<int32_t>{0, 0, 20, 10}));
    EXPECT_TRUE(c.SingleClip);
    EXPECT_EQ(c.GetSurface(), f.Surface.Get());

    const struct { int32_t width, style, storedWidth, storedStyle; } pens[] = {
        {0, 6, 1, 0}, {-3, 5, 1, 5}, {2, 1, 2, 1}, {7, 99, 7, 0}};
    for (const auto& p : pens) {
        c.SetPen(0x7F123456, p.width, p.style);
        EXPECT_EQ(c.State.PenColor, 0x123456);
        EXPECT_EQ(c.State.PenWidth, p.storedWidth);
        EXPECT_EQ(c.State.PenStyle, p.storedStyle);
    }
    for (auto [mode, stored] : {std::pair{16, 4}, {-1, 4}, {0, 0}, {15, 15}}) {
        c.SetRop2(mode);
        EXPECT_EQ(c.State.Rop2, stored);
    }
    for (auto [angle, stored] : {std::pair{4500, 900}, {-4500, -900}, {3600, 0}, {-900, -900}}) {
        c.SetTextAngle(angle);
        EXPECT_EQ(c.State.TextAngle, stored);
    }
    c.SetBrush(-1, 9);
    EXPECT_EQ(c.State.BrushColor, 0xFFFFFF);
    EXPECT_EQ(c.State.BrushStyle, 9);
}

TEST(SoftCanvasState, SetFontKeepsTheFontOnlyForTheSameKey) {
    TFixture f(4, 4);
    TSoftCanvas& c = *f.Canvas;
    c.SetFont(u"Segoe UI", -12, 1, 0);
    auto font = GetSoftTextProvider()->GetFont(u"Segoe UI", -12, 1);
    c.Font = font;
    c.SetFont(u"Segoe UI", -12, 1 | 4 | 8, 0x00FF00);
    EXPECT_EQ(c.Font, font);
    EXPECT_EQ(c.State.FontColor, 0x00FF00);
    c.SetFont(u"segoe ui", -12, 1, 0);
    EXPECT_EQ(c.Font, nullptr);
    for (auto [size, style] : {std::pair{-13, 1}, {-12, 3}}) {
        c.SetFont(u"segoe ui", -12, 1, 0);
        c.Font = font;
        c.SetFont(u"segoe ui", size, style, 0);
        EXPECT_EQ(c.Font, nullptr);
    }
}

TEST(SoftCanvasState, SaveAndRestore) {
    TFixture f(100, 100);
    TSoftCanvas& c = *f.Canvas;
    c.Restore();
    EXPECT_EQ(c.State.PenWidth, 1);
    EXPECT_EQ(Regions(c), (std::vector<int32_t>{0, 0, 100, 100}));

    c.SetPen(0xFF, 3, 1);
    c.Save();
    const TClipRectArray saved = c.State.ClipRects;
    c.ClipRect(10, 10, 20, 20);
    c.SetPen(0, 1, 0);
    c.SetOrigin(4, 5);
    c.Font = GetSoftTextProvider()->GetFont(u"", -12, 0);
    // The installed array is never written: the saved state keeps its region.
    EXPECT_EQ(*saved, (std::vector<int32_t>{0, 0, 100, 100}));
    EXPECT_EQ(ClipBoxOf(c), (std::array<int32_t, 5>{6, 5, 16, 15, 1}));
    c.Restore();
    EXPECT_EQ(c.State.PenWidth, 3);
    EXPECT_EQ(c.State.PenColor, 0xFF);
    EXPECT_EQ(c.State.OriginX, 0);
    EXPECT_EQ(c.Font, nullptr);
    EXPECT_EQ(ClipBoxOf(c), (std::array<int32_t, 5>{0, 0, 100, 100, 1}));
    // Many nested levels come back in order.
    for (int i = 0; i < 40; ++i) {
        c.SetPen(i, 1, 0);
        c.Save();
    }
    for (int i = 39; i >= 0; --i) {
        c.Restore();
        EXPECT_EQ(c.State.PenColor, i);
    }
}

TEST(SoftCanvasClip, IntersectExcludeAndReset) {
    TFixture f(100, 100, false, 0xFF000000);
    TSoftCanvas& c = *f.Canvas;
    c.ClipRect(200, 200, 300, 300);
    EXPECT_EQ(ClipBoxOf(c), (std::array<int32_t, 5>{0, 0, 0, 0, 0}));
    c.SetPen(0xFFFFFF, 1, 0);
    c.PreparePenFill();
    FillAll(c);
    for (int y = 0; y < 100; ++y) c.PlotPixel(y, y);
    EXPECT_EQ(f.Data(), std::vector<uint32_t>(10000, 0xFF000000));

    c.ResetClip();
    c.ClipExclude(40, 40, 60, 60);
    EXPECT_EQ(Regions(c), (std::vector<int32_t>{0, 0, 100, 40, 0, 60, 100, 100, 0, 40, 40, 60, 60, 40, 100, 60}));
    EXPECT_FALSE(c.SingleClip);
    EXPECT_TRUE(c.IsPixelVisible(39, 50));
    EXPECT_FALSE(c.IsPixelVisible(40, 50));
    EXPECT_FALSE(c.IsPixelVisible(100, 50));

    c.SetOrigin(10, 10);
    c.ResetClip();
    EXPECT_EQ(Regions(c), (std::vector<int32_t>{0, 0, 100, 100}));
    EXPECT_EQ(ClipBoxOf(c), (std::array<int32_t, 5>{-10, -10, 90, 90, 1}));
    c.ClipRect(0, 0, 5, 5);
    EXPECT_EQ(Regions(c), (std::vector<int32_t>{10, 10, 15, 15}));
    // Rectangles beyond the int32 range after the origin is added.
    c.SetOrigin(INT32_MAX, INT32_MAX);
    c.ClipRect(INT32_MIN, INT32_MIN, 0, 0);
    EXPECT_EQ(Regions(c), (std::vector<int32_t>{10, 10, 15, 15}));
    EXPECT_EQ(ClipBoxOf(c)[0], 10 - INT32_MAX);
}

TEST(SoftCanvasClip, ClipBoxUnderAnExtremeOriginIsStillGiven) {
    TFixture f(10, 10);
    f.Canvas->SetOrigin(INT32_MIN, INT32_MIN);
    EXPECT_EQ(ClipBoxOf(*f.Canvas), (std::array<int32_t, 5>{INT32_MAX, INT32_MAX, INT32_MAX, INT32_MAX, 1}));
}

TEST(SoftCanvasClip, ManyExclusionsCollapseToTheBoundingBox) {
    TFixture f(1000, 1000);
    TSoftCanvas& c = *f.Canvas;
    c.ClipRect(5, 5, 995, 995);
    for (int i = 0; i < 300; ++i) {
        c.ClipExclude(20 + 3 * i, 20 + 3 * i, 21 + 3 * i, 21 + 3 * i);
        EXPECT_LE(c.State.ClipCount, 256);
    }
    EXPECT_LT(c.State.ClipCount, 256);
    // The collapse happened, so early holes count as visible again.
    EXPECT_TRUE(c.IsPixelVisible(20, 20));
    EXPECT_EQ(c.ClipBox.Left, 5);
    EXPECT_EQ(c.ClipBox.Bottom, 995);
}

// A reversed rectangle passed the overlap test and cut the region into
// overlapping pieces: an Xor fill then left the doubly written pixels as
// they were.
TEST(SoftCanvasClip, EmptyOrReversedExclusionLeavesTheRegion) {
    for (std::array<int32_t, 4> r : {std::array<int32_t, 4>{60, 40, 40, 60}, {40, 60, 60, 40}, {40, 40, 40, 60},
                                     {60, 60, 40, 40}}) {
        TFixture f(100, 100, false, 0xFF000000);
        TSoftCanvas& c = *f.Canvas;
        c.ClipExclude(r[0], r[1], r[2], r[3]);
        EXPECT_EQ(Regions(c), (std::vector<int32_t>{0, 0, 100, 100}));
        c.SetRop2(RasterXor);
        c.SetPen(0xFFFFFF, 1, 0);
        c.PreparePenFill();
        FillAll(c);
        EXPECT_EQ(f.Data(), std::vector<uint32_t>(10000, 0xFFFFFFFF));
    }
}

// ---- Spans -----------------------------------------------------------------------------

TEST(SoftSpans, HatchesAnchoredToDevicePixels) {
    for (int32_t style = 2; style <= 8; ++style) {
        for (bool transparent : {false, true}) {
            for (bool shifted : {false, true}) {
                SCOPED_TRACE(testing::Message() << style << transparent << shifted);
                TFixture f(16, 16, false, 0xFF00FF00);
                TSoftCanvas& c = *f.Canvas;
                if (shifted) c.SetOrigin(3, 5);
                c.SetBrush(0x0000FF, style);
                c.SetBackground(0xFF0000, transparent);
                c.SetRop2(RasterXor);
                c.PrepareBrushFill();
                EXPECT_EQ(c.FillMode, FillPattern);
                FillAll(c);
                const auto pattern = HatchPattern(style);
                for (int y = 0; y < 16; ++y)
                    for (int x = 0; x < 16; ++x)
                        EXPECT_EQ(f.At(x, y), (pattern[size_t(y % 8)] >> (x % 8) & 1) ? 0xFFFF0000u
                                              : transparent                          ? 0xFF00FF00u
                                                                                     : 0xFF0000FFu);
            }
        }
    }
    TFixture f(16, 16);
    f.Canvas->SetBrush(0, 2);
    f.Canvas->PrepareBrushFill();
    FillAll(*f.Canvas);
    for (int y = 0; y < 16; ++y) EXPECT_EQ(f.At(7, y), y % 8 == 3 ? 0xFF000000u : 0xFFFFFFFFu);
}

TEST(SoftSpans, PenModesOnTheTruthTableColours) {
    const uint8_t expected[16] = {0x00, 0xFF, 0xAA, 0x55, 0xCC, 0x33, 0xDD, 0x44,
                                  0xBB, 0x22, 0xEE, 0x11, 0x88, 0x77, 0x66, 0x99};
    for (int32_t mode = 0; mode < 16; ++mode) {
        TFixture f(40, 1, true, 0x80AAAAAA);
        f.Canvas->SetRop2(mode);
        f.Canvas->SetPen(0xCCCCCC, 1, 0);
        f.Canvas->PreparePenFill();
        EXPECT_EQ(f.Canvas->FillMode, mode == RasterCopy ? FillPlain : FillRaster);
        f.Canvas->FillSpan(0, 0, 40);
        EXPECT_EQ(f.Data(), std::vector<uint32_t>(40, 0xFF000000u | expected[mode] * 0x010101u)) << mode;
    }
}

TEST(SoftSpans, ClippingAndRasterEdges) {
    TFixture f(10, 3, true, 0);
    TSoftCanvas& c = *f.Canvas;
    c.ClipRect(0, 1, 10, 2);
    c.ClipExclude(3, 0, 6, 3);
    c.SetPen(0x0000FF, 1, 0);
    c.PreparePenFill();
    c.FillSpan(1, 5, 5);
    c.FillSpan(1, 1, 9);
    c.FillSpan(0, 0, 10);
    c.FillSpan(2, 0, 10);
    const uint32_t red = 0xFFFF0000;
    EXPECT_EQ(f.Data(), (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                              0, red, red, 0, 0, 0, red, red, red, 0,
                                              0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // Xor twice restores black, opaque; Nop makes the pixel opaque.
    TFixture g(1, 1, true, 0x00000000);
    g.Canvas->SetRop2(RasterXor);
    g.Canvas->SetPen(0xFFFFFF, 1, 0);
    g.Canvas->PreparePenFill();
    g.Canvas->PlotPixel(0, 0);
    EXPECT_EQ(g.At(0, 0), 0xFFFFFFFFu);
    g.Canvas->PlotPixel(0, 0);
    EXPECT_EQ(g.At(0, 0), 0xFF000000u);
    g.At(0, 0) = 0x00123456;
    g.Canvas->SetRop2(RasterNop);
    g.Canvas->PreparePenFill();
    g.Canvas->PlotPixel(0, 0);
    g.Canvas->PlotPixel(1, 0);
    EXPECT_EQ(g.At(0, 0), 0xFF123456u);
}

TEST(SoftSpans, OneClipRectangleAndTwoGiveTheSamePixels) {
    for (int32_t mode = 0; mode < 16; ++mode) {
        TFixture one(30, 6, false, 0xFF336699), two(30, 6, false, 0xFF336699);
        two.Canvas->ClipExclude(0, 0, 30, 3);
        const int32_t top[4] = {0, 0, 30, 3};
        std::vector<int32_t> both(top, top + 4);
        both.insert(both.end(), two.Canvas->State.ClipRects->begin(), two.Canvas->State.ClipRects->end());
        two.Canvas->SetClipRects(both.data(), 2);
        ASSERT_FALSE(two.Canvas->SingleClip);
        for (TFixture* f : {&one, &two}) {
            f->Canvas->SetRop2(mode);
            f->Canvas->SetPen(0x5A0FC3, 1, 0);
            f->Canvas->PreparePenFill();
            for (int y = -1; y < 7; ++y) f->Canvas->FillSpan(y, y - 3, 3 * y + 20);
        }
        EXPECT_EQ(one.Data(), two.Data()) << mode;
    }
}

TEST(SoftSpans, SpanBufferGrows) {
    TSoftSpans spans;
    for (int i = 0; i < 65; ++i) spans.Add(i, i, i + 1);
    EXPECT_EQ(spans.Count, 65);
    EXPECT_EQ(spans.Rows.size(), 192u);
    EXPECT_EQ(spans.Rights[64], 65);
}

// ---- Compositing -------------------------------------------------------------------------

TEST(SoftComposite, ScalingTakesThePixelUnderEachCentre) {
    auto src = MakeRef<TSoftSurface>(10, 10, false);
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 10; ++x) *PixelPtr(src->Bits(), 40, x, y) = 0xFF000000u | uint32_t(y * 16 + x);
    TFixture up(20, 20), down(5, 5);
    up.Canvas->DrawSurfaceEx(src.Get(), 0, 0, 10, 10, 0, 0, 20, 20, RopSourceCopy, 255, false);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x) EXPECT_EQ(up.At(x, y), 0xFF000000u | uint32_t(y / 2 * 16 + x / 2));
    down.Canvas->DrawSurfaceEx(src.Get(), 0, 0, 10, 10, 0, 0, 5, 5, RopSourceCopy, 255, false);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x) EXPECT_EQ(down.At(x, y), 0xFF000000u | uint32_t((2 * y + 1) * 16 + 2 * x + 1));
    // The origin shifts the destination; sources outside the surface are skipped.
    TFixture shifted(4, 4, false, 0xFF111111);
    shifted.Canvas->SetOrigin(1, 1);
    shifted.Canvas->DrawSurfaceEx(src.Get(), 8, 8, 12, 12, 0, 0, 4, 4, RopSourceCopy, 255, false);
    EXPECT_EQ(shifted.At(0, 0), 0xFF111111u);
    EXPECT_EQ(shifted.At(1, 1), 0xFF000088u);
    EXPECT_EQ(shifted.At(2, 2), 0xFF000099u);
    EXPECT_EQ(shifted.At(3, 3), 0xFF111111u);
}

TEST(SoftComposite, OpacityBlendsTowardsTheDestination) {
    auto red = Solid(1, 1, 0xFFFF0000);
    TFixture f(1, 1, false, 0xFF0000FF);
    f.Canvas->DrawSurfaceEx(red.Get(), 0, 0, 1, 1, 0, 0, 1, 1, RopSourceCopy, 128, false);
    EXPECT_EQ(f.At(0, 0), 0xFF80007Fu);
    // Opacity is clamped into 0..255.
    f.Canvas->DrawSurfaceEx(red.Get(), 0, 0, 1, 1, 0, 0, 1, 1, RopSourceCopy, 999, false);
    EXPECT_EQ(f.At(0, 0), 0xFFFF0000u);
}

TEST(SoftComposite, PremultipliedSourceAlpha) {
    auto src = MakeRef<TSoftSurface>(4, 1, true);
    const uint32_t sp[4] = {0xFF102030, 0x00000000, 0x80400000, 0x40101010};
    std::memcpy(src->Bits(), sp, 16);
    for (bool alpha : {false, true}) {
        TFixture f(4, 1, alpha, 0x80808080);
        f.Canvas->DrawSurfaceEx(src.Get(), 0, 0, 4, 1, 0, 0, 4, 1, RopSourceCopy, 255, true);
        const uint32_t d = Div255(0x80 * 0x7F), e = Div255(0x80 * 0xBF);
        EXPECT_EQ(f.At(0, 0), 0xFF102030u);
        EXPECT_EQ(f.At(1, 0), alpha ? 0x80808080u : 0xFF808080u);
        EXPECT_EQ(f.At(2, 0), ((alpha ? 0x80 + d : 0xFF) << 24) | (0x40 + d) << 16 | d << 8 | d);
        EXPECT_EQ(f.At(3, 0), ((alpha ? 0x40 + e : 0xFF) << 24) | (0x10 + e) * 0x010101u);
    }
}

TEST(SoftComposite, TransparentColourIgnoresTheAlphaByte) {
    auto src = MakeRef<TSoftSurface>(3, 1, true);
    const uint32_t sp[3] = {0x12332211, 0xFF332211, 0x00332212};
    std::memcpy(src->Bits(), sp, 12);
    TFixture f(3, 1, false, 0xFF000000);
    f.Canvas->DrawSurfaceTransparent(src.Get(), 0, 0, 3, 1, 0, 0, 3, 1, 0x112233);
    EXPECT_EQ(f.Data(), (std::vector<uint32_t>{0xFF000000, 0xFF000000, 0xFF332212}));
}

TEST(SoftComposite, RasterCodesOnTheTruthTableColours) {
    const struct { uint32_t code; uint32_t result; } cases[] = {
        {0x00000042, 0x00}, {0x001100A6, 0x11}, {0x00330008, 0x33}, {0x00440328, 0x44}, {0x00550009, 0x55},
        {0x005A0049, 0x5A}, {0x00660046, 0x66}, {0x008800C6, 0x88}, {0x00BB0226, 0xBB}, {0x00C000CA, 0xC0},
        {0x00EE0086, 0xEE}, {0x00F00021, 0xF0}, {0x00FB0A09, 0xFB}, {0x00FF0062, 0xFF},
        // Matched on the whole code: other low words, and unknown codes, copy;
        // raster codes other than a copy ignore the opacity.
        {0x00660047, 0xCC}, {0x01660046, 0xCC}, {0x00990066, 0xCC},
    };
    auto src = Solid(1, 1, 0xFFCCCCCC);
    for (const auto& c : cases) {
        TFixture f(1, 1, false, 0xFFAAAAAA);
        f.Canvas->SetBrush(0xF0F0F0, 0);
        f.Canvas->DrawSurfaceEx(src.Get(), 0, 0, 1, 1, 0, 0, 1, 1, int32_t(c.code), 100, true);
        EXPECT_EQ(f.At(0, 0), 0xFF000000u | c.result * 0x010101u) << std::hex << c.code;
    }
}

TEST(SoftComposite, SelfCopyMatchesACopyThroughABuffer) {
    for (bool singleClip : {true, false}) {
        TFixture f(12, 9);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 12; ++x) f.At(x, y) = 0xFF000000u | uint32_t(y * 256 + x);
        TFixture expected(12, 9);
        const auto before = f.Data();
        std::memcpy(expected.Surface->Bits(), before.data(), before.size() * 4);
        for (int y = 1; y < 9; ++y)
            for (int x = 1; x < 12; ++x) expected.At(x, y) = before[size_t((y - 1) * 12 + x - 1)];
        if (!singleClip) f.Canvas->ClipExclude(0, 0, 1, 1);
        f.Canvas->DrawSurfaceEx(f.Surface.Get(), 0, 0, 11, 8, 1, 1, 12, 9, RopSourceCopy, 255, false);
        EXPECT_EQ(f.Data(), expected.Data());
    }
    // Up and left the other way round.
    TFixture g(5, 1);
    for (int x = 0; x < 5; ++x) g.At(x, 0) = 0xFF000000u | uint32_t(x);
    g.Canvas->DrawSurfaceEx(g.Surface.Get(), 1, 0, 5, 1, 0, 0, 4, 1, RopSourceCopy, 255, false);
    EXPECT_EQ(g.Data(), (std::vector<uint32_t>{0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004, 0xFF000004}));
}

TEST(SoftComposite, OversizedDestinationDrawsNothing) {
    auto src = Solid(2, 2, 0xFFFFFFFF);
    TFixture f(8, 8);
    f.Canvas->DrawSurfaceEx(src.Get(), 0, 0, 2, 2, 0, 0, 70000, 4, RopSourceCopy, 255, false);
    f.Canvas->DrawSurfaceEx(src.Get(), 0, 0, 2, 2, 0, 0, 4, 70000, RopSourceCopy, 255, false);
    f.Canvas->DrawSurfaceEx(src.Get(), 2, 0, 0, 2, 0, 0, 4, 4, RopSourceCopy, 255, false);
    f.Canvas->DrawSurfaceEx(nullptr, 0, 0, 2, 2, 0, 0, 4, 4, RopSourceCopy, 255, false);
    f.Canvas->DrawSurfaceTransparent(nullptr, 0, 0, 2, 2, 0, 0, 4, 4, 0);
    EXPECT_EQ(f.Data(), std::vector<uint32_t>(64, 0xFF000000));
}

// The own surface drawn from a source rectangle far larger than itself: the
// temporary copy took sw x sh pixels (40 GB here) with 32-bit sizes.
TEST(SoftComposite, SelfDrawFromAHugeSourceCopiesOnlyWhatIsSampled) {
    TFixture f(100, 100, false, 0xFF123456);
    f.At(0, 0) = 0xFFABCDEF;
    f.Canvas->DrawSurfaceEx(f.Surface.Get(), 0, 0, 100000, 100000, 0, 0, 100, 100, RopSourceCopy, 200, false);
    // Every destination pixel samples source (500 i + 250, 500 j + 250),
    // outside the surface: a new surface's first pixel, black, blended in.
    const uint32_t c = Div255(55 * 0x12), g = Div255(55 * 0x34), b = Div255(55 * 0x56);
    EXPECT_EQ(f.At(50, 50), 0xFF000000u | c << 16 | g << 8 | b);
    // A source that starts inside: the first 100 x 100 of a 200 x 200 source,
    // scaled by one half, samples (2i + 1, 2j + 1) at first.
    TFixture h(100, 100);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) h.At(x, y) = 0xFF000000u | uint32_t(y << 8 | x);
    h.Canvas->DrawSurfaceTransparent(h.Surface.Get(), 0, 0, 200, 200, 0, 0, 100, 100, 0x123456);
    EXPECT_EQ(h.At(10, 20), 0xFF000000u | (41 << 8 | 21));
    EXPECT_EQ(h.At(60, 20), 0xFF000000u);
}

TEST(SoftComposite, NothingOutsideTheClipBoxChanges) {
    auto src = Solid(20, 20, 0xFFFFFFFF);
    TFixture f(20, 20, false, 0xFF000000);
    f.Canvas->ClipRect(5, 6, 9, 11);
    f.Canvas->DrawSurfaceEx(src.Get(), 0, 0, 20, 20, -3, -3, 30, 30, 0x660046, 255, false);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            EXPECT_EQ(f.At(x, y), (x >= 5 && x < 9 && y >= 6 && y < 11) ? 0xFFFFFFFFu : 0xFF000000u);
}

TEST(SoftComposite, SourceWithPaddedRows) {
    auto padded = MakeRef<Testing::TMemorySurface>(3, 2, false, 20);
    padded->FillWith([](int32_t x, int32_t y) { return 0xFF000000u | uint32_t(y * 16 + x); });
    TFixture f(3, 2);
    f.Canvas->DrawSurfaceEx(padded.Get(), 0, 0, 3, 2, 0, 0, 3, 2, RopSourceCopy, 255, false);
    EXPECT_EQ(f.Data(), (std::vector<uint32_t>{0xFF000000, 0xFF000001, 0xFF000002, 0xFF000010, 0xFF000011, 0xFF000012}));
}
