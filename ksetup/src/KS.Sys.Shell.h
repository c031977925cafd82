// The installer's shell and process services: shortcut files, child
// processes, the environment broadcast, shell folders and the names and
// date the constants and the log use. Failures give false or an empty text
// and, where stated, a code in LastOsError (KS.Sys.Errors.h).
#pragma once

#include <cstdint>
#include <string>

namespace KS {

// Initialises COM (apartment-threaded) on its first call; later calls do
// nothing. COM is never uninitialised. Called on the main thread.
void EnsureComInitialized();

// Writes a shortcut file through the shell's link object; empty arguments,
// working folder, icon file or description are left unset. The link's
// folder must exist. A failed COM call gives false with its HRESULT.
bool CreateShellLink(const std::u16string& linkPath, const std::u16string& target,
                     const std::u16string& arguments, const std::u16string& workingFolder,
                     const std::u16string& iconFile, int32_t iconIndex, const std::u16string& description);

// Starts the command line (an empty working folder inherits this one's) in
// the given show state (SW_HIDE, SW_SHOWNORMAL ...). With wait, waits until
// the child ends (WaitForProcessExit) and gives its exit code; otherwise the
// exit code stays 0.
bool RunProcess(const std::u16string& commandLine, const std::u16string& workingFolder, uint16_t showCommand,
                bool wait, uint32_t& exitCode);

// Waits until the process (a process handle) ends and gives its exit code,
// 0 when it cannot be read. Meanwhile it answers what other threads send to
// this thread's windows, since a child's broadcast waits on every top-level
// window, and only that: posted input, paint and timer messages stay queued,
// so no click or key reaches a window meanwhile.
uint32_t WaitForProcessExit(void* process);

// Tells every top-level window that the environment changed; a hung window
// delays it by at most 5 seconds.
void BroadcastEnvironmentChange();

// Tells the shell that file associations (and with them icons) changed.
void NotifyAssociationsChanged();

// The shell folder of a CSIDL number, created when missing; empty when the
// system has none.
std::u16string ShellFolderPath(int32_t csidl);
std::u16string CommonOrUserShellFolder(bool allUsers, int32_t allUsersCsidl, int32_t perUserCsidl);

std::u16string CurrentUserName();
std::u16string ComputerName();

// "2025-03-07": the year unpadded, month and day in two digits.
std::u16string FormatDateStamp(int32_t year, int32_t month, int32_t day);
// Today's local date in that form.
std::u16string LocalDateStamp();

} // namespace KS
