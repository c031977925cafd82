// LZMA data in the LZMA86 framing, as the installer's package carries it: a
// filter byte (0 none, 1 the x86 branch converter), the five LZMA property
// bytes, the unpacked size in 8 bytes (little-endian), then the LZMA stream.
// The LZMA decoder itself is the LZMA SDK's.
#pragma once

#include <cstddef>
#include <cstdint>

namespace KS {

inline constexpr size_t Lzma86HeaderSize = 14;

// Decodes into dest, which has room for destSize bytes; decodedSize says how
// many were produced. The decoder stops when dest is full. False: a short
// header, an unknown filter or an LZMA stream the decoder refuses.
bool Lzma86Decode(const uint8_t* source, size_t sourceSize, uint8_t* dest, size_t destSize, size_t& decodedSize);

// Takes back the x86 branch converter in place: the targets of near calls
// and jumps (E8, E9) that it made absolute become relative again, the data
// taken as loaded at address 0.
void X86BranchDecode(uint8_t* data, size_t size);

} // namespace KS
