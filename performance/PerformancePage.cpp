#include "performance/PerformancePage.h"

#include <cmath>
#include <string>
#include <algorithm>
#include <iterator>
#include <tuple>


namespace taskwell {

namespace {
constexpr int kLeftColumnWidth = 110;
constexpr int kBottomHeight = 150;
constexpr int kGaugeLabelHeight = 22;
constexpr int kGaugeMargin = 8;
constexpr int kRowTop = 18;
constexpr int kRowPitch = 20;
constexpr int kBlack = 0x000000;
constexpr int kLime = 0x00FF00;        // RGB(0, 255, 0) as 0xBBGGRR
constexpr int kGridGreen = 0x004000;   // RGB(0, 64, 0)

// One labelled figure of the bottom groups: its caption, the field holding its value, its hint.
struct FigureRow {
    const char* caption;
    TLabel* TPerformancePage::*value;
    const char* hint;
};
constexpr FigureRow kTotals[] = {
    {"VMs:", &TPerformancePage::valueVMs, "Number of Virtual Machines"},
    {"Threads", &TPerformancePage::valueThreads, "Number of threads"},
    {"Processes", &TPerformancePage::valueProcesses, "Number of processes."},
};
constexpr FigureRow kMemory[] = {
    {"Phys. Total", &TPerformancePage::valuePMTotal, "Total physical memory (RAM)."},
    {"Phys. Available", &TPerformancePage::valuePMAvail, "Available physical memory (RAM)."},
    {"Disk Cache", &TPerformancePage::valuePMFileCache, "Disk Cache."},
    {"Page File Total", &TPerformancePage::valuePageFileTotal, "Total Page File."},
    {"Page File Avail.", &TPerformancePage::valuePageFileAvailable, "Available Page File"},
    {"Commit", &TPerformancePage::valueCommit, "Total Commited memory."},
};
constexpr FigureRow kVirtual[] = {
    {"Total", &TPerformancePage::valueVirtualTotal, "Total virtual memory."},
    {"Available", &TPerformancePage::valueVirtualAvailable, "Available virtual memory."},
};

std::string Kilobytes(DWORDLONG bytes) {
    return std::to_string(bytes / 1024);
}
}  // namespace

constexpr const char* kLogsKey = "Logs";

TPerformancePage::TPerformancePage(TPageFrame& frame, TApplication& app, const Platform& platform)
    : UsageLogs(*this, frame, app, platform), frame_(frame) {}

void TPerformancePage::BuildMenu(TMenuItem& menuBar) {
    itmEvents = &menuBar.Add("&Events");
    itmLogCPU = &itmEvents->Add("Log CPU Usage History");
    itmCPUHistEnabled = AddCheckItem(*itmLogCPU, "Enabled", false);
    itmCPUHistChoose = &itmLogCPU->Add("Choose log file");
    itmLogMem = &itmEvents->Add("Log Memory Usage History");
    itmMemHistEnable = AddCheckItem(*itmLogMem, "Enabled", false);
    itmMemHistChoose = &itmLogMem->Add("Choose log file");
    itmCPUHistEnabled->OnClick = [this] { UsageLogs.itmCPUHistEnabledClick(); };
    itmMemHistEnable->OnClick = [this] { UsageLogs.itmMemHistEnableClick(); };
    itmCPUHistChoose->OnClick = [this] { UsageLogs.itmCPUHistChooseClick(); };
    itmMemHistChoose->OnClick = [this] { UsageLogs.itmMemHistChooseClick(); };
}

void TPerformancePage::ShowMenus(bool shown) {
    itmEvents->SetVisible(shown);
}

void TPerformancePage::SetDefaultLogFiles() {
    CPULogFile = frame_.ProgramDirectory() + "CPU_Usage.Log";
    MemLogFile = frame_.ProgramDirectory() + "Mem_Usage.Log";
}

void TPerformancePage::ResetHistories() {
    CPUHistoryCount = 0;
    MemHistoryCount = 0;
    SetCrossAtZero(false);
}

void TPerformancePage::LoadSettings(TRegistryEnhanced& reg) {
    reg.Key = SettingsKey(kLogsKey);
    itmCPUHistEnabled->SetChecked(reg.ReadBool("CPU", itmCPUHistEnabled->Checked()));
    if (std::string path = reg.ReadString("CPU_Logfile", CPULogFile); !path.empty()) CPULogFile = path;
    itmMemHistEnable->SetChecked(reg.ReadBool("Mem", itmMemHistEnable->Checked()));
    if (std::string path = reg.ReadString("Mem_Logfile", MemLogFile); !path.empty()) MemLogFile = path;
}

void TPerformancePage::SaveSettings(TRegistryEnhanced& reg, const TSettingWriter& save) const {
    reg.Key = SettingsKey(kLogsKey);
    save("CPU", itmCPUHistEnabled->Checked());
    save("CPU_Logfile", CPULogFile);
    save("Mem", itmMemHistEnable->Checked());
    save("Mem_Logfile", MemLogFile);
}

void TPerformancePage::LogUsageHistory() {
    UsageLogs.LogUsageHistory();
}

void TPerformancePage::Build(TTabSheet& page) {
    pnlPerfBottom = &page.Add<TPanel>();
    pnlPerfBottom->SetHeight(page.Scaled(kBottomHeight));
    pnlPerfBottom->SetAlign(TAlign::alBottom);
    pnlPerfLeft = &page.Add<TPanel>();
    pnlPerfLeft->SetWidth(page.Scaled(kLeftColumnWidth));
    pnlPerfLeft->SetAlign(TAlign::alLeft);
    pnlPerfRight = &page.Add<TPanel>();
    pnlPerfRight->SetAlign(TAlign::alClient);

    gbCPUUsage = &pnlPerfLeft->Add<TGroupBox>(" CPU Usage ");
    gbMemUsage = &pnlPerfLeft->Add<TGroupBox>(" MEM Usage ");
    gbCPUHistory = &pnlPerfRight->Add<TGroupBox>(" CPU Usage History ");
    gbMemHistory = &pnlPerfRight->Add<TGroupBox>(" Memory Usage History ");
    gbTotals = &pnlPerfBottom->Add<TGroupBox>(" Totals ");
    gbMemory = &pnlPerfBottom->Add<TGroupBox>(" Memory (K) ");
    gbVirtual = &pnlPerfBottom->Add<TGroupBox>(" Virtual (K) ");
    gbTotals->SetDesignBounds(0, 2, 130, 148);
    gbMemory->SetDesignBounds(134, 2, 150, 148);
    gbVirtual->SetDesignBounds(288, 2, 126, 148);

    // A gauge in a black panel above its figure in bold 14-point lime Courier New (19 pixels high
    // at 96 dpi).
    auto gaugePanel = [](TGroupBox& group, TPanel*& panel, TGauge*& gauge, TLabel*& value) {
        panel = &group.Add<TPanel>();
        panel->Color = kBlack;
        panel->SetAlign(TAlign::alClient);
        value = &panel->Add<TLabel>("", TAlignment::taCenter);
        value->SetHeight(value->Scaled(kGaugeLabelHeight));
        value->SetAlign(TAlign::alBottom);
        value->SetFont(TFont{.Name = "Courier New", .Size = 14, .Color = kLime, .Bold = true});
        gauge = &panel->Add<TGauge>();
        gauge->SetDesignBounds(kGaugeMargin, kGaugeMargin, 10, 10);
    };
    gaugePanel(*gbCPUUsage, pnlCPUGauge, ggCPUUsage, valueCPUUsage);
    gaugePanel(*gbMemUsage, pnlMemGauge, ggMemUsage, valueMemUsage);
    ggCPUUsage->Name = "ggCPUUsage";
    ggMemUsage->Name = "ggMemUsage";
    valueCPUUsage->Name = "valueCPUUsage";
    valueMemUsage->Name = "valueMemUsage";

    // A history graph fills its black panel, which fills its group.
    auto historyPanel = [](TGroupBox& group, TPanel*& panel, TxyGraph*& graph) {
        panel = &group.Add<TPanel>();
        panel->Color = kBlack;
        panel->SetAlign(TAlign::alClient);
        graph = &panel->Add<TxyGraph>();
        graph->SetAlign(TAlign::alClient);
        graph->BackColor = kBlack;
        graph->AxisColor = kGridGreen;
        graph->XAxis = TGraphAxis{0, HistoryLength, true, true, true, 1, true};
        graph->YAxis = TGraphAxis{0, 100, true, true, false, 1, true};
        graph->Y2Axis.Visible = false;
        TDataSeries& series = graph->Series(1);
        series.LineColor = kLime;
        series.PointMarkers = false;
    };
    historyPanel(*gbCPUHistory, pnlCPUHistory, histCPUUsageHistory);
    historyPanel(*gbMemHistory, pnlMemHistory, histMemUsageHistory);
    histCPUUsageHistory->Name = "histCPUUsageHistory";
    histMemUsageHistory->Name = "histMemUsageHistory";

    // Captions on the left, values right-aligned on the right; caption and value share the hint.
    auto figures = [this](TGroupBox& group, const FigureRow* rows, size_t count) {
        const int width = group.Width();
        const int margin = group.Scaled(8), height = group.Scaled(15);
        const int captionWidth = (width - 2 * margin) * 3 / 5;
        for (size_t i = 0; i < count; ++i) {
            const int top = group.Scaled(kRowTop + kRowPitch * static_cast<int>(i));
            TLabel& caption = group.Add<TLabel>(rows[i].caption);
            caption.SetBounds(margin, top, captionWidth, height);
            caption.Hint = rows[i].hint;
            TLabel& value = group.Add<TLabel>("0", TAlignment::taRightJustify);
            value.SetBounds(margin + captionWidth, top, width - 2 * margin - captionWidth, height);
            value.Hint = rows[i].hint;
            this->*rows[i].value = &value;
        }
    };
    figures(*gbTotals, kTotals, std::size(kTotals));
    figures(*gbMemory, kMemory, std::size(kMemory));
    figures(*gbVirtual, kVirtual, std::size(kVirtual));
}

void TPerformancePage::SetCrossAtZero(bool on) {
    histCPUUsageHistory->CrossAtZero = on;
    histMemUsageHistory->CrossAtZero = on;
}

void TPerformancePage::Layout() {
    const int column = pnlPerfLeft->ClientHeight();
    const int gap = pnlPerfLeft->Scaled(2), indent = pnlPerfLeft->Scaled(4);
    gbCPUUsage->SetBounds(0, 0, pnlPerfLeft->ClientWidth(), column / 2);
    gbMemUsage->SetBounds(0, gbCPUUsage->Height() + gap, pnlPerfLeft->ClientWidth(), column - gbCPUUsage->Height() - gap);
    gbCPUHistory->SetBounds(indent, 0, pnlPerfRight->ClientWidth() - indent, column / 2);
    gbMemHistory->SetBounds(indent, gbCPUHistory->Height() + gap, pnlPerfRight->ClientWidth() - indent,
                            column - gbCPUHistory->Height() - gap);
    for (auto [panel, gauge, value] : {std::tuple{pnlCPUGauge, ggCPUUsage, valueCPUUsage},
                                       std::tuple{pnlMemGauge, ggMemUsage, valueMemUsage}}) {
        gauge->SetBounds(gauge->Left(), gauge->Top(), std::max(panel->ClientWidth() - 2 * gauge->Left(), 0),
                         std::max(panel->ClientHeight() - value->Height() - 2 * gauge->Top(), 0));
    }
}

LONG TPerformancePage::MemUsagePercent(DWORDLONG committedBytes, DWORDLONG totalPageFileBytes) {
    // The divisor is the page file in kilobytes: a page file under 1 KB is as none.
    const DWORDLONG totalK = totalPageFileBytes / 1024;
    if (totalK == 0) return 0;
    const double percent = (static_cast<double>(committedBytes / 1024) * 100.0) / static_cast<double>(totalK);
    return static_cast<LONG>(std::min(std::nearbyint(percent), 100.0));
}

void TPerformancePage::AppendHistorySample(TxyGraph& graph, LONG& count, LONG value) {
    TDataSeries& series = graph.Series(1);
    graph.SetPlotting(false);
    series.Hold();
    if (count < HistoryLength) {
        series.Add(count, value);
        ++count;
    } else {
        for (int x = 0; x < HistoryLength - 1; ++x) {
            const double next = series.ValueAt(x + 1);
            series.Delete(x);
            series.Add(x, next);
        }
        series.Delete(HistoryLength - 1);
        series.Add(HistoryLength - 1, value);
    }
    graph.SetPlotting(true);
    series.Release();
}

void TPerformancePage::UpdatePerformancePage() {
    const TSharedReadings& r = frame_.Latest();
    const TSysInfoComp& info = frame_.Facts();
    // 1, 2.
    ggCPUUsage->SetProgress(r.CPUUsage);
    valueCPUUsage->SetCaption(r.CPUUsage >= 0 && r.CPUUsage <= 100 ? std::to_string(r.CPUUsage) + "%" : "");
    AppendHistorySample(*histCPUUsageHistory, CPUHistoryCount, r.CPUUsage);
    // 3, 4, 5.
    const LONG memPercent = MemUsagePercent(r.CommittedBytes, info.msTotalPageFile());
    ggMemUsage->SetProgress(memPercent);
    valueMemUsage->SetCaption(Kilobytes(r.CommittedBytes) + "K");
    AppendHistorySample(*histMemUsageHistory, MemHistoryCount, memPercent);
    // 6.
    valueVMs->SetCaption(std::to_string(r.VMCount));
    valueThreads->SetCaption(std::to_string(r.ThreadCount));
    valueProcesses->SetCaption(std::to_string(r.ProcessCount));
    valuePageFileTotal->SetCaption(Kilobytes(info.msTotalPageFile()));
    valuePageFileAvailable->SetCaption(Kilobytes(info.msAvailPageFile()));
    valuePMTotal->SetCaption(Kilobytes(info.msTotalPhys()));
    valuePMAvail->SetCaption(Kilobytes(info.msAvailPhys()));
    valuePMFileCache->SetCaption(Kilobytes(r.DiskCacheBytes));
    valueVirtualTotal->SetCaption(Kilobytes(info.msTotalVirtual()));
    valueVirtualAvailable->SetCaption(Kilobytes(info.msAvailVirtual()));
    valueCommit->SetCaption(Kilobytes(r.CommittedBytes));
}

}  // namespace taskwell
