// TWinCanvas: each drawing operation of the platform canvas as one or a few
// GDI calls on a device context.
#include <windows.h>

#include "Zyl.Platform.Win.Api.h"
#include "Zyl.Platform.Win.h"

#include <algorithm>
#include <cstring>

namespace Zyl {

using namespace WinApi;

namespace {

// The GDI code of each raster mode 0..15; any other mode copies.
constexpr int kRop2Codes[16] = {R2_BLACK,       R2_WHITE,      R2_NOP,        R2_NOT,
                                R2_COPYPEN,     R2_NOTCOPYPEN, R2_MERGEPENNOT, R2_MASKPENNOT,
                                R2_MERGENOTPEN, R2_MASKNOTPEN, R2_MERGEPEN,   R2_NOTMERGEPEN,
                                R2_MASKPEN,     R2_NOTMASKPEN, R2_XORPEN,     R2_NOTXORPEN};

RECT MakeRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    return RECT{Left, Top, Right, Bottom};
}

const POINT* AsPoints(const TPlatformPoint* Points) {
    static_assert(sizeof(TPlatformPoint) == sizeof(POINT) && offsetof(TPlatformPoint, Y) == offsetof(POINT, y));
    return reinterpret_cast<const POINT*>(Points);
}

} // namespace

TWinCanvas::TWinCanvas(HDC DC, TWinSurface* Surface, System::TObject* Keeper)
    : dc_(DC), surface_(Surface), keeper_(Keeper) {
    initialPen_ = pGetCurrentObject()(dc_, OBJ_PEN);
    initialBrush_ = pGetCurrentObject()(dc_, OBJ_BRUSH);
    initialFont_ = pGetCurrentObject()(dc_, OBJ_FONT);
    pSetBkMode()(dc_, OPAQUE);
    pSetStretchBltMode()(dc_, COLORONCOLOR);
}

TWinCanvas::~TWinCanvas() {
    while (!saveStack_.empty()) Restore();
    pSelectObject()(dc_, initialPen_);
    pSelectObject()(dc_, initialBrush_);
    pSelectObject()(dc_, initialFont_);
    for (HGDIOBJ own : {pen_, brush_, font_})
        if (own) pDeleteObject()(own);
}

bool TWinCanvas::HeldBySave(HGDIOBJ Handle) const {
    return std::any_of(saveStack_.begin(), saveStack_.end(), [Handle](const TSaveRecord& r) {
        return r.Pen == Handle || r.Brush == Handle || r.Font == Handle;
    });
}

void TWinCanvas::Replace(HGDIOBJ& Field, HGDIOBJ Created, HGDIOBJ Initial) {
    // Selected first, so the old object is no longer in the context when it
    // is deleted; an object GDI could not make cannot be selected, so the
    // context's own takes its place.
    pSelectObject()(dc_, Created ? Created : Initial);
    if (Field && !HeldBySave(Field)) pDeleteObject()(Field);
    Field = Created;
}

void TWinCanvas::Save() {
    pSaveDC()(dc_);
    saveStack_.push_back(TSaveRecord{pen_, brush_, font_, brushColor_, brushStyle_});
}

void TWinCanvas::Restore() {
    pRestoreDC()(dc_, -1);
    if (saveStack_.empty()) return;
    const HGDIOBJ current[3] = {pen_, brush_, font_};
    const TSaveRecord record = saveStack_.back();
    saveStack_.pop_back();
    pen_ = record.Pen;
    brush_ = record.Brush;
    font_ = record.Font;
    brushColor_ = record.BrushColor;
    brushStyle_ = record.BrushStyle;
    const HGDIOBJ restored[3] = {pen_, brush_, font_};
    for (int i = 0; i < 3; ++i)
        if (current[i] && current[i] != restored[i] && !HeldBySave(current[i])) pDeleteObject()(current[i]);
}

void TWinCanvas::SetPen(int32_t Color, int32_t Width, int32_t Style) {
    const int style = Style > PenStyleClear ? PS_SOLID : Style;
    Replace(pen_, pCreatePen()(style, Width, COLORREF(Color)), initialPen_);
}

void TWinCanvas::SetBrush(int32_t Color, int32_t Style) {
    brushColor_ = uint32_t(Color);
    brushStyle_ = Style;
    if (Style == BrushStyleClear) {
        // The brush made last stays in the field: a clear brush is the stock
        // one, which nobody deletes.
        pSelectObject()(dc_, pGetStockObject()(NULL_BRUSH));
        return;
    }
    const HBRUSH created = Style <= BrushStyleSolid ? pCreateSolidBrush()(COLORREF(Color))
                                                    : pCreateHatchBrush()(Style - 2, COLORREF(Color));
    Replace(brush_, created, initialBrush_);
}

void TWinCanvas::SetFont(const std::u16string& Name, int32_t Height, int32_t Style, int32_t Color) {
    LOGFONTW font{};
    font.lfHeight = Height;
    font.lfWeight = (Style & FontStyleBold) ? FW_BOLD : FW_NORMAL;
    font.lfItalic = (Style & FontStyleItalic) ? 1 : 0;
    font.lfUnderline = (Style & FontStyleUnderline) ? 1 : 0;
    font.lfStrikeOut = (Style & FontStyleStrikeOut) ? 1 : 0;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    const size_t units = std::min<size_t>(Name.size(), LF_FACESIZE - 1);
    std::memcpy(font.lfFaceName, Name.data(), units * sizeof(char16_t));
    Replace(font_, pCreateFontIndirectW()(&font), initialFont_);
    pSetTextColor()(dc_, COLORREF(Color));
}

void TWinCanvas::SetBackground(int32_t Color, bool Transparent) {
    pSetBkColor()(dc_, COLORREF(Color));
    pSetBkMode()(dc_, Transparent ? TRANSPARENT : OPAQUE);
}

void TWinCanvas::SetRop2(int32_t Mode) {
    // Compared unsigned: a negative mode is a large one.
    pSetROP2()(dc_, uint32_t(Mode) < 16 ? kRop2Codes[Mode] : R2_COPYPEN);
}

void TWinCanvas::SetOrigin(int32_t X, int32_t Y) { pSetViewportOrgEx()(dc_, X, Y, nullptr); }

void TWinCanvas::GetOrigin(int32_t& X, int32_t& Y) {
    POINT origin{};
    pGetViewportOrgEx()(dc_, &origin);
    X = origin.x;
    Y = origin.y;
}

void TWinCanvas::ClipRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    pIntersectClipRect()(dc_, Left, Top, Right, Bottom);
}

void TWinCanvas::ClipExclude(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    pExcludeClipRect()(dc_, Left, Top, Right, Bottom);
}

void TWinCanvas::ResetClip() { pSelectClipRgn()(dc_, nullptr); }

bool TWinCanvas::GetClipBox(int32_t& Left, int32_t& Top, int32_t& Right, int32_t& Bottom) {
    RECT box{};
    if (pGetClipBox()(dc_, &box) == ERROR) return false;
    Left = box.left;
    Top = box.top;
    Right = box.right;
    Bottom = box.bottom;
    return Left < Right && Top < Bottom;
}

void TWinCanvas::MoveTo(int32_t X, int32_t Y) {
    PenX = X;
    PenY = Y;
    pMoveToEx()(dc_, X, Y, nullptr);
}

void TWinCanvas::LineTo(int32_t X, int32_t Y) {
    pLineTo()(dc_, X, Y);
    PenX = X;
    PenY = Y;
}

void TWinCanvas::Rectangle(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    pRectangle()(dc_, Left, Top, Right, Bottom);
}

void TWinCanvas::RoundRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t CornerWidth,
                           int32_t CornerHeight) {
    pRoundRect()(dc_, Left, Top, Right, Bottom, CornerWidth, CornerHeight);
}

void TWinCanvas::Ellipse(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    pEllipse()(dc_, Left, Top, Right, Bottom);
}

void TWinCanvas::Arc(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1, int32_t X2,
                     int32_t Y2) {
    pArc()(dc_, Left, Top, Right, Bottom, X1, Y1, X2, Y2);
}

void TWinCanvas::Chord(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1,
                       int32_t X2, int32_t Y2) {
    pChord()(dc_, Left, Top, Right, Bottom, X1, Y1, X2, Y2);
}

void TWinCanvas::Pie(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1, int32_t X2,
                     int32_t Y2) {
    pPie()(dc_, Left, Top, Right, Bottom, X1, Y1, X2, Y2);
}

void TWinCanvas::Polyline(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex) {
    const int32_t n = UsablePointCount(Points, PointCount, LastIndex);
    if (n < 2) return;
    pPolyline()(dc_, AsPoints(Points), n);
}

void TWinCanvas::Polygon(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex, bool Winding) {
    const int32_t n = UsablePointCount(Points, PointCount, LastIndex);
    if (n < 2) return;
    pSetPolyFillMode()(dc_, Winding ? WINDING : ALTERNATE);
    pPolygon()(dc_, AsPoints(Points), n);
}

void TWinCanvas::PolyBezier(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex) {
    const int32_t n = UsablePointCount(Points, PointCount, LastIndex);
    if (n < 4) return;
    pPolyBezier()(dc_, AsPoints(Points), DWORD(n));
    PenX = Points[n - 1].X;
    PenY = Points[n - 1].Y;
}

void TWinCanvas::FillRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Color) {
    const TGdiObject brush(pCreateSolidBrush()(COLORREF(Color)));
    const RECT rect = MakeRect(Left, Top, Right, Bottom);
    pFillRect()(dc_, &rect, HBRUSH(brush.Get()));
}

void TWinCanvas::FillRectBrush(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    if (brushStyle_ == BrushStyleClear) return;
    const RECT rect = MakeRect(Left, Top, Right, Bottom);
    pFillRect()(dc_, &rect, HBRUSH(brush_));
}

void TWinCanvas::FrameRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    if (brushStyle_ == BrushStyleClear) return;
    const RECT rect = MakeRect(Left, Top, Right, Bottom);
    pFrameRect()(dc_, &rect, HBRUSH(brush_));
}

void TWinCanvas::DrawFocusRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    const RECT rect = MakeRect(Left, Top, Right, Bottom);
    pDrawFocusRect()(dc_, &rect);
}

void TWinCanvas::SetPixel(int32_t X, int32_t Y, int32_t Color) { pSetPixelV()(dc_, X, Y, COLORREF(Color)); }

int32_t TWinCanvas::GetPixel(int32_t X, int32_t Y) { return int32_t(pGetPixel()(dc_, X, Y)); }

void TWinCanvas::FloodFill(int32_t X, int32_t Y, int32_t Color, bool ToBorder) {
    pExtFloodFill()(dc_, X, Y, COLORREF(Color), ToBorder ? FLOODFILLBORDER : FLOODFILLSURFACE);
}

void TWinCanvas::TextOut(int32_t X, int32_t Y, const std::u16string& Text) {
    if (Text.empty()) return;
    pExtTextOutW()(dc_, X, Y, 0, nullptr, System::WStr(Text), UINT(Text.size()), nullptr);
}

void TWinCanvas::TextRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X, int32_t Y,
                          const std::u16string& Text, bool Opaque) {
    const RECT rect = MakeRect(Left, Top, Right, Bottom);
    pExtTextOutW()(dc_, X, Y, ETO_CLIPPED | (Opaque ? ETO_OPAQUE : 0), &rect, System::WStr(Text),
                   UINT(Text.size()), nullptr);
}

void TWinCanvas::TextExtent(const std::u16string& Text, int32_t& Width, int32_t& Height) {
    // An empty text still has the font's height: that of "x".
    SIZE size{};
    if (Text.empty())
        pGetTextExtentPoint32W()(dc_, L"x", 1, &size);
    else
        pGetTextExtentPoint32W()(dc_, System::WStr(Text), int(Text.size()), &size);
    Width = Text.empty() ? 0 : size.cx;
    Height = size.cy;
}

void TWinCanvas::FontMetrics(int32_t& Height, int32_t& Ascent, int32_t& Descent, int32_t& InternalLeading,
                             int32_t& ExternalLeading, int32_t& AveCharWidth, int32_t& MaxCharWidth) {
    TEXTMETRICW metrics{};
    pGetTextMetricsW()(dc_, &metrics);
    SplitTextMetrics(metrics, Height, Ascent, Descent, InternalLeading, ExternalLeading, AveCharWidth, MaxCharWidth);
}

HDC TWinCanvas::SourceDC(TPlatformSurface* Surface, TWinSurface*& Source) {
    Source = dynamic_cast<TWinSurface*>(Surface);
    return Source ? Source->MemDC() : nullptr;
}

void TWinCanvas::DrawSurfaceEx(TPlatformSurface* Surface, int32_t SrcLeft, int32_t SrcTop, int32_t SrcRight,
                               int32_t SrcBottom, int32_t DstLeft, int32_t DstTop, int32_t DstRight,
                               int32_t DstBottom, int32_t Rop, int32_t Opacity, bool UseAlpha) {
    TWinSurface* source;
    const HDC sourceDC = SourceDC(Surface, source);
    if (!sourceDC) return;
    pGdiFlush()();
    const bool perPixel = UseAlpha && source->HasAlpha();
    const int dstWidth = DstRight - DstLeft, dstHeight = DstBottom - DstTop;
    const int srcWidth = SrcRight - SrcLeft, srcHeight = SrcBottom - SrcTop;
    if (Opacity < 255 || perPixel) {
        const BLENDFUNCTION blend{AC_SRC_OVER, 0, BYTE(Opacity), BYTE(perPixel ? AC_SRC_ALPHA : 0)};
        pAlphaBlend()(dc_, DstLeft, DstTop, dstWidth, dstHeight, sourceDC, SrcLeft, SrcTop, srcWidth, srcHeight,
                      blend);
    } else {
        pStretchBlt()(dc_, DstLeft, DstTop, dstWidth, dstHeight, sourceDC, SrcLeft, SrcTop, srcWidth, srcHeight,
                      DWORD(Rop));
    }
}

void TWinCanvas::DrawSurfaceTransparent(TPlatformSurface* Surface, int32_t SrcLeft, int32_t SrcTop,
                                        int32_t SrcRight, int32_t SrcBottom, int32_t DstLeft, int32_t DstTop,
                                        int32_t DstRight, int32_t DstBottom, int32_t TransparentColor) {
    TWinSurface* source;
    const HDC sourceDC = SourceDC(Surface, source);
    if (!sourceDC) return;
    pGdiFlush()();
    pTransparentBlt()(dc_, DstLeft, DstTop, DstRight - DstLeft, DstBottom - DstTop, sourceDC, SrcLeft, SrcTop,
                      SrcRight - SrcLeft, SrcBottom - SrcTop, UINT(TransparentColor));
}

TPlatformSurface* TWinCanvas::GetSurface() { return surface_.Get(); }

} // namespace Zyl
