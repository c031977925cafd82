#include "Zyl.Forms.h"
#include "Zyl.Platform.Drawn.h"

namespace Zyl {

using System::TRef;

TRef<TScreen> Screen;
TRef<TApplication> Application;

namespace {

bool formsInitialized = false;
bool applicationInitialized = false;

void ApplicationIdleTimer() {
    if (FormsInitialized()) TRef<TApplication>(Application)->IdleTick();
}

void ForwardControlPress(TZylEvents*, int32_t, int32_t, int32_t) {
    if (FormsInitialized()) TRef<TApplication>(Application)->CancelHint();
}

void ForwardControlMouseMove(TControl* control, int32_t x, int32_t y) {
    if (FormsInitialized()) TRef<TApplication>(Application)->HintMouseMove(control, x, y);
}

void ForwardControlHover(TControl* control, bool entering) {
    if (FormsInitialized()) TRef<TApplication>(Application)->HintMouseEnter(control, entering);
}

} // namespace

// ---- Screen ------------------------------------------------------------------------

TRef<TCustomForm> TScreen::GetForm(int32_t index) const {
    if (index < 0 || size_t(index) >= Forms.size()) throw System::EListError(u"índice fora da lista");
    return Forms[size_t(index)];
}

// ---- Application -------------------------------------------------------------------

TApplication::TApplication(System::TComponent* owner) : TComponent(owner) { Icon = System::MakeRef<TBitmap>(); }

void TApplication::FormCreated(TCustomForm* form) {
    if (!MainForm) MainForm = form;
    if (form->OnCreate) form->OnCreate(form);
}

void TApplication::Run() {
    if (!platformApp_) throw EZylError(u"Application.Initialize nao foi chamado");
    if (TRef<TCustomForm> main = MainForm) main->Show();
    platformApp_->Run();
}

void TApplication::FreeReleasedForms() {
    while (!PendingRelease.empty()) {
        // Taken out before it goes: its destruction may queue or free others.
        TRef<TCustomForm> form = std::move(PendingRelease.back());
        PendingRelease.pop_back();
    }
}

int32_t TApplication::MessageBox(const std::u16string& text, const std::u16string& caption, uint32_t flags) {
    TPlatformApp* app = GetPlatformApp();
    const uint32_t icon = flags & 0x70, buttons = flags & 0x0F;
    const int32_t kind = icon == 0x30 ? 1 : icon == 0x20 ? 2 : icon == 0x10 ? 3 : 0;
    const int32_t buttonKind = buttons == 1 ? 1 : buttons == 4 ? 2 : 0;
    const TRef<TPlatformWindow> owner = GetFormWindow(Screen ? Screen->ActiveForm : nullptr);
    switch (app->MessageBox(owner.Get(), caption, text, kind, buttonKind)) {
    case 2: return 2;
    case 3: return 6;
    case 4: return 7;
    default: return 1;
    }
}

void TApplication::HandleException(System::TObject* sender, const System::Exception& e) {
    if (OnException) return OnException(sender, e);
    // The box runs a message loop: a handler that raises on every paint
    // would otherwise open box after box inside it.
    if (!platformApp_ || showingException_) return;
    TFlagGuard guard(showingException_);
    MessageBox(e.Message, u"Erro", 0x10);
}

void TApplication::IdleTick() {
    TRef<TApplication> keep(this);
    while (!PendingFreeControls.empty()) {
        TRef<TWinControl> control = std::move(PendingFreeControls.back());
        PendingFreeControls.pop_back();
    }
    if (!DeactivationPending) return;
    DeactivationPending = false;
    if (Active && !Screen->ActiveForm) {
        Active = false;
        if (OnDeactivate) OnDeactivate(this);
    }
}

// ---- Unit start-up and the hooks -----------------------------------------------

bool FormsInitialized() { return formsInitialized; }

void InitializeFormsUnit() {
    if (formsInitialized) return;
    Screen = System::MakeRef<TScreen>(nullptr);
    Application = System::MakeRef<TApplication>(nullptr);
    formsInitialized = true;
    ThemeChangeHooks.push_back(&ApplyThemeToForms);
    ControlAtScreenPointHook = FindControlAtScreenPoint;
}

void FinalizeFormsUnit() {
    formsInitialized = false;
    Application = nullptr;
    Screen = nullptr;
}

void InitializeApplication(TRef<TPlatformApp> shell) {
    if (applicationInitialized) return;
    if (!formsInitialized) InitializeFormsUnit();
    applicationInitialized = true;
    TRef<TPlatformApp> drawn = System::MakeRef<TDrawnApp>(std::move(shell));
    Application->SetPlatformApp(drawn);
    SetPlatformAppInstance(drawn.Get());
    Application->Terminated = false;
    drawn->SetExceptionHandler(HandlePlatformException);
    ControlHoverHook = ForwardControlHover;
    ControlPressHook = ForwardControlPress;
    ControlMouseMoveHook = ForwardControlMouseMove;
    Application->IdleTimerId = drawn->AddTimer(200, ApplicationIdleTimer);
}

int32_t HandlePlatformException(const System::Exception& e) {
    if (FormsInitialized()) {
        TRef<TApplication> app = Application;
        app->HandleException(app.Get(), e);
    }
    return 0;
}

void ApplyThemeToForms(const TZylTheme&) {
    if (!FormsInitialized()) return;
    TRef<TApplication> app = Application;
    for (size_t i = 0; i < Screen->Forms.size(); ++i) {
        TRef<TCustomForm> form = Screen->Forms[i];
        form->ApplyTheme();
        BroadcastThemeChanged(form.Get());
    }
    if (app->OnThemeChanged) app->OnThemeChanged(app.Get());
}

void BroadcastThemeChanged(TControl* control) {
    TRef<TControl> keep(control);
    control->Perform(ZM_THEMECHANGED);
    if (auto* win = dynamic_cast<TWinControl*>(control))
        for (const TRef<TControl>& child : std::vector<TRef<TControl>>(win->Controls()))
            BroadcastThemeChanged(child.Get());
    control->Invalidate();
}

TControl* FindControlAtScreenPoint(int32_t x, int32_t y, int32_t& cx, int32_t& cy) {
    if (!FormsInitialized()) return nullptr;
    TCustomForm* found = nullptr;
    int32_t foundX = 0, foundY = 0;
    for (size_t i = Screen->Forms.size(); i-- > 0;) {
        TCustomForm* form = Screen->Forms[i];
        TPlatformWindow* window = form->GetPlatformWindow();
        if (!window || !form->Visible()) continue;
        int32_t ox = 0, oy = 0;
        window->GetClientOrigin(ox, oy);
        const bool inside = x >= ox && y >= oy && int64_t(x) < int64_t(ox) + window->GetWidth() &&
                            int64_t(y) < int64_t(oy) + window->GetHeight();
        if (!inside || (found && form != Screen->ActiveForm)) continue;
        found = form, foundX = ox, foundY = oy;
    }
    if (!found) return nullptr;
    return found->ControlAtPos(ClampToInt32(int64_t(x) - foundX), ClampToInt32(int64_t(y) - foundY), cx, cy);
}

} // namespace Zyl
