// Operations on the system's processes.
#pragma once

#include "platform/Processes.h"

namespace taskwell::win32 {

class Win32Processes : public IProcesses {
public:
    DWORD GetProcessVersion(DWORD processId) override;
    HINSTANCE ShellExecuteA(HWND owner, const std::string& operation, const std::string& file,
                            const std::string& parameters, const std::string& directory, int showCmd) override;
    UINT WinExec(const std::string& commandLine, UINT showCmd) override;
    HANDLE OpenProcess(DWORD desiredAccess, bool inheritHandle, DWORD processId) override;
    bool TerminateProcess(HANDLE process, UINT exitCode) override;
    DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) override;
    bool CloseHandle(HANDLE h) override;
};

}  // namespace taskwell::win32
