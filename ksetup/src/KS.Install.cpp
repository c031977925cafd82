#include "KS.Install.h"

#include <windows.h>

#include "KS.CommandLine.h"
#include "KS.Config.h"
#include "KS.Elevation.h"
#include "KS.Engine.h"
#include "KS.Online.h"
#include "KS.Startup.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"
#include "KS.Wizard.h"

namespace KS {

namespace {

constexpr char16_t BoxTitle[] = u"Instalador";

void ErrorBox(const std::u16string& text) {
    ShowMessageBox(text, BoxTitle, MB_OK | MB_ICONERROR);
}

} // namespace

bool RunNewerInstaller(TSetupEngine& engine, TOnlineProvider& provider, TSetupObserver& observer,
                       const TStringArray& args, uint32_t& exitCode) {
    std::u16string newPath;
    System::TRef<TOwnedHandle> hold;
    // Whatever stops the check, an exception too (a function that cannot be
    // bound, memory), leaves the run to this installer.
    try {
        if (!provider.CheckSelfUpdate(observer, GetOwnExePath(), newPath, hold)) return false;
    } catch (...) {
        engine.Log(u"ERRO: a verificação de atualização do instalador parou: " + CaughtExceptionText());
        return false;
    }
    // The added switch keeps the new copy from looking for an update again.
    const std::u16string commandLine = u"\"" + newPath + u"\" " + JoinCommandLine(args) + u" /KSETUPUPDATED";
    // An interactive run leaves the screen to the new copy at once; a silent
    // one reports the new copy's outcome as its own.
    const bool wait = engine.SilentLevel >= 1;
    return RunProcess(commandLine, u"", SW_SHOWNORMAL, wait, exitCode);
}

std::u16string DefaultCatalogUrlTemplate() {
    return u"https://" + std::u16string(kCatalogRawHost) + u"/ostrelworks/compiler/main/files/infs/($name)";
}

int32_t InstallMain(const TStringArray& args, const std::u16string& scriptText) {
    std::u16string urlTemplate = SwitchValue(args, u"/URL");
    if (urlTemplate.empty()) urlTemplate = DefaultCatalogUrlTemplate();

    auto engine = System::MakeRef<TSetupEngine>();
    engine->Init();
    // Before the switches: neither "/SILENT" nor "/SUPPRESSMSGBOXES" may hide
    // that the program itself is broken.
    if (!engine->LoadScript(scriptText)) {
        ErrorBox(engine->LastError);
        return 2;
    }
    auto provider = System::MakeRef<TOnlineProvider>(urlTemplate);
    engine->Provider = provider;
    if (!engine->ParseCommandLine(args)) {
        ErrorBox(u"Opção de linha de comando inválida.");
        return 1;
    }

    if (engine->Context->AllUsers && !ElevationSeams().IsElevated()) {
        uint32_t childCode = 0;
        if (RelaunchElevated(args, childCode)) return int32_t(childCode);
        if (engine->SilentLevel <= 1)
            ErrorBox(u"É preciso permissão de administrador para instalar " +
                     engine->Script->SetupParams()->GetValue(u"AppName", u"") + u".");
        return 5;
    }

    if (!HasSwitch(args, u"/NOUPDATE") && !HasSwitch(args, u"/KSETUPUPDATED")) {
        uint32_t childCode = 0;
        if (RunNewerInstaller(*engine, *provider, *System::MakeRef<TSetupObserver>(), args, childCode))
            return int32_t(childCode);
    }

    if (engine->SilentLevel < 1) return RunInstallWizard(*engine);
    auto observer = System::MakeRef<TSetupObserver>();
    if (engine->PrepareProvider(observer) && engine->Install(observer)) return engine->RebootNeeded ? 9 : 0;
    if (engine->SilentLevel <= 1 && !engine->SuppressMsgBoxes) ErrorBox(engine->LastError);
    return 8;
}

} // namespace KS
