// Drawing, line and text operations of the soft canvas, as exact pixels on
// small surfaces. Art: '#' pen (black), '+' brush (red), 'g' background
// colour (green), '.' untouched (white), '?' anything else.
#include <gtest/gtest.h>

#if !defined(_WIN32)
#include <pthread.h>
#endif

#include <chrono>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "System.Hash.h"
#include "System.Remainder.Exceptions.h"
#include "Zyl.Platform.Soft.h"

using namespace Zyl;
using System::MakeRef;

namespace {

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00;
constexpr uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;

struct TPad {
    TPad(int32_t width, int32_t height, bool alpha = false, uint32_t fill = kWhite)
        : Surface(MakeRef<TSoftSurface>(width, height, alpha)),
          Canvas(static_cast<TSoftCanvas*>(Surface->CreateCanvas().Get())) {
        std::fill_n(reinterpret_cast<uint32_t*>(Surface->Bits()), size_t(width) * size_t(height), fill);
        Canvas->SetPen(0, 1, PenStyleSolid);
        Canvas->SetBrush(kRed, BrushStyleSolid);
        Canvas->SetBackground(kGreen, false);
    }
    uint32_t& At(int32_t x, int32_t y) { return *PixelPtr(Surface->Bits(), Surface->Stride(), x, y); }
    std::vector<uint32_t> Data() {
        const uint32_t* p = reinterpret_cast<const uint32_t*>(Surface->Bits());
        return std::vector<uint32_t>(p, p + size_t(Surface->Width()) * size_t(Surface->Height()));
    }
    std::string Art() {
        std::string s;
        for (int32_t y = 0; y < Surface->Height(); ++y) {
            for (int32_t x = 0; x < Surface->Width(); ++x) {
                const uint32_t p = At(x, y);
                s += p == kBlack ? '#' : p == ColorToPixel(kRed) ? '+' : p == ColorToPixel(kGreen) ? 'g' : p == kWhite ? '.' : '?';
            }
            s += '\n';
        }
        return s;
    }
    // The covered columns of each row that has any, as "row:first..last".
    std::string Runs() {
        std::string s;
        for (int32_t y = 0; y < Surface->Height(); ++y) {
            int32_t first = -1, last = -1;
            for (int32_t x = 0; x < Surface->Width(); ++x)
                if (At(x, y) != kWhite) {
                    if (first < 0) first = x;
                    last = x;
                }
            if (first >= 0) s += (s.empty() ? "" : " ") + std::to_string(y) + ":" + std::to_string(first) + ".." + std::to_string(last);
        }
        return s;
    }

    TRef<TSoftSurface> Surface;
    TRef<TSoftCanvas> Canvas;
};

std::string Lines(std::initializer_list<const char*> rows) {
    std::string s;
    for (const char* r : rows) s += std::string(r) + '\n';
    return s;
}

} // namespace

// ---- Lines ---------------------------------------------------------------------------

TEST(SoftLines, ThinLineRoundsHalvesToTheSmallerMinor) {
    TPad a(5, 3), b(5, 3), c(5, 3);
    a.Canvas->MoveTo(0, 0);
    a.Canvas->LineTo(4, 2);
    EXPECT_EQ(a.Art(), Lines({"##...", "..##.", "....."}));
    EXPECT_EQ(a.Canvas->PenX, 4);
    b.Canvas->PreparePenFill();
    b.Canvas->ThinLine(0, 0, 4, 2, true);
    EXPECT_EQ(b.Art(), Lines({"##...", "..##.", "....#"}));
    c.Canvas->MoveTo(4, 2);
    c.Canvas->LineTo(0, 0);
    EXPECT_EQ(c.Art(), Lines({".#...", "..##.", "....#"}));
}

TEST(SoftLines, DotGapsTakeTheBackgroundUnlessTransparent) {
    TPad a(11, 1), b(11, 1);
    for (TPad* p : {&a, &b}) {
        p->Canvas->SetPen(0, 1, PenStyleDot);
        p->Canvas->SetBackground(kGreen, p == &b);
        p->Canvas->MoveTo(0, 0);
        p->Canvas->LineTo(10, 0);
    }
    EXPECT_EQ(a.Art(), "###ggg###g.\n");
    EXPECT_EQ(b.Art(), "###...###..\n");
}

// The gaps go through the pen mode too: a XOR dotted line drawn twice
// leaves the pixels as they were, and once it turns the gaps' pixels by the
// background colour.
TEST(SoftLines, DotGapsFollowThePenMode) {
    TPad p(11, 1);
    p.Canvas->SetPen(0, 1, PenStyleDot);
    p.Canvas->SetBackground(kGreen, false);
    p.Canvas->SetRop2(RasterXor);
    p.Canvas->MoveTo(0, 0);
    p.Canvas->LineTo(10, 0);
    EXPECT_EQ(p.At(0, 0), kWhite);
    EXPECT_EQ(p.At(3, 0), (kWhite ^ ColorToPixel(kGreen)) | 0xFF000000u);
    p.Canvas->MoveTo(0, 0);
    p.Canvas->LineTo(10, 0);
    EXPECT_EQ(p.Art(), "...........\n");
}

TEST(SoftLines, DashPhaseRunsAcrossPolylineSegments) {
    TPad p(12, 21);
    p.Canvas->SetPen(0, 1, PenStyleDash);
    const TPlatformPoint points[] = {{0, 0}, {10, 0}, {10, 20}};
    p.Canvas->Polyline(points, 3, 2);
    for (int32_t x = 0; x < 10; ++x) EXPECT_EQ(p.At(x, 0), kBlack) << x;
    // The second segment starts at phase 10: 8 steps on, 6 off, then on.
    for (int32_t y = 0; y < 20; ++y) EXPECT_EQ(p.At(10, y), y < 8 || y >= 14 ? kBlack : ColorToPixel(kGreen)) << y;
    EXPECT_EQ(p.At(10, 20), kWhite);
}

// Phase growth of up to 999,999 per segment overflowed int32 after about
// 2,150 long segments; kept below 24 it draws the same dashes.
TEST(SoftLines, DashPhaseStaysSmallOnLongPolylines) {
    TPad p(30, 3);
    p.Canvas->SetPen(0, 1, PenStyleDash);
    std::vector<TPlatformPoint> points;
    int64_t phase = 0;
    for (int32_t i = 0; i < 3000; ++i) {
        points.push_back({i % 2 ? 999999 : 0, 2});
        if (i > 0) phase += 999999;
    }
    // Then up to row 0 and leftwards along it: step i sits at x = 999999 - i.
    points.push_back({999999, 0});
    points.push_back({0, 0});
    phase += 2;
    p.Canvas->Polyline(points.data(), int32_t(points.size()), int32_t(points.size()) - 1);
    EXPECT_GE(p.Canvas->DashPhase, 0);
    EXPECT_LT(p.Canvas->DashPhase, 24);
    for (int32_t x = 1; x < 30; ++x)
        EXPECT_EQ(p.At(x, 0) == kBlack, (phase + (999999 - x) % 100000) % 24 < 18) << x;
}

TEST(SoftLines, ShortWidthsFollowTheProfiles) {
    struct TCase {
        int32_t w, x0, y0, x1, y1;
        const char* runs;
    } cases[] = {
        {3, 10, 5, 20, 5, "4:10..20 5:9..21 6:10..20"},
        {2, 10, 5, 20, 5, "4:11..20 5:10..20"},
        {2, 5, 10, 5, 20, ""},  // checked by column below
        // A length-1 line uses the distance rule, not the profile.
        {3, 10, 5, 11, 5, "4:9..12 5:9..12 6:9..12"},
    };
    for (const TCase& c : cases) {
        TPad p(30, 30);
        p.Canvas->SetPen(0, c.w, PenStyleSolid);
        p.Canvas->MoveTo(c.x0, c.y0);
        p.Canvas->LineTo(c.x1, c.y1);
        if (*c.runs) {
            EXPECT_EQ(p.Runs(), c.runs) << c.w;
            continue;
        }
        for (int32_t y = 0; y < 30; ++y)
                for (int32_t x = 0; x < 30; ++x)
                    EXPECT_EQ(p.At(x, y) == kBlack, (x == 4 || x == 5) && y >= 10 && y <= 20) << x << "," << y;
    }
}

// Numbers of ten digits and more saturate at the int32 limits.
TEST(SoftLines, ProfileNumbersSaturate) {
    EXPECT_EQ(ParsePenProfile("9999999999;-99999999999999999999,2147483648;-2147483648,2147483647;-2147483649"),
              (std::vector<int32_t>{INT32_MAX, 2, INT32_MIN, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN}));
}

// Every profile of widths 2..20, horizontal and vertical, as drawn.
TEST(SoftLines, EveryProfileIsDrawnAsItsText) {
    EXPECT_EQ(GetPenProfile(false, 20), ParsePenProfile("-10;0,-1;-4,4;-5,5;-7,6;-7,7;-8,8;-9,9;-9,9;-9,9;-9,9;-9,9;"
                                                        "-9,9;-9,9;-9,9;-9,9;-8,8;-7,7;-7,6;-5,5;-4,4"));
    EXPECT_EQ(GetPenProfile(true, 4), ParsePenProfile("-2;0,-1;-1,1;-1,1;-1,1"));
    EXPECT_EQ(GetPenProfile(false, 4), ParsePenProfile("-2;1,0;-1,1;-1,1;-1,1"));
    EXPECT_EQ(ParsePenProfile("-1;1,0;0,0"), (std::vector<int32_t>{-1, 2, 1, 0, 0, 0}));
    for (int32_t w = 2; w <= 20; ++w) {
        for (bool vertical : {false, true}) {
            const std::vector<int32_t>& profile = GetPenProfile(vertical, w);
            ASSERT_EQ(profile[1], w);
            TPad p(60, 60);
            p.Canvas->SetPen(0, w, PenStyleSolid);
            p.Canvas->MoveTo(30, 30);
            vertical ? p.Canvas->LineTo(30, 40) : p.Canvas->LineTo(40, 30);
            for (int32_t y = 0; y < 60; ++y)
                for (int32_t x = 0; x < 60; ++x) {
                    const int32_t across = vertical ? x : y, along = vertical ? y : x;
                    const int32_t k = across - 30 - profile[0];
                    const bool expected = k >= 0 && k < w && along >= 30 + profile[size_t(2 + 2 * k)] &&
                                          along <= 40 + profile[size_t(3 + 2 * k)];
                    ASSERT_EQ(p.At(x, y) == kBlack, expected) << "width " << w << " vertical " << vertical << " at "
                                                              << x << "," << y;
                }
        }
    }
}

TEST(SoftLines, WideDiagonalHasRoundEnds) {
    TPad p(30, 30);
    p.Canvas->SetPen(0, 3, PenStyleSolid);
    p.Canvas->MoveTo(10, 10);
    p.Canvas->LineTo(20, 20);
    for (int32_t dy = -1; dy <= 1; ++dy)
        for (int32_t dx = -1; dx <= 1; ++dx) {
            EXPECT_EQ(p.At(10 + dx, 10 + dy), kBlack);
            EXPECT_EQ(p.At(20 + dx, 20 + dy), kBlack);
        }
    EXPECT_EQ(p.At(8, 10), kWhite);
    EXPECT_EQ(p.At(10, 8), kWhite);
    EXPECT_EQ(p.At(22, 20), kWhite);
    EXPECT_EQ(p.At(20, 22), kWhite);
}

TEST(SoftLines, FastRowsEqualTheFallbackForEveryWidth) {
    std::mt19937 random(2021);
    for (int32_t w = 2; w <= 64; ++w) {
        for (int round = 0; round < 6; ++round) {
            const bool far = round >= 3;
            auto near = [&] { return int64_t(random() % 90) - 20; };
            auto edge = [&] { return (random() % 2 ? 1 : -1) * int64_t(8192 - random() % 40); };
            const int64_t x0 = near(), y0 = near();
            const int64_t x1 = far ? edge() : near(), y1 = far ? (random() % 2 ? edge() : near()) : near();
            TPad fast(48, 48), slow(48, 48);
            fast.Canvas->PreparePenFill();
            slow.Canvas->PreparePenFill();
            fast.Canvas->WideLine(x0, y0, x1, y1, w);
            slow.Canvas->WideLineFallback(x0, y0, x1, y1, w);
            ASSERT_EQ(fast.Data(), slow.Data()) << "width " << w << " (" << x0 << "," << y0 << ")-(" << x1 << ","
                                                << y1 << ")";
        }
    }
}

// Far int32 end points: the exact rule needs 256-bit products, and must
// give the pixels of the same line given by near end points.
TEST(SoftLines, WideLineWithFarEndPointsIsExact) {
    const int32_t e = 1 << 30;
    struct TCase {
        int32_t w;
        TPlatformPoint farA, farB, nearA, nearB;
    } cases[] = {
        {25, {-e, -e}, {e, e}, {-200, -200}, {200, 200}},
        {21, {INT32_MIN, 10}, {INT32_MAX, 10}, {-300, 10}, {300, 10}},
        {70, {-e, -e / 2}, {e, e / 2}, {-400, -200}, {400, 200}},
    };
    for (const TCase& c : cases) {
        TPad far(40, 40), near(40, 40);
        for (auto [pad, a, b] : {std::tuple{&far, c.farA, c.farB}, std::tuple{&near, c.nearA, c.nearB}}) {
            pad->Canvas->SetPen(0, c.w, PenStyleSolid);
            pad->Canvas->MoveTo(a.X, a.Y);
            pad->Canvas->LineTo(b.X, b.Y);
        }
        EXPECT_EQ(far.Data(), near.Data()) << c.w;
        EXPECT_NE(far.Runs(), "");
    }
}

// ---- Rectangles and shapes ---------------------------------------------------------------

TEST(SoftShapes, Rectangles) {
    TPad thin(12, 12), wide(13, 13), noPen(12, 12), one(2, 2);
    thin.Canvas->Rectangle(0, 0, 10, 10);
    EXPECT_EQ(thin.Art(), Lines({"##########..", "#++++++++#..", "#++++++++#..", "#++++++++#..", "#++++++++#..",
                                 "#++++++++#..", "#++++++++#..", "#++++++++#..", "#++++++++#..", "##########..",
                                 "............", "............"}));
    wide.Canvas->SetPen(0, 3, PenStyleSolid);
    wide.Canvas->Rectangle(0, 0, 10, 10);
    EXPECT_EQ(wide.Art(), Lines({"############.", "############.", "############.", "###++++++###.", "###++++++###.",
                                 "###++++++###.", "###++++++###.", "###++++++###.", "###++++++###.", "############.",
                                 "############.", "############.", "............."}));
    noPen.Canvas->SetPen(0, 1, PenStyleClear);
    noPen.Canvas->Rectangle(0, 0, 10, 10);
    EXPECT_EQ(noPen.Runs(), "0:0..8 1:0..8 2:0..8 3:0..8 4:0..8 5:0..8 6:0..8 7:0..8 8:0..8");
    one.Canvas->SetPen(0xFFFFFF, 1, PenStyleSolid);
    one.Canvas->SetRop2(RasterXor);
    one.Canvas->Rectangle(0, 0, 1, 1);
    EXPECT_EQ(one.Art(), Lines({"#.", ".."}));
}

TEST(SoftShapes, Ellipses) {
    TPad small(5, 5), noPen(10, 10);
    small.Canvas->Ellipse(0, 0, 5, 5);
    EXPECT_EQ(small.Art(), Lines({".###.", "#+++#", "#+++#", "#+++#", ".###."}));
    noPen.Canvas->SetPen(0, 1, PenStyleClear);
    noPen.Canvas->Ellipse(0, 0, 10, 10);
    EXPECT_EQ(noPen.Art(), Lines({"....+.....", "..+++++...", ".+++++++..", ".+++++++..", "+++++++++.",
                                  ".+++++++..", ".+++++++..", "..+++++...", "....+.....", ".........."}));
}

// The outer box of a wide pen is W + w - 1: a pen of 10^9 pixels once made
// 10^9 row extents for a 10 x 10 ellipse.
TEST(SoftShapes, PenWiderThanAnyShapeDrawsNothing) {
    TPad huge(16, 16), wide(32, 32);
    huge.Canvas->SetPen(0, 1000000000, PenStyleSolid);
    const auto before = huge.Data();
    huge.Canvas->Ellipse(0, 0, 10, 10);
    huge.Canvas->RoundRect(0, 0, 10, 10, 4, 4);
    EXPECT_EQ(huge.Data(), before);
    // The largest shape with a 2-pixel pen still draws: the top of its ring.
    wide.Canvas->SetPen(0, 2, PenStyleSolid);
    wide.Canvas->SetOrigin(-8176, 0);
    wide.Canvas->Ellipse(0, 0, 16384, 16384);
    EXPECT_EQ(wide.At(16, 0), kBlack);
    EXPECT_EQ(wide.At(16, 1), kBlack);
    EXPECT_EQ(wide.At(16, 5), ColorToPixel(kRed));
}

TEST(SoftShapes, RoundRectWithAWidePen) {
    TPad p(16, 12);
    p.Canvas->SetPen(0, 2, PenStyleSolid);
    p.Canvas->RoundRect(0, 0, 12, 10, 4, 4);
    const std::string art = p.Art();
    EXPECT_EQ(art.substr(0, 17), ".###########....\n");  // corners cut
    EXPECT_EQ(p.At(5, 5), ColorToPixel(kRed));
    EXPECT_EQ(p.At(12, 5), kBlack);  // w - 1 outward on the right
    EXPECT_EQ(p.At(13, 5), kWhite);
}

TEST(SoftShapes, PolygonsThroughTheCanvas) {
    TPad two(8, 8), collinear(8, 8), square(12, 12);
    const TPlatformPoint segment[] = {{1, 1}, {6, 1}};
    two.Canvas->Polygon(segment, 2, 1, true);
    EXPECT_EQ(two.Runs(), "1:1..6");  // there and back
    EXPECT_EQ(two.Art().find('+'), std::string::npos);
    const TPlatformPoint line[] = {{1, 1}, {3, 3}, {5, 5}};
    collinear.Canvas->Polygon(line, 3, 2, false);
    EXPECT_EQ(collinear.Art().find('+'), std::string::npos);
    EXPECT_EQ(collinear.At(3, 3), kBlack);
    square.Canvas->SetPen(0, 1, PenStyleClear);
    const TPlatformPoint corners[] = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    square.Canvas->Polygon(corners, 4, 3, true);
    EXPECT_EQ(square.Runs(), "0:0..9 1:0..9 2:0..9 3:0..9 4:0..9 5:0..9 6:0..9 7:0..9 8:0..9 9:0..9");
}

// A vertex far off-screen made the crossing's product pass 64 bits.
TEST(SoftShapes, FarTriangleFillsTheSurface) {
    TPad p(16, 16);
    p.Canvas->SetPen(0, 1, PenStyleClear);
    const TPlatformPoint t[] = {{-(1 << 30), -(1 << 30)}, {1 << 30, -(1 << 30)}, {0, 1 << 30}};
    p.Canvas->Polygon(t, 3, 2, true);
    for (uint32_t v : p.Data()) ASSERT_EQ(v, ColorToPixel(kRed));
}

TEST(SoftShapes, PiesAndChords) {
    TPad quarter(11, 11), pie(11, 11), chord(11, 11);
    quarter.Canvas->SetPen(0, 1, PenStyleClear);
    quarter.Canvas->Pie(0, 0, 10, 10, 10, 5, 5, 0);
    for (int32_t y = 0; y < 10; ++y)
        for (int32_t x = 0; x < 10; ++x)
            if (quarter.At(x, y) != kWhite) {
                EXPECT_TRUE(x >= 5 && y < 5) << x << "," << y;
            }
    EXPECT_EQ(quarter.At(7, 2), ColorToPixel(kRed));
    // Equal ray points: the pie is the whole ellipse, the chord fills nothing.
    pie.Canvas->Pie(0, 0, 10, 10, 10, 5, 10, 5);
    EXPECT_EQ(pie.At(2, 5), ColorToPixel(kRed));
    EXPECT_EQ(pie.At(7, 7), ColorToPixel(kRed));
    EXPECT_EQ(pie.At(7, 5), kBlack);  // the line from the centre
    chord.Canvas->Chord(0, 0, 10, 10, 10, 5, 10, 5);
    EXPECT_EQ(chord.Art().find('+'), std::string::npos);
    EXPECT_EQ(chord.At(0, 5), kBlack);
    EXPECT_EQ(chord.At(5, 0), kBlack);
}

// The fill stops at the line that the outline walks between the end
// pixels, so no row shows the page between the fill and the chord's edge.
TEST(SoftShapes, AChordsFillMeetsItsStraightEdge) {
    TPad p(64, 64);
    p.Canvas->SetBrush(kRed, BrushStyleSolid);
    p.Canvas->Chord(2, 2, 62, 62, 62, 20, 2, 44);
    for (int32_t y = 0; y < 64; ++y) {
        int32_t first = 64, last = -1;
        for (int32_t x = 0; x < 64; ++x)
            if (p.At(x, y) != kWhite) first = std::min(first, x), last = x;
        for (int32_t x = first; x <= last; ++x) EXPECT_NE(p.At(x, y), kWhite) << x << "," << y;
    }
}

// Far ray points in the same directions give the same pixels: the per-pixel
// path takes over where |S|^2 no longer fits in 64 bits.
TEST(SoftShapes, FarRayPointsGiveTheSamePixels) {
    const int32_t far[] = {100000, 1 << 30};
    for (int32_t d : far) {
        TPad nearArc(24, 24), farArc(24, 24), nearPie(24, 24), farPie(24, 24);
        nearArc.Canvas->Arc(0, 0, 20, 20, 20, 13, 4, 0);
        const int32_t k = d / 10;
        farArc.Canvas->Arc(0, 0, 20, 20, 10 + 10 * k, 10 + 3 * k, 10 - 6 * k, 10 - 10 * k);
        EXPECT_EQ(farArc.Data(), nearArc.Data()) << d;
        nearPie.Canvas->Pie(0, 0, 20, 20, 20, 10, 10, 0);
        farPie.Canvas->Pie(0, 0, 20, 20, 10 + d, 10, 10, 10 - d);
        EXPECT_EQ(farPie.Data(), nearPie.Data()) << d;
    }
}

TEST(SoftShapes, Beziers) {
    TPad equal(10, 10), six(20, 20), four(20, 20), three(10, 10), clear(10, 10), beyond(20, 20), exact(20, 20);
    const TPlatformPoint same[] = {{3, 3}, {3, 3}, {3, 3}, {3, 3}};
    equal.Canvas->PolyBezier(same, 4, 3);
    EXPECT_EQ(equal.Runs(), "");
    EXPECT_EQ(equal.Canvas->PenX, 3);
    const TPlatformPoint curve[] = {{1, 1}, {18, 1}, {1, 18}, {18, 18}, {5, 5}, {9, 2}};
    six.Canvas->PolyBezier(curve, 6, 5);
    four.Canvas->PolyBezier(curve, 4, 3);
    EXPECT_EQ(six.Data(), four.Data());
    EXPECT_EQ(six.Canvas->PenX, 9);
    EXPECT_NE(four.Runs(), "");
    three.Canvas->MoveTo(7, 7);
    three.Canvas->PolyBezier(curve, 3, 2);
    EXPECT_EQ(three.Runs(), "");
    EXPECT_EQ(three.Canvas->PenX, 7);
    clear.Canvas->SetPen(0, 1, PenStyleClear);
    clear.Canvas->PolyBezier(curve, 4, 3);
    EXPECT_EQ(clear.Runs(), "");
    EXPECT_EQ(clear.Canvas->PenX, 18);
    EXPECT_EQ(clear.Canvas->PenY, 18);
    // A last index beyond the array stops at the array's last point.
    beyond.Canvas->PolyBezier(curve, 4, 1000);
    exact.Canvas->PolyBezier(curve, 4, 3);
    EXPECT_EQ(beyond.Data(), exact.Data());
    EXPECT_EQ(beyond.Canvas->PenX, 18);
}

// LastIndex was trusted: a LastIndex beyond the array read past its end.
TEST(SoftShapes, LastIndexBeyondTheArrayDrawsOnlyItsPoints) {
    TPad line(10, 10), lineExact(10, 10), poly(10, 10), polyExact(10, 10);
    const std::vector<TPlatformPoint> points{{1, 1}, {8, 1}, {8, 8}};
    line.Canvas->Polyline(points.data(), 3, INT32_MAX);
    lineExact.Canvas->Polyline(points.data(), 3, 2);
    EXPECT_EQ(line.Data(), lineExact.Data());
    poly.Canvas->Polygon(points.data(), 3, 50, true);
    polyExact.Canvas->Polygon(points.data(), 3, 2, true);
    EXPECT_EQ(poly.Data(), polyExact.Data());
    EXPECT_NE(poly.Runs(), "");
}

TEST(SoftShapes, LineToMovesEvenWhenNothingIsDrawn) {
    TPad p(8, 8);
    p.Canvas->SetRop2(RasterNop);
    p.Canvas->LineTo(5, 6);
    p.Canvas->SetRop2(RasterCopy);
    p.Canvas->SetPen(0, 1, PenStyleClear);
    p.Canvas->LineTo(6, 7);
    EXPECT_EQ(p.Runs(), "");
    EXPECT_EQ(p.Canvas->PenX, 6);
    EXPECT_EQ(p.Canvas->PenY, 7);
}

// Every slot added the origin in 32 bits: with the origin at INT32_MIN the
// sums wrapped back onto the surface.
TEST(SoftShapes, OriginSumsDoNotWrap) {
    const int32_t m = INT32_MIN;
    const TPlatformPoint points[] = {{m + 3, m + 3}, {m + 9, m + 3}, {m + 9, m + 9}, {m + 3, m + 9}};
    const std::vector<std::function<void(TSoftCanvas&)>> slots = {
        [&](TSoftCanvas& c) { c.MoveTo(m + 3, m + 3), c.LineTo(m + 9, m + 9); },
        [&](TSoftCanvas& c) { c.Rectangle(m + 3, m + 3, m + 9, m + 9); },
        [&](TSoftCanvas& c) { c.Ellipse(m + 3, m + 3, m + 9, m + 9); },
        [&](TSoftCanvas& c) { c.RoundRect(m + 3, m + 3, m + 9, m + 9, 3, 3); },
        [&](TSoftCanvas& c) { c.Pie(m + 3, m + 3, m + 9, m + 9, m + 9, m + 5, m + 5, m + 3); },
        [&](TSoftCanvas& c) { c.Polygon(points, 4, 3, true); },
        [&](TSoftCanvas& c) { c.Polyline(points, 4, 3); },
        [&](TSoftCanvas& c) { c.PolyBezier(points, 4, 3); },
        [&](TSoftCanvas& c) { c.FillRect(m + 3, m + 3, m + 9, m + 9, 0); },
        [&](TSoftCanvas& c) { c.FillRectBrush(m + 3, m + 3, m + 9, m + 9); },
        [&](TSoftCanvas& c) { c.FrameRect(m + 3, m + 3, m + 9, m + 9); },
        [&](TSoftCanvas& c) { c.DrawFocusRect(m + 3, m + 3, m + 9, m + 9); },
        [&](TSoftCanvas& c) { c.SetPixel(m + 3, m + 3, 0); },
        [&](TSoftCanvas& c) { c.FloodFill(m + 3, m + 3, 0xFFFFFF, false); },
        [&](TSoftCanvas& c) { c.TextOut(m + 3, m + 3, u"AB"); },
        [&](TSoftCanvas& c) { c.TextRect(m + 3, m + 3, m + 9, m + 9, m + 3, m + 3, u"AB", true); },
    };
    for (size_t i = 0; i < slots.size(); ++i) {
        TPad p(12, 12);
        p.Canvas->SetPen(0, i % 2 ? 3 : 1, PenStyleSolid);
        p.Canvas->SetOrigin(m, m);
        slots[i](*p.Canvas);
        EXPECT_EQ(p.Runs(), "") << "slot " << i;
        EXPECT_EQ(p.Canvas->GetPixel(m + 3, m + 3), -1) << "slot " << i;
    }
}

// ---- Pixels ---------------------------------------------------------------------------------

TEST(SoftPixels, FillRectFocusRectAndGetPixel) {
    TPad p(6, 3), alpha(2, 1, true, 0x80800000);
    p.Canvas->SetRop2(RasterXor);
    p.Canvas->FillRect(0, 2, 3, 3, kGreen);
    EXPECT_EQ(p.Art(), Lines({"......", "......", "ggg..."}));
    p.Canvas->SetBackground(0xFFFFFF, false);
    p.Canvas->DrawFocusRect(0, 0, 4, 1);
    EXPECT_EQ(p.Art().substr(0, 7), ".#.#..\n");
    p.Canvas->DrawFocusRect(0, 0, 4, 1);
    EXPECT_EQ(p.Art().substr(0, 7), "......\n");
    p.Canvas->ClipRect(0, 0, 2, 3);
    EXPECT_EQ(p.Canvas->GetPixel(3, 2), -1);
    EXPECT_EQ(p.Canvas->GetPixel(1, 2), kGreen);
    EXPECT_EQ(alpha.Canvas->GetPixel(0, 0), 255);
}

TEST(SoftPixels, FloodFillStopsAtTheClipAndWalls) {
    TPad p(10, 10);
    p.Canvas->SetBrush(kRed, BrushStyleClear);
    p.Canvas->Rectangle(1, 1, 9, 9);
    p.Canvas->SetBrush(kRed, BrushStyleSolid);
    p.Canvas->ClipRect(0, 0, 5, 10);
    p.Canvas->FloodFill(4, 4, 0xFFFFFF, false);
    EXPECT_EQ(p.Art(), Lines({"..........", ".########.", ".#+++...#.", ".#+++...#.", ".#+++...#.", ".#+++...#.",
                              ".#+++...#.", ".#+++...#.", ".########.", ".........."}));
    TPad border(10, 10);
    border.Canvas->SetBrush(kRed, BrushStyleClear);
    border.Canvas->Rectangle(1, 1, 9, 9);
    border.Canvas->SetBrush(kRed, BrushStyleSolid);
    border.Canvas->FloodFill(4, 4, 0, true);
    EXPECT_EQ(border.At(7, 7), ColorToPixel(kRed));
    EXPECT_EQ(border.At(0, 0), kWhite);
}

TEST(SoftPixels, FloodFillOfALargeArea) {
    TPad p(4096, 4096);
    p.Canvas->FloodFill(100, 100, 0xFFFFFF, false);
    EXPECT_EQ(p.At(0, 0), ColorToPixel(kRed));
    EXPECT_EQ(p.At(4095, 4095), ColorToPixel(kRed));
}

#if !defined(_WIN32)
// One-pixel corridors: the fill's stack is explicit, so a 64 KiB thread
// stack is enough.
TEST(SoftPixels, FloodFillOfAMazeOnASmallStack) {
    TPad p(2048, 2048);
    for (int32_t y = 1; y < 2048; y += 2) {
        for (int32_t x = 0; x < 2048; ++x) p.At(x, y) = kBlack;
        p.At((y / 2) % 2 ? 0 : 2047, y) = kWhite;
    }
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, 64 * 1024);
    pthread_t thread;
    ASSERT_EQ(pthread_create(&thread, &attr, [](void* arg) -> void* {
        static_cast<TSoftCanvas*>(arg)->FloodFill(0, 0, 0xFFFFFF, false);
        return nullptr;
    }, p.Canvas.Get()), 0);
    pthread_join(thread, nullptr);
    pthread_attr_destroy(&attr);
    size_t filled = 0;
    for (uint32_t v : p.Data()) filled += v == ColorToPixel(kRed);
    EXPECT_EQ(filled, size_t(2048) * 2048 - size_t(1024) * 2047);
}
#endif

// ---- Text -------------------------------------------------------------------------------------

TEST(SoftText, UprightLetterAndBackground) {
    TPad p(10, 16), grey(10, 16, false, 0xFF808080);
    p.Canvas->SetBackground(0xFFFFFF, false);
    p.Canvas->TextOut(0, 0, u"A");
    const uint8_t top[] = {249, 113, 113, 113, 113, 113, 221}, body[] = {245, 0, 0, 0, 0, 0, 194};
    for (int32_t y = 0; y < 16; ++y)
        for (int32_t x = 0; x < 10; ++x) {
            uint32_t v = 255;
            if (x < 7 && y == 3) v = top[x];
            if (x < 7 && y >= 4 && y <= 10) v = body[x];
            EXPECT_EQ(p.At(x, y), 0xFF000000u | v << 16 | v << 8 | v) << x << "," << y;
        }
    grey.Canvas->SetBackground(0xFFFFFF, true);
    grey.Canvas->TextOut(0, 0, u"A");
    EXPECT_EQ(grey.At(3, 1), 0xFF808080u);
    EXPECT_EQ(grey.At(3, 12), 0xFF808080u);
    EXPECT_EQ(grey.At(3, 5), kBlack);
    TPad opaque(10, 16, false, 0xFF808080);
    opaque.Canvas->SetBackground(0xFFFFFF, false);
    opaque.Canvas->TextOut(0, 0, u"A");
    EXPECT_EQ(opaque.At(3, 1), kWhite);
    EXPECT_EQ(opaque.At(7, 1), 0xFF808080u);
}

TEST(SoftText, BlendingRoundsAndIgnoresThePenMode) {
    TSoftGlyph half;
    half.Width = half.Height = 1;
    half.Coverage = {128};
    TPad red(1, 1), clear(1, 1, true, 0);
    red.Canvas->SetFont(u"", -12, 0, kRed);
    red.Canvas->BlendGlyph(half, 0, 0);
    EXPECT_EQ(red.At(0, 0), 0xFFFF7F7Fu);
    clear.Canvas->SetFont(u"", -12, 0, 0xFFFFFF);
    clear.Canvas->BlendGlyph(half, 0, 0);
    EXPECT_EQ(clear.At(0, 0), 0x80808080u);
    TPad xorPad(20, 16), copyPad(20, 16);
    xorPad.Canvas->SetRop2(RasterXor);
    xorPad.Canvas->TextOut(1, 1, u"AB");
    copyPad.Canvas->TextOut(1, 1, u"AB");
    EXPECT_EQ(xorPad.Data(), copyPad.Data());
}

TEST(SoftText, ExtentsAndMetrics) {
    TPad p(4, 4);
    int32_t w = -1, h = -1;
    p.Canvas->TextExtent(u"AB", w, h);
    EXPECT_EQ(w, 14);
    EXPECT_EQ(h, 13);
    p.Canvas->TextExtent(u"", w, h);
    EXPECT_EQ(w, 0);
    EXPECT_EQ(h, 13);
    int32_t m[7];
    p.Canvas->FontMetrics(m[0], m[1], m[2], m[3], m[4], m[5], m[6]);
    EXPECT_EQ(std::vector<int32_t>(m, m + 7), (std::vector<int32_t>{13, 11, 2, 1, 0, 7, 7}));
    TPad empty(4, 4);
    empty.Canvas->TextOut(0, 0, u"");
    EXPECT_EQ(empty.Canvas->Font.Get(), nullptr);
}

// At 90 degrees "AB" at (10, 50) puts the pens at (21, 50) and (21, 43).
TEST(SoftText, RotatedPenPositions) {
    TPad turned(40, 70), model(40, 70);
    turned.Canvas->SetTextAngle(900);
    turned.Canvas->TextOut(10, 50, u"AB");
    model.Canvas->SelectFont();
    TSoftFont& font = *model.Canvas->Font;
    const TRef<TSoftGlyph> a = font.GetRotatedGlyph(u'A', 900), b = font.GetRotatedGlyph(u'B', 900);
    model.Canvas->BlendGlyph(*a, 21 + a->Left, 50 + a->Top);
    model.Canvas->BlendGlyph(*b, 21 + b->Left, 43 + b->Top);
    EXPECT_EQ(turned.Data(), model.Data());
    EXPECT_NE(turned.Runs(), "");
}

TEST(SoftText, TextRectFillsAndRestoresTheClip) {
    TPad p(30, 20);
    p.Canvas->SetBackground(kGreen, true);
    p.Canvas->ClipRect(1, 1, 29, 19);
    const auto clip = p.Canvas->State.ClipRects;
    p.Canvas->TextRect(2, 2, 12, 6, 2, 2, u"AB", true);
    EXPECT_EQ(p.At(11, 2), ColorToPixel(kGreen));
    EXPECT_EQ(p.At(12, 2), kWhite);
    EXPECT_EQ(p.At(3, 6), kWhite);  // text clipped to the rectangle
    EXPECT_EQ(p.Canvas->State.ClipRects, clip);
    int32_t l, t, r, b;
    EXPECT_TRUE(p.Canvas->GetClipBox(l, t, r, b));
    EXPECT_EQ(std::vector<int32_t>({l, t, r, b}), std::vector<int32_t>({1, 1, 29, 19}));
}

namespace {

// A font that runs out of memory while measuring.
class TFailingFont : public TSoftBlockFont {
public:
    TFailingFont() : TSoftBlockFont(12) {}
    int32_t Advance(uint32_t) const override { throw System::EOutOfMemory(); }
};

} // namespace

// The saved clip was put back only on the normal path.
TEST(SoftText, TextRectRestoresTheClipWhenDrawingRaises) {
    TPad p(30, 20);
    p.Canvas->Font = MakeRef<TFailingFont>();
    EXPECT_THROW(p.Canvas->TextRect(2, 2, 12, 6, 2, 2, u"AB", false), System::EOutOfMemory);
    int32_t l, t, r, b;
    EXPECT_TRUE(p.Canvas->GetClipBox(l, t, r, b));
    EXPECT_EQ(std::vector<int32_t>({l, t, r, b}), std::vector<int32_t>({0, 0, 30, 20}));
}

// ---- Cross-build identity ------------------------------------------------------------------

namespace {

// Every slot, pen style, width class, pen mode, hatch, and upright and turned
// text on one surface.
std::string SceneDigest() {
    TPad p(256, 256, true, 0x80402010);
    TSoftCanvas& c = *p.Canvas;
    for (int32_t mode = 0; mode < 16; ++mode) {
        c.SetRop2(mode);
        c.SetPen(0x123456 * (mode + 1), mode % 4 == 3 ? 5 : 1, mode % 6);
        c.SetBrush(0x0F0F0F * mode, mode % 9);
        c.SetBackground(0x00FF80 ^ (mode * 0x10101), mode % 2 == 0);
        const int32_t x = (mode % 4) * 64, y = (mode / 4) * 64;
        c.Rectangle(x + 2, y + 2, x + 30, y + 20);
        c.Ellipse(x + 32, y + 2, x + 62, y + 28);
        c.RoundRect(x + 2, y + 30, x + 30, y + 62, 9, 7);
        c.Pie(x + 32, y + 30, x + 62, y + 62, x + 62, y + 40, x + 40, y + 30);
        c.Chord(x + 34, y + 32, x + 60, y + 60, x + 34, y + 50, x + 60, y + 50);
        c.Arc(x + 4, y + 4, x + 60, y + 60, x + 60, y + 4, x + 4, y + 60);
        c.MoveTo(x, y);
        c.LineTo(x + 63, y + 47);
    }
    c.SetRop2(RasterCopy);
    const TPlatformPoint star[] = {{128, 10}, {150, 90}, {80, 40}, {176, 40}, {106, 90}};
    for (int32_t w : {1, 3, 12, 40}) {
        c.SetPen(0x3300CC + w, w, PenStyleSolid);
        c.SetOrigin(w * 3, w * 2);
        c.Polygon(star, 5, 4, w % 2 == 0);
        c.PolyBezier(star, 5, 3);
        c.Polyline(star, 5, 4);
    }
    c.SetOrigin(0, 0);
    c.ClipExclude(100, 100, 150, 150);
    c.FillRect(90, 90, 110, 110, 0x445566);
    c.SetBrush(0x00AA00, BrushStyleDiagCross);
    c.FillRectBrush(140, 90, 170, 120);
    c.FrameRect(10, 200, 60, 240);
    c.DrawFocusRect(12, 202, 58, 238);
    c.SetPixel(5, 250, 0x0000FF);
    c.FloodFill(20, 220, c.GetPixel(20, 220), false);
    c.SetFont(u"Scene", -12, 0, 0x000080);
    c.TextOut(70, 180, u"Zyl soft AB");
    c.SetFont(u"Scene", -20, 1, 0x800000);
    c.TextRect(70, 200, 200, 230, 72, 204, u"Ostrel", true);
    c.SetTextAngle(450);
    c.TextOut(200, 250, u"Dax");
    c.SetTextAngle(-900);
    c.TextOut(240, 150, u"ABC");
    auto other = MakeRef<TSoftSurface>(8, 8, false);
    std::fill_n(reinterpret_cast<uint32_t*>(other->Bits()), 64, 0xFF11EE22u);
    c.DrawSurfaceEx(other.Get(), 0, 0, 8, 8, 230, 10, 250, 30, RopSourceCopy, 128, false);
    System::Sha2State state;
    System::HashSha2Init(state, System::Sha2_256);
    System::HashSha2Update(state, p.Surface->Bits(), size_t(256) * 256 * 4);
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (uint8_t b : System::HashSha2Final(state)) hex += std::string{digits[b >> 4], digits[b & 15]};
    return hex;
}

} // namespace

// Pins the pixels of both builds to one value: a regression guard, not a proof.
TEST(SoftScene, SameDigestOnEveryBuild) {
    EXPECT_EQ(SceneDigest(), "560d7cbb1b5cf1a5ab6f79b9d1af519cb70b86c9027758f74a967e30d2b1c3d2");
}
