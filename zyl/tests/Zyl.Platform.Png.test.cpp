#include <gtest/gtest.h>

#include <zlib.h>

#include <climits>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "Zyl.Platform.Png.h"
#include "Zyl.Test.Image.h"
#include "Zyl.Test.Png.h"
#include "Zyl.Test.Memory.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::TRef;

namespace {

TRef<TPlatformSurface> Decode(const TBytes& file, TPlatformServices& services) {
    return DecodePng(file.data(), int32_t(file.size()), services);
}

// A 3 x 2 RGBA image with a partly transparent pixel.
TPngImage SmallRgba() {
    TPngImage image;
    image.Width = 3;
    image.Height = 2;
    image.Rows = {{200, 100, 50, 128, 1, 2, 3, 255, 9, 9, 9, 0}, {0, 0, 0, 255, 255, 255, 255, 255, 10, 20, 30, 40}};
    return image;
}

TBytes IdatOf(const TPngImage& image) {
    return ZlibCompress(FilterRows(image.Rows, FilterDistance(image.Depth, image.ColourType), image.Filters));
}

// Signature and IHDR of an image, for files assembled by hand.
TBytes Head(const TPngImage& image) {
    TBytes file = PngSignature();
    Append(file, PngChunk("IHDR", IhdrData(image.Width, image.Height, image.Depth, image.ColourType)));
    return file;
}

TBytes WithChunks(const TPngImage& image, const std::vector<TBytes>& chunks) {
    TBytes file = Head(image);
    for (const TBytes& chunk : chunks) Append(file, chunk);
    return file;
}

// A chunk header that claims `length` bytes, followed by `present` of them.
TBytes ClaimingChunk(uint32_t length, size_t present) {
    TBytes chunk = {uint8_t(length >> 24), uint8_t(length >> 16), uint8_t(length >> 8), uint8_t(length), 't', 'E',
                    'X', 't'};
    chunk.resize(chunk.size() + present, 0x41);
    return chunk;
}

// An IHDR-only file with some image data, for the refusals that come before inflating.
TBytes HeaderOnly(uint32_t width, uint32_t height, uint8_t depth, uint8_t colourType) {
    TBytes file = PngSignature();
    Append(file, PngChunk("IHDR", IhdrData(width, height, depth, colourType)));
    Append(file, PngChunk("IDAT", ZlibCompress(TBytes(64, 0))));
    Append(file, PngChunk("IEND", {}));
    return file;
}

const TBytes& Reference() {
    static const TBytes file = MakePng(SmallRgba());
    return file;
}

struct TDecodeCase {
    const char* Name;
    std::function<TBytes()> File;
    bool Decodes; // to the same pixels as the reference file
};

} // namespace

TEST(PngDecode, FileVariants) {
    const TPngImage image = SmallRgba();
    const TBytes idat = IdatOf(image);
    const TBytes iend = PngChunk("IEND", {});
    const std::vector<TDecodeCase> cases = {
        {"reference", [] { return Reference(); }, true},
        {"32 bytes with the signature", [] { return TBytes(Reference().begin(), Reference().begin() + 32); }, false},
        {"first signature byte wrong", [] { TBytes f = Reference(); f[0] = 0x88; return f; }, false},
        {"bytes 4 to 7 wrong", [] { TBytes f = Reference(); std::memset(&f[4], 0, 4); return f; }, true},
        {"every CRC wrong",
         [&] {
             TBytes f = PngSignature();
             Append(f, PngChunk("IHDR", IhdrData(3, 2, 8, 6), false));
             Append(f, PngChunk("IDAT", idat, false));
             Append(f, PngChunk("IEND", {}, false));
             return f;
         },
         true},
        {"no IEND", [&] { return WithChunks(image, {PngChunk("IDAT", idat)}); }, true},
        {"garbage after IEND",
         [&] { return WithChunks(image, {PngChunk("IDAT", idat), iend, ClaimingChunk(0xFFFFFFFF, 3)}); }, true},
        {"last chunk overruns after complete data",
         [&] { return WithChunks(image, {PngChunk("IDAT", idat), ClaimingChunk(100, 99)}); }, false},
        {"IDAT split around an ancillary chunk",
         [&] {
             const TBytes first(idat.begin(), idat.begin() + 5), second(idat.begin() + 5, idat.end());
             return WithChunks(image, {PngChunk("IDAT", first), PngChunk("tEXt", {'a', 0, 'b'}),
                                       PngChunk("IDAT", second), iend});
         },
         true},
        {"IDAT split with an empty IDAT between",
         [&] {
             const TBytes first(idat.begin(), idat.begin() + 1), second(idat.begin() + 1, idat.end());
             return WithChunks(image, {PngChunk("IDAT", first), PngChunk("IDAT", {}), PngChunk("IDAT", second), iend});
         },
         true},
        {"a later IHDR replaces the first",
         [&] {
             TBytes f = PngSignature();
             Append(f, PngChunk("IHDR", IhdrData(9, 9, 1, 0)));
             Append(f, PngChunk("IHDR", IhdrData(3, 2, 8, 6)));
             Append(f, PngChunk("IDAT", idat));
             Append(f, iend);
             return f;
         },
         true},
        {"Adam7",
         [&] {
             TBytes f = PngSignature();
             Append(f, PngChunk("IHDR", IhdrData(3, 2, 8, 6, 1)));
             Append(f, PngChunk("IDAT", idat));
             Append(f, iend);
             return f;
         },
         false},
        {"no IDAT", [&] { return WithChunks(image, {iend, TBytes(40, 0)}); }, false},
        {"no IHDR",
         [&] {
             TBytes f = PngSignature();
             Append(f, PngChunk("IDAT", idat));
             Append(f, iend);
             return f;
         },
         false},
        {"wrong Adler-32",
         [&] {
             TBytes bad = idat;
             bad.back() ^= 1;
             return WithChunks(image, {PngChunk("IDAT", bad), iend});
         },
         false},
        {"inflates to exactly the limit",
         [&] {
             TBytes raw = FilterRows(image.Rows, 4, {0});
             raw.resize(raw.size() + 64, 7);
             return WithChunks(image, {PngChunk("IDAT", ZlibCompress(raw)), iend});
         },
         true},
        {"inflates past the limit",
         [&] {
             TBytes raw = FilterRows(image.Rows, 4, {0});
             raw.resize(raw.size() + 65, 7);
             return WithChunks(image, {PngChunk("IDAT", ZlibCompress(raw)), iend});
         },
         false},
        {"one byte too little data",
         [&] {
             TBytes raw = FilterRows(image.Rows, 4, {0});
             raw.pop_back();
             return WithChunks(image, {PngChunk("IDAT", ZlibCompress(raw)), iend});
         },
         false},
        {"stream cut short",
         [&] { return WithChunks(image, {PngChunk("IDAT", TBytes(idat.begin(), idat.end() - 6)), iend}); }, false},
        {"chunk length with its top bit set",
         [&] { return WithChunks(image, {PngChunk("IDAT", idat), ClaimingChunk(0x80000000, 8), iend}); }, false},
    };
    const TRef<TMemoryServices> services = PaddedServices();
    const TRef<TPlatformSurface> reference = Decode(Reference(), *services);
    ASSERT_TRUE(reference);
    const TBytes expected = SurfaceBytes(*reference);
    for (const TDecodeCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRef<TPlatformSurface> surface = Decode(c.File(), *services);
        ASSERT_EQ(bool(surface), c.Decodes);
        if (!surface) continue;
        EXPECT_EQ(SurfaceBytes(*surface), expected);
        EXPECT_TRUE(surface->HasAlpha());
        EXPECT_TRUE(static_cast<TMemorySurface*>(surface.Get())->PaddingIntact());
    }
}

// Each of these once read or wrote outside a buffer; all are refused before a
// surface is asked for.
TEST(PngDecode, RefusedBeforeAnySurface) {
    const TPngImage image = SmallRgba();
    const TBytes idat = PngChunk("IDAT", IdatOf(image));
    const struct {
        const char* Name;
        TBytes File;
    } cases[] = {
        // A length near 2^31 once wrapped the end-of-chunk sum and passed.
        {"chunk length 0x7FFFFFFF", WithChunks(image, {ClaimingChunk(0x7FFFFFFF, 4), idat})},
        {"chunk length 0x7FFFFFF4 after the data", WithChunks(image, {idat, ClaimingChunk(0x7FFFFFF4, 30)})},
        // An IHDR shorter than 13 bytes once had its fields read past the data.
        {"IHDR of 12 bytes at the end",
         [] {
             TBytes f = PngSignature();
             TBytes data = IhdrData(3, 2, 8, 6);
             data.pop_back();
             Append(f, PngChunk("IHDR", data));
             Append(f, TBytes(20, 0));
             return f;
         }()},
        // Depths the colour type does not allow.
        {"grey depth 0", HeaderOnly(4, 4, 0, 0)},
        {"grey depth 3", HeaderOnly(4, 4, 3, 0)},
        {"grey depth 32", HeaderOnly(4, 4, 32, 0)},
        {"RGB depth 4", HeaderOnly(4, 4, 4, 2)},
        {"RGB depth 1", HeaderOnly(4, 4, 1, 2)},
        {"palette depth 16", HeaderOnly(4, 4, 16, 3)},
        {"grey + alpha depth 4", HeaderOnly(4, 4, 4, 4)},
        {"RGBA depth 2", HeaderOnly(4, 4, 2, 6)},
        {"colour type 1", HeaderOnly(4, 4, 8, 1)},
        {"colour type 5", HeaderOnly(4, 4, 8, 5)},
        {"colour type 7", HeaderOnly(4, 4, 8, 7)},
        // Sizes whose row arithmetic once wrapped in 32 bits.
        {"RGBA 16, width 0x7FFFFFFF", HeaderOnly(0x7FFFFFFF, 1, 16, 6)},
        {"grey 1, width 0x7FFFFFFF, height 16", HeaderOnly(0x7FFFFFFF, 16, 1, 0)},
        {"23171 x 23171 RGBA: surface past 2^31 - 1 bytes", HeaderOnly(23171, 23171, 8, 6)},
        {"RGBA 16: image data past 2^31 - 1 bytes, surface within", HeaderOnly(8192, 32768, 16, 6)},
        {"width 0", HeaderOnly(0, 4, 8, 6)},
        {"negative height", HeaderOnly(4, 0x80000001, 8, 6)},
    };
    const TRef<TMemoryServices> services = PaddedServices();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_FALSE(Decode(c.File, *services));
        EXPECT_TRUE(services->Calls.empty());
    }
}

// Surfaces a backend may hand back that cannot take the pixels.
TEST(PngDecode, UnusableSurfaceIsReleased) {
    for (const TUnusableServices& c : UnusableServices()) {
        SCOPED_TRACE(c.Name);
        const TRef<TMemoryServices> services = c.Make();
        EXPECT_FALSE(Decode(Reference(), *services));
        EXPECT_EQ(services->LiveSurfaces, 0);
        // The one request, and no FinishDrawing.
        EXPECT_EQ(services->Calls.size(), 1u);
    }
}

TEST(PngDecode, FinishDrawingExceptionPasses) {
    const TRef<TMemoryServices> services = PaddedServices();
    services->FinishDrawingThrows = true;
    EXPECT_THROW(Decode(Reference(), *services), System::Exception);
    EXPECT_EQ(services->LiveSurfaces, 0);
}

TEST(PngDecode, SurfaceRequestAndFinish) {
    const TRef<TMemoryServices> services = PaddedServices();
    TPngImage rgb;
    rgb.Width = 2;
    rgb.Height = 3;
    rgb.ColourType = 2;
    rgb.Rows.assign(3, TBytes(6, 0x44));
    {
        const TRef<TPlatformSurface> surface = Decode(MakePng(rgb), *services);
        ASSERT_TRUE(surface);
        EXPECT_EQ(services->LiveSurfaces, 1);
    }
    EXPECT_EQ(services->LiveSurfaces, 0);
    EXPECT_EQ(services->Calls, (std::vector<std::string>{"CreateSurface 2 3 0", "FinishDrawing 2 3"}));
}

namespace {

struct TConversionCase {
    const char* Name;
    TPngImage Image;
    bool HasAlpha;
    std::vector<uint32_t> Pixels; // 0xAARRGGBB, premultiplied
};

TPngImage Image(uint32_t width, uint8_t depth, uint8_t colourType, TBytes row, TBytes palette = {},
                TBytes transparency = {}) {
    TPngImage image;
    image.Width = width;
    image.Height = 1;
    image.Depth = depth;
    image.ColourType = colourType;
    image.Rows = {std::move(row)};
    image.Palette = std::move(palette);
    image.Transparency = std::move(transparency);
    return image;
}

std::vector<uint32_t> Words(const TBytes& bytes) {
    std::vector<uint32_t> words(bytes.size() / 4);
    for (size_t i = 0; i < words.size(); ++i)
        words[i] = uint32_t(bytes[4 * i]) | uint32_t(bytes[4 * i + 1]) << 8 | uint32_t(bytes[4 * i + 2]) << 16 |
                   uint32_t(bytes[4 * i + 3]) << 24;
    return words;
}

} // namespace

TEST(PngDecode, Conversions) {
    const TBytes palette = {10, 20, 30, 200, 100, 50, 7, 8, 9, 255, 0, 0};
    const std::vector<TConversionCase> cases = {
        {"grey 1", Image(4, 1, 0, {0b10100000}), false, {0xFFFFFFFF, 0xFF000000, 0xFFFFFFFF, 0xFF000000}},
        {"grey 2", Image(4, 2, 0, {0x1B}), false, {0xFF000000, 0xFF555555, 0xFFAAAAAA, 0xFFFFFFFF}},
        {"grey 4", Image(3, 4, 0, {0x07, 0xF0}), false, {0xFF000000, 0xFF777777, 0xFFFFFFFF}},
        {"grey 8", Image(2, 8, 0, {16, 200}), false, {0xFF101010, 0xFFC8C8C8}},
        {"grey 16, high byte only", Image(2, 16, 0, {0x12, 0xFF, 0xFF, 0x00}), false, {0xFF121212, 0xFFFFFFFF}},
        {"grey 2 keyed on the unscaled sample", Image(4, 2, 0, {0x1B}, {}, {0, 2}), true,
         {0xFF000000, 0xFF555555, 0x00000000, 0xFFFFFFFF}},
        {"grey 8 keyed", Image(3, 8, 0, {16, 200, 16}, {}, {0x00, 0x10}), true, {0, 0xFFC8C8C8, 0}},
        {"grey 8, key above 255 never matches", Image(1, 8, 0, {16}, {}, {0x01, 0x10}), true, {0xFF101010}},
        {"grey 16 keyed on all 16 bits", Image(2, 16, 0, {0x12, 0xFF, 0x12, 0x00}, {}, {0x12, 0xFF}), true,
         {0, 0xFF121212}},
        {"grey, one tRNS byte is no key", Image(1, 8, 0, {16}, {}, {0x10}), false, {0xFF101010}},
        {"RGB 8", Image(1, 8, 2, {200, 100, 50}), false, {0xFFC86432}},
        {"RGB 16", Image(1, 16, 2, {0x12, 0xFF, 0x34, 0x80, 0x56, 0x00}), false, {0xFF123456}},
        {"RGB 8 keyed", Image(2, 8, 2, {200, 100, 50, 200, 100, 51}, {}, {0, 200, 0, 100, 0, 50}), true,
         {0, 0xFFC86433}},
        {"RGB 16 keyed", Image(2, 16, 2, {1, 2, 3, 4, 5, 6, 1, 2, 3, 4, 5, 7}, {}, {1, 2, 3, 4, 5, 6}), true,
         {0, 0xFF010305}},
        {"RGB, five tRNS bytes are no key", Image(1, 8, 2, {1, 2, 3}, {}, {0, 1, 0, 2, 0}), false, {0xFF010203}},
        {"palette 8 with two alphas, index past the count",
         Image(5, 8, 3, {0, 1, 2, 3, 9}, palette, {0x80, 0x00}), true,
         {0x80050A0F, 0x00000000, 0xFF070809, 0xFFFF0000, 0x80050A0F}},
        {"palette 8 opaque", Image(2, 8, 3, {1, 3}, palette), false, {0xFFC86432, 0xFFFF0000}},
        {"palette 1", Image(3, 1, 3, {0b01000000}, palette), false, {0xFF0A141E, 0xFFC86432, 0xFF0A141E}},
        {"palette 2", Image(4, 2, 3, {0x1B}, palette), false, {0xFF0A141E, 0xFFC86432, 0xFF070809, 0xFFFF0000}},
        {"palette 4", Image(2, 4, 3, {0x31}, palette), false, {0xFFFF0000, 0xFFC86432}},
        {"palette without PLTE", Image(2, 8, 3, {0, 5}), false, {0xFF000000, 0xFF000000}},
        {"palette, PLTE shorter than one entry", Image(1, 8, 3, {0}, {1, 2}), false, {0xFF000000}},
        {"grey + alpha 8", Image(2, 8, 4, {200, 128, 77, 255}), true, {0x80646464, 0xFF4D4D4D}},
        {"grey + alpha 16", Image(1, 16, 4, {200, 0xFF, 128, 0xFF}), true, {0x80646464}},
        {"RGBA 8", Image(2, 8, 6, {200, 100, 50, 128, 1, 2, 3, 0}), true, {0x80643219, 0}},
        {"RGBA 16", Image(1, 16, 6, {200, 9, 100, 9, 50, 9, 128, 0xFF}), true, {0x80643219}},
    };
    const TRef<TMemoryServices> services = PaddedServices();
    for (const TConversionCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRef<TPlatformSurface> surface = Decode(MakePng(c.Image), *services);
        ASSERT_TRUE(surface);
        EXPECT_EQ(surface->HasAlpha(), c.HasAlpha);
        EXPECT_EQ(Words(SurfaceBytes(*surface)), c.Pixels);
        EXPECT_TRUE(static_cast<TMemorySurface*>(surface.Get())->PaddingIntact());
    }
}

namespace {

// Rows with flat runs (Paeth ties) and steps in both directions.
std::vector<TBytes> TestRows(size_t rowBytes, size_t height) {
    std::vector<TBytes> rows(height, TBytes(rowBytes));
    for (size_t y = 0; y < height; ++y)
        for (size_t i = 0; i < rowBytes; ++i) rows[y][i] = uint8_t(y % 3 == 1 ? 90 : (i * 37 + y * 101) % 256);
    return rows;
}

} // namespace

TEST(PngDecode, FiltersDecodeAlike) {
    const struct {
        uint8_t Depth, ColourType;
        uint32_t Width;
        size_t RowBytes;
    } formats[] = {{8, 2, 7, 21}, {16, 6, 5, 40}, {2, 0, 13, 4}, {8, 4, 6, 12}};
    const std::vector<std::vector<uint8_t>> filterSets = {{0}, {1}, {2}, {3}, {4}, {4, 3, 2, 1, 0}, {2, 4, 1, 3}};
    const TRef<TMemoryServices> services = PaddedServices();
    for (const auto& f : formats) {
        TPngImage image;
        image.Width = f.Width;
        image.Height = 6;
        image.Depth = f.Depth;
        image.ColourType = f.ColourType;
        image.Rows = TestRows(f.RowBytes, 6);
        const TRef<TPlatformSurface> plain = Decode(MakePng(image), *services);
        ASSERT_TRUE(plain);
        const TBytes expected = SurfaceBytes(*plain);
        for (const std::vector<uint8_t>& filters : filterSets) {
            SCOPED_TRACE(testing::Message() << "depth " << int(f.Depth) << " type " << int(f.ColourType)
                                            << " filters from " << int(filters[0]));
            image.Filters = filters;
            const TRef<TPlatformSurface> surface = Decode(MakePng(image), *services);
            ASSERT_TRUE(surface);
            EXPECT_EQ(SurfaceBytes(*surface), expected);
        }
    }
}

TEST(PngDecode, UnknownFilterRowIsUsedAsStored) {
    // Row 0 carries filter 7; row 1 is Up against row 0 as stored.
    TPngImage image = Image(2, 8, 0, {});
    image.Height = 2;
    const TBytes raw = {7, 10, 20, 2, 1, 2};
    TBytes file = Head(image);
    Append(file, PngChunk("IDAT", ZlibCompress(raw)));
    const TRef<TMemoryServices> services = PaddedServices();
    const TRef<TPlatformSurface> surface = Decode(file, *services);
    ASSERT_TRUE(surface);
    EXPECT_EQ(Words(SurfaceBytes(*surface)), (std::vector<uint32_t>{0xFF0A0A0A, 0xFF141414, 0xFF0B0B0B, 0xFF161616}));
}

TEST(PngDecode, NoCurrentServices) {
    const TScopedPlatformServices none(nullptr);
    EXPECT_FALSE(DecodePng(Reference().data(), int32_t(Reference().size())));
}

namespace {

TRef<TPlatformSurface> SurfaceOf(TPlatformServices& services, int32_t width, int32_t height, bool hasAlpha,
                                 const TBytes& pixels) {
    TRef<TPlatformSurface> surface = services.CreateSurface(width, height, hasAlpha);
    FillSurface(*surface, pixels);
    return surface;
}

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The raw image inside an encoded file's IDAT.
TBytes RawImage(const TBytes& file) {
    const uint32_t length = BigEndian32(&file[33]);
    uLongf size = 1 << 20;
    TBytes raw(size);
    EXPECT_EQ(uncompress(raw.data(), &size, &file[41], length), Z_OK);
    raw.resize(size);
    return raw;
}

// What the encoder must write: zlib's own chunks and compression.
TBytes ExpectedFile(int32_t width, int32_t height, bool hasAlpha, const TBytes& raw) {
    TBytes file = PngSignature();
    Append(file, PngChunk("IHDR", IhdrData(uint32_t(width), uint32_t(height), 8, hasAlpha ? 6 : 2)));
    Append(file, PngChunk("IDAT", ZlibCompress(raw)));
    Append(file, PngChunk("IEND", {}));
    return file;
}

} // namespace

TEST(PngEncode, OnePixelFile) {
    const TRef<TMemoryServices> services = PaddedServices();
    const TRef<TPlatformSurface> surface = SurfaceOf(*services, 1, 1, false, {0x30, 0x20, 0x10, 0xFF});
    const TBytes file = EncodePng(surface.Get());
    EXPECT_EQ(file, ExpectedFile(1, 1, false, {0x00, 0x10, 0x20, 0x30}));
    ASSERT_GE(file.size(), 45u);
    EXPECT_EQ(file.size(), BigEndian32(&file[33]) + 12 + 45);
    const TBytes tail(file.end() - 12, file.end());
    EXPECT_EQ(tail, (TBytes{0, 0, 0, 0, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82}));
    EXPECT_EQ(file[25], 2);
    EXPECT_EQ(file[41], 0x78);
    EXPECT_EQ(file[42], 0x9C);
}

TEST(PngEncode, LargerFilesMatchZlib) {
    const TRef<TMemoryServices> services = PaddedServices();
    for (bool hasAlpha : {false, true}) {
        SCOPED_TRACE(hasAlpha ? "alpha" : "opaque");
        const TRef<TPlatformSurface> surface = SurfaceOf(*services, 33, 17, hasAlpha, RandomPixels(33, 17, hasAlpha, 5));
        const TBytes file = EncodePng(surface.Get());
        EXPECT_EQ(file, ExpectedFile(33, 17, hasAlpha, RawImage(file)));
    }
}

TEST(PngEncode, Unpremultiplies) {
    const TRef<TMemoryServices> services = PaddedServices();
    const TRef<TPlatformSurface> surface =
        SurfaceOf(*services, 4, 1, true, {25, 50, 100, 128, 1, 2, 3, 0, 4, 5, 6, 255, 0, 0, 200, 100});
    const TBytes raw = RawImage(EncodePng(surface.Get()));
    EXPECT_EQ(raw, (TBytes{0, 199, 100, 50, 128, 3, 2, 1, 0, 6, 5, 4, 255, 255, 0, 0, 100}));
}

TEST(PngEncode, EmptyResults) {
    const TRef<TMemoryServices> services = PaddedServices();
    EXPECT_TRUE(EncodePng(nullptr).empty());
    EXPECT_TRUE(EncodePng(services->CreateSurface(3, 0, true).Get()).empty());
    // Width 0 still makes a file: one filter byte per row.
    const TBytes file = EncodePng(services->CreateSurface(0, 2, false).Get());
    EXPECT_EQ(file, ExpectedFile(0, 2, false, {0, 0}));
}

namespace {

// A surface whose size the encoder must refuse before it reads any pixel.
class THugeSurface : public TPlatformSurface {
public:
    THugeSurface(int32_t width, int32_t height, bool hasAlpha) : width_(width), height_(height), alpha_(hasAlpha) {}
    int32_t Width() override { return width_; }
    int32_t Height() override { return height_; }
    bool HasAlpha() override { return alpha_; }
    uint8_t* Bits() override {
        ++BitsCalls;
        return pixel_;
    }
    int32_t Stride() override { return 0; }
    int BitsCalls = 0;

private:
    int32_t width_, height_;
    bool alpha_;
    uint8_t pixel_[4] = {};
};

} // namespace

TEST(PngEncode, RawImagePast2GiBIsRefused) {
    // (4 x 23170 + 1) x 23170 fits; one more row and column does not.
    THugeSurface huge(23171, 23171, true);
    EXPECT_TRUE(EncodePng(&huge).empty());
    EXPECT_EQ(huge.BitsCalls, 0);
    THugeSurface wide(0x7FFFFFFF, 3, false);
    EXPECT_TRUE(EncodePng(&wide).empty());
    EXPECT_EQ(wide.BitsCalls, 0);
}

TEST(PngRoundTrip, RandomSurfaces) {
    const TRef<TMemoryServices> services = PaddedServices();
    const struct {
        int32_t Width, Height;
    } sizes[] = {{1, 1}, {5, 3}, {33, 17}};
    for (const auto& size : sizes) {
        for (bool hasAlpha : {false, true}) {
            for (uint32_t seed = 1; seed <= 3; ++seed) {
                SCOPED_TRACE(testing::Message() << size.Width << "x" << size.Height << (hasAlpha ? " alpha" : "")
                                                << " seed " << seed);
                const TBytes pixels = RandomPixels(size.Width, size.Height, hasAlpha, seed);
                const TRef<TPlatformSurface> surface = SurfaceOf(*services, size.Width, size.Height, hasAlpha, pixels);
                const TBytes file = EncodePng(surface.Get());
                const TRef<TPlatformSurface> back = Decode(file, *services);
                ASSERT_TRUE(back);
                EXPECT_EQ(back->HasAlpha(), hasAlpha);
                EXPECT_EQ(SurfaceBytes(*back), pixels);
            }
        }
    }
}

TEST(PngChunk, WritesCrcOfTypeAndData) {
    const TBytes data = {'h', 'e', 'l', 'l', 'o'};
    TBytes chunk(data.size() + 12 + 1, 0xEE);
    const uint8_t* end = WritePngChunk(chunk.data(), 0x74455874, data.data(), uint32_t(data.size()));
    EXPECT_EQ(end, chunk.data() + data.size() + 12);
    EXPECT_EQ(chunk.back(), 0xEE);
    chunk.pop_back();
    EXPECT_EQ(chunk, PngChunk("tEXt", data));
    TBytes empty(12);
    WritePngChunk(empty.data(), 0x49454E44, nullptr, 0);
    EXPECT_EQ(empty, PngChunk("IEND", {}));
}
