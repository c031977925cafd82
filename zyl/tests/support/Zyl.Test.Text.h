// Texts in UTF-8, for test names and failure messages.
#pragma once

#include <string>

namespace Zyl::Testing {

std::string Narrow(const std::u16string& Text);

} // namespace Zyl::Testing
