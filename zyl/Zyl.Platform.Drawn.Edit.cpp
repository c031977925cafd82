#include "Zyl.Platform.Drawn.Edit.h"

#include <algorithm>
#include <cstdlib>

namespace Zyl {

using System::TRef;

namespace {

bool IsBlank(char16_t c) { return c <= 32; }
bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// True when position p of s lies between the two halves of a pair.
bool InsidePair(const std::u16string& s, int64_t p) {
    return p > 0 && p < int64_t(s.size()) && IsHighSurrogate(s[size_t(p - 1)]) && IsLowSurrogate(s[size_t(p)]);
}

// s cut to at most count units; a cut that would end inside a surrogate pair
// drops the whole pair instead of keeping its first half.
std::u16string CutTo(const std::u16string& s, int64_t count) {
    if (count < 1) return {};
    if (count >= int64_t(s.size())) return s;
    return s.substr(0, size_t(InsidePair(s, count) ? count - 1 : count));
}

int32_t Clamp(int64_t value, int32_t low, int32_t high) {
    return static_cast<int32_t>(std::max<int64_t>(low, std::min<int64_t>(value, high)));
}

} // namespace

TRef<TPlatformCanvas> DrawnMeasureCanvas() {
    static TRef<TPlatformCanvas> canvas;
    if (!canvas) {
        TPlatformServices* services = CurrentPlatformServices();
        if (!services) return nullptr;
        const TRef<TPlatformSurface> surface = services->CreateSurface(8, 8, false);
        if (surface) canvas = surface->CreateCanvas();
    }
    return canvas;
}

// ---------------------------------------------------------------------------
// Construction and settings

TDrawnTextBox::TDrawnTextBox(TDrawnApp* app, TRef<TPlatformControl> host, bool multiLine)
    : TDrawnControl(app, std::move(host)), MultiLine(multiLine), WordWrap(multiLine), WantReturns(multiLine) {
    Cursor = CursorIBeam;
    Host->SetCursor(CursorIBeam);
    VScroll = System::MakeRef<TDrawnScrollEngine>(
        this, true, [this](int32_t code, int32_t pos) { TextBoxScroll(true, code, pos); });
    HScroll = System::MakeRef<TDrawnScrollEngine>(
        this, false, [this](int32_t code, int32_t pos) { TextBoxScroll(false, code, pos); });
}

TDrawnTextBox::~TDrawnTextBox() {
    if (BlinkTimer != 0) App->RemoveTimer(BlinkTimer);
    BlinkTimer = 0;
    CaretOn = true;
    VScroll->StopRepeat();
    HScroll->StopRepeat();
}

void TDrawnTextBox::SetText(const std::u16string& text) {
    std::u16string s;
    s.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c == u'\r') {
            if (i + 1 < text.size() && text[i + 1] == u'\n') ++i;
            c = u'\n';
        }
        if (c == u'\n' && !MultiLine) continue;
        s += c;
    }
    Text = MaxLength > 0 ? CutTo(s, MaxLength) : std::move(s);
    Modified = false;
    SelAnchor = CaretPos = ScrollX = TopLine = 0;
    UndoStack.clear();
    LastEditKind = 0;
    LayoutDirty = true;
    Invalidate();
    Changed();
}

void TDrawnTextBox::SetReadOnly(bool readOnly) { ReadOnly = readOnly; }

void TDrawnTextBox::SetSelection(int32_t start, int32_t length) {
    SelAnchor = Clamp(start, 0, Length());
    CaretPos = Clamp(std::max<int64_t>(SelAnchor, int64_t{start} + length), 0, Length());
    LastEditKind = 0;
    Invalidate();
}

int32_t TDrawnTextBox::GetSelStart() { return SelStart(); }
int32_t TDrawnTextBox::GetSelLength() { return SelEnd() - SelStart(); }
void TDrawnTextBox::SetMaxLength(int32_t maxLength) { MaxLength = maxLength; }

void TDrawnTextBox::SetPasswordChar(char16_t ch) {
    PasswordChar = ch;
    LayoutDirty = true;
    Invalidate();
}

void TDrawnTextBox::SetAlignment(int32_t charCase) { CharCase = charCase; }

void TDrawnTextBox::SetEditOption(int32_t alignment) {
    Alignment = alignment;
    Invalidate();
}

void TDrawnTextBox::SetEditFlag(bool numbersOnly) { NumbersOnly = numbersOnly; }

void TDrawnTextBox::SetEditFlag2(bool hideSelection) {
    HideSelection = hideSelection;
    Invalidate();
}

void TDrawnTextBox::SetBorder(bool border) {
    Border = border;
    LayoutDirty = true;
    Invalidate();
}

void TDrawnTextBox::SetWordWrap(bool wordWrap) {
    WordWrap = wordWrap;
    LayoutDirty = true;
    Invalidate();
}

void TDrawnTextBox::SetScrollBars(int32_t scrollBars) {
    ScrollBars = scrollBars;
    LayoutDirty = true;
    Invalidate();
}

void TDrawnTextBox::SetWantReturns(bool wantReturns) { WantReturns = wantReturns; }
void TDrawnTextBox::SetWantTabs(bool wantTabs) { WantTabs = wantTabs; }

void TDrawnTextBox::SelectAll() {
    SelAnchor = 0;
    CaretPos = Length();
    Invalidate();
}

bool TDrawnTextBox::CanUndo() { return !UndoStack.empty(); }
bool TDrawnTextBox::GetModified() { return Modified; }
void TDrawnTextBox::SetModified(bool modified) { Modified = modified; }

int32_t TDrawnTextBox::GetLineCount() {
    EnsureLayout(DrawnMeasureCanvas().Get());
    return static_cast<int32_t>(Lines.size());
}

int32_t TDrawnTextBox::LineFromCharIndex(int32_t index) {
    EnsureLayout(DrawnMeasureCanvas().Get());
    return LineOf(Clamp(index, 0, Length()));
}

int32_t TDrawnTextBox::LineStartIndex(int32_t line) {
    EnsureLayout(DrawnMeasureCanvas().Get());
    if (line < 0 || line >= static_cast<int32_t>(Lines.size())) return Length();
    return Lines[size_t(line)].Start;
}

void TDrawnTextBox::ScrollCaretIntoView() {
    KeepCaretVisible(DrawnMeasureCanvas().Get());
    Invalidate();
}

int32_t TDrawnTextBox::DefaultCursor(bool) { return CursorIBeam; }

void TDrawnTextBox::Changed() {
    if (const TRef<TPlatformEvents> sink = Events) sink->Changed();
}

// ---------------------------------------------------------------------------
// Editing

void TDrawnTextBox::ReplaceRange(int32_t from, int32_t to, const std::u16string& s, int32_t kind) {
    if (kind != LastEditKind || UndoStack.empty()) {
        LastEditKind = kind;
        if (UndoStack.size() >= MaxUndo) UndoStack.pop_front();
        UndoStack.push_back({Text, SelAnchor, CaretPos});
    }
    Text.replace(size_t(from), size_t(to - from), s);
    CaretPos = SelAnchor = from + static_cast<int32_t>(s.size());
    Modified = true;
    LayoutDirty = true;
    CaretOn = true;
    Invalidate();
    Changed();
}

void TDrawnTextBox::InsertText(const std::u16string& s) {
    if (ReadOnly) return;
    std::u16string filtered;
    filtered.reserve(s.size());
    for (char16_t c : s) {
        if (c == u'\r' || (c == u'\n' && !MultiLine)) continue;
        if (NumbersOnly && (c < u'0' || c > u'9')) continue;
        if (CharCase == 1 && c >= u'a' && c <= u'z') c = char16_t(c - 32);
        if (CharCase == 2 && c >= u'A' && c <= u'Z') c = char16_t(c + 32);
        filtered += c;
    }
    if (MaxLength > 0) filtered = CutTo(filtered, int64_t{MaxLength} + SelEnd() - SelStart() - Length());
    if (!filtered.empty()) ReplaceRange(SelStart(), SelEnd(), filtered, 1);
}

void TDrawnTextBox::SetCaret(int64_t pos, bool extend) {
    CaretPos = Clamp(pos, 0, Length());
    if (!extend) SelAnchor = CaretPos;
    LastEditKind = 0;
    CaretOn = true;
    Invalidate();
}

int32_t TDrawnTextBox::WordStartBefore(int32_t pos) const {
    int32_t p = std::min(pos, Length());
    while (p > 0 && IsBlank(Text[size_t(p - 1)])) --p;
    while (p > 0 && !IsBlank(Text[size_t(p - 1)])) --p;
    return p;
}

int32_t TDrawnTextBox::WordEndAfter(int32_t pos) const {
    int32_t p = std::max(pos, 0);
    while (p < Length() && !IsBlank(Text[size_t(p)])) ++p;
    while (p < Length() && IsBlank(Text[size_t(p)]) && Text[size_t(p)] != u'\n') ++p;
    return p;
}

void TDrawnTextBox::DeleteSelection() {
    if (SelAnchor != CaretPos) ReplaceRange(SelStart(), SelEnd(), {}, 2);
}

void TDrawnTextBox::DeleteCharacter(bool before) {
    int32_t from = before ? CaretPos - 1 : CaretPos;
    int32_t to = from + 1;
    if (from < 0 || to > Length()) return;
    // Never leave half of a pair behind.
    if (InsidePair(Text, from)) --from;
    if (InsidePair(Text, to)) ++to;
    ReplaceRange(from, to, {}, 2);
}

void TDrawnTextBox::CopyToClipboard() {
    if (SelAnchor != CaretPos && PasswordChar == 0)
        App->SetClipboardText(Text.substr(size_t(SelStart()), size_t(SelEnd() - SelStart())));
}

void TDrawnTextBox::CutToClipboard() {
    if (ReadOnly) return;
    CopyToClipboard();
    DeleteSelection();
}

void TDrawnTextBox::PasteFromClipboard() {
    if (ReadOnly) return;
    const std::u16string s = App->GetClipboardText();
    if (s.empty()) return;
    // A paste is always an undo step of its own.
    LastEditKind = 0;
    InsertText(s);
    LastEditKind = 0;
}

void TDrawnTextBox::Undo() {
    if (UndoStack.empty()) return;
    TSnapshot last = std::move(UndoStack.back());
    UndoStack.pop_back();
    Text = std::move(last.Text);
    SelAnchor = last.Anchor;
    CaretPos = last.Caret;
    LastEditKind = 0;
    Modified = true;
    LayoutDirty = true;
    Invalidate();
    Changed();
}

// ---------------------------------------------------------------------------
// Keyboard

void TDrawnTextBox::KeyWithControl(int32_t key, bool extend) {
    switch (key) {
    case 'A':
    case 'a': SelectAll(); break;
    case 'C':
    case 'c': CopyToClipboard(); break;
    case 'V':
    case 'v': PasteFromClipboard(); break;
    case 'X':
    case 'x': CutToClipboard(); break;
    case 'Z':
    case 'z': Undo(); break;
    case PlatformKeyBackspace:
        if (ReadOnly) break;
        if (SelAnchor == CaretPos) SelAnchor = WordStartBefore(CaretPos);
        DeleteSelection();
        break;
    case PlatformKeyHome: SetCaret(0, extend); break;
    case PlatformKeyLeft: SetCaret(WordStartBefore(CaretPos), extend); break;
    case PlatformKeyRight: SetCaret(WordEndAfter(CaretPos), extend); break;
    case PlatformKeyEnd: SetCaret(Length(), extend); break;
    default: break;
    }
}

void TDrawnTextBox::VerticalMove(TPlatformCanvas* canvas, int32_t key, bool extend) {
    const int32_t page = VisibleLines(canvas);
    int32_t x = 0, y = 0;
    CaretPoint(canvas, x, y);
    if (GoalX == 0 || LastEditKind != 3) GoalX = x;
    int64_t target = LineOf(CaretPos);
    switch (key) {
    case PlatformKeyUp: target -= 1; break;
    case PlatformKeyDown: target += 1; break;
    case PlatformKeyPageUp: target -= page; break;
    default: target += page; break;
    }
    const TLine line = Lines[size_t(Clamp(target, 0, static_cast<int32_t>(Lines.size()) - 1))];
    int32_t j = line.Start;
    while (j < line.Start + line.Length && TextWidth(canvas, line.Start, j - line.Start + 1) <= GoalX) ++j;
    CaretPos = j;
    if (!extend) SelAnchor = CaretPos;
    CaretOn = true;
    Invalidate();
    LastEditKind = 3;
}

void TDrawnTextBox::KeyDown(int32_t key, int32_t shift) {
    const TRef<TDrawnTextBox> self(this);
    const TRef<TPlatformCanvas> canvas = DrawnMeasureCanvas();
    EnsureLayout(canvas.Get());
    const bool extend = (shift & ShiftStateShift) != 0;
    const bool empty = SelAnchor == CaretPos;
    if (shift & ShiftStateCtrl) {
        KeyWithControl(key, extend);
    } else {
        switch (key) {
        case PlatformKeyBackspace:
            if (ReadOnly) break;
            if (!empty)
                DeleteSelection();
            else
                DeleteCharacter(true);
            break;
        case PlatformKeyTab:
            if (MultiLine && WantTabs && !ReadOnly) ReplaceRange(SelStart(), SelEnd(), u"\t", 1);
            break;
        case PlatformKeyReturn:
        case PlatformKeyKeypadEnter:
            if (MultiLine && WantReturns && !ReadOnly) ReplaceRange(SelStart(), SelEnd(), u"\n", 1);
            break;
        case PlatformKeyHome: SetCaret(Lines[size_t(LineOf(CaretPos))].Start, extend); break;
        case PlatformKeyEnd: {
            const TLine& line = Lines[size_t(LineOf(CaretPos))];
            SetCaret(line.Start + line.Length, extend);
            break;
        }
        case PlatformKeyLeft:
            if (extend || empty)
                SetCaret(int64_t{CaretPos} - 1, extend);
            else
                SetCaret(SelStart(), false);
            break;
        case PlatformKeyRight:
            if (extend || empty)
                SetCaret(int64_t{CaretPos} + 1, extend);
            else
                SetCaret(SelEnd(), false);
            break;
        case PlatformKeyUp:
        case PlatformKeyDown:
        case PlatformKeyPageUp:
        case PlatformKeyPageDown:
            if (MultiLine)
                VerticalMove(canvas.Get(), key, extend);
            else if (key == PlatformKeyUp || key == PlatformKeyPageUp)
                SetCaret(0, extend);
            else
                SetCaret(Length(), extend);
            break;
        case PlatformKeyInsert:
            if (extend) PasteFromClipboard();
            break;
        case PlatformKeyDelete:
            if (ReadOnly) break;
            if (extend && !empty)
                CutToClipboard();
            else if (!empty)
                DeleteSelection();
            else
                DeleteCharacter(false);
            break;
        default: break;
        }
    }
    KeepCaretVisible(canvas.Get());
    Invalidate();
}

void TDrawnTextBox::KeyPress(char16_t ch) {
    if (ch < 32 || ch == 127) return;
    const TRef<TDrawnTextBox> self(this);
    InsertText(std::u16string(1, ch));
    KeepCaretVisible(DrawnMeasureCanvas().Get());
}

// ---------------------------------------------------------------------------
// Mouse

void TDrawnTextBox::MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) {
    if (button != MouseButtonLeft) return;
    const TRef<TDrawnTextBox> self(this);
    Host->SetFocus();
    if (VScrollVisible && VScroll->MouseDown(x, y)) return;
    if (HScrollVisible && HScroll->MouseDown(x, y)) return;
    const int32_t p = CharIndexAt(DrawnMeasureCanvas().Get(), x, y);
    const int64_t now = App->TickCount();
    if (now - LastClickTime > 499 || std::abs(int64_t{x} - LastClickX) > 3 || std::abs(int64_t{y} - LastClickY) > 3)
        ClickCount = 1;
    else
        ++ClickCount;
    LastClickTime = now;
    LastClickX = x;
    LastClickY = y;
    if (ClickCount == 1) {
        CaretPos = p;
        if (!(shift & ShiftStateShift)) SelAnchor = p;
        MouseSelecting = true;
        Host->SetMouseCapture(true);
    } else if (ClickCount == 2) {
        // A double click on blanks takes the word before them, without the
        // blanks.
        SelAnchor = WordStartBefore(p);
        int32_t q = WordEndAfter(p);
        while (q > SelAnchor && IsBlank(Text[size_t(q - 1)])) --q;
        CaretPos = q;
    } else {
        const TLine& line = Lines[size_t(LineOf(p))];
        SelAnchor = line.Start;
        CaretPos = line.Start + line.Length;
    }
    LastEditKind = 0;
    CaretOn = true;
    Invalidate();
}

void TDrawnTextBox::MouseMove(int32_t x, int32_t y, int32_t) {
    VScroll->MouseMove(x, y);
    HScroll->MouseMove(x, y);
    if (!MouseSelecting) return;
    CaretPos = CharIndexAt(DrawnMeasureCanvas().Get(), x, y);
    CaretOn = true;
    Invalidate();
}

void TDrawnTextBox::MouseUp(int32_t x, int32_t y, int32_t, int32_t) {
    const TRef<TDrawnTextBox> self(this);
    if (VScroll->PressedPart != 0) VScroll->MouseUp(x, y);
    if (HScroll->PressedPart != 0) HScroll->MouseUp(x, y);
    if (!MouseSelecting) return;
    MouseSelecting = false;
    Host->SetMouseCapture(false);
}

void TDrawnTextBox::MouseWheel(int32_t, int32_t, int32_t delta, int32_t) {
    if (!MultiLine) return;
    EnsureLayout(DrawnMeasureCanvas().Get());
    TopLine = Clamp(int64_t{TopLine} - int64_t{delta / 120} * 3, 0, static_cast<int32_t>(Lines.size()) - 1);
    Invalidate();
}

void TDrawnTextBox::MouseLeave() {
    for (TDrawnScrollEngine* engine : {VScroll.Get(), HScroll.Get()}) {
        if (engine->HotPart == 0 || engine->PressedPart != 0) continue;
        engine->HotPart = 0;
        Invalidate();
    }
}

// ---------------------------------------------------------------------------
// Focus and blinking

void TDrawnTextBox::FocusChanged(bool focused) {
    if (focused) {
        CaretOn = true;
        if (BlinkTimer == 0) BlinkTimer = App->AddTimer(BlinkMs, [this] { BlinkCaret(); });
        return;
    }
    if (BlinkTimer != 0) App->RemoveTimer(BlinkTimer);
    BlinkTimer = 0;
    CaretOn = true;
    // The release that would free the capture is ignored once the drag is
    // dropped, so the capture goes with it.
    if (MouseSelecting) Host->SetMouseCapture(false);
    MouseSelecting = false;
}

void TDrawnTextBox::BlinkCaret() {
    const TRef<TDrawnTextBox> self(this);
    CaretOn = !CaretOn;
    Invalidate();
}

void TDrawnTextBox::Resized(int32_t, int32_t) { LayoutDirty = true; }

} // namespace Zyl
