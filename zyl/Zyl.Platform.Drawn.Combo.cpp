#include "Zyl.Platform.Drawn.Combo.h"

#include "System.Remainder.Text.h"

#include <algorithm>

namespace Zyl {

using System::TRef;

namespace {

constexpr int32_t ButtonWidth = 18;
// Page keys of a closed combo move this many items, whatever it shows.
constexpr int32_t ClosedPage = 8;

// Sets a flag for a scope and clears it on every way out.
class TFlagScope {
public:
    explicit TFlagScope(bool& flag) : flag_(flag) { flag_ = true; }
    ~TFlagScope() { flag_ = false; }
    TFlagScope(const TFlagScope&) = delete;
    TFlagScope& operator=(const TFlagScope&) = delete;

private:
    bool& flag_;
};

struct TComboColors {
    int32_t Frame, Back, Arrow, Text;
};

TComboColors ComboColors(const TDrawnComboBox& c) {
    if (!c.Enabled) return {ThemeColor(22), ThemeColor(c.ListOnly ? 18 : 0), ThemeColor(22), ThemeColor(3)};
    if (c.DroppedDown || c.Focused)
        return {ThemeColor(7), ThemeColor(!c.ListOnly ? 0 : c.DroppedDown ? 17 : 15), ThemeColor(23), ThemeColor(2)};
    if (c.Hot) return {ThemeColor(7), ThemeColor(c.ListOnly ? 16 : 0), ThemeColor(23), ThemeColor(2)};
    return {ThemeColor(c.ListOnly ? 19 : 26), ThemeColor(c.ListOnly ? 15 : 0), ThemeColor(23), ThemeColor(2)};
}

} // namespace

// ---------------------------------------------------------------------------
// The edit part's sink

template <class Handle>
void TComboEditEvents::WithCombo(Handle handle) {
    const TRef<TComboEditEvents> self(this);
    const TRef<TDrawnComboBox> combo(Combo);
    if (!combo) return;
    const TRef<TPlatformEvents> sink = combo->Events;
    handle(*combo, sink.Get());
}

void TComboEditEvents::KeyDown(int32_t key, int32_t shift, int32_t extra) {
    WithCombo([&](TDrawnComboBox&, TPlatformEvents* sink) {
        if (sink) sink->KeyDown(key, shift, extra);
    });
}

void TComboEditEvents::KeyUp(int32_t key, int32_t shift) {
    WithCombo([&](TDrawnComboBox&, TPlatformEvents* sink) {
        if (sink) sink->KeyUp(key, shift);
    });
}

void TComboEditEvents::FocusChanged(bool focused) {
    WithCombo([&](TDrawnComboBox& c, TPlatformEvents* sink) {
        c.Focused = focused;
        if (!focused && c.DroppedDown && !c.Dropping) c.CloseUp(false);
        c.Host->Invalidate();
        if (sink) sink->FocusChanged(focused);
    });
}

bool TComboEditEvents::TakeKeyHandled(int32_t key, int32_t shift) {
    bool handled = false;
    WithCombo([&](TDrawnComboBox& c, TPlatformEvents* sink) {
        handled = (sink && sink->TakeKeyHandled(key, shift)) || c.ComboKey(key, shift);
    });
    return handled;
}

char16_t TComboEditEvents::KeyPress(char16_t ch) {
    WithCombo([&](TDrawnComboBox&, TPlatformEvents* sink) {
        if (sink) ch = sink->KeyPress(ch);
    });
    return ch;
}

void TComboEditEvents::Changed() {
    WithCombo([&](TDrawnComboBox& c, TPlatformEvents*) { c.EditChanged(); });
}

// ---------------------------------------------------------------------------
// Construction

TDrawnComboBox::TDrawnComboBox(TDrawnApp* app, TRef<TPlatformControl> host, TRef<TDrawnListBox> list)
    : TDrawnControl(app, std::move(host)), List(std::move(list)),
      Edit(static_cast<TDrawnTextBox*>(App->CreateEdit().Get())), EditEvents(System::MakeRef<TComboEditEvents>()) {
    List->InCombo = true;
    Edit->Border = false;
    Edit->LayoutDirty = true;
    Edit->Invalidate();
    EditEvents->Combo = this;
    Edit->Events = EditEvents;
    AddChild(Edit.Get(), 0, 0);
}

TDrawnComboBox::~TDrawnComboBox() {
    CloseUp(false);
    Edit->Events = nullptr;
    EditEvents->Combo = nullptr;
    // Owner drawing shared this combo's sink with the list.
    List->Events = nullptr;
}

// ---------------------------------------------------------------------------
// Platform operations

// A combo that goes away from the user closes its drop-down first, or the
// list would stay behind as a clickable popup.
void TDrawnComboBox::SetVisible(bool visible) {
    if (!visible) CloseUp(false);
    TDrawnControl::SetVisible(visible);
}

void TDrawnComboBox::SetEnabled(bool enabled) {
    if (!enabled) CloseUp(false);
    TDrawnControl::SetEnabled(enabled);
}

void TDrawnComboBox::RemoveFromParent() {
    CloseUp(false);
    TDrawnControl::RemoveFromParent();
}

void TDrawnComboBox::SetFocus() {
    if (ListOnly)
        Host->SetFocus();
    else
        Edit->SetFocus();
}

void TDrawnComboBox::SetText(const std::u16string& text) {
    if (!ListOnly) {
        const TFlagScope setting(SettingText);
        Edit->SetText(text);
    }
    ItemIndex = FindItem(text);
    Invalidate();
    if (!ListOnly) NotifyChanged();
}

std::u16string TDrawnComboBox::GetText() { return ListOnly ? List->GetItem(ItemIndex) : Edit->GetText(); }

void TDrawnComboBox::SetReadOnly(bool readOnly) { Edit->SetReadOnly(readOnly); }

void TDrawnComboBox::InsertItem(int32_t index, const std::u16string& text) {
    const int32_t count = List->Count();
    List->InsertItem(index, text);
    const int32_t at = index < 0 || index > count ? count : index;
    if (ItemIndex >= 0 && at <= ItemIndex) ++ItemIndex;
}

void TDrawnComboBox::SetItem(int32_t index, const std::u16string& text) {
    if (List->IsItem(index)) List->SetItem(index, text);
    Invalidate();
}

void TDrawnComboBox::SetListOption(int32_t height) { List->SetItemHeight(height); }

int32_t TDrawnComboBox::GetItemHeight() { return List->RowHeight(); }

void TDrawnComboBox::SortItems(bool sorted) {
    List->SortItems(sorted);
    ItemIndex = -1;
}

void TDrawnComboBox::SetSorted(bool ownerDraw) {
    OwnerDraw = ownerDraw;
    List->SetOwnerDraw(ownerDraw);
    List->Events = Events;
}

void TDrawnComboBox::SetDropDownCount(int32_t count) { DropDownCount = count; }

void TDrawnComboBox::SetListOnly(bool listOnly) {
    ListOnly = listOnly;
    SetCursor(listOnly ? CursorArrow : CursorIBeam);
    PlaceEdit();
    Invalidate();
}

void TDrawnComboBox::SetDroppedDown(bool droppedDown) {
    if (droppedDown)
        DropDown();
    else
        CloseUp(false);
}

bool TDrawnComboBox::GetDroppedDown() { return DroppedDown; }

void TDrawnComboBox::ClearItems() {
    List->ClearItems();
    ItemIndex = -1;
    Invalidate();
}

int32_t TDrawnComboBox::AddItem(const std::u16string& text) {
    const int32_t index = List->AddItem(text);
    if (ItemIndex >= 0 && ItemIndex >= index) ++ItemIndex;
    return index;
}

int32_t TDrawnComboBox::GetItemCount() { return List->Count(); }

std::u16string TDrawnComboBox::GetItem(int32_t index) { return List->GetItem(index); }

void TDrawnComboBox::DeleteItem(int32_t index) {
    // Asked before the item goes: deleting the selected last item must
    // still clear ItemIndex.
    const bool inside = List->IsItem(index);
    List->DeleteItem(index);
    if (!inside) return;
    if (ItemIndex == index)
        ItemIndex = -1;
    else if (ItemIndex > index)
        --ItemIndex;
    Invalidate();
}

void TDrawnComboBox::SetItemIndex(int32_t index) {
    ItemIndex = List->IsItem(index) ? index : -1;
    SyncList();
    if (ItemIndex >= 0) UpdateEditText();
    Invalidate();
}

int32_t TDrawnComboBox::GetItemIndex() { return ItemIndex; }

void TDrawnComboBox::SetSelection(int32_t start, int32_t length) { Edit->SetSelection(start, length); }
int32_t TDrawnComboBox::GetSelStart() { return Edit->GetSelStart(); }
int32_t TDrawnComboBox::GetSelLength() { return Edit->GetSelLength(); }
void TDrawnComboBox::SetMaxLength(int32_t maxLength) { Edit->SetMaxLength(maxLength); }
void TDrawnComboBox::CutToClipboard() { Edit->CutToClipboard(); }
void TDrawnComboBox::CopyToClipboard() { Edit->CopyToClipboard(); }
void TDrawnComboBox::PasteFromClipboard() { Edit->PasteFromClipboard(); }
void TDrawnComboBox::SelectAll() { Edit->SelectAll(); }

// ---------------------------------------------------------------------------
// Internal operations

int32_t TDrawnComboBox::FindItem(const std::u16string& text) const {
    const std::u16string wanted = System::LowerCase(text);
    for (int32_t i = 0; i < List->Count(); ++i)
        if (System::LowerCase(List->Items[static_cast<size_t>(i)].Text) == wanted) return i;
    return -1;
}

void TDrawnComboBox::SelectInList(int32_t index) {
    if (List->MultiSelect)
        List->ItemIndex = index;
    else
        List->SelectOnly(index);
    List->AnchorIndex = index;
    List->MakeVisible(index);
    List->Invalidate();
}

void TDrawnComboBox::SyncList() {
    if (List->IsItem(ItemIndex)) {
        SelectInList(ItemIndex);
        return;
    }
    List->SetItemIndex(-1);
}

void TDrawnComboBox::UpdateEditText() {
    if (ListOnly) return;
    {
        const TFlagScope setting(SettingText);
        if (ItemIndex >= 0) Edit->SetText(List->GetItem(ItemIndex));
    }
    Edit->SelectAll();
}

void TDrawnComboBox::ChooseItem(int32_t index) {
    ItemIndex = index;
    UpdateEditText();
    Invalidate();
    NotifyChanged();
}

void TDrawnComboBox::NotifyChanged() {
    if (const TRef<TPlatformEvents> sink = Events) sink->Changed();
}

void TDrawnComboBox::NotifyDroppedDown(bool droppedDown) {
    if (const TRef<TPlatformEvents> sink = Events) sink->DroppedDownChanged(droppedDown);
}

void TDrawnComboBox::EditChanged() {
    if (SettingText) return;
    ItemIndex = FindItem(Edit->GetText());
    Invalidate();
    NotifyChanged();
}

void TDrawnComboBox::PlaceEdit() {
    if (ListOnly) {
        Edit->SetVisible(false);
        return;
    }
    Edit->SetVisible(true);
    Edit->SetBounds(2, 2, ClientWidth - 21, ClientHeight - 4);
}

void TDrawnComboBox::DropDown() {
    if (DroppedDown || !Enabled) return;
    const TRef<TDrawnComboBox> self(this);
    PopupWindow = Host->GetWindow();
    if (!PopupWindow) return;
    DroppedDown = true;
    int32_t ox = 0, oy = 0;
    Host->GetWindowOrigin(ox, oy);
    DropX = ox;
    DropY = oy + ClientHeight;
    const int32_t shown = DropDownCount < 1 ? 8 : DropDownCount;
    const int32_t rows = std::max(1, std::min(List->Count(), shown));
    const int32_t height = rows * List->RowHeight() + (List->Border ? 2 : 0);
    const int32_t windowHeight = PopupWindow->GetHeight();
    // Upward only when the list would pass the bottom and fits above.
    if (windowHeight > 0 && DropY + height > windowHeight && oy - height >= 0) DropY = oy - height;
    List->SetBounds(0, 0, ClientWidth, height);
    SyncList();
    PopupWindow->AddPopupChild(List->Host.Get(), DropX, DropY);
    {
        const TFlagScope dropping(Dropping);
        Host->SetMouseCapture(true);
        Host->SetFocus();
        if (!ListOnly) Edit->SetFocus();
    }
    Invalidate();
    NotifyDroppedDown(true);
}

void TDrawnComboBox::CloseUp(bool accept) {
    if (!DroppedDown) return;
    DroppedDown = false;
    const int32_t chosen = List->ItemIndex;
    Host->SetMouseCapture(false);
    if (const TRef<TPlatformWindow> window = std::move(PopupWindow)) window->RemovePopupChild(List->Host.Get());
    if (accept && List->IsItem(chosen) && (chosen != ItemIndex || !ListOnly)) ChooseItem(chosen);
    Invalidate();
    NotifyDroppedDown(false);
}

bool TDrawnComboBox::PointToList(int32_t x, int32_t y, int32_t& lx, int32_t& ly) {
    int32_t ox = 0, oy = 0;
    Host->GetWindowOrigin(ox, oy);
    lx = x + ox - DropX;
    ly = y + oy - DropY;
    int32_t left = 0, top = 0, width = 0, height = 0;
    List->Host->GetBounds(left, top, width, height);
    return lx >= 0 && lx < width && ly >= 0 && ly < height;
}

bool TDrawnComboBox::ComboKey(int32_t key, int32_t shift) {
    const TRef<TDrawnComboBox> self(this);
    switch (key) {
    case PlatformKeyReturn:
    case PlatformKeyKeypadEnter:
    case PlatformKeyEscape:
        if (!DroppedDown) return false;
        CloseUp(key != PlatformKeyEscape);
        return true;
    case KeyF4:
        if (DroppedDown)
            CloseUp(true);
        else
            DropDown();
        return true;
    case Zyl::KeyDown:
        if (shift & ShiftStateAlt) {
            DropDown();
            return true;
        }
        [[fallthrough]];
    case Zyl::KeyUp:
    case Zyl::KeyPageUp:
    case Zyl::KeyPageDown: {
        if (DroppedDown) {
            List->KeyDown(key, 0);
            return true;
        }
        if (List->Count() == 0) return true;
        const int32_t step = key == Zyl::KeyUp ? -1 : key == Zyl::KeyDown ? 1 : key == Zyl::KeyPageUp ? -ClosedPage : ClosedPage;
        const int32_t next = List->ClampToItems(ItemIndex + step);
        if (next == ItemIndex) return true;
        SelectInList(next);
        ChooseItem(next);
        return true;
    }
    default: return false;
    }
}

// ---------------------------------------------------------------------------
// Events

void TDrawnComboBox::MouseDown(int32_t x, int32_t y, int32_t button, int32_t) {
    if (button != MouseButtonLeft) return;
    const TRef<TDrawnComboBox> self(this);
    if (DroppedDown) {
        int32_t lx = 0, ly = 0;
        if (PointToList(x, y, lx, ly))
            List->MouseMove(lx, ly, 0);
        else
            CloseUp(false);
        return;
    }
    const bool onButton = x >= ClientWidth - ButtonWidth && x < ClientWidth && y >= 0 && y < ClientHeight;
    if (!ListOnly && !onButton) return;
    Host->SetFocus();
    if (!ListOnly) Edit->SetFocus();
    DropDown();
}

void TDrawnComboBox::MouseUp(int32_t x, int32_t y, int32_t button, int32_t) {
    int32_t lx = 0, ly = 0;
    if (!DroppedDown || button != MouseButtonLeft || !PointToList(x, y, lx, ly)) return;
    const int32_t b = List->BorderWidth();
    if (ly < b || lx < b || lx >= List->ClientWidth - b) return;
    const int32_t row = List->RowAt(ly);
    if (!List->IsItem(row)) return;
    const TRef<TDrawnComboBox> self(this);
    SelectInList(row);
    CloseUp(true);
}

void TDrawnComboBox::MouseMove(int32_t x, int32_t y, int32_t shift) {
    int32_t lx = 0, ly = 0;
    if (DroppedDown && PointToList(x, y, lx, ly)) List->MouseMove(lx, ly, shift);
}

void TDrawnComboBox::MouseWheel(int32_t, int32_t, int32_t delta, int32_t) {
    if (!DroppedDown) return;
    List->TopIndex = List->ClampTop(List->TopIndex - (delta / 120) * 3);
    List->Invalidate();
}

void TDrawnComboBox::KeyDown(int32_t key, int32_t shift) {
    const bool homeOrEnd = key == KeyHome || key == KeyEnd;
    if (!homeOrEnd || !ListOnly || List->Count() == 0 || DroppedDown) {
        ComboKey(key, shift);
        return;
    }
    const int32_t target = key == KeyHome ? 0 : List->Count() - 1;
    SelectInList(target);
    if (target != ItemIndex) ChooseItem(target);
}

void TDrawnComboBox::KeyPress(char16_t ch) {
    if (!ListOnly || ch < 33) return;
    AddSearchChar(SearchText, LastKeyTime, App->TickCount(), ch);
    const int32_t found = List->FindPrefix(ItemIndex, SearchText);
    if (found < 0) return;
    SelectInList(found);
    if (found != ItemIndex) ChooseItem(found);
}

void TDrawnComboBox::FocusChanged(bool focused) {
    if (!focused && DroppedDown && ListOnly && !Dropping) CloseUp(false);
}

void TDrawnComboBox::Resized(int32_t, int32_t) { PlaceEdit(); }

void TDrawnComboBox::Paint(TPlatformCanvas* canvas) {
    const int32_t w = ClientWidth, h = ClientHeight;
    const TComboColors colors = ComboColors(*this);
    canvas->FillRect(0, 0, w, h, colors.Back);
    FillRing(canvas, 0, 0, w, h, colors.Frame);
    if (!ListOnly) {
        const int32_t face = ThemeColor(!Enabled ? 18 : DroppedDown ? 17 : 15);
        canvas->FillRect(w - ButtonWidth, 1, w - 1, h - 1, face);
        canvas->FillRect(w - ButtonWidth, 1, w - ButtonWidth + 1, h - 1, colors.Frame);
    }
    const int32_t c = h / 2;
    for (int32_t i = 0; i < 4; ++i) canvas->FillRect(w - 13 + i, c - 1 + i, w - 6 - i, c + i, colors.Arrow);
    if (!ListOnly) return;
    const TRef<TPlatformEvents> sink = Events;
    if (OwnerDraw && sink) {
        canvas->Save();
        canvas->ClipRect(2, 2, w - ButtonWidth, h - 2);
        const int32_t state = 8 + (Focused ? 3 : 0) + (Enabled ? 0 : DrawItemDisabled);
        sink->DrawItem(canvas, ItemIndex, 2, 2, w - ButtonWidth, h - 2, state);
        canvas->Restore();
        return;
    }
    const std::u16string text = List->GetItem(ItemIndex);
    if (text.empty()) return;
    ApplyDrawnFont(canvas, colors.Text);
    int32_t tw = 0, th = 0;
    canvas->TextExtent(text, tw, th);
    canvas->TextRect(6, 0, w - 19, h, 6, (h - th) / 2, text, false);
    if (Focused && Enabled && !DroppedDown) FillRing(canvas, 4, 3, w - 20, h - 3, FocusRectGrey);
}

} // namespace Zyl
