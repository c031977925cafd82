// Folders and deletions: the folder creator every step uses, the
// installation folder with [Dirs], and the deletions of [InstallDelete] and
// of the journal's "X|" records.
#include "KS.Engine.h"

#include <windows.h>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace KS {

bool TSetupEngine::CreateDirs(const std::u16string& path) {
    const std::u16string folder = StripTrailingBackslashes(NormalizeSlashes(path));
    if (folder.empty()) return true;
    const auto fail = [this, &folder] {
        Error(u"não consegui criar a pasta \"" + folder + u"\": " + OsErrorText(LastOsError()));
        return false;
    };
    // A folder that the current folder or drive would complete (a shell
    // folder that could not be resolved) is never made.
    if (!IsFullPath(folder)) {
        SetLastOsError(ERROR_BAD_PATHNAME);
        return fail();
    }
    if (IsExistingFolder(folder)) return true;
    const std::u16string parent = DirOfPath(folder);
    if (!parent.empty() && parent != folder && !CreateDirs(parent)) return false;
    if (!CreateDirPath(folder)) return fail();
    Journal->AddDir(folder);
    return true;
}

bool TSetupEngine::CreateDirsSection() {
    if (!CreateDirs(Context->AppDir)) return false;
    for (const System::TRef<TParams>& entry : Script->EnsureSection(u"Dirs")->Entries) {
        if (!TaskFilter(*entry)) continue;
        const std::u16string path = Context->ExpandConstants(entry->GetValue(u"Name", u""));
        if (!path.empty() && !CreateDirs(path)) return false;
    }
    return true;
}

void TSetupEngine::InstallDeleteSection() {
    for (const System::TRef<TParams>& entry : Script->EnsureSection(u"InstallDelete")->Entries)
        if (TaskFilter(*entry))
            DeleteByType(AsciiLowerCase(entry->GetValue(u"Type", u"files")),
                         Context->ExpandConstants(entry->GetValue(u"Name", u"")), RebootNeeded);
}

void DeleteByType(const std::u16string& type, const std::u16string& path, bool& restartNeeded) {
    // A relative path would delete in whatever the current folder is.
    if (!IsFullPath(path)) {
        SetLastOsError(ERROR_BAD_PATHNAME);
        return;
    }
    if (type == u"dirifempty") {
        if (!RemoveDirectoryW(System::WStr(path))) SetLastOsError(GetLastError());
        return;
    }
    const bool withFolders = type == u"filesandordirs";
    if (path.find_first_of(u"*?") != std::u16string::npos) {
        std::vector<FolderEntry> entries;
        ListFolder(DirOfPath(path), NameOfPath(path), withFolders, entries);
        for (const FolderEntry& entry : entries) {
            if (entry.IsFolder)
                DeleteFolderTree(entry.Path);
            else
                DeleteFileWithRetry(entry.Path, restartNeeded);
        }
    } else if (withFolders && IsExistingFolder(path)) {
        DeleteFolderTree(path);
    } else {
        DeleteFileWithRetry(path, restartNeeded);
    }
}

} // namespace KS
