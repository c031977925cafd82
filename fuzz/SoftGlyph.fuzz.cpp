// The glyph rasterizer on random outlines. Any outline under any scale and
// rotation gives a glyph of at most 4096 x 4096 whose coverage has one byte
// per pixel, and raises only EDivByZero, only for 0 units per em. Unions of
// integer boxes drawn one unit a pixel match a boolean model exactly. The
// glyph cache returns the glyph it made first for every repeated code.
//
// Input: byte 0 picks the mode. Boxes: groups of four bytes (left, top,
// width, height, small signed numbers). Raw: em size, units per em and angle
// as 32-bit values, then commands, each a byte followed by its points as
// 32-bit values. Cache: a list of 16-bit codes.
#include <algorithm>
#include <cstring>
#include <map>
#include <vector>

#include "KsFuzz.h"
#include "System.Remainder.Exceptions.h"
#include "Zyl.Platform.Soft.Text.h"

using namespace Zyl;

namespace {

using TReader = KsFuzz::TByteReader;

void CheckShape(const TSoftGlyph& g) {
    KS_FUZZ_CHECK(g.Width >= 0 && g.Width <= 4096 && g.Height >= 0 && g.Height <= 4096);
    KS_FUZZ_CHECK((g.Width == 0) == (g.Height == 0));
    KS_FUZZ_CHECK(g.Coverage.size() == size_t(g.Width) * size_t(g.Height));
}

void FuzzBoxes(TReader& in) {
    struct TBox { int x0, y0, x1, y1; };
    std::vector<TBox> boxes;
    TSoftOutline outline;
    while (in.More() && boxes.size() < 16) {
        const int x = int8_t(in.Byte()) / 2, y = int8_t(in.Byte()) / 2;
        const int w = in.Byte() % 40 + 1, h = in.Byte() % 40 + 1;
        boxes.push_back({x, y, x + w, y + h});
        outline.MoveTo(x, y);
        outline.LineTo(x, y + h);
        outline.LineTo(x + w, y + h);
        outline.LineTo(x + w, y);
        outline.Close();
    }
    if (boxes.empty()) return;
    auto g = RasterizeOutline(outline, 1000, 1000, 0, 65536);
    CheckShape(*g);
    int minX = INT32_MAX, maxX = INT32_MIN, minY = INT32_MAX, maxY = INT32_MIN;
    for (const TBox& b : boxes) {
        minX = std::min(minX, b.x0);
        maxX = std::max(maxX, b.x1);
        minY = std::min(minY, b.y0);
        maxY = std::max(maxY, b.y1);
    }
    // Design y grows upwards; glyph rows grow downwards.
    KS_FUZZ_CHECK(g->Left == minX && g->Width == maxX - minX);
    KS_FUZZ_CHECK(g->Top == -maxY && g->Height == maxY - minY);
    for (int row = 0; row < g->Height; ++row) {
        for (int col = 0; col < g->Width; ++col) {
            const int x = g->Left + col, y = -(g->Top + row) - 1;
            const bool inside = std::any_of(boxes.begin(), boxes.end(), [&](const TBox& b) {
                return x >= b.x0 && x < b.x1 && y >= b.y0 && y < b.y1;
            });
            KS_FUZZ_CHECK(g->Coverage[size_t(row * g->Width + col)] == (inside ? 255 : 0));
        }
    }
}

void FuzzRaw(TReader& in) {
    const int32_t em = in.Int32(), unitsPerEm = in.Int32(), angle = in.Int32();
    TSoftOutline outline;
    while (in.More() && outline.CommandCount < 64) {
        const uint8_t command = in.Byte() % 6;
        const int points = command <= 1 ? 1 : command == 2 ? 2 : command == 3 ? 3 : 0;
        const uint8_t small = in.Byte();
        for (int i = 0; i < points; ++i) {
            // Mostly small coordinates, sometimes extreme ones.
            const int32_t x = (small & 1) ? in.Int32() : int8_t(in.Byte());
            const int32_t y = (small & 2) ? in.Int32() : int8_t(in.Byte());
            outline.Coords.push_back(x);
            outline.Coords.push_back(y);
            outline.CoordCount += 2;
        }
        outline.Append(command == 5 ? 7 : command, {});
    }
    const bool rotated = angle % 7 != 0;
    const bool hasPoints = outline.CoordCount >= 2 && outline.CommandCount > 0;
    try {
        auto g = RasterizeOutline(outline, em, unitsPerEm, rotated ? SoftSine(angle) : 0,
                                  rotated ? SoftCosine(angle) : 65536);
        KS_FUZZ_CHECK(unitsPerEm != 0 || !hasPoints);
        CheckShape(*g);
    } catch (const System::EDivByZero&) {
        KS_FUZZ_CHECK(unitsPerEm == 0 && hasPoints);
    }
}

void FuzzCache(TReader& in) {
    TSoftBlockFont font(int32_t(in.Byte() % 64));
    std::map<uint32_t, TSoftGlyph*> made;
    while (in.More()) {
        const uint32_t code = uint32_t(in.Byte()) | uint32_t(in.Byte()) << 8;
        auto g = font.GetGlyph(code);
        CheckShape(*g);
        KS_FUZZ_CHECK((g->Width == 0) == (code <= 32));
        auto [it, fresh] = made.emplace(code, g.Get());
        KS_FUZZ_CHECK(fresh || it->second == g.Get());
        KS_FUZZ_CHECK(font.GlyphCount == int32_t(made.size()));
        KS_FUZZ_CHECK(font.GlyphKeys.size() >= 2 * made.size());
    }
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    TReader in(data);
    switch (in.Byte() % 3) {
    case 0: FuzzBoxes(in); break;
    case 1: FuzzRaw(in); break;
    default: FuzzCache(in); break;
    }
}
