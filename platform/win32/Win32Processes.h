// Operations on the system's processes.
#pragma once

#include "platform/Processes.h"

namespace taskwell::win32 {

class Win32Processes : public IProcesses {
public:
    DWORD GetProcessVersion(DWORD processId) override;
    HINSTANCE ShellExecuteA(HWND owner, const std::string& operation, const std::string& file,
                            const std::string& parameters, const std::string& directory, int showCmd) override;
};

}  // namespace taskwell::win32
