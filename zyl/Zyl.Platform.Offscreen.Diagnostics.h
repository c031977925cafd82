// The repaint verifier and the presentation diagnostics. With "ZYL_DIRTY"
// set to "check", every partial repaint of an offscreen window is checked
// against a full repaint into a surface of its own; a difference is reported
// on standard output and repaired by taking the full repaint. The shell
// reports, once, a frame it could not present. No Windows interface here:
// the two writers are replaceable and live in files of their own.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "Zyl.Platform.h"

namespace Zyl {

// Partial repaints so far and their summed area in pixels, for the life of
// the process.
extern int32_t PartialRepaintCount;
extern int64_t PartialRepaintArea;

// Counts one partial repaint of the region (right and bottom exclusive); an
// empty or reversed region adds no area.
void CountPartialRepaint(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);

// Paints the whole window's content on a canvas: its own sink, then every
// visible control.
using TPaintWindowContent = std::function<void(TPlatformCanvas* Canvas)>;

// Verifies the partial repaint just made into WindowSurface (Width × Height)
// whose painted region was (DirtyLeft, DirtyTop, DirtyRight, DirtyBottom):
// paints the whole window into a new surface of the current services and
// compares every pixel. A difference writes "DIRTY-MISMATCH" and copies the
// full repaint over the window's surface; otherwise the counts 1, 10, 100,
// 1000 and 10000 write "DIRTY-OK". Without a reference surface or pixels to
// reach, nothing is written or repaired.
void VerifyPartialRepaint(TPlatformSurface* WindowSurface, int32_t Width, int32_t Height, int32_t DirtyLeft,
                          int32_t DirtyTop, int32_t DirtyRight, int32_t DirtyBottom,
                          const TPaintWindowContent& PaintWindowContent);

// Writes "ZYL: " and the message to the debugger output on the first call
// of the process; later calls write nothing.
void ReportPresentFailure(const std::u16string& Message);

// Where the diagnostic lines go: the process's standard output handle
// (GetStdHandle and WriteFile at each write) and the debugger output
// (OutputDebugStringW). Tests replace them.
using TDiagnosticOutputProc = void (*)(const std::string& Text);
using TDebugOutputProc = void (*)(const std::u16string& Text);
TDiagnosticOutputProc& DiagnosticOutputProc();
TDebugOutputProc& DebugOutputProc();

// The system's writers that the two start with (on the host: standard
// output, and standard error for the debugger).
void WriteStandardOutput(const std::string& Text);
void WriteDebugOutput(const std::u16string& Text);

} // namespace Zyl
