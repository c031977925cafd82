#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "KS.Journal.h"
#include "KS.Startup.h"
#include "KS.Sys.Files.h"
#include "KS.Test.Sandbox.h"
#include "KS.Test.Windows.h"
#include "KS.UninstallForm.h"
#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;
using System::TRef;
using Zyl::Application;
using Zyl::Testing::Shell;

namespace {

// The bar's track and fill as the form's pixels give them (0xRRGGBB).
constexpr int32_t TrackRgb = 0xDDE2E8, FillRgb = 0x1F6FEB;

class UninstallForm : public TWindowTest {
protected:
    void SetUp() override {
        TWindowTest::SetUp();
        // The forms run on the harness's soft canvas, never a chosen one.
        SetEnvironmentVariableW(L"ZYL_CANVAS", nullptr);
        // The windows' entry points start the application as the program
        // does, which needs the canvas registries; the harness's application
        // and soft services stay in place.
        InitializeUnits();
    }

    void TearDown() override {
        Shell().WhileProcessing = nullptr;
        if (form) form->ReleaseForm();
        form = nullptr;
        Application->MainForm = nullptr;
        TWindowTest::TearDown();
    }

    // A journal of files made in the test's folder, the first one added
    // first (so removed last).
    TRef<TJournal> JournalOf(const std::vector<std::u16string>& names) {
        TRef<TJournal> journal = MakeRef<TJournal>();
        for (const std::u16string& name : names) {
            EXPECT_TRUE(WriteBytes(folder / name, "x"));
            journal->AddFile(folder / name);
        }
        return journal;
    }

    // The window built and shown as RunUninstallForm shows it, without its loop.
    TUninstallForm& Open(TJournal& journal) {
        form = Application->CreateForm<TUninstallForm>();
        form->Build(journal, u"Teste");
        form->Show();
        return *form;
    }

    // The form RunUninstallForm runs, while it runs.
    static TUninstallForm* Running() { return static_cast<TUninstallForm*>(Application->MainForm.Get()); }

    TTestFolder folder;
    TRef<TUninstallForm> form;
};

struct TConfirmCase {
    const char* Name;
    int32_t Answer;
    bool Confirmed;
};

class UninstallConfirm : public UninstallForm, public ::testing::WithParamInterface<TConfirmCase> {};

TEST_P(UninstallConfirm, OnlyYesConfirms) {
    Answer = GetParam().Answer;
    EXPECT_EQ(ConfirmUninstall(u"Ostrel Dax"), GetParam().Confirmed);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, u"Deseja remover Ostrel Dax e todos os seus componentes?");
    EXPECT_EQ(Boxes[0].Title, u"Desinstalar");
    EXPECT_EQ(Boxes[0].Flags, 0x24u);
}

INSTANTIATE_TEST_SUITE_P(Answers, UninstallConfirm,
                         ::testing::Values(TConfirmCase{"Yes", IDYES, true}, TConfirmCase{"No", IDNO, false},
                                           TConfirmCase{"Ok", IDOK, false}),
                         [](const auto& info) { return std::string(info.param.Name); });

} // namespace

TEST_F(UninstallForm, FrameHasAClientAreaOf640By260AndTheControlsInTheirPlaces) {
    TRef<TJournal> journal = JournalOf({});
    Open(*journal);
    EXPECT_EQ(form->GetClientRect().Right, 640);
    EXPECT_EQ(form->GetClientRect().Bottom, 260);
    EXPECT_EQ(form->GetText(), u"Desinstalar - Teste");
    EXPECT_EQ(form->StepsPanel->Width(), 190);
    EXPECT_EQ(form->StepsPanel->Height(), 260);
    EXPECT_EQ(form->StepsPanel->Steps, (std::vector<std::u16string>{u"Removendo"}));
    EXPECT_EQ(form->StepsPanel->Footer, u"Desinstalação");
    EXPECT_EQ(form->StatusLabel->GetText(), u"Preparando...");
    EXPECT_EQ(form->StatusLabel->Top(), 76);
    const TSlimProgress& bar = *form->ProgressBar;
    EXPECT_EQ((std::vector<int32_t>{bar.Left(), bar.Top(), bar.Width(), bar.Height(), bar.Max, bar.Position}),
              (std::vector<int32_t>{220, 140, 390, 40, 1000, 0}));
    EXPECT_EQ(form->RunTimer->Interval(), 300);
    // Nothing to cancel with and no question on errors.
    EXPECT_FALSE(form->Observer->Cancelled());
    EXPECT_EQ(form->Observer->ErrorChoice(u"C:\\x", u"negado"), 0);
    EXPECT_TRUE(Boxes.empty());
}

// The bar moves and is repainted only for a total above 0; every report
// lets the window process its messages.
TEST_F(UninstallForm, ProgressRepaintsTheBarAndATotalOfZeroKeepsIt) {
    TRef<TJournal> journal = JournalOf({});
    Open(*journal);
    int pumped = 0;
    Shell().WhileProcessing = [&] { ++pumped; };
    Render(form.Get());
    const int32_t x = 220 + 100, y = 140 + 31;
    EXPECT_EQ(Px(form.Get(), x, y), TrackRgb);
    form->UninstallProgressHandler(1, 2);
    EXPECT_EQ(form->ProgressBar->Position, 500);
    ShellOf(form.Get())->RenderWindowSurface();
    EXPECT_EQ(Px(form.Get(), x, y), FillRgb);
    form->UninstallProgressHandler(7, 0);
    EXPECT_EQ(form->ProgressBar->Position, 500);
    EXPECT_EQ(pumped, 2);
    form->UninstallStatusHandler(u"Limpando o registro...");
    EXPECT_EQ(form->StatusLabel->GetText(), u"Limpando o registro...");
    EXPECT_EQ(pumped, 3);
}

namespace {

// How a complete replay ends, and what the window reports of it.
struct TOutcomeCase {
    const char* Name;
    bool HoldAFile;  // open without sharing: removed at the next restart
    bool RestartNeeded;
    const char16_t* Text;
};

class UninstallOutcome : public UninstallForm, public ::testing::WithParamInterface<TOutcomeCase> {};

} // namespace

TEST_P(UninstallOutcome, TheWindowReplaysClosesAndReports) {
    const TOutcomeCase& c = GetParam();
    TRef<TJournal> journal = JournalOf({u"a.txt", u"b.txt"});
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.HoldAFile) {
        held = CreateFileW(System::WStr(folder / u"a.txt"), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
    }
    // What the window shows while the replay lets it process its messages.
    std::vector<std::u16string> statuses;
    int32_t lastPosition = -1;
    Shell().WhileProcessing = [&] {
        TUninstallForm& running = *Running();
        EXPECT_TRUE(running.Visible());
        if (statuses.empty() || statuses.back() != running.StatusLabel->GetText())
            statuses.push_back(running.StatusLabel->GetText());
        lastPosition = running.ProgressBar->Position;
    };
    bool restartNeeded = !c.RestartNeeded;
    const bool succeeded = RunUninstallForm(*journal, u"Teste", restartNeeded);
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);

    EXPECT_TRUE(succeeded);
    EXPECT_EQ(restartNeeded, c.RestartNeeded);
    EXPECT_EQ(Application->Title, u"Desinstalar - Teste");
    EXPECT_TRUE(Application->Terminated);
    EXPECT_EQ(statuses, (std::vector<std::u16string>{u"Removendo arquivos...", u"Limpando o registro..."}));
    EXPECT_EQ(lastPosition, 1000);
    EXPECT_FALSE(FileExists(folder / u"b.txt"));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, c.Text);
    EXPECT_EQ(Boxes[0].Title, u"Desinstalar");
    EXPECT_EQ(Boxes[0].Flags, 0x40u);
    // The window went before the box.
    EXPECT_TRUE(Zyl::Screen->Forms.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Replays, UninstallOutcome,
    ::testing::Values(TOutcomeCase{"Removed", false, false, u"Teste foi removido do computador."},
                      TOutcomeCase{"RestartNeeded", true, true,
                                   u"Teste foi removido, mas alguns arquivos só serão apagados quando o Windows "
                                   u"for reiniciado."}),
    [](const auto& info) { return std::string(info.param.Name); });

// A replay that ends incomplete (here the journal's own stop, which no
// window can ask for) is reported as not concluded; what is left stays.
TEST_F(UninstallForm, AnIncompleteReplayIsReportedAsNotConcluded) {
    TRef<TJournal> journal = JournalOf({u"a.txt"});
    Shell().WhileProcessing = [] {
        Running()->Observer->OnCancelled = [](bool& cancelled) { cancelled = true; };
    };
    bool restartNeeded = true;
    EXPECT_FALSE(RunUninstallForm(*journal, u"Teste", restartNeeded));
    EXPECT_FALSE(restartNeeded);
    EXPECT_TRUE(FileExists(folder / u"a.txt"));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, u"A desinstalação de Teste não foi concluída: alguns itens não puderam ser removidos.");
    EXPECT_EQ(Boxes[0].Title, u"Desinstalar");
    EXPECT_EQ(Boxes[0].Flags, 0x10u);
}

// An exception out of the replay (here from the message processing of a
// handler) fails the replay: the window still closes and the box tells why,
// instead of the loop's "Erro" over a window that stays open.
TEST_F(UninstallForm, AnExceptionDuringTheReplayFailsItClosesTheWindowAndIsReported) {
    TRef<TJournal> journal = JournalOf({u"a.txt"});
    Shell().WhileProcessing = [] { throw System::Exception(u"falha na fila de mensagens"); };
    bool restartNeeded = true;
    bool succeeded = true;
    EXPECT_NO_THROW(succeeded = RunUninstallForm(*journal, u"Teste", restartNeeded));
    EXPECT_FALSE(succeeded);
    EXPECT_FALSE(restartNeeded);
    EXPECT_TRUE(Application->Terminated);
    EXPECT_TRUE(Zyl::Screen->Forms.empty());
    EXPECT_TRUE(FileExists(folder / u"a.txt"));
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, u"A desinstalação de Teste não foi concluída: alguns itens não puderam ser removidos."
                             u"\r\n\r\nfalha na fila de mensagens");
    EXPECT_EQ(Boxes[0].Flags, 0x10u);
}
