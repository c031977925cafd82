// The interactive install: the wizard form, its pages, moving between them,
// the preparation and install run it drives, and the finish page. The
// engine does the work synchronously inside the wizard's button clicks; its
// observer's handlers keep the window alive by processing pending messages.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "KS.Engine.h"
#include "KS.KeptForm.h"
#include "KS.Widgets.h"
#include "KS.WizardModel.h"
#include "KS.WizardObserver.h"
#include "Zyl.Forms.h"

namespace KS {

class TWizardForm : public TKeptForm {
public:
    explicit TWizardForm(System::TComponent* owner);

    System::TRef<TSetupEngine> Engine;
    System::TRef<TWizardObserver> Observer;
    std::u16string AppName;
    TWizardPageKinds PageKinds;
    std::vector<Zyl::TPanel*> Pages;  // kept by the form
    std::vector<int32_t> PageSteps;
    int32_t CurrentPage = 0;
    int32_t ExitCode = 5;
    bool Busy = false;
    bool Failed = false;
    bool CancelRequested = false;
    std::u16string LicenseText;
    std::u16string InfoBeforeText;
    std::u16string InfoAfterText;
    // The controls below are kept by the form; the fields do not count.
    TStepsPanel* StepsPanel = nullptr;
    Zyl::TPanel* ContentPanel = nullptr;
    Zyl::TPanel* HeaderPanel = nullptr;
    Zyl::TLabel* TitleLabel = nullptr;
    Zyl::TLabel* SubtitleLabel = nullptr;
    Zyl::TPanel* ButtonBar = nullptr;
    TFlatButton* BackButton = nullptr;
    TFlatButton* NextButton = nullptr;
    TFlatButton* CancelButton = nullptr;
    Zyl::TLabel* WelcomeLabel = nullptr;
    Zyl::TMemo* InfoBeforeMemo = nullptr;
    Zyl::TMemo* LicenseMemo = nullptr;
    TFlatCheck* AcceptCheck = nullptr;
    Zyl::TEdit* DirEdit = nullptr;
    TFlatButton* BrowseButton = nullptr;
    Zyl::TLabel* SpaceLabel = nullptr;
    std::vector<TFlatCheck*> TaskChecks;
    Zyl::TMemo* SummaryMemo = nullptr;
    Zyl::TLabel* StatusLabel = nullptr;
    TSlimProgress* ProgressBar = nullptr;
    Zyl::TLabel* PrepareStatusLabel = nullptr;
    TSlimProgress* PrepareProgress = nullptr;
    bool Preparing = false;
    bool Prepared = false;
    Zyl::TMemo* InfoAfterMemo = nullptr;
    Zyl::TLabel* FinishLabel = nullptr;
    Zyl::TPaintBox* LogoBox = nullptr;
    std::vector<TFlatCheck*> RunChecks;
    // The welcome page's "Desinstalar", when an old uninstaller exists.
    TFlatButton* UninstallButton = nullptr;

    void Build(TSetupEngine& engine);

    // Pages.
    void CreatePages();
    Zyl::TPanel* AddPage(TWizardPageKind kind);
    void BuildSteps();
    void BuildSummary();
    void ApplyTaskChoices();
    void LicenseAcceptClick(System::TObject* sender);
    void RunOldUninstaller(System::TObject* sender);

    // Destination page.
    Zyl::TEdit* MakeDirEdit(Zyl::TWinControl* page);
    void DirChanged(System::TObject* sender);
    void UpdateSpaceInfo();
    void BrowseClick(System::TObject* sender);
    bool ValidateInstallDir();

    // Navigation.
    void ShowPage(int32_t index);
    void UpdateButtons();
    void NextClick(System::TObject* sender);
    void BackClick(System::TObject* sender);
    void ConfirmCancel(System::TObject* sender);
    void HandleKey(System::TObject* sender, uint16_t& key, Zyl::TShiftState shift);
    void FormCloseQuery(System::TObject* sender, bool& canClose);

    // Preparing, installing, finishing.
    void RunPrepare();
    void RunInstall();
    void ShowFinishPage();
    void Finish();
    void WizardStatusHandler(const std::u16string& text);
    void WizardProgressHandler(int64_t done, int64_t total);
    void WizardCancelHandler(bool& cancel);
    void WizardErrorHandler(const std::u16string& fileName, const std::u16string& message, uint8_t& choice);
    void PaintLogo(System::TObject* sender);

private:
    bool HasProvider() const { return Engine && Engine->Provider; }
    TWizardPageKind CurrentKind() const { return PageKinds[size_t(CurrentPage)]; }
    TParams& Setup() const { return *Engine->Script->SetupParams(); }
    void CreateWelcomePage(Zyl::TPanel* page);
    void CreateInfoPage(Zyl::TPanel* page, Zyl::TMemo*& memo, const std::u16string& text);
    void CreateLicensePage(Zyl::TPanel* page);
    void CreateDirPage(Zyl::TPanel* page);
    void CreateTasksPage(Zyl::TPanel* page);
    void CreateReadyPage(Zyl::TPanel* page);
    void CreatePreparingPage(Zyl::TPanel* page);
    void CreateFinishPage(Zyl::TPanel* page);
    void ShowSummaryText(const std::u16string& text);
};

// The message-box answer of AskInstallError's two questions: 1 retry, 2 ignore, 0 abort.
uint8_t AskInstallError(const std::u16string& text);

// The folder picker of the destination page; false (Path empty) when the
// user cancelled or chose no file-system folder.
bool BrowseForFolder(std::u16string& path);

// The interactive install: the wizard on the application's message loop;
// returns its exit code (5 closed or cancelled, 0, 8 failed, 9 restart).
int32_t RunInstallWizard(TSetupEngine& engine);

} // namespace KS
