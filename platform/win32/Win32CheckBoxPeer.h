// A check box as the system's button control that checks and unchecks itself when clicked.
#pragma once

#include <memory>

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell {
class TCheckBox;
}

namespace taskwell::win32 {

class Win32CheckBoxPeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32CheckBoxPeer> Create(Win32UiBackend& backend, TCheckBox& box);
    Win32CheckBoxPeer(Win32UiBackend& backend, TCheckBox& box);
    bool OnCommand(WORD code) override;

protected:
    void Apply(Change what, int index) override;

private:
    void ApplyCheck();
};

}  // namespace taskwell::win32
