#include "components/TPerfStats.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "components/RegistryKey.h"
#include "components/TUpStatsThread.h"

namespace taskwell {

namespace {
constexpr const char* kEnumKey = "\\System\\CurrentControlSet\\control\\PerfStats\\Enum\\";
constexpr const char* kStartKey = "PerfStats\\StartStat";
constexpr const char* kStopKey = "PerfStats\\StopStat";
constexpr const char* kDataKey = "PerfStats\\StatData";

constexpr LONG kBadKeyName = 1;
constexpr LONG kInvalidCategory = 2;
constexpr LONG kNoName = 3;
constexpr LONG kNoDescription = 4;
constexpr LONG kNoDifferentiate = 5;
constexpr LONG kInactive = 6;
constexpr LONG kNotAvailable = 7;

// The difference of two readings in 32-bit two's-complement arithmetic, so a counter that wrapped
// still gives the right difference.
LONG Difference(LONG later, LONG earlier) {
    return static_cast<LONG>(static_cast<DWORD>(later) - static_cast<DWORD>(earlier));
}
}  // namespace

TCustomPerfStats::TCustomPerfStats(IRegistry& registry, TStatsThreads& threads)
    : registry_(registry), threads_(threads) {}

TCustomPerfStats::~TCustomPerfStats() {
    try {
        loading_ = false;
        SetActiveStat(false);
    } catch (...) {
        // Going away: a stop the registry refuses changes nothing more.
    }
    // Whatever happened above, no polling thread may keep a pointer to this reader.
    threads_.Leave(*this, interval_);
}

void TCustomPerfStats::SetKeyName(const std::string& name) {
    if (name == keyName_) return;
    categoryName_.clear();
    statName_.clear();
    description_.clear();
    error_ = kBadKeyName;
    const size_t slash = name.find('\\');
    if (slash == std::string::npos) return;
    {
        RegistryKey category(registry_, HKEY_LOCAL_MACHINE, kEnumKey + name.substr(0, slash), KEY_ALL_ACCESS, true);
        if (!category.Opened()) return;
        categoryName_ = category.ReadString("Name");
        error_ = kInvalidCategory;
        if (categoryName_.empty()) return;
    }
    RegistryKey stat(registry_, HKEY_LOCAL_MACHINE, kEnumKey + name, KEY_ALL_ACCESS, true);
    if (!stat.Opened()) return;
    statName_ = stat.ReadString("Name");
    error_ = kNoName;
    if (statName_.empty()) return;
    description_ = stat.ReadString("Description");
    error_ = kNoDescription;
    if (description_.empty()) return;
    // A value that is not text counts as empty.
    const std::string differentiate = stat.ReadString("Differentiate");
    error_ = kNoDifferentiate;
    if (differentiate.empty()) return;
    differentiate_ = differentiate != "FALSE";
    error_ = 0;
    keyName_ = name;
    ResetReadings();
}

void TCustomPerfStats::SetActiveStat(bool v) {
    if (loading_) {
        streamedActive_ = v;
        return;
    }
    if (keyName_.empty() || active_ == v) return;
    active_ = v;
    {
        // Reading the value starts or stops the statistic. Its bytes are of no use, so neither their
        // type nor their size matters; a key or value that is not there changes nothing.
        // One query into a 4-byte buffer: each query of these values runs the statistic's provider.
        RegistryKey key(registry_, HKEY_DYN_DATA, v ? kStartKey : kStopKey, KEY_ALL_ACCESS, true);
        BYTE discarded[4] = {};
        DWORD size = sizeof discarded;
        key.ReadData(keyName_, discarded, size);
    }
    ResetReadings();
    if (!autoTick_) return;
    if (v) {
        JoinPollingThread(interval_);
        Tick();
    } else {
        LeavePollingThread(interval_);
    }
}

void TCustomPerfStats::SetAutoTick(bool v) {
    if (loading_) {
        streamedAutoTick_ = v;
        return;
    }
    if (v == autoTick_) return;
    autoTick_ = v;
    if (!active_) return;
    if (v)
        JoinPollingThread(interval_);
    else
        LeavePollingThread(interval_);
}

void TCustomPerfStats::SetInterval(LONG ms) {
    if (loading_ || !active_ || !autoTick_) {
        interval_ = ms;
        return;
    }
    if (ms == interval_) return;
    LeavePollingThread(interval_);
    interval_ = ms;
    JoinPollingThread(interval_);
}

void TCustomPerfStats::SetDisplayElements(TPerfElements elements) {
    elements.erase(TPerfElement::tpeStatMax);
    elements_ = std::move(elements);
}

void TCustomPerfStats::JoinPollingThread(LONG interval) {
    threads_.Join(*this, interval);
}

void TCustomPerfStats::LeavePollingThread(LONG interval) {
    threads_.Leave(*this, interval);
}

void TCustomPerfStats::ResetReadings() {
    error_ = 0;
    current_ = NoReading;
    previous_ = NoReading;
}

LONG TCustomPerfStats::ReadRawValue() {
    if (!active_) {
        error_ = kInactive;
        return 0;
    }
    std::optional<RegistryKey> own;
    const RegistryKey* data = nullptr;
    if (pass_) {
        data = pass_->Open(registry_);
    } else {
        own.emplace(registry_, HKEY_DYN_DATA, kDataKey, KEY_ALL_ACCESS);
        if (own->Opened()) data = &*own;
    }
    if (!data) {
        error_ = kNotAvailable;
        return 0;
    }
    // One query into a 4-byte buffer: the provider of a live value runs on every query, so a second
    // one would sample another interval. A value that is missing or longer than the buffer is no
    // reading (0, code unchanged).
    BYTE bytes[4] = {};
    DWORD size = sizeof bytes;
    DWORD value = 0;
    if (data->ReadData(keyName_, bytes, size)) {
        for (DWORD i = 0; i < size; ++i) value |= static_cast<DWORD>(bytes[i]) << (8 * i);
        error_ = 0;
    }
    return static_cast<LONG>(value);
}

const RegistryKey* TStatDataKey::Open(IRegistry& registry) {
    if (key_ && registry_ == &registry) return &*key_;
    key_.reset();
    key_.emplace(registry, HKEY_DYN_DATA, kDataKey, KEY_ALL_ACCESS);
    if (!key_->Opened()) {
        key_.reset();
        return nullptr;
    }
    registry_ = &registry;
    return &*key_;
}

void TCustomPerfStats::TickInPass(TStatDataKey& pass) {
    pass_ = &pass;
    try {
        Tick();
    } catch (...) {
        pass_ = nullptr;
        throw;
    }
    pass_ = nullptr;
}

void TCustomPerfStats::Tick() {
    error_ = kInactive;
    if (!active_) return;
    const LONG v = ReadRawValue();
    if (error_ == kNotAvailable) {
        // The live values are gone: the statistic stops and forgets its key.
        SetActiveStat(false);
        keyName_.clear();
        categoryName_.clear();
        statName_.clear();
        description_.clear();
        if (OnLostKey) OnLostKey(*this);
        return;
    }
    if (!differentiate_) {
        DoStat(v);
        if (v == current_) {
            StatRead(false);
        } else {
            DoStatChange(v);
            StatRead(true);
        }
    } else if (current_ != NoReading) {
        const LONG d = Difference(v, current_);
        DoStat(d);
        if (previous_ != NoReading && d == Difference(current_, previous_)) {
            StatRead(false);
        } else {
            DoStatChange(d);
            StatRead(true);
        }
    }
    previous_ = current_;
    current_ = v;
    error_ = 0;
}

void TCustomPerfStats::DoStat(LONG value) {
    if (OnStat) OnStat(*this, value);
}

void TCustomPerfStats::DoStatChange(LONG value) {
    if (OnStatChange) OnStatChange(*this, value);
}

void TCustomPerfStats::StatRead(bool) {}

LONG TCustomPerfStats::Stat() const {
    if (!active_) return 0;
    if (!differentiate_) return current_ == NoReading ? 0 : current_;
    // A rate needs two readings and a positive interval.
    if (previous_ == NoReading || interval_ <= 0) return 0;
    const double rate = (1000.0 / interval_) * Difference(current_, previous_);
    // Rounded to the nearest, halves to even; a rate beyond 32 bits is held at its bound.
    const double rounded = std::nearbyint(rate);
    if (rounded >= static_cast<double>(std::numeric_limits<LONG>::max())) return std::numeric_limits<LONG>::max();
    if (rounded <= static_cast<double>(std::numeric_limits<LONG>::min())) return std::numeric_limits<LONG>::min();
    return static_cast<LONG>(rounded);
}

LONG TCustomPerfStats::LastError() {
    const LONG code = error_;
    error_ = 0;
    return code;
}

std::string TCustomPerfStats::ErrorText(LONG code) {
    switch (code) {
    case 0: return "No error";
    case kBadKeyName: return "Key name must have form \"Category\\Stat\"";
    case kInvalidCategory: return "Invalid category";
    case kNoName: return "No Name value for stat";
    case kNoDescription: return "No Description value for stat";
    case kNoDifferentiate: return "No Differentiate value for stat";
    case kInactive: return "Update not possible when inactive";
    case kNotAvailable: return "The statistic is not available";
    default: return "Error";
    }
}

std::string TCustomPerfStats::FormatStatValue(LONG n) {
    if (n <= 1024) return std::to_string(n);
    const LONG unit = n <= 1048576 ? 1024 : 1048576;
    const char* suffix = unit == 1024 ? "K" : "M";
    const LONG whole = n / unit;
    const LONG tenth = static_cast<LONG>(static_cast<std::int64_t>(n % unit) * 10 / unit);
    char text[32];
    if (tenth > 0)
        std::snprintf(text, sizeof text, "%d.%d%s", static_cast<int>(whole), static_cast<int>(tenth), suffix);
    else
        std::snprintf(text, sizeof text, "%d%s", static_cast<int>(whole), suffix);
    return text;
}

std::string TCustomPerfStats::DisplayString() const {
    if (!active_) return keyName_.empty() ? "No key" : "Inactive: " + keyName_;
    std::string text;
    if (elements_.count(TPerfElement::tpeCategory)) text = categoryName_;
    if (elements_.count(TPerfElement::tpeStatName)) text = text.empty() ? statName_ : text + ": " + statName_;
    if (elements_.count(TPerfElement::tpeStatValue)) {
        const std::string value = FormatStatValue(Stat());
        text = text.empty() ? value : text + " = " + value;
    }
    return text;
}

void TCustomPerfStats::BeginLoading() {
    loading_ = true;
}

void TCustomPerfStats::EndLoading() {
    if (!loading_) return;
    loading_ = false;
    SetActiveStat(streamedActive_);
    SetAutoTick(streamedAutoTick_);
    if (active_) Tick();
}

void TPerfStats::StatRead(bool) {}

}  // namespace taskwell
