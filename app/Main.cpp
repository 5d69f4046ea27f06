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
      tmrRefresh(app, 2000, false),
      tmrSetTopWindow(app, 150, false),
      Readers(platform.Registry, platform.Threads),
      ApplicationsList(app, platform),
      SystemInfo(platform.System),
      TrayIcon(app, platform.Windows, platform.Shell),
      ApplicationsPage(*this, app, platform),
      ProcessPage(*this, app, platform),
      PerformancePage(*this, app, platform),
      SystemInfoPage(*this, platform),
      platform_(platform),
      imglstPages(app, 16, 16),
      RegistryEnhanced(platform.Registry),
      RePosApp(platform.Registry, *this) {
    Name = "frmMain";
    const TRect design = DesignBounds();
    SetBounds(design.Left, design.Top, design.Width(), design.Height());
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
    SetMenu(&Menus.MainMenu);
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

// Where the window opens, and how large, when no placement is stored: the design bounds on this
// screen.
TRect TfrmMain::DesignBounds() const {
    const int left = Scaled(kDesignLeft), top = Scaled(kDesignTop);
    return TRect{left, top, left + Scaled(kDesignWidth), top + Scaled(kDesignHeight)};
}

TfrmMain::~TfrmMain() {
    FormDestroy();
    // Native windows go before the widgets they mirror.
    Menus.MainMenu.Unrealise();
    Unrealise();
}

// The five readers as the window's layout stores them: inactive, not polled, showing the value
// alone, at 1000 ms; creation starts them and the update speed sets their intervals. The update
// speeds' tables list the readers' intervals in this order.
const TfrmMain::ReaderRow TfrmMain::kReaderRows[kReaderCount] = {
    {&TStatReaders::PerfStatsCPU, "PerfStatsCPU", "KERNEL\\CPUUsage", &TfrmMain::PerfStatsCPUStat},
    {&TStatReaders::PerfStatsThreads, "PerfStatsThreads", "KERNEL\\Threads", &TfrmMain::PerfStatsThreadsStat},
    {&TStatReaders::PerfStatsVMs, "PerfStatsVMs", "KERNEL\\VMs", &TfrmMain::PerfStatsVMsStat},
    {&TStatReaders::PerfStatsDiskCache, "PerfStatsDiskCache", "VMM\\cpgDiskcache", &TfrmMain::PerfStatsDiskCacheStat},
    {&TStatReaders::PerfStatsCommit, "PerfStatsCommit", "VMM\\cpgCommit", &TfrmMain::PerfStatsCommitStat},
};

void TfrmMain::SetUpReaders() {
    for (const ReaderRow& row : kReaderRows) {
        TPerfStats& reader = Readers.*row.reader;
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
    TMenuItem& root = Menus.MainMenu.Items();
    Menus.itmFile = &root.Add("&File");
    Menus.itmNewTask = &Menus.itmFile->Add("&New Task (Run..)");
    Menus.itmNewTask->OnClick = [this] { ApplicationsPage.btnNewTaskClick(); };
    Menus.itmFile->Add("-");
    Menus.itmExit = &Menus.itmFile->Add("E&xit Taskwell");
    Menus.itmExit->OnClick = [this] { itmExitClick(); };

    Menus.itmOptions = &root.Add("&Options");
    Menus.itmAlwaysOnTop = AddCheckItem(*Menus.itmOptions, "&Always On Top", false);
    Menus.itmConfirmations = AddCheckItem(*Menus.itmOptions, "&Confirmations", true);
    Menus.itmShowIconInTray = AddCheckItem(*Menus.itmOptions, "&Show icon in tray", true);
    Menus.itmHideWhenMinimized = AddCheckItem(*Menus.itmOptions, "&Hide When Minimized", true);
    Menus.itmShow16bit = AddCheckItem(*Menus.itmOptions, "&Show 16-bit tasks", true);
    Menus.itmAlwaysOnTop->OnClick = [this] { itmAlwaysOnTopClick(); };
    Menus.itmConfirmations->OnClick = [this] { itmConfirmationsClick(); };
    Menus.itmShowIconInTray->OnClick = [this] { itmShowIconInTrayClick(); };
    Menus.itmHideWhenMinimized->OnClick = [this] { itmHideWhenMinimizedClick(); };
    Menus.itmShow16bit->OnClick = [this] { itmShow16bitClick(); };
    // A stored flag without behaviour; its item is never shown.
    Menus.itmShowKernelTimes = AddCheckItem(*Menus.itmOptions, "&Show Kernel Times", false);
    Menus.itmShowKernelTimes->SetVisible(false);

    Menus.itmView = &root.Add("&View");
    Menus.itmRefreshNow = &Menus.itmView->Add("&Refresh Now");
    Menus.itmRefreshNow->OnClick = [this] { itmRefreshNowClick(); };
    Menus.itmUpdateSpeed = &Menus.itmView->Add("&Update Speed");
    Menus.itmUpdateSpeedHigh = AddRadioItem(*Menus.itmUpdateSpeed, "&High", kSpeedGroup, false);
    Menus.itmUpdateSpeedNormal = AddRadioItem(*Menus.itmUpdateSpeed, "&Normal", kSpeedGroup, true);
    Menus.itmUpdateSpeedLow = AddRadioItem(*Menus.itmUpdateSpeed, "&Low", kSpeedGroup, false);
    Menus.itmUpdateSpeedPaused = AddRadioItem(*Menus.itmUpdateSpeed, "&Paused", kSpeedGroup, false);
    Menus.itmUpdateSpeedHigh->OnClick = [this] { itmUpdateSpeedHighClick(); };
    Menus.itmUpdateSpeedNormal->OnClick = [this] { itmUpdateSpeedNormalClick(); };
    Menus.itmUpdateSpeedLow->OnClick = [this] { itmUpdateSpeedLowClick(); };
    Menus.itmUpdateSpeedPaused->OnClick = [this] { itmUpdateSpeedPausedClick(); };
    Menus.itmViewSeparator = &Menus.itmView->Add("-");
    ApplicationsPage.BuildViewMenu(*Menus.itmView);
    ProcessPage.BuildMenu(*Menus.itmView);

    PerformancePage.BuildMenu(root);
    ApplicationsPage.BuildWindowsMenu(root);

    Menus.itmTools = &root.Add("&Tools");
    Menus.itmToolsUpdate = &Menus.itmTools->Add("&Update Taskwell 98");
    Menus.itmToolsUpdate->OnClick = [this] { itmToolsUpdateClick(); };

    Menus.itmHelp = &root.Add("&Help");
    Menus.itmHelpTopics = &Menus.itmHelp->Add("Orvex Taskwell &Help Topics");
    Menus.itmHelpTopics->OnClick = [this] { itmHelpTopicsClick(); };
    Menus.itmHelp->Add("-");
    Menus.itmAbout = &Menus.itmHelp->Add("&About Orvex Taskwell 98");
    Menus.itmAbout->OnClick = [this] { itmAboutClick(); };

    Menus.popTray.Name = "popTray";
    Menus.itmPopRestore = &Menus.popTray.Items().Add("&Restore Orvex Taskwell");
    Menus.itmPopRestore->SetDefault(true);
    Menus.itmPopClose = &Menus.popTray.Items().Add("&Close Orvex Taskwell");
    Menus.popTray.Items().Add("-");
    Menus.itmPopAlwaysOnTop = AddCheckItem(Menus.popTray.Items(), "&Always on Top", false);
    Menus.itmPopRestore->OnClick = [this] { itmPopRestoreTaskwellClick(); };
    Menus.itmPopClose->OnClick = [this] { itmExitClick(); };
    Menus.itmPopAlwaysOnTop->OnClick = [this] { itmAlwaysOnTopClick(); };
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
    setAll(Menus.MainMenu.Items(), 60, setAll);
    setAll(Menus.popTray.Items(), 130, setAll);
}

void TfrmMain::BuildPages() {
    imglstPages.Name = "imglstPages";
    // Each picture is loaded as an icon of the program's own (a private copy of the module's
    // resource) and stays while its image does; FreePageIcons destroys them with the window.
    for (const char* name : {"PAGE_APPS", "PAGE_PROCS", "PAGE_PERF", "PAGE_SYSINFO"}) {
        TIcon picture;
        LoadIconResource(platform_.Shell, picture, name);
        if (imglstPages.AddIcon(picture.Handle()) < 0 && !picture.Empty())
            DestroyIconQuietly(platform_.Shell, picture.Handle());
    }

    sbMain = &Add<TStatusBar>();
    sbMain->Name = "sbMain";
    sbMain->SetHeight(Scaled(TStatusBar::kDesignHeight));
    sbMain->AddPanel(Scaled(100), "Processes: 0");
    sbMain->AddPanel(Scaled(105), "CPU Usage: 0%");
    sbMain->AddPanel(Scaled(200), "Mem Usage: 0K / 0K");
    sbMain->AddPanel(Scaled(50), "");

    pnlMain = &Add<TPanel>();
    pnlMain->Name = "pnlMain";
    pnlMain->Padding = TRect{Scaled(kPageMargin), Scaled(2), Scaled(kPageMargin), Scaled(kPageMargin)};
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
        Readers.PerfStatsCPU.SetAutoTick(true);
        Readers.PerfStatsCPU.SetActiveStat(true);
    });
    WaitWithMessages(platform_.System, App(), 350);
    for (TPerfStats* s :
         {&Readers.PerfStatsThreads, &Readers.PerfStatsVMs, &Readers.PerfStatsCommit, &Readers.PerfStatsDiskCache}) {
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
    step([&] { Readers.PerfStatsCPU.SetInterval(750); });
    WaitWithMessages(platform_.System, App(), 350);
    step([&] {
        for (TPerfStats* s :
             {&Readers.PerfStatsThreads, &Readers.PerfStatsVMs, &Readers.PerfStatsDiskCache, &Readers.PerfStatsCommit})
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
    step([&] { ApplicationsPage.UpdateTaskStatus(); });
    step([&] { ProcessPage.RefreshProcessList(); });
    step([&] { PerformancePage.UpdatePerformancePage(); });
    step([&] { SystemInfoPage.UpdateSystemInfoPage(); });
    step([&] { SystemInfoPage.UpdateUpTime(); });
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
    for (TPerfStats* s : {&Readers.PerfStatsCPU, &Readers.PerfStatsThreads, &Readers.PerfStatsVMs,
                          &Readers.PerfStatsDiskCache, &Readers.PerfStatsCommit})
        step([&] { s->SetAutoTick(false); });
    for (TPerfStats* s : {&Readers.PerfStatsCPU, &Readers.PerfStatsThreads, &Readers.PerfStatsVMs,
                          &Readers.PerfStatsDiskCache, &Readers.PerfStatsCommit})
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
    if (monitor_) monitor_->FreeRecords();
    ApplicationsPage.FreeRecords();
    FreePageIcons();
    FreeLevelPictures();
}

void TfrmMain::FreePageIcons() {
    for (int i = 0; i < imglstPages.Count(); ++i) DestroyIconQuietly(platform_.Shell, imglstPages.Icon(i));
}

void TfrmMain::itmExitClick() {
    Close();
}

bool TfrmMain::Confirmations() const {
    return Menus.itmConfirmations->Checked();
}

bool TfrmMain::Show16bit() const {
    return Menus.itmShow16bit->Checked();
}

}  // namespace taskwell
