// The Applications page against the simulated machine: the rows in step with the window list
// engine, their icons and statuses, the commands on the selected window (never waiting on a blocked
// one, never acting on a handle that went to another window), End Task and Goto Process.
#include "tasks/ApplicationsPage.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "app/DisplayFormats.h"
#include "app/Main.h"
#include "support/ListViewInvariants.h"
#include "support/SimFixture.h"
#include "tasks/StatusProbes.h"

namespace taskwell {
namespace {

using sim::Op;
using sim::SimWindow;
using sim::WindowEvent;
using sim::WinOp;
using testing::SimFixture;

constexpr DWORD kTaskStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct AppsFixture : SimFixture {
    std::unique_ptr<TfrmMain> form;
    DWORD editPid = Start("C:\\APPS\\EDIT.EXE");
    DWORD paintPid = Start("C:\\APPS\\PAINT.EXE");
    DWORD plainPid = Start("C:\\APPS\\PLAIN.EXE", sim::kExePE32, 0x00040000, false);

    HWND Window(const std::string& caption, DWORD pid, DWORD tid) {
        SimWindow w;
        w.caption = caption;
        w.className = "Frame";
        w.style = kTaskStyle;
        w.visible = true;
        w.processId = pid;
        w.threadId = tid;
        return windows.AddWindow(w);
    }
    void Create() {
        form = CreateMainForm();
        form->Show();
    }
    TListView& Rows() const { return *form->ApplicationsPage.sagApplications; }
    TApplicationsPage& Page() const { return form->ApplicationsPage; }
    // The row showing that window, or -1.
    int RowOf(HWND hwnd) const {
        for (int i = 0; i < Rows().ItemCount(); ++i) {
            const TApplicationWin* r = Page().RecordOf(Rows().Item(i));
            if (r && r->Handle == hwnd) return i;
        }
        return -1;
    }
    void Select(HWND hwnd) { Rows().SetSelectedIndex(RowOf(hwnd)); }
    std::string Status(HWND hwnd) const {
        const int row = RowOf(hwnd);
        if (row < 0) return "<no row>";
        const auto& subs = Rows().Item(row).SubItems();
        return subs.empty() ? "" : subs[0];
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> out;
        for (int i = 0; i < Rows().ItemCount(); ++i) out.push_back(Rows().Item(i).Caption());
        return out;
    }
    // The engine scans and the page follows, as the engine's timer does.
    void Rescan() {
        Page().ApplicationsListChanged(), form->ApplicationsList.Refresh(), Page().ApplicationsListChanged();
    }
    // Each row's record shows the image the row shows, and both image lists hold the same count.
    ::testing::AssertionResult RowsBoundToRecords() const {
        if (Page().imglstAppSmallIcon.Count() != Page().imglstAppLargeIcon.Count())
            return ::testing::AssertionFailure() << "image lists out of step";
        for (int i = 0; i < Rows().ItemCount(); ++i) {
            const TApplicationWin* r = Page().RecordOf(Rows().Item(i));
            if (!r) return ::testing::AssertionFailure() << "row " << i << " has no record";
            if (r->ImageIndex != Rows().Item(i).ImageIndex())
                return ::testing::AssertionFailure() << "row " << i << " shows another image than its record";
        }
        return testing::ImageIndicesValid(Rows());
    }
    int Sent(HWND hwnd, UINT msg) const {
        int n = 0;
        for (const WindowEvent& e : windows.Log())
            if (e.hwnd == hwnd && e.msg == msg &&
                (e.kind == WindowEvent::Kind::Sent || e.kind == WindowEvent::Kind::SendTimedOut))
                ++n;
        return n;
    }
};

TEST(ApplicationsPage, CreationListsTheTasksSortedWithIconsAndStatuses) {
    AppsFixture f;
    f.Window("notes - Edit", f.editPid, 11);
    f.Window("Paint", f.paintPid, 12);
    f.Window("Plain", f.plainPid, 13);
    f.Window("apple", f.editPid, 14);
    f.Create();
    EXPECT_EQ(f.Captions(), (std::vector<std::string>{"apple", "notes - Edit", "Paint", "Plain"}));
    // The program's own window, shown after creation, is a task as well from the engine's next scan.
    f.ui.Advance(2000);
    EXPECT_EQ(f.Captions(), (std::vector<std::string>{"apple", "notes - Edit", "Orvex Taskwell 98", "Paint", "Plain"}));
    EXPECT_TRUE(f.RowsBoundToRecords());
    EXPECT_EQ(f.Page().imglstAppLargeIcon.Count(),
              3);  // neither Plain's program nor the simulated program itself has one
    EXPECT_EQ(f.Rows().Item(4).ImageIndex(), -1);
    // The statuses of the questions asked last come their time limit later.
    f.ui.Advance(TApplicationsPage::kProbeTimeoutMs);
    for (int i = 0; i < f.Rows().ItemCount(); ++i)
        EXPECT_EQ(f.Rows().Item(i).SubItems(), std::vector<std::string>{"Running"});
    EXPECT_EQ(f.Rows().Column(0).Caption, "Task");
    EXPECT_EQ(f.Rows().Column(1).Width, 100);
    EXPECT_FALSE(f.Page().btnEndTask->Enabled());
    EXPECT_TRUE(f.Page().btnNewTask->Enabled());
}

TEST(ApplicationsPage, RemovalKeepsEveryOtherRowsPicture) {
    AppsFixture f;
    const HWND a = f.Window("A", f.editPid, 11);
    const HWND b = f.Window("B", f.paintPid, 12);
    const HWND c = f.Window("C", f.editPid, 13);
    f.Create();
    auto iconOf = [&](HWND h) {
        const TApplicationWin* r = f.Page().RecordOf(f.Rows().Item(f.RowOf(h)));
        return f.Page().imglstAppLargeIcon.Icon(r->ImageIndex);
    };
    const HICON bIcon = iconOf(b), cIcon = iconOf(c);
    const int images = f.Page().imglstAppLargeIcon.Count();
    f.windows.RemoveWindow(a);
    f.ui.Advance(2000);  // the engine's timer notices
    EXPECT_EQ(f.RowOf(a), -1);
    EXPECT_EQ(f.Page().imglstAppLargeIcon.Count(), images - 1);
    EXPECT_EQ(iconOf(b), bIcon);
    EXPECT_EQ(iconOf(c), cIcon);
    EXPECT_TRUE(f.RowsBoundToRecords());
}

TEST(ApplicationsPage, AReusedHandleGetsAFreshRowAndNewCaptionsDoNotReorder) {
    AppsFixture f;
    const HWND a = f.Window("Alpha", f.editPid, 11);
    f.Window("Beta", f.paintPid, 12);
    f.Create();
    f.windows.Find(a)->caption = "Zulu";
    f.form->tmrRefreshTimer();  // the tick refreshes captions on the Applications page
    EXPECT_EQ(f.Captions().front(), "Zulu");

    // The window closes and its handle is given to a window of another program.
    const TApplicationWin before = *f.Page().RecordOf(f.Rows().Item(f.RowOf(a)));
    f.windows.RemoveWindow(a);
    SimWindow w;
    w.hwnd = a, w.caption = "Another", w.style = kTaskStyle, w.visible = true, w.processId = f.paintPid,
    w.threadId = 40;
    f.windows.AddWindow(w);
    f.Rescan();
    const TApplicationWin* after = f.Page().RecordOf(f.Rows().Item(f.RowOf(a)));
    EXPECT_EQ(after->ProcessID, f.paintPid);
    EXPECT_EQ(after->ThreadID, 40u);
    EXPECT_NE(after->ExePath, before.ExePath);
    EXPECT_EQ(f.Captions(), (std::vector<std::string>{"Another", "Beta", "Orvex Taskwell 98"}));
    EXPECT_TRUE(f.RowsBoundToRecords());
}

// What the status refresh shows for each kind of window: the questions cost the program no wait,
// and the verdicts come the probe's time limit later.
TEST(ApplicationsPage, StatusesAndTheirCost) {
    struct Case {
        const char* name;
        std::uint64_t answerDelay;
        bool blocked;
        std::uint64_t blockedFor;
        bool gone;
        const char* status;
    };
    const Case cases[] = {
        {"answers", 0, false, 0, false, "Running"},
        {"answers late within the probe", 150, false, 0, false, "Running"},
        {"answers too late", 900, false, 0, false, "Not Responding"},
        {"blocked lately", 0, true, 1000, false, "Not Responding"},
        {"hung for long", 0, true, 6000, false, "Not Responding"},
        {"gone", 0, false, 0, true, "Not Responding"},
    };
    for (const Case& c : cases) {
        AppsFixture f;
        const HWND h = f.Window("Target", f.editPid, 11);
        f.Create();
        f.ui.Advance(TApplicationsPage::kProbeTimeoutMs);  // creation's own questions are decided
        f.windows.Find(h)->answerDelayMs = c.answerDelay;
        if (c.blocked) {
            f.windows.BlockThread(11);
            f.machine.SetNow(f.machine.Now() + c.blockedFor);
        }
        if (c.gone) f.windows.RemoveWindow(h);
        const std::uint64_t waited = f.windows.SendWaitMs;
        f.Page().UpdateTaskStatus();
        EXPECT_EQ(f.windows.SendWaitMs, waited) << c.name;
        f.ui.Advance(TApplicationsPage::kProbeTimeoutMs);
        EXPECT_EQ(f.Status(h), c.status) << c.name;
        EXPECT_EQ(f.windows.SendWaitMs, waited) << c.name;
        EXPECT_EQ(f.windows.BlockingCalls, 0) << c.name;
    }
}

// A round whose windows have all answered is judged with the last answer, not at the time limit; a
// window that keeps the round waiting holds every status of the round back until then.
TEST(ApplicationsPage, TheVerdictComesWithTheLastAnswerOfTheRound) {
    // The second window's answer delay, when both statuses show (from the questions), its status.
    const std::tuple<std::uint64_t, std::uint64_t, const char*> cases[] = {
        {50, 50, "Running"}, {900, TApplicationsPage::kProbeTimeoutMs, "Not Responding"}};
    for (const auto& [delay, judgedAfter, second] : cases) {
        AppsFixture f;
        const HWND a = f.Window("Alpha", f.editPid, 11), b = f.Window("Beta", f.paintPid, 12);
        f.Create();
        f.ui.Advance(1000);  // creation's own questions are decided
        f.windows.Find(a)->answerDelayMs = 20;
        f.windows.Find(b)->answerDelayMs = delay;
        f.Page().UpdateTaskStatus();
        for (int i = 0; i < f.Rows().ItemCount(); ++i) f.Rows().Item(i).SetSubItem(0, "");
        f.ui.Advance(judgedAfter - 1);
        EXPECT_EQ(f.Status(a), "") << delay;
        f.ui.Advance(1);
        EXPECT_EQ(f.Status(a), "Running") << delay;
        EXPECT_EQ(f.Status(b), second) << delay;
    }
}

// A stuck program's queue gets one question, not one per refresh (until the question is asked
// again in case it was lost), and the program learns that it answers again after its release.
TEST(ApplicationsPage, AStuckWindowIsAskedOnceAndRunsAgainAfterItsRelease) {
    AppsFixture f;
    const HWND h = f.Window("Target", f.editPid, 11);
    f.Create();
    f.ui.Advance(TApplicationsPage::kProbeTimeoutMs);
    f.windows.BlockThread(11);
    const int refreshes = 2 * StatusProbes::kRetryAfterRefusals;
    for (int i = 0; i < refreshes; ++i) {
        f.Page().UpdateTaskStatus();
        f.ui.Advance(TApplicationsPage::kProbeTimeoutMs);
    }
    EXPECT_EQ(f.Status(h), "Not Responding");
    EXPECT_LE(f.windows.UnansweredCallbacks(), 1 + refreshes / StatusProbes::kRetryAfterRefusals);
    f.windows.ReleaseThread(11);
    f.Page().UpdateTaskStatus();
    f.ui.Advance(TApplicationsPage::kProbeTimeoutMs);
    f.Page().UpdateTaskStatus();
    f.ui.Advance(TApplicationsPage::kProbeTimeoutMs);
    EXPECT_EQ(f.Status(h), "Running");
    EXPECT_EQ(f.windows.UnansweredCallbacks(), 0);
}

// An answer belongs to its question: one that comes for a row since made afresh (the window's handle
// given to another, slower window) or after the page is gone changes nothing.
TEST(ApplicationsPage, AnAnswerToAnOldQuestionChangesNothing) {
    AppsFixture f;
    const HWND a = f.Window("Alpha", f.editPid, 11);
    f.Create();
    f.ui.Advance(TApplicationsPage::kProbeTimeoutMs);
    f.windows.Find(a)->answerDelayMs = 150;
    f.Page().UpdateTaskStatus();
    // Before it answers, the window goes and its handle is given to a window that answers too late;
    // the old question's answer comes from that window's thread while the new row waits for its own.
    f.windows.RemoveWindow(a);
    SimWindow w;
    w.hwnd = a, w.caption = "Slow", w.style = kTaskStyle, w.visible = true, w.processId = f.paintPid, w.threadId = 40;
    w.answerDelayMs = 900;
    f.windows.AddWindow(w);
    f.Rescan();
    EXPECT_EQ(f.Status(a), "");  // no verdict yet on the new row
    f.ui.Advance(2 * TApplicationsPage::kProbeTimeoutMs);
    EXPECT_EQ(f.Status(a), "Not Responding");
    // Questions still open when the page goes are answered into nothing.
    f.Page().UpdateTaskStatus();
    f.form.reset();
    f.ui.Advance(1000);
    EXPECT_TRUE(f.windows.HandlerErrors.empty());
}

// However many windows there are, a refresh asks a bounded number of them and waits for none; every
// row has its status after enough refreshes.
TEST(ApplicationsPage, ARefreshAsksABoundedNumberOfWindows) {
    AppsFixture f;
    const int count = 3 * TApplicationsPage::kRowsPerRefresh / 2;
    for (int i = 0; i < count; ++i) {
        const HWND h = f.Window("Document " + std::to_string(i), f.editPid, 100 + static_cast<DWORD>(i));
        f.windows.Find(h)->answerDelayMs = 10;
    }
    f.Create();
    for (int round = 0; round < 2; ++round) {
        const int asked = f.windows.Calls(WinOp::SendMessageCallbackA);
        f.Page().UpdateTaskStatus();
        EXPECT_LE(f.windows.Calls(WinOp::SendMessageCallbackA) - asked, TApplicationsPage::kRowsPerRefresh);
        f.ui.Advance(TApplicationsPage::kProbeTimeoutMs);
    }
    EXPECT_EQ(f.windows.SendWaitMs, 0u);
    for (int i = 0; i < f.Rows().ItemCount(); ++i)
        EXPECT_EQ(f.Rows().Item(i).SubItems(), std::vector<std::string>{"Running"}) << f.Rows().Item(i).Caption();
}

// A status refresh reads and asks its rows a few at a time, soon after one another, so messages
// wait for no more than that; every row it looked at is asked once and gets its verdict.
TEST(ApplicationsPage, AStatusRefreshAsksItsRowsAFewAtATime) {
    AppsFixture f;
    const int count = 2 * TApplicationsPage::kRowsAskedAtOnce + 5;
    for (int i = 0; i < count; ++i) f.Window("Document " + std::to_string(i), f.editPid, 100 + static_cast<DWORD>(i));
    f.Create();
    // Past the first refresh tick's verdicts (Normal: 1750 ms), long before the next tick.
    f.ui.Advance(2500);
    const int rows = f.Rows().ItemCount();  // the windows and the program's own
    ASSERT_GT(rows, 2 * TApplicationsPage::kRowsAskedAtOnce);
    const int before = f.windows.Calls(WinOp::SendMessageCallbackA);
    f.Page().UpdateTaskStatus();
    const int batches[] = {TApplicationsPage::kRowsAskedAtOnce, 2 * TApplicationsPage::kRowsAskedAtOnce, rows};
    for (int asked : batches) {
        EXPECT_EQ(f.windows.Calls(WinOp::SendMessageCallbackA) - before, asked);
        f.ui.Advance(TApplicationsPage::kPendingRowsDelayMs);
    }
    EXPECT_EQ(f.windows.Calls(WinOp::SendMessageCallbackA) - before, rows);
    f.ui.Advance(2 * TApplicationsPage::kProbeTimeoutMs);
    for (int i = 0; i < rows; ++i) EXPECT_EQ(f.Rows().Item(i).SubItems(), std::vector<std::string>{"Running"});
}

// Many windows coming at once get their rows a few at a time (each costs an icon), soon after one
// another, each in its place.
TEST(ApplicationsPage, ManyNewWindowsGetTheirRowsAFewAtATime) {
    AppsFixture f;
    f.Create();
    f.ui.Advance(2000);
    const int before = f.Rows().ItemCount();
    const int count = 2 * TApplicationsPage::kRowsAddedPerSync + 5;
    for (int i = 0; i < count; ++i)
        f.Window("Document " + std::to_string(count - i), f.editPid, 100 + static_cast<DWORD>(i));
    const int icons = f.machine.Calls(Op::ExtractIconA);
    f.form->ApplicationsList.Refresh();
    f.Page().ApplicationsListChanged();
    EXPECT_EQ(f.Rows().ItemCount(), before + TApplicationsPage::kRowsAddedPerSync);
    EXPECT_EQ(f.machine.Calls(Op::ExtractIconA) - icons, TApplicationsPage::kRowsAddedPerSync);
    f.ui.Advance(3 * TApplicationsPage::kPendingRowsDelayMs);
    EXPECT_EQ(f.Rows().ItemCount(), before + count);
    EXPECT_TRUE(f.Rows().IsSorted([&](const TListItem& a, const TListItem& b) {
        return f.machine.lstrcmpA(a.Caption(), b.Caption()) < 0;
    }));
    EXPECT_TRUE(f.RowsBoundToRecords());
}

// A new row goes where a binary search in the rows' order puts it; no other row moves, not even one
// whose caption changed since.
TEST(ApplicationsPage, ANewRowIsPlacedWithoutReorderingTheOthers) {
    AppsFixture f;
    f.Window("Apple", f.editPid, 11);
    const HWND b = f.Window("Banana", f.paintPid, 12);
    f.Window("Cherry", f.editPid, 13);
    f.Create();
    f.windows.Find(b)->caption = "Zucchini";
    f.form->tmrRefreshTimer();
    EXPECT_EQ(f.Captions(), (std::vector<std::string>{"Apple", "Zucchini", "Cherry"}));
    f.Window("Blueberry", f.paintPid, 14);
    f.Window("apple", f.editPid, 15);
    f.Rescan();
    EXPECT_EQ(f.Captions(),
              (std::vector<std::string>{"apple", "Apple", "Blueberry", "Zucchini", "Cherry", "Orvex Taskwell 98"}));
    EXPECT_TRUE(f.RowsBoundToRecords());
}

// Each command on another program's window: what it calls, and that it never waits on the window.
TEST(ApplicationsPage, CommandsActWithoutWaitingOnTheWindow) {
    struct Case {
        const char* name;
        void (TApplicationsPage::*command)();
        WindowEvent::Kind kind;
        int cmdShow;
        HWND insertAfter;
        UINT flags;
    };
    const UINT async = SWP_ASYNCWINDOWPOS;
    const Case cases[] = {
        {"minimize", &TApplicationsPage::itmMinimizeClick, WindowEvent::Kind::ShowWindow, SW_MINIMIZE, 0, 0},
        {"restore", &TApplicationsPage::itmAppRestoreClick, WindowEvent::Kind::ShowWindow, SW_RESTORE, 0, 0},
        {"maximize", &TApplicationsPage::itmMaximizeClick, WindowEvent::Kind::ShowWindow, SW_SHOWMAXIMIZED, 0, 0},
        {"bring to front", &TApplicationsPage::itmBringToFrontClick, WindowEvent::Kind::SetWindowPos, 0, HWND_TOP,
         SWP_NOMOVE | SWP_NOSIZE | async},
        {"always on top", &TApplicationsPage::itmSetasAlwaysOnTopClick, WindowEvent::Kind::SetWindowPos, 0,
         HWND_TOPMOST, 0x13 | async},
        {"not on top", &TApplicationsPage::itmDisableAlwaysOnTopClick, WindowEvent::Kind::SetWindowPos, 0,
         HWND_NOTOPMOST, 0x13 | async},
        {"switch to", &TApplicationsPage::btnSwitchToClick, WindowEvent::Kind::SetWindowPos, 0, HWND_TOP,
         SWP_NOMOVE | SWP_NOSIZE | async},
    };
    for (bool blocked : {false, true}) {
        for (const Case& c : cases) {
            const std::string name = std::string(c.name) + (blocked ? ", blocked" : "");
            AppsFixture f;
            const HWND h = f.Window("Target", f.editPid, 11);
            f.Create();
            f.Select(h);
            if (blocked) f.windows.BlockThread(11);
            f.windows.ClearLog();
            const std::uint64_t waited = f.windows.SendWaitMs;
            (f.Page().*c.command)();
            int acted = 0;
            for (const WindowEvent& e : f.windows.LogOf(h)) {
                if (e.kind != c.kind) continue;
                ++acted;
                if (c.kind == WindowEvent::Kind::ShowWindow) {
                    EXPECT_TRUE(e.async) << name;
                    EXPECT_EQ(e.cmdShow, c.cmdShow) << name;
                } else {
                    EXPECT_EQ(e.insertAfter, c.insertAfter) << name;
                    EXPECT_EQ(e.flags, c.flags) << name;
                }
            }
            EXPECT_EQ(acted, 1) << name;
            EXPECT_EQ(f.windows.BlockingCalls, 0) << name;
            EXPECT_EQ(f.windows.SendWaitMs, waited) << name;
            EXPECT_TRUE(f.ui.MessageBoxes.empty()) << name;
            if (c.command == &TApplicationsPage::btnSwitchToClick) {
                EXPECT_EQ(f.windows.Foreground(), h) << name;
            }
        }
    }
}

TEST(ApplicationsPage, CommandsDoNothingWithoutSelectionOrOnAHandleGivenToAnotherWindow) {
    void (TApplicationsPage::*commands[])() = {
        &TApplicationsPage::itmMinimizeClick,       &TApplicationsPage::itmAppRestoreClick,
        &TApplicationsPage::itmMaximizeClick,       &TApplicationsPage::itmBringToFrontClick,
        &TApplicationsPage::itmSetasAlwaysOnTopClick, &TApplicationsPage::itmDisableAlwaysOnTopClick,
        &TApplicationsPage::btnSwitchToClick,       &TApplicationsPage::btnEndTaskClick,
    };
    for (size_t i = 0; i < std::size(commands); ++i) {
        for (bool stale : {false, true}) {
            AppsFixture f;
            const HWND h = f.Window("Target", f.editPid, 11);
            f.Create();
            f.ui.Responder = [](const sim::MessageBoxCall&) { return IDYES; };
            if (stale) {
                f.Select(h);
                f.windows.RemoveWindow(h);
                SimWindow w;
                w.hwnd = h, w.caption = "Stranger", w.visible = true, w.processId = f.paintPid, w.threadId = 99;
                f.windows.AddWindow(w);
            }
            f.windows.ClearLog();
            (f.Page().*commands[i])();
            for (const WindowEvent& e : f.windows.LogOf(h))
                EXPECT_NE(e.kind == WindowEvent::Kind::ShowWindow || e.kind == WindowEvent::Kind::SetWindowPos ||
                              e.kind == WindowEvent::Kind::SetForegroundWindow ||
                              e.kind == WindowEvent::Kind::BringWindowToTop ||
                              (e.kind == WindowEvent::Kind::Sent && e.msg == WM_CLOSE),
                          true)
                    << "command " << i << (stale ? ", stale" : ", no selection");
            EXPECT_NE(f.windows.Find(h), nullptr);
        }
    }
}

TEST(ApplicationsPage, WithoutShowWindowAsyncOnlyAnsweringWindowsAreActedOn) {
    for (bool blocked : {false, true}) {
        AppsFixture f;
        f.windows.ShowWindowAsyncAvailable = false;
        const HWND h = f.Window("Target", f.editPid, 11);
        f.Create();
        f.Select(h);
        if (blocked) f.windows.BlockThread(11);
        f.Page().itmMinimizeClick();
        f.Page().itmBringToFrontClick();
        EXPECT_EQ(f.windows.BlockingCalls, 0) << blocked;
        EXPECT_EQ(f.windows.Find(h)->state == sim::ShowState::Minimized, !blocked) << blocked;
        EXPECT_EQ(f.windows.Calls(WinOp::BringWindowToTop), blocked ? 0 : 1) << blocked;
    }
}

TEST(ApplicationsPage, TheProgramsOwnWindowIsShownDirectly) {
    AppsFixture f;
    f.Create();
    f.ui.Advance(2000);
    const HWND self = f.ui.WindowHandle(*f.form);
    f.Select(self);
    f.Page().itmBringToFrontClick();
    EXPECT_EQ(f.windows.Calls(WinOp::BringWindowToTop), 1);
    EXPECT_EQ(f.windows.Calls(WinOp::ShowWindowAsync), 0);
}

TEST(ApplicationsPage, EndTaskAsksThenAsksOnlyForTheClose) {
    struct Case {
        const char* name;
        bool confirmations;
        int answer;
        std::uint64_t answerDelay;
        bool blocked;
        bool closes;  // the window is asked to close (and does, unless its thread is blocked)
        int boxes;
    };
    const Case cases[] = {
        {"yes", true, IDYES, 0, false, true, 1},
        {"no", true, IDNO, 0, false, false, 1},
        {"without confirmation", false, IDNO, 0, false, true, 0},
        {"answers slowly", true, IDYES, 150, false, true, 1},
        {"slow closer", true, IDYES, 3000, false, true, 1},
        {"blocked", true, IDYES, 0, true, true, 1},
    };
    for (const Case& c : cases) {
        AppsFixture f;
        const HWND h = f.Window("Target", f.editPid, 11);
        f.Create();
        f.form->Menus.itmConfirmations->SetChecked(c.confirmations);
        f.windows.Find(h)->answerDelayMs = c.answerDelay;
        if (c.blocked) f.windows.BlockThread(11);
        f.ui.Responder = [&](const sim::MessageBoxCall& box) {
            EXPECT_EQ(box.text, "Are you sure you want to end this task ?");
            EXPECT_EQ(box.caption, "Confirm");
            EXPECT_EQ(box.flags, static_cast<UINT>(MB_YESNO | MB_ICONQUESTION));
            return c.answer;
        };
        f.Select(h);
        const int enumerations = f.windows.Calls(WinOp::EnumWindows);
        const int posts = f.windows.Calls(WinOp::PostMessageA);
        const std::uint64_t waited = f.windows.SendWaitMs;
        f.Page().btnEndTaskClick();
        EXPECT_EQ(static_cast<int>(f.ui.MessageBoxes.size()), c.boxes) << c.name;
        EXPECT_EQ(f.Sent(h, WM_CLOSE), 0) << c.name << ": the close is posted, never sent";
        EXPECT_EQ(f.windows.Calls(WinOp::PostMessageA) - posts, c.closes ? 1 : 0) << c.name;
        // The program is held at most by the refresh's probe of the window, never by the close.
        EXPECT_LE(f.windows.SendWaitMs - waited, 250u) << c.name;
        EXPECT_EQ(f.windows.Calls(WinOp::EnumWindows), enumerations + 1) << c.name;  // rescanned in every case
        EXPECT_TRUE(f.RowsBoundToRecords()) << c.name;
        // The window closes when its thread takes the close; the list follows at its next scan.
        f.ui.Advance(2000);
        EXPECT_EQ(f.RowOf(h) < 0, c.closes && !c.blocked) << c.name;
        EXPECT_EQ(f.Sent(h, WM_DESTROY) + f.Sent(h, WM_QUIT), 0) << c.name;
        EXPECT_EQ(f.windows.BlockingCalls, 0) << c.name;
    }
}

TEST(ApplicationsPage, ABlockedWindowClosesWhenItsProgramAnswersAgain) {
    AppsFixture f;
    const HWND h = f.Window("Target", f.editPid, 11);
    f.Create();
    f.form->Menus.itmConfirmations->SetChecked(false);
    f.windows.BlockThread(11);
    f.Select(h);
    f.Page().btnEndTaskClick();
    f.ui.Advance(3000);
    EXPECT_NE(f.windows.Find(h), nullptr);
    f.windows.ReleaseThread(11);
    f.ui.Advance(3000);
    EXPECT_EQ(f.windows.Find(h), nullptr);
    EXPECT_EQ(f.RowOf(h), -1);
    EXPECT_EQ(f.Sent(h, WM_DESTROY) + f.Sent(h, WM_QUIT), 0);
}

TEST(ApplicationsPage, ASlowCloserClosesInItsOwnTimeAndLosesItsRow) {
    AppsFixture f;
    const HWND h = f.Window("Unsaved - Edit", f.editPid, 11);
    f.Create();
    f.form->Menus.itmConfirmations->SetChecked(false);
    f.windows.Find(h)->answerDelayMs = 3000;
    f.Select(h);
    f.Page().btnEndTaskClick();
    EXPECT_GE(f.RowOf(h), 0);
    f.ui.Advance(5000);
    EXPECT_EQ(f.windows.Find(h), nullptr);
    EXPECT_EQ(f.RowOf(h), -1);
    EXPECT_EQ(f.Sent(h, WM_DESTROY), 0);
}

TEST(ApplicationsPage, EndTaskInTheEnginesMessageGapLeavesTheRowsSound) {
    AppsFixture f;
    const HWND h = f.Window("Target", f.editPid, 11);
    f.Create();
    f.form->Menus.itmConfirmations->SetChecked(false);
    f.Select(h);
    const HWND newcomer = f.Window("Newcomer", f.paintPid, 12);
    // The engine's next tick rebuilds (a new window) and lets messages run before it announces the
    // change: End Task runs in that gap.
    f.ui.At(0, [&] { f.Page().btnEndTaskClick(); });
    f.form->ApplicationsList.TimerTick();
    EXPECT_GE(f.RowOf(newcomer), 0);
    EXPECT_TRUE(f.RowsBoundToRecords());
    // The window took its close; the engine's next scan drops its row.
    f.ui.Advance(2000);
    EXPECT_EQ(f.RowOf(h), -1);
    EXPECT_GE(f.RowOf(newcomer), 0);
    EXPECT_TRUE(f.RowsBoundToRecords());
}

TEST(ApplicationsPage, GotoProcessSelectsItsRowOnTheProcessesPage) {
    AppsFixture f;
    const HWND h = f.Window("Target", f.editPid, 11);
    const DWORD dosPid = f.Start("C:\\DOS\\EDIT16.EXE", sim::kExeNE16, 0x0003000A);
    const HWND old = f.Window("Old", dosPid, 12);
    f.Create();
    // A process started after the last tick is found all the same.
    const DWORD fresh = f.Start("C:\\APPS\\FRESH.EXE");
    const HWND freshWindow = f.Window("Fresh", fresh, 13);
    f.Rescan();
    f.Select(freshWindow);
    f.Page().itmAppGotoProcessClick();
    EXPECT_EQ(f.form->pcMain->ActivePage(), f.form->tsProcesses);
    ASSERT_NE(f.form->ProcessPage.sagProcesses->Selected(), nullptr);
    EXPECT_EQ(f.form->ProcessPage.sagProcesses->Selected()->Caption(), HexText(fresh));
    EXPECT_EQ(static_cast<DWORD>(f.form->ProcessPage.sagProcesses->Selected()->Data), fresh);
    EXPECT_TRUE(f.form->ProcessPage.itmSelectColumns->Visible());

    // A 16-bit program's process is not shown while 16-bit tasks are hidden: nothing changes.
    f.form->Menus.itmShow16bit->SetChecked(false);
    f.form->pcMain->SelectPage(0);
    f.Select(old);
    const std::uintptr_t selected = f.form->ProcessPage.sagProcesses->Selected()->Data;
    f.Page().itmAppGotoProcessClick();
    EXPECT_EQ(f.form->pcMain->ActivePage(), f.form->tsApplications);
    ASSERT_NE(f.form->ProcessPage.sagProcesses->Selected(), nullptr);
    EXPECT_EQ(f.form->ProcessPage.sagProcesses->Selected()->Data, selected);
    (void)h;
}

TEST(ApplicationsPage, GotoProcessBringsTheRowIntoViewAndFocusesTheList) {
    AppsFixture f;
    for (int i = 0; i < 60; ++i) f.Start("C:\\APPS\\TOOL" + std::to_string(100 + i) + ".EXE");
    const DWORD last = f.Start("C:\\APPS\\ZZLAST.EXE");  // sorted by name: the last row
    const HWND h = f.Window("Last", last, 14);
    f.Create();
    f.Select(h);
    f.Page().itmAppGotoProcessClick();
    const TListView& processes = *f.form->ProcessPage.sagProcesses;
    ASSERT_NE(processes.Selected(), nullptr);
    EXPECT_EQ(static_cast<DWORD>(processes.Selected()->Data), last);
    const int row = processes.SelectedIndex();
    ASSERT_GE(row, processes.PageRows()) << "a row below the first page";
    EXPECT_GE(row, processes.TopIndex());
    EXPECT_LT(row, processes.TopIndex() + processes.PageRows());
    EXPECT_EQ(f.form->ActiveControl, f.form->ProcessPage.sagProcesses);
    EXPECT_EQ(f.form->FocusTarget(), f.form->ProcessPage.sagProcesses);
}

TEST(ApplicationsPage, MenusAndButtonsFollowTheSelection) {
    AppsFixture f;
    const HWND h = f.Window("Target", f.editPid, 11);
    f.Create();
    TfrmMain& m = *f.form;
    auto windowsMenu = {m.ApplicationsPage.itmMinimize, m.ApplicationsPage.itmAppRestore,
                        m.ApplicationsPage.itmMaximize, m.ApplicationsPage.itmBringToFront,
                        m.ApplicationsPage.itmAppAlwaysOnTop};
    m.ApplicationsPage.itmWindows->Click();
    for (TMenuItem* item : windowsMenu) EXPECT_FALSE(item->Enabled()) << item->Caption();
    f.Page().popApplicationsPopup();
    EXPECT_FALSE(f.Page().itmAppGotoProcess->Enabled());
    f.Select(h);
    EXPECT_TRUE(f.Page().btnEndTask->Enabled());
    EXPECT_TRUE(f.Page().btnSwitchTo->Enabled());
    m.ApplicationsPage.itmWindows->Click();
    for (TMenuItem* item : windowsMenu) EXPECT_TRUE(item->Enabled()) << item->Caption();
    f.Page().popApplicationsPopup();
    for (int i = 0; i < f.Page().popApplications.Items().Count(); ++i) {
        TMenuItem& item = f.Page().popApplications.Items()[i];
        if (item.Caption() != "-") {
            EXPECT_TRUE(item.Enabled()) << item.Caption();
        }
    }
    EXPECT_TRUE(f.Page().itmAppProperties->Default());
    // The selected window closes: its row goes and with it the selection.
    f.windows.RemoveWindow(h);
    f.Rescan();
    EXPECT_FALSE(f.Page().btnEndTask->Enabled());
    f.Page().popApplicationsPopup();
    EXPECT_FALSE(f.Page().itmAppEndTask->Enabled());
    // A double click with nothing selected opens nothing.
    int modals = 0;
    f.ui.ModalResponder = [&](TForm&) { return ++modals, mrOk; };
    f.Rows().PeerDblClick();
    EXPECT_EQ(modals, 0);
}

TEST(ApplicationsPage, PropertiesShowACopyThatOutlivesTheRecord) {
    AppsFixture f;
    const HWND h = f.Window("Target", f.editPid, 11);
    f.Create();
    f.Select(h);
    f.ui.ModalResponder = [&](TForm& dialog) {
        EXPECT_EQ(dialog.Caption(), "Task Properties");
        // The engine's timer runs meanwhile: the window closes and its record goes.
        f.windows.RemoveWindow(h);
        f.ui.Advance(3000);
        EXPECT_EQ(f.RowOf(h), -1);
        return mrOk;
    };
    f.Rows().PeerDblClick();
    EXPECT_TRUE(f.ui.MessageBoxes.empty());
}

TEST(ApplicationsPage, EveryIconIsGivenBack) {
    AppsFixture f;
    f.Create();
    f.ui.Advance(2000);
    const int before = f.machine.LiveIcons();
    const HWND a = f.Window("A", f.editPid, 11);
    const HWND b = f.Window("B", f.paintPid, 12);
    f.ui.Advance(2000);
    f.windows.RemoveWindow(b);
    const HWND c = f.Window("C", f.paintPid, 13);
    f.ui.Advance(2000);
    EXPECT_EQ(f.Captions(), (std::vector<std::string>{"A", "C", "Orvex Taskwell 98"}));
    // Rows, images and the engine's own copies: every icon extracted for them is destroyed once
    // they are gone.
    for (HWND h : {a, c}) f.windows.RemoveWindow(h);
    f.ui.Advance(2000);
    EXPECT_EQ(f.Captions(), (std::vector<std::string>{"Orvex Taskwell 98"}));
    EXPECT_EQ(f.machine.LiveIcons(), before);
}

}  // namespace
}  // namespace taskwell
