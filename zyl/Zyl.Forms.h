// Forms, the screen, the application and hints: the top-level windows of the
// widget library and the process-wide objects that tie them to the platform.
// No Windows header: the unit builds and is tested on the host as well.
//
// Ownership: Screen.Forms, ActiveForm, ActiveControl, HintControl, HintForm
// and MouseControl are plain pointers that the going control or form clears;
// MainForm, OwnerForm, the release queue, PendingFreeControls and the hint
// window are counted.
#pragma once

#include "Zyl.Controls.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace Zyl {

class TCustomForm;
class THintWindow;

using TCloseEvent = std::function<void(System::TObject* sender, uint8_t& action)>;
using TCloseQueryEvent = std::function<void(System::TObject* sender, bool& canClose)>;
using TExceptionEvent = std::function<void(System::TObject* sender, const System::Exception& e)>;

// ---- Forms -----------------------------------------------------------------------

class TCustomForm : public TScrollingWinControl {
public:
    explicit TCustomForm(System::TComponent* owner);
    ~TCustomForm() override;

    TWinControl* ActiveControl = nullptr;  // not counted: cleared when it leaves the form
    uint8_t Position = 1;
    bool Released = false;
    uint8_t WindowState = 0;
    uint8_t FormStyle = 0;
    System::TRef<TBitmap> Icon;
    bool Placed = false;
    bool PositionApplied = false;
    System::TRef<TCustomForm> OwnerForm;
    bool NoActivate = false;
    System::TNotifyEvent OnCreate, OnDestroy, OnShow, OnHide, OnActivate, OnDeactivate;
    TCloseEvent OnClose;
    TCloseQueryEvent OnCloseQuery;

    uint8_t BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(uint8_t value);

    void Show();
    void Close();
    // The form's Release: TObject::Release is the reference count's.
    void ReleaseForm();
    void ApplyTheme();
    void ApplyPosition();
    void CenterOnWorkArea();
    TWinControl* FindDialogButton(bool cancel);
    bool SelectNext(TWinControl* current, bool forward);

    // Each fires its event. Nothing in the library calls them through the
    // class: Show, Close and the close box fire the events themselves, so an
    // override changes neither.
    virtual void DoShow();
    virtual void DoHide();
    virtual void DoClose(uint8_t& action);
    virtual bool CloseQuery();

    void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;
    void Invalidate() override;
    void ConstraintsChanged() override;
    TPlatformWindow* GetPlatformWindow() const override { return window_.Get(); }
    bool IsTopLevel() const override { return true; }
    bool HandleAllocated() const override { return window_ != nullptr; }
    bool CanFocus() const override { return window_ != nullptr; }
    void SetFocus() override {}
    void FocusChanged(TWinControl* control) override;
    bool CloseRequested() override;
    void ControlLeaving(TControl* control) override;

protected:
    void ApplyBounds() override;
    void SyncToPlatform() override;
    void CreateNative() override;
    void InitPlatformControl() override;
    void ApplyWindowCursor(int32_t kind) override;
    void AddPlatformChild(TPlatformControl* child, int32_t x, int32_t y) override;
    bool Dispatch(TZylMessage& message) override;

    void ZMDialogKey(TZylMessage& m);
    void ZMActivate(TZylMessage& m);
    void ZMDeactivate(TZylMessage& m);
    void ZMWindowState(TZylMessage& m);
    void WMMove(TZylMessage& m);

private:
    void ApplyWindowStyle();
    // Hides the form after a close was allowed with action (not 0).
    void FinishClose(uint8_t action, bool hideWindow);
    bool AskClose(uint8_t& action);

    System::TRef<TPlatformWindow> window_;
    uint8_t borderStyle_ = 2;
    bool loaded_ = false;

    static const TMessageEntry<TCustomForm> MessageTable[5];
};

class TForm : public TCustomForm {
public:
    using TCustomForm::TCustomForm;
};

// The form's platform window, nil when it has none.
System::TRef<TPlatformWindow> GetFormWindow(const TCustomForm* form);

// ---- Hints -----------------------------------------------------------------------

// Travels with ZM_HINTSHOW, its address split over X (low half) and Y; a
// handler may change any field, and a non-zero Result cancels the hint.
struct THintInfo {
    TControl* HintControl = nullptr;
    TPoint HintPos;
    int32_t HintMaxWidth = 0;
    TColor HintColor = 0xFFFFFF;
    TRect CursorRect;
    TPoint CursorPos;
    int32_t Reserved = 0;
    int32_t HideTimeout = 0;
    std::u16string HintStr;
    void* HintData = nullptr;
    // Makes the hint window; empty: a THintWindow.
    std::function<System::TRef<THintWindow>()> HintWindowClass;
};

THintInfo* HintInfoOf(const TZylMessage& message);

class THintWindow : public TCustomControl {
public:
    explicit THintWindow(System::TComponent* owner);

    std::u16string HintText;
    void* HintData = nullptr;
    int32_t MaxWidth = 0;

    virtual TRect CalcHintRect(int32_t maxWidth, const std::u16string& text, void* data);
    void FitText();

protected:
    void Paint() override;
};

// The control or its nearest ancestor with a hint; nil when none.
TControl* FindHintControl(TControl* control);
// The text before the first "|", or the whole text without one.
std::u16string GetShortHint(const std::u16string& hint);

// ---- Screen and application ------------------------------------------------------

class TScreen : public System::TComponent {
public:
    explicit TScreen(System::TComponent* owner) : TComponent(owner) {}

    // Every existing form in creation order; holds no references.
    std::vector<TCustomForm*> Forms;
    TCustomForm* ActiveForm = nullptr;  // not counted

    // EListError "índice fora da lista" outside 0..count-1.
    System::TRef<TCustomForm> GetForm(int32_t index) const;
};

class TApplication : public System::TComponent {
public:
    explicit TApplication(System::TComponent* owner);

    bool ShowHint = true;
    int32_t HintPause = 500;
    int32_t HintHidePause = 2500;
    TControl* HintControl = nullptr;  // not counted
    int32_t ShowTimerId = 0, HideTimerId = 0;
    System::TRef<THintWindow> HintWindow;
    TCustomForm* HintForm = nullptr;  // not counted
    std::vector<System::TRef<TWinControl>> PendingFreeControls;
    int32_t IdleTimerId = 0;
    TRect HintRect;
    bool HintVisible = false;
    TControl* MouseControl = nullptr;  // not counted
    int32_t MouseX = 0, MouseY = 0;
    System::TRef<TBitmap> Icon;
    System::TNotifyEvent OnThemeChanged;
    System::TRef<TCustomForm> MainForm;
    bool Terminated = false;
    std::u16string Title;
    std::vector<System::TRef<TCustomForm>> PendingRelease;
    bool Active = false;
    bool DeactivationPending = false;
    bool Minimised = false;
    TExceptionEvent OnException;
    System::TNotifyEvent OnActivate, OnDeactivate, OnMinimize, OnRestore, OnHint;

    TPlatformApp* PlatformApp() const { return platformApp_.Get(); }
    void SetPlatformApp(System::TRef<TPlatformApp> app) { platformApp_ = std::move(app); }

    // A new form of class F owned by the application; the first becomes MainForm.
    template <class F>
    System::TRef<F> CreateForm() {
        System::TRef<F> form = System::MakeRef<F>(this);
        FormCreated(form.Get());
        return form;
    }
    void Run();
    void FreeReleasedForms();
    int32_t MessageBox(const std::u16string& text, const std::u16string& caption, uint32_t flags);
    void HandleException(System::TObject* sender, const System::Exception& e);
    // The 200 ms idle work: pending controls freed, then deactivation decided.
    void IdleTick();

    void HintMouseEnter(TControl* control, bool entering);
    void HintMouseMove(TControl* control, int32_t x, int32_t y);
    void CancelHint();
    void ActivateHint(TControl* control);

private:
    void FormCreated(TCustomForm* form);

    System::TRef<TPlatformApp> platformApp_;
    bool showingException_ = false;
};

// The process-wide objects, made by InitializeFormsUnit.
extern System::TRef<TScreen> Screen;
extern System::TRef<TApplication> Application;

// The forms unit's start-up: Screen, then Application, the initialised flag,
// the theme listener and the screen-point hook. Later calls do nothing.
void InitializeFormsUnit();
// The exit hook, then the unit's finalisation: Application and Screen go.
void FinalizeFormsUnit();
// Between InitializeFormsUnit and FinalizeFormsUnit.
bool FormsInitialized();

// Gives Application a drawn application over shell and installs the hooks
// and the idle timer. Only the first call counts.
void InitializeApplication(System::TRef<TPlatformApp> shell);

void ApplyThemeToForms(const TZylTheme& theme);
void BroadcastThemeChanged(TControl* control);
TControl* FindControlAtScreenPoint(int32_t x, int32_t y, int32_t& cx, int32_t& cy);
int32_t HandlePlatformException(const System::Exception& e);

} // namespace Zyl
