#include "Zyl.Platform.Offscreen.Fixture.h"

namespace Zyl::Testing {

using System::MakeRef;

OffscreenFixture::OffscreenFixture() { Window = NewWindow(); }

OffscreenFixture::~OffscreenFixture() {
    for (const TRef<TOffscreenWindow>& window : windows_) window->Dispose();
    for (const TRef<TOffscreenControl>& control : controls_) control->Dispose();
    ReleaseAll();
    EXPECT_EQ(TCountedWindow::Live, 0);
    EXPECT_EQ(TCountedControl::Live, 0);
    EXPECT_EQ(Services->LiveSurfaces, 0);
}

void OffscreenFixture::ReleaseAll() {
    Window = nullptr;
    windows_.clear();
    controls_.clear();
}

void OffscreenFixture::Forget(TOffscreenControl* control) {
    std::erase_if(controls_, [&](const TRef<TOffscreenControl>& c) { return c.Get() == control; });
}

TRef<TOffscreenWindow> OffscreenFixture::NewWindow(int32_t w, int32_t h) {
    const TRef<TOffscreenWindow> window = MakeRef<TCountedWindow>(App.Get());
    window->SetSize(w, h);
    windows_.push_back(window);
    return window;
}

TRef<TOffscreenControl> OffscreenFixture::NewControl(const std::string& name, int32_t colour, int32_t l,
                                                     int32_t t, int32_t w, int32_t h) {
    const TRef<TOffscreenControl> control = MakeRef<TCountedControl>();
    if (!name.empty()) control->Events = MakeRef<TRecordingEvents>(name, Log, colour);
    control->SetBounds(l, t, w, h);
    controls_.push_back(control);
    return control;
}

TRef<TOffscreenControl> OffscreenFixture::Place(const std::string& name, int32_t colour, int32_t x, int32_t y,
                                                int32_t w, int32_t h, TOffscreenControl* parent) {
    const TRef<TOffscreenControl> control = NewControl(name, colour, 0, 0, w, h);
    if (parent)
        parent->AddChild(control.Get(), x, y);
    else
        Window->AddChild(control.Get(), x, y);
    return control;
}

TRecordingEvents& OffscreenFixture::Sink(TOffscreenControl& control) {
    return dynamic_cast<TRecordingEvents&>(*control.Events);
}

TRecordingEvents& OffscreenFixture::WindowSink(int32_t colour) {
    Window->Events = MakeRef<TRecordingEvents>("W", Log, colour);
    return dynamic_cast<TRecordingEvents&>(*Window->Events);
}

void OffscreenFixture::Settle() {
    Window->RenderWindowSurface();
    Log->Clear();
}

} // namespace Zyl::Testing
