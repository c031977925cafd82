// Surface pixels for the image codec tests and fuzzers, as tight rows of
// B, G, R, A bytes whatever the surface's stride.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "System.Remainder.Text.h"
#include "Zyl.Platform.h"
#include "Zyl.Test.Memory.h"

namespace Zyl::Testing {

using System::TBytes;

// Memory services whose surfaces pad every row with the canary.
TRef<TMemoryServices> PaddedServices();

// The surface's pixels, row after row, 4 x width bytes each.
TBytes SurfaceBytes(TPlatformSurface& surface);

// Writes tight rows into the surface and finishes drawing.
void FillSurface(TPlatformSurface& surface, const TBytes& pixels);
// A new surface of the services holding the pixels.
TRef<TPlatformSurface> FilledSurface(TPlatformServices& services, int32_t width, int32_t height, bool hasAlpha,
                                     const TBytes& pixels);

// The pixels of the surface other than `background` that lie off the hatch
// rows y mod 8 = `row`, as "x,y " words (at most 200 characters); `marked`
// counts every pixel other than `background`.
std::string PixelsOffHatchRows(TPlatformSurface& surface, int32_t background, int32_t row, int32_t& marked);

// Tight pixel bytes as 0xAARRGGBB words.
std::vector<uint32_t> PixelWords(const TBytes& pixels);

// Seeded pixels a surface can hold: premultiplied (colour <= alpha) with
// alpha, alpha 255 without.
TBytes RandomPixels(int32_t width, int32_t height, bool hasAlpha, uint32_t seed);

// The surfaces the round-trip tests encode: 1 x 1, 5 x 3 and 33 x 17, with
// and without alpha, three seeds each.
struct TRandomSurface {
    std::string Name;
    int32_t Width, Height;
    bool HasAlpha;
    TBytes Pixels;
};
std::vector<TRandomSurface> RandomSurfaces();

// A surface that only reports its size, for encoders that must refuse it
// before reading a pixel; counts the calls of Bits.
class TSizeOnlySurface : public TPlatformSurface {
public:
    TSizeOnlySurface(int32_t width, int32_t height, bool hasAlpha)
        : width_(width), height_(height), hasAlpha_(hasAlpha) {}
    int32_t Width() override { return width_; }
    int32_t Height() override { return height_; }
    bool HasAlpha() override { return hasAlpha_; }
    uint8_t* Bits() override {
        ++BitsCalls;
        return pixel_;
    }
    int32_t Stride() override { return 0; }

    int32_t BitsCalls = 0;

private:
    int32_t width_, height_;
    bool hasAlpha_;
    uint8_t pixel_[4] = {};
};

// Services whose surfaces a decoder must not write into, each with a name:
// none at all, no pixel memory, another size, rows shorter than the width.
struct TUnusableServices {
    const char* Name;
    std::function<TRef<TMemoryServices>()> Make;
};
std::vector<TUnusableServices> UnusableServices();

// The box of a surface's ink, right and bottom exclusive, all 0 without ink:
// a pixel is ink when some colour byte lies a quarter of the way from white
// to black or further, which leaves the faint fringe of antialiasing out.
struct TInkBox {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};
TInkBox InkBox(TPlatformSurface& surface);

} // namespace Zyl::Testing
