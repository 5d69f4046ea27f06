#include "platform/win32/Win32Toolhelp.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "app/PathUtils.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32SystemFunction.h"

namespace taskwell::win32 {

namespace {

// The system's records and ours have the same layout; copying field by field keeps that an
// assumption nobody has to trust.
void CopyEntry(const ::PROCESSENTRY32& from, taskwell::PROCESSENTRY32& to) {
    to.dwSize = sizeof(taskwell::PROCESSENTRY32);
    to.cntUsage = from.cntUsage;
    to.th32ProcessID = from.th32ProcessID;
    to.th32DefaultHeapID = static_cast<taskwell::DWORD>(from.th32DefaultHeapID);
    to.th32ModuleID = from.th32ModuleID;
    to.cntThreads = from.cntThreads;
    to.th32ParentProcessID = from.th32ParentProcessID;
    to.pcPriClassBase = from.pcPriClassBase;
    to.dwFlags = from.dwFlags;
    std::memcpy(to.szExeFile, from.szExeFile, sizeof to.szExeFile);
    to.szExeFile[sizeof to.szExeFile - 1] = '\0';
}

void CopyEntry(const ::THREADENTRY32& from, taskwell::THREADENTRY32& to) {
    to.dwSize = sizeof(taskwell::THREADENTRY32);
    to.cntUsage = from.cntUsage;
    to.th32ThreadID = from.th32ThreadID;
    to.th32OwnerProcessID = from.th32OwnerProcessID;
    to.tpBasePri = from.tpBasePri;
    to.tpDeltaPri = from.tpDeltaPri;
    to.dwFlags = from.dwFlags;
}

void CopyEntry(const ::MODULEENTRY32& from, taskwell::MODULEENTRY32& to) {
    to.dwSize = sizeof(taskwell::MODULEENTRY32);
    to.th32ModuleID = from.th32ModuleID;
    to.th32ProcessID = from.th32ProcessID;
    to.GlblcntUsage = from.GlblcntUsage;
    to.ProccntUsage = from.ProccntUsage;
    to.modBaseAddr = static_cast<taskwell::DWORD>(reinterpret_cast<std::uintptr_t>(from.modBaseAddr));
    to.modBaseSize = from.modBaseSize;
    to.hModule = static_cast<taskwell::DWORD>(reinterpret_cast<std::uintptr_t>(from.hModule));
    std::memcpy(to.szModule, from.szModule, sizeof to.szModule);
    to.szModule[sizeof to.szModule - 1] = '\0';
    std::memcpy(to.szExePath, from.szExePath, sizeof to.szExePath);
    to.szExePath[sizeof to.szExePath - 1] = '\0';
}

void CopyEntry(const ::HEAPLIST32& from, taskwell::HEAPLIST32& to) {
    to.dwSize = sizeof(taskwell::HEAPLIST32);
    to.th32ProcessID = from.th32ProcessID;
    to.th32HeapID = static_cast<taskwell::DWORD>(from.th32HeapID);
    to.dwFlags = from.dwFlags;
}

// Runs one step of a walk. A record smaller than the system's is refused as the system refuses it.
// A snapshot that holds no such entries (a process snapshot taken with the process list query asked
// for threads, modules or heaps) ends the walk at once, as the system's process snapshot does.
template <class Native, class Ours, class Step>
bool Walk(taskwell::HANDLE snapshot, Ours& entry, Step step, bool holdsNone = false) {
    if (entry.dwSize < sizeof(Ours)) {
        ::SetLastError(ERROR_BAD_LENGTH);
        return false;
    }
    if (snapshot == 0) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (holdsNone) {
        ::SetLastError(ERROR_NO_MORE_FILES);
        return false;
    }
    Native native{};
    native.dwSize = sizeof native;
    if (!step(ToHandle(snapshot), &native)) return false;
    CopyEntry(native, entry);
    return true;
}

void CopyBlock(const ::HEAPENTRY32& from, taskwell::HEAPENTRY32& to) {
    to.dwSize = sizeof(taskwell::HEAPENTRY32);
    to.hHandle = static_cast<taskwell::DWORD>(reinterpret_cast<std::uintptr_t>(from.hHandle));
    to.dwAddress = static_cast<taskwell::DWORD>(from.dwAddress);
    to.dwBlockSize = static_cast<taskwell::DWORD>(from.dwBlockSize);
    to.dwFlags = from.dwFlags;
    to.dwLockCount = from.dwLockCount;
    to.dwResvd = from.dwResvd;
    to.th32ProcessID = from.th32ProcessID;
    to.th32HeapID = static_cast<taskwell::DWORD>(from.th32HeapID);
}

bool IsBareName(const char* name) { return std::strpbrk(name, "\\/:") == nullptr; }

}  // namespace

// ---- ExePathCache ------------------------------------------------------------------------

ExePathCache::ExePathCache(Lookup lookup) : lookup_(std::move(lookup)) {}

std::string ExePathCache::Complete(taskwell::DWORD processId, const std::string& bareName) {
    auto it = known_.find(processId);
    if (it != known_.end() && it->second.bareName != bareName) {
        known_.erase(it);  // the id now belongs to another program
        it = known_.end();
    }
    if (it == known_.end()) it = known_.emplace(processId, Known{bareName, {}, 0}).first;
    Known& known = it->second;
    if (!known.path.empty()) return known.path;
    if (known.failures >= kMaxAttempts) return bareName;

    std::string path;
    if (lookup_ && lookup_(processId, path) && SameText(ExtractFileName(path), bareName)) {
        known.path = path;
        return path;
    }
    ++known.failures;
    return bareName;
}

void ExePathCache::Retain(const std::vector<taskwell::DWORD>& present) {
    for (auto it = known_.begin(); it != known_.end();) {
        if (std::find(present.begin(), present.end(), it->first) == present.end())
            it = known_.erase(it);
        else
            ++it;
    }
}

// ---- Win32Toolhelp -----------------------------------------------------------------------

Win32Toolhelp::Win32Toolhelp() : Win32Toolhelp(RunsOnWine()) {}

Win32Toolhelp::Win32Toolhelp(bool onWine, ExePathCache::Lookup exePathLookup, Win32ProcessQuery::Query processQuery)
    : wine_(onWine), paths_(std::move(exePathLookup)), query_(std::move(processQuery)) {}

bool Win32Toolhelp::RunsOnWine() {
    // Looked up at run time: Windows 95 and 98 have no ntdll.dll, and only Wine's exports this name.
    using WineVersionFunction = const char*(CDECL*)();
    return SystemFunction<WineVersionFunction>("ntdll.dll", "wine_get_version") != nullptr;
}

taskwell::LONG Win32Toolhelp::BasePriorityOfWineClass(taskwell::LONG priorityClass) {
    switch (priorityClass) {
    case 1: return 4;   // idle
    case 2: return 8;   // normal
    case 3: return 13;  // high
    case 4: return 24;  // realtime
    default: return priorityClass;
    }
}

bool Win32Toolhelp::ExePathOfProcess(taskwell::DWORD processId, std::string& path) {
    ::HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
    if (snapshot == reinterpret_cast<::HANDLE>(static_cast<std::intptr_t>(-1)) || snapshot == nullptr) return false;
    ::MODULEENTRY32 module{};
    module.dwSize = sizeof module;
    // The first module of a process is its executable.
    const bool found = ::Module32First(snapshot, &module) != FALSE;
    ::CloseHandle(snapshot);
    if (!found) return false;
    module.szExePath[sizeof module.szExePath - 1] = '\0';
    path = module.szExePath;
    return !path.empty();
}

void Win32Toolhelp::AdjustForWine(taskwell::HANDLE snapshot, taskwell::PROCESSENTRY32& entry) {
    walks_[snapshot].push_back(entry.th32ProcessID);
    entry.pcPriClassBase = BasePriorityOfWineClass(entry.pcPriClassBase);
    if (!IsBareName(entry.szExeFile) || entry.szExeFile[0] == '\0') return;
    const std::string path = paths_.Complete(entry.th32ProcessID, entry.szExeFile);
    if (path.size() < sizeof entry.szExeFile) std::memcpy(entry.szExeFile, path.c_str(), path.size() + 1);
}

size_t Win32Toolhelp::OpenQuerySnapshots() const {
    return static_cast<size_t>(std::count_if(snapshots_.begin(), snapshots_.end(),
                                             [](const QuerySnapshot& s) { return s.handle != 0; }));
}

Win32Toolhelp::QuerySnapshot* Win32Toolhelp::FindQuerySnapshot(taskwell::HANDLE h) {
    if (h == 0) return nullptr;
    for (QuerySnapshot& s : snapshots_)
        if (s.handle == h) return &s;
    return nullptr;
}

taskwell::HANDLE Win32Toolhelp::TakeQuerySnapshot() {
    auto slot = std::find_if(snapshots_.begin(), snapshots_.end(), [](const QuerySnapshot& s) { return s.handle == 0; });
    if (slot == snapshots_.end()) slot = snapshots_.insert(snapshots_.end(), QuerySnapshot{});
    QuerySnapshot& snapshot = *slot;
    if (!query_.Take(snapshot.entries)) return 0;
    ::HANDLE event = ::CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (!event) return 0;
    const taskwell::HANDLE h = FromHandle(event);
    // The system gives out only values no open handle has: a slot still holding this one belongs
    // to an event closed behind this adapter's back, and is free.
    for (QuerySnapshot& s : snapshots_)
        if (s.handle == h) s.handle = 0;
    snapshot.handle = h;
    snapshot.next = 0;
    return h;
}

taskwell::HANDLE Win32Toolhelp::CreateToolhelp32Snapshot(taskwell::DWORD dwFlags, taskwell::DWORD th32ProcessID) {
    // Processes alone (with any other kind the system's snapshot is one consistent picture of all
    // of them): the query's snapshot, unless it cannot be had.
    if (dwFlags == TH32CS_SNAPPROCESS && query_.Available())
        if (const taskwell::HANDLE h = TakeQuerySnapshot()) return h;
    ::HANDLE h = ::CreateToolhelp32Snapshot(dwFlags, th32ProcessID);
    // The system's "no snapshot" is INVALID_HANDLE_VALUE (all bits set); ours is 0.
    if (h == reinterpret_cast<::HANDLE>(static_cast<std::intptr_t>(-1)) || h == nullptr) return 0;
    return FromHandle(h);
}

bool Win32Toolhelp::StepProcessWalk(taskwell::HANDLE hSnapshot, taskwell::PROCESSENTRY32& entry, bool first) {
    QuerySnapshot* snapshot = FindQuerySnapshot(hSnapshot);
    if (!snapshot) {
        if (first)
            return Walk<::PROCESSENTRY32>(hSnapshot, entry, [](::HANDLE h, ::PROCESSENTRY32* e) { return ::Process32First(h, e) != FALSE; });
        return Walk<::PROCESSENTRY32>(hSnapshot, entry, [](::HANDLE h, ::PROCESSENTRY32* e) { return ::Process32Next(h, e) != FALSE; });
    }
    // The same refusal of a short record as the system's walk above.
    if (entry.dwSize < sizeof entry) {
        ::SetLastError(ERROR_BAD_LENGTH);
        return false;
    }
    if (first) snapshot->next = 0;
    if (snapshot->next >= snapshot->entries.size()) {
        ::SetLastError(ERROR_NO_MORE_FILES);
        return false;
    }
    entry = snapshot->entries[snapshot->next++];
    return true;
}

bool Win32Toolhelp::Process32First(taskwell::HANDLE hSnapshot, taskwell::PROCESSENTRY32& entry) {
    const bool found = StepProcessWalk(hSnapshot, entry, true);
    if (!wine_) return found;
    walks_.erase(hSnapshot);  // the walk starts over
    if (found) AdjustForWine(hSnapshot, entry);
    return found;
}

bool Win32Toolhelp::Process32Next(taskwell::HANDLE hSnapshot, taskwell::PROCESSENTRY32& entry) {
    const bool found = StepProcessWalk(hSnapshot, entry, false);
    if (!wine_) return found;
    if (found) {
        AdjustForWine(hSnapshot, entry);
        return true;
    }
    // The end of a walk that began with Process32First: its ids are the processes that exist.
    auto walk = walks_.find(hSnapshot);
    if (walk != walks_.end()) {
        if (::GetLastError() == ERROR_NO_MORE_FILES) paths_.Retain(walk->second);
        walks_.erase(walk);
    }
    return false;
}

bool Win32Toolhelp::Thread32First(taskwell::HANDLE hSnapshot, taskwell::THREADENTRY32& entry) {
    return Walk<::THREADENTRY32>(hSnapshot, entry, [](::HANDLE h, ::THREADENTRY32* e) { return ::Thread32First(h, e) != FALSE; },
                               FindQuerySnapshot(hSnapshot) != nullptr);
}

bool Win32Toolhelp::Thread32Next(taskwell::HANDLE hSnapshot, taskwell::THREADENTRY32& entry) {
    return Walk<::THREADENTRY32>(hSnapshot, entry, [](::HANDLE h, ::THREADENTRY32* e) { return ::Thread32Next(h, e) != FALSE; },
                               FindQuerySnapshot(hSnapshot) != nullptr);
}

bool Win32Toolhelp::Module32First(taskwell::HANDLE hSnapshot, taskwell::MODULEENTRY32& entry) {
    return Walk<::MODULEENTRY32>(hSnapshot, entry, [](::HANDLE h, ::MODULEENTRY32* e) { return ::Module32First(h, e) != FALSE; },
                               FindQuerySnapshot(hSnapshot) != nullptr);
}

bool Win32Toolhelp::Module32Next(taskwell::HANDLE hSnapshot, taskwell::MODULEENTRY32& entry) {
    return Walk<::MODULEENTRY32>(hSnapshot, entry, [](::HANDLE h, ::MODULEENTRY32* e) { return ::Module32Next(h, e) != FALSE; },
                               FindQuerySnapshot(hSnapshot) != nullptr);
}

bool Win32Toolhelp::Heap32ListFirst(taskwell::HANDLE hSnapshot, taskwell::HEAPLIST32& entry) {
    return Walk<::HEAPLIST32>(hSnapshot, entry, [](::HANDLE h, ::HEAPLIST32* e) { return ::Heap32ListFirst(h, e) != FALSE; },
                               FindQuerySnapshot(hSnapshot) != nullptr);
}

bool Win32Toolhelp::Heap32ListNext(taskwell::HANDLE hSnapshot, taskwell::HEAPLIST32& entry) {
    return Walk<::HEAPLIST32>(hSnapshot, entry, [](::HANDLE h, ::HEAPLIST32* e) { return ::Heap32ListNext(h, e) != FALSE; },
                               FindQuerySnapshot(hSnapshot) != nullptr);
}

bool Win32Toolhelp::Heap32First(taskwell::HEAPENTRY32& entry, taskwell::DWORD th32ProcessID, taskwell::DWORD th32HeapID) {
    if (entry.dwSize < sizeof(taskwell::HEAPENTRY32)) return false;
    // Wine's Heap32First is a stub that ends the calling program: there are no heap blocks to walk.
    if (wine_) {
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    ::HEAPENTRY32 native{};
    native.dwSize = sizeof native;
    if (!::Heap32First(&native, th32ProcessID, th32HeapID)) return false;
    CopyBlock(native, entry);
    return true;
}

bool Win32Toolhelp::Heap32Next(taskwell::HEAPENTRY32& entry) {
    if (entry.dwSize < sizeof(taskwell::HEAPENTRY32)) return false;
    if (wine_) {  // a stub on Wine, as Heap32First
        ::SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return false;
    }
    // The system continues from the previous block it handed out, which is in the record.
    ::HEAPENTRY32 native{};
    native.dwSize = sizeof native;
    native.hHandle = reinterpret_cast<::HANDLE>(static_cast<std::uintptr_t>(entry.hHandle));
    native.dwAddress = entry.dwAddress;
    native.dwBlockSize = entry.dwBlockSize;
    native.dwFlags = entry.dwFlags;
    native.dwLockCount = entry.dwLockCount;
    native.dwResvd = entry.dwResvd;
    native.th32ProcessID = entry.th32ProcessID;
    native.th32HeapID = entry.th32HeapID;
    if (!::Heap32Next(&native)) return false;
    CopyBlock(native, entry);
    return true;
}

bool Win32Toolhelp::CloseHandle(taskwell::HANDLE h) {
    // 0 is "no snapshot": nothing to close, and never handed to the system.
    if (h == 0) return false;
    walks_.erase(h);  // a walk left unfinished tells nothing about which processes left
    if (QuerySnapshot* snapshot = FindQuerySnapshot(h)) {
        snapshot->handle = 0;  // the slot is free; its entries' storage serves the next snapshot
        snapshot->next = 0;
    }
    return ::CloseHandle(ToHandle(h)) != FALSE;
}

}  // namespace taskwell::win32
