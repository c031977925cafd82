// The install run: the steps in their fixed order, and the rollback through
// the journal when a step after the folders fails or the user cancels.
#include "KS.Engine.h"

#include <windows.h>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace KS {

namespace {

constexpr int64_t SpaceMargin = 1048576;
constexpr char16_t JournalFileName[] = u"unins000.dat";

// The user's observer during a rollback: the progress goes on, the status
// stays "Desfazendo...", and the cancel that may have caused the rollback
// does not stop it half-way.
class TRollbackObserver : public TSetupObserver {
public:
    explicit TRollbackObserver(TSetupObserver& user) : user_(user) {}
    void Progress(int64_t done, int64_t total) override { user_.Progress(done, total); }
    bool Cancelled() override { return false; }

private:
    TSetupObserver& user_;
};

// What was in the installation folder before the run, which a rollback
// must leave as it found it.
struct TFolderBefore {
    bool Existed = false;
    bool HadUninstaller = false;
    bool HadJournal = false;
};

// A deletion's path names something already there: the path itself, or for
// a wildcard the folder it lists.
bool DeletionReachesExisting(const std::u16string& path) {
    const bool wildcard = path.find_first_of(u"*?") != std::u16string::npos;
    return GetFileAttributesW(System::WStr(wildcard ? DirOfPath(path) : path)) != INVALID_FILE_ATTRIBUTES;
}

// [UninstallDelete] and [UninstallRun] act at uninstall time: they are only
// recorded now. A rollback must not carry out a deletion that would reach
// what was there before: anything in a folder that already existed, or a
// path outside the installation folder that names something existing.
void RecordUninstallWork(TSetupEngine& engine, bool folderExisted) {
    const TSetupContext& context = *engine.Context;
    for (const System::TRef<TParams>& entry : engine.Script->EnsureSection(u"UninstallDelete")->Entries) {
        if (!engine.TaskFilter(*entry)) continue;
        const std::u16string path = context.ExpandConstants(entry->GetValue(u"Name", u""));
        engine.Journal->AddDelete(AsciiLowerCase(entry->GetValue(u"Type", u"files")), path,
                                  folderExisted || DeletionReachesExisting(path));
    }
    for (const System::TRef<TParams>& entry : engine.Script->EnsureSection(u"UninstallRun")->Entries)
        if (engine.TaskFilter(*entry))
            engine.Journal->AddRun(context.ExpandConstants(entry->GetValue(u"Filename", u"")),
                                   context.ExpandConstants(entry->GetValue(u"Parameters", u"")),
                                   context.ExpandConstants(entry->GetValue(u"WorkingDir", u"{app}")),
                                   entry->GetValue(u"Flags", u""));
}

// What a silent run starts that the wizard's finish page would offer.
void RunSilentPostInstallEntries(TSetupEngine& engine) {
    for (const System::TRef<TParams>& entry : engine.Script->EnsureSection(u"Run")->Entries)
        if (entry->HasFlag(u"postinstall") && !entry->HasFlag(u"skipifsilent") && !entry->HasFlag(u"unchecked") &&
            engine.TaskFilter(*entry))
            engine.RunEntry(*entry);
}

} // namespace

int64_t TSetupEngine::RequiredSpace() {
    const int64_t uninstaller = EmbeddedScript ? GetFileSizeByPath(GetOwnExePath()) : StubSize;
    return FilesTotalSize() + uninstaller + SpaceMargin;
}

bool TSetupEngine::Install(const System::TRef<TSetupObserver>& observer) {
    Observer = observer;
    Cancelled = false;
    LastError.clear();
    Journal->Clear();
    const std::u16string& appDir = Context->AppDir;
    Log(u"--- instalando " + Context->SetupValue(u"AppName", u"") + u" " + Context->SetupValue(u"AppVersion", u"") +
        u" em " + appDir);
    if (appDir.empty()) {
        Error(u"a pasta de instalação está vazia");
        return false;
    }

    const std::u16string journalPath = CombinePath(appDir, JournalFileName);
    const TFolderBefore before{IsExistingFolder(appDir), IsExistingFile(Context->UninstallExe),
                               IsExistingFile(journalPath)};
    TRollbackObserver rollbackObserver(*observer);
    const auto log = [this](const std::u16string& text) { Log(text); };
    const auto undo = [&] {
        Journal->Undo(rollbackObserver, false, log);
        RebootNeeded = RebootNeeded || Journal->RebootNeeded;
        return false;
    };
    const auto rollBack = [&] {
        if (Cancelled) LastError = u"Instalação cancelada.";
        observer->Status(u"Desfazendo...");
        // The uninstaller's files go first, so that the replay finds the
        // installation folder empty and removes it; so does what a save of
        // the journal that crashed half-way left beside it.
        if (!before.HadUninstaller) DeleteFileEvenReadOnly(Context->UninstallExe);
        if (!before.HadJournal) DeleteFileEvenReadOnly(journalPath);
        DeleteFileEvenReadOnly(StagedPath(journalPath));
        return undo();
    };

    // An exception out of a step (memory, a Windows function that cannot be
    // bound, a provider's own) is a failure like any other: once something
    // may have been done, it is rolled back.
    bool started = false;
    try {
        const int64_t required = RequiredSpace();
        if (GetFreeDiskSpace(appDir) < required) {
            Error(u"não há espaço em disco suficiente em \"" + appDir + u"\" (precisa de " +
                  FormatByteSize(required) + u")");
            return false;
        }
        observer->Status(u"Preparando...");
        started = true;

        if (!CreateDirsSection()) return undo();
        InstallDeleteSection();
        RecordUninstallWork(*this, before.Existed);

        if (Provider) {
            if (!Provider->InstallFiles(*this, *observer)) {
                const std::u16string reason = Provider->LastError();
                if (!reason.empty()) Error(reason);
                return rollBack();
            }
        } else if (!InstallFilesSection()) {
            return rollBack();
        }
        if (!CreateShortcuts() || !WriteRegistry() || !RegisterUninstaller()) return rollBack();
        // An Uninstall key whose journal is missing would name an uninstaller
        // that cannot run: a journal that cannot be saved fails the install.
        if (Context->SetupBool(u"Uninstallable", true) && !Journal->SaveToFile(journalPath)) {
            Error(u"não consegui gravar o diário de desinstalação: " + OsErrorText(LastOsError()));
            return rollBack();
        }

        RunEntries();
        if (SilentLevel > 0) RunSilentPostInstallEntries(*this);
        if (Context->SetupBool(u"ChangesEnvironment", false)) BroadcastEnvironmentChange();
        if (Context->SetupBool(u"ChangesAssociations", false)) NotifyAssociationsChanged();
        RebootNeeded = RebootNeeded || Journal->RebootNeeded;
        Log(u"--- instalação concluída");
        observer->Progress(DownloadTotal, DownloadTotal);
        return true;
    } catch (...) {
        Error(CaughtExceptionText());
    }
    if (!started) return false;
    try {
        return rollBack();
    } catch (...) {
        // What the replay did not reach stays; the log says why.
        Log(u"ERRO: a reversão parou: " + CaughtExceptionText());
        return false;
    }
}

} // namespace KS
