// Random sequences over a small control tree: reparenting (a refused cycle
// changes nothing), extreme bounds, alignment, visibility, enabling,
// destruction and mouse, wheel and key messages routed through the
// containers. After each step every control is listed exactly once by its
// parent, and every listed child names its container as parent.
//
// Input: one byte per step followed by its arguments, one byte each.
#include <algorithm>
#include <vector>

#include "KsFuzz.h"
#include "Zyl.Controls.h"

using namespace Zyl;
using System::MakeRef;
using System::TRef;

namespace {

class TReader : public KsFuzz::TByteReader {
public:
    using TByteReader::TByteReader;
    // Mostly small values; 250 to 253 stand for the int32 extremes.
    int32_t Coordinate() {
        static constexpr int32_t extremes[] = {INT32_MIN, INT32_MAX, INT32_MIN + 1, INT32_MAX - 1};
        const uint8_t b = Byte();
        return b >= 250 && b <= 253 ? extremes[b - 250] : int32_t(b) - 40;
    }
};

void CheckTree(const std::vector<TRef<TControl>>& pool) {
    for (const TRef<TControl>& c : pool) {
        if (TWinControl* parent = c->Parent()) {
            const auto& list = parent->Controls();
            KS_FUZZ_CHECK(std::count(list.begin(), list.end(), c) == 1);
        }
        if (auto* win = dynamic_cast<TWinControl*>(c.Get()))
            for (const TRef<TControl>& child : win->Controls()) KS_FUZZ_CHECK(child->Parent() == win);
    }
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    TReader in(data);
    std::vector<TRef<TControl>> pool;
    const auto pick = [&]() -> TControl* { return pool.empty() ? nullptr : pool[in.Byte() % pool.size()].Get(); };
    const auto pickWin = [&]() { return dynamic_cast<TWinControl*>(pick()); };
    for (int step = 0; in.More() && step < 200; ++step) {
        switch (in.Byte() % 9) {
        case 0:
            if (pool.size() < 12) pool.push_back(in.Byte() & 1 ? TRef<TControl>(MakeRef<TWinControl>(nullptr))
                                                             : TRef<TControl>(MakeRef<TGraphicControl>(nullptr)));
            break;
        case 1:
            if (TControl* c = pick()) {
                TWinControl* target = pickWin();
                try {
                    c->SetParent(target);
                } catch (const EZylError&) {
                    // A descendant refused: the tree stays as it was.
                    KS_FUZZ_CHECK(c->Parent() != target);
                }
            }
            break;
        case 2:
            if (TControl* c = pick()) {
                const int32_t l = in.Coordinate(), t = in.Coordinate(), w = in.Coordinate(), h = in.Coordinate();
                c->SetBounds(l, t, w, h);
                KS_FUZZ_CHECK(c->Width() >= 0 && c->Height() >= 0);
            }
            break;
        case 3:
            if (TControl* c = pick()) c->SetAlign(uint8_t(in.Byte() % 6));
            break;
        case 4:
            if (TControl* c = pick()) c->SetVisible(in.Byte() & 1);
            break;
        case 5:
            if (TControl* c = pick()) c->SetEnabled(in.Byte() & 1);
            break;
        case 6:
            if (!pool.empty()) {
                // Out of the tree and out of the pool: the last reference goes.
                const size_t at = in.Byte() % pool.size();
                TRef<TControl> going = pool[at];
                pool.erase(pool.begin() + ptrdiff_t(at));
                going->SetParent(nullptr);
            }
            break;
        case 7:
            if (TWinControl* w = pickWin()) {
                static constexpr uint32_t ids[] = {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK,
                                                   WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN, WM_MBUTTONUP,
                                                   WM_MOUSEWHEEL, ZM_MOUSELEAVE};
                TZylMessage m;
                m.Msg = ids[in.Byte() % std::size(ids)];
                m.Shift = in.Byte();
                m.X = in.Coordinate(), m.Y = in.Coordinate();
                w->DeliverMessage(m);
            }
            break;
        default:
            if (TWinControl* w = pickWin()) {
                TZylMessage m;
                m.Msg = in.Byte() & 1 ? WM_KEYDOWN : ZM_DIALOGCHAR;
                m.Key = in.Byte();
                w->DeliverMessage(m);
            }
            break;
        }
        CheckTree(pool);
    }
    // Break every parent link so that nothing keeps a control alive.
    for (const TRef<TControl>& c : pool) c->SetParent(nullptr);
}
