// The main window's refresh tick, the tick's steps and the update speeds. The tick runs from
// tmrRefresh: the process records, the memory status, the status bar and the tray icon, then the
// page shown (the Applications page's statuses or the Processes page's rows), the Performance page
// whatever page is shown, the up time and the usage logs.
#include <cstdint>
#include <iterator>

#include "app/Main.h"
#include "ui/TApplication.h"

namespace taskwell {

// ---------------------------------------------------------------------------------------------
// The refresh tick.

void TfrmMain::tmrRefreshTimer() {
    // A tick never runs inside another one (message processing inside a step could start one).
    if (ticking_) return;
    ticking_ = true;
    tmrRefresh.SetEnabled(false);
    try {
        Readings.ProcessCount = ProcessList.Count();
        Readings.MemUsedK = static_cast<LONG>((static_cast<std::int64_t>(SystemInfo.msTotalPhys()) -
                                               static_cast<std::int64_t>(SystemInfo.msAvailPhys())) /
                                              1024);
        UpdateProcesses();
        SystemInfo.RefreshInfo();
        TakeHostCommit();
        UpdateStatusBar();
        UpdateTrayIcon();
        if (pcMain->ActivePage() == tsApplications && WindowState() != TWindowState::wsMinimized &&
            !App().Minimized())
            ApplicationsPage.UpdateTaskStatus();
        if (pcMain->ActivePage() == tsProcesses && Showing()) ProcessPage.RefreshProcessList();
        PerformancePage.UpdatePerformancePage();
        SystemInfoPage.UpdateUpTime();
        PerformancePage.LogUsageHistory();
    } catch (...) {
        // An error ends this tick's remaining steps; the cycle goes on.
    }
    tmrRefresh.SetEnabled(true);
    ticking_ = false;
}

void TfrmMain::LoadProcesses() {
    monitor_->LoadProcesses();
}

void TfrmMain::UpdateProcesses() {
    monitor_->UpdateProcesses();
}

void TfrmMain::TakeHostCommit() {
    if (SystemInfo.msExtended()) Readings.CommittedBytes = SystemInfo.msCommitted();
}

void TfrmMain::UpdateStatusBar() {
    sbMain->SetPanelTexts({Readings.ProcessCount < 0 ? "" : "Processes: " + std::to_string(Readings.ProcessCount),
                           Readings.CPUUsage < 0 ? "" : "CPU Usage: " + std::to_string(Readings.CPUUsage) + "%",
                           Readings.MemUsedK < 0 ? ""
                                        : "Mem Usage: " + std::to_string(Readings.CommittedBytes / 1024) + "K / " +
                                              std::to_string(SystemInfo.msTotalPageFile() / 1024) + "K"});
}

// ---------------------------------------------------------------------------------------------
// Menus.

void TfrmMain::pcMainChange() {
    const TTabSheet* page = pcMain->ActivePage();
    const bool apps = page == tsApplications;
    const bool procs = page == tsProcesses;
    const bool perf = page == tsPerformance;
    Menus.itmShow16bit->SetVisible(procs);
    Menus.itmViewSeparator->SetVisible(apps || procs);
    ApplicationsPage.ShowMenus(apps);
    ProcessPage.ShowMenus(procs);
    PerformancePage.ShowMenus(perf);
}

namespace {
// The intervals of each update speed: the refresh timer (also the window list engine's), then the
// readers in the order CPU, threads, virtual machines, disk cache, commit.
struct SpeedRow {
    TUpdateSpeed speed;
    UINT refresh;
    LONG readers[5];
    TMenuItem* TFrameMenus::*item;
};
constexpr SpeedRow kSpeeds[] = {
    {TUpdateSpeed::High, 750, {750, 1500, 1500, 1500, 750}, &TFrameMenus::itmUpdateSpeedHigh},
    {TUpdateSpeed::Normal, 1750, {1750, 1750, 1750, 1750, 1750}, &TFrameMenus::itmUpdateSpeedNormal},
    {TUpdateSpeed::Low, 3250, {3250, 3250, 3250, 3250, 3250}, &TFrameMenus::itmUpdateSpeedLow},
    {TUpdateSpeed::Paused, 0, {1, 1, 1, 0, 0}, &TFrameMenus::itmUpdateSpeedPaused},
};

const SpeedRow& SpeedOf(TUpdateSpeed speed) {
    for (const SpeedRow& row : kSpeeds)
        if (row.speed == speed) return row;
    return kSpeeds[1];
}
}  // namespace

void TfrmMain::ApplyUpdateSpeed(TUpdateSpeed speed) {
    // Paused first, in full: the refresh timer, the readers and the window list engine stop.
    const SpeedRow& paused = SpeedOf(TUpdateSpeed::Paused);
    tmrRefresh.SetInterval(paused.refresh);
    tmrRefresh.SetEnabled(false);
    for (size_t i = 0; i < std::size(kReaderRows); ++i) {
        (Readers.*kReaderRows[i].reader).SetAutoTick(false);
        (Readers.*kReaderRows[i].reader).SetInterval(static_cast<LONG>(paused.readers[i]));
    }
    ApplicationsList.SetTimerIntval(paused.refresh);
    ApplicationsList.SetEnableTimer(false);
    (Menus.*paused.item)->SetChecked(true);
    UpdateSpeed = TUpdateSpeed::Paused;
    if (speed == TUpdateSpeed::Paused) return;

    // Then the speed's own intervals.
    const SpeedRow& row = SpeedOf(speed);
    tmrRefresh.SetInterval(row.refresh);
    tmrRefresh.SetEnabled(true);
    // The interval before the automatic ticks: each reader then joins the polling thread of its
    // interval at once, without a thread made for the paused interval and stopped again.
    for (size_t i = 0; i < std::size(kReaderRows); ++i) {
        (Readers.*kReaderRows[i].reader).SetInterval(static_cast<LONG>(row.readers[i]));
        (Readers.*kReaderRows[i].reader).SetAutoTick(true);
    }
    ApplicationsList.SetTimerIntval(row.refresh);
    ApplicationsList.SetEnableTimer(true);
    (Menus.*row.item)->SetChecked(true);
    UpdateSpeed = speed;
}

void TfrmMain::itmUpdateSpeedHighClick() { ApplyUpdateSpeed(TUpdateSpeed::High); }
void TfrmMain::itmUpdateSpeedNormalClick() { ApplyUpdateSpeed(TUpdateSpeed::Normal); }
void TfrmMain::itmUpdateSpeedLowClick() { ApplyUpdateSpeed(TUpdateSpeed::Low); }
void TfrmMain::itmUpdateSpeedPausedClick() { ApplyUpdateSpeed(TUpdateSpeed::Paused); }

void TfrmMain::itmRefreshNowClick() {
    tmrRefreshTimer();
}

void TfrmMain::ShowProcess(DWORD processId) {
    UpdateProcesses();
    if (!ProcessPage.SelectProcess(processId)) return;
    pcMain->SetActivePageIndex(pcMain->PageIndexOf(*tsProcesses));
    pcMainChange();
    ProcessPage.RevealSelection();
}

}  // namespace taskwell
