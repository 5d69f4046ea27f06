// Toolhelp snapshots of the running system, taken with the system's own calls.
#pragma once

#include "platform/Toolhelp.h"

namespace taskwell::win32 {

class Win32Toolhelp : public IToolhelp {
public:
    HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID) override;
    bool Process32First(HANDLE hSnapshot, PROCESSENTRY32& entry) override;
    bool Process32Next(HANDLE hSnapshot, PROCESSENTRY32& entry) override;
    bool CloseHandle(HANDLE h) override;
};

}  // namespace taskwell::win32
