#include "platform/win32/Win32GaugePeer.h"

#include "platform/win32/Win32UiBackend.h"
#include "ui/StdCtrls.h"

namespace taskwell::win32 {

std::unique_ptr<Win32GaugePeer> Win32GaugePeer::Create(Win32UiBackend& backend, TGauge& gauge) {
    auto peer = std::make_unique<Win32GaugePeer>(backend, gauge);
    if (!peer->CreateChild(Win32UiBackend::GaugeClass(), 0, 0)) return nullptr;
    return peer;
}

Win32GaugePeer::Win32GaugePeer(Win32UiBackend& backend, TGauge& gauge) : Win32PaintedPeer(backend, gauge) {}

int Win32GaugePeer::FilledHeight(int height, int progress) {
    if (height <= 0 || progress <= 0) return 0;
    if (progress >= 100) return height;
    return height * progress / 100;
}

void Win32GaugePeer::Apply(Change what, int index) {
    if (what == Change::Progress) {
        Repaint();
        return;
    }
    Win32ControlPeer::Apply(what, index);
}

void Win32GaugePeer::Paint(::HDC dc) {
    TGauge* gauge = As<TGauge>();
    if (!gauge) return;
    RECT r{};
    ::GetClientRect(Handle(), &r);
    int filled = FilledHeight(r.bottom - r.top, gauge->Progress());
    RECT back{r.left, r.top, r.right, r.bottom - filled};
    RECT fore{r.left, r.bottom - filled, r.right, r.bottom};
    if (::HBRUSH b = ::CreateSolidBrush(static_cast<COLORREF>(gauge->BackColor & 0xFFFFFF))) {
        ::FillRect(dc, &back, b);
        ::DeleteObject(b);
    }
    if (filled > 0) {
        if (::HBRUSH f = ::CreateSolidBrush(static_cast<COLORREF>(gauge->ForeColor & 0xFFFFFF))) {
            ::FillRect(dc, &fore, f);
            ::DeleteObject(f);
        }
    }
}

}  // namespace taskwell::win32
