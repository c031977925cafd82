#include "Zyl.Test.Recording.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>

#include "Zyl.Platform.Png.h"
#include "Zyl.Test.Text.h"

namespace Zyl::Testing {

namespace {

std::string Hex(int32_t color) {
    char text[16];
    std::snprintf(text, sizeof text, "$%X", uint32_t(color));
    return text;
}

std::string Args(std::initializer_list<int64_t> values) {
    std::string text;
    for (int64_t v : values) text += (text.empty() ? "" : ",") + std::to_string(v);
    return text;
}

} // namespace

// ---- TRecordingCanvas ----------------------------------------------------------

TRecordingCanvas::TRecordingCanvas(TMemorySurface* surface, std::shared_ptr<TCallLog> log)
    : TMemoryCanvas(surface ? surface : System::MakeRef<TMemorySurface>(1, 1, false).Get()), Log(std::move(log)) {}

void TRecordingCanvas::Record(const std::string& call) {
    Log->push_back(call);
    const std::string name = call.substr(0, call.find('('));
    if (std::find(RaiseOn.begin(), RaiseOn.end(), name) != RaiseOn.end())
        throw System::Exception(u"falha simulada em " + std::u16string(name.begin(), name.end()));
}

void TRecordingCanvas::Save() {
    Record("Save()");
    TMemoryCanvas::Save();
}

void TRecordingCanvas::Restore() {
    Record("Restore()");
    TMemoryCanvas::Restore();
}

void TRecordingCanvas::SetPen(int32_t color, int32_t width, int32_t style) {
    Record("SetPen(" + Hex(color) + "," + Args({width, style}) + ")");
}

void TRecordingCanvas::SetBrush(int32_t color, int32_t style) {
    Record("SetBrush(" + Hex(color) + "," + Args({style}) + ")");
}

void TRecordingCanvas::SetFont(const std::u16string& name, int32_t height, int32_t style, int32_t color) {
    Record("SetFont(" + Narrow(name) + "," + Args({height, style}) + "," + Hex(color) + ")");
}

void TRecordingCanvas::SetTextAngle(int32_t angle) { Record("SetTextAngle(" + Args({angle}) + ")"); }

void TRecordingCanvas::SetBackground(int32_t color, bool transparent) {
    Record("SetBackground(" + Hex(color) + "," + Args({transparent}) + ")");
}

void TRecordingCanvas::SetRop2(int32_t mode) { Record("SetRop2(" + Args({mode}) + ")"); }

void TRecordingCanvas::ClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Record("ClipRect(" + Args({left, top, right, bottom}) + ")");
    TMemoryCanvas::ClipRect(left, top, right, bottom);
}

void TRecordingCanvas::MoveTo(int32_t x, int32_t y) {
    Record("MoveTo(" + Args({x, y}) + ")");
    TMemoryCanvas::MoveTo(x, y);
}

void TRecordingCanvas::LineTo(int32_t x, int32_t y) {
    Record("LineTo(" + Args({x, y}) + ")");
    PenX = x, PenY = y;
}

void TRecordingCanvas::Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Record("Rectangle(" + Args({left, top, right, bottom}) + ")");
}

void TRecordingCanvas::RoundRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t cornerWidth,
                                 int32_t cornerHeight) {
    Record("RoundRect(" + Args({left, top, right, bottom, cornerWidth, cornerHeight}) + ")");
}

void TRecordingCanvas::Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Record("Ellipse(" + Args({left, top, right, bottom}) + ")");
}

void TRecordingCanvas::Polyline(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex) {
    std::string call = "Polyline(";
    for (int32_t i = 0; i < UsablePointCount(points, pointCount, lastIndex); ++i) call += (i ? ",(" : "(") + Args({points[i].X, points[i].Y}) + ")";
    Record(call + ";" + Args({lastIndex}) + ")");
}

void TRecordingCanvas::FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t color) {
    Record("FillRect(" + Args({left, top, right, bottom}) + "," + Hex(color) + ")");
    TMemoryCanvas::FillRect(left, top, right, bottom, color);
}

void TRecordingCanvas::FillRectBrush(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Record("FillRectBrush(" + Args({left, top, right, bottom}) + ")");
}

void TRecordingCanvas::FrameRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    Record("FrameRect(" + Args({left, top, right, bottom}) + ")");
}

void TRecordingCanvas::TextOut(int32_t x, int32_t y, const std::u16string& text) {
    Record("TextOut(" + Args({x, y}) + "," + Narrow(text) + ")");
}

void TRecordingCanvas::TextRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x, int32_t y,
                                const std::u16string& text, bool opaque) {
    Record("TextRect(" + Args({left, top, right, bottom, x, y}) + "," + Narrow(text) + "," + Args({opaque}) + ")");
}

void TRecordingCanvas::TextExtent(const std::u16string& text, int32_t& width, int32_t& height) {
    Record("TextExtent(" + Narrow(text) + ")");
    width = int32_t(text.size()) * kFakeCharWidth;
    height = kFakeLineHeight;
}

void TRecordingCanvas::FontMetrics(int32_t& height, int32_t& ascent, int32_t& descent, int32_t& internalLeading,
                                   int32_t& externalLeading, int32_t& aveCharWidth, int32_t& maxCharWidth) {
    Record("FontMetrics()");
    height = LineHeight;
    ascent = kFakeAscent;
    descent = kFakeLineHeight - kFakeAscent;
    internalLeading = externalLeading = 0;
    aveCharWidth = maxCharWidth = kFakeCharWidth;
}

template <class Blend>
void TRecordingCanvas::Blit(TPlatformSurface* source, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                            int32_t srcBottom, int32_t dstLeft, int32_t dstTop, int32_t dstRight, int32_t dstBottom,
                            Blend blend) {
    auto* from = dynamic_cast<TMemorySurface*>(source);
    auto* to = static_cast<TMemorySurface*>(GetSurface());
    if (!from || dstRight <= dstLeft || dstBottom <= dstTop) return;
    const int64_t srcWidth = int64_t(srcRight) - srcLeft, srcHeight = int64_t(srcBottom) - srcTop;
    const int64_t dstWidth = int64_t(dstRight) - dstLeft, dstHeight = int64_t(dstBottom) - dstTop;
    for (int64_t y = 0; y < dstHeight; ++y)
        for (int64_t x = 0; x < dstWidth; ++x) {
            const int64_t sx = srcLeft + x * srcWidth / dstWidth, sy = srcTop + y * srcHeight / dstHeight;
            const int64_t dx = dstLeft + x, dy = dstTop + y;
            if (sx < 0 || sy < 0 || sx >= from->Width() || sy >= from->Height()) continue;
            if (dx < 0 || dy < 0 || dx >= to->Width() || dy >= to->Height()) continue;
            to->SetPixelValue(int32_t(dx), int32_t(dy),
                              blend(to->Pixel(int32_t(dx), int32_t(dy)), from->Pixel(int32_t(sx), int32_t(sy))));
        }
}

void TRecordingCanvas::DrawSurfaceEx(TPlatformSurface* surface, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                                     int32_t srcBottom, int32_t dstLeft, int32_t dstTop, int32_t dstRight,
                                     int32_t dstBottom, int32_t rop, int32_t opacity, bool useAlpha) {
    Record("DrawSurfaceEx(" + Args({srcLeft, srcTop, srcRight, srcBottom, dstLeft, dstTop, dstRight, dstBottom}) +
           "," + Hex(rop) + "," + Args({opacity, useAlpha}) + ")");
    const bool opaque = !GetSurface()->HasAlpha();
    Blit(surface, srcLeft, srcTop, srcRight, srcBottom, dstLeft, dstTop, dstRight, dstBottom,
         [&](uint32_t dst, uint32_t src) {
             uint32_t result = src;
             if (useAlpha || opacity < 255) {
                 // Premultiplied: source × opacity + destination × (1 − its share).
                 const uint32_t share = useAlpha ? (src >> 24) * uint32_t(opacity) / 255 : uint32_t(opacity);
                 result = 0;
                 for (int shift = 0; shift < 32; shift += 8) {
                     const uint32_t s = (src >> shift & 0xFF) * uint32_t(opacity) / 255;
                     const uint32_t d = (dst >> shift & 0xFF) * (255 - share) / 255;
                     result |= std::min<uint32_t>(s + d, 255) << shift;
                 }
             }
             return opaque ? result | 0xFF000000u : result;
         });
}

void TRecordingCanvas::DrawSurfaceTransparent(TPlatformSurface* surface, int32_t srcLeft, int32_t srcTop,
                                              int32_t srcRight, int32_t srcBottom, int32_t dstLeft, int32_t dstTop,
                                              int32_t dstRight, int32_t dstBottom, int32_t transparentColor) {
    Record("DrawSurfaceTransparent(" +
           Args({srcLeft, srcTop, srcRight, srcBottom, dstLeft, dstTop, dstRight, dstBottom}) + "," +
           Hex(transparentColor) + ")");
    Blit(surface, srcLeft, srcTop, srcRight, srcBottom, dstLeft, dstTop, dstRight, dstBottom,
         [&](uint32_t dst, uint32_t src) {
             return ColorOfPixel(src) == transparentColor ? dst : src | 0xFF000000u;
         });
}

// ---- TRecordingSurface ---------------------------------------------------------

TRecordingSurface::TRecordingSurface(int32_t width, int32_t height, bool hasAlpha, int32_t stride,
                                     TMemoryServices* owner, std::shared_ptr<TCallLog> log)
    : TMemorySurface(width, height, hasAlpha, stride, owner), log_(std::move(log)) {}

TRef<TPlatformCanvas> TRecordingSurface::CreateCanvas() {
    return System::MakeRef<TRecordingCanvas>(this, log_);
}

// ---- TRecordingServices --------------------------------------------------------

TRef<TPlatformSurface> TRecordingServices::CreateSurface(int32_t width, int32_t height, bool hasAlpha) {
    const std::string call = "CreateSurface " + std::to_string(width) + " " + std::to_string(height) +
                             (hasAlpha ? " 1" : " 0");
    if (FailCreateSurface) {
        Calls.push_back(call + " -> nil");
        return nullptr;
    }
    Calls.push_back(call);
    auto surface = System::MakeRef<TRecordingSurface>(width, height, hasAlpha, std::max(width, 0) * 4 + RowPadding,
                                                      this, CanvasLog);
    surface->NilBits = NilBitsSurfaces;
    return surface;
}

TRef<TPlatformSurface> TRecordingServices::LoadPngMemory(const uint8_t* data, int32_t size) {
    Calls.push_back("LoadPngMemory " + std::to_string(size));
    return DecodePng(data, size, *this);
}

int32_t TRecordingServices::ScreenDpi() {
    FontCalls.push_back("ScreenDpi");
    return Dpi;
}

std::u16string TRecordingServices::DefaultFontName() {
    FontCalls.push_back("DefaultFontName");
    return FontName;
}

int32_t TRecordingServices::DefaultFontSize() {
    FontCalls.push_back("DefaultFontSize");
    return FontSize;
}

} // namespace Zyl::Testing
