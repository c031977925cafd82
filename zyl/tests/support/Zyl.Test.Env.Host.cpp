#include <cstdlib>
#include <cstring>

#include "System.Remainder.Encoding.h"
#include "Zyl.Test.Env.h"

namespace Zyl::Testing {

namespace {

std::string Utf8(const std::u16string& text) {
    const System::TBytes bytes = System::GetUtf8Encoding()->GetBytes(text);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace

void SetEnvVar(const std::u16string& Name, const std::optional<std::u16string>& Value) {
    if (Value)
        setenv(Utf8(Name).c_str(), Utf8(*Value).c_str(), 1);
    else
        unsetenv(Utf8(Name).c_str());
}

std::optional<std::u16string> GetEnvVar(const std::u16string& Name) {
    const char* value = std::getenv(Utf8(Name).c_str());
    if (!value) return std::nullopt;
    return System::GetUtf8Encoding()->GetUString(reinterpret_cast<const uint8_t*>(value),
                                                 ptrdiff_t(std::strlen(value)));
}

} // namespace Zyl::Testing
