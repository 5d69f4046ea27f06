// The five performance statistics the program reads, worked out from the host's own readings on
// systems that do not publish them under HKEY_DYN_DATA (the NT family, Wine). The platform takes
// the raw readings (processor times, a thread count, page counts); this class turns them into the
// 32-bit values a Windows 98 machine would publish:
//
//   KERNEL\CPUUsage    percent of the processor time between two readings that was not idle
//   KERNEL\Threads     the number of threads
//   KERNEL\VMs         the number of virtual machines
//   VMM\cpgDiskcache   the disk cache, in bytes
//   VMM\cpgCommit      the committed memory, in bytes
//
// Every value is a level (none is a running counter) and is kept within 0..0x7FFFFFFF.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/Types.h"

namespace taskwell {

enum class EmulatedStat { CPUUsage, Threads, VMs, DiskCache, Commit };

constexpr int kEmulatedStatCount = 5;

class EmulatedStatistics {
public:
    // Cumulative processor times since the system started, in any one unit (the host's are 100 ns):
    // the kernel time includes the idle time, as the NT family counts it.
    struct CpuTimes {
        std::uint64_t idle = 0;
        std::uint64_t kernel = 0;
        std::uint64_t user = 0;
    };

    // The largest value a statistic can carry.
    static constexpr LONG kMaxValue = 0x7FFFFFFF;

    // The statistic of a key name ("KERNEL\CPUUsage"; letters in any case), or none.
    static std::optional<EmulatedStat> StatOf(const std::string& keyName);
    static const char* KeyNameOf(EmulatedStat stat);

    // Starting the processor statistic: the next reading covers the time from these times on.
    void StartCpu(const CpuTimes& now);
    // The share of the processor time since the previous reading (or the start) that was busy, in
    // percent, rounded. Without an earlier reading, or when no time passed or the times went
    // backwards, the last value is repeated and these times are the ones the next reading measures
    // from (a stretch that cannot be measured is left out rather than guessed).
    LONG CpuUsage(const CpuTimes& now);

    LONG Threads(std::uint64_t count);
    // The system virtual machine that every Windows 98 machine runs; hosts without virtual
    // machines have no better count.
    LONG VirtualMachines();
    LONG DiskCache(std::uint64_t pages, std::uint64_t pageSize);
    LONG Commit(std::uint64_t pages, std::uint64_t pageSize);

    // The value last given for the statistic (0 before any): what a reading repeats when the host
    // cannot be asked this time.
    LONG Last(EmulatedStat stat) const { return last_[static_cast<int>(stat)]; }

    // Pages times page size in bytes, saturated at kMaxValue.
    static LONG Bytes(std::uint64_t pages, std::uint64_t pageSize);
    // A count, saturated at kMaxValue.
    static LONG Saturated(std::uint64_t n);

private:
    LONG Remember(EmulatedStat stat, LONG value);

    CpuTimes previous_;
    bool havePrevious_ = false;
    LONG last_[kEmulatedStatCount] = {};
};

}  // namespace taskwell
