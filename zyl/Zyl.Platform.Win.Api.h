// The Windows functions that the GDI backend and the native services call,
// each bound by name on its first call (System::TLazyProc), and the holders
// that release what those calls hand out. Internal to the Zyl.Platform.Win
// files and the Direct2D backend's text.
#pragma once

#include <windows.h>

#include <cstdint>
#include <utility>

#include "System.Remainder.Os.h"

namespace Zyl::WinApi {

#define ZYL_BIND(library, name) \
    inline System::TLazyProc<decltype(&::name)> p##name { u"" library, #name }

// gdi32
ZYL_BIND("gdi32.dll", AbortDoc);
ZYL_BIND("gdi32.dll", Arc);
ZYL_BIND("gdi32.dll", Chord);
ZYL_BIND("gdi32.dll", CreateBitmap);
ZYL_BIND("gdi32.dll", CreateCompatibleDC);
ZYL_BIND("gdi32.dll", CreateDCW);
ZYL_BIND("gdi32.dll", CreateDIBSection);
ZYL_BIND("gdi32.dll", CreateFontIndirectW);
ZYL_BIND("gdi32.dll", CreateHatchBrush);
ZYL_BIND("gdi32.dll", CreatePen);
ZYL_BIND("gdi32.dll", CreateSolidBrush);
ZYL_BIND("gdi32.dll", DeleteDC);
ZYL_BIND("gdi32.dll", DeleteObject);
ZYL_BIND("gdi32.dll", Ellipse);
ZYL_BIND("gdi32.dll", EndDoc);
ZYL_BIND("gdi32.dll", EndPage);
ZYL_BIND("gdi32.dll", ExcludeClipRect);
ZYL_BIND("gdi32.dll", ExtFloodFill);
ZYL_BIND("gdi32.dll", ExtTextOutW);
ZYL_BIND("gdi32.dll", GdiFlush);
ZYL_BIND("gdi32.dll", GetCharWidth32W);
ZYL_BIND("gdi32.dll", GetClipBox);
ZYL_BIND("gdi32.dll", GetCurrentObject);
ZYL_BIND("gdi32.dll", GetDeviceCaps);
ZYL_BIND("gdi32.dll", GetPixel);
ZYL_BIND("gdi32.dll", GetStockObject);
ZYL_BIND("gdi32.dll", GetTextExtentPoint32W);
ZYL_BIND("gdi32.dll", GetTextFaceW);
ZYL_BIND("gdi32.dll", GetTextMetricsW);
ZYL_BIND("gdi32.dll", GetViewportOrgEx);
ZYL_BIND("gdi32.dll", IntersectClipRect);
ZYL_BIND("gdi32.dll", LineTo);
ZYL_BIND("gdi32.dll", MoveToEx);
ZYL_BIND("gdi32.dll", Pie);
ZYL_BIND("gdi32.dll", PolyBezier);
ZYL_BIND("gdi32.dll", Polygon);
ZYL_BIND("gdi32.dll", Polyline);
ZYL_BIND("gdi32.dll", Rectangle);
ZYL_BIND("gdi32.dll", RestoreDC);
ZYL_BIND("gdi32.dll", RoundRect);
ZYL_BIND("gdi32.dll", SaveDC);
ZYL_BIND("gdi32.dll", SelectClipRgn);
ZYL_BIND("gdi32.dll", SelectObject);
ZYL_BIND("gdi32.dll", SetBkColor);
ZYL_BIND("gdi32.dll", SetBkMode);
ZYL_BIND("gdi32.dll", SetPixelV);
ZYL_BIND("gdi32.dll", SetPolyFillMode);
ZYL_BIND("gdi32.dll", SetROP2);
ZYL_BIND("gdi32.dll", SetStretchBltMode);
ZYL_BIND("gdi32.dll", SetTextColor);
ZYL_BIND("gdi32.dll", SetViewportOrgEx);
ZYL_BIND("gdi32.dll", StartDocW);
ZYL_BIND("gdi32.dll", StartPage);
ZYL_BIND("gdi32.dll", StretchBlt);

// user32
ZYL_BIND("user32.dll", DrawFocusRect);
ZYL_BIND("user32.dll", FillRect);
ZYL_BIND("user32.dll", FrameRect);
ZYL_BIND("user32.dll", GetDC);
ZYL_BIND("user32.dll", ReleaseDC);

// msimg32
ZYL_BIND("msimg32.dll", AlphaBlend);
ZYL_BIND("msimg32.dll", TransparentBlt);

#undef ZYL_BIND

// A GDI object (pen, brush, font, bitmap) deleted when the holder goes,
// unless Release handed it on.
class TGdiObject {
public:
    TGdiObject() = default;
    explicit TGdiObject(HGDIOBJ Handle) : handle_(Handle) {}
    TGdiObject(TGdiObject&& Other) noexcept : handle_(std::exchange(Other.handle_, nullptr)) {}
    TGdiObject& operator=(TGdiObject&& Other) noexcept {
        std::swap(handle_, Other.handle_);
        return *this;
    }
    ~TGdiObject() {
        if (handle_) pDeleteObject()(handle_);
    }
    HGDIOBJ Get() const { return handle_; }
    HGDIOBJ Release() { return std::exchange(handle_, nullptr); }

private:
    HGDIOBJ handle_ = nullptr;
};

// A 32-bit DIB section of Width x Height pixels, top row first, or 0; Bits
// receives its pixels.
inline HBITMAP CreateTopDownSection(HDC DC, int32_t Width, int32_t Height, void** Bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = Width;
    info.bmiHeader.biHeight = -Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return pCreateDIBSection()(DC, &info, DIB_RGB_COLORS, Bits, nullptr, 0);
}

// A canvas's font metrics as GDI reports them.
inline void CopyFontMetrics(const TEXTMETRICW& Metrics, int32_t& Height, int32_t& Ascent, int32_t& Descent,
                            int32_t& InternalLeading, int32_t& ExternalLeading, int32_t& AveCharWidth,
                            int32_t& MaxCharWidth) {
    Height = Metrics.tmHeight;
    Ascent = Metrics.tmAscent;
    Descent = Metrics.tmDescent;
    InternalLeading = Metrics.tmInternalLeading;
    ExternalLeading = Metrics.tmExternalLeading;
    AveCharWidth = Metrics.tmAveCharWidth;
    MaxCharWidth = Metrics.tmMaxCharWidth;
}

// The screen's device context for the holder's life.
class TScreenDC {
public:
    TScreenDC() : dc_(pGetDC()(nullptr)) {}
    ~TScreenDC() {
        if (dc_) pReleaseDC()(nullptr, dc_);
    }
    TScreenDC(const TScreenDC&) = delete;
    TScreenDC& operator=(const TScreenDC&) = delete;
    HDC Get() const { return dc_; }

private:
    HDC dc_;
};

} // namespace Zyl::WinApi
