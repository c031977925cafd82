// Graphics objects and image files. No Windows interface here.
#pragma once

#include <cstdint>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Object.h"
#include "System.Remainder.Text.h"
#include "Zyl.Platform.h"

namespace Zyl {

// Raised for image data or surfaces the graphics classes cannot handle.
class EInvalidGraphic : public System::Exception { public: using System::Exception::Exception; };

// A new surface from a whole BMP file (uncompressed or bit-field rows of
// 1, 4, 8, 16, 24 or 32 bits, core or info headers), or nil when the data is
// refused. Exceptions of the services or of the surface pass on.
System::TRef<TPlatformSurface> DecodeBmp(const uint8_t* data, int32_t size, TPlatformServices& services);
// The same through the current platform services; nil when none is installed.
System::TRef<TPlatformSurface> DecodeBmp(const uint8_t* data, int32_t size);

// The whole BMP file of the surface: 24 bits with a 40-byte header when it
// has no alpha, 32 bits with a 108-byte header and bit fields when it has.
// Raises EInvalidGraphic "Imagem invalida" for a file past 2^31 - 1 bytes or
// a surface without pixel memory.
System::TBytes EncodeBmp(TPlatformSurface& surface);

} // namespace Zyl
