// A deterministic Windows 95/98 machine in memory for the tests: processes, version record, memory
// and processor facts, icons, version resources and a virtual clock. Any operation can be told to
// fail (the way the platform reports failure) or to raise an error (the way a platform wrapper does),
// and every call is counted and logged in order.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
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
};

const char* OpName(Op op);

// Executable-type values as the shell reports them.
constexpr DWORD kExePE32 = 0x04004550;   // "PE", expects 4.0
constexpr DWORD kExeNE16 = 0x030A454E;   // "NE", expects 3.10
constexpr DWORD kExeMZ = 0x00005A4D;     // MS-DOS
constexpr DWORD kExeConsole = 0x00004550;  // "PE" with high word 0: a console program

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
};

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

    MEMORYSTATUS Memory{};
    SYSTEM_INFO SystemInfo{};

    // Clock: milliseconds of virtual time; the tick count wraps at 2^32 like the real one.
    std::uint64_t Now() const { return now_; }
    void SetNow(std::uint64_t ms) { now_ = ms; }
    DWORD TickBase = 0;  // tick count at virtual time 0

    // Failures: Fail makes the operation report failure its own way; Raise makes it throw.
    void Fail(Op op, bool on = true);
    void Raise(Op op, bool on = true);
    int Calls(Op op) const;
    const std::vector<Op>& CallLog() const { return log_; }
    void ClearLog();

    // Icons.
    std::set<std::string> IconResources;  // names LoadIconA knows (upper case)
    int LiveIcons() const { return static_cast<int>(liveIcons_.size()); }
    std::vector<std::string> LoadedIconNames;

    // Version resources by file path: the "FileVersion" text of block 040904E4.
    std::map<std::string, std::string> FileVersions;
    std::string ModulePath = "C:\\Program Files\\Orvex\\Taskwell\\taskwell.exe";

    // Notification-area icons present, by (window, id), and every call made.
    struct NotifyCall {
        DWORD message;
        NOTIFYICONDATAA data;
    };
    std::vector<NotifyCall> NotifyCalls;
    std::map<std::pair<HWND, UINT>, NOTIFYICONDATAA> TrayIcons;

    // Programs started through the shell.
    struct Started {
        std::string operation, file, parameters, directory;
        int showCmd;
    };
    std::vector<Started> StartedPrograms;

    int OpenSnapshots() const { return static_cast<int>(snapshots_.size()); }
    struct SpiCall {
        UINT action;
        UINT param;
    };
    std::vector<SpiCall> SystemParameterCalls;

    // IToolhelp
    HANDLE CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID) override;
    bool Process32First(HANDLE hSnapshot, PROCESSENTRY32& entry) override;
    bool Process32Next(HANDLE hSnapshot, PROCESSENTRY32& entry) override;
    bool CloseHandle(HANDLE h) override;
    // IProcesses
    DWORD GetProcessVersion(DWORD processId) override;
    HINSTANCE ShellExecuteA(HWND owner, const std::string& operation, const std::string& file,
                            const std::string& parameters, const std::string& directory, int showCmd) override;
    // IShell
    DWORD SHGetFileInfoA(const std::string& path, DWORD fileAttributes, SHFILEINFOA& info, UINT flags) override;
    HICON ExtractIconA(HINSTANCE hInst, const std::string& path, UINT index) override;
    bool IsUsableIcon(HICON icon) override;
    bool DestroyIcon(HICON icon) override;
    HICON CopyIcon(HICON icon) override;
    HICON LoadIconA(const std::string& resourceName) override;
    bool Shell_NotifyIconA(DWORD message, const NOTIFYICONDATAA& data) override;
    HINSTANCE GetModuleHandleA() override { return 0x00400000; }
    // ISystem
    bool GetVersionExA(OSVERSIONINFOA& info) override;
    void GlobalMemoryStatus(MEMORYSTATUS& status) override;
    void GetSystemInfo(SYSTEM_INFO& info) override;
    DWORD GetTickCount() override;
    bool SystemParametersInfoA(UINT action, UINT param, void* pvParam, UINT winIni) override;
    DWORD GetFileVersionInfoSizeA(const std::string& path, DWORD& handle) override;
    bool GetFileVersionInfoA(const std::string& path, DWORD handle, DWORD len, void* data) override;
    bool VerQueryValueA(const void* block, const std::string& subBlock, const char*& value, UINT& len) override;
    std::string GetModuleFileNameA() override { return ModulePath; }

private:
    // Counts and logs the call; true when it is to report failure. Throws when told to raise.
    bool Enter(Op op);
    HICON NewIcon();

    OSVERSIONINFOA version_{};
    std::vector<SimProcess> processes_;
    DWORD nextPid_ = 0xFFF10000;  // the family hands out ids with the top bit set
    std::uint64_t now_ = 0;
    std::set<Op> failing_, raising_;
    std::map<Op, int> calls_;
    std::vector<Op> log_;
    struct Snapshot {
        std::vector<SimProcess> processes;
        size_t next = 0;
    };
    std::map<HANDLE, Snapshot> snapshots_;
    HANDLE nextHandle_ = 0x100;
    std::set<HICON> liveIcons_;
    std::map<std::string, HICON> resourceIcons_;
    HICON nextIcon_ = 0x2000;
};

}  // namespace taskwell::sim
