// The program's spine: the process entry, the embedded script and the choice
// between installing and uninstalling.
#pragma once

#include <cstdint>
#include <string>

namespace KS {

// The process entry: initialises the units, reads the script, runs and ends
// the process with the run's code.
[[noreturn]] void ProgramMain();

// The executable's RCDATA resource "SETUPSCRIPT" decoded from UTF-8. A
// missing resource raises the resource stream's EResNotFound.
std::u16string LoadSetupScript();

// Installs or uninstalls: "/KSETUPPHASE2=" with a value, or a file (not a
// folder) "unins000.dat" beside the executable, means uninstall.
int32_t ProgramRun(const std::u16string& scriptText);

} // namespace KS
