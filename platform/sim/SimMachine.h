// A deterministic Windows 95/98 machine in memory for the tests: processes, version record, memory
// and processor facts, icons, version resources and a virtual clock. Any operation can be told to
// fail (the way the platform reports failure) or to raise an error (the way a platform wrapper does),
// and every call is counted and logged in order.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Processes.h"
#include "platform/Shell.h"
#include "platform/SystemFacts.h"
#include "platform/Toolhelp.h"

namespace taskwell::sim {

enum class Op {
    CreateToolhelp32Snapshot,
    Process32First,
    Process32Next,
    CloseHandle,
    GetProcessVersion,
    SHGetFileInfoA,
    ExtractIconA,
    DestroyIcon,
    LoadIconA,
    GetVersionExA,
    GlobalMemoryStatus,
    GetSystemInfo,
    GetTickCount,
    SystemParametersInfoA,
    GetFileVersionInfoSizeA,
    GetFileVersionInfoA,
    VerQueryValueA,
    Shell_NotifyIconA,
    ShellExecuteA,
    CopyIcon,
    Thread32First,
    Thread32Next,
    Module32First,
    Module32Next,
    Heap32ListFirst,
    Heap32ListNext,
    Heap32First,
    Heap32Next,
    OpenProcess,
    TerminateProcess,
    WaitForSingleObject,
    GetLocalTime,
    GetLocaleInfoA,
    GetWindowsDirectoryA,
    GetSystemDirectoryA,
    GetComputerNameA,
    GetUserNameA,
    ExtractAssociatedIconA,
    WinExec,
    lstrcmpA,
    GlobalMemoryStatusEx,
    EnumDisplayMonitors,
};

// The last operation: a sweep over every operation runs from the first to this one. A new operation
// goes before it or takes its place here; a test checks that no named operation comes after it.
constexpr Op kLastOp = Op::EnumDisplayMonitors;
constexpr int kOpCount = static_cast<int>(kLastOp) + 1;

// "?" for a value that names no operation.
const char* OpName(Op op);

// Executable-type values as the shell reports them.
constexpr DWORD kExePE32 = 0x04004550;   // "PE", expects 4.0
constexpr DWORD kExeNE16 = 0x030A454E;   // "NE", expects 3.10
constexpr DWORD kExeMZ = 0x00005A4D;     // MS-DOS
constexpr DWORD kExeConsole = 0x00004550;  // "PE" with high word 0: a console program

struct SimThread {
    DWORD th32ThreadID = 0;  // 0: the machine gives a new id
    DWORD cntUsage = 0;
    LONG tpBasePri = 8;
    LONG tpDeltaPri = 0;
    DWORD dwFlags = 0;
};

struct SimModule {
    DWORD th32ModuleID = 1;
    DWORD th32ProcessID = 0;  // 0: the process's own id (another id makes an entry a walk must skip)
    DWORD GlblcntUsage = 1;
    DWORD ProccntUsage = 1;
    DWORD modBaseAddr = 0x00400000;
    DWORD modBaseSize = 0x10000;
    DWORD hModule = 0x00400000;
    std::string szModule;
    std::string szExePath;
};

struct SimHeapBlock {
    DWORD hHandle = 0;
    DWORD dwAddress = 0;
    DWORD dwBlockSize = 0;
    DWORD dwFlags = 1;  // fixed
    DWORD dwLockCount = 0;
    DWORD dwResvd = 0;
};

struct SimHeap {
    DWORD th32HeapID = 0;
    DWORD th32ProcessID = 0;  // 0: the process's own id
    DWORD dwFlags = 0;
    std::vector<SimHeapBlock> blocks;
};

struct SimProcess {
    DWORD cntUsage = 1;
    DWORD th32ProcessID = 0;
    DWORD th32DefaultHeapID = 0;
    DWORD th32ModuleID = 0;
    DWORD cntThreads = 1;
    DWORD th32ParentProcessID = 0;
    LONG pcPriClassBase = 8;
    DWORD dwFlags = 0;
    std::string szExeFile;
    DWORD exeType = kExePE32;  // what SHGetFileInfoA reports for the file
    DWORD version = 0x00040000;  // what GetProcessVersion reports
    bool hasIcon = true;         // whether the file carries an icon
    std::vector<SimThread> threads;
    std::vector<SimModule> modules;
    std::vector<SimHeap> heaps;
    bool refusesOpen = false;       // OpenProcess is refused (no right to it)
    bool refusesTerminate = false;  // TerminateProcess is refused
    bool neverEnds = false;         // TerminateProcess is accepted but the process keeps running
    std::uint64_t endsAfterMs = 0;  // after an accepted TerminateProcess, it runs on this long
};

// The handles of snapshots and of opened processes are counted, so tests can see that every one was
// given back. A wait on a process that never ends blocks for its whole time limit: the virtual clock
// moves on without any timer firing, as on a user-interface thread that waits; an unbounded wait on
// such a process raises, since it would never return. A wait on a handle opened without SYNCHRONIZE
// fails at once, as on the NT family and Wine (Windows 95/98 would not check). A process given
// endsAfterMs is still listed for that long after its termination was accepted, unless a wait
// sees it end.
class SimMachine : public IToolhelp, public IProcesses, public IShell, public ISystem {
public:
    SimMachine();

    // Version record.
    void SetVersion(DWORD major, DWORD minor, DWORD build, DWORD platformId, const std::string& csd = "");
    void UseWindows95();
    void UseWindows98();
    void UseWindowsNT4();

    // Processes. AddProcess gives the process a new id unless p.th32ProcessID is set.
    DWORD AddProcess(SimProcess p);
    DWORD AddProcess(const std::string& exePath);
    bool RemoveProcess(DWORD pid);
    SimProcess* FindProcess(DWORD pid);
    std::vector<SimProcess>& Processes() { return processes_; }
    // Adds a thread to the process (a new id unless t.th32ThreadID is set) and returns its id.
    DWORD AddThread(DWORD pid, SimThread t = {});

    // Processes ended through TerminateProcess, with the exit code they were given.
    struct Terminated {
        DWORD pid;
        UINT exitCode;
    };
    std::vector<Terminated> TerminatedProcesses;
    // Milliseconds of virtual time spent blocked in WaitForSingleObject.
    std::uint64_t WaitedMs = 0;

    MEMORYSTATUS Memory{};
    // What a host of the NT family (or Wine) answers GlobalMemoryStatusEx; Windows 95/98 (none
    // given) have no such call.
    std::optional<MEMORYSTATUSEX> MemoryEx;
    SYSTEM_INFO SystemInfo{};

    // Clock: milliseconds of virtual time; the tick count wraps at 2^32 like the real one.
    std::uint64_t Now() const { return now_; }
    void SetNow(std::uint64_t ms) { now_ = ms; }
    DWORD TickBase = 0;  // tick count at virtual time 0

    // Failures: Fail makes the operation report failure its own way; Raise makes it throw.
    void Fail(Op op, bool on = true);
    void Raise(Op op, bool on = true);
    int Calls(Op op) const;
    // Snapshots of these kinds (TH32CS_* flags, as asked for) are refused with 0.
    std::set<DWORD> RefusedSnapshots;
    const std::vector<Op>& CallLog() const { return log_; }
    void ClearLog();

    // Icons.
    std::set<std::string> IconResources;  // names LoadIconA knows (upper case)
    // True: LoadIconA hands out one shared icon per resource, which DestroyIcon leaves alone (the
    // platform's LoadIcon). False: every call makes a new icon that the caller owns and must destroy,
    // as the Win32 implementation's LoadImageA without LR_SHARED does; then a resource icon the
    // program loads and never destroys counts in LiveIcons.
    bool SharedResourceIcons = true;
    int LiveIcons() const { return static_cast<int>(liveIcons_.size()); }
    std::vector<std::string> LoadedIconNames;
    // The resource an icon was loaded from, copies included (they show the same picture); "" for
    // any other icon.
    std::string IconResourceOf(HICON icon) const {
        auto it = iconResources_.find(icon);
        return it == iconResources_.end() ? std::string() : it->second;
    }

    // Version resources by file path: the "FileVersion" text of block 040904E4.
    std::map<std::string, std::string> FileVersions;
    std::string ModulePath = "C:\\Program Files\\Orvex\\Taskwell\\taskwell.exe";

    // The local time GetLocalTime reads: the next of NextLocalTimes while there are any, else
    // LocalTime.
    SYSTEMTIME LocalTime{1999, 12, 5, 31, 23, 59, 58, 0};
    std::vector<SYSTEMTIME> NextLocalTimes;
    // Locale facts by LCTYPE; a missing one fails.
    std::map<DWORD, std::string> Locale{{LOCALE_SDATE, "/"}, {LOCALE_STIME, ":"}};
    std::string WindowsDirectory = "C:\\WINDOWS";
    std::string SystemDirectory = "C:\\WINDOWS\\SYSTEM";
    std::string ComputerName = "ORVEX-PC";
    std::string UserName = "Jo";

    // Notification-area icons present, by (window, id), and every call made.
    struct NotifyCall {
        DWORD message;
        NOTIFYICONDATAA data;
    };
    std::vector<NotifyCall> NotifyCalls;
    std::map<std::pair<HWND, UINT>, NOTIFYICONDATAA> TrayIcons;

    // Programs started through the shell; ShellExecuteResults answers a file with a result of its
    // own (the shell opens every other file). The shell's code cannot take a file name longer than a
    // path (MAX_PATH - 1): the real one ends the process inside it, the simulated one raises an error
    // and counts it in TextsTooLong. So does WinExec on the Windows 95 family, whose command lines
    // are no longer.
    std::map<std::string, HINSTANCE> ShellExecuteResults;
    int TextsTooLong = 0;
    struct Started {
        std::string operation, file, parameters, directory;
        int showCmd;
        HWND owner;
    };
    std::vector<Started> StartedPrograms;

    // Programs WinExec can start, by path (compared ignoring case); a start adds a process running
    // that file. Every command line WinExec was given, in order; WinExecResults answers a command
    // line with a result of its own (a start is made only when it is above 31).
    std::set<std::string> Programs;
    std::vector<std::string> ExecutedCommands;
    std::map<std::string, UINT> WinExecResults;
    // Extensions (upper case, with the dot) whose files have an associated program with an icon.
    std::set<std::string> AssociatedExtensions{".TXT", ".DOC"};

    int OpenSnapshots() const { return static_cast<int>(snapshots_.size()); }
    int OpenProcessHandles() const { return static_cast<int>(processHandles_.size()); }
    struct SpiCall {
        UINT action;
        UINT param;
    };
    std::vector<SpiCall> SystemParameterCalls;

    // The screen: each display monitor's bounds and work area, the primary first (SPI_GETWORKAREA
    // answers its work area). By default one monitor of 1024 x 768 with a 28-pixel task bar along its
    // bottom. MonitorCalls false: the system has no EnumDisplayMonitors (Windows 95).
    struct SimMonitor {
        RECTL bounds;
        RECTL work;
    };
    std::vector<SimMonitor> Monitors{SimMonitor{RECTL{0, 0, 1024, 768}, RECTL{0, 0, 1024, 740}}};
    bool MonitorCalls = true;

    // IToolhelp
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
    // Snapshots and process handles alike.
    bool CloseHandle(HANDLE h) override;
    // IProcesses
    DWORD GetProcessVersion(DWORD processId) override;
    HINSTANCE ShellExecuteA(HWND owner, const std::string& operation, const std::string& file,
                            const std::string& parameters, const std::string& directory, int showCmd) override;
    UINT WinExec(const std::string& commandLine, UINT showCmd) override;
    HANDLE OpenProcess(DWORD desiredAccess, bool inheritHandle, DWORD processId) override;
    bool TerminateProcess(HANDLE process, UINT exitCode) override;
    DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) override;
    // IShell
    DWORD SHGetFileInfoA(const std::string& path, DWORD fileAttributes, SHFILEINFOA& info, UINT flags) override;
    HICON ExtractIconA(HINSTANCE hInst, const std::string& path, UINT index) override;
    HICON ExtractAssociatedIconA(HINSTANCE hInst, std::string& path, WORD& index) override;
    bool IsUsableIcon(HICON icon) override;
    bool DestroyIcon(HICON icon) override;
    HICON CopyIcon(HICON icon) override;
    HICON LoadIconA(const std::string& resourceName) override;
    bool Shell_NotifyIconA(DWORD message, const NOTIFYICONDATAA& data) override;
    HINSTANCE GetModuleHandleA() override { return 0x00400000; }
    // ISystem
    bool GetVersionExA(OSVERSIONINFOA& info) override;
    void GlobalMemoryStatus(MEMORYSTATUS& status) override;
    bool GlobalMemoryStatusEx(MEMORYSTATUSEX& status) override;
    void GetSystemInfo(SYSTEM_INFO& info) override;
    DWORD GetTickCount() override;
    bool SystemParametersInfoA(UINT action, UINT param, void* pvParam, UINT winIni) override;
    bool EnumDisplayMonitors(const MonitorVisitor& visit) override;
    DWORD GetFileVersionInfoSizeA(const std::string& path, DWORD& handle) override;
    bool GetFileVersionInfoA(const std::string& path, DWORD handle, DWORD len, void* data) override;
    bool VerQueryValueA(const void* block, const std::string& subBlock, const char*& value, UINT& len) override;
    std::string GetModuleFileNameA() override { return ModulePath; }
    void GetLocalTime(SYSTEMTIME& time) override;
    bool GetLocaleInfoA(DWORD locale, DWORD lcType, std::string& data) override;
    bool GetWindowsDirectoryA(std::string& directory) override;
    bool GetSystemDirectoryA(std::string& directory) override;
    bool GetComputerNameA(std::string& name) override;
    bool GetUserNameA(std::string& name) override;
    // Letters compare without regard to case first; between texts equal so, lower case comes first.
    int lstrcmpA(const std::string& a, const std::string& b) override;

private:
    // Counts and logs the call; true when it is to report failure. Throws when told to raise.
    bool Enter(Op op);
    HICON NewIcon();

    OSVERSIONINFOA version_{};
    std::vector<SimProcess> processes_;
    DWORD nextPid_ = 0xFFF10000;  // the family hands out ids with the top bit set
    DWORD nextTid_ = 0xFFF20004;
    std::uint64_t now_ = 0;
    std::set<Op> failing_, raising_;
    std::map<Op, int> calls_;
    std::vector<Op> log_;
    struct Snapshot {
        std::vector<SimProcess> processes;
        std::vector<THREADENTRY32> threads;
        std::vector<MODULEENTRY32> modules;
        std::vector<HEAPLIST32> heaps;
        size_t next = 0;
    };
    // Steps a walk of one of the snapshot's lists; false at its end or for an unknown snapshot.
    template <class Entry>
    bool Step(HANDLE hSnapshot, Entry& entry, bool first, std::vector<Entry> Snapshot::*list);
    std::map<HANDLE, Snapshot> snapshots_;
    struct ProcessHandle {
        DWORD pid;
        DWORD access;
    };
    std::map<HANDLE, ProcessHandle> processHandles_;  // open process handles
    // Processes whose termination was accepted, by id: the virtual time they end at.
    std::map<DWORD, std::uint64_t> ending_;
    // Removes the processes whose end has come.
    void EndDue();
    // Heap walks in progress: (process, heap) to the index of the next block.
    std::map<std::pair<DWORD, DWORD>, size_t> heapWalks_;
    HANDLE nextHandle_ = 0x100;
    std::set<HICON> liveIcons_;
    std::map<std::string, HICON> resourceIcons_;
    std::map<HICON, std::string> iconResources_;
    HICON nextIcon_ = 0x2000;
};

}  // namespace taskwell::sim
