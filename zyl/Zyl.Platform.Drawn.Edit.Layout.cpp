// The text box's visual lines, measuring, hit testing, scrolling and
// painting.
#include "Zyl.Platform.Drawn.Edit.h"

#include <algorithm>

namespace Zyl {

using System::TRef;

std::u16string TDrawnTextBox::DisplayText(int32_t start, int32_t count) const {
    const std::u16string part = DrawnCopy(Text, start, count);
    if (PasswordChar != 0) return std::u16string(part.size(), PasswordChar);
    std::u16string shown;
    shown.reserve(part.size());
    for (char16_t c : part) {
        if (c == u'\t')
            shown += u"    ";
        else
            shown += c;
    }
    return shown;
}

// Without a measuring canvas every width and the line height are 0.
int32_t TDrawnTextBox::TextWidth(TPlatformCanvas* canvas, int32_t start, int32_t count) const {
    if (count < 1 || !canvas) return 0;
    ApplyDrawnFont(canvas, ThemeColor(2));
    int32_t width = 0, height = 0;
    canvas->TextExtent(DisplayText(start, count), width, height);
    return width;
}

TDrawnTextBox::TTextArea TDrawnTextBox::TextArea() const {
    const int32_t b = Border ? 1 : 0;
    TTextArea area{b + 3, ClientWidth - b - 3 - (VScrollVisible ? 14 : 0), b, ClientHeight - b};
    if (MultiLine) {
        area.Top = b + 2;
        area.Bottom = ClientHeight - b - 2 - (HScrollVisible ? 15 : 0);
    }
    return area;
}

int32_t TDrawnTextBox::LineHeight(TPlatformCanvas* canvas) const {
    if (!canvas) return 0;
    ApplyDrawnFont(canvas, ThemeColor(2));
    return DrawnLineHeight(canvas);
}

int32_t TDrawnTextBox::VisibleLines(TPlatformCanvas* canvas) const {
    const int32_t height = LineHeight(canvas);
    if (height < 1) return 1;
    return std::max(1, TextArea().Height() / height);
}

void TDrawnTextBox::LayoutLines(TPlatformCanvas* canvas) {
    Lines.clear();
    const int32_t length = Length();
    const int32_t areaWidth = TextArea().Width();
    const bool wrap = MultiLine && WordWrap && areaWidth > 8;
    int32_t f = 0;
    for (;;) {
        int32_t end = f;
        while (end < length && Text[size_t(end)] != u'\n') ++end;
        if (wrap) {
            int32_t m = f, lastSpace = -1;
            for (int32_t j = f; j < end; ++j) {
                // Break before j while the line from m through j does not fit;
                // after the last space of the line when it has one.
                while (j > m && TextWidth(canvas, m, j - m + 1) > areaWidth) {
                    const int32_t cut = lastSpace >= m ? lastSpace + 1 : j;
                    Lines.push_back({m, cut - m});
                    m = cut;
                    lastSpace = -1;
                }
                if (Text[size_t(j)] == u' ') lastSpace = j;
            }
            Lines.push_back({m, end - m});
        } else {
            Lines.push_back({f, end - f});
        }
        if (end >= length) break;
        f = end + 1;
    }
    WidestLine = 0;
    for (const TLine& line : Lines) WidestLine = std::max(WidestLine, TextWidth(canvas, line.Start, line.Length));
    LayoutDirty = false;
}

void TDrawnTextBox::EnsureLayout(TPlatformCanvas* canvas) {
    if (LayoutDirty || Lines.empty()) LayoutLines(canvas);
}

int32_t TDrawnTextBox::LineOf(int32_t pos) const {
    // Lines are in text order and never overlap: the last one starting at or
    // before pos either holds it or is the line the search falls back on.
    const auto after =
        std::upper_bound(Lines.begin(), Lines.end(), pos, [](int32_t p, const TLine& l) { return p < l.Start; });
    return after == Lines.begin() ? 0 : static_cast<int32_t>(after - Lines.begin()) - 1;
}

int32_t TDrawnTextBox::LineOrigin(int32_t lineWidth) const {
    const TTextArea area = TextArea();
    if (Alignment == 1 && lineWidth <= area.Width()) return area.Right - lineWidth - ScrollX;
    if (Alignment == 2 && lineWidth <= area.Width()) return area.Left + (area.Width() - lineWidth) / 2 - ScrollX;
    return area.Left - ScrollX;
}

void TDrawnTextBox::CaretPoint(TPlatformCanvas* canvas, int32_t& x, int32_t& y) {
    EnsureLayout(canvas);
    const int32_t line = LineOf(CaretPos);
    const int32_t start = Lines[size_t(line)].Start;
    x = TextWidth(canvas, start, CaretPos - start);
    y = MultiLine ? (line - TopLine) * LineHeight(canvas) : 0;
}

int32_t TDrawnTextBox::CharIndexAt(TPlatformCanvas* canvas, int32_t x, int32_t y) {
    EnsureLayout(canvas);
    int64_t line = 0;
    if (MultiLine) {
        const TTextArea area = TextArea();
        const int32_t height = std::max(1, LineHeight(canvas));
        line = (y < area.Top ? -1 : (y - area.Top) / height) + int64_t{TopLine};
    }
    const TLine l = Lines[size_t(Clamp(line, 0, static_cast<int32_t>(Lines.size()) - 1))];
    const int64_t dx = int64_t{x} - LineOrigin(TextWidth(canvas, l.Start, l.Length));
    if (dx <= 0) return l.Start;
    int32_t previous = 0;
    for (int32_t i = 0; i < l.Length; ++i) {
        const int32_t width = TextWidth(canvas, l.Start, i + 1);
        if (dx < (int64_t{previous} + width + 1) / 2) return l.Start + i;
        previous = width;
    }
    return l.Start + l.Length;
}

void TDrawnTextBox::KeepCaretVisible(TPlatformCanvas* canvas) {
    EnsureLayout(canvas);
    int32_t x = 0, y = 0;
    CaretPoint(canvas, x, y);
    if (MultiLine && WordWrap) {
        ScrollX = 0;
    } else {
        const int32_t width = TextArea().Width();
        if (x - ScrollX > width - 2) ScrollX = x - width + 2;
        if (x < ScrollX) ScrollX = x;
        ScrollX = std::max(0, ScrollX);
    }
    if (!MultiLine) return;
    const int32_t visible = VisibleLines(canvas);
    const int32_t line = LineOf(CaretPos);
    if (line < TopLine) TopLine = line;
    if (line >= int64_t{TopLine} + visible) TopLine = line - visible + 1;
    TopLine = std::max(0, TopLine);
}

void TDrawnTextBox::TextBoxScroll(bool vertical, int32_t code, int32_t pos) {
    const TRef<TDrawnTextBox> self(this);
    TDrawnScrollEngine& engine = vertical ? *VScroll : *HScroll;
    int64_t value = vertical ? TopLine : ScrollX;
    const int32_t step = vertical ? 1 : 16;
    switch (code) {
    case 0: value -= step; break;
    case 1: value += step; break;
    case 2: value -= engine.PageSize; break;
    case 3: value += engine.PageSize; break;
    case 4:
    case 5: value = pos; break;
    default: break;
    }
    auto onEngine = [&engine](int64_t v) { return Clamp(v, engine.Min, std::max(engine.Min, engine.HighestPosition())); };
    if (vertical) {
        // A stale layout would clamp against lines that are gone.
        EnsureLayout(DrawnMeasureCanvas().Get());
        TopLine = Clamp(value, 0, static_cast<int32_t>(Lines.size()) - 1);
        engine.Position = onEngine(TopLine);
    } else {
        engine.Position = onEngine(std::max<int64_t>(0, value));
        ScrollX = engine.Position;
    }
    Invalidate();
}

void TDrawnTextBox::SettleScrollBars(TPlatformCanvas* canvas) {
    // Showing one bar takes room from the other direction: decide twice.
    for (int32_t pass = 0; pass < 2; ++pass) {
        const bool vertical = (ScrollBars & 2) != 0 && static_cast<int32_t>(Lines.size()) > VisibleLines(canvas);
        const bool horizontal = (ScrollBars & 1) != 0 && !WordWrap && WidestLine > TextArea().Width();
        if (vertical == VScrollVisible && horizontal == HScrollVisible) continue;
        VScrollVisible = vertical;
        HScrollVisible = horizontal;
        LayoutLines(canvas);
    }
    const int32_t b = Border ? 1 : 0;
    const int32_t W = ClientWidth, H = ClientHeight;
    VScroll->Left = W - 17 - b;
    VScroll->Top = b;
    VScroll->Length = H - 2 * b - (HScrollVisible ? 17 : 0);
    VScroll->Thickness = 17;
    HScroll->Left = b;
    HScroll->Top = H - 17 - b;
    HScroll->Length = W - 2 * b - (VScrollVisible ? 17 : 0);
    HScroll->Thickness = 17;
    const TTextArea area = TextArea();
    VScroll->Min = 0;
    VScroll->Max = static_cast<int32_t>(Lines.size()) - 1;
    VScroll->PageSize = VisibleLines(canvas);
    HScroll->Min = 0;
    HScroll->Max = WidestLine + 3;
    HScroll->PageSize = area.Width();
    for (auto [engine, position] : {std::pair{VScroll.Get(), TopLine}, std::pair{HScroll.Get(), ScrollX}})
        engine->Position = Clamp(position, engine->Min, std::max(engine->Min, engine->HighestPosition()));
}

void TDrawnTextBox::PaintLine(TPlatformCanvas* canvas, int32_t index, int32_t y, int32_t textColor,
                              bool selectionShown) {
    const TLine line = Lines[size_t(index)];
    const int32_t lineEnd = line.Start + line.Length;
    const int32_t x0 = LineOrigin(TextWidth(canvas, line.Start, line.Length));
    const int32_t height = LineHeight(canvas);
    const int32_t s = SelStart(), e = SelEnd();
    const bool selected = selectionShown && s <= lineEnd && line.Start < e;
    int32_t selLeft = 0, selRight = 0;
    if (selected) {
        const int32_t from = std::max(s, line.Start), to = std::min(e, lineEnd);
        selLeft = x0 + TextWidth(canvas, line.Start, from - line.Start);
        selRight = x0 + TextWidth(canvas, line.Start, to - line.Start);
        // A selected line break shows as a short extra fill.
        const int32_t fillRight = selRight + (e > lineEnd && lineEnd < Length() && Text[size_t(lineEnd)] == u'\n' ? 5 : 0);
        canvas->FillRect(selLeft, y, fillRight, y + height, ThemeColor(7));
    }
    const std::u16string shown = DisplayText(line.Start, line.Length);
    if (!shown.empty()) {
        ApplyDrawnFont(canvas, textColor);
        canvas->TextOut(x0, y, shown);
        if (selected && s < lineEnd) {
            canvas->Save();
            canvas->ClipRect(selLeft, y, selRight, y + height);
            ApplyDrawnFont(canvas, ThemeColor(9));
            canvas->TextOut(x0, y, shown);
            canvas->Restore();
        }
    }
    if (Focused && CaretOn && Enabled && index == LineOf(CaretPos)) {
        const int32_t x = x0 + TextWidth(canvas, line.Start, CaretPos - line.Start);
        canvas->FillRect(x, y, x + 1, y + height, textColor);
    }
}

void TDrawnTextBox::Paint(TPlatformCanvas* canvas) {
    EnsureLayout(canvas);
    if (MultiLine) SettleScrollBars(canvas);
    const int32_t W = ClientWidth, H = ClientHeight;
    const int32_t background = ThemeColor(Enabled ? 0 : 1);
    const int32_t textColor = ThemeColor(Enabled ? 2 : 62);
    const int32_t frame = ThemeColor(!Enabled ? 22 : Focused ? 7 : Hot ? 27 : 26);
    canvas->FillRect(0, 0, W, H, background);
    if (Border) FillRing(canvas, 0, 0, W, H, frame);
    const bool selectionShown = SelAnchor != CaretPos && (Focused || !HideSelection);
    const TTextArea area = TextArea();
    canvas->Save();
    canvas->ClipRect(area.Left, area.Top, area.Right, area.Bottom);
    ApplyDrawnFont(canvas, textColor);
    const int32_t height = LineHeight(canvas);
    if (MultiLine) {
        const int32_t count = static_cast<int32_t>(Lines.size());
        for (int32_t line = std::max(0, TopLine), y = area.Top + (line - TopLine) * height;
             line < count && y < area.Bottom; ++line, y += height)
            PaintLine(canvas, line, y, textColor, selectionShown);
    } else {
        PaintLine(canvas, 0, area.Top + (area.Height() - height) / 2, textColor, selectionShown);
    }
    canvas->Restore();
    if (VScrollVisible) VScroll->Paint(canvas);
    if (HScrollVisible) HScroll->Paint(canvas);
    if (VScrollVisible && HScrollVisible) canvas->FillRect(W - 18, H - 18, W - 1, H - 1, ThemeColor(29));
}

} // namespace Zyl
