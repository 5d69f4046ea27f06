// The main window's tray icon: the CPU meter on every tick, the minimise hook and the restore.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "app/Main.h"
#include "support/SimFixture.h"
#include "ui/TApplication.h"

namespace taskwell {
namespace {

using sim::Op;
using sim::WindowEvent;
using sim::WinOp;
using testing::SimFixture;

struct TrayMainFixture : testing::MainWindowFixture {
    HWND window = 0;
    explicit TrayMainFixture(bool show = true) {
        Create();
        if (show) form->Show();
        window = ui.WindowHandle(*form);
    }
    const NOTIFYICONDATAA* Shown() const {
        auto it = machine.TrayIcons.find({form->TrayIcon.Handle(), 0u});
        return it == machine.TrayIcons.end() ? nullptr : &it->second;
    }
    // The user minimises the main window (its minimise button).
    void UserMinimizes() { windows.Apply(window, SW_MINIMIZE); }
    void DoubleClickTray() {
        windows.SendMessageA(form->TrayIcon.Handle(), TTrayIcon::kNotifyMessage, 0, WM_LBUTTONDBLCLK);
    }
    // The calls made on the main window and the messages it was sent, without the window manager's
    // own notifications.
    std::vector<WindowEvent> CallsOnWindow() const {
        std::vector<WindowEvent> out;
        for (const auto& e : windows.LogOf(window))
            if (e.kind != WindowEvent::Kind::System) out.push_back(e);
        return out;
    }
};

std::string Describe(const WindowEvent& e) {
    switch (e.kind) {
    case WindowEvent::Kind::Sent:
        return "send " + std::to_string(e.msg) + "(" + std::to_string(e.wParam) + "," + std::to_string(e.lParam) + ")";
    case WindowEvent::Kind::ShowWindow:
        return "show " + std::to_string(e.cmdShow);
    case WindowEvent::Kind::SetForegroundWindow:
        return "foreground";
    default:
        return "other";
    }
}

std::vector<std::string> Describe(const std::vector<WindowEvent>& events) {
    std::vector<std::string> out;
    for (auto& e : events) out.push_back(Describe(e));
    return out;
}

TEST(TrayMeter, ShowsTheCpuLevelAndUsage) {
    struct Case {
        LONG cpuUsage;
        const char* icon;
        const char* tip;
    };
    const Case cases[] = {
        {0, "Z_0", "CPU Usage: 0%"},     {4, "Z_0", "CPU Usage: 4%"},        // 0.48 rounds down
        {5, "Z_1", "CPU Usage: 5%"},     {25, "Z_3", "CPU Usage: 25%"},      // 0.6 and 3.0
        {75, "Z_9", "CPU Usage: 75%"},   {100, "Z_12", "CPU Usage: 100%"},
        {125, "Z_12", "CPU Usage: 125%"},  // a counter glitch shows the full meter
        {INT32_MAX, "Z_12", "CPU Usage: 2147483647%"},
        {-1, "Z_NONE", ""},  // no reading: the unlit meter, no tooltip
    };
    TrayMainFixture f;
    TfrmMain& m = *f.form;
    for (const Case& c : cases) {
        m.Readings.CPUUsage = c.cpuUsage;
        m.UpdateTrayIcon();
        EXPECT_EQ(m.TrayIcon.ToolTip(), c.tip) << c.cpuUsage;
        const NOTIFYICONDATAA* shown = f.Shown();
        ASSERT_NE(shown, nullptr) << c.cpuUsage;
        EXPECT_STREQ(shown->szTip, c.tip) << c.cpuUsage;
        // The tray and the task bar button show the level's picture, and it is alive.
        EXPECT_TRUE(f.machine.IsUsableIcon(shown->hIcon)) << c.cpuUsage;
        EXPECT_EQ(f.machine.IconResourceOf(shown->hIcon), c.icon) << c.cpuUsage;
        EXPECT_TRUE(f.machine.IsUsableIcon(f.app.Icon())) << c.cpuUsage;
        EXPECT_EQ(f.machine.IconResourceOf(f.app.Icon()), c.icon) << c.cpuUsage;
    }
}

TEST(TrayMeter, AMissingPictureLeavesTheIconEmptyButSetsTheToolTip) {
    testing::MainWindowFixture f;
    f.machine.IconResources.erase("Z_6");
    TfrmMain& m = f.Create();
    m.Show();
    m.Readings.CPUUsage = 50;
    m.UpdateTrayIcon();
    EXPECT_TRUE(m.TrayIcon.Icon().Empty());
    EXPECT_EQ(f.app.Icon(), 0u);
    auto shown = f.machine.TrayIcons.find({m.TrayIcon.Handle(), 0u});
    ASSERT_NE(shown, f.machine.TrayIcons.end());
    EXPECT_EQ(shown->second.hIcon, 0u);
    EXPECT_STREQ(shown->second.szTip, "CPU Usage: 50%");
}

TEST(TrayMeter, EveryTickUpdatesTheIconWithoutLeakingPictures) {
    TrayMainFixture f;
    // Creation made the icon present, as "&Show icon in tray" is on by default.
    ASSERT_NE(f.Shown(), nullptr);
    const size_t calls = f.machine.NotifyCalls.size();
    // The statistic reads 30: its reader takes it on its next poll, the tick after shows it.
    f.registry.SetStatValue("KERNEL\\CPUUsage", 30);
    f.ui.Advance(2 * 1750);
    EXPECT_GT(f.machine.NotifyCalls.size(), calls);
    EXPECT_STREQ(f.Shown()->szTip, "CPU Usage: 30%");
    const int icons = f.machine.LiveIcons();
    // Six ticks over pictures loaded with the window, twice: the tray keeps copies of the last few
    // levels it showed, and no more however long the meter moves.
    int afterFirstRound = 0;
    for (int round = 0; round < 2; ++round) {
        for (LONG usage : {10, 90, -1, 100, 0, 30}) {
            f.registry.SetStatValue("KERNEL\\CPUUsage", static_cast<DWORD>(usage));
            f.ui.Advance(1750);
        }
        if (round == 0) afterFirstRound = f.machine.LiveIcons();
    }
    EXPECT_EQ(f.machine.LiveIcons(), afterFirstRound);
    EXPECT_LE(f.machine.LiveIcons(), icons + 3);
}

TEST(TrayMeter, ATickWithNothingNewLeavesTheShellAlone) {
    TrayMainFixture f;
    TfrmMain& m = *f.form;
    struct Step {
        LONG cpuUsage;
        int notifies;  // changes handed to the shell
        UINT members;  // what the change carries
    };
    // 40 and 41 share the level picture Z_5 but not the tooltip: the change carries the tooltip
    // alone and the shell keeps the picture. The same reading again changes nothing; a missing
    // reading changes both, in one change.
    const UINT both = NIF_ICON | NIF_TIP;
    const Step steps[] = {{40, 1, both}, {40, 0, 0}, {41, 1, NIF_TIP}, {41, 0, 0}, {-1, 1, both}, {-1, 0, 0}};
    for (const Step& s : steps) {
        const size_t notifies = f.machine.NotifyCalls.size();
        m.Readings.CPUUsage = s.cpuUsage;
        m.UpdateTrayIcon();
        EXPECT_EQ(static_cast<int>(f.machine.NotifyCalls.size() - notifies), s.notifies) << s.cpuUsage;
        if (s.notifies) {
            EXPECT_EQ(f.machine.NotifyCalls.back().data.uFlags, s.members) << s.cpuUsage;
        }
        ASSERT_NE(f.Shown(), nullptr);
        EXPECT_STREQ(f.Shown()->szTip, m.TrayIcon.ToolTip().c_str()) << s.cpuUsage;
        EXPECT_EQ(f.machine.IconResourceOf(f.app.Icon()), f.machine.IconResourceOf(f.Shown()->hIcon)) << s.cpuUsage;
    }
}

TEST(TrayMeter, EachLevelPictureIsLoadedOnceAndFreedWithTheWindow) {
    testing::MainWindowFixture f;
    // As on Windows: every load makes a picture of the program's own, which it must free.
    f.machine.SharedResourceIcons = false;
    const int before = f.machine.LiveIcons();
    TfrmMain& m = f.Create();
    for (LONG usage : {40, 90, 40, -1, 90, 40, 90}) {
        m.Readings.CPUUsage = usage;
        m.UpdateTrayIcon();
    }
    // Every level picture loaded once, with the window; none again however often it shows.
    for (const char* level : {"Z_0", "Z_5", "Z_11", "Z_12", "Z_NONE"})
        EXPECT_EQ(std::count(f.machine.LoadedIconNames.begin(), f.machine.LoadedIconNames.end(), level), 1) << level;
    EXPECT_EQ(f.machine.IconResourceOf(f.app.Icon()), "Z_11");
    f.form.reset();
    EXPECT_EQ(f.app.Icon(), 0u);
    EXPECT_EQ(f.machine.LiveIcons(), before);
}

TEST(TrayMeter, TheOptionDecidesWhetherTheIconIsPresent) {
    TrayMainFixture f;
    TfrmMain& m = *f.form;
    // Hide When Minimized off frees "&Show icon in tray"; switching that off removes the icon.
    m.Menus.itmHideWhenMinimized->Click();
    m.Menus.itmShowIconInTray->Click();
    EXPECT_FALSE(m.TrayIcon.Active());
    EXPECT_EQ(f.Shown(), nullptr);
    f.ui.Advance(1750);
    EXPECT_EQ(f.Shown(), nullptr);
    m.Menus.itmShowIconInTray->Click();
    EXPECT_NE(f.Shown(), nullptr);
}

TEST(TrayMeter, ShutdownRemovesTheIcon) {
    TrayMainFixture f;
    ASSERT_NE(f.Shown(), nullptr);
    const HWND trayWindow = f.form->TrayIcon.Handle();
    f.form.reset();
    EXPECT_TRUE(f.machine.TrayIcons.empty());
    EXPECT_EQ(f.machine.NotifyCalls.back().message, NIM_DELETE);
    EXPECT_EQ(f.windows.Find(trayWindow), nullptr);
}

TEST(TrayRestore, MinimisingHidesTheWindowOnlyWithHideWhenMinimized) {
    for (bool hide : {true, false}) {
        TrayMainFixture f;
        if (!hide) f.form->Menus.itmHideWhenMinimized->Click();
        f.windows.ClearLog();
        f.UserMinimizes();
        EXPECT_TRUE(f.app.Minimized()) << hide;
        const sim::SimWindow* w = f.windows.Find(f.window);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->state, sim::ShowState::Minimized) << hide;
        // Hidden, the window has no task bar button; the tray icon is the way back.
        EXPECT_EQ(w->visible, !hide) << hide;
        EXPECT_EQ(Describe(f.CallsOnWindow()), hide ? std::vector<std::string>{"show 0"} : std::vector<std::string>{})
            << hide;
        EXPECT_NE(f.Shown(), nullptr) << hide;
    }
}

TEST(TrayRestore, DoubleClickBringsTheWindowBackAndToTheFrontALittleLater) {
    TrayMainFixture f;
    f.UserMinimizes();
    // Another program is in front meanwhile.
    sim::SimWindow other;
    other.caption = "Notepad";
    other.visible = true;
    const HWND notepad = f.windows.AddWindow(other);
    f.windows.SetForegroundWindow(notepad);
    f.windows.ClearLog();

    const std::uint64_t start = f.machine.Now();
    f.DoubleClickTray();
    const std::string showWindow = "send " + std::to_string(WM_SHOWWINDOW) + "(1,3)";
    EXPECT_EQ(Describe(f.CallsOnWindow()), (std::vector<std::string>{showWindow, "show " + std::to_string(SW_RESTORE),
                                                                     "show " + std::to_string(SW_SHOW)}));
    const sim::SimWindow* w = f.windows.Find(f.window);
    EXPECT_TRUE(w->visible);
    EXPECT_EQ(w->state, sim::ShowState::Normal);
    EXPECT_FALSE(f.app.Minimized());
    EXPECT_EQ(f.form->WindowState(), TWindowState::wsNormal);
    EXPECT_EQ(f.windows.Foreground(), notepad);

    f.ui.Advance(99);
    EXPECT_EQ(f.windows.Foreground(), notepad);
    f.ui.Advance(1);
    EXPECT_EQ(f.windows.Foreground(), f.window);
    const auto events = f.windows.LogOf(f.window);
    ASSERT_EQ(events.back().kind, WindowEvent::Kind::SetForegroundWindow);
    EXPECT_EQ(events.back().time, start + 100);
    EXPECT_FALSE(f.form->tmrSetTopWindow.Enabled());
    // Only once.
    f.ui.Advance(1000);
    EXPECT_EQ(f.windows.Calls(WinOp::SetForegroundWindow), 2);
}

TEST(TrayRestore, AWindowNeverShownIsActivatedFirst) {
    TrayMainFixture f(false);
    ASSERT_FALSE(f.form->WindowShown);
    f.windows.ClearLog();
    f.form->Menus.itmPopRestore->Click();
    auto send = [](UINT msg, WPARAM w, LPARAM l) {
        return "send " + std::to_string(msg) + "(" + std::to_string(w) + "," + std::to_string(l) + ")";
    };
    EXPECT_EQ(Describe(f.CallsOnWindow()),
              (std::vector<std::string>{send(WM_ACTIVATEAPP, 1, static_cast<LPARAM>(f.windows.ProgramThreadId)),
                                        send(WM_NCACTIVATE, 1, 0), send(WM_ACTIVATE, 1, 1),
                                        send(WM_SYSCOMMAND, SC_RESTORE, 0), send(WM_SHOWWINDOW, 1, 3),
                                        "show " + std::to_string(SW_RESTORE), "show " + std::to_string(SW_SHOW)}));
    EXPECT_TRUE(f.windows.Find(f.window)->visible);
}

TEST(TrayRestore, WithoutHideWhenMinimizedTheWindowIsOnlyRestored) {
    TrayMainFixture f;
    f.form->Menus.itmHideWhenMinimized->Click();
    f.UserMinimizes();
    f.windows.ClearLog();
    f.DoubleClickTray();
    EXPECT_EQ(Describe(f.CallsOnWindow()),
              (std::vector<std::string>{"send " + std::to_string(WM_SHOWWINDOW) + "(1,3)",
                                        "show " + std::to_string(SW_RESTORE)}));
    EXPECT_FALSE(f.app.Minimized());
}

TEST(TrayRestore, TheBringToFrontPicksTheLastActiveWindowOfTheProgram) {
    struct Case {
        const char* name;
        bool dialog;          // a dialog of the program was the last active window
        bool dialogVisible;
        bool mainEnabled;
        bool expectDialog;    // the dialog comes forward
        bool expectMain;      // the main window comes forward
    };
    const Case cases[] = {
        {"no dialog", false, false, true, false, true},
        {"visible dialog", true, true, true, true, false},
        {"hidden dialog", true, false, true, false, false},
        {"main window disabled", false, false, false, false, false},
    };
    for (const Case& c : cases) {
        TrayMainFixture f;
        HWND dialog = 0;
        if (c.dialog) {
            sim::SimWindow d;
            d.caption = "Process Information";
            d.owner = f.window;
            d.processId = f.windows.ProgramProcessId;
            d.threadId = f.windows.ProgramThreadId;
            d.visible = c.dialogVisible;
            dialog = f.windows.AddWindow(d);
            f.windows.SetForegroundWindow(dialog);
        }
        f.windows.Find(f.window)->enabled = c.mainEnabled;
        f.form->Menus.itmPopRestore->Click();
        f.windows.ClearLog();
        f.ui.Advance(100);
        std::vector<HWND> raised;
        for (const auto& e : f.windows.Log())
            if (e.kind == WindowEvent::Kind::SetForegroundWindow) raised.push_back(e.hwnd);
        std::vector<HWND> expected;
        if (c.expectDialog) expected.push_back(dialog);
        if (c.expectMain) expected.push_back(f.window);
        EXPECT_EQ(raised, expected) << c.name;
    }
}

TEST(TrayRestore, AVanishedWindowIsNeitherACrashNorAHang) {
    TrayMainFixture f;
    f.UserMinimizes();
    f.windows.Fail(WinOp::SendMessageA);
    f.windows.Fail(WinOp::ShowWindow);
    f.windows.Fail(WinOp::GetLastActivePopup);
    f.DoubleClickTray();
    f.ui.Advance(500);
    EXPECT_EQ(f.windows.Calls(WinOp::SetForegroundWindow), 0);
    EXPECT_TRUE(f.ui.MessageBoxes.empty());
    EXPECT_TRUE(f.windows.HandlerErrors.empty());
    // The window itself gone.
    f.windows.RemoveWindow(f.window);
    f.windows.Fail(WinOp::SendMessageA, false);
    f.windows.Fail(WinOp::ShowWindow, false);
    f.windows.Fail(WinOp::GetLastActivePopup, false);
    f.form->Menus.itmPopRestore->Click();
    f.ui.Advance(500);
    EXPECT_EQ(f.windows.Calls(WinOp::SetForegroundWindow), 0);
    EXPECT_TRUE(f.windows.HandlerErrors.empty());
}

TEST(TrayMenu, RightClickPopsTheTrayMenuAtTheMouse) {
    TrayMainFixture f;
    TfrmMain& m = *f.form;
    f.windows.Cursor = POINT{1010, 750};
    std::string defaultItem;
    f.ui.PopupResponder = [&](TPopupMenu& menu) {
        for (int i = 0; i < menu.Items().Count(); ++i)
            if (menu.Items()[i].Default()) defaultItem = menu.Items()[i].Caption();
    };
    f.windows.SendMessageA(m.TrayIcon.Handle(), TTrayIcon::kNotifyMessage, 0, WM_RBUTTONUP);
    ASSERT_EQ(f.ui.Popups.size(), 1u);
    EXPECT_EQ(f.ui.Popups[0].menu, &m.Menus.popTray);
    EXPECT_EQ(f.ui.Popups[0].x, 1010);
    EXPECT_EQ(f.ui.Popups[0].y, 750);
    EXPECT_EQ(defaultItem, "&Restore Orvex Taskwell");
    EXPECT_EQ(f.windows.Foreground(), f.window);
}

TEST(TrayMenu, ItemsOfTheTrayMenu) {
    {
        // "&Restore Orvex Taskwell" restores.
        TrayMainFixture f;
        f.UserMinimizes();
        f.ui.PopupResponder = [](TPopupMenu& menu) { menu.Items()[0].Click(); };
        f.windows.SendMessageA(f.form->TrayIcon.Handle(), TTrayIcon::kNotifyMessage, 0, WM_RBUTTONUP);
        EXPECT_FALSE(f.app.Minimized());
        EXPECT_TRUE(f.windows.Find(f.window)->visible);
    }
    {
        // "&Always on Top" is the option of the Options menu, both ways.
        TrayMainFixture f;
        TfrmMain& m = *f.form;
        f.ui.PopupResponder = [&](TPopupMenu& menu) { menu.Items().Find("&Always on Top")->Click(); };
        f.windows.SendMessageA(m.TrayIcon.Handle(), TTrayIcon::kNotifyMessage, 0, WM_RBUTTONUP);
        EXPECT_TRUE(m.Menus.itmAlwaysOnTop->Checked());
        EXPECT_TRUE(m.Menus.itmPopAlwaysOnTop->Checked());
        EXPECT_TRUE(f.windows.Find(f.window)->topmost);
        m.Menus.itmAlwaysOnTop->Click();
        EXPECT_FALSE(m.Menus.itmPopAlwaysOnTop->Checked());
        EXPECT_FALSE(f.windows.Find(f.window)->topmost);
    }
    {
        // "&Close Orvex Taskwell" ends the program.
        TrayMainFixture f;
        f.ui.PopupResponder = [](TPopupMenu& menu) { menu.Items().Find("&Close Orvex Taskwell")->Click(); };
        f.windows.SendMessageA(f.form->TrayIcon.Handle(), TTrayIcon::kNotifyMessage, 0, WM_RBUTTONUP);
        EXPECT_TRUE(f.app.Terminated());
    }
}

}  // namespace
}  // namespace taskwell
