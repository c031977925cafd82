// What the screen probes share: the line that names the active canvas
// backend, and the loop that keeps the frame up and says "ready" once it is
// on the screen (for as long as the probe runs, or until its page is done).
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.h"

inline void PrintActiveCanvasBackend() {
    const std::u16string backend = Zyl::ActiveCanvasBackendName();
    std::printf("backend=%s\n", std::string(backend.begin(), backend.end()).c_str()); // the names are ASCII
    std::fflush(stdout);
}

// Keeps the frame up, processing messages, until it has been up 700 ms (then
// says "ready") and done() answers true.
template <class Done>
void ShowFrameUntil(Zyl::TPlatformApp& app, Done done) {
    const ULONGLONG start = GetTickCount64();
    bool ready = false;
    while (!ready || !done()) {
        app.ProcessMessages();
        if (!ready && GetTickCount64() - start > 700) {
            std::printf("ready\n");
            std::fflush(stdout);
            ready = true;
        }
        app.WaitForEvents(50);
    }
}

inline void RunScreenProbe(Zyl::TPlatformApp& app, int seconds) {
    PrintActiveCanvasBackend();
    const ULONGLONG start = GetTickCount64();
    ShowFrameUntil(app, [&] { return GetTickCount64() - start >= ULONGLONG(seconds) * 1000; });
}
