// Label, panel, paint box and timer, and the edit boxes and memo, on the
// drawn application over an offscreen shell: controls sit in a root custom
// control that fills the drawn window, pixels come from the rendered
// surface, time from the shell's virtual clock.
#include "Zyl.Controls.h"
#include "Zyl.Platform.Drawn.Harness.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

constexpr TColor kWhite = 0xFFFFFF;
constexpr TColor kFrame = TColor(0xFF000006), kFace = TColor(0xFF00000F), kShadow = TColor(0xFF000010),
                 kGrayText = TColor(0xFF000011), kHighlight = TColor(0xFF000014);

class StandardHarness : public DrawnHarness {
public:
    StandardHarness() {
        SetPlatformAppInstance(App.Get());
        Root = MakeRef<TCustomControl>(nullptr);
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

    TRef<TCustomControl> Root;
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
