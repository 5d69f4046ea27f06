#include "platform/win32/Win32GroupBoxPeer.h"

#include "platform/win32/Win32UiBackend.h"
#include "ui/StdCtrls.h"

namespace taskwell::win32 {

std::unique_ptr<Win32GroupBoxPeer> Win32GroupBoxPeer::Create(Win32UiBackend& backend, TGroupBox& group) {
    auto peer = std::make_unique<Win32GroupBoxPeer>(backend, group);
    // Being a parent of other controls, it must leave their areas alone when it paints; its
    // messages from them reach the peer, which passes them on like any container.
    if (!peer->CreateChild("BUTTON", BS_GROUPBOX | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, group.Caption().c_str()))
        return nullptr;
    return peer;
}

Win32GroupBoxPeer::Win32GroupBoxPeer(Win32UiBackend& backend, TGroupBox& group) : Win32ControlPeer(backend, group) {}

::LRESULT Win32GroupBoxPeer::WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    // The system's group box paints only its frame and caption; its parent leaves the area to it,
    // so the inside is filled here, or it would keep whatever was on the screen before.
    if (msg == WM_ERASEBKGND) {
        RECT r{};
        ::GetClientRect(Handle(), &r);
        ::FillRect(reinterpret_cast<::HDC>(wParam), &r, ::GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    return Win32ControlPeer::WndProc(msg, wParam, lParam);
}

}  // namespace taskwell::win32
