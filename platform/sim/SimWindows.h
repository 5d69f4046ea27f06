// The simulated machine's window manager: a table of top-level windows (the program's own and those
// of other programs), the foreground window, the cursor, registered messages, and message windows
// whose handlers run when a message is sent, or posted and then delivered by the message loop.
//
// Every call the program makes and every message a window receives is logged in order, with the
// virtual time. Any operation can be told to fail (the way the platform reports failure) or to raise
// an error (the way a platform wrapper does).
//
// As on Windows 98 with a program in the background, ShowWindow never moves the foreground: only
// SetForegroundWindow does.
//
// Other programs' threads answer sent messages at once, late (answerDelayMs), or not at all while
// blocked. A message sent without waiting (SendMessageCallbackA) is handled by its window's thread
// when its delay has passed (a blocked thread: when released; a hung window: never; a window
// destroyed before: never), and its answer reaches the program in the same round of message
// processing. Waiting for an answer moves the virtual clock by the time the program would have waited,
// as a user-interface thread that waits does (no timer fires meanwhile). A thread blocked for
// kHungAfterMs or more counts as hung: SMTO_ABORTIFHUNG then returns at once. ShowWindow,
// SetWindowPos (without SWP_ASYNCWINDOWPOS) and BringWindowToTop on a blocked thread's window wait
// for that thread without limit: here they raise, and BlockingCalls counts them.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Windowing.h"
#include "platform/sim/SimMachine.h"

namespace taskwell::sim {

// Messages and values the window manager itself produces or understands.
constexpr UINT kWmSize = 0x0005;
constexpr WPARAM kSizeRestored = 0;
constexpr WPARAM kSizeMinimized = 1;
constexpr WPARAM kSizeMaximized = 2;
constexpr UINT kScMinimize = 0xF020;
constexpr UINT kScMaximize = 0xF030;
constexpr UINT kScClose = 0xF060;
constexpr HWND kHwndBroadcast = 0xFFFF;
constexpr HWND kDesktopWindow = 0x00000010;
constexpr UINT kSwpShowWindow = 0x0040;
constexpr UINT kSwpHideWindow = 0x0080;

// A blocked thread counts as hung after this long without taking its messages.
constexpr std::uint64_t kHungAfterMs = 5000;

enum class WinOp {
    EnumWindows,
    GetWindowTextA,
    GetClassNameA,
    GetWindowLongA,
    GetWindow,
    GetWindowThreadProcessId,
    GetParent,
    SendMessageTimeoutA,
    BringWindowToTop,
    SetActiveWindow,
    ShowWindowAsync,
    SetWindowPos,
    ShowWindow,
    SendMessageA,
    PostMessageA,
    SetForegroundWindow,
    GetLastActivePopup,
    IsWindow,
    IsWindowVisible,
    IsWindowEnabled,
    GetCursorPos,
    RegisterWindowMessageA,
    CreateMessageWindow,
    DestroyWindow,
    SendMessageCallbackA,
    GetWindowTextAndThread,
};

// The last operation, as kLastOp of the machine's.
constexpr WinOp kLastWinOp = WinOp::GetWindowTextAndThread;
constexpr int kWinOpCount = static_cast<int>(kLastWinOp) + 1;

// "?" for a value that names no operation.
const char* WinOpName(WinOp op);

enum class ShowState { Normal, Minimized, Maximized };

struct SimWindow {
    HWND hwnd = 0;
    std::string caption;
    std::string className;
    HWND owner = 0;
    DWORD processId = 0;
    DWORD threadId = 0;
    DWORD style = 0;
    DWORD exStyle = 0;
    bool visible = false;
    bool enabled = true;
    bool topmost = false;
    // Takes no input: messages sent to it are logged but never handled (hung since long ago).
    bool hung = false;
    // Its thread takes this long to answer a sent message (0: at once). A message whose sender
    // gave up waiting is still handled, when the time has passed.
    std::uint64_t answerDelayMs = 0;
    ShowState state = ShowState::Normal;
    // Maximised before it was minimised: a restore maximises it again.
    bool restoreMaximized = false;
    int left = 0, top = 0, width = 0, height = 0;
    // The window most recently active among those it owns; 0 when none has been.
    HWND lastActivePopup = 0;
    // Its window procedure; without one, messages get the default handling.
    IWindows::MessageHandler handler;
};

// One entry of the log: a call the program made or a message a window received.
struct WindowEvent {
    enum class Kind {
        SetWindowPos,
        ShowWindow,
        SetForegroundWindow,
        DestroyWindow,
        BringWindowToTop,
        SetActiveWindow,
        Sent,     // a message sent to the window and handled (SendMessageA, SendMessageTimeoutA)
        SendTimedOut,  // SendMessageTimeoutA gave up: the window's thread did not answer in time
        Posted,   // a posted message, logged when the message loop delivers it
        System,   // a message from the window manager itself (WM_SIZE on a change of state)
    };
    Kind kind;
    HWND hwnd;
    UINT msg = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    int cmdShow = 0;
    HWND insertAfter = 0;
    UINT flags = 0;
    // ShowWindow: made through ShowWindowAsync. Sent: through SendMessageTimeoutA, with its flags
    // and timeout, or (async) through SendMessageCallbackA.
    bool async = false;
    UINT timeoutMs = 0;
    std::uint64_t time = 0;
};

class SimWindows : public IWindows {
public:
    explicit SimWindows(SimMachine& machine) : machine_(machine) {}

    // The program's own process and thread: windows it creates belong to them.
    DWORD ProgramProcessId = 0xFFF0F001;
    DWORD ProgramThreadId = 0xFFF0E001;

    // --- The table ---
    // Adds a top-level window (of another program when processId says so); a new handle unless
    // w.hwnd is set. The new window is at the top of the z-order.
    HWND AddWindow(SimWindow w);
    // Removes a window and the windows it owns, as if its program had destroyed it; not logged.
    void RemoveWindow(HWND hwnd);
    SimWindow* Find(HWND hwnd);
    const SimWindow* Find(HWND hwnd) const;
    // Top-level windows from the top of the z-order down.
    std::vector<HWND> ZOrder() const { return zorder_; }
    HWND Foreground() const { return foreground_; }

    // Blocks a thread (it takes no messages) from now on, or releases it; messages sent to its
    // windows meanwhile are handled on release, in order.
    void BlockThread(DWORD threadId);
    void ReleaseThread(DWORD threadId);
    bool Blocked(HWND hwnd) const;
    // Calls that would have waited without limit for a blocked thread (and raised here).
    int BlockingCalls = 0;
    // Milliseconds of virtual time spent waiting in SendMessageTimeoutA.
    std::uint64_t SendWaitMs = 0;
    // Whether the system has ShowWindowAsync (looked up at run time on the real one).
    bool ShowWindowAsyncAvailable = true;
    // Runs once after each enumeration has visited its windows, before EnumWindows returns: a test
    // makes windows vanish or appear there, between the enumeration and what the caller does next.
    std::function<void()> AfterEnumWindows;
    // The window the program's thread activated last (SetActiveWindow).
    HWND ActiveWindow = 0;

    // Changes a window's show state as the system does on the user's behalf (or for a peer of the
    // widget layer): the window gets WM_SIZE when it is minimised, maximised or restored. Not logged
    // as a call of the program. False when the window does not exist.
    bool Apply(HWND hwnd, int cmdShow);

    // Sends a message to every top-level window, as the shell does for "TaskbarCreated".
    void Broadcast(UINT msg, WPARAM wParam, LPARAM lParam);

    // Hands the posted messages waiting now to their windows, and the late answers that are due;
    // messages posted meanwhile wait for the next round. Returns how many were delivered.
    int DeliverPosted();
    // Whether a posted message can be delivered now (messages for blocked threads wait).
    bool HasPosted() const;
    // When the next answer of another program's thread (a late one, or one to a message sent without
    // waiting) falls due for a thread that takes its messages; none when no such answer waits.
    std::optional<std::uint64_t> NextAnswerDue() const;

    POINT Cursor{0, 0};

    // --- The log ---
    const std::vector<WindowEvent>& Log() const { return log_; }
    std::vector<WindowEvent> LogOf(HWND hwnd) const;
    // The messages the window received (sent, posted or from the system), in order.
    std::vector<WindowEvent> MessagesTo(HWND hwnd) const;
    void ClearLog() { log_.clear(); }
    // Errors that escaped a window's handler; the window procedure swallowed them.
    std::vector<std::string> HandlerErrors;

    // --- Failures ---
    void Fail(WinOp op, bool on = true);
    void Raise(WinOp op, bool on = true);
    int Calls(WinOp op) const;

    // --- IWindows ---
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
    bool SendMessageCallbackA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, SendAsyncProc answered) override;
    // Messages sent without waiting whose answer has not come yet.
    int UnansweredCallbacks() const { return static_cast<int>(callbacks_.size()); }
    bool BringWindowToTop(HWND hwnd) override;
    HWND SetActiveWindow(HWND hwnd) override;
    bool HasShowWindowAsync() override { return ShowWindowAsyncAvailable; }
    bool ShowWindowAsync(HWND hwnd, int cmdShow) override;
    bool SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) override;
    // Returns whether the window was visible before, as the platform's call does.
    bool ShowWindow(HWND hwnd, int cmdShow) override;
    LRESULT SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool SetForegroundWindow(HWND hwnd) override;
    HWND GetLastActivePopup(HWND hwnd) override;
    bool IsWindow(HWND hwnd) override;
    bool IsWindowVisible(HWND hwnd) override;
    bool IsWindowEnabled(HWND hwnd) override;
    bool GetCursorPos(POINT& point) override;
    DWORD GetCurrentThreadId() override { return ProgramThreadId; }
    HWND GetDesktopWindow() override { return kDesktopWindow; }
    UINT RegisterWindowMessageA(const std::string& name) override;
    HWND CreateMessageWindow(MessageHandler handler) override;
    bool DestroyWindow(HWND hwnd) override;
    LRESULT DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    // Counts the call; true when it is to report failure. Throws when told to raise.
    bool Enter(WinOp op);
    void Record(WindowEvent e);
    // Runs the window's handler (or the default handling) for a message; the handler may destroy
    // the window or others meanwhile. async: a message sent without waiting.
    LRESULT Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, WindowEvent::Kind kind, bool async = false);
    void ToTop(HWND hwnd);
    // A call that waits for the window's thread: raises when that thread is blocked.
    void WaitForThreadOf(HWND hwnd, const char* call);
    // Takes out of pending, in order, the entries due now whose window's thread takes its messages
    // (and, with notHung, whose window is not hung); entries of windows gone are dropped.
    template <class Entry>
    std::vector<Entry> TakeDue(std::vector<Entry>& pending, bool notHung);
    // Moves the virtual clock on by a wait of the program's thread.
    void Wait(std::uint64_t ms);
    // Whether the window's thread takes messages now, and since when it has not.
    bool ThreadBlocked(const SimWindow& w, std::uint64_t& since) const;
    void Destroy(HWND hwnd);
    HWND NewHandle();

    SimMachine& machine_;
    std::map<HWND, SimWindow> windows_;
    std::vector<HWND> zorder_;
    HWND foreground_ = 0;
    HWND nextHandle_ = 0x00010010;
    struct Post {
        HWND hwnd;
        UINT msg;
        WPARAM wParam;
        LPARAM lParam;
    };
    std::deque<Post> posted_;
    // Sent messages whose sender gave up waiting: handled when due (or when the thread is released).
    struct Late {
        std::uint64_t due;
        Post message;
    };
    std::vector<Late> late_;
    // Messages sent without waiting: handled when due (or when the thread is released), then answered.
    struct Callback {
        std::uint64_t due;
        Post message;
        SendAsyncProc answered;
    };
    std::vector<Callback> callbacks_;
    std::map<DWORD, std::uint64_t> blockedThreads_;  // thread id to the time it was blocked
    std::map<std::string, UINT> registered_;
    UINT nextRegistered_ = 0xC000;
    std::set<WinOp> failing_, raising_;
    std::map<WinOp, int> calls_;
    std::vector<WindowEvent> log_;
};

}  // namespace taskwell::sim
