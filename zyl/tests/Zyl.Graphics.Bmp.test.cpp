#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Zyl.Graphics.h"
#include "Zyl.Test.Image.h"
#include "Zyl.Test.Memory.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::TRef;

namespace {

void PutLe16(TBytes& to, size_t at, uint32_t v) {
    if (to.size() < at + 2) to.resize(at + 2);
    to[at] = uint8_t(v);
    to[at + 1] = uint8_t(v >> 8);
}

void PutLe32(TBytes& to, size_t at, uint32_t v) {
    PutLe16(to, at, v);
    PutLe16(to, at + 2, v >> 16);
}

uint32_t Le32(const TBytes& from, size_t at) {
    return uint32_t(from[at]) | uint32_t(from[at + 1]) << 8 | uint32_t(from[at + 2]) << 16 |
           uint32_t(from[at + 3]) << 24;
}

// A BMP file described field by field; rows are given as stored (file
// order) and padded to the stride here.
struct TBmpFile {
    uint32_t HeaderSize = 40;
    int32_t Width = 1;
    int32_t Height = 1;
    uint32_t Bits = 24;
    uint32_t Compression = 0;
    uint32_t ColoursUsed = 0;
    std::vector<uint32_t> Masks; // from offset 54 on
    TBytes Palette;              // raw entries after the header
    std::vector<TBytes> Rows;
    std::optional<int32_t> Offset; // default: right after the palette
};

TBytes MakeBmp(const TBmpFile& f) {
    TBytes file(14 + f.HeaderSize, 0);
    file[0] = 'B';
    file[1] = 'M';
    PutLe32(file, 14, f.HeaderSize);
    if (f.HeaderSize == 12) {
        PutLe16(file, 18, uint32_t(f.Width));
        PutLe16(file, 20, uint32_t(f.Height));
        PutLe16(file, 22, 1);
        PutLe16(file, 24, f.Bits);
    } else {
        PutLe32(file, 18, uint32_t(f.Width));
        PutLe32(file, 22, uint32_t(f.Height));
        PutLe16(file, 26, 1);
        PutLe16(file, 28, f.Bits);
        PutLe32(file, 30, f.Compression);
        PutLe32(file, 46, f.ColoursUsed);
    }
    for (size_t i = 0; i < f.Masks.size(); ++i) PutLe32(file, 54 + 4 * i, f.Masks[i]);
    file.insert(file.end(), f.Palette.begin(), f.Palette.end());
    PutLe32(file, 10, uint32_t(f.Offset.value_or(int32_t(file.size()))));
    const size_t stride = (size_t(f.Bits) * size_t(f.Width) + 31) / 32 * 4;
    for (TBytes row : f.Rows) {
        row.resize(stride, 0);
        file.insert(file.end(), row.begin(), row.end());
    }
    PutLe32(file, 2, uint32_t(file.size()));
    return file;
}

// Decodes a copy without spare capacity, so that the sanitizer sees any
// read past the data.
TRef<TPlatformSurface> Decode(const TBytes& file, TPlatformServices& services) {
    const TBytes exact(file);
    return DecodeBmp(exact.data(), int32_t(exact.size()), services);
}


TBmpFile With(std::function<void(TBmpFile&)> change) {
    TBmpFile f;
    change(f);
    return f;
}

// Entries of a 4-byte palette: blue, green, red, reserved.
const TBytes kPalette = {0x30, 0x20, 0x10, 0, 0xFF, 0xFF, 0xFF, 0, 0x00, 0x00, 0xFF, 0};

struct TDecodeCase {
    const char* Name;
    TBmpFile File;
    bool HasAlpha;
    std::vector<uint32_t> Pixels; // surface order, top row first
};

} // namespace

TEST(BmpDecode, Variants) {
    const std::vector<TDecodeCase> cases = {
        {"24 bits bottom-up", With([](TBmpFile& f) {
             f.Width = 2;
             f.Height = 2;
             f.Rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
         }),
         false, {0xFF090807, 0xFF0C0B0A, 0xFF030201, 0xFF060504}},
        {"24 bits top-down", With([](TBmpFile& f) {
             f.Width = 2;
             f.Height = -2;
             f.Rows = {{1, 2, 3, 4, 5, 6}, {7, 8, 9, 10, 11, 12}};
         }),
         false, {0xFF030201, 0xFF060504, 0xFF090807, 0xFF0C0B0A}},
        {"1 bit, most significant first", With([](TBmpFile& f) {
             f.Width = 10;
             f.Bits = 1;
             f.Palette = TBytes(kPalette.begin(), kPalette.begin() + 8);
             f.Rows = {{0b01100000, 0b10000000}};
         }),
         false,
         {0xFF102030, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF102030, 0xFF102030, 0xFF102030, 0xFF102030, 0xFF102030,
          0xFFFFFFFF, 0xFF102030}},
        {"4 bits, high nibble first", With([](TBmpFile& f) {
             f.Width = 3;
             f.Bits = 4;
             f.ColoursUsed = 3;
             f.Palette = kPalette;
             f.Rows = {{0x21, 0x00}};
         }),
         false, {0xFFFF0000, 0xFFFFFFFF, 0xFF102030}},
        // The surface has no alpha, so what the palette lacks is opaque black.
        {"8 bits, entries past the palette are opaque black", With([](TBmpFile& f) {
             f.Width = 3;
             f.Bits = 8;
             f.ColoursUsed = 3;
             f.Palette = kPalette;
             f.Rows = {{2, 1, 7}};
         }),
         false, {0xFFFF0000, 0xFFFFFFFF, 0xFF000000}},
        // The file ends inside the second entry; its one row is the "BM" at
        // the start, whose first bits are 0 and 1.
        {"1 bit, an entry cut by the end of the file is opaque black", With([](TBmpFile& f) {
             f.Width = 2;
             f.Bits = 1;
             f.Palette = TBytes(kPalette.begin(), kPalette.begin() + 6);
             f.Offset = 0;
         }),
         false, {0xFF102030, 0xFF000000}},
        {"core header, 3-byte entries", With([](TBmpFile& f) {
             f.HeaderSize = 12;
             f.Width = 3;
             f.Height = 1;
             f.Bits = 8;
             f.Palette = TBytes(256 * 3, 0);
             f.Palette[3] = 0x11;
             f.Palette[4] = 0x22;
             f.Palette[5] = 0x33;
             f.Rows = {{1, 0, 1}};
         }),
         false, {0xFF332211, 0xFF000000, 0xFF332211}},
        {"core header rows bottom-up", With([](TBmpFile& f) {
             f.HeaderSize = 12;
             f.Height = 2;
             f.Rows = {{1, 2, 3}, {4, 5, 6}};
         }),
         false, {0xFF060504, 0xFF030201}},
        {"16 bits, 555 by default", With([](TBmpFile& f) {
             f.Width = 3;
             f.Bits = 16;
             f.Rows = {{0xFF, 0x7F, 0x1F, 0x00, 0x00, 0x7C}};
         }),
         false, {0xFFFFFFFF, 0xFF0000FF, 0xFFFF0000}},
        {"16 bits, 565 masks after a 40-byte header", With([](TBmpFile& f) {
             f.Width = 2;
             f.Bits = 16;
             f.Compression = 3;
             f.Masks = {0xF800, 0x07E0, 0x001F};
             f.Rows = {{0xE0, 0x07, 0x10, 0x84}};
         }),
         false, {0xFF00FF00, 0xFF838183}},
        {"32 bits, fourth bytes all 0", With([](TBmpFile& f) {
             f.Width = 2;
             f.Bits = 32;
             f.Rows = {{1, 2, 3, 0, 4, 5, 6, 0}};
         }),
         false, {0xFF030201, 0xFF060504}},
        {"32 bits, one fourth byte set", With([](TBmpFile& f) {
             f.Width = 2;
             f.Bits = 32;
             f.Rows = {{0, 0, 255, 128, 4, 5, 6, 0}};
         }),
         true, {0x80800000, 0}},
        {"32 bits, bit fields after a 40-byte header never alpha", With([](TBmpFile& f) {
             f.Bits = 32;
             f.Compression = 3;
             f.Masks = {0xFF0000, 0xFF00, 0xFF};
             f.Rows = {{1, 2, 3, 0x80}};
         }),
         false, {0xFF030201}},
        {"32 bits, alpha mask of a 56-byte header", With([](TBmpFile& f) {
             f.HeaderSize = 56;
             f.Width = 2;
             f.Bits = 32;
             f.Compression = 3;
             f.Masks = {0xFF000000, 0xFF0000, 0xFF00, 0xFF};
             f.Rows = {{0xFF, 0, 0, 0xFF, 0x40, 0, 0, 0xFF}};
         }),
         true, {0xFFFF0000, 0x40400000}},
        {"32 bits, alpha mask present but every alpha 0", With([](TBmpFile& f) {
             f.HeaderSize = 108;
             f.Bits = 32;
             f.Compression = 3;
             f.Masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
             f.Rows = {{1, 2, 3, 0}};
         }),
         false, {0xFF030201}},
        {"32 bits, 52-byte header: masks but no alpha mask", With([](TBmpFile& f) {
             f.HeaderSize = 52;
             f.Bits = 32;
             f.Compression = 3;
             f.Masks = {0xFF, 0xFF00, 0xFF0000, 0xFF000000};
             f.Rows = {{1, 2, 3, 9}};
         }),
         false, {0xFF010203}},
        // A mask whose set bits are not one run once spilled past 255.
        {"16 bits, split red mask", With([](TBmpFile& f) {
             f.Bits = 16;
             f.Compression = 3;
             f.Masks = {0xF806, 0x07E0, 0x0018};
             f.Rows = {{0x02, 0x08}};
         }),
         false, {0xFFFF0000}},
        {"32 bits, split red mask beside alpha", With([](TBmpFile& f) {
             f.HeaderSize = 56;
             f.Bits = 32;
             f.Compression = 3;
             f.Masks = {0x0010000F, 0x0000FF00, 0x000000F0, 0xFF000000};
             f.Rows = {{0x01, 0x00, 0x10, 0xFF}};
         }),
         true, {0xFFFF0000}},
        // A header size near 2^32 once wrapped the palette positions below the data.
        {"huge header size: palette black, file kept", With([](TBmpFile& f) {
             f.Bits = 8;
             f.Rows = {{1}};
             f.Offset = 54;
         }),
         false, {0xFF000000}},
    };
    const TRef<TMemoryServices> services = PaddedServices();
    for (const TDecodeCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TBytes file = MakeBmp(c.File);
        if (std::string(c.Name).starts_with("huge header")) PutLe32(file, 14, 0xFFFFFFF0);
        const TRef<TPlatformSurface> surface = Decode(file, *services);
        ASSERT_TRUE(surface);
        EXPECT_EQ(surface->Width(), c.File.Width);
        EXPECT_EQ(surface->Height(), std::abs(c.File.Height));
        EXPECT_EQ(surface->HasAlpha(), c.HasAlpha);
        EXPECT_EQ(PixelWords(SurfaceBytes(*surface)), c.Pixels);
        EXPECT_TRUE(static_cast<TMemorySurface*>(surface.Get())->PaddingIntact());
    }
}

TEST(BmpDecode, Refusals) {
    const TBmpFile plain = With([](TBmpFile& f) {
        f.Width = 2;
        f.Rows = {{1, 2, 3, 4, 5, 6}};
    });
    const auto changed = [&](std::function<void(TBytes&)> change) {
        TBytes file = MakeBmp(plain);
        change(file);
        return file;
    };
    const auto field = [&](size_t at, uint32_t value) { return changed([=](TBytes& f) { PutLe32(f, at, value); }); };
    const auto depth = [&](uint32_t bits) { return changed([=](TBytes& f) { PutLe16(f, 28, bits); }); };
    const struct {
        const char* Name;
        TBytes File;
    } cases[] = {
        {"25 bytes", changed([](TBytes& f) { f.resize(25); })},
        {"no BM", changed([](TBytes& f) { f[1] = 'A'; })},
        {"width 0", field(18, 0)},
        {"negative width", field(18, 0xFFFFFFFE)},
        {"height 0", field(22, 0)},
        {"height -2147483648", field(22, 0x80000000)},
        {"RLE8", field(30, 1)},
        {"RLE4", field(30, 2)},
        {"JPEG", field(30, 4)},
        {"PNG", field(30, 5)},
        {"pixel data one byte past the end", changed([](TBytes& f) { f.pop_back(); })},
        {"core header, width 0", MakeBmp(With([](TBmpFile& f) {
             f.HeaderSize = 12;
             f.Width = 0;
         }))},
        // Fields read beyond a short file.
        {"info header cut at 49 bytes", changed([](TBytes& f) { f.resize(49); })},
        {"40-byte header, bit fields cut before the blue mask", [] {
             TBytes f = MakeBmp(With([](TBmpFile& b) {
                 b.Bits = 16;
                 b.Compression = 3;
                 b.Rows = {};
                 b.Offset = 0;
             }));
             f.resize(60);
             return f;
         }()},
        {"56-byte header, cut before the alpha mask", [] {
             TBytes f = MakeBmp(With([](TBmpFile& b) {
                 b.HeaderSize = 56;
                 b.Bits = 32;
                 b.Compression = 3;
                 b.Masks = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
                 b.Rows = {};
                 b.Offset = 0;
             }));
             f.resize(68);
             return f;
         }()},
        // Sums that once wrapped in 32 bits.
        {"pixel offset near 2^31", field(10, 0x7FFFFFF0)},
        {"negative pixel offset", field(10, 0xFFFFFFF6)},
        {"32 bits x width 2^29: row size wraps to 0", changed([](TBytes& f) {
             PutLe16(f, 28, 32);
             PutLe32(f, 18, 0x20000000);
         })},
        // Depths no rule converts; depth 0 once asked for a 2^31 - 1 square surface.
        {"depth 0, 2^31 - 1 square", changed([](TBytes& f) {
             PutLe16(f, 28, 0);
             PutLe32(f, 18, 0x7FFFFFFF);
             PutLe32(f, 22, 0x7FFFFFFF);
         })},
        {"depth 2", depth(2)},
        {"depth 15", depth(15)},
        {"depth 64", depth(64)},
    };
    const TRef<TMemoryServices> services = PaddedServices();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_FALSE(Decode(c.File, *services));
        EXPECT_TRUE(services->Calls.empty());
    }
}

TEST(BmpDecode, SurfaceSizeLimit) {
    // 1 bit per pixel keeps the file small (64 MiB) while the surface would
    // pass 2^31 - 1 bytes.
    const TRef<TMemoryServices> services = PaddedServices();
    const TBytes file = MakeBmp(With([](TBmpFile& f) {
        f.Width = 65536;
        f.Height = 8193;
        f.Bits = 1;
        f.Palette = TBytes(kPalette.begin(), kPalette.begin() + 8);
        f.Rows.assign(8193, TBytes());
    }));
    EXPECT_FALSE(Decode(file, *services));
    EXPECT_TRUE(services->Calls.empty());
}

TEST(BmpDecode, UnusableSurfaceIsReleased) {
    const TBytes file = MakeBmp(With([](TBmpFile& f) { f.Rows = {{1, 2, 3}}; }));
    for (const TUnusableServices& c : UnusableServices()) {
        SCOPED_TRACE(c.Name);
        const TRef<TMemoryServices> services = c.Make();
        EXPECT_FALSE(Decode(file, *services));
        EXPECT_EQ(services->LiveSurfaces, 0);
        // The one request, and no FinishDrawing.
        EXPECT_EQ(services->Calls.size(), 1u);
    }
    const TRef<TMemoryServices> throwing = PaddedServices();
    throwing->FinishDrawingThrows = true;
    EXPECT_THROW(Decode(file, *throwing), System::Exception);
    EXPECT_EQ(throwing->LiveSurfaces, 0);
}

TEST(BmpDecode, NoCurrentServices) {
    const TScopedPlatformServices none(nullptr);
    const TBytes file = MakeBmp(With([](TBmpFile& f) { f.Rows = {{1, 2, 3}}; }));
    EXPECT_FALSE(DecodeBmp(file.data(), int32_t(file.size())));
}

TEST(BmpEncode, OpaqueFile) {
    const TRef<TMemoryServices> services = PaddedServices();
    const TRef<TPlatformSurface> surface =
        FilledSurface(*services, 3, 1, false, {1, 2, 3, 255, 4, 5, 6, 255, 7, 8, 9, 255});
    const TBytes file = EncodeBmp(*surface);
    ASSERT_EQ(file.size(), 66u);
    TBytes expected = {'B', 'M'};
    expected.resize(54, 0);
    PutLe32(expected, 2, 66);
    PutLe32(expected, 10, 54);
    PutLe32(expected, 14, 40);
    PutLe32(expected, 18, 3);
    PutLe32(expected, 22, 1);
    PutLe16(expected, 26, 1);
    PutLe16(expected, 28, 24);
    PutLe32(expected, 34, 12);
    PutLe32(expected, 38, 2835);
    PutLe32(expected, 42, 2835);
    expected.insert(expected.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0});
    EXPECT_EQ(file, expected);
}

TEST(BmpEncode, AlphaFile) {
    const TRef<TMemoryServices> services = PaddedServices();
    const TRef<TPlatformSurface> surface = FilledSurface(*services, 1, 1, true, {0, 0, 64, 128});
    const TBytes file = EncodeBmp(*surface);
    ASSERT_EQ(file.size(), 126u);
    EXPECT_EQ(Le32(file, 2), 126u);
    EXPECT_EQ(Le32(file, 10), 122u);
    EXPECT_EQ(Le32(file, 14), 108u);
    EXPECT_EQ(file[28], 32);
    EXPECT_EQ(Le32(file, 30), 3u);
    EXPECT_EQ(Le32(file, 34), 4u);
    EXPECT_EQ(Le32(file, 38), 2835u);
    EXPECT_EQ(Le32(file, 42), 2835u);
    EXPECT_EQ(Le32(file, 54), 0x00FF0000u);
    EXPECT_EQ(Le32(file, 58), 0x0000FF00u);
    EXPECT_EQ(Le32(file, 62), 0x000000FFu);
    EXPECT_EQ(Le32(file, 66), 0xFF000000u);
    EXPECT_EQ(TBytes(file.begin() + 70, file.begin() + 74), (TBytes{0x42, 0x47, 0x52, 0x73}));
    EXPECT_EQ(TBytes(file.begin() + 74, file.begin() + 122), TBytes(48, 0));
    EXPECT_EQ(TBytes(file.begin() + 122, file.end()), (TBytes{0, 0, 128, 128}));
}

TEST(BmpEncode, RowsBottomUpAndUnpremultiplied) {
    const TRef<TMemoryServices> services = PaddedServices();
    const TRef<TPlatformSurface> surface =
        FilledSurface(*services, 2, 2, true, {25, 50, 100, 128, 1, 2, 3, 0, 4, 5, 6, 255, 0, 0, 200, 100});
    const TBytes file = EncodeBmp(*surface);
    EXPECT_EQ(TBytes(file.begin() + 122, file.end()),
              (TBytes{4, 5, 6, 255, 0, 0, 255, 100, 50, 100, 199, 128, 1, 2, 3, 0}));
}

namespace {

void ExpectInvalid(TPlatformSurface& surface) {
    try {
        EncodeBmp(surface);
        ADD_FAILURE() << "no exception";
    } catch (const EInvalidGraphic& e) {
        EXPECT_EQ(e.Message, u"Imagem invalida");
    }
}

} // namespace

TEST(BmpEncode, RefusesFilesPast2GiB) {
    // 24 bits, stride 69512: 30894 rows make 54 + 2147503728 bytes; 30893 rows would fit.
    TSizeOnlySurface opaque(23170, 30894, false);
    ExpectInvalid(opaque);
    TSizeOnlySurface alpha(23171, 23171, true);
    ExpectInvalid(alpha);
}

TEST(BmpEncode, SurfaceWithoutPixels) {
    const TRef<TMemoryServices> services = PaddedServices();
    services->NilBitsSurfaces = true;
    const TRef<TPlatformSurface> surface = services->CreateSurface(2, 2, false);
    ExpectInvalid(*surface);
}

namespace {

// Premultiplied pixels without alpha read back as opaque black.
TBytes Opaque(TBytes pixels) {
    for (size_t i = 0; i < pixels.size(); i += 4) {
        EXPECT_EQ(Le32(pixels, i), 0u);
        pixels[i + 3] = 255;
    }
    return pixels;
}

} // namespace

TEST(BmpRoundTrip, RandomSurfaces) {
    const TRef<TMemoryServices> services = PaddedServices();
    for (const TRandomSurface& r : RandomSurfaces()) {
        SCOPED_TRACE(r.Name);
        const TBytes file = EncodeBmp(*FilledSurface(*services, r.Width, r.Height, r.HasAlpha, r.Pixels));
        const TRef<TPlatformSurface> back = Decode(file, *services);
        ASSERT_TRUE(back);
        // Nothing tells an all-transparent file from one without alpha.
        bool clear = r.HasAlpha;
        for (size_t i = 3; i < r.Pixels.size(); i += 4) clear = clear && r.Pixels[i] == 0;
        EXPECT_EQ(back->HasAlpha(), r.HasAlpha && !clear);
        EXPECT_EQ(SurfaceBytes(*back), clear ? Opaque(r.Pixels) : r.Pixels);
    }
    const TBytes clear(5 * 3 * 4, 0);
    const TRef<TPlatformSurface> back = Decode(EncodeBmp(*FilledSurface(*services, 5, 3, true, clear)), *services);
    ASSERT_TRUE(back);
    EXPECT_FALSE(back->HasAlpha());
    EXPECT_EQ(SurfaceBytes(*back), Opaque(clear));
}
