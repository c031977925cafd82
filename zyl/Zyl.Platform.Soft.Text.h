// The software renderer's fonts: outlines in design units, their integer
// rasterization into 8-bit coverage, the per-font glyph and advance caches,
// and the one block font with its text provider. No floating point and no
// Windows interface here.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "System.Remainder.Object.h"

namespace Zyl {

using System::TObject;
using System::TRef;

// A path being built: command bytes and the points they take, in order.
// Commands: 0 move to (1 point), 1 line to (1), 2 quadratic curve (2),
// 3 cubic curve (3), 4 close (0); any other byte takes no point.
class TSoftOutline : public TObject {
public:
    enum : uint8_t { CmdMoveTo = 0, CmdLineTo = 1, CmdQuadTo = 2, CmdCubicTo = 3, CmdClose = 4 };

    std::vector<uint8_t> Commands;
    int32_t CommandCount = 0;
    std::vector<int32_t> Coords;
    int32_t CoordCount = 0;

    void MoveTo(int32_t x, int32_t y);
    void LineTo(int32_t x, int32_t y);
    void Close();
    // Appends a command byte and its points as they are; the fonts use the
    // three above, curves and stray bytes come through here.
    void Append(uint8_t command, std::initializer_list<int32_t> coords);
};

// Coverage of one character: Width * Height bytes, row after row from the
// top; (Left, Top) is the top-left pixel relative to the pen on the baseline.
class TSoftGlyph : public TObject {
public:
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t Left = 0;
    int32_t Top = 0;
    std::vector<uint8_t> Coverage;
};

// The area accumulator of one rasterization, in 24.8 fixed point. Each row
// has two spare cells on the right for area clamped to the right edge.
class TSoftRaster : public TObject {
public:
    TSoftRaster(int32_t width, int32_t height);

    int32_t Width;
    int32_t Height;
    int32_t RowLength;
    // Added to with 32-bit wrap-around, read as int32.
    std::vector<uint32_t> Cells;

    // Adds the signed area of one line given relative to the raster's top-left
    // corner. Coordinates stay within +-2^40 (the rasterizer's are below 2^21).
    void AddLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1);

private:
    void AddToCells(int64_t row, int64_t column, int64_t m, int64_t h);
};

// sin(angle) in 16.16 for an angle in tenths of a degree; the cosine is
// SoftSine(angle + 900).
int32_t SoftSine(int32_t angle);
// SoftSine(angle + 900), also where angle + 900 passes INT32_MAX.
int32_t SoftCosine(int32_t angle);

// Scales (and, unless sin = 0 and cos = 65536, rotates) the outline from
// design units into pixels and returns its coverage. Glyphs above 4096 pixels
// either way, or placed beyond the int32 pixel range, come back empty.
// Raises EDivByZero when unitsPerEm is 0 and the outline has points.
TRef<TSoftGlyph> RasterizeOutline(const TSoftOutline& outline, int32_t emPx, int32_t unitsPerEm,
                                  int32_t sin, int32_t cos);

// One font at one pixel size; owns its advance and glyph caches.
class TSoftFont : public TObject {
public:
    // Open-addressing glyph cache: a slot holds code + 1 (0 = empty).
    std::vector<int32_t> GlyphKeys;
    std::vector<TRef<TSoftGlyph>> Glyphs;
    int32_t GlyphCount = 0;
    // Entry c holds Advance(c) + 1 for codes below 1024; 0 = not yet known.
    std::vector<int32_t> AdvanceCache;

    virtual int32_t EmPx() const = 0;
    virtual int32_t UnitsPerEm() const = 0;
    virtual int32_t Ascent() const = 0;
    virtual int32_t Descent() const = 0;
    virtual int32_t InternalLeading() const = 0;
    virtual int32_t ExternalLeading() const { return 0; }
    virtual int32_t AveCharWidth() const = 0;
    virtual int32_t MaxCharWidth() const = 0;
    virtual int32_t Advance(uint32_t code) const = 0;
    // Appends the character's contours in design units (y up from the
    // baseline); false when the character has no outline.
    virtual bool GetOutline(uint32_t code, TSoftOutline& outline) const = 0;

    int32_t CachedAdvance(uint32_t code);
    // Sum of the advances of the text's code points, saturated at INT32_MAX.
    int32_t TextWidth(std::u16string_view text);
    TRef<TSoftGlyph> GetGlyph(uint32_t code);
    // Not cached: a new glyph turned by `angle` tenths of a degree.
    TRef<TSoftGlyph> GetRotatedGlyph(uint32_t code, int32_t angle);

private:
    TRef<TSoftGlyph> MakeGlyph(uint32_t code, int32_t sin, int32_t cos) const;
    size_t FindSlot(uint32_t key) const;
    void GrowGlyphCache();
};

// Every printable character drawn as a solid box whose height follows the
// two lowest bits of its code; fixed pitch at any requested face.
class TSoftBlockFont : public TSoftFont {
public:
    explicit TSoftBlockFont(int32_t emPixels) : EmPixels(emPixels < 4 ? 4 : emPixels) {}

    int32_t EmPixels;

    int32_t EmPx() const override { return EmPixels; }
    int32_t UnitsPerEm() const override { return 1000; }
    int32_t Ascent() const override;
    int32_t Descent() const override;
    int32_t InternalLeading() const override;
    int32_t AveCharWidth() const override;
    int32_t MaxCharWidth() const override;
    int32_t Advance(uint32_t code) const override;
    bool GetOutline(uint32_t code, TSoftOutline& outline) const override;

private:
    // (k * E + 5) div 10 in 64 bits, saturated at INT32_MAX.
    int32_t Tenths(int64_t k) const;
};

// Turns a font request into a font and keeps every font it made.
class TSoftTextProvider : public TObject {
public:
    std::vector<std::u16string> FontKeys;
    std::vector<TRef<TSoftFont>> Fonts;

    virtual TRef<TSoftFont> CreateFont(const std::u16string& face, int32_t height, int32_t style) = 0;
    virtual std::u16string DefaultFontName() const { return u"Segoe UI"; }
    virtual std::u16string DefaultMonoFontName() const { return u"Courier New"; }

    // The font for (face, height as TFont.Height, style bits); requests that
    // differ only in underline or strike-out share one font.
    TRef<TSoftFont> GetFont(const std::u16string& face, int32_t height, int32_t style);
};

class TSoftBlockProvider : public TSoftTextProvider {
public:
    TRef<TSoftFont> CreateFont(const std::u16string& face, int32_t height, int32_t style) override;
};

// The process-wide provider, made on the first call.
TSoftTextProvider* GetSoftTextProvider();

} // namespace Zyl
