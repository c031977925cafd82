#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <string>
#include <vector>

#include "System.Remainder.Exceptions.h"
#include "Zyl.Platform.Soft.Text.h"

using namespace Zyl;
using System::MakeRef;

namespace {

using TRows = std::vector<std::vector<int>>;

TRows RowsOf(const TSoftGlyph& g) {
    TRows rows(size_t(g.Height), std::vector<int>(size_t(g.Width)));
    for (int y = 0; y < g.Height; ++y)
        for (int x = 0; x < g.Width; ++x) rows[size_t(y)][size_t(x)] = g.Coverage[size_t(y * g.Width + x)];
    return rows;
}

TRows Filled(int width, int height, int value) {
    return TRows(size_t(height), std::vector<int>(size_t(width), value));
}

// A closed polygon through the given (x, y) pairs.
void AddPolygon(TSoftOutline& o, std::initializer_list<std::pair<int, int>> points) {
    bool first = true;
    for (auto [x, y] : points) {
        if (first) o.MoveTo(x, y); else o.LineTo(x, y);
        first = false;
    }
    o.Close();
}

// A font with given em, units and one outline for every code above 32.
class TStubFont : public TSoftFont {
public:
    TStubFont(int32_t emPx, int32_t unitsPerEm, std::vector<std::pair<int, int>> box)
        : emPx_(emPx), unitsPerEm_(unitsPerEm), box_(std::move(box)) {}
    int32_t EmPx() const override { return emPx_; }
    int32_t UnitsPerEm() const override { return unitsPerEm_; }
    int32_t Ascent() const override { return 0; }
    int32_t Descent() const override { return 0; }
    int32_t InternalLeading() const override { return 0; }
    int32_t AveCharWidth() const override { return 0; }
    int32_t MaxCharWidth() const override { return 0; }
    int32_t Advance(uint32_t) const override { return 1; }
    bool GetOutline(uint32_t code, TSoftOutline& o) const override {
        if (code <= 32) return false;
        for (size_t i = 0; i < box_.size(); ++i)
            i == 0 ? o.MoveTo(box_[i].first, box_[i].second) : o.LineTo(box_[i].first, box_[i].second);
        o.Close();
        return true;
    }

private:
    int32_t emPx_, unitsPerEm_;
    std::vector<std::pair<int, int>> box_;
};

TRef<TSoftBlockFont> BlockFont(int32_t height) {
    TSoftBlockProvider provider;
    TRef<TSoftFont> font = provider.CreateFont(u"Segoe UI", height, 0);
    return TRef<TSoftBlockFont>(static_cast<TSoftBlockFont*>(font.Get()));
}

} // namespace

TEST(SoftBlockFont, MetricsFollowTheRequestedHeight) {
    const struct { int32_t height, em, ascent, descent, leading, width; } cases[] = {
        {-12, 12, 11, 2, 1, 7}, {16, 12, 11, 2, 1, 7}, {0, 12, 11, 2, 1, 7},
        {-3, 4, 4, 1, 1, 2},    {3, 4, 4, 1, 1, 2},    {-5, 5, 5, 1, 1, 3},
        // -INT32_MIN does not fit an int32, nor do 9 * E + 5 and 6 * E + 5.
        {INT32_MIN, INT32_MAX, 1932735282, 429496729, 214748364, 1288490188},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.height);
        auto font = BlockFont(c.height);
        EXPECT_EQ(font->EmPx(), c.em);
        EXPECT_EQ(font->UnitsPerEm(), 1000);
        EXPECT_EQ(font->Ascent(), c.ascent);
        EXPECT_EQ(font->Descent(), c.descent);
        EXPECT_EQ(font->InternalLeading(), c.leading);
        EXPECT_EQ(font->ExternalLeading(), 0);
        EXPECT_EQ(font->AveCharWidth(), c.width);
        EXPECT_EQ(font->MaxCharWidth(), c.width);
        EXPECT_EQ(font->Advance('A'), c.width);
        EXPECT_EQ(font->Advance(' '), c.width);
        EXPECT_EQ(font->Advance('\t'), 0);
    }
}

TEST(SoftBlockFont, TextWidthSaturatesInsteadOfWrapping) {
    auto font = BlockFont(INT32_MIN);
    EXPECT_EQ(font->TextWidth(u"A"), 1288490188);
    EXPECT_EQ(font->TextWidth(u"AB"), INT32_MAX);
    EXPECT_EQ(font->TextWidth(std::u16string(1000, u'x')), INT32_MAX);
}

TEST(SoftBlockFont, TextWidthDecodesSurrogatePairs) {
    auto font = BlockFont(-12);
    const struct { std::u16string text; int32_t width; } cases[] = {
        {u"", 0}, {u"AB", 14}, {u"\U0001F600", 7}, {std::u16string{char16_t(0xD83D), u'A'}, 14},
        {std::u16string{char16_t(0xDE00), char16_t(0xD83D)}, 14}, {u"A\tB", 14},
    };
    for (const auto& c : cases) EXPECT_EQ(font->TextWidth(c.text), c.width);
}

TEST(SoftBlockFont, CachedAdvanceStoresAdvancePlusOneBelow1024) {
    auto font = BlockFont(-12);
    EXPECT_TRUE(font->AdvanceCache.empty());
    EXPECT_EQ(font->CachedAdvance('A'), 7);
    ASSERT_EQ(font->AdvanceCache.size(), 1024u);
    EXPECT_EQ(font->AdvanceCache['A'], 8);
    EXPECT_EQ(font->CachedAdvance(9), 0);
    EXPECT_EQ(font->AdvanceCache[9], 1);
    EXPECT_EQ(font->CachedAdvance(1024), 7);
    EXPECT_EQ(font->AdvanceCache['B'], 0);
}

TEST(SoftBlockFont, OutlineIsOneBoxWhoseHeightFollowsTheLowBits) {
    auto font = BlockFont(-12);
    TSoftOutline empty;
    EXPECT_FALSE(font->GetOutline(32, empty));
    EXPECT_EQ(empty.CommandCount, 0);
    const struct { uint32_t code; int32_t height; } cases[] = {{64, 560}, {65, 630}, {66, 700}, {67, 770}, {33, 630}};
    for (const auto& c : cases) {
        TSoftOutline o;
        ASSERT_TRUE(font->GetOutline(c.code, o));
        EXPECT_EQ(o.CommandCount, 5);
        EXPECT_EQ(std::vector<uint8_t>(o.Commands.begin(), o.Commands.begin() + 5), (std::vector<uint8_t>{0, 1, 1, 1, 4}));
        EXPECT_EQ(std::vector<int32_t>(o.Coords.begin(), o.Coords.begin() + o.CoordCount),
                  (std::vector<int32_t>{80, 0, 80, c.height, 520, c.height, 520, 0}));
    }
}

TEST(SoftTextProvider, KeyIsFaceHeightAndBoldItalicComparedExactly) {
    TSoftBlockProvider provider;
    auto first = provider.GetFont(u"Segoe UI", -12, 0);
    EXPECT_EQ(provider.GetFont(u"Segoe UI", -12, 0), first);
    EXPECT_EQ(provider.GetFont(u"Segoe UI", -12, 4), first);
    EXPECT_EQ(provider.GetFont(u"Segoe UI", -12, 8), first);
    EXPECT_FALSE(provider.GetFont(u"segoe ui", -12, 0) == first);
    EXPECT_FALSE(provider.GetFont(u"Segoe UI", -12, 1) == first);
    EXPECT_FALSE(provider.GetFont(u"Segoe UI", 12, 0) == first);
    EXPECT_EQ(provider.FontKeys, (std::vector<std::u16string>{u"Segoe UI|-12|0", u"segoe ui|-12|0", u"Segoe UI|-12|1",
                                                              u"Segoe UI|12|0"}));
    EXPECT_EQ(provider.DefaultFontName(), u"Segoe UI");
    EXPECT_EQ(provider.DefaultMonoFontName(), u"Courier New");
}

TEST(SoftTextProvider, ProcessWideProviderIsMadeOnce) {
    TSoftTextProvider* provider = GetSoftTextProvider();
    ASSERT_NE(provider, nullptr);
    EXPECT_EQ(GetSoftTextProvider(), provider);
    EXPECT_NE(dynamic_cast<TSoftBlockProvider*>(provider), nullptr);
}

TEST(SoftOutline, ArraysGrowAsDocumented) {
    TSoftOutline o;
    o.MoveTo(1, 2);
    EXPECT_EQ(o.Commands.size(), 16u);
    EXPECT_EQ(o.Coords.size(), 32u);
    for (int i = 0; i < 16; ++i) o.LineTo(i, i);
    EXPECT_EQ(o.CommandCount, 17);
    EXPECT_EQ(o.Commands.size(), 48u);
    EXPECT_EQ(o.CoordCount, 34);
    EXPECT_EQ(o.Coords.size(), 96u);
}

TEST(SoftRasterize, ExactCoverageOfTheFixtures) {
    struct TCase {
        const char* name;
        std::initializer_list<std::pair<int, int>> points;
        int32_t emPx;
        int32_t left, top;
        TRows rows;
    };
    const TCase cases[] = {
        {"2x2 square, one unit a pixel", {{0, 0}, {0, 2}, {2, 2}, {2, 0}}, 1000, 0, -2, Filled(2, 2, 255)},
        {"square over four half pixels", {{1, 1}, {1, 3}, {3, 3}, {3, 1}}, 500, 0, -2, Filled(2, 2, 64)},
        {"triangle", {{0, 0}, {4, 0}, {0, 4}}, 1000, 0, -4,
         {{128, 0, 0, 0}, {255, 128, 0, 0}, {255, 255, 128, 0}, {255, 255, 255, 128}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TSoftOutline o;
        AddPolygon(o, c.points);
        auto g = RasterizeOutline(o, c.emPx, 1000, 0, 65536);
        EXPECT_EQ(g->Left, c.left);
        EXPECT_EQ(g->Top, c.top);
        EXPECT_EQ(RowsOf(*g), c.rows);
    }
}

TEST(SoftRasterize, BlockGlyphOfAAt12Pixels) {
    auto font = BlockFont(-12);
    auto g = font->GetGlyph('A');
    EXPECT_EQ(g->Width, 7);
    EXPECT_EQ(g->Height, 8);
    EXPECT_EQ(g->Left, 0);
    EXPECT_EQ(g->Top, -8);
    TRows expected(8, std::vector<int>{10, 255, 255, 255, 255, 255, 61});
    expected[0] = {6, 142, 142, 142, 142, 142, 34};
    EXPECT_EQ(RowsOf(*g), expected);
}

TEST(SoftRasterize, ContourDirectionAndOverlap) {
    TSoftOutline same, opposite;
    AddPolygon(same, {{0, 0}, {0, 2}, {2, 2}, {2, 0}});
    AddPolygon(same, {{0, 0}, {0, 2}, {2, 2}, {2, 0}});
    AddPolygon(opposite, {{0, 0}, {0, 2}, {2, 2}, {2, 0}});
    AddPolygon(opposite, {{0, 0}, {2, 0}, {2, 2}, {0, 2}});
    EXPECT_EQ(RowsOf(*RasterizeOutline(same, 1000, 1000, 0, 65536)), Filled(2, 2, 255));
    EXPECT_EQ(RowsOf(*RasterizeOutline(opposite, 1000, 1000, 0, 65536)), Filled(2, 2, 0));
}

// Control points on the straight line between the ends flatten into that
// line exactly, so curved edges give the coverage of the straight square.
TEST(SoftRasterize, CurvesOnStraightEdgesMatchLines) {
    TSoftOutline lines, curves;
    AddPolygon(lines, {{0, 0}, {0, 30}, {30, 30}, {30, 0}});
    curves.MoveTo(0, 0);
    curves.Append(TSoftOutline::CmdQuadTo, {0, 15, 0, 30});
    curves.Append(TSoftOutline::CmdCubicTo, {10, 30, 20, 30, 30, 30});
    curves.Append(TSoftOutline::CmdQuadTo, {30, 15, 30, 0});
    curves.Close();
    auto expected = RasterizeOutline(lines, 100, 1000, 0, 65536);
    auto actual = RasterizeOutline(curves, 100, 1000, 0, 65536);
    EXPECT_EQ(actual->Left, expected->Left);
    EXPECT_EQ(actual->Top, expected->Top);
    EXPECT_EQ(RowsOf(*actual), RowsOf(*expected));
}

TEST(SoftRasterize, RotationTurnsPointsBeforeScaling) {
    // (10, 0) becomes (0, 10), (11, 0) becomes (0, 11), (10, 1) becomes (-1, 10).
    TSoftOutline o;
    AddPolygon(o, {{10, 0}, {11, 0}, {10, 1}});
    auto g = RasterizeOutline(o, 1000, 1000, 65536, 0);
    EXPECT_EQ(g->Left, -1);
    EXPECT_EQ(g->Top, -11);
    EXPECT_EQ(g->Width, 1);
    EXPECT_EQ(g->Height, 1);
}

TEST(SoftRasterize, EmptyAndOversizedOutlines) {
    TSoftOutline none;
    EXPECT_EQ(RasterizeOutline(none, 12, 0, 0, 65536)->Width, 0);
    TSoftOutline big;
    AddPolygon(big, {{0, 0}, {0, 1}, {4097, 1}, {4097, 0}});
    EXPECT_EQ(RasterizeOutline(big, 1000, 1000, 0, 65536)->Width, 0);
    TSoftOutline fits;
    AddPolygon(fits, {{0, 0}, {0, 1}, {4096, 1}, {4096, 0}});
    EXPECT_EQ(RasterizeOutline(fits, 1000, 1000, 0, 65536)->Width, 4096);
    // Design coordinates times the em size times 512 need more than 64 bits.
    TSoftOutline far;
    AddPolygon(far, {{INT32_MAX, INT32_MAX}, {INT32_MAX, INT32_MAX - 1}, {INT32_MAX - 1, INT32_MAX}});
    EXPECT_EQ(RasterizeOutline(far, INT32_MAX, 1, 0, 65536)->Width, 0);
    // Commands that ask for more points than there are stop the walk.
    TSoftOutline shortOfPoints;
    AddPolygon(shortOfPoints, {{0, 0}, {0, 2}, {2, 2}, {2, 0}});
    shortOfPoints.Append(TSoftOutline::CmdCubicTo, {});
    shortOfPoints.Append(99, {});
    EXPECT_EQ(RowsOf(*RasterizeOutline(shortOfPoints, 1000, 1000, 0, 65536)), Filled(2, 2, 255));
}

// Lines reach out to 2^40 either way: a long line adds exactly what its
// piece across the raster adds. Both lines cross every row boundary at a
// whole 1/256 pixel, so nothing depends on where the far ends lie.
TEST(SoftRaster, FarLinesAddWhatTheirPieceAcrossTheRasterAdds) {
    constexpr int64_t far = int64_t{1} << 40;
    struct Case {
        const char* name;
        std::array<int64_t, 4> whole, piece;
    };
    const Case cases[] = {
        {"down at slope 1", {-far, -far, far, far}, {0, 0, 1024, 1024}},
        {"up at slope -1/2", {512 - far / 2, far, 512 + far / 2, -far}, {0, 1024, 512, 0}},
    };
    for (const Case& c : cases) {
        TSoftRaster whole(4, 4), piece(4, 4);
        whole.AddLine(c.whole[0], c.whole[1], c.whole[2], c.whole[3]);
        piece.AddLine(c.piece[0], c.piece[1], c.piece[2], c.piece[3]);
        EXPECT_NE(piece.Cells, std::vector<uint32_t>(piece.Cells.size())) << c.name;
        EXPECT_EQ(whole.Cells, piece.Cells) << c.name;
    }
}

TEST(SoftSine, TableAndInterpolation) {
    const struct { int32_t angle, sine; } cases[] = {
        {0, 0},          {900, 65536},      {300, 32768}, {2700, -65536}, {-900, -65536}, {1800, 0},
        {3600, 0},       {15, 1715},        {10, 1144},   {1795, 572},    {INT32_MIN, SoftSine(INT32_MIN % 3600 + 3600)},
    };
    for (const auto& c : cases) EXPECT_EQ(SoftSine(c.angle), c.sine) << c.angle;
    EXPECT_EQ(SoftCosine(0), 65536);
    EXPECT_EQ(SoftCosine(INT32_MAX), SoftSine(int32_t((int64_t(INT32_MAX) + 900) % 3600)));
}

TEST(SoftGlyphCache, GrowsAfterThirtyTwoEntriesAndCachesEmptyGlyphs) {
    auto font = BlockFont(-12);
    auto tab = font->GetGlyph('\t');
    EXPECT_EQ(tab->Width, 0);
    EXPECT_EQ(font->GetGlyph('\t'), tab);
    EXPECT_EQ(font->GlyphKeys.size(), 64u);
    for (uint32_t code = 0; code < 32; ++code) font->GetGlyph(code);
    EXPECT_EQ(font->GlyphCount, 32);
    EXPECT_EQ(font->GlyphKeys.size(), 64u);
    auto a = font->GetGlyph('A');
    EXPECT_EQ(font->GlyphKeys.size(), 128u);
    EXPECT_EQ(font->GlyphCount, 33);
    // Every entry survives the move into the larger table.
    EXPECT_EQ(font->GetGlyph('\t'), tab);
    EXPECT_EQ(font->GetGlyph('A'), a);
    const size_t slot = size_t((uint64_t('A' + 1) * 2654435761u) >> 7) & 127;
    size_t probe = slot;
    while (font->GlyphKeys[probe] != 'A' + 1) probe = (probe + 1) & 127;
    EXPECT_EQ(font->Glyphs[probe], a);
    // The last code point has no key of its own and is never cached.
    EXPECT_EQ(font->GetGlyph(0xFFFFFFFFu)->Width, 7);
    EXPECT_EQ(font->GlyphCount, 33);
}

TEST(SoftGlyphCache, ZeroUnitsPerEmRaisesAndCachesNothing) {
    auto font = MakeRef<TStubFont>(12, 0, std::vector<std::pair<int, int>>{{0, 0}, {0, 500}, {500, 500}});
    EXPECT_THROW(font->GetGlyph('A'), System::EDivByZero);
    EXPECT_EQ(font->GlyphCount, 0);
    for (int32_t key : font->GlyphKeys) EXPECT_EQ(key, 0);
    EXPECT_THROW(font->GetRotatedGlyph('A', 450), System::EDivByZero);
    // A character without an outline has no points to scale.
    EXPECT_EQ(font->GetGlyph(' ')->Width, 0);
}

TEST(SoftGlyphCache, OversizedGlyphIsCachedEmpty) {
    auto font = MakeRef<TStubFont>(5000, 1000, std::vector<std::pair<int, int>>{{0, 0}, {0, 100}, {1000, 100}});
    auto g = font->GetGlyph('A');
    EXPECT_EQ(g->Width, 0);
    EXPECT_EQ(font->GlyphCount, 1);
    EXPECT_EQ(font->GetGlyph('A'), g);
}

TEST(SoftGlyphCache, RotatedGlyphsAreNewEachTime) {
    auto font = BlockFont(-12);
    auto a = font->GetRotatedGlyph('A', 900);
    EXPECT_FALSE(a == font->GetRotatedGlyph('A', 900));
    // At 90 degrees the box lies on its side left of the pen: x' = -y.
    EXPECT_EQ(a->Width, 8);
    EXPECT_EQ(a->Height, 7);
    EXPECT_EQ(a->Left, -8);
    EXPECT_EQ(font->GlyphCount, 0);
    EXPECT_EQ(font->GetRotatedGlyph(' ', 900)->Width, 0);
}
