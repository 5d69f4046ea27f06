#include "platform/win32/Win32TabSheetPeer.h"

#include "platform/win32/Win32PageControlPeer.h"
#include "platform/win32/Win32UiBackend.h"
#include "ui/TPageControl.h"

namespace taskwell::win32 {

std::unique_ptr<Win32TabSheetPeer> Win32TabSheetPeer::Create(Win32UiBackend& backend, TTabSheet& sheet) {
    auto peer = std::make_unique<Win32TabSheetPeer>(backend, sheet);
    if (!peer->CreateChild(Win32UiBackend::PageClass(), WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
                           sheet.Caption().c_str()))
        return nullptr;
    return peer;
}

Win32TabSheetPeer::Win32TabSheetPeer(Win32UiBackend& backend, TTabSheet& sheet) : Win32ControlPeer(backend, sheet) {}

void Win32TabSheetPeer::Apply(Change what, int index) {
    Win32ControlPeer::Apply(what, index);
    if (what != Change::Caption) return;
    // The caption shows on the page's tab.
    TTabSheet* sheet = As<TTabSheet>();
    auto* pages = sheet ? dynamic_cast<TPageControl*>(sheet->Parent()) : nullptr;
    if (!pages) return;
    auto* tabs = dynamic_cast<Win32PageControlPeer*>(pages->Peer());
    if (!tabs) return;
    for (int i = 0; i < pages->PageCount(); ++i)
        if (&pages->Page(i) == sheet) tabs->UpdateTab(i);
}

}  // namespace taskwell::win32
