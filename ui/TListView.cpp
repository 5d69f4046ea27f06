#include "ui/TListView.h"

#include <algorithm>

#include "ui/Exception.h"
#include "ui/TApplication.h"

namespace taskwell {

void TListItem::Changed() {
    if (owner_) owner_->ItemChanged(*this);
}

void TListItem::SetCaption(const std::string& v) {
    if (v == caption_) return;
    std::string old = std::move(caption_);
    caption_ = v;
    if (owner_) owner_->CaptionChanged(*this, old);
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
    NotifyChange(Change::Columns);
}

void TListView::ClearColumns() {
    columns_.clear();
    NotifyChange(Change::Columns);
}

const TListColumn& TListView::Column(int index) const {
    if (index < 0 || index >= ColumnCount())
        throw EListError("List view column index out of bounds (" + std::to_string(index) + ")");
    return columns_[static_cast<size_t>(index)];
}

void TListView::SetColumnWidth(int index, int width) {
    Column(index);
    columns_[static_cast<size_t>(index)].Width = width;
    NotifyChange(Change::Columns, index);
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
    byCaption_[ref.caption_].push_back(&ref);
    NotifyChange(Change::Items, ref.index_);
    return ref;
}

TListItem& TListView::InsertItem(int index) {
    if (index < 0 || index > ItemCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    if (index == ItemCount()) return AddItem();
    auto item = std::make_unique<TListItem>();
    item->owner_ = this;
    TListItem& ref = *item;
    items_.insert(items_.begin() + index, std::move(item));
    for (size_t i = static_cast<size_t>(index); i < items_.size(); ++i) items_[i]->index_ = static_cast<int>(i);
    if (selected_ >= index) ++selected_;
    byCaption_[ref.caption_].push_back(&ref);
    NotifyChange(Change::ItemInserted, index);
    return ref;
}

void TListView::DeleteItem(int index) {
    TListItem& item = Item(index);
    Unindex(item, item.caption_);
    items_.erase(items_.begin() + index);
    for (size_t i = static_cast<size_t>(index); i < items_.size(); ++i) items_[i]->index_ = static_cast<int>(i);
    const bool lostSelection = selected_ == index;
    if (lostSelection)
        selected_ = -1;
    else if (selected_ > index)
        --selected_;
    NotifyChange(Change::ItemDeleted, index);
    if (lostSelection) SelectionChanged();
}

void TListView::ClearItems() {
    const bool lostSelection = selected_ >= 0;
    items_.clear();
    byCaption_.clear();
    selected_ = -1;
    top_ = 0;
    NotifyChange(Change::ItemDeleted, -1);
    if (lostSelection) SelectionChanged();
}

TListItem& TListView::Item(int index) const {
    if (index < 0 || index >= ItemCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return *items_[static_cast<size_t>(index)];
}

void TListView::ItemChanged(const TListItem& item) {
    NotifyChange(Change::Items, item.index_);
}

void TListView::Unindex(TListItem& item, const std::string& caption) {
    auto bucket = byCaption_.find(caption);
    if (bucket == byCaption_.end()) return;
    auto& items = bucket->second;
    items.erase(std::remove(items.begin(), items.end(), &item), items.end());
    if (items.empty()) byCaption_.erase(bucket);
}

void TListView::CaptionChanged(TListItem& item, const std::string& old) {
    Unindex(item, old);
    byCaption_[item.caption_].push_back(&item);
}

TListItem* TListView::FindCaption(int start, const std::string& text) const {
    auto bucket = byCaption_.find(text);
    if (bucket == byCaption_.end()) return nullptr;
    TListItem* first = nullptr;
    for (TListItem* item : bucket->second)
        if (item->index_ >= start && (!first || item->index_ < first->index_)) first = item;
    return first;
}

void TListView::Sort(const TItemLess& less) {
    if (IsSorted(less)) return;
    TListItem* selected = Selected();
    std::stable_sort(items_.begin(), items_.end(),
                     [&](const std::unique_ptr<TListItem>& a, const std::unique_ptr<TListItem>& b) {
                         return less(*a, *b);
                     });
    for (size_t i = 0; i < items_.size(); ++i) items_[i]->index_ = static_cast<int>(i);
    if (selected) selected_ = selected->index_;
    // The peer compares every row with what it shows and sends only the texts that moved.
    NotifyChange(Change::Items, -1);
}

bool TListView::IsSorted(const TItemLess& less) const {
    for (size_t i = 1; i < items_.size(); ++i)
        if (less(*items_[i], *items_[i - 1])) return false;
    return true;
}

int TListView::TopIndex() const {
    if (items_.empty()) return 0;
    return std::min(top_, ItemCount() - 1);
}

void TListView::SetTopIndex(int index) {
    if (index < 0) index = 0;
    if (index == top_) return;
    top_ = index;
    NotifyChange(Change::TopIndex);
}

void TListView::PeerTopIndex(int index) {
    top_ = index < 0 ? 0 : index;
}

int TListView::PageRows() const {
    constexpr int kEdge = 2, kHeader = 17, kRow = 17;
    const int header = style_ == TViewStyle::vsReport ? Scaled(kHeader) : 0;
    return std::max((Height() - 2 * Scaled(kEdge) - header) / Scaled(kRow), 1);
}

void TListView::MakeVisible(int index) {
    if (index < 0 || index >= ItemCount()) return;
    const int top = TopIndex();
    if (index < top)
        top_ = index;
    else if (index >= top + PageRows())
        top_ = index - PageRows() + 1;
    NotifyChange(Change::EnsureVisible, index);
}

void TListView::SetRowSelect(bool v) {
    if (v == rowSelect_) return;
    rowSelect_ = v;
    NotifyChange(Change::ViewStyle);
}

// Drawing is suspended only once something changes inside the batch: a batch that changes nothing
// (a refresh that finds every row as it was) costs the control no repaint.
void TListView::BeginUpdate() {
    ++updating_;
}

void TListView::EndUpdate() {
    if (updating_ == 0 || --updating_ > 0) return;
    if (!suspended_) return;
    suspended_ = false;
    Notify(Change::Redraw, 1);
}

void TListView::NotifyChange(Change what, int index) {
    if (updating_ > 0 && !suspended_) {
        suspended_ = true;
        Notify(Change::Redraw, 0);
    }
    Notify(what, index);
}

void TListView::SetViewStyle(TViewStyle s) {
    if (s == style_) return;
    style_ = s;
    NotifyChange(Change::ViewStyle);
}

void TListView::SetImages(TImageList* large, TImageList* small) {
    large_ = large;
    small_ = small;
    NotifyChange(Change::Images);
}

void TListView::Raise(const std::function<void()>& handler) {
    if (!handler) return;
    if (TApplication* app = Application())
        app->Guarded(handler);
    else
        handler();
}

void TListView::SelectionChanged() {
    Raise(OnSelectItem);
}

void TListView::SetSelectedIndex(int index) {
    if (index < -1 || index >= ItemCount()) index = -1;
    if (index == selected_) return;
    selected_ = index;
    NotifyChange(Change::Items, -1);
    SelectionChanged();
}

void TListView::PeerSelected(int index) {
    if (index < -1 || index >= ItemCount()) index = -1;
    if (index == selected_) return;
    selected_ = index;
    SelectionChanged();
}

void TListView::PeerClick() {
    Raise(OnClick);
}

void TListView::PeerDblClick() {
    Raise(OnDblClick);
}

void TListView::PeerColumnClick(int column) {
    if (column < 0 || column >= ColumnCount() || !OnColumnClick) return;
    Raise([&] { OnColumnClick(column); });
}

}  // namespace taskwell
