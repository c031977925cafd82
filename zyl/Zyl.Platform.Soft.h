// The software canvas backend "soft": surfaces in ordinary memory, the
// services that make them, and the canvas that draws every pixel itself, so
// that a frame looks the same on every system. No Windows interface here;
// only the PNG file routines touch files (Zyl.Platform.Soft.Files.Win.cpp).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Zyl.Platform.h"
#include "Zyl.Platform.Soft.Geom.h"
#include "Zyl.Platform.Soft.Pixels.h"
#include "Zyl.Platform.Soft.Support.h"
#include "Zyl.Platform.Soft.Text.h"

namespace Zyl {

class TSoftCanvas;

// A 32-bit BGRA pixel block of its own, rows 4 * width bytes apart with no
// gap. It never changes size and the block never moves.
class TSoftSurface : public TPlatformSurface {
public:
    // Sizes of 0 or less become 1. A stride above INT32_MAX, or a block that
    // cannot be had, raises EOutOfMemory: never a short block.
    TSoftSurface(int32_t width, int32_t height, bool hasAlpha);

    int32_t Width() override { return width_; }
    int32_t Height() override { return height_; }
    bool HasAlpha() override { return hasAlpha_; }
    TRef<TPlatformCanvas> CreateCanvas() override;
    uint8_t* Bits() override { return reinterpret_cast<uint8_t*>(pixels_.get()); }
    int32_t Stride() override { return stride_; }
    TRef<TPlatformSurface> CreateCompatible(int32_t width, int32_t height, bool hasAlpha) override;
    bool SaveToPng(const std::u16string& fileName) override;
    // Un-premultiplied; 0 outside the surface.
    int32_t PixelAt(int32_t x, int32_t y) override;
    int32_t AlphaAt(int32_t x, int32_t y) override;
    void* NativeHandle() override { return pixels_.get(); }

private:
    int32_t width_;
    int32_t height_;
    bool hasAlpha_;
    THeapBlock<uint32_t> pixels_;
    int32_t stride_;
};

class TSoftServices : public TPlatformServices {
public:
    TRef<TPlatformSurface> CreateSurface(int32_t width, int32_t height, bool hasAlpha) override;
    // Nil for a directory, a missing file, one of 7 bytes or less, one above
    // INT32_MAX bytes (not read) and data that is not a PNG image.
    TRef<TPlatformSurface> LoadPngFile(const std::u16string& fileName) override;
    TRef<TPlatformSurface> LoadPngMemory(const uint8_t* data, int32_t size) override;
    System::TBytes SavePngMemory(TPlatformSurface* surface) override;
    int32_t ScreenDpi() override { return 96; }
    std::u16string DefaultFontName() override;
    int32_t DefaultFontSize() override { return 9; }
    std::u16string MonospaceFontName() override;
};

// Registers "soft" with the canvas backends: part of the start-up
// registrations, after the presenters'.
void RegisterSoftCanvasBackend();
// Never: "auto" never picks "soft"; only a chain that names it does.
bool SoftAutoChoiceAllowed();
// Installs a TSoftServices as the current services unless some are installed.
void CreateSoftServices();

// Spans collected by the polygon filler: row, first column, end column.
class TSoftSpans : public TObject {
public:
    int32_t Count = 0;
    std::vector<int32_t> Rows, Lefts, Rights;

    void Add(int32_t row, int32_t x0, int32_t x1);
};

// An int32 array held by a counted object: one parsed pen profile.
class TSoftIntBox : public TObject {
public:
    std::vector<int32_t> Values;
};

// A profile text read as integers (an optional "-" then digits; any other
// character separates): [first, (count - 1) div 2, the rest].
std::vector<int32_t> ParsePenProfile(std::string_view text);
// The fixed profile of pen width 2..20 for horizontal or vertical lines:
// [shift, row count, a0, b0, a1, b1, ...]; both sets are parsed on first use.
const std::vector<int32_t>& GetPenProfile(bool vertical, int32_t width);

// What Save pushes and Restore pops. The clip array is a second reference to
// the installed one, which is never changed in place.
struct TSoftCanvasState {
    int32_t PenColor = 0;
    int32_t PenWidth = 1;
    int32_t PenStyle = PenStyleSolid;
    int32_t BrushColor = 0xFFFFFF;
    int32_t BrushStyle = BrushStyleSolid;
    std::u16string FontName;
    int32_t FontSize = -12;
    int32_t FontStyle = 0;
    int32_t FontColor = 0;
    int32_t TextAngle = 0;
    int32_t BackColor = 0xFFFFFF;
    bool BackTransparent = false;
    int32_t Rop2 = RasterCopy;
    int32_t OriginX = 0;
    int32_t OriginY = 0;
    TClipRectArray ClipRects;
    int32_t ClipCount = 0;
};

// How spans are written: FillPlain writes FillColor, FillRaster combines it
// with the pixel by FillRop, FillPattern draws the 8 x 8 hatch anchored to
// device pixels.
enum : int32_t { FillPlain = 0, FillRaster = 1, FillPattern = 2 };

// The software implementation of the drawing interface on one TSoftSurface.
// Coordinates are shifted by the origin into device pixels (int64 from there
// on); every pixel written passes the clip region.
class TSoftCanvas : public TPlatformCanvas {
public:
    explicit TSoftCanvas(TSoftSurface* surface);

    TRef<TSoftSurface> Surface;
    uint8_t* Bits;
    int32_t Stride;
    int32_t Width, Height;
    bool SurfaceHasAlpha;
    TSoftCanvasState State;
    std::vector<TSoftCanvasState> SaveStack;
    int32_t SaveCount = 0;
    TClipBox ClipBox;
    // The region is one rectangle (or empty): the box test alone decides.
    bool SingleClip = true;
    // Built from the font fields by the text operations; nil until needed.
    TRef<TSoftFont> Font;

    // The prepared fill of the next spans.
    int32_t FillMode = FillPlain;
    uint32_t FillColor = 0xFF000000;
    uint32_t PatternBackColor = 0xFFFFFFFF;
    bool PatternOpaque = true;
    int32_t FillRop = RasterCopy;
    std::array<uint8_t, 8> Pattern{};
    int32_t DashPhase = 0;
    TRef<TSoftSpans> Spans;

    void Save() override;
    void Restore() override;
    void SetPen(int32_t color, int32_t width, int32_t style) override;
    void SetBrush(int32_t color, int32_t style) override;
    void SetFont(const std::u16string& name, int32_t size, int32_t style, int32_t color) override;
    void SetTextAngle(int32_t angle) override;
    void SetBackground(int32_t color, bool transparent) override;
    void SetRop2(int32_t mode) override;
    void SetOrigin(int32_t x, int32_t y) override;
    void GetOrigin(int32_t& x, int32_t& y) override;
    void ClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void ClipExclude(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void ResetClip() override;
    bool GetClipBox(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) override;
    void DrawSurfaceEx(TPlatformSurface* surface, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                       int32_t srcBottom, int32_t dstLeft, int32_t dstTop, int32_t dstRight, int32_t dstBottom,
                       int32_t rop, int32_t opacity, bool useAlpha) override;
    void DrawSurfaceTransparent(TPlatformSurface* surface, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                                int32_t srcBottom, int32_t dstLeft, int32_t dstTop, int32_t dstRight,
                                int32_t dstBottom, int32_t transparentColor) override;
    TPlatformSurface* GetSurface() override { return Surface.Get(); }

    // Drawing operations (Zyl.Platform.Soft.Draw.cpp).
    void LineTo(int32_t x, int32_t y) override;
    void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void RoundRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t cornerWidth,
                   int32_t cornerHeight) override;
    void Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void Arc(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1, int32_t x2,
             int32_t y2) override;
    void Chord(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1, int32_t x2,
               int32_t y2) override;
    void Pie(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1, int32_t x2,
             int32_t y2) override;
    void Polyline(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex) override;
    void Polygon(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex, bool winding) override;
    void PolyBezier(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex) override;
    void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t color) override;
    void FillRectBrush(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void FrameRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void DrawFocusRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void SetPixel(int32_t x, int32_t y, int32_t color) override;
    int32_t GetPixel(int32_t x, int32_t y) override;
    void FloodFill(int32_t x, int32_t y, int32_t color, bool toBorder) override;

    // Text (Zyl.Platform.Soft.Lettering.cpp).
    void TextOut(int32_t x, int32_t y, const std::u16string& text) override;
    void TextRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x, int32_t y,
                  const std::u16string& text, bool opaque) override;
    void TextExtent(const std::u16string& text, int32_t& width, int32_t& height) override;
    void FontMetrics(int32_t& height, int32_t& ascent, int32_t& descent, int32_t& internalLeading,
                     int32_t& externalLeading, int32_t& aveCharWidth, int32_t& maxCharWidth) override;
    void SelectFont();
    void DrawTextAt(int64_t x, int64_t y, const std::u16string& text, bool fillBackground);
    void BlendGlyph(const TSoftGlyph& glyph, int64_t gx, int64_t gy);

    // Lines in device pixels (Zyl.Platform.Soft.Lines.cpp); the caller has
    // prepared the pen fill.
    void ThinLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool includeLast);
    void PutGapPixel(int64_t x, int64_t y);
    void WideLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width);
    // The same pixels as WideLine for every line, by testing each pixel.
    void WideLineFallback(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width);
    void StrokePolyline(const int64_t* xs, const int64_t* ys, int32_t n, bool closed);
    // The flattened curve of points[0 .. count - 1] (at least 4), origin added.
    void FlattenBezier(const TPlatformPoint* points, int32_t count, std::vector<int64_t>& xs,
                       std::vector<int64_t>& ys);

    // Shapes in device pixels (Zyl.Platform.Soft.Draw.cpp).
    void OutlineRows(int64_t x, int64_t y, const TRowExtents& rows);
    void DrawArcShape(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1, int32_t x2,
                      int32_t y2, int32_t kind);

    // Clip work in device pixels.
    void UpdateClipBox();
    void SetClipRects(const int32_t* rects, int32_t count);
    void IntersectClip(int64_t left, int64_t top, int64_t right, int64_t bottom);
    // An empty or reversed rectangle leaves the region as it is.
    void ExcludeClip(int64_t left, int64_t top, int64_t right, int64_t bottom);
    bool IsPixelVisible(int64_t x, int64_t y) const;

    // Span writers in device pixels. PutSpan does no clipping: the caller
    // guarantees that the whole span is visible.
    void PutSpan(int64_t y, int64_t x0, int64_t x1);
    void FillSpan(int64_t y, int64_t x0, int64_t x1);
    void PlotPixel(int64_t x, int64_t y);
    void PreparePenFill();
    void PrepareBrushFill();

    // Copies, scales, blends or raster-combines a source rectangle of
    // `source` into a destination rectangle in device pixels.
    void CompositeSurface(TPlatformSurface* source, int64_t srcLeft, int64_t srcTop, int64_t srcRight,
                          int64_t srcBottom, int64_t dstLeft, int64_t dstTop, int64_t dstRight, int64_t dstBottom,
                          int32_t rop, int32_t opacity, bool useSourceAlpha, bool transparent,
                          int32_t transparentColor);

private:
    struct TSource;
    void Composite(const TSource& s, int64_t srcLeft, int64_t srcTop, int64_t srcRight, int64_t srcBottom,
                   int64_t dstLeft, int64_t dstTop, int64_t dstRight, int64_t dstBottom, int32_t rop,
                   int32_t opacity, bool useSourceAlpha, bool transparent, int32_t transparentColor);
    bool MoveInPlace(const TSource& s, int64_t srcLeft, int64_t srcTop, int64_t dstLeft, int64_t dstTop,
                     int64_t dstRight, int64_t dstBottom, uint32_t mask);
    void CompositeSampledCopy(const TSource& s, int64_t srcLeft, int64_t srcTop, int64_t srcRight, int64_t srcBottom,
                              int64_t dstLeft, int64_t dstTop, int64_t dstRight, int64_t dstBottom, int32_t rop,
                              int32_t opacity, bool useSourceAlpha, bool transparent, int32_t transparentColor);
    void SetFillFor(int32_t color, bool pattern);
    uint32_t* Pixel(int64_t x, int64_t y) const;
    bool PenVisible() const;
    bool BrushVisible() const;
    void FillRows(int64_t top, int64_t bottom, int64_t x0, int64_t x1);
    void DrawRowShape(int64_t x0, int64_t y0, int64_t w, int64_t h, bool ellipse, int64_t cornerWidth,
                      int64_t cornerHeight);
    void ProfileLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int32_t width);
};

} // namespace Zyl
