#include "components/RegistryKey.h"

#include <functional>

namespace taskwell {

namespace {
// A call that raises an error instead of returning one is taken as failed: the statistics and the
// System Info page read their keys in every tick and at creation, where a raised error would end
// the step (or creation) instead of leaving the one reading out.
LONG Quietly(const std::function<LONG()>& call) {
    try {
        return call();
    } catch (...) {
        return ERROR_ACCESS_DENIED;
    }
}
}  // namespace

RegistryKey::RegistryKey(IRegistry& registry, HKEY root, const std::string& path, DWORD access, bool fallBackToRead)
    : registry_(registry) {
    const std::string relative = !path.empty() && path.front() == '\\' ? path.substr(1) : path;
    auto open = [&](DWORD mask) {
        HKEY key = 0;
        if (Quietly([&] { return registry_.RegOpenKeyExA(root, relative, mask, key); }) != ERROR_SUCCESS) return false;
        key_ = key;
        return true;
    };
    opened_ = open(access);
    if (!opened_ && fallBackToRead && access != KEY_READ) opened_ = open(KEY_READ);
}

RegistryKey::~RegistryKey() {
    if (!opened_) return;
    try {
        registry_.RegCloseKey(key_);
    } catch (...) {
        // A key that cannot be closed is the registry's loss; nothing more can be done here.
    }
}

bool RegistryKey::ReadData(const std::string& name, BYTE* buffer, DWORD& size) const {
    const DWORD room = size;
    size = 0;
    if (!opened_) return false;
    DWORD type = REG_NONE;
    DWORD got = room;
    if (Quietly([&] { return registry_.RegQueryValueExA(key_, name, type, buffer, got); }) != ERROR_SUCCESS ||
        got > room)
        return false;
    size = got;
    return true;
}

std::string RegistryKey::ReadString(const std::string& name) const {
    if (!opened_) return "";
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    if (Quietly([&] { return registry_.RegQueryValueExA(key_, name, type, data); }) != ERROR_SUCCESS) return "";
    if (type != REG_SZ && type != REG_EXPAND_SZ) return "";
    std::string text(data.begin(), data.end());
    return text.substr(0, text.find('\0'));
}

}  // namespace taskwell
