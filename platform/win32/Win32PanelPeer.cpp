#include "platform/win32/Win32PanelPeer.h"

#include "platform/win32/Win32UiBackend.h"
#include "ui/StdCtrls.h"

namespace taskwell::win32 {

std::unique_ptr<Win32PanelPeer> Win32PanelPeer::Create(Win32UiBackend& backend, TPanel& panel) {
    auto peer = std::make_unique<Win32PanelPeer>(backend, panel);
    if (!peer->CreateChild(Win32UiBackend::PanelClass(), WS_CLIPCHILDREN, WS_EX_CONTROLPARENT)) return nullptr;
    return peer;
}

Win32PanelPeer::Win32PanelPeer(Win32UiBackend& backend, TPanel& panel) : Win32ControlPeer(backend, panel) {}

Win32PanelPeer::~Win32PanelPeer() {
    DestroyHandle();
    if (brush_) ::DeleteObject(brush_);
}

::HBRUSH Win32PanelPeer::Brush() {
    TPanel* panel = As<TPanel>();
    int color = panel ? panel->Color : -1;
    if (color < 0) return nullptr;
    if (brush_ && brushColor_ == color) return brush_;
    if (brush_) ::DeleteObject(brush_);
    brush_ = ::CreateSolidBrush(static_cast<COLORREF>(color & 0xFFFFFF));
    brushColor_ = color;
    return brush_;
}

::HBRUSH Win32PanelPeer::ChildBackground(UINT msg, ::HDC dc) {
    // Labels, check boxes and pictures on a coloured panel share its colour.
    if (msg != WM_CTLCOLORSTATIC) return nullptr;
    ::HBRUSH brush = Brush();
    if (brush) ::SetBkColor(dc, static_cast<COLORREF>(brushColor_ & 0xFFFFFF));
    return brush;
}

::LRESULT Win32PanelPeer::WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT r{};
        ::GetClientRect(Handle(), &r);
        ::HBRUSH brush = Brush();
        ::FillRect(reinterpret_cast<::HDC>(wParam), &r,
                   brush ? brush : ::GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    default:
        break;
    }
    return Win32ControlPeer::WndProc(msg, wParam, lParam);
}

}  // namespace taskwell::win32
