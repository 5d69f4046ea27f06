// A control whose window the peer paints itself (a gauge, an icon picture, a graph): its window is
// of one of our own classes, never erased by the system, and painted whole in Paint.
#pragma once

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell::win32 {

class Win32PaintedPeer : public Win32ControlPeer {
public:
    using Win32ControlPeer::Win32ControlPeer;

protected:
    // Paints every pixel of the window; called also while the widget is going, so the window never
    // stays invalid.
    virtual void Paint(::HDC dc) = 0;
    // Asks for the window to be painted again with what the widget now holds. A window that is not
    // on the screen (its page or the main window hidden) is painted whole when it shows, so it is
    // not asked: each request is a call into the window server, and the Performance page's
    // pictures change every tick whichever page is shown.
    // A second request before the window painted is not made (a graph's new sample announces its
    // picture twice in one tick).
    void Repaint();
    ::LRESULT WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) override;

private:
    bool paintDue_ = false;  // the whole window was invalidated and WM_PAINT has not come yet
};

}  // namespace taskwell::win32
