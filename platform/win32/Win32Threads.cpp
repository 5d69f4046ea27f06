#include "platform/win32/Win32Threads.h"

#include <algorithm>

namespace taskwell::win32 {

namespace {
constexpr const char* kThreadsClass = "TaskwellThreads";
// Sent by the worker: lParam is the Win32Threads object. The answer is the milliseconds the worker
// may sleep plus one, so that 0 (a send that reached no window) is told apart from a pass due at once.
constexpr UINT kPollMessage = WM_APP + 20;

// Whether tick count `a` lies at or after `b`, across the count's wrap after 49.7 days.
bool AtOrAfter(::DWORD a, ::DWORD b) {
    return static_cast<LONG>(a - b) >= 0;
}
}  // namespace

struct Win32Threads::Polling {
    HANDLE id = 0;
    ::DWORD interval = 0;
    std::function<void()> pass;
    ::DWORD due = 0;       // tick count at which its next pass is due
    bool stopped = false;  // stopped from inside its own pass: taken out when the pass returns
    bool inPass = false;
};

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
    ending_ = 1;
    if (worker_) {
        ::SetEvent(wake_);
        // The worker may be asking for passes: its send is answered (running none) while this waits.
        while (::MsgWaitForMultipleObjects(1, &worker_, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
            MSG msg;
            ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
        }
        ::CloseHandle(worker_);
    }
    if (wake_) ::CloseHandle(wake_);
    if (window_) ::DestroyWindow(window_);
}

::DWORD WINAPI Win32Threads::WorkerBody(void* parameter) {
    auto* owner = static_cast<Win32Threads*>(parameter);
    ::DWORD sleep = INFINITE;
    // A failed wait or a send that reaches no window ends the worker rather than spin.
    while (::WaitForSingleObject(owner->wake_, sleep) != WAIT_FAILED && !owner->ending_) {
        const auto answer =
            static_cast<::DWORD>(::SendMessageA(owner->window_, kPollMessage, 0, reinterpret_cast<::LPARAM>(owner)));
        if (answer == 0) break;
        sleep = answer == INFINITE ? INFINITE : answer - 1;
    }
    return 0;
}

bool Win32Threads::StartWorker() {
    if (worker_) return true;
    if (!wake_) wake_ = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
    if (!wake_) return false;
    ::DWORD id = 0;
    worker_ = ::CreateThread(nullptr, 0, &Win32Threads::WorkerBody, this, 0, &id);
    return worker_ != nullptr;
}

HANDLE Win32Threads::CreatePollingThread(DWORD intervalMs, std::function<void()> pass) {
    if (!window_ || intervalMs == 0 || ending_ || !StartWorker()) return 0;
    auto polling = std::make_unique<Polling>();
    polling->interval = intervalMs;
    polling->pass = std::move(pass);
    polling->due = ::GetTickCount() + intervalMs;
    // Handles are never reused, so a stop of a polling thread that has gone cannot reach a later one.
    if (++lastId_ == 0) ++lastId_;
    polling->id = lastId_;
    threads_.push_back(std::move(polling));
    // The worker may be asleep until a later pass, or for good: it asks again.
    ::SetEvent(wake_);
    return lastId_;
}

std::vector<std::unique_ptr<Win32Threads::Polling>>::iterator Win32Threads::Find(HANDLE id) {
    return std::find_if(threads_.begin(), threads_.end(), [&](const std::unique_ptr<Polling>& p) { return p->id == id; });
}

void Win32Threads::StopThread(HANDLE thread) {
    auto it = Find(thread);
    if (it == threads_.end() || (*it)->stopped) return;
    if ((*it)->inPass)
        (*it)->stopped = true;  // its pass is running: it goes when the pass returns
    else
        threads_.erase(it);
}

::DWORD Win32Threads::RunDuePasses() {
    if (ending_) return INFINITE;
    // The polling threads due now, by handle: a pass may make and stop polling threads, this one
    // and others, so each is looked up again before its pass runs.
    const ::DWORD now = ::GetTickCount();
    std::vector<HANDLE> due;
    for (const auto& p : threads_)
        if (AtOrAfter(now, p->due)) due.push_back(p->id);
    for (HANDLE id : due) {
        auto it = Find(id);
        if (it == threads_.end()) continue;
        Polling* polling = it->get();
        polling->inPass = true;
        try {
            polling->pass();
        } catch (...) {
            // The pass reports its own failures; nothing of it may reach the worker.
        }
        polling->inPass = false;
        polling->due = ::GetTickCount() + polling->interval;
        // The pass may have made polling threads: its own place in the list is looked up again.
        if (polling->stopped) threads_.erase(Find(id));
        if (ending_) return INFINITE;
    }
    if (threads_.empty()) return INFINITE;
    const ::DWORD after = ::GetTickCount();
    ::DWORD sleep = INFINITE - 1;
    for (const auto& p : threads_) sleep = std::min(sleep, AtOrAfter(after, p->due) ? 0 : p->due - after);
    return sleep;
}

::LRESULT CALLBACK Win32Threads::WindowProc(::HWND hwnd, UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    if (msg != kPollMessage || !lParam) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    const ::DWORD sleep = reinterpret_cast<Win32Threads*>(lParam)->RunDuePasses();
    return static_cast<::LRESULT>(sleep == INFINITE ? INFINITE : sleep + 1);
}

}  // namespace taskwell::win32
