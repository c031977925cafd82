// Platform services, surfaces and a canvas in plain memory, for the widget
// library's tests: real pixels, a settable row stride whose padding holds a
// canary, a count of live surfaces, a log of the calls that matter, and
// switches that make the usual failures happen on demand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Zyl.Platform.h"

namespace Zyl::Testing {

// What the padding bytes of every row hold until someone writes there.
constexpr uint8_t kPaddingCanary = 0xA5;

// The BGRA pixel (0xAARRGGBB read little-endian) that drawing in Color
// (red in the low byte) leaves: opaque, red and blue swapped.
uint32_t PixelOfColor(int32_t Color);
// The colour (red in the low byte) of a BGRA pixel.
int32_t ColorOfPixel(uint32_t Pixel);

class TMemoryServices;

class TMemorySurface : public TPlatformSurface {
public:
    // Stride 0 means Width × 4; a larger one pads every row with the canary.
    // Owner (counted, may be nil) counts the surface while it lives and logs
    // its FinishDrawing calls.
    TMemorySurface(int32_t Width, int32_t Height, bool HasAlpha, int32_t Stride = 0,
                   TMemoryServices* Owner = nullptr);
    ~TMemorySurface() override;

    int32_t Width() override { return width_; }
    int32_t Height() override { return height_; }
    bool HasAlpha() override { return hasAlpha_; }
    // A TMemoryCanvas.
    TRef<TPlatformCanvas> CreateCanvas() override;
    // Nil when NilBits is set, as a GDI surface whose DIB section failed.
    uint8_t* Bits() override;
    int32_t Stride() override { return stride_; }
    // Counted and logged; raises when the owner's FinishDrawingThrows is set.
    void FinishDrawing() override;
    // Through the owner when there is one (same stride padding), else alone.
    TRef<TPlatformSurface> CreateCompatible(int32_t Width, int32_t Height, bool HasAlpha) override;
    bool SaveToPng(const std::u16string& FileName) override;
    int32_t PixelAt(int32_t X, int32_t Y) override;
    int32_t AlphaAt(int32_t X, int32_t Y) override;
    void* NativeHandle() override { return nullptr; }

    // Direct access for the tests, whatever NilBits says.
    uint32_t Pixel(int32_t X, int32_t Y) const;
    void SetPixelValue(int32_t X, int32_t Y, uint32_t Pixel);
    void Fill(uint32_t Pixel);
    // Each pixel from Fn(x, y).
    template <class Fn>
    void FillWith(Fn fn) {
        for (int32_t y = 0; y < height_; ++y)
            for (int32_t x = 0; x < width_; ++x) SetPixelValue(x, y, fn(x, y));
    }
    // True while every padding byte still holds the canary.
    bool PaddingIntact() const;
    // The pixel memory itself (Height × Stride bytes).
    uint8_t* Memory() { return memory_.data(); }

    bool NilBits = false;
    int32_t FinishDrawingCount = 0;

private:
    int32_t width_;
    int32_t height_;
    bool hasAlpha_;
    int32_t stride_;
    std::vector<uint8_t> memory_;
    TRef<TMemoryServices> owner_;
};

class TMemoryServices : public TPlatformServices {
public:
    // Logged; nil when FailCreateSurface is set.
    TRef<TPlatformSurface> CreateSurface(int32_t Width, int32_t Height, bool HasAlpha) override;
    // No PNG in memory: nil, nil and empty.
    TRef<TPlatformSurface> LoadPngFile(const std::u16string& FileName) override;
    TRef<TPlatformSurface> LoadPngMemory(const uint8_t* Data, int32_t Size) override;
    System::TBytes SavePngMemory(TPlatformSurface* Surface) override;

    // Bytes added to every row of the surfaces it makes (the stride is
    // Width × 4 + RowPadding).
    int32_t RowPadding = 0;
    // Failure switches.
    bool FailCreateSurface = false;
    bool NilBitsSurfaces = false;
    bool FinishDrawingThrows = false;

    // Surfaces made by these services (or given them as owner) still alive.
    int32_t LiveSurfaces = 0;
    // "CreateSurface W H A" (A 0 or 1; "-> nil" appended on failure) and
    // "FinishDrawing W H", in call order.
    std::vector<std::string> Calls;
};

// A canvas that draws into a TMemorySurface: origin, rectangle clipping
// with a Save/Restore stack, FillRect, SetPixel and GetPixel. Every other
// operation keeps the base's abstract raise.
class TMemoryCanvas : public TPlatformCanvas {
public:
    explicit TMemoryCanvas(TMemorySurface* Surface);

    void Save() override;
    void Restore() override;
    void SetOrigin(int32_t X, int32_t Y) override;
    void GetOrigin(int32_t& X, int32_t& Y) override;
    void ClipRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void ResetClip() override;
    // The clip in canvas coordinates (the surface when none was set).
    bool GetClipBox(int32_t& Left, int32_t& Top, int32_t& Right, int32_t& Bottom) override;
    void FillRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Color) override;
    void SetPixel(int32_t X, int32_t Y, int32_t Color) override;
    // 0 outside the clip or the surface.
    int32_t GetPixel(int32_t X, int32_t Y) override;
    TPlatformSurface* GetSurface() override { return surface_.Get(); }

    // Save depth, for tests that check Save and Restore pair up.
    int32_t SaveDepth() const { return int32_t(saved_.size()); }

private:
    struct TState {
        int64_t OriginX = 0, OriginY = 0;
        // Device clip, already within the surface.
        int64_t ClipLeft = 0, ClipTop = 0, ClipRight = 0, ClipBottom = 0;
    };
    // Writes Pixel into the device rectangle, cut to the clip.
    void Paint(int64_t Left, int64_t Top, int64_t Right, int64_t Bottom, uint32_t Pixel);

    TRef<TMemorySurface> surface_;
    TState state_;
    std::vector<TState> saved_;
};

// Installs services for one test and puts the previous ones back after it.
class TScopedPlatformServices {
public:
    explicit TScopedPlatformServices(TRef<TPlatformServices> Services);
    ~TScopedPlatformServices();
    TScopedPlatformServices(const TScopedPlatformServices&) = delete;
    TScopedPlatformServices& operator=(const TScopedPlatformServices&) = delete;

private:
    TRef<TPlatformServices> previous_;
};

} // namespace Zyl::Testing
