#include "KS.UninstallForm.h"

#include <optional>
#include <thread>

#include "KS.Engine.h"
#include "KS.Startup.h"
#include "KS.WizardModel.h"

namespace KS {

using namespace Zyl;

namespace {

constexpr char16_t BoxTitle[] = u"Desinstalar";
constexpr uint32_t QuestionFlags = 0x24;
constexpr int32_t IdYes = 6;

// The application's main form while RunUninstallForm runs.
System::TRef<TUninstallForm> UninstallForm;

// The outcome's box; the message of an exception that ended the replay
// goes under the text.
void ShowOutcome(const std::u16string& appName, bool removed, bool restartNeeded, const std::u16string& error) {
    const TUninstallOutcome outcome = UninstallOutcome(removed, restartNeeded, appName);
    ShowMessageBox(outcome.Text + (error.empty() ? u"" : u"\r\n\r\n" + error), BoxTitle, outcome.Flags);
}

} // namespace

TUninstallForm::TUninstallForm(System::TComponent* owner) : TKeptForm(owner) {
    // The frame's setters notify the form, and a notification takes and
    // drops a counted reference: without the hold the form would go here.
    TakeConstructionHold();
    SetUpInstallerFrame(640, 260);
    ReleaseConstructionHold();
}

void TUninstallForm::Build(TJournal& journal, const std::u16string& appName) {
    Journal = &journal;
    AppName = appName;
    SetText(u"Desinstalar - " + appName);

    // No cancel and no error handler: the removal cannot be stopped from
    // the window, and every error choice answers "abort this item".
    Observer = System::MakeRef<TWizardObserver>();
    Observer->OnStatus = [this](const std::u16string& text) { UninstallStatusHandler(text); };
    Observer->OnProgress = [this](int64_t done, int64_t total) { UninstallProgressHandler(done, total); };
    Observer->UiThread = std::this_thread::get_id();

    StepsPanel = MakeKept<TStepsPanel>(this);
    StepsPanel->SetAlign(3);
    StepsPanel->SetBounds(StepsPanel->Left(), StepsPanel->Top(), 190, StepsPanel->Height());
    StepsPanel->SetTexts(appName, u"", u"Desinstalação");
    StepsPanel->AddStep(u"Removendo");

    TLabel* heading = MakeLabel(*this, this, u"Removendo " + appName, 220, 30, 390, 30);
    heading->Font()->SetHeight(WidgetFontHeight(14, heading->Font()->PixelsPerInch()));
    StatusLabel = MakeLabel(*this, this, u"Preparando...", 220, 76, 390, 44);
    StatusLabel->Font()->SetColor(kGreyText);
    ProgressBar = MakeProgress(*this, this, 220, 140, 390);

    // Enabled from its construction: the new interval registers it again,
    // so it fires about 300 ms from here, once the window is up.
    const System::TRef<TTimer> timer = System::MakeRef<TTimer>(this);
    Keep(timer.Get());
    RunTimer = timer.Get();
    RunTimer->SetInterval(300);
    RunTimer->OnTimer = [this](System::TObject* sender) { RunTimerFired(sender); };
}

void TUninstallForm::UninstallStatusHandler(const std::u16string& text) {
    StatusLabel->SetText(text);
    Pump();
}

void TUninstallForm::UninstallProgressHandler(int64_t done, int64_t total) {
    const std::optional<int32_t> position = UninstallPerMille(done, total);
    if (position && *position != ProgressBar->Position) {
        ProgressBar->Position = *position;
        ProgressBar->Invalidate();
    }
    Pump();
}

void TUninstallForm::RunTimerFired(System::TObject*) {
    RunTimer->SetEnabled(false);
    // Whatever raises during the replay (a handler's message processing
    // included) is a failed replay: left to the message loop it would only
    // show "Erro", and the window would stay open with the outcome lost.
    try {
        Succeeded = Journal->Undo(*Observer, true);
    } catch (const System::Exception& e) {
        Succeeded = false;
        ReplayError = e.Message;
    } catch (...) {
        Succeeded = false;
        ReplayError = CaughtExceptionText();
    }
    RestartNeeded = Journal->RebootNeeded;
    Close();
}

bool ConfirmUninstall(const std::u16string& appName) {
    InitializeApplication();
    return ShowMessageBox(UninstallQuestion(appName), BoxTitle, QuestionFlags) == IdYes;
}

bool RunUninstallForm(TJournal& journal, const std::u16string& appName, bool& restartNeeded) {
    InitializeApplication();
    Application->Title = u"Desinstalar - " + appName;
    UninstallForm = Application->CreateForm<TUninstallForm>();
    UninstallForm->Build(journal, appName);
    UninstallForm->Show();
    Application->Run();

    restartNeeded = UninstallForm->RestartNeeded;
    const bool succeeded = UninstallForm->Succeeded;
    const std::u16string error = UninstallForm->ReplayError;
    // The window is gone before the box shows.
    if (Application->MainForm.Get() == UninstallForm.Get()) Application->MainForm = nullptr;
    UninstallForm->ReleaseForm();
    UninstallForm = nullptr;
    Application->FreeReleasedForms();
    ShowOutcome(appName, succeeded, restartNeeded, error);
    return succeeded;
}

} // namespace KS
