// The uninstall window as the uninstaller shows it, on the real shell
// application, stopped at 60 % of a replay: its timer is stopped so that
// nothing is removed, and the status and progress handlers are fed as the
// journal's replay feeds them. Prints "backend=" and the active canvas
// backend, the screen pixels to expect (the white client area, the bar's
// fill, its highlight and its track), then "ready" once the frame is on the
// screen, and keeps the window up for the seconds given (default 5).
#include <cstdio>
#include <cstdlib>

#include "KS.Journal.h"
#include "KS.Startup.h"
#include "KS.UninstallForm.h"
#include "ScreenProbe.h"

using namespace Zyl;

namespace {

// A client point of the form and its expected colour (0x00BBGGRR).
void Expect(const TCustomForm& form, int32_t x, int32_t y, TColor color) {
    const TPoint at = form.ClientToScreen(TPoint{x, y});
    std::printf("expect %d %d %d %d %d\n", at.X, at.Y, color & 0xFF, color >> 8 & 0xFF, color >> 16 & 0xFF);
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    KS::InitializeUnits();
    KS::InitializeApplication();
    const System::TRef<KS::TJournal> journal = System::MakeRef<KS::TJournal>();
    System::TRef<KS::TUninstallForm> form = Application->CreateForm<KS::TUninstallForm>();
    form->Build(*journal, u"Ostrel Dax");
    form->RunTimer->SetEnabled(false);
    form->Show();
    form->UninstallStatusHandler(u"Removendo arquivos...");
    form->UninstallProgressHandler(3, 5);

    // The bar at (220, 140): its track from y 24 to 34, the fill's
    // highlight from y 25 to 29, the fill 60 % of 390 pixels wide.
    Expect(*form, 630, 10, KS::kWhite);
    Expect(*form, 220 + 100, 140 + 31, KS::kAccent);
    Expect(*form, 220 + 100, 140 + 27, KS::kAccentHovered);
    Expect(*form, 220 + 350, 140 + 31, 0xE8E2DD);
    std::fflush(stdout);
    RunScreenProbe(*Application->PlatformApp(), seconds);
    // Everything goes while the shell is still up.
    Application->MainForm = nullptr;
    form->ReleaseForm();
    form = nullptr;
    Application->FreeReleasedForms();
    std::printf("closed\n");
    std::fflush(stdout);
    return 0;
}
