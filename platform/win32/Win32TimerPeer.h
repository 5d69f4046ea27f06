// A timer as a system timer of the backend's hidden window.
#pragma once

#include "platform/UiBackend.h"
#include "platform/win32/Win32Api.h"

namespace taskwell {
class TTimer;
}

namespace taskwell::win32 {

class Win32UiBackend;

class Win32TimerPeer : public IPeer {
public:
    Win32TimerPeer(Win32UiBackend& backend, TTimer& timer);
    ~Win32TimerPeer() override;
    Win32TimerPeer(const Win32TimerPeer&) = delete;
    Win32TimerPeer& operator=(const Win32TimerPeer&) = delete;

    // Interval or enabled changed: a running timer starts afresh (the system replaces a timer of
    // the same id, its period counted from now), a stopped one stops. A timer stopped by its own
    // handler is stopped when the handler returns, unless the handler started it again: the handler
    // that stops its timer for the length of a step and starts it at the end (the refresh tick)
    // then costs the system one call, not two.
    void Changed(Change what, int index) override;
    // The system timer went off.
    void Elapsed();

    bool Running() const { return running_; }

private:
    void Stop();
    // The handler has returned: a timer it left stopped stops.
    void Fired();

    Win32UiBackend& backend_;
    TTimer& timer_;
    UINT_PTR id_;
    bool running_ = false;
    bool firing_ = false;
};

}  // namespace taskwell::win32
