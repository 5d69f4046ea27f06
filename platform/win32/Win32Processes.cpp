#include "platform/win32/Win32Processes.h"

#include "platform/win32/Win32Api.h"

namespace taskwell::win32 {

taskwell::DWORD Win32Processes::GetProcessVersion(taskwell::DWORD processId) {
    return ::GetProcessVersion(processId);
}

}  // namespace taskwell::win32
