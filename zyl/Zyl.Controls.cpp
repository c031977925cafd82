#include "Zyl.Controls.h"
#include "System.Remainder.Encoding.h"
#include "System.Remainder.Exceptions.h"
#include "Zyl.Platform.Offscreen.Diagnostics.h"

#include <algorithm>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <string_view>
#include <typeinfo>
#include <utility>

namespace Zyl {

using System::TRef;

namespace {

TRef<TPlatformApp> platformAppInstance;
TControl* lastMouseControl = nullptr;
TPoint lastMousePosition;

// Lends a canvas to a control's Paint and takes it back on every exit.
class TCanvasLoan {
public:
    TCanvasLoan(TCanvas*& slot, TCanvas& canvas) : slot_(slot) { slot_ = &canvas; }
    ~TCanvasLoan() { slot_ = nullptr; }
    TCanvasLoan(const TCanvasLoan&) = delete;
    TCanvasLoan& operator=(const TCanvasLoan&) = delete;

private:
    TCanvas*& slot_;
};

// The unqualified class name of an object, as the messages show it.
std::u16string ClassNameOf(const System::TObject& object) {
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> full(abi::__cxa_demangle(typeid(object).name(), nullptr, nullptr, &status),
                                               std::free);
    std::string name = full ? full.get() : typeid(object).name();
    if (const size_t colon = name.rfind("::"); colon != std::string::npos) name.erase(0, colon + 2);
    return std::u16string(name.begin(), name.end());
}

// What the exception being handled says of itself.
std::u16string CaughtText() {
    try {
        throw;
    } catch (const std::exception& e) {
        const std::string_view what = e.what();
        return System::GetUtf8Encoding()->GetUString(reinterpret_cast<const uint8_t*>(what.data()),
                                                     ptrdiff_t(what.size()));
    } catch (...) {
        return u"objeto desconhecido";
    }
}

bool IsButtonPress(uint32_t id) {
    return id == WM_LBUTTONDOWN || id == WM_LBUTTONDBLCLK || id == WM_RBUTTONDOWN || id == WM_MBUTTONDOWN;
}

bool IsButtonRelease(uint32_t id) { return id == WM_LBUTTONUP || id == WM_RBUTTONUP || id == WM_MBUTTONUP; }

// Bounds and distances are summed in 64 bits and saturate: a control may sit
// anywhere in the int32 range.
int32_t Clamp(int64_t value) { return ClampToInt32(value); }

TRect BoundsOf(const TControl& c) {
    return {c.Left(), c.Top(), Clamp(int64_t(c.Left()) + c.Width()), Clamp(int64_t(c.Top()) + c.Height())};
}

bool Intersects(const TControl& c, const TRect& r) {
    const TRect b = BoundsOf(c);
    return b.Left < r.Right && r.Left < b.Right && b.Top < r.Bottom && r.Top < b.Bottom;
}

// Canvas font, solid brush in the control's colour and pen in its font colour.
void TakeControlLook(TCanvas& canvas, TControl& control) {
    canvas.SetFont(control.Font());
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(control.Color());
    canvas.Pen()->SetColor(control.Font()->Color());
}

void FillWithColor(TCanvas& canvas, TControl& control) {
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(control.Color());
    canvas.FillRect({0, 0, control.Width(), control.Height()});
}

// Paints a child in its own area of the canvas, then restores the canvas.
template <class Paint>
void PaintChild(TCanvas& canvas, TControl& child, Paint paint) {
    TPlatformCanvas& platform = *canvas.GetPlatformCanvas();
    canvas.Save();
    struct TRestore {
        TCanvas& Canvas;
        ~TRestore() { Canvas.Restore(); }
    } restore{canvas};
    int32_t ox = 0, oy = 0;
    platform.GetOrigin(ox, oy);
    const TRect b = BoundsOf(child);
    platform.ClipRect(b.Left, b.Top, b.Right, b.Bottom);
    platform.SetOrigin(Clamp(int64_t(ox) + child.Left()), Clamp(int64_t(oy) + child.Top()));
    TakeControlLook(canvas, child);
    paint();
}

} // namespace

bool IsMouseMessage(uint32_t id) { return id >= WM_MOUSEMOVE && id <= 0x0209; }

int32_t CursorKindOf(int32_t cursorId) {
    static constexpr int8_t kinds[22] = {7, 2, 0, 0, 0, 3, 2, 6, 5, 8, 2, 3, 0, 5, 6, 10, 11, 0, 1, 4, 0, 9};
    return cursorId >= -22 && cursorId <= -1 ? kinds[cursorId + 22] : 0;
}

uint32_t KeySymToVirtualKey(uint32_t s) {
    struct TRange {
        uint32_t First, Last, Key;  // Key is the code of First; the symbols after it follow in step
    };
    static constexpr TRange table[] = {
        {0x61, 0x7A, 0x41}, {0x30, 0x39, 0x30}, {0x41, 0x5A, 0x41}, {0x20, 0x20, 0x20},
        {0x27, 0x27, 222},  {0x2C, 0x2C, 188},  {0x2D, 0x2D, 189},  {0x2E, 0x2E, 190},
        {0x2F, 0x2F, 191},  {0x3B, 0x3B, 186},  {0x3D, 0x3D, 187},  {0x5B, 0x5B, 219},
        {0x5C, 0x5C, 220},  {0x5D, 0x5D, 221},  {0x60, 0x60, 192},  {0xFF08, 0xFF08, 8},
        {0xFF09, 0xFF09, 9}, {0xFE20, 0xFE20, 9}, {0xFF0D, 0xFF0D, 13}, {0xFF8D, 0xFF8D, 13},
        {0xFF1B, 0xFF1B, 27}, {0xFF50, 0xFF50, 36}, {0xFF51, 0xFF54, 37}, {0xFF55, 0xFF55, 33},
        {0xFF56, 0xFF56, 34}, {0xFF57, 0xFF57, 35}, {0xFF63, 0xFF63, 45}, {0xFFAA, 0xFFAB, 106},
        {0xFFAD, 0xFFAF, 109}, {0xFFB0, 0xFFB9, 96}, {0xFFBE, 0xFFC9, 112}, {0xFFE1, 0xFFE1, 16},
        {0xFFE2, 0xFFE2, 16}, {0xFFE3, 0xFFE3, 17}, {0xFFE4, 0xFFE4, 17}, {0xFFE9, 0xFFE9, 18},
        {0xFFEA, 0xFFEA, 18}, {0xFFFF, 0xFFFF, 46},
    };
    for (const TRange& r : table)
        if (s >= r.First && s <= r.Last) return r.Key + (s - r.First);
    return 0;
}

TPlatformApp* GetPlatformApp() {
    if (!platformAppInstance) throw EZylError(u"Plataforma da ZYL nao inicializada (use Application.Initialize)");
    return platformAppInstance.Get();
}

void SetPlatformAppInstance(TPlatformApp* app) { platformAppInstance = app; }

TPlatformApp* PlatformAppInstance() { return platformAppInstance.Get(); }

std::function<void(TControl*, bool)> ControlHoverHook;
std::function<void(TZylEvents*, int32_t, int32_t, int32_t)> ControlPressHook;
std::function<void(TControl*, int32_t, int32_t)> ControlMouseMoveHook;

void SettleDestructorException(std::exception_ptr caught,
                               const std::function<void(const System::Exception&)>& handle) noexcept {
    try {
        try {
            std::rethrow_exception(caught);
        } catch (const System::Exception& e) {
            if (handle) handle(e);
        }
    } catch (...) {
        try {
            DebugOutputProc()(u"ZYL: exceção descartada num destrutor: " + CaughtText());
        } catch (...) {
            // Not even the line could be written: the exception goes unseen.
        }
    }
}

TControl* LastMouseControl() { return lastMouseControl; }
TPoint LastMousePosition() { return lastMousePosition; }

static void RunHoverHook(TControl* control, bool entering) {
    if (ControlHoverHook) ControlHoverHook(control, entering);
}

// ---- TControl --------------------------------------------------------------------

const TMessageEntry<TControl> TControl::MessageTable[15] = {
    {ZM_HINTSHOW, &TControl::ZMIgnore},
    {ZM_DIALOGCHAR, &TControl::ZMIgnore},
    {WM_LBUTTONDOWN, &TControl::WMLButtonDown},
    {WM_LBUTTONUP, &TControl::WMLButtonUp},
    {WM_LBUTTONDBLCLK, &TControl::WMLButtonDblClk},
    {WM_RBUTTONDOWN, &TControl::WMRButtonDown},
    {WM_RBUTTONUP, &TControl::WMRButtonUp},
    {WM_MBUTTONDOWN, &TControl::WMMButtonDown},
    {WM_MBUTTONUP, &TControl::WMMButtonUp},
    {WM_MOUSEMOVE, &TControl::WMMouseMove},
    {WM_MOUSEWHEEL, &TControl::WMMouseWheel},
    {ZM_MOUSEENTER, &TControl::ZMMouseEnter},
    {ZM_MOUSELEAVE, &TControl::ZMMouseLeave},
    {ZM_PARENTFONTCHANGED, &TControl::ZMParentFontChanged},
    {ZM_PARENTCOLORCHANGED, &TControl::ZMParentColorChanged},
};

TControl::TControl(System::TComponent* owner) : TComponent(owner) {
    font_ = System::MakeRef<TFont>();
    if (TPlatformServices* services = CurrentPlatformServices()) {
        font_->SetName(services->DefaultFontName());
        font_->SetHeight(-((services->DefaultFontSize() * font_->PixelsPerInch() + 36) / 72));
    }
    font_->SetColor(clWindowText);
    font_->OnChange = [this](System::TObject*) { FontChanged(); };
    Margins = System::MakeRef<TMargins>(this, 3, false);
}

TControl::~TControl() {
    // Explicit destruction may run while counted references remain: none of
    // them may revive or free this control again.
    EnterDestruction();
    RunHoverHook(this, false);
    if (TRef<TDragSession> drag = ActiveDrag()) {
        // A destructor raises nothing: what the cancel's handlers raise goes
        // where the loop's callbacks send theirs.
        try {
            drag->ControlDestroyed(this);
        } catch (...) {
            SettleDestructorException(std::current_exception(), [](const System::Exception& e) {
                if (platformAppInstance) platformAppInstance->HandleException(e);
            });
        }
    }
    if (lastMouseControl == this) lastMouseControl = nullptr;
    Constraints = nullptr;
    CommandObject = nullptr;
    if (parent_) parent_->RemoveControl(this);
    font_->OnChange = nullptr;
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_) return;
    // A descendant as parent would close a loop that every upward walk follows.
    for (TControl* p = parent; p; p = p->parent_)
        if (p == this) throw EZylError(u"Um controle nao pode ser pai de si mesmo");
    TRef<TControl> keep(this);
    if (parent_) parent_->RemoveControl(this);
    if (!parent) {
        ParentChanged();
        return;
    }
    parent->controls_.push_back(TRef<TControl>(this));
    parent_ = parent;
    if (auto* self = dynamic_cast<TWinControl*>(this); self && parent->HandleAllocated()) {
        if (self->HandleAllocated()) {
            parent->AddPlatformChild(self->platformControl_.Get(), left_, top_);
            self->detached_ = false;
        } else {
            self->HandleNeeded();
        }
    }
    parent->Invalidate();
    parent->ChildChanged(this);
    ParentChanged();
    if (align_ != 0 && parent_) parent_->AlignControls();
}

void TControl::StoreAnchorDistances() {
    if (!parent_) return;
    AnchorRight = Clamp(int64_t(parent_->width_) - left_ - width_);
    AnchorBottom = Clamp(int64_t(parent_->height_) - top_ - height_);
}

void TControl::ParentChanged() {
    if (parentFont_ && parent_) Perform(ZM_PARENTFONTCHANGED);
    if (parentColor_ && parent_) Perform(ZM_PARENTCOLORCHANGED);
    StoreAnchorDistances();
    SyncToPlatform();
    Invalidate();
}

void TControl::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    int32_t w = std::max(width, 0), h = std::max(height, 0);
    if (Constraints) {
        if (Constraints->MaxWidth > 0 && width > Constraints->MaxWidth) w = Constraints->MaxWidth;
        w = std::max(w, Constraints->MinWidth);
        if (Constraints->MaxHeight > 0 && height > Constraints->MaxHeight) h = Constraints->MaxHeight;
        h = std::max(h, Constraints->MinHeight);
    }
    const bool moved = left != left_ || top != top_;
    const bool sized = w != width_ || h != height_;
    if (!moved && !sized) return;
    if (parent_) parent_->Invalidate();
    left_ = left, top_ = top, width_ = w, height_ = h;
    StoreAnchorDistances();
    ApplyBounds();
    if (sized) Resize();
    if (parent_) {
        parent_->Invalidate();
        if (align_ != 0) parent_->AlignControls();
        parent_->ChildChanged(this);
    }
}

void TControl::SetText(const std::u16string& value) {
    if (value == text_) return;
    text_ = value;
    Perform(ZM_TEXTCHANGED);
    SyncToPlatform();
    Invalidate();
}

std::u16string TControl::GetText() { return text_; }

void TControl::SetColor(TColor value) {
    if (value == color_ && !parentColor_) return;
    color_ = value;
    parentColor_ = false;
    Perform(ZM_COLORCHANGED);
    Invalidate();
}

void TControl::SetVisible(bool value) {
    if (value == visible_) return;
    visible_ = value;
    SyncToPlatform();
    if (parent_) {
        parent_->Invalidate();
        if (align_ != 0) parent_->AlignControls();
    }
}

void TControl::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    SyncToPlatform();
    Invalidate();
}

void TControl::SetAlign(uint8_t value) {
    if (value == align_) return;
    align_ = value;
    if (parent_) parent_->AlignControls();
}

void TControl::SetShowParentBackground(bool value) {
    if (value == showParentBackground_) return;
    showParentBackground_ = value;
    Invalidate();
}

void TControl::FontChanged() {
    if (!copyingParentFont_) parentFont_ = false;
    Perform(ZM_FONTCHANGED);
    Invalidate();
}

bool TControl::Dispatch(TZylMessage& message) { return RunMessageTable(this, MessageTable, message); }

void TControl::DeliverMessage(TZylMessage& message) {
    if (!Dispatch(message)) UnhandledMessage(message);
}

void TControl::Perform(uint32_t id) {
    TZylMessage message;
    message.Msg = id;
    DeliverMessage(message);
}

void TControl::Invalidate() {
    if (parent_) parent_->Invalidate();
}

void TControl::Click() {
    if (OnClick)
        OnClick(this);
    else if (CommandObject)
        System::FireEventWithComponent(*CommandObject, this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(int32_t button, TShiftState shift, int32_t x, int32_t y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TControl::MouseUp(int32_t button, TShiftState shift, int32_t x, int32_t y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TControl::MouseMove(TShiftState shift, int32_t x, int32_t y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

bool TControl::DoMouseWheel(TShiftState shift, int32_t delta, TPoint position) {
    bool handled = false;
    if (OnMouseWheel) OnMouseWheel(this, shift, delta, position, handled);
    return handled;
}

void TControl::Resize() {
    if (OnResize) OnResize(this);
}

TPoint TControl::OriginInRoot() const {
    int64_t x = 0, y = 0;
    for (const TControl* c = this; c && c->parent_; c = c->parent_) x += c->left_, y += c->top_;
    return {Clamp(x), Clamp(y)};
}

TPoint TControl::ClientToScreen(TPoint point) const {
    const TPoint origin = OriginInRoot();
    TPoint p{Clamp(int64_t(point.X) + origin.X), Clamp(int64_t(point.Y) + origin.Y)};
    if (TWinControl* form = GetParentForm(this))
        if (TPlatformWindow* window = form->GetPlatformWindow()) {
            int32_t x = 0, y = 0;
            window->GetClientOrigin(x, y);
            p = {Clamp(int64_t(p.X) + x), Clamp(int64_t(p.Y) + y)};
            if (!form->IsTopLevel()) p = {Clamp(int64_t(p.X) + form->Left()), Clamp(int64_t(p.Y) + form->Top())};
        }
    return p;
}

bool TControl::IsReallyVisible() const {
    for (const TControl* c = this; c; c = c->parent_)
        if (!c->visible_) return false;
    return true;
}

bool TControl::IsReallyEnabled() const {
    for (const TControl* c = this; c; c = c->parent_)
        if (!c->enabled_) return false;
    return true;
}

bool TControl::ContainsPoint(int32_t x, int32_t y) const {
    return x >= left_ && int64_t(x) - left_ < width_ && y >= top_ && int64_t(y) - top_ < height_;
}

void TControl::WMLButtonDown(TZylMessage& m) {
    if (DragMode == 1) BeginDrag(this);
    mousePressed_ = true;
    MouseDown(0, ShiftFlags(m.Shift) + ssLeft, m.X, m.Y);
}

void TControl::WMLButtonUp(TZylMessage& m) {
    const bool inside = mousePressed_ && m.X >= 0 && m.X < width_ && m.Y >= 0 && m.Y < height_;
    mousePressed_ = false;
    MouseUp(0, ShiftFlags(m.Shift) + ssLeft, m.X, m.Y);
    if (inside && ClickOnMouseUp()) Click();
}

void TControl::WMLButtonDblClk(TZylMessage& m) {
    mousePressed_ = true;
    MouseDown(0, ShiftFlags(m.Shift) + ssLeft + ssDouble, m.X, m.Y);
    DblClick();
}

void TControl::WMRButtonDown(TZylMessage& m) { MouseDown(1, ShiftFlags(m.Shift) + ssRight, m.X, m.Y); }
void TControl::WMRButtonUp(TZylMessage& m) {
    MouseUp(1, ShiftFlags(m.Shift) + ssRight, m.X, m.Y);
    if (TRef<TPopupMenu> menu = PopupMenu; menu && IsReallyEnabled()) menu->Popup(this, m.X, m.Y);
}
void TControl::WMMButtonDown(TZylMessage& m) { MouseDown(2, ssMiddle, m.X, m.Y); }
void TControl::WMMButtonUp(TZylMessage& m) { MouseUp(2, ssMiddle, m.X, m.Y); }

void TControl::WMMouseMove(TZylMessage& m) {
    const TShiftState s = ShiftFlags(m.Shift);
    MouseMove(mousePressed_ ? s + ssLeft : s, m.X, m.Y);
    if (ControlMouseMoveHook) ControlMouseMoveHook(this, m.X, m.Y);
}

void TControl::WMMouseWheel(TZylMessage& m) {
    if (DoMouseWheel(ShiftFlags(m.Key & 0xFFFF), int32_t(m.Shift), TPoint{m.X, m.Y})) {
        m.Result = 1;
    } else if (parent_) {
        // Straight to the parent's tables: its routing would hand the point
        // back to the child under it, and the wheel would never climb.
        m.X = Clamp(int64_t(m.X) + left_), m.Y = Clamp(int64_t(m.Y) + top_);
        TRef<TWinControl> parent = parent_;
        parent->TControl::DeliverMessage(m);
    }
}

void TControl::ZMMouseEnter(TZylMessage&) {
    if (OnMouseEnter) OnMouseEnter(this);
}

void TControl::ZMMouseLeave(TZylMessage&) {
    if (OnMouseLeave) OnMouseLeave(this);
}

void TControl::ZMParentFontChanged(TZylMessage&) {
    if (!parentFont_ || !parent_) return;
    TFlagGuard guard(copyingParentFont_);
    font_->Assign(parent_->Font());
}

void TControl::ZMParentColorChanged(TZylMessage&) {
    if (!parentColor_ || !parent_) return;
    color_ = parent_->Color();
    Perform(ZM_COLORCHANGED);
    Invalidate();
}

// ---- TWinControl -----------------------------------------------------------------

const TMessageEntry<TWinControl> TWinControl::MessageTable[13] = {
    {WM_PAINT, &TWinControl::WMPaint},
    {WM_ERASEBKGND, &TWinControl::WMEraseBkgnd},
    {ZM_DIALOGCHAR, &TWinControl::ZMDialogChar},
    {WM_SIZE, &TWinControl::WMSize},
    {WM_SETFOCUS, &TWinControl::WMSetFocus},
    {WM_LBUTTONDOWN, &TWinControl::WMLButtonDownWin},
    {WM_LBUTTONUP, &TWinControl::WMLButtonUpWin},
    {WM_KILLFOCUS, &TWinControl::WMKillFocus},
    {WM_KEYDOWN, &TWinControl::WMKeyDown},
    {WM_KEYUP, &TWinControl::WMKeyUp},
    {WM_CHAR, &TWinControl::WMChar},
    {ZM_MOUSELEAVE, &TWinControl::ZMMouseLeaveWin},
    {ZM_FONTCHANGED, &TWinControl::ZMFontChanged},
};

TWinControl::TWinControl(System::TComponent* owner) : TControl(owner) {
    InnerMargins = System::MakeRef<TMargins>(this, 0, true);
}

TControl* TWinControl::GetControl(size_t index) const {
    if (index >= controls_.size()) throw System::EListError(u"índice fora da lista");
    return controls_[index].Get();
}

TWinControl::~TWinControl() {
    EnterDestruction();
    // Once the children are unparented, nothing tells that they lay in here.
    if (TWinControl* form = GetParentForm(this)) form->ControlLeaving(this);
    hoverChild_ = captureChild_ = nullptr;
    while (!controls_.empty()) {
        TRef<TControl> child = controls_.back();
        child->parent_ = nullptr;
        controls_.pop_back();
        std::erase(ownedComponents_, TRef<System::TComponent>(child.Get()));
    }
    // The platform widget outlives this control wherever its parent or window
    // still lists it: it must neither report to a freed sink nor take the
    // clicks of the place it covered.
    if (events_) events_->Owner = nullptr;
    if (platformControl_) {
        platformControl_->Events = nullptr;
        platformControl_->RemoveFromParent();
    }
    platformControl_ = nullptr;
    events_ = nullptr;
}

void TWinControl::Notification(System::TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    // Compared by address: a counted temporary would free a component that
    // announces itself from its constructor, while its count is still 0.
    const auto same = [component](const TRef<System::TComponent>& owned) { return owned.Get() == component; };
    if (operation == opRemove) {
        std::erase_if(ownedComponents_, same);
    } else if (component->Owner() == this && std::none_of(ownedComponents_.begin(), ownedComponents_.end(), same)) {
        ownedComponents_.push_back(TRef<System::TComponent>(component));
    }
}

TPlatformWindow* TWinControl::GetPlatformWindow() const {
    return platformControl_ ? platformControl_->GetWindow() : nullptr;
}

System::TRef<TPlatformControl> TWinControl::CreatePlatformControl(TPlatformApp& app) {
    return app.CreateCustomControl();
}

void TWinControl::CreateNative() {
    TPlatformApp* app = GetPlatformApp();
    TRef<TPlatformControl> control = CreatePlatformControl(*app);
    if (!control) throw EZylError(u"A plataforma nao criou o controle " + ClassNameOf(*this));
    platformControl_ = control;
    platformControl_->Events = MakeEvents();
    if (TWinControl* parent = Parent()) {
        parent->HandleNeeded();
        parent->AddPlatformChild(platformControl_.Get(), Left(), Top());
    }
}

TZylEvents* TWinControl::MakeEvents() {
    events_ = System::MakeRef<TZylEvents>(this);
    return events_.Get();
}

void TWinControl::HandleNeeded() {
    if (HandleAllocated()) return;
    CreateNative();
    {
        TFlagGuard guard(creating_);
        InitPlatformControl();
    }
    for (const TRef<TControl>& entry : std::vector<TRef<TControl>>(controls_)) {
        auto* child = dynamic_cast<TWinControl*>(entry.Get());
        if (!child) continue;
        if (child->HandleAllocated()) {
            AddPlatformChild(child->platformControl_.Get(), child->Left(), child->Top());
            child->detached_ = false;
        } else {
            child->HandleNeeded();
        }
    }
}

void TWinControl::InitPlatformControl() {
    TPlatformControl& pc = *platformControl_;
    pc.SetBounds(Left(), Top(), Width(), Height());
    pc.SetEnabled(Enabled());
    pc.Reserved34(TabStop);
    if (!text_.empty()) pc.SetText(text_);
    pc.SetHint(Hint);
    pc.SetCursor(PlatformCursorKind(Cursor));
    pc.SetVisible(Visible());
}

int32_t TWinControl::PlatformCursorKind(int32_t cursorId) {
    return cursorId == 0 && platformControl_ ? platformControl_->DefaultCursor() : CursorKindOf(cursorId);
}

void TWinControl::SyncToPlatform() {
    if (!platformControl_) return;
    TRef<TPlatformControl> pc = platformControl_;
    pc->SetEnabled(Enabled());
    pc->SetVisible(Visible() && !detached_);
    pc->SetHint(Hint);
    pc->SetCursor(PlatformCursorKind(Cursor));
    if (!NativeText || pc->GetText() != text_) pc->SetText(text_);
}

void TWinControl::ApplyBounds() {
    if (platformControl_) platformControl_->SetBounds(Left(), Top(), Width(), Height());
}

void TWinControl::AddPlatformChild(TPlatformControl* child, int32_t x, int32_t y) {
    platformControl_->AddChild(child, x, y);
}

void TWinControl::ParentChanged() {
    TControl::ParentChanged();
    if (Parent() && Parent()->HandleAllocated()) HandleNeeded();
}

void TWinControl::Resize() {
    TControl::Resize();
    AlignControls();
}

void TWinControl::Invalidate() {
    if (platformControl_)
        platformControl_->Invalidate();
    else if (Parent())
        Parent()->Invalidate();
}

void TWinControl::SetText(const std::u16string& value) {
    if (!NativeText || !platformControl_) return TControl::SetText(value);
    if (platformControl_->GetText() == value) return;
    text_ = value;
    platformControl_->SetText(value);
    Perform(ZM_TEXTCHANGED);
}

std::u16string TWinControl::GetText() {
    return NativeText && platformControl_ ? platformControl_->GetText() : text_;
}

void TWinControl::NativeChanged() {
    if (NativeText && platformControl_) text_ = platformControl_->GetText();
    Perform(ZM_CHANGED);
}

void TWinControl::RemoveControl(TControl* child) {
    if (hoverChild_ == child) hoverChild_ = nullptr;
    if (captureChild_ == child) captureChild_ = nullptr;
    auto it = std::find(controls_.begin(), controls_.end(), TRef<TControl>(child));
    if (it == controls_.end()) return;
    TRef<TControl> keep = *it;
    if (TWinControl* form = GetParentForm(this)) form->ControlLeaving(child);
    controls_.erase(it);
    child->parent_ = nullptr;
    if (auto* win = dynamic_cast<TWinControl*>(child); win && win->platformControl_) {
        win->platformControl_->RemoveFromParent();
        win->detached_ = true;
    }
    Invalidate();
    ChildChanged(nullptr);
}

void TWinControl::SetFocus() {
    if (platformControl_) platformControl_->SetFocus();
}

bool TWinControl::CanFocus() const { return IsReallyVisible() && IsReallyEnabled() && HandleAllocated(); }

void TWinControl::FocusChanged(TWinControl* control) {
    if (Parent()) Parent()->FocusChanged(control);
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

void TWinControl::KeyDown(uint16_t& key, TShiftState shift) {
    if (OnKeyDown) OnKeyDown(this, key, shift);
}

void TWinControl::KeyUp(uint16_t& key, TShiftState shift) {
    if (OnKeyUp) OnKeyUp(this, key, shift);
}

void TWinControl::KeyPress(char16_t& key) {
    if (OnKeyPress) OnKeyPress(this, key);
}

TControl* TWinControl::GraphicControlAtPos(int32_t x, int32_t y) const {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
        if (!(*it)->IsWindowed() && (*it)->Visible() && (*it)->ContainsPoint(x, y)) return it->Get();
    return nullptr;
}

TControl* TWinControl::ControlAtPos(int32_t x, int32_t y, int32_t& localX, int32_t& localY) {
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it)
        if (auto* win = dynamic_cast<TWinControl*>(it->Get());
            win && win->Visible() && win->Enabled() && win->ContainsPoint(x, y))
            return win->ControlAtPos(Clamp(int64_t(x) - win->Left()), Clamp(int64_t(y) - win->Top()), localX, localY);
    for (auto it = controls_.rbegin(); it != controls_.rend(); ++it) {
        TControl& c = **it;
        if (!c.IsWindowed() && c.Visible() && c.Enabled() && c.ContainsPoint(x, y)) {
            localX = Clamp(int64_t(x) - c.Left()), localY = Clamp(int64_t(y) - c.Top());
            return &c;
        }
    }
    localX = x, localY = y;
    return this;
}

void TWinControl::SetHoverChild(TControl* child) {
    if (child == hoverChild_) return;
    if (TRef<TControl> old = hoverChild_) {
        hoverChild_ = nullptr;
        old->Perform(ZM_MOUSELEAVE);
        RunHoverHook(old.Get(), false);
    }
    hoverChild_ = child;
    if (TRef<TControl> entered = child) {
        entered->Perform(ZM_MOUSEENTER);
        RunHoverHook(entered.Get(), true);
    }
}

void TWinControl::UpdateCursor() {
    int32_t c = Cursor;
    if (hoverChild_ && hoverChild_->Cursor != 0) c = hoverChild_->Cursor;
    if (!platformControl_) return ApplyWindowCursor(CursorKindOf(c));
    const int32_t kind = PlatformCursorKind(c);
    if (kind != platformControl_->GetCursor()) platformControl_->SetCursor(kind);
}

bool TWinControl::RouteToGraphicChild(TZylMessage& message) {
    const uint32_t id = message.Id();
    TRef<TControl> target = captureChild_ ? captureChild_ : GraphicControlAtPos(message.X, message.Y);
    if (IsButtonPress(id)) {
        pressX_ = message.X, pressY_ = message.Y;
        if (target && !captureChild_ && target->Enabled()) {
            captureChild_ = target.Get();
            if (platformControl_) platformControl_->SetMouseCapture(true);
        }
    }
    if (id == WM_MOUSEMOVE) {
        SetHoverChild(GraphicControlAtPos(message.X, message.Y));
        UpdateCursor();
    }
    // A release ends the capture whoever receives it: a child disabled while
    // pressed would otherwise keep every later mouse message from the others.
    if (IsButtonRelease(id) && captureChild_) {
        captureChild_ = nullptr;
        if (platformControl_) platformControl_->SetMouseCapture(false);
    }
    if (!target || !target->Enabled() || target->Parent() != this) return false;
    TZylMessage copy = message;
    copy.X = Clamp(int64_t(copy.X) - target->Left()), copy.Y = Clamp(int64_t(copy.Y) - target->Top());
    target->DeliverMessage(copy);
    message.Result = copy.Result;
    return true;
}

void TWinControl::DeliverMessage(TZylMessage& message) {
    TRef<TWinControl> keep(this);
    const bool mouse = IsMouseMessage(message.Id());
    if (mouse) {
        lastMouseControl = this;
        lastMousePosition = {message.X, message.Y};
    }
    if (OfferToActiveDrag(*this, message)) return;
    if (mouse && RouteToGraphicChild(message)) return;
    TControl::DeliverMessage(message);
}

bool TWinControl::Dispatch(TZylMessage& message) {
    return RunMessageTable(this, MessageTable, message) || TControl::Dispatch(message);
}

void TWinControl::WMPaint(TZylMessage& m) {
    auto* canvas = static_cast<TCanvas*>(m.Data());
    EraseBackground(*canvas);
    PaintWindow(*canvas);
    PaintControls(*canvas);
}

void TWinControl::WMEraseBkgnd(TZylMessage& m) {
    if (auto* canvas = static_cast<TCanvas*>(m.Data())) EraseBackground(*canvas);
    m.Result = 1;
}

void TWinControl::ZMDialogChar(TZylMessage& m) {
    m.Result = 0;
    for (const TRef<TControl>& child : std::vector<TRef<TControl>>(controls_)) {
        if (!child->Visible() || !child->Enabled()) continue;
        TZylMessage copy = m;
        child->DeliverMessage(copy);
        if (copy.Result != 0) {
            m.Result = copy.Result;
            return;
        }
    }
}

void TWinControl::WMSize(TZylMessage& m) {
    if (m.X == Width() && m.Y == Height()) return;
    width_ = std::max(m.X, 0), height_ = std::max(m.Y, 0);
    Resize();
}

void TWinControl::WMSetFocus(TZylMessage&) {
    focused_ = true;
    FocusChanged(this);
    DoEnter();
}

void TWinControl::WMKillFocus(TZylMessage&) {
    focused_ = false;
    DoExit();
}

void TWinControl::WMLButtonDownWin(TZylMessage& m) {
    if (CapturesMouse() && platformControl_) {
        platformControl_->SetMouseCapture(true);
        if (TabStop && !focused_) platformControl_->SetFocus();
    }
    WMLButtonDown(m);
}

void TWinControl::WMLButtonUpWin(TZylMessage& m) {
    if (CapturesMouse() && platformControl_) platformControl_->SetMouseCapture(false);
    WMLButtonUp(m);
}

void TWinControl::WMKeyDown(TZylMessage& m) {
    if (!WantsKey(m.Key, m.Shift))
        if (TWinControl* form = GetParentForm(this)) {
            TZylMessage dialog;
            dialog.Msg = ZM_DIALOGKEY;
            dialog.Key = m.Key;
            dialog.X = int32_t(m.Shift);
            form->DeliverMessage(dialog);
            if (dialog.Result != 0) {
                m.Key = 0;
                return;
            }
        }
    uint16_t key = uint16_t(m.Key);
    KeyDown(key, ShiftFlags(m.Shift));
    m.Key = key;
}

void TWinControl::WMKeyUp(TZylMessage& m) {
    uint16_t key = uint16_t(m.Key);
    KeyUp(key, ShiftFlags(m.Shift));
    m.Key = key;
}

void TWinControl::WMChar(TZylMessage& m) {
    char16_t key = char16_t(m.Key);
    KeyPress(key);
    m.Key = key;
}

void TWinControl::ZMMouseLeaveWin(TZylMessage& m) {
    SetHoverChild(nullptr);
    UpdateCursor();
    ZMMouseLeave(m);
}

void TWinControl::ZMFontChanged(TZylMessage&) {
    for (const TRef<TControl>& child : std::vector<TRef<TControl>>(controls_))
        if (child->ParentFont()) child->Perform(ZM_PARENTFONTCHANGED);
}

TWinControl* GetParentForm(const TControl* control) {
    const TControl* root = control;
    while (root->Parent()) root = root->Parent();
    auto* form = dynamic_cast<const TWinControl*>(root);
    return form && form->IsTopLevel() ? const_cast<TWinControl*>(form) : nullptr;
}

static void CollectInto(const TWinControl& container, std::vector<TWinControl*>& list) {
    for (const TRef<TControl>& entry : container.Controls()) {
        auto* child = dynamic_cast<TWinControl*>(entry.Get());
        if (!child || !child->Visible() || !child->Enabled()) continue;
        if (child->TabStop && child->HandleAllocated()) list.push_back(child);
        CollectInto(*child, list);
    }
}

std::vector<TWinControl*> CollectTabOrder(const TWinControl& container) {
    std::vector<TWinControl*> list;
    list.reserve(8);
    CollectInto(container, list);
    return list;
}

TWinControl* FindNextControl(const TWinControl& container, TWinControl* current, bool forward) {
    const std::vector<TWinControl*> list = CollectTabOrder(container);
    if (list.empty()) return nullptr;
    const auto found = std::find(list.begin(), list.end(), current);
    const size_t count = list.size();
    if (forward) return list[found == list.end() ? 0 : (size_t(found - list.begin()) + 1) % count];
    return list[found == list.end() || found == list.begin() ? count - 1 : size_t(found - list.begin()) - 1];
}

// ---- Alignment -------------------------------------------------------------------

void TWinControl::AnchorChildren() {
    for (const TRef<TControl>& entry : std::vector<TRef<TControl>>(controls_)) {
        TControl& c = *entry;
        if (c.Align() != 0) continue;
        int32_t l = c.Left(), t = c.Top(), w = c.Width(), h = c.Height();
        if (c.Anchors & 4) {
            if (c.Anchors & 1)
                w = Clamp(int64_t(Width()) - c.AnchorRight - l);
            else
                l = Clamp(int64_t(Width()) - c.AnchorRight - w);
        }
        if (c.Anchors & 8) {
            if (c.Anchors & 2)
                h = Clamp(int64_t(Height()) - c.AnchorBottom - t);
            else
                t = Clamp(int64_t(Height()) - c.AnchorBottom - h);
        }
        if (l == c.Left() && t == c.Top() && w == c.Width() && h == c.Height()) continue;
        c.SetBounds(l, t, w, h);
        c.StoreAnchorDistances();
    }
}

void TWinControl::DockChildren(uint8_t align, int64_t& l, int64_t& t, int64_t& r, int64_t& b) {
    // The area is not clipped: what comes out negative is left to SetBounds.
    const auto Place = [](TControl& c, int64_t left, int64_t top, int64_t width, int64_t height) {
        c.SetBounds(Clamp(left), Clamp(top), Clamp(width), Clamp(height));
    };
    std::vector<TRef<TControl>> group;
    for (const TRef<TControl>& c : controls_)
        if (c->Align() == align && c->Visible()) group.push_back(c);
    const auto key = [align](const TControl& c) {
        return align == 1 ? c.Top() : align == 2 ? -int64_t(c.Top()) : align == 3 ? c.Left() : -int64_t(c.Left());
    };
    if (align != 5)
        std::stable_sort(group.begin(), group.end(),
                         [&](const TRef<TControl>& a, const TRef<TControl>& z) { return key(*a) < key(*z); });
    for (const TRef<TControl>& entry : group) {
        TControl& c = *entry;
        const bool m = c.AlignUsesMargins;
        const int64_t ml = m ? c.Margins->Left : 0, mt = m ? c.Margins->Top : 0;
        const int64_t mr = m ? c.Margins->Right : 0, mb = m ? c.Margins->Bottom : 0;
        const int64_t w = c.Width(), h = c.Height();
        switch (align) {
        case 1:
            Place(c, l + ml, t + mt, r - mr - ml - l, h);
            t += mt + mb + c.Height();
            break;
        case 2:
            Place(c, l + ml, b - mb - h, r - mr - ml - l, h);
            b -= mt + mb + c.Height();
            break;
        case 3:
            Place(c, l + ml, t + mt, w, b - mb - mt - t);
            l += ml + mr + c.Width();
            break;
        case 4:
            Place(c, r - mr - w, t + mt, w, b - mb - mt - t);
            r -= ml + mr + c.Width();
            break;
        default:
            Place(c, l + ml, t + mt, r - mr - ml - l, b - mb - mt - t);
            break;
        }
    }
}

void TWinControl::AlignControls() {
    if (aligning_) return;
    // Outlives the guard, which writes into this control. A control whose
    // constructor sizes itself has no counted reference yet: one taken and
    // dropped here would free it inside its constructor.
    TRef<TWinControl> keep(RefCount() > 0 ? this : nullptr);
    TFlagGuard guard(aligning_);
    if (Width() != AlignedWidth || Height() != AlignedHeight) {
        AlignedWidth = Width(), AlignedHeight = Height();
        AnchorChildren();
    }
    const TRect area = GetClientRect();
    int64_t l = int64_t(area.Left) + InnerMargins->Left, t = int64_t(area.Top) + InnerMargins->Top;
    int64_t r = int64_t(area.Right) - InnerMargins->Right, b = int64_t(area.Bottom) - InnerMargins->Bottom;
    for (uint8_t align = 1; align <= 5; ++align) DockChildren(align, l, t, r, b);
}

// ---- Painting --------------------------------------------------------------------

void TWinControl::EraseBackground(TCanvas& canvas) {
    if (NoBackground) return;
    if (ShowParentBackground() && Parent()) return PaintParentBackground(*this, canvas);
    FillWithColor(canvas, *this);
}

void TWinControl::PaintControls(TCanvas& canvas) {
    for (const TRef<TControl>& child : std::vector<TRef<TControl>>(controls_))
        if (!child->IsWindowed() && child->Visible())
            PaintChild(canvas, *child, [&] { child->PaintControl(canvas); });
}

void TWinControl::PaintTo(TCanvas& canvas, TControl* upTo) {
    TakeControlLook(canvas, *this);
    if (Parent() && (NoBackground || ShowParentBackground()))
        PaintParentBackground(*this, canvas);
    else
        FillWithColor(canvas, *this);
    PaintWindow(canvas);
    const TRect r = BoundsOf(*upTo);
    const std::vector<TRef<TControl>> children(controls_);
    for (const TRef<TControl>& child : children) {
        if (child.Get() == upTo) {
            if (!upTo->IsWindowed()) return;
            continue;
        }
        if (!child->IsWindowed() && child->Visible() && Intersects(*child, r))
            PaintChild(canvas, *child, [&] { child->PaintControl(canvas); });
    }
    if (!upTo->IsWindowed()) return;
    for (const TRef<TControl>& child : children) {
        if (child.Get() == upTo) break;
        if (auto* win = dynamic_cast<TWinControl*>(child.Get()); win && win->Visible() && Intersects(*win, r))
            PaintChild(canvas, *win, [&] { PaintTree(*win, canvas); });
    }
}

void PaintTree(TWinControl& control, TCanvas& canvas) {
    TRef<TWinControl> keep(&control);
    TakeControlLook(canvas, control);
    control.EraseBackground(canvas);
    control.PaintWindow(canvas);
    control.PaintControls(canvas);
    for (const TRef<TControl>& child : std::vector<TRef<TControl>>(control.Controls()))
        if (auto* win = dynamic_cast<TWinControl*>(child.Get()); win && win->Visible())
            PaintChild(canvas, *win, [&] { PaintTree(*win, canvas); });
}

void PaintParentBackground(TControl& control, TCanvas& canvas) {
    TWinControl* parent = control.Parent();
    if (!parent) return;
    auto font = System::MakeRef<TFont>();
    auto pen = System::MakeRef<TPen>();
    auto brush = System::MakeRef<TBrush>();
    font->Assign(canvas.Font());
    pen->Assign(canvas.Pen());
    brush->Assign(canvas.Brush());
    struct TPutBack {
        TCanvas& Canvas;
        TFont* Font;
        TPen* Pen;
        TBrush* Brush;
        ~TPutBack() {
            Canvas.Restore();
            Canvas.SetFont(Font);
            Canvas.SetPen(Pen);
            Canvas.SetBrush(Brush);
        }
    };
    canvas.Save();
    TPutBack putBack{canvas, font.Get(), pen.Get(), brush.Get()};
    TPlatformCanvas& platform = *canvas.GetPlatformCanvas();
    int32_t ox = 0, oy = 0;
    platform.GetOrigin(ox, oy);
    platform.ClipRect(0, 0, control.Width(), control.Height());
    platform.SetOrigin(Clamp(int64_t(ox) - control.Left()), Clamp(int64_t(oy) - control.Top()));
    parent->PaintTo(canvas, &control);
}

TGraphicControl::TGraphicControl(System::TComponent* owner) : TControl(owner) { NoBackground = true; }

void TGraphicControl::PaintControl(TCanvas& canvas) {
    TRef<TControl> keep(this);
    TCanvasLoan loan(canvas_, canvas);
    if (!NoBackground) {
        if (ShowParentBackground())
            PaintParentBackground(*this, canvas);
        else
            FillWithColor(canvas, *this);
    }
    Paint();
}

void TCustomControl::PaintWindow(TCanvas& canvas) {
    TRef<TControl> keep(this);
    TCanvasLoan loan(canvas_, canvas);
    Paint();
}

// ---- TZylEvents --------------------------------------------------------------------

void TZylEvents::Send(uint32_t id, uint32_t key, uint32_t shift, int32_t x, int32_t y) {
    TRef<TWinControl> owner = Owner;
    if (!owner) return;
    TZylMessage m;
    m.Msg = id, m.Key = key, m.Shift = shift, m.X = x, m.Y = y;
    owner->DeliverMessage(m);
}

static uint32_t ButtonFlags(int32_t modifiers) {
    return (modifiers & 1 ? 4u : 0u) | (modifiers & 4 ? 8u : 0u);
}

void TZylEvents::Paint(TPlatformCanvas* platformCanvas) {
    TRef<TWinControl> owner = Owner;
    if (!owner || !platformCanvas) return;
    auto canvas = System::MakeRef<TCanvas>(TRef<TPlatformCanvas>(platformCanvas), false);
    canvas->SetFont(owner->Font());
    canvas->Brush()->SetColor(owner->Color());
    canvas->Brush()->SetStyle(bsSolid);
    TZylMessage m;
    m.Msg = WM_PAINT;
    m.SetData(canvas.Get());
    owner->DeliverMessage(m);
}

void TZylEvents::MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) {
    TRef<TZylEvents> keep(this);
    if (ControlPressHook) ControlPressHook(this, x, y, button);
    Send(button == 2 ? WM_MBUTTONDOWN : button == 3 ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, ButtonFlags(shift),
         uint32_t(shift), x, y);
}

void TZylEvents::MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) {
    Send(button == 2 ? WM_MBUTTONUP : button == 3 ? WM_RBUTTONUP : WM_LBUTTONUP, ButtonFlags(shift),
         uint32_t(shift), x, y);
}

void TZylEvents::MouseMove(int32_t x, int32_t y, int32_t shift) {
    Send(WM_MOUSEMOVE, ButtonFlags(shift), uint32_t(shift), x, y);
}

void TZylEvents::KeyDown(int32_t key, int32_t shift, int32_t extra) {
    TRef<TZylEvents> keep(this);
    if (ControlPressHook) ControlPressHook(this, key, shift, extra);
    TRef<TWinControl> owner = Owner;
    if (!owner) return;
    owner->KeyHandled = false;
    const uint32_t vk = KeySymToVirtualKey(uint32_t(key));
    if (vk == 0) return;
    TZylMessage m;
    m.Msg = WM_KEYDOWN, m.Key = vk, m.Shift = uint32_t(shift);
    owner->DeliverMessage(m);
    owner->KeyHandled = m.Key == 0;
}

void TZylEvents::KeyUp(int32_t key, int32_t shift) {
    if (const uint32_t vk = KeySymToVirtualKey(uint32_t(key))) Send(WM_KEYUP, vk, uint32_t(shift));
}

void TZylEvents::Resized(int32_t width, int32_t height) { Send(WM_SIZE, 0, 0, width, height); }
void TZylEvents::Moved(int32_t x, int32_t y) { Send(WM_MOVE, 0, 0, x, y); }
void TZylEvents::Activated(bool active) { Send(active ? ZM_ACTIVATE : ZM_DEACTIVATE); }
void TZylEvents::WindowStateChanged(int32_t state) { Send(ZM_WINDOWSTATE, uint32_t(state)); }

void TZylEvents::MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) {
    Send(WM_MOUSEWHEEL, uint32_t(shift), uint32_t(delta), x, y);
}

void TZylEvents::MouseEnter() {
    TRef<TWinControl> owner = Owner;
    if (!owner) return;
    if (TRef<TWinControl> parent = owner->Parent()) {
        parent->SetHoverChild(nullptr);
        parent->UpdateCursor();
    }
    owner->Perform(ZM_MOUSEENTER);
    RunHoverHook(owner.Get(), true);
}

void TZylEvents::MouseLeave() {
    TRef<TWinControl> owner = Owner;
    if (!owner) return;
    owner->Perform(ZM_MOUSELEAVE);
    RunHoverHook(owner.Get(), false);
}

void TZylEvents::FocusChanged(bool focused) { Send(focused ? WM_SETFOCUS : WM_KILLFOCUS); }

bool TZylEvents::TakeKeyHandled(int32_t, int32_t) {
    if (!Owner) return false;
    return std::exchange(Owner->KeyHandled, false);
}

char16_t TZylEvents::KeyPress(char16_t ch) {
    TRef<TWinControl> owner = Owner;
    if (!owner) return ch;
    TZylMessage m;
    m.Msg = WM_CHAR, m.Key = ch;
    owner->DeliverMessage(m);
    return char16_t(m.Key);
}

void TZylEvents::DroppedDownChanged(bool droppedDown) {
    if (TRef<TWinControl> owner = Owner) owner->NativeSelectionChanged(droppedDown);
}

void TZylEvents::DoubleClick() {
    if (TRef<TWinControl> owner = Owner) Send(WM_LBUTTONDBLCLK, 0, 0, owner->PressX(), owner->PressY());
}

void TZylEvents::DrawItem(TPlatformCanvas* canvas, int32_t index, int32_t left, int32_t top, int32_t right,
                          int32_t bottom, int32_t state) {
    if (TRef<TWinControl> owner = Owner) owner->NativeDrawItem(canvas, index, left, top, right, bottom, state);
}

void TZylEvents::Scroll(int32_t code, int32_t position) {
    if (TRef<TWinControl> owner = Owner) owner->NativeScroll(code, position);
}

void TZylEvents::Click() {
    if (TRef<TWinControl> owner = Owner) owner->NativeClick();
}

void TZylEvents::Changed() {
    // What the native control reports while it is being set up is not a change.
    if (TRef<TWinControl> owner = Owner; owner && !owner->Creating()) owner->NativeChanged();
}

bool TZylEvents::CloseQuery() {
    TRef<TWinControl> owner = Owner;
    return owner ? owner->CloseRequested() : true;
}

} // namespace Zyl
