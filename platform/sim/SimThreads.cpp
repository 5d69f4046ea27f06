#include "platform/sim/SimThreads.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace taskwell::sim {

const char* ThreadOpName(ThreadOp op) {
    switch (op) {
    case ThreadOp::CreatePollingThread: return "CreatePollingThread";
    case ThreadOp::StopThread: return "StopThread";
    }
    return "?";
}

void SimThreads::Fail(ThreadOp op, bool on) {
    if (on)
        failing_.insert(op);
    else
        failing_.erase(op);
}

void SimThreads::Raise(ThreadOp op, bool on) {
    if (on)
        raising_.insert(op);
    else
        raising_.erase(op);
}

int SimThreads::Calls(ThreadOp op) const {
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
}

bool SimThreads::Enter(ThreadOp op) {
    ++calls_[op];
    if (raising_.count(op)) throw std::runtime_error(std::string(ThreadOpName(op)) + " failed");
    return failing_.count(op) != 0;
}

SimThreads::~SimThreads() {
    for (auto& t : threads_) t.second->stopped = true;
}

HANDLE SimThreads::CreatePollingThread(DWORD intervalMs, std::function<void()> pass) {
    if (Enter(ThreadOp::CreatePollingThread) || FailCreate || intervalMs == 0) return 0;
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
    Enter(ThreadOp::StopThread);
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
