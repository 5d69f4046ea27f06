// The values below a key of the simulated registry, read straight from its hive (no call counted):
// what the program left stored, to compare runs or to check each value against the layout.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/sim/SimRegistry.h"

namespace taskwell::testing {

// The settings root of the program below HKEY_CURRENT_USER.
inline constexpr const char* kSettingsRootPath = "Software\\Orvex Software\\Taskwell";

struct StoredValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const StoredValue&) const = default;
};

// By "subkey\...\value" relative to the key (a value of the key itself by its name alone).
using RegistryTree = std::map<std::string, StoredValue>;

inline void ReadTree(const sim::SimRegistry& registry, HKEY root, const std::string& path, const std::string& prefix,
                     RegistryTree& out) {
    for (const std::string& name : registry.ValueNames(root, path)) {
        StoredValue v;
        v.type = registry.GetType(root, path, name).value_or(REG_NONE);
        v.data = registry.GetRaw(root, path, name).value_or(std::vector<BYTE>{});
        out[prefix + name] = std::move(v);
    }
    for (const std::string& sub : registry.SubkeyNames(root, path))
        ReadTree(registry, root, path + "\\" + sub, prefix + sub + "\\", out);
}

inline RegistryTree SettingsTree(const sim::SimRegistry& registry) {
    RegistryTree tree;
    ReadTree(registry, HKEY_CURRENT_USER, kSettingsRootPath, "", tree);
    return tree;
}

// A stored value for a failure message: its type and a short view of its data.
inline std::string DescribeValue(const StoredValue& v) {
    std::string text;
    if (v.type == REG_SZ) {
        text = "REG_SZ \"";
    } else if (v.type == REG_DWORD) {
        text = "REG_DWORD ";
    } else {
        text = "type ";
        text += std::to_string(v.type);
        text += ' ';
    }
    if (v.type == REG_SZ) {
        for (size_t i = 0; i < v.data.size() && i < 40 && v.data[i] != 0; ++i) text += static_cast<char>(v.data[i]);
        text += v.data.size() > 41 ? "...\"" : "\"";
    } else if (v.type == REG_DWORD && v.data.size() == 4) {
        text += std::to_string(static_cast<LONG>(v.data[0] | v.data[1] << 8 | v.data[2] << 16 |
                                                 static_cast<DWORD>(v.data[3]) << 24));
    } else {
        text += "(" + std::to_string(v.data.size()) + " bytes)";
    }
    return text;
}

}  // namespace taskwell::testing
