#include "platform/win32/Win32ImagePeer.h"

#include "platform/win32/Win32UiBackend.h"
#include "ui/StdCtrls.h"

namespace taskwell::win32 {

std::unique_ptr<Win32ImagePeer> Win32ImagePeer::Create(Win32UiBackend& backend, TImage& image) {
    auto peer = std::make_unique<Win32ImagePeer>(backend, image);
    if (!peer->CreateChild(Win32UiBackend::ImageClass(), 0, 0)) return nullptr;
    return peer;
}

Win32ImagePeer::Win32ImagePeer(Win32UiBackend& backend, TImage& image) : Win32PaintedPeer(backend, image) {}

void Win32ImagePeer::Apply(Change what, int index) {
    if (what == Change::Picture) {
        Repaint();
        return;
    }
    Win32ControlPeer::Apply(what, index);
}

void Win32ImagePeer::Paint(::HDC dc) {
    RECT r{};
    ::GetClientRect(Handle(), &r);
    // The background the parent gives its static children (a coloured panel's colour), else the
    // button face.
    ::HWND parent = ::GetParent(Handle());
    auto background = parent ? reinterpret_cast<::HBRUSH>(::SendMessageA(parent, WM_CTLCOLORSTATIC,
                                                                         reinterpret_cast<::WPARAM>(dc),
                                                                         reinterpret_cast<::LPARAM>(Handle())))
                             : nullptr;
    ::FillRect(dc, &r, background ? background : ::GetSysColorBrush(COLOR_BTNFACE));
    TImage* image = As<TImage>();
    ::HICON icon = image ? ToHicon(image->Icon()) : nullptr;
    if (!icon) return;
    // A size of 0 draws the icon at its own size.
    const bool stretch = image->Stretch();
    ::DrawIconEx(dc, 0, 0, icon, stretch ? r.right : 0, stretch ? r.bottom : 0, 0, nullptr, DI_NORMAL);
}

}  // namespace taskwell::win32
