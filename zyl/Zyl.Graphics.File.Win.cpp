// Loading and saving graphics through named files, which the core library
// opens only on Windows.
#include "Zyl.Graphics.h"

namespace Zyl {

void TGraphic::LoadFromFile(const std::u16string& fileName) {
    System::TFileStream stream(fileName, System::fmOpenRead);
    LoadFromStream(stream);
}

void TGraphic::SaveToFile(const std::u16string& fileName) {
    System::TFileStream stream(fileName, System::fmCreate);
    SaveToStream(stream);
}

} // namespace Zyl
