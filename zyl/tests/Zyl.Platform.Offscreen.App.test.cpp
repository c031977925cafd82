#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Test.Events.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace Zyl {
namespace {

using System::MakeRef;

// Timers that log "name@tick" when they fire, for one scenario.
struct TTimerHarness {
    TRef<TOffscreenApp> App = MakeRef<TOffscreenApp>();
    std::vector<std::string> Log;

    void Note(const std::string& line) { Log.push_back(line); }
    void Fired(const char* name) { Note(std::string(name) + "@" + std::to_string(App->TickCount())); }
    // A timer that logs, then runs then (when set) with its own id.
    int32_t Add(const char* name, int32_t interval, std::function<void(int32_t)> then = {}) {
        auto id = std::make_shared<int32_t>(0);
        *id = App->AddTimer(interval, [this, name, id, then] {
            Fired(name);
            if (then) then(*id);
        });
        return *id;
    }
    std::string Text() const {
        std::string text;
        for (const std::string& line : Log) text += (text.empty() ? "" : " ") + line;
        return text;
    }
};

struct TTimerScenario {
    const char* Name;
    std::function<void(TTimerHarness&)> Play;
    const char* Expected;
};

void PrintTo(const TTimerScenario& c, std::ostream* os) { *os << c.Name; }

// Adds many timers from inside its own call, then reads its captures: the
// table moves under a callback that was not copied out before the call.
struct TGrowingCallback {
    TTimerHarness* Harness;
    const char* Name;
    void operator()() const {
        if (Harness->App->TickCount() == 1)
            for (int i = 0; i < 100; ++i) Harness->App->AddTimer(1000, [] {});
        Harness->Fired(Name);
    }
};

const TTimerScenario kTimerScenarios[] = {
    {"IdsCountUpAndAreNotReused",
     [](TTimerHarness& h) {
         const int32_t a = h.App->AddTimer(5, [] {});
         const int32_t b = h.App->AddTimer(5, [] {});
         h.App->RemoveTimer(a);
         h.App->RemoveTimer(99);
         const int32_t c = h.App->AddTimer(5, [] {});
         h.Note("ids=" + std::to_string(a) + "," + std::to_string(b) + "," + std::to_string(c));
     },
     "ids=1,2,3"},
    {"IntervalZeroActsAsOne",
     [](TTimerHarness& h) {
         h.Add("A", 0);
         h.App->WaitForEvents(3);
     },
     "A@1 A@2 A@3"},
    {"EqualDueTimesFireInTheOrderAdded",
     [](TTimerHarness& h) {
         h.Add("A", 5);
         h.Add("B", 5);
         h.App->WaitForEvents(10);
     },
     "A@5 B@5 A@10 B@10"},
    {"RunFiresATimerAtEachMultipleOfItsInterval",
     [](TTimerHarness& h) {
         h.Add("A", 25, [&](int32_t) {
             if (h.App->TickCount() == 75) h.App->Quit();
         });
         h.App->Run();
         h.Note("clock=" + std::to_string(h.App->Clock));
     },
     "A@25 A@50 A@75 clock=80"},
    {"AOneMillisecondTimerFiresTenTimesInOneRunStep",
     [](TTimerHarness& h) {
         h.Add("A", 1, [&](int32_t) { h.App->Quit(); });
         h.App->Run();
     },
     "A@1 A@2 A@3 A@4 A@5 A@6 A@7 A@8 A@9 A@10"},
    {"WaitForEventsFiresOnTheWayAndEndsAtItsLimit",
     [](TTimerHarness& h) {
         h.Add("A", 30);
         h.App->WaitForEvents(100);
         h.Note("clock=" + std::to_string(h.App->TickCount()));
     },
     "A@30 A@60 A@90 clock=100"},
    {"ATimerAddedByACallbackIsDueOneIntervalLater",
     [](TTimerHarness& h) {
         h.Add("A", 10, [&](int32_t) {
             if (h.App->TickCount() == 10) h.Add("B", 7);
         });
         h.App->WaitForEvents(30);
     },
     "A@10 B@17 A@20 B@24 A@30"},
    {"ACallbackRemovesItselfAndAnotherDueTimer",
     [](TTimerHarness& h) {
         h.Add("A", 5, [&](int32_t self) {
             h.App->RemoveTimer(self);
             h.App->RemoveTimer(self + 1);
         });
         h.Add("B", 5);
         h.Add("C", 5);
         h.App->WaitForEvents(10);
     },
     "A@5 C@5 C@10"},
    {"QuitInACallbackStillLetsThatStepFinish",
     [](TTimerHarness& h) {
         h.App->Quit();  // made before Run: no effect on it
         h.Add("A", 3, [&](int32_t) {
             if (h.App->TickCount() == 12) h.App->Quit();
         });
         h.Add("B", 14);
         h.App->Run();
         h.Note("clock=" + std::to_string(h.App->Clock));
     },
     "A@3 A@6 A@9 A@12 B@14 A@15 A@18 clock=20"},
    {"ACallbackAddingManyTimersMovesTheTable",
     [](TTimerHarness& h) {
         h.App->AddTimer(1, TGrowingCallback{&h, "A"});
         h.App->WaitForEvents(3);
         h.Note("timers=" + std::to_string(h.App->Timers.size()));
     },
     "A@1 A@2 A@3 timers=101"},
    {"ACallbackThatWaitsNeverTurnsTheClockBack",
     [](TTimerHarness& h) {
         h.Add("A", 5, [&](int32_t) {
             if (h.App->TickCount() == 5) h.App->WaitForEvents(20);
         });
         h.App->WaitForEvents(10);
         h.Note("clock=" + std::to_string(h.App->TickCount()));
         h.App->WaitForEvents(5);
     },
     "A@5 A@10 A@15 A@20 A@25 clock=25 A@30"},
};

class TimerScenario : public ::testing::TestWithParam<TTimerScenario> {};

TEST_P(TimerScenario, FiresAsLogged) {
    TTimerHarness harness;
    GetParam().Play(harness);
    EXPECT_EQ(harness.Text(), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Offscreen, TimerScenario, ::testing::ValuesIn(kTimerScenarios),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(OffscreenApp, StartsWithTheValuesAfterConstruction) {
    const TRef<TOffscreenApp> app = MakeRef<TOffscreenApp>();
    EXPECT_EQ(app->TickCount(), 0);
    EXPECT_EQ(app->ScreenWidth(), 1280);
    EXPECT_EQ(app->ScreenHeight(), 800);
    EXPECT_TRUE(app->HasDisplay());
    EXPECT_EQ(app->MessageBox(nullptr, u"t", u"x", MessageKindQuestion, MessageButtonsYesNo), 1);
    app->MessageBoxResult = MessageResultNo;
    EXPECT_EQ(app->MessageBox(nullptr, u"t", u"x", MessageKindQuestion, MessageButtonsYesNo),
              MessageResultNo);
    int32_t left = -1, top = -1, right = -1, bottom = -1;
    app->ScreenWidthValue = 1024;
    app->GetWorkArea(5, 5, left, top, right, bottom);
    EXPECT_EQ(std::vector<int32_t>({left, top, right, bottom}), std::vector<int32_t>({0, 0, 1024, 800}));
}

TEST(OffscreenApp, OffersNoReadyMadeControlsButFreshCustomOnes) {
    const TRef<TOffscreenApp> app = MakeRef<TOffscreenApp>();
    using Factory = TRef<TPlatformControl> (TPlatformApp::*)();
    for (Factory factory :
         {&TPlatformApp::CreateButton, &TPlatformApp::CreateEdit, &TPlatformApp::CreateCheckBox,
          &TPlatformApp::CreateRadioButton, &TPlatformApp::CreateMemo, &TPlatformApp::CreateListBox,
          &TPlatformApp::CreateComboBox, &TPlatformApp::CreateTabControl, &TPlatformApp::CreateListView,
          &TPlatformApp::CreateTreeView, &TPlatformApp::CreateStatusBar, &TPlatformApp::CreateToolBar,
          &TPlatformApp::CreateScrollBar})
        EXPECT_EQ(((*app).*factory)(), nullptr);
    const TRef<TPlatformControl> a = app->CreateCustomControl();
    const TRef<TPlatformControl> b = app->CreateCustomControl();
    ASSERT_NE(a, nullptr);
    EXPECT_NE(a, b);
    auto* control = dynamic_cast<TOffscreenControl*>(a.Get());
    ASSERT_NE(control, nullptr);
    EXPECT_TRUE(control->Visible);
    EXPECT_TRUE(control->Enabled);
    EXPECT_EQ(control->Cursor, 0);
    EXPECT_EQ(control->GetWindow(), nullptr);
}

TEST(OffscreenApp, HasTwoFixedPrinters) {
    const TRef<TOffscreenApp> app = MakeRef<TOffscreenApp>();
    EXPECT_EQ(app->PrinterCount(), 2);
    EXPECT_EQ(app->DefaultPrinterIndex(), 0);
    EXPECT_EQ(app->PrinterName(0), u"Impressora de teste");
    EXPECT_EQ(app->PrinterName(1), u"Segunda impressora");
    EXPECT_EQ(app->PrinterName(2), u"");
    EXPECT_EQ(app->PrinterName(-1), u"");
    EXPECT_EQ(app->BeginPrintJob(2, u"x", false, 1, u""), nullptr);
    EXPECT_EQ(app->BeginPrintJob(-1, u"x", false, 1, u""), nullptr);
    EXPECT_EQ(app->LastPrintJob, nullptr);

    const TRef<TPlatformPrintJob> job = app->BeginPrintJob(1, u"Relatório", true, 3, u"saida.prn");
    ASSERT_NE(job, nullptr);
    EXPECT_EQ(app->LastPrintJob.Get(), job.Get());
    EXPECT_EQ(app->LastPrintJob->Title, u"Relatório");
    EXPECT_EQ(app->LastPrintJob->PrinterIndex, 1);
    EXPECT_TRUE(app->LastPrintJob->Landscape);
    EXPECT_EQ(app->LastPrintJob->Copies, 3);
    EXPECT_EQ(app->LastPrintJob->OutputFile, u"saida.prn");
}

struct TFileDialogCase {
    const char* Name;
    int32_t Kind, Options;
    bool Accepts;
    const char16_t* Answer;
    const char16_t* MultiAnswer;
    bool Expected;
    const char16_t* ExpectedResult;
};

void PrintTo(const TFileDialogCase& c, std::ostream* os) { *os << c.Name; }

const TFileDialogCase kFileDialogCases[] = {
    {"SingleOpenWithNothingPreset", FileDialogOpen, 0, false, u"", u"", false, u"(unchanged)"},
    {"SingleOpenAccepted", FileDialogOpen, 0, true, u"a.txt", u"", true, u"a.txt"},
    {"SingleSaveAccepted", FileDialogSave, FileDialogOverwritePrompt, true, u"b.txt", u"", true, u"b.txt"},
    {"MultiOpenTakesTheMultiAnswer", FileDialogOpen, FileDialogMultiSelect, true, u"a.txt", u"x\ny", true,
     u"x\ny"},
    {"MultiOpenFallsBackToTheSingleAnswer", FileDialogOpen, FileDialogMultiSelect, true, u"a.txt", u"",
     true, u"a.txt"},
    {"FolderAccepted", FileDialogFolder, 0, true, u"C:\\pasta", u"", true, u"C:\\pasta"},
    {"FolderDeclined", FileDialogFolder, 0, false, u"C:\\pasta", u"", false, u"(unchanged)"},
    {"MultiAnswerWinsForASingleOpen", FileDialogOpen, 0, true, u"a.txt", u"m.txt", true, u"m.txt"},
};

class FileDialogCase : public ::testing::TestWithParam<TFileDialogCase> {};

TEST_P(FileDialogCase, AnswersFromThePresetFields) {
    const TFileDialogCase& c = GetParam();
    const TRef<TOffscreenApp> app = MakeRef<TOffscreenApp>();
    app->FileDialogAccepts = c.Accepts;
    app->FileDialogAnswer = c.Answer;
    app->FileDialogMultiAnswer = c.MultiAnswer;
    int32_t filterIndex = 7;
    std::u16string result = u"(unchanged)";
    EXPECT_EQ(app->RunFileDialog(nullptr, u"t", c.Kind, c.Options, u"", u"", u"", u"", filterIndex, result),
              c.Expected);
    EXPECT_EQ(result, c.ExpectedResult);
    EXPECT_EQ(filterIndex, 7);
}

INSTANTIATE_TEST_SUITE_P(Offscreen, FileDialogCase, ::testing::ValuesIn(kFileDialogCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(OffscreenApp, ColourAndFontDialogsAnswerFromThePresetFields) {
    const TRef<TOffscreenApp> app = MakeRef<TOffscreenApp>();
    int32_t colour = 5;
    EXPECT_FALSE(app->ColorDialog(nullptr, nullptr, colour));
    EXPECT_EQ(colour, 5);
    app->ColorDialogAccepts = true;
    app->ColorDialogAnswer = 0x123456;
    EXPECT_TRUE(app->ColorDialog(nullptr, nullptr, colour));
    EXPECT_EQ(colour, 0x123456);
    std::u16string face = u"Arial";
    int32_t size = 9, style = 0;
    EXPECT_FALSE(app->FontDialog(nullptr, nullptr, face, size, style));
    EXPECT_EQ(face, u"Arial");
}

TEST(OffscreenMenu, RecordsItsItems) {
    const TRef<TOffscreenApp> app = MakeRef<TOffscreenApp>();
    const TRef<TPlatformMenu> menu = app->CreateMenu(true);
    ASSERT_EQ(app->LastMenu.Get(), menu.Get());
    TOffscreenMenu& m = *app->LastMenu;
    EXPECT_TRUE(m.IsPopup);
    m.AddSeparator(0);
    m.AddItem(0, u"Abrir", 7);
    m.AddCheckItem(0, u"Mostrar", 7);
    ASSERT_EQ(m.Items.size(), 3u);
    EXPECT_EQ(m.Items[0].Caption, u"-");
    EXPECT_EQ(m.Items[0].Id, 0);
    EXPECT_TRUE(m.Items[0].Separator);
    EXPECT_TRUE(m.Items[1].Enabled);
    EXPECT_TRUE(m.Items[2].CheckItem);
    EXPECT_FALSE(m.Items[2].Checked);

    m.SetItemChecked(0, true);  // only the separator has id 0
    EXPECT_FALSE(m.Items[0].Checked);
    EXPECT_FALSE(m.GetItemChecked(0));
    m.SetItemChecked(7, true);  // the first item with the id, check item or not
    m.SetItemEnabled(7, false);
    EXPECT_TRUE(m.Items[1].Checked);
    EXPECT_FALSE(m.Items[1].Enabled);
    EXPECT_FALSE(m.Items[2].Checked);
    EXPECT_TRUE(m.Items[2].Enabled);
    EXPECT_TRUE(m.GetItemChecked(7));
    EXPECT_FALSE(m.GetItemChecked(42));
    EXPECT_FALSE(m.PoppedUp);
    m.Popup();
    EXPECT_TRUE(m.PoppedUp);
    app->CreateMenu(false);
    EXPECT_FALSE(app->LastMenu->IsPopup);
}

TEST(OffscreenTrayIcon, RecordsItsState) {
    const TRef<TOffscreenApp> app = MakeRef<TOffscreenApp>();
    const TRef<TPlatformTrayIcon> icon = app->CreateTrayIcon();
    ASSERT_EQ(app->LastTrayIcon.Get(), icon.Get());
    const TRef<TPlatformSurface> image = MakeRef<Testing::TMemorySurface>(2, 2, true);
    icon->SetVisible(true);
    icon->SetIcon(image.Get());
    icon->SetTip(u"Instalador");
    icon->ShowBalloon(u"Título", u"Texto", MessageKindWarning);
    const TOffscreenTrayIcon& t = *app->LastTrayIcon;
    EXPECT_TRUE(t.Visible);
    EXPECT_TRUE(t.HasIcon);
    EXPECT_EQ(t.Tip, u"Instalador");
    EXPECT_EQ(t.BalloonTitle, u"Título");
    EXPECT_EQ(t.BalloonText, u"Texto");
    EXPECT_EQ(t.BalloonIcon, MessageKindWarning);
    EXPECT_TRUE(t.BalloonShown);
    icon->HideBalloon();
    icon->SetIcon(nullptr);
    EXPECT_FALSE(t.BalloonShown);
    EXPECT_FALSE(t.HasIcon);
}

TEST(OffscreenPrintJob, HasA4PagesAt100Dpi) {
    const Testing::TScopedPlatformServices services(MakeRef<Testing::TMemoryServices>());
    const TRef<TOffscreenApp> app = MakeRef<TOffscreenApp>();
    const TRef<TPlatformPrintJob> portrait = app->BeginPrintJob(0, u"p", false, 1, u"");
    const TRef<TPlatformPrintJob> landscape = app->BeginPrintJob(0, u"l", true, 1, u"");
    EXPECT_EQ(portrait->PageWidth(), 827);
    EXPECT_EQ(portrait->PageHeight(), 1169);
    EXPECT_EQ(landscape->PageWidth(), 1169);
    EXPECT_EQ(landscape->PageHeight(), 827);
    for (const TRef<TPlatformPrintJob>& job : {portrait, landscape}) {
        EXPECT_EQ(job->DpiX(), 100);
        EXPECT_EQ(job->DpiY(), 100);
        EXPECT_EQ(job->PhysicalWidth(), job->PageWidth());
        EXPECT_EQ(job->PhysicalOffsetX(), 0);
    }
}

TEST(OffscreenPrintJob, KeepsOnlyEndedPages) {
    const Testing::TScopedPlatformServices services(MakeRef<Testing::TMemoryServices>());
    const TRef<TOffscreenApp> app = MakeRef<TOffscreenApp>();
    app->BeginPrintJob(0, u"p", false, 1, u"");
    TOffscreenPrintJob& job = *app->LastPrintJob;
    job.EndPage();  // nothing begun
    EXPECT_TRUE(job.Pages.empty());

    job.BeginPage();
    const TRef<TPlatformSurface> first = job.CurrentPage;
    const TRef<TPlatformCanvas> canvas = job.BeginPage();
    EXPECT_NE(job.CurrentPage, first);
    canvas->SetPixel(3, 4, 0x0000FF);
    job.EndPage();
    ASSERT_EQ(job.Pages.size(), 1u);
    EXPECT_EQ(Testing::ColorAt(*job.Pages[0], 3, 4), 0x0000FF);

    job.BeginPage();
    job.EndJob();
    EXPECT_TRUE(job.Ended);
    EXPECT_EQ(job.Pages.size(), 1u);
    EXPECT_NE(job.CurrentPage, nullptr);
    job.Abort();
    EXPECT_TRUE(job.Aborted);
}

TEST(OffscreenPrintJob, BeginsNoPageWithoutPlatformServices) {
    const Testing::TScopedPlatformServices none(nullptr);
    const TRef<TOffscreenApp> app = MakeRef<TOffscreenApp>();
    const TRef<TPlatformPrintJob> job = app->BeginPrintJob(0, u"p", false, 1, u"");
    EXPECT_EQ(job->BeginPage(), nullptr);
    job->EndPage();
    EXPECT_TRUE(app->LastPrintJob->Pages.empty());
}

TEST(OffscreenPrintJob, ABlankPageIsAllWhite) {
    const Testing::TScopedPlatformServices services(MakeRef<Testing::TMemoryServices>());
    const TRef<TOffscreenApp> app = MakeRef<TOffscreenApp>();
    app->BeginPrintJob(0, u"p", false, 1, u"");
    TOffscreenPrintJob& job = *app->LastPrintJob;
    job.BeginPage();
    job.EndPage();
    ASSERT_EQ(job.Pages.size(), 1u);
    TPlatformSurface& page = *job.Pages[0];
    ASSERT_EQ(page.Width(), 827);
    ASSERT_EQ(page.Height(), 1169);
    int64_t notWhite = 0;
    for (int32_t y = 0; y < page.Height(); ++y)
        for (int32_t x = 0; x < page.Width(); ++x) notWhite += Testing::ColorAt(page, x, y) != 0xFFFFFF;
    EXPECT_EQ(notWhite, 0);
}

} // namespace
} // namespace Zyl
