// The "d2d" canvas backend: surfaces are WIC bitmaps drawn by Direct2D
// software render targets. d2d1.dll and dwrite.dll are loaded from the
// system folder when the backend first starts and the WIC factory comes
// through COM, so nothing of them is linked; a system without them simply
// loses this backend.
#pragma once

#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>
#include <wincodec.h>

#include <cstdint>
#include <string>

#include "System.Remainder.Text.h"
#include "Zyl.Platform.D2D.Com.h"
#include "Zyl.Platform.h"

namespace Zyl {

using System::TRef;

// ---- Loading -----------------------------------------------------------------

// Whether the backend may be tried: "ZYL_D2D_MISSING" unset (or exactly
// "0", or longer than 30 characters) and the three libraries present in
// the system folder. Decided once per process.
bool D2DUsable();
bool D2DBackendAvailable();
// "auto" never chooses this backend.
bool D2DAutoChoiceAllowed();
// Whether `name` (a file or a folder) exists in the system folder.
bool D2DDllPresent(const std::u16string& name);
// Loads, makes the factories and proves them with a test drawing, on the
// first call only; later calls give the first answer.
bool StartD2DOnce();
// One start attempt; on false GetD2DLastError says why.
bool LoadD2D();
std::u16string GetD2DLastError();
// Nil unless the backend started.
TComPtr<IWICImagingFactory> GetWicFactory();
TComPtr<ID2D1RenderTarget> GetD2DSharedTarget();
TComPtr<ID2D1Factory> GetD2DFactory();
TComPtr<IDWriteFactory> GetDWriteFactory();
// A result code in failure texts: signed decimal, so failures read negative.
inline std::u16string HResultText(HRESULT hr) { return System::Int64ToStr(int32_t(hr)); }
// The WIC pixel format and render-target properties of opaque and alpha
// surfaces.
REFWICPixelFormatGUID WicPixelFormat(bool HasAlpha);
D2D1_RENDER_TARGET_PROPERTIES RenderTargetProperties(bool HasAlpha);
// Installs TD2DServices as the current services when none are installed
// and the backend starts.
void CreateD2DServices();
// Puts the "d2d" entry into the canvas-backend registry.
void RegisterD2DCanvasBackend();

// ---- Services ----------------------------------------------------------------

class TD2DServices : public TPlatformServices {
public:
    TRef<TPlatformSurface> CreateSurface(int32_t Width, int32_t Height, bool HasAlpha) override;
    TRef<TPlatformSurface> LoadPngFile(const std::u16string& FileName) override;
    TRef<TPlatformSurface> LoadPngMemory(const uint8_t* Data, int32_t Size) override;
    System::TBytes SavePngMemory(TPlatformSurface* Surface) override;
    int32_t ScreenDpi() override;
    std::u16string DefaultFontName() override { return u"Segoe UI"; }
};

// ---- Surface -----------------------------------------------------------------

// 32-bit pixels in a WIC bitmap locked once for its whole life: opaque
// surfaces are BGR with the alpha byte kept at 255, alpha surfaces
// premultiplied BGRA. The canvas opens a drawing batch on the render target
// and the batch stays open until the pixels are needed.
class TD2DSurface : public TPlatformSurface {
public:
    // Raises Exception when the backend is not started or the bitmap cannot
    // be made; sizes below 1 become 1.
    TD2DSurface(int32_t Width, int32_t Height, bool HasAlpha);
    ~TD2DSurface() override;

    int32_t Width() override { return Width_; }
    int32_t Height() override { return Height_; }
    bool HasAlpha() override { return HasAlpha_; }
    uint8_t* Bits() override;
    int32_t Stride() override { return Stride_; }
    void FinishDrawing() override;
    TRef<TPlatformSurface> CreateCompatible(int32_t Width, int32_t Height, bool HasAlpha) override;
    bool SaveToPng(const std::u16string& FileName) override;
    int32_t PixelAt(int32_t X, int32_t Y) override;
    int32_t AlphaAt(int32_t X, int32_t Y) override;
    void* NativeHandle() override { return Bits_; }

    // Makes RenderTarget and DrawBrush when there is no target; raises.
    void EnsureRenderTarget();
    // Opens a batch unless one is open.
    void BeginSurfaceDraw();
    // Closes an open batch; a batch that fails to close drops the target.
    void FlushSurfaceDraw();
    void MarkSurfaceStale();
    // Pixels were written straight into memory: the next batch must carry
    // them into the render target first.
    void MarkMemoryAhead() { MemoryAhead = true; }
    // The up-to-date Direct2D copies of the pixels, or nil.
    TComPtr<ID2D1Bitmap> GetAlphaBitmap();
    TComPtr<ID2D1Bitmap> GetNoAlphaBitmap();
    TComPtr<ID2D1Bitmap> GetKeyedBitmap(int32_t Key);

    TComPtr<ID2D1RenderTarget> RenderTarget;
    TComPtr<ID2D1SolidColorBrush> DrawBrush;
    bool Drawing = false;
    // Wine's WIC render target keeps a texture of its own, which it never
    // reloads from the bitmap and copies over it at every EndDraw: while
    // set, the memory holds pixels the target has not seen.
    bool MemoryAhead = true;
    // Kept for tests: batches that failed to close, and the last EndDraw result.
    int32_t FailedBatches = 0;
    HRESULT LastEndDrawResult = S_OK;

private:
    void LockWicBits();
    // The pixels as they are now, drawn over the whole target.
    void CopyMemoryToTarget();
    TComPtr<ID2D1Bitmap> RefreshCopy(TComPtr<ID2D1Bitmap>& copy, bool& stale, bool ignoreAlpha);

    int32_t Width_ = 1;
    int32_t Height_ = 1;
    bool HasAlpha_ = false;
    TComPtr<IWICBitmap> WicBitmap;
    uint8_t* Bits_ = nullptr;
    int32_t Stride_ = 0;
    TComPtr<ID2D1Bitmap> AlphaBitmap;
    bool AlphaBitmapStale = true;
    TComPtr<ID2D1Bitmap> NoAlphaBitmap;
    bool NoAlphaBitmapStale = true;
    TComPtr<ID2D1Bitmap> KeyedBitmap;
    int32_t KeyColor = 0;
    bool KeyedBitmapStale = true;
};

// The source itself when it is a TD2DSurface, else a new one with its size,
// alpha flag and pixels.
TRef<TD2DSurface> AsD2DSurface(TPlatformSurface* Source);
// A Direct2D bitmap with a copy of the pixels, made on `target` (the shared
// target when nil); nil when it cannot be made.
TComPtr<ID2D1Bitmap> CreateSharedBitmap(int32_t Width, int32_t Height, const void* Pixels, int32_t Pitch,
                                        bool IgnoreAlpha, ID2D1RenderTarget* Target = nullptr);

} // namespace Zyl
