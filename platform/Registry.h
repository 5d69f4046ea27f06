// The registry: keys below the six predefined roots, typed values. Keys are opened and closed by
// the caller; results are the platform's error codes (ERROR_SUCCESS on success).
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

namespace taskwell {

using HKEY = std::uint32_t;

constexpr HKEY HKEY_CLASSES_ROOT = 0x80000000u;
constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
constexpr HKEY HKEY_LOCAL_MACHINE = 0x80000002u;
constexpr HKEY HKEY_USERS = 0x80000003u;
constexpr HKEY HKEY_CURRENT_CONFIG = 0x80000005u;
constexpr HKEY HKEY_DYN_DATA = 0x80000006u;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;

constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;

constexpr DWORD KEY_QUERY_VALUE = 0x0001;
constexpr DWORD KEY_SET_VALUE = 0x0002;
constexpr DWORD KEY_CREATE_SUB_KEY = 0x0004;
constexpr DWORD KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr DWORD KEY_READ = 0x20019;
constexpr DWORD KEY_WRITE = 0x20006;
constexpr DWORD KEY_EXECUTE = 0x20019;
constexpr DWORD KEY_ALL_ACCESS = 0xF003F;

class IRegistry {
public:
    virtual ~IRegistry() = default;
    // Opens an existing key below key (a root or an open key); subKey may hold several parts
    // separated by backslashes.
    virtual LONG RegOpenKeyExA(HKEY key, const std::string& subKey, DWORD samDesired, HKEY& result) = 0;
    // Opens a key, creating it and any missing parents.
    virtual LONG RegCreateKeyExA(HKEY key, const std::string& subKey, DWORD samDesired, HKEY& result) = 0;
    virtual LONG RegCloseKey(HKEY key) = 0;
    // Reads a value of an open key: its type and its whole data (text values with their
    // terminating zero, as stored). The system is asked for the size, then for the data: two
    // queries of the value.
    virtual LONG RegQueryValueExA(HKEY key, const std::string& valueName, DWORD& type, std::vector<BYTE>& data) = 0;
    // Reads a value into the caller's buffer of size bytes in one query of the system (the dynamic
    // statistics of the Windows 95/98 family are read so: their provider runs on every query). On
    // success size holds the value's size; a value longer than the buffer gives ERROR_MORE_DATA
    // (size: the value's size, the buffer's content undefined).
    virtual LONG RegQueryValueExA(HKEY key, const std::string& valueName, DWORD& type, BYTE* data, DWORD& size) = 0;
    virtual LONG RegSetValueExA(HKEY key, const std::string& valueName, DWORD type, const BYTE* data,
                                DWORD size) = 0;
    virtual LONG RegDeleteValueA(HKEY key, const std::string& valueName) = 0;
    // The name of the index'th value of an open key; ERROR_NO_MORE_ITEMS past the last.
    virtual LONG RegEnumValueA(HKEY key, DWORD index, std::string& valueName) = 0;
};

}  // namespace taskwell
