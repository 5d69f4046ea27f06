#include "platform/win32/Win32Registry.h"

#include <algorithm>

#include "app/PathUtils.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32HostReadings.h"

namespace {

// The system's predefined keys. The system headers define their names as macros that cast to HKEY,
// which inside our namespace would name our own handle type; the list therefore stands outside it.
// Our handles of these keys carry the same 32-bit values.
const ::HKEY kPredefined[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,   HKEY_LOCAL_MACHINE,
                              HKEY_USERS,        HKEY_CURRENT_CONFIG, HKEY_DYN_DATA};
const ::HKEY kStandInRoot = HKEY_LOCAL_MACHINE;

}  // namespace

namespace taskwell::win32 {

namespace {

std::uint32_t Low32(::HKEY h) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(h));
}

bool IsRoot(taskwell::HKEY key) {
    for (::HKEY root : kPredefined)
        if (Low32(root) == key) return true;
    return false;
}

::HKEY ToHkey(taskwell::HKEY key) {
    for (::HKEY root : kPredefined)
        if (Low32(root) == key) return root;
    return reinterpret_cast<::HKEY>(static_cast<std::uintptr_t>(key));
}

taskwell::HKEY FromHkey(::HKEY h) {
    return static_cast<taskwell::HKEY>(Low32(h));
}

// The system refuses a sub-key path that begins with a backslash (a bad path name); written so,
// it names the key from the root, which is where the path is taken from anyway.
std::string Relative(const std::string& subKey) {
    return !subKey.empty() && subKey.front() == '\\' ? subKey.substr(1) : subKey;
}

// The longest value name the system allows, with its terminating zero.
constexpr ::DWORD kMaxValueName = 16384;
constexpr int kQueryAttempts = 4;

LONG QueryReal(::HKEY h, const std::string& valueName, DWORD& type, std::vector<BYTE>& data) {
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

LONG EnumReal(::HKEY h, DWORD index, std::string& valueName) {
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

}  // namespace

Win32Registry::Win32Registry() = default;

Win32Registry::~Win32Registry() {
    for (const auto& entry : followed_) ::RegCloseKey(ToHkey(entry.first));
}

int Win32Registry::StandIns() const {
    int n = 0;
    for (const auto& entry : followed_)
        if (!entry.second.real) ++n;
    return n;
}

const EmulatedStatKeys::Offered& Win32Registry::Offered() {
    if (!host_) host_ = std::make_unique<Win32HostReadings>();
    return host_->Offered();
}

Win32Registry::Location Win32Registry::Locate(taskwell::HKEY key) const {
    Location at;
    if (IsRoot(key)) {
        at.located = true;
        at.root = key;
        return at;
    }
    auto it = followed_.find(key);
    if (it == followed_.end()) return at;
    at.located = true;
    at.followed = &it->second;
    at.root = it->second.root;
    at.path = it->second.path;
    return at;
}

Win32Registry::Followed Win32Registry::Below(const Location& at, const std::string& subKey) {
    Followed entry;
    entry.root = at.root;
    entry.path = EmulatedStatKeys::Join(at.path, subKey);
    entry.key = EmulatedStatKeys::Classify(at.root, entry.path, Offered());
    return entry;
}

LONG Win32Registry::RegOpenKeyExA(taskwell::HKEY key, const std::string& subKey, DWORD samDesired,
                                  taskwell::HKEY& result) {
    result = 0;
    const std::string sub = Relative(subKey);
    const Location at = Locate(key);
    // A key stood in for has no real key to open anything below.
    const bool realBase = !at.followed || at.followed->real;
    ::HKEY opened = nullptr;
    LONG rc = realBase ? ::RegOpenKeyExA(ToHkey(key), sub.c_str(), 0, samDesired, &opened) : ERROR_FILE_NOT_FOUND;
    if (!at.located) {
        if (rc == ERROR_SUCCESS) result = FromHkey(opened);
        return rc;
    }
    Followed entry = Below(at, sub);
    if (rc == ERROR_SUCCESS) {
        result = FromHkey(opened);
        if (entry.key.kind != EmulatedStatKeys::Kind::None) {
            entry.real = true;
            followed_[result] = entry;
        }
        return rc;
    }
    // A key that is there but refused stays refused; one that is missing is stood in for.
    if (entry.key.kind == EmulatedStatKeys::Kind::None || rc == ERROR_ACCESS_DENIED) return rc;
    ::HKEY standIn = nullptr;
    if (::RegOpenKeyExA(kStandInRoot, "Software", 0, KEY_QUERY_VALUE, &standIn) != ERROR_SUCCESS) return rc;
    result = FromHkey(standIn);
    followed_[result] = entry;
    return ERROR_SUCCESS;
}

LONG Win32Registry::RegCreateKeyExA(taskwell::HKEY key, const std::string& subKey, DWORD samDesired,
                                    taskwell::HKEY& result) {
    result = 0;
    const std::string sub = Relative(subKey);
    const Location at = Locate(key);
    if (at.followed && !at.followed->real) return ERROR_ACCESS_DENIED;  // nothing is made below a missing key
    ::HKEY created = nullptr;
    LONG rc = ::RegCreateKeyExA(ToHkey(key), sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, samDesired, nullptr,
                                &created, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    result = FromHkey(created);
    if (at.located) {
        Followed entry = Below(at, sub);
        entry.real = true;
        if (entry.key.kind != EmulatedStatKeys::Kind::None) followed_[result] = entry;
    }
    return rc;
}

LONG Win32Registry::RegCloseKey(taskwell::HKEY key) {
    // A followed key, stood in for or not, is a real key of ours: closing it closes that.
    followed_.erase(key);
    return ::RegCloseKey(ToHkey(key));
}

LONG Win32Registry::RegQueryValueExA(taskwell::HKEY key, const std::string& valueName, DWORD& type,
                                     std::vector<BYTE>& data) {
    auto it = followed_.find(key);
    if (it == followed_.end()) return QueryReal(ToHkey(key), valueName, type, data);
    if (AskSystem(it->second, valueName)) {
        const LONG rc = QueryReal(ToHkey(key), valueName, type, data);
        if (rc != ERROR_FILE_NOT_FOUND) return rc;
        NoteLacked(it->second, valueName);
    }
    return Emulate(it->second, valueName, type, data);
}

LONG Win32Registry::RegQueryValueExA(taskwell::HKEY key, const std::string& valueName, DWORD& type, BYTE* data,
                                     DWORD& size) {
    auto it = followed_.find(key);
    if (it == followed_.end() || AskSystem(it->second, valueName)) {
        ::DWORD kind = REG_NONE;
        ::DWORD got = size;
        const LONG rc = ::RegQueryValueExA(ToHkey(key), valueName.c_str(), nullptr, &kind, data, &got);
        if (it == followed_.end() || rc != ERROR_FILE_NOT_FOUND) {
            type = kind;
            size = got;
            return rc;
        }
        NoteLacked(it->second, valueName);
    }
    std::vector<BYTE> value;
    const LONG rc = Emulate(it->second, valueName, type, value);
    if (rc != ERROR_SUCCESS) return rc;
    const DWORD room = size;
    size = static_cast<DWORD>(value.size());
    if (size > room || (size > 0 && !data)) return ERROR_MORE_DATA;
    std::copy(value.begin(), value.end(), data);
    return ERROR_SUCCESS;
}

namespace {
bool IsLive(const EmulatedStatKeys::Key& key) {
    using Kind = EmulatedStatKeys::Kind;
    return key.kind == Kind::Start || key.kind == Kind::Stop || key.kind == Kind::Data;
}

std::string LiveValueName(const std::string& path, const std::string& valueName) {
    return LowerCase(path + "\\" + valueName);
}
}  // namespace

bool Win32Registry::AskSystem(const Followed& key, const std::string& valueName) const {
    if (!key.real) return false;
    return !IsLive(key.key) || lackedLive_.count(LiveValueName(key.path, valueName)) == 0;
}

void Win32Registry::NoteLacked(const Followed& key, const std::string& valueName) {
    if (IsLive(key.key) && EmulatedStatKeys::StatValue(key.key, valueName, Offered()))
        lackedLive_.insert(LiveValueName(key.path, valueName));
}

LONG Win32Registry::Emulate(const Followed& key, const std::string& valueName, DWORD& type,
                            std::vector<BYTE>& data) {
    using Kind = EmulatedStatKeys::Kind;
    if (EmulatedStatKeys::DescriptionValue(key.key, valueName, data)) {
        type = REG_SZ;
        return ERROR_SUCCESS;
    }
    const auto stat = EmulatedStatKeys::StatValue(key.key, valueName, Offered());
    if (!stat) return ERROR_FILE_NOT_FOUND;
    LONG value = 0;
    if (key.key.kind == Kind::Start && *stat == EmulatedStat::CPUUsage) {
        // Starting the processor statistic: its first reading covers the time from now.
        EmulatedStatistics::CpuTimes times;
        if (host_->CpuTimes(times)) statistics_.StartCpu(times);
    } else if (key.key.kind == Kind::Data) {
        value = Reading(*stat);
    }
    type = REG_BINARY;
    data = EmulatedStatKeys::Binary(value);
    return ERROR_SUCCESS;
}

LONG Win32Registry::Reading(EmulatedStat stat) {
    // A reading the system refuses this time repeats the last one, as a published value would
    // simply not have changed.
    switch (stat) {
    case EmulatedStat::CPUUsage: {
        EmulatedStatistics::CpuTimes times;
        return host_->CpuTimes(times) ? statistics_.CpuUsage(times) : statistics_.Last(stat);
    }
    case EmulatedStat::Threads: {
        std::uint64_t count = 0;
        return host_->ThreadCount(count) ? statistics_.Threads(count) : statistics_.Last(stat);
    }
    case EmulatedStat::VMs:
        return statistics_.VirtualMachines();
    case EmulatedStat::DiskCache:
    case EmulatedStat::Commit: {
        std::uint64_t committed = 0, cache = 0, pageSize = 0;
        if (!host_->MemoryPages(committed, cache, pageSize)) return statistics_.Last(stat);
        return stat == EmulatedStat::Commit ? statistics_.Commit(committed, pageSize)
                                            : statistics_.DiskCache(cache, pageSize);
    }
    }
    return 0;
}

LONG Win32Registry::RegSetValueExA(taskwell::HKEY key, const std::string& valueName, DWORD type, const BYTE* data,
                                   DWORD size) {
    auto it = followed_.find(key);
    if (it != followed_.end() && !it->second.real) return ERROR_ACCESS_DENIED;
    static const BYTE kNothing = 0;
    return ::RegSetValueExA(ToHkey(key), valueName.c_str(), 0, type, data ? data : &kNothing, data ? size : 0);
}

LONG Win32Registry::RegDeleteValueA(taskwell::HKEY key, const std::string& valueName) {
    auto it = followed_.find(key);
    if (it != followed_.end() && !it->second.real) return ERROR_ACCESS_DENIED;
    return ::RegDeleteValueA(ToHkey(key), valueName.c_str());
}

LONG Win32Registry::RegEnumValueA(taskwell::HKEY key, DWORD index, std::string& valueName) {
    auto it = followed_.find(key);
    if (it == followed_.end()) return EnumReal(ToHkey(key), index, valueName);
    // The real values first, then the emulated ones the real key lacks.
    std::vector<std::string> names;
    if (it->second.real) {
        std::string name;
        for (DWORD i = 0;; ++i) {
            const LONG rc = EnumReal(ToHkey(key), i, name);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS) return rc;
            if (i == index) {
                valueName = name;
                return ERROR_SUCCESS;
            }
            names.push_back(name);
        }
    }
    DWORD next = static_cast<DWORD>(names.size());
    for (const std::string& emulated : EmulatedStatKeys::ValueNames(it->second.key, Offered())) {
        bool real = false;
        for (const std::string& name : names) real = real || SameText(name, emulated);
        if (real) continue;
        if (next++ == index) {
            valueName = emulated;
            return ERROR_SUCCESS;
        }
    }
    return ERROR_NO_MORE_ITEMS;
}

}  // namespace taskwell::win32
