// The abstract platform classes: the one seam between the widget library's
// controls and forms and a concrete backend (application, windows, menus,
// tray icons, controls, event sinks, canvases, surfaces, services and print
// jobs), the values that cross it, and the process's one services object.
//
// Every operation is virtual and none is pure: an operation a backend does
// not implement either raises EAbstractError naming the class that declares
// it, or does a harmless default. A default that relies on another operation
// calls it virtually, so a backend's override is followed.
//
// No Windows interface here. windows.h maps CreateWindow, MessageBox and
// TextOut to their W functions; this header takes those names back, so a
// Windows unit includes <windows.h> before it and calls the W names.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Object.h"
#include "System.Remainder.Text.h"

#ifdef CreateWindow
#undef CreateWindow
#endif
#ifdef MessageBox
#undef MessageBox
#endif
#ifdef TextOut
#undef TextOut
#endif

namespace Zyl {

using System::TRef;

// ---------------------------------------------------------------------------
// Values that cross the interface (all int32).

// Pixel arithmetic is done in 64 bits and brought back with this, so extreme
// coordinates and sizes saturate instead of overflowing.
constexpr int32_t ClampToInt32(int64_t value) {
    return value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : int32_t(value);
}

// Key codes of KeyDown and KeyUp: X Window System key symbols. Letters give
// their lower-case codes whatever Shift says; digits of the main block give
// '0'..'9'.
constexpr int32_t PlatformKeyBackspace = 0xFF08;
constexpr int32_t PlatformKeyTab = 0xFF09;
constexpr int32_t PlatformKeyReturn = 0xFF0D;
constexpr int32_t PlatformKeyEscape = 0xFF1B;
constexpr int32_t PlatformKeyHome = 0xFF50;
constexpr int32_t PlatformKeyLeft = 0xFF51;
constexpr int32_t PlatformKeyUp = 0xFF52;
constexpr int32_t PlatformKeyRight = 0xFF53;
constexpr int32_t PlatformKeyDown = 0xFF54;
constexpr int32_t PlatformKeyPageUp = 0xFF55;
constexpr int32_t PlatformKeyPageDown = 0xFF56;
constexpr int32_t PlatformKeyEnd = 0xFF57;
constexpr int32_t PlatformKeyInsert = 0xFF63;
// Accepted by receivers; the Windows backend never sends it.
constexpr int32_t PlatformKeyKeypadEnter = 0xFF8D;
constexpr int32_t PlatformKeyF1 = 0xFFBE;  // F1 .. F12 are consecutive
constexpr int32_t PlatformKeyF12 = 0xFFC9;
constexpr int32_t PlatformKeyShift = 0xFFE1;
constexpr int32_t PlatformKeyCtrl = 0xFFE3;
constexpr int32_t PlatformKeyAlt = 0xFFE9;
constexpr int32_t PlatformKeyDelete = 0xFFFF;
constexpr int32_t PlatformKeySpace = 0x20;
constexpr int32_t PlatformKeyQuote = 0x27;
constexpr int32_t PlatformKeyComma = 0x2C;
constexpr int32_t PlatformKeyMinus = 0x2D;
constexpr int32_t PlatformKeyPeriod = 0x2E;
constexpr int32_t PlatformKeySlash = 0x2F;
constexpr int32_t PlatformKey0 = 0x30;  // '0' .. '9'
constexpr int32_t PlatformKeySemicolon = 0x3B;
constexpr int32_t PlatformKeyEquals = 0x3D;
constexpr int32_t PlatformKeyLeftBracket = 0x5B;
constexpr int32_t PlatformKeyBackslash = 0x5C;
constexpr int32_t PlatformKeyRightBracket = 0x5D;
constexpr int32_t PlatformKeyBackQuote = 0x60;
constexpr int32_t PlatformKeyA = 0x61;  // 'a' .. 'z'
constexpr int32_t PlatformKeyZ = 0x7A;

// Modifier bits of key and mouse events; bit 2 is never set.
constexpr int32_t ShiftStateShift = 1;
constexpr int32_t ShiftStateCtrl = 4;
constexpr int32_t ShiftStateAlt = 8;

constexpr int32_t MouseButtonLeft = 1;
constexpr int32_t MouseButtonMiddle = 2;
constexpr int32_t MouseButtonRight = 3;

// Cursor kinds; any other value shows the arrow.
constexpr int32_t CursorArrow = 0;
constexpr int32_t CursorIBeam = 1;
constexpr int32_t CursorHand = 2;
constexpr int32_t CursorWait = 3;
constexpr int32_t CursorCross = 4;
constexpr int32_t CursorSizeWE = 5;
constexpr int32_t CursorSizeNS = 6;
constexpr int32_t CursorSizeAll = 7;
constexpr int32_t CursorNotAllowed = 8;
constexpr int32_t CursorNone = 9;
constexpr int32_t CursorSizeNWSE = 10;
constexpr int32_t CursorSizeNESW = 11;

// A window's sink receives MouseMove(MouseLeavePoint, MouseLeavePoint, 0)
// when the pointer leaves it while no control holds the capture.
constexpr int32_t MouseLeavePoint = -10000;
// Wheel delta of one notch; positive away from the user.
constexpr int32_t WheelDeltaNotch = 120;

constexpr int32_t BorderStyleNone = 0;
constexpr int32_t BorderStyleSingle = 1;
constexpr int32_t BorderStyleSizeable = 2;
constexpr int32_t BorderStyleDialog = 3;
constexpr int32_t BorderStyleToolWindow = 4;

constexpr int32_t WindowStateNormal = 0;
constexpr int32_t WindowStateMinimized = 1;
constexpr int32_t WindowStateMaximized = 2;

// Message box kind (any other counts as information), buttons (any other
// counts as OK) and result (any other answer counts as OK).
constexpr int32_t MessageKindInformation = 0;
constexpr int32_t MessageKindWarning = 1;
constexpr int32_t MessageKindQuestion = 2;
constexpr int32_t MessageKindError = 3;
constexpr int32_t MessageButtonsOk = 0;
constexpr int32_t MessageButtonsOkCancel = 1;
constexpr int32_t MessageButtonsYesNo = 2;
constexpr int32_t MessageResultOk = 1;
constexpr int32_t MessageResultCancel = 2;
constexpr int32_t MessageResultYes = 3;
constexpr int32_t MessageResultNo = 4;

constexpr int32_t FileDialogOpen = 0;
constexpr int32_t FileDialogSave = 1;
constexpr int32_t FileDialogFolder = 2;
// Option bits of RunFileDialog.
constexpr int32_t FileDialogMultiSelect = 1;      // open only
constexpr int32_t FileDialogOverwritePrompt = 2;  // save only
constexpr int32_t FileDialogFileMustExist = 4;    // open only
constexpr int32_t FileDialogPathMustExist = 8;
constexpr int32_t FileDialogHideReadOnly = 16;
constexpr int32_t FileDialogNoChangeDir = 32;

// Font style bits of SetFont and FontDialog (the dialog uses the first two).
constexpr int32_t FontStyleBold = 1;
constexpr int32_t FontStyleItalic = 2;
constexpr int32_t FontStyleUnderline = 4;
constexpr int32_t FontStyleStrikeOut = 8;

// Pen styles; the GDI backend draws any other value solid.
constexpr int32_t PenStyleSolid = 0;
constexpr int32_t PenStyleDash = 1;
constexpr int32_t PenStyleDot = 2;
constexpr int32_t PenStyleDashDot = 3;
constexpr int32_t PenStyleDashDotDot = 4;
constexpr int32_t PenStyleClear = 5;

constexpr int32_t BrushStyleSolid = 0;
constexpr int32_t BrushStyleClear = 1;
constexpr int32_t BrushStyleHorizontal = 2;
constexpr int32_t BrushStyleVertical = 3;
constexpr int32_t BrushStyleFDiagonal = 4;
constexpr int32_t BrushStyleBDiagonal = 5;
constexpr int32_t BrushStyleCross = 6;
constexpr int32_t BrushStyleDiagCross = 7;

// Raster modes of SetRop2 (the pen modes); any other value means Copy.
constexpr int32_t RasterBlack = 0;
constexpr int32_t RasterWhite = 1;
constexpr int32_t RasterNop = 2;
constexpr int32_t RasterNot = 3;
constexpr int32_t RasterCopy = 4;
constexpr int32_t RasterNotCopy = 5;
constexpr int32_t RasterMergePenNot = 6;
constexpr int32_t RasterMaskPenNot = 7;
constexpr int32_t RasterMergeNotPen = 8;
constexpr int32_t RasterMaskNotPen = 9;
constexpr int32_t RasterMerge = 10;
constexpr int32_t RasterNotMerge = 11;
constexpr int32_t RasterMask = 12;
constexpr int32_t RasterNotMask = 13;
constexpr int32_t RasterXor = 14;
constexpr int32_t RasterNotXor = 15;

// The ternary raster operation of DrawSurfaceEx for a plain copy.
constexpr int32_t RopSourceCopy = 0xCC0020;

// State bits of DrawItem.
constexpr int32_t DrawItemSelected = 1;
constexpr int32_t DrawItemFocused = 2;
constexpr int32_t DrawItemDisabled = 4;

// ---------------------------------------------------------------------------

class TPlatformEvents;
class TPlatformWindow;
class TPlatformMenu;
class TPlatformTrayIcon;
class TPlatformControl;
class TPlatformCanvas;
class TPlatformSurface;
class TPlatformServices;
class TPlatformPrintJob;

// Raises EAbstractError for the operation of the class that declares it.
[[noreturn]] void RaiseAbstractError(const char16_t* className, const char16_t* methodName);

// A point of Polyline, Polygon and PolyBezier; arrays go with their length
// and the index of their last point. A LastIndex beyond the array counts as
// its last point.
struct TPlatformPoint {
    int32_t X = 0;
    int32_t Y = 0;
};

// How many points of such an array a canvas draws: up to LastIndex, never
// past its length; none for a nil array.
int32_t UsablePointCount(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex);

// The application's exception handler: receives the exceptions that escape
// a timer or the handling of a window message; its result is what
// HandleException returns.
using TPlatformExceptionHandler = std::function<int32_t(const System::Exception& E)>;
// A timer's callback; a routine with its own data is bound into it.
using TPlatformTimerCallback = std::function<void()>;

// Root of every platform object that receives events.
class TPlatformWidget : public System::TObject {
public:
    // The sink of this widget's events, set by its owner; nil means nobody
    // listens, and every sender tests it at each event.
    TRef<TPlatformEvents> Events;
    // An untyped, uncounted word for the owner's use.
    void* Tag = nullptr;

    virtual void Reserved16() {}
    virtual void Reserved17() {}
};

class TPlatformApp : public System::TObject {
public:
    // The in-process clipboard of the base class.
    std::u16string ClipboardText;
    TRef<TPlatformSurface> ClipboardImage;
    // Empty: no handler.
    TPlatformExceptionHandler ExceptionHandler;

    virtual void SetExceptionHandler(TPlatformExceptionHandler Handler);
    // The handler's result, 0 when none is stored.
    virtual int32_t HandleException(const System::Exception& E);
    virtual int64_t TickCount() { return 0; }
    virtual std::u16string GetClipboardText() { return ClipboardText; }
    virtual void SetClipboardText(const std::u16string& Text) { ClipboardText = Text; }
    virtual void ClearClipboard();
    virtual bool HasClipboardText() { return !GetClipboardText().empty(); }
    virtual bool HasClipboardImage() { return ClipboardImage != nullptr; }
    // A copy of the stored image; nil without one or without platform services.
    virtual TRef<TPlatformSurface> GetClipboardImage();
    // Stores a copy of Surface; nil only clears.
    virtual void SetClipboardImage(TPlatformSurface* Surface);
    virtual void Run();
    virtual void Quit();
    virtual int32_t AddTimer(int32_t IntervalMs, TPlatformTimerCallback Callback);
    virtual void RemoveTimer(int32_t Id);
    virtual void ProcessMessages();
    virtual void WaitForEvents(int32_t TimeoutMs) { (void)TimeoutMs; }
    virtual int32_t ScreenWidth() { return 1280; }
    virtual int32_t ScreenHeight() { return 800; }
    virtual void GetWorkArea(int32_t X, int32_t Y, int32_t& Left, int32_t& Top, int32_t& Right,
                             int32_t& Bottom);
    virtual bool HasDisplay() { return false; }
    virtual TRef<TPlatformWindow> CreateWindow();
    virtual TRef<TPlatformControl> CreateCustomControl();
    virtual TRef<TPlatformControl> CreateButton();
    virtual TRef<TPlatformControl> CreateEdit();
    virtual TRef<TPlatformControl> CreateCheckBox();
    virtual TRef<TPlatformControl> CreateMemo();
    virtual TRef<TPlatformControl> CreateListBox();
    virtual TRef<TPlatformControl> CreateComboBox();
    virtual TRef<TPlatformControl> CreateTabControl();
    virtual TRef<TPlatformControl> CreateListView();
    virtual TRef<TPlatformControl> CreateTreeView();
    virtual TRef<TPlatformControl> CreateStatusBar();
    virtual TRef<TPlatformControl> CreateScrollBar();
    virtual TRef<TPlatformControl> CreateRadioButton() { return CreateCheckBox(); }
    virtual TRef<TPlatformControl> CreateToolBar();
    virtual TRef<TPlatformTrayIcon> CreateTrayIcon();
    virtual TRef<TPlatformMenu> CreateMenu(bool Popup);
    virtual int32_t MessageBox(TPlatformWindow* Owner, const std::u16string& Title,
                               const std::u16string& Text, int32_t Kind, int32_t Buttons);
    // The dialogs return True only when the user confirmed, and only then
    // write their by-reference arguments.
    virtual bool FileDialog(TPlatformWindow* Owner, const std::u16string& Title, bool Save,
                            const std::u16string& InitialPath, std::u16string& FileName);
    virtual bool FileDialogEx(TPlatformWindow* Owner, const std::u16string& Title, bool Save,
                              const std::u16string& FileName, const std::u16string& InitialDir,
                              const std::u16string& Filter, const std::u16string& DefaultExt,
                              int32_t& FilterIndex, std::u16string& Result);
    virtual int32_t PrinterCount() { return 0; }
    virtual std::u16string PrinterName(int32_t Index) { (void)Index; return {}; }
    virtual int32_t DefaultPrinterIndex() { return -1; }
    virtual TRef<TPlatformPrintJob> BeginPrintJob(int32_t PrinterIndex, const std::u16string& Title,
                                                  bool Landscape, int32_t Copies,
                                                  const std::u16string& OutputFile);
    virtual bool RunFileDialog(TPlatformWindow* Owner, const std::u16string& Title, int32_t Kind,
                               int32_t Options, const std::u16string& FileName,
                               const std::u16string& InitialDir, const std::u16string& Filter,
                               const std::u16string& DefaultExt, int32_t& FilterIndex,
                               std::u16string& Result);
    // Extra is passed along by every caller and read by no backend.
    virtual bool ColorDialog(TPlatformWindow* Owner, void* Extra, int32_t& Color);
    virtual bool FontDialog(TPlatformWindow* Owner, void* Extra, std::u16string& FaceName,
                            int32_t& SizePoints, int32_t& Style);
};

class TPlatformWindow : public TPlatformWidget {
public:
    virtual void SetTitle(const std::u16string& Text);
    // Client area in pixels.
    virtual void SetSize(int32_t Width, int32_t Height);
    virtual void Show();
    virtual void Hide();
    // The whole window must be repainted.
    virtual void Invalidate();
    virtual void AddChild(TPlatformControl* Control, int32_t Left, int32_t Top);
    virtual void SetMainMenu(TPlatformMenu* Menu);
    // A control that floats above the others, such as a drop-down list.
    virtual void AddPopupChild(TPlatformControl* Control, int32_t Left, int32_t Top) {
        (void)Control, (void)Left, (void)Top;
    }
    virtual void RemovePopupChild(TPlatformControl* Control) { (void)Control; }
    virtual void MovePopupChild(TPlatformControl* Control, int32_t Left, int32_t Top) {
        (void)Control, (void)Left, (void)Top;
    }
    virtual int32_t GetWidth() { return 0; }
    virtual int32_t GetHeight() { return 0; }
    // Screen position of the outer frame.
    virtual void SetPosition(int32_t X, int32_t Y) { (void)X, (void)Y; }
    virtual void GetPosition(int32_t& X, int32_t& Y) { X = 0, Y = 0; }
    virtual void SetBorderStyle(int32_t Style) { (void)Style; }
    virtual void SetWindowState(int32_t State) { (void)State; }
    virtual int32_t GetWindowState() { return WindowStateNormal; }
    virtual void SetStayOnTop(bool StayOnTop) { (void)StayOnTop; }
    virtual void SetIcon(TPlatformSurface* Surface) { (void)Surface; }
    // Colours with red in the low byte, -1 for the system's own. Callers
    // that list them border first pass them by these names.
    virtual void SetFrameTheme(bool Dark, int32_t CaptionColor, int32_t TextColor, int32_t BorderColor) {
        (void)Dark, (void)CaptionColor, (void)TextColor, (void)BorderColor;
    }
    virtual void SetOwner(TPlatformWindow* Owner) { (void)Owner; }
    // Client sizes; 0 or less means no limit.
    virtual void SetSizeConstraints(int32_t MinWidth, int32_t MinHeight, int32_t MaxWidth, int32_t MaxHeight) {
        (void)MinWidth, (void)MinHeight, (void)MaxWidth, (void)MaxHeight;
    }
    virtual void SetNoActivate(bool NoActivate) { (void)NoActivate; }
    virtual void SetCursor(int32_t Kind) { (void)Kind; }
    // Screen position of the client area's top-left corner.
    virtual void GetClientOrigin(int32_t& X, int32_t& Y) { GetPosition(X, Y); }
};

// Items are known by caller-chosen ids; ParentId names the sub-menu item
// (0 = the menu itself).
class TPlatformMenu : public TPlatformWidget {
public:
    virtual void AddItem(int32_t ParentId, const std::u16string& Caption, int32_t Id);
    virtual void AddCheckItem(int32_t ParentId, const std::u16string& Caption, int32_t Id);
    virtual void AddSeparator(int32_t ParentId);
    virtual void SetItemEnabled(int32_t Id, bool Enabled);
    virtual void SetItemChecked(int32_t Id, bool Checked);
    virtual bool GetItemChecked(int32_t Id);
    // Shows the menu at the mouse and returns when it closes; a choice
    // arrives as Reserved39(1) on the menu's Events.
    virtual void Popup();
};

class TPlatformTrayIcon : public TPlatformWidget {
public:
    virtual void SetVisible(bool Visible) { (void)Visible; }
    virtual void SetIcon(TPlatformSurface* Surface) { (void)Surface; }
    virtual void SetTip(const std::u16string& Text) { (void)Text; }
    virtual void ShowBalloon(const std::u16string& Title, const std::u16string& Text, int32_t Kind) {
        (void)Title, (void)Text, (void)Kind;
    }
    virtual void HideBalloon() {}
};

// A child widget inside a platform window. The list operations serve list
// and combo boxes, the edit operations text and combo boxes, the scroll
// operations scroll bars; other controls keep the defaults. The Reserved
// slots keep the later operations in their order.
class TPlatformControl : public TPlatformWidget {
public:
    // Relative to the parent.
    virtual void SetBounds(int32_t Left, int32_t Top, int32_t Width, int32_t Height);
    virtual void GetBounds(int32_t& Left, int32_t& Top, int32_t& Width, int32_t& Height);
    virtual void SetVisible(bool Visible);
    virtual void SetEnabled(bool Enabled);
    virtual void SetFocus();
    // All mouse input of the window goes to this control while set.
    virtual void SetMouseCapture(bool Capture) { (void)Capture; }
    // Hit testing passes through the control.
    virtual void SetMouseTransparent(bool Transparent) { (void)Transparent; }
    virtual void Reserved25(bool Value) { (void)Value; }
    virtual void Invalidate();
    virtual void AddChild(TPlatformControl* Child, int32_t Left, int32_t Top);
    // Detaches the control; it stays alive. The base only hides it.
    virtual void RemoveFromParent() { SetVisible(false); }
    virtual void SetText(const std::u16string& Text) { (void)Text; }
    virtual std::u16string GetText() { return {}; }
    virtual void SetChecked(bool Checked) { (void)Checked; }
    virtual bool GetChecked() { return false; }
    virtual void SetReadOnly(bool ReadOnly) { (void)ReadOnly; }
    // Receives the control's tab-stop flag.
    virtual void Reserved34(bool Value) { (void)Value; }
    virtual bool HasFocus() { return false; }
    // The control's top-left corner in its window's client area.
    virtual void GetWindowOrigin(int32_t& X, int32_t& Y) { X = 0, Y = 0; }
    virtual TPlatformWindow* GetWindow() { return nullptr; }
    virtual void InsertItem(int32_t Index, const std::u16string& Text) { (void)Index, (void)Text; }
    virtual void SetItem(int32_t Index, const std::u16string& Text) { (void)Index, (void)Text; }
    virtual void SetMultiSelect(bool MultiSelect) { (void)MultiSelect; }
    virtual bool GetItemSelected(int32_t Index) { (void)Index; return false; }
    virtual void SetItemSelected(int32_t Index, bool Selected) { (void)Index, (void)Selected; }
    virtual int32_t GetSelectedCount() { return 0; }
    virtual void SetTopIndex(int32_t Index) { (void)Index; }
    virtual int32_t GetTopIndex() { return 0; }
    // The row height of a list (SetItemHeight).
    virtual void SetListOption(int32_t Value) { (void)Value; }
    virtual int32_t GetItemHeight() { return 16; }
    // Sets the sorted flag and sorts at once.
    virtual void SortItems(bool Sorted) { (void)Sorted; }
    // Owner drawing of a list (SetOwnerDraw).
    virtual void SetSorted(bool Value) { (void)Value; }
    virtual void SetDropDownCount(int32_t Count) { (void)Count; }
    // A combo box whose text cannot be typed.
    virtual void SetListOnly(bool ListOnly) { (void)ListOnly; }
    virtual void SetDroppedDown(bool DroppedDown) { (void)DroppedDown; }
    virtual bool GetDroppedDown() { return false; }
    virtual void ClearItems() {}
    virtual int32_t AddItem(const std::u16string& Text) { (void)Text; return -1; }
    virtual int32_t GetItemCount() { return 0; }
    virtual std::u16string GetItem(int32_t Index) { (void)Index; return {}; }
    virtual void DeleteItem(int32_t Index) { (void)Index; }
    // -1 = none.
    virtual void SetItemIndex(int32_t Index) { (void)Index; }
    virtual int32_t GetItemIndex() { return -1; }
    virtual int32_t Reserved61() { return -1; }
    virtual void Reserved62() {}
    virtual std::u16string Reserved63() { return {}; }
    virtual void Reserved64() {}
    virtual void Reserved65() {}
    virtual void Reserved66() {}
    virtual void Reserved67() {}
    virtual int32_t Reserved68() { return 0; }
    virtual void Reserved69() {}
    virtual int32_t Reserved70() { return 0; }
    virtual int32_t Reserved71() { return -1; }
    virtual void Reserved72() {}
    virtual int32_t Reserved73() { return 0; }
    virtual void Reserved74() {}
    // Character positions.
    virtual void SetSelection(int32_t Start, int32_t Length) { (void)Start, (void)Length; }
    virtual int32_t GetSelStart() { return 0; }
    virtual int32_t GetSelLength() { return 0; }
    // 0 = no limit.
    virtual void SetMaxLength(int32_t MaxLength) { (void)MaxLength; }
    // 0 = none.
    virtual void SetPasswordChar(char16_t Ch) { (void)Ch; }
    // The character case of an edit (SetCharCase): 0 normal, 1 upper, 2 lower.
    virtual void SetAlignment(int32_t Value) { (void)Value; }
    // The text alignment of an edit (SetTextAlignment): 0 left, 1 right, 2 centre.
    virtual void SetEditOption(int32_t Value) { (void)Value; }
    // Digits only (SetNumbersOnly).
    virtual void SetEditFlag(bool Value) { (void)Value; }
    virtual void SetBorder(bool Border) { (void)Border; }
    virtual void SetWordWrap(bool WordWrap) { (void)WordWrap; }
    // Bit 0 horizontal, bit 1 vertical.
    virtual void SetScrollBars(int32_t ScrollBars) { (void)ScrollBars; }
    virtual void SetWantReturns(bool WantReturns) { (void)WantReturns; }
    virtual void SetWantTabs(bool WantTabs) { (void)WantTabs; }
    // The selection stays hidden without the focus (SetHideSelection).
    virtual void SetEditFlag2(bool Value) { (void)Value; }
    virtual void CutToClipboard() {}
    virtual void CopyToClipboard() {}
    virtual void PasteFromClipboard() {}
    virtual void Undo() {}
    virtual void SelectAll() {}
    virtual bool CanUndo() { return false; }
    virtual bool GetModified() { return false; }
    virtual void SetModified(bool Modified) { (void)Modified; }
    virtual int32_t GetLineCount() { return 1; }
    virtual int32_t LineFromCharIndex(int32_t CharIndex) { (void)CharIndex; return 0; }
    virtual int32_t LineStartIndex(int32_t Line) { (void)Line; return 0; }
    virtual void ScrollCaretIntoView() {}
    virtual void SetScrollParams(int32_t Min, int32_t Max, int32_t PageSize, int32_t Position) {
        (void)Min, (void)Max, (void)PageSize, (void)Position;
    }
    virtual int32_t GetScrollPos() { return 0; }
    virtual void SetScrollKind(bool Vertical) { (void)Vertical; }
    virtual void SetCursor(int32_t Kind) { (void)Kind; }
    virtual int32_t GetCursor() { return CursorArrow; }
    // The cursor the control shows when its owner sets none. Flag is what
    // the control layer passes along; the base reads it not.
    virtual int32_t DefaultCursor(bool Flag = false) { (void)Flag; return CursorArrow; }
    virtual void SetHint(const std::u16string& Text) { (void)Text; }
    virtual std::u16string GetHint() { return {}; }
    virtual void Reserved109() {}
    virtual void Reserved110() {}
    virtual int32_t Reserved111() { return -1; }
    virtual void Reserved112() {}
    virtual int32_t Reserved113() { return -1; }
    virtual void Reserved114() {}
    virtual int32_t Reserved115() { return -1; }
    virtual int32_t Reserved116() { return 0; }
    virtual std::u16string Reserved117() { return {}; }
    virtual void Reserved118() {}
    virtual void Reserved119() {}
    virtual int32_t Reserved120() { return 0; }
    virtual void Reserved121() {}
    virtual void Reserved122() {}
    virtual int32_t Reserved123() { return 0; }
    virtual int32_t Reserved124() { return -1; }
    virtual void Reserved125() {}
    virtual int32_t Reserved126() { return -1; }

    // The names by which the control layer calls six of the operations
    // above: the same operations, overridden under their slot names.
    void SetItemHeight(int32_t Height) { SetListOption(Height); }
    void SetOwnerDraw(bool OwnerDraw) { SetSorted(OwnerDraw); }
    void SetCharCase(int32_t CharCase) { SetAlignment(CharCase); }
    void SetTextAlignment(int32_t Alignment) { SetEditOption(Alignment); }
    void SetNumbersOnly(bool NumbersOnly) { SetEditFlag(NumbersOnly); }
    void SetHideSelection(bool HideSelection) { SetEditFlag2(HideSelection); }
};

// The sink through which a widget reports input and state changes. Every
// operation has a default, so a sink overrides only what it needs. Points
// are in the widget's own pixels.
class TPlatformEvents : public System::TObject {
public:
    // The canvas is already translated and clipped to the widget.
    virtual void Paint(TPlatformCanvas* Canvas) { (void)Canvas; }
    virtual void MouseDown(int32_t X, int32_t Y, int32_t Button, int32_t Shift) {
        (void)X, (void)Y, (void)Button, (void)Shift;
    }
    virtual void MouseUp(int32_t X, int32_t Y, int32_t Button, int32_t Shift) {
        (void)X, (void)Y, (void)Button, (void)Shift;
    }
    virtual void MouseMove(int32_t X, int32_t Y, int32_t Shift) { (void)X, (void)Y, (void)Shift; }
    // Extra is the control layer's third value, handed on to its press
    // hook; the platform backends send 0.
    virtual void KeyDown(int32_t Key, int32_t Shift, int32_t Extra = 0) { (void)Key, (void)Shift, (void)Extra; }
    virtual void KeyUp(int32_t Key, int32_t Shift) { (void)Key, (void)Shift; }
    // One UTF-16 code unit of typed text.
    virtual void CharInput(char16_t Ch) { (void)Ch; }
    virtual void Resized(int32_t Width, int32_t Height) { (void)Width, (void)Height; }
    // Screen position of the window's outer frame.
    virtual void Moved(int32_t X, int32_t Y) { (void)X, (void)Y; }
    virtual void Activated(bool Active) { (void)Active; }
    virtual void WindowStateChanged(int32_t State) { (void)State; }
    virtual void MouseWheel(int32_t X, int32_t Y, int32_t Delta, int32_t Shift) {
        (void)X, (void)Y, (void)Delta, (void)Shift;
    }
    virtual void MouseEnter() {}
    virtual void MouseLeave() {}
    virtual void FocusChanged(bool Focused) { (void)Focused; }
    // Whether the receiver handled the last key (Key and Shift name it);
    // reading clears the mark. True suppresses the key's character.
    virtual bool TakeKeyHandled(int32_t Key = 0, int32_t Shift = 0) { (void)Key, (void)Shift; return false; }
    // The character to use; 0 swallows it.
    virtual char16_t KeyPress(char16_t Ch) { return Ch; }
    virtual void DroppedDownChanged(bool DroppedDown) { (void)DroppedDown; }
    virtual void DoubleClick() {}
    // State: DrawItemSelected, DrawItemFocused, DrawItemDisabled bits.
    virtual void DrawItem(TPlatformCanvas* Canvas, int32_t Index, int32_t Left, int32_t Top, int32_t Right,
                          int32_t Bottom, int32_t State) {
        (void)Canvas, (void)Index, (void)Left, (void)Top, (void)Right, (void)Bottom, (void)State;
    }
    virtual void Scroll(int32_t Code, int32_t Position) { (void)Code, (void)Position; }
    virtual void Click() {}
    virtual void Changed() {}
    // A native menu calls it with 1 after the user chose an item in Popup.
    virtual void Reserved39(int32_t Value) { (void)Value; }
    virtual void Reserved40() {}
    virtual void Reserved41() {}
    virtual bool Reserved42() { return true; }
    virtual bool Reserved43() { return true; }
    virtual void Reserved44() {}
    virtual int32_t Reserved45() { return 0; }
    virtual void Reserved46() {}
    virtual int32_t Reserved47() { return 0; }
    virtual void Reserved48() {}
    virtual void Reserved49() {}
    // May the window close.
    virtual bool CloseQuery() { return true; }
};

// The drawing interface of every canvas backend. Coordinates are device
// pixels relative to the origin; rectangles exclude right and bottom;
// colours have red in the low byte.
class TPlatformCanvas : public System::TObject {
public:
    // The pen position that MoveTo sets and LineTo and PolyBezier move.
    int32_t PenX = 0;
    int32_t PenY = 0;

    // Pushes pen, brush, font, origin and clipping; Restore pops them.
    virtual void Save();
    virtual void Restore();
    virtual void SetPen(int32_t Color, int32_t Width, int32_t Style);
    virtual void SetBrush(int32_t Color, int32_t Style);
    // Height as TFont.Height (negative: character height in pixels).
    virtual void SetFont(const std::u16string& Name, int32_t Height, int32_t Style, int32_t Color);
    // Tenths of a degree.
    virtual void SetTextAngle(int32_t Angle) { (void)Angle; }
    // The colour behind text and hatching; Transparent leaves it unpainted.
    virtual void SetBackground(int32_t Color, bool Transparent);
    virtual void SetRop2(int32_t Mode);
    // The device position that (0, 0) maps to.
    virtual void SetOrigin(int32_t X, int32_t Y);
    virtual void GetOrigin(int32_t& X, int32_t& Y);
    // Intersects the clip region with the rectangle.
    virtual void ClipRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
    virtual void ClipExclude(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
    // No clipping beyond the surface.
    virtual void ResetClip();
    // True when a clip box was given and it is not empty.
    virtual bool GetClipBox(int32_t& Left, int32_t& Top, int32_t& Right, int32_t& Bottom);
    virtual void MoveTo(int32_t X, int32_t Y) { PenX = X, PenY = Y; }
    virtual void LineTo(int32_t X, int32_t Y);
    virtual void Rectangle(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
    virtual void RoundRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t CornerWidth,
                           int32_t CornerHeight);
    virtual void Ellipse(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
    // Counter-clockwise from the ray through (X1, Y1) to the ray through (X2, Y2).
    virtual void Arc(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1,
                     int32_t X2, int32_t Y2);
    virtual void Chord(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1,
                       int32_t X2, int32_t Y2);
    virtual void Pie(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X1, int32_t Y1,
                     int32_t X2, int32_t Y2);
    virtual void Polyline(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex);
    // Winding False: alternate filling.
    virtual void Polygon(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex, bool Winding);
    virtual void PolyBezier(const TPlatformPoint* Points, int32_t PointCount, int32_t LastIndex);
    // Filled with Color whatever the brush.
    virtual void FillRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t Color);
    virtual void FillRectBrush(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
    virtual void FrameRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
    virtual void DrawFocusRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom);
    virtual void SetPixel(int32_t X, int32_t Y, int32_t Color);
    virtual int32_t GetPixel(int32_t X, int32_t Y);
    // ToBorder False fills the connected area of Color; True fills up to a
    // border of Color.
    virtual void FloodFill(int32_t X, int32_t Y, int32_t Color, bool ToBorder);
    virtual void TextOut(int32_t X, int32_t Y, const std::u16string& Text);
    virtual void TextRect(int32_t Left, int32_t Top, int32_t Right, int32_t Bottom, int32_t X, int32_t Y,
                          const std::u16string& Text, bool Opaque);
    virtual void TextExtent(const std::u16string& Text, int32_t& Width, int32_t& Height);
    virtual void FontMetrics(int32_t& Height, int32_t& Ascent, int32_t& Descent, int32_t& InternalLeading,
                             int32_t& ExternalLeading, int32_t& AveCharWidth, int32_t& MaxCharWidth);
    // Rop: a ternary raster operation (RopSourceCopy); Opacity 0 to 255.
    virtual void DrawSurfaceEx(TPlatformSurface* Surface, int32_t SrcLeft, int32_t SrcTop, int32_t SrcRight,
                               int32_t SrcBottom, int32_t DstLeft, int32_t DstTop, int32_t DstRight,
                               int32_t DstBottom, int32_t Rop, int32_t Opacity, bool UseAlpha);
    virtual void DrawSurfaceTransparent(TPlatformSurface* Surface, int32_t SrcLeft, int32_t SrcTop,
                                        int32_t SrcRight, int32_t SrcBottom, int32_t DstLeft, int32_t DstTop,
                                        int32_t DstRight, int32_t DstBottom, int32_t TransparentColor);
    // The surface this canvas draws into (not counted), or nil.
    virtual TPlatformSurface* GetSurface() { return nullptr; }
};

// A pixel image: 32-bit pixels stored B, G, R, A (alpha premultiplied),
// the top row first, rows Stride bytes apart.
class TPlatformSurface : public System::TObject {
public:
    virtual int32_t Width();
    virtual int32_t Height();
    virtual bool HasAlpha();
    virtual TRef<TPlatformCanvas> CreateCanvas();
    // The first pixel of the top row, once all drawing issued so far has
    // reached the pixels; nil when the surface has no accessible pixels.
    virtual uint8_t* Bits();
    virtual int32_t Stride();
    // Makes direct writes through Bits visible to later drawing.
    virtual void FinishDrawing() {}
    virtual TRef<TPlatformSurface> CreateCompatible(int32_t Width, int32_t Height, bool HasAlpha);
    virtual bool SaveToPng(const std::u16string& FileName);
    // Red in the low byte; 0 outside the surface.
    virtual int32_t PixelAt(int32_t X, int32_t Y);
    // 0 to 255; 255 without alpha; 0 outside.
    virtual int32_t AlphaAt(int32_t X, int32_t Y);
    // The backend's own handle of the image (a GDI surface's bitmap), or nil.
    virtual void* NativeHandle();
};

// A backend's factory of surfaces and its font and screen defaults.
class TPlatformServices : public System::TObject {
public:
    // Nil when the surface cannot be made.
    virtual TRef<TPlatformSurface> CreateSurface(int32_t Width, int32_t Height, bool HasAlpha);
    // Nil when the file cannot be read or decoded.
    virtual TRef<TPlatformSurface> LoadPngFile(const std::u16string& FileName);
    virtual TRef<TPlatformSurface> LoadPngMemory(const uint8_t* Data, int32_t Size);
    // A whole PNG file; empty when the surface cannot be encoded.
    virtual System::TBytes SavePngMemory(TPlatformSurface* Surface);
    virtual int32_t ScreenDpi() { return 96; }
    virtual std::u16string DefaultFontName() { return u"Segoe UI"; }
    // Points.
    virtual int32_t DefaultFontSize() { return 9; }
    virtual std::u16string MonospaceFontName() { return u"Courier New"; }
};

// Sizes are device pixels of the printer.
class TPlatformPrintJob : public System::TObject {
public:
    // The printable area.
    virtual int32_t PageWidth();
    virtual int32_t PageHeight();
    virtual int32_t DpiX();
    virtual int32_t DpiY();
    // The whole sheet.
    virtual int32_t PhysicalWidth() { return PageWidth(); }
    virtual int32_t PhysicalHeight() { return PageHeight(); }
    // From the sheet's edge to the printable area.
    virtual int32_t PhysicalOffsetX() { return 0; }
    virtual int32_t PhysicalOffsetY() { return 0; }
    virtual TRef<TPlatformCanvas> BeginPage();
    virtual void EndPage();
    // Ends the open page, if any, then the document.
    virtual void EndJob();
    virtual void Abort();
};

// The process's one platform services object: nil until a canvas backend's
// factory installs one. Every creator of surfaces reads it.
TPlatformServices* CurrentPlatformServices();
// Installs Services (nil clears them). Backend factories install only while
// none are installed, so the first stays for the life of the process.
void SetCurrentPlatformServices(TRef<TPlatformServices> Services);

// A new surface of the current services with Source's size, alpha and
// pixels, row by row with each surface's own stride, then FinishDrawing.
// Nil without services or when the surface cannot be made; the pixels are
// left out when either surface has none to reach.
TRef<TPlatformSurface> CopySurface(TPlatformSurface* Source);

} // namespace Zyl
