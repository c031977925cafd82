#include "Zyl.Platform.Offscreen.Diagnostics.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace Zyl {

int32_t PartialRepaintCount = 0;
int64_t PartialRepaintArea = 0;

namespace {

bool presentFailureReported = false;

bool IsReportedCount(int32_t count) {
    return count == 1 || count == 10 || count == 100 || count == 1000 || count == 10000;
}

std::string MismatchLine(int32_t mismatches, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    char line[160];
    std::snprintf(line, sizeof line, "DIRTY-MISMATCH: %d pixels diferentes (regiao %d,%d,%d,%d)\n", mismatches, left,
                  top, right, bottom);
    return line;
}

std::string OkLine(int32_t count, int64_t area) {
    char line[160];
    std::snprintf(line, sizeof line, "DIRTY-OK: %d repinturas parciais verificadas (area acumulada %" PRId64 " px)\n",
                  count, area);
    return line;
}

// Pixels of two surfaces of the same size that differ.
int32_t CountMismatches(const uint8_t* a, ptrdiff_t strideA, const uint8_t* b, ptrdiff_t strideB, int32_t width,
                        int32_t height) {
    int32_t mismatches = 0;
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* rowA = a + y * strideA;
        const uint8_t* rowB = b + y * strideB;
        for (int32_t x = 0; x < width; ++x)
            if (std::memcmp(rowA + ptrdiff_t(x) * 4, rowB + ptrdiff_t(x) * 4, 4) != 0) ++mismatches;
    }
    return mismatches;
}

} // namespace

void CountPartialRepaint(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom) {
    ++PartialRepaintCount;
    const int64_t width = int64_t(Right) - Left;
    const int64_t height = int64_t(Bottom) - Top;
    if (width > 0 && height > 0) PartialRepaintArea += width * height;
}

void VerifyPartialRepaint(TPlatformSurface* WindowSurface, int32_t Width, int32_t Height, int32_t DirtyLeft,
                          int32_t DirtyTop, int32_t DirtyRight, int32_t DirtyBottom,
                          const TPaintWindowContent& PaintWindowContent) {
    TPlatformServices* services = CurrentPlatformServices();
    if (!WindowSurface || !services) return;
    const TRef<TPlatformSurface> reference = services->CreateSurface(Width, Height, false);
    if (!reference) return;
    {
        const TRef<TPlatformCanvas> canvas = reference->CreateCanvas();
        if (!canvas) return;
        canvas->Save();
        canvas->ClipRect(0, 0, Width, Height);
        PaintWindowContent(canvas.Get());
        canvas->Restore();
    }
    // A surface whose pixels could not be made cannot be compared nor repaired.
    const uint8_t* full = reference->Bits();
    uint8_t* window = WindowSurface->Bits();
    if (!full || !window) return;
    // Only pixels that both surfaces have are read or written.
    const int32_t width = std::min({Width, WindowSurface->Width(), reference->Width()});
    const int32_t height = std::min({Height, WindowSurface->Height(), reference->Height()});
    const ptrdiff_t fullStride = reference->Stride();
    const ptrdiff_t windowStride = WindowSurface->Stride();
    const int32_t mismatches = CountMismatches(window, windowStride, full, fullStride, width, height);
    if (mismatches > 0) {
        DiagnosticOutputProc()(MismatchLine(mismatches, DirtyLeft, DirtyTop, DirtyRight, DirtyBottom));
        // Row by row, each surface with its own stride: the reference need
        // not be padded as the window's surface is.
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(window + y * windowStride, full + y * fullStride, size_t(width) * 4);
    } else if (IsReportedCount(PartialRepaintCount)) {
        DiagnosticOutputProc()(OkLine(PartialRepaintCount, PartialRepaintArea));
    }
}

TDiagnosticOutputProc& DiagnosticOutputProc() {
    static TDiagnosticOutputProc proc = WriteStandardOutput;
    return proc;
}

TDebugOutputProc& DebugOutputProc() {
    static TDebugOutputProc proc = WriteDebugOutput;
    return proc;
}

void ReportPresentFailure(const std::u16string& Message) {
    if (presentFailureReported) return;
    presentFailureReported = true;
    DebugOutputProc()(u"ZYL: " + Message);
}

} // namespace Zyl
