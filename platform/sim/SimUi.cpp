#include "platform/sim/SimUi.h"

#include <algorithm>

#include "ui/TForm.h"
#include "ui/TTimer.h"

namespace taskwell::sim {

class SimTimerPeer : public IPeer {
public:
    SimTimerPeer(SimUi& ui, TTimer& timer) : ui_(ui), timer_(timer) {}
    ~SimTimerPeer() override { ui_.TimerGone(timer_); }
    void Changed(Change what, int) override {
        if (what == Change::Timer) ui_.TimerChanged(timer_);
    }

private:
    SimUi& ui_;
    TTimer& timer_;
};

class SimFormPeer : public IPeer {
public:
    SimFormPeer(SimUi& ui, TForm& form) : ui_(ui), form_(form) { ui_.forms_.push_back(&form_); }
    ~SimFormPeer() override {
        ui_.forms_.erase(std::remove(ui_.forms_.begin(), ui_.forms_.end(), &form_), ui_.forms_.end());
    }
    void Changed(Change, int) override {}

private:
    SimUi& ui_;
    TForm& form_;
};

SimUi::~SimUi() = default;

std::unique_ptr<IPeer> SimUi::CreatePeer(TControl& control) {
    if (auto* form = dynamic_cast<TForm*>(&control)) return std::make_unique<SimFormPeer>(*this, *form);
    return nullptr;
}
std::unique_ptr<IPeer> SimUi::CreatePeer(TMenu&) { return nullptr; }
std::unique_ptr<IPeer> SimUi::CreatePeer(TImageList&) { return nullptr; }

std::unique_ptr<IPeer> SimUi::CreatePeer(TTimer& timer) {
    timers_.push_back(Timer{&timer, false, 0, order_++});
    return std::make_unique<SimTimerPeer>(*this, timer);
}

void SimUi::TimerChanged(TTimer& t) {
    for (auto& e : timers_) {
        if (e.timer != &t) continue;
        e.armed = t.Running();
        e.due = machine_.Now() + t.Interval();
    }
}

void SimUi::TimerGone(TTimer& t) {
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [&](const Timer& e) { return e.timer == &t; }),
                  timers_.end());
}

std::vector<SimUi::TimerState> SimUi::Timers() const {
    std::vector<TimerState> out;
    for (auto& e : timers_) out.push_back(TimerState{e.timer, e.armed, e.due});
    return out;
}

bool SimUi::RunNextDue(std::uint64_t until) {
    const Timer* bestTimer = nullptr;
    for (auto& e : timers_)
        if (e.armed && e.due <= until && (!bestTimer || e.due < bestTimer->due)) bestTimer = &e;
    const Call* bestCall = nullptr;
    for (auto& c : calls_)
        if (c.due <= until && (!bestCall || c.due < bestCall->due || (c.due == bestCall->due && c.order < bestCall->order)))
            bestCall = &c;
    if (!bestTimer && !bestCall) return false;
    if (bestCall && (!bestTimer || bestCall->due <= bestTimer->due)) {
        if (machine_.Now() < bestCall->due) machine_.SetNow(bestCall->due);
        auto fn = std::move(const_cast<Call*>(bestCall)->fn);
        calls_.erase(calls_.begin() + (bestCall - calls_.data()));
        fn();
        return true;
    }
    TTimer* timer = bestTimer->timer;
    if (machine_.Now() < bestTimer->due) machine_.SetNow(bestTimer->due);
    // Like a native timer the next period counts from now, unless the handler restarts the timer.
    for (auto& e : timers_)
        if (e.timer == timer) e.due = machine_.Now() + timer->Interval();
    timer->Fire();
    return true;
}

void SimUi::Advance(std::uint64_t ms) {
    std::uint64_t until = machine_.Now() + ms;
    while (RunNextDue(until)) {
    }
    if (machine_.Now() < until) machine_.SetNow(until);
}

void SimUi::At(std::uint64_t delayMs, std::function<void()> fn) {
    calls_.push_back(Call{machine_.Now() + delayMs, order_++, std::move(fn)});
}

void SimUi::ProcessMessages() {
    Advance(ProcessMessagesQuantum);
}

void SimUi::RunMessageLoop() {
    while (!terminated_) {
        std::uint64_t next = UINT64_MAX;
        for (auto& e : timers_)
            if (e.armed) next = std::min(next, e.due);
        for (auto& c : calls_) next = std::min(next, c.due);
        if (next == UINT64_MAX) return;
        Advance(next > machine_.Now() ? next - machine_.Now() : 0);
    }
}

void SimUi::RunModal(TForm& form) {
    form.Show();
    ModalForms.push_back(form.Caption());
    int result = ModalResponder ? ModalResponder(form) : mrCancel;
    if (form.ModalResult == mrNone) form.ModalResult = result == mrNone ? mrCancel : result;
}

int SimUi::MessageBox(TForm* owner, const std::string& text, const std::string& caption, UINT flags) {
    MessageBoxCall call{owner == nullptr, text, caption, flags};
    MessageBoxes.push_back(call);
    if (Responder) return Responder(call);
    UINT buttons = flags & 0xF;
    return buttons == MB_YESNO ? IDYES : IDOK;
}

}  // namespace taskwell::sim
