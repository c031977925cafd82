// Decodes one PNG or BMP file into memory and prints what came out, for the
// comparison with ImageMagick (image_differential.py): the line
// "width height alpha" and then the B, G, R, A bytes of every row, or the
// line "nil" when the decoder refused the file.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "Zyl.Graphics.h"
#include "Zyl.Platform.Png.h"
#include "Zyl.Test.Image.h"

using namespace Zyl;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    const System::TBytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const System::TRef<Testing::TMemoryServices> services = Testing::PaddedServices();
    const bool png = file.size() >= 4 && file[0] == 0x89 && file[1] == 'P';
    const System::TRef<TPlatformSurface> surface = png ? DecodePng(file.data(), int32_t(file.size()), *services)
                                                       : DecodeBmp(file.data(), int32_t(file.size()), *services);
    if (!surface) {
        std::printf("nil\n");
        return 0;
    }
    std::printf("%d %d %d\n", surface->Width(), surface->Height(), surface->HasAlpha() ? 1 : 0);
    const System::TBytes pixels = Testing::SurfaceBytes(*surface);
    std::fwrite(pixels.data(), 1, pixels.size(), stdout);
    return 0;
}
