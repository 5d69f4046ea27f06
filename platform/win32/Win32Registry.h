// The registry of the running system. Handles are the system's own, carried as 32-bit values; the
// six predefined roots are the system's predefined keys.
#pragma once

#include "platform/Registry.h"

namespace taskwell::win32 {

class Win32Registry : public IRegistry {
public:
    LONG RegOpenKeyExA(HKEY key, const std::string& subKey, DWORD samDesired, HKEY& result) override;
    LONG RegCreateKeyExA(HKEY key, const std::string& subKey, DWORD samDesired, HKEY& result) override;
    LONG RegCloseKey(HKEY key) override;
    // Asks for the size first, then reads the data; when the value grows between the two calls the
    // pair is repeated a few times.
    LONG RegQueryValueExA(HKEY key, const std::string& valueName, DWORD& type, std::vector<BYTE>& data) override;
    LONG RegSetValueExA(HKEY key, const std::string& valueName, DWORD type, const BYTE* data, DWORD size) override;
    LONG RegDeleteValueA(HKEY key, const std::string& valueName) override;
    LONG RegEnumValueA(HKEY key, DWORD index, std::string& valueName) override;
};

}  // namespace taskwell::win32
