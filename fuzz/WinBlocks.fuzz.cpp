// The clipboard and dialog blocks on any bytes: the readers stay inside the
// block (the sanitizers watch), an accepted DIB fits its block, and a block
// written from pixels reads back as the same colours, opaque.
//
// Input: byte 0 picks the check; the rest is the block, or for the round
// trip a width byte, a height byte and the pixels.
#include <cstring>
#include <vector>

#include "KsFuzz.h"
#include "Zyl.Platform.Win.Blocks.h"

using namespace Zyl;

namespace {

void ReadAnyDib(std::span<const uint8_t> block) {
    // An exact copy, so that any read past the block is one past an allocation.
    const std::vector<uint8_t> bytes(block.begin(), block.end());
    TDibLayout layout;
    if (!ReadDibLayout(bytes.data(), bytes.size(), layout)) return;
    KS_FUZZ_CHECK(layout.Width > 0 && layout.Height > 0);
    KS_FUZZ_CHECK(layout.PixelOffset + layout.RowBytes * layout.Height <= int64_t(bytes.size()));
    std::vector<uint8_t> pixels(size_t(layout.Width) * layout.Height * 4);
    CopyDibPixels(bytes.data(), layout, pixels.data(), int64_t(layout.Width) * 4);
    for (size_t i = 3; i < pixels.size(); i += 4) KS_FUZZ_CHECK(pixels[i] == 255);
}

void RoundTrip(std::span<const uint8_t> data) {
    if (data.size() < 3) return;
    const int32_t width = data[0] % 16 + 1, height = data[1] % 16 + 1;
    std::vector<uint8_t> bits(size_t(width) * height * 4);
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = data[2 + i % (data.size() - 2)];
    const System::TBytes block = WriteDibBlock(bits.data(), width, height, int64_t(width) * 4);
    TDibLayout layout;
    KS_FUZZ_CHECK(ReadDibLayout(block.data(), block.size(), layout));
    KS_FUZZ_CHECK(layout.Width == width && layout.Height == height);
    std::vector<uint8_t> back(bits.size());
    CopyDibPixels(block.data(), layout, back.data(), int64_t(width) * 4);
    for (size_t i = 0; i < bits.size(); ++i) KS_FUZZ_CHECK(back[i] == (i % 4 == 3 ? 255 : bits[i]));
}

void Selection(std::span<const uint8_t> data) {
    const std::u16string units = KsFuzz::Units(data);
    const std::vector<char16_t> buffer(units.begin(), units.end());
    const std::u16string result = ParseDialogSelection(buffer.data(), buffer.size());
    KS_FUZZ_CHECK(result.find(char16_t(0)) == std::u16string::npos);
    const std::u16string filter = BuildDialogFilter(units);
    KS_FUZZ_CHECK(units.empty() ? filter.empty() : filter.size() == units.size() + 2);
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    if (data.empty()) return;
    const std::span<const uint8_t> rest = data.subspan(1);
    switch (data[0] % 4) {
        case 0: {
            const std::vector<uint8_t> bytes(rest.begin(), rest.end());
            const std::u16string text = ReadTextBlock(bytes.data(), bytes.size());
            KS_FUZZ_CHECK(text.size() <= bytes.size() / 2);
            KS_FUZZ_CHECK(text.find(char16_t(0)) == std::u16string::npos);
            break;
        }
        case 1: ReadAnyDib(rest); break;
        case 2: RoundTrip(rest); break;
        case 3: Selection(rest); break;
    }
}
