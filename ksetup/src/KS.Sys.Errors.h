// The installer services' error convention: a service whose system call
// fails returns false, -1, 0 or an empty text and leaves the system's code
// here; the caller words its own message around OsErrorText of that code.
#pragma once

#include <cstdint>
#include <string>

namespace KS {

// The code of this thread's last failed service call: a GetLastError value,
// a registry status or an HRESULT. Zero at start; a success never clears it.
uint32_t LastOsError();
void SetLastOsError(uint32_t code);

// The system's text for the code, then " (", the code in unsigned decimal
// and ")"; only " (code)" when the system has no text for it.
std::u16string OsErrorText(uint32_t code);

} // namespace KS
