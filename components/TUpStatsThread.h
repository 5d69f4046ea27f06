// The polling threads of the performance statistics: one thread per distinct interval, shared by
// every active statistic polled at that interval. A thread sleeps its interval, then runs a pass
// over its members on the user-interface thread (UpdateMembers), which ticks each active one; so
// members, events and their handlers live on the user-interface thread alone.
//
// TStatsThreads is the list of those threads. The main window owns it and hands it to its
// statistics; it stops every thread it still holds when it goes.
#pragma once

#include <memory>
#include <vector>

#include "platform/Threads.h"

namespace taskwell {

class TCustomPerfStats;

class TUpStatsThread {
public:
    // Starts the platform's polling thread; Started() tells whether it could be made (a call that
    // raises an error counts as one that could not).
    TUpStatsThread(IThreads& threads, LONG interval);
    // Stops the thread (Terminate) if it still runs.
    ~TUpStatsThread();
    TUpStatsThread(const TUpStatsThread&) = delete;
    TUpStatsThread& operator=(const TUpStatsThread&) = delete;

    LONG Interval() const { return interval_; }
    bool Started() const { return handle_ != 0; }
    const std::vector<TCustomPerfStats*>& Members() const { return members_; }

    // Adds a member unless it is one already.
    void AddMember(TCustomPerfStats& member);
    // Removes a member: the number of members left, or -1 when it was none.
    int RemoveMember(TCustomPerfStats& member);
    // One pass: ticks every active member in the order they joined. A member's failure ends its
    // own tick only; members that leave during the pass are not ticked.
    void UpdateMembers();
    // Stops the thread: no pass runs after this, and a pass under way ticks no further member. A
    // stop the platform refuses with an error is not passed on: the passes are empty all the same.
    void Terminate();
    bool Terminated() const { return terminated_; }
    // True while a pass runs.
    bool InPass() const { return inPass_; }

private:
    IThreads& threads_;
    LONG interval_;
    HANDLE handle_ = 0;
    std::vector<TCustomPerfStats*> members_;
    bool terminated_ = false;
    bool inPass_ = false;
    // Cleared when the object goes; the platform's thread holds it with its pass.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class TStatsThreads {
public:
    explicit TStatsThreads(IThreads& threads) : threads_(threads) {}
    ~TStatsThreads();
    TStatsThreads(const TStatsThreads&) = delete;
    TStatsThreads& operator=(const TStatsThreads&) = delete;

    // The member joins the thread of that interval, which is made when there is none. An interval
    // of 0 or less joins nothing.
    void Join(TCustomPerfStats& member, LONG interval);
    // The member leaves the thread of that interval; a thread left empty stops and goes.
    void Leave(TCustomPerfStats& member, LONG interval);

    int Count() const { return static_cast<int>(threads_list_.size()); }
    // The thread of that interval, or null.
    TUpStatsThread* Find(LONG interval) const;

private:
    // Frees the stopped threads whose last pass has returned.
    void Collect();
    IThreads& threads_;
    std::vector<std::unique_ptr<TUpStatsThread>> threads_list_;
    std::vector<std::unique_ptr<TUpStatsThread>> retired_;
};

}  // namespace taskwell
