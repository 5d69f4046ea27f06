// Windows and messages: z-order, showing, activation, messages between windows, the cursor, and
// hidden message windows for components that need their own window procedure.
#pragma once

#include <functional>
#include <string>

#include "platform/Types.h"

namespace taskwell {

using WPARAM = std::uint32_t;
using LPARAM = std::int32_t;
using LRESULT = std::int32_t;

struct POINT {
    LONG x;
    LONG y;
};

constexpr HWND HWND_TOPMOST = 0xFFFFFFFFu;    // (HWND)-1
constexpr HWND HWND_NOTOPMOST = 0xFFFFFFFEu;  // (HWND)-2

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOACTIVATE = 0x0010;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;

constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_NCACTIVATE = 0x0086;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_USER = 0x0400;
constexpr UINT SC_RESTORE = 0xF120;

class IWindows {
public:
    virtual ~IWindows() = default;
    virtual bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) = 0;
    virtual bool ShowWindow(HWND hwnd, int cmdShow) = 0;
    virtual LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual bool PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual bool SetForegroundWindow(HWND hwnd) = 0;
    virtual HWND GetLastActivePopup(HWND hwnd) = 0;
    virtual bool IsWindow(HWND hwnd) = 0;
    virtual bool IsWindowVisible(HWND hwnd) = 0;
    virtual bool IsWindowEnabled(HWND hwnd) = 0;
    virtual bool GetCursorPos(POINT& point) = 0;
    virtual DWORD GetCurrentThreadId() = 0;
    virtual HWND GetDesktopWindow() = 0;
    // The id of a message registered by name (for instance "TaskbarCreated"); 0 on failure.
    virtual UINT RegisterWindowMessageA(const std::string& name) = 0;

    // A hidden top-level window whose messages go to handler; it also receives messages broadcast
    // to all top-level windows. 0 when it cannot be made.
    using MessageHandler = std::function<LRESULT(UINT msg, WPARAM wParam, LPARAM lParam)>;
    virtual HWND CreateMessageWindow(MessageHandler handler) = 0;
    virtual bool DestroyWindow(HWND hwnd) = 0;
    // What the system does with a message its window does not handle.
    virtual LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

}  // namespace taskwell
