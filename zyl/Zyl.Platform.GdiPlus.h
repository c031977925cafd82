// The "gdiplus" canvas backend: GDI+ (gdiplus.dll, bound by name at run
// time) drawing into the program's own memory surfaces. This part: when the
// backend counts as available, loading, binding and starting GDI+ once for
// the process with a proof drawing, the text of the last failure, and the
// rendering options read from the environment.
//
// Everything here is process-wide and lives until the process ends: a failed
// start is never retried and GDI+ is never shut down. UI thread only.
#pragma once

#include <cstdint>
#include <string>

namespace Zyl {

struct TGdipOptions {
    bool Read = false;
    // "ZYL_GDIPLUS_AA" = "0" turns smoothing off for every surface.
    bool Antialias = true;
    // GDI+ smoothing mode: 4 antialias, 5 (8 x 8) or 2 (high quality).
    int32_t SmoothingMode = 4;
    // GDI+ text rendering hint: 0 the system's, 1 grey, 2 mono.
    int32_t TextMode = 0;
    // Positioned layout (true) or string layout of text runs.
    bool LayoutMode = true;
};

extern TGdipOptions GdipOptions;

// Starts again from the defaults and applies "ZYL_GDIPLUS_AA", "_SMOOTH",
// "_TEXT" and "_LAYOUT" (trimmed; the last two lower-cased). Runs at every
// factory run.
void ReadGdipOptions();

// "auto" never chooses this backend.
bool GdipAutoChoiceAllowed();

// The availability test: "ZYL_GDIPLUS_MISSING" unset (a value of 31 or more
// characters, or exactly "0", counts as unset) and gdiplus.dll in the system
// folder. Decided once.
bool GdipUsable();
bool GdipBackendAvailable();
// gdiplus.dll (a file or a folder) exists in the system folder.
bool GdiplusDllPresent();
// Loads, binds, starts and proves GDI+ on the first call only; the result
// stays in force. An Exception raised in between is kept as the last error.
bool StartGdiplusOnce();
// False with the reason in the last error.
bool LoadGdiplus();
std::u16string GetGdipLastError();

} // namespace Zyl
