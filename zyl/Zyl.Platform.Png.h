// PNG files to platform surfaces and back. The decoder reads every colour
// type and depth of the format (no interlacing) and answers nil for anything
// it cannot read; the encoder writes 8-bit RGB or RGBA, filter 0, one IDAT.
// No Windows interface here.
#pragma once

#include <cstdint>

#include "System.Remainder.Object.h"
#include "System.Remainder.Text.h"
#include "Zyl.Platform.h"

namespace Zyl {

// A new surface made through `services`, or nil when the data is not a PNG
// image this decoder reads. Exceptions of the services or of the surface pass
// on, after the decoder released what it held.
System::TRef<TPlatformSurface> DecodePng(const uint8_t* data, int32_t size, TPlatformServices& services);
// The same through the current platform services; nil when none is installed.
System::TRef<TPlatformSurface> DecodePng(const uint8_t* data, int32_t size);

// The whole PNG file of the surface's pixels; empty (size 0) for a nil
// surface, one without rows, or one whose file would pass 2^31 - 1 bytes.
System::TBytes EncodePng(TPlatformSurface* surface);

// Writes one chunk (length, type, data, CRC-32 of type and data) at `dest`,
// which has room for length + 12 bytes; returns where the next chunk goes.
// `type` holds the four type letters, the first in its most significant byte.
uint8_t* WritePngChunk(uint8_t* dest, uint32_t type, const uint8_t* data, uint32_t length);

// PNG files on disk (Windows build only): the surface written through the
// encoder, false when it gives nothing; a file decoded through `services`,
// nil for a folder, a file too short to be a PNG or one above 2^31 - 1 bytes.
// The file stream's exceptions pass on.
bool SavePngFile(TPlatformSurface* surface, const std::u16string& fileName);
System::TRef<TPlatformSurface> LoadPngFile(const std::u16string& fileName, TPlatformServices& services);

// What the PNG and BMP codecs share.

// Whether width x height pixels of 4 bytes stay addressable with an int32
// stride, the bound on every surface an image file may ask for.
bool SurfaceSizeAllowed(int64_t width, int64_t height);

// A new surface whose pixels can be written directly: nil when the services
// gave none, or a surface without pixel memory, of another size, or with rows
// too short for its width (such a surface is released at once).
System::TRef<TPlatformSurface> CreatePixelSurface(TPlatformServices& services, int32_t width, int32_t height,
                                                  bool hasAlpha);

// A straight colour channel scaled by its alpha, rounded.
inline uint8_t Premultiply(uint32_t c, uint32_t alpha) { return uint8_t((c * alpha + 127) / 255); }

// A premultiplied colour channel back to straight colour, clamped to 255;
// alpha 0 and 255 leave it as stored.
inline uint8_t Unpremultiply(uint32_t c, uint32_t alpha) {
    if (alpha == 0 || alpha == 255) return uint8_t(c);
    const uint32_t v = (c * 255 + alpha / 2) / alpha;
    return uint8_t(v > 255 ? 255 : v);
}

// The colour a stored 32-bit pixel shows (red in the low byte); without
// alpha the alpha byte is ignored.
inline int32_t PixelColour(uint32_t pixel, bool hasAlpha) {
    const uint32_t a = hasAlpha ? pixel >> 24 : 255;
    const uint32_t b = Unpremultiply(pixel & 0xFF, a), g = Unpremultiply(pixel >> 8 & 0xFF, a),
                   r = Unpremultiply(pixel >> 16 & 0xFF, a);
    return int32_t(r | g << 8 | b << 16);
}

} // namespace Zyl
