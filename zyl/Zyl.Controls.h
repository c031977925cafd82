// The control tree of the widget library: the message record and its
// dispatch, TControl, the platform event sink, windowed, graphic and custom
// controls, alignment, drag and drop and painting. No Windows header: the
// tree builds and is tested on the host as well.
//
// Ownership: a container's Controls and OwnedComponents hold their entries
// counted; Parent, HoverChild, CaptureChild, LastMouseControl, the sink's
// Owner and the active drag's controls are plain pointers that the going
// control clears in its destructor.
#pragma once

#include "System.Remainder.Classes.h"
#include "System.Remainder.Strings.h"
#include "Zyl.Graphics.h"
#include "Zyl.Platform.h"

#include <cstdint>
#include <exception>
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

// A source that includes windows.h first has these ids as its macros, with
// the same values.
#undef WM_MOVE
#undef WM_SIZE
#undef WM_SETFOCUS
#undef WM_KILLFOCUS
#undef WM_PAINT
#undef WM_ERASEBKGND
#undef WM_KEYDOWN
#undef WM_KEYUP
#undef WM_CHAR
#undef WM_MOUSEMOVE
#undef WM_LBUTTONDOWN
#undef WM_LBUTTONUP
#undef WM_LBUTTONDBLCLK
#undef WM_RBUTTONDOWN
#undef WM_RBUTTONUP
#undef WM_MBUTTONDOWN
#undef WM_MBUTTONUP
#undef WM_MOUSEWHEEL

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

// Sets a flag for a scope and puts its old value back on every exit.
class TFlagGuard {
public:
    explicit TFlagGuard(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~TFlagGuard() { flag_ = old_; }
    TFlagGuard(const TFlagGuard&) = delete;
    TFlagGuard& operator=(const TFlagGuard&) = delete;

private:
    bool& flag_;
    bool old_;
};

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
// The platform application, or nil before the initialisation.
TPlatformApp* PlatformAppInstance();

extern std::function<void(TControl* control, bool entering)> ControlHoverHook;
extern std::function<void(TZylEvents* sink, int32_t a, int32_t b, int32_t c)> ControlPressHook;
extern std::function<void(TControl* control, int32_t x, int32_t y)> ControlMouseMoveHook;
// The control under a screen point, with the point in its coordinates; the
// application searches all its forms.
extern std::function<TControl*(int32_t screenX, int32_t screenY, int32_t& localX, int32_t& localY)>
    ControlAtScreenPointHook;

// For what a destructor caught, since nothing may leave a destructor: an
// Exception goes to handle; anything else, and whatever handle raises, is
// dropped and written to the debug output.
void SettleDestructorException(std::exception_ptr caught,
                               const std::function<void(const System::Exception&)>& handle) noexcept;

// The control that last received a mouse message, with its coordinates.
TControl* LastMouseControl();
TPoint LastMousePosition();

// ---- Drag and drop ------------------------------------------------------------------

// What a drag carries; a source's OnStartDrag may hand one over.
class TDragObject : public System::TObject {
public:
    // The cursor id while a drop is accepted or refused.
    virtual int32_t GetDragCursor(bool accepted) { return accepted ? -12 : -13; }
};

// Stands for the control being dragged.
class TDragControlObject : public TDragObject {
public:
    ~TDragControlObject() override;
    System::TRef<TControl> Control;
};

// The one drag operation at a time: from the press on its source through the
// threshold to the drop or the cancel. The control pointers are not counted:
// a going control takes itself out of the active drag.
class TDragSession : public System::TObject {
public:
    TControl* Source = nullptr;
    TWinControl* CaptureControl = nullptr;  // holds the platform mouse capture
    TControl* Target = nullptr;             // under the pointer
    TWinControl* CursorControl = nullptr;   // whose cursor was last changed
    System::TRef<TDragObject> DragObject;
    bool Dragging = false, Finished = false, Accepted = false;
    int32_t Threshold = 5;
    // Screen positions: the press, the last one seen; and the last one in
    // Target's coordinates.
    int32_t StartX = 0, StartY = 0, LastX = 0, LastY = 0, TargetX = 0, TargetY = 0;
    int32_t TimerId = 0;

    void BeginDragging();
    void MoveTo(int32_t screenX, int32_t screenY);
    void UpdateDragCursor();
    void Finish(bool drop);
    // What the targets are told is dragged: the object's control, the
    // object, or the source.
    System::TObject* DraggedControl() const;
    // A going control leaves the drag; the source's going cancels it.
    void ControlDestroyed(TControl* control);
};

// Starts a drag on control (its left press), finishing another one first.
void BeginDrag(TControl* control);
// The active drag, nil when none.
TDragSession* ActiveDrag();
// Offers a mouse message or Escape that a windowed control received to the
// active drag; whether the drag consumed it.
bool OfferToActiveDrag(TWinControl& receiver, TZylMessage& message);

using TStartDragEvent = std::function<void(System::TObject* sender, System::TRef<TDragObject>& dragObject)>;
// State 0 enter, 1 leave, 2 move.
using TDragOverEvent = std::function<void(System::TObject* sender, System::TObject* source, int32_t x, int32_t y,
                                          int32_t state, bool& accept)>;
using TDragDropEvent = std::function<void(System::TObject* sender, System::TObject* source, int32_t x, int32_t y)>;
using TEndDragEvent = std::function<void(System::TObject* sender, TControl* target, int32_t x, int32_t y)>;

// What a right-button release shows; the application supplies the menu.
class TPopupMenu : public System::TObject {
public:
    // Shows the menu for control at (x, y) in control's coordinates.
    virtual void Popup(TControl* control, int32_t x, int32_t y) = 0;
};

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
    uint8_t DragMode = 0;  // 1: a left press starts a drag
    int16_t DragCursor = -12;
    TStartDragEvent OnStartDrag;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TEndDragEvent OnEndDrag;
    virtual void DoStartDrag(System::TRef<TDragObject>& dragObject);
    // accept stays false without a handler.
    virtual void DragOver(System::TObject* source, int32_t x, int32_t y, int32_t state, bool& accept);
    virtual void DragDrop(System::TObject* source, int32_t x, int32_t y);
    virtual void DoEndDrag(TControl* target, int32_t x, int32_t y);
    System::TRef<TPopupMenu> PopupMenu;
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
    // Where aligned children go; containers with a frame or scroll bars
    // keep them out of it.
    virtual TRect GetClientRect() const { return {0, 0, width_, height_}; }
    virtual void ConstraintsChanged() { SetBounds(left_, top_, width_, height_); }

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
    // Plain stores with no notification: for bounds the platform already
    // took, and for constructors, which must not take and drop a reference.
    void StoreBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
        left_ = left, top_ = top, width_ = width, height_ = height;
    }
    void StoreColor(TColor value) { color_ = value, parentColor_ = false; }

private:
    friend class TWinControl;
    friend class TDragSession;
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
    // EListError "índice fora da lista" outside 0..count-1.
    TControl* GetControl(size_t index) const;
    TPlatformControl* GetPlatformControl() const { return platformControl_.Get(); }
    TZylEvents* Events() const { return events_.Get(); }
    virtual bool HandleAllocated() const { return platformControl_ != nullptr; }
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
    virtual TPlatformWindow* GetPlatformWindow() const;
    void RemoveControl(TControl* child);
    void SetText(const std::u16string& value) override;
    std::u16string GetText() override;
    void DeliverMessage(TZylMessage& message) override;
    void Invalidate() override;
    bool IsWindowed() const override { return true; }
    virtual void AlignControls();
    virtual void SetFocus();
    virtual bool CanFocus() const;
    void UpdateCursor();

    TControl* GraphicControlAtPos(int32_t x, int32_t y) const;
    TControl* ControlAtPos(int32_t x, int32_t y, int32_t& localX, int32_t& localY);

    virtual bool IsTopLevel() const { return false; }
    virtual bool CapturesMouse() const { return false; }
    virtual bool IsDefaultButton() const { return false; }
    virtual bool IsCancelButton() const { return false; }
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
    // Told to the form before control leaves it (removed or destroyed, with
    // its subtree), while the way up from control still reaches the form.
    virtual void ControlLeaving(TControl* control) { (void)control; }

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
    // A new sink for this control, kept as its Events.
    TZylEvents* MakeEvents();

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
    friend class TDragSession;
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

// ---- Scrolling windowed control ------------------------------------------------------

class TScrollingWinControl;

// Thickness of the scroll bars along the right and bottom edges.
constexpr int32_t ScrollBarSize = 17;

// The settings of one of the control's two bars.
class TControlScrollBar : public System::TObject {
public:
    TControlScrollBar(TScrollingWinControl* control, int32_t kind) : Control(control), Kind(kind) {}
    TScrollingWinControl* Control;  // not counted: the control owns its bars
    int32_t Kind;                   // 0 horizontal, 1 vertical
    int32_t Range = 0;              // content extent while AutoScroll is off
    int32_t Increment = 8;
    int32_t PageIncrement = 0;      // 0 or less: the visible extent
    int32_t Margin = 0;
    bool Visible = true;
    bool Tracking = false;
};

// Receives the events of one platform scroll bar.
class TScrollBarEvents : public TPlatformEvents {
public:
    TScrollBarEvents(TScrollingWinControl* owner, uint8_t kind) : Owner(owner), Kind(kind) {}
    // Not counted; the control's destructor clears it, so late events do nothing.
    TScrollingWinControl* Owner;
    uint8_t Kind;
    void Scroll(int32_t code, int32_t position) override;
};

class TScrollingWinControl : public TWinControl {
public:
    explicit TScrollingWinControl(System::TComponent* owner);
    ~TScrollingWinControl() override;

    System::TRef<TControlScrollBar> HorzScrollBar, VertScrollBar;
    bool AutoScroll = true;

    int32_t HorzPosition() const { return horzPosition_; }
    int32_t VertPosition() const { return vertPosition_; }
    bool HorzShown() const { return horzShown_; }
    bool VertShown() const { return vertShown_; }
    int32_t ContentWidth() const { return contentWidth_; }
    int32_t ContentHeight() const { return contentHeight_; }
    TPlatformControl* HorzBar() const { return horzBar_.Get(); }
    TPlatformControl* VertBar() const { return vertBar_.Get(); }

    virtual void UpdateScrollBars();
    virtual void ScrollBarChanged(bool vertical, int32_t code, int32_t position);
    void ScrollBy(int32_t dx, int32_t dy);
    void ScrollInView(TControl* control);
    void GetContentExtent(int32_t& width, int32_t& height) const;
    TRect GetClientRect() const override;
    void FocusChanged(TWinControl* control) override;

protected:
    void InitPlatformControl() override;
    void ChildChanged(TControl* child) override;
    void Resize() override;
    bool DoMouseWheel(TShiftState shift, int32_t delta, TPoint position) override;
    void CreateScrollBars();
    // Scrolls a focused descendant into view when AutoScroll is on.
    void AutoScrollInView(TControl* control);

private:
    // The client extent left by the bars currently shown.
    int32_t VisibleWidth() const { return vertShown_ ? Width() - ScrollBarSize : Width(); }
    int32_t VisibleHeight() const { return horzShown_ ? Height() - ScrollBarSize : Height(); }
    void PushScrollParams();

    int32_t horzPosition_ = 0, vertPosition_ = 0;
    bool updating_ = false;
    System::TRef<TPlatformControl> horzBar_, vertBar_;
    System::TRef<TScrollBarEvents> horzBarEvents_, vertBarEvents_;
    bool horzShown_ = false, vertShown_ = false;
    int32_t contentWidth_ = 0, contentHeight_ = 0;
};

// ---- Label, panel, paint box and timer -----------------------------------------------

// Static text; with AutoSize on it takes the size of its caption.
class TLabel : public TGraphicControl {
public:
    explicit TLabel(System::TComponent* owner);

    bool AutoSize() const { return autoSize_; }
    bool WordWrap() const { return wordWrap_; }
    void SetAutoSize(bool value);
    void SetWordWrap(bool value);
    // Sizes the label to its caption when AutoSize is on.
    void AdjustBounds();

    uint8_t Alignment = 0;  // 0 left, 1 right, 2 centre
    uint8_t Layout = 0;     // 0 top, 1 centre, other values bottom
    bool ShowAccelChar = true;

protected:
    void Paint() override;
    bool Dispatch(TZylMessage& message) override;

private:
    void ZMTextOrFontChanged(TZylMessage& m);
    // DrawText flags of the caption, without the measuring bit.
    TDrawTextFlags TextFormat() const;

    bool wordWrap_ = false;
    bool autoSize_ = true;

    static const TMessageEntry<TLabel> MessageTable[2];
};

// A bevelled frame of kind 0 none, 1 lowered, 2 raised, 3 space (nothing
// drawn); other kinds draw lowered. Each ring is drawn inside rect.
void DrawBevel(TCanvas& canvas, const TRect& rect, uint8_t kind, int32_t width);

// A container with a bevelled frame and a centred caption.
class TPanel : public TCustomControl {
public:
    explicit TPanel(System::TComponent* owner);

    uint8_t BevelOuter() const { return bevelOuter_; }
    void SetBevelOuter(uint8_t value);
    TRect GetClientRect() const override;

    uint8_t BevelInner = 0;
    int32_t BevelWidth = 1;
    int32_t BorderWidth = 0;
    uint8_t BorderStyle = 0;  // 1: a one-pixel frame in the window-frame colour
    uint8_t Alignment = 2;    // 0 left, 1 right, other values centre

protected:
    void Paint() override;
    bool Dispatch(TZylMessage& message) override;

private:
    void ZMTextChanged(TZylMessage& m);

    uint8_t bevelOuter_ = 2;

    static const TMessageEntry<TPanel> MessageTable[1];
};

// An area its owner paints in OnPaint.
class TPaintBox : public TGraphicControl {
public:
    explicit TPaintBox(System::TComponent* owner);
    System::TNotifyEvent OnPaint;

protected:
    void Paint() override;
};

// OnTimer every Interval milliseconds through a platform timer.
class TTimer : public System::TComponent {
public:
    explicit TTimer(System::TComponent* owner);
    ~TTimer() override;

    int32_t Interval() const { return interval_; }
    bool Enabled() const { return enabled_; }
    bool Registered() const { return registered_; }
    int32_t TimerId() const { return timerId_; }
    void SetInterval(int32_t value);
    void SetEnabled(bool value);

    System::TNotifyEvent OnTimer;

protected:
    virtual void Timer();

private:
    void UpdateTimer();
    void TimerProc();

    int32_t interval_ = 1000;
    bool enabled_ = true;
    int32_t timerId_ = 0;
    bool registered_ = false;
};

// ---- Edit boxes and memo ----------------------------------------------------------------

// The common part of the text boxes: the text lives in the platform control;
// the settings are sent once it exists.
class TCustomEdit : public TWinControl {
public:
    explicit TCustomEdit(System::TComponent* owner);

    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool value);
    void NativeChanged() override;

    int32_t MaxLength = 0;  // 0 or less: no limit
    char16_t PasswordChar = 0;
    uint8_t CharCase = 0;  // 0 normal, 1 upper, 2 lower
    bool NumbersOnly = false;
    bool Border = true;

protected:
    bool ClickOnMouseUp() override { return false; }
    void InitPlatformControl() override;
    bool Dispatch(TZylMessage& message) override;

private:
    void ZMChanged(TZylMessage& m);

    bool readOnly_ = false;

    static const TMessageEntry<TCustomEdit> MessageTable[1];
};

class TEdit : public TCustomEdit {
public:
    using TCustomEdit::TCustomEdit;

protected:
    System::TRef<TPlatformControl> CreatePlatformControl(TPlatformApp& app) override;
};

class TMemoLines : public System::TStringList {};

// The multi-line box; Lines and the platform text follow each other, lines
// separated by a line feed.
class TMemo : public TCustomEdit {
public:
    explicit TMemo(System::TComponent* owner);
    ~TMemo() override;

    TMemoLines* Lines() const { return lines_.Get(); }
    bool WordWrap() const { return wordWrap_; }
    uint8_t ScrollBars() const { return scrollBars_; }
    bool UpdatingLines() const { return updatingLines_; }
    void SetWordWrap(bool value);
    void SetScrollBars(uint8_t value);
    // The lines joined by line feeds, without one after the last line.
    std::u16string MemoText() const;
    void NativeChanged() override;
    bool WantsKey(uint32_t key, uint32_t shift) override;

    bool WantReturns = true;
    bool WantTabs = false;

protected:
    System::TRef<TPlatformControl> CreatePlatformControl(TPlatformApp& app) override;
    void InitPlatformControl() override;

private:
    void LinesChanged();

    System::TRef<TMemoLines> lines_;
    bool wordWrap_ = true;
    uint8_t scrollBars_ = 0;  // 0 none, 1 horizontal, 2 vertical, 3 both
    bool updatingLines_ = false;
    // Set while LinesChanged hands the text to the platform control, whose
    // change notification comes back through NativeChanged.
    bool pushingText_ = false;
};

} // namespace Zyl
