#include "Zyl.Test.Png.h"

#include <zlib.h>

#include <cstdlib>
#include <stdexcept>

namespace Zyl::Testing {

namespace {

void PutBigEndian32(TBytes& to, uint32_t v) {
    to.insert(to.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)});
}

uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

} // namespace

void Append(TBytes& to, const TBytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

TBytes PngSignature() { return {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A}; }

TBytes PngChunk(std::string_view type, const TBytes& data, bool rightCrc) {
    TBytes chunk;
    PutBigEndian32(chunk, uint32_t(data.size()));
    chunk.insert(chunk.end(), type.begin(), type.end());
    Append(chunk, data);
    const uint32_t crc = uint32_t(crc32(0, chunk.data() + 4, uInt(chunk.size() - 4)));
    PutBigEndian32(chunk, rightCrc ? crc : ~crc);
    return chunk;
}

TBytes IhdrData(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType, uint8_t interlace) {
    TBytes data;
    PutBigEndian32(data, width);
    PutBigEndian32(data, height);
    data.insert(data.end(), {depth, colourType, 0, 0, interlace});
    return data;
}

TBytes FilterRows(const std::vector<TBytes>& rows, int distance, const std::vector<uint8_t>& filters) {
    TBytes out;
    const TBytes* above = nullptr;
    for (size_t y = 0; y < rows.size(); ++y) {
        const TBytes& row = rows[y];
        const uint8_t filter = filters[y % filters.size()];
        out.push_back(filter);
        for (size_t i = 0; i < row.size(); ++i) {
            const int a = i >= size_t(distance) ? row[i - distance] : 0;
            const int b = above ? (*above)[i] : 0;
            const int c = above && i >= size_t(distance) ? (*above)[i - distance] : 0;
            int predictor = 0;
            switch (filter) {
            case 1: predictor = a; break;
            case 2: predictor = b; break;
            case 3: predictor = (a + b) / 2; break;
            case 4: predictor = Paeth(a, b, c); break;
            default: break;
            }
            out.push_back(uint8_t(row[i] - predictor));
        }
        above = &row;
    }
    return out;
}

TBytes ZlibCompress(const TBytes& data, int level) {
    uLongf size = compressBound(uLong(data.size()));
    TBytes out(size);
    if (compress2(out.data(), &size, data.data(), uLong(data.size()), level) != Z_OK)
        throw std::runtime_error("compress2 failed");
    out.resize(size);
    return out;
}

int FilterDistance(uint8_t depth, uint8_t colourType) {
    static const int samples[7] = {1, 0, 3, 1, 2, 0, 4};
    const int bits = samples[colourType % 7] * depth;
    return bits < 8 ? 1 : bits / 8;
}

TBytes MakePng(const TPngImage& image) {
    TBytes file = PngSignature();
    Append(file, PngChunk("IHDR", IhdrData(image.Width, image.Height, image.Depth, image.ColourType)));
    if (!image.Palette.empty()) Append(file, PngChunk("PLTE", image.Palette));
    if (!image.Transparency.empty()) Append(file, PngChunk("tRNS", image.Transparency));
    const TBytes filtered = FilterRows(image.Rows, FilterDistance(image.Depth, image.ColourType), image.Filters);
    Append(file, PngChunk("IDAT", ZlibCompress(filtered)));
    Append(file, PngChunk("IEND", {}));
    return file;
}

} // namespace Zyl::Testing
