// The installer's file, folder and system-path services. None of them
// raises on a failed system call: they return false, -1, 0 or an empty text
// and leave the system's code in LastOsError (KS.Sys.Errors.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "System.Remainder.Object.h"
#include "System.Remainder.Text.h"

namespace KS {

using System::TBytes;

// A system handle owned by its object: closed on Close and on destruction.
class TOwnedHandle : public System::TObject {
public:
    ~TOwnedHandle() override;
    void Close();

    // The system handle's value; -1 while closed.
    int64_t Handle = -1;
};

// A file open for reading; others may read and write it meanwhile.
class TInFile : public TOwnedHandle {
public:
    bool Open(const std::u16string& path);
    // Reads exactly count bytes at the offset; a file that ends first
    // gives false with ERROR_HANDLE_EOF.
    bool ReadAt(uint64_t offset, void* buffer, int64_t count);

    // The size in bytes when the file was opened.
    int64_t Size = 0;
};

enum class TOpenDisposition : uint32_t {
    CreateAlways = 2,  // created, or truncated to 0 bytes
    OpenAlways = 4,    // created, or opened as it is
};

// A file open for writing; others may read it meanwhile.
class TOutFile : public TOwnedHandle {
public:
    bool Open(const std::u16string& path,
              TOpenDisposition disposition = TOpenDisposition::CreateAlways);
    // All count bytes or false; Position moves only when all were written.
    bool Write(const void* data, int64_t count);
    // The text's UTF-8 bytes, without byte-order mark or line end.
    bool WriteText(const std::u16string& text);

    // Where the next write lands, as this object counts it.
    int64_t Position = 0;
};

// -1 when the file cannot be opened.
int64_t GetFileSizeByPath(const std::u16string& path);
bool ReadFileBytes(const std::u16string& path, TBytes& bytes);
// Creates or truncates the file; a failure may leave it partly written.
bool WriteFileBytes(const std::u16string& path, const void* data, int64_t count);
bool WriteEmptyFile(const std::u16string& path);
// UTF-16LE after FF FE, UTF-8 after EF BB BF, UTF-8 otherwise.
std::u16string DecodeTextBytes(const TBytes& bytes);
// The file's bytes through DecodeTextBytes.
bool ReadTextFile(const std::u16string& path, std::u16string& text);
// The last-write FILETIME as one number (folders too); 0 when unknown.
uint64_t GetFileWriteTime(const std::u16string& path);

// Version numbers hold four 16-bit parts, the first in the highest bits.
// The product version of the file's version resource; 0 when it has none.
uint64_t GetFileVersion(const std::u16string& path);
// "1.2.3.4"; a part that is missing or no number counts as 0.
uint64_t ParseVersion(const std::u16string& text);

bool IsExistingFolder(const std::u16string& path);
// An existing file, not a folder.
bool IsExistingFile(const std::u16string& path);
// Creates the folder and every missing folder above it.
bool CreateDirPath(const std::u16string& path);
// Deletes the folder with everything in it, as far as it can. A junction or
// symbolic link met on the way is removed itself: what it points to is
// never entered, so nothing outside the folder is touched.
void DeleteFolderTree(const std::u16string& path);

struct FolderEntry {
    std::u16string Path;  // the folder, a backslash and the entry's name
    bool IsFolder = false;
    uint64_t Size = 0;    // 0 for a folder
};
// Appends the folder's own entries whose names match the mask (WildcardMatch);
// sub-folders only when includeFolders is set.
void ListFolder(const std::u16string& folder, const std::u16string& mask, bool includeFolders,
                std::vector<FolderEntry>& entries);

// The temporary file beside a target that its new content is written to
// before it replaces the target, now or at the next restart: the target's
// path + ".ksetup.tmp". Deleting it cancels a replacement left for the
// restart.
std::u16string StagedPath(const std::u16string& target);

// Deletes the file at once, clearing its read-only attribute first.
bool DeleteFileEvenReadOnly(const std::u16string& path);

// Three tries 300 ms apart, then deletion at the next restart (which sets
// restartNeeded). Only "file not found" and "path not found" count as
// already gone.
bool DeleteFileWithRetry(const std::u16string& path, bool& restartNeeded);

// Bytes free for this user on the volume of the path's nearest existing
// folder; -1 when that cannot be measured.
int64_t GetFreeDiskSpace(const std::u16string& path);

// Without a trailing backslash; "C:\Windows\Temp" when the system has none.
std::u16string GetTempFolder();
std::u16string GetSystemFolder();
std::u16string GetWindowsFolder();
// Empty when LOCALAPPDATA is not set.
std::u16string GetLocalAppDataDir();
// The text with its %NAME% variables expanded; unchanged on failure.
std::u16string ExpandEnvText(const std::u16string& text);
std::u16string GetOwnExePath();
// The process's current folder; empty when the system cannot tell it.
std::u16string CurrentFolder();

} // namespace KS
