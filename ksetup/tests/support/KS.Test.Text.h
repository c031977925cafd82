// UTF-16 text as UTF-8 for test failure messages.
#pragma once

#include <string>

#include "KS.Sys.Text.h"

namespace KS::Test {

inline std::string U8(std::u16string_view text) {
    const System::TBytes bytes = StringToUtf8Bytes(text);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace KS::Test
