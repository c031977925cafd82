#include "Zyl.Platform.FloatFit.h"

#include <algorithm>
#include <cmath>

namespace Zyl {

bool FitsFloat(const std::vector<TDevicePoint>& points) {
    return std::all_of(points.begin(), points.end(), [](const TDevicePoint& p) { return FitsFloat(p); });
}

bool FitLineToFloat(TDevicePoint from, TDevicePoint to, const TDeviceRect& area, double period, TFloatLine& out) {
    // Exact in double: device coordinates stay within 2^33.
    const double x0 = double(from.X), y0 = double(from.Y), dx = double(to.X) - x0, dy = double(to.Y) - y0;
    if (FitsFloat(from) && FitsFloat(to)) {
        out = {x0, y0, double(to.X), double(to.Y)};
        return true;
    }
    // The stretch t0 .. t1 of the line from + t (to - from) inside the area.
    double t0 = 0, t1 = 1;
    const auto cut = [&](double p, double q) {
        if (p == 0) return q >= 0;
        const double t = q / p;
        if (p < 0) t0 = std::max(t0, t);
        else t1 = std::min(t1, t);
        return true;
    };
    if (!cut(-dx, x0 - double(area.Left)) || !cut(dx, double(area.Right) - x0) || !cut(-dy, y0 - double(area.Top)) ||
        !cut(dy, double(area.Bottom) - y0) || t0 >= t1)
        return false;
    if (t0 > 0 && period > 0) {
        const double length = std::hypot(dx, dy);
        t0 = std::floor(t0 * length / period) * period / length;
    }
    out = {x0 + t0 * dx, y0 + t0 * dy, x0 + t1 * dx, y0 + t1 * dy};
    return true;
}

} // namespace Zyl
