#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "Zyl.Platform.Shell.Core.h"

using namespace Zyl;

TEST(ShellKeys, EveryVirtualKeyMapsAsTheKeyTableSays) {
    const std::map<uint32_t, int32_t> named = {
        {0x08, 0xFF08}, {0x09, 0xFF09}, {0x0D, 0xFF0D}, {0x10, 0xFFE1}, {0x11, 0xFFE3}, {0x12, 0xFFE9},
        {0x1B, 0xFF1B}, {0x20, 0x20},   {0x21, 0xFF55}, {0x22, 0xFF56}, {0x23, 0xFF57}, {0x24, 0xFF50},
        {0x25, 0xFF51}, {0x26, 0xFF52}, {0x27, 0xFF53}, {0x28, 0xFF54}, {0x2D, 0xFF63}, {0x2E, 0xFFFF},
        {0xBA, 0x3B},   {0xBB, 0x3D},   {0xBC, 0x2C},   {0xBD, 0x2D},   {0xBE, 0x2E},   {0xBF, 0x2F},
        {0xC0, 0x60},   {0xDB, 0x5B},   {0xDC, 0x5C},   {0xDD, 0x5D},   {0xDE, 0x27},
    };
    for (uint32_t vk = 0; vk < 256; ++vk) {
        int32_t expected = 0;
        if (vk >= 'A' && vk <= 'Z') expected = int32_t(vk - 'A' + 'a');
        else if (vk >= '0' && vk <= '9') expected = int32_t(vk);
        else if (vk >= 0x70 && vk <= 0x7B) expected = int32_t(0xFFBE + (vk - 0x70));
        else if (named.count(vk)) expected = named.at(vk);
        EXPECT_EQ(VirtualKeyToKeyCode(vk), expected) << "virtual key " << vk;
    }
    EXPECT_EQ(VirtualKeyToKeyCode(0x73), 0xFFC1); // F4
    EXPECT_EQ(VirtualKeyToKeyCode(0x141), 0);     // past the byte range
}

TEST(ShellCursors, KindsLoadTheirSystemCursor) {
    const std::vector<std::pair<int32_t, uint32_t>> cases = {
        {0, 32512},  {1, 32513}, {2, 32649}, {3, 32514}, {4, 32515},  {5, 32644},  {6, 32645},
        {7, 32646},  {8, 32648}, {9, 0},     {10, 32642}, {11, 32643}, {12, 32512}, {-1, 32512},
    };
    for (const auto& [kind, id] : cases) EXPECT_EQ(ShellCursorId(kind), id) << "kind " << kind;
}

TEST(ShellStyles, BorderStylesAndNoActivate) {
    struct TCase {
        int32_t Border;
        bool NoActivate;
        uint32_t Style, ExStyle;
    };
    const TCase cases[] = {
        {0, false, 0x80000000u, 0}, {1, false, 0xCB0000, 0},   {2, false, 0xCF0000, 0},
        {3, false, 0xC80000, 0x1},  {4, false, 0xC80000, 0x80}, {5, false, 0xCF0000, 0},
        {-1, false, 0xCF0000, 0},   {0, true, 0x80000000u, 0x8000080}, {3, true, 0xC80000, 0x8000081},
    };
    for (const TCase& c : cases) {
        const TShellWindowStyle style = ShellWindowStyleFor(c.Border, c.NoActivate);
        EXPECT_EQ(style.Style, c.Style) << c.Border << " " << c.NoActivate;
        EXPECT_EQ(style.ExStyle, c.ExStyle) << c.Border << " " << c.NoActivate;
    }
}

TEST(ShellMessageBox, FlagsAndAnswers) {
    EXPECT_EQ(MessageBoxFlagsFor(1, 0), 0x30u);
    EXPECT_EQ(MessageBoxFlagsFor(2, 2), 0x24u);
    EXPECT_EQ(MessageBoxFlagsFor(3, 1), 0x11u);
    EXPECT_EQ(MessageBoxFlagsFor(0, 3), 0x40u);
    EXPECT_EQ(MessageBoxFlagsFor(7, -1), 0x40u);
    const std::vector<std::pair<int32_t, int32_t>> answers = {{1, 1}, {2, 2}, {3, 1}, {4, 1}, {5, 1},
                                                              {6, 3}, {7, 4}, {0, 1}, {11, 1}};
    for (const auto& [system, answer] : answers) EXPECT_EQ(MessageBoxAnswerFrom(system), answer) << system;
}

TEST(ShellFontDialog, SizesRoundToWholePointsAndStylesFromWeight) {
    EXPECT_EQ(FontPointsFromTenths(105), 11);
    EXPECT_EQ(FontPointsFromTenths(104), 10);
    EXPECT_EQ(FontPointsFromTenths(90), 9);
    EXPECT_EQ(FontPointsFromTenths(0), 0);
    EXPECT_EQ(FontStyleFromChoice(400, false), 0);
    EXPECT_EQ(FontStyleFromChoice(600, false), 1);
    EXPECT_EQ(FontStyleFromChoice(599, true), 2);
    EXPECT_EQ(FontStyleFromChoice(700, true), 3);
}

namespace {

TOffscreenTimer Timer(int64_t due, bool active = true) {
    TOffscreenTimer timer;
    timer.Due = due;
    timer.Active = active;
    return timer;
}

} // namespace

TEST(ShellWait, SmallestRemainingUpTo100) {
    EXPECT_EQ(ShellWaitTime({}, 0), 100u);
    EXPECT_EQ(ShellWaitTime({Timer(30)}, 0), 30u);
    EXPECT_EQ(ShellWaitTime({Timer(50), Timer(500)}, 60), 0u); // overdue
    EXPECT_EQ(ShellWaitTime({Timer(101)}, 0), 100u);
    EXPECT_EQ(ShellWaitTime({Timer(100)}, 0), 100u);
    EXPECT_EQ(ShellWaitTime({Timer(5, false), Timer(70)}, 0), 70u);
    EXPECT_EQ(ShellWaitTime({Timer(INT64_MAX)}, -10), 100u);
}

namespace {

struct TTimerFixture : ::testing::Test {
    System::TRef<TOffscreenApp> App = System::MakeRef<TOffscreenApp>();
    std::vector<std::string> Fired;

    int32_t Add(int32_t interval, const std::string& name) {
        return App->AddTimer(interval, [this, name] { Fired.push_back(name); });
    }
};

} // namespace

TEST_F(TTimerFixture, TiesFireInTheOrderAdded) {
    Add(20, "a");
    Add(20, "b");
    Add(10, "c");
    RunShellTimers(*App, 20);
    EXPECT_EQ(Fired, (std::vector<std::string>{"c", "a", "b", "c"}));
    EXPECT_EQ(App->Clock, 20);
}

TEST_F(TTimerFixture, ALateTimerCatchesUpFromTheDueTimesItServed) {
    Add(30, "t");
    RunShellTimers(*App, 95);
    EXPECT_EQ(Fired.size(), 3u);
    EXPECT_EQ(App->Timers[0].Due, 120);
    EXPECT_EQ(App->Clock, 95);
    RunShellTimers(*App, 95); // no time passed: nothing
    EXPECT_EQ(Fired.size(), 3u);
}

TEST_F(TTimerFixture, ARaisingCallbackReachesTheHandlerAndLaterTimersWaitAPass) {
    std::vector<std::u16string> handled;
    App->SetExceptionHandler([&](const System::Exception& e) {
        handled.push_back(e.Message);
        return 0;
    });
    App->AddTimer(10, [] { throw System::Exception(u"falhou"); });
    Add(20, "later");
    RunShellTimers(*App, 25);
    EXPECT_EQ(handled, std::vector<std::u16string>{u"falhou"});
    EXPECT_TRUE(Fired.empty());
    EXPECT_EQ(App->Clock, 10); // stays at the due time reached
    App->Timers[0].Active = false;
    RunShellTimers(*App, 25);
    EXPECT_EQ(Fired, std::vector<std::string>{"later"});
    EXPECT_EQ(App->Clock, 25);
}

TEST_F(TTimerFixture, ARaisingCallbackWithoutHandlerIsSwallowedAndOtherObjectsPassThrough) {
    App->AddTimer(10, [] { throw System::Exception(u"falhou"); });
    EXPECT_NO_THROW(RunShellTimers(*App, 10));
    App->Timers[0].Active = false;
    App->AddTimer(5, [] { throw std::runtime_error("outro"); });
    EXPECT_THROW(RunShellTimers(*App, 20), std::runtime_error);
}

TEST_F(TTimerFixture, ACallbackThatAddsManyTimersAndRemovesItself) {
    int32_t self = 0;
    self = App->AddTimer(10, [this, &self] {
        for (int i = 0; i < 100; ++i) Add(50, "new");
        App->RemoveTimer(self);
    });
    RunShellTimers(*App, 10);
    EXPECT_EQ(App->Timers.size(), 101u);
    EXPECT_FALSE(App->Timers[0].Active);
    RunShellTimers(*App, 60);
    EXPECT_EQ(Fired.size(), 100u);
}
