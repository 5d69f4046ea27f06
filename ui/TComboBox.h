// An editable drop-down combo box: a one-line edit field and a list of items that drops down below
// it. The user may type any text or pick an item, which puts the item's text in the field.
//
// The selection follows its item when items are inserted or deleted before it; deleting the
// selected item or clearing the list leaves nothing selected, and the field keeps its text. While
// an item is selected the field shows exactly that item's text: a text that differs (set by the
// program or typed by the user) leaves nothing selected.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/TControl.h"

namespace taskwell {

class TComboBox : public TControl {
public:
    TComboBox() = default;

    int ItemCount() const { return static_cast<int>(items_.size()); }
    // An index outside the list raises EListError.
    const std::string& Item(int index) const;
    void AddItem(const std::string& text);
    // Inserts before the item at index; index ItemCount() appends.
    void InsertItem(int index, const std::string& text);
    void DeleteItem(int index);
    void ClearItems();

    // The selected item, -1 for none. Selecting an item puts its text in the field; -1 keeps the
    // text. An index outside -1 .. ItemCount() - 1 raises EListError.
    int ItemIndex() const { return itemIndex_; }
    void SetItemIndex(int index);

    // The edit field's text (the control's caption).
    const std::string& Text() const { return Caption(); }
    void SetText(const std::string& text);

    // How many items the dropped-down list shows without scrolling (taken when the control is
    // placed: set it before the form is shown).
    int DropDownCount = 8;

    // The user changed the text, by typing or by picking an item.
    std::function<void()> OnChange;

    // The user typed: the field now holds text. The backend and tests call this.
    void PeerText(const std::string& text);
    // The user picked the item at index from the list (-1: the list lost its selection); the field
    // shows the item's text. An index the list does not have changes nothing.
    void PeerItemIndex(int index);

private:
    void CheckIndex(int index, int last) const;
    // Nothing stays selected when the text is not the selected item's.
    void DropStaleSelection();
    void Changed();
    std::vector<std::string> items_;
    int itemIndex_ = -1;
};

}  // namespace taskwell
