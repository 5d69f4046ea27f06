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
    // A part's text waits while the bar is off the screen (its window hidden in the tray).
    void Apply(Change what, int index) override;
    void ShowText() override;
    // SB_GETTEXT and SB_GETTEXTLENGTH answer with the current texts, also while they are held.
    ::LRESULT WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) override;

private:
    void ApplyParts();
    void ApplyText(int index);

    bool settingText_ = false;  // inside SB_SETTEXT: its paint waits for the message loop
};

}  // namespace taskwell::win32
