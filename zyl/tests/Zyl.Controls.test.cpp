// The control tree on the offscreen backend with the soft canvas: input goes
// through the window's routing in window coordinates, pixels come from the
// window's rendered surface.
#include "Zyl.Controls.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.CanvasBackend.Reset.h"
#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Test.Debug.h"
#include "Zyl.Test.Env.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

using namespace Zyl;
using System::MakeRef;
using System::TRef;
using Log = std::vector<std::string>;

namespace {

constexpr TColor kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kGrey = 0x808080;

class TCountingApp : public TOffscreenApp {
public:
    int32_t Created = 0;
    TRef<TPlatformControl> CreateCustomControl() override {
        ++Created;
        return TOffscreenApp::CreateCustomControl();
    }
};

std::string Xy(int32_t x, int32_t y) { return "(" + std::to_string(x) + "," + std::to_string(y) + ")"; }

// Logs its events and clicks into a shared log; paints itself in Color.
class ProbeGraphic : public TGraphicControl {
public:
    ProbeGraphic(std::string name, Log& log) : TGraphicControl(nullptr), Name(std::move(name)), log_(log) {
        OnMouseDown = [this](System::TObject*, int32_t b, TShiftState s, int32_t x, int32_t y) {
            Add("down" + std::to_string(b) + "/" + std::to_string(s) + Xy(x, y));
        };
        OnMouseUp = [this](System::TObject*, int32_t b, TShiftState s, int32_t x, int32_t y) {
            Add("up" + std::to_string(b) + "/" + std::to_string(s) + Xy(x, y));
        };
        OnClick = [this](System::TObject*) { Add("click"); };
        OnDblClick = [this](System::TObject*) { Add("dblclick"); };
        OnMouseEnter = [this](System::TObject*) { Add("enter"); };
        OnMouseLeave = [this](System::TObject*) { Add("leave"); };
    }
    void Add(const std::string& line) { log_.push_back(Name + ":" + line); }
    std::string Name;
    bool Throw = false;
    int Paints = 0;

protected:
    void Paint() override {
        ++Paints;
        Canvas()->Brush()->SetColor(Color());
        Canvas()->FillRect(GetClientRect());
        if (Throw) throw System::Exception(u"falha ao pintar");
    }

private:
    Log& log_;
};

// Logs the messages of its own table; answers ZM_DIALOGCHAR with Answer.
class ProbeWin : public TCustomControl {
public:
    ProbeWin(std::string name, Log& log) : TCustomControl(nullptr), Name(std::move(name)), log_(log) {}
    std::string Name;
    int64_t Answer = 0;
    bool TopLevel = false;
    bool IsTopLevel() const override { return TopLevel; }

protected:
    bool Dispatch(TZylMessage& m) override {
        return RunMessageTable(this, Table, m) || TCustomControl::Dispatch(m);
    }

private:
    void Wheel(TZylMessage& m) { log_.push_back(Name + ":wheel" + Xy(m.X, m.Y)); }
    void DialogChar(TZylMessage& m) {
        log_.push_back(Name + ":dialogchar");
        m.Result = Answer;
    }
    void Press(TZylMessage& m) {
        log_.push_back(Name + ":press" + Xy(m.X, m.Y));
        WMLButtonDownWin(m);
    }
    static const TMessageEntry<ProbeWin> Table[3];
    Log& log_;
};

const TMessageEntry<ProbeWin> ProbeWin::Table[3] = {
    {WM_MOUSEWHEEL, &ProbeWin::Wheel},
    {ZM_DIALOGCHAR, &ProbeWin::DialogChar},
    {WM_LBUTTONDOWN, &ProbeWin::Press},
};

class ControlsHarness : public ::testing::Test {
public:
    ControlsHarness() {
        ResetCanvasBackendState();
        RegisterSoftCanvasBackend();
        ActivateCanvasBackend();
        SetPlatformAppInstance(App.Get());
        Window = static_cast<TOffscreenWindow*>(App->CreateWindow().Get());
        Window->SetSize(200, 150);
        Root = MakeRef<ProbeWin>("root", Lines);
        Root->SetColor(kGrey);
        Root->SetBounds(0, 0, 200, 150);
        Root->HandleNeeded();
        Window->AddChild(Root->GetPlatformControl(), 0, 0);
    }
    ~ControlsHarness() override {
        Root = nullptr;
        Window->Dispose();
        Window = nullptr;
        SetPlatformAppInstance(nullptr);
        ResetCanvasBackendState();
    }

    // A probe at (l, t, w, h) in parent, or in the root.
    template <class Probe>
    TRef<Probe> Place(const std::string& name, int32_t l, int32_t t, int32_t w, int32_t h, TWinControl* parent) {
        auto c = MakeRef<Probe>(name, Lines);
        c->SetBounds(l, t, w, h);
        c->SetParent(parent ? parent : Root.Get());
        return c;
    }
    TRef<ProbeGraphic> Graphic(const std::string& name, int32_t l, int32_t t, int32_t w, int32_t h,
                               TWinControl* parent = nullptr) {
        return Place<ProbeGraphic>(name, l, t, w, h, parent);
    }
    TRef<ProbeWin> Win(const std::string& name, int32_t l, int32_t t, int32_t w, int32_t h,
                       TWinControl* parent = nullptr) {
        return Place<ProbeWin>(name, l, t, w, h, parent);
    }
    void Click(int32_t x, int32_t y) {
        Window->RouteMouseDown(x, y, 1, 0);
        Window->RouteMouseUp(x, y, 1, 0);
    }
    int32_t PixelAt(int32_t x, int32_t y) {
        Window->RequestFullRepaint();
        Window->RenderWindowSurface();
        return Window->GetSurface()->PixelAt(x, y);
    }

    Testing::TScopedEnvVar Canvas{u"ZYL_CANVAS", u"soft"};
    TRef<TCountingApp> App = MakeRef<TCountingApp>();
    TRef<TOffscreenWindow> Window;
    Log Lines;
    TRef<ProbeWin> Root;
};

} // namespace

// ---- Dispatch and routing ----------------------------------------------------------

TEST_F(ControlsHarness, APressOnADisabledGraphicChildGoesToTheParent) {
    auto g = Graphic("g", 10, 10, 20, 20);
    g->SetEnabled(false);
    Click(15, 15);
    EXPECT_EQ(Lines, Log({"root:press(15,15)"}));
    EXPECT_EQ(Root->CaptureChild(), nullptr);
}

TEST_F(ControlsHarness, CaptureKeepsTheChildOutsideItAndTheReleaseEndsIt) {
    auto g = Graphic("g", 10, 10, 20, 20);
    Window->RouteMouseDown(15, 15, 1, 0);
    EXPECT_EQ(Root->CaptureChild(), g.Get());
    Window->RouteMouseUp(2, 3, 1, 0);
    EXPECT_EQ(Lines, Log({"g:down0/8(5,5)", "g:up0/8(-8,-7)"}));
    EXPECT_EQ(Root->CaptureChild(), nullptr);
}

TEST_F(ControlsHarness, LeaveComesBeforeEnterAndTheBareAreaGivesOnlyTheLeave) {
    auto a = Graphic("a", 10, 10, 20, 20);
    auto b = Graphic("b", 40, 10, 20, 20);
    Window->RouteMouseMove(15, 15, 0);
    Window->RouteMouseMove(45, 15, 0);
    Window->RouteMouseMove(100, 100, 0);
    EXPECT_EQ(Lines, Log({"a:enter", "a:leave", "b:enter", "b:leave"}));
}

TEST_F(ControlsHarness, AnUnhandledWheelClimbsToTheRootInItsCoordinatesWithResultZero) {
    auto panel = MakeRef<TWinControl>(nullptr);
    panel->SetBounds(20, 30, 100, 100);
    panel->SetParent(Root.Get());
    auto g = Graphic("g", 5, 6, 20, 20, panel.Get());
    TZylMessage m;
    m.Msg = WM_MOUSEWHEEL, m.Shift = 120, m.X = 7, m.Y = 8;
    panel->DeliverMessage(m);
    EXPECT_EQ(Lines, Log({"root:wheel(27,38)"}));
    EXPECT_EQ(m.Result, 0);
}

TEST_F(ControlsHarness, DialogCharSkipsHiddenAndDisabledChildrenAndStopsAtTheFirstAnswer) {
    auto hidden = Win("hidden", 0, 0, 10, 10);
    auto disabled = Win("disabled", 0, 0, 10, 10);
    auto quiet = Win("quiet", 0, 0, 10, 10);
    auto answers = Win("answers", 0, 0, 10, 10);
    auto late = Win("late", 0, 0, 10, 10);
    hidden->SetVisible(false), hidden->Answer = 5;
    disabled->SetEnabled(false), disabled->Answer = 5;
    answers->Answer = 7;
    auto panel = MakeRef<TWinControl>(nullptr);
    for (auto* c : {hidden.Get(), disabled.Get(), quiet.Get(), answers.Get(), late.Get()}) c->SetParent(panel.Get());
    TZylMessage m;
    m.Msg = ZM_DIALOGCHAR, m.Result = 99;
    panel->DeliverMessage(m);
    EXPECT_EQ(Lines, Log({"quiet:dialogchar", "answers:dialogchar"}));
    EXPECT_EQ(m.Result, 7);
}

TEST_F(ControlsHarness, AHandlersExceptionReachesTheSender) {
    auto g = Graphic("g", 10, 10, 20, 20);
    g->OnClick = [](System::TObject*) { throw EZylError(u"no clique"); };
    Window->RouteMouseDown(15, 15, 1, 0);
    EXPECT_THROW(Window->RouteMouseUp(15, 15, 1, 0), EZylError);
}

// The list's own error, which the loop's handlers take as any Exception.
TEST_F(ControlsHarness, GetControlOutsideTheListRaisesTheListError) {
    auto g = Graphic("g", 10, 10, 20, 20);
    EXPECT_EQ(Root->GetControl(0), g.Get());
    for (size_t index : {size_t(1), size_t(-1)}) {
        try {
            Root->GetControl(index);
            ADD_FAILURE() << index << " answered";
        } catch (const System::EListError& e) {
            EXPECT_EQ(e.Message, u"índice fora da lista");
        }
    }
}

// ---- Control base ------------------------------------------------------------------

TEST_F(ControlsHarness, ANewControlHasItsDefaults) {
    auto c = MakeRef<TControl>(nullptr);
    EXPECT_EQ(std::vector<int32_t>({c->Left(), c->Top(), c->Width(), c->Height()}),
              std::vector<int32_t>({0, 0, 75, 25}));
    EXPECT_TRUE(c->Visible() && c->Enabled() && c->ParentFont() && c->ParentColor());
    EXPECT_EQ(c->Color(), TColor(0xFF00000F));
    EXPECT_EQ(c->Anchors, 3);
    EXPECT_EQ(c->DragCursor, -12);
    EXPECT_EQ(c->Margins->Left + c->Margins->Top + c->Margins->Right + c->Margins->Bottom, 12);
    EXPECT_EQ(c->Font()->Height(), -((9 * 96 + 36) / 72));
}

TEST_F(ControlsHarness, AWindowedControlMaySizeItselfInItsConstructor) {
    struct Sized : TCustomControl {
        Sized() : TCustomControl(nullptr) { SetBounds(1, 2, 110, 34); }
    };
    auto c = MakeRef<Sized>();
    EXPECT_EQ(c->RefCount(), 1);
    EXPECT_EQ(std::vector<int32_t>({c->Left(), c->Top(), c->Width(), c->Height()}),
              std::vector<int32_t>({1, 2, 110, 34}));
}

TEST_F(ControlsHarness, TheClickRuleExcludesTheRightAndBottomEdges) {
    struct Case {
        int32_t X, Y;
        bool Clicks;
    };
    for (const Case& c : {Case{19, 19, true}, Case{0, 0, true}, Case{20, 5, false}, Case{5, 20, false},
                          Case{-1, 5, false}}) {
        Lines.clear();
        auto g = Graphic("g", 10, 10, 20, 20);
        Window->RouteMouseDown(15, 15, 1, 0);
        Window->RouteMouseUp(10 + c.X, 10 + c.Y, 1, 0);
        EXPECT_EQ(Lines.back() == "g:click", c.Clicks) << c.X << "," << c.Y;
        g->SetParent(nullptr);
    }
}

TEST_F(ControlsHarness, ADoubleClickGivesDownThenDblClickThenTheReleaseClick) {
    auto g = Graphic("g", 10, 10, 20, 20);
    Window->RouteMouseDown(15, 15, 1, 0);
    Window->RouteMouseUp(15, 15, 1, 0);
    Lines.clear();
    Root->Events()->DoubleClick();
    Window->RouteMouseUp(15, 15, 1, 0);
    EXPECT_EQ(Lines, Log({"g:down0/72(5,5)", "g:dblclick", "g:up0/8(5,5)", "g:click"}));
}

TEST_F(ControlsHarness, TheMiddleButtonCarriesItsFlagAndNoKeyboardFlags) {
    auto g = Graphic("g", 10, 10, 20, 20);
    Window->RouteMouseDown(15, 15, 2, 1 | 4);
    Window->RouteMouseUp(15, 15, 2, 1 | 4);
    Window->RouteMouseDown(15, 15, 3, 8);
    EXPECT_EQ(Lines, Log({"g:down2/32(5,5)", "g:up2/32(5,5)", "g:down1/18(5,5)"}));
}

TEST_F(ControlsHarness, SetBoundsResizesOnlyWhenTheSizeChanges) {
    auto g = Graphic("g", 10, 10, 20, 20);
    int resizes = 0;
    g->OnResize = [&](System::TObject*) { ++resizes; };
    g->SetBounds(10, 10, 20, 20);
    g->SetBounds(11, 12, 20, 20);
    EXPECT_EQ(resizes, 0);
    g->SetBounds(11, 12, -5, 20);
    EXPECT_EQ(resizes, 1);
    EXPECT_EQ(g->Width(), 0);
}

TEST_F(ControlsHarness, TheMinimumWinsOverTheMaximum) {
    auto g = Graphic("g", 10, 10, 20, 20);
    TSizeConstraints limits;
    limits.MinWidth = 100, limits.MaxWidth = 50;
    g->Constraints = &limits;
    for (int32_t w : {0, 75, 300}) {
        g->SetBounds(0, 0, w, 10);
        EXPECT_EQ(g->Width(), 100);
    }
    g->Constraints = nullptr;
}

TEST_F(ControlsHarness, AFontChangeFlowsDownTheParentFontChainAndStopsAtAnOwnFont) {
    auto panel = Win("panel", 0, 0, 100, 100);
    auto inner = Graphic("inner", 0, 0, 10, 10, panel.Get());
    auto own = Win("own", 0, 0, 50, 50);
    auto below = Graphic("below", 0, 0, 10, 10, own.Get());
    own->Font()->SetName(u"Own");
    EXPECT_FALSE(own->ParentFont());
    Root->Font()->SetName(u"Changed");
    EXPECT_EQ(panel->Font()->Name(), u"Changed");
    EXPECT_EQ(inner->Font()->Name(), u"Changed");
    EXPECT_TRUE(inner->ParentFont());
    EXPECT_EQ(own->Font()->Name(), u"Own");
    EXPECT_EQ(below->Font()->Name(), u"Own");
}

class RecordingPopup : public TPopupMenu {
public:
    explicit RecordingPopup(Log& log) : log_(log) {}
    void Popup(TControl* control, int32_t x, int32_t y) override {
        log_.push_back(static_cast<ProbeGraphic*>(control)->Name + ":popup" + Xy(x, y));
    }

private:
    Log& log_;
};

TEST_F(ControlsHarness, TheRightReleaseShowsThePopupMenuOnlyWhenReallyEnabled) {
    auto panel = Win("panel", 0, 0, 100, 100);
    auto g = Graphic("g", 10, 10, 20, 20, panel.Get());
    g->PopupMenu = MakeRef<RecordingPopup>(Lines);
    TZylMessage m;
    m.Msg = WM_RBUTTONUP, m.X = 4, m.Y = 6;
    g->DeliverMessage(m);
    panel->SetEnabled(false);
    g->DeliverMessage(m);
    EXPECT_EQ(Lines, Log({"g:up1/16(4,6)", "g:popup(4,6)", "g:up1/16(4,6)"}));
}

TEST_F(ControlsHarness, SettingTheInheritedColourClearsParentColor) {
    auto g = Graphic("g", 0, 0, 10, 10);
    EXPECT_EQ(g->Color(), kGrey);
    EXPECT_TRUE(g->ParentColor());
    g->SetColor(kGrey);
    EXPECT_FALSE(g->ParentColor());
}

// ---- Event sink --------------------------------------------------------------------

TEST(ControlsKeys, EveryKeySymbolOfTheTableAndNothingElse) {
    struct Case {
        uint32_t Sym, Key;
    };
    const Case table[] = {
        {'a', 0x41}, {'z', 0x5A}, {'0', '0'}, {'9', '9'}, {'A', 'A'}, {'Z', 'Z'}, {0x20, 0x20}, {0x27, 222},
        {0x2C, 188}, {0x2D, 189}, {0x2E, 190}, {0x2F, 191}, {0x3B, 186}, {0x3D, 187}, {0x5B, 219}, {0x5C, 220},
        {0x5D, 221}, {0x60, 192}, {0xFF08, 8}, {0xFF09, 9}, {0xFE20, 9}, {0xFF0D, 13}, {0xFF8D, 13},
        {0xFF1B, 27}, {0xFF50, 36}, {0xFF51, 37}, {0xFF52, 38}, {0xFF53, 39}, {0xFF54, 40}, {0xFF55, 33},
        {0xFF56, 34}, {0xFF57, 35}, {0xFF63, 45}, {0xFFAA, 106}, {0xFFAB, 107}, {0xFFAD, 109}, {0xFFAE, 110},
        {0xFFAF, 111}, {0xFFB0, 96}, {0xFFB9, 105}, {0xFFBE, 112}, {0xFFC9, 123}, {0xFFE1, 16}, {0xFFE2, 16},
        {0xFFE3, 17}, {0xFFE4, 17}, {0xFFE9, 18}, {0xFFEA, 18}, {0xFFFF, 46},
        // Outside the table.
        {0x21, 0}, {0x7B, 0}, {0xFFAC, 0}, {0xFFCA, 0}, {0xFFE5, 0}, {0, 0}, {0xFFFFFFFF, 0},
    };
    for (const Case& c : table) EXPECT_EQ(KeySymToVirtualKey(c.Sym), c.Key) << std::hex << c.Sym;
}

TEST_F(ControlsHarness, TakeKeyHandledAnswersTrueOnceAfterAConsumedKey) {
    Root->OnKeyDown = [](System::TObject*, uint16_t& key, TShiftState) { key = 0; };
    TZylEvents& sink = *Root->Events();
    sink.KeyDown(0x61, 0);
    EXPECT_TRUE(sink.TakeKeyHandled());
    EXPECT_FALSE(sink.TakeKeyHandled());
    sink.KeyDown(0x21, 0);  // maps to nothing
    EXPECT_FALSE(sink.TakeKeyHandled());
}

class ChangeCounter : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    int Changes = 0;
    void NativeChanged() override { ++Changes; }

protected:
    void InitPlatformControl() override {
        TCustomControl::InitPlatformControl();
        Events()->Changed();
    }
};

TEST_F(ControlsHarness, ChangedWhileCreatingIsDropped) {
    auto c = MakeRef<ChangeCounter>(nullptr);
    c->SetParent(Root.Get());
    EXPECT_EQ(c->Changes, 0);
    EXPECT_FALSE(c->Creating());
    c->Events()->Changed();
    EXPECT_EQ(c->Changes, 1);
}

// ---- Windowed controls -------------------------------------------------------------

TEST_F(ControlsHarness, CreationIsTopDownAndReparentingReusesThePlatformControl) {
    auto outer = MakeRef<TWinControl>(nullptr);
    outer->SetBounds(10, 20, 100, 100);
    auto inner = MakeRef<TWinControl>(nullptr);
    inner->SetBounds(5, 6, 30, 30);
    inner->SetParent(outer.Get());
    EXPECT_FALSE(inner->HandleAllocated());
    const int32_t before = App->Created;
    outer->SetParent(Root.Get());
    EXPECT_EQ(App->Created, before + 2);
    auto* pc = static_cast<TOffscreenControl*>(inner->GetPlatformControl());
    EXPECT_EQ(pc->Parent.Get(), outer->GetPlatformControl());
    EXPECT_EQ(std::vector<int32_t>({pc->Left, pc->Top}), std::vector<int32_t>({5, 6}));
    inner->SetParent(nullptr);
    EXPECT_TRUE(inner->Detached());
    inner->SetParent(Root.Get());
    EXPECT_FALSE(inner->Detached());
    EXPECT_EQ(inner->GetPlatformControl(), pc);
    EXPECT_EQ(pc->Parent.Get(), Root->GetPlatformControl());
    EXPECT_EQ(App->Created, before + 2);
}

TEST_F(ControlsHarness, WithoutThePlatformAppCreationRaises) {
    SetPlatformAppInstance(nullptr);
    auto c = MakeRef<TWinControl>(nullptr);
    try {
        c->HandleNeeded();
        FAIL();
    } catch (const EZylError& e) {
        EXPECT_EQ(e.Message, u"Plataforma da ZYL nao inicializada (use Application.Initialize)");
    }
}

TEST_F(ControlsHarness, TabOrderSkipsHiddenPanelsEntersNonTabStopOnesAndWraps) {
    auto first = Win("first", 0, 0, 10, 10);
    auto plain = Win("plain", 0, 0, 50, 50);
    auto insidePlain = Win("insidePlain", 0, 0, 10, 10, plain.Get());
    auto hidden = Win("hidden", 0, 0, 50, 50);
    auto insideHidden = Win("insideHidden", 0, 0, 10, 10, hidden.Get());
    auto last = Win("last", 0, 0, 10, 10);
    for (auto* c : {first.Get(), insidePlain.Get(), hidden.Get(), insideHidden.Get(), last.Get()}) c->TabStop = true;
    hidden->SetVisible(false);
    EXPECT_EQ(CollectTabOrder(*Root), std::vector<TWinControl*>({first.Get(), insidePlain.Get(), last.Get()}));
    struct Case {
        TWinControl* From;
        bool Forward;
        TWinControl* To;
    };
    for (const Case& c : {Case{first.Get(), true, insidePlain.Get()}, Case{last.Get(), true, first.Get()},
                          Case{first.Get(), false, last.Get()}, Case{nullptr, false, last.Get()},
                          Case{nullptr, true, first.Get()}, Case{insidePlain.Get(), false, first.Get()}})
        EXPECT_EQ(FindNextControl(*Root, c.From, c.Forward), c.To);
}

TEST_F(ControlsHarness, HoveringAGraphicChildShowsItsCursorAndLeavingRestoresTheParents) {
    auto g = Graphic("g", 10, 10, 20, 20);
    g->Cursor = -21;
    Window->RouteMouseMove(15, 15, 0);
    EXPECT_EQ(Window->CurrentCursor, 2);
    Window->RouteMouseMove(100, 100, 0);
    EXPECT_EQ(Window->CurrentCursor, Root->GetPlatformControl()->DefaultCursor());
    EXPECT_EQ(CursorKindOf(-18), 0);
    EXPECT_EQ(CursorKindOf(-1), 9);
    EXPECT_EQ(CursorKindOf(-23), 0);
}

TEST_F(ControlsHarness, WhereControlsOverlapTheWindowedOneWinsTheHit) {
    auto g = Graphic("g", 10, 10, 40, 40);
    auto w = Win("w", 20, 20, 40, 40);
    Window->RouteMouseDown(25, 25, 1, 0);
    EXPECT_EQ(Lines, Log({"w:press(5,5)"}));
    int32_t lx = 0, ly = 0;
    EXPECT_EQ(Root->ControlAtPos(25, 25, lx, ly), w.Get());
    EXPECT_EQ(Root->ControlAtPos(15, 15, lx, ly), g.Get());
    EXPECT_EQ(Xy(lx, ly), "(5,5)");
}

// ---- Alignment ---------------------------------------------------------------------

struct AlignChild {
    uint8_t Align;
    TRect Start;  // left, top, width, height
    TRect End;
    bool Margins = false;
};
struct AlignCase {
    const char* Name;
    int32_t Inner;
    std::vector<AlignChild> Children;
};

// Holds its layout until the whole case is set up, so that the run sees the
// starting bounds of every child at once.
class HeldBox : public TWinControl {
public:
    using TWinControl::TWinControl;
    bool Hold = true;
    void AlignControls() override {
        if (!Hold) TWinControl::AlignControls();
    }
};

class AlignmentLayouts : public ControlsHarness, public ::testing::WithParamInterface<AlignCase> {};

TEST_P(AlignmentLayouts, PlaceTheChildren) {
    const AlignCase& c = GetParam();
    auto box = MakeRef<HeldBox>(nullptr);
    box->SetBounds(0, 0, 300, 200);
    box->InnerMargins->Left = box->InnerMargins->Top = box->InnerMargins->Right = box->InnerMargins->Bottom =
        c.Inner;
    std::vector<TRef<TControl>> kids;
    for (const AlignChild& a : c.Children) {
        auto k = MakeRef<TControl>(nullptr);
        k->SetBounds(a.Start.Left, a.Start.Top, a.Start.Right, a.Start.Bottom);
        k->AlignUsesMargins = a.Margins;
        k->SetParent(box.Get());
        kids.push_back(k);
    }
    for (size_t i = 0; i < kids.size(); ++i) kids[i]->SetAlign(c.Children[i].Align);
    box->Hold = false;
    box->AlignControls();
    for (size_t i = 0; i < kids.size(); ++i)
        EXPECT_EQ((TRect{kids[i]->Left(), kids[i]->Top(), kids[i]->Width(), kids[i]->Height()}), c.Children[i].End)
            << c.Name << " child " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Controls, AlignmentLayouts,
    ::testing::Values(
        AlignCase{"TwoTops", 0, {{1, {0, 0, 10, 30}, {0, 0, 300, 30}}, {1, {0, 5, 10, 40}, {0, 30, 300, 40}}}},
        AlignCase{"SwappedTops", 0, {{1, {0, 9, 10, 30}, {0, 40, 300, 30}}, {1, {0, 5, 10, 40}, {0, 0, 300, 40}}}},
        AlignCase{"EqualTops", 0, {{1, {0, 5, 10, 30}, {0, 0, 300, 30}}, {1, {0, 5, 10, 40}, {0, 30, 300, 40}}}},
        AlignCase{"BottomAndClient", 0,
                  {{2, {0, 0, 10, 40}, {0, 160, 300, 40}}, {5, {0, 0, 10, 10}, {0, 0, 300, 160}}}},
        AlignCase{"InnerMargins", 10, {{5, {0, 0, 10, 10}, {10, 10, 280, 180}}}},
        AlignCase{"Margins", 0,
                  {{1, {0, 0, 10, 30}, {3, 3, 294, 30}, true}, {1, {0, 50, 10, 30}, {0, 36, 300, 30}}}},
        AlignCase{"LeftRightBetweenTopAndBottom", 0,
                  {{1, {0, 0, 10, 20}, {0, 0, 300, 20}}, {2, {0, 0, 10, 30}, {0, 170, 300, 30}},
                   {3, {0, 0, 40, 10}, {0, 20, 40, 150}}, {4, {0, 0, 50, 10}, {250, 20, 50, 150}},
                   {5, {0, 0, 1, 1}, {40, 20, 210, 150}}}},
        AlignCase{"NegativeAreaGivesZero", 0,
                  {{3, {0, 0, 250, 10}, {0, 0, 250, 200}}, {4, {0, 0, 100, 10}, {200, 0, 100, 200}},
                   {5, {0, 0, 1, 1}, {250, 0, 0, 200}}}}),
    [](const ::testing::TestParamInfo<AlignCase>& info) { return std::string(info.param.Name); });

TEST_F(ControlsHarness, AnchorsMoveAndStretchOnlyOnASizeChange) {
    auto box = MakeRef<TWinControl>(nullptr);
    box->SetBounds(0, 0, 300, 200);
    box->AlignControls();
    auto mover = MakeRef<TControl>(nullptr);
    mover->SetBounds(200, 150, 80, 30);
    mover->Anchors = 4 | 8;
    mover->SetParent(box.Get());
    auto stretcher = MakeRef<TControl>(nullptr);
    stretcher->SetBounds(10, 10, 100, 20);
    stretcher->Anchors = 1 | 2 | 4;
    stretcher->SetParent(box.Get());
    box->SetBounds(0, 0, 330, 240);
    EXPECT_EQ((TRect{mover->Left(), mover->Top(), mover->Width(), mover->Height()}), (TRect{230, 190, 80, 30}));
    EXPECT_EQ(stretcher->Width(), 130);
    mover->SetBounds(0, 0, 80, 30);
    box->AlignControls();  // same size: no anchor pass
    EXPECT_EQ(mover->Left(), 0);
}

// ---- Painting ----------------------------------------------------------------------

TEST_F(ControlsHarness, ChildrenStackGraphicInOrderThenWindowed) {
    auto red = Graphic("red", 10, 10, 40, 40);
    auto green = Graphic("green", 30, 30, 40, 40);
    auto blue = Win("blue", 50, 50, 40, 40);
    auto hidden = Graphic("hidden", 0, 0, 8, 8);
    red->SetColor(kRed), green->SetColor(kGreen), blue->SetColor(kBlue), hidden->SetColor(kRed);
    hidden->SetVisible(false);
    EXPECT_EQ(PixelAt(5, 5), kGrey);
    EXPECT_EQ(PixelAt(15, 15), kRed);
    EXPECT_EQ(PixelAt(35, 35), kGreen);
    EXPECT_EQ(PixelAt(55, 55), kBlue);
    EXPECT_EQ(PixelAt(89, 89), kBlue);
    EXPECT_EQ(PixelAt(90, 90), kGrey);
    EXPECT_EQ(hidden->Paints, 0);
}

TEST_F(ControlsHarness, ParentBackgroundShowsThePanelAndLowerSiblingsOnly) {
    auto panel = Win("panel", 0, 0, 100, 100);
    panel->SetColor(kBlue);
    auto lower = Graphic("lower", 10, 10, 20, 20, panel.Get());
    lower->SetColor(kRed);
    auto see = MakeRef<TGraphicControl>(nullptr);
    see->SetBounds(0, 0, 60, 60);
    see->NoBackground = false;
    see->SetShowParentBackground(true);
    see->SetParent(panel.Get());
    auto later = Graphic("later", 40, 40, 10, 10, panel.Get());
    later->SetColor(kGreen);
    EXPECT_EQ(PixelAt(5, 5), kBlue);
    EXPECT_EQ(PixelAt(15, 15), kRed);
    EXPECT_EQ(PixelAt(45, 45), kGreen);
    lower->Paints = later->Paints = 0;
    PixelAt(0, 0);
    EXPECT_EQ(lower->Paints, 2);  // by the panel and under the see-through control
    EXPECT_EQ(later->Paints, 1);  // by the panel only
}

TEST_F(ControlsHarness, ANoBackgroundContainerPaintsNoBackground) {
    auto panel = Win("panel", 0, 0, 50, 50);
    panel->SetColor(kBlue);
    panel->NoBackground = true;
    EXPECT_EQ(PixelAt(5, 5), kGrey);
    TZylMessage m;
    m.Msg = WM_ERASEBKGND;
    panel->DeliverMessage(m);
    EXPECT_EQ(m.Result, 1);
}

TEST_F(ControlsHarness, AnExceptionInPaintLeavesCanvasNilAndTheNextRenderIsRight) {
    auto g = Graphic("g", 10, 10, 20, 20);
    g->SetColor(kRed);
    g->Throw = true;
    try {
        PixelAt(0, 0);
    } catch (const System::Exception&) {
    }
    EXPECT_EQ(g->Canvas(), nullptr);
    g->Throw = false;
    EXPECT_EQ(PixelAt(15, 15), kRed);
    EXPECT_EQ(PixelAt(5, 5), kGrey);
    EXPECT_EQ(PixelAt(35, 35), kGrey);
}

// ---- Drag and drop -------------------------------------------------------------------

std::string NameOf(System::TObject* object);

// Logs its drag events, its clicks and its end; takes a drop while Accepts.
class DragProbe : public TGraphicControl {
public:
    DragProbe(std::string name, Log& log) : TGraphicControl(nullptr), Name(std::move(name)), log_(log) {
        OnStartDrag = [this](System::TObject*, TRef<TDragObject>& object) {
            Add("start");
            object = StartObject;
        };
        OnDragOver = [this](System::TObject*, System::TObject* source, int32_t x, int32_t y, int32_t state,
                            bool& accept) {
            Add("over" + std::to_string(state) + " " + NameOf(source) + Xy(x, y));
            accept = Accepts;
        };
        OnDragDrop = [this](System::TObject*, System::TObject* source, int32_t x, int32_t y) {
            Add("drop " + NameOf(source) + Xy(x, y));
        };
        OnEndDrag = [this](System::TObject*, TControl* target, int32_t x, int32_t y) {
            Add("end " + NameOf(target) + Xy(x, y));
        };
        OnClick = [this](System::TObject*) { Add("click"); };
    }
    ~DragProbe() override { Add("destroyed"); }
    void Add(const std::string& line) { log_.push_back(Name + ":" + line); }
    std::string Name;
    bool Accepts = false;
    TRef<TDragObject> StartObject;

private:
    Log& log_;
};

std::string NameOf(System::TObject* object) {
    if (!object) return "nil";
    if (auto* p = dynamic_cast<DragProbe*>(object)) return p->Name;
    if (auto* p = dynamic_cast<ProbeWin*>(object)) return p->Name;
    return "?";
}

// The source S and two targets A and B side by side in the root; the screen
// point search is the root's hit test (the root is not a form, so screen
// and root coordinates agree).
class DragHarness : public ControlsHarness {
public:
    DragHarness() {
        ControlAtScreenPointHook = [this](int32_t sx, int32_t sy, int32_t& lx, int32_t& ly) {
            return Root->ControlAtPos(sx, sy, lx, ly);
        };
        S = Place<DragProbe>("s", 10, 10, 20, 20, nullptr);
        A = Place<DragProbe>("a", 60, 10, 30, 30, nullptr);
        B = Place<DragProbe>("b", 100, 10, 30, 30, nullptr);
        S->DragMode = 1;
    }
    ~DragHarness() override {
        if (TDragSession* drag = ActiveDrag()) drag->Finish(false);
        ControlAtScreenPointHook = nullptr;
    }
    // Presses on S and moves past the threshold onto A at (10, 10).
    void DragOntoA() {
        Window->RouteMouseDown(15, 15, 1, 0);
        Window->RouteMouseMove(70, 20, 0);
    }
    int32_t CursorOf(TWinControl& c) { return static_cast<TOffscreenControl*>(c.GetPlatformControl())->Cursor; }
    bool TimerRuns() {
        return std::any_of(App->Timers.begin(), App->Timers.end(), [](const TOffscreenTimer& t) { return t.Active; });
    }

    TRef<DragProbe> S, A, B;
};

TEST_F(DragHarness, FourPixelsKeepAPressAndFiveStartTheDrag) {
    struct Case {
        int32_t Dx, Dy;
        bool Starts;
    };
    for (const Case& c : {Case{0, 0, false}, Case{4, 0, false}, Case{0, -4, false}, Case{-4, 4, false},
                          Case{5, 0, true}, Case{0, 5, true}, Case{-5, 0, true}, Case{3, -5, true}}) {
        Lines.clear();
        Window->RouteMouseDown(15, 15, 1, 0);
        Window->RouteMouseMove(15 + c.Dx, 15 + c.Dy, 0);
        Window->RouteMouseMove(15 + c.Dx, 15 + c.Dy, 0);
        Window->RouteMouseUp(15 + c.Dx, 15 + c.Dy, 1, 0);
        const auto count = [&](const std::string& line) { return std::count(Lines.begin(), Lines.end(), line); };
        EXPECT_EQ(count("s:start"), c.Starts ? 1 : 0) << c.Dx << "," << c.Dy;
        // A press that stays a press still clicks.
        EXPECT_EQ(count("s:click"), c.Starts ? 0 : 1) << c.Dx << "," << c.Dy;
        EXPECT_EQ(ActiveDrag(), nullptr);
        EXPECT_EQ(Window->CapturedControl, nullptr);
    }
}

TEST_F(DragHarness, AnAcceptedDropReachesTheTargetThenTheSourceWithTheSameCoordinates) {
    A->Accepts = true;
    DragOntoA();
    Window->RouteMouseMove(72, 22, 0);
    Window->RouteMouseUp(73, 24, 1, 0);
    EXPECT_EQ(Lines, Log({"s:start", "a:over0 s(10,10)", "a:over2 s(12,12)", "a:over2 s(13,14)", "a:drop s(13,14)",
                          "s:end a(13,14)"}));
    EXPECT_EQ(ActiveDrag(), nullptr);
    EXPECT_FALSE(TimerRuns());
    EXPECT_EQ(Window->CapturedControl, nullptr);
}

TEST_F(DragHarness, ARefusedDropGivesALeaveAndAnEndWithoutTarget) {
    DragOntoA();
    Window->RouteMouseUp(70, 20, 1, 0);
    EXPECT_EQ(Lines, Log({"s:start", "a:over0 s(10,10)", "a:over1 s(10,10)", "s:end nil(0,0)"}));
    EXPECT_FALSE(S->MousePressed());
}

TEST_F(DragHarness, EscapeCancelsAndIsSwallowedOnlyOnceTheDragHasBegun) {
    Root->OnKeyDown = [this](System::TObject*, uint16_t& key, TShiftState) { Lines.push_back("key" + std::to_string(key)); };
    Root->SetFocus();
    struct Case {
        bool PastThreshold;
        Log Expected;
    };
    for (const Case& c : {Case{false, {"key27"}},
                          Case{true, {"s:start", "a:over0 s(10,10)", "a:over1 s(10,10)", "s:end nil(0,0)"}}}) {
        Lines.clear();
        Window->RouteMouseDown(15, 15, 1, 0);
        if (c.PastThreshold) Window->RouteMouseMove(70, 20, 0);
        Window->RouteKeyDown(0xFF1B, 0);
        EXPECT_EQ(Lines, c.Expected);
        EXPECT_EQ(Root->Events()->TakeKeyHandled(), c.PastThreshold);
        EXPECT_EQ(ActiveDrag(), nullptr);
        Window->RouteMouseUp(15, 15, 1, 0);
    }
}

TEST_F(DragHarness, MovingFromOneTargetToAnotherLeavesThenEntersThenMoves) {
    DragOntoA();
    Window->RouteMouseMove(110, 20, 0);
    Window->RouteMouseMove(112, 22, 0);
    EXPECT_EQ(Lines, Log({"s:start", "a:over0 s(10,10)", "a:over1 s(10,10)", "b:over0 s(10,10)", "b:over2 s(12,12)"}));
}

TEST_F(DragHarness, TheTimerFollowsALayoutChangeUnderAStillPointer) {
    DragOntoA();
    B->SetBounds(60, 10, 30, 30);  // later in Controls: above A
    App->WaitForEvents(50);
    EXPECT_EQ(Lines.size(), 2u);
    App->WaitForEvents(50);
    App->WaitForEvents(100);
    EXPECT_EQ(Lines, Log({"s:start", "a:over0 s(10,10)", "a:over1 s(10,10)", "b:over0 s(10,10)", "b:over2 s(10,10)"}));
}

TEST_F(DragHarness, TheCursorShowsRefuseAndAcceptAndComesBackAfterwards) {
    auto w = Win("w", 140, 10, 40, 40);
    bool accepts = false;
    w->OnDragOver = [&](System::TObject*, System::TObject*, int32_t, int32_t, int32_t, bool& accept) {
        accept = accepts;
    };
    const int32_t own = CursorOf(*w);
    DragOntoA();
    EXPECT_EQ(CursorOf(*Root), 8);  // over a graphic target the root shows it
    Window->RouteMouseMove(150, 20, 0);
    EXPECT_EQ(std::vector<int32_t>({CursorOf(*w), CursorOf(*Root)}), std::vector<int32_t>({8, 8}));
    accepts = true;
    Window->RouteMouseMove(151, 20, 0);
    EXPECT_EQ(std::vector<int32_t>({CursorOf(*w), CursorOf(*Root)}), std::vector<int32_t>({2, 2}));
    Window->RouteMouseUp(151, 20, 1, 0);
    EXPECT_EQ(std::vector<int32_t>({CursorOf(*w), CursorOf(*Root)}), std::vector<int32_t>({own, own}));
}

TEST_F(DragHarness, AStartObjectStandsForTheSourceAndChoosesTheCursor) {
    struct Case {
        bool WithObject;
        std::string Over;
        int32_t Cursor;
    };
    S->DragCursor = -14;  // size west-east
    A->Accepts = true;
    for (const Case& c : {Case{false, "a:over0 s(10,10)", 5}, Case{true, "a:over0 b(10,10)", 2}}) {
        Lines.clear();
        auto object = MakeRef<TDragControlObject>();
        object->Control = B.Get();
        S->StartObject = c.WithObject ? TRef<TDragObject>(object) : nullptr;
        DragOntoA();
        EXPECT_EQ(Lines.back(), c.Over);
        EXPECT_EQ(CursorOf(*Root), c.Cursor);
        Window->RouteMouseUp(70, 20, 1, 0);
    }
}

TEST_F(DragHarness, WithoutTheSearchHookTheFormUnderThePointAnswers) {
    ControlAtScreenPointHook = nullptr;
    Root->TopLevel = true;
    Window->SetPosition(300, 200);
    DragOntoA();
    Window->RouteMouseMove(250, 20, 0);  // beyond the form's width
    Window->RouteMouseUp(250, 20, 1, 0);
    EXPECT_EQ(Lines, Log({"s:start", "a:over0 s(10,10)", "a:over1 s(10,10)", "s:end nil(0,0)"}));
}

TEST_F(DragHarness, DestroyingTheSourceCancelsTheDrag) {
    DragOntoA();
    S->SetParent(nullptr);
    S = nullptr;
    EXPECT_EQ(Lines, Log({"s:start", "a:over0 s(10,10)", "s:destroyed", "a:over1 nil(10,10)"}));
    EXPECT_EQ(ActiveDrag(), nullptr);
    EXPECT_EQ(Window->CapturedControl, nullptr);
    EXPECT_FALSE(TimerRuns());
}

// Nothing leaves the going source's destructor: an Exception from the
// cancel goes to the application's handler; anything else, and whatever the
// handler raises, is dropped and written to the debug output.
TEST_F(DragHarness, WhatTheCancelOfAGoingSourceRaisesNeverLeavesItsDestructor) {
    struct TCase {
        const char* Name;
        std::function<void()> Leave, Handler;
        std::u16string Handled, Written;
    };
    const auto raise = [](auto thrown) { return [thrown] { throw thrown; }; };
    const TCase cases[] = {
        {"an Exception", raise(EZylError(u"na saida")), nullptr, u"na saida", u""},
        {"an Exception the handler raises again", raise(EZylError(u"na saida")),
         raise(EZylError(u"no tratador")), u"na saida",
         u"ZYL: exceção descartada num destrutor: no tratador|"},
        {"a standard exception", raise(std::runtime_error("fora da biblioteca")), nullptr, u"",
         u"ZYL: exceção descartada num destrutor: fora da biblioteca|"},
        {"any other object", raise(7), nullptr, u"",
         u"ZYL: exceção descartada num destrutor: objeto desconhecido|"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Testing::TCapturedDebugOutput debug;
        std::u16string handled;
        App->SetExceptionHandler([&](const System::Exception& e) {
            handled = e.Message;
            if (c.Handler) c.Handler();
            return 0;
        });
        A->OnDragOver = [&](System::TObject*, System::TObject*, int32_t, int32_t, int32_t state, bool&) {
            if (state == 1) c.Leave();
        };
        DragOntoA();
        S->SetParent(nullptr);
        S = nullptr;
        EXPECT_EQ(handled, c.Handled);
        EXPECT_EQ(debug.Written(), c.Written);
        EXPECT_EQ(ActiveDrag(), nullptr);
        S = Place<DragProbe>("s", 10, 10, 20, 20, nullptr);
        S->DragMode = 1;
    }
    App->SetExceptionHandler(nullptr);
}

// ---- Mends -------------------------------------------------------------------------

TEST_F(ControlsHarness, AClickWhereADestroyedWindowedChildWasReachesTheParent) {
    auto* child = new ProbeWin("child", Lines);
    child->AddRef();  // the explicit owner's hold
    child->SetBounds(20, 20, 40, 40);
    child->SetParent(Root.Get());
    ASSERT_TRUE(child->HandleAllocated());
    delete child;  // as its owner destroying its components would
    EXPECT_TRUE(Root->Controls().empty());
    Window->RouteMouseDown(25, 25, 1, 0);
    EXPECT_EQ(Lines, Log({"root:press(25,25)"}));
}

TEST_F(ControlsHarness, AfterTheReleaseOfADisabledPressedChildOthersGetInputAgain) {
    auto a = Graphic("a", 10, 10, 20, 20);
    auto b = Graphic("b", 50, 10, 20, 20);
    Window->RouteMouseDown(15, 15, 1, 0);
    a->SetEnabled(false);
    Window->RouteMouseUp(15, 15, 1, 0);
    EXPECT_EQ(Root->CaptureChild(), nullptr);
    Lines.clear();
    Click(55, 15);
    EXPECT_EQ(Lines, Log({"b:down0/8(5,5)", "b:up0/8(5,5)", "b:click"}));
}

TEST_F(ControlsHarness, TheRootMayDropItsLastReferenceInItsOwnClick) {
    bool clicked = false;
    Root->OnClick = [&](System::TObject*) {
        clicked = true;
        Root = nullptr;
    };
    Click(100, 100);
    EXPECT_TRUE(clicked);
    EXPECT_EQ(Root, nullptr);
    Click(100, 100);  // the widget left the window with its sink cleared
}

TEST_F(DragHarness, TheTargetAndSourceDroppedInTheDropLiveUntilTheEndEvent) {
    A->Accepts = true;
    A->OnDragDrop = [this](System::TObject*, System::TObject*, int32_t, int32_t) {
        A->Add("drop");
        A->SetParent(nullptr);
        S->SetParent(nullptr);
        A = nullptr;
        S = nullptr;
    };
    DragOntoA();
    Window->RouteMouseUp(70, 20, 1, 0);
    EXPECT_EQ(Lines, Log({"s:start", "a:over0 s(10,10)", "a:drop", "s:end a(10,10)", "a:destroyed", "s:destroyed"}));
}

TEST_F(ControlsHarness, ADescendantCannotBecomeTheParent) {
    auto panel = Win("panel", 0, 0, 100, 100);
    auto inner = Win("inner", 0, 0, 50, 50, panel.Get());
    auto deepest = Win("deepest", 0, 0, 20, 20, inner.Get());
    for (TWinControl* target : {panel.Get(), deepest.Get()}) {
        try {
            panel->SetParent(target);
            FAIL();
        } catch (const EZylError& e) {
            EXPECT_EQ(e.Message, u"Um controle nao pode ser pai de si mesmo");
        }
    }
    EXPECT_EQ(panel->Parent(), Root.Get());
    EXPECT_EQ(deepest->Parent(), inner.Get());
}
