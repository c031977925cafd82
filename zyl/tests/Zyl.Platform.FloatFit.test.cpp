#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "Zyl.Platform.FloatFit.h"

using namespace Zyl;

namespace {

constexpr int64_t Max = INT32_MAX, Far = int64_t(1) << 30;
const TDeviceRect Area{-3, -3, 67, 67};

// How far (x, y) lies from the line through a and b, in pixels.
double OffLine(double x, double y, TDevicePoint a, TDevicePoint b) {
    const double dx = double(b.X - a.X), dy = double(b.Y - a.Y);
    return std::fabs((x - double(a.X)) * dy - (y - double(a.Y)) * dx) / std::hypot(dx, dy);
}

} // namespace

TEST(FitLineToFloat, LinesAFloatHoldsStayAsTheyAre) {
    const TDevicePoint ends[][2] = {{{0, 0}, {5, 9}}, {{-100, 7}, {200, 7}}, {{-(1 << 23) + 1, 2}, {(1 << 23) - 1, 3}}};
    for (const auto& e : ends) {
        TFloatLine line;
        ASSERT_TRUE(FitLineToFloat(e[0], e[1], Area, DashPatternPeriod, line));
        EXPECT_EQ(line.X0, double(e[0].X));
        EXPECT_EQ(line.Y0, double(e[0].Y));
        EXPECT_EQ(line.X1, double(e[1].X));
        EXPECT_EQ(line.Y1, double(e[1].Y));
    }
}

// Cut to the area on the line itself; an end inside the area stays exact.
TEST(FitLineToFloat, FarLinesAreCutToTheAreaKeepingTheirSlope) {
    struct TCase {
        TDevicePoint From, To;
        double X0, Y0, X1, Y1;
    };
    const TCase cases[] = {
        {{-Far, -Far + 10}, {Far, Far + 10}, -3, 7, 57, 67},
        {{Max + Max, 5}, {0, 5}, 67, 5, 0, 5},
        {{20, 60}, {20 - Far, 60 - Far}, 20, 60, -3, 37},
        {{0, 50}, {Far, 50 + Far / 32}, 0, 50, 67, 50 + 67.0 / 32},
        {{5, -Max - Max}, {5, Max + Max}, 5, -3, 5, 67},
    };
    for (const TCase& c : cases) {
        TFloatLine line;
        ASSERT_TRUE(FitLineToFloat(c.From, c.To, Area, 0, line));
        EXPECT_NEAR(line.X0, c.X0, 1e-6);
        EXPECT_NEAR(line.Y0, c.Y0, 1e-6);
        EXPECT_NEAR(line.X1, c.X1, 1e-6);
        EXPECT_NEAR(line.Y1, c.Y1, 1e-6);
        EXPECT_LT(OffLine(line.X0, line.Y0, c.From, c.To), 1e-6);
        EXPECT_LT(OffLine(line.X1, line.Y1, c.From, c.To), 1e-6);
    }
}

// A dash pattern starts where it would have on the whole line: the start
// moves by whole periods, to the last one before the area.
TEST(FitLineToFloat, ACutStartKeepsTheDashPhase) {
    TFloatLine line;
    ASSERT_TRUE(FitLineToFloat({-Far + 3, 40}, {64, 40}, Area, DashPatternPeriod, line));
    // Far is 16 and Max 7 more than a multiple of 24: the pattern begins
    // again at -13 and at 79.
    EXPECT_NEAR(line.X0, -13, 1e-6);
    EXPECT_EQ(line.X1, 64);
    ASSERT_TRUE(FitLineToFloat({45, Max}, {45, 0}, Area, DashPatternPeriod, line));
    EXPECT_NEAR(line.Y0, 79, 1e-6);
    ASSERT_TRUE(FitLineToFloat({-Far, -Far}, {Far, Far}, Area, DashPatternPeriod, line));
    const double moved = (line.X0 + double(Far)) * std::sqrt(2.0);
    EXPECT_NEAR(moved / DashPatternPeriod, std::round(moved / DashPatternPeriod), 1e-6);
    EXPECT_LE(line.X0, -3);
    EXPECT_GT(line.X0, -3 - DashPatternPeriod);
}

TEST(FitLineToFloat, FarLinesThatMissTheAreaAreRefused) {
    TFloatLine line;
    EXPECT_FALSE(FitLineToFloat({-Far, 100}, {Far, 100}, Area, 0, line));
    EXPECT_FALSE(FitLineToFloat({-Far, -Far + 200}, {Far, Far + 200}, Area, 0, line));
    EXPECT_FALSE(FitLineToFloat({Max, 5}, {70, 5}, Area, 0, line));
}
