// The drawn list box under random edits and input: inserting, adding,
// replacing, deleting, clearing, sorting, keys, typed characters, mouse
// presses, drags and the wheel, resizing and row heights, with a paint at
// the end. After every step the current item is -1 or an item, the anchor
// is an item (0 for an empty list) and the top row is where ClampTop keeps
// it. An added text goes to the end, or in a sorted list before the first
// item that compares greater, whatever order the items are in.
//
// Input: one operation byte followed by its argument bytes, repeated.
#include "KsFuzz.h"
#include "Zyl.Platform.Drawn.Lists.h"
#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Platform.Soft.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

std::u16string Text(KsFuzz::TByteReader& in) {
    std::u16string text;
    for (int32_t n = in.Byte() % 6; n > 0; --n) {
        const uint8_t b = in.Byte();
        // Mostly letters of both cases, now and then any unit.
        text += b < 200 ? char16_t(u'A' + b % 8 + (b & 0x40 ? 32 : 0)) : char16_t(b << 8 | in.Byte());
    }
    return text;
}

int32_t Coordinate(KsFuzz::TByteReader& in) { return int32_t(in.Byte()) - 40; }

void Check(TDrawnListBox& list) {
    KS_FUZZ_CHECK(list.ItemIndex >= -1 && list.ItemIndex < list.Count());
    KS_FUZZ_CHECK(list.AnchorIndex >= 0 && list.AnchorIndex <= std::max(0, list.Count() - 1));
    KS_FUZZ_CHECK(list.TopIndex == list.ClampTop(list.TopIndex));
}

// Adds text and checks where it went against a search of every item.
void Add(TDrawnListBox& list, const std::u16string& text) {
    int32_t expected = 0;
    while (expected < list.Count() &&
           !(list.Sorted && CompareListText(text, list.Items[size_t(expected)].Text) < 0))
        ++expected;
    KS_FUZZ_CHECK(list.AddItem(text) == expected);
    KS_FUZZ_CHECK(list.Items[size_t(expected)].Text == text);
}

constexpr int32_t Keys[] = {KeySpace, KeyHome, KeyUp, KeyDown, KeyPageUp, KeyPageDown, KeyEnd, KeyLeft};

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    static const bool servicesSet = [] {
        SetCurrentPlatformServices(MakeRef<TSoftServices>());
        return true;
    }();
    (void)servicesSet;
    KsFuzz::TByteReader in(data);
    const auto shell = MakeRef<TOffscreenApp>();
    const auto app = MakeRef<TDrawnApp>(shell);
    // A drawn window disposes its shell window when it goes, so the host
    // and the window close no cycle.
    const TRef<TPlatformWindow> window = app->CreateWindow();
    window->SetSize(200, 200);
    const TRef<TPlatformControl> made = app->CreateListBox();
    auto& list = static_cast<TDrawnListBox&>(*made);
    window->AddChild(made.Get(), 0, 0);
    list.SetBounds(0, 0, 120, 90);
    TPlatformEvents& host = *list.Host->Events;
    for (int32_t steps = 0; in.More() && steps < 400; ++steps) {
        switch (in.Byte() % 14) {
        case 0: list.InsertItem(int32_t(int8_t(in.Byte())), Text(in)); break;
        case 1: Add(list, Text(in)); break;
        case 2: list.DeleteItem(int32_t(int8_t(in.Byte()))); break;
        case 3: list.ClearItems(); break;
        case 4: list.SortItems(in.Byte() & 1); break;
        case 5: host.KeyDown(Keys[in.Byte() % 8], in.Byte() & 1); break;
        case 6: host.CharInput(char16_t(in.Byte() | in.Byte() << 8)); break;
        case 7: host.MouseDown(Coordinate(in), Coordinate(in), 1 + in.Byte() % 2, in.Byte() & 5); break;
        case 8: host.MouseMove(Coordinate(in), Coordinate(in), 0); break;
        case 9: host.MouseUp(Coordinate(in), Coordinate(in), 1, 0); break;
        case 10: host.MouseWheel(0, 0, int32_t(int8_t(in.Byte())) * 60, 0); break;
        case 11: shell->WaitForEvents(in.Byte() * 8); break;
        case 12: {
            const uint8_t what = in.Byte();
            if (what % 4 == 0) list.SetItemIndex(int32_t(int8_t(in.Byte())));
            if (what % 4 == 1) list.SetTopIndex(int32_t(int8_t(in.Byte())));
            if (what % 4 == 2) list.SetItemHeight(int32_t(int8_t(in.Byte())) % 40);
            if (what % 4 == 3) list.SetMultiSelect(in.Byte() & 1);
            // A replaced text, which may leave a sorted list out of order.
            if (what & 0x80) list.SetItem(int32_t(int8_t(in.Byte())) % 16, Text(in));
            break;
        }
        case 13: list.SetBounds(0, 0, in.Byte(), in.Byte()); break;
        }
        Check(list);
    }
    const TRef<TPlatformSurface> surface = CurrentPlatformServices()->CreateSurface(200, 200, false);
    list.Paint(surface->CreateCanvas().Get());
    Check(list);
}
