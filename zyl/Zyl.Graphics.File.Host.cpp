// The host build has no file streams: opening or creating a graphic's file
// fails as a file stream that cannot reach the file does.
#include "Zyl.Graphics.h"

namespace Zyl {

void TGraphic::LoadFromFile(const std::u16string&) {
    throw System::EFOpenError(u"não foi possível abrir o arquivo");
}

void TGraphic::SaveToFile(const std::u16string&) {
    throw System::EFCreateError(u"não foi possível criar o arquivo");
}

} // namespace Zyl
