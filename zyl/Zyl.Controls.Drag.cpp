// Drag and drop: a left press on a control whose DragMode is 1 makes the
// active drag; the mouse messages of the windowed control that holds the
// capture feed it; it turns into a real drag past the threshold, asks the
// control under the pointer whether it takes a drop, and ends in a drop or a
// cancel.
#include "Zyl.Controls.h"

#include <cstdlib>

namespace Zyl {

using System::TObject;
using System::TRef;

std::function<TControl*(int32_t, int32_t, int32_t&, int32_t&)> ControlAtScreenPointHook;

namespace {

constexpr int32_t kDragTimerMs = 100;
constexpr uint32_t kEscape = 27;

TRef<TDragSession> activeDrag;

void DragTimerTick() {
    // The layout may move under a still pointer: look again.
    if (TRef<TDragSession> drag = activeDrag; drag && drag->Dragging && !drag->Finished)
        drag->MoveTo(drag->LastX, drag->LastY);
}

// The control under the screen point: the application's search, or else the
// capture control's form when the point lies on it.
TControl* ControlAtScreenPoint(TWinControl* capture, int32_t sx, int32_t sy, int32_t& lx, int32_t& ly) {
    if (ControlAtScreenPointHook) return ControlAtScreenPointHook(sx, sy, lx, ly);
    TWinControl* form = capture ? GetParentForm(capture) : nullptr;
    if (!form) return nullptr;
    const TPoint origin = form->ClientToScreen({0, 0});
    const int64_t x = int64_t(sx) - origin.X, y = int64_t(sy) - origin.Y;
    if (x < 0 || y < 0 || x >= form->Width() || y >= form->Height()) return nullptr;
    return form->ControlAtPos(int32_t(x), int32_t(y), lx, ly);
}

} // namespace

TDragControlObject::~TDragControlObject() = default;

TDragSession* ActiveDrag() { return activeDrag.Get(); }

void TControl::DoStartDrag(TRef<TDragObject>& dragObject) {
    if (OnStartDrag) OnStartDrag(this, dragObject);
}

void TControl::DragOver(TObject* source, int32_t x, int32_t y, int32_t state, bool& accept) {
    if (OnDragOver) OnDragOver(this, source, x, y, state, accept);
}

void TControl::DragDrop(TObject* source, int32_t x, int32_t y) {
    if (OnDragDrop) OnDragDrop(this, source, x, y);
}

void TControl::DoEndDrag(TControl* target, int32_t x, int32_t y) {
    if (OnEndDrag) OnEndDrag(this, target, x, y);
}

void BeginDrag(TControl* control) {
    // A handler of the finished drag may start yet another one.
    while (TRef<TDragSession> active = activeDrag) {
        if (active->Source == control) return;
        active->Finish(false);
    }
    TWinControl* capture = nullptr;
    for (TControl* c = control; c && !capture; c = c->Parent()) capture = dynamic_cast<TWinControl*>(c);
    if (!capture) return;
    auto drag = System::MakeRef<TDragSession>();
    drag->Source = control;
    drag->CaptureControl = capture;
    const TPoint start =
        capture->ClientToScreen(LastMouseControl() == capture ? LastMousePosition() : TPoint{0, 0});
    drag->StartX = drag->LastX = start.X;
    drag->StartY = drag->LastY = start.Y;
    activeDrag = drag;
    if (TPlatformControl* pc = capture->GetPlatformControl()) pc->SetMouseCapture(true);
}

bool OfferToActiveDrag(TWinControl& receiver, TZylMessage& message) {
    TRef<TDragSession> drag = activeDrag;
    if (!drag || drag->Finished) return false;
    const uint32_t id = message.Id();
    if (id == WM_KEYDOWN && message.Key == kEscape) {
        // Before the threshold the key still reaches the focused control.
        const bool dragging = drag->Dragging;
        if (dragging) message.Key = 0;
        drag->Finish(false);
        return dragging;
    }
    if (!IsMouseMessage(id)) return false;
    const TPoint p = receiver.ClientToScreen({message.X, message.Y});
    switch (id) {
    case WM_MOUSEMOVE:
        drag->LastX = p.X, drag->LastY = p.Y;
        if (drag->Dragging) {
            drag->MoveTo(p.X, p.Y);
            return true;
        }
        if (std::llabs(int64_t(drag->StartX) - p.X) < drag->Threshold &&
            std::llabs(int64_t(drag->StartY) - p.Y) < drag->Threshold)
            return false;
        drag->BeginDragging();
        return true;
    case WM_LBUTTONUP:
        // Not yet dragging: the press and release still make their click.
        if (!drag->Dragging) {
            drag->Finish(false);
            return false;
        }
        if (p.X != drag->LastX || p.Y != drag->LastY) drag->MoveTo(p.X, p.Y);
        drag->Finish(true);
        return true;
    default:
        return drag->Dragging;
    }
}

TObject* TDragSession::DraggedControl() const {
    if (auto* object = dynamic_cast<TDragControlObject*>(DragObject.Get()); object && object->Control)
        return object->Control.Get();
    if (DragObject) return DragObject.Get();
    return Source;
}

void TDragSession::BeginDragging() {
    if (Dragging || Finished) return;
    TRef<TDragSession> keep(this);
    Dragging = true;
    if (Source) Source->mousePressed_ = false;
    if (CaptureControl) CaptureControl->captureChild_ = nullptr;
    TRef<TDragObject> object;
    if (TRef<TControl> source = Source) source->DoStartDrag(object);
    DragObject = object;
    // A start handler that ended the drag leaves no timer behind.
    if (Finished) return;
    if (TPlatformApp* app = PlatformAppInstance()) TimerId = app->AddTimer(kDragTimerMs, [] { DragTimerTick(); });
    MoveTo(LastX, LastY);
}

void TDragSession::MoveTo(int32_t screenX, int32_t screenY) {
    if (Finished) return;
    TRef<TDragSession> keep(this);
    LastX = screenX, LastY = screenY;
    int32_t lx = 0, ly = 0;
    const TRef<TControl> found = ControlAtScreenPoint(CaptureControl, screenX, screenY, lx, ly);
    const TRef<TObject> source = DraggedControl();
    bool accept = false;
    if (found.Get() == Target) {
        if (!Target) return UpdateDragCursor();
        TargetX = lx, TargetY = ly;
        found->DragOver(source.Get(), lx, ly, 2, accept);
    } else {
        if (const TRef<TControl> old = Target) {
            bool ignored = false;
            old->DragOver(source.Get(), TargetX, TargetY, 1, ignored);
        }
        // A handler that ended the drag leaves it without a target.
        if (Finished) return;
        Target = found.Get();
        TargetX = lx, TargetY = ly;
        if (found) found->DragOver(source.Get(), lx, ly, 0, accept);
    }
    if (Finished) return;
    Accepted = accept;
    UpdateDragCursor();
}

void TDragSession::UpdateDragCursor() {
    if (!Dragging) return;
    int32_t id = -13;
    if (DragObject)
        id = DragObject->GetDragCursor(Accepted);
    else if (Accepted && Source)
        id = Source->DragCursor;
    TWinControl* shown = nullptr;
    for (TControl* c = Target; c && !shown; c = c->Parent())
        if (auto* win = dynamic_cast<TWinControl*>(c); win && win->HandleAllocated()) shown = win;
    if (CursorControl && CursorControl != shown) TRef<TWinControl>(CursorControl)->UpdateCursor();
    CursorControl = shown;
    TWinControl* kindOwner = shown ? shown : CaptureControl;
    const int32_t kind = kindOwner ? kindOwner->PlatformCursorKind(id) : CursorKindOf(id);
    if (shown) shown->GetPlatformControl()->SetCursor(kind);
    if (CaptureControl && CaptureControl != shown)
        if (TPlatformControl* pc = CaptureControl->GetPlatformControl()) pc->SetCursor(kind);
}

void TDragSession::Finish(bool drop) {
    if (Finished) return;
    TRef<TDragSession> keep(this);
    Finished = true;
    if (TimerId != 0)
        if (TPlatformApp* app = PlatformAppInstance()) app->RemoveTimer(TimerId);
    TimerId = 0;
    const TRef<TObject> source = DraggedControl();
    TControl* dropAt = nullptr;
    int32_t x = 0, y = 0;
    // The drag ends here whatever the leave's handler raises: no drag stays
    // active once finished, and the capture and the cursors go back.
    const auto release = [this] {
        if (activeDrag.Get() == this) activeDrag = nullptr;
        if (const TRef<TWinControl> capture = CaptureControl) {
            if (TPlatformControl* pc = capture->GetPlatformControl()) pc->SetMouseCapture(false);
        }
        if (const TRef<TWinControl> cursor = CursorControl) cursor->UpdateCursor();
        if (const TRef<TWinControl> capture = CaptureControl) capture->UpdateCursor();
        Target = nullptr;
        CursorControl = nullptr;
    };
    if (Dragging) {
        if (drop && Target && Accepted) {
            dropAt = Target, x = TargetX, y = TargetY;
        } else if (const TRef<TControl> target = Target) {
            try {
                bool ignored = false;
                target->DragOver(source.Get(), TargetX, TargetY, 1, ignored);
            } catch (...) {
                release();
                throw;
            }
        }
    }
    // Once the drag is not active a going control no longer clears its
    // fields: the end events hold what they name.
    const TRef<TControl> dropTarget(dropAt), dragSource(Source);
    release();
    if (!Dragging) return;
    if (dropTarget) dropTarget->DragDrop(source.Get(), x, y);
    if (dragSource) dragSource->DoEndDrag(dropTarget.Get(), x, y);
}

void TDragSession::ControlDestroyed(TControl* control) {
    if (Target == control) Target = nullptr;
    if (CursorControl == control) CursorControl = nullptr;
    if (CaptureControl == control) CaptureControl = nullptr;
    if (Source == control) {
        Source = nullptr;
        Finish(false);
    }
}

} // namespace Zyl
