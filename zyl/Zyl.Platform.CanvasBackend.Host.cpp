// The host build's environment: getenv's UTF-8 read as UTF-16, under the
// same length rule as on Windows.
#include <cstdlib>
#include <cstring>

#include "System.Remainder.Encoding.h"
#include "Zyl.Platform.CanvasBackend.h"

namespace Zyl {

std::u16string ReadEnvVar(const std::u16string& Name) {
    const System::TBytes name = System::GetUtf8Encoding()->GetBytes(Name);
    const std::string key(name.begin(), name.end());
    const char* value = std::getenv(key.c_str());
    if (!value) return {};
    std::u16string text =
        System::GetUtf8Encoding()->GetUString(reinterpret_cast<const uint8_t*>(value), ptrdiff_t(std::strlen(value)));
    if (text.size() > 1022) return {};
    return text;
}

} // namespace Zyl
