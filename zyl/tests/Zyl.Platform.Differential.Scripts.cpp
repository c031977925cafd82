// The differential scripts: each draws one family of operations with edge
// cases (empty and one-pixel shapes, surface edges, origins, clips).
#include "Zyl.Platform.Differential.h"

#include <cstdint>
#include <iterator>

namespace Zyl::Testing {

namespace {

constexpr int32_t Red = 0x0000FF, Green = 0x00A000, Blue = 0xFF0000, Black = 0, White = 0xFFFFFF,
                  Yellow = 0x00FFFF, Odd = 0x563412, Teal = 0x808000;

// Ternary raster operations of the system's own table.
constexpr int32_t SrcInvert = 0x660046, SrcAnd = 0x8800C6, SrcPaint = 0xEE0086, NotSrcCopy = 0x330008,
                  SrcErase = 0x440328, MergeCopy = 0xC000CA, PatInvert = 0x5A0049, DstInvert = 0x550009;

constexpr int32_t PenModeXor = 14, PenModeNotXor = 15;

template <size_t N> void Polygon(TPlatformCanvas& c, const TPlatformPoint (&p)[N], bool winding) {
    c.Polygon(p, int32_t(N), int32_t(N) - 1, winding);
}

template <size_t N> void Polyline(TPlatformCanvas& c, const TPlatformPoint (&p)[N]) {
    c.Polyline(p, int32_t(N), int32_t(N) - 1);
}

template <size_t N> void Bezier(TPlatformCanvas& c, const TPlatformPoint (&p)[N]) {
    c.PolyBezier(p, int32_t(N), int32_t(N) - 1);
}

void Line(TPlatformCanvas& c, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    c.MoveTo(x1, y1);
    c.LineTo(x2, y2);
}

// A 16 x 16 source with stripes, a block and single pixels, drawn only with
// operations whose pixels every backend shares.
TRef<TPlatformSurface> PatternSource(TPlatformServices& services, int32_t size) {
    TRef<TPlatformSurface> s = services.CreateSurface(size, size, false);
    TRef<TPlatformCanvas> c = s->CreateCanvas();
    c->FillRect(0, 0, size, size, White);
    for (int32_t x = 0; x < size; x += 3) c->FillRect(x, 0, x + 1, size, Blue);
    c->FillRect(size / 4, size / 4, size / 2, size * 3 / 4, Red);
    for (int32_t i = 0; i < size; i += 2) c->SetPixel(i, size - 1 - i, Odd);
    return s;
}

void Fills(TPlatformCanvas& c, TPlatformServices&) {
    c.FillRect(4, 4, 30, 20, Red);
    c.FillRect(20, 10, 60, 40, Blue);
    c.FillRect(-5, 50, 10, 70, Green);
    c.FillRect(40, 50, 40, 60, Black);
    c.FillRect(62, 0, 90, 3, Odd);
    c.SetBrush(Yellow, BrushStyleSolid);
    c.FillRectBrush(30, 44, 62, 62);
    c.SetBrush(Black, BrushStyleClear);
    c.FillRectBrush(0, 0, 64, 64);
    c.SetOrigin(3, -2);
    c.FillRect(0, 30, 8, 38, Teal);
}

// Hatch patterns lie on the device's 8 x 8 grid whatever the origin.
void Hatches(TPlatformCanvas& c, int32_t originX, int32_t originY, bool opaque) {
    c.SetOrigin(originX, originY);
    c.SetBackground(Yellow, !opaque);
    for (int32_t style = 2; style <= 7; ++style) {
        const int32_t x = (style - 2) * 10 + 1;
        c.SetBrush(style % 2 ? Blue : Red, style);
        c.FillRectBrush(x, 1, x + 9, 40);
    }
    c.SetPen(Black, 1, 0);
    c.SetBrush(Green, 6);
    c.Rectangle(3, 44, 29, 60);
    c.SetBrush(Odd, 7);
    c.FrameRect(33, 44, 60, 61);
}

void HatchesAtZero(TPlatformCanvas& c, TPlatformServices&) { Hatches(c, 0, 0, true); }
void HatchesShifted(TPlatformCanvas& c, TPlatformServices&) { Hatches(c, 3, 5, false); }
void HatchesNegative(TPlatformCanvas& c, TPlatformServices&) { Hatches(c, -7, 2, true); }

void Frames(TPlatformCanvas& c, TPlatformServices&) {
    c.SetBrush(Red, BrushStyleSolid);
    c.FrameRect(2, 2, 30, 30);
    c.FrameRect(10, 33, 11, 50);
    c.FrameRect(40, 5, 42, 7);
    c.FrameRect(45, 5, 55, 6);
    c.FrameRect(50, 10, 50, 20);
    c.SetBrush(Blue, BrushStyleSolid);
    c.FrameRect(35, 20, 62, 60);
    c.FrameRect(58, 58, 70, 70);
    c.SetBrush(Blue, BrushStyleClear);
    c.FrameRect(4, 4, 28, 28);
}

void Rectangles(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Black, 1, 0);
    c.SetBrush(Yellow, BrushStyleSolid);
    c.Rectangle(2, 2, 20, 15);
    c.Rectangle(45, 2, 47, 4);
    c.Rectangle(50, 2, 51, 12);
    c.Rectangle(53, 2, 60, 3);
    c.Rectangle(30, 30, 30, 40);
    c.SetBrush(Yellow, BrushStyleClear);
    c.SetPen(Red, 1, 0);
    c.Rectangle(25, 2, 40, 20);
    c.SetPen(Red, 1, PenStyleClear);
    c.SetBrush(Blue, BrushStyleSolid);
    c.Rectangle(2, 30, 20, 50);
    c.SetPen(Odd, 1, 0);
    c.Rectangle(-3, 55, 10, 70);
    c.Rectangle(55, 40, 70, 50);
}

void AxisLines(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Red, 1, 0);
    Line(c, 2, 2, 30, 2);
    Line(c, 30, 5, 2, 5);
    Line(c, 40, 2, 40, 30);
    Line(c, 44, 30, 44, 2);
    Line(c, 50, 10, 50, 10);
    c.SetPen(Blue, 1, 0);
    Line(c, -5, 60, 70, 60);
    Line(c, 62, -5, 62, 70);
    const TPlatformPoint stairs[] = {{4, 20}, {14, 20}, {14, 30}, {24, 30}, {24, 40}, {4, 40}};
    Polyline(c, stairs);
    c.SetOrigin(-3, 4);
    c.SetPen(Odd, 1, 0);
    Line(c, 10, 48, 30, 48);
}

// GetPixel's answers become pixels, so that every backend's reading is compared.
void Pixels(TPlatformCanvas& c, TPlatformServices&) {
    const int32_t colours[] = {Red, Green, Blue, Odd, Black, Yellow};
    for (int32_t y = 2; y < 40; y += 5)
        for (int32_t x = 2; x < 40; x += 7) c.SetPixel(x, y, colours[(x + y) % std::size(colours)]);
    for (int32_t y = 2; y < 40; y += 5)
        for (int32_t x = 2; x < 40; x += 7) {
            const int32_t seen = c.GetPixel(x, y);
            if (seen >= 0) c.SetPixel(x + 40 - 2 * (x % 3), y + 20, seen);
        }
    c.SetPixel(-1, 3, Red);
    c.SetPixel(64, 3, Red);
    const int32_t outside[] = {c.GetPixel(-1, 0), c.GetPixel(64, 0), c.GetPixel(0, 64)};
    for (int32_t i = 0; i < 3; ++i) c.FillRect(i * 4, 60, i * 4 + 3, 63, outside[i] < 0 ? Green : Red);
    c.SetOrigin(5, 7);
    c.SetPixel(50, 50, Blue);
    c.SetPixel(0, 0, c.GetPixel(-3, -5) >= 0 ? Odd : Teal);
}

// Fills under sequences of clip rectangles, exclusions, origins and saves.
void Clips(TPlatformCanvas& c, TPlatformServices&) {
    c.Save();
    c.ClipRect(10, 10, 50, 50);
    c.FillRect(0, 0, 64, 64, Red);
    c.ClipExclude(20, 20, 30, 30);
    c.FillRect(0, 0, 64, 64, Blue);
    c.Save();
    c.ClipRect(25, 5, 60, 40);
    c.FillRect(0, 0, 64, 64, Green);
    c.ClipExclude(35, 0, 37, 64);
    c.SetBrush(Odd, 4);
    c.SetBackground(Yellow, false);
    c.FillRectBrush(0, 0, 64, 64);
    c.Restore();
    c.SetPen(Black, 1, 0);
    c.SetBrush(Black, BrushStyleClear);
    Line(c, 0, 45, 64, 45);
    c.Rectangle(5, 5, 45, 48);
    c.Restore();
    c.FillRect(0, 0, 8, 8, Black);
    c.SetOrigin(5, 50);
    c.ClipRect(0, 0, 10, 10);
    c.FillRect(-5, -5, 20, 20, Yellow);
    c.ResetClip();
    c.FillRect(45, 0, 55, 5, Teal);
    c.ClipExclude(0, 0, 64, 64);
    c.FillRect(0, 0, 64, 64, Red);
}

void Copies(TPlatformCanvas& c, TPlatformServices& services) {
    TRef<TPlatformSurface> source = PatternSource(services, 16);
    c.DrawSurfaceEx(source.Get(), 0, 0, 16, 16, 5, 5, 21, 21, RopSourceCopy, 255, false);
    c.DrawSurfaceEx(source.Get(), 4, 4, 12, 12, 30, 5, 38, 13, RopSourceCopy, 255, false);
    c.DrawSurfaceEx(source.Get(), 0, 0, 16, 16, 56, 56, 72, 72, RopSourceCopy, 255, false);
    c.Save();
    c.ClipRect(10, 30, 20, 40);
    c.DrawSurfaceEx(source.Get(), 0, 0, 16, 16, 6, 28, 22, 44, RopSourceCopy, 255, false);
    c.Restore();
    c.SetOrigin(30, 30);
    c.DrawSurfaceEx(source.Get(), 2, 2, 14, 14, 0, 0, 12, 12, RopSourceCopy, 255, false);
}

void WideRectangles(TPlatformCanvas& c, TPlatformServices&) {
    c.SetBrush(Yellow, BrushStyleSolid);
    c.SetPen(Red, 2, 0);
    c.Rectangle(2, 2, 20, 20);
    c.SetPen(Blue, 3, 0);
    c.Rectangle(25, 2, 45, 15);
    c.SetBrush(Yellow, BrushStyleClear);
    c.SetPen(Black, 5, 0);
    c.Rectangle(5, 30, 30, 55);
    c.SetBrush(Green, BrushStyleSolid);
    c.SetPen(Odd, 3, 2);
    c.Rectangle(40, 25, 58, 40);
    c.SetPen(Red, 4, 0);
    c.Rectangle(40, 50, 44, 54);
    c.Rectangle(50, 50, 51, 51);
}

// Areas bounded by shapes whose pixels every backend shares.
void FloodFills(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Black, 1, 0);
    c.SetBrush(White, BrushStyleClear);
    c.Rectangle(2, 2, 30, 30);
    c.Rectangle(10, 10, 20, 20);
    const TPlatformPoint hook[] = {{35, 2}, {62, 2}, {62, 30}, {44, 30}, {44, 12}, {52, 12}, {52, 22}};
    Polyline(c, hook);
    c.SetBrush(Red, BrushStyleSolid);
    c.FloodFill(5, 5, Black, true);
    c.SetBrush(Blue, 3);
    c.SetBackground(Yellow, false);
    c.FloodFill(48, 16, White, false);
    c.SetPen(Blue, 1, 0);
    Line(c, 0, 40, 64, 40);
    Line(c, 32, 40, 32, 64);
    c.SetBrush(Green, 5);
    c.SetBackground(Yellow, true);
    c.FloodFill(10, 50, Blue, true);
    c.Save();
    c.ClipRect(40, 45, 56, 60);
    c.SetBrush(Odd, BrushStyleSolid);
    c.FloodFill(50, 50, White, false);
    c.Restore();
}

void FocusRects(TPlatformCanvas& c, TPlatformServices&) {
    c.FillRect(0, 32, 64, 64, Odd);
    c.DrawFocusRect(2, 2, 30, 20);
    c.DrawFocusRect(5, 25, 60, 60);
    c.DrawFocusRect(35, 3, 38, 5);
    c.DrawFocusRect(40, 40, 50, 50);
    c.DrawFocusRect(40, 40, 50, 50);
    c.SetOrigin(1, 0);
    c.DrawFocusRect(40, 8, 61, 21);
}

void StretchCopies(TPlatformCanvas& c, TPlatformServices& services) {
    TRef<TPlatformSurface> source = PatternSource(services, 16);
    c.DrawSurfaceEx(source.Get(), 0, 0, 8, 8, 2, 2, 26, 26, RopSourceCopy, 255, false);
    c.DrawSurfaceEx(source.Get(), 0, 0, 16, 16, 30, 2, 37, 9, RopSourceCopy, 255, false);
    c.DrawSurfaceEx(source.Get(), 0, 0, 8, 8, 40, 10, 53, 23, RopSourceCopy, 255, false);
    c.DrawSurfaceEx(source.Get(), 2, 3, 13, 11, 2, 30, 62, 40, RopSourceCopy, 255, false);
    c.Save();
    c.ClipRect(10, 44, 40, 62);
    c.DrawSurfaceEx(source.Get(), 0, 0, 16, 16, 5, 42, 48, 64, RopSourceCopy, 255, false);
    c.Restore();
}

void TernaryRops(TPlatformCanvas& c, TPlatformServices& services) {
    for (int32_t y = 0; y < 64; y += 8) c.FillRect(0, y, 64, y + 4, Teal);
    c.FillRect(0, 0, 8, 64, Odd);
    TRef<TPlatformSurface> source = PatternSource(services, 16);
    const int32_t rops[] = {SrcInvert, SrcAnd, SrcPaint, NotSrcCopy, SrcErase, MergeCopy, PatInvert, DstInvert};
    c.SetBrush(Yellow, BrushStyleSolid);
    for (size_t i = 0; i < std::size(rops); ++i) {
        const int32_t x = int32_t(i % 4) * 16, y = int32_t(i / 4) * 20 + 2;
        c.DrawSurfaceEx(source.Get(), 0, 0, 16, 16, x, y, x + 15, y + 17, rops[i], 255, false);
    }
    c.DrawSurfaceEx(source.Get(), 0, 0, 16, 16, 8, 44, 56, 64, SrcInvert, 255, false);
}

} // namespace

void PaintIdentityPattern(TPlatformCanvas& c) {
    c.FillRect(0, 0, 64, 64, Yellow);
    for (int32_t y = 0; y < 64; y += 4) c.FillRect(0, y, 64, y + 2, Teal);
    for (int32_t x = 0; x < 64; x += 6) c.FillRect(x, 0, x + 3, 64, Odd);
}

namespace {

void XorShapes(TPlatformCanvas& c, TPlatformServices&) {
    c.SetRop2(PenModeXor);
    c.SetPen(Red, 1, 0);
    c.SetBrush(Blue, BrushStyleSolid);
    c.Ellipse(3, 3, 30, 25);
    Line(c, 2, 60, 60, 34);
    c.Arc(35, 3, 62, 30, 62, 3, 35, 30);
    const TPlatformPoint star[] = {{32, 34}, {40, 62}, {20, 44}, {44, 44}, {24, 62}};
    Polygon(c, star, false);
    c.SetRop2(PenModeNotXor);
    c.SetPen(Green, 3, 0);
    c.Rectangle(5, 30, 20, 50);
    c.RoundRect(40, 30, 62, 50, 8, 8);
    c.Pie(44, 4, 60, 20, 60, 12, 52, 4);
    const TPlatformPoint curve[] = {{2, 40}, {20, 20}, {40, 60}, {60, 40}};
    Bezier(c, curve);
    c.SetPen(Black, 1, 2);
    Line(c, 0, 62, 64, 50);
}

void SlantedLines(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Red, 1, 0);
    const TPlatformPoint ends[] = {{63, 40}, {63, 63}, {45, 63}, {10, 63}, {0, 50}, {0, 20}, {5, 0}, {30, 1}, {60, 0}};
    for (const TPlatformPoint& e : ends) Line(c, 32, 32, e.X, e.Y);
    c.SetPen(Blue, 1, 0);
    Line(c, 60, 10, 40, 15);
    Line(c, 2, 2, 9, 30);
    const TPlatformPoint zigzag[] = {{2, 40}, {10, 60}, {18, 42}, {26, 61}};
    Polyline(c, zigzag);
}

void Ellipses(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Red, 1, 0);
    c.SetBrush(Blue, BrushStyleSolid);
    c.Ellipse(4, 4, 40, 30);
    c.Ellipse(44, 4, 60, 60);
    c.Ellipse(5, 40, 9, 44);
    // No pen-less ellipse: soft fills one (W - 1) x (H - 1) and 0.9 pixel
    // narrower still, as Windows' own GDI does, where Wine's GDI, gdiplus and
    // d2d fill the whole box: Ellipse(12, 34, 22, 41) covers columns 13..19
    // of its middle row on soft and 12..21 on the others.
    c.SetPen(Green, 1, 0);
    c.SetBrush(Blue, BrushStyleClear);
    c.Ellipse(10, 35, 40, 62);
}

void RoundRects(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Red, 1, 0);
    c.SetBrush(Blue, BrushStyleSolid);
    c.RoundRect(3, 3, 40, 28, 10, 10);
    c.RoundRect(44, 3, 62, 60, 20, 6);
    c.RoundRect(3, 32, 14, 43, 40, 40);
    c.SetBrush(Blue, BrushStyleClear);
    c.RoundRect(18, 34, 40, 60, 12, 16);
}

// One shape nearly as large as the surface, where a ring of pixels is a
// small part of the area.
void LargeShape(TPlatformCanvas& c) {
    c.SetPen(Red, 1, 0);
    c.SetBrush(Blue, BrushStyleSolid);
}

void LargeEllipse(TPlatformCanvas& c, TPlatformServices&) {
    LargeShape(c);
    c.Ellipse(3, 6, 61, 57);
}

void LargeRoundRect(TPlatformCanvas& c, TPlatformServices&) {
    LargeShape(c);
    c.RoundRect(3, 3, 61, 60, 24, 18);
}

void LargeChord(TPlatformCanvas& c, TPlatformServices&) {
    LargeShape(c);
    c.Chord(2, 2, 62, 62, 62, 20, 2, 44);
}

void LargePie(TPlatformCanvas& c, TPlatformServices&) {
    LargeShape(c);
    c.Pie(2, 2, 62, 62, 62, 32, 32, 62);
}

void Arcs(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Red, 1, 0);
    c.Arc(3, 3, 40, 30, 40, 3, 3, 30);
    c.Arc(44, 3, 62, 40, 53, 40, 53, 3);
    c.Arc(3, 34, 30, 61, 30, 47, 30, 47);
    c.SetPen(Blue, 1, 0);
    c.Arc(34, 44, 62, 62, 34, 44, 62, 62);
}

using TArcFigure = void (TPlatformCanvas::*)(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t);

// Chords and pies: a half, a right half and a small piece.
void Figures(TPlatformCanvas& c, TArcFigure figure) {
    c.SetPen(Red, 1, 0);
    c.SetBrush(Blue, BrushStyleSolid);
    (c.*figure)(3, 3, 40, 30, 40, 3, 3, 30);
    (c.*figure)(44, 3, 62, 40, 53, 40, 53, 3);
    (c.*figure)(3, 34, 30, 61, 30, 50, 3, 50);
}

// No whole-turn chord (both radial points equal): soft fills none, where
// gdi, gdiplus and d2d fill the whole ellipse; Chord(34, 44, 62, 62, 62, 53,
// 62, 53) covers (45, 46) on those and only the outline on soft.
void Chords(TPlatformCanvas& c, TPlatformServices&) {
    Figures(c, &TPlatformCanvas::Chord);
    c.Chord(34, 44, 62, 62, 34, 44, 62, 62);
}

void Pies(TPlatformCanvas& c, TPlatformServices&) {
    Figures(c, &TPlatformCanvas::Pie);
    c.Pie(34, 44, 62, 62, 62, 53, 62, 53);
}

void Polygons(TPlatformCanvas& c, bool winding) {
    c.SetPen(Red, 1, 0);
    c.SetBrush(Blue, BrushStyleSolid);
    const TPlatformPoint star[] = {{32, 2}, {50, 60}, {2, 22}, {62, 22}, {14, 60}};
    Polygon(c, star, winding);
    const TPlatformPoint hook[] = {{2, 2}, {20, 2}, {20, 16}, {8, 16}, {8, 10}, {14, 10}, {14, 6}, {2, 6}};
    Polygon(c, hook, winding);
    const TPlatformPoint loops[] = {{44, 40}, {62, 62}, {44, 62}, {62, 40}, {50, 34}, {56, 62}};
    Polygon(c, loops, winding);
}

void PolygonsAlternate(TPlatformCanvas& c, TPlatformServices&) { Polygons(c, false); }
void PolygonsWinding(TPlatformCanvas& c, TPlatformServices&) { Polygons(c, true); }

void Beziers(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Red, 1, 0);
    const TPlatformPoint s[] = {{2, 30}, {10, 0}, {30, 60}, {40, 20}, {50, -10}, {62, 40}, {40, 62}};
    Bezier(c, s);
    c.SetPen(Blue, 1, 0);
    const TPlatformPoint loop[] = {{4, 60}, {60, 30}, {4, 30}, {60, 60}};
    Bezier(c, loop);
}

void WideLines(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Red, 3, 0);
    Line(c, 4, 4, 40, 20);
    Line(c, 4, 30, 40, 30);
    c.SetPen(Blue, 5, 0);
    Line(c, 50, 4, 50, 40);
    Line(c, 10, 60, 60, 45);
    const TPlatformPoint vee[] = {{8, 38}, {20, 52}, {32, 38}};
    Polyline(c, vee);
}

void DashedLines(TPlatformCanvas& c, TPlatformServices&) {
    c.SetBackground(Yellow, false);
    for (int32_t style = 1; style <= 4; ++style) {
        c.SetPen(Red, 1, style);
        Line(c, 2, style * 6, 62, style * 6);
        Line(c, style * 6 + 30, 30, style * 6 + 30, 62);
    }
    c.SetBackground(Yellow, true);
    c.SetPen(Blue, 1, 2);
    Line(c, 2, 34, 28, 62);
    c.SetBrush(Blue, BrushStyleClear);
    c.SetPen(Green, 1, 1);
    c.Rectangle(4, 36, 26, 48);
}

// Lines whose far ends lie at the limits of int32, at device coordinates
// beyond them (through the origin) and far beyond what a float holds to the
// pixel: the part that reaches the surface lies where it would on a surface
// that large.
constexpr int32_t Max = INT32_MAX, Min = INT32_MIN, Far = 1 << 30;

void FarAxisLines(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Red, 1, 0);
    Line(c, Max, 2, 0, 2);
    Line(c, Min, 6, 40, 6);
    Line(c, 2, Max, 2, 10);
    Line(c, 6, Min, 6, 40);
    c.SetPen(Blue, 1, 0);
    const TPlatformPoint hook[] = {{Min, 12}, {30, 12}, {30, Max}};
    Polyline(c, hook);
    c.SetBrush(White, BrushStyleClear);
    const TPlatformPoint frame[] = {{40, 20}, {Max, 20}, {Max, 50}, {40, 50}};
    Polygon(c, frame, false);
    c.SetOrigin(20, 20);
    c.SetPen(Odd, 1, 0);
    Line(c, Max - 5, 36, 0, 36);
    Line(c, 36, Max, 36, 0);
    const TPlatformPoint step[] = {{-20, 40}, {Max - 1, 40}};
    Polyline(c, step);
}

void FarSlantedLines(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Red, 1, 0);
    Line(c, -Far, -Far + 10, Far, Far + 10);
    Line(c, 0, 50, Far, 50 + Far / 32);
    c.SetPen(Blue, 1, 0);
    const TPlatformPoint vee[] = {{Max, 60}, {20, 60}, {20 - Far, 60 - Far}};
    Polyline(c, vee);
}

// The same lines from and to points just off the surface.
void NearSlantedLines(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Red, 1, 0);
    Line(c, -10, 0, 64, 74);
    Line(c, 0, 50, 64, 52);
    c.SetPen(Blue, 1, 0);
    const TPlatformPoint vee[] = {{70, 60}, {20, 60}, {-50, -10}};
    Polyline(c, vee);
}

void FarStyledLines(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Green, 3, 0);
    Line(c, Far, 30 - Far / 4, 0, 30);
    const TPlatformPoint wide[] = {{60, 2}, {60 - Far, 2 + Far}};
    Polyline(c, wide);
    c.SetBackground(Yellow, false);
    c.SetPen(Odd, 1, 1);
    Line(c, -Far + 3, 40, 64, 40);
    c.SetPen(Red, 1, 3);
    Line(c, 45, Max, 45, 0);
}

// The dashes keep their phase: Far is 16 and Max 7 more than a multiple of
// the patterns' 24 pixels.
void NearStyledLines(TPlatformCanvas& c, TPlatformServices&) {
    c.SetPen(Green, 3, 0);
    Line(c, 64, 14, 0, 30);
    const TPlatformPoint wide[] = {{60, 2}, {-10, 72}};
    Polyline(c, wide);
    c.SetBackground(Yellow, false);
    c.SetPen(Odd, 1, 1);
    Line(c, -13, 40, 64, 40);
    c.SetPen(Red, 1, 3);
    Line(c, 45, 79, 45, 0);
}

// A pen as wide as int32 allows: its bands cover everything right of and
// below the rectangle's corner.
void FarWideRectangle(TPlatformCanvas& c, TPlatformServices&) {
    c.SetBrush(Yellow, BrushStyleSolid);
    c.SetPen(Red, Max, 0);
    c.Rectangle(10, 20, 30, 40);
}

} // namespace

constexpr const char* GdiNoReferenceAtLimits =
    "GDI takes its own course with coordinates at the limits of int32; only the other backends draw what a "
    "surface that large would show";

constexpr const char* SoftFarLines =
    "the soft canvas loses a slanted line's place this far out: Line(-2^30, -2^30 + 10, 2^30, 2^30 + 10) runs "
    "through (0, 0) instead of (0, 10)";
constexpr const char* WineIgnoresStrokeStyles = "Wine's Direct2D ignores stroke styles (dashes, round caps)";
constexpr const char* WineGdipOffset =
    "Wine's GDI+ strokes a pixel right of and below the pixel centres it is given, as if without the half-pixel "
    "offset mode (the dashed Rectangle(4, 36, 26, 48) of dashed_lines lands on (5, 37)-(26, 48)), which makes its "
    "pie 2181 pixels against d2d's 2103";
constexpr const char* WineGdipImageCopies =
    "Wine's GDI+ draws an opaque copy with alpha 0 on an opaque target (copies: 628 pixels, (5, 5) reads "
    "000000FF against soft's FF0000FF) and its scaling samples beyond the source's edges (stretch_copies: black "
    "rows and columns from (2, 2))";
constexpr const char* WineGdiArcEnds =
    "Wine's GDI ends Arc and Chord of the box (44, 3, 62, 40) from (53, 40) to (53, 3) short of the end point: "
    "no gdi pixel lies within one of (53, 3), which soft and d2d draw for the arc, nor of (52, 3) for the chord";

const std::vector<TScript>& DifferentialScripts() {
    using enum TComparison;
    static const std::vector<TScript> scripts = {
        {"fills", Fills, AllColours},
        {"hatches_at_0_0", HatchesAtZero, AllColours},
        {"hatches_at_3_5", HatchesShifted, AllColours},
        {"hatches_at_m7_2", HatchesNegative, AllColours},
        {"frames", Frames, AllColours},
        {"rectangles", Rectangles, AllColours},
        {"axis_lines", AxisLines, AllColours},
        {"pixels", Pixels, AllColours},
        {"clips", Clips, AllColours},
        {"copies", Copies, AllColours, {{"gdiplus", true, WineGdipImageCopies}}},
        {"wide_rectangles", WideRectangles, SharedRules},
        {"flood_fills", FloodFills, SharedRules},
        {"focus_rects", FocusRects, SharedRules},
        {"stretch_copies", StretchCopies, SharedRules, {{"gdiplus", true, WineGdipImageCopies}}},
        {"ternary_rops", TernaryRops, SharedRules},
        {"xor_twice", XorShapes, TwiceIsIdentity},
        {"slanted_lines", SlantedLines, Outline},
        // Small shapes: coverage only. Their outlines differ by about a ring
        // of pixels, more than 3 % of such areas; on an opaque surface
        // soft, gdi, gdiplus and d2d cover 1494, 1514, 1502 and 1550 pixels
        // (d2d's thin outline doubles its diagonal steps).
        {"ellipses", Ellipses, Outline},
        // Coverage only, as for the ellipses: 2064, 2080, 2158 and 2088.
        {"round_rects", RoundRects, Outline},
        {"large_ellipse", LargeEllipse, Area},
        {"large_round_rect", LargeRoundRect, Area},
        {"large_chord", LargeChord, Area,
         {{"gdi", true,
           "Wine's GDI lays the chord's straight edge about a pixel nearer the centre: it covers 1410 pixels, "
           "soft 1465, gdiplus 1466, d2d 1436",
           true}}},
        {"large_pie", LargePie, Area, {{"gdiplus", true, WineGdipOffset, true}}},
        {"arcs", Arcs, Outline, {{"gdi", true, WineGdiArcEnds}}},
        // Coverage only, as for the ellipses: 1248, 1184, 1285 and 1266.
        {"chords", Chords, Outline, {{"gdi", true, WineGdiArcEnds}}},
        // Coverage only, as for the ellipses: 1398, 1375, 1454 and 1457.
        {"pies", Pies, Outline,
         {{"d2d", false,
           "a one-pixel outline takes Direct2D's default miter join: at the sharp corner of "
           "Pie(3, 3, 40, 30, 40, 3, 3, 30) its spike covers (41, 1), outside the box"}}},
        {"polygons_alternate", PolygonsAlternate, Area},
        {"polygons_winding", PolygonsWinding, Area},
        {"beziers", Beziers, Outline,
         {{"d2d", true,
           "Wine's Direct2D strokes cubic curves far from their path: the loop through (4, 60), (60, 30), "
           "(4, 30), (60, 60) comes out as a smooth arch, and (45, 11) of the S curve has no d2d pixel near"}}},
        {"wide_lines", WideLines, Outline, {{"d2d", true, WineIgnoresStrokeStyles}}},
        {"dashed_lines", DashedLines, Outline,
         {{"d2d", true, WineIgnoresStrokeStyles},
          {"gdi", true,
           "Wine's GDI starts the dashes of Rectangle(4, 36, 26, 48) elsewhere on its outline: soft and "
           "gdiplus cover (6, 36) with no gdi pixel near"}}},
        {"far_axis_lines", FarAxisLines, SharedRules},
        {"far_slanted_lines", FarSlantedLines, SameAsNearTwin,
         {{"gdi", false, GdiNoReferenceAtLimits}, {"soft", false, SoftFarLines}}, NearSlantedLines},
        {"far_styled_lines", FarStyledLines, SameAsNearTwin, {{"gdi", false, GdiNoReferenceAtLimits}},
         NearStyledLines},
        {"far_wide_rectangle", FarWideRectangle, SharedRules},
    };
    return scripts;
}

} // namespace Zyl::Testing
