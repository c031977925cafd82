// FloodFillPixels against a breadth-first model: the filled pixels are
// exactly the 4-connected fillable pixels of the clip list reachable from the
// seed, each painted by the brush rule, and nothing else changes.
//
// Input: width and height (1..48), seed x and y, a flags byte (fill mode,
// transparent background), the brush style, up to three clip rectangles
// (a count byte, then four bytes each), then one byte per pixel picking one
// of four colours (the rest repeat).
#include <array>
#include <deque>
#include <vector>

#include "KsFuzz.h"
#include "Zyl.Platform.Soft.Pixels.h"

using namespace Zyl;

namespace {

constexpr std::array<uint32_t, 4> kPalette = {0xFFFFFFFF, 0xFF000000, 0x80102030, 0xFF102030};

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    size_t at = 0;
    auto next = [&]() -> uint8_t { return at < data.size() ? data[at++] : 0; };
    const int32_t width = next() % 48 + 1, height = next() % 48 + 1;
    const int32_t seedX = int32_t(next()) - 4, seedY = int32_t(next()) % 56 - 4;
    const uint8_t flags = next();
    const int32_t style = next() % 10;
    const bool toBorder = flags & 1, backTransparent = flags & 2;
    const int32_t color = (flags & 4) ? 0x302010 : (flags & 8) ? 0x000000 : 0xFFFFFF;

    std::vector<int32_t> clipValues;
    const int clipCount = next() % 4;
    for (int i = 0; i < clipCount; ++i)
        for (int k = 0; k < 4; ++k) clipValues.push_back(int32_t(int8_t(next())));
    const TClipRectArray clip = std::make_shared<const std::vector<int32_t>>(clipValues);

    std::vector<uint32_t> pixels(size_t(width) * size_t(height));
    const size_t paletteStart = at;
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = kPalette[(paletteStart + i < data.size() ? data[paletteStart + i] : uint8_t(i * 7 / 5)) & 3];
    std::vector<uint32_t> expected = pixels;

    // The model.
    auto fillable = [&](int32_t x, int32_t y) {
        return ((pixels[size_t(y * width + x)] & 0xFFFFFF) == ColorToRgb(color)) != toBorder;
    };
    auto visible = [&](int32_t x, int32_t y) { return ClipRectsContain(clip, clipCount, x, y); };
    const uint32_t brush = 0xFF0000FF, back = 0xFF00FF00;
    const std::array<uint8_t, 8> pattern = style >= 8 ? std::array<uint8_t, 8>{} : HatchPattern(style);
    if (seedX >= 0 && seedX < width && seedY >= 0 && seedY < height && visible(seedX, seedY) && fillable(seedX, seedY)) {
        std::vector<bool> seen(pixels.size());
        std::deque<std::pair<int32_t, int32_t>> queue{{seedX, seedY}};
        seen[size_t(seedY * width + seedX)] = true;
        while (!queue.empty()) {
            auto [x, y] = queue.front();
            queue.pop_front();
            uint32_t& p = expected[size_t(y * width + x)];
            if (style < 2 || (pattern[size_t(y & 7)] >> (x & 7) & 1)) p = brush;
            else if (!backTransparent) p = back;
            for (auto [nx, ny] : {std::pair{x - 1, y}, {x + 1, y}, {x, y - 1}, {x, y + 1}}) {
                if (nx < 0 || nx >= width || ny < 0 || ny >= height || seen[size_t(ny * width + nx)]) continue;
                if (!visible(nx, ny) || !fillable(nx, ny)) continue;
                seen[size_t(ny * width + nx)] = true;
                queue.push_back({nx, ny});
            }
        }
    }

    FloodFillPixels(reinterpret_cast<uint8_t*>(pixels.data()), 4 * width, width, height, clip, clipCount, seedX, seedY,
                    color, toBorder, 0xFF0000, style, 0x00FF00, backTransparent);
    KS_FUZZ_CHECK(pixels == expected);
}
