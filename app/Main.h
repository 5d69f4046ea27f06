// The main window TfrmMain: the frame of the four pages. It owns the page control, the status bar,
// the timers, its own menus, the statistics readers, the window list engine and the process
// records, and runs the refresh cycle that keeps every page current. Created once at start-up,
// destroyed at exit.
#pragma once

#include <exception>
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

// The main window's own menus: the menu bar but for the pages' entries, and the tray icon's popup
// menu.
struct TFrameMenus {
    TMainMenu MainMenu;
    TMenuItem* itmFile = nullptr;
    TMenuItem* itmNewTask = nullptr;
    TMenuItem* itmExit = nullptr;
    TMenuItem* itmOptions = nullptr;
    TMenuItem* itmAlwaysOnTop = nullptr;
    TMenuItem* itmConfirmations = nullptr;
    TMenuItem* itmShowIconInTray = nullptr;
    TMenuItem* itmHideWhenMinimized = nullptr;
    TMenuItem* itmShow16bit = nullptr;
    TMenuItem* itmShowKernelTimes = nullptr;
    TMenuItem* itmView = nullptr;
    TMenuItem* itmRefreshNow = nullptr;
    TMenuItem* itmUpdateSpeed = nullptr;
    TMenuItem* itmUpdateSpeedHigh = nullptr;
    TMenuItem* itmUpdateSpeedNormal = nullptr;
    TMenuItem* itmUpdateSpeedLow = nullptr;
    TMenuItem* itmUpdateSpeedPaused = nullptr;
    TMenuItem* itmViewSeparator = nullptr;
    TMenuItem* itmTools = nullptr;
    TMenuItem* itmToolsUpdate = nullptr;
    TMenuItem* itmHelp = nullptr;
    TMenuItem* itmHelpTopics = nullptr;
    TMenuItem* itmAbout = nullptr;

    TPopupMenu popTray;
    TMenuItem* itmPopRestore = nullptr;
    TMenuItem* itmPopClose = nullptr;
    TMenuItem* itmPopAlwaysOnTop = nullptr;
};

// The five statistics' readers and their polling threads. The threads are made before the readers
// and go after them, so every thread has ended before the readers it ticks go.
struct TStatReaders {
    TStatReaders(IRegistry& registry, IThreads& threads)
        : StatsThreads(threads),
          PerfStatsCPU(registry, StatsThreads),
          PerfStatsThreads(registry, StatsThreads),
          PerfStatsVMs(registry, StatsThreads),
          PerfStatsDiskCache(registry, StatsThreads),
          PerfStatsCommit(registry, StatsThreads) {}

    TStatsThreads StatsThreads;
    TPerfStats PerfStatsCPU;
    TPerfStats PerfStatsThreads;
    TPerfStats PerfStatsVMs;
    TPerfStats PerfStatsDiskCache;
    TPerfStats PerfStatsCommit;
};

// The frame of the four pages: creation and close, its own menus, the refresh tick and its order,
// the update speeds, the tray icon, the status bar, the placement and the shared readings (process
// records, memory status, the five statistics, the window list engine). Each page builds and owns
// its controls, state, handlers and settings, and reads the frame through TPageFrame.
class TfrmMain : public TForm, public TPageFrame {
public:
    // Builds the window and runs FormCreate. When creation refuses to go on (Windows NT), the
    // application is terminated and Refused() is true.
    TfrmMain(TApplication& app, const Platform& platform);
    ~TfrmMain() override;

    bool Refused() const { return refused_; }

    // The refresh tick (MainTick.cpp) and the commands that change its pace.
    void tmrRefreshTimer();
    void itmUpdateSpeedHighClick();
    void itmUpdateSpeedNormalClick();
    void itmUpdateSpeedLowClick();
    void itmUpdateSpeedPausedClick();
    void itmRefreshNowClick();
    // Shows the CPU level in the tray icon and the task bar button (MainTray.cpp).
    void UpdateTrayIcon();

    // The shared readings.
    taskwell::ProcessList ProcessList;
    TSharedReadings Readings;
    bool WindowShown = false;
    TUpdateSpeed UpdateSpeed = TUpdateSpeed::Normal;

    // Frame controls and components.
    TFrameMenus Menus;
    TPanel* pnlMain = nullptr;
    TPageControl* pcMain = nullptr;
    TTabSheet* tsApplications = nullptr;
    TTabSheet* tsProcesses = nullptr;
    TTabSheet* tsPerformance = nullptr;
    TTabSheet* tsSystemInfo = nullptr;
    TStatusBar* sbMain = nullptr;
    TTimer tmrRefresh;
    TTimer tmrSetTopWindow;
    TStatReaders Readers;
    TWinList ApplicationsList;
    TSysInfoComp SystemInfo;
    TTrayIcon TrayIcon;

    // The pages.
    TApplicationsPage ApplicationsPage;
    TProcessPage ProcessPage;
    TPerformancePage PerformancePage;
    TSystemInfoPage SystemInfoPage;

private:
    // The window's design bounds: where it opens when no placement is stored.
    static constexpr int kDesignLeft = 259;
    static constexpr int kDesignTop = 137;
    static constexpr int kDesignWidth = 444;
    static constexpr int kDesignHeight = 538;
    // The design bounds on this screen (scaled by its DPI).
    TRect DesignBounds() const;
    // The five readers' names, statistics and handlers, in the order the update speeds list their
    // intervals (Main.cpp).
    struct ReaderRow {
        TPerfStats TStatReaders::*reader;
        const char* name;
        const char* keyName;
        void (TfrmMain::*handler)(TCustomPerfStats&, LONG);
    };
    static constexpr int kReaderCount = 5;
    static const ReaderRow kReaderRows[kReaderCount];

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
    std::string ProgramDirectory() const override;
    void RefreshNow() override { tmrRefreshTimer(); }
    void ShowProcess(DWORD processId) override;

    // Creation, showing, resizing, closing, destruction (Main.cpp).
    void FormCreate();
    void FormShow();
    void FormResize();
    // A close asked for during creation is held until creation is done.
    bool FormCloseQuery();
    void FormClose();
    void FormDestroy();
    void SetUpReaders();
    void BuildMenu();
    void BuildPages();
    void SetHelpContexts();
    // The pages' tab pictures, loaded at building, go with the window.
    void FreePageIcons();
    // The tray meter's picture of a level ("Z_0" to "Z_12", "Z_NONE"), loaded with the window (or,
    // when that failed, when next shown); an empty picture when the resource is missing.
    const TIcon& LevelPicture(const std::string& level);
    void FreeLevelPictures();
    void itmExitClick();
    // The readers' handlers (on OnStat and OnStatChange): each stores its value for the next tick.
    void PerfStatsCPUStat(TCustomPerfStats& sender, LONG value);
    void PerfStatsThreadsStat(TCustomPerfStats& sender, LONG value);
    void PerfStatsVMsStat(TCustomPerfStats& sender, LONG value);
    void PerfStatsDiskCacheStat(TCustomPerfStats& sender, LONG value);
    void PerfStatsCommitStat(TCustomPerfStats& sender, LONG value);

    // Steps of the refresh tick and the update speeds (MainTick.cpp).
    void LoadProcesses();
    void UpdateProcesses();
    // Committed memory from the extended memory status, where SystemInfo read one.
    void TakeHostCommit();
    void UpdateStatusBar();
    void pcMainChange();
    void ApplyUpdateSpeed(TUpdateSpeed speed);

    // Options menu, help, About and the updater (MainMenus.cpp).
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
    // Writes one value; a refusal is noted and the caller goes on with the next value.
    void SaveValue(const std::string& name, const TRegValue& value);
    // Keeps the first refused write of this shutdown until it is shown; shows it once.
    void NoteSaveError(const std::exception& e);
    void ShowSaveError();

    // Tray icon, minimise hook and restore (MainTray.cpp).
    void ConnectTray();
    void InstallMinimizeHook();
    void FormMinimize();
    void itmPopRestoreTaskwellClick();
    void tmrSetTopWindowTimer();
    // Adds the tray icon when shown is true, removes it otherwise ("&Show icon in tray").
    void SetTrayIconShown(bool shown);

    const Platform& platform_;
    TImageList imglstPages;
    // Settings store.
    TRegistryEnhanced RegistryEnhanced;
    TRePosApp RePosApp;
    // The first refused write of this shutdown, until it has been shown; then saveErrorShown_.
    std::string pendingSaveError_;
    bool saveErrorShown_ = false;
    // The program's date and time formats, set at creation.
    TFormatSettings FormatSettings;
    std::unique_ptr<TProcessMonitor> monitor_;
    bool refused_ = false;
    bool creating_ = false;
    bool closeRequested_ = false;
    bool ticking_ = false;
    bool destroyed_ = false;
    // The CPU level picture the tray icon and the task bar button show ("" before the first).
    std::string trayLevelShown_;
    // The meter's pictures by resource name, loaded with the window; see LevelPicture.
    std::map<std::string, TIcon> levelPictures_;
};

}  // namespace taskwell
