// A push button as the system's button control.
#pragma once

#include <memory>

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell {
class TButton;
}

namespace taskwell::win32 {

class Win32ButtonPeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32ButtonPeer> Create(Win32UiBackend& backend, TButton& button);
    Win32ButtonPeer(Win32UiBackend& backend, TButton& button);
    bool OnCommand(WORD code) override;
};

}  // namespace taskwell::win32
