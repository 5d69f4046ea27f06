// A panel as a plain child window filled with its colour (the dialog colour when it has none).
#pragma once

#include <memory>

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell {
class TPanel;
}

namespace taskwell::win32 {

class Win32PanelPeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32PanelPeer> Create(Win32UiBackend& backend, TPanel& panel);
    Win32PanelPeer(Win32UiBackend& backend, TPanel& panel);
    ~Win32PanelPeer() override;

protected:
    ::LRESULT WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) override;
    ::HBRUSH ChildBackground(UINT msg, ::HDC dc) override;

private:
    // A brush of the panel's colour, made again when the colour changes; null for the system colour.
    ::HBRUSH Brush();
    ::HBRUSH brush_ = nullptr;
    int brushColor_ = -1;
};

}  // namespace taskwell::win32
