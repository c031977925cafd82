#include "Zyl.Platform.D2D.Support.h"

#include <cmath>
#include <limits>

#include "System.Remainder.Text.h"
#include "Zyl.Platform.Soft.Pixels.h"

namespace Zyl {

std::array<uint32_t, 64> HatchPixels(int32_t style, int32_t brushColor, int32_t backColor, bool backTransparent) {
    return HatchTile(HatchPattern(style), ColorToPixel(brushColor), backTransparent ? 0u : ColorToPixel(backColor));
}

std::u16string HatchKey(int32_t style, int32_t brushColor, int32_t backColor, bool backTransparent) {
    return System::Int64ToStr(style) + u"|" + System::Int64ToStr(brushColor) + u"|" +
           System::Int64ToStr(backColor) + (backTransparent ? u"t" : u"");
}

int64_t RoundTiesToEven(double value) {
    const double whole = std::floor(value), rest = value - whole;
    int64_t result = int64_t(whole);
    if (rest > 0.5 || (rest == 0.5 && (result & 1) != 0)) ++result;
    return result;
}

std::u16string FontKey(const std::u16string& name, int32_t height, int32_t style) {
    return name + u"|" + System::Int64ToStr(height) + u"|" + System::Int64ToStr(style & 3);
}

std::u16string TextFormatKey(const std::u16string& face, float size, bool bold, bool italic) {
    return face + u"|" + System::Int64ToStr(RoundTiesToEven(double(size) * 100.0)) + (bold ? u"b" : u"") +
           (italic ? u"i" : u"");
}

bool CutSurfaceCopy(int32_t srcWidth, int32_t srcHeight, int32_t sx1, int32_t sy1, int32_t sx2, int32_t sy2,
                    int32_t dx1, int32_t dy1, int32_t dx2, int32_t dy2, int32_t originX, int32_t originY,
                    TSurfaceCopyRects& out) {
    // Every product below is at most 2^31 x (2^32 - 1), inside int64.
    int64_t s[4] = {sx1, sy1, sx2, sy2};
    int64_t d[4] = {int64_t(dx1) + originX, int64_t(dy1) + originY, int64_t(dx2) + originX, int64_t(dy2) + originY};
    const int64_t sw = s[2] - s[0], sh = s[3] - s[1], dw = d[2] - d[0], dh = d[3] - d[1];
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) return false;
    if (s[0] < 0) d[0] += -s[0] * dw / sw, s[0] = 0;
    if (s[1] < 0) d[1] += -s[1] * dh / sh, s[1] = 0;
    if (s[2] > srcWidth) d[2] -= (s[2] - srcWidth) * dw / sw, s[2] = srcWidth;
    if (s[3] > srcHeight) d[3] -= (s[3] - srcHeight) * dh / sh, s[3] = srcHeight;
    if (s[0] >= s[2] || s[1] >= s[3] || d[0] >= d[2] || d[1] >= d[3]) return false;
    constexpr int64_t lowest = std::numeric_limits<int32_t>::min(), highest = std::numeric_limits<int32_t>::max();
    for (const int64_t v : d)
        if (v < lowest || v > highest) return false;
    out = {int32_t(s[0]), int32_t(s[1]), int32_t(s[2]), int32_t(s[3]),
           int32_t(d[0]), int32_t(d[1]), int32_t(d[2]), int32_t(d[3])};
    return true;
}

} // namespace Zyl
