// A status bar as the system's status window: one part per panel, each as wide as its panel.
#pragma once

#include <memory>

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell {
class TStatusBar;
}

namespace taskwell::win32 {

class Win32StatusBarPeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32StatusBarPeer> Create(Win32UiBackend& backend, TStatusBar& bar);
    Win32StatusBarPeer(Win32UiBackend& backend, TStatusBar& bar);

protected:
    void Apply(Change what, int index) override;

private:
    void ApplyParts();
    void ApplyText(int index);
};

}  // namespace taskwell::win32
