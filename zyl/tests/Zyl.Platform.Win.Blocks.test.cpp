#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "Zyl.Platform.Win.Blocks.h"

using namespace Zyl;
using System::TBytes;

namespace {

// A DIB block: header fields as given, then Pixels bytes of value 0x11.
TBytes Dib(int32_t HeaderSize, int32_t Width, int32_t Height, uint16_t Bits, int32_t Compression,
           size_t PixelBytes) {
    TBytes block(size_t(std::max(HeaderSize, 40)) + PixelBytes, 0x11);
    std::memset(block.data(), 0, 40);
    std::memcpy(&block[0], &HeaderSize, 4);
    std::memcpy(&block[4], &Width, 4);
    std::memcpy(&block[8], &Height, 4);
    block[12] = 1;
    std::memcpy(&block[14], &Bits, 2);
    std::memcpy(&block[16], &Compression, 4);
    return block;
}

// The block with another header size written in its first field.
TBytes WithHeaderSize(TBytes Block, int32_t HeaderSize) {
    std::memcpy(&Block[0], &HeaderSize, 4);
    return Block;
}

TBytes Utf16Bytes(const std::u16string& Text) {
    TBytes bytes(Text.size() * 2);
    std::memcpy(bytes.data(), Text.data(), bytes.size());
    return bytes;
}

} // namespace

TEST(TextBlock, StopsAtTheFirstNulOrTheBlocksEnd) {
    const TBytes withNul = Utf16Bytes(std::u16string(u"ol\u00e1\0resto", 9));
    EXPECT_EQ(ReadTextBlock(withNul.data(), withNul.size()), u"ol\u00e1");
    const TBytes noNul = Utf16Bytes(u"sem fim");
    EXPECT_EQ(ReadTextBlock(noNul.data(), noNul.size()), u"sem fim");
    EXPECT_EQ(ReadTextBlock(noNul.data(), noNul.size() - 1), u"sem fi") << "an odd byte is no unit";
    EXPECT_EQ(ReadTextBlock(noNul.data(), 0), u"");
}

TEST(DibBlock, LayoutsOutsideWhatASurfaceTakesOrBeyondTheBlockAreRefused) {
    struct TCase {
        const char* Name;
        TBytes Block;
        bool Accepted;
    };
    const TCase cases[] = {
        {"32-bit top-down", Dib(40, 3, -2, 32, 0, 24), true},
        {"24-bit bottom-up, rows padded to 12", Dib(40, 3, 2, 24, 0, 24), true},
        {"larger header, rows after it", Dib(124, 1, 1, 32, 0, 4), true},
        {"24-bit one byte short", Dib(40, 3, 2, 24, 0, 23), false},
        {"rows beyond the block", Dib(40, 3, 100, 32, 0, 24), false},
        {"header shorter than 40", Dib(12, 1, 1, 32, 0, 40), false},
        {"header beyond the block", WithHeaderSize(Dib(40, 1, 1, 32, 0, 4), 100000), false},
        {"rows pushed past the end by the header", WithHeaderSize(Dib(40, 1, 1, 32, 0, 4), 41), false},
        {"16 bits", Dib(40, 2, 2, 16, 0, 16), false},
        {"bit fields", Dib(40, 2, 2, 32, 3, 16), false},
        {"width 0", Dib(40, 0, 2, 32, 0, 16), false},
        {"negative width", Dib(40, -2, 2, 32, 0, 16), false},
        {"height 0", Dib(40, 2, 0, 32, 0, 16), false},
        {"height -2^31", Dib(40, 2, INT32_MIN, 32, 0, 16), false},
        // width x bits wraps in 32 bits; the rows never fit.
        {"huge width", Dib(40, 0x7FFFFFFF, 1, 32, 0, 64), false},
        {"pixels beyond int32", Dib(40, 65536, 65536, 32, 0, 64), false},
    };
    for (const TCase& c : cases) {
        TDibLayout layout;
        EXPECT_EQ(ReadDibLayout(c.Block.data(), c.Block.size(), layout), c.Accepted) << c.Name;
    }
    const TBytes shortBlock = Dib(40, 1, 1, 32, 0, 4);
    TDibLayout layout;
    EXPECT_FALSE(ReadDibLayout(shortBlock.data(), 39, layout)) << "shorter than a header";
}

TEST(DibBlock, RowsComeOutTopDownOpaqueWhateverTheSourceOrder) {
    // 2 x 2, 24 bits, bottom-up: the bottom row (blue, green) comes first.
    TBytes block = Dib(40, 2, 2, 24, 0, 16);
    const uint8_t rows[16] = {255, 0, 0, 0, 255, 0, 9, 9,  // bottom: blue, green, padding
                              0, 0, 255, 10, 20, 30, 9, 9};  // top: red, (10, 20, 30)
    std::memcpy(&block[40], rows, 16);
    TDibLayout layout;
    ASSERT_TRUE(ReadDibLayout(block.data(), block.size(), layout));
    std::vector<uint8_t> pixels(2 * 12, 0xEE);  // stride 12: a spare pixel per row
    CopyDibPixels(block.data(), layout, pixels.data(), 12);
    const std::vector<uint8_t> expected = {0, 0, 255, 255, 10, 20, 30, 255, 0xEE, 0xEE, 0xEE, 0xEE,
                                           255, 0, 0, 255, 0, 255, 0, 255, 0xEE, 0xEE, 0xEE, 0xEE};
    EXPECT_EQ(pixels, expected);
}

TEST(DibBlock, WrittenBlocksAreBottomUp32BitAndReadBack) {
    // 2 x 3 pixels, stride 12 (one spare pixel per row).
    std::vector<uint8_t> bits(36);
    for (size_t i = 0; i < bits.size(); ++i) bits[i] = uint8_t(i * 7);
    const TBytes block = WriteDibBlock(bits.data(), 2, 3, 12);
    ASSERT_EQ(block.size(), 40u + 2 * 3 * 4);
    int32_t height;
    std::memcpy(&height, &block[8], 4);
    EXPECT_EQ(height, 3);
    EXPECT_EQ(block[14], 32);
    EXPECT_EQ(std::memcmp(&block[40], &bits[24], 8), 0) << "bottom row first, alpha kept";
    EXPECT_EQ(std::memcmp(&block[56], &bits[0], 8), 0);
    TDibLayout layout;
    ASSERT_TRUE(ReadDibLayout(block.data(), block.size(), layout));
    EXPECT_TRUE(layout.BottomUp);
    EXPECT_TRUE(WriteDibBlock(bits.data(), 0, 3, 12).empty());
    EXPECT_TRUE(WriteDibBlock(bits.data(), 40000, 40000, 160000).empty()) << "beyond 4 GiB";
}

TEST(DialogFilter, BarsBecomeNulsAndTwoNulsEndIt) {
    EXPECT_EQ(BuildDialogFilter(u""), u"");
    EXPECT_EQ(BuildDialogFilter(u"Imagens|*.png;*.bmp|Todos|*.*"),
              std::u16string(u"Imagens\0*.png;*.bmp\0Todos\0*.*\0\0", 31));
}

TEST(DialogSelection, OneFileOrAFolderWithNames) {
    struct TCase {
        std::u16string Buffer;
        std::u16string Result;
    };
    const TCase cases[] = {
        {std::u16string(u"C:\\Dados\\a.txt\0\0", 16), u"C:\\Dados\\a.txt"},
        {std::u16string(u"C:\\Dados\0a.txt\0b.txt\0\0", 22), u"C:\\Dados\\a.txt\nC:\\Dados\\b.txt"},
        {std::u16string(u"C:\\\0a.txt\0b.txt\0\0", 17), u"C:\\a.txt\nC:\\b.txt"},
        // Cut off without the closing NULs: the buffer's end ends it.
        {std::u16string(u"C:\\D\0a.txt\0b.t", 14), u"C:\\D\\a.txt\nC:\\D\\b.t"},
        {std::u16string(u"C:\\sem-nul", 10), u"C:\\sem-nul"},
        {std::u16string(u"\0\0", 2), u""},
    };
    for (const TCase& c : cases) {
        // A buffer of exactly these units, nothing after them.
        const std::vector<char16_t> buffer(c.Buffer.begin(), c.Buffer.end());
        EXPECT_EQ(ParseDialogSelection(buffer.data(), buffer.size()), c.Result);
    }
}
