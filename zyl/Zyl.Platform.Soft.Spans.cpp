// The soft canvas's pixel writers: prepared fills, spans clipped to the
// region, and the compositor that draws other surfaces.
#include <emmintrin.h>

#include <algorithm>
#include <cstring>

#include "Zyl.Platform.Soft.h"

namespace Zyl {

// ---- Spans -----------------------------------------------------------------------

void TSoftSpans::Add(int32_t row, int32_t x0, int32_t x1) {
    if (size_t(Count) >= Rows.size()) {
        const size_t length = 2 * size_t(Count) + 64;
        ResizeOrRaise(Rows, length);
        ResizeOrRaise(Lefts, length);
        ResizeOrRaise(Rights, length);
    }
    Rows[size_t(Count)] = row;
    Lefts[size_t(Count)] = x0;
    Rights[size_t(Count)] = x1;
    ++Count;
}

uint32_t* TSoftCanvas::Pixel(int64_t x, int64_t y) const {
    ZYL_PIXEL_CHECK(x >= 0 && x < Width && y >= 0 && y < Height);
    return PixelPtr(Bits, Stride, x, y);
}

void TSoftCanvas::SetFillFor(int32_t color, bool pattern) {
    FillColor = ColorToPixel(color);
    if (pattern) {
        FillMode = FillPattern;
        PatternBackColor = ColorToPixel(State.BackColor);
        PatternOpaque = !State.BackTransparent;
        Pattern = HatchPattern(State.BrushStyle);
    } else if (State.Rop2 == RasterCopy) {
        FillMode = FillPlain;
    } else {
        FillMode = FillRaster;
        FillRop = State.Rop2;
    }
}

void TSoftCanvas::PreparePenFill() { SetFillFor(State.PenColor, false); }

void TSoftCanvas::PrepareBrushFill() { SetFillFor(State.BrushColor, State.BrushStyle >= 2); }

namespace {

// Four pixels per 16-byte store, sixteen per round on long spans.
void FillPixels(uint32_t* p, int64_t count, uint32_t color) {
    if (count >= 8) {
        const __m128i v = _mm_set1_epi32(int32_t(color));
        if (count > 23) {
            for (; count >= 16; count -= 16, p += 16) {
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 4), v);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 8), v);
                _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 12), v);
            }
        }
        for (; count >= 4; count -= 4, p += 4) _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
    }
    for (; count > 0; --count) *p++ = color;
}

} // namespace

void TSoftCanvas::PutSpan(int64_t y, int64_t x0, int64_t x1) {
    if (x0 >= x1) return;
    ZYL_PIXEL_CHECK(y >= 0 && y < Height && x0 >= 0 && x1 <= Width);
    uint32_t* p = Pixel(x0, y);
    switch (FillMode) {
    case FillPlain:
        FillPixels(p, x1 - x0, FillColor);
        break;
    case FillRaster:
        for (int64_t x = x0; x < x1; ++x, ++p) *p = Rop2Result(FillRop, FillColor, *p) | 0xFF000000u;
        break;
    default: {
        const uint8_t bits = Pattern[size_t(y & 7)];
        for (int64_t x = x0; x < x1; ++x, ++p) {
            if (bits >> (x & 7) & 1) *p = FillColor;
            else if (PatternOpaque) *p = PatternBackColor;
        }
        break;
    }
    }
}

void TSoftCanvas::FillSpan(int64_t y, int64_t x0, int64_t x1) {
    if (y < ClipBox.Top || y >= ClipBox.Bottom || x0 >= x1 || x1 <= ClipBox.Left || x0 >= ClipBox.Right) return;
    if (SingleClip) {
        PutSpan(y, std::max<int64_t>(x0, ClipBox.Left), std::min<int64_t>(x1, ClipBox.Right));
        return;
    }
    const int32_t n = ClipRectsInUse(State.ClipRects, State.ClipCount);
    for (int32_t i = 0; i < n; ++i) {
        const int32_t* r = State.ClipRects->data() + 4 * i;
        if (y < r[1] || y >= r[3]) continue;
        const int64_t a = std::max<int64_t>(x0, r[0]), b = std::min<int64_t>(x1, r[2]);
        if (a < b) PutSpan(y, a, b);
    }
}

void TSoftCanvas::PlotPixel(int64_t x, int64_t y) {
    if (IsPixelVisible(x, y)) PutSpan(y, x, x + 1);
}

// ---- Compositing -------------------------------------------------------------------

struct TSoftCanvas::TSource {
    const uint8_t* Bits;
    int32_t Stride;
    int64_t Width, Height;
    bool HasAlpha;

    const uint32_t& At(int64_t x, int64_t y) const { return *PixelPtr(Bits, Stride, x, y); }
};

namespace {

constexpr int32_t kSrcCopy = RopSourceCopy;

// The raster codes the compositor knows; any other copies the source.
bool KnownRasterCode(int32_t rop) {
    switch (uint32_t(rop)) {
    case 0x00000042: case 0x001100A6: case 0x00330008: case 0x00440328: case 0x00550009:
    case 0x005A0049: case 0x00660046: case 0x008800C6: case 0x00BB0226: case 0x00C000CA:
    case 0x00EE0086: case 0x00F00021: case 0x00FB0A09: case 0x00FF0062:
        return true;
    default:
        return false;
    }
}

// Index of the source pixel under the centre of destination pixel i.
int64_t SampleIndex(int64_t i, int64_t sourceSize, int64_t destSize) {
    return sourceSize == destSize ? i : FloorDiv<int64_t>((2 * i + 1) * sourceSize, 2 * destSize);
}

uint32_t Channel(uint32_t p, int shift) { return p >> shift & 0xFF; }

// A row of pixels or-ed with the mask; the rows may overlap.
void CopyRow(uint32_t* d, const uint32_t* s, int64_t count, uint32_t mask) {
    if (!mask || !(d + count <= s || s + count <= d)) {
        std::memmove(d, s, size_t(count) * 4);
        if (mask)
            for (int64_t i = 0; i < count; ++i) d[i] |= mask;
        return;
    }
    const __m128i m = _mm_set1_epi32(int32_t(mask));
    int64_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i + 4));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_or_si128(a, m));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i + 4), _mm_or_si128(b, m));
    }
    for (; i < count; ++i) d[i] = s[i] | mask;
}

// Each 16-bit lane's value x <= 255 * 255 divided by 255, rounded.
__m128i Div255Lanes(__m128i x) {
    const __m128i t = _mm_add_epi16(x, _mm_set1_epi16(128));
    return _mm_srli_epi16(_mm_add_epi16(t, _mm_srli_epi16(t, 8)), 8);
}

// Premultiplied source over destination, each channel s + div255(d * (255 - a))
// capped at 255: an opaque source replaces the pixel and a zero source keeps
// it. `opaque` forces the alpha byte to 255.
void BlendPremultipliedRow(uint32_t* d, const uint32_t* s, int64_t count, bool opaque) {
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi32(255);
    const __m128i force = _mm_set1_epi32(opaque ? int32_t(0xFF000000u) : 0);
    int64_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m128i sp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i dp = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d + i));
        const __m128i inv = _mm_sub_epi32(full, _mm_srli_epi32(sp, 24));
        const __m128i inv2 = _mm_or_si128(inv, _mm_slli_epi32(inv, 16));
        const __m128i lo = Div255Lanes(_mm_mullo_epi16(_mm_unpacklo_epi8(dp, zero), _mm_unpacklo_epi32(inv2, inv2)));
        const __m128i hi = Div255Lanes(_mm_mullo_epi16(_mm_unpackhi_epi8(dp, zero), _mm_unpackhi_epi32(inv2, inv2)));
        const __m128i out = _mm_adds_epu8(sp, _mm_packus_epi16(lo, hi));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_or_si128(out, force));
    }
    for (; i < count; ++i) {
        const uint32_t sp = s[i], dp = d[i], inv = 255 - (sp >> 24);
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8)
            out |= std::min<uint32_t>(255, Channel(sp, shift) + Div255(Channel(dp, shift) * inv)) << shift;
        d[i] = opaque ? out | 0xFF000000u : out;
    }
}

} // namespace

void TSoftCanvas::DrawSurfaceEx(TPlatformSurface* surface, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                                int32_t srcBottom, int32_t dstLeft, int32_t dstTop, int32_t dstRight,
                                int32_t dstBottom, int32_t rop, int32_t opacity, bool useAlpha) {
    if (!surface) return;
    CompositeSurface(surface, srcLeft, srcTop, srcRight, srcBottom, int64_t(dstLeft) + State.OriginX,
                     int64_t(dstTop) + State.OriginY, int64_t(dstRight) + State.OriginX,
                     int64_t(dstBottom) + State.OriginY, rop, std::clamp(opacity, 0, 255), useAlpha, false, 0);
}

void TSoftCanvas::DrawSurfaceTransparent(TPlatformSurface* surface, int32_t srcLeft, int32_t srcTop,
                                         int32_t srcRight, int32_t srcBottom, int32_t dstLeft, int32_t dstTop,
                                         int32_t dstRight, int32_t dstBottom, int32_t transparentColor) {
    if (!surface) return;
    CompositeSurface(surface, srcLeft, srcTop, srcRight, srcBottom, int64_t(dstLeft) + State.OriginX,
                     int64_t(dstTop) + State.OriginY, int64_t(dstRight) + State.OriginX,
                     int64_t(dstBottom) + State.OriginY, kSrcCopy, 255, false, true, transparentColor);
}

void TSoftCanvas::CompositeSurface(TPlatformSurface* source, int64_t srcLeft, int64_t srcTop, int64_t srcRight,
                                   int64_t srcBottom, int64_t dstLeft, int64_t dstTop, int64_t dstRight,
                                   int64_t dstBottom, int32_t rop, int32_t opacity, bool useSourceAlpha,
                                   bool transparent, int32_t transparentColor) {
    const uint8_t* bits = source->Bits();
    if (!bits) return;
    const TSource s{bits, source->Stride(), source->Width(), source->Height(), source->HasAlpha()};
    if (bits != Bits) {
        Composite(s, srcLeft, srcTop, srcRight, srcBottom, dstLeft, dstTop, dstRight, dstBottom, rop, opacity,
                  useSourceAlpha, transparent, transparentColor);
        return;
    }
    const int64_t sw = srcRight - srcLeft, sh = srcBottom - srcTop, dw = dstRight - dstLeft, dh = dstBottom - dstTop;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 || dw > 65536 || dh > 65536) return;
    const bool blending = opacity < 255 || (useSourceAlpha && s.HasAlpha);
    const uint32_t mask = s.HasAlpha && SurfaceHasAlpha ? 0 : 0xFF000000u;
    if (rop == kSrcCopy && !blending && !transparent && SingleClip && dw == sw && dh == sh &&
        MoveInPlace(s, srcLeft, srcTop, dstLeft, dstTop, dstRight, dstBottom, mask))
        return;
    CompositeSampledCopy(s, srcLeft, srcTop, srcRight, srcBottom, dstLeft, dstTop, dstRight, dstBottom, rop, opacity,
                         useSourceAlpha, transparent, transparentColor);
}

// Moves pixels within the canvas's own surface in an order that is safe for
// overlap; false when the source rectangle leaves the surface.
bool TSoftCanvas::MoveInPlace(const TSource& s, int64_t srcLeft, int64_t srcTop, int64_t dstLeft, int64_t dstTop,
                              int64_t dstRight, int64_t dstBottom, uint32_t mask) {
    const int64_t sw = dstRight - dstLeft, sh = dstBottom - dstTop;
    if (srcLeft < 0 || srcTop < 0 || srcLeft + sw > s.Width || srcTop + sh > s.Height) return false;
    const int64_t x0 = std::max<int64_t>(dstLeft, ClipBox.Left), x1 = std::min<int64_t>(dstRight, ClipBox.Right);
    const int64_t y0 = std::max<int64_t>(dstTop, ClipBox.Top), y1 = std::min<int64_t>(dstBottom, ClipBox.Bottom);
    if (x0 >= x1 || y0 >= y1) return true;
    const bool bottomUp = srcTop < dstTop;
    for (int64_t i = 0; i < y1 - y0; ++i) {
        const int64_t y = bottomUp ? y1 - 1 - i : y0 + i;
        ZYL_PIXEL_CHECK(x1 <= Width);
        // memmove copies as if through a buffer, which is the order rule.
        CopyRow(Pixel(x0, y), PixelPtr(Bits, Stride, srcLeft + (x0 - dstLeft), srcTop + (y - dstTop)), x1 - x0, mask);
    }
    return true;
}

// The canvas's own pixels drawn onto themselves with scaling, blending or a
// raster code: the pixels that the clipped destination samples are copied
// first (never the whole source rectangle, which may be far larger than the
// surface), each where the destination pixel meets it, and drawn one to one.
// Samples outside the surface hold a new surface's first pixel.
void TSoftCanvas::CompositeSampledCopy(const TSource& s, int64_t srcLeft, int64_t srcTop, int64_t srcRight,
                                       int64_t srcBottom, int64_t dstLeft, int64_t dstTop, int64_t dstRight,
                                       int64_t dstBottom, int32_t rop, int32_t opacity, bool useSourceAlpha,
                                       bool transparent, int32_t transparentColor) {
    const int64_t x0 = std::max<int64_t>(dstLeft, ClipBox.Left), x1 = std::min<int64_t>(dstRight, ClipBox.Right);
    const int64_t y0 = std::max<int64_t>(dstTop, ClipBox.Top), y1 = std::min<int64_t>(dstBottom, ClipBox.Bottom);
    if (x0 >= x1 || y0 >= y1) return;
    const int64_t sw = srcRight - srcLeft, sh = srcBottom - srcTop, dw = dstRight - dstLeft, dh = dstBottom - dstTop;
    const int64_t w = x1 - x0, h = y1 - y0;
    THeapBlock<uint32_t> copy = AllocZeroed<uint32_t>(uint64_t(w) * uint64_t(h));
    const uint32_t initial = s.HasAlpha ? 0 : 0xFF000000u;
    std::vector<int64_t> columns;
    ResizeOrRaise(columns, size_t(w));
    for (int64_t i = 0; i < w; ++i) columns[size_t(i)] = srcLeft + SampleIndex(x0 + i - dstLeft, sw, dw);
    for (int64_t j = 0; j < h; ++j) {
        const int64_t sy = srcTop + SampleIndex(y0 + j - dstTop, sh, dh);
        uint32_t* out = copy.get() + j * w;
        for (int64_t i = 0; i < w; ++i) {
            const int64_t sx = columns[size_t(i)];
            out[i] = sx >= 0 && sx < s.Width && sy >= 0 && sy < s.Height ? s.At(sx, sy) : initial;
        }
    }
    const TSource sampled{reinterpret_cast<const uint8_t*>(copy.get()), int32_t(4 * w), w, h, s.HasAlpha};
    Composite(sampled, 0, 0, w, h, x0, y0, x1, y1, rop, opacity, useSourceAlpha, transparent, transparentColor);
}

void TSoftCanvas::Composite(const TSource& s, int64_t srcLeft, int64_t srcTop, int64_t srcRight, int64_t srcBottom,
                            int64_t dstLeft, int64_t dstTop, int64_t dstRight, int64_t dstBottom, int32_t rop,
                            int32_t opacity, bool useSourceAlpha, bool transparent, int32_t transparentColor) {
    const int64_t sw = srcRight - srcLeft, sh = srcBottom - srcTop, dw = dstRight - dstLeft, dh = dstBottom - dstTop;
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 || dw > 65536 || dh > 65536) return;
    const bool blending = opacity < 255 || (useSourceAlpha && s.HasAlpha);
    const uint32_t mask = s.HasAlpha && SurfaceHasAlpha ? 0 : 0xFF000000u;
    const int64_t x0 = std::max<int64_t>(dstLeft, ClipBox.Left), x1 = std::min<int64_t>(dstRight, ClipBox.Right);
    const int64_t y0 = std::max<int64_t>(dstTop, ClipBox.Top), y1 = std::min<int64_t>(dstBottom, ClipBox.Bottom);
    if (x0 >= x1 || y0 >= y1) return;

    // Source column of each destination column. The map never decreases, so
    // the columns that meet the source are one run.
    std::vector<int64_t> columns;
    ResizeOrRaise(columns, size_t(x1 - x0));
    int64_t runFirst = x1, runEnd = x0;
    for (int64_t x = x0; x < x1; ++x) {
        const int64_t sx = srcLeft + SampleIndex(x - dstLeft, sw, dw);
        columns[size_t(x - x0)] = sx;
        if (sx >= 0 && sx < s.Width) runFirst = std::min(runFirst, x), runEnd = x + 1;
    }
    if (runFirst >= runEnd) return;
    ZYL_PIXEL_CHECK(runFirst >= 0 && runEnd <= Width);
    auto column = [&](int64_t x) { return columns[size_t(x - x0)]; };

    const bool copyMode = rop == kSrcCopy && !blending && !transparent && SingleClip;
    const bool premultipliedBlend =
        rop == kSrcCopy && blending && opacity == 255 && useSourceAlpha && s.HasAlpha && dw == sw && SingleClip;
    const uint32_t key = ColorToRgb(transparentColor);
    const uint32_t brush = ColorToRgb(State.BrushColor);
    const bool known = KnownRasterCode(rop);
    const uint32_t o = uint32_t(opacity);

    for (int64_t y = y0; y < y1; ++y) {
        const int64_t sy = srcTop + SampleIndex(y - dstTop, sh, dh);
        if (sy < 0 || sy >= s.Height) continue;
        uint32_t* d = Pixel(runFirst, y) - runFirst;
        const uint32_t* row = &s.At(0, sy);
        if (copyMode && dw == sw) {
            CopyRow(d + runFirst, row + column(runFirst), runEnd - runFirst, mask);
        } else if (copyMode) {
            for (int64_t x = runFirst; x < runEnd; ++x) d[x] = row[column(x)] | mask;
        } else if (premultipliedBlend) {
            BlendPremultipliedRow(d + runFirst, row + column(runFirst), runEnd - runFirst, !SurfaceHasAlpha);
        } else {
            for (int64_t x = runFirst; x < runEnd; ++x) {
                if (!SingleClip && !IsPixelVisible(x, y)) continue;
                const uint32_t sp = row[column(x)];
                uint32_t& dp = d[x];
                if (transparent) {
                    if ((sp & 0xFFFFFF) != key) dp = sp | 0xFF000000u;
                } else if (rop == kSrcCopy && blending) {
                    const uint32_t sa = useSourceAlpha && s.HasAlpha ? sp >> 24 : 255;
                    const uint32_t A = Div255(o * sa);
                    uint32_t out = 0;
                    for (int shift = 0; shift < 24; shift += 8)
                        out |= std::min<uint32_t>(255, Div255(o * Channel(sp, shift)) + Div255((255 - A) * Channel(dp, shift))) << shift;
                    const uint32_t alpha = SurfaceHasAlpha ? std::min<uint32_t>(255, A + Div255((255 - A) * (dp >> 24))) : 255;
                    dp = out | alpha << 24;
                } else if (rop != kSrcCopy) {
                    dp = (known ? TernaryRop(uint8_t(uint32_t(rop) >> 16), brush, sp, dp) : sp) | 0xFF000000u;
                } else {
                    dp = sp | mask;
                }
            }
        }
    }
}

} // namespace Zyl
