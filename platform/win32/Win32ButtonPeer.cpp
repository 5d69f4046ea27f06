#include "platform/win32/Win32ButtonPeer.h"

#include "platform/win32/Win32UiBackend.h"
#include "ui/StdCtrls.h"

namespace taskwell::win32 {

std::unique_ptr<Win32ButtonPeer> Win32ButtonPeer::Create(Win32UiBackend& backend, TButton& button) {
    auto peer = std::make_unique<Win32ButtonPeer>(backend, button);
    DWORD style = WS_TABSTOP | (button.Default ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON);
    if (!peer->CreateChild("BUTTON", style, 0, button.Caption().c_str())) return nullptr;
    if (button.Default) ::SetFocus(peer->Handle());
    return peer;
}

Win32ButtonPeer::Win32ButtonPeer(Win32UiBackend& backend, TButton& button) : Win32ControlPeer(backend, button) {}

bool Win32ButtonPeer::OnCommand(WORD code) {
    if (code != BN_CLICKED) return false;
    if (TButton* button = As<TButton>()) button->Click();
    return true;
}

}  // namespace taskwell::win32
