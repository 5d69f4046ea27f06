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

constexpr HWND HWND_TOP = 0;
constexpr HWND HWND_TOPMOST = 0xFFFFFFFFu;    // (HWND)-1
constexpr HWND HWND_NOTOPMOST = 0xFFFFFFFEu;  // (HWND)-2

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOACTIVATE = 0x0010;
// The change is posted to the window's own thread: the caller never waits for that thread.
constexpr UINT SWP_ASYNCWINDOWPOS = 0x4000;

// GetWindowLongA indices.
constexpr int GWL_HWNDPARENT = -8;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;

// GetWindow relation.
constexpr UINT GW_OWNER = 4;

// Window style bits.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_TILEDWINDOW = 0x00CF0000;
constexpr DWORD WS_POPUPWINDOW = 0x80880000;

// SendMessageTimeoutA flags: with SMTO_ABORTIFHUNG the call returns at once for a window whose
// thread the system already counts as hung.
constexpr UINT SMTO_NORMAL = 0x0000;
constexpr UINT SMTO_ABORTIFHUNG = 0x0002;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_RESTORE = 9;

constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_QUIT = 0x0012;
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

    // --- Top-level windows of every program ---
    // Visits every top-level window once, from the top of the z-order down, while visit answers
    // true. Synchronous: visit runs inside the call. False when the system could not enumerate.
    using WindowVisitor = std::function<bool(HWND hwnd)>;
    virtual bool EnumWindows(const WindowVisitor& visit) = 0;
    // The window's caption, cut to maxCount - 1 characters; the length read, 0 (text empty) when it
    // has none or the window does not exist. Reading another program's caption never waits for it.
    virtual int GetWindowTextA(HWND hwnd, std::string& text, int maxCount) = 0;
    // The window's class name, cut to maxCount - 1 characters; the length, 0 on failure.
    virtual int GetClassNameA(HWND hwnd, std::string& name, int maxCount) = 0;
    // GWL_STYLE, GWL_EXSTYLE or GWL_HWNDPARENT (the parent or owner); 0 on failure.
    virtual LONG GetWindowLongA(HWND hwnd, int index) = 0;
    // With GW_OWNER: the window's owner; 0 when it has none or on failure.
    virtual HWND GetWindow(HWND hwnd, UINT cmd) = 0;
    // The window's creating thread (0 when the window does not exist); its process id is written to
    // *processId when that is given.
    virtual DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) = 0;
    // The caption as GetWindowTextA reads it, then the window's creating thread: 0, with the text
    // emptied, when the window does not exist once its caption has been read. For a caller that
    // needs both, the thread read is also the proof that the caption was the window's: one question
    // fewer than GetWindowTextA (which asks whether the window still exists) and the thread after it.
    virtual DWORD GetWindowTextAndThread(HWND hwnd, std::string& text, int maxCount) = 0;
    // The parent of a child window or the owner of a popup; 0 when none.
    virtual HWND GetParent(HWND hwnd) = 0;
    // Sends a message and waits at most timeoutMs for the window's thread to handle it. Nonzero when
    // it was handled (its result in *result when given); 0 when the wait timed out, the thread is
    // hung (at once with SMTO_ABORTIFHUNG) or the window does not exist.
    virtual LRESULT SendMessageTimeoutA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags,
                                        UINT timeoutMs, DWORD* result) = 0;
    // Sends a message without waiting for it: the window's thread handles it when it next takes its
    // messages, and answered then runs on the calling thread, with the message's result, when this
    // thread next takes its messages (for a window of the calling thread: at once, inside the call).
    // False when the message could not be sent (the window does not exist); answered never runs then.
    // A thread that never takes its messages again never answers, so answered may never run: it
    // holds nothing its caller needs back.
    using SendAsyncProc = std::function<void(LRESULT result)>;
    virtual bool SendMessageCallbackA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, SendAsyncProc answered) = 0;
    // Raises the window to the top of the z-order. For another thread's window the call waits
    // for that thread: use it only on windows that answer.
    virtual bool BringWindowToTop(HWND hwnd) = 0;
    // Activates the window if it belongs to the calling thread's input; the window active before,
    // or 0.
    virtual HWND SetActiveWindow(HWND hwnd) = 0;
    // Shows the window as ShowWindow would, posting the change to the window's own thread so the
    // caller never waits. Looked up at run time: HasShowWindowAsync() says whether the system has it,
    // and without it the call does nothing and answers false.
    virtual bool HasShowWindowAsync() = 0;
    virtual bool ShowWindowAsync(HWND hwnd, int cmdShow) = 0;

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
