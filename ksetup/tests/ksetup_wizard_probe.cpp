// The installation wizard on the real shell, drawn by the canvas backend of
// ZYL_CANVAS (the program's own chain when unset): an engine from the
// wizard tests' script with a scripted provider, driven by its Next button
// through the welcome, destination, options and ready pages, held on the
// installing page with the bar at 420 per mille and a status line that
// fills its label, then the finish page of that run and the finish page of
// a second wizard whose install fails.
// Prints "backend=" and the active backend, then per page "page NAME", one
// "expect x y r g b" line per screen point whose colour the page decides
// (client points moved to the screen), an "ink left top right bottom edge"
// line for the status line (its ink must end where a GDI run of the same
// text ends), "ready" once the page is on the screen, and waits for a line
// on its standard input before going on; it ends after the last page or
// when its input ends. A client area other than 780 x 520 is reported as a
// "fault" line.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "KS.Startup.h"
#include "KS.Sys.Files.h"
#include "KS.Test.Engine.h"
#include "KS.Test.Wizard.h"
#include "KS.Wizard.h"
#include "ScreenProbe.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Text.h"
#include "Zyl.Platform.Win.h"
#include "Zyl.Test.Image.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;
using System::TRef;
using Zyl::Application;

namespace {

struct TRgb {
    int R, G, B;
};

constexpr TRgb Accent{0x1F, 0x6F, 0xEB};
constexpr TRgb DisabledFill{0xEB, 0xEE, 0xF1};
constexpr TRgb DoneMarker{0x19, 0xB5, 0xA5};
constexpr TRgb Track{0xDD, 0xE2, 0xE8};
constexpr int ClientWidth = 780, ClientHeight = 520;
constexpr int StepCount = 6;  // welcome, destination, options, ready, installing, finish

// The steps panel's background at a row, before the rings.
TRgb GradientRow(int y) {
    const int t = y * 255 / ClientHeight;
    return {10 + t * 10 / 255, 26 + t * 63 / 255, 51 + t * 117 / 255};
}

// Lines of the standard input, counted by a reader thread; the end of the
// input counts as every line to come.
class TProbeInput {
public:
    TProbeInput() {
        std::thread([this] {
            char line[256];
            while (std::fgets(line, sizeof line, stdin)) ++lines_;
            ended_ = true;
        }).detach();
    }
    // Keeps the window up until the next line (or the end) arrives.
    void AwaitNext(Zyl::TPlatformApp& app) {
        const int seen = taken_++;
        ShowFrameUntil(app, [&] { return ended_ || lines_ > seen; });
    }

private:
    std::atomic<int> lines_{0};
    std::atomic<bool> ended_{false};
    int taken_ = 0;
};

// The visible top-level window of this thread with that caption.
HWND VisibleWindow(const std::u16string& caption) {
    struct TSearch {
        std::wstring Caption;
        HWND Found = nullptr;
    } search{System::WStr(caption), nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto& s = *reinterpret_cast<TSearch*>(data);
            wchar_t text[128] = {};
            GetWindowTextW(window, text, 128);
            if (!IsWindowVisible(window) || s.Caption != text) return TRUE;
            s.Found = window;
            return FALSE;
        },
        LPARAM(&search));
    return search.Found;
}

class TWizardProbe {
public:
    explicit TWizardProbe(Zyl::TPlatformApp& app) : app_(app) {}

    // The current page of the form: its expected points, then the wait.
    void Show(const char* name, TWizardForm& form, int step, bool nextEnabled) {
        HWND window = VisibleWindow(form.GetText());
        RECT client{};
        GetClientRect(window, &client);
        origin_ = {0, 0};
        ClientToScreen(window, &origin_);
        std::printf("page %s\nclient %ld %ld %ld %ld\n", name, origin_.x, origin_.y, client.right, client.bottom);
        if (client.right != ClientWidth || client.bottom != ClientHeight)
            std::printf("fault client area %ldx%ld\n", client.right, client.bottom);
        Expect(115, 0, GradientRow(0));
        Expect(200, 180, GradientRow(180));
        for (int i = 0; i < StepCount; ++i) {
            const int y = 214 + 36 * i;
            Expect(40, y, i < step ? DoneMarker : i == step ? Accent : GradientRow(y));
        }
        Expect(634, 487, nextEnabled ? Accent : DisabledFill);
        std::fflush(stdout);
    }
    // Points of the page's own.
    void Expect(int x, int y, TRgb rgb) {
        std::printf("expect %ld %ld %d %d %d\n", origin_.x + x, origin_.y + y, rgb.R, rgb.G, rgb.B);
    }
    // The ink inside a client box must end at `edge`, a client column.
    void ExpectInkEnd(const Zyl::TRect& box, int edge) {
        std::printf("ink %ld %ld %ld %ld %ld\n", origin_.x + box.Left, origin_.y + box.Top, origin_.x + box.Right,
                    origin_.y + box.Bottom, origin_.x + edge);
    }
    void Await() {
        std::fflush(stdout);
        input_.AwaitNext(app_);
    }

private:
    Zyl::TPlatformApp& app_;
    TProbeInput input_;
    POINT origin_{};
};

void Next(TWizardForm& form) {
    form.NextButton->OnButtonClick(form.NextButton);
}

// The control's box in its form's client area.
Zyl::TRect ClientBox(Zyl::TControl& control, Zyl::TCustomForm& form) {
    Zyl::TRect box{0, 0, control.Width(), control.Height()};
    for (Zyl::TControl* c = &control; c && c != &form; c = c->Parent()) {
        box.Left += c->Left(), box.Right += c->Left();
        box.Top += c->Top(), box.Bottom += c->Top();
    }
    return box;
}

// The label's font on a GDI canvas of the label's size, with white under
// the text.
TRef<Zyl::TPlatformCanvas> GdiLabelCanvas(Zyl::TLabel& label, TRef<Zyl::TPlatformSurface>& surface) {
    surface = MakeRef<Zyl::TWinSurface>(label.Width(), label.Height(), false);
    TRef<Zyl::TPlatformCanvas> canvas = surface->CreateCanvas();
    canvas->FillRect(0, 0, label.Width(), label.Height(), 0xFFFFFF);
    canvas->SetFont(label.Font()->Name(), label.Font()->Height(), int32_t(label.Font()->Style()) & 15, 0);
    canvas->SetBackground(0xFFFFFF, true);
    return canvas;
}

// A status line that fills the label, to the last two pixels, with a number
// at its end: the text a wrong drawing cuts first.
std::u16string FillingStatus(Zyl::TLabel& label) {
    TRef<Zyl::TPlatformSurface> surface;
    const TRef<Zyl::TPlatformCanvas> canvas = GdiLabelCanvas(label, surface);
    std::u16string text = u"Baixando e instalando: 46";
    for (int32_t w = 0, h = 0;; text += u'6') {
        canvas->TextExtent(text + u'6', w, h);
        if (w > label.Width() - 2) return text;
    }
}

// The column after the last inked one of a GDI run of the label's text.
int GdiInkEnd(Zyl::TLabel& label) {
    TRef<Zyl::TPlatformSurface> surface;
    TRef<Zyl::TPlatformCanvas> canvas = GdiLabelCanvas(label, surface);
    canvas->TextOut(0, 0, label.GetText());
    canvas = nullptr;
    surface->FinishDrawing();
    return Zyl::Testing::InkBox(*surface).Right;
}

// A wizard for the script on the provider, shown as the program shows it.
TRef<TWizardForm> OpenWizard(const std::u16string& folder, const TRef<TScriptedProvider>& provider,
                             TRef<TSetupEngine>& engine) {
    engine = LoadedEngine(WizardScript(folder, u"WizardProbe"));
    engine->Provider = provider;
    TRef<TWizardForm> form = Application->CreateForm<TWizardForm>();
    form->Build(*engine);
    form->Show();
    return form;
}

} // namespace

int main() {
    // The pointer rests where no page appears, so that no button is hovered.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    KS::InitializeUnits();
    KS::InitializeApplication();
    Zyl::TPlatformApp& app = *Application->PlatformApp();
    PrintActiveCanvasBackend();
    const std::u16string folder = GetTempFolder() + u"\\ksetup-wizard-probe-" +
                                  System::Int64ToStr(int64_t(GetCurrentProcessId()));
    TWizardProbe probe(app);

    TRef<TSetupEngine> engine;
    const TRef<TScriptedProvider> succeeding = MakeRef<TScriptedProvider>();
    TWizardForm* shown = nullptr;
    succeeding->OnInstall = [&](TSetupEngine&, TSetupObserver& observer) {
        Zyl::TLabel& status = *shown->StatusLabel;
        observer.Status(FillingStatus(status));
        observer.Progress(420, 1000);
        probe.Show("installing", *shown, 4, false);
        // The bar of 474 pixels at 42 %: its fill ends at 199, the track goes on.
        probe.Expect(230 + 38 + 100, 104 + 96 + 31, Accent);
        probe.Expect(230 + 38 + 300, 104 + 96 + 31, Track);
        // The soft canvas measures and draws with fonts of its own.
        if (Zyl::ActiveCanvasBackendName() != u"soft") {
            const Zyl::TRect box = ClientBox(status, *shown);
            probe.ExpectInkEnd(box, box.Left + GdiInkEnd(status));
        }
        probe.Await();
        return true;
    };
    TRef<TWizardForm> form = OpenWizard(folder, succeeding, engine);
    shown = form.Get();
    const char* const before[] = {"welcome", "destination", "options", "ready"};
    for (int step = 0; step < 4; ++step) {
        probe.Show(before[step], *form, step, true);
        probe.Await();
        Next(*form);
    }
    // The install ran inside the last Next; the finish page of its success.
    probe.Show("finish-success", *form, 5, true);
    probe.Expect(322, 152, {0x22, 0xA5, 0x59});
    probe.Await();
    form->SetVisible(false);
    form->ReleaseForm();
    Application->MainForm = nullptr;

    const TRef<TScriptedProvider> failing = MakeRef<TScriptedProvider>();
    failing->OnInstall = [](TSetupEngine&, TSetupObserver&) { return false; };
    TRef<TSetupEngine> failingEngine;
    form = OpenWizard(folder, failing, failingEngine);
    // Welcome to ready, then the install that fails and leads to the finish page.
    for (int i = 0; i < 4; ++i) Next(*form);
    probe.Show("finish-failure", *form, 5, true);
    probe.Expect(322, 152, {0xD1, 0x34, 0x38});
    probe.Await();
    form->SetVisible(false);
    DeleteFolderTree(folder);
    return 0;
}
