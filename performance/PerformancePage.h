// The Performance page: the CPU and memory gauges with their figures, the two usage history graphs,
// the totals and the memory figures in kilobytes. Every refresh tick brings it up to date, whatever
// page is shown, from the values the statistics readers stored and the memory status.
#pragma once

#include "platform/Types.h"
#include "ui/StdCtrls.h"
#include "ui/TxyGraph.h"

namespace taskwell {

class TfrmMain;

class TPerformancePage {
public:
    explicit TPerformancePage(TfrmMain& main) : main_(main) {}

    // Builds the page's groups, gauges, graphs and labels on tsPerformance.
    void Build();
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
    TfrmMain& main_;
};

}  // namespace taskwell
