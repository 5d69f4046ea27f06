#include "platform/sim/SimRegistry.h"

#include <algorithm>
#include <stdexcept>

#include "app/PathUtils.h"

namespace taskwell::sim {

namespace {

std::string Upper(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// The parts of a subkey path as the interface takes it: one trailing backslash is tolerated, a
// leading one or two in a row are not. False for a malformed path.
bool StrictParts(const std::string& path, std::vector<std::string>& parts) {
    parts.clear();
    if (path.empty()) return true;
    std::string body = path;
    if (body.back() == '\\') body.pop_back();
    size_t start = 0;
    for (;;) {
        size_t cut = body.find('\\', start);
        if (cut == std::string::npos) cut = body.size();
        if (cut == start) return false;
        parts.push_back(body.substr(start, cut - start));
        if (cut == body.size()) return true;
        start = cut + 1;
    }
}

constexpr HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE,
                           HKEY_USERS,        HKEY_CURRENT_CONFIG, HKEY_DYN_DATA};

}  // namespace

const char* RegOpName(RegOp op) {
    switch (op) {
    case RegOp::RegOpenKeyExA: return "RegOpenKeyExA";
    case RegOp::RegCreateKeyExA: return "RegCreateKeyExA";
    case RegOp::RegCloseKey: return "RegCloseKey";
    case RegOp::RegQueryValueExA: return "RegQueryValueExA";
    case RegOp::RegSetValueExA: return "RegSetValueExA";
    case RegOp::RegDeleteValueA: return "RegDeleteValueA";
    case RegOp::RegEnumValueA: return "RegEnumValueA";
    }
    return "?";
}

std::string SimRegistry::RootName(HKEY root) {
    switch (root) {
    case HKEY_CLASSES_ROOT: return "HKEY_CLASSES_ROOT";
    case HKEY_CURRENT_USER: return "HKEY_CURRENT_USER";
    case HKEY_LOCAL_MACHINE: return "HKEY_LOCAL_MACHINE";
    case HKEY_USERS: return "HKEY_USERS";
    case HKEY_CURRENT_CONFIG: return "HKEY_CURRENT_CONFIG";
    case HKEY_DYN_DATA: return "HKEY_DYN_DATA";
    default: return "";
    }
}

SimRegistry::SimRegistry() {
    for (HKEY root : kRoots) {
        auto key = std::make_unique<Key>();
        key->name = RootName(root);
        roots_[root] = std::move(key);
    }
}

SimRegistry::~SimRegistry() = default;

// ---- Tree ---------------------------------------------------------------------------------------

SimRegistry::Key* SimRegistry::Root(HKEY root) const {
    auto it = roots_.find(root);
    return it == roots_.end() ? nullptr : it->second.get();
}

SimRegistry::Key* SimRegistry::Find(HKEY root, const std::string& path) const {
    Key* key = Root(root);
    for (const std::string& part : PathParts(path)) {
        if (!key) return nullptr;
        Key* next = nullptr;
        for (auto& sub : key->subkeys)
            if (SameText(sub->name, part)) next = sub.get();
        key = next;
    }
    return key;
}

SimRegistry::Key* SimRegistry::Create(HKEY root, const std::string& path) {
    Key* key = Root(root);
    if (!key) return nullptr;
    for (const std::string& part : PathParts(path)) {
        Key* next = nullptr;
        for (auto& sub : key->subkeys)
            if (SameText(sub->name, part)) next = sub.get();
        if (!next) {
            auto made = std::make_unique<Key>();
            made->name = part;
            made->parent = key;
            next = made.get();
            key->subkeys.push_back(std::move(made));
        }
        key = next;
    }
    return key;
}

SimRegistry::Value* SimRegistry::FindValue(Key* key, const std::string& name) const {
    if (!key) return nullptr;
    for (Value& v : key->values)
        if (SameText(v.name, name)) return &v;
    return nullptr;
}

void SimRegistry::StoreValue(Key& key, const std::string& name, DWORD type, std::vector<BYTE> data) {
    if (Value* v = FindValue(&key, name)) {
        v->type = type;
        v->data = std::move(data);
        return;
    }
    key.values.push_back(Value{name, type, std::move(data)});
}

std::string SimRegistry::PathOf(const Key* key) const {
    if (!key) return "<deleted>";
    std::string path = key->name;
    for (const Key* k = key->parent; k; k = k->parent) path = k->name + "\\" + path;
    return path;
}

void SimRegistry::ForgetHandlesBelow(const Key* key) {
    for (auto& [h, handle] : handles_) {
        for (const Key* k = handle.key; k; k = k->parent) {
            if (k == key) {
                handle.key = nullptr;
                break;
            }
        }
    }
}

// ---- Seeding and inspection ------------------------------------------------------------------------

void SimRegistry::CreateKey(HKEY root, const std::string& path) {
    Create(root, path);
}

bool SimRegistry::DeleteKey(HKEY root, const std::string& path) {
    Key* key = Find(root, path);
    if (!key || !key->parent) return false;
    ForgetHandlesBelow(key);
    auto& siblings = key->parent->subkeys;
    siblings.erase(std::remove_if(siblings.begin(), siblings.end(),
                                  [key](const std::unique_ptr<Key>& k) { return k.get() == key; }),
                   siblings.end());
    return true;
}

bool SimRegistry::KeyExists(HKEY root, const std::string& path) const {
    return Find(root, path) != nullptr;
}

void SimRegistry::SetRaw(HKEY root, const std::string& path, const std::string& name, DWORD type,
                         std::vector<BYTE> data) {
    Key* key = Create(root, path);
    if (!key) throw std::invalid_argument("SimRegistry: not a predefined root");
    StoreValue(*key, name, type, std::move(data));
}

void SimRegistry::SetString(HKEY root, const std::string& path, const std::string& name, const std::string& text,
                            DWORD type) {
    std::vector<BYTE> data(text.begin(), text.end());
    data.push_back(0);
    SetRaw(root, path, name, type, std::move(data));
}

void SimRegistry::SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value) {
    SetRaw(root, path, name, REG_DWORD,
           {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)});
}

bool SimRegistry::DeleteValue(HKEY root, const std::string& path, const std::string& name) {
    Key* key = Find(root, path);
    if (!key) return false;
    auto& values = key->values;
    auto it = std::find_if(values.begin(), values.end(), [&](const Value& v) { return SameText(v.name, name); });
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}

bool SimRegistry::ValueExists(HKEY root, const std::string& path, const std::string& name) const {
    return FindValue(Find(root, path), name) != nullptr;
}

std::optional<DWORD> SimRegistry::GetType(HKEY root, const std::string& path, const std::string& name) const {
    const Value* v = FindValue(Find(root, path), name);
    if (!v) return std::nullopt;
    return v->type;
}

std::optional<std::vector<BYTE>> SimRegistry::GetRaw(HKEY root, const std::string& path,
                                                     const std::string& name) const {
    const Value* v = FindValue(Find(root, path), name);
    if (!v) return std::nullopt;
    return v->data;
}

std::optional<std::string> SimRegistry::GetString(HKEY root, const std::string& path,
                                                  const std::string& name) const {
    const Value* v = FindValue(Find(root, path), name);
    if (!v || (v->type != REG_SZ && v->type != REG_EXPAND_SZ)) return std::nullopt;
    auto end = std::find(v->data.begin(), v->data.end(), BYTE{0});
    return std::string(v->data.begin(), end);
}

std::optional<DWORD> SimRegistry::GetDword(HKEY root, const std::string& path, const std::string& name) const {
    const Value* v = FindValue(Find(root, path), name);
    if (!v || v->type != REG_DWORD || v->data.size() != 4) return std::nullopt;
    return static_cast<DWORD>(v->data[0]) | static_cast<DWORD>(v->data[1]) << 8 |
           static_cast<DWORD>(v->data[2]) << 16 | static_cast<DWORD>(v->data[3]) << 24;
}

std::vector<std::string> SimRegistry::ValueNames(HKEY root, const std::string& path) const {
    std::vector<std::string> names;
    if (const Key* key = Find(root, path))
        for (const Value& v : key->values) names.push_back(v.name);
    return names;
}

std::vector<std::string> SimRegistry::SubkeyNames(HKEY root, const std::string& path) const {
    std::vector<std::string> names;
    if (const Key* key = Find(root, path))
        for (const auto& sub : key->subkeys) names.push_back(sub->name);
    return names;
}

std::vector<std::string> SimRegistry::OpenKeyPaths() const {
    std::vector<std::string> paths;
    for (const auto& [h, handle] : handles_) paths.push_back(PathOf(handle.key));
    return paths;
}

// ---- Failures and the log ---------------------------------------------------------------------------

void SimRegistry::Fail(RegOp op, bool on) {
    if (on)
        failing_[op] = ERROR_ACCESS_DENIED;
    else
        failing_.erase(op);
}

void SimRegistry::FailWith(RegOp op, LONG error) {
    failing_[op] = error;
}

void SimRegistry::Raise(RegOp op, bool on) {
    if (on)
        raising_.insert(op);
    else
        raising_.erase(op);
}

void SimRegistry::RefuseValue(const std::string& name, bool on) {
    if (on)
        refused_.insert(Upper(name));
    else
        refused_.erase(Upper(name));
}

int SimRegistry::Calls(RegOp op) const {
    return static_cast<int>(std::count_if(log_.begin(), log_.end(), [op](const Call& c) { return c.op == op; }));
}

std::vector<std::string> SimRegistry::Writes() const {
    std::vector<std::string> out;
    for (const Call& c : log_)
        if (c.op == RegOp::RegSetValueExA && c.result == ERROR_SUCCESS) out.push_back(c.key + "\\" + c.name);
    return out;
}

LONG SimRegistry::Enter(RegOp op, HKEY key, const std::string& name) {
    std::string path;
    if (Key* root = Root(key))
        path = root->name;
    else if (auto it = handles_.find(key); it != handles_.end())
        path = PathOf(it->second.key);
    else
        path = "<invalid handle>";
    // A call that raises stores nothing: its entry says so, and Writes leaves it out.
    log_.push_back(Call{op, path, name, raising_.count(op) ? kRaised : ERROR_SUCCESS});
    if (raising_.count(op)) throw std::runtime_error(std::string(RegOpName(op)) + " failed");
    auto it = failing_.find(op);
    return it == failing_.end() ? ERROR_SUCCESS : it->second;
}

LONG SimRegistry::Finish(LONG result) {
    log_.back().result = result;
    return result;
}

LONG SimRegistry::Resolve(HKEY key, Key*& out, DWORD* access) const {
    if (Key* root = Root(key)) {
        out = root;
        if (access) *access = KEY_ALL_ACCESS;
        return ERROR_SUCCESS;
    }
    auto it = handles_.find(key);
    if (it == handles_.end()) return ERROR_INVALID_HANDLE;
    if (!it->second.key) return ERROR_KEY_DELETED;
    out = it->second.key;
    if (access) *access = it->second.access;
    return ERROR_SUCCESS;
}

// ---- IRegistry ----------------------------------------------------------------------------------------

LONG SimRegistry::OpenOrCreate(RegOp op, HKEY key, const std::string& subKey, DWORD samDesired, HKEY& result) {
    result = 0;
    if (LONG injected = Enter(op, key, subKey); injected != ERROR_SUCCESS) return Finish(injected);
    Key* at = nullptr;
    if (LONG rc = Resolve(key, at, nullptr); rc != ERROR_SUCCESS) return Finish(rc);
    std::vector<std::string> parts;
    if (!StrictParts(subKey, parts)) return Finish(ERROR_BAD_PATHNAME);
    for (const std::string& part : parts) {
        Key* next = nullptr;
        for (auto& sub : at->subkeys)
            if (SameText(sub->name, part)) next = sub.get();
        if (!next) {
            if (op == RegOp::RegOpenKeyExA) return Finish(ERROR_FILE_NOT_FOUND);
            auto made = std::make_unique<Key>();
            made->name = part;
            made->parent = at;
            next = made.get();
            at->subkeys.push_back(std::move(made));
        }
        at = next;
    }
    result = nextHandle_;
    nextHandle_ += 4;
    handles_[result] = Handle{at, samDesired};
    return Finish(ERROR_SUCCESS);
}

LONG SimRegistry::RegOpenKeyExA(HKEY key, const std::string& subKey, DWORD samDesired, HKEY& result) {
    return OpenOrCreate(RegOp::RegOpenKeyExA, key, subKey, samDesired, result);
}

LONG SimRegistry::RegCreateKeyExA(HKEY key, const std::string& subKey, DWORD samDesired, HKEY& result) {
    return OpenOrCreate(RegOp::RegCreateKeyExA, key, subKey, samDesired, result);
}

LONG SimRegistry::RegCloseKey(HKEY key) {
    if (LONG injected = Enter(RegOp::RegCloseKey, key, ""); injected != ERROR_SUCCESS) return Finish(injected);
    if (Root(key)) return Finish(ERROR_SUCCESS);
    // A handle to a deleted key is still closed.
    if (handles_.erase(key) == 0) return Finish(ERROR_INVALID_HANDLE);
    return Finish(ERROR_SUCCESS);
}

LONG SimRegistry::QueryValue(HKEY key, const std::string& valueName, int queries, const Value*& found) {
    found = nullptr;
    const LONG injected = Enter(RegOp::RegQueryValueExA, key, valueName);
    queries_[Upper(log_.back().key + "\\" + valueName)] += queries;
    if (injected != ERROR_SUCCESS) return injected;
    Key* at = nullptr;
    DWORD access = 0;
    if (LONG rc = Resolve(key, at, &access); rc != ERROR_SUCCESS) return rc;
    if (!(access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
    found = FindValue(at, valueName);
    return found ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG SimRegistry::RegQueryValueExA(HKEY key, const std::string& valueName, DWORD& type, std::vector<BYTE>& data) {
    const Value* v = nullptr;
    if (LONG rc = QueryValue(key, valueName, 2, v); rc != ERROR_SUCCESS) return Finish(rc);
    type = v->type;
    data = v->data;
    return Finish(ERROR_SUCCESS);
}

LONG SimRegistry::RegQueryValueExA(HKEY key, const std::string& valueName, DWORD& type, BYTE* data, DWORD& size) {
    const Value* v = nullptr;
    if (LONG rc = QueryValue(key, valueName, 1, v); rc != ERROR_SUCCESS) return Finish(rc);
    type = v->type;
    const DWORD room = size;
    size = static_cast<DWORD>(v->data.size());
    if (size > room || (size > 0 && !data)) return Finish(ERROR_MORE_DATA);
    std::copy(v->data.begin(), v->data.end(), data);
    return Finish(ERROR_SUCCESS);
}

int SimRegistry::Queries(HKEY root, const std::string& path, const std::string& name) const {
    std::string key = RootName(root);
    for (const std::string& part : PathParts(path)) key += "\\" + part;
    auto it = queries_.find(Upper(key + "\\" + name));
    return it == queries_.end() ? 0 : it->second;
}

LONG SimRegistry::RegSetValueExA(HKEY key, const std::string& valueName, DWORD type, const BYTE* data, DWORD size) {
    if (LONG injected = Enter(RegOp::RegSetValueExA, key, valueName); injected != ERROR_SUCCESS)
        return Finish(injected);
    Key* at = nullptr;
    DWORD access = 0;
    if (LONG rc = Resolve(key, at, &access); rc != ERROR_SUCCESS) return Finish(rc);
    if (!(access & KEY_SET_VALUE)) return Finish(ERROR_ACCESS_DENIED);
    if (refused_.count(Upper(valueName))) return Finish(ERROR_ACCESS_DENIED);
    if (size > 0 && !data) return Finish(ERROR_INVALID_PARAMETER);
    StoreValue(*at, valueName, type, size ? std::vector<BYTE>(data, data + size) : std::vector<BYTE>{});
    return Finish(ERROR_SUCCESS);
}

LONG SimRegistry::RegDeleteValueA(HKEY key, const std::string& valueName) {
    if (LONG injected = Enter(RegOp::RegDeleteValueA, key, valueName); injected != ERROR_SUCCESS)
        return Finish(injected);
    Key* at = nullptr;
    DWORD access = 0;
    if (LONG rc = Resolve(key, at, &access); rc != ERROR_SUCCESS) return Finish(rc);
    if (!(access & KEY_SET_VALUE)) return Finish(ERROR_ACCESS_DENIED);
    auto& values = at->values;
    auto it = std::find_if(values.begin(), values.end(), [&](const Value& v) { return SameText(v.name, valueName); });
    if (it == values.end()) return Finish(ERROR_FILE_NOT_FOUND);
    values.erase(it);
    return Finish(ERROR_SUCCESS);
}

LONG SimRegistry::RegEnumValueA(HKEY key, DWORD index, std::string& valueName) {
    if (LONG injected = Enter(RegOp::RegEnumValueA, key, std::to_string(index)); injected != ERROR_SUCCESS)
        return Finish(injected);
    Key* at = nullptr;
    DWORD access = 0;
    if (LONG rc = Resolve(key, at, &access); rc != ERROR_SUCCESS) return Finish(rc);
    if (!(access & KEY_QUERY_VALUE)) return Finish(ERROR_ACCESS_DENIED);
    if (index >= at->values.size()) return Finish(ERROR_NO_MORE_ITEMS);
    valueName = at->values[index].name;
    return Finish(ERROR_SUCCESS);
}

namespace {
constexpr const char* kStatEnum = "System\\CurrentControlSet\\control\\PerfStats\\Enum\\";
}  // namespace

void SimRegistry::AddStatistic(const std::string& keyName, bool differentiate, DWORD value) {
    const size_t slash = keyName.find('\\');
    const std::string category = keyName.substr(0, slash);
    const std::string stat = slash == std::string::npos ? keyName : keyName.substr(slash + 1);
    SetString(HKEY_LOCAL_MACHINE, kStatEnum + category, "Name", category + " statistics");
    SetString(HKEY_LOCAL_MACHINE, kStatEnum + keyName, "Name", stat);
    SetString(HKEY_LOCAL_MACHINE, kStatEnum + keyName, "Description", "The " + stat + " statistic.");
    SetString(HKEY_LOCAL_MACHINE, kStatEnum + keyName, "Differentiate", differentiate ? "TRUE" : "FALSE");
    SetRaw(HKEY_DYN_DATA, "PerfStats\\StartStat", keyName, REG_BINARY, {0, 0, 0, 0});
    SetRaw(HKEY_DYN_DATA, "PerfStats\\StopStat", keyName, REG_BINARY, {0, 0, 0, 0});
    SetStatValue(keyName, value);
}

void SimRegistry::AddWindows98Statistics() {
    for (const char* name : {"KERNEL\\CPUUsage", "KERNEL\\Threads", "KERNEL\\VMs", "VMM\\cpgDiskcache", "VMM\\cpgCommit"})
        AddStatistic(name, false);
}

void SimRegistry::SetStatValue(const std::string& keyName, DWORD value) {
    SetRaw(HKEY_DYN_DATA, "PerfStats\\StatData", keyName, REG_BINARY,
           {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8), static_cast<BYTE>(value >> 16),
            static_cast<BYTE>(value >> 24)});
}

}  // namespace taskwell::sim
