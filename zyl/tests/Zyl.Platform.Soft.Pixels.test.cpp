#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#if !defined(_WIN32)
#include <pthread.h>
#endif

#include "Zyl.Platform.Soft.Pixels.h"

using namespace Zyl;

namespace {

// A pixel buffer of its own, filled with one value.
struct TPixels {
    TPixels(int32_t width, int32_t height, uint32_t fill)
        : Width(width), Height(height), Data(size_t(width) * size_t(height), fill) {}
    uint8_t* Bits() { return reinterpret_cast<uint8_t*>(Data.data()); }
    int32_t Stride() const { return 4 * Width; }
    uint32_t& At(int32_t x, int32_t y) { return Data[size_t(y) * size_t(Width) + size_t(x)]; }

    int32_t Width, Height;
    std::vector<uint32_t> Data;
};

TClipRectArray Clip(std::vector<int32_t> values) {
    return std::make_shared<const std::vector<int32_t>>(std::move(values));
}

TClipRectArray Whole(const TPixels& p) { return Clip({0, 0, p.Width, p.Height}); }

std::vector<int32_t> InUse(const TClipRectArray& rects, int32_t count) {
    return std::vector<int32_t>(rects->begin(), rects->begin() + 4 * count);
}

void Flood(TPixels& p, const TClipRectArray& clip, int32_t x, int32_t y, int32_t color, bool toBorder,
           int32_t brushColor, int32_t brushStyle = 0, int32_t backColor = 0xFFFFFF, bool backTransparent = false) {
    FloodFillPixels(p.Bits(), p.Stride(), p.Width, p.Height, clip, clip ? int32_t(clip->size() / 4) : 0, x, y, color,
                    toBorder, brushColor, brushStyle, backColor, backTransparent);
}

void Blit(TPixels& dst, TPixels& src, std::array<int32_t, 4> s, std::array<int32_t, 4> d, int32_t rop,
          bool plainCopy = false, int32_t brush = 0, TClipRectArray clip = nullptr) {
    if (!clip) clip = Whole(dst);
    StretchBlitPixels(dst.Bits(), dst.Stride(), dst.Width, dst.Height, src.Bits(), src.Stride(), src.Width,
                      src.Height, s[0], s[1], s[2], s[3], d[0], d[1], d[2], d[3], clip, int32_t(clip->size() / 4),
                      brush, rop, plainCopy);
}

} // namespace

TEST(SoftClipRects, ResetMakesANewArray) {
    TClipRectArray rects = Clip({1, 2, 3, 4});
    const TClipRectArray holder = rects;
    int32_t count = 1;
    ResetClipRects(rects, count, 640, 480);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(*rects, (std::vector<int32_t>{0, 0, 640, 480}));
    EXPECT_EQ(*holder, (std::vector<int32_t>{1, 2, 3, 4}));
}

TEST(SoftClipRects, IntersectKeepsNonEmptyPiecesInOrder) {
    const struct { std::vector<int32_t> with; std::vector<int32_t> result; } cases[] = {
        {{50, 50, 250, 150}, {50, 50, 100, 100, 200, 50, 250, 100}},
        {{400, 400, 500, 500}, {}},
        {{250, 0, 200, 100}, {}},
        {{0, 0, 300, 100}, {0, 0, 100, 100, 200, 0, 300, 100}},
        {{99, 99, 201, 101}, {99, 99, 100, 100, 200, 99, 201, 100}},
    };
    for (const auto& c : cases) {
        const TClipRectArray original = Clip({0, 0, 100, 100, 200, 0, 300, 100});
        TClipRectArray rects = original;
        int32_t count = 2;
        IntersectClipRects(rects, count, c.with[0], c.with[1], c.with[2], c.with[3]);
        EXPECT_EQ(InUse(rects, count), c.result);
        EXPECT_GE(rects->size(), 12u);
        EXPECT_EQ(*original, (std::vector<int32_t>{0, 0, 100, 100, 200, 0, 300, 100}));
    }
}

TEST(SoftClipRects, ToRectWritesPiecesOrNothing) {
    const TClipRectArray rects = Clip({0, 0, 100, 100, 200, 0, 300, 100, 7, 7, 7, 7});
    std::vector<int32_t> out{9, 9};
    EXPECT_EQ(ClipRectsToRect(rects, 2, 10, 10, 10, 20, out), 0);
    EXPECT_EQ(ClipRectsToRect(rects, 0, 0, 0, 10, 10, out), 0);
    EXPECT_EQ(out, (std::vector<int32_t>{9, 9}));
    EXPECT_EQ(ClipRectsToRect(rects, 2, 90, 10, 210, 20, out), 2);
    EXPECT_EQ(out.size(), 24u);
    EXPECT_EQ(std::vector<int32_t>(out.begin(), out.begin() + 8), (std::vector<int32_t>{90, 10, 100, 20, 200, 10, 210, 20}));
    // A count beyond the array reads only the rectangles that are there.
    EXPECT_EQ(ClipRectsToRect(rects, 50, 0, 0, 1000, 1000, out), 2);
}

TEST(ClipExclusion, PiecesInOrderOrTheListUnchanged) {
    const int32_t lo = INT32_MIN, hi = INT32_MAX;
    const struct {
        const char* name;
        std::vector<int32_t> list, excluded, result;
    } cases[] = {
        {"four pieces: top, bottom, left, right", {0, 0, 100, 100}, {10, 10, 20, 20},
         {0, 0, 100, 10, 0, 20, 100, 100, 0, 10, 10, 20, 20, 10, 100, 20}},
        {"full cover removes the rectangle", {10, 10, 20, 20, 30, 0, 40, 5}, {0, 0, 25, 100}, {30, 0, 40, 5}},
        {"the whole plane removes everything", {0, 0, 100, 100}, {lo, lo, hi, hi}, {}},
        {"no overlap drops only empty rectangles", {0, 0, 10, 10, 5, 5, 5, 9, 20, 0, 30, 10}, {10, 0, 20, 10},
         {0, 0, 10, 10, 20, 0, 30, 10}},
        {"an empty rectangle inside splits but removes nothing", {0, 0, 100, 100}, {50, 10, 50, 20},
         {0, 0, 100, 10, 0, 20, 100, 100, 0, 10, 50, 20, 50, 10, 100, 20}},
        {"a band across cuts left and right only", {0, 0, 100, 100}, {-5, 40, 200, 60}, {0, 0, 100, 40, 0, 60, 100, 100}},
        {"pieces at the int32 limits", {lo, lo, hi, hi}, {0, 0, 1, 1},
         {lo, lo, hi, 0, lo, 1, hi, hi, lo, 0, 0, 1, 1, 0, hi, 1}},
        {"an empty list stays empty", {}, {0, 0, 10, 10}, {}},
    };
    for (const auto& c : cases) {
        TClipRectArray rects = Clip(c.list);
        int32_t count = int32_t(c.list.size() / 4);
        ExcludeClipRects(rects, count, c.excluded[0], c.excluded[1], c.excluded[2], c.excluded[3]);
        EXPECT_EQ(InUse(rects, count), c.result) << c.name;
    }
}

TEST(ClipExclusion, AReversedRectangleExcludesNothing) {
    // Run through the overlap test, (60, 10, 40, 20) would leave a left piece
    // up to 60 and a right piece from 40: columns 40..59 twice.
    for (const std::vector<int32_t>& reversed : {std::vector<int32_t>{60, 10, 40, 20}, {10, 60, 20, 40},
                                                 {INT32_MAX, 0, INT32_MIN, 5}}) {
        const TClipRectArray original = Clip({0, 0, 100, 100, 7, 7, 7, 7});
        TClipRectArray rects = original;
        int32_t count = 2;
        ExcludeClipRects(rects, count, reversed[0], reversed[1], reversed[2], reversed[3]);
        EXPECT_EQ(rects, original);
        EXPECT_EQ(count, 2);
    }
}

TEST(ClipExclusion, AboveTwoHundredFiftySixPiecesOnlyTheBoundingBoxRemains) {
    // n rectangles (3i, 0, 3i + 2, 3) in a row and a band through all of them
    // from inside the first to inside the last: a top and a bottom piece each,
    // plus a left piece of the first and a right piece of the last.
    auto excludeBand = [](int32_t n) {
        std::vector<int32_t> list;
        for (int32_t i = 0; i < n; ++i) list.insert(list.end(), {3 * i, 0, 3 * i + 2, 3});
        TClipRectArray rects = Clip(list);
        int32_t count = n;
        ExcludeClipRects(rects, count, 1, 1, 3 * n - 2, 2);
        return InUse(rects, count);
    };
    EXPECT_EQ(excludeBand(127).size(), 4u * 256);
    EXPECT_EQ(excludeBand(128), (std::vector<int32_t>{0, 0, 3 * 128 - 1, 3}));
}

TEST(ClipExclusion, TheOldArrayIsNeverWritten) {
    const TClipRectArray original = Clip({0, 0, 100, 100});
    TClipRectArray rects = original;
    int32_t count = 1;
    ExcludeClipRects(rects, count, 10, 10, 20, 20);
    EXPECT_NE(rects, original);
    EXPECT_EQ(*original, (std::vector<int32_t>{0, 0, 100, 100}));
}

namespace {

// Pixel (x, y) starts as 0x80000000 + 256 y + x, so every pixel is its own.
TPixels Numbered(int32_t width, int32_t height) {
    TPixels p(width, height, 0);
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) p.At(x, y) = 0x80000000u + uint32_t(256 * y + x);
    return p;
}

void Focus(TPixels& p, const TClipRectArray& clip, std::array<int32_t, 4> r, int32_t color = 0xFFFFFF) {
    XorFocusRectPixels(p.Bits(), p.Stride(), p.Width, p.Height, clip, clip ? int32_t(clip->size() / 4) : 0, r[0],
                       r[1], r[2], r[3], color);
}

// The pixels that differ from Numbered, as (x, y) pairs.
std::vector<std::pair<int32_t, int32_t>> Changed(TPixels& p) {
    const TPixels original = Numbered(p.Width, p.Height);
    std::vector<std::pair<int32_t, int32_t>> changed;
    for (int32_t y = 0; y < p.Height; ++y)
        for (int32_t x = 0; x < p.Width; ++x)
            if (p.Data[size_t(y * p.Width + x)] != original.Data[size_t(y * p.Width + x)]) changed.emplace_back(x, y);
    return changed;
}

using TPoints = std::vector<std::pair<int32_t, int32_t>>;

} // namespace

TEST(FocusRectXor, DottedOutlineOfOddPixels) {
    TPixels p = Numbered(8, 8);
    Focus(p, Whole(p), {1, 2, 5, 6}, 0x0000FF);
    // Outline: rows 2 and 5 for x 1..4, columns 1 and 4 for y 3..4; x + y odd.
    EXPECT_EQ(Changed(p), (TPoints{{1, 2}, {3, 2}, {4, 3}, {1, 4}, {2, 5}, {4, 5}}));
    // Red of the colour goes into the red byte; alpha and the rest stay.
    EXPECT_EQ(p.At(1, 2), (0x80000000u + 256 * 2 + 1) ^ 0x00FF0000u);
}

TEST(FocusRectXor, EdgeCases) {
    const struct {
        const char* name;
        std::array<int32_t, 4> rect;
        std::vector<int32_t> clip;  // empty: the whole surface
        TPoints changed;
    } cases[] = {
        {"one pixel high: each pixel twice", {0, 3, 8, 4}, {}, {}},
        {"one pixel wide: the end rows only", {3, 2, 4, 7}, {}, {{3, 2}, {3, 6}}},
        {"partly outside the surface", {-3, -3, 3, 3}, {}, {{2, 1}, {1, 2}}},
        {"far beyond the int32 range of the surface", {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {}, {}},
        {"empty rectangle", {4, 4, 4, 8}, {}, {}},
        {"clipped to the list", {0, 0, 8, 8}, {0, 0, 4, 8}, {{1, 0}, {3, 0}, {0, 1}, {0, 3}, {0, 5}, {0, 7}, {2, 7}}},
        {"overlapping list rectangles: once", {0, 0, 4, 4}, {0, 0, 8, 8, 0, 0, 2, 2},
         {{1, 0}, {3, 0}, {0, 1}, {3, 2}, {0, 3}, {2, 3}}},
    };
    for (const auto& c : cases) {
        TPixels p = Numbered(8, 8);
        Focus(p, c.clip.empty() ? Whole(p) : Clip(c.clip), c.rect);
        TPoints got = Changed(p), want = c.changed;
        std::sort(got.begin(), got.end());
        std::sort(want.begin(), want.end());
        EXPECT_EQ(got, want) << c.name;
    }
    TPixels p = Numbered(8, 8);
    Focus(p, Clip({}), {0, 0, 8, 8});
    Focus(p, nullptr, {0, 0, 8, 8});
    EXPECT_TRUE(Changed(p).empty());
}

TEST(FocusRectXor, TwiceRestoresAndNeighboursAreComplementary) {
    TPixels p = Numbered(16, 16);
    Focus(p, Whole(p), {2, 3, 13, 11}, 0x123456);
    EXPECT_FALSE(Changed(p).empty());
    Focus(p, Whole(p), {2, 3, 13, 11}, 0x123456);
    EXPECT_TRUE(Changed(p).empty());

    // One pixel apart, each rectangle's top row starts with the other dot.
    TPixels a = Numbered(16, 16), b = Numbered(16, 16);
    Focus(a, Whole(a), {2, 3, 12, 11});
    Focus(b, Whole(b), {3, 3, 13, 11});
    TPixels original = Numbered(16, 16);
    for (int32_t k = 0; k < 10; ++k)
        EXPECT_NE(a.At(2 + k, 3) == original.At(2 + k, 3), b.At(3 + k, 3) == original.At(3 + k, 3)) << k;
}

TEST(HatchTile, MovedGridAndBothColours) {
    // Style 6: row 3 and column 4 of the grid; moved by (3, 5), tile row 6
    // and tile column 1 show them.
    const std::array<uint32_t, 64> moved = HatchTile(HatchPattern(6), 7, 9, 3, 5);
    const std::array<uint32_t, 64> plain = HatchTile(HatchPattern(6), 7, 9);
    for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x) {
            EXPECT_EQ(moved[size_t(8 * y + x)], y == 6 || x == 1 ? 7u : 9u) << x << "," << y;
            EXPECT_EQ(plain[size_t(8 * y + x)], y == 3 || x == 4 ? 7u : 9u) << x << "," << y;
        }
    // A whole turn of the grid, either way, is no move.
    EXPECT_EQ(HatchTile(HatchPattern(5), 1, 0, -8, 16), HatchTile(HatchPattern(5), 1, 0));
}

TEST(SoftFloodFill, SurfaceModeFillsTheFourConnectedArea) {
    // Black cross of 5 pixels, one diagonal black pixel beside it, on white.
    TPixels p(8, 8, 0xFFFFFFFF);
    for (auto [x, y] : {std::pair{3, 2}, {2, 3}, {3, 3}, {4, 3}, {3, 4}, {5, 5}}) p.At(x, y) = 0xFF000000;
    Flood(p, Whole(p), 3, 3, 0x000000, false, 0x0000FF);
    for (auto [x, y] : {std::pair{3, 2}, {2, 3}, {3, 3}, {4, 3}, {3, 4}}) EXPECT_EQ(p.At(x, y), 0xFFFF0000u);
    EXPECT_EQ(p.At(5, 5), 0xFF000000u);
    EXPECT_EQ(p.At(0, 0), 0xFFFFFFFFu);
}

TEST(SoftFloodFill, BorderModeStopsAtTheBorderColour) {
    // A black frame from (1, 1) to (6, 6) on white; fill inside it.
    TPixels p(8, 8, 0xFFFFFFFF);
    for (int i = 1; i <= 6; ++i) p.At(i, 1) = p.At(i, 6) = p.At(1, i) = p.At(6, i) = 0xFF000000;
    Flood(p, Whole(p), 3, 3, 0x000000, true, 0x00FF00);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const bool frame = (x >= 1 && x <= 6 && (y == 1 || y == 6)) || (y >= 1 && y <= 6 && (x == 1 || x == 6));
            const bool inside = x > 1 && x < 6 && y > 1 && y < 6;
            EXPECT_EQ(p.At(x, y), frame ? 0xFF000000u : inside ? 0xFF00FF00u : 0xFFFFFFFFu) << x << "," << y;
        }
}

TEST(SoftFloodFill, UnfillableSeedOrClippedSeedChangesNothing) {
    TPixels p(8, 8, 0xFFFFFFFF);
    p.At(2, 2) = 0xFF000000;
    const std::vector<uint32_t> before = p.Data;
    Flood(p, Whole(p), 2, 2, 0x000000, true, 0x00FF00);   // seed on the border colour
    Flood(p, Whole(p), 3, 3, 0x000000, false, 0x00FF00);  // seed of another colour
    Flood(p, Clip({4, 4, 8, 8}), 0, 0, 0xFFFFFF, false, 0x00FF00);
    Flood(p, Whole(p), -1, 0, 0xFFFFFF, false, 0x00FF00);
    Flood(p, Whole(p), 8, 0, 0xFFFFFF, false, 0x00FF00);
    Flood(p, nullptr, 0, 0, 0xFFFFFF, false, 0x00FF00);
    EXPECT_EQ(p.Data, before);
    // The alpha byte plays no part in the colour test.
    p.At(0, 0) = 0x12FFFFFF;
    Flood(p, Clip({0, 0, 2, 8, 6, 0, 8, 8}), 0, 0, 0xFFFFFF, false, 0x0000FF);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(p.At(x, y), x < 2 ? 0xFFFF0000u : before[size_t(y * 8 + x)]);
}

TEST(SoftFloodFill, HatchesAreAnchoredToDevicePixels) {
    const struct { int32_t style; bool (*line)(int x, int y); } cases[] = {
        {2, [](int, int y) { return y % 8 == 3; }},
        {3, [](int x, int) { return x % 8 == 4; }},
        {4, [](int x, int y) { return x % 8 == y % 8; }},
        {5, [](int x, int y) { return x % 8 + y % 8 == 7; }},
        {6, [](int x, int y) { return y % 8 == 3 || x % 8 == 4; }},
        {7, [](int x, int y) { return x % 8 == y % 8 || x % 8 + y % 8 == 7; }},
        {8, [](int, int) { return false; }},
    };
    for (const auto& c : cases) {
        for (bool transparent : {false, true}) {
            SCOPED_TRACE(testing::Message() << "style " << c.style << " transparent " << transparent);
            TPixels p(16, 16, 0xFFFFFFFF);
            Flood(p, Whole(p), 5, 9, 0xFFFFFF, false, 0x000000, c.style, 0x0000FF, transparent);
            for (int y = 0; y < 16; ++y)
                for (int x = 0; x < 16; ++x)
                    EXPECT_EQ(p.At(x, y), c.line(x, y) ? 0xFF000000u : transparent ? 0xFFFFFFFFu : 0xFFFF0000u);
        }
    }
}

#if !defined(_WIN32)
// A serpentine maze of one-pixel corridors: the fill's stack must stay
// explicit, so a 64 KiB thread stack is enough for four million pixels.
TEST(SoftFloodFill, SerpentineMazeOnASmallStack) {
    struct TJob {
        TPixels maze{2048, 2048, 0xFFFFFFFF};
    } job;
    TPixels& m = job.maze;
    for (int y = 1; y < m.Height; y += 2) {
        for (int x = 0; x < m.Width; ++x) m.At(x, y) = 0xFF000000;
        m.At((y / 2) % 2 ? 0 : m.Width - 1, y) = 0xFFFFFFFF;
    }
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 64 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, [](void* arg) -> void* {
        TPixels& p = static_cast<TJob*>(arg)->maze;
        FloodFillPixels(p.Bits(), p.Stride(), p.Width, p.Height, Whole(p), 1, 0, 0, 0xFFFFFF, false, 0x0000FF, 0,
                        0, false);
        return nullptr;
    }, &job), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    size_t filled = 0, walls = 0;
    for (uint32_t v : m.Data) {
        filled += v == 0xFFFF0000u;
        walls += v == 0xFF000000u;
    }
    EXPECT_EQ(filled + walls, m.Data.size());
    EXPECT_EQ(walls, size_t(1024) * 2047);
    EXPECT_EQ(m.At(2047, 2047), 0xFF000000u);
    EXPECT_EQ(m.At(1000, 2046), 0xFFFF0000u);
}
#endif

TEST(SoftStretchBlit, NearestSampling) {
    TPixels src(4, 4, 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) src.At(x, y) = 0xFF000000u | uint32_t(y * 16 + x);
    TPixels up(4, 4, 0), down(2, 2, 0);
    Blit(up, src, {0, 0, 2, 2}, {0, 0, 4, 4}, 0xCC0020);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) EXPECT_EQ(up.At(x, y), 0xFF000000u | uint32_t(y / 2 * 16 + x / 2));
    Blit(down, src, {0, 0, 4, 4}, {0, 0, 2, 2}, 0xCC0020);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 2; ++x) EXPECT_EQ(down.At(x, y), 0xFF000000u | uint32_t((2 * y + 1) * 16 + 2 * x + 1));
}

TEST(SoftStretchBlit, EveryTernaryIndexOnTheTruthTableColours) {
    TPixels src(1, 1, 0x00CCCCCC);
    for (uint32_t index = 0; index < 256; ++index) {
        TPixels dst(1, 1, 0x00AAAAAA);
        Blit(dst, src, {0, 0, 1, 1}, {0, 0, 1, 1}, int32_t(index << 16 | 0x1234), false, 0xF0F0F0);
        EXPECT_EQ(dst.At(0, 0), 0xFF000000u | index * 0x010101u) << index;
    }
}

TEST(SoftStretchBlit, NamedCodesAndPlainCopy) {
    const struct { int32_t rop; bool plain; uint32_t result; } cases[] = {
        {0x00CC0020, false, 0xFF123456}, {0x00660046, false, 0xFF123456 ^ 0x00654321},
        {0x00000042, false, 0xFF000000}, {0x00FF0062, false, 0xFFFFFFFF},
        {0x00F00021, false, 0xFF332211}, {0x00CC0020, true, 0x80123456},
    };
    for (const auto& c : cases) {
        TPixels src(1, 1, 0x80123456), dst(1, 1, 0xFF654321);
        Blit(dst, src, {0, 0, 1, 1}, {0, 0, 1, 1}, c.rop, c.plain, 0x112233);
        EXPECT_EQ(dst.At(0, 0), c.result) << std::hex << c.rop;
    }
}

TEST(SoftStretchBlit, ClipListAndSurfaceBoundTheWrites) {
    TPixels src(1, 1, 0xFF0000FF), dst(8, 1, 0xFF000000);
    Blit(dst, src, {0, 0, 1, 1}, {-4, 0, 12, 1}, 0xCC0020, false, 0, Clip({1, 0, 3, 1, 5, 0, 6, 1}));
    const std::vector<uint32_t> expected{0xFF000000, 0xFF0000FF, 0xFF0000FF, 0xFF000000,
                                         0xFF000000, 0xFF0000FF, 0xFF000000, 0xFF000000};
    EXPECT_EQ(dst.Data, expected);
}

TEST(SoftStretchBlit, SourceMayOverlapTheDestination) {
    TPixels p(6, 1, 0);
    for (int x = 0; x < 6; ++x) p.At(x, 0) = 0xFF000000u | uint32_t(x);
    Blit(p, p, {0, 0, 5, 1}, {1, 0, 6, 1}, 0xCC0020);
    EXPECT_EQ(p.Data, (std::vector<uint32_t>{0xFF000000, 0xFF000000, 0xFF000001, 0xFF000002, 0xFF000003, 0xFF000004}));
}

// (2 * y + 1) * sh overflows 32 bits once dh * sh passes 2^30: the sampled
// row must still be the one under the destination row.
TEST(SoftStretchBlit, TallRectanglesSampleIn64Bits) {
    TPixels src(1, 40000, 0), dst(1, 40000, 0);
    for (int y = 0; y < 40000; ++y) src.At(0, y) = 0xFF000000u | uint32_t(y);
    Blit(dst, src, {0, 0, 1, 40000}, {0, 0, 1, 40000}, 0xCC0020);
    EXPECT_EQ(dst.Data, src.Data);
}

TEST(SoftCombineRop2, EveryPenModeOnTheTruthTableColours) {
    const uint8_t expected[16] = {0x00, 0xFF, 0xAA, 0x55, 0xCC, 0x33, 0xDD, 0x44,
                                  0xBB, 0x22, 0xEE, 0x11, 0x88, 0x77, 0x66, 0x99};
    for (int32_t mode = 0; mode < 17; ++mode) {
        TPixels layer(1, 1, 0xFFCCCCCC), dst(1, 1, 0x80AAAAAA);
        CombineRop2Pixels(dst.Bits(), dst.Stride(), 1, 1, layer.Bits(), layer.Stride(), 1, 1, 0, 0, Whole(dst), 1, mode);
        EXPECT_EQ(dst.At(0, 0), 0xFF000000u | (mode < 16 ? expected[mode] * 0x010101u : 0xCCCCCCu)) << mode;
    }
}

TEST(SoftCombineRop2, TransparentLayerPixelsAndClipping) {
    TPixels layer(3, 2, 0xFFFFFFFF), dst(5, 4, 0xFF000000);
    layer.At(1, 0) = 0x00FFFFFF;
    CombineRop2Pixels(dst.Bits(), dst.Stride(), 5, 4, layer.Bits(), layer.Stride(), 3, 2, 1, 1,
                      Clip({0, 0, 5, 2, 3, 2, 5, 4}), 2, 14);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 5; ++x) {
            const bool hit = ((y == 1 && x >= 1 && x <= 3 && x != 2) || (y == 2 && x == 3));
            EXPECT_EQ(dst.At(x, y), hit ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
        }
}

TEST(SoftCombineRop2, AListPastTheSurfaceStillStopsAtItsEdge) {
    // A 4 x 3 surface inside a 6 x 4 block: the two columns on the right and
    // the row below stand for the memory after it.
    TPixels block(6, 4, 0xFF000000), layer(8, 8, 0xFFFFFFFF);
    CombineRop2Pixels(block.Bits(), block.Stride(), 4, 3, layer.Bits(), layer.Stride(), 8, 8, -2, -2,
                      Clip({-5, -5, 20, 20}), 1, 14);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            EXPECT_EQ(block.At(x, y), x < 4 && y < 3 ? 0xFFFFFFFFu : 0xFF000000u) << x << "," << y;
}
