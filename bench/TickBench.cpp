// The refresh tick's own cost against the simulated machine, whose calls cost next to nothing, so
// what is measured is the program's work: reconciling N processes and refreshing the status bar.
#include <benchmark/benchmark.h>

#include "app/Main.h"
#include "bench/BenchMachine.h"

namespace taskwell {
namespace {

using bench::Machine;

void BM_TickUnchanged(benchmark::State& state) {
    Machine m(static_cast<int>(state.range(0)));
    TfrmMain form(m.app, m.platform);
    for (auto _ : state) form.tmrRefreshTimer();
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_TickUnchanged)->RangeMultiplier(4)->Range(16, 1024)->Complexity(benchmark::oN);

// One process ends and one starts between every two ticks.
void BM_TickOneExitOneStart(benchmark::State& state) {
    Machine m(static_cast<int>(state.range(0)));
    TfrmMain form(m.app, m.platform);
    int next = 0;
    for (auto _ : state) {
        m.machine.RemoveProcess(m.machine.Processes().front().th32ProcessID);
        m.machine.AddProcess("C:\\APPS\\NEW" + std::to_string(next++) + ".EXE");
        form.tmrRefreshTimer();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_TickOneExitOneStart)->RangeMultiplier(4)->Range(16, 1024)->Complexity(benchmark::oN);

}  // namespace
}  // namespace taskwell
