#include "Zyl.Platform.Drawn.Harness.h"
#include "Zyl.Platform.Drawn.Combo.h"

#include "System.Remainder.Exceptions.h"

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
    // What was reported of selection, clicks and the drop-down since the
    // last call.
    std::string Reported() {
        std::string log;
        for (const std::string& l : Log)
            if (l == "Changed" || l == "Click" || l == "DoubleClick" || l.starts_with("DroppedDownChanged"))
                log += (log.empty() ? "" : ", ") + l;
        Log.clear();
        return log;
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
    std::string Reported() { return Sink->Reported(); }
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
    List->SetMultiSelect(true);
    Fill({u"c", u"B", u"a"});
    List->SetItemIndex(2);
    List->SetItemSelected(0, true);
    List->SortItems(true);
    EXPECT_EQ(Texts(), (std::vector<std::u16string>{u"a", u"B", u"c"}));
    EXPECT_EQ(List->ItemIndex, -1);
    EXPECT_EQ(Selected(), "001"); // the flag moved with its item
}

// InsertItem and SetItem leave a sorted list as they find it; AddItem still
// puts the text before the first item that compares greater.
TEST_F(DrawnListBox, SortedAddGoesBeforeTheFirstGreaterItemInAnyOrder) {
    struct Case {
        const char* name;
        std::function<void()> unsort;
        const char16_t* added;
        int32_t index;
        std::vector<std::u16string> texts;
    };
    const Case cases[] = {
        {"inserted out of order", [&] { List->InsertItem(0, u"c"); }, u"b", 0, {u"b", u"c", u"a", u"b"}},
        {"replaced out of order", [&] { List->SetItem(0, u"z"); }, u"c", 0, {u"c", u"z", u"b"}},
        {"nothing greater", [&] { List->SetItem(0, u"b"); List->SetItem(1, u"a"); }, u"b", 2, {u"b", u"a", u"b"}},
    };
    for (const Case& c : cases) {
        List->ClearItems();
        List->SortItems(true);
        Fill({u"a", u"b"});
        c.unsort();
        EXPECT_EQ(List->AddItem(c.added), c.index) << c.name;
        EXPECT_EQ(Texts(), c.texts) << c.name;
    }
}

// In single selection what is painted selected agrees with the queries,
// also after the changes that may leave flags set from before: a sort (no
// row is current then, and none is painted) and leaving multiple selection.
// Multiple selection then keeps exactly what single selection showed.
TEST_F(DrawnListBox, RowsPaintedSelectedAreTheSelectedOnesInSingleSelection) {
    struct Case {
        const char* name;
        std::function<void()> act;
        int32_t itemIndex;
        const char* selected;
    };
    const Case cases[] = {
        {"sort in single selection",
         [&] {
             Fill({u"c", u"b", u"a"});
             List->SetItemIndex(0);
             List->SortItems(true);
         },
         -1, "000"},
        {"leave multiple selection",
         [&] {
             List->SetMultiSelect(true);
             Fill({u"a", u"b", u"c"});
             List->SetItemSelected(0, true);
             List->SetItemSelected(2, true);
             List->SetItemIndex(2);
             List->SetMultiSelect(false);
         },
         2, "001"},
        {"leave multiple selection with the current row unselected",
         [&] {
             List->SetMultiSelect(true);
             Fill({u"a", u"b", u"c"});
             List->SetItemSelected(0, true);
             List->SetItemIndex(2);
             List->SetMultiSelect(false);
         },
         2, "001"},
    };
    // The queries and the rows painted, rows 0..2 (window y 11..58) at
    // their middles, right of any text.
    const auto expectSelected = [&](const char* selected, const std::string& when) {
        EXPECT_EQ(Selected(), selected) << when;
        Render();
        for (int32_t row = 0; row < 3; ++row)
            EXPECT_EQ(Px(100, RowY(row)), C(selected[row] == '1' ? 7 : 0)) << when << ", row " << row;
    };
    for (const Case& c : cases) {
        List->ClearItems();
        List->SortItems(false);
        List->SetMultiSelect(false);
        c.act();
        EXPECT_EQ(List->ItemIndex, c.itemIndex) << c.name;
        EXPECT_EQ(List->GetSelectedCount(), c.itemIndex >= 0 ? 1 : 0) << c.name;
        expectSelected(c.selected, c.name);
        List->SetMultiSelect(true);
        expectSelected(c.selected, std::string(c.name) + ", back in multiple selection");
        List->SetMultiSelect(false);
        List->SetItemIndex(1);
        expectSelected("010", std::string(c.name) + ", then the next selection alone");
    }
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

// ---------------------------------------------------------------------------
// Combo box

// A combo of 120 x 24 at (10, 10) whose list rows are 16 high.
class DrawnComboBox : public DrawnHarness {
public:
    DrawnComboBox() { Combo = Make(10, 10); }
    TRef<TDrawnComboBox> Make(int32_t x, int32_t y) {
        const TRef<TDrawnComboBox> combo = Place<TDrawnComboBox>(App->CreateComboBox(), x, y, 120, 24);
        combo->Events = Sink;
        combo->SetItemHeight(16);
        return combo;
    }
    void Fill(int32_t count) {
        for (int32_t i = 0; i < count; ++i) Combo->AddItem(std::u16string(1, char16_t(u'a' + i)));
    }

    TRef<ListSink> Sink = MakeRef<ListSink>();
    TRef<TDrawnComboBox> Combo;
};

TEST_F(DrawnComboBox, FactoryAsksForItsOwnHostThenTheListsThenTheEdits) {
    Shell->MadeHosts.clear();
    const TRef<TPlatformControl> made = App->CreateComboBox();
    auto* combo = static_cast<TDrawnComboBox*>(made.Get());
    ASSERT_EQ(Shell->MadeHosts.size(), 3u);
    EXPECT_EQ(Shell->MadeHosts[0], combo->Host.Get());
    EXPECT_EQ(Shell->MadeHosts[1], combo->List->Host.Get());
    EXPECT_EQ(Shell->MadeHosts[2], DrawnHostOf(combo->Edit.Get()).Get());
    EXPECT_TRUE(combo->List->InCombo);
}

TEST_F(DrawnComboBox, ListOnlyKeys) {
    Combo->SetListOnly(true);
    Fill(12);
    Combo->SetFocus();
    struct Case {
        const char* name;
        int32_t key, shift;
        bool handled;
        int32_t itemIndex, listIndex;
        std::string reported;
    };
    const Case cases[] = {
        {"Escape while closed is left to the dialog", PlatformKeyEscape, 0, false, -1, -1, ""},
        {"Return while closed too", KeyReturn, 0, false, -1, -1, ""},
        {"Up from none selects the first", KeyUp, 0, true, 0, 0, "Changed"},
        {"Up at the first changes nothing", KeyUp, 0, true, 0, 0, ""},
        {"Page Down moves 8 items", KeyPageDown, 0, true, 8, 8, "Changed"},
        {"Page Down stops at the last", KeyPageDown, 0, true, 11, 11, "Changed"},
        {"Page Up", KeyPageUp, 0, true, 3, 3, "Changed"},
        {"F4 opens", KeyF4, 0, true, 3, 3, "DroppedDownChanged 1"},
        {"Down moves only the list", KeyDown, 0, true, 3, 4, ""},
        {"Page Down moves the list by its rows", KeyPageDown, 0, true, 3, 11, ""},
        {"Escape closes and keeps the item", PlatformKeyEscape, 0, true, 3, 11, "DroppedDownChanged 0"},
        {"Alt+Down opens", KeyDown, ShiftStateAlt, true, 3, 3, "DroppedDownChanged 1"},
        {"Up in the list", KeyUp, 0, true, 3, 2, ""},
        {"keypad Enter accepts", PlatformKeyKeypadEnter, 0, true, 2, 2, "Changed, DroppedDownChanged 0"},
        {"F4 opens again", KeyF4, 0, true, 2, 2, "DroppedDownChanged 1"},
        {"F4 closes accepting the same item: no change", KeyF4, 0, true, 2, 2, "DroppedDownChanged 0"},
        {"Left is no list key", KeyLeft, 0, false, 2, 2, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Combo->ComboKey(c.key, c.shift), c.handled) << c.name;
        EXPECT_EQ(Combo->ItemIndex, c.itemIndex) << c.name;
        EXPECT_EQ(Combo->List->ItemIndex, c.listIndex) << c.name;
        EXPECT_EQ(Sink->Reported(), c.reported) << c.name;
    }
    // Home and End of the focused combo itself, and the face follows.
    Key(KeyEnd);
    EXPECT_EQ(Combo->ItemIndex, 11);
    EXPECT_EQ(Combo->GetText(), u"l");
    Key(KeyHome);
    EXPECT_EQ(Combo->ItemIndex, 0);
    EXPECT_EQ(Sink->Reported(), "Changed, Changed");
}

TEST_F(DrawnComboBox, ListOnlyTypeAheadHasNoSingleLetterRetry) {
    Combo->SetListOnly(true);
    for (const char16_t* t : {u"apple", u"banana", u"bar", u"cherry"}) Combo->AddItem(t);
    Combo->SetFocus();
    struct Case {
        int32_t waitMs;
        char16_t ch;
        int32_t itemIndex;
    };
    const Case cases[] = {{0, u'b', 1}, {10, u'a', 2}, {10, u'b', 2}, {1001, u'b', 1}, {1001, u'c', 3}};
    for (const Case& c : cases) {
        Advance(c.waitMs);
        ShellWindow->RouteCharInput(c.ch);
        EXPECT_EQ(Combo->ItemIndex, c.itemIndex) << c.waitMs << " " << char(c.ch);
    }
}

TEST_F(DrawnComboBox, MouseOpensChoosesAndCloses) {
    Combo->SetListOnly(true);
    Fill(3);
    // A press and release on the face opens the list and leaves it open.
    Click(60, 20);
    EXPECT_TRUE(Combo->DroppedDown);
    EXPECT_EQ(Combo->DropY, 34);
    EXPECT_EQ(ShellWindow->CapturedControl.Get(), Combo->Host.Get());
    // Hot tracking, then a release on row 2 (client y 35 + 32 .. 50) accepts it.
    ShellWindow->RouteMouseMove(60, 70, 0);
    EXPECT_EQ(Combo->List->ItemIndex, 2);
    ShellWindow->RouteMouseDown(60, 70, MouseButtonLeft, 0);
    ShellWindow->RouteMouseUp(60, 70, MouseButtonLeft, 0);
    EXPECT_FALSE(Combo->DroppedDown);
    EXPECT_EQ(Combo->ItemIndex, 2);
    EXPECT_FALSE(ShellWindow->CapturedControl);
    EXPECT_TRUE(ShellWindow->Popups.empty());
    EXPECT_EQ(Sink->Reported(), "DroppedDownChanged 1, Changed, DroppedDownChanged 0");
    // A press outside the list closes it without a change; the wheel
    // scrolls only an open list.
    Click(60, 20);
    ShellWindow->RouteMouseWheel(60, 20, -120, 0);
    Click(200, 150);
    EXPECT_FALSE(Combo->DroppedDown);
    EXPECT_EQ(Combo->ItemIndex, 2);
    EXPECT_EQ(Sink->Reported(), "DroppedDownChanged 1, DroppedDownChanged 0");
}

TEST_F(DrawnComboBox, CloseUpAcceptsTheSameItemOnlyWhenEditable) {
    struct Case {
        bool listOnly;
        std::string reported;
    };
    for (const Case& c : {Case{true, "DroppedDownChanged 1, DroppedDownChanged 0"},
                          Case{false, "DroppedDownChanged 1, Changed, DroppedDownChanged 0"}}) {
        Combo = Make(10, 100);
        Combo->SetListOnly(c.listOnly);
        Fill(3);
        Combo->SetItemIndex(1);
        Sink->Reported();
        Combo->SetDroppedDown(true);
        Combo->ComboKey(KeyReturn, 0);
        EXPECT_EQ(Sink->Reported(), c.reported) << c.listOnly;
        EXPECT_EQ(Combo->GetText(), u"b") << c.listOnly;
    }
}

TEST_F(DrawnComboBox, EditableComboFollowsTheTypedTextAndTakesTheListKeys) {
    Combo->AddItem(u"Alpha");
    Combo->AddItem(u"Beta");
    Combo->SetFocus();
    EXPECT_TRUE(Combo->Focused);
    struct Case {
        const char* name;
        std::function<void()> act;
        int32_t itemIndex;
        std::u16string text;
        std::string reported;
    };
    const auto type = [&](std::u16string text) {
        for (char16_t ch : text) ShellWindow->RouteCharInput(ch);
    };
    const Case cases[] = {
        {"a text that is no item", [&] { type(u"be"); }, -1, u"be", "Changed, Changed"},
        {"an item ignoring case", [&] { type(u"TA"); }, 1, u"beTA", "Changed, Changed"},
        {"Down at the last item", [&] { Key(KeyDown); }, 1, u"beTA", ""},
        {"Up chooses and rewrites the text", [&] { Key(KeyUp); }, 0, u"Alpha", "Changed"},
        {"Escape while closed reaches the edit part", [&] { Key(PlatformKeyEscape); }, 0, u"Alpha", ""},
        {"F4 opens with the item chosen", [&] { Key(KeyF4); }, 0, u"Alpha", "DroppedDownChanged 1"},
        {"Down in the open list, then Return", [&] { Key(KeyDown); Key(PlatformKeyReturn); }, 1, u"Beta",
         "Changed, DroppedDownChanged 0"},
    };
    for (const Case& c : cases) {
        c.act();
        EXPECT_EQ(Combo->ItemIndex, c.itemIndex) << c.name;
        EXPECT_EQ(Combo->GetText(), c.text) << c.name;
        EXPECT_EQ(Sink->Reported(), c.reported) << c.name;
    }
    // The chosen text is selected whole, ready to be typed over.
    EXPECT_EQ(Combo->GetSelStart(), 0);
    EXPECT_EQ(Combo->GetSelLength(), 4);
    // Losing the edit part's focus closes an open list without a change.
    Key(KeyF4);
    const auto other = Place<TDrawnButton>(App->CreateButton(), 10, 100, 50, 20);
    other->SetFocus();
    EXPECT_FALSE(Combo->DroppedDown);
    EXPECT_FALSE(Combo->Focused);
    EXPECT_EQ(Sink->Reported(), "DroppedDownChanged 1, DroppedDownChanged 0");
}

TEST_F(DrawnComboBox, ItemIndexFollowsInsertionsAndDeletions) {
    Fill(3);
    struct Case {
        const char* name;
        std::function<void()> act;
        int32_t itemIndex;
    };
    const Case cases[] = {
        {"select the last", [&] { Combo->SetItemIndex(2); }, 2},
        {"insert before it", [&] { Combo->InsertItem(0, u"x"); }, 3},
        {"insert past the end", [&] { Combo->InsertItem(9, u"y"); }, 3},
        {"delete above it", [&] { Combo->DeleteItem(0); }, 2},
        {"delete outside", [&] { Combo->DeleteItem(7); }, 2},
        {"select the last again", [&] { Combo->SetItemIndex(3); }, 3},
        // The count is asked before the item goes.
        {"delete the selected last item", [&] { Combo->DeleteItem(3); }, -1},
        {"select outside", [&] { Combo->SetItemIndex(5); }, -1},
        {"select and sort the other way", [&] { Combo->SetItemIndex(0); Combo->SortItems(false); }, -1},
    };
    for (const Case& c : cases) {
        c.act();
        EXPECT_EQ(Combo->ItemIndex, c.itemIndex) << c.name;
    }
    EXPECT_EQ(Combo->GetItemCount(), 3);
    EXPECT_EQ(Sink->Reported(), "");
}

TEST_F(DrawnComboBox, ListOpensUpwardOnlyWhenItFitsAbove) {
    struct Case {
        int32_t y, items, dropY, height;
    };
    const Case cases[] = {
        {10, 3, 34, 50},  // below
        {130, 3, 80, 50}, // would pass the bottom at 160: above
        {30, 9, 54, 130}, // too tall for above too: below anyway
        {10, 0, 34, 18},  // no items: one row
    };
    for (const Case& c : cases) {
        Combo = Make(10, c.y);
        Fill(c.items);
        Combo->SetDroppedDown(true);
        EXPECT_EQ(Combo->DropY, c.dropY) << c.y;
        int32_t l = 0, t = 0, w = 0, h = 0;
        Combo->List->GetBounds(l, t, w, h);
        EXPECT_EQ(h, c.height) << c.y;
        EXPECT_EQ(w, 120) << c.y;
        Combo->SetDroppedDown(false);
    }
}

TEST_F(DrawnComboBox, ListIsPaintedOverTheControlBelow) {
    Combo->SetListOnly(true);
    const auto below = Place<TDrawnButton>(App->CreateButton(), 10, 40, 120, 60);
    Fill(3);
    Combo->SetItemIndex(1);
    Render();
    EXPECT_EQ(Px(60, 60), C(15)); // the button's face
    Combo->SetDroppedDown(true);
    Render();
    EXPECT_EQ(Px(10, 34), C(26));   // the list's frame
    EXPECT_EQ(Px(125, 45), C(0));   // row 0
    EXPECT_EQ(Px(125, 60), C(7));   // row 1, selected
    EXPECT_EQ(Px(125, 76), C(0));   // row 2, over the button
    EXPECT_EQ(Px(60, 83), C(26));   // the list's bottom frame line
    EXPECT_EQ(Px(60, 84), C(15));   // the button again below it
    // No focus rectangle in the drop-down, and the open face shows C[17].
    EXPECT_EQ(Px(11, 51), C(7));
    EXPECT_EQ(Px(100, 12), C(17));
    EXPECT_EQ(Px(10, 10), C(7));
}

// Hiding, disabling, detaching or releasing an open combo takes its list
// away; a released combo also leaves the list's sink.
TEST_F(DrawnComboBox, DropDownNeverOutlivesTheCombo) {
    Fill(3);
    const std::function<void()> ways[] = {
        [&] { Combo->SetVisible(false); },
        [&] { Combo->SetEnabled(false); },
        [&] { Combo->RemoveFromParent(); },
    };
    for (const auto& way : ways) {
        Combo = Make(10, 10);
        Fill(3);
        Combo->SetDroppedDown(true);
        ASSERT_EQ(ShellWindow->Popups.size(), 1u);
        way();
        EXPECT_FALSE(Combo->DroppedDown);
        EXPECT_TRUE(ShellWindow->Popups.empty());
        EXPECT_FALSE(ShellWindow->CapturedControl);
    }
    Combo = Make(10, 10);
    Combo->SetOwnerDraw(true);
    const TRef<TDrawnListBox> list = Combo->List;
    EXPECT_EQ(list->Events.Get(), Sink.Get());
    Combo->SetDroppedDown(true);
    Combo = nullptr;
    EXPECT_TRUE(ShellWindow->Popups.empty());
    EXPECT_FALSE(list->Events);
}

// An owner's handler that raises while the combo moves the focus leaves
// Dropping cleared.
TEST_F(DrawnComboBox, DroppingIsClearedOnEveryExit) {
    class RaisingSink : public ListSink {
    public:
        void FocusChanged(bool) override { throw System::Exception(u"falha"); }
    };
    Combo->SetListOnly(true);
    Combo->Events = MakeRef<RaisingSink>();
    EXPECT_THROW(Combo->DropDown(), System::Exception);
    EXPECT_FALSE(Combo->Dropping);
}

} // namespace
