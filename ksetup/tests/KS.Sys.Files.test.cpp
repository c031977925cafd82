#include <gtest/gtest.h>

#include <windows.h>
#include <winioctl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Encoding.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;
using KsTest::TScratchTest;
using System::WStr;

namespace {

TBytes Bytes(std::initializer_list<int> values) {
    TBytes bytes;
    for (int v : values) bytes.push_back(uint8_t(v));
    return bytes;
}

void WriteBytes(const std::u16string& path, const TBytes& bytes) {
    ASSERT_TRUE(WriteFileBytes(path, bytes.data(), int64_t(bytes.size())));
}

bool Exists(const std::u16string& path) { return GetFileAttributesW(WStr(path)) != INVALID_FILE_ATTRIBUTES; }

std::u16string PendingRenames() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return {};
    std::u16string value(32768, u'\0');
    DWORD size = DWORD(value.size() * 2);
    if (RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, nullptr,
                         reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
        size = 0;
    RegCloseKey(key);
    value.resize(size / 2);
    return value;
}

// Whether the restart list deletes the path (its pair's target is empty),
// and takes that pair out again: the list belongs to the shared prefix.
bool TakePendingDeletion(const std::u16string& path) {
    const std::u16string value = PendingRenames();
    const std::u16string pair = u"\\??\\" + path + std::u16string(2, u'\0');
    const size_t at = value.find(pair);
    if (at == std::u16string::npos || (at > 0 && value[at - 1] != u'\0')) return false;
    const std::u16string rest = value.substr(0, at) + value.substr(at + pair.size());
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
        RegSetValueExW(key, L"PendingFileRenameOperations", 0, REG_MULTI_SZ,
                       reinterpret_cast<const BYTE*>(rest.data()), DWORD(rest.size() * 2));
        RegCloseKey(key);
    }
    return true;
}

// Runs a host program (Wine starts those too) on the host names of paths.
// Wine does not wait for a host program: callers poll for its effect.
void RunOnHost(const std::string& program, std::initializer_list<std::u16string> paths) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName) return;
    std::string command = program;
    for (const std::u16string& path : paths) {
        char* name = unixName(WStr(path));
        if (!name) return;
        command += std::string(" \"") + name + "\"";
        HeapFree(GetProcessHeap(), 0, name);
    }
    uint32_t exitCode = 0;
    RunProcess(std::u16string(command.begin(), command.end()), u"", SW_HIDE, true, exitCode);
}

bool IsDirectoryLink(const std::u16string& path) {
    const DWORD attributes = GetFileAttributesW(WStr(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool LinkBecomes(const std::u16string& link, bool present) {
    for (int i = 0; i < 200 && IsDirectoryLink(link) != present; ++i) Sleep(25);
    return IsDirectoryLink(link) == present;
}

// Wine cannot remove a host link through the system; its host rm can.
void RemoveDirectoryLink(const std::u16string& link) {
    if (RemoveDirectoryW(WStr(link)) || !IsDirectoryLink(link)) return;
    RunOnHost("Z:\\bin\\rm", {link});
    LinkBecomes(link, false);
}

// A directory link at `link` to `target`: a junction where the system makes
// one; Wine 8 cannot, but shows a host symbolic link as a directory reparse
// point, so there the host's ln makes it.
bool MakeDirectoryLink(const std::u16string& link, const std::u16string& target) {
    RemoveDirectoryLink(link);  // left by an interrupted run
    if (!CreateDirectoryW(WStr(link), nullptr)) return false;
    const HANDLE dir = CreateFileW(WStr(link), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                   FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const std::u16string substitute = u"\\??\\" + target;
    const size_t nameBytes = substitute.size() * 2;
    std::vector<uint8_t> data(8 + 8 + nameBytes + 4, 0);
    const uint32_t tag = IO_REPARSE_TAG_MOUNT_POINT;
    const uint16_t header[6] = {uint16_t(data.size() - 8), 0, 0, uint16_t(nameBytes), uint16_t(nameBytes + 2), 0};
    std::memcpy(data.data(), &tag, 4);
    std::memcpy(data.data() + 4, header, sizeof header);
    std::memcpy(data.data() + 16, substitute.data(), nameBytes);
    DWORD returned = 0;
    const bool junction =
        DeviceIoControl(dir, FSCTL_SET_REPARSE_POINT, data.data(), DWORD(data.size()), nullptr, 0, &returned, nullptr);
    CloseHandle(dir);
    if (junction) return IsDirectoryLink(link);
    RemoveDirectoryW(WStr(link));
    RunOnHost("Z:\\bin\\ln -s", {target, link});
    return LinkBecomes(link, true);
}

} // namespace

// ---- The error convention ------------------------------------------------------

TEST(LastOsError, IsKeptPerThreadAndNeverClearedBySuccess) {
    SetLastOsError(1111);
    uint32_t seenByWorker = 1;
    std::thread worker([&] {
        seenByWorker = LastOsError();
        SetLastOsError(2222);
    });
    worker.join();
    EXPECT_EQ(seenByWorker, 0u);
    EXPECT_EQ(LastOsError(), 1111u);

    EXPECT_FALSE(GetTempFolder().empty());
    EXPECT_TRUE(IsExistingFolder(GetTempFolder()));
    EXPECT_NE(GetFileSizeByPath(GetOwnExePath()), -1);
    EXPECT_EQ(LastOsError(), 1111u);
}

TEST(OsErrorText, SystemTextThenTheUnsignedCode) {
    EXPECT_EQ(OsErrorText(5), TrimText(System::SystemErrorMessage(5)) + u" (5)");
    EXPECT_EQ(OsErrorText(0xDEADBEEF), u" (3735928559)");
    const std::u16string hresult = OsErrorText(0x80004005);
    EXPECT_TRUE(hresult.ends_with(u" (2147500037)")) << KsTest::Narrow(hresult);
}

// ---- Whole files and the two file classes --------------------------------------

using FileRead = TScratchTest;

TEST_F(FileRead, TextFollowsTheByteOrderMark) {
    const struct {
        TBytes bytes;
        std::u16string text;
    } cases[] = {
        {{}, u""},
        {Bytes({0xEF, 0xBB, 0xBF}), u""},
        {Bytes({0xFF, 0xFE}), u""},
        {Bytes({0xFF, 0xFE, 'A', 0, 0xE7, 0, 'B'}), u"A\u00E7"},  // last odd byte dropped
        {Bytes({0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}), u"\U0001F600"},
        {Bytes({0xEF, 0xBB, 0xBF, 'h', 0xC3, 0xA1}), u"h\u00E1"},
        {Bytes({'a', 0xC3, 0xA7, 0xC3, 0xA3, 'o'}), u"a\u00E7\u00E3o"},
        // Too short for a mark, or no mark: UTF-8, malformed bytes dropped.
        {Bytes({0xEF, 0xBB}), u""},
        {Bytes({0xFF}), u""},
        {Bytes({0xFE, 0xFF, 0, 'A'}), std::u16string(u"\0A", 2)},
        {Bytes({0xEF, 0xBB, 0xBF, 0xC0, 0xAE, 'x'}), u"x"},
    };
    int n = 0;
    for (const auto& c : cases) {
        const std::u16string path = Path(u"case" + System::Int64ToStr(n++) + u".txt");
        WriteBytes(path, c.bytes);
        std::u16string text = u"stale";
        EXPECT_TRUE(ReadTextFile(path, text)) << n;
        EXPECT_EQ(text, c.text) << n;
    }
}

TEST_F(FileRead, MissingFileFailsWithFileNotFound) {
    TBytes bytes = Bytes({1, 2});
    std::u16string text = u"stale";
    SetLastOsError(0);
    EXPECT_FALSE(ReadFileBytes(Path(u"missing.bin"), bytes));
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(ReadTextFile(Path(u"missing.txt"), text));
    EXPECT_TRUE(text.empty());
    SetLastOsError(0);
    EXPECT_EQ(GetFileSizeByPath(Path(u"no\\such\\folder.bin")), -1);
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileRead, BytesRoundTripAcrossSeveralPieces) {
    // Two full 16 MiB pieces and a few bytes more, each byte telling its offset.
    TBytes written(2 * 0x1000000 + 3);
    for (size_t i = 0; i < written.size(); ++i) written[i] = uint8_t(i * 7 + (i >> 24));
    const std::u16string path = Path(u"big.bin");
    ASSERT_TRUE(WriteFileBytes(path, written.data(), int64_t(written.size())));
    EXPECT_EQ(GetFileSizeByPath(path), int64_t(written.size()));
    TBytes read;
    ASSERT_TRUE(ReadFileBytes(path, read));
    EXPECT_TRUE(read == written);

    TInFile file;
    ASSERT_TRUE(file.Open(path));
    uint8_t tail[3] = {};
    EXPECT_TRUE(file.ReadAt(0x2000000, tail, 3));
    EXPECT_EQ(0, std::memcmp(tail, written.data() + 0x2000000, 3));
}

TEST_F(FileRead, ReadingPastTheEndFailsWithHandleEof) {
    const std::u16string path = Path(u"short.bin");
    WriteBytes(path, Bytes({1, 2, 3}));
    TInFile file;
    ASSERT_TRUE(file.Open(path));
    EXPECT_EQ(file.Size, 3);
    uint8_t buffer[4];
    SetLastOsError(0);
    EXPECT_FALSE(file.ReadAt(1, buffer, 3));
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_HANDLE_EOF));
    EXPECT_TRUE(file.ReadAt(3, buffer, 0));

    file.Close();
    EXPECT_EQ(file.Handle, -1);
    SetLastOsError(77);
    EXPECT_FALSE(file.ReadAt(0, buffer, 1));
    EXPECT_EQ(LastOsError(), 77u);
    EXPECT_FALSE(file.Open(Path(u"missing.bin")));
    EXPECT_EQ(file.Handle, -1);
}

using FileWrite = TScratchTest;

TEST_F(FileWrite, ZeroBytesTruncateAnExistingFile) {
    const std::u16string path = Path(u"full.bin");
    WriteBytes(path, Bytes({1, 2, 3}));
    EXPECT_TRUE(WriteFileBytes(path, nullptr, 0));
    EXPECT_EQ(GetFileSizeByPath(path), 0);
    TBytes bytes = Bytes({9});
    EXPECT_TRUE(ReadFileBytes(path, bytes));
    EXPECT_TRUE(bytes.empty());

    WriteBytes(path, Bytes({1, 2, 3}));
    EXPECT_TRUE(WriteEmptyFile(path));
    EXPECT_EQ(GetFileSizeByPath(path), 0);

    SetLastOsError(0);
    EXPECT_FALSE(WriteEmptyFile(Path(u"no-folder\\x.bin")));
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileWrite, TextIsUtf8WithoutMarkAndPositionCountsBytes) {
    const std::u16string path = Path(u"log.txt");
    TOutFile out;
    EXPECT_TRUE(out.WriteText(u""));  // nothing to write needs no file
    SetLastOsError(55);
    EXPECT_FALSE(out.WriteText(u"x"));
    EXPECT_EQ(LastOsError(), 55u);

    ASSERT_TRUE(out.Open(path));
    EXPECT_EQ(out.Position, 0);
    EXPECT_TRUE(out.WriteText(u"a\u00E7\u00E3o\r\n"));
    EXPECT_EQ(out.Position, 8);

    // Others may read the file while it is being written.
    TBytes bytes;
    EXPECT_TRUE(ReadFileBytes(path, bytes));
    EXPECT_EQ(bytes, Bytes({'a', 0xC3, 0xA7, 0xC3, 0xA3, 'o', '\r', '\n'}));
    out.Close();

    // Reopening always-open keeps the content; create-always truncates it.
    ASSERT_TRUE(out.Open(path, TOpenDisposition::OpenAlways));
    EXPECT_EQ(out.Position, 0);
    out.Close();
    EXPECT_EQ(GetFileSizeByPath(path), 8);
    ASSERT_TRUE(out.Open(path, TOpenDisposition::CreateAlways));
    out.Close();
    EXPECT_EQ(GetFileSizeByPath(path), 0);
}

TEST(FileWriteShort, ShortWriteReportsDiskFull) {
    // A non-blocking pipe whose buffer fills takes part of a write and
    // reports success with no code of its own.
    const std::u16string name = u"\\\\.\\pipe\\ks-FileWriteShort-" + System::Int64ToStr(GetCurrentProcessId());
    const HANDLE server = CreateNamedPipeW(WStr(name), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096,
                                           4096, 0, nullptr);
    ASSERT_NE(server, INVALID_HANDLE_VALUE);
    TOutFile out;
    ASSERT_TRUE(out.Open(name));
    DWORD mode = PIPE_NOWAIT;
    ASSERT_TRUE(SetNamedPipeHandleState(reinterpret_cast<HANDLE>(out.Handle), &mode, nullptr, nullptr));
    SetLastOsError(0);
    EXPECT_FALSE(out.WriteText(std::u16string(1 << 20, u'x')));
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_HANDLE_DISK_FULL));
    EXPECT_EQ(out.Position, 0);
    out.Close();
    CloseHandle(server);
}

using FileTimes = TScratchTest;

TEST_F(FileTimes, WriteTimeOfFilesAndFolders) {
    const std::u16string path = Path(u"stamped.bin");
    WriteBytes(path, Bytes({1}));
    const uint64_t stamp = 0x01D9A1B2C3D4E5F0ull;
    {
        const HANDLE file = CreateFileW(WStr(path), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        const FILETIME time{DWORD(stamp), DWORD(stamp >> 32)};
        ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &time));
        CloseHandle(file);
    }
    EXPECT_EQ(GetFileWriteTime(path), stamp);
    EXPECT_NE(GetFileWriteTime(Folder), 0u);
    SetLastOsError(66);
    EXPECT_EQ(GetFileWriteTime(Path(u"missing")), 0u);
    EXPECT_EQ(LastOsError(), 66u);
}

// ---- Versions -------------------------------------------------------------------

TEST(FileVersion, ProductVersionOfTheResource) {
    EXPECT_EQ(GetFileVersion(KsTest::ChildExePath()), 0x0005000600070008ull);
    SetLastOsError(44);
    EXPECT_EQ(GetFileVersion(GetOwnExePath()), 0u);  // no version resource
    EXPECT_EQ(GetFileVersion(u"C:\\ks-no-such-file.exe"), 0u);
    EXPECT_EQ(LastOsError(), 44u);
}

TEST(ParseVersion, FourSixteenBitParts) {
    const struct {
        const char16_t* text;
        uint64_t version;
    } cases[] = {
        {u"", 0},
        {u"1.2.3.4", 0x0001000200030004ull},
        {u" 1.2 ", 0x0001000200000000ull},
        {u"2.x.5", 0x0002000000050000ull},
        {u"1.70000", 0x0001000000000000ull | (uint64_t(70000 & 0xFFFF) << 32)},
        {u"1.2.3.4.5", 0x0001000200030004ull},
        {u"$10.0x20.-1.7", 0x0010002000000007ull | 0xFFFFull << 16},
        {u"3.1a.2", 0x0003000000020000ull},
        {u"65535.65535.65535.65535", 0xFFFFFFFFFFFFFFFFull},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseVersion(c.text), c.version) << KsTest::Narrow(c.text);
}

// ---- Folders --------------------------------------------------------------------

using Folders = TScratchTest;

TEST_F(Folders, CreateDirPathMakesEveryMissingLevel) {
    std::u16string slashed = Folder + u"/A/B/";
    EXPECT_TRUE(CreateDirPath(slashed));
    EXPECT_TRUE(IsExistingFolder(Path(u"A")));
    EXPECT_TRUE(IsExistingFolder(Path(u"A\\B")));
    EXPECT_TRUE(CreateDirPath(Path(u"A\\B")));  // already there
    EXPECT_FALSE(CreateDirPath(u""));

    WriteBytes(Path(u"file"), Bytes({1}));
    SetLastOsError(0);
    EXPECT_FALSE(CreateDirPath(Path(u"file\\sub")));
    EXPECT_NE(LastOsError(), 0u);
    EXPECT_FALSE(CreateDirPath(Path(u"file")));
}

TEST_F(Folders, ListFolderMatchesTheMaskWithoutDescending) {
    WriteBytes(Path(u"a.txt"), Bytes({1, 2, 3}));
    WriteBytes(Path(u"b.TXT"), Bytes({}));
    WriteBytes(Path(u"c.bin"), Bytes({1}));
    ASSERT_TRUE(CreateDirPath(Path(u"d.txt")));
    WriteBytes(Path(u"d.txt\\inner.txt"), Bytes({1}));

    auto sorted = [](std::vector<FolderEntry> entries) {
        std::sort(entries.begin(), entries.end(),
                  [](const FolderEntry& a, const FolderEntry& b) { return a.Path < b.Path; });
        return entries;
    };
    std::vector<FolderEntry> files;
    ListFolder(Folder, u"*.txt", false, files);
    files = sorted(files);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].Path, Path(u"a.txt"));
    EXPECT_FALSE(files[0].IsFolder);
    EXPECT_EQ(files[0].Size, 3u);
    EXPECT_EQ(files[1].Path, Path(u"b.TXT"));
    EXPECT_EQ(files[1].Size, 0u);

    // Appends to what the array holds; a trailing backslash gives no second one.
    std::vector<FolderEntry> all{FolderEntry{u"kept", false, 1}};
    ListFolder(Folder + u"\\", u"*.txt", true, all);
    all = sorted(all);
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[2].Path, Path(u"d.txt"));
    EXPECT_TRUE(all[2].IsFolder);
    EXPECT_EQ(all[2].Size, 0u);
    EXPECT_EQ(all[3].Path, u"kept");

    std::vector<FolderEntry> none;
    ListFolder(Path(u"missing"), u"*", true, none);
    EXPECT_TRUE(none.empty());
}

TEST_F(Folders, DeleteFolderTreeRemovesEveryLevel) {
    const std::u16string tree = Path(u"tree");
    ASSERT_TRUE(CreateDirPath(tree + u"\\one\\two\\three"));
    ASSERT_TRUE(CreateDirPath(tree + u"\\empty"));
    WriteBytes(tree + u"\\top.txt", Bytes({1}));
    WriteBytes(tree + u"\\one\\two\\three\\deep.bin", Bytes({2}));
    const std::u16string readOnly = tree + u"\\one\\locked.txt";
    WriteBytes(readOnly, Bytes({3}));
    ASSERT_TRUE(SetFileAttributesW(WStr(readOnly), FILE_ATTRIBUTE_READONLY));

    DeleteFolderTree(tree);
    EXPECT_FALSE(Exists(tree));

    // Neither a missing path nor a file is touched.
    WriteBytes(Path(u"plain.txt"), Bytes({1}));
    SetLastOsError(88);
    DeleteFolderTree(Path(u"plain.txt"));
    DeleteFolderTree(Path(u"missing"));
    EXPECT_TRUE(Exists(Path(u"plain.txt")));
    EXPECT_EQ(LastOsError(), 88u);
}

TEST_F(Folders, DeleteFolderTreeNeverEntersALink) {
    const std::u16string outside = Path(u"outside");
    ASSERT_TRUE(CreateDirPath(outside + u"\\deeper"));
    WriteBytes(outside + u"\\keep.txt", Bytes({1}));
    WriteBytes(outside + u"\\deeper\\keep too.txt", Bytes({2}));
    const std::u16string tree = Path(u"tree");
    ASSERT_TRUE(CreateDirPath(tree + u"\\sub"));
    WriteBytes(tree + u"\\sub\\own.txt", Bytes({3}));
    ASSERT_TRUE(MakeDirectoryLink(tree + u"\\sub\\link", outside));
    ASSERT_TRUE(Exists(tree + u"\\sub\\link\\keep.txt"));

    DeleteFolderTree(tree);
    EXPECT_TRUE(Exists(outside + u"\\keep.txt"));
    EXPECT_TRUE(Exists(outside + u"\\deeper\\keep too.txt"));
    EXPECT_FALSE(Exists(tree + u"\\sub\\own.txt"));

    // The link named as the folder itself: removed at most, never emptied.
    DeleteFolderTree(tree + u"\\sub\\link");
    EXPECT_TRUE(Exists(outside + u"\\keep.txt"));
    RemoveDirectoryLink(tree + u"\\sub\\link");
}

using DeleteWithRetry = TScratchTest;

TEST_F(DeleteWithRetry, MissingOrReadOnlyFilesGoAtOnce) {
    bool restart = false;
    EXPECT_TRUE(DeleteFileWithRetry(Path(u"missing.txt"), restart));
    EXPECT_TRUE(DeleteFileWithRetry(Path(u"missing\\folder\\x.txt"), restart));
    const std::u16string readOnly = Path(u"ro.txt");
    WriteBytes(readOnly, Bytes({1}));
    ASSERT_TRUE(SetFileAttributesW(WStr(readOnly), FILE_ATTRIBUTE_READONLY));
    EXPECT_TRUE(DeleteFileWithRetry(readOnly, restart));
    EXPECT_FALSE(Exists(readOnly));
    EXPECT_FALSE(restart);
}

TEST_F(DeleteWithRetry, FileHeldByAnotherProcessGoesAtTheNextRestart) {
    const std::u16string path = Path(u"held.txt");
    WriteBytes(path, Bytes({1, 2}));
    const std::u16string ready = u"ks-" + KsTest::TestName() + u"-ready";
    const std::u16string release = u"ks-" + KsTest::TestName() + u"-release";
    const HANDLE readyEvent = CreateEventW(nullptr, TRUE, FALSE, WStr(ready));
    const HANDLE releaseEvent = CreateEventW(nullptr, TRUE, FALSE, WStr(release));
    uint32_t exitCode = 0;
    ASSERT_TRUE(RunProcess(u"\"" + KsTest::ChildExePath() + u"\" hold \"" + path + u"\" " + ready + u" " + release,
                           u"", SW_HIDE, false, exitCode));
    ASSERT_EQ(WaitForSingleObject(readyEvent, 30000), WAIT_OBJECT_0);

    bool restart = false;
    SetLastOsError(0);
    EXPECT_TRUE(DeleteFileWithRetry(path, restart));
    EXPECT_TRUE(restart);
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_SHARING_VIOLATION));
    EXPECT_TRUE(Exists(path));
    EXPECT_TRUE(TakePendingDeletion(path));

    SetEvent(releaseEvent);
    CloseHandle(readyEvent);
    CloseHandle(releaseEvent);
    // The child lets go of the file as it ends.
    for (int i = 0; i < 200 && Exists(path); ++i) {
        DeleteFileW(WStr(path));
        Sleep(25);
    }
}

TEST_F(DeleteWithRetry, AnUnreadablePathIsNotTakenAsGone) {
    // Only "not found" means gone: an invalid name is a failure or goes to
    // the restart list, never a silent success.
    const std::u16string path = Path(u"bad<name>.txt");
    bool restart = false;
    SetLastOsError(0);
    const bool done = DeleteFileWithRetry(path, restart);
    EXPECT_TRUE(!done || restart);
    EXPECT_EQ(LastOsError(), uint32_t(ERROR_INVALID_NAME));
    TakePendingDeletion(path);
}

// ---- Free space and system folders ------------------------------------------------

using FreeSpace = TScratchTest;

TEST_F(FreeSpace, MeasuredAtTheNearestExistingFolder) {
    const int64_t here = GetFreeDiskSpace(Folder);
    ASSERT_GT(here, 0);
    const int64_t notYet = GetFreeDiskSpace(Folder + u"\\New\\Sub");
    // Other tests write meanwhile: the same volume within a margin.
    EXPECT_GT(notYet, 0);
    EXPECT_LT(std::abs(notYet - here), int64_t(256) << 20);
    EXPECT_EQ(GetFreeDiskSpace(u"Q:\\Programs\\New"), -1);
}

TEST(SystemFolders, AnswerWithExistingFolders) {
    const std::u16string temp = GetTempFolder();
    EXPECT_FALSE(temp.ends_with(u"\\"));
    EXPECT_TRUE(IsExistingFolder(temp));
    EXPECT_TRUE(IsExistingFolder(GetSystemFolder()));
    EXPECT_EQ(AsciiUpperCase(NameOfPath(GetSystemFolder())), u"SYSTEM32");
    EXPECT_TRUE(IsExistingFolder(GetWindowsFolder()));
    EXPECT_TRUE(IsExistingFolder(GetLocalAppDataDir()));
    EXPECT_EQ(ExpandEnvText(u"%WINDIR%\\x"), GetWindowsFolder() + u"\\x");
    EXPECT_EQ(ExpandEnvText(u"%KS_NO_SUCH_VARIABLE%"), u"%KS_NO_SUCH_VARIABLE%");
    EXPECT_TRUE(GetOwnExePath().ends_with(u"\\ksetup_sys_files_test.exe"));
}
