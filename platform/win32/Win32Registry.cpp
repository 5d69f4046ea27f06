#include "platform/win32/Win32Registry.h"

#include "platform/win32/Win32Api.h"

namespace {

// The system's predefined keys. The system headers define their names as macros that cast to HKEY,
// which inside our namespace would name our own handle type; the list therefore stands outside it.
// Our handles of these keys carry the same 32-bit values.
const ::HKEY kPredefined[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE,
                              HKEY_USERS,        HKEY_CURRENT_CONFIG, HKEY_DYN_DATA};

}  // namespace

namespace taskwell::win32 {

namespace {

std::uint32_t Low32(::HKEY h) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(h));
}

::HKEY ToHkey(taskwell::HKEY key) {
    for (::HKEY root : kPredefined)
        if (Low32(root) == key) return root;
    return reinterpret_cast<::HKEY>(static_cast<std::uintptr_t>(key));
}

taskwell::HKEY FromHkey(::HKEY h) {
    return static_cast<taskwell::HKEY>(Low32(h));
}

// The longest value name the system allows, with its terminating zero.
constexpr ::DWORD kMaxValueName = 16384;
constexpr int kQueryAttempts = 4;

}  // namespace

LONG Win32Registry::RegOpenKeyExA(taskwell::HKEY key, const std::string& subKey, DWORD samDesired,
                                  taskwell::HKEY& result) {
    result = 0;
    ::HKEY opened = nullptr;
    LONG rc = ::RegOpenKeyExA(ToHkey(key), subKey.c_str(), 0, samDesired, &opened);
    if (rc == ERROR_SUCCESS) result = FromHkey(opened);
    return rc;
}

LONG Win32Registry::RegCreateKeyExA(taskwell::HKEY key, const std::string& subKey, DWORD samDesired,
                                    taskwell::HKEY& result) {
    result = 0;
    ::HKEY created = nullptr;
    LONG rc = ::RegCreateKeyExA(ToHkey(key), subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, samDesired,
                                nullptr, &created, nullptr);
    if (rc == ERROR_SUCCESS) result = FromHkey(created);
    return rc;
}

LONG Win32Registry::RegCloseKey(taskwell::HKEY key) {
    return ::RegCloseKey(ToHkey(key));
}

LONG Win32Registry::RegQueryValueExA(taskwell::HKEY key, const std::string& valueName, DWORD& type,
                                     std::vector<BYTE>& data) {
    const ::HKEY h = ToHkey(key);
    for (int attempt = 0; attempt < kQueryAttempts; ++attempt) {
        ::DWORD size = 0;
        ::DWORD kind = REG_NONE;
        LONG rc = ::RegQueryValueExA(h, valueName.c_str(), nullptr, &kind, nullptr, &size);
        if (rc != ERROR_SUCCESS) return rc;
        // One byte more than asked for, so an empty value still gets a buffer to point at.
        std::vector<BYTE> buffer(static_cast<size_t>(size) + 1);
        ::DWORD got = size + 1;
        rc = ::RegQueryValueExA(h, valueName.c_str(), nullptr, &kind, buffer.data(), &got);
        if (rc == ERROR_MORE_DATA) continue;  // the value grew in between
        if (rc != ERROR_SUCCESS) return rc;
        buffer.resize(got < buffer.size() ? got : buffer.size());
        type = kind;
        data = std::move(buffer);
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

LONG Win32Registry::RegSetValueExA(taskwell::HKEY key, const std::string& valueName, DWORD type, const BYTE* data,
                                   DWORD size) {
    static const BYTE kNothing = 0;
    return ::RegSetValueExA(ToHkey(key), valueName.c_str(), 0, type, data ? data : &kNothing, data ? size : 0);
}

LONG Win32Registry::RegDeleteValueA(taskwell::HKEY key, const std::string& valueName) {
    return ::RegDeleteValueA(ToHkey(key), valueName.c_str());
}

LONG Win32Registry::RegEnumValueA(taskwell::HKEY key, DWORD index, std::string& valueName) {
    const ::HKEY h = ToHkey(key);
    std::vector<char> buffer(256);
    for (;;) {
        ::DWORD length = static_cast<::DWORD>(buffer.size());
        LONG rc = ::RegEnumValueA(h, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA && buffer.size() < kMaxValueName) {
            buffer.resize(kMaxValueName);
            continue;
        }
        if (rc != ERROR_SUCCESS) return rc;
        valueName.assign(buffer.data(), length < buffer.size() ? length : buffer.size());
        return ERROR_SUCCESS;
    }
}

}  // namespace taskwell::win32
