// PNG files of the soft backend.
#include "Zyl.Platform.Png.h"
#include "Zyl.Platform.Soft.h"

namespace Zyl {

bool TSoftSurface::SaveToPng(const std::u16string& fileName) { return SavePngFile(this, fileName); }

TRef<TPlatformSurface> TSoftServices::LoadPngFile(const std::u16string& fileName) {
    return Zyl::LoadPngFile(fileName, *this);
}

} // namespace Zyl
