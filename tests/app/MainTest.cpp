#include "app/Main.h"

#include <gtest/gtest.h>

#include <set>

#include <algorithm>

#include "app/Program.h"
#include "support/SimFixture.h"

namespace taskwell {
namespace {

using sim::Op;
using testing::SimFixture;

struct MainFixture : testing::MainWindowFixture {
    explicit MainFixture(bool create = true) {
        if (create) Create();
    }
    const sim::SimUi::TimerState* TimerOf(const TTimer& t) const {
        static sim::SimUi::TimerState found;
        for (auto& s : ui.Timers())
            if (s.timer == &t) {
                found = s;
                return &found;
            }
        return nullptr;
    }
    std::vector<Op> LogOf(std::initializer_list<Op> interesting) const {
        std::vector<Op> out;
        for (Op op : machine.CallLog())
            if (std::find(interesting.begin(), interesting.end(), op) != interesting.end()) out.push_back(op);
        return out;
    }
};

TEST(ProgramEntry, RefusesWindowsNTBeforeAnyWindow) {
    SimFixture f;
    f.machine.UseWindowsNT4();
    EXPECT_EQ(TaskwellMain(f.platform), 0);
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(f.ui.MessageBoxes[0].caption, "Error");
    EXPECT_EQ(f.ui.MessageBoxes[0].text, "This application does not run on Windows NT");
    EXPECT_TRUE(f.ui.MessageBoxes[0].ownedByDesktop);
    // No window was created: no process snapshot, no timer.
    EXPECT_EQ(f.machine.Calls(Op::CreateToolhelp32Snapshot), 0);
    EXPECT_TRUE(f.ui.Timers().empty());
}

TEST(ProgramEntry, RunsOnWindows98UntilTheMainWindowCloses) {
    SimFixture f;
    f.StartDesktop();
    int ticksSeen = 0;
    std::string caption;
    // Close the program's window after a few seconds of running.
    f.ui.At(5000, [&] {
        ticksSeen = f.machine.Calls(Op::CreateToolhelp32Snapshot);
        ASSERT_EQ(f.ui.Forms().size(), 1u);
        caption = f.ui.Forms()[0]->Caption();
        f.ui.Forms()[0]->Close();
    });
    EXPECT_EQ(TaskwellMain(f.platform), 0);
    EXPECT_TRUE(f.ui.MessageBoxes.empty());
    // Load, the tick of creation and then one tick every 1750 ms (Normal).
    EXPECT_GE(ticksSeen, 4);
    EXPECT_EQ(caption, "Orvex Taskwell 98");
    EXPECT_TRUE(f.ui.Terminated());
    EXPECT_TRUE(f.ui.Forms().empty());
}

TEST(FormCreate, RefusesWindowsNTWithTheTitleAsCaption) {
    SimFixture f;
    f.machine.UseWindowsNT4();
    auto form = f.CreateMainForm();
    EXPECT_TRUE(form->Refused());
    EXPECT_TRUE(f.app.Terminated());
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(f.ui.MessageBoxes[0].caption, "Orvex Taskwell 98");
    EXPECT_EQ(f.ui.MessageBoxes[0].text, "This application does not run on Windows NT");
    EXPECT_EQ(f.machine.Calls(Op::CreateToolhelp32Snapshot), 0);
}

TEST(FormCreate, BuildsTheFrame) {
    MainFixture f;
    TfrmMain& m = *f.form;
    EXPECT_EQ(m.Caption(), "Orvex Taskwell 98");
    EXPECT_EQ(m.Width(), 444);
    EXPECT_EQ(m.Height(), 538);
    ASSERT_EQ(m.pcMain->PageCount(), 4);
    const char* captions[] = {"Applications", "Processes", "Performance", "System Info"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(m.pcMain->Page(i).Caption(), captions[i]);
        EXPECT_EQ(m.pcMain->Page(i).ImageIndex(), i);
    }
    EXPECT_EQ(m.pcMain->ActivePage(), m.tsApplications);
    ASSERT_EQ(m.sbMain->PanelCount(), 4);
    int widths[] = {100, 105, 200, 50};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(m.sbMain->Panels(i).Width, widths[i]);
    // The page control keeps 7 pixels to the left, right and bottom, above the status bar.
    EXPECT_EQ(m.pcMain->Left(), 7);
    EXPECT_EQ(m.pnlMain->ClientWidth() - m.pcMain->Left() - m.pcMain->Width(), 7);
    EXPECT_EQ(m.pnlMain->Height() - m.pcMain->Top() - m.pcMain->Height(), 7);
    EXPECT_EQ(m.sbMain->Top() + m.sbMain->Height(), m.ClientHeight());
    // Each list fills its page above the 41-pixel panel of its buttons.
    for (TListView* list : {m.ApplicationsPage.sagApplications, m.ProcessPage.sagProcesses})
        EXPECT_EQ(list->Width(), list->Parent()->ClientWidth()) << list->Name;
    EXPECT_EQ(m.ApplicationsPage.sagApplications->Height() + 41, m.tsApplications->ClientHeight());
    EXPECT_EQ(m.ApplicationsPage.pnlApplicationsBottom->Top(), m.ApplicationsPage.sagApplications->Height());
    EXPECT_EQ(m.ProcessPage.sagProcesses->Height() + 41, m.tsProcesses->ClientHeight());
    EXPECT_EQ(m.ProcessPage.pnlProcessesBottom->Top(), m.ProcessPage.sagProcesses->Height());
    EXPECT_FALSE(m.WindowShown);
    EXPECT_EQ(m.PerformancePage.CPULogFile, "C:\\Program Files\\Orvex\\Taskwell\\CPU_Usage.Log");
    EXPECT_EQ(m.PerformancePage.MemLogFile, "C:\\Program Files\\Orvex\\Taskwell\\Mem_Usage.Log");
}

TEST(FormCreate, BuildsTheMenuBarWithItsInitialStates) {
    MainFixture f;
    TfrmMain& m = *f.form;
    m.pcMain->SelectPage(1);  // on the Processes page all but the Windows and Events menus show
    std::vector<std::string> top;
    for (int i = 0; i < m.Menus.MainMenu.Items().Count(); ++i) top.push_back(m.Menus.MainMenu.Items()[i].Caption());
    EXPECT_EQ(top, (std::vector<std::string>{"&File", "&Options", "&View", "&Events", "&Windows", "&Tools", "&Help"}));

    struct Item {
        std::vector<std::string> path;
        bool checked;
        bool enabled;
        bool radio;
    };
    for (const Item& c : std::vector<Item>{
             {{"&File", "&New Task (Run..)"}, false, true, false},
             {{"&File", "E&xit Taskwell"}, false, true, false},
             {{"&Options", "&Always On Top"}, false, true, false},
             {{"&Options", "&Confirmations"}, true, true, false},
             {{"&Options", "&Show icon in tray"}, true, false, false},  // greyed by Hide When Minimized
             {{"&Options", "&Hide When Minimized"}, true, true, false},
             {{"&Options", "&Show 16-bit tasks"}, true, true, false},
             {{"&View", "&Refresh Now"}, false, true, false},
             {{"&View", "&Update Speed", "&High"}, false, true, true},
             {{"&View", "&Update Speed", "&Normal"}, true, true, true},
             {{"&View", "&Update Speed", "&Low"}, false, true, true},
             {{"&View", "&Update Speed", "&Paused"}, false, true, true},
             {{"&View", "Lar&ge Icons"}, true, true, true},
             {{"&View", "S&mall Icons"}, false, true, true},
             {{"&View", "&List"}, false, true, true},
             {{"&View", "&Details"}, false, true, true},
             {{"&View", "&Select Columns.."}, false, true, false},
             {{"&Events", "Log CPU Usage History", "Enabled"}, false, true, false},
             {{"&Events", "Log CPU Usage History", "Choose log file"}, false, true, false},
             {{"&Events", "Log Memory Usage History", "Enabled"}, false, true, false},
             {{"&Events", "Log Memory Usage History", "Choose log file"}, false, true, false},
             {{"&Windows", "&Minimize"}, false, false, false},
             {{"&Windows", "&Restore"}, false, false, false},
             {{"&Windows", "Ma&ximize"}, false, false, false},
             {{"&Windows", "&Bring To Front"}, false, false, false},
             {{"&Windows", "Set as &Always on top", "Enable"}, false, true, false},
             {{"&Windows", "Set as &Always on top", "Disable"}, false, true, false},
             {{"&Tools", "&Update Taskwell 98"}, false, true, false},
             {{"&Help", "Orvex Taskwell &Help Topics"}, false, true, false},
             {{"&Help", "&About Orvex Taskwell 98"}, false, true, false},
         }) {
        TMenuItem* item = m.Menus.MainMenu.FindPath(c.path);
        ASSERT_NE(item, nullptr) << c.path.back();
        EXPECT_EQ(item->Checked(), c.checked) << c.path.back();
        EXPECT_EQ(item->Enabled(), c.enabled) << c.path.back();
        EXPECT_EQ(item->RadioItem(), c.radio) << c.path.back();
    }
    EXPECT_FALSE(m.ApplicationsPage.itmAppAlwaysOnTop->Enabled());
    EXPECT_FALSE(m.Menus.itmShowKernelTimes->Visible());
    EXPECT_NE(m.Menus.itmUpdateSpeedHigh->GroupIndex(), m.ApplicationsPage.itmLargeIcons->GroupIndex());
}

// Which menu items each page shows.
TEST(PageChange, ShowsTheItemsOfTheVisiblePage) {
    struct Case {
        int page;
        bool show16bit, separator, viewStyles, selectColumns, windows, events;
    };
    MainFixture f;
    TfrmMain& m = *f.form;
    for (Case c :
         {Case{0, false, true, true, false, true, false}, Case{1, true, true, false, true, false, false},
          Case{2, false, false, false, false, false, true}, Case{3, false, false, false, false, false, false}}) {
        m.pcMain->SelectPage(c.page);
        EXPECT_EQ(m.Menus.itmShow16bit->Visible(), c.show16bit) << c.page;
        EXPECT_EQ(m.Menus.itmViewSeparator->Visible(), c.separator) << c.page;
        for (TMenuItem* i : {m.ApplicationsPage.itmLargeIcons, m.ApplicationsPage.itmSmallIcons,
                             m.ApplicationsPage.itmList, m.ApplicationsPage.itmDetails})
            EXPECT_EQ(i->Visible(), c.viewStyles) << c.page;
        EXPECT_EQ(m.ProcessPage.itmSelectColumns->Visible(), c.selectColumns) << c.page;
        EXPECT_EQ(m.ApplicationsPage.itmWindows->Visible(), c.windows) << c.page;
        EXPECT_EQ(m.PerformancePage.itmEvents->Visible(), c.events) << c.page;
        // Everything else always shows.
        for (TMenuItem* i : {m.Menus.itmFile, m.Menus.itmOptions, m.Menus.itmView, m.Menus.itmTools, m.Menus.itmHelp,
                             m.Menus.itmRefreshNow, m.Menus.itmUpdateSpeed})
            EXPECT_TRUE(i->Visible()) << c.page;
    }
}

TEST(FormCreate, RunsTheStartUpInOrderAndEndsAtNormalSpeed) {
    MainFixture f;
    TfrmMain& m = *f.form;
    // Load, then the tick of creation.
    EXPECT_EQ(f.machine.Calls(Op::CreateToolhelp32Snapshot), 2);
    EXPECT_EQ(m.Readings.ProcessCount, 4);
    EXPECT_EQ(m.sbMain->PanelText(0), "Processes: 4");
    EXPECT_EQ(m.sbMain->PanelText(1), "CPU Usage: 0%");
    EXPECT_EQ(m.sbMain->PanelText(2), "Mem Usage: 0K / 196608K");
    EXPECT_EQ(m.sbMain->PanelText(3), "");
    EXPECT_EQ(m.UpdateSpeed, TUpdateSpeed::Normal);
    EXPECT_EQ(m.tmrRefresh.Interval(), 1750u);
    EXPECT_TRUE(m.tmrRefresh.Enabled());
    for (TPerfStats* s : {&m.Readers.PerfStatsCPU, &m.Readers.PerfStatsThreads, &m.Readers.PerfStatsVMs,
                          &m.Readers.PerfStatsDiskCache, &m.Readers.PerfStatsCommit}) {
        EXPECT_TRUE(s->ActiveStat()) << s->Name;
        EXPECT_TRUE(s->AutoTick()) << s->Name;
        EXPECT_EQ(s->Interval(), 1750u) << s->Name;
    }
    EXPECT_EQ(m.ApplicationsList.TimerIntval(), 1750);
    EXPECT_TRUE(m.ApplicationsList.EnableTimer());
    // Two waits of a little more than 350 ms each, with messages processed.
    EXPECT_GE(f.machine.Now(), 702u);
    EXPECT_LE(f.machine.Now(), 710u);
}

TEST(RefreshTick, RunsItsStepsInOrder) {
    MainFixture f;
    TfrmMain& m = *f.form;
    f.machine.Memory.dwTotalPhys = 64u * 1024 * 1024;
    f.machine.Memory.dwAvailPhys = 10u * 1024 * 1024;
    f.machine.ClearLog();
    m.tmrRefreshTimer();
    // Snapshot first (reconcile), then the fresh memory status.
    auto log = f.LogOf({Op::CreateToolhelp32Snapshot, Op::CloseHandle, Op::GlobalMemoryStatus, Op::GetSystemInfo,
                        Op::GetVersionExA});
    EXPECT_EQ(log, (std::vector<Op>{Op::CreateToolhelp32Snapshot, Op::CloseHandle, Op::GlobalMemoryStatus,
                                    Op::GetSystemInfo, Op::GetVersionExA}));
    // MemUsedK comes from the reading of the previous tick.
    EXPECT_EQ(m.Readings.MemUsedK, (64 - 24) * 1024);
    m.tmrRefreshTimer();
    EXPECT_EQ(m.Readings.MemUsedK, (64 - 10) * 1024);
    EXPECT_TRUE(m.tmrRefresh.Enabled());
}

TEST(RefreshTick, MemoryOfTwoGigabytesAndMoreIsShownUnsigned) {
    MainFixture f;
    TfrmMain& m = *f.form;
    f.machine.Memory.dwTotalPhys = 0xC0000000u;  // 3 GB
    f.machine.Memory.dwAvailPhys = 0x40000000u;  // 1 GB
    f.machine.Memory.dwTotalPageFile = 0xFFF7FFFFu;
    m.tmrRefreshTimer();
    m.tmrRefreshTimer();
    EXPECT_EQ(m.Readings.MemUsedK, 2 * 1024 * 1024);
    EXPECT_EQ(m.sbMain->PanelText(2), "Mem Usage: 0K / " + std::to_string(0xFFF7FFFFu / 1024) + "K");
}

TEST(RefreshTick, FollowsProcessesOnTheTimer) {
    MainFixture f;
    TfrmMain& m = *f.form;
    DWORD pid = f.Start("C:\\NOTEPAD.EXE");
    f.ui.Advance(1750);
    EXPECT_EQ(m.sbMain->PanelText(0), "Processes: 5");
    f.machine.RemoveProcess(pid);
    f.machine.RemoveProcess(f.machine.Processes()[0].th32ProcessID);
    f.ui.Advance(1750);
    EXPECT_EQ(m.Readings.ProcessCount, 3);
    EXPECT_EQ(m.sbMain->PanelText(0), "Processes: 3");
}

TEST(RefreshTick, AFailingStepEndsTheTickButNotTheCycle) {
    MainFixture f;
    TfrmMain& m = *f.form;
    f.Start("C:\\NOTEPAD.EXE");
    f.machine.Raise(Op::GlobalMemoryStatus);
    f.machine.ClearLog();
    m.tmrRefreshTimer();
    // The reconcile before the failing step ran; the status bar after it did not.
    EXPECT_EQ(m.Readings.ProcessCount, 5);
    EXPECT_EQ(m.sbMain->PanelText(0), "Processes: 4");
    EXPECT_EQ(f.machine.Calls(Op::GetSystemInfo), 0);
    EXPECT_TRUE(m.tmrRefresh.Enabled());
    EXPECT_TRUE(f.ui.MessageBoxes.empty());  // swallowed, not shown

    f.machine.Raise(Op::GlobalMemoryStatus, false);
    f.ui.Advance(1750);
    EXPECT_EQ(m.sbMain->PanelText(0), "Processes: 5");
}

TEST(RefreshTick, AFailingSnapshotRaisingAnErrorSkipsTheRest) {
    MainFixture f;
    TfrmMain& m = *f.form;
    f.machine.Raise(Op::CreateToolhelp32Snapshot);
    f.machine.ClearLog();
    f.ui.Advance(1750);
    EXPECT_EQ(f.machine.Calls(Op::GlobalMemoryStatus), 0);
    EXPECT_TRUE(m.tmrRefresh.Enabled());
    f.machine.Raise(Op::CreateToolhelp32Snapshot, false);
    f.ui.Advance(1750);
    EXPECT_EQ(f.machine.Calls(Op::GlobalMemoryStatus), 1);
}

TEST(RefreshTick, NextTickComesOneIntervalAfterTheEnd) {
    MainFixture f;
    TfrmMain& m = *f.form;
    f.machine.ClearLog();
    m.tmrRefreshTimer();  // restarts the count
    f.ui.Advance(1749);
    EXPECT_EQ(f.machine.Calls(Op::CreateToolhelp32Snapshot), 1);
    f.ui.Advance(1);
    EXPECT_EQ(f.machine.Calls(Op::CreateToolhelp32Snapshot), 2);
}

struct SpeedRow {
    const char* name;
    void (TfrmMain::*handler)();
    TUpdateSpeed speed;
    UINT refresh;
    bool running;
    DWORD cpu, threads, vms, diskCache, commit;
    bool autoTick;
    TMenuItem* TFrameMenus::*item;
};

class UpdateSpeeds : public ::testing::TestWithParam<SpeedRow> {};

void ExpectRow(const TfrmMain& m, const SpeedRow& r) {
    EXPECT_EQ(m.UpdateSpeed, r.speed);
    EXPECT_EQ(m.tmrRefresh.Interval(), r.refresh);
    EXPECT_EQ(m.tmrRefresh.Enabled(), r.running);
    const TPerfStats* readers[] = {&m.Readers.PerfStatsCPU, &m.Readers.PerfStatsThreads, &m.Readers.PerfStatsVMs,
                                   &m.Readers.PerfStatsDiskCache, &m.Readers.PerfStatsCommit};
    DWORD intervals[] = {r.cpu, r.threads, r.vms, r.diskCache, r.commit};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(readers[i]->Interval(), intervals[i]) << readers[i]->Name;
        EXPECT_EQ(readers[i]->AutoTick(), r.autoTick) << readers[i]->Name;
        EXPECT_TRUE(readers[i]->ActiveStat()) << readers[i]->Name;  // started stays started
    }
    EXPECT_EQ(m.ApplicationsList.TimerIntval(), static_cast<LONG>(r.refresh));
    EXPECT_EQ(m.ApplicationsList.EnableTimer(), r.running);
    TMenuItem* own = m.Menus.*(r.item);
    EXPECT_TRUE(own->Checked());
    for (TMenuItem* i : {m.Menus.itmUpdateSpeedHigh, m.Menus.itmUpdateSpeedNormal, m.Menus.itmUpdateSpeedLow,
                         m.Menus.itmUpdateSpeedPaused})
        if (i != own) {
            EXPECT_FALSE(i->Checked()) << i->Caption();
        }
}

TEST_P(UpdateSpeeds, SetEveryInterval) {
    const SpeedRow& r = GetParam();
    MainFixture f;
    (f.form.get()->*r.handler)();
    ExpectRow(*f.form, r);
}

TEST_P(UpdateSpeeds, AreRestoredInFullAfterPaused) {
    const SpeedRow& r = GetParam();
    MainFixture f;
    f.form->Menus.itmUpdateSpeedPaused->Click();
    (f.form.get()->*r.handler)();
    ExpectRow(*f.form, r);
}

// A speed applied after Paused makes one polling thread per distinct interval of its readers and
// no thread that is stopped again at once.
TEST_P(UpdateSpeeds, MakeOnePollingThreadPerInterval) {
    const SpeedRow& r = GetParam();
    MainFixture f;
    f.form->Menus.itmUpdateSpeedPaused->Click();
    const int made = f.threads.Calls(sim::ThreadOp::CreatePollingThread);
    const int stopped = f.threads.Calls(sim::ThreadOp::StopThread);
    (f.form.get()->*r.handler)();
    std::set<DWORD> intervals;
    if (r.autoTick)
        for (DWORD i : {r.cpu, r.threads, r.vms, r.diskCache, r.commit}) intervals.insert(i);
    EXPECT_EQ(f.threads.Calls(sim::ThreadOp::CreatePollingThread) - made, static_cast<int>(intervals.size()));
    EXPECT_EQ(f.threads.Calls(sim::ThreadOp::StopThread) - stopped, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, UpdateSpeeds,
    ::testing::Values(
        SpeedRow{"High", &TfrmMain::itmUpdateSpeedHighClick, TUpdateSpeed::High, 750, true, 750, 1500, 1500, 1500, 750,
                 true, &TFrameMenus::itmUpdateSpeedHigh},
        SpeedRow{"Normal", &TfrmMain::itmUpdateSpeedNormalClick, TUpdateSpeed::Normal, 1750, true, 1750, 1750, 1750,
                 1750, 1750, true, &TFrameMenus::itmUpdateSpeedNormal},
        SpeedRow{"Low", &TfrmMain::itmUpdateSpeedLowClick, TUpdateSpeed::Low, 3250, true, 3250, 3250, 3250, 3250, 3250,
                 true, &TFrameMenus::itmUpdateSpeedLow},
        SpeedRow{"Paused", &TfrmMain::itmUpdateSpeedPausedClick, TUpdateSpeed::Paused, 0, false, 1, 1, 1, 0, 0, false,
                 &TFrameMenus::itmUpdateSpeedPaused}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateSpeeds, TheMenuItemsApplyTheirSpeedAndTicksFollowIt) {
    MainFixture f;
    TfrmMain& m = *f.form;
    m.Menus.itmUpdateSpeedHigh->Click();
    f.machine.ClearLog();
    f.ui.Advance(3000);
    EXPECT_EQ(f.machine.Calls(Op::CreateToolhelp32Snapshot), 4);
    m.Menus.itmUpdateSpeedLow->Click();
    f.machine.ClearLog();
    f.ui.Advance(6500);
    EXPECT_EQ(f.machine.Calls(Op::CreateToolhelp32Snapshot), 2);
}

TEST(UpdateSpeeds, RefreshNowWhilePausedTicksOnceAndStartsNothing) {
    MainFixture f;
    TfrmMain& m = *f.form;
    m.Menus.itmUpdateSpeedPaused->Click();
    f.machine.ClearLog();
    f.ui.Advance(10000);
    EXPECT_EQ(f.machine.Calls(Op::CreateToolhelp32Snapshot), 0);

    f.Start("C:\\NOTEPAD.EXE");
    m.Menus.itmRefreshNow->Click();
    EXPECT_EQ(f.machine.Calls(Op::CreateToolhelp32Snapshot), 1);
    EXPECT_EQ(m.sbMain->PanelText(0), "Processes: 5");
    // The tick enabled a timer whose interval is 0: no further ticks.
    EXPECT_TRUE(m.tmrRefresh.Enabled());
    EXPECT_EQ(m.tmrRefresh.Interval(), 0u);
    EXPECT_FALSE(m.ApplicationsList.EnableTimer());
    f.ui.Advance(10000);
    EXPECT_EQ(f.machine.Calls(Op::CreateToolhelp32Snapshot), 1);
}

TEST(FormShow, MarksTheWindowShown) {
    MainFixture f;
    f.form->Show();
    EXPECT_TRUE(f.form->WindowShown);
    EXPECT_TRUE(f.form->Showing());
}

TEST(FormResize, SplitsTheColumnsOfThePerformancePage) {
    MainFixture f;
    TfrmMain& m = *f.form;
    TPerformancePage& p = m.PerformancePage;
    for (int height : {538, 601, 700, 420}) {
        m.SetBounds(m.Left(), m.Top(), 500, height);
        const int column = p.pnlPerfLeft->ClientHeight();
        EXPECT_EQ(p.gbCPUUsage->Height(), column / 2) << height;
        EXPECT_EQ(p.gbMemUsage->Height(), column - column / 2 - 2) << height;
        EXPECT_EQ(p.gbCPUHistory->Height(), column / 2) << height;
        EXPECT_EQ(p.gbMemHistory->Height(), column - column / 2 - 2) << height;
        for (auto [panel, gauge, value] : {std::tuple{p.pnlCPUGauge, p.ggCPUUsage, p.valueCPUUsage},
                                           std::tuple{p.pnlMemGauge, p.ggMemUsage, p.valueMemUsage}}) {
            EXPECT_EQ(gauge->Width(), panel->ClientWidth() - 2 * gauge->Left()) << height;
            EXPECT_EQ(gauge->Height(), panel->ClientHeight() - value->Height() - 2 * gauge->Top()) << height;
        }
    }
}

TEST(FormClose, StopsPollingInOrder) {
    MainFixture f;
    TfrmMain& m = *f.form;
    m.Close();
    ASSERT_EQ(f.machine.SystemParameterCalls.size(), 1u);
    EXPECT_EQ(f.machine.SystemParameterCalls[0].action, 97u);
    EXPECT_FALSE(m.ApplicationsList.EnableTimer());
    EXPECT_FALSE(m.tmrRefresh.Enabled());
    for (TPerfStats* s : {&m.Readers.PerfStatsCPU, &m.Readers.PerfStatsThreads, &m.Readers.PerfStatsVMs,
                          &m.Readers.PerfStatsDiskCache, &m.Readers.PerfStatsCommit}) {
        EXPECT_FALSE(s->AutoTick());
        EXPECT_FALSE(s->ActiveStat());
    }
    EXPECT_TRUE(f.app.Terminated());
    f.machine.ClearLog();
    f.ui.Advance(10000);
    EXPECT_EQ(f.machine.Calls(Op::CreateToolhelp32Snapshot), 0);
}

TEST(FormDestroy, FreesTheRecordsAndTheirIcons) {
    MainFixture f;
    int resourceIcons = 0;
    {
        TfrmMain& m = *f.form;
        EXPECT_EQ(m.ProcessList.Count(), 4);
        // Four process icons and the tray icon's own copy of its picture go; resource icons stay.
        resourceIcons = f.machine.LiveIcons() - 4 - 1;
    }
    f.form.reset();
    EXPECT_EQ(f.machine.LiveIcons(), resourceIcons);
    EXPECT_EQ(f.machine.OpenSnapshots(), 0);
}

TEST(MenuHandlers, ExitClosesTheProgram) {
    MainFixture f;
    f.form->Menus.itmExit->Click();
    EXPECT_TRUE(f.form->Closed());
    EXPECT_TRUE(f.app.Terminated());
}

}  // namespace
}  // namespace taskwell
