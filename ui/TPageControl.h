// A page control: tabs across the top, one page (tab sheet) shown below them.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/TControl.h"

namespace taskwell {

class TImageList;

class TTabSheet : public TWinControl {
public:
    explicit TTabSheet(std::string caption, int imageIndex = -1) : imageIndex_(imageIndex) {
        SetCaption(caption);
    }
    int ImageIndex() const { return imageIndex_; }

private:
    int imageIndex_;
};

class TPageControl : public TWinControl {
public:
    TTabSheet& AddPage(const std::string& caption, int imageIndex);
    int PageCount() const { return static_cast<int>(pages_.size()); }
    TTabSheet& Page(int index) const;
    // The position of a page of this control; -1 for another control's page.
    int PageIndexOf(const TTabSheet& page) const;

    int ActivePageIndex() const { return active_; }
    TTabSheet* ActivePage() const { return active_ < 0 ? nullptr : pages_[static_cast<size_t>(active_)]; }
    // Shows the page without firing OnChange, as a program's own choice of page does.
    void SetActivePageIndex(int index);
    // The user chose a tab: shows the page and fires OnChange. The backend and tests call this.
    void SelectPage(int index);

    TImageList* Images() const { return images_; }
    void SetImages(TImageList* images);

    std::function<void()> OnChange;

    // The tab strip takes the top 24 pixels; pages fill the rest inside a 4-pixel border.
    TRect ClientRect() const override;

private:
    std::vector<TTabSheet*> pages_;
    int active_ = -1;
    TImageList* images_ = nullptr;
};

}  // namespace taskwell
