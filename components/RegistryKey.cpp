#include "components/RegistryKey.h"

namespace taskwell {

RegistryKey::RegistryKey(IRegistry& registry, HKEY root, const std::string& path, DWORD access, bool fallBackToRead)
    : registry_(registry) {
    const std::string relative = !path.empty() && path.front() == '\\' ? path.substr(1) : path;
    opened_ = registry_.RegOpenKeyExA(root, relative, access, key_) == ERROR_SUCCESS;
    if (!opened_ && fallBackToRead && access != KEY_READ)
        opened_ = registry_.RegOpenKeyExA(root, relative, KEY_READ, key_) == ERROR_SUCCESS;
}

RegistryKey::~RegistryKey() {
    if (!opened_) return;
    try {
        registry_.RegCloseKey(key_);
    } catch (...) {
        // A key that cannot be closed is the registry's loss; nothing more can be done here.
    }
}

bool RegistryKey::ReadData(const std::string& name, std::vector<BYTE>& data) const {
    data.clear();
    if (!opened_) return false;
    DWORD type = REG_NONE;
    return registry_.RegQueryValueExA(key_, name, type, data) == ERROR_SUCCESS;
}

std::string RegistryKey::ReadString(const std::string& name) const {
    if (!opened_) return "";
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (registry_.RegQueryValueExA(key_, name, type, data) != ERROR_SUCCESS) return "";
    if (type != REG_SZ && type != REG_EXPAND_SZ) return "";
    std::string text(data.begin(), data.end());
    return text.substr(0, text.find('\0'));
}

}  // namespace taskwell
