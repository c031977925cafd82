#include "Zyl.Platform.Offscreen.Fixture.h"

#include <map>
#include <sstream>

namespace Zyl::Testing {
namespace {

using System::MakeRef;

// A (0, 0, 10, 10), cursor 1, with a disabled child A1 (2, 2, 3, 3) and a
// child A2 (5, 5, 4, 4); B (6, 0, 10, 5) over A, cursor 2; N (10, 6, 2, 3)
// without a sink; T (0, 10, 16, 2) mouse-transparent with a child T1; the
// popup P (12, 6, 4, 6), added before all of them. The window's own sink is
// W and its cursor 3.
class OffscreenRouting : public OffscreenFixture {
protected:
    OffscreenRouting() {
        Add("P", 12, 6, 4, 6, nullptr, true);
        Add("A", 0, 0, 10, 10)->SetCursor(CursorIBeam);
        Add("A1", 2, 2, 3, 3, Named["A"])->SetEnabled(false);
        Add("A2", 5, 5, 4, 4, Named["A"]);
        Add("B", 6, 0, 10, 5)->SetCursor(CursorHand);
        Named["N"] = Add("", 10, 6, 2, 3);
        Named.erase("");
        Add("T", 0, 10, 16, 2)->SetMouseTransparent(true);
        Add("T1", 0, 0, 4, 2, Named["T"]);
        WindowSink();
        Window->SetCursor(CursorWait);
        Log->Clear();
    }

    TRef<TOffscreenControl> Add(const std::string& name, int32_t l, int32_t t, int32_t w, int32_t h,
                                TRef<TOffscreenControl> parent = nullptr, bool popup = false) {
        const TRef<TOffscreenControl> c = NewControl(name, -1, 0, 0, w, h);
        if (parent)
            parent->AddChild(c.Get(), l, t);
        else if (popup)
            Window->AddPopupChild(c.Get(), l, t);
        else
            Window->AddChild(c.Get(), l, t);
        Named[name] = c;
        return c;
    }

    // Runs "move x y", "down x y button shift", "up ...", "wheel x y delta
    // shift", "key code shift" (down and up), "char code", "focus NAME" and
    // "capture NAME" steps, separated by ";".
    void Play(const std::string& script) {
        std::istringstream steps(script);
        std::string step;
        while (std::getline(steps, step, ';')) {
            std::istringstream in(step);
            std::string verb;
            in >> verb;
            int32_t a = 0, b = 0, c = 0, d = 0;
            if (verb == "focus" || verb == "capture") {
                std::string name;
                in >> name;
                if (verb == "focus")
                    Named.at(name)->SetFocus();
                else
                    Named.at(name)->SetMouseCapture(true);
                Log->Clear();
                continue;
            }
            in >> a >> b >> c >> d;
            if (verb == "move") Window->RouteMouseMove(a, b, c);
            if (verb == "down") Window->RouteMouseDown(a, b, c, d);
            if (verb == "up") Window->RouteMouseUp(a, b, c, d);
            if (verb == "wheel") Window->RouteMouseWheel(a, b, c, d);
            if (verb == "key") {
                Window->RouteKeyDown(a, b);
                Window->RouteKeyUp(a, b);
            }
            if (verb == "char") Window->RouteCharInput(char16_t(a));
        }
    }

    std::string NameOf(const TOffscreenControl* control) const {
        for (const auto& [name, c] : Named)
            if (c.Get() == control) return name;
        return "";
    }

    std::map<std::string, TRef<TOffscreenControl>> Named;
};

struct TRouteCase {
    const char* Name;
    const char* Script;
    const char* Log;
    int32_t Cursor;
    // The name of the pressed control afterwards, "" for none.
    const char* Pressed = "";
};

void PrintTo(const TRouteCase& c, std::ostream* os) { *os << c.Name; }

class RouteCase : public OffscreenRouting, public ::testing::WithParamInterface<TRouteCase> {};

TEST_P(RouteCase, ReachesTheExpectedSinks) {
    Play(GetParam().Script);
    EXPECT_EQ(LogText(), GetParam().Log);
    EXPECT_EQ(Window->CurrentCursor, GetParam().Cursor);
    EXPECT_EQ(NameOf(Window->PressedControl.Get()), GetParam().Pressed);
}

INSTANTIATE_TEST_SUITE_P(
    Offscreen, RouteCase,
    ::testing::Values(
        TRouteCase{"MoveOverTheLaterOfTwoOverlappingSiblings", "move 7 2 0", "B:MouseEnter B:MouseMove(1,2,0)",
                   CursorHand},
        TRouteCase{"MoveOverADisabledChildReachesItsParent", "move 3 3 1", "A:MouseEnter A:MouseMove(3,3,1)",
                   CursorIBeam},
        TRouteCase{"MoveIntoAChild", "move 6 6 0", "A2:MouseEnter A2:MouseMove(1,1,0)", CursorArrow},
        TRouteCase{"APopupLiesAboveEverything", "move 13 11 0", "P:MouseEnter P:MouseMove(1,5,0)", CursorArrow},
        TRouteCase{"AMouseTransparentSubtreeIsUnreachable", "move 1 11 0", "W:MouseMove(1,11,0)", CursorWait},
        TRouteCase{"MovingFromOneControlToAnother", "move 3 3 0; move 7 2 0",
                   "A:MouseEnter A:MouseMove(3,3,0) A:MouseLeave B:MouseEnter B:MouseMove(1,2,0)", CursorHand},
        TRouteCase{"MovingWithinAControl", "move 7 2 0; move 8 3 0",
                   "B:MouseEnter B:MouseMove(1,2,0) B:MouseMove(2,3,0)", CursorHand},
        TRouteCase{"LeavingForTheWindow", "move 7 2 0; move 1 11 0",
                   "B:MouseEnter B:MouseMove(1,2,0) B:MouseLeave W:MouseMove(1,11,0)", CursorWait},
        TRouteCase{"DownOnAControl", "down 7 2 1 0", "B:MouseDown(1,2,1,0)", 0, "B"},
        TRouteCase{"DownOnADisabledChildReachesItsParent", "down 3 3 3 4", "A:MouseDown(3,3,3,4)", 0, "A"},
        TRouteCase{"DownOnTheWindow", "down 7 2 1 0; down 1 11 1 0", "B:MouseDown(1,2,1,0) W:MouseDown(1,11,1,0)",
                   0, ""},
        TRouteCase{"ASinklessControlSwallowsAClick", "down 10 7 1 0", "", 0, "N"},
        TRouteCase{"UpLeavesThePressedControl", "down 7 2 1 0; up 3 3 1 0",
                   "B:MouseDown(1,2,1,0) A:MouseUp(3,3,1,0)", 0, "B"},
        TRouteCase{"WheelOverAControl", "wheel 7 2 120 1", "B:MouseWheel(1,2,120,1)", 0},
        TRouteCase{"WheelOverTheFreeWindowWithoutFocus", "wheel 1 11 -120 0", "W:MouseWheel(1,11,-120,0)", 0},
        TRouteCase{"WheelOverTheFreeWindowGoesToTheFocus", "focus A2; wheel 1 11 120 0",
                   "A2:MouseWheel(-4,6,120,0)", 0},
        TRouteCase{"WheelOverASinklessControlGoesToTheWindow", "focus A2; wheel 10 7 120 0",
                   "W:MouseWheel(10,7,120,0)", 0},
        TRouteCase{"TheWheelIgnoresTheCapture", "capture A2; wheel 7 2 120 0", "B:MouseWheel(1,2,120,0)", 0},
        TRouteCase{"KeysWithoutFocusGoToTheWindow", "key 97 1; char 97", "W:KeyDown(97,1) W:KeyUp(97,1) W:CharInput(97)",
                   0},
        TRouteCase{"KeysGoToTheFocusedControl", "focus A2; key 65293 0; char 233",
                   "A2:KeyDown(65293,0) A2:KeyUp(65293,0) A2:CharInput(233)", 0},
        TRouteCase{"KeysPassASinklessFocusedControlToTheWindow", "focus N; key 97 0",
                   "W:KeyDown(97,0) W:KeyUp(97,0)", 0},
        TRouteCase{"CharacterZeroIsDropped", "focus A2; char 0", "", 0},
        TRouteCase{"TheCaptureTakesMovesDownsAndUpsAnywhere", "capture A2; move 15 11 0; down 0 0 1 0; up 0 0 1 0",
                   "A2:MouseMove(10,6,0) A2:MouseDown(-5,-5,1,0) A2:MouseUp(-5,-5,1,0)", 0, "A2"},
        TRouteCase{"TheCaptureKeepsHoverAndCursor", "move 7 2 0; capture A2; move 3 3 0",
                   "A2:MouseMove(-2,-2,0)", CursorHand}),
    [](const auto& info) { return std::string(info.param.Name); });

TEST_F(OffscreenRouting, HitTestsInTheControlsOwnCoordinates) {
    int32_t x = -1, y = -1;
    EXPECT_EQ(Window->ControlAtPoint(7, 7, x, y), Named["A2"].Get());
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(2, 2));
    EXPECT_EQ(Window->ControlAtPoint(3, 4, x, y), Named["A"].Get());
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(3, 4));
    EXPECT_EQ(Window->ControlAtPoint(2, 11, x, y), nullptr);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(2, 11));
    EXPECT_EQ(Window->ControlAtPoint(-1, 0, x, y), nullptr);
    EXPECT_EQ(Window->ControlAtPoint(16, 0, x, y), nullptr);
}

TEST_F(OffscreenRouting, HoverFollowsTheCursorOfTheControlFromTheNextMove) {
    Play("move 7 2 0");
    Named["B"]->SetCursor(CursorCross);
    EXPECT_EQ(Window->CurrentCursor, CursorHand);
    Play("move 7 3 0");
    EXPECT_EQ(Window->CurrentCursor, CursorCross);
    EXPECT_EQ(Window->HoveredControl.Get(), Named["B"].Get());
}

} // namespace
} // namespace Zyl::Testing
