// The digest text of the online side: the SHA-256 of some bytes written as
// standard Base64 (44 characters), compared exactly. Safe on any thread.
#pragma once

#include <cstdint>
#include <string>

#include "System.Remainder.Text.h"

namespace KS {

// RFC 4648 Base64 with "=" padding and no line breaks.
std::u16string EncodeBase64(const System::TBytes& bytes);

// The digest text of the first count bytes (none when count is 0).
std::u16string Sha256BytesBase64(const uint8_t* bytes, int64_t count);
inline std::u16string Sha256BytesBase64(const System::TBytes& bytes) {
    return Sha256BytesBase64(bytes.data(), int64_t(bytes.size()));
}

// The digest text of a file's bytes, read through one 1 MiB buffer; empty
// when the file cannot be opened or a read fails (LastOsError says why).
std::u16string Sha256FileBase64(const std::u16string& path);

} // namespace KS
