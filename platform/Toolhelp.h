// Toolhelp snapshots of the system's processes (and later threads, modules and heaps).
#pragma once

#include "platform/Types.h"

namespace taskwell {

constexpr DWORD TH32CS_SNAPHEAPLIST = 0x1;
constexpr DWORD TH32CS_SNAPPROCESS = 0x2;
constexpr DWORD TH32CS_SNAPTHREAD = 0x4;
constexpr DWORD TH32CS_SNAPMODULE = 0x8;

// One process of a snapshot; 296 bytes, as the platform lays it out.
struct PROCESSENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ProcessID;
    DWORD th32DefaultHeapID;
    DWORD th32ModuleID;
    DWORD cntThreads;
    DWORD th32ParentProcessID;
    LONG pcPriClassBase;
    DWORD dwFlags;
    char szExeFile[MAX_PATH];
};
static_assert(sizeof(PROCESSENTRY32) == 296);

class IToolhelp {
public:
    virtual ~IToolhelp() = default;
    // Returns 0 when no snapshot could be taken.
    virtual HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID) = 0;
    // The caller sets dwSize to sizeof(PROCESSENTRY32) before the first call.
    virtual bool Process32First(HANDLE hSnapshot, PROCESSENTRY32& entry) = 0;
    virtual bool Process32Next(HANDLE hSnapshot, PROCESSENTRY32& entry) = 0;
    virtual bool CloseHandle(HANDLE h) = 0;
};

}  // namespace taskwell
