// The performance monitor's own cost against the simulated machine: one polling pass over the five
// statistics readers (five registry readings), one update of the Performance page with both history
// graphs full (every sample moves one place: linear in the 350 points), and one usage-log line.
#include <benchmark/benchmark.h>

#include "app/Main.h"
#include "bench/BenchMachine.h"

namespace taskwell {
namespace {

struct Shown : bench::Machine {
    TfrmMain form{app, platform};
    Shown() : Machine(32) {}
};

void BM_PollingPassOverFiveReaders(benchmark::State& state) {
    Shown m;
    TPerfStats* readers[] = {&m.form.Readers.PerfStatsCPU, &m.form.Readers.PerfStatsThreads,
                             &m.form.Readers.PerfStatsVMs, &m.form.Readers.PerfStatsDiskCache,
                             &m.form.Readers.PerfStatsCommit};
    DWORD value = 0;
    for (auto _ : state) {
        m.registry.SetStatValue("KERNEL\\CPUUsage", ++value % 100);
        for (TPerfStats* r : readers) r->Tick();
    }
}
BENCHMARK(BM_PollingPassOverFiveReaders);

void BM_UpdatePerformancePageGraphsFull(benchmark::State& state) {
    Shown m;
    // Both graphs full: every further sample scrolls them.
    for (int i = 0; i < TPerformancePage::HistoryLength; ++i) m.form.PerformancePage.UpdatePerformancePage();
    LONG usage = 0;
    for (auto _ : state) {
        m.form.Readings.CPUUsage = ++usage % 100;
        m.form.PerformancePage.UpdatePerformancePage();
    }
}
BENCHMARK(BM_UpdatePerformancePageGraphsFull);

// One sample into a full graph: all 350 points move one place.
void BM_AppendHistorySampleScrolling(benchmark::State& state) {
    TxyGraph graph;
    LONG count = 0;
    for (int i = 0; i < TPerformancePage::HistoryLength; ++i)
        TPerformancePage::AppendHistorySample(graph, count, i % 100);
    LONG value = 0;
    for (auto _ : state) TPerformancePage::AppendHistorySample(graph, count, ++value % 100);
}
BENCHMARK(BM_AppendHistorySampleScrolling);

void BM_OneLogLine(benchmark::State& state) {
    Shown m;
    m.form.PerformancePage.itmCPUHistEnabled->SetChecked(true);
    for (auto _ : state) m.form.PerformancePage.LogUsageHistory();
}
BENCHMARK(BM_OneLogLine);

}  // namespace
}  // namespace taskwell
