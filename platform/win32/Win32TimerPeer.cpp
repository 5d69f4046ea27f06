#include "platform/win32/Win32TimerPeer.h"

#include "platform/win32/Win32UiBackend.h"
#include "ui/TTimer.h"

namespace taskwell::win32 {

Win32TimerPeer::Win32TimerPeer(Win32UiBackend& backend, TTimer& timer)
    : backend_(backend), timer_(timer), id_(backend.AddTimer(this)) {}

Win32TimerPeer::~Win32TimerPeer() {
    if (running_) ::KillTimer(backend_.UtilityWindow(), id_);
    backend_.RemoveTimer(id_);
}

void Win32TimerPeer::Changed(Change what, int) {
    if (what != Change::Timer) return;
    if (timer_.Running()) {
        if (::SetTimer(backend_.UtilityWindow(), id_, timer_.Interval(), nullptr) != 0) {
            running_ = true;
            return;
        }
    } else if (firing_) {
        return;  // stopped when the handler returns, unless it starts the timer again
    }
    Stop();
}

void Win32TimerPeer::Stop() {
    if (running_) ::KillTimer(backend_.UtilityWindow(), id_);
    running_ = false;
}

void Win32TimerPeer::Elapsed() {
    // A handler that pumps messages may see its own timer come round again: that tick is dropped
    // rather than run inside the one still going.
    if (firing_) return;
    // The handler may also destroy the timer, and this peer with it: afterwards the peer is
    // touched only if its id is still registered (ids are never reused).
    Win32UiBackend& backend = backend_;
    UINT_PTR id = id_;
    firing_ = true;
    try {
        timer_.Fire();
    } catch (...) {
        if (backend.HasTimer(id)) Fired();
        throw;
    }
    if (backend.HasTimer(id)) Fired();
}

void Win32TimerPeer::Fired() {
    firing_ = false;
    if (!timer_.Running()) Stop();
}

}  // namespace taskwell::win32
