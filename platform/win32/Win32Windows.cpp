#include "platform/win32/Win32Windows.h"

#include <exception>
#include <memory>

#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32SystemFunction.h"

namespace taskwell::win32 {

namespace {

constexpr const char* kMessageWindowClass = "TaskwellMessageWindow";

// The handler of a message window lives on the heap, reached through the window's user data, and
// goes with the window (WM_NCDESTROY, its last message).
using Handler = IWindows::MessageHandler;

::LRESULT CALLBACK MessageWindowProc(::HWND hwnd, UINT msg, ::WPARAM wParam, ::LPARAM lParam) {
    auto* handler = reinterpret_cast<Handler*>(::GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_NCDESTROY && handler) {
        ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        delete handler;
        return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    // Messages of the window's creation come before the handler is attached.
    if (!handler || !*handler) return ::DefWindowProcA(hwnd, msg, wParam, lParam);
    // No error may cross into the system: the handler reports its own; anything else is dropped.
    try {
        return static_cast<::LRESULT>((*handler)(msg, static_cast<taskwell::WPARAM>(wParam),
                                                 static_cast<taskwell::LPARAM>(lParam)));
    } catch (...) {
        return 0;
    }
}

// One enumeration's state, on the stack of the EnumWindows call that reaches the callback through
// its LPARAM: the caller's visitor, whether the visitor ended the walk, and an error it raised.
struct WindowEnumeration {
    const IWindows::WindowVisitor* visit = nullptr;
    bool stopped = false;
    std::exception_ptr error;
};

// No exception may unwind through the system's frames: the visitor's error stops the walk here and
// is raised again once the system's call has returned.
BOOL CALLBACK VisitTopLevelWindow(::HWND hwnd, ::LPARAM param) {
    auto* walk = reinterpret_cast<WindowEnumeration*>(param);
    try {
        if ((*walk->visit)(FromHwnd(hwnd))) return TRUE;
    } catch (...) {
        walk->error = std::current_exception();
    }
    walk->stopped = true;
    return FALSE;
}

// ShowWindowAsync is not in every user32 of the Windows 95 family, so it is never imported: the
// exe must load where it is missing. Looked up once, on first use.
using ShowWindowAsyncFunction = BOOL(WINAPI*)(::HWND, int);

ShowWindowAsyncFunction ShowWindowAsyncEntry() {
    static const auto entry = SystemFunction<ShowWindowAsyncFunction>("user32.dll", "ShowWindowAsync");
    return entry;
}

// The answer to SendMessageCallbackA: runs the caller's procedure, carried in the call's data, and
// frees it. No error may cross into the system's frames.
VOID CALLBACK DeliverAnswer(::HWND, UINT, ::ULONG_PTR data, ::LRESULT result) {
    std::unique_ptr<IWindows::SendAsyncProc> answered(reinterpret_cast<IWindows::SendAsyncProc*>(data));
    try {
        if (answered && *answered) (*answered)(static_cast<taskwell::LRESULT>(result));
    } catch (...) {
    }
}

// Reads a window text through a call that fills a buffer of maxCount characters, and answers its
// length. The text is cut to what the call reported and to maxCount - 1 characters, whatever the
// call wrote; empty on failure.
template <class Read>
int ReadWindowText(std::string& text, int maxCount, Read read) {
    text.clear();
    if (maxCount <= 0) return 0;
    text.assign(static_cast<std::size_t>(maxCount), '\0');
    int length = read(text.data(), maxCount);
    if (length < 0) length = 0;
    if (length > maxCount - 1) length = maxCount - 1;
    text.resize(static_cast<std::size_t>(length));
    // A window procedure answering WM_GETTEXT may report more than it wrote.
    text.resize(std::char_traits<char>::length(text.c_str()));
    return static_cast<int>(text.size());
}

}  // namespace

bool Win32Windows::EnumWindows(const WindowVisitor& visit) {
    if (!visit) return false;
    WindowEnumeration walk;
    walk.visit = &visit;
    const bool completed = ::EnumWindows(&VisitTopLevelWindow, reinterpret_cast<::LPARAM>(&walk)) != FALSE;
    if (walk.error) std::rethrow_exception(walk.error);
    // The system answers FALSE also when the callback ended the walk; that is no failure.
    return completed || walk.stopped;
}

int Win32Windows::ReadCaption(taskwell::HWND hwnd, std::string& text, int maxCount) {
    return ReadWindowText(text, maxCount,
                          [&](char* buffer, int count) { return ::GetWindowTextA(ToHwnd(hwnd), buffer, count); });
}

int Win32Windows::GetWindowTextA(taskwell::HWND hwnd, std::string& text, int maxCount) {
    const int length = ReadCaption(hwnd, text, maxCount);
    // Wine answers a window that does not exist (or vanishes during the call) with whatever its
    // conversion buffer held: a text counts only if the window still exists after the read.
    if (length > 0 && !::IsWindow(ToHwnd(hwnd))) {
        text.clear();
        return 0;
    }
    return length;
}

int Win32Windows::GetClassNameA(taskwell::HWND hwnd, std::string& name, int maxCount) {
    return ReadWindowText(name, maxCount,
                          [&](char* buffer, int count) { return ::GetClassNameA(ToHwnd(hwnd), buffer, count); });
}

taskwell::LONG Win32Windows::GetWindowLongA(taskwell::HWND hwnd, int index) {
    // The parent or owner is a window handle, which a 64-bit system keeps in a pointer-sized slot
    // and gives only through the pointer-sized call; its 32 significant bits are our handle.
    if (index == GWLP_HWNDPARENT)
        return static_cast<taskwell::LONG>(FromHwnd(reinterpret_cast<::HWND>(::GetWindowLongPtrA(ToHwnd(hwnd), GWLP_HWNDPARENT))));
    return static_cast<taskwell::LONG>(::GetWindowLongA(ToHwnd(hwnd), index));
}

taskwell::HWND Win32Windows::GetWindow(taskwell::HWND hwnd, taskwell::UINT cmd) {
    return FromHwnd(::GetWindow(ToHwnd(hwnd), cmd));
}

taskwell::DWORD Win32Windows::GetWindowThreadProcessId(taskwell::HWND hwnd, taskwell::DWORD* processId) {
    ::DWORD process = 0;
    const ::DWORD thread = ::GetWindowThreadProcessId(ToHwnd(hwnd), &process);
    // 0 for a window that does not exist, whatever the system left in the variable.
    if (processId) *processId = thread != 0 ? process : 0;
    return thread;
}

taskwell::DWORD Win32Windows::GetWindowTextAndThread(taskwell::HWND hwnd, std::string& text, int maxCount) {
    ReadCaption(hwnd, text, maxCount);
    // Read after the caption, the thread says the window was still there when its caption was read
    // (a caption read from a window gone may be a stale buffer's, as above).
    const ::DWORD thread = ::GetWindowThreadProcessId(ToHwnd(hwnd), nullptr);
    if (thread == 0) text.clear();
    return thread;
}

taskwell::HWND Win32Windows::GetParent(taskwell::HWND hwnd) {
    return FromHwnd(::GetParent(ToHwnd(hwnd)));
}

taskwell::LRESULT Win32Windows::SendMessageTimeoutA(taskwell::HWND hwnd, taskwell::UINT msg, taskwell::WPARAM wParam,
                                                    taskwell::LPARAM lParam, taskwell::UINT flags,
                                                    taskwell::UINT timeoutMs, taskwell::DWORD* result) {
    ::DWORD_PTR answer = 0;
    const ::LRESULT handled = ::SendMessageTimeoutA(ToHwnd(hwnd), msg, static_cast<::WPARAM>(wParam),
                                                    static_cast<::LPARAM>(lParam), flags, timeoutMs, &answer);
    if (result) *result = handled != 0 ? static_cast<taskwell::DWORD>(answer) : 0;
    return static_cast<taskwell::LRESULT>(handled);
}

bool Win32Windows::SendMessageCallbackA(taskwell::HWND hwnd, taskwell::UINT msg, taskwell::WPARAM wParam,
                                        taskwell::LPARAM lParam, SendAsyncProc answered) {
    // Handed over as the call's data; the system calls DeliverAnswer with it once, when the answer
    // comes (already inside the call for a window of this thread), or never.
    auto* proc = new SendAsyncProc(std::move(answered));
    if (::SendMessageCallbackA(ToHwnd(hwnd), msg, static_cast<::WPARAM>(wParam), static_cast<::LPARAM>(lParam),
                               &DeliverAnswer, reinterpret_cast<::ULONG_PTR>(proc)))
        return true;
    delete proc;
    return false;
}

bool Win32Windows::BringWindowToTop(taskwell::HWND hwnd) {
    return ::BringWindowToTop(ToHwnd(hwnd)) != FALSE;
}

taskwell::HWND Win32Windows::SetActiveWindow(taskwell::HWND hwnd) {
    return FromHwnd(::SetActiveWindow(ToHwnd(hwnd)));
}

bool Win32Windows::HasShowWindowAsync() {
    return ShowWindowAsyncEntry() != nullptr;
}

bool Win32Windows::ShowWindowAsync(taskwell::HWND hwnd, int cmdShow) {
    ShowWindowAsyncFunction entry = ShowWindowAsyncEntry();
    if (!entry) return false;
    return entry(ToHwnd(hwnd), cmdShow) != FALSE;
}

bool Win32Windows::SetWindowPos(taskwell::HWND hwnd, taskwell::HWND insertAfter, int x, int y, int cx, int cy,
                                taskwell::UINT flags) {
    return ::SetWindowPos(ToHwnd(hwnd), ToHwnd(insertAfter), x, y, cx, cy, flags) != FALSE;
}

bool Win32Windows::ShowWindow(taskwell::HWND hwnd, int cmdShow) {
    return ::ShowWindow(ToHwnd(hwnd), cmdShow) != FALSE;
}

taskwell::LRESULT Win32Windows::SendMessageA(taskwell::HWND hwnd, taskwell::UINT msg, taskwell::WPARAM wParam,
                                             taskwell::LPARAM lParam) {
    return static_cast<taskwell::LRESULT>(
        ::SendMessageA(ToHwnd(hwnd), msg, static_cast<::WPARAM>(wParam), static_cast<::LPARAM>(lParam)));
}

bool Win32Windows::PostMessageA(taskwell::HWND hwnd, taskwell::UINT msg, taskwell::WPARAM wParam,
                                taskwell::LPARAM lParam) {
    return ::PostMessageA(ToHwnd(hwnd), msg, static_cast<::WPARAM>(wParam), static_cast<::LPARAM>(lParam)) != FALSE;
}

bool Win32Windows::SetForegroundWindow(taskwell::HWND hwnd) {
    return ::SetForegroundWindow(ToHwnd(hwnd)) != FALSE;
}

taskwell::HWND Win32Windows::GetLastActivePopup(taskwell::HWND hwnd) {
    return FromHwnd(::GetLastActivePopup(ToHwnd(hwnd)));
}

bool Win32Windows::IsWindow(taskwell::HWND hwnd) {
    return ::IsWindow(ToHwnd(hwnd)) != FALSE;
}

bool Win32Windows::IsWindowVisible(taskwell::HWND hwnd) {
    return ::IsWindowVisible(ToHwnd(hwnd)) != FALSE;
}

bool Win32Windows::IsWindowEnabled(taskwell::HWND hwnd) {
    return ::IsWindowEnabled(ToHwnd(hwnd)) != FALSE;
}

bool Win32Windows::GetCursorPos(taskwell::POINT& point) {
    ::POINT p{};
    if (!::GetCursorPos(&p)) return false;
    point.x = p.x;
    point.y = p.y;
    return true;
}

taskwell::DWORD Win32Windows::GetCurrentThreadId() {
    return ::GetCurrentThreadId();
}

taskwell::HWND Win32Windows::GetDesktopWindow() {
    return FromHwnd(::GetDesktopWindow());
}

taskwell::UINT Win32Windows::RegisterWindowMessageA(const std::string& name) {
    return ::RegisterWindowMessageA(name.c_str());
}

bool Win32Windows::RegisterMessageClass() {
    if (classRegistered_) return true;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &MessageWindowProc;
    wc.hInstance = ::GetModuleHandleA(nullptr);
    wc.lpszClassName = kMessageWindowClass;
    // Registered already (by an earlier instance of this object) is as good.
    classRegistered_ = ::RegisterClassExA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    return classRegistered_;
}

taskwell::HWND Win32Windows::CreateMessageWindow(MessageHandler handler) {
    if (!RegisterMessageClass()) return 0;
    // A tool window never gets a task bar button, even if something shows it.
    ::HWND hwnd = ::CreateWindowExA(WS_EX_TOOLWINDOW, kMessageWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                    nullptr, ::GetModuleHandleA(nullptr), nullptr);
    if (!hwnd) return 0;
    ::SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new Handler(std::move(handler))));
    return FromHwnd(hwnd);
}

bool Win32Windows::DestroyWindow(taskwell::HWND hwnd) {
    return ::DestroyWindow(ToHwnd(hwnd)) != FALSE;
}

taskwell::LRESULT Win32Windows::DefWindowProcA(taskwell::HWND hwnd, taskwell::UINT msg, taskwell::WPARAM wParam,
                                               taskwell::LPARAM lParam) {
    return static_cast<taskwell::LRESULT>(
        ::DefWindowProcA(ToHwnd(hwnd), msg, static_cast<::WPARAM>(wParam), static_cast<::LPARAM>(lParam)));
}

}  // namespace taskwell::win32
