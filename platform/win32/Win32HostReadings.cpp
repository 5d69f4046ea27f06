#include "platform/win32/Win32HostReadings.h"

#include <psapi.h>

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
        // Older systems of the NT family have it in psapi.dll only. A missing library must not
        // bring up the system's "file not found" box.
        const ::UINT oldMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
        psapi_ = ::LoadLibraryA("psapi.dll");
        ::SetErrorMode(oldMode);
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

bool Win32HostReadings::ThreadCount(std::uint64_t& count) const {
    // The threads of every process, from a process snapshot: each entry carries its process's
    // thread count. A thread snapshot would list the same threads one by one, at about three times
    // the cost under Wine, and this reading is taken on every polling pass.
    ::HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    // The system's "no snapshot" has all bits set.
    if (reinterpret_cast<std::intptr_t>(snap) == -1 || !snap) return false;
    ::PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    std::uint64_t n = 0;
    for (::BOOL ok = ::Process32First(snap, &entry); ok; ok = ::Process32Next(snap, &entry)) {
        n += entry.cntThreads;
        entry.dwSize = sizeof entry;
    }
    ::CloseHandle(snap);
    count = n;
    return n > 0;  // a snapshot without even our own thread is no reading
}

bool Win32HostReadings::MemoryPages(std::uint64_t& committed, std::uint64_t& cache, std::uint64_t& pageSize) const {
    ::PERFORMANCE_INFORMATION info{};
    info.cb = sizeof info;
    if (!getPerformanceInfo_ || !getPerformanceInfo_(&info, sizeof info)) return false;
    committed = info.CommitTotal;
    cache = info.SystemCache;
    pageSize = info.PageSize;
    return true;
}

}  // namespace taskwell::win32
