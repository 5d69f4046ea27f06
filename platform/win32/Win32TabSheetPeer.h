// A page of a page control: a plain child window of the tab control, in the dialog colour.
#pragma once

#include <memory>

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell {
class TTabSheet;
}

namespace taskwell::win32 {

class Win32TabSheetPeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32TabSheetPeer> Create(Win32UiBackend& backend, TTabSheet& sheet);
    Win32TabSheetPeer(Win32UiBackend& backend, TTabSheet& sheet);

protected:
    void Apply(Change what, int index) override;
};

}  // namespace taskwell::win32
