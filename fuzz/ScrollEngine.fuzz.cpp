// The scroll engine's geometry over random ranges, pages, positions and bar
// lengths: no arithmetic fault, the thumb stays inside the track, and the
// hit test walks the parts in order along the bar.
//
// Input: Min, Max, PageSize, Position (four bytes each), the length (two
// bytes), then drag points (two bytes each).
#include "KsFuzz.h"
#include "Zyl.Platform.Drawn.h"

using namespace Zyl;

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    KsFuzz::TByteReader in(data);
    const System::TRef<TDrawnScrollEngine> e = System::MakeRef<TDrawnScrollEngine>(nullptr, true, nullptr);
    e->Min = in.Int32();
    e->Max = in.Int32();
    e->PageSize = in.Int32();
    e->Position = in.Int32();
    e->Length = (in.Byte() | in.Byte() << 8) % 2000;
    const int32_t arrow = e->ArrowSize(), track = e->Track(), size = e->ThumbSize();
    KS_FUZZ_CHECK(track >= 0 && size >= 0 && size <= track);
    KS_FUZZ_CHECK(e->HighestPosition() >= e->Min || e->PageSize < 1);
    const int32_t start = e->ThumbStart();
    KS_FUZZ_CHECK(start >= arrow && start + size <= arrow + track);
    int32_t last = 0;
    for (int32_t y = -1; y <= e->Length; ++y) {
        const int32_t part = e->HitTest(5, y);
        if (y < 0 || y == e->Length) {
            KS_FUZZ_CHECK(part == 0);
            continue;
        }
        // Parts never go back along the bar; 0 only for a bar that cannot scroll.
        KS_FUZZ_CHECK(part == 0 ? !e->Scrollable() && y >= arrow && y < e->Length - arrow : part >= last);
        if (part != 0) last = part;
    }
}
