#include "platform/win32/Win32Windows.h"

#include "platform/win32/Win32Api.h"

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

}  // namespace

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
