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

taskwell::LONGLONG Win32Files::SetFilePointer(taskwell::HANDLE file, taskwell::LONGLONG distance,
                                             taskwell::DWORD moveMethod) {
    if (file == 0) return -1;
    // The distance in two halves; the new position comes back the same way. A low half of all ones
    // is a failure only when the system says so (it may be the low half of a position above 4 GB).
    ::LONG high = static_cast<::LONG>(distance >> 32);
    ::SetLastError(NO_ERROR);
    const ::DWORD low = ::SetFilePointer(ToHandle(file), static_cast<::LONG>(distance & 0xFFFFFFFF), &high, moveMethod);
    if (low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR) return -1;
    return static_cast<taskwell::LONGLONG>((static_cast<std::uint64_t>(static_cast<::DWORD>(high)) << 32) | low);
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
