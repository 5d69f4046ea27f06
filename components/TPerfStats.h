// Reads one of the system's performance statistics (for instance "KERNEL\CPUUsage") and reports each
// reading through OnStat. The main window starts and stops it, switches its polling on and off and
// sets its polling period.
//
// Present so far: the controls the main window drives (start/stop, polling switch, period). The
// reading itself is not built yet: a started statistic takes no readings and OnStat never fires.
#pragma once

#include <functional>
#include <string>

#include "platform/Types.h"

namespace taskwell {

class TPerfStats {
public:
    explicit TPerfStats(std::string keyName) : KeyName(std::move(keyName)) {}

    std::string Name;
    std::string KeyName;

    bool ActiveStat() const { return active_; }
    void SetActiveStat(bool v) { active_ = v; }
    bool AutoTick() const { return autoTick_; }
    void SetAutoTick(bool v) { autoTick_ = v; }
    DWORD Interval() const { return interval_; }
    void SetInterval(DWORD ms) { interval_ = ms; }

    // Called with each reading (the statistic's value).
    std::function<void(LONG value)> OnStat;

private:
    bool active_ = false;
    bool autoTick_ = false;
    DWORD interval_ = 1000;
};

}  // namespace taskwell
