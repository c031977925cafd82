#include "Zyl.Platform.Drawn.Harness.h"

#include "System.Remainder.Exceptions.h"


using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

// ---------------------------------------------------------------------------
// Theme

TEST(DrawnTheme, LightPaletteIsMadeOnceAndCopiedToTheCache) {
    const TRef<TZylTheme> theme = GetTheme();
    EXPECT_EQ(theme.Get(), GetTheme().Get());
    EXPECT_EQ(theme->Name, u"Light");
    EXPECT_FALSE(theme->Dark);
    ASSERT_EQ(DrawnThemeColors.size(), 76u);
    EXPECT_EQ(DrawnThemeColors, theme->Colors);
    EXPECT_EQ(DrawnThemeColors[7], 0xD77800);
    EXPECT_EQ(DrawnThemeColors[75], 0x767676);
    for (int i = 49; i <= 53; ++i) EXPECT_EQ(DrawnThemeColors[i], -1) << i;
    for (int32_t c : theme->SysColors) EXPECT_EQ(c, -1);
}

// ---------------------------------------------------------------------------
// Application and windows

using DrawnApp = DrawnHarness;

TEST_F(DrawnApp, FactoriesMakeOneHostEachAndTheMissingKindsNone) {
    const int32_t before = Shell->Hosts;
    EXPECT_FALSE(App->CreateTabControl());
    EXPECT_FALSE(App->CreateListView());
    EXPECT_FALSE(App->CreateTreeView());
    EXPECT_FALSE(App->CreateStatusBar());
    EXPECT_FALSE(App->CreateToolBar());
    EXPECT_EQ(Shell->Hosts, before);
    EXPECT_TRUE(dynamic_cast<TDrawnButton*>(App->CreateButton().Get()));
    EXPECT_TRUE(dynamic_cast<TDrawnCustom*>(App->CreateCustomControl().Get()));
    EXPECT_TRUE(dynamic_cast<TDrawnScrollBar*>(App->CreateScrollBar().Get()));
    const TRef<TPlatformControl> check = App->CreateCheckBox(), radio = App->CreateRadioButton();
    EXPECT_FALSE(static_cast<TDrawnCheckBox*>(check.Get())->Radio);
    EXPECT_TRUE(static_cast<TDrawnCheckBox*>(radio.Get())->Radio);
    EXPECT_EQ(Shell->Hosts, before + 5);
    EXPECT_EQ(Shell->Windows, 1);
}

TEST_F(DrawnApp, DialogsGetTheShellWindowAndTheHandlerReachesTheShell) {
    App->MessageBox(Window.Get(), u"t", u"x", 0, 0);
    App->MessageBox(nullptr, u"t", u"x", 0, 0);
    EXPECT_EQ(Shell->DialogOwners, (std::vector<TPlatformWindow*>{ShellWindow, nullptr}));
    App->SetExceptionHandler([](const System::Exception&) { return 7; });
    EXPECT_EQ(Shell->HandleException(System::Exception(u"x")), 7);
    EXPECT_EQ(App->HandleException(System::Exception(u"x")), 7);
}

TEST_F(DrawnApp, WindowWithoutSinkPaintsThePlainBackgroundAndCloses) {
    Render();
    EXPECT_EQ(Px(0, 0), 0xF0F0F0);
    EXPECT_EQ(Px(239, 159), 0xF0F0F0);
    EXPECT_TRUE(ShellWindow->Events->CloseQuery());
}

TEST_F(DrawnApp, WindowHandsOverHostsAndShellWindows) {
    const TRef<TPlatformControl> button = App->CreateButton();
    Window->AddChild(button.Get(), 1, 1);
    ASSERT_EQ(ShellWindow->TopLevelControls.size(), 1u);
    EXPECT_EQ(ShellWindow->TopLevelControls[0].Get(), DrawnHostOf(button.Get()).Get());
    const TRef<TPlatformWindow> other = App->CreateWindow();
    other->SetOwner(Window.Get());
    EXPECT_EQ(static_cast<TOffscreenWindow*>(NativeWindowOf(other.Get()).Get())->Owner.Get(), ShellWindow);
    other->SetOwner(nullptr);
    EXPECT_FALSE(static_cast<TOffscreenWindow*>(NativeWindowOf(other.Get()).Get())->Owner);
}

// Letting go of a drawn control frees it, its bridge and its host; letting
// go of a drawn window disposes its shell window, so that the controls'
// references to it close no cycle.
TEST_F(DrawnApp, ReleasedControlsAndWindowsLeaveNothingBehind) {
    TRef<TPlatformControl> button = App->CreateButton();
    Window->AddChild(button.Get(), 1, 1);
    const TRef<TPlatformControl> host = DrawnHostOf(button.Get());
    const TRef<TDrawnBridge> bridge = static_cast<TDrawnControl*>(button.Get())->Bridge;
    button = nullptr;
    EXPECT_TRUE(ShellWindow->TopLevelControls.empty());
    EXPECT_FALSE(host->Events);
    EXPECT_EQ(bridge->Control, nullptr);
    bridge->MouseDown(1, 1, 1, 0); // harmless once the control is gone

    TRef<TPlatformWindow> second = App->CreateWindow();
    const TRef<TPlatformControl> kept = App->CreateButton();
    second->AddChild(kept.Get(), 0, 0);
    const TRef<TPlatformWindow> shell = NativeWindowOf(second.Get());
    second = nullptr;
    EXPECT_TRUE(static_cast<TOffscreenWindow*>(shell.Get())->Disposed());
    EXPECT_FALSE(shell->Events);
}

// ---------------------------------------------------------------------------
// Control base and bridge

TEST(DrawnRoutines, StripAmpersandsAndDrawnCopy) {
    EXPECT_EQ(StripAmpersands(u"A&&B"), u"A&B");
    EXPECT_EQ(StripAmpersands(u"&Sim"), u"Sim");
    EXPECT_EQ(StripAmpersands(u"x&"), u"x&");
    EXPECT_EQ(DrawnCopy(u"abc", 1, 10), u"bc");
    EXPECT_EQ(DrawnCopy(u"abc", 3, 1), u"");
    EXPECT_EQ(DrawnCopy(u"abc", -1, 2), u"");
    EXPECT_EQ(DrawnCopy(u"abc", 0, 0), u"");
}

using DrawnBridge = DrawnHarness;

TEST_F(DrawnBridge, TheOwnerSeesEverythingAndADisabledControlNothing) {
    TRef<ProbeSink> sink;
    const auto button = Place<TDrawnButton>(App->CreateButton(), 10, 10, 80, 24, &sink);
    TDrawnBridge& bridge = *button->Bridge;
    struct Case {
        const char* name;
        bool enabled, keyHandled;
        int32_t keyPressAnswer;
        std::function<void()> act;
        std::string sinkLog;
        bool pressed;
    };
    const Case cases[] = {
        {"mouse, enabled", true, false, -1, [&] { bridge.MouseDown(5, 5, 1, 0); },
         "MouseDown 5 5 1 0, FocusChanged 1", true},
        {"mouse, disabled", false, false, -1, [&] { bridge.MouseDown(5, 5, 1, 0); }, "MouseDown 5 5 1 0", false},
        {"space, enabled", true, false, -1, [&] { bridge.KeyDown(KeySpace, 0, 0); }, "KeyDown 32 0", true},
        {"space, disabled", false, false, -1, [&] { bridge.KeyDown(KeySpace, 0, 0); }, "KeyDown 32 0", false},
        {"space taken by the owner", true, true, -1, [&] { bridge.KeyDown(KeySpace, 0, 0); }, "KeyDown 32 0",
         false},
        {"enter and leave reach the sink", false, false, -1, [&] { bridge.MouseEnter(); bridge.MouseLeave(); },
         "MouseEnter, MouseLeave", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        button->Pressed = false;
        button->SetEnabled(c.enabled);
        sink->Log.clear();
        sink->KeyHandled = c.keyHandled;
        sink->KeyPressAnswer = c.keyPressAnswer;
        c.act();
        EXPECT_EQ(sink->Take(), c.sinkLog);
        EXPECT_EQ(button->Pressed, c.pressed);
    }
}

// The sink's KeyPress may change or clear a character before the control
// sees it.
class KeyPressProbe : public TDrawnControl {
public:
    using TDrawnControl::TDrawnControl;
    std::u16string Seen;
    void KeyPress(char16_t ch) override { Seen += ch; }
};

TEST_F(DrawnBridge, ClearedCharactersNeverReachTheControl) {
    const auto control = MakeRef<KeyPressProbe>(App.Get(), Shell->CreateCustomControl());
    const auto sink = MakeRef<ProbeSink>();
    control->Events = sink;
    control->Bridge->CharInput(u'a');
    sink->KeyPressAnswer = 'b';
    control->Bridge->CharInput(u'a');
    sink->KeyPressAnswer = 0;
    control->Bridge->CharInput(u'a');
    EXPECT_EQ(control->Seen, u"ab");
    EXPECT_EQ(sink->Take(), "CharInput 97, CharInput 97, CharInput 97");
}

TEST_F(DrawnBridge, SetTextRepaintsOnlyOnChangeAndCursorIsKept) {
    const auto button = Place<TDrawnButton>(App->CreateButton(), 0, 0, 50, 20);
    EXPECT_EQ(button->GetCursor(), 0);
    button->SetCursor(-5);
    EXPECT_EQ(button->GetCursor(), -5);
    button->SetText(u"Ok");
    ShellWindow->RepaintPending = false;
    button->SetText(u"Ok");
    EXPECT_FALSE(ShellWindow->RepaintPending);
    button->SetText(u"Sim");
    EXPECT_TRUE(ShellWindow->RepaintPending);
}

// Paints the whole window in one colour that no theme entry has, so that
// whatever a control paints over it shows.
class WindowBackground : public TPlatformEvents {
public:
    static constexpr int32_t Color = 0x1E7A3C;
    void Paint(TPlatformCanvas* canvas) override { canvas->FillRect(0, 0, 100000, 100000, Color); }
};

TEST_F(DrawnBridge, CustomControlWithoutSinkPaintsNothing) {
    Window->Events = MakeRef<WindowBackground>();
    const TRef<TPlatformControl> custom = App->CreateCustomControl();
    Window->AddChild(custom.Get(), 0, 0);
    custom->SetBounds(0, 0, 20, 20);
    Render();
    for (int32_t y = 0; y < 20; ++y)
        for (int32_t x = 0; x < 20; ++x) ASSERT_EQ(Px(x, y), Rgb(WindowBackground::Color)) << x << "," << y;
}

// Mend: hiding or detaching the focused control tells it that the focus went,
// so that nothing goes on thinking it has the focus.
TEST_F(DrawnBridge, HidingOrDetachingTheFocusedControlLosesTheFocus) {
    for (bool detach : {false, true}) {
        TRef<ProbeSink> sink;
        const auto button = Place<TDrawnButton>(App->CreateButton(), 0, 0, 50, 20, &sink);
        button->SetFocus();
        ASSERT_TRUE(button->Focused);
        sink->Log.clear();
        if (detach)
            button->RemoveFromParent();
        else
            button->SetVisible(false);
        EXPECT_FALSE(button->Focused) << detach;
        EXPECT_EQ(sink->Take(), "FocusChanged 0") << detach;
    }
}

// ---------------------------------------------------------------------------
// Button and check box

using DrawnButtons = DrawnHarness;

TEST_F(DrawnButtons, ButtonClicksOnlyWhenReleasedInside) {
    TRef<ProbeSink> sink;
    const auto button = Place<TDrawnButton>(App->CreateButton(), 10, 10, 80, 24, &sink);
    ShellWindow->RouteMouseMove(20, 20, 0);
    ShellWindow->RouteMouseDown(20, 20, MouseButtonLeft, 0);
    ShellWindow->RouteMouseMove(150, 100, 0);
    EXPECT_FALSE(button->Hot);
    ShellWindow->RouteMouseUp(150, 100, MouseButtonLeft, 0);
    EXPECT_EQ(sink->Take().find("Click"), std::string::npos);
    ShellWindow->RouteMouseDown(20, 20, MouseButtonLeft, 0);
    ShellWindow->RouteMouseMove(150, 100, 0);
    ShellWindow->RouteMouseMove(30, 20, 0);
    EXPECT_TRUE(button->Hot);
    ShellWindow->RouteMouseUp(30, 20, MouseButtonLeft, 0);
    EXPECT_NE(sink->Take().find("Click"), std::string::npos);
    // Return clicks at its release, with no press seen.
    ShellWindow->RouteKeyUp(KeyReturn, 0);
    EXPECT_EQ(sink->Take(), "KeyUp 65293 0, Click");
}

TEST_F(DrawnButtons, CheckBoxAndRadioInput) {
    TRef<ProbeSink> sink;
    const auto box = Place<TDrawnCheckBox>(App->CreateCheckBox(), 10, 10, 100, 20, &sink);
    const auto radio = Place<TDrawnCheckBox>(App->CreateRadioButton(), 10, 40, 100, 20);
    Click(15, 15);
    EXPECT_TRUE(box->Checked);
    Click(15, 15);
    EXPECT_FALSE(box->Checked);
    sink->Log.clear();
    ShellWindow->RouteKeyUp(KeySpace, 0); // no press seen
    ShellWindow->RouteKeyUp(KeyReturn, 0);
    EXPECT_EQ(sink->Take(), "KeyUp 32 0, KeyUp 65293 0");
    Key(KeySpace);
    EXPECT_TRUE(box->Checked);
    EXPECT_EQ(sink->Take(), "KeyDown 32 0, KeyUp 32 0, Click");
    Click(15, 45);
    Click(15, 45);
    EXPECT_TRUE(radio->Checked);
    ShellWindow->RepaintPending = false;
    radio->SetChecked(true);
    EXPECT_FALSE(ShellWindow->RepaintPending);
}

// Mend: losing the focus while held releases the mouse capture as well;
// otherwise the window's mouse stays with a control that ignores the release.
TEST_F(DrawnButtons, LosingTheFocusWhileHeldReleasesTheCapture) {
    const auto other = Place<TDrawnButton>(App->CreateButton(), 100, 100, 50, 20);
    for (TRef<TPlatformControl> control : {App->CreateButton(), App->CreateCheckBox()}) {
        Place<TDrawnControl>(control, 10, 10, 80, 24);
        ShellWindow->RouteMouseDown(20, 20, MouseButtonLeft, 0);
        ASSERT_EQ(ShellWindow->CapturedControl.Get(), DrawnHostOf(control.Get()).Get());
        other->SetFocus();
        EXPECT_FALSE(ShellWindow->CapturedControl);
        control->RemoveFromParent();
    }
}

TEST_F(DrawnButtons, ButtonFaceBorderAndRingPerState) {
    const auto button = Place<TDrawnButton>(App->CreateButton(), 10, 10, 60, 24);
    struct Case {
        const char* name;
        bool enabled, pressed, hot, focused;
        int32_t face, border, ring;
    };
    const Case cases[] = {
        {"plain", true, false, false, false, 15, 19, 15},
        {"focused", true, false, false, true, 15, 20, 20},
        {"hot", true, false, true, false, 16, 20, 16},
        {"pressed", true, true, true, true, 17, 21, 17},
        {"disabled and focused", false, false, false, true, 18, 22, 18},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        button->Enabled = c.enabled;
        button->Pressed = c.pressed;
        button->Hot = c.hot;
        button->Focused = c.focused;
        Render();
        EXPECT_EQ(Px(10 + 30, 10 + 2), C(c.face));
        EXPECT_EQ(Px(10, 10), C(c.border));
        EXPECT_EQ(Px(10 + 59, 10 + 23), C(c.border));
        EXPECT_EQ(Px(10 + 1, 10 + 1), C(c.ring));
        EXPECT_EQ(Px(10 + 58, 10 + 12), C(c.ring));
    }
}

TEST_F(DrawnButtons, CaptionIsDrawnInsideTheButton) {
    const auto button = Place<TDrawnButton>(App->CreateButton(), 10, 10, 80, 24);
    button->SetText(u"&Ok");
    Render();
    int32_t dark = 0;
    for (int32_t y = 12; y < 32; ++y)
        for (int32_t x = 12; x < 88; ++x) dark += Px(x, y) == 0 ? 1 : 0;
    EXPECT_GT(dark, 0);
}

std::vector<std::string> Mask(DrawnHarness& h, int32_t left, int32_t top, int32_t size,
                              const std::vector<std::pair<char, int32_t>>& legend) {
    std::vector<std::string> rows;
    for (int32_t y = 0; y < size; ++y) {
        std::string row;
        for (int32_t x = 0; x < size; ++x) {
            char ch = '?';
            for (auto [c, rgb] : legend)
                if (h.Px(left + x, top + y) == rgb) ch = c;
            row += ch;
        }
        rows.push_back(row);
    }
    return rows;
}

using DrawnIndicators = DrawnHarness;

TEST_F(DrawnIndicators, CheckedBoxMatchesItsMask) {
    const auto box = Place<TDrawnCheckBox>(App->CreateCheckBox(), 10, 10, 60, 17);
    box->SetChecked(true);
    Render();
    // m = (17 - 13) / 2 = 2
    const std::vector<std::string> expected = {
        "#############", "#...........#", "#...........#", "#.........x.#", "#........xx.#",
        "#..x....xxx.#", "#..xx..xxx..#", "#..xxxxxx...#", "#...xxxx....#", "#....xx.....#",
        "#...........#", "#...........#", "#############"};
    std::vector<std::string> got = Mask(*this, 10, 12, 13, {{'.', C(0)}, {'#', C(23)}});
    // Border and mark share a colour: mark the interior ones as x.
    for (size_t y = 1; y + 1 < got.size(); ++y)
        for (size_t x = 1; x + 1 < got[y].size(); ++x)
            if (got[y][x] == '#') got[y][x] = 'x';
    EXPECT_EQ(got, expected);
}

TEST_F(DrawnIndicators, RadioIndicatorIsARoundMarkInsideACircle) {
    const auto radio = Place<TDrawnCheckBox>(App->CreateRadioButton(), 10, 10, 60, 13);
    radio->SetChecked(true);
    Render();
    EXPECT_EQ(Px(10, 10), C(1));              // corner outside the circle
    EXPECT_EQ(Px(10 + 6, 10), C(23));         // top of the ring
    EXPECT_EQ(Px(10 + 6, 10 + 6), C(23));     // the mark
    EXPECT_EQ(Px(10 + 2, 10 + 6), C(0));      // between ring and mark
    radio->SetChecked(false);
    Render();
    EXPECT_EQ(Px(10 + 6, 10 + 6), C(0));
}

TEST_F(DrawnIndicators, FocusFrameIsMeasuredWithTheAmpersands) {
    const auto box = Place<TDrawnCheckBox>(App->CreateCheckBox(), 0, 0, 200, 20);
    box->SetText(u"&&&&");
    box->Focused = true;
    Render();
    int32_t w = 0, h = 0;
    const TRef<TPlatformCanvas> canvas = ShellWindow->GetSurface()->CreateCanvas();
    ApplyDrawnFont(canvas.Get(), 0);
    canvas->TextExtent(u"&&&&", w, h);
    const int32_t e = (20 - h) / 2;
    EXPECT_EQ(Px(w + 20, e), 0x808080);
    EXPECT_EQ(Px(18, e), 0x808080);
}

// ---------------------------------------------------------------------------
// Scroll engine and scroll bar

TEST(DrawnScrollEngine, GeometryAndHitTest) {
    struct Case {
        int32_t length, page;
        int32_t arrow, track, thumb, highest;
        bool scrollable;
    };
    const Case cases[] = {
        {20, 0, 10, 0, 0, 100, true},    {34, 0, 17, 0, 0, 100, true},   {100, 0, 17, 66, 17, 100, true},
        {100, 10, 17, 66, 10, 91, true}, {100, 101, 17, 66, 66, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.length << "/" << c.page);
        TDrawnScrollEngine e(nullptr, true, nullptr);
        e.Length = c.length;
        e.PageSize = c.page;
        EXPECT_EQ(e.ArrowSize(), c.arrow);
        EXPECT_EQ(e.Track(), c.track);
        EXPECT_EQ(e.ThumbSize(), c.thumb);
        EXPECT_EQ(e.HighestPosition(), c.highest);
        EXPECT_EQ(e.Scrollable(), c.scrollable);
        EXPECT_EQ(e.HitTest(5, 0), 1);
        EXPECT_EQ(e.HitTest(5, c.length - 1), 5);
        EXPECT_EQ(e.HitTest(17, 0), 0);
        EXPECT_EQ(e.HitTest(5, c.length), 0);
        if (c.track > 0) {
            EXPECT_EQ(e.HitTest(5, c.scrollable ? c.arrow + c.thumb : c.length / 2), c.scrollable ? 4 : 0);
        }
    }
}

// Mend: the range's differences in 64 bits.
TEST(DrawnScrollEngine, ExtremeRangesStayOnTheTrack) {
    TDrawnScrollEngine e(nullptr, true, nullptr);
    e.Length = 134;
    e.Min = INT32_MIN;
    e.Max = INT32_MAX;
    for (int32_t page : {0, 1, 1000, INT32_MAX}) {
        e.PageSize = page;
        for (int32_t pos : {INT32_MIN, 0, INT32_MAX}) {
            e.Position = pos;
            EXPECT_TRUE(e.Scrollable()) << page;
            EXPECT_GE(e.ThumbSize(), 10);
            EXPECT_GE(e.ThumbStart(), e.ArrowSize());
            EXPECT_LE(e.ThumbStart() + e.ThumbSize(), e.ArrowSize() + e.Track());
        }
    }
}

using DrawnScrollBar = DrawnHarness;

// The Scroll lines of a sink as "code position;" each, taking every line.
std::string TakeScrolls(ProbeSink& sink) {
    std::string s;
    for (const std::string& l : sink.Log)
        if (l.rfind("Scroll", 0) == 0) s += l.substr(7) + ";";
    sink.Log.clear();
    return s;
}

TEST_F(DrawnScrollBar, ThumbAtTheEndOfTheRange) {
    const auto bar = Place<TDrawnScrollBar>(App->CreateScrollBar(), 0, 0, 17, 134);
    bar->SetScrollKind(true);
    bar->SetScrollParams(0, 100, 10, 91);
    Render();
    EXPECT_EQ(Px(8, 106), C(29));
    EXPECT_EQ(Px(8, 107), C(30));
    EXPECT_EQ(Px(8, 116), C(30));
    EXPECT_EQ(Px(8, 117), C(29));
    EXPECT_EQ(Px(1, 110), C(29));
    EXPECT_EQ(Px(2, 110), C(30));
    EXPECT_EQ(Px(14, 110), C(30));
    EXPECT_EQ(Px(15, 110), C(29));
    EXPECT_EQ(Px(8, 6), C(33)); // tip of the first arrow
    EXPECT_EQ(Px(8, 134 - 8), C(33));
}

TEST_F(DrawnScrollBar, TrackPressRepeatsAndPausesOverTheThumb) {
    TRef<ProbeSink> sink;
    const auto bar = Place<TDrawnScrollBar>(App->CreateScrollBar(), 0, 0, 17, 134, &sink);
    bar->SetScrollKind(true);
    bar->SetScrollParams(0, 100, 10, 0);
    ShellWindow->RouteMouseDown(8, 100, MouseButtonLeft, 0);
    auto scrolls = [&] { return TakeScrolls(*sink); };
    EXPECT_EQ(scrolls(), "3 0;");
    Advance(399);
    EXPECT_EQ(scrolls(), "");
    Advance(1);
    EXPECT_EQ(scrolls(), "3 0;");
    Advance(50);
    EXPECT_EQ(scrolls(), "3 0;");
    Advance(50);
    EXPECT_EQ(scrolls(), "3 0;");
    ShellWindow->RouteMouseMove(8, 20, 0); // the thumb at position 0
    Advance(100);
    EXPECT_EQ(scrolls(), "");
    ShellWindow->RouteMouseMove(8, 100, 0);
    Advance(50);
    EXPECT_EQ(scrolls(), "3 0;");
    ShellWindow->RouteMouseUp(8, 100, MouseButtonLeft, 0);
    EXPECT_EQ(scrolls(), "8 0;");
    Advance(500);
    EXPECT_EQ(scrolls(), "");
}

TEST_F(DrawnScrollBar, ThumbDragWheelAndKeys) {
    TRef<ProbeSink> sink;
    const auto bar = Place<TDrawnScrollBar>(App->CreateScrollBar(), 0, 0, 17, 134, &sink);
    bar->SetScrollKind(true);
    bar->SetScrollParams(0, 100, 10, 0);
    auto scrolls = [&] { return TakeScrolls(*sink); };
    ShellWindow->RouteMouseDown(8, 20, MouseButtonLeft, 0);
    ShellWindow->RouteMouseMove(8, 500, 0);
    ShellWindow->RouteMouseUp(8, 500, MouseButtonLeft, 0);
    EXPECT_EQ(scrolls(), "5 91;4 91;8 0;");
    bar->SetFocus();
    ShellWindow->RouteMouseWheel(8, 50, 120, 0);
    EXPECT_EQ(scrolls(), "0 0;0 0;0 0;8 0;");
    ShellWindow->RouteMouseWheel(8, 50, 0, 0);
    EXPECT_EQ(scrolls(), "1 0;1 0;1 0;8 0;");
    for (int32_t key : {KeyHome, KeyUp, KeyDown, KeyPageUp, KeyPageDown, KeyEnd, int32_t('a')})
        ShellWindow->RouteKeyDown(key, 0);
    EXPECT_EQ(scrolls(), "6 0;0 0;1 0;2 0;3 0;7 0;");
}

// A look at the widgets as a user sees them, written where a person can open
// it, and checked at points away from any text.
TEST_F(DrawnHarness, Screenshot) {
    const auto button = Place<TDrawnButton>(App->CreateButton(), 10, 10, 90, 26);
    button->SetText(u"&Avançar");
    button->SetFocus();
    const auto plain = Place<TDrawnButton>(App->CreateButton(), 110, 10, 90, 26);
    plain->SetText(u"Cancelar");
    const auto box = Place<TDrawnCheckBox>(App->CreateCheckBox(), 10, 50, 150, 20);
    box->SetText(u"Criar atalho");
    box->SetChecked(true);
    const auto radio = Place<TDrawnCheckBox>(App->CreateRadioButton(), 10, 75, 150, 20);
    radio->SetText(u"Todos os usuários");
    radio->SetChecked(true);
    const auto bar = Place<TDrawnScrollBar>(App->CreateScrollBar(), 210, 10, 17, 134);
    bar->SetScrollKind(true);
    bar->SetScrollParams(0, 100, 10, 40);
    Render();
    SaveScreenshot("zyl-drawn.png");
    // The bar: 17-pixel arrows, a track of 100 and a thumb of 10 (at least
    // 10; 100 x 10 / 101 is less) at 17 + 40 x 90 / 91 = 56.
    ExpectPixels({
        {10, 10, ThemeColor(20), "focused button: border"},
        {11, 11, ThemeColor(20), "focused button: ring inside the border"},
        {98, 34, ThemeColor(20), "focused button: ring, bottom right"},
        {12, 12, ThemeColor(15), "focused button: face"},
        {110, 10, ThemeColor(19), "plain button: border"},
        {111, 11, ThemeColor(15), "plain button: face, no ring"},
        {10, 53, ThemeColor(23), "check box: frame"},
        {11, 54, ThemeColor(0), "check box: inside"},
        {13, 58, ThemeColor(23), "check box: first column of the mark"},
        {20, 54, ThemeColor(0), "check box: inside, above the mark"},
        {24, 51, ThemeColor(1), "check box: background before the caption"},
        {16, 78, ThemeColor(23), "radio button: top of the circle"},
        {16, 84, ThemeColor(23), "radio button: centre of the dot"},
        {16, 80, ThemeColor(0), "radio button: inside, above the dot"},
        {211, 40, ThemeColor(29), "scroll bar: track"},
        {218, 16, ThemeColor(33), "scroll bar: tip of the first arrow"},
        {218, 136, ThemeColor(33), "scroll bar: tip of the second arrow"},
        {212, 66, ThemeColor(30), "scroll bar: thumb, first row"},
        {224, 75, ThemeColor(30), "scroll bar: thumb, last row"},
        {218, 76, ThemeColor(29), "scroll bar: track below the thumb"},
        {211, 70, ThemeColor(29), "scroll bar: track beside the thumb"},
    });
}

} // namespace
