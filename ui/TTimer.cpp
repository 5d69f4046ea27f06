#include "ui/TTimer.h"

#include "ui/TApplication.h"

namespace taskwell {

TTimer::TTimer(TApplication& app, UINT interval, bool enabled)
    : app_(app), interval_(interval), enabled_(enabled) {
    peer_ = app_.Backend().CreatePeer(*this);
    Update();
}

TTimer::~TTimer() {
    enabled_ = false;
    Update();
    peer_.reset();
}

void TTimer::SetInterval(UINT ms) {
    if (ms == interval_) return;
    interval_ = ms;
    Update();
}

void TTimer::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Update();
}

void TTimer::Update() {
    ++generation_;
    if (peer_) peer_->Changed(Change::Timer, -1);
}

void TTimer::Fire() {
    if (!Running() || !OnTimer) return;
    app_.Guarded(OnTimer);
}

}  // namespace taskwell
