// The Performance page, its history graphs and the status bar against the simulated machine.
#include "performance/PerformancePage.h"

#include <gtest/gtest.h>

#include "app/Main.h"
#include "support/SimFixture.h"

namespace taskwell {
namespace {

using testing::SimFixture;

struct PerfFixture : testing::MainWindowFixture {
    PerfFixture() { Create(); }
    TPerformancePage& Page() { return form->PerformancePage; }
};

// Each label shows its text (a failure names the label by its hint).
void ExpectCaptions(std::initializer_list<std::pair<const TLabel*, const char*>> expected) {
    for (const auto& [label, text] : expected) EXPECT_EQ(label->Caption(), text) << label->Hint;
}

TEST(PerformancePage, ShowsTheCPUFigureOnlyWhenItIsAPercentage) {
    struct Case {
        LONG usage;
        const char* text;
        int progress;
    };
    for (Case c :
         {Case{0, "0%", 0}, Case{57, "57%", 57}, Case{100, "100%", 100}, Case{101, "", 100}, Case{-1, "", 0}}) {
        PerfFixture f;
        f.form->Readings.CPUUsage = c.usage;
        f.form->PerformancePage.UpdatePerformancePage();
        EXPECT_EQ(f.Page().valueCPUUsage->Caption(), c.text) << c.usage;
        EXPECT_EQ(f.Page().ggCPUUsage->Progress(), c.progress) << c.usage;
    }
}

TEST(PerformancePage, MemoryUsageIsCommittedMemoryInPercentOfThePageFile) {
    struct Case {
        DWORDLONG committed, pageFile;
        LONG percent;
    };
    for (Case c : {Case{102400000, 307200000, 33}, Case{1024, 8192, 12},  // 12.5: halves go to even
                   Case{3072, 8192, 38}, Case{5 * 1024, 0, 0}, Case{5 * 1024, 1000, 0},  // less than 1 K is none
                   Case{600u * 1024 * 1024, 300u * 1024 * 1024, 100},  // figures read apart: held at 100
                   Case{3000000000u, 4000000000u, 75}, Case{6ull << 30, 26ull << 30, 23}})
        EXPECT_EQ(TPerformancePage::MemUsagePercent(c.committed, c.pageFile), c.percent)
            << c.committed << " of " << c.pageFile;
}

TEST(PerformancePage, ShowsTheMemoryFiguresInKilobytes) {
    PerfFixture f;
    f.machine.Memory.dwTotalPageFile = 307200000;
    f.machine.Memory.dwAvailPageFile = 3000000000u;  // above 2 GB: shown unsigned
    f.registry.SetStatValue("VMM\\cpgCommit", 102400000);
    f.registry.SetStatValue("VMM\\cpgDiskcache", 8 * 1024 * 1024);
    f.registry.SetStatValue("KERNEL\\Threads", 77);
    f.registry.SetStatValue("KERNEL\\VMs", 2);
    f.ui.Advance(2 * 1750);  // a poll, then a tick
    TPerformancePage& p = f.Page();
    EXPECT_EQ(p.valueMemUsage->Caption(), "100000K");
    EXPECT_EQ(p.ggMemUsage->Progress(), 33);
    EXPECT_EQ(f.form->sbMain->PanelText(2), "Mem Usage: 100000K / 300000K");
    ExpectCaptions({{p.valueVMs, "2"}, {p.valueThreads, "77"}, {p.valueProcesses, "4"},
                    {p.valuePageFileTotal, "300000"}, {p.valuePageFileAvailable, "2929687"}, {p.valuePMTotal, "65536"},
                    {p.valuePMAvail, "24576"}, {p.valuePMFileCache, "8192"}, {p.valueVirtualTotal, "2096128"},
                    {p.valueVirtualAvailable, "2048000"}, {p.valueCommit, "100000"}});
}

TEST(PerformancePage, OnAHostOfMoreThan4GBEveryMemoryFigureIsTheHosts) {
    PerfFixture f;
    // What Wine answers a large-address-aware program on a 24 GB host without swap, 6 GB committed:
    // the 32-bit record and the 4-byte commit statistic are capped, the extended status is not.
    f.machine.Memory = MEMORYSTATUS{32, 20, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFF7FFFF, 0x80000000, 0xFFFE0000, 0xF0000000};
    f.machine.MemoryEx = MEMORYSTATUSEX{64, 20, 24ull << 30, 19ull << 30, 24ull << 30, 18ull << 30,
                                        0xFFFE0000, 0xF0000000, 0};
    f.registry.SetStatValue("VMM\\cpgCommit", 0x7FFFFFFF);
    f.registry.SetStatValue("VMM\\cpgDiskcache", 300u << 20);
    f.form->PerformancePage.itmMemHistEnable->Click();
    f.ui.Advance(2 * 1750);  // polls, then ticks
    TPerformancePage& p = f.Page();
    ExpectCaptions({{p.valuePMTotal, "25165824"}, {p.valuePMAvail, "19922944"}, {p.valuePMFileCache, "307200"},
                    {p.valuePageFileTotal, "25165824"}, {p.valuePageFileAvailable, "18874368"},
                    {p.valueCommit, "6291456"}, {p.valueVirtualTotal, "4194176"},
                    {p.valueVirtualAvailable, "3932160"}, {p.valueMemUsage, "6291456K"}});
    EXPECT_EQ(p.ggMemUsage->Progress(), 25);
    EXPECT_EQ(p.histMemUsageHistory->Series(1).ValueAt(f.form->PerformancePage.MemHistoryCount - 1), 25);
    EXPECT_EQ(f.form->sbMain->PanelText(2), "Mem Usage: 6291456K / 25165824K");
    const std::string* log = f.files.Content(f.form->PerformancePage.MemLogFile);
    ASSERT_NE(log, nullptr);
    EXPECT_NE(log->rfind(",\"6442450944\"\r\n"), std::string::npos) << *log;
}

TEST(PerformancePage, IsBuiltWithItsCaptionsAndHints) {
    PerfFixture f;
    TPerformancePage& p = f.Page();
    EXPECT_EQ(p.gbCPUUsage->Caption(), " CPU Usage ");
    EXPECT_EQ(p.gbMemUsage->Caption(), " MEM Usage ");
    EXPECT_EQ(p.gbCPUHistory->Caption(), " CPU Usage History ");
    EXPECT_EQ(p.gbMemHistory->Caption(), " Memory Usage History ");
    struct Row {
        const TGroupBox* group;
        std::vector<std::pair<std::string, std::string>> captions;  // caption, hint
    };
    for (const Row& row :
         {Row{p.gbTotals, {{"VMs:", "Number of Virtual Machines"}, {"Threads", "Number of threads"},
                           {"Processes", "Number of processes."}}},
          Row{p.gbMemory,
              {{"Phys. Total", "Total physical memory (RAM)."}, {"Phys. Available", "Available physical memory (RAM)."},
               {"Disk Cache", "Disk Cache."}, {"Page File Total", "Total Page File."},
               {"Page File Avail.", "Available Page File"}, {"Commit", "Total Commited memory."}}},
          Row{p.gbVirtual, {{"Total", "Total virtual memory."}, {"Available", "Available virtual memory."}}}}) {
        size_t found = 0;
        for (auto& c : row.group->Controls()) {
            auto* label = dynamic_cast<const TLabel*>(c.get());
            if (!label || label->Alignment == TAlignment::taRightJustify) continue;
            ASSERT_LT(found, row.captions.size()) << row.group->Caption();
            EXPECT_EQ(label->Caption(), row.captions[found].first);
            EXPECT_EQ(label->Hint, row.captions[found].second);
            ++found;
        }
        EXPECT_EQ(found, row.captions.size()) << row.group->Caption();
    }
    EXPECT_EQ(p.valueCommit->Hint, "Total Commited memory.");
    EXPECT_EQ(p.valueCommit->Alignment, TAlignment::taRightJustify);
    // 14 points: 19 pixels high at 96 dpi, and as much larger as the screen's DPI.
    const TFont gaugeFont{.Name = "Courier New", .Size = 14, .Color = 0x00FF00, .Bold = true};
    EXPECT_EQ(p.valueCPUUsage->Font(), gaugeFont);
    EXPECT_EQ(p.valueMemUsage->Alignment, TAlignment::taCenter);
    EXPECT_EQ(p.pnlCPUGauge->Color, 0);
    // The graphs: fixed axes, the grid every 50 and 20, green on black, without the cross at zero.
    for (const TxyGraph* g : {p.histCPUUsageHistory, p.histMemUsageHistory}) {
        EXPECT_EQ(g->XAxis.Min, 0);
        EXPECT_EQ(g->XAxis.Max, 350);
        EXPECT_EQ(g->YAxis.Max, 100);
        EXPECT_EQ(g->XAxis.Step(), 50);
        EXPECT_EQ(g->YAxis.Step(), 20);
        EXPECT_FALSE(g->CrossAtZero);
        EXPECT_EQ(g->BackColor, 0x000000);
        EXPECT_EQ(g->AxisColor, 0x004000);
        EXPECT_EQ(g->Parent(), g == p.histCPUUsageHistory ? p.pnlCPUHistory : p.pnlMemHistory);
        EXPECT_EQ(g->Align(), TAlign::alClient);
    }
}

TEST(GraphAxis, StepFollowsTheRange) {
    struct Case {
        double min, max;
        bool autoStep;
        double stored, step;
    };
    for (Case c : {Case{0, 350, true, 1, 50}, Case{0, 100, false, 1, 20}, Case{0, 100, false, 10, 10},
                   Case{0, 100, false, -5, 20}, Case{0, 1000, true, 1, 200}, Case{0, 7, true, 1, 1}}) {
        TGraphAxis axis;
        axis.Min = c.min;
        axis.Max = c.max;
        axis.AutoStepping = c.autoStep;
        axis.StoredStep = c.stored;
        EXPECT_DOUBLE_EQ(axis.Step(), c.step) << c.max << " stored " << c.stored;
    }
}

TEST(HistoryGraphs, FillFromTheLeftThenScrollByOne) {
    TxyGraph graph;
    LONG count = 0;
    auto xs = [&] {
        std::vector<double> out;
        for (auto& p : graph.Series(1).Points()) out.push_back(p.first);
        return out;
    };
    TPerformancePage::AppendHistorySample(graph, count, 7);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(graph.Series(1).Points(), (std::vector<std::pair<double, double>>{{0, 7}}));
    for (LONG v = 1; v < 349; ++v) TPerformancePage::AppendHistorySample(graph, count, v);
    EXPECT_EQ(count, 349);
    EXPECT_EQ(xs().back(), 348);
    TPerformancePage::AppendHistorySample(graph, count, 120);  // the 350th: kept whole, drawn clipped
    EXPECT_EQ(count, 350);
    EXPECT_EQ(graph.Series(1).Count(), 350);
    EXPECT_EQ(graph.Series(1).ValueAt(349), 120);
    TPerformancePage::AppendHistorySample(graph, count, 55);  // the 351st scrolls
    EXPECT_EQ(count, 350);
    EXPECT_EQ(graph.Series(1).Count(), 350);
    EXPECT_EQ(graph.Series(1).ValueAt(0), 1);  // the first sample (7) is gone
    EXPECT_EQ(graph.Series(1).ValueAt(348), 120);
    EXPECT_EQ(graph.Series(1).ValueAt(349), 55);
    std::vector<double> expected;
    for (int x = 0; x < 350; ++x) expected.push_back(x);
    EXPECT_EQ(xs(), expected);
}

TEST(HistoryGraphs, RepaintOnceOrTwicePerSampleNotPerPoint) {
    TxyGraph graph;
    LONG count = 350;
    for (int x = 0; x < 350; ++x) graph.Series(1).Add(x, x % 100);
    const int before = graph.Repaints();
    TPerformancePage::AppendHistorySample(graph, count, 3);
    EXPECT_LE(graph.Repaints() - before, 2);
    EXPECT_GE(graph.Repaints() - before, 1);
}

TEST(HistoryGraphs, AdvanceOnEveryTickWhateverPageIsShownAndOnlyOnRefreshNowWhilePaused) {
    PerfFixture f;
    const LONG afterCreation = f.form->PerformancePage.CPUHistoryCount;
    EXPECT_EQ(afterCreation, 2);  // the tick of creation and the page's first fill
    f.form->pcMain->SelectPage(1);
    f.ui.Advance(3 * 1750);
    EXPECT_EQ(f.form->PerformancePage.CPUHistoryCount, afterCreation + 3);
    EXPECT_EQ(f.form->PerformancePage.MemHistoryCount, afterCreation + 3);
    f.form->itmUpdateSpeedPausedClick();
    f.ui.Advance(20000);
    EXPECT_EQ(f.form->PerformancePage.CPUHistoryCount, afterCreation + 3);
    f.form->itmRefreshNowClick();
    EXPECT_EQ(f.form->PerformancePage.CPUHistoryCount, afterCreation + 4);
    EXPECT_EQ(f.Page().histCPUUsageHistory->Series(1).Count(), afterCreation + 4);
}

TEST(PerformancePage, FollowsTheReadersValues) {
    PerfFixture f;
    f.registry.SetStatValue("KERNEL\\CPUUsage", 42);
    f.ui.Advance(2 * 1750);
    EXPECT_EQ(f.form->Readings.CPUUsage, 42);
    EXPECT_EQ(f.Page().valueCPUUsage->Caption(), "42%");
    EXPECT_EQ(f.form->sbMain->PanelText(1), "CPU Usage: 42%");
    EXPECT_EQ(f.Page().histCPUUsageHistory->Series(1).ValueAt(f.form->PerformancePage.CPUHistoryCount - 1), 42);
}

}  // namespace
}  // namespace taskwell
