// Polling threads made with the system's CreateThread. One system thread, the worker, made with
// the first polling thread and kept until this object goes, runs every polling thread's timing: it
// sleeps until the next pass of any of them is due (a new polling thread wakes it), then sends a
// message to a hidden window of this object's own, whose handling on the user-interface thread
// runs the passes that are due and answers how long the worker may sleep until the next one. The
// send returns when those passes have run, so each polling thread sleeps its interval after its
// own pass has run, as a thread of its own would.
//
// Every polling thread's state (its interval, when its next pass is due, whether it is stopped)
// lives on the user-interface thread, which alone reads and writes it: a stop takes the polling
// thread out at once and has nothing to wait for. A pass the worker is asking for at that moment
// finds it gone; a stop from inside the polling thread's own pass takes it out when the pass
// returns.
//
// Why one system thread rather than one each: under Wine every system thread that ends makes the
// host's C library load its unwinder and touch its exit paths (about 0.3 MB of resident memory the
// process keeps from then on), and every one alive holds about half a megabyte; the start of the
// program makes and stops three polling threads within its first seconds.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "platform/Threads.h"
#include "platform/win32/Win32Api.h"

namespace taskwell::win32 {

class Win32Threads : public IThreads {
public:
    explicit Win32Threads(::HINSTANCE instance);
    ~Win32Threads() override;
    Win32Threads(const Win32Threads&) = delete;
    Win32Threads& operator=(const Win32Threads&) = delete;

    HANDLE CreatePollingThread(DWORD intervalMs, std::function<void()> pass) override;
    void StopThread(HANDLE thread) override;

private:
    struct Polling;

    static ::DWORD WINAPI WorkerBody(void* parameter);
    static ::LRESULT CALLBACK WindowProc(::HWND hwnd, UINT msg, ::WPARAM wParam, ::LPARAM lParam);
    bool StartWorker();
    // The polling thread of handle `id` in threads_, or its end.
    std::vector<std::unique_ptr<Polling>>::iterator Find(HANDLE id);
    // Runs the passes that are due, in the order their polling threads were made; returns the
    // milliseconds until the next one is due, INFINITE when no polling thread runs.
    ::DWORD RunDuePasses();

    ::HWND window_ = nullptr;
    ::HANDLE worker_ = nullptr;
    ::HANDLE wake_ = nullptr;         // auto-reset: the worker asks again at once
    volatile LONG ending_ = 0;        // set by the destructor; the worker ends
    HANDLE lastId_ = 0;               // the last polling thread's handle
    std::vector<std::unique_ptr<Polling>> threads_;
};

}  // namespace taskwell::win32
