#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

#include "Zyl.Platform.GdiPlus.Shapes.h"

using namespace Zyl;

TEST(ArcPoints, RunsCounterClockwiseFromStartToEndRadial) {
    TArcPoints p;
    // Quarter of the circle of radius 50 around (50, 50): from the right
    // (3 o'clock) up to the top (12 o'clock).
    const int32_t n = ArcPoints(0, 0, 100, 100, 200, 50, 50, -300, 0, p);
    ASSERT_EQ(n, int32_t(50 * (std::numbers::pi / 2) / 1.5) + 4 + 1);
    EXPECT_NEAR(p[0].X, 100, 1e-4);
    EXPECT_NEAR(p[0].Y, 50, 1e-4);
    EXPECT_NEAR(p[size_t(n - 1)].X, 50, 1e-4);
    EXPECT_NEAR(p[size_t(n - 1)].Y, 0, 1e-4);
    for (int32_t i = 1; i < n; ++i) {
        EXPECT_LE(p[size_t(i)].X, p[size_t(i - 1)].X);
        EXPECT_LE(p[size_t(i)].Y, p[size_t(i - 1)].Y);
        EXPECT_NEAR(std::hypot(p[size_t(i)].X - 50, p[size_t(i)].Y - 50), 50, 1e-3);
    }
}

TEST(ArcPoints, SameRadialOrCentreGivesTheWholeEllipse) {
    TArcPoints p;
    for (auto [x3, y3, x4, y4] : {std::array{10, 20, 10, 20}, std::array{30, 20, 90, 20}, std::array{30, 20, 30, 20}}) {
        const int32_t n = ArcPoints(10, 10, 50, 30, x3, y3, x4, y4, 0.5, p);
        ASSERT_GT(n, 5);
        EXPECT_NEAR(p[0].X, p[size_t(n - 1)].X, 1e-3);
        EXPECT_NEAR(p[0].Y, p[size_t(n - 1)].Y, 1e-3);
        // Radii 19.5 and 9.5 after the inset, around (30, 20).
        float minX = 1e9f, maxX = -1e9f;
        for (int32_t i = 0; i < n; ++i) minX = std::min(minX, p[size_t(i)].X), maxX = std::max(maxX, p[size_t(i)].X);
        EXPECT_NEAR(maxX - minX, 39, 0.1);
    }
}

TEST(ArcPoints, NoPointsWithoutARadius) {
    TArcPoints p;
    EXPECT_EQ(ArcPoints(0, 0, 1, 10, 0, 0, 1, 1, 0.5, p), 0);
    EXPECT_EQ(ArcPoints(0, 0, 10, 0, 0, 0, 1, 1, 0, p), 0);
    EXPECT_EQ(ArcPoints(10, 0, 0, 10, 0, 0, 1, 1, 0, p), 0);
}

TEST(ArcPoints, HugeRadiiStopAtAThousandSegments) {
    // A radius of 10^9 asks for billions of segments; the count is limited
    // before it becomes an integer.
    TArcPoints p;
    EXPECT_EQ(ArcPoints(-1000000000, -1000000000, 1000000000, 1000000000, 0, 0, 0, 0, 0, p), MaxArcPoints);
    EXPECT_EQ(ArcPoints(INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX, 5, 0, 0, 5, 0.5, p), MaxArcPoints);
    EXPECT_TRUE(std::isfinite(p[MaxArcPoints - 1].X) && std::isfinite(p[MaxArcPoints - 1].Y));
    // A small one still gets at least five points.
    EXPECT_EQ(ArcPoints(0, 0, 3, 3, 3, 1, 3, 0, 0.5, p), 5);
}
