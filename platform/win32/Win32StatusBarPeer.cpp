#include "platform/win32/Win32StatusBarPeer.h"

#include <vector>

#include "platform/win32/Win32UiBackend.h"
#include "ui/TStatusBar.h"

namespace taskwell::win32 {

std::unique_ptr<Win32StatusBarPeer> Win32StatusBarPeer::Create(Win32UiBackend& backend, TStatusBar& bar) {
    auto peer = std::make_unique<Win32StatusBarPeer>(backend, bar);
    // The widget places the bar (along the bottom of the form): the control must not move or size
    // itself when its parent changes size.
    if (!peer->CreateChild(STATUSCLASSNAMEA, SBARS_SIZEGRIP | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0))
        return nullptr;
    FlagScope applying(peer->applying_);
    peer->ApplyParts();
    return peer;
}

Win32StatusBarPeer::Win32StatusBarPeer(Win32UiBackend& backend, TStatusBar& bar) : Win32ControlPeer(backend, bar) {}

void Win32StatusBarPeer::ApplyParts() {
    TStatusBar* bar = As<TStatusBar>();
    if (!bar) return;
    // The system takes the right edge of each part: the running sum of the panel widths.
    std::vector<int> edges;
    int right = 0;
    for (int i = 0; i < bar->PanelCount(); ++i) {
        right += bar->Panels(i).Width;
        edges.push_back(right);
    }
    if (edges.empty()) edges.push_back(-1);
    ::SendMessageA(Handle(), SB_SETPARTS, static_cast<::WPARAM>(edges.size()), reinterpret_cast<::LPARAM>(edges.data()));
    if (bar->PanelCount() == 0) {
        ::SendMessageA(Handle(), SB_SETTEXTA, 0, reinterpret_cast<::LPARAM>(""));
        return;
    }
    for (int i = 0; i < bar->PanelCount(); ++i) ApplyText(i);
}

void Win32StatusBarPeer::ApplyText(int index) {
    TStatusBar* bar = As<TStatusBar>();
    if (!bar || index < 0 || index >= bar->PanelCount()) return;
    // Plain text parts with the sunken border: another program can read them with SB_GETTEXT.
    ::SendMessageA(Handle(), SB_SETTEXTA, static_cast<::WPARAM>(index),
                   reinterpret_cast<::LPARAM>(bar->PanelText(index).c_str()));
}


void Win32StatusBarPeer::Apply(Change what, int index) {
    if (what == Change::Redraw) {
        // The control paints a part as soon as its text changes; with drawing suspended the texts
        // only change, and the changed parts are painted once, together, on resume.
        // A bar not on the screen (hidden itself, or its window hidden in the tray) is left alone:
        // it is painted whole when it shows, suspending and resuming it would be several calls
        // into the window server every tick, and resuming would show a bar hidden itself.
        if (index == 0 && !::IsWindowVisible(Handle())) return;
        if (index != 0 && !suspended_) return;
        suspended_ = index == 0;
        ::SendMessageA(Handle(), WM_SETREDRAW, suspended_ ? FALSE : TRUE, 0);
        if (suspended_) return;
        for (int part : pending_) {
            ::RECT bounds{};
            if (::SendMessageA(Handle(), SB_GETRECT, static_cast<::WPARAM>(part), reinterpret_cast<::LPARAM>(&bounds)))
                ::InvalidateRect(Handle(), &bounds, FALSE);
        }
        pending_.clear();
        ::UpdateWindow(Handle());
        return;
    }
    if (what != Change::Panels) {
        Win32ControlPeer::Apply(what, index);
        return;
    }
    if (index < 0) {
        ApplyParts();
        if (suspended_) ::InvalidateRect(Handle(), nullptr, FALSE);
        return;
    }
    ApplyText(index);
    if (suspended_) pending_.push_back(index);
}

}  // namespace taskwell::win32
