// The settings accessor: stores single typed values by name below a chosen key of one of the six
// predefined registry roots, and reads them back with a default for anything unusable.
//
// A value name may carry subkey parts separated by backslashes ("Columns\Task" is the value "Task"
// in the subkey "Columns" below Key); empty parts are skipped. Every read or write opens its key and
// closes it again before returning; nothing stays open between calls.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/Registry.h"

namespace taskwell {

enum class TRootKey { hkClassesRoot, hkCurrentConfig, hkCurrentUser, hkDynData, hkLocalMachine, hkUsers };
enum class TRegAccess { kRead, kWrite, kExecute, kAllAccess };

// A value as the accessor reads and writes it: a number (REG_DWORD, signed 32-bit), a boolean
// (REG_DWORD 1 or 0) or a text (REG_SZ). Reads give numbers and texts; booleans come from callers.
class TRegValue {
public:
    TRegValue(LONG number) : v_(number) {}
    TRegValue(bool boolean) : v_(boolean) {}
    TRegValue(std::string text) : v_(std::move(text)) {}
    TRegValue(const char* text) : v_(std::string(text)) {}

    bool IsNumber() const { return std::holds_alternative<LONG>(v_); }
    bool IsBoolean() const { return std::holds_alternative<bool>(v_); }
    bool IsText() const { return std::holds_alternative<std::string>(v_); }

    // The value as its caller's target needs it; none when it cannot be converted:
    // - a number from a number, a boolean (1 or 0) or a text of an optionally signed decimal
    //   integer in the 32-bit range;
    // - a boolean from a boolean, a number (on when non-zero) or a text that is such an integer
    //   or "True"/"False" in any case;
    // - a text from a text only (a number is no path or caption).
    std::optional<LONG> AsNumber() const;
    std::optional<bool> AsBoolean() const;
    std::optional<std::string> AsText() const;

    bool operator==(const TRegValue& other) const = default;

private:
    std::variant<LONG, bool, std::string> v_;
};

class TRegistryEnhanced {
public:
    explicit TRegistryEnhanced(IRegistry& registry) : registry_(registry) {}

    std::string Name;
    TRootKey RootKey = TRootKey::hkCurrentUser;
    TRegAccess Access = TRegAccess::kAllAccess;
    // Path of the current key below the root; leading and trailing backslashes are ignored.
    std::string Key;

    // The stored value, or def when Key is empty, the key or value is absent, the value is neither
    // text (REG_SZ, REG_EXPAND_SZ) nor a four-byte REG_DWORD, or reading it fails.
    TRegValue ReadValue(const std::string& name, const TRegValue& def) const;
    // Stores a number or boolean as REG_DWORD and a text as REG_SZ with its terminating zero,
    // creating the key and its parents. Does nothing when Key is empty or the key cannot be created.
    // Throws Exception "Failed to set data for '<value name>'" when the registry refuses the value.
    void WriteValue(const std::string& name, const TRegValue& value) const;

    // Opens Key, creating it and any missing parents, and closes it again. False when Key is empty
    // or the key cannot be created.
    bool CreateKey() const;

    // ReadValue converted for a target of that kind; the default when the stored value cannot be.
    bool ReadBool(const std::string& name, bool def) const;
    LONG ReadInteger(const std::string& name, LONG def) const;
    std::string ReadString(const std::string& name, const std::string& def) const;

    // The platform's handle of a root and mask of an access.
    static HKEY RootHandle(TRootKey root);
    static DWORD AccessMask(TRegAccess access);

private:
    // The key path (Key and the subkey parts of name, empty parts dropped) and the value name.
    // False when Key names no key.
    bool Locate(const std::string& name, std::string& path, std::string& valueName) const;

    IRegistry& registry_;
};

}  // namespace taskwell
