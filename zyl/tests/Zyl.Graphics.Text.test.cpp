#include <gtest/gtest.h>

#include <climits>

#include "Zyl.Graphics.Fixture.h"
#include "Zyl.Test.Text.h"

using namespace Zyl;
using Zyl::Testing::Narrow;
using Zyl::Testing::TCallLog;

namespace {

// The fake's measure: 7 pixels per character.
const TTextWidth kWidth = [](std::u16string_view s) { return int32_t(s.size()) * 7; };

std::string Show(const TTextLines& lines) {
    std::string text;
    for (const TTextLine& line : lines) text += "[" + Narrow(line.Text) + "@" + std::to_string(line.Start) + "]";
    return text;
}

// A canvas with everything pushed already, so that the log holds only what
// the operation under test does.
struct TTextFixture : Zyl::Testing::TCanvasFixture {
    TTextFixture() {
        canvas->SyncFont();
        Take();
    }

    // The calls that place text: drawing, underlines and clipping.
    TCallLog Drawing() const {
        TCallLog calls;
        for (const std::string& call : *platform->Log)
            for (const char* name : {"TextOut(", "FillRect(", "Save(", "ClipRect(", "Restore("})
                if (call.starts_with(name)) calls.push_back(call);
        return calls;
    }
};

} // namespace

TEST(StripPrefix, DropsAccelerators) {
    struct TCase { std::u16string text, result; int32_t prefix; };
    const TCase cases[] = {
        {u"&File", u"File", 0},  {u"A&&B", u"A&B", -1}, {u"File&", u"File&", -1}, {u"&A&B", u"AB", 0},
        {u"Sa&ve", u"Save", 2},  {u"a&&&b", u"a&b", 2}, {u"&&", u"&", -1},        {u"", u"", -1},
        {u"&", u"&", -1},
    };
    for (const TCase& c : cases) {
        int32_t prefix = 99;
        EXPECT_EQ(StripPrefix(c.text, prefix), c.result) << Narrow(c.text);
        EXPECT_EQ(prefix, c.prefix) << Narrow(c.text);
    }
}

TEST(ExpandTabs, FillsToTheNextMultipleOfEightAndRestartsAfterBreaks) {
    EXPECT_EQ(ExpandTabs(u"abc\tx"), u"abc     x");
    EXPECT_EQ(ExpandTabs(u"\t"), u"        ");
    EXPECT_EQ(ExpandTabs(u"abcdefgh\tx"), u"abcdefgh        x");
    EXPECT_EQ(ExpandTabs(u"abc\r\tx"), u"abc\r        x");
    EXPECT_EQ(ExpandTabs(u"ab\n\tc\td"), u"ab\n        c       d");
}

TEST(CopyChars, CutsToTheTextAndGivesNothingOutsideIt) {
    EXPECT_EQ(CopyChars(u"abc", 0, 2), u"ab");
    EXPECT_EQ(CopyChars(u"abc", 1, 5), u"bc");
    EXPECT_EQ(CopyChars(u"abc", 3, 1), u"");
    EXPECT_EQ(CopyChars(u"abc", -1, 2), u"");
    EXPECT_EQ(CopyChars(u"abc", 0, 0), u"");
    EXPECT_EQ(CopyChars(u"abc", 1, INT32_MAX), u"bc");
}

TEST(BreakLines, SplitsAtBreaksAndWrapsAtSpaces) {
    struct TCase { std::u16string text; int32_t maxWidth; bool singleLine, wordWrap; std::string lines; };
    const TCase cases[] = {
        {u"", 100, false, false, "[@0]"},
        {u"a\r\nb", 100, false, false, "[a@0][b@3]"},
        {u"a\rb\nc", 100, false, false, "[a@0][b@2][c@4]"},
        {u"a\n\rb", 100, false, false, "[a@0][@2][b@3]"},
        {u"a\n", 100, false, false, "[a@0][@2]"},
        {u"\r", 100, false, false, "[@0][@1]"},
        {u"a\nb", 100, true, true, "[a\nb@0]"},
        {u"aaa bbb", 35, false, true, "[aaa@0][bbb@4]"},
        {u"aaa  bbb", 35, false, true, "[aaa @0][bbb@5]"},
        {u"aaaa  b", 28, false, true, "[aaaa@0][  b@4]"},
        {u"abcdefgh", 21, false, true, "[abc@0][def@3][gh@6]"},
        {u"ab", 5, false, true, "[a@0][b@1]"},
        {u"aaa bbb", 0, false, true, "[aaa bbb@0]"},
        {u"aaa bbb", 35, false, false, "[aaa bbb@0]"},
        {u"aaa bbb\r\nc\n\nd", 35, false, true, "[aaa@0][bbb@4][c@9][@11][d@12]"},
        {u"a b", 21, false, true, "[a b@0]"},
    };
    for (const TCase& c : cases) {
        TTextLines lines{{u"old", 5}};
        BreakLines(kWidth, c.text, c.maxWidth, c.singleLine, c.wordWrap, lines);
        EXPECT_EQ(Show(lines), c.lines) << Narrow(c.text) << " in " << c.maxWidth;
    }
}

TEST(EllipsizeLine, KeepsWhatFitsBesideTheDots) {
    EXPECT_EQ(EllipsizeLine(kWidth, u"Hello world", 56, false), u"Hello...");
    EXPECT_EQ(EllipsizeLine(kWidth, u"Hello world", 56, true), u"...world");
    EXPECT_EQ(EllipsizeLine(kWidth, u"Hello world", 77, false), u"Hello world");
    EXPECT_EQ(EllipsizeLine(kWidth, u"Hello world", 14, false), u"...");
    EXPECT_EQ(EllipsizeLine(kWidth, u"Hello world", 21, true), u"...");
    EXPECT_EQ(EllipsizeLine(kWidth, u"", -1, false), u"...");
}

TEST(DrawText, LaysOutAndDrawsAsTheFlagsSay) {
    struct TCase { std::u16string text; TDrawTextFlags flags; TRect rect; TCallLog calls; };
    const TRect box{0, 0, 100, 50};
    const std::string clip = "ClipRect(0,0,100,50)";
    const TCase cases[] = {
        {u"&File", 0, box, {"Save()", clip, "TextOut(0,0,File)", "FillRect(0,12,7,13,$0)", "Restore()"}},
        {u"A&&B", 0, box, {"Save()", clip, "TextOut(0,0,A&B)", "Restore()"}},
        {u"File&", 0, box, {"Save()", clip, "TextOut(0,0,File&)", "Restore()"}},
        {u"&A&B", 0, box, {"Save()", clip, "TextOut(0,0,AB)", "FillRect(0,12,7,13,$0)", "Restore()"}},
        {u"Sa&ve", 0, box, {"Save()", clip, "TextOut(0,0,Save)", "FillRect(14,12,21,13,$0)", "Restore()"}},
        {u"&File", txNoPrefix, box, {"Save()", clip, "TextOut(0,0,&File)", "Restore()"}},
        {u"ab\r\n&cd", 0, box,
         {"Save()", clip, "TextOut(0,0,ab)", "TextOut(0,13,cd)", "FillRect(0,25,7,26,$0)", "Restore()"}},
        {u"a\tb", txExpandTabs, box, {"Save()", clip, "TextOut(0,0,a       b)", "Restore()"}},
        {u"a\r\nb", 0, box, {"Save()", clip, "TextOut(0,0,a)", "TextOut(0,13,b)", "Restore()"}},
        // An empty line draws nothing but takes its height.
        {u"a\n\rb", 0, box, {"Save()", clip, "TextOut(0,0,a)", "TextOut(0,26,b)", "Restore()"}},
        {u"", 0, box, {"Save()", clip, "Restore()"}},
        {u"a\nb", txSingleLine, box, {"Save()", clip, "TextOut(0,0,a\nb)", "Restore()"}},
        {u"aaa bbb", txWordWrap, {0, 0, 35, 50},
         {"Save()", "ClipRect(0,0,35,50)", "TextOut(0,0,aaa)", "TextOut(0,13,bbb)", "Restore()"}},
        // Every bit from 17 up wraps.
        {u"aaa bbb", 0x80000000u, {0, 0, 35, 50},
         {"Save()", "ClipRect(0,0,35,50)", "TextOut(0,0,aaa)", "TextOut(0,13,bbb)", "Restore()"}},
        {u"Hello world", txEllipsisEnd, {0, 0, 56, 20},
         {"Save()", "ClipRect(0,0,56,20)", "TextOut(0,0,Hello...)", "Restore()"}},
        {u"Hello world", txEllipsisStart, {0, 0, 56, 20},
         {"Save()", "ClipRect(0,0,56,20)", "TextOut(0,0,...world)", "Restore()"}},
        {u"Hello world", txEllipsisEnd, {0, 0, 14, 20},
         {"Save()", "ClipRect(0,0,14,20)", "TextOut(0,0,...)", "Restore()"}},
        {u"ab", txCenter, box, {"Save()", clip, "TextOut(43,0,ab)", "Restore()"}},
        {u"ab", txRight, box, {"Save()", clip, "TextOut(86,0,ab)", "Restore()"}},
        {u"ab", txCenter | txRight, box, {"Save()", clip, "TextOut(43,0,ab)", "Restore()"}},
        {u"ab", txSingleLine | txVCenter, box, {"Save()", clip, "TextOut(0,18,ab)", "Restore()"}},
        {u"ab", txSingleLine | txBottom, box, {"Save()", clip, "TextOut(0,37,ab)", "Restore()"}},
        {u"ab", txSingleLine | txVCenter | txBottom, box, {"Save()", clip, "TextOut(0,18,ab)", "Restore()"}},
        {u"ab", txVCenter | txBottom, box, {"Save()", clip, "TextOut(0,0,ab)", "Restore()"}},
        {u"ab", txNoClip, box, {"TextOut(0,0,ab)"}},
        {u"&ab", txRight, {10, 5, 110, 55},
         {"Save()", "ClipRect(10,5,110,55)", "TextOut(96,5,ab)", "FillRect(96,17,103,18,$0)", "Restore()"}},
        // Extreme edges saturate instead of overflowing.
        {u"ab", txCenter | txSingleLine | txVCenter, {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX},
         {"Save()", "ClipRect(-2147483648,-2147483648,2147483647,2147483647)", "TextOut(-8,-7,ab)",
          "Restore()"}},
    };
    for (const TCase& c : cases) {
        TTextFixture f;
        TRect rect = c.rect;
        std::u16string text = c.text;
        f.canvas->DrawText(rect, text, c.flags);
        EXPECT_EQ(f.Drawing(), c.calls) << Narrow(c.text) << " flags " << c.flags;
        EXPECT_EQ(rect, c.rect);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(f.changing, 1);
        EXPECT_EQ(f.changed, 1);
        EXPECT_TRUE(f.canvas->FontDirty() && f.canvas->PenDirty() && f.canvas->BrushDirty());
    }
}

TEST(DrawText, MeasuresWithoutDrawing) {
    struct TCase { std::u16string text; TDrawTextFlags flags; TRect rect, measured; };
    const TCase cases[] = {
        {u"", 0, {0, 0, 100, 100}, {0, 0, 0, 13}},
        {u"ab", 0, {5, 7, 100, 100}, {5, 7, 19, 20}},
        {u"aaa bbb", txWordWrap, {0, 0, 35, 0}, {0, 0, 21, 26}},
        {u"abcdefgh", txWordWrap, {0, 0, 20, 0}, {0, 0, 14, 52}},
        // Never wider than the rectangle when wrapping to a positive width,
        // even with characters wider than it.
        {u"abc", txWordWrap, {0, 0, 5, 0}, {0, 0, 5, 39}},
        // Without wrapping the widest line, wider than the rectangle.
        {u"abcd\nab", 0, {0, 0, 10, 0}, {0, 0, 28, 26}},
        {u"Hello world", txEllipsisEnd, {0, 0, 14, 0}, {0, 0, 77, 13}},
        {u"abcdefgh", 0, {INT32_MAX - 5, INT32_MAX - 5, 0, 0}, {INT32_MAX - 5, INT32_MAX - 5, INT32_MAX, INT32_MAX}},
    };
    for (const TCase& c : cases) {
        TTextFixture f;
        TRect rect = c.rect;
        std::u16string text = c.text;
        f.canvas->DrawText(rect, text, c.flags | txMeasure | txModifyText);
        EXPECT_EQ(rect, c.measured) << Narrow(c.text);
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(f.Drawing(), TCallLog{});
        EXPECT_EQ(f.changing + f.changed, 0);
    }
}

TEST(DrawText, ModifyTextGivesTheFirstShortenedLine) {
    TTextFixture f;
    TRect rect{0, 0, 56, 100};
    std::u16string text = u"Hello world\nb\nc";
    f.canvas->DrawText(rect, text, txEllipsisEnd | txModifyText);
    EXPECT_EQ(text, u"Hello...");

    text = u"Hello world\nb";
    f.canvas->DrawText(rect, text, txModifyText);
    EXPECT_EQ(text, u"Hello world\nb");
}

TEST(DrawText, AZeroLineHeightFallsBackToTheHeightOfHg) {
    TTextFixture f;
    f.platform->LineHeight = 0;
    TRect rect{0, 0, 100, 100};
    std::u16string text = u"a\nb";
    f.canvas->DrawText(rect, text, 0);
    EXPECT_NE(std::find(f.platform->Log->begin(), f.platform->Log->end(), "TextExtent(Hg)"), f.platform->Log->end());
    EXPECT_EQ(f.Drawing(),
              (TCallLog{"Save()", "ClipRect(0,0,100,100)", "TextOut(0,0,a)", "TextOut(0,13,b)", "Restore()"}));
}

TEST(DrawText, AFailingPlatformCallStillRestoresTheClipAndMarksEverythingDirty) {
    for (const std::vector<std::string>& raising :
         {std::vector<std::string>{"TextOut"}, {"ClipRect"}, {"TextOut", "Restore"}}) {
        TTextFixture f;
        f.platform->RaiseOn = raising;
        TRect rect{0, 0, 100, 50};
        std::u16string text = u"ab";
        try {
            f.canvas->DrawText(rect, text, 0);
            ADD_FAILURE() << "no exception";
        } catch (const System::Exception& e) {
            EXPECT_EQ(e.Message, u"falha simulada em " + std::u16string(raising[0].begin(), raising[0].end()));
        }
        EXPECT_EQ(f.platform->Log->back(), "Restore()");
        EXPECT_TRUE(f.canvas->FontDirty() && f.canvas->PenDirty() && f.canvas->BrushDirty());
        EXPECT_EQ(f.changed, 0);

        f.platform->RaiseOn.clear();
        f.platform->Log->clear();
        f.canvas->Rectangle(0, 0, 1, 1);
        EXPECT_EQ(f.platform->Log->front(), "SetPen($0,1,0)");
    }
}

TEST(DrawTextDecorations, UnderlinesAndStrikesOutInTheFontColour) {
    TTextFixture f;
    f.canvas->Font()->SetColor(0xFF);
    f.canvas->Font()->SetStyle(fsUnderline | fsStrikeOut);
    f.canvas->TextOut(5, 10, u"abc");
    EXPECT_EQ(f.Drawing(), (TCallLog{"TextOut(5,10,abc)", "FillRect(5,22,26,23,$FF)", "FillRect(5,17,26,18,$FF)"}));

    f.platform->Log->clear();
    f.canvas->Font()->SetStyle(fsBold | fsItalic);
    f.canvas->DrawTextDecorations(0, 0, 10);
    EXPECT_EQ(*f.platform->Log, TCallLog{});
}
