// A 16 × 12 offscreen window on memory services, with controls whose
// recording sinks fill them with their own colour. Every window and control
// a test makes is disposed after it, and none may outlive it.
#pragma once

#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Test.Events.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace Zyl::Testing {

constexpr int32_t kRed = 0x0000FF;
constexpr int32_t kGreen = 0x00FF00;
constexpr int32_t kBlue = 0xFF0000;
constexpr int32_t kYellow = 0x00FFFF;
constexpr int32_t kBackground = 0xF0F0F0;

class OffscreenFixture : public ::testing::Test {
public:
    OffscreenFixture();
    ~OffscreenFixture() override;

    // A counted window of the test's application, w × h.
    TRef<TOffscreenWindow> NewWindow(int32_t w = 16, int32_t h = 12);
    // A counted control at (l, t, w, h) whose sink, named name, paints
    // colour (negative: nothing); no sink when name is empty.
    TRef<TOffscreenControl> NewControl(const std::string& name, int32_t colour, int32_t l, int32_t t,
                                       int32_t w, int32_t h);
    // The same, placed at (x, y) in the window, or in parent when given.
    TRef<TOffscreenControl> Place(const std::string& name, int32_t colour, int32_t x, int32_t y, int32_t w,
                                  int32_t h, TOffscreenControl* parent = nullptr);
    // The control's recording sink.
    static TRecordingEvents& Sink(TOffscreenControl& control);
    // The test's own sink on the window.
    TRecordingEvents& WindowSink(int32_t colour = -1);

    int32_t ColorAt(int32_t x, int32_t y) { return Testing::ColorAt(*Window->Surface, x, y); }
    // Clears the pending repaint and the log, as after a frame.
    void Settle();
    std::string LogText() const { return Log->Text(); }
    // Drops the fixture's own references, disposing nothing.
    void ReleaseAll();
    // Drops the fixture's reference to one control.
    void Forget(TOffscreenControl* control);
    // The mode these tests run in, from the environment of the process.
    static int32_t Mode() { return DirtyRepaintMode(); }

    TRef<TMemoryServices> Services = System::MakeRef<TMemoryServices>();
    TScopedPlatformServices ScopedServices{Services};
    TRef<TOffscreenApp> App = System::MakeRef<TOffscreenApp>();
    TRef<TEventLog> Log = System::MakeRef<TEventLog>();
    TRef<TOffscreenWindow> Window;

private:
    std::vector<TRef<TOffscreenWindow>> windows_;
    std::vector<TRef<TOffscreenControl>> controls_;
};

} // namespace Zyl::Testing
