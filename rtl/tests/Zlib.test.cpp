#include <gtest/gtest.h>

#include <zlib.h>

#include <cstring>
#include <functional>

#include "System.Compress.Zlib.h"
#include "System.Remainder.Exceptions.h"

using namespace System;

namespace {

TBytes PatternBytes(size_t n) {
    TBytes bytes(n);
    uint32_t x = 7;
    for (uint8_t& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = uint8_t("ksetup"[(x >> 16) % 6] ^ ((x >> 29) & 1));  // compressible, not trivially
    }
    return bytes;
}

// The zlib format (window bits 15), optionally with a preset dictionary.
TBytes ZlibFormat(const TBytes& data, const char* dictionary = nullptr) {
    z_stream z{};
    EXPECT_EQ(deflateInit(&z, Z_DEFAULT_COMPRESSION), Z_OK);
    if (dictionary)
        deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dictionary), uInt(std::strlen(dictionary)));
    TBytes out(deflateBound(&z, uLong(data.size())));
    z.next_in = const_cast<Bytef*>(data.data());
    z.avail_in = uInt(data.size());
    z.next_out = out.data();
    z.avail_out = uInt(out.size());
    EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

uint32_t LittleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void ExpectZlibError(const std::function<void()>& call, const std::u16string& message, int32_t code) {
    try {
        call();
        ADD_FAILURE() << "no exception";
    } catch (const EZlibError& e) {
        EXPECT_EQ(e.Message, message);
        EXPECT_EQ(e.ZlibCode, code);
        EXPECT_EQ(e.ErrorCode, 0x1000097u);
    }
}

} // namespace

TEST(Zlib, GzipRoundTrip) {
    const TBytes inputs[] = {{0x41}, PatternBytes(1365), PatternBytes(1366), PatternBytes(200000),
                             TBytes(1 << 20, 0)};
    for (const TBytes& input : inputs) {
        for (int level : {-1, 0, 1, 9}) {
            SCOPED_TRACE(testing::Message() << input.size() << " bytes, level " << level);
            const TBytes gzip = DeflateBytes(input, level);
            ASSERT_GE(gzip.size(), 18u);
            // One member: a bare 10-byte header with time 0, then CRC-32 and length.
            EXPECT_EQ(gzip[0], 0x1F);
            EXPECT_EQ(gzip[1], 0x8B);
            EXPECT_EQ(gzip[2], 8);
            EXPECT_EQ(gzip[3], 0);
            EXPECT_EQ(LittleEndian32(&gzip[4]), 0u);
            const uint8_t* trailer = gzip.data() + gzip.size() - 8;
            EXPECT_EQ(LittleEndian32(trailer), uint32_t(crc32(0, input.data(), uInt(input.size()))));
            EXPECT_EQ(LittleEndian32(trailer + 4), uint32_t(input.size()));
            EXPECT_EQ(InflateBytes(gzip, 31, 0x40000000), input);
        }
        EXPECT_EQ(InflateBytes(ZlibFormat(input), 15, 0x40000000), input);
    }
    EXPECT_TRUE(DeflateBytes({}, -1).empty());
    EXPECT_TRUE(InflateBytes({}, 15, 0).empty());
}

TEST(Zlib, LimitReachedExactlyVersusExceeded) {
    for (size_t size : {size_t(1), size_t(100), size_t(4096), size_t(8192), size_t(300000)}) {
        SCOPED_TRACE(testing::Message() << size << " bytes");
        const TBytes data = PatternBytes(size);
        const TBytes packed = ZlibFormat(data);
        EXPECT_EQ(InflateBytes(packed, 15, int64_t(size)), data);
        ExpectZlibError([&] { InflateBytes(packed, 15, int64_t(size) - 1); },
                        u"zlib: conteudo inflado passou do limite de " + Int64ToStr(int64_t(size) - 1) +
                            u" bytes (codigo -5)",
                        -5);
    }
    EXPECT_TRUE(InflateBytes(ZlibFormat({}), 15, 0).empty());
}

TEST(Zlib, BrokenStreams) {
    const TBytes data = PatternBytes(50000);
    const TBytes packed = ZlibFormat(data);
    const TBytes gzip = DeflateBytes(data, -1);
    const TBytes cutShort(packed.begin(), packed.end() - 5);
    const TBytes cutInHalf(packed.begin(), packed.begin() + packed.size() / 2);
    TBytes corrupt = packed;
    corrupt[1] ^= 0xFF;  // header check fails
    const TBytes withDictionary = ZlibFormat(data, "ksetup ksetup");

    const struct { TBytes input; int32_t windowBits; std::u16string message; int32_t code; } cases[] = {
        {cutShort, 15, u"zlib: fluxo comprimido acabou no meio (codigo -5)", -5},
        {cutInHalf, 15, u"zlib: fluxo comprimido acabou no meio (codigo -5)", -5},
        {gzip, 15, u"zlib: inflate falhou (codigo -3)", -3},
        {corrupt, 15, u"zlib: inflate falhou (codigo -3)", -3},
        {withDictionary, 15, u"zlib: inflate falhou (codigo 2)", 2},
        {packed, 7, u"zlib: inflateInit2 recusou (codigo -2)", -2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.message));
        ExpectZlibError([&] { InflateBytes(c.input, c.windowBits, 0x40000000); }, c.message, c.code);
    }
    ExpectZlibError([&] { DeflateBytes(data, 10); }, u"zlib: deflateInit2 recusou (codigo -2)", -2);
}
