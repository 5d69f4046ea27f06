// The main window's settings store against the simulated registry: the first run, the layout a
// shutdown writes, round trips, unusable stored values, refused writes and the process columns.
#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <map>

#include "app/Main.h"
#include "support/SimFixture.h"
#include "ui/Exception.h"

namespace taskwell {
namespace {

using sim::RegOp;
using testing::SimFixture;

constexpr const char* kRoot = "Software\\Orvex Software\\Taskwell";
constexpr const char* kLogs = "Software\\Orvex Software\\Taskwell\\Logs";
constexpr const char* kAppColumns = "Software\\Orvex Software\\Taskwell\\Application Columns";
constexpr const char* kProcColumns = "Software\\Orvex Software\\Taskwell\\Process Columns";
constexpr const char* kPlacement = "Software\\Orvex Software\\Taskwell\\taskwell.INI\\frmMain";
constexpr const char* kProgramDir = "C:\\Program Files\\Orvex\\Taskwell\\";

// One value of the layout a first shutdown writes, in the order it is written within its key.
struct Stored {
    const char* key;
    const char* name;
    DWORD type;
    DWORD number;      // REG_DWORD
    std::string text;  // REG_SZ
};

std::vector<Stored> FirstShutdownLayout() {
    const std::string dir = kProgramDir;
    return {
        {kPlacement, "MyWindowState", REG_SZ, 0, "False"},
        {kPlacement, "Top", REG_SZ, 0, "137"},
        {kPlacement, "Left", REG_SZ, 0, "259"},
        {kPlacement, "Width", REG_SZ, 0, "444"},
        {kPlacement, "Height", REG_SZ, 0, "538"},
        {kLogs, "CPU", REG_DWORD, 0, ""},
        {kLogs, "CPU_Logfile", REG_SZ, 0, dir + "CPU_Usage.Log"},
        {kLogs, "Mem", REG_DWORD, 0, ""},
        {kLogs, "Mem_Logfile", REG_SZ, 0, dir + "Mem_Usage.Log"},
        {kRoot, "&Always On Top", REG_DWORD, 0, ""},
        {kRoot, "&Minimize On Use", REG_DWORD, 1, ""},
        {kRoot, "&Show icon in tray", REG_DWORD, 1, ""},
        {kRoot, "&Confirmations", REG_DWORD, 1, ""},
        {kRoot, "&Hide When Minimized", REG_DWORD, 1, ""},
        {kRoot, "&Show 16-bit tasks", REG_DWORD, 1, ""},
        {kRoot, "&High", REG_DWORD, 0, ""},
        {kRoot, "&Normal", REG_DWORD, 1, ""},
        {kRoot, "&Low", REG_DWORD, 0, ""},
        {kRoot, "&Paused", REG_DWORD, 0, ""},
        {kRoot, "Lar&ge Icons", REG_DWORD, 1, ""},
        {kRoot, "S&mall Icons", REG_DWORD, 0, ""},
        {kRoot, "&List", REG_DWORD, 0, ""},
        {kRoot, "&Details", REG_DWORD, 0, ""},
        {kRoot, "&Show Kernel Times", REG_DWORD, 0, ""},
        {kRoot, "ActivePage", REG_DWORD, 0, ""},
        {kAppColumns, "Task", REG_DWORD, 250, ""},
        {kAppColumns, "Status", REG_DWORD, 100, ""},
        {kProcColumns, "PID", REG_DWORD, 50, ""},
        {kProcColumns, "Image Name", REG_DWORD, 50, ""},
        {kProcColumns, "Threads", REG_DWORD, 50, ""},
        {kProcColumns, "Priority", REG_DWORD, 50, ""},
        {kProcColumns, "Type", REG_DWORD, 50, ""},
        {kProcColumns, "pdImageName", REG_DWORD, 1, ""},
        {kProcColumns, "pdCntUsage", REG_DWORD, 0, ""},
        {kProcColumns, "pdDefHeapID", REG_DWORD, 0, ""},
        {kProcColumns, "pdModuleID", REG_DWORD, 0, ""},
        {kProcColumns, "pdCntThreads", REG_DWORD, 1, ""},
        {kProcColumns, "pdParentID", REG_DWORD, 0, ""},
        {kProcColumns, "pdPriority", REG_DWORD, 1, ""},
        {kProcColumns, "pddwFlags", REG_DWORD, 0, ""},
        {kProcColumns, "pdBinTyp", REG_DWORD, 1, ""},
        {kProcColumns, "Sorting", REG_DWORD, 1, ""},
    };
}

struct SettingsFixture : testing::MainWindowFixture {
    // Closes and destroys the window, as the program's end does.
    void Shutdown() {
        form->Close();
        form.reset();
    }
    void StoreDword(const char* key, const char* name, DWORD v) { registry.SetDword(HKEY_CURRENT_USER, key, name, v); }
    void StoreText(const char* key, const char* name, const std::string& v) {
        registry.SetString(HKEY_CURRENT_USER, key, name, v);
    }
    // Every value below the settings root: "key\name" -> (type, bytes).
    std::map<std::string, std::pair<DWORD, std::vector<BYTE>>> Dump(const std::string& key = kRoot) const {
        std::map<std::string, std::pair<DWORD, std::vector<BYTE>>> out;
        for (const std::string& name : registry.ValueNames(HKEY_CURRENT_USER, key))
            out[key + "\\" + name] = {*registry.GetType(HKEY_CURRENT_USER, key, name),
                                      *registry.GetRaw(HKEY_CURRENT_USER, key, name)};
        for (const std::string& sub : registry.SubkeyNames(HKEY_CURRENT_USER, key)) out.merge(Dump(key + "\\" + sub));
        return out;
    }
    std::vector<std::string> Columns(const TListView& list) const {
        std::vector<std::string> out;
        for (int i = 0; i < list.ColumnCount(); ++i)
            out.push_back(list.Column(i).Caption + ":" + std::to_string(list.Column(i).Width));
        return out;
    }
};

std::vector<int> Bounds(const TForm& f) {
    return {f.Left(), f.Top(), f.Width(), f.Height()};
}

// ---------------------------------------------------------------------------------------------
// First run.

TEST(Settings, AFirstRunWithNothingStoredStartsWithEveryDefault) {
    SettingsFixture f;
    TfrmMain& m = f.Create();
    EXPECT_EQ(m.UpdateSpeed, TUpdateSpeed::Normal);
    EXPECT_EQ(m.tmrRefresh.Interval(), 1750u);
    EXPECT_EQ(m.ApplicationsList.TimerIntval(), 1750);
    EXPECT_TRUE(m.Menus.itmUpdateSpeedNormal->Checked());
    EXPECT_EQ(m.pcMain->ActivePage(), m.tsApplications);
    EXPECT_FALSE(m.Menus.itmAlwaysOnTop->Checked());
    EXPECT_FALSE(m.Menus.itmPopAlwaysOnTop->Checked());
    EXPECT_TRUE(m.Menus.itmHideWhenMinimized->Checked());
    EXPECT_TRUE(m.Menus.itmShowIconInTray->Checked());
    EXPECT_FALSE(m.Menus.itmShowIconInTray->Enabled());
    EXPECT_TRUE(m.Menus.itmConfirmations->Checked());
    EXPECT_TRUE(m.Menus.itmShow16bit->Checked());
    EXPECT_FALSE(m.Menus.itmShowKernelTimes->Checked());
    EXPECT_TRUE(m.ApplicationsPage.itmLargeIcons->Checked());
    for (TMenuItem* item :
         {m.ApplicationsPage.itmSmallIcons, m.ApplicationsPage.itmList, m.ApplicationsPage.itmDetails})
        EXPECT_FALSE(item->Checked()) << item->Caption();
    EXPECT_FALSE(m.PerformancePage.itmCPUHistEnabled->Checked());
    EXPECT_FALSE(m.PerformancePage.itmMemHistEnable->Checked());
    EXPECT_EQ(m.PerformancePage.CPULogFile, std::string(kProgramDir) + "CPU_Usage.Log");
    EXPECT_EQ(m.PerformancePage.MemLogFile, std::string(kProgramDir) + "Mem_Usage.Log");
    EXPECT_EQ(Bounds(m), (std::vector<int>{259, 137, 444, 538}));
    EXPECT_EQ(m.WindowState(), TWindowState::wsNormal);
    EXPECT_EQ(m.ProcessPage.ProcessColumns, DefaultProcessColumns());
    EXPECT_EQ(m.ProcessPage.SortColumn, 1);
    EXPECT_EQ(f.Columns(*m.ProcessPage.sagProcesses),
              (std::vector<std::string>{"PID:50", "Image Name:50", "Threads:50", "Priority:50", "Type:50"}));
    EXPECT_EQ(f.Columns(*m.ApplicationsPage.sagApplications), (std::vector<std::string>{"Task:250", "Status:100"}));
    EXPECT_TRUE(f.ui.MessageBoxes.empty());
    EXPECT_EQ(f.registry.OpenKeys(), 0);
}

TEST(Settings, AFirstShutdownWritesTheWholeLayoutInOrderWithItsTypes) {
    SettingsFixture f;
    f.Create();
    f.form->Close();
    const auto layout = FirstShutdownLayout();
    std::map<std::string, std::vector<std::string>> namesByKey;
    for (const Stored& s : layout) {
        namesByKey[s.key].push_back(s.name);
        SCOPED_TRACE(std::string(s.key) + "\\" + s.name);
        ASSERT_EQ(f.registry.GetType(HKEY_CURRENT_USER, s.key, s.name), s.type);
        if (s.type == REG_DWORD)
            EXPECT_EQ(f.registry.GetDword(HKEY_CURRENT_USER, s.key, s.name), s.number);
        else
            EXPECT_EQ(f.registry.GetRaw(HKEY_CURRENT_USER, s.key, s.name),
                      std::vector<BYTE>(s.text.c_str(), s.text.c_str() + s.text.size() + 1));
    }
    // Each key holds exactly these values, in the order written, and nothing else exists.
    for (const auto& [key, names] : namesByKey) EXPECT_EQ(f.registry.ValueNames(HKEY_CURRENT_USER, key), names) << key;
    EXPECT_EQ(f.Dump().size(), layout.size());

    // The groups are written in order: placement, logs, root values, application columns, process
    // columns.
    std::vector<std::string> groups;
    for (const std::string& w : f.registry.Writes()) {
        std::string key = w.substr(0, w.find_last_of('\\'));
        if (groups.empty() || groups.back() != key) groups.push_back(key);
    }
    const std::string hkcu = "HKEY_CURRENT_USER\\";
    EXPECT_EQ(groups, (std::vector<std::string>{hkcu + kPlacement, hkcu + kLogs, hkcu + kRoot, hkcu + kAppColumns,
                                                 hkcu + kProcColumns}));

    // Destruction saves the placement once more, and nothing else.
    f.registry.ClearLog();
    f.form.reset();
    std::vector<std::string> again;
    for (const std::string& w : f.registry.Writes()) again.push_back(w.substr(w.find_last_of('\\') + 1));
    EXPECT_EQ(again, (std::vector<std::string>{"MyWindowState", "Top", "Left", "Width", "Height"}));
    EXPECT_EQ(f.registry.OpenKeys(), 0);
}

// ---------------------------------------------------------------------------------------------
// Round trip.

TEST(Settings, EveryValueComesBackAfterARestart) {
    SettingsFixture f;
    {
        TfrmMain& m = f.Create();
        m.PerformancePage.itmCPUHistEnabled->SetChecked(true);
        m.PerformancePage.itmMemHistEnable->SetChecked(true);
        m.PerformancePage.CPULogFile = "D:\\logs\\cpu.csv";
        m.PerformancePage.MemLogFile = "D:\\logs\\mem.csv";
        m.Menus.itmAlwaysOnTop->SetChecked(true);
        m.Menus.itmHideWhenMinimized->SetChecked(false);
        m.Menus.itmShowIconInTray->SetEnabled(true);
        m.Menus.itmShowIconInTray->SetChecked(false);
        m.Menus.itmConfirmations->SetChecked(false);
        m.Menus.itmShow16bit->SetChecked(false);
        m.Menus.itmShowKernelTimes->SetChecked(true);
        m.itmUpdateSpeedLowClick();
        m.ApplicationsPage.itmDetails->SetChecked(true);
        m.pcMain->SelectPage(2);
        m.ApplicationsPage.sagApplications->SetColumnWidth(0, 310);
        m.ApplicationsPage.sagApplications->SetColumnWidth(1, 90);
        m.ProcessPage.ProcessColumns = {TProcessColumn::pdProcessID, TProcessColumn::pdCntUsage,
                                        TProcessColumn::pdCntThreads, TProcessColumn::pdParentID,
                                        TProcessColumn::pddwFlags};
        m.ProcessPage.SetupProcessColumns();
        m.ProcessPage.sagProcesses->SetColumnWidth(0, 61);
        m.ProcessPage.sagProcesses->SetColumnWidth(2, 72);
        m.ProcessPage.SortColumn = -6;
        m.SetBounds(30, 40, 500, 560);
        f.Shutdown();
    }
    const auto stored = f.Dump();
    TfrmMain& m = f.Create();
    EXPECT_TRUE(m.PerformancePage.itmCPUHistEnabled->Checked());
    EXPECT_TRUE(m.PerformancePage.itmMemHistEnable->Checked());
    EXPECT_EQ(m.PerformancePage.CPULogFile, "D:\\logs\\cpu.csv");
    EXPECT_EQ(m.PerformancePage.MemLogFile, "D:\\logs\\mem.csv");
    EXPECT_TRUE(m.Menus.itmAlwaysOnTop->Checked());
    EXPECT_TRUE(m.Menus.itmPopAlwaysOnTop->Checked());
    EXPECT_FALSE(m.Menus.itmHideWhenMinimized->Checked());
    EXPECT_FALSE(m.Menus.itmShowIconInTray->Checked());
    EXPECT_TRUE(m.Menus.itmShowIconInTray->Enabled());
    EXPECT_FALSE(m.Menus.itmConfirmations->Checked());
    EXPECT_FALSE(m.Menus.itmShow16bit->Checked());
    EXPECT_TRUE(m.Menus.itmShowKernelTimes->Checked());
    EXPECT_EQ(m.UpdateSpeed, TUpdateSpeed::Low);
    EXPECT_EQ(m.tmrRefresh.Interval(), 3250u);
    EXPECT_TRUE(m.ApplicationsPage.itmDetails->Checked());
    EXPECT_FALSE(m.ApplicationsPage.itmLargeIcons->Checked());
    EXPECT_EQ(m.pcMain->ActivePage(), m.tsPerformance);
    EXPECT_EQ(f.Columns(*m.ApplicationsPage.sagApplications), (std::vector<std::string>{"Task:310", "Status:90"}));
    EXPECT_EQ(m.ProcessPage.ProcessColumns, (TProcessColumns{TProcessColumn::pdProcessID, TProcessColumn::pdCntUsage,
                                                 TProcessColumn::pdCntThreads, TProcessColumn::pdParentID,
                                                 TProcessColumn::pddwFlags}));
    EXPECT_EQ(f.Columns(*m.ProcessPage.sagProcesses),
              (std::vector<std::string>{"PID:61", "Usage:50", "Threads:72", "ParentID:50", "Flags:50"}));
    EXPECT_EQ(m.ProcessPage.SortColumn, -6);
    EXPECT_EQ(Bounds(m), (std::vector<int>{30, 40, 500, 560}));
    // A second shutdown stores the same settings.
    f.Shutdown();
    EXPECT_EQ(f.Dump(), stored);
}

// ---------------------------------------------------------------------------------------------
// Stored values the program meets.

TEST(Settings, AnActivePageOutsideTheFourShowsApplicationsAndIsWrittenBackAsZero) {
    for (DWORD page : {7u, 4u, 0xFFFFFFFFu}) {
        SettingsFixture f;
        f.StoreDword(kRoot, "ActivePage", page);
        TfrmMain& m = f.Create();
        EXPECT_EQ(m.pcMain->ActivePage(), m.tsApplications) << page;
        f.Shutdown();
        EXPECT_EQ(f.registry.GetDword(HKEY_CURRENT_USER, kRoot, "ActivePage"), 0u) << page;
    }
    SettingsFixture f;
    f.StoreDword(kRoot, "ActivePage", 3);
    TfrmMain& m = f.Create();
    EXPECT_EQ(m.pcMain->ActivePage(), m.tsSystemInfo);
}

TEST(Settings, AMaximisedWindowWritesOnlyItsStateAndReopensOverItsNormalBounds) {
    SettingsFixture f;
    f.Create().SetBounds(10, 20, 400, 500);
    f.Shutdown();

    TfrmMain& m = f.Create();
    m.SetWindowState(TWindowState::wsMaximized);
    m.SetBounds(0, 0, 1024, 768);
    f.registry.ClearLog();
    f.Shutdown();
    for (const std::string& w : f.registry.Writes()) {
        if (w.find(".INI") != std::string::npos) {
            EXPECT_EQ(w.substr(w.find_last_of('\\') + 1), "MyWindowState");
        }
    }
    EXPECT_EQ(f.registry.GetString(HKEY_CURRENT_USER, kPlacement, "MyWindowState"), "True");
    EXPECT_EQ(f.registry.GetString(HKEY_CURRENT_USER, kPlacement, "Width"), "400");

    TfrmMain& again = f.Create();
    EXPECT_EQ(Bounds(again), (std::vector<int>{10, 20, 400, 500}));
    EXPECT_EQ(again.WindowState(), TWindowState::wsMaximized);
}

TEST(Settings, StoredPlacementTextIsReadAsDecimalOrHexadecimal) {
    const std::pair<const char*, int> cases[] = {{"0x40", 64}, {"abc", 137}, {"200", 200}, {"", 137}};
    for (auto [text, top] : cases) {
        SettingsFixture f;
        f.StoreText(kPlacement, "Top", text);
        EXPECT_EQ(f.Create().Top(), top) << text;
    }
}

// A stored place off the screen comes back onto the nearest work area, keeping its size (shrunk to
// the area where that is smaller), and the window is saved where it is then; a place where the user
// can reach the window stays as it is.
TEST(Settings, AStoredPlacementOffTheScreenIsBroughtOntoIt) {
    using Monitor = sim::SimMachine::SimMonitor;
    const Monitor vga{{0, 0, 640, 480}, {0, 0, 640, 452}};
    const Monitor xga{{0, 0, 1024, 768}, {0, 0, 1024, 740}};
    const Monitor second{{1024, -200, 2304, 824}, {1024, -200, 2304, 824}};
    struct Case {
        const char* why;
        std::vector<Monitor> screen;
        bool monitorCalls;
        std::vector<int> stored;  // left, top, width, height
        std::vector<int> placed;
    };
    const Case cases[] = {
        {"saved while minimised", {xga}, true, {-32000, -32000, 444, 538}, {0, 0, 444, 538}},
        {"far to the right", {xga}, true, {5000, 137, 444, 538}, {580, 137, 444, 538}},
        {"below the task bar", {xga}, true, {259, 735, 444, 538}, {259, 202, 444, 538}},
        {"a caption's grip on the screen", {xga}, true, {984, 720, 444, 538}, {984, 720, 444, 538}},
        {"one pixel less than a grip", {xga}, true, {985, 137, 444, 538}, {580, 137, 444, 538}},
        {"larger than a small screen", {vga}, true, {700, 500, 800, 600}, {0, 0, 640, 452}},
        {"on the second monitor", {xga, second}, true, {1500, -150, 444, 538}, {1500, -150, 444, 538}},
        {"beyond the second monitor", {xga, second}, true, {2600, 900, 444, 538}, {1860, 286, 444, 538}},
        {"no monitor calls: the primary's work area",
         {xga, second},
         false,
         {1500, 100, 444, 538},
         {580, 100, 444, 538}},
    };
    for (const Case& c : cases) {
        SettingsFixture f;
        f.machine.Monitors = c.screen;
        f.machine.MonitorCalls = c.monitorCalls;
        const char* names[] = {"Left", "Top", "Width", "Height"};
        for (int i = 0; i < 4; ++i) f.StoreText(kPlacement, names[i], std::to_string(c.stored[static_cast<size_t>(i)]));
        EXPECT_EQ(Bounds(f.Create()), c.placed) << c.why;
        f.Shutdown();
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(f.registry.GetString(HKEY_CURRENT_USER, kPlacement, names[i]),
                      std::to_string(c.placed[static_cast<size_t>(i)]))
                << c.why << ": " << names[i];
        }
    }
}

TEST(Settings, TheUpdateSpeedStoredOnLastWins) {
    struct Case {
        std::map<std::string, DWORD> stored;
        TUpdateSpeed speed;
        UINT interval;
    };
    const Case cases[] = {
        {{}, TUpdateSpeed::Normal, 1750},
        {{{"&High", 1}, {"&Normal", 0}}, TUpdateSpeed::High, 750},
        {{{"&High", 1}, {"&Low", 1}}, TUpdateSpeed::Low, 3250},
        {{{"&High", 1}, {"&Normal", 0}, {"&Low", 1}, {"&Paused", 0}}, TUpdateSpeed::Low, 3250},
        {{{"&Paused", 1}, {"&Normal", 0}}, TUpdateSpeed::Paused, 0},
        {{{"&High", 1}, {"&Normal", 1}, {"&Low", 1}, {"&Paused", 1}}, TUpdateSpeed::Paused, 0},
        // Nothing on at all: Normal, with its own intervals rather than those of the start-up.
        {{{"&High", 0}, {"&Normal", 0}, {"&Low", 0}, {"&Paused", 0}}, TUpdateSpeed::Normal, 1750},
        {{{"&Normal", 0}}, TUpdateSpeed::Normal, 1750},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SettingsFixture f;
        for (const auto& [name, on] : cases[i].stored) f.StoreDword(kRoot, name.c_str(), on);
        TfrmMain& m = f.Create();
        EXPECT_EQ(m.UpdateSpeed, cases[i].speed) << "case " << i;
        EXPECT_EQ(m.tmrRefresh.Interval(), cases[i].interval) << "case " << i;
        EXPECT_EQ(m.ApplicationsList.TimerIntval(), static_cast<LONG>(cases[i].interval)) << "case " << i;
        EXPECT_EQ(m.Readers.PerfStatsThreads.AutoTick(), cases[i].speed != TUpdateSpeed::Paused) << "case " << i;
    }
}

TEST(Settings, ValuesThatCannotServeTheirTargetGiveTheDefault) {
    struct Case {
        const char* what;
        const char* key;
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
        std::function<bool(const TfrmMain&)> holds;
    };
    auto text = [](const std::string& s) { return std::vector<BYTE>(s.c_str(), s.c_str() + s.size() + 1); };
    auto dword = [](DWORD n) {
        return std::vector<BYTE>{static_cast<BYTE>(n), static_cast<BYTE>(n >> 8), static_cast<BYTE>(n >> 16),
                                 static_cast<BYTE>(n >> 24)};
    };
    const std::string cpuLog = std::string(kProgramDir) + "CPU_Usage.Log";
    const std::string memLog = std::string(kProgramDir) + "Mem_Usage.Log";
    const Case cases[] = {
        {"option as a word", kRoot, "&Confirmations", REG_SZ, text("abc"),
         [](const TfrmMain& m) { return m.Menus.itmConfirmations->Checked(); }},
        {"option as binary", kRoot, "&Confirmations", REG_BINARY, {0, 0, 0, 0},
         [](const TfrmMain& m) { return m.Menus.itmConfirmations->Checked(); }},
        {"option as a number in text", kRoot, "&Always On Top", REG_SZ, text("1"),
         [](const TfrmMain& m) { return m.Menus.itmAlwaysOnTop->Checked(); }},
        {"option as a short word", kRoot, "&Always On Top", REG_DWORD, {1, 0},
         [](const TfrmMain& m) { return !m.Menus.itmAlwaysOnTop->Checked(); }},
        {"width as a word", kAppColumns, "Task", REG_SZ, text("abc"),
         [](const TfrmMain& m) { return m.ApplicationsPage.sagApplications->Column(0).Width == 250; }},
        {"width negative", kAppColumns, "Status", REG_DWORD, dword(0xFFFFFFFFu),
         [](const TfrmMain& m) { return m.ApplicationsPage.sagApplications->Column(1).Width == 100; }},
        {"log path as a number", kLogs, "CPU_Logfile", REG_DWORD, dword(5),
         [cpuLog](const TfrmMain& m) { return m.PerformancePage.CPULogFile == cpuLog; }},
        {"log path empty", kLogs, "Mem_Logfile", REG_SZ, text(""),
         [memLog](const TfrmMain& m) { return m.PerformancePage.MemLogFile == memLog; }},
        {"page as binary", kRoot, "ActivePage", REG_BINARY, {2},
         [](const TfrmMain& m) { return m.pcMain->ActivePageIndex() == 0; }},
        {"sort column beyond the columns", kProcColumns, "Sorting", REG_DWORD, dword(99),
         [](const TfrmMain& m) { return m.ProcessPage.SortColumn == 1; }},
        {"sort column with no negation", kProcColumns, "Sorting", REG_DWORD, dword(0x80000000u),
         [](const TfrmMain& m) { return m.ProcessPage.SortColumn == 1; }},
        {"last column descending", kProcColumns, "Sorting", REG_DWORD, dword(static_cast<DWORD>(-9)),
         [](const TfrmMain& m) { return m.ProcessPage.SortColumn == -9; }},
        {"column flag as a word", kProcColumns, "pdImageName", REG_SZ, text("x"),
         [](const TfrmMain& m) { return m.ProcessPage.ProcessColumns.count(TProcessColumn::pdImageName) == 1; }},
        {"column width as a word", kProcColumns, "Threads", REG_SZ, text("x"),
         [](const TfrmMain& m) { return m.ProcessPage.sagProcesses->Column(2).Width == 50; }},
        {"column width stored", kProcColumns, "Threads", REG_DWORD, dword(120),
         [](const TfrmMain& m) { return m.ProcessPage.sagProcesses->Column(2).Width == 120; }},
        {"placement state as a number", kPlacement, "MyWindowState", REG_DWORD, dword(1),
         [](const TfrmMain& m) { return m.WindowState() == TWindowState::wsNormal; }},
    };
    for (const Case& c : cases) {
        SettingsFixture f;
        f.registry.SetRaw(HKEY_CURRENT_USER, c.key, c.name, c.type, c.data);
        const TfrmMain& m = f.Create();
        EXPECT_TRUE(c.holds(m)) << c.what;
        EXPECT_TRUE(f.ui.MessageBoxes.empty()) << c.what;
    }
}

TEST(Settings, UnreadableSettingsStartWithTheDefaultsAndLeaveNoKeyOpen) {
    for (RegOp op : {RegOp::RegOpenKeyExA, RegOp::RegQueryValueExA}) {
        SettingsFixture f;
        f.StoreDword(kRoot, "ActivePage", 2);
        f.StoreDword(kRoot, "&Low", 1);
        f.registry.Fail(op);
        TfrmMain& m = f.Create();
        EXPECT_EQ(m.pcMain->ActivePageIndex(), 0) << sim::RegOpName(op);
        EXPECT_EQ(m.UpdateSpeed, TUpdateSpeed::Normal) << sim::RegOpName(op);
        EXPECT_EQ(Bounds(m), (std::vector<int>{259, 137, 444, 538})) << sim::RegOpName(op);
        EXPECT_EQ(f.registry.OpenKeys(), 0) << sim::RegOpName(op);
    }
}

// ---------------------------------------------------------------------------------------------
// Refused writes.

TEST(Settings, ARefusedWriteIsShownOnceAfterEverythingElseWasSaved) {
    for (const char* refused : {"&Confirmations", "Top", "Sorting"}) {
        SCOPED_TRACE(refused);
        SettingsFixture f;
        f.registry.RefuseValue(refused);
        f.Create();
        size_t storedWhenShown = 0;
        f.ui.Responder = [&](const sim::MessageBoxCall&) {
            storedWhenShown = f.Dump().size();
            return mrOk;
        };
        f.Shutdown();
        ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
        EXPECT_EQ(f.ui.MessageBoxes[0].text, std::string("Failed to set data for '") + refused + "'");
        const size_t expected = FirstShutdownLayout().size() - 1;
        EXPECT_EQ(storedWhenShown, expected);
        for (const Stored& s : FirstShutdownLayout())
            EXPECT_EQ(f.registry.ValueExists(HKEY_CURRENT_USER, s.key, s.name), std::string(s.name) != refused)
                << s.name;
        EXPECT_EQ(f.registry.OpenKeys(), 0);
    }
}

TEST(Settings, APlacementRefusedOnlyAtDestructionIsShownThen) {
    SettingsFixture f;
    f.Create();
    f.form->Close();
    EXPECT_TRUE(f.ui.MessageBoxes.empty());
    f.registry.RefuseValue("Left");
    f.form.reset();
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(f.ui.MessageBoxes[0].text, "Failed to set data for 'Left'");
}

TEST(Settings, KeysThatCannotBeCreatedMakeTheShutdownSaveNothingAndShowNothing) {
    SettingsFixture f;
    f.Create();
    f.registry.Fail(RegOp::RegCreateKeyExA);
    f.Shutdown();
    EXPECT_TRUE(f.registry.Writes().empty());
    EXPECT_TRUE(f.ui.MessageBoxes.empty());
    EXPECT_EQ(f.registry.OpenKeys(), 0);
}

TEST(Settings, AWindowThatRefusedWindowsNTStoresNothing) {
    SettingsFixture f;
    f.machine.UseWindowsNT4();
    f.Create();
    f.form.reset();
    EXPECT_TRUE(f.registry.Writes().empty());
    EXPECT_FALSE(f.registry.KeyExists(HKEY_CURRENT_USER, kRoot));
}

// ---------------------------------------------------------------------------------------------
// Process columns.

TEST(Settings, SetupProcessColumnsKeepsTheOldWidthsAndBuildsTheSetInIndexOrder) {
    SettingsFixture f;
    TfrmMain& m = f.Create();
    m.ProcessPage.sagProcesses->SetColumnWidth(1, 120);  // Image Name
    m.ProcessPage.sagProcesses->SetColumnWidth(2, 70);   // Threads
    m.ProcessPage.ProcessColumns = {TProcessColumn::pdProcessID, TProcessColumn::pddwFlags, TProcessColumn::pdImageName,
                        TProcessColumn::pdCntUsage};
    m.ProcessPage.SetupProcessColumns();
    EXPECT_EQ(f.Columns(*m.ProcessPage.sagProcesses),
              (std::vector<std::string>{"PID:50", "Image Name:120", "Usage:50", "Flags:50"}));
    EXPECT_EQ(f.registry.ValueNames(HKEY_CURRENT_USER, kProcColumns),
              (std::vector<std::string>{"PID", "Image Name", "Threads", "Priority", "Type"}));
    EXPECT_EQ(f.registry.GetDword(HKEY_CURRENT_USER, kProcColumns, "Threads"), 70u);

    m.ProcessPage.ProcessColumns.insert(TProcessColumn::pdCntThreads);
    m.ProcessPage.SetupProcessColumns();
    EXPECT_EQ(f.Columns(*m.ProcessPage.sagProcesses),
              (std::vector<std::string>{"PID:50", "Image Name:120", "Usage:50", "Threads:70", "Flags:50"}));
    EXPECT_EQ(f.registry.OpenKeys(), 0);
}

TEST(Settings, SetupProcessColumnsRebuildsTheColumnsEvenWhenAWidthIsRefused) {
    SettingsFixture f;
    TfrmMain& m = f.Create();
    f.registry.RefuseValue("Image Name");
    m.ProcessPage.ProcessColumns = {TProcessColumn::pdProcessID, TProcessColumn::pdCntUsage};
    try {
        m.ProcessPage.SetupProcessColumns();
        FAIL() << "no error raised";
    } catch (const Exception& e) {
        EXPECT_STREQ(e.what(), "Failed to set data for 'Image Name'");
    }
    EXPECT_EQ(f.Columns(*m.ProcessPage.sagProcesses), (std::vector<std::string>{"PID:50", "Usage:50"}));
    EXPECT_TRUE(f.registry.ValueExists(HKEY_CURRENT_USER, kProcColumns, "Type"));
}

}  // namespace
}  // namespace taskwell
