#include "KS.Sys.Files.h"

#include <windows.h>
#include <winver.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Encoding.h"
#include "System.Remainder.Os.h"

using System::FromWStr;
using System::TLazyProc;
using System::WStr;

namespace KS {

namespace {

// No single ReadFile or WriteFile moves more than this.
constexpr int64_t kIoPiece = 0x1000000;

HANDLE AsHandle(int64_t value) { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(value)); }
int64_t HandleValue(HANDLE handle) { return static_cast<int64_t>(reinterpret_cast<intptr_t>(handle)); }

void StoreLastError() { SetLastOsError(GetLastError()); }

bool IsGoneError(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

// Clears a read-only attribute and deletes the file. 0 when the file is
// deleted or already gone, else the system's code.
DWORD DeleteFileNow(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(WStr(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (IsGoneError(GetLastError())) return 0;
    } else if (attributes & FILE_ATTRIBUTE_READONLY) {
        SetFileAttributesW(WStr(path), FILE_ATTRIBUTE_NORMAL);
    }
    if (DeleteFileW(WStr(path))) return 0;
    const DWORD error = GetLastError();
    return IsGoneError(error) ? 0 : error;
}

// The text a system call leaves in a buffer of `size` characters; empty when
// the call's result is not between 1 and that size.
template <class Call>
std::u16string CallForText(DWORD size, Call call) {
    std::vector<wchar_t> buffer(size_t(size) + 1, L'\0');
    const DWORD result = call(buffer.data(), size);
    if (result < 1 || result > size) return {};
    return FromWStr(buffer.data());
}

} // namespace

// ---- File objects -------------------------------------------------------------

TOwnedHandle::~TOwnedHandle() { Close(); }

void TOwnedHandle::Close() {
    if (Handle == -1) return;
    CloseHandle(AsHandle(Handle));
    Handle = -1;
}

bool TInFile::Open(const std::u16string& path) {
    Close();
    const HANDLE file = CreateFileW(WStr(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        StoreLastError();
        return false;
    }
    Handle = HandleValue(file);
    Size = 0;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size)) {
        StoreLastError();
        Close();
        return false;
    }
    Size = size.QuadPart;
    return true;
}

bool TInFile::ReadAt(uint64_t offset, void* buffer, int64_t count) {
    if (Handle == -1) return false;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(AsHandle(Handle), at, nullptr, FILE_BEGIN)) {
        StoreLastError();
        return false;
    }
    auto* next = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        DWORD got = 0;
        if (!ReadFile(AsHandle(Handle), next, DWORD(std::min(count, kIoPiece)), &got, nullptr)) {
            StoreLastError();
            return false;
        }
        if (got == 0) {
            SetLastOsError(ERROR_HANDLE_EOF);
            return false;
        }
        next += got;
        count -= got;
    }
    return true;
}

bool TOutFile::Open(const std::u16string& path, TOpenDisposition disposition) {
    Close();
    Position = 0;
    const HANDLE file = CreateFileW(WStr(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    DWORD(disposition), FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        StoreLastError();
        return false;
    }
    Handle = HandleValue(file);
    return true;
}

bool TOutFile::Write(const void* data, int64_t count) {
    if (count <= 0) return true;
    if (Handle == -1) return false;
    auto* next = static_cast<const uint8_t*>(data);
    for (int64_t left = count; left > 0;) {
        const DWORD piece = DWORD(std::min(left, kIoPiece));
        DWORD written = 0;
        if (!WriteFile(AsHandle(Handle), next, piece, &written, nullptr)) {
            StoreLastError();
            return false;
        }
        // A short write succeeds without a code of its own: name it, or the
        // caller would report a failure with code 0.
        if (written < piece) {
            SetLastOsError(ERROR_HANDLE_DISK_FULL);
            return false;
        }
        next += written;
        left -= written;
    }
    Position += count;
    return true;
}

bool TOutFile::WriteText(const std::u16string& text) {
    const TBytes bytes = StringToUtf8Bytes(text);
    return Write(bytes.data(), int64_t(bytes.size()));
}

// ---- Whole files --------------------------------------------------------------

int64_t GetFileSizeByPath(const std::u16string& path) {
    TInFile file;
    return file.Open(path) ? file.Size : -1;
}

bool ReadFileBytes(const std::u16string& path, TBytes& bytes) {
    bytes.clear();
    TInFile file;
    if (!file.Open(path)) return false;
    bytes.resize(size_t(file.Size));
    return file.ReadAt(0, bytes.data(), file.Size);
}

bool WriteFileBytes(const std::u16string& path, const void* data, int64_t count) {
    TOutFile file;
    return file.Open(path) && file.Write(data, count);
}

bool WriteEmptyFile(const std::u16string& path) { return WriteFileBytes(path, nullptr, 0); }

std::u16string DecodeTextBytes(const TBytes& bytes) {
    const size_t n = bytes.size();
    if (n >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        std::u16string text((n - 2) / 2, u'\0');
        for (size_t i = 0; i < text.size(); ++i)
            text[i] = char16_t(bytes[2 + 2 * i] | (bytes[3 + 2 * i] << 8));
        return text;
    }
    if (n >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return DecodeUtf8(bytes.data() + 3, ptrdiff_t(n - 3));
    return DecodeUtf8(bytes.data(), ptrdiff_t(n));
}

bool ReadTextFile(const std::u16string& path, std::u16string& text) {
    text.clear();
    TBytes bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    text = DecodeTextBytes(bytes);
    return true;
}

uint64_t GetFileWriteTime(const std::u16string& path) {
    TOwnedHandle file;
    const HANDLE handle = CreateFileW(WStr(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return 0;
    file.Handle = HandleValue(handle);
    FILETIME written;
    if (!GetFileTime(handle, nullptr, nullptr, &written)) return 0;
    return (uint64_t(written.dwHighDateTime) << 32) | written.dwLowDateTime;
}

// ---- Versions -----------------------------------------------------------------

uint64_t GetFileVersion(const std::u16string& path) {
    static TLazyProc<decltype(&::GetFileVersionInfoSizeW)> pGetFileVersionInfoSizeW(u"version.dll", "GetFileVersionInfoSizeW");
    static TLazyProc<decltype(&::GetFileVersionInfoW)> pGetFileVersionInfoW(u"version.dll", "GetFileVersionInfoW");
    static TLazyProc<decltype(&::VerQueryValueW)> pVerQueryValueW(u"version.dll", "VerQueryValueW");

    DWORD ignored = 0;
    const DWORD size = pGetFileVersionInfoSizeW()(WStr(path), &ignored);
    if (size == 0) return 0;
    TBytes info(size);
    if (!pGetFileVersionInfoW()(WStr(path), 0, size, info.data())) return 0;
    void* block = nullptr;
    UINT length = 0;
    if (!pVerQueryValueW()(info.data(), L"\\", &block, &length) || !block || length < sizeof(VS_FIXEDFILEINFO))
        return 0;
    VS_FIXEDFILEINFO fixed;
    std::memcpy(&fixed, block, sizeof fixed);
    if (fixed.dwSignature != 0xFEEF04BD) return 0;
    return (uint64_t(fixed.dwProductVersionMS) << 32) | fixed.dwProductVersionLS;
}

uint64_t ParseVersion(const std::u16string& text) {
    const TStringArray parts = SplitByChar(TrimText(text), u'.');
    uint64_t version = 0;
    for (size_t i = 0; i < 4; ++i) {
        int64_t part = 0;
        if (i >= parts.size() || !TryParseInt64(parts[i], part)) part = 0;
        version = (version << 16) | (uint64_t(part) & 0xFFFF);
    }
    return version;
}

// ---- Folders ------------------------------------------------------------------

bool IsExistingFolder(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(WStr(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsExistingFile(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(WStr(path));
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::u16string StagedPath(const std::u16string& target) {
    return target + u".ksetup.tmp";
}

bool DeleteFileEvenReadOnly(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(WStr(path));
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        StoreLastError();
        return false;
    }
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(WStr(path), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(WStr(path))) return true;
    StoreLastError();
    return false;
}

bool CreateDirPath(const std::u16string& path) {
    const std::u16string folder = StripTrailingBackslashes(NormalizeSlashes(path));
    if (folder.empty()) return false;
    if (IsExistingFolder(folder)) return true;
    const std::u16string parent = DirOfPath(folder);
    if (!parent.empty() && parent != folder && !IsExistingFolder(parent) && !CreateDirPath(parent)) return false;
    if (!CreateDirectoryW(WStr(folder), nullptr)) {
        StoreLastError();
        // Made meanwhile by someone else counts; a file of that name does not.
        return IsExistingFolder(folder);
    }
    return true;
}

void DeleteFolderTree(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(WStr(path));
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    // A junction or directory link is removed as a link: entering it would
    // let an elevated uninstall delete whatever it points to.
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        std::vector<FolderEntry> entries;
        ListFolder(path, u"*", true, entries);
        for (const FolderEntry& entry : entries) {
            if (entry.IsFolder) {
                DeleteFolderTree(entry.Path);
            } else if (const DWORD error = DeleteFileNow(entry.Path)) {
                SetLastOsError(error);
            }
        }
    }
    if (!RemoveDirectoryW(WStr(path))) StoreLastError();
}

void ListFolder(const std::u16string& folder, const std::u16string& mask, bool includeFolders,
                std::vector<FolderEntry>& entries) {
    const std::u16string prefix = AddTrailingBackslash(folder);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(WStr(prefix + u"*"), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    const std::unique_ptr<void, decltype(&FindClose)> closer(search, &FindClose);
    do {
        const std::u16string name = FromWStr(found.cFileName);
        if (name == u"." || name == u"..") continue;
        const bool isFolder = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
        if ((isFolder && !includeFolders) || !WildcardMatch(name, mask)) continue;
        const uint64_t size = isFolder ? 0 : (uint64_t(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
        entries.push_back(FolderEntry{prefix + name, isFolder, size});
    } while (FindNextFileW(search, &found));
}

bool DeleteFileWithRetry(const std::u16string& path, bool& restartNeeded) {
    for (int attempt = 1;; ++attempt) {
        const DWORD error = DeleteFileNow(path);
        if (error == 0) return true;
        SetLastOsError(error);
        if (attempt == 3) break;
        Sleep(300);
    }
    if (!MoveFileExW(WStr(path), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) {
        StoreLastError();
        return false;
    }
    restartNeeded = true;
    return true;
}

int64_t GetFreeDiskSpace(const std::u16string& path) {
    std::u16string folder = path;
    while (folder.size() >= 4 && !IsExistingFolder(folder)) folder = DirOfPath(folder);
    ULARGE_INTEGER freeBytes;
    if (!GetDiskFreeSpaceExW(WStr(folder), &freeBytes, nullptr, nullptr)) return -1;
    return int64_t(freeBytes.QuadPart);
}

// ---- System folders and environment -------------------------------------------

std::u16string GetTempFolder() {
    const std::u16string folder = CallForText(1024, [](wchar_t* b, DWORD n) { return GetTempPathW(n, b); });
    return folder.empty() ? u"C:\\Windows\\Temp" : StripTrailingBackslashes(folder);
}

std::u16string GetSystemFolder() {
    const std::u16string folder = CallForText(1024, [](wchar_t* b, DWORD n) { return GetSystemDirectoryW(b, n); });
    return folder.empty() ? u"C:\\Windows\\System32" : folder;
}

std::u16string GetWindowsFolder() {
    const std::u16string folder = CallForText(1024, [](wchar_t* b, DWORD n) { return GetWindowsDirectoryW(b, n); });
    return folder.empty() ? u"C:\\Windows" : folder;
}

std::u16string GetLocalAppDataDir() {
    return CallForText(32768, [](wchar_t* b, DWORD n) { return GetEnvironmentVariableW(L"LOCALAPPDATA", b, n); });
}

std::u16string ExpandEnvText(const std::u16string& text) {
    const std::u16string expanded =
        CallForText(32768, [&](wchar_t* b, DWORD n) { return ExpandEnvironmentStringsW(WStr(text), b, n); });
    return expanded.empty() ? text : expanded;
}

std::u16string GetOwnExePath() {
    return CallForText(32768, [](wchar_t* b, DWORD n) { return GetModuleFileNameW(nullptr, b, n); });
}

std::u16string CurrentFolder() {
    return CallForText(32768, [](wchar_t* b, DWORD n) { return GetCurrentDirectoryW(n, b); });
}

} // namespace KS
