#include "Zyl.Platform.Drawn.Harness.h"
#include "Zyl.Platform.Drawn.Lists.h"

using namespace Zyl;
using namespace Zyl::Testing;
using System::MakeRef;
using System::TRef;

namespace {

// The probe plus what lists report.
class ListSink : public ProbeSink {
public:
    void Changed() override { Line("Changed"); }
    void DroppedDownChanged(bool d) override { Line("DroppedDownChanged", {d}); }
    void DrawItem(TPlatformCanvas*, int32_t index, int32_t l, int32_t t, int32_t r, int32_t b, int32_t s) override {
        Line("DrawItem " + std::to_string(index) + " " + std::to_string(l) + "," + std::to_string(t) + "," +
             std::to_string(r) + "," + std::to_string(b) + " " + std::to_string(s));
    }
};

// A list of 100 x 68 at (10, 10) with rows of 16: four rows show.
class DrawnListBox : public DrawnHarness {
public:
    DrawnListBox() {
        List = Place<TDrawnListBox>(App->CreateListBox(), 10, 10, 100, 68);
        List->Events = Sink;
        List->SetItemHeight(16);
    }
    void Fill(std::initializer_list<const char16_t*> texts) {
        for (const char16_t* t : texts) List->AddItem(t);
    }
    std::vector<std::u16string> Texts() const {
        std::vector<std::u16string> texts;
        for (const auto& item : List->Items) texts.push_back(item.Text);
        return texts;
    }
    std::string Selected() const {
        std::string s;
        for (int32_t i = 0; i < List->Count(); ++i) s += List->GetItemSelected(i) ? '1' : '0';
        return s;
    }
    // What the list reported (selection, clicks, drop-down) since the last call.
    std::string Reported() {
        std::string log;
        for (const std::string& l : Sink->Log)
            if (l == "Changed" || l == "Click" || l == "DoubleClick" || l.starts_with("DroppedDownChanged"))
                log += (log.empty() ? "" : ", ") + l;
        Sink->Log.clear();
        return log;
    }
    // Client y of the middle of row r (counted from the top row shown).
    static int32_t RowY(int32_t r) { return 10 + 1 + r * 16 + 8; }
    void ClickRow(int32_t r, int32_t shift = 0) {
        ShellWindow->RouteMouseDown(40, RowY(r), MouseButtonLeft, shift);
        ShellWindow->RouteMouseUp(40, RowY(r), MouseButtonLeft, shift);
    }

    TRef<ListSink> Sink = MakeRef<ListSink>();
    TRef<TDrawnListBox> List;
};

TEST_F(DrawnListBox, FactoryMakesOneHost) {
    const int32_t before = Shell->Hosts;
    const TRef<TPlatformControl> list = App->CreateListBox();
    EXPECT_TRUE(dynamic_cast<TDrawnListBox*>(list.Get()));
    EXPECT_EQ(Shell->Hosts, before + 1);
}

TEST_F(DrawnListBox, SelectedRowAndGreyFocusRectangle) {
    Fill({u"um", u"dois", u"tres"});
    List->SetItemIndex(1);
    List->SetFocus();
    Render();
    // Row 1 spans client y 27..42; the list's inner columns 11..108.
    EXPECT_EQ(Px(10, 10), C(26));
    EXPECT_EQ(Px(11, 27), 0x808080);
    EXPECT_EQ(Px(11, 42), 0x808080);
    EXPECT_EQ(Px(108, 35), 0x808080);
    EXPECT_EQ(Px(100, 28), C(7));
    EXPECT_EQ(Px(100, 41), C(7));
    EXPECT_EQ(Px(100, 20), C(0));
    EXPECT_EQ(Px(100, 50), C(0));
    int32_t textPixels = 0;
    for (int32_t x = 14; x < 60; ++x)
        for (int32_t y = 28; y < 42; ++y) textPixels += Px(x, y) != C(7);
    EXPECT_GT(textPixels, 0);

    // Without the focus, and in a combo's drop-down, no focus rectangle.
    List->InCombo = true;
    Render();
    EXPECT_EQ(Px(11, 27), C(7));
    List->InCombo = false;
    ShellWindow->FocusedControl = nullptr;
    List->Bridge->FocusChanged(false);
    Render();
    EXPECT_EQ(Px(11, 27), C(7));
}

TEST_F(DrawnListBox, OwnerDrawnRowsGoToTheSink) {
    Fill({u"a", u"b"});
    List->SetOwnerDraw(true);
    List->SetItemIndex(1);
    List->SetFocus();
    Sink->Log.clear();
    Render();
    EXPECT_EQ(Sink->Take(), "DrawItem 0 1,1,99,17 0, DrawItem 1 1,17,99,33 3");
    List->SetEnabled(false);
    Render();
    EXPECT_EQ(Sink->Take(), "DrawItem 0 1,1,99,17 4, DrawItem 1 1,17,99,33 7");
}

TEST_F(DrawnListBox, SortingIsStableOnLowerCasedUnsignedUnits) {
    List->SortItems(true);
    Fill({u"Beta", u"alpha", u"Alpha"});
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"alpha", u"Alpha", u"Beta"}));
    // Units compare unsigned: a full-width letter and an accented one sort
    // after z, and a prefix first.
    List->ClearItems();
    Fill({u"\uFF41", u"z", u"\u00E9", u"zz", u"Z"});
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"z", u"Z", u"zz", u"\u00E9", u"\uFF41"}));

    List->SortItems(false);
    List->ClearItems();
    Fill({u"c", u"B", u"a"});
    List->SetItemIndex(2);
    List->SetItemSelected(0, true);
    List->SortItems(true);
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"a", u"B", u"c"}));
    EXPECT_EQ(List->ItemIndex, -1);
    EXPECT_TRUE(List->Items[2].Selected); // the flag moved with its item
}

TEST_F(DrawnListBox, ItemOperationsKeepTheCurrentItem) {
    Fill({u"a", u"b", u"c", u"d"});
    struct Case {
        const char* name;
        std::function<void()> act;
        int32_t itemIndex;
        int32_t count;
    };
    const Case cases[] = {
        {"select c", [&] { List->SetItemIndex(2); }, 2, 4},
        {"insert before it", [&] { List->InsertItem(0, u"x"); }, 3, 5},
        {"insert past the end appends", [&] { List->InsertItem(99, u"y"); }, 3, 6},
        {"delete above it", [&] { List->DeleteItem(1); }, 2, 5},
        {"delete below it", [&] { List->DeleteItem(4); }, 2, 4},
        {"delete outside", [&] { List->DeleteItem(4); }, 2, 4},
        {"delete it", [&] { List->DeleteItem(2); }, -1, 3},
        {"select outside clears", [&] { List->SetItemIndex(7); }, -1, 3},
    };
    for (const Case& c : cases) {
        c.act();
        EXPECT_EQ(List->ItemIndex, c.itemIndex) << c.name;
        EXPECT_EQ(List->Count(), c.count) << c.name;
    }
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"x", u"b", u"d"}));
    EXPECT_EQ(List->GetItem(3), u"");
    List->SetItem(1, u"B");
    EXPECT_EQ(List->GetItem(1), u"B");
}

TEST_F(DrawnListBox, SingleSelectionByMouseAndKeys) {
    Fill({u"a", u"b", u"c", u"d", u"e", u"f", u"g", u"h", u"i", u"j"});
    List->SetFocus();
    struct Case {
        const char* name;
        std::function<void()> act;
        int32_t itemIndex, topIndex;
        std::string log;
    };
    const Case cases[] = {
        {"Down from none selects 0", [&] { Key(KeyDown); }, 0, 0, "Changed"},
        {"Up stays at 0", [&] { Key(KeyUp); }, 0, 0, "Changed"},
        {"click row 2", [&] { ClickRow(2); }, 2, 0, "Changed, Click"},
        {"click the current row", [&] { Advance(600); ClickRow(2); }, 2, 0, "Click"},
        {"Page Down moves four", [&] { Key(KeyPageDown); }, 6, 3, "Changed"},
        {"End", [&] { Key(KeyEnd); }, 9, 6, "Changed"},
        {"Page Down at the end", [&] { Key(KeyPageDown); }, 9, 6, "Changed"},
        {"Page Up", [&] { Key(KeyPageUp); }, 5, 5, "Changed"},
        {"Home", [&] { Key(KeyHome); }, 0, 0, "Changed"},
        {"Left and Right do nothing", [&] { Key(KeyLeft); Key(KeyRight); }, 0, 0, ""},
        {"drag below the bottom scrolls a row per move",
         [&] {
             Advance(600);
             ShellWindow->RouteMouseDown(40, RowY(3), MouseButtonLeft, 0);
             ShellWindow->RouteMouseMove(40, 200, 0);
             ShellWindow->RouteMouseMove(40, 200, 0);
             ShellWindow->RouteMouseUp(40, 200, MouseButtonLeft, 0);
         },
         5, 2, "Changed, Click, Changed, Changed"},
    };
    for (const Case& c : cases) {
        Reported();
        c.act();
        EXPECT_EQ(List->ItemIndex, c.itemIndex) << c.name;
        EXPECT_EQ(List->TopIndex, c.topIndex) << c.name;
        EXPECT_EQ(Reported(), c.log) << c.name;
    }
    EXPECT_FALSE(ShellWindow->CapturedControl);
    EXPECT_EQ(Selected(), "0000010000");
}

TEST_F(DrawnListBox, MultipleSelectionRanges) {
    List->SetMultiSelect(true);
    Fill({u"a", u"b", u"c", u"d", u"e"});
    struct Case {
        const char* name;
        std::function<void()> act;
        std::string selected;
        int32_t itemIndex;
    };
    const Case cases[] = {
        {"plain click", [&] { ClickRow(1); }, "01000", 1},
        {"Shift+click extends from the last plain click", [&] { ClickRow(3, ShiftStateShift); }, "01110", 3},
        {"Control+click toggles one row", [&] { ClickRow(2, ShiftStateCtrl); }, "01010", 2},
        {"Shift+click from the toggled row", [&] { ClickRow(0, ShiftStateShift); }, "11100", 0},
        {"Shift+Down extends by one", [&] { ShellWindow->RouteKeyDown(KeyDown, ShiftStateShift); }, "01100", 1},
        {"space toggles the current row", [&] { Key(KeySpace); }, "00100", 1},
        {"Down alone selects one", [&] { Key(KeyDown); }, "00100", 2},
    };
    List->SetFocus();
    for (const Case& c : cases) {
        Advance(600);
        c.act();
        EXPECT_EQ(Selected(), c.selected) << c.name;
        EXPECT_EQ(List->ItemIndex, c.itemIndex) << c.name;
    }
    EXPECT_EQ(List->GetSelectedCount(), 1);
}

TEST_F(DrawnListBox, TwoPressesWithinTheIntervalMakeOneDoubleClick) {
    Fill({u"a", u"b", u"c"});
    struct Case {
        int32_t waitMs, row;
        std::string log;
    };
    const Case cases[] = {
        {0, 1, "Changed, Click"},
        {499, 1, "Click, DoubleClick"},
        {10, 1, "Click"},           // a third press starts over
        {600, 1, "Click"},          // too late: a new sequence
        {100, 2, "Changed, Click"}, // another row
        {100, 2, "Click, DoubleClick"},
    };
    for (const Case& c : cases) {
        Advance(c.waitMs);
        Reported();
        ClickRow(c.row);
        EXPECT_EQ(Reported(), c.log) << c.waitMs << " " << c.row;
        // The platform's own double click is dropped after the list's.
        Sink->Log.clear();
        List->Host->Events->DoubleClick();
        EXPECT_EQ(Sink->Text(), c.log.find("DoubleClick") != std::string::npos ? "" : "DoubleClick");
    }
}

TEST_F(DrawnListBox, TypeAheadSearchesFromTheCurrentItem) {
    Fill({u"apple", u"Banana", u"bar", u"berry", u"cherry"});
    List->SetFocus();
    struct Case {
        int32_t waitMs;
        char16_t ch;
        int32_t itemIndex;
        std::u16string search;
    };
    const Case cases[] = {
        {0, u'b', 1, u"b"},
        {500, u'a', 1, u"ba"},      // the current item still matches
        {1000, u'r', 2, u"bar"},    // 1000 ms later the text goes on
        {1001, u'b', 2, u"b"},      // after a longer pause: a new search, the current item first
        {10, u'b', 3, u"b"},        // bb matches nothing: b again steps to the next b
        {10, u'b', 1, u"b"},        // ... wrapping past the end
        {10, u'z', 1, u"z"},        // no match: nothing changes
        {10, u' ', 1, u"z"},        // blanks and control characters are ignored
    };
    for (const Case& c : cases) {
        Advance(c.waitMs);
        ShellWindow->RouteCharInput(c.ch);
        EXPECT_EQ(List->ItemIndex, c.itemIndex) << char(c.ch);
        EXPECT_EQ(List->SearchText, c.search) << char(c.ch);
    }
}

TEST_F(DrawnListBox, ScrollingKeepsTheLastPageFull) {
    Fill({u"0", u"1", u"2", u"3", u"4", u"5", u"6", u"7", u"8", u"9"});
    List->SetTopIndex(9);
    EXPECT_EQ(List->TopIndex, 6);
    List->UpdateScrollBar();
    EXPECT_TRUE(List->VScrollVisible);
    EXPECT_EQ(List->VScroll->HighestPosition(), 6);
    EXPECT_EQ(List->VScroll->Position, 6);
    ShellWindow->RouteMouseWheel(40, 30, 120, 0);
    EXPECT_EQ(List->TopIndex, 3);
    ShellWindow->RouteMouseWheel(40, 30, -240, 0);
    EXPECT_EQ(List->TopIndex, 6);
    // The bar's down arrow (x 92..108, y 60..76 in the window) scrolls one row.
    List->SetTopIndex(0);
    Render();
    Click(100, 70);
    EXPECT_EQ(List->TopIndex, 1);
    EXPECT_EQ(List->ItemIndex, -1);
    // A taller row height leaves fewer rows, and the top follows.
    List->SetTopIndex(6);
    List->SetItemHeight(8);
    EXPECT_EQ(List->TopIndex, 2);
    EXPECT_EQ(List->ClampTop(List->TopIndex), List->TopIndex);
}

TEST_F(DrawnListBox, EmptyListPaintsOnlyBackgroundAndFrame) {
    List->SetFocus();
    Key(KeyHome);
    Key(KeyEnd);
    ShellWindow->RouteCharInput(u'a');
    EXPECT_EQ(List->ItemIndex, -1);
    EXPECT_EQ(Reported(), "");
    Render();
    EXPECT_EQ(Px(10, 10), C(26));
    for (int32_t y = 11; y < 77; y += 5)
        for (int32_t x = 11; x < 109; x += 7) ASSERT_EQ(Px(x, y), C(0)) << x << "," << y;
}

// The Shift range's anchor stays an item when items go, and a drag over a
// list emptied under it selects nothing.
TEST_F(DrawnListBox, AnchorStaysInsideTheItems) {
    List->SetMultiSelect(true);
    Fill({u"a", u"b", u"c", u"d"});
    ClickRow(3);
    List->DeleteItem(0);
    EXPECT_EQ(List->AnchorIndex, 2); // moved up with its item
    List->DeleteItem(2);
    EXPECT_EQ(List->AnchorIndex, 1); // its item went: the last one
    Advance(600);
    ClickRow(0, ShiftStateShift);
    EXPECT_EQ(Selected(), "11");
    List->ClearItems();
    EXPECT_EQ(List->AnchorIndex, 0);

    List->SetMultiSelect(false);
    Fill({u"a", u"b"});
    ShellWindow->RouteMouseDown(40, RowY(0), MouseButtonLeft, 0);
    List->ClearItems();
    Reported();
    ShellWindow->RouteMouseMove(40, -100, 0);
    ShellWindow->RouteMouseMove(40, 300, 0);
    ShellWindow->RouteMouseUp(40, 300, MouseButtonLeft, 0);
    EXPECT_EQ(List->ItemIndex, -1);
    EXPECT_EQ(Reported(), "");
}

} // namespace
