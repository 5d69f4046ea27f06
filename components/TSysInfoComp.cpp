#include "components/TSysInfoComp.h"

#include <cstring>

namespace taskwell {

TSysInfoComp::TSysInfoComp(ISystem& system) : system_(system) {
    // A first reading that fails leaves the records cleared; the next refresh tries again.
    try {
        RefreshInfo();
    } catch (...) {
    }
}

void TSysInfoComp::RefreshInfo() {
    MEMORYSTATUSEX extended{};
    extended.dwLength = sizeof(MEMORYSTATUSEX);
    const bool read = system_.GlobalMemoryStatusEx(extended);
    if (!read) {
        MEMORYSTATUS memory{};
        memory.dwLength = sizeof(MEMORYSTATUS);
        system_.GlobalMemoryStatus(memory);
        extended = MEMORYSTATUSEX{sizeof(MEMORYSTATUSEX), memory.dwMemoryLoad, memory.dwTotalPhys,
                                  memory.dwAvailPhys,    memory.dwTotalPageFile, memory.dwAvailPageFile,
                                  memory.dwTotalVirtual, memory.dwAvailVirtual, 0};
    }
    memory_ = extended;
    extended_ = read;

    SYSTEM_INFO sys{};
    system_.GetSystemInfo(sys);
    sys_ = sys;

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    system_.GetVersionExA(version);  // a failed call leaves the cleared record
    version_ = version;
}

DWORDLONG TSysInfoComp::msCommitted() const {
    if (!extended_ || memory_.ullAvailPageFile > memory_.ullTotalPageFile) return 0;
    return memory_.ullTotalPageFile - memory_.ullAvailPageFile;
}

std::string TSysInfoComp::osCSDVersion() const {
    return std::string(version_.szCSDVersion, strnlen(version_.szCSDVersion, sizeof(version_.szCSDVersion)));
}

}  // namespace taskwell
