#include "platform/win32/Win32ImageListPeer.h"

#include "platform/win32/Win32BlankImage.h"
#include "platform/win32/Win32UiBackend.h"
#include "ui/TImageList.h"

namespace taskwell::win32 {

std::unique_ptr<Win32ImageListPeer> Win32ImageListPeer::Create(Win32UiBackend& backend, TImageList& images) {
    // Colour pictures with a transparency mask; the list grows by eight at a time.
    ::HIMAGELIST handle = ::ImageList_Create(images.Width(), images.Height(), ILC_COLOR24 | ILC_MASK, 8, 8);
    if (!handle) handle = ::ImageList_Create(images.Width(), images.Height(), ILC_COLOR | ILC_MASK, 8, 8);
    if (!handle) return nullptr;
    auto peer = std::make_unique<Win32ImageListPeer>(backend, images, handle);
    peer->Resync();
    return peer;
}

Win32ImageListPeer::Win32ImageListPeer(Win32UiBackend& backend, TImageList& images, ::HIMAGELIST handle)
    : backend_(backend), images_(images), handle_(handle) {}

Win32ImageListPeer::~Win32ImageListPeer() {
    // Controls still showing the list let go of it first.
    backend_.ImageListGone(handle_);
    ::ImageList_Destroy(handle_);
}

::HIMAGELIST Win32ImageListPeer::HandleOf(const TImageList* images) {
    if (!images) return nullptr;
    auto* peer = dynamic_cast<Win32ImageListPeer*>(images->Peer());
    return peer ? peer->Handle() : nullptr;
}

void Win32ImageListPeer::Append(int index) {
    if (::ImageList_AddIcon(handle_, ToHicon(images_.Icon(index))) >= 0) return;
    AddBlankImage(handle_);
}

void Win32ImageListPeer::Resync() {
    ::ImageList_Remove(handle_, -1);
    for (int i = 0; i < images_.Count(); ++i) Append(i);
}

void Win32ImageListPeer::Changed(Change what, int index) {
    int count = ::ImageList_GetImageCount(handle_);
    switch (what) {
    case Change::Images:
        // The widget adds at the end, one at a time; anything else is put right by a full copy.
        if (index >= 0 && index == count && index < images_.Count())
            Append(index);
        else
            Resync();
        break;
    case Change::ItemDeleted:
        if (index < 0)
            ::ImageList_Remove(handle_, -1);
        else if (index < count)
            ::ImageList_Remove(handle_, index);
        if (::ImageList_GetImageCount(handle_) != images_.Count()) Resync();
        break;
    default:
        return;
    }
    backend_.ImageListChanged(handle_);
}

}  // namespace taskwell::win32
