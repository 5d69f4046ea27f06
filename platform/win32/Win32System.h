// Facts about the running system: version record, memory, processor, clock, system parameters,
// version resources of executables and the program's own path.
#pragma once

#include "platform/SystemFacts.h"

namespace taskwell::win32 {

class Win32System : public ISystem {
public:
    bool GetVersionExA(OSVERSIONINFOA& info) override;
    void GlobalMemoryStatus(MEMORYSTATUS& status) override;
    // Looked up at run time: the exe must load on Windows 95/98, which lack it.
    bool GlobalMemoryStatusEx(MEMORYSTATUSEX& status) override;
    void GetSystemInfo(SYSTEM_INFO& info) override;
    DWORD GetTickCount() override;
    bool SystemParametersInfoA(UINT action, UINT param, void* pvParam, UINT winIni) override;
    // EnumDisplayMonitors and GetMonitorInfoA, looked up at run time (Windows 95 has neither).
    bool EnumDisplayMonitors(const MonitorVisitor& visit) override;
    DWORD GetFileVersionInfoSizeA(const std::string& path, DWORD& handle) override;
    bool GetFileVersionInfoA(const std::string& path, DWORD handle, DWORD len, void* data) override;
    bool VerQueryValueA(const void* block, const std::string& subBlock, const char*& value,
                        UINT& len) override;
    std::string GetModuleFileNameA() override;
    void GetLocalTime(SYSTEMTIME& time) override;
    bool GetLocaleInfoA(DWORD locale, DWORD lcType, std::string& data) override;
    bool GetWindowsDirectoryA(std::string& directory) override;
    bool GetSystemDirectoryA(std::string& directory) override;
    bool GetComputerNameA(std::string& name) override;
    bool GetUserNameA(std::string& name) override;
    int lstrcmpA(const std::string& a, const std::string& b) override;
};

}  // namespace taskwell::win32
