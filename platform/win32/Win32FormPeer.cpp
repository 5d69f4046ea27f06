#include "platform/win32/Win32FormPeer.h"

#include "platform/win32/Win32UiBackend.h"
#include "ui/TApplication.h"
#include "ui/TForm.h"

namespace taskwell::win32 {

std::unique_ptr<Win32FormPeer> Win32FormPeer::Create(Win32UiBackend& backend, TForm& form) {
    auto peer = std::make_unique<Win32FormPeer>(backend, form);
    if (!peer->Open()) return nullptr;
    return peer;
}

Win32FormPeer::Win32FormPeer(Win32UiBackend& backend, TForm& form) : Win32ControlPeer(backend, form) {
    Backend().AddForm(this);
}

Win32FormPeer::~Win32FormPeer() {
    Backend().RemoveForm(this);
    if (tooltip_ && ::IsWindow(tooltip_)) ::DestroyWindow(tooltip_);
    tooltip_ = nullptr;
    // The menu belongs to the menu's own peer, which destroys it; the window must not take it along.
    if (::HWND hwnd = Handle(); hwnd && ::IsWindow(hwnd)) ::SetMenu(hwnd, nullptr);
    DestroyHandle();
}

bool Win32FormPeer::Open() {
    TForm& form = *As<TForm>();
    // Other forms stay above the main form, as its dialogs.
    ::HWND owner = nullptr;
    if (TForm* main = form.App().MainForm; main && main != &form)
        if (auto* peer = dynamic_cast<Win32ControlPeer*>(main->Peer())) owner = peer->Handle();
    DWORD style = 0, exStyle = 0;
    StylesOf(form, style, exStyle);
    ::HWND hwnd = ::CreateWindowExA(exStyle, Win32UiBackend::FormClass(), form.Caption().c_str(), style,
                                    form.Left(), form.Top(), form.Width(), form.Height(), owner, nullptr,
                                    Backend().Instance(), nullptr);
    if (!hwnd) return false;
    Attach(hwnd, false);
    ApplyIcon();
    // The widget lays its children out in the real client area from now on.
    ReportClientSize();
    return true;
}

void Win32FormPeer::StylesOf(const TForm& form, DWORD& style, DWORD& exStyle) {
    switch (form.BorderStyle) {
    case TBorderStyle::bsDialog:
        style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        exStyle = WS_EX_DLGMODALFRAME;
        break;
    case TBorderStyle::bsToolWindow:
        // The fixed frame, the small caption with only a close button, no task bar button.
        style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
        exStyle = WS_EX_TOOLWINDOW;
        break;
    default:
        if (form.Modal()) {
            // A sizable dialog: it cannot be minimised away from the window that waits for it.
            style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_CLIPCHILDREN;
        } else {
            style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
        }
        exStyle = 0;
        break;
    }
}

void Win32FormPeer::ApplyStyles() {
    TForm* form = As<TForm>();
    ::HWND hwnd = Handle();
    if (!form || !hwnd) return;
    // Only the bits the border style decides change; the state bits stay.
    constexpr DWORD kStyleBits = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
    constexpr DWORD kExBits = WS_EX_TOOLWINDOW | WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW;
    DWORD style = 0, exStyle = 0;
    StylesOf(*form, style, exStyle);
    auto current = static_cast<DWORD>(::GetWindowLongA(hwnd, GWL_STYLE));
    auto currentEx = static_cast<DWORD>(::GetWindowLongA(hwnd, GWL_EXSTYLE));
    DWORD wanted = (current & ~kStyleBits) | (style & kStyleBits);
    DWORD wantedEx = (currentEx & ~kExBits) | (exStyle & kExBits);
    if (wanted == current && wantedEx == currentEx) return;
    ::SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(wanted));
    ::SetWindowLongA(hwnd, GWL_EXSTYLE, static_cast<LONG>(wantedEx));
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

::HWND Win32FormPeer::Tooltip() {
    if (tooltip_ && ::IsWindow(tooltip_)) return tooltip_;
    tooltip_ = nullptr;
    if (!Handle()) return nullptr;
    // Owned by the form, so it stays above it and goes with it; shown whether or not the form is
    // the active window (tool windows rarely are).
    tooltip_ = ::CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                                 CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(), nullptr, Backend().Instance(),
                                 nullptr);
    // Long hints wrap rather than run across the screen (common controls that know no width
    // ignore this).
    if (tooltip_) ::SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, 300);
    return tooltip_;
}

void Win32FormPeer::FocusActiveControl() {
    TForm* form = As<TForm>();
    if (!form) return;
    TControl* target = form->FocusTarget();
    auto* peer = target ? dynamic_cast<Win32ControlPeer*>(target->Peer()) : nullptr;
    ::HWND window = peer ? peer->Handle() : nullptr;
    if (window && ::IsChild(Handle(), window) && ::IsWindowVisible(window) && ::IsWindowEnabled(window))
        ::SetFocus(window);
}

bool Win32FormPeer::IsMainForm() const {
    TForm* form = As<TForm>();
    return form && form->App().MainForm == form;
}

void Win32FormPeer::ApplyIcon(bool now) {
    ::HWND hwnd = Handle();
    if (!hwnd) return;
    // The system draws an icon it is handed for the window's caption and task bar button (under
    // Wine, for the window manager too) even while the window is hidden: the tray meter's picture
    // changing all day while the main window sits in the tray would keep it busy for nothing.
    iconStale_ = true;
    if (now || ::IsWindowVisible(hwnd)) ShowIcon();
}

void Win32FormPeer::ShowIcon() {
    ::HWND hwnd = Handle();
    if (!hwnd || !iconStale_) return;
    iconStale_ = false;
    // Without an application icon, the class icon (the program's own) shows.
    ::SendMessageA(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<::LPARAM>(Backend().AppIcon()));
    ::SendMessageA(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<::LPARAM>(Backend().AppIcon()));
}

void Win32FormPeer::ReportBounds() {
    TForm* form = As<TForm>();
    ::HWND hwnd = Handle();
    if (!form || !hwnd || ::IsIconic(hwnd)) return;
    RECT r{};
    if (!::GetWindowRect(hwnd, &r)) return;
    form->PeerBoundsChanged(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

void Win32FormPeer::ReportClientSize() {
    TForm* form = As<TForm>();
    ::HWND hwnd = Handle();
    if (!form || !hwnd || ::IsIconic(hwnd)) return;
    RECT r{};
    if (!::GetClientRect(hwnd, &r)) return;
    form->PeerClientSize(r.right - r.left, r.bottom - r.top);
}

void Win32FormPeer::ShowAsState() {
    TForm* form = As<TForm>();
    if (!form) return;
    int cmd = SW_SHOW;
    switch (form->WindowState()) {
    case TWindowState::wsMinimized:
        cmd = SW_SHOWMINIMIZED;
        break;
    case TWindowState::wsMaximized:
        cmd = SW_SHOWMAXIMIZED;
        break;
    default:
        cmd = shown_ ? SW_SHOW : SW_SHOWNORMAL;
        break;
    }
    // A form made for a plain showing may now be shown modally, or the other way round.
    ApplyStyles();
    shown_ = true;
    ::ShowWindow(Handle(), cmd);
    if (cmd == SW_SHOWMINIMIZED) return;
    ::SetForegroundWindow(Handle());
    FocusActiveControl();
}

void Win32FormPeer::Apply(Change what, int index) {
    TForm* form = As<TForm>();
    ::HWND hwnd = Handle();
    if (!form || !hwnd) return;
    switch (what) {
    case Change::Bounds:
        if (::IsIconic(hwnd) || ::IsZoomed(hwnd)) {
            // The bounds are where the window goes when it is restored.
            WINDOWPLACEMENT wp{};
            wp.length = sizeof wp;
            if (::GetWindowPlacement(hwnd, &wp)) {
                wp.rcNormalPosition = RECT{form->Left(), form->Top(), form->Left() + form->Width(),
                                           form->Top() + form->Height()};
                ::SetWindowPlacement(hwnd, &wp);
            }
        } else {
            ::MoveWindow(hwnd, form->Left(), form->Top(), form->Width(), form->Height(), TRUE);
        }
        break;
    case Change::Visible:
        if (form->Visible())
            ShowAsState();
        else
            ::ShowWindow(hwnd, SW_HIDE);
        break;
    case Change::WindowState:
        // A hidden form takes its state when it is shown.
        if (::IsWindowVisible(hwnd)) {
            switch (form->WindowState()) {
            case TWindowState::wsMinimized:
                ::ShowWindow(hwnd, SW_MINIMIZE);
                break;
            case TWindowState::wsMaximized:
                ::ShowWindow(hwnd, SW_SHOWMAXIMIZED);
                break;
            default:
                ::ShowWindow(hwnd, SW_RESTORE);
                break;
            }
        }
        break;
    case Change::Icon:
        ApplyIcon();
        break;
    case Change::Focus:
        FocusActiveControl();
        break;
    default:
        Win32ControlPeer::Apply(what, index);
        break;
    }
}

::LRESULT Win32FormPeer::WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    TForm* form = As<TForm>();
    if (!form) return DefaultProc(msg, wParam, lParam);
    switch (msg) {
    case WM_SIZE: {
        bool main = IsMainForm();
        if (wParam == SIZE_MINIMIZED) {
            form->PeerWindowState(TWindowState::wsMinimized);
            if (main) form->App().PeerMinimized(true);
            return 0;
        }
        if (wParam != SIZE_RESTORED && wParam != SIZE_MAXIMIZED) return 0;
        form->PeerWindowState(wParam == SIZE_MAXIMIZED ? TWindowState::wsMaximized : TWindowState::wsNormal);
        if (!applying_) ReportBounds();
        form->PeerClientSize(LOWORD(lParam), HIWORD(lParam));
        if (main && form->App().Minimized()) form->App().PeerMinimized(false);
        return 0;
    }
    case WM_MOVE:
        if (!applying_) ReportBounds();
        return 0;
    case WM_CLOSE:
        form->Close();
        return 0;
    case WM_WINDOWPOSCHANGING:
        // Every way of showing a window passes here first: it is shown with the current icon.
        if (iconStale_ && (reinterpret_cast<const ::WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW)) ShowIcon();
        return Win32ControlPeer::WndProc(msg, wParam, lParam);
    case WM_ACTIVATE: {
        // The control that had the focus gets it back when the user returns to the form (the
        // system would give it to the form's own window).
        ::HWND focus = ::GetFocus();
        if (LOWORD(wParam) == WA_INACTIVE) {
            if (focus && ::IsChild(Handle(), focus)) lastFocus_ = focus;
        } else if (HIWORD(wParam) == 0 && lastFocus_ && ::IsChild(Handle(), lastFocus_) &&
                   ::IsWindowVisible(lastFocus_) && ::IsWindowEnabled(lastFocus_)) {
            ::SetFocus(lastFocus_);
            return 0;
        } else {
            lastFocus_ = nullptr;
        }
        return Win32ControlPeer::WndProc(msg, wParam, lParam);
    }
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // The session ends: the program closes as if the user had closed it, and saves what it saves.
        if (wParam) form->Close();
        return 0;
    default:
        return Win32ControlPeer::WndProc(msg, wParam, lParam);
    }
}

void Win32FormPeer::WindowLost() {
    // The main window went away under the program: end the message loop rather than run on
    // without a window.
    if (IsMainForm()) {
        if (TForm* form = As<TForm>()) form->App().Terminate();
    }
}

}  // namespace taskwell::win32
