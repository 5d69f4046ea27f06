#include "platform/win32/Win32System.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <vector>

#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32SystemFunction.h"

namespace taskwell::win32 {

namespace {

using EnumDisplayMonitorsFunction = BOOL(WINAPI*)(::HDC, LPCRECT, MONITORENUMPROC, ::LPARAM);
using GetMonitorInfoFunction = BOOL(WINAPI*)(::HMONITOR, ::LPMONITORINFO);

// One walk over the monitors, on the stack of the EnumDisplayMonitors call that reaches the callback
// through its LPARAM: the caller's visitor, the reader of a monitor's facts, whether the visitor
// ended the walk, and an error it raised.
struct MonitorWalk {
    const ISystem::MonitorVisitor* visit = nullptr;
    GetMonitorInfoFunction info = nullptr;
    bool stopped = false;
    std::exception_ptr error;
};

taskwell::RECTL FromRect(const ::RECT& r) {
    return taskwell::RECTL{r.left, r.top, r.right, r.bottom};
}

// No exception may unwind through the system's frames: the visitor's error stops the walk here and
// is raised again once the system's call has returned. A monitor whose facts cannot be read is left
// out.
BOOL CALLBACK VisitMonitor(::HMONITOR monitor, ::HDC, ::LPRECT, ::LPARAM param) {
    auto* walk = reinterpret_cast<MonitorWalk*>(param);
    try {
        ::MONITORINFO native{};
        native.cbSize = sizeof native;
        if (!walk->info(monitor, &native)) return TRUE;
        const taskwell::MONITORINFO info{sizeof(taskwell::MONITORINFO), FromRect(native.rcMonitor),
                                         FromRect(native.rcWork), native.dwFlags};
        if ((*walk->visit)(info)) return TRUE;
    } catch (...) {
        walk->error = std::current_exception();
    }
    walk->stopped = true;
    return FALSE;
}

}  // namespace

bool Win32System::GetVersionExA(taskwell::OSVERSIONINFOA& info) {
    if (info.dwOSVersionInfoSize != sizeof(taskwell::OSVERSIONINFOA)) {
        ::SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return false;
    }
    ::OSVERSIONINFOA native{};
    native.dwOSVersionInfoSize = sizeof native;
    if (!::GetVersionExA(&native)) return false;
    info.dwMajorVersion = native.dwMajorVersion;
    info.dwMinorVersion = native.dwMinorVersion;
    info.dwBuildNumber = native.dwBuildNumber;
    info.dwPlatformId = native.dwPlatformId;
    std::memcpy(info.szCSDVersion, native.szCSDVersion, sizeof info.szCSDVersion);
    info.szCSDVersion[sizeof info.szCSDVersion - 1] = '\0';
    return true;
}

void Win32System::GlobalMemoryStatus(taskwell::MEMORYSTATUS& status) {
    ::MEMORYSTATUS native{};
    native.dwLength = sizeof native;
    ::GlobalMemoryStatus(&native);
    status.dwLength = sizeof(taskwell::MEMORYSTATUS);
    status.dwMemoryLoad = native.dwMemoryLoad;
    // A 64-bit system's record carries figures beyond 4 GB; ours holds at most what a 32-bit
    // system's does, 0xFFFFFFFF (the extended status has the whole figure).
    const auto capped = [](::SIZE_T bytes) {
        return static_cast<taskwell::DWORD>(std::min<std::uint64_t>(bytes, 0xFFFFFFFFu));
    };
    status.dwTotalPhys = capped(native.dwTotalPhys);
    status.dwAvailPhys = capped(native.dwAvailPhys);
    status.dwTotalPageFile = capped(native.dwTotalPageFile);
    status.dwAvailPageFile = capped(native.dwAvailPageFile);
    status.dwTotalVirtual = capped(native.dwTotalVirtual);
    status.dwAvailVirtual = capped(native.dwAvailVirtual);
}

bool Win32System::GlobalMemoryStatusEx(taskwell::MEMORYSTATUSEX& status) {
    using Fn = ::BOOL(WINAPI*)(::MEMORYSTATUSEX*);
    static const Fn fn = SystemFunction<Fn>("kernel32.dll", "GlobalMemoryStatusEx");
    if (!fn || status.dwLength != sizeof(taskwell::MEMORYSTATUSEX)) return false;
    ::MEMORYSTATUSEX native{};
    native.dwLength = sizeof native;
    if (!fn(&native)) return false;
    status.dwMemoryLoad = native.dwMemoryLoad;
    status.ullTotalPhys = native.ullTotalPhys;
    status.ullAvailPhys = native.ullAvailPhys;
    status.ullTotalPageFile = native.ullTotalPageFile;
    status.ullAvailPageFile = native.ullAvailPageFile;
    status.ullTotalVirtual = native.ullTotalVirtual;
    status.ullAvailVirtual = native.ullAvailVirtual;
    status.ullAvailExtendedVirtual = native.ullAvailExtendedVirtual;
    return true;
}

void Win32System::GetSystemInfo(taskwell::SYSTEM_INFO& info) {
    ::SYSTEM_INFO native{};
    ::GetSystemInfo(&native);
    info.wProcessorArchitecture = native.wProcessorArchitecture;
    info.wReserved = native.wReserved;
    info.dwPageSize = native.dwPageSize;
    info.lpMinimumApplicationAddress =
        static_cast<taskwell::DWORD>(reinterpret_cast<std::uintptr_t>(native.lpMinimumApplicationAddress));
    info.lpMaximumApplicationAddress =
        static_cast<taskwell::DWORD>(reinterpret_cast<std::uintptr_t>(native.lpMaximumApplicationAddress));
    info.dwActiveProcessorMask = static_cast<taskwell::DWORD>(native.dwActiveProcessorMask);
    info.dwNumberOfProcessors = native.dwNumberOfProcessors;
    info.dwProcessorType = native.dwProcessorType;
    info.dwAllocationGranularity = native.dwAllocationGranularity;
    info.wProcessorLevel = native.wProcessorLevel;
    info.wProcessorRevision = native.wProcessorRevision;
}

taskwell::DWORD Win32System::GetTickCount() {
    return ::GetTickCount();
}

bool Win32System::SystemParametersInfoA(taskwell::UINT action, taskwell::UINT param, void* pvParam,
                                        taskwell::UINT winIni) {
    return ::SystemParametersInfoA(action, param, pvParam, winIni) != FALSE;
}

bool Win32System::EnumDisplayMonitors(const MonitorVisitor& visit) {
    static const auto enumerate = SystemFunction<EnumDisplayMonitorsFunction>("user32.dll", "EnumDisplayMonitors");
    static const auto info = SystemFunction<GetMonitorInfoFunction>("user32.dll", "GetMonitorInfoA");
    if (!visit || !enumerate || !info) return false;
    MonitorWalk walk;
    walk.visit = &visit;
    walk.info = info;
    const bool completed = enumerate(nullptr, nullptr, &VisitMonitor, reinterpret_cast<::LPARAM>(&walk)) != FALSE;
    if (walk.error) std::rethrow_exception(walk.error);
    // The system answers FALSE also when the callback ended the walk; that is no failure.
    return completed || walk.stopped;
}

taskwell::DWORD Win32System::GetFileVersionInfoSizeA(const std::string& path, taskwell::DWORD& handle) {
    ::DWORD h = 0;
    ::DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &h);
    handle = h;
    return size;
}

bool Win32System::GetFileVersionInfoA(const std::string& path, taskwell::DWORD handle, taskwell::DWORD len,
                                      void* data) {
    if (!data || len == 0) return false;
    return ::GetFileVersionInfoA(path.c_str(), handle, len, data) != FALSE;
}

bool Win32System::VerQueryValueA(const void* block, const std::string& subBlock, const char*& value,
                                 taskwell::UINT& len) {
    value = nullptr;
    len = 0;
    if (!block) return false;
    void* found = nullptr;
    ::UINT foundLen = 0;
    if (!::VerQueryValueA(block, subBlock.c_str(), &found, &foundLen) || !found) return false;
    value = static_cast<const char*>(found);
    len = foundLen;
    return true;
}

std::string Win32System::GetModuleFileNameA() {
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        ::DWORD n = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<::DWORD>(buffer.size()));
        if (n == 0) return std::string();
        // A full buffer may mean a cut name: try once more with room to spare.
        if (n < buffer.size() - 1 || buffer.size() > 32768) return std::string(buffer.data(), n);
        buffer.resize(buffer.size() * 4);
    }
}

void Win32System::GetLocalTime(taskwell::SYSTEMTIME& time) {
    ::SYSTEMTIME now{};
    ::GetLocalTime(&now);
    time = taskwell::SYSTEMTIME{now.wYear,  now.wMonth,  now.wDayOfWeek, now.wDay,
                                now.wHour, now.wMinute, now.wSecond,    now.wMilliseconds};
}

bool Win32System::GetLocaleInfoA(taskwell::DWORD locale, taskwell::DWORD lcType, std::string& data) {
    char buffer[80] = {};
    int n = ::GetLocaleInfoA(locale, lcType, buffer, sizeof buffer);
    data = n > 0 ? std::string(buffer) : std::string();
    return n > 0;
}

namespace {
// The platform's fixed-size text reads: a buffer of 257 characters, taken up to its first NUL.
constexpr ::DWORD kNameBuffer = 257;

template <class Read>
bool ReadText(std::string& out, Read read) {
    char buffer[kNameBuffer] = {};
    out.clear();
    if (!read(buffer)) return false;
    buffer[kNameBuffer - 1] = '\0';
    out = buffer;
    return true;
}
}  // namespace

bool Win32System::GetWindowsDirectoryA(std::string& directory) {
    return ReadText(directory, [](char* b) {
        ::UINT n = ::GetWindowsDirectoryA(b, kNameBuffer);
        return n > 0 && n < kNameBuffer;
    });
}

bool Win32System::GetSystemDirectoryA(std::string& directory) {
    return ReadText(directory, [](char* b) {
        ::UINT n = ::GetSystemDirectoryA(b, kNameBuffer);
        return n > 0 && n < kNameBuffer;
    });
}

bool Win32System::GetComputerNameA(std::string& name) {
    return ReadText(name, [](char* b) {
        ::DWORD size = kNameBuffer;
        return ::GetComputerNameA(b, &size) != FALSE;
    });
}

bool Win32System::GetUserNameA(std::string& name) {
    return ReadText(name, [](char* b) {
        ::DWORD size = kNameBuffer;
        return ::GetUserNameA(b, &size) != FALSE;
    });
}

int Win32System::lstrcmpA(const std::string& a, const std::string& b) {
    return ::lstrcmpA(a.c_str(), b.c_str());
}

}  // namespace taskwell::win32
