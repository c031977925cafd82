#include "KS.Package.h"

#include <windows.h>
#include <zlib.h>

#include <vector>

#include "KS.Lzma86.h"
#include "KS.Sys.Errors.h"

namespace KS {

namespace {

constexpr char16_t Truncated[] = u"pacote truncado";
constexpr char16_t BadHeader[] = u"pacote corrompido (cabeçalho de bloco)";
constexpr char16_t BadBlock[] = u"pacote corrompido (bloco não descomprime)";
constexpr char16_t SizeMismatch[] = u"tamanho do arquivo não confere com o pacote";
constexpr char16_t CrcMismatch[] = u"CRC32 não confere: o instalador está corrompido";

constexpr int64_t BlockHeaderSize = 12;

struct TBlockHeader {
    uint32_t RawSize = 0;
    uint32_t PackedSize = 0;
    uint32_t Method = 0;
};

uint32_t LittleEndian32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

bool ReadBlockHeader(TInFile& package, int64_t at, TBlockHeader& header) {
    uint8_t bytes[BlockHeaderSize];
    if (!package.ReadAt(static_cast<uint64_t>(at), bytes, BlockHeaderSize)) return false;
    header.RawSize = LittleEndian32(bytes);
    header.PackedSize = LittleEndian32(bytes + 4);
    header.Method = LittleEndian32(bytes + 8);
    return true;
}

// The raw data of one block, or false when it does not unpack to its size.
bool UnpackBlock(const TBlockHeader& header, std::vector<uint8_t>& packed, std::vector<uint8_t>& raw) {
    if (header.Method == 0) {
        if (header.PackedSize != header.RawSize) return false;
        raw.swap(packed);
        return true;
    }
    if (header.Method != 1) return false;
    raw.resize(header.RawSize);
    size_t decoded = 0;
    return Lzma86Decode(packed.data(), packed.size(), raw.data(), raw.size(), decoded) && decoded == raw.size();
}

uint32_t Crc32(uint32_t crc, const std::vector<uint8_t>& data) {
    return static_cast<uint32_t>(crc32(crc, data.data(), static_cast<uInt>(data.size())));
}

} // namespace

bool ReadPackageEntry(TInFile& package, int64_t offset, int64_t packedLength, int64_t expectedSize,
                      uint32_t expectedCrc, TOutFile& output, PackageProgress progress, std::u16string& error) {
    error.clear();
    auto fail = [&error](const std::u16string& text) {
        error = text;
        return false;
    };
    uint8_t countBytes[4];
    if (!package.ReadAt(static_cast<uint64_t>(offset), countBytes, 4)) return fail(Truncated);
    const uint32_t count = LittleEndian32(countBytes);
    uint32_t crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
    if (count == 0) {
        if (expectedSize != 0) return fail(SizeMismatch);
        if (expectedCrc != crc) return fail(CrcMismatch);
        return true;
    }
    const int64_t end = offset + packedLength;
    int64_t rawTotal = 0;
    int64_t at = offset + 4;
    TBlockHeader header;
    if (!ReadBlockHeader(package, at, header)) return fail(BadHeader);
    for (uint32_t block = 1;; ++block) {
        const int64_t dataEnd = at + BlockHeaderSize + header.PackedSize;
        if (dataEnd > end) return fail(BadHeader);
        // Sizes that the file or the script cannot hold are refused before
        // anything is allocated for them: a damaged header must not make the
        // reader ask for gigabytes.
        if (dataEnd > package.Size) return fail(Truncated);
        if (rawTotal + header.RawSize > expectedSize) return fail(SizeMismatch);
        std::vector<uint8_t> packed(header.PackedSize);
        if (header.PackedSize > 0 &&
            !package.ReadAt(static_cast<uint64_t>(at + BlockHeaderSize), packed.data(), header.PackedSize))
            return fail(Truncated);
        std::vector<uint8_t> raw;
        if (!UnpackBlock(header, packed, raw)) return fail(BadBlock);
        if (!raw.empty()) {
            crc = Crc32(crc, raw);
            if (output.Handle == -1) SetLastOsError(ERROR_INVALID_HANDLE);
            if (output.Handle == -1 || !output.Write(raw.data(), static_cast<int64_t>(raw.size())))
                return fail(u"não consegui gravar: " + OsErrorText(LastOsError()));
        }
        if (progress.Code) {
            uint8_t cancel = 0;
            progress.Code(progress.Context, header.RawSize, cancel);
            if (cancel == 1) return fail(u"cancelado");
        }
        rawTotal += header.RawSize;
        if (block == count) {
            if (rawTotal != expectedSize) return fail(SizeMismatch);
            if (crc != expectedCrc) return fail(CrcMismatch);
            return true;
        }
        at = dataEnd;
        if (!ReadBlockHeader(package, at, header)) return fail(BadHeader);
    }
}

} // namespace KS
