// The Performance page: the CPU and memory gauges with their figures, the two usage history graphs,
// the totals and the memory figures in kilobytes. Every refresh tick brings it up to date, whatever
// page is shown, from the values the statistics readers stored and the memory status.
#pragma once

#include <string>

#include "app/PageFrame.h"
#include "performance/UsageLogs.h"
#include "platform/Platform.h"
#include "ui/StdCtrls.h"
#include "ui/TMenu.h"
#include "ui/TPageControl.h"
#include "ui/TxyGraph.h"

namespace taskwell {

class TPerformancePage {
public:
    TPerformancePage(TPageFrame& frame, TApplication& app, const Platform& platform);

    // Adds the "&Events" menu, the usage logs' switches and file choices, to the menu bar.
    void BuildMenu(TMenuItem& menuBar);
    // Builds the page's groups, gauges, graphs and labels on its sheet.
    void Build(TTabSheet& sheet);
    // The page's menu shows only while the page does.
    void ShowMenus(bool shown);
    // The logs' files by default: "CPU_Usage.Log" and "Mem_Usage.Log" in the program directory.
    void SetDefaultLogFiles();
    // Empty histories, drawn without crossing at zero (creation does this).
    void ResetHistories();
    // Settings: the logs' switches and paths under "Logs" (an empty stored path keeps the default).
    void LoadSettings(TRegistryEnhanced& registry);
    void SaveSettings(TRegistryEnhanced& registry, const TSettingWriter& save) const;
    // Appends the tick's line to each log that is on.
    void LogUsageHistory();
    // Re-lays the gauges and groups for the page's size (the main window was resized).
    void Layout();
    // Shows the latest values and appends one sample to each history graph.
    void UpdatePerformancePage();

    // The samples a history graph holds.
    static constexpr int HistoryLength = 350;
    // Appends value to the graph's series 1 at the next place, or, when the graph is full, moves
    // every sample one place left and puts the value at the last place. count is the number of
    // samples the graph holds.
    static void AppendHistorySample(TxyGraph& graph, LONG& count, LONG value);
    // Committed memory in percent of the page file, rounded half to even, at most 100 (a statistic
    // and a memory status read apart may disagree); 0 without a page file.
    static LONG MemUsagePercent(DWORDLONG committedBytes, DWORDLONG totalPageFileBytes);
    // Switches the appearance option the graphs are stored with off (creation does this).
    void SetCrossAtZero(bool on);

    // The samples each history graph holds.
    LONG CPUHistoryCount = 0;
    LONG MemHistoryCount = 0;
    // The usage logs' paths and switches.
    std::string CPULogFile;
    std::string MemLogFile;
    TMenuItem* itmEvents = nullptr;
    TMenuItem* itmLogCPU = nullptr;
    TMenuItem* itmCPUHistEnabled = nullptr;
    TMenuItem* itmCPUHistChoose = nullptr;
    TMenuItem* itmLogMem = nullptr;
    TMenuItem* itmMemHistEnable = nullptr;
    TMenuItem* itmMemHistChoose = nullptr;
    TUsageLogs UsageLogs;

    TPanel* pnlPerfLeft = nullptr;
    TPanel* pnlPerfRight = nullptr;
    TPanel* pnlPerfBottom = nullptr;
    TGroupBox* gbCPUUsage = nullptr;
    TGroupBox* gbMemUsage = nullptr;
    TGroupBox* gbCPUHistory = nullptr;
    TGroupBox* gbMemHistory = nullptr;
    TGroupBox* gbTotals = nullptr;
    TGroupBox* gbMemory = nullptr;
    TGroupBox* gbVirtual = nullptr;
    TPanel* pnlCPUGauge = nullptr;
    TPanel* pnlMemGauge = nullptr;
    TGauge* ggCPUUsage = nullptr;
    TGauge* ggMemUsage = nullptr;
    TLabel* valueCPUUsage = nullptr;
    TLabel* valueMemUsage = nullptr;
    TPanel* pnlCPUHistory = nullptr;
    TPanel* pnlMemHistory = nullptr;
    TxyGraph* histCPUUsageHistory = nullptr;
    TxyGraph* histMemUsageHistory = nullptr;
    TLabel* valueVMs = nullptr;
    TLabel* valueThreads = nullptr;
    TLabel* valueProcesses = nullptr;
    TLabel* valuePMTotal = nullptr;
    TLabel* valuePMAvail = nullptr;
    TLabel* valuePMFileCache = nullptr;
    TLabel* valuePageFileTotal = nullptr;
    TLabel* valuePageFileAvailable = nullptr;
    TLabel* valueCommit = nullptr;
    TLabel* valueVirtualTotal = nullptr;
    TLabel* valueVirtualAvailable = nullptr;

private:
    TPageFrame& frame_;
};

}  // namespace taskwell
