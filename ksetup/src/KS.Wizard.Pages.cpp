#include "KS.Wizard.h"

#include "KS.Startup.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Shell.h"

namespace KS {

using namespace Zyl;

namespace {

constexpr TColor kNoticeColor = 0xFCF1E8;

std::u16string OldUninstallerPath(const TPreviousInstall& previous) {
    return CombinePath(previous.Dir, u"unins000.exe");
}

} // namespace

TPanel* TWizardForm::AddPage(TWizardPageKind kind) {
    TPanel* page = MakePanel(*this, ContentPanel, 5, 0);
    if (page->Visible()) page->SetVisible(false);
    PageKinds.push_back(kind);
    Pages.push_back(page);
    return page;
}

void TWizardForm::CreatePages() {
    const TWizardPageInputs inputs{!InfoBeforeText.empty(), !LicenseText.empty(), !InfoAfterText.empty(),
                                   Engine->PreviousInstall.Found, Engine->TaskCount()};
    for (TWizardPageKind kind : WizardPageKinds(Setup(), inputs)) AddPage(kind);
    for (size_t i = 0; i < Pages.size(); ++i) {
        TPanel* page = Pages[i];
        switch (PageKinds[i]) {
        case pkWelcome: CreateWelcomePage(page); break;
        case pkInfoBefore: CreateInfoPage(page, InfoBeforeMemo, InfoBeforeText); break;
        case pkLicense: CreateLicensePage(page); break;
        case pkDir: CreateDirPage(page); break;
        case pkTasks: CreateTasksPage(page); break;
        case pkReady: CreateReadyPage(page); break;
        case pkInstalling: CreatePreparingPage(page); break;
        case pkInfoAfter: CreateInfoPage(page, InfoAfterMemo, InfoAfterText); break;
        case pkFinish: CreateFinishPage(page); break;
        }
    }
}

void TWizardForm::BuildSteps() {
    const TWizardSteps steps = WizardSteps(PageKinds);
    StepsPanel->Steps.clear();
    StepsPanel->Invalidate();
    for (const std::u16string& caption : steps.Captions) StepsPanel->AddStep(caption);
    PageSteps = steps.PageSteps;
}

void TWizardForm::CreateWelcomePage(TPanel* page) {
    WelcomeLabel = MakeLabel(*this, page, WelcomeText(Setup(), AppName), 38, 6, 474, 190);
    WelcomeLabel->Font()->SetSize(10);
    const TPreviousInstall& previous = Engine->PreviousInstall;
    if (!previous.Found) return;
    TPanel* box = MakePanel(*this, page, 0, 0);
    box->SetBounds(38, 214, 474, 70);
    box->SetColor(kNoticeColor);
    TPanel* bar = MakePanel(*this, box, 3, 5);
    bar->SetColor(kAccent);
    MakeLabel(*this, box, PreviousInstallNotice(previous.Dir, previous.Version), 20, 12, 438, 50);
    if (!IsExistingFile(OldUninstallerPath(previous))) {
        MakeLabel(*this, page, kNoOldUninstallerText, 38, 296, 474, 44);
        return;
    }
    UninstallButton = MakeButton(*this, page, u"Desinstalar", 38, 296, 140, nullptr, false, kWhite);
    UninstallButton->OnClick = [this](System::TObject* sender) { RunOldUninstaller(sender); };
}

void TWizardForm::RunOldUninstaller(System::TObject*) {
    const TPreviousInstall& previous = Engine->PreviousInstall;
    uint32_t exitCode = 0;
    if (RunProcess(u"\"" + OldUninstallerPath(previous) + u"\"", previous.Dir, 1, false, exitCode))
        Close();
    else
        ShowMessageBox(OldUninstallerFailedText(previous.Dir), u"Desinstalar", 0x10);
}

void TWizardForm::CreateInfoPage(TPanel* page, TMemo*& memo, const std::u16string& text) {
    memo = MakeMemo(*this, page, 4, 326);
    memo->Lines()->SetText(text);
}

void TWizardForm::CreateLicensePage(TPanel* page) {
    LicenseMemo = MakeMemo(*this, page, 4, 290);
    LicenseMemo->Lines()->SetText(LicenseText);
    AcceptCheck = MakeCheck(*this, page, u"Eu li e aceito os termos do contrato", 38, 306, 380);
    AcceptCheck->Checked = false;
    AcceptCheck->OnClick = [this](System::TObject* sender) { LicenseAcceptClick(sender); };
}

void TWizardForm::LicenseAcceptClick(System::TObject*) {
    UpdateButtons();
}

void TWizardForm::CreateTasksPage(TPanel* page) {
    MakeLabel(*this, page, u"Marque o que mais deve ser feito durante a instalação.", 38, 6, 474, 24);
    TaskChecks.resize(size_t(Engine->TaskCount()));
    for (int32_t j = 0; j < Engine->TaskCount(); ++j) {
        const TParams& task = Engine->TaskEntry(j);
        TFlatCheck* check = MakeCheck(*this, page, EntryCaption(task, u"Name"), 42, 44 + 34 * j, 466);
        check->Checked = FindIgnoreCase(Engine->SelectedTasks, task.GetValue(u"Name", u"")) >= 0;
        TaskChecks[size_t(j)] = check;
    }
}

void TWizardForm::ApplyTaskChoices() {
    for (size_t j = 0; j < TaskChecks.size(); ++j)
        Engine->SelectTask(Engine->TaskEntry(int32_t(j)).GetValue(u"Name", u""), TaskChecks[j]->Checked);
}

void TWizardForm::CreateReadyPage(TPanel* page) {
    MakeLabel(*this, page, u"Tudo pronto. Clique em Instalar para começar ou em Voltar para rever as opções.", 38, 6,
              474, 40);
    SummaryMemo = MakeMemo(*this, page, 52, 274);
    PrepareStatusLabel = MakeLabel(*this, page, u"", 38, 80, 474, 48);
    PrepareStatusLabel->Font()->SetSize(10);
    PrepareStatusLabel->SetVisible(false);
    PrepareProgress = MakeProgress(*this, page, 38, 140, 474);
    PrepareProgress->SetVisible(false);
}

void TWizardForm::BuildSummary() {
    ApplyTaskChoices();
    std::vector<System::TRef<TParams>> tasks;
    for (int32_t j = 0; j < Engine->TaskCount(); ++j) tasks.emplace_back(&Engine->TaskEntry(j));
    ShowSummaryText(SummaryText(Engine->Context->AppDir, tasks, Engine->SelectedTasks, Engine->RequiredSpace(),
                                Engine->ProviderSummary()));
}

void TWizardForm::ShowSummaryText(const std::u16string& text) {
    SummaryMemo->Lines()->SetText(text);
}

void TWizardForm::CreatePreparingPage(TPanel* page) {
    StatusLabel = MakeLabel(*this, page, u"Preparando...", 38, 30, 474, 48);
    StatusLabel->Font()->SetSize(11);
    ProgressBar = MakeProgress(*this, page, 38, 96, 474);
    TLabel* note =
        MakeLabel(*this, page, u"Isto pode levar alguns minutos. Mantenha esta janela aberta até o fim.", 38, 160, 474, 24);
    note->Font()->SetColor(kGreyText);
}

void TWizardForm::CreateFinishPage(TPanel* page) {
    LogoBox = MakeKept<TPaintBox>(page);
    LogoBox->SetBounds(32, 8, 120, 120);
    LogoBox->OnPaint = [this](System::TObject* sender) { PaintLogo(sender); };
    FinishLabel = MakeLabel(*this, page, u"", 166, 26, 344, 130);
    FinishLabel->Font()->SetSize(10);
}

void TWizardForm::PaintLogo(System::TObject*) {
    KS::PaintLogo(*LogoBox->Canvas(), LogoBox->Width(), LogoBox->Height(), Failed);
}

// ---- Destination page -------------------------------------------------------------

void TWizardForm::CreateDirPage(TPanel* page) {
    MakeLabel(*this, page, u"Onde " + AppName + u" deve ser instalado? Para escolher outra pasta, clique em Procurar.",
              38, 6, 474, 44);
    DirEdit = MakeDirEdit(page);
    DirEdit->SetText(Engine->Context->AppDir);
    DirEdit->OnChange = [this](System::TObject* sender) { DirChanged(sender); };
    BrowseButton = MakeButton(*this, page, u"Procurar...", 412, 62, 100,
                              [this](System::TObject* sender) { BrowseClick(sender); }, false, kWhite);
    SpaceLabel = MakeLabel(*this, page, u"", 38, 118, 474, 60);
    SpaceLabel->Font()->SetColor(kGreyText);
    UpdateSpaceInfo();
}

TEdit* TWizardForm::MakeDirEdit(TWinControl* page) {
    TEdit* edit = MakeKept<TEdit>(page);
    edit->SetBounds(38, edit->Top(), edit->Width(), edit->Height());
    edit->SetBounds(edit->Left(), 66, edit->Width(), edit->Height());
    edit->SetBounds(edit->Left(), edit->Top(), 362, edit->Height());
    edit->SetText(u"");
    edit->OnKeyDown = ChildKeyDown;
    return edit;
}

void TWizardForm::DirChanged(System::TObject*) {
    UpdateSpaceInfo();
}

void TWizardForm::UpdateSpaceInfo() {
    SpaceLabel->SetText(SpaceInfoText(HasProvider(), Engine->RequiredSpace(), NormalizeFolderText(DirEdit->GetText()),
                                      GetFreeDiskSpace));
}

void TWizardForm::BrowseClick(System::TObject*) {
    std::u16string path;
    if (BrowseForFolder(path)) DirEdit->SetText(path);
}

bool TWizardForm::ValidateInstallDir() {
    const TInstallDirCheck check = CheckInstallDir(DirEdit->GetText());
    if (check.Verdict != TInstallDirVerdict::Accepted) {
        ShowMessageBox(check.Message, u"Pasta de destino", 0x10);
        return false;
    }
    Engine->Context->SetAppDir(check.Folder);
    DirEdit->SetText(Engine->Context->AppDir);
    return true;
}

} // namespace KS
