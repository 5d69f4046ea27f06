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
    MEMORYSTATUS memory{};
    memory.dwLength = sizeof(MEMORYSTATUS);
    system_.GlobalMemoryStatus(memory);
    memory_ = memory;

    SYSTEM_INFO sys{};
    system_.GetSystemInfo(sys);
    sys_ = sys;

    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    system_.GetVersionExA(version);  // a failed call leaves the cleared record
    version_ = version;
}

std::string TSysInfoComp::osCSDVersion() const {
    return std::string(version_.szCSDVersion, strnlen(version_.szCSDVersion, sizeof(version_.szCSDVersion)));
}

}  // namespace taskwell
