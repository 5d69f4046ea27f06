#include "ui/TComboBox.h"

#include "ui/Exception.h"
#include "ui/TApplication.h"

namespace taskwell {

void TComboBox::CheckIndex(int index, int last) const {
    if (index < 0 || index > last)
        throw EListError("Combo box index out of bounds (" + std::to_string(index) + ")");
}

const std::string& TComboBox::Item(int index) const {
    CheckIndex(index, ItemCount() - 1);
    return items_[static_cast<size_t>(index)];
}

void TComboBox::AddItem(const std::string& text) {
    InsertItem(ItemCount(), text);
}

void TComboBox::InsertItem(int index, const std::string& text) {
    CheckIndex(index, ItemCount());
    items_.insert(items_.begin() + index, text);
    if (itemIndex_ >= index) ++itemIndex_;
    Notify(Change::Items, index);
}

void TComboBox::DeleteItem(int index) {
    CheckIndex(index, ItemCount() - 1);
    items_.erase(items_.begin() + index);
    if (itemIndex_ == index)
        itemIndex_ = -1;
    else if (itemIndex_ > index)
        --itemIndex_;
    Notify(Change::ItemDeleted, index);
}

void TComboBox::ClearItems() {
    items_.clear();
    itemIndex_ = -1;
    Notify(Change::Items, -1);
}

void TComboBox::SetItemIndex(int index) {
    if (index != -1) CheckIndex(index, ItemCount() - 1);
    if (index == itemIndex_) return;
    itemIndex_ = index;
    if (index >= 0) SetCaption(items_[static_cast<size_t>(index)]);
    Notify(Change::ItemIndex);
}

void TComboBox::DropStaleSelection() {
    if (itemIndex_ < 0 || items_[static_cast<size_t>(itemIndex_)] == Text()) return;
    itemIndex_ = -1;
    Notify(Change::ItemIndex);
}

void TComboBox::SetText(const std::string& text) {
    SetCaption(text);
    DropStaleSelection();
}

void TComboBox::Changed() {
    if (!OnChange) return;
    if (TApplication* app = Application())
        app->Guarded(OnChange);
    else
        OnChange();
}

void TComboBox::PeerText(const std::string& text) {
    if (text == Text()) return;
    // The native field already shows the text: the widget takes it without echoing it back, and
    // the native list has dropped its selection by itself.
    TakeCaption(text);
    if (itemIndex_ >= 0 && items_[static_cast<size_t>(itemIndex_)] != text) itemIndex_ = -1;
    Changed();
}

void TComboBox::PeerItemIndex(int index) {
    if (index < -1 || index >= ItemCount() || index == itemIndex_) return;
    itemIndex_ = index;
    if (index < 0) return;
    TakeCaption(items_[static_cast<size_t>(index)]);
    Changed();
}

}  // namespace taskwell
