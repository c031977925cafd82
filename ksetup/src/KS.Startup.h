// Start-up of the program's units, in their dependency order, and the one
// way the entry code shows a message box.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace Zyl {
class TShellWinApp;
}

namespace KS {

// Dates and times as the program writes them: Brazilian Portuguese, with
// the names spelt without accents.
struct TLocaleSettings {
    std::u16string ShortDateFormat;
    std::u16string LongDateFormat;
    std::u16string ShortTimeFormat;
    std::u16string LongTimeFormat;
    char16_t DateSeparator = u'/';
    char16_t TimeSeparator = u':';
    std::array<std::u16string, 7> ShortDayNames;   // from Sunday
    std::array<std::u16string, 7> LongDayNames;
    std::array<std::u16string, 12> ShortMonthNames; // from January
    std::array<std::u16string, 12> LongMonthNames;
};

// Filled by InitializeUnits.
extern TLocaleSettings LocaleSettings;

// How far InitializeUnits got: 0 before it (and after a failed one), then 1,
// 3, 4 ... 10. Shutdown finalises only the units whose stage was reached.
extern int32_t InitStage;

// Initialises every unit once, first thing in ProgramMain. Creates no window
// and chooses no canvas. An exception sets InitStage back to 0 and goes on.
// The first call also registers FinalizeUnits to run at exit.
void InitializeUnits();
// The units' finalisation, for the stages reached: the forms and the
// application object go, then the tray icons that nothing else holds.
// InitStage is 0 afterwards, so later calls do nothing. ProgramMain calls it
// before std::exit, while the shell the forms stand on is still there (a
// function-local static of a later unit is gone by the time an atexit
// handler of an earlier one runs); the atexit registration covers any other
// way out.
void FinalizeUnits();

// The application's start, before any window or message box: the canvas
// chain "d2d,gdi" (unless "ZYL_CANVAS" chose another), its first available
// backend activated when no services are installed yet, and the process's
// shell application, handed to the widget library's application object.
// Makes no window and no device context; later calls do nothing.
void InitializeApplication();
// The shell application InitializeApplication made, nil before.
Zyl::TShellWinApp* ShellApplication();

// Every message box of the entry code and of the installer's windows: the
// text, the title ("Instalador" or "Desinstalar") and flags in the MessageBoxW
// style; returns 1 OK, 2 Cancel, 6 Yes or 7 No, as IDOK..IDNO.
int32_t ShowMessageBox(const std::u16string& text, const std::u16string& title, uint32_t flags);

// The application object's box, after InitializeApplication: the default
// of MessageBoxProc.
int32_t ApplicationMessageBox(const std::u16string& text, const std::u16string& title, uint32_t flags);

// What ShowMessageBox calls; tests replace it so that no box ever waits for
// a click.
using TMessageBoxProc = int32_t (*)(const std::u16string& text, const std::u16string& title, uint32_t flags);
TMessageBoxProc& MessageBoxProc();

} // namespace KS
