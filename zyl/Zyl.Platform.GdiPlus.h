// The "gdiplus" canvas backend: GDI+ (gdiplus.dll, bound by name at run
// time) drawing into the program's own memory surfaces. So far: when the
// backend counts as available, loading, binding and starting GDI+ once for
// the process with a proof drawing, the text of the last failure, the
// rendering options read from the environment, the surface and the services.
// The canvas is still to come, so the backend is not registered yet.
//
// Everything here is process-wide and lives until the process ends: a failed
// start is never retried and GDI+ is never shut down. UI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "Zyl.Platform.GdiPlus.Api.h"
#include "Zyl.Platform.Soft.Support.h"
#include "Zyl.Platform.h"

namespace Zyl {

struct TGdipOptions {
    bool Read = false;
    // "ZYL_GDIPLUS_AA" = "0" turns smoothing off for every surface.
    bool Antialias = true;
    // GDI+ smoothing mode: 4 antialias, 5 (8 x 8) or 2 (high quality).
    int32_t SmoothingMode = 4;
    // GDI+ text rendering hint: 0 the system's, 1 grey, 2 mono.
    int32_t TextMode = 0;
    // Positioned layout (true) or string layout of text runs.
    bool LayoutMode = true;
};

extern TGdipOptions GdipOptions;

// Starts again from the defaults and applies "ZYL_GDIPLUS_AA", "_SMOOTH",
// "_TEXT" and "_LAYOUT" (trimmed; the last two lower-cased). Runs at every
// factory run.
void ReadGdipOptions();

// "auto" never chooses this backend.
bool GdipAutoChoiceAllowed();

// The availability test: "ZYL_GDIPLUS_MISSING" unset (a value of 31 or more
// characters, or exactly "0", counts as unset) and gdiplus.dll in the system
// folder. Decided once.
bool GdipUsable();
bool GdipBackendAvailable();
// gdiplus.dll (a file or a folder) exists in the system folder.
bool GdiplusDllPresent();
// Loads, binds, starts and proves GDI+ on the first call only; the result
// stays in force. An Exception raised in between is kept as the last error.
bool StartGdiplusOnce();
// False with the reason in the last error.
bool LoadGdiplus();
std::u16string GetGdipLastError();

// 32-bit pixels in our own memory with a GDI+ bitmap over them, and one
// graphics context, made on first need, shared by the surface's canvases.
class TGdipSurface : public TPlatformSurface {
public:
    // Sizes below 1 become 1. Raises Exception when GDI+ is not started or
    // the bitmap cannot be made (a block above 2^31 - 1 bytes is refused).
    TGdipSurface(int32_t width, int32_t height, bool hasAlpha);

    int32_t Width() override { return width_; }
    int32_t Height() override { return height_; }
    bool HasAlpha() override { return hasAlpha_; }
    uint8_t* Bits() override { return reinterpret_cast<uint8_t*>(bits_.get()); }
    int32_t Stride() override { return 4 * width_; }
    TRef<TPlatformSurface> CreateCompatible(int32_t width, int32_t height, bool hasAlpha) override;
    bool SaveToPng(const std::u16string& fileName) override;
    int32_t PixelAt(int32_t x, int32_t y) override;
    int32_t AlphaAt(int32_t x, int32_t y) override;
    void* NativeHandle() override { return bitmap_.Get(); }

    // Makes the graphics context and sets its rendering state when there is
    // none; raises Exception when GDI+ refuses, and tries again next time.
    TGpGraphics* EnsureGdipGraphics();

    // The canvas whose clip is set on the graphics context; 0 when none is.
    int64_t ClipOwnerSerial = 0;

private:
    int32_t width_, height_;
    bool hasAlpha_;
    // Released in the reverse order: graphics, bitmap, pixels.
    THeapBlock<uint32_t> bits_;
    TGdipImage bitmap_;
    TGdipGraphics graphics_;
};

// The surface itself when it is a GDI+ one, else a new GDI+ copy of its
// pixels (its initial content when it has none).
TRef<TGdipSurface> AsGdipSurface(TPlatformSurface* surface);

class TGdipServices : public TPlatformServices {
public:
    TRef<TPlatformSurface> CreateSurface(int32_t width, int32_t height, bool hasAlpha) override;
    // Nil for a folder, a missing file and one of 7 bytes or less.
    TRef<TPlatformSurface> LoadPngFile(const std::u16string& fileName) override;
    TRef<TPlatformSurface> LoadPngMemory(const uint8_t* data, int32_t size) override;
    System::TBytes SavePngMemory(TPlatformSurface* surface) override;
    // The screen's vertical pixels per inch; 96 when it reports none.
    int32_t ScreenDpi() override;
    std::u16string DefaultFontName() override { return u"Segoe UI"; }
};

// Installs TGdipServices as the platform services when none are installed
// and GDI+ starts, reading the options afresh; otherwise does nothing.
void CreateGdipServices();

} // namespace Zyl
