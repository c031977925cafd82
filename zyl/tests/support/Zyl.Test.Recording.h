// A platform canvas and services that write every call into a log as text
// ("SetPen($0,1,0)", colours in hexadecimal) on top of the memory doubles,
// so that tests check both the calls a unit makes and the pixels it leaves.
// Text is measured as the soft block font at -12 measures it: 7 pixels per
// character, line height 13, ascent 11.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Zyl.Test.Memory.h"

namespace Zyl::Testing {

using TCallLog = std::vector<std::string>;

constexpr int32_t kFakeCharWidth = 7;
constexpr int32_t kFakeLineHeight = 13;
constexpr int32_t kFakeAscent = 11;

class TRecordingCanvas : public TMemoryCanvas {
public:
    // Without a surface it draws into a 1x1 one of its own.
    explicit TRecordingCanvas(TMemorySurface* surface = nullptr,
                              std::shared_ptr<TCallLog> log = std::make_shared<TCallLog>());

    std::shared_ptr<TCallLog> Log;
    // Calls of these names raise System::Exception "falha simulada em " +
    // name once they are logged, before they act.
    std::vector<std::string> RaiseOn;
    // What FontMetrics reports as the line height.
    int32_t LineHeight = kFakeLineHeight;

    void Save() override;
    void Restore() override;
    void SetPen(int32_t color, int32_t width, int32_t style) override;
    void SetBrush(int32_t color, int32_t style) override;
    void SetFont(const std::u16string& name, int32_t height, int32_t style, int32_t color) override;
    void SetTextAngle(int32_t angle) override;
    void SetBackground(int32_t color, bool transparent) override;
    void SetRop2(int32_t mode) override;
    void ClipRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void MoveTo(int32_t x, int32_t y) override;
    void LineTo(int32_t x, int32_t y) override;
    void Rectangle(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void RoundRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t cornerWidth,
                   int32_t cornerHeight) override;
    void Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void Polyline(const TPlatformPoint* points, int32_t pointCount, int32_t lastIndex) override;
    void FillRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t color) override;
    void FillRectBrush(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void FrameRect(int32_t left, int32_t top, int32_t right, int32_t bottom) override;
    void TextOut(int32_t x, int32_t y, const std::u16string& text) override;
    void TextRect(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t x, int32_t y,
                  const std::u16string& text, bool opaque) override;
    void TextExtent(const std::u16string& text, int32_t& width, int32_t& height) override;
    void FontMetrics(int32_t& height, int32_t& ascent, int32_t& descent, int32_t& internalLeading,
                     int32_t& externalLeading, int32_t& aveCharWidth, int32_t& maxCharWidth) override;
    // Nearest-pixel scaling from a memory surface, unclipped; with UseAlpha
    // or an opacity below 255 premultiplied "over" blending.
    void DrawSurfaceEx(TPlatformSurface* surface, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                       int32_t srcBottom, int32_t dstLeft, int32_t dstTop, int32_t dstRight, int32_t dstBottom,
                       int32_t rop, int32_t opacity, bool useAlpha) override;
    // As a plain copy that skips the source pixels of the colour.
    void DrawSurfaceTransparent(TPlatformSurface* surface, int32_t srcLeft, int32_t srcTop, int32_t srcRight,
                                int32_t srcBottom, int32_t dstLeft, int32_t dstTop, int32_t dstRight,
                                int32_t dstBottom, int32_t transparentColor) override;

private:
    void Record(const std::string& call);
    template <class Blend>
    void Blit(TPlatformSurface* source, int32_t srcLeft, int32_t srcTop, int32_t srcRight, int32_t srcBottom,
              int32_t dstLeft, int32_t dstTop, int32_t dstRight, int32_t dstBottom, Blend blend);
};

// A memory surface whose canvases record into the services' canvas log.
class TRecordingSurface : public TMemorySurface {
public:
    TRecordingSurface(int32_t width, int32_t height, bool hasAlpha, int32_t stride, TMemoryServices* owner,
                      std::shared_ptr<TCallLog> log);
    TRef<TPlatformCanvas> CreateCanvas() override;

private:
    std::shared_ptr<TCallLog> log_;
};

// Memory services whose surfaces are recording surfaces. The font defaults
// can be set, and asking for them is logged in FontCalls; PNG data goes
// through the library's decoder.
class TRecordingServices : public TMemoryServices {
public:
    // What every canvas on these services' surfaces logs into.
    std::shared_ptr<TCallLog> CanvasLog = std::make_shared<TCallLog>();
    int32_t Dpi = 96;
    std::u16string FontName = u"Segoe UI";
    int32_t FontSize = 9;
    TCallLog FontCalls;

    TRef<TPlatformSurface> CreateSurface(int32_t width, int32_t height, bool hasAlpha) override;
    TRef<TPlatformSurface> LoadPngMemory(const uint8_t* data, int32_t size) override;
    int32_t ScreenDpi() override;
    std::u16string DefaultFontName() override;
    int32_t DefaultFontSize() override;
};

} // namespace Zyl::Testing
