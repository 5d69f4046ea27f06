// The window list engine against the simulated window manager: which windows count as tasks, when
// the list is rebuilt, what each record holds, the icons it gives back and its own timer.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "components/TWinList.h"
#include "support/SimFixture.h"
#include "ui/Exception.h"

namespace taskwell {
namespace {

using sim::Op;
using sim::SimWindow;
using sim::WinOp;

constexpr DWORD kTaskStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr DWORD kPopupTask = WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX;

struct WinListTest : ::testing::Test, testing::SimFixture {
    TWinList list{app, platform};
    DWORD pid = Start("C:\\APPS\\EDIT.EXE");
    DWORD tid = machine.AddThread(pid);

    HWND Window(const std::string& caption, DWORD style = kTaskStyle, HWND owner = 0, bool visible = true) {
        SimWindow w;
        w.caption = caption;
        w.className = "EditClass";
        w.style = style;
        w.owner = owner;
        w.visible = visible;
        w.processId = pid;
        w.threadId = tid;
        return windows.AddWindow(w);
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> out;
        for (int i = 0; i < list.Count(); ++i) out.push_back(list.Caption(i));
        std::sort(out.begin(), out.end());
        return out;
    }
};

// Which windows a scan takes, by the filters and the windows' captions, owners, styles and popups.
TEST_F(WinListTest, FilterCases) {
    struct Case {
        const char* name;
        std::string caption;
        DWORD style;
        bool owned;
        bool visible;
        DWORD popupStyle;  // of a popup the window owns that was active last; 0 for none
        TFind_ID find;
        bool emptyNames;
        bool taskBar;
        bool listed;
    };
    const Case cases[] = {
        {"plain task", "Editor", kTaskStyle, false, true, 0, TFind_ID::id_VisOnly, false, true, true},
        {"no caption", "", kTaskStyle, false, true, 0, TFind_ID::id_VisOnly, false, true, false},
        {"no caption, empty names", "", kTaskStyle, false, true, 0, TFind_ID::id_VisOnly, true, true, true},
        {"hidden", "Editor", kTaskStyle, false, false, 0, TFind_ID::id_VisOnly, false, true, false},
        {"hidden, all", "Editor", kTaskStyle, false, false, 0, TFind_ID::id_All, false, true, true},
        {"hidden, invisible only", "Editor", kTaskStyle, false, false, 0, TFind_ID::id_InvisOnly, false, true, true},
        {"shown, invisible only", "Editor", kTaskStyle, false, true, 0, TFind_ID::id_InvisOnly, false, true, false},
        {"owned", "Find", kTaskStyle, true, true, 0, TFind_ID::id_VisOnly, false, true, false},
        {"owned, any window", "Find", kTaskStyle, true, true, 0, TFind_ID::id_VisOnly, false, false, true},
        {"popup task", "Tool", kPopupTask, false, true, 0, TFind_ID::id_VisOnly, false, true, true},
        {"popup without minimise box", "Tool", WS_POPUP | WS_SYSMENU, false, true, 0, TFind_ID::id_VisOnly, false, true, false},
        {"popup without system menu", "Tool", WS_POPUP | WS_MINIMIZEBOX, false, true, 0, TFind_ID::id_VisOnly, false, true, false},
        {"disabled popup", "Tool", kPopupTask | WS_DISABLED, false, true, 0, TFind_ID::id_VisOnly, false, true, false},
        {"popup behind a task popup", "Setup", WS_POPUP, false, true, kPopupTask, TFind_ID::id_VisOnly, false, true, true},
        {"popup behind a plain popup", "Setup", WS_POPUP, false, true, WS_POPUP, TFind_ID::id_VisOnly, false, true, false},
        {"popup, any window", "Setup", WS_POPUP, false, true, 0, TFind_ID::id_VisOnly, false, false, true},
    };
    for (const Case& c : cases) {
        testing::SimFixture f;
        TWinList engine(f.app, f.platform);
        engine.WhatDoFind = c.find;
        engine.EmptyNames = c.emptyNames;
        engine.TaskBarSty = c.taskBar;
        SimWindow owner;
        owner.caption = "Owner";
        owner.style = WS_POPUP;  // never a task itself
        owner.visible = false;
        const HWND ownerHandle = f.windows.AddWindow(owner);
        SimWindow w;
        w.caption = c.caption;
        w.style = c.style;
        w.visible = c.visible;
        w.owner = c.owned ? ownerHandle : 0;
        w.processId = 7;
        w.threadId = 9;
        const HWND hwnd = f.windows.AddWindow(w);
        if (c.popupStyle) {
            SimWindow popup;
            popup.caption = "";
            popup.style = c.popupStyle;
            popup.owner = hwnd;
            popup.visible = false;
            const HWND popupHandle = f.windows.AddWindow(popup);
            f.windows.Find(hwnd)->lastActivePopup = popupHandle;
        }
        engine.Refresh();
        bool listed = false;
        for (int i = 0; i < engine.Count(); ++i) listed |= engine.GetWinHandle(i) == hwnd;
        EXPECT_EQ(listed, c.listed) << c.name;
    }
}

TEST(ShowsOnTaskBar, StyleRule) {
    EXPECT_TRUE(ShowsOnTaskBar(0));
    EXPECT_TRUE(ShowsOnTaskBar(WS_DISABLED));  // not a popup: disabled does not matter
    EXPECT_TRUE(ShowsOnTaskBar(kPopupTask));
    EXPECT_FALSE(ShowsOnTaskBar(kPopupTask | WS_DISABLED));
    EXPECT_FALSE(ShowsOnTaskBar(WS_POPUP | WS_MINIMIZEBOX));
    EXPECT_FALSE(ShowsOnTaskBar(WS_POPUP | WS_SYSMENU));
}

TEST_F(WinListTest, RecordHoldsTheWindowsFacts) {
    const HWND owner = Window("Main");
    const HWND nameless = Window("", kTaskStyle, 0, false);
    SimWindow w;
    w.caption = std::string(300, 'c');
    w.className = std::string(150, 'k');
    w.style = kPopupTask;
    w.exStyle = 0x100;
    w.visible = true;
    w.processId = pid;
    w.threadId = tid;
    const HWND popup = windows.AddWindow(w);
    (void)owner;
    list.TaskBarSty = false;
    list.Refresh();
    ASSERT_EQ(list.Count(), 2);  // the nameless hidden window is left out
    int at = list.GetWinHandle(0) == popup ? 0 : 1;
    EXPECT_EQ(list.Caption(at), std::string(254, 'c'));
    EXPECT_EQ(list.GetWinClassName(at), std::string(99, 'k'));
    EXPECT_EQ(list.GetThreadID(at), tid);
    EXPECT_EQ(list.GetProcessID(at), pid);
    EXPECT_EQ(list.GetStyle(at), kPopupTask | WS_VISIBLE);
    EXPECT_EQ(list.GetExStyle(at), 0x100u);
    EXPECT_EQ(list.GetParentHandle(at), 0u);
    EXPECT_EQ(list.GetParentCaption(at), "Desktop");
    EXPECT_EQ(list.GetExePath(at), "C:\\APPS\\EDIT.EXE");
    EXPECT_NE(list.GetIcon(at), 0u);

    // Owned windows: the owner's caption, or "NoName" for an owner without one.
    list.TaskBarSty = false;
    Window("Find", kTaskStyle, owner);
    Window("Replace", kTaskStyle, nameless);
    list.Refresh();
    for (int i = 0; i < list.Count(); ++i) {
        if (list.Caption(i) == "Find") {
            EXPECT_EQ(list.GetParentCaption(i), "Main");
        }
        if (list.Caption(i) == "Replace") {
            EXPECT_EQ(list.GetParentCaption(i), "NoName");
        }
        if (list.Caption(i) == "Find") {
            EXPECT_EQ(list.GetParentHandle(i), owner);
        }
    }
    EXPECT_THROW(list.GetWinHandle(list.Count()), EListError);
    EXPECT_THROW(list.GetExePath(-1), EListError);
}

TEST_F(WinListTest, IconsFromTheExecutableOrItsAssociationAndNoneWithoutAProcess) {
    const DWORD noIcon = Start("C:\\APPS\\PLAIN.EXE", sim::kExePE32, 0x00040000, false);
    const DWORD document = Start("C:\\DOCS\\NOTES.TXT");  // not an executable: ExtractIconA gives 1
    machine.FindProcess(document)->exeType = 0;
    SimWindow a, b, c, d;
    a.caption = "Editor", a.processId = pid, a.threadId = tid;
    b.caption = "Plain", b.processId = noIcon, b.threadId = 51;
    c.caption = "Notes", c.processId = document, c.threadId = 52;
    d.caption = "Ghost", d.processId = 0xDEAD, d.threadId = 53;
    for (SimWindow* w : {&a, &b, &c, &d}) {
        w->visible = true;
        windows.AddWindow(*w);
    }
    list.Refresh();
    ASSERT_EQ(list.Count(), 4);
    for (int i = 0; i < list.Count(); ++i) {
        const std::string& caption = list.Caption(i);
        if (caption == "Editor" || caption == "Notes") {
            EXPECT_TRUE(machine.IsUsableIcon(list.GetIcon(i))) << caption;
        }
        if (caption == "Plain") {
            EXPECT_EQ(list.GetIcon(i), 0u);  // neither call finds one
        }
        if (caption == "Ghost") {
            EXPECT_EQ(list.GetExePath(i), "");
            EXPECT_EQ(list.GetIcon(i), 0u);
        }
    }
    EXPECT_EQ(machine.Calls(Op::ExtractAssociatedIconA), 2);  // Plain and Notes
}

TEST_F(WinListTest, OneSnapshotPerRebuildAndNoneWhenNothingChanged) {
    for (int i = 0; i < 5; ++i) Window("Doc " + std::to_string(i));
    list.Refresh();
    EXPECT_TRUE(list.Changed());
    EXPECT_EQ(machine.Calls(Op::CreateToolhelp32Snapshot), 1);
    EXPECT_EQ(machine.OpenSnapshots(), 0);
    list.Refresh();
    EXPECT_FALSE(list.Changed());
    EXPECT_EQ(machine.Calls(Op::CreateToolhelp32Snapshot), 1);
    // Icons only when asked for, once each.
    EXPECT_EQ(machine.Calls(Op::ExtractIconA), 0);
    for (int round = 0; round < 2; ++round)
        for (int i = 0; i < list.Count(); ++i) list.GetIcon(i);
    EXPECT_EQ(machine.Calls(Op::ExtractIconA), 5);
}

// A scan that finds nothing new asks one question of each hidden window (most top-level windows
// are hidden), its style, and reads no caption of one; a listed window's style is read once, its
// caption and thread together, and nothing asks again whether it exists.
TEST_F(WinListTest, ARepeatedScanAsksHiddenWindowsOnlyTheirStyle) {
    for (int i = 0; i < 3; ++i) Window("Doc " + std::to_string(i));
    for (int i = 0; i < 20; ++i) Window("Helper " + std::to_string(i), kTaskStyle, 0, false);
    list.Refresh();
    ASSERT_EQ(list.Count(), 3);
    std::map<WinOp, int> before;
    const WinOp asked[] = {WinOp::GetWindowTextAndThread, WinOp::GetWindowLongA, WinOp::IsWindowVisible,
                           WinOp::GetWindowTextA, WinOp::GetWindowThreadProcessId, WinOp::IsWindow};
    for (WinOp op : asked) before[op] = windows.Calls(op);
    list.Refresh();
    EXPECT_FALSE(list.Changed());
    const std::map<WinOp, int> expected = {{WinOp::GetWindowTextAndThread, 3}, {WinOp::GetWindowLongA, 23},
                                           {WinOp::IsWindowVisible, 0},        {WinOp::GetWindowTextA, 0},
                                           {WinOp::GetWindowThreadProcessId, 0}, {WinOp::IsWindow, 0}};
    for (WinOp op : asked) EXPECT_EQ(windows.Calls(op) - before[op], expected.at(op)) << sim::WinOpName(op);
}

TEST_F(WinListTest, ChangeDetectionByTheSetOfWindowsAndThreads) {
    // The very first scan with no task finds nothing new.
    list.Refresh();
    EXPECT_FALSE(list.Changed());

    const HWND a = Window("A");
    list.Refresh();
    ASSERT_TRUE(list.Changed());

    // New captions alone rebuild nothing; the list keeps the old caption.
    windows.Find(a)->caption = "A, renamed";
    list.Refresh();
    EXPECT_FALSE(list.Changed());
    EXPECT_EQ(list.Caption(0), "A");

    // Two sets with the same sum of handles: {0x100, 0x400} and {0x200, 0x300}.
    windows.RemoveWindow(a);
    SimWindow w;
    w.visible = true, w.processId = pid, w.threadId = tid, w.caption = "x";
    for (HWND h : {0x100u, 0x400u}) w.hwnd = h, windows.AddWindow(w);
    list.Refresh();
    ASSERT_TRUE(list.Changed());
    for (HWND h : {0x100u, 0x400u}) windows.RemoveWindow(h);
    for (HWND h : {0x200u, 0x300u}) w.hwnd = h, windows.AddWindow(w);
    list.Refresh();
    EXPECT_TRUE(list.Changed());
    EXPECT_EQ(Captions(), (std::vector<std::string>{"x", "x"}));

    // A handle the system gave to a window of another thread is another window.
    windows.RemoveWindow(0x300);
    w.hwnd = 0x300, w.threadId = 77, w.caption = "reused";
    windows.AddWindow(w);
    list.Refresh();
    EXPECT_TRUE(list.Changed());
    EXPECT_EQ(Captions(), (std::vector<std::string>{"reused", "x"}));
}

TEST_F(WinListTest, AWindowThatVanishesBeforeItIsReadIsNotListed) {
    Window("Stays");
    const HWND leaving = Window("Leaves");
    windows.AfterEnumWindows = [&] {
        windows.RemoveWindow(leaving);
        windows.AfterEnumWindows = nullptr;
    };
    list.Refresh();
    EXPECT_TRUE(list.Changed());
    EXPECT_EQ(Captions(), (std::vector<std::string>{"Stays"}));
    // Its absence from the next scan is no change.
    list.Refresh();
    EXPECT_FALSE(list.Changed());
}

TEST_F(WinListTest, ListsManyWindows) {
    for (int i = 0; i < 300; ++i) Window("Window " + std::to_string(i));
    list.Refresh();
    EXPECT_EQ(list.Count(), 300);
}

TEST_F(WinListTest, IconsAreExtractedWhenAskedForAndThoseNobodyAdoptedAreDestroyed) {
    const int before = machine.LiveIcons();
    const HWND a = Window("A");
    Window("B");
    list.Refresh();
    EXPECT_EQ(machine.LiveIcons(), before);  // a rebuild extracts none
    const int adopted = list.Caption(0) == "A" ? 0 : 1;
    const HICON kept = list.AdoptIcon(adopted);
    EXPECT_EQ(list.GetIcon(adopted), kept);
    const HICON bIcon = list.GetIcon(1 - adopted);
    EXPECT_EQ(machine.LiveIcons(), before + 2);
    windows.RemoveWindow(a);
    Window("C");
    list.Refresh();  // a rebuild: A's icon stays with its owner, B keeps its record and icon, C has none yet
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.GetIcon(list.Caption(0) == "B" ? 0 : 1), bIcon);
    EXPECT_EQ(machine.LiveIcons(), before + 2);
    EXPECT_TRUE(machine.IsUsableIcon(kept));
    windows.RemoveWindow(windows.ZOrder().front());  // C
    list.Refresh();
    EXPECT_EQ(machine.LiveIcons(), before + 2);
    {
        TWinList other(app, platform);
        other.Refresh();
        other.GetIcon(0);
        EXPECT_EQ(machine.LiveIcons(), before + 3);
    }
    EXPECT_EQ(machine.LiveIcons(), before + 2);  // the engine's own icons go with it
    EXPECT_EQ(machine.Calls(Op::ExtractIconA), 3);
}

// A rebuild reads only the windows new to the list; the others keep their records.
TEST_F(WinListTest, ARebuildReadsOnlyTheNewWindows) {
    for (int i = 0; i < 10; ++i) Window("Doc " + std::to_string(i));
    list.Refresh();
    const int classes = windows.Calls(WinOp::GetClassNameA);
    Window("Newcomer");
    list.Refresh();
    EXPECT_TRUE(list.Changed());
    EXPECT_EQ(list.Count(), 11);
    EXPECT_EQ(windows.Calls(WinOp::GetClassNameA) - classes, 1);
    for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.GetWinClassName(i), "EditClass") << list.Caption(i);
}

TEST_F(WinListTest, TimerSettings) {
    list.SetTimerIntval(750);
    list.SetEnableTimer(true);
    EXPECT_TRUE(list.Timer().Running());
    EXPECT_EQ(list.Timer().Interval(), 750u);
    for (LONG off : {0, -5}) {
        list.SetTimerIntval(750);
        list.SetEnableTimer(true);
        list.SetTimerIntval(off);
        EXPECT_FALSE(list.EnableTimer()) << off;
        EXPECT_FALSE(list.Timer().Running()) << off;
    }
    // The same interval again restarts nothing.
    list.SetTimerIntval(1750);
    const unsigned generation = list.Timer().Generation();
    list.SetTimerIntval(1750);
    EXPECT_EQ(list.Timer().Generation(), generation);
}

TEST_F(WinListTest, TheTimerScansAndAnnouncesOnlyChanges) {
    int changes = 0;
    list.OnChanged = [&] { ++changes; };
    list.SetTimerIntval(500);
    list.SetEnableTimer(true);
    ui.Advance(1100);
    EXPECT_EQ(changes, 0);
    EXPECT_GE(windows.Calls(WinOp::EnumWindows), 2);
    Window("New");
    ui.Advance(500);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(list.Count(), 1);
    ui.Advance(1000);
    EXPECT_EQ(changes, 1);

    // A scan the system breaks off reports nothing and the timer goes on.
    windows.Raise(WinOp::EnumWindows);
    ui.Advance(1000);
    EXPECT_TRUE(ui.MessageBoxes.empty());
    EXPECT_TRUE(list.Timer().Running());
    windows.Raise(WinOp::EnumWindows, false);
    Window("Another");
    ui.Advance(500);
    EXPECT_EQ(changes, 2);
}

}  // namespace
}  // namespace taskwell
