// A label as the system's static text control.
#pragma once

#include <memory>

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell {
class TLabel;
}

namespace taskwell::win32 {

class Win32LabelPeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32LabelPeer> Create(Win32UiBackend& backend, TLabel& label);
    Win32LabelPeer(Win32UiBackend& backend, TLabel& label);

protected:
    // The caption waits while the label is off the screen.
    void Apply(Change what, int index) override;
};

}  // namespace taskwell::win32
