// Operations on processes.
#pragma once

#include <string>

#include "platform/Types.h"

namespace taskwell {

class IProcesses {
public:
    virtual ~IProcesses() = default;
    // The system version the process expects: major in the high word, minor in the low word; 0 on failure.
    virtual DWORD GetProcessVersion(DWORD processId) = 0;
    // Opens or runs a file as the shell does; the result is above 32 on success.
    virtual HINSTANCE ShellExecuteA(HWND owner, const std::string& operation, const std::string& file,
                                    const std::string& parameters, const std::string& directory,
                                    int showCmd) = 0;
};

}  // namespace taskwell
