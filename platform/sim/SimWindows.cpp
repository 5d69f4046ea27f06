#include "platform/sim/SimWindows.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <stdexcept>

namespace taskwell::sim {

namespace {
constexpr UINT kWmDestroy = 0x0002;
constexpr int kSwShowNoActivate = 4;
constexpr int kSwShowMinNoActive = 7;
constexpr int kSwShowNa = 8;
constexpr int kSwShowDefault = 10;
constexpr int kSwForceMinimize = 11;
constexpr HWND kHwndTop = 0;
constexpr HWND kHwndBottom = 1;
constexpr UINT kSwpNoZOrder = 0x0004;
// Owner chains longer than this are taken to be cycles.
constexpr int kMaxOwnerDepth = 64;
}  // namespace

const char* WinOpName(WinOp op) {
    switch (op) {
    case WinOp::EnumWindows: return "EnumWindows";
    case WinOp::GetWindowTextA: return "GetWindowTextA";
    case WinOp::GetClassNameA: return "GetClassNameA";
    case WinOp::GetWindowLongA: return "GetWindowLongA";
    case WinOp::GetWindow: return "GetWindow";
    case WinOp::GetWindowThreadProcessId: return "GetWindowThreadProcessId";
    case WinOp::GetWindowTextAndThread: return "GetWindowTextAndThread";
    case WinOp::GetParent: return "GetParent";
    case WinOp::SendMessageTimeoutA: return "SendMessageTimeoutA";
    case WinOp::BringWindowToTop: return "BringWindowToTop";
    case WinOp::SetActiveWindow: return "SetActiveWindow";
    case WinOp::ShowWindowAsync: return "ShowWindowAsync";
    case WinOp::SetWindowPos: return "SetWindowPos";
    case WinOp::ShowWindow: return "ShowWindow";
    case WinOp::SendMessageA: return "SendMessageA";
    case WinOp::PostMessageA: return "PostMessageA";
    case WinOp::SetForegroundWindow: return "SetForegroundWindow";
    case WinOp::GetLastActivePopup: return "GetLastActivePopup";
    case WinOp::IsWindow: return "IsWindow";
    case WinOp::IsWindowVisible: return "IsWindowVisible";
    case WinOp::IsWindowEnabled: return "IsWindowEnabled";
    case WinOp::GetCursorPos: return "GetCursorPos";
    case WinOp::RegisterWindowMessageA: return "RegisterWindowMessageA";
    case WinOp::CreateMessageWindow: return "CreateMessageWindow";
    case WinOp::DestroyWindow: return "DestroyWindow";
    case WinOp::SendMessageCallbackA: return "SendMessageCallbackA";
    }
    return "?";
}

// ---------------------------------------------------------------------------------------------
// The table.

HWND SimWindows::NewHandle() {
    HWND h;
    do {
        h = nextHandle_;
        nextHandle_ += 4;
    } while (windows_.count(h) || h == kDesktopWindow || h == kHwndBroadcast || h == 0);
    return h;
}

HWND SimWindows::AddWindow(SimWindow w) {
    if (w.hwnd == 0) w.hwnd = NewHandle();
    if (w.style & WS_DISABLED) w.enabled = false;
    HWND h = w.hwnd;
    windows_[h] = std::move(w);
    ToTop(h);
    return h;
}

void SimWindows::RemoveWindow(HWND hwnd) {
    Destroy(hwnd);
}

SimWindow* SimWindows::Find(HWND hwnd) {
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? nullptr : &it->second;
}

const SimWindow* SimWindows::Find(HWND hwnd) const {
    auto it = windows_.find(hwnd);
    return it == windows_.end() ? nullptr : &it->second;
}

// Topmost windows stay above the others: a window that is not topmost goes to the top of its band.
void SimWindows::ToTop(HWND hwnd) {
    const SimWindow* w = Find(hwnd);
    if (!w) return;
    zorder_.erase(std::remove(zorder_.begin(), zorder_.end(), hwnd), zorder_.end());
    auto at = zorder_.begin();
    if (!w->topmost) {
        while (at != zorder_.end()) {
            const SimWindow* other = Find(*at);
            if (!other || !other->topmost) break;
            ++at;
        }
    }
    zorder_.insert(at, hwnd);
}

void SimWindows::Destroy(HWND hwnd) {
    if (!Find(hwnd)) return;
    // Owned windows go with their owner.
    std::vector<HWND> owned;
    for (auto& [h, w] : windows_)
        if (w.owner == hwnd && h != hwnd) owned.push_back(h);
    windows_.erase(hwnd);
    zorder_.erase(std::remove(zorder_.begin(), zorder_.end(), hwnd), zorder_.end());
    if (foreground_ == hwnd) foreground_ = 0;
    for (HWND h : owned) Destroy(h);
}

bool SimWindows::Apply(HWND hwnd, int cmdShow) {
    SimWindow* w = Find(hwnd);
    if (!w) return false;
    const ShowState before = w->state;
    ShowState after = before;
    switch (cmdShow) {
    case SW_HIDE:
        w->visible = false;
        break;
    case SW_SHOWNORMAL:
    case kSwShowNoActivate:
        w->visible = true;
        after = ShowState::Normal;
        break;
    case SW_RESTORE:
        w->visible = true;
        after = before == ShowState::Minimized && w->restoreMaximized ? ShowState::Maximized : ShowState::Normal;
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case kSwShowMinNoActive:
    case kSwForceMinimize:
        w->visible = true;
        after = ShowState::Minimized;
        break;
    case SW_SHOWMAXIMIZED:
        w->visible = true;
        after = ShowState::Maximized;
        break;
    case SW_SHOW:
    case kSwShowNa:
    case kSwShowDefault:
        w->visible = true;
        break;
    default:
        break;
    }
    if (after == before) return true;
    if (after == ShowState::Minimized) w->restoreMaximized = before == ShowState::Maximized;
    w->state = after;
    const WPARAM kind = after == ShowState::Minimized   ? kSizeMinimized
                        : after == ShowState::Maximized ? kSizeMaximized
                                                        : kSizeRestored;
    Dispatch(hwnd, kWmSize, kind, 0, WindowEvent::Kind::System);
    return true;
}

void SimWindows::Broadcast(UINT msg, WPARAM wParam, LPARAM lParam) {
    // Handlers may create or destroy windows meanwhile: work on the windows there were.
    const std::vector<HWND> targets = zorder_;
    for (HWND h : targets)
        if (Find(h)) Dispatch(h, msg, wParam, lParam, WindowEvent::Kind::Sent);
}

bool SimWindows::HasPosted() const {
    for (const Post& p : posted_) {
        const SimWindow* w = Find(p.hwnd);
        std::uint64_t since = 0;
        if (!w || !ThreadBlocked(*w, since)) return true;
    }
    return false;
}

std::optional<std::uint64_t> SimWindows::NextAnswerDue() const {
    std::optional<std::uint64_t> next;
    auto consider = [&](std::uint64_t due, HWND hwnd) {
        const SimWindow* w = Find(hwnd);
        std::uint64_t since = 0;
        if (!w || w->hung || ThreadBlocked(*w, since)) return;
        if (!next || due < *next) next = due;
    };
    for (const Late& l : late_) consider(l.due, l.message.hwnd);
    for (const Callback& c : callbacks_) consider(c.due, c.message.hwnd);
    return next;
}

template <class Entry>
std::vector<Entry> SimWindows::TakeDue(std::vector<Entry>& pending, bool notHung) {
    std::vector<Entry> due;
    for (auto it = pending.begin(); it != pending.end();) {
        const SimWindow* w = Find(it->message.hwnd);
        std::uint64_t since = 0;
        if (!w) {
            it = pending.erase(it);
        } else if (it->due <= machine_.Now() && !(notHung && w->hung) && !ThreadBlocked(*w, since)) {
            due.push_back(std::move(*it));
            it = pending.erase(it);
        } else {
            ++it;
        }
    }
    return due;
}

int SimWindows::DeliverPosted() {
    int delivered = 0;
    // Late answers that are due, in the order they were sent; their windows' threads take them now.
    for (const Late& l : TakeDue(late_, false)) {
        if (!Find(l.message.hwnd)) continue;
        Dispatch(l.message.hwnd, l.message.msg, l.message.wParam, l.message.lParam, WindowEvent::Kind::Sent);
        ++delivered;
    }
    // Messages sent without waiting that are due: handled by their windows' threads, then answered.
    // A hung window never takes its message; a window destroyed meanwhile takes none either.
    std::vector<Callback> answers = TakeDue(callbacks_, true);
    for (Callback& c : answers) {
        if (!Find(c.message.hwnd)) continue;
        const LRESULT result = Dispatch(c.message.hwnd, c.message.msg, c.message.wParam, c.message.lParam,
                                        WindowEvent::Kind::Sent, true);
        ++delivered;
        if (!c.answered) continue;
        // The answer runs in the program's message loop, which lets no error through.
        try {
            c.answered(result);
        } catch (const std::exception& ex) {
            HandlerErrors.push_back(ex.what());
        } catch (...) {
            HandlerErrors.push_back("unknown error");
        }
    }
    for (size_t n = posted_.size(); n > 0 && !posted_.empty(); --n) {
        Post p = posted_.front();
        posted_.pop_front();
        // A message for a window destroyed meanwhile is dropped, as the system does.
        const SimWindow* w = Find(p.hwnd);
        if (!w) continue;
        // A blocked thread takes its posted messages when it is released.
        std::uint64_t since = 0;
        if (ThreadBlocked(*w, since)) {
            posted_.push_back(p);
            continue;
        }
        Dispatch(p.hwnd, p.msg, p.wParam, p.lParam, WindowEvent::Kind::Posted);
        ++delivered;
    }
    return delivered;
}

LRESULT SimWindows::Dispatch(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, WindowEvent::Kind kind, bool async) {
    const SimWindow* w = Find(hwnd);
    if (!w) return 0;
    WindowEvent e{kind, hwnd};
    e.msg = msg;
    e.wParam = wParam;
    e.lParam = lParam;
    e.async = async;
    Record(e);
    if (w->hung) return 0;
    // A copy: the handler may destroy its own window.
    MessageHandler handler = w->handler;
    if (!handler) {
        // Another program's window without a procedure of its own closes when asked: its own thread
        // destroys it.
        if (msg == WM_CLOSE && w->threadId != ProgramThreadId) {
            Destroy(hwnd);
            return 0;
        }
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
    try {
        return handler(msg, wParam, lParam);
    } catch (const std::exception& ex) {
        HandlerErrors.push_back(ex.what());
    } catch (...) {
        HandlerErrors.push_back("unknown error");
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Threads of other programs.

void SimWindows::BlockThread(DWORD threadId) {
    if (!blockedThreads_.count(threadId)) blockedThreads_[threadId] = machine_.Now();
}

void SimWindows::ReleaseThread(DWORD threadId) {
    blockedThreads_.erase(threadId);
    // What was sent to its windows meanwhile is handled now.
    for (Late& l : late_) {
        const SimWindow* w = Find(l.message.hwnd);
        if (w && w->threadId == threadId && l.due > machine_.Now()) l.due = machine_.Now();
    }
    for (Callback& c : callbacks_) {
        const SimWindow* w = Find(c.message.hwnd);
        if (w && w->threadId == threadId && c.due > machine_.Now()) c.due = machine_.Now();
    }
}

bool SimWindows::ThreadBlocked(const SimWindow& w, std::uint64_t& since) const {
    auto it = blockedThreads_.find(w.threadId);
    if (it == blockedThreads_.end()) return false;
    since = it->second;
    return true;
}

bool SimWindows::Blocked(HWND hwnd) const {
    const SimWindow* w = Find(hwnd);
    std::uint64_t since = 0;
    return w && (w->hung || ThreadBlocked(*w, since));
}

void SimWindows::Wait(std::uint64_t ms) {
    SendWaitMs += ms;
    machine_.SetNow(machine_.Now() + ms);
}

void SimWindows::WaitForThreadOf(HWND hwnd, const char* call) {
    const SimWindow* w = Find(hwnd);
    if (!w || w->threadId == ProgramThreadId || !Blocked(hwnd)) return;
    ++BlockingCalls;
    throw std::runtime_error(std::string(call) + " waits without limit for a blocked thread");
}

// ---------------------------------------------------------------------------------------------
// The log and failures.

void SimWindows::Record(WindowEvent e) {
    e.time = machine_.Now();
    log_.push_back(e);
}

std::vector<WindowEvent> SimWindows::LogOf(HWND hwnd) const {
    std::vector<WindowEvent> out;
    for (const auto& e : log_)
        if (e.hwnd == hwnd) out.push_back(e);
    return out;
}

std::vector<WindowEvent> SimWindows::MessagesTo(HWND hwnd) const {
    std::vector<WindowEvent> out;
    for (const auto& e : log_)
        if (e.hwnd == hwnd && (e.kind == WindowEvent::Kind::Sent || e.kind == WindowEvent::Kind::Posted ||
                               e.kind == WindowEvent::Kind::System))
            out.push_back(e);
    return out;
}

void SimWindows::Fail(WinOp op, bool on) {
    if (on)
        failing_.insert(op);
    else
        failing_.erase(op);
}

void SimWindows::Raise(WinOp op, bool on) {
    if (on)
        raising_.insert(op);
    else
        raising_.erase(op);
}

int SimWindows::Calls(WinOp op) const {
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
}

bool SimWindows::Enter(WinOp op) {
    ++calls_[op];
    if (raising_.count(op)) throw std::runtime_error(std::string(WinOpName(op)) + " failed");
    return failing_.count(op) != 0;
}

// ---------------------------------------------------------------------------------------------
// IWindows.

bool SimWindows::SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags) {
    WindowEvent e{WindowEvent::Kind::SetWindowPos, hwnd};
    e.insertAfter = insertAfter;
    e.flags = flags;
    Record(e);
    if (Enter(WinOp::SetWindowPos)) return false;
    if (!(flags & SWP_ASYNCWINDOWPOS)) WaitForThreadOf(hwnd, "SetWindowPos");
    SimWindow* w = Find(hwnd);
    if (!w) return false;
    if (!(flags & SWP_NOMOVE)) {
        w->left = x;
        w->top = y;
    }
    if (!(flags & SWP_NOSIZE)) {
        w->width = cx;
        w->height = cy;
    }
    if (flags & kSwpShowWindow) w->visible = true;
    if (flags & kSwpHideWindow) w->visible = false;
    if (!(flags & kSwpNoZOrder)) {
        if (insertAfter == HWND_TOPMOST) {
            w->topmost = true;
            ToTop(hwnd);
        } else if (insertAfter == HWND_NOTOPMOST) {
            w->topmost = false;
            ToTop(hwnd);
        } else if (insertAfter == kHwndTop) {
            ToTop(hwnd);
        } else if (insertAfter == kHwndBottom) {
            w->topmost = false;
            zorder_.erase(std::remove(zorder_.begin(), zorder_.end(), hwnd), zorder_.end());
            zorder_.push_back(hwnd);
        } else if (Find(insertAfter)) {
            zorder_.erase(std::remove(zorder_.begin(), zorder_.end(), hwnd), zorder_.end());
            zorder_.insert(std::find(zorder_.begin(), zorder_.end(), insertAfter) + 1, hwnd);
        }
    }
    return true;
}

bool SimWindows::ShowWindow(HWND hwnd, int cmdShow) {
    WindowEvent e{WindowEvent::Kind::ShowWindow, hwnd};
    e.cmdShow = cmdShow;
    Record(e);
    if (Enter(WinOp::ShowWindow)) return false;
    WaitForThreadOf(hwnd, "ShowWindow");
    const SimWindow* w = Find(hwnd);
    if (!w) return false;
    const bool wasVisible = w->visible;
    Apply(hwnd, cmdShow);
    return wasVisible;
}

LRESULT SimWindows::SendMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (Enter(WinOp::SendMessageA)) return 0;
    if (hwnd == kHwndBroadcast) {
        Broadcast(msg, wParam, lParam);
        return 0;
    }
    return Dispatch(hwnd, msg, wParam, lParam, WindowEvent::Kind::Sent);
}

bool SimWindows::PostMessageA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (Enter(WinOp::PostMessageA)) return false;
    if (hwnd == kHwndBroadcast) {
        for (HWND h : zorder_) posted_.push_back(Post{h, msg, wParam, lParam});
        return true;
    }
    if (!Find(hwnd)) return false;
    posted_.push_back(Post{hwnd, msg, wParam, lParam});
    return true;
}

bool SimWindows::SetForegroundWindow(HWND hwnd) {
    Record(WindowEvent{WindowEvent::Kind::SetForegroundWindow, hwnd});
    if (Enter(WinOp::SetForegroundWindow)) return false;
    const SimWindow* w = Find(hwnd);
    if (!w) return false;
    foreground_ = hwnd;
    ToTop(hwnd);
    // The window becomes the last active one among those of each of its owners.
    HWND owner = w->owner;
    for (int depth = 0; owner != 0 && depth < kMaxOwnerDepth; ++depth) {
        SimWindow* o = Find(owner);
        if (!o) break;
        o->lastActivePopup = hwnd;
        owner = o->owner;
    }
    return true;
}

HWND SimWindows::GetLastActivePopup(HWND hwnd) {
    if (Enter(WinOp::GetLastActivePopup)) return 0;
    const SimWindow* w = Find(hwnd);
    if (!w) return 0;
    // A popup destroyed meanwhile, or the window's own activity, leaves the window itself.
    if (w->lastActivePopup != 0 && w->lastActivePopup != hwnd && Find(w->lastActivePopup)) return w->lastActivePopup;
    return hwnd;
}

bool SimWindows::IsWindow(HWND hwnd) {
    if (Enter(WinOp::IsWindow)) return false;
    return hwnd == kDesktopWindow || Find(hwnd) != nullptr;
}

bool SimWindows::IsWindowVisible(HWND hwnd) {
    if (Enter(WinOp::IsWindowVisible)) return false;
    const SimWindow* w = Find(hwnd);
    return hwnd == kDesktopWindow || (w && w->visible);
}

bool SimWindows::IsWindowEnabled(HWND hwnd) {
    if (Enter(WinOp::IsWindowEnabled)) return false;
    const SimWindow* w = Find(hwnd);
    return hwnd == kDesktopWindow || (w && w->enabled);
}

bool SimWindows::GetCursorPos(POINT& point) {
    if (Enter(WinOp::GetCursorPos)) return false;
    point = Cursor;
    return true;
}

UINT SimWindows::RegisterWindowMessageA(const std::string& name) {
    if (Enter(WinOp::RegisterWindowMessageA)) return 0;
    if (name.empty()) return 0;
    // Names are compared without regard to case, as the system's atoms are.
    std::string key = name;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
    auto it = registered_.find(key);
    if (it != registered_.end()) return it->second;
    if (nextRegistered_ > 0xFFFF) return 0;
    UINT id = nextRegistered_++;
    registered_[key] = id;
    return id;
}

HWND SimWindows::CreateMessageWindow(MessageHandler handler) {
    if (Enter(WinOp::CreateMessageWindow)) return 0;
    SimWindow w;
    w.className = "TaskwellMessageWindow";
    w.processId = ProgramProcessId;
    w.threadId = ProgramThreadId;
    w.visible = false;
    w.handler = std::move(handler);
    return AddWindow(std::move(w));
}

bool SimWindows::DestroyWindow(HWND hwnd) {
    Record(WindowEvent{WindowEvent::Kind::DestroyWindow, hwnd});
    if (Enter(WinOp::DestroyWindow)) return false;
    const SimWindow* w = Find(hwnd);
    // Only the thread that made a window can destroy it.
    if (!w || w->threadId != ProgramThreadId) return false;
    Dispatch(hwnd, kWmDestroy, 0, 0, WindowEvent::Kind::System);
    Destroy(hwnd);
    return true;
}

LRESULT SimWindows::DefWindowProcA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
    const SimWindow* w = Find(hwnd);
    if (!w) return 0;
    switch (msg) {
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case kScMinimize:
            Apply(hwnd, SW_MINIMIZE);
            break;
        case kScMaximize:
            Apply(hwnd, SW_SHOWMAXIMIZED);
            break;
        case SC_RESTORE:
            if (w->state != ShowState::Normal) Apply(hwnd, SW_RESTORE);
            break;
        case kScClose:
            Dispatch(hwnd, WM_CLOSE, 0, 0, WindowEvent::Kind::System);
            break;
        default:
            break;
        }
        return 0;
    case WM_CLOSE:
        if (w->threadId == ProgramThreadId) Destroy(hwnd);
        return 0;
    default:
        return 0;
    }
}

// ---------------------------------------------------------------------------------------------
// Top-level windows of every program.

bool SimWindows::EnumWindows(const WindowVisitor& visit) {
    if (Enter(WinOp::EnumWindows)) return false;
    // The system lists the windows first, then visits them: a window made meanwhile is not visited,
    // one destroyed meanwhile is (its handle no longer valid).
    const std::vector<HWND> windows = zorder_;
    for (HWND h : windows)
        if (!visit(h)) break;
    if (AfterEnumWindows) AfterEnumWindows();
    return true;
}

namespace {
int CutText(const std::string& from, std::string& to, int maxCount) {
    to.clear();
    if (maxCount <= 0) return 0;
    to = from.substr(0, static_cast<size_t>(maxCount - 1));
    return static_cast<int>(to.size());
}
}  // namespace

int SimWindows::GetWindowTextA(HWND hwnd, std::string& text, int maxCount) {
    text.clear();
    if (Enter(WinOp::GetWindowTextA)) return 0;
    const SimWindow* w = Find(hwnd);
    return w ? CutText(w->caption, text, maxCount) : 0;
}

int SimWindows::GetClassNameA(HWND hwnd, std::string& name, int maxCount) {
    name.clear();
    if (Enter(WinOp::GetClassNameA)) return 0;
    const SimWindow* w = Find(hwnd);
    return w ? CutText(w->className, name, maxCount) : 0;
}

LONG SimWindows::GetWindowLongA(HWND hwnd, int index) {
    if (Enter(WinOp::GetWindowLongA)) return 0;
    const SimWindow* w = Find(hwnd);
    if (!w) return 0;
    switch (index) {
    case GWL_STYLE: {
        DWORD style = w->style & ~(WS_VISIBLE | WS_DISABLED | WS_MINIMIZE | WS_MAXIMIZE);
        if (w->visible) style |= WS_VISIBLE;
        if (!w->enabled) style |= WS_DISABLED;
        if (w->state == ShowState::Minimized) style |= WS_MINIMIZE;
        if (w->state == ShowState::Maximized) style |= WS_MAXIMIZE;
        return static_cast<LONG>(style);
    }
    case GWL_EXSTYLE: return static_cast<LONG>(w->exStyle);
    case GWL_HWNDPARENT: return static_cast<LONG>(w->owner);
    default: return 0;
    }
}

HWND SimWindows::GetWindow(HWND hwnd, UINT cmd) {
    if (Enter(WinOp::GetWindow)) return 0;
    const SimWindow* w = Find(hwnd);
    if (!w || cmd != GW_OWNER) return 0;
    return w->owner;
}

DWORD SimWindows::GetWindowThreadProcessId(HWND hwnd, DWORD* processId) {
    if (Enter(WinOp::GetWindowThreadProcessId)) return 0;
    const SimWindow* w = Find(hwnd);
    if (processId) *processId = w ? w->processId : 0;
    return w ? w->threadId : 0;
}

DWORD SimWindows::GetWindowTextAndThread(HWND hwnd, std::string& text, int maxCount) {
    text.clear();
    if (Enter(WinOp::GetWindowTextAndThread)) return 0;
    const SimWindow* w = Find(hwnd);
    if (!w || w->threadId == 0) return 0;
    CutText(w->caption, text, maxCount);
    return w->threadId;
}

HWND SimWindows::GetParent(HWND hwnd) {
    if (Enter(WinOp::GetParent)) return 0;
    const SimWindow* w = Find(hwnd);
    // A top-level window answers its owner only when it is a popup.
    if (!w || !(w->style & WS_POPUP)) return 0;
    return w->owner;
}

LRESULT SimWindows::SendMessageTimeoutA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT flags,
                                        UINT timeoutMs, DWORD* result) {
    if (Enter(WinOp::SendMessageTimeoutA)) return 0;
    const SimWindow* w = Find(hwnd);
    if (!w) return 0;
    WindowEvent timedOut{WindowEvent::Kind::SendTimedOut, hwnd};
    timedOut.msg = msg;
    timedOut.wParam = wParam;
    timedOut.lParam = lParam;
    timedOut.flags = flags;
    timedOut.timeoutMs = timeoutMs;
    if (w->threadId == ProgramThreadId) {
        const LRESULT r = Dispatch(hwnd, msg, wParam, lParam, WindowEvent::Kind::Sent);
        if (result) *result = static_cast<DWORD>(r);
        return 1;
    }
    std::uint64_t since = 0;
    const bool threadBlocked = ThreadBlocked(*w, since);
    if (w->hung || threadBlocked) {
        Record(timedOut);
        // A blocked thread takes the message when it is released; a hung window never does.
        if (threadBlocked && !w->hung)
            late_.push_back(Late{UINT64_MAX, Post{hwnd, msg, wParam, lParam}});
        const bool countsHung = w->hung || machine_.Now() - since >= kHungAfterMs;
        if (!((flags & SMTO_ABORTIFHUNG) && countsHung)) Wait(timeoutMs);
        return 0;
    }
    if (w->answerDelayMs > timeoutMs) {
        Record(timedOut);
        Wait(timeoutMs);
        late_.push_back(Late{machine_.Now() + (w->answerDelayMs - timeoutMs), Post{hwnd, msg, wParam, lParam}});
        return 0;
    }
    Wait(w->answerDelayMs);
    if (!Find(hwnd)) return 0;
    const LRESULT r = Dispatch(hwnd, msg, wParam, lParam, WindowEvent::Kind::Sent);
    if (result) *result = static_cast<DWORD>(r);
    return 1;
}

bool SimWindows::SendMessageCallbackA(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, SendAsyncProc answered) {
    if (Enter(WinOp::SendMessageCallbackA)) return false;
    const SimWindow* w = Find(hwnd);
    if (!w) return false;
    if (w->threadId == ProgramThreadId) {
        const LRESULT r = Dispatch(hwnd, msg, wParam, lParam, WindowEvent::Kind::Sent);
        if (answered) answered(r);
        return true;
    }
    callbacks_.push_back(
        Callback{machine_.Now() + w->answerDelayMs, Post{hwnd, msg, wParam, lParam}, std::move(answered)});
    return true;
}

bool SimWindows::BringWindowToTop(HWND hwnd) {
    Record(WindowEvent{WindowEvent::Kind::BringWindowToTop, hwnd});
    if (Enter(WinOp::BringWindowToTop)) return false;
    WaitForThreadOf(hwnd, "BringWindowToTop");
    if (!Find(hwnd)) return false;
    ToTop(hwnd);
    return true;
}

HWND SimWindows::SetActiveWindow(HWND hwnd) {
    Record(WindowEvent{WindowEvent::Kind::SetActiveWindow, hwnd});
    if (Enter(WinOp::SetActiveWindow)) return 0;
    const SimWindow* w = Find(hwnd);
    // Only a window of the calling thread's input can be activated.
    if (!w || w->threadId != ProgramThreadId) return 0;
    const HWND before = ActiveWindow;
    ActiveWindow = hwnd;
    return before;
}

bool SimWindows::ShowWindowAsync(HWND hwnd, int cmdShow) {
    if (!ShowWindowAsyncAvailable) return false;
    WindowEvent e{WindowEvent::Kind::ShowWindow, hwnd};
    e.cmdShow = cmdShow;
    e.async = true;
    Record(e);
    if (Enter(WinOp::ShowWindowAsync)) return false;
    const SimWindow* w = Find(hwnd);
    if (!w) return false;
    const bool wasVisible = w->visible;
    // The change is the window's own thread's to make: a blocked thread makes it when released,
    // which the simulation folds into now.
    Apply(hwnd, cmdShow);
    return wasVisible;
}

}  // namespace taskwell::sim
