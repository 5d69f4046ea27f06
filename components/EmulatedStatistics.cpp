#include "components/EmulatedStatistics.h"

#include <limits>

#include "app/PathUtils.h"

namespace taskwell {

namespace {

const char* const kKeyNames[kEmulatedStatCount] = {"KERNEL\\CPUUsage", "KERNEL\\Threads", "KERNEL\\VMs",
                                                   "VMM\\cpgDiskcache", "VMM\\cpgCommit"};

}  // namespace

std::optional<EmulatedStat> EmulatedStatistics::StatOf(const std::string& keyName) {
    for (int i = 0; i < kEmulatedStatCount; ++i)
        if (SameText(keyName, kKeyNames[i])) return static_cast<EmulatedStat>(i);
    return std::nullopt;
}

const char* EmulatedStatistics::KeyNameOf(EmulatedStat stat) {
    return kKeyNames[static_cast<int>(stat)];
}

LONG EmulatedStatistics::Saturated(std::uint64_t n) {
    return n > static_cast<std::uint64_t>(kMaxValue) ? kMaxValue : static_cast<LONG>(n);
}

LONG EmulatedStatistics::Bytes(std::uint64_t pages, std::uint64_t pageSize) {
    if (pageSize != 0 && pages > static_cast<std::uint64_t>(kMaxValue) / pageSize) return kMaxValue;
    return Saturated(pages * pageSize);
}

LONG EmulatedStatistics::Remember(EmulatedStat stat, LONG value) {
    last_[static_cast<int>(stat)] = value;
    return value;
}

void EmulatedStatistics::StartCpu(const CpuTimes& now) {
    previous_ = now;
    havePrevious_ = true;
}

LONG EmulatedStatistics::CpuUsage(const CpuTimes& now) {
    const LONG last = Last(EmulatedStat::CPUUsage);
    if (!havePrevious_ || now.idle < previous_.idle || now.kernel < previous_.kernel || now.user < previous_.user) {
        // Nothing to measure from: these times are the new starting point.
        StartCpu(now);
        return last;
    }
    const std::uint64_t idle = now.idle - previous_.idle;
    const std::uint64_t kernel = now.kernel - previous_.kernel;
    const std::uint64_t user = now.user - previous_.user;
    // Both deltas are below 2^64, but their sum need not be: halve all three until it fits.
    std::uint64_t k = kernel, u = user, i = idle;
    while (k > std::numeric_limits<std::uint64_t>::max() - u) {
        k >>= 1;
        u >>= 1;
        i >>= 1;
    }
    std::uint64_t total = k + u;
    if (total == 0) return last;  // no time passed: the earlier times stay the starting point
    previous_ = now;
    // The idle time is part of the kernel time; a host that reports more idle than kernel time
    // counts its whole kernel time as idle.
    std::uint64_t busy = (k > i ? k - i : 0) + u;
    // busy <= total; keep busy * 100 + total / 2 within 64 bits.
    while (busy > (std::numeric_limits<std::uint64_t>::max() - total) / 100) {
        busy >>= 1;
        total >>= 1;
    }
    std::uint64_t percent = (busy * 100 + total / 2) / total;
    if (percent > 100) percent = 100;
    return Remember(EmulatedStat::CPUUsage, static_cast<LONG>(percent));
}

LONG EmulatedStatistics::Threads(std::uint64_t count) {
    return Remember(EmulatedStat::Threads, Saturated(count));
}

LONG EmulatedStatistics::VirtualMachines() {
    return Remember(EmulatedStat::VMs, 1);
}

LONG EmulatedStatistics::DiskCache(std::uint64_t pages, std::uint64_t pageSize) {
    return Remember(EmulatedStat::DiskCache, Bytes(pages, pageSize));
}

LONG EmulatedStatistics::Commit(std::uint64_t pages, std::uint64_t pageSize) {
    return Remember(EmulatedStat::Commit, Bytes(pages, pageSize));
}

}  // namespace taskwell
