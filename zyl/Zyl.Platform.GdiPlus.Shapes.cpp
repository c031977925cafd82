#include "Zyl.Platform.GdiPlus.Shapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace Zyl {

int32_t ArcPoints(int64_t left, int64_t top, int64_t right, int64_t bottom, int64_t x3, int64_t y3, int64_t x4,
                  int64_t y4, double inset, TArcPoints& points) {
    // Device coordinates stay within 2^33: their sums and differences are
    // exact in double.
    const double rx = double(right - left) / 2 - inset;
    const double ry = double(bottom - top) / 2 - inset;
    if (rx <= 0 || ry <= 0) return 0;
    const double cx = double(left + right) / 2, cy = double(top + bottom) / 2;
    auto angle = [&](int64_t x, int64_t y) {
        if (double(x) == cx && double(y) == cy) return 0.0;
        return std::atan2(-(double(y) - cy) / ry, (double(x) - cx) / rx);
    };
    constexpr double kTurn = 2 * std::numbers::pi;
    const double start = angle(x3, y3);
    double sweep = std::fmod(angle(x4, y4) - start, kTurn);
    if (sweep < 0) sweep += kTurn;
    if (sweep < 1e-6 || sweep > kTurn - 1e-6) sweep = kTurn;
    // Limited while still a double: a huge radius would otherwise convert a
    // value beyond int32.
    const int32_t segments = int32_t(std::min(std::floor(std::max(rx, ry) * sweep / 1.5) + 4, double(MaxArcPoints - 1)));
    for (int32_t i = 0; i <= segments; ++i) {
        const double theta = start + i * sweep / segments;
        points[size_t(i)] = {float(cx + rx * std::cos(theta)), float(cy - ry * std::sin(theta))};
    }
    return segments + 1;
}

} // namespace Zyl
