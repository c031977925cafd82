// The control tree of the widget library: the message record and its
// dispatch, TControl, the platform event sink, windowed, graphic and custom
// controls, alignment and painting. No Windows header: the tree builds and
// is tested on the host as well.
//
// Ownership: a container's Controls and OwnedComponents hold their entries
// counted; Parent, HoverChild, CaptureChild, LastMouseControl and the sink's
// Owner are plain pointers that the going control clears in its destructor.
#pragma once

#include "System.Remainder.Classes.h"
#include "Zyl.Graphics.h"
#include "Zyl.Platform.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Zyl {

// ---- Messages ------------------------------------------------------------------

constexpr uint32_t ZM_ACTIVATE = 0xB000;
constexpr uint32_t ZM_DEACTIVATE = 0xB001;
constexpr uint32_t ZM_MOUSEENTER = 0xB002;
constexpr uint32_t ZM_MOUSELEAVE = 0xB003;
constexpr uint32_t ZM_FONTCHANGED = 0xB006;
constexpr uint32_t ZM_COLORCHANGED = 0xB007;
constexpr uint32_t ZM_TEXTCHANGED = 0xB008;
constexpr uint32_t ZM_PARENTFONTCHANGED = 0xB009;
constexpr uint32_t ZM_PARENTCOLORCHANGED = 0xB00A;
constexpr uint32_t ZM_DIALOGKEY = 0xB00B;
constexpr uint32_t ZM_DIALOGCHAR = 0xB00C;
constexpr uint32_t ZM_HINTSHOW = 0xB00F;
constexpr uint32_t ZM_CHANGED = 0xB017;
constexpr uint32_t ZM_WINDOWSTATE = 0xB018;
constexpr uint32_t ZM_THEMECHANGED = 0xB028;

constexpr uint32_t WM_MOVE = 0x0003;
constexpr uint32_t WM_SIZE = 0x0005;
constexpr uint32_t WM_SETFOCUS = 0x0007;
constexpr uint32_t WM_KILLFOCUS = 0x0008;
constexpr uint32_t WM_PAINT = 0x000F;
constexpr uint32_t WM_ERASEBKGND = 0x0014;
constexpr uint32_t WM_KEYDOWN = 0x0100;
constexpr uint32_t WM_KEYUP = 0x0101;
constexpr uint32_t WM_CHAR = 0x0102;
constexpr uint32_t WM_MOUSEMOVE = 0x0200;
constexpr uint32_t WM_LBUTTONDOWN = 0x0201;
constexpr uint32_t WM_LBUTTONUP = 0x0202;
constexpr uint32_t WM_LBUTTONDBLCLK = 0x0203;
constexpr uint32_t WM_RBUTTONDOWN = 0x0204;
constexpr uint32_t WM_RBUTTONUP = 0x0205;
constexpr uint32_t WM_MBUTTONDOWN = 0x0207;
constexpr uint32_t WM_MBUTTONUP = 0x0208;
constexpr uint32_t WM_MOUSEWHEEL = 0x020A;

// One delivery, built on the sender's stack; handlers write answers back.
// Key and Shift together are Data (a pointer: the canvas of WM_PAINT).
struct TZylMessage {
    uint64_t Msg = 0;
    uint32_t Key = 0;
    uint32_t Shift = 0;
    int32_t X = 0;
    int32_t Y = 0;
    int64_t Result = 0;

    uint32_t Id() const { return uint32_t(Msg); }
    void* Data() const { return reinterpret_cast<void*>(uintptr_t(Key) | uintptr_t(uint64_t(Shift) << 32)); }
    void SetData(void* p) {
        const uint64_t v = uint64_t(reinterpret_cast<uintptr_t>(p));
        Key = uint32_t(v), Shift = uint32_t(v >> 32);
    }
};
static_assert(sizeof(TZylMessage) == 32);

bool IsMouseMessage(uint32_t id);

// A class's message table: (id, handler) pairs scanned in order.
template <class C>
struct TMessageEntry {
    uint32_t Id;
    void (C::*Handler)(TZylMessage&);
};

// Runs the first handler of the table for the message's id; whether one ran.
template <class C, size_t N>
bool RunMessageTable(C* self, const TMessageEntry<C> (&table)[N], TZylMessage& message) {
    for (const auto& entry : table)
        if (entry.Id == message.Id()) {
            (self->*entry.Handler)(message);
            return true;
        }
    return false;
}

// Modifier bits of the events: 1 Shift, 2 Alt, 4 Control, 8 left, 16 right,
// 32 middle button, 64 double click.
using TShiftState = uint32_t;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32,
                      ssDouble = 64;
// From the platform's modifiers (1 Shift, 4 Control, 8 Alt).
inline TShiftState ShiftFlags(uint32_t m) { return (m & 5) | ((m >> 2) & 2); }

// The platform cursor kind of a cursor id (-22..-1); 0 for any other id.
int32_t CursorKindOf(int32_t cursorId);
// X11 key symbol to Windows virtual key; 0 outside the table.
uint32_t KeySymToVirtualKey(uint32_t keySym);

class EZylError : public System::Exception {
public:
    using System::Exception::Exception;
};

class TControl;
class TWinControl;
class TZylEvents;

using TMouseEvent = std::function<void(System::TObject* sender, int32_t button, TShiftState shift, int32_t x,
                                       int32_t y)>;
using TMouseMoveEvent = std::function<void(System::TObject* sender, TShiftState shift, int32_t x, int32_t y)>;
using TMouseWheelEvent = std::function<void(System::TObject* sender, TShiftState shift, int32_t delta,
                                            TPoint position, bool& handled)>;
using TKeyEvent = std::function<void(System::TObject* sender, uint16_t& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(System::TObject* sender, char16_t& key)>;

// ---- Process-wide state ----------------------------------------------------------

// The platform application; GetPlatformApp raises without one.
TPlatformApp* GetPlatformApp();
// The application's initialisation sets it; tests set it directly.
void SetPlatformAppInstance(TPlatformApp* app);

extern std::function<void(TControl* control, bool entering)> ControlHoverHook;
extern std::function<void(TZylEvents* sink, int32_t a, int32_t b, int32_t c)> ControlPressHook;
extern std::function<void(TControl* control, int32_t x, int32_t y)> ControlMouseMoveHook;

// The control that last received a mouse message, with its coordinates.
TControl* LastMouseControl();
TPoint LastMousePosition();

// ---- TControl --------------------------------------------------------------------

class TMargins : public System::TObject {
public:
    TMargins(TControl* owner, int32_t distance, bool isInner)
        : Owner(owner), Left(distance), Top(distance), Right(distance), Bottom(distance), IsInner(isInner) {}
    TControl* Owner;  // not counted: the control owns its margins
    int32_t Left, Top, Right, Bottom;
    bool IsInner;
};

struct TSizeConstraints {
    int32_t MinWidth = 0, MinHeight = 0, MaxWidth = 0, MaxHeight = 0;
};

class TControl : public System::TComponent {
public:
    explicit TControl(System::TComponent* owner);
    ~TControl() override;

    TWinControl* Parent() const { return parent_; }
    int32_t Left() const { return left_; }
    int32_t Top() const { return top_; }
    int32_t Width() const { return width_; }
    int32_t Height() const { return height_; }
    bool Visible() const { return visible_; }
    bool Enabled() const { return enabled_; }
    uint8_t Align() const { return align_; }
    TColor Color() const { return color_; }
    TFont* Font() const { return font_.Get(); }
    bool ParentFont() const { return parentFont_; }
    bool ParentColor() const { return parentColor_; }
    bool ShowParentBackground() const { return showParentBackground_; }
    bool MousePressed() const { return mousePressed_; }

    uint8_t Anchors = 3;
    int32_t AnchorRight = 0, AnchorBottom = 0;
    bool NoBackground = false;
    int16_t Cursor = 0;
    std::u16string Hint;
    System::TRef<TMargins> Margins;
    bool AlignUsesMargins = false;
    uint8_t DragMode = 0;
    int16_t DragCursor = -12;
    // Nil unless the application sets limits; ConstraintsChanged applies them.
    const TSizeConstraints* Constraints = nullptr;
    System::TRef<System::TComponentEventHolder> CommandObject;

    System::TNotifyEvent OnClick, OnDblClick, OnMouseEnter, OnMouseLeave, OnResize, OnChange;
    TMouseEvent OnMouseDown, OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TMouseWheelEvent OnMouseWheel;

    void SetParent(TWinControl* parent);
    virtual void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height);
    virtual void SetText(const std::u16string& value);
    virtual std::u16string GetText();
    void SetColor(TColor value);
    void SetVisible(bool value);
    void SetEnabled(bool value);
    void SetAlign(uint8_t value);
    void SetShowParentBackground(bool value);
    void SetParentFont(bool value) { parentFont_ = value; }
    void SetParentColor(bool value) { parentColor_ = value; }

    virtual void DeliverMessage(TZylMessage& message);
    // Sends the notification id with every other field zero.
    void Perform(uint32_t id);
    virtual void Invalidate();
    virtual void Click();
    virtual void DblClick();
    virtual bool IsWindowed() const { return false; }
    virtual void PaintControl(TCanvas& canvas) { (void)canvas; }
    TRect GetClientRect() const { return {0, 0, width_, height_}; }
    void ConstraintsChanged() { SetBounds(left_, top_, width_, height_); }

    TPoint OriginInRoot() const;
    TPoint ClientToScreen(TPoint point) const;
    bool IsReallyVisible() const;
    bool IsReallyEnabled() const;
    bool ContainsPoint(int32_t x, int32_t y) const;

protected:
    virtual void MouseDown(int32_t button, TShiftState shift, int32_t x, int32_t y);
    virtual void MouseUp(int32_t button, TShiftState shift, int32_t x, int32_t y);
    virtual void MouseMove(TShiftState shift, int32_t x, int32_t y);
    virtual bool DoMouseWheel(TShiftState shift, int32_t delta, TPoint position);
    virtual void ParentChanged();
    virtual void Resize();
    virtual void ApplyBounds() {}
    virtual void SyncToPlatform() {}
    virtual bool ClickOnMouseUp() { return true; }
    // The class chain's tables from this class up; whether a handler ran.
    virtual bool Dispatch(TZylMessage& message);
    virtual void UnhandledMessage(TZylMessage& message) { (void)message; }

    void WMLButtonDown(TZylMessage& m);
    void WMLButtonUp(TZylMessage& m);
    void WMLButtonDblClk(TZylMessage& m);
    void WMRButtonDown(TZylMessage& m);
    void WMRButtonUp(TZylMessage& m);
    void WMMButtonDown(TZylMessage& m);
    void WMMButtonUp(TZylMessage& m);
    void WMMouseMove(TZylMessage& m);
    void WMMouseWheel(TZylMessage& m);
    void ZMMouseEnter(TZylMessage& m);
    void ZMMouseLeave(TZylMessage& m);
    void ZMParentFontChanged(TZylMessage& m);
    void ZMParentColorChanged(TZylMessage& m);
    void ZMIgnore(TZylMessage& m) { (void)m; }

    std::u16string text_;

private:
    friend class TWinControl;
    void FontChanged();
    void StoreAnchorDistances();

    TWinControl* parent_ = nullptr;  // not counted: the parent's Controls hold this control
    int32_t left_ = 0, top_ = 0, width_ = 75, height_ = 25;
    bool visible_ = true, enabled_ = true;
    uint8_t align_ = 0;
    System::TRef<TFont> font_;
    bool parentFont_ = true, parentColor_ = true, copyingParentFont_ = false;
    TColor color_ = TColor(0xFF00000F);
    bool showParentBackground_ = false;
    bool mousePressed_ = false;

    static const TMessageEntry<TControl> MessageTable[15];
};

// ---- TWinControl -----------------------------------------------------------------

class TWinControl : public TControl {
public:
    explicit TWinControl(System::TComponent* owner);
    ~TWinControl() override;

    const std::vector<System::TRef<TControl>>& Controls() const { return controls_; }
    TControl* GetControl(size_t index) const { return controls_.at(index).Get(); }
    TPlatformControl* GetPlatformControl() const { return platformControl_.Get(); }
    TZylEvents* Events() const { return events_.Get(); }
    bool HandleAllocated() const { return platformControl_ != nullptr; }
    bool Detached() const { return detached_; }
    bool Creating() const { return creating_; }
    bool Focused() const { return focused_; }
    TControl* HoverChild() const { return hoverChild_; }
    TControl* CaptureChild() const { return captureChild_; }
    int32_t PressX() const { return pressX_; }
    int32_t PressY() const { return pressY_; }
    const std::vector<System::TRef<System::TComponent>>& OwnedComponents() const { return ownedComponents_; }

    bool TabStop = false;
    bool NativeText = false;
    bool KeyHandled = false;
    int32_t AlignedWidth = 0, AlignedHeight = 0;
    System::TRef<TMargins> InnerMargins;
    System::TNotifyEvent OnEnter, OnExit;
    TKeyEvent OnKeyDown, OnKeyUp;
    TKeyPressEvent OnKeyPress;

    void HandleNeeded();
    TPlatformWindow* GetPlatformWindow() const;
    void RemoveControl(TControl* child);
    void SetText(const std::u16string& value) override;
    std::u16string GetText() override;
    void DeliverMessage(TZylMessage& message) override;
    void Invalidate() override;
    bool IsWindowed() const override { return true; }
    virtual void AlignControls();
    virtual void SetFocus();
    bool CanFocus() const;
    void UpdateCursor();

    TControl* GraphicControlAtPos(int32_t x, int32_t y) const;
    TControl* ControlAtPos(int32_t x, int32_t y, int32_t& localX, int32_t& localY);

    virtual bool IsTopLevel() const { return false; }
    virtual bool CapturesMouse() const { return false; }
    virtual bool WantsKey(uint32_t key, uint32_t shift) { (void)key, (void)shift; return false; }
    virtual void FocusChanged(TWinControl* control);

    // Painting.
    virtual void EraseBackground(TCanvas& canvas);
    virtual void PaintWindow(TCanvas& canvas) { (void)canvas; }
    virtual void PaintControls(TCanvas& canvas);
    virtual void PaintTo(TCanvas& canvas, TControl* upTo);

    // What the sink reports besides messages.
    virtual void NativeClick() { Click(); }
    virtual void NativeChanged();
    virtual void NativeScroll(int32_t code, int32_t position) { (void)code, (void)position; }
    virtual void NativeDrawItem(TPlatformCanvas* canvas, int32_t index, int32_t left, int32_t top, int32_t right,
                                int32_t bottom, int32_t state) {
        (void)canvas, (void)index, (void)left, (void)top, (void)right, (void)bottom, (void)state;
    }
    virtual void NativeSelectionChanged(bool droppedDown) { (void)droppedDown; }
    virtual bool CloseRequested() { return true; }

    void Notification(System::TComponent* component, TOperation operation) override;

protected:
    virtual void CreateNative();
    virtual System::TRef<TPlatformControl> CreatePlatformControl(TPlatformApp& app);
    virtual void InitPlatformControl();
    virtual void ApplyWindowCursor(int32_t kind) { (void)kind; }
    virtual void AddPlatformChild(TPlatformControl* child, int32_t x, int32_t y);
    virtual void ChildChanged(TControl* child) { (void)child; }
    virtual void KeyDown(uint16_t& key, TShiftState shift);
    virtual void KeyUp(uint16_t& key, TShiftState shift);
    virtual void KeyPress(char16_t& key);
    virtual void DoEnter();
    virtual void DoExit();

    void ParentChanged() override;
    void Resize() override;
    void ApplyBounds() override;
    void SyncToPlatform() override;
    bool Dispatch(TZylMessage& message) override;

    void WMPaint(TZylMessage& m);
    void WMEraseBkgnd(TZylMessage& m);
    void ZMDialogChar(TZylMessage& m);
    void WMSize(TZylMessage& m);
    void WMSetFocus(TZylMessage& m);
    void WMKillFocus(TZylMessage& m);
    void WMLButtonDownWin(TZylMessage& m);
    void WMLButtonUpWin(TZylMessage& m);
    void WMKeyDown(TZylMessage& m);
    void WMKeyUp(TZylMessage& m);
    void WMChar(TZylMessage& m);
    void ZMMouseLeaveWin(TZylMessage& m);
    void ZMFontChanged(TZylMessage& m);

private:
    friend class TControl;
    friend class TZylEvents;
    // Routing of a mouse message to a graphic child; whether it was delivered.
    bool RouteToGraphicChild(TZylMessage& message);
    void SetHoverChild(TControl* child);
    // The platform control's cursor kind for a cursor id.
    int32_t PlatformCursorKind(int32_t cursorId);
    void DockChildren(uint8_t align, int64_t& l, int64_t& t, int64_t& r, int64_t& b);
    void AnchorChildren();

    std::vector<System::TRef<TControl>> controls_;
    std::vector<System::TRef<System::TComponent>> ownedComponents_;
    System::TRef<TPlatformControl> platformControl_;
    System::TRef<TZylEvents> events_;
    bool detached_ = false;
    bool aligning_ = false;
    bool creating_ = false;
    bool focused_ = false;
    TControl* hoverChild_ = nullptr;    // not counted: listed in controls_
    TControl* captureChild_ = nullptr;  // not counted: listed in controls_
    int32_t pressX_ = 0, pressY_ = 0;

    static const TMessageEntry<TWinControl> MessageTable[13];
};

// The root of the control's tree, when it is a top-level control; forms
// answer IsTopLevel.
TWinControl* GetParentForm(const TControl* control);

// Tab order: every windowed, visible and enabled descendant that has a tab
// stop and a platform control, depth first.
std::vector<TWinControl*> CollectTabOrder(const TWinControl& container);
TWinControl* FindNextControl(const TWinControl& container, TWinControl* current, bool forward);

// ---- Graphic and custom controls ---------------------------------------------------

class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(System::TComponent* owner);
    TCanvas* Canvas() const { return canvas_; }
    void PaintControl(TCanvas& canvas) override;

protected:
    virtual void Paint() {}

private:
    TCanvas* canvas_ = nullptr;  // lent for the length of one paint
};

class TCustomControl : public TWinControl {
public:
    using TWinControl::TWinControl;
    TCanvas* Canvas() const { return canvas_; }
    bool CapturesMouse() const override { return true; }
    void PaintWindow(TCanvas& canvas) override;

protected:
    virtual void Paint() {}

private:
    TCanvas* canvas_ = nullptr;  // lent for the length of one paint
};

// Paints control, its graphic children and its windowed subtree.
void PaintTree(TWinControl& control, TCanvas& canvas);
// Paints what lies under control, from its parent up, into its canvas.
void PaintParentBackground(TControl& control, TCanvas& canvas);

// ---- Event sink ----------------------------------------------------------------------

class TZylEvents : public TPlatformEvents {
public:
    explicit TZylEvents(TWinControl* owner) : Owner(owner) {}
    // Not counted: the owner holds the sink; its destructor clears this.
    TWinControl* Owner;

    void Paint(TPlatformCanvas* canvas) override;
    void MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseMove(int32_t x, int32_t y, int32_t shift) override;
    void KeyDown(int32_t key, int32_t shift, int32_t extra = 0) override;
    void KeyUp(int32_t key, int32_t shift) override;
    void CharInput(char16_t ch) override { (void)ch; }
    void Resized(int32_t width, int32_t height) override;
    void Moved(int32_t x, int32_t y) override;
    void Activated(bool active) override;
    void WindowStateChanged(int32_t state) override;
    void MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) override;
    void MouseEnter() override;
    void MouseLeave() override;
    void FocusChanged(bool focused) override;
    bool TakeKeyHandled(int32_t key = 0, int32_t shift = 0) override;
    char16_t KeyPress(char16_t ch) override;
    void DroppedDownChanged(bool droppedDown) override;
    void DoubleClick() override;
    void DrawItem(TPlatformCanvas* canvas, int32_t index, int32_t left, int32_t top, int32_t right, int32_t bottom,
                  int32_t state) override;
    void Scroll(int32_t code, int32_t position) override;
    void Click() override;
    void Changed() override;
    bool CloseQuery() override;

private:
    // Sends the message to the owner, holding it for the call; nothing
    // without one.
    void Send(uint32_t id, uint32_t key = 0, uint32_t shift = 0, int32_t x = 0, int32_t y = 0);
};

} // namespace Zyl
