#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <thread>

#include "KS.Engine.h"
#include "KS.Startup.h"
#include "KS.Sys.Files.h"
#include "KS.Sys.Text.h"
#include "KS.Test.Engine.h"
#include "KS.Test.Entry.h"
#include "KS.Test.Packages.h"
#include "KS.Test.Sandbox.h"
#include "KS.Test.Windows.h"
#include "KS.Test.Wizard.h"
#include "KS.Wizard.h"
#include "System.Remainder.Exceptions.h"
#include "TestSupport.h"
#include "Zyl.Forms.Harness.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;
using System::TRef;
using Zyl::Application;
using Zyl::Testing::Shell;
namespace Packages = KS::TestPackages;

namespace {

struct TButtonState {
    bool BackVisible, BackEnabled;
    std::u16string Next;
    bool NextEnabled, CancelVisible;
    friend bool operator==(const TButtonState&, const TButtonState&) = default;
    friend std::ostream& operator<<(std::ostream& out, const TButtonState& s) {
        return out << "back " << s.BackVisible << s.BackEnabled << " next " << KsTest::Narrow(s.Next) << ' '
                   << s.NextEnabled << " cancel " << s.CancelVisible;
    }
};

constexpr int32_t KeyF4 = 0xFFC1;

const TButtonState First{true, false, u"Avançar", true, true};
const TButtonState Middle{true, true, u"Avançar", true, true};

class Wizard : public TWindowTest {
protected:
    void TearDown() override {
        if (form) form->ReleaseForm();
        form = nullptr;
        Application->MainForm = nullptr;
        TWindowTest::TearDown();
    }

    // A wizard for the script (with the extra [Setup] lines and sections),
    // shown; the scripted provider unless withProvider is false.
    TWizardForm& Open(const std::u16string& setup = u"", const std::u16string& sections = u"",
                      bool withProvider = true, const std::function<void(TSetupEngine&)>& before = nullptr) {
        engine = LoadedEngine(WizardScript(folder.Path(), KsTest::TestName(), setup, sections), folder / u"setup.log");
        if (withProvider) engine->Provider = provider;
        if (before) before(*engine);
        form = Application->CreateForm<TWizardForm>();
        form->Build(*engine);
        form->Show();
        return *form;
    }

    // Licence and information-after texts from the generated package.
    std::u16string PackedTexts() {
        const std::string stub(64, 'S');
        EXPECT_TRUE(WriteBytes(folder / u"setup.pkg", stub + Packages::Stored.Package));
        const std::u16string where = u"Size: " + System::Int64ToStr(int64_t(Packages::Stored.Data.size())) +
                                     u"; Blob: 0; Packed: " +
                                     System::Int64ToStr(int64_t(Packages::Stored.Package.size())) + u"; Crc: " +
                                     System::Int64ToStr(int64_t(Packages::Stored.Crc));
        return u"\n[Texts]\nName: \"License\"; " + where + u"\nName: \"InfoAfter\"; " + where + u"\n";
    }
    static void OpenPackage(TSetupEngine& engine, const std::u16string& path) {
        ASSERT_TRUE(engine.PackageFile->Open(path));
        engine.PackageBase = 64;
    }

    TButtonState Buttons() const {
        return {form->BackButton->Visible(), form->BackButton->Enabled(), form->NextButton->Caption,
                form->NextButton->Enabled(), form->CancelButton->Visible()};
    }
    TWizardPageKind Kind() const { return form->PageKinds[size_t(form->CurrentPage)]; }
    void Next() { form->NextButton->OnButtonClick(form->NextButton); }
    void Back() { form->BackButton->OnButtonClick(form->BackButton); }
    void NextUntil(TWizardPageKind kind) {
        for (int i = 0; i < 10 && Kind() != kind; ++i) Next();
        ASSERT_EQ(Kind(), kind);
    }
    bool Closed() const { return Application->Terminated && !form->Visible(); }
    // Whether the window stays after the user closes it: with its close box,
    // whose answer the platform obeys, or with Alt+F4, which the shell hands
    // to the focused control.
    bool StaysAfterClosing(bool altF4) {
        if (altF4) {
            Key(form.Get(), KeyF4, Zyl::Testing::ModAlt);
            return form->Visible();
        }
        const bool allowed = form->CloseRequested();
        EXPECT_EQ(allowed, !form->Visible());
        return !allowed;
    }

    TTestFolder folder;
    TRef<TScriptedProvider> provider = MakeRef<TScriptedProvider>();
    TRef<TSetupEngine> engine;
    TRef<TWizardForm> form;
};

} // namespace

TEST_F(Wizard, FrameGivesAClientAreaOf780By520AndPagesOf550By346) {
    Open();
    EXPECT_EQ(form->GetClientRect().Right, 780);
    EXPECT_EQ(form->GetClientRect().Bottom, 520);
    const Zyl::TPanel& page = *form->Pages[0];
    EXPECT_EQ(page.Width(), 550);
    EXPECT_EQ(page.Height(), 346);
    EXPECT_EQ(form->NextButton->Left(), 398);
    EXPECT_EQ(form->GetText(), u"Instalação - Ostrel Dax Teste");
    EXPECT_EQ(form->PageKinds, (TWizardPageKinds{pkWelcome, pkDir, pkTasks, pkReady, pkInstalling, pkFinish}));
    EXPECT_EQ(form->StepsPanel->Steps,
              (std::vector<std::u16string>{u"Boas-vindas", u"Destino", u"Opções", u"Resumo", u"Instalação", u"Conclusão"}));
}

TEST_F(Wizard, KeepHoldsOneReferencePerCall) {
    Open();
    TRef<Zyl::TLabel> label = MakeRef<Zyl::TLabel>(nullptr);
    form->Keep(label.Get());
    form->Keep(label.Get());
    EXPECT_EQ(label->RefCount(), 3);
}

// Every row of the button table, walked through one wizard with a licence,
// options, a provider and an information page after the install.
TEST_F(Wizard, ButtonsFollowThePageAndThePreparation) {
    std::vector<TButtonState> duringPrepare, duringInstall;
    provider->OnPrepare = [&](TSetupObserver& observer) {
        observer.Status(u"Lendo catálogos");
        duringPrepare.push_back(Buttons());
        return provider->PrepareCalls > 1;
    };
    provider->OnInstall = [&](TSetupEngine&, TSetupObserver& observer) {
        observer.Progress(1, 2);
        duringInstall.push_back(Buttons());
        return true;
    };
    const std::u16string pkg = folder / u"setup.pkg";
    const std::u16string texts = PackedTexts();
    Open(u"", texts, true, [&](TSetupEngine& e) { OpenPackage(e, pkg); });
    ASSERT_EQ(form->PageKinds, (TWizardPageKinds{pkWelcome, pkLicense, pkDir, pkTasks, pkReady, pkInstalling,
                                                 pkInfoAfter, pkFinish}));
    EXPECT_EQ(Buttons(), First);
    Next();
    EXPECT_EQ(Buttons(), (TButtonState{true, true, u"Avançar", false, true}));
    form->AcceptCheck->Checked = true;
    form->AcceptCheck->Click();
    EXPECT_EQ(Buttons(), Middle);
    Next();
    EXPECT_EQ(Kind(), pkDir);
    EXPECT_EQ(Buttons(), Middle);
    Next();
    EXPECT_EQ(Kind(), pkTasks);
    EXPECT_EQ(Buttons(), Middle);
    Next();
    EXPECT_EQ(Kind(), pkReady);
    EXPECT_EQ(duringPrepare, (std::vector<TButtonState>{{true, false, u"Instalar", false, true}}));
    EXPECT_EQ(form->PrepareStatusLabel->GetText(), u"Lendo catálogos");
    EXPECT_EQ(form->StatusLabel->GetText(), u"Preparando...");
    EXPECT_EQ(Buttons(), (TButtonState{true, true, u"Tentar de novo", true, true}));
    EXPECT_EQ(form->SummaryMemo->MemoText(),
              u"Não foi possível preparar a instalação.\n\nfalha simulada\n\nClique em \"Tentar de novo\" ou "
              u"volte e ajuste as opções.");
    Next();
    EXPECT_EQ(Kind(), pkReady);
    EXPECT_EQ(Buttons(), (TButtonState{true, true, u"Instalar", true, true}));
    Next();
    EXPECT_EQ(duringInstall, (std::vector<TButtonState>{{true, false, u"Avançar", false, true}}));
    EXPECT_EQ(form->ProgressBar->Position, 1000);
    EXPECT_EQ(Kind(), pkInfoAfter);
    EXPECT_EQ(Buttons(), (TButtonState{true, false, u"Avançar", true, true}));
    Next();
    EXPECT_EQ(Kind(), pkFinish);
    EXPECT_EQ(Buttons(), (TButtonState{false, false, u"Concluir", true, false}));
    EXPECT_EQ(form->ExitCode, 0);
}

TEST_F(Wizard, ReadyPageWithoutProviderOffersInstallAtOnce) {
    Open(u"", u"", false);
    NextUntil(pkReady);
    EXPECT_EQ(Buttons(), (TButtonState{true, true, u"Instalar", true, true}));
    EXPECT_EQ(provider->PrepareCalls, 0);
}

TEST_F(Wizard, EnterOnTheLicencePageWithoutAcceptingIsNotConsumed) {
    const std::u16string pkg = folder / u"setup.pkg";
    const std::u16string texts = PackedTexts();
    Open(u"", texts, true, [&](TSetupEngine& e) { OpenPackage(e, pkg); });
    uint16_t key = 13;
    form->LicenseMemo->OnKeyDown(form->LicenseMemo, key, 0);
    EXPECT_EQ(key, 0);
    ASSERT_EQ(Kind(), pkLicense);
    key = 13;
    form->HandleKey(form.Get(), key, 0);
    EXPECT_EQ(key, 13);
    EXPECT_EQ(Kind(), pkLicense);
}

TEST_F(Wizard, EscapeOnTheFinishPageIsIgnoredAndEnterFinishes) {
    Open();
    NextUntil(pkFinish);
    uint16_t key = 27;
    form->HandleKey(form.Get(), key, 0);
    EXPECT_EQ(key, 27);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_FALSE(Closed());
    key = 13;
    form->HandleKey(form.Get(), key, 0);
    EXPECT_EQ(key, 0);
    EXPECT_TRUE(Closed());
    EXPECT_EQ(form->ExitCode, 0);
}

class WizardCloseWay : public Wizard, public ::testing::WithParamInterface<bool> {};

TEST_P(WizardCloseWay, OnTheWelcomePageClosesAtOnceWithFive) {
    Open();
    EXPECT_FALSE(StaysAfterClosing(GetParam()));
    EXPECT_TRUE(Closed());
    EXPECT_EQ(form->ExitCode, 5);
    EXPECT_TRUE(Boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(Ways, WizardCloseWay, ::testing::Values(false, true),
                         [](const auto& info) { return std::string(info.param ? "AltF4" : "CloseBox"); });

// F4 alone, or with Ctrl as well, is no close.
TEST_F(Wizard, F4WithoutAltOrWithCtrlLeavesTheWizardOpen) {
    Open();
    Key(form.Get(), KeyF4);
    Key(form.Get(), KeyF4, Zyl::Testing::ModAlt | Zyl::Testing::ModCtrl);
    EXPECT_TRUE(form->Visible());
    EXPECT_FALSE(Application->Terminated);
    EXPECT_TRUE(Boxes.empty());
}

TEST_F(Wizard, CancelAsksToLeaveFirst) {
    Open();
    Answers = {IDNO, IDYES};
    uint16_t key = 27;
    form->HandleKey(form.Get(), key, 0);
    EXPECT_FALSE(Closed());
    form->CancelButton->OnButtonClick(form->CancelButton);
    EXPECT_TRUE(Closed());
    ASSERT_EQ(Boxes.size(), 2u);
    EXPECT_EQ(Boxes[0].Title, u"Sair");
    EXPECT_EQ(Boxes[0].Text, u"A instalação ainda não terminou. Deseja sair?");
    EXPECT_EQ(Boxes[0].Flags, 0x24u);
    EXPECT_EQ(form->ExitCode, 5);
}

// The close box and Alt+F4 during the run: the window stays, and the
// answer decides whether the engine is told to stop.
struct TCancelCase {
    const char* Name;
    bool AltF4;
    int32_t Answer;
    bool Cancelled;
    int32_t ExitCode;
};

class WizardCancel : public Wizard, public ::testing::WithParamInterface<TCancelCase> {};

TEST_P(WizardCancel, CloseDuringTheRunAsksAndKeepsTheWindow) {
    bool vetoed = false, cancelledSeen = false;
    provider->OnInstall = [&](TSetupEngine&, TSetupObserver& observer) {
        Answers = {GetParam().Answer};
        vetoed = StaysAfterClosing(GetParam().AltF4);
        cancelledSeen = observer.Cancelled();
        // Failing after a cancel request ends with 5, not 8.
        return !cancelledSeen;
    };
    Open();
    NextUntil(pkFinish);
    EXPECT_TRUE(vetoed);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Title, u"Cancelar");
    EXPECT_EQ(Boxes[0].Text, u"Cancelar a instalação? O que já foi instalado será removido.");
    EXPECT_EQ(cancelledSeen, GetParam().Cancelled);
    EXPECT_EQ(form->ExitCode, GetParam().ExitCode);
    EXPECT_EQ(Kind(), pkFinish);
    EXPECT_FALSE(form->Busy);
    EXPECT_EQ(form->TitleLabel->GetText(), GetParam().Cancelled ? u"Instalação não concluída" : u"Tudo certo!");
}

INSTANTIATE_TEST_SUITE_P(Answers, WizardCancel,
                         ::testing::Values(TCancelCase{"No", false, IDNO, false, 0},
                                           TCancelCase{"Yes", false, IDYES, true, 5},
                                           TCancelCase{"AltF4No", true, IDNO, false, 0},
                                           TCancelCase{"AltF4Yes", true, IDYES, true, 5}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(Wizard, FailureWithoutCancelEndsWithEightAndTheEngineError) {
    provider->OnInstall = [](TSetupEngine&, TSetupObserver&) { return false; };
    Open();
    NextUntil(pkFinish);
    EXPECT_EQ(form->ExitCode, 8);
    EXPECT_TRUE(form->Failed);
    EXPECT_TRUE(form->RunChecks.empty());
    EXPECT_EQ(form->FinishLabel->GetText(), u"A instalação de Ostrel Dax Teste não foi concluída.\r\n\r\nfalha simulada");
    Next();
    EXPECT_TRUE(Closed());
    EXPECT_EQ(form->ExitCode, 8);
    EXPECT_FALSE(FileExists(folder / u"post1.txt"));
}

TEST_F(Wizard, ARestartNeededRunClosedByItsCloseBoxStaysZero) {
    provider->OnInstall = [](TSetupEngine& e, TSetupObserver&) {
        e.RebootNeeded = true;
        return true;
    };
    Open(u"FinishText=Pronto|Até logo");
    NextUntil(pkFinish);
    EXPECT_EQ(form->FinishLabel->GetText(),
              u"Pronto\r\nAté logo\r\n\r\nAlguns arquivos estavam em uso e serão trocados na próxima vez que o Windows "
              u"for reiniciado. Reinicie o computador para terminar.");
    EXPECT_EQ(form->ExitCode, 0);
    EXPECT_TRUE(form->CloseRequested());
    EXPECT_EQ(form->ExitCode, 0);
}

TEST_F(Wizard, ConcluirAfterARestartNeededRunReturnsNine) {
    provider->OnInstall = [](TSetupEngine& e, TSetupObserver&) {
        e.RebootNeeded = true;
        return true;
    };
    Open();
    NextUntil(pkFinish);
    for (TFlatCheck* check : form->RunChecks) check->Checked = false;
    Next();
    EXPECT_TRUE(Closed());
    EXPECT_EQ(form->ExitCode, 9);
}

TEST_F(Wizard, PostInstallBoxesStartOnlyTheCheckedEntries) {
    Open();
    NextUntil(pkFinish);
    ASSERT_EQ(form->RunChecks.size(), 2u);
    EXPECT_EQ(form->RunChecks[0]->Top(), 150);
    EXPECT_EQ(form->RunChecks[1]->Top(), 182);
    EXPECT_EQ(form->RunChecks[0]->Caption, u"Abrir");
    EXPECT_TRUE(form->RunChecks[0]->Checked);
    EXPECT_FALSE(form->RunChecks[1]->Checked);
    EXPECT_EQ(form->TitleLabel->GetText(), u"Tudo certo!");
    EXPECT_EQ(form->SubtitleLabel->GetText(), u"Ostrel Dax Teste foi instalado.");
    Next();
    EXPECT_TRUE(FileExists(folder / u"post1.txt"));
    EXPECT_FALSE(FileExists(folder / u"post2.txt"));
    EXPECT_EQ(form->ExitCode, 0);
}

struct TErrorCase {
    const char* Name;
    std::deque<int32_t> Answers;
    uint8_t Choice;
    size_t BoxCount;
};

class WizardError : public Wizard, public ::testing::WithParamInterface<TErrorCase> {};

TEST_P(WizardError, AnswersBecomeRetryIgnoreOrAbort) {
    uint8_t choice = 99;
    provider->OnInstall = [&](TSetupEngine&, TSetupObserver& observer) {
        Answers = GetParam().Answers;
        choice = observer.ErrorChoice(u"C:\\x\\dax.exe", u"acesso negado");
        return true;
    };
    Open();
    NextUntil(pkFinish);
    EXPECT_EQ(choice, GetParam().Choice);
    ASSERT_EQ(Boxes.size(), GetParam().BoxCount);
    EXPECT_EQ(Boxes[0].Title, u"Erro de instalação");
    EXPECT_EQ(Boxes[0].Text, u"acesso negado\r\n\r\nTentar novamente?");
    EXPECT_EQ(Boxes[0].Flags, 0x14u);
    if (Boxes.size() > 1) {
        EXPECT_EQ(Boxes[1].Text, u"Ignorar este item e continuar a instalação?");
        EXPECT_EQ(Boxes[1].Flags, 0x24u);
    }
}

INSTANTIATE_TEST_SUITE_P(Answers, WizardError,
                         ::testing::Values(TErrorCase{"Yes", {IDYES}, 1, 1}, TErrorCase{"NoYes", {IDNO, IDYES}, 2, 2},
                                           TErrorCase{"NoNo", {IDNO, IDNO}, 0, 2}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(Wizard, PreparationRunsAgainAfterBackAndNext) {
    Open();
    NextUntil(pkReady);
    EXPECT_EQ(provider->PrepareCalls, 1);
    EXPECT_TRUE(form->Prepared);
    Back();
    EXPECT_EQ(Kind(), pkTasks);
    Next();
    EXPECT_EQ(provider->PrepareCalls, 2);
    EXPECT_EQ(Buttons(), (TButtonState{true, true, u"Instalar", true, true}));
    EXPECT_NE(form->SummaryMemo->Lines()->GetText().find(u"Download: 4 KB"), std::u16string::npos);
}

TEST_F(Wizard, CancelDuringThePreparationAsksNothingAndReachesTheProvider) {
    bool seen = false;
    provider->OnPrepare = [&](TSetupObserver& observer) {
        form->CancelButton->OnButtonClick(form->CancelButton);
        seen = observer.Cancelled();
        return false;
    };
    Open();
    NextUntil(pkReady);
    EXPECT_TRUE(seen);
    EXPECT_TRUE(Boxes.empty());
    EXPECT_FALSE(form->CancelRequested);
}

TEST_F(Wizard, DesinstalarStartsTheOldUninstallerAndCloses) {
    const std::u16string old = folder / u"antigo";
    ASSERT_TRUE(CreateDirPath(old));
    ASSERT_TRUE(CopyFileW(reinterpret_cast<const wchar_t*>(KsTest::ChildExePath().c_str()),
                          reinterpret_cast<const wchar_t*>((old + u"\\unins000.exe").c_str()), FALSE));
    Open(u"", u"", true, [&](TSetupEngine& e) { e.PreviousInstall = {true, old, u"1.0"}; });
    ASSERT_NE(form->UninstallButton, nullptr);
    const Zyl::TPoint at = form->UninstallButton->OriginInRoot();
    Click(form.Get(), at.X + 20, at.Y + 10);
    EXPECT_TRUE(Closed());
    EXPECT_EQ(form->ExitCode, 5);
    bool reported = false;
    for (int i = 0; i < 100 && !reported; ++i, Sleep(50)) reported = FileExists(old + u"\\child-report.txt");
    EXPECT_TRUE(reported);
}

TEST_F(Wizard, WelcomeNoticeWithoutAnUninstallerExplainsInstead) {
    Open(u"", u"", true, [&](TSetupEngine& e) { e.PreviousInstall = {true, folder / u"nada", u""}; });
    EXPECT_EQ(form->UninstallButton, nullptr);
}

// An exception while the preparation runs counts as a failed preparation:
// without the reset, Preparing stayed set and Next and Back disabled.
TEST_F(Wizard, AnExceptionDuringThePreparationLeavesTheButtonsUsable) {
    Open();
    NextUntil(pkTasks);
    Shell().WhileProcessing = [] { throw System::Exception(u"falha na fila de mensagens"); };
    Next();
    Shell().WhileProcessing = nullptr;
    EXPECT_EQ(Kind(), pkReady);
    EXPECT_FALSE(form->Preparing);
    EXPECT_FALSE(form->Prepared);
    EXPECT_EQ(Buttons(), (TButtonState{true, true, u"Tentar de novo", true, true}));
    EXPECT_NE(form->SummaryMemo->Lines()->GetText().find(u"falha na fila de mensagens"), std::u16string::npos);
}

// A handler that raises during the run fails it; the window can be closed.
TEST_F(Wizard, AnExceptionDuringTheRunFailsItAndTheWindowCloses) {
    provider->OnInstall = [](TSetupEngine&, TSetupObserver& observer) {
        observer.Progress(1, 4);
        return true;
    };
    Open();
    NextUntil(pkReady);
    Shell().WhileProcessing = [] { throw System::Exception(u"falha na fila de mensagens"); };
    Next();
    Shell().WhileProcessing = nullptr;
    EXPECT_EQ(Kind(), pkFinish);
    EXPECT_FALSE(form->Busy);
    EXPECT_EQ(form->ExitCode, 8);
    EXPECT_TRUE(form->CloseRequested());
}

TEST_F(Wizard, DestinationChecksTheFolderAndStoresItNormalised) {
    Open();
    Next();
    ASSERT_EQ(Kind(), pkDir);
    form->DirEdit->SetText(u"Teste");
    Next();
    EXPECT_EQ(Kind(), pkDir);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Title, u"Pasta de destino");
    EXPECT_EQ(Boxes[0].Flags, 0x10u);
    form->DirEdit->SetText(u" " + ReplaceAll(folder.Path(), u"\\", u"/") + u"/outra/ ");
    Next();
    EXPECT_EQ(Kind(), pkTasks);
    EXPECT_EQ(engine->Context->AppDir, folder / u"outra");
    EXPECT_EQ(form->DirEdit->GetText(), folder / u"outra");
    EXPECT_NE(form->SpaceLabel->GetText().find(u"\"Resumo\""), std::u16string::npos);
}

TEST_F(Wizard, TasksFeedTheEngineSelection) {
    Open();
    NextUntil(pkTasks);
    ASSERT_EQ(form->TaskChecks.size(), 2u);
    EXPECT_TRUE(form->TaskChecks[0]->Checked);
    EXPECT_FALSE(form->TaskChecks[1]->Checked);
    form->TaskChecks[0]->Checked = false;
    form->TaskChecks[1]->Checked = true;
    Next();
    EXPECT_EQ(engine->SelectedTasks, (std::vector<std::u16string>{u"caminho"}));
}

// The observer's handlers touch controls: a report from another thread is a
// fault that must not go unnoticed.
TEST_F(Wizard, AReportFromAProviderThreadIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            provider->OnPrepare = [](TSetupObserver& observer) {
                std::thread worker([&observer] { observer.Status(u"de outra thread"); });
                worker.join();
                return true;
            };
            Open();
            NextUntil(pkReady);
        },
        "outside the UI thread");
}
