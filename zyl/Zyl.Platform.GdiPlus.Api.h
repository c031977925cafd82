// The flat GDI+ entry points that the "gdiplus" backend binds by name from
// gdiplus.dll, in binding order. Nothing of GDI+ is linked at build time, so
// its types are declared here as the library's calls see them: handles are
// opaque, enumerations int32, REAL a float, ARGB a uint32. x86-64 has one
// calling convention, so the pointers need no WINAPI.
#pragma once

#include <cstdint>

namespace Zyl {

using TGpStatus = int32_t;
struct TGpImage;
struct TGpGraphics;
struct TGpRegion;
struct TGpPen;
struct TGpBrush;
struct TGpPath;
struct TGpFontFamily;
struct TGpFontCollection;
struct TGpFont;
struct TGpStringFormat;
struct TGpMatrix;
struct TGpImageAttributes;

struct TGpRect {
    int32_t X, Y, Width, Height;
};
struct TGpRectF {
    float X, Y, Width, Height;
};
struct TGpPointF {
    float X, Y;
};
struct TGpColorMatrix {
    float M[5][5];
};

struct TGdiplusStartupInput {
    uint32_t GdiplusVersion = 1;
    void* DebugEventCallback = nullptr;
    int32_t SuppressBackgroundThread = 0;
    int32_t SuppressExternalCodecs = 0;
};

// The values of GDI+'s own enumerations that the backend passes.
constexpr int32_t GpPixelFormat32bppRgb = 0x00022009;
constexpr int32_t GpPixelFormat32bppPArgb = 0x000E200B;
constexpr int32_t GpFlushIntentionSync = 1;

// X(name, result, parameter list) for each entry point, in binding order.
#define ZYL_GDIP_ENTRY_POINTS(X)                                                                                     \
    X(GdiplusStartup, TGpStatus, (uintptr_t* token, const TGdiplusStartupInput* input, void* output))              \
    X(GdiplusShutdown, void, (uintptr_t token))                                                                      \
    X(GdipCreateBitmapFromScan0, TGpStatus,                                                                          \
      (int32_t width, int32_t height, int32_t stride, int32_t format, uint8_t* scan0, TGpImage** bitmap))           \
    X(GdipDisposeImage, TGpStatus, (TGpImage* image))                                                               \
    X(GdipGetImageGraphicsContext, TGpStatus, (TGpImage* image, TGpGraphics** graphics))                           \
    X(GdipDeleteGraphics, TGpStatus, (TGpGraphics* graphics))                                                       \
    X(GdipFlush, TGpStatus, (TGpGraphics* graphics, int32_t intention))                                             \
    X(GdipSetSmoothingMode, TGpStatus, (TGpGraphics* graphics, int32_t mode))                                       \
    X(GdipSetPixelOffsetMode, TGpStatus, (TGpGraphics* graphics, int32_t mode))                                     \
    X(GdipSetCompositingMode, TGpStatus, (TGpGraphics* graphics, int32_t mode))                                     \
    X(GdipSetCompositingQuality, TGpStatus, (TGpGraphics* graphics, int32_t quality))                               \
    X(GdipSetInterpolationMode, TGpStatus, (TGpGraphics* graphics, int32_t mode))                                   \
    X(GdipSetTextRenderingHint, TGpStatus, (TGpGraphics* graphics, int32_t hint))                                   \
    X(GdipSetTextContrast, TGpStatus, (TGpGraphics* graphics, uint32_t contrast))                                   \
    X(GdipSetClipRectI, TGpStatus,                                                                                   \
      (TGpGraphics* graphics, int32_t x, int32_t y, int32_t width, int32_t height, int32_t combine))                \
    X(GdipSetClipRegion, TGpStatus, (TGpGraphics* graphics, TGpRegion* region, int32_t combine))                   \
    X(GdipResetClip, TGpStatus, (TGpGraphics* graphics))                                                            \
    X(GdipCreateRegionRectI, TGpStatus, (const TGpRect* rect, TGpRegion** region))                                   \
    X(GdipCombineRegionRectI, TGpStatus, (TGpRegion* region, const TGpRect* rect, int32_t combine))                 \
    X(GdipDeleteRegion, TGpStatus, (TGpRegion* region))                                                             \
    X(GdipCreatePen1, TGpStatus, (uint32_t argb, float width, int32_t unit, TGpPen** pen))                           \
    X(GdipDeletePen, TGpStatus, (TGpPen* pen))                                                                      \
    X(GdipSetPenColor, TGpStatus, (TGpPen* pen, uint32_t argb))                                                     \
    X(GdipSetPenWidth, TGpStatus, (TGpPen* pen, float width))                                                       \
    X(GdipSetPenDashArray, TGpStatus, (TGpPen* pen, const float* dashes, int32_t count))                            \
    X(GdipSetPenDashStyle, TGpStatus, (TGpPen* pen, int32_t style))                                                 \
    X(GdipSetPenLineCap197819, TGpStatus, (TGpPen* pen, int32_t start, int32_t end, int32_t dashCap))               \
    X(GdipSetPenLineJoin, TGpStatus, (TGpPen* pen, int32_t join))                                                   \
    X(GdipSetPenMiterLimit, TGpStatus, (TGpPen* pen, float limit))                                                  \
    X(GdipCreateSolidFill, TGpStatus, (uint32_t argb, TGpBrush** brush))                                            \
    X(GdipSetSolidFillColor, TGpStatus, (TGpBrush* brush, uint32_t argb))                                           \
    X(GdipDeleteBrush, TGpStatus, (TGpBrush* brush))                                                                \
    X(GdipCreateTexture, TGpStatus, (TGpImage* image, int32_t wrapMode, TGpBrush** texture))                       \
    X(GdipDrawLine, TGpStatus, (TGpGraphics* graphics, TGpPen* pen, float x1, float y1, float x2, float y2))       \
    X(GdipDrawLines, TGpStatus, (TGpGraphics* graphics, TGpPen* pen, const TGpPointF* points, int32_t count))     \
    X(GdipDrawRectangle, TGpStatus,                                                                                  \
      (TGpGraphics* graphics, TGpPen* pen, float x, float y, float width, float height))                           \
    X(GdipFillRectangle, TGpStatus,                                                                                  \
      (TGpGraphics* graphics, TGpBrush* brush, float x, float y, float width, float height))                       \
    X(GdipDrawEllipse, TGpStatus, (TGpGraphics* graphics, TGpPen* pen, float x, float y, float width, float height)) \
    X(GdipFillEllipse, TGpStatus,                                                                                    \
      (TGpGraphics* graphics, TGpBrush* brush, float x, float y, float width, float height))                       \
    X(GdipDrawPolygon, TGpStatus, (TGpGraphics* graphics, TGpPen* pen, const TGpPointF* points, int32_t count))   \
    X(GdipFillPolygon, TGpStatus,                                                                                    \
      (TGpGraphics* graphics, TGpBrush* brush, const TGpPointF* points, int32_t count, int32_t fillMode))          \
    X(GdipDrawBeziers, TGpStatus, (TGpGraphics* graphics, TGpPen* pen, const TGpPointF* points, int32_t count))   \
    X(GdipDrawPath, TGpStatus, (TGpGraphics* graphics, TGpPen* pen, TGpPath* path))                               \
    X(GdipFillPath, TGpStatus, (TGpGraphics* graphics, TGpBrush* brush, TGpPath* path))                           \
    X(GdipCreatePath, TGpStatus, (int32_t fillMode, TGpPath** path))                                                \
    X(GdipDeletePath, TGpStatus, (TGpPath* path))                                                                   \
    X(GdipResetPath, TGpStatus, (TGpPath* path))                                                                    \
    X(GdipStartPathFigure, TGpStatus, (TGpPath* path))                                                              \
    X(GdipClosePathFigure, TGpStatus, (TGpPath* path))                                                              \
    X(GdipAddPathArc, TGpStatus,                                                                                     \
      (TGpPath* path, float x, float y, float width, float height, float startAngle, float sweepAngle))            \
    X(GdipAddPathLine, TGpStatus, (TGpPath* path, float x1, float y1, float x2, float y2))                          \
    X(GdipAddPathLine2, TGpStatus, (TGpPath* path, const TGpPointF* points, int32_t count))                         \
    X(GdipAddPathBeziers, TGpStatus, (TGpPath* path, const TGpPointF* points, int32_t count))                       \
    X(GdipAddPathEllipse, TGpStatus, (TGpPath* path, float x, float y, float width, float height))                  \
    X(GdipCreateFontFamilyFromName, TGpStatus,                                                                       \
      (const wchar_t* name, TGpFontCollection* collection, TGpFontFamily** family))                                  \
    X(GdipDeleteFontFamily, TGpStatus, (TGpFontFamily* family))                                                     \
    X(GdipCreateFont, TGpStatus,                                                                                     \
      (const TGpFontFamily* family, float emSize, int32_t style, int32_t unit, TGpFont** font))                      \
    X(GdipDeleteFont, TGpStatus, (TGpFont* font))                                                                   \
    X(GdipGetCellAscent, TGpStatus, (const TGpFontFamily* family, int32_t style, uint16_t* ascent))                 \
    X(GdipGetCellDescent, TGpStatus, (const TGpFontFamily* family, int32_t style, uint16_t* descent))               \
    X(GdipGetEmHeight, TGpStatus, (const TGpFontFamily* family, int32_t style, uint16_t* emHeight))                 \
    X(GdipDrawString, TGpStatus,                                                                                     \
      (TGpGraphics* graphics, const wchar_t* text, int32_t length, const TGpFont* font, const TGpRectF* layout,     \
       const TGpStringFormat* format, const TGpBrush* brush))                                                        \
    X(GdipMeasureString, TGpStatus,                                                                                  \
      (TGpGraphics* graphics, const wchar_t* text, int32_t length, const TGpFont* font, const TGpRectF* layout,     \
       const TGpStringFormat* format, TGpRectF* bounds, int32_t* codepointsFitted, int32_t* linesFilled))            \
    X(GdipDrawDriverString, TGpStatus,                                                                               \
      (TGpGraphics* graphics, const uint16_t* text, int32_t length, const TGpFont* font, const TGpBrush* brush,     \
       const TGpPointF* positions, int32_t flags, const TGpMatrix* matrix))                                          \
    X(GdipStringFormatGetGenericTypographic, TGpStatus, (TGpStringFormat** format))                                 \
    X(GdipDeleteStringFormat, TGpStatus, (TGpStringFormat* format))                                                 \
    X(GdipSetStringFormatFlags, TGpStatus, (TGpStringFormat* format, int32_t flags))                                \
    X(GdipResetWorldTransform, TGpStatus, (TGpGraphics* graphics))                                                  \
    X(GdipTranslateWorldTransform, TGpStatus, (TGpGraphics* graphics, float dx, float dy, int32_t order))           \
    X(GdipRotateWorldTransform, TGpStatus, (TGpGraphics* graphics, float angle, int32_t order))                     \
    X(GdipCreateImageAttributes, TGpStatus, (TGpImageAttributes** attributes))                                      \
    X(GdipDisposeImageAttributes, TGpStatus, (TGpImageAttributes* attributes))                                      \
    X(GdipSetImageAttributesColorMatrix, TGpStatus,                                                                  \
      (TGpImageAttributes* attributes, int32_t adjustType, int32_t enable, const TGpColorMatrix* matrix,           \
       const TGpColorMatrix* greyMatrix, int32_t flags))                                                             \
    X(GdipSetImageAttributesColorKeys, TGpStatus,                                                                    \
      (TGpImageAttributes* attributes, int32_t adjustType, int32_t enable, uint32_t low, uint32_t high))            \
    X(GdipSetImageAttributesWrapMode, TGpStatus,                                                                     \
      (TGpImageAttributes* attributes, int32_t wrap, uint32_t argb, int32_t clamp))                                 \
    X(GdipDrawImageRectRectI, TGpStatus,                                                                             \
      (TGpGraphics* graphics, TGpImage* image, int32_t dstX, int32_t dstY, int32_t dstWidth, int32_t dstHeight,   \
       int32_t srcX, int32_t srcY, int32_t srcWidth, int32_t srcHeight, int32_t unit,                               \
       const TGpImageAttributes* attributes, void* abortCallback, void* callbackData))                               \
    X(GdipDrawImageRectRect, TGpStatus,                                                                              \
      (TGpGraphics* graphics, TGpImage* image, float dstX, float dstY, float dstWidth, float dstHeight,           \
       float srcX, float srcY, float srcWidth, float srcHeight, int32_t unit, const TGpImageAttributes* attributes,  \
       void* abortCallback, void* callbackData))

// The bound entry points; every one is null until LoadGdiplus reaches it.
struct TGdipApi {
#define ZYL_GDIP_FIELD(name, result, parameters) result (*name) parameters = nullptr;
    ZYL_GDIP_ENTRY_POINTS(ZYL_GDIP_FIELD)
#undef ZYL_GDIP_FIELD
};

// The process's table, filled by LoadGdiplus and never emptied.
extern TGdipApi Gdip;

// One GDI+ object, deleted through the table's entry `Delete` when the holder
// goes.
template <class T, TGpStatus (*TGdipApi::*Delete)(T*)>
class TGdipObject {
public:
    TGdipObject() = default;
    ~TGdipObject() { Reset(); }
    TGdipObject(const TGdipObject&) = delete;
    TGdipObject& operator=(const TGdipObject&) = delete;

    T* Get() const { return object_; }
    // For the creating call's out parameter; deletes what was held.
    T** Out() {
        Reset();
        return &object_;
    }
    void Reset() {
        if (object_) (Gdip.*Delete)(object_);
        object_ = nullptr;
    }

private:
    T* object_ = nullptr;
};

using TGdipImage = TGdipObject<TGpImage, &TGdipApi::GdipDisposeImage>;
using TGdipGraphics = TGdipObject<TGpGraphics, &TGdipApi::GdipDeleteGraphics>;
using TGdipBrush = TGdipObject<TGpBrush, &TGdipApi::GdipDeleteBrush>;
using TGdipPen = TGdipObject<TGpPen, &TGdipApi::GdipDeletePen>;

} // namespace Zyl
