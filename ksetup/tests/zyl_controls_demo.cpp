// The standard controls as the installer's pages show them: a label with its
// hint shown, a bevelled panel, a focused edit and a memo with a vertical
// bar, on a borderless 320 x 240 form at (100, 100). Prints
// "backend=" and the active canvas backend, one "expect x y r g b" line per
// screen point whose colour the library decides (system and theme colours
// resolved here), then "ready" once the frame is on the screen, and keeps
// the window up for the seconds given (default 5).
#include <cstdio>
#include <cstdlib>
#include <string>

#include "Zyl.Controls.h"
#include "Zyl.Forms.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Drawn.Theme.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

// The units and the application started as the installer starts them.
void StartShellApplication();

namespace {

constexpr int32_t kLeft = 100, kTop = 100;
constexpr int32_t kPanelX = 170, kPanelY = 10;

// A colour of the library (0x00BBGGRR or a system colour) at a window point.
void Sample(int32_t x, int32_t y, TColor color) {
    const TColor rgb = ResolveColor(color);
    std::printf("expect %d %d %d %d %d\n", kLeft + x, kTop + y, rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

template <class C>
TRef<C> Place(TWinControl* parent, int32_t l, int32_t t, int32_t w, int32_t h) {
    auto c = MakeRef<C>(nullptr);
    c->SetBounds(l, t, w, h);
    c->SetParent(parent);
    return c;
}

} // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
    StartShellApplication();
    TPlatformApp* const app = Application->PlatformApp();

    const auto form = Application->CreateForm<TForm>();
    form->Position = 0;
    form->SetBorderStyle(0);
    form->SetBounds(kLeft, kTop, 320, 240);
    // Not white, so that the bevel's white highlight stands out.
    form->SetColor(0xFAF7F5);

    const auto label = Place<TLabel>(form.Get(), 12, 10, 0, 0);
    label->SetText(u"Pasta de destino:");
    label->Hint = u"Onde o programa fica";
    // Beside the label: the label's hint goes below it.
    const auto panel = Place<TPanel>(form.Get(), kPanelX, kPanelY, 140, 50);
    panel->SetText(u"Painel");
    const auto edit = Place<TEdit>(form.Get(), 12, 96, 200, 23);
    edit->SetText(u"C:\\Ostrel\\Dax");
    const auto memo = Place<TMemo>(form.Get(), 12, 130, 200, 96);
    memo->SetScrollBars(2);
    for (int i = 1; i <= 30; ++i) memo->Lines()->Add(u"Linha " + std::u16string(1, char16_t(u'0' + i % 10)));

    form->Show();
    edit->SetFocus();
    // Shown for the eye only: its 2.5 s hide timer may run out before a slow
    // screenshot, so no point of it is checked.
    Application->ActivateHint(label.Get());

    const std::u16string backend = ActiveCanvasBackendName();
    std::printf("backend=%s\n", std::string(backend.begin(), backend.end()).c_str()); // the names are ASCII
    // The panel's raised bevel and its face.
    Sample(kPanelX, kPanelY, TColor(0xFF000014));
    Sample(kPanelX + 138, kPanelY, TColor(0xFF000014));
    Sample(kPanelX + 139, kPanelY, TColor(0xFF000010));
    Sample(kPanelX, kPanelY + 49, TColor(0xFF000010));
    Sample(kPanelX + 139, kPanelY + 49, TColor(0xFF000010));
    Sample(kPanelX + 20, kPanelY + 5, TColor(0xFF00000F));
    // The memo's vertical bar: its track, between the thumb at the top and
    // the arrow at the bottom.
    Sample(12 + 200 - 9, 130 + 70, ThemeColor(29));
    std::printf("expect %d %d 0 120 215\n", kLeft + 12, kTop + 96 + 11); // the focus border
    std::fflush(stdout);

    const int64_t start = app->TickCount();
    bool ready = false;
    while (app->TickCount() - start < int64_t(seconds) * 1000) {
        app->ProcessMessages();
        if (!ready && app->TickCount() - start > 700) {
            std::printf("ready\n");
            std::fflush(stdout);
            ready = true;
        }
        app->WaitForEvents(50);
    }
    return 0;
}
