// For tests only: the start of GDI+ is decided once per process, so tests put
// its state back and steer the two steps they cannot reach otherwise. The
// program itself never uses this.
#pragma once

#include <cstdint>
#include <string>

namespace Zyl {

struct TGdipLoadSeams {
    // An entry point that binding treats as missing; empty for none.
    std::string HiddenEntry;
    // The colour of the proof drawing; any other than opaque red fails it.
    uint32_t ProofArgb = 0xFFFF0000u;
};

extern TGdipLoadSeams GdipLoadSeams;

// Forgets the availability answer, the start and the last error, and puts
// the seams back. GDI+ itself stays started.
void ResetGdipLoadState();

} // namespace Zyl
