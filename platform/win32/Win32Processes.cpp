#include "platform/win32/Win32Processes.h"

#include "platform/win32/Win32Api.h"

namespace taskwell::win32 {

taskwell::DWORD Win32Processes::GetProcessVersion(taskwell::DWORD processId) {
    return ::GetProcessVersion(processId);
}

taskwell::HINSTANCE Win32Processes::ShellExecuteA(taskwell::HWND owner, const std::string& operation,
                                                  const std::string& file, const std::string& parameters,
                                                  const std::string& directory, int showCmd) {
    auto text = [](const std::string& s) { return s.empty() ? nullptr : s.c_str(); };
    ::HINSTANCE result = ::ShellExecuteA(ToHwnd(owner), text(operation), file.c_str(), text(parameters),
                                         text(directory), showCmd);
    return FromHinstance(result);
}

taskwell::UINT Win32Processes::WinExec(const std::string& commandLine, taskwell::UINT showCmd) {
    return ::WinExec(commandLine.c_str(), showCmd);
}

taskwell::HANDLE Win32Processes::OpenProcess(taskwell::DWORD desiredAccess, bool inheritHandle,
                                             taskwell::DWORD processId) {
    return FromHandle(::OpenProcess(desiredAccess, inheritHandle ? TRUE : FALSE, processId));
}

bool Win32Processes::TerminateProcess(taskwell::HANDLE process, taskwell::UINT exitCode) {
    if (process == 0) return false;
    return ::TerminateProcess(ToHandle(process), exitCode) != FALSE;
}

taskwell::DWORD Win32Processes::WaitForSingleObject(taskwell::HANDLE handle, taskwell::DWORD milliseconds) {
    if (handle == 0) return WAIT_FAILED;
    return ::WaitForSingleObject(ToHandle(handle), milliseconds);
}

bool Win32Processes::CloseHandle(taskwell::HANDLE h) {
    // 0 is "no handle": nothing to close, and never handed to the system.
    if (h == 0) return false;
    return ::CloseHandle(ToHandle(h)) != FALSE;
}

}  // namespace taskwell::win32
