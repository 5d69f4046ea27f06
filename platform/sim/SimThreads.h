// Polling threads on the simulated machine's virtual clock. A thread's pass falls due one interval
// after the thread was made or its last pass ran, and runs when the user interface processes
// messages at or after that time (SimUi::Advance), as a marshalled call does on the real system.
// Tests can hold passes: a pass that falls due then waits, as one handed over to a busy
// user-interface thread does, until RunHeld or a stop. Either operation can be told to fail (the
// way the platform reports failure) or to raise an error (the way a platform wrapper does).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "platform/Threads.h"
#include "platform/sim/SimUi.h"

namespace taskwell::sim {

enum class ThreadOp { CreatePollingThread, StopThread };

// The last operation, as kLastOp of the machine's.
constexpr ThreadOp kLastThreadOp = ThreadOp::StopThread;
constexpr int kThreadOpCount = static_cast<int>(kLastThreadOp) + 1;

// "?" for a value that names no operation.
const char* ThreadOpName(ThreadOp op);

class SimThreads : public IThreads {
public:
    explicit SimThreads(SimUi& ui) : ui_(ui) {}
    ~SimThreads() override;

    HANDLE CreatePollingThread(DWORD intervalMs, std::function<void()> pass) override;
    void StopThread(HANDLE thread) override;

    // Threads that have not been stopped.
    int Running() const;
    // Passes run so far, by all threads.
    int Passes() const { return passes_; }
    // Makes CreatePollingThread return 0 (as Fail(ThreadOp::CreatePollingThread)).
    bool FailCreate = false;

    // Fail makes CreatePollingThread return 0; StopThread has no way to report a failure, so for it
    // only Raise makes a difference (it throws before stopping anything). on = false heals it.
    void Fail(ThreadOp op, bool on = true);
    void Raise(ThreadOp op, bool on = true);
    int Calls(ThreadOp op) const;

    // While held, due passes wait; RunHeld runs the waiting ones (in the order they fell due).
    bool HoldPasses = false;
    int Held() const;
    void RunHeld();

private:
    struct Thread {
        DWORD interval;
        std::function<void()> pass;
        bool stopped = false;
        bool held = false;
        bool inPass = false;
    };
    void Schedule(HANDLE h, const std::shared_ptr<Thread>& t);
    void RunPass(HANDLE h, const std::shared_ptr<Thread>& t);
    // Counts the call; true when it is to report failure. Throws when told to raise.
    bool Enter(ThreadOp op);

    SimUi& ui_;
    std::map<HANDLE, std::shared_ptr<Thread>> threads_;
    HANDLE next_ = 0x700;
    int passes_ = 0;
    std::set<ThreadOp> failing_, raising_;
    std::map<ThreadOp, int> calls_;
};

}  // namespace taskwell::sim
