// The drawn combo box: its own face (frame, button, arrow and, list-only,
// the selected text), an edit part for the editable mode and a drawn list
// box shown as a popup child of the window while dropped down.
//
// Ownership: the combo holds its list, its edit part and the edit part's
// sink counted; that sink's way back to the combo is a plain pointer that
// the combo's destructor clears.
#pragma once

#include "Zyl.Platform.Drawn.Edit.h"
#include "Zyl.Platform.Drawn.Lists.h"

namespace Zyl {

constexpr int32_t KeyF4 = PlatformKeyF1 + 3;

class TDrawnComboBox;

// The edit part's sink: relays to the combo's owner and lets the combo
// take the list keys.
class TComboEditEvents : public TPlatformEvents {
public:
    TDrawnComboBox* Combo = nullptr;

    void KeyDown(int32_t key, int32_t shift, int32_t extra) override;
    void KeyUp(int32_t key, int32_t shift) override;
    void FocusChanged(bool focused) override;
    bool TakeKeyHandled(int32_t key, int32_t shift) override;
    char16_t KeyPress(char16_t ch) override;
    void Changed() override;

private:
    // Runs handle with the combo and its owner's sink (maybe nil), both
    // held counted while it runs; nothing once the combo is gone.
    template <class Handle>
    void WithCombo(Handle handle);
};

class TDrawnComboBox : public TDrawnControl {
public:
    TDrawnComboBox(TDrawnApp* app, System::TRef<TPlatformControl> host, System::TRef<TDrawnListBox> list);
    ~TDrawnComboBox() override;

    System::TRef<TDrawnListBox> List;
    System::TRef<TDrawnTextBox> Edit;
    System::TRef<TComboEditEvents> EditEvents;
    bool ListOnly = false;
    // Below 1: 8.
    int32_t DropDownCount = 8;
    int32_t ItemIndex = -1;
    bool DroppedDown = false;
    bool OwnerDraw = false;
    // Where the list stands in the window's client area.
    int32_t DropX = 0, DropY = 0;
    System::TRef<TPlatformWindow> PopupWindow;
    // The combo itself is writing the edit part's text.
    bool SettingText = false;
    // The combo is moving the focus while dropping down.
    bool Dropping = false;
    std::u16string SearchText;
    int64_t LastKeyTime = 0;

    void SetVisible(bool visible) override;
    void SetEnabled(bool enabled) override;
    void RemoveFromParent() override;
    void SetFocus() override;
    void SetText(const std::u16string& text) override;
    std::u16string GetText() override;
    void SetReadOnly(bool readOnly) override;
    void InsertItem(int32_t index, const std::u16string& text) override;
    void SetItem(int32_t index, const std::u16string& text) override;
    // The list's row height (SetItemHeight).
    void SetListOption(int32_t height) override;
    int32_t GetItemHeight() override;
    void SortItems(bool sorted) override;
    // Owner drawing of the face and the rows (SetOwnerDraw).
    void SetSorted(bool ownerDraw) override;
    void SetDropDownCount(int32_t count) override;
    void SetListOnly(bool listOnly) override;
    void SetDroppedDown(bool droppedDown) override;
    bool GetDroppedDown() override;
    void ClearItems() override;
    int32_t AddItem(const std::u16string& text) override;
    int32_t GetItemCount() override;
    std::u16string GetItem(int32_t index) override;
    void DeleteItem(int32_t index) override;
    void SetItemIndex(int32_t index) override;
    int32_t GetItemIndex() override;
    void SetSelection(int32_t start, int32_t length) override;
    int32_t GetSelStart() override;
    int32_t GetSelLength() override;
    void SetMaxLength(int32_t maxLength) override;
    void CutToClipboard() override;
    void CopyToClipboard() override;
    void PasteFromClipboard() override;
    void SelectAll() override;

    void Paint(TPlatformCanvas* canvas) override;
    void MouseDown(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseUp(int32_t x, int32_t y, int32_t button, int32_t shift) override;
    void MouseMove(int32_t x, int32_t y, int32_t shift) override;
    void MouseWheel(int32_t x, int32_t y, int32_t delta, int32_t shift) override;
    void KeyDown(int32_t key, int32_t shift) override;
    void KeyPress(char16_t ch) override;
    void FocusChanged(bool focused) override;
    void Resized(int32_t width, int32_t height) override;

    void DropDown();
    // Never takes a counted reference to the combo: the destructor runs it.
    void CloseUp(bool accept);
    void SyncList();
    void UpdateEditText();
    // The first item equal to text ignoring case; -1 when none.
    int32_t FindItem(const std::u16string& text) const;
    // (x, y) of the combo in the list's pixels; whether it falls on the list.
    bool PointToList(int32_t x, int32_t y, int32_t& lx, int32_t& ly);
    // The list keys; whether the combo handled the key.
    bool ComboKey(int32_t key, int32_t shift);
    void EditChanged();

private:
    // Index becomes the list's selection and scrolls into view.
    void SelectInList(int32_t index);
    // Index becomes the combo's item, as chosen by the user.
    void ChooseItem(int32_t index);
    void PlaceEdit();
    void NotifyChanged();
    void NotifyDroppedDown(bool droppedDown);
};

} // namespace Zyl
