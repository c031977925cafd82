// Uninstall mode. A running program cannot delete itself, so the work is done
// in two phases: phase 1 runs the installed "unins000.exe", asks, and starts
// a copy of itself from the temporary folder with "/KSETUPPHASE2=" and its
// own path; phase 2 replays the journal and leaves a delayed command that
// deletes the uninstaller, the journal, the emptied folders and the copy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "KS.Sys.Text.h"

namespace KS {

// 0 removed, 9 removed and a restart is needed, 8 removal failed or
// cancelled, 2 journal missing or the copy not prepared or started, 5
// declined or not elevated; in phase 1 otherwise the code of the process it
// waited for.
int32_t UninstallMain(const TStringArray& args);
// UninstallMain as the program at runningExe runs it (UninstallMain passes
// its own path): tests run it for programs that are not themselves.
int32_t UninstallMainAt(const TStringArray& args, const std::u16string& runningExe);

// The hidden command that, once both uninstaller processes have had about two
// seconds to end, deletes what they could not: after the installation folder
// it removes, when empty, each of the journaled folders that hold it, deepest
// first. With installToo false it only deletes the running copy and its
// folder: the journal and the installed uninstaller stay for another try.
std::u16string CleanupCommand(const std::u16string& installedExe, const std::u16string& journalPath,
                              const std::u16string& appDir, const std::vector<std::u16string>& journaledFolders,
                              const std::u16string& runningCopy, bool installToo);

} // namespace KS
