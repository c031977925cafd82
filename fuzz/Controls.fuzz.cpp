// Random sequences over a small control tree: reparenting (a refused cycle
// changes nothing), extreme bounds, alignment, visibility, enabling,
// destruction and mouse, wheel and key messages routed through the
// containers, and drags: sources, accepting targets, handlers that destroy
// the drop target or the source, start objects, Escape and the drag timer.
// Roots may take their platform widgets in an offscreen window, which then
// paints the tree and routes pointer input to it, so nested offscreen
// controls meet the extreme bounds too. After each step every control is
// listed exactly once by its parent, every listed child names its container
// as parent, and an active drag is unfinished and names only living
// controls.
//
// Input: one byte per step followed by its arguments, one byte each. Step
// bytes from 0xF0 up are the drag steps, from 0xE0 to 0xEF the window steps;
// below, the step is the byte mod 9.
#include <algorithm>
#include <set>
#include <vector>

#include "KsFuzz.h"
#include "Zyl.Controls.h"
#include "Zyl.Platform.Offscreen.h"
#include "Zyl.Platform.Soft.h"

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

using TPool = std::vector<TRef<TControl>>;

bool InPool(const TPool& pool, const TControl* c) {
    return std::any_of(pool.begin(), pool.end(), [c](const TRef<TControl>& p) { return p.Get() == c; });
}

// Out of the tree and out of the pool: the last reference goes.
void Drop(TPool& pool, TControl* c) {
    const auto it = std::find_if(pool.begin(), pool.end(), [c](const TRef<TControl>& p) { return p.Get() == c; });
    if (it == pool.end()) return;
    TRef<TControl> going = *it;
    pool.erase(it);
    going->SetParent(nullptr);
}

// Flags: 1 automatic drag, 2 accepts drops, 4 goes in its own drop, 8 goes
// in its own end of drag, 16 hands over a start object.
void ConfigureDrag(TPool& pool, TControl& c, uint8_t flags) {
    c.DragMode = flags & 1;
    const bool accepts = flags & 2;
    c.OnDragOver = [accepts](System::TObject*, System::TObject*, int32_t, int32_t, int32_t, bool& accept) {
        accept = accepts;
    };
    c.OnDragDrop = nullptr;
    if (flags & 4) c.OnDragDrop = [&pool, &c](System::TObject*, System::TObject*, int32_t, int32_t) { Drop(pool, &c); };
    c.OnEndDrag = nullptr;
    if (flags & 8) c.OnEndDrag = [&pool, &c](System::TObject*, TControl*, int32_t, int32_t) { Drop(pool, &c); };
    c.OnStartDrag = nullptr;
    if (flags & 16)
        c.OnStartDrag = [](System::TObject*, TRef<TDragObject>& object) { object = MakeRef<TDragControlObject>(); };
}

void CheckDrag(const TPool& pool) {
    TDragSession* drag = ActiveDrag();
    if (!drag) return;
    KS_FUZZ_CHECK(!drag->Finished);
    KS_FUZZ_CHECK(drag->Source && InPool(pool, drag->Source));
    for (const TControl* c : {static_cast<TControl*>(drag->CaptureControl), drag->Target,
                              static_cast<TControl*>(drag->CursorControl)})
        KS_FUZZ_CHECK(!c || InPool(pool, c));
}

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

// A platform widget taken out of its parent keeps its counted reference to
// that parent (RemoveFromParent leaves Parent set), so moving the former
// parent inside it closes a loop of references. The application lists the
// widgets alive, and the run disposes those still alive at its end.
class TListedControl : public TOffscreenControl {
public:
    explicit TListedControl(std::set<TListedControl*>& alive) : alive_(alive) { alive_.insert(this); }
    ~TListedControl() override { alive_.erase(this); }

private:
    std::set<TListedControl*>& alive_;
};

class TListingApp : public TOffscreenApp {
public:
    std::set<TListedControl*> Alive;
    TRef<TPlatformControl> CreateCustomControl() override { return MakeRef<TListedControl>(Alive); }
    void DisposeAlive() {
        for (TListedControl* control : std::vector<TListedControl*>(Alive.begin(), Alive.end()))
            if (Alive.contains(control)) control->Dispose();
    }
};

// Step 0: a root takes its platform widget, placed in the window at its
// position. 1: the window paints everything. 2: a pointer message at a
// point that may lie far outside the window.
template <class Pick>
void WindowStep(TReader& in, uint8_t op, TOffscreenApp& app, TRef<TOffscreenWindow>& window, Pick pick) {
    if (!window) {
        // The window's surface comes from the platform services.
        if (!CurrentPlatformServices()) SetCurrentPlatformServices(MakeRef<TSoftServices>());
        window = MakeRef<TOffscreenWindow>(&app);
        window->SetSize(64, 48);
    }
    switch (op % 3) {
    case 0:
        if (auto* root = dynamic_cast<TWinControl*>(pick()); root && !root->Parent()) {
            root->HandleNeeded();
            window->AddChild(root->GetPlatformControl(), root->Left(), root->Top());
        }
        break;
    case 1:
        window->Invalidate();
        window->RenderWindowSurface();
        break;
    default: {
        const uint8_t kind = in.Byte();
        const int32_t x = in.Coordinate(), y = in.Coordinate();
        switch (kind % 4) {
        case 0: window->RouteMouseMove(x, y, 0); break;
        case 1: window->RouteMouseDown(x, y, MouseButtonLeft, 0); break;
        case 2: window->RouteMouseUp(x, y, MouseButtonLeft, 0); break;
        default: window->RouteMouseWheel(x, y, -120, 0); break;
        }
        break;
    }
    }
}

} // namespace

void KsFuzz::FuzzOne(std::span<const uint8_t> data) {
    TReader in(data);
    // The drag timer's clock and the maker of platform widgets.
    auto app = MakeRef<TListingApp>();
    SetPlatformAppInstance(app.Get());
    TRef<TOffscreenWindow> window;
    TPool pool;
    // The screen is the roots' shared plane.
    ControlAtScreenPointHook = [&pool](int32_t sx, int32_t sy, int32_t& lx, int32_t& ly) -> TControl* {
        for (const TRef<TControl>& c : pool)
            if (auto* root = dynamic_cast<TWinControl*>(c.Get()); root && !root->Parent() && root->ContainsPoint(sx, sy))
                return root->ControlAtPos(int32_t(int64_t(sx) - root->Left()), int32_t(int64_t(sy) - root->Top()), lx,
                                          ly);
        return nullptr;
    };
    const auto pick = [&]() -> TControl* { return pool.empty() ? nullptr : pool[in.Byte() % pool.size()].Get(); };
    const auto pickWin = [&]() { return dynamic_cast<TWinControl*>(pick()); };
    for (int step = 0; in.More() && step < 200; ++step) {
        const uint8_t op = in.Byte();
        if (op >= 0xF0) {
            switch (op % 3) {
            case 0:
                if (TControl* c = pick()) ConfigureDrag(pool, *c, in.Byte());
                break;
            case 1:
                app->WaitForEvents(100);
                break;
            default:
                if (TWinControl* w = pickWin()) {
                    TZylMessage m;
                    m.Msg = WM_KEYDOWN, m.Key = 27;
                    w->DeliverMessage(m);
                }
                break;
            }
            CheckTree(pool);
            CheckDrag(pool);
            continue;
        }
        if (op >= 0xE0) {
            WindowStep(in, op, *app, window, pick);
            CheckTree(pool);
            CheckDrag(pool);
            continue;
        }
        switch (op % 9) {
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
        CheckDrag(pool);
    }
    // The cancel's handlers may still drop controls.
    if (TDragSession* drag = ActiveDrag()) drag->Finish(false);
    ControlAtScreenPointHook = nullptr;
    // Break every parent link so that nothing keeps a control alive.
    for (const TRef<TControl>& c : pool) c->SetParent(nullptr);
    pool.clear();
    // The window and its controls hold each other.
    if (window) window->Dispose();
    app->DisposeAlive();
    SetPlatformAppInstance(nullptr);
}
