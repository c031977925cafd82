// Where the built-in logo comes from: a header of its own, since the Windows
// side includes windows.h, whose message macros the control layer's
// constants would clash with.
#pragma once

#include "System.Remainder.Object.h"
#include "System.Remainder.Streams.h"

namespace KS {

// The executable's resource "SETUPLOGO" as a stream; raises EResNotFound
// when the module has none (always on the host).
System::TRef<System::TStream> OpenSetupLogo();

} // namespace KS
