// The drawn backend: a platform application that makes every control as a
// widget the library paints itself, on a plain host control of a shell
// application, and every window as a drawn window around a shell window.
//
// Ownership: a drawn control holds its application, its host and its bridge
// counted; the host's Events holds the bridge. The bridge's way back to the
// control is a plain pointer that the control's destructor clears, so that
// letting go of a control frees it, its bridge and (once detached) its host.
// Drawn windows and their bridges follow the same rule; a drawn window's
// destructor also disposes its shell window, which the window's controls
// hold counted.
#pragma once

#include "Zyl.Platform.Drawn.Theme.h"
#include "Zyl.Platform.h"

#include <cstdint>
#include <functional>
#include <string>

namespace Zyl {

class TDrawnApp;
class TDrawnControl;
class TDrawnWindow;

// Key codes of the platform layer.
constexpr int32_t KeySpace = 32;
constexpr int32_t KeyReturn = 0xFF0D;
constexpr int32_t KeyHome = 0xFF50;
constexpr int32_t KeyLeft = 0xFF51;
constexpr int32_t KeyUp = 0xFF52;
constexpr int32_t KeyRight = 0xFF53;
constexpr int32_t KeyDown = 0xFF54;
constexpr int32_t KeyPageUp = 0xFF55;
constexpr int32_t KeyPageDown = 0xFF56;
constexpr int32_t KeyEnd = 0xFF57;

class TDrawnApp : public TPlatformApp {
public:
    explicit TDrawnApp(System::TRef<TPlatformApp> shell = nullptr) : Shell(std::move(shell)) {}

    // The wrapped shell application: the operating system's business goes to it.
    System::TRef<TPlatformApp> Shell;

    void SetExceptionHandler(TPlatformExceptionHandler handler) override;
    int64_t TickCount() override;
    std::u16string GetClipboardText() override;
    void SetClipboardText(const std::u16string& text) override;
    void ClearClipboard() override;
    bool HasClipboardText() override;
    bool HasClipboardImage() override;
    System::TRef<TPlatformSurface> GetClipboardImage() override;
    void SetClipboardImage(TPlatformSurface* surface) override;
    void Run() override;
    void Quit() override;
    int32_t AddTimer(int32_t intervalMs, TPlatformTimerCallback callback) override;
    void RemoveTimer(int32_t id) override;
    void ProcessMessages() override;
    void WaitForEvents(int32_t timeoutMs) override;
    int32_t ScreenWidth() override;
    int32_t ScreenHeight() override;
    void GetWorkArea(int32_t x, int32_t y, int32_t& left, int32_t& top, int32_t& right,
                     int32_t& bottom) override;
    bool HasDisplay() override;
    System::TRef<TPlatformWindow> CreateWindow() override;
    System::TRef<TPlatformControl> CreateCustomControl() override;
    System::TRef<TPlatformControl> CreateButton() override;
    System::TRef<TPlatformControl> CreateCheckBox() override;
    System::TRef<TPlatformControl> CreateRadioButton() override;
    System::TRef<TPlatformControl> CreateScrollBar() override;
    System::TRef<TPlatformControl> CreateTabControl() override;
    System::TRef<TPlatformControl> CreateListView() override;
    System::TRef<TPlatformControl> CreateTreeView() override;
    System::TRef<TPlatformControl> CreateStatusBar() override;
    System::TRef<TPlatformControl> CreateToolBar() override;
    System::TRef<TPlatformTrayIcon> CreateTrayIcon() override;
    System::TRef<TPlatformMenu> CreateMenu(bool popup) override;
    int32_t MessageBox(TPlatformWindow* owner, const std::u16string& title, const std::u16string& text,
                       int32_t kind, int32_t buttons) override;
    bool FileDialog(TPlatformWindow* owner, const std::u16string& title, bool save,
                    const std::u16string& initialPath, std::u16string& fileName) override;
    bool FileDialogEx(TPlatformWindow* owner, const std::u16string& title, bool save,
                      const std::u16string& fileName, const std::u16string& initialDir,
                      const std::u16string& filter, const std::u16string& defaultExt, int32_t& filterIndex,
                      std::u16string& result) override;
    int32_t PrinterCount() override;
    std::u16string PrinterName(int32_t index) override;
    int32_t DefaultPrinterIndex() override;
    System::TRef<TPlatformPrintJob> BeginPrintJob(int32_t printerIndex, const std::u16string& title,
                                                  bool landscape, int32_t copies,
                                                  const std::u16string& outputFile) override;
    bool RunFileDialog(TPlatformWindow* owner, const std::u16string& title, int32_t kind, int32_t options,
                       const std::u16string& fileName, const std::u16string& initialDir,
                       const std::u16string& filter, const std::u16string& defaultExt, int32_t& filterIndex,
                       std::u16string& result) override;
    bool ColorDialog(TPlatformWindow* owner, void* extra, int32_t& color) override;
    bool FontDialog(TPlatformWindow* owner, void* extra, std::u16string& faceName, int32_t& sizePoints,
                    int32_t& style) override;

private:
    // A new widget of class W on a new host control of the shell.
    template <class W, class... Args>
    System::TRef<TPlatformControl> MakeDrawn(Args&&... args);
};

// The shell window of a drawn window, any other window (nil included) itself.
System::TRef<TPlatformWindow> NativeWindowOf(TPlatformWindow* window);

class TDrawnWinBridge : public TPlatformEvents {
public:
    // Uncounted: the window holds this bridge, and its destructor clears it.
    TDrawnWindow* Window = nullptr;

    void Paint(TPlatformCanvas* canvas) override;
    void MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseMove(int32_t x, int32_t y, int32_t shift) override;
    void KeyDown(int32_t key, int32_t shift, int32_t extra) override;
    void KeyUp(int32_t key, int32_t shift) override;
    void CharInput(char16_t ch) override;
    void Resized(int32_t width, int32_t height) override;
    void Moved(int32_t x, int32_t y) override;
    void Activated(bool active) override;
    void WindowStateChanged(int32_t state) override;
    void MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) override;
    void DoubleClick() override;
    void Reserved39(int32_t value) override;
    bool CloseQuery() override;

private:
    // Runs send with the window's sink, the window and this bridge held
    // counted while it runs; does nothing without a window or a sink.
    template <class Send>
    void ToSink(Send send);
};

class TDrawnWindow : public TPlatformWindow {
public:
    explicit TDrawnWindow(System::TRef<TPlatformWindow> shellWindow);
    ~TDrawnWindow() override;

    System::TRef<TPlatformWindow> ShellWindow;
    System::TRef<TDrawnWinBridge> WinBridge;

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
    void SetFrameTheme(bool dark, int32_t captionColor, int32_t textColor, int32_t borderColor) override;
    void SetOwner(TPlatformWindow* owner) override;
    void SetSizeConstraints(int32_t minWidth, int32_t minHeight, int32_t maxWidth, int32_t maxHeight) override;
    void SetNoActivate(bool flag) override;
    void SetCursor(int32_t kind) override;
    void GetClientOrigin(int32_t& x, int32_t& y) override;
};

class TDrawnBridge : public TPlatformEvents {
public:
    // Uncounted: the control holds this bridge, and its destructor clears it.
    TDrawnControl* Control = nullptr;

    void Paint(TPlatformCanvas* canvas) override;
    void MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseMove(int32_t x, int32_t y, int32_t shift) override;
    void KeyDown(int32_t key, int32_t shift, int32_t extra) override;
    void KeyUp(int32_t key, int32_t shift) override;
    void CharInput(char16_t ch) override;
    void Resized(int32_t width, int32_t height) override;
    void MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void FocusChanged(bool focused) override;
    void DoubleClick() override;

private:
    // Runs handle with the control, the control and this bridge held counted
    // while it runs; does nothing once the control is gone.
    template <class Handle>
    void WithControl(Handle handle);
};

class TDrawnControl : public TPlatformControl {
public:
    TDrawnControl(TDrawnApp* app, System::TRef<TPlatformControl> host);
    ~TDrawnControl() override;

    System::TRef<TDrawnApp> App;
    System::TRef<TPlatformControl> Host;
    System::TRef<TDrawnBridge> Bridge;
    bool Enabled = true;
    // The control reported a double click itself since the last press, so
    // the platform's own is dropped.
    bool DoubleClickHandled = false;
    bool Hot = false;
    bool Focused = false;
    std::u16string Text;
    std::u16string Hint;
    int32_t Cursor = 0;
    bool Reserved34Flag = false;
    int32_t ClientWidth = 0;
    int32_t ClientHeight = 0;

    void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
    void GetBounds(int32_t& left, int32_t& top, int32_t& width, int32_t& height) override;
    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    void SetFocus() override;
    void SetMouseCapture(bool capture) override;
    void SetMouseTransparent(bool transparent) override;
    void Reserved25(bool value) override;
    void Invalidate() override;
    void AddChild(TPlatformControl* child, int32_t x, int32_t y) override;
    void RemoveFromParent() override;
    void SetText(const std::u16string& text) override;
    std::u16string GetText() override;
    void Reserved34(bool value) override;
    bool HasFocus() override;
    void SetCursor(int32_t kind) override;
    int32_t GetCursor() override;
    void SetHint(const std::u16string& text) override;
    std::u16string GetHint() override;

    // Event operations, called by the bridge.
    virtual void Paint(TPlatformCanvas* canvas);
    virtual void MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift);
    virtual void MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift);
    virtual void MouseMove(int32_t x, int32_t y, int32_t shift);
    virtual void MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift);
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    virtual void KeyDown(int32_t key, int32_t shift);
    virtual void KeyUp(int32_t key, int32_t shift);
    virtual void KeyPress(char16_t ch);
    virtual void FocusChanged(bool focused);
    virtual void Resized(int32_t width, int32_t height);

    bool Inside(int32_t x, int32_t y) const { return x >= 0 && y >= 0 && x < ClientWidth && y < ClientHeight; }

private:
    // The host forgets its focus silently when it is hidden or detached:
    // the control is told as if the focus had gone.
    void LoseFocusSilently();
};

// Paints through its owner's sink only, nothing without one.
class TDrawnCustom : public TDrawnControl {
public:
    using TDrawnControl::TDrawnControl;
    void Paint(TPlatformCanvas* canvas) override;
};

class TDrawnButton : public TDrawnControl {
public:
    using TDrawnControl::TDrawnControl;
    bool Pressed = false;

    void Paint(TPlatformCanvas* canvas) override;
    void MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseMove(int32_t x, int32_t y, int32_t shift) override;
    void MouseLeave() override;
    void KeyDown(int32_t key, int32_t shift) override;
    void KeyUp(int32_t key, int32_t shift) override;
    void FocusChanged(bool focused) override;
};

class TDrawnCheckBox : public TDrawnControl {
public:
    TDrawnCheckBox(TDrawnApp* app, System::TRef<TPlatformControl> host, bool radio)
        : TDrawnControl(app, std::move(host)), Radio(radio) {}
    bool Checked = false;
    bool Pressed = false;
    bool Radio = false;

    void SetChecked(bool checked) override;
    bool GetChecked() override;
    void Paint(TPlatformCanvas* canvas) override;
    void MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseMove(int32_t x, int32_t y, int32_t shift) override;
    void MouseLeave() override;
    void KeyDown(int32_t key, int32_t shift) override;
    void KeyUp(int32_t key, int32_t shift) override;
    void FocusChanged(bool focused) override;

private:
    // A completed press: a radio button checks itself, a box toggles.
    void Toggle();
};

// Shared routines of the drawn widgets.
System::TRef<TPlatformControl> GetDrawnHost(TDrawnControl* control);
System::TRef<TDrawnApp> GetDrawnApp(TDrawnControl* control);
// The host of a drawn control, any other control itself.
System::TRef<TPlatformControl> DrawnHostOf(TPlatformControl* widget);
void ApplyDrawnFont(TPlatformCanvas* canvas, int32_t color);
int32_t DrawnLineHeight(TPlatformCanvas* canvas);
std::u16string DrawnCopy(const std::u16string& s, int32_t start, int32_t count);
std::u16string StripAmpersands(const std::u16string& s);

// One scroll bar drawn by the library, embedded in a drawn control that
// places it, forwards the mouse to it and decides the positions it asks for.
class TDrawnScrollEngine : public System::TObject {
public:
    using TScrollHandler = std::function<void(int32_t code, int32_t position)>;

    TDrawnScrollEngine(TDrawnControl* owner, bool vertical, TScrollHandler onScroll);
    ~TDrawnScrollEngine() override;

    // Uncounted: the owner holds the engine.
    TDrawnControl* Owner;
    bool Vertical;
    int32_t Min = 0;
    int32_t Max = 100;
    int32_t PageSize = 0;
    int32_t Position = 0;
    int32_t Left = 0, Top = 0;
    int32_t Length = 0;
    int32_t Thickness = 17;
    int32_t PressedPart = 0;
    int32_t HotPart = 0;
    int32_t GrabOffset = 0;
    int32_t DragPosition = 0;
    int32_t RepeatTimer = 0;
    bool FirstRepeat = false;
    int32_t LastX = 0, LastY = 0;
    TScrollHandler OnScroll;

    // Derived geometry; differences of the range in 64 bits.
    int32_t ArrowSize() const;
    int32_t Track() const;
    bool Scrollable() const;
    int32_t HighestPosition() const;
    int32_t ThumbSize() const;
    int32_t ThumbStart() const;

    int32_t HitTest(int32_t x, int32_t y) const;
    bool MouseDown(int32_t x, int32_t y);
    void MouseMove(int32_t x, int32_t y);
    void MouseUp(int32_t x, int32_t y);
    void Paint(TPlatformCanvas* canvas);
    void StartRepeat(int32_t intervalMs);
    void StopRepeat();
    void RepeatTick();

private:
    int32_t ThumbStartAt(int32_t shown) const;
    // The coordinate along the axis, and the bar's start on it.
    int32_t Along(int32_t x, int32_t y) const { return Vertical ? y : x; }
    int32_t Start() const { return Vertical ? Top : Left; }
    void Scroll(int32_t code, int32_t position);
    void InvalidateOwner();
    // A rectangle given along and across the axis, from the bar's corner.
    void FillBar(TPlatformCanvas* canvas, int32_t along0, int32_t across0, int32_t along1, int32_t across1,
                 int32_t color);
};

class TDrawnScrollBar : public TDrawnControl {
public:
    TDrawnScrollBar(TDrawnApp* app, System::TRef<TPlatformControl> host);
    ~TDrawnScrollBar() override;

    System::TRef<TDrawnScrollEngine> Engine;

    void SetScrollParams(int32_t min, int32_t max, int32_t page, int32_t position) override;
    int32_t GetScrollPos() override;
    void SetScrollKind(bool vertical) override;
    void Paint(TPlatformCanvas* canvas) override;
    void MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseMove(int32_t x, int32_t y, int32_t shift) override;
    void MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) override;
    void MouseLeave() override;
    void KeyDown(int32_t key, int32_t shift) override;
    void Resized(int32_t width, int32_t height) override;

private:
    void UpdateGeometry();
};

} // namespace Zyl
