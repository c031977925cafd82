#include "Zyl.Platform.Drawn.h"

#include "Zyl.Platform.Offscreen.h"

namespace Zyl {

using System::TRef;

// ---------------------------------------------------------------------------
// Application

void TDrawnApp::SetExceptionHandler(TPlatformExceptionHandler handler) {
    TPlatformApp::SetExceptionHandler(handler);
    Shell->SetExceptionHandler(std::move(handler));
}

int64_t TDrawnApp::TickCount() { return Shell->TickCount(); }
std::u16string TDrawnApp::GetClipboardText() { return Shell->GetClipboardText(); }
void TDrawnApp::SetClipboardText(const std::u16string& text) { Shell->SetClipboardText(text); }
void TDrawnApp::ClearClipboard() { Shell->ClearClipboard(); }
bool TDrawnApp::HasClipboardText() { return Shell->HasClipboardText(); }
bool TDrawnApp::HasClipboardImage() { return Shell->HasClipboardImage(); }
TRef<TPlatformSurface> TDrawnApp::GetClipboardImage() { return Shell->GetClipboardImage(); }
void TDrawnApp::SetClipboardImage(TPlatformSurface* surface) { Shell->SetClipboardImage(surface); }
void TDrawnApp::Run() { Shell->Run(); }
void TDrawnApp::Quit() { Shell->Quit(); }
int32_t TDrawnApp::AddTimer(int32_t intervalMs, TPlatformTimerCallback callback) {
    return Shell->AddTimer(intervalMs, std::move(callback));
}
void TDrawnApp::RemoveTimer(int32_t id) { Shell->RemoveTimer(id); }
void TDrawnApp::ProcessMessages() { Shell->ProcessMessages(); }
void TDrawnApp::WaitForEvents(int32_t timeoutMs) { Shell->WaitForEvents(timeoutMs); }
int32_t TDrawnApp::ScreenWidth() { return Shell->ScreenWidth(); }
int32_t TDrawnApp::ScreenHeight() { return Shell->ScreenHeight(); }
void TDrawnApp::GetWorkArea(int32_t x, int32_t y, int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) {
    Shell->GetWorkArea(x, y, left, top, right, bottom);
}
bool TDrawnApp::HasDisplay() { return Shell->HasDisplay(); }

TRef<TPlatformWindow> TDrawnApp::CreateWindow() { return System::MakeRef<TDrawnWindow>(Shell->CreateWindow()); }

template <class W, class... Args>
TRef<TPlatformControl> TDrawnApp::MakeDrawn(Args&&... args) {
    return System::MakeRef<W>(this, Shell->CreateCustomControl(), std::forward<Args>(args)...);
}

TRef<TPlatformControl> TDrawnApp::CreateCustomControl() { return MakeDrawn<TDrawnCustom>(); }
TRef<TPlatformControl> TDrawnApp::CreateButton() { return MakeDrawn<TDrawnButton>(); }
TRef<TPlatformControl> TDrawnApp::CreateCheckBox() { return MakeDrawn<TDrawnCheckBox>(false); }
TRef<TPlatformControl> TDrawnApp::CreateRadioButton() { return MakeDrawn<TDrawnCheckBox>(true); }
TRef<TPlatformControl> TDrawnApp::CreateScrollBar() { return MakeDrawn<TDrawnScrollBar>(); }
// Kinds the drawn backend does not offer.
TRef<TPlatformControl> TDrawnApp::CreateTabControl() { return nullptr; }
TRef<TPlatformControl> TDrawnApp::CreateListView() { return nullptr; }
TRef<TPlatformControl> TDrawnApp::CreateTreeView() { return nullptr; }
TRef<TPlatformControl> TDrawnApp::CreateStatusBar() { return nullptr; }
TRef<TPlatformControl> TDrawnApp::CreateToolBar() { return nullptr; }

TRef<TPlatformTrayIcon> TDrawnApp::CreateTrayIcon() { return Shell->CreateTrayIcon(); }
TRef<TPlatformMenu> TDrawnApp::CreateMenu(bool popup) { return Shell->CreateMenu(popup); }

int32_t TDrawnApp::MessageBox(TPlatformWindow* owner, const std::u16string& title, const std::u16string& text,
                              int32_t kind, int32_t buttons) {
    return Shell->MessageBox(NativeWindowOf(owner).Get(), title, text, kind, buttons);
}

bool TDrawnApp::FileDialog(TPlatformWindow* owner, const std::u16string& title, bool save,
                           const std::u16string& initialPath, std::u16string& fileName) {
    return Shell->FileDialog(NativeWindowOf(owner).Get(), title, save, initialPath, fileName);
}

bool TDrawnApp::FileDialogEx(TPlatformWindow* owner, const std::u16string& title, bool save,
                             const std::u16string& fileName, const std::u16string& initialDir,
                             const std::u16string& filter, const std::u16string& defaultExt, int32_t& filterIndex,
                             std::u16string& result) {
    return Shell->FileDialogEx(NativeWindowOf(owner).Get(), title, save, fileName, initialDir, filter, defaultExt,
                               filterIndex, result);
}

int32_t TDrawnApp::PrinterCount() { return Shell->PrinterCount(); }
std::u16string TDrawnApp::PrinterName(int32_t index) { return Shell->PrinterName(index); }
int32_t TDrawnApp::DefaultPrinterIndex() { return Shell->DefaultPrinterIndex(); }

TRef<TPlatformPrintJob> TDrawnApp::BeginPrintJob(int32_t printerIndex, const std::u16string& title, bool landscape,
                                                 int32_t copies, const std::u16string& outputFile) {
    return Shell->BeginPrintJob(printerIndex, title, landscape, copies, outputFile);
}

bool TDrawnApp::RunFileDialog(TPlatformWindow* owner, const std::u16string& title, int32_t kind, int32_t options,
                              const std::u16string& fileName, const std::u16string& initialDir,
                              const std::u16string& filter, const std::u16string& defaultExt, int32_t& filterIndex,
                              std::u16string& result) {
    return Shell->RunFileDialog(NativeWindowOf(owner).Get(), title, kind, options, fileName, initialDir, filter,
                                defaultExt, filterIndex, result);
}

bool TDrawnApp::ColorDialog(TPlatformWindow* owner, void* extra, int32_t& color) {
    return Shell->ColorDialog(NativeWindowOf(owner).Get(), extra, color);
}

bool TDrawnApp::FontDialog(TPlatformWindow* owner, void* extra, std::u16string& faceName, int32_t& sizePoints,
                           int32_t& style) {
    return Shell->FontDialog(NativeWindowOf(owner).Get(), extra, faceName, sizePoints, style);
}

TRef<TPlatformWindow> NativeWindowOf(TPlatformWindow* window) {
    if (auto* drawn = dynamic_cast<TDrawnWindow*>(window)) return drawn->ShellWindow;
    return window;
}

// ---------------------------------------------------------------------------
// Windows

template <class Send>
void TDrawnWinBridge::ToSink(Send send) {
    const TRef<TDrawnWinBridge> self(this);
    const TRef<TDrawnWindow> window(Window);
    if (!window) return;
    if (const TRef<TPlatformEvents> sink = window->Events) send(*sink);
}

void TDrawnWinBridge::Paint(TPlatformCanvas* canvas) {
    const TRef<TDrawnWindow> window(Window);
    if (window && window->Events)
        ToSink([&](TPlatformEvents& sink) { sink.Paint(canvas); });
    else
        canvas->FillRect(0, 0, 100000, 100000, ThemeColor(1));
}

void TDrawnWinBridge::MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) {
    ToSink([&](TPlatformEvents& sink) { sink.MouseDown(x, y, button, shift); });
}
void TDrawnWinBridge::MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) {
    ToSink([&](TPlatformEvents& sink) { sink.MouseUp(x, y, button, shift); });
}
void TDrawnWinBridge::MouseMove(int32_t x, int32_t y, int32_t shift) {
    ToSink([&](TPlatformEvents& sink) { sink.MouseMove(x, y, shift); });
}
void TDrawnWinBridge::KeyDown(int32_t key, int32_t shift, int32_t extra) {
    ToSink([&](TPlatformEvents& sink) { sink.KeyDown(key, shift, extra); });
}
void TDrawnWinBridge::KeyUp(int32_t key, int32_t shift) {
    ToSink([&](TPlatformEvents& sink) { sink.KeyUp(key, shift); });
}
void TDrawnWinBridge::CharInput(char16_t ch) {
    ToSink([&](TPlatformEvents& sink) { sink.CharInput(ch); });
}
void TDrawnWinBridge::Resized(int32_t width, int32_t height) {
    ToSink([&](TPlatformEvents& sink) { sink.Resized(width, height); });
}
void TDrawnWinBridge::Moved(int32_t x, int32_t y) {
    ToSink([&](TPlatformEvents& sink) { sink.Moved(x, y); });
}
void TDrawnWinBridge::Activated(bool active) {
    ToSink([&](TPlatformEvents& sink) { sink.Activated(active); });
}
void TDrawnWinBridge::WindowStateChanged(int32_t state) {
    ToSink([&](TPlatformEvents& sink) { sink.WindowStateChanged(state); });
}
void TDrawnWinBridge::MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) {
    ToSink([&](TPlatformEvents& sink) { sink.MouseWheel(x, y, delta, shift); });
}
void TDrawnWinBridge::DoubleClick() {
    ToSink([&](TPlatformEvents& sink) { sink.DoubleClick(); });
}
void TDrawnWinBridge::Reserved39(int32_t value) {
    ToSink([&](TPlatformEvents& sink) { sink.Reserved39(value); });
}
bool TDrawnWinBridge::CloseQuery() {
    bool answer = true;
    ToSink([&](TPlatformEvents& sink) { answer = sink.CloseQuery(); });
    return answer;
}

TDrawnWindow::TDrawnWindow(TRef<TPlatformWindow> shellWindow)
    : ShellWindow(std::move(shellWindow)), WinBridge(System::MakeRef<TDrawnWinBridge>()) {
    WinBridge->Window = this;
    ShellWindow->Events = WinBridge;
}

TDrawnWindow::~TDrawnWindow() {
    ShellWindow->Events = nullptr;
    WinBridge->Window = nullptr;
    // The window's controls hold the shell window counted: disposing it
    // detaches them, and its memory goes with the last reference.
    if (auto* offscreen = dynamic_cast<TOffscreenWindow*>(ShellWindow.Get())) offscreen->Dispose();
}

void TDrawnWindow::SetTitle(const std::u16string& text) { ShellWindow->SetTitle(text); }
void TDrawnWindow::SetSize(int32_t width, int32_t height) { ShellWindow->SetSize(width, height); }
void TDrawnWindow::Show() { ShellWindow->Show(); }
void TDrawnWindow::Hide() { ShellWindow->Hide(); }
void TDrawnWindow::Invalidate() { ShellWindow->Invalidate(); }
void TDrawnWindow::AddChild(TPlatformControl* control, int32_t x, int32_t y) {
    ShellWindow->AddChild(DrawnHostOf(control).Get(), x, y);
}
void TDrawnWindow::SetMainMenu(TPlatformMenu* menu) { ShellWindow->SetMainMenu(menu); }
void TDrawnWindow::AddPopupChild(TPlatformControl* control, int32_t x, int32_t y) {
    ShellWindow->AddPopupChild(DrawnHostOf(control).Get(), x, y);
}
void TDrawnWindow::RemovePopupChild(TPlatformControl* control) {
    ShellWindow->RemovePopupChild(DrawnHostOf(control).Get());
}
void TDrawnWindow::MovePopupChild(TPlatformControl* control, int32_t x, int32_t y) {
    ShellWindow->MovePopupChild(DrawnHostOf(control).Get(), x, y);
}
int32_t TDrawnWindow::GetWidth() { return ShellWindow->GetWidth(); }
int32_t TDrawnWindow::GetHeight() { return ShellWindow->GetHeight(); }
void TDrawnWindow::SetPosition(int32_t x, int32_t y) { ShellWindow->SetPosition(x, y); }
void TDrawnWindow::GetPosition(int32_t& x, int32_t& y) { ShellWindow->GetPosition(x, y); }
void TDrawnWindow::SetBorderStyle(int32_t style) { ShellWindow->SetBorderStyle(style); }
void TDrawnWindow::SetWindowState(int32_t state) { ShellWindow->SetWindowState(state); }
int32_t TDrawnWindow::GetWindowState() { return ShellWindow->GetWindowState(); }
void TDrawnWindow::SetStayOnTop(bool flag) { ShellWindow->SetStayOnTop(flag); }
void TDrawnWindow::SetIcon(TPlatformSurface* icon) { ShellWindow->SetIcon(icon); }
void TDrawnWindow::SetFrameTheme(bool dark, int32_t captionColor, int32_t textColor, int32_t borderColor) {
    ShellWindow->SetFrameTheme(dark, captionColor, textColor, borderColor);
}
void TDrawnWindow::SetOwner(TPlatformWindow* owner) { ShellWindow->SetOwner(NativeWindowOf(owner).Get()); }
void TDrawnWindow::SetSizeConstraints(int32_t minWidth, int32_t minHeight, int32_t maxWidth, int32_t maxHeight) {
    ShellWindow->SetSizeConstraints(minWidth, minHeight, maxWidth, maxHeight);
}
void TDrawnWindow::SetNoActivate(bool flag) { ShellWindow->SetNoActivate(flag); }
void TDrawnWindow::SetCursor(int32_t kind) { ShellWindow->SetCursor(kind); }
void TDrawnWindow::GetClientOrigin(int32_t& x, int32_t& y) { ShellWindow->GetClientOrigin(x, y); }

// ---------------------------------------------------------------------------
// Control bridge

template <class Handle>
void TDrawnBridge::WithControl(Handle handle) {
    const TRef<TDrawnBridge> self(this);
    const TRef<TDrawnControl> control(Control);
    if (control) handle(*control, control->Events.Get());
}

void TDrawnBridge::Paint(TPlatformCanvas* canvas) {
    WithControl([&](TDrawnControl& c, TPlatformEvents*) { c.Paint(canvas); });
}

void TDrawnBridge::MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) {
    WithControl([&](TDrawnControl& c, TPlatformEvents* sink) {
        c.DoubleClickHandled = false;
        if (sink) sink->MouseDown(x, y, button, shift);
        if (c.Enabled) c.MouseDown(x, y, button, shift);
    });
}

void TDrawnBridge::MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) {
    WithControl([&](TDrawnControl& c, TPlatformEvents*) {
        if (c.Enabled) c.MouseUp(x, y, button, shift);
        // Read again: the control's handler may have changed its sink.
        if (const TRef<TPlatformEvents> sink = c.Events) sink->MouseUp(x, y, button, shift);
    });
}

void TDrawnBridge::MouseMove(int32_t x, int32_t y, int32_t shift) {
    WithControl([&](TDrawnControl& c, TPlatformEvents* sink) {
        if (sink) sink->MouseMove(x, y, shift);
        if (c.Enabled) c.MouseMove(x, y, shift);
    });
}

void TDrawnBridge::MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) {
    WithControl([&](TDrawnControl& c, TPlatformEvents* sink) {
        if (sink) sink->MouseWheel(x, y, delta, shift);
        if (c.Enabled) c.MouseWheel(x, y, delta, shift);
    });
}

void TDrawnBridge::KeyDown(int32_t key, int32_t shift, int32_t extra) {
    WithControl([&](TDrawnControl& c, TPlatformEvents* sink) {
        if (sink) {
            sink->KeyDown(key, shift, extra);
            if (sink->TakeKeyHandled(key, shift)) return;
        }
        if (c.Enabled) c.KeyDown(key, shift);
    });
}

void TDrawnBridge::KeyUp(int32_t key, int32_t shift) {
    WithControl([&](TDrawnControl& c, TPlatformEvents* sink) {
        if (sink) sink->KeyUp(key, shift);
        if (c.Enabled) c.KeyUp(key, shift);
    });
}

void TDrawnBridge::CharInput(char16_t ch) {
    WithControl([&](TDrawnControl& c, TPlatformEvents* sink) {
        if (sink) {
            sink->CharInput(ch);
            ch = sink->KeyPress(ch);
        }
        if (c.Enabled && ch != 0) c.KeyPress(ch);
    });
}

void TDrawnBridge::Resized(int32_t width, int32_t height) {
    WithControl([&](TDrawnControl& c, TPlatformEvents* sink) {
        c.ClientWidth = width;
        c.ClientHeight = height;
        c.Resized(width, height);
        if (sink) sink->Resized(width, height);
    });
}

void TDrawnBridge::MouseEnter() {
    WithControl([&](TDrawnControl& c, TPlatformEvents* sink) {
        c.Hot = true;
        if (sink) sink->MouseEnter();
        c.Host->Invalidate();
    });
}

void TDrawnBridge::MouseLeave() {
    WithControl([&](TDrawnControl& c, TPlatformEvents* sink) {
        c.Hot = false;
        if (sink) sink->MouseLeave();
        c.MouseLeave();
        c.Host->Invalidate();
    });
}

void TDrawnBridge::FocusChanged(bool focused) {
    WithControl([&](TDrawnControl& c, TPlatformEvents* sink) {
        c.Focused = focused;
        c.FocusChanged(focused);
        if (sink) sink->FocusChanged(focused);
        c.Host->Invalidate();
    });
}

void TDrawnBridge::DoubleClick() {
    WithControl([&](TDrawnControl& c, TPlatformEvents* sink) {
        if (!c.DoubleClickHandled && sink) sink->DoubleClick();
    });
}

// ---------------------------------------------------------------------------
// Control base

TDrawnControl::TDrawnControl(TDrawnApp* app, TRef<TPlatformControl> host)
    : App(app), Host(std::move(host)), Bridge(System::MakeRef<TDrawnBridge>()) {
    Bridge->Control = this;
    Host->Events = Bridge;
}

TDrawnControl::~TDrawnControl() {
    Host->Events = nullptr;
    Bridge->Control = nullptr;
    Host->RemoveFromParent();
}

void TDrawnControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    ClientWidth = width;
    ClientHeight = height;
    Host->SetBounds(left, top, width, height);
}

void TDrawnControl::GetBounds(int32_t& left, int32_t& top, int32_t& width, int32_t& height) {
    Host->GetBounds(left, top, width, height);
}

void TDrawnControl::LoseFocusSilently() {
    if (Focused) Bridge->FocusChanged(false);
}

void TDrawnControl::SetVisible(bool visible) {
    const TRef<TDrawnControl> self(this);
    Host->SetVisible(visible);
    if (!visible) LoseFocusSilently();
}

void TDrawnControl::SetEnabled(bool enabled) {
    Enabled = enabled;
    Host->SetEnabled(enabled);
    Host->Invalidate();
}

void TDrawnControl::SetFocus() { Host->SetFocus(); }
void TDrawnControl::SetMouseCapture(bool capture) { Host->SetMouseCapture(capture); }
void TDrawnControl::SetMouseTransparent(bool transparent) { Host->SetMouseTransparent(transparent); }
void TDrawnControl::Reserved25(bool value) { Host->Reserved25(value); }
void TDrawnControl::Invalidate() { Host->Invalidate(); }
void TDrawnControl::AddChild(TPlatformControl* child, int32_t x, int32_t y) {
    Host->AddChild(DrawnHostOf(child).Get(), x, y);
}

void TDrawnControl::RemoveFromParent() {
    const TRef<TDrawnControl> self(this);
    Host->RemoveFromParent();
    LoseFocusSilently();
}

void TDrawnControl::SetText(const std::u16string& text) {
    if (text == Text) return;
    Text = text;
    Host->Invalidate();
}

std::u16string TDrawnControl::GetText() { return Text; }

void TDrawnControl::Reserved34(bool value) {
    Reserved34Flag = value;
    Host->Reserved34(value);
}

bool TDrawnControl::HasFocus() { return Host->HasFocus(); }

void TDrawnControl::SetCursor(int32_t kind) {
    Cursor = kind;
    Host->SetCursor(kind);
}

int32_t TDrawnControl::GetCursor() { return Cursor; }

void TDrawnControl::SetHint(const std::u16string& text) {
    Hint = text;
    Host->SetHint(text);
}

std::u16string TDrawnControl::GetHint() { return Hint; }

void TDrawnControl::Paint(TPlatformCanvas* canvas) { canvas->FillRect(0, 0, ClientWidth, ClientHeight, ThemeColor(1)); }
void TDrawnControl::MouseDown(int32_t, int32_t, int32_t, int32_t) {}
void TDrawnControl::MouseUp(int32_t, int32_t, int32_t, int32_t) {}
void TDrawnControl::MouseMove(int32_t, int32_t, int32_t) {}
void TDrawnControl::MouseWheel(int32_t, int32_t, int32_t, int32_t) {}
void TDrawnControl::KeyDown(int32_t, int32_t) {}
void TDrawnControl::KeyUp(int32_t, int32_t) {}
void TDrawnControl::KeyPress(char16_t) {}
void TDrawnControl::FocusChanged(bool) {}
void TDrawnControl::Resized(int32_t, int32_t) {}

void TDrawnCustom::Paint(TPlatformCanvas* canvas) {
    if (const TRef<TPlatformEvents> sink = Events) sink->Paint(canvas);
}

// ---------------------------------------------------------------------------
// Shared routines

TRef<TPlatformControl> GetDrawnHost(TDrawnControl* control) { return control->Host; }
TRef<TDrawnApp> GetDrawnApp(TDrawnControl* control) { return control->App; }

TRef<TPlatformControl> DrawnHostOf(TPlatformControl* widget) {
    if (auto* drawn = dynamic_cast<TDrawnControl*>(widget)) return drawn->Host;
    return widget;
}

void ApplyDrawnFont(TPlatformCanvas* canvas, int32_t color) {
    TPlatformServices* services = CurrentPlatformServices();
    canvas->SetFont(services ? services->DefaultFontName() : u"Segoe UI", -12, 0, color);
    canvas->SetBackground(0xFFFFFF, true);
}

int32_t DrawnLineHeight(TPlatformCanvas* canvas) {
    int32_t width = 0, height = 0;
    canvas->TextExtent(u"Hg", width, height);
    return height;
}

std::u16string DrawnCopy(const std::u16string& s, int32_t start, int32_t count) {
    if (start < 0 || count <= 0 || static_cast<size_t>(start) >= s.size()) return {};
    return s.substr(static_cast<size_t>(start), static_cast<size_t>(count));
}

std::u16string StripAmpersands(const std::u16string& s) {
    std::u16string result;
    result.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == u'&' && i + 1 < s.size()) ++i;
        result += s[i];
    }
    return result;
}

} // namespace Zyl
