// The diagnostics' writers on Windows: the standard output handle as it is
// at each write, and the debugger output.
#include <windows.h>

#include "System.Remainder.Os.h"
#include "Zyl.Platform.Offscreen.Diagnostics.h"

namespace Zyl {

void WriteStandardOutput(const std::string& Text) {
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(out, Text.data(), DWORD(Text.size()), &written, nullptr);
}

void WriteDebugOutput(const std::u16string& Text) {
    OutputDebugStringW(System::WStr(Text));
}

} // namespace Zyl
