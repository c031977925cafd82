// SHA-2 digests, computed incrementally over a state record that the caller
// owns. No Windows interface here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "System.Remainder.Text.h"

namespace System {

enum : uint8_t {
    Sha2_224 = 0,
    Sha2_256 = 1,
    Sha2_384 = 2,
    Sha2_512 = 3,
    Sha2_512_224 = 4,
    Sha2_512_256 = 5,
};

struct Sha2State {
    // Pending input; the 224/256 variants use the first 64 bytes.
    uint8_t Block[128];
    // Total input in bits, wrapping at 2^64.
    uint64_t BitCount;
    uint32_t Fill;
    uint8_t Finished;
    uint8_t Variant;
    // Native order while hashing, big-endian bytes once finished.
    union {
        uint32_t Words32[8];
        uint64_t Words64[8];
        uint8_t Bytes[64];
    } Hash;
};

// Clears the state and loads the variant's initial hash value. A variant
// above 5 raises EDivByZero.
void HashSha2Init(Sha2State& state, uint8_t variant);

// Raises EHashException on a finished state, EDivByZero (after counting the
// bits) for a variant above 5.
void HashSha2Update(Sha2State& state, const void* data, size_t count);

// The digest; the state is finished afterwards and a second call returns the
// same digest. A variant above 5 gives an empty array.
TBytes HashSha2Final(Sha2State& state);

// Processes the full block in the state's buffer.
void HashSha2Block(Sha2State& state);

// The two SHA-256 compressions over whole 64-byte blocks: the portable one,
// and the one on the processor's SHA instructions, which may run only when
// Sha256HasShaInstructions() says so. The hash uses the latter when it can.
void Sha256CompressPortable(uint32_t hash[8], const uint8_t* blocks, size_t count);
void Sha256CompressShaNi(uint32_t hash[8], const uint8_t* blocks, size_t count);
bool Sha256HasShaInstructions();

} // namespace System
