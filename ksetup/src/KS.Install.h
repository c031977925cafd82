// Install mode: everything an install does before and around the engine's
// own steps, turned into the process exit code.
#pragma once

#include <cstdint>
#include <string>

#include "KS.Sys.Text.h"

namespace KS {

// The catalogue address when no "/URL" gives one.
std::u16string DefaultCatalogUrlTemplate();

// 0 installed (or an updated installer started from an interactive run),
// 1 a switch not accepted, 2 invalid script, 5 administrator rights missing,
// 8 install failed or cancelled, 9 installed and a restart is needed; any
// other code is that of a child this run waited for.
int32_t InstallMain(const TStringArray& args, const std::u16string& scriptText);

} // namespace KS
