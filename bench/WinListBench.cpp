// The Applications page's costs for N task windows: a scan that finds the same windows, a scan that
// rebuilds the list (every window's handle reused by another thread), the synchronisation that
// follows a rebuild, one window going and another coming, and the status refresh of the tick.
#include <benchmark/benchmark.h>

#include <deque>

#include "app/Main.h"
#include "bench/BenchMachine.h"

namespace taskwell {
namespace {

constexpr DWORD kTaskStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct Tasks : bench::Machine {
    std::vector<HWND> handles;
    TfrmMain form{app, platform};
    explicit Tasks(int windowCount) : Machine(windowCount) {
        // One window per program, each on a thread of its own.
        int i = 0;
        for (const sim::SimProcess& p : machine.Processes()) {
            sim::SimWindow w;
            w.caption = "Document " + std::to_string(i) + " - Program";
            w.className = "Frame";
            w.style = kTaskStyle;
            w.visible = true;
            w.processId = p.th32ProcessID;
            w.threadId = 0x1000 + static_cast<DWORD>(i++);
            handles.push_back(windows.AddWindow(w));
        }
        form.ApplicationsList.Refresh();
        form.ApplicationsPage.ApplicationsListChanged();
    }
    // Every window's thread changes: the next scan rebuilds the whole list.
    void NewThreads(DWORD round) {
        for (HWND h : handles) windows.Find(h)->threadId ^= round << 16;
    }
};

void BM_WinListRefreshUnchanged(benchmark::State& state) {
    Tasks tasks(static_cast<int>(state.range(0)));
    for (auto _ : state) tasks.form.ApplicationsList.Refresh();
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_WinListRefreshUnchanged)->Arg(16)->Arg(64)->Arg(300)->Arg(1000)->Complexity(benchmark::oN);

void BM_WinListRefreshRebuilding(benchmark::State& state) {
    Tasks tasks(static_cast<int>(state.range(0)));
    DWORD round = 0;
    for (auto _ : state) {
        tasks.NewThreads(++round);
        tasks.form.ApplicationsList.Refresh();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_WinListRefreshRebuilding)->Arg(16)->Arg(64)->Arg(300)->Complexity(benchmark::oN);

void BM_ApplicationsListChangedAllNew(benchmark::State& state) {
    Tasks tasks(static_cast<int>(state.range(0)));
    DWORD round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        tasks.NewThreads(++round);
        tasks.form.ApplicationsList.Refresh();
        state.ResumeTiming();
        tasks.form.ApplicationsPage.ApplicationsListChanged();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_ApplicationsListChangedAllNew)->Arg(16)->Arg(64)->Arg(300)->Complexity(benchmark::oN);

// One window goes and another comes among N: the scan that rebuilds the list (only the new window is
// read), and the synchronisation that follows (one row removed, one placed by a binary search).
void BM_OneWindowGoesAndOneComes(benchmark::State& state) {
    Tasks tasks(static_cast<int>(state.range(0)));
    const bool sync = state.range(1) != 0;
    std::deque<HWND> shown(tasks.handles.begin(), tasks.handles.end());
    const DWORD pid = tasks.machine.Processes().front().th32ProcessID;
    int next = 0;
    for (auto _ : state) {
        state.PauseTiming();
        tasks.windows.RemoveWindow(shown.front());
        shown.pop_front();
        sim::SimWindow w;
        w.caption = "Newcomer " + std::to_string(next++ % 1000) + " - Program";
        w.className = "Frame";
        w.style = kTaskStyle;
        w.visible = true;
        w.processId = pid;
        w.threadId = 0x8000 + static_cast<DWORD>(next);
        shown.push_back(tasks.windows.AddWindow(w));
        if (sync) {
            tasks.form.ApplicationsList.Refresh();
            state.ResumeTiming();
            tasks.form.ApplicationsPage.ApplicationsListChanged();
        } else {
            state.ResumeTiming();
            tasks.form.ApplicationsList.Refresh();
        }
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_OneWindowGoesAndOneComes)
    ->ArgNames({"windows", "sync"})
    ->Args({16, 0})
    ->Args({300, 0})
    ->Args({16, 1})
    ->Args({300, 1});

void BM_UpdateTaskStatus(benchmark::State& state) {
    Tasks tasks(static_cast<int>(state.range(0)));
    for (auto _ : state) tasks.form.ApplicationsPage.UpdateTaskStatus();
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_UpdateTaskStatus)->Arg(16)->Arg(64)->Arg(300)->Complexity(benchmark::oN);

}  // namespace
}  // namespace taskwell
