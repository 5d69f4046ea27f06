// The running system's own readings of the facts behind the performance statistics, for hosts that
// do not publish the statistics themselves: processor times (GetSystemTimes), the number of threads
// and the memory counters (GetPerformanceInfo, in kernel32 as K32GetPerformanceInfo or in
// psapi.dll; without it the threads are counted over the process list, Win32ProcessQuery).
//
// A polling pass reads the thread count, the disk cache and the committed memory one after another,
// milliseconds apart, and each performance information call costs about a millisecond under Wine
// (it lists every process): a reading serves every statistic read within kSharedReadingMs after it
// came back.
//
// GetSystemTimes and GetPerformanceInfo do not exist on Windows 95/98, which publish the statistics
// in their registry: both are looked up at run time, so the program still loads there, and a host
// without GetSystemTimes is offered no statistic at all (nothing is emulated on Windows 95/98).
// Made on first use; lookups happen once.
#pragma once

#include <cstdint>
#include <vector>

#include "components/EmulatedStatKeys.h"
#include "components/EmulatedStatistics.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32ProcessQuery.h"

#include <psapi.h>

namespace taskwell::win32 {

class Win32HostReadings {
public:
    Win32HostReadings();
    ~Win32HostReadings();
    Win32HostReadings(const Win32HostReadings&) = delete;
    Win32HostReadings& operator=(const Win32HostReadings&) = delete;

    // The statistics this host can work out: none without GetSystemTimes; the processor, thread and
    // virtual machine statistics with it; the two memory statistics when GetPerformanceInfo exists.
    const EmulatedStatKeys::Offered& Offered() const { return offered_; }

    // False when the system refuses the reading this time.
    bool CpuTimes(EmulatedStatistics::CpuTimes& times) const;
    bool ThreadCount(std::uint64_t& count) const;
    bool MemoryPages(std::uint64_t& committed, std::uint64_t& cache, std::uint64_t& pageSize) const;

    // How long one performance information reading serves, in milliseconds: far below the shortest
    // polling interval (750 ms), far above the time between the reads of one pass.
    static constexpr ::DWORD kSharedReadingMs = 50;

private:
    // The system's performance information, or the reading that came back less than kSharedReadingMs ago.
    bool PerformanceInfo(::PERFORMANCE_INFORMATION& info) const;
    // The thread count summed over the process list, for hosts without performance information.
    bool ListedThreadCount(std::uint64_t& count) const;

    using GetSystemTimesFn = ::BOOL(WINAPI*)(::FILETIME*, ::FILETIME*, ::FILETIME*);
    using GetPerformanceInfoFn = ::BOOL(WINAPI*)(void*, ::DWORD);

    GetSystemTimesFn getSystemTimes_ = nullptr;
    GetPerformanceInfoFn getPerformanceInfo_ = nullptr;
    ::HMODULE psapi_ = nullptr;  // loaded by us, freed when we go
    EmulatedStatKeys::Offered offered_;
    // The process list of the NT family (every host that is offered statistics has it), and the
    // entries of its last reading, whose storage is reused.
    mutable Win32ProcessQuery processes_{Win32ProcessQuery::SystemQuery()};
    mutable std::vector<taskwell::PROCESSENTRY32> listed_;
    // The last performance information reading and the tick count when it came back.
    mutable ::PERFORMANCE_INFORMATION shared_{};
    mutable ::DWORD sharedAt_ = 0;
    mutable bool sharedHeld_ = false;
};

}  // namespace taskwell::win32
