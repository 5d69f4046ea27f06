// Windows and messages of the running system: thin wrappers over the real calls, and hidden
// top-level windows whose messages go to a handler of the logic.
#pragma once

#include "platform/Windowing.h"

namespace taskwell::win32 {

class Win32Windows : public IWindows {
public:
    Win32Windows() = default;
    Win32Windows(const Win32Windows&) = delete;
    Win32Windows& operator=(const Win32Windows&) = delete;

    bool EnumWindows(const WindowVisitor& visit) override;
    int GetWindowTextA(HWND hwnd, std::string& text, int maxCount) override;
    int GetClassNameA(HWND hwnd, std::string& name, int maxCount) override;
    LONG GetWindowLongA(HWND hwnd, int index) override;
    HWND GetWindow(HWND hwnd, UINT cmd) override;
    DWORD GetWindowThreadProcessId(HWND hwnd, DWORD* processId) override;
    DWORD GetWindowTextAndThread(HWND hwnd, std::string& text, int maxCount) override;
    HWND GetParent(HWND hwnd) override;
    LRESULT SendMessageTimeoutA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags,
                                UINT timeoutMs, DWORD* result) override;
    // The answer's procedure lives on the heap from the send to its answer; one that never comes
    // (a thread that never takes its messages again) keeps its few bytes to the end of the process.
    bool SendMessageCallbackA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, SendAsyncProc answered) override;
    bool BringWindowToTop(HWND hwnd) override;
    HWND SetActiveWindow(HWND hwnd) override;
    bool HasShowWindowAsync() override;
    bool ShowWindowAsync(HWND hwnd, int cmdShow) override;
    bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) override;
    // Whether the window was visible before, as the system's call answers.
    bool ShowWindow(HWND hwnd, int cmdShow) override;
    LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool SetForegroundWindow(HWND hwnd) override;
    HWND GetLastActivePopup(HWND hwnd) override;
    bool IsWindow(HWND hwnd) override;
    bool IsWindowVisible(HWND hwnd) override;
    bool IsWindowEnabled(HWND hwnd) override;
    bool GetCursorPos(POINT& point) override;
    DWORD GetCurrentThreadId() override;
    HWND GetDesktopWindow() override;
    UINT RegisterWindowMessageA(const std::string& name) override;
    // A hidden pop-up window of our own class. Not a message-only window: those miss the messages
    // broadcast to top-level windows, such as the shell's "TaskbarCreated".
    HWND CreateMessageWindow(MessageHandler handler) override;
    bool DestroyWindow(HWND hwnd) override;
    LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // The caption as the system gives it, without asking whether the window still exists.
    static int ReadCaption(HWND hwnd, std::string& text, int maxCount);
    bool RegisterMessageClass();
    bool classRegistered_ = false;
};

}  // namespace taskwell::win32
