#include "KS.Wizard.h"

#include "KS.Startup.h"
#include "KS.Sys.Files.h"

namespace KS {

using namespace Zyl;

namespace {

constexpr uint16_t VkReturn = 13, VkEscape = 27, VkF4 = 115;
constexpr int32_t IdYes = 6;

void SetButtonState(TFlatButton& button, bool visible, bool enabled) {
    if (button.Visible() != visible) button.SetVisible(visible);
    if (button.Enabled() != enabled) button.SetEnabled(enabled);
}

// Escape and Enter act as the button would, when it can be clicked.
bool PressIfActive(TFlatButton& button, uint16_t& key) {
    if (!button.Visible() || !button.Enabled() || !button.OnButtonClick) return false;
    key = 0;
    button.OnButtonClick(&button);
    return true;
}

} // namespace

void TWizardForm::ShowPage(int32_t index) {
    if (index < 0 || size_t(index) >= Pages.size()) return;
    for (size_t i = 0; i < Pages.size(); ++i)
        if (Pages[i]->Visible() != (int32_t(i) == index)) Pages[i]->SetVisible(int32_t(i) == index);
    CurrentPage = index;
    if (StepsPanel->Current != PageSteps[size_t(index)]) {
        StepsPanel->Current = PageSteps[size_t(index)];
        StepsPanel->Invalidate();
    }
    const TWizardPageKind kind = CurrentKind();
    if (kind != pkFinish) {
        const TPageHeader header = WizardPageHeader(kind, AppName);
        TitleLabel->SetText(header.Title);
        SubtitleLabel->SetText(header.Subtitle);
    }
    if (kind == pkReady) {
        BuildSummary();
        if (HasProvider()) RunPrepare();
    } else if (kind == pkFinish) {
        ShowFinishPage();
    }
    UpdateButtons();
}

void TWizardForm::UpdateButtons() {
    const TWizardPageKind kind = CurrentKind();
    bool backEnabled = CurrentPage != 0 && kind != pkInstalling && kind != pkFinish && kind != pkInfoAfter;
    bool backVisible = true, nextEnabled = true, cancelVisible = true;
    std::u16string nextCaption = u"Avançar";
    switch (kind) {
    case pkLicense: nextEnabled = AcceptCheck->Checked; break;
    case pkReady:
        nextCaption = u"Instalar";
        if (HasProvider() && Preparing)
            nextEnabled = backEnabled = false;
        else if (HasProvider() && !Prepared)
            nextCaption = u"Tentar de novo";
        break;
    case pkInstalling: nextEnabled = backEnabled = false; break;
    case pkFinish:
        nextCaption = u"Concluir";
        backVisible = cancelVisible = false;
        break;
    default: break;
    }
    SetButtonState(*BackButton, backVisible, backEnabled);
    SetButtonState(*NextButton, true, nextEnabled);
    SetButtonState(*CancelButton, cancelVisible, true);
    if (NextButton->Caption != nextCaption) NextButton->SetCaption(nextCaption);
    BackButton->Invalidate();
    NextButton->Invalidate();
    CancelButton->Invalidate();
}

void TWizardForm::NextClick(System::TObject*) {
    switch (CurrentKind()) {
    case pkDir: {
        if (!ValidateInstallDir()) return;
        const int64_t required = Engine->RequiredSpace();
        if (!EnoughFreeSpace(GetFreeDiskSpace(Engine->Context->AppDir), required)) {
            ShowMessageBox(DirNoSpaceText(required), u"Pasta de destino", 0x10);
            return;
        }
        break;
    }
    case pkTasks: ApplyTaskChoices(); break;
    case pkReady:
        if (HasProvider() && !Prepared) {
            RunPrepare();
            return;
        }
        break;
    case pkFinish: Finish(); return;
    default: break;
    }
    const int32_t next = CurrentPage + 1;
    const bool installs = size_t(next) < PageKinds.size() && PageKinds[size_t(next)] == pkInstalling;
    ShowPage(next);
    if (installs) RunInstall();
}

void TWizardForm::BackClick(System::TObject*) {
    if (CurrentPage > 0) ShowPage(CurrentPage - 1);
}

void TWizardForm::ConfirmCancel(System::TObject*) {
    if (Preparing) {
        CancelRequested = true;
    } else if (Busy) {
        if (ShowMessageBox(u"Cancelar a instalação? O que já foi instalado será removido.", u"Cancelar", 0x24) ==
            IdYes)
            CancelRequested = true;
    } else if (ShowMessageBox(u"A instalação ainda não terminou. Deseja sair?", u"Sair", 0x24) == IdYes) {
        ExitCode = 5;
        Close();
    }
}

void TWizardForm::HandleKey(System::TObject*, uint16_t& key, TShiftState shift) {
    if (key == VkEscape) {
        PressIfActive(*CancelButton, key);
    } else if (key == VkReturn) {
        PressIfActive(*NextButton, key);
    } else if (key == VkF4 && (shift & (ssAlt | ssCtrl)) == ssAlt) {
        // The shell hands Alt+F4 to the focused control and never closes the
        // window by itself: the wizard takes it as its close box.
        key = 0;
        Close();
    }
}

void TWizardForm::FormCloseQuery(System::TObject*, bool& canClose) {
    if (!Busy) return;
    ConfirmCancel(this);
    canClose = false;
}

} // namespace KS
