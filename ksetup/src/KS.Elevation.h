// Starting items through the shell, which elevation also goes through.
#pragma once

#include <cstdint>
#include <string>

namespace KS {

// ShellExecuteExW of the verb on the file; empty texts are not given to the
// shell. When the shell started a process and wait is set, waits for it and
// reads its exit code; otherwise the code stays 0. False: LastOsError.
bool ShellExecuteAndWait(const std::u16string& verb, const std::u16string& file, const std::u16string& parameters,
                         const std::u16string& folder, int32_t show, bool wait, uint32_t& exitCode);

} // namespace KS
