#include "platform/win32/Win32Threads.h"

#include <algorithm>

namespace taskwell::win32 {

namespace {
constexpr const char* kThreadsClass = "TaskwellThreads";
// Sent by a polling thread: lParam is its Polling record.
constexpr UINT kPassMessage = WM_APP + 20;
}  // namespace

struct Win32Threads::Polling {
    Win32Threads* owner = nullptr;
    ::DWORD interval = 0;
    std::function<void()> pass;
    ::HANDLE stopEvent = nullptr;
    ::HANDLE thread = nullptr;
    ::HWND window = nullptr;
    // Written by the user-interface thread only; the thread reads it before each send.
    volatile LONG stopped = 0;
    bool inPass = false;
};

namespace {
::DWORD WINAPI PollingBody(void* parameter) {
    auto* polling = static_cast<Win32Threads::Polling*>(parameter);
    // Until stopped: sleep the interval (a stop ends the sleep at once), then hand the pass over
    // and wait for it.
    while (::WaitForSingleObject(polling->stopEvent, polling->interval) == WAIT_TIMEOUT && !polling->stopped)
        ::SendMessageA(polling->window, kPassMessage, 0, reinterpret_cast<::LPARAM>(polling));
    return 0;
}

void Free(Win32Threads::Polling* polling) {
    if (polling->thread) ::CloseHandle(polling->thread);
    if (polling->stopEvent) ::CloseHandle(polling->stopEvent);
    delete polling;
}
}  // namespace

Win32Threads::Win32Threads(::HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.hInstance = instance;
    wc.lpfnWndProc = &Win32Threads::WindowProc;
    wc.lpszClassName = kThreadsClass;
    ::RegisterClassExA(&wc);
    window_ = ::CreateWindowExA(0, kThreadsClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
}

Win32Threads::~Win32Threads() {
    for (Polling* polling : threads_) {
        polling->stopped = 1;
        ::SetEvent(polling->stopEvent);
    }
    for (Polling* polling : threads_) {
        Join(*polling);
        Free(polling);
    }
    threads_.clear();
    Collect(true);
    if (window_) ::DestroyWindow(window_);
}

HANDLE Win32Threads::CreatePollingThread(DWORD intervalMs, std::function<void()> pass) {
    Collect(false);
    if (!window_ || intervalMs == 0) return 0;
    auto* polling = new Polling;
    polling->owner = this;
    polling->interval = intervalMs;
    polling->pass = std::move(pass);
    polling->window = window_;
    polling->stopEvent = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ::DWORD id = 0;
    if (polling->stopEvent) polling->thread = ::CreateThread(nullptr, 0, &PollingBody, polling, 0, &id);
    if (!polling->thread) {
        Free(polling);
        return 0;
    }
    threads_.push_back(polling);
    return FromHandle(polling->thread);
}

void Win32Threads::StopThread(HANDLE thread) {
    auto it = std::find_if(threads_.begin(), threads_.end(),
                           [&](Polling* p) { return FromHandle(p->thread) == thread; });
    if (it == threads_.end()) return;
    Polling* polling = *it;
    threads_.erase(it);
    polling->stopped = 1;
    ::SetEvent(polling->stopEvent);
    if (polling->inPass) {
        leaving_.push_back(polling);
        return;
    }
    Join(*polling);
    Free(polling);
    Collect(false);
}

void Win32Threads::Join(Polling& polling) {
    ++joining_;
    for (;;) {
        ::DWORD r = ::MsgWaitForMultipleObjects(1, &polling.thread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r != WAIT_OBJECT_0 + 1) break;  // ended (or the wait failed)
        // Taking a look at the queue answers the messages other threads sent meanwhile.
        MSG msg;
        ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    }
    --joining_;
}

void Win32Threads::Collect(bool wait) {
    for (auto it = leaving_.begin(); it != leaving_.end();) {
        Polling* polling = *it;
        if (polling->inPass && !wait) {
            ++it;
            continue;
        }
        if (!wait && ::WaitForSingleObject(polling->thread, 0) != WAIT_OBJECT_0) {
            ++it;
            continue;
        }
        Join(*polling);
        Free(polling);
        it = leaving_.erase(it);
    }
}

::LRESULT CALLBACK Win32Threads::WindowProc(::HWND hwnd, UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    if (msg != kPassMessage) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    auto* polling = reinterpret_cast<Polling*>(lParam);
    // A stopped thread's pass that was already on its way does nothing; nor does any pass handed
    // over while a stop waits.
    if (!polling || polling->stopped || polling->owner->joining_ > 0) return 0;
    polling->inPass = true;
    try {
        polling->pass();
    } catch (...) {
        // The pass reports its own failures; nothing of it may reach the sending thread.
    }
    polling->inPass = false;
    return 0;
}

}  // namespace taskwell::win32
