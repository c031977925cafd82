// The installer's engine: one object per process holding everything an
// installation works on. Its steps report failure by a false result with the
// text in LastError (also logged as "ERRO: "); the engine never raises and
// never shows anything itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "KS.Context.h"
#include "KS.Journal.h"
#include "KS.Observer.h"
#include "KS.Provider.h"
#include "KS.Script.h"
#include "KS.Sys.Files.h"
#include "System.Remainder.Object.h"

namespace KS {

struct TPreviousInstall {
    bool Found = false;
    std::u16string Dir;
    std::u16string Version;
};

class TSetupEngine : public System::TObject {
public:
    // Closes the package file.
    ~TSetupEngine() override;

    System::TRef<TSetupContext> Context;
    System::TRef<TScript> Script;
    // The file that holds the embedded package; closed unless someone opens it.
    System::TRef<TInFile> PackageFile;
    // Size of the executable part in front of the package.
    int64_t StubSize = 0;
    // Offset of the package in PackageFile; package offsets are relative to it.
    int64_t PackageBase = 0;
    // Names of the selected tasks, in the order they were selected.
    std::vector<std::u16string> SelectedTasks;
    System::TRef<TJournal> Journal;
    System::TRef<TSetupObserver> Observer;
    // A file could only be replaced or deleted at the next restart.
    bool RebootNeeded = false;
    // 0 wizard, 1 silent, 2 very silent.
    int32_t SilentLevel = 0;
    bool SuppressMsgBoxes = false;
    // The log file; empty: no log.
    std::u16string LogPath;
    std::u16string LastError;
    TPreviousInstall PreviousInstall;
    // Progress of the run and its total, in bytes.
    int64_t DownloadDone = 0;
    int64_t DownloadTotal = 0;
    bool Cancelled = false;
    bool CommandLineDir = false;
    bool CommandLineTasks = false;
    System::TRef<TFileProvider> Provider;
    // The script is the executable's own: the uninstaller is then a copy of it.
    bool EmbeddedScript = false;

    // Creates the context, an empty script, a closed package file and an
    // empty journal. Called once on a new engine.
    void Init();
    // Parses the executable's own script and applies it: [Setup], the default
    // tasks, the search for a previous installation. False: invalid script.
    bool LoadScript(const std::u16string& text);
    // Looks for an earlier installation (Uninstall key, the product's own
    // key, its App Paths entry, the default folder) and adopts its folder
    // unless the script or the command line says otherwise.
    void FindPreviousInstall();
    // The "M|" records that tell the uninstaller about this install.
    void WriteJournalMeta();
    // Applies the command-line switches over the script's choices. False at
    // the first argument that is no switch of the installer.
    bool ParseCommandLine(const TStringArray& args);

    // One log line: the local date, a blank, the text, CR LF. Never fails.
    void Log(const std::u16string& text);
    // Keeps the text as LastError and logs it after "ERRO: ".
    void Error(const std::u16string& text);

    // With a provider: stores the observer and prepares the provider, whose
    // failure (or exception) becomes an engine error. Without one: true,
    // nothing stored.
    bool PrepareProvider(const System::TRef<TSetupObserver>& observer);
    std::u16string ProviderSummary();
    // A PackageProgress callback with the engine as its context: counts the
    // bytes, reports the progress and passes a cancel on.
    static void DownloadProgress(void* engine, int64_t bytes, uint8_t& cancel);

    // Tasks.
    void SelectDefaultTasks();
    int32_t TaskCount();
    TParams& TaskEntry(int32_t index);
    void SelectTask(const std::u16string& name, bool select);
    // True when the entry's "Tasks" words allow it under the selection.
    bool TaskFilter(const TParams& entry) const;

    // The install run: every step in its order; a failure or a cancel in the
    // file, shortcut, registry or registration step, a journal that cannot
    // be saved, or an exception out of any step, rolls back what this run
    // did. False: LastError says why; RebootNeeded may be set either way.
    bool Install(const System::TRef<TSetupObserver>& observer);
    // Bytes the install needs on the installation folder's volume: the
    // files, the uninstaller copy and 1 MiB.
    int64_t RequiredSpace();

    // Folders and deletions. CreateDirs records each folder it creates
    // ("D|"), outermost first; an existing folder is never recorded.
    bool CreateDirs(const std::u16string& path);
    bool CreateDirsSection();
    void InstallDeleteSection();

    // [Files] from the embedded package.
    // True to install over the target: it is missing, the flags say so, or
    // the entry is newer by version (or, lacking versions, by time stamp).
    bool ShouldInstallFile(const std::u16string& target, const TParams& entry);
    bool InstallFile(const TParams& entry);
    bool InstallFilesSection();
    // The provider's total when there is one, else the sum of [Files] sizes.
    int64_t FilesTotalSize();
    // The path of a temporary file holding the [Texts] entry of the name;
    // empty when there is none or it cannot be read.
    std::u16string ExtractPackedText(const std::u16string& name, const std::u16string& suffix);
    std::u16string ReadPackedText(const std::u16string& name);

    // [Icons]: false only when a shortcut's folder cannot be made.
    bool CreateShortcuts();
    // [Registry]: false when a write fails without "noerror".
    bool WriteRegistry();
    // The uninstaller copy, its Uninstall key, the earlier journal's records
    // and the metadata records; false when the copy cannot be written.
    bool WriteUninstaller();
    bool RegisterUninstaller();

    // [Run] entries; a run entry never fails the install.
    void RunEntries();
    int32_t PostInstallRunCount();
    // The n-th post-install entry that passes the task filter; null past the end.
    TParams* PostInstallRunEntry(int32_t index);
    void RunPostInstallEntry(int32_t index);
    void RunEntry(const TParams& entry);
};

// Deletes by an [InstallDelete] or [UninstallDelete] type: "files" (also any
// unknown type), "filesandordirs" or "dirifempty"; the last part of the path
// may hold "*" and "?". A path that is not a full path is left alone.
// Failures only reach LastOsError; restartNeeded is set when a file could
// only be scheduled for deletion at the next restart.
void DeleteByType(const std::u16string& type, const std::u16string& path, bool& restartNeeded);

// Inside a handler: the engine error for the exception being handled, so
// that an exception out of a step fails the run like any other failure.
std::u16string CaughtExceptionText();

} // namespace KS
