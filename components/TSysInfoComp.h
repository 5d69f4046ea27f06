// Mirrors the memory status, the processor facts and the version record of the system. Refreshed
// when created and once per refresh tick; its properties are read-only.
#pragma once

#include <string>

#include "platform/SystemFacts.h"

namespace taskwell {

class TSysInfoComp {
public:
    explicit TSysInfoComp(ISystem& system);

    void RefreshInfo();

    // Memory figures are unsigned: a machine with 2 GB or more reports totals above the signed range.
    DWORD msMemoryLoad() const { return memory_.dwMemoryLoad; }
    DWORD msTotalPhys() const { return memory_.dwTotalPhys; }
    DWORD msAvailPhys() const { return memory_.dwAvailPhys; }
    DWORD msTotalPageFile() const { return memory_.dwTotalPageFile; }
    DWORD msAvailPageFile() const { return memory_.dwAvailPageFile; }
    DWORD msTotalVirtual() const { return memory_.dwTotalVirtual; }
    DWORD msAvailVirtual() const { return memory_.dwAvailVirtual; }

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
    MEMORYSTATUS memory_{};
    SYSTEM_INFO sys_{};
    OSVERSIONINFOA version_{};
};

}  // namespace taskwell
