#include "Zyl.Forms.h"

#include <algorithm>

namespace Zyl {

using System::TRef;

namespace {

// Whether control is container or lies inside it.
bool LiesIn(const TControl* control, const TControl* container) {
    for (const TControl* c = control; c; c = c->Parent())
        if (c == container) return true;
    return false;
}

TWinControl* FindButtonIn(const TWinControl& container, bool cancel) {
    for (const TRef<TControl>& entry : container.Controls()) {
        auto* child = dynamic_cast<TWinControl*>(entry.Get());
        if (!child || !child->Visible() || !child->Enabled()) continue;
        if (cancel ? child->IsCancelButton() : child->IsDefaultButton()) return child;
        if (TWinControl* found = FindButtonIn(*child, cancel)) return found;
    }
    return nullptr;
}

// A centred coordinate: truncated toward zero, never before the start.
int32_t Centred(int64_t start, int64_t extent, int64_t size) {
    return ClampToInt32(std::max(start, start + (extent - size) / 2));
}

} // namespace

const TMessageEntry<TCustomForm> TCustomForm::MessageTable[5] = {
    {ZM_DIALOGKEY, &TCustomForm::ZMDialogKey},     {ZM_ACTIVATE, &TCustomForm::ZMActivate},
    {ZM_DEACTIVATE, &TCustomForm::ZMDeactivate},   {ZM_WINDOWSTATE, &TCustomForm::ZMWindowState},
    {WM_MOVE, &TCustomForm::WMMove},
};

TCustomForm::TCustomForm(System::TComponent* owner) : TScrollingWinControl(owner) {
    // Plain stores: the first place is not one the form was given.
    StoreBounds(100, 100, 320, 240);
    SetVisible(false);
    StoreColor(TColor(0xFF00000F));
    SetParentFont(false);
    AlignedWidth = 320, AlignedHeight = 240;
    Icon = System::MakeRef<TBitmap>();
    if (FormsInitialized()) Screen->Forms.push_back(this);
    if (!loaded_) {
        loaded_ = true;
        FinishLoading();
    }
}

TCustomForm::~TCustomForm() {
    EnterDestruction();
    if (OnDestroy) {
        try {
            OnDestroy(this);
        } catch (...) {
            SettleDestructorException(std::current_exception(), [this](const System::Exception& e) {
                if (FormsInitialized()) Application->HandleException(this, e);
            });
        }
    }
    Icon = nullptr;
    if (FormsInitialized()) {
        auto& forms = Screen->Forms;
        if (auto it = std::find(forms.begin(), forms.end(), this); it != forms.end()) forms.erase(it);
        if (Screen->ActiveForm == this) Screen->ActiveForm = nullptr;
        if (Application->MainForm.Get() == this) Application->MainForm = nullptr;
        // The hide timer would otherwise reach this form's window through
        // HintForm while the hinted control lives on elsewhere.
        if (Application->HintForm == this || (Application->HintControl && LiesIn(Application->HintControl, this)))
            Application->CancelHint();
    }
    ActiveControl = nullptr;
    if (window_) window_->Events = nullptr;
    window_ = nullptr;
}

TRef<TPlatformWindow> GetFormWindow(const TCustomForm* form) {
    return form ? TRef<TPlatformWindow>(form->GetPlatformWindow()) : nullptr;
}

void TCustomForm::SetBorderStyle(uint8_t value) {
    borderStyle_ = value;
    if (window_) window_->SetBorderStyle(value);
}

void TCustomForm::Show() {
    TRef<TCustomForm> keep(this);
    HandleNeeded();
    SetVisible(true);
    ApplyPosition();
    window_->Show();
    if (WindowState != 0 && window_) window_->SetWindowState(WindowState == 1 ? 1 : WindowState == 2 ? 2 : 0);
    // The events are fired through this class's own bodies, here and on the
    // close path: an override of DoShow, DoHide, DoClose or CloseQuery
    // changes neither Show nor Close.
    TCustomForm::DoShow();
    if (NoActivate) return;
    if (!ActiveControl)
        SelectNext(nullptr, true);
    else if (ActiveControl->HandleAllocated())
        ActiveControl->SetFocus();
    if (FormsInitialized()) Screen->ActiveForm = this;
}

void TCustomForm::ApplyPosition() {
    if (PositionApplied) return;
    PositionApplied = true;
    TCustomForm* reference = nullptr;
    switch (Position) {
    case 0:
        if (window_) window_->SetPosition(Left(), Top());
        return;
    case 2:
        return CenterOnWorkArea();
    case 3:
        reference = FormsInitialized() ? Application->MainForm.Get() : nullptr;
        break;
    case 4:
        reference = OwnerForm.Get();
        break;
    default:
        if (Placed && window_) window_->SetPosition(Left(), Top());
        return;
    }
    if (!reference) return;
    if (reference == this || !reference->HandleAllocated() || !reference->Visible()) return CenterOnWorkArea();
    Placed = true;
    SetBounds(std::max(0, ClampToInt32(reference->Left() + (int64_t(reference->Width()) - Width()) / 2)),
              std::max(0, ClampToInt32(reference->Top() + (int64_t(reference->Height()) - Height()) / 2)),
              Width(), Height());
}

void TCustomForm::CenterOnWorkArea() {
    const auto usable = [this](TCustomForm* f) { return f && f != this && f->Visible() && f->HandleAllocated(); };
    TCustomForm* reference = usable(OwnerForm.Get())                               ? OwnerForm.Get()
                             : FormsInitialized() && usable(Screen->ActiveForm) ? Screen->ActiveForm
                                                                                 : nullptr;
    int32_t x = 0, y = 0;
    if (reference)
        x = ClampToInt32(reference->Left() + reference->Width() / 2),
        y = ClampToInt32(reference->Top() + reference->Height() / 2);
    int32_t l = 0, t = 0, r = 0, b = 0;
    GetPlatformApp()->GetWorkArea(x, y, l, t, r, b);
    Placed = true;
    SetBounds(Centred(l, int64_t(r) - l, Width()), Centred(t, int64_t(b) - t, Height()), Width(), Height());
}

bool TCustomForm::AskClose(uint8_t& action) {
    if (!TCustomForm::CloseQuery()) return false;
    action = 1;
    TCustomForm::DoClose(action);
    return action != 0;
}

void TCustomForm::FinishClose(uint8_t action, bool hideWindow) {
    TRef<TCustomForm> keep(this);
    if (hideWindow && window_) window_->Hide();
    SetVisible(false);
    TCustomForm::DoHide();
    if (action == 2) ReleaseForm();
    if (FormsInitialized() && Application->MainForm.Get() == this) {
        Application->Terminated = true;
        if (TPlatformApp* app = Application->PlatformApp()) app->Quit();
    }
}

void TCustomForm::Close() {
    uint8_t action = 1;
    if (AskClose(action)) FinishClose(action, true);
}

bool TCustomForm::CloseRequested() {
    uint8_t action = 1;
    if (!AskClose(action)) return false;
    // The platform closes its window itself.
    FinishClose(action, false);
    return true;
}

void TCustomForm::ReleaseForm() {
    Released = true;
    if (FormsInitialized()) Application->PendingRelease.push_back(TRef<TCustomForm>(this));
}

void TCustomForm::ApplyTheme() {
    if (!window_) return;
    const TRef<TZylTheme> theme = GetTheme();
    const int32_t border = theme->Colors[49], caption = theme->Colors[50], captionText = theme->Colors[53];
    window_->SetFrameTheme(theme->Dark, /*CaptionColor*/ caption, /*TextColor*/ captionText,
                           /*BorderColor*/ border);
}

TWinControl* TCustomForm::FindDialogButton(bool cancel) { return FindButtonIn(*this, cancel); }

bool TCustomForm::SelectNext(TWinControl* current, bool forward) {
    TWinControl* next = FindNextControl(*this, current, forward);
    if (next) next->SetFocus();
    return next != nullptr;
}

void TCustomForm::DoShow() {
    if (OnShow) OnShow(this);
}

void TCustomForm::DoHide() {
    if (OnHide) OnHide(this);
}

void TCustomForm::DoClose(uint8_t& action) {
    if (OnClose) OnClose(this, action);
}

bool TCustomForm::CloseQuery() {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    return canClose;
}

void TCustomForm::SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) {
    if (left != Left() || top != Top()) Placed = true;
    TScrollingWinControl::SetBounds(left, top, width, height);
    if (Placed && window_) window_->SetPosition(Left(), Top());
}

void TCustomForm::Invalidate() {
    if (window_) window_->Invalidate();
}

void TCustomForm::ConstraintsChanged() {
    SetBounds(Left(), Top(), Width(), Height());
    if (window_ && Constraints)
        window_->SetSizeConstraints(Constraints->MinWidth, Constraints->MinHeight, Constraints->MaxWidth,
                                    Constraints->MaxHeight);
}

void TCustomForm::FocusChanged(TWinControl* control) {
    AutoScrollInView(control);
    ActiveControl = control;
    if (!NoActivate && FormsInitialized()) Screen->ActiveForm = this;
}

void TCustomForm::ControlLeaving(TControl* control) {
    if (ActiveControl && LiesIn(ActiveControl, control)) ActiveControl = nullptr;
}

void TCustomForm::ApplyBounds() {
    if (window_) window_->SetSize(Width(), Height());
}

void TCustomForm::SyncToPlatform() {
    if (window_) window_->SetTitle(text_);
}

void TCustomForm::CreateNative() {
    TRef<TPlatformWindow> window = GetPlatformApp()->CreateWindow();
    if (!window) throw EZylError(u"A plataforma nao criou a janela do formulario");
    window_ = window;
    window_->Events = MakeEvents();
}

void TCustomForm::InitPlatformControl() {
    window_->SetTitle(text_);
    window_->SetSize(Width(), Height());
    ApplyWindowStyle();
    // As every scrolling control does once its native side exists.
    UpdateScrollBars();
}

void TCustomForm::ApplyWindowStyle() {
    window_->SetBorderStyle(borderStyle_ < 5 ? borderStyle_ : 2);
    if (NoActivate) window_->SetNoActivate(true);
    window_->SetStayOnTop(FormStyle == 1);
    if (!Icon->GetEmpty() && Icon->GetWidth() >= 1)
        window_->SetIcon(Icon->GetSurface().Get());
    else if (FormsInitialized() && !Application->Icon->GetEmpty() && Application->Icon->GetWidth() > 0)
        window_->SetIcon(Application->Icon->GetSurface().Get());
    if (Constraints)
        window_->SetSizeConstraints(Constraints->MinWidth, Constraints->MinHeight, Constraints->MaxWidth,
                                    Constraints->MaxHeight);
    if (OwnerForm && OwnerForm->window_) window_->SetOwner(OwnerForm->window_.Get());
}

void TCustomForm::ApplyWindowCursor(int32_t kind) {
    if (window_) window_->SetCursor(kind);
}

void TCustomForm::AddPlatformChild(TPlatformControl* child, int32_t x, int32_t y) {
    window_->AddChild(child, x, y);
}

bool TCustomForm::Dispatch(TZylMessage& message) {
    return RunMessageTable(this, MessageTable, message) || TScrollingWinControl::Dispatch(message);
}

void TCustomForm::ZMDialogKey(TZylMessage& m) {
    m.Result = 0;
    const uint32_t key = m.Key, shift = uint32_t(m.X);
    const bool withShift = shift & 1, ctrl = shift & 4, alt = shift & 8;
    if (alt && !ctrl && ((key >= 'A' && key <= 'Z') || (key >= '0' && key <= '9'))) {
        TZylMessage accelerator;
        accelerator.Msg = ZM_DIALOGCHAR, accelerator.Key = key, accelerator.Shift = shift;
        DeliverMessage(accelerator);
        if (accelerator.Result != 0) {
            m.Result = 1;
            return;
        }
    }
    if (key == 27 || key == 13) {
        if (TRef<TWinControl> button = FindDialogButton(key == 27)) {
            button->Click();
            m.Result = 1;
        }
        return;
    }
    if (key == 9 && !ctrl && !alt && SelectNext(ActiveControl, !withShift)) m.Result = 1;
}

void TCustomForm::ZMActivate(TZylMessage&) {
    if (!FormsInitialized()) return;
    Screen->ActiveForm = this;
    TApplication& app = *Application;
    app.DeactivationPending = false;
    if (!app.Active) {
        app.Active = true;
        if (app.OnActivate) app.OnActivate(&app);
    }
    if (OnActivate) OnActivate(this);
}

void TCustomForm::ZMDeactivate(TZylMessage&) {
    if (FormsInitialized()) {
        if (Screen->ActiveForm == this) Screen->ActiveForm = nullptr;
        Application->DeactivationPending = true;
    }
    if (OnDeactivate) OnDeactivate(this);
}

void TCustomForm::ZMWindowState(TZylMessage& m) {
    if (!FormsInitialized()) return;
    TApplication& app = *Application;
    if (app.MainForm && app.MainForm.Get() != this) return;
    const bool minimised = m.Key == 1;
    if (minimised == app.Minimised) return;
    app.Minimised = minimised;
    if (const System::TNotifyEvent& event = minimised ? app.OnMinimize : app.OnRestore) event(&app);
}

void TCustomForm::WMMove(TZylMessage& m) { StoreBounds(m.X, m.Y, Width(), Height()); }

} // namespace Zyl
