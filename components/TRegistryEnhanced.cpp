#include "components/TRegistryEnhanced.h"

#include <algorithm>
#include <cstdint>

#include "app/PathUtils.h"
#include "ui/Exception.h"

namespace taskwell {

namespace {

// A text that is an optionally signed decimal integer in the 32-bit signed range.
std::optional<LONG> DecimalText(const std::string& s) {
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    if (i == s.size()) return std::nullopt;
    std::int64_t n = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return std::nullopt;
        n = n * 10 + (s[i] - '0');
        if (n > 2147483648LL) return std::nullopt;
    }
    if (negative) n = -n;
    if (n > 2147483647LL) return std::nullopt;
    return static_cast<LONG>(n);
}

bool EqualsIgnoringCase(const std::string& a, const char* b) {
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return i == a.size() && !b[i];
}

// An open key that is closed when the scope ends, whatever way it ends.
class OpenKey {
public:
    explicit OpenKey(IRegistry& registry) : registry_(registry) {}
    ~OpenKey() {
        if (!handle_) return;
        try {
            registry_.RegCloseKey(handle_);
        } catch (...) {
            // Nothing more can be done about a key that will not close.
        }
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    // False when the key cannot be opened (or created), including when the call raises an error.
    bool Open(HKEY root, const std::string& path, DWORD access, bool create) {
        HKEY h = 0;
        LONG rc;
        try {
            rc = create ? registry_.RegCreateKeyExA(root, path, access, h)
                        : registry_.RegOpenKeyExA(root, path, access, h);
        } catch (...) {
            return false;
        }
        if (rc != ERROR_SUCCESS || !h) return false;
        handle_ = h;
        return true;
    }
    HKEY Handle() const { return handle_; }

private:
    IRegistry& registry_;
    HKEY handle_ = 0;
};

}  // namespace

// ---- TRegValue ------------------------------------------------------------------------------------

std::optional<LONG> TRegValue::AsNumber() const {
    if (const LONG* n = std::get_if<LONG>(&v_)) return *n;
    if (const bool* b = std::get_if<bool>(&v_)) return *b ? 1 : 0;
    return DecimalText(std::get<std::string>(v_));
}

std::optional<bool> TRegValue::AsBoolean() const {
    if (const bool* b = std::get_if<bool>(&v_)) return *b;
    if (const LONG* n = std::get_if<LONG>(&v_)) return *n != 0;
    const std::string& s = std::get<std::string>(v_);
    if (EqualsIgnoringCase(s, "true")) return true;
    if (EqualsIgnoringCase(s, "false")) return false;
    if (auto n = DecimalText(s)) return *n != 0;
    return std::nullopt;
}

std::optional<std::string> TRegValue::AsText() const {
    if (const std::string* s = std::get_if<std::string>(&v_)) return *s;
    return std::nullopt;
}

// ---- TRegistryEnhanced --------------------------------------------------------------------------------

HKEY TRegistryEnhanced::RootHandle(TRootKey root) {
    switch (root) {
    case TRootKey::hkClassesRoot: return HKEY_CLASSES_ROOT;
    case TRootKey::hkCurrentConfig: return HKEY_CURRENT_CONFIG;
    case TRootKey::hkCurrentUser: return HKEY_CURRENT_USER;
    case TRootKey::hkDynData: return HKEY_DYN_DATA;
    case TRootKey::hkLocalMachine: return HKEY_LOCAL_MACHINE;
    case TRootKey::hkUsers: return HKEY_USERS;
    }
    return HKEY_CURRENT_USER;
}

DWORD TRegistryEnhanced::AccessMask(TRegAccess access) {
    switch (access) {
    case TRegAccess::kRead: return KEY_READ;
    case TRegAccess::kWrite: return KEY_WRITE;
    case TRegAccess::kExecute: return KEY_EXECUTE;
    case TRegAccess::kAllAccess: return KEY_ALL_ACCESS;
    }
    return KEY_ALL_ACCESS;
}

bool TRegistryEnhanced::Locate(const std::string& name, std::string& path, std::string& valueName) const {
    std::vector<std::string> parts = PathParts(Key);
    if (parts.empty()) return false;
    // Every part of the name but the last is a subkey; the last (possibly empty: the key's default
    // value) is the value name.
    size_t cut = name.find_last_of('\\');
    valueName = cut == std::string::npos ? name : name.substr(cut + 1);
    if (cut != std::string::npos)
        for (std::string& part : PathParts(name.substr(0, cut))) parts.push_back(std::move(part));
    path.clear();
    for (const std::string& part : parts) {
        if (!path.empty()) path += '\\';
        path += part;
    }
    return true;
}

TRegValue TRegistryEnhanced::ReadValue(const std::string& name, const TRegValue& def) const {
    std::string path, valueName;
    if (!Locate(name, path, valueName)) return def;
    OpenKey key(registry_);
    if (!key.Open(RootHandle(RootKey), path, AccessMask(Access), false)) return def;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    try {
        if (registry_.RegQueryValueExA(key.Handle(), valueName, type, data) != ERROR_SUCCESS) return def;
    } catch (...) {
        return def;
    }
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
        // The text ends at its first zero; a text stored without one ends with its data.
        auto end = std::find(data.begin(), data.end(), BYTE{0});
        return TRegValue(std::string(data.begin(), end));
    }
    case REG_DWORD:
        if (data.size() != 4) return def;
        return TRegValue(static_cast<LONG>(static_cast<DWORD>(data[0]) | static_cast<DWORD>(data[1]) << 8 |
                                           static_cast<DWORD>(data[2]) << 16 | static_cast<DWORD>(data[3]) << 24));
    default:
        return def;
    }
}

void TRegistryEnhanced::WriteValue(const std::string& name, const TRegValue& value) const {
    std::string path, valueName;
    if (!Locate(name, path, valueName)) return;
    OpenKey key(registry_);
    if (!key.Open(RootHandle(RootKey), path, AccessMask(Access), true)) return;
    std::vector<BYTE> data;
    DWORD type;
    if (auto text = value.AsText()) {
        type = REG_SZ;
        data.assign(text->begin(), text->end());
        data.push_back(0);
    } else {
        type = REG_DWORD;
        const DWORD n = static_cast<DWORD>(*value.AsNumber());
        data = {static_cast<BYTE>(n), static_cast<BYTE>(n >> 8), static_cast<BYTE>(n >> 16), static_cast<BYTE>(n >> 24)};
    }
    LONG rc;
    try {
        rc = registry_.RegSetValueExA(key.Handle(), valueName, type, data.data(), static_cast<DWORD>(data.size()));
    } catch (...) {
        rc = ERROR_ACCESS_DENIED;
    }
    if (rc != ERROR_SUCCESS) throw Exception("Failed to set data for '" + valueName + "'");
}

bool TRegistryEnhanced::CreateKey() const {
    std::string path, valueName;
    if (!Locate("", path, valueName)) return false;
    OpenKey key(registry_);
    return key.Open(RootHandle(RootKey), path, AccessMask(Access), true);
}

bool TRegistryEnhanced::ReadBool(const std::string& name, bool def) const {
    return ReadValue(name, def).AsBoolean().value_or(def);
}

LONG TRegistryEnhanced::ReadInteger(const std::string& name, LONG def) const {
    return ReadValue(name, def).AsNumber().value_or(def);
}

std::string TRegistryEnhanced::ReadString(const std::string& name, const std::string& def) const {
    return ReadValue(name, def).AsText().value_or(def);
}

}  // namespace taskwell
