// The drawing scripts that the differential test runs on every canvas
// backend, and how each script's results are compared.
#pragma once

#include <cstdint>
#include <ostream>
#include <vector>

#include "Zyl.Platform.h"

namespace Zyl::Testing {

enum class TComparison {
    // The colour bytes of all four backends equal (GDI leaves alpha alone).
    AllColours,
    // Every byte equal among soft, gdiplus and d2d: their band rules and
    // shared pixel routines; GDI draws these with the system's own.
    SharedRules,
    // Drawn twice in a XOR mode over a pattern, the pattern comes back on
    // every backend.
    TwiceIsIdentity,
    // Coverage: every covered pixel within 1 pixel of one in the other
    // backend, both ways.
    Outline,
    // Outline, and the covered areas within 3 % of each other.
    Area,
    // Each backend against itself: the script's coverage within 1 pixel of
    // its near twin's, the same drawing with every coordinate near the
    // surface.
    SameAsNearTwin,
};

// Scripts draw on a canvas of a 64 x 64 surface; the services made the
// surface, for the scripts that need a source surface of their own.
using TDrawScript = void (*)(TPlatformCanvas& Canvas, TPlatformServices& Services);

// A backend left out of one script's comparison: a difference found and
// reported, not yet mended.
struct TLeftOut {
    const char* Backend;
    bool OnlyUnderWine;
    const char* Reason;
    // Only out of the area comparison; its coverage is still compared.
    bool OnlyArea = false;
};

struct TScript {
    const char* Name;
    TDrawScript Draw;
    TComparison Comparison;
    std::vector<TLeftOut> LeftOut = {};
    // SameAsNearTwin: the twin.
    TDrawScript NearTwin = nullptr;
};

const std::vector<TScript>& DifferentialScripts();

// The pattern under the TwiceIsIdentity scripts. Every pixel is opaque: a
// pen mode makes the pixels it touches opaque on every backend but GDI.
void PaintIdentityPattern(TPlatformCanvas& Canvas);

// Test names and failure messages show the script's name.
inline void PrintTo(const TScript& Script, std::ostream* Out) { *Out << Script.Name; }

} // namespace Zyl::Testing
