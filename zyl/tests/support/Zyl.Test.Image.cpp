#include "Zyl.Test.Image.h"

#include <cstring>
#include <string>

namespace Zyl::Testing {

namespace {

class TShortRowSurface : public TMemorySurface {
public:
    using TMemorySurface::TMemorySurface;
    int32_t Stride() override { return TMemorySurface::Stride() - 4; }
};

// Logs the request as the base does, then answers with a surface of its own.
template <class Make>
class TOddServices : public TMemoryServices {
public:
    explicit TOddServices(Make make) : make_(make) {}
    TRef<TPlatformSurface> CreateSurface(int32_t Width, int32_t Height, bool HasAlpha) override {
        Calls.push_back("CreateSurface " + std::to_string(Width) + " " + std::to_string(Height) + " " +
                        (HasAlpha ? "1" : "0"));
        return make_(this, Width, Height, HasAlpha);
    }

private:
    Make make_;
};

template <class Make>
TRef<TMemoryServices> OddServices(Make make) {
    return TRef<TMemoryServices>(new TOddServices<Make>(make));
}

} // namespace

TRef<TMemoryServices> PaddedServices() {
    TRef<TMemoryServices> services = System::MakeRef<TMemoryServices>();
    services->RowPadding = 12;
    return services;
}

TBytes SurfaceBytes(TPlatformSurface& surface) {
    const size_t rowBytes = size_t(surface.Width()) * 4;
    TBytes pixels(rowBytes * size_t(surface.Height()));
    for (int32_t y = 0; y < surface.Height(); ++y)
        std::memcpy(pixels.data() + rowBytes * y, surface.Bits() + int64_t(surface.Stride()) * y, rowBytes);
    return pixels;
}

void FillSurface(TPlatformSurface& surface, const TBytes& pixels) {
    const size_t rowBytes = size_t(surface.Width()) * 4;
    for (int32_t y = 0; y < surface.Height(); ++y)
        std::memcpy(surface.Bits() + int64_t(surface.Stride()) * y, pixels.data() + rowBytes * y, rowBytes);
    surface.FinishDrawing();
}

TBytes RandomPixels(int32_t width, int32_t height, bool hasAlpha, uint32_t seed) {
    TBytes pixels(size_t(width) * size_t(height) * 4);
    uint32_t x = seed * 2654435761u + 1;
    const auto next = [&](uint32_t bound) {
        x = x * 1103515245u + 12345u;
        return (x >> 8) % bound;
    };
    for (size_t i = 0; i < pixels.size(); i += 4) {
        // Alpha 0 and 255 are common in real images and take their own paths.
        const uint32_t pick = next(8);
        const uint8_t a = !hasAlpha || pick == 0 ? 255 : pick == 1 ? 0 : uint8_t(next(256));
        for (int k = 0; k < 3; ++k) pixels[i + k] = uint8_t(next(uint32_t(a) + 1));
        pixels[i + 3] = a;
    }
    return pixels;
}

std::vector<TUnusableServices> UnusableServices() {
    return {
        {"nil surface",
         [] {
             TRef<TMemoryServices> services = PaddedServices();
             services->FailCreateSurface = true;
             return services;
         }},
        {"nil Bits",
         [] {
             TRef<TMemoryServices> services = PaddedServices();
             services->NilBitsSurfaces = true;
             return services;
         }},
        {"one pixel wider",
         [] {
             return OddServices([](TMemoryServices* owner, int32_t width, int32_t height, bool hasAlpha) {
                 return TRef<TPlatformSurface>(new TMemorySurface(width + 1, height, hasAlpha, 0, owner));
             });
         }},
        {"one row shorter",
         [] {
             return OddServices([](TMemoryServices* owner, int32_t width, int32_t height, bool hasAlpha) {
                 return TRef<TPlatformSurface>(new TMemorySurface(width, height - 1, hasAlpha, 0, owner));
             });
         }},
        {"rows shorter than the width",
         [] {
             return OddServices([](TMemoryServices* owner, int32_t width, int32_t height, bool hasAlpha) {
                 return TRef<TPlatformSurface>(new TShortRowSurface(width, height, hasAlpha, 0, owner));
             });
         }},
    };
}

} // namespace Zyl::Testing
