#include "KS.Startup.h"

#include <windows.h>

#include <cstdlib>

#include "System.Remainder.Faults.h"
#include "System.Remainder.Os.h"
#include "Zyl.Forms.h"
#include "Zyl.Graphics.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.D2D.h"
#include "Zyl.Platform.GdiPlus.h"
#include "Zyl.Platform.Shell.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Platform.Win.h"

namespace KS {

TLocaleSettings LocaleSettings;
int32_t InitStage = 0;

namespace {

void FillLocaleSettings() {
    LocaleSettings.ShortDateFormat = u"dd/MM/yyyy";
    LocaleSettings.LongDateFormat = u"dddd, d' de 'MMMM' de 'yyyy";
    LocaleSettings.ShortTimeFormat = u"HH:mm";
    LocaleSettings.LongTimeFormat = u"HH:mm:ss";
    LocaleSettings.DateSeparator = u'/';
    LocaleSettings.TimeSeparator = u':';
    LocaleSettings.ShortDayNames = {u"dom", u"seg", u"ter", u"qua", u"qui", u"sex", u"sab"};
    LocaleSettings.LongDayNames = {u"domingo",      u"segunda-feira", u"terca-feira", u"quarta-feira",
                                   u"quinta-feira", u"sexta-feira",   u"sabado"};
    LocaleSettings.ShortMonthNames = {u"jan", u"fev", u"mar", u"abr", u"mai", u"jun",
                                      u"jul", u"ago", u"set", u"out", u"nov", u"dez"};
    LocaleSettings.LongMonthNames = {u"janeiro", u"fevereiro", u"marco",    u"abril",   u"maio",     u"junho",
                                     u"julho",   u"agosto",    u"setembro", u"outubro", u"novembro", u"dezembro"};
}

System::TRef<Zyl::TShellWinApp>& ShellAppSlot() {
    static System::TRef<Zyl::TShellWinApp> app;
    return app;
}

} // namespace

void InitializeApplication() {
    if (ShellAppSlot()) return;
    Zyl::SetCanvasChoice(u"d2d,gdi");
    if (!Zyl::CurrentPlatformServices()) Zyl::ActivateCanvasBackend();
    ShellAppSlot() = System::MakeRef<Zyl::TShellWinApp>();
    Zyl::InitializeApplication(ShellAppSlot());
}

Zyl::TShellWinApp* ShellApplication() { return ShellAppSlot().Get(); }

void InitializeUnits() {
    // Once per process, after the statics of every unit exist, so that it
    // runs before their destructors at exit (and after the wait for the
    // threads started later).
    static const bool finalizationRegistered = (std::atexit(FinalizeUnits), true);
    (void)finalizationRegistered;
    try {
        // The core library's locks, thread bookkeeping and unhandled-exception
        // exit are set up by its own static initialisation, before this runs.
        InitStage = 1;
        System::InstallHardwareFaultHandler();
        InitStage = 3;
        FillLocaleSettings();
        Zyl::RegisterCanvasPresenters();
        InitStage = 4;
        Zyl::RegisterSoftCanvasBackend();
        InitStage = 5;
        Zyl::RegisterD2DCanvasBackend();
        InitStage = 6;
        Zyl::RegisterGdipCanvasBackend();
        InitStage = 7;
        Zyl::RegisterWinCanvasBackend();
        InitStage = 8;
        Zyl::InitializeGraphicsUnit();
        InitStage = 9;
        Zyl::InitializeFormsUnit();
        InitStage = 10;
    } catch (...) {
        InitStage = 0;
        throw;
    }
}

void FinalizeUnits() {
    if (InitStage >= 10) Zyl::FinalizeFormsUnit();
    // The native backend's tray registry lets its icons go: each one that
    // nothing else holds leaves the notification area and frees its icon.
    if (InitStage >= 8) Zyl::ReleaseTrayIcons();
    InitStage = 0;
}

int32_t ApplicationMessageBox(const std::u16string& text, const std::u16string& title, uint32_t flags) {
    // The first box of a run may come before any window: the application
    // object is set up here then (no display is needed until a box shows).
    InitializeApplication();
    return Zyl::Application->MessageBox(text, title, flags);
}

TMessageBoxProc& MessageBoxProc() {
    static TMessageBoxProc proc = ApplicationMessageBox;
    return proc;
}

int32_t ShowMessageBox(const std::u16string& text, const std::u16string& title, uint32_t flags) {
    return MessageBoxProc()(text, title, flags);
}

} // namespace KS
