// A group box as the system's framed button; the controls inside it are its child windows.
#pragma once

#include <memory>

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell {
class TGroupBox;
}

namespace taskwell::win32 {

class Win32GroupBoxPeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32GroupBoxPeer> Create(Win32UiBackend& backend, TGroupBox& group);
    Win32GroupBoxPeer(Win32UiBackend& backend, TGroupBox& group);

protected:
    ::LRESULT WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) override;
};

}  // namespace taskwell::win32
