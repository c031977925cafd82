#include <windows.h>
#include <commdlg.h>

#include "Zyl.Platform.Shell.h"

#include <algorithm>
#include <cstring>

#include "System.Remainder.Os.h"
#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Offscreen.Diagnostics.h"
#include "Zyl.Platform.Soft.h"
#include "Zyl.Platform.Win.Api.h"

namespace Zyl {

using System::MakeRef;
using System::TLazyProc;
using System::TRef;

namespace {

// Bound by name on first use, as every call outside kernel32.
#define ZYL_USER32(Name) TLazyProc<decltype(&::Name)> p##Name{u"user32.dll", #Name}
#define ZYL_GDI32(Name) TLazyProc<decltype(&::Name)> p##Name{u"gdi32.dll", #Name}
ZYL_USER32(PeekMessageW);
ZYL_USER32(TranslateMessage);
ZYL_USER32(DispatchMessageW);
ZYL_USER32(GetSystemMetrics);
ZYL_USER32(MonitorFromPoint);
ZYL_USER32(GetMonitorInfoW);
ZYL_USER32(RegisterClassExW);
ZYL_USER32(LoadCursorW);
ZYL_USER32(CreateWindowExW);
ZYL_USER32(SetWindowLongPtrW);
ZYL_USER32(GetWindowLongPtrW);
ZYL_USER32(DestroyWindow);
ZYL_USER32(DefWindowProcW);
ZYL_USER32(SetWindowTextW);
ZYL_USER32(SetWindowPos);
ZYL_USER32(AdjustWindowRectEx);
ZYL_USER32(ShowWindow);
ZYL_USER32(SetForegroundWindow);
ZYL_USER32(GetForegroundWindow);
ZYL_USER32(InvalidateRect);
ZYL_USER32(IsWindowVisible);
ZYL_USER32(GetWindowRect);
ZYL_USER32(IsIconic);
ZYL_USER32(IsZoomed);
ZYL_USER32(SendMessageW);
ZYL_USER32(DestroyIcon);
ZYL_USER32(ClientToScreen);
ZYL_USER32(ScreenToClient);
ZYL_USER32(GetUpdateRect);
ZYL_USER32(GetUpdateRgn);
ZYL_USER32(InvalidateRgn);
ZYL_USER32(ValidateRect);
ZYL_USER32(GetKeyState);
ZYL_USER32(TrackMouseEvent);
ZYL_USER32(SetCapture);
ZYL_USER32(ReleaseCapture);
ZYL_USER32(SetCursor);
ZYL_USER32(GetDC);
ZYL_USER32(ReleaseDC);
ZYL_USER32(MsgWaitForMultipleObjects);
ZYL_USER32(BeginPaint);
ZYL_USER32(EndPaint);
ZYL_USER32(MessageBoxW);
ZYL_GDI32(GdiFlush);
ZYL_GDI32(BitBlt);
ZYL_GDI32(GetDeviceCaps);
ZYL_GDI32(CreateRectRgn);
ZYL_GDI32(CombineRgn);
TLazyProc<decltype(&::ChooseColorW)> pChooseColorW{u"comdlg32.dll", "ChooseColorW"};
TLazyProc<decltype(&::ChooseFontW)> pChooseFontW{u"comdlg32.dll", "ChooseFontW"};
#undef ZYL_USER32
#undef ZYL_GDI32

constexpr wchar_t kClassName[] = L"ZylShellWindow";
bool ClassRegistered = false;
// After the system refused the full wake mask once, the loop keeps to the
// older one.
DWORD WakeMask = ShellWakeMask;
COLORREF CustomColors[16] = {};

LPCWSTR W(const std::u16string& text) { return reinterpret_cast<LPCWSTR>(text.c_str()); }

HWND OwnerHandleOf(TPlatformWindow* owner) {
    auto* shell = dynamic_cast<TShellWinWindow*>(owner);
    return shell ? shell->Handle : nullptr;
}

HICON AppIcon(bool small) {
    static const HICON large = LoadAppIcon(false), smallIcon = LoadAppIcon(true);
    return small ? smallIcon : large;
}

void RegisterShellClass() {
    if (ClassRegistered) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ShellWindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hIcon = AppIcon(false);
    wc.hIconSm = AppIcon(true);
    wc.hCursor = pLoadCursorW()(nullptr, MAKEINTRESOURCEW(32512));
    wc.lpszClassName = kClassName;
    pRegisterClassExW()(&wc);
    ClassRegistered = true;
}

void SendIcons(HWND window, HICON large, HICON small) {
    if (large) pSendMessageW()(window, WM_SETICON, ICON_BIG, LPARAM(large));
    if (small) pSendMessageW()(window, WM_SETICON, ICON_SMALL, LPARAM(small));
}

int32_t SignedLow(LPARAM value) { return int16_t(LOWORD(value)); }
int32_t SignedHigh(LPARAM value) { return int16_t(HIWORD(value)); }

// The region the next BeginPaint hands out and its paint DC reaches: its
// bounding box may take in areas between its pieces that the DC never
// reaches.
WinApi::TGdiObject UpdateRegion(HWND window) {
    WinApi::TGdiObject region(pCreateRectRgn()(0, 0, 0, 0));
    if (region.Get()) pGetUpdateRgn()(window, HRGN(region.Get()), FALSE);
    return region;
}

// The part of a rendered rectangle that lies in a client area.
RECT ClientPart(const TWindowRect& rendered, int32_t width, int32_t height) {
    return RECT{std::max(rendered.Left, 0), std::max(rendered.Top, 0), std::min(rendered.Right, width),
                std::min(rendered.Bottom, height)};
}

// Asks for the paint of what was rendered outside the region painted. A
// region that cannot be made asks for the whole of it.
void InvalidateOutside(HWND window, const RECT& rendered, HGDIOBJ painted) {
    const WinApi::TGdiObject rest(pCreateRectRgn()(rendered.left, rendered.top, rendered.right, rendered.bottom));
    if (!rest.Get() || !painted) {
        pInvalidateRect()(window, &rendered, FALSE);
        return;
    }
    const HRGN outside = HRGN(rest.Get());
    if (pCombineRgn()(outside, outside, HRGN(painted), RGN_DIFF) != NULLREGION)
        pInvalidateRgn()(window, outside, FALSE);
}

// Clears a flag however the scope is left.
struct TFlagScope {
    bool& Flag;
    explicit TFlagScope(bool& flag) : Flag(flag) { Flag = true; }
    ~TFlagScope() { Flag = false; }
};

} // namespace

TShellCalls SystemShellCalls() {
    return {
        [] { return ::GetTickCount64(); },
        [](DWORD count, const HANDLE* handles, BOOL all, DWORD ms, DWORD mask) {
            return pMsgWaitForMultipleObjects()(count, handles, all, ms, mask);
        },
        [](HWND window, PAINTSTRUCT* paint) { return pBeginPaint()(window, paint); },
        [](HWND window, const PAINTSTRUCT* paint) { return pEndPaint()(window, paint); },
        [](HWND owner, LPCWSTR text, LPCWSTR title, UINT flags) { return pMessageBoxW()(owner, text, title, flags); },
        [](CHOOSECOLORW* dialog) { return pChooseColorW()(dialog); },
        [](CHOOSEFONTW* dialog) { return pChooseFontW()(dialog); },
    };
}

TShellCalls& ShellCalls() {
    static TShellCalls calls = SystemShellCalls();
    return calls;
}

int32_t ShellModifiers() {
    auto down = [](int key) { return (pGetKeyState()(key) & 0x8000) != 0; };
    return (down(VK_SHIFT) ? 1 : 0) | (down(VK_CONTROL) ? 4 : 0) | (down(VK_MENU) ? 8 : 0);
}

// ---- TShellWinApp ----------------------------------------------------------

TShellWinApp::TShellWinApp() { StartTick = ShellCalls().GetTickCount64(); }

int64_t TShellWinApp::TickCount() { return int64_t(ShellCalls().GetTickCount64() - StartTick); }

std::u16string TShellWinApp::GetClipboardText() { return ReadClipboardText(); }
void TShellWinApp::SetClipboardText(const std::u16string& Text) { WriteClipboardText(Text); }

void TShellWinApp::ClearClipboard() {
    if (!ClipboardCalls().Open(nullptr)) return;
    ClipboardCalls().Empty();
    ClipboardCalls().Close();
}

bool TShellWinApp::HasClipboardText() { return ClipboardCalls().IsFormatAvailable(CF_UNICODETEXT) != 0; }

bool TShellWinApp::HasClipboardImage() {
    return ClipboardCalls().IsFormatAvailable(CF_DIB) != 0 || ClipboardCalls().IsFormatAvailable(PngClipboardFormat()) != 0;
}

TRef<TPlatformSurface> TShellWinApp::GetClipboardImage() { return ReadClipboardImage(); }
void TShellWinApp::SetClipboardImage(TPlatformSurface* Surface) { WriteClipboardImage(Surface); }

void TShellWinApp::Run() {
    QuitRequested = false;
    for (;;) {
        PumpShellMessages();
        if (QuitRequested) return;
        WaitForEvents(int32_t(ShellWaitTime(Timers, Clock)));
        if (QuitRequested) return;
    }
}

void TShellWinApp::ProcessMessages() { PumpShellMessages(); }

void TShellWinApp::WaitForEvents(int32_t TimeoutMs) {
    if (ShellCalls().MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(TimeoutMs), WakeMask) == WAIT_FAILED &&
        WakeMask == ShellWakeMask) {
        WakeMask = ShellLegacyWakeMask;
        ShellCalls().MsgWaitForMultipleObjects(0, nullptr, FALSE, DWORD(TimeoutMs), WakeMask);
    }
}

void TShellWinApp::PumpShellMessages() {
    // What a system modal loop dispatched since the last pass.
    RaisePendingCallbackException();
    MSG message;
    while (pPeekMessageW()(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            QuitRequested = true;
            continue;
        }
        pTranslateMessage()(&message);
        pDispatchMessageW()(&message);
        RaisePendingCallbackException();
    }
    RunShellTimers(*this, TickCount());
    std::vector<TRef<TShellWinWindow>> windows(WindowList.begin(), WindowList.end());
    for (const TRef<TShellWinWindow>& window : windows) window->FlushShellWindow();
}

int32_t TShellWinApp::ScreenWidth() { return pGetSystemMetrics()(SM_CXSCREEN); }
int32_t TShellWinApp::ScreenHeight() { return pGetSystemMetrics()(SM_CYSCREEN); }

void TShellWinApp::GetWorkArea(int32_t X, int32_t Y, int32_t& Left, int32_t& Top, int32_t& Right, int32_t& Bottom) {
    Left = 0, Top = 0, Right = ScreenWidth(), Bottom = ScreenHeight();
    const HMONITOR monitor = pMonitorFromPoint()(POINT{X, Y}, MONITOR_DEFAULTTONEAREST);
    if (!monitor) return;
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (!pGetMonitorInfoW()(monitor, &info)) return;
    Left = info.rcWork.left, Top = info.rcWork.top, Right = info.rcWork.right, Bottom = info.rcWork.bottom;
}

TRef<TPlatformWindow> TShellWinApp::CreateWindow() { return MakeRef<TShellWinWindow>(this); }

TRef<TPlatformTrayIcon> TShellWinApp::CreateTrayIcon() { return CreateWinTrayIcon(); }

TRef<TPlatformMenu> TShellWinApp::CreateMenu(bool Popup) { return MakeRef<TNativeWinMenu>(Popup); }

int32_t TShellWinApp::MessageBox(TPlatformWindow* Owner, const std::u16string& Title, const std::u16string& Text,
                                 int32_t Kind, int32_t Buttons) {
    return MessageBoxAnswerFrom(
        ShellCalls().MessageBox(OwnerHandleOf(Owner), W(Text), W(Title), MessageBoxFlagsFor(Kind, Buttons)));
}

bool TShellWinApp::FileDialogEx(TPlatformWindow* Owner, const std::u16string& Title, bool Save,
                                const std::u16string& FileName, const std::u16string& InitialDir,
                                const std::u16string& Filter, const std::u16string& DefaultExt,
                                int32_t& FilterIndex, std::u16string& Result) {
    return ShowSimpleFileDialog(OwnerHandleOf(Owner), Title, Save, FileName, InitialDir, Filter, DefaultExt,
                                FilterIndex, Result);
}

TWinPrinterList& TShellWinApp::Printers(bool Refresh) {
    if (!PrinterList) PrinterList = MakeRef<TWinPrinterList>();
    if (Refresh) PrinterList->Refresh();
    return *PrinterList;
}

int32_t TShellWinApp::PrinterCount() { return Printers(true).Count(); }
std::u16string TShellWinApp::PrinterName(int32_t Index) { return Printers(false).PrinterName(Index); }
int32_t TShellWinApp::DefaultPrinterIndex() { return Printers(true).DefaultIndex(); }

TRef<TPlatformPrintJob> TShellWinApp::BeginPrintJob(int32_t PrinterIndex, const std::u16string& Title,
                                                    bool Landscape, int32_t Copies,
                                                    const std::u16string& OutputFile) {
    return Printers(!PrinterList).StartJob(PrinterIndex, Title, Landscape, Copies, OutputFile);
}

bool TShellWinApp::RunFileDialog(TPlatformWindow* Owner, const std::u16string& Title, int32_t Kind, int32_t Options,
                                 const std::u16string& FileName, const std::u16string& InitialDir,
                                 const std::u16string& Filter, const std::u16string& DefaultExt,
                                 int32_t& FilterIndex, std::u16string& Result) {
    return ShowFileDialog(OwnerHandleOf(Owner), Title, Kind, Options, FileName, InitialDir, Filter, DefaultExt,
                          FilterIndex, Result);
}

bool TShellWinApp::ColorDialog(TPlatformWindow* Owner, void*, int32_t& Color) {
    CHOOSECOLORW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = OwnerHandleOf(Owner);
    dialog.rgbResult = COLORREF(Color) & 0xFFFFFF;
    dialog.lpCustColors = CustomColors;
    dialog.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ShellCalls().ChooseColor(&dialog)) return false;
    Color = int32_t(dialog.rgbResult & 0xFFFFFF);
    return true;
}

bool TShellWinApp::FontDialog(TPlatformWindow* Owner, void*, std::u16string& FaceName, int32_t& SizePoints,
                              int32_t& Style) {
    LOGFONTW font{};
    const HDC screen = pGetDC()(nullptr);
    const int dpi = pGetDeviceCaps()(screen, LOGPIXELSY);
    pReleaseDC()(nullptr, screen);
    font.lfHeight = -MulDiv(SizePoints, dpi, 72);
    font.lfWeight = (Style & 1) ? 700 : 400;
    font.lfItalic = (Style & 2) ? 1 : 0;
    font.lfCharSet = DEFAULT_CHARSET;
    const size_t faceLength = std::min<size_t>(FaceName.size(), 31);
    std::memcpy(font.lfFaceName, FaceName.data(), faceLength * sizeof(char16_t));
    CHOOSEFONTW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = OwnerHandleOf(Owner);
    dialog.lpLogFont = &font;
    dialog.iPointSize = SizePoints * 10;
    dialog.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT;
    if (!ShellCalls().ChooseFont(&dialog)) return false;
    const auto* face = reinterpret_cast<const char16_t*>(font.lfFaceName);
    FaceName.assign(face, std::find(face, face + LF_FACESIZE, u'\0'));
    SizePoints = FontPointsFromTenths(dialog.iPointSize);
    Style = FontStyleFromChoice(font.lfWeight, font.lfItalic != 0);
    return true;
}

// ---- TShellWinWindow -------------------------------------------------------

TShellWinWindow::TShellWinWindow(TShellWinApp* App) : TOffscreenWindow(App), ShellApp(App) {
    App->WindowList.push_back(this);
}

TShellWinWindow::~TShellWinWindow() {
    DestroyNativeWindow();
    RemoveFromApp();
}

void TShellWinWindow::RemoveFromApp() {
    if (!ShellApp) return;
    auto& list = ShellApp->WindowList;
    const auto found = std::find(list.begin(), list.end(), this);
    if (found != list.end()) list.erase(found);
}

void TShellWinWindow::DestroyNativeWindow() {
    if (Handle) {
        const HWND handle = std::exchange(Handle, nullptr);
        pSetWindowLongPtrW()(handle, GWLP_USERDATA, 0);
        pDestroyWindow()(handle);
    }
    if (IconHandle) pDestroyIcon()(std::exchange(IconHandle, nullptr));
}

void TShellWinWindow::Destroy() {
    RemoveFromApp();
    DestroyNativeWindow();
    Dispose();
}

SIZE TShellWinWindow::OuterSize(int32_t width, int32_t height) const {
    RECT r{0, 0, width, height};
    pAdjustWindowRectEx()(&r, Style, FALSE, ExStyle);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

void TShellWinWindow::SetTitle(const std::u16string& Text) {
    Title = Text;
    if (Handle) pSetWindowTextW()(Handle, W(Text));
}

void TShellWinWindow::SetSize(int32_t width, int32_t height) {
    if (width != Width || height != Height) {
        Width = width, Height = height;
        RecreateSurface();
        if (const TRef<TPlatformEvents> sink = Events) sink->Resized(width, height);
    }
    if (Handle && !InNativeResize) {
        const SIZE outer = OuterSize(width, height);
        pSetWindowPos()(Handle, nullptr, 0, 0, outer.cx, outer.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TShellWinWindow::Show() {
    CreateShellWindowHandle();
    Visible = true, RepaintPending = true, FullRepaint = true;
    if (!Handle) return;
    const int command = NativeWindowState == 2 ? SW_SHOWMAXIMIZED
                        : NativeWindowState == 1 ? SW_SHOWMINIMIZED
                        : NoActivate           ? SW_SHOWNA
                                               : SW_SHOW;
    pShowWindow()(Handle, command);
    if (!NoActivate) pSetForegroundWindow()(Handle);
    pInvalidateRect()(Handle, nullptr, FALSE);
}

void TShellWinWindow::HideNative() {
    const bool wasForeground = pGetForegroundWindow()() == Handle;
    pShowWindow()(Handle, SW_HIDE);
    if (wasForeground && OwnerHandle && pIsWindowVisible()(OwnerHandle)) pSetForegroundWindow()(OwnerHandle);
}

void TShellWinWindow::Hide() {
    Visible = false;
    if (Handle) HideNative();
}

void TShellWinWindow::Invalidate() {
    RepaintPending = true, FullRepaint = true;
    if (Handle && Visible) pInvalidateRect()(Handle, nullptr, FALSE);
}

void TShellWinWindow::SetPosition(int32_t X, int32_t Y) {
    PositionSet = true, NativeLeft = X, NativeTop = Y;
    if (Handle) pSetWindowPos()(Handle, nullptr, X, Y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void TShellWinWindow::GetPosition(int32_t& X, int32_t& Y) {
    RECT r;
    if (Handle && pGetWindowRect()(Handle, &r)) X = r.left, Y = r.top;
    else X = NativeLeft, Y = NativeTop;
}

void TShellWinWindow::SetBorderStyle(int32_t style) {
    NativeBorderStyle = style;
    ApplyShellWindowStyle(true);
}

void TShellWinWindow::SetWindowState(int32_t State) {
    NativeWindowState = State;
    if (Handle && Visible)
        pShowWindow()(Handle, State == 1 ? SW_SHOWMINIMIZED : State == 2 ? SW_SHOWMAXIMIZED : SW_RESTORE);
}

int32_t TShellWinWindow::GetWindowState() {
    if (!Handle) return 0;
    if (pIsIconic()(Handle)) return 1;
    if (pIsZoomed()(Handle)) return 2;
    return 0;
}

void TShellWinWindow::SetStayOnTop(bool Flag) {
    if (Handle)
        pSetWindowPos()(Handle, Flag ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                        SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
}

void TShellWinWindow::SetIcon(TPlatformSurface* Icon) {
    const HICON icon = IconOfSurface(Icon);
    if (!icon) return;
    if (Handle) SendIcons(Handle, icon, icon);
    if (IconHandle) pDestroyIcon()(IconHandle);
    IconHandle = icon;
}

void TShellWinWindow::SetFrameTheme(bool Dark, int32_t CaptionColor, int32_t TextColor, int32_t BorderColor) {
    ThemeSet = true, ThemeDark = Dark;
    ThemeCaptionColor = CaptionColor, ThemeTextColor = TextColor, ThemeBorderColor = BorderColor;
    if (Handle) ApplyShellFrameTheme(Handle, Dark, CaptionColor, TextColor, BorderColor);
}

void TShellWinWindow::SetOwner(TPlatformWindow* Window) {
    auto* owner = dynamic_cast<TShellWinWindow*>(Window);
    if (!owner) return;
    OwnerHandle = owner->Handle;
    if (Handle) pSetWindowLongPtrW()(Handle, GWLP_HWNDPARENT, LONG_PTR(OwnerHandle));
}

void TShellWinWindow::SetSizeConstraints(int32_t MinWidth, int32_t MinHeight, int32_t MaxWidth, int32_t MaxHeight) {
    MinTrackWidth = MinWidth, MinTrackHeight = MinHeight, MaxTrackWidth = MaxWidth, MaxTrackHeight = MaxHeight;
}

void TShellWinWindow::SetNoActivate(bool Flag) {
    NoActivate = Flag;
    ApplyShellWindowStyle(true);
}

void TShellWinWindow::GetClientOrigin(int32_t& X, int32_t& Y) {
    if (!Handle) {
        X = NativeLeft, Y = NativeTop;
        return;
    }
    POINT p{0, 0};
    pClientToScreen()(Handle, &p);
    X = p.x, Y = p.y;
}

void TShellWinWindow::CreateShellWindowHandle() {
    if (Handle) return;
    RegisterShellClass();
    if (Style == 0) ApplyShellWindowStyle(false);
    const SIZE outer = OuterSize(Width, Height);
    const int x = PositionSet ? NativeLeft : CW_USEDEFAULT, y = PositionSet ? NativeTop : CW_USEDEFAULT;
    const HWND handle = pCreateWindowExW()(ExStyle, kClassName, W(Title), Style, x, y, outer.cx, outer.cy,
                                           OwnerHandle, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!handle) return;
    Handle = handle;
    pSetWindowLongPtrW()(Handle, GWLP_USERDATA, LONG_PTR(this));
    if (ThemeSet) ApplyShellFrameTheme(Handle, ThemeDark, ThemeCaptionColor, ThemeTextColor, ThemeBorderColor);
    if (IconHandle) SendIcons(Handle, IconHandle, IconHandle);
    else SendIcons(Handle, AppIcon(false), AppIcon(true));
}

void TShellWinWindow::ApplyShellWindowStyle(bool Apply) {
    const TShellWindowStyle style = ShellWindowStyleFor(NativeBorderStyle, NoActivate);
    Style = style.Style, ExStyle = style.ExStyle;
    if (!Apply || !Handle) return;
    pSetWindowLongPtrW()(Handle, GWL_STYLE, LONG_PTR(Style));
    pSetWindowLongPtrW()(Handle, GWL_EXSTYLE, LONG_PTR(ExStyle));
    const SIZE outer = OuterSize(Width, Height);
    pSetWindowPos()(Handle, nullptr, 0, 0, outer.cx, outer.cy,
                    SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void TShellWinWindow::FlushShellWindow() {
    if (!Handle || !Visible || !RepaintPending) return;
    if (DirtyRepaintMode() != 0 && dynamic_cast<TSoftSurface*>(Surface.Get())) {
        // What was rendered: a repaint that a paint handler asked for
        // meanwhile is the next pass's.
        const RECT rendered = ClientPart(RenderWindowSurface(), Width, Height);
        pInvalidateRect()(Handle, &rendered, FALSE);
        return;
    }
    pInvalidateRect()(Handle, nullptr, FALSE);
}

void TShellWinWindow::PaintShellWindow() {
    auto* winSurface = dynamic_cast<TWinSurface*>(Surface.Get());
    if (!winSurface && PresentNoGdiRequested()) {
        PresentShellFrame();
        return;
    }
    const bool wasPending = RepaintPending;
    // Read before BeginPaint empties it.
    const WinApi::TGdiObject painted = wasPending ? UpdateRegion(Handle) : WinApi::TGdiObject();
    PAINTSTRUCT paint{};
    const HDC dc = ShellCalls().BeginPaint(Handle, &paint);
    // Every BeginPaint gets its EndPaint, even when rendering raises: the
    // paint DC goes back to the cache and the caret shows again.
    struct TEndPaint {
        HWND Window;
        PAINTSTRUCT* Paint;
        ~TEndPaint() { ShellCalls().EndPaint(Window, Paint); }
    } endPaint{Handle, &paint};
    const TWindowRect renderedPart = RenderWindowSurface();
    pGdiFlush()();
    const RECT rendered = ClientPart(renderedPart, Width, Height);
    // The paint DC reaches only the update region, which may be small areas
    // the system asked for before the pump turned the pending repaint into a
    // paint request: the rest of what was rendered must reach the screen by a
    // later paint. While a repaint is still pending (a paint handler asked
    // for one, or there is no surface), asking the system now would make
    // each paint ask again for the rest of its own region, without end: the
    // pending repaint takes in what was rendered, and the pump asks for both.
    if (wasPending && RepaintPending)
        RequestRepaint(renderedPart);
    else if (wasPending)
        InvalidateOutside(Handle, rendered, painted.Get());
    winSurface = dynamic_cast<TWinSurface*>(Surface.Get());
    if (winSurface) {
        pBitBlt()(dc, 0, 0, Width, Height, winSurface->MemDC(), 0, 0, SRCCOPY);
        return;
    }
    RECT region = paint.rcPaint;
    if (region.left >= region.right || region.top >= region.bottom) region = RECT{0, 0, Width, Height};
    if (wasPending) {
        region.left = std::min(region.left, rendered.left);
        region.top = std::min(region.top, rendered.top);
        region.right = std::max(region.right, rendered.right);
        region.bottom = std::max(region.bottom, rendered.bottom);
    }
    BlitSurfaceWithGdi(dc, Surface.Get(), region.left, region.top, region.right, region.bottom);
}

void TShellWinWindow::PresentShellFrame() {
    RECT update;
    pGetUpdateRect()(Handle, &update, FALSE);
    pValidateRect()(Handle, nullptr);
    RenderWindowSurface();
    if (!Surface) return;
    const TRef<TSurfacePresenter> presenter = GetCurrentPresenter();
    if (!presenter || presenter->UsesGdi()) {
        ReportPresentFailure(u"ZYL_PRESENT_NOGDI=1 exige um apresentador de GPU (ZYL_CANVAS=soft+d3d11, "
                             u"soft+d3d12 ou soft+dcomp); sem ele a casca nao apresenta (e nao usa o GDI).");
        return;
    }
    ReportPresentFailure(u"O apresentador \"" + presenter->Name() +
                         u"\" nao conseguiu apresentar o quadro, mesmo depois de recriar o dispositivo e de "
                         u"tentar o WARP (" +
                         presenter->LastErrorText() +
                         u"). A opcao ZYL_PRESENT_NOGDI=1 proibe o GDI: o quadro nao foi mostrado.");
}

void TShellWinWindow::ApplyTrackLimits(MINMAXINFO& info) const {
    auto apply = [this](int32_t width, int32_t height, POINT& target) {
        if (width <= 0 && height <= 0) return;
        const SIZE outer = OuterSize(width, height);
        if (width > 0) target.x = outer.cx;
        if (height > 0) target.y = outer.cy;
    };
    apply(MinTrackWidth, MinTrackHeight, info.ptMinTrackSize);
    apply(MaxTrackWidth, MaxTrackHeight, info.ptMaxTrackSize);
}

void TShellWinWindow::HandleMove() {
    RECT r;
    int32_t x = NativeLeft, y = NativeTop;
    if (pGetWindowRect()(Handle, &r)) x = r.left, y = r.top;
    NativeLeft = Left = x;
    NativeTop = Top = y;
    if (const TRef<TPlatformEvents> sink = Events) sink->Moved(x, y);
}

void TShellWinWindow::HandleSize(WPARAM kind, LPARAM size) {
    if (kind <= 2 && int32_t(kind) != LastSizeKind) {
        LastSizeKind = int32_t(kind);
        if (const TRef<TPlatformEvents> sink = Events) sink->WindowStateChanged(int32_t(kind));
    }
    const int32_t width = LOWORD(size), height = HIWORD(size);
    if (width == 0 || height == 0 || (width == Width && height == Height)) return;
    {
        // Cleared on every path, or a raising Resized would stop every later
        // SetSize from resizing the native window.
        TFlagScope resizing(InNativeResize);
        SetSize(width, height);
    }
    pInvalidateRect()(Handle, nullptr, FALSE);
}

void TShellWinWindow::HandleClose() {
    const TRef<TPlatformEvents> sink = Events;
    if (sink && !sink->CloseQuery()) return;
    Visible = false;
    if (Handle) HideNative();
}

void TShellWinWindow::HandleMouseLeave() {
    TrackingMouse = false;
    if (CapturedControl) return;
    const TRef<TOffscreenControl> hovered = std::exchange(HoveredControl, nullptr);
    if (hovered) {
        if (const TRef<TPlatformEvents> sink = hovered->Events) sink->MouseLeave();
    }
    if (const TRef<TPlatformEvents> sink = Events) sink->MouseMove(-10000, -10000, 0);
}

void TShellWinWindow::ButtonDown(LPARAM position, int32_t button, bool doubleClick) {
    pSetCapture()(Handle);
    ++CaptureCount;
    RouteMouseDown(SignedLow(position), SignedHigh(position), button, ShellModifiers());
    if (!doubleClick) return;
    // Counted: the control may have released itself in its MouseDown.
    const TRef<TOffscreenControl> pressed = PressedControl;
    TRef<TPlatformEvents> sink = pressed ? pressed->Events : nullptr;
    if (!sink) sink = Events;
    if (sink) sink->DoubleClick();
}

void TShellWinWindow::ButtonUp(LPARAM position, int32_t button) {
    if (CaptureCount > 0) --CaptureCount;
    if (CaptureCount == 0) pReleaseCapture()();
    RouteMouseUp(SignedLow(position), SignedHigh(position), button, ShellModifiers());
}

LRESULT TShellWinWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_MOVE: HandleMove(); return 0;
    case WM_SIZE: HandleSize(wParam, lParam); return 0;
    case WM_ACTIVATE:
        if (const TRef<TPlatformEvents> sink = Events) sink->Activated(LOWORD(wParam) != WA_INACTIVE);
        return 0;
    case WM_PAINT: PaintShellWindow(); return 0;
    case WM_CLOSE: HandleClose(); return 0;
    case WM_ERASEBKGND: return 1;
    case WM_GETMINMAXINFO: ApplyTrackLimits(*reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    case WM_NCDESTROY: {
        // The system destroyed the window (its owner went first): forget the
        // handle before it can be reused by another window.
        const HWND handle = std::exchange(Handle, nullptr);
        TrackingMouse = false, CaptureCount = 0;
        pSetWindowLongPtrW()(handle, GWLP_USERDATA, 0);
        return pDefWindowProcW()(handle, message, wParam, lParam);
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
        const int32_t code = VirtualKeyToKeyCode(uint32_t(wParam));
        if (code == 0) break;
        if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN) RouteKeyDown(code, ShellModifiers());
        else RouteKeyUp(code, ShellModifiers());
        return 0;
    }
    case WM_CHAR:
        if (wParam >= 0x20 && wParam != 0x7F) RouteCharInput(char16_t(wParam));
        return 0;
    case WM_MOUSEMOVE:
        if (!TrackingMouse) {
            TRACKMOUSEEVENT track{sizeof(TRACKMOUSEEVENT), TME_LEAVE, Handle, 0};
            pTrackMouseEvent()(&track);
            TrackingMouse = true;
        }
        RouteMouseMove(SignedLow(lParam), SignedHigh(lParam), ShellModifiers());
        return 0;
    case WM_LBUTTONDOWN: ButtonDown(lParam, 1, false); return 0;
    case WM_LBUTTONDBLCLK: ButtonDown(lParam, 1, true); return 0;
    case WM_LBUTTONUP: ButtonUp(lParam, 1); return 0;
    case WM_RBUTTONDOWN: ButtonDown(lParam, 3, false); return 0;
    case WM_RBUTTONDBLCLK: ButtonDown(lParam, 3, true); return 0;
    case WM_RBUTTONUP: ButtonUp(lParam, 3); return 0;
    case WM_MBUTTONDOWN: ButtonDown(lParam, 2, false); return 0;
    case WM_MBUTTONDBLCLK: ButtonDown(lParam, 2, true); return 0;
    case WM_MBUTTONUP: ButtonUp(lParam, 2); return 0;
    case WM_MOUSEWHEEL: {
        POINT p{SignedLow(lParam), SignedHigh(lParam)};
        pScreenToClient()(Handle, &p);
        RouteMouseWheel(p.x, p.y, int16_t(HIWORD(wParam)), ShellModifiers());
        return 0;
    }
    case WM_MOUSELEAVE: HandleMouseLeave(); return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) != HTCLIENT) break;
        {
            const uint32_t id = ShellCursorId(CurrentCursor);
            pSetCursor()(id ? pLoadCursorW()(nullptr, MAKEINTRESOURCEW(id)) : nullptr);
        }
        return 1;
    default: break;
    }
    return pDefWindowProcW()(Handle, message, wParam, lParam);
}

LRESULT CALLBACK ShellWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing unwinds through user32: an Exception goes to the application's
    // handler; anything else, and whatever the handler raises, waits for the
    // pump, which raises it once DispatchMessageW has returned.
    try {
        auto* raw = reinterpret_cast<TShellWinWindow*>(pGetWindowLongPtrW()(hwnd, GWLP_USERDATA));
        if (!raw) return pDefWindowProcW()(hwnd, message, wParam, lParam);
        // Counted for the whole call: a handler may drop the last other reference.
        const TRef<TShellWinWindow> window = raw;
        try {
            return window->HandleMessage(message, wParam, lParam);
        } catch (const System::Exception& e) {
            const TRef<TShellWinApp> app = window->ShellApp;
            if (app) app->HandleException(e);
        }
    } catch (...) {
        KeepPendingCallbackException();
    }
    return 0;
}

} // namespace Zyl
