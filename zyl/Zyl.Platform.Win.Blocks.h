// The byte layouts that the native Windows services exchange with other
// programs and with the common dialogs: clipboard text and DIB blocks, the
// dialogs' filter text and their multiple-selection answer. Everything here
// reads only the bytes it is given, so blocks that another program placed
// are read within their size. No Windows interface here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "System.Remainder.Text.h"

namespace Zyl {

// Sizes of the Windows records these layouts use.
constexpr int64_t DibHeaderSize = 40;  // BITMAPINFOHEADER

// The UTF-16 units of a CF_UNICODETEXT block up to its first NUL, or up to
// its end when it holds none (an odd last byte is not a unit).
std::u16string ReadTextBlock(const uint8_t* Data, size_t Size);

// What a CF_DIB block holds when a surface can take it: 24 or 32 bits per
// pixel, BI_RGB, no colour table beyond the header's own size.
struct TDibLayout {
    int32_t Width = 0;
    int32_t Height = 0;  // rows, always positive
    bool BottomUp = false;
    int32_t BytesPerPixel = 0;
    int64_t PixelOffset = 0;  // the header's own size
    int64_t RowBytes = 0;     // rows padded to 4 bytes
};

// False unless the header is at least 40 bytes, the width positive, the
// height not 0 (nor -2^31), 24 or 32 bits per pixel uncompressed, every row
// inside the block and Width x Height x 4 at most 2^31 - 1.
bool ReadDibLayout(const uint8_t* Data, size_t Size, TDibLayout& Layout);

// Copies the DIB's pixels into top-down rows of Stride bytes: blue, green
// and red from the source, alpha 255.
void CopyDibPixels(const uint8_t* Data, const TDibLayout& Layout, uint8_t* Dest, int64_t Stride);

// A CF_DIB block of Width x Height pixels read from top-down rows of Stride
// bytes: a 32-bit BI_RGB header, then the rows bottom row first, bytes
// unchanged. Empty when the block would pass 2^32 - 1 bytes or the size is
// not positive.
System::TBytes WriteDibBlock(const uint8_t* Bits, int32_t Width, int32_t Height, int64_t Stride);

// "text|patterns|text|patterns" as the dialogs read it: every "|" a NUL and
// one more NUL at the end; empty for an empty filter.
std::u16string BuildDialogFilter(const std::u16string& Filter);

// The file dialog's answer in a buffer of Units units: the text up to the
// first NUL, or, when a name follows that NUL, the folder's full paths of
// every name joined by line feeds. Never reads past the buffer.
std::u16string ParseDialogSelection(const char16_t* Buffer, size_t Units);

} // namespace Zyl
