// The main window's tray icon, minimise hook and restore.
//
// The application window. On the Windows 95 family a program's task bar button belongs to its
// application window; in Taskwell that window is the main form's own top-level window (there is no
// separate hidden application window). So:
//   - hiding it when minimised ("&Hide When Minimized") removes the task bar button, as intended;
//   - the restore sends its messages to it and shows it again;
//   - the delayed bring-to-front brings forward the window most recently active among those it owns
//     (a dialog of the program), or the main form itself when there is none. A rule that skipped the
//     application window itself would never bring the main form forward here.
#include <cstdint>
#include <string>

#include "app/Main.h"
#include "app/MiscUtils.h"
#include "ui/TApplication.h"
#include "ui/TIcon.h"

namespace taskwell {

namespace {

constexpr std::int64_t kTrayLevels = 12;
constexpr UINT kSetTopWindowDelayMs = 100;

// The name of the meter's picture of a level, 0 to 12.
std::string LevelIconName(std::int64_t level) {
    return "Z_" + std::to_string(level);
}

// The icon resource showing the CPU level: "Z_0" to "Z_12", the lowest n of twelve rows filled,
// n = CPUUsage x 12 / 100 rounded to the nearest whole number (a counter glitch above 100 % shows
// the full meter). A whole percentage never falls exactly halfway between two levels
// (12 x CPUUsage = 100 x n + 50 has no whole solution), so the rounding of halves never arises.
// Without a reading (CPUUsage negative) the meter is "Z_NONE", an unlit meter: a level of 0 would
// claim an idle processor.
std::string TrayIconName(LONG cpuUsage) {
    if (cpuUsage < 0) return "Z_NONE";
    std::int64_t level = (static_cast<std::int64_t>(cpuUsage) * kTrayLevels + 50) / 100;
    if (level > kTrayLevels) level = kTrayLevels;
    return LevelIconName(level);
}

}  // namespace

// A double-click on the tray icon restores the window; a right click pops up Menus.popTray.
void TfrmMain::ConnectTray() {
    TrayIcon.Name = "TrayIcon";
    TrayIcon.OnDblClick = [this](TTrayIcon&) { itmPopRestoreTaskwellClick(); };
    TrayIcon.PopupMenu = &Menus.popTray;
    tmrSetTopWindow.OnTimer = [this] { tmrSetTopWindowTimer(); };
    // The meter's pictures are loaded once, here, and kept while the window lives: the meter moves
    // among them all day, and the program's use of the system's objects stays level from the start.
    for (std::int64_t level = 0; level <= kTrayLevels; ++level) LevelPicture(LevelIconName(level));
    LevelPicture("Z_NONE");
}

void TfrmMain::UpdateTrayIcon() {
    // Only what changed goes to the shell: every change of the icon or its tooltip crosses to the
    // shell's process, and a tick whose CPU level is the last one's has nothing new to show.
    // A new level picture and a new tooltip go together, in one change.
    const LONG cpuUsage = Readings.CPUUsage;
    const std::string tip = cpuUsage < 0 ? std::string() : "CPU Usage: " + std::to_string(cpuUsage) + "%";
    const std::string level = TrayIconName(cpuUsage);
    if (level != trayLevelShown_ || TrayIcon.Icon().Empty()) {
        const TIcon& picture = LevelPicture(level);
        // The tray icon keeps a copy of the picture; the task bar button shows the level picture
        // itself, or none when the tray has none either.
        TrayIcon.SetIconAndToolTip(picture, tip);
        App().SetIcon(TrayIcon.Icon().Empty() ? 0 : picture.Handle());
        trayLevelShown_ = TrayIcon.Icon().Empty() ? std::string() : level;
    } else if (tip != TrayIcon.ToolTip()) {
        TrayIcon.SetToolTip(tip);
    }
    if (Menus.itmShowIconInTray->Checked()) TrayIcon.SetActive(true);
}

const TIcon& TfrmMain::LevelPicture(const std::string& level) {
    TIcon& picture = levelPictures_[level];
    // A picture that could not be loaded is tried again at the next change of level.
    if (picture.Empty()) LoadIconResource(platform_.Shell, picture, level);
    return picture;
}

void TfrmMain::FreeLevelPictures() {
    // The application's windows let go of them first.
    App().SetIcon(0);
    for (auto& [level, picture] : levelPictures_) DestroyIconQuietly(platform_.Shell, picture.Handle());
    levelPictures_.clear();
}

void TfrmMain::SetTrayIconShown(bool shown) {
    TrayIcon.SetActive(shown);
}

void TfrmMain::InstallMinimizeHook() {
    App().OnMinimize = [this] { FormMinimize(); };
}

void TfrmMain::FormMinimize() {
    if (!App().Minimized() || !Menus.itmHideWhenMinimized->Checked()) return;
    // Hidden without its tray icon the window could never be brought back: it stays on the task bar.
    if (!TrayIcon.Present()) return;
    const HWND window = platform_.Ui.WindowHandle(*this);
    if (window != 0) platform_.Windows.ShowWindow(window, SW_HIDE);
}

void TfrmMain::itmPopRestoreTaskwellClick() {
    IWindows& windows = platform_.Windows;
    const HWND window = platform_.Ui.WindowHandle(*this);
    // A window closed for good has nothing to bring back.
    if (window == 0) return;
    if (!WindowShown) {
        // Never shown yet: activate the program as the system would, then restore it.
        windows.SendMessageA(window, WM_ACTIVATEAPP, 1, static_cast<LPARAM>(windows.GetCurrentThreadId()));
        windows.SendMessageA(window, WM_NCACTIVATE, 1, 0);
        windows.SendMessageA(window, WM_ACTIVATE, 1, 1);
        windows.SendMessageA(window, WM_SYSCOMMAND, SC_RESTORE, 0);
    }
    windows.SendMessageA(window, WM_SHOWWINDOW, 1, 3);
    windows.ShowWindow(window, SW_RESTORE);
    // A window hidden when minimised gets its task bar button back.
    if (Menus.itmHideWhenMinimized->Checked()) windows.ShowWindow(window, SW_SHOW);
    // The window comes to the front a moment later, once the restore has been handled.
    tmrSetTopWindow.SetInterval(kSetTopWindowDelayMs);
    tmrSetTopWindow.SetEnabled(true);
}

void TfrmMain::tmrSetTopWindowTimer() {
    tmrSetTopWindow.SetEnabled(false);
    IWindows& windows = platform_.Windows;
    const HWND window = platform_.Ui.WindowHandle(*this);
    if (window == 0) return;
    // The restore itself is done; this is its finishing touch, run by a timer with no command the
    // user is waiting on. A window manager that fails here leaves the window where it is, rather
    // than putting an error box in front of the window just restored.
    try {
        const HWND target = windows.GetLastActivePopup(window);
        if (target != 0 && windows.IsWindowVisible(target) && windows.IsWindowEnabled(target))
            windows.SetForegroundWindow(target);
    } catch (...) {
    }
}

}  // namespace taskwell
