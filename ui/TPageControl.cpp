#include "ui/TPageControl.h"

#include "ui/Exception.h"
#include "ui/TApplication.h"

namespace taskwell {

TTabSheet& TPageControl::AddPage(const std::string& caption, int imageIndex) {
    TTabSheet& page = Add<TTabSheet>(caption, imageIndex);
    page.SetAlign(TAlign::alClient);
    pages_.push_back(&page);
    if (active_ < 0) {
        active_ = 0;
    } else {
        page.SetVisible(false);
    }
    Notify(Change::Structure);
    return page;
}

TTabSheet& TPageControl::Page(int index) const {
    if (index < 0 || index >= PageCount())
        throw EListError("Page index out of range (" + std::to_string(index) + ")");
    return *pages_[static_cast<size_t>(index)];
}

int TPageControl::PageIndexOf(const TTabSheet& page) const {
    for (int i = 0; i < PageCount(); ++i)
        if (pages_[static_cast<size_t>(i)] == &page) return i;
    return -1;
}

void TPageControl::SetActivePageIndex(int index) {
    if (index < 0 || index >= PageCount() || index == active_) return;
    active_ = index;
    for (int i = 0; i < PageCount(); ++i) pages_[static_cast<size_t>(i)]->SetVisible(i == active_);
    Notify(Change::ActivePage);
}

void TPageControl::SelectPage(int index) {
    if (index < 0 || index >= PageCount()) return;
    bool changed = index != active_;
    SetActivePageIndex(index);
    if (changed && OnChange) {
        if (TApplication* app = Application())
            app->Guarded(OnChange);
        else
            OnChange();
    }
}

void TPageControl::SetImages(TImageList* images) {
    images_ = images;
    Notify(Change::Images);
}

TRect TPageControl::ClientRect() const {
    constexpr int kTabs = 24;
    constexpr int kBorder = 4;
    const int border = Scaled(kBorder);
    TRect r{border, Scaled(kTabs) + border, Width() - border, Height() - border};
    if (r.Right < r.Left) r.Right = r.Left;
    if (r.Bottom < r.Top) r.Bottom = r.Top;
    return r;
}

}  // namespace taskwell
