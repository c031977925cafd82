#include "KS.Uninstall.h"

#include <windows.h>

#include <algorithm>

#include "KS.CommandLine.h"
#include "KS.Elevation.h"
#include "KS.Journal.h"
#include "KS.Observer.h"
#include "KS.Startup.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"
#include "KS.UninstallForm.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Text.h"

namespace KS {

namespace {

constexpr char16_t BoxTitle[] = u"Desinstalar";
constexpr char16_t PhaseTwoSwitch[] = u"/KSETUPPHASE2";

struct TUninstallRun {
    TStringArray Args;
    std::u16string RunningExe;
    std::u16string InstalledExe;
    std::u16string JournalPath;
    System::TRef<TJournal> Journal;
    std::u16string AppName;
    std::u16string AppDir;
    bool Interactive = true;
    bool VerySilent = false;
};

std::u16string Quoted(const std::u16string& text) {
    return u"\"" + text + u"\"";
}

// The folders the install made above the installation folder, deepest
// first. They still held it when the replay's folder pass ran.
std::vector<std::u16string> NewParents(const std::u16string& appDir,
                                       const std::vector<std::u16string>& journaledFolders) {
    std::vector<std::u16string> parents;
    for (const std::u16string& folder : journaledFolders)
        if (HasPrefixIgnoreCase(appDir, folder + u"\\")) parents.push_back(folder);
    std::sort(parents.begin(), parents.end(),
              [](const std::u16string& a, const std::u16string& b) { return a.size() > b.size(); });
    return parents;
}

void ErrorBox(const std::u16string& text) {
    ShowMessageBox(text, BoxTitle, MB_OK | MB_ICONERROR);
}

int32_t PhaseOne(const TUninstallRun& run) {
    // A per-user install ("Admin" "0") is removed without elevation.
    if (run.Journal->GetMeta(u"Admin", u"1") == u"1" && !ElevationSeams().IsElevated()) {
        uint32_t childCode = 0;
        return RelaunchElevated(run.Args, childCode) ? int32_t(childCode) : 5;
    }
    if (run.Interactive && !ConfirmUninstall(run.AppName)) return 5;

    const std::u16string& ownPath = run.RunningExe;
    const std::u16string folder =
        CombinePath(GetTempFolder(), u"ksetup_un_" + System::Int64ToStr(int64_t(GetCurrentProcessId())));
    const std::u16string copy = CombinePath(folder, u"unins.exe");
    bool prepared = CreateDirPath(folder);
    if (prepared && !CopyFileW(System::WStr(ownPath), System::WStr(copy), FALSE)) {
        SetLastOsError(GetLastError());
        prepared = false;
    }
    if (!prepared) {
        ErrorBox(u"Não consegui preparar a desinstalação: " + OsErrorText(LastOsError()));
        return 2;
    }
    const std::u16string commandLine = Quoted(copy) + u" " + PhaseTwoSwitch + u"=" + Quoted(ownPath) + u" " +
                                       JoinCommandLine(run.Args);
    uint32_t childCode = 0;
    if (!RunProcess(commandLine, u"", SW_SHOWNORMAL, true, childCode)) {
        ErrorBox(u"Não consegui iniciar a desinstalação: " + OsErrorText(LastOsError()));
        return 2;
    }
    return int32_t(childCode);
}

int32_t PhaseTwo(const TUninstallRun& run) {
    // Only "/VERYSILENT" replays without the window and its outcome box.
    bool removed = false, restartNeeded = false;
    if (run.VerySilent) {
        auto observer = System::MakeRef<TSetupObserver>();
        removed = run.Journal->Undo(*observer, true);
        restartNeeded = run.Journal->RebootNeeded;
    } else {
        removed = RunUninstallForm(*run.Journal, run.AppName, restartNeeded);
    }
    // The installation folder itself still holds the uninstaller's files:
    // the clean-up command removes it after them. A save of the journal
    // that crashed half-way left its temporary file beside it, which would
    // keep the folder.
    if (removed) {
        DeleteFileEvenReadOnly(StagedPath(run.JournalPath));
        run.Journal->RemoveEmptyFileFolders(run.AppDir);
    }

    // After a failed or cancelled replay the application is still (partly)
    // there: the journal and the uninstaller stay so that it can be removed
    // later; only this temporary copy goes.
    uint32_t ignored = 0;
    RunProcess(CleanupCommand(run.InstalledExe, run.JournalPath, run.AppDir, run.Journal->Folders(), run.RunningExe,
                              removed),
               GetTempFolder(), SW_HIDE, false, ignored);
    if (!removed) return 8;
    return restartNeeded ? 9 : 0;
}

} // namespace

std::u16string CleanupCommand(const std::u16string& installedExe, const std::u16string& journalPath,
                              const std::u16string& appDir, const std::vector<std::u16string>& journaledFolders,
                              const std::u16string& runningCopy, bool installToo) {
    std::u16string command = u"cmd.exe /c ping -n 3 127.0.0.1 >nul & ";
    if (installToo) {
        command += u"del /f /q " + Quoted(installedExe) + u" " + Quoted(journalPath) + u" & rmdir " +
                   Quoted(DirOfPath(installedExe)) + u" & rmdir " + Quoted(appDir) + u" & ";
        for (const std::u16string& parent : NewParents(appDir, journaledFolders))
            command += u"rmdir " + Quoted(parent) + u" & ";
    }
    command += u"del /f /q " + Quoted(runningCopy) + u" & rmdir " + Quoted(DirOfPath(runningCopy));
    return command;
}

int32_t UninstallMain(const TStringArray& args) {
    return UninstallMainAt(args, GetOwnExePath());
}

int32_t UninstallMainAt(const TStringArray& args, const std::u16string& runningExe) {
    TUninstallRun run;
    run.Args = args;
    run.RunningExe = runningExe;
    const std::u16string phaseTwoOf = SwitchValue(args, PhaseTwoSwitch);
    run.InstalledExe = phaseTwoOf.empty() ? runningExe : phaseTwoOf;
    run.VerySilent = HasSwitch(args, u"/VERYSILENT");
    run.Interactive = !run.VerySilent && !HasSwitch(args, u"/SILENT");
    run.JournalPath = CombinePath(DirOfPath(run.InstalledExe), u"unins000.dat");
    run.Journal = System::MakeRef<TJournal>();
    if (!run.Journal->LoadFromFile(run.JournalPath)) {
        ErrorBox(u"Não achei o registro da instalação (unins000.dat) ao lado deste programa.");
        return 2;
    }
    run.AppName = run.Journal->GetMeta(u"AppName", u"o programa");
    run.AppDir = run.Journal->GetMeta(u"AppDir", DirOfPath(run.InstalledExe));
    return phaseTwoOf.empty() ? PhaseOne(run) : PhaseTwo(run);
}

} // namespace KS
