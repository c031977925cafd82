// A platform canvas and services that write every call into a log as text
// ("SetPen($0,1,0)", colours in hexadecimal) on top of the memory doubles,
// so that tests check both the calls a unit makes and the pixels it leaves.
// Text is measured as the soft block font at -12 measures it: 7 pixels per
// character, line height 13, ascent 11.
//
// Beside them, the offscreen backend's doubles: a sink that records every
// call it receives and can run a scripted action in any handler, windows
// and controls that count their live instances, and pixel reading.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Zyl.Platform.Offscreen.h"
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
    void Polyline(const TPlatformPoint* points, int32_t lastIndex) override;
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

// The calls of every sink of one test, in the order made.
class TEventLog : public System::TObject {
public:
    std::vector<std::string> Lines;
    // The lines joined by spaces, for compact comparisons.
    std::string Text() const;
    void Clear() { Lines.clear(); }
};

// Logs each call as "Name:Event(arguments)" ("B:MouseDown(3,4,1,0)",
// "B:MouseEnter"); Paint fills everything the clip allows with PaintColour
// unless it is negative. An action set for an event name runs after the call
// is logged, and the sink touches itself afterwards, so a sink freed by its
// own action shows under the sanitizers.
class TRecordingEvents : public TPlatformEvents {
public:
    TRecordingEvents(std::string name, TRef<TEventLog> log, int32_t paintColour = -1);

    std::string Name;
    TRef<TEventLog> Log;
    int32_t PaintColour;
    std::map<std::string, std::function<void()>> Actions;
    int32_t Calls = 0;

    void Paint(TPlatformCanvas* canvas) override;
    void MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseMove(int32_t x, int32_t y, int32_t shift) override;
    void KeyDown(int32_t key, int32_t shift, int32_t extra) override;
    void KeyUp(int32_t key, int32_t shift) override;
    void CharInput(char16_t ch) override;
    void Resized(int32_t width, int32_t height) override;
    void WindowStateChanged(int32_t state) override;
    void MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void FocusChanged(bool focused) override;

private:
    void Record(const std::string& event, const std::vector<int64_t>& arguments = {});
};

// Live instances, so that a test can show that nothing outlived it.
class TCountedWindow : public TOffscreenWindow {
public:
    explicit TCountedWindow(TOffscreenApp* app) : TOffscreenWindow(app) { ++Live; }
    ~TCountedWindow() override { --Live; }
    static inline int32_t Live = 0;
};

class TCountedControl : public TOffscreenControl {
public:
    TCountedControl() { ++Live; }
    ~TCountedControl() override { --Live; }
    static inline int32_t Live = 0;
};

// The colour (red in the low byte) at (x, y) of a surface made by
// TMemoryServices.
int32_t ColorAt(TPlatformSurface& surface, int32_t x, int32_t y);

} // namespace Zyl::Testing
