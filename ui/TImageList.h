// A list of same-sized images (icons). Adding returns the new image's index; deleting moves every
// later image down by one; an index at or beyond the count is refused with an error.
#pragma once

#include <memory>
#include <vector>

#include "platform/UiBackend.h"

namespace taskwell {

class TApplication;

class TImageList {
public:
    TImageList(TApplication& app, int width, int height);
    ~TImageList();
    TImageList(const TImageList&) = delete;
    TImageList& operator=(const TImageList&) = delete;

    std::string Name;
    int Width() const { return width_; }
    int Height() const { return height_; }
    int Count() const { return static_cast<int>(icons_.size()); }

    // Adds a copy of the icon's picture; -1 when the handle is not a usable icon. The caller keeps
    // its own handle.
    int AddIcon(HICON icon);
    // Removes one image; the images after it move down by one.
    void Delete(int index);
    void Clear();
    // The icon handle an image was made from.
    HICON Icon(int index) const;

    IPeer* Peer() const { return peer_.get(); }

private:
    TApplication& app_;
    int width_, height_;
    std::vector<HICON> icons_;
    std::unique_ptr<IPeer> peer_;
};

}  // namespace taskwell
