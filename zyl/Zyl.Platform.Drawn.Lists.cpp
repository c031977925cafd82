#include "Zyl.Platform.Drawn.Lists.h"

#include "Zyl.Platform.Drawn.Edit.h"

#include "System.Remainder.Text.h"

#include <algorithm>

namespace Zyl {

using System::TRef;

namespace {

constexpr int32_t ScrollBarWidth = 17;
constexpr int32_t DoubleClickMs = 499;

} // namespace

int32_t CompareListText(const std::u16string& a, const std::u16string& b) {
    // std::u16string compares char16_t, an unsigned type: unit by unit,
    // a prefix first.
    return System::LowerCase(a).compare(System::LowerCase(b));
}

bool StartsWithIgnoringCase(const std::u16string& text, const std::u16string& prefix) {
    return text.size() >= prefix.size() && System::LowerCase(text.substr(0, prefix.size())) == System::LowerCase(prefix);
}

int32_t DrawnMeasuredLineHeight() {
    const TRef<TPlatformCanvas> canvas = DrawnMeasureCanvas();
    if (!canvas) return 0;
    ApplyDrawnFont(canvas.Get(), 0);
    return DrawnLineHeight(canvas.Get());
}

void AddSearchChar(std::u16string& searchText, int64_t& lastKeyTime, int64_t now, char16_t ch) {
    if (now - lastKeyTime > TypeAheadMs) searchText.clear();
    lastKeyTime = now;
    searchText += ch;
}

TDrawnListBox::TDrawnListBox(TDrawnApp* app, TRef<TPlatformControl> host)
    : TDrawnControl(app, std::move(host)),
      VScroll(System::MakeRef<TDrawnScrollEngine>(this, true, [this](int32_t code, int32_t position) {
          ListScroll(code, position);
      })) {}

TDrawnListBox::~TDrawnListBox() { VScroll->StopRepeat(); }

int32_t TDrawnListBox::RowHeight() const {
    if (ItemHeight >= 1) return ItemHeight;
    return DrawnMeasuredLineHeight() + 1;
}

int32_t TDrawnListBox::VisibleRows() const {
    return std::max(1, (ClientHeight - 2 * BorderWidth()) / RowHeight());
}

// ---------------------------------------------------------------------------
// Items

void TDrawnListBox::InsertItem(int32_t index, const std::u16string& text) {
    if (index < 0 || index > Count()) index = Count();
    InOrder = InOrder && FitsBetween(index - 1, index, text);
    Items.insert(Items.begin() + index, TDrawnListItem{text, false});
    if (ItemIndex >= index) ++ItemIndex;
    Invalidate();
}

void TDrawnListBox::SetItem(int32_t index, const std::u16string& text) {
    if (!IsItem(index)) return;
    InOrder = InOrder && FitsBetween(index - 1, index + 1, text);
    Items[static_cast<size_t>(index)].Text = text;
    Invalidate();
}

void TDrawnListBox::SetMultiSelect(bool multiSelect) {
    MultiSelect = multiSelect;
    // Single selection shows exactly the current item selected; its flag is
    // set too, so that multiple selection later keeps what was shown.
    if (!MultiSelect)
        for (int32_t i = 0; i < Count(); ++i) Items[static_cast<size_t>(i)].Selected = i == ItemIndex;
    Invalidate();
}

bool TDrawnListBox::GetItemSelected(int32_t index) {
    if (!IsItem(index)) return false;
    return MultiSelect ? Items[static_cast<size_t>(index)].Selected : index == ItemIndex;
}

void TDrawnListBox::SetItemSelected(int32_t index, bool selected) {
    if (!IsItem(index)) return;
    if (MultiSelect)
        Items[static_cast<size_t>(index)].Selected = selected;
    else if (selected)
        SelectOnly(index);
    Invalidate();
}

int32_t TDrawnListBox::GetSelectedCount() {
    if (!MultiSelect) return ItemIndex >= 0 ? 1 : 0;
    return static_cast<int32_t>(std::count_if(Items.begin(), Items.end(), [](const auto& i) { return i.Selected; }));
}

void TDrawnListBox::SetTopIndex(int32_t index) {
    TopIndex = ClampTop(index);
    Invalidate();
}

int32_t TDrawnListBox::GetTopIndex() { return TopIndex; }

void TDrawnListBox::SetListOption(int32_t height) {
    ItemHeight = height;
    // The rows per page change with the height: keep the last page full.
    UpdateScrollBar();
    Invalidate();
}

int32_t TDrawnListBox::GetItemHeight() { return RowHeight(); }

void TDrawnListBox::SortItems(bool sorted) {
    Sorted = sorted;
    if (!sorted) return;
    // Stable: equal texts keep their order.
    std::stable_sort(Items.begin(), Items.end(),
                     [](const auto& a, const auto& b) { return CompareListText(a.Text, b.Text) < 0; });
    InOrder = true;
    ItemIndex = -1;
    // In single selection the flags follow the current item: with none, a
    // flag left set would paint its row as selected.
    if (!MultiSelect)
        for (auto& item : Items) item.Selected = false;
    Invalidate();
}

void TDrawnListBox::SetSorted(bool ownerDraw) {
    OwnerDraw = ownerDraw;
    Invalidate();
}

void TDrawnListBox::ClearItems() {
    Items.clear();
    InOrder = true;
    ItemIndex = -1;
    AnchorIndex = 0;
    TopIndex = 0;
    Invalidate();
}

int32_t TDrawnListBox::AddItem(const std::u16string& text) {
    int32_t index = Count();
    if (Sorted) {
        // Before the first item that compares greater. InsertItem and SetItem
        // may have left the items out of order: they are bisected only when
        // known to be in order, and searched one by one otherwise.
        const auto notGreater = [&](const TDrawnListItem& item) { return CompareListText(text, item.Text) >= 0; };
        const auto after = InOrder ? std::partition_point(Items.begin(), Items.end(), notGreater)
                                   : std::find_if_not(Items.begin(), Items.end(), notGreater);
        index = static_cast<int32_t>(after - Items.begin());
    }
    InsertItem(index, text);
    return index;
}

int32_t TDrawnListBox::GetItemCount() { return Count(); }

std::u16string TDrawnListBox::GetItem(int32_t index) {
    return IsItem(index) ? Items[static_cast<size_t>(index)].Text : std::u16string();
}

void TDrawnListBox::DeleteItem(int32_t index) {
    if (!IsItem(index)) return;
    Items.erase(Items.begin() + index);
    if (ItemIndex == index)
        ItemIndex = -1;
    else if (ItemIndex > index)
        --ItemIndex;
    if (AnchorIndex > index) --AnchorIndex;
    KeepIndicesInRange();
    TopIndex = ClampTop(TopIndex);
    Invalidate();
}

bool TDrawnListBox::FitsBetween(int32_t before, int32_t after, const std::u16string& text) const {
    return (!IsItem(before) || CompareListText(Items[static_cast<size_t>(before)].Text, text) <= 0) &&
           (!IsItem(after) || CompareListText(text, Items[static_cast<size_t>(after)].Text) <= 0);
}

void TDrawnListBox::KeepIndicesInRange() { AnchorIndex = std::clamp(AnchorIndex, 0, std::max(0, Count() - 1)); }

void TDrawnListBox::SetItemIndex(int32_t index) {
    if (!IsItem(index)) {
        for (auto& item : Items) item.Selected = false;
        ItemIndex = -1;
        Invalidate();
        return;
    }
    if (!MultiSelect) SelectOnly(index);
    ItemIndex = AnchorIndex = index;
    MakeVisible(index);
    Invalidate();
}

int32_t TDrawnListBox::GetItemIndex() { return ItemIndex; }

void TDrawnListBox::SetBorder(bool border) {
    Border = border;
    UpdateScrollBar();
    Invalidate();
}

// ---------------------------------------------------------------------------
// Geometry and selection

int32_t TDrawnListBox::ClampTop(int32_t top) const { return std::clamp(top, 0, std::max(0, Count() - VisibleRows())); }

void TDrawnListBox::MakeVisible(int32_t index) {
    if (index < 0) return;
    const int32_t v = VisibleRows();
    if (index < TopIndex)
        TopIndex = index;
    else if (index >= TopIndex + v)
        TopIndex = index - v + 1;
    TopIndex = ClampTop(TopIndex);
}

void TDrawnListBox::UpdateScrollBar() {
    const int32_t b = BorderWidth(), v = VisibleRows();
    VScrollVisible = v < Count();
    VScroll->Left = ClientWidth - ScrollBarWidth - b;
    VScroll->Top = b;
    VScroll->Length = ClientHeight - 2 * b;
    VScroll->Thickness = ScrollBarWidth;
    VScroll->Min = 0;
    VScroll->Max = Count() - 1;
    VScroll->PageSize = v;
    TopIndex = ClampTop(TopIndex);
    VScroll->Position = std::clamp(TopIndex, 0, std::max(0, VScroll->HighestPosition()));
}

void TDrawnListBox::ListScroll(int32_t code, int32_t position) {
    const int32_t v = VisibleRows();
    switch (code) {
    case 0: --TopIndex; break;
    case 1: ++TopIndex; break;
    case 2: TopIndex -= v; break;
    case 3: TopIndex += v; break;
    case 4:
    case 5: TopIndex = position; break;
    case 6: TopIndex = 0; break;
    case 7: TopIndex = Count(); break;
    default: break;
    }
    TopIndex = ClampTop(TopIndex);
    VScroll->Position = std::clamp(TopIndex, 0, std::max(0, VScroll->HighestPosition()));
    Invalidate();
}

void TDrawnListBox::SelectOnly(int32_t index) {
    for (auto& item : Items) item.Selected = false;
    Items[static_cast<size_t>(index)].Selected = true;
    ItemIndex = index;
}

void TDrawnListBox::NotifyChanged() {
    if (const TRef<TPlatformEvents> sink = Events) sink->Changed();
}

void TDrawnListBox::SelectTo(int32_t index, bool extend) {
    if (Items.empty()) return;
    index = ClampToItems(index);
    if (MultiSelect && extend) {
        KeepIndicesInRange();
        const int32_t low = std::min(AnchorIndex, index), high = std::max(AnchorIndex, index);
        for (int32_t i = 0; i < Count(); ++i) Items[static_cast<size_t>(i)].Selected = i >= low && i <= high;
        ItemIndex = index;
    } else {
        SelectOnly(index);
        AnchorIndex = index;
    }
    MakeVisible(index);
    Invalidate();
    NotifyChanged();
}

int32_t TDrawnListBox::FindPrefix(int32_t start, const std::u16string& text) const {
    const int32_t n = Count();
    if (start < 0) start = -1;
    for (int32_t k = 1; k <= n; ++k) {
        const int32_t i = static_cast<int32_t>((int64_t{start} + k) % n);
        if (StartsWithIgnoringCase(Items[static_cast<size_t>(i)].Text, text)) return i;
    }
    return -1;
}

// ---------------------------------------------------------------------------
// Input

void TDrawnListBox::MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) {
    if (button != MouseButtonLeft) return;
    const TRef<TDrawnListBox> self(this);
    if (VScrollVisible && VScroll->MouseDown(x, y)) return;
    if (!InCombo) Host->SetFocus();
    if (!InsideFrame(x, y)) return;
    const int32_t row = RowAt(y);
    if (!IsItem(row)) return;
    const int64_t now = App->TickCount();
    if (MultiSelect && (shift & ShiftStateCtrl)) {
        Items[static_cast<size_t>(row)].Selected = !Items[static_cast<size_t>(row)].Selected;
        ItemIndex = AnchorIndex = row;
        Invalidate();
        NotifyChanged();
    } else if (MultiSelect && (shift & ShiftStateShift)) {
        SelectTo(row, true);
    } else if (MultiSelect || row != ItemIndex) {
        SelectOnly(row);
        AnchorIndex = row;
        MakeVisible(row);
        Invalidate();
        NotifyChanged();
    }
    if (!InCombo)
        if (const TRef<TPlatformEvents> sink = Events) sink->Click();
    if (row == LastClickIndex && now - LastClickTime <= DoubleClickMs) {
        DoubleClickHandled = true;
        if (const TRef<TPlatformEvents> sink = Events) sink->DoubleClick();
        LastClickTime = 0;
    } else {
        LastClickTime = now;
        LastClickIndex = row;
    }
    MouseSelecting = true;
    Host->SetMouseCapture(true);
}

void TDrawnListBox::MouseMove(int32_t x, int32_t y, int32_t) {
    VScroll->MouseMove(x, y);
    if (MouseSelecting && !MultiSelect) {
        // An emptied list has no row to drag to.
        if (Items.empty()) return;
        const int32_t row = y < ClientHeight ? TopIndex + (y - 1) / RowHeight() : TopIndex + VisibleRows();
        const int32_t index = ClampToItems(row);
        if (index == ItemIndex) return;
        SelectOnly(index);
        MakeVisible(index);
        Invalidate();
        NotifyChanged();
    } else if (InCombo && !MouseSelecting) {
        if (VScroll->PressedPart != 0 || !InsideFrame(x, y)) return;
        const int32_t row = RowAt(y);
        if (!IsItem(row) || row == ItemIndex) return;
        SelectOnly(row);
        Invalidate();
    }
}

void TDrawnListBox::MouseUp(int32_t x, int32_t y, int32_t, int32_t) {
    if (VScroll->PressedPart != 0) VScroll->MouseUp(x, y);
    if (!MouseSelecting) return;
    MouseSelecting = false;
    Host->SetMouseCapture(false);
}

void TDrawnListBox::MouseWheel(int32_t, int32_t, int32_t delta, int32_t) {
    TopIndex = ClampTop(TopIndex - (delta / 120) * 3);
    Invalidate();
}

void TDrawnListBox::MouseLeave() {
    if (VScroll->HotPart == 0) return;
    VScroll->HotPart = 0;
    Invalidate();
}

void TDrawnListBox::KeyDown(int32_t key, int32_t shift) {
    const bool extend = (shift & ShiftStateShift) != 0;
    const int32_t v = VisibleRows();
    switch (key) {
    case KeySpace:
        if (!MultiSelect || !IsItem(ItemIndex)) return;
        Items[static_cast<size_t>(ItemIndex)].Selected = !Items[static_cast<size_t>(ItemIndex)].Selected;
        Invalidate();
        NotifyChanged();
        return;
    case Zyl::KeyHome: SelectTo(0, extend); return;
    case Zyl::KeyUp: SelectTo(ItemIndex - 1, extend); return;
    case Zyl::KeyDown: SelectTo(ItemIndex + 1, extend); return;
    case Zyl::KeyPageUp: SelectTo(ItemIndex - v, extend); return;
    case Zyl::KeyPageDown: SelectTo(ItemIndex + v, extend); return;
    case Zyl::KeyEnd: SelectTo(Count() - 1, extend); return;
    default: return;
    }
}

void TDrawnListBox::KeyPress(char16_t ch) {
    if (ch < 33 || Items.empty()) return;
    AddSearchChar(SearchText, LastKeyTime, App->TickCount(), ch);
    // The current item is tried first, so typing more of its name keeps it.
    int32_t found = FindPrefix(ItemIndex - 1, SearchText);
    if (found < 0 && SearchText.size() > 1) {
        // Repeating a letter steps through the items that begin with it.
        SearchText = std::u16string(1, ch);
        found = FindPrefix(ItemIndex, SearchText);
    }
    if (found < 0) return;
    SelectOnly(found);
    AnchorIndex = found;
    MakeVisible(found);
    Invalidate();
    NotifyChanged();
}

void TDrawnListBox::Resized(int32_t, int32_t) { UpdateScrollBar(); }

// ---------------------------------------------------------------------------
// Painting

void TDrawnListBox::Paint(TPlatformCanvas* canvas) {
    UpdateScrollBar();
    const int32_t b = BorderWidth(), h = RowHeight(), bottom = ClientHeight - b;
    const int32_t r = ClientWidth - b - (VScrollVisible ? ScrollBarWidth : 0);
    canvas->FillRect(0, 0, ClientWidth, ClientHeight, ThemeColor(0));
    if (Border) FillRing(canvas, 0, 0, ClientWidth, ClientHeight, ThemeColor(Enabled ? 26 : 22));
    canvas->Save();
    canvas->ClipRect(b, b, r, bottom);
    const TRef<TPlatformEvents> sink = Events;
    for (int32_t index = TopIndex, y = b; index < Count() && y < bottom; ++index, y += h) {
        const TDrawnListItem& item = Items[static_cast<size_t>(index)];
        const bool selected = item.Selected || (!MultiSelect && index == ItemIndex);
        const int32_t back = ThemeColor(selected ? 7 : 0);
        const int32_t textColor = ThemeColor(!Enabled ? 62 : selected ? 9 : 2);
        canvas->FillRect(b, y, r, y + h, back);
        const bool focusRow = Focused && index == ItemIndex;
        if (OwnerDraw && sink) {
            const int32_t state = (selected ? DrawItemSelected : 0) | (focusRow ? DrawItemFocused : 0) |
                                  (Enabled ? 0 : DrawItemDisabled);
            sink->DrawItem(canvas, index, b, y, r, y + h, state);
        } else if (!item.Text.empty()) {
            ApplyDrawnFont(canvas, textColor);
            int32_t tw = 0, th = 0;
            canvas->TextExtent(item.Text, tw, th);
            canvas->TextRect(b + 3, y, r, y + h, b + 3, y + (h - th) / 2, item.Text, false);
        }
        if (focusRow && !InCombo) FillRing(canvas, b, y, r, y + h, FocusRectGrey);
    }
    canvas->Restore();
    if (VScrollVisible) VScroll->Paint(canvas);
}

} // namespace Zyl
