// PNG files on disk, for every backend whose surfaces hold their pixels.
#include <windows.h>

#include "System.Remainder.Os.h"
#include "System.Remainder.Streams.h"
#include "Zyl.Platform.Png.h"
#include "Zyl.Platform.Soft.Support.h"

namespace Zyl {

bool SavePngFile(TPlatformSurface* surface, const std::u16string& fileName) {
    const System::TBytes png = EncodePng(surface);
    if (png.empty()) return false;
    System::TFileStream stream(fileName, 0xFF00);
    stream.WriteBuffer(png.data(), int64_t(png.size()));
    return true;
}

System::TRef<TPlatformSurface> LoadPngFile(const std::u16string& fileName, TPlatformServices& services) {
    // A missing file answers INVALID_FILE_ATTRIBUTES, which has the folder
    // bit too.
    if (GetFileAttributesW(System::WStr(fileName)) & FILE_ATTRIBUTE_DIRECTORY) return nullptr;
    System::TFileStream stream(fileName, 0);
    const int64_t size = stream.GetSize();
    // The decoder takes an int32 size: a larger file is not read at all, since
    // cutting the size would decode only its beginning.
    if (size <= 7 || size > INT32_MAX) return nullptr;
    System::TBytes data;
    ResizeOrRaise(data, size_t(size));
    stream.ReadBuffer(data.data(), size);
    return DecodePng(data.data(), int32_t(size), services);
}

} // namespace Zyl
