#include "platform/win32/Win32Toolhelp.h"

#include <cstdint>
#include <cstring>

#include "platform/win32/Win32Api.h"

namespace taskwell::win32 {

namespace {

// The system's record and ours have the same layout; copying field by field keeps that an
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

// Runs one step of the walk. A record smaller than the system's is refused as the system refuses it.
template <class Step>
bool Walk(taskwell::HANDLE snapshot, taskwell::PROCESSENTRY32& entry, Step step) {
    if (entry.dwSize < sizeof(taskwell::PROCESSENTRY32)) {
        ::SetLastError(ERROR_BAD_LENGTH);
        return false;
    }
    if (snapshot == 0) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    ::PROCESSENTRY32 native{};
    native.dwSize = sizeof native;
    if (!step(ToHandle(snapshot), &native)) return false;
    CopyEntry(native, entry);
    return true;
}

}  // namespace

taskwell::HANDLE Win32Toolhelp::CreateToolhelp32Snapshot(taskwell::DWORD dwFlags, taskwell::DWORD th32ProcessID) {
    ::HANDLE h = ::CreateToolhelp32Snapshot(dwFlags, th32ProcessID);
    // The system's "no snapshot" is INVALID_HANDLE_VALUE (all bits set); ours is 0.
    if (h == reinterpret_cast<::HANDLE>(static_cast<std::intptr_t>(-1)) || h == nullptr) return 0;
    return FromHandle(h);
}

bool Win32Toolhelp::Process32First(taskwell::HANDLE hSnapshot, taskwell::PROCESSENTRY32& entry) {
    return Walk(hSnapshot, entry, [](::HANDLE h, ::PROCESSENTRY32* e) { return ::Process32First(h, e) != FALSE; });
}

bool Win32Toolhelp::Process32Next(taskwell::HANDLE hSnapshot, taskwell::PROCESSENTRY32& entry) {
    return Walk(hSnapshot, entry, [](::HANDLE h, ::PROCESSENTRY32* e) { return ::Process32Next(h, e) != FALSE; });
}

bool Win32Toolhelp::CloseHandle(taskwell::HANDLE h) {
    // 0 is "no snapshot": nothing to close, and never handed to the system.
    if (h == 0) return false;
    return ::CloseHandle(ToHandle(h)) != FALSE;
}

}  // namespace taskwell::win32
