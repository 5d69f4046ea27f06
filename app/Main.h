// The main window TfrmMain: owns the pages, the lists, the status bar, the timers, the statistics
// readers, the window list engine and the process records, and runs the refresh cycle that keeps
// every page current. Created once at start-up, destroyed at exit.
#pragma once

#include <memory>
#include <string>

#include "components/TPerfStats.h"
#include "components/TRePosApp.h"
#include "components/TRegistryEnhanced.h"
#include "components/TSysInfoComp.h"
#include "components/TTrayIcon.h"
#include "components/TUpStatsThread.h"
#include "components/TWinList.h"
#include "app/DateTimeFormat.h"
#include "app/PageFrame.h"
#include "performance/PerformancePage.h"
#include "platform/Platform.h"
#include "process/ProcessList.h"
#include "process/ProcessMonitor.h"
#include "process/ProcessPage.h"
#include "sysinfo/SystemInfoPage.h"
#include "tasks/ApplicationsPage.h"
#include "ui/StdCtrls.h"
#include "ui/TForm.h"
#include "ui/TImageList.h"
#include "ui/TListView.h"
#include "ui/TMenu.h"
#include "ui/TPageControl.h"
#include "ui/TStatusBar.h"
#include "ui/TTimer.h"

namespace taskwell {

enum class TUpdateSpeed { High, Normal, Low, Paused };

class TfrmMain : public TForm, public TPageFrame {
public:
    // Builds the window and runs FormCreate. When creation refuses to go on (Windows NT), the
    // application is terminated and Refused() is true.
    TfrmMain(TApplication& app, const Platform& platform);
    ~TfrmMain() override;

    bool Refused() const { return refused_; }

    // The window's design bounds: where it opens when no placement is stored.
    static constexpr int kDesignLeft = 259;
    static constexpr int kDesignTop = 137;
    static constexpr int kDesignWidth = 444;
    static constexpr int kDesignHeight = 538;

    // Handlers (named after the component and the event).
    void FormCreate();
    void FormShow();
    void FormResize();
    // A close asked for during creation is held until creation is done.
    bool FormCloseQuery();
    void FormClose();
    void FormDestroy();
    void tmrRefreshTimer();
    void pcMainChange();
    void itmUpdateSpeedHighClick();
    void itmUpdateSpeedNormalClick();
    void itmUpdateSpeedLowClick();
    void itmUpdateSpeedPausedClick();
    void itmRefreshNowClick();
    void itmExitClick();

    // Options and view menus, help, About and the updater (MainMenus.cpp).
    void itmAlwaysOnTopClick();
    void ApplyAlwaysOnTop();
    void itmConfirmationsClick();
    void itmShowIconInTrayClick();
    void itmHideWhenMinimizedClick();
    void itmShow16bitClick();
    void itmToolsUpdateClick();
    void itmHelpTopicsClick();
    void itmAboutClick();
    // Opens the help file at the topic, or says that help is not available.
    void ShowHelpTopic(int topic);

    // Settings store (MainSettings.cpp).
    void LoadSettings();
    void LoadActivePage();
    void LoadUpdateSpeed();
    void SaveSettings();
    void LoadAppPosition();
    void SaveAppPosition();

    // Tray icon, minimise hook and restore (MainTray.cpp).
    void InstallMinimizeHook();
    void FormMinimize();
    void itmPopRestoreTaskwellClick();
    void tmrSetTopWindowTimer();
    // Adds the tray icon when shown is true, removes it otherwise ("&Show icon in tray").
    void SetTrayIconShown(bool shown);
    void ConnectTray();

    // Steps of the refresh tick.
    void LoadProcesses();
    void UpdateProcesses();
    // Committed memory from the extended memory status, where SystemInfo read one.
    void TakeHostCommit();
    void UpdateStatusBar();
    void UpdateTrayIcon();
    void UpdateTaskStatus();
    void RefreshProcessList();
    void UpdatePerformancePage();
    void UpdateSystemInfoPage();
    void UpdateUpTime();
    void LogUsageHistory();

    // Main window state shared by the pages.
    taskwell::ProcessList ProcessList;
    TSharedReadings Readings;
    bool WindowShown = false;
    TUpdateSpeed UpdateSpeed = TUpdateSpeed::Normal;

    // The program directory: the executable's directory, ending in a backslash.
    std::string ProgramDirectory() const override;

    // Menu bar.
    TMainMenu MainMenu;
    TMenuItem* itmFile;
    TMenuItem* itmNewTask;
    TMenuItem* itmExit;
    TMenuItem* itmOptions;
    TMenuItem* itmAlwaysOnTop;
    TMenuItem* itmConfirmations;
    TMenuItem* itmShowIconInTray;
    TMenuItem* itmHideWhenMinimized;
    TMenuItem* itmShow16bit;
    TMenuItem* itmShowKernelTimes;
    TMenuItem* itmView;
    TMenuItem* itmRefreshNow;
    TMenuItem* itmUpdateSpeed;
    TMenuItem* itmUpdateSpeedHigh;
    TMenuItem* itmUpdateSpeedNormal;
    TMenuItem* itmUpdateSpeedLow;
    TMenuItem* itmUpdateSpeedPaused;
    TMenuItem* itmViewSeparator;
    TMenuItem* itmTools;
    TMenuItem* itmToolsUpdate;
    TMenuItem* itmHelp;
    TMenuItem* itmHelpTopics;
    TMenuItem* itmAbout;

    // The tray icon's popup menu.
    TPopupMenu popTray;
    TMenuItem* itmPopRestore;
    TMenuItem* itmPopClose;
    TMenuItem* itmPopAlwaysOnTop;

    // Frame and pages.
    TImageList imglstPages;
    TPanel* pnlMain;
    TPageControl* pcMain;
    TTabSheet* tsApplications;
    TTabSheet* tsProcesses;
    TTabSheet* tsPerformance;
    TTabSheet* tsSystemInfo;
    TStatusBar* sbMain;

    // Non-visual members.
    // Settings store.
    TRegistryEnhanced RegistryEnhanced;
    TRePosApp RePosApp;
    // The first refused write of this shutdown, until it has been shown; then SaveErrorShown.
    std::string PendingSaveError;
    bool SaveErrorShown = false;
    TTimer tmrRefresh;
    TTimer tmrSetTopWindow;
    // The statistics' polling threads; made before the readers and gone after them, so every thread
    // has ended before the readers it ticks go.
    TStatsThreads StatsThreads;
    TPerfStats PerfStatsCPU;
    TPerfStats PerfStatsThreads;
    TPerfStats PerfStatsVMs;
    TPerfStats PerfStatsDiskCache;
    TPerfStats PerfStatsCommit;
    // The readers' handlers (on OnStat and OnStatChange): each stores its value for the next tick.
    void PerfStatsCPUStat(TCustomPerfStats& sender, LONG value);
    void PerfStatsThreadsStat(TCustomPerfStats& sender, LONG value);
    void PerfStatsVMsStat(TCustomPerfStats& sender, LONG value);
    void PerfStatsDiskCacheStat(TCustomPerfStats& sender, LONG value);
    void PerfStatsCommitStat(TCustomPerfStats& sender, LONG value);
    TWinList ApplicationsList;
    TSysInfoComp SystemInfo;
    // Tray icon.
    TTrayIcon TrayIcon;
    // The pages with controls of their own, and the usage logs.
    TApplicationsPage ApplicationsPage;
    TProcessPage ProcessPage;
    TPerformancePage PerformancePage;
    TSystemInfoPage SystemInfoPage;
    // The program's date and time formats, set at creation.
    TFormatSettings FormatSettings;

private:
    // What the pages may ask of the window.
    TForm& Window() override { return *this; }
    const taskwell::ProcessList& Processes() const override { return ProcessList; }
    const TSharedReadings& Latest() const override { return Readings; }
    const TSysInfoComp& Facts() const override { return SystemInfo; }
    TWinList& Windows() override { return ApplicationsList; }
    const TFormatSettings& Formats() const override { return FormatSettings; }
    TRegistryEnhanced& Settings() override { return RegistryEnhanced; }
    bool Confirmations() const override;
    bool Show16bit() const override;
    void RefreshNow() override { tmrRefreshTimer(); }
    void ShowProcess(DWORD processId) override;

    void SetUpReaders();
    void BuildMenu();
    void BuildPages();
    void SetHelpContexts();
    void ApplyUpdateSpeed(TUpdateSpeed speed);
    void FreeProcessRecords();
    // The pages' tab pictures, loaded at building, go with the window.
    void FreePageIcons();

    const Platform& platform_;
    std::unique_ptr<TProcessMonitor> monitor_;
    bool refused_ = false;
    bool creating_ = false;
    bool closeRequested_ = false;
    bool ticking_ = false;
    bool destroyed_ = false;
    // The CPU level picture the tray icon and the task bar button show ("" before the first).
    std::string trayLevelShown_;
};

}  // namespace taskwell
