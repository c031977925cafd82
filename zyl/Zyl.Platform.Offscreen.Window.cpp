#include "Zyl.Platform.Offscreen.h"

#include "Zyl.Platform.CanvasBackend.h"
#include "Zyl.Platform.Offscreen.Diagnostics.h"

#include <algorithm>

namespace Zyl {

using System::TRef;

namespace {

constexpr int32_t kWindowBackground = 0xF0F0F0;

// The controls as they stand now: a handler called while walking them may
// change the list it came from.
std::vector<TRef<TOffscreenControl>> Snapshot(const std::vector<TRef<TOffscreenControl>>& list) {
    return list;
}

} // namespace

int32_t DirtyModeFromText(const std::u16string& text) {
    if (text == u"1") return 1;
    if (text == u"check") return 2;
    return 0;
}

int32_t DirtyRepaintMode() {
    static const int32_t mode = DirtyModeFromText(ReadEnvVar(u"ZYL_DIRTY"));
    return mode;
}

TOffscreenWindow::TOffscreenWindow(TOffscreenApp* app) : App(app) { RecreateSurface(); }

TOffscreenWindow::~TOffscreenWindow() { Dispose(); }

void TOffscreenWindow::Dispose() {
    if (disposed_) return;
    disposed_ = true;
    const TRef<TOffscreenWindow> self(this);
    for (const TRef<TOffscreenControl>& control : Snapshot(TopLevelControls)) ReleaseControl(*control);
    // Popups are detached as well: left listed, each would keep this window
    // alive through its window reference while the window keeps it.
    for (const TRef<TOffscreenControl>& popup : Snapshot(Popups)) ReleaseControl(*popup);
    TopLevelControls.clear();
    Popups.clear();
    FocusedControl = nullptr;
    CapturedControl = nullptr;
    HoveredControl = nullptr;
    PressedControl = nullptr;
    Owner = nullptr;
    Surface = nullptr;
    RepaintPending = false;
    FullRepaint = false;
}

void TOffscreenWindow::ReleaseControl(TOffscreenControl& control) {
    // The window reference goes first, so the control itself is not
    // forgotten; its descendants are, as they leave.
    control.Window = nullptr;
    TOffscreenControl::AttachToWindow(control, nullptr);
}

void TOffscreenWindow::SetTitle(const std::u16string& text) { Title = text; }

void TOffscreenWindow::SetSize(int32_t width, int32_t height) {
    if (width == Width && height == Height) return;
    Width = width;
    Height = height;
    RecreateSurface();
    const TRef<TOffscreenWindow> self(this);
    if (const TRef<TPlatformEvents> sink = Events) sink->Resized(Width, Height);
}

void TOffscreenWindow::Show() {
    Visible = true;
    RequestFullRepaint();
}

void TOffscreenWindow::Hide() { Visible = false; }

void TOffscreenWindow::Invalidate() { RequestFullRepaint(); }

void TOffscreenWindow::RequestFullRepaint() {
    RepaintPending = true;
    FullRepaint = true;
}

void TOffscreenWindow::RequestRepaint(const TWindowRect& part) {
    if (DirtyRepaintMode() != 0 && !part.Empty() && !FullRepaint) {
        if (RepaintPending) {
            DirtyLeft = std::min(DirtyLeft, part.Left);
            DirtyTop = std::min(DirtyTop, part.Top);
            DirtyRight = std::max(DirtyRight, part.Right);
            DirtyBottom = std::max(DirtyBottom, part.Bottom);
        } else {
            DirtyLeft = part.Left;
            DirtyTop = part.Top;
            DirtyRight = part.Right;
            DirtyBottom = part.Bottom;
        }
    }
    RepaintPending = true;
}

bool TOffscreenWindow::CanAdopt(TOffscreenControl* control) const {
    return control && !disposed_ && !control->Disposed();
}

void TOffscreenWindow::Adopt(std::vector<TRef<TOffscreenControl>>& list,
                                     TOffscreenControl* control, int32_t x, int32_t y) {
    const TRef<TOffscreenControl> keep(control);
    TOffscreenControl::DetachFromContainer(*control);
    control->Parent = nullptr;
    control->Left = x;
    control->Top = y;
    TOffscreenControl::AttachToWindow(*control, this);
    list.push_back(keep);
    RequestFullRepaint();
}

void TOffscreenWindow::AddChild(TPlatformControl* control, int32_t x, int32_t y) {
    auto* c = dynamic_cast<TOffscreenControl*>(control);
    if (CanAdopt(c)) Adopt(TopLevelControls, c, x, y);
}

void TOffscreenWindow::SetMainMenu(TPlatformMenu*) {}

void TOffscreenWindow::AddPopupChild(TPlatformControl* control, int32_t x, int32_t y) {
    auto* c = dynamic_cast<TOffscreenControl*>(control);
    if (CanAdopt(c)) Adopt(Popups, c, x, y);
}

void TOffscreenWindow::RemovePopupChild(TPlatformControl* control) {
    if (RemoveControl(Popups, dynamic_cast<TOffscreenControl*>(control))) RequestFullRepaint();
}

void TOffscreenWindow::MovePopupChild(TPlatformControl* control, int32_t x, int32_t y) {
    if (auto* c = dynamic_cast<TOffscreenControl*>(control)) {
        c->Left = x;
        c->Top = y;
    }
    RequestFullRepaint();
}

int32_t TOffscreenWindow::GetWidth() { return Width; }
int32_t TOffscreenWindow::GetHeight() { return Height; }

void TOffscreenWindow::SetPosition(int32_t x, int32_t y) {
    Left = x;
    Top = y;
}

void TOffscreenWindow::GetPosition(int32_t& x, int32_t& y) {
    x = Left;
    y = Top;
}

void TOffscreenWindow::SetBorderStyle(int32_t style) { BorderStyle = style; }

void TOffscreenWindow::SetWindowState(int32_t state) {
    const int32_t previous = WindowState;
    WindowState = state;
    if (state == previous) return;
    const TRef<TOffscreenWindow> self(this);
    if (const TRef<TPlatformEvents> sink = Events) sink->WindowStateChanged(state);
}

int32_t TOffscreenWindow::GetWindowState() { return WindowState; }
void TOffscreenWindow::SetStayOnTop(bool flag) { StayOnTop = flag; }
void TOffscreenWindow::SetIcon(TPlatformSurface* icon) { HasIcon = icon != nullptr; }

void TOffscreenWindow::SetFrameTheme(bool dark, int32_t captionColor, int32_t textColor,
                                     int32_t borderColor) {
    FrameDark = dark;
    FrameCaptionColor = captionColor;
    FrameTextColor = textColor;
    FrameBorderColor = borderColor;
}

void TOffscreenWindow::SetOwner(TPlatformWindow* window) { Owner = window; }

void TOffscreenWindow::SetSizeConstraints(int32_t minWidth, int32_t minHeight, int32_t maxWidth,
                                          int32_t maxHeight) {
    MinWidth = minWidth;
    MinHeight = minHeight;
    MaxWidth = maxWidth;
    MaxHeight = maxHeight;
}

void TOffscreenWindow::SetNoActivate(bool flag) { NoActivate = flag; }
void TOffscreenWindow::SetCursor(int32_t kind) { WindowCursor = kind; }

void TOffscreenWindow::RecreateSurface() {
    Surface = nullptr;
    TPlatformServices* services = CurrentPlatformServices();
    if (!disposed_ && services) Surface = services->CreateSurface(Width, Height, false);
    RequestFullRepaint();
}

void TOffscreenWindow::ForgetControl(TOffscreenControl* control) {
    RemovePopupChild(control);
    for (TRef<TOffscreenControl>* field : {&FocusedControl, &CapturedControl, &HoveredControl})
        if (field->Get() == control) *field = nullptr;
}

TWindowRect TOffscreenWindow::RenderWindowSurface() {
    if (!RepaintPending) return {};
    // Held for the whole pass: a Paint handler may dispose the window.
    const TRef<TOffscreenWindow> self(this);
    const TRef<TPlatformSurface> surface = Surface;
    if (!surface) return {};
    const int32_t mode = DirtyRepaintMode();
    const bool partial = mode != 0 && !FullRepaint;
    RepaintPending = false;
    FullRepaint = false;
    if (partial) {
        PartialPaint = true;
        CountPartialRepaint(DirtyLeft, DirtyTop, DirtyRight, DirtyBottom);
    } else {
        DirtyLeft = 0;
        DirtyTop = 0;
        DirtyRight = Width;
        DirtyBottom = Height;
        PartialPaint = false;
    }
    const TWindowRect painted{DirtyLeft, DirtyTop, DirtyRight, DirtyBottom};
    if (const TRef<TPlatformCanvas> canvas = surface->CreateCanvas()) {
        canvas->Save();
        canvas->ClipRect(DirtyLeft, DirtyTop, DirtyRight, DirtyBottom);
        PaintWindowContent(*canvas);
        canvas->Restore();
    }
    PartialPaint = false;
    if (partial && mode == 2 && Surface == surface)
        VerifyPartialRepaint(surface.Get(), Width, Height, DirtyLeft, DirtyTop, DirtyRight, DirtyBottom,
                             [this](TPlatformCanvas* canvas) { PaintWindowContent(*canvas); });
    return painted;
}

void TOffscreenWindow::PaintWindowContent(TPlatformCanvas& canvas) {
    const TRef<TOffscreenWindow> self(this);
    if (const TRef<TPlatformEvents> sink = Events)
        sink->Paint(&canvas);
    else
        canvas.FillRect(0, 0, Width, Height, kWindowBackground);
    for (const TRef<TOffscreenControl>& control : Snapshot(TopLevelControls))
        PaintControlTree(*control, canvas, control->Left, control->Top);
    for (const TRef<TOffscreenControl>& popup : Snapshot(Popups))
        PaintControlTree(*popup, canvas, popup->Left, popup->Top);
}

void TOffscreenWindow::PaintControlTree(TOffscreenControl& control, TPlatformCanvas& canvas,
                                        int32_t x, int32_t y) {
    // A Paint handler earlier in this pass may have taken it out of the window.
    if (!control.Visible || control.Window.Get() != this) return;
    const TRef<TOffscreenControl> keep(&control);
    const int64_t right = int64_t{x} + control.Width;
    const int64_t bottom = int64_t{y} + control.Height;
    if (PartialPaint && (x >= DirtyRight || y >= DirtyBottom || DirtyLeft >= right ||
                         DirtyTop >= bottom))
        return;
    canvas.Save();
    canvas.SetOrigin(x, y);
    canvas.ClipRect(0, 0, control.Width, control.Height);
    if (const TRef<TPlatformEvents> sink = control.Events) sink->Paint(&canvas);
    for (const TRef<TOffscreenControl>& child : Snapshot(control.Children))
        PaintControlTree(*child, canvas, ClampToInt32(int64_t{x} + child->Left),
                         ClampToInt32(int64_t{y} + child->Top));
    canvas.Restore();
}

} // namespace Zyl
