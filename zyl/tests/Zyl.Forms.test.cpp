// Forms, the application and hints on the real drawn application over a
// probe shell: input through the forms' shell windows, time on the virtual
// clock, pixels from the rendered window surfaces.
#include "Zyl.Forms.Harness.h"
#include "Zyl.Test.Debug.h"

#include <functional>
#include <string>
#include <vector>

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

// Answers ZM_DIALOGCHAR for one key and logs every key it is offered.
class AcceleratorProbe : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    uint32_t Accelerator = 'S';
    std::vector<uint32_t> Offered;
    void DeliverMessage(TZylMessage& m) override {
        if (m.Id() != ZM_DIALOGCHAR) return TCustomControl::DeliverMessage(m);
        Offered.push_back(m.Key);
        m.Result = m.Key == Accelerator;
    }
};

// Lets a test change the hint before it shows.
class HintProbe : public ProbeButton {
public:
    using ProbeButton::ProbeButton;
    std::function<void(THintInfo&, TZylMessage&)> OnHintShow;
    void DeliverMessage(TZylMessage& m) override {
        if (m.Id() == ZM_HINTSHOW && OnHintShow) return OnHintShow(*HintInfoOf(m), m);
        ProbeButton::DeliverMessage(m);
    }
};

// Overrides the four operations that fire the show and close events: each
// only logs, so the close ones would neither ask nor let the form go.
class OverridingForm : public TForm {
public:
    explicit OverridingForm(System::TComponent* owner) : TForm(owner) {}
    std::vector<std::string> Calls;
    void DoShow() override { Calls.push_back("DoShow"); }
    void DoHide() override { Calls.push_back("DoHide"); }
    void DoClose(uint8_t&) override { Calls.push_back("DoClose"); }
    bool CloseQuery() override {
        Calls.push_back("CloseQuery");
        return false;
    }
};

// A shown form of 320 x 240 at (100, 100) placed by its own Left/Top.
TRef<TForm> Shown(TRef<TForm> form, int32_t left = 100, int32_t top = 100) {
    form->Position = 0;
    form->SetBounds(left, top, form->Width(), form->Height());
    form->Show();
    return form;
}

} // namespace

// ---- Forms ---------------------------------------------------------------------------

struct PositionCase {
    uint8_t Position;
    int32_t X, Y;
};

class FormPosition : public FormsHarness, public ::testing::WithParamInterface<PositionCase> {};

TEST_P(FormPosition, PlacesTheFirstShowOnTheOffscreenWorkArea) {
    // The reference (main and owner) form: 400 x 300 at (200, 100).
    TRef<TForm> reference = NewForm(400, 300);
    Shown(reference, 200, 100);
    TRef<TForm> form = NewForm();
    form->OwnerForm = reference;
    form->Position = GetParam().Position;
    form->Show();
    int32_t x = -1, y = -1;
    form->GetPlatformWindow()->GetPosition(x, y);
    EXPECT_EQ(x, GetParam().X);
    EXPECT_EQ(y, GetParam().Y);
}

INSTANTIATE_TEST_SUITE_P(Table, FormPosition,
                         ::testing::Values(PositionCase{0, 100, 100}, PositionCase{1, 0, 0},
                                           PositionCase{2, 480, 280}, PositionCase{3, 240, 130},
                                           PositionCase{4, 240, 130}, PositionCase{9, 0, 0}));

TEST_F(FormsHarness, CentringNeverGivesANegativePlace) {
    TRef<TForm> main = NewForm(100, 80);
    Shown(main, 0, 0);
    TRef<TForm> onMain = NewForm();
    onMain->Position = 3;
    onMain->Show();
    EXPECT_EQ(onMain->Left(), 0);
    EXPECT_EQ(onMain->Top(), 0);
    TRef<TForm> huge = NewForm(2000, 1000);
    huge->Position = 2;
    huge->Show();
    EXPECT_EQ(huge->Left(), 0);
    EXPECT_EQ(huge->Top(), 0);
}

TEST_F(FormsHarness, SetBoundsBeforeShowIsHonouredByTheDefaultPosition) {
    TRef<TForm> form = NewForm();
    form->SetBounds(30, 40, 320, 240);
    form->Show();
    EXPECT_EQ(ShellOf(form.Get())->Left, 30);
    EXPECT_EQ(ShellOf(form.Get())->Top, 40);
}

TEST_F(FormsHarness, ShowingTwicePlacesOnceAndFiresOnShowTwice) {
    TRef<TForm> form = NewForm();
    form->Position = 2;
    int shows = 0;
    form->OnShow = [&](System::TObject*) { ++shows; };
    form->Show();
    EXPECT_EQ(ShellOf(form.Get())->Left, 480);
    ShellOf(form.Get())->SetPosition(7, 9);  // moved by the user
    form->Close();
    form->Show();
    EXPECT_EQ(shows, 2);
    EXPECT_EQ(ShellOf(form.Get())->Left, 7);
    EXPECT_EQ(ShellOf(form.Get())->Top, 9);
    EXPECT_EQ(ShellOf(form.Get())->Title, form->GetText());
}

struct CloseCase {
    uint8_t Action;
    bool Hidden, Queued;
};

class FormClose : public FormsHarness, public ::testing::WithParamInterface<CloseCase> {};

TEST_P(FormClose, ActsOnTheActionAndTerminatesWithTheMainForm) {
    TRef<TForm> main = NewForm();
    main->Show();
    int hides = 0;
    main->OnClose = [](System::TObject*, uint8_t& action) { action = GetParam().Action; };
    main->OnHide = [&](System::TObject*) { ++hides; };
    main->Close();
    const CloseCase& c = GetParam();
    EXPECT_EQ(!main->Visible(), c.Hidden);
    EXPECT_EQ(!ShellOf(main.Get())->Visible, c.Hidden);
    EXPECT_EQ(hides, c.Hidden ? 1 : 0);
    EXPECT_EQ(main->Released, c.Queued);
    EXPECT_EQ(Application->PendingRelease.size(), c.Queued ? 1u : 0u);
    // Only hidden, the main form still ends the application.
    EXPECT_EQ(Application->Terminated, c.Hidden);
    EXPECT_EQ(Shell().QuitRequested, c.Hidden);
}

INSTANTIATE_TEST_SUITE_P(Table, FormClose,
                         ::testing::Values(CloseCase{0, false, false}, CloseCase{1, true, false},
                                           CloseCase{2, true, true}, CloseCase{7, true, false}));

TEST_F(FormsHarness, ClosingAnotherFormDoesNotTerminate) {
    TRef<TForm> main = NewForm();
    TRef<TForm> other = NewForm();
    other->Show();
    other->Close();
    EXPECT_FALSE(other->Visible());
    EXPECT_FALSE(Application->Terminated);
    EXPECT_EQ(Application->MainForm.Get(), main.Get());
}

TEST_F(FormsHarness, TheWindowsCloseQueryCanBeVetoed) {
    TRef<TForm> form = NewForm();
    form->Show();
    bool allow = false;
    int closes = 0, hides = 0;
    form->OnCloseQuery = [&](System::TObject*, bool& canClose) { canClose = allow; };
    form->OnClose = [&](System::TObject*, uint8_t&) { ++closes; };
    form->OnHide = [&](System::TObject*) { ++hides; };
    TPlatformEvents& bridge = *ShellOf(form.Get())->Events;
    EXPECT_FALSE(bridge.CloseQuery());
    EXPECT_TRUE(form->Visible());
    EXPECT_EQ(closes, 0);
    allow = true;
    EXPECT_TRUE(bridge.CloseQuery());
    EXPECT_FALSE(form->Visible());
    EXPECT_EQ(hides, 1);
    EXPECT_TRUE(Application->Terminated);
}

// Show, Close and the close box fire the events themselves: a subclass's
// DoShow, DoHide, DoClose or CloseQuery changes none of them.
TEST_F(FormsHarness, ShowAndBothClosePathsFireTheEventsNotTheOverridableOperations) {
    for (const bool closeBox : {false, true}) {
        SCOPED_TRACE(closeBox ? "close box" : "Close");
        TRef<OverridingForm> form = NewForm<OverridingForm>();
        std::vector<std::string> events;
        form->OnShow = [&](System::TObject*) { events.push_back("OnShow"); };
        form->OnCloseQuery = [&](System::TObject*, bool&) { events.push_back("OnCloseQuery"); };
        form->OnClose = [&](System::TObject*, uint8_t&) { events.push_back("OnClose"); };
        form->OnHide = [&](System::TObject*) { events.push_back("OnHide"); };
        form->Show();
        if (closeBox)
            EXPECT_TRUE(ShellOf(form.Get())->Events->CloseQuery());
        else
            form->Close();
        EXPECT_EQ(events, (std::vector<std::string>{"OnShow", "OnCloseQuery", "OnClose", "OnHide"}));
        EXPECT_EQ(form->Calls, std::vector<std::string>{});
        EXPECT_FALSE(form->Visible());
    }
}

// Nothing leaves the form's destructor: an Exception from OnDestroy goes to
// Application.HandleException with the form as sender; anything else, and
// whatever the handler raises, is dropped and written to the debug output.
TEST_F(FormsHarness, WhatOnDestroyRaisesNeverLeavesTheDestructor) {
    struct TCase {
        const char* Name;
        std::function<void()> Destroy, OnException;
        std::u16string Handled, Written;
    };
    const auto raise = [](auto thrown) { return [thrown] { throw thrown; }; };
    const TCase cases[] = {
        {"an Exception", raise(EZylError(u"ao destruir")), nullptr, u"ao destruir", u""},
        {"an Exception the handler raises again", raise(EZylError(u"ao destruir")),
         raise(EZylError(u"no tratador")), u"ao destruir", u"ZYL: exceção descartada num destrutor: no tratador|"},
        {"any other object", raise(7), nullptr, u"", u"ZYL: exceção descartada num destrutor: objeto desconhecido|"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TCapturedDebugOutput debug;
        TRef<TForm> form = NewForm();
        Forget(form.Get());
        const System::TObject* formObject = form.Get();
        const System::TObject* sender = nullptr;
        std::u16string handled;
        Application->OnException = [&](System::TObject* from, const System::Exception& e) {
            sender = from, handled = e.Message;
            if (c.OnException) c.OnException();
        };
        form->OnDestroy = [&](System::TObject*) { c.Destroy(); };
        form = nullptr;
        EXPECT_EQ(handled, c.Handled);
        EXPECT_EQ(sender, c.Handled.empty() ? nullptr : formObject);
        EXPECT_EQ(debug.Written(), c.Written);
        EXPECT_TRUE(Screen->Forms.empty());
    }
    Application->OnException = nullptr;
}

TEST_F(FormsHarness, DialogKeysReachButtonsMoveTheFocusAndOfferAccelerators) {
    TRef<TForm> form = NewForm();
    auto first = Add<ProbeButton>(form.Get(), 10, 10, 80, 24);
    auto cancel = Add<ProbeButton>(form.Get(), 10, 40, 80, 24);
    auto ok = Add<ProbeButton>(form.Get(), 10, 70, 80, 24);
    auto accel = Add<AcceleratorProbe>(form.Get(), 10, 100, 80, 24);
    cancel->Cancel = true;
    ok->Default = true;
    form->Show();
    EXPECT_EQ(form->ActiveControl, first.Get());

    Key(form.Get(), KeyEscape);
    Key(form.Get(), KeyEnter);
    EXPECT_EQ(cancel->Clicks, 1);
    EXPECT_EQ(ok->Clicks, 1);
    EXPECT_EQ(first->Clicks, 0);

    Key(form.Get(), KeyTab);
    EXPECT_EQ(form->ActiveControl, cancel.Get());
    Key(form.Get(), KeyTab);
    Key(form.Get(), KeyTab);  // the accelerator probe has no tab stop: wraps
    EXPECT_EQ(form->ActiveControl, first.Get());
    Key(form.Get(), KeyTab, ModShift);
    EXPECT_EQ(form->ActiveControl, ok.Get());
    Key(form.Get(), KeyTab, ModCtrl);
    Key(form.Get(), KeyTab, ModAlt);
    EXPECT_EQ(form->ActiveControl, ok.Get());

    Key(form.Get(), 's', ModAlt);
    Key(form.Get(), 's', ModAlt | ModCtrl);
    EXPECT_EQ(accel->Offered, std::vector<uint32_t>{'S'});

    // A hidden cancel button is no cancel button.
    cancel->SetVisible(false);
    Key(form.Get(), KeyEscape);
    EXPECT_EQ(cancel->Clicks, 1);
}

TEST_F(FormsHarness, SwitchingFormsWithinOneIdleTickNeitherActivatesNorDeactivatesTwice) {
    TRef<TForm> a = Shown(NewForm()), b = Shown(NewForm());
    int activations = 0, deactivations = 0;
    Application->OnActivate = [&](System::TObject*) { ++activations; };
    Application->OnDeactivate = [&](System::TObject*) { ++deactivations; };
    ShellOf(a.Get())->Events->Activated(true);
    ShellOf(a.Get())->Events->Activated(false);
    ShellOf(b.Get())->Events->Activated(true);
    Advance(200);
    EXPECT_EQ(activations, 1);
    EXPECT_EQ(deactivations, 0);
    EXPECT_EQ(Screen->ActiveForm, b.Get());
    ShellOf(b.Get())->Events->Activated(false);
    Advance(200);
    EXPECT_EQ(deactivations, 1);
    EXPECT_FALSE(Application->Active);
}

TEST_F(FormsHarness, MinimiseAndRestoreOfTheMainFormFireOnceEach) {
    TRef<TForm> main = Shown(NewForm()), other = Shown(NewForm());
    int minimised = 0, restored = 0;
    Application->OnMinimize = [&](System::TObject*) { ++minimised; };
    Application->OnRestore = [&](System::TObject*) { ++restored; };
    ShellOf(other.Get())->Events->WindowStateChanged(1);
    EXPECT_EQ(minimised, 0);
    for (int i = 0; i < 2; ++i) ShellOf(main.Get())->Events->WindowStateChanged(1);
    for (int i = 0; i < 2; ++i) ShellOf(main.Get())->Events->WindowStateChanged(0);
    EXPECT_EQ(minimised, 1);
    EXPECT_EQ(restored, 1);
}

TEST_F(FormsHarness, ThemeEntriesGoToTheFrameByName) {
    TRef<TForm> form = Shown(NewForm());
    TRef<TZylTheme> theme = GetTheme();
    const std::vector<int32_t> saved = theme->Colors;
    theme->Colors[49] = 0x000049, theme->Colors[50] = 0x000050, theme->Colors[53] = 0x000053;
    ApplyThemeToForms(*theme);
    theme->Colors = saved;
    EXPECT_EQ(ShellOf(form.Get())->FrameBorderColor, 0x49);
    EXPECT_EQ(ShellOf(form.Get())->FrameCaptionColor, 0x50);
    EXPECT_EQ(ShellOf(form.Get())->FrameTextColor, 0x53);
}

// ---- Application ----------------------------------------------------------------------

struct BoxCase {
    uint32_t Flags;
    int32_t Answer, Icon, Buttons, Result;
};

class MessageBoxMapping : public FormsHarness, public ::testing::WithParamInterface<BoxCase> {};

TEST_P(MessageBoxMapping, MapsFlagsAndAnswers) {
    const BoxCase& c = GetParam();
    Shell().Answer = c.Answer;
    EXPECT_EQ(Application->MessageBox(u"Texto", u"Titulo", c.Flags), c.Result);
    ASSERT_EQ(Shell().Boxes.size(), 1u);
    EXPECT_EQ(Shell().Boxes[0].Icon, c.Icon);
    EXPECT_EQ(Shell().Boxes[0].Buttons, c.Buttons);
    EXPECT_EQ(Shell().Boxes[0].Caption, u"Titulo");
    EXPECT_EQ(Shell().Boxes[0].Text, u"Texto");
    EXPECT_EQ(Shell().Boxes[0].Owner, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Table, MessageBoxMapping,
                         ::testing::Values(BoxCase{0x24, 4, 2, 2, 7}, BoxCase{0x40, 1, 0, 0, 1},
                                           BoxCase{0x34, 3, 1, 2, 6}, BoxCase{0x31, 2, 1, 1, 2},
                                           BoxCase{0x10, 9, 3, 0, 1}, BoxCase{0x03, 3, 0, 0, 6}));

TEST_F(FormsHarness, TheMessageBoxBelongsToTheActiveForm) {
    TRef<TForm> form = Shown(NewForm());
    Application->MessageBox(u"x", u"y", 0);
    ASSERT_EQ(Shell().Boxes.size(), 1u);
    EXPECT_EQ(Shell().Boxes[0].Owner, ShellOf(form.Get()));
}

TEST_F(FormsHarness, HandleExceptionGoesToOnExceptionElseToAnErrorBox) {
    std::u16string seen;
    Application->OnException = [&](System::TObject*, const System::Exception& e) { seen = e.Message; };
    HandlePlatformException(System::Exception(u"primeira"));
    EXPECT_EQ(seen, u"primeira");
    EXPECT_TRUE(Shell().Boxes.empty());
    Application->OnException = nullptr;
    Shell().HandleException(System::Exception(u"segunda"));
    ASSERT_EQ(Shell().Boxes.size(), 1u);
    EXPECT_EQ(Shell().Boxes[0].Caption, u"Erro");
    EXPECT_EQ(Shell().Boxes[0].Text, u"segunda");
    EXPECT_EQ(Shell().Boxes[0].Icon, 3);
    EXPECT_EQ(Shell().Boxes[0].Buttons, 0);
}

// Mend: the error box runs a loop; an exception raised again inside it must
// not open a second box (a handler raising on every paint would recurse).
TEST_F(FormsHarness, ExceptionsRaisedWhileTheErrorBoxIsOpenAreDropped) {
    Shell().WhileOpen = [] { Shell().HandleException(System::Exception(u"de novo")); };
    Shell().HandleException(System::Exception(u"falha"));
    ASSERT_EQ(Shell().Boxes.size(), 1u);
    EXPECT_EQ(Shell().Boxes[0].Text, u"falha");
    Shell().WhileOpen = nullptr;
    Shell().HandleException(System::Exception(u"depois"));
    EXPECT_EQ(Shell().Boxes.size(), 2u);
}

TEST_F(FormsHarness, RunWithoutThePlatformRaises) {
    TRef<TApplication> bare = MakeRef<TApplication>(nullptr);
    try {
        bare->Run();
        FAIL() << "Run returned";
    } catch (const EZylError& e) {
        EXPECT_EQ(e.Message, u"Application.Initialize nao foi chamado");
    }
    EXPECT_THROW(Screen->GetForm(0), System::EListError);
}

TEST_F(FormsHarness, FreeReleasedFormsDestroysTheLastQueuedFirst) {
    Application->FreeReleasedForms();
    std::string order;
    for (char name : std::string("abc")) {
        TCustomForm* form = NewForm().Get();
        form->OnDestroy = [&order, name](System::TObject*) { order += name; };
        form->ReleaseForm();
        Forget(form);
    }
    EXPECT_EQ(Screen->Forms.size(), 3u);
    Application->FreeReleasedForms();
    EXPECT_EQ(order, "cba");
    EXPECT_TRUE(Screen->Forms.empty());
}

TEST_F(FormsHarness, ReleasingTwiceQueuesTwice) {
    TRef<TForm> form = NewForm();
    form->ReleaseForm();
    form->ReleaseForm();
    EXPECT_EQ(Application->PendingRelease.size(), 2u);
}

TEST_F(FormsHarness, APointUnderTwoFormsGoesToTheActiveOneElseTheNewest) {
    TRef<TForm> older = Shown(NewForm()), newer = Shown(NewForm());
    int32_t cx = 0, cy = 0;
    Screen->ActiveForm = nullptr;
    EXPECT_EQ(ControlAtScreenPointHook(150, 160, cx, cy), newer.Get());
    EXPECT_EQ(cx, 50);
    EXPECT_EQ(cy, 60);
    Screen->ActiveForm = older.Get();
    EXPECT_EQ(ControlAtScreenPointHook(150, 160, cx, cy), older.Get());
    EXPECT_EQ(ControlAtScreenPointHook(50, 50, cx, cy), nullptr);
}

// ---- Hints ----------------------------------------------------------------------------

class HintHarness : public FormsHarness {
protected:
    void SetUp() override {
        FormsHarness::SetUp();
        form = Shown(NewForm());
        target = Add<HintProbe>(form.Get(), 20, 30, 80, 24);
        target->Hint = u"Dica|mais longa";
    }
    void TearDown() override {
        form = nullptr, target = nullptr;
        FormsHarness::TearDown();
    }
    int32_t PopupCount() { return int32_t(ShellOf(form.Get())->Popups.size()); }

    TRef<TForm> form;
    TRef<HintProbe> target;
};

TEST_F(HintHarness, ShowsAfterThePauseBelowTheControlAndHidesLater) {
    EXPECT_EQ(C(59), 0xFFFFFF);
    EXPECT_EQ(C(60), 0x767676);
    Move(form.Get(), 30, 40);
    Advance(499);
    EXPECT_EQ(Application->HintWindow, nullptr);
    Advance(1);
    ASSERT_NE(Application->HintWindow, nullptr);
    THintWindow& hint = *Application->HintWindow;
    EXPECT_EQ(hint.HintText, u"Dica");
    EXPECT_EQ(hint.Left(), 28);
    EXPECT_EQ(hint.Top(), 56);
    EXPECT_EQ(PopupCount(), 1);
    Render(form.Get());
    EXPECT_EQ(Px(form.Get(), 28, 56), 0x767676);
    EXPECT_EQ(Px(form.Get(), 28 + hint.Width() - 1, 56 + hint.Height() - 1), 0x767676);
    EXPECT_EQ(Px(form.Get(), 29, 57), 0xFFFFFF);
    Advance(2499);
    EXPECT_NE(Application->HintWindow, nullptr);
    Advance(1);
    EXPECT_EQ(Application->HintWindow, nullptr);
    EXPECT_EQ(PopupCount(), 0);
}

struct HintTextCase {
    const char16_t* Hint;
    const char16_t* Shown;  // nullptr: no window
};

class HintText : public HintHarness, public ::testing::WithParamInterface<HintTextCase> {};

TEST_P(HintText, ShowsTheTextBeforeTheBar) {
    target->Hint = GetParam().Hint;
    Move(form.Get(), 30, 40);
    Advance(500);
    if (!GetParam().Shown) {
        EXPECT_EQ(Application->HintWindow, nullptr);
        EXPECT_EQ(Application->HideTimerId, 0);
        return;
    }
    ASSERT_NE(Application->HintWindow, nullptr);
    EXPECT_EQ(Application->HintWindow->HintText, GetParam().Shown);
}

INSTANTIATE_TEST_SUITE_P(Table, HintText,
                         ::testing::Values(HintTextCase{u"Dica|longa|mais", u"Dica"}, HintTextCase{u"Dica", u"Dica"},
                                           HintTextCase{u"|so a longa", nullptr}));

TEST_F(HintHarness, APanelsHintShowsUnderThePanel) {
    target->Hint.clear();
    auto panel = Add<TCustomControl>(form.Get(), 100, 100, 150, 80);
    panel->Hint = u"Painel";
    target->SetParent(panel.Get());
    target->SetBounds(10, 10, 50, 20);
    Move(form.Get(), 115, 115);
    Advance(500);
    ASSERT_NE(Application->HintWindow, nullptr);
    EXPECT_EQ(Application->HintWindow->HintText, u"Painel");
    EXPECT_EQ(Application->HintWindow->Top(), 100 + 80 + 2);
}

TEST_F(HintHarness, IsPulledInAtTheRightEdgeAndGoesAboveAtTheBottom) {
    target->Hint = u"Uma dica bem comprida";
    target->SetBounds(280, 30, 40, 20);
    Move(form.Get(), 290, 35);
    Advance(500);
    ASSERT_NE(Application->HintWindow, nullptr);
    EXPECT_EQ(Application->HintWindow->Left() + Application->HintWindow->Width(), 320);
    target->SetBounds(20, 220, 60, 20);
    Move(form.Get(), 5, 5);
    Move(form.Get(), 30, 225);
    Advance(500);
    ASSERT_NE(Application->HintWindow, nullptr);
    EXPECT_EQ(Application->HintWindow->Top(), 220 - Application->HintWindow->Height() - 2);
}

TEST_F(HintHarness, HintShowHandlersSetTheTimeoutAndTheWidthOrCancel) {
    target->Hint = u"Uma dica bem mais comprida que cem pixels";
    target->OnHintShow = [](THintInfo& info, TZylMessage&) {
        info.HideTimeout = 500;
        info.HintMaxWidth = 100;
    };
    Move(form.Get(), 30, 40);
    Advance(500);
    ASSERT_NE(Application->HintWindow, nullptr);
    EXPECT_EQ(Application->HintWindow->Width(), 100);
    Advance(499);
    EXPECT_NE(Application->HintWindow, nullptr);
    Advance(1);
    EXPECT_EQ(Application->HintWindow, nullptr);

    target->OnHintShow = [](THintInfo&, TZylMessage& m) { m.Result = 1; };
    Move(form.Get(), 5, 5);
    Move(form.Get(), 30, 40);
    Advance(500);
    EXPECT_EQ(Application->HintWindow, nullptr);
}

TEST_F(HintHarness, APressCancelsAndDoesNotRearm) {
    Move(form.Get(), 30, 40);
    Advance(500);
    ASSERT_NE(Application->HintWindow, nullptr);
    Move(form.Get(), 35, 45);  // inside the control: the hint stays
    EXPECT_NE(Application->HintWindow, nullptr);
    Click(form.Get(), 35, 45);
    EXPECT_EQ(Application->HintWindow, nullptr);
    Advance(1000);
    EXPECT_EQ(Application->HintWindow, nullptr);
}

TEST_F(HintHarness, ShowHintOffArmsNothing) {
    Application->ShowHint = false;
    Move(form.Get(), 30, 40);
    EXPECT_EQ(Application->ShowTimerId, 0);
    EXPECT_EQ(Application->HintControl, nullptr);
}

TEST_F(HintHarness, DestroyingThePendingControlLeavesTheTimerNothingToDo) {
    Move(form.Get(), 30, 40);
    ASSERT_EQ(Application->HintControl, target.Get());
    target->SetParent(nullptr);
    target = nullptr;
    EXPECT_EQ(Application->HintControl, nullptr);
    Advance(600);
    EXPECT_EQ(Application->HintWindow, nullptr);
}

// Mend: the form goes while its hint is shown and the hinted control lives on.
TEST_F(HintHarness, DestroyingTheFormCancelsItsHint) {
    TRef<TForm> other = Shown(NewForm(), 300, 300);
    auto survivor = Add<ProbeButton>(other.Get(), 10, 10, 60, 20);
    survivor->Hint = u"Sobrevive";
    Move(other.Get(), 15, 15);
    Advance(500);
    ASSERT_EQ(Application->HintForm, other.Get());
    Forget(other.Get());
    other = nullptr;
    EXPECT_EQ(Application->HintWindow, nullptr);
    EXPECT_EQ(Application->HintForm, nullptr);
    Advance(3000);
    survivor = nullptr;
}

// ---- Mends: the active control ---------------------------------------------------------

TEST_F(FormsHarness, TheActiveControlIsClearedWhenItOrItsContainerGoes) {
    TRef<TForm> form = NewForm();
    auto panel = Add<TCustomControl>(form.Get(), 0, 0, 200, 100);
    auto inner = Add<ProbeButton>(panel.Get(), 10, 10, 60, 20);
    auto loose = Add<ProbeButton>(form.Get(), 10, 150, 60, 20);
    form->Show();
    ASSERT_EQ(form->ActiveControl, inner.Get());
    panel->SetParent(nullptr);
    panel = nullptr;
    inner = nullptr;
    EXPECT_EQ(form->ActiveControl, nullptr);
    loose->SetFocus();
    ASSERT_EQ(form->ActiveControl, loose.Get());
    loose->SetParent(nullptr);  // still held here
    EXPECT_EQ(form->ActiveControl, nullptr);
    Key(form.Get(), KeyTab);
    form->Close();
    form->Show();
}

// ---- Scrolling ----------------------------------------------------------------------------

class ScrollHarness : public FormsHarness {
protected:
    void SetUp() override {
        FormsHarness::SetUp();
        form = Shown(NewForm());
        box = Add<TScrollingWinControl>(form.Get(), 10, 10, 200, 100);
    }
    void TearDown() override {
        form = nullptr, box = nullptr;
        FormsHarness::TearDown();
    }
    TRef<TForm> form;
    TRef<TScrollingWinControl> box;
};

TEST_F(ScrollHarness, TheHorizontalBarAloneThenBothOnceTheHeightLeavesNoRoom) {
    auto child = Add<ProbeButton>(box.Get(), 0, 0, 210, 50);
    EXPECT_TRUE(box->HorzShown());
    EXPECT_FALSE(box->VertShown());
    box->SetBounds(10, 10, 200, 67);
    EXPECT_FALSE(box->VertShown());
    box->SetBounds(10, 10, 200, 66);
    EXPECT_TRUE(box->HorzShown());
    EXPECT_TRUE(box->VertShown());
    int32_t x = 0, y = 0, w = 0, h = 0;
    box->HorzBar()->GetBounds(x, y, w, h);
    EXPECT_EQ(y, 66 - 17);
    EXPECT_EQ(w, 200 - 17);
    EXPECT_EQ(box->GetClientRect(), (TRect{0, 0, 183, 49}));
}

TEST_F(ScrollHarness, AlignedChildrenDoNotCountTowardTheExtent) {
    auto docked = Add<ProbeButton>(box.Get(), 0, 0, 500, 500);
    docked->SetAlign(5);
    Add<ProbeButton>(box.Get(), 0, 0, 50, 60);
    EXPECT_EQ(box->ContentWidth(), 50);
    EXPECT_EQ(box->ContentHeight(), 60);
    EXPECT_FALSE(box->HorzShown() || box->VertShown());
}

TEST_F(ScrollHarness, ShrinkingTheContentPullsThePositionBack) {
    auto child = Add<ProbeButton>(box.Get(), 0, 0, 100, 300);
    box->ScrollBy(0, 1000);
    EXPECT_EQ(box->VertPosition(), 200);
    EXPECT_EQ(child->Top(), -200);
    child->SetBounds(0, -200, 100, 150);
    EXPECT_EQ(box->VertPosition(), 50);
    EXPECT_EQ(child->Top() + child->Height(), 100);
}

TEST_F(ScrollHarness, TheThumbDragScrollsOnlyWithTracking) {
    Add<ProbeButton>(box.Get(), 0, 0, 100, 300);
    TPlatformEvents& bar = *box->VertBar()->Events;
    bar.Scroll(5, 40);
    EXPECT_EQ(box->VertPosition(), 0);
    bar.Scroll(4, 40);
    EXPECT_EQ(box->VertPosition(), 40);
    box->VertScrollBar->Tracking = true;
    bar.Scroll(5, 60);
    EXPECT_EQ(box->VertPosition(), 60);
    bar.Scroll(1, 0);
    EXPECT_EQ(box->VertPosition(), 68);
    bar.Scroll(7, 0);
    EXPECT_EQ(box->VertPosition(), 200);
    bar.Scroll(8, 0);
    EXPECT_EQ(box->VertPosition(), 200);
}

TEST_F(ScrollHarness, TheWheelScrollsHorizontallyWhenNothingScrollsVertically) {
    Add<ProbeButton>(box.Get(), 0, 0, 400, 40);
    ShellOf(form.Get())->RouteMouseWheel(30, 20, -120, 0);
    EXPECT_EQ(box->HorzPosition(), 24);
    EXPECT_EQ(box->VertPosition(), 0);
    ShellOf(form.Get())->RouteMouseWheel(30, 20, 120, 0);
    EXPECT_EQ(box->HorzPosition(), 0);
}

TEST_F(ScrollHarness, FocusingAChildScrollsJustFarEnoughToShowItsBottom) {
    Add<ProbeButton>(box.Get(), 0, 0, 50, 20);
    auto low = Add<ProbeButton>(box.Get(), 0, 150, 50, 30);
    low->SetFocus();
    EXPECT_EQ(box->VertPosition(), 80);
    EXPECT_EQ(low->Top() + low->Height(), 100);
}

TEST_F(ScrollHarness, TheTrackIsPaintedAlongTheRightEdge) {
    Add<ProbeButton>(box.Get(), 0, 0, 100, 300);
    Render(form.Get());
    EXPECT_EQ(Px(form.Get(), 10 + 200 - 9, 10 + 100 - 17 - 4), C(29));
}

// ---- Example: a small wizard-like form ----------------------------------------------------

// A step form as the installer builds one: a docked header, a docked button
// row with Back, Next (default) and Cancel, and the page in the client area
// with an edit and a memo that wants its returns.
class TStepForm : public TForm {
public:
    explicit TStepForm(System::TComponent* owner) : TForm(owner) {}
    void Build() {
        SetText(u"Assistente");
        SetBounds(Left(), Top(), 400, 300);
        header = Panel(1, 50, 0x00C000);
        buttons = Panel(2, 40, 0xC0C0C0);
        page = Panel(5, 0, 0xFFFFFF);
        back = Button(buttons.Get(), 150);
        next = Button(buttons.Get(), 235);
        cancel = Button(buttons.Get(), 320);
        next->Default = true;
        cancel->Cancel = true;
        next->OnClick = [this](System::TObject*) { ++step; };
        cancel->OnClick = [this](System::TObject*) { Close(); };
        folder = MakeRef<TEdit>(nullptr);
        folder->SetBounds(10, 10, 200, 21);
        folder->SetParent(page.Get());
        notes = MakeRef<TMemo>(nullptr);
        notes->SetBounds(10, 40, 300, 100);
        notes->SetParent(page.Get());
    }
    TRef<TCustomControl> header, buttons, page;
    TRef<ProbeButton> back, next, cancel;
    TRef<TEdit> folder;
    TRef<TMemo> notes;
    int32_t step = 0;

private:
    TRef<TCustomControl> Panel(uint8_t align, int32_t size, TColor color) {
        auto panel = MakeRef<TCustomControl>(nullptr);
        panel->SetBounds(0, 0, 100, size);
        panel->SetColor(color);
        panel->SetParent(this);
        panel->SetAlign(align);
        return panel;
    }
    TRef<ProbeButton> Button(TWinControl* parent, int32_t left) {
        auto button = MakeRef<ProbeButton>(nullptr);
        button->SetBounds(left, 8, 75, 24);
        button->SetParent(parent);
        return button;
    }
};

TEST_F(FormsHarness, ExampleWizardDocksItsPanelsAndAnswersTabEnterAndEscape) {
    TRef<TStepForm> wizard = NewForm<TStepForm>();
    wizard->Build();
    wizard->Position = 2;
    wizard->Show();
    EXPECT_EQ(ShellOf(wizard.Get())->Title, u"Assistente");
    EXPECT_EQ(wizard->Left(), (1280 - 400) / 2);
    EXPECT_EQ(wizard->header->Width(), 400);
    EXPECT_EQ(wizard->buttons->Top(), 260);
    EXPECT_EQ(wizard->page->Top(), 50);
    EXPECT_EQ(wizard->page->Height(), 210);
    EXPECT_FALSE(wizard->HorzShown() || wizard->VertShown());
    Render(wizard.Get());
    EXPECT_EQ(Px(wizard.Get(), 5, 5), 0x00C000);
    EXPECT_EQ(Px(wizard.Get(), 5, 100), 0xFFFFFF);
    EXPECT_EQ(Px(wizard.Get(), 5, 270), 0xC0C0C0);

    EXPECT_EQ(wizard->ActiveControl, wizard->back.Get());
    Key(wizard.Get(), KeyTab);
    EXPECT_EQ(wizard->ActiveControl, wizard->next.Get());
    Key(wizard.Get(), KeyEnter);
    Key(wizard.Get(), KeyEnter);
    EXPECT_EQ(wizard->step, 2);
    Key(wizard.Get(), KeyTab);
    Key(wizard.Get(), KeyTab);
    EXPECT_EQ(wizard->ActiveControl, wizard->folder.Get());
    Key(wizard.Get(), KeyEnter); // an edit leaves Enter to the default button
    EXPECT_EQ(wizard->step, 3);
    Key(wizard.Get(), KeyTab);
    EXPECT_EQ(wizard->ActiveControl, wizard->notes.Get());
    Key(wizard.Get(), KeyEnter); // the memo keeps it
    EXPECT_EQ(wizard->step, 3);
    Key(wizard.Get(), KeyTab);
    EXPECT_EQ(wizard->ActiveControl, wizard->back.Get());
    Key(wizard.Get(), KeyEscape);
    EXPECT_FALSE(wizard->Visible());
    EXPECT_TRUE(Application->Terminated);
}
