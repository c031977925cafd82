// The installer replaces itself before it installs anything when the
// "Update" catalogue describes another installer. The new one lands in the
// user's cache and is started elevated, so it is held open from the moment
// it is verified until the caller has started it: nobody can change or swap
// it in between.
#include <windows.h>

#include "KS.Digest.h"
#include "KS.Online.h"
#include "KS.Sys.Errors.h"
#include "System.Remainder.Os.h"

namespace KS {

using System::WStr;

namespace {

// The last catalogue named "Update" (any ASCII case); null when none.
const TCatalog* UpdateCatalog(const std::vector<System::TRef<TCatalog>>& catalogs) {
    for (auto it = catalogs.rbegin(); it != catalogs.rend(); ++it)
        if (EqualsIgnoreCase((*it)->Name, u"Update")) return it->Get();
    return nullptr;
}

// The installer's entry: the last "OstrelDaxSetup.exe", else the first
// ".exe"; -1 when there is none.
int32_t InstallerEntry(const TCatalog& catalog) {
    for (size_t i = catalog.Files.size(); i-- > 0;)
        if (EqualsIgnoreCase(catalog.Files[i].Name, u"OstrelDaxSetup.exe")) return int32_t(i);
    for (size_t i = 0; i < catalog.Files.size(); ++i)
        if (AsciiLowerCase(catalog.Files[i].Name).ends_with(u".exe")) return int32_t(i);
    return -1;
}

bool HasContent(const std::u16string& path, const CatalogFileRecord& file) {
    return GetFileSizeByPath(path) == file.Size && Sha256FileBase64(path) == file.Hash;
}

// Opens the file so that others may only read it, then checks its content:
// what was checked is what stays there while the handle lives.
System::TRef<TOwnedHandle> HoldVerified(const std::u16string& path, const CatalogFileRecord& file) {
    const HANDLE handle = CreateFileW(WStr(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return nullptr;
    auto hold = System::MakeRef<TOwnedHandle>();
    hold->Handle = int64_t(reinterpret_cast<intptr_t>(handle));
    if (!HasContent(path, file)) return nullptr;
    return hold;
}

} // namespace

bool TOnlineProvider::CheckSelfUpdate(TSetupObserver& observer, const std::u16string& exePath,
                                      std::u16string& newPath, System::TRef<TOwnedHandle>& hold) {
    lastError_.clear();
    hold = nullptr;
    Observer = &observer;
    observer.Status(u"Verificando se há uma versão mais nova do instalador...");
    if (!EnsureCatalogs() || Offline) return false;
    const TCatalog* catalog = UpdateCatalog(Catalogs);
    if (!catalog) return false;
    const int32_t index = InstallerEntry(*catalog);
    if (index < 0) return false;
    const CatalogFileRecord& entry = catalog->Files[size_t(index)];
    if (HasContent(exePath, entry)) return false;

    const std::u16string folder = CombinePath(CacheDir, u"Update");
    CreateDirPath(folder);
    const std::u16string target = CombinePath(folder, NameOfPath(entry.Name));
    hold = HoldVerified(target, entry);
    if (!hold) {
        observer.Status(u"Baixando a versão mais nova do instalador...");
        std::u16string error;
        if (!DownloadFile(*Http, *catalog, index, target, error)) {
            observer.Status(u"atualização do instalador não baixada: " + error);
            return false;
        }
        ClearReadOnly(target);
        if (!MoveFileExW(WStr(StagedPath(target)), WStr(target), MOVEFILE_REPLACE_EXISTING)) {
            observer.Status(u"não consegui gravar " + target + u": " + OsErrorText(GetLastError()));
            return false;
        }
        hold = HoldVerified(target, entry);
        if (!hold) return false;
    }
    newPath = target;
    return true;
}

} // namespace KS
