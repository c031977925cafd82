// PNG files of the soft backend.
#include <windows.h>

#include "System.Remainder.Os.h"
#include "System.Remainder.Streams.h"
#include "Zyl.Platform.Png.h"
#include "Zyl.Platform.Soft.h"

namespace Zyl {

bool TSoftSurface::SaveToPng(const std::u16string& fileName) {
    const System::TBytes png = EncodePng(this);
    if (png.empty()) return false;
    System::TFileStream stream(fileName, 0xFF00);
    stream.WriteBuffer(png.data(), int64_t(png.size()));
    return true;
}

TRef<TPlatformSurface> TSoftServices::LoadPngFile(const std::u16string& fileName) {
    const DWORD attributes = GetFileAttributesW(System::WStr(fileName));
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return nullptr;
    System::TFileStream stream(fileName, 0);
    const int64_t size = stream.GetSize();
    // The decoder takes an int32 size: a larger file is not read at all.
    if (size <= 7 || size > INT32_MAX) return nullptr;
    System::TBytes data;
    ResizeOrRaise(data, size_t(size));
    stream.ReadBuffer(data.data(), size);
    return DecodePng(data.data(), int32_t(size), *this);
}

} // namespace Zyl
