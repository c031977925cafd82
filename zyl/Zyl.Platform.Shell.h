// The Windows application of the widget library: a native message loop with
// real-time timers, and top-level windows that show an offscreen window's
// surface and feed it the system's keyboard and mouse input.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Platform.Shell.Core.h"
#include "Zyl.Platform.Win.h"

namespace Zyl {

class TShellWinWindow;

// The system calls the shell makes where a test must steer the clock, the
// wait, painting or a modal dialog; the system's own by default.
struct TShellCalls {
    ULONGLONG (*GetTickCount64)();
    using MsgWaitFunction = DWORD (*)(DWORD Count, const HANDLE* Handles, BOOL WaitAll, DWORD Milliseconds,
                                      DWORD WakeMask);
    MsgWaitFunction MsgWaitForMultipleObjects;
    HDC (*BeginPaint)(HWND Window, PAINTSTRUCT* Paint);
    BOOL (*EndPaint)(HWND Window, const PAINTSTRUCT* Paint);
    int (*MessageBox)(HWND Owner, LPCWSTR Text, LPCWSTR Title, UINT Flags);
    BOOL (*ChooseColor)(CHOOSECOLORW* Dialog);
    BOOL (*ChooseFont)(CHOOSEFONTW* Dialog);
};
TShellCalls& ShellCalls();
TShellCalls SystemShellCalls();

// QS_ALLINPUT; systems before Windows 8 refuse its touch and pointer bits,
// and after the first refusal the loop waits with 0x4FF instead.
constexpr DWORD ShellWakeMask = 0x1CFF;
constexpr DWORD ShellLegacyWakeMask = 0x4FF;

class TShellWinApp : public TOffscreenApp {
public:
    TShellWinApp();

    System::TRef<TWinPrinterList> PrinterList;
    // Not owned: each window adds itself when made and leaves when destroyed.
    std::vector<TShellWinWindow*> WindowList;
    uint64_t StartTick = 0;

    int64_t TickCount() override;
    std::u16string GetClipboardText() override;
    void SetClipboardText(const std::u16string& Text) override;
    void ClearClipboard() override;
    bool HasClipboardText() override;
    bool HasClipboardImage() override;
    TRef<TPlatformSurface> GetClipboardImage() override;
    void SetClipboardImage(TPlatformSurface* Surface) override;
    void Run() override;
    void ProcessMessages() override;
    void WaitForEvents(int32_t TimeoutMs) override;
    int32_t ScreenWidth() override;
    int32_t ScreenHeight() override;
    void GetWorkArea(int32_t X, int32_t Y, int32_t& Left, int32_t& Top, int32_t& Right, int32_t& Bottom) override;
    bool HasDisplay() override { return true; }
    TRef<TPlatformWindow> CreateWindow() override;
    TRef<TPlatformTrayIcon> CreateTrayIcon() override;
    TRef<TPlatformMenu> CreateMenu(bool Popup) override;
    int32_t MessageBox(TPlatformWindow* Owner, const std::u16string& Title, const std::u16string& Text,
                       int32_t Kind, int32_t Buttons) override;
    bool FileDialogEx(TPlatformWindow* Owner, const std::u16string& Title, bool Save,
                      const std::u16string& FileName, const std::u16string& InitialDir,
                      const std::u16string& Filter, const std::u16string& DefaultExt, int32_t& FilterIndex,
                      std::u16string& Result) override;
    int32_t PrinterCount() override;
    std::u16string PrinterName(int32_t Index) override;
    int32_t DefaultPrinterIndex() override;
    TRef<TPlatformPrintJob> BeginPrintJob(int32_t PrinterIndex, const std::u16string& Title, bool Landscape,
                                          int32_t Copies, const std::u16string& OutputFile) override;
    bool RunFileDialog(TPlatformWindow* Owner, const std::u16string& Title, int32_t Kind, int32_t Options,
                       const std::u16string& FileName, const std::u16string& InitialDir,
                       const std::u16string& Filter, const std::u16string& DefaultExt, int32_t& FilterIndex,
                       std::u16string& Result) override;
    bool ColorDialog(TPlatformWindow* Owner, void* Extra, int32_t& Color) override;
    bool FontDialog(TPlatformWindow* Owner, void* Extra, std::u16string& FaceName, int32_t& SizePoints,
                    int32_t& Style) override;

    // One pass: every queued message, the due timers, then each window's
    // pending repaint turned into a paint request.
    void PumpShellMessages();

private:
    TWinPrinterList& Printers(bool Refresh);
};

class TShellWinWindow : public TOffscreenWindow {
public:
    explicit TShellWinWindow(TShellWinApp* App);
    ~TShellWinWindow() override;

    System::TRef<TShellWinApp> ShellApp;
    HWND Handle = nullptr;
    bool InNativeResize = false;
    bool TrackingMouse = false;
    int32_t CaptureCount = 0;
    uint32_t Style = 0, ExStyle = 0;
    int32_t NativeBorderStyle = 0;
    bool PositionSet = false;
    int32_t NativeLeft = 0, NativeTop = 0;
    int32_t NativeWindowState = 0;
    int32_t LastSizeKind = 0;
    HWND OwnerHandle = nullptr;
    HICON IconHandle = nullptr;
    bool ThemeSet = false;
    bool ThemeDark = false;
    int32_t ThemeCaptionColor = 0, ThemeTextColor = 0, ThemeBorderColor = 0;
    int32_t MinTrackWidth = 0, MinTrackHeight = 0, MaxTrackWidth = 0, MaxTrackHeight = 0;

    // Destroys the native window and its icon, leaves the application's list
    // and disposes of the offscreen window.
    void Destroy();

    void SetTitle(const std::u16string& Text) override;
    void SetSize(int32_t Width, int32_t Height) override;
    void Show() override;
    void Hide() override;
    void Invalidate() override;
    void SetPosition(int32_t X, int32_t Y) override;
    void GetPosition(int32_t& X, int32_t& Y) override;
    void SetBorderStyle(int32_t Style) override;
    void SetWindowState(int32_t State) override;
    int32_t GetWindowState() override;
    void SetStayOnTop(bool Flag) override;
    void SetIcon(TPlatformSurface* Icon) override;
    void SetFrameTheme(bool Dark, int32_t CaptionColor, int32_t TextColor, int32_t BorderColor) override;
    void SetOwner(TPlatformWindow* Window) override;
    void SetSizeConstraints(int32_t MinWidth, int32_t MinHeight, int32_t MaxWidth, int32_t MaxHeight) override;
    void SetNoActivate(bool Flag) override;
    void GetClientOrigin(int32_t& X, int32_t& Y) override;

    void CreateShellWindowHandle();
    void ApplyShellWindowStyle(bool Apply);
    void FlushShellWindow();
    void PaintShellWindow();
    void PresentShellFrame();
    LRESULT HandleMessage(UINT Message, WPARAM WParam, LPARAM LParam);

private:
    void DestroyNativeWindow();
    void HideNative();
    SIZE OuterSize(int32_t Width, int32_t Height) const;
    void ApplyTrackLimits(MINMAXINFO& Info) const;
    void HandleSize(WPARAM Kind, LPARAM Size);
    void HandleClose();
    void HandleMove();
    void HandleMouseLeave();
    void ButtonDown(LPARAM Position, int32_t Button, bool DoubleClick);
    void ButtonUp(LPARAM Position, int32_t Button);
    void RemoveFromApp();
};

// The class's window procedure.
LRESULT CALLBACK ShellWindowProc(HWND Window, UINT Message, WPARAM WParam, LPARAM LParam);

// The modifier bits of Shift, Ctrl and Alt as the keyboard state has them now.
int32_t ShellModifiers();

} // namespace Zyl
