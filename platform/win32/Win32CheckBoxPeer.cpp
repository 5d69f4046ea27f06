#include "platform/win32/Win32CheckBoxPeer.h"

#include "platform/win32/Win32UiBackend.h"
#include "ui/StdCtrls.h"

namespace taskwell::win32 {

std::unique_ptr<Win32CheckBoxPeer> Win32CheckBoxPeer::Create(Win32UiBackend& backend, TCheckBox& box) {
    auto peer = std::make_unique<Win32CheckBoxPeer>(backend, box);
    if (!peer->CreateChild("BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, 0, box.Caption().c_str())) return nullptr;
    FlagScope applying(peer->applying_);
    peer->ApplyCheck();
    return peer;
}

Win32CheckBoxPeer::Win32CheckBoxPeer(Win32UiBackend& backend, TCheckBox& box) : Win32ControlPeer(backend, box) {}

void Win32CheckBoxPeer::ApplyCheck() {
    TCheckBox* box = As<TCheckBox>();
    if (!box) return;
    ::SendMessageA(Handle(), BM_SETCHECK, box->Checked() ? BST_CHECKED : BST_UNCHECKED, 0);
}

void Win32CheckBoxPeer::Apply(Change what, int index) {
    if (what == Change::Checked)
        ApplyCheck();
    else
        Win32ControlPeer::Apply(what, index);
}

bool Win32CheckBoxPeer::OnCommand(WORD code) {
    if (code != BN_CLICKED) return false;
    // The box has already changed its own state; the widget learns it (and runs OnClick).
    if (applying_) return true;
    if (TCheckBox* box = As<TCheckBox>())
        box->PeerChecked(::SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED);
    return true;
}

}  // namespace taskwell::win32
