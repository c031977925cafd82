#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"
#include "Zyl.Platform.D2D.Fixture.h"
#include "Zyl.Platform.D2D.h"
#include "Zyl.Platform.Drawn.h"
#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Platform.Win.h"
#include "Zyl.Test.Image.h"
#include "Zyl.Test.Memory.h"

using namespace Zyl;
using Zyl::Testing::InkBox;
using Zyl::Testing::TInkBox;
using Zyl::Testing::RefCount;
using Zyl::Testing::RequireStarted;

namespace {

constexpr int32_t Size = 16;
constexpr int32_t White = 0xFFFFFF, Black = 0, Red = 0x0000FF, Blue = 0xFF0000;

struct TDrawing {
    TRef<TD2DSurface> Surface;
    TRef<TD2DCanvas> Canvas;
};

// A surface painted white and a canvas on it.
TDrawing NewDrawing(bool hasAlpha = false, int32_t size = Size) {
    TDrawing d{System::MakeRef<TD2DSurface>(size, size, hasAlpha), nullptr};
    d.Canvas = System::MakeRef<TD2DCanvas>(d.Surface.Get());
    d.Canvas->FillRect(0, 0, size, size, White);
    return d;
}

// Every pixel whose colour differs from `expected(x, y) ? colour : other`,
// as "x,y" words.
std::string Mismatches(TD2DSurface& s, int32_t colour, int32_t other, const std::function<bool(int, int)>& expected) {
    std::string out;
    for (int32_t y = 0; y < s.Height(); ++y)
        for (int32_t x = 0; x < s.Width(); ++x)
            if (s.PixelAt(x, y) != (expected(x, y) ? colour : other))
                out += std::to_string(x) + "," + std::to_string(y) + " ";
    return out;
}

bool In(int x, int y, int l, int t, int r, int b) { return x >= l && x < r && y >= t && y < b; }

std::vector<uint32_t> Snapshot(TD2DSurface& s) {
    std::vector<uint32_t> v;
    for (int32_t y = 0; y < s.Height(); ++y)
        for (int32_t x = 0; x < s.Width(); ++x) v.push_back(uint32_t(s.PixelAt(x, y)) | uint32_t(s.AlphaAt(x, y)) << 24);
    return v;
}

} // namespace

// ---- State ---------------------------------------------------------------------

TEST(D2DCanvas, SettersClampAsTheyShould) {
    RequireStarted();
    TDrawing d = NewDrawing();
    TD2DCanvas& c = *d.Canvas;
    const struct {
        int32_t Width, Style, KeptWidth, KeptStyle;
    } pens[] = {{0, 9, 1, 0}, {-3, 6, 1, 0}, {5, 5, 5, 5}, {2, -1, 2, -1}};
    for (const auto& p : pens) {
        c.SetPen(0x11223344, p.Width, p.Style);
        EXPECT_EQ(c.CurrentState.PenColor, 0x223344);
        EXPECT_EQ(c.CurrentState.PenWidth, p.KeptWidth);
        EXPECT_EQ(c.CurrentState.PenStyle, p.KeptStyle);
    }
    const struct {
        int32_t Mode, Kept;
    } rops[] = {{16, 4}, {-1, 4}, {15, 15}, {0, 0}};
    for (const auto& r : rops) {
        c.SetRop2(r.Mode);
        EXPECT_EQ(c.CurrentState.Rop2, r.Kept) << r.Mode;
    }
    const struct {
        int32_t Angle, Kept;
    } angles[] = {{3700, 100}, {-3700, -100}, {3600, 0}, {900, 900}};
    for (const auto& a : angles) {
        c.SetTextAngle(a.Angle);
        EXPECT_EQ(c.CurrentState.TextAngle, a.Kept) << a.Angle;
    }
}

TEST(D2DCanvas, SaveRestoreAndTheClipBox) {
    RequireStarted();
    TDrawing d = NewDrawing();
    TD2DCanvas& c = *d.Canvas;
    int32_t l, t, r, b;
    c.Restore();
    EXPECT_TRUE(c.GetClipBox(l, t, r, b));
    c.Save();
    c.ClipRect(2, 2, 5, 5);
    EXPECT_EQ(c.GetPixel(1, 1), -1);
    c.Restore();
    ASSERT_TRUE(c.GetClipBox(l, t, r, b));
    EXPECT_EQ((std::vector{l, t, r, b}), (std::vector{0, 0, Size, Size}));
    c.SetOrigin(10, 20);
    ASSERT_TRUE(c.GetClipBox(l, t, r, b));
    EXPECT_EQ((std::vector{l, t, r, b}), (std::vector{-10, -20, Size - 10, Size - 20}));
    c.SetOrigin(0, 0);
    c.ClipExclude(0, 0, Size, Size);
    EXPECT_FALSE(c.GetClipBox(l, t, r, b));
    EXPECT_EQ((std::vector{l, t, r, b}), (std::vector{0, 0, 0, 0}));
}

// ---- Exact pixels ---------------------------------------------------------------

TEST(D2DCanvas, ShapesAndLinesLandOnGdisPixels) {
    RequireStarted();
    struct TCase {
        const char* Name;
        std::function<void(TD2DCanvas&)> Draw;
        int32_t Colour;
        std::function<bool(int, int)> Coloured;
    };
    const TCase cases[] = {
        {"1-px rectangle: the ring", [](TD2DCanvas& c) { c.Rectangle(0, 0, 10, 10); }, Black,
         [](int x, int y) { return In(x, y, 0, 0, 10, 10) && !In(x, y, 1, 1, 9, 9); }},
        {"width 3 reaches (11, 11)",
         [](TD2DCanvas& c) {
             c.SetPen(Black, 3, 0);
             c.Rectangle(0, 0, 10, 10);
         },
         Black, [](int x, int y) { return In(x, y, 0, 0, 12, 12) && !In(x, y, 3, 3, 9, 9); }},
        {"(0, 0, 2, 2): two rows", [](TD2DCanvas& c) { c.Rectangle(0, 0, 2, 2); }, Black,
         [](int x, int y) { return In(x, y, 0, 0, 2, 2); }},
        {"clear pen fills to (8, 8)",
         [](TD2DCanvas& c) {
             c.SetPen(Black, 1, 5);
             c.SetBrush(Red, 0);
             c.Rectangle(0, 0, 10, 10);
         },
         Red, [](int x, int y) { return In(x, y, 0, 0, 9, 9); }},
        {"LineTo right leaves the end",
         [](TD2DCanvas& c) {
             c.MoveTo(0, 0);
             c.LineTo(5, 0);
         },
         Black, [](int x, int y) { return In(x, y, 0, 0, 5, 1); }},
        {"LineTo down leaves the end",
         [](TD2DCanvas& c) {
             c.MoveTo(0, 0);
             c.LineTo(0, 5);
         },
         Black, [](int x, int y) { return In(x, y, 0, 0, 1, 5); }},
        {"LineTo left colours 1..5",
         [](TD2DCanvas& c) {
             c.MoveTo(5, 0);
             c.LineTo(0, 0);
         },
         Black, [](int x, int y) { return In(x, y, 1, 0, 6, 1); }},
        {"origin moves lines",
         [](TD2DCanvas& c) {
             c.SetOrigin(3, 4);
             c.MoveTo(0, 0);
             c.LineTo(2, 0);
         },
         Black, [](int x, int y) { return In(x, y, 3, 4, 5, 5); }},
        {"FrameRect with the brush",
         [](TD2DCanvas& c) {
             c.SetBrush(Blue, 0);
             c.FrameRect(2, 2, 6, 5);
         },
         Blue, [](int x, int y) { return In(x, y, 2, 2, 6, 5) && !In(x, y, 3, 3, 5, 4); }},
        {"SetRop2(2) draws no shape, FillRect still fills",
         [](TD2DCanvas& c) {
             c.SetRop2(2);
             c.Rectangle(0, 0, 10, 10);
             c.MoveTo(0, 12);
             c.LineTo(10, 12);
             c.FillRect(12, 12, 14, 14, Red);
         },
         Red, [](int x, int y) { return In(x, y, 12, 12, 14, 14); }},
        {"SetPixel outside the clip changes nothing",
         [](TD2DCanvas& c) {
             c.ClipRect(0, 0, 4, 4);
             c.SetPixel(2, 2, Red);
             c.SetPixel(6, 6, Red);
         },
         Red, [](int x, int y) { return x == 2 && y == 2; }},
        {"SetPixel ignores the pen mode",
         [](TD2DCanvas& c) {
             c.SetRop2(14);
             c.SetPixel(1, 1, Red);
         },
         Red, [](int x, int y) { return x == 1 && y == 1; }},
        {"DrawSurfaceEx cut on the left",
         [](TD2DCanvas& c) {
             TDrawing red = NewDrawing(false, 10);
             red.Canvas->FillRect(0, 0, 10, 10, Red);
             c.DrawSurfaceEx(red.Surface.Get(), -10, 0, 10, 10, 0, 0, 20, 10, RopSourceCopy, 255, false);
         },
         Red, [](int x, int y) { return In(x, y, 10, 0, 20, 10); }},
        {"opacity 300 is 255",
         [](TD2DCanvas& c) {
             TDrawing red = NewDrawing(false, 4);
             red.Canvas->FillRect(0, 0, 4, 4, Red);
             c.DrawSurfaceEx(red.Surface.Get(), 0, 0, 4, 4, 0, 0, 4, 4, RopSourceCopy, 300, false);
         },
         Red, [](int x, int y) { return In(x, y, 0, 0, 4, 4); }},
        {"opacity -5 shows nothing",
         [](TD2DCanvas& c) {
             TDrawing red = NewDrawing(false, 4);
             red.Canvas->FillRect(0, 0, 4, 4, Red);
             c.DrawSurfaceEx(red.Surface.Get(), 0, 0, 4, 4, 0, 0, 4, 4, RopSourceCopy, -5, false);
         },
         Red, [](int, int) { return false; }},
        {"a foreign surface is copied",
         [](TD2DCanvas& c) {
             Testing::TMemorySurface other(2, 2, false);
             for (int32_t y = 0; y < 2; ++y)
                 std::fill_n(reinterpret_cast<uint32_t*>(other.Bits() + y * other.Stride()), 2, 0xFFFF0000u);
             c.DrawSurfaceEx(&other, 0, 0, 2, 2, 4, 4, 8, 8, RopSourceCopy, 255, false);
         },
         Red, [](int x, int y) { return In(x, y, 4, 4, 8, 8); }},
        {"a keyed copy leaves the key out",
         [](TD2DCanvas& c) {
             TDrawing src = NewDrawing(false, 4);
             src.Canvas->FillRect(0, 0, 2, 4, Red);
             c.DrawSurfaceTransparent(src.Surface.Get(), 0, 0, 4, 4, 0, 0, 4, 4, White);
             c.DrawSurfaceTransparent(src.Surface.Get(), 0, 0, 5, 4, 8, 8, 12, 12, White);
         },
         Red, [](int x, int y) { return In(x, y, 0, 0, 2, 4); }},
    };
    for (const TCase& c : cases) {
        TDrawing d = NewDrawing();
        c.Draw(*d.Canvas);
        EXPECT_EQ(Mismatches(*d.Surface, c.Colour, White, c.Coloured), "") << c.Name;
    }
}

TEST(D2DCanvas, HatchesStayOnTheSurfaceGridWhateverTheOrigin) {
    RequireStarted();
    for (const auto& [ox, oy] : {std::pair{0, 0}, std::pair{3, 5}}) {
        TDrawing d = NewDrawing(false, 24);
        d.Canvas->SetOrigin(ox, oy);
        d.Canvas->SetBrush(Black, 6);
        d.Canvas->FillRectBrush(-ox, -oy, 24 - ox, 24 - oy);
        EXPECT_EQ(Mismatches(*d.Surface, Black, White, [](int x, int y) { return y % 8 == 3 || x % 8 == 4; }), "")
            << "origin " << ox << "," << oy;
    }
}

// A pen mode draws the shape into a layer placed at the shape's corner; the
// hatch still lies on the surface's rows, not on rows counted from there.
TEST(D2DCanvas, HatchesInsideAPenModeLayerStayOnTheSurfaceGrid) {
    RequireStarted();
    const struct {
        const char* Name;
        std::function<void(TD2DCanvas&)> Draw;
    } cases[] = {
        {"Rectangle", [](TD2DCanvas& c) { c.Rectangle(5, 6, 37, 38); }},
        {"Ellipse", [](TD2DCanvas& c) { c.Ellipse(5, 6, 37, 38); }},
    };
    for (const auto& c : cases) {
        TDrawing d = NewDrawing(false, 40);
        d.Canvas->SetPen(Black, 1, 5);
        d.Canvas->SetBrush(Black, 2);  // the rows y mod 8 = 3
        d.Canvas->SetBackground(White, true);
        d.Canvas->SetRop2(12);         // pen and destination: black stays black on white
        d.Canvas->SetOrigin(1, 0);
        c.Draw(*d.Canvas);
        int32_t black = 0;
        EXPECT_EQ(Testing::PixelsOffHatchRows(*d.Surface, White, 3, black), "") << c.Name;
        EXPECT_GT(black, 20) << c.Name;
    }
}

TEST(D2DCanvas, SlantedLinesDrawOnePixelPerStepAndLeaveTheEnd) {
    RequireStarted();
    const struct {
        int32_t X1, Y1, X2, Y2;
    } lines[] = {{0, 0, 7, 3}, {1, 9, 4, 2}, {12, 2, 2, 6}, {3, 3, 9, 9}, {9, 1, 2, 4}};
    for (const auto& l : lines) {
        TDrawing d = NewDrawing();
        d.Canvas->MoveTo(l.X1, l.Y1);
        d.Canvas->LineTo(l.X2, l.Y2);
        const int32_t steps = std::max(std::abs(l.X2 - l.X1), std::abs(l.Y2 - l.Y1));
        int32_t black = 0;
        for (int32_t y = 0; y < Size; ++y)
            for (int32_t x = 0; x < Size; ++x) black += d.Surface->PixelAt(x, y) == Black;
        std::string picture;
        for (int32_t y = 0; y < Size; ++y) {
            for (int32_t x = 0; x < Size; ++x) {
                char cell[16];
                snprintf(cell, sizeof cell, "%06X ", d.Surface->PixelAt(x, y));
                picture += cell;
            }
            picture += "\n";
        }
        EXPECT_EQ(black, steps) << l.X1 << "," << l.Y1 << " to " << l.X2 << "," << l.Y2 << "\n" << picture;
        EXPECT_EQ(d.Surface->PixelAt(l.X1, l.Y1), Black);
        EXPECT_EQ(d.Surface->PixelAt(l.X2, l.Y2), White);
    }
}

TEST(D2DCanvas, FullTurnArcsDrawTheWholeEllipse) {
    RequireStarted();
    TDrawing arc = NewDrawing();
    arc.Canvas->Arc(2, 2, 14, 14, 14, 8, 14, 8);
    // The four extremes of the outline.
    for (const auto& [x, y] : {std::pair{2, 8}, std::pair{13, 8}, std::pair{8, 2}, std::pair{8, 13}})
        EXPECT_EQ(arc.Surface->PixelAt(x, y), Black) << x << "," << y;
    EXPECT_EQ(arc.Surface->PixelAt(8, 8), White);
    TDrawing pie = NewDrawing();
    pie.Canvas->SetBrush(Red, 0);
    pie.Canvas->Pie(2, 2, 14, 14, 14, 8, 14, 8);
    for (const auto& [x, y] : {std::pair{5, 8}, std::pair{8, 5}, std::pair{8, 11}, std::pair{10, 10}})
        EXPECT_EQ(pie.Surface->PixelAt(x, y), Red) << x << "," << y;
}

TEST(D2DCanvas, XorShapesAndFocusRectanglesTwiceRestoreThePixels) {
    RequireStarted();
    for (const bool alpha : {false, true}) {
        TDrawing d = NewDrawing(alpha);
        d.Canvas->FillRect(3, 3, 9, 12, 0x3366CC);
        const std::vector<uint32_t> before = Snapshot(*d.Surface);
        d.Canvas->SetRop2(14);
        d.Canvas->SetPen(0x00FF00, 1, 0);
        d.Canvas->SetBrush(0xFF00FF, 0);
        d.Canvas->Rectangle(1, 1, 12, 10);
        EXPECT_NE(Snapshot(*d.Surface), before);
        d.Canvas->Rectangle(1, 1, 12, 10);
        EXPECT_EQ(Snapshot(*d.Surface), before) << "xor rectangle, alpha " << alpha;
        d.Canvas->DrawFocusRect(2, 2, 13, 13);
        EXPECT_NE(Snapshot(*d.Surface), before);
        d.Canvas->DrawFocusRect(2, 2, 13, 13);
        EXPECT_EQ(Snapshot(*d.Surface), before) << "focus rectangle, alpha " << alpha;
    }
}

TEST(D2DCanvas, GetPixelReadsTheLastDrawingAndMinusOneOutsideTheClip) {
    RequireStarted();
    TDrawing d = NewDrawing();
    d.Canvas->FillRect(4, 4, 6, 6, Red);
    EXPECT_EQ(d.Canvas->GetPixel(5, 5), Red);
    d.Canvas->ClipExclude(5, 5, 6, 6);
    EXPECT_EQ(d.Canvas->GetPixel(5, 5), -1);
    EXPECT_EQ(d.Canvas->GetPixel(4, 4), Red);
    EXPECT_EQ(d.Canvas->GetPixel(-1, 0), -1);
}

TEST(D2DCanvas, AlphaSurfacesCopyExactlyBetweenEachOther) {
    RequireStarted();
    TDrawing source = NewDrawing(true, 4);
    // Half-transparent red, premultiplied.
    uint8_t* bits = source.Surface->Bits();
    const uint32_t half = 0x80800000u;
    std::memcpy(bits, &half, 4);
    TDrawing onto = NewDrawing(true, 4);
    onto.Canvas->DrawSurfaceEx(source.Surface.Get(), 0, 0, 4, 4, 0, 0, 4, 4, RopSourceCopy, 255, false);
    EXPECT_EQ(Testing::Raw(*onto.Surface, 0, 0), half);
    TDrawing opaque = NewDrawing(false, 4);
    opaque.Canvas->DrawSurfaceEx(source.Surface.Get(), 0, 0, 4, 4, 0, 0, 4, 4, RopSourceCopy, 255, false);
    EXPECT_EQ(opaque.Surface->AlphaAt(0, 0), 255);
    EXPECT_EQ(opaque.Surface->PixelAt(0, 0), 0x80);
}

// ---- Direct pixel writers keep their pixels ------------------------------------

TEST(D2DCanvas, DirectPixelWritesSurviveTheNextBatch) {
    RequireStarted();
    struct TWriter {
        const char* Name;
        void (*Write)(TD2DCanvas& c);
    };
    const TWriter writers[] = {
        {"flood fill",
         [](TD2DCanvas& c) {
             c.SetBrush(Red, 0);
             c.FloodFill(0, 0, White, false);
         }},
        {"software blit",
         [](TD2DCanvas& c) {
             TDrawing src = NewDrawing(false, 4);
             c.DrawSurfaceEx(src.Surface.Get(), 0, 0, 4, 4, 0, 0, 8, 8, 0x00550009 /* DSTINVERT */, 255, false);
         }},
        {"pen-mode combine",
         [](TD2DCanvas& c) {
             c.SetRop2(3);
             c.SetBrush(Black, 0);
             c.Rectangle(0, 0, 8, 8);
             c.SetRop2(4);
         }},
        {"focus rectangle", [](TD2DCanvas& c) { c.DrawFocusRect(0, 0, 8, 8); }},
    };
    for (const bool failedBatch : {false, true})
        for (const TWriter& w : writers) {
            SCOPED_TRACE(std::string(w.Name) + (failedBatch ? " and a dropped target" : ""));
            TDrawing d = NewDrawing();
            w.Write(*d.Canvas);
            d.Surface->FlushSurfaceDraw();
            const std::vector<uint32_t> written = Snapshot(*d.Surface);
            if (failedBatch) {
                FailD2DBatchesForTests(1);
                d.Surface->BeginSurfaceDraw();
                d.Surface->FlushSurfaceDraw();
                ASSERT_FALSE(d.Surface->RenderTarget);
            }
            d.Canvas->FillRect(12, 12, 13, 13, Blue);
            d.Surface->FinishDrawing();
            std::vector<uint32_t> expected = written;
            expected[12 * Size + 12] = 0xFF000000u | uint32_t(Blue);
            EXPECT_EQ(Snapshot(*d.Surface), expected);
        }
}

// ---- Mends ----------------------------------------------------------------------

TEST(D2DCanvas, AFailingLayerLeavesTheCanvasOnItsSurface) {
    RequireStarted();
    TDrawing d = NewDrawing();
    d.Canvas->SetOrigin(1, 1);
    d.Canvas->SetRop2(14);
    FailD2DRenderTargetsForTests(1);
    EXPECT_THROW(d.Canvas->Rectangle(0, 0, 10, 10), System::Exception);
    FailD2DRenderTargetsForTests(0);
    EXPECT_FALSE(d.Canvas->LayerActive);
    EXPECT_EQ(d.Canvas->GetSurface(), d.Surface.Get());
    EXPECT_EQ(d.Canvas->TargetSurface.Get(), nullptr);
    EXPECT_EQ(d.Canvas->CurrentState.Rop2, 14);
    d.Canvas->SetRop2(4);
    d.Canvas->FillRect(0, 0, 2, 2, Red);
    d.Canvas->MoveTo(5, 5);
    d.Canvas->LineTo(8, 5);
    // Drawn on the real surface with the origin (1, 1) as it was.
    EXPECT_EQ(d.Surface->PixelAt(1, 1), Red);
    EXPECT_EQ(d.Surface->PixelAt(2, 2), Red);
    EXPECT_EQ(d.Surface->PixelAt(3, 3), White);
    EXPECT_EQ(d.Surface->PixelAt(6, 6), Black);
    EXPECT_EQ(d.Surface->PixelAt(9, 6), White);
}

TEST(D2DCanvas, AFailingTextRectPutsTheClipBack) {
    RequireStarted();
    auto surface = System::MakeRef<TD2DSurface>(Size, Size, false);
    auto canvas = System::MakeRef<TD2DCanvas>(surface.Get());
    FailD2DRenderTargetsForTests(1);
    EXPECT_THROW(canvas->TextRect(2, 2, 6, 6, 2, 2, u"H", true), System::Exception);
    FailD2DRenderTargetsForTests(0);
    int32_t l, t, r, b;
    ASSERT_TRUE(canvas->GetClipBox(l, t, r, b));
    EXPECT_EQ((std::vector{l, t, r, b}), (std::vector{0, 0, Size, Size}));
}

TEST(D2DCanvas, ADestroyedCanvasDeletesItsFont) {
    RequireStarted();
    HFONT font = nullptr;
    {
        TDrawing d = NewDrawing();
        d.Canvas->SetFont(u"Tahoma", -13, 0, Black);
        d.Canvas->TextOut(1, 1, u"H");
        font = d.Canvas->FontHandle;
        ASSERT_NE(font, nullptr);
        ASSERT_EQ(GetCurrentObject(D2DMemoryDC(), OBJ_FONT), font);
    }
    EXPECT_EQ(GetObjectType(font), 0u);
}

// ---- Text ----------------------------------------------------------------------

TEST(D2DText, ExtentsAreGdisAndTheInkSitsInItsCell) {
    RequireStarted();
    TDrawing d = NewDrawing(false, 64);
    d.Canvas->SetFont(u"Tahoma", -16, 0, Black);
    d.Canvas->SetBackground(White, true);
    int32_t w = 0, h = 0;
    d.Canvas->TextExtent(u"Hx", w, h);
    LOGFONTW font{};
    font.lfHeight = -16;
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    wcscpy(font.lfFaceName, L"Tahoma");
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT handle = CreateFontIndirectW(&font);
    HGDIOBJ old = SelectObject(dc, handle);
    SIZE gdi{};
    GetTextExtentPoint32W(dc, L"Hx", 2, &gdi);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, old);
    DeleteObject(handle);
    DeleteDC(dc);
    EXPECT_EQ(w, gdi.cx);
    EXPECT_EQ(h, gdi.cy);
    int32_t empty = -1, emptyHeight = 0;
    d.Canvas->TextExtent(u"", empty, emptyHeight);
    EXPECT_EQ(empty, 0);
    EXPECT_EQ(emptyHeight, gdi.cy);

    const int32_t x = 10, y = 12;
    int32_t hw = 0, hh = 0;
    d.Canvas->TextExtent(u"H", hw, hh);
    d.Canvas->TextOut(x, y, u"H");
    int32_t left = 64, top = 64, right = -1, bottom = -1;
    for (int32_t py = 0; py < 64; ++py)
        for (int32_t px = 0; px < 64; ++px)
            if (d.Surface->PixelAt(px, py) != White)
                left = std::min(left, px), top = std::min(top, py), right = std::max(right, px),
                bottom = std::max(bottom, py);
    ASSERT_GE(right, 0) << "no ink";
    EXPECT_GE(left, x - 2);
    EXPECT_GE(top, y);
    EXPECT_LT(right, x + hw + 4);
    EXPECT_LT(bottom, y + hh + 1);
    EXPECT_LE(std::abs(bottom - (y + int32_t(metrics.tmAscent) - 1)), 1);
}

TEST(D2DText, EmptyTextDrawsNothingAndRotatedTextGoesUpWithoutFill) {
    RequireStarted();
    TDrawing d = NewDrawing(false, 64);
    d.Canvas->SetBackground(Red, false);
    d.Canvas->TextOut(5, 5, u"");
    EXPECT_EQ(Mismatches(*d.Surface, White, White, [](int, int) { return true; }), "");
    d.Canvas->SetFont(u"Tahoma", -12, 0, Black);
    int32_t w = 0, h = 0;
    d.Canvas->TextExtent(u"HHHH", w, h);
    d.Canvas->SetTextAngle(900);
    d.Canvas->TextOut(20, 50, u"HHHH");
    int32_t ink = 0, red = 0, stray = 0;
    for (int32_t py = 0; py < 64; ++py)
        for (int32_t px = 0; px < 64; ++px) {
            const int32_t c = d.Surface->PixelAt(px, py);
            if (c == Red) ++red;
            if (c == White) continue;
            ++ink;
            // Turned about (20, 50): the cell now spans (20, 50 - w)..(20 + h, 50).
            if (px < 20 - 1 || px > 20 + h + 1 || py < 50 - w - 4 || py > 50 + 1) ++stray;
        }
    EXPECT_GT(ink, 0);
    EXPECT_EQ(red, 0);
    EXPECT_EQ(stray, 0);
}

TEST(D2DText, OpaqueTextRectFillsItsRectangleEvenInTransparentMode) {
    RequireStarted();
    TDrawing d = NewDrawing(false, 32);
    d.Canvas->SetBackground(Red, true);
    d.Canvas->SetFont(u"Tahoma", -12, 0, Black);
    d.Canvas->TextRect(2, 2, 20, 10, 3, 2, u"Hi", true);
    EXPECT_EQ(d.Surface->PixelAt(19, 9), Red);
    EXPECT_EQ(d.Surface->PixelAt(2, 2), Red);
    EXPECT_EQ(d.Surface->PixelAt(20, 9), White);
    EXPECT_EQ(d.Surface->PixelAt(2, 10), White) << "the text is clipped to the rectangle";
}

// `text` drawn black in Tahoma on a white surface, at (0, 0) or, turned
// upwards, from the bottom-left corner.
TInkBox RunInk(TPlatformSurface& surface, const std::u16string& text, int32_t height, int32_t style,
               int32_t angle = 0) {
    TRef<TPlatformCanvas> canvas = surface.CreateCanvas();
    canvas->FillRect(0, 0, surface.Width(), surface.Height(), White);
    canvas->SetFont(u"Tahoma", height, style, Black);
    canvas->SetBackground(White, true);
    canvas->SetTextAngle(angle);
    canvas->TextOut(0, angle == 0 ? 0 : surface.Height(), text);
    canvas = nullptr;
    surface.FinishDrawing();
    return InkBox(surface);
}

// Text is measured by GDI and drawn by DirectWrite: a run must cover what
// GDI's own run of it covers, or a label that it fills loses its last
// glyph. The surface has room past the extent, so a run drawn too wide
// shows. Under Wine, GDI's metrics round the character height of some
// heights off by a pixel (the wizard's 11 points is -15); DirectWrite joins
// "fi" into one glyph that GDI measures as two.
TEST(D2DText, ARunCoversWhatGdisRunOfItCovers) {
    RequireStarted();
    struct TCase {
        int32_t Height;
        int32_t Style;
        const char16_t* Text;
    };
    const char16_t* const status = u"Baixando e instalando: 98,2 KB de 98,2 KB  (46 de 46";
    const TCase cases[] = {
        {-15, 0, status},  {-15, FontStyleBold, status}, {-10, 0, status},
        {-20, 0, status},  {-23, 0, u"HHHH 1234567890"}, {-12, 0, u"Verificando fi fi fi fi fi fi fi"},
    };
    constexpr int32_t room = 8;
    for (const TCase& c : cases) {
        const std::string what = Zyl::Testing::Narrow(c.Text) + " at " + std::to_string(c.Height);
        TDrawing d = NewDrawing(false, 8);
        d.Canvas->SetFont(u"Tahoma", c.Height, c.Style, Black);
        int32_t w = 0, h = 0;
        d.Canvas->TextExtent(c.Text, w, h);
        const TInkBox gdi =
            RunInk(*System::MakeRef<TWinSurface>(w + room, h + room, false), c.Text, c.Height, c.Style);
        const TInkBox d2d =
            RunInk(*System::MakeRef<TD2DSurface>(w + room, h + room, false), c.Text, c.Height, c.Style);
        ASSERT_GT(gdi.Right, 0) << what << ": gdi drew no ink";
        const int32_t edges[4][2] = {
            {d2d.Left, gdi.Left}, {d2d.Top, gdi.Top}, {d2d.Right, gdi.Right}, {d2d.Bottom, gdi.Bottom}};
        for (const auto& [mine, gdis] : edges)
            EXPECT_LE(std::abs(mine - gdis), 1) << what << ": ink from " << d2d.Left << "," << d2d.Top << " to "
                                                << d2d.Right << "," << d2d.Bottom << ", GDI's from " << gdi.Left
                                                << "," << gdi.Top << " to " << gdi.Right << "," << gdi.Bottom
                                                << " in an extent " << w << " wide";
    }
}

// A run narrowed to its extent is narrowed along its own direction.
TEST(D2DText, ATurnedRunKeepsToItsExtent) {
    RequireStarted();
    const std::u16string text = u"fi fi fi fi fi fi fi";
    TDrawing d = NewDrawing(false, 8);
    d.Canvas->SetFont(u"Tahoma", -12, 0, Black);
    int32_t w = 0, h = 0;
    d.Canvas->TextExtent(text, w, h);
    const TInkBox along = RunInk(*System::MakeRef<TD2DSurface>(w + 8, h + 8, false), text, -12, 0);
    const TInkBox up = RunInk(*System::MakeRef<TD2DSurface>(h + 8, w + 8, false), text, -12, 0, 900);
    ASSERT_GT(along.Right, 0);
    EXPECT_LE(along.Right, w + 1);
    EXPECT_LE(std::abs((up.Bottom - up.Top) - (along.Right - along.Left)), 1)
        << "turned, the ink runs " << up.Bottom - up.Top << " high; along, " << along.Right - along.Left << " wide";
}

TEST(D2DText, TheCachesKeepShortLayoutsInTurnAndEmptyTheFormatsWhenFull) {
    RequireStarted();
    ClearD2DTextCaches();
    TDrawing d = NewDrawing(false, 8);
    d.Canvas->SetFont(u"Tahoma", -10, 0, Black);
    d.Canvas->TextOut(0, 0, std::u16string(200, u'a'));
    EXPECT_EQ(D2DTextLayoutCacheCount(), 1);
    d.Canvas->TextOut(0, 0, std::u16string(201, u'a'));
    EXPECT_EQ(D2DTextLayoutCacheCount(), 1);
    for (int32_t i = 1; i < 64; ++i) d.Canvas->TextOut(0, 0, u"t" + System::Int64ToStr(i));
    EXPECT_EQ(D2DTextLayoutCacheCount(), 64);
    d.Canvas->TextOut(0, 0, u"t64");
    EXPECT_EQ(D2DTextLayoutCacheCount(), 64);
    EXPECT_EQ(D2DTextLayoutCacheKey(0), u"Tahoma|-10|0|t64");
    EXPECT_EQ(D2DTextFormatCacheCount(), 1);
    // Heights give sizes of their own, though GDI may round two alike.
    for (int32_t height = -11; D2DTextFormatCacheCount() < 96; --height) {
        ASSERT_GT(height, -400);
        const int32_t before = D2DTextFormatCacheCount();
        d.Canvas->SetFont(u"Tahoma", height, 0, Black);
        int32_t w, h;
        d.Canvas->TextExtent(u"x", w, h);
        ASSERT_GE(D2DTextFormatCacheCount(), before) << height;
    }
    d.Canvas->SetFont(u"Tahoma", -10, 1, Black);
    int32_t w, h;
    d.Canvas->TextExtent(u"x", w, h);
    EXPECT_EQ(D2DTextFormatCacheCount(), 1);
    ClearD2DTextCaches();
}

// ---- References -----------------------------------------------------------------

TEST(D2DCanvas, CanvasesReleaseEveryReferenceTheyTake) {
    RequireStarted();
    ClearD2DTextCaches();
    const ULONG factory = RefCount(GetD2DFactory().Get()), wic = RefCount(GetWicFactory().Get()),
                shared = RefCount(GetD2DSharedTarget().Get()), write = RefCount(GetDWriteFactory().Get());
    for (int32_t i = 0; i < 100; ++i) {
        TDrawing d = NewDrawing(i % 2 == 0, 12);
        TDrawing other = NewDrawing(i % 2 == 1, 4);
        TD2DCanvas& c = *d.Canvas;
        c.SetFont(u"Tahoma", -9 - i % 3, i % 4, Black);
        c.TextOut(1, 1, u"Ab");
        c.SetBrush(Red, 2 + i % 6);
        c.Ellipse(0, 0, 10, 10);
        c.SetPen(Blue, 1 + i % 3, i % 5);
        c.Pie(0, 0, 12, 12, 12, 6, 6, 0);
        c.SetRop2(14);
        c.Rectangle(1, 1, 9, 9);
        c.SetRop2(4);
        c.DrawSurfaceEx(other.Surface.Get(), 0, 0, 4, 4, 0, 0, 8, 8, RopSourceCopy, 128, true);
        c.DrawSurfaceTransparent(other.Surface.Get(), 0, 0, 4, 4, 0, 0, 4, 4, White);
        d.Surface->FinishDrawing();
    }
    ClearD2DTextCaches();
    EXPECT_EQ(RefCount(GetD2DFactory().Get()), factory);
    EXPECT_EQ(RefCount(GetWicFactory().Get()), wic);
    EXPECT_EQ(RefCount(GetD2DSharedTarget().Get()), shared);
    EXPECT_EQ(RefCount(GetDWriteFactory().Get()), write);
}

// ---- The library's own widgets --------------------------------------------------

namespace {

struct TWidgetPicture {
    std::vector<uint32_t> Pixels;
    int32_t Width = 0;
};

// The drawn button, check box, radio button and scroll bar in one window,
// drawn through `services`; the picture is also written to `png` for a
// person to look at.
TWidgetPicture DrawWidgets(TRef<TPlatformServices> services, const std::u16string& png) {
    Testing::TScopedPlatformServices scoped(services);
    auto app = System::MakeRef<TDrawnApp>(System::MakeRef<TOffscreenApp>());
    const TRef<TPlatformWindow> window = app->CreateWindow();
    window->SetSize(240, 160);
    auto* shell = static_cast<TOffscreenWindow*>(static_cast<TDrawnWindow*>(window.Get())->ShellWindow.Get());
    shell->Show();
    std::vector<TRef<TPlatformControl>> controls;
    const auto place = [&](TRef<TPlatformControl> control, int32_t x, int32_t y, int32_t w, int32_t h) {
        window->AddChild(control.Get(), x, y);
        control->SetBounds(x, y, w, h);
        controls.push_back(control);
        return control;
    };
    place(app->CreateButton(), 10, 10, 80, 24);
    place(app->CreateCheckBox(), 10, 50, 20, 20)->SetChecked(true);
    place(app->CreateRadioButton(), 40, 50, 20, 20)->SetChecked(true);
    place(app->CreateScrollBar(), 120, 10, 20, 120);
    place(app->CreateButton(), 10, 110, 90, 26)->SetText(u"Avançar");
    shell->RequestFullRepaint();
    shell->RenderWindowSurface();
    const TRef<TPlatformSurface> surface = shell->GetSurface();
    surface->SaveToPng(png);
    TWidgetPicture picture{{}, surface->Width()};
    for (int32_t y = 0; y < surface->Height(); ++y)
        for (int32_t x = 0; x < surface->Width(); ++x) picture.Pixels.push_back(uint32_t(surface->PixelAt(x, y)));
    return picture;
}

} // namespace

TEST(D2DCanvas, DrawsTheLibrarysWidgetsAsTheSoftRendererDoes) {
    RequireStarted();
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::u16string folder = System::FromWStr(temp);
    const TWidgetPicture soft = DrawWidgets(System::MakeRef<TSoftServices>(), folder + u"zyl_d2d_widgets_soft.png");
    const TWidgetPicture d2d = DrawWidgets(System::MakeRef<TD2DServices>(), folder + u"zyl_d2d_widgets_d2d.png");
    ASSERT_EQ(soft.Pixels.size(), d2d.Pixels.size());
    // Everything but the caption (soft has fonts of its own) and the round
    // radio button (both aliased, with their own edge rules) is exact.
    std::string differences;
    int32_t roundDifferences = 0;
    for (size_t i = 0; i < soft.Pixels.size(); ++i) {
        const int32_t x = int32_t(i) % soft.Width, y = int32_t(i) / soft.Width;
        if (soft.Pixels[i] == d2d.Pixels[i] || In(x, y, 12, 112, 98, 134)) continue;
        if (In(x, y, 40, 50, 60, 70)) ++roundDifferences;
        else if (differences.size() < 400) differences += std::to_string(x) + "," + std::to_string(y) + " ";
    }
    EXPECT_EQ(differences, "");
    EXPECT_LE(roundDifferences, 40);
}
