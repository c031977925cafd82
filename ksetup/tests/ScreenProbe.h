// What the screen probes share: after the caller's "expect" lines, the
// active backend, then the loop that keeps the frame up and says "ready"
// once it is on the screen.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.h"

inline void RunScreenProbe(Zyl::TPlatformApp& app, int seconds) {
    const std::u16string backend = Zyl::ActiveCanvasBackendName();
    std::printf("backend=%s\n", std::string(backend.begin(), backend.end()).c_str()); // the names are ASCII
    const ULONGLONG start = GetTickCount64();
    bool ready = false;
    while (GetTickCount64() - start < ULONGLONG(seconds) * 1000) {
        app.ProcessMessages();
        if (!ready && GetTickCount64() - start > 700) {
            std::printf("ready\n");
            std::fflush(stdout);
            ready = true;
        }
        app.WaitForEvents(50);
    }
}
