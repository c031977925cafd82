// Random sequences over forms on the drawn application with an offscreen
// shell: creating, showing, closing, releasing and freeing forms, controls
// made, focused, hovered, pressed and destroyed, keys, and time steps that run
// the hint and idle timers. After each step every live form's active control
// lies in that form; at the end every form is gone. The sanitizers watch the
// uncounted pointers (active control, hint control and form, mouse control).
//
// Input: one byte per step followed by its arguments, one byte each.
#include <algorithm>
#include <vector>

#include "KsFuzz.h"
#include "Zyl.Forms.h"
#include "Zyl.Platform.Drawn.h"
#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Platform.Soft.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

class TFuzzForm : public TForm {
public:
    explicit TFuzzForm(System::TComponent* owner) : TForm(owner) {
        OnClose = [this](System::TObject*, uint8_t& action) { action = CloseAction; };
    }
    uint8_t CloseAction = 1;
};

class TFuzzControl : public TCustomControl {
public:
    explicit TFuzzControl(System::TComponent* owner) : TCustomControl(owner) { TabStop = true; }
    bool Cancel = false;
    bool IsCancelButton() const override { return Cancel; }
};

TOffscreenWindow* ShellOf(TCustomForm& form) {
    auto* drawn = static_cast<TDrawnWindow*>(form.GetPlatformWindow());
    return drawn ? static_cast<TOffscreenWindow*>(drawn->ShellWindow.Get()) : nullptr;
}

void StartOnce() {
    static bool started = false;
    if (started) return;
    started = true;
    SetCurrentPlatformServices(MakeRef<TSoftServices>());
    InitializeFormsUnit();
    InitializeApplication(MakeRef<TOffscreenApp>());
}

bool LiesIn(const TControl* control, const TControl* container) {
    for (const TControl* c = control; c; c = c->Parent())
        if (c == container) return true;
    return false;
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    StartOnce();
    KsFuzz::TByteReader in(data);
    std::vector<TRef<TFuzzForm>> forms;
    std::vector<TRef<TFuzzControl>> controls;
    TPlatformApp& app = *Application->PlatformApp();
    const auto form = [&]() -> TFuzzForm* { return forms.empty() ? nullptr : forms[in.Byte() % forms.size()].Get(); };
    const auto control = [&]() -> TFuzzControl* {
        return controls.empty() ? nullptr : controls[in.Byte() % controls.size()].Get();
    };
    for (int step = 0; in.More() && step < 200; ++step) {
        switch (in.Byte() % 13) {
        case 0:
            if (forms.size() < 6) {
                TRef<TFuzzForm> f = Application->CreateForm<TFuzzForm>();
                f->CloseAction = in.Byte() % 3;
                f->Position = in.Byte() % 5;
                forms.push_back(f);
            }
            break;
        case 1:
            if (TFuzzForm* f = form()) f->Show();
            break;
        case 2:
            if (TFuzzForm* f = form()) f->Close();
            break;
        case 3:
            if (TFuzzForm* f = form()) f->ReleaseForm();
            break;
        case 4:
            Application->FreeReleasedForms();
            break;
        case 5:
            if (controls.size() < 16) {
                TRef<TFuzzControl> c = MakeRef<TFuzzControl>(nullptr);
                const uint8_t b = in.Byte();
                c->SetBounds(in.Byte() % 200, in.Byte() % 160, 10 + in.Byte() % 90, 10 + in.Byte() % 60);
                if (b & 1) c->Hint = b & 2 ? u"Dica|longa" : u"|nada";
                c->Cancel = b & 4;
                TWinControl* parent = b & 8 ? static_cast<TWinControl*>(control()) : form();
                if (parent) c->SetParent(parent);
                controls.push_back(c);
            }
            break;
        case 6:
            if (TFuzzControl* c = control(); c && c->HandleAllocated()) c->SetFocus();
            break;
        case 7:
            if (TFuzzForm* f = form(); f && ShellOf(*f)) ShellOf(*f)->RouteMouseMove(in.Byte(), in.Byte(), 0);
            break;
        case 8:
            app.WaitForEvents(in.Byte() * 10);
            break;
        case 9:
            if (!controls.empty()) {
                const size_t i = in.Byte() % controls.size();
                controls[i]->SetParent(nullptr);
                controls.erase(controls.begin() + std::ptrdiff_t(i));
            }
            break;
        case 10:
            if (!forms.empty()) forms.erase(forms.begin() + std::ptrdiff_t(in.Byte() % forms.size()));
            break;
        case 11:
            if (TFuzzForm* f = form(); f && ShellOf(*f)) {
                static constexpr int32_t keys[] = {0xFF09, 0xFF1B, 0xFF0D, 's'};
                const uint8_t b = in.Byte();
                ShellOf(*f)->RouteKeyDown(keys[b % 4], (b >> 2) & 13);
            }
            break;
        case 12:
            if (TFuzzForm* f = form(); f && ShellOf(*f)) {
                const int32_t x = in.Byte(), y = in.Byte();
                ShellOf(*f)->RouteMouseDown(x, y, MouseButtonLeft, 0);
                ShellOf(*f)->RouteMouseUp(x, y, MouseButtonLeft, 0);
            }
            break;
        }
        for (TCustomForm* f : Screen->Forms) KS_FUZZ_CHECK(!f->ActiveControl || LiesIn(f->ActiveControl, f));
    }
    for (const TRef<TFuzzForm>& f : forms) f->ReleaseForm();
    forms.clear();
    controls.clear();
    Application->MainForm = nullptr;
    Application->FreeReleasedForms();
    Application->CancelHint();
    app.WaitForEvents(200);
    Screen->ActiveForm = nullptr;
    KS_FUZZ_CHECK(Screen->Forms.empty());
}
