// Byte streams with 64-bit sizes and positions: over a Windows handle, a
// named file, a memory block and a module resource. The header needs no
// Windows header, so platform-neutral units may take TStream from it.
#pragma once

#include <cstdint>
#include <string>

#include "System.Remainder.Object.h"

struct HINSTANCE__;
struct HRSRC__;

namespace System {

// Seek origins (the values of FILE_BEGIN, FILE_CURRENT and FILE_END).
enum TSeekOrigin : int32_t { soBeginning = 0, soCurrent = 1, soEnd = 2 };

class TStream : public TObject {
public:
    // By seeking to the end and back; the position stays where it was.
    virtual int64_t GetSize();
    // Does nothing here.
    virtual void SetSize(int64_t size);
    [[noreturn]] virtual void RaiseReadError();
    [[noreturn]] virtual void RaiseWriteError();
    // The bytes moved, which may be fewer than asked for.
    virtual int64_t Read(void* buffer, int64_t count);
    virtual int64_t Write(const void* buffer, int64_t count);
    // Returns the new position.
    virtual int64_t Seek(int64_t offset, int32_t origin);

    // Read or Write until the whole count has moved. A first call may move
    // nothing and is tried again; a negative first result, or a later one of
    // 0 or less, raises RaiseReadError or RaiseWriteError.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
};

// A stream over a Windows handle that it does not own.
class THandleStream : public TStream {
public:
    explicit THandleStream(void* handle) : handle_(handle) {}

    int64_t GetSize() override;
    // Leaves the position at the new size.
    void SetSize(int64_t size) override;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int32_t origin) override;

    void* Handle() const { return handle_; }

protected:
    void* handle_;
};

// File mode words of TFileStream. 0xFF00 and above create the file (bit 2:
// only when it does not exist yet); otherwise bits 0-1 give the access of an
// existing file. Bits 4-7 give what others may do meanwhile.
constexpr uint16_t fmCreate = 0xFF00;
constexpr uint16_t fmCreateNew = 0x0004;
constexpr uint16_t fmOpenRead = 0x0000;
constexpr uint16_t fmOpenWrite = 0x0001;
constexpr uint16_t fmOpenReadWrite = 0x0002;
constexpr uint16_t fmShareExclusive = 0x0010;
constexpr uint16_t fmShareDenyWrite = 0x0020;
constexpr uint16_t fmShareDenyRead = 0x0030;
constexpr uint16_t fmShareDenyNone = 0x0040;

// A named disk file, opened or created as the mode word says and closed by
// the destructor. Raises EFOpenError or EFCreateError; an invalid mode word
// leaves ERROR_INVALID_PARAMETER as the thread's last error, a failed open
// the system's own.
class TFileStream : public THandleStream {
public:
    TFileStream(const std::u16string& fileName, uint16_t mode);
    ~TFileStream() override;

    const std::u16string& FileName() const { return fileName_; }

private:
    std::u16string fileName_;
};

// A read-only view of a memory block that it does not own. Positions before
// 0 or past the end are kept; Read then moves nothing.
class TCustomMemoryStream : public TStream {
public:
    TCustomMemoryStream() = default;
    TCustomMemoryStream(const void* memory, int64_t size) : memory_(memory), size_(size) {}

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, int32_t origin) override;
    // Writes the whole block to the target; EWriteError when it takes less.
    void SaveToStream(TStream& target);

    const void* Memory() const { return memory_; }
    int64_t Size() const { return size_; }
    int64_t Position() const { return position_; }

protected:
    const void* memory_ = nullptr;
    int64_t size_ = 0;
    int64_t position_ = 0;
};

// A resource name or type given by number, as MAKEINTRESOURCE makes it.
inline const char16_t* ResourceId(uint16_t id) {
    return reinterpret_cast<const char16_t*>(uintptr_t(id));
}
constexpr uint16_t kResourceTypeRcData = 10;

// A module's resource seen as a read-only memory stream. Raises EResNotFound.
class TResourceStream : public TCustomMemoryStream {
public:
    TResourceStream(HINSTANCE__* module, const char16_t* name, const char16_t* type);
    ~TResourceStream() override;

    // Raises EStreamError: a resource is read-only.
    int64_t Write(const void* buffer, int64_t count) override;

private:
    HRSRC__* resInfo_ = nullptr;
    void* resHandle_ = nullptr;
};

} // namespace System
