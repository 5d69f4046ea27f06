#include "components/TTrayIcon.h"

#include <algorithm>
#include <cstring>

#include "app/MiscUtils.h"
#include "ui/TApplication.h"
#include "ui/TForm.h"
#include "ui/TMenu.h"

namespace taskwell {

TTrayIcon::TTrayIcon(TApplication& app, IWindows& windows, IShell& shell)
    : app_(app), windows_(windows), shell_(shell), self_(std::make_shared<TTrayIcon*>(this)) {
    try {
        taskbarCreated_ = windows_.RegisterWindowMessageA("TaskbarCreated");
    } catch (...) {
        // Without the message the icon simply does not come back after a restart of the shell.
        taskbarCreated_ = 0;
    }
    EnsureWindow();
}

TTrayIcon::~TTrayIcon() {
    // From here on a message reaching the hidden window finds no component.
    *self_ = nullptr;
    if (active_) Notify(NIM_DELETE, 0);
    FreeOldCopies(0);
    if (hwnd_ != 0) {
        try {
            windows_.DestroyWindow(hwnd_);
        } catch (...) {
            // The system takes the window when the program ends.
        }
    }
}

bool TTrayIcon::EnsureWindow() {
    if (hwnd_ != 0) return true;
    std::shared_ptr<TTrayIcon*> self = self_;
    try {
        hwnd_ = windows_.CreateMessageWindow([self](UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
            TTrayIcon* tray = *self;
            return tray ? tray->WndProc(msg, wParam, lParam) : 0;
        });
    } catch (...) {
        hwnd_ = 0;
    }
    return hwnd_ != 0;
}

void TTrayIcon::SetActive(bool active) {
    if (active == active_) return;
    active_ = active;
    if (active_)
        Add();
    else
        Notify(NIM_DELETE, 0);
}

void TTrayIcon::Add() {
    // A window that could not be made at construction is tried again here.
    if (!EnsureWindow()) return;
    Notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    // The shell may not take the tooltip with the add; applying it again afterwards, from the
    // message loop, makes sure it shows.
    if (toolTip_.empty()) {
        try {
            windows_.PostMessageA(hwnd_, kRetipMessage, 0, 0);
        } catch (...) {
        }
    }
}

void TTrayIcon::SetIcon(const TIcon& picture) {
    Change(&picture, toolTip_);
}

void TTrayIcon::SetIconAndToolTip(const TIcon& picture, const std::string& text) {
    Change(&picture, text);
}

void TTrayIcon::Change(const TIcon* picture, const std::string& text) {
    toolTip_ = text.substr(0, std::min(text.size(), kMaxToolTip));
    if (!picture) {
        if (active_) Notify(NIM_MODIFY, NIF_TIP);
        return;
    }
    icon_.SetHandle(picture->Empty() ? 0 : CopyOf(*picture));
    if (active_) Notify(NIM_MODIFY, NIF_ICON | NIF_TIP);
    // The shell has the new picture by now: copies beyond those kept can go.
    FreeOldCopies(kKeptCopies);
}

HICON TTrayIcon::CopyOf(const TIcon& picture) {
    auto kept = std::find_if(copies_.begin(), copies_.end(),
                             [&](const KeptCopy& c) { return c.picture == picture.Picture(); });
    if (kept != copies_.end()) {
        std::rotate(kept, kept + 1, copies_.end());
        return copies_.back().copy;
    }
    HICON copy = 0;
    try {
        copy = shell_.CopyIcon(picture.Handle());
    } catch (...) {
        copy = 0;
    }
    // A copy that failed is tried again when the picture is next set.
    if (copy != 0) copies_.push_back(KeptCopy{picture.Picture(), copy});
    return copy;
}

void TTrayIcon::FreeOldCopies(size_t kept) {
    if (copies_.size() <= kept) return;
    const auto old = copies_.end() - static_cast<std::ptrdiff_t>(kept);
    for (auto it = copies_.begin(); it != old; ++it) DestroyIconQuietly(shell_, it->copy);
    copies_.erase(copies_.begin(), old);
}

void TTrayIcon::SetToolTip(const std::string& text) {
    Change(nullptr, text);
}

void TTrayIcon::Notify(DWORD message, UINT flags) {
    // Without its window the icon could neither be told apart from others nor clicked.
    if (hwnd_ == 0) return;
    record_ = NOTIFYICONDATAA{};
    record_.cbSize = sizeof(NOTIFYICONDATAA);
    record_.hWnd = hwnd_;
    record_.uID = 0;
    record_.uFlags = flags;
    if (flags & NIF_MESSAGE) record_.uCallbackMessage = kNotifyMessage;
    if (flags & NIF_ICON) record_.hIcon = icon_.Handle();
    if (flags & NIF_TIP)
        std::memcpy(record_.szTip, toolTip_.data(), std::min(toolTip_.size(), sizeof(record_.szTip) - 1));
    bool accepted = false;
    try {
        accepted = shell_.Shell_NotifyIconA(message, record_);
    } catch (...) {
        // Not reported and not retried, as a failure the call reports itself.
        accepted = false;
    }
    if (message == NIM_DELETE)
        present_ = false;
    else
        present_ = accepted;
}

HWND TTrayIcon::ApplicationWindow() const {
    TForm* main = app_.MainForm;
    return main ? app_.Backend().WindowHandle(*main) : 0;
}

LRESULT TTrayIcon::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kNotifyMessage) {
        // The mouse message is in the low word (the whole parameter on the Windows 95 family).
        MouseMessage(static_cast<UINT>(lParam) & 0xFFFF);
        return 0;
    }
    if (msg == kRetipMessage) {
        app_.Guarded([&] { SetToolTip(toolTip_); });
        return 0;
    }
    if (taskbarCreated_ != 0 && msg == taskbarCreated_) {
        // A new shell knows nothing of the icons of the old one.
        if (active_) app_.Guarded([&] { Add(); });
        return 0;
    }
    return windows_.DefWindowProcA(hwnd_, msg, wParam, lParam);
}

void TTrayIcon::MouseMessage(UINT mouse) {
    switch (mouse) {
    case WM_LBUTTONUP:
        app_.Guarded([&] {
            if (OnClick) OnClick(*this);
        });
        break;
    case WM_LBUTTONDBLCLK:
        app_.Guarded([&] {
            if (OnDblClick) OnDblClick(*this);
        });
        break;
    case WM_RBUTTONUP:
        RightClick();
        break;
    default:
        break;
    }
}

void TTrayIcon::RightClick() {
    // Handlers and the menu may end the component; only this copy tells.
    const std::shared_ptr<TTrayIcon*> self = self_;
    POINT at{0, 0};
    app_.Guarded([&] {
        if (!windows_.GetCursorPos(at)) at = POINT{0, 0};
    });
    if (PopupMenu) {
        // The menu only closes on a click elsewhere when the program is in the foreground.
        app_.Guarded([&] {
            const HWND owner = ApplicationWindow();
            windows_.SetForegroundWindow(owner != 0 ? owner : hwnd_);
            app_.ProcessMessages();
        });
        if (*self == nullptr) return;
        app_.Guarded([&] {
            if (!PopupMenu) return;
            if (TForm* main = app_.MainForm)
                PopupMenu->Popup(*main, at.x, at.y);
            else
                app_.Backend().Popup(*PopupMenu, at.x, at.y);
        });
        if (*self == nullptr) return;
    }
    app_.Guarded([&] {
        if (OnRightClick) OnRightClick(*this, TMouseButton::mbRight, 0, at.x, at.y);
    });
}

}  // namespace taskwell
