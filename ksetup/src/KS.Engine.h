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
    // failure becomes an engine error. Without one: true, nothing stored.
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

    // [Run] entries; a run entry never fails the install.
    void RunEntries();
    int32_t PostInstallRunCount();
    // The n-th post-install entry that passes the task filter; null past the end.
    TParams* PostInstallRunEntry(int32_t index);
    void RunPostInstallEntry(int32_t index);
    void RunEntry(const TParams& entry);
};

} // namespace KS
