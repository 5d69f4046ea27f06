#include "platform/win32/Win32PaintedPeer.h"

namespace taskwell::win32 {

void Win32PaintedPeer::Repaint() {
    if (paintDue_ || !Handle() || !::IsWindowVisible(Handle())) return;
    if (::InvalidateRect(Handle(), nullptr, FALSE)) paintDue_ = true;
}

::LRESULT Win32PaintedPeer::WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND:
        return 1;  // the paint covers every pixel
    case WM_PAINT: {
        paintDue_ = false;
        PAINTSTRUCT ps{};
        ::HDC dc = ::BeginPaint(Handle(), &ps);
        if (dc) {
            Paint(dc);
            ::EndPaint(Handle(), &ps);
        }
        return 0;
    }
    default:
        return Win32ControlPeer::WndProc(msg, wParam, lParam);
    }
}

}  // namespace taskwell::win32
