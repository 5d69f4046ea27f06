// An icon in the notification area of the task bar, with a tooltip, mouse events and a popup menu.
//
// The component owns a hidden window of its own, which receives the shell's mouse notifications,
// and one notification record that it fills before every call to Shell_NotifyIconA. An add carries
// the whole record; a change carries only what changed (a tooltip alone leaves the picture out, so
// the shell neither copies the picture again nor repaints it). A failed call
// is neither reported nor retried: the component counts the icon as present, and later changes go
// out as modifications. When the shell starts again (it announces a new task bar with the
// "TaskbarCreated" message), an active icon is added again, so it survives a restart of the shell.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/Shell.h"
#include "platform/Windowing.h"
#include "ui/TIcon.h"

namespace taskwell {

class TApplication;
class TPopupMenu;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Keys and buttons held during a mouse event, as flags.
using TShiftState = unsigned;
constexpr TShiftState ssShift = 0x01;
constexpr TShiftState ssAlt = 0x02;
constexpr TShiftState ssCtrl = 0x04;

class TTrayIcon {
public:
    // The message the shell sends to the hidden window for mouse actions on the icon, and the one
    // the component posts itself to apply its tooltip again after an add.
    static constexpr UINT kNotifyMessage = WM_USER + 1;
    static constexpr UINT kRetipMessage = WM_USER + 2;
    static constexpr size_t kMaxToolTip = 62;

    TTrayIcon(TApplication& app, IWindows& windows, IShell& shell);
    ~TTrayIcon();
    TTrayIcon(const TTrayIcon&) = delete;
    TTrayIcon& operator=(const TTrayIcon&) = delete;

    std::string Name;

    // The icon is meant to be in the notification area: true adds it, false removes it.
    bool Active() const { return active_; }
    void SetActive(bool active);
    // The shell really holds the icon: its last add or change was accepted. A shell that refused it
    // (or lost it) leaves the program without a way back through the tray.
    bool Present() const { return present_; }
    // Only matters while a form is being designed; the program never is.
    bool ShowDesigning = false;
    // The picture shown. The component keeps a copy of its own; an empty picture shows nothing.
    // The copies of the last few pictures are kept while the component lives, so a picture shown
    // again (the CPU meter moves among a few neighbouring levels all day) is not copied again.
    const TIcon& Icon() const { return icon_; }
    void SetIcon(const TIcon& picture);
    // Cut to its first 62 characters when set.
    const std::string& ToolTip() const { return toolTip_; }
    void SetToolTip(const std::string& text);
    // Both at once, handed to the shell in one change (each change crosses to the shell's process).
    void SetIconAndToolTip(const TIcon& picture, const std::string& text);

    // Left button released on the icon.
    std::function<void(TTrayIcon& sender)> OnClick;
    // Left button double-clicked on the icon.
    std::function<void(TTrayIcon& sender)> OnDblClick;
    // Right button released on the icon, after the popup menu has closed; x and y are the cursor's
    // position on the screen.
    std::function<void(TTrayIcon& sender, TMouseButton button, TShiftState shift, int x, int y)> OnRightClick;
    // Shown at the cursor on a right click; not owned.
    TPopupMenu* PopupMenu = nullptr;

    // The hidden window the shell notifies; 0 when it could not be made.
    HWND Handle() const { return hwnd_; }

private:
    // What the hidden window does with a message.
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam);
    void MouseMessage(UINT mouse);
    void RightClick();
    bool EnsureWindow();
    // The window of the program that owns its task bar button: the main form's window.
    HWND ApplicationWindow() const;
    void Add();
    // Takes a copy of the picture (null: the picture stays) and the tooltip, then tells the shell
    // once while the icon is active.
    void Change(const TIcon* picture, const std::string& text);
    // The component's copy of a picture, made now unless one is kept; 0 when none could be made.
    HICON CopyOf(const TIcon& picture);
    // Frees the copies beyond those kept (never the one shown; it is the most recent).
    void FreeOldCopies(size_t kept);
    // Fills the record with the members named by flags (NIF_*) and hands it to the shell; the
    // outcome is not looked at.
    void Notify(DWORD message, UINT flags);

    // A copy the component made, and the picture it was made from (TIcon::Picture).
    struct KeptCopy {
        std::uint64_t picture;
        HICON copy;
    };
    static constexpr size_t kKeptCopies = 4;

    TApplication& app_;
    IWindows& windows_;
    IShell& shell_;
    bool active_ = false;
    bool present_ = false;
    TIcon icon_;
    // The copies kept, the one shown last.
    std::vector<KeptCopy> copies_;
    std::string toolTip_;
    HWND hwnd_ = 0;
    UINT taskbarCreated_ = 0;
    NOTIFYICONDATAA record_{};
    // Shared with the hidden window's handler, which does nothing once the component has gone.
    std::shared_ptr<TTrayIcon*> self_;
};

}  // namespace taskwell
