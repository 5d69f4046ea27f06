// Shell services of the running system: executable types, icons of files and of the program's own
// resources.
#pragma once

#include "platform/Shell.h"

namespace taskwell::win32 {

class Win32Shell : public IShell {
public:
    DWORD SHGetFileInfoA(const std::string& path, DWORD fileAttributes, SHFILEINFOA& info,
                         UINT flags) override;
    HICON ExtractIconA(HINSTANCE hInst, const std::string& path, UINT index) override;
    HICON ExtractAssociatedIconA(HINSTANCE hInst, std::string& path, WORD& index) override;
    bool IsUsableIcon(HICON icon) override;
    bool DestroyIcon(HICON icon) override;
    HICON CopyIcon(HICON icon) override;
    HICON LoadIconA(const std::string& resourceName) override;
    bool Shell_NotifyIconA(DWORD message, const NOTIFYICONDATAA& data) override;
    HINSTANCE GetModuleHandleA() override;
};

}  // namespace taskwell::win32
