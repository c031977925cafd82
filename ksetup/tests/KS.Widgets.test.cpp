// The installer's widgets on the offscreen backend with the soft canvas:
// input goes through the window's routing, pixels come from its rendered
// surface, so each widget is seen as its window shows it.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <utility>
#include <vector>

#include "KS.Widgets.h"
#include "Zyl.Forms.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.CanvasBackend.Reset.h"
#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Test.Env.h"
#include "Zyl.Test.Recording.h"

using namespace KS;
using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

constexpr TColor kBarColor = 0x00FFFF;  // what the buttons stand on, unlike any of their own colours
constexpr int32_t kLeftButton = 1, kRightButton = 3;

std::string Hex(TColor c) {
    char text[16];
    snprintf(text, sizeof text, "%06X", unsigned(c));
    return text;
}

// Paints the finish page's badge as the wizard's logo box does.
class TLogoBox : public TCustomControl {
public:
    using TCustomControl::TCustomControl;
    bool Failed = false;

protected:
    void Paint() override { PaintLogo(*Canvas(), Width(), Height(), Failed); }
};

class Widgets : public ::testing::Test {
public:
    Widgets() {
        ResetCanvasBackendState();
        RegisterSoftCanvasBackend();
        ActivateCanvasBackend();
        SetPlatformAppInstance(App.Get());
        Window = static_cast<TOffscreenWindow*>(App->CreateWindow().Get());
        Window->SetSize(440, 400);
        Root = MakeRef<TCustomControl>(nullptr);
        Root->SetBounds(0, 0, 440, 400);
        Root->HandleNeeded();
        Window->AddChild(Root->GetPlatformControl(), 0, 0);
    }
    ~Widgets() override {
        Root = nullptr;
        Window->Dispose();
        Window = nullptr;
        SetPlatformAppInstance(nullptr);
        ResetCanvasBackendState();
    }

    template <class W>
    TRef<W> Place(int32_t l, int32_t t, int32_t w, int32_t h) {
        auto c = MakeRef<W>(nullptr);
        c->SetBounds(l, t, w, h);
        c->SetParent(Root.Get());
        return c;
    }
    TColor PixelAt(int32_t x, int32_t y) {
        Window->RequestFullRepaint();
        Window->RenderWindowSurface();
        return Window->GetSurface()->PixelAt(x, y);
    }

    Testing::TScopedEnvVar Canvas{u"ZYL_CANVAS", u"soft"};
    TRef<TOffscreenApp> App = MakeRef<TOffscreenApp>();
    TRef<TOffscreenWindow> Window;
    TRef<TCustomControl> Root;
};

// ---- Flat button -----------------------------------------------------------------

// A button of 110 x 34 at (20, 10): fill and border sampled on its left
// half, away from the caption and the rounded corners.
constexpr int32_t kBx = 20, kBy = 10;

struct TButtonLook {
    TColor Fill, Border;
};

class FlatButton : public Widgets {
public:
    TRef<TFlatButton> Button = Place<TFlatButton>(kBx, kBy, 110, 34);
    int Clicks = 0, ControlClicks = 0;
    FlatButton() {
        Button->BackColor = kBarColor;
        Button->SetCaption(u"OK");
        Button->OnButtonClick = [this](System::TObject* sender) {
            EXPECT_EQ(sender, Button.Get());
            ++Clicks;
        };
        Button->OnClick = [this](System::TObject*) { ++ControlClicks; };
    }
    TButtonLook Look() { return {PixelAt(kBx + 12, kBy + 17), PixelAt(kBx, kBy + 17)}; }
    void ExpectLook(TColor fill, TColor border, const std::string& what) {
        const TButtonLook look = Look();
        EXPECT_EQ(Hex(look.Fill), Hex(fill)) << what;
        EXPECT_EQ(Hex(look.Border), Hex(border)) << what;
        EXPECT_EQ(Hex(PixelAt(kBx, kBy)), Hex(kBarColor)) << what << ": corner";
    }
};

} // namespace

TEST_F(FlatButton, IsMadeAt110By34AndTakesNoFocus) {
    auto fresh = MakeRef<TFlatButton>(nullptr);
    EXPECT_EQ(fresh->Width(), 110);
    EXPECT_EQ(fresh->Height(), 34);
    EXPECT_FALSE(fresh->TabStop);
    EXPECT_EQ(fresh->Cursor, -21);
    EXPECT_EQ(fresh->BackColor, 0xFAF7F5);
}

TEST_F(FlatButton, EveryRowOfTheColourTable) {
    const struct {
        bool enabled, primary, pressed, hovered;
        TColor fill, border;
    } rows[] = {
        // Disabled wins over every other state.
        {false, true, true, true, 0xF1EEEB, 0xE3DEDA},
        {false, false, false, false, 0xF1EEEB, 0xE3DEDA},
        {true, true, true, true, 0xCC5F1A, 0xCC5F1A},
        {true, true, false, true, 0xF6823B, 0xF6823B},
        {true, true, false, false, 0xEB6F1F, 0xEB6F1F},
        {true, false, true, true, 0xEFE9E4, 0xEB6F1F},
        {true, false, true, false, 0xEFE9E4, 0xC9C1BA},
        {true, false, false, true, 0xF8F4F0, 0xEB6F1F},
        {true, false, false, false, 0xFFFFFF, 0xC9C1BA},
    };
    for (const auto& r : rows) {
        Button->SetEnabled(r.enabled);
        Button->Primary = r.primary, Button->Pressed = r.pressed, Button->Hovered = r.hovered;
        ExpectLook(r.fill, r.border,
                   "enabled " + std::to_string(r.enabled) + " primary " + std::to_string(r.primary) + " pressed " +
                       std::to_string(r.pressed) + " hovered " + std::to_string(r.hovered));
    }
}

TEST_F(FlatButton, HoverPressAndAReleaseInsideClickOnce) {
    Window->RouteMouseMove(kBx + 30, kBy + 17, 0);
    EXPECT_TRUE(Button->Hovered);
    ExpectLook(0xF8F4F0, 0xEB6F1F, "hovered");
    Window->RouteMouseDown(kBx + 30, kBy + 17, kLeftButton, 0);
    EXPECT_TRUE(Button->Pressed);
    ExpectLook(0xEFE9E4, 0xEB6F1F, "pressed");
    Window->RouteMouseUp(kBx + 30, kBy + 17, kLeftButton, 0);
    EXPECT_FALSE(Button->Pressed);
    EXPECT_EQ(Clicks, 1);
    EXPECT_EQ(ControlClicks, 1);
    Window->RouteMouseMove(300, 300, 0);
    EXPECT_FALSE(Button->Hovered);
    ExpectLook(0xFFFFFF, 0xC9C1BA, "left");
}

TEST_F(FlatButton, PressInsideReleaseOutsideGivesTheNormalLookAndNoClick) {
    Window->RouteMouseMove(kBx + 30, kBy + 17, 0);
    Window->RouteMouseDown(kBx + 30, kBy + 17, kLeftButton, 0);
    Window->RouteMouseMove(300, 300, 0);
    // Still pressed while the pointer is away: the capture keeps the button.
    EXPECT_TRUE(Button->Pressed);
    EXPECT_EQ(Hex(Look().Fill), Hex(0xEFE9E4));
    Window->RouteMouseUp(300, 300, kLeftButton, 0);
    EXPECT_FALSE(Button->Pressed);
    EXPECT_EQ(Clicks, 0);
    EXPECT_EQ(ControlClicks, 0);
    // The capture ended: the next move outside leaves the button.
    Window->RouteMouseMove(300, 300, 0);
    ExpectLook(0xFFFFFF, 0xC9C1BA, "released outside");
}

TEST_F(FlatButton, ARightPressDoesNotPressAndADisabledButtonFiresNothing) {
    Window->RouteMouseDown(kBx + 30, kBy + 17, kRightButton, 0);
    EXPECT_FALSE(Button->Pressed);
    Window->RouteMouseUp(kBx + 30, kBy + 17, kRightButton, 0);
    EXPECT_EQ(Clicks, 0);

    Button->SetEnabled(false);
    Window->RouteMouseDown(kBx + 30, kBy + 17, kLeftButton, 0);
    Window->RouteMouseUp(kBx + 30, kBy + 17, kLeftButton, 0);
    EXPECT_EQ(Clicks, 0);
    EXPECT_EQ(ControlClicks, 0);
}

// ---- Flat check box ------------------------------------------------------------

namespace {

// A check box of 300 x 26 at (20, 60): its box spans (23..41, 64..82).
constexpr int32_t kCx = 20, kCy = 60;

class FlatCheck : public Widgets {
public:
    TRef<TFlatCheck> Check = Place<TFlatCheck>(kCx, kCy, 300, 26);
    int Clicks = 0;
    FlatCheck() {
        Check->Caption = u"Criar atalho";
        Check->OnClick = [this](System::TObject*) { ++Clicks; };
    }
    // Inside the box, away from the tick and its rounded corners.
    TColor BoxFill() { return PixelAt(kCx + 18, kCy + 4 + 15); }
    TColor BoxBorder() { return PixelAt(kCx + 3, kCy + 4 + 9); }
    TColor Tick() { return PixelAt(kCx + 11, kCy + 4 + 12); }
    TColor Ring() { return PixelAt(kCx + 1, kCy + 4 + 9); }
    // The box and its surroundings, the caption left out.
    std::vector<TColor> BoxArea() {
        std::vector<TColor> pixels;
        PixelAt(0, 0);
        for (int32_t y = 0; y < 26; ++y)
            for (int32_t x = 0; x < 28; ++x) pixels.push_back(Window->GetSurface()->PixelAt(kCx + x, kCy + y));
        return pixels;
    }
    uint16_t Key(uint16_t key) {
        TZylMessage m;
        m.Msg = WM_KEYDOWN;
        m.Key = key;
        Check->DeliverMessage(m);
        return uint16_t(m.Key);
    }
};

} // namespace

TEST_F(FlatCheck, BoxTickAndColoursByState) {
    const struct {
        bool checked, hovered;
        TColor fill, border;
        bool tick;
    } rows[] = {
        {false, false, kWhite, 0x9A948D, false},
        {false, true, kWhite, 0xEB6F1F, false},
        {true, false, 0xEB6F1F, 0xEB6F1F, true},
        {true, true, 0xF6823B, 0xF6823B, true},
    };
    for (const auto& r : rows) {
        Check->Checked = r.checked, Check->Hovered = r.hovered;
        const std::string what = "checked " + std::to_string(r.checked) + " hovered " + std::to_string(r.hovered);
        EXPECT_EQ(Hex(BoxFill()), Hex(r.fill)) << what;
        EXPECT_EQ(Hex(BoxBorder()), Hex(r.border)) << what;
        EXPECT_EQ(Hex(Tick()), Hex(r.tick ? kWhite : r.fill)) << what;
        EXPECT_EQ(Hex(Ring()), Hex(kWhite)) << what;
    }
}

TEST_F(FlatCheck, FocusRingFollowsTheFocusAndAPressGivesIt) {
    EXPECT_EQ(Hex(Ring()), Hex(kWhite));
    Window->RouteMouseDown(kCx + 100, kCy + 13, kRightButton, 0);
    EXPECT_TRUE(Check->Focused());
    EXPECT_EQ(Hex(Ring()), Hex(0xF8CFB4));
    // A right release toggles nothing.
    Window->RouteMouseUp(kCx + 100, kCy + 13, kRightButton, 0);
    EXPECT_FALSE(Check->Checked);

    auto other = Place<TFlatCheck>(kCx, kCy + 40, 300, 26);
    other->SetFocus();
    EXPECT_FALSE(Check->Focused());
    EXPECT_EQ(Hex(Ring()), Hex(kWhite));
}

TEST_F(FlatCheck, OneLeftReleaseInsideTogglesAndClicksOnce) {
    Window->RouteMouseDown(kCx + 100, kCy + 13, kLeftButton, 0);
    Window->RouteMouseUp(kCx + 100, kCy + 13, kLeftButton, 0);
    EXPECT_TRUE(Check->Checked);
    EXPECT_EQ(Clicks, 1);
    // Released outside: nothing.
    Window->RouteMouseDown(kCx + 100, kCy + 13, kLeftButton, 0);
    Window->RouteMouseUp(kCx + 100, kCy + 40, kLeftButton, 0);
    EXPECT_TRUE(Check->Checked);
    EXPECT_EQ(Clicks, 1);
}

TEST_F(FlatCheck, SpaceTogglesAnEnabledBoxAfterOnKeyDownAndIsConsumed) {
    std::vector<std::string> seen;
    Check->OnKeyDown = [&](System::TObject*, uint16_t& key, TShiftState) {
        seen.push_back(std::to_string(key) + (Check->Checked ? " checked" : " unchecked"));
    };
    EXPECT_EQ(Key(0x20), 0);
    EXPECT_TRUE(Check->Checked);
    EXPECT_EQ(Clicks, 1);
    EXPECT_EQ(Key(0x0D), 0x0D);
    EXPECT_TRUE(Check->Checked);

    Check->SetEnabled(false);
    EXPECT_EQ(Key(0x20), 0x20);
    EXPECT_TRUE(Check->Checked);
    EXPECT_EQ(Clicks, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"32 unchecked", "13 checked", "32 checked"}));
}

TEST_F(FlatCheck, DisabledIsPaintedExactlyAsEnabled) {
    Check->Checked = true;
    const std::vector<TColor> enabled = BoxArea();
    Check->SetEnabled(false);
    EXPECT_EQ(BoxArea(), enabled);
    Check->Checked = false;
    EXPECT_NE(BoxArea(), enabled);
}

// ---- Steps panel ---------------------------------------------------------------------

namespace {

constexpr TColor kTeal = 0xA5B519, kAccentDot = 0xEB6F1F, kToComeRing = 0xD0A782;

class StepsPanel : public Widgets {
public:
    TRef<TStepsPanel> Panel = Place<TStepsPanel>(0, 0, 230, 400);
    StepsPanel() {
        Panel->SetTexts(u"Ostrel Dax", u"1.0", u"Ostrel Works");
        for (const char16_t* step : {u"Boas-vindas", u"Destino", u"Resumo", u"Instalação"}) Panel->AddStep(step);
    }
    TColor Marker(int32_t i) { return PixelAt(40, 214 + 36 * i); }
    TColor MarkerEdge(int32_t i) { return PixelAt(32, 214 + 36 * i); }
};

} // namespace

TEST_F(StepsPanel, TopRowIsTheGradientStartAwayFromTheLogo) {
    for (int32_t x : {0, 10, 120, 229}) EXPECT_EQ(Hex(PixelAt(x, 0)), Hex(0x331A0A)) << x;
}

TEST_F(StepsPanel, MarkersByStateForEveryCurrentStep) {
    enum { Done, Now, ToCome };
    const struct { int32_t current; int states[4]; } cases[] = {
        {0, {Now, ToCome, ToCome, ToCome}},
        {2, {Done, Done, Now, ToCome}},
        {3, {Done, Done, Done, Now}},
        {9, {Done, Done, Done, Done}},
        {-1, {ToCome, ToCome, ToCome, ToCome}},
    };
    for (const auto& c : cases) {
        Panel->Current = c.current;
        for (int32_t i = 0; i < 4; ++i) {
            const std::string what = "current " + std::to_string(c.current) + " step " + std::to_string(i);
            const TColor background = PixelAt(10, 214 + 36 * i);
            switch (c.states[i]) {
            case Done:
                EXPECT_EQ(Hex(Marker(i)), Hex(kTeal)) << what;
                EXPECT_EQ(Hex(MarkerEdge(i)), Hex(kTeal)) << what;
                break;
            case Now:
                EXPECT_EQ(Hex(Marker(i)), Hex(kAccentDot)) << what;
                EXPECT_EQ(Hex(MarkerEdge(i)), Hex(kWhite)) << what;
                break;
            default:
                // A ring: the dark background shows through its middle.
                EXPECT_EQ(Hex(Marker(i)), Hex(background)) << what;
                EXPECT_EQ(Hex(PixelAt(31, 214 + 36 * i)), Hex(kToComeRing)) << what;
            }
        }
    }
}

TEST_F(StepsPanel, PlaceholderSquareOrTheLogoPicture) {
    EXPECT_EQ(Hex(PixelAt(60, 90)), Hex(kWhite));
    Panel->LoadLogo([](TBitmap& logo) {
        logo.SetSize(2, 2);
        auto canvas = logo.GetCanvas();
        canvas->Brush()->SetColor(0x0000FF);
        canvas->FillRect({0, 0, 2, 2});
    });
    ASSERT_TRUE(Panel->Logo);
    EXPECT_EQ(Hex(PixelAt(60, 90)), Hex(0x0000FF));
    EXPECT_EQ(Hex(PixelAt(93, 97)), Hex(0x0000FF));
}

TEST_F(StepsPanel, ALargerLogoIsShrunkByAveragingNotBySkippingPixels) {
    // Black and white columns one pixel wide: any pick of every other
    // column would draw one of the two colours alone.
    Panel->LoadLogo([](TBitmap& logo) {
        logo.SetSize(128, 128);
        auto canvas = logo.GetCanvas();
        for (int32_t x = 0; x < 128; ++x) {
            canvas->Brush()->SetColor(x % 2 ? 0xFFFFFF : 0x000000);
            canvas->FillRect({x, 0, x + 1, 128});
        }
    });
    ASSERT_TRUE(Panel->Logo);
    EXPECT_EQ(Panel->Logo->Width(), kStepsLogoSize);
    EXPECT_EQ(Panel->Logo->Height(), kStepsLogoSize);
    for (const auto& [x, y] : {std::pair{30, 34}, {61, 60}, {93, 97}})
        EXPECT_EQ(Hex(PixelAt(x, y)), Hex(0x808080)) << x;
}

TEST(ShrinkPixelsBoxed, EachTargetPixelIsTheRoundedMeanOfTheBlockItCovers) {
    // One channel per case (blue; the others stay 0), rows of pixels.
    const struct {
        int32_t sw, sh;
        std::vector<uint8_t> source;
        int32_t tw, th;
        std::vector<uint8_t> expected;
    } cases[] = {
        {4, 2, {0, 255, 10, 20, 0, 0, 30, 41}, 2, 1, {64, 25}},     // 2 x 2 blocks, halves round up
        {3, 1, {9, 1, 4}, 2, 1, {9, 3}},                           // blocks of 1 and 2 columns
        {2, 1, {7, 200}, 4, 1, {7, 7, 200, 200}},                  // growing repeats pixels
        {1, 1, {77}, 1, 1, {77}},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> source(size_t(c.sw * c.sh * 4)), target(size_t(c.tw * c.th * 4), 0xEE);
        for (size_t i = 0; i < c.source.size(); ++i) source[i * 4] = c.source[i];
        ShrinkPixelsBoxed(source.data(), c.sw * 4, c.sw, c.sh, target.data(), c.tw * 4, c.tw, c.th);
        for (size_t i = 0; i < c.expected.size(); ++i) {
            EXPECT_EQ(target[i * 4], c.expected[i]) << c.sw << "x" << c.sh << " pixel " << i;
            EXPECT_EQ(target[i * 4 + 1], 0) << c.sw << "x" << c.sh << " pixel " << i;
        }
    }
}

TEST_F(StepsPanel, ALogoThatRaisesOrStaysEmptyLeavesThePlaceholder) {
    const std::function<void(TBitmap&)> loads[] = {
        [](TBitmap&) { throw System::Exception(u"arquivo ilegível"); },
        [](TBitmap& logo) { logo.SetSize(0, 0); },
        [](TBitmap& logo) { logo.LoadFromFile(u"Z:\\nao\\existe.png"); },
    };
    for (size_t i = 0; i < std::size(loads); ++i) {
        Panel->LoadLogo([](TBitmap& logo) { logo.SetSize(4, 4); });
        ASSERT_TRUE(Panel->Logo);
        Panel->LoadLogo(loads[i]);
        EXPECT_FALSE(Panel->Logo) << i;
        EXPECT_EQ(Hex(PixelAt(60, 90)), Hex(kWhite)) << i;
    }
    Panel->SetLogo(u"Z:\\nao\\existe.png");
    EXPECT_FALSE(Panel->Logo);
    // A test program carries no logo resource.
    Panel->LoadLogo([](TBitmap& logo) { logo.SetSize(4, 4); });
    LoadSetupLogo(*Panel);
    EXPECT_FALSE(Panel->Logo);
}

TEST_F(StepsPanel, ResizingRendersTheBackgroundAgain) {
    PixelAt(0, 0);
    EXPECT_EQ(Panel->Background->Width(), 230);
    Panel->SetBounds(0, 0, 190, 300);
    EXPECT_EQ(Hex(PixelAt(189, 0)), Hex(0x331A0A));
    EXPECT_EQ(Panel->Background->Width(), 190);
    EXPECT_EQ(Panel->Background->Height(), 300);
}

// ---- Slim progress bar -------------------------------------------------------------------

namespace {

constexpr TColor kTrack = 0xE8E2DD;

class SlimProgress : public Widgets {
public:
    TRef<TSlimProgress> Bar = Place<TSlimProgress>(10, 100, 400, 40);
    // Below the highlight stripe, at x inside the bar.
    TColor FillAt(int32_t x) { return PixelAt(10 + x, 100 + 31); }
};

} // namespace

TEST_F(SlimProgress, IsMadeWithARangeOf1000And40PixelsHigh) {
    auto fresh = MakeRef<TSlimProgress>(nullptr);
    EXPECT_EQ(fresh->Max, 1000);
    EXPECT_EQ(fresh->Height(), 40);
}

TEST_F(SlimProgress, FillUnderTenPixelsIsNotDrawn) {
    const struct { int32_t position; TColor at6, at14; } cases[] = {
        {0, kTrack, kTrack}, {24, kTrack, kTrack}, {25, kTrack, kTrack}, {30, kAccent, kTrack},
    };
    for (const auto& c : cases) {
        Bar->Position = c.position;
        EXPECT_EQ(Hex(FillAt(6)), Hex(c.at6)) << c.position;
        EXPECT_EQ(Hex(FillAt(14)), Hex(c.at14)) << c.position;
    }
}

TEST_F(SlimProgress, PositionsNearTheInt32LimitsPaintAFullOrNoFill) {
    const struct { int32_t position, max; TColor middle, end; } cases[] = {
        {INT32_MAX, 1000, kAccent, kAccent},
        {INT32_MAX - 5, 7, kAccent, kAccent},
        {1000, 1000, kAccent, kAccent},
        {5000, 1000, kAccent, kAccent},
        {500, 1000, kAccent, kTrack},
        {INT32_MIN, 1000, kTrack, kTrack},
        {-30, 1000, kTrack, kTrack},
        {500, 0, kTrack, kTrack},
    };
    for (const auto& c : cases) {
        Bar->Position = c.position, Bar->Max = c.max;
        const std::string what = std::to_string(c.position) + "/" + std::to_string(c.max);
        EXPECT_EQ(Hex(FillAt(150)), Hex(c.middle)) << what;
        EXPECT_EQ(Hex(FillAt(390)), Hex(c.end)) << what;
        // Nothing is drawn past the bar.
        EXPECT_EQ(Hex(PixelAt(10 + 405, 100 + 31)), Hex(PixelAt(10 + 420, 100 + 31))) << what;
    }
}

TEST(SlimProgressArithmetic, PercentAndFillIn64Bits) {
    const struct { int32_t position, max; int64_t percent; } percents[] = {
        {0, 0, 0}, {5, -1, 0}, {24, 1000, 2}, {30, 1000, 3}, {2000, 1000, 100}, {-30, 1000, -3},
        {INT32_MAX, 1000, 100}, {INT32_MIN, 1000, -214748364}, {INT32_MAX, 1, 100}, {INT32_MIN, 1, -214748364800},
    };
    for (const auto& c : percents) EXPECT_EQ(SlimProgressPercent(c.position, c.max), c.percent) << c.position;
    const struct { int64_t percent; int32_t width, fill; } fills[] = {
        {2, 400, 0}, {3, 400, 12}, {100, 400, 400}, {10, 100, 10}, {9, 100, 0}, {-214748364800, 400, 0},
        {100, INT32_MAX, INT32_MAX}, {250, 400, 400},
    };
    for (const auto& c : fills) EXPECT_EQ(SlimProgressFill(c.percent, c.width), c.fill) << c.percent << "@" << c.width;
}

// ---- Result badge and text ----------------------------------------------------------------

TEST_F(Widgets, ResultBadgeDiscsAndGlyphBySuccessOrFailure) {
    auto box = Place<TLogoBox>(100, 100, 120, 120);
    const struct {
        bool failed;
        TColor outer, middle, inner;
        TColor centre, tickVertex;
    } cases[] = {
        {false, 0xEBF4E5, 0xCAE2B9, 0x59A522, 0x59A522, kWhite},
        {true, 0xE7E7F9, 0xC0BFF0, 0x3834D1, kWhite, 0x3834D1},
    };
    for (const auto& c : cases) {
        box->Failed = c.failed;
        const std::string what = c.failed ? "failure" : "success";
        EXPECT_EQ(Hex(PixelAt(100 + 2, 100 + 2)), Hex(kWhite)) << what;
        EXPECT_EQ(Hex(PixelAt(100 + 60, 100 + 12)), Hex(c.outer)) << what;
        EXPECT_EQ(Hex(PixelAt(100 + 60, 100 + 20)), Hex(c.middle)) << what;
        EXPECT_EQ(Hex(PixelAt(100 + 60, 100 + 35)), Hex(c.inner)) << what;
        EXPECT_EQ(Hex(PixelAt(100 + 60, 100 + 60)), Hex(c.centre)) << what;
        EXPECT_EQ(Hex(PixelAt(100 + 56, 100 + 71)), Hex(c.tickVertex)) << what;
    }
}

TEST(WidgetText, FontHeightFollowsTheResolution) {
    const struct { int32_t size, ppi, height; } cases[] = {
        {9, 96, -12}, {9, 120, -15}, {9, 144, -18}, {10, 96, -13}, {20, 96, -27}, {INT32_MAX, 96, INT32_MIN},
    };
    for (const auto& c : cases) EXPECT_EQ(WidgetFontHeight(c.size, c.ppi), c.height) << c.size << "@" << c.ppi;
}

TEST(WidgetText, AssignsOnlyWhatChangedAndLeavesTheBrushSolid) {
    auto platform = MakeRef<Testing::TRecordingCanvas>();
    TCanvas canvas(platform, false);
    DrawWidgetText(canvas, u"Olá", 3, 4, 10, true, 0x123456);
    EXPECT_EQ(canvas.Font()->Name(), u"Segoe UI");
    EXPECT_EQ(canvas.Font()->Height(), -13);
    EXPECT_EQ(canvas.Font()->Style(), fsBold);
    EXPECT_EQ(canvas.Brush()->Style(), bsSolid);
    int changes = 0;
    canvas.Font()->OnChange = [&](System::TObject*) { ++changes; };
    DrawWidgetText(canvas, u"Olá", 5, 6, 10, true, 0x123456);
    EXPECT_EQ(changes, 0);
    DrawWidgetText(canvas, u"Olá", 5, 6, 10, false, 0x123456);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(canvas.Font()->Style(), 0);
}

namespace {

// Counts the colour announcements the form receives.
class TLookForm : public TForm {
public:
    using TForm::TForm;
    int32_t ColorMessages = 0;

protected:
    bool Dispatch(TZylMessage& message) override {
        if (message.Id() == ZM_COLORCHANGED) ++ColorMessages;
        return TForm::Dispatch(message);
    }
};

} // namespace

TEST(InstallerFormLook, NinePointSegoeUiAtTheFontsOwnResolution) {
    struct TCase {
        int32_t PixelsPerInch, Height;
    };
    for (const TCase c : {TCase{96, -12}, TCase{120, -15}, TCase{144, -18}}) {
        auto form = MakeRef<TLookForm>(nullptr);
        form->Font()->SetName(u"Tahoma");
        form->Font()->SetPixelsPerInch(c.PixelsPerInch);
        ApplyInstallerFormLook(*form);
        EXPECT_EQ(form->Font()->Name(), u"Segoe UI");
        EXPECT_EQ(form->Font()->Height(), c.Height) << c.PixelsPerInch;
    }
}

TEST(InstallerFormLook, TurnsTheFormWhiteForTheChildrenThatFollowItsColour) {
    // Called before the form's controls are made: they take the colour
    // when their parent is set.
    auto form = MakeRef<TLookForm>(nullptr);
    ApplyInstallerFormLook(*form);
    EXPECT_EQ(form->Color(), kWhite);
    EXPECT_FALSE(form->ParentColor());
    EXPECT_EQ(form->ColorMessages, 1);
    auto follower = MakeRef<TCustomControl>(nullptr);
    follower->SetParentColor(true);
    follower->SetParent(form.Get());
    EXPECT_EQ(follower->Color(), kWhite);
    follower->SetParent(nullptr);
}

TEST(InstallerFormLook, AnnouncesTheColourOnlyWhenItOrItsSourceChanges) {
    auto form = MakeRef<TLookForm>(nullptr);
    form->SetColor(kWhite);
    form->ColorMessages = 0;
    ApplyInstallerFormLook(*form);
    EXPECT_EQ(form->ColorMessages, 0);  // white and its own colour already

    form->SetParentColor(true);  // white, but following its parent
    ApplyInstallerFormLook(*form);
    EXPECT_EQ(form->ColorMessages, 1);
    EXPECT_FALSE(form->ParentColor());
}
