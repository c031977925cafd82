// Shape geometry of the software canvas as plain functions: row extents of
// ellipses and rounded rectangles, polygon scan conversion and the regions of
// arcs, chords and pies. Exact integer arithmetic throughout; 128 bits where
// a product can pass 64. No Windows interface here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Zyl {

class TSoftSpans;

using TInt128 = __int128;

// Integer square roots, rounded down; 0 for n <= 0.
int64_t ISqrt64(int64_t n);
uint64_t ISqrt128(unsigned __int128 n);

// An end of a SolveLinearRange bound beyond +-(2^59 - 1) is unbounded, and an
// unbounded result end is -2^60 or 2^60.
constexpr int64_t kLinearUnbounded = int64_t(1) << 60;
constexpr int64_t kLinearBoundLimit = (int64_t(1) << 59) - 1;

// The integers j with lo <= a * j + b <= hi, as jmin..jmax (1..0 when none).
void SolveLinearRange(int64_t a, int64_t b, int64_t lo, int64_t hi, int64_t& jmin, int64_t& jmax);

// Rows of a shape: row k covers columns L[k]..R[k] of the shape's box; an
// empty row holds 1, 0.
struct TRowExtents {
    std::vector<int32_t> L, R;
    int32_t Rows() const { return int32_t(L.size()); }
    bool Empty(int32_t k) const { return L[std::size_t(k)] > R[std::size_t(k)]; }
};

// The ellipse inscribed in a w x h box (both 1..32767), both axes narrowed by
// `shrink` tenths of a pixel.
TRowExtents EllipseRowExtents(int32_t w, int32_t h, int32_t shrink);
// A w x h rectangle with elliptic corners rw x rh.
TRowExtents RoundRectRowExtents(int32_t w, int32_t h, int64_t rw, int64_t rh);

// Spans (into `spans`, after what it holds) of the polygon whose pixels have
// their top-left corner inside, for rows top..bottom - 1 only; nonzero
// winding or alternate filling. Exact for any vertex within +-2^40.
void PolygonSpans(const int64_t* xs, const int64_t* ys, int32_t n, bool winding, int64_t top, int64_t bottom,
                  TSoftSpans& spans);

// An arc, chord or pie in its box (device left L, top T, W x H) with the ray
// points (x1, y1) and (x2, y2) in device pixels.
struct TArcShape {
    TArcShape(int64_t left, int64_t top, int64_t width, int64_t height, int64_t x1, int64_t y1, int64_t x2,
              int64_t y2);

    int64_t L, T, W, H;
    int64_t CX, CY;
    // Doubled ray vectors (screen, y down) and the scaled ones (a circle, y up).
    int64_t sx, sy, ex, ey;
    TInt128 Sx, Sy, Ex, Ey;
    TInt128 Cross;   // cross(S, E)
    bool SameWay;    // dot(S, E) > 0
    bool ZeroRay;    // S or E is the zero vector
    // Points on the ellipse as doubled displacements from the centre.
    int64_t psx, psy, pex, pey;
    // The centres of their pixels, the same way: the chord's fill stops at
    // the line through them, which the chord's outline walks.
    int64_t csx, csy, cex, cey;
    // Every product of the row solver fits in 64 bits.
    bool Small;

    // Pixels of the start and end point on the ellipse and of the centre.
    void StartPixel(int64_t& x, int64_t& y) const { EllipsePixel(psx, psy, x, y); }
    void EndPixel(int64_t& x, int64_t& y) const { EllipsePixel(pex, pey, x, y); }
    void CentrePixel(int64_t& x, int64_t& y) const;

    // Whether the box's pixel (j, i) passes the sector or the chord test.
    bool InSector(int64_t j, int64_t i) const;
    bool InChord(int64_t j, int64_t i) const;

private:
    void EllipsePixel(int64_t px, int64_t py, int64_t& x, int64_t& y) const;
};

enum : int32_t { ArcTestSector = 0, ArcTestChord = 1 };

// The columns of row i between l and r (inclusive, box columns) that pass the
// test: count 0..2 ranges [first, last]. Needs shape.Small.
int32_t ArcRowSpans(const TArcShape& shape, int32_t test, int64_t i, int64_t l, int64_t r, int64_t first[2],
                    int64_t last[2]);

} // namespace Zyl
