#include "Zyl.Platform.Soft.h"

#include <algorithm>

#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Png.h"

namespace Zyl {

using System::MakeRef;

// ---- Surfaces ----------------------------------------------------------------

TSoftSurface::TSoftSurface(int32_t width, int32_t height, bool hasAlpha)
    : width_(std::max(width, 1)), height_(std::max(height, 1)), hasAlpha_(hasAlpha), stride_(0) {
    // Image files choose these sizes: in 64 bits, a 65536 x 65536 header
    // must not wrap to an empty block that is then written as a large one.
    const int64_t stride = 4 * int64_t(width_);
    if (stride > INT32_MAX) throw System::EOutOfMemory();
    stride_ = int32_t(stride);
    const uint64_t count = uint64_t(width_) * uint64_t(height_);
    pixels_ = AllocZeroed<uint32_t>(count);
    if (!hasAlpha_) std::fill_n(pixels_.get(), count, 0xFF000000u);
}

TRef<TPlatformCanvas> TSoftSurface::CreateCanvas() {
    return RaiseOnBadAlloc([&] { return TRef<TPlatformCanvas>(MakeRef<TSoftCanvas>(this)); });
}

TRef<TPlatformSurface> TSoftSurface::CreateCompatible(int32_t width, int32_t height, bool hasAlpha) {
    return RaiseOnBadAlloc([&] { return TRef<TPlatformSurface>(MakeRef<TSoftSurface>(width, height, hasAlpha)); });
}

int32_t TSoftSurface::PixelAt(int32_t x, int32_t y) {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) return 0;
    return PixelColour(pixels_[size_t(y) * size_t(width_) + size_t(x)], hasAlpha_);
}

int32_t TSoftSurface::AlphaAt(int32_t x, int32_t y) {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) return 0;
    if (!hasAlpha_) return 255;
    return int32_t(pixels_[size_t(y) * size_t(width_) + size_t(x)] >> 24);
}

// ---- Services ------------------------------------------------------------------

TRef<TPlatformSurface> TSoftServices::CreateSurface(int32_t width, int32_t height, bool hasAlpha) {
    return RaiseOnBadAlloc([&] { return TRef<TPlatformSurface>(MakeRef<TSoftSurface>(width, height, hasAlpha)); });
}

TRef<TPlatformSurface> TSoftServices::LoadPngMemory(const uint8_t* data, int32_t size) {
    return DecodePng(data, size, *this);
}

System::TBytes TSoftServices::SavePngMemory(TPlatformSurface* surface) { return EncodePng(surface); }

std::u16string TSoftServices::DefaultFontName() { return GetSoftTextProvider()->DefaultFontName(); }

std::u16string TSoftServices::MonospaceFontName() { return GetSoftTextProvider()->DefaultMonoFontName(); }

bool SoftAutoChoiceAllowed() { return false; }

void CreateSoftServices() {
    if (CurrentPlatformServices()) return;
    SetCurrentPlatformServices(RaiseOnBadAlloc([] { return TRef<TPlatformServices>(MakeRef<TSoftServices>()); }));
}

void RegisterSoftCanvasBackend() {
    RegisterCanvasBackend(u"soft",
                          u"Canvas por software (BGRA, texto por contornos de fontes empacotadas): pixels identicos em "
                          u"todos os sistemas",
                          CanvasKindBackend, 7, 0xBD, 100, nullptr, SoftAutoChoiceAllowed, CreateSoftServices);
}

} // namespace Zyl
