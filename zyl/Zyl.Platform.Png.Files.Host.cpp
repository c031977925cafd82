// The host build has no PNG file routines: its tests reach PNG data through
// memory.
#include "Zyl.Platform.Png.h"

namespace Zyl {

bool SavePngFile(TPlatformSurface*, const std::u16string&) { return false; }

System::TRef<TPlatformSurface> LoadPngFile(const std::u16string&, TPlatformServices&) { return nullptr; }

} // namespace Zyl
