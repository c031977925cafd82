// The embedded package: entries of blocks, each stored or LZMA-packed, read
// into a file and checked against the size and CRC-32 that the script gives.
//
// An entry (numbers little-endian): the block count N (u32), then N blocks,
// each a 12-byte header (raw size, packed size, method; u32 each) followed by
// its packed data. Method 0 stores the data as it is (packed size equal to
// raw size); method 1 is LZMA in the LZMA86 framing (KS.Lzma86.h). Every
// block must end within the entry's packed length; bytes after block N are
// not read.
#pragma once

#include <cstdint>
#include <string>

#include "KS.Observer.h"
#include "KS.Sys.Files.h"

namespace KS {

// Unpacks the entry at the absolute offset into the open output file, block
// by block, calling the progress after each block. False with the reason in
// error; what was written before a failure stays in the file.
bool ReadPackageEntry(TInFile& package, int64_t offset, int64_t packedLength, int64_t expectedSize,
                      uint32_t expectedCrc, TOutFile& output, PackageProgress progress, std::u16string& error);

} // namespace KS
