// The GDI+ surface and services.
#include <windows.h>

#include <algorithm>
#include <cstring>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Streams.h"
#include "System.Remainder.Text.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.GdiPlus.h"
#include "Zyl.Platform.Png.h"

namespace Zyl {

using System::MakeRef;

namespace {

// GDI+'s own status for a block it cannot have.
constexpr TGpStatus kGpOutOfMemory = 3;

[[noreturn]] void RaiseBitmapFailed(TGpStatus status, int32_t width, int32_t height) {
    throw System::Exception(u"GdipCreateBitmapFromScan0 falhou (" + System::Int64ToStr(status) + u") para " +
                            System::Int64ToStr(width) + u"x" + System::Int64ToStr(height));
}

// The text rendering hint for the options: grey or mono when asked, else
// ClearType on an opaque surface and grey on one with alpha, where ClearType
// colour fringes would be blended.
int32_t TextRenderingHint(bool hasAlpha) {
    if (GdipOptions.TextMode == 1) return 3;
    if (GdipOptions.TextMode == 2) return 1;
    return hasAlpha ? 3 : 5;
}

} // namespace

TGdipSurface::TGdipSurface(int32_t width, int32_t height, bool hasAlpha)
    : width_(std::max(width, 1)), height_(std::max(height, 1)), hasAlpha_(hasAlpha) {
    if (!StartGdiplusOnce()) throw System::Exception(u"GDI+ indisponivel: " + GetGdipLastError());
    // Image headers choose these sizes: in 64 bits, so that a large one is
    // refused instead of wrapping to a small block under a full-size bitmap.
    const uint64_t count = uint64_t(width_) * uint64_t(height_);
    if (count * 4 > uint64_t(INT32_MAX)) RaiseBitmapFailed(kGpOutOfMemory, width_, height_);
    bits_ = AllocZeroed<uint32_t>(count);
    if (!hasAlpha_) std::fill_n(bits_.get(), count, 0xFF000000u);
    const TGpStatus status = Gdip.GdipCreateBitmapFromScan0(width_, height_, Stride(),
                                                            hasAlpha_ ? GpPixelFormat32bppPArgb : GpPixelFormat32bppRgb,
                                                            Bits(), bitmap_.Out());
    if (status != 0 || !bitmap_.Get()) RaiseBitmapFailed(status, width_, height_);
}

TRef<TPlatformSurface> TGdipSurface::CreateCompatible(int32_t width, int32_t height, bool hasAlpha) {
    return RaiseOnBadAlloc([&] { return TRef<TPlatformSurface>(MakeRef<TGdipSurface>(width, height, hasAlpha)); });
}

int32_t TGdipSurface::PixelAt(int32_t x, int32_t y) {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) return 0;
    const uint32_t p = bits_[size_t(y) * size_t(width_) + size_t(x)];
    const uint32_t a = hasAlpha_ ? p >> 24 : 255;
    const uint32_t b = Unpremultiply(p & 0xFF, a), g = Unpremultiply(p >> 8 & 0xFF, a),
                   r = Unpremultiply(p >> 16 & 0xFF, a);
    return int32_t(r | g << 8 | b << 16);
}

int32_t TGdipSurface::AlphaAt(int32_t x, int32_t y) {
    if (x < 0 || x >= width_ || y < 0 || y >= height_) return 0;
    return hasAlpha_ ? int32_t(bits_[size_t(y) * size_t(width_) + size_t(x)] >> 24) : 255;
}

bool TGdipSurface::SaveToPng(const std::u16string& fileName) { return SavePngFile(this, fileName); }

TGpGraphics* TGdipSurface::EnsureGdipGraphics() {
    if (graphics_.Get()) return graphics_.Get();
    const TGpStatus status = Gdip.GdipGetImageGraphicsContext(bitmap_.Get(), graphics_.Out());
    if (status != 0 || !graphics_.Get()) {
        graphics_.Reset();
        throw System::Exception(u"GdipGetImageGraphicsContext falhou (" + System::Int64ToStr(status) + u")");
    }
    if (!GdipOptions.Read) ReadGdipOptions();
    TGpGraphics* g = graphics_.Get();
    Gdip.GdipSetSmoothingMode(g, GdipOptions.Antialias ? GdipOptions.SmoothingMode : 3);
    Gdip.GdipSetPixelOffsetMode(g, 4);
    Gdip.GdipSetCompositingMode(g, 0);
    Gdip.GdipSetCompositingQuality(g, 1);
    Gdip.GdipSetInterpolationMode(g, 5);
    Gdip.GdipSetTextRenderingHint(g, TextRenderingHint(hasAlpha_));
    ClipOwnerSerial = 0;
    return g;
}

TRef<TGdipSurface> AsGdipSurface(TPlatformSurface* surface) {
    if (auto* own = dynamic_cast<TGdipSurface*>(surface)) return TRef<TGdipSurface>(own);
    TRef<TGdipSurface> copy = RaiseOnBadAlloc(
        [&] { return MakeRef<TGdipSurface>(surface->Width(), surface->Height(), surface->HasAlpha()); });
    const uint8_t* source = surface->Bits();
    if (!source) return copy;
    const int32_t rowBytes = 4 * copy->Width(), sourceStride = surface->Stride();
    for (int32_t row = 0; row < copy->Height(); ++row)
        std::memcpy(copy->Bits() + ptrdiff_t(row) * copy->Stride(), source + ptrdiff_t(row) * sourceStride,
                    size_t(rowBytes));
    return copy;
}

// ---- Services ------------------------------------------------------------------

TRef<TPlatformSurface> TGdipServices::CreateSurface(int32_t width, int32_t height, bool hasAlpha) {
    return RaiseOnBadAlloc([&] { return TRef<TPlatformSurface>(MakeRef<TGdipSurface>(width, height, hasAlpha)); });
}

TRef<TPlatformSurface> TGdipServices::LoadPngFile(const std::u16string& fileName) {
    return Zyl::LoadPngFile(fileName, *this);
}

TRef<TPlatformSurface> TGdipServices::LoadPngMemory(const uint8_t* data, int32_t size) {
    return DecodePng(data, size, *this);
}

System::TBytes TGdipServices::SavePngMemory(TPlatformSurface* surface) { return EncodePng(surface); }

int32_t TGdipServices::ScreenDpi() {
    static System::TLazyProc<decltype(&::GetDC)> getDC(u"user32.dll", "GetDC");
    static System::TLazyProc<decltype(&::ReleaseDC)> releaseDC(u"user32.dll", "ReleaseDC");
    static System::TLazyProc<decltype(&::GetDeviceCaps)> getDeviceCaps(u"gdi32.dll", "GetDeviceCaps");
    // Every function bound before the context is taken, so that nothing can
    // raise while it is held.
    const auto getCaps = getDeviceCaps();
    const auto release = releaseDC();
    const HDC screen = getDC()(nullptr);
    if (!screen) return 96;
    const int dpi = getCaps(screen, LOGPIXELSY);
    release(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

void CreateGdipServices() {
    if (CurrentPlatformServices() || !StartGdiplusOnce()) return;
    ReadGdipOptions();
    SetCurrentPlatformServices(RaiseOnBadAlloc([] { return TRef<TPlatformServices>(MakeRef<TGdipServices>()); }));
}

void RegisterGdipCanvasBackend() {
    RegisterCanvasBackend(u"gdiplus", u"GDI+ (bitmap sobre a memoria da superficie; antialias; texto ClearType do sistema)",
                          CanvasKindBackend, CanvasPlatformWindows, 0x9E, 30, GdipBackendAvailable,
                          GdipAutoChoiceAllowed, CreateGdipServices);
}

} // namespace Zyl
