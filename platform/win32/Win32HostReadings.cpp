#include "platform/win32/Win32HostReadings.h"

#include "platform/win32/Win32SystemFunction.h"

namespace taskwell::win32 {

namespace {

std::uint64_t Ticks(const ::FILETIME& t) {
    return (static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

}  // namespace

Win32HostReadings::Win32HostReadings() {
    getSystemTimes_ = SystemFunction<GetSystemTimesFn>("kernel32.dll", "GetSystemTimes");
    if (!getSystemTimes_) return;  // Windows 95/98: the system publishes its own statistics
    getPerformanceInfo_ = SystemFunction<GetPerformanceInfoFn>("kernel32.dll", "K32GetPerformanceInfo");
    if (!getPerformanceInfo_) {
        // Older systems of the NT family have it in psapi.dll only.
        psapi_ = LoadSystemLibrary("psapi.dll");
        getPerformanceInfo_ = SystemFunction<GetPerformanceInfoFn>(psapi_, "GetPerformanceInfo");
    }
    offered_ = {EmulatedStat::CPUUsage, EmulatedStat::Threads, EmulatedStat::VMs};
    if (getPerformanceInfo_) offered_.insert({EmulatedStat::DiskCache, EmulatedStat::Commit});
}

Win32HostReadings::~Win32HostReadings() {
    if (psapi_) ::FreeLibrary(psapi_);
}

bool Win32HostReadings::CpuTimes(EmulatedStatistics::CpuTimes& times) const {
    ::FILETIME idle{}, kernel{}, user{};
    if (!getSystemTimes_ || !getSystemTimes_(&idle, &kernel, &user)) return false;
    times.idle = Ticks(idle);
    times.kernel = Ticks(kernel);
    times.user = Ticks(user);
    return true;
}

bool Win32HostReadings::PerformanceInfo(::PERFORMANCE_INFORMATION& info) const {
    if (!getPerformanceInfo_) return false;
    if (!sharedHeld_ || ::GetTickCount() - sharedAt_ >= kSharedReadingMs) {
        ::PERFORMANCE_INFORMATION fresh{};
        fresh.cb = sizeof fresh;
        // A refused reading is not kept: the next statistic asks the system again.
        sharedHeld_ = false;
        if (!getPerformanceInfo_(&fresh, sizeof fresh)) return false;
        shared_ = fresh;
        // Counted from when the reading came back: one that took longer than kSharedReadingMs
        // (hundreds of processes, a busy machine) still serves the rest of its pass.
        sharedAt_ = ::GetTickCount();
        sharedHeld_ = true;
    }
    info = shared_;
    return true;
}

bool Win32HostReadings::ThreadCount(std::uint64_t& count) const {
    // The system's own count where the performance information carries one (the reading the memory
    // statistics of the same pass use), else the sum over the process list.
    ::PERFORMANCE_INFORMATION info{};
    if (PerformanceInfo(info) && info.ThreadCount > 0) {
        count = info.ThreadCount;
        return true;
    }
    return ListedThreadCount(count);
}

bool Win32HostReadings::ListedThreadCount(std::uint64_t& count) const {
    // Each entry of the process list carries its process's thread count.
    if (!processes_.Take(listed_)) return false;
    std::uint64_t n = 0;
    for (const taskwell::PROCESSENTRY32& entry : listed_) n += entry.cntThreads;
    count = n;
    return n > 0;  // a list without even our own thread is no reading
}

bool Win32HostReadings::MemoryPages(std::uint64_t& committed, std::uint64_t& cache, std::uint64_t& pageSize) const {
    ::PERFORMANCE_INFORMATION info{};
    if (!PerformanceInfo(info)) return false;
    committed = info.CommitTotal;
    cache = info.SystemCache;
    pageSize = info.PageSize;
    return true;
}

}  // namespace taskwell::win32
