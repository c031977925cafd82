// The plan of an install: which catalogue files are already on disk and
// current, what the rest will cost, how the plan reads on the summary page,
// and the sweep of files that left the catalogues.
#include <windows.h>

#include <unordered_set>

#include "KS.Digest.h"
#include "KS.Engine.h"
#include "KS.Online.Check.h"
#include "KS.Online.PathSet.h"
#include "KS.Online.h"
#include "System.Remainder.Os.h"

namespace KS {

using System::MakeRef;
using System::WStr;

namespace {

// A status line and a cancel question every this many files checked.
constexpr int32_t kCheckReportEvery = 40;

std::u16string InvalidCatalogText(const TCatalog& catalog, const std::u16string& what, const std::u16string& subject) {
    return u"catálogo " + PrintableText(catalog.Name) + u" inválido: " + what + u" \"" + PrintableText(subject) + u"\"";
}

// What an entry says before anything acts on it; empty when it may be used.
std::u16string EntryProblem(const CatalogFileRecord& file) {
    if (!IsSafeRelativeName(file.Name)) return u"nome de arquivo não permitido:";
    if (!IsPossibleFileSize(file.Size) || !IsPossibleZSize(file.ZSize)) return u"tamanho impossível para";
    if (!IsDigestText(file.Hash) || !IsDigestText(file.ZHash)) return u"SHA-256 mal escrito para";
    return {};
}

// Deletes a file that left the catalogues; true when it is gone, also when
// it was gone already or a folder now stands in its place.
bool RemoveStaleFile(const std::u16string& path) {
    if (GetFileAttributesW(WStr(path)) == INVALID_FILE_ATTRIBUTES) return true;
    ClearReadOnly(path);
    if (DeleteFileW(WStr(path))) return true;
    const DWORD after = GetFileAttributesW(WStr(path));
    return after == INVALID_FILE_ATTRIBUTES || (after & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

std::u16string TOnlineProvider::CatalogRoot(const TCatalog& catalog, const std::u16string& appDir) {
    const std::u16string root = StripTrailingBackslashes(catalog.OutRoot);
    const std::u16string defaultRoot = StripTrailingBackslashes(ExpandEnvText(u"%ProgramFiles%\\Ostrel"));
    if (!HasPrefixIgnoreCase(root, defaultRoot)) return root;
    return StripTrailingBackslashes(appDir) + root.substr(defaultRoot.size());
}

std::u16string TOnlineProvider::FileTarget(const std::u16string& root, const CatalogFileRecord& file) {
    return CombinePath(root, ReplaceAll(file.Name, u"/", u"\\"));
}

bool TOnlineProvider::CheckCatalogs() {
    for (const auto& catalog : Catalogs) {
        if (!IsSafeRootFolder(catalog->OutRoot)) {
            lastError_ = InvalidCatalogText(*catalog, u"\"outpath\" vazio ou não absoluto:", catalog->OutRoot);
            return false;
        }
        for (const CatalogFileRecord& file : catalog->Files) {
            const std::u16string problem = EntryProblem(file);
            if (problem.empty()) continue;
            lastError_ = InvalidCatalogText(*catalog, problem, file.Name);
            return false;
        }
    }
    return true;
}

bool TOnlineProvider::CheckTargets(const std::u16string& appDir) {
    std::unordered_set<std::u16string> keys;
    for (const auto& catalog : Catalogs) {
        const std::u16string root = CatalogRoot(*catalog, appDir);
        for (const CatalogFileRecord& file : catalog->Files) {
            const std::u16string target = FileTarget(root, file);
            if (keys.insert(PathCompareKey(target)).second) continue;
            lastError_ = InvalidCatalogText(*catalog, u"dois itens gravam o mesmo arquivo", target);
            return false;
        }
    }
    return true;
}

bool TOnlineProvider::EnsureCatalogs() {
    if (CatalogsLoaded) return true;
    if (!LoadCatalogs()) return false;
    if (!CheckCatalogs()) {
        // Nothing may act on a catalogue that failed its checks.
        Catalogs.clear();
        return false;
    }
    CatalogsLoaded = true;
    return true;
}

bool TOnlineProvider::Prepare(TSetupEngine& engine, TSetupObserver& observer) {
    Observer = &observer;
    lastError_.clear();
    Jobs.clear();
    if (!EnsureCatalogs() || !CheckTargets(engine.Context->AppDir)) return false;

    DownloadBytes = 0;
    InstallBytes = 0;
    FileCount = 0;
    for (const auto& catalog : Catalogs) FileCount += int32_t(catalog->Files.size());

    int32_t checked = 0;
    for (size_t c = 0; c < Catalogs.size(); ++c) {
        const TCatalog& catalog = *Catalogs[c];
        const std::u16string root = CatalogRoot(catalog, engine.Context->AppDir);
        for (size_t f = 0; f < catalog.Files.size(); ++f) {
            const CatalogFileRecord& file = catalog.Files[f];
            std::u16string target = FileTarget(root, file);
            if (++checked % kCheckReportEvery == 0) {
                observer.Status(u"Conferindo " + catalog.Name + u": " + FormatThousands(checked) + u" de " +
                                FormatThousands(FileCount) + u" arquivos...");
                observer.Progress(checked, FileCount);
                if (observer.Cancelled()) {
                    lastError_ = u"Instalação cancelada.";
                    return false;
                }
            }
            // The size is compared first: a file of the wrong size is never read.
            if (GetFileSizeByPath(target) == file.Size && Sha256FileBase64(target) == file.Hash) continue;
            Jobs.push_back({int32_t(c), int32_t(f), std::move(target)});
            DownloadBytes += file.ZSize;
            InstallBytes += file.Size;
        }
    }
    observer.Progress(FileCount, FileCount);

    if (Offline && !Jobs.empty()) {
        lastError_ = u"sem conexão com a internet: faltam " + FormatThousands(int64_t(Jobs.size())) +
                        u" arquivos e eles precisam ser baixados.";
        return false;
    }
    return true;
}

int64_t TOnlineProvider::TotalSize() {
    return InstallBytes;
}

std::u16string TOnlineProvider::Summary() {
    std::u16string text = Jobs.empty()
                              ? u"Todos os " + FormatThousands(FileCount) + u" arquivos já estão instalados e atualizados."
                              : u"Arquivos a baixar: " + FormatThousands(int64_t(Jobs.size())) + u" de " +
                                    FormatThousands(FileCount) + u" (" + FormatByteSize(DownloadBytes) + u")";
    if (Offline) text += u"\r\n(sem conexão: usando os catálogos guardados no cache)";
    return text;
}

void TOnlineProvider::RemoveStaleFiles(TSetupEngine& engine) {
    if (Offline) return;
    const std::u16string appDir = StripTrailingBackslashes(engine.Context->AppDir);
    const std::u16string journalPath = CombinePath(appDir, u"unins000.dat");
    auto previous = MakeRef<TJournal>();
    if (!previous->LoadFromFile(journalPath)) return;
    if (Observer) Observer->Status(u"Procurando arquivos que saíram do catálogo...");

    auto current = MakeRef<TPathSet>();
    for (const auto& catalog : Catalogs) {
        const std::u16string root = CatalogRoot(*catalog, appDir);
        for (const CatalogFileRecord& file : catalog->Files) current->Add(FileTarget(root, file));
    }
    // A file this run staged for the restart is current too; an earlier
    // run's staged file that is not would land an outdated file then.
    for (const std::u16string& file : StagedFiles()) current->Add(file);
    const std::u16string prefix = AsciiLowerCase(appDir) + u"\\";
    const std::u16string uninstaller = AsciiLowerCase(engine.Context->UninstallExe);

    auto kept = MakeRef<TJournal>();
    int64_t removed = 0;
    for (const std::u16string& record : previous->Records()) {
        if (HasPrefix(record, u"F|")) {
            const std::u16string path = record.substr(2);
            const std::u16string lower = AsciiLowerCase(path);
            // A record that climbs out of the folder (".." parts) is never
            // followed, whatever wrote it.
            const bool stale = HasPrefix(lower, prefix) && lower != uninstaller &&
                               IsSafeRelativeName(std::u16string_view(path).substr(prefix.size())) &&
                               !current->Contains(path);
            if (stale && RemoveStaleFile(path)) {
                engine.Log(u"removido (saiu do catálogo): " + path);
                ++removed;
                continue;
            }
        }
        kept->AddRecordLine(record);
    }
    if (removed == 0) return;
    engine.Log(FormatThousands(removed) + u" arquivo(s) removido(s) por não estarem mais no catálogo.");
    kept->SaveToFile(journalPath);
}

} // namespace KS
