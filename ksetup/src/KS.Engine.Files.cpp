// [Files] from the embedded package and the [Texts] blobs beside them. A
// target is never written in place: the data goes to a temporary file that
// then replaces the target, now or at the next restart.
#include "KS.Engine.h"

#include <windows.h>

#include "KS.Package.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace KS {

namespace {

std::u16string WriteError(const std::u16string& target, uint32_t code) {
    return u"não consegui gravar \"" + target + u"\": " + OsErrorText(code);
}

bool SetWriteTime(const TOutFile& file, uint64_t stamp) {
    FILETIME time;
    time.dwLowDateTime = static_cast<DWORD>(stamp);
    time.dwHighDateTime = static_cast<DWORD>(stamp >> 32);
    return SetFileTime(reinterpret_cast<HANDLE>(file.Handle), nullptr, nullptr, &time);
}

// The attribute words of an entry as attributes; 0 when it names none.
DWORD EntryAttributes(const TParams& entry) {
    const std::u16string words = AsciiLowerCase(entry.GetValue(u"Attribs", u""));
    if (words.empty()) return 0;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (words.find(u"readonly") != std::u16string::npos) attributes |= FILE_ATTRIBUTE_READONLY;
    if (words.find(u"hidden") != std::u16string::npos) attributes |= FILE_ATTRIBUTE_HIDDEN;
    if (words.find(u"system") != std::u16string::npos) attributes |= FILE_ATTRIBUTE_SYSTEM;
    return attributes;
}

bool ReadEntry(TSetupEngine& engine, const TParams& entry, int64_t size, TOutFile& output,
               PackageProgress progress, std::u16string& error) {
    return ReadPackageEntry(*engine.PackageFile, engine.PackageBase + entry.GetInt(u"Blob"), entry.GetInt(u"Packed"),
                            size, static_cast<uint32_t>(entry.GetInt(u"Crc")), output, progress, error);
}

} // namespace

bool TSetupEngine::ShouldInstallFile(const std::u16string& target, const TParams& entry) {
    if (!IsExistingFile(target)) return true;
    if (entry.HasFlag(u"onlyifdoesntexist")) return false;
    if (entry.HasFlag(u"ignoreversion")) return true;
    const uint64_t newVersion = ParseVersion(entry.GetValue(u"Ver", u""));
    const uint64_t oldVersion = GetFileVersion(target);
    if (newVersion != 0 && oldVersion != 0) return newVersion > oldVersion;
    return static_cast<uint64_t>(entry.GetInt(u"Stamp")) > GetFileWriteTime(target);
}

bool TSetupEngine::InstallFile(const TParams& entry) {
    const std::u16string name = entry.GetValue(u"DestName", entry.GetValue(u"Name", u""));
    const std::u16string target = CombinePath(Context->ExpandConstants(entry.GetValue(u"DestDir", u"{app}")), name);
    const int64_t size = entry.GetInt(u"Size");
    const bool journaled = !entry.HasFlag(u"uninsneveruninstall");
    // A target without a name, or one that the current folder or drive would
    // complete (an unresolved folder constant), is never written.
    if (name.empty() || !IsFullPath(target)) {
        Error(WriteError(target, ERROR_BAD_PATHNAME));
        return false;
    }
    const bool existed = IsExistingFile(target);
    if (!ShouldInstallFile(target, entry)) {
        Log(u"mantido: " + target);
        DownloadDone += size;
        Observer->Progress(DownloadDone, DownloadTotal);
        if (journaled) Journal->AddFile(target, true);
        return true;
    }
    if (!CreateDirs(DirOfPath(target))) return false;
    Observer->Status(u"Copiando " + NameOfPath(target) + u"...");
    const std::u16string temporary = StagedPath(target);
    const int64_t before = DownloadDone;
    for (;;) {
        DownloadDone = before;
        std::u16string error;
        TOutFile file;
        if (!file.Open(temporary)) {
            error = u"não consegui criar \"" + temporary + u"\": " + OsErrorText(LastOsError());
        } else {
            if (ReadEntry(*this, entry, size, file, {&TSetupEngine::DownloadProgress, this}, error))
                SetWriteTime(file, static_cast<uint64_t>(entry.GetInt(u"Stamp")));
            file.Close();
        }
        if (error.empty()) {
            if (IsExistingFile(target) && !SetFileAttributesW(System::WStr(target), FILE_ATTRIBUTE_NORMAL))
                SetLastOsError(GetLastError());
            if (MoveFileExW(System::WStr(temporary), System::WStr(target), MOVEFILE_REPLACE_EXISTING)) break;
            const uint32_t code = GetLastError();
            SetLastOsError(code);
            // A target in use (or one the script wants replaced that way)
            // is replaced when the system next starts.
            if (entry.HasFlag(u"restartreplace") || code == ERROR_SHARING_VIOLATION || code == ERROR_ACCESS_DENIED) {
                if (MoveFileExW(System::WStr(temporary), System::WStr(target),
                                MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)) {
                    RebootNeeded = true;
                    Journal->AddFile(temporary);
                    Log(u"troca no próximo boot: " + target);
                    break;
                }
                SetLastOsError(GetLastError());
            }
            error = WriteError(target, code);
        }
        if (error.find(u"cancelado") != std::u16string::npos) {
            Cancelled = true;
            DeleteFileEvenReadOnly(temporary);
            return false;
        }
        const uint8_t choice = Observer->ErrorChoice(target, error);
        if (choice == ErrorChoiceRetry) continue;
        DeleteFileEvenReadOnly(temporary);
        if (choice == ErrorChoiceIgnore) {
            Log(u"ignorado: " + error);
            return true;
        }
        Error(error);
        return false;
    }
    const DWORD attributes = EntryAttributes(entry);
    if (attributes != 0 && IsExistingFile(target)) SetFileAttributesW(System::WStr(target), attributes);
    if (journaled) Journal->AddFile(target, existed);
    Log(u"instalado: " + target);
    return true;
}

bool TSetupEngine::InstallFilesSection() {
    DownloadDone = 0;
    DownloadTotal = FilesTotalSize();
    for (const System::TRef<TParams>& entry : Script->EnsureSection(u"Files")->Entries) {
        if (!TaskFilter(*entry)) continue;
        if (Observer->Cancelled()) {
            Cancelled = true;
            return false;
        }
        if (!InstallFile(*entry)) return false;
    }
    return true;
}

int64_t TSetupEngine::FilesTotalSize() {
    if (Provider) return Provider->TotalSize();
    int64_t total = 0;
    for (const System::TRef<TParams>& entry : Script->EnsureSection(u"Files")->Entries)
        if (TaskFilter(*entry)) total += entry->GetInt(u"Size");
    return total;
}

std::u16string TSetupEngine::ExtractPackedText(const std::u16string& name, const std::u16string& suffix) {
    const auto& entries = Script->EnsureSection(u"Texts")->Entries;
    for (size_t i = 0; i < entries.size(); ++i) {
        const TParams& entry = *entries[i];
        if (!EqualsIgnoreCase(entry.GetValue(u"Name", u""), name)) continue;
        const std::u16string fileName =
            u"ksetup_" + System::Int64ToStr(GetCurrentProcessId()) + u"_" + System::Int64ToStr(i) + suffix;
        const std::u16string path = CombinePath(GetTempFolder(), fileName);
        TOutFile file;
        if (!file.Open(path)) return {};
        std::u16string error;
        const bool read = ReadEntry(*this, entry, entry.GetInt(u"Size"), file, {}, error);
        file.Close();
        if (read) return path;
        // A part of a text is no text: nothing of it is left behind.
        DeleteFileEvenReadOnly(path);
        return {};
    }
    return {};
}

std::u16string TSetupEngine::ReadPackedText(const std::u16string& name) {
    const std::u16string path = ExtractPackedText(name, u".txt");
    if (path.empty()) return {};
    std::u16string text;
    ReadTextFile(path, text);
    DeleteFileEvenReadOnly(path);
    return text;
}

} // namespace KS
