// Shape geometry of the software canvas: row extents, polygon spans, arcs.
#include "Zyl.Platform.Soft.Geom.h"

#include <algorithm>
#include <cstdlib>

#include "Zyl.Platform.Soft.h"

namespace Zyl {

int64_t ISqrt64(int64_t n) { return n <= 0 ? 0 : int64_t(ISqrt128((unsigned __int128)n)); }

uint64_t ISqrt128(unsigned __int128 n) {
    if (n == 0) return 0;
    // Bit by bit: no floating point, exact for every 128-bit value.
    unsigned __int128 result = 0, bit = (unsigned __int128)1 << 126;
    while (bit > n) bit >>= 2;
    while (bit != 0) {
        if (n >= result + bit) {
            n -= result + bit;
            result = (result >> 1) + bit;
        } else {
            result >>= 1;
        }
        bit >>= 2;
    }
    return uint64_t(result);
}

namespace {

int64_t ClampLinear(TInt128 v) {
    return v < -kLinearUnbounded ? -kLinearUnbounded : v > kLinearUnbounded ? kLinearUnbounded : int64_t(v);
}

TInt128 CeilDiv128(TInt128 a, TInt128 b) { return -FloorDiv<TInt128>(-a, b); }

} // namespace

void SolveLinearRange(int64_t a, int64_t b, int64_t lo, int64_t hi, int64_t& jmin, int64_t& jmax) {
    const bool openBelow = lo < -kLinearBoundLimit, openAbove = hi > kLinearBoundLimit;
    if (a == 0) {
        const bool inside = (openBelow || lo <= b) && (openAbove || b <= hi);
        jmin = inside ? -kLinearUnbounded : 1;
        jmax = inside ? kLinearUnbounded : 0;
        return;
    }
    const TInt128 fromLo = TInt128(lo) - b, fromHi = TInt128(hi) - b;
    if (a > 0) {
        jmin = openBelow ? -kLinearUnbounded : ClampLinear(CeilDiv128(fromLo, a));
        jmax = openAbove ? kLinearUnbounded : ClampLinear(FloorDiv<TInt128>(fromHi, a));
    } else {
        jmin = openAbove ? -kLinearUnbounded : ClampLinear(CeilDiv128(fromHi, a));
        jmax = openBelow ? kLinearUnbounded : ClampLinear(FloorDiv<TInt128>(fromLo, a));
    }
}

// ---- Row extents ---------------------------------------------------------------------

namespace {

// The previous row's root is at most a few steps away on most rows.
int64_t SteppedRoot(int64_t m, int64_t previous) {
    int64_t r = previous;
    for (int step = 0; step < 6 && r * r > m; ++step) --r;
    for (int step = 0; step < 6 && (r + 1) * (r + 1) <= m; ++step) ++r;
    if (r >= 0 && r * r <= m && (r + 1) * (r + 1) > m) return r;
    return ISqrt64(m);
}

TRowExtents NewExtents(int64_t rows) {
    TRowExtents e;
    RaiseOnBadAlloc([&] {
        e.L.assign(size_t(rows), 1);
        e.R.assign(size_t(rows), 0);
    });
    return e;
}

} // namespace

TRowExtents EllipseRowExtents(int32_t w, int32_t h, int32_t shrink) {
    TRowExtents e = NewExtents(h);
    const int64_t hs = (10 * int64_t(h) - shrink) * (10 * int64_t(h) - shrink);
    const int64_t ws = (10 * int64_t(w) - shrink) * (10 * int64_t(w) - shrink);
    int64_t root = 0;
    for (int32_t k = 0; k < h; ++k) {
        const int64_t g = 10 * (2 * int64_t(k) + 1 - h);
        if (g * g > hs) continue;
        // Ws * (Hs - g^2) passes 2^63 for boxes above about 5,500 pixels.
        const int64_t m = int64_t(TInt128(ws) * (hs - g * g) / hs);
        root = SteppedRoot(m, root);
        const int64_t q = root / 10;
        const int64_t u = ((q - (w - 1)) & 1) ? q - 1 : q;
        if (u < 0) continue;
        e.L[size_t(k)] = int32_t((w - 1 - u) / 2);
        e.R[size_t(k)] = int32_t((w - 1 + u) / 2);
    }
    return e;
}

TRowExtents RoundRectRowExtents(int32_t w, int32_t h, int64_t rw, int64_t rh) {
    const int32_t cw = int32_t(std::min<int64_t>(rw < 0 ? -rw : rw, w));
    const int32_t ch = int32_t(std::min<int64_t>(rh < 0 ? -rh : rh, h));
    TRowExtents e = NewExtents(h);
    if (cw < 2 || ch < 2) {
        std::fill(e.L.begin(), e.L.end(), 0);
        std::fill(e.R.begin(), e.R.end(), w - 1);
        return e;
    }
    const TRowExtents corner = EllipseRowExtents(cw, ch, 4);
    for (int32_t k = 0; k < h; ++k) {
        int32_t r = -1;
        if (k < ch / 2) r = k;
        else if (k >= h - ch + ch / 2) r = k + ch - h;
        if (r < 0) {
            e.L[size_t(k)] = 0;
            e.R[size_t(k)] = w - 1;
        } else if (!corner.Empty(r)) {
            e.L[size_t(k)] = corner.L[size_t(r)];
            e.R[size_t(k)] = corner.R[size_t(r)] + (w - cw);
        } else {
            e.L[size_t(k)] = cw / 2;
            e.R[size_t(k)] = w - 1 - cw / 2;
        }
    }
    return e;
}

// ---- Polygons ------------------------------------------------------------------------

void PolygonSpans(const int64_t* xs, const int64_t* ys, int32_t n, bool winding, int64_t top, int64_t bottom,
                  TSoftSpans& spans) {
    if (n < 1) return;
    const auto [low, high] = std::minmax_element(ys, ys + n);
    const int64_t first = std::max(top, *low), end = std::min(bottom, *high);
    struct TCrossing {
        int64_t X;
        int32_t Dir;
    };
    std::vector<TCrossing> crossings;
    for (int64_t y = first; y < end; ++y) {
        crossings.clear();
        for (int32_t k = 0; k < n; ++k) {
            const int32_t next = k + 1 < n ? k + 1 : 0;
            const int64_t xa = xs[k], ya = ys[k], xb = xs[next], yb = ys[next];
            if (ya == yb || y < std::min(ya, yb) || y >= std::max(ya, yb)) continue;
            // Far off-screen vertices make this product pass 64 bits.
            const TInt128 step = FloorDiv<TInt128>(TInt128(xb - xa) * (y - ya) * 65536, yb - ya);
            RaiseOnBadAlloc([&] { crossings.push_back({int64_t(TInt128(xa) * 65536 + step), ya < yb ? 1 : -1}); });
        }
        std::stable_sort(crossings.begin(), crossings.end(),
                         [](const TCrossing& a, const TCrossing& b) { return a.X < b.X; });
        auto add = [&](int64_t xa, int64_t xb) {
            const int64_t c0 = -FloorDiv<int64_t>(-xa, 65536), c1 = -FloorDiv<int64_t>(-xb, 65536);
            if (c0 < c1) spans.Add(int32_t(y), SaturateInt32(c0), SaturateInt32(c1));
        };
        if (winding) {
            int32_t sum = 0;
            int64_t start = 0;
            for (const TCrossing& c : crossings) {
                if (sum == 0) start = c.X;
                sum += c.Dir;
                if (sum == 0) add(start, c.X);
            }
        } else {
            for (size_t i = 0; i + 1 < crossings.size(); i += 2) add(crossings[i].X, crossings[i + 1].X);
        }
    }
}

// ---- Arcs ------------------------------------------------------------------------------

namespace {

// a * j + b for the columns j of one row.
struct TLinear {
    TInt128 A, B;
    TInt128 At(int64_t j) const { return A * j + B; }
};

// The doubled displacement of the ray through s that meets the ellipse,
// rounded half up.
void PointOnEllipse(int64_t W, int64_t H, int64_t sx, int64_t sy, TInt128 Sx, TInt128 Sy, int64_t& px,
                    int64_t& py) {
    const TInt128 o = ISqrt128((unsigned __int128)(Sx * Sx + Sy * Sy));
    if (o == 0) {
        px = W, py = 0;
        return;
    }
    px = int64_t(FloorDiv<TInt128>(2 * TInt128(W) * H * sx + o, 2 * o));
    py = int64_t(FloorDiv<TInt128>(2 * TInt128(W) * H * sy + o, 2 * o));
}

// Scaled position of box pixel (j, i): Pq = ((2j + 1 - W) H, Py).
TInt128 RowPy(const TArcShape& s, int64_t i) { return TInt128(s.H - 2 * i - 1) * s.W; }

// cross(U, Pq) and cross(Pq, U) for a scaled vector U, as forms in j.
TLinear CrossUPq(const TArcShape& s, TInt128 ux, TInt128 uy, int64_t i) {
    return {-2 * uy * s.H, ux * RowPy(s, i) - uy * s.H * (1 - s.W)};
}
TLinear CrossPqU(const TArcShape& s, TInt128 ux, TInt128 uy, int64_t i) {
    const TLinear f = CrossUPq(s, ux, uy, i);
    return {-f.A, -f.B};
}

// cross(ce - cs, Q - cs), Q = (2j + 1 - W, 2i + 1 - H).
TLinear ChordForm(const TArcShape& s, int64_t i) {
    const TInt128 dx = TInt128(s.cex) - s.csx, dy = TInt128(s.cey) - s.csy;
    return {-2 * dy, dx * (2 * i + 1 - s.H - s.csy) - dy * (1 - s.W - s.csx)};
}

// Columns of l..r where the form is at least `least`.
bool Solve(const TLinear& f, int64_t least, int64_t l, int64_t r, int64_t& a, int64_t& b) {
    int64_t jmin, jmax;
    SolveLinearRange(int64_t(f.A), int64_t(f.B), least, INT64_MAX, jmin, jmax);
    a = std::max(l, jmin);
    b = std::min(r, jmax);
    return a <= b;
}

bool SolveBoth(const TLinear& f, int64_t leastF, const TLinear& g, int64_t leastG, int64_t l, int64_t r, int64_t& a,
               int64_t& b) {
    int64_t a2, b2;
    if (!Solve(f, leastF, l, r, a, b) || !Solve(g, leastG, l, r, a2, b2)) return false;
    a = std::max(a, a2);
    b = std::min(b, b2);
    return a <= b;
}

} // namespace

TArcShape::TArcShape(int64_t left, int64_t top, int64_t width, int64_t height, int64_t x1, int64_t y1, int64_t x2,
                     int64_t y2)
    : L(left), T(top), W(width), H(height), CX(2 * left + width), CY(2 * top + height) {
    sx = 2 * x1 - CX, sy = 2 * y1 - CY, ex = 2 * x2 - CX, ey = 2 * y2 - CY;
    Sx = TInt128(sx) * H, Sy = -TInt128(sy) * W;
    Ex = TInt128(ex) * H, Ey = -TInt128(ey) * W;
    Cross = Sx * Ey - Sy * Ex;
    SameWay = Sx * Ex + Sy * Ey > 0;
    ZeroRay = (Sx == 0 && Sy == 0) || (Ex == 0 && Ey == 0);
    PointOnEllipse(W, H, sx, sy, Sx, Sy, psx, psy);
    PointOnEllipse(W, H, ex, ey, Ex, Ey, pex, pey);
    int64_t x, y;
    StartPixel(x, y);
    csx = 2 * (x - L) + 1 - W, csy = 2 * (y - T) + 1 - H;
    EndPixel(x, y);
    cex = 2 * (x - L) + 1 - W, cey = 2 * (y - T) + 1 - H;
    constexpr int64_t kSmall = 65535;
    Small = std::max({std::abs(sx), std::abs(sy), std::abs(ex), std::abs(ey)}) <= kSmall;
}

void TArcShape::EllipsePixel(int64_t px, int64_t py, int64_t& x, int64_t& y) const {
    x = std::clamp(FloorDiv<int64_t>(px + CX, 2), L, L + W - 1);
    y = std::clamp(FloorDiv<int64_t>(py + CY, 2), T, T + H - 1);
}

void TArcShape::CentrePixel(int64_t& x, int64_t& y) const {
    x = FloorDiv<int64_t>(CX - 1, 2);
    y = FloorDiv<int64_t>(CY - 1, 2);
}

bool TArcShape::InSector(int64_t j, int64_t i) const {
    if (ZeroRay) return true;
    if (Cross > 0) return CrossUPq(*this, Sx, Sy, i).At(j) >= 0 && CrossPqU(*this, Ex, Ey, i).At(j) > 0;
    if (Cross < 0) return !(CrossUPq(*this, Ex, Ey, i).At(j) >= 0 && CrossPqU(*this, Sx, Sy, i).At(j) > 0);
    return SameWay || CrossUPq(*this, Sx, Sy, i).At(j) >= 0;
}

bool TArcShape::InChord(int64_t j, int64_t i) const {
    if (ZeroRay) return true;
    if (psx == pex && psy == pey) return Cross < 0;
    return ChordForm(*this, i).At(j) >= 0;
}

int32_t ArcRowSpans(const TArcShape& s, int32_t test, int64_t i, int64_t l, int64_t r, int64_t first[2],
                    int64_t last[2]) {
    if (l > r) return 0;
    auto whole = [&] {
        first[0] = l, last[0] = r;
        return 1;
    };
    if (s.ZeroRay) return whole();
    if (test == ArcTestChord) {
        if (s.psx == s.pex && s.psy == s.pey) return s.Cross < 0 ? whole() : 0;
        return Solve(ChordForm(s, i), 0, l, r, first[0], last[0]) ? 1 : 0;
    }
    if (s.Cross > 0)
        return SolveBoth(CrossUPq(s, s.Sx, s.Sy, i), 0, CrossPqU(s, s.Ex, s.Ey, i), 1, l, r, first[0], last[0]) ? 1
                                                                                                                  : 0;
    if (s.Cross == 0) {
        if (s.SameWay) return whole();
        return Solve(CrossUPq(s, s.Sx, s.Sy, i), 0, l, r, first[0], last[0]) ? 1 : 0;
    }
    // Over half a turn: the row less the wedge that the sweep leaves out.
    int64_t a, b;
    if (!SolveBoth(CrossUPq(s, s.Ex, s.Ey, i), 0, CrossPqU(s, s.Sx, s.Sy, i), 1, l, r, a, b)) return whole();
    int32_t count = 0;
    if (l < a) first[count] = l, last[count++] = a - 1;
    if (b < r) first[count] = b + 1, last[count++] = r;
    return count;
}

} // namespace Zyl
