// A status bar as the system's status window: one part per panel, each as wide as its panel.
#pragma once

#include <memory>
#include <vector>

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
    // While drawing is suspended: the parts whose text changed, painted together on resume.
    bool suspended_ = false;
    std::vector<int> pending_;
};

}  // namespace taskwell::win32
