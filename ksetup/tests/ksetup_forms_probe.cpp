// Starts the application as the installer does and shows a borderless form
// of 300 x 200 at (100, 100) holding a scrolling box whose content needs the
// vertical bar, and a control whose hint is shown at once; prints "backend="
// and the active canvas backend, the pixels to expect on the screen (hint
// border, hint background, scroll track), then "ready" once the frame is on
// the screen, and keeps the form up for the seconds given (default 5).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "KS.Startup.h"
#include "ScreenProbe.h"
#include "Zyl.Forms.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Drawn.Theme.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

template <class C>
TRef<C> Place(TWinControl* parent, int32_t x, int32_t y, int32_t w, int32_t h) {
    TRef<C> control = MakeRef<C>(nullptr);
    control->SetBounds(x, y, w, h);
    control->SetParent(parent);
    return control;
}

void Expect(int32_t x, int32_t y, int32_t color) {
    std::printf("expect %d %d %d %d %d\n", x, y, color & 0xFF, color >> 8 & 0xFF, color >> 16 & 0xFF);
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    KS::InitializeUnits();
    KS::InitializeApplication();
    Application->HintHidePause = 60000;
    TRef<TForm> form = Application->CreateForm<TForm>();
    form->SetBorderStyle(0);
    form->Position = 0;
    form->SetBounds(100, 100, 300, 200);
    TRef<TScrollingWinControl> box = Place<TScrollingWinControl>(form.Get(), 10, 10, 150, 100);
    Place<TCustomControl>(box.Get(), 0, 0, 60, 300);
    TRef<TCustomControl> hinted = Place<TCustomControl>(form.Get(), 180, 20, 80, 24);
    hinted->Hint = u"Dica";
    form->Show();
    Application->ActivateHint(hinted.Get());

    // The hint's top-left corner lies under the control, 8 to the right.
    Expect(100 + 188, 100 + 46, ThemeColor(60));
    Expect(100 + 189, 100 + 47, ThemeColor(59));
    Expect(100 + 10 + 150 - 9, 100 + 10 + 100 - 17 - 4, ThemeColor(29));
    RunScreenProbe(*Application->PlatformApp(), seconds);
    // Everything goes while the shell is still up.
    Application->CancelHint();
    hinted = nullptr, box = nullptr, form = nullptr;
    Application->MainForm = nullptr;
    Application->IdleTick();
    std::printf("closed\n");
    std::fflush(stdout);
    return 0;
}
