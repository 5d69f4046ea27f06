// Reads one of the system's performance statistics ("KERNEL\CPUUsage", "VMM\cpgCommit", ...)
// through the registry: its description under HKEY_LOCAL_MACHINE, its start, live value and stop
// under HKEY_DYN_DATA. Active and polled, it joins the shared polling thread of its interval
// (TStatsThreads), which ticks it on the user-interface thread; each reading fires OnStat, and
// OnStatChange when the value differs from the one before. A running counter ("Differentiate")
// reports the difference between two readings rather than the reading itself.
//
// TCustomPerfStats holds the logic; TPerfStats is the component the main window uses.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>

#include "components/RegistryKey.h"
#include "platform/Registry.h"

namespace taskwell {

class TStatsThreads;

// The live values' key (HKEY_DYN_DATA\PerfStats\StatData) for one polling pass: opened by the
// first reader of the pass that reads and shared by the pass's later readers, so a pass opens and
// closes it once rather than once per reader; it closes when the pass ends. An opening that failed
// is not kept: the next reader tries again, as it would alone.
class TStatDataKey {
public:
    // The open key, or null when it cannot be opened.
    const RegistryKey* Open(IRegistry& registry);

private:
    IRegistry* registry_ = nullptr;
    std::optional<RegistryKey> key_;
};

enum class TPerfElement { tpeCategory, tpeStatName, tpeStatValue, tpeStatMax };
using TPerfElements = std::set<TPerfElement>;

// The reading slot holds no reading.
constexpr LONG NoReading = INT32_MIN;

class TCustomPerfStats {
public:
    TCustomPerfStats(IRegistry& registry, TStatsThreads& threads);
    // Stops the statistic (and leaves its polling thread) first.
    virtual ~TCustomPerfStats();
    TCustomPerfStats(const TCustomPerfStats&) = delete;
    TCustomPerfStats& operator=(const TCustomPerfStats&) = delete;

    std::string Name;

    // "Category\Stat". Setting a new name validates it and loads its description; on failure the
    // name stays as it was and LastError says why (codes 1 to 5).
    const std::string& KeyName() const { return keyName_; }
    void SetKeyName(const std::string& name);
    const std::string& CategoryName() const { return categoryName_; }
    const std::string& StatName() const { return statName_; }
    const std::string& Description() const { return description_; }
    bool Differentiate() const { return differentiate_; }

    // Starts (reads the start value) or stops (reads the stop value) the statistic; needs a key name.
    bool ActiveStat() const { return active_; }
    void SetActiveStat(bool v);
    // Whether an active statistic is polled by the thread of its interval; off, only Tick reads it.
    bool AutoTick() const { return autoTick_; }
    void SetAutoTick(bool v);
    // Milliseconds between polls. An interval of 0 or less polls nothing.
    LONG Interval() const { return interval_; }
    void SetInterval(LONG ms);

    TPerfElements DisplayElements() const { return elements_; }
    void SetDisplayElements(TPerfElements elements);
    std::string DisplayString() const;

    // The latest value: the level, or for a running counter the rate per second over the interval.
    LONG Stat() const;
    // The code of the latest failure; reading it resets it to 0.
    LONG LastError();
    static std::string ErrorText(LONG code);
    // 1000 as "1000", 1536 as "1.5K", 1572864 as "1.5M".
    static std::string FormatStatValue(LONG n);

    // Takes one reading and fires the events. The polling thread calls it; an owner may too.
    virtual void Tick();
    // Tick as one reader of a polling pass, reading through the pass's shared key.
    void TickInPass(TStatDataKey& pass);

    // While the component is being set up from stored properties, ActiveStat and AutoTick are only
    // remembered; EndLoading applies them (ActiveStat first) and takes a reading when active.
    void BeginLoading();
    void EndLoading();
    bool Loading() const { return loading_; }

    std::function<void(TCustomPerfStats& sender)> OnLostKey;
    std::function<void(TCustomPerfStats& sender, LONG value)> OnStat;
    std::function<void(TCustomPerfStats& sender, LONG value)> OnStatChange;

protected:
    virtual void DoStat(LONG value);
    virtual void DoStatChange(LONG value);
    virtual LONG ReadRawValue();
    // After each reading that fired OnStat: changed tells whether OnStatChange fired too.
    virtual void StatRead(bool changed);
    virtual void ResetReadings();
    void JoinPollingThread(LONG interval);
    void LeavePollingThread(LONG interval);

private:
    IRegistry& registry_;
    TStatsThreads& threads_;
    TStatDataKey* pass_ = nullptr;  // the pass's shared key while TickInPass runs
    std::string keyName_, categoryName_, statName_, description_;
    bool differentiate_ = false;
    bool active_ = false;
    bool autoTick_ = true;
    LONG interval_ = 1000;
    TPerfElements elements_{TPerfElement::tpeCategory, TPerfElement::tpeStatName, TPerfElement::tpeStatValue};
    LONG current_ = NoReading;
    LONG previous_ = NoReading;
    LONG error_ = 0;
    bool loading_ = false;
    bool streamedActive_ = false;
    bool streamedAutoTick_ = true;
};

class TPerfStats : public TCustomPerfStats {
public:
    using TCustomPerfStats::TCustomPerfStats;

protected:
    void StatRead(bool changed) override;
};

}  // namespace taskwell
