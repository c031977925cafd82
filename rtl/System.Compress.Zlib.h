// Whole-buffer zlib compression and decompression. Failures raise EZlibError.
// No Windows interface here.
#pragma once

#include <cstdint>

#include "System.Remainder.Text.h"

namespace System {

// Decompresses `input` (window bits as inflateInit2 takes them: 15 for the
// zlib format, 31 for gzip). Output up to `limit` bytes long succeeds; a
// stream that would produce more raises instead of being cut.
TBytes InflateBytes(const TBytes& input, int32_t windowBits, int64_t limit);

// Compresses `input` at zlib's `level` (-1: its default) into exactly one
// gzip member; an empty input gives an empty result.
TBytes DeflateBytes(const TBytes& input, int32_t level);

} // namespace System
