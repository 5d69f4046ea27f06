#include "app/Main.h"

#include <cstdint>
#include <functional>
#include <iterator>

#include "app/MiscUtils.h"
#include "app/PathUtils.h"
#include "ui/TApplication.h"
#include "ui/TIcon.h"

namespace taskwell {

namespace {

constexpr int kPageMargin = 7;

constexpr int kSpeedGroup = 1;

}  // namespace

TfrmMain::TfrmMain(TApplication& app, const Platform& platform)
    : TForm(app),
      imglstPages(app, 16, 16),
      RegistryEnhanced(platform.Registry),
      RePosApp(platform.Registry, *this),
      tmrRefresh(app, 2000, false),
      tmrSetTopWindow(app, 150, false),
      StatsThreads(platform.Threads),
      PerfStatsCPU(platform.Registry, StatsThreads),
      PerfStatsThreads(platform.Registry, StatsThreads),
      PerfStatsVMs(platform.Registry, StatsThreads),
      PerfStatsDiskCache(platform.Registry, StatsThreads),
      PerfStatsCommit(platform.Registry, StatsThreads),
      ApplicationsList(app, platform),
      SystemInfo(platform.System),
      TrayIcon(app, platform.Windows, platform.Shell),
      ApplicationsPage(*this, app, platform),
      ProcessPage(*this, app, platform),
      PerformancePage(*this, app, platform),
      SystemInfoPage(*this, platform),
      platform_(platform) {
    Name = "frmMain";
    SetBounds(kDesignLeft, kDesignTop, kDesignWidth, kDesignHeight);
    tmrRefresh.Name = "tmrRefresh";
    tmrRefresh.OnTimer = [this] { tmrRefreshTimer(); };
    tmrSetTopWindow.Name = "tmrSetTopWindow";
    SetUpReaders();
    ApplicationsList.Name = "ApplicationsList";
    ApplicationsList.SetTimerIntval(1000);
    ApplicationsList.OnChanged = [this] { ApplicationsPage.ApplicationsListChanged(); };

    // The window exists from the start, as the handlers of creation need it (z-order, placement).
    Realise();
    BuildMenu();
    SetMenu(&MainMenu);
    BuildPages();
    SetHelpContexts();
    ConnectTray();
    App().OnHelp = [this](int topic) { ShowHelpTopic(topic); };
    monitor_ = std::make_unique<TProcessMonitor>(platform_, ProcessList, ProcessPage.imglstProcSmallIcon,
                                                 ProcessPage.imglstProcLargeIcon, *ProcessPage.sagProcesses,
                                                 Readings.ProcessCount);

    OnShow = [this] { FormShow(); };
    OnResize = [this] { FormResize(); };
    OnCloseQuery = [this] { return FormCloseQuery(); };
    OnClose = [this] { FormClose(); };
    FormResize();

    // The main window from the start, so that a close during creation ends the program.
    if (!App().MainForm) App().MainForm = this;
    FormCreate();
    // A close that came during creation: now that everything is set up, it is carried out (the
    // settings are saved once, and the program ends).
    if (closeRequested_ && !refused_) Close();
}

TfrmMain::~TfrmMain() {
    FormDestroy();
    // Native windows go before the widgets they mirror.
    MainMenu.Unrealise();
    Unrealise();
}

namespace {
// The five readers as the window's layout stores them: inactive, not polled, showing the value
// alone, at 1000 ms; creation starts them and the update speed sets their intervals. The update
// speeds' tables list the readers' intervals in this order.
struct ReaderRow {
    TPerfStats TfrmMain::*reader;
    const char* name;
    const char* keyName;
    void (TfrmMain::*handler)(TCustomPerfStats&, LONG);
};
constexpr ReaderRow kReaderRows[] = {
    {&TfrmMain::PerfStatsCPU, "PerfStatsCPU", "KERNEL\\CPUUsage", &TfrmMain::PerfStatsCPUStat},
    {&TfrmMain::PerfStatsThreads, "PerfStatsThreads", "KERNEL\\Threads", &TfrmMain::PerfStatsThreadsStat},
    {&TfrmMain::PerfStatsVMs, "PerfStatsVMs", "KERNEL\\VMs", &TfrmMain::PerfStatsVMsStat},
    {&TfrmMain::PerfStatsDiskCache, "PerfStatsDiskCache", "VMM\\cpgDiskcache", &TfrmMain::PerfStatsDiskCacheStat},
    {&TfrmMain::PerfStatsCommit, "PerfStatsCommit", "VMM\\cpgCommit", &TfrmMain::PerfStatsCommitStat},
};
}  // namespace

void TfrmMain::SetUpReaders() {
    for (const ReaderRow& row : kReaderRows) {
        TPerfStats& reader = this->*row.reader;
        reader.Name = row.name;
        reader.BeginLoading();
        reader.SetKeyName(row.keyName);
        reader.SetActiveStat(false);
        reader.SetAutoTick(false);
        reader.SetDisplayElements({TPerfElement::tpeStatValue});
        reader.SetInterval(1000);
        auto handler = [this, h = row.handler](TCustomPerfStats& sender, LONG value) { (this->*h)(sender, value); };
        reader.OnStat = handler;
        reader.OnStatChange = handler;
        reader.EndLoading();
    }
}

void TfrmMain::PerfStatsCPUStat(TCustomPerfStats&, LONG value) {
    Readings.CPUUsage = value;
}

void TfrmMain::PerfStatsThreadsStat(TCustomPerfStats&, LONG value) {
    Readings.ThreadCount = value;
}

void TfrmMain::PerfStatsVMsStat(TCustomPerfStats&, LONG value) {
    Readings.VMCount = value;
}

// The two memory statistics are byte counts of 4 bytes, unsigned. Committed memory is taken from
// its statistic only where the host has no extended memory status (TakeHostCommit).
void TfrmMain::PerfStatsDiskCacheStat(TCustomPerfStats&, LONG value) {
    Readings.DiskCacheBytes = static_cast<DWORD>(value);
}

void TfrmMain::PerfStatsCommitStat(TCustomPerfStats&, LONG value) {
    if (!SystemInfo.msExtended()) Readings.CommittedBytes = static_cast<DWORD>(value);
}

std::string TfrmMain::ProgramDirectory() const {
    return ExtractFilePath(platform_.System.GetModuleFileNameA());
}

void TfrmMain::BuildMenu() {
    TMenuItem& root = MainMenu.Items();
    itmFile = &root.Add("&File");
    itmNewTask = &itmFile->Add("&New Task (Run..)");
    itmNewTask->OnClick = [this] { ApplicationsPage.btnNewTaskClick(); };
    itmFile->Add("-");
    itmExit = &itmFile->Add("E&xit Taskwell");
    itmExit->OnClick = [this] { itmExitClick(); };

    itmOptions = &root.Add("&Options");
    itmAlwaysOnTop = AddCheckItem(*itmOptions, "&Always On Top", false);
    itmConfirmations = AddCheckItem(*itmOptions, "&Confirmations", true);
    itmShowIconInTray = AddCheckItem(*itmOptions, "&Show icon in tray", true);
    itmHideWhenMinimized = AddCheckItem(*itmOptions, "&Hide When Minimized", true);
    itmShow16bit = AddCheckItem(*itmOptions, "&Show 16-bit tasks", true);
    itmAlwaysOnTop->OnClick = [this] { itmAlwaysOnTopClick(); };
    itmConfirmations->OnClick = [this] { itmConfirmationsClick(); };
    itmShowIconInTray->OnClick = [this] { itmShowIconInTrayClick(); };
    itmHideWhenMinimized->OnClick = [this] { itmHideWhenMinimizedClick(); };
    itmShow16bit->OnClick = [this] { itmShow16bitClick(); };
    // A stored flag without behaviour; its item is never shown.
    itmShowKernelTimes = AddCheckItem(*itmOptions, "&Show Kernel Times", false);
    itmShowKernelTimes->SetVisible(false);

    itmView = &root.Add("&View");
    itmRefreshNow = &itmView->Add("&Refresh Now");
    itmRefreshNow->OnClick = [this] { itmRefreshNowClick(); };
    itmUpdateSpeed = &itmView->Add("&Update Speed");
    itmUpdateSpeedHigh = AddRadioItem(*itmUpdateSpeed, "&High", kSpeedGroup, false);
    itmUpdateSpeedNormal = AddRadioItem(*itmUpdateSpeed, "&Normal", kSpeedGroup, true);
    itmUpdateSpeedLow = AddRadioItem(*itmUpdateSpeed, "&Low", kSpeedGroup, false);
    itmUpdateSpeedPaused = AddRadioItem(*itmUpdateSpeed, "&Paused", kSpeedGroup, false);
    itmUpdateSpeedHigh->OnClick = [this] { itmUpdateSpeedHighClick(); };
    itmUpdateSpeedNormal->OnClick = [this] { itmUpdateSpeedNormalClick(); };
    itmUpdateSpeedLow->OnClick = [this] { itmUpdateSpeedLowClick(); };
    itmUpdateSpeedPaused->OnClick = [this] { itmUpdateSpeedPausedClick(); };
    itmViewSeparator = &itmView->Add("-");
    ApplicationsPage.BuildViewMenu(*itmView);
    ProcessPage.BuildMenu(*itmView);

    PerformancePage.BuildMenu(root);
    ApplicationsPage.BuildWindowsMenu(root);

    itmTools = &root.Add("&Tools");
    itmToolsUpdate = &itmTools->Add("&Update Taskwell 98");
    itmToolsUpdate->OnClick = [this] { itmToolsUpdateClick(); };

    itmHelp = &root.Add("&Help");
    itmHelpTopics = &itmHelp->Add("Orvex Taskwell &Help Topics");
    itmHelpTopics->OnClick = [this] { itmHelpTopicsClick(); };
    itmHelp->Add("-");
    itmAbout = &itmHelp->Add("&About Orvex Taskwell 98");
    itmAbout->OnClick = [this] { itmAboutClick(); };

    popTray.Name = "popTray";
    itmPopRestore = &popTray.Items().Add("&Restore Orvex Taskwell");
    itmPopRestore->SetDefault(true);
    itmPopClose = &popTray.Items().Add("&Close Orvex Taskwell");
    popTray.Items().Add("-");
    itmPopAlwaysOnTop = AddCheckItem(popTray.Items(), "&Always on Top", false);
    itmPopRestore->OnClick = [this] { itmPopRestoreTaskwellClick(); };
    itmPopClose->OnClick = [this] { itmExitClick(); };
    itmPopAlwaysOnTop->OnClick = [this] { itmAlwaysOnTopClick(); };
}

// Help topics of the window's elements; F1 on an element opens the topic of the nearest one.
void TfrmMain::SetHelpContexts() {
    HelpContext = 10;
    tsApplications->HelpContext = 20;
    tsProcesses->HelpContext = 30;
    tsPerformance->HelpContext = 40;
    tsSystemInfo->HelpContext = 50;
    auto setAll = [](TMenuItem& parent, int topic, auto& self) -> void {
        for (int i = 0; i < parent.Count(); ++i) {
            parent[i].HelpContext = topic;
            self(parent[i], topic, self);
        }
    };
    setAll(MainMenu.Items(), 60, setAll);
    setAll(popTray.Items(), 130, setAll);
}

void TfrmMain::BuildPages() {
    imglstPages.Name = "imglstPages";
    // Each picture is loaded as an icon of the program's own (a private copy of the module's
    // resource) and stays while its image does; FreePageIcons destroys them with the window.
    for (const char* name : {"PAGE_APPS", "PAGE_PROCS", "PAGE_PERF", "PAGE_SYSINFO"}) {
        TIcon picture;
        LoadIconResource(platform_.Shell, picture, name);
        if (imglstPages.AddIcon(picture.Handle()) < 0 && !picture.Empty()) DestroyIconQuietly(platform_.Shell, picture.Handle());
    }

    sbMain = &Add<TStatusBar>();
    sbMain->Name = "sbMain";
    sbMain->AddPanel(100, "Processes: 0");
    sbMain->AddPanel(105, "CPU Usage: 0%");
    sbMain->AddPanel(200, "Mem Usage: 0K / 0K");
    sbMain->AddPanel(50, "");

    pnlMain = &Add<TPanel>();
    pnlMain->Name = "pnlMain";
    pnlMain->Padding = TRect{kPageMargin, 2, kPageMargin, kPageMargin};
    pnlMain->SetAlign(TAlign::alClient);

    pcMain = &pnlMain->Add<TPageControl>();
    pcMain->Name = "pcMain";
    pcMain->SetAlign(TAlign::alClient);
    pcMain->SetImages(&imglstPages);
    tsApplications = &pcMain->AddPage("Applications", 0);
    tsApplications->Name = "tsApplications";
    tsProcesses = &pcMain->AddPage("Processes", 1);
    tsProcesses->Name = "tsProcesses";
    tsPerformance = &pcMain->AddPage("Performance", 2);
    tsPerformance->Name = "tsPerformance";
    tsSystemInfo = &pcMain->AddPage("System Info", 3);
    tsSystemInfo->Name = "tsSystemInfo";
    pcMain->OnChange = [this] { pcMainChange(); };

    ApplicationsPage.Build(*tsApplications);

    ProcessPage.Build(*tsProcesses);

    PerformancePage.Build(*tsPerformance);
    SystemInfoPage.Build(*tsSystemInfo);
}

// ---------------------------------------------------------------------------------------------
// Creation, showing, resizing, closing, destruction.

void TfrmMain::FormCreate() {
    // 1.
    SetCaption(App().Title());
    TrayIcon.SetActive(false);
    WindowShown = false;
    // 2. Refuse Windows NT here as well, before anything else is started.
    if (IsWindowsNT(platform_.System)) {
        ShowMessageBox(platform_.Ui, App().Title(), "This application does not run on Windows NT");
        refused_ = true;
        App().Terminate();
        return;
    }
    // From here on an error in a step is shown and creation goes on with the next step; a close
    // asked for meanwhile (messages are handled during the waits) waits for creation's end.
    creating_ = true;
    auto step = [this](const std::function<void()>& run) { App().Guarded(run); };
    // 3. Time stamps of the usage logs are written as yyyy/mm/dd and HH:mm:ss, with the locale's
    // separators.
    step([&] {
        FormatSettings = TFormatSettings{};
        FormatSettings.ReadLocale(platform_.System);
    });
    // 4.
    step([&] {
        PerformancePage.SetDefaultLogFiles();
    });
    // 5.
    PerformancePage.ResetHistories();
    // 6.
    step([&] { LoadSettings(); });
    // 7.
    step([&] { ProcessPage.SetupProcessColumns(); });
    // 8.
    step([&] {
        ProcessList.Clear();
        LoadProcesses();
    });
    // 9.
    step([&] {
        LoadActivePage();
        pcMainChange();
    });
    // 10.
    step([&] {
        PerfStatsCPU.SetAutoTick(true);
        PerfStatsCPU.SetActiveStat(true);
    });
    WaitWithMessages(platform_.System, App(), 350);
    for (TPerfStats* s : {&PerfStatsThreads, &PerfStatsVMs, &PerfStatsCommit, &PerfStatsDiskCache}) {
        step([&] {
            s->SetAutoTick(true);
            s->SetActiveStat(true);
        });
    }
    // 11.
    tmrRefresh.SetInterval(750);
    tmrRefresh.SetEnabled(true);
    tmrRefreshTimer();
    // 12.
    step([&] { PerfStatsCPU.SetInterval(750); });
    WaitWithMessages(platform_.System, App(), 350);
    step([&] {
        for (TPerfStats* s : {&PerfStatsThreads, &PerfStatsVMs, &PerfStatsDiskCache, &PerfStatsCommit})
            s->SetInterval(1500);
    });
    // 13.
    step([&] {
        ApplicationsList.Refresh();
        ApplicationsPage.ApplicationsListChanged();
        ApplicationsList.SetTimerIntval(750);
        ApplicationsList.SetEnableTimer(true);
    });
    // 14.
    step([&] { LoadUpdateSpeed(); });
    // 15.
    step([&] { UpdateStatusBar(); });
    step([&] { UpdateTrayIcon(); });
    step([&] { UpdateTaskStatus(); });
    step([&] { RefreshProcessList(); });
    step([&] { UpdatePerformancePage(); });
    step([&] { UpdateSystemInfoPage(); });
    step([&] { UpdateUpTime(); });
    // 16.
    step([&] { LoadAppPosition(); });
    // 17.
    step([&] { InstallMinimizeHook(); });
    creating_ = false;
}

bool TfrmMain::FormCloseQuery() {
    if (!creating_) return true;
    closeRequested_ = true;
    return false;
}

void TfrmMain::FormShow() {
    WindowShown = true;
}

void TfrmMain::FormResize() {
    try {
        PerformancePage.Layout();
    } catch (...) {
        // A failed re-layout leaves the page as it was.
    }
}

void TfrmMain::FormClose() {
    // Every step runs whatever the ones before it met: a system call that fails while the polling
    // stops must not cost the saving of the settings (which reports its own refusals). Nothing else
    // is shown; the program is ending.
    auto step = [](const std::function<void()>& run) { RunQuietly(run); };
    // 1.
    step([&] { ResetScreenSaverFlag(platform_.System); });
    // 2.
    step([&] { ApplicationsList.SetEnableTimer(false); });
    tmrRefresh.SetEnabled(false);
    // 3.
    for (TPerfStats* s : {&PerfStatsCPU, &PerfStatsThreads, &PerfStatsVMs, &PerfStatsDiskCache, &PerfStatsCommit})
        step([&] { s->SetAutoTick(false); });
    for (TPerfStats* s : {&PerfStatsCPU, &PerfStatsThreads, &PerfStatsVMs, &PerfStatsDiskCache, &PerfStatsCommit})
        step([&] { s->SetActiveStat(false); });
    // 4.
    step([&] { SaveAppPosition(); });
    step([&] { SaveSettings(); });
}

void TfrmMain::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    // Nothing may run any more while the last placement is saved and a refusal shown: no tick, no
    // tray menu (its icon goes), no bring-to-front. The refusal is shown before the teardown.
    tmrRefresh.SetEnabled(false);
    tmrSetTopWindow.SetEnabled(false);
    ApplicationsList.SetEnableTimer(false);
    try {
        TrayIcon.SetActive(false);
    } catch (...) {
    }
    SaveAppPosition();
    FreeProcessRecords();
    ApplicationsPage.FreeRecords();
    FreePageIcons();
}

void TfrmMain::FreePageIcons() {
    for (int i = 0; i < imglstPages.Count(); ++i) DestroyIconQuietly(platform_.Shell, imglstPages.Icon(i));
}

void TfrmMain::FreeProcessRecords() {
    for (int i = 0; i < ProcessList.Count(); ++i) {
        // ExtractIconA answers 1 for a file that is no executable: no icon to give back.
        const HICON icon = ProcessList.Record(i).Icon;
        if (icon != 1) DestroyIconQuietly(platform_.Shell, icon);
    }
    ProcessList.Clear();
}

// ---------------------------------------------------------------------------------------------
// The refresh tick.

void TfrmMain::tmrRefreshTimer() {
    // A tick never runs inside another one (message processing inside a step could start one).
    if (ticking_) return;
    ticking_ = true;
    tmrRefresh.SetEnabled(false);
    try {
        Readings.ProcessCount = ProcessList.Count();
        Readings.MemUsedK = static_cast<LONG>(
            (static_cast<std::int64_t>(SystemInfo.msTotalPhys()) - static_cast<std::int64_t>(SystemInfo.msAvailPhys())) /
            1024);
        UpdateProcesses();
        SystemInfo.RefreshInfo();
        TakeHostCommit();
        UpdateStatusBar();
        UpdateTrayIcon();
        if (pcMain->ActivePage() == tsApplications && WindowState() != TWindowState::wsMinimized &&
            !App().Minimized())
            UpdateTaskStatus();
        if (pcMain->ActivePage() == tsProcesses && Showing()) RefreshProcessList();
        UpdatePerformancePage();
        UpdateUpTime();
        LogUsageHistory();
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

void TfrmMain::RefreshProcessList() {
    ProcessPage.RefreshProcessList();
}

void TfrmMain::UpdatePerformancePage() {
    PerformancePage.UpdatePerformancePage();
}

void TfrmMain::UpdateSystemInfoPage() {
    SystemInfoPage.UpdateSystemInfoPage();
}

void TfrmMain::UpdateUpTime() {
    SystemInfoPage.UpdateUpTime();
}

void TfrmMain::LogUsageHistory() {
    PerformancePage.LogUsageHistory();
}

void TfrmMain::UpdateTaskStatus() {
    ApplicationsPage.UpdateTaskStatus();
}

// ---------------------------------------------------------------------------------------------
// Menus.

void TfrmMain::pcMainChange() {
    const TTabSheet* page = pcMain->ActivePage();
    const bool apps = page == tsApplications;
    const bool procs = page == tsProcesses;
    const bool perf = page == tsPerformance;
    itmShow16bit->SetVisible(procs);
    itmViewSeparator->SetVisible(apps || procs);
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
    TMenuItem* TfrmMain::*item;
};
constexpr SpeedRow kSpeeds[] = {
    {TUpdateSpeed::High, 750, {750, 1500, 1500, 1500, 750}, &TfrmMain::itmUpdateSpeedHigh},
    {TUpdateSpeed::Normal, 1750, {1750, 1750, 1750, 1750, 1750}, &TfrmMain::itmUpdateSpeedNormal},
    {TUpdateSpeed::Low, 3250, {3250, 3250, 3250, 3250, 3250}, &TfrmMain::itmUpdateSpeedLow},
    {TUpdateSpeed::Paused, 0, {1, 1, 1, 0, 0}, &TfrmMain::itmUpdateSpeedPaused},
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
        (this->*kReaderRows[i].reader).SetAutoTick(false);
        (this->*kReaderRows[i].reader).SetInterval(static_cast<LONG>(paused.readers[i]));
    }
    ApplicationsList.SetTimerIntval(paused.refresh);
    ApplicationsList.SetEnableTimer(false);
    (this->*paused.item)->SetChecked(true);
    UpdateSpeed = TUpdateSpeed::Paused;
    if (speed == TUpdateSpeed::Paused) return;

    // Then the speed's own intervals.
    const SpeedRow& row = SpeedOf(speed);
    tmrRefresh.SetInterval(row.refresh);
    tmrRefresh.SetEnabled(true);
    // The interval before the automatic ticks: each reader then joins the polling thread of its
    // interval at once, without a thread made for the paused interval and stopped again.
    for (size_t i = 0; i < std::size(kReaderRows); ++i) {
        (this->*kReaderRows[i].reader).SetInterval(static_cast<LONG>(row.readers[i]));
        (this->*kReaderRows[i].reader).SetAutoTick(true);
    }
    ApplicationsList.SetTimerIntval(row.refresh);
    ApplicationsList.SetEnableTimer(true);
    (this->*row.item)->SetChecked(true);
    UpdateSpeed = speed;
}

void TfrmMain::itmUpdateSpeedHighClick() { ApplyUpdateSpeed(TUpdateSpeed::High); }
void TfrmMain::itmUpdateSpeedNormalClick() { ApplyUpdateSpeed(TUpdateSpeed::Normal); }
void TfrmMain::itmUpdateSpeedLowClick() { ApplyUpdateSpeed(TUpdateSpeed::Low); }
void TfrmMain::itmUpdateSpeedPausedClick() { ApplyUpdateSpeed(TUpdateSpeed::Paused); }

void TfrmMain::itmRefreshNowClick() {
    tmrRefreshTimer();
}

void TfrmMain::itmExitClick() {
    Close();
}

bool TfrmMain::Confirmations() const {
    return itmConfirmations->Checked();
}

bool TfrmMain::Show16bit() const {
    return itmShow16bit->Checked();
}

void TfrmMain::ShowProcess(DWORD processId) {
    UpdateProcesses();
    if (!ProcessPage.SelectProcess(processId)) return;
    pcMain->SetActivePageIndex(pcMain->PageIndexOf(*tsProcesses));
    pcMainChange();
    ProcessPage.RevealSelection();
}

}  // namespace taskwell
