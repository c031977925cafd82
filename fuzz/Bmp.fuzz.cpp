// The BMP codec on any bytes and on surfaces.
//
// Byte 0 picks the mode (the rest of the input is its material):
// - raw: the bytes are a file. No crash, no escaping exception, canaries
//   intact, a surface of the size the header gives, alpha only for 32 bits.
// - round trip: the bytes make a premultiplied surface; its file decodes
//   back to the same pixels (an all-transparent one to opaque black).
#include <algorithm>
#include <cstdlib>

#include "KsFuzz.h"
#include "Zyl.Graphics.h"
#include "Zyl.Test.Image.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::TRef;

namespace {

uint32_t Le(const TBytes& b, size_t at, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b[at + size_t(i)];
    return v;
}

void CheckRaw(const TBytes& file) {
    const TRef<TMemoryServices> services = PaddedServices();
    {
        const TRef<TPlatformSurface> surface = DecodeBmp(file.data(), int32_t(file.size()), *services);
        if (!surface) return;
        KS_FUZZ_CHECK(static_cast<TMemorySurface*>(surface.Get())->PaddingIntact());
        const bool core = Le(file, 14, 4) == 12;
        const int64_t width = core ? Le(file, 18, 2) : int32_t(Le(file, 18, 4));
        const int64_t height = core ? Le(file, 20, 2) : std::abs(int64_t(int32_t(Le(file, 22, 4))));
        const uint32_t bits = Le(file, core ? 24 : 28, 2);
        KS_FUZZ_CHECK(surface->Width() == width && surface->Height() == height);
        KS_FUZZ_CHECK(bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32);
        KS_FUZZ_CHECK(!surface->HasAlpha() || bits == 32);
        if (!surface->HasAlpha()) {
            const TBytes pixels = SurfaceBytes(*surface);
            for (size_t i = 3; i < pixels.size(); i += 4) KS_FUZZ_CHECK(pixels[i] == 255 || bits <= 8);
        }
    }
    KS_FUZZ_CHECK(services->LiveSurfaces == 0);
}

void CheckRoundTrip(std::span<const uint8_t> in) {
    size_t at = 0;
    const auto next = [&] { return at < in.size() ? in[at++] : uint8_t(0); };
    const int32_t width = next() % 40, height = next() % 24;
    const bool hasAlpha = next() & 1;
    const TRef<TMemoryServices> services = PaddedServices();
    const TRef<TPlatformSurface> surface = services->CreateSurface(width, height, hasAlpha);
    TBytes pixels(size_t(width) * size_t(height) * 4);
    bool clear = hasAlpha;
    for (size_t i = 0; i < pixels.size(); i += 4) {
        const uint8_t a = hasAlpha ? next() : 255;
        for (int k = 0; k < 3; ++k) pixels[i + k] = std::min(next(), a);
        pixels[i + 3] = a;
        clear = clear && a == 0;
    }
    FillSurface(*surface, pixels);
    const TBytes file = EncodeBmp(*surface);
    const TRef<TPlatformSurface> back = DecodeBmp(file.data(), int32_t(file.size()), *services);
    KS_FUZZ_CHECK(bool(back) == (width > 0 && height > 0));
    if (!back) return;
    if (clear)
        for (size_t i = 3; i < pixels.size(); i += 4) pixels[i] = 255;
    KS_FUZZ_CHECK(back->HasAlpha() == (hasAlpha && !clear));
    KS_FUZZ_CHECK(SurfaceBytes(*back) == pixels);
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    if (data.empty()) return;
    if (data[0] % 4 == 3) CheckRoundTrip(data.subspan(1));
    else CheckRaw(TBytes(data.begin() + 1, data.end()));
}
