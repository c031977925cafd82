#include "Zyl.Forms.Harness.h"

#include <memory>

#include "Zyl.Test.Memory.h"

namespace Zyl::Testing {

namespace {

System::TRef<ProbeShellApp> shell;
std::unique_ptr<TScopedPlatformServices> services;

} // namespace

ProbeShellApp& Shell() { return *shell; }

void FormsEnvironment::SetUp() {
    services = std::make_unique<TScopedPlatformServices>(System::MakeRef<TSoftServices>());
    InitializeFormsUnit();
    shell = System::MakeRef<ProbeShellApp>();
    InitializeApplication(shell);
}

void FormsEnvironment::TearDown() {
    FinalizeFormsUnit();
    SetPlatformAppInstance(nullptr);
    shell = nullptr;
    services.reset();
}

void FormsHarness::SetUp() {
    TApplication& app = *Application;
    app.ShowHint = true, app.HintPause = 500, app.HintHidePause = 2500;
    app.Terminated = app.Active = app.DeactivationPending = app.Minimised = false;
    app.OnException = nullptr;
    app.OnActivate = app.OnDeactivate = app.OnMinimize = app.OnRestore = app.OnHint = app.OnThemeChanged = nullptr;
    Screen->ActiveForm = nullptr;
    Shell().Boxes.clear();
    Shell().Answer = 1;
    Shell().WhileOpen = nullptr;
    Shell().WhileProcessing = nullptr;
    Shell().QuitRequested = false;
}

void FormsHarness::TearDown() {
    Application->CancelHint();
    for (const System::TRef<TCustomForm>& form : forms_) form->ReleaseForm();
    forms_.clear();
    Application->MainForm = nullptr;
    Application->FreeReleasedForms();
    Advance(200);
    EXPECT_TRUE(Screen->Forms.empty()) << "a form outlived its test";
    EXPECT_TRUE(Application->PendingFreeControls.empty());
}

void FormsHarness::Forget(TCustomForm* form) {
    std::erase(forms_, System::TRef<TCustomForm>(form));
    if (Application->MainForm.Get() == form) Application->MainForm = nullptr;
}

TOffscreenWindow* FormsHarness::ShellOf(TCustomForm* form) {
    auto* drawn = static_cast<TDrawnWindow*>(form->GetPlatformWindow());
    return static_cast<TOffscreenWindow*>(drawn->ShellWindow.Get());
}

void FormsHarness::Move(TCustomForm* form, int32_t x, int32_t y) { ShellOf(form)->RouteMouseMove(x, y, 0); }

void FormsHarness::Click(TCustomForm* form, int32_t x, int32_t y) {
    TOffscreenWindow* window = ShellOf(form);
    window->RouteMouseMove(x, y, 0);
    window->RouteMouseDown(x, y, MouseButtonLeft, 0);
    window->RouteMouseUp(x, y, MouseButtonLeft, 0);
}

void FormsHarness::Key(TCustomForm* form, int32_t key, int32_t shift) {
    ShellOf(form)->RouteKeyDown(key, shift);
    ShellOf(form)->RouteKeyUp(key, shift);
}

void FormsHarness::Render(TCustomForm* form) {
    ShellOf(form)->RequestFullRepaint();
    ShellOf(form)->RenderWindowSurface();
}

int32_t FormsHarness::Px(TCustomForm* form, int32_t x, int32_t y) {
    const System::TRef<TPlatformSurface> s = ShellOf(form)->GetSurface();
    const uint8_t* p = s->Bits() + int64_t{y} * s->Stride() + int64_t{x} * 4;
    return p[2] << 16 | p[1] << 8 | p[0];
}

int32_t FormsHarness::C(int32_t index) {
    const int32_t color = ThemeColor(index);
    return (color & 0xFF) << 16 | (color & 0xFF00) | (color >> 16 & 0xFF);
}

} // namespace Zyl::Testing

namespace {
::testing::Environment* const formsEnvironment =
    ::testing::AddGlobalTestEnvironment(new Zyl::Testing::FormsEnvironment);
}
