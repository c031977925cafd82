#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <limits>

#include "Zyl.Platform.D2D.Support.h"

using namespace Zyl;

TEST(D2DHatch, LinesFallOnTheRowsAndColumnsOfEachStyle) {
    struct Case {
        int32_t Style;
        bool (*OnLine)(int x, int y);
    };
    const Case cases[] = {
        {2, [](int, int y) { return y == 3; }},
        {3, [](int x, int) { return x == 4; }},
        {4, [](int x, int y) { return x == y; }},
        {5, [](int x, int y) { return x + y == 7; }},
        {6, [](int x, int y) { return y == 3 || x == 4; }},
        {7, [](int x, int y) { return x == y || x + y == 7; }},
    };
    for (const Case& c : cases) {
        // Red on blue: TColor has red in the low byte, pixels blue first.
        const auto pixels = HatchPixels(c.Style, 0x0000FF, 0xFF0000, false);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x)
                EXPECT_EQ(pixels[size_t(y * 8 + x)], c.OnLine(x, y) ? 0xFFFF0000u : 0xFF0000FFu)
                    << "style " << c.Style << " at " << x << "," << y;
    }
}

TEST(D2DHatch, TransparentBackgroundLeavesTheGapsEmpty) {
    const auto pixels = HatchPixels(2, 0x123456, 0xFFFFFF, true);
    EXPECT_EQ(pixels[3 * 8 + 5], 0xFF563412u);
    EXPECT_EQ(pixels[0], 0u);
    EXPECT_EQ(pixels[63], 0u);
}

TEST(D2DHatch, KeyNamesStyleColoursAndTransparency) {
    EXPECT_EQ(HatchKey(6, 255, 16777215, false), u"6|255|16777215");
    EXPECT_EQ(HatchKey(6, 255, 16777215, true), u"6|255|16777215t");
    EXPECT_NE(HatchKey(6, 255, 0, false), HatchKey(6, 0, 255, false));
}

TEST(D2DKeys, RoundTiesToEven) {
    const struct {
        double Value;
        int64_t Rounded;
    } cases[] = {{0.5, 0}, {1.5, 2}, {2.5, 2}, {-0.5, 0}, {-1.5, -2}, {-2.5, -2}, {2.49, 2}, {2.51, 3}, {-2.51, -3},
                 {1212.5, 1212}, {1213.5, 1214}, {0.0, 0}};
    for (const auto& c : cases) EXPECT_EQ(RoundTiesToEven(c.Value), c.Rounded) << c.Value;
}

TEST(D2DKeys, FontKeyKeepsOnlyBoldAndItalic) {
    EXPECT_EQ(FontKey(u"Segoe UI", -12, 0), u"Segoe UI|-12|0");
    EXPECT_EQ(FontKey(u"Segoe UI", -12, 1 | 2 | 4 | 8), u"Segoe UI|-12|3");
    EXPECT_EQ(FontKey(u"", 15, 4), u"|15|0");
}

TEST(D2DKeys, TextFormatKeyInHundredthsTiesToEvenWithStyleLetters) {
    EXPECT_EQ(TextFormatKey(u"Tahoma", 12.0f, false, false), u"Tahoma|1200");
    // 12.125 and 12.375 are exact in binary: their hundredths end in .5.
    EXPECT_EQ(TextFormatKey(u"Tahoma", 12.125f, true, false), u"Tahoma|1212b");
    EXPECT_EQ(TextFormatKey(u"Tahoma", 12.375f, false, true), u"Tahoma|1238i");
    EXPECT_EQ(TextFormatKey(u"Tahoma", 1.0f, true, true), u"Tahoma|100bi");
    EXPECT_EQ(TextLayoutKey(u"Tahoma|-12|0", u"Avançar"), u"Tahoma|-12|0|Avançar");
}

namespace {

struct CutCase {
    const char* Name;
    int32_t Sx1, Sy1, Sx2, Sy2, Dx1, Dy1, Dx2, Dy2, OriginX, OriginY;
    bool Drawn;
    TSurfaceCopyRects Expected;
};

constexpr int32_t Max = std::numeric_limits<int32_t>::max();
constexpr int32_t Min = std::numeric_limits<int32_t>::min();

} // namespace

TEST(D2DSurfaceCut, CutsTheSourceToTheSurfaceAndMovesTheDestinationInProportion) {
    // Source surface 10 x 10 throughout.
    const CutCase cases[] = {
        {"inside", 0, 0, 10, 10, 0, 0, 10, 10, 0, 0, true, {0, 0, 10, 10, 0, 0, 10, 10}},
        {"origin", 0, 0, 10, 10, 0, 0, 10, 10, 5, 7, true, {0, 0, 10, 10, 5, 7, 15, 17}},
        {"left cut", -10, 0, 10, 10, 0, 0, 20, 10, 0, 0, true, {0, 0, 10, 10, 10, 0, 20, 10}},
        {"top cut", 0, -5, 10, 10, 0, 0, 10, 30, 0, 0, true, {0, 0, 10, 10, 0, 10, 10, 30}},
        {"right and bottom", 5, 5, 20, 15, 0, 0, 30, 20, 0, 0, true, {5, 5, 10, 10, 0, 0, 10, 10}},
        // 3 x 7 / 10 = 2.1 truncates to 2.
        {"truncates", -3, 0, 7, 10, 0, 0, 7, 10, 0, 0, true, {0, 0, 7, 10, 2, 0, 7, 10}},
        {"empty source", 5, 0, 5, 10, 0, 0, 10, 10, 0, 0, false, {}},
        {"reversed destination", 0, 0, 10, 10, 10, 0, 0, 10, 0, 0, false, {}},
        {"source outside", 20, 0, 30, 10, 0, 0, 10, 10, 0, 0, false, {}},
        // 32 bits would wrap both the widths and the products.
        {"extreme widths", Min, 0, Max, 10, Min, 0, Max, 10, 0, 0, true, {0, 0, 10, 10, 0, 0, 10, 10}},
        {"origin past int32", 0, 0, 10, 10, Max - 5, 0, Max, 10, 10, 0, false, {}},
    };
    for (const CutCase& c : cases) {
        TSurfaceCopyRects out;
        const bool drawn =
            CutSurfaceCopy(10, 10, c.Sx1, c.Sy1, c.Sx2, c.Sy2, c.Dx1, c.Dy1, c.Dx2, c.Dy2, c.OriginX, c.OriginY, out);
        ASSERT_EQ(drawn, c.Drawn) << c.Name;
        if (!drawn) continue;
        const TSurfaceCopyRects& e = c.Expected;
        EXPECT_EQ((std::array{out.SrcLeft, out.SrcTop, out.SrcRight, out.SrcBottom}),
                  (std::array{e.SrcLeft, e.SrcTop, e.SrcRight, e.SrcBottom}))
            << c.Name;
        EXPECT_EQ((std::array{out.DstLeft, out.DstTop, out.DstRight, out.DstBottom}),
                  (std::array{e.DstLeft, e.DstTop, e.DstRight, e.DstBottom}))
            << c.Name;
    }
}
