#include <windows.h>

#include <vector>

#include "System.Remainder.Os.h"
#include "Zyl.Test.Env.h"

namespace Zyl::Testing {

void SetEnvVar(const std::u16string& Name, const std::optional<std::u16string>& Value) {
    SetEnvironmentVariableW(System::WStr(Name), Value ? System::WStr(*Value) : nullptr);
}

std::optional<std::u16string> GetEnvVar(const std::u16string& Name) {
    const DWORD needed = GetEnvironmentVariableW(System::WStr(Name), nullptr, 0);
    if (needed == 0) return std::nullopt;
    std::vector<wchar_t> buffer(needed);
    const DWORD length = GetEnvironmentVariableW(System::WStr(Name), buffer.data(), needed);
    return std::u16string(reinterpret_cast<const char16_t*>(buffer.data()), length);
}

} // namespace Zyl::Testing
