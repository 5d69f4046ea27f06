// An icon picture as a window of our own class that draws the icon: at its own size in the top
// left corner, or stretched over the whole window. The rest shows the parent's background.
#pragma once

#include <memory>

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell {
class TImage;
}

namespace taskwell::win32 {

class Win32ImagePeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32ImagePeer> Create(Win32UiBackend& backend, TImage& image);
    Win32ImagePeer(Win32UiBackend& backend, TImage& image);

protected:
    void Apply(Change what, int index) override;
    ::LRESULT WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) override;

private:
    void Paint(::HDC dc);
};

}  // namespace taskwell::win32
