// String lists read and write files through the Windows file streams.
#include "System.Remainder.Strings.h"

namespace System {

void TStrings::LoadFromFile(const std::u16string& fileName) {
    TFileStream stream(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(stream);
}

void TStrings::SaveToFile(const std::u16string& fileName) const {
    TFileStream stream(fileName, fmCreate);
    SaveToStream(stream);
}

} // namespace System
