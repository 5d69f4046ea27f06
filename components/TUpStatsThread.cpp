#include "components/TUpStatsThread.h"

#include <algorithm>

#include "components/TPerfStats.h"

namespace taskwell {

TUpStatsThread::TUpStatsThread(IThreads& threads, LONG interval) : threads_(threads), interval_(interval) {
    if (interval_ <= 0) return;
    // The pass reaches this object only while it exists: a thread that could not be stopped runs
    // on with empty passes after it has gone.
    try {
        handle_ = threads_.CreatePollingThread(static_cast<DWORD>(interval_), [this, alive = alive_] {
            if (*alive) UpdateMembers();
        });
    } catch (...) {
        // As a thread the platform could not make: the members take no readings.
        handle_ = 0;
    }
}

TUpStatsThread::~TUpStatsThread() {
    *alive_ = false;
    Terminate();
}

void TUpStatsThread::AddMember(TCustomPerfStats& member) {
    if (std::find(members_.begin(), members_.end(), &member) == members_.end()) members_.push_back(&member);
}

int TUpStatsThread::RemoveMember(TCustomPerfStats& member) {
    auto it = std::find(members_.begin(), members_.end(), &member);
    if (it == members_.end()) return -1;
    members_.erase(it);
    return static_cast<int>(members_.size());
}

void TUpStatsThread::UpdateMembers() {
    if (terminated_) return;
    inPass_ = true;
    // The members as the pass began, each ticked only while it still is one: a reader that leaves
    // during the pass (or stops on a lost key) neither makes another one skipped nor is ticked
    // after it left. A stop during the pass ends it.
    const std::vector<TCustomPerfStats*> members = members_;
    TStatDataKey data;
    for (TCustomPerfStats* member : members) {
        if (terminated_) break;
        if (std::find(members_.begin(), members_.end(), member) == members_.end()) continue;
        if (!member->ActiveStat()) continue;
        try {
            member->TickInPass(data);
        } catch (...) {
            // One reader's failure ends its own reading, not the pass.
        }
    }
    inPass_ = false;
}

void TUpStatsThread::Terminate() {
    if (terminated_) return;
    terminated_ = true;
    if (handle_ == 0) return;
    try {
        threads_.StopThread(handle_);
    } catch (...) {
        // A thread that could not be stopped is stopped for the program all the same: its passes
        // tick nobody from now on, so whoever stopped it (a reader leaving it, an update speed, the
        // close) goes on rather than stop halfway.
    }
}

TStatsThreads::~TStatsThreads() {
    for (auto& t : threads_list_) t->Terminate();
    for (auto& t : retired_) t->Terminate();
}

TUpStatsThread* TStatsThreads::Find(LONG interval) const {
    for (auto& t : threads_list_)
        if (t->Interval() == interval) return t.get();
    return nullptr;
}

void TStatsThreads::Join(TCustomPerfStats& member, LONG interval) {
    Collect();
    if (interval <= 0) return;
    if (TUpStatsThread* thread = Find(interval)) {
        thread->AddMember(member);
        return;
    }
    auto thread = std::make_unique<TUpStatsThread>(threads_, interval);
    thread->AddMember(member);
    threads_list_.push_back(std::move(thread));
}

void TStatsThreads::Leave(TCustomPerfStats& member, LONG interval) {
    Collect();
    if (interval <= 0) return;
    auto it = std::find_if(threads_list_.begin(), threads_list_.end(),
                           [&](const std::unique_ptr<TUpStatsThread>& t) { return t->Interval() == interval; });
    if (it == threads_list_.end()) return;
    if ((*it)->RemoveMember(member) != 0) return;
    (*it)->Terminate();
    // A thread left empty from inside its own pass is still on the stack: it goes after that pass.
    if ((*it)->InPass()) retired_.push_back(std::move(*it));
    threads_list_.erase(it);
}

void TStatsThreads::Collect() {
    retired_.erase(std::remove_if(retired_.begin(), retired_.end(),
                                  [](const std::unique_ptr<TUpStatsThread>& t) { return !t->InPass(); }),
                   retired_.end());
}

}  // namespace taskwell
