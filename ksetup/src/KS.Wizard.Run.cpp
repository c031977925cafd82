#include "KS.Wizard.h"

#include "KS.Startup.h"
#include "KS.Sys.Files.h"

namespace KS {

using namespace Zyl;

namespace {

constexpr int32_t IdYes = 6;

void ShowAlone(TControl& shown, TControl& hidden1, TControl& hidden2) {
    hidden1.SetVisible(false);
    hidden2.SetVisible(false);
    shown.SetVisible(true);
}

} // namespace

void TWizardForm::RunPrepare() {
    Preparing = true, Prepared = false, CancelRequested = false;
    bool ok = false;
    // Whatever raises in here is a failed preparation: Preparing would
    // otherwise keep Next and Back disabled for good.
    try {
        SummaryMemo->SetVisible(false);
        PrepareStatusLabel->SetText(u"Conectando ao servidor...");
        PrepareStatusLabel->SetVisible(true);
        PrepareProgress->Position = 0;
        PrepareProgress->Invalidate();
        PrepareProgress->SetVisible(true);
        UpdateButtons();
        CancelButton->SetEnabled(true);
        CancelButton->Invalidate();
        Pump();
        ok = Engine->PrepareProvider(Observer);
        if (ok) {
            const int64_t free = GetFreeDiskSpace(Engine->Context->AppDir);
            const int64_t required = Engine->RequiredSpace();
            if (!EnoughFreeSpace(free, required)) {
                Engine->LastError = PrepareNoSpaceText(Engine->Context->AppDir, required, free);
                ok = false;
            }
        }
    } catch (const System::Exception& e) {
        Engine->LastError = e.Message;
    } catch (...) {
        Engine->LastError = CaughtExceptionText();
    }
    Preparing = false, Prepared = ok;
    ShowAlone(*SummaryMemo, *PrepareStatusLabel, *PrepareProgress);
    if (ok)
        BuildSummary();
    else
        ShowSummaryText(PrepareFailureText(Engine->LastError));
    CancelRequested = false;
    UpdateButtons();
}

void TWizardForm::RunInstall() {
    Busy = true, CancelRequested = false;
    bool ok = false;
    // An exception is a failed run: with Busy left set the window could
    // never be closed again.
    try {
        UpdateButtons();
        CancelButton->SetEnabled(true);
        CancelButton->Invalidate();
        ProgressBar->Position = 0;
        ProgressBar->Invalidate();
        ok = Engine->Install(Observer);
    } catch (const System::Exception& e) {
        Engine->LastError = e.Message;
    } catch (...) {
        Engine->LastError = CaughtExceptionText();
    }
    Failed = !ok;
    ExitCode = ok ? 0 : CancelRequested ? 5 : 8;
    Busy = false;
    const auto finish = std::find(PageKinds.begin(), PageKinds.end(), pkFinish);
    const auto infoAfter = std::find(PageKinds.begin(), PageKinds.end(), pkInfoAfter);
    ShowPage(int32_t((ok && infoAfter != PageKinds.end() ? infoAfter : finish) - PageKinds.begin()));
}

void TWizardForm::WizardStatusHandler(const std::u16string& text) {
    (Preparing ? PrepareStatusLabel : StatusLabel)->SetText(text);
    Pump();
}

void TWizardForm::WizardProgressHandler(int64_t done, int64_t total) {
    const int32_t position = WizardPerMille(done, total);
    TSlimProgress& bar = *(Preparing ? PrepareProgress : ProgressBar);
    if (bar.Position != position) {
        bar.Position = position;
        bar.Invalidate();
    }
    Pump();
}

void TWizardForm::WizardCancelHandler(bool& cancel) {
    Pump();
    cancel = CancelRequested;
}

void TWizardForm::WizardErrorHandler(const std::u16string&, const std::u16string& message, uint8_t& choice) {
    const uint8_t answer = AskInstallError(message);
    choice = answer == ErrorChoiceRetry || answer == ErrorChoiceIgnore ? answer : uint8_t(ErrorChoiceAbort);
}

uint8_t AskInstallError(const std::u16string& text) {
    if (ShowMessageBox(InstallErrorQuestion(text), u"Erro de instalação", 0x14) == IdYes) return ErrorChoiceRetry;
    if (ShowMessageBox(u"Ignorar este item e continuar a instalação?", u"Erro de instalação", 0x24) == IdYes)
        return ErrorChoiceIgnore;
    return ErrorChoiceAbort;
}

void TWizardForm::ShowFinishPage() {
    RunChecks.clear();
    LogoBox->Invalidate();
    const TFinishTexts texts = FinishTexts(Failed, Setup(), AppName, Engine->LastError, Engine->RebootNeeded);
    TitleLabel->SetText(texts.Header.Title);
    SubtitleLabel->SetText(texts.Header.Subtitle);
    FinishLabel->SetText(texts.Body);
    if (Failed) return;
    TPanel* page = Pages[size_t(CurrentPage)];
    RunChecks.resize(size_t(Engine->PostInstallRunCount()));
    for (size_t j = 0; j < RunChecks.size(); ++j) {
        const TParams& entry = *Engine->PostInstallRunEntry(int32_t(j));
        TFlatCheck* check = MakeCheck(*this, page, EntryCaption(entry, u"Filename"), 42, 150 + 32 * int32_t(j), 466);
        check->Checked = !entry.HasFlag(u"unchecked");
        RunChecks[j] = check;
    }
}

void TWizardForm::Finish() {
    if (!Failed)
        for (size_t j = 0; j < RunChecks.size(); ++j)
            if (RunChecks[j]->Checked) Engine->RunPostInstallEntry(int32_t(j));
    if (ExitCode == 0 && Engine->RebootNeeded) ExitCode = 9;
    Close();
}

} // namespace KS
