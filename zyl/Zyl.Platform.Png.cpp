#include "Zyl.Platform.Png.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "System.Compress.Zlib.h"

using System::TBytes;
using System::TRef;

namespace Zyl {

namespace {

constexpr uint8_t kSignature[8] = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};

constexpr uint32_t ChunkType(const char (&name)[5]) {
    return uint32_t(uint8_t(name[0])) << 24 | uint32_t(uint8_t(name[1])) << 16 | uint32_t(uint8_t(name[2])) << 8 |
           uint32_t(uint8_t(name[3]));
}

constexpr uint32_t kIhdr = ChunkType("IHDR");
constexpr uint32_t kPlte = ChunkType("PLTE");
constexpr uint32_t kTrns = ChunkType("tRNS");
constexpr uint32_t kIdat = ChunkType("IDAT");
constexpr uint32_t kIend = ChunkType("IEND");

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

void PutBigEndian32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// Reflected polynomial 0xEDB88320, the table of PNG and ISO 3309.
const std::array<uint32_t, 256>& CrcTable() {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

uint32_t Adler32(const TBytes& bytes) {
    constexpr uint32_t kBase = 65521;
    // The most bytes whose sums cannot pass 32 bits before the next reduction.
    constexpr size_t kRun = 5552;
    uint32_t a = 1, b = 0;
    for (size_t start = 0; start < bytes.size(); start += kRun) {
        const size_t end = std::min(bytes.size(), start + kRun);
        for (size_t i = start; i < end; ++i) {
            a += bytes[i];
            b += a;
        }
        a %= kBase;
        b %= kBase;
    }
    return b << 16 | a;
}

// What the chunk walk collects of one file.
struct TPngChunks {
    int32_t Width = 0;
    int32_t Height = 0;
    uint8_t BitDepth = 0;
    uint8_t ColourType = 0;
    uint8_t Interlace = 0;
    std::array<uint8_t, 768> Palette{};
    int32_t PaletteCount = 0;
    std::array<uint8_t, 768> Transparency{};
    int32_t TransparencyCount = 0;
    TBytes Compressed;
};

// False when a chunk does not fit the data or cannot be read; a walk that
// runs out of whole chunks without IEND ends normally.
bool WalkChunks(const uint8_t* data, int32_t size, TPngChunks& chunks) {
    chunks.Compressed.reserve(size_t(size));
    int32_t position = 8;
    while (size - position >= 12) {
        const uint32_t length = BigEndian32(data + position);
        // Compared against what remains, so a huge length cannot wrap the sum.
        if (length > uint32_t(INT32_MAX) || length > uint32_t(size - position - 12)) return false;
        const uint32_t type = BigEndian32(data + position + 4);
        const uint8_t* body = data + position + 8;
        if (type == kIhdr) {
            if (length < 13) return false;
            chunks.Width = int32_t(BigEndian32(body));
            chunks.Height = int32_t(BigEndian32(body + 4));
            chunks.BitDepth = body[8];
            chunks.ColourType = body[9];
            chunks.Interlace = body[12];
        } else if (type == kPlte) {
            chunks.PaletteCount = int32_t(std::min<uint32_t>(length / 3, 256));
            std::memcpy(chunks.Palette.data(), body, size_t(chunks.PaletteCount) * 3);
        } else if (type == kTrns) {
            chunks.TransparencyCount = int32_t(std::min<uint32_t>(length, 768));
            std::memcpy(chunks.Transparency.data(), body, size_t(chunks.TransparencyCount));
        } else if (type == kIdat) {
            chunks.Compressed.insert(chunks.Compressed.end(), body, body + length);
        } else if (type == kIend) {
            break;
        }
        position += int32_t(length) + 12;
    }
    return true;
}

// Samples per pixel by colour type; 0 marks a type that does not exist.
constexpr int kSamples[7] = {1, 0, 3, 1, 2, 0, 4};

// The bit depths each colour type allows, as a set of bits (1 << depth).
constexpr uint32_t kDepths[7] = {1u << 1 | 1u << 2 | 1u << 4 | 1u << 8 | 1u << 16, 0, 1u << 8 | 1u << 16,
                                 1u << 1 | 1u << 2 | 1u << 4 | 1u << 8, 1u << 8 | 1u << 16, 0,
                                 1u << 8 | 1u << 16};

// Sizes of the decompressed image, checked to fit int32 arithmetic.
struct TRowLayout {
    int32_t RowBytes = 0;   // data bytes of one row, after its filter byte
    int32_t Distance = 0;   // bytes to the left neighbour in the filters
    int32_t ImageBytes = 0; // (row bytes + 1) x height
};

// a x b + extra stays within int32, for a, b >= 0 and extra in 0..INT32_MAX.
bool ProductFits(int64_t a, int64_t b, int64_t extra) {
    return b == 0 || a <= (int64_t(INT32_MAX) - extra) / b;
}

bool PlanRows(const TPngChunks& chunks, TRowLayout& layout) {
    const int type = chunks.ColourType;
    if (chunks.Width <= 0 || chunks.Height <= 0 || chunks.Compressed.empty() || chunks.Interlace != 0) return false;
    if (type > 6 || chunks.BitDepth > 16 || !(kDepths[type] >> chunks.BitDepth & 1)) return false;
    const int64_t bitsPerPixel = int64_t(kSamples[type]) * chunks.BitDepth;
    const int64_t rowBytes = (bitsPerPixel * chunks.Width + 7) / 8;
    // The inflate limit adds 64 bytes to the image.
    if (!ProductFits(rowBytes + 1, chunks.Height, 64) || !SurfaceSizeAllowed(chunks.Width, chunks.Height))
        return false;
    layout.RowBytes = int32_t(rowBytes);
    layout.Distance = int32_t((bitsPerPixel + 7) / 8);
    layout.ImageBytes = int32_t((rowBytes + 1) * chunks.Height);
    return true;
}

uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return uint8_t(a);
    return uint8_t(pb <= pc ? b : c);
}

// Undoes the row filters in place; rows of an unknown filter stay as stored.
void Unfilter(uint8_t* image, const TRowLayout& layout, int32_t height) {
    const int32_t n = layout.RowBytes, d = layout.Distance;
    const int32_t pitch = n + 1;
    for (int32_t y = 0; y < height; ++y) {
        uint8_t* row = image + int64_t(y) * pitch + 1;
        const uint8_t* above = y > 0 ? row - pitch : nullptr;
        const auto left = [&](int32_t i) { return i >= d ? int(row[i - d]) : 0; };
        const auto up = [&](int32_t i) { return above ? int(above[i]) : 0; };
        switch (row[-1]) {
        case 1:
            for (int32_t i = d; i < n; ++i) row[i] = uint8_t(row[i] + row[i - d]);
            break;
        case 2:
            if (above)
                for (int32_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + above[i]);
            break;
        case 3:
            for (int32_t i = 0; i < n; ++i) row[i] = uint8_t(row[i] + (left(i) + up(i)) / 2);
            break;
        case 4:
            for (int32_t i = 0; i < n; ++i)
                row[i] = uint8_t(row[i] + Paeth(left(i), up(i), i >= d && above ? above[i - d] : 0));
            break;
        default:
            break;
        }
    }
}

// Turns unfiltered rows into surface pixels.
class TPixelConverter {
public:
    explicit TPixelConverter(const TPngChunks& chunks)
        : chunks_(chunks), depth_(chunks.BitDepth), samples_(kSamples[chunks.ColourType]) {
        const uint8_t* t = chunks.Transparency.data();
        if (chunks.ColourType == 0 && chunks.TransparencyCount >= 2) {
            keyed_ = true;
            key_[0] = key_[1] = key_[2] = uint32_t(t[0]) << 8 | t[1];
        } else if (chunks.ColourType == 2 && chunks.TransparencyCount >= 6) {
            keyed_ = true;
            for (int k = 0; k < 3; ++k) key_[k] = uint32_t(t[2 * k]) << 8 | t[2 * k + 1];
        }
        const int type = chunks.ColourType;
        hasAlpha_ = type == 4 || type == 6 || (type == 3 && chunks.TransparencyCount > 0) || keyed_;
    }

    bool HasAlpha() const { return hasAlpha_; }

    void ConvertRow(const uint8_t* row, int32_t width, uint8_t* out) const {
        for (int32_t x = 0; x < width; ++x, out += 4) {
            uint8_t r, g, b, a;
            Pixel(row, x, r, g, b, a);
            if (hasAlpha_) {
                r = Premultiply(r, a);
                g = Premultiply(g, a);
                b = Premultiply(b, a);
            } else {
                a = 255;
            }
            out[0] = b;
            out[1] = g;
            out[2] = r;
            out[3] = a;
        }
    }

private:
    // Sample k of pixel x as stored: packed samples most significant bits first.
    uint32_t Sample(const uint8_t* row, int32_t x, int k) const {
        const int64_t index = int64_t(x) * samples_ + k;
        if (depth_ == 8) return row[index];
        if (depth_ == 16) return uint32_t(row[2 * index]) << 8 | row[2 * index + 1];
        const int64_t bit = index * depth_;
        return uint32_t(row[bit / 8] >> (8 - bit % 8 - depth_)) & ((1u << depth_) - 1);
    }

    // A sample as an 8-bit value: the high byte of 16 bits, packed ones scaled.
    uint8_t Byte(uint32_t sample) const {
        if (depth_ == 16) return uint8_t(sample >> 8);
        if (depth_ == 8) return uint8_t(sample);
        return uint8_t(sample * 255 / ((1u << depth_) - 1));
    }

    void Pixel(const uint8_t* row, int32_t x, uint8_t& r, uint8_t& g, uint8_t& b, uint8_t& a) const {
        switch (chunks_.ColourType) {
        case 0: {
            const uint32_t v = Sample(row, x, 0);
            r = g = b = Byte(v);
            a = keyed_ && v == key_[0] ? 0 : 255;
            break;
        }
        case 2: {
            const uint32_t sr = Sample(row, x, 0), sg = Sample(row, x, 1), sb = Sample(row, x, 2);
            r = Byte(sr);
            g = Byte(sg);
            b = Byte(sb);
            a = keyed_ && sr == key_[0] && sg == key_[1] && sb == key_[2] ? 0 : 255;
            break;
        }
        case 3: {
            uint32_t i = Sample(row, x, 0);
            if (i >= uint32_t(chunks_.PaletteCount)) i = 0;
            r = chunks_.Palette[3 * i];
            g = chunks_.Palette[3 * i + 1];
            b = chunks_.Palette[3 * i + 2];
            a = i < uint32_t(chunks_.TransparencyCount) ? chunks_.Transparency[i] : 255;
            break;
        }
        case 4:
            r = g = b = Byte(Sample(row, x, 0));
            a = Byte(Sample(row, x, 1));
            break;
        default:
            r = Byte(Sample(row, x, 0));
            g = Byte(Sample(row, x, 1));
            b = Byte(Sample(row, x, 2));
            a = Byte(Sample(row, x, 3));
            break;
        }
    }

    const TPngChunks& chunks_;
    int depth_;
    int samples_;
    bool keyed_ = false;
    uint32_t key_[3] = {};
    bool hasAlpha_ = false;
};

// The unfiltered image, or empty when the stream is damaged or too short.
TBytes InflateImage(const TPngChunks& chunks, const TRowLayout& layout) {
    TBytes image;
    try {
        image = System::InflateBytes(chunks.Compressed, 15, int64_t(layout.ImageBytes) + 64);
    } catch (...) {
        return {};
    }
    if (image.size() < size_t(layout.ImageBytes)) return {};
    Unfilter(image.data(), layout, chunks.Height);
    return image;
}

} // namespace

bool SurfaceSizeAllowed(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && ProductFits(width * 4, height, 0);
}

TRef<TPlatformSurface> CreatePixelSurface(TPlatformServices& services, int32_t width, int32_t height,
                                          bool hasAlpha) {
    TRef<TPlatformSurface> surface = services.CreateSurface(width, height, hasAlpha);
    if (!surface || !surface->Bits() || surface->Width() != width || surface->Height() != height ||
        surface->Stride() < int64_t(width) * 4)
        return nullptr;
    return surface;
}

TRef<TPlatformSurface> DecodePng(const uint8_t* data, int32_t size, TPlatformServices& services) {
    if (!data || size < 33 || std::memcmp(data, kSignature, 4) != 0) return nullptr;
    TPngChunks chunks;
    TRowLayout layout;
    if (!WalkChunks(data, size, chunks) || !PlanRows(chunks, layout)) return nullptr;
    const TBytes image = InflateImage(chunks, layout);
    if (image.empty()) return nullptr;
    chunks.Compressed = TBytes();

    const TPixelConverter converter(chunks);
    TRef<TPlatformSurface> surface = CreatePixelSurface(services, chunks.Width, chunks.Height, converter.HasAlpha());
    if (!surface) return nullptr;
    uint8_t* const bits = static_cast<uint8_t*>(surface->Bits());
    const int64_t stride = surface->Stride();
    for (int32_t y = 0; y < chunks.Height; ++y)
        converter.ConvertRow(image.data() + int64_t(y) * (layout.RowBytes + 1) + 1, chunks.Width, bits + stride * y);
    surface->FinishDrawing();
    return surface;
}

TRef<TPlatformSurface> DecodePng(const uint8_t* data, int32_t size) {
    TPlatformServices* services = CurrentPlatformServices();
    if (!services) return nullptr;
    return DecodePng(data, size, *services);
}

uint8_t* WritePngChunk(uint8_t* dest, uint32_t type, const uint8_t* data, uint32_t length) {
    PutBigEndian32(dest, length);
    PutBigEndian32(dest + 4, type);
    if (length > 0) std::memcpy(dest + 8, data, length);
    const std::array<uint32_t, 256>& table = CrcTable();
    uint32_t crc = 0xFFFFFFFFu;
    for (const uint8_t* p = dest + 4; p < dest + 8 + length; ++p) crc = table[(crc ^ *p) & 0xFF] ^ (crc >> 8);
    PutBigEndian32(dest + 8 + length, ~crc);
    return dest + 8 + length + 4;
}

TBytes EncodePng(TPlatformSurface* surface) {
    if (!surface) return {};
    const int32_t width = surface->Width(), height = surface->Height();
    const bool hasAlpha = surface->HasAlpha();
    const int samples = hasAlpha ? 4 : 3;
    const int64_t rowBytes = int64_t(samples) * width + 1;
    if (width < 0 || height <= 0 || !ProductFits(rowBytes, height, 0)) return {};

    TBytes raw(size_t(rowBytes * height));
    uint8_t* out = raw.data();
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* pixel = static_cast<const uint8_t*>(surface->Bits());
        if (!pixel && width > 0) return {};
        pixel += int64_t(surface->Stride()) * y;
        *out++ = 0;
        for (int32_t x = 0; x < width; ++x, pixel += 4) {
            const uint8_t a = hasAlpha ? pixel[3] : 255;
            *out++ = Unpremultiply(pixel[2], a);
            *out++ = Unpremultiply(pixel[1], a);
            *out++ = Unpremultiply(pixel[0], a);
            if (hasAlpha) *out++ = a;
        }
    }

    // zlib framing in place of gzip's: header 78 9C, the same deflate data,
    // the Adler-32 of the raw image.
    const TBytes gzip = System::DeflateBytes(raw, -1);
    if (gzip.size() < 19) return {};
    const int64_t gzipSize = int64_t(gzip.size());
    if (gzipSize > int64_t(INT32_MAX) - 45) return {};
    TBytes idat(size_t(gzipSize - 12));
    idat[0] = 0x78;
    idat[1] = 0x9C;
    std::memcpy(idat.data() + 2, gzip.data() + 10, size_t(gzipSize - 18));
    PutBigEndian32(idat.data() + idat.size() - 4, Adler32(raw));

    uint8_t header[13] = {};
    PutBigEndian32(header, uint32_t(width));
    PutBigEndian32(header + 4, uint32_t(height));
    header[8] = 8;
    header[9] = hasAlpha ? 6 : 2;

    TBytes file(size_t(gzipSize + 45));
    std::memcpy(file.data(), kSignature, sizeof kSignature);
    uint8_t* next = WritePngChunk(file.data() + 8, kIhdr, header, sizeof header);
    next = WritePngChunk(next, kIdat, idat.data(), uint32_t(idat.size()));
    WritePngChunk(next, kIend, nullptr, 0);
    return file;
}

} // namespace Zyl
