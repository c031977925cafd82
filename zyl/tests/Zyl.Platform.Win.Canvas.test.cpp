#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Zyl.Platform.Win.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

constexpr int32_t kRed = 0x0000FF;
constexpr int32_t kGreen = 0x00FF00;
constexpr int32_t kBlue = 0xFF0000;
constexpr int32_t kWhite = 0xFFFFFF;

struct TDrawing {
    TRef<TWinSurface> Surface;
    TRef<TWinCanvas> Canvas;
};

// A surface without alpha, filled with Background, and a canvas on it.
TDrawing NewDrawing(int32_t Width = 32, int32_t Height = 32, int32_t Background = kWhite) {
    TDrawing d{MakeRef<TWinSurface>(Width, Height, false), nullptr};
    d.Canvas = TRef<TWinCanvas>(static_cast<TWinCanvas*>(d.Surface->CreateCanvas().Get()));
    d.Canvas->FillRect(0, 0, Width, Height, Background);
    return d;
}

int CountColoured(TWinSurface& Surface, int32_t Color, int32_t Left, int32_t Top, int32_t Right,
                  int32_t Bottom) {
    int count = 0;
    for (int32_t y = Top; y < Bottom; ++y)
        for (int32_t x = Left; x < Right; ++x) count += Surface.PixelAt(x, y) == Color;
    return count;
}

bool Alive(HGDIOBJ Handle) { return Handle && GetObjectType(Handle) != 0; }

} // namespace

TEST(WinCanvas, RasterModesCombinePenAndBackgroundAsTheirBooleanOperation) {
    const uint32_t pen = 0x3C5AF0, dest = 0x96C30F;
    const auto expected = [&](int32_t mode) -> uint32_t {
        const uint32_t P = pen, D = dest;
        switch (mode) {
            case 0: return 0;
            case 1: return ~0u;
            case 2: return D;
            case 3: return ~D;
            case 5: return ~P;
            case 6: return P | ~D;
            case 7: return P & ~D;
            case 8: return ~P | D;
            case 9: return ~P & D;
            case 10: return P | D;
            case 11: return ~(P | D);
            case 12: return P & D;
            case 13: return ~(P & D);
            case 14: return P ^ D;
            case 15: return ~(P ^ D);
            default: return P;  // 4 copy, and every mode outside 0..15
        }
    };
    for (int32_t mode : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, -1}) {
        TDrawing d = NewDrawing(8, 8, int32_t(dest));
        d.Canvas->SetPen(int32_t(pen), 1, PenStyleSolid);
        d.Canvas->SetBrush(int32_t(pen), BrushStyleSolid);
        d.Canvas->SetRop2(mode);
        d.Canvas->Rectangle(1, 1, 7, 7);
        EXPECT_EQ(uint32_t(d.Surface->PixelAt(3, 3)), expected(mode) & 0xFFFFFF) << "mode " << mode;
        EXPECT_EQ(uint32_t(d.Surface->PixelAt(1, 1)), expected(mode) & 0xFFFFFF) << "border, mode " << mode;
        EXPECT_EQ(uint32_t(d.Surface->PixelAt(0, 0)), dest) << "outside, mode " << mode;
    }
}

TEST(WinCanvas, PenStylesAboveNullDrawSolidAndNullDrawsNothing) {
    struct TCase {
        int32_t Style;
        const char* Looks;  // "solid", "broken" or "none"
    };
    const TCase cases[] = {{0, "solid"}, {1, "broken"}, {2, "broken"}, {3, "broken"}, {4, "broken"},
                           {5, "none"},  {6, "solid"},  {7, "solid"},  {100, "solid"}};
    for (const TCase& c : cases) {
        TDrawing d = NewDrawing();
        d.Canvas->SetPen(kRed, 1, c.Style);
        d.Canvas->MoveTo(1, 5);
        d.Canvas->LineTo(31, 5);
        const int red = CountColoured(*d.Surface, kRed, 0, 0, 32, 32);
        const std::string looks = red == 30 ? "solid" : red == 0 ? "none" : "broken";
        EXPECT_EQ(looks, c.Looks) << "style " << c.Style << ": " << red << " red pixels";
        EXPECT_EQ(d.Canvas->PenX, 31);
    }
}

TEST(WinCanvas, HatchesRepeatEveryEightPixelsInTheirDirection) {
    // Pixel (x, y) in hatch colour, for each hatch style, as a function of
    // the position inside the 8 x 8 cell: a row, a column, one diagonal, the
    // other diagonal, and the two crosses.
    for (int32_t style = BrushStyleHorizontal; style <= BrushStyleDiagCross; ++style) {
        TDrawing d = NewDrawing();
        d.Canvas->SetBackground(kWhite, false);
        d.Canvas->SetBrush(kBlue, style);
        d.Canvas->FillRectBrush(0, 0, 16, 16);
        std::map<int, int> rows, cols, downs, ups;  // lines keyed by position in the cell
        int total = 0;
        for (int32_t y = 0; y < 16; ++y)
            for (int32_t x = 0; x < 16; ++x) {
                const int32_t p = d.Surface->PixelAt(x, y);
                ASSERT_TRUE(p == kBlue || p == kWhite) << style;
                if (p != kBlue) continue;
                ++total;
                ++rows[y % 8];
                ++cols[x % 8];
                ++downs[((x - y) % 8 + 8) % 8];
                ++ups[(x + y) % 8];
            }
        const auto full = [](const std::map<int, int>& lines) {
            for (const auto& [key, n] : lines)
                if (n == 32) return true;  // one line of every cell, 4 cells
            return false;
        };
        switch (style) {
            case BrushStyleHorizontal: EXPECT_EQ(rows.size(), 1u); EXPECT_EQ(total, 32); break;
            case BrushStyleVertical: EXPECT_EQ(cols.size(), 1u); EXPECT_EQ(total, 32); break;
            case BrushStyleFDiagonal: EXPECT_EQ(downs.size(), 1u); EXPECT_EQ(total, 32); break;
            case BrushStyleBDiagonal: EXPECT_EQ(ups.size(), 1u); EXPECT_EQ(total, 32); break;
            case BrushStyleCross:
                EXPECT_TRUE(full(rows) && full(cols)) << "cross";
                EXPECT_EQ(total, 4 * 15);
                break;
            case BrushStyleDiagCross:
                EXPECT_TRUE(full(downs) && full(ups)) << "diagonal cross";
                // The two diagonals of a cell meet in 0 or 2 pixels.
                EXPECT_TRUE(total == 4 * 16 || total == 4 * 14) << total;
                break;
        }
    }
}

TEST(WinCanvas, FontCarriesHeightStyleBitsAndAFaceNameCutTo31Units) {
    TDrawing d = NewDrawing();
    const std::u16string face40 = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmn";
    struct TCase {
        int32_t Style;
        LONG Weight;
        BYTE Italic, Underline, StrikeOut;
    };
    const TCase cases[] = {{0, 400, 0, 0, 0},  {1, 700, 0, 0, 0},  {2, 400, 1, 0, 0},
                           {4, 400, 0, 1, 0},  {8, 400, 0, 0, 1},  {15, 700, 1, 1, 1}};
    for (const TCase& c : cases) {
        d.Canvas->SetFont(face40, -13, c.Style, kRed);
        LOGFONTW font{};
        ASSERT_EQ(GetObjectW(d.Canvas->CurrentFont(), sizeof font, &font), int(sizeof font));
        EXPECT_EQ(font.lfHeight, -13);
        EXPECT_EQ(font.lfWeight, c.Weight) << c.Style;
        EXPECT_EQ(font.lfItalic, c.Italic) << c.Style;
        EXPECT_EQ(font.lfUnderline, c.Underline) << c.Style;
        EXPECT_EQ(font.lfStrikeOut, c.StrikeOut) << c.Style;
        EXPECT_EQ(font.lfCharSet, DEFAULT_CHARSET);
        EXPECT_EQ(font.lfQuality, CLEARTYPE_QUALITY);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(font.lfFaceName)), face40.substr(0, 31));
    }
}

TEST(WinCanvas, OriginMovesDrawingAndClipsLimitIt) {
    TDrawing d = NewDrawing();
    d.Canvas->SetOrigin(5, 6);
    d.Canvas->SetOrigin(5, 6);  // set, not moved by
    int32_t x = 0, y = 0;
    d.Canvas->GetOrigin(x, y);
    EXPECT_EQ(x, 5);
    EXPECT_EQ(y, 6);
    d.Canvas->FillRect(0, 0, 2, 2, kRed);
    EXPECT_EQ(CountColoured(*d.Surface, kRed, 5, 6, 7, 8), 4);
    EXPECT_EQ(CountColoured(*d.Surface, kRed, 0, 0, 32, 32), 4);

    d.Canvas->SetOrigin(0, 0);
    d.Canvas->ClipRect(10, 10, 20, 20);
    d.Canvas->ClipExclude(12, 12, 14, 14);
    int32_t l, t, r, b;
    ASSERT_TRUE(d.Canvas->GetClipBox(l, t, r, b));
    EXPECT_EQ(l, 10);
    EXPECT_EQ(t, 10);
    EXPECT_EQ(r, 20);
    EXPECT_EQ(b, 20);
    d.Canvas->FillRect(0, 0, 32, 32, kBlue);
    EXPECT_EQ(CountColoured(*d.Surface, kBlue, 0, 0, 32, 32), 100 - 4);
    EXPECT_EQ(d.Surface->PixelAt(12, 12), kWhite);

    d.Canvas->ClipRect(0, 0, 5, 5);  // disjoint: nothing left
    EXPECT_FALSE(d.Canvas->GetClipBox(l, t, r, b));
    d.Canvas->ResetClip();
    d.Canvas->FillRect(0, 0, 32, 32, kGreen);
    EXPECT_EQ(CountColoured(*d.Surface, kGreen, 0, 0, 32, 32), 32 * 32);
}

TEST(WinCanvas, PentagramCentreIsFilledWithWindingOnly) {
    const TPlatformPoint star[5] = {{16, 1}, {25, 29}, {1, 11}, {31, 11}, {7, 29}};
    for (bool winding : {true, false}) {
        TDrawing d = NewDrawing();
        d.Canvas->SetPen(0, 1, PenStyleClear);
        d.Canvas->SetBrush(kRed, BrushStyleSolid);
        d.Canvas->Polygon(star, 5, 4, winding);
        EXPECT_EQ(d.Surface->PixelAt(16, 16), winding ? kRed : kWhite) << winding;
        EXPECT_EQ(d.Surface->PixelAt(16, 5), kRed) << "a point of the star";
    }
}

TEST(WinCanvas, ALastIndexBeyondTheArrayDrawsOnlyThePointsThatExist) {
    TDrawing d = NewDrawing();
    d.Canvas->SetPen(kRed, 1, PenStyleSolid);
    const TPlatformPoint points[4] = {{2, 2}, {20, 2}, {20, 20}, {2, 20}};
    d.Canvas->Polyline(points, 2, 3);
    EXPECT_EQ(d.Surface->PixelAt(10, 2), kRed);
    EXPECT_EQ(CountColoured(*d.Surface, kRed, 0, 3, 32, 32), 0) << "the third point is not part of the array";
    d.Canvas->PolyBezier(points, 4, 1000);
    EXPECT_EQ(d.Canvas->PenX, 2);
    EXPECT_EQ(d.Canvas->PenY, 20);
}

TEST(WinCanvas, TooFewPointsDrawNothingButTwoMakeAPolygon) {
    TDrawing d = NewDrawing();
    d.Canvas->SetPen(kRed, 1, PenStyleSolid);
    const TPlatformPoint points[4] = {{2, 2}, {20, 2}, {20, 20}, {2, 20}};
    d.Canvas->MoveTo(9, 9);
    d.Canvas->Polyline(points, 4, 0);
    d.Canvas->PolyBezier(points, 4, 2);
    EXPECT_EQ(CountColoured(*d.Surface, kRed, 0, 0, 32, 32), 0);
    EXPECT_EQ(d.Canvas->PenX, 9);
    d.Canvas->Polygon(points, 4, 1, false);
    EXPECT_EQ(d.Surface->PixelAt(10, 2), kRed);
    d.Canvas->PolyBezier(points, 4, 3);
    EXPECT_EQ(d.Canvas->PenX, 2);
    EXPECT_EQ(d.Canvas->PenY, 20);
}

TEST(WinCanvas, ClearBrushFillsNothingAndKeepsTheBrushItMadeBefore) {
    TDrawing d = NewDrawing();
    d.Canvas->SetBrush(kRed, BrushStyleSolid);
    const HGDIOBJ red = d.Canvas->CurrentBrush();
    d.Canvas->SetBrush(kBlue, BrushStyleClear);
    EXPECT_EQ(d.Canvas->CurrentBrush(), red);
    EXPECT_TRUE(Alive(red));
    d.Canvas->FillRectBrush(0, 0, 32, 32);
    d.Canvas->FrameRect(0, 0, 32, 32);
    d.Canvas->SetPen(kGreen, 1, PenStyleSolid);
    d.Canvas->Rectangle(4, 4, 20, 20);
    EXPECT_EQ(d.Surface->PixelAt(10, 10), kWhite) << "shapes are not filled";
    EXPECT_EQ(d.Surface->PixelAt(4, 10), kGreen);
    EXPECT_EQ(d.Surface->PixelAt(0, 0), kWhite);
    d.Canvas->SetBrush(kBlue, BrushStyleSolid);
    EXPECT_FALSE(Alive(red));
    d.Canvas->FrameRect(0, 0, 32, 32);
    EXPECT_EQ(d.Surface->PixelAt(0, 0), kBlue);
    EXPECT_EQ(d.Surface->PixelAt(1, 1), kWhite);
}

TEST(WinCanvas, TextStaysInsideTextRectAndEmptyTextsFollowTheirRules) {
    TDrawing d = NewDrawing();
    d.Canvas->SetFont(u"Tahoma", -20, FontStyleBold, kRed);
    d.Canvas->SetBackground(kBlue, false);
    d.Canvas->TextRect(4, 4, 20, 14, 0, 0, u"WWWWWWWW", true);
    int inside = 0;
    for (int32_t y = 0; y < 32; ++y)
        for (int32_t x = 0; x < 32; ++x) {
            const bool in = x >= 4 && x < 20 && y >= 4 && y < 14;
            if (!in) {
                ASSERT_EQ(d.Surface->PixelAt(x, y), kWhite) << x << "," << y;
            } else {
                inside += d.Surface->PixelAt(x, y) != kWhite;
            }
        }
    EXPECT_EQ(inside, 16 * 10) << "the opaque rectangle is filled";

    TDrawing e = NewDrawing();
    e.Canvas->SetBackground(kGreen, false);
    e.Canvas->TextOut(0, 0, u"");
    EXPECT_EQ(CountColoured(*e.Surface, kWhite, 0, 0, 32, 32), 32 * 32);
    e.Canvas->TextRect(2, 2, 6, 6, 2, 2, u"", true);
    EXPECT_EQ(CountColoured(*e.Surface, kGreen, 0, 0, 32, 32), 16);

    int32_t w = -1, h = -1, wx = -1, hx = -1;
    e.Canvas->TextExtent(u"", w, h);
    e.Canvas->TextExtent(u"x", wx, hx);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, hx);
    EXPECT_GT(hx, 0);
    int32_t height, ascent, descent, internal, external, average, maximum;
    e.Canvas->FontMetrics(height, ascent, descent, internal, external, average, maximum);
    EXPECT_EQ(height, ascent + descent);
    EXPECT_GT(maximum, 0);
}

TEST(WinCanvas, DrawSurfaceCopiesInvertsStretchesAndBlends) {
    TRef<TWinSurface> source = MakeRef<TWinSurface>(4, 4, true);
    {
        TRef<TPlatformCanvas> c = source->CreateCanvas();
        c->FillRect(0, 0, 2, 4, kRed);
        c->FillRect(2, 0, 4, 4, kGreen);
    }
    // Half-transparent blue at (3, 3): premultiplied bytes (128, 0, 0, 128).
    const uint32_t halfBlue = 0x80000080;
    std::memcpy(source->Bits() + (3 * 4 + 3) * 4, &halfBlue, 4);
    // The fills left alpha 0; make every other pixel opaque.
    for (int i = 0; i < 15; ++i) source->Bits()[i * 4 + 3] = 255;

    TDrawing d = NewDrawing(16, 16, 0x808080);
    d.Canvas->DrawSurfaceEx(source.Get(), 0, 0, 4, 4, 0, 0, 4, 4, RopSourceCopy, 255, false);
    EXPECT_EQ(d.Surface->PixelAt(0, 0), kRed);
    EXPECT_EQ(d.Surface->PixelAt(3, 0), kGreen);

    d.Canvas->DrawSurfaceEx(source.Get(), 0, 0, 4, 4, 0, 0, 4, 4, SRCINVERT, 255, false);
    EXPECT_EQ(d.Surface->PixelAt(0, 0), 0);
    d.Canvas->DrawSurfaceEx(source.Get(), 0, 0, 2, 2, 4, 4, 8, 8, RopSourceCopy, 255, false);
    EXPECT_EQ(CountColoured(*d.Surface, kRed, 4, 4, 8, 8), 16) << "2x, exact";
    EXPECT_EQ(d.Surface->PixelAt(8, 8), 0x808080);

    // Constant opacity 128 over grey 0x80: red (255 * 128 + 128 * 127) / 255.
    d.Canvas->DrawSurfaceEx(source.Get(), 0, 0, 1, 1, 10, 10, 11, 11, RopSourceCopy, 128, false);
    const int32_t blended = d.Surface->PixelAt(10, 10);
    EXPECT_NEAR(blended & 0xFF, (255 * 128 + 0x80 * 127) / 255, 1);
    EXPECT_NEAR((blended >> 8) & 0xFF, (0x80 * 127) / 255, 1);

    // Per-pixel alpha: the half-transparent blue over grey.
    d.Canvas->DrawSurfaceEx(source.Get(), 3, 3, 4, 4, 12, 12, 13, 13, RopSourceCopy, 255, true);
    const int32_t over = d.Surface->PixelAt(12, 12);
    EXPECT_NEAR((over >> 16) & 0xFF, 128 + 0x80 * 127 / 255, 1);
    EXPECT_NEAR(over & 0xFF, 0x80 * 127 / 255, 1);

    // Use alpha on a surface without alpha at full opacity is a plain copy.
    TRef<TWinSurface> opaque = MakeRef<TWinSurface>(1, 1, false);
    opaque->CreateCanvas()->FillRect(0, 0, 1, 1, kBlue);
    d.Canvas->DrawSurfaceEx(opaque.Get(), 0, 0, 1, 1, 14, 14, 15, 15, RopSourceCopy, 255, true);
    EXPECT_EQ(d.Surface->PixelAt(14, 14), kBlue);
}

TEST(WinCanvas, DrawSurfaceTransparentLeavesTheKeyColour) {
    TRef<TWinSurface> source = MakeRef<TWinSurface>(2, 1, false);
    {
        TRef<TPlatformCanvas> c = source->CreateCanvas();
        c->FillRect(0, 0, 1, 1, kRed);
        c->FillRect(1, 0, 2, 1, kGreen);
    }
    TDrawing d = NewDrawing(4, 4);
    d.Canvas->DrawSurfaceTransparent(source.Get(), 0, 0, 2, 1, 0, 0, 2, 1, kGreen);
    EXPECT_EQ(d.Surface->PixelAt(0, 0), kRed);
    EXPECT_EQ(d.Surface->PixelAt(1, 0), kWhite);
}

namespace {

// A surface that is not a GDI surface.
class TForeignSurface : public TPlatformSurface {
public:
    int32_t Width() override { return 4; }
    int32_t Height() override { return 4; }
    bool HasAlpha() override { return false; }
};

} // namespace

TEST(WinCanvas, SurfacesOfOtherKindsOrWithoutPixelsDrawNothing) {
    TDrawing d = NewDrawing(8, 8);
    TRef<TForeignSurface> foreign = MakeRef<TForeignSurface>();
    d.Canvas->DrawSurfaceEx(foreign.Get(), 0, 0, 4, 4, 0, 0, 4, 4, RopSourceCopy, 255, false);
    d.Canvas->DrawSurfaceTransparent(foreign.Get(), 0, 0, 4, 4, 0, 0, 4, 4, 0);
    TRef<TWinSurface> empty = MakeRef<TWinSurface>(100000, 100000, false);
    d.Canvas->DrawSurfaceEx(empty.Get(), 0, 0, 4, 4, 0, 0, 4, 4, RopSourceCopy, 128, false);
    d.Canvas->DrawSurfaceEx(nullptr, 0, 0, 4, 4, 0, 0, 4, 4, RopSourceCopy, 255, false);
    EXPECT_EQ(CountColoured(*d.Surface, kWhite, 0, 0, 8, 8), 64);
}

TEST(WinCanvas, PixelsAndFloodFill) {
    TDrawing d = NewDrawing(8, 8);
    d.Canvas->SetPixel(3, 3, kRed);
    EXPECT_EQ(d.Canvas->GetPixel(3, 3), kRed);
    EXPECT_EQ(d.Surface->PixelAt(3, 3), kRed);
    d.Canvas->SetPen(kRed, 1, PenStyleSolid);
    d.Canvas->SetBrush(kWhite, BrushStyleClear);
    d.Canvas->Rectangle(0, 0, 6, 6);
    d.Canvas->SetBrush(kGreen, BrushStyleSolid);
    d.Canvas->FloodFill(1, 1, kRed, true);  // up to the red border
    EXPECT_EQ(d.Surface->PixelAt(2, 2), kGreen);
    EXPECT_EQ(d.Surface->PixelAt(3, 3), kRed);
    EXPECT_EQ(d.Surface->PixelAt(7, 7), kWhite);
    d.Canvas->SetBrush(kBlue, BrushStyleSolid);
    d.Canvas->FloodFill(7, 7, kWhite, false);  // the white area
    EXPECT_EQ(d.Surface->PixelAt(7, 7), kBlue);
    EXPECT_EQ(d.Surface->PixelAt(2, 2), kGreen);
}

// --- Object lifetimes --------------------------------------------------------

namespace {

// Runs a sequence on a fresh canvas: "P<name>" sets a pen (remembered under
// name), "S" saves, "R" restores, "D" destroys the canvas; "?<names>" checks
// that exactly these of the pens made so far are alive.
void RunPenScript(const std::vector<std::string>& Script) {
    TDrawing d = NewDrawing(4, 4);
    std::map<std::string, HGDIOBJ> pens;
    int32_t colour = 1;
    for (const std::string& step : Script) {
        SCOPED_TRACE(step);
        switch (step[0]) {
            case 'P':
                d.Canvas->SetPen(colour++, 1, PenStyleSolid);
                pens[step.substr(1)] = d.Canvas->CurrentPen();
                break;
            case 'S': d.Canvas->Save(); break;
            case 'R': d.Canvas->Restore(); break;
            case 'D': d.Canvas = nullptr; break;
            case '?': {
                std::string alive;
                for (const auto& [name, handle] : pens)
                    if (Alive(handle)) alive += name;
                EXPECT_EQ(alive, step.substr(1));
                break;
            }
        }
    }
}

} // namespace

TEST(WinCanvasObjects, PensLiveAsLongAsTheCanvasOrASavedStateHoldsThem) {
    const std::vector<std::vector<std::string>> scripts = {
        {"Pa", "?a", "Pb", "?b", "D", "?"},
        {"S", "Pr", "?r", "R", "?"},
        {"S", "S", "Pr", "R", "?", "R", "?"},
        {"Pr", "S", "Pb", "?br", "R", "?r", "D", "?"},
        {"Pa", "S", "Pb", "S", "Pc", "D", "?"},
        {"R", "Pa", "R", "?a", "S", "R", "?a"},
    };
    for (const auto& script : scripts) RunPenScript(script);
}

TEST(WinCanvasObjects, FortyNestedSavesEachRestoreTheirOwnPen) {
    std::vector<std::string> script = {"P@"};
    std::string alive = "@";
    // Names sort in the order made: @, A, B, ... (40 of them up to 'h').
    for (int i = 1; i <= 40; ++i) {
        const std::string name(1, char('@' + i));
        script.insert(script.end(), {"S", "P" + name});
    }
    for (int i = 40; i >= 1; --i) {
        script.push_back("R");
        std::string expect;
        for (int j = 0; j < i; ++j) expect += char('@' + j);
        script.push_back("?" + expect);
    }
    script.insert(script.end(), {"D", "?"});
    RunPenScript(script);
}

TEST(WinCanvasObjects, DestroyRestoresTheContextsOwnObjects) {
    TRef<TWinSurface> surface = MakeRef<TWinSurface>(4, 4, false);
    const HGDIOBJ pen = GetCurrentObject(surface->MemDC(), OBJ_PEN);
    const HGDIOBJ brush = GetCurrentObject(surface->MemDC(), OBJ_BRUSH);
    const HGDIOBJ font = GetCurrentObject(surface->MemDC(), OBJ_FONT);
    {
        TRef<TPlatformCanvas> canvas = surface->CreateCanvas();
        canvas->SetPen(kRed, 3, PenStyleSolid);
        canvas->Save();
        canvas->SetBrush(kRed, BrushStyleCross);
        canvas->Save();
        canvas->SetFont(u"Tahoma", -11, 0, 0);
    }
    EXPECT_EQ(GetCurrentObject(surface->MemDC(), OBJ_PEN), pen);
    EXPECT_EQ(GetCurrentObject(surface->MemDC(), OBJ_BRUSH), brush);
    EXPECT_EQ(GetCurrentObject(surface->MemDC(), OBJ_FONT), font);
}

TEST(WinCanvasObjects, CanvasKeepsItsSurfaceAlive) {
    TRef<TPlatformCanvas> canvas = MakeRef<TWinSurface>(4, 4, false)->CreateCanvas();
    canvas->FillRect(0, 0, 4, 4, kRed);
    ASSERT_NE(canvas->GetSurface(), nullptr);
    EXPECT_EQ(canvas->GetSurface()->PixelAt(3, 3), kRed);
}

// Wine's handle table ends near 65,000 objects: a leak of one object per
// round fails long before the end.
TEST(WinCanvasObjects, ChurnLeavesNoObjectBehind) {
    TDrawing d = NewDrawing(4, 4);
    for (int i = 0; i < 100000; ++i) {
        d.Canvas->SetPen(i & 0xFFFFFF, 1, i % 6);
        d.Canvas->SetBrush(i & 0xFFFFFF, i % 8);
        d.Canvas->SetFont(u"Tahoma", -10 - i % 5, i % 16, 0);
        d.Canvas->FillRect(0, 0, 4, 4, i & 0xFFFFFF);
    }
    EXPECT_EQ(d.Surface->PixelAt(2, 2), 99999);
    TRef<TWinSurface> surface = MakeRef<TWinSurface>(2, 2, false);
    for (int i = 0; i < 100000; ++i) {
        TRef<TPlatformCanvas> canvas = surface->CreateCanvas();
        canvas->SetPen(i, 1, 0);
        canvas->SetBrush(i, 0);
        canvas->FillRect(0, 0, 2, 2, i & 0xFFFFFF);
    }
    EXPECT_EQ(surface->PixelAt(1, 1), 99999);
}
