// A page control as the system's tab control: one tab per page, with the page images. The pages
// are child windows of the tab control, shown while their tab is the selected one.
#pragma once

#include <memory>

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell {
class TPageControl;
}

namespace taskwell::win32 {

class Win32PageControlPeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32PageControlPeer> Create(Win32UiBackend& backend, TPageControl& pages);
    Win32PageControlPeer(Win32UiBackend& backend, TPageControl& pages);

    // A page's caption or image changed.
    void UpdateTab(int index);

    bool OnNotify(const NMHDR& header, ::LRESULT& result) override;
    void ImageListChanged(::HIMAGELIST list) override;
    void ImageListGone(::HIMAGELIST list) override;

protected:
    void Apply(Change what, int index) override;

private:
    bool Open();
    void RebuildTabs();
    void ApplyImages();
    void ApplySelection();
    ::HIMAGELIST images_ = nullptr;
};

}  // namespace taskwell::win32
