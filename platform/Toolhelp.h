// Toolhelp snapshots of the system: its processes and threads, and one process's modules and heaps.
// A snapshot is taken once and walked entry by entry; the walk never changes as the system does.
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

// One thread of the system; 28 bytes.
struct THREADENTRY32 {
    DWORD dwSize;
    DWORD cntUsage;
    DWORD th32ThreadID;
    DWORD th32OwnerProcessID;
    LONG tpBasePri;
    LONG tpDeltaPri;
    DWORD dwFlags;
};
static_assert(sizeof(THREADENTRY32) == 28);

constexpr int MAX_MODULE_NAME32 = 255;

// One module of a process; 548 bytes. Addresses and module handles are 32-bit.
struct MODULEENTRY32 {
    DWORD dwSize;
    DWORD th32ModuleID;
    DWORD th32ProcessID;
    DWORD GlblcntUsage;
    DWORD ProccntUsage;
    DWORD modBaseAddr;
    DWORD modBaseSize;
    DWORD hModule;
    char szModule[MAX_MODULE_NAME32 + 1];
    char szExePath[MAX_PATH];
};
static_assert(sizeof(MODULEENTRY32) == 548);

// One heap of a process; 16 bytes.
struct HEAPLIST32 {
    DWORD dwSize;
    DWORD th32ProcessID;
    DWORD th32HeapID;
    DWORD dwFlags;
};
static_assert(sizeof(HEAPLIST32) == 16);

// One block of a heap; 36 bytes.
struct HEAPENTRY32 {
    DWORD dwSize;
    DWORD hHandle;
    DWORD dwAddress;
    DWORD dwBlockSize;
    DWORD dwFlags;
    DWORD dwLockCount;
    DWORD dwResvd;
    DWORD th32ProcessID;
    DWORD th32HeapID;
};
static_assert(sizeof(HEAPENTRY32) == 36);

class IToolhelp {
public:
    virtual ~IToolhelp() = default;
    // A snapshot of what dwFlags names: all processes, all threads of the system, or the modules or
    // heaps of the process th32ProcessID. Returns 0 when no snapshot could be taken.
    virtual HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID) = 0;
    // Each walk: the caller sets dwSize to the record's size before the first call; First starts
    // over, Next goes on; both return false when there is no (further) entry or the call failed.
    virtual bool Process32First(HANDLE hSnapshot, PROCESSENTRY32& entry) = 0;
    virtual bool Process32Next(HANDLE hSnapshot, PROCESSENTRY32& entry) = 0;
    virtual bool Thread32First(HANDLE hSnapshot, THREADENTRY32& entry) = 0;
    virtual bool Thread32Next(HANDLE hSnapshot, THREADENTRY32& entry) = 0;
    virtual bool Module32First(HANDLE hSnapshot, MODULEENTRY32& entry) = 0;
    virtual bool Module32Next(HANDLE hSnapshot, MODULEENTRY32& entry) = 0;
    virtual bool Heap32ListFirst(HANDLE hSnapshot, HEAPLIST32& entry) = 0;
    virtual bool Heap32ListNext(HANDLE hSnapshot, HEAPLIST32& entry) = 0;
    // The blocks of one heap, found through a heap list of the same process: the first block of heap
    // th32HeapID of process th32ProcessID, then the next one after entry. Called only for a heap that
    // a heap-list walk reported.
    virtual bool Heap32First(HEAPENTRY32& entry, DWORD th32ProcessID, DWORD th32HeapID) = 0;
    virtual bool Heap32Next(HEAPENTRY32& entry) = 0;
    // Releases a snapshot (and, in the process group, a process handle). False for 0 or a handle
    // that is not open.
    virtual bool CloseHandle(HANDLE h) = 0;
};

}  // namespace taskwell
