// Toolhelp snapshots of the running system, taken with the system's own calls.
//
// Where ntdll.dll exports NtQuerySystemInformation (the NT family and Wine), a process snapshot is
// taken with one call of it instead and walked in memory (Win32ProcessQuery); every other snapshot,
// and every process snapshot where the call is missing or fails, is the system's.
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
#include "platform/win32/Win32ProcessQuery.h"

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
    // With the answer given, the way executable paths are found (a module snapshot unless told
    // otherwise) and the process list query (ntdll's unless told otherwise; an empty one leaves
    // process snapshots to the system): lets the checks run the Wine adjustments or leave them off,
    // count lookups, and compare the query's walk with the system's or feed it answers of their own.
    explicit Win32Toolhelp(bool onWine, ExePathCache::Lookup exePathLookup = &Win32Toolhelp::ExePathOfProcess,
                           Win32ProcessQuery::Query processQuery = Win32ProcessQuery::SystemQuery());

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
    // Process snapshots taken with the process list query and not closed yet.
    size_t OpenQuerySnapshots() const;
    // The query's buffer, kept between snapshots (bytes).
    size_t QueryBufferBytes() const { return query_.BufferBytes(); }

    // True when ntdll.dll is loaded and exports wine_get_version (Windows 95 and 98 have no ntdll).
    static bool RunsOnWine();
    // The base priority Windows reports for Wine's priority class number 1 to 4; other values as
    // they are.
    static LONG BasePriorityOfWineClass(LONG priorityClass);
    // The first module's full path, from a module snapshot of the process.
    static bool ExePathOfProcess(DWORD processId, std::string& path);

private:
    // A process snapshot taken with the query. Its handle is an event of its own (signalled, so a
    // wait on it never hangs): a real handle of the process, so the system hands out a value no
    // other handle has, handle counts stay true, and CloseHandle answers as for the system's
    // snapshot (true once, then false). An event costs one call of the system to make and one to
    // close, where the system's snapshot costs a section mapped for every entry.
    struct QuerySnapshot {
        HANDLE handle = 0;  // 0: free, its entries' storage kept for the next snapshot
        std::vector<PROCESSENTRY32> entries;
        size_t next = 0;  // the entry Process32Next hands out
    };

    // A process snapshot taken with the query; 0 when the query failed or no handle was to be had.
    HANDLE TakeQuerySnapshot();
    // The open query snapshot with this handle; null for every other handle.
    QuerySnapshot* FindQuerySnapshot(HANDLE h);
    // One step of a process walk, from the query's snapshot or the system's.
    bool StepProcessWalk(HANDLE hSnapshot, PROCESSENTRY32& entry, bool first);
    // Brings one entry of a process walk on Wine to what Windows 98 reports, and notes its id.
    void AdjustForWine(HANDLE snapshot, PROCESSENTRY32& entry);

    bool wine_;
    ExePathCache paths_;
    Win32ProcessQuery query_;
    // The query's snapshots by handle: a short list (one or two are open at a time) whose slots are
    // reused, so taking a snapshot of a steady process list allocates nothing.
    std::vector<QuerySnapshot> snapshots_;
    // Ids seen so far by each process walk in progress, by snapshot; a walk that reaches its end
    // leaves only its ids in the cache.
    std::map<HANDLE, std::vector<DWORD>> walks_;
};

}  // namespace taskwell::win32
