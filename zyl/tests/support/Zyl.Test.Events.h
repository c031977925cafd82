// Test doubles of the offscreen backend's tests: a sink that records every
// call it receives and can run a scripted action in any handler, windows
// and controls that count their live instances, and pixel reading.
#pragma once

#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Test.Memory.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace Zyl::Testing {

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
