// The soft canvas's text: lines of block-font glyphs blended in the font
// colour, upright with an optional background box or along a turned
// baseline, clipped text rectangles and the font's metrics.
#include <algorithm>

#include "Zyl.Platform.Soft.h"

namespace Zyl {

namespace {

// The code points of UTF-16 text; a lone surrogate stands for itself.
template <class F>
void ForCodePoints(const std::u16string& text, F&& each) {
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF)
            c = c * 1024 + text[++i] - 56613888;
        each(c);
    }
}

// Restores the clip region it saved, also when drawing raises.
class TClipGuard {
public:
    explicit TClipGuard(TSoftCanvas& canvas)
        : canvas_(canvas), rects_(canvas.State.ClipRects), count_(canvas.State.ClipCount) {}
    ~TClipGuard() {
        canvas_.State.ClipRects = rects_;
        canvas_.State.ClipCount = count_;
        canvas_.UpdateClipBox();
    }
    TClipGuard(const TClipGuard&) = delete;
    TClipGuard& operator=(const TClipGuard&) = delete;

private:
    TSoftCanvas& canvas_;
    TClipRectArray rects_;
    int32_t count_;
};

} // namespace

void TSoftCanvas::SelectFont() {
    if (!Font) Font = GetSoftTextProvider()->GetFont(State.FontName, State.FontSize, State.FontStyle);
}

void TSoftCanvas::TextOut(int32_t x, int32_t y, const std::u16string& text) {
    DrawTextAt(int64_t(x) + State.OriginX, int64_t(y) + State.OriginY, text, true);
}

void TSoftCanvas::TextRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x, int32_t y,
                           const std::u16string& text, bool opaque) {
    const TClipGuard guard(*this);
    const int64_t l = int64_t(left) + State.OriginX, t = int64_t(top) + State.OriginY;
    const int64_t r = int64_t(right) + State.OriginX, b = int64_t(bottom) + State.OriginY;
    IntersectClip(l, t, r, b);
    if (opaque) {
        FillMode = FillPlain;
        FillColor = ColorToPixel(State.BackColor);
        if (l < r && t < b) FillRows(t, b, l, r);
    }
    DrawTextAt(int64_t(x) + State.OriginX, int64_t(y) + State.OriginY, text, !opaque);
}

void TSoftCanvas::TextExtent(const std::u16string& text, int32_t& width, int32_t& height) {
    SelectFont();
    width = Font->TextWidth(text);
    height = SaturateInt32(int64_t(Font->Ascent()) + Font->Descent());
}

void TSoftCanvas::FontMetrics(int32_t& height, int32_t& ascent, int32_t& descent, int32_t& internalLeading,
                              int32_t& externalLeading, int32_t& aveCharWidth, int32_t& maxCharWidth) {
    SelectFont();
    ascent = Font->Ascent();
    descent = Font->Descent();
    height = SaturateInt32(int64_t(ascent) + descent);
    internalLeading = Font->InternalLeading();
    externalLeading = 0;
    aveCharWidth = Font->AveCharWidth();
    maxCharWidth = Font->MaxCharWidth();
}

void TSoftCanvas::DrawTextAt(int64_t x, int64_t y, const std::u16string& text, bool fillBackground) {
    if (text.empty()) return;
    SelectFont();
    const int64_t asc = Font->Ascent(), desc = Font->Descent();
    if (State.TextAngle == 0) {
        const int64_t w = Font->TextWidth(text);
        if (fillBackground && !State.BackTransparent) {
            FillMode = FillPlain;
            FillColor = ColorToPixel(State.BackColor);
            if (w > 0 && asc + desc > 0) FillRows(y, y + asc + desc, x, x + w);
        }
        int64_t pen = x;
        ForCodePoints(text, [&](uint32_t c) {
            const TRef<TSoftGlyph> glyph = Font->GetGlyph(c);
            if (glyph->Width > 0) BlendGlyph(*glyph, pen + glyph->Left, y + asc + glyph->Top);
            pen += Font->CachedAdvance(c);
        });
        return;
    }
    // A baseline in 16.16 turned by the angle; no background box.
    const TInt128 s = SoftSine(State.TextAngle), c = SoftCosine(State.TextAngle);
    const TInt128 bx = s * asc + TInt128(x) * 65536 + 32768, by = c * asc + TInt128(y) * 65536 + 32768;
    int64_t advance = 0;
    ForCodePoints(text, [&](uint32_t code) {
        const TRef<TSoftGlyph> glyph = Font->GetRotatedGlyph(code, State.TextAngle);
        const int64_t px = int64_t(FloorDiv<TInt128>(bx + advance * c, 65536));
        const int64_t py = int64_t(FloorDiv<TInt128>(by - advance * s, 65536));
        if (glyph->Width > 0) BlendGlyph(*glyph, px + glyph->Left, py + glyph->Top);
        advance += Font->CachedAdvance(code);
    });
}

void TSoftCanvas::BlendGlyph(const TSoftGlyph& glyph, int64_t gx, int64_t gy) {
    if (glyph.Width <= 0 || glyph.Height <= 0) return;
    const int64_t i0 = std::max<int64_t>(0, ClipBox.Left - gx), i1 = std::min<int64_t>(glyph.Width, ClipBox.Right - gx);
    if (i0 >= i1) return;
    const int64_t j0 = std::max<int64_t>(0, ClipBox.Top - gy), j1 = std::min<int64_t>(glyph.Height, ClipBox.Bottom - gy);
    const uint32_t t = ColorToPixel(State.FontColor);
    for (int64_t j = j0; j < j1; ++j) {
        const uint8_t* coverage = glyph.Coverage.data() + size_t(j) * size_t(glyph.Width);
        for (int64_t i = i0; i < i1; ++i) {
            const uint32_t v = coverage[i];
            if (v == 0) continue;
            const int64_t x = gx + i, y = gy + j;
            if (!SingleClip && !ClipRectsContain(State.ClipRects, State.ClipCount, x, y)) continue;
            uint32_t& p = *Pixel(x, y);
            if (v == 255) {
                p = t;
                continue;
            }
            const auto mix = [&](int shift) {
                return Div255(v * ((t >> shift) & 0xFF) + (255 - v) * ((p >> shift) & 0xFF)) << shift;
            };
            const uint32_t alpha = SurfaceHasAlpha ? Div255(255 * v + (255 - v) * (p >> 24)) << 24 : 0xFF000000u;
            p = mix(0) | mix(8) | mix(16) | alpha;
        }
    }
}

} // namespace Zyl
