#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Os.h"
#include "System.Remainder.Strings.h"
#include "TestSupport.h"

using namespace System;

namespace {

// A list whose events are written down: "<" before a change, ">" after it.
struct TWatchedList {
    TWatchedList(std::initializer_list<const char16_t*> items = {}) : list(MakeRef<TStringList>()) {
        for (const char16_t* s : items) list->Add(s);
        list->OnChanging = [this](TObject* sender) {
            EXPECT_EQ(sender, list.Get());
            events += '<';
        };
        list->OnChange = [this](TObject* sender) {
            EXPECT_EQ(sender, list.Get());
            events += '>';
        };
    }
    TStringList* operator->() const { return list.Get(); }

    TRef<TStringList> list;
    std::string events;
};

std::vector<std::u16string> Items(const TStrings& list) {
    std::vector<std::u16string> items;
    for (int32_t i = 0; i < list.GetCount(); ++i) items.push_back(list.Get(i));
    return items;
}

using Texts = std::vector<std::u16string>;

struct TTag : TObject {
    explicit TTag(int id) : Id(id) {}
    int Id;
};

// A memory stream that can be written, or that announces more bytes than it has.
class TBytesStream : public TStream {
public:
    explicit TBytesStream(std::string bytes = {}) : Bytes(std::move(bytes)) {}

    int64_t GetSize() override { return AnnouncedSize >= 0 ? AnnouncedSize : int64_t(Bytes.size()); }
    int64_t Read(void* buffer, int64_t count) override {
        const int64_t n = std::clamp<int64_t>(int64_t(Bytes.size()) - Position, 0, count);
        std::memcpy(buffer, Bytes.data() + Position, size_t(n));
        Position += n;
        return n;
    }
    int64_t Write(const void* buffer, int64_t count) override {
        ++Writes;
        const int64_t n = std::min(count, WriteLimit);
        Bytes.replace(size_t(Position), size_t(n), static_cast<const char*>(buffer), size_t(n));
        Position += n;
        WriteLimit -= n;
        return n;
    }
    int64_t Seek(int64_t offset, int32_t origin) override {
        Position = offset + (origin == soCurrent ? Position : origin == soEnd ? int64_t(Bytes.size()) : 0);
        return Position;
    }

    std::string Bytes;
    int64_t Position = 0;
    int64_t AnnouncedSize = -1;
    int64_t WriteLimit = INT64_MAX;
    int Writes = 0;
};

} // namespace

// ---- Text in and out ---------------------------------------------------------

TEST(StringListText, SetTextLineEnds) {
    const struct { std::u16string text; Texts items; } cases[] = {
        {u"", {}},
        {u"x", {u"x"}},
        {u"a\r\nb", {u"a", u"b"}},
        {u"a\r\n", {u"a"}},
        {u"\r\n", {u""}},
        {u"\n", {u""}},
        {u"a\n\rb", {u"a", u"", u"b"}},  // LF CR is two line ends
        {u"a\rb\nc", {u"a", u"b", u"c"}},
        {u"\r\r", {u"", u""}},
        {u"a\n\n", {u"a", u""}},
        {u"\r\n\r\nz", {u"", u"", u"z"}},
        {std::u16string(u"n\0l\r\n", 5), {std::u16string(u"n\0l", 3)}},  // NUL is an ordinary unit
    };
    for (const auto& c : cases) {
        TWatchedList list{u"old"};
        list->SetText(c.text);
        EXPECT_EQ(Items(*list.list), c.items) << &c - cases;
        EXPECT_EQ(list.events, "<>") << &c - cases;
    }
}

TEST(StringListText, GetTextEndsEveryItemWithTheLineBreak) {
    TWatchedList list;
    EXPECT_EQ(list->GetText(), u"");
    list->Add(u"x");
    EXPECT_EQ(list->GetText(), u"x\r\n");
    list->SetText(u"a\rb");
    EXPECT_EQ(list->GetText(), u"a\r\nb\r\n");
    list->LineBreak = std::u16string(u"\n");
    EXPECT_EQ(list->GetText(), u"a\nb\n");
    const std::u16string line(300, u'w');  // beyond the first reserve
    list->SetText(line);
    const std::u16string text = list->GetText();
    EXPECT_EQ(text.substr(0, 300), line);
    EXPECT_EQ(text.substr(300), u"\n");
}

// ---- Notifications -----------------------------------------------------------

TEST(StringListEvents, WhichOperationsNotify) {
    TRef<TStringList> other = MakeRef<TStringList>();
    other->SetText(u"p\nq");
    const struct { const char* name; std::function<void(TStringList&)> action; const char* events; } cases[] = {
        {"Add", [](TStringList& l) { l.Add(u"d"); }, "<>"},
        {"Insert", [](TStringList& l) { l.Insert(0, u"d"); }, "<>"},
        {"Put", [](TStringList& l) { l.Put(0, u"d"); }, "<>"},
        {"PutObject", [](TStringList& l) { l.PutObject(0, nullptr); }, "<>"},
        {"PutItemData", [](TStringList& l) { l.PutItemData(0, 5); }, ">"},
        {"Delete", [](TStringList& l) { l.Delete(0); }, "<>"},
        {"Exchange", [](TStringList& l) { l.Exchange(0, 2); }, "<>"},
        {"Clear", [](TStringList& l) { l.Clear(); }, "<>"},
        {"Sort", [](TStringList& l) { l.Sort(); }, "<>"},
        {"SetText", [](TStringList& l) { l.SetText(u"1\n2\n3"); }, "<>"},
        {"AddStrings", [&](TStringList& l) { l.AddStrings(*other); }, "<>"},
        {"Assign", [&](TStringList& l) { l.Assign(other.Get()); }, "<>"},
        {"Move", [](TStringList& l) { l.Move(0, 2); }, "<>"},
        {"Move to itself", [](TStringList& l) { l.Move(1, 1); }, ""},
        {"Assign itself", [](TStringList& l) { l.Assign(&l); }, ""},
        {"SetCapacity", [](TStringList& l) { l.SetCapacity(100); }, ""},
        {"nested updates", [](TStringList& l) {
             l.BeginUpdate();
             l.BeginUpdate();
             l.Add(u"d");
             l.EndUpdate();
             l.Delete(0);
             l.EndUpdate();
             l.EndUpdate();  // unmatched: nothing
         }, "<>"},
    };
    for (const auto& c : cases) {
        TWatchedList list{u"c", u"a", u"b"};
        list.events.clear();
        c.action(*list.list);
        EXPECT_EQ(list.events, c.events) << c.name;
        EXPECT_EQ(list->UpdateCount(), 0) << c.name;
    }
}

TEST(StringListEvents, NothingHappensNothingFires) {
    TWatchedList list;
    list->Clear();
    list->Add(u"one");
    list.events.clear();
    list->Sort();
    list->SetSorted(true);
    list->Add(u"ONE");  // an ignored duplicate
    EXPECT_EQ(list.events, "");
    EXPECT_EQ(list->GetCount(), 1);
}

TEST(StringListEvents, ABracketedFailureStillClosesTheBracket) {
    TWatchedList list;
    list->SetSorted(true);
    list->Duplicates = dupError;
    EXPECT_EQ(MessageOf([&] { list->SetText(u"b\na\nB\nc"); }), u"a lista não aceita repetição (0)");
    EXPECT_EQ(Items(*list.list), (Texts{u"a", u"b"}));  // the lines before the failure stay
    EXPECT_EQ(list.events, "<>");
    EXPECT_EQ(list->UpdateCount(), 0);
}

// ---- Errors ------------------------------------------------------------------

TEST(StringListErrors, RefusalsNameTheIndexAndChangeNothing) {
    const struct { const char* name; bool sorted; std::function<void(TStringList&)> action; const char16_t* message; } cases[] = {
        {"Get -1", false, [](TStringList& l) { l.Get(-1); }, u"índice fora da lista (-1)"},
        {"Get count", false, [](TStringList& l) { l.Get(2); }, u"índice fora da lista (2)"},
        {"GetObject", false, [](TStringList& l) { l.GetObject(7); }, u"índice fora da lista (7)"},
        {"GetItemData", false, [](TStringList& l) { l.GetItemData(-5); }, u"índice fora da lista (-5)"},
        {"Put", false, [](TStringList& l) { l.Put(2, u"x"); }, u"índice fora da lista (2)"},
        {"PutObject", false, [](TStringList& l) { l.PutObject(3, nullptr); }, u"índice fora da lista (3)"},
        {"PutItemData", false, [](TStringList& l) { l.PutItemData(-1, 1); }, u"índice fora da lista (-1)"},
        {"Delete", false, [](TStringList& l) { l.Delete(2); }, u"índice fora da lista (2)"},
        {"Exchange second", false, [](TStringList& l) { l.Exchange(0, 9); }, u"índice fora da lista (9)"},
        {"Exchange first", false, [](TStringList& l) { l.Exchange(8, 9); }, u"índice fora da lista (8)"},
        {"Insert count+1", false, [](TStringList& l) { l.Insert(3, u"x"); }, u"índice fora da lista (3)"},
        {"Insert -1", false, [](TStringList& l) { l.Insert(-1, u"x"); }, u"índice fora da lista (-1)"},
        {"sorted Put", true, [](TStringList& l) { l.Put(99, u"x"); },
         u"não se grava direto numa lista ordenada (99)"},
        {"sorted Insert", true, [](TStringList& l) { l.Insert(0, u"x"); },
         u"não se insere por posição numa lista ordenada (0)"},
        {"sorted InsertObject", true, [](TStringList& l) { l.InsertObject(1, u"x", nullptr); },
         u"não se insere por posição numa lista ordenada (1)"},
    };
    for (const auto& c : cases) {
        TWatchedList list{u"a", u"b"};
        list->SetSorted(c.sorted);
        list.events.clear();
        EXPECT_EQ(MessageOf([&] { c.action(*list.list); }), c.message) << c.name;
        EXPECT_EQ(Items(*list.list), (Texts{u"a", u"b"})) << c.name;
        EXPECT_EQ(list.events, "") << c.name;
    }
}

TEST(StringListErrors, InsertAtTheCountAppends) {
    TWatchedList list{u"a"};
    list->Insert(1, u"b");
    EXPECT_EQ(Items(*list.list), (Texts{u"a", u"b"}));
}

// ---- Sorting -----------------------------------------------------------------

TEST(SortedStringList, DuplicateModes) {
    const struct {
        TDuplicates mode;
        Texts before;
        const char16_t* added;
        int32_t result;      // the returned index; -1: refused
        Texts after;
        const char* events;
    } cases[] = {
        {dupIgnore, {u"a", u"b", u"c"}, u"B", 1, {u"a", u"b", u"c"}, ""},
        {dupIgnore, {u"a", u"c"}, u"b", 1, {u"a", u"b", u"c"}, "<>"},
        {dupAccept, {u"a", u"b", u"b", u"c"}, u"B", 1, {u"a", u"B", u"b", u"b", u"c"}, "<>"},
        {dupAccept, {u"b", u"b"}, u"b", 0, {u"b", u"b", u"b"}, "<>"},
        {dupError, {u"Alpha"}, u"ALPHA", -1, {u"Alpha"}, ""},
        {dupError, {u"Alpha"}, u"Beta", 1, {u"Alpha", u"Beta"}, "<>"},
    };
    for (const auto& c : cases) {
        TWatchedList list;
        list->SetSorted(true);
        list->Duplicates = c.mode;
        for (const auto& s : c.before) list->Add(s);
        list.events.clear();
        if (c.result < 0) {
            EXPECT_EQ(MessageOf([&] { list->Add(c.added); }), u"a lista não aceita repetição (0)") << &c - cases;
        } else {
            EXPECT_EQ(list->Add(c.added), c.result) << &c - cases;
        }
        EXPECT_EQ(Items(*list.list), c.after) << &c - cases;
        EXPECT_EQ(list.events, c.events) << &c - cases;
    }
}

TEST(SortedStringList, AnAcceptedDuplicateGoesBeforeItsEquals) {
    TRef<TStringList> list = MakeRef<TStringList>();
    list->SetSorted(true);
    list->Duplicates = dupAccept;
    const TRef<TTag> first = MakeRef<TTag>(1), second = MakeRef<TTag>(2), third = MakeRef<TTag>(3);
    list->AddObject(u"b", first.Get());
    list->AddObject(u"b", second.Get());
    EXPECT_EQ(list->AddObject(u"b", third.Get()), 0);
    EXPECT_EQ(list->GetObject(0).Get(), third.Get());
    EXPECT_EQ(list->GetObject(2).Get(), first.Get());
}

TEST(SortedStringList, FindAtTheBoundaries) {
    TRef<TStringList> list = MakeRef<TStringList>();
    list->SetSorted(true);
    int32_t index = -7;
    EXPECT_FALSE(list->Find(u"x", index));
    EXPECT_EQ(index, 0);
    for (const char16_t* s : {u"d", u"b", u"f", u"h"}) list->Add(s);
    const struct { const char16_t* s; bool found; int32_t index; } cases[] = {
        {u"a", false, 0}, {u"b", true, 0}, {u"c", false, 1}, {u"D", true, 1},
        {u"g", false, 3}, {u"h", true, 3}, {u"z", false, 4},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(list->Find(c.s, index), c.found) << &c - cases;
        EXPECT_EQ(index, c.index) << &c - cases;
        EXPECT_EQ(list->IndexOf(c.s), c.found ? c.index : -1) << &c - cases;
    }
    list->Duplicates = dupAccept;
    for (int i = 0; i < 5; ++i) list->Add(u"f");
    EXPECT_TRUE(list->Find(u"F", index));
    EXPECT_EQ(index, 2);  // the first of the run
}

TEST(SortedStringList, SortKeepsObjectsAndDataWithTheirStrings) {
    TWatchedList list{u"c", u"a", u"b"};
    std::vector<TRef<TTag>> tags;
    for (int32_t i = 0; i < 3; ++i) {
        tags.push_back(MakeRef<TTag>(i));
        list->PutObject(i, tags.back().Get());
        list->PutItemData(i, 100 + i);
    }
    list.events.clear();
    list->Sort();
    EXPECT_EQ(list.events, "<>");
    EXPECT_EQ(Items(*list.list), (Texts{u"a", u"b", u"c"}));
    const int original[] = {1, 2, 0};  // where a, b and c were
    for (int32_t i = 0; i < 3; ++i) {
        EXPECT_EQ(static_cast<TTag*>(list->GetObject(i).Get())->Id, original[i]);
        EXPECT_EQ(list->GetItemData(i), 100 + original[i]);
    }
}

TEST(SortedStringList, SortOrdersLikeTheComparison) {
    // Many equal keys and a descending run, in both comparison modes.
    for (bool caseSensitive : {false, true}) {
        TRef<TStringList> list = MakeRef<TStringList>();
        list->SetCaseSensitive(caseSensitive);
        uint32_t seed = 12345;
        for (int i = 0; i < 500; ++i) {
            seed = seed * 1103515245 + 12345;
            const char16_t first = char16_t(u"aAbBzZ_\u00e7\u00c7\u8000"[(seed >> 16) % 10]);
            list->Add(std::u16string{first, char16_t(u'0' + (seed >> 8) % 3)});
        }
        for (int i = 300; i > 0; --i) list->Add(std::u16string(size_t(i % 7), u'q'));
        list->Sort();
        for (int32_t i = 1; i < list->GetCount(); ++i)
            ASSERT_LE(list->CompareStrings(list->Get(i - 1), list->Get(i)), 0) << caseSensitive << " " << i;
    }
}

TEST(SortedStringList, CaseSwitchOrders) {
    const struct { bool caseSensitive; Texts sorted; } cases[] = {
        {true, {u"B", u"a", u"b", u"\u8000"}},
        {false, {u"a", u"B", u"b", u"\u8000"}},
    };
    for (const auto& c : cases) {
        TRef<TStringList> list = MakeRef<TStringList>();
        list->SetCaseSensitive(c.caseSensitive);
        list->SetText(u"\u8000\nb\nB\na");
        list->Sort();
        // Equal strings may come in either order; b and B are equal only without case.
        Texts items = Items(*list);
        if (!c.caseSensitive && items[1] == u"b") std::swap(items[1], items[2]);
        EXPECT_EQ(items, c.sorted) << c.caseSensitive;
    }
}

TEST(SortedStringList, SwitchingSortedOnOrChangingCaseSortsTheItems) {
    TWatchedList list{u"b", u"C", u"a"};
    list.events.clear();
    list->SetSorted(true);
    EXPECT_EQ(list.events, "<>");
    EXPECT_EQ(Items(*list.list), (Texts{u"a", u"b", u"C"}));
    EXPECT_EQ(list->IndexOf(u"c"), 2);

    list->SetCaseSensitive(true);
    EXPECT_EQ(Items(*list.list), (Texts{u"C", u"a", u"b"}));
    EXPECT_EQ(list->IndexOf(u"C"), 0);
    EXPECT_EQ(list->IndexOf(u"b"), 2);
    EXPECT_EQ(list->IndexOf(u"c"), -1);
    EXPECT_EQ(list->Add(u"B"), 0);

    list->SetSorted(false);
    list->Add(u"0");
    EXPECT_EQ(list->Get(4), u"0");  // unsorted again: appended
}

TEST(StringListCapacity, GrowthSteps) {
    TRef<TStringList> list = MakeRef<TStringList>();
    const struct { int added; int32_t capacity; } steps[] = {
        {1, 4}, {5, 8}, {9, 16}, {17, 32}, {33, 64}, {65, 80}, {81, 100}, {101, 125}, {126, 156}, {157, 195},
        {196, 243},
    };
    for (const auto& step : steps) {
        while (list->GetCount() < step.added) list->Add(u"s");
        EXPECT_EQ(list->GetCapacity(), step.capacity) << step.added;
    }
    list->Delete(0);
    EXPECT_EQ(list->GetCapacity(), 243);
    list->SetCapacity(10);
    EXPECT_EQ(list->GetCapacity(), 195);  // never below the count
    list->SetCapacity(500);
    EXPECT_EQ(list->GetCapacity(), 500);
    EXPECT_EQ(list->Get(194), u"s");
    list->Clear();
    EXPECT_EQ(list->GetCapacity(), 0);
}

TEST(StringListItems, InsertedItemsStartWithoutData) {
    TRef<TStringList> list = MakeRef<TStringList>();
    list->SetText(u"a\nb");
    list->PutItemData(0, 11);
    list->PutItemData(1, 22);
    list->Insert(0, u"new");
    EXPECT_EQ(list->GetItemData(0), 0);
    EXPECT_EQ(list->GetItemData(1), 11);
    EXPECT_EQ(list->AddObject(u"a", nullptr), 3);  // unsorted: equal strings welcome
    list->Delete(1);
    EXPECT_EQ(list->GetItemData(1), 22);
    EXPECT_EQ(list->IndexOfItemData(22), 1);
    EXPECT_EQ(list->IndexOfItemData(11), -1);
}

// ---- Searching and copying ---------------------------------------------------

TEST(StringListSearch, IndexOfNameUsesTheListsComparison) {
    TRef<TStringList> list = MakeRef<TStringList>();
    list->SetText(u"Key\nKEY=1\n=x\nkey=2\nother:3");
    const struct { bool caseSensitive; const char16_t* name; int32_t index; } cases[] = {
        {false, u"Key", 1}, {false, u"", 2}, {true, u"key", 3}, {true, u"Key", -1}, {false, u"other", -1},
    };
    for (const auto& c : cases) {
        list->SetCaseSensitive(c.caseSensitive);
        EXPECT_EQ(list->IndexOfName(c.name), c.index) << &c - cases;
    }
    list->NameValueSeparator = u':';
    list->SetCaseSensitive(true);
    EXPECT_EQ(list->IndexOfName(u"OTHER"), -1);
    list->SetCaseSensitive(false);
    EXPECT_EQ(list->IndexOfName(u"OTHER"), 4);
    EXPECT_EQ(list->IndexOf(u"key=2"), 3);
}

TEST(StringListSearch, IndexOfObjectMatchesIdentityAndNothing) {
    TRef<TStringList> list = MakeRef<TStringList>();
    const TRef<TTag> tag = MakeRef<TTag>(1);
    list->AddObject(u"a", tag.Get());
    list->Add(u"b");
    list->AddObject(u"c", tag.Get());
    EXPECT_EQ(list->IndexOfObject(tag.Get()), 0);
    EXPECT_EQ(list->IndexOfObject(nullptr), 1);
    EXPECT_EQ(tag->RefCount(), 3);
    list->Clear();
    EXPECT_EQ(tag->RefCount(), 1);
}

TEST(StringListCopy, AssignAndAddStrings) {
    const TRef<TTag> tag = MakeRef<TTag>(1);
    TRef<TStringList> source = MakeRef<TStringList>();
    source->AddObject(u"x", tag.Get());
    source->Add(u"y");
    source->PutItemData(0, 9);

    TWatchedList target{u"old"};
    target->Assign(source.Get());
    EXPECT_EQ(Items(*target.list), (Texts{u"x", u"y"}));
    EXPECT_EQ(target->GetObject(0).Get(), tag.Get());
    EXPECT_EQ(target->GetItemData(0), 0);  // data words stay behind

    target->AddStrings(*target.list);  // its own count is read first
    EXPECT_EQ(Items(*target.list), (Texts{u"x", u"y", u"x", u"y"}));

    target.events.clear();
    target->Assign(target.list.Get());
    EXPECT_EQ(target->GetCount(), 4);
    EXPECT_EQ(target.events, "");

    TRef<TPersistent> stranger = MakeRef<TPersistent>();
    EXPECT_EQ(MessageOf([&] { target->Assign(stranger.Get()); }), u"AssignTo não implementado nesta classe");
    EXPECT_EQ(MessageOf([&] { target->Assign(nullptr); }), u"Assign de origem nil");
    EXPECT_EQ(target->GetCount(), 4);
}

// ---- Reordering --------------------------------------------------------------

TEST(StringListMove, MovesStringAndObjectButNotData) {
    const struct { int32_t from, to; Texts after; } cases[] = {
        {0, 2, {u"b", u"c", u"a", u"d"}},
        {0, 3, {u"b", u"c", u"d", u"a"}},
        {3, 1, {u"a", u"d", u"b", u"c"}},
        {3, 0, {u"d", u"a", u"b", u"c"}},
        {1, 2, {u"a", u"c", u"b", u"d"}},
    };
    for (const auto& c : cases) {
        TRef<TStringList> list = MakeRef<TStringList>();
        list->SetText(u"a\nb\nc\nd");
        const TRef<TTag> tag = MakeRef<TTag>(7);
        list->PutObject(c.from, tag.Get());
        list->PutItemData(c.from, 5);
        list->Move(c.from, c.to);
        EXPECT_EQ(Items(*list), c.after) << &c - cases;
        EXPECT_EQ(list->GetObject(c.to).Get(), tag.Get()) << &c - cases;
        EXPECT_EQ(list->GetItemData(c.to), 0) << &c - cases;
        EXPECT_EQ(tag->RefCount(), 2) << &c - cases;
    }
}

TEST(StringListMove, ARefusedMoveKeepsTheItem) {
    const struct { bool sorted; int32_t from, to; } cases[] = {
        {true, 0, 2},   // a sorted list inserts by position nowhere
        {true, 2, 0},
        {false, 0, 3},  // past the end of the shortened list
        {false, 2, -1},
    };
    for (const auto& c : cases) {
        TWatchedList list{u"a", u"b", u"c"};
        list->SetSorted(c.sorted);
        list.events.clear();
        EXPECT_NE(MessageOf([&] { list->Move(c.from, c.to); }), u"(nothing raised)") << &c - cases;
        EXPECT_EQ(Items(*list.list), (Texts{u"a", u"b", u"c"})) << &c - cases;
        EXPECT_EQ(list->UpdateCount(), 0) << &c - cases;
    }
}

namespace {

// A list that supplies only the five primitives, so that everything else
// runs on the base class's own algorithms.
class TPlainStrings : public TStrings {
public:
    std::u16string Get(int32_t index) const override { return items.at(size_t(index)); }
    int32_t GetCount() const override { return int32_t(items.size()); }
    void Clear() override { items.clear(); }
    void Delete(int32_t index) override { items.erase(items.begin() + index); }
    void Insert(int32_t index, const std::u16string& s) override { items.insert(items.begin() + index, s); }
    void SetUpdateState(bool updating) override { updates += updating ? '<' : '>'; }
    Texts items;
    std::string updates;
};

} // namespace

TEST(PlainStrings, TheBaseBuildsOnThePrimitives) {
    TRef<TPlainStrings> list = MakeRef<TPlainStrings>();
    list->SetText(u"a\nb\nc");
    list->Put(0, u"A");
    list->Exchange(0, 2);
    list->Move(0, 1);
    EXPECT_EQ(list->items, (Texts{u"b", u"c", u"A"}));
    EXPECT_EQ(list->updates, "<><><>");  // SetText, Exchange, Move; Put is not bracketed
    EXPECT_EQ(list->AddObject(u"B", nullptr), 3);
    EXPECT_EQ(list->IndexOf(u"a"), 2);
    EXPECT_EQ(list->GetObject(0).Get(), nullptr);
    EXPECT_EQ(list->GetCapacity(), 4);
    EXPECT_EQ(list->GetText(), u"b\r\nc\r\nA\r\nB\r\n");
}

// ---- Loading and saving ------------------------------------------------------

TEST(StringListStreams, LoadFromStreamDecodesUtf8FromThePosition) {
    const struct { std::string bytes; int64_t position; Texts items; } cases[] = {
        {"\xEF\xBB\xBF" "a\r\nb", 0, {u"a", u"b"}},
        {"skip\nx\xC3\xA7y", 5, {u"x\u00e7y"}},
        {"abc", 3, {}},                                  // at the end: an empty list
        {std::string("\xFF\xFE\x41\x00", 4), 0, {std::u16string(u"A\0", 2)}},  // UTF-16 is not recognised
        {"\xEF\xBB\xBF\xEF\xBB\xBFz", 0, {u"\ufeffz"}},  // only one BOM is skipped
        {"a\xC0\xAE" "b\xF0\x9F\x98\x80", 0, {u"ab\U0001F600"}},  // broken sequences dropped
    };
    for (const auto& c : cases) {
        TWatchedList list{u"before"};
        list.events.clear();
        TBytesStream stream(c.bytes);
        stream.Position = c.position;
        list->LoadFromStream(stream);
        EXPECT_EQ(Items(*list.list), c.items) << &c - cases;
        EXPECT_EQ(stream.Position, int64_t(c.bytes.size())) << &c - cases;
        EXPECT_EQ(list.events, "<>") << &c - cases;
    }
}

TEST(StringListStreams, ShortOrHugeStreamsLeaveTheListAlone) {
    TWatchedList list{u"kept"};
    list.events.clear();
    TBytesStream shortStream("abc");
    shortStream.AnnouncedSize = 10;
    EXPECT_EQ(MessageOf<EReadError>([&] { list->LoadFromStream(shortStream); }), u"leitura além do fim do stream");

    // Far more than memory holds (a 32-bit count would have seen 0 bytes and
    // cleared the list).
    TBytesStream hugeStream("abc");
    hugeStream.AnnouncedSize = int64_t(1) << 62;
    EXPECT_EQ(MessageOf<EOutOfMemory>([&] { list->LoadFromStream(hugeStream); }), u"Sem memória");
    EXPECT_EQ(Items(*list.list), Texts{u"kept"});
    EXPECT_EQ(list.events, "");
}

TEST(StringListStreams, SaveToStreamWritesUtf8WithoutPreamble) {
    const struct { std::u16string text; std::u16string lineBreak; std::string bytes; } cases[] = {
        {u"a\nb", u"\r\n", "a\r\nb\r\n"},
        {u"", u"\r\n", ""},
        {u"\u00e7\n\xD800", u"\n", "\xC3\xA7\n\xEF\xBF\xBD\n"},  // a lone surrogate becomes U+FFFD
    };
    for (const auto& c : cases) {
        TRef<TStringList> list = MakeRef<TStringList>();
        list->SetText(c.text);
        list->LineBreak = c.lineBreak;
        TBytesStream plain("#"), encoded("#");
        plain.Position = encoded.Position = 1;
        list->SaveToStream(plain);
        list->SaveToStreamEncoded(encoded, MakeRef<TEncodingUtf8>());
        EXPECT_EQ(plain.Bytes, "#" + c.bytes) << &c - cases;
        EXPECT_EQ(encoded.Bytes, plain.Bytes) << &c - cases;
        EXPECT_EQ(plain.Writes, c.bytes.empty() ? 0 : 1) << &c - cases;
    }
}

TEST(StringListStreams, AStreamThatTakesTooLittleRaises) {
    TRef<TStringList> list = MakeRef<TStringList>();
    list->SetText(u"abcdef");
    TBytesStream stream;
    stream.WriteLimit = 3;
    EXPECT_EQ(MessageOf<EWriteError>([&] { list->SaveToStream(stream); }), u"escrita não coube no stream");
    EXPECT_EQ(stream.Bytes, "abc");
}

namespace {

// A folder of this test's own under the temporary folder, emptied first.
class StringListFiles : public testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH];
        GetTempPathW(MAX_PATH, temp);
        folder_ = FromWStr(temp) + u"rtl_strings_test\\";
        CreateDirectoryW(WStr(folder_), nullptr);
        for (const char16_t* name : {u"list.txt", u"encoded.txt"}) DeleteFileW(WStr(Path(name)));
    }

    std::u16string Path(const char16_t* name) const { return folder_ + name; }

    std::string FileBytes(const std::u16string& path) const {
        TFileStream f(path, fmOpenRead | fmShareDenyNone);
        std::string bytes(size_t(f.GetSize()), '\0');
        f.ReadBuffer(bytes.data(), int64_t(bytes.size()));
        return bytes;
    }

    std::u16string folder_;
};

} // namespace

TEST_F(StringListFiles, SaveAndLoadRoundTrip) {
    TWatchedList list;
    list->SetText(u"um\ndois\u00e7");
    list->SaveToFile(Path(u"list.txt"));
    list->SaveToFileEncoded(Path(u"encoded.txt"), MakeRef<TEncodingUtf8>());
    EXPECT_EQ(FileBytes(Path(u"list.txt")), "um\r\ndois\xC3\xA7\r\n");
    EXPECT_EQ(FileBytes(Path(u"encoded.txt")), FileBytes(Path(u"list.txt")));

    {
        TFileStream withBom(Path(u"list.txt"), fmCreate);
        withBom.WriteBuffer("\xEF\xBB\xBFtr\xC3\xAAs\n", 9);
    }
    list.events.clear();
    list->LoadFromFile(Path(u"list.txt"));
    EXPECT_EQ(Items(*list.list), Texts{u"tr\u00eas"});
    EXPECT_EQ(list.events, "<>");
    list->LoadFromFileEncoded(Path(u"encoded.txt"), nullptr);
    EXPECT_EQ(Items(*list.list), (Texts{u"um", u"dois\u00e7"}));
}

TEST_F(StringListFiles, AMissingFileLeavesTheListAlone) {
    TWatchedList list{u"kept"};
    list.events.clear();
    EXPECT_EQ(MessageOf<EFOpenError>([&] { list->LoadFromFile(Path(u"missing.txt")); }),
              u"não foi possível abrir o arquivo");
    EXPECT_EQ(Items(*list.list), Texts{u"kept"});
    EXPECT_EQ(list.events, "");
    EXPECT_EQ(MessageOf<EFCreateError>([&] { list->SaveToFile(Path(u"no\\such\\folder.txt")); }),
              u"não foi possível criar o arquivo");
}
