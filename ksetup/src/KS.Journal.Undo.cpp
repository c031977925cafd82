// The journal's replay: what an install recorded is undone in a fixed order
// of passes. The uninstaller runs it, and so does a failed install to roll
// back.
#include "KS.Journal.h"

#include <windows.h>

#include <algorithm>
#include <set>

#include "KS.Engine.h"
#include "KS.Observer.h"
#include "KS.Online.Check.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace KS {

namespace {

bool IsKind(const std::u16string& record, const char16_t* tag) {
    return HasPrefix(record, tag);
}

struct TRegistryRecord {
    int64_t Root = 2;
    bool View32 = false;
    std::u16string Key;
};

TRegistryRecord RegistryFields(const std::u16string& record, int count) {
    TRegistryRecord fields;
    if (!TryParseInt64(JournalField(record, 1, count), fields.Root)) fields.Root = 2;
    fields.View32 = JournalField(record, 2, count) == u"32";
    fields.Key = JournalField(record, 3, count);
    return fields;
}

// A key record with no key path, or with a root that is none of the four,
// would delete a whole root (or another root than the one meant).
bool NamesAWholeRoot(const TRegistryRecord& fields) {
    return fields.Key.empty() || fields.Root < 0 || fields.Root > 3;
}

// Longest first takes sub-folders away before their parents; equal lengths
// keep the given order. A folder that holds anything stays.
void RemoveEmptyFolders(std::vector<std::u16string> folders) {
    std::stable_sort(folders.begin(), folders.end(),
                     [](const std::u16string& a, const std::u16string& b) { return a.size() > b.size(); });
    for (const std::u16string& folder : folders)
        if (!RemoveDirectoryW(System::WStr(folder))) SetLastOsError(GetLastError());
}

} // namespace

void TJournal::RemoveEmptyFileFolders(const std::u16string& appDir) const {
    const std::u16string root = StripTrailingBackslashes(appDir);
    if (root.empty()) return;
    std::set<std::u16string> folders;
    for (const std::u16string& record : records_) {
        if (!IsKind(record, u"F|") || Existed(record)) continue;
        const std::u16string path = record.substr(2);
        // Only folders below the installation folder, reached without "..".
        if (!HasPrefixIgnoreCase(path, root + u"\\") ||
            !IsSafeRelativeName(std::u16string_view(path).substr(root.size() + 1)))
            continue;
        for (std::u16string folder = DirOfPath(path); folder.size() > root.size(); folder = DirOfPath(folder))
            folders.insert(folder);
    }
    folders.insert(root);
    RemoveEmptyFolders(std::vector<std::u16string>(folders.begin(), folders.end()));
}

bool TJournal::Undo(TSetupObserver& observer, bool runPrograms,
                    const std::function<void(const std::u16string&)>& log) {
    const auto note = [&log](const std::u16string& text) {
        if (log) log(text);
    };
    // Only what this run created is taken back; a loaded journal marks nothing.
    std::vector<std::u16string> records;
    for (const std::u16string& record : records_)
        if (!Existed(record)) records.push_back(record);

    if (runPrograms) {
        for (const std::u16string& record : records) {
            if (!IsKind(record, u"R|")) continue;
            const std::u16string program = JournalField(record, 1, 5);
            observer.Status(u"Executando " + NameOfPath(program) + u"...");
            const uint16_t show = JournalField(record, 4, 5).find(u"runhidden") != std::u16string::npos
                                      ? SW_HIDE
                                      : SW_SHOWNORMAL;
            uint32_t exitCode = 0;
            RunProcess(u"\"" + program + u"\" " + JournalField(record, 2, 5), JournalField(record, 3, 5), show,
                       true, exitCode);
        }
    }

    observer.Status(u"Removendo arquivos...");
    const int64_t total = static_cast<int64_t>(records_.size());
    int64_t done = 0;
    bool allDeleted = true;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        if (!IsKind(*it, u"F|")) continue;
        if (observer.Cancelled()) return false;
        observer.Progress(done, total);
        const std::u16string path = it->substr(2);
        if (!DeleteFileWithRetry(path, RebootNeeded)) {
            allDeleted = false;
            note(u"não consegui apagar " + path + u": " + OsErrorText(LastOsError()));
        }
        // What an interrupted run left half-written beside the file goes too.
        DeleteFileWithRetry(StagedPath(path), RebootNeeded);
        ++done;
    }

    for (const std::u16string& record : records)
        if (IsKind(record, u"X|")) DeleteByType(JournalField(record, 1, 3), JournalField(record, 2, 3), RebootNeeded);

    observer.Status(u"Limpando o registro...");
    bool environmentChanged = false;
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        const std::u16string& record = *it;
        if (IsKind(record, u"RV|")) {
            const TRegistryRecord fields = RegistryFields(record, 5);
            DeleteRegValue(static_cast<int32_t>(fields.Root), fields.Key, JournalField(record, 4, 5), fields.View32);
        } else if (IsKind(record, u"RK|") || IsKind(record, u"RE|")) {
            const TRegistryRecord fields = RegistryFields(record, 4);
            if (NamesAWholeRoot(fields)) {
                note(u"registro não desfeito, o registro nomeia uma raiz inteira: " + record);
            } else if (IsKind(record, u"RK|")) {
                DeleteRegKeyTree(static_cast<int32_t>(fields.Root), fields.Key, fields.View32);
            } else {
                DeleteRegKeyIfEmpty(static_cast<int32_t>(fields.Root), fields.Key, fields.View32);
            }
        } else if (IsKind(record, u"PA|")) {
            const TRegistryRecord fields = RegistryFields(record, 6);
            const int32_t root = static_cast<int32_t>(fields.Root);
            const std::u16string name = JournalField(record, 4, 6);
            std::u16string list;
            if (!ReadRegString(root, fields.Key, name, fields.View32, list)) continue;
            WriteRegString(root, fields.Key, name, ListRemoveItem(list, JournalField(record, 5, 6)), true,
                           fields.View32);
            environmentChanged = true;
        }
    }

    RemoveEmptyFolders(Folders());

    observer.Progress(total, total);
    if (environmentChanged) BroadcastEnvironmentChange();
    if (GetMeta(u"ChangesAssociations", u"0") == u"1") NotifyAssociationsChanged();
    return allDeleted;
}

} // namespace KS
