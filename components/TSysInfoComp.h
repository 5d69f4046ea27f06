// Mirrors the memory status, the processor facts and the version record of the system. Refreshed
// when created and once per refresh tick; its properties are read-only.
//
// Memory figures are 64-bit and unsigned. The 32-bit memory status cannot carry a figure of 4 GB
// or more (a host of more than 4 GB, or Wine's 4 GB of address space for a large-address-aware
// program): where the host has the extended calls, the figures come from them, the memory status
// from GlobalMemoryStatusEx and the system's own counts of committed memory and disk cache from
// GetPerformanceInfo. Windows 95/98 have neither: there the 32-bit memory status is read, and the
// statistics carry committed memory and disk cache.
#pragma once

#include <string>

#include "platform/SystemFacts.h"

namespace taskwell {

class TSysInfoComp {
public:
    explicit TSysInfoComp(ISystem& system);

    void RefreshInfo();

    DWORD msMemoryLoad() const { return memory_.dwMemoryLoad; }
    DWORDLONG msTotalPhys() const { return memory_.ullTotalPhys; }
    DWORDLONG msAvailPhys() const { return memory_.ullAvailPhys; }
    DWORDLONG msTotalPageFile() const { return memory_.ullTotalPageFile; }
    DWORDLONG msAvailPageFile() const { return memory_.ullAvailPageFile; }
    DWORDLONG msTotalVirtual() const { return memory_.ullTotalVirtual; }
    DWORDLONG msAvailVirtual() const { return memory_.ullAvailVirtual; }

    // Whether the host counted committed memory and the disk cache itself at the last refresh, and
    // those counts in bytes (0 when it did not).
    bool piCounted() const { return counted_; }
    DWORDLONG piCommitTotal() const { return Bytes(performance_.CommitTotal); }
    DWORDLONG piSystemCache() const { return Bytes(performance_.SystemCache); }

    WORD siProcessorArchitecture() const { return sys_.wProcessorArchitecture; }
    LONG siPageSize() const { return static_cast<LONG>(sys_.dwPageSize); }
    LONG siMinimumApplicationAddress() const { return static_cast<LONG>(sys_.lpMinimumApplicationAddress); }
    LONG siMaximumApplicationAddress() const { return static_cast<LONG>(sys_.lpMaximumApplicationAddress); }
    LONG siActiveProcessorMask() const { return static_cast<LONG>(sys_.dwActiveProcessorMask); }
    LONG siNumberOfProcessors() const { return static_cast<LONG>(sys_.dwNumberOfProcessors); }
    LONG siProcessorType() const { return static_cast<LONG>(sys_.dwProcessorType); }
    LONG siAllocationGranularity() const { return static_cast<LONG>(sys_.dwAllocationGranularity); }
    WORD siProcessorLevel() const { return sys_.wProcessorLevel; }
    WORD siProcessorRevision() const { return sys_.wProcessorRevision; }

    LONG osMajorVersion() const { return static_cast<LONG>(version_.dwMajorVersion); }
    LONG osMinorVersion() const { return static_cast<LONG>(version_.dwMinorVersion); }
    WORD osBuildNumber() const { return static_cast<WORD>(version_.dwBuildNumber & 0xFFFF); }
    LONG osPlatformId() const { return static_cast<LONG>(version_.dwPlatformId); }
    std::string osCSDVersion() const;

private:
    DWORDLONG Bytes(DWORD pages) const { return static_cast<DWORDLONG>(pages) * performance_.PageSize; }

    ISystem& system_;
    // The memory status as the extended record holds it, whichever call filled it.
    MEMORYSTATUSEX memory_{};
    // The performance information, all 0 when the host gave none.
    PERFORMANCE_INFORMATION performance_{};
    bool counted_ = false;
    SYSTEM_INFO sys_{};
    OSVERSIONINFOA version_{};
};

}  // namespace taskwell
