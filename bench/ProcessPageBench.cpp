// The Processes page's share of the refresh tick, with the page shown and the default columns:
// a tick where nothing changed, a tick where every thread count changes while the rows are sorted
// by "Threads" (every row's cell and the order change), and a header click (all rows rebuilt).
#include <benchmark/benchmark.h>

#include "app/Main.h"
#include "bench/BenchMachine.h"

namespace taskwell {
namespace {

struct PageShown : bench::Machine {
    TfrmMain form{app, platform};
    explicit PageShown(int processes) : Machine(processes) {
        form.Show();
        form.pcMain->SelectPage(1);
        form.tmrRefreshTimer();
    }
};

void BM_ProcessPageTickUnchanged(benchmark::State& state) {
    PageShown page(static_cast<int>(state.range(0)));
    for (auto _ : state) page.form.tmrRefreshTimer();
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ProcessPageTickUnchanged)->RangeMultiplier(4)->Range(16, 4096)->Arg(5120)->Complexity(benchmark::oN);

void BM_ProcessPageTickThreadsResorted(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    PageShown page(n);
    page.form.ProcessPage.SortColumn = 5;  // "Threads", ascending
    int round = 0;
    for (auto _ : state) {
        // A new thread count for every process, in a new order each round.
        ++round;
        int i = 0;
        for (sim::SimProcess& p : page.machine.Processes())
            p.cntThreads = static_cast<DWORD>((i++ * 7 + round * 13) % n + 1);
        page.form.tmrRefreshTimer();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ProcessPageTickThreadsResorted)->RangeMultiplier(4)->Range(16, 1024)->Complexity(benchmark::oN);

void BM_ProcessPageHeaderClick(benchmark::State& state) {
    PageShown page(static_cast<int>(state.range(0)));
    constexpr int kThreadsColumn = 2;  // PID, Image Name, Threads, ...
    for (auto _ : state) page.form.ProcessPage.sagProcessesColumnClick(kThreadsColumn);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ProcessPageHeaderClick)->RangeMultiplier(4)->Range(16, 1024)->Complexity(benchmark::oN);

}  // namespace
}  // namespace taskwell
