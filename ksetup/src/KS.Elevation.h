// Starting items through the shell, which elevation also goes through.
#pragma once

#include <cstdint>
#include <string>

#include "KS.Sys.Text.h"

namespace KS {

// ShellExecuteExW of the verb on the file; empty texts are not given to the
// shell. When the shell started a process and wait is set, waits for it
// (WaitForProcessExit) and reads its exit code; otherwise the code stays 0.
// False: LastOsError.
bool ShellExecuteAndWait(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                         const std::u16string& folder, int32_t show, bool wait, uint32_t& exitCode);

// True when the process token is elevated; group membership alone is not
// enough, and a token that cannot be read counts as not elevated.
bool IsProcessElevated();

// The reserved switch that an elevated relaunch adds to its arguments. A copy
// that carries it and still is not elevated must not relaunch again: that
// would start copies for ever when the shell grants no elevation.
inline constexpr char16_t RelaunchedSwitch[] = u"/KSETUPELEVATED";

// Starts the running executable again with the verb "runas", the arguments
// and RelaunchedSwitch, and waits for it. True: it ran, exitCode is its code.
// False, with exitCode 2: the start failed or was refused, or the arguments
// already carry RelaunchedSwitch.
bool RelaunchElevated(const TStringArray& args, uint32_t& exitCode);

// What the entry code tests and starts to gain elevation. Tests replace them:
// under Wine every process counts as elevated and "runas" never prompts.
struct TElevationSeams {
    bool (*IsElevated)() = IsProcessElevated;
    bool (*Launch)(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                   const std::u16string& folder, int32_t show, bool wait, uint32_t& exitCode) = ShellExecuteAndWait;
};
TElevationSeams& ElevationSeams();

} // namespace KS
