#include "components/TTrayIcon.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/SimFixture.h"
#include "ui/TForm.h"
#include "ui/TMenu.h"

namespace taskwell {
namespace {

using sim::Op;
using sim::WinOp;
using sim::WindowEvent;
using testing::SimFixture;

struct TrayFixture : SimFixture {
    std::unique_ptr<TTrayIcon> tray = std::make_unique<TTrayIcon>(app, windows, machine);

    // A picture of the program's own, as the main window loads them.
    TIcon Picture(const std::string& name) {
        TIcon icon;
        icon.SetHandle(machine.LoadIconA(name));
        return icon;
    }
    // The shell tells the icon's window what the mouse did.
    void Mouse(UINT mouseMessage) {
        windows.SendMessageA(tray->Handle(), TTrayIcon::kNotifyMessage, 0, static_cast<LPARAM>(mouseMessage));
    }
    std::vector<DWORD> Messages() const {
        std::vector<DWORD> out;
        for (auto& c : machine.NotifyCalls) out.push_back(c.message);
        return out;
    }
    const NOTIFYICONDATAA& Last() const { return machine.NotifyCalls.back().data; }
};

TEST(TrayIcon, AddsChangesAndRemovesItsIconWithTheWholeRecord) {
    TrayFixture f;
    const HWND window = f.tray->Handle();
    ASSERT_NE(window, 0u);
    const sim::SimWindow* hidden = f.windows.Find(window);
    ASSERT_NE(hidden, nullptr);
    EXPECT_FALSE(hidden->visible);

    // Nothing reaches the shell while the icon is inactive.
    f.tray->SetToolTip("Idle");
    f.tray->SetIcon(f.Picture("Z_0"));
    EXPECT_TRUE(f.machine.NotifyCalls.empty());

    f.tray->SetActive(true);
    ASSERT_EQ(f.Messages(), (std::vector<DWORD>{NIM_ADD}));
    const NOTIFYICONDATAA& added = f.Last();
    EXPECT_EQ(added.cbSize, 88u);
    EXPECT_EQ(added.hWnd, window);
    EXPECT_EQ(added.uID, 0u);
    EXPECT_EQ(added.uFlags, 7u);
    EXPECT_EQ(added.uCallbackMessage, 1025u);
    EXPECT_EQ(added.hIcon, f.tray->Icon().Handle());
    EXPECT_STREQ(added.szTip, "Idle");
    EXPECT_EQ(f.machine.TrayIcons.count({window, 0u}), 1u);

    f.tray->SetActive(true);  // unchanged: nothing
    f.tray->SetToolTip("Busy");
    EXPECT_STREQ(f.Last().szTip, "Busy");
    f.tray->SetIcon(f.Picture("Z_12"));
    EXPECT_EQ(f.Last().hIcon, f.tray->Icon().Handle());
    EXPECT_STREQ(f.Last().szTip, "Busy");
    f.tray->SetActive(false);
    EXPECT_EQ(f.Messages(), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY, NIM_MODIFY, NIM_DELETE}));
    EXPECT_TRUE(f.machine.TrayIcons.empty());
    f.tray->SetActive(false);
    EXPECT_EQ(f.machine.NotifyCalls.size(), 4u);
}

TEST(TrayIcon, KeepsCopiesOfItsLastPicturesAndFreesOlderOnes) {
    TrayFixture f;
    f.tray->SetActive(true);
    const int before = f.machine.LiveIcons();
    std::vector<TIcon> sources;
    for (const char* name : {"Z_0", "Z_1", "Z_2", "Z_3", "Z_4", "Z_5"}) sources.push_back(f.Picture(name));
    const int resources = f.machine.LiveIcons() - before;
    f.tray->SetIcon(sources[0]);
    const HICON first = f.tray->Icon().Handle();
    EXPECT_NE(first, 0u);
    EXPECT_NE(first, sources[0].Handle());
    EXPECT_EQ(f.machine.IconResourceOf(first), "Z_0");
    // The same picture again, now or after another, shows the copy already made.
    for (int i = 0; i < 3; ++i) f.tray->SetIcon(sources[0]);
    f.tray->SetIcon(sources[1]);
    f.tray->SetIcon(sources[0]);
    EXPECT_EQ(f.tray->Icon().Handle(), first);
    EXPECT_EQ(f.machine.LiveIcons(), before + resources + 2);
    EXPECT_EQ(f.machine.TrayIcons.begin()->second.hIcon, first);
    // A picture set anew under the same handle (the system may give a freed handle's number to
    // another picture) is copied anew.
    TIcon again;
    again.SetHandle(sources[0].Handle());
    f.tray->SetIcon(again);
    EXPECT_NE(f.tray->Icon().Handle(), first);
    // Six pictures in turn: the copies of the last four are kept, the older ones freed.
    for (const TIcon& source : sources) f.tray->SetIcon(source);
    EXPECT_EQ(f.machine.LiveIcons(), before + resources + 4);
    EXPECT_FALSE(f.machine.IsUsableIcon(first));
    EXPECT_EQ(f.machine.IconResourceOf(f.Last().hIcon), "Z_5");
    // An empty picture shows nothing; the component's end frees every copy.
    f.tray->SetIcon(TIcon{});
    EXPECT_TRUE(f.tray->Icon().Empty());
    EXPECT_EQ(f.Last().hIcon, 0u);
    f.tray.reset();
    EXPECT_EQ(f.machine.LiveIcons(), before + resources);
}

TEST(TrayIcon, CutsTheToolTipToSixtyTwoCharacters) {
    TrayFixture f;
    const std::string text(70, 'x');
    f.tray->SetToolTip(text);
    EXPECT_EQ(f.tray->ToolTip(), text.substr(0, 62));
    f.tray->SetActive(true);
    EXPECT_EQ(std::string(f.Last().szTip), text.substr(0, 62));
    // A text that fits is kept whole.
    f.tray->SetToolTip("CPU Usage: 100%");
    EXPECT_EQ(f.tray->ToolTip(), "CPU Usage: 100%");
}

TEST(TrayIcon, AnAddWithoutToolTipAppliesTheToolTipAgainFromTheMessageLoop) {
    TrayFixture f;
    f.tray->SetActive(true);
    EXPECT_EQ(f.Messages(), (std::vector<DWORD>{NIM_ADD}));
    EXPECT_TRUE(f.windows.HasPosted());
    // Whatever the tooltip is by the time the message arrives goes out.
    f.tray->SetToolTip("Later");
    f.machine.NotifyCalls.clear();
    f.ui.ProcessMessages();
    EXPECT_EQ(f.Messages(), (std::vector<DWORD>{NIM_MODIFY}));
    EXPECT_STREQ(f.Last().szTip, "Later");
    auto received = f.windows.MessagesTo(f.tray->Handle());
    ASSERT_FALSE(received.empty());
    EXPECT_EQ(received.back().kind, WindowEvent::Kind::Posted);
    EXPECT_EQ(received.back().msg, 1026u);

    // With a tooltip the add needs no second step.
    f.tray->SetActive(false);
    f.machine.NotifyCalls.clear();
    f.tray->SetActive(true);
    EXPECT_FALSE(f.windows.HasPosted());
    EXPECT_EQ(f.Messages(), (std::vector<DWORD>{NIM_ADD}));
}

TEST(TrayIcon, MouseMessagesRaiseTheirEvents) {
    struct Case {
        const char* name;
        UINT mouse;
        int clicks, doubleClicks, rightClicks;
    };
    const Case cases[] = {
        {"left button up", WM_LBUTTONUP, 1, 0, 0},
        {"left double click", WM_LBUTTONDBLCLK, 0, 1, 0},
        {"right button up", WM_RBUTTONUP, 0, 0, 1},
        {"left button down", WM_LBUTTONDOWN, 0, 0, 0},
        {"right button down", WM_RBUTTONDOWN, 0, 0, 0},
        {"mouse move", WM_MOUSEMOVE, 0, 0, 0},
    };
    for (const Case& c : cases) {
        TrayFixture f;
        int clicks = 0, doubleClicks = 0, rightClicks = 0;
        f.tray->OnClick = [&](TTrayIcon& sender) {
            EXPECT_EQ(&sender, f.tray.get());
            ++clicks;
        };
        f.tray->OnDblClick = [&](TTrayIcon&) { ++doubleClicks; };
        f.tray->OnRightClick = [&](TTrayIcon&, TMouseButton, TShiftState, int, int) { ++rightClicks; };
        f.Mouse(c.mouse);
        EXPECT_EQ(clicks, c.clicks) << c.name;
        EXPECT_EQ(doubleClicks, c.doubleClicks) << c.name;
        EXPECT_EQ(rightClicks, c.rightClicks) << c.name;
        EXPECT_TRUE(f.ui.Popups.empty()) << c.name;
    }
}

TEST(TrayIcon, RightClickPopsTheMenuUpAtTheCursorWithTheProgramInFront) {
    TrayFixture f;
    TForm main{f.app};
    main.Realise();
    f.app.MainForm = &main;
    const HWND mainWindow = f.ui.WindowHandle(main);
    TPopupMenu menu;
    TMenuItem& restore = menu.Items().Add("&Restore");
    restore.SetDefault(true);
    f.tray->PopupMenu = &menu;
    f.windows.Cursor = POINT{1000, 745};

    std::vector<std::string> order;
    // A message waiting in the queue is handled before the menu opens.
    const HWND other = f.windows.CreateMessageWindow([&](UINT, WPARAM, LPARAM) -> LRESULT {
        order.push_back("pending message");
        return 0;
    });
    f.windows.PostMessageA(other, WM_USER, 0, 0);
    f.ui.PopupResponder = [&](TPopupMenu& shown) {
        order.push_back("menu");
        EXPECT_EQ(&shown, &menu);
        EXPECT_EQ(f.windows.Foreground(), mainWindow);
        shown.Items()[0].Click();
    };
    restore.OnClick = [&] { order.push_back("restore"); };
    f.tray->OnRightClick = [&](TTrayIcon&, TMouseButton button, TShiftState shift, int x, int y) {
        order.push_back("right click");
        EXPECT_EQ(button, TMouseButton::mbRight);
        EXPECT_EQ(shift, 0u);
        EXPECT_EQ(x, 1000);
        EXPECT_EQ(y, 745);
    };

    f.Mouse(WM_RBUTTONUP);
    EXPECT_EQ(order, (std::vector<std::string>{"pending message", "menu", "restore", "right click"}));
    ASSERT_EQ(f.ui.Popups.size(), 1u);
    EXPECT_EQ(f.ui.Popups[0].x, 1000);
    EXPECT_EQ(f.ui.Popups[0].y, 745);
    EXPECT_TRUE(menu.Items()[0].Default());
    f.app.MainForm = nullptr;
}

TEST(TrayIcon, RightClickWithoutMainWindowOrMenu) {
    {
        // No main window: the icon's own window takes the foreground for the menu.
        TrayFixture f;
        TPopupMenu menu;
        menu.Items().Add("&Item");
        f.tray->PopupMenu = &menu;
        f.Mouse(WM_RBUTTONUP);
        EXPECT_EQ(f.windows.Foreground(), f.tray->Handle());
        EXPECT_EQ(f.ui.Popups.size(), 1u);
    }
    {
        // No menu: only the event, at the cursor.
        TrayFixture f;
        f.windows.Cursor = POINT{5, 6};
        int x = -1, y = -1;
        f.tray->OnRightClick = [&](TTrayIcon&, TMouseButton, TShiftState, int ax, int ay) {
            x = ax;
            y = ay;
        };
        f.Mouse(WM_RBUTTONUP);
        EXPECT_TRUE(f.ui.Popups.empty());
        EXPECT_EQ(f.windows.Calls(WinOp::SetForegroundWindow), 0);
        EXPECT_EQ(x, 5);
        EXPECT_EQ(y, 6);
    }
}

TEST(TrayIcon, AFailedShellCallIsNeitherReportedNorRetried) {
    for (bool raise : {false, true}) {
        TrayFixture f;
        if (raise)
            f.machine.Raise(Op::Shell_NotifyIconA);
        else
            f.machine.Fail(Op::Shell_NotifyIconA);
        f.tray->SetToolTip("CPU Usage: 3%");
        f.tray->SetActive(true);
        EXPECT_TRUE(f.tray->Active()) << raise;
        EXPECT_EQ(f.machine.Calls(Op::Shell_NotifyIconA), 1) << raise;
        f.ui.Advance(1000);
        EXPECT_EQ(f.machine.Calls(Op::Shell_NotifyIconA), 1) << raise;
        EXPECT_TRUE(f.ui.MessageBoxes.empty()) << raise;
        // The icon counts as present: the next change goes out as a modification.
        f.machine.Fail(Op::Shell_NotifyIconA, false);
        f.machine.Raise(Op::Shell_NotifyIconA, false);
        f.tray->SetToolTip("CPU Usage: 4%");
        EXPECT_EQ(f.Messages(), (std::vector<DWORD>{NIM_ADD, NIM_MODIFY})) << raise;
    }
}

TEST(TrayIcon, DestructionRemovesAnActiveIconAndItsWindow) {
    TrayFixture f;
    const int icons = f.machine.LiveIcons();
    f.tray->SetIcon(f.Picture("Z_3"));
    const int resources = f.machine.LiveIcons() - icons - 1;
    f.tray->SetActive(true);
    const HWND window = f.tray->Handle();
    f.tray.reset();
    EXPECT_EQ(f.Messages(), (std::vector<DWORD>{NIM_ADD, NIM_DELETE}));
    EXPECT_EQ(f.Last().hWnd, window);
    EXPECT_TRUE(f.machine.TrayIcons.empty());
    EXPECT_EQ(f.windows.Find(window), nullptr);
    EXPECT_EQ(f.machine.LiveIcons(), icons + resources);

    // An inactive icon has nothing to remove from the shell.
    TrayFixture g;
    g.tray.reset();
    EXPECT_TRUE(g.machine.NotifyCalls.empty());
}

TEST(TrayIcon, MessagesForAComponentThatHasGoneAreHarmless) {
    TrayFixture f;
    f.windows.Fail(WinOp::DestroyWindow);
    f.tray->SetActive(true);  // posts itself a message, which is still waiting
    const HWND window = f.tray->Handle();
    f.tray.reset();
    // The window outlived the component; what reaches it now does nothing.
    ASSERT_NE(f.windows.Find(window), nullptr);
    f.machine.NotifyCalls.clear();
    f.ui.ProcessMessages();
    f.windows.SendMessageA(window, TTrayIcon::kNotifyMessage, 0, WM_RBUTTONUP);
    EXPECT_TRUE(f.machine.NotifyCalls.empty());
    EXPECT_TRUE(f.ui.Popups.empty());
    EXPECT_TRUE(f.windows.HandlerErrors.empty());
}

TEST(TrayIcon, AWindowThatCouldNotBeMadeIsMadeWhenTheIconIsAdded) {
    TrayFixture f;
    f.windows.Fail(WinOp::CreateMessageWindow);
    f.tray = std::make_unique<TTrayIcon>(f.app, f.windows, f.machine);
    EXPECT_EQ(f.tray->Handle(), 0u);
    f.tray->SetActive(true);
    // Without a window the shell is not asked: the icon could be neither clicked nor removed.
    EXPECT_TRUE(f.machine.NotifyCalls.empty());
    f.tray->SetActive(false);
    f.windows.Fail(WinOp::CreateMessageWindow, false);
    f.tray->SetActive(true);
    ASSERT_NE(f.tray->Handle(), 0u);
    EXPECT_EQ(f.Messages(), (std::vector<DWORD>{NIM_ADD}));
    EXPECT_EQ(f.Last().hWnd, f.tray->Handle());
}

TEST(TrayIcon, ANewTaskBarGetsTheActiveIconAgain) {
    TrayFixture f;
    const UINT taskbarCreated = f.windows.RegisterWindowMessageA("TaskbarCreated");
    ASSERT_GE(taskbarCreated, 0xC000u);
    f.tray->SetToolTip("CPU Usage: 7%");
    f.tray->SetActive(true);
    // The shell restarts: its icons are gone until their programs add them again.
    f.machine.TrayIcons.clear();
    f.windows.Broadcast(taskbarCreated, 0, 0);
    EXPECT_EQ(f.Messages(), (std::vector<DWORD>{NIM_ADD, NIM_ADD}));
    ASSERT_EQ(f.machine.TrayIcons.count({f.tray->Handle(), 0u}), 1u);
    EXPECT_STREQ(f.machine.TrayIcons.begin()->second.szTip, "CPU Usage: 7%");

    // An inactive icon stays away.
    f.tray->SetActive(false);
    f.machine.NotifyCalls.clear();
    f.windows.Broadcast(taskbarCreated, 0, 0);
    EXPECT_TRUE(f.machine.NotifyCalls.empty());
}

TEST(TrayIcon, AnErrorInAHandlerIsShownAndTheIconGoesOn) {
    TrayFixture f;
    f.tray->OnClick = [](TTrayIcon&) { throw std::runtime_error("click failed"); };
    int doubleClicks = 0;
    f.tray->OnDblClick = [&](TTrayIcon&) { ++doubleClicks; };
    f.Mouse(WM_LBUTTONUP);
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(f.ui.MessageBoxes[0].text, "click failed");
    f.Mouse(WM_LBUTTONDBLCLK);
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_TRUE(f.windows.HandlerErrors.empty());
}

}  // namespace
}  // namespace taskwell
