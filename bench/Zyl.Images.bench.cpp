// The image codecs on a 1024 x 1024 RGBA image and a 1024 x 1024 palette
// image, beside zlib doing only the compression part of the same work
// (inflating the same IDAT data, deflating the same raw image). Prints the
// median milliseconds per call, one line per measurement.
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "Bench.Timing.h"
#include "Zyl.Graphics.h"
#include "Zyl.Platform.Png.h"
#include "Zyl.Test.Image.h"
#include "Zyl.Test.Png.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::TRef;

namespace {

constexpr int32_t kSide = 1024;

using Bench::Milliseconds;

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The data of every IDAT chunk of a PNG file.
TBytes IdatData(const TBytes& file) {
    TBytes data;
    for (size_t at = 8; at + 12 <= file.size();) {
        const uint32_t length = BigEndian32(&file[at]);
        if (BigEndian32(&file[at + 4]) == 0x49444154) data.insert(data.end(), &file[at + 8], &file[at + 8 + length]);
        at += 12 + length;
    }
    return data;
}

// Smooth gradients with some noise and a soft alpha edge, as icons and
// screenshots have: compresses, but not to nothing.
TBytes PhotoPixels() {
    TBytes pixels(size_t(kSide) * kSide * 4);
    uint32_t noise = 1;
    for (int32_t y = 0; y < kSide; ++y) {
        for (int32_t x = 0; x < kSide; ++x) {
            noise = noise * 1103515245u + 12345u;
            const uint8_t a = uint8_t(std::min(255, (x + y) / 4));
            uint8_t* p = &pixels[(size_t(y) * kSide + x) * 4];
            p[0] = uint8_t(std::min<uint32_t>(a, (x + (noise >> 29)) & 0xFF));
            p[1] = uint8_t(std::min<uint32_t>(a, y & 0xFF));
            p[2] = uint8_t(std::min<uint32_t>(a, (x ^ y) & 0xFF));
            p[3] = a;
        }
    }
    return pixels;
}

TPngImage PaletteImage() {
    TPngImage image;
    image.Width = image.Height = kSide;
    image.Depth = 8;
    image.ColourType = 3;
    for (int i = 0; i < 256; ++i) image.Palette.insert(image.Palette.end(), {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)});
    image.Transparency = TBytes(16, 128);
    for (int32_t y = 0; y < kSide; ++y) {
        TBytes row(kSide);
        for (int32_t x = 0; x < kSide; ++x) row[size_t(x)] = uint8_t((x / 8 + y / 8) % 256);
        image.Rows.push_back(row);
    }
    image.Filters = {0, 1, 2, 4};
    return image;
}

// What zlib makes of `data` in the zlib format, into a buffer of `room` bytes.
TBytes Uncompress(const TBytes& data, size_t room) {
    TBytes out(room);
    uLongf size = uLongf(room);
    uncompress(out.data(), &size, data.data(), uLong(data.size()));
    out.resize(size);
    return out;
}

void Report(const char* what, const TBytes& file, TPlatformServices& services) {
    const TRef<TPlatformSurface> surface = DecodePng(file.data(), int32_t(file.size()), services);
    const size_t room = size_t(kSide) * (size_t(kSide) * 8 + 1);
    const TBytes idat = IdatData(file);
    // What the encoder compresses: a filter byte and RGB or RGBA per row.
    const TBytes raw = Uncompress(IdatData(EncodePng(surface.Get())), room);
    const TBytes bmp = EncodeBmp(*surface);
    TBytes scratch(std::max<size_t>(room, compressBound(uLong(raw.size()))));

    std::printf("%s: %zu bytes of PNG\n", what, file.size());
    std::printf("  DecodePng        %8.2f ms\n", Milliseconds(15, [&] {
                    DecodePng(file.data(), int32_t(file.size()), services);
                }));
    std::printf("  zlib uncompress  %8.2f ms (the same IDAT data)\n", Milliseconds(15, [&] {
                    uLongf size = uLongf(scratch.size());
                    uncompress(scratch.data(), &size, idat.data(), uLong(idat.size()));
                }));
    std::printf("  EncodePng        %8.2f ms\n", Milliseconds(7, [&] { EncodePng(surface.Get()); }));
    std::printf("  zlib compress2   %8.2f ms (the encoder's raw image, default level)\n", Milliseconds(7, [&] {
                    uLongf size = uLongf(scratch.size());
                    compress2(scratch.data(), &size, raw.data(), uLong(raw.size()), Z_DEFAULT_COMPRESSION);
                }));
    std::printf("  EncodeBmp        %8.2f ms\n", Milliseconds(15, [&] { EncodeBmp(*surface); }));
    std::printf("  DecodeBmp        %8.2f ms\n", Milliseconds(15, [&] {
                    DecodeBmp(bmp.data(), int32_t(bmp.size()), services);
                }));
}

} // namespace

int main() {
    const TRef<TMemoryServices> services = System::MakeRef<TMemoryServices>();
    const TRef<TPlatformSurface> photo = services->CreateSurface(kSide, kSide, true);
    FillSurface(*photo, PhotoPixels());
    Report("1024 x 1024 RGBA", EncodePng(photo.Get()), *services);
    Report("1024 x 1024 palette, 8 bits", MakePng(PaletteImage()), *services);
    return 0;
}
