// The running system's own readings of the facts behind the performance statistics, for hosts that
// do not publish the statistics themselves: processor times (GetSystemTimes), the number of threads
// (a toolhelp thread snapshot) and the memory counters (GetPerformanceInfo, in kernel32 as
// K32GetPerformanceInfo or in psapi.dll).
//
// GetSystemTimes and GetPerformanceInfo do not exist on Windows 95/98, which publish the statistics
// in their registry: both are looked up at run time, so the program still loads there, and a host
// without GetSystemTimes is offered no statistic at all (nothing is emulated on Windows 95/98).
// Made on first use; lookups happen once.
#pragma once

#include <cstdint>

#include "components/EmulatedStatKeys.h"
#include "components/EmulatedStatistics.h"
#include "platform/win32/Win32Api.h"

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

private:
    using GetSystemTimesFn = ::BOOL(WINAPI*)(::FILETIME*, ::FILETIME*, ::FILETIME*);
    using GetPerformanceInfoFn = ::BOOL(WINAPI*)(void*, ::DWORD);

    GetSystemTimesFn getSystemTimes_ = nullptr;
    GetPerformanceInfoFn getPerformanceInfo_ = nullptr;
    ::HMODULE psapi_ = nullptr;  // loaded by us, freed when we go
    EmulatedStatKeys::Offered offered_;
};

}  // namespace taskwell::win32
