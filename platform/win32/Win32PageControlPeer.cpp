#include "platform/win32/Win32PageControlPeer.h"

#include <string>

#include "platform/win32/Win32ImageListPeer.h"
#include "platform/win32/Win32UiBackend.h"
#include "ui/TImageList.h"
#include "ui/TPageControl.h"

namespace taskwell::win32 {

std::unique_ptr<Win32PageControlPeer> Win32PageControlPeer::Create(Win32UiBackend& backend, TPageControl& pages) {
    auto peer = std::make_unique<Win32PageControlPeer>(backend, pages);
    if (!peer->Open()) return nullptr;
    return peer;
}

Win32PageControlPeer::Win32PageControlPeer(Win32UiBackend& backend, TPageControl& pages)
    : Win32ControlPeer(backend, pages) {}

bool Win32PageControlPeer::Open() {
    // The pages are children of the tab control: it must not paint over them.
    if (!CreateChild(WC_TABCONTROLA, WS_TABSTOP | WS_CLIPCHILDREN, 0)) return false;
    FlagScope applying(applying_);
    ApplyImages();
    RebuildTabs();
    return true;
}

void Win32PageControlPeer::ApplyImages() {
    TPageControl* pages = As<TPageControl>();
    if (!pages) return;
    images_ = Win32ImageListPeer::HandleOf(pages->Images());
    ::SendMessageA(Handle(), TCM_SETIMAGELIST, 0, reinterpret_cast<::LPARAM>(images_));
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

void Win32PageControlPeer::RebuildTabs() {
    TPageControl* pages = As<TPageControl>();
    if (!pages) return;
    ::SendMessageA(Handle(), TCM_DELETEALLITEMS, 0, 0);
    for (int i = 0; i < pages->PageCount(); ++i) {
        std::string caption = pages->Page(i).Caption();
        TCITEMA item{};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = caption.data();
        item.iImage = pages->Page(i).ImageIndex();
        ::SendMessageA(Handle(), TCM_INSERTITEMA, static_cast<::WPARAM>(i), reinterpret_cast<::LPARAM>(&item));
    }
    ApplySelection();
}

void Win32PageControlPeer::UpdateTab(int index) {
    TPageControl* pages = As<TPageControl>();
    if (!pages || !Handle() || index < 0 || index >= pages->PageCount()) return;
    FlagScope applying(applying_);
    std::string caption = pages->Page(index).Caption();
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = caption.data();
    item.iImage = pages->Page(index).ImageIndex();
    ::SendMessageA(Handle(), TCM_SETITEMA, static_cast<::WPARAM>(index), reinterpret_cast<::LPARAM>(&item));
}

void Win32PageControlPeer::ApplySelection() {
    TPageControl* pages = As<TPageControl>();
    if (!pages) return;
    ::SendMessageA(Handle(), TCM_SETCURSEL, static_cast<::WPARAM>(pages->ActivePageIndex()), 0);
}

void Win32PageControlPeer::Apply(Change what, int index) {
    switch (what) {
    case Change::Structure:
        RebuildTabs();
        break;
    case Change::ActivePage:
        // The pages show and hide themselves as the widget makes them visible.
        ApplySelection();
        break;
    case Change::Images:
        ApplyImages();
        break;
    default:
        Win32ControlPeer::Apply(what, index);
        break;
    }
}

bool Win32PageControlPeer::OnNotify(const NMHDR& header, ::LRESULT& result) {
    if (header.hwndFrom != Handle()) return false;
    switch (header.code) {
    case TCN_SELCHANGING:
        result = FALSE;  // the user may always change pages
        return true;
    case TCN_SELCHANGE: {
        if (applying_) return true;
        int index = static_cast<int>(::SendMessageA(Handle(), TCM_GETCURSEL, 0, 0));
        if (TPageControl* pages = As<TPageControl>()) pages->SelectPage(index);
        result = 0;
        return true;
    }
    default:
        return false;
    }
}

void Win32PageControlPeer::ImageListChanged(::HIMAGELIST list) {
    if (list && list == images_ && Handle()) ::InvalidateRect(Handle(), nullptr, FALSE);
}

void Win32PageControlPeer::ImageListGone(::HIMAGELIST list) {
    if (!list || list != images_) return;
    images_ = nullptr;
    if (Handle()) ::SendMessageA(Handle(), TCM_SETIMAGELIST, 0, 0);
}

}  // namespace taskwell::win32
