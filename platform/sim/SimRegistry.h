// The simulated registry: the six predefined roots, each with a tree of keys holding typed values,
// as the Windows 95/98 family keeps them. Key and value names compare without regard to case and
// keep the case they were created with; values enumerate in the order they were first stored.
//
// Handles opened through the interface are tracked, so a test can check that every key the program
// opened was closed again (OpenKeys). A handle remembers the access it was opened with: reading needs
// KEY_QUERY_VALUE, writing KEY_SET_VALUE, as the system checks them.
//
// Tests seed and inspect the hives directly (SetString, SetDword, SetRaw, GetString, ...); those
// helpers skip empty path parts and do not count as calls. Any operation can be told to fail with the
// platform's error code (Fail, FailWith) or to raise an error (Raise), and the registry can refuse to
// store values of a given name (RefuseValue). Every call through the interface is logged in order.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Registry.h"

namespace taskwell::sim {

enum class RegOp {
    RegOpenKeyExA,
    RegCreateKeyExA,
    RegCloseKey,
    RegQueryValueExA,
    RegSetValueExA,
    RegDeleteValueA,
    RegEnumValueA,
};

// The last operation, as kLastOp of the machine's.
constexpr RegOp kLastRegOp = RegOp::RegEnumValueA;
constexpr int kRegOpCount = static_cast<int>(kLastRegOp) + 1;

// "?" for a value that names no operation.
const char* RegOpName(RegOp op);

// Error codes the registry reports besides those of platform/Registry.h.
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_BAD_PATHNAME = 161;
constexpr LONG ERROR_KEY_DELETED = 1018;
// The result the call log shows for a call that was told to raise (it returned nothing).
constexpr LONG kRaised = -1;

class SimRegistry : public IRegistry {
public:
    SimRegistry();
    ~SimRegistry() override;

    // ---- Seeding and inspection (no call is counted) ------------------------------------------
    // Creates the key and any missing parents.
    void CreateKey(HKEY root, const std::string& path);
    // Removes the key with everything below it; handles open on it report ERROR_KEY_DELETED from
    // then on. False when there was no such key (a root cannot be deleted).
    bool DeleteKey(HKEY root, const std::string& path);
    bool KeyExists(HKEY root, const std::string& path) const;

    // Stores a value, creating its key; an existing value keeps its place in the order.
    void SetRaw(HKEY root, const std::string& path, const std::string& name, DWORD type, std::vector<BYTE> data);
    // Text with its terminating zero, as the system stores it.
    void SetString(HKEY root, const std::string& path, const std::string& name, const std::string& text,
                   DWORD type = REG_SZ);
    void SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value);
    bool DeleteValue(HKEY root, const std::string& path, const std::string& name);

    bool ValueExists(HKEY root, const std::string& path, const std::string& name) const;
    std::optional<DWORD> GetType(HKEY root, const std::string& path, const std::string& name) const;
    std::optional<std::vector<BYTE>> GetRaw(HKEY root, const std::string& path, const std::string& name) const;
    // The text of a REG_SZ or REG_EXPAND_SZ value, up to its first zero; none for other types.
    std::optional<std::string> GetString(HKEY root, const std::string& path, const std::string& name) const;
    // The number of a REG_DWORD value of four bytes; none for other types or sizes.
    std::optional<DWORD> GetDword(HKEY root, const std::string& path, const std::string& name) const;
    // Value names and subkey names of a key in their order; empty when the key does not exist.
    std::vector<std::string> ValueNames(HKEY root, const std::string& path) const;
    std::vector<std::string> SubkeyNames(HKEY root, const std::string& path) const;

    // ---- The performance statistics of the Windows 95/98 family ------------------------------------
    // Publishes a statistic "Category\Stat": its description under HKEY_LOCAL_MACHINE
    // (System\CurrentControlSet\control\PerfStats\Enum\...) with Differentiate "FALSE" for a level
    // or "TRUE" for a counter, its start and stop values and its live value under HKEY_DYN_DATA
    // (PerfStats\StartStat, StopStat, StatData).
    void AddStatistic(const std::string& keyName, bool differentiate, DWORD value = 0);
    // The five statistics Windows 98 publishes that the program reads, all levels at 0.
    void AddWindows98Statistics();
    // Sets a statistic's live value (4 bytes).
    void SetStatValue(const std::string& keyName, DWORD value);

    // ---- Handles ----------------------------------------------------------------------------------
    // Handles opened through the interface and not closed yet, and the keys they name.
    int OpenKeys() const { return static_cast<int>(handles_.size()); }
    std::vector<std::string> OpenKeyPaths() const;

    // ---- Failures and the call log ----------------------------------------------------------------
    // Fail makes the operation report ERROR_ACCESS_DENIED (FailWith: the given code) without doing
    // anything; Raise makes it throw. on = false heals it.
    void Fail(RegOp op, bool on = true);
    void FailWith(RegOp op, LONG error);
    void Raise(RegOp op, bool on = true);
    // RegSetValueExA reports ERROR_ACCESS_DENIED for values of this name, in any key.
    void RefuseValue(const std::string& name, bool on = true);

    struct Call {
        RegOp op;
        std::string key;   // full path of the key concerned, root included ("HKEY_CURRENT_USER\...")
        std::string name;  // subkey or value name passed
        LONG result;
    };
    const std::vector<Call>& CallLog() const { return log_; }
    int Calls(RegOp op) const;
    void ClearLog() { log_.clear(); }
    // "key\name" of every value stored through the interface, in order.
    std::vector<std::string> Writes() const;
    // How often the system was asked for the value root\path\name: a read into the caller's buffer
    // is one query, a read of the whole value two (its size, then its data, as the platform's
    // reader asks). Failed reads count too.
    int Queries(HKEY root, const std::string& path, const std::string& name) const;

    // ---- IRegistry --------------------------------------------------------------------------------
    LONG RegOpenKeyExA(HKEY key, const std::string& subKey, DWORD samDesired, HKEY& result) override;
    LONG RegCreateKeyExA(HKEY key, const std::string& subKey, DWORD samDesired, HKEY& result) override;
    LONG RegCloseKey(HKEY key) override;
    LONG RegQueryValueExA(HKEY key, const std::string& valueName, DWORD& type, std::vector<BYTE>& data) override;
    LONG RegQueryValueExA(HKEY key, const std::string& valueName, DWORD& type, BYTE* data, DWORD& size) override;
    LONG RegSetValueExA(HKEY key, const std::string& valueName, DWORD type, const BYTE* data, DWORD size) override;
    LONG RegDeleteValueA(HKEY key, const std::string& valueName) override;
    LONG RegEnumValueA(HKEY key, DWORD index, std::string& valueName) override;

    // The name of a predefined root ("HKEY_CURRENT_USER"); empty for any other handle.
    static std::string RootName(HKEY root);

private:
    struct Value {
        std::string name;
        DWORD type;
        std::vector<BYTE> data;
    };
    struct Key {
        std::string name;
        Key* parent = nullptr;
        std::vector<std::unique_ptr<Key>> subkeys;
        std::vector<Value> values;
    };
    struct Handle {
        Key* key;  // null once the key was deleted
        DWORD access;
    };

    Key* Root(HKEY root) const;
    Key* Find(HKEY root, const std::string& path) const;
    Key* Create(HKEY root, const std::string& path);
    Value* FindValue(Key* key, const std::string& name) const;
    void StoreValue(Key& key, const std::string& name, DWORD type, std::vector<BYTE> data);
    std::string PathOf(const Key* key) const;
    // Resolves an open handle or a root for the interface calls.
    LONG Resolve(HKEY key, Key*& out, DWORD* access) const;
    // Counts and logs the call; throws when told to raise. Returns the injected error or
    // ERROR_SUCCESS.
    LONG Enter(RegOp op, HKEY key, const std::string& name);
    LONG Finish(LONG result);
    LONG OpenOrCreate(RegOp op, HKEY key, const std::string& subKey, DWORD samDesired, HKEY& result);
    // Counts queries of a value and finds it for both kinds of read: the value, or the error.
    LONG QueryValue(HKEY key, const std::string& valueName, int queries, const Value*& found);
    void ForgetHandlesBelow(const Key* key);

    std::map<HKEY, std::unique_ptr<Key>> roots_;
    std::map<HKEY, Handle> handles_;
    HKEY nextHandle_ = 0x00C40000;
    std::map<RegOp, LONG> failing_;
    std::set<RegOp> raising_;
    std::set<std::string> refused_;  // upper-cased value names
    std::vector<Call> log_;
    std::map<std::string, int> queries_;  // by upper-cased "key\name"
};

}  // namespace taskwell::sim
