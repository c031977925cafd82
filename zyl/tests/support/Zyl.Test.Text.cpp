#include "Zyl.Test.Text.h"

#include "System.Remainder.Encoding.h"

namespace Zyl::Testing {

std::string Narrow(const std::u16string& Text) {
    const System::TBytes bytes = System::GetUtf8Encoding()->GetBytes(Text);
    return std::string(bytes.begin(), bytes.end());
}

} // namespace Zyl::Testing
