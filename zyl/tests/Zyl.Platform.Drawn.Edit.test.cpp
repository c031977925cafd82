#include "Zyl.Platform.Drawn.Edit.h"
#include "Zyl.Platform.Drawn.Harness.h"

#include <climits>
#include <functional>

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

class DrawnEdit : public DrawnHarness {
public:
    // A box at (10, 10), focused.
    TRef<TDrawnTextBox> Box(bool multiLine, int32_t w = 200, int32_t h = 60, TRef<ProbeSink>* sink = nullptr) {
        const auto box = Place<TDrawnTextBox>(multiLine ? App->CreateMemo() : App->CreateEdit(), 10, 10, w, h, sink);
        box->SetFocus();
        return box;
    }

    // Types a script into the focused control through the window: plain
    // characters are typed, {Key} presses a key, with ^ for Control and +
    // for Shift before its name ({^z}, {+Left}).
    void Keys(const std::u16string& script) {
        static const std::pair<std::u16string, int32_t> names[] = {
            {u"BS", PlatformKeyBackspace}, {u"Del", PlatformKeyDelete}, {u"Left", PlatformKeyLeft},
            {u"Right", PlatformKeyRight},  {u"Up", PlatformKeyUp},      {u"Down", PlatformKeyDown},
            {u"Home", PlatformKeyHome},    {u"End", PlatformKeyEnd},    {u"PgUp", PlatformKeyPageUp},
            {u"PgDn", PlatformKeyPageDown}, {u"Tab", PlatformKeyTab},   {u"Ret", PlatformKeyReturn},
            {u"Ins", PlatformKeyInsert},
        };
        for (size_t i = 0; i < script.size(); ++i) {
            if (script[i] != u'{') {
                ShellWindow->RouteCharInput(script[i]);
                continue;
            }
            const size_t close = script.find(u'}', i);
            std::u16string name = script.substr(i + 1, close - i - 1);
            i = close;
            int32_t shift = 0;
            for (; name.size() > 1 && (name[0] == u'^' || name[0] == u'+'); name.erase(0, 1))
                shift |= name[0] == u'^' ? ShiftStateCtrl : ShiftStateShift;
            int32_t key = name.size() == 1 ? int32_t(name[0]) : -1;
            for (const auto& [n, k] : names)
                if (n == name) key = k;
            ASSERT_NE(key, -1);
            ShellWindow->RouteKeyDown(key, shift);
            ShellWindow->RouteKeyUp(key, shift);
        }
    }

    // The window x of position p on the box's line of p (the box at x 10).
    int32_t XOf(TDrawnTextBox& box, int32_t p) {
        const TRef<TPlatformCanvas> canvas = DrawnMeasureCanvas();
        box.EnsureLayout(canvas.Get());
        const TDrawnTextBox::TLine line = box.Lines[size_t(box.LineOf(p))];
        return 10 + box.LineOrigin(box.TextWidth(canvas.Get(), line.Start, line.Length)) +
               box.TextWidth(canvas.Get(), line.Start, p - line.Start);
    }
    int32_t Width(const std::u16string& s) {
        const TRef<TPlatformCanvas> canvas = DrawnMeasureCanvas();
        ApplyDrawnFont(canvas.Get(), 0);
        int32_t w = 0, h = 0;
        canvas->TextExtent(s, w, h);
        return w;
    }
    int32_t LineHeight() {
        const TRef<TPlatformCanvas> canvas = DrawnMeasureCanvas();
        ApplyDrawnFont(canvas.Get(), 0);
        return DrawnLineHeight(canvas.Get());
    }
};

// ---------------------------------------------------------------------------
// Editing

TEST_F(DrawnEdit, FactoriesMakeSingleAndMultiLineBoxesOnOneHostEach) {
    const int32_t before = Shell->Hosts;
    const TRef<TPlatformControl> edit = App->CreateEdit(), memo = App->CreateMemo();
    EXPECT_EQ(Shell->Hosts, before + 2);
    auto* e = dynamic_cast<TDrawnTextBox*>(edit.Get());
    auto* m = dynamic_cast<TDrawnTextBox*>(memo.Get());
    ASSERT_TRUE(e && m);
    EXPECT_FALSE(e->MultiLine || e->WordWrap || e->WantReturns);
    EXPECT_TRUE(m->MultiLine && m->WordWrap && m->WantReturns);
    EXPECT_EQ(e->GetCursor(), CursorIBeam);
    EXPECT_EQ(e->DefaultCursor(false), CursorIBeam);
}

struct EditCase {
    const char* name;
    bool multiLine;
    std::u16string text;
    int32_t anchor, caret;
    std::u16string keys;
    std::u16string expect;
    int32_t expectAnchor, expectCaret;
    // The text after one more Control+Z.
    std::u16string afterUndo;
    std::function<void(TDrawnTextBox&)> setup = nullptr;
    std::u16string clipboard = u"";
};

TEST_F(DrawnEdit, EditsSelectionAndUndo) {
    const std::u16string pair = u"\U0001F600";
    const EditCase cases[] = {
        {"typing and deleting are one step each", true, u"", 0, 0, u"abc{BS}{BS}", u"a", 1, 1, u"abc"},
        {"an undo then the typing before it", true, u"", 0, 0, u"abc{BS}{BS}{^z}", u"abc", 3, 3, u""},
        {"a paste is a step of its own", true, u"", 0, 0, u"ab{^v}cd", u"abXcd", 5, 5, u"abX", nullptr, u"X"},
        {"paste drops CR", true, u"", 0, 0, u"{+Ins}", u"a\nb", 3, 3, u"", nullptr, u"a\r\nb"},
        {"word left from the end", true, u"foo  bar", 8, 8, u"{^Left}", u"foo  bar", 5, 5, u"foo  bar"},
        {"word left over blanks", true, u"foo  bar", 5, 5, u"{^Left}", u"foo  bar", 0, 0, u"foo  bar"},
        {"word right to the next word", true, u"foo  bar", 0, 0, u"{^Right}", u"foo  bar", 5, 5, u"foo  bar"},
        {"word right stops at the LF", true, u"foo \nbar", 0, 0, u"{^Right}", u"foo \nbar", 4, 4, u"foo \nbar"},
        {"word right with Shift extends", true, u"foo bar", 0, 0, u"{+^Right}", u"foo bar", 0, 4, u"foo bar"},
        {"Control+BackSpace steps back over the LF", true, u"foo\n  ", 6, 6, u"{^BS}", u"", 0, 0, u"foo\n  "},
        {"Control+BackSpace deletes a selection only", true, u"abc def", 1, 2, u"{^BS}", u"ac def", 1, 1,
         u"abc def"},
        {"Left collapses a selection to its start", true, u"abcdef", 4, 1, u"{Left}", u"abcdef", 1, 1, u"abcdef"},
        {"Right collapses a selection to its end", true, u"abcdef", 4, 1, u"{Right}", u"abcdef", 4, 4, u"abcdef"},
        {"Shift+Left extends", true, u"abcdef", 1, 4, u"{+Left}", u"abcdef", 1, 3, u"abcdef"},
        {"Control+Home and End", true, u"ab\ncd", 2, 2, u"{^End}{+^Home}", u"ab\ncd", 5, 0, u"ab\ncd"},
        {"Home and End of the visual line", true, u"ab\ncd", 4, 4, u"{Home}{+End}", u"ab\ncd", 3, 5, u"ab\ncd"},
        {"single-line Down goes to the end", false, u"abc", 1, 1, u"{Down}", u"abc", 3, 3, u"abc"},
        {"single-line Up goes to the start", false, u"abc", 2, 2, u"{+PgUp}", u"abc", 2, 0, u"abc"},
        {"Control+A", true, u"ab\ncd", 1, 1, u"{^a}", u"ab\ncd", 0, 5, u"ab\ncd"},
        {"Return in a memo", true, u"ab", 1, 1, u"{Ret}", u"a\nb", 2, 2, u"ab"},
        {"Return in an edit", false, u"ab", 1, 1, u"{Ret}{Tab}", u"ab", 1, 1, u"ab"},
        {"Tab only when wanted", true, u"ab", 1, 1, u"{Tab}", u"ab", 1, 1, u"ab"},
        {"Tab replaces the selection", true, u"abc", 1, 2, u"{Tab}", u"a\tc", 2, 2, u"abc",
         [](TDrawnTextBox& b) { b.SetWantTabs(true); }},
        {"Delete a selection, then a character", true, u"abcd", 1, 2, u"{Del}{Del}", u"ad", 1, 1, u"abcd"},
        {"Shift+Delete cuts", true, u"abcd", 1, 3, u"{+Del}{^v}{^v}", u"abcbcd", 5, 5, u"abcd"},
        {"MaxLength keeps what fits", true, u"abcd", 4, 4, u"xy", u"abcdx", 5, 5, u"abcd",
         [](TDrawnTextBox& b) { b.SetMaxLength(5); }},
        {"MaxLength counts the selection as room", true, u"abcd", 2, 4, u"xyz", u"abxyz", 5, 5, u"abcd",
         [](TDrawnTextBox& b) { b.SetMaxLength(5); }},
        {"NumbersOnly", true, u"", 0, 0, u"{^v}x3", u"123", 3, 3, u"12",
         [](TDrawnTextBox& b) { b.SetNumbersOnly(true); }, u"a1b2"},
        {"CharCase upper changes ASCII only", true, u"", 0, 0, u"a\u00E7B", u"A\u00E7B", 3, 3, u"",
         [](TDrawnTextBox& b) { b.SetCharCase(1); }},
        {"CharCase lower", true, u"", 0, 0, u"aB", u"ab", 2, 2, u"", [](TDrawnTextBox& b) { b.SetCharCase(2); }},
        {"ReadOnly refuses every edit but moves", true, u"ab", 1, 1,
         u"x{BS}{Del}{Ret}{^v}{^x}{^BS}{+Left}", u"ab", 1, 0, u"ab",
         [](TDrawnTextBox& b) { b.SetReadOnly(true); }, u"Q"},
        {"BackSpace removes a whole pair", true, u"a" + pair, 3, 3, u"{BS}", u"a", 1, 1, u"a" + pair},
        {"Delete removes a whole pair", true, u"a" + pair + u"b", 1, 1, u"{Del}", u"ab", 1, 1,
         u"a" + pair + u"b"},
        {"Delete inside a pair removes both halves", true, u"a" + pair, 2, 2, u"{Del}", u"a", 1, 1, u"a" + pair},
        {"BackSpace inside a pair removes both halves", true, u"a" + pair, 2, 2, u"{BS}", u"a", 1, 1,
         u"a" + pair},
        {"the length cut drops a whole pair", true, u"a", 1, 1, u"{^v}", u"ab", 2, 2, u"a",
         [](TDrawnTextBox& b) { b.SetMaxLength(3); }, u"b" + pair},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        const auto box = Box(c.multiLine);
        box->SetText(c.text);
        box->SetSelection(c.anchor, 0);
        box->CaretPos = c.caret;
        if (c.setup) c.setup(*box);
        App->SetClipboardText(c.clipboard);
        Keys(c.keys);
        EXPECT_EQ(box->Text, c.expect);
        EXPECT_EQ(box->SelAnchor, c.expectAnchor);
        EXPECT_EQ(box->CaretPos, c.expectCaret);
        Keys(u"{^z}");
        EXPECT_EQ(box->Text, c.afterUndo);
        box->RemoveFromParent();
    }
}

TEST_F(DrawnEdit, SetTextNormalisesBreaksAndResetsTheBox) {
    TRef<ProbeSink> sink;
    const auto memo = Box(true, 200, 60, &sink);
    const auto edit = Box(false);
    Keys(u"xy");
    ASSERT_TRUE(edit->CanUndo());
    ASSERT_TRUE(edit->GetModified());
    edit->SetText(u"a\r\nb\rc");
    EXPECT_EQ(edit->Text, u"abc");
    EXPECT_FALSE(edit->CanUndo());
    EXPECT_FALSE(edit->GetModified());
    EXPECT_EQ(edit->CaretPos, 0);
    sink->Log.clear();
    memo->SetMaxLength(4);
    memo->SetText(u"a\r\nb\rc");
    EXPECT_EQ(memo->Text, u"a\nb\n");
    EXPECT_EQ(sink->Take(), "Changed");
    memo->SetMaxLength(2);
    memo->SetText(u"a\U0001F600");
    EXPECT_EQ(memo->Text, u"a");
    // Selection changes raise nothing.
    memo->SetSelection(0, 1);
    memo->SelectAll();
    EXPECT_EQ(sink->Take(), "Changed");
}

// Every edit and undo raises Changed and marks the text modified; caret and
// selection changes raise nothing.
TEST_F(DrawnEdit, EditsReportChangesAndModification) {
    TRef<ProbeSink> sink;
    const auto box = Box(true, 200, 60, &sink);
    box->SetText(u"abc");
    sink->Log.clear();
    struct Case {
        const char* name;
        std::u16string keys;
        std::string log;
        bool modified;
    };
    const Case cases[] = {
        {"moves and selections", u"{Right}{+End}{^a}{Down}{^c}", "", false},
        {"typing", u"x", "Changed", true},
        {"a refused character", u"\x7F", "", false},
        {"BackSpace", u"{BS}", "Changed", true},
        {"undo", u"{^z}", "Changed", true},
        {"an empty undo stack", u"{^z}{^z}{^z}", "Changed", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box->SetModified(false);
        Keys(c.keys);
        std::string log;
        for (const std::string& line : sink->Log)
            if (line == "Changed") log += (log.empty() ? "" : ", ") + line;
        sink->Log.clear();
        EXPECT_EQ(log, c.log);
        EXPECT_EQ(box->GetModified(), c.modified);
    }
}

TEST_F(DrawnEdit, OnlyTheLastHundredEditsCanBeUndone) {
    const auto box = Box(true);
    // 101 edits of alternating kinds: ab typed, one BackSpace, ab typed, ...
    for (int32_t i = 0; i < 101; ++i) Keys(i % 2 == 0 ? u"ab" : u"{BS}");
    EXPECT_EQ(box->Text, std::u16string(50, u'a') + u"ab");
    EXPECT_EQ(box->UndoStack.size(), TDrawnTextBox::MaxUndo);
    for (int32_t i = 0; i < 100; ++i) Keys(u"{^z}");
    EXPECT_FALSE(box->CanUndo());
    // The snapshot before the first typing (the empty text) was dropped.
    EXPECT_EQ(box->Text, u"ab");
}

TEST_F(DrawnEdit, ClipboardAndPasswords) {
    const auto box = Box(false);
    box->SetText(u"segredo");
    box->SetSelection(0, 3);
    Keys(u"{^c}");
    EXPECT_EQ(App->GetClipboardText(), u"seg");
    box->SetPasswordChar(u'*');
    App->SetClipboardText(u"antes");
    Keys(u"{^c}");
    EXPECT_EQ(App->GetClipboardText(), u"antes");
    Keys(u"{^x}");
    EXPECT_EQ(App->GetClipboardText(), u"antes");
    EXPECT_EQ(box->Text, u"redo");
    EXPECT_EQ(box->DisplayText(0, 10), u"****");
    App->SetClipboardText(u"");
    Keys(u"{^v}");
    EXPECT_EQ(box->Text, u"redo");
}

TEST_F(DrawnEdit, VerticalMovesAimAtTheFirstColumn) {
    const auto box = Box(true, 200, 100);
    box->SetWordWrap(false);
    box->SetText(u"abcdef\nab\nabcdef\n\nabcdef");
    box->SetSelection(5, 0);
    Keys(u"{Down}");
    EXPECT_EQ(box->CaretPos, 9); // the end of the short line
    Keys(u"{Down}");
    EXPECT_EQ(box->CaretPos, 15); // back in the column of the first line
    Keys(u"{+Down}{+Down}");
    EXPECT_EQ(box->CaretPos, 23);
    EXPECT_EQ(box->SelAnchor, 15);
    // A horizontal move forgets the column.
    Keys(u"{Home}{Up}{Up}");
    EXPECT_EQ(box->CaretPos, 10);
    Keys(u"{PgDn}");
    EXPECT_EQ(box->CaretPos, 18);
    Keys(u"{PgUp}");
    EXPECT_EQ(box->CaretPos, 0);
    // The caret stops before the first character whose right edge passes
    // the column.
    box->SetText(u"iiiiiiii\nWWWW");
    box->SetSelection(3, 0);
    Keys(u"{Down}");
    const int32_t goal = Width(u"iii");
    int32_t expect = 9;
    while (expect < 13 && Width(std::u16string(size_t(expect - 8), u'W')) <= goal) ++expect;
    EXPECT_EQ(box->CaretPos, expect);
}

TEST_F(DrawnEdit, ClicksSelectPositionsWordsAndLines) {
    const auto box = Box(false, 220, 24);
    box->SetText(u"foo  bar baz");
    // Left of the text, the right half of a character, past the end.
    struct Case {
        int32_t x, expect;
    };
    const int32_t b0 = XOf(*box, 5), b1 = XOf(*box, 6);
    for (const Case& c : {Case{12, 0}, Case{b0 + (b1 - b0) / 2 + 1, 6}, Case{b0 + 1, 5}, Case{215, 12}}) {
        Advance(1000);
        Click(c.x, 20);
        EXPECT_EQ(box->CaretPos, c.expect) << c.x;
        EXPECT_EQ(box->SelAnchor, c.expect) << c.x;
    }
    // A double click in the blanks takes the word before them.
    Advance(1000);
    const int32_t blanks = XOf(*box, 4);
    Click(blanks, 20);
    Advance(499);
    Click(blanks, 20);
    EXPECT_EQ(box->SelStart(), 0);
    EXPECT_EQ(box->SelEnd(), 3);
    Advance(100);
    Click(blanks + 2, 22);
    EXPECT_EQ(box->SelStart(), 0);
    EXPECT_EQ(box->SelEnd(), 12);
    // 600 ms later a new sequence starts.
    Advance(600);
    Click(blanks, 20);
    EXPECT_EQ(box->ClickCount, 1);
    EXPECT_EQ(box->SelAnchor, box->CaretPos);
    // A double click on a word takes it without the blanks after it.
    Advance(1000);
    Click(XOf(*box, 7), 20);
    Click(XOf(*box, 7), 20);
    EXPECT_EQ(box->SelStart(), 5);
    EXPECT_EQ(box->SelEnd(), 8);
    // Dragging moves the caret, the anchor stays; Shift+click extends.
    Advance(1000);
    ShellWindow->RouteMouseDown(XOf(*box, 1), 20, MouseButtonLeft, 0);
    ShellWindow->RouteMouseMove(XOf(*box, 9), 20, 0);
    ShellWindow->RouteMouseUp(XOf(*box, 9), 20, MouseButtonLeft, 0);
    EXPECT_EQ(box->SelAnchor, 1);
    EXPECT_EQ(box->CaretPos, 9);
    EXPECT_FALSE(ShellWindow->CapturedControl);
    Advance(1000);
    ShellWindow->RouteMouseDown(XOf(*box, 3), 20, MouseButtonLeft, ShiftStateShift);
    ShellWindow->RouteMouseUp(XOf(*box, 3), 20, MouseButtonLeft, ShiftStateShift);
    EXPECT_EQ(box->SelAnchor, 1);
    EXPECT_EQ(box->CaretPos, 3);
}

TEST_F(DrawnEdit, TripleClickTakesTheVisualLine) {
    const auto box = Box(true, 200, 100);
    box->SetText(u"one\ntwo three");
    const int32_t y = 10 + 3 + LineHeight() + 2;
    for (int32_t i = 0; i < 3; ++i) Click(XOf(*box, 6), y);
    EXPECT_EQ(box->SelAnchor, 4);
    EXPECT_EQ(box->CaretPos, 13);
}

// ---------------------------------------------------------------------------
// Layout

TEST_F(DrawnEdit, TabsShowAsFourSpacesButCountAsOne) {
    const auto box = Box(false);
    box->SetText(u"ab\tc");
    const TRef<TPlatformCanvas> canvas = DrawnMeasureCanvas();
    EXPECT_EQ(box->TextWidth(canvas.Get(), 0, 4), Width(u"ab    c"));
    box->SetSelection(2, 0);
    Keys(u"{Right}");
    EXPECT_EQ(box->CaretPos, 3);
}

TEST_F(DrawnEdit, WordWrapBreaksAfterSpacesAndInsideLongWords) {
    struct Case {
        const char* name;
        std::u16string text;
        int32_t areaWidth;
        std::vector<std::pair<int32_t, int32_t>> lines;
    };
    const Case cases[] = {
        {"the space stays on the upper line", u"xx y", Width(u"xx "), {{0, 3}, {3, 1}}},
        {"a long word breaks between characters", u"aaaaaa", Width(u"aaa"), {{0, 3}, {3, 3}}},
        {"empty paragraphs are lines", u"a\n\nb", 100, {{0, 1}, {2, 0}, {3, 1}}},
        {"a text area of 8 pixels does not wrap", u"aaaaaaaaaaaaaaaaaaaa", 8, {{0, 20}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Text area width = width - 2 - 6.
        const auto box = Box(true, c.areaWidth + 8, 100);
        box->SetText(c.text);
        ASSERT_EQ(box->GetLineCount(), int32_t(c.lines.size()));
        for (size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(box->Lines[i].Start, c.lines[i].first) << i;
            EXPECT_EQ(box->Lines[i].Length, c.lines[i].second) << i;
        }
        box->RemoveFromParent();
    }
}

TEST_F(DrawnEdit, LineQueries) {
    const auto box = Box(true);
    EXPECT_EQ(box->GetLineCount(), 1);
    EXPECT_EQ(box->LineStartIndex(5), 0);
    box->SetText(u"ab\ncd\nef");
    EXPECT_EQ(box->GetLineCount(), 3);
    EXPECT_EQ(box->LineFromCharIndex(2), 0); // the caret on the LF belongs to its line
    EXPECT_EQ(box->LineFromCharIndex(3), 1);
    EXPECT_EQ(box->LineStartIndex(2), 6);
    EXPECT_EQ(box->LineStartIndex(3), 8);
    EXPECT_EQ(box->LineStartIndex(-1), 8);
}

TEST_F(DrawnEdit, TheCaretStaysInsideTheView) {
    const auto edit = Box(false, 60, 24);
    edit->SetText(u"abcdefghijklmnopqrstuvwxyz");
    Keys(u"{End}");
    const int32_t area = 60 - 2 - 6;
    EXPECT_EQ(edit->ScrollX, Width(u"abcdefghijklmnopqrstuvwxyz") - area + 2);
    Keys(u"{Home}");
    EXPECT_EQ(edit->ScrollX, 0);
    // Right-aligned text wider than the area starts at the left.
    edit->SetTextAlignment(1);
    EXPECT_EQ(edit->LineOrigin(area + 1), 4);
    EXPECT_EQ(edit->LineOrigin(10), 4 + area - 10);
    edit->SetTextAlignment(2);
    EXPECT_EQ(edit->LineOrigin(10), 4 + (area - 10) / 2);

    edit->RemoveFromParent();
    const auto memo = Box(true, 100, 3 + 3 * LineHeight() + 3);
    memo->SetText(u"1\n2\n3\n4\n5\n6");
    Keys(u"{^End}");
    EXPECT_EQ(memo->TopLine, 3);
    Keys(u"{^Home}");
    EXPECT_EQ(memo->TopLine, 0);
    ShellWindow->RouteMouseWheel(20, 20, -240, 0);
    EXPECT_EQ(memo->TopLine, 5);
    ShellWindow->RouteMouseWheel(20, 20, 119, 0);
    EXPECT_EQ(memo->TopLine, 5);
}

TEST_F(DrawnEdit, ScrollBarsAreSettledAndPainted) {
    const auto memo = Box(true, 120, 3 + 3 * LineHeight() + 3 + 17);
    memo->SetWordWrap(false);
    memo->SetScrollBars(3);
    memo->SetText(u"a long line that passes the right edge");
    Render();
    EXPECT_TRUE(memo->HScrollVisible);
    EXPECT_FALSE(memo->VScrollVisible);
    memo->SetText(u"a long line that passes the right edge\n2\n3\n4");
    Render();
    EXPECT_TRUE(memo->HScrollVisible);
    EXPECT_TRUE(memo->VScrollVisible);
    EXPECT_EQ(memo->VScroll->Max, 3);
    EXPECT_EQ(memo->HScroll->PageSize, 120 - 8 - 14);
    const int32_t bottom = 10 + memo->ClientHeight;
    EXPECT_EQ(Px(10 + 120 - 10, bottom - 10), C(29)); // the corner
    // The scroll buttons move the view.
    ShellWindow->RouteMouseDown(10 + 120 - 9, 10 + 5, MouseButtonLeft, 0);
    ShellWindow->RouteMouseUp(10 + 120 - 9, 10 + 5, MouseButtonLeft, 0);
    EXPECT_EQ(memo->TopLine, 0);
    ShellWindow->RouteMouseDown(10 + 120 - 9, bottom - 17 - 5, MouseButtonLeft, 0);
    ShellWindow->RouteMouseUp(10 + 120 - 9, bottom - 17 - 5, MouseButtonLeft, 0);
    EXPECT_EQ(memo->TopLine, 1);
    ShellWindow->RouteMouseDown(10 + 120 - 17 - 5, bottom - 9, MouseButtonLeft, 0);
    ShellWindow->RouteMouseUp(10 + 120 - 17 - 5, bottom - 9, MouseButtonLeft, 0);
    EXPECT_EQ(memo->ScrollX, 16);
    EXPECT_EQ(memo->HScroll->Position, 16);
}

// ---------------------------------------------------------------------------
// Painting

TEST_F(DrawnEdit, BorderAndBackgroundPerState) {
    const auto box = Box(false, 100, 24);
    struct Case {
        const char* name;
        bool enabled, hot, focused;
        int32_t background, frame;
    };
    const Case cases[] = {
        {"plain", true, false, false, 0, 26},
        {"hot", true, true, false, 0, 27},
        {"focused wins over hot", true, true, true, 0, 7},
        {"disabled", false, true, true, 1, 22},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        box->Enabled = c.enabled;
        box->Hot = c.hot;
        box->Focused = c.focused;
        Render();
        EXPECT_EQ(Px(10, 10), C(c.frame));
        EXPECT_EQ(Px(10 + 99, 10 + 23), C(c.frame));
        EXPECT_EQ(Px(10, 10 + 12), C(c.frame));
        EXPECT_EQ(Px(10 + 50, 10 + 1), C(c.background));
    }
    box->SetBorder(false);
    Render();
    EXPECT_EQ(Px(10, 10), C(1));
    // Disabled text is drawn in colour 62.
    box->SetText(u"WWW");
    Render();
    int32_t ink = 0;
    for (int32_t y = 10; y < 34; ++y)
        for (int32_t x = 10; x < 40; ++x) ink += Px(x, y) == C(62) ? 1 : 0;
    EXPECT_GT(ink, 0);
}

TEST_F(DrawnEdit, SelectionAndCaretPixels) {
    const auto memo = Box(true, 200, 60);
    memo->SetText(u"ab\ncd");
    memo->SetSelection(0, 5);
    Render();
    const int32_t top = 10 + 1 + 2, h = LineHeight();
    // The selected line break: 5 pixels past the first line's text.
    const int32_t end0 = XOf(*memo, 2);
    EXPECT_EQ(Px(end0 + 2, top + h / 2), C(7));
    EXPECT_EQ(Px(end0 + 4, top + h / 2), C(7));
    EXPECT_EQ(Px(end0 + 5, top + h / 2), C(0));
    // Selected glyphs are drawn again in colour 9.
    int32_t selectedInk = 0;
    for (int32_t y = top; y < top + h; ++y)
        for (int32_t x = 14; x < end0; ++x) selectedInk += Px(x, y) == C(9) ? 1 : 0;
    EXPECT_GT(selectedInk, 0);
    // The caret: a one-pixel bar in the text colour, a line tall.
    const int32_t caretX = XOf(*memo, 5);
    EXPECT_EQ(Px(caretX, top + h), C(2));
    EXPECT_EQ(Px(caretX, top + 2 * h - 1), C(2));
    EXPECT_NE(Px(caretX, top + 2 * h), C(2));

    // Without the focus the selection hides, unless HideSelection is off.
    const auto other = Place<TDrawnTextBox>(App->CreateEdit(), 150, 120, 60, 24);
    other->SetFocus();
    Render();
    EXPECT_EQ(Px(end0 + 2, top + h / 2), C(0));
    EXPECT_EQ(Px(caretX, top + h + 1), C(0));
    memo->SetHideSelection(false);
    Render();
    EXPECT_EQ(Px(end0 + 2, top + h / 2), C(7));
}

TEST_F(DrawnEdit, TheCaretBlinksWhileFocused) {
    const auto box = Box(true, 100, 40);
    const int32_t x = 10 + 4, y = 10 + 3 + 1;
    auto caretShown = [&] {
        Render();
        return Px(x, y) == C(2);
    };
    EXPECT_TRUE(caretShown());
    Advance(529);
    EXPECT_TRUE(caretShown());
    Advance(1);
    EXPECT_FALSE(caretShown());
    Advance(530);
    EXPECT_TRUE(caretShown());
    Advance(530);
    Keys(u"{End}"); // any action shows the caret at once
    EXPECT_TRUE(box->CaretOn);
    const auto other = Place<TDrawnTextBox>(App->CreateEdit(), 150, 120, 60, 24);
    other->SetFocus();
    EXPECT_EQ(box->BlinkTimer, 0);
    Advance(530);
    EXPECT_TRUE(box->CaretOn);
    EXPECT_FALSE(caretShown());
}

// ---------------------------------------------------------------------------
// Mends

// Losing the focus during a drag drops the drag and the capture with it.
TEST_F(DrawnEdit, LosingTheFocusWhileSelectingReleasesTheCapture) {
    const auto box = Box(false, 100, 24);
    box->SetText(u"abc");
    const auto other = Place<TDrawnButton>(App->CreateButton(), 150, 100, 50, 20);
    ShellWindow->RouteMouseDown(20, 20, MouseButtonLeft, 0);
    ASSERT_EQ(ShellWindow->CapturedControl.Get(), DrawnHostOf(box.Get()).Get());
    other->SetFocus();
    EXPECT_FALSE(box->MouseSelecting);
    EXPECT_FALSE(ShellWindow->CapturedControl);
}

// A hidden or detached box loses the focus: it stops blinking and, shown
// again beside the box that took the focus, paints no second caret.
TEST_F(DrawnEdit, HiddenBoxStopsBlinkingAndPaintsNoSecondCaret) {
    for (bool detach : {false, true}) {
        SCOPED_TRACE(detach);
        const auto first = Box(false, 60, 24);
        if (detach)
            first->RemoveFromParent();
        else
            first->SetVisible(false);
        EXPECT_FALSE(first->Focused);
        EXPECT_EQ(first->BlinkTimer, 0);
        const auto second = Place<TDrawnTextBox>(App->CreateEdit(), 100, 10, 60, 24);
        second->SetFocus();
        if (detach)
            Window->AddChild(first.Get(), 10, 10);
        else
            first->SetVisible(true);
        Render();
        int32_t bars = 0;
        for (int32_t x = 10; x < 170; ++x) bars += Px(x, 22) == C(2) ? 1 : 0;
        EXPECT_EQ(bars, 1);
        first->RemoveFromParent();
        second->RemoveFromParent();
    }
}

TEST_F(DrawnEdit, IndicesNeverLeaveTheText) {
    const auto box = Box(true, 100, 40);
    box->SetText(u"abc\ndef");
    // Start + length past the int32 range.
    box->SetSelection(1, INT32_MAX);
    EXPECT_EQ(box->SelAnchor, 1);
    EXPECT_EQ(box->CaretPos, 7);
    box->SetSelection(INT32_MAX, INT32_MAX);
    EXPECT_EQ(box->SelAnchor, 7);
    EXPECT_EQ(box->CaretPos, 7);
    box->SetSelection(-5, 2);
    EXPECT_EQ(box->SelAnchor, 0);
    EXPECT_EQ(box->CaretPos, 0);
    EXPECT_EQ(box->LineFromCharIndex(-5), 0);
    EXPECT_EQ(box->LineFromCharIndex(INT32_MAX), 1);
    // The layout of a text that is gone clamps nothing.
    box->SetText(u"1\n2\n3\n4\n5\n6\n7\n8");
    EXPECT_EQ(box->GetLineCount(), 8);
    box->SetText(u"x");
    ShellWindow->RouteMouseWheel(20, 20, -1200, 0);
    EXPECT_EQ(box->TopLine, 0);
    box->SetText(u"1\n2\n3\n4\n5\n6\n7\n8");
    EXPECT_EQ(box->GetLineCount(), 8);
    box->SetText(u"x");
    box->TextBoxScroll(true, 4, 6);
    EXPECT_EQ(box->TopLine, 0);
    // A first line past the end paints and hit-tests inside the lines.
    box->TopLine = 50;
    Render();
    EXPECT_EQ(box->CharIndexAt(DrawnMeasureCanvas().Get(), 20, 200), 1);
    box->TopLine = -3;
    Render();
    EXPECT_EQ(box->CharIndexAt(DrawnMeasureCanvas().Get(), 0, 0), 0);
}

// Without a measuring canvas (no platform services, or services that make no
// surface) a box measures every text as 0 wide and 0 tall, as the list box
// does, and its keys, clicks and line queries still act on the text. The
// canvas, once made, is kept for the process: this runs in a process of its
// own, before anything has made it.
TEST(DrawnEditWithoutMeasuring, KeysClicksAndLineQueriesMeasureNothing) {
    ASSERT_FALSE(DrawnMeasureCanvas()) << "the measuring canvas exists already: run this test alone";
    const auto failing = MakeRef<TMemoryServices>();
    failing->FailCreateSurface = true;
    for (const TRef<TPlatformServices>& services : {TRef<TPlatformServices>(), TRef<TPlatformServices>(failing)}) {
        SCOPED_TRACE(services ? "surface refused" : "no services");
        const TScopedPlatformServices scoped(services);
        const auto app = MakeRef<TDrawnApp>(MakeRef<TOffscreenApp>());
        const TRef<TPlatformControl> edit = app->CreateEdit(), memo = app->CreateMemo(), empty = app->CreateMemo();
        auto& line = static_cast<TDrawnTextBox&>(*edit);
        auto& lines = static_cast<TDrawnTextBox&>(*memo);
        auto& none = static_cast<TDrawnTextBox&>(*empty);
        for (TDrawnTextBox* box : {&line, &lines, &none}) box->SetBounds(0, 0, 100, 40);
        line.SetText(u"abc");
        lines.SetText(u"ab\ncd");

        line.KeyDown(PlatformKeyEnd, 0);
        EXPECT_EQ(line.CaretPos, 3);
        line.KeyPress(u'x');
        EXPECT_EQ(line.Text, u"abcx");
        line.MouseDown(1, 5, MouseButtonLeft, 0);
        EXPECT_EQ(line.CaretPos, 0);
        line.MouseMove(60, 5, 0);
        EXPECT_EQ(line.CaretPos, 4); // every character 0 wide: the end of the line
        line.MouseUp(60, 5, MouseButtonLeft, 0);
        EXPECT_EQ(line.GetLineCount(), 1);

        EXPECT_EQ(lines.GetLineCount(), 2);
        EXPECT_EQ(lines.LineFromCharIndex(4), 1);
        EXPECT_EQ(lines.LineStartIndex(1), 3);
        lines.KeyDown(PlatformKeyDown, 0);
        EXPECT_EQ(lines.LineFromCharIndex(lines.CaretPos), 1);
        lines.MouseWheel(5, 5, -120, 0);
        lines.TextBoxScroll(true, 1, 0);
        lines.ScrollCaretIntoView();
        EXPECT_EQ(lines.TopLine, 1);

        EXPECT_EQ(none.GetLineCount(), 1);
        none.KeyDown(PlatformKeyReturn, 0);
        none.KeyPress(u'z');
        EXPECT_EQ(none.Text, u"\nz");
        EXPECT_EQ(none.GetLineCount(), 2);
        EXPECT_FALSE(DrawnMeasureCanvas());
    }
}

// A look at the boxes as a user sees them, written where a person can open
// it, and checked at points away from any glyph: the top row of each line
// holds none.
TEST_F(DrawnEdit, Screenshot) {
    const auto edit = Box(false, 150, 24);
    edit->SetText(u"C:\\Program Files\\Ostrel");
    edit->SetSelection(3, 7);
    const auto memo = Place<TDrawnTextBox>(App->CreateMemo(), 10, 44, 220, 100);
    memo->SetScrollBars(3);
    memo->SetWordWrap(false);
    memo->SetText(u"Licença de uso\n\nEste programa é distribuído\tsem garantia alguma, nem mesmo implícita.\n"
                  u"1\n2\n3\n4\n5\n6");
    memo->SetHideSelection(false);
    memo->SetSelection(9, 8);
    Render();
    SaveScreenshot("zyl-edit.png");
    const int32_t h = LineHeight();
    // The edit's one line, centred in its band from y 11 to 33; the memo's
    // lines from y 47 (text area top: frame and two pixels). The selection
    // runs from "e uso" over two line breaks into "E".
    const int32_t editTop = 11 + (22 - h) / 2, line0 = 47, line1 = line0 + h, line2 = line1 + h;
    ExpectPixels({
        {10, 10, ThemeColor(7), "edit: focused frame"},
        {XOf(*edit, 3), editTop, ThemeColor(7), "edit: selection, left end"},
        {XOf(*edit, 10) - 1, editTop, ThemeColor(7), "edit: selection, right end"},
        {XOf(*edit, 3) - 1, editTop, ThemeColor(0), "edit: before the selection"},
        {XOf(*edit, 10), editTop, ThemeColor(2), "edit: caret after the selection"},
        {10, 44, ThemeColor(26), "memo: frame without the focus"},
        {XOf(*memo, 9), line0, ThemeColor(7), "memo: selection kept without the focus"},
        {XOf(*memo, 14) + 4, line0, ThemeColor(7), "memo: selected break, 5 pixels past the line"},
        {XOf(*memo, 14) + 5, line0, ThemeColor(0), "memo: past the selected break"},
        {18, line1, ThemeColor(7), "memo: the empty line's selected break"},
        {19, line1, ThemeColor(0), "memo: past it"},
        {XOf(*memo, 16), line2, ThemeColor(7), "memo: selection on the third line"},
        {XOf(*memo, 17), line2, ThemeColor(0), "memo: after it"},
        {220, 134, ThemeColor(29), "memo: corner between the bars"},
        {220, 51, ThemeColor(33), "memo: tip of the vertical bar's first arrow"},
        {214, 62, ThemeColor(30), "memo: vertical thumb at the top of its track"},
        {17, 134, ThemeColor(33), "memo: tip of the horizontal bar's first arrow"},
        {28, 128, ThemeColor(30), "memo: horizontal thumb at the start of its track"},
    });
}

} // namespace
