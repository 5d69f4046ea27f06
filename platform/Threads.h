// Threads beside the user-interface thread. The program has one kind: a polling thread that, until
// it is stopped, sleeps for its interval and then hands a pass to the user-interface thread and waits
// until the pass has run. Everything a pass touches is therefore touched on the user-interface thread
// alone, and the program needs no locks.
#pragma once

#include <functional>

#include "platform/Types.h"

namespace taskwell {

class IThreads {
public:
    virtual ~IThreads() = default;
    // Creates and starts a polling thread with an interval above 0. Its sleep ends early when the
    // thread is stopped. Returns 0 when no thread could be created. Called on the user-interface
    // thread.
    virtual HANDLE CreatePollingThread(DWORD intervalMs, std::function<void()> pass) = 0;
    // Stops the thread: from the moment this is called no pass of it runs any more, also one that it
    // has already handed over. Returns when the thread has ended, except when called from inside the
    // thread's own pass: then the thread ends as soon as that pass returns. Never waits without end:
    // a thread blocked in handing over its pass is released by the stop. Called on the
    // user-interface thread; an unknown or already stopped thread is ignored.
    virtual void StopThread(HANDLE thread) = 0;
};

}  // namespace taskwell
