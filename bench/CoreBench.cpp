// Throughput of the download path's hot spots: SHA-256 and inflating.
// Prints MB/s (10^6 bytes per second), one line per measurement.
#include <chrono>
#include <cstdio>
#include <cstring>

#include "System.Compress.Zlib.h"
#include "System.Hash.h"

using namespace System;
using Clock = std::chrono::steady_clock;

namespace {

TBytes PatternBytes(size_t n) {
    TBytes bytes(n);
    uint32_t x = 1;
    for (uint8_t& b : bytes) {
        x = x * 1103515245u + 12345u;
        b = uint8_t(x >> 27);  // 32 symbols: compresses to about 5/8
    }
    return bytes;
}

// Runs `work` (which handles `bytes` bytes per call) for at least `seconds`.
template <class Work>
double MegabytesPerSecond(size_t bytes, double seconds, Work work) {
    work();  // warm-up
    size_t calls = 0;
    const Clock::time_point start = Clock::now();
    double elapsed = 0;
    do {
        work();
        ++calls;
        elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < seconds);
    return double(bytes) * double(calls) / elapsed / 1e6;
}

uint8_t sink;

void HashSha256(const TBytes& data) {
    Sha2State state;
    HashSha2Init(state, Sha2_256);
    HashSha2Update(state, data.data(), data.size());
    sink ^= HashSha2Final(state)[0];
}

void CompressPortable(const TBytes& data) {
    uint32_t hash[8] = {};
    Sha256CompressPortable(hash, data.data(), data.size() / 64);
    sink ^= uint8_t(hash[0]);
}

} // namespace

int main() {
    std::printf("sha256 path: %s\n", Sha256HasShaInstructions() ? "sha-instructions" : "portable");
    for (size_t size : {size_t(16) << 10, size_t(1) << 20}) {
        const TBytes data = PatternBytes(size);
        std::printf("sha256 %zu bytes: %.1f MB/s\n", size, MegabytesPerSecond(size, 2.0, [&] { HashSha256(data); }));
        std::printf("sha256-portable %zu bytes: %.1f MB/s\n", size,
                    MegabytesPerSecond(size, 1.0, [&] { CompressPortable(data); }));
    }
    const TBytes plain = PatternBytes(size_t(64) << 20);
    const TBytes packed = DeflateBytes(plain, -1);
    std::printf("inflate %zu -> %zu bytes: %.1f MB/s\n", packed.size(), plain.size(),
                MegabytesPerSecond(plain.size(), 3.0, [&] { sink ^= InflateBytes(packed, 31, 0x40000000)[0]; }));
    std::printf("checksum %u\n", unsigned(sink));  // keeps the work from being optimised away
    return 0;
}
