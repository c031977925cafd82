// What the "d2d" canvas decides without Direct2D: hatch bitmaps, the keys of
// its brush, font and text caches, and the cutting of a surface copy to its
// source. No Windows interface here.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace Zyl {

// The 8 x 8 bitmap of hatch style 2..7, 32-bit premultiplied BGRA: the
// brush colour opaque on the lines, the background colour opaque elsewhere
// or fully transparent with backTransparent. Row r is pixels 8r..8r+7.
std::array<uint32_t, 64> HatchPixels(int32_t style, int32_t brushColor, int32_t backColor, bool backTransparent);
// The colours are TColor values already cut to 24 bits.
std::u16string HatchKey(int32_t style, int32_t brushColor, int32_t backColor, bool backTransparent);

// The nearest integer, ties to the even one.
int64_t RoundTiesToEven(double value);

// The realised font of a canvas: only bold (1) and italic (2) of the style count.
std::u16string FontKey(const std::u16string& name, int32_t height, int32_t style);
// A text format by the face GDI chose, its size in pixels (hundredths,
// ties to even) and style.
std::u16string TextFormatKey(const std::u16string& face, float size, bool bold, bool italic);
inline std::u16string TextLayoutKey(const std::u16string& fontKey, const std::u16string& text) {
    return fontKey + u"|" + text;
}

// A source rectangle of a surface and the destination rectangle it is drawn
// into, device pixels.
struct TSurfaceCopyRects {
    int32_t SrcLeft = 0, SrcTop = 0, SrcRight = 0, SrcBottom = 0;
    int32_t DstLeft = 0, DstTop = 0, DstRight = 0, DstBottom = 0;
};

// Moves the destination by the origin and cuts the source to the
// srcWidth x srcHeight surface, moving each destination edge in proportion
// (truncated toward zero). Computed in 64 bits, so no coordinate wraps.
// False when nothing is to be drawn: a rectangle empty before or after the
// cut, or a destination edge that leaves the int32 range.
bool CutSurfaceCopy(int32_t srcWidth, int32_t srcHeight, int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2,
                    int32_t dx1, int32_t dy1, int32_t dx2, int32_t dy2, int32_t originX, int32_t originY,
                    TSurfaceCopyRects& out);

} // namespace Zyl
