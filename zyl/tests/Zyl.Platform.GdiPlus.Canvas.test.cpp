// The GDI+ canvas under Wine: exact pixels of the paths that bypass GDI+,
// clipping on the shared graphics context, the pen-mode layer, images and
// text.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <optional>
#include <tuple>
#include <string>
#include <vector>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Text.h"

#include "Zyl.Platform.GdiPlus.Api.h"
#include "Zyl.Platform.GdiPlus.Reset.h"
#include "Zyl.Platform.GdiPlus.h"
#include "Zyl.Test.Env.h"
#include "Zyl.Test.Image.h"

using namespace Zyl;
using System::MakeRef;
using Zyl::Testing::TScopedEnvVar;

namespace {

constexpr int32_t kRed = 0x0000FF, kBlue = 0xFF0000, kWhite = 0xFFFFFF, kGreen = 0x00FF00;

std::string Utf8(const std::u16string& text) { return std::string(text.begin(), text.end()); }

// GDI+ started, antialiasing on and the default layout, whatever the
// environment of the run says.
class GdipCanvasTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGdipLoadState();
        ASSERT_TRUE(StartGdiplusOnce()) << Utf8(GetGdipLastError());
        ReadGdipOptions();
    }
    void TearDown() override { ResetGdipLoadState(); }

    TRef<TGdipSurface> Surface(int32_t w, int32_t h, bool alpha = false) {
        return MakeRef<TGdipSurface>(w, h, alpha);
    }
    // A canvas with a white page, a red 1-pixel solid pen and a blue solid
    // brush.
    TRef<TPlatformCanvas> Canvas(TGdipSurface& s) {
        TRef<TPlatformCanvas> c = s.CreateCanvas();
        c->FillRect(0, 0, s.Width(), s.Height(), kWhite);
        c->SetPen(kRed, 1, 0);
        c->SetBrush(kBlue, 0);
        return c;
    }

    TScopedEnvVar missing_{u"ZYL_GDIPLUS_MISSING", std::nullopt};
    TScopedEnvVar aa_{u"ZYL_GDIPLUS_AA", std::nullopt};
    TScopedEnvVar smooth_{u"ZYL_GDIPLUS_SMOOTH", std::nullopt};
    TScopedEnvVar text_{u"ZYL_GDIPLUS_TEXT", std::nullopt};
    TScopedEnvVar layout_{u"ZYL_GDIPLUS_LAYOUT", std::nullopt};
};

// One string per row: '#' where the pixel is `color`, '.' elsewhere.
std::vector<std::string> Mask(TPlatformSurface& s, int32_t color) {
    std::vector<std::string> rows;
    for (int32_t y = 0; y < s.Height(); ++y) {
        std::string row;
        for (int32_t x = 0; x < s.Width(); ++x) row += s.PixelAt(x, y) == color ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

// Rows where `color` occupies exactly columns [from, to] of rows [from, to]
// of a frame, for the rectangle outlines.
std::vector<std::string> Box(int32_t size, int32_t from, int32_t to, int32_t thickness) {
    std::vector<std::string> rows(size_t(size), std::string(size_t(size), '.'));
    for (int32_t y = from; y <= to; ++y)
        for (int32_t x = from; x <= to; ++x) {
            const bool edge = x < from + thickness || y < from + thickness || x > to - thickness ||
                              y > to - thickness;
            if (edge) rows[size_t(y)][size_t(x)] = '#';
        }
    return rows;
}

std::vector<uint32_t> Pixels(TPlatformSurface& s) {
    const auto* p = reinterpret_cast<const uint32_t*>(s.Bits());
    return std::vector<uint32_t>(p, p + size_t(s.Width()) * size_t(s.Height()));
}

bool AnyPixel(TPlatformSurface& s, int32_t color, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    for (int32_t y = top; y < bottom; ++y)
        for (int32_t x = left; x < right; ++x)
            if (s.PixelAt(x, y) == color) return true;
    return false;
}

} // namespace

TEST_F(GdipCanvasTest, RectangleOutlinesAndFillsArePixelExact) {
    const struct {
        const char* name;
        int32_t penWidth, penStyle;
        std::vector<std::string> pen, brush;
    } cases[] = {
        // Outline on rows and columns 0 and 9, fill 1..8.
        {"1-px", 1, 0, Box(14, 0, 9, 1), Box(14, 1, 8, 4)},
        // Bands 3 thick from 0 and 9, reaching 11.
        {"3-px", 3, 0, Box(14, 0, 11, 3), Box(14, 3, 8, 3)},
        // No outline: the fill is one smaller on the right and bottom.
        {"clear pen", 1, 5, Box(14, -1, -2, 1), Box(14, 0, 8, 5)},
    };
    for (const auto& c : cases) {
        auto s = Surface(14, 14);
        auto canvas = Canvas(*s);
        canvas->SetPen(kRed, c.penWidth, c.penStyle);
        canvas->Rectangle(0, 0, 10, 10);
        EXPECT_EQ(Mask(*s, kRed), c.pen) << c.name;
        EXPECT_EQ(Mask(*s, kBlue), c.brush) << c.name;
    }
}

TEST_F(GdipCanvasTest, LinesAndFramesLeaveOutTheirLastPixel) {
    const struct {
        const char* name;
        std::function<void(TPlatformCanvas&)> draw;
        std::string row0, row1;
    } cases[] = {
        {"LineTo right", [](TPlatformCanvas& c) { c.MoveTo(0, 0), c.LineTo(5, 0); }, "#####...", "........"},
        {"LineTo left", [](TPlatformCanvas& c) { c.MoveTo(5, 0), c.LineTo(0, 0); }, ".#####..", "........"},
        {"LineTo to itself", [](TPlatformCanvas& c) { c.MoveTo(3, 0), c.LineTo(3, 0); }, "........", "........"},
        {"FrameRect one high",
         [](TPlatformCanvas& c) {
             c.SetBrush(kRed, 0);
             c.FrameRect(1, 0, 6, 1);
         },
         ".#####..", "........"},
    };
    for (const auto& c : cases) {
        auto s = Surface(8, 2);
        auto canvas = Canvas(*s);
        c.draw(*canvas);
        EXPECT_EQ(Mask(*s, kRed), (std::vector<std::string>{c.row0, c.row1})) << c.name;
    }
    // The current point moves even when nothing is drawn.
    auto s = Surface(8, 2);
    auto canvas = Canvas(*s);
    canvas->SetPen(kRed, 1, 5);
    canvas->LineTo(6, 1);
    EXPECT_EQ(canvas->PenX, 6);
    EXPECT_EQ(canvas->PenY, 1);
}

TEST_F(GdipCanvasTest, HatchesFollowDeviceCoordinates) {
    auto s = Surface(16, 16);
    auto canvas = Canvas(*s);
    canvas->SetBrush(kRed, 2);
    canvas->SetBackground(kGreen, false);
    canvas->FillRectBrush(0, 0, 16, 16);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x)
            ASSERT_EQ(s->PixelAt(x, y), (y == 3 || y == 11) ? kRed : kGreen) << x << "," << y;

    // Transparent background: only the pattern rows change. Two adjacent
    // rectangles, one through a shifted origin, make one continuous hatch.
    auto t = Surface(16, 16);
    auto other = Canvas(*t);
    other->SetBrush(kRed, 4);
    other->SetBackground(kGreen, true);
    other->FillRectBrush(0, 0, 5, 16);
    other->SetOrigin(5, 0);
    other->FillRectBrush(0, 0, 11, 16);
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 16; ++x)
            ASSERT_EQ(t->PixelAt(x, y), (x & 7) == (y & 7) ? kRed : kWhite) << x << "," << y;
}

TEST_F(GdipCanvasTest, PixelOperationsIgnorePenModesAndWriteOpaque) {
    auto s = Surface(8, 8, true);
    auto canvas = s->CreateCanvas();
    canvas->FillRect(1, 1, 3, 3, kRed);
    canvas->FillRect(5, 5, 4, 4, kRed); // inverted: nothing
    EXPECT_EQ(s->AlphaAt(1, 1), 255);
    EXPECT_EQ(s->PixelAt(2, 2), kRed);
    EXPECT_EQ(s->AlphaAt(4, 4), 0);

    canvas->ClipRect(0, 0, 4, 4);
    EXPECT_EQ(canvas->GetPixel(1, 1), kRed);
    EXPECT_EQ(canvas->GetPixel(5, 5), -1);
    canvas->SetOrigin(-2, -2);
    EXPECT_EQ(canvas->GetPixel(3, 3), kRed);

    // No operation: shapes leave the pixels, the pixel operations write.
    auto t = Surface(10, 10);
    auto c2 = Canvas(*t);
    const std::vector<uint32_t> before = Pixels(*t);
    c2->SetRop2(2);
    c2->Rectangle(0, 0, 8, 8);
    c2->Ellipse(0, 0, 8, 8);
    c2->MoveTo(0, 9);
    c2->LineTo(9, 9);
    EXPECT_EQ(Pixels(*t), before);
    c2->FillRect(0, 0, 2, 2, kRed);
    c2->SetPixel(5, 5, kGreen);
    EXPECT_EQ(t->PixelAt(1, 1), kRed);
    EXPECT_EQ(t->PixelAt(5, 5), kGreen);
}

TEST_F(GdipCanvasTest, AnXorShapeTwiceLeavesThePixels) {
    auto s = Surface(24, 24);
    auto canvas = Canvas(*s);
    canvas->FillRect(4, 4, 12, 20, kGreen);
    const std::vector<uint32_t> before = Pixels(*s);
    canvas->SetRop2(14);
    canvas->Ellipse(2, 2, 22, 22);
    EXPECT_NE(Pixels(*s), before);
    canvas->Ellipse(2, 2, 22, 22);
    EXPECT_EQ(Pixels(*s), before);
}

TEST_F(GdipCanvasTest, TwoCanvasesOnOneSurfaceKeepTheirOwnClips) {
    auto s = Surface(40, 20);
    auto left = Canvas(*s);
    auto right = s->CreateCanvas();
    left->ClipRect(0, 0, 20, 20);
    right->ClipRect(20, 0, 40, 20);
    right->SetBrush(kGreen, 0);
    right->SetPen(kGreen, 1, 0);
    for (int i = 0; i < 3; ++i) {
        left->Ellipse(0, 0, 40, 20);
        right->Ellipse(0, 0, 40, 20);
    }
    EXPECT_TRUE(AnyPixel(*s, kBlue, 0, 0, 20, 20));
    EXPECT_FALSE(AnyPixel(*s, kBlue, 20, 0, 40, 20));
    EXPECT_TRUE(AnyPixel(*s, kGreen, 20, 0, 40, 20));
    EXPECT_FALSE(AnyPixel(*s, kGreen, 0, 0, 20, 20));
}

TEST_F(GdipCanvasTest, RestoreBringsBackTheClipOnTheGraphicsToo) {
    auto s = Surface(20, 20);
    auto canvas = Canvas(*s);
    canvas->Save();
    canvas->ClipRect(0, 0, 5, 5);
    canvas->Ellipse(0, 0, 20, 20);
    EXPECT_FALSE(AnyPixel(*s, kBlue, 5, 5, 20, 20));
    canvas->Restore();
    canvas->Ellipse(0, 0, 20, 20);
    EXPECT_TRUE(AnyPixel(*s, kBlue, 5, 5, 20, 20));

    int32_t l, t, r, b;
    canvas->ClipRect(30, 30, 40, 40);
    EXPECT_FALSE(canvas->GetClipBox(l, t, r, b));
    EXPECT_EQ(l | t | r | b, 0);
}

namespace {

// Refuses the next graphics context once, as a system short of resources
// would, then lets the real entry point answer again.
TGpStatus (*RealGraphicsContext)(TGpImage*, TGpGraphics**) = nullptr;
TGpStatus RefuseGraphicsContextOnce(TGpImage*, TGpGraphics** graphics) {
    *graphics = nullptr;
    Gdip.GdipGetImageGraphicsContext = RealGraphicsContext;
    return 3;
}

} // namespace

TEST_F(GdipCanvasTest, AFailureInsideTheLayerLeavesTheCanvasDrawingOnItsSurface) {
    auto s = Surface(20, 20);
    auto canvas = Canvas(*s);
    canvas->SetRop2(14);
    canvas->SetPen(kRed, 1, 2); // dotted: drawn by GDI+ into the layer
    RealGraphicsContext = Gdip.GdipGetImageGraphicsContext;
    Gdip.GdipGetImageGraphicsContext = RefuseGraphicsContextOnce;
    EXPECT_THROW(canvas->LineTo(19, 0), System::Exception);
    Gdip.GdipGetImageGraphicsContext = RealGraphicsContext;

    canvas->SetRop2(4);
    canvas->FillRect(2, 2, 4, 4, kGreen);
    canvas->SetPen(kRed, 1, 0);
    canvas->MoveTo(0, 10);
    canvas->LineTo(10, 10);
    EXPECT_EQ(s->PixelAt(3, 3), kGreen);
    EXPECT_EQ(s->PixelAt(9, 10), kRed);
    int32_t l, t, r, b;
    ASSERT_TRUE(canvas->GetClipBox(l, t, r, b));
    EXPECT_EQ(std::vector<int32_t>({l, t, r, b}), std::vector<int32_t>({0, 0, 20, 20}));

    // The same for the rectangle of a text: its clip does not stay behind.
    auto fresh = Surface(20, 20);
    auto text = fresh->CreateCanvas();
    text->SetFont(u"Tahoma", -13, 0, 0);
    int32_t w, h;
    text->TextExtent(u"x", w, h); // the font entry exists before the refusal
    Gdip.GdipGetImageGraphicsContext = RefuseGraphicsContextOnce;
    EXPECT_THROW(text->TextRect(2, 2, 8, 8, 2, 2, u"x", false), System::Exception);
    Gdip.GdipGetImageGraphicsContext = RealGraphicsContext;
    ASSERT_TRUE(text->GetClipBox(l, t, r, b));
    EXPECT_EQ(std::vector<int32_t>({l, t, r, b}), std::vector<int32_t>({0, 0, 20, 20}));
}

TEST_F(GdipCanvasTest, DrawSurfaceCutsTheSourceAndCopiesItself) {
    // Source x -10..90 into a 200-wide destination: the left edge moves 20.
    auto source = Surface(100, 4);
    source->CreateCanvas()->FillRect(0, 0, 100, 4, kRed);
    auto s = Surface(220, 4);
    auto canvas = Canvas(*s);
    canvas->DrawSurfaceEx(source.Get(), -10, 0, 90, 4, 0, 0, 200, 4, 0xCC0020, 255, false);
    EXPECT_EQ(s->PixelAt(19, 1), kWhite);
    EXPECT_EQ(s->PixelAt(20, 1), kRed);
    EXPECT_EQ(s->PixelAt(199, 1), kRed);
    EXPECT_EQ(s->PixelAt(200, 1), kWhite);

    // Onto itself, overlapping: the result of an unchanged copy.
    auto self = Surface(16, 1);
    auto sc = self->CreateCanvas();
    for (int32_t x = 0; x < 16; ++x) sc->SetPixel(x, 0, x * 10);
    sc->DrawSurfaceEx(self.Get(), 0, 0, 12, 1, 4, 0, 16, 1, 0xCC0020, 255, false);
    for (int32_t x = 4; x < 16; ++x) EXPECT_EQ(self->PixelAt(x, 0), (x - 4) * 10) << x;

    // Past the source's edge the keyed drawing draws nothing.
    const std::vector<uint32_t> before = Pixels(*s);
    canvas->DrawSurfaceTransparent(source.Get(), 0, 0, 101, 4, 0, 0, 101, 4, kWhite);
    EXPECT_EQ(Pixels(*s), before);
}

namespace {

// The widths of the destinations that GDI+ is asked to draw images into,
// through either entry point.
std::vector<double> ImageWidths;
decltype(TGdipApi::GdipDrawImageRectRect) RealDrawImage = nullptr;
decltype(TGdipApi::GdipDrawImageRectRectI) RealDrawImageI = nullptr;

TGpStatus RecordDrawImage(TGpGraphics* graphics, TGpImage* image, float x, float y, float width, float height,
                          float sx, float sy, float sw, float sh, int32_t unit, const TGpImageAttributes* attributes,
                          void* callback, void* data) {
    ImageWidths.push_back(width);
    return RealDrawImage(graphics, image, x, y, width, height, sx, sy, sw, sh, unit, attributes, callback, data);
}

TGpStatus RecordDrawImageI(TGpGraphics* graphics, TGpImage* image, int32_t x, int32_t y, int32_t width,
                           int32_t height, int32_t sx, int32_t sy, int32_t sw, int32_t sh, int32_t unit,
                           const TGpImageAttributes* attributes, void* callback, void* data) {
    ImageWidths.push_back(width);
    return RealDrawImageI(graphics, image, x, y, width, height, sx, sy, sw, sh, unit, attributes, callback, data);
}

} // namespace

// A 3 x 3 source stretched over more than INT32_MAX pixels: GDI+ is asked
// for that width, not a wrapped one, and the surface, which lies in the
// middle of the source's middle pixel, shows that pixel copied, keyed and
// blended. (Wine's GDI+ adds a wrapped width to the left edge in int32 and
// wraps back, so there only the width it is asked for tells.)
TEST_F(GdipCanvasTest, ACopyWiderThanInt32ShowsThePixelTheSurfaceLiesIn) {
    constexpr int32_t Reach = (1 << 30) + 8;
    ImageWidths.clear();
    RealDrawImage = Gdip.GdipDrawImageRectRect;
    RealDrawImageI = Gdip.GdipDrawImageRectRectI;
    Gdip.GdipDrawImageRectRect = RecordDrawImage;
    Gdip.GdipDrawImageRectRectI = RecordDrawImageI;
    auto source = Surface(3, 3);
    auto sc = source->CreateCanvas();
    sc->FillRect(0, 0, 3, 3, kBlue);
    sc->SetPixel(1, 1, kRed);
    auto s = Surface(16, 12);
    auto canvas = Canvas(*s);
    const std::vector<std::string> white = Mask(*s, kWhite), red = Mask(*s, kRed);
    canvas->DrawSurfaceEx(source.Get(), 0, 0, 3, 3, -Reach, -Reach, Reach, Reach, 0xCC0020, 255,
                          false);
    EXPECT_EQ(Mask(*s, kRed), white) << "copied";
    canvas->FillRect(0, 0, 16, 12, kWhite);
    canvas->DrawSurfaceTransparent(source.Get(), 0, 0, 3, 3, -Reach, -Reach, Reach, Reach, kRed);
    EXPECT_EQ(Mask(*s, kWhite), white) << "keyed out";
    canvas->DrawSurfaceTransparent(source.Get(), 0, 0, 3, 3, -Reach, -Reach, Reach, Reach, kBlue);
    EXPECT_EQ(Mask(*s, kRed), white) << "keyed in";
    canvas->FillRect(0, 0, 16, 12, kWhite);
    canvas->DrawSurfaceEx(source.Get(), 0, 0, 3, 3, -Reach, -Reach, Reach, Reach, 0xCC0020, 128,
                          false);
    const int32_t blended = s->PixelAt(8, 6);
    EXPECT_EQ(blended & 0xFF, 0xFF);
    EXPECT_NEAR(blended >> 8 & 0xFF, 127, 8) << "half of white";
    EXPECT_EQ(Mask(*s, blended), white);
    Gdip.GdipDrawImageRectRect = RealDrawImage;
    Gdip.GdipDrawImageRectRectI = RealDrawImageI;
    ASSERT_EQ(ImageWidths.size(), 4u);
    for (const double width : ImageWidths) EXPECT_NEAR(width, 2.0 * Reach, 256);
}

// ---- Text ----------------------------------------------------------------------------

TEST_F(GdipCanvasTest, TextMeasuresAsGdiAndInkSitsOnTheGdiBaseline) {
    auto s = Surface(120, 40);
    auto canvas = Canvas(*s);
    canvas->SetFont(u"Tahoma", -16, 0, 0);
    int32_t w = 0, h = 0;
    canvas->TextExtent(u"Hello", w, h);

    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTW log{};
    log.lfHeight = -16;
    log.lfWeight = 400;
    log.lfCharSet = DEFAULT_CHARSET;
    wcscpy(log.lfFaceName, L"Tahoma");
    HFONT font = CreateFontIndirectW(&log);
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, L"Hello", 5, &size);
    TEXTMETRICW m{};
    GetTextMetricsW(dc, &m);
    SelectObject(dc, old);
    DeleteObject(font);
    DeleteDC(dc);
    EXPECT_EQ(w, size.cx);
    EXPECT_EQ(h, size.cy);

    canvas->SetBackground(kWhite, true);
    canvas->TextOut(10, 5, u"H");
    int32_t hw = 0, hh = 0;
    canvas->TextExtent(u"H", hw, hh);
    int32_t lowest = -1, rightmost = -1;
    for (int32_t y = 0; y < s->Height(); ++y)
        for (int32_t x = 0; x < s->Width(); ++x)
            if (s->PixelAt(x, y) != kWhite) lowest = std::max(lowest, y), rightmost = std::max(rightmost, x);
    ASSERT_GE(lowest, 0) << "no ink";
    EXPECT_LT(rightmost, 10 + hw + 4);
    EXPECT_LE(std::abs(lowest - (5 + m.tmAscent - 1)), 1);

    int32_t ew = -1, eh = -1;
    canvas->TextExtent(u"", ew, eh);
    EXPECT_EQ(ew, 0);
    EXPECT_EQ(eh, size.cy);
}

TEST_F(GdipCanvasTest, TextRectFillsOnceAndPutsTheClipBack) {
    auto s = Surface(60, 30);
    auto canvas = Canvas(*s);
    canvas->SetFont(u"Tahoma", -12, 0, kRed);
    canvas->SetBackground(kGreen, false);
    canvas->TextRect(10, 10, 30, 20, 100, 100, u"far away", true);
    EXPECT_EQ(Mask(*s, kGreen)[15], std::string(10, '.') + std::string(20, '#') + std::string(30, '.'));
    int32_t l, t, r, b;
    ASSERT_TRUE(canvas->GetClipBox(l, t, r, b));
    EXPECT_EQ(std::vector<int32_t>({l, t, r, b}), std::vector<int32_t>({0, 0, 60, 30}));

    canvas->SetTextAngle(3600 + 900);
    canvas->TextOut(30, 28, u"Up"); // rotated: no box
    EXPECT_FALSE(AnyPixel(*s, kGreen, 30, 0, 60, 10));
    // Counter-clockwise: the letters run upwards from the point, their
    // tops to its left, so ink lies above it and to its right.
    int32_t ink = 0;
    for (int32_t y = 0; y < 28; ++y)
        for (int32_t x = 30; x < 50; ++x) ink += s->PixelAt(x, y) != kWhite;
    EXPECT_GT(ink, 10);
}

TEST_F(GdipCanvasTest, AnOpaqueTextBoxIsExactlyTheExtentAndAFullTurnIsNoTurn) {
    for (const int32_t angle : {0, 3600, -3600, 7200}) {
        auto s = Surface(60, 30);
        auto canvas = Canvas(*s);
        canvas->SetFont(u"Tahoma", -12, 0, kRed);
        canvas->SetBackground(kGreen, false);
        canvas->SetTextAngle(angle);
        canvas->TextOut(5, 6, u"ab");
        int32_t w = 0, h = 0;
        canvas->TextExtent(u"ab", w, h);
        ASSERT_GT(w, 0);
        std::string wrong;
        for (int32_t y = 0; y < 30; ++y)
            for (int32_t x = 0; x < 60; ++x) {
                const bool inBox = x >= 5 && x < 5 + w && y >= 6 && y < 6 + h;
                const int32_t c = s->PixelAt(x, y);
                if (inBox ? c == kWhite : c == kGreen) wrong += std::to_string(x) + "," + std::to_string(y) + " ";
            }
        EXPECT_EQ(wrong, "") << "angle " << angle;
    }
}

// Fonts come and go in turn: a font stays while 63 newer ones are made, and
// the 64th newer one takes its place.
TEST_F(GdipCanvasTest, TheFontCacheReplacesItsOldestEntry) {
    auto s = Surface(8, 8);
    const auto handleOf = [&](TPlatformCanvas& canvas, const std::u16string& name) {
        canvas.SetFont(name, -10, 0, 0);
        int32_t w, h;
        canvas.TextExtent(u"x", w, h);
        return static_cast<TGdipCanvas&>(canvas).GdiFontHandle();
    };
    const auto freshHandle = [&](const std::u16string& name) { return handleOf(*s->CreateCanvas(), name); };
    // The holder keeps the first entry, and so its GDI font, alive: a font
    // made later can never have the same handle.
    auto holder = s->CreateCanvas();
    const std::u16string first = u"Zyl Cache Probe";
    void* const firstHandle = handleOf(*holder, first);
    for (int32_t i = 0; i < 63; ++i) freshHandle(first + u" " + System::Int64ToStr(i));
    EXPECT_EQ(freshHandle(first), firstHandle) << "still cached after 63 newer fonts";
    freshHandle(first + u" 63");
    EXPECT_NE(freshHandle(first), firstHandle) << "replaced by the 64th newer font";
}

TEST_F(GdipCanvasTest, AHugeFontDrawsWithoutABaselineBitmap) {
    auto s = Surface(40, 40);
    auto canvas = Canvas(*s);
    canvas->SetFont(u"Tahoma", -20000, 0, kRed);
    canvas->TextOut(0, 0, u"H");
    int32_t w = 0, h = 0;
    canvas->TextExtent(u"H", w, h);
    EXPECT_GT(h, 0);
}

TEST_F(GdipCanvasTest, AnEvictedFontIsDeletedEvenWhenItWasTheLastSelected) {
    HGDIOBJ font = nullptr;
    {
        auto s = Surface(8, 8);
        auto holder = s->CreateCanvas();
        holder->SetFont(u"Tahoma", -31, 0, 0);
        int32_t w, h;
        holder->TextExtent(u"x", w, h);
        font = static_cast<TGdipCanvas*>(holder.Get())->GdiFontHandle();
        ASSERT_NE(font, nullptr);
        // Push the entry out of the cache while this canvas keeps it.
        auto other = s->CreateCanvas();
        for (int32_t i = 0; i < 64; ++i) {
            other->SetFont(u"Tahoma", -(100 + i), 0, 0);
            other->TextExtent(u"x", w, h);
        }
        holder->TextExtent(u"x", w, h); // selected last, then the canvas goes
        EXPECT_NE(GetObjectType(font), 0u);
    }
    EXPECT_EQ(GetObjectType(font), 0u);
}

// ---- Lines, shapes and images through GDI+ -------------------------------------------

TEST_F(GdipCanvasTest, ShapesDrawInsideTheirBoxes) {
    const TPlatformPoint triangle[] = {{4, 4}, {26, 6}, {12, 26}};
    const TPlatformPoint bezier[] = {{4, 4}, {10, 26}, {20, 0}, {26, 24}};
    const struct {
        const char* name;
        std::function<void(TPlatformCanvas&)> draw;
        bool fill;
    } cases[] = {
        {"Ellipse", [](TPlatformCanvas& c) { c.Ellipse(4, 4, 26, 26); }, true},
        {"RoundRect", [](TPlatformCanvas& c) { c.RoundRect(4, 4, 26, 26, 8, 8); }, true},
        {"Chord", [](TPlatformCanvas& c) { c.Chord(4, 4, 26, 26, 26, 15, 4, 15); }, true},
        {"Pie", [](TPlatformCanvas& c) { c.Pie(4, 4, 26, 26, 26, 4, 4, 4); }, true},
        {"Arc", [](TPlatformCanvas& c) { c.Arc(4, 4, 26, 26, 26, 15, 4, 15); }, false},
        {"Polygon", [&](TPlatformCanvas& c) { c.Polygon(triangle, 3, 2, false); }, true},
        {"Polyline", [&](TPlatformCanvas& c) { c.Polyline(triangle, 3, 2); }, false},
        {"PolyBezier", [&](TPlatformCanvas& c) { c.PolyBezier(bezier, 4, 3); }, false},
        {"slanted LineTo", [](TPlatformCanvas& c) { c.MoveTo(4, 4), c.LineTo(25, 20); }, false},
        {"wide LineTo", [](TPlatformCanvas& c) { c.SetPen(kRed, 4, 0), c.MoveTo(6, 6), c.LineTo(24, 24); }, false},
    };
    for (const auto& c : cases) {
        auto s = Surface(30, 30);
        auto canvas = Canvas(*s);
        c.draw(*canvas);
        int32_t ink = 0, outside = 0;
        for (int32_t y = 0; y < 30; ++y)
            for (int32_t x = 0; x < 30; ++x) {
                const bool drawn = s->PixelAt(x, y) != kWhite;
                ink += drawn;
                outside += drawn && (x < 2 || y < 2 || x > 27 || y > 27);
            }
        EXPECT_GT(ink, 10) << c.name;
        EXPECT_EQ(outside, 0) << c.name;
        EXPECT_EQ(AnyPixel(*s, kBlue, 0, 0, 30, 30), c.fill) << c.name;
    }
}

// The background pass of a styled line recolours the shared pen: the dashes
// after it must still get the pen's own colour.
TEST_F(GdipCanvasTest, DashesShowTheBackgroundInTheirGapsOnlyWhenItIsOpaque) {
    const auto redish = [](int32_t c) { return (c & 0xFF) > 160 && (c >> 8 & 0xFF) < 96; };
    const auto greenish = [](int32_t c) { return (c >> 8 & 0xFF) > 160 && (c & 0xFF) < 96; };
    for (const bool transparent : {false, true}) {
        auto s = Surface(48, 4);
        auto canvas = Canvas(*s);
        canvas->SetPen(kRed, 1, 2);
        canvas->SetBackground(kGreen, transparent);
        canvas->MoveTo(0, 1);
        canvas->LineTo(48, 1);
        // Wine's GDI+ puts a line through pixel centres a row and a column
        // past them: the whole band is read.
        int32_t red = 0, green = 0;
        for (int32_t y = 0; y < 4; ++y)
            for (int32_t x = 0; x < 48; ++x) red += redish(s->PixelAt(x, y)), green += greenish(s->PixelAt(x, y));
        EXPECT_GT(red, 8) << (transparent ? "transparent" : "opaque");
        EXPECT_EQ(green > 8, !transparent) << (transparent ? "transparent" : "opaque");
    }
}

// A pen mode draws the shape into a layer first; its hatch still lies on
// the surface's rows, not on rows counted from the layer's corner.
TEST_F(GdipCanvasTest, HatchesInsideAPenModeLayerStayOnTheSurfaceGrid) {
    const struct {
        const char* name;
        std::function<void(TPlatformCanvas&)> draw;
    } cases[] = {
        {"Rectangle (pixels)", [](TPlatformCanvas& c) { c.Rectangle(5, 6, 37, 38); }},
        {"Ellipse (GDI+)", [](TPlatformCanvas& c) { c.Ellipse(5, 6, 37, 38); }},
    };
    for (const auto& c : cases) {
        auto s = Surface(40, 40);
        auto canvas = Canvas(*s);
        canvas->SetPen(kRed, 1, 5);
        canvas->SetBrush(0, 2);  // black on the rows y mod 8 = 3
        canvas->SetBackground(kWhite, true);
        canvas->SetRop2(12);     // pen and destination: black stays black on white
        canvas->SetOrigin(1, 0); // the layer's corner lies off the hatch grid either way
        c.draw(*canvas);
        int32_t dark = 0;
        EXPECT_EQ(Testing::PixelsOffHatchRows(*s, kWhite, 3, dark), "") << c.name;
        EXPECT_GT(dark, 20) << c.name;
    }
}

// A one-pixel outline runs through the outermost pixels of the shape's box,
// as GDI draws it: the middle of every side is pen, the next pixel inward
// brush; and no brush shows outside a rounded rectangle's outline (the
// wizard's buttons and check boxes) on any row. Wine's GDI+ places thin pens
// half a pixel off the offset mode the surfaces ask for, which put these
// outlines one pixel down and right, and its fill of the whole box showed
// beyond the outline's corners. (It flattens an ellipse's fill and outline
// apart, so a stray pixel of those is left to it.)
TEST_F(GdipCanvasTest, OnePixelOutlinesRunThroughTheOuterPixelsOfTheBox) {
    const struct {
        const char* name;
        std::function<void(TPlatformCanvas&)> draw;
        bool fillInside;
    } cases[] = {
        {"RoundRect", [](TPlatformCanvas& c) { c.RoundRect(4, 4, 26, 16, 6, 6); }, true},
        {"Ellipse", [](TPlatformCanvas& c) { c.Ellipse(4, 4, 26, 16); }, false},
        {"whole Chord", [](TPlatformCanvas& c) { c.Chord(4, 4, 26, 16, 26, 10, 26, 10); }, false},
    };
    for (const auto& c : cases) {
        auto s = Surface(30, 20);
        auto canvas = Canvas(*s);
        c.draw(*canvas);
        const std::vector<std::pair<int32_t, int32_t>> pen = {{15, 4}, {15, 15}, {4, 10}, {25, 10}};
        for (const auto& [x, y] : pen) EXPECT_EQ(s->PixelAt(x, y), kRed) << c.name << " " << x << "," << y;
        const std::vector<std::pair<int32_t, int32_t>> brush = {{15, 5}, {15, 14}, {5, 10}, {24, 10}};
        for (const auto& [x, y] : brush) EXPECT_EQ(s->PixelAt(x, y), kBlue) << c.name << " " << x << "," << y;
        for (int32_t y = 0; y < 20 && c.fillInside; ++y) {
            int32_t first = 30, last = -1;
            for (int32_t x = 0; x < 30; ++x)
                if (s->PixelAt(x, y) == kRed) first = std::min(first, x), last = std::max(last, x);
            for (int32_t x = 0; x < 30; ++x)
                EXPECT_TRUE(s->PixelAt(x, y) != kBlue || (x > first && x < last)) << c.name << " " << x << "," << y;
        }
    }
}

TEST_F(GdipCanvasTest, ShapeEdgeCases) {
    // The same radial twice: the whole ellipse, so ink on all four sides.
    auto full = Surface(30, 30);
    auto c1 = Canvas(*full);
    c1->Arc(4, 4, 26, 26, 26, 15, 26, 15);
    // GDI+ rasterises the half-pixel outline to either side of the edge.
    int32_t sides = 0;
    for (const auto& [x, y] : {std::pair{4, 15}, std::pair{25, 15}, std::pair{15, 4}, std::pair{15, 25}}) {
        bool ink = false;
        for (int32_t dy = -1; dy <= 1; ++dy)
            for (int32_t dx = -1; dx <= 1; ++dx) ink |= full->PixelAt(x + dx, y + dy) != kWhite;
        sides += ink;
    }
    EXPECT_EQ(sides, 4);

    // One pixel wide: the radius is 0 after the half-pixel inset.
    auto thin = Surface(10, 10);
    auto c2 = Canvas(*thin);
    const std::vector<uint32_t> blank = Pixels(*thin);
    c2->Arc(4, 0, 5, 10, 4, 0, 4, 10);
    EXPECT_EQ(Pixels(*thin), blank);

    // Two points: the outline there and back, no fill.
    const TPlatformPoint two[] = {{1, 1}, {8, 8}};
    c2->Polygon(two, 2, 1, false);
    EXPECT_FALSE(AnyPixel(*thin, kBlue, 0, 0, 10, 10));
    EXPECT_NE(Pixels(*thin), blank);

    // Six points: the first four drawn, the current point at the sixth; three
    // points: nothing at all.
    const TPlatformPoint six[] = {{0, 0}, {1, 5}, {5, 1}, {6, 6}, {7, 7}, {3, 9}};
    c2->PolyBezier(six, 3, 2);
    EXPECT_EQ(c2->PenX, 0);
    c2->PolyBezier(six, 6, 5);
    EXPECT_EQ(c2->PenX, 3);
    EXPECT_EQ(c2->PenY, 9);

    // A wide pen is solid whatever its style.
    auto wide = Surface(30, 10);
    auto c3 = Canvas(*wide);
    c3->SetPen(kRed, 3, 2);
    c3->MoveTo(2, 5);
    c3->LineTo(27, 5);
    EXPECT_EQ(Mask(*wide, kRed)[5].substr(4, 20), std::string(20, '#'));

    // Corners of width 0: a plain rectangle.
    auto round = Surface(14, 14), plain = Surface(14, 14);
    Canvas(*round)->RoundRect(1, 1, 12, 12, 0, 6);
    Canvas(*plain)->Rectangle(1, 1, 12, 12);
    EXPECT_EQ(Pixels(*round), Pixels(*plain));
}

namespace {

// Counts the two ways a text run reaches GDI+.
int32_t StringCalls = 0, DriverCalls = 0;
decltype(TGdipApi::GdipDrawString) RealDrawString = nullptr;
decltype(TGdipApi::GdipDrawDriverString) RealDrawDriverString = nullptr;
TGpStatus CountDrawString(TGpGraphics* g, const wchar_t* text, int32_t length, const TGpFont* font,
                          const TGpRectF* layout, const TGpStringFormat* format, const TGpBrush* brush) {
    ++StringCalls;
    return RealDrawString(g, text, length, font, layout, format, brush);
}
TGpStatus CountDrawDriverString(TGpGraphics* g, const uint16_t* text, int32_t length, const TGpFont* font,
                                const TGpBrush* brush, const TGpPointF* positions, int32_t flags,
                                const TGpMatrix* matrix) {
    ++DriverCalls;
    return RealDrawDriverString(g, text, length, font, brush, positions, flags, matrix);
}

} // namespace

TEST_F(GdipCanvasTest, LayoutModesAndSharedFontEntries) {
    auto s = Surface(80, 30);
    auto canvas = Canvas(*s);
    canvas->SetFont(u"Tahoma", -14, 0, 0);
    int32_t w, h;
    canvas->TextExtent(u"x", w, h); // the baseline test draws no more once the entry exists
    RealDrawString = Gdip.GdipDrawString;
    RealDrawDriverString = Gdip.GdipDrawDriverString;
    Gdip.GdipDrawString = CountDrawString;
    Gdip.GdipDrawDriverString = CountDrawDriverString;
    const struct {
        std::optional<std::u16string> layout;
        std::u16string text;
        int32_t strings, drivers;
    } cases[] = {
        {std::nullopt, u"Abc", 0, 1},
        {std::nullopt, u"A\U0001F600", 1, 0}, // a surrogate pair: string layout even when positioned
        {u" String ", u"Abc", 1, 0},
        {u"other", u"Abc", 0, 1},
    };
    for (const auto& c : cases) {
        TScopedEnvVar layout(u"ZYL_GDIPLUS_LAYOUT", c.layout);
        ReadGdipOptions();
        StringCalls = DriverCalls = 0;
        canvas->TextOut(2, 2, c.text);
        EXPECT_EQ(StringCalls, c.strings) << Utf8(c.layout.value_or(u"(unset)"));
        EXPECT_EQ(DriverCalls, c.drivers) << Utf8(c.layout.value_or(u"(unset)"));
    }
    Gdip.GdipDrawString = RealDrawString;
    Gdip.GdipDrawDriverString = RealDrawDriverString;

    // Two canvases with one font share its entry; a name past 31 characters
    // reaches GDI cut to 31, so it names the same GDI font as its cut.
    auto other = s->CreateCanvas();
    other->SetFont(u"Tahoma", -14, 0, kRed);
    other->TextExtent(u"x", w, h);
    EXPECT_EQ(static_cast<TGdipCanvas*>(other.Get())->GdiFontHandle(),
              static_cast<TGdipCanvas*>(canvas.Get())->GdiFontHandle());
    const std::u16string longName(40, u'Q');
    other->SetFont(longName, -14, 0, 0);
    other->TextExtent(u"x", w, h);
    LOGFONTW log{};
    ASSERT_NE(GetObjectW(static_cast<HGDIOBJ>(static_cast<TGdipCanvas*>(other.Get())->GdiFontHandle()),
                         sizeof log, &log),
              0);
    EXPECT_EQ(std::wstring(log.lfFaceName), std::wstring(31, L'Q'));
}

namespace {

// Counts the calls of one entry of the table while hooked.
template <auto Member>
struct TCounted;
template <class R, class... A, R (*TGdipApi::*Member)(A...)>
struct TCounted<Member> {
    static inline R (*Real)(A...) = nullptr;
    static inline int32_t Calls = 0;
    static R Call(A... a) {
        ++Calls;
        return Real(a...);
    }
    static void Hook() {
        Calls = 0;
        Real = Gdip.*Member;
        Gdip.*Member = Call;
    }
    static void Unhook() { Gdip.*Member = Real; }
};

template <auto Create, auto Delete>
struct TKind {
    const char* Name;
    void Hook() const { TCounted<Create>::Hook(), TCounted<Delete>::Hook(); }
    void Unhook() const { TCounted<Create>::Unhook(), TCounted<Delete>::Unhook(); }
    int32_t Created() const { return TCounted<Create>::Calls; }
    int32_t Deleted() const { return TCounted<Delete>::Calls; }
};

} // namespace

TEST_F(GdipCanvasTest, EveryGdiplusObjectMadeIsDeletedAgain) {
    auto source = Surface(8, 8, true);
    const auto kinds = std::make_tuple(
        TKind<&TGdipApi::GdipCreatePen1, &TGdipApi::GdipDeletePen>{"pens"},
        TKind<&TGdipApi::GdipCreateSolidFill, &TGdipApi::GdipDeleteBrush>{"solid brushes and textures"},
        TKind<&TGdipApi::GdipCreateBitmapFromScan0, &TGdipApi::GdipDisposeImage>{"images"},
        TKind<&TGdipApi::GdipGetImageGraphicsContext, &TGdipApi::GdipDeleteGraphics>{"graphics"},
        TKind<&TGdipApi::GdipCreateRegionRectI, &TGdipApi::GdipDeleteRegion>{"regions"},
        TKind<&TGdipApi::GdipCreatePath, &TGdipApi::GdipDeletePath>{"paths"},
        TKind<&TGdipApi::GdipCreateImageAttributes, &TGdipApi::GdipDisposeImageAttributes>{"attributes"});
    // The font entry and its baseline bitmap live in the cache, the source's
    // opaque bitmap as long as the source: made first.
    source->OpaqueBitmap();
    {
        auto s = Surface(4, 4);
        int32_t w, h;
        s->CreateCanvas()->TextExtent(u"x", w, h);
    }
    TCounted<&TGdipApi::GdipCreateTexture>::Hook();
    std::apply([](const auto&... k) { (k.Hook(), ...); }, kinds);
    for (int32_t i = 0; i < 100; ++i) {
        auto s = Surface(24, 24, i % 2 == 0);
        auto canvas = Canvas(*s);
        canvas->ClipExclude(2, 2, 6, 6);
        canvas->SetBrush(kGreen, 2 + i % 6);
        canvas->Ellipse(0, 0, 20, 20);
        canvas->RoundRect(0, 0, 20, 20, 6, 6);
        canvas->SetRop2(14);
        canvas->Pie(0, 0, 20, 20, 20, 0, 0, 0);
        canvas->SetRop2(4);
        canvas->DrawSurfaceEx(source.Get(), 0, 0, 8, 8, 0, 0, 16, 16, 0xCC0020, 128, true);
        canvas->DrawSurfaceTransparent(source.Get(), 0, 0, 8, 8, 0, 0, 8, 8, kWhite);
        canvas->TextOut(1, 1, u"ok");
    }
    std::apply([](const auto&... k) { (k.Unhook(), ...); }, kinds);
    TCounted<&TGdipApi::GdipCreateTexture>::Unhook();
    const int32_t textures = TCounted<&TGdipApi::GdipCreateTexture>::Calls;
    EXPECT_GT(textures, 0);
    const auto check = [&](const auto& k) {
        // Textures are brushes too, deleted by the same call.
        const bool brushes = std::string(k.Name) == "solid brushes and textures";
        EXPECT_GT(k.Created(), 0) << k.Name;
        EXPECT_EQ(k.Created() + (brushes ? textures : 0), k.Deleted()) << k.Name;
    };
    std::apply([&](const auto&... k) { (check(k), ...); }, kinds);
}
