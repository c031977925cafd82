// The drawn widgets on the real shell application, started as the installer
// starts: two borderless windows side by side. The first, 320 x 240 at
// (100, 100), holds a focused button, a checked box, a text box whose
// selection stays shown without the focus and a list scrolled to its
// middle; the second, 200 x 240 at (440, 100), an open list-only combo box
// above a button that its list covers. Each window keeps its own focus, so
// the button and the combo both show theirs. Prints "backend=" and the
// active canvas backend, then "ready" once the frames are on the screen,
// and keeps the windows up for the seconds given (default 5).
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "KS.Startup.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Drawn.Combo.h"
#include "Zyl.Platform.Shell.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

TRef<TPlatformControl> Put(TPlatformWindow& window, TRef<TPlatformControl> control, int32_t x, int32_t y,
                           int32_t w, int32_t h, const std::u16string& text = {}) {
    window.AddChild(control.Get(), x, y);
    control->SetBounds(x, y, w, h);
    if (!text.empty()) control->SetText(text);
    return control;
}

TRef<TPlatformWindow> MakeWindow(TDrawnApp& app, int32_t x, int32_t y, int32_t w, int32_t h) {
    const TRef<TPlatformWindow> window = app.CreateWindow();
    window->SetBorderStyle(0);
    window->SetPosition(x, y);
    window->SetSize(w, h);
    return window;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    KS::InitializeUnits();
    KS::InitializeApplication();
    const auto app = MakeRef<TDrawnApp>(TRef<TPlatformApp>(KS::ShellApplication()));

    const TRef<TPlatformWindow> first = MakeWindow(*app, 100, 100, 320, 240);
    const auto button = Put(*first, app->CreateButton(), 10, 10, 100, 28, u"Instalar");
    const auto check = Put(*first, app->CreateCheckBox(), 10, 50, 140, 20, u"Criar atalho");
    check->SetChecked(true);
    const auto edit = Put(*first, app->CreateEdit(), 130, 10, 180, 24, u"Ostrel Dax");
    edit->SetHideSelection(false);
    edit->SetSelection(0, 6);
    const auto list = Put(*first, app->CreateListBox(), 10, 80, 160, 150);
    for (int32_t i = 1; i <= 30; ++i) list->AddItem(u"Componente " + std::u16string(1, char16_t(u'A' + i % 26)));
    list->SetItemIndex(14);
    list->SetTopIndex(10);
    button->SetFocus();
    first->Show();

    const TRef<TPlatformWindow> second = MakeWindow(*app, 440, 100, 200, 240);
    const auto covered = Put(*second, app->CreateButton(), 10, 60, 180, 120, u"Coberto");
    const auto combo = Put(*second, app->CreateComboBox(), 10, 10, 180, 24);
    combo->SetListOnly(true);
    for (const char16_t* name : {u"Português", u"English", u"Español", u"Français", u"Deutsch"}) combo->AddItem(name);
    combo->SetItemIndex(0);
    second->Show();
    combo->SetFocus();
    combo->SetDroppedDown(true);

    const std::u16string backend = ActiveCanvasBackendName();
    std::printf("backend=%s\n", std::string(backend.begin(), backend.end()).c_str()); // the names are ASCII
    std::fflush(stdout);
    const ULONGLONG start = GetTickCount64();
    bool ready = false;
    while (GetTickCount64() - start < ULONGLONG(seconds) * 1000) {
        app->ProcessMessages();
        if (!ready && GetTickCount64() - start > 700) {
            std::printf("ready\n");
            std::fflush(stdout);
            ready = true;
        }
        app->WaitForEvents(50);
    }
    for (TPlatformWindow* window : {first.Get(), second.Get()})
        static_cast<TShellWinWindow&>(*NativeWindowOf(window)).Destroy();
    return 0;
}
