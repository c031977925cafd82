#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "Zyl.Platform.Soft.h"

using namespace Zyl;

namespace {

std::string Rows(const TRowExtents& e) {
    std::string s;
    for (int32_t k = 0; k < e.Rows(); ++k)
        s += (k ? " " : "") + (e.Empty(k) ? std::string("-") : std::to_string(e.L[size_t(k)]) + ".." +
                                                                  std::to_string(e.R[size_t(k)]));
    return s;
}

// The row extents with the full square root on every row, as defined.
std::string ModelEllipse(int32_t w, int32_t h, int32_t s) {
    TRowExtents e;
    const TInt128 hs = TInt128(10 * h - s) * (10 * h - s), ws = TInt128(10 * w - s) * (10 * w - s);
    for (int32_t k = 0; k < h; ++k) {
        const TInt128 g = 10 * (2 * TInt128(k) + 1 - h);
        int32_t L = 1, R = 0;
        if (g * g <= hs) {
            const int64_t q = int64_t(ISqrt128((unsigned __int128)(ws * (hs - g * g) / hs))) / 10;
            const int64_t u = ((q - (w - 1)) & 1) ? q - 1 : q;
            if (u >= 0) L = int32_t((w - 1 - u) / 2), R = int32_t((w - 1 + u) / 2);
        }
        e.L.push_back(L), e.R.push_back(R);
    }
    return Rows(e);
}

std::vector<std::vector<bool>> PolygonMask(std::vector<int64_t> xs, std::vector<int64_t> ys, bool winding, int size) {
    TSoftSpans spans;
    PolygonSpans(xs.data(), ys.data(), int32_t(xs.size()), winding, 0, size, spans);
    std::vector<std::vector<bool>> mask(size_t(size), std::vector<bool>(size_t(size), false));
    for (int32_t i = 0; i < spans.Count; ++i)
        for (int32_t x = std::max(0, spans.Lefts[size_t(i)]); x < std::min(size, spans.Rights[size_t(i)]); ++x)
            mask[size_t(spans.Rows[size_t(i)])][size_t(x)] = true;
    return mask;
}

} // namespace

TEST(SoftGeom, SolveLinearRange) {
    struct TCase {
        int64_t a, b, lo, hi, jmin, jmax;
    } cases[] = {
        {2, 1, 0, 9, 0, 4},                                     // 1, 3, .. 9
        {-3, 10, -5, 4, 2, 5},                                  // 4, 1, -2, -5
        {1, 0, INT64_MIN, 5, -kLinearUnbounded, 5},             // open below
        {-1, 0, 0, INT64_MAX, -kLinearUnbounded, 0},            // open above, negative slope
        {0, 3, 0, 5, -kLinearUnbounded, kLinearUnbounded},      // always
        {0, 7, 0, 5, 1, 0},                                     // never
        {7, -1, 0, 0, 1, 0},                                    // no integer
        {INT64_MAX, INT64_MIN, 0, INT64_MAX, 2, kLinearUnbounded},  // no overflow inside
    };
    for (const TCase& c : cases) {
        int64_t jmin, jmax;
        SolveLinearRange(c.a, c.b, c.lo, c.hi, jmin, jmax);
        EXPECT_EQ(jmin, c.jmin) << c.a << "," << c.b;
        EXPECT_EQ(jmax, c.jmax) << c.a << "," << c.b;
    }
}

TEST(SoftGeom, EllipseAndRoundRectRows) {
    EXPECT_EQ(Rows(EllipseRowExtents(5, 5, 4)), "1..3 0..4 0..4 0..4 1..3");
    EXPECT_EQ(Rows(EllipseRowExtents(4, 4, 4)), "1..2 0..3 0..3 1..2");
    EXPECT_EQ(Rows(EllipseRowExtents(1, 1, 4)), "0..0");
    EXPECT_EQ(Rows(EllipseRowExtents(2, 1, 9)), "0..1");
    EXPECT_EQ(Rows(EllipseRowExtents(6, 2, 4)), "1..4 1..4");
    EXPECT_EQ(Rows(RoundRectRowExtents(10, 6, 4, 4)), "1..8 0..9 0..9 0..9 0..9 1..8");
    EXPECT_EQ(Rows(RoundRectRowExtents(10, 6, 1, 4)), "0..9 0..9 0..9 0..9 0..9 0..9");
    EXPECT_EQ(Rows(RoundRectRowExtents(10, 6, -4, INT32_MIN)), Rows(RoundRectRowExtents(10, 6, 4, 6)));
}

// The stepped root must equal the full root, also on the large boxes where
// Ws * (Hs - g^2) passes 2^63.
TEST(SoftGeom, EllipseRowsMatchTheFullRoot) {
    for (int32_t w = 1; w <= 40; ++w)
        for (int32_t h = 1; h <= 40; ++h)
            for (int32_t s : {4, 9}) ASSERT_EQ(Rows(EllipseRowExtents(w, h, s)), ModelEllipse(w, h, s)) << w << "x" << h;
    for (auto [w, h] : {std::pair{5600, 5600}, {16384, 16384}, {32767, 32767}, {32767, 3}, {3, 32767}})
        EXPECT_EQ(Rows(EllipseRowExtents(w, h, 4)), ModelEllipse(w, h, 4)) << w << "x" << h;
}

TEST(SoftGeom, PolygonRules) {
    const std::vector<int64_t> sx{0, 10, 10, 0}, sy{0, 0, 10, 10};
    for (bool winding : {false, true}) {
        const auto m = PolygonMask(sx, sy, winding, 12);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 12; ++x) EXPECT_EQ(m[size_t(y)][size_t(x)], x < 10 && y < 10) << x << "," << y;
    }
    const auto tri = PolygonMask({0, 10, 0}, {0, 0, 10}, false, 12);
    for (int x = 0; x < 12; ++x) {
        EXPECT_EQ(tri[0][size_t(x)], x < 10);
        EXPECT_EQ(tri[9][size_t(x)], x == 0);
    }
    // A five-pointed star as one self-crossing path: hollow with the
    // alternate rule, filled with the winding rule.
    const std::vector<int64_t> starX{20, 32, 1, 39, 8}, starY{0, 38, 14, 14, 38};
    EXPECT_FALSE(PolygonMask(starX, starY, false, 40)[20][20]);
    EXPECT_TRUE(PolygonMask(starX, starY, true, 40)[20][20]);
    EXPECT_TRUE(PolygonMask(starX, starY, false, 40)[12][20]);  // a point
}

// Crossing products reach about 2^76 here; the crossings themselves fit.
TEST(SoftGeom, PolygonWithFarVerticesIsExact) {
    const int64_t e = int64_t(1) << 30;
    const auto m = PolygonMask({-e, e, 0}, {-e, -e, e}, true, 16);
    for (const auto& row : m)
        for (bool b : row) EXPECT_TRUE(b);
    const int64_t big = INT32_MAX;
    TSoftSpans spans;
    const int64_t xs[] = {-big, big, big}, ys[] = {-big, -big, big};
    PolygonSpans(xs, ys, 3, false, 0, 4, spans);
    ASSERT_EQ(spans.Count, 4);
    for (int32_t i = 0; i < 4; ++i) EXPECT_EQ(spans.Lefts[size_t(i)], i);  // from the diagonal rightwards
}

// The per-row solver and the per-pixel tests agree on every pixel.
TEST(SoftGeom, ArcRowSpansMatchThePixelTests) {
    std::mt19937 random(21);
    for (int round = 0; round < 400; ++round) {
        const int64_t W = 1 + random() % 40, H = 1 + random() % 40;
        auto coordinate = [&] { return int64_t(random() % 61) - 10; };
        const TArcShape shape(3, 4, W, H, coordinate(), coordinate(), coordinate(), coordinate());
        ASSERT_TRUE(shape.Small);
        for (int32_t test : {ArcTestSector, ArcTestChord})
            for (int64_t i = 0; i < H; ++i) {
                int64_t first[2], last[2];
                const int32_t count = ArcRowSpans(shape, test, i, 0, W - 1, first, last);
                for (int64_t j = 0; j < W; ++j) {
                    bool in = false;
                    for (int32_t r = 0; r < count; ++r) in = in || (first[r] <= j && j <= last[r]);
                    ASSERT_EQ(in, test == ArcTestChord ? shape.InChord(j, i) : shape.InSector(j, i))
                        << "round " << round << " test " << test << " pixel " << j << "," << i;
                }
            }
    }
}
