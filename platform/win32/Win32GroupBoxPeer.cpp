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

}  // namespace taskwell::win32
