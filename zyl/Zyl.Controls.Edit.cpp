// The text boxes: a thin layer over the platform's edit and memo, which
// hold the text; the controls mirror it and turn its changes into OnChange.
#include "Zyl.Controls.h"

namespace Zyl {

using System::TRef;

namespace {

constexpr TColor clWindow = TColor(0xFF000005);
constexpr uint32_t VK_TAB = 9, VK_RETURN = 13;

} // namespace

// ---- TCustomEdit -------------------------------------------------------------------

const TMessageEntry<TCustomEdit> TCustomEdit::MessageTable[1] = {
    {ZM_CHANGED, &TCustomEdit::ZMChanged},
};

TCustomEdit::TCustomEdit(System::TComponent* owner) : TWinControl(owner) {
    NativeText = true;
    TabStop = true;
    StoreColor(clWindow);
    StoreBounds(Left(), Top(), 121, 21);
}

bool TCustomEdit::Dispatch(TZylMessage& message) {
    return RunMessageTable(this, MessageTable, message) || TWinControl::Dispatch(message);
}

void TCustomEdit::ZMChanged(TZylMessage&) {
    if (OnChange) OnChange(this);
}

void TCustomEdit::SetReadOnly(bool value) {
    readOnly_ = value;
    if (TPlatformControl* pc = GetPlatformControl()) pc->SetReadOnly(value);
}

void TCustomEdit::InitPlatformControl() {
    TWinControl::InitPlatformControl();
    // Defaults are the platform control's own: only departures are sent.
    TPlatformControl& pc = *GetPlatformControl();
    if (MaxLength >= 1) pc.SetMaxLength(MaxLength);
    if (PasswordChar != 0) pc.SetPasswordChar(PasswordChar);
    if (CharCase == 1 || CharCase == 2) pc.SetCharCase(CharCase);
    if (NumbersOnly) pc.SetNumbersOnly(true);
    if (readOnly_) pc.SetReadOnly(true);
    if (!Border) pc.SetBorder(false);
}

void TCustomEdit::NativeChanged() {
    if (TPlatformControl* pc = GetPlatformControl(); NativeText && pc) text_ = pc->GetText();
    Perform(ZM_CHANGED);
}

// ---- TEdit -------------------------------------------------------------------------

TRef<TPlatformControl> TEdit::CreatePlatformControl(TPlatformApp& app) { return app.CreateEdit(); }

// ---- TMemo -------------------------------------------------------------------------

TMemo::TMemo(System::TComponent* owner) : TCustomEdit(owner) {
    StoreBounds(Left(), Top(), 185, 89);
    lines_ = System::MakeRef<TMemoLines>();
    lines_->LineBreak = std::u16string(1, u'\n');
    lines_->OnChange = [this](System::TObject*) { LinesChanged(); };
}

TMemo::~TMemo() {
    // Whoever still holds the lines must not reach this memo through them.
    lines_->OnChange = nullptr;
}

TRef<TPlatformControl> TMemo::CreatePlatformControl(TPlatformApp& app) { return app.CreateMemo(); }

void TMemo::SetWordWrap(bool value) {
    wordWrap_ = value;
    if (TPlatformControl* pc = GetPlatformControl()) pc->SetWordWrap(value);
}

void TMemo::SetScrollBars(uint8_t value) {
    scrollBars_ = value;
    if (TPlatformControl* pc = GetPlatformControl()) pc->SetScrollBars(value);
}

std::u16string TMemo::MemoText() const {
    std::u16string text = lines_->GetText();
    if (!text.empty() && text.back() == u'\n') text.pop_back();
    return text;
}

bool TMemo::WantsKey(uint32_t key, uint32_t) {
    if (key == VK_TAB) return WantTabs;
    if (key == VK_RETURN) return WantReturns;
    return false;
}

void TMemo::InitPlatformControl() {
    TCustomEdit::InitPlatformControl();
    TPlatformControl& pc = *GetPlatformControl();
    pc.SetText(MemoText());
    pc.SetWordWrap(wordWrap_);
    pc.SetWantReturns(WantReturns);
    pc.SetWantTabs(WantTabs);
    pc.SetScrollBars(scrollBars_ >= 1 && scrollBars_ <= 3 ? scrollBars_ : 0);
}

void TMemo::NativeChanged() {
    TRef<TPlatformControl> pc(GetPlatformControl());
    const std::u16string text = pc ? pc->GetText() : std::u16string();
    {
        TFlagGuard guard(updatingLines_);
        lines_->SetText(text);
    }
    if (NativeText && pc) text_ = text;
    // The echo of LinesChanged's own push: LinesChanged reports that change.
    if (!pushingText_) Perform(ZM_CHANGED);
}

void TMemo::LinesChanged() {
    if (updatingLines_) return;
    text_ = MemoText();
    if (TRef<TPlatformControl> pc{GetPlatformControl()}) {
        TFlagGuard guard(pushingText_);
        pc->SetText(text_);
    }
    Perform(ZM_TEXTCHANGED);
    Perform(ZM_CHANGED);
}

} // namespace Zyl
