#include "Zyl.Forms.h"
#include "Zyl.Platform.Drawn.Theme.h"

namespace Zyl {

using System::TRef;

namespace {

void ShowHintTimer() {
    if (!FormsInitialized()) return;
    TRef<TApplication> app = Application;
    if (app->ShowTimerId != 0) {
        app->PlatformApp()->RemoveTimer(app->ShowTimerId);
        app->ShowTimerId = 0;
    }
    if (app->HintControl) app->ActivateHint(app->HintControl);
}

void HideHintTimer() {
    if (FormsInitialized()) TRef<TApplication>(Application)->CancelHint();
}

// Kept apart from every control's canvas: measuring must not disturb a paint.
TCanvas& HintMeasuringCanvas(TFont* font) {
    static TRef<TCanvas> canvas;
    if (!canvas) {
        static TRef<TBitmap> bitmap = System::MakeRef<TBitmap>();
        bitmap->SetSize(1, 1);
        canvas = bitmap->GetCanvas();
    }
    canvas->SetFont(font);
    return *canvas;
}

void SetHintInfo(TZylMessage& message, THintInfo* info) {
    const uint64_t address = uint64_t(reinterpret_cast<uintptr_t>(info));
    message.X = int32_t(uint32_t(address)), message.Y = int32_t(uint32_t(address >> 32));
}

} // namespace

THintInfo* HintInfoOf(const TZylMessage& message) {
    const uint64_t address = uint64_t(uint32_t(message.X)) | uint64_t(uint32_t(message.Y)) << 32;
    return reinterpret_cast<THintInfo*>(uintptr_t(address));
}

TControl* FindHintControl(TControl* control) {
    for (TControl* c = control; c; c = c->Parent())
        if (!c->Hint.empty()) return c;
    return nullptr;
}

std::u16string GetShortHint(const std::u16string& hint) { return hint.substr(0, hint.find(u'|')); }

// ---- Hint window ---------------------------------------------------------------

THintWindow::THintWindow(System::TComponent* owner) : TCustomControl(owner) {
    StoreColor(TColor(ThemeColor(59)));
    TabStop = false;
}

TRect THintWindow::CalcHintRect(int32_t maxWidth, const std::u16string& text, void*) {
    TCanvas& canvas = HintMeasuringCanvas(Font());
    int32_t w = ClampToInt32(int64_t(canvas.TextExtent(text).Width) + 12);
    if (maxWidth > 0 && w >= maxWidth) w = maxWidth;
    return {0, 0, w, canvas.TextExtent(u"Wg").Height + 8};
}

void THintWindow::FitText() {
    const TRect r = CalcHintRect(MaxWidth, HintText, HintData);
    SetBounds(Left(), Top(), r.Right, r.Bottom);
}

void THintWindow::Paint() {
    TCanvas& canvas = *Canvas();
    canvas.SetFont(Font());
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(Color());
    canvas.FillRect({0, 0, Width(), Height()});
    canvas.Brush()->SetColor(TColor(ThemeColor(60)));
    canvas.FrameRect({0, 0, Width(), Height()});
    canvas.Brush()->SetStyle(bsClear);
    canvas.Font()->SetColor(TColor(ThemeColor(61)));
    canvas.TextRect({1, 1, Width() - 1, Height() - 1}, 6, 4, HintText);
}

// ---- Hint state of the application ---------------------------------------------

void TApplication::HintMouseEnter(TControl* control, bool entering) {
    if (entering) {
        CancelHint();
        if (!ShowHint || !platformApp_) return;
        if (TControl* target = FindHintControl(control)) {
            HintControl = target;
            ShowTimerId = platformApp_->AddTimer(HintPause, ShowHintTimer);
        }
        return;
    }
    if (HintControl && (!control || control == HintControl)) CancelHint();
    if (control == MouseControl) MouseControl = nullptr;
}

void TApplication::HintMouseMove(TControl* control, int32_t x, int32_t y) {
    MouseControl = control, MouseX = x, MouseY = y;
    if (!HintVisible || !HintControl || !HintWindow) return;
    const TPoint from = control->OriginInRoot(), to = HintControl->OriginInRoot();
    const int64_t hx = int64_t(x) + from.X - to.X, hy = int64_t(y) + from.Y - to.Y;
    if (hx >= HintRect.Left && hx < HintRect.Right && hy >= HintRect.Top && hy < HintRect.Bottom) return;
    TControl* same = HintControl;
    CancelHint();
    HintMouseEnter(same, true);
}

void TApplication::CancelHint() {
    if (platformApp_) {
        if (ShowTimerId != 0) platformApp_->RemoveTimer(ShowTimerId);
        if (HideTimerId != 0) platformApp_->RemoveTimer(HideTimerId);
    }
    ShowTimerId = HideTimerId = 0;
    HintControl = nullptr;
    HintVisible = false;
    if (!HintWindow) return;
    TRef<THintWindow> window = std::move(HintWindow);
    HintWindow = nullptr;
    if (HintForm)
        if (TPlatformWindow* formWindow = HintForm->GetPlatformWindow(); formWindow && window->GetPlatformControl())
            formWindow->RemovePopupChild(window->GetPlatformControl());
    PendingFreeControls.push_back(window);
    HintForm = nullptr;
}

void TApplication::ActivateHint(TControl* control) {
    TRef<TApplication> keep(this);
    TRef<TControl> hinted(control);
    auto* form = dynamic_cast<TCustomForm*>(GetParentForm(control));
    if (!form || !form->GetPlatformWindow() || !platformApp_) return;
    TRef<TCustomForm> holdForm(form);
    const TPoint at = control->OriginInRoot();
    THintInfo info;
    info.HintControl = control;
    info.HintPos = {ClampToInt32(int64_t(at.X) + 8), ClampToInt32(int64_t(at.Y) + control->Height() + 2)};
    info.CursorRect = {0, 0, control->Width(), control->Height()};
    if (MouseControl) {
        const TPoint from = MouseControl->OriginInRoot();
        info.CursorPos = {ClampToInt32(int64_t(MouseX) + from.X - at.X), ClampToInt32(int64_t(MouseY) + from.Y - at.Y)};
    }
    info.HintStr = GetShortHint(control->Hint);
    TZylMessage message;
    message.Msg = ZM_HINTSHOW;
    SetHintInfo(message, &info);
    control->DeliverMessage(message);
    if (message.Result != 0 || info.HintStr.empty()) return;

    CancelHint();
    HintControl = control, HintForm = form, HintRect = info.CursorRect, HintVisible = true;
    TRef<THintWindow> window = info.HintWindowClass ? info.HintWindowClass() : System::MakeRef<THintWindow>(nullptr);
    HintWindow = window;
    window->HintText = info.HintStr;
    window->HintData = info.HintData;
    window->MaxWidth = info.HintMaxWidth;
    window->Font()->Assign(control->Font());
    if (info.HintColor != 0xFFFFFF) window->SetColor(info.HintColor);
    window->FitText();

    TPlatformWindow& formWindow = *form->GetPlatformWindow();
    const int64_t w = window->Width(), h = window->Height();
    int64_t x = info.HintPos.X, y = info.HintPos.Y;
    if (x + w > formWindow.GetWidth()) x = formWindow.GetWidth() - w;
    if (y + h > formWindow.GetHeight()) y = int64_t(at.Y) - h - 2;
    const int32_t left = ClampToInt32(std::max<int64_t>(x, 0)), top = ClampToInt32(std::max<int64_t>(y, 0));
    window->SetBounds(left, top, window->Width(), window->Height());
    window->HandleNeeded();
    window->GetPlatformControl()->SetMouseTransparent(true);
    formWindow.AddPopupChild(window->GetPlatformControl(), left, top);

    HideTimerId = platformApp_->AddTimer(info.HideTimeout >= 1 ? info.HideTimeout : HintHidePause, HideHintTimer);
    if (OnHint) OnHint(this);
}

} // namespace Zyl
