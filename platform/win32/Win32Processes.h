// Operations on the system's processes.
#pragma once

#include "platform/Processes.h"

namespace taskwell::win32 {

class Win32Processes : public IProcesses {
public:
    DWORD GetProcessVersion(DWORD processId) override;
};

}  // namespace taskwell::win32
