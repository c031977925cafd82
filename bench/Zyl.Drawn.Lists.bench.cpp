// The drawn list box with 10,000 items on the soft canvas: one paint at the
// top, in the middle and at the end of the list, owner-drawn rows, and the
// sorting that fills it (sorted adds one by one, and one stable sort).
// Painting touches only the rows shown, so its time should not grow with the
// count. Prints the median milliseconds per call, one line per measurement.
#include <cstdio>
#include <string>

#include "Bench.Timing.h"
#include "Zyl.Platform.Drawn.Lists.h"
#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Platform.Soft.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

using Bench::Milliseconds;

constexpr int32_t ItemCount = 10000;

void Report(const char* what, double ms) { std::printf("%-56s %10.3f ms\n", what, ms); }

// "Item" with a letter and a number, in a scrambled order.
std::u16string ItemText(int32_t i) {
    const uint32_t mixed = uint32_t(i) * 2654435761u;
    std::u16string text = u"Item ";
    text += char16_t((mixed >> 8) % 2 ? u'a' + mixed % 26 : u'A' + mixed % 26);
    for (char c : std::to_string(mixed % 100000)) text += char16_t(c);
    return text;
}

} // namespace

int main() {
    SetCurrentPlatformServices(MakeRef<TSoftServices>());
    const auto shell = MakeRef<TOffscreenApp>();
    const auto app = MakeRef<TDrawnApp>(shell);
    const TRef<TPlatformSurface> surface = CurrentPlatformServices()->CreateSurface(300, 400, false);
    const TRef<TPlatformCanvas> canvas = surface->CreateCanvas();

    const auto list = MakeRef<TDrawnListBox>(app.Get(), shell->CreateCustomControl());
    list->SetBounds(0, 0, 300, 400);
    Report("10,000 sorted adds, one by one", Milliseconds(3, [&] {
               list->ClearItems();
               list->SortItems(true);
               for (int32_t i = 0; i < ItemCount; ++i) list->AddItem(ItemText(i));
           }));
    std::printf("%-56s %10d rows of %d px\n", "rows shown", list->VisibleRows(), list->RowHeight());
    Report("stable sort of 10,000 items", Milliseconds(5, [&] {
               list->SortItems(false);
               for (int32_t i = 0; i < ItemCount; ++i) list->SetItem(i, ItemText(i));
               list->SortItems(true);
           }));

    list->SetItemIndex(3);
    Report("paint, top of the list", Milliseconds(21, [&] { list->Paint(canvas.Get()); }));
    // Proof that the rows were drawn: pixels that are neither the list's
    // white nor the selected row's accent (text, frame, bar).
    canvas->FillRect(0, 0, 300, 400, 0xFFFFFF);
    list->Paint(canvas.Get());
    surface->FinishDrawing();
    int32_t inked = 0;
    for (int32_t y = 0; y < 400; ++y)
        for (int32_t x = 0; x < 300; ++x) {
            const uint32_t p = surface->PixelAt(x, y) & 0xFFFFFF;
            inked += p != 0xFFFFFF && p != 0xD77800 && p != 0x0078D7;
        }
    std::printf("%-56s %10d pixels\n", "inked pixels after one paint", inked);
    list->SetItemIndex(ItemCount / 2);
    Report("paint, middle of the list", Milliseconds(21, [&] { list->Paint(canvas.Get()); }));
    list->SetItemIndex(ItemCount - 1);
    Report("paint, end of the list", Milliseconds(21, [&] { list->Paint(canvas.Get()); }));
    Report("scroll one row and paint (wheel)", Milliseconds(21, [&] {
               list->MouseWheel(0, 0, 120, 0);
               list->Paint(canvas.Get());
           }));
    list->SetOwnerDraw(true);
    list->Events = MakeRef<TPlatformEvents>();
    Report("paint, owner-drawn rows (empty handler)", Milliseconds(21, [&] { list->Paint(canvas.Get()); }));
    return 0;
}
