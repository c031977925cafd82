#include "KS.Program.h"

#include <windows.h>

#include <cstdlib>

#include "KS.CommandLine.h"
#include "KS.Install.h"
#include "KS.Startup.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"
#include "KS.Sys.Text.h"
#include "KS.Uninstall.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Streams.h"

namespace KS {

std::u16string LoadSetupScript() {
    System::TResourceStream resource(GetModuleHandleW(nullptr), u"SETUPSCRIPT",
                                     System::ResourceId(System::kResourceTypeRcData));
    return DecodeUtf8(static_cast<const uint8_t*>(resource.Memory()), resource.Size());
}

int32_t ProgramRun(const std::u16string& scriptText) {
    // The widget library is set up by the first box or window that needs it
    // (InitializeApplication): a silent run that shows nothing loads no
    // drawing library and makes no window.
    EnsureComInitialized();
    const TStringArray args = GetCommandLineArgs();
    if (!SwitchValue(args, u"/KSETUPPHASE2").empty()) return UninstallMain(args);
    // A missing journal reads as all bits set, directory bit included: only
    // an existing file of that name makes this run the uninstaller.
    const DWORD attributes =
        GetFileAttributesW(System::WStr(CombinePath(DirOfPath(GetOwnExePath()), u"unins000.dat")));
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return InstallMain(args, scriptText);
    return UninstallMain(args);
}

void ProgramMain() {
    InitializeUnits();
    const std::u16string scriptText = LoadSetupScript();
    // exit, not a return: the units' finalisation and the wait for running
    // threads happen on the way out.
    const int32_t code = ProgramRun(scriptText);
    FinalizeUnits();
    std::exit(code);
}

} // namespace KS
