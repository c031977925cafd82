#include <gtest/gtest.h>

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
