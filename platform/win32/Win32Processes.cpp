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

}  // namespace taskwell::win32
