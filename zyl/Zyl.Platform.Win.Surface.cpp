// TWinSurface and TWinServices: DIB-section surfaces, their PNG files, and
// the "gdi" entry of the canvas-backend registry.
#include <windows.h>

#include "Zyl.Platform.Win.Api.h"
#include "Zyl.Platform.Win.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "System.Remainder.Streams.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Png.h"

namespace Zyl {

using namespace WinApi;

TWinSurface::TWinSurface(int32_t Width, int32_t Height, bool HasAlpha)
    : width_(Width > 0 ? Width : 1), height_(Height > 0 ? Height : 1), alpha_(HasAlpha) {
    // Stride and offsets into the pixels are int32 for every reader of a
    // surface, as the image codecs demand: a larger block is refused before
    // GDI is asked, and the surface goes without pixels.
    if (!SurfaceSizeAllowed(width_, height_)) return;
    const size_t bytes = size_t(width_) * size_t(height_) * 4;
    const TScreenDC screen;
    void* bits = nullptr;
    bitmap_ = CreateTopDownSection(screen.Get(), width_, height_, &bits);
    if (!bitmap_ || !bits) {
        if (bitmap_) pDeleteObject()(bitmap_);
        bitmap_ = nullptr;
        return;
    }
    memDC_ = pCreateCompatibleDC()(screen.Get());
    if (!memDC_) {
        pDeleteObject()(bitmap_);
        bitmap_ = nullptr;
        return;
    }
    bitsPtr_ = static_cast<uint8_t*>(bits);
    oldBitmap_ = pSelectObject()(memDC_, bitmap_);
    std::memset(bitsPtr_, 0, bytes);
}

TWinSurface::~TWinSurface() {
    if (memDC_) {
        pSelectObject()(memDC_, oldBitmap_);
        pDeleteDC()(memDC_);
    }
    if (bitmap_) pDeleteObject()(bitmap_);
}

TRef<TPlatformCanvas> TWinSurface::CreateCanvas() { return System::MakeRef<TWinCanvas>(memDC_, this); }

uint8_t* TWinSurface::Bits() {
    pGdiFlush()();
    return bitsPtr_;
}

void TWinSurface::FinishDrawing() {
    if (alpha_ || !bitsPtr_) return;
    pGdiFlush()();
    for (size_t i = 3, end = size_t(width_) * size_t(height_) * 4; i < end; i += 4) bitsPtr_[i] = 0;
}

TRef<TPlatformSurface> TWinSurface::CreateCompatible(int32_t Width, int32_t Height, bool HasAlpha) {
    return System::MakeRef<TWinSurface>(Width, Height, HasAlpha);
}

uint32_t TWinSurface::RawPixel(int32_t X, int32_t Y) {
    pGdiFlush()();
    uint32_t pixel;
    std::memcpy(&pixel, bitsPtr_ + (int64_t(Y) * width_ + X) * 4, 4);
    return pixel;
}

int32_t TWinSurface::PixelAt(int32_t X, int32_t Y) {
    if (!bitsPtr_ || X < 0 || Y < 0 || X >= width_ || Y >= height_) return 0;
    const uint32_t pixel = RawPixel(X, Y);
    uint32_t b = pixel & 0xFF, g = (pixel >> 8) & 0xFF, r = (pixel >> 16) & 0xFF;
    const uint32_t a = pixel >> 24;
    if (alpha_ && a >= 1 && a <= 254) {
        const auto unpremultiply = [a](uint32_t c) { return std::min<uint32_t>(255, (c * 255 + a / 2) / a); };
        r = unpremultiply(r);
        g = unpremultiply(g);
        b = unpremultiply(b);
    }
    return int32_t(r | g << 8 | b << 16);
}

int32_t TWinSurface::AlphaAt(int32_t X, int32_t Y) {
    if (!bitsPtr_ || X < 0 || Y < 0 || X >= width_ || Y >= height_) return 0;
    if (!alpha_) return 255;
    return int32_t(RawPixel(X, Y) >> 24);
}

bool TWinSurface::SaveToPng(const std::u16string& FileName) {
    if (!bitsPtr_) return false;
    return SavePngFile(this, FileName);
}

// --- TWinServices -----------------------------------------------------------

TRef<TPlatformSurface> TWinServices::CreateSurface(int32_t Width, int32_t Height, bool HasAlpha) {
    return System::MakeRef<TWinSurface>(Width, Height, HasAlpha);
}

TRef<TPlatformSurface> TWinServices::LoadPngFile(const std::u16string& FileName) {
    return Zyl::LoadPngFile(FileName, *this);
}

TRef<TPlatformSurface> TWinServices::LoadPngMemory(const uint8_t* Data, int32_t Size) {
    return DecodePng(Data, Size, *this);
}

System::TBytes TWinServices::SavePngMemory(TPlatformSurface* Surface) { return EncodePng(Surface); }

int32_t TWinServices::ScreenDpi() {
    const TScreenDC screen;
    const int dpi = pGetDeviceCaps()(screen.Get(), LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

void CreateWinServices() {
    if (!CurrentPlatformServices()) SetCurrentPlatformServices(System::MakeRef<TWinServices>());
}

void RegisterWinCanvasBackend() {
    RegisterCanvasBackend(u"gdi", u"GDI do Windows (texto do sistema, ClearType; visual de referencia do modo Pintado)",
                          CanvasKindBackend, CanvasPlatformWindows, 0x0E, 50, nullptr, nullptr, CreateWinServices);
}

} // namespace Zyl
