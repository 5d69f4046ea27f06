// A gauge as a child window drawn by the peer: the whole bar in the back colour, and the lower part,
// in proportion to the progress, in the fore colour.
#pragma once

#include <memory>

#include "platform/win32/Win32PaintedPeer.h"

namespace taskwell {
class TGauge;
}

namespace taskwell::win32 {

class Win32GaugePeer : public Win32PaintedPeer {
public:
    static std::unique_ptr<Win32GaugePeer> Create(Win32UiBackend& backend, TGauge& gauge);
    Win32GaugePeer(Win32UiBackend& backend, TGauge& gauge);

    // The filled height for a bar of the given height at a progress of 0 to 100.
    static int FilledHeight(int height, int progress);

protected:
    void Apply(Change what, int index) override;

private:
    void Paint(::HDC dc) override;
};

}  // namespace taskwell::win32
