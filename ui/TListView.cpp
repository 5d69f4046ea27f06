#include "ui/TListView.h"

#include "ui/Exception.h"
#include "ui/TApplication.h"

namespace taskwell {

void TListItem::Changed() {
    if (owner_) owner_->ItemChanged(*this);
}

void TListItem::SetCaption(const std::string& v) {
    if (v == caption_) return;
    caption_ = v;
    Changed();
}

void TListItem::SetSubItems(std::vector<std::string> v) {
    if (v == subItems_) return;
    subItems_ = std::move(v);
    Changed();
}

void TListItem::SetSubItem(int index, const std::string& v) {
    if (index < 0) return;
    if (static_cast<size_t>(index) >= subItems_.size()) subItems_.resize(static_cast<size_t>(index) + 1);
    if (subItems_[static_cast<size_t>(index)] == v) return;
    subItems_[static_cast<size_t>(index)] = v;
    Changed();
}

void TListItem::SetImageIndex(int v) {
    if (v == imageIndex_) return;
    imageIndex_ = v;
    Changed();
}

TListView::TListView() = default;

void TListView::AddColumn(const std::string& caption, int width) {
    columns_.push_back(TListColumn{caption, width});
    Notify(Change::Columns);
}

void TListView::ClearColumns() {
    columns_.clear();
    Notify(Change::Columns);
}

const TListColumn& TListView::Column(int index) const {
    if (index < 0 || index >= ColumnCount())
        throw EListError("List view column index out of bounds (" + std::to_string(index) + ")");
    return columns_[static_cast<size_t>(index)];
}

void TListView::SetColumnWidth(int index, int width) {
    Column(index);
    columns_[static_cast<size_t>(index)].Width = width;
    Notify(Change::Columns, index);
}

void TListView::PeerColumnWidth(int index, int width) {
    if (index >= 0 && index < ColumnCount()) columns_[static_cast<size_t>(index)].Width = width;
}

TListItem& TListView::AddItem() {
    auto item = std::make_unique<TListItem>();
    item->owner_ = this;
    item->index_ = ItemCount();
    TListItem& ref = *item;
    items_.push_back(std::move(item));
    Notify(Change::Items, ref.index_);
    return ref;
}

void TListView::DeleteItem(int index) {
    Item(index);
    items_.erase(items_.begin() + index);
    for (size_t i = static_cast<size_t>(index); i < items_.size(); ++i) items_[i]->index_ = static_cast<int>(i);
    if (selected_ == index)
        selected_ = -1;
    else if (selected_ > index)
        --selected_;
    Notify(Change::ItemDeleted, index);
}

void TListView::ClearItems() {
    items_.clear();
    selected_ = -1;
    Notify(Change::ItemDeleted, -1);
}

TListItem& TListView::Item(int index) const {
    if (index < 0 || index >= ItemCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return *items_[static_cast<size_t>(index)];
}

void TListView::ItemChanged(const TListItem& item) {
    Notify(Change::Items, item.index_);
}

void TListView::BeginUpdate() {
    if (updating_++ == 0) Notify(Change::Redraw, 0);
}

void TListView::EndUpdate() {
    if (updating_ > 0 && --updating_ == 0) Notify(Change::Redraw, 1);
}

void TListView::SetViewStyle(TViewStyle s) {
    if (s == style_) return;
    style_ = s;
    Notify(Change::ViewStyle);
}

void TListView::SetImages(TImageList* large, TImageList* small) {
    large_ = large;
    small_ = small;
    Notify(Change::Images);
}

void TListView::SetSelectedIndex(int index) {
    if (index < -1 || index >= ItemCount()) index = -1;
    if (index == selected_) return;
    selected_ = index;
    Notify(Change::Items, -1);
}

void TListView::PeerSelected(int index) {
    if (index < -1 || index >= ItemCount()) index = -1;
    if (index == selected_) return;
    selected_ = index;
    if (OnSelectItem) {
        if (TApplication* app = Application())
            app->Guarded(OnSelectItem);
        else
            OnSelectItem();
    }
}

}  // namespace taskwell
