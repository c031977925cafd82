// PNG files made for tests and fuzzers: chunks with a right or a wrong CRC,
// rows run through any filter, image data compressed by zlib itself.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "System.Remainder.Text.h"

namespace Zyl::Testing {

using System::TBytes;

// The eight signature bytes.
TBytes PngSignature();

// One chunk; a wrong CRC is the right one with every bit flipped.
TBytes PngChunk(std::string_view type, const TBytes& data, bool rightCrc = true);

// The 13 data bytes of an IHDR chunk.
TBytes IhdrData(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, uint8_t interlace = 0);

// Rows of raw pixel bytes, each preceded by its filter byte and filtered by
// it; `distance` is the bytes per pixel rounded up (1 for packed pixels).
// Row y takes filters[y % filters.size()]; types above 4 store the row as is.
TBytes FilterRows(const std::vector<TBytes>& rows, int distance, const std::vector<uint8_t>& filters);

// zlib's own compression in the zlib format.
TBytes ZlibCompress(const TBytes& data, int level = -1);

// The bytes per pixel rounded up, as the filters count them.
int FilterDistance(uint8_t depth, uint8_t colourType);

// A whole file: IHDR, PLTE and tRNS when given (not empty), one IDAT of the
// filtered rows, IEND.
struct TPngImage {
    uint32_t Width = 1;
    uint32_t Height = 1;
    uint8_t Depth = 8;
    uint8_t ColourType = 6;
    std::vector<TBytes> Rows;
    std::vector<uint8_t> Filters{0};
    TBytes Palette;
    TBytes Transparency;
};
TBytes MakePng(const TPngImage& image);

// Appends bytes to a file under construction.
void Append(TBytes& to, const TBytes& bytes);

} // namespace Zyl::Testing
