#include "Zyl.Platform.Win.Blocks.h"

#include <cstring>

namespace Zyl {

namespace {

int32_t ReadInt32(const uint8_t* At) {
    uint32_t value;
    std::memcpy(&value, At, 4);
    return int32_t(value);
}

uint16_t ReadUint16(const uint8_t* At) {
    uint16_t value;
    std::memcpy(&value, At, 2);
    return value;
}

void WriteInt32(uint8_t* At, int32_t Value) { std::memcpy(At, &Value, 4); }

} // namespace

std::u16string ReadTextBlock(const uint8_t* Data, size_t Size) {
    std::u16string text;
    const size_t units = Size / 2;
    for (size_t i = 0; i < units; ++i) {
        const char16_t unit = char16_t(ReadUint16(Data + i * 2));
        if (!unit) break;
        text.push_back(unit);
    }
    return text;
}

bool ReadDibLayout(const uint8_t* Data, size_t Size, TDibLayout& Layout) {
    if (int64_t(Size) < DibHeaderSize) return false;
    const int64_t headerSize = uint32_t(ReadInt32(Data));
    const int32_t width = ReadInt32(Data + 4);
    const int32_t height = ReadInt32(Data + 8);
    const uint16_t bitCount = ReadUint16(Data + 14);
    const int32_t compression = ReadInt32(Data + 16);
    if (headerSize < DibHeaderSize || width <= 0 || height == 0 || height == INT32_MIN) return false;
    if ((bitCount != 24 && bitCount != 32) || compression != 0) return false;
    const int64_t rows = height < 0 ? -int64_t(height) : height;
    if (int64_t(width) * rows > INT32_MAX / 4) return false;
    const int64_t rowBytes = (int64_t(width) * bitCount + 31) / 32 * 4;
    if (headerSize > int64_t(Size) || rowBytes * rows > int64_t(Size) - headerSize) return false;
    Layout.Width = width;
    Layout.Height = int32_t(rows);
    Layout.BottomUp = height > 0;
    Layout.BytesPerPixel = bitCount / 8;
    Layout.PixelOffset = headerSize;
    Layout.RowBytes = rowBytes;
    return true;
}

void CopyDibPixels(const uint8_t* Data, const TDibLayout& Layout, uint8_t* Dest, int64_t Stride) {
    for (int32_t r = 0; r < Layout.Height; ++r) {
        const int64_t sourceRow = Layout.BottomUp ? Layout.Height - 1 - r : r;
        const uint8_t* from = Data + Layout.PixelOffset + sourceRow * Layout.RowBytes;
        uint8_t* to = Dest + r * Stride;
        for (int32_t x = 0; x < Layout.Width; ++x, from += Layout.BytesPerPixel, to += 4) {
            to[0] = from[0];
            to[1] = from[1];
            to[2] = from[2];
            to[3] = 255;
        }
    }
}

System::TBytes WriteDibBlock(const uint8_t* Bits, int32_t Width, int32_t Height, int64_t Stride) {
    if (Width <= 0 || Height <= 0) return {};
    const int64_t rowBytes = int64_t(Width) * 4;
    const int64_t size = DibHeaderSize + rowBytes * Height;
    if (size > int64_t(UINT32_MAX)) return {};
    System::TBytes block(size_t(size), 0);
    WriteInt32(&block[0], int32_t(DibHeaderSize));
    WriteInt32(&block[4], Width);
    WriteInt32(&block[8], Height);  // positive: bottom row first
    block[12] = 1;                  // planes
    block[14] = 32;                 // bits per pixel; compression 0 = BI_RGB
    for (int32_t r = 0; r < Height; ++r)
        std::memcpy(&block[size_t(DibHeaderSize + r * rowBytes)], Bits + int64_t(Height - 1 - r) * Stride,
                    size_t(rowBytes));
    return block;
}

std::u16string BuildDialogFilter(const std::u16string& Filter) {
    if (Filter.empty()) return {};
    std::u16string result = Filter;
    for (char16_t& unit : result)
        if (unit == u'|') unit = 0;
    // Both closing NULs belong to the text, so that its length alone says
    // where the filter ends.
    result.push_back(0);
    result.push_back(0);
    return result;
}

std::u16string ParseDialogSelection(const char16_t* Buffer, size_t Units) {
    // Positions are counted, not pointed at: the one after the last NUL may
    // lie past the buffer.
    const auto unitsFrom = [&](size_t start) {
        size_t stop = start;
        while (stop < Units && Buffer[stop]) ++stop;
        return std::u16string(Buffer + start, Buffer + stop);
    };
    const std::u16string first = unitsFrom(0);
    size_t next = first.size() + 1;
    if (next >= Units || !Buffer[next]) return first;
    const bool endsWithSeparator = !first.empty() && first.back() == u'\\';
    std::u16string joined;
    while (next < Units && Buffer[next]) {
        const std::u16string name = unitsFrom(next);
        if (!joined.empty()) joined.push_back(u'\n');
        joined += first;
        if (!endsWithSeparator) joined.push_back(u'\\');
        joined += name;
        next += name.size() + 1;
    }
    return joined;
}

} // namespace Zyl
