// [Icons]: one shortcut file per entry. A shortcut that cannot be written is
// logged and left out; only a folder that cannot be made stops the run.
#include "KS.Engine.h"

#include <windows.h>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace KS {

bool TSetupEngine::CreateShortcuts() {
    const auto& entries = Script->EnsureSection(u"Icons")->Entries;
    if (entries.empty()) return true;
    Observer->Status(u"Criando atalhos...");
    for (const System::TRef<TParams>& entry : entries) {
        if (!TaskFilter(*entry)) continue;
        const std::u16string link = Context->ExpandConstants(entry->GetValue(u"Name", u"")) + u".lnk";
        const std::u16string target = Context->ExpandConstants(entry->GetValue(u"Filename", u""));
        if (target.empty()) continue;
        if (entry->HasFlag(u"createonlyiffileexists") &&
            GetFileAttributesW(System::WStr(target)) == INVALID_FILE_ATTRIBUTES)
            continue;
        // A name that an unresolved folder constant or an empty "Name" left
        // without its folder would put the shortcut in the current folder.
        if (!IsFullPath(link) || NameOfPath(link) == u".lnk") {
            Log(u"atalho não criado: " + link + u": " + OsErrorText(ERROR_BAD_PATHNAME));
            continue;
        }
        if (!CreateDirs(DirOfPath(link))) return false;
        const bool existed = IsExistingFile(link);
        if (!CreateShellLink(link, target, Context->ExpandConstants(entry->GetValue(u"Parameters", u"")),
                             Context->ExpandConstants(entry->GetValue(u"WorkingDir", u"{app}")),
                             Context->ExpandConstants(entry->GetValue(u"IconFilename", u"")),
                             static_cast<int32_t>(entry->GetInt(u"IconIndex")), entry->GetValue(u"Comment", u""))) {
            Log(u"atalho não criado: " + link + u": " + OsErrorText(LastOsError()));
            continue;
        }
        if (!entry->HasFlag(u"uninsneveruninstall")) Journal->AddFile(link, existed);
        Log(u"atalho: " + link);
    }
    NotifyAssociationsChanged();
    return true;
}

} // namespace KS
