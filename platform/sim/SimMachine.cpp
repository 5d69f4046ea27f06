#include "platform/sim/SimMachine.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <stdexcept>

namespace taskwell::sim {

namespace {
const char kVersionMagic[8] = {'T', 'W', 'S', 'I', 'M', 'V', 'E', 'R'};
const char kFileVersionKey[] = "\\StringFileInfo\\040904E4\\FileVersion";
}  // namespace

const char* OpName(Op op) {
    switch (op) {
    case Op::CreateToolhelp32Snapshot: return "CreateToolhelp32Snapshot";
    case Op::Process32First: return "Process32First";
    case Op::Process32Next: return "Process32Next";
    case Op::CloseHandle: return "CloseHandle";
    case Op::GetProcessVersion: return "GetProcessVersion";
    case Op::SHGetFileInfoA: return "SHGetFileInfoA";
    case Op::ExtractIconA: return "ExtractIconA";
    case Op::DestroyIcon: return "DestroyIcon";
    case Op::LoadIconA: return "LoadIconA";
    case Op::GetVersionExA: return "GetVersionExA";
    case Op::GlobalMemoryStatus: return "GlobalMemoryStatus";
    case Op::GetSystemInfo: return "GetSystemInfo";
    case Op::GetTickCount: return "GetTickCount";
    case Op::SystemParametersInfoA: return "SystemParametersInfoA";
    case Op::GetFileVersionInfoSizeA: return "GetFileVersionInfoSizeA";
    case Op::GetFileVersionInfoA: return "GetFileVersionInfoA";
    case Op::VerQueryValueA: return "VerQueryValueA";
    case Op::Shell_NotifyIconA: return "Shell_NotifyIconA";
    case Op::ShellExecuteA: return "ShellExecuteA";
    case Op::CopyIcon: return "CopyIcon";
    case Op::Thread32First: return "Thread32First";
    case Op::Thread32Next: return "Thread32Next";
    case Op::Module32First: return "Module32First";
    case Op::Module32Next: return "Module32Next";
    case Op::Heap32ListFirst: return "Heap32ListFirst";
    case Op::Heap32ListNext: return "Heap32ListNext";
    case Op::Heap32First: return "Heap32First";
    case Op::Heap32Next: return "Heap32Next";
    case Op::OpenProcess: return "OpenProcess";
    case Op::TerminateProcess: return "TerminateProcess";
    case Op::WaitForSingleObject: return "WaitForSingleObject";
    case Op::GetLocalTime: return "GetLocalTime";
    case Op::GetLocaleInfoA: return "GetLocaleInfoA";
    case Op::GetWindowsDirectoryA: return "GetWindowsDirectoryA";
    case Op::GetSystemDirectoryA: return "GetSystemDirectoryA";
    case Op::GetComputerNameA: return "GetComputerNameA";
    case Op::GetUserNameA: return "GetUserNameA";
    case Op::ExtractAssociatedIconA: return "ExtractAssociatedIconA";
    case Op::WinExec: return "WinExec";
    case Op::lstrcmpA: return "lstrcmpA";
    case Op::GlobalMemoryStatusEx: return "GlobalMemoryStatusEx";
    case Op::EnumDisplayMonitors: return "EnumDisplayMonitors";
    }
    return "?";
}

SimMachine::SimMachine() {
    UseWindows98();
    Memory.dwLength = 32;
    Memory.dwMemoryLoad = 40;
    Memory.dwTotalPhys = 64u * 1024 * 1024;
    Memory.dwAvailPhys = 24u * 1024 * 1024;
    Memory.dwTotalPageFile = 192u * 1024 * 1024;
    Memory.dwAvailPageFile = 150u * 1024 * 1024;
    Memory.dwTotalVirtual = 2047u * 1024 * 1024;
    Memory.dwAvailVirtual = 2000u * 1024 * 1024;
    SystemInfo.wProcessorArchitecture = 0;
    SystemInfo.dwPageSize = 4096;
    SystemInfo.lpMinimumApplicationAddress = 0x00400000;
    SystemInfo.lpMaximumApplicationAddress = 0x7FFEFFFF;
    SystemInfo.dwActiveProcessorMask = 1;
    SystemInfo.dwNumberOfProcessors = 1;
    SystemInfo.dwProcessorType = 586;
    SystemInfo.dwAllocationGranularity = 65536;
    SystemInfo.wProcessorLevel = 5;
    SystemInfo.wProcessorRevision = 0x0201;
    for (int i = 0; i <= 12; ++i) IconResources.insert("Z_" + std::to_string(i));
    IconResources.insert("Z_NONE");
    IconResources.insert("MAINICON");
}

void SimMachine::SetVersion(DWORD major, DWORD minor, DWORD build, DWORD platformId, const std::string& csd) {
    version_ = OSVERSIONINFOA{};
    version_.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    version_.dwMajorVersion = major;
    version_.dwMinorVersion = minor;
    version_.dwBuildNumber = build;
    version_.dwPlatformId = platformId;
    std::strncpy(version_.szCSDVersion, csd.c_str(), sizeof(version_.szCSDVersion) - 1);
}

// On the Windows 95 family the build field carries major and minor version in its high word.
void SimMachine::UseWindows95() { SetVersion(4, 0, 0x04000000u | 950u, VER_PLATFORM_WIN32_WINDOWS, " A "); }
void SimMachine::UseWindows98() { SetVersion(4, 10, 0x040A0000u | 1998u, VER_PLATFORM_WIN32_WINDOWS, " A "); }
void SimMachine::UseWindowsNT4() { SetVersion(4, 0, 1381, VER_PLATFORM_WIN32_NT, "Service Pack 6"); }

DWORD SimMachine::AddProcess(SimProcess p) {
    if (p.th32ProcessID == 0) {
        p.th32ProcessID = nextPid_;
        nextPid_ += 0x1234;
    }
    for (SimThread& t : p.threads)
        if (t.th32ThreadID == 0) t.th32ThreadID = nextTid_, nextTid_ += 0x1234;
    processes_.push_back(p);
    return p.th32ProcessID;
}

DWORD SimMachine::AddThread(DWORD pid, SimThread t) {
    SimProcess* p = FindProcess(pid);
    if (!p) return 0;
    if (t.th32ThreadID == 0) t.th32ThreadID = nextTid_, nextTid_ += 0x1234;
    p->threads.push_back(t);
    return t.th32ThreadID;
}

DWORD SimMachine::AddProcess(const std::string& exePath) {
    SimProcess p;
    p.szExeFile = exePath;
    return AddProcess(p);
}

bool SimMachine::RemoveProcess(DWORD pid) {
    auto it = std::find_if(processes_.begin(), processes_.end(),
                           [&](const SimProcess& p) { return p.th32ProcessID == pid; });
    if (it == processes_.end()) return false;
    processes_.erase(it);
    return true;
}

SimProcess* SimMachine::FindProcess(DWORD pid) {
    for (auto& p : processes_)
        if (p.th32ProcessID == pid) return &p;
    return nullptr;
}

void SimMachine::Fail(Op op, bool on) {
    if (on)
        failing_.insert(op);
    else
        failing_.erase(op);
}

void SimMachine::Raise(Op op, bool on) {
    if (on)
        raising_.insert(op);
    else
        raising_.erase(op);
}

int SimMachine::Calls(Op op) const {
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
}

void SimMachine::ClearLog() {
    log_.clear();
    calls_.clear();
}

bool SimMachine::Enter(Op op) {
    EndDue();
    ++calls_[op];
    log_.push_back(op);
    if (raising_.count(op)) throw std::runtime_error(std::string(OpName(op)) + " failed");
    return failing_.count(op) != 0;
}

namespace {
void CopyText(char* to, size_t size, const std::string& from) {
    std::memset(to, 0, size);
    std::strncpy(to, from.c_str(), size - 1);
}
}  // namespace

HANDLE SimMachine::CreateToolhelp32Snapshot(DWORD dwFlags, DWORD th32ProcessID) {
    if (Enter(Op::CreateToolhelp32Snapshot) || RefusedSnapshots.count(dwFlags)) return 0;
    Snapshot s;
    if (dwFlags & TH32CS_SNAPPROCESS) s.processes = processes_;
    if (dwFlags & TH32CS_SNAPTHREAD) {
        for (const SimProcess& p : processes_)
            for (const SimThread& t : p.threads)
                s.threads.push_back(THREADENTRY32{sizeof(THREADENTRY32), t.cntUsage, t.th32ThreadID,
                                                  p.th32ProcessID, t.tpBasePri, t.tpDeltaPri, t.dwFlags});
    }
    if (dwFlags & (TH32CS_SNAPMODULE | TH32CS_SNAPHEAPLIST)) {
        // The modules and heaps of one process: there is nothing to take of a process that is gone.
        const SimProcess* p = FindProcess(th32ProcessID);
        if (!p) return 0;
        if (dwFlags & TH32CS_SNAPMODULE) {
            for (const SimModule& m : p->modules) {
                MODULEENTRY32 e{};
                e.dwSize = sizeof e;
                e.th32ModuleID = m.th32ModuleID;
                e.th32ProcessID = m.th32ProcessID ? m.th32ProcessID : p->th32ProcessID;
                e.GlblcntUsage = m.GlblcntUsage;
                e.ProccntUsage = m.ProccntUsage;
                e.modBaseAddr = m.modBaseAddr;
                e.modBaseSize = m.modBaseSize;
                e.hModule = m.hModule;
                CopyText(e.szModule, sizeof e.szModule, m.szModule);
                CopyText(e.szExePath, sizeof e.szExePath, m.szExePath);
                s.modules.push_back(e);
            }
        }
        if (dwFlags & TH32CS_SNAPHEAPLIST) {
            for (const SimHeap& h : p->heaps)
                s.heaps.push_back(HEAPLIST32{sizeof(HEAPLIST32), h.th32ProcessID ? h.th32ProcessID : p->th32ProcessID,
                                             h.th32HeapID, h.dwFlags});
        }
    }
    HANDLE h = nextHandle_;
    nextHandle_ += 4;
    snapshots_[h] = std::move(s);
    return h;
}

template <class Entry>
bool SimMachine::Step(HANDLE hSnapshot, Entry& entry, bool first, std::vector<Entry> Snapshot::*list) {
    auto it = snapshots_.find(hSnapshot);
    if (it == snapshots_.end() || entry.dwSize != sizeof(Entry)) return false;
    Snapshot& s = it->second;
    if (first) s.next = 0;
    const std::vector<Entry>& entries = s.*list;
    if (s.next >= entries.size()) return false;
    entry = entries[s.next++];
    return true;
}

bool SimMachine::Thread32First(HANDLE hSnapshot, THREADENTRY32& entry) {
    if (Enter(Op::Thread32First)) return false;
    return Step(hSnapshot, entry, true, &Snapshot::threads);
}

bool SimMachine::Thread32Next(HANDLE hSnapshot, THREADENTRY32& entry) {
    if (Enter(Op::Thread32Next)) return false;
    return Step(hSnapshot, entry, false, &Snapshot::threads);
}

bool SimMachine::Module32First(HANDLE hSnapshot, MODULEENTRY32& entry) {
    if (Enter(Op::Module32First)) return false;
    return Step(hSnapshot, entry, true, &Snapshot::modules);
}

bool SimMachine::Module32Next(HANDLE hSnapshot, MODULEENTRY32& entry) {
    if (Enter(Op::Module32Next)) return false;
    return Step(hSnapshot, entry, false, &Snapshot::modules);
}

bool SimMachine::Heap32ListFirst(HANDLE hSnapshot, HEAPLIST32& entry) {
    if (Enter(Op::Heap32ListFirst)) return false;
    return Step(hSnapshot, entry, true, &Snapshot::heaps);
}

bool SimMachine::Heap32ListNext(HANDLE hSnapshot, HEAPLIST32& entry) {
    if (Enter(Op::Heap32ListNext)) return false;
    return Step(hSnapshot, entry, false, &Snapshot::heaps);
}

namespace {
// The heap as its process has it now: blocks are read live, as the system's heap walk does.
const SimHeap* FindHeap(const SimProcess* p, DWORD heapId) {
    if (!p) return nullptr;
    for (const SimHeap& h : p->heaps)
        if (h.th32HeapID == heapId) return &h;
    return nullptr;
}

void CopyBlock(const SimHeapBlock& b, DWORD pid, DWORD heapId, HEAPENTRY32& e) {
    e.hHandle = b.hHandle;
    e.dwAddress = b.dwAddress;
    e.dwBlockSize = b.dwBlockSize;
    e.dwFlags = b.dwFlags;
    e.dwLockCount = b.dwLockCount;
    e.dwResvd = b.dwResvd;
    e.th32ProcessID = pid;
    e.th32HeapID = heapId;
}
}  // namespace

bool SimMachine::Heap32First(HEAPENTRY32& entry, DWORD th32ProcessID, DWORD th32HeapID) {
    if (Enter(Op::Heap32First)) return false;
    const SimHeap* heap = FindHeap(FindProcess(th32ProcessID), th32HeapID);
    if (entry.dwSize != sizeof(HEAPENTRY32) || !heap || heap->blocks.empty()) return false;
    CopyBlock(heap->blocks[0], th32ProcessID, th32HeapID, entry);
    heapWalks_[{th32ProcessID, th32HeapID}] = 1;
    return true;
}

bool SimMachine::Heap32Next(HEAPENTRY32& entry) {
    if (Enter(Op::Heap32Next)) return false;
    auto walk = heapWalks_.find({entry.th32ProcessID, entry.th32HeapID});
    const SimHeap* heap = FindHeap(FindProcess(entry.th32ProcessID), entry.th32HeapID);
    if (walk == heapWalks_.end() || !heap || walk->second >= heap->blocks.size()) return false;
    CopyBlock(heap->blocks[walk->second++], entry.th32ProcessID, entry.th32HeapID, entry);
    return true;
}

namespace {
void CopyEntry(const SimProcess& p, PROCESSENTRY32& e) {
    e.cntUsage = p.cntUsage;
    e.th32ProcessID = p.th32ProcessID;
    e.th32DefaultHeapID = p.th32DefaultHeapID;
    e.th32ModuleID = p.th32ModuleID;
    e.cntThreads = p.cntThreads;
    e.th32ParentProcessID = p.th32ParentProcessID;
    e.pcPriClassBase = p.pcPriClassBase;
    e.dwFlags = p.dwFlags;
    std::memset(e.szExeFile, 0, sizeof(e.szExeFile));
    std::strncpy(e.szExeFile, p.szExeFile.c_str(), sizeof(e.szExeFile) - 1);
}
}  // namespace

bool SimMachine::Process32First(HANDLE hSnapshot, PROCESSENTRY32& entry) {
    if (Enter(Op::Process32First)) return false;
    auto it = snapshots_.find(hSnapshot);
    if (it == snapshots_.end() || entry.dwSize != sizeof(PROCESSENTRY32)) return false;
    it->second.next = 0;
    if (it->second.processes.empty()) return false;
    CopyEntry(it->second.processes[0], entry);
    it->second.next = 1;
    return true;
}

bool SimMachine::Process32Next(HANDLE hSnapshot, PROCESSENTRY32& entry) {
    if (Enter(Op::Process32Next)) return false;
    auto it = snapshots_.find(hSnapshot);
    if (it == snapshots_.end() || entry.dwSize != sizeof(PROCESSENTRY32)) return false;
    Snapshot& s = it->second;
    if (s.next >= s.processes.size()) return false;
    CopyEntry(s.processes[s.next++], entry);
    return true;
}

bool SimMachine::CloseHandle(HANDLE h) {
    if (Enter(Op::CloseHandle)) return false;
    return snapshots_.erase(h) != 0 || processHandles_.erase(h) != 0;
}

void SimMachine::EndDue() {
    for (auto it = ending_.begin(); it != ending_.end();) {
        if (it->second > now_) {
            ++it;
            continue;
        }
        RemoveProcess(it->first);
        it = ending_.erase(it);
    }
}

HANDLE SimMachine::OpenProcess(DWORD desiredAccess, bool, DWORD processId) {
    if (Enter(Op::OpenProcess)) return 0;
    const SimProcess* p = FindProcess(processId);
    if (!p || p->refusesOpen) return 0;
    HANDLE h = nextHandle_;
    nextHandle_ += 4;
    processHandles_[h] = ProcessHandle{processId, desiredAccess};
    return h;
}

bool SimMachine::TerminateProcess(HANDLE process, UINT exitCode) {
    if (Enter(Op::TerminateProcess)) return false;
    auto it = processHandles_.find(process);
    if (it == processHandles_.end()) return false;
    const DWORD pid = it->second.pid;
    SimProcess* p = FindProcess(pid);
    if (!p || p->refusesTerminate) return false;
    TerminatedProcesses.push_back(Terminated{pid, exitCode});
    if (p->neverEnds || ending_.count(pid)) return true;
    if (p->endsAfterMs == 0)
        RemoveProcess(pid);
    else
        ending_[pid] = now_ + p->endsAfterMs;
    return true;
}

DWORD SimMachine::WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    if (Enter(Op::WaitForSingleObject)) return WAIT_FAILED;
    auto it = processHandles_.find(handle);
    if (it == processHandles_.end() || !(it->second.access & SYNCHRONIZE)) return WAIT_FAILED;
    const DWORD pid = it->second.pid;
    if (!FindProcess(pid)) return WAIT_OBJECT_0;
    auto ending = ending_.find(pid);
    if (ending != ending_.end() && (milliseconds == INFINITE || ending->second - now_ <= milliseconds)) {
        WaitedMs += ending->second - now_;
        now_ = ending->second;
        EndDue();
        return WAIT_OBJECT_0;
    }
    if (milliseconds == INFINITE) throw std::logic_error("WaitForSingleObject would wait forever for a process that does not end");
    now_ += milliseconds;
    WaitedMs += milliseconds;
    return WAIT_TIMEOUT;
}

DWORD SimMachine::GetProcessVersion(DWORD processId) {
    if (Enter(Op::GetProcessVersion)) return 0;
    SimProcess* p = FindProcess(processId);
    return p ? p->version : 0;
}

HINSTANCE SimMachine::ShellExecuteA(HWND owner, const std::string& operation, const std::string& file,
                                    const std::string& parameters, const std::string& directory, int showCmd) {
    if (Enter(Op::ShellExecuteA)) return 2;  // file not found
    if (file.size() > MAX_PATH - 1) {
        ++TextsTooLong;
        throw std::runtime_error("ShellExecuteA: the shell's code fails on a file name of " +
                                 std::to_string(file.size()) + " characters");
    }
    auto forced = ShellExecuteResults.find(file);
    if (forced != ShellExecuteResults.end() && forced->second <= 32) return forced->second;
    StartedPrograms.push_back(Started{operation, file, parameters, directory, showCmd, owner});
    return forced != ShellExecuteResults.end() ? forced->second : 42;
}

namespace {
// The shell keeps of a notification record only the members its flags name; the others stay as
// they were (zero for an icon just added).
void TakeNotifyMembers(NOTIFYICONDATAA& held, const NOTIFYICONDATAA& data) {
    held.uFlags |= data.uFlags;
    if (data.uFlags & NIF_MESSAGE) held.uCallbackMessage = data.uCallbackMessage;
    if (data.uFlags & NIF_ICON) held.hIcon = data.hIcon;
    if (data.uFlags & NIF_TIP) std::memcpy(held.szTip, data.szTip, sizeof(held.szTip));
}
}  // namespace

bool SimMachine::Shell_NotifyIconA(DWORD message, const NOTIFYICONDATAA& data) {
    NotifyCalls.push_back(NotifyCall{message, data});
    if (Enter(Op::Shell_NotifyIconA)) return false;
    auto key = std::make_pair(data.hWnd, data.uID);
    switch (message) {
    case NIM_ADD: {
        if (TrayIcons.count(key)) return false;
        NOTIFYICONDATAA& held = TrayIcons[key];
        held = NOTIFYICONDATAA{};
        held.cbSize = data.cbSize;
        held.hWnd = data.hWnd;
        held.uID = data.uID;
        TakeNotifyMembers(held, data);
        return true;
    }
    case NIM_MODIFY:
        if (!TrayIcons.count(key)) return false;
        TakeNotifyMembers(TrayIcons[key], data);
        return true;
    case NIM_DELETE:
        return TrayIcons.erase(key) != 0;
    default:
        return false;
    }
}

namespace {
const SimProcess* ByPath(const std::vector<SimProcess>& ps, const std::string& path) {
    for (auto& p : ps)
        if (p.szExeFile == path) return &p;
    return nullptr;
}
}  // namespace

DWORD SimMachine::SHGetFileInfoA(const std::string& path, DWORD, SHFILEINFOA& info, UINT flags) {
    std::memset(&info, 0, sizeof(info));
    if (Enter(Op::SHGetFileInfoA) || !(flags & SHGFI_EXETYPE)) return 0;
    const SimProcess* p = ByPath(processes_, path);
    return p ? p->exeType : 0;
}

HICON SimMachine::NewIcon() {
    HICON h = nextIcon_;
    nextIcon_ += 2;
    liveIcons_.insert(h);
    return h;
}

namespace {
// Files the shell takes icons from: executables, libraries and icon files.
bool HoldsIcons(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos) return true;
    std::string ext = path.substr(dot);
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext == ".EXE" || ext == ".DLL" || ext == ".ICO" || ext == ".COM" || ext == ".SCR";
}
}  // namespace

HICON SimMachine::ExtractIconA(HINSTANCE, const std::string& path, UINT index) {
    if (Enter(Op::ExtractIconA)) return 0;
    const SimProcess* p = ByPath(processes_, path);
    if (!p || !HoldsIcons(path)) return 1;  // not an executable the shell knows
    if (!p->hasIcon || index != 0) return 0;
    return NewIcon();
}

namespace {
std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}
}  // namespace

HICON SimMachine::ExtractAssociatedIconA(HINSTANCE hInst, std::string& path, WORD& index) {
    if (Enter(Op::ExtractAssociatedIconA)) return 0;
    const SimProcess* p = ByPath(processes_, path);
    if (p) return p->hasIcon && index == 0 ? NewIcon() : 0;
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("\\:");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return 0;
    if (!AssociatedExtensions.count(Upper(path.substr(dot)))) return 0;
    // The icon comes from the associated program, which the system names in the buffer.
    (void)hInst;
    path = WindowsDirectory + "\\NOTEPAD.EXE";
    index = 0;
    return NewIcon();
}

UINT SimMachine::WinExec(const std::string& commandLine, UINT) {
    if (Enter(Op::WinExec)) return 0;  // out of memory or resources
    if (version_.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && commandLine.size() > MAX_PATH - 1) {
        ++TextsTooLong;
        throw std::runtime_error("WinExec: a command line of " + std::to_string(commandLine.size()) +
                                 " characters is longer than the system takes");
    }
    ExecutedCommands.push_back(commandLine);
    auto forced = WinExecResults.find(commandLine);
    if (forced != WinExecResults.end()) return forced->second;
    // The program is the text up to the first space, or the quoted text when it starts quoted.
    std::string program;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const size_t close = commandLine.find('"', 1);
        program = commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    } else {
        program = commandLine.substr(0, commandLine.find(' '));
    }
    for (const std::string& known : Programs)
        if (Upper(known) == Upper(program)) {
            AddProcess(known);
            return 33;
        }
    return 2;  // file not found
}

int SimMachine::lstrcmpA(const std::string& a, const std::string& b) {
    if (Enter(Op::lstrcmpA)) return 0;
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const int ca = std::tolower(static_cast<unsigned char>(a[i]));
        const int cb = std::tolower(static_cast<unsigned char>(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return std::islower(static_cast<unsigned char>(a[i])) ? -1 : 1;
    return 0;
}

bool SimMachine::IsUsableIcon(HICON icon) {
    return liveIcons_.count(icon) != 0;
}

bool SimMachine::DestroyIcon(HICON icon) {
    if (Enter(Op::DestroyIcon)) return false;
    for (auto& r : resourceIcons_)
        if (r.second == icon) return true;  // shared resource icons stay
    return liveIcons_.erase(icon) != 0;
}

HICON SimMachine::CopyIcon(HICON icon) {
    if (Enter(Op::CopyIcon)) return 0;
    if (!liveIcons_.count(icon)) return 0;
    HICON copy = NewIcon();
    if (auto it = iconResources_.find(icon); it != iconResources_.end()) iconResources_[copy] = it->second;
    return copy;
}

HICON SimMachine::LoadIconA(const std::string& resourceName) {
    LoadedIconNames.push_back(resourceName);
    if (Enter(Op::LoadIconA)) return 0;
    if (!IconResources.count(resourceName)) return 0;
    if (SharedResourceIcons) {
        auto it = resourceIcons_.find(resourceName);
        if (it != resourceIcons_.end()) return it->second;
    }
    HICON h = NewIcon();
    iconResources_[h] = resourceName;
    if (SharedResourceIcons) resourceIcons_[resourceName] = h;
    return h;
}

bool SimMachine::GetVersionExA(OSVERSIONINFOA& info) {
    if (Enter(Op::GetVersionExA)) return false;
    if (info.dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return false;
    info = version_;
    return true;
}

void SimMachine::GlobalMemoryStatus(MEMORYSTATUS& status) {
    if (Enter(Op::GlobalMemoryStatus)) return;
    status = Memory;
}

bool SimMachine::GlobalMemoryStatusEx(MEMORYSTATUSEX& status) {
    if (Enter(Op::GlobalMemoryStatusEx) || !MemoryEx || status.dwLength != sizeof(MEMORYSTATUSEX)) return false;
    status = *MemoryEx;
    status.dwLength = sizeof(MEMORYSTATUSEX);
    return true;
}

void SimMachine::GetSystemInfo(SYSTEM_INFO& info) {
    if (Enter(Op::GetSystemInfo)) return;
    info = SystemInfo;
}

DWORD SimMachine::GetTickCount() {
    ++calls_[Op::GetTickCount];  // too frequent to log
    return static_cast<DWORD>(TickBase + static_cast<DWORD>(now_));
}

bool SimMachine::SystemParametersInfoA(UINT action, UINT param, void* pvParam, UINT) {
    if (Enter(Op::SystemParametersInfoA)) return false;
    SystemParameterCalls.push_back(SpiCall{action, param});
    if (action == SPI_GETWORKAREA) {
        if (!pvParam || Monitors.empty()) return false;
        *static_cast<RECTL*>(pvParam) = Monitors.front().work;
    }
    return true;
}

bool SimMachine::EnumDisplayMonitors(const MonitorVisitor& visit) {
    if (Enter(Op::EnumDisplayMonitors)) return false;
    if (!MonitorCalls || !visit) return false;
    for (size_t i = 0; i < Monitors.size(); ++i) {
        const MONITORINFO info{sizeof(MONITORINFO), Monitors[i].bounds, Monitors[i].work,
                               i == 0 ? MONITORINFOF_PRIMARY : 0};
        if (!visit(info)) break;
    }
    return true;
}

DWORD SimMachine::GetFileVersionInfoSizeA(const std::string& path, DWORD& handle) {
    handle = 0;
    if (Enter(Op::GetFileVersionInfoSizeA)) return 0;
    auto it = FileVersions.find(path);
    if (it == FileVersions.end()) return 0;
    return static_cast<DWORD>(sizeof(kVersionMagic) + sizeof(kFileVersionKey) + it->second.size() + 1);
}

// The simulated block: a marker, the key of the one value it holds, and the value, each zero-terminated.
bool SimMachine::GetFileVersionInfoA(const std::string& path, DWORD, DWORD len, void* data) {
    if (Enter(Op::GetFileVersionInfoA)) return false;
    auto it = FileVersions.find(path);
    if (it == FileVersions.end()) return false;
    std::string block(kVersionMagic, sizeof(kVersionMagic));
    block.append(kFileVersionKey, sizeof(kFileVersionKey));
    block += it->second;
    block.push_back('\0');
    if (len < block.size()) return false;
    std::memcpy(data, block.data(), block.size());
    return true;
}

bool SimMachine::VerQueryValueA(const void* block, const std::string& subBlock, const char*& value, UINT& len) {
    value = nullptr;
    len = 0;
    if (Enter(Op::VerQueryValueA) || !block) return false;
    const char* b = static_cast<const char*>(block);
    if (std::memcmp(b, kVersionMagic, sizeof(kVersionMagic)) != 0) return false;
    std::string key = subBlock;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
    std::string want = kFileVersionKey;
    std::transform(want.begin(), want.end(), want.begin(), [](unsigned char c) { return std::toupper(c); });
    if (key != want) return false;
    value = b + sizeof(kVersionMagic) + sizeof(kFileVersionKey);
    len = static_cast<UINT>(std::strlen(value) + 1);
    return true;
}

void SimMachine::GetLocalTime(SYSTEMTIME& time) {
    if (Enter(Op::GetLocalTime)) {
        time = SYSTEMTIME{};
        return;
    }
    if (!NextLocalTimes.empty()) {
        time = NextLocalTimes.front();
        NextLocalTimes.erase(NextLocalTimes.begin());
        return;
    }
    time = LocalTime;
}

bool SimMachine::GetLocaleInfoA(DWORD, DWORD lcType, std::string& data) {
    data.clear();
    if (Enter(Op::GetLocaleInfoA)) return false;
    auto it = Locale.find(lcType);
    if (it == Locale.end()) return false;
    data = it->second;
    return true;
}

namespace {
// A text as a 257-character buffer holds it: up to its first NUL, at most 256 characters.
bool FromBuffer(const std::string& source, std::string& out) {
    out = source.substr(0, std::min(source.find('\0'), std::string::size_type{256}));
    return true;
}
}  // namespace

bool SimMachine::GetWindowsDirectoryA(std::string& directory) {
    directory.clear();
    return !Enter(Op::GetWindowsDirectoryA) && FromBuffer(WindowsDirectory, directory);
}

bool SimMachine::GetSystemDirectoryA(std::string& directory) {
    directory.clear();
    return !Enter(Op::GetSystemDirectoryA) && FromBuffer(SystemDirectory, directory);
}

bool SimMachine::GetComputerNameA(std::string& name) {
    name.clear();
    return !Enter(Op::GetComputerNameA) && FromBuffer(ComputerName, name);
}

bool SimMachine::GetUserNameA(std::string& name) {
    name.clear();
    return !Enter(Op::GetUserNameA) && FromBuffer(UserName, name);
}

}  // namespace taskwell::sim
