// The Applications page as another process sees it, under Windows 98.
//
// The driver makes top-level windows of its own, each task window on a thread of its own that
// pumps its messages (a thread can be told to block in its window procedure for up to
// kBlockLimitMs, and one window takes kSlowCloseMs over WM_CLOSE, pumping its own loop). It then
// starts the program with settings stored beforehand: the Applications page, the High update speed
// (the window list is scanned every 750 ms), confirmations on, Large Icons. Then:
//   - the rows against the driver's own scan of the desktop's top-level windows with the filter of
//     the window list (visible, a caption, no owner; a popup only with a minimise box and a system
//     menu and not disabled, or when its last active popup is such a window): the same captions as
//     a multiset, in the order of lstrcmpA; windows of the driver that the filter keeps out have no
//     row; the columns "Task" and "Status"; the buttons under the list, enabled by a selection;
//   - a new window's row within one scan interval, and its going after DestroyWindow;
//   - the task properties dialog by a double click: handle, ids, parent, class, path and every style
//     box against the window's real style;
//   - the popup menu's and the Windows menu's commands on a window that answers: Minimize, Restore,
//     Maximize, Bring To Front, Switch To, Always on top Enable and Disable, End Task with "No" and
//     "Yes";
//   - a thread that blocks: "Not Responding" while the program keeps answering, "Running" again
//     after the release; the same commands on its window land once it is released;
//   - End Task on a window that takes 3 s over WM_CLOSE: it is asked to close and nothing more (no
//     WM_DESTROY from outside, no WM_QUIT);
//   - New Task: a command line that starts the driver as a child that signals, a bare path with
//     spaces to a copy of the driver, and the history values "0" and "1" afterwards; then 2,000
//     typed characters and the same again from the history: the program says it cannot find them
//     and lives on;
//   - Goto Process: the Processes page with the row of the driver's process selected.
// While each command runs the driver probes the program two ways: a WM_NULL sent to its main window
// with a 1 s limit, and a message posted to its list view whose effect the driver reads back.
// Screenshots: the page in Large Icons and in Details, the popup menu, the Windows menu, the
// question, the task properties and New Task dialogs.
#include "driver_common.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <deque>
#include <memory>

namespace e2e {

namespace {

constexpr const char* kLabel = "applications";
constexpr const char* kRunning = "Running";
constexpr const char* kNotResponding = "Not Responding";
constexpr const char* kConfirmCaption = "Confirm";
constexpr const char* kConfirmText = "Are you sure you want to end this task ?";
constexpr const char* kPropertiesCaption = "Task Properties";
constexpr const char* kNewTaskCaption = "New Task";
constexpr const char* kHistoryKey = "New Tasks";
constexpr const char* kWindowClass = "TaskwellE2ETask";
constexpr const char* kNewTaskEventPrefix = "TaskwellE2E.NewTask.";
// A New Task entry longer than any path, typed as a user would.
constexpr size_t kLongEntryLength = 2000;

// The High speed: the window list is scanned, and the rows' statuses refreshed, every 750 ms.
constexpr DWORD kScanIntervalMs = 750;
// Beyond one interval: the scan's own work (a process snapshot, icons of new windows), the status
// probes of windows that do not answer (200 ms each) and the driver's polling.
constexpr DWORD kScanMarginMs = 1000;
constexpr DWORD kScanLimitMs = kScanIntervalMs + kScanMarginMs;
// A status shows at the next refresh: one interval, the probe's 200 ms, and the same margin.
constexpr DWORD kStatusLimitMs = kScanIntervalMs + 200 + kScanMarginMs;
// The program must answer each of the driver's probes within this.
constexpr DWORD kAnswerLimitMs = 1000;
// End Task waits up to this long for a window to answer its WM_CLOSE; while it does, only sent
// messages reach the program.
constexpr DWORD kCloseWaitMs = 1000;
// A posted probe not handled after this counts as never handled.
constexpr DWORD kPostedGiveUpMs = 4000;
// How long the driver probes after choosing a command whose effect must wait for a release.
constexpr DWORD kProbeStretchMs = 500;
// A command on a window that answers takes effect within this.
constexpr DWORD kActionLimitMs = 3000;
// Menus, boxes and dialogs of the program show or go within this.
constexpr DWORD kUiLimitMs = 5000;
// A key posted to a menu that did nothing within this is posted once more (see choose).
constexpr DWORD kMenuKeyRetryMs = 1500;
// How long a state is watched to see that nothing changes it.
constexpr DWORD kSettleMs = 1000;
// A blocked thread waits this long at most for its release (every case releases it itself; the
// limit only ends a block a failed case left behind, and must outlast the longest measurement made
// while threads are blocked); a slow closer pumps kSlowCloseMs.
constexpr DWORD kBlockLimitMs = 30000;
constexpr DWORD kSlowCloseMs = 3000;
// A thread of the driver leaves its loop within this once told to.
constexpr DWORD kThreadEndMs = 10000;
// A child started through New Task signals within this.
constexpr DWORD kChildSignalMs = 10000;

// Messages of the driver's windows and threads.
constexpr UINT kBlockMessage = WM_APP + 1;    // to a window: its thread waits for the release
constexpr UINT kDestroyMessage = WM_APP + 2;  // to a window: it destroys itself
constexpr UINT kRunMessage = WM_APP + 3;      // to a thread: run a job (lParam)
constexpr UINT kStopMessage = WM_APP + 4;     // to a thread: leave the loop

// ---- Texts ---------------------------------------------------------------------------------------

std::string hex8(DWORD v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08lX", static_cast<unsigned long>(v));
  return buf;
}

DWORD handleValue(HWND w) { return static_cast<DWORD>(reinterpret_cast<UINT_PTR>(w)); }

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string joined(const std::vector<std::string>& items) {
  std::string s;
  for (const auto& i : items) s += (s.empty() ? "\"" : ", \"") + i + "\"";
  return s.empty() ? "none" : s;
}

// A window's caption as the system keeps it, read without sending the window a message (a window
// of the driver's own process would be asked for it, and a blocked one would not answer).
std::string storedCaption(HWND w) {
  WCHAR wide[256] = {};
  const int n = InternalGetWindowText(w, wide, 255);
  if (n <= 0) return {};
  char narrow[512] = {};
  WideCharToMultiByte(CP_ACP, 0, wide, n, narrow, sizeof narrow - 1, nullptr, nullptr);
  return narrow;
}

// ---- The driver's own scan -----------------------------------------------------------------------

// The window list's task-bar rule on a style: a window that is no popup, or a popup with a minimise
// box and a system menu that is not disabled.
bool taskBarStyle(LONG style) {
  const DWORD s = static_cast<DWORD>(style);
  if (!(s & WS_POPUP)) return true;
  return (s & WS_MINIMIZEBOX) && (s & WS_SYSMENU) && !(s & WS_DISABLED);
}

// Whether the window list counts a top-level window as a task.
bool countsAsTask(HWND w) {
  if (storedCaption(w).empty() || !IsWindowVisible(w) || GetWindow(w, GW_OWNER)) return false;
  if (taskBarStyle(GetWindowLongA(w, GWL_STYLE))) return true;
  HWND popup = GetLastActivePopup(w);
  return popup && IsWindow(popup) && taskBarStyle(GetWindowLongA(popup, GWL_STYLE));
}

BOOL CALLBACK collectTask(HWND w, LPARAM p) {
  if (countsAsTask(w)) reinterpret_cast<std::vector<std::string>*>(p)->push_back(storedCaption(w));
  return TRUE;
}

std::vector<std::string> driverTaskCaptions() {
  std::vector<std::string> out;
  EnumWindows(collectTask, reinterpret_cast<LPARAM>(&out));
  return out;
}

BOOL CALLBACK collectTopLevel(HWND w, LPARAM p) {
  reinterpret_cast<std::vector<HWND>*>(p)->push_back(w);
  return TRUE;
}

// Whether `upper` stands above `lowerWindow` in the z-order (the order EnumWindows visits them).
bool above(HWND upper, HWND lowerWindow) {
  std::vector<HWND> order;
  EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&order));
  auto a = std::find(order.begin(), order.end(), upper), b = std::find(order.begin(), order.end(), lowerWindow);
  return a != order.end() && b != order.end() && a < b;
}

bool topmost(HWND w) { return (GetWindowLongA(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// ---- Windows of the driver -------------------------------------------------------------------------

// A window's state as its own thread saw it after a change of size or position.
struct WindowState {
  bool iconic = false;
  bool zoomed = false;
  bool topmost = false;
};

class WindowThread;

// One window of the driver and what it saw: the closes it was asked for, destroys and quits it did
// not bring about itself, its states, and whether its thread is blocked now.
class TaskWindow {
 public:
  TaskWindow(WindowThread& thread, std::string caption, bool slowCloser)
      : thread(thread), caption(std::move(caption)), slowCloser(slowCloser) {
    InitializeCriticalSection(&lock_);
  }
  ~TaskWindow() { DeleteCriticalSection(&lock_); }
  TaskWindow(const TaskWindow&) = delete;
  TaskWindow& operator=(const TaskWindow&) = delete;

  WindowThread& thread;
  const std::string caption;
  const bool slowCloser;
  HWND hwnd = nullptr;  // set on the window's thread before its creation is reported
  std::atomic<int> closes{0};
  std::atomic<int> outsideDestroys{0};
  std::atomic<int> quits{0};
  std::atomic<bool> ownDestroy{false};
  std::atomic<bool> destroyed{false};
  std::atomic<bool> blocked{false};
  std::atomic<bool> closing{false};

  void record(const WindowState& s) {
    EnterCriticalSection(&lock_);
    states_.push_back(s);
    LeaveCriticalSection(&lock_);
  }
  std::vector<WindowState> states() const {
    EnterCriticalSection(&lock_);
    std::vector<WindowState> out = states_;
    LeaveCriticalSection(&lock_);
    return out;
  }

 private:
  mutable CRITICAL_SECTION lock_;
  std::vector<WindowState> states_;
};

// A thread of the driver with a message loop, on which windows are made. Jobs reach it as thread
// messages; each wait for it is bounded, and a job it never ran does not outlive its data.
class WindowThread {
 public:
  WindowThread()
      : ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)), release_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~WindowThread() {
    stop();
    if (ready_) CloseHandle(ready_);
    if (release_) CloseHandle(release_);
  }
  WindowThread(const WindowThread&) = delete;
  WindowThread& operator=(const WindowThread&) = delete;

  bool start() {
    thread_ = CreateThread(nullptr, 0, &WindowThread::threadMain, this, 0, &threadId_);
    return thread_ && WaitForSingleObject(ready_, kThreadEndMs) == WAIT_OBJECT_0;
  }

  struct Plan {
    std::string caption;
    DWORD style = WS_OVERLAPPEDWINDOW;
    DWORD exStyle = 0;
    HWND owner = nullptr;
    bool show = true;
    bool slowCloser = false;
    RECT at{100, 100, 420, 300};
  };

  // Makes a window on the thread; null when it could not.
  TaskWindow* create(const Plan& plan) {
    windows_.push_back(std::make_unique<TaskWindow>(*this, plan.caption, plan.slowCloser));
    TaskWindow* w = windows_.back().get();
    const bool ran = run([w, plan] {
      HWND h = CreateWindowExA(plan.exStyle, kWindowClass, plan.caption.c_str(), plan.style, plan.at.left, plan.at.top,
                               plan.at.right - plan.at.left, plan.at.bottom - plan.at.top, plan.owner, nullptr,
                               GetModuleHandleA(nullptr), w);
      if (h && plan.show) {
        ShowWindow(h, SW_SHOWNORMAL);
        UpdateWindow(h);
      }
      w->hwnd = h;
    });
    return ran && w->hwnd ? w : nullptr;
  }

  // Runs `job` on the thread; false when it did not run within `limitMs`.
  bool run(std::function<void()> job, DWORD limitMs = kThreadEndMs) {
    auto carried = std::make_shared<Job>();
    carried->fn = std::move(job);
    auto* message = new std::shared_ptr<Job>(carried);
    if (!PostThreadMessageA(threadId_, kRunMessage, 0, reinterpret_cast<LPARAM>(message))) {
      delete message;
      return false;
    }
    return WaitForSingleObject(carried->done, limitMs) == WAIT_OBJECT_0;
  }

  // Blocks the window's thread inside its window procedure (a posted message) until release() or
  // kBlockLimitMs; true once the thread is in the block.
  bool block(TaskWindow& w) {
    ResetEvent(release_);
    if (!PostMessageA(w.hwnd, kBlockMessage, 0, 0)) return false;
    return waitFor(kUiLimitMs, [&] { return w.blocked.load(); });
  }
  void release() { SetEvent(release_); }
  HANDLE releaseEvent() const { return release_; }

  // Tells the window to destroy itself (as its own program would) and waits until it has.
  bool destroy(TaskWindow& w, DWORD limitMs) {
    if (!PostMessageA(w.hwnd, kDestroyMessage, 0, 0)) return false;
    return waitFor(limitMs, [&] { return w.destroyed.load(); });
  }

  DWORD id() const { return threadId_; }
  // WM_QUIT messages the thread's loop took; the driver posts none.
  int quits() const { return quits_; }

  void stop() {
    if (!thread_) return;
    SetEvent(release_);
    PostThreadMessageA(threadId_, kStopMessage, 0, 0);
    if (WaitForSingleObject(thread_, kThreadEndMs) != WAIT_OBJECT_0) {
      Checks::info("%s: window thread %lu did not end; terminated", kLabel, static_cast<unsigned long>(threadId_));
      TerminateThread(thread_, 1);
      WaitForSingleObject(thread_, 1000);
    }
    CloseHandle(thread_);
    thread_ = nullptr;
  }

  // Handles a thread message: a job or the stop. False for any other message.
  bool threadMessage(const MSG& m) {
    if (m.hwnd) return false;
    if (m.message == kRunMessage) {
      auto* message = reinterpret_cast<std::shared_ptr<Job>*>(m.lParam);
      (*message)->fn();
      SetEvent((*message)->done);
      delete message;
      return true;
    }
    if (m.message == kStopMessage) {
      stopping_ = true;
      return true;
    }
    return false;
  }

  // Pumps the thread's messages for `ms` (the slow closer's WM_CLOSE): windows' messages are handled,
  // a WM_QUIT is counted, a stop is kept for the loop.
  void pumpFor(DWORD ms, TaskWindow& w) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.message == WM_QUIT) {
          ++quits_;
          ++w.quits;
          continue;
        }
        if (threadMessage(m)) continue;
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
  }

 private:
  struct Job {
    Job() : done(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Job() {
      if (done) CloseHandle(done);
    }
    std::function<void()> fn;
    HANDLE done;
  };

  static DWORD WINAPI threadMain(LPVOID p) {
    auto* self = static_cast<WindowThread*>(p);
    MSG m;
    PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue exists from here
    SetEvent(self->ready_);
    while (!self->stopping_) {
      const BOOL got = GetMessageA(&m, nullptr, 0, 0);
      if (got == -1) break;
      if (got == 0) {
        ++self->quits_;
        continue;
      }
      if (self->threadMessage(m)) continue;
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    for (auto& w : self->windows_) {
      if (w->hwnd && IsWindow(w->hwnd)) {
        w->ownDestroy = true;
        DestroyWindow(w->hwnd);
      }
    }
    return 0;
  }

  HANDLE ready_;
  HANDLE release_;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> quits_{0};
  std::vector<std::unique_ptr<TaskWindow>> windows_;  // touched by the driver's main thread only
};

LRESULT CALLBACK taskWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE)
    SetWindowLongPtrA(hwnd, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams));
  auto* w = reinterpret_cast<TaskWindow*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (!w) return DefWindowProcA(hwnd, msg, wp, lp);
  switch (msg) {
    case kBlockMessage:
      w->blocked = true;
      WaitForSingleObject(w->thread.releaseEvent(), kBlockLimitMs);
      w->blocked = false;
      return 0;
    case kDestroyMessage:
      w->ownDestroy = true;
      DestroyWindow(hwnd);
      return 0;
    case WM_CLOSE:
      ++w->closes;
      if (w->slowCloser) {
        // A program that takes its time (asking whether to save, say) and then closes itself.
        if (w->closing.exchange(true)) return 0;
        w->thread.pumpFor(kSlowCloseMs, *w);
      }
      w->ownDestroy = true;
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      if (w->ownDestroy)
        w->destroyed = true;
      else
        ++w->outsideDestroys;
      return 0;
    case WM_QUIT:
      ++w->quits;
      return 0;
    case WM_SIZE:
    case WM_WINDOWPOSCHANGED:
      w->record(WindowState{IsIconic(hwnd) != FALSE, IsZoomed(hwnd) != FALSE, topmost(hwnd)});
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

bool registerWindowClass() {
  return e2e::registerWindowClass(kWindowClass, taskWindowProc);
}

// Whether the states a window saw hold each of `wanted` in this order (other states between).
bool sawInOrder(const std::vector<WindowState>& seen, const std::vector<std::function<bool(const WindowState&)>>& wanted) {
  size_t next = 0;
  for (const WindowState& s : seen)
    if (next < wanted.size() && wanted[next](s)) ++next;
  return next == wanted.size();
}

// Puts `upper` above `lowerWindow` without activating it, from its own thread, until the order holds
// on two readings in a row (the system may still be finishing an activation that raises the other).
bool raiseAbove(TaskWindow& upper, HWND lowerWindow) {
  return waitFor(kUiLimitMs, [&] {
    upper.thread.run([h = upper.hwnd] { SetWindowPos(h, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE); });
    Sleep(100);
    if (!above(upper.hwnd, lowerWindow)) return false;
    Sleep(100);
    return above(upper.hwnd, lowerWindow);
  });
}

// ---- The program -----------------------------------------------------------------------------------

struct Program {
  Launched* app = nullptr;
  DWORD pid = 0;
  HWND main = nullptr;
  HWND list = nullptr;

  std::optional<ListRows> rows() const { return listRows(pid, list, 2); }
  // The row of a caption, -1 when there is none; `status` receives its status.
  int rowOf(const std::string& caption, std::string* status = nullptr) const {
    auto r = rows();
    if (!r) return -1;
    for (size_t i = 0; i < r->size(); ++i) {
      if ((*r)[i][0] != caption) continue;
      if (status) *status = (*r)[i][1];
      return static_cast<int>(i);
    }
    return -1;
  }
  bool alive() const { return !app->exited(); }
};

// Polls every 20 ms until `probe` holds or `limitMs` passed; `elapsed` receives how long it took.
bool pollFor(DWORD limitMs, const std::function<bool()>& probe, DWORD* elapsed = nullptr) {
  const DWORD start = GetTickCount();
  for (;;) {
    const bool ok = probe();
    const DWORD now = GetTickCount() - start;
    if (ok || now >= limitMs) {
      if (elapsed) *elapsed = now;
      return ok;
    }
    Sleep(20);
  }
}

// ---- Probes of the program's responsiveness ------------------------------------------------------------

struct Answers {
  int sent = 0, sentMissed = 0, posted = 0, postedMissed = 0;
  DWORD worstSentMs = 0, worstPostedMs = 0;

  bool within(DWORD postedLimitMs) const {
    return sent > 0 && posted > 0 && sentMissed == 0 && postedMissed == 0 && worstSentMs <= kAnswerLimitMs &&
           worstPostedMs <= postedLimitMs;
  }
  std::string text() const {
    char buf[200];
    std::snprintf(buf, sizeof buf, "%d sent probes, %d unanswered, worst %lu ms; %d posted, %d not handled, worst %lu ms",
                  sent, sentMissed, static_cast<unsigned long>(worstSentMs), posted, postedMissed,
                  static_cast<unsigned long>(worstPostedMs));
    return buf;
  }
};

// Two probes of the program: a WM_NULL sent to its main window with a limit of kAnswerLimitMs (the
// program answers it wherever it waits for a message), and a hover time posted to its list view
// (handled only when its message loop runs), read back with a sent message. The hover time only
// matters for hot-tracking, which the list does not use.
class Prober {
 public:
  Prober(HWND main, HWND list) : main_(main), list_(list) {}
  ~Prober() { PostMessageA(list_, LVM_SETHOVERTIME, 0, static_cast<LPARAM>(-1)); }

  void once(Answers& a) {
    DWORD start = GetTickCount();
    DWORD_PTR result = 0;
    const BOOL answered = SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerLimitMs, &result);
    ++a.sent;
    if (!answered) ++a.sentMissed;
    a.worstSentMs = std::max(a.worstSentMs, GetTickCount() - start);

    const DWORD value = next_;
    next_ = next_ >= 59000 ? 2000 : next_ + 1;
    start = GetTickCount();
    ++a.posted;
    if (!PostMessageA(list_, LVM_SETHOVERTIME, 0, static_cast<LPARAM>(value))) {
      ++a.postedMissed;
      return;
    }
    DWORD took = 0;
    const bool handled = pollFor(
        kPostedGiveUpMs,
        [&] {
          DWORD_PTR got = 0;
          return SendMessageTimeoutA(list_, LVM_GETHOVERTIME, 0, 0, SMTO_ABORTIFHUNG, kAnswerLimitMs, &got) &&
                 got == value;
        },
        &took);
    if (!handled) ++a.postedMissed;
    a.worstPostedMs = std::max(a.worstPostedMs, took);
  }

  // Probes back to back for at least `minMs`, then until `done` holds or `limitMs` passed; returns
  // whether `done` held (true when there is none).
  bool watch(Answers& a, DWORD minMs, DWORD limitMs, const std::function<bool()>& done = nullptr) {
    const DWORD start = GetTickCount();
    for (;;) {
      once(a);
      const DWORD now = GetTickCount() - start;
      const bool ok = !done || done();
      if (now >= limitMs || (now >= minMs && ok)) return ok;
      Sleep(30);
    }
  }

 private:
  HWND main_;
  HWND list_;
  DWORD next_ = 2000;
};

// ---- Commands ------------------------------------------------------------------------------------------

struct Command {
  const char* name;
  bool windowsMenu;  // from the Windows menu (Alt+W), else from the list's popup menu
  std::vector<WPARAM> keys;
};

const Command kMinimize{"Minimize", false, {'M'}};
const Command kRestore{"Restore", false, {'R'}};
const Command kMaximize{"Maximize", false, {'X'}};
const Command kBringToFront{"Bring To Front", false, {'B'}};
const Command kSwitchTo{"Switch To", false, {'S'}};
const Command kEndTask{"End Task", false, {'E'}};
// "Set as &Always on top" opens its submenu with the first entry, "Enable", selected.
const Command kAlwaysOnTop{"Always on top Enable", true, {'A', VK_RETURN}};
const Command kNotAlwaysOnTop{"Always on top Disable", true, {'A', VK_DOWN, VK_RETURN}};

// Chooses a command for the row of `w` by the keyboard: the popup menu opened with a right click on
// the row, or the Windows menu with the row selected. `shot`, when given, is the file for a
// screenshot of the open menu.
bool choose(Checks& checks, const Options& opt, Program& tw, const Command& cmd, const TaskWindow& w, const char* what,
            const char* shot = nullptr) {
  const int row = tw.rowOf(w.caption);
  if (row < 0) {
    checks.fail("%s: %s: \"%s\" has no row to choose %s for", kLabel, what, w.caption.c_str(), cmd.name);
    return false;
  }
  HWND menu = nullptr;
  if (cmd.windowsMenu) {
    if (!setRowSelected(tw.pid, tw.list, row)) {
      checks.fail("%s: %s: the row of \"%s\" cannot be selected", kLabel, what, w.caption.c_str());
      return false;
    }
    menu = openMenuBarMenu(tw.main, 'w', kUiLimitMs);
  } else if (rightClickRow(tw.pid, tw.list, row)) {
    menu = waitMenus(tw.pid, 1, kUiLimitMs);
  }
  if (!menu) {
    checks.fail("%s: %s: the %s does not open for %s", kLabel, what,
                cmd.windowsMenu ? "Windows menu (Alt+W)" : "popup menu (right click on the row)", cmd.name);
    closeMenus(tw.pid, tw.main);
    return false;
  }
  // The selected row must be the window's: compared by caption, since a row above it that goes in
  // the meantime moves it up by one.
  int selected = -1;
  std::string selectedCaption;
  for (int attempt = 0; attempt < 3 && selectedCaption != w.caption; ++attempt) {
    selected = selectedRow(tw.list);
    auto r = tw.rows();
    selectedCaption = r && selected >= 0 && selected < static_cast<int>(r->size()) ? (*r)[selected][0] : "";
  }
  if (selectedCaption != w.caption) {
    checks.fail("%s: %s: with the menu open the selected row is %d (\"%s\"), not the row of \"%s\" (%d before)",
                kLabel, what, selected, selectedCaption.c_str(), w.caption.c_str(), row);
    closeMenus(tw.pid, tw.main);
    return false;
  }
  if (shot) {
    Sleep(300);  // let the menu paint
    ScreenshotResult r = screenshotWindow(menu, joinPath(opt.artifacts, shot));
    checks.expect(r.written && r.distinctColours > 2, "screenshot %s (%dx%d) shows content", shot, r.width, r.height);
  }
  // Posts a key to the menu. A key that should open a submenu or choose the command is posted once
  // more when nothing came of it within kMenuKeyRetryMs and the menu is still up: a key that reaches
  // the menu's window before the menu loop has taken it over is lost.
  auto press = [&](HWND target, WPARAM key, const std::function<bool()>& done) {
    PostMessageA(target, WM_KEYDOWN, key, 0);
    if (!done) return true;
    if (waitFor(kMenuKeyRetryMs, done)) return true;
    if (IsWindow(target) && IsWindowVisible(target)) {
      Checks::info("%s: %s: key 0x%02X posted to the menu again", kLabel, what, static_cast<unsigned>(key));
      PostMessageA(target, WM_KEYDOWN, key, 0);
    }
    return waitFor(kUiLimitMs, done);
  };
  const auto menusShown = [&](size_t n) { return [&tw, n] { return visibleMenus(tw.pid).size() == n; }; };
  for (size_t i = 0; i < cmd.keys.size(); ++i) {
    const bool last = i + 1 == cmd.keys.size();
    // A letter that opens a submenu: the next keys go to it.
    const bool opensSubmenu = !last && cmd.keys[i] >= 'A' && cmd.keys[i] <= 'Z';
    if (!last && !opensSubmenu) {
      press(menu, cmd.keys[i], nullptr);
      continue;
    }
    if (opensSubmenu) {
      if (!press(menu, cmd.keys[i], menusShown(2)) || !(menu = waitMenus(tw.pid, 2, kUiLimitMs))) {
        checks.fail("%s: %s: the submenu of %s does not open", kLabel, what, cmd.name);
        closeMenus(tw.pid, tw.main);
        return false;
      }
      // The submenu's window shows before the menu loop has made it the one that takes keys: a
      // key sent at once may still reach the parent menu.
      Sleep(250);
      continue;
    }
    if (!press(menu, cmd.keys[i], menusShown(0))) {
      checks.fail("%s: %s: the menu stays open after choosing %s (%u menus shown)", kLabel, what, cmd.name,
                  static_cast<unsigned>(visibleMenus(tw.pid).size()));
      closeMenus(tw.pid, tw.main);
      return false;
    }
  }
  return true;
}

// A command on a window whose thread answers: chosen, its effect awaited while the program is
// probed.
void commandLands(Checks& checks, const Options& opt, Program& tw, Prober& prober, const Command& cmd, TaskWindow& w,
                  const char* effect, const std::function<bool()>& landed, const char* shot = nullptr) {
  if (!choose(checks, opt, tw, cmd, w, "answering window", shot)) return;
  Answers a;
  const bool ok = prober.watch(a, kProbeStretchMs, kActionLimitMs, landed);
  checks.expect(ok, "%s: %s on \"%s\": %s", kLabel, cmd.name, w.caption.c_str(), effect);
  checks.expect(a.within(kAnswerLimitMs), "%s: the program answers while %s runs on an answering window (%s)", kLabel,
                cmd.name, a.text().c_str());
}

// A command on a window whose thread is blocked: chosen and probed while it cannot land.
bool commandWhileBlocked(Checks& checks, const Options& opt, Program& tw, Prober& prober, const Command& cmd,
                         TaskWindow& w, DWORD postedLimitMs = kAnswerLimitMs) {
  if (!choose(checks, opt, tw, cmd, w, "blocked window")) return false;
  Answers a;
  prober.watch(a, kProbeStretchMs, kProbeStretchMs);
  checks.expect(a.within(postedLimitMs), "%s: the program answers while %s runs on a blocked window (%s; posted limit %lu ms)",
                kLabel, cmd.name, a.text().c_str(), static_cast<unsigned long>(postedLimitMs));
  return checks.expect(w.blocked.load(), "%s: %s was chosen while \"%s\" was still blocked", kLabel, cmd.name,
                       w.caption.c_str());
}

// ---- The End Task question -----------------------------------------------------------------------------

std::vector<std::string> staticTexts(HWND parent) {
  std::vector<std::string> out;
  for (HWND s : childrenOfClass(parent, "Static")) {
    auto t = windowText(s);
    if (t && !t->empty()) out.push_back(*t);
  }
  return out;
}

// Chooses End Task for `w` and waits for the question; checks its caption, text and buttons.
HWND askEndTask(Checks& checks, const Options& opt, Program& tw, TaskWindow& w, const char* what,
                const char* shot = nullptr) {
  if (!choose(checks, opt, tw, kEndTask, w, what)) return nullptr;
  HWND box = waitShownTopLevel(tw.pid, kConfirmCaption, "#32770", kUiLimitMs);
  if (!checks.expect(box != nullptr, "%s: %s: End Task asks in a \"%s\" box", kLabel, what, kConfirmCaption)) return nullptr;
  const std::vector<std::string> texts = staticTexts(box);
  checks.expect(std::find(texts.begin(), texts.end(), kConfirmText) != texts.end(), "%s: %s: the box asks \"%s\" (texts: %s)",
                kLabel, what, kConfirmText, joined(texts).c_str());
  checks.expect(buttonWithText(box, "&Yes") && buttonWithText(box, "&No"), "%s: %s: the box has \"&Yes\" and \"&No\"",
                kLabel, what);
  if (shot) screenshot(checks, box, opt, shot);
  return box;
}

bool answer(Checks& checks, HWND box, const char* button, const char* what) {
  HWND b = buttonWithText(box, button);
  if (b) PostMessageA(b, BM_CLICK, 0, 0);
  const bool gone = b && waitHidden(box, kUiLimitMs);
  checks.expect(gone, "%s: %s: \"%s\" closes the box", kLabel, what, button);
  if (!gone && IsWindow(box)) PostMessageA(box, WM_CLOSE, 0, 0);
  return gone;
}

// ---- Checks -----------------------------------------------------------------------------------------------

struct DriverWindows {
  WindowThread apple, banana, cherry, slow, filters;
  TaskWindow* a = nullptr;  // the window the commands act on while it answers
  TaskWindow* b = nullptr;  // the properties dialog's window, and the z-order's reference
  TaskWindow* c = nullptr;  // the window whose thread blocks
  TaskWindow* s = nullptr;  // the slow closer
  // The filter's cases: windows it keeps out (hidden, untitled, owned, a plain and a disabled
  // popup) and popups it lets in (one by its own style, one by its last active popup's).
  TaskWindow* hidden = nullptr;
  TaskWindow* untitled = nullptr;
  TaskWindow* owned = nullptr;
  TaskWindow* plainPopup = nullptr;
  TaskWindow* disabledPopup = nullptr;
  TaskWindow* taskPopup = nullptr;
  TaskWindow* standIn = nullptr;
  TaskWindow* standInsPopup = nullptr;
};

std::string taskCaption(const char* word) {
  return std::string(word) + " " + std::to_string(GetCurrentProcessId());
}

bool makeWindows(Checks& checks, DriverWindows& d) {
  if (!checks.expect(registerWindowClass(), "%s: the driver's window class is registered", kLabel)) return false;
  bool started = true;
  for (WindowThread* t : {&d.apple, &d.banana, &d.cherry, &d.slow, &d.filters}) started &= t->start();
  if (!checks.expect(started, "%s: the driver's window threads run", kLabel)) return false;

  // Captions whose lstrcmpA order (apple, Banana, cherry) differs from their byte order.
  WindowThread::Plan plan;
  plan.caption = taskCaption("tw e2e apple");
  plan.at = RECT{40, 40, 360, 240};
  d.a = d.apple.create(plan);
  // A style of its own for the properties dialog: a caption, a system menu, a minimise box and a
  // vertical scroll bar, but no maximise box and no sizing frame.
  plan.caption = taskCaption("TW E2E Banana");
  plan.style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VSCROLL;
  plan.at = RECT{80, 80, 400, 280};
  d.b = d.banana.create(plan);
  plan.caption = taskCaption("tw e2e cherry");
  plan.style = WS_OVERLAPPEDWINDOW;
  plan.at = RECT{120, 120, 440, 320};
  d.c = d.cherry.create(plan);
  plan.caption = taskCaption("tw e2e slow closer");
  plan.slowCloser = true;
  plan.at = RECT{160, 160, 480, 360};
  d.s = d.slow.create(plan);
  plan.slowCloser = false;

  // On one thread: windows the filter keeps out, a popup it lets in, and a popup it lets in only
  // through its last active popup.
  plan.at = RECT{500, 40, 700, 160};
  plan.caption = taskCaption("tw e2e hidden");
  plan.show = false;
  d.hidden = d.filters.create(plan);
  plan.show = true;
  plan.caption = "";
  d.untitled = d.filters.create(plan);
  plan.caption = taskCaption("tw e2e task popup");
  plan.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  d.taskPopup = d.filters.create(plan);
  plan.caption = taskCaption("tw e2e owned");
  plan.style = WS_OVERLAPPEDWINDOW;
  plan.owner = d.taskPopup ? d.taskPopup->hwnd : nullptr;
  d.owned = d.filters.create(plan);
  plan.owner = nullptr;
  plan.caption = taskCaption("tw e2e plain popup");
  plan.style = WS_POPUP | WS_CAPTION;
  d.plainPopup = d.filters.create(plan);
  plan.caption = taskCaption("tw e2e disabled popup");
  plan.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_DISABLED;
  d.disabledPopup = d.filters.create(plan);
  plan.caption = taskCaption("tw e2e stand-in");
  plan.style = WS_POPUP | WS_CAPTION;
  d.standIn = d.filters.create(plan);
  plan.caption = taskCaption("tw e2e stand-in's popup");
  plan.style = WS_OVERLAPPEDWINDOW;
  plan.owner = d.standIn ? d.standIn->hwnd : nullptr;
  d.standInsPopup = d.filters.create(plan);
  // The owned window shown last is the one its owner last had active.
  if (d.standInsPopup) d.filters.run([h = d.standInsPopup->hwnd] { SetActiveWindow(h); });

  const bool made = d.a && d.b && d.c && d.s && d.hidden && d.untitled && d.taskPopup && d.owned && d.plainPopup &&
                    d.disabledPopup && d.standIn && d.standInsPopup;
  return checks.expect(made, "%s: the driver's 12 windows are made", kLabel);
}

// The rows as a multiset against the driver's own scan before and after the reading, in lstrcmpA
// order; retried while windows of the desktop come and go, and while a row that just came has no
// status yet (its first verdict comes a probe's limit after it).
void checkRowsAgainstScan(Checks& checks, Program& tw) {
  std::vector<std::string> ours, shown;
  ListRows rows;
  bool same = false;
  for (int attempt = 0; attempt < 6 && !same; ++attempt) {
    if (attempt) Sleep(kScanIntervalMs);
    ours = driverTaskCaptions();
    auto r = tw.rows();
    const std::vector<std::string> again = driverTaskCaptions();
    if (!r) continue;
    rows = *r;
    shown.clear();
    for (const auto& row : rows) shown.push_back(row[0]);
    std::vector<std::string> a = ours, b = shown, c = again;
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    std::sort(c.begin(), c.end());
    same = a == b && b == c &&
           std::none_of(rows.begin(), rows.end(), [](const std::vector<std::string>& row) { return row[1].empty(); });
  }
  checks.expect(same, "%s: the %u rows are the %u windows of the driver's own scan, as a multiset (rows: %s; scan: %s)",
                kLabel, static_cast<unsigned>(shown.size()), static_cast<unsigned>(ours.size()), joined(shown).c_str(),
                joined(ours).c_str());
  std::string breaks;
  for (size_t i = 1; i < shown.size(); ++i)
    if (lstrcmpA(shown[i - 1].c_str(), shown[i].c_str()) > 0)
      breaks += " \"" + shown[i - 1] + "\" before \"" + shown[i] + "\";";
  checks.expect(!shown.empty() && breaks.empty(), "%s: the rows are in lstrcmpA order of their captions (out of order:%s)",
                kLabel, breaks.empty() ? " none" : breaks.c_str());
  std::string badStatus;
  for (const auto& row : rows)
    if (row[1] != kRunning && row[1] != kNotResponding) badStatus += " \"" + row[0] + "\": \"" + row[1] + "\";";
  checks.expect(!rows.empty() && badStatus.empty(), "%s: every row's status is \"%s\" or \"%s\" (other:%s)", kLabel,
                kRunning, kNotResponding, badStatus.empty() ? " none" : badStatus.c_str());
}

void checkFilter(Checks& checks, Program& tw, DriverWindows& d) {
  // The stand-in stands for its popup only if the system names that popup as its last active one.
  checks.expect(GetLastActivePopup(d.standIn->hwnd) == d.standInsPopup->hwnd,
                "%s: the driver reads the stand-in's last active popup as its owned window", kLabel);
  struct Expectation {
    TaskWindow* w;
    bool listed;
    const char* why;
  };
  const Expectation table[] = {
      {d.a, true, "an overlapped window"},
      {d.b, true, "a window with a system menu and no maximise box"},
      {d.c, true, "an overlapped window"},
      {d.s, true, "an overlapped window"},
      {d.taskPopup, true, "a popup with a minimise box and a system menu"},
      {d.standIn, true, "a plain popup whose last active popup is an overlapped window"},
      {d.hidden, false, "a hidden window"},
      {d.owned, false, "an owned window"},
      {d.standInsPopup, false, "an owned window"},
      {d.plainPopup, false, "a popup without a minimise box and system menu"},
      {d.disabledPopup, false, "a disabled popup"},
  };
  for (const Expectation& e : table) {
    const bool listed = tw.rowOf(e.w->caption) >= 0;
    checks.expect(listed == e.listed, "%s: \"%s\", %s, %s (it %s)", kLabel, e.w->caption.c_str(), e.why,
                  e.listed ? "has a row" : "has no row", listed ? "has one" : "has none");
  }
  auto rows = tw.rows();
  bool emptyRow = false;
  if (rows)
    for (const auto& row : *rows) emptyRow |= row[0].empty();
  checks.expect(rows && !emptyRow, "%s: no row has an empty caption (the driver has a visible untitled window)", kLabel);
}

// A window made now gets its row within one scan; after DestroyWindow the row goes within one scan.
void checkAppearAndGo(Checks& checks, Program& tw) {
  WindowThread thread;
  if (!checks.expect(thread.start(), "%s: a thread for a new window runs", kLabel)) return;
  WindowThread::Plan plan;
  plan.caption = taskCaption("tw e2e newcomer");
  plan.at = RECT{200, 200, 460, 360};
  TaskWindow* w = thread.create(plan);
  if (!checks.expect(w != nullptr, "%s: the driver makes \"%s\"", kLabel, plan.caption.c_str())) return;
  DWORD took = 0;
  bool shown = pollFor(kScanLimitMs + 2000, [&] { return tw.rowOf(w->caption) >= 0; }, &took);
  checks.expect(shown && took <= kScanLimitMs, "%s: a new window's row comes within one scan (%lu ms + %lu ms margin; took %lu ms%s)",
                kLabel, static_cast<unsigned long>(kScanIntervalMs), static_cast<unsigned long>(kScanMarginMs),
                static_cast<unsigned long>(took), shown ? "" : ", never came");
  std::string status;
  pollFor(kStatusLimitMs, [&] { return tw.rowOf(w->caption, &status) >= 0 && status == kRunning; });
  checks.expect(status == kRunning, "%s: the new window's status reads \"%s\" (got \"%s\")", kLabel, kRunning, status.c_str());
  if (!checks.expect(thread.destroy(*w, kUiLimitMs), "%s: the new window destroys itself", kLabel)) return;
  bool gone = pollFor(kScanLimitMs + 2000, [&] { return tw.rows() && tw.rowOf(w->caption) < 0; }, &took);
  checks.expect(gone && took <= kScanLimitMs, "%s: after DestroyWindow the row goes within one scan (took %lu ms%s)", kLabel,
                static_cast<unsigned long>(took), gone ? "" : ", still there");
}

// Whether `shown` is `path`, or `path` cut to fit with "...\" standing for a middle part.
bool pathOrShortened(const std::string& shown, const std::string& path) {
  const std::string s = lower(shown), p = lower(path);
  if (s == p) return true;
  const size_t cut = s.find("...\\");
  if (cut == std::string::npos) return false;
  const std::string head = s.substr(0, cut), tail = s.substr(cut + 3);
  return p.size() > head.size() + tail.size() && p.compare(0, head.size(), head) == 0 &&
         p.compare(p.size() - tail.size(), tail.size(), tail) == 0;
}

// The read-only EDIT on the same line as a STATIC label and to its right.
HWND fieldBeside(HWND dialog, const char* label) {
  HWND l = nullptr;
  for (HWND s : childrenOfClass(dialog, "Static"))
    if (windowText(s).value_or("") == label) l = s;
  if (!l) return nullptr;
  RECT lr{};
  GetWindowRect(l, &lr);
  HWND best = nullptr;
  LONG bestLeft = 0;
  for (HWND e : childrenOfClass(dialog, "Edit")) {
    RECT er{};
    GetWindowRect(e, &er);
    if (std::labs(er.top - lr.top) > 2 || er.left < lr.right - 2) continue;
    if (!best || er.left < bestLeft) {
      best = e;
      bestLeft = er.left;
    }
  }
  return best;
}

void checkProperties(Checks& checks, const Options& opt, Program& tw, TaskWindow& w) {
  const int row = tw.rowOf(w.caption);
  if (!checks.expect(row >= 0 && doubleClickRow(tw.pid, tw.list, row), "%s: double click on the row of \"%s\"", kLabel,
                     w.caption.c_str()))
    return;
  HWND dialog = waitShownTopLevel(tw.pid, kPropertiesCaption, nullptr, kUiLimitMs);
  if (!checks.expect(dialog != nullptr, "%s: the double click opens \"%s\"", kLabel, kPropertiesCaption)) return;

  DWORD pid = 0;
  const DWORD tid = GetWindowThreadProcessId(w.hwnd, &pid);
  char cls[128] = {};
  GetClassNameA(w.hwnd, cls, sizeof cls);
  struct Field {
    const char* label;
    std::string want;
  };
  const Field fields[] = {
      {"Handle:", hex8(handleValue(w.hwnd))},
      {"Process ID:", hex8(pid)},
      {"Thread ID:", hex8(tid)},
      {"Parent handle:", "00000000 (\"Desktop\")"},
      {"Class name:", cls},
  };
  for (const Field& f : fields) {
    HWND field = fieldBeside(dialog, f.label);
    const std::string got = field ? windowText(field).value_or("<unreadable>") : "<no field>";
    checks.expect(got == f.want, "%s: properties: \"%s\" reads \"%s\" (expected \"%s\")", kLabel, f.label, got.c_str(),
                  f.want.c_str());
  }
  HWND pathField = fieldBeside(dialog, "Path:");
  const std::string path = pathField ? windowText(pathField).value_or("<unreadable>") : "<no field>";
  checks.expect(pathOrShortened(path, driverPath()), "%s: properties: \"Path:\" reads \"%s\" (the driver %s or a shortened form)",
                kLabel, path.c_str(), driverPath().c_str());
  std::string captionText = "<no field>";
  for (HWND e : childrenOfClass(dialog, "Edit"))
    if (GetParent(e) == dialog) captionText = windowText(e).value_or("<unreadable>");
  checks.expect(captionText == w.caption, "%s: properties: the caption field reads \"%s\" (expected \"%s\")", kLabel,
                captionText.c_str(), w.caption.c_str());

  // The style boxes against the window's real style: each box whose style has bits is checked
  // exactly when all of them are set; none can be changed (it or the group around it is disabled).
  struct Box {
    const char* caption;
    DWORD mask;
  };
  static const Box kBoxes[] = {
      {"WS_POPUP", WS_POPUP},         {"WS_CHILD", WS_CHILD},           {"WS_MINIMIZE", WS_MINIMIZE},
      {"WS_VISIBLE", WS_VISIBLE},     {"WS_DISABLED", WS_DISABLED},     {"WS_CLIPSIBLINGS", WS_CLIPSIBLINGS},
      {"WS_CLIPCHILDREN", WS_CLIPCHILDREN}, {"WS_MAXIMIZE", WS_MAXIMIZE}, {"WS_CAPTION", WS_CAPTION},
      {"WS_BORDER", WS_BORDER},       {"WS_DLGFRAME", WS_DLGFRAME},     {"WS_VSCROLL", WS_VSCROLL},
      {"WS_HSCROLL", WS_HSCROLL},     {"WS_SYSMENU", WS_SYSMENU},       {"WS_THICKFRAME", WS_THICKFRAME},
      {"WS_GROUP", WS_GROUP},         {"WS_TABSTOP", WS_TABSTOP},       {"WS_MINIMIZEBOX", WS_MINIMIZEBOX},
      {"WS_MAXIMIZEBOX", WS_MAXIMIZEBOX}, {"WS_TILEDWINDOW", WS_TILEDWINDOW}, {"WS_POPUPWINDOW", WS_POPUPWINDOW},
  };
  const DWORD style = static_cast<DWORD>(GetWindowLongA(w.hwnd, GWL_STYLE));
  std::vector<HWND> boxes;
  for (HWND b : childrenOfClass(dialog, "Button"))
    if (windowText(b).value_or("").rfind("WS_", 0) == 0) boxes.push_back(b);
  std::string wrong, changeable;
  int compared = 0;
  for (const Box& box : kBoxes) {
    HWND b = buttonWithText(dialog, box.caption);
    if (!b) {
      wrong += std::string(" ") + box.caption + " missing;";
      continue;
    }
    ++compared;
    auto state = send(b, BM_GETCHECK, 0, 0);
    const bool want = (style & box.mask) == box.mask;
    if (!state || (*state == BST_CHECKED) != want)
      wrong += std::string(" ") + box.caption + (want ? " unchecked;" : " checked;");
  }
  for (HWND b : boxes)
    if (IsWindowEnabled(b) && IsWindowEnabled(GetParent(b))) changeable += " " + windowText(b).value_or("?");
  checks.expect(boxes.size() == 22 && buttonWithText(dialog, "WS_OVERLAPPED"), "%s: properties: 22 style boxes from WS_OVERLAPPED (found %u)",
                kLabel, static_cast<unsigned>(boxes.size()));
  checks.expect(compared == 21 && wrong.empty(), "%s: properties: the style boxes agree with the style %08lX (wrong:%s)", kLabel,
                static_cast<unsigned long>(style), wrong.empty() ? " none" : wrong.c_str());
  checks.expect(!boxes.empty() && changeable.empty(), "%s: properties: no style box can be changed (changeable:%s)", kLabel,
                changeable.empty() ? " none" : changeable.c_str());
  screenshot(checks, dialog, opt, "task_properties.bmp");

  HWND ok = buttonWithText(dialog, "&Ok");
  if (ok) PostMessageA(ok, BM_CLICK, 0, 0);
  const bool closed = ok && waitHidden(dialog, kUiLimitMs);
  checks.expect(closed, "%s: properties: \"&Ok\" closes the dialog", kLabel);
  if (!closed && IsWindow(dialog)) PostMessageA(dialog, WM_CLOSE, 0, 0);
}

void checkViewStyles(Checks& checks, const Options& opt, Program& tw) {
  const LONG view = GetWindowLongA(tw.list, GWL_STYLE) & LVS_TYPEMASK;
  checks.expect(view == LVS_ICON, "%s: the list shows Large Icons as stored (view style %ld)", kLabel, static_cast<long>(view));
  screenshot(checks, tw.main, opt, "applications_large_icons.bmp");
  HWND menu = openMenuBarMenu(tw.main, 'v', kUiLimitMs);
  if (!checks.expect(menu != nullptr, "%s: Alt+V opens the View menu", kLabel)) return;
  PostMessageA(menu, WM_KEYDOWN, 'D', 0);
  const bool details = waitFor(kUiLimitMs, [&] {
    for (HWND l : childrenOfClass(tw.main, WC_LISTVIEWA))
      if (reallyVisible(l) && (GetWindowLongA(l, GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT) {
        tw.list = l;
        return true;
      }
    return false;
  });
  if (!details) closeMenus(tw.pid, tw.main);
  checks.expect(details, "%s: View > Details shows the list in report view", kLabel);
  screenshot(checks, tw.main, opt, "applications_details.bmp");
}

// The commands on a window whose thread answers.
void checkCommandsOnAnswering(Checks& checks, const Options& opt, Program& tw, Prober& prober, DriverWindows& d) {
  TaskWindow& a = *d.a;
  commandLands(checks, opt, tw, prober, kMinimize, a, "the window is minimised (IsIconic)",
               [&] { return IsIconic(a.hwnd) != FALSE; }, "applications_popup.bmp");
  commandLands(checks, opt, tw, prober, kRestore, a, "the window is restored (neither IsIconic nor IsZoomed)",
               [&] { return !IsIconic(a.hwnd) && !IsZoomed(a.hwnd); });
  commandLands(checks, opt, tw, prober, kMaximize, a, "the window is maximised (IsZoomed)",
               [&] { return IsZoomed(a.hwnd) != FALSE; });
  a.thread.run([h = a.hwnd] { ShowWindow(h, SW_RESTORE); });

  // Bring To Front: from below the banana window to above it.
  if (checks.expect(raiseAbove(*d.b, a.hwnd), "%s: before Bring To Front \"%s\" stands above \"%s\"", kLabel,
                    d.b->caption.c_str(), a.caption.c_str()))
    commandLands(checks, opt, tw, prober, kBringToFront, a, "it comes above the window that stood above it",
                 [&] { return above(a.hwnd, d.b->hwnd); });

  // Switch To: from the program in front (Bring To Front activated the window it raised).
  SetForegroundWindow(tw.main);
  checks.expect(waitFor(kUiLimitMs, [&] { return GetForegroundWindow() == tw.main; }),
                "%s: before Switch To the program, not \"%s\", is the foreground window", kLabel, a.caption.c_str());
  commandLands(checks, opt, tw, prober, kSwitchTo, a, "it becomes the foreground window",
               [&] { return GetForegroundWindow() == a.hwnd; });

  commandLands(checks, opt, tw, prober, kAlwaysOnTop, a, "it is always on top (WS_EX_TOPMOST)", [&] { return topmost(a.hwnd); },
               "applications_windows_menu.bmp");
  commandLands(checks, opt, tw, prober, kNotAlwaysOnTop, a, "it is no longer always on top", [&] { return !topmost(a.hwnd); });

  // End Task: "No" keeps the window and asks it nothing; "Yes" asks it to close.
  if (HWND box = askEndTask(checks, opt, tw, a, "End Task, No", "confirm_end_task.bmp")) {
    answer(checks, box, "&No", "End Task, No");
    Sleep(kSettleMs);
    checks.expect(IsWindow(a.hwnd) && a.closes == 0 && tw.rowOf(a.caption) >= 0,
                  "%s: after \"&No\" the window stays with its row and got no WM_CLOSE (%d)", kLabel, a.closes.load());
  }
  if (HWND box = askEndTask(checks, opt, tw, a, "End Task, Yes")) {
    Answers probes;
    answer(checks, box, "&Yes", "End Task, Yes");
    const bool closed = prober.watch(probes, kProbeStretchMs, kActionLimitMs, [&] { return a.destroyed.load(); });
    checks.expect(closed && a.closes == 1, "%s: after \"&Yes\" the window got one WM_CLOSE (%d) and closed itself", kLabel,
                  a.closes.load());
    checks.expect(probes.within(kAnswerLimitMs), "%s: the program answers while End Task runs on an answering window (%s)",
                  kLabel, probes.text().c_str());
    DWORD took = 0;
    const bool gone = pollFor(kScanLimitMs, [&] { return tw.rows() && tw.rowOf(a.caption) < 0; }, &took);
    checks.expect(gone, "%s: the closed window's row goes (after %lu ms)", kLabel, static_cast<unsigned long>(took));
  }
}

// The commands on a window whose thread is blocked: the program keeps answering, and each command
// lands once the thread is released.
void checkBlocked(Checks& checks, const Options& opt, Program& tw, Prober& prober, DriverWindows& d) {
  TaskWindow& c = *d.c;
  WindowThread& thread = c.thread;
  std::string status;
  const bool running = pollFor(kStatusLimitMs, [&] { return tw.rowOf(c.caption, &status) >= 0 && status == kRunning; });
  checks.expect(running, "%s: before the block \"%s\" reads \"%s\" (got \"%s\")", kLabel, c.caption.c_str(), kRunning,
                status.c_str());

  // First block: the status, and the commands that change the window's size and standing.
  if (!checks.expect(thread.block(c), "%s: the thread of \"%s\" blocks", kLabel, c.caption.c_str())) return;
  Answers a;
  DWORD start = GetTickCount();
  const bool notResponding = prober.watch(a, 0, kStatusLimitMs + 1000, [&] {
    return tw.rowOf(c.caption, &status) >= 0 && status == kNotResponding;
  });
  const DWORD took = GetTickCount() - start;
  checks.expect(notResponding && took <= kStatusLimitMs, "%s: the blocked window reads \"%s\" within %lu ms (got \"%s\" after %lu ms)",
                kLabel, kNotResponding, static_cast<unsigned long>(kStatusLimitMs), status.c_str(),
                static_cast<unsigned long>(took));
  checks.expect(a.within(kAnswerLimitMs), "%s: the program answers while a window does not (%s)", kLabel, a.text().c_str());
  const size_t statesBefore = c.states().size();
  for (const Command* cmd : {&kMinimize, &kRestore, &kMaximize, &kAlwaysOnTop, &kNotAlwaysOnTop})
    if (!commandWhileBlocked(checks, opt, tw, prober, *cmd, c)) break;
  checks.expect(c.states().size() == statesBefore && !IsIconic(c.hwnd) && !IsZoomed(c.hwnd),
                "%s: nothing reached the blocked window before its release", kLabel);
  thread.release();
  const bool landed = pollFor(kActionLimitMs, [&] {
    return sawInOrder(c.states(), {[](const WindowState& s) { return s.iconic; },
                                   [](const WindowState& s) { return !s.iconic && !s.zoomed; },
                                   [](const WindowState& s) { return s.zoomed; }}) &&
           sawInOrder(c.states(), {[](const WindowState& s) { return s.topmost; },
                                   [](const WindowState& s) { return !s.topmost; }}) &&
           IsZoomed(c.hwnd) && !topmost(c.hwnd);
  });
  checks.expect(landed, "%s: after the release the window was minimised, restored and maximised, and on top and off again, in "
                "that order, and ends maximised and not on top", kLabel);
  a = Answers{};
  start = GetTickCount();
  const bool back = prober.watch(a, 0, kStatusLimitMs + 1000, [&] {
    return tw.rowOf(c.caption, &status) >= 0 && status == kRunning;
  });
  checks.expect(back && GetTickCount() - start <= kStatusLimitMs, "%s: after the release the window reads \"%s\" again (got \"%s\")",
                kLabel, kRunning, status.c_str());
  thread.run([h = c.hwnd] { ShowWindow(h, SW_RESTORE); });

  // Second block: Bring To Front, from below the banana window.
  if (checks.expect(raiseAbove(*d.b, c.hwnd), "%s: before Bring To Front \"%s\" stands above the blocked window", kLabel,
                    d.b->caption.c_str()) &&
      thread.block(c)) {
    const bool chosen = commandWhileBlocked(checks, opt, tw, prober, kBringToFront, c);
    const bool early = above(c.hwnd, d.b->hwnd);
    thread.release();
    if (chosen)
      checks.expect(!early && pollFor(kActionLimitMs, [&] { return above(c.hwnd, d.b->hwnd); }),
                    "%s: Bring To Front on the blocked window lands after the release (%s before it)", kLabel,
                    early ? "already above" : "not above");
  }

  // Third block: Switch To, from the program in front (Bring To Front activated the window).
  SetForegroundWindow(tw.main);
  checks.expect(waitFor(kUiLimitMs, [&] { return GetForegroundWindow() == tw.main; }),
                "%s: before Switch To the program, not the blocked window, is the foreground window", kLabel);
  if (thread.block(c)) {
    const bool chosen = commandWhileBlocked(checks, opt, tw, prober, kSwitchTo, c);
    thread.release();
    if (chosen)
      checks.expect(pollFor(kActionLimitMs, [&] { return GetForegroundWindow() == c.hwnd; }),
                    "%s: Switch To on the blocked window makes it the foreground window once released", kLabel);
  }

  // Fourth block: End Task. The program waits up to kCloseWaitMs for the answer to WM_CLOSE; only
  // that long may a posted probe wait beyond the usual limit.
  if (!thread.block(c)) return;
  HWND box = askEndTask(checks, opt, tw, c, "End Task on the blocked window");
  if (!box) {
    thread.release();
    return;
  }
  HWND yes = buttonWithText(box, "&Yes");
  if (yes) PostMessageA(yes, BM_CLICK, 0, 0);
  a = Answers{};
  prober.watch(a, kCloseWaitMs + 500, kCloseWaitMs + 500);
  checks.expect(waitHidden(box, kUiLimitMs), "%s: End Task on the blocked window: \"&Yes\" closes the box", kLabel);
  checks.expect(a.within(kAnswerLimitMs + kCloseWaitMs),
                "%s: the program answers while End Task runs on a blocked window (%s; posted limit %lu ms)", kLabel,
                a.text().c_str(), static_cast<unsigned long>(kAnswerLimitMs + kCloseWaitMs));
  checks.expect(c.blocked && IsWindow(c.hwnd) && c.closes == 0, "%s: the blocked window got nothing before its release", kLabel);
  thread.release();
  const bool closed = pollFor(kActionLimitMs, [&] { return c.destroyed.load(); });
  checks.expect(closed && c.closes == 1, "%s: after the release the blocked window took its one WM_CLOSE (%d) and closed itself",
                kLabel, c.closes.load());
  checks.expect(pollFor(kScanLimitMs, [&] { return tw.rows() && tw.rowOf(c.caption) < 0; }),
                "%s: the closed window's row goes", kLabel);
}

// End Task on a window that takes its time over WM_CLOSE: the program only asks it to close.
void checkSlowCloser(Checks& checks, const Options& opt, Program& tw, Prober& prober, TaskWindow& s) {
  HWND box = askEndTask(checks, opt, tw, s, "End Task on the slow closer");
  if (!box) return;
  HWND yes = buttonWithText(box, "&Yes");
  if (yes) PostMessageA(yes, BM_CLICK, 0, 0);
  Answers a;
  const bool closed = prober.watch(a, kProbeStretchMs, kSlowCloseMs + kActionLimitMs, [&] { return s.destroyed.load(); });
  checks.expect(closed, "%s: the slow closer closed itself %lu ms after its WM_CLOSE", kLabel,
                static_cast<unsigned long>(kSlowCloseMs));
  checks.expect(s.closes == 1 && s.outsideDestroys == 0 && s.quits == 0 && s.thread.quits() == 0,
                "%s: the slow closer got one WM_CLOSE (%d), no WM_DESTROY from outside (%d) and no WM_QUIT (%d, thread %d)",
                kLabel, s.closes.load(), s.outsideDestroys.load(), s.quits.load(), s.thread.quits());
  checks.expect(a.within(kAnswerLimitMs + kCloseWaitMs),
                "%s: the program answers while End Task waits for the slow closer (%s; posted limit %lu ms)", kLabel,
                a.text().c_str(), static_cast<unsigned long>(kAnswerLimitMs + kCloseWaitMs));
  checks.expect(pollFor(kScanLimitMs, [&] { return tw.rows() && tw.rowOf(s.caption) < 0; }),
                "%s: the slow closer's row goes", kLabel);
}

std::optional<std::string> historyValue(const char* name) {
  const std::string key = std::string(kSettingsKey) + "\\" + kHistoryKey;
  HKEY k = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return std::nullopt;
  char buf[1024] = {};
  DWORD size = sizeof buf - 1, type = 0;
  const LONG rc = RegQueryValueExA(k, name, nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  RegCloseKey(k);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
  return std::string(buf);
}

// A window's whole text, however long (the New Task entry may be thousands of characters).
std::optional<std::string> wholeText(HWND w) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutA(w, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kAnswerLimitMs, &length)) return std::nullopt;
  std::vector<char> buf(length + 2, '\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(w, WM_GETTEXT, buf.size(), reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG,
                           kAnswerLimitMs, &copied))
    return std::nullopt;
  return std::string(buf.data());
}

// Opens New Task, types `text` as the user would (unless `type` is false: the entry shown is taken),
// and presses OK; true once the dialog has gone.
bool runNewTask(Checks& checks, const Options& opt, Program& tw, const std::string& text, const char* what,
                const char* shot = nullptr, const std::string* shownFirst = nullptr, bool type = true) {
  HWND button = buttonWithText(tw.main, "&New Task..");
  if (!checks.expect(button != nullptr, "%s: %s: the \"&New Task..\" button is there", kLabel, what)) return false;
  PostMessageA(button, BM_CLICK, 0, 0);
  HWND dialog = waitShownTopLevel(tw.pid, kNewTaskCaption, nullptr, kUiLimitMs);
  if (!checks.expect(dialog != nullptr, "%s: %s: the button opens \"%s\"", kLabel, what, kNewTaskCaption)) return false;
  auto combos = childrenOfClass(dialog, "ComboBox");
  HWND edit = combos.size() == 1 ? FindWindowExA(combos[0], nullptr, "Edit", nullptr) : nullptr;
  checks.expect(edit && buttonWithText(dialog, "...") && buttonWithText(dialog, "&Ok") && buttonWithText(dialog, "&Cancel"),
                "%s: %s: the dialog has an editable combo box, \"...\", \"&Ok\" and \"&Cancel\"", kLabel, what);
  if (!edit) {
    PostMessageA(dialog, WM_CLOSE, 0, 0);
    return false;
  }
  if (shownFirst) {
    const std::string got = wholeText(combos[0]).value_or("<unreadable>");
    checks.expect(got == *shownFirst, "%s: %s: the dialog opens with the latest entry \"%.80s\" (%u characters; got \"%.80s\", %u)",
                  kLabel, what, shownFirst->c_str(), static_cast<unsigned>(shownFirst->size()), got.c_str(),
                  static_cast<unsigned>(got.size()));
  }
  if (type) {
    // Typed: select what is there, then one character after another.
    PostMessageA(edit, EM_SETSEL, 0, -1);
    for (char ch : text) PostMessageA(edit, WM_CHAR, static_cast<WPARAM>(static_cast<unsigned char>(ch)), 1);
    const bool typed = waitFor(kUiLimitMs, [&] { return wholeText(combos[0]).value_or("") == text; });
    checks.expect(typed, "%s: %s: the combo box shows the typed text", kLabel, what);
  }
  if (shot) screenshot(checks, dialog, opt, shot);
  PostMessageA(buttonWithText(dialog, "&Ok"), BM_CLICK, 0, 0);
  const bool closed = waitHidden(dialog, kUiLimitMs);
  checks.expect(closed, "%s: %s: \"&Ok\" closes the dialog", kLabel, what);
  if (!closed && IsWindow(dialog)) PostMessageA(dialog, WM_CLOSE, 0, 0);
  return closed;
}

// After New Task's OK on a text that starts nothing: the program's "cannot find" box, which OK
// closes, and the program still runs.
void cannotFind(Checks& checks, const Options& opt, Program& tw, const char* what, const char* shot = nullptr) {
  HWND box = waitShownTopLevel(tw.pid, kNewTaskCaption, "#32770", kUiLimitMs);
  if (checks.expect(box != nullptr, "%s: %s: a \"%s\" box answers", kLabel, what, kNewTaskCaption)) {
    const std::vector<std::string> texts = staticTexts(box);
    bool found = false;
    for (const std::string& t : texts) found |= t.rfind("Cannot find 'C:\\", 0) == 0 && t.size() < 200;
    checks.expect(found, "%s: %s: the box says it cannot find the text, shortened (texts: %s)", kLabel, what,
                  joined(texts).substr(0, 300).c_str());
    if (shot) screenshot(checks, box, opt, shot);
    answer(checks, box, "OK", what);
  }
  checks.expect(tw.alive() && waitFor(kUiLimitMs, [&] { return send(tw.main, WM_NULL, 0, 0).has_value(); }),
                "%s: %s: the program still runs", kLabel, what);
}

void checkNewTask(Checks& checks, const Options& opt, Program& tw) {
  // A command line with an argument: the program runs it as typed.
  const std::string eventName = kNewTaskEventPrefix + std::to_string(GetCurrentProcessId());
  HANDLE signal = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  const std::string commandLine = "\"" + driverPath() + "\" " + kSignalArgument + " " + eventName;
  if (signal && runNewTask(checks, opt, tw, commandLine, "command line", "new_task.bmp"))
    checks.expect(WaitForSingleObject(signal, kChildSignalMs) == WAIT_OBJECT_0,
                  "%s: New Task started the driver's child with its argument (it signalled)", kLabel);
  if (signal) CloseHandle(signal);
  auto first = historyValue("0");
  checks.expect(first && *first == commandLine, "%s: HKCU\\%s\\%s value \"0\" holds the text as typed (got %s)", kLabel,
                kSettingsKey, kHistoryKey, first ? ("\"" + *first + "\"").c_str() : "<absent>");

  // A bare path with spaces to an existing program: started whole, not cut at its first space.
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  const std::string dir = joinPath(temp, "Taskwell E2E copy");
  const std::string copy = joinPath(dir, kSignalCopyName);
  CreateDirectoryA(dir.c_str(), nullptr);
  HANDLE copySignal = CreateEventA(nullptr, TRUE, FALSE, kSignalCopyEvent);
  if (checks.expect(CopyFileA(driverPath().c_str(), copy.c_str(), FALSE) && copySignal,
                    "%s: a copy of the driver at \"%s\"", kLabel, copy.c_str()) &&
      runNewTask(checks, opt, tw, copy, "path with spaces", nullptr, &commandLine))
    checks.expect(WaitForSingleObject(copySignal, kChildSignalMs) == WAIT_OBJECT_0,
                  "%s: New Task started the program at a path with spaces (it signalled)", kLabel);
  if (copySignal) CloseHandle(copySignal);
  auto latest = historyValue("0"), older = historyValue("1");
  checks.expect(latest && *latest == copy && older && *older == commandLine,
                "%s: the history holds the path as \"0\" and the command line as \"1\" (got %s, %s)", kLabel,
                latest ? ("\"" + *latest + "\"").c_str() : "<absent>", older ? ("\"" + *older + "\"").c_str() : "<absent>");
  // The copy may still be ending; it goes when it can.
  waitFor(5000, [&] { return DeleteFileA(copy.c_str()) || GetFileAttributesA(copy.c_str()) == INVALID_FILE_ATTRIBUTES; });
  RemoveDirectoryA(dir.c_str());

  // 2,000 typed characters that name nothing, then the same again from the history: the program
  // says it cannot find them and lives on (the shell's code ends a process given such a file).
  const std::string longText = "C:\\" + std::string(kLongEntryLength - 3, 'x');
  if (runNewTask(checks, opt, tw, longText, "2,000 characters"))
    cannotFind(checks, opt, tw, "2,000 characters", "new_task_cannot_find.bmp");
  if (runNewTask(checks, opt, tw, "", "the long entry from the history", nullptr, &longText, false))
    cannotFind(checks, opt, tw, "the long entry from the history");
}

// Goto Process: the Processes page comes up with the row of the window's process selected, among the
// rows shown, and the list has the keyboard focus.
void checkGotoProcess(Checks& checks, const Options& opt, Program& tw, TaskWindow& w) {
  const Command gotoProcess{"Goto Process", false, {'G'}};
  if (!choose(checks, opt, tw, gotoProcess, w, "Goto Process")) return;
  auto tabs = childrenOfClass(tw.main, WC_TABCONTROLA);
  const bool processesPage = tabs.size() == 1 && waitFor(kUiLimitMs, [&] {
    auto cur = send(tabs[0], TCM_GETCURSEL, 0, 0);
    return cur && *cur == 1;
  });
  checks.expect(processesPage, "%s: Goto Process shows the Processes page", kLabel);
  HWND processes = nullptr;
  for (HWND l : childrenOfClass(tw.main, WC_LISTVIEWA))
    if (l != tw.list && reallyVisible(l)) processes = l;
  std::string selected = "<none>";
  if (processes) {
    const int row = selectedRow(processes);
    auto rows = listRows(tw.pid, processes, 1);
    if (rows && row >= 0 && row < static_cast<int>(rows->size())) selected = (*rows)[static_cast<size_t>(row)][0];
  }
  checks.expect(selected == hex8(GetCurrentProcessId()), "%s: Goto Process selects the row of the driver's process %s (got %s)",
                kLabel, hex8(GetCurrentProcessId()).c_str(), selected.c_str());
  if (!processes) return;
  const int row = selectedRow(processes);
  const int top = static_cast<int>(SendMessageA(processes, LVM_GETTOPINDEX, 0, 0));
  const int page = static_cast<int>(SendMessageA(processes, LVM_GETCOUNTPERPAGE, 0, 0));
  checks.expect(row >= top && row < top + page, "%s: Goto Process shows the selected row %d among the rows shown (%d to %d)",
                kLabel, row, top, top + page - 1);
  GUITHREADINFO gui{};
  gui.cbSize = sizeof gui;
  const bool read = GetGUIThreadInfo(GetWindowThreadProcessId(processes, nullptr), &gui) != FALSE;
  checks.expect(read && gui.hwndFocus == processes, "%s: Goto Process gives the Processes list the keyboard focus", kLabel);
  screenshot(checks, tw.main, opt, "goto_process.bmp");
}

// No window of the driver saw a WM_DESTROY it did not bring about itself, or a WM_QUIT.
void checkNothingForced(Checks& checks, DriverWindows& d) {
  std::string forced;
  for (TaskWindow* w : {d.a, d.b, d.c, d.s}) {
    if (!w) continue;
    if (w->outsideDestroys || w->quits || w->thread.quits())
      forced += " \"" + w->caption + "\" (" + std::to_string(w->outsideDestroys.load()) + " destroys, " +
                std::to_string(w->quits.load() + w->thread.quits()) + " quits);";
  }
  checks.expect(forced.empty(), "%s: no window of the driver got WM_DESTROY from outside or WM_QUIT (got:%s)", kLabel,
                forced.empty() ? " none" : forced.c_str());
}

// ---- Starting the program --------------------------------------------------------------------------

// Stores the settings a case starts with: none but the Applications page and the High speed.
bool storeApplicationsAtHigh() {
  return deleteTree(HKEY_CURRENT_USER, kSettingsKey) && storeValue("", "ActivePage", dwordValue(0)) &&
         storeValue("", "&High", dwordValue(1)) && storeValue("", "&Normal", dwordValue(0)) &&
         storeValue("", "&Low", dwordValue(0)) && storeValue("", "&Paused", dwordValue(0));
}

// Starts the program and finds its main window and the list its Applications page shows; false
// (and reported) when it cannot.
bool startOnApplications(Checks& checks, const Options& opt, const char* label, Launched& app, Program& tw) {
  tw.main = startProgram(checks, opt, app, label);
  tw.app = &app;
  tw.pid = app.pid();
  if (!tw.main) return false;
  waitFor(kUiLimitMs, [&] {
    for (HWND l : childrenOfClass(tw.main, WC_LISTVIEWA))
      if (reallyVisible(l)) tw.list = l;
    return tw.list != nullptr;
  });
  return checks.expect(tw.list != nullptr, "%s: the page shows its list", label);
}

// ---- Hundreds of windows -----------------------------------------------------------------------------

// The crowd: kCrowdSize windows on one thread of the driver whose loop looks at its messages only
// every kSlowLoopMs (a program that answers slowly), off the desktop so that they cost no painting.
// Asked to, the thread destroys its oldest window and makes a new one (a row goes, a row comes).
constexpr int kCrowdSize = 300;
constexpr DWORD kSlowLoopMs = 10;
constexpr int kHungCount = 10;
constexpr UINT kChurnMessage = WM_APP + 5;
// The posted probes: kPostedProbes, kPostedPeriodMs apart, each read back every kPostedPollMs. The
// program must handle each within kAnswerLimitMs, the bound every other check of this file holds it
// to (a thread that waited on the hung windows in turn, 200 ms each, would miss it), and the
// probes within kPostedAverageLimitMs on average (a refresh that sorted the whole list again, as the
// page once did, made every probe near a tick wait 700 ms). A single probe may wait several hundred
// milliseconds on a busy machine of two cores: with 300 windows the crowd's thread, the window
// server and the shell's task bar share them with the program, and each change of rows costs Wine's
// list view a layout of all its rows when drawing resumes (25 to 110 ms with 300 large icons on a
// quiet machine, up to 270 ms on a busy one). How many waited longer than kPostedSlowMs is reported.
constexpr int kPostedProbes = 60;
constexpr DWORD kPostedPeriodMs = 100;
constexpr DWORD kPostedPollMs = 5;
constexpr DWORD kPostedSlowMs = 250;
constexpr DWORD kPostedAverageLimitMs = 100;
// How long the rows of the crowd may take to come, and to settle (statuses, icons) before a phase.
constexpr DWORD kCrowdRowsLimitMs = 30000;
constexpr DWORD kCrowdSettleMs = 3000;

class SlowWindowThread {
 public:
  SlowWindowThread() : ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
  ~SlowWindowThread() {
    stop();
    if (ready_) CloseHandle(ready_);
  }
  SlowWindowThread(const SlowWindowThread&) = delete;
  SlowWindowThread& operator=(const SlowWindowThread&) = delete;

  // Makes `count` windows on the thread; true once all are made.
  bool start(int count) {
    count_ = count;
    thread_ = CreateThread(nullptr, 0, &SlowWindowThread::threadMain, this, 0, &threadId_);
    return thread_ && WaitForSingleObject(ready_, kThreadEndMs) == WAIT_OBJECT_0 && made_ == count;
  }
  bool churn() { return PostThreadMessageA(threadId_, kChurnMessage, 0, 0) != FALSE; }
  int churned() const { return churned_; }
  std::string prefix() const { return "tw e2e crowd " + std::to_string(GetCurrentProcessId()) + " #"; }
  void stop() {
    if (!thread_) return;
    stopping_ = true;
    if (WaitForSingleObject(thread_, kThreadEndMs) != WAIT_OBJECT_0) TerminateThread(thread_, 1);
    CloseHandle(thread_);
    thread_ = nullptr;
  }

 private:
  HWND make() {
    const std::string caption = prefix() + std::to_string(next_++);
    HWND h = CreateWindowExA(0, kWindowClass, caption.c_str(), WS_OVERLAPPEDWINDOW, -3000, -3000, 200, 100, nullptr,
                             nullptr, GetModuleHandleA(nullptr), nullptr);
    if (h) ShowWindow(h, SW_SHOWNOACTIVATE);
    return h;
  }
  static DWORD WINAPI threadMain(LPVOID p) {
    auto* self = static_cast<SlowWindowThread*>(p);
    std::deque<HWND> windows;
    for (int i = 0; i < self->count_; ++i)
      if (HWND h = self->make()) windows.push_back(h);
    self->made_ = static_cast<int>(windows.size());
    SetEvent(self->ready_);
    while (!self->stopping_) {
      MSG m;
      while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (!m.hwnd && m.message == kChurnMessage) {
          if (!windows.empty()) {
            DestroyWindow(windows.front());
            windows.pop_front();
          }
          if (HWND h = self->make()) windows.push_back(h);
          ++self->churned_;
          continue;
        }
        TranslateMessage(&m);
        DispatchMessageA(&m);
      }
      Sleep(kSlowLoopMs);
    }
    for (HWND h : windows) DestroyWindow(h);
    return 0;
  }

  HANDLE ready_;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  int count_ = 0;
  int next_ = 0;
  std::atomic<int> made_{0};
  std::atomic<int> churned_{0};
  std::atomic<bool> stopping_{false};
};

// How long posted messages waited before the program handled them.
struct PostedLatency {
  int probes = 0, missed = 0, over = 0;
  DWORD worst = 0, total = 0;
  DWORD average() const { return probes ? total / static_cast<DWORD>(probes) : 0; }
  std::string text() const {
    char buf[200];
    std::snprintf(buf, sizeof buf, "%d posted, %d not handled, %d over %lu ms; average %lu ms, slowest %lu ms", probes,
                  missed, over, static_cast<unsigned long>(kPostedSlowMs), static_cast<unsigned long>(average()),
                  static_cast<unsigned long>(worst));
    return buf;
  }
};

// Every probe handled, none later than kAnswerLimitMs, and their average within its bound; `also` is
// a further condition of the same check.
void expectPrompt(Checks& checks, const PostedLatency& l, const char* label, const std::string& when,
                  bool also = true) {
  checks.expect(also && l.missed == 0 && l.worst <= kAnswerLimitMs && l.average() <= kPostedAverageLimitMs,
                "%s: %s every posted message is handled within %lu ms, on average within %lu ms (%s)", label,
                when.c_str(), static_cast<unsigned long>(kAnswerLimitMs),
                static_cast<unsigned long>(kPostedAverageLimitMs), l.text().c_str());
}

// Posts kPostedProbes hover times to the program's list view, kPostedPeriodMs apart, and reads each
// back with sent messages (answered wherever the program waits) until it took effect: the time a
// posted message waited for the program's message loop. `between` runs before each probe.
PostedLatency measurePosted(Program& tw, DWORD& value, const std::function<void(int)>& between = nullptr) {
  PostedLatency l;
  for (int i = 0; i < kPostedProbes; ++i) {
    const DWORD period = GetTickCount();
    if (between) between(i);
    value = value >= 59000 ? 2000 : value + 1;
    ++l.probes;
    const DWORD start = GetTickCount();
    bool handled = PostMessageA(tw.list, LVM_SETHOVERTIME, 0, static_cast<LPARAM>(value)) != FALSE;
    DWORD took = 0;
    for (;;) {
      DWORD_PTR got = 0;
      took = GetTickCount() - start;
      if (!handled) break;
      if (SendMessageTimeoutA(tw.list, LVM_GETHOVERTIME, 0, 0, SMTO_ABORTIFHUNG, kAnswerLimitMs, &got) && got == value)
        break;
      if (took >= kPostedGiveUpMs) {
        handled = false;
        break;
      }
      Sleep(kPostedPollMs);
    }
    if (!handled) ++l.missed;
    if (took > kPostedSlowMs) ++l.over;
    l.worst = std::max(l.worst, took);
    l.total += took;
    const DWORD spent = GetTickCount() - period;
    if (spent < kPostedPeriodMs) Sleep(kPostedPeriodMs - spent);
  }
  PostMessageA(tw.list, LVM_SETHOVERTIME, 0, static_cast<LPARAM>(-1));
  return l;
}

// The rows of the crowd's windows (by their caption's prefix) and of `others`, with their statuses.
struct CrowdRows {
  int crowd = 0, crowdRunning = 0;
  int others = 0, othersNotResponding = 0;
  std::string otherStatuses;  // "caption: status; " of the others
};
CrowdRows readCrowdRows(Program& tw, const std::string& prefix, const std::vector<std::string>& others) {
  CrowdRows c;
  auto rows = tw.rows();
  if (!rows) return c;
  for (const auto& row : *rows) {
    if (row[0].rfind(prefix, 0) == 0) {
      ++c.crowd;
      c.crowdRunning += row[1] == kRunning;
    } else if (std::find(others.begin(), others.end(), row[0]) != others.end()) {
      ++c.others;
      c.othersNotResponding += row[1] == kNotResponding;
      c.otherStatuses += "\"" + row[1] + "\" ";
    }
  }
  return c;
}

int listCount(HWND list) {
  auto n = send(list, LVM_GETITEMCOUNT, 0, 0);
  return n ? static_cast<int>(*n) : -1;
}

}  // namespace

// Hundreds of windows: the program at High on the Applications page keeps handling posted messages
// promptly while kCrowdSize windows of a slowly answering thread are listed, while kHungCount more
// do not answer at all, and while windows of the crowd come and go.
void runCrowdedApplications(Checks& checks, const Options& opt, VersionSetting& version) {
  const char* label = "crowd";
  if (!checks.expect(version.set("win98"), "%s: set Version=win98", label)) return;
  // No tray icon: a change of it is a message sent to the shell's task bar, which is busy with the
  // buttons of hundreds of windows (and waits on the hung ones) and keeps the program waiting; the
  // Applications page's own cost is what is measured here.
  const bool seeded = storeApplicationsAtHigh() && storeValue("", "&Show icon in tray", dwordValue(0)) &&
                      storeValue("", "&Hide When Minimized", dwordValue(0));
  if (!checks.expect(seeded, "%s: settings stored before the start (Applications page, High, no tray icon)", label))
    return;
  if (!checks.expect(registerWindowClass(), "%s: the driver's window class is registered", label)) return;

  Launched app;
  Program tw;
  if (!startOnApplications(checks, opt, label, app, tw)) return;
  const int before = listCount(tw.list);

  SlowWindowThread crowd;
  if (!checks.expect(crowd.start(kCrowdSize),
                     "%s: the driver makes %d windows on a thread that looks at its messages every %lu ms", label,
                     kCrowdSize, static_cast<unsigned long>(kSlowLoopMs)))
    return;
  DWORD took = 0;
  const bool listed = pollFor(kCrowdRowsLimitMs, [&] { return listCount(tw.list) >= before + kCrowdSize; }, &took);
  checks.expect(listed, "%s: the %d windows have their rows (took %lu ms; %d rows)", label, kCrowdSize,
                static_cast<unsigned long>(took), listCount(tw.list));
  Checks::info("%s: %d new rows came in %lu ms", label, kCrowdSize, static_cast<unsigned long>(took));
  Sleep(kCrowdSettleMs);

  DWORD value = 2000;
  // 1. The crowd alone.
  PostedLatency l = measurePosted(tw, value);
  Checks::info("%s: %d slowly answering windows: %s", label, kCrowdSize, l.text().c_str());
  expectPrompt(checks, l, label, "with " + std::to_string(kCrowdSize) + " slowly answering windows");
  CrowdRows rows = readCrowdRows(tw, crowd.prefix(), {});
  checks.expect(rows.crowd == kCrowdSize && rows.crowdRunning == kCrowdSize,
                "%s: the crowd's %d rows read \"%s\" (%d of %d)", label, kCrowdSize, kRunning, rows.crowdRunning,
                rows.crowd);
  screenshot(checks, tw.main, opt, "crowd.bmp");

  // 2. With kHungCount windows whose threads take no messages (blocked inside their window procedure).
  std::vector<std::unique_ptr<WindowThread>> hungThreads;
  std::vector<TaskWindow*> hung;
  std::vector<std::string> hungCaptions;
  for (int i = 0; i < kHungCount; ++i) {
    hungThreads.push_back(std::make_unique<WindowThread>());
    WindowThread::Plan plan;
    plan.caption = taskCaption(("tw e2e hung " + std::to_string(i)).c_str());
    plan.at = RECT{-3000, -3000, -2800, -2900};
    if (hungThreads.back()->start())
      if (TaskWindow* w = hungThreads.back()->create(plan)) {
        hung.push_back(w);
        hungCaptions.push_back(w->caption);
      }
  }
  checks.expect(static_cast<int>(hung.size()) == kHungCount, "%s: the driver makes %d more windows, one a thread",
                label, kHungCount);
  pollFor(kScanLimitMs + 2000, [&] { return listCount(tw.list) >= before + kCrowdSize + kHungCount; });
  bool blocked = true;
  for (size_t i = 0; i < hung.size(); ++i) blocked &= hungThreads[i]->block(*hung[i]);
  checks.expect(blocked, "%s: the %d threads take no messages", label, kHungCount);
  l = measurePosted(tw, value);
  Checks::info("%s: %d slowly answering and %d hung windows: %s", label, kCrowdSize, kHungCount, l.text().c_str());
  expectPrompt(checks, l, label, "with " + std::to_string(kHungCount) + " hung windows as well");
  rows = readCrowdRows(tw, crowd.prefix(), hungCaptions);
  checks.expect(rows.others == kHungCount && rows.othersNotResponding == kHungCount && rows.crowdRunning == kCrowdSize,
                "%s: the %d hung rows read \"%s\" (%d of %d: %s) and the crowd's \"%s\" (%d of %d)", label, kHungCount,
                kNotResponding, rows.othersNotResponding, rows.others, rows.otherStatuses.c_str(), kRunning,
                rows.crowdRunning, rows.crowd);
  for (auto& t : hungThreads) t->release();

  // 3. Windows of the crowd going and coming: one goes and one comes every third probe.
  l = measurePosted(tw, value, [&](int i) {
    if (i % 3 == 0) crowd.churn();
  });
  Checks::info("%s: %d windows, one going and one coming every %lu ms: %s", label, kCrowdSize,
               static_cast<unsigned long>(3 * kPostedPeriodMs), l.text().c_str());
  expectPrompt(checks, l, label, "while rows go and come (" + std::to_string(crowd.churned()) + " times)",
               crowd.churned() >= kPostedProbes / 3 - 1);

  checks.expect(tw.alive(), "%s: the program still runs", label);
  crowd.stop();
  for (auto& t : hungThreads) t->stop();
  PostMessageA(tw.main, WM_CLOSE, 0, 0);
  checkEnds(checks, app, "crowd: WM_CLOSE to the main window");
}

int runSignalChild(int argc, char** argv) {
  const char* name = argc >= 3 && std::strcmp(argv[1], kSignalArgument) == 0 ? argv[2] : kSignalCopyEvent;
  HANDLE event = OpenEventA(EVENT_MODIFY_STATE, FALSE, name);
  if (!event) return 1;
  SetEvent(event);
  CloseHandle(event);
  return 0;
}

void runApplicationsPage(Checks& checks, const Options& opt, VersionSetting& version) {
  if (!checks.expect(version.set("win98"), "%s: set Version=win98", kLabel)) return;
  const DWORD started = GetTickCount();

  // Stored beforehand: the Applications page, High, confirmations on, Large Icons, no history.
  const bool seeded = storeApplicationsAtHigh() && storeValue("", "&Confirmations", dwordValue(1)) &&
                      storeValue("", "Lar&ge Icons", dwordValue(1)) &&
                      storeValue("", "S&mall Icons", dwordValue(0)) && storeValue("", "&List", dwordValue(0)) &&
                      storeValue("", "&Details", dwordValue(0));
  if (!checks.expect(seeded, "%s: settings stored before the start (Applications page, High, confirmations, Large Icons)",
                     kLabel))
    return;

  DriverWindows d;
  if (!makeWindows(checks, d)) return;

  Launched app;
  Program tw;
  if (!startOnApplications(checks, opt, kLabel, app, tw)) return;
  const std::vector<std::string> columns = headerTexts(tw.pid, listHeader(tw.list));
  checks.expect(columns == std::vector<std::string>{"Task", "Status"}, "%s: the list's columns are \"Task\", \"Status\" (got %s)",
                kLabel, joined(columns).c_str());
  HWND endTask = buttonWithText(tw.main, "&End Task"), switchTo = buttonWithText(tw.main, "&Switch To");
  checks.expect(endTask && switchTo && buttonWithText(tw.main, "&New Task.."),
                "%s: the buttons \"&End Task\", \"&Switch To\" and \"&New Task..\" are under the list", kLabel);
  checks.expect(endTask && !IsWindowEnabled(endTask) && switchTo && !IsWindowEnabled(switchTo) && selectedRow(tw.list) < 0,
                "%s: with no row selected \"&End Task\" and \"&Switch To\" are disabled", kLabel);
  // Every window of the driver has been scanned once the last one made has its row.
  pollFor(kScanLimitMs + 2000, [&] { return tw.rowOf(d.standIn->caption) >= 0 && tw.rowOf(d.s->caption) >= 0; });

  checkRowsAgainstScan(checks, tw);
  checkFilter(checks, tw, d);
  // A selected row enables the buttons that act on it.
  const int bananaRow = tw.rowOf(d.b->caption);
  checks.expect(bananaRow >= 0 && setRowSelected(tw.pid, tw.list, bananaRow) && endTask && switchTo &&
                    waitFor(kUiLimitMs, [&] { return IsWindowEnabled(endTask) && IsWindowEnabled(switchTo); }),
                "%s: with a row selected \"&End Task\" and \"&Switch To\" are enabled", kLabel);
  // The windows the filter kept out are not needed any more.
  d.filters.stop();
  checkAppearAndGo(checks, tw);
  checkViewStyles(checks, opt, tw);
  // The probes go to the list as it is shown from here on.
  Prober prober(tw.main, tw.list);
  checkProperties(checks, opt, tw, *d.b);
  checkCommandsOnAnswering(checks, opt, tw, prober, d);
  checkBlocked(checks, opt, tw, prober, d);
  checkSlowCloser(checks, opt, tw, prober, *d.s);
  checkNewTask(checks, opt, tw);
  checkGotoProcess(checks, opt, tw, *d.b);
  checkNothingForced(checks, d);

  checks.expect(tw.alive(), "%s: the program still runs after the checks", kLabel);
  PostMessageA(tw.main, WM_CLOSE, 0, 0);
  checkEnds(checks, app, "applications: WM_CLOSE to the main window");
  Checks::info("%s: the case took %lu ms", kLabel, static_cast<unsigned long>(GetTickCount() - started));
}

}  // namespace e2e
