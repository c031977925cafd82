#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "System.Remainder.Os.h"
#include "Zyl.Platform.Win.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

struct TNotifyRecord {
    DWORD Message;
    NOTIFYICONDATAW Data;
};
std::vector<TNotifyRecord> Notified;

BOOL RecordNotify(DWORD Message, NOTIFYICONDATAW* Data) {
    Notified.push_back({Message, *Data});
    return TRUE;
}

class TTrayTest : public testing::Test {
protected:
    void SetUp() override {
        Notified.clear();
        ShellNotifyIconCall() = RecordNotify;
    }
    void TearDown() override {
        ReleaseTrayIcons();
        ShellNotifyIconCall() = SystemShellNotifyIcon();
    }
};

std::u16string Field(const wchar_t* Text) { return System::FromWStr(Text); }

// Records what a widget's sink receives.
class TRecordingEvents : public TPlatformEvents {
public:
    std::vector<std::string> Log;
    bool Raise = false;
    bool RaiseOther = false;
    void MouseDown(int32_t X, int32_t Y, int32_t Button, int32_t) override {
        Check();
        Log.push_back("down " + std::to_string(Button) + " " + std::to_string(X) + "," + std::to_string(Y));
    }
    void MouseUp(int32_t, int32_t, int32_t Button, int32_t) override {
        Log.push_back("up " + std::to_string(Button));
    }
    void DoubleClick() override { Log.push_back("double"); }
    void Click() override { Log.push_back("click"); }
    void Reserved39(int32_t Value) override { Log.push_back("chosen " + std::to_string(Value)); }

private:
    void Check() {
        if (Raise) throw System::Exception(u"falha do manipulador");
        if (RaiseOther) throw 7;
    }
};

// A sink whose handler drops the widget's last other reference to it and
// then reports whether it was destroyed meanwhile. It reads its report
// through a local copy of the pointer only, so that a sink freed under it
// shows as "freed" rather than as a read of freed memory.
class TDroppingEvents : public TPlatformEvents {
public:
    TDroppingEvents(TPlatformWidget& Owner, std::vector<std::string>& Report) : owner_(Owner), report_(&Report) {}
    ~TDroppingEvents() override { report_->push_back("destroyed"); }
    void MouseDown(int32_t, int32_t, int32_t, int32_t) override { Drop(); }
    void Click() override { Drop(); }
    void Reserved39(int32_t) override { Drop(); }

private:
    void Drop() {
        std::vector<std::string>* report = report_;
        owner_.Events = nullptr;
        report->push_back(report->empty() ? "alive after the drop" : "freed during its own handler");
    }
    TPlatformWidget& owner_;
    std::vector<std::string>* report_;
};

} // namespace

TEST_F(TTrayTest, IdsCountUpAndAreNeverReused) {
    TRef<TWinTrayIcon> first = CreateWinTrayIcon();
    TRef<TWinTrayIcon> second = CreateWinTrayIcon();
    EXPECT_EQ(second->Id(), first->Id() + 1);
    const int32_t firstId = first->Id();
    first = nullptr;
    ReleaseTrayIcons();  // the first is gone now
    EXPECT_EQ(FindTrayIcon(firstId), nullptr);
    TRef<TWinTrayIcon> third = CreateWinTrayIcon();
    EXPECT_EQ(third->Id(), second->Id() + 1);
    EXPECT_EQ(FindTrayIcon(third->Id()), third);
}

TEST_F(TTrayTest, RecordsCarryTheirFieldsCutToTheirLimits) {
    TRef<TWinTrayIcon> icon = CreateWinTrayIcon();
    icon->SetTip(std::u16string(200, u't'));
    EXPECT_TRUE(Notified.empty()) << "a hidden icon only keeps the tip";
    icon->SetVisible(true);
    icon->SetVisible(true);
    ASSERT_EQ(Notified.size(), 1u) << "added once";
    const NOTIFYICONDATAW& added = Notified[0].Data;
    EXPECT_EQ(Notified[0].Message, DWORD(NIM_ADD));
    EXPECT_EQ(added.cbSize, 976u);
    EXPECT_EQ(added.hWnd, EnsureTrayWindow());
    EXPECT_EQ(added.uID, UINT(icon->Id()));
    EXPECT_EQ(added.uFlags, UINT(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(added.uCallbackMessage, WM_APP + 1);
    EXPECT_EQ(Field(added.szTip), std::u16string(126, u't'));

    struct TBalloon {
        int32_t Kind;
        DWORD Flags;
    };
    for (const TBalloon& b : {TBalloon{0, NIIF_INFO}, {1, NIIF_WARNING}, {2, NIIF_INFO}, {3, NIIF_ERROR}}) {
        Notified.clear();
        icon->ShowBalloon(std::u16string(100, u'T'), std::u16string(300, u'b'), b.Kind);
        ASSERT_EQ(Notified.size(), 1u);
        const NOTIFYICONDATAW& balloon = Notified[0].Data;
        EXPECT_EQ(balloon.uFlags, UINT(NIF_INFO));
        EXPECT_EQ(balloon.dwInfoFlags, b.Flags) << b.Kind;
        EXPECT_EQ(Field(balloon.szInfo), std::u16string(254, u'b'));
        EXPECT_EQ(Field(balloon.szInfoTitle), std::u16string(62, u'T'));
    }
    Notified.clear();
    icon->HideBalloon();
    ASSERT_EQ(Notified.size(), 1u);
    EXPECT_EQ(Field(Notified[0].Data.szInfo), u"");

    Notified.clear();
    icon->SetVisible(false);
    icon->ShowBalloon(u"t", u"x", 0);
    icon->HideBalloon();
    ASSERT_EQ(Notified.size(), 1u) << "a hidden icon shows no balloon";
    EXPECT_EQ(Notified[0].Message, DWORD(NIM_DELETE));
}

TEST_F(TTrayTest, IconsComeFromSurfacesWithPixelsAndAreReplaced) {
    TRef<TWinTrayIcon> icon = CreateWinTrayIcon();
    TRef<TWinSurface> surface = MakeRef<TWinSurface>(16, 16, true);
    icon->SetIcon(surface.Get());
    const HICON first = icon->Icon();
    ASSERT_NE(first, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(first, &info));
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    icon->SetVisible(true);
    Notified.clear();
    icon->SetIcon(surface.Get());
    ASSERT_EQ(Notified.size(), 1u);
    EXPECT_EQ(Notified[0].Message, DWORD(NIM_MODIFY));
    EXPECT_EQ(Notified[0].Data.hIcon, icon->Icon());
    EXPECT_FALSE(GetIconInfo(first, &info)) << "the old icon is destroyed";
    TRef<TWinSurface> empty = MakeRef<TWinSurface>(100000, 100000, true);
    icon->SetIcon(empty.Get());
    EXPECT_EQ(icon->Icon(), nullptr);
    icon->SetIcon(nullptr);
    EXPECT_EQ(icon->Icon(), nullptr);
}

TEST_F(TTrayTest, TaskbarRestartAddsVisibleIconsAgain) {
    TRef<TWinTrayIcon> shown = CreateWinTrayIcon();
    TRef<TWinTrayIcon> hidden = CreateWinTrayIcon();
    shown->SetVisible(true);
    shown->SetTip(u"dica");
    Notified.clear();
    SendMessageW(EnsureTrayWindow(), RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_EQ(Notified.size(), 1u);
    EXPECT_EQ(Notified[0].Message, DWORD(NIM_ADD));
    EXPECT_EQ(Notified[0].Data.uID, UINT(shown->Id()));
    EXPECT_EQ(Field(Notified[0].Data.szTip), u"dica");
}

TEST_F(TTrayTest, NotificationsReachTheSinkAndRaisingSinksStillAnswerZero) {
    TRef<TWinTrayIcon> icon = CreateWinTrayIcon();
    TRef<TRecordingEvents> events = MakeRef<TRecordingEvents>();
    icon->Events = events;
    SetCursorPos(40, 30);
    POINT cursor;
    GetCursorPos(&cursor);
    const std::string at = std::to_string(cursor.x) + "," + std::to_string(cursor.y);
    const HWND window = EnsureTrayWindow();
    for (UINT n : std::initializer_list<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK,
                   WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MOUSEMOVE, UINT(NIN_BALLOONUSERCLICK), UINT(NIN_BALLOONSHOW)})
        EXPECT_EQ(SendMessageW(window, WM_APP + 1, WPARAM(icon->Id()), LPARAM(n)), 0);
    EXPECT_EQ(events->Log, (std::vector<std::string>{"down 1 " + at, "up 1", "double", "down 3 " + at, "up 3",
                                                      "down 2 " + at, "up 2", "click"}));
    EXPECT_EQ(SendMessageW(window, WM_APP + 1, WPARAM(icon->Id() + 100), WM_LBUTTONDOWN), 0);

    events->Raise = true;
    EXPECT_EQ(SendMessageW(window, WM_APP + 1, WPARAM(icon->Id()), WM_LBUTTONDOWN), 0);
    EXPECT_FALSE(HasPendingCallbackException()) << "an Exception is dropped";
    events->Raise = false;
    events->RaiseOther = true;
    EXPECT_EQ(SendMessageW(window, WM_APP + 1, WPARAM(icon->Id()), WM_LBUTTONDOWN), 0);
    EXPECT_THROW(RaisePendingCallbackException(), int) << "anything else waits for the pump";
}

TEST_F(TTrayTest, ASinkThatDropsItselfLivesUntilItsHandlerReturns) {
    const HWND window = EnsureTrayWindow();
    for (UINT notification : {UINT(WM_LBUTTONDOWN), UINT(NIN_BALLOONUSERCLICK)}) {
        TRef<TWinTrayIcon> icon = CreateWinTrayIcon();
        std::vector<std::string> report;
        icon->Events = MakeRef<TDroppingEvents>(*icon, report);
        SendMessageW(window, WM_APP + 1, WPARAM(icon->Id()), LPARAM(notification));
        EXPECT_EQ(report, (std::vector<std::string>{"alive after the drop", "destroyed"})) << notification;
        EXPECT_EQ(icon->Events, nullptr);
    }
}

// --- Menus --------------------------------------------------------------------------

TEST(NativeMenu, ItemsUnderAnItemMakeItASubmenu) {
    TRef<TNativeWinMenu> menu = MakeRef<TNativeWinMenu>(true);
    ASSERT_TRUE(IsMenu(menu->Handle()));
    menu->AddItem(0, u"Arquivo", 10);
    menu->AddCheckItem(10, u"Salvar", 11);
    menu->AddSeparator(10);
    menu->AddItem(99, u"Solto", 12);  // no item 99: the top level
    EXPECT_EQ(GetMenuItemCount(menu->Handle()), 2);
    const HMENU sub = menu->SubMenuOf(10);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(GetSubMenu(menu->Handle(), 0), sub);
    EXPECT_EQ(GetMenuItemCount(sub), 2);
    EXPECT_EQ(GetMenuItemID(sub, 0), 11u);
    wchar_t caption[32];
    GetMenuStringW(menu->Handle(), 0, caption, 32, MF_BYPOSITION);
    EXPECT_EQ(System::FromWStr(caption), u"Arquivo");

    EXPECT_FALSE(menu->GetItemChecked(11));
    menu->SetItemChecked(11, true);
    EXPECT_TRUE(menu->GetItemChecked(11));
    menu->SetItemChecked(11, false);
    EXPECT_FALSE(menu->GetItemChecked(11));
    EXPECT_FALSE(menu->GetItemChecked(77));
    EXPECT_FALSE(menu->GetItemChecked(10)) << "a submenu item has no check";
    menu->SetItemEnabled(12, false);
    EXPECT_TRUE(GetMenuState(menu->Handle(), 12, MF_BYCOMMAND) & MF_GRAYED);
    menu->SetItemEnabled(12, true);
    EXPECT_FALSE(GetMenuState(menu->Handle(), 12, MF_BYCOMMAND) & MF_GRAYED);
    menu->SetItemEnabled(77, false);  // nothing

    const HMENU handle = menu->Handle();
    menu = nullptr;
    EXPECT_FALSE(IsMenu(handle));
    EXPECT_FALSE(IsMenu(sub)) << "the submenus go with it";
    TRef<TNativeWinMenu> bar = MakeRef<TNativeWinMenu>(false);
    EXPECT_FALSE(bar->IsPopup());
    EXPECT_TRUE(IsMenu(bar->Handle()));
}

namespace {

// Ends the menu loop from inside it: a timer of the owner's thread.
void CALLBACK EndMenuSoon(HWND, UINT, UINT_PTR Timer, DWORD) {
    KillTimer(nullptr, Timer);
    EndMenu();
}

// Chooses the first item with the keyboard from inside the menu loop.
void CALLBACK ChooseFirstSoon(HWND, UINT, UINT_PTR Timer, DWORD) {
    KillTimer(nullptr, Timer);
    PostMessageW(GetFocus() ? GetFocus() : EnsureTrayWindow(), WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(GetFocus() ? GetFocus() : EnsureTrayWindow(), WM_KEYDOWN, VK_RETURN, 0);
}

} // namespace

TEST(NativeMenu, PopupReportsAChoiceButNotADismissal) {
    TRef<TNativeWinMenu> menu = MakeRef<TNativeWinMenu>(true);
    TRef<TRecordingEvents> events = MakeRef<TRecordingEvents>();
    menu->Events = events;
    menu->AddItem(0, u"Abrir", 1);
    SetTimer(nullptr, 0, 200, EndMenuSoon);
    menu->Popup();
    EXPECT_TRUE(events->Log.empty());
    // A choice made with the keys is reported as Reserved39(1).
    SetTimer(nullptr, 0, 200, ChooseFirstSoon);
    SetTimer(nullptr, 0, 1500, EndMenuSoon);
    menu->Popup();
    EXPECT_EQ(events->Log, std::vector<std::string>{"chosen 1"});
}

TEST(NativeMenu, ASinkThatDropsItselfLivesUntilItsHandlerReturns) {
    TRef<TNativeWinMenu> menu = MakeRef<TNativeWinMenu>(true);
    std::vector<std::string> report;
    menu->Events = MakeRef<TDroppingEvents>(*menu, report);
    menu->AddItem(0, u"Abrir", 1);
    SetTimer(nullptr, 0, 200, ChooseFirstSoon);
    SetTimer(nullptr, 0, 1500, EndMenuSoon);
    menu->Popup();
    EXPECT_EQ(report, (std::vector<std::string>{"alive after the drop", "destroyed"}));
    EXPECT_EQ(menu->Events, nullptr);
}
