#include "Zyl.Test.Image.h"

#include <algorithm>
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
    for (int32_t y = 0; rowBytes > 0 && y < surface.Height(); ++y)
        std::memcpy(pixels.data() + rowBytes * y, surface.Bits() + int64_t(surface.Stride()) * y, rowBytes);
    return pixels;
}

void FillSurface(TPlatformSurface& surface, const TBytes& pixels) {
    const size_t rowBytes = size_t(surface.Width()) * 4;
    for (int32_t y = 0; rowBytes > 0 && y < surface.Height(); ++y)
        std::memcpy(surface.Bits() + int64_t(surface.Stride()) * y, pixels.data() + rowBytes * y, rowBytes);
    surface.FinishDrawing();
}

TRef<TPlatformSurface> FilledSurface(TPlatformServices& services, int32_t width, int32_t height, bool hasAlpha,
                                     const TBytes& pixels) {
    TRef<TPlatformSurface> surface = services.CreateSurface(width, height, hasAlpha);
    FillSurface(*surface, pixels);
    return surface;
}

std::vector<uint32_t> PixelWords(const TBytes& pixels) {
    std::vector<uint32_t> words(pixels.size() / 4);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = uint32_t(pixels[4 * i]) | uint32_t(pixels[4 * i + 1]) << 8 | uint32_t(pixels[4 * i + 2]) << 16 |
                   uint32_t(pixels[4 * i + 3]) << 24;
    return words;
}

std::vector<TRandomSurface> RandomSurfaces() {
    std::vector<TRandomSurface> surfaces;
    for (auto [width, height] : {std::pair{1, 1}, std::pair{5, 3}, std::pair{33, 17}})
        for (bool hasAlpha : {false, true})
            for (uint32_t seed = 1; seed <= 3; ++seed)
                surfaces.push_back({std::to_string(width) + "x" + std::to_string(height) + (hasAlpha ? " alpha" : "") +
                                        " seed " + std::to_string(seed),
                                    width, height, hasAlpha, RandomPixels(width, height, hasAlpha, seed)});
    return surfaces;
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

std::string PixelsOffHatchRows(TPlatformSurface& surface, int32_t background, int32_t row, int32_t& marked) {
    std::string off;
    marked = 0;
    for (int32_t y = 0; y < surface.Height(); ++y)
        for (int32_t x = 0; x < surface.Width(); ++x) {
            if (surface.PixelAt(x, y) == background) continue;
            ++marked;
            if (y % 8 != row && off.size() < 200) off += std::to_string(x) + "," + std::to_string(y) + " ";
        }
    return off;
}

TInkBox InkBox(TPlatformSurface& surface) {
    TInkBox box{surface.Width(), surface.Height(), 0, 0};
    for (int32_t y = 0; y < surface.Height(); ++y)
        for (int32_t x = 0; x < surface.Width(); ++x) {
            const int32_t p = surface.PixelAt(x, y);
            if (std::min({p & 0xFF, (p >> 8) & 0xFF, (p >> 16) & 0xFF}) >= 192) continue;
            box = {std::min(box.Left, x), std::min(box.Top, y), std::max(box.Right, x + 1),
                   std::max(box.Bottom, y + 1)};
        }
    return box.Right > 0 ? box : TInkBox{};
}

} // namespace Zyl::Testing
