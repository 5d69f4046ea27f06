// A list view: items with a caption, sub-item texts, an image and a data word, shown as large
// icons, small icons, a list or a report with columns.
//
// The selection is an item, not a position: when items are sorted or deleted, the selected item
// stays selected wherever it goes, and OnSelectItem runs whenever the selected item changes, for
// whatever reason (the user, the program, the item's deletion). Items are found by their whole
// caption through an index, so a search does not walk the list.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ui/TControl.h"

namespace taskwell {

class TImageList;
class TListView;

enum class TViewStyle { vsIcon, vsSmallIcon, vsList, vsReport };

struct TListColumn {
    std::string Caption;
    int Width = 50;
};

class TListItem {
public:
    int Index() const { return index_; }
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);
    const std::vector<std::string>& SubItems() const { return subItems_; }
    void SetSubItems(std::vector<std::string> v);
    void SetSubItem(int index, const std::string& v);
    int ImageIndex() const { return imageIndex_; }
    void SetImageIndex(int v);
    // A word the program attaches to the row (for instance the id of the record it shows).
    std::uintptr_t Data = 0;

private:
    friend class TListView;
    void Changed();
    TListView* owner_ = nullptr;
    int index_ = -1;
    std::string caption_;
    std::vector<std::string> subItems_;
    int imageIndex_ = -1;
};

class TListView : public TWinControl {
public:
    TListView();

    // Columns (report view).
    void AddColumn(const std::string& caption, int width);
    void ClearColumns();
    int ColumnCount() const { return static_cast<int>(columns_.size()); }
    const TListColumn& Column(int index) const;
    void SetColumnWidth(int index, int width);
    // The backend reports a width the user dragged.
    void PeerColumnWidth(int index, int width);

    // Items.
    TListItem& AddItem();
    // Inserts an item at the position (0 to ItemCount()), before the items from there on.
    TListItem& InsertItem(int index);
    void DeleteItem(int index);
    void ClearItems();
    int ItemCount() const { return static_cast<int>(items_.size()); }
    TListItem& Item(int index) const;

    // Suspends drawing while a batch of rows changes; calls nest. TListUpdate pairs them.
    void BeginUpdate();
    void EndUpdate();

    // Orders the items by a strict test (less(a, b): a belongs before b). The sort is stable: items
    // that are not ordered against each other keep their order.
    using TItemLess = std::function<bool(const TListItem&, const TListItem&)>;
    void Sort(const TItemLess& less);
    // True when no item belongs before the one in front of it.
    bool IsSorted(const TItemLess& less) const;

    // The first item from position start on whose caption is exactly text, or null.
    TListItem* FindCaption(int start, const std::string& text) const;

    // The first row shown at the top of the control (the scroll position).
    int TopIndex() const;
    void SetTopIndex(int index);
    // The backend reports that the user scrolled.
    void PeerTopIndex(int index);
    // Scrolls as little as needed for the row to show whole. The backend's control scrolls itself
    // and reports its top row; without one, the view holds PageRows rows.
    void MakeVisible(int index);
    // The rows the view shows whole, in the classic metrics of a report view: 17-pixel rows below
    // a 17-pixel header inside a 2-pixel edge (at least one).
    int PageRows() const;

    // Report view: a click anywhere in a row selects the whole row.
    bool RowSelect() const { return rowSelect_; }
    void SetRowSelect(bool v);

    TViewStyle ViewStyle() const { return style_; }
    void SetViewStyle(TViewStyle s);
    TImageList* LargeImages() const { return large_; }
    TImageList* SmallImages() const { return small_; }
    void SetImages(TImageList* large, TImageList* small);

    int SelectedIndex() const { return selected_; }
    TListItem* Selected() const { return selected_ < 0 ? nullptr : items_[static_cast<size_t>(selected_)].get(); }
    void SetSelectedIndex(int index);
    // The backend reports the user's selection.
    void PeerSelected(int index);
    std::function<void()> OnSelectItem;

    // The user clicked or double-clicked in the list, or clicked a column header (by position).
    // The backend and tests call the Peer* methods.
    void PeerClick();
    void PeerDblClick();
    void PeerColumnClick(int column);
    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    std::function<void(int column)> OnColumnClick;

private:
    friend class TListItem;
    void ItemChanged(const TListItem& item);
    void CaptionChanged(TListItem& item, const std::string& old);
    void Unindex(TListItem& item, const std::string& caption);
    // Runs an event handler, handing its errors to the application.
    void Raise(const std::function<void()>& handler);
    void SelectionChanged();
    // Tells the peer of a change; inside BeginUpdate/EndUpdate it suspends drawing first.
    void NotifyChange(Change what, int index = -1);
    std::vector<TListColumn> columns_;
    std::vector<std::unique_ptr<TListItem>> items_;
    std::unordered_map<std::string, std::vector<TListItem*>> byCaption_;
    TViewStyle style_ = TViewStyle::vsIcon;
    TImageList* large_ = nullptr;
    TImageList* small_ = nullptr;
    int selected_ = -1;
    int updating_ = 0;
    // Drawing is suspended for the batch under way (a change came inside it).
    bool suspended_ = false;
    int top_ = 0;
    bool rowSelect_ = false;
};

// Suspends a list's drawing for as long as it lives, on every path.
class TListUpdate {
public:
    explicit TListUpdate(TListView& list) : list_(list) { list_.BeginUpdate(); }
    ~TListUpdate() { list_.EndUpdate(); }
    TListUpdate(const TListUpdate&) = delete;
    TListUpdate& operator=(const TListUpdate&) = delete;

private:
    TListView& list_;
};

}  // namespace taskwell
