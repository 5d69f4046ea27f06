#include "ui/TImageList.h"

#include "ui/Exception.h"
#include "ui/TApplication.h"

namespace taskwell {

TImageList::TImageList(TApplication& app, int width, int height) : app_(app), width_(width), height_(height) {
    peer_ = app_.Backend().CreatePeer(*this);
}

TImageList::~TImageList() = default;

int TImageList::AddIcon(HICON icon) {
    if (!app_.Backend().IsUsableIcon(icon)) return -1;
    icons_.push_back(icon);
    int index = Count() - 1;
    if (peer_) peer_->Changed(Change::Images, index);
    return index;
}

void TImageList::Delete(int index) {
    if (index < 0 || index >= Count())
        throw EListError("Image list index out of bounds (" + std::to_string(index) + ")");
    icons_.erase(icons_.begin() + index);
    if (peer_) peer_->Changed(Change::ItemDeleted, index);
}

void TImageList::Clear() {
    icons_.clear();
    if (peer_) peer_->Changed(Change::ItemDeleted, -1);
}

HICON TImageList::Icon(int index) const {
    if (index < 0 || index >= Count())
        throw EListError("Image list index out of bounds (" + std::to_string(index) + ")");
    return icons_[static_cast<size_t>(index)];
}

}  // namespace taskwell
