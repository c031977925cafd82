#include "KS.KeptForm.h"

namespace KS {

using namespace Zyl;

void TKeptForm::Keep(System::TObject* object) {
    KeepList.emplace_back(object);
}

void TKeptForm::SetUpInstallerFrame(int32_t clientWidth, int32_t clientHeight) {
    ApplyInstallerFormLook(*this);
    SetBorderStyle(3);
    Position = 2;
    SetBounds(Left(), Top(), clientWidth, Height());
    SetBounds(Left(), Top(), Width(), clientHeight);
    // Twice the wanted size less the client size measured at the wanted
    // size: what the frame takes is added back.
    SetBounds(Left(), Top(), 2 * clientWidth - GetClientRect().Right, Height());
    SetBounds(Left(), Top(), Width(), 2 * clientHeight - GetClientRect().Bottom);
}

void TKeptForm::Pump() {
    Application->PlatformApp()->ProcessMessages();
    Application->FreeReleasedForms();
}

TPanel* TKeptForm::MakePanel(TKeptForm& form, TWinControl* parent, uint8_t align, int32_t size) {
    TPanel* panel = form.MakeKept<TPanel>(parent);
    panel->SetBevelOuter(0);
    panel->SetText(u"");
    panel->SetShowParentBackground(false);
    panel->SetColor(kWhite);
    panel->SetAlign(align);
    if (align == 1 || align == 2) panel->SetBounds(panel->Left(), panel->Top(), panel->Width(), size);
    if (align == 3 || align == 4) panel->SetBounds(panel->Left(), panel->Top(), size, panel->Height());
    return panel;
}

TLabel* TKeptForm::MakeLabel(TKeptForm& form, TWinControl* parent, const std::u16string& text, int32_t left,
                             int32_t top, int32_t width, int32_t height) {
    TLabel* label = form.MakeKept<TLabel>(parent);
    label->SetAutoSize(false);
    label->AdjustBounds();
    label->SetWordWrap(true);
    label->AdjustBounds();
    label->NoBackground = true;
    label->Font()->SetColor(kDarkText);
    label->SetBounds(left, top, width, height);
    label->SetText(text);
    return label;
}

TFlatButton* TKeptForm::MakeButton(TKeptForm& form, TWinControl* parent, const std::u16string& caption,
                                   int32_t left, int32_t top, int32_t width, System::TNotifyEvent onClick,
                                   bool primary, TColor backColor) {
    TFlatButton* button = form.MakeKept<TFlatButton>(parent);
    button->SetCaption(caption);
    button->SetBounds(left, top, width, 34);
    button->Primary = primary;
    button->Invalidate();
    button->BackColor = backColor;
    button->OnButtonClick = std::move(onClick);
    return button;
}

TSlimProgress* TKeptForm::MakeProgress(TKeptForm& form, TWinControl* parent, int32_t left, int32_t top,
                                       int32_t width) {
    TSlimProgress* bar = form.MakeKept<TSlimProgress>(parent);
    bar->SetBounds(left, top, width, 40);
    bar->Max = 1000;
    bar->Position = 0;
    return bar;
}

TMemo* TKeptForm::MakeMemo(TKeptForm& form, TWinControl* parent, int32_t top, int32_t height) {
    TMemo* memo = form.MakeKept<TMemo>(parent);
    memo->SetBounds(38, top, 474, height);
    memo->SetReadOnly(true);
    memo->SetScrollBars(2);
    memo->SetWordWrap(true);
    memo->OnKeyDown = form.ChildKeyDown;
    return memo;
}

TFlatCheck* TKeptForm::MakeCheck(TKeptForm& form, TWinControl* parent, const std::u16string& caption,
                                 int32_t left, int32_t top, int32_t width) {
    TFlatCheck* check = form.MakeKept<TFlatCheck>(parent);
    check->Caption = caption;
    check->Invalidate();
    check->SetBounds(left, top, width, 26);
    check->OnKeyDown = form.ChildKeyDown;
    return check;
}

} // namespace KS
