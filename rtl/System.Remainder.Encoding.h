// UTF-8 conversions of the class library.
#pragma once

#include <string>
#include <string_view>

namespace System {

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string Utf8Encode(std::u16string_view text);

} // namespace System
