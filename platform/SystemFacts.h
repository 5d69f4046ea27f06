// System facts: version record, memory status, processor facts, tick count, system parameters,
// version resources of executables and the program's own path.
#pragma once

#include <functional>
#include <string>

#include "platform/Types.h"

namespace taskwell {

constexpr DWORD VER_PLATFORM_WIN32s = 0;
constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

// 148 bytes, as the platform lays it out.
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};
static_assert(sizeof(OSVERSIONINFOA) == 148);

// 32 bytes. A 32-bit program's record: figures above 4 GB do not fit (the system caps them, and
// caps them at 2 GB for a program that is not large-address aware).
struct MEMORYSTATUS {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    DWORD dwTotalPhys;
    DWORD dwAvailPhys;
    DWORD dwTotalPageFile;
    DWORD dwAvailPageFile;
    DWORD dwTotalVirtual;
    DWORD dwAvailVirtual;
};
static_assert(sizeof(MEMORYSTATUS) == 32);

// 64 bytes: the memory status with 64-bit figures, of the systems that have GlobalMemoryStatusEx
// (the NT family from Windows 2000 on, and Wine; not Windows 95/98).
struct MEMORYSTATUSEX {
    DWORD dwLength;
    DWORD dwMemoryLoad;
    DWORDLONG ullTotalPhys;
    DWORDLONG ullAvailPhys;
    DWORDLONG ullTotalPageFile;
    DWORDLONG ullAvailPageFile;
    DWORDLONG ullTotalVirtual;
    DWORDLONG ullAvailVirtual;
    DWORDLONG ullAvailExtendedVirtual;
};
static_assert(sizeof(MEMORYSTATUSEX) == 64);

// 36 bytes; addresses are 32-bit.
struct SYSTEM_INFO {
    WORD wProcessorArchitecture;
    WORD wReserved;
    DWORD dwPageSize;
    DWORD lpMinimumApplicationAddress;
    DWORD lpMaximumApplicationAddress;
    DWORD dwActiveProcessorMask;
    DWORD dwNumberOfProcessors;
    DWORD dwProcessorType;
    DWORD dwAllocationGranularity;
    WORD wProcessorLevel;
    WORD wProcessorRevision;
};
static_assert(sizeof(SYSTEM_INFO) == 36);

constexpr UINT SPI_SETSCREENSAVERRUNNING = 97;
// The primary monitor's work area into a RECTL.
constexpr UINT SPI_GETWORKAREA = 48;

// 16 bytes: a rectangle in screen pixels, right and bottom exclusive. The platform's RECT, under its
// other name RECTL (the same four LONGs): the Win32 side uses the system's RECT by its bare name.
struct RECTL {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
static_assert(sizeof(RECTL) == 16);

// 40 bytes: a display monitor's bounds and work area (the bounds less the task bar and the other
// bars docked at its edges).
constexpr DWORD MONITORINFOF_PRIMARY = 0x00000001;
struct MONITORINFO {
    DWORD cbSize;
    RECTL rcMonitor;
    RECTL rcWork;
    DWORD dwFlags;
};
static_assert(sizeof(MONITORINFO) == 40);

// 16 bytes.
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
static_assert(sizeof(SYSTEMTIME) == 16);

// Locale facts the program reads: the date and time separators of the user's locale.
constexpr DWORD LOCALE_USER_DEFAULT = 0x0400;
constexpr DWORD LOCALE_SDATE = 0x001D;
constexpr DWORD LOCALE_STIME = 0x001E;

class ISystem {
public:
    virtual ~ISystem() = default;
    // The caller sets dwOSVersionInfoSize to 148. False when the record cannot be had.
    virtual bool GetVersionExA(OSVERSIONINFOA& info) = 0;
    // The caller sets dwLength to 32.
    virtual void GlobalMemoryStatus(MEMORYSTATUS& status) = 0;
    // The caller sets dwLength to 64. False where the system has no such call (Windows 95/98: it is
    // looked up at run time) or refuses the reading.
    virtual bool GlobalMemoryStatusEx(MEMORYSTATUSEX& status) = 0;
    virtual void GetSystemInfo(SYSTEM_INFO& info) = 0;
    // Milliseconds since the system started; wraps after about 49.7 days.
    virtual DWORD GetTickCount() = 0;
    // With SPI_GETWORKAREA, pvParam is a RECTL that receives the primary monitor's work area.
    virtual bool SystemParametersInfoA(UINT action, UINT param, void* pvParam, UINT winIni) = 0;
    // Visits each display monitor of the desktop once, with its bounds and work area (as
    // GetMonitorInfoA gives them), while visit answers true. The system's calls are looked up at run
    // time: a system without them (Windows 95) answers false at once, and so does a failure.
    using MonitorVisitor = std::function<bool(const MONITORINFO& monitor)>;
    virtual bool EnumDisplayMonitors(const MonitorVisitor& visit) = 0;
    // Size of the file's version information in bytes; 0 when it has none.
    virtual DWORD GetFileVersionInfoSizeA(const std::string& path, DWORD& handle) = 0;
    virtual bool GetFileVersionInfoA(const std::string& path, DWORD handle, DWORD len, void* data) = 0;
    // Looks up subBlock (for example "\StringFileInfo\040904E4\FileVersion") in a block read by
    // GetFileVersionInfoA; on success points value at the zero-terminated text inside the block.
    virtual bool VerQueryValueA(const void* block, const std::string& subBlock, const char*& value,
                                UINT& len) = 0;
    // Full path of the running executable.
    virtual std::string GetModuleFileNameA() = 0;
    // The local date and time, from one reading of the clock.
    virtual void GetLocalTime(SYSTEMTIME& time) = 0;
    // A fact of the locale (LOCALE_SDATE, LOCALE_STIME, ...) as text; false when it cannot be had.
    virtual bool GetLocaleInfoA(DWORD locale, DWORD lcType, std::string& data) = 0;
    // The Windows and system directories, the computer's and the user's names. Each is taken up to
    // its first NUL, from a buffer of 257 characters; false (and an empty text) on failure.
    virtual bool GetWindowsDirectoryA(std::string& directory) = 0;
    virtual bool GetSystemDirectoryA(std::string& directory) = 0;
    virtual bool GetComputerNameA(std::string& name) = 0;
    virtual bool GetUserNameA(std::string& name) = 0;
    // Compares two texts as the user's locale sorts them (letter case counting only between texts
    // that are otherwise equal): negative, 0 or positive.
    virtual int lstrcmpA(const std::string& a, const std::string& b) = 0;
};

}  // namespace taskwell
