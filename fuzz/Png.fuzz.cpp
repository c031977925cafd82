// The PNG codec on any bytes, on generated valid images and on surfaces.
//
// Byte 0 picks the mode (the rest of the input is its material):
// - raw: the bytes are a file. No crash, no escaping exception, canaries
//   intact, a surface of the size its last IHDR gives; zeroing bytes 4-7 and
//   every CRC changes nothing.
// - generated: the bytes drive a writer of valid images (colour type, depth,
//   size, filters, PLTE and tRNS lengths, pixels); the decoded pixels equal a
//   conversion written here from the format's rules.
// - round trip: the bytes make a premultiplied surface; its file is checked
//   with zlib (CRC-32 of every chunk, the raw image, Adler-32) and decodes
//   back to the same pixels.
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "KsFuzz.h"
#include "Zyl.Platform.Png.h"
#include "Zyl.Test.Image.h"
#include "Zyl.Test.Png.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::TRef;

namespace {

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// Reads the input front to back; zeros once it runs out.
class TReader {
public:
    explicit TReader(std::span<const uint8_t> data) : data_(data) {}
    uint8_t Byte() { return at_ < data_.size() ? data_[at_++] : 0; }
    uint32_t Below(uint32_t bound) { return Byte() % bound; }

private:
    std::span<const uint8_t> data_;
    size_t at_ = 0;
};

struct TDecoded {
    bool Present = false;
    int32_t Width = 0, Height = 0;
    bool HasAlpha = false;
    TBytes Pixels;
    friend bool operator==(const TDecoded&, const TDecoded&) = default;
};

TDecoded Decode(const TBytes& file) {
    const TRef<TMemoryServices> services = PaddedServices();
    TDecoded result;
    {
        const TRef<TPlatformSurface> surface = DecodePng(file.data(), int32_t(file.size()), *services);
        if (surface) {
            KS_FUZZ_CHECK(static_cast<TMemorySurface*>(surface.Get())->PaddingIntact());
            result = {true, surface->Width(), surface->Height(), surface->HasAlpha(), SurfaceBytes(*surface)};
        }
    }
    KS_FUZZ_CHECK(services->LiveSurfaces == 0);
    return result;
}

// The width and height of the last IHDR before the walk ends, or nothing
// when the chunks do not fit; and the file with bytes 4-7 and every CRC zeroed.
struct TWalk {
    bool Fits = true;
    std::optional<std::pair<int32_t, int32_t>> Size;
    TBytes Zeroed;
};

TWalk Walk(const TBytes& file) {
    TWalk walk{true, {}, file};
    if (file.size() < 8) return walk;
    std::fill(walk.Zeroed.begin() + 4, walk.Zeroed.begin() + 8, 0);
    size_t position = 8;
    while (file.size() - position >= 12) {
        const uint64_t length = BigEndian32(&file[position]);
        if (length >= 0x80000000u || position + 12 + length > file.size()) {
            walk.Fits = false;
            break;
        }
        const uint32_t type = BigEndian32(&file[position + 4]);
        if (type == 0x49484452 && length >= 13)
            walk.Size = {int32_t(BigEndian32(&file[position + 8])), int32_t(BigEndian32(&file[position + 12]))};
        std::fill_n(walk.Zeroed.begin() + ptrdiff_t(position + 8 + length), 4, 0);
        if (type == 0x49454E44) break;
        position += 12 + length;
    }
    return walk;
}

void CheckRaw(const TBytes& file) {
    const TDecoded decoded = Decode(file);
    const TWalk walk = Walk(file);
    if (decoded.Present) {
        KS_FUZZ_CHECK(walk.Fits && walk.Size);
        KS_FUZZ_CHECK(decoded.Width == walk.Size->first && decoded.Height == walk.Size->second);
    }
    if (walk.Fits) KS_FUZZ_CHECK(Decode(walk.Zeroed) == decoded);
}

// The format's conversion of one pixel, from unfiltered rows.
struct TModel {
    uint8_t Type, Depth;
    TBytes Palette, Transparency;

    uint32_t Sample(const TBytes& row, uint32_t index) const {
        if (Depth == 16) return uint32_t(row[2 * index]) << 8 | row[2 * index + 1];
        const uint32_t bit = index * Depth;
        return (row[bit / 8] >> (8 - bit % 8 - Depth)) & ((1u << Depth) - 1);
    }
    uint8_t Scaled(uint32_t v) const { return Depth == 16 ? uint8_t(v >> 8) : uint8_t(v * 255 / ((1u << Depth) - 1)); }
    std::optional<std::array<uint32_t, 3>> Key() const {
        const TBytes& t = Transparency;
        if (Type == 0 && t.size() >= 2) return std::array<uint32_t, 3>{t[0] * 256u + t[1], 0, 0};
        if (Type == 2 && t.size() >= 6) return std::array<uint32_t, 3>{t[0] * 256u + t[1], t[2] * 256u + t[3], t[4] * 256u + t[5]};
        return std::nullopt;
    }
    bool HasAlpha() const { return Type == 4 || Type == 6 || (Type == 3 && !Transparency.empty()) || Key(); }

    // Straight R, G, B, A.
    std::array<uint8_t, 4> Pixel(const TBytes& row, uint32_t x) const {
        const auto key = Key();
        switch (Type) {
        case 0: {
            const uint32_t v = Sample(row, x);
            const uint8_t g = Scaled(v);
            return {g, g, g, uint8_t(key && v == (*key)[0] ? 0 : 255)};
        }
        case 2: {
            const uint32_t r = Sample(row, 3 * x), g = Sample(row, 3 * x + 1), b = Sample(row, 3 * x + 2);
            const bool keyed = key && r == (*key)[0] && g == (*key)[1] && b == (*key)[2];
            return {Scaled(r), Scaled(g), Scaled(b), uint8_t(keyed ? 0 : 255)};
        }
        case 3: {
            // An index past the entries is 0, and the palette is black where PLTE gave nothing.
            const size_t count = std::min<size_t>(Palette.size() / 3, 256);
            uint32_t i = Sample(row, x);
            if (i >= count) i = 0;
            const uint8_t a = i < std::min<size_t>(Transparency.size(), 768) ? Transparency[i] : 255;
            if (i >= count) return {0, 0, 0, a};
            return {Palette[3 * i], Palette[3 * i + 1], Palette[3 * i + 2], a};
        }
        case 4: {
            const uint8_t g = Scaled(Sample(row, 2 * x));
            return {g, g, g, Scaled(Sample(row, 2 * x + 1))};
        }
        default:
            return {Scaled(Sample(row, 4 * x)), Scaled(Sample(row, 4 * x + 1)), Scaled(Sample(row, 4 * x + 2)),
                    Scaled(Sample(row, 4 * x + 3))};
        }
    }
};

void CheckGenerated(TReader& in) {
    static const struct {
        uint8_t Type, Depth;
    } formats[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1}, {3, 2},
                   {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    const auto format = formats[in.Below(std::size(formats))];
    TPngImage image;
    image.ColourType = format.Type;
    image.Depth = format.Depth;
    image.Width = 1 + in.Below(17);
    image.Height = 1 + in.Below(9);
    image.Filters.clear();
    for (uint32_t y = 0; y < image.Height; ++y) image.Filters.push_back(uint8_t(in.Below(5)));
    static const int samples[7] = {1, 0, 3, 1, 2, 0, 4};
    const size_t rowBytes = (size_t(samples[format.Type]) * format.Depth * image.Width + 7) / 8;
    for (uint32_t y = 0; y < image.Height; ++y) {
        TBytes row(rowBytes);
        for (uint8_t& b : row) b = in.Byte();
        image.Rows.push_back(row);
    }
    // Palette and transparency lengths of any size, empty included.
    const uint32_t plte = in.Below(4) == 0 ? 0 : in.Below(800);
    const uint32_t trns = in.Below(3) == 0 ? 0 : in.Below(800);
    for (uint32_t i = 0; i < plte; ++i) image.Palette.push_back(in.Byte());
    for (uint32_t i = 0; i < trns; ++i) image.Transparency.push_back(in.Byte());

    const TModel model{format.Type, format.Depth, image.Palette, image.Transparency};
    const TDecoded decoded = Decode(MakePng(image));
    KS_FUZZ_CHECK(decoded.Present);
    KS_FUZZ_CHECK(decoded.HasAlpha == model.HasAlpha());
    for (uint32_t y = 0; y < image.Height; ++y) {
        for (uint32_t x = 0; x < image.Width; ++x) {
            auto [r, g, b, a] = model.Pixel(image.Rows[y], x);
            if (!model.HasAlpha()) a = 255;
            else for (uint8_t* c : {&r, &g, &b}) *c = uint8_t((*c * a + 127) / 255);
            const uint8_t* got = &decoded.Pixels[(size_t(y) * image.Width + x) * 4];
            KS_FUZZ_CHECK(got[0] == b && got[1] == g && got[2] == r && got[3] == a);
        }
    }
}

void CheckRoundTrip(TReader& in) {
    const int32_t width = int32_t(in.Below(40)), height = int32_t(in.Below(24));
    const bool hasAlpha = in.Byte() & 1;
    const TRef<TMemoryServices> services = PaddedServices();
    const TRef<TPlatformSurface> surface = services->CreateSurface(width, height, hasAlpha);
    TBytes pixels(size_t(width) * size_t(height) * 4);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        const uint8_t a = hasAlpha ? in.Byte() : 255;
        for (int k = 0; k < 3; ++k) pixels[i + k] = std::min(in.Byte(), a);
        pixels[i + 3] = a;
    }
    FillSurface(*surface, pixels);

    const TBytes file = EncodePng(surface.Get());
    if (height == 0) {
        KS_FUZZ_CHECK(file.empty());
        return;
    }
    // Every chunk's CRC is zlib's; IDAT inflates to the raw image.
    TBytes raw;
    for (size_t at = 8; at < file.size();) {
        const uint32_t length = BigEndian32(&file[at]);
        KS_FUZZ_CHECK(at + 12 + length <= file.size());
        KS_FUZZ_CHECK(BigEndian32(&file[at + 8 + length]) == crc32(0, &file[at + 4], length + 4));
        if (BigEndian32(&file[at + 4]) == 0x49444154) {
            raw.resize(size_t(height) * (size_t(width) * (hasAlpha ? 4 : 3) + 1) + 1);
            uLongf size = uLongf(raw.size());
            KS_FUZZ_CHECK(uncompress(raw.data(), &size, &file[at + 8], length) == Z_OK);
            raw.resize(size);
            KS_FUZZ_CHECK(BigEndian32(&file[at + 4 + length]) == adler32(1, raw.data(), uInt(raw.size())));
        }
        at += 12 + length;
    }
    TBytes expected;
    for (int32_t y = 0; y < height; ++y) {
        expected.push_back(0);
        for (int32_t x = 0; x < width; ++x) {
            const uint8_t* p = &pixels[(size_t(y) * width + x) * 4];
            const uint32_t a = p[3];
            for (int k : {2, 1, 0})
                expected.push_back(a == 0 || a == 255 ? p[k] : uint8_t(std::min<uint32_t>(255, (p[k] * 255 + a / 2) / a)));
            if (hasAlpha) expected.push_back(p[3]);
        }
    }
    KS_FUZZ_CHECK(raw == expected);

    const TDecoded decoded = Decode(file);
    KS_FUZZ_CHECK(decoded.Present == (width > 0));
    if (decoded.Present) KS_FUZZ_CHECK(decoded.Pixels == pixels && decoded.HasAlpha == hasAlpha);
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    if (data.empty()) return;
    const std::span<const uint8_t> rest = data.subspan(1);
    TReader in(rest);
    switch (data[0] % 4) {
    case 0: case 1: CheckRaw(TBytes(rest.begin(), rest.end())); break;
    case 2: CheckGenerated(in); break;
    default: CheckRoundTrip(in); break;
    }
}
