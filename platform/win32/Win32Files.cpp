#include "platform/win32/Win32Files.h"

#include <cstdint>

#include "platform/win32/Win32Api.h"

namespace taskwell::win32 {

taskwell::DWORD Win32Files::GetFileAttributesA(const std::string& path) {
    return ::GetFileAttributesA(path.c_str());
}

taskwell::HANDLE Win32Files::CreateFileA(const std::string& path, taskwell::DWORD desiredAccess,
                                         taskwell::DWORD creationDisposition) {
    // Others may read a log while it is written to.
    ::HANDLE h = ::CreateFileA(path.c_str(), desiredAccess, FILE_SHARE_READ, nullptr, creationDisposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == reinterpret_cast<::HANDLE>(static_cast<std::intptr_t>(-1)) || h == nullptr) return 0;
    return FromHandle(h);
}

taskwell::DWORD Win32Files::SetFilePointer(taskwell::HANDLE file, taskwell::LONG distance, taskwell::DWORD moveMethod) {
    if (file == 0) return INVALID_SET_FILE_POINTER;
    return ::SetFilePointer(ToHandle(file), distance, nullptr, moveMethod);
}

bool Win32Files::WriteFile(taskwell::HANDLE file, const std::string& bytes, taskwell::DWORD& written) {
    written = 0;
    if (file == 0) return false;
    ::DWORD done = 0;
    const bool ok = ::WriteFile(ToHandle(file), bytes.data(), static_cast<::DWORD>(bytes.size()), &done, nullptr) != FALSE;
    written = done;
    return ok && done == bytes.size();
}

bool Win32Files::SetEndOfFile(taskwell::HANDLE file) {
    if (file == 0) return false;
    return ::SetEndOfFile(ToHandle(file)) != FALSE;
}

bool Win32Files::CloseHandle(taskwell::HANDLE file) {
    if (file == 0) return false;
    return ::CloseHandle(ToHandle(file)) != FALSE;
}

bool Win32Files::DeleteFileA(const std::string& path) {
    return ::DeleteFileA(path.c_str()) != FALSE;
}

}  // namespace taskwell::win32
