// BMP files: the reader and the writer of the graphics unit.
#include <algorithm>
#include <array>
#include <bit>
#include <climits>

#include "Zyl.Graphics.h"
#include "Zyl.Platform.Png.h"

using System::TBytes;
using System::TRef;

namespace Zyl {

namespace {

constexpr int32_t kFileHeaderSize = 14;
constexpr int32_t kCoreHeaderSize = 12;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiBitfields = 3;

uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }

void PutLe16(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
void PutLe32(uint8_t* p, uint32_t v) {
    PutLe16(p, v);
    PutLe16(p + 2, v >> 16);
}

void PutPixel(uint8_t* p, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
    p[0] = b;
    p[1] = g;
    p[2] = r;
    p[3] = a;
}

// One colour channel under a bit mask, as an 8-bit value.
class TMaskChannel {
public:
    explicit TMaskChannel(uint32_t mask = 0)
        : mask_(mask), shift_(mask ? std::countr_zero(mask) : 0), width_(mask ? std::countr_one(mask >> shift_) : 0) {}

    uint32_t Mask() const { return mask_; }

    // The top eight bits of a wide channel; a narrow one scaled to 0..255.
    // Set bits above the mask's first run stay in the value, so it is clamped.
    uint8_t Extract(uint32_t pixel) const {
        if (!mask_) return 0;
        uint64_t v = (pixel & mask_) >> shift_;
        v = width_ >= 8 ? v >> (width_ - 8) : v * 255 / ((1u << width_) - 1);
        return uint8_t(std::min<uint64_t>(v, 255));
    }

private:
    uint32_t mask_;
    int shift_;
    int width_;
};

struct TBmpLayout {
    int32_t Width = 0;
    int32_t Height = 0; // rows, whatever their order
    bool TopDown = false;
    uint32_t BitsPerPixel = 0;
    uint32_t Compression = kBiRgb;
    bool Core = false;
    int64_t HeaderSize = 0;
    uint32_t ColoursUsed = 0;
    int64_t Offset = 0;
    int64_t Stride = 0;
    TMaskChannel Red, Green, Blue, Alpha;
};

// The header fields and masks; false when the file is refused.
bool ReadLayout(const uint8_t* data, int32_t size, TBmpLayout& layout) {
    if (!data || size < 26 || data[0] != 'B' || data[1] != 'M') return false;
    layout.HeaderSize = Le32(data + 14);
    int64_t height;
    if (layout.HeaderSize == kCoreHeaderSize) {
        layout.Core = true;
        layout.Width = int32_t(Le16(data + 18));
        height = Le16(data + 20);
        layout.BitsPerPixel = Le16(data + 24);
    } else {
        if (size < 50) return false;
        layout.Width = int32_t(Le32(data + 18));
        height = int32_t(Le32(data + 22));
        layout.BitsPerPixel = Le16(data + 28);
        layout.Compression = Le32(data + 30);
        layout.ColoursUsed = Le32(data + 46);
    }
    if (layout.Width < 1 || height == 0 || height == INT32_MIN) return false;
    if (layout.Compression != kBiRgb && layout.Compression != kBiBitfields) return false;
    switch (layout.BitsPerPixel) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: return false;
    }
    layout.TopDown = height < 0;
    layout.Height = int32_t(height < 0 ? -height : height);
    if (!SurfaceSizeAllowed(layout.Width, layout.Height)) return false;
    layout.Offset = int32_t(Le32(data + 10));

    const bool fileMasks = layout.Compression == kBiBitfields && (layout.HeaderSize == 40 || layout.HeaderSize >= 52);
    if (fileMasks) {
        const bool alphaMask = layout.HeaderSize >= 56;
        if (size < (alphaMask ? 70 : 66)) return false;
        layout.Red = TMaskChannel(Le32(data + 54));
        layout.Green = TMaskChannel(Le32(data + 58));
        layout.Blue = TMaskChannel(Le32(data + 62));
        layout.Alpha = TMaskChannel(alphaMask ? Le32(data + 66) : 0);
    } else if (layout.BitsPerPixel == 16) {
        layout.Red = TMaskChannel(0x7C00);
        layout.Green = TMaskChannel(0x03E0);
        layout.Blue = TMaskChannel(0x001F);
    } else {
        layout.Red = TMaskChannel(0xFF0000);
        layout.Green = TMaskChannel(0xFF00);
        layout.Blue = TMaskChannel(0xFF);
    }

    layout.Stride = (int64_t(layout.BitsPerPixel) * layout.Width + 31) / 32 * 4;
    return layout.Offset >= 0 && layout.Offset + layout.Stride * layout.Height <= size;
}

// Opaque palette words. Entries the file lacks are black, and opaque too:
// a palette image makes a surface without alpha.
std::array<uint32_t, 256> ReadPalette(const uint8_t* data, int32_t size, const TBmpLayout& layout) {
    std::array<uint32_t, 256> palette;
    palette.fill(0xFF000000u);
    if (layout.BitsPerPixel > 8) return palette;
    const int64_t count = std::min<int64_t>(layout.ColoursUsed ? layout.ColoursUsed : 1 << layout.BitsPerPixel, 256);
    const int64_t entrySize = layout.Core ? 3 : 4;
    for (int64_t i = 0; i < count; ++i) {
        const int64_t at = kFileHeaderSize + layout.HeaderSize + i * entrySize;
        if (at + 3 > size) break;
        palette[size_t(i)] = 0xFF000000u | uint32_t(data[at + 2]) << 16 | uint32_t(data[at + 1]) << 8 | data[at];
    }
    return palette;
}

const uint8_t* SourceRow(const uint8_t* data, const TBmpLayout& layout, int32_t y) {
    const int32_t row = layout.TopDown ? y : layout.Height - 1 - y;
    return data + layout.Offset + layout.Stride * row;
}

// Whether a 32-bit image carries alpha; an info header without bit fields
// has it in the fourth byte, which then becomes its alpha mask.
bool DetectAlpha(const uint8_t* data, TBmpLayout& layout) {
    if (layout.BitsPerPixel != 32) return false;
    const uint32_t mask = layout.Alpha.Mask() ? layout.Alpha.Mask()
                          : layout.Compression == kBiRgb ? 0xFF000000u
                                                         : 0;
    if (!mask) return false;
    for (int32_t y = 0; y < layout.Height; ++y) {
        const uint8_t* row = SourceRow(data, layout, y);
        for (int32_t x = 0; x < layout.Width; ++x) {
            if (Le32(row + 4 * x) & mask) {
                layout.Alpha = TMaskChannel(mask);
                return true;
            }
        }
    }
    return false;
}

void ConvertRow(const uint8_t* row, const TBmpLayout& layout, const std::array<uint32_t, 256>& palette,
                bool hasAlpha, uint8_t* out) {
    for (int32_t x = 0; x < layout.Width; ++x, out += 4) {
        switch (layout.BitsPerPixel) {
        case 1: case 4: case 8: {
            const uint32_t bits = layout.BitsPerPixel;
            const int64_t bit = int64_t(x) * bits;
            const uint32_t index = uint32_t(row[bit / 8] >> (8 - bit % 8 - bits)) & ((1u << bits) - 1);
            PutLe32(out, palette[index]);
            break;
        }
        case 16: {
            const uint32_t v = Le16(row + 2 * x);
            PutPixel(out, layout.Blue.Extract(v), layout.Green.Extract(v), layout.Red.Extract(v), 255);
            break;
        }
        case 24:
            PutPixel(out, row[3 * x], row[3 * x + 1], row[3 * x + 2], 255);
            break;
        default: {
            const uint32_t v = Le32(row + 4 * x);
            uint8_t r = layout.Red.Extract(v), g = layout.Green.Extract(v), b = layout.Blue.Extract(v);
            if (hasAlpha) {
                const uint8_t a = layout.Alpha.Extract(v);
                PutPixel(out, Premultiply(b, a), Premultiply(g, a), Premultiply(r, a), a);
            } else {
                PutPixel(out, b, g, r, 255);
            }
            break;
        }
        }
    }
}

} // namespace

TRef<TPlatformSurface> DecodeBmp(const uint8_t* data, int32_t size, TPlatformServices& services) {
    TBmpLayout layout;
    if (!ReadLayout(data, size, layout)) return nullptr;
    const std::array<uint32_t, 256> palette = ReadPalette(data, size, layout);
    const bool hasAlpha = DetectAlpha(data, layout);
    TRef<TPlatformSurface> surface = CreatePixelSurface(services, layout.Width, layout.Height, hasAlpha);
    if (!surface) return nullptr;
    uint8_t* const bits = static_cast<uint8_t*>(surface->Bits());
    const int64_t stride = surface->Stride();
    for (int32_t y = 0; y < layout.Height; ++y)
        ConvertRow(SourceRow(data, layout, y), layout, palette, hasAlpha, bits + stride * y);
    surface->FinishDrawing();
    return surface;
}

TRef<TPlatformSurface> DecodeBmp(const uint8_t* data, int32_t size) {
    TPlatformServices* services = CurrentPlatformServices();
    if (!services) return nullptr;
    return DecodeBmp(data, size, *services);
}

TBytes EncodeBmp(TPlatformSurface& surface) {
    const int32_t width = surface.Width(), height = surface.Height();
    const bool hasAlpha = surface.HasAlpha();
    const uint32_t bitsPerPixel = hasAlpha ? 32 : 24;
    const int64_t headerSize = hasAlpha ? 108 : 40;
    const int64_t stride = (int64_t(bitsPerPixel) * width + 31) / 32 * 4;
    const int64_t dataOffset = kFileHeaderSize + headerSize;
    const uint8_t* pixels = static_cast<const uint8_t*>(surface.Bits());
    if (width < 0 || height < 0 || (stride > 0 && height > (INT32_MAX - dataOffset) / stride) ||
        (!pixels && width > 0 && height > 0))
        throw EInvalidGraphic(u"Imagem invalida");
    const int64_t imageSize = stride * height;

    TBytes file(size_t(dataOffset + imageSize));
    uint8_t* p = file.data();
    p[0] = 'B';
    p[1] = 'M';
    PutLe32(p + 2, uint32_t(file.size()));
    PutLe32(p + 10, uint32_t(dataOffset));
    PutLe32(p + 14, uint32_t(headerSize));
    PutLe32(p + 18, uint32_t(width));
    PutLe32(p + 22, uint32_t(height));
    PutLe16(p + 26, 1);
    PutLe16(p + 28, bitsPerPixel);
    PutLe32(p + 30, hasAlpha ? kBiBitfields : kBiRgb);
    PutLe32(p + 34, uint32_t(imageSize));
    // 72 dots per inch.
    PutLe32(p + 38, 2835);
    PutLe32(p + 42, 2835);
    if (hasAlpha) {
        PutLe32(p + 54, 0x00FF0000);
        PutLe32(p + 58, 0x0000FF00);
        PutLe32(p + 62, 0x000000FF);
        PutLe32(p + 66, 0xFF000000);
        PutLe32(p + 70, 0x73524742); // LCS_sRGB
    }

    const int64_t surfaceStride = surface.Stride();
    for (int32_t y = 0; pixels && y < height; ++y) {
        const uint8_t* in = pixels + surfaceStride * y;
        uint8_t* out = p + dataOffset + stride * (height - 1 - y);
        for (int32_t x = 0; x < width; ++x, in += 4) {
            const uint8_t a = hasAlpha ? in[3] : 255;
            *out++ = Unpremultiply(in[0], a);
            *out++ = Unpremultiply(in[1], a);
            *out++ = Unpremultiply(in[2], a);
            if (hasAlpha) *out++ = a;
        }
    }
    return file;
}

} // namespace Zyl
