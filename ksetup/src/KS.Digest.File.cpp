#include "KS.Digest.h"

#include <algorithm>

#include "KS.Sys.Files.h"
#include "System.Hash.h"

namespace KS {

std::u16string Sha256FileBase64(const std::u16string& path) {
    constexpr int64_t kPiece = 1048576;
    System::TRef<TInFile> file = new TInFile;
    if (!file->Open(path)) return {};
    System::TBytes buffer(size_t(std::min(file->Size, kPiece)));
    System::Sha2State state;
    System::HashSha2Init(state, System::Sha2_256);
    for (int64_t offset = 0; offset < file->Size;) {
        const int64_t n = std::min(file->Size - offset, kPiece);
        if (!file->ReadAt(uint64_t(offset), buffer.data(), n)) return {};
        System::HashSha2Update(state, buffer.data(), size_t(n));
        offset += n;
    }
    return EncodeBase64(System::HashSha2Final(state));
}

} // namespace KS
