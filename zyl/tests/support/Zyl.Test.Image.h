// Surface pixels for the image codec tests and fuzzers, as tight rows of
// B, G, R, A bytes whatever the surface's stride.
#pragma once

#include <cstdint>
#include <functional>
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

// Seeded pixels a surface can hold: premultiplied (colour <= alpha) with
// alpha, alpha 255 without.
TBytes RandomPixels(int32_t width, int32_t height, bool hasAlpha, uint32_t seed);

// Services whose surfaces a decoder must not write into, each with a name:
// none at all, no pixel memory, another size, rows shorter than the width.
struct TUnusableServices {
    const char* Name;
    std::function<TRef<TMemoryServices>()> Make;
};
std::vector<TUnusableServices> UnusableServices();

} // namespace Zyl::Testing
