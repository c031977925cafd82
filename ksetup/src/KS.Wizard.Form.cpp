#include "KS.Wizard.h"

#include "KS.Startup.h"
#include "KS.Sys.Files.h"

namespace KS {

using namespace Zyl;

namespace {

constexpr TColor kSeparatorColor = 0xE8E2DD;

// The form's global: RunInstallWizard reads the exit code after the loop.
System::TRef<TWizardForm> WizardForm;

// Colour assigned only when it differs: a change notifies the children.
void SetColorIfChanged(TControl& control, TColor color) {
    if (control.Color() != color || control.ParentColor()) control.SetColor(color);
}

void SetFontName(TControl& control, const std::u16string& name) {
    if (control.Font()->Name() != name) control.Font()->SetName(name);
}

} // namespace

TWizardForm::TWizardForm(System::TComponent* owner) : TKeptForm(owner) {
    // The setters below notify the form, and a notification takes and drops
    // a counted reference: without the hold the form would be freed here.
    TakeConstructionHold();
    CurrentPage = 0;
    ExitCode = 5;
    SetUpInstallerFrame(780, 520);
    OnKeyDown = [this](System::TObject* sender, uint16_t& key, TShiftState shift) { HandleKey(sender, key, shift); };
    OnCloseQuery = [this](System::TObject* sender, bool& canClose) { FormCloseQuery(sender, canClose); };
    ReleaseConstructionHold();
}

void TWizardForm::Build(TSetupEngine& engine) {
    ChildKeyDown = [this](System::TObject* sender, uint16_t& key, TShiftState shift) { HandleKey(sender, key, shift); };
    Engine = &engine;
    AppName = WizardAppName(Setup());
    SetText(u"Instalação - " + AppName);
    LicenseText = engine.ReadPackedText(u"License");
    InfoBeforeText = engine.ReadPackedText(u"InfoBefore");
    InfoAfterText = engine.ReadPackedText(u"InfoAfter");

    Observer = System::MakeRef<TWizardObserver>();
    Observer->OnStatus = [this](const std::u16string& text) { WizardStatusHandler(text); };
    Observer->OnProgress = [this](int64_t done, int64_t total) { WizardProgressHandler(done, total); };
    Observer->OnCancelled = [this](bool& cancel) { WizardCancelHandler(cancel); };
    Observer->OnErrorChoice = [this](const std::u16string& fileName, const std::u16string& message,
                                     uint8_t& choice) { WizardErrorHandler(fileName, message, choice); };
    Observer->UiThread = std::this_thread::get_id();

    StepsPanel = MakeKept<TStepsPanel>(this);
    StepsPanel->SetAlign(3);
    StepsPanel->SetBounds(StepsPanel->Left(), StepsPanel->Top(), 230, StepsPanel->Height());
    StepsPanel->SetTexts(AppName, Setup().GetValue(u"AppVersion", u""), Setup().GetValue(u"AppPublisher", u""));
    const std::u16string logoPath = engine.ExtractPackedText(u"WizardImage", u".png");
    if (!logoPath.empty()) {
        // SetLogo has closed the file when it returns, so it can go.
        StepsPanel->SetLogo(logoPath);
        DeleteFileEvenReadOnly(logoPath);
    } else {
        LoadSetupLogo(*StepsPanel);
    }

    ContentPanel = MakePanel(*this, this, 5, 0);
    ButtonBar = MakePanel(*this, ContentPanel, 2, 70);
    SetColorIfChanged(*ButtonBar, kButtonBarColor);
    TPanel* separator = MakePanel(*this, ButtonBar, 1, 1);
    SetColorIfChanged(*separator, kSeparatorColor);
    auto method = [this](void (TWizardForm::*handler)(System::TObject*)) {
        return [this, handler](System::TObject* sender) { (this->*handler)(sender); };
    };
    CancelButton = MakeButton(*this, ButtonBar, u"Cancelar", 28, 20, 100, method(&TWizardForm::ConfirmCancel), false,
                              kButtonBarColor);
    NextButton = MakeButton(*this, ButtonBar, u"Avançar", 398, 20, 124, method(&TWizardForm::NextClick), true,
                            kButtonBarColor);
    BackButton = MakeButton(*this, ButtonBar, u"Voltar", 288, 20, 100, method(&TWizardForm::BackClick), false,
                            kButtonBarColor);
    HeaderPanel = MakePanel(*this, ContentPanel, 1, 104);
    TitleLabel = MakeLabel(*this, HeaderPanel, u"", 38, 26, 474, 34);
    TitleLabel->SetWordWrap(false);
    TitleLabel->AdjustBounds();
    TitleLabel->Invalidate();
    SetFontName(*TitleLabel, u"Segoe UI Semibold");
    TitleLabel->Font()->SetSize(20);
    SubtitleLabel = MakeLabel(*this, HeaderPanel, u"", 38, 64, 474, 24);
    SubtitleLabel->Font()->SetSize(10);
    SubtitleLabel->Font()->SetColor(kGreyText);

    CreatePages();
    BuildSteps();
    ShowPage(0);
}

int32_t RunInstallWizard(TSetupEngine& engine) {
    InitializeApplication();
    Application->Title = u"Instalação - " + engine.Script->SetupParams()->GetValue(u"AppName", u"");
    WizardForm = Application->CreateForm<TWizardForm>();
    WizardForm->Build(engine);
    WizardForm->Show();
    Application->Run();
    const int32_t code = WizardForm->ExitCode;
    WizardForm = nullptr;
    return code;
}

} // namespace KS
