// Mirrors the memory status, the processor facts and the version record of the system. Refreshed
// when created and once per refresh tick; its properties are read-only.
//
// Memory figures are 64-bit and unsigned. The 32-bit memory status cannot carry a figure of 4 GB
// or more (a host of more than 4 GB): where the host has GlobalMemoryStatusEx (looked up at run
// time), the figures come from it, and so does committed memory, which a 4-byte statistic cannot
// carry past 4 GB either. Windows 95/98 have no such call: there the 32-bit memory status is read,
// and the statistic carries committed memory.
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

    // Whether the last refresh read the extended memory status, and the committed memory it implies:
    // the page file total (the commit limit) less what is still available of it, so that the two
    // agree (0 without the extended status).
    bool msExtended() const { return extended_; }
    DWORDLONG msCommitted() const;

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
    ISystem& system_;
    // The memory status as the extended record holds it, whichever call filled it.
    MEMORYSTATUSEX memory_{};
    bool extended_ = false;
    SYSTEM_INFO sys_{};
    OSVERSIONINFOA version_{};
};

}  // namespace taskwell
