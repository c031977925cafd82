// The drawn list box: a scrolling list of text items with one vertical
// scroll engine along its right edge, single or multiple selection,
// keyboard navigation, type-ahead and optional owner drawing. The combo
// box's drop-down is one too, switched to track the pointer (InCombo).
#pragma once

#include "Zyl.Platform.Drawn.h"

#include <algorithm>
#include <string>
#include <vector>

namespace Zyl {

struct TDrawnListItem {
    std::u16string Text;
    bool Selected = false;
};

// The order of sorting: both texts lower-cased, then unit by unit as
// unsigned UTF-16 values, a prefix first. Negative, 0 or positive.
int32_t CompareListText(const std::u16string& a, const std::u16string& b);

// Whether text starts with prefix, both lower-cased.
bool StartsWithIgnoringCase(const std::u16string& text, const std::u16string& prefix);

// The one-pixel focus rectangle of list rows and the combo's face.
constexpr int32_t FocusRectGrey = 0x808080;

// Type-ahead text is forgotten after this long without a character.
constexpr int64_t TypeAheadMs = 1000;

// Appends ch to the type-ahead text, starting afresh after a pause.
void AddSearchChar(std::u16string& searchText, int64_t& lastKeyTime, int64_t now, char16_t ch);

// The line height of the drawn font on the shared measuring canvas; 0
// without platform services.
int32_t DrawnMeasuredLineHeight();

class TDrawnListBox : public TDrawnControl {
public:
    TDrawnListBox(TDrawnApp* app, System::TRef<TPlatformControl> host);
    ~TDrawnListBox() override;

    std::vector<TDrawnListItem> Items;
    int32_t ItemIndex = -1;
    // The fixed end of a Shift range; always an item while there are any.
    int32_t AnchorIndex = 0;
    int32_t TopIndex = 0;
    // Below 1: the drawn font's line height plus 1.
    int32_t ItemHeight = 0;
    bool MultiSelect = false;
    bool Sorted = false;
    // The items are known to be in sorted order, so AddItem may bisect them.
    bool InOrder = true;
    bool OwnerDraw = false;
    bool MouseSelecting = false;
    bool Border = true;
    bool InCombo = false;
    System::TRef<TDrawnScrollEngine> VScroll;
    bool VScrollVisible = false;
    int64_t LastClickTime = 0;
    int32_t LastClickIndex = -1;
    std::u16string SearchText;
    int64_t LastKeyTime = 0;

    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    bool IsItem(int32_t index) const { return index >= 0 && index < Count(); }
    // Index moved onto the nearest item; 0 for an empty list.
    int32_t ClampToItems(int32_t index) const { return std::max(0, std::min(index, Count() - 1)); }
    int32_t BorderWidth() const { return Border ? 1 : 0; }
    int32_t RowHeight() const;
    int32_t VisibleRows() const;

    void InsertItem(int32_t index, const std::u16string& text) override;
    void SetItem(int32_t index, const std::u16string& text) override;
    void SetMultiSelect(bool multiSelect) override;
    bool GetItemSelected(int32_t index) override;
    void SetItemSelected(int32_t index, bool selected) override;
    int32_t GetSelectedCount() override;
    void SetTopIndex(int32_t index) override;
    int32_t GetTopIndex() override;
    // The row height (SetItemHeight).
    void SetListOption(int32_t height) override;
    int32_t GetItemHeight() override;
    void SortItems(bool sorted) override;
    // Owner drawing (SetOwnerDraw).
    void SetSorted(bool ownerDraw) override;
    void ClearItems() override;
    int32_t AddItem(const std::u16string& text) override;
    int32_t GetItemCount() override;
    std::u16string GetItem(int32_t index) override;
    void DeleteItem(int32_t index) override;
    void SetItemIndex(int32_t index) override;
    int32_t GetItemIndex() override;
    void SetBorder(bool border) override;

    void Paint(TPlatformCanvas* canvas) override;
    void MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseMove(int32_t x, int32_t y, int32_t shift) override;
    void MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) override;
    void MouseLeave() override;
    void KeyDown(int32_t key, int32_t shift) override;
    void KeyPress(char16_t ch) override;
    void Resized(int32_t width, int32_t height) override;

    int32_t ClampTop(int32_t top) const;
    void MakeVisible(int32_t index);
    void UpdateScrollBar();
    void SelectTo(int32_t index, bool extend);
    // The first item after start (wrapping, each item once) that begins
    // with text; -1 when none.
    int32_t FindPrefix(int32_t start, const std::u16string& text) const;
    void ListScroll(int32_t code, int32_t position);
    // Index becomes the only selected item and the current one.
    void SelectOnly(int32_t index);
    // The row at y in the list's pixels (not checked against the items).
    int32_t RowAt(int32_t y) const { return TopIndex + (y - BorderWidth()) / RowHeight(); }
    bool InsideFrame(int32_t x, int32_t y) const {
        const int32_t b = BorderWidth();
        return y >= b && x >= b && x < ClientWidth - b;
    }

private:
    void NotifyChanged();
    // Anchor and current item back inside the items after a removal.
    void KeepIndicesInRange();
    // Whether text stays in sorted order between the items before and after
    // (either may lie outside the items).
    bool FitsBetween(int32_t before, int32_t after, const std::u16string& text) const;
};

} // namespace Zyl
