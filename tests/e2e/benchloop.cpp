// taskwell_benchloop: the helpers of scripts/bench-wine.sh, which measures what a monitor costs
// under Wine (its own processor time, the wineserver's and its resident memory).
//
//   taskwell_benchloop.exe [--interval <ms>] [--seconds <s>] [--with <piece>[,<piece>...]]
//       The bare loop: every <ms> (default 1750, the Normal speed) one process snapshot walked with
//       Process32First/Next and one GlobalMemoryStatus, from the timer of a hidden window, so the
//       program pumps messages as a GUI program does. The floor of what a monitor's tick can cost.
//       Ends after <s> seconds (default: on WM_CLOSE only). --with adds pieces of a monitor's work
//       to every pass, so their cost can be measured at the tick's own pace:
//         stats        the five statistics read as the program's readers do, through its registry
//         perfinfo     one K32GetPerformanceInfo
//         snapshot     a second process snapshot walk
//         scan         the window list engine's scan: EnumWindows, then per window its style (and
//                      with it the visibility), and of a visible one its caption, owner and thread
//         probe        the Applications page's probe of each listed window: its caption and a
//                      WM_NULL sent with SendMessageCallbackA (the answer taken by the loop)
//         tray         a notification icon whose tooltip changes every pass
//         proclist     the process list as the program takes it: the toolhelp adapter's walk (one
//                      NtQuerySystemInformation where ntdll has it, walked in memory)
//         memory       one GlobalMemoryStatusEx, the memory status the tick reads where the host has it
//         cpu          the processor times (GetSystemTimes), from which the CPU usage is worked out
//         traylevel    a notification icon whose picture and tooltip change only when the CPU
//                      level (twelfths of the processor time, as the tray meter shows it) changes
//   taskwell_benchloop.exe --floor <page> [--interval <ms>] [--seconds <s>]
//       The fair floor of a page: exactly the platform queries the program needs per interval on
//       that page and nothing else (kFloors): the cheapest process list, one memory status, the
//       processor times and one performance information reading per statistics pass, the window
//       scan, a probe of each listed window on the Applications page, the tray meter when its level
//       changes. Pages: applications, processes, performance, tray (minimised: no page's probes).
//   taskwell_benchloop.exe --windows <n> [--processes <p>] [--seconds <s>]
//       Shows n top-level windows with captions, answered by one thread: rows for the
//       Applications pages of the monitors, and targets of the window probes timed below. With
//       --processes, first starts p idle processes of its own (each waits for this one to end), so
//       the monitors list that many more processes.
//   taskwell_benchloop.exe --minimize <exe name> [<timeout ms>]
//       Minimises that main window as its minimise button does (WM_SYSCOMMAND SC_MINIMIZE) and
//       waits until it is minimised or hidden.
//   taskwell_benchloop.exe --select-tab <exe name> <index> [<timeout ms>]
//       Waits for the main window of the running program <exe name> (a visible top-level window
//       with a SysTabControl32 inside), selects its tab <index> with TCM_SETCURFOCUS (which selects
//       the tab and notifies the window as a click does) and waits until the tab control reports
//       it selected. Prints the rows of the list view then shown. Exit code 0 on success.
//   taskwell_benchloop.exe --close <exe name> [<timeout ms>]
//       Posts WM_CLOSE to that main window, shown or hidden, and waits for its process to end (0
//       when it did).
//   taskwell_benchloop.exe --seed-taskwell <page index> <High|Normal|Low|Paused>
//       Stores the page and the update speed Taskwell opens with (its settings key).
//   taskwell_benchloop.exe --time-calls <seconds per call> <wineserver pid> <X server pid>
//                          <explorer pid> [<clock ticks per second>]
//       Times the platform calls a monitor's tick makes, one after another, each repeated for the
//       given time: per call the wall time and the processor time of this process, of the
//       wineserver, of Wine's explorer (desktop, task bar and notification area) and of the X
//       server, the last three read from Linux's /proc (pids of the host; 0 leaves a column out).
//       One "CALL" line per call, tab-separated.
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Toolhelp.h"
#include "platform/win32/Win32Api.h"

#include "e2e_util.h"

#include <psapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr UINT kNormalIntervalMs = 1750;
constexpr const char* kLoopClass = "TaskwellBenchLoop";
constexpr const char* kAppClass = "TaskwellBenchWindow";
constexpr const char* kProbeClass = "TaskwellBenchProbe";

bool SameName(const std::string& a, const std::string& b) {
  return lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

// This program's own path.
std::string OwnPath() {
  char buf[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, buf, sizeof buf);
  return buf;
}

// A window shown together with all its ancestors.
bool Shown(HWND w) {
  for (HWND p = w; p; p = GetParent(p))
    if (!IsWindowVisible(p)) return false;
  return true;
}

std::string BaseName(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// One process walk through the program's toolhelp adapter, as its polling pass takes it; the
// number of processes seen.
DWORD WalkThroughAdapter(taskwell::win32::Win32Toolhelp& toolhelp) {
  const taskwell::HANDLE snap = toolhelp.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  taskwell::PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  DWORD n = 0;
  for (bool ok = toolhelp.Process32First(snap, entry); ok; ok = toolhelp.Process32Next(snap, entry)) ++n;
  toolhelp.CloseHandle(snap);
  return n;
}

// kernel32's K32GetPerformanceInfo, as the program's statistics read it: the system's record of
// this architecture (14 DWORDs in a 32-bit process, pointer-sized counters in a 64-bit one; a
// record of the wrong size is refused before anything is read).
using GetPerformanceInfoFn = BOOL(WINAPI*)(PERFORMANCE_INFORMATION*, DWORD);
GetPerformanceInfoFn PerformanceInfoFunction() {
  static const auto fn = reinterpret_cast<GetPerformanceInfoFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetPerformanceInfo")));
  return fn;
}
bool HasPerformanceInfo() { return PerformanceInfoFunction() != nullptr; }
bool ReadPerformanceInfo(PERFORMANCE_INFORMATION& info) {
  info = PERFORMANCE_INFORMATION{};
  info.cb = sizeof info;
  const GetPerformanceInfoFn fn = PerformanceInfoFunction();
  return fn && fn(&info, sizeof info);
}

// ---- The bare loop ---------------------------------------------------------------------------

DWORD g_deadline = 0;  // GetTickCount value at which the loop ends; 0: never
DWORD g_walkedProcesses = 0;

// The pieces of --with, set up by SetUpPieces and run after the bare loop's own queries.
bool SetUpPieces(const std::string& list, HWND window);
void RunPieces();
void EndPieces();

// Whether a pass makes the bare loop's own queries (the system's toolhelp walk and the 32-bit memory
// status); a floor takes what it needs through its pieces instead.
bool g_baseQueries = true;

void Tick() {
  if (!g_baseQueries) {
    RunPieces();
    return;
  }
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap != INVALID_HANDLE_VALUE) {
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD n = 0;
    for (BOOL ok = Process32First(snap, &entry); ok; ok = Process32Next(snap, &entry)) {
      ++n;
      entry.dwSize = sizeof entry;
    }
    CloseHandle(snap);
    g_walkedProcesses = n;
  }
  MEMORYSTATUS memory{};
  memory.dwLength = sizeof memory;
  GlobalMemoryStatus(&memory);
  RunPieces();
}

LRESULT CALLBACK LoopProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
  case WM_TIMER:
    Tick();
    if (g_deadline && static_cast<LONG>(GetTickCount() - g_deadline) >= 0) DestroyWindow(w);
    return 0;
  case WM_DESTROY:
    EndPieces();
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

int PumpMessages() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}

int RunLoop(UINT intervalMs, DWORD seconds, const std::string& pieces) {
  if (!e2e::registerWindowClass(kLoopClass, LoopProc)) return 1;
  // A hidden top-level window: no task bar button, no row on an Applications page.
  HWND w = CreateWindowExA(0, kLoopClass, "", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!w) return 1;
  if (!SetUpPieces(pieces, w)) {
    std::fprintf(stderr, "unknown piece in \"%s\"\n", pieces.c_str());
    return 2;
  }
  if (seconds) g_deadline = GetTickCount() + seconds * 1000;
  Tick();
  if (!SetTimer(w, 1, intervalMs, nullptr)) return 1;
  PumpMessages();
  std::printf("bare loop ended; last walk saw %lu processes\n", static_cast<unsigned long>(g_walkedProcesses));
  return 0;
}

// ---- Windows for the Applications pages -------------------------------------------------------

LRESULT CALLBACK AppProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
  case WM_TIMER:
    if (g_deadline && static_cast<LONG>(GetTickCount() - g_deadline) >= 0) PostQuitMessage(0);
    return 0;
  case WM_CLOSE:
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(w, msg, wp, lp);
}

std::vector<HWND> MakeAppWindows(int count) {
  std::vector<HWND> out;
  e2e::registerWindowClass(kAppClass, AppProc);
  for (int i = 0; i < count; ++i) {
    char caption[64];
    std::snprintf(caption, sizeof caption, "Benchmark window %d", i + 1);
    HWND w = CreateWindowExA(0, kAppClass, caption, WS_OVERLAPPEDWINDOW, 40 + 30 * i, 40 + 30 * i, 320, 200,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (!w) break;
    ShowWindow(w, SW_SHOWNOACTIVATE);
    out.push_back(w);
  }
  return out;
}

// An idle process of the load: it waits, using no processor time, until the process that started
// it ends or its time is up.
int RunIdle(DWORD parentPid, DWORD seconds) {
  HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, parentPid);
  if (!parent) return 1;
  WaitForSingleObject(parent, seconds ? seconds * 1000 : INFINITE);
  CloseHandle(parent);
  return 0;
}

// Starts this program again with the arguments; false when it could not be started.
bool StartSelf(const std::string& arguments, PROCESS_INFORMATION& pi) {
  const std::string self = OwnPath();
  const std::string cmd = "\"" + self + "\" " + arguments;
  std::vector<char> cmdline(cmd.begin(), cmd.end());
  cmdline.push_back('\0');
  STARTUPINFOA si{};
  si.cb = sizeof si;
  pi = PROCESS_INFORMATION{};
  return CreateProcessA(self.c_str(), cmdline.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi) != FALSE;
}

// Starts `count` idle processes of this program; false when one could not be started.
bool StartIdleProcesses(int count, DWORD seconds) {
  const std::string arguments = "--idle " + std::to_string(GetCurrentProcessId()) + " " + std::to_string(seconds);
  for (int i = 0; i < count; ++i) {
    PROCESS_INFORMATION pi{};
    if (!StartSelf(arguments, pi)) {
      std::fprintf(stderr, "idle process %d of %d not started (error %lu)\n", i + 1, count,
                   static_cast<unsigned long>(GetLastError()));
      return false;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
  }
  return true;
}

int RunWindows(int count, int processes, DWORD seconds) {
  if (processes > 0 && !StartIdleProcesses(processes, seconds)) return 1;
  std::vector<HWND> windows = MakeAppWindows(count);
  if (windows.empty()) return 1;
  if (seconds) {
    g_deadline = GetTickCount() + seconds * 1000;
    SetTimer(windows[0], 1, 10000, nullptr);
  }
  PumpMessages();
  for (HWND w : windows) DestroyWindow(w);
  return 0;
}

// ---- Another program's main window -------------------------------------------------------------

// The Windows process ids of the running processes whose executable is `exe` (file name only),
// other than this process.
std::vector<DWORD> ProcessesNamed(const std::string& exe) {
  std::vector<DWORD> out;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return out;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof entry;
  for (BOOL ok = Process32First(snap, &entry); ok; ok = Process32Next(snap, &entry)) {
    if (entry.th32ProcessID != GetCurrentProcessId() && SameName(BaseName(entry.szExeFile), exe))
      out.push_back(entry.th32ProcessID);
    entry.dwSize = sizeof entry;
  }
  CloseHandle(snap);
  return out;
}

struct MainWindow {
  HWND window = nullptr;
  HWND tabs = nullptr;
  DWORD pid = 0;
};

// A top-level window of one of those processes with a tab control inside, a visible one unless
// hidden ones are asked for too (a monitor hidden in the tray).
MainWindow FindMainWindow(const std::string& exe, bool hiddenToo = false) {
  MainWindow found;
  for (DWORD pid : ProcessesNamed(exe)) {
    for (HWND w : e2e::topLevelWindowsOf(pid)) {
      if (!hiddenToo && !IsWindowVisible(w)) continue;
      std::vector<HWND> tabs = e2e::childrenOfClass(w, WC_TABCONTROLA);
      if (tabs.empty()) continue;
      found.window = w;
      found.tabs = tabs.front();
      found.pid = pid;
      return found;
    }
  }
  return found;
}

MainWindow WaitMainWindow(const std::string& exe, DWORD timeoutMs) {
  MainWindow found;
  e2e::waitFor(timeoutMs, [&] {
    found = FindMainWindow(exe);
    return found.window != nullptr;
  });
  return found;
}

int SelectTab(const std::string& exe, int index, DWORD timeoutMs) {
  MainWindow main = WaitMainWindow(exe, timeoutMs);
  if (!main.window) {
    std::fprintf(stderr, "no main window with a tab control for %s\n", exe.c_str());
    return 1;
  }
  auto count = e2e::send(main.tabs, TCM_GETITEMCOUNT, 0, 0);
  if (!count || index < 0 || index >= *count) {
    std::fprintf(stderr, "%s: tab %d does not exist (%ld tabs)\n", exe.c_str(), index, count ? static_cast<long>(*count) : -1L);
    return 1;
  }
  auto selected = [&] {
    auto cur = e2e::send(main.tabs, TCM_GETCURSEL, 0, 0);
    return cur && *cur == index;
  };
  // The window may still be setting itself up: the selection is asked again until it holds.
  bool ok = e2e::waitFor(timeoutMs, [&] {
    if (!selected()) e2e::send(main.tabs, TCM_SETCURFOCUS, static_cast<WPARAM>(index), 0);
    return selected();
  });
  if (!ok) {
    std::fprintf(stderr, "%s: tab %d was not selected\n", exe.c_str(), index);
    return 1;
  }
  auto text = e2e::tabText(main.pid, main.tabs, index);
  // The list the page shows: the visible list view with the most rows.
  long rows = -1;
  for (HWND list : e2e::childrenOfClass(main.window, WC_LISTVIEWA)) {
    if (!Shown(list)) continue;
    auto n = e2e::send(list, LVM_GETITEMCOUNT, 0, 0);
    if (n && static_cast<long>(*n) > rows) rows = static_cast<long>(*n);
  }
  std::printf("%s: tab %d \"%s\" selected; its list shows %ld rows\n", exe.c_str(), index,
              text ? text->c_str() : "?", rows);
  return 0;
}

int CloseMain(const std::string& exe, DWORD timeoutMs) {
  MainWindow main = FindMainWindow(exe, true);
  if (!main.window) return 0;  // nothing to close
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, main.pid);
  PostMessageA(main.window, WM_CLOSE, 0, 0);
  bool ended = process ? WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0 : false;
  if (process) CloseHandle(process);
  return ended ? 0 : 1;
}

int MinimizeMain(const std::string& exe, DWORD timeoutMs) {
  MainWindow main = WaitMainWindow(exe, timeoutMs);
  if (!main.window) {
    std::fprintf(stderr, "no main window with a tab control for %s\n", exe.c_str());
    return 1;
  }
  const HWND window = main.window;
  PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  if (!e2e::waitFor(timeoutMs, [&] { return IsIconic(window) || !IsWindowVisible(window); })) {
    std::fprintf(stderr, "%s: the main window was not minimised\n", exe.c_str());
    return 1;
  }
  std::printf("%s: minimised%s\n", exe.c_str(), IsWindowVisible(window) ? "" : " and hidden");
  return 0;
}

// ---- Taskwell's settings -----------------------------------------------------------------------

int SeedTaskwell(int page, const std::string& speed) {
  const char* const speeds[] = {"High", "Normal", "Low", "Paused"};
  bool known = false;
  for (const char* s : speeds) known = known || SameName(speed, s);
  if (!known || page < 0 || page > 3) return 2;
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Orvex Software\\Taskwell", 0, nullptr, 0, KEY_WRITE, nullptr,
                      &key, nullptr) != ERROR_SUCCESS)
    return 1;
  auto put = [&](const std::string& name, DWORD value) {
    return RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value) ==
           ERROR_SUCCESS;
  };
  // The speeds are stored under their menu items' captions, exactly one of them on.
  bool ok = put("ActivePage", static_cast<DWORD>(page));
  for (const char* s : speeds) ok = put(std::string("&") + s, SameName(speed, s) ? 1 : 0) && ok;
  RegCloseKey(key);
  return ok ? 0 : 1;
}

// ---- Costs of single calls ---------------------------------------------------------------------

// utime + stime of a host process in clock ticks, read from /proc through Wine's Z: drive; -1
// when it cannot be read. (The wineserver opens files for its clients, so /proc/self would be the
// wineserver: this process's own time comes from GetProcessTimes.)
long long HostTicks(unsigned long pid) {
  char path[64];
  std::snprintf(path, sizeof path, "Z:\\proc\\%lu\\stat", pid);
  HANDLE f = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return -1;
  char buf[1024] = {};
  DWORD got = 0;
  BOOL ok = ReadFile(f, buf, sizeof buf - 1, &got, nullptr);
  CloseHandle(f);
  if (!ok || got == 0) return -1;
  buf[got] = '\0';
  const char* p = std::strrchr(buf, ')');
  if (!p) return -1;
  // After the command's closing parenthesis: state is field 3; utime and stime are 14 and 15.
  long long fields[13] = {};
  p += 1;
  for (int i = 0; i < 13; ++i) {
    while (*p == ' ') ++p;
    if (!*p) return -1;
    char* end = nullptr;
    fields[i] = i == 0 ? 0 : std::strtoll(p, &end, 10);
    while (*p && *p != ' ') ++p;
  }
  return fields[11] + fields[12];
}

struct Watched {
  const char* name;
  unsigned long pid;
};

// This process's user and kernel time, in 100 ns units.
long long OwnTime() {
  FILETIME created, ended, kernel, user;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &ended, &kernel, &user)) return 0;
  auto ticks = [](const FILETIME& t) {
    return static_cast<long long>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
  };
  return ticks(kernel) + ticks(user);
}

class CallTimer {
public:
  CallTimer(double seconds, std::vector<Watched> watched, double hz)
      : seconds_(seconds), watched_(std::move(watched)), hz_(hz) {
    QueryPerformanceFrequency(&freq_);
    std::printf("CALL\tname\tcalls\twall us\tself us");
    for (const Watched& w : watched_) std::printf("\t%s us", w.name);
    std::printf("\n");
    std::fflush(stdout);
  }

  // Repeats `call` for the configured time (at least `minCalls` times) and prints its costs.
  template <class F>
  void Time(const char* name, F call, int minCalls = 3) {
    for (int i = 0; i < 2; ++i) call();  // warm: first-use costs are not the tick's
    std::vector<long long> before;
    for (const Watched& w : watched_) before.push_back(HostTicks(w.pid));
    const long long selfBefore = OwnTime();
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    long calls = 0;
    for (;;) {
      call();
      ++calls;
      QueryPerformanceCounter(&t1);
      const double elapsed = static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq_.QuadPart);
      if (calls >= minCalls && elapsed >= seconds_) break;
    }
    const double wall = static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq_.QuadPart);
    const long long selfAfter = OwnTime();
    std::printf("CALL\t%s\t%ld\t%.1f\t%.1f", name, calls, wall * 1e6 / calls,
                static_cast<double>(selfAfter - selfBefore) / 10.0 / calls);
    for (size_t i = 0; i < watched_.size(); ++i)
      std::printf("\t%s", PerCall(before[i], HostTicks(watched_[i].pid), calls).c_str());
    std::printf("\n");
    std::fflush(stdout);
  }

  // For calls whose answer the system keeps for a while: `count` calls, each after `pauseMs`
  // without calls, timed one by one (wall time only; the processor times would be mostly the pauses').
  template <class F>
  void TimeSpaced(const char* name, F call, int count, DWORD pauseMs) {
    double total = 0;
    for (int i = 0; i < count; ++i) {
      Sleep(pauseMs);
      LARGE_INTEGER t0, t1;
      QueryPerformanceCounter(&t0);
      call();
      QueryPerformanceCounter(&t1);
      total += static_cast<double>(t1.QuadPart - t0.QuadPart) / static_cast<double>(freq_.QuadPart);
    }
    std::printf("CALL\t%s\t%d\t%.1f\t-", name, count, total * 1e6 / count);
    for (size_t i = 0; i < watched_.size(); ++i) std::printf("\t-");
    std::printf("\n");
    std::fflush(stdout);
  }

private:
  std::string PerCall(long long before, long long after, long calls) const {
    if (before < 0 || after < 0) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", static_cast<double>(after - before) / hz_ * 1e6 / calls);
    return text;
  }

  double seconds_;
  std::vector<Watched> watched_;
  double hz_;
  LARGE_INTEGER freq_{};
};

// Answers to WM_NULL sent with SendMessageCallbackA, counted as the message loop takes them.
volatile LONG g_answers = 0;
VOID CALLBACK NoteAnswer(HWND, UINT, ULONG_PTR, LRESULT) { g_answers = g_answers + 1; }

// Takes this thread's messages until `count` answers came (at most a second).
void TakeAnswers(LONG count) {
  const DWORD start = GetTickCount();
  MSG m;
  while (g_answers < count && GetTickCount() - start < 1000) {
    if (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&m);
      continue;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
}

LRESULT CALLBACK ProbeProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  return DefWindowProcA(w, msg, wp, lp);
}

// A window with the controls a monitor's page shows: a status bar of four parts, a report list
// view with small icons, and a text field on a hidden panel.
struct ProbeWindow {
  HWND frame = nullptr;
  HWND status = nullptr;
  HWND list = nullptr;
  HWND hiddenText = nullptr;
  HIMAGELIST images = nullptr;
};

ProbeWindow MakeProbeWindow(HICON rowIcon, int rows) {
  ProbeWindow p;
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
  InitCommonControlsEx(&icc);
  e2e::registerWindowClass(kProbeClass, ProbeProc, COLOR_BTNFACE);
  p.frame = CreateWindowExA(0, kProbeClass, "Benchmark probe", WS_OVERLAPPEDWINDOW, 500, 100, 420, 440, nullptr,
                            nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!p.frame) return p;
  p.status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, p.frame, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
  int parts[4] = {100, 200, 380, -1};
  SendMessageA(p.status, SB_SETPARTS, 4, reinterpret_cast<LPARAM>(parts));
  p.list = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, "", WS_CHILD | WS_VISIBLE | LVS_REPORT, 4, 4, 400, 360,
                           p.frame, nullptr, GetModuleHandleA(nullptr), nullptr);
  p.images = ImageList_Create(16, 16, ILC_COLOR4 | ILC_MASK, 1, 1);
  ImageList_AddIcon(p.images, rowIcon);
  SendMessageA(p.list, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(p.images));
  const char* columns[] = {"PID", "Image name", "Threads", "Priority"};
  for (int c = 0; c < 4; ++c) {
    LVCOLUMNA col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH;
    col.cx = c == 1 ? 160 : 70;
    col.pszText = const_cast<char*>(columns[c]);
    SendMessageA(p.list, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&col));
  }
  for (int r = 0; r < rows; ++r) {
    char text[64];
    std::snprintf(text, sizeof text, "%08X", 0x20 + 4 * r);
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = r;
    item.pszText = text;
    item.iImage = 0;
    SendMessageA(p.list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
    const char* cells[] = {"C:\\windows\\system32\\services.exe", "7", "Normal"};
    for (int c = 1; c < 4; ++c) {
      LVITEMA cell{};
      cell.iSubItem = c;
      cell.pszText = const_cast<char*>(cells[c - 1]);
      SendMessageA(p.list, LVM_SETITEMTEXTA, r, reinterpret_cast<LPARAM>(&cell));
    }
  }
  HWND panel = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 100, 20, p.frame, nullptr, GetModuleHandleA(nullptr), nullptr);
  p.hiddenText = CreateWindowExA(0, "STATIC", "0", WS_CHILD | WS_VISIBLE, 0, 0, 100, 20, panel, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
  ShowWindow(p.frame, SW_SHOWNOACTIVATE);
  UpdateWindow(p.frame);
  return p;
}

// Lets the window's own messages (paints, the shell's answers) run between timed calls.
void Pump() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

BOOL CALLBACK CollectWindow(HWND w, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
  return TRUE;
}

// What the window list engine asks of each top-level window in its scan.
// Whether the window list engine would list the window, asked as the engine asks: the style (a
// top-level window is visible exactly when it has WS_VISIBLE), then of a visible window its caption
// and owner.
bool Listed(HWND w) {
  if (!(GetWindowLongA(w, GWL_STYLE) & WS_VISIBLE)) return false;
  char caption[255];
  if (GetWindowTextA(w, caption, sizeof caption) == 0) return false;
  return !GetWindow(w, GW_OWNER);
}

// The engine's scan: each listed window with its creating thread.
BOOL CALLBACK ScanForList(HWND w, LPARAM lp) {
  if (Listed(w)) {
    GetWindowThreadProcessId(w, nullptr);
    if (lp) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
  }
  return TRUE;
}

HICON LoadResourceIcon(const char* name) {
  return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), name, IMAGE_ICON, 16, 16, 0));
}

int TimeCalls(double seconds, unsigned long serverPid, unsigned long xPid, unsigned long explorerPid, double hz) {
  std::vector<Watched> watched;
  if (serverPid) watched.push_back({"wineserver", serverPid});
  if (explorerPid) watched.push_back({"explorer", explorerPid});
  if (xPid) watched.push_back({"X server", xPid});
  for (const Watched& w : watched)
    if (HostTicks(w.pid) < 0) std::printf("INFO\tcannot read /proc/%lu/stat through Z:\n", w.pid);

  // Eight application windows in another process: the targets of the window probes.
  constexpr int kWindows = 8;
  PROCESS_INFORMATION pi{};
  if (!StartSelf("--windows " + std::to_string(kWindows) + " --seconds 900", pi)) {
    std::fprintf(stderr, "cannot start the window process\n");
    return 1;
  }
  WaitForInputIdle(pi.hProcess, 10000);
  std::vector<HWND> targets;
  e2e::waitFor(10000, [&] {
    targets = e2e::topLevelWindowsOf(pi.dwProcessId);
    return targets.size() >= static_cast<size_t>(kWindows);
  });
  std::vector<HWND> all;
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
  std::printf("INFO\t%u top-level windows, %u of them in the window process\n", static_cast<unsigned>(all.size()),
              static_cast<unsigned>(targets.size()));

  HICON meter[2] = {LoadResourceIcon("Z_2"), LoadResourceIcon("Z_3")};
  ProbeWindow probe = MakeProbeWindow(meter[0], 16);
  Pump();
  CallTimer timer(seconds, watched, hz);

  // The process and memory queries of every tick.
  DWORD processes = 0;
  timer.Time("process snapshot + Process32First/Next walk", [&] {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    DWORD n = 0;
    for (BOOL ok = Process32First(snap, &entry); ok; ok = Process32Next(snap, &entry)) ++n;
    CloseHandle(snap);
    processes = n;
  });
  std::printf("INFO\t%lu processes in a snapshot\n", static_cast<unsigned long>(processes));
  // The same walk through the program's toolhelp adapter, as the polling pass takes it: one
  // NtQuerySystemInformation call where ntdll exports it, walked in memory, with the Wine
  // adjustments (the executable paths are remembered from the warming calls on).
  {
    taskwell::win32::Win32Toolhelp toolhelp;
    DWORD adapted = 0;
    timer.Time("process walk through Win32Toolhelp (NtQuerySystemInformation, Wine adjustments)",
               [&] { adapted = WalkThroughAdapter(toolhelp); });
    std::printf("INFO\t%lu processes in the adapter's walk\n", static_cast<unsigned long>(adapted));
  }
  // The memory status, back to back and 1.1 s after the last call (Wine keeps a reading for a
  // second): the 32-bit record, and the 64-bit one the tick reads in its place where the host has it.
  auto timeMemoryStatus = [&](const std::string& name, auto read) {
    timer.Time(name.c_str(), read);
    timer.TimeSpaced((name + ", 1.1 s after the last call").c_str(), read, 5, 1100);
  };
  timeMemoryStatus("GlobalMemoryStatus", [] {
    MEMORYSTATUS m{};
    m.dwLength = sizeof m;
    GlobalMemoryStatus(&m);
  });
  timeMemoryStatus("GlobalMemoryStatusEx", [] {
    MEMORYSTATUSEX m{};
    m.dwLength = sizeof m;
    GlobalMemoryStatusEx(&m);
  });
  timer.Time("GetSystemInfo + GetVersionExA", [] {
    SYSTEM_INFO s{};
    GetSystemInfo(&s);
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    GetVersionExA(&v);
  });

  // What the statistics' readings are made of on a host that does not publish them.
  timer.Time("thread snapshot + Thread32First/Next walk", [] {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Thread32First(snap, &entry); ok; ok = Thread32Next(snap, &entry)) {
    }
    CloseHandle(snap);
  });
  using GetSystemTimesFn = BOOL(WINAPI*)(FILETIME*, FILETIME*, FILETIME*);
  auto getSystemTimes = reinterpret_cast<GetSystemTimesFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "GetSystemTimes")));
  if (getSystemTimes)
    timer.Time("GetSystemTimes", [&] {
      FILETIME a, b, c;
      getSystemTimes(&a, &b, &c);
    });
  if (HasPerformanceInfo())
    timer.Time("K32GetPerformanceInfo", [&] {
      PERFORMANCE_INFORMATION info{};
      ReadPerformanceInfo(info);
    });

  // The thread count three ways: a thread snapshot, the process snapshot's cntThreads, and the
  // performance information's ThreadCount.
  {
    DWORD viaThreads = 0, viaProcesses = 0, viaInfo = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 thread{};
    thread.dwSize = sizeof thread;
    for (BOOL ok = Thread32First(snap, &thread); ok; ok = Thread32Next(snap, &thread)) ++viaThreads;
    CloseHandle(snap);
    snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32First(snap, &entry); ok; ok = Process32Next(snap, &entry)) viaProcesses += entry.cntThreads;
    CloseHandle(snap);
    PERFORMANCE_INFORMATION info{};
    if (ReadPerformanceInfo(info)) viaInfo = info.ThreadCount;
    std::printf("INFO\tthreads: %lu in a thread snapshot, %lu summed from a process snapshot, %lu in the "
                "performance information\n",
                static_cast<unsigned long>(viaThreads), static_cast<unsigned long>(viaProcesses),
                static_cast<unsigned long>(viaInfo));
  }

  // The statistics as the program's readers take them: the key opened, one value read, the key
  // closed, through the program's own registry (which works the values out on this host).
  {
    taskwell::win32::Win32Registry registry;
    const char* const stats[] = {"KERNEL\\CPUUsage", "KERNEL\\Threads", "KERNEL\\VMs", "VMM\\cpgDiskcache",
                                 "VMM\\cpgCommit"};
    auto read = [&](const char* name) {
      taskwell::HKEY key = 0;
      if (registry.RegOpenKeyExA(0x80000006u /* HKEY_DYN_DATA */, "PerfStats\\StatData", 0xF003F, key) != 0) return;
      taskwell::DWORD type = 0;
      std::vector<taskwell::BYTE> data;
      registry.RegQueryValueExA(key, name, type, data);
      registry.RegCloseKey(key);
    };
    // Starting the statistics, as the readers do once.
    for (const char* s : stats) {
      taskwell::HKEY key = 0;
      if (registry.RegOpenKeyExA(0x80000006u, "PerfStats\\StartStat", 0xF003F, key) != 0) continue;
      taskwell::DWORD type = 0;
      std::vector<taskwell::BYTE> data;
      registry.RegQueryValueExA(key, s, type, data);
      registry.RegCloseKey(key);
    }
    timer.Time("statistics key open + close (HKEY_DYN_DATA\\PerfStats\\StatData)", [&] {
      taskwell::HKEY key = 0;
      if (registry.RegOpenKeyExA(0x80000006u, "PerfStats\\StatData", 0xF003F, key) == 0) registry.RegCloseKey(key);
    });
    for (const char* s : stats) {
      std::string name = std::string("statistic read ") + s;
      timer.Time(name.c_str(), [&] { read(s); });
    }
    timer.Time("statistics pass (all five, as one polling pass)", [&] {
      for (const char* s : stats) read(s);
    });
  }

  // The window list engine's scan and the Applications page's probes.
  timer.Time("EnumWindows scan (style per window; caption, owner, thread of a visible one)", [] {
    EnumWindows(ScanForList, 0);
  });
  if (!targets.empty()) {
    size_t next = 0;
    timer.Time("GetWindowTextA of another process's window", [&] {
      char caption[255];
      GetWindowTextA(targets[next++ % targets.size()], caption, sizeof caption);
    });
    timer.Time("SendMessageTimeoutA WM_NULL to another process's window", [&] {
      DWORD_PTR result = 0;
      SendMessageTimeoutA(targets[next++ % targets.size()], WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 200, &result);
    });
    // The Applications page's question: the send, and the send with its answer taken by the loop.
    timer.Time("SendMessageCallbackA WM_NULL to another process's window (the send)", [&] {
      SendMessageCallbackA(targets[next++ % targets.size()], WM_NULL, 0, 0, NoteAnswer, 0);
    });
    TakeAnswers(0);
    timer.Time("SendMessageCallbackA WM_NULL to another process's window, its answer taken", [&] {
      const LONG before = g_answers;
      SendMessageCallbackA(targets[next++ % targets.size()], WM_NULL, 0, 0, NoteAnswer, 0);
      TakeAnswers(before + 1);
    });
  }

  // Icons: the costly queries of a new process or window, and the tray meter's picture.
  const std::string exe = OwnPath();
  timer.Time("ExtractIconA + DestroyIcon (an executable's icon)", [&] {
    HICON icon = ExtractIconA(GetModuleHandleA(nullptr), exe.c_str(), 0);
    if (reinterpret_cast<UINT_PTR>(icon) > 1) DestroyIcon(icon);
  });
  timer.Time("SHGetFileInfoA SHGFI_EXETYPE", [&] {
    SHFILEINFOA info{};
    SHGetFileInfoA(exe.c_str(), 0, &info, sizeof info, SHGFI_EXETYPE);
  });
  timer.Time("GetProcessVersion", [&] { GetProcessVersion(pi.dwProcessId); });
  timer.Time("LoadImageA of an icon resource + DestroyIcon", [] {
    HICON icon = LoadResourceIcon("Z_5");
    if (icon) DestroyIcon(icon);
  });
  timer.Time("CopyIcon + DestroyIcon", [&] {
    HICON copy = CopyIcon(meter[0]);
    if (copy) DestroyIcon(copy);
  });

  // The tray icon: a changed tooltip handed over with the picture and alone, then a changed
  // picture.
  NOTIFYICONDATAA nid{};
  nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
  nid.hWnd = probe.frame;
  nid.uID = 1;
  nid.uFlags = NIF_ICON | NIF_TIP;
  nid.hIcon = meter[0];
  std::strcpy(nid.szTip, "CPU Usage: 2%");
  if (probe.frame && Shell_NotifyIconA(NIM_ADD, &nid)) {
    int flip = 0;
    timer.Time("Shell_NotifyIconA NIM_MODIFY, tooltip changed", [&] {
      std::strcpy(nid.szTip, (++flip & 1) ? "CPU Usage: 3%" : "CPU Usage: 2%");
      Shell_NotifyIconA(NIM_MODIFY, &nid);
      Pump();
    });
    timer.Time("Shell_NotifyIconA NIM_MODIFY, tooltip changed, handed over alone", [&] {
      std::strcpy(nid.szTip, (++flip & 1) ? "CPU Usage: 3%" : "CPU Usage: 2%");
      nid.uFlags = NIF_TIP;
      Shell_NotifyIconA(NIM_MODIFY, &nid);
      nid.uFlags = NIF_ICON | NIF_TIP;
      Pump();
    });
    timer.Time("Shell_NotifyIconA NIM_MODIFY, picture changed", [&] {
      nid.hIcon = meter[++flip & 1];
      Shell_NotifyIconA(NIM_MODIFY, &nid);
      Pump();
    });
    Shell_NotifyIconA(NIM_DELETE, &nid);
  } else {
    std::printf("INFO\tno notification area: Shell_NotifyIconA not timed\n");
  }

  if (probe.frame) {
    int flip = 0;
    timer.Time("WM_SETICON big + small on a shown top-level window", [&] {
      HICON icon = meter[++flip & 1];
      SendMessageA(probe.frame, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
      SendMessageA(probe.frame, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));
      Pump();
    });
    timer.Time("status bar SB_SETTEXTA, text changed, painted", [&] {
      SendMessageA(probe.status, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>((++flip & 1) ? "CPU Usage: 3%" : "CPU Usage: 2%"));
      UpdateWindow(probe.status);
    });
    timer.Time("status bar SB_SETTEXTA, same text, painted", [&] {
      SendMessageA(probe.status, SB_SETTEXTA, 1, reinterpret_cast<LPARAM>("CPU Usage: 2%"));
      UpdateWindow(probe.status);
    });
    timer.Time("SetWindowTextA of a text field on a hidden page", [&] {
      SetWindowTextA(probe.hiddenText, (++flip & 1) ? "1234" : "1235");
    });
    timer.Time("list view of 16 rows: redraw off, on, whole list repainted", [&] {
      SendMessageA(probe.list, WM_SETREDRAW, FALSE, 0);
      SendMessageA(probe.list, WM_SETREDRAW, TRUE, 0);
      InvalidateRect(probe.list, nullptr, TRUE);
      UpdateWindow(probe.list);
    });
    timer.Time("list view of 16 rows: redraw off, on, painted (no InvalidateRect)", [&] {
      SendMessageA(probe.list, WM_SETREDRAW, FALSE, 0);
      SendMessageA(probe.list, WM_SETREDRAW, TRUE, 0);
      UpdateWindow(probe.list);
    });
    timer.Time("list view of 16 rows: UpdateWindow with nothing invalid", [&] { UpdateWindow(probe.list); });
    timer.Time("list view: one cell's text changed, painted", [&] {
      LVITEMA cell{};
      cell.iSubItem = 2;
      cell.pszText = const_cast<char*>((++flip & 1) ? "7" : "8");
      SendMessageA(probe.list, LVM_SETITEMTEXTA, 3, reinterpret_cast<LPARAM>(&cell));
      UpdateWindow(probe.list);
    });
    timer.Time("PeekMessageA with an empty queue", [] {
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    });
    DestroyWindow(probe.frame);
  }
  if (probe.images) ImageList_Destroy(probe.images);
  for (HICON icon : meter)
    if (icon) DestroyIcon(icon);
  std::printf("INFO\tthis process's own time in all: %.0f ms\n", static_cast<double>(OwnTime()) / 1e4);
  std::fflush(stdout);
  TerminateProcess(pi.hProcess, 0);
  WaitForSingleObject(pi.hProcess, 5000);
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return 0;
}

// ---- Pieces of a monitor's work for the bare loop -----------------------------------------------

struct Pieces {
  bool stats = false, perfinfo = false, snapshot = false, scan = false, probe = false,
       tray = false, cpu = false, traylevel = false, proclist = false, memory = false;
  std::unique_ptr<taskwell::win32::Win32Toolhelp> toolhelp;
  // The processor times of the last pass (100 ns units) and the tray meter's level shown (-1: none).
  unsigned long long idle = 0, busy = 0;
  int level = -1;
  std::unique_ptr<taskwell::win32::Win32Registry> registry;
  NOTIFYICONDATAA nid{};
  HICON trayIcon = nullptr;
  unsigned pass = 0;
  std::vector<HWND> probed;  // the windows a scan at the start listed
} g_pieces;

constexpr const char* kStatNames[] = {"KERNEL\\CPUUsage", "KERNEL\\Threads", "KERNEL\\VMs", "VMM\\cpgDiskcache",
                                      "VMM\\cpgCommit"};

// Reads one statistic value as the readers do: key opened, value read, key closed.
void ReadStat(taskwell::win32::Win32Registry& registry, const char* key, const char* name) {
  taskwell::HKEY h = 0;
  if (registry.RegOpenKeyExA(0x80000006u /* HKEY_DYN_DATA */, key, 0xF003F /* KEY_ALL_ACCESS */, h) != 0) return;
  taskwell::DWORD type = 0;
  std::vector<taskwell::BYTE> data;
  registry.RegQueryValueExA(h, name, type, data);
  registry.RegCloseKey(h);
}

// What the window list engine asks of a window, in its order or with the visibility first.
bool SetUpPieces(const std::string& list, HWND window) {
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(',', start);
    if (end == std::string::npos) end = list.size();
    const std::string piece = list.substr(start, end - start);
    start = end + 1;
    if (piece == "stats") g_pieces.stats = true;
    else if (piece == "perfinfo") g_pieces.perfinfo = true;
    else if (piece == "snapshot") g_pieces.snapshot = true;
    else if (piece == "scan") g_pieces.scan = true;
    else if (piece == "probe") g_pieces.probe = true;
    else if (piece == "tray") g_pieces.tray = true;
    else if (piece == "cpu") g_pieces.cpu = true;
    else if (piece == "proclist") g_pieces.proclist = true;
    else if (piece == "memory") g_pieces.memory = true;
    else if (piece == "traylevel") g_pieces.traylevel = g_pieces.cpu = true;
    else if (!piece.empty()) return false;
  }
  if (g_pieces.tray && g_pieces.traylevel) return false;
  if (g_pieces.probe) {
    EnumWindows(ScanForList, reinterpret_cast<LPARAM>(&g_pieces.probed));
  }
  if (g_pieces.proclist) g_pieces.toolhelp = std::make_unique<taskwell::win32::Win32Toolhelp>();
  if (g_pieces.stats) {
    g_pieces.registry = std::make_unique<taskwell::win32::Win32Registry>();
    // Starting the statistics, as the readers do once.
    for (const char* name : kStatNames) ReadStat(*g_pieces.registry, "PerfStats\\StartStat", name);
  }
  if (g_pieces.tray || g_pieces.traylevel) {
    g_pieces.trayIcon = LoadResourceIcon("Z_2");
    g_pieces.nid.cbSize = NOTIFYICONDATAA_V1_SIZE;
    g_pieces.nid.hWnd = window;
    g_pieces.nid.uID = 1;
    g_pieces.nid.uFlags = NIF_ICON | NIF_TIP;
    g_pieces.nid.hIcon = g_pieces.trayIcon;
    std::strcpy(g_pieces.nid.szTip, "CPU Usage: 2%");
    Shell_NotifyIconA(NIM_ADD, &g_pieces.nid);
  }
  return true;
}

void RunPieces() {
  ++g_pieces.pass;
  if (g_pieces.proclist) g_walkedProcesses = WalkThroughAdapter(*g_pieces.toolhelp);
  if (g_pieces.memory) {
    MEMORYSTATUSEX m{};
    m.dwLength = sizeof m;
    GlobalMemoryStatusEx(&m);
  }
  if (g_pieces.stats)
    for (const char* name : kStatNames) ReadStat(*g_pieces.registry, "PerfStats\\StatData", name);
  if (g_pieces.perfinfo) {
    PERFORMANCE_INFORMATION info{};
    ReadPerformanceInfo(info);
  }
  if (g_pieces.snapshot) {
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32First(snap, &entry); ok; ok = Process32Next(snap, &entry)) entry.dwSize = sizeof entry;
    CloseHandle(snap);
  }
  if (g_pieces.scan) EnumWindows(ScanForList, 0);
  if (g_pieces.probe) {
    for (HWND w : g_pieces.probed) {
      char caption[255];
      GetWindowTextA(w, caption, sizeof caption);
      SendMessageCallbackA(w, WM_NULL, 0, 0, NoteAnswer, 0);
    }
  }
  if (g_pieces.tray) {
    std::snprintf(g_pieces.nid.szTip, sizeof g_pieces.nid.szTip, "CPU Usage: %u%%", g_pieces.pass % 2 + 2);
    Shell_NotifyIconA(NIM_MODIFY, &g_pieces.nid);
  }
  if (g_pieces.cpu) {
    FILETIME idle{}, kernel{}, user{};
    if (GetSystemTimes(&idle, &kernel, &user)) {
      auto value = [](const FILETIME& t) { return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
      // The kernel time includes the idle time.
      const unsigned long long idleNow = value(idle), busyNow = value(kernel) + value(user) - value(idle);
      const unsigned long long idleSpan = idleNow - g_pieces.idle, busySpan = busyNow - g_pieces.busy;
      const bool first = g_pieces.idle == 0 && g_pieces.busy == 0;
      g_pieces.idle = idleNow;
      g_pieces.busy = busyNow;
      if (!first && g_pieces.traylevel && idleSpan + busySpan > 0) {
        const unsigned percent = static_cast<unsigned>((busySpan * 100 + (idleSpan + busySpan) / 2) / (idleSpan + busySpan));
        const int level = static_cast<int>((percent * 12 + 50) / 100);
        if (level != g_pieces.level) {
          // A new level: its picture and its tooltip, in one change.
          char name[8];
          std::snprintf(name, sizeof name, "Z_%d", level);
          HICON icon = LoadResourceIcon(name);
          g_pieces.nid.hIcon = icon ? icon : g_pieces.trayIcon;
          std::snprintf(g_pieces.nid.szTip, sizeof g_pieces.nid.szTip, "CPU Usage: %u%%", percent);
          Shell_NotifyIconA(NIM_MODIFY, &g_pieces.nid);
          if (icon) {
            if (g_pieces.trayIcon) DestroyIcon(g_pieces.trayIcon);
            g_pieces.trayIcon = icon;
          }
          g_pieces.level = level;
        }
      }
    }
  }
}

// The fair floor of each page: the pieces a pass needs there, in place of the bare loop's own walk
// and memory status. Every page takes the process list and the memory status as cheaply as the
// platform gives them, reads the statistics (the processor times and one performance information
// reading), scans the windows and keeps the tray meter; only the Applications page probes its
// rows. Minimised in the tray the program still reconciles its process list, reads the memory
// status and the statistics every pass, and its window list engine still scans on its own timer
// (so every page is current the moment the window comes back): the tray's floor is those queries
// and the meter, without a page's probes.
struct FloorRow {
  const char* page;
  const char* pieces;
};
constexpr FloorRow kFloors[] = {
    {"applications", "proclist,memory,perfinfo,scan,probe,traylevel"},
    {"processes", "proclist,memory,perfinfo,scan,traylevel"},
    {"performance", "proclist,memory,perfinfo,scan,traylevel"},
    {"tray", "proclist,memory,perfinfo,scan,traylevel"},
};

const FloorRow* FloorOf(const std::string& page) {
  for (const FloorRow& row : kFloors)
    if (SameName(page, row.page)) return &row;
  return nullptr;
}

void EndPieces() {
  if (g_pieces.tray || g_pieces.traylevel) Shell_NotifyIconA(NIM_DELETE, &g_pieces.nid);
  if (g_pieces.trayIcon) DestroyIcon(g_pieces.trayIcon);
  g_pieces.trayIcon = nullptr;
}

unsigned long Number(const char* text) {
  return text ? std::strtoul(text, nullptr, 10) : 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: taskwell_benchloop.exe [--interval <ms>] [--seconds <s>] [--with <piece>,...]\n"
               "       taskwell_benchloop.exe --floor <applications|processes|performance|tray> [--interval <ms>] [--seconds <s>]\n"
               "       taskwell_benchloop.exe --windows <n> [--processes <p>] [--seconds <s>]\n"
               "       taskwell_benchloop.exe --minimize <exe name> [<timeout ms>]\n"
               "       taskwell_benchloop.exe --select-tab <exe name> <index> [<timeout ms>]\n"
               "       taskwell_benchloop.exe --close <exe name> [<timeout ms>]\n"
               "       taskwell_benchloop.exe --seed-taskwell <page index> <High|Normal|Low|Paused>\n"
               "       taskwell_benchloop.exe --time-calls <seconds> <wineserver pid> <X pid> <explorer pid> [<hz>]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "--select-tab") {
    if (argc < 4) return Usage();
    return SelectTab(argv[2], static_cast<int>(Number(argv[3])), argc > 4 ? Number(argv[4]) : 30000);
  }
  if (mode == "--close") {
    if (argc < 3) return Usage();
    return CloseMain(argv[2], argc > 3 ? Number(argv[3]) : 15000);
  }
  if (mode == "--minimize") {
    if (argc < 3) return Usage();
    return MinimizeMain(argv[2], argc > 3 ? Number(argv[3]) : 15000);
  }
  if (mode == "--idle") {
    if (argc < 4) return Usage();
    return RunIdle(Number(argv[2]), Number(argv[3]));
  }
  if (mode == "--seed-taskwell") {
    if (argc < 4) return Usage();
    return SeedTaskwell(static_cast<int>(Number(argv[2])), argv[3]);
  }
  if (mode == "--time-calls") {
    if (argc < 6) return Usage();
    const double seconds = std::strtod(argv[2], nullptr);
    const double hz = argc > 6 ? std::strtod(argv[6], nullptr) : 100.0;
    return TimeCalls(seconds > 0 ? seconds : 1.0, Number(argv[3]), Number(argv[4]), Number(argv[5]),
                     hz > 0 ? hz : 100.0);
  }
  // The bare loop and the windows take the same optional settings.
  UINT interval = kNormalIntervalMs;
  DWORD seconds = 0;
  int windows = 0, processes = 0;
  std::string pieces;
  const FloorRow* floor = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--interval" && i + 1 < argc)
      interval = static_cast<UINT>(Number(argv[++i]));
    else if (arg == "--seconds" && i + 1 < argc)
      seconds = Number(argv[++i]);
    else if (arg == "--windows" && i + 1 < argc)
      windows = static_cast<int>(Number(argv[++i]));
    else if (arg == "--processes" && i + 1 < argc)
      processes = static_cast<int>(Number(argv[++i]));
    else if (arg == "--with" && i + 1 < argc)
      pieces = argv[++i];
    else if (arg == "--floor" && i + 1 < argc) {
      if (!(floor = FloorOf(argv[++i]))) return Usage();
    } else
      return Usage();
  }
  if (windows > 0) return RunWindows(windows, processes, seconds);
  if (floor) {
    if (!pieces.empty()) return Usage();
    g_baseQueries = false;
    pieces = floor->pieces;
  }
  return RunLoop(interval ? interval : kNormalIntervalMs, seconds, pieces);
}
