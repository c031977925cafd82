// Stateless routines on raw surface pixels (32-bit B, G, R, A, premultiplied,
// rows `stride` bytes apart) and on clip-rectangle lists, shared by the
// software canvas and by the canvases whose surfaces keep their pixels in the
// same layout. No Windows interface here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace Zyl {

// A clip region: int32 (left, top, right, bottom) groups, device pixels,
// right and bottom exclusive, with a separate count of the rectangles in use.
// An installed array is never written again: every change makes a new one,
// so a second holder (a saved canvas state) keeps its rectangles.
using TClipRectArray = std::shared_ptr<const std::vector<int32_t>>;

struct TClipBox {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// The rectangles actually present: count, bounded by the array's length.
int32_t ClipRectsInUse(const TClipRectArray& rects, int32_t count);
// Bounding box of the rectangles in use; all zero when there are none.
TClipBox ClipRectsBounds(const TClipRectArray& rects, int32_t count);
bool ClipRectsContain(const TClipRectArray& rects, int32_t count, int64_t x, int64_t y);

void ResetClipRects(TClipRectArray& rects, int32_t& count, int32_t width, int32_t height);
void IntersectClipRects(TClipRectArray& rects, int32_t& count, int32_t left, int32_t top, int32_t right,
                        int32_t bottom);
// Writes the non-empty intersections with the rectangle into `out` from the
// start and returns their number; 0 for an empty rectangle or list.
int32_t ClipRectsToRect(const TClipRectArray& rects, int32_t count, int32_t left, int32_t top, int32_t right,
                        int32_t bottom, std::vector<int32_t>& out);
// Removes the rectangle from the list: each rectangle it overlaps is split
// into the pieces above, below, left and right of it (in that order), so the
// rectangles of a list that never overlapped still do not. A result of more
// than 256 rectangles becomes its bounding box. A reversed rectangle (left >
// right or top > bottom) excludes nothing and leaves the list as it was.
void ExcludeClipRects(TClipRectArray& rects, int32_t& count, int32_t left, int32_t top, int32_t right,
                      int32_t bottom);

// TColor 0x00BBGGRR as the pixel 0x00RRGGBB (no alpha) and 0xFFRRGGBB.
constexpr uint32_t ColorToRgb(int32_t color) {
    const uint32_t c = uint32_t(color);
    return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr uint32_t ColorToPixel(int32_t color) { return 0xFF000000u | ColorToRgb(color); }

// The nearest integer to x / 255 for 0 <= x <= 255 * 255.
constexpr uint32_t Div255(uint32_t x) { return (x + 128 + ((x + 128) >> 8)) >> 8; }

// The 8 x 8 hatch of a brush style 2..7 (larger values: the diagonal cross);
// byte r is row r, bit k column k.
std::array<uint8_t, 8> HatchPattern(int32_t brushStyle);
// The hatch that a brush of this style paints: HatchPattern for 2..7, none
// above 7, which paint only their background.
std::array<uint8_t, 8> BrushHatch(int32_t brushStyle);
// The 8 x 8 tile of a hatch, row by row, with the grid moved by (shiftX,
// shiftY): tile pixel (x, y) is `fore` where the pattern holds pixel
// ((x + shiftX) mod 8, (y + shiftY) mod 8), else `back`.
std::array<uint32_t, 64> HatchTile(const std::array<uint8_t, 8>& pattern, uint32_t fore, uint32_t back,
                                   int32_t shiftX = 0, int32_t shiftY = 0);

// A pen mode 0..15 applied to pen P and destination D on all 32 bits; any
// other mode gives P. The caller forces the alpha it needs.
uint32_t Rop2Result(int32_t mode, uint32_t p, uint32_t d);

// The ternary raster operation `index` (bits 16..23 of a raster code): bit
// (4p + 2s + d) of the index for the bits of pattern P, source S and D.
uint32_t TernaryRop(uint8_t index, uint32_t p, uint32_t s, uint32_t d);

// Fills the 4-connected area around (x, y) that has `color` (or, with
// toBorder, that lacks it) inside the clip list, with the brush. No recursion:
// an explicit stack of seeds.
void FloodFillPixels(uint8_t* pixels, int32_t stride, int32_t width, int32_t height, const TClipRectArray& clipRects,
                     int32_t clipCount, int32_t x, int32_t y, int32_t color, bool toBorder, int32_t brushColor,
                     int32_t brushStyle, int32_t backColor, bool backTransparent);

// Copies a source rectangle, scaled by nearest sampling, into a destination
// rectangle with a ternary raster operation (or unchanged with plainCopy).
// The source rectangle must lie inside the srcWidth x srcHeight source.
void StretchBlitPixels(uint8_t* dst, int32_t dstStride, int32_t dstWidth, int32_t dstHeight, const uint8_t* src,
                       int32_t srcStride, int32_t srcWidth, int32_t srcHeight, int32_t srcLeft, int32_t srcTop,
                       int32_t srcRight, int32_t srcBottom, int32_t dstLeft, int32_t dstTop, int32_t dstRight,
                       int32_t dstBottom, const TClipRectArray& clipRects, int32_t clipCount, int32_t brushColor,
                       int32_t rop, bool plainCopy);

// Combines the layer's pixels whose alpha is not 0 into the destination at
// (dstX, dstY) with a pen mode, inside the clip list and the dstWidth x
// dstHeight surface.
void CombineRop2Pixels(uint8_t* dst, int32_t dstStride, int32_t dstWidth, int32_t dstHeight, const uint8_t* src,
                       int32_t srcStride, int32_t width, int32_t height, int32_t dstX, int32_t dstY,
                       const TClipRectArray& clipRects, int32_t clipCount, int32_t mode);

// XORs the dotted outline of the rectangle (right and bottom exclusive) with
// the colour's blue, green and red bytes: only pixels whose x + y is odd, on
// the surface and inside the clip list. Alpha never changes, and the same
// call twice restores every pixel.
void XorFocusRectPixels(uint8_t* pixels, int32_t stride, int32_t width, int32_t height,
                        const TClipRectArray& clipRects, int32_t clipCount, int32_t left, int32_t top, int32_t right,
                        int32_t bottom, int32_t color);

// Address of pixel (x, y); rows are ptrdiff_t apart so that tall surfaces do
// not wrap.
inline uint32_t* PixelPtr(uint8_t* bits, int32_t stride, int64_t x, int64_t y) {
    return reinterpret_cast<uint32_t*>(bits + ptrdiff_t(y) * ptrdiff_t(stride) + ptrdiff_t(x) * 4);
}
inline const uint32_t* PixelPtr(const uint8_t* bits, int32_t stride, int64_t x, int64_t y) {
    return reinterpret_cast<const uint32_t*>(bits + ptrdiff_t(y) * ptrdiff_t(stride) + ptrdiff_t(x) * 4);
}

} // namespace Zyl
