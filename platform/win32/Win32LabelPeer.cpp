#include "platform/win32/Win32LabelPeer.h"

#include "platform/win32/Win32UiBackend.h"
#include "ui/StdCtrls.h"

namespace taskwell::win32 {

std::unique_ptr<Win32LabelPeer> Win32LabelPeer::Create(Win32UiBackend& backend, TLabel& label) {
    auto peer = std::make_unique<Win32LabelPeer>(backend, label);
    DWORD align = SS_LEFT;
    if (label.Alignment == TAlignment::taRightJustify) align = SS_RIGHT;
    if (label.Alignment == TAlignment::taCenter) align = SS_CENTER;
    // A static control lets the pointer through to its parent unless it notifies: a label with a
    // hint must take the pointer itself for its tooltip to show.
    if (!label.Hint.empty()) align |= SS_NOTIFY;
    if (!peer->CreateChild("STATIC", align, 0, label.Caption().c_str())) return nullptr;
    return peer;
}

Win32LabelPeer::Win32LabelPeer(Win32UiBackend& backend, TLabel& label) : Win32ControlPeer(backend, label) {}

void Win32LabelPeer::Apply(Change what, int index) {
    if (what == Change::Caption && HoldText()) return;
    Win32ControlPeer::Apply(what, index);
}

}  // namespace taskwell::win32
