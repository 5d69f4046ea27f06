// The window list engine: tracks the top-level windows that count as tasks and raises OnChanged
// when their set changes, rescanning on its own timer.
//
// Present so far: the timer the main window drives (period and switch) and the change event. The
// scan itself is not built yet: Refresh finds no windows and OnChanged never fires on its own.
#pragma once

#include <functional>

#include "platform/Types.h"

namespace taskwell {

class TWinList {
public:
    std::string Name;

    DWORD TimerIntval() const { return interval_; }
    void SetTimerIntval(DWORD ms) { interval_ = ms; }
    bool TimerEnabled() const { return enabled_; }
    void SetTimerEnabled(bool v) { enabled_ = v; }

    // Rescans the windows at once.
    void Refresh() {}

    std::function<void()> OnChanged;

private:
    DWORD interval_ = 1000;
    bool enabled_ = false;
};

}  // namespace taskwell
