// [Run] entries: programs, documents and links started at the end of an
// install, or offered on the finish page ("postinstall"). An entry never
// fails the install: a start that the system refuses is only logged.
#include "KS.Engine.h"

#include <windows.h>

#include "KS.Elevation.h"
#include "KS.Sys.Errors.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "System.Remainder.Os.h"

namespace KS {

namespace {

bool EndsWithIgnoreCase(const std::u16string& text, const std::u16string& suffix) {
    return text.size() >= suffix.size() && EqualsIgnoreCase(text.substr(text.size() - suffix.size()), suffix);
}

// Links and Internet shortcuts are documents: only the shell can open them.
bool NeedsShell(const TParams& entry, const std::u16string& file) {
    return entry.HasFlag(u"shellexec") || EndsWithIgnoreCase(file, u".url") || EndsWithIgnoreCase(file, u".lnk");
}

bool WaitsForEnd(const TParams& entry) {
    if (entry.HasFlag(u"waituntilterminated")) return true;
    return !entry.HasFlag(u"nowait") && !entry.HasFlag(u"postinstall") && !entry.HasFlag(u"shellexec");
}

} // namespace

void TSetupEngine::RunEntries() {
    for (const System::TRef<TParams>& entry : Script->EnsureSection(u"Run")->Entries)
        if (!entry->HasFlag(u"postinstall") && TaskFilter(*entry)) RunEntry(*entry);
}

int32_t TSetupEngine::PostInstallRunCount() {
    int32_t count = 0;
    for (const System::TRef<TParams>& entry : Script->EnsureSection(u"Run")->Entries)
        if (entry->HasFlag(u"postinstall") && TaskFilter(*entry)) ++count;
    return count;
}

TParams* TSetupEngine::PostInstallRunEntry(int32_t index) {
    for (const System::TRef<TParams>& entry : Script->EnsureSection(u"Run")->Entries)
        if (entry->HasFlag(u"postinstall") && TaskFilter(*entry) && index-- == 0) return entry.Get();
    return nullptr;
}

void TSetupEngine::RunPostInstallEntry(int32_t index) {
    TParams* entry = PostInstallRunEntry(index);
    if (!entry) return;
    if (!Observer) Observer = System::MakeRef<TSetupObserver>();
    RunEntry(*entry);
}

void TSetupEngine::RunEntry(const TParams& entry) {
    const std::u16string file = Context->ExpandConstants(entry.GetValue(u"Filename", u""));
    if (file.empty()) return;
    if (entry.HasFlag(u"skipifdoesntexist") && GetFileAttributesW(System::WStr(file)) == INVALID_FILE_ATTRIBUTES)
        return;
    const std::u16string arguments = Context->ExpandConstants(entry.GetValue(u"Parameters", u""));
    const std::u16string folder = Context->ExpandConstants(entry.GetValue(u"WorkingDir", u"{app}"));
    const uint16_t show = entry.HasFlag(u"runhidden") ? SW_HIDE : SW_SHOWNORMAL;
    const bool wait = WaitsForEnd(entry);
    std::u16string status = entry.GetValue(u"StatusMsg", u"");
    if (status.empty()) status = u"Executando " + NameOfPath(file) + u"...";
    Observer->Status(status);
    Log(u"executando: " + file + u" " + arguments);
    uint32_t exitCode = 0;
    const bool started = NeedsShell(entry, file)
                             ? ShellExecuteAndWait(u"open", file, arguments, folder, show, wait, exitCode)
                             : RunProcess(u"\"" + file + u"\" " + arguments, folder, show, wait, exitCode);
    if (!started) Log(u"não consegui executar " + file + u": " + OsErrorText(LastOsError()));
}

} // namespace KS
