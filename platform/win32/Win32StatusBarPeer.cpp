#include "platform/win32/Win32StatusBarPeer.h"

#include <vector>

#include "platform/win32/Win32SystemFunction.h"
#include "platform/win32/Win32UiBackend.h"
#include "ui/TStatusBar.h"

namespace taskwell::win32 {

namespace {

// Draws the bar the plain way (sunken parts, the grip of lines), as Windows 95/98 does and as later
// systems do for a program without a manifest. The bar is repainted on every pass of the program,
// and a system that themes it anyway (Wine does) draws each paint through the theme's images: a
// dozen memory device contexts, each with a bitmap made and freed. The theme library is the one
// the control library has loaded; a system without it themes nothing.
void DrawWithoutTheme(::HWND bar) {
    using SetWindowThemeFunction = ::HRESULT(WINAPI*)(::HWND, ::LPCWSTR, ::LPCWSTR);
    static const auto setWindowTheme = SystemFunction<SetWindowThemeFunction>("uxtheme.dll", "SetWindowTheme");
    // A class list that names no class of the theme leaves the window without one.
    if (setWindowTheme) setWindowTheme(bar, L" ", L" ");
}

}  // namespace

std::unique_ptr<Win32StatusBarPeer> Win32StatusBarPeer::Create(Win32UiBackend& backend, TStatusBar& bar) {
    auto peer = std::make_unique<Win32StatusBarPeer>(backend, bar);
    // The widget places the bar (along the bottom of the form): the control must not move or size
    // itself when its parent changes size.
    if (!peer->CreateChild(STATUSCLASSNAMEA, SBARS_SIZEGRIP | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0))
        return nullptr;
    DrawWithoutTheme(peer->Handle());
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
    // The control invalidates the part and asks for its paint at once; that paint waits (WndProc),
    // so the parts changed in one pass of the program are painted together in one paint.
    FlagScope setting(settingText_);
    ::SendMessageA(Handle(), SB_SETTEXTA, static_cast<::WPARAM>(index),
                   reinterpret_cast<::LPARAM>(bar->PanelText(index).c_str()));
}

void Win32StatusBarPeer::Apply(Change what, int index) {
    if (what != Change::Panels) {
        Win32ControlPeer::Apply(what, index);
        return;
    }
    if (index < 0) {
        ApplyParts();
        return;
    }
    if (HoldText()) return;
    ApplyText(index);
}

void Win32StatusBarPeer::ShowText() {
    TStatusBar* bar = As<TStatusBar>();
    if (!bar) return;
    for (int i = 0; i < bar->PanelCount(); ++i) ApplyText(i);
}

::LRESULT Win32StatusBarPeer::WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    if (msg == SB_GETTEXTA || msg == SB_GETTEXTW || msg == SB_GETTEXTLENGTHA || msg == SB_GETTEXTLENGTHW)
        ReleaseText();
    // The paint a text change asks for at once is left for later: the part stays invalid, and the
    // system sends one WM_PAINT for all of them once the program's pass is done and it takes
    // messages again. Each paint of the bar draws all its parts: two parts changed a tick were two
    // paints.
    if (msg == WM_PAINT && wParam == 0 && settingText_) return 0;
    return Win32ControlPeer::WndProc(msg, wParam, lParam);
}

}  // namespace taskwell::win32
