// An image list as the system's image list, kept image for image in step with the widget.
#pragma once

#include <memory>

#include "platform/UiBackend.h"
#include "platform/win32/Win32Api.h"

namespace taskwell {
class TImageList;
}

namespace taskwell::win32 {

class Win32UiBackend;

class Win32ImageListPeer : public IPeer {
public:
    static std::unique_ptr<Win32ImageListPeer> Create(Win32UiBackend& backend, TImageList& images);
    Win32ImageListPeer(Win32UiBackend& backend, TImageList& images, ::HIMAGELIST handle);
    ~Win32ImageListPeer() override;
    Win32ImageListPeer(const Win32ImageListPeer&) = delete;
    Win32ImageListPeer& operator=(const Win32ImageListPeer&) = delete;

    void Changed(Change what, int index) override;

    ::HIMAGELIST Handle() const { return handle_; }
    // The system image list of a widget image list; null when it has none.
    static ::HIMAGELIST HandleOf(const TImageList* images);

private:
    // Adds the widget's image at the end; a picture the system cannot take leaves a blank image,
    // so the indices stay the widget's.
    void Append(int index);
    void Resync();

    Win32UiBackend& backend_;
    TImageList& images_;
    ::HIMAGELIST handle_;
};

}  // namespace taskwell::win32
