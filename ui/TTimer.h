// A millisecond timer. It fires OnTimer every Interval milliseconds while Enabled; an interval of 0
// never fires, even when enabled. Changing either property restarts the count.
#pragma once

#include <functional>
#include <memory>

#include "platform/UiBackend.h"

namespace taskwell {

class TApplication;

class TTimer {
public:
    explicit TTimer(TApplication& app, UINT interval = 1000, bool enabled = true);
    ~TTimer();
    TTimer(const TTimer&) = delete;
    TTimer& operator=(const TTimer&) = delete;

    std::string Name;

    UINT Interval() const { return interval_; }
    void SetInterval(UINT ms);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    // Whether the timer will fire: enabled with a non-zero interval.
    bool Running() const { return enabled_ && interval_ > 0; }

    std::function<void()> OnTimer;
    // Called by the backend when the interval has passed.
    void Fire();

    // Counts changes of interval or state, so a backend can tell a timer restarted inside its own
    // handler from one that simply fired.
    unsigned Generation() const { return generation_; }

private:
    void Update();
    TApplication& app_;
    UINT interval_;
    bool enabled_;
    unsigned generation_ = 0;
    std::unique_ptr<IPeer> peer_;
};

}  // namespace taskwell
