// Tray icons and native menus, and the hidden window that serves both.
#include <windows.h>

#include "Zyl.Platform.Win.Api.h"
#include "Zyl.Platform.Win.h"

#include <algorithm>
#include <cstring>

namespace Zyl {

namespace {

using namespace WinApi;
using System::TLazyProc;

TLazyProc<decltype(&::Shell_NotifyIconW)> pShell_NotifyIconW{u"shell32.dll", "Shell_NotifyIconW"};
TLazyProc<decltype(&::RegisterClassExW)> pRegisterClassExW{u"user32.dll", "RegisterClassExW"};
TLazyProc<decltype(&::RegisterWindowMessageW)> pRegisterWindowMessageW{u"user32.dll", "RegisterWindowMessageW"};
TLazyProc<decltype(&::CreateWindowExW)> pCreateWindowExW{u"user32.dll", "CreateWindowExW"};
TLazyProc<decltype(&::DefWindowProcW)> pDefWindowProcW{u"user32.dll", "DefWindowProcW"};
TLazyProc<decltype(&::GetCursorPos)> pGetCursorPos{u"user32.dll", "GetCursorPos"};
TLazyProc<decltype(&::DestroyIcon)> pDestroyIcon{u"user32.dll", "DestroyIcon"};
TLazyProc<decltype(&::CreateIconIndirect)> pCreateIconIndirect{u"user32.dll", "CreateIconIndirect"};
TLazyProc<decltype(&::CreatePopupMenu)> pCreatePopupMenu{u"user32.dll", "CreatePopupMenu"};
TLazyProc<decltype(&::CreateMenu)> pCreateMenu{u"user32.dll", "CreateMenu"};
TLazyProc<decltype(&::DestroyMenu)> pDestroyMenu{u"user32.dll", "DestroyMenu"};
TLazyProc<decltype(&::AppendMenuW)> pAppendMenuW{u"user32.dll", "AppendMenuW"};
TLazyProc<decltype(&::ModifyMenuW)> pModifyMenuW{u"user32.dll", "ModifyMenuW"};
TLazyProc<decltype(&::EnableMenuItem)> pEnableMenuItem{u"user32.dll", "EnableMenuItem"};
TLazyProc<decltype(&::CheckMenuItem)> pCheckMenuItem{u"user32.dll", "CheckMenuItem"};
TLazyProc<decltype(&::GetMenuState)> pGetMenuState{u"user32.dll", "GetMenuState"};
TLazyProc<decltype(&::SetForegroundWindow)> pSetForegroundWindow{u"user32.dll", "SetForegroundWindow"};
TLazyProc<decltype(&::TrackPopupMenu)> pTrackPopupMenu{u"user32.dll", "TrackPopupMenu"};
TLazyProc<decltype(&::PostMessageW)> pPostMessageW{u"user32.dll", "PostMessageW"};

static_assert(sizeof(NOTIFYICONDATAW) == 976);
static_assert(sizeof(WNDCLASSEXW) == 80);

HWND TrayWindow = nullptr;
bool TrayClassRegistered = false;
UINT TaskbarCreatedMsg = 0;
int32_t NextTrayIconId = 0;
// Counted: the registry keeps every icon alive until the program ends.
std::vector<TRef<TWinTrayIcon>> TrayIcons;

// The first Limit units of Text into a field of the record, the rest 0.
template <size_t N>
void CopyField(wchar_t (&Field)[N], const std::u16string& Text, size_t Limit) {
    const size_t units = std::min(Text.size(), Limit);
    std::memcpy(Field, Text.data(), units * sizeof(char16_t));
}

void DispatchTrayNotification(TPlatformEvents& Events, UINT Notification) {
    POINT cursor{};
    pGetCursorPos()(&cursor);
    switch (Notification) {
        case WM_LBUTTONDOWN: Events.MouseDown(cursor.x, cursor.y, MouseButtonLeft, 0); break;
        case WM_LBUTTONUP: Events.MouseUp(cursor.x, cursor.y, MouseButtonLeft, 0); break;
        case WM_LBUTTONDBLCLK: Events.DoubleClick(); break;
        case WM_RBUTTONDOWN: Events.MouseDown(cursor.x, cursor.y, MouseButtonRight, 0); break;
        case WM_RBUTTONUP: Events.MouseUp(cursor.x, cursor.y, MouseButtonRight, 0); break;
        case WM_MBUTTONDOWN: Events.MouseDown(cursor.x, cursor.y, MouseButtonMiddle, 0); break;
        case WM_MBUTTONUP: Events.MouseUp(cursor.x, cursor.y, MouseButtonMiddle, 0); break;
        case NIN_BALLOONUSERCLICK: Events.Click(); break;
    }
}


} // namespace

HICON IconOfSurface(TPlatformSurface* Surface) {
    if (!Surface) return nullptr;
    const uint8_t* bits = Surface->Bits();
    const int32_t width = Surface->Width(), height = Surface->Height();
    if (!bits || width <= 0 || height <= 0 || Surface->Stride() < width * 4) return nullptr;
    void* colourBits = nullptr;
    const TGdiObject colour(CreateTopDownSection(nullptr, width, height, &colourBits));
    if (!colour.Get() || !colourBits) return nullptr;
    pGdiFlush()();
    // Row by row: a surface's rows may be padded past their pixels.
    const size_t rowBytes = size_t(width) * 4;
    for (int32_t y = 0; y < height; ++y)
        std::memcpy(static_cast<uint8_t*>(colourBits) + rowBytes * size_t(y),
                    bits + size_t(Surface->Stride()) * size_t(y), rowBytes);
    const TGdiObject mask(pCreateBitmap()(width, height, 1, 1, nullptr));
    ICONINFO icon{TRUE, 0, 0, HBITMAP(mask.Get()), HBITMAP(colour.Get())};
    return pCreateIconIndirect()(&icon);
}

TShellNotifyIcon SystemShellNotifyIcon() {
    return [](DWORD message, NOTIFYICONDATAW* data) { return pShell_NotifyIconW()(message, data); };
}

TShellNotifyIcon& ShellNotifyIconCall() {
    static TShellNotifyIcon call = SystemShellNotifyIcon();
    return call;
}

HWND EnsureTrayWindow() {
    if (TrayWindow) return TrayWindow;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (!TrayClassRegistered) {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof windowClass;
        windowClass.lpfnWndProc = TrayWindowProc;
        windowClass.hInstance = instance;
        windowClass.lpszClassName = L"ZylTrayWindow";
        pRegisterClassExW()(&windowClass);
        TrayClassRegistered = true;
        TaskbarCreatedMsg = pRegisterWindowMessageW()(L"TaskbarCreated");
    }
    TrayWindow = pCreateWindowExW()(0, L"ZylTrayWindow", L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                                    nullptr);
    return TrayWindow;
}

LRESULT CALLBACK TrayWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam) {
    // An Exception of a handler is dropped; anything else waits for the pump.
    return RunCallbackBody<LRESULT>(true, 0, [&]() -> LRESULT {
        if (Message == TrayCallbackMessage) {
            const TRef<TWinTrayIcon> icon = FindTrayIcon(int32_t(uint32_t(WParam)));
            // Held for the call: a handler may clear or replace the icon's Events.
            if (const TRef<TPlatformEvents> sink = icon ? icon->Events : nullptr)
                DispatchTrayNotification(*sink, UINT(LParam & 0xFFFF));
            return 0;
        }
        if (TaskbarCreatedMsg && Message == TaskbarCreatedMsg) {
            // A copy: a handler may add icons while they are restored.
            const std::vector<TRef<TWinTrayIcon>> icons = TrayIcons;
            for (const TRef<TWinTrayIcon>& icon : icons)
                if (icon) icon->Restore();
            return 0;
        }
        return pDefWindowProcW()(Window, Message, WParam, LParam);
    });
}

// --- Tray icons -------------------------------------------------------------------

TRef<TWinTrayIcon> CreateWinTrayIcon() {
    TRef<TWinTrayIcon> icon = System::MakeRef<TWinTrayIcon>();
    EnsureTrayWindow();
    icon->id_ = ++NextTrayIconId;
    TrayIcons.push_back(icon);
    return icon;
}

TRef<TWinTrayIcon> FindTrayIcon(int32_t Id) {
    for (const TRef<TWinTrayIcon>& icon : TrayIcons)
        if (icon && icon->Id() == Id) return icon;
    return nullptr;
}

void ReleaseTrayIcons() {
    std::vector<TRef<TWinTrayIcon>> icons;
    icons.swap(TrayIcons);
}

TWinTrayIcon::~TWinTrayIcon() {
    if (visible_) {
        NOTIFYICONDATAW record = IdRecord();
        ShellNotifyIconCall()(NIM_DELETE, &record);
    }
    for (TRef<TWinTrayIcon>& slot : TrayIcons)
        if (slot.Get() == this) slot = nullptr;
    if (icon_) pDestroyIcon()(icon_);
}

NOTIFYICONDATAW TWinTrayIcon::IdRecord() const {
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof record;
    record.hWnd = TrayWindow;
    record.uID = UINT(id_);
    return record;
}

NOTIFYICONDATAW TWinTrayIcon::FullRecord() const {
    NOTIFYICONDATAW record = IdRecord();
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = TrayCallbackMessage;
    record.hIcon = icon_;
    CopyField(record.szTip, tip_, 126);
    return record;
}

void TWinTrayIcon::SetVisible(bool Visible) {
    if (Visible == visible_) return;
    visible_ = Visible;
    if (Visible) {
        NOTIFYICONDATAW record = FullRecord();
        ShellNotifyIconCall()(NIM_ADD, &record);
    } else {
        NOTIFYICONDATAW record = IdRecord();
        ShellNotifyIconCall()(NIM_DELETE, &record);
    }
}

void TWinTrayIcon::SetIcon(TPlatformSurface* Surface) {
    const HICON created = IconOfSurface(Surface);
    const HICON old = std::exchange(icon_, created);
    if (visible_) {
        NOTIFYICONDATAW record = FullRecord();
        ShellNotifyIconCall()(NIM_MODIFY, &record);
    }
    if (old) pDestroyIcon()(old);
}

void TWinTrayIcon::SetTip(const std::u16string& Text) {
    tip_ = Text;
    if (!visible_) return;
    NOTIFYICONDATAW record = FullRecord();
    ShellNotifyIconCall()(NIM_MODIFY, &record);
}

void TWinTrayIcon::ShowBalloon(const std::u16string& Title, const std::u16string& Text, int32_t Kind) {
    if (!visible_) return;
    NOTIFYICONDATAW record = IdRecord();
    record.uFlags = NIF_INFO;
    CopyField(record.szInfo, Text, 254);
    CopyField(record.szInfoTitle, Title, 62);
    record.dwInfoFlags = Kind == 1 ? NIIF_WARNING : Kind == 3 ? NIIF_ERROR : NIIF_INFO;
    ShellNotifyIconCall()(NIM_MODIFY, &record);
}

void TWinTrayIcon::HideBalloon() {
    if (!visible_) return;
    NOTIFYICONDATAW record = IdRecord();
    record.uFlags = NIF_INFO;
    ShellNotifyIconCall()(NIM_MODIFY, &record);
}

void TWinTrayIcon::Restore() {
    if (!visible_) return;
    NOTIFYICONDATAW record = FullRecord();
    ShellNotifyIconCall()(NIM_ADD, &record);
}

// --- Menus --------------------------------------------------------------------------

TNativeWinMenu::TNativeWinMenu(bool Popup)
    : ownerWindow_(EnsureTrayWindow()), menu_(Popup ? pCreatePopupMenu()() : pCreateMenu()()), isPopup_(Popup) {}

TNativeWinMenu::~TNativeWinMenu() {
    // The submenus go with it.
    if (menu_) pDestroyMenu()(menu_);
}

TNativeWinMenu::TItem* TNativeWinMenu::Find(int32_t Id) {
    const auto found = std::find_if(items_.begin(), items_.end(), [Id](const TItem& item) { return item.Id == Id; });
    return found == items_.end() ? nullptr : &*found;
}

HMENU TNativeWinMenu::MenuFor(int32_t ParentId) {
    if (ParentId == 0) return menu_;
    TItem* parent = Find(ParentId);
    if (!parent) return menu_;
    if (!parent->SubMenu) {
        parent->SubMenu = pCreatePopupMenu()();
        pModifyMenuW()(parent->ParentMenu, UINT(parent->Id), MF_BYCOMMAND | MF_POPUP,
                       reinterpret_cast<UINT_PTR>(parent->SubMenu), System::WStr(parent->Caption));
    }
    return parent->SubMenu;
}

HMENU TNativeWinMenu::SubMenuOf(int32_t Id) const {
    for (const TItem& item : items_)
        if (item.Id == Id) return item.SubMenu;
    return nullptr;
}

void TNativeWinMenu::AddItem(int32_t ParentId, const std::u16string& Caption, int32_t Id) {
    const HMENU menu = MenuFor(ParentId);
    pAppendMenuW()(menu, MF_STRING, UINT_PTR(uint32_t(Id)), System::WStr(Caption));
    items_.push_back(TItem{Id, menu, nullptr, Caption});
}

void TNativeWinMenu::AddCheckItem(int32_t ParentId, const std::u16string& Caption, int32_t Id) {
    AddItem(ParentId, Caption, Id);
}

void TNativeWinMenu::AddSeparator(int32_t ParentId) {
    pAppendMenuW()(MenuFor(ParentId), MF_SEPARATOR, 0, nullptr);
}

void TNativeWinMenu::SetItemEnabled(int32_t Id, bool Enabled) {
    if (const TItem* item = Find(Id))
        pEnableMenuItem()(item->ParentMenu, UINT(Id), MF_BYCOMMAND | (Enabled ? MF_ENABLED : MF_GRAYED));
}

void TNativeWinMenu::SetItemChecked(int32_t Id, bool Checked) {
    if (const TItem* item = Find(Id))
        pCheckMenuItem()(item->ParentMenu, UINT(Id), MF_BYCOMMAND | (Checked ? MF_CHECKED : MF_UNCHECKED));
}

bool TNativeWinMenu::GetItemChecked(int32_t Id) {
    const TItem* item = Find(Id);
    if (!item) return false;
    // An item turned into a submenu has no command any more: -1, not checked.
    const UINT state = pGetMenuState()(item->ParentMenu, UINT(Id), MF_BYCOMMAND);
    return state != UINT(-1) && (state & MF_CHECKED);
}

void TNativeWinMenu::Popup() {
    POINT cursor{};
    pGetCursorPos()(&cursor);
    pSetForegroundWindow()(ownerWindow_);
    const BOOL chosen =
        pTrackPopupMenu()(menu_, TPM_RETURNCMD | TPM_RIGHTBUTTON, cursor.x, cursor.y, 0, ownerWindow_, nullptr);
    pPostMessageW()(ownerWindow_, WM_NULL, 0, 0);
    if (!chosen) return;
    // Held for the call: the handler may clear or replace Events.
    if (const TRef<TPlatformEvents> sink = Events) sink->Reserved39(1);
}

} // namespace Zyl
