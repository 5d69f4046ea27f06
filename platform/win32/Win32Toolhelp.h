// Toolhelp snapshots of the running system, taken with the system's own calls.
#pragma once

#include "platform/Toolhelp.h"

namespace taskwell::win32 {

class Win32Toolhelp : public IToolhelp {
public:
    HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID) override;
    bool Process32First(HANDLE hSnapshot, PROCESSENTRY32& entry) override;
    bool Process32Next(HANDLE hSnapshot, PROCESSENTRY32& entry) override;
    bool Thread32First(HANDLE hSnapshot, THREADENTRY32& entry) override;
    bool Thread32Next(HANDLE hSnapshot, THREADENTRY32& entry) override;
    bool Module32First(HANDLE hSnapshot, MODULEENTRY32& entry) override;
    bool Module32Next(HANDLE hSnapshot, MODULEENTRY32& entry) override;
    bool Heap32ListFirst(HANDLE hSnapshot, HEAPLIST32& entry) override;
    bool Heap32ListNext(HANDLE hSnapshot, HEAPLIST32& entry) override;
    bool Heap32First(HEAPENTRY32& entry, DWORD th32ProcessID, DWORD th32HeapID) override;
    bool Heap32Next(HEAPENTRY32& entry) override;
    bool CloseHandle(HANDLE h) override;
};

}  // namespace taskwell::win32
