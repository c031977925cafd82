// One catalogue file from the network to its place: the compressed bytes are
// checked, inflated and checked again before anything is written, and the
// target is only ever replaced by a complete, verified file.
#include <windows.h>

#include "KS.Digest.h"
#include "KS.Online.h"
#include "KS.Sys.Errors.h"
#include "System.Compress.Zlib.h"
#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"

namespace KS {

using System::WStr;

namespace {

std::u16string LastOsErrorText() {
    return OsErrorText(LastOsError());
}

// Keeps the code of the failed call as this thread's LastOsError.
bool Succeeded(BOOL result) {
    if (!result) SetLastOsError(GetLastError());
    return result;
}

} // namespace

void ClearReadOnly(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(WStr(path));
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesW(WStr(path), attributes & ~DWORD(FILE_ATTRIBUTE_READONLY));
}

bool TOnlineProvider::DownloadFile(THttpClient& http, const TCatalog& catalog, int32_t fileIndex,
                                   const std::u16string& target, std::u16string& error) {
    const CatalogFileRecord& file = catalog.Files[size_t(fileIndex)];
    System::TBytes packed;
    error.clear();
    const bool fetched = FileSource ? FileSource(http, catalog, file, packed, error)
                                    : GetWithMirrors(http, catalog.Sources, file.Name, packed, error, {}, file.ZSize);
    if (!fetched) {
        if (error.empty()) error = u"download interrompido";
        error = file.Name + u": " + error;
        return false;
    }
    if (int64_t(packed.size()) != file.ZSize || Sha256BytesBase64(packed.data(), int64_t(packed.size())) != file.ZHash) {
        error = file.Name + u" veio corrompido (SHA-256 do compactado não confere).";
        return false;
    }

    System::TBytes content;
    try {
        // The catalogue's own size bounds the memory: a stream that would
        // inflate past it is refused, whatever it holds.
        content = System::InflateBytes(packed, 15, file.Size);
    } catch (const System::Exception& e) {
        error = u"não consegui descompactar " + file.Name + u": " + e.Message;
        return false;
    }
    System::TBytes().swap(packed);
    const bool matches = content.empty() ? file.Size == 0
                                         : int64_t(content.size()) == file.Size &&
                                               Sha256BytesBase64(content.data(), int64_t(content.size())) == file.Hash;
    if (!matches) {
        error = file.Name + u" descompactado não confere com o SHA-256 esperado.";
        return false;
    }

    const std::u16string temporary = StagedPath(target);
    const bool written = content.empty() ? WriteEmptyFile(temporary)
                                         : WriteFileBytes(temporary, content.data(), int64_t(content.size()));
    if (!written) {
        error = u"não consegui gravar " + target + u": " + LastOsErrorText();
        return false;
    }
    return true;
}

bool TOnlineProvider::FetchAndReplace(THttpClient& http, const DownloadJob& job, std::u16string& error,
                                      bool* staged) {
    if (staged) *staged = false;
    if (!DownloadFile(http, *Catalogs[size_t(job.CatalogIndex)], job.FileIndex, job.Target, error)) return false;
    const std::u16string temporary = StagedPath(job.Target);

    // The new file goes over the old one in one step, so the target is
    // never missing; only a target in use waits for the next restart.
    ClearReadOnly(job.Target);
    if (Succeeded(MoveFileExW(WStr(temporary), WStr(job.Target), MOVEFILE_REPLACE_EXISTING))) return true;
    const uint32_t moveError = LastOsError();
    const DWORD attributes = GetFileAttributesW(WStr(job.Target));
    const bool inUse = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY) &&
                       (moveError == ERROR_SHARING_VIOLATION || moveError == ERROR_ACCESS_DENIED ||
                        moveError == ERROR_LOCK_VIOLATION || moveError == ERROR_USER_MAPPED_FILE);
    if (inUse) {
        if (Succeeded(MoveFileExW(WStr(temporary), WStr(job.Target),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT))) {
            RebootCount.fetch_add(1);
            if (staged) *staged = true;
            return true;
        }
        error = u"não consegui substituir " + job.Target + u": " + LastOsErrorText();
    } else {
        error = u"não consegui gravar " + job.Target + u": " + OsErrorText(moveError);
    }
    ClearReadOnly(temporary);
    DeleteFileW(WStr(temporary));
    return false;
}

} // namespace KS
