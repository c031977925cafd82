// Label, panel, paint box and timer, and the edit boxes and memo, on the
// drawn application over an offscreen shell: controls sit in a root custom
// control that fills the drawn window, pixels come from the rendered
// surface, time from the shell's virtual clock.
#include "Zyl.Controls.h"
#include "Zyl.Platform.Drawn.Edit.h"
#include "Zyl.Platform.Drawn.Harness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kFrame = TColor(0xFF000006), kFace = TColor(0xFF00000F), kShadow = TColor(0xFF000010),
                 kGrayText = TColor(0xFF000011), kHighlight = TColor(0xFF000014);

// The top of the control tree, standing in for a form: it records the
// dialog keys offered to it and takes Enter as its default button would.
class ProbeForm : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    bool IsTopLevel() const override { return true; }
    std::vector<uint32_t> DialogKeys;

protected:
    bool Dispatch(TZylMessage& m) override { return RunMessageTable(this, Table, m) || TCustomControl::Dispatch(m); }

private:
    void DialogKey(TZylMessage& m) {
        DialogKeys.push_back(m.Key);
        m.Result = m.Key == 13;
    }
    static const TMessageEntry<ProbeForm> Table[1];
};

const TMessageEntry<ProbeForm> ProbeForm::Table[1] = {{ZM_DIALOGKEY, &ProbeForm::DialogKey}};

class StandardHarness : public DrawnHarness {
public:
    StandardHarness() {
        SetPlatformAppInstance(App.Get());
        Root = MakeRef<ProbeForm>(nullptr);
        Root->SetColor(kWhite);
        Root->SetBounds(0, 0, 240, 160);
        Root->HandleNeeded();
        Window->AddChild(Root->GetPlatformControl(), 0, 0);
    }
    ~StandardHarness() override {
        Root = nullptr;
        SetPlatformAppInstance(nullptr);
    }

    template <class C>
    TRef<C> Add(int32_t l, int32_t t, int32_t w, int32_t h, TWinControl* parent = nullptr) {
        auto c = MakeRef<C>(nullptr);
        c->SetBounds(l, t, w, h);
        c->SetParent(parent ? parent : Root.Get());
        return c;
    }
    // A colour of the library (system colours resolved) as Px reports it.
    static int32_t Seen(TColor color) { return Rgb(ResolveColor(color)); }
    // How many pixels of the area show the colour, after a full render.
    int32_t Count(const TRect& area, TColor color) {
        Render();
        int32_t n = 0;
        for (int32_t y = area.Top; y < area.Bottom; ++y)
            for (int32_t x = area.Left; x < area.Right; ++x) n += Px(x, y) == Seen(color);
        return n;
    }

    TRef<ProbeForm> Root;
};

TTextSize ExtentOnOwnCanvas(TFont* font, const std::u16string& text) {
    auto bitmap = MakeRef<TBitmap>();
    bitmap->SetSize(1, 1);
    TRef<TCanvas> canvas = bitmap->GetCanvas();
    canvas->SetFont(font);
    return canvas->TextExtent(text);
}

} // namespace

// ---- Label ---------------------------------------------------------------------------

TEST_F(StandardHarness, AnAutoSizedLabelTakesItsCaptionsExtentWhateverItsWidthWas) {
    auto label = Add<TLabel>(10, 10, 300, 40);
    const std::u16string caption = u"Pasta de destino do programa";
    label->SetText(caption);
    const TTextSize extent = ExtentOnOwnCanvas(label->Font(), caption);
    ASSERT_GT(extent.Width, 65);
    EXPECT_EQ(label->Width(), extent.Width);
    EXPECT_EQ(label->Height(), extent.Height);

    // Far wider than its parent: the limit is not the label's width.
    const std::u16string wide(120, u'W');
    label->SetText(wide);
    EXPECT_EQ(label->Width(), ExtentOnOwnCanvas(label->Font(), wide).Width);
    EXPECT_GT(label->Width(), Root->Width());

    // A font change measures again.
    label->Font()->SetHeight(label->Font()->Height() * 2);
    EXPECT_EQ(label->Height(), ExtentOnOwnCanvas(label->Font(), wide).Height);
}

TEST_F(StandardHarness, AWrappingLabelKeepsItsWidthAndAnEmptyOneKeepsItsSizeUnlessItWraps) {
    auto label = Add<TLabel>(0, 0, 65, 17);
    EXPECT_EQ(label->Width(), 65);
    label->SetText(u"");
    label->SetAutoSize(true);
    EXPECT_EQ(label->Height(), 17);

    label->SetWordWrap(true);
    auto bitmap = MakeRef<TBitmap>();
    bitmap->SetSize(1, 1);
    TRef<TCanvas> canvas = bitmap->GetCanvas();
    canvas->SetFont(label->Font());
    TRect empty{0, 0, 65, 0};
    std::u16string nothing;
    canvas->DrawText(empty, nothing, txWordWrap | txMeasure);
    EXPECT_EQ(label->Width(), 65);
    EXPECT_EQ(label->Height(), empty.Bottom);
    const int32_t lineHeight = canvas->TextExtent(u"Ag").Height;

    label->SetText(u"um dois tres quatro cinco seis sete oito");
    EXPECT_EQ(label->Width(), 65);
    EXPECT_GE(label->Height(), 3 * lineHeight);

    label->SetAutoSize(false);
    label->SetText(u"um");
    EXPECT_GE(label->Height(), 3 * lineHeight);
}

TEST_F(StandardHarness, AnAmpersandMarksTheAcceleratorOnlyWhileShowAccelCharIsOn) {
    auto label = Add<TLabel>(10, 10, 0, 0);
    label->SetText(u"&Sim");
    EXPECT_EQ(label->Width(), ExtentOnOwnCanvas(label->Font(), u"Sim").Width);
    label->ShowAccelChar = false;
    label->SetAutoSize(true);
    EXPECT_EQ(label->Width(), ExtentOnOwnCanvas(label->Font(), u"&Sim").Width);
}

TEST_F(StandardHarness, LayoutPlacesTheCaptionAtTheTopCentreOrBottom) {
    auto label = Add<TLabel>(10, 10, 0, 0);
    label->SetText(u"Sim");
    label->Font()->SetColor(0x0000C0);
    const int32_t textHeight = label->Height();
    label->SetAutoSize(false);
    label->SetBounds(10, 10, label->Width(), textHeight + 40);
    // The first row, counted from the label's top, that shows the caption.
    const auto firstInkRow = [&] {
        Render();
        for (int32_t y = 0; y < label->Height(); ++y)
            for (int32_t x = 0; x < label->Width(); ++x)
                if (Px(10 + x, 10 + y) == Seen(0x0000C0)) return y;
        return -1;
    };
    const int32_t atTop = firstInkRow();
    ASSERT_GE(atTop, 0);
    label->Layout = 1;
    EXPECT_EQ(firstInkRow(), atTop + 20);
    label->Layout = 2;
    EXPECT_EQ(firstInkRow(), atTop + 40);
}

TEST_F(StandardHarness, DisabledTextIsGreyWhenTheControlOrAnAncestorIsDisabled) {
    auto panel = Add<TPanel>(0, 0, 240, 160);
    auto label = Add<TLabel>(10, 10, 0, 0, panel.Get());
    label->SetText(u"Rotulo");
    label->Font()->SetColor(0x0000C0);
    const TRect area{10, 10, 10 + label->Width(), 10 + label->Height()};

    struct TCase {
        bool LabelEnabled, PanelEnabled;
        TColor Expected, Absent;
    };
    for (const TCase& c : {TCase{true, true, 0x0000C0, kGrayText}, TCase{false, true, kGrayText, 0x0000C0},
                           TCase{true, false, kGrayText, 0x0000C0}}) {
        SCOPED_TRACE(std::to_string(c.LabelEnabled) + "/" + std::to_string(c.PanelEnabled));
        label->SetEnabled(c.LabelEnabled);
        panel->SetEnabled(c.PanelEnabled);
        EXPECT_GT(Count(area, c.Expected), 0);
        EXPECT_EQ(Count(area, c.Absent), 0);
    }

    // The panel's own caption follows the same rule.
    label->SetParent(nullptr);
    panel->SetText(u"Painel");
    panel->Font()->SetColor(0x0000C0);
    panel->SetEnabled(false);
    EXPECT_GT(Count({0, 0, 240, 160}, kGrayText), 0);
    EXPECT_EQ(Count({0, 0, 240, 160}, 0x0000C0), 0);
}

// ---- Panel ---------------------------------------------------------------------------

TEST_F(StandardHarness, PanelBevelsFrameAndClientInsets) {
    struct TPixel {
        int32_t X, Y;
        TColor Color;
    };
    struct TCase {
        const char* Name;
        uint8_t BevelInner;
        int32_t BorderWidth;
        uint8_t BorderStyle;
        int32_t Inset;
        std::vector<TPixel> Pixels;
    };
    // Panel-local points of a 40 x 20 panel.
    const std::vector<TCase> cases = {
        {"defaults", 0, 0, 0, 1,
         {{0, 0, kHighlight}, {38, 0, kHighlight}, {0, 18, kHighlight}, {39, 0, kShadow}, {0, 19, kShadow},
          {39, 19, kShadow}, {1, 1, kFace}, {38, 18, kFace}}},
        {"inner, border and frame", 1, 2, 1, 5,
         {{0, 0, kFrame}, {39, 19, kFrame}, {1, 1, kHighlight}, {37, 1, kHighlight}, {38, 1, kShadow},
          {1, 18, kShadow}, {38, 18, kShadow}, {2, 2, kFace}, {3, 3, kFace}, {4, 4, kShadow}, {34, 4, kShadow},
          {35, 4, kHighlight}, {4, 15, kHighlight}, {35, 15, kHighlight}, {5, 5, kFace}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto panel = Add<TPanel>(20, 30, 40, 20);
        panel->BevelInner = c.BevelInner;
        panel->BorderWidth = c.BorderWidth;
        panel->BorderStyle = c.BorderStyle;
        panel->SetBevelOuter(2);
        EXPECT_EQ(panel->GetClientRect(), (TRect{c.Inset, c.Inset, 40 - c.Inset, 20 - c.Inset}));
        // Children align inside the client rectangle.
        auto child = Add<TPanel>(0, 0, 10, 10, panel.Get());
        child->SetBevelOuter(0);
        child->SetAlign(5);
        EXPECT_EQ((TRect{child->Left(), child->Top(), child->Left() + child->Width(), child->Top() + child->Height()}),
                  panel->GetClientRect());
        child->SetParent(nullptr);
        Render();
        for (const TPixel& p : c.Pixels)
            EXPECT_EQ(Px(20 + p.X, 30 + p.Y), Seen(p.Color)) << "at " << p.X << "," << p.Y;
        panel->SetParent(nullptr);
    }
}

TEST_F(StandardHarness, BevelKindsOutsideTheTableDrawLoweredAndSpaceDrawsNothing) {
    auto panel = Add<TPanel>(20, 30, 40, 20);
    for (uint8_t kind : {1, 7}) {
        panel->SetBevelOuter(kind);
        Render();
        EXPECT_EQ(Px(20, 30), Seen(kShadow));
        EXPECT_EQ(Px(59, 49), Seen(kHighlight));
    }
    panel->SetBevelOuter(3);
    Render();
    EXPECT_EQ(Px(20, 30), Seen(kFace));
    EXPECT_EQ(panel->GetClientRect(), (TRect{1, 1, 39, 19}));
}

// ---- Paint box ------------------------------------------------------------------------

TEST_F(StandardHarness, APaintBoxHandsItsOwnerACanvasWithItsColourAsBrush) {
    auto box = Add<TPaintBox>(10, 10, 30, 20);
    EXPECT_EQ(box->Width(), 30);
    box->SetColor(0x00FF00);
    int32_t paints = 0;
    box->OnPaint = [&](System::TObject* sender) {
        ++paints;
        EXPECT_EQ(sender, box.Get());
        box->Canvas()->FillRect({0, 0, 10, 10});
    };
    EXPECT_EQ(Count({10, 10, 40, 30}, 0x00FF00), 100);
    EXPECT_GE(paints, 1);
}

// ---- Timer -------------------------------------------------------------------------------

TEST_F(StandardHarness, ATimerRegistersWithThePlatformAppAndTicksOnTheVirtualClock) {
    auto active = [&] {
        std::vector<std::pair<int32_t, uint32_t>> list;
        for (const TOffscreenTimer& t : Shell->Timers)
            if (t.Active) list.emplace_back(t.Id, t.Interval);
        return list;
    };
    const auto before = active();
    auto timer = MakeRef<TTimer>(nullptr);
    ASSERT_TRUE(timer->Registered());
    std::vector<int64_t> ticks;
    timer->OnTimer = [&](System::TObject* sender) {
        EXPECT_EQ(sender, timer.Get());
        ticks.push_back(Shell->Clock);
    };
    auto mine = active();
    ASSERT_EQ(mine.size(), before.size() + 1);
    EXPECT_EQ(mine.back(), std::make_pair(timer->TimerId(), 1000u));

    Advance(999);
    EXPECT_TRUE(ticks.empty());
    Advance(1001);
    EXPECT_EQ(ticks, (std::vector<int64_t>{1000, 2000}));

    // The same value registers nothing anew; 0 stops; a value again starts.
    const int32_t id = timer->TimerId();
    timer->SetInterval(1000);
    EXPECT_EQ(timer->TimerId(), id);
    timer->SetInterval(0);
    EXPECT_FALSE(timer->Registered());
    EXPECT_EQ(active(), before);
    timer->SetInterval(500);
    EXPECT_NE(timer->TimerId(), id);
    EXPECT_EQ(active().back(), std::make_pair(timer->TimerId(), 500u));
    timer->SetEnabled(false);
    EXPECT_EQ(active(), before);
    timer->SetEnabled(true);
    ASSERT_TRUE(timer->Registered());

    timer = nullptr;
    EXPECT_EQ(active(), before);
    Advance(2000);
    EXPECT_EQ(ticks.size(), 2u);
}

TEST_F(StandardHarness, ATimerMadeBeforeThePlatformAppRegistersAtItsNextChange) {
    SetPlatformAppInstance(nullptr);
    auto timer = MakeRef<TTimer>(nullptr);
    EXPECT_FALSE(timer->Registered());
    SetPlatformAppInstance(App.Get());
    timer->SetInterval(250);
    EXPECT_TRUE(timer->Registered());
}

TEST_F(StandardHarness, ATimerMayDropItsLastReferenceInsideItsOwnTick) {
    auto timer = MakeRef<TTimer>(nullptr);
    int32_t ticks = 0;
    timer->OnTimer = [&](System::TObject*) {
        ++ticks;
        timer = nullptr;
    };
    Advance(3000);
    EXPECT_EQ(ticks, 1);
}

// ---- Edit and memo ---------------------------------------------------------------------

namespace {

// An edit or memo whose text box starts from settings of Prime's choice, so
// that a setting the control leaves unsent stays visible on the box; counts
// the ZM_TEXTCHANGED the control receives.
template <class Box>
class ProbeBox : public Box {
public:
    using Box::Box;
    std::function<void(TDrawnTextBox&)> Prime;
    int32_t TextChanges = 0;
    int32_t Changes = 0;
    TDrawnTextBox& Drawn() const { return static_cast<TDrawnTextBox&>(*this->GetPlatformControl()); }

protected:
    TRef<TPlatformControl> CreatePlatformControl(TPlatformApp& app) override {
        TRef<TPlatformControl> pc = Box::CreatePlatformControl(app);
        if (Prime) Prime(static_cast<TDrawnTextBox&>(*pc));
        return pc;
    }
    bool Dispatch(TZylMessage& m) override {
        TextChanges += m.Id() == ZM_TEXTCHANGED;
        Changes += m.Id() == ZM_CHANGED;
        return Box::Dispatch(m);
    }
};

template <class Box>
TRef<ProbeBox<Box>> MakeBox(std::function<void(TDrawnTextBox&)> prime = nullptr) {
    auto box = MakeRef<ProbeBox<Box>>(nullptr);
    box->Prime = std::move(prime);
    return box;
}

// MaxLength, PasswordChar, CharCase, NumbersOnly, ReadOnly and Border.
auto SettingsOf(const TDrawnTextBox& b) {
    return std::make_tuple(b.MaxLength, b.PasswordChar, b.CharCase, b.NumbersOnly, b.ReadOnly, b.Border);
}

std::u16string Joined(const System::TStrings& lines) {
    std::u16string all;
    for (int32_t i = 0; i < lines.GetCount(); ++i) all += (i ? u"|" : u"") + lines.Get(i);
    return all;
}

} // namespace

TEST_F(StandardHarness, AnEditSendsOnlyTheSettingsThatDepartFromTheDefaults) {
    const auto away = [](TDrawnTextBox& b) {
        b.MaxLength = 99, b.PasswordChar = u'#', b.CharCase = 2, b.NumbersOnly = true, b.ReadOnly = true,
        b.Border = false;
    };
    auto plain = MakeBox<TEdit>(away);
    plain->CharCase = 3;  // no case a box knows
    plain->MaxLength = -4;
    plain->SetParent(Root.Get());
    EXPECT_EQ(SettingsOf(plain->Drawn()), std::make_tuple(99, u'#', 2, true, true, false));

    auto set = MakeBox<TEdit>();
    set->MaxLength = 5, set->PasswordChar = u'*', set->CharCase = 1, set->NumbersOnly = true, set->Border = false;
    set->SetReadOnly(true);
    set->SetText(u"12345678");
    set->SetParent(Root.Get());
    EXPECT_EQ(SettingsOf(set->Drawn()), std::make_tuple(5, u'*', 1, true, true, false));
    EXPECT_EQ(set->GetText(), u"12345678");  // the limit binds typing, not the text given before it

    // Once the box exists, ReadOnly goes over at once.
    set->SetReadOnly(false);
    EXPECT_FALSE(set->Drawn().ReadOnly);
}

TEST_F(StandardHarness, AMemoAlwaysSendsItsTextWrapReturnsTabsAndBars) {
    const auto away = [](TDrawnTextBox& b) {
        b.SetText(u"antes");
        b.WordWrap = false, b.WantReturns = false, b.WantTabs = true, b.ScrollBars = 3;
    };
    auto defaults = MakeBox<TMemo>(away);
    defaults->SetParent(Root.Get());
    const TDrawnTextBox& d = defaults->Drawn();
    EXPECT_EQ(d.Text, u"");
    EXPECT_TRUE(d.WordWrap);
    EXPECT_TRUE(d.WantReturns);
    EXPECT_FALSE(d.WantTabs);
    EXPECT_EQ(d.ScrollBars, 0);

    auto memo = MakeBox<TMemo>(away);
    memo->Lines()->Add(u"a");
    memo->Lines()->Add(u"b");
    memo->SetScrollBars(7);  // passed as none
    memo->SetWordWrap(false);
    memo->WantTabs = true;
    memo->SetParent(Root.Get());
    const TDrawnTextBox& m = memo->Drawn();
    EXPECT_EQ(m.Text, u"a\nb");
    EXPECT_EQ(m.ScrollBars, 0);
    EXPECT_FALSE(m.WordWrap);
    EXPECT_TRUE(m.WantTabs);

    memo->SetScrollBars(2);
    memo->SetWordWrap(true);
    EXPECT_EQ(m.ScrollBars, 2);
    EXPECT_TRUE(m.WordWrap);
}

TEST_F(StandardHarness, EachChangeToAMemosLinesFiresOnChangeOnceAndReachesTheBoxWithoutATrailingLineFeed) {
    auto memo = MakeBox<TMemo>();
    memo->SetParent(Root.Get());
    int32_t changes = 0;
    memo->OnChange = [&](System::TObject*) { ++changes; };

    struct TStep {
        std::u16string Add;
        std::u16string BoxText;
    };
    for (const TStep& step : {TStep{u"um", u"um"}, TStep{u"dois", u"um\ndois"}, TStep{u"", u"um\ndois\n"}}) {
        const int32_t before = changes;
        memo->Lines()->Add(step.Add);
        EXPECT_EQ(changes, before + 1);
        EXPECT_EQ(memo->Drawn().Text, step.BoxText);
        EXPECT_EQ(memo->GetText(), step.BoxText);
    }
    EXPECT_EQ(memo->TextChanges, 3);

    // A text the box cuts comes back into the lines.
    auto limited = MakeBox<TMemo>();
    limited->MaxLength = 4;
    limited->SetParent(Root.Get());
    limited->Lines()->Add(u"abcdef");
    EXPECT_EQ(limited->Drawn().Text, u"abcd");
    EXPECT_EQ(Joined(*limited->Lines()), u"abcd");
    EXPECT_EQ(limited->Changes, 1);
}

TEST_F(StandardHarness, TypingIntoAMemoRefillsItsLinesWithoutAnEchoAndFiresOnChangeOnce) {
    auto memo = MakeBox<TMemo>();
    memo->Lines()->Add(u"um");
    memo->SetBounds(10, 10, 150, 80);
    memo->SetParent(Root.Get());
    int32_t changes = 0;
    memo->OnChange = [&](System::TObject*) { ++changes; };
    memo->SetFocus();
    Key(KeyEnd);
    ASSERT_EQ(changes, 0);
    memo->TextChanges = 0;

    ShellWindow->RouteCharInput(u'x');
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(Joined(*memo->Lines()), u"umx");
    EXPECT_EQ(memo->GetText(), u"umx");
    EXPECT_EQ(memo->TextChanges, 0);
    EXPECT_TRUE(memo->Drawn().Modified);  // a push back into the box would have cleared it

    // Enter stays in a memo that wants it.
    Key(KeyReturn);
    ShellWindow->RouteCharInput(u'y');
    EXPECT_EQ(changes, 3);
    EXPECT_EQ(Joined(*memo->Lines()), u"umx|y");
    EXPECT_EQ(std::count(Root->DialogKeys.begin(), Root->DialogKeys.end(), 13u), 0);
}

// What the boxes pass up to the top of the tree; that a real form's default
// button then takes it is Zyl.Controls.Standard.Forms.test.cpp's case.
TEST_F(StandardHarness, EnterIsOfferedAsADialogKeyFromAnEditButNotFromAMemoThatWantsReturns) {
    struct TCase {
        const char* Name;
        TRef<TCustomEdit> Box;
        bool ReachesForm;
    };
    auto refusing = MakeBox<TMemo>();
    refusing->WantReturns = false;
    for (const TCase& c : {TCase{"edit", MakeBox<TEdit>(), true}, TCase{"memo", MakeBox<TMemo>(), false},
                           TCase{"memo without returns", refusing, true}}) {
        SCOPED_TRACE(c.Name);
        Root->DialogKeys.clear();
        c.Box->SetBounds(10, 100, 120, 40);
        c.Box->SetParent(Root.Get());
        c.Box->SetFocus();
        Key(KeyReturn);
        EXPECT_EQ(Root->DialogKeys, c.ReachesForm ? std::vector<uint32_t>{13} : std::vector<uint32_t>{});
        c.Box->SetParent(nullptr);
    }
}
