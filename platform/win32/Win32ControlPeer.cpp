#include "platform/win32/Win32ControlPeer.h"

#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "platform/win32/Win32FormPeer.h"
#include "platform/win32/Win32UiBackend.h"
#include "ui/TApplication.h"
#include "ui/TControl.h"
#include "ui/TForm.h"
#include "ui/TMenu.h"

namespace taskwell::win32 {

namespace {
// The peer of each window we made, by its handle, looked up on every message those windows
// receive. A window property would cost a call into the window server on every look-up (under
// Wine each one is a request to the server); the map costs none. The windows and their peers
// live on the user-interface thread only.
std::unordered_map<::HWND, Win32ControlPeer*>& Peers() {
    static std::unordered_map<::HWND, Win32ControlPeer*> peers;
    return peers;
}

// Forgets the window's peer, when it is this one.
void ForgetPeer(::HWND hwnd, const Win32ControlPeer* peer) {
    auto it = Peers().find(hwnd);
    if (it != Peers().end() && it->second == peer) Peers().erase(it);
}
}  // namespace

Win32ControlPeer::Win32ControlPeer(Win32UiBackend& backend, TControl& control)
    : backend_(backend), control_(control) {
    backend_.AddControl(this);
    if (TApplication* app = control.Application()) backend_.RememberApplication(app);
}

Win32ControlPeer::~Win32ControlPeer() {
    DestroyHandle();
    backend_.RemoveControl(this);
}

Win32ControlPeer* Win32ControlPeer::FromWindow(::HWND hwnd) {
    if (!hwnd) return nullptr;
    auto it = Peers().find(hwnd);
    return it == Peers().end() ? nullptr : it->second;
}

void Win32ControlPeer::Attach(::HWND hwnd, bool setFont) {
    hwnd_ = hwnd;
    if (!hwnd_) return;
    Peers()[hwnd_] = this;
    // Windows of the system's classes are subclassed; our own classes already use WindowProc.
    auto current = reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(hwnd_, GWLP_WNDPROC));
    if (current != &Win32ControlPeer::WindowProc) {
        previous_ = current;
        ::SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32ControlPeer::WindowProc));
    }
    if (setFont && !HoldFont()) PutFont(false);
}

bool Win32ControlPeer::StillAttached(::HWND hwnd, const Win32ControlPeer* peer) {
    return hwnd && ::IsWindow(hwnd) && FromWindow(hwnd) == peer;
}

void Win32ControlPeer::ApplyFont() {
    if (!HoldFont()) PutFont(true);
}

::HBRUSH Win32ControlPeer::ChildBackground(UINT, ::HDC) { return nullptr; }

::LRESULT Win32ControlPeer::ControlColor(UINT, ::HDC dc, ::LRESULT brush) {
    ::SetTextColor(dc, static_cast<COLORREF>(control_.Font().Color & 0xFFFFFF));
    return brush;
}

::POINT Win32ControlPeer::KeyboardPopupPoint() {
    ::POINT corner{0, 0};
    if (hwnd_) ::ClientToScreen(hwnd_, &corner);
    return corner;
}

namespace {
// A tool record in the layout the oldest common controls know, which every later one takes.
TTTOOLINFOA ToolFor(::HWND owner, ::HWND window) {
    TTTOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    info.hwnd = owner;
    info.uId = reinterpret_cast<UINT_PTR>(window);
    info.lpszText = LPSTR_TEXTCALLBACKA;
    return info;
}

// Whether the handle still is a tooltip window: a form's tooltip goes with the form's window, and
// its handle may since have been given to another window.
bool IsTooltip(::HWND hwnd) {
    char name[64] = {};
    return hwnd && ::IsWindow(hwnd) && ::GetClassNameA(hwnd, name, sizeof name) > 0 &&
           lstrcmpiA(name, TOOLTIPS_CLASSA) == 0;
}
}  // namespace

void Win32ControlPeer::AddHintTool(::HWND window) {
    if (!window || control_.Hint.empty()) return;
    TForm* form = control_.ParentForm();
    auto* formPeer = form ? dynamic_cast<Win32FormPeer*>(form->Peer()) : nullptr;
    if (!formPeer || formPeer == this || !formPeer->Handle()) return;
    ::HWND tip = formPeer->Tooltip();
    if (!tip || (tooltip_ && tip != tooltip_)) return;
    TTTOOLINFOA info = ToolFor(formPeer->Handle(), window);
    if (!::SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<::LPARAM>(&info))) return;
    tooltip_ = tip;
    tooltipOwner_ = formPeer->Handle();
    hintTools_.push_back(window);
}

void Win32ControlPeer::RemoveHintTools() {
    // Before the window procedure is given back: the tooltip takes its own subclass out first.
    if (IsTooltip(tooltip_)) {
        for (::HWND window : hintTools_) {
            TTTOOLINFOA info = ToolFor(tooltipOwner_, window);
            ::SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<::LPARAM>(&info));
        }
    }
    hintTools_.clear();
    tooltip_ = tooltipOwner_ = nullptr;
}

bool Win32ControlPeer::HintText(const NMHDR& header) {
    // The tool is the peer's window or a window inside it (a combo box's field). Requests of other
    // tooltips (a list view's own) are theirs to answer.
    auto tool = reinterpret_cast<::HWND>(header.idFrom);
    Win32ControlPeer* peer = FromWindow(tool);
    if (!peer && tool) peer = FromWindow(::GetParent(tool));
    if (!peer || !peer->tooltip_ || peer->tooltip_ != header.hwndFrom) return false;
    if (header.code == TTN_GETDISPINFOA) {
        auto& info = const_cast<NMTTDISPINFOA&>(reinterpret_cast<const NMTTDISPINFOA&>(header));
        info.hinst = nullptr;
        info.szText[0] = '\0';
        // The tooltip copies the text before the widget could change it.
        info.lpszText = const_cast<char*>(peer->control_.Hint.c_str());
        return true;
    }
    auto& info = const_cast<NMTTDISPINFOW&>(reinterpret_cast<const NMTTDISPINFOW&>(header));
    info.hinst = nullptr;
    info.szText[0] = L'\0';
    info.lpszText = info.szText;
    if (peer->control_.Hint.empty()) return true;
    const std::string& hint = peer->control_.Hint;
    int length = ::MultiByteToWideChar(CP_ACP, 0, hint.c_str(), static_cast<int>(hint.size()), nullptr, 0);
    if (length <= 0) return true;
    peer->hintWide_.assign(static_cast<size_t>(length) + 1, L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, hint.c_str(), static_cast<int>(hint.size()), peer->hintWide_.data(), length);
    info.lpszText = peer->hintWide_.data();
    return true;
}

void Win32ControlPeer::DestroyHandle() {
    RemoveHintTools();
    ::HWND hwnd = hwnd_;
    if (!hwnd) return;
    // Release first, so that nothing the destruction sends reaches this peer.
    hwnd_ = nullptr;
    ForgetPeer(hwnd, this);
    if (::IsWindow(hwnd)) {
        if (previous_) ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_));
        previous_ = nullptr;
        ::DestroyWindow(hwnd);
    }
}

TApplication* Win32ControlPeer::App() const {
    return control_.Application();
}

std::string Win32ControlPeer::WindowText() const {
    const int length = ::GetWindowTextLengthA(hwnd_);
    if (length <= 0) return std::string();
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int got = ::GetWindowTextA(hwnd_, buffer.data(), length + 1);
    return std::string(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

::HWND Win32ControlPeer::ParentWindow(int& dx, int& dy) const {
    dx = dy = 0;
    for (TWinControl* p = control_.Parent(); p; p = p->Parent()) {
        if (auto* peer = dynamic_cast<Win32ControlPeer*>(p->Peer()); peer && peer->Handle()) return peer->Handle();
        dx += p->Left();
        dy += p->Top();
    }
    return nullptr;
}

bool Win32ControlPeer::CreateChild(const char* className, DWORD style, DWORD exStyle, const char* text) {
    int dx = 0, dy = 0;
    ::HWND parent = ParentWindow(dx, dy);
    if (!parent) return false;
    style |= WS_CHILD | WS_CLIPSIBLINGS;
    if (control_.Visible()) style |= WS_VISIBLE;
    if (!control_.Enabled()) style |= WS_DISABLED;
    int w = control_.Width() < 0 ? 0 : control_.Width();
    int h = control_.Height() < 0 ? 0 : control_.Height();
    ::HWND hwnd = ::CreateWindowExA(exStyle | WS_EX_NOPARENTNOTIFY, className, text ? text : "", style,
                                    control_.Left() + dx, control_.Top() + dy, w, h, parent, nullptr,
                                    backend_.Instance(), nullptr);
    if (!hwnd) return false;
    Attach(hwnd, true);
    AddHintTool(hwnd);
    return true;
}

void Win32ControlPeer::PlaceWindow() {
    if (!hwnd_) return;
    int dx = 0, dy = 0;
    ParentWindow(dx, dy);
    int w = control_.Width() < 0 ? 0 : control_.Width();
    int h = control_.Height() < 0 ? 0 : control_.Height();
    ::MoveWindow(hwnd_, control_.Left() + dx, control_.Top() + dy, w, h, TRUE);
}

bool Win32ControlPeer::HoldText() {
    if (::IsWindowVisible(hwnd_)) return false;
    textHeld_ = true;
    return true;
}

void Win32ControlPeer::ShowText() {
    ::SetWindowTextA(hwnd_, control_.Caption().c_str());
}

void Win32ControlPeer::ReleaseText() {
    if (!textHeld_ || !hwnd_) return;
    textHeld_ = false;
    FlagScope applying(applying_);
    ShowText();
}

void Win32ControlPeer::ShowHeldText() {
    if (!::IsWindowVisible(hwnd_)) return;
    if (textHeld_) ReleaseText();
    if (fontHeld_) ReleaseFont();
}

bool Win32ControlPeer::HoldFont() {
    if (!hwnd_ || ::IsWindowVisible(hwnd_) || backend_.FontFor(control_.Font()) == backend_.Font()) {
        fontHeld_ = false;
        return false;
    }
    fontHeld_ = true;
    return true;
}

void Win32ControlPeer::ReleaseFont() {
    if (!fontHeld_ || !hwnd_) return;
    fontHeld_ = false;
    FlagScope applying(applying_);
    PutFont(true);
}

void Win32ControlPeer::PutFont(bool redraw) {
    if (::HFONT font = backend_.FontFor(control_.Font()))
        ::SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<::WPARAM>(font), redraw ? TRUE : FALSE);
}

void Win32ControlPeer::Changed(Change what, int index) {
    if (!hwnd_) return;
    FlagScope applying(applying_);
    Apply(what, index);
}

void Win32ControlPeer::Apply(Change what, int) {
    switch (what) {
    case Change::Bounds:
        PlaceWindow();
        break;
    case Change::Visible:
        ::ShowWindow(hwnd_, control_.Visible() ? SW_SHOWNA : SW_HIDE);
        break;
    case Change::Enabled:
        ::EnableWindow(hwnd_, control_.Enabled() ? TRUE : FALSE);
        break;
    case Change::Caption:
        ::SetWindowTextA(hwnd_, control_.Caption().c_str());
        break;
    case Change::Font:
        ApplyFont();
        break;
    default:
        break;
    }
}

bool Win32ControlPeer::OnNotify(const NMHDR&, ::LRESULT&) { return false; }
bool Win32ControlPeer::OnCommand(WORD) { return false; }
void Win32ControlPeer::ImageListChanged(::HIMAGELIST) {}
void Win32ControlPeer::ImageListGone(::HIMAGELIST) {}
void Win32ControlPeer::Recheck() {}

::LRESULT Win32ControlPeer::DefaultProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    if (previous_) return ::CallWindowProcA(previous_, hwnd_, msg, wParam, lParam);
    return ::DefWindowProcA(hwnd_, msg, wParam, lParam);
}

::LRESULT Win32ControlPeer::WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    switch (msg) {
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (!header) break;
        if ((header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW) && HintText(*header)) return 0;
        // A list view passes on its header's notifications: those go to the list view's peer.
        Win32ControlPeer* child = FromWindow(header->hwndFrom);
        if (!child && header->hwndFrom) child = FromWindow(::GetParent(header->hwndFrom));
        if (child && child != this) {
            ::LRESULT result = 0;
            if (child->OnNotify(*header, result)) return result;
        }
        break;
    }
    case WM_COMMAND:
        if (lParam == 0) {
            // A menu command (HIWORD 0); accelerators (HIWORD 1) are not used.
            if (HIWORD(wParam) == 0 && backend_.MenuCommand(LOWORD(wParam))) return 0;
        } else if (Win32ControlPeer* child = FromWindow(reinterpret_cast<::HWND>(lParam)); child && child != this) {
            if (child->OnCommand(HIWORD(wParam))) return 0;
        }
        break;
    case WM_HELP: {
        // F1: the topic of the element asked about, else of the nearest element around it that has one.
        const auto* info = reinterpret_cast<const HELPINFO*>(lParam);
        if (!info) break;
        int topic = 0;
        if (info->iContextType == HELPINFO_MENUITEM) {
            for (TMenuItem* item = backend_.MenuItemOf(static_cast<UINT>(info->iCtrlId)); item && topic == 0;
                 item = item->ParentItem())
                topic = item->HelpContext;
        }
        Win32ControlPeer* target = info->iContextType == HELPINFO_WINDOW
                                       ? FromWindow(static_cast<::HWND>(info->hItemHandle))
                                       : nullptr;
        for (TControl* c = target ? &target->Control() : &control_; c && topic == 0; c = c->Parent())
            topic = c->HelpContext;
        if (TApplication* app = App()) app->HelpContext(topic);
        return TRUE;
    }
    case WM_CONTEXTMENU:
        // A right click or the menu key: the control's popup menu opens; a control without one
        // leaves the message to the default handling, which passes it on to its parent.
        if (control_.PopupMenu) {
            ::POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
            const bool fromKeyboard = at.x == -1 && at.y == -1;
            // A click on a frame, caption or scroll bar keeps the system's own menu or none.
            if (!fromKeyboard && ::SendMessageA(hwnd_, WM_NCHITTEST, 0, lParam) != HTCLIENT) break;
            if (fromKeyboard) {
                // From the keyboard: at the place the control the user was in chooses.
                Win32ControlPeer* source = FromWindow(reinterpret_cast<::HWND>(wParam));
                at = (source ? source : this)->KeyboardPopupPoint();
            }
            ::HWND self = hwnd_;
            BeforeContextPopup();
            if (!StillAttached(self, this)) return 0;
            control_.PeerContextPopup(at.x, at.y);
            return 0;
        }
        break;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH:
        // Whoever asks gets the current text, also while it is held back.
        ReleaseText();
        break;
    case WM_GETFONT:
        // And the current font.
        ReleaseFont();
        break;
    case WM_WINDOWPOSCHANGED:
        // Every way of showing a window passes here once it shows: the held texts below it follow.
        if (reinterpret_cast<const ::WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) backend_.ShowHeldTexts();
        break;
    case WM_SETCURSOR:
        // While the program is busy every one of its windows shows the hourglass; clicks on a
        // window a modal form disables keep the system's answer.
        if (backend_.Cursor() == TCursor::crHourGlass && static_cast<short>(LOWORD(lParam)) != HTERROR) {
            ::SetCursor(backend_.CursorHandle(TCursor::crHourGlass));
            return TRUE;
        }
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX: {
        // The container chooses the background, then the control its text colour (and its own
        // background, when it has one).
        auto dc = reinterpret_cast<::HDC>(wParam);
        ::LRESULT brush = 0;
        if (::HBRUSH own = ChildBackground(msg, dc))
            brush = reinterpret_cast<::LRESULT>(own);
        else
            brush = DefaultProc(msg, wParam, lParam);
        Win32ControlPeer* child = FromWindow(reinterpret_cast<::HWND>(lParam));
        if (child && child != this) brush = child->ControlColor(msg, dc, brush);
        return brush;
    }
    case WM_ENTERMENULOOP:
        backend_.EnterMenuLoop();
        break;
    case WM_EXITMENULOOP:
        backend_.ExitMenuLoop();
        break;
    default:
        break;
    }
    return DefaultProc(msg, wParam, lParam);
}

::LRESULT CALLBACK Win32ControlPeer::WindowProc(::HWND hwnd, UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    Win32ControlPeer* peer = FromWindow(hwnd);
    if (!peer || peer->hwnd_ != hwnd) return ::DefWindowProcA(hwnd, msg, wParam, lParam);

    if (msg == WM_NCDESTROY) {
        // The window goes without the peer having asked: forget it, and let the widget know.
        WNDPROC previous = peer->previous_;
        ForgetPeer(hwnd, peer);
        if (previous) ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
        peer->previous_ = nullptr;
        peer->hwnd_ = nullptr;
        Win32UiBackend& backend = peer->backend_;
        TApplication* app = peer->App();
        try {
            peer->WindowLost();
        } catch (const std::exception& e) {
            backend.ReportException(app, e);
        } catch (...) {
            backend.ReportException(app, std::runtime_error("Unknown error"));
        }
        return previous ? ::CallWindowProcA(previous, hwnd, msg, wParam, lParam)
                        : ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }

    // A handler may destroy the peer (closing a window, rebuilding a page): what the error path
    // needs is taken beforehand.
    Win32UiBackend& backend = peer->backend_;
    TApplication* app = peer->App();
    try {
        return peer->WndProc(msg, wParam, lParam);
    } catch (const std::exception& e) {
        backend.ReportException(app, e);
    } catch (...) {
        backend.ReportException(app, std::runtime_error("Unknown error"));
    }
    return 0;
}

}  // namespace taskwell::win32
