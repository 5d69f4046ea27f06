#include "platform/sim/SimThreads.h"

#include <vector>

namespace taskwell::sim {

SimThreads::~SimThreads() {
    for (auto& t : threads_) t.second->stopped = true;
}

HANDLE SimThreads::CreatePollingThread(DWORD intervalMs, std::function<void()> pass) {
    if (FailCreate || intervalMs == 0) return 0;
    auto thread = std::make_shared<Thread>(Thread{intervalMs, std::move(pass)});
    const HANDLE h = next_;
    next_ += 4;
    threads_[h] = thread;
    Schedule(h, thread);
    return h;
}

void SimThreads::Schedule(HANDLE h, const std::shared_ptr<Thread>& t) {
    std::weak_ptr<Thread> weak = t;
    ui_.At(t->interval, [this, h, weak] {
        auto thread = weak.lock();
        if (!thread || thread->stopped) return;
        if (HoldPasses) {
            thread->held = true;
            return;
        }
        RunPass(h, thread);
    });
}

void SimThreads::RunPass(HANDLE h, const std::shared_ptr<Thread>& t) {
    t->held = false;
    t->inPass = true;
    ++passes_;
    try {
        t->pass();
    } catch (...) {
        // A pass that fails ends that pass, not the thread.
    }
    t->inPass = false;
    if (!t->stopped) Schedule(h, t);
}

void SimThreads::StopThread(HANDLE thread) {
    auto it = threads_.find(thread);
    if (it == threads_.end()) return;
    it->second->stopped = true;
    it->second->held = false;
    threads_.erase(it);
}

int SimThreads::Running() const {
    return static_cast<int>(threads_.size());
}

int SimThreads::Held() const {
    int held = 0;
    for (auto& t : threads_) held += t.second->held ? 1 : 0;
    return held;
}

void SimThreads::RunHeld() {
    std::vector<std::pair<HANDLE, std::shared_ptr<Thread>>> waiting;
    for (auto& t : threads_)
        if (t.second->held) waiting.emplace_back(t.first, t.second);
    for (auto& [h, t] : waiting)
        if (!t->stopped && t->held) RunPass(h, t);
}

}  // namespace taskwell::sim
