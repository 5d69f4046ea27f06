// An icon picture as a window of our own class that draws the icon: at its own size in the top
// left corner, or stretched over the whole window. The rest shows the parent's background.
#pragma once

#include <memory>

#include "platform/win32/Win32PaintedPeer.h"

namespace taskwell {
class TImage;
}

namespace taskwell::win32 {

class Win32ImagePeer : public Win32PaintedPeer {
public:
    static std::unique_ptr<Win32ImagePeer> Create(Win32UiBackend& backend, TImage& image);
    Win32ImagePeer(Win32UiBackend& backend, TImage& image);

protected:
    void Apply(Change what, int index) override;

private:
    void Paint(::HDC dc) override;
};

}  // namespace taskwell::win32
