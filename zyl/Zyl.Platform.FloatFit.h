// Device geometry as the canvases that draw through 32-bit float
// coordinates (GDI+ and Direct2D) hand it on: points stay exact 64-bit
// integers until a float can hold them, and a line that reaches too far for
// one is first cut to the surface. No Windows interface here.
#pragma once

#include <cstdint>
#include <vector>

namespace Zyl {

// A device point: a logical point plus the origin, summed in 64 bits.
struct TDevicePoint {
    int64_t X, Y;
    bool operator==(const TDevicePoint&) const = default;
};

// Device pixels, right and bottom exclusive.
struct TDeviceRect {
    int64_t Left, Top, Right, Bottom;
};

// A float holds a pixel centre x + 0.5 exactly while |x| stays below this.
constexpr int64_t FloatExactLimit = int64_t(1) << 23;

// Every dash pattern of these canvases (18-6, 3-3, 9-6-3-6, 9-3-3-3-3-3)
// repeats after 24 pixels.
constexpr double DashPatternPeriod = 24;

// Whether the coordinates stay within FloatExactLimit.
inline bool FitsFloat(const TDevicePoint& p) {
    return p.X > -FloatExactLimit && p.X < FloatExactLimit && p.Y > -FloatExactLimit && p.Y < FloatExactLimit;
}
bool FitsFloat(const std::vector<TDevicePoint>& points);

// The ends of a line in device pixels, as the backend receives them.
struct TFloatLine {
    double X0, Y0, X1, Y1;
};

// The line from pixel `from` to pixel `to` as a float backend can take it.
// While its coordinates fit a float it stays as it is. Otherwise it is cut to
// `area` on the line itself, so it keeps its slope: an end outside the area
// moves to the area's edge, except that the start moves only by whole
// `period`s along the line (0: to the edge), which keeps a dash pattern's
// phase. False when no part of the line lies in the area.
bool FitLineToFloat(TDevicePoint from, TDevicePoint to, const TDeviceRect& area, double period, TFloatLine& out);

} // namespace Zyl
