// Toolhelp snapshots of the running system, taken with the system's own calls.
//
// Under Wine the process walk is brought to what Windows 98 reports: Wine gives priority class
// numbers (1 idle, 2 normal, 3 high, 4 realtime) where Windows gives base priorities, and bare file
// names where Windows gives the executable's full path. Wine's heap walk is a stub that aborts the
// calling program, so on Wine it is never called.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/Toolhelp.h"

namespace taskwell::win32 {

// Full executable paths of processes, remembered per process id together with the bare name the
// process walk gave, so that an id reused by another program is noticed. The lookup (a module
// snapshot of the process) is asked only for processes whose path is not known yet; one that keeps
// failing is given up after a few walks and keeps its bare name.
class ExePathCache {
public:
    // Finds the full path of the process's executable; false when it cannot.
    using Lookup = std::function<bool(DWORD processId, std::string& path)>;

    // How many walks in a row may fail to find a process's path before it is given up.
    static constexpr int kMaxAttempts = 3;

    explicit ExePathCache(Lookup lookup);

    // The full path of the process with this id and bare file name, or the bare name when it is not
    // to be had. A path whose file name is not the bare name belongs to another process (the id was
    // reused between the two snapshots) and counts as a failed lookup.
    std::string Complete(DWORD processId, const std::string& bareName);
    // Forgets every process not among `present` (the ids of one complete process walk).
    void Retain(const std::vector<DWORD>& present);
    size_t Size() const { return known_.size(); }

private:
    struct Known {
        std::string bareName;
        std::string path;  // empty while not found
        int failures = 0;
    };
    Lookup lookup_;
    std::unordered_map<DWORD, Known> known_;
};

// Used from the UI thread only, as every snapshot of the program is.
class Win32Toolhelp : public IToolhelp {
public:
    // Finds out once whether the program runs on Wine (ntdll exports wine_get_version).
    Win32Toolhelp();
    // With the answer given, and the way executable paths are found (a module snapshot unless told
    // otherwise): lets the checks run the Wine adjustments or leave them off, and count lookups.
    explicit Win32Toolhelp(bool onWine, ExePathCache::Lookup exePathLookup = &Win32Toolhelp::ExePathOfProcess);

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

    bool OnWine() const { return wine_; }
    // Processes whose executable path is remembered (those of the last complete walk at most).
    size_t KnownPaths() const { return paths_.Size(); }

    // True when ntdll.dll is loaded and exports wine_get_version (Windows 95 and 98 have no ntdll).
    static bool RunsOnWine();
    // The base priority Windows reports for Wine's priority class number 1 to 4; other values as
    // they are.
    static LONG BasePriorityOfWineClass(LONG priorityClass);
    // The first module's full path, from a module snapshot of the process.
    static bool ExePathOfProcess(DWORD processId, std::string& path);

private:
    // Brings one entry of a process walk on Wine to what Windows 98 reports, and notes its id.
    void AdjustForWine(HANDLE snapshot, PROCESSENTRY32& entry);

    bool wine_;
    ExePathCache paths_;
    // Ids seen so far by each process walk in progress, by snapshot; a walk that reaches its end
    // leaves only its ids in the cache.
    std::map<HANDLE, std::vector<DWORD>> walks_;
};

}  // namespace taskwell::win32
