// Polling threads made with the system's CreateThread. Each sleeps on its own stop event (so a stop
// wakes it at once) and hands its pass to the user-interface thread by sending a message to a
// hidden window of this object's own, which runs the pass there; the send returns when the pass
// has run.
//
// A stop on the user-interface thread sets the thread's stop flag and event, then waits for the
// thread while still taking sent messages: a thread caught handing over its pass is answered (its
// pass, seeing the flag, does nothing) and ends, so the wait always ends. A stop from inside the
// thread's own pass cannot wait for it (the thread waits for that very pass): the thread is then
// left to end when the pass returns and is collected later. Every thread has ended before this
// object and its window go.
//
// While a stop waits, the passes other threads hand over are answered without running: a pass
// run inside the stop would run inside whatever called the stop (a statistic leaving its polling
// thread, say) and could change the very lists that caller is changing. Such a thread simply polls
// again after its next interval.
#pragma once

#include <functional>
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

    struct Polling;

private:
    static ::LRESULT CALLBACK WindowProc(::HWND hwnd, UINT msg, ::WPARAM wParam, ::LPARAM lParam);
    // Waits for the thread to end, answering the sends of any thread meanwhile (passes without
    // running them).
    void Join(Polling& polling);
    // Closes and frees the threads that were left to end on their own and have done so.
    void Collect(bool wait);

    ::HWND window_ = nullptr;
    int joining_ = 0;                 // stops waiting for their threads
    std::vector<Polling*> threads_;   // running
    std::vector<Polling*> leaving_;   // stopped from inside their own pass
};

}  // namespace taskwell::win32
