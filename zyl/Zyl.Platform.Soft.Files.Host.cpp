// The host build has no file routines of the soft backend: its tests reach
// PNG data through memory.
#include "Zyl.Platform.Soft.h"

namespace Zyl {

bool TSoftSurface::SaveToPng(const std::u16string&) { return false; }

TRef<TPlatformSurface> TSoftServices::LoadPngFile(const std::u16string&) { return nullptr; }

} // namespace Zyl
