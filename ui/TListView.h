// A list view: items with a caption, sub-item texts, an image and a data word, shown as large
// icons, small icons, a list or a report with columns.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
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
    void DeleteItem(int index);
    void ClearItems();
    int ItemCount() const { return static_cast<int>(items_.size()); }
    TListItem& Item(int index) const;

    // Suspends drawing while a batch of rows changes; calls nest.
    void BeginUpdate();
    void EndUpdate();

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

private:
    friend class TListItem;
    void ItemChanged(const TListItem& item);
    std::vector<TListColumn> columns_;
    std::vector<std::unique_ptr<TListItem>> items_;
    TViewStyle style_ = TViewStyle::vsIcon;
    TImageList* large_ = nullptr;
    TImageList* small_ = nullptr;
    int selected_ = -1;
    int updating_ = 0;
};

}  // namespace taskwell
