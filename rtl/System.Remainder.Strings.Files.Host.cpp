// The host build has no file streams: loading or saving a list fails as a
// file stream that cannot reach the file does.
#include "System.Remainder.Strings.h"

#include "System.Remainder.Exceptions.h"

namespace System {

void TStrings::LoadFromFile(const std::u16string&) {
    throw EFOpenError(u"não foi possível abrir o arquivo");
}

void TStrings::SaveToFile(const std::u16string&) const {
    throw EFCreateError(u"não foi possível criar o arquivo");
}

} // namespace System
