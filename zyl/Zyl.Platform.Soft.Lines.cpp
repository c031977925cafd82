// The soft canvas's lines: thin dashed lines, wide lines with round ends,
// the fixed pen profiles, polylines and flattened Bézier curves.
#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>

#include "Zyl.Platform.Soft.h"
#include "Zyl.Platform.Soft.Pixels.h"

namespace Zyl {

using System::MakeRef;

// ---- Pen profiles ----------------------------------------------------------------------

std::vector<int32_t> ParsePenProfile(std::string_view text) {
    std::vector<int32_t> numbers;
    for (size_t i = 0; i < text.size();) {
        const bool minus = text[i] == '-' && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '9';
        if (!minus && (text[i] < '0' || text[i] > '9')) {
            ++i;
            continue;
        }
        if (minus) ++i;
        // Saturated: the magnitude stops just past what int32 holds.
        int64_t value = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            value = std::min<int64_t>(value * 10 + (text[i] - '0'), int64_t{INT32_MAX} + 1);
        numbers.push_back(SaturateInt32(minus ? -value : value));
    }
    if (numbers.empty()) return {0, 0};
    std::vector<int32_t> profile{numbers[0], int32_t((numbers.size() - 1) / 2)};
    profile.insert(profile.end(), numbers.begin() + 1, numbers.end());
    return profile;
}

namespace {

// Horizontal and vertical profile of each width 2..20, as drawn for lines of
// that width: the shift of the first row (column), then per row the start and
// end offsets from the line's ends.
constexpr std::array<std::array<std::string_view, 2>, 19> kPenProfiles = {{
    {"-1;1,0;0,0", "-1;0,0;0,0"},
    {"-1;0,0;-1,1;0,0", "-1;0,0;-1,1;0,0"},
    {"-2;1,0;-1,1;-1,1;-1,1", "-2;0,-1;-1,1;-1,1;-1,1"},
    {"-2;-1,1;-2,2;-2,2;-2,2;-1,1", "-2;-1,1;-2,2;-2,2;-2,2;-1,1"},
    {"-3;1,0;-1,1;-2,2;-2,2;-2,2;-1,1", "-3;0,-1;-1,1;-2,2;-2,2;-2,2;-1,1"},
    {"-3;-1,1;-2,2;-3,3;-3,3;-3,3;-2,2;-1,1", "-3;-1,1;-2,2;-3,3;-3,3;-3,3;-2,2;-1,1"},
    {"-4;0,-1;-2,2;-3,3;-3,3;-3,3;-3,3;-3,3;-2,2", "-4;0,0;-2,2;-3,3;-3,3;-3,3;-3,3;-3,3;-2,2"},
    {"-4;-1,1;-3,3;-3,3;-4,4;-4,4;-4,4;-3,3;-3,3;-1,1", "-4;-1,1;-3,3;-3,3;-4,4;-4,4;-4,4;-3,3;-3,3;-1,1"},
    {"-5;0,-1;-2,2;-3,3;-4,4;-4,4;-4,4;-4,4;-4,4;-3,3;-2,2", "-5;0,0;-2,2;-3,3;-4,4;-4,4;-4,4;-4,4;-4,4;-3,3;-2,2"},
    {"-5;-1,1;-3,3;-4,4;-4,4;-5,5;-5,5;-5,5;-4,4;-4,4;-3,3;-1,1",
     "-5;-1,1;-3,3;-4,4;-4,4;-5,5;-5,5;-5,5;-4,4;-4,4;-3,3;-1,1"},
    {"-6;0,-1;-2,2;-4,4;-4,4;-5,5;-5,5;-5,5;-5,5;-5,5;-4,4;-4,4;-2,2",
     "-6;0,0;-2,2;-4,4;-4,4;-5,5;-5,5;-5,5;-5,5;-5,5;-4,4;-4,4;-2,2"},
    {"-6;-2,2;-3,3;-4,4;-5,5;-6,6;-6,6;-6,6;-6,6;-6,6;-5,5;-4,4;-3,3;-2,2",
     "-6;-2,2;-3,3;-4,4;-5,5;-6,6;-6,6;-6,6;-6,6;-6,6;-5,5;-4,4;-3,3;-2,2"},
    {"-7;0,-1;-3,3;-4,4;-5,5;-6,6;-6,6;-6,6;-6,6;-6,6;-6,6;-6,6;-5,5;-4,4;-3,3",
     "-7;0,0;-3,3;-4,4;-5,5;-6,6;-6,6;-6,6;-6,6;-6,6;-6,6;-6,6;-5,5;-4,4;-3,3"},
    {"-7;-2,2;-4,4;-5,5;-6,6;-6,6;-7,7;-7,7;-7,7;-7,7;-7,7;-6,6;-6,6;-5,5;-4,4;-2,2",
     "-7;-2,2;-4,4;-5,5;-6,6;-6,6;-7,7;-7,7;-7,7;-7,7;-7,7;-6,6;-6,6;-5,5;-4,4;-2,2"},
    {"-8;0,-1;-3,3;-4,4;-6,6;-6,6;-7,7;-7,7;-7,7;-7,7;-7,7;-7,7;-7,7;-6,6;-6,6;-4,4;-3,3",
     "-8;0,0;-3,3;-5,5;-5,5;-6,6;-7,7;-7,7;-7,7;-7,7;-7,7;-7,7;-7,7;-6,6;-5,5;-5,5;-3,3"},
    {"-8;-2,2;-4,4;-5,5;-6,6;-7,7;-7,7;-8,8;-8,8;-8,8;-8,8;-8,8;-7,7;-7,7;-6,6;-5,5;-4,4;-2,2",
     "-8;-2,2;-4,4;-5,5;-6,6;-7,7;-7,7;-8,8;-8,8;-8,8;-8,8;-8,8;-7,7;-7,7;-6,6;-5,5;-4,4;-2,2"},
    {"-9;0,-1;-3,3;-5,5;-6,6;-7,7;-7,7;-8,8;-8,8;-8,8;-8,8;-8,8;-8,8;-8,8;-7,7;-7,7;-6,6;-5,5;-3,3",
     "-9;0,0;-3,3;-5,5;-6,6;-7,7;-7,7;-8,8;-8,8;-8,8;-8,8;-8,8;-8,8;-8,8;-7,7;-7,7;-6,6;-5,5;-3,3"},
    {"-9;-2,2;-4,4;-6,6;-7,7;-7,7;-8,8;-8,8;-9,9;-9,9;-9,9;-9,9;-9,9;-8,8;-8,8;-7,7;-7,7;-6,6;-4,4;-2,2",
     "-9;-2,2;-4,4;-6,6;-7,7;-7,7;-8,8;-8,8;-9,9;-9,9;-9,9;-9,9;-9,9;-8,8;-8,8;-7,7;-7,7;-6,6;-4,4;-2,2"},
    {"-10;0,-1;-4,4;-5,5;-7,6;-7,7;-8,8;-9,9;-9,9;-9,9;-9,9;-9,9;-9,9;-9,9;-9,9;-9,9;-8,8;-7,7;-7,6;-5,5;-4,4",
     "-10;0,0;-4,4;-5,5;-7,7;-7,7;-8,8;-9,9;-9,9;-9,9;-9,9;-9,9;-9,9;-9,9;-9,9;-9,9;-8,8;-7,7;-6,6;-5,5;-4,4"},
}};

// Filled together on first use and kept for the program's life.
std::array<std::array<TRef<TSoftIntBox>, 21>, 2> gPenProfiles;

// Whether phase `p` of a dash style is drawn.
bool DashOn(int32_t style, int64_t p) {
    switch (style) {
    case PenStyleDash: return p % 24 < 18;
    case PenStyleDot: return p % 6 < 3;
    case PenStyleDashDot: {
        const int64_t q = p % 24;
        return q < 9 || (q >= 15 && q < 18);
    }
    default: {
        const int64_t q = p % 24;
        return q < 9 || (q >= 12 && q < 15) || (q >= 18 && q < 21);
    }
    }
}

int64_t Sign(int64_t v) { return (v > 0) - (v < 0); }

using TUInt128 = unsigned __int128;

// a * b as a 256-bit value (high, low halves).
struct TUInt256 {
    TUInt128 High, Low;
    bool operator<(const TUInt256& o) const { return High != o.High ? High < o.High : Low < o.Low; }
};

TUInt256 Multiply(TUInt128 a, TUInt128 b) {
    const TUInt128 mask = ~uint64_t(0);
    const TUInt128 a0 = a & mask, a1 = a >> 64, b0 = b & mask, b1 = b >> 64;
    const TUInt128 p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const TUInt128 middle = (p00 >> 64) + (p01 & mask) + (p10 & mask);
    return {p11 + (p01 >> 64) + (p10 >> 64) + (middle >> 64), (middle << 64) | (p00 & mask)};
}

TUInt128 Abs(TInt128 v) { return v < 0 ? TUInt128(-v) : TUInt128(v); }

// The doubled-coordinate segment of a wide line: an even width runs through
// the top-left corners of its end pixels, an odd one through their centres.
struct TWideSegment {
    TWideSegment(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t w) : W(w) {
        const int64_t e = (w & 1) == 0 ? 1 : 0;
        P0x = 2 * x0 + 1 - e, P0y = 2 * y0 + 1 - e;
        P1x = 2 * x1 + 1 - e, P1y = 2 * y1 + 1 - e;
        Dx = TInt128(P1x) - P0x, Dy = TInt128(P1y) - P0y;
        DD = Dx * Dx + Dy * Dy;
    }

    // Whether the centre of pixel (x, y) lies closer than w / 2 pixels, with
    // every product exact: cross^2 and w^2 * dot(D, D) can pass 128 bits.
    bool Covers(int64_t x, int64_t y) const {
        const TInt128 vx = TInt128(2 * x + 1) - P0x, vy = TInt128(2 * y + 1) - P0y;
        const TInt128 t = vx * Dx + vy * Dy;
        const TInt128 w2 = TInt128(W) * W;
        if (t <= 0) return vx * vx + vy * vy < w2;
        if (t >= DD) {
            const TInt128 ux = TInt128(2 * x + 1) - P1x, uy = TInt128(2 * y + 1) - P1y;
            return ux * ux + uy * uy < w2;
        }
        const TUInt128 cross = Abs(Dx * vy - Dy * vx);
        return Multiply(cross, cross) < Multiply(TUInt128(w2), TUInt128(DD));
    }

    int64_t W;
    int64_t P0x, P0y, P1x, P1y;
    TInt128 Dx, Dy, DD;
};

void Hull(int64_t a, int64_t b, int64_t& lo, int64_t& hi) {
    if (a > b) return;
    lo = std::min(lo, a);
    hi = std::max(hi, b);
}

// Columns of row `cy` (doubled centre) within w of the end point (px, py).
void DiscColumns(int64_t px, int64_t py, int64_t cy, int64_t w, int64_t& lo, int64_t& hi) {
    const int64_t rest = w * w - (cy - py) * (cy - py) - 1;
    if (rest < 0) return;
    const int64_t r = ISqrt64(rest);
    Hull(-FloorDiv<int64_t>(-(px - 1 - r), 2), FloorDiv<int64_t>(px - 1 + r, 2), lo, hi);
}

bool ProfileCase(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t w) {
    return w >= 2 && w <= 20 && ((y0 == y1 && std::abs(x1 - x0) >= 2) || (x0 == x1 && std::abs(y1 - y0) >= 2));
}

constexpr int64_t kThinLimit = int64_t(1) << 28;
constexpr int64_t kFastLimit = 8192;

} // namespace

const std::vector<int32_t>& GetPenProfile(bool vertical, int32_t width) {
    if (!gPenProfiles[0][2]) {
        RaiseOnBadAlloc([] {
            for (int32_t w = 2; w <= 20; ++w)
                for (int v = 0; v < 2; ++v) {
                    auto box = MakeRef<TSoftIntBox>();
                    box->Values = ParsePenProfile(kPenProfiles[size_t(w - 2)][size_t(v)]);
                    gPenProfiles[size_t(v)][size_t(w)] = box;
                }
        });
    }
    return gPenProfiles[vertical ? 1 : 0][size_t(width)]->Values;
}

// ---- Thin lines --------------------------------------------------------------------------

void TSoftCanvas::ThinLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, bool includeLast) {
    x0 = std::clamp(x0, -kThinLimit, kThinLimit), y0 = std::clamp(y0, -kThinLimit, kThinLimit);
    x1 = std::clamp(x1, -kThinLimit, kThinLimit), y1 = std::clamp(y1, -kThinLimit, kThinLimit);
    if (x0 == x1 && y0 == y1) {
        if (includeLast) PlotPixel(x0, y0);
        return;
    }
    const int64_t dx = std::abs(x1 - x0), dy = std::abs(y1 - y0);
    const bool yMajor = dx < dy;
    const int64_t n = std::max(dx, dy), m = std::min(dx, dy);
    const int64_t major0 = yMajor ? y0 : x0, minor0 = yMajor ? x0 : y0;
    const int64_t majorDir = yMajor ? Sign(y1 - y0) : Sign(x1 - x0);
    const int64_t minorDir = yMajor ? Sign(x1 - x0) : Sign(y1 - y0);
    const int64_t c = minorDir > 0 ? 1 : 0;
    // Only the steps whose major coordinate lies inside the clip box.
    const int64_t clipLow = yMajor ? ClipBox.Top : ClipBox.Left, clipEnd = yMajor ? ClipBox.Bottom : ClipBox.Right;
    const int64_t last = includeLast ? n : n - 1;
    const int64_t from = std::max<int64_t>(0, majorDir > 0 ? clipLow - major0 : major0 - (clipEnd - 1));
    const int64_t to = std::min(last, majorDir > 0 ? clipEnd - 1 - major0 : major0 - clipLow);
    const bool dashed = State.PenWidth == 1 && State.PenStyle >= PenStyleDash && State.PenStyle <= PenStyleDashDotDot;
    for (int64_t i = from; i <= to; ++i) {
        const int64_t k = (2 * m * i + n - c) / (2 * n);
        const int64_t major = major0 + majorDir * i, minor = minor0 + minorDir * k;
        const int64_t x = yMajor ? minor : major, y = yMajor ? major : minor;
        if (!IsPixelVisible(x, y)) continue;
        // The phase counts from the start point, clipped steps included.
        if (!dashed || DashOn(State.PenStyle, i % 100000 + DashPhase)) PutSpan(y, x, x + 1);
        else if (!State.BackTransparent) PutGapPixel(x, y);
    }
    // Every dash period divides 24: reducing keeps the pixels and the phase
    // from overflowing on long polylines.
    DashPhase = int32_t((DashPhase + n % 1000000) % 24);
}

// The gaps of a dashed line take the background colour through the pen mode,
// as the dashes take the pen colour: a XOR line drawn twice leaves nothing.
void TSoftCanvas::PutGapPixel(int64_t x, int64_t y) {
    uint32_t* p = Pixel(x, y);
    const uint32_t back = ColorToPixel(State.BackColor);
    *p = FillMode == FillRaster ? Rop2Result(FillRop, back, *p) | 0xFF000000u : back;
}

// ---- Wide lines --------------------------------------------------------------------------

void TSoftCanvas::ProfileLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int32_t width) {
    const bool vertical = x0 == x1;
    const std::vector<int32_t>& p = GetPenProfile(vertical, width);
    const int64_t low = vertical ? std::min(y0, y1) : std::min(x0, x1);
    const int64_t high = vertical ? std::max(y0, y1) : std::max(x0, x1);
    for (int32_t k = 0; k < p[1]; ++k) {
        const int64_t a = low + p[size_t(2 + 2 * k)], b = high + p[size_t(3 + 2 * k)];
        if (!vertical) {
            FillSpan(y0 + p[0] + k, a, b + 1);
            continue;
        }
        const int64_t column = x0 + p[0] + k;
        for (int64_t y = std::max<int64_t>(a, ClipBox.Top); y <= std::min<int64_t>(b, ClipBox.Bottom - 1); ++y)
            FillSpan(y, column, column + 1);
    }
}

void TSoftCanvas::WideLine(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width) {
    const bool fast = width <= 64 && std::max({std::abs(x0), std::abs(y0), std::abs(x1), std::abs(y1)}) <= kFastLimit;
    if (ProfileCase(x0, y0, x1, y1, width) || !fast) {
        WideLineFallback(x0, y0, x1, y1, width);
        return;
    }
    // Each row's run is the hull of the two end discs and the band between
    // them; every product fits in 64 bits within these bounds.
    const TWideSegment seg(x0, y0, x1, y1, width);
    const int64_t w = width, dx = int64_t(seg.Dx), dy = int64_t(seg.Dy), dd = int64_t(seg.DD);
    const int64_t bandBound = dd > 0 ? ISqrt64(w * w * dd - 1) : 0;
    const int64_t top = std::max<int64_t>(std::min(y0, y1) - w - 1, ClipBox.Top);
    const int64_t bottom = std::min<int64_t>(std::max(y0, y1) + w + 1, ClipBox.Bottom - 1);
    for (int64_t y = top; y <= bottom; ++y) {
        const int64_t cy = 2 * y + 1;
        int64_t lo = INT64_MAX, hi = INT64_MIN;
        DiscColumns(seg.P0x, seg.P0y, cy, w, lo, hi);
        DiscColumns(seg.P1x, seg.P1y, cy, w, lo, hi);
        if (dd > 0) {
            int64_t a0, b0, a1, b1;
            SolveLinearRange(-2 * dy, dx * (cy - seg.P0y) - dy * (1 - seg.P0x), -bandBound, bandBound, a0, b0);
            SolveLinearRange(2 * dx, dx * (1 - seg.P0x) + dy * (cy - seg.P0y), 1, dd - 1, a1, b1);
            Hull(std::max(a0, a1), std::min(b0, b1), lo, hi);
        }
        if (lo <= hi) FillSpan(y, lo, hi + 1);
    }
}

void TSoftCanvas::WideLineFallback(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t width) {
    if (ProfileCase(x0, y0, x1, y1, width)) {
        ProfileLine(x0, y0, x1, y1, int32_t(width));
        return;
    }
    // Only origin sums reach beyond int32; the distance rule is kept exact
    // for every int32 end point.
    x0 = SaturateInt32(x0), y0 = SaturateInt32(y0), x1 = SaturateInt32(x1), y1 = SaturateInt32(y1);
    const TWideSegment seg(x0, y0, x1, y1, width);
    const int64_t top = std::max<int64_t>(std::min(y0, y1) - width - 1, ClipBox.Top);
    const int64_t bottom = std::min<int64_t>(std::max(y0, y1) + width + 1, ClipBox.Bottom - 1);
    const int64_t left = std::max<int64_t>(std::min(x0, x1) - width - 1, ClipBox.Left);
    const int64_t right = std::min<int64_t>(std::max(x0, x1) + width + 1, ClipBox.Right - 1);
    for (int64_t y = top; y <= bottom; ++y) {
        int64_t lo = left;
        while (lo <= right && !seg.Covers(lo, y)) ++lo;
        if (lo > right) continue;
        int64_t hi = right;
        while (!seg.Covers(hi, y)) --hi;
        FillSpan(y, lo, hi + 1);
    }
}

// ---- Polylines and curves --------------------------------------------------------------------

void TSoftCanvas::StrokePolyline(const int64_t* xs, const int64_t* ys, int32_t n, bool closed) {
    if (n < 2 || !PenVisible()) return;
    PreparePenFill();
    DashPhase = 0;
    auto segment = [&](int32_t a, int32_t b) {
        if (State.PenWidth == 1) ThinLine(xs[a], ys[a], xs[b], ys[b], false);
        else WideLine(xs[a], ys[a], xs[b], ys[b], State.PenWidth);
    };
    for (int32_t i = 0; i + 1 < n; ++i) segment(i, i + 1);
    if (closed) segment(n - 1, 0);
}

void TSoftCanvas::FlattenBezier(const TPlatformPoint* points, int32_t count, std::vector<int64_t>& xs,
                                std::vector<int64_t>& ys) {
    const int64_t ox = State.OriginX, oy = State.OriginY;
    RaiseOnBadAlloc([&] {
        xs.assign(1, points[0].X + ox);
        ys.assign(1, points[0].Y + oy);
        for (int32_t start = 0; start + 3 < count; start += 3) {
            const TPlatformPoint* p = points + start;
            int64_t x[4], y[4];
            for (int q = 0; q < 4; ++q) x[q] = p[q].X + ox, y[q] = p[q].Y + oy;
            const int64_t j = std::abs(x[1] - x[2]) + std::abs(y[1] - y[2]) + std::abs(x[2] - x[3]) +
                              std::abs(y[2] - y[3]) + std::abs(x[0] - x[1]) + std::abs(y[0] - y[1]);
            const int64_t steps = j == 0 ? 2 : std::min<int64_t>(ISqrt64(j) + 2, 64);
            const int64_t n3 = steps * steps * steps;
            for (int64_t k = 1; k <= steps; ++k) {
                const int64_t t = steps - k;
                const int64_t c0 = t * t * t, c1 = 3 * t * t * k, c2 = 3 * t * k * k, c3 = k * k * k;
                xs.push_back(FloorDiv<int64_t>(2 * (c0 * x[0] + c1 * x[1] + c2 * x[2] + c3 * x[3]) + n3, 2 * n3));
                ys.push_back(FloorDiv<int64_t>(2 * (c0 * y[0] + c1 * y[1] + c2 * y[2] + c3 * y[3]) + n3, 2 * n3));
            }
        }
    });
}

} // namespace Zyl
