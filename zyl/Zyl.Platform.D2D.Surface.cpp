// Surfaces of the "d2d" backend: WIC bitmaps locked once for their whole
// life, drawn in batches by a software render target of their own.
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "System.Remainder.Text.h"
#include "Zyl.Platform.D2D.h"
#include "Zyl.Platform.Png.h"
#include "Zyl.Platform.Soft.Support.h"

namespace Zyl {

using System::Exception;
using System::MakeRef;

TD2DSurface::TD2DSurface(int32_t width, int32_t height, bool hasAlpha)
    : Width_(std::max(width, 1)), Height_(std::max(height, 1)), HasAlpha_(hasAlpha) {
    TComPtr<IWICImagingFactory> factory = GetWicFactory();
    if (!factory) throw Exception(u"Direct2D indisponivel: " + GetD2DLastError());
    const std::u16string failure = u"IWICImagingFactory.CreateBitmap falhou (";
    const std::u16string size = u") para " + System::Int64ToStr(Width_) + u"x" + System::Int64ToStr(Height_);
    // Image files choose these sizes: rows are addressed with an int32
    // stride, so no surface may pass 2^31 - 1 bytes.
    if (!SurfaceSizeAllowed(Width_, Height_)) throw Exception(failure + HResultText(E_OUTOFMEMORY) + size);
    const HRESULT hr =
        factory->CreateBitmap(UINT(Width_), UINT(Height_), WicPixelFormat(HasAlpha_), WICBitmapCacheOnLoad,
                              WicBitmap.Out());
    if (hr != S_OK || !WicBitmap) throw Exception(failure + HResultText(hr) + size);
    LockWicBits();
    if (!Bits_) throw Exception(u"Lock do bitmap WIC falhou");
    if (!HasAlpha_) {
        for (int32_t y = 0; y < Height_; ++y) {
            uint32_t* row = reinterpret_cast<uint32_t*>(Bits_ + int64_t(y) * Stride_);
            std::fill_n(row, Width_, 0xFF000000u);
        }
    }
    MarkSurfaceStale();
}

TD2DSurface::~TD2DSurface() { FlushSurfaceDraw(); }

void TD2DSurface::LockWicBits() {
    const WICRect whole{0, 0, Width_, Height_};
    TComPtr<IWICBitmapLock> lock;
    WicBitmap->Lock(&whole, WICBitmapLockRead | WICBitmapLockWrite, lock.Out());
    if (!lock) return;
    UINT size = 0;
    BYTE* data = nullptr;
    UINT stride = 0;
    lock->GetDataPointer(&size, &data);
    lock->GetStride(&stride);
    // Every row is written with this stride: a lock that reports a block
    // too small for it gives no address at all.
    const int64_t needed = int64_t(stride) * (Height_ - 1) + int64_t(Width_) * 4;
    if (!data || stride < uint32_t(Width_) * 4 || stride > INT32_MAX || int64_t(size) < needed) return;
    Bits_ = data;
    Stride_ = int32_t(stride);
}

uint8_t* TD2DSurface::Bits() {
    FlushSurfaceDraw();
    MarkSurfaceStale();
    MarkMemoryAhead();
    return Bits_;
}

void TD2DSurface::FinishDrawing() {
    FlushSurfaceDraw();
    MarkSurfaceStale();
}

TRef<TPlatformSurface> TD2DSurface::CreateCompatible(int32_t width, int32_t height, bool hasAlpha) {
    return MakeRef<TD2DSurface>(width, height, hasAlpha);
}

bool TD2DSurface::SaveToPng(const std::u16string& fileName) { return SavePngFile(this, fileName); }

int32_t TD2DSurface::PixelAt(int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= Width_ || y >= Height_) return 0;
    FlushSurfaceDraw();
    uint32_t pixel;
    std::memcpy(&pixel, Bits_ + int64_t(y) * Stride_ + int64_t(x) * 4, 4);
    return PixelColour(pixel, HasAlpha_);
}

int32_t TD2DSurface::AlphaAt(int32_t x, int32_t y) {
    if (x < 0 || y < 0 || x >= Width_ || y >= Height_) return 0;
    if (!HasAlpha_) return 255;
    FlushSurfaceDraw();
    return Bits_[int64_t(y) * Stride_ + int64_t(x) * 4 + 3];
}

namespace {

int32_t RenderTargetFailuresLeft = 0;
int32_t BatchFailuresLeft = 0;

} // namespace

void FailD2DRenderTargetsForTests(int32_t count) { RenderTargetFailuresLeft = count; }
void FailD2DBatchesForTests(int32_t count) { BatchFailuresLeft = count; }

void TD2DSurface::EnsureRenderTarget() {
    if (RenderTarget) return;
    TComPtr<ID2D1Factory> factory = GetD2DFactory();
    HRESULT hr = E_FAIL;
    if (RenderTargetFailuresLeft > 0) {
        --RenderTargetFailuresLeft;
        factory.Reset();
    }
    if (factory) {
        const D2D1_RENDER_TARGET_PROPERTIES properties = RenderTargetProperties(HasAlpha_);
        hr = factory->CreateWicBitmapRenderTarget(WicBitmap.Get(), &properties, RenderTarget.Out());
    }
    if (hr != S_OK || !RenderTarget) {
        RenderTarget.Reset();
        throw Exception(u"CreateWicBitmapRenderTarget falhou (" + HResultText(hr) + u")");
    }
    RenderTarget->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
    RenderTarget->SetTextAntialiasMode(HasAlpha_ ? D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE
                                                 : D2D1_TEXT_ANTIALIAS_MODE_CLEARTYPE);
    const D2D1_COLOR_F black = D2D1::ColorF(0.0f, 0.0f, 0.0f, 1.0f);
    RenderTarget->CreateSolidColorBrush(&black, nullptr, DrawBrush.Out());
    // A new target starts from its own blank texture under Wine.
    MarkMemoryAhead();
}

void TD2DSurface::BeginSurfaceDraw() {
    if (Drawing) return;
    EnsureRenderTarget();
    RenderTarget->BeginDraw();
    Drawing = true;
    MarkSurfaceStale();
    if (MemoryAhead) CopyMemoryToTarget();
}

void TD2DSurface::CopyMemoryToTarget() {
    TComPtr<ID2D1Bitmap> pixels =
        CreateSharedBitmap(Width_, Height_, Bits_, Stride_, !HasAlpha_, RenderTarget.Get());
    RenderTarget->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 0.0f));
    if (pixels) {
        const D2D1_RECT_F whole = D2D1::RectF(0.0f, 0.0f, float(Width_), float(Height_));
        RenderTarget->DrawBitmap(pixels.Get(), &whole, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR,
                                 &whole);
    }
    MemoryAhead = false;
}

void TD2DSurface::FlushSurfaceDraw() {
    if (!Drawing) return;
    Drawing = false;
    LastEndDrawResult = RenderTarget->EndDraw(nullptr, nullptr);
    if (BatchFailuresLeft > 0) {
        --BatchFailuresLeft;
        LastEndDrawResult = D2DERR_RECREATE_TARGET;
    }
    if (LastEndDrawResult != S_OK) {
        ++FailedBatches;
        DrawBrush.Reset();
        RenderTarget.Reset();
    }
}

void TD2DSurface::MarkSurfaceStale() { AlphaBitmapStale = NoAlphaBitmapStale = KeyedBitmapStale = true; }

TComPtr<ID2D1Bitmap> TD2DSurface::RefreshCopy(TComPtr<ID2D1Bitmap>& copy, bool& stale, bool ignoreAlpha) {
    FlushSurfaceDraw();
    if (!copy || stale) {
        copy = CreateSharedBitmap(Width_, Height_, Bits_, Stride_, ignoreAlpha);
        stale = false;
    }
    return copy;
}

TComPtr<ID2D1Bitmap> TD2DSurface::GetAlphaBitmap() { return RefreshCopy(AlphaBitmap, AlphaBitmapStale, false); }

TComPtr<ID2D1Bitmap> TD2DSurface::GetNoAlphaBitmap() {
    return RefreshCopy(NoAlphaBitmap, NoAlphaBitmapStale, true);
}

TComPtr<ID2D1Bitmap> TD2DSurface::GetKeyedBitmap(int32_t key) {
    FlushSurfaceDraw();
    if (KeyedBitmap && !KeyedBitmapStale && KeyColor == key) return KeyedBitmap;
    std::vector<uint32_t> block;
    ResizeOrRaise(block, size_t(Width_) * size_t(Height_));
    const int32_t plainKey = key & 0xFFFFFF;
    for (int32_t y = 0; y < Height_; ++y) {
        const uint8_t* row = Bits_ + int64_t(y) * Stride_;
        for (int32_t x = 0; x < Width_; ++x) {
            uint32_t pixel;
            std::memcpy(&pixel, row + int64_t(x) * 4, 4);
            block[size_t(y) * size_t(Width_) + size_t(x)] =
                PixelColour(pixel, HasAlpha_) == plainKey ? 0 : pixel | 0xFF000000u;
        }
    }
    KeyedBitmap = CreateSharedBitmap(Width_, Height_, block.data(), Width_ * 4, false);
    KeyColor = key;
    KeyedBitmapStale = false;
    return KeyedBitmap;
}

TRef<TD2DSurface> AsD2DSurface(TPlatformSurface* source) {
    if (auto* own = dynamic_cast<TD2DSurface*>(source)) return TRef<TD2DSurface>(own);
    auto result = MakeRef<TD2DSurface>(source->Width(), source->Height(), source->HasAlpha());
    if (const uint8_t* from = source->Bits()) {
        uint8_t* to = result->Bits();
        const int64_t fromStride = source->Stride(), toStride = result->Stride();
        for (int32_t y = 0; y < result->Height(); ++y)
            std::memcpy(to + y * toStride, from + y * fromStride, size_t(result->Width()) * 4);
    }
    result->FlushSurfaceDraw();
    result->MarkSurfaceStale();
    result->MarkMemoryAhead();
    return result;
}

TComPtr<ID2D1Bitmap> CreateSharedBitmap(int32_t width, int32_t height, const void* pixels, int32_t pitch,
                                        bool ignoreAlpha, ID2D1RenderTarget* target) {
    TComPtr<ID2D1RenderTarget> shared;
    if (!target) {
        shared = GetD2DSharedTarget();
        target = shared.Get();
    }
    TComPtr<ID2D1Bitmap> bitmap;
    if (!target) return bitmap;
    D2D1_BITMAP_PROPERTIES properties{};
    properties.pixelFormat.format = DXGI_FORMAT_B8G8R8A8_UNORM;
    properties.pixelFormat.alphaMode = ignoreAlpha ? D2D1_ALPHA_MODE_IGNORE : D2D1_ALPHA_MODE_PREMULTIPLIED;
    properties.dpiX = properties.dpiY = 96.0f;
    const HRESULT hr =
        target->CreateBitmap(D2D1::SizeU(UINT32(width), UINT32(height)), pixels, UINT32(pitch), &properties,
                             bitmap.Out());
    if (hr != S_OK) bitmap.Reset();
    return bitmap;
}

} // namespace Zyl
