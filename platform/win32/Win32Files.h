// The system's files, for the usage logs.
#pragma once

#include "platform/Files.h"

namespace taskwell::win32 {

class Win32Files : public IFiles {
public:
    DWORD GetFileAttributesA(const std::string& path) override;
    HANDLE CreateFileA(const std::string& path, DWORD desiredAccess, DWORD creationDisposition) override;
    LONGLONG SetFilePointer(HANDLE file, LONGLONG distance, DWORD moveMethod) override;
    bool WriteFile(HANDLE file, const std::string& bytes, DWORD& written) override;
    bool SetEndOfFile(HANDLE file) override;
    bool CloseHandle(HANDLE file) override;
    bool DeleteFileA(const std::string& path) override;
};

}  // namespace taskwell::win32
