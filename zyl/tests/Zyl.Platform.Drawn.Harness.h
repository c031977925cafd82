// The drawn widgets' fixture: soft pixels, an offscreen shell application
// that counts what it makes, a drawn application over it and one drawn
// window of 240 x 160 whose shell window the tests drive.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "Zyl.Platform.Drawn.h"
#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Platform.Png.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Test.Memory.h"

namespace Zyl::Testing {

class ProbeShellApp : public TOffscreenApp {
public:
    int32_t Hosts = 0;
    // Every host made, in order.
    std::vector<TPlatformControl*> MadeHosts;
    int32_t Windows = 0;
    std::vector<TPlatformWindow*> DialogOwners;

    System::TRef<TPlatformControl> CreateCustomControl() override {
        ++Hosts;
        System::TRef<TPlatformControl> host = TOffscreenApp::CreateCustomControl();
        MadeHosts.push_back(host.Get());
        return host;
    }
    System::TRef<TPlatformWindow> CreateWindow() override {
        ++Windows;
        return TOffscreenApp::CreateWindow();
    }
    int32_t MessageBox(TPlatformWindow* owner, const std::u16string& title, const std::u16string& text,
                       int32_t kind, int32_t buttons) override {
        DialogOwners.push_back(owner);
        return TOffscreenApp::MessageBox(owner, title, text, kind, buttons);
    }
};

// Logs every call as one line and answers TakeKeyHandled and KeyPress as
// scripted.
class ProbeSink : public TPlatformEvents {
public:
    std::vector<std::string> Log;
    bool KeyHandled = false;
    // Replaces every character when not -1.
    int32_t KeyPressAnswer = -1;

    void Line(std::string text, std::initializer_list<int64_t> args = {}) {
        for (int64_t a : args) text += " " + std::to_string(a);
        Log.push_back(text);
    }
    void MouseDown(int32_t x, int32_t y, int32_t b, int32_t s) override { Line("MouseDown", {x, y, b, s}); }
    void MouseUp(int32_t x, int32_t y, int32_t b, int32_t s) override { Line("MouseUp", {x, y, b, s}); }
    void MouseMove(int32_t x, int32_t y, int32_t s) override { Line("MouseMove", {x, y, s}); }
    void MouseWheel(int32_t x, int32_t y, int32_t d, int32_t s) override { Line("MouseWheel", {x, y, d, s}); }
    void KeyDown(int32_t k, int32_t s, int32_t) override { Line("KeyDown", {k, s}); }
    void KeyUp(int32_t k, int32_t s) override { Line("KeyUp", {k, s}); }
    void CharInput(char16_t c) override { Line("CharInput", {c}); }
    bool TakeKeyHandled(int32_t, int32_t) override { return KeyHandled; }
    char16_t KeyPress(char16_t c) override { return KeyPressAnswer < 0 ? c : char16_t(KeyPressAnswer); }
    void Resized(int32_t w, int32_t h) override { Line("Resized", {w, h}); }
    void MouseEnter() override { Line("MouseEnter"); }
    void MouseLeave() override { Line("MouseLeave"); }
    void FocusChanged(bool f) override { Line("FocusChanged", {f}); }
    void DoubleClick() override { Line("DoubleClick"); }
    void Scroll(int32_t code, int32_t pos) override { Line("Scroll", {code, pos}); }
    void Click() override { Line("Click"); }
    void Changed() override { Line("Changed"); }

    std::string Text() const {
        std::string all;
        for (const std::string& l : Log) all += (all.empty() ? "" : ", ") + l;
        return all;
    }
    std::string Take() {
        std::string all = Text();
        Log.clear();
        return all;
    }
};

class DrawnHarness : public ::testing::Test {
public:
    DrawnHarness()
        : services_(System::MakeRef<TSoftServices>()), Shell(System::MakeRef<ProbeShellApp>()),
          App(System::MakeRef<TDrawnApp>(Shell)) {
        Window = App->CreateWindow();
        Window->SetSize(240, 160);
        ShellWindow = static_cast<TOffscreenWindow*>(static_cast<TDrawnWindow*>(Window.Get())->ShellWindow.Get());
        ShellWindow->Show();
    }

    // A control of the factory's kind at (x, y) in the window, with a sink.
    template <class W>
    System::TRef<W> Place(System::TRef<TPlatformControl> control, int32_t x, int32_t y, int32_t w, int32_t h,
                          System::TRef<ProbeSink>* sink = nullptr) {
        auto probe = System::MakeRef<ProbeSink>();
        control->Events = probe;
        Window->AddChild(control.Get(), x, y);
        control->SetBounds(x, y, w, h);
        if (sink) *sink = probe;
        return System::TRef<W>(static_cast<W*>(control.Get()));
    }

    void Click(int32_t x, int32_t y) {
        ShellWindow->RouteMouseMove(x, y, 0);
        ShellWindow->RouteMouseDown(x, y, MouseButtonLeft, 0);
        ShellWindow->RouteMouseUp(x, y, MouseButtonLeft, 0);
    }
    void Key(int32_t key) {
        ShellWindow->RouteKeyDown(key, 0);
        ShellWindow->RouteKeyUp(key, 0);
    }
    void Advance(int32_t ms) { App->WaitForEvents(ms); }
    void Render() {
        ShellWindow->RequestFullRepaint();
        ShellWindow->RenderWindowSurface();
    }
    // 0xRRGGBB at (x, y) of the window's surface.
    int32_t Px(int32_t x, int32_t y) {
        const System::TRef<TPlatformSurface> s = ShellWindow->GetSurface();
        const uint8_t* p = s->Bits() + int64_t{y} * s->Stride() + int64_t{x} * 4;
        return p[2] << 16 | p[1] << 8 | p[0];
    }
    // On the host, the window's pixels as a PNG file of that name in the
    // temporary folder, for a person to look at.
    void SaveScreenshot(const char* name) {
#ifndef _WIN32
        const System::TBytes png = EncodePng(ShellWindow->GetSurface().Get());
        EXPECT_FALSE(png.empty());
        std::ofstream(std::filesystem::temp_directory_path() / name, std::ios::binary)
            .write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
#else
        (void)name;
#endif
    }
    // A point of the window, the colour (0xBBGGRR, as the palette holds
    // it) that the widgets' painting rules give it, and what it shows.
    struct PixelCheck {
        int32_t X, Y, Color;
        const char* What;
    };
    void ExpectPixels(std::initializer_list<PixelCheck> checks) {
        for (const PixelCheck& c : checks)
            EXPECT_EQ(Px(c.X, c.Y), Rgb(c.Color)) << c.What << " at " << c.X << "," << c.Y;
    }
    // A palette entry (0xBBGGRR) as Px reports it.
    static int32_t Rgb(int32_t color) {
        return (color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF);
    }
    static int32_t C(int32_t index) { return Rgb(ThemeColor(index)); }

    TScopedPlatformServices services_;
    System::TRef<ProbeShellApp> Shell;
    System::TRef<TDrawnApp> App;
    System::TRef<TPlatformWindow> Window;
    TOffscreenWindow* ShellWindow = nullptr;
};

} // namespace Zyl::Testing
