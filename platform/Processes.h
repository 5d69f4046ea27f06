// Operations on processes.
#pragma once

#include "platform/Types.h"

namespace taskwell {

class IProcesses {
public:
    virtual ~IProcesses() = default;
    // The system version the process expects: major in the high word, minor in the low word; 0 on failure.
    virtual DWORD GetProcessVersion(DWORD processId) = 0;
};

}  // namespace taskwell
