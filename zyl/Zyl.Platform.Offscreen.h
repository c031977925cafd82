// The display-less backend: an application with a virtual clock, windows
// that own a pixel surface, controls that exist only as data inside them,
// and menus, tray icons and print jobs that record what they are told. The
// shell backend derives from it, and every drawn control is one
// TOffscreenControl.
//
// Ownership: windows and controls hold counted references both ways (the
// window's lists and its focus, capture, hover and pressed fields to the
// controls; each control to its window, its parent and its children). The
// cycles are broken only by Dispose, which the owner of a window or control
// must call before dropping its last reference; Dispose is idempotent and
// every operation stays harmless afterwards.
#pragma once

#include "Zyl.Platform.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Zyl {

class TOffscreenWindow;
class TOffscreenControl;
class TOffscreenMenu;
class TOffscreenTrayIcon;
class TOffscreenPrintJob;

// The partial repaint mode that a "ZYL_DIRTY" text selects: "1" gives 1,
// "check" gives 2 (exact, case-sensitive); every other text gives 0.
int32_t DirtyModeFromText(const std::u16string& text);

// The process's mode, read from the environment on the first call only.
int32_t DirtyRepaintMode();

// A rectangle of a window in client coordinates, right and bottom exclusive.
struct TWindowRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    bool Empty() const { return Left >= Right || Top >= Bottom; }
};

// Takes the first entry of control out of list, keeping the order of the
// others; whether there was one.
bool RemoveControl(std::vector<System::TRef<TOffscreenControl>>& list, const TOffscreenControl* control);

struct TOffscreenTimer {
    int32_t Id = 0;
    uint32_t Interval = 1;
    int64_t Due = 0;
    TPlatformTimerCallback Callback;
    bool Active = false;
};

class TOffscreenApp : public TPlatformApp {
public:
    TOffscreenApp() = default;

    std::vector<TOffscreenTimer> Timers;
    int32_t NextTimerId = 1;
    int64_t Clock = 0;
    bool QuitRequested = false;
    int32_t MessageBoxResult = 1;
    int32_t ScreenWidthValue = 1280;
    int32_t ScreenHeightValue = 800;
    bool DisplayPresent = true;
    System::TRef<TOffscreenPrintJob> LastPrintJob;
    System::TRef<TOffscreenTrayIcon> LastTrayIcon;
    System::TRef<TOffscreenMenu> LastMenu;
    bool FileDialogAccepts = false;
    std::u16string FileDialogAnswer;
    std::u16string FileDialogMultiAnswer;
    bool ColorDialogAccepts = false;
    int32_t ColorDialogAnswer = 0;

    int64_t TickCount() override;
    void Run() override;
    void Quit() override;
    int32_t AddTimer(int32_t intervalMs, TPlatformTimerCallback callback) override;
    void RemoveTimer(int32_t id) override;
    void ProcessMessages() override;
    void WaitForEvents(int32_t timeoutMs) override;
    int32_t ScreenWidth() override;
    int32_t ScreenHeight() override;
    bool HasDisplay() override;
    System::TRef<TPlatformWindow> CreateWindow() override;
    System::TRef<TPlatformControl> CreateCustomControl() override;
    System::TRef<TPlatformControl> CreateButton() override;
    System::TRef<TPlatformControl> CreateEdit() override;
    System::TRef<TPlatformControl> CreateCheckBox() override;
    System::TRef<TPlatformControl> CreateMemo() override;
    System::TRef<TPlatformControl> CreateListBox() override;
    System::TRef<TPlatformControl> CreateComboBox() override;
    System::TRef<TPlatformControl> CreateTabControl() override;
    System::TRef<TPlatformControl> CreateListView() override;
    System::TRef<TPlatformControl> CreateTreeView() override;
    System::TRef<TPlatformControl> CreateStatusBar() override;
    System::TRef<TPlatformControl> CreateToolBar() override;
    System::TRef<TPlatformTrayIcon> CreateTrayIcon() override;
    System::TRef<TPlatformMenu> CreateMenu(bool popup) override;
    int32_t MessageBox(TPlatformWindow* owner, const std::u16string& title,
                       const std::u16string& text, int32_t kind, int32_t buttons) override;
    bool FileDialog(TPlatformWindow* owner, const std::u16string& title, bool save,
                    const std::u16string& initialPath, std::u16string& fileName) override;
    int32_t PrinterCount() override;
    std::u16string PrinterName(int32_t index) override;
    int32_t DefaultPrinterIndex() override;
    System::TRef<TPlatformPrintJob> BeginPrintJob(int32_t printerIndex, const std::u16string& title,
                                                  bool landscape, int32_t copies,
                                                  const std::u16string& outputFile) override;
    bool RunFileDialog(TPlatformWindow* owner, const std::u16string& title, int32_t kind,
                       int32_t options, const std::u16string& fileName,
                       const std::u16string& initialDir, const std::u16string& filter,
                       const std::u16string& defaultExt, int32_t& filterIndex,
                       std::u16string& result) override;
    bool ColorDialog(TPlatformWindow* owner, void* extra, int32_t& colour) override;
    bool FontDialog(TPlatformWindow* owner, void* extra, std::u16string& faceName,
                    int32_t& sizePoints, int32_t& style) override;

private:
    // Fires, one at a time, every active timer due up to limit.
    void FireDueTimers(int64_t limit);
};

class TOffscreenWindow : public TPlatformWindow {
public:
    explicit TOffscreenWindow(TOffscreenApp* app);
    ~TOffscreenWindow() override;

    // Counted: the application lists no windows, so this closes no cycle.
    System::TRef<TOffscreenApp> App;
    System::TRef<TPlatformSurface> Surface;
    int32_t Width = 320;
    int32_t Height = 240;
    std::u16string Title;
    bool Visible = false;
    bool RepaintPending = false;
    bool FullRepaint = false;
    int32_t DirtyLeft = 0, DirtyTop = 0, DirtyRight = 0, DirtyBottom = 0;
    bool PartialPaint = false;
    int32_t Left = 0, Top = 0;
    int32_t BorderStyle = 0;
    int32_t WindowState = 0;
    bool StayOnTop = false;
    System::TRef<TPlatformWindow> Owner;
    bool NoActivate = false;
    bool HasIcon = false;
    int32_t MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
    // Counted, and each listed control holds this window counted in turn:
    // Dispose breaks these cycles.
    std::vector<System::TRef<TOffscreenControl>> TopLevelControls;
    std::vector<System::TRef<TOffscreenControl>> Popups;
    System::TRef<TOffscreenControl> FocusedControl;
    System::TRef<TOffscreenControl> CapturedControl;
    // Counted, so that a mouse-down handler that drops the last other
    // reference to its control cannot leave the shell's double-click dispatch
    // a dangling pointer; replaced at each press, released by Dispose.
    System::TRef<TOffscreenControl> PressedControl;
    System::TRef<TOffscreenControl> HoveredControl;
    int32_t CurrentCursor = 0;
    int32_t WindowCursor = 0;
    bool FrameDark = false;
    int32_t FrameCaptionColor = 0, FrameTextColor = 0, FrameBorderColor = 0;

    // Detaches every top-level control and popup with their subtrees, drops
    // focus, capture, hover, the pressed control and the surface. Idempotent;
    // afterwards the window paints nothing and takes no controls.
    void Dispose();
    bool Disposed() const { return disposed_; }

    void SetTitle(const std::u16string& text) override;
    void SetSize(int32_t width, int32_t height) override;
    void Show() override;
    void Hide() override;
    void Invalidate() override;
    void AddChild(TPlatformControl* control, int32_t x, int32_t y) override;
    void SetMainMenu(TPlatformMenu* menu) override;
    void AddPopupChild(TPlatformControl* control, int32_t x, int32_t y) override;
    void RemovePopupChild(TPlatformControl* control) override;
    void MovePopupChild(TPlatformControl* control, int32_t x, int32_t y) override;
    int32_t GetWidth() override;
    int32_t GetHeight() override;
    void SetPosition(int32_t x, int32_t y) override;
    void GetPosition(int32_t& x, int32_t& y) override;
    void SetBorderStyle(int32_t style) override;
    void SetWindowState(int32_t state) override;
    int32_t GetWindowState() override;
    void SetStayOnTop(bool flag) override;
    void SetIcon(TPlatformSurface* icon) override;
    void SetFrameTheme(bool dark, int32_t captionColor, int32_t textColor,
                       int32_t borderColor) override;
    void SetOwner(TPlatformWindow* window) override;
    void SetSizeConstraints(int32_t minWidth, int32_t minHeight, int32_t maxWidth,
                            int32_t maxHeight) override;
    void SetNoActivate(bool flag) override;
    void SetCursor(int32_t kind) override;

    void RecreateSurface();
    System::TRef<TPlatformSurface> GetSurface() const { return Surface; }
    std::u16string GetTitle() const { return Title; }
    // Drops the control from the popups, focus, capture and hover, sending
    // no event; the pressed control stays.
    void ForgetControl(TOffscreenControl* control);
    // Brings the surface up to date and gives the region it painted (empty
    // when it painted nothing). A Paint handler that asks for a repaint
    // leaves DirtyLeft .. DirtyBottom holding its request instead.
    TWindowRect RenderWindowSurface();
    void PaintWindowContent(TPlatformCanvas& canvas);
    void PaintControlTree(TOffscreenControl& control, TPlatformCanvas& canvas, int32_t x,
                          int32_t y);

    // Hit testing and input routing, in client coordinates.
    TOffscreenControl* ControlAtPoint(int32_t x, int32_t y, int32_t& localX, int32_t& localY);
    void RouteMouseMove(int32_t x, int32_t y, int32_t shift);
    void RouteMouseDown(int32_t x, int32_t y, int32_t button, int32_t shift);
    void RouteMouseUp(int32_t x, int32_t y, int32_t button, int32_t shift);
    void RouteMouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift);
    void RouteKeyDown(int32_t key, int32_t shift);
    void RouteKeyUp(int32_t key, int32_t shift);
    void RouteCharInput(char16_t character);

    // Asks for a repaint of the whole window.
    void RequestFullRepaint();
    // Asks for a repaint of a part of it (clipped to the window by the
    // caller): in the partial modes the part joins the pending region,
    // unless the whole window is pending.
    void RequestRepaint(const TWindowRect& part);

private:
    // A disposed window takes no control: the link would close a cycle that
    // nothing breaks any more.
    bool CanAdopt(TOffscreenControl* control) const;
    // Takes control out of its container into list (the top-level controls
    // or the popups) at (x, y).
    void Adopt(std::vector<System::TRef<TOffscreenControl>>& list, TOffscreenControl* control,
               int32_t x, int32_t y);
    // Detaches a top-level control or popup, and its subtree, from this window.
    void ReleaseControl(TOffscreenControl& control);
    // Key and character events go to the focused control's sink, else to
    // the window's.
    template <class Send>
    void RouteToKeyTarget(Send send);
    // The captured control, or the one under the point, as mouse-down and
    // mouse-up target them.
    template <class Send>
    void RouteButton(int32_t x, int32_t y, bool press, Send send);

    bool disposed_ = false;
};

class TOffscreenControl : public TPlatformControl {
public:
    TOffscreenControl() = default;
    ~TOffscreenControl() override;

    // Counted; the window's lists hold this control in turn (see Dispose).
    System::TRef<TOffscreenWindow> Window;
    // Counted; the parent's Children hold this control in turn (see Dispose).
    System::TRef<TOffscreenControl> Parent;
    std::vector<System::TRef<TOffscreenControl>> Children;
    int32_t Left = 0, Top = 0, Width = 0, Height = 0;
    bool Visible = true;
    bool Enabled = true;
    bool MouseTransparent = false;
    bool Reserved34Flag = false;
    int32_t Cursor = 0;
    std::u16string Hint;

    // Leaves the window's focus, capture, hover and popups and the container,
    // detaches the children with their subtrees, and drops this control's own
    // window, parent and children. Idempotent; a disposed control takes no
    // children and no container takes it.
    void Dispose();
    bool Disposed() const { return disposed_; }

    void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
    void GetBounds(int32_t& left, int32_t& top, int32_t& width, int32_t& height) override;
    void SetVisible(bool flag) override;
    void SetEnabled(bool flag) override;
    void SetFocus() override;
    void SetMouseCapture(bool capture) override;
    void SetMouseTransparent(bool flag) override;
    void Invalidate() override;
    void AddChild(TPlatformControl* child, int32_t x, int32_t y) override;
    void RemoveFromParent() override;
    void Reserved34(bool flag) override;
    bool HasFocus() override;
    void GetWindowOrigin(int32_t& x, int32_t& y) override;
    TPlatformWindow* GetWindow() override;
    void SetCursor(int32_t kind) override;
    int32_t GetCursor() override;
    void SetHint(const std::u16string& text) override;
    std::u16string GetHint() override;

    // Moves the control and its whole subtree into window (nil: out of any
    // window); every window left forgets each control of the subtree.
    static void AttachToWindow(TOffscreenControl& control, TOffscreenWindow* window);
    // Takes the control out of its parent's children, or else out of its
    // window's top-level controls; Parent and Window stay.
    static void DetachFromContainer(TOffscreenControl& control);

private:
    // Invalidate in mode 0, a full window repaint in the partial modes.
    void RequestRepaint();

    bool disposed_ = false;
};

struct TOffscreenMenuItem {
    int32_t Id = 0;
    int32_t Parent = 0;
    std::u16string Caption;
    bool Enabled = true;
    bool Checked = false;
    bool CheckItem = false;
    bool Separator = false;
};

class TOffscreenMenu : public TPlatformMenu {
public:
    explicit TOffscreenMenu(bool popup) : IsPopup(popup) {}

    std::vector<TOffscreenMenuItem> Items;
    bool IsPopup = false;
    bool PoppedUp = false;

    void AddItem(int32_t parent, const std::u16string& caption, int32_t id) override;
    void AddCheckItem(int32_t parent, const std::u16string& caption, int32_t id) override;
    void AddSeparator(int32_t parent) override;
    void SetItemEnabled(int32_t id, bool flag) override;
    void SetItemChecked(int32_t id, bool flag) override;
    bool GetItemChecked(int32_t id) override;
    void Popup() override;

private:
    // The first item that is not a separator and has the id, or nil.
    TOffscreenMenuItem* FindCommand(int32_t id);
};

class TOffscreenTrayIcon : public TPlatformTrayIcon {
public:
    bool Visible = false;
    bool HasIcon = false;
    std::u16string Tip;
    std::u16string BalloonTitle, BalloonText;
    int32_t BalloonIcon = 0;
    bool BalloonShown = false;

    void SetVisible(bool flag) override;
    void SetIcon(TPlatformSurface* icon) override;
    void SetTip(const std::u16string& text) override;
    void ShowBalloon(const std::u16string& title, const std::u16string& text,
                     int32_t iconKind) override;
    void HideBalloon() override;
};

class TOffscreenPrintJob : public TPlatformPrintJob {
public:
    TOffscreenPrintJob(int32_t printerIndex, const std::u16string& title, bool landscape,
                       int32_t copies, const std::u16string& outputFile);

    std::vector<System::TRef<TPlatformSurface>> Pages;
    System::TRef<TPlatformSurface> CurrentPage;
    int32_t PageWidthValue = 827, PageHeightValue = 1169;
    int32_t Dpi = 100;
    std::u16string Title;
    int32_t PrinterIndex = 0;
    bool Landscape = false;
    int32_t Copies = 0;
    std::u16string OutputFile;
    bool Ended = false;
    bool Aborted = false;

    int32_t PageWidth() override;
    int32_t PageHeight() override;
    int32_t DpiX() override;
    int32_t DpiY() override;
    System::TRef<TPlatformCanvas> BeginPage() override;
    void EndPage() override;
    void EndJob() override;
    void Abort() override;
};

} // namespace Zyl
