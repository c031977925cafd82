// The "gdiplus" canvas backend: GDI+ (gdiplus.dll, bound by name at run
// time) drawing into the program's own memory surfaces: when the backend
// counts as available, loading, binding and starting GDI+ once for the
// process with a proof drawing, the text of the last failure, the rendering
// options read from the environment, the surface, the canvas and the
// services.
//
// Everything here is process-wide and lives until the process ends: a failed
// start is never retried and GDI+ is never shut down. UI thread only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "Zyl.Platform.FloatFit.h"
#include "Zyl.Platform.GdiPlus.Api.h"
#include "Zyl.Platform.Soft.Pixels.h"
#include "Zyl.Platform.Soft.Support.h"
#include "Zyl.Platform.Soft.h"
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

// What the start measured of the one-pixel pen: 0 when a line through the
// middle of pixel row y (y + 0.5 with the half-pixel offset the surfaces ask
// for) lands on row y; -0.5 when it lands on row y + 1, as with a GDI+ that
// places thin pens as if pixel centres were whole coordinates (Wine's). The
// canvas adds it to the centre lines of its one-pixel outlines.
extern float GdipThinPenShift;

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
    TRef<TPlatformCanvas> CreateCanvas() override;
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
    // A second bitmap over the same pixels that ignores alpha, for drawing an
    // alpha surface as opaque or colour-keyed; made on first need, nil when
    // GDI+ refuses it.
    TGpImage* OpaqueBitmap();
    TGpImage* Bitmap() const { return bitmap_.Get(); }

    // The canvas whose clip is set on the graphics context; 0 when none is.
    int64_t ClipOwnerSerial = 0;

private:
    int32_t width_, height_;
    bool hasAlpha_;
    // Released in the reverse order: graphics, bitmap, pixels.
    THeapBlock<uint32_t> bits_;
    TGdipImage bitmap_;
    TGdipImage opaqueBitmap_;
    TGdipGraphics graphics_;
};

class TGdipFontEntry;

// The drawing interface on one TGdipSurface. Shapes, images and text go
// through GDI+ on the surface's shared graphics context; fills, frames,
// pixels, focus rectangles and flood fills are written straight into the
// surface memory, which keeps them pixel-exact. Pen modes other than copy
// are applied by drawing into a transparent layer that is then combined
// into the pixels.
class TGdipCanvas : public TPlatformCanvas {
public:
    explicit TGdipCanvas(TGdipSurface* surface);
    ~TGdipCanvas() override;

    void Save() override;
    void Restore() override;
    void SetPen(int32_t color, int32_t width, int32_t style) override;
    void SetBrush(int32_t color, int32_t style) override;
    void SetFont(const std::u16string& name, int32_t height, int32_t style, int32_t color) override;
    void SetTextAngle(int32_t angle) override;
    void SetBackground(int32_t color, bool transparent) override;
    void SetRop2(int32_t mode) override;
    void SetOrigin(int32_t x, int32_t y) override;
    void GetOrigin(int32_t& x, int32_t& y) override;
    void ClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void ClipExclude(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void ResetClip() override;
    bool GetClipBox(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) override;
    void LineTo(int32_t x, int32_t y) override;
    void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void RoundRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t cornerWidth,
                   int32_t cornerHeight) override;
    void Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void Arc(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1, int32_t x2,
             int32_t y2) override;
    void Chord(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1, int32_t x2,
               int32_t y2) override;
    void Pie(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x1, int32_t y1, int32_t x2,
             int32_t y2) override;
    void Polyline(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex) override;
    void Polygon(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex, bool winding) override;
    void PolyBezier(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex) override;
    void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t color) override;
    void FillRectBrush(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void FrameRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void DrawFocusRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void SetPixel(int32_t x, int32_t y, int32_t color) override;
    int32_t GetPixel(int32_t x, int32_t y) override;
    void FloodFill(int32_t x, int32_t y, int32_t color, bool toBorder) override;
    void TextOut(int32_t x, int32_t y, const std::u16string& text) override;
    void TextRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x, int32_t y,
                  const std::u16string& text, bool opaque) override;
    void TextExtent(const std::u16string& text, int32_t& width, int32_t& height) override;
    void FontMetrics(int32_t& height, int32_t& ascent, int32_t& descent, int32_t& internalLeading,
                     int32_t& externalLeading, int32_t& aveCharWidth, int32_t& maxCharWidth) override;
    void DrawSurfaceEx(TPlatformSurface* source, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                       int32_t srcBottom, int32_t dstLeft, int32_t dstTop, int32_t dstRight, int32_t dstBottom,
                       int32_t rop, int32_t opacity, bool useAlpha) override;
    void DrawSurfaceTransparent(TPlatformSurface* source, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                                int32_t srcBottom, int32_t dstLeft, int32_t dstTop, int32_t dstRight,
                                int32_t dstBottom, int32_t transparentColor) override;
    TPlatformSurface* GetSurface() override { return surface_.Get(); }

    // The GDI font of the canvas's current font entry (nil before the first
    // text operation); tests watch its life through it.
    void* GdiFontHandle() const;

private:
    // Device pixels in 64 bits: an origin, a pen width or an edge moved by
    // one never wraps them. They meet int32 only at the pixel routines.
    using TRect = TDeviceRect;
    TRect Device(int32_t left, int32_t top, int32_t right, int32_t bottom) const;
    TDevicePoint Device(int32_t x, int32_t y) const;

    // False when nothing can be drawn in the device rectangle; else the
    // surface's graphics exists and carries this canvas's clip.
    bool PrepareGdipGraphics(const TRect& bounds);
    // Kind: a pen style 0..4, or 9 for the wide pen.
    TGpPen* UpdateGdipPen(int32_t kind);
    TGpBrush* UpdateGdipBrush();
    TGpBrush* SolidBrushOf(int32_t color);
    // The pen kind of outlines: 9 for a wide pen, else the pen style.
    int32_t OutlineKind() const;
    // Where the centre line of the current pen's outline runs within its
    // pixels: their middle, moved by GdipThinPenShift for a one-pixel pen.
    float PenCentre() const;
    // Runs `draw` again inside a layer when a pen mode other than copy is in
    // force and no layer is active, and says whether it took the drawing
    // over (drawn or skipped). The state comes back whatever `draw` does.
    template <class F>
    bool RanInRopLayer(const TRect& bounds, F&& draw);
    bool BeginGdipRopLayer(const TRect& bounds);
    // Puts the saved state and the main surface back; with `combine` the
    // layer's pixels are combined into the main surface first.
    void EndGdipRopLayer(bool combine);

    void FillRectSolidPixels(const TRect& r, int32_t color);
    void FillRectBrushPixels(const TRect& r);
    // Where the surface drawn on lies on the main surface, whose device
    // pixels the hatch grid follows: the layer's corner while one is active.
    struct THatchShift {
        int32_t X, Y;
    };
    THatchShift HatchShift() const { return layerActive_ ? THatchShift{layerLeft_, layerTop_} : THatchShift{0, 0}; }

    // Text.
    void SelectGdipFont();
    void DrawGdipText(int32_t x, int32_t y, const std::u16string& text, bool backgroundAllowed);

    // Lines, shapes and images.
    void DrawGdipThinLine(TDevicePoint from, TDevicePoint to);
    void DrawGdipWideLine(TDevicePoint from, TDevicePoint to);
    // The surface drawn on, grown by as far as the pen reaches beyond a
    // line's centre: lines too far out for a float are cut to it.
    TDeviceRect LineArea() const;
    void StrokePolyline(const std::vector<TDevicePoint>& points, bool closed);
    void DrawArcFigure(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3,
                       int32_t x4, int32_t y4, int32_t kind);
    void DrawSurfaceImage(TGdipSurface* source, const TRect& src, const TRect& dst, int32_t alpha, int32_t mode,
                          int32_t keyColor);
    // The source itself, or a copy when it is the surface drawn on.
    TRef<TGdipSurface> DistinctSource(TPlatformSurface* source);
    TRect PointBounds(const std::vector<TDevicePoint>& points) const;
    std::vector<TDevicePoint> DevicePoints(const TPlatformPoint* points, int32_t count) const;

    TSoftCanvasState state_;
    TRef<TGdipSurface> surface_;
    std::vector<TSoftCanvasState> saveStack_;
    std::vector<int32_t> scratchRects_;
    int64_t serial_;
    bool clipDirty_ = true;

    bool layerActive_ = false;
    TSoftCanvasState layerSavedState_;
    TRef<TGdipSurface> layerSurface_;
    TRef<TGdipSurface> layerMainSurface_;
    int32_t layerLeft_ = 0, layerTop_ = 0;

    TGdipPen pen_;
    int32_t penCacheColor_ = 0, penCacheWidth_ = 0, penCacheStyle_ = -1;
    TGdipBrush solidBrush_;
    // The hatch brush's bitmap lies over hatchPixels_, which must not move
    // while it exists; declared in this order, the brush goes first, then
    // its bitmap, then the pixels.
    std::array<uint32_t, 64> hatchPixels_{};
    TGdipImage hatchBitmap_;
    TGdipBrush hatchBrush_;
    std::u16string hatchKey_;

    std::u16string currentFontKey_;
    TRef<TGdipFontEntry> currentFont_;
    bool fontSelected_ = false;
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

// The registry entry "gdiplus": only ever chosen by name, never by "auto".
void RegisterGdipCanvasBackend();

} // namespace Zyl
