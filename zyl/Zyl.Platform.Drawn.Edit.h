// The drawn text box: the one editor behind both the single-line edit and
// the memo. The text holds LF line breaks only; positions are UTF-16 units.
// Visual lines are laid out lazily and every measurement goes through the
// canvas's TextExtent, with no width cache.
#pragma once

#include "Zyl.Platform.Drawn.h"

#include <deque>
#include <string>
#include <vector>

namespace Zyl {

// One 8 x 8 canvas, made from the platform services on first use and kept,
// that every text box measures with outside painting. Nil without platform
// services or when they make no surface: the boxes then measure nothing.
System::TRef<TPlatformCanvas> DrawnMeasureCanvas();

class TDrawnTextBox : public TDrawnControl {
public:
    struct TLine {
        int32_t Start;
        int32_t Length;
    };
    struct TSnapshot {
        std::u16string Text;
        int32_t Anchor;
        int32_t Caret;
    };
    // The rectangle the text is drawn in; for a single-line box, the band
    // its one line is centred in.
    struct TTextArea {
        int32_t Left, Right, Top, Bottom;
        int32_t Width() const { return Right - Left; }
        int32_t Height() const { return Bottom - Top; }
    };

    static constexpr size_t MaxUndo = 100;
    static constexpr int32_t BlinkMs = 530;

    TDrawnTextBox(TDrawnApp* app, System::TRef<TPlatformControl> host, bool multiLine);
    ~TDrawnTextBox() override;

    bool MultiLine;
    bool WordWrap;
    bool ReadOnly = false;
    bool Border = true;
    int32_t MaxLength = 0;
    char16_t PasswordChar = 0;
    int32_t CharCase = 0;
    int32_t Alignment = 0;
    bool NumbersOnly = false;
    bool WantReturns;
    bool WantTabs = false;
    bool HideSelection = true;
    int32_t ScrollBars = 0;
    bool Modified = false;
    int32_t SelAnchor = 0;
    int32_t CaretPos = 0;
    int32_t ScrollX = 0;
    int32_t TopLine = 0;
    // 0 = not set.
    int32_t GoalX = 0;
    std::vector<TLine> Lines;
    bool LayoutDirty = true;
    int32_t WidestLine = 0;
    std::deque<TSnapshot> UndoStack;
    // 0 none, 1 insertion, 2 deletion, 3 vertical caret move.
    int32_t LastEditKind = 0;
    bool MouseSelecting = false;
    int64_t LastClickTime = 0;
    int32_t ClickCount = 0;
    int32_t LastClickX = 0, LastClickY = 0;
    bool CaretOn = true;
    int32_t BlinkTimer = 0;
    System::TRef<TDrawnScrollEngine> VScroll, HScroll;
    bool VScrollVisible = false, HScrollVisible = false;

    void SetText(const std::u16string& text) override;
    void SetReadOnly(bool readOnly) override;
    void SetSelection(int32_t start, int32_t length) override;
    int32_t GetSelStart() override;
    int32_t GetSelLength() override;
    void SetMaxLength(int32_t maxLength) override;
    void SetPasswordChar(char16_t ch) override;
    void SetAlignment(int32_t charCase) override;      // SetCharCase
    void SetEditOption(int32_t alignment) override;    // SetTextAlignment
    void SetEditFlag(bool numbersOnly) override;       // SetNumbersOnly
    void SetEditFlag2(bool hideSelection) override;    // SetHideSelection
    void SetBorder(bool border) override;
    void SetWordWrap(bool wordWrap) override;
    void SetScrollBars(int32_t scrollBars) override;
    void SetWantReturns(bool wantReturns) override;
    void SetWantTabs(bool wantTabs) override;
    void CutToClipboard() override;
    void CopyToClipboard() override;
    void PasteFromClipboard() override;
    void Undo() override;
    void SelectAll() override;
    bool CanUndo() override;
    bool GetModified() override;
    void SetModified(bool modified) override;
    int32_t GetLineCount() override;
    int32_t LineFromCharIndex(int32_t index) override;
    int32_t LineStartIndex(int32_t line) override;
    void ScrollCaretIntoView() override;
    int32_t DefaultCursor(bool flag) override;

    void Paint(TPlatformCanvas* canvas) override;
    void MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseMove(int32_t x, int32_t y, int32_t shift) override;
    void MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) override;
    void MouseLeave() override;
    void KeyDown(int32_t key, int32_t shift) override;
    void KeyPress(char16_t ch) override;
    void FocusChanged(bool focused) override;
    void Resized(int32_t width, int32_t height) override;

    // Editing.
    void ReplaceRange(int32_t from, int32_t to, const std::u16string& s, int32_t kind);
    void InsertText(const std::u16string& s);
    void SetCaret(int64_t pos, bool extend);
    int32_t WordStartBefore(int32_t pos) const;
    // From pos over non-blanks, then over blanks up to an LF.
    int32_t WordEndAfter(int32_t pos) const;
    int32_t Length() const { return static_cast<int32_t>(Text.size()); }
    int32_t SelStart() const { return SelAnchor < CaretPos ? SelAnchor : CaretPos; }
    int32_t SelEnd() const { return SelAnchor < CaretPos ? CaretPos : SelAnchor; }

    // Layout and measuring.
    std::u16string DisplayText(int32_t start, int32_t count) const;
    int32_t TextWidth(TPlatformCanvas* canvas, int32_t start, int32_t count) const;
    void LayoutLines(TPlatformCanvas* canvas);
    void EnsureLayout(TPlatformCanvas* canvas);
    // The visual line holding pos.
    int32_t LineOf(int32_t pos) const;
    TTextArea TextArea() const;
    int32_t LineHeight(TPlatformCanvas* canvas) const;
    int32_t VisibleLines(TPlatformCanvas* canvas) const;
    // Where a line of that width starts on screen.
    int32_t LineOrigin(int32_t lineWidth) const;
    void CaretPoint(TPlatformCanvas* canvas, int32_t& x, int32_t& y);
    int32_t CharIndexAt(TPlatformCanvas* canvas, int32_t x, int32_t y);
    void KeepCaretVisible(TPlatformCanvas* canvas);
    void TextBoxScroll(bool vertical, int32_t code, int32_t pos);
    void BlinkCaret();

private:
    // value within [low, high], taken in 64 bits.
    static int32_t Clamp(int64_t value, int32_t low, int32_t high);
    void Changed();
    void DeleteSelection();
    // One character (a whole surrogate pair) before or after the caret.
    void DeleteCharacter(bool before);
    void VerticalMove(TPlatformCanvas* canvas, int32_t key, bool extend);
    void KeyWithControl(int32_t key, bool extend);
    void SettleScrollBars(TPlatformCanvas* canvas);
    void PaintLine(TPlatformCanvas* canvas, int32_t line, int32_t y, int32_t textColor, bool selectionShown);
};

} // namespace Zyl
