// The Windows side of the streams: handles, files and resources.
#include <windows.h>

#include <algorithm>
#include <exception>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Streams.h"

namespace System {

namespace {

// The largest count that one ReadFile or WriteFile call takes.
constexpr int64_t kMaxPiece = 0x7FFFFFFF;

// Runs call(offset, piece, &moved) in pieces until count bytes have moved or
// a piece moves less than asked (end of file, full device).
template <class Call>
int64_t TransferInPieces(int64_t count, Call call) {
    if (count <= 0) return 0;
    int64_t total = 0;
    while (total < count) {
        const DWORD piece = DWORD(std::min(count - total, kMaxPiece));
        DWORD moved = 0;
        if (!call(total, piece, &moved)) throw EOsError(GetLastError());
        total += moved;
        if (moved < piece) break;
    }
    return total;
}

struct TOpenRequest {
    bool Valid;
    DWORD Access;
    DWORD Share;
    DWORD Disposition;
};

TOpenRequest DecodeFileMode(uint16_t mode) {
    static constexpr DWORD kShares[] = {0, 0, FILE_SHARE_READ, FILE_SHARE_WRITE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE};
    static constexpr DWORD kAccesses[] = {GENERIC_READ, GENERIC_WRITE, GENERIC_READ | GENERIC_WRITE};
    const unsigned share = (mode >> 4) & 0xF;
    const bool create = mode >= fmCreate;
    const unsigned access = mode & 3;
    if (share >= std::size(kShares) || (!create && access >= std::size(kAccesses)))
        return {false, 0, 0, 0};
    if (create)
        return {true, GENERIC_READ | GENERIC_WRITE, kShares[share],
                DWORD((mode & fmCreateNew) ? CREATE_NEW : CREATE_ALWAYS)};
    return {true, kAccesses[access], kShares[share], OPEN_EXISTING};
}

// Raises `error` with `osCode` as the thread's last error for the handler to
// read. The runtime clears the last error when a thread first touches its
// exception state, so that state is touched before the code is set.
template <class E>
[[noreturn]] void RaiseWithLastError(const E& error, DWORD osCode) {
    (void)std::current_exception();
    SetLastError(osCode);
    throw error;
}

[[noreturn]] void RaiseFileError(bool create, DWORD osCode) {
    if (create) RaiseWithLastError(EFCreateError(u"não foi possível criar o arquivo"), osCode);
    RaiseWithLastError(EFOpenError(u"não foi possível abrir o arquivo"), osCode);
}

} // namespace

int64_t THandleStream::GetSize() {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handle_, &size)) throw EOsError(GetLastError());
    return size.QuadPart;
}

void THandleStream::SetSize(int64_t size) {
    Seek(size, soBeginning);
    if (!SetEndOfFile(handle_)) throw EOsError(GetLastError());
}

int64_t THandleStream::Read(void* buffer, int64_t count) {
    return TransferInPieces(count, [&](int64_t done, DWORD piece, DWORD* moved) {
        return ReadFile(handle_, static_cast<char*>(buffer) + done, piece, moved, nullptr);
    });
}

int64_t THandleStream::Write(const void* buffer, int64_t count) {
    return TransferInPieces(count, [&](int64_t done, DWORD piece, DWORD* moved) {
        return WriteFile(handle_, static_cast<const char*>(buffer) + done, piece, moved, nullptr);
    });
}

int64_t THandleStream::Seek(int64_t offset, int32_t origin) {
    LARGE_INTEGER distance, position;
    distance.QuadPart = offset;
    if (!SetFilePointerEx(handle_, distance, &position, DWORD(origin))) throw EOsError(GetLastError());
    return position.QuadPart;
}

TFileStream::TFileStream(const std::u16string& fileName, uint16_t mode)
    : THandleStream(INVALID_HANDLE_VALUE) {
    const bool create = mode >= fmCreate;
    const TOpenRequest request = DecodeFileMode(mode);
    if (!request.Valid) RaiseFileError(create, ERROR_INVALID_PARAMETER);
    HANDLE handle = CreateFileW(WStr(fileName), request.Access, request.Share, nullptr,
                                request.Disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) RaiseFileError(create, GetLastError());
    handle_ = handle;
    fileName_ = fileName;
}

TFileStream::~TFileStream() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
}

TResourceStream::TResourceStream(HMODULE module, const char16_t* name, const char16_t* type) {
    resInfo_ = FindResourceW(module, reinterpret_cast<LPCWSTR>(name), reinterpret_cast<LPCWSTR>(type));
    if (!resInfo_) throw EResNotFound(u"recurso não encontrado");
    resHandle_ = LoadResource(module, resInfo_);
    if (!resHandle_) throw EResNotFound(u"recurso não carregou");
    memory_ = LockResource(resHandle_);
    if (!memory_) {
        FreeResource(resHandle_);
        throw EResNotFound(u"recurso não carregou");
    }
    size_ = SizeofResource(module, resInfo_);
}

TResourceStream::~TResourceStream() {
    FreeResource(resHandle_);
}

int64_t TResourceStream::Write(const void*, int64_t) {
    throw EStreamError(u"recurso é só de leitura");
}

} // namespace System
