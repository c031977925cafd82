// Starts the application as the installer does and shows a borderless
// 200 x 200 window at (100, 100) whose four offscreen controls fill the
// quadrants with red, green, blue and yellow; prints "backend=" and the
// active canvas backend, the pixels to expect on the screen, then "ready"
// once the frame is on the screen, and
// keeps the window up for the seconds given (default 5).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "KS.Startup.h"
#include "ScreenProbe.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Shell.h"
#include "Zyl.Test.Events.h"
#include "Zyl.Test.Recording.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    KS::InitializeUnits();
    KS::InitializeApplication();
    TShellWinApp& app = *KS::ShellApplication();
    const TRef<TPlatformWindow> window = app.CreateWindow();
    window->SetBorderStyle(0);
    window->SetPosition(100, 100);
    window->SetSize(200, 200);
    const TRef<Testing::TEventLog> log = MakeRef<Testing::TEventLog>();
    const int32_t colours[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0x00FFFF};
    std::vector<TRef<TOffscreenControl>> controls;
    for (int i = 0; i < 4; ++i) {
        auto control = MakeRef<TOffscreenControl>();
        control->Events = MakeRef<Testing::TRecordingEvents>("Q", log, colours[i]);
        control->SetBounds((i % 2) * 100, (i / 2) * 100, 100, 100);
        window->AddChild(control.Get(), (i % 2) * 100, (i / 2) * 100);
        controls.push_back(control);
    }
    window->Show();
    for (const char* expect : {"100 100 255 0 0", "299 100 0 255 0", "100 299 0 0 255", "299 299 255 255 0",
                               "150 150 255 0 0", "250 250 255 255 0"})
        std::printf("expect %s\n", expect);
    RunScreenProbe(app, seconds);
    static_cast<TShellWinWindow&>(*window).Destroy();
    return 0;
}
