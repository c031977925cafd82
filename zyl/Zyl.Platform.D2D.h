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
#include <functional>
#include <string>

#include <vector>

#include "System.Remainder.Text.h"
#include "Zyl.Platform.D2D.Com.h"
#include "Zyl.Platform.D2D.Support.h"
#include "Zyl.Platform.FloatFit.h"
#include "Zyl.Platform.Soft.Pixels.h"
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
    TRef<TPlatformCanvas> CreateCanvas() override;

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

// For tests: the next `count` render targets fail to be made, as a system
// out of resources would refuse them; the next `count` batches fail to
// close, as a lost target's would.
void FailD2DRenderTargetsForTests(int32_t count);
void FailD2DBatchesForTests(int32_t count);

// ---- Canvas ------------------------------------------------------------------

struct TD2DCanvasState {
    int32_t PenColor = 0;
    int32_t PenWidth = 1;
    // 0 solid, 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot, 5 none.
    int32_t PenStyle = 0;
    int32_t BrushColor = 0xFFFFFF;
    // 0 solid, 1 none, 2..7 hatches.
    int32_t BrushStyle = 0;
    std::u16string FontName;
    int32_t FontHeight = -12;
    int32_t FontStyle = 0;
    int32_t FontColor = 0;
    int32_t TextAngle = 0;
    int32_t BackColor = 0xFFFFFF;
    bool BackTransparent = false;
    int32_t Rop2 = 4;
    int32_t OriginX = 0;
    int32_t OriginY = 0;
    TClipRectArray ClipRects;
    int32_t ClipCount = 0;
};

// Draws on a TD2DSurface with GDI's pixel rules: right and bottom edges
// excluded, a line's last pixel left out, one-pixel pens on whole pixels,
// shapes never antialiased. Each primitive is drawn once per clip
// rectangle; pen modes other than copy draw into a transparent layer that
// is then combined into the pixels.
class TD2DCanvas : public TPlatformCanvas {
public:
    explicit TD2DCanvas(TD2DSurface* Surface);
    ~TD2DCanvas() override;

    void Save() override;
    void Restore() override;
    void SetPen(int32_t Color, int32_t Width, int32_t Style) override;
    void SetBrush(int32_t Color, int32_t Style) override;
    void SetFont(const std::u16string& Name, int32_t Height, int32_t Style, int32_t Color) override;
    void SetTextAngle(int32_t Angle) override;
    void SetBackground(int32_t Color, bool Transparent) override;
    void SetRop2(int32_t Mode) override;
    void SetOrigin(int32_t X, int32_t Y) override;
    void GetOrigin(int32_t& X, int32_t& Y) override;
    void ClipRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void ClipExclude(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void ResetClip() override;
    bool GetClipBox(int32_t& Left, int32_t& Top, int32_t& Right, int32_t& Bottom) override;
    void LineTo(int32_t X, int32_t Y) override;
    void Rectangle(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void RoundRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t CornerWidth,
                   int32_t CornerHeight) override;
    void Ellipse(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void Arc(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1, int32_t X2,
             int32_t Y2) override;
    void Chord(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1, int32_t X2,
               int32_t Y2) override;
    void Pie(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1, int32_t X2,
             int32_t Y2) override;
    void Polyline(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex) override;
    void Polygon(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex, bool Winding) override;
    void PolyBezier(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex) override;
    void FillRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Color) override;
    void FillRectBrush(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void FrameRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void DrawFocusRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) override;
    void SetPixel(int32_t X, int32_t Y, int32_t Color) override;
    int32_t GetPixel(int32_t X, int32_t Y) override;
    void FloodFill(int32_t X, int32_t Y, int32_t Color, bool ToBorder) override;
    void TextOut(int32_t X, int32_t Y, const std::u16string& Text) override;
    void TextRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X, int32_t Y,
                  const std::u16string& Text, bool Opaque) override;
    void TextExtent(const std::u16string& Text, int32_t& Width, int32_t& Height) override;
    void FontMetrics(int32_t& Height, int32_t& Ascent, int32_t& Descent, int32_t& InternalLeading,
                     int32_t& ExternalLeading, int32_t& AveCharWidth, int32_t& MaxCharWidth) override;
    void DrawSurfaceEx(TPlatformSurface* Surface, int32_t SrcLeft, int32_t SrcTop, int32_t SrcRight,
                       int32_t SrcBottom, int32_t DstLeft, int32_t DstTop, int32_t DstRight, int32_t DstBottom,
                       int32_t Rop, int32_t Opacity, bool UseAlpha) override;
    void DrawSurfaceTransparent(TPlatformSurface* Surface, int32_t SrcLeft, int32_t SrcTop, int32_t SrcRight,
                                int32_t SrcBottom, int32_t DstLeft, int32_t DstTop, int32_t DstRight,
                                int32_t DstBottom, int32_t TransparentColor) override;
    TPlatformSurface* GetSurface() override { return Surface.Get(); }

    // The surface drawn on: the layer's while a pen-mode layer is active,
    // when TargetSurface holds the real one.
    TRef<TD2DSurface> Surface;
    TRef<TD2DSurface> TargetSurface;
    TD2DCanvasState CurrentState;
    bool LayerActive = false;
    HFONT FontHandle = nullptr;

private:
    using TPieceDraw = std::function<void(const D2D1_RECT_F& piece)>;
    // The drawing loop: `draw` once per clip piece of the device bounds,
    // with the piece pushed as a clip when asked and needed.
    void ForEachPiece(int64_t left, int64_t top, int64_t right, int64_t bottom, bool pushClip,
                      const TPieceDraw& draw);
    int32_t PrepareClipPieces(int64_t left, int64_t top, int64_t right, int64_t bottom);
    void SetSingleClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom);
    ID2D1RenderTarget* Target() const { return Surface->RenderTarget.Get(); }
    ID2D1Brush* SolidBrushFor(int32_t color);
    ID2D1Brush* PenBrush() { return SolidBrushFor(CurrentState.PenColor); }
    ID2D1Brush* BackgroundBrush() { return SolidBrushFor(CurrentState.BackColor); }
    ID2D1Brush* FillBrush();
    ID2D1StrokeStyle* DashStyle(int32_t penStyle);
    ID2D1StrokeStyle* WidePenStyle();
    ID2D1StrokeStyle* PenStroke(float& width);
    void StrokeGeometry(ID2D1Geometry* geometry);
    void FillDeviceRect(int64_t left, int64_t top, int64_t right, int64_t bottom, ID2D1Brush* brush);
    // The one-pixel frame of a rectangle: top, bottom, then the sides between.
    void FrameBars(int64_t left, int64_t top, int64_t right, int64_t bottom, ID2D1Brush* brush);

    // Pen modes other than copy: the drawing goes into a layer first.
    void WithRop(int64_t left, int64_t top, int64_t right, int64_t bottom, const std::function<void()>& draw);
    bool BeginRopLayer(int64_t left, int64_t top, int64_t right, int64_t bottom);
    void EndRopLayer();
    void LeaveRopLayer();
    void DrawThinLine(int64_t x1, int64_t y1, int64_t x2, int64_t y2);
    void DrawWideLine(TDevicePoint from, TDevicePoint to);
    // The surface drawn on, grown by as far as the pen reaches beyond a
    // line's centre: lines too far out for a float are cut to it.
    TDeviceRect LineArea() const;
    void DrawPolyPoints(const std::vector<TDevicePoint>& points, bool closed);
    TComPtr<ID2D1PathGeometry> BuildPolyGeometry(const std::vector<D2D1_POINT_2F>& points, D2D1_FILL_MODE mode,
                                                 bool closed);
    TComPtr<ID2D1PathGeometry> BuildArcGeometry(int64_t left, int64_t top, int64_t right, int64_t bottom,
                                                int64_t x3, int64_t y3, int64_t x4, int64_t y4, float inset,
                                                int32_t mode);
    // A shape over points or in a box: `prepare` gets the device points or
    // box (after any layer moved the origin) and gives the drawing of one
    // clip piece, or nil to draw nothing; the box's pieces take the pen's
    // width as margin.
    using TPointsDraw = std::function<TPieceDraw(const std::vector<TDevicePoint>& device)>;
    using TBoxDraw = std::function<TPieceDraw(int64_t left, int64_t top, int64_t right, int64_t bottom)>;
    void PointsShape(const TPlatformPoint* points, int32_t count, const TPointsDraw& prepare);
    void BoxShape(int32_t left, int32_t top, int32_t right, int32_t bottom, const TBoxDraw& prepare);
    void ArcShape(int32_t mode, int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x3, int32_t y3,
                  int32_t x4, int32_t y4);
    std::vector<TDevicePoint> DevicePoints(const TPlatformPoint* points, int32_t count) const;
    void PolyBounds(const TPlatformPoint* points, int32_t count, int64_t (&bounds)[4]) const;

    void DrawBitmapPass(TD2DSurface* source, const TSurfaceCopyRects& rects, int32_t opacity, int32_t kind,
                        int32_t key);
    void SoftwareBlit(TD2DSurface* source, const TSurfaceCopyRects& rects, int32_t rop, bool copyAlpha);

    void RealizeGdiFont();
    // The size of the DirectWrite format, in pixels: the character height
    // GDI draws the realised font at.
    float CharacterHeight(int32_t fontHeight) const;
    void DrawTextRun(int64_t x, int64_t y, const std::u16string& text, bool fillBackground);

    std::vector<TD2DCanvasState> SaveStack;
    int32_t SaveCount = 0;
    std::vector<int32_t> ClipPieces;
    bool NoClipNeeded = false;
    TD2DCanvasState SavedState;
    TRef<TD2DSurface> LayerSurface;
    int32_t LayerLeft = 0, LayerTop = 0, LayerRight = 0, LayerBottom = 0;
    std::u16string FontKey_;
    TComPtr<IDWriteTextFormat> TextFormat;
    TEXTMETRICW Metrics{};
    bool FontRealized = false;
    TComPtr<ID2D1BitmapBrush> HatchBrush;
    ID2D1RenderTarget* HatchTarget = nullptr;
    std::u16string HatchKey_;
    TComPtr<ID2D1Brush> LastBrush;
    TComPtr<ID2D1StrokeStyle> LastStroke;
    TComPtr<ID2D1StrokeStyle> DashStyles[5];
    TComPtr<ID2D1StrokeStyle> WidePenStyle_;
};

// The memory device context every canvas measures text in, made with the
// first canvas and kept for the life of the process.
HDC D2DMemoryDC();

// For tests: the entries in use of the process-wide text caches, and a way
// to empty them.
int32_t D2DTextFormatCacheCount();
int32_t D2DTextLayoutCacheCount();
// The key held by layout-cache entry `index`, empty when unused.
std::u16string D2DTextLayoutCacheKey(int32_t index);
void ClearD2DTextCaches();

} // namespace Zyl
