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

template <class C>
C* MakeKept(TKeptForm& form, TWinControl* parent) {
    System::TRef<C> control = System::MakeRef<C>(&form);
    form.Keep(control.Get());
    control->SetParent(parent);
    return control.Get();
}

} // namespace

void TKeptForm::Keep(System::TObject* object) {
    KeepList.emplace_back(object);
}

TWizardForm::TWizardForm(System::TComponent* owner) : TKeptForm(owner) {
    // The setters below notify the form, and a notification takes and drops
    // a counted reference: without the hold the form would be freed here.
    TakeConstructionHold();
    CurrentPage = 0;
    ExitCode = 5;
    ApplyInstallerFormLook(*this);
    SetBorderStyle(3);
    Position = 2;
    SetBounds(Left(), Top(), 780, Height());
    SetBounds(Left(), Top(), Width(), 520);
    // Whatever the frame takes, the client area becomes 780 x 520.
    SetBounds(Left(), Top(), 1560 - GetClientRect().Right, Height());
    SetBounds(Left(), Top(), Width(), 1040 - GetClientRect().Bottom);
    OnKeyDown = [this](System::TObject* sender, uint16_t& key, TShiftState shift) { HandleKey(sender, key, shift); };
    OnCloseQuery = [this](System::TObject* sender, bool& canClose) { FormCloseQuery(sender, canClose); };
    ReleaseConstructionHold();
}

TPanel* TWizardForm::MakePanel(TKeptForm& form, TWinControl* parent, uint8_t align, int32_t size) {
    TPanel* panel = MakeKept<TPanel>(form, parent);
    panel->SetBevelOuter(0);
    panel->SetText(u"");
    panel->SetShowParentBackground(false);
    panel->SetColor(kWhite);
    panel->SetAlign(align);
    if (align == 1 || align == 2) panel->SetBounds(panel->Left(), panel->Top(), panel->Width(), size);
    if (align == 3 || align == 4) panel->SetBounds(panel->Left(), panel->Top(), size, panel->Height());
    return panel;
}

TLabel* TWizardForm::MakeLabel(TKeptForm& form, TWinControl* parent, const std::u16string& text, int32_t left,
                               int32_t top, int32_t width, int32_t height) {
    TLabel* label = MakeKept<TLabel>(form, parent);
    label->SetAutoSize(false);
    label->AdjustBounds();
    label->SetWordWrap(true);
    label->AdjustBounds();
    label->NoBackground = true;
    label->Font()->SetColor(kDarkText);
    label->SetBounds(left, top, width, height);
    label->SetText(text);
    return label;
}

TFlatButton* TWizardForm::MakeButton(TKeptForm& form, TWinControl* parent, const std::u16string& caption,
                                     int32_t left, int32_t top, int32_t width, System::TNotifyEvent onClick,
                                     bool primary, TColor backColor) {
    TFlatButton* button = MakeKept<TFlatButton>(form, parent);
    button->SetCaption(caption);
    button->SetBounds(left, top, width, 34);
    button->Primary = primary;
    button->Invalidate();
    button->BackColor = backColor;
    button->OnButtonClick = std::move(onClick);
    return button;
}

TSlimProgress* TWizardForm::MakeProgress(TKeptForm& form, TWinControl* parent, int32_t left, int32_t top,
                                         int32_t width) {
    TSlimProgress* bar = MakeKept<TSlimProgress>(form, parent);
    bar->SetBounds(left, top, width, 40);
    bar->Max = 1000;
    bar->Position = 0;
    return bar;
}

TMemo* TWizardForm::MakeMemo(TKeptForm& form, TWinControl* parent, int32_t top, int32_t height) {
    TMemo* memo = MakeKept<TMemo>(form, parent);
    memo->SetBounds(38, top, 474, height);
    memo->SetReadOnly(true);
    memo->SetScrollBars(2);
    memo->SetWordWrap(true);
    memo->OnKeyDown = form.ChildKeyDown;
    return memo;
}

TFlatCheck* TWizardForm::MakeCheck(TKeptForm& form, TWinControl* parent, const std::u16string& caption,
                                   int32_t left, int32_t top, int32_t width) {
    TFlatCheck* check = MakeKept<TFlatCheck>(form, parent);
    check->Caption = caption;
    check->Invalidate();
    check->SetBounds(left, top, width, 26);
    check->OnKeyDown = form.ChildKeyDown;
    return check;
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

    StepsPanel = MakeKept<TStepsPanel>(*this, this);
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
