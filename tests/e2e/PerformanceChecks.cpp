// The Performance and System Info pages and the usage logs as another process sees them, under
// Windows 98.
//
// Stored beforehand: the Performance page, the High update speed (a refresh tick every 750 ms),
// both usage logs on, written into a directory of the driver's; in HKLM a registered owner and
// organization of the driver's (put back afterwards). A child of the driver told it runs on
// Windows 98 as well (itself with --facts) reads the system facts the program shows. Then:
//   - the figures of the Performance page and the status bar against the driver's own readings:
//     the thread count (a thread snapshot), committed memory and disk cache (GetPerformanceInfo,
//     looked up at run time), the memory totals (the child's GlobalMemoryStatusEx), the process
//     count, the MEM gauge's fill against committed memory over the page file (GlobalMemoryStatusEx).
//     The driver is large-address aware, as the program is: its 64-bit readings owe nothing to the
//     program's own reading of them, and its address space is the program's;
//   - CPU usage (status panel 1 and the gauge's figure) against the driver's own GetSystemTimes
//     over the same seconds, while a child of the driver (itself with --burn) keeps a processor
//     busy, and again after it ended; the fall between the two against the driver's own;
//   - the program's own processor time over 10 idle seconds (written to idle_cpu_time.txt), read the
//     way that saw the burning child's own time (Wine 8 gives GetProcessTimes of another process no
//     running times; GetThreadTimes of its threads has them), and the log lines those seconds added;
//   - the System Info page against the child's facts, the seeded owner and organization, the up time
//     against GetTickCount;
//   - the end of the process within a few seconds of WM_CLOSE;
//   - the usage log files after the close: header, lines, values, time stamps against the driver's
//     clock (copied to the artifacts as cpu_usage.log and mem_usage.log).
// Screenshots: performance_burning.bmp (while the child burns) and system_info.bmp.
#include "driver_common.h"

#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <tuple>

namespace e2e {

namespace {

constexpr const char* kLabel = "performance";
constexpr const char* kSystemLabel = "system info";
constexpr const char* kLogLabel = "usage logs";
constexpr const char* kLogsKey = "Logs";
constexpr const char* kVersionKey = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion";
constexpr const char* kSeededOwner = "Orvex E2E Owner 4711";
constexpr const char* kSeededOrganization = "Orvex Software E2E Org. 0815";
constexpr const char* kLogHeader = "\"Date\",\"Time\",\"Usage\"\r\n";
constexpr int kPerformanceTab = 2;
constexpr int kSystemInfoTab = 3;

// The High speed's refresh tick.
constexpr DWORD kTickMs = 750;
// A shown CPU figure covers the reader's last interval (750 ms at High) and is shown by the next
// tick: samples of the program are taken this much after the driver's window opens and closes.
constexpr DWORD kShownLagMs = 750;
// How long the shown CPU figures are sampled in each window, and how often.
constexpr DWORD kCpuWindowMs = 6000;
constexpr DWORD kCpuSampleMs = 250;
// After the load starts or stops, the time until every shown figure covers only the new state: a
// reader interval, a tick, and some slack for the child's start.
constexpr DWORD kCpuSettleMs = 2500;
// Percentage points between the mean of the shown figures and the driver's own reading of the same
// window: the program's 750 ms readings do not start and end with the driver's window (up to about
// 1.5 s of 6 s differ), other processes of the machine change their load in between, and figures
// are rounded.
constexpr double kCpuTolerance = 15.0;
// The child burns this long: the settling, the window, the sample lag and the screenshot fit in it.
constexpr DWORD kBurnMs = 14000;
// The driver's own reading while the child burns must show at least this share of the load the
// child makes (busy threads / processors), or the comparison says nothing about a loaded machine.
constexpr double kBurnSeenShare = 0.7;

// Threads: the program's count is up to one reader interval (1500 ms at High) plus a tick old, and
// Wine's own processes start and end threads now and then.
constexpr long kThreadTolerance = 5;
// Committed memory and disk cache move with everything the machine runs: 5 % of the driver's
// figure, at least 16 MB, between the program's reading (up to 1.5 s old) and the driver's.
constexpr double kMemoryShare = 0.05;
constexpr long long kMemoryFloorK = 16384;
// The MEM gauge's percentage against committed memory over the page file, in points: the figures
// move between the readings (2 points), and the fill is whole pixels of the gauge's height.
constexpr double kMemPercentTolerance = 2.0;
constexpr COLORREF kGaugeFill = RGB(128, 255, 0);
constexpr int kProcessTolerance = 3;
// How long a figure may take to agree with the driver's reading.
constexpr DWORD kAgreeTimeoutMs = 10000;

// The program's own processor time over an idle stretch at High, as a share of one processor.
constexpr DWORD kIdleWindowMs = 10000;
constexpr double kIdleCpuLimit = 0.05;
// A WM_CLOSE ends the process within this time.
constexpr DWORD kPromptCloseMs = 5000;
// Up time against GetTickCount, and log time stamps against the driver's clock, in seconds.
constexpr LONGLONG kUpTimeToleranceS = 3;
constexpr LONGLONG kClockToleranceS = 3;

// ---- Texts ---------------------------------------------------------------------------------------

std::optional<long long> decimal(const std::string& s, const std::string& suffix = "") {
  return parseNumber(s, "", suffix);
}

std::string hex8(DWORD v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08lX", static_cast<unsigned long>(v));
  return buf;
}

std::string shown(const std::optional<std::string>& text) { return text ? "\"" + *text + "\"" : "<unreadable>"; }

// ---- The driver's own readings -------------------------------------------------------------------

struct SystemTimes {
  ULONGLONG idle = 0, kernel = 0, user = 0;
};

ULONGLONG ticks(const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

std::optional<SystemTimes> systemTimes() {
  FILETIME idle{}, kernel{}, user{};
  if (!GetSystemTimes(&idle, &kernel, &user)) return std::nullopt;
  return SystemTimes{ticks(idle), ticks(kernel), ticks(user)};
}

// The busy share of all processors between two readings, in percent (the kernel time includes the
// idle time).
double busyPercent(const SystemTimes& a, const SystemTimes& b) {
  const double idle = static_cast<double>(b.idle - a.idle);
  const double kernel = static_cast<double>(b.kernel - a.kernel);
  const double user = static_cast<double>(b.user - a.user);
  const double total = kernel + user;
  if (total <= 0) return -1;
  return std::clamp((kernel - idle + user) * 100.0 / total, 0.0, 100.0);
}

long countThreads() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  THREADENTRY32 te{};
  te.dwSize = sizeof te;
  long n = 0;
  for (BOOL more = Thread32First(snap, &te); more; more = Thread32Next(snap, &te)) ++n;
  CloseHandle(snap);
  return n;
}

// Committed memory and the disk cache in kilobytes, from GetPerformanceInfo (kernel32's
// K32GetPerformanceInfo, else psapi's), looked up at run time.
struct MemoryReading {
  ULONGLONG commitBytes = 0;
  ULONGLONG cacheBytes = 0;
};

std::optional<MemoryReading> performanceInfo() {
  using Fn = BOOL(WINAPI*)(PPERFORMANCE_INFORMATION, DWORD);
  static Fn fn = [] {
    Fn f = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "K32GetPerformanceInfo")));
    if (!f) {
      if (HMODULE psapi = LoadLibraryA("psapi.dll"))
        f = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(psapi, "GetPerformanceInfo")));
    }
    return f;
  }();
  PERFORMANCE_INFORMATION info{};
  info.cb = sizeof info;
  if (!fn || !fn(&info, sizeof info)) return std::nullopt;
  return MemoryReading{static_cast<ULONGLONG>(info.CommitTotal) * info.PageSize,
                       static_cast<ULONGLONG>(info.SystemCache) * info.PageSize};
}

// The memory status with 64-bit figures, as the driver reads it.
std::optional<MEMORYSTATUSEX> memoryStatus() {
  MEMORYSTATUSEX m{};
  m.dwLength = sizeof m;
  if (!GlobalMemoryStatusEx(&m)) return std::nullopt;
  return m;
}

long long kilobytes(ULONGLONG bytes) { return static_cast<long long>(bytes / 1024); }

long long memoryTolerance(long long kilobytes) {
  return std::max(kMemoryFloorK, static_cast<long long>(static_cast<double>(std::llabs(kilobytes)) * kMemoryShare));
}

// Local time as seconds (for comparisons within seconds).
LONGLONG localSeconds(const SYSTEMTIME& st) {
  FILETIME ft{};
  if (!SystemTimeToFileTime(&st, &ft)) return -1;
  return static_cast<LONGLONG>(ticks(ft) / 10000000ULL);
}

LONGLONG nowSeconds() {
  SYSTEMTIME st{};
  GetLocalTime(&st);
  return localSeconds(st);
}

// Kernel plus user time of a process, in 100 ns units, as GetProcessTimes gives it.
std::optional<ULONGLONG> processTimes(DWORD pid) {
  HANDLE p = OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid);
  if (!p) return std::nullopt;
  FILETIME created{}, exited{}, kernel{}, user{};
  const BOOL ok = GetProcessTimes(p, &created, &exited, &kernel, &user);
  CloseHandle(p);
  if (!ok) return std::nullopt;
  return ticks(kernel) + ticks(user);
}

// The same as the sum of GetThreadTimes over the process's threads now living (`ids`, when given,
// receives which).
std::optional<ULONGLONG> threadTimes(DWORD pid, std::set<DWORD>* ids = nullptr) {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return std::nullopt;
  THREADENTRY32 te{};
  te.dwSize = sizeof te;
  ULONGLONG sum = 0;
  int threads = 0;
  for (BOOL more = Thread32First(snap, &te); more; more = Thread32Next(snap, &te)) {
    if (te.th32OwnerProcessID != pid) continue;
    HANDLE t = OpenThread(THREAD_QUERY_INFORMATION, FALSE, te.th32ThreadID);
    if (!t) continue;
    FILETIME created{}, exited{}, kernel{}, user{};
    if (GetThreadTimes(t, &created, &exited, &kernel, &user)) {
      sum += ticks(kernel) + ticks(user);
      ++threads;
      if (ids) ids->insert(te.th32ThreadID);
    }
    CloseHandle(t);
  }
  CloseHandle(snap);
  if (threads == 0) return std::nullopt;
  return sum;
}

// How the driver reads another process's processor time: the method that saw the burning child's.
enum class CpuClock { ProcessTimes, ThreadTimes, None };

const char* clockName(CpuClock c) {
  switch (c) {
    case CpuClock::ProcessTimes: return "GetProcessTimes";
    case CpuClock::ThreadTimes: return "GetThreadTimes summed over the process's threads";
    default: return "no method";
  }
}

std::optional<ULONGLONG> cpuTime(CpuClock c, DWORD pid, std::set<DWORD>* ids = nullptr) {
  if (c == CpuClock::ProcessTimes) return processTimes(pid);
  if (c == CpuClock::ThreadTimes) return threadTimes(pid, ids);
  return std::nullopt;
}

// ---- Files ---------------------------------------------------------------------------------------

// The whole file, read while others may write it.
std::optional<std::string> readFile(const std::string& path) {
  HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string out;
  char buf[65536];
  DWORD got = 0;
  while (ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
  CloseHandle(f);
  return out;
}

bool writeFile(const std::string& path, const std::string& text) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && ok;
}

// ---- The facts child -----------------------------------------------------------------------------

using Facts = std::map<std::string, std::string>;

std::optional<Facts> readFacts(const std::string& path) {
  auto text = readFile(path);
  if (!text) return std::nullopt;
  Facts facts;
  size_t at = 0;
  while (at < text->size()) {
    size_t end = text->find('\n', at);
    if (end == std::string::npos) end = text->size();
    const std::string line = text->substr(at, end - at);
    at = end + 1;
    const size_t eq = line.find('=');
    if (eq != std::string::npos) facts[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return facts;
}

unsigned long fact(const Facts& facts, const char* name) {
  auto it = facts.find(name);
  return it == facts.end() ? 0 : std::strtoul(it->second.c_str(), nullptr, 10);
}

// A memory fact, in kilobytes (the child wrote bytes, 64-bit).
long long factKilobytes(const Facts& facts, const char* name) {
  auto it = facts.find(name);
  return it == facts.end() ? 0 : kilobytes(std::strtoull(it->second.c_str(), nullptr, 10));
}

std::string factText(const Facts& facts, const char* name) {
  auto it = facts.find(name);
  return it == facts.end() ? std::string("<not read>") : it->second;
}

// Starts the facts child with the driver's exe told it runs on Windows 98 (the setting is put back
// at once) and reads what it wrote.
std::optional<Facts> childFacts(Checks& checks, const std::string& dir) {
  const std::string exe = driverPath();
  const std::string file = joinPath(dir, "facts.txt");
  DeleteFileA(file.c_str());
  bool done = false;
  {
    ScopedRegistryValue version(HKEY_CURRENT_USER, "Software\\Wine\\AppDefaults\\" + baseName(exe), "Version");
    if (!checks.expect(version.set(textValue("win98")), "%s: the driver's own %s is told Version=win98 for its child",
                       kSystemLabel, baseName(exe).c_str()))
      return std::nullopt;
    Launched child;
    std::string err;
    if (!checks.expect(child.start(exe, err, std::string(kFactsArgument) + " \"" + file + "\""),
                       "%s: facts child started %s", kSystemLabel, err.c_str()))
      return std::nullopt;
    done = child.waitExit(20000) && child.exitCode() == 0;
    checks.expect(done, "%s: the facts child wrote its facts and ended (exit code %lu)", kSystemLabel,
                  static_cast<unsigned long>(child.exitCode()));
    checks.expect(version.restore(), "%s: the driver's own Version setting put back", kSystemLabel);
  }
  if (!done) return std::nullopt;
  auto facts = readFacts(file);
  DeleteFileA(file.c_str());
  // The child read the system as Windows 98 does: version 4.10 of the 95 family.
  const bool win98 = facts && fact(*facts, "platformId") == VER_PLATFORM_WIN32_WINDOWS && fact(*facts, "major") == 4 &&
                     fact(*facts, "minor") == 10;
  checks.expect(win98, "%s: the facts child runs as Windows 98 (platform %lu, version %lu.%lu)", kSystemLabel,
                facts ? fact(*facts, "platformId") : 0UL, facts ? fact(*facts, "major") : 0UL,
                facts ? fact(*facts, "minor") : 0UL);
  return facts;
}

// ---- Windows of the program ----------------------------------------------------------------------

// The group box (a BUTTON of style BS_GROUPBOX) with this caption.
HWND groupBox(HWND main, const char* text) {
  for (HWND b : childrenOfClass(main, "Button")) {
    if ((GetWindowLongA(b, GWL_STYLE) & BS_TYPEMASK) != BS_GROUPBOX) continue;
    if (caption(b) == text) return b;
  }
  return nullptr;
}

RECT screenRect(HWND w) {
  RECT r{};
  GetWindowRect(w, &r);
  return r;
}

// The windows of class `cls` inside `group` on the same row as its STATIC caption `text`, to the
// caption's right, from left to right.
std::vector<HWND> rowFields(HWND group, const char* text, const char* cls) {
  std::vector<HWND> out;
  if (!group) return out;
  HWND label = nullptr;
  for (HWND s : childrenOfClass(group, "Static"))
    if (caption(s) == text) label = s;
  if (!label) return out;
  const RECT lr = screenRect(label);
  for (HWND w : childrenOfClass(group, cls)) {
    if (w == label) continue;
    const RECT r = screenRect(w);
    if (std::labs(r.top - lr.top) <= 4 && r.left >= lr.right - 2) out.push_back(w);
  }
  std::sort(out.begin(), out.end(), [](HWND a, HWND b) { return screenRect(a).left < screenRect(b).left; });
  return out;
}

// The right-aligned STATIC value of a figure row, or null.
HWND figureValue(HWND group, const char* text) {
  auto fields = rowFields(group, text, "Static");
  return fields.empty() ? nullptr : fields.front();
}

// The gauge (the program's painted bar) inside the group.
HWND gaugeBar(HWND group) {
  auto bars = group ? childrenOfClass(group, "TaskwellGauge") : std::vector<HWND>{};
  return bars.size() == 1 ? bars[0] : nullptr;
}

// The share of the gauge's height painted in its fill colour, in percent, read from the screen
// along its middle column (the fill grows from the bottom); its height in pixels in `height`.
std::optional<double> gaugePercent(HWND gauge, int& height) {
  RECT r{};
  if (!gauge || !GetClientRect(gauge, &r) || r.bottom <= 0) return std::nullopt;
  POINT origin{0, 0};
  ClientToScreen(gauge, &origin);
  height = r.bottom;
  HDC screen = GetDC(nullptr);
  if (!screen) return std::nullopt;
  int filled = 0;
  for (int y = r.bottom - 1; y >= 0 && GetPixel(screen, origin.x + r.right / 2, origin.y + y) == kGaugeFill; --y) ++filled;
  ReleaseDC(nullptr, screen);
  return 100.0 * filled / r.bottom;
}

// The centred figure of a gauge panel inside the group.
HWND gaugeFigure(HWND group) {
  if (!group) return nullptr;
  for (HWND s : childrenOfClass(group, "Static"))
    if ((GetWindowLongA(s, GWL_STYLE) & SS_TYPEMASK) == SS_CENTER) return s;
  return nullptr;
}

std::optional<long long> figure(HWND w, const char* suffix = "") {
  if (!w) return std::nullopt;
  auto text = windowText(w);
  return text ? decimal(*text, suffix) : std::nullopt;
}

struct PerformanceWindows {
  DWORD pid = 0;
  HWND statusBar = nullptr;
  HWND cpuFigure = nullptr;  // valueCPUUsage
  HWND memFigure = nullptr;  // valueMemUsage
  HWND memGauge = nullptr;   // ggMemUsage
  HWND totals = nullptr, memory = nullptr, virt = nullptr;
};

// Every figure row of the bottom groups: its group, its caption.
struct FigureRow {
  HWND PerformanceWindows::*group;
  const char* groupCaption;
  const char* caption;
};
constexpr FigureRow kFigureRows[] = {
    {&PerformanceWindows::totals, " Totals ", "VMs:"},
    {&PerformanceWindows::totals, " Totals ", "Threads"},
    {&PerformanceWindows::totals, " Totals ", "Processes"},
    {&PerformanceWindows::memory, " Memory (K) ", "Phys. Total"},
    {&PerformanceWindows::memory, " Memory (K) ", "Phys. Available"},
    {&PerformanceWindows::memory, " Memory (K) ", "Disk Cache"},
    {&PerformanceWindows::memory, " Memory (K) ", "Page File Total"},
    {&PerformanceWindows::memory, " Memory (K) ", "Page File Avail."},
    {&PerformanceWindows::memory, " Memory (K) ", "Commit"},
    {&PerformanceWindows::virt, " Virtual (K) ", "Total"},
    {&PerformanceWindows::virt, " Virtual (K) ", "Available"},
};

bool findPerformanceWindows(Checks& checks, HWND main, PerformanceWindows& w) {
  auto bars = childrenOfClass(main, STATUSCLASSNAMEA);
  w.statusBar = bars.size() == 1 ? bars[0] : nullptr;
  HWND cpu = groupBox(main, " CPU Usage "), mem = groupBox(main, " MEM Usage ");
  w.cpuFigure = gaugeFigure(cpu);
  w.memFigure = gaugeFigure(mem);
  w.memGauge = gaugeBar(mem);
  w.totals = groupBox(main, " Totals ");
  w.memory = groupBox(main, " Memory (K) ");
  w.virt = groupBox(main, " Virtual (K) ");
  bool ok = checks.expect(w.statusBar != nullptr, "%s: the main window has its status bar", kLabel);
  ok &= checks.expect(cpu && w.cpuFigure && reallyVisible(w.cpuFigure),
                      "%s: group \" CPU Usage \" shows a centred STATIC figure", kLabel);
  ok &= checks.expect(mem && w.memFigure && reallyVisible(w.memFigure) && w.memGauge && reallyVisible(w.memGauge),
                      "%s: group \" MEM Usage \" shows its gauge and a centred STATIC figure", kLabel);
  std::string missing;
  for (const FigureRow& row : kFigureRows) {
    HWND value = figureValue(w.*row.group, row.caption);
    const bool right = value && (GetWindowLongA(value, GWL_STYLE) & SS_TYPEMASK) == SS_RIGHT;
    const auto number = figure(value);
    if (!right || !number || !reallyVisible(value))
      missing += std::string(" ") + row.groupCaption + "\"" + row.caption + "\" (" + (value ? shown(windowText(value)) : "no value") + ")";
  }
  ok &= checks.expect(missing.empty(),
                      "%s: each of the %u figure rows of Totals, Memory (K) and Virtual (K) has a right-aligned "
                      "STATIC number to the right of its caption (wrong:%s)",
                      kLabel, static_cast<unsigned>(std::size(kFigureRows)), missing.empty() ? " none" : missing.c_str());
  return ok;
}

// ---- Figures against the driver's readings ---------------------------------------------------

// Polls until the figure agrees with the driver's reading taken just before and just after it;
// reports the last comparison.
void expectNear(Checks& checks, const char* what, const std::function<std::optional<long long>()>& shownValue,
                const std::function<std::optional<long long>()>& ours, const std::function<long long(long long)>& tolerance,
                const char* why) {
  std::optional<long long> got, before, after;
  const bool ok = waitFor(kAgreeTimeoutMs, [&] {
    before = ours();
    got = shownValue();
    after = ours();
    if (!got || !before || !after) return false;
    const long long lo = std::min(*before, *after), hi = std::max(*before, *after);
    const long long tol = tolerance(hi);
    return *got >= lo - tol && *got <= hi + tol;
  });
  const long long tol = after ? tolerance(*after) : 0;
  checks.expect(ok, "%s: %s shows %lld, the driver reads %lld..%lld (tolerance %lld: %s)", kLabel, what,
                got.value_or(-1), before.value_or(-1), after.value_or(-1), tol, why);
}

// The MEM gauge shows committed memory in percent of the page file: the driver's GetPerformanceInfo
// over its GlobalMemoryStatusEx, read just before and just after the gauge.
void checkMemGauge(Checks& checks, const PerformanceWindows& w) {
  auto percent = []() -> std::optional<double> {
    auto counted = performanceInfo();
    auto status = memoryStatus();
    if (!counted || !status || status->ullTotalPageFile == 0) return std::nullopt;
    return 100.0 * static_cast<double>(counted->commitBytes) / static_cast<double>(status->ullTotalPageFile);
  };
  std::optional<double> got, before, after;
  int height = 0;
  const bool ok = waitFor(kAgreeTimeoutMs, [&] {
    before = percent();
    got = gaugePercent(w.memGauge, height);
    after = percent();
    if (!got || !before || !after || height <= 0) return false;
    // The fill is the percentage's whole pixels: up to one pixel's worth below it.
    const double pixel = 100.0 / height;
    return *got <= 100.0 && *got >= std::min(*before, *after) - kMemPercentTolerance - pixel &&
           *got <= std::max(*before, *after) + kMemPercentTolerance;
  });
  checks.expect(ok, "%s: the MEM gauge is filled %.1f %% of its %d pixels, committed memory over the page file is "
                "%.1f..%.1f %% by the driver (tolerance %.0f points and a pixel)",
                kLabel, got ? *got : -1.0, height, before ? *before : -1.0, after ? *after : -1.0, kMemPercentTolerance);
}

void checkFigures(Checks& checks, const PerformanceWindows& w, const std::optional<Facts>& facts) {
  auto commitK = []() -> std::optional<long long> {
    auto m = performanceInfo();
    return m ? std::optional<long long>(kilobytes(m->commitBytes)) : std::nullopt;
  };
  auto cacheK = []() -> std::optional<long long> {
    auto m = performanceInfo();
    return m ? std::optional<long long>(kilobytes(m->cacheBytes)) : std::nullopt;
  };
  if (!checks.expect(performanceInfo().has_value(), "%s: the driver reads GetPerformanceInfo", kLabel)) return;
  const auto memTol = [](long long k) { return memoryTolerance(k); };
  const char* memWhy = "5 % of the driver's figure, at least 16 MB: the machine's memory moves";

  expectNear(checks, "Totals \"Threads\"", [&] { return figure(figureValue(w.totals, "Threads")); },
             []() -> std::optional<long long> {
               long n = countThreads();
               return n > 0 ? std::optional<long long>(n) : std::nullopt;
             },
             [](long) { return kThreadTolerance; }, "the program's count is up to 2.25 s old");
  expectNear(checks, "Totals \"Processes\"", [&] { return figure(figureValue(w.totals, "Processes")); },
             []() -> std::optional<long long> {
               int n = countProcesses();
               return n > 0 ? std::optional<long long>(n) : std::nullopt;
             },
             [](long) { return static_cast<long>(kProcessTolerance); }, "processes of Wine come and go");
  const auto vms = figure(figureValue(w.totals, "VMs:"));
  checks.expect(vms && *vms >= 1, "%s: Totals \"VMs:\" counts at least the system machine (got %lld)", kLabel,
                vms.value_or(-1));

  expectNear(checks, "Memory \"Commit\"", [&] { return figure(figureValue(w.memory, "Commit")); }, commitK, memTol, memWhy);
  expectNear(checks, "Memory \"Disk Cache\"", [&] { return figure(figureValue(w.memory, "Disk Cache")); }, cacheK, memTol,
             memWhy);
  expectNear(checks, "the MEM Usage figure", [&] { return figure(w.memFigure, "K"); }, commitK, memTol, memWhy);
  expectNear(checks, "status panel 2's committed figure",
             [&]() -> std::optional<long long> {
               auto text = statusText(w.pid, w.statusBar, 2);
               size_t end = 0;
               return text ? parseNumber(*text, "Mem Usage: ", "K / ", &end) : std::nullopt;
             },
             commitK, memTol, memWhy);
  checkMemGauge(checks, w);

  // The totals stand still: the same as a Windows 98 program of the driver reads them.
  if (!facts) return;
  struct Total {
    HWND PerformanceWindows::*group;
    const char* caption;
    const char* fact;
  };
  static constexpr Total kTotals[] = {
      {&PerformanceWindows::memory, "Phys. Total", "totalPhys"},
      {&PerformanceWindows::memory, "Page File Total", "totalPageFile"},
      {&PerformanceWindows::virt, "Total", "totalVirtual"},
  };
  for (const Total& t : kTotals) {
    const auto got = figure(figureValue(w.*t.group, t.caption));
    const long long want = factKilobytes(*facts, t.fact);
    checks.expect(got && *got == want, "%s: \"%s\" shows %lld K, GlobalMemoryStatusEx says %lld K", kLabel, t.caption,
                  got.value_or(-1), want);
  }
  // The status bar's page file total is the same figure.
  auto text = statusText(w.pid, w.statusBar, 2);
  size_t end = 0;
  std::optional<long long> pageTotal;
  if (text && parseNumber(*text, "Mem Usage: ", "K / ", &end)) pageTotal = parseNumber(text->substr(end), "", "K");
  const long long wantTotal = factKilobytes(*facts, "totalPageFile");
  checks.expect(pageTotal && *pageTotal == wantTotal, "%s: status panel 2 %s ends with the page file total %lldK", kLabel,
                shown(text).c_str(), wantTotal);
  // The available figures: physical memory and page file as the child read them a few seconds
  // before (they move with the machine), the program's own address space within its total.
  struct Available {
    const char* caption;
    const char* fact;
  };
  static constexpr Available kAvailable[] = {{"Phys. Available", "availPhys"}, {"Page File Avail.", "availPageFile"}};
  for (const Available& a : kAvailable) {
    const auto got = figure(figureValue(w.memory, a.caption));
    const long long want = factKilobytes(*facts, a.fact);
    checks.expect(got && std::llabs(*got - want) <= memoryTolerance(want),
                  "%s: \"%s\" shows %lld K, GlobalMemoryStatusEx said %lld K (tolerance %lld K)", kLabel, a.caption,
                  got.value_or(-1), want, memoryTolerance(want));
  }
  const auto avail = figure(figureValue(w.virt, "Available")), total = figure(figureValue(w.virt, "Total"));
  checks.expect(avail && total && *avail > 0 && *avail <= *total, "%s: \"Available\" %lld K lies within \"Total\" %lld K",
                kLabel, avail.value_or(-1), total.value_or(-1));
}

// ---- CPU usage -----------------------------------------------------------------------------------

// The shown CPU figures over a window against the driver's own reading of the same window.
struct CpuWindow {
  double driver = -1;        // the driver's own busy percent over the window
  std::vector<long> status;  // status panel 1, one per sample
  std::vector<long> figure;  // valueCPUUsage, one per sample
  int unreadable = 0;
  std::string disagreeing;   // samples where the two differ
  double mean(const std::vector<long>& v) const {
    if (v.empty()) return -1;
    double sum = 0;
    for (long x : v) sum += static_cast<double>(x);
    return sum / static_cast<double>(v.size());
  }
  std::string list(const std::vector<long>& v) const {
    std::string s;
    for (long x : v) {
      if (!s.empty()) s += ' ';
      s += std::to_string(x);
    }
    return s;
  }
};

CpuWindow measureCpu(const PerformanceWindows& w) {
  CpuWindow out;
  const auto t0 = systemTimes();
  std::optional<SystemTimes> t1;
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD elapsed = GetTickCount() - start;
    if (!t1 && elapsed >= kCpuWindowMs) t1 = systemTimes();
    if (elapsed > kCpuWindowMs + kShownLagMs) break;
    if (elapsed >= kShownLagMs) {
      // Panel, figure, panel: a tick between the reads changes the panel once at most.
      auto s1 = statusText(w.pid, w.statusBar, 1);
      auto f = windowText(w.cpuFigure);
      auto s2 = statusText(w.pid, w.statusBar, 1);
      // -1 for what cannot be read as a number.
      const long long a = s1 ? parseNumber(*s1, "CPU Usage: ", "%").value_or(-1) : -1;
      const long long b = s2 ? parseNumber(*s2, "CPU Usage: ", "%").value_or(-1) : -1;
      const long long c = f ? decimal(*f, "%").value_or(-1) : -1;
      if (a < 0 || b < 0 || c < 0 || a > 100 || c > 100) {
        ++out.unreadable;
      } else {
        out.status.push_back(a);
        out.figure.push_back(c);
        if (c != a && c != b) {
          // Outside messages reach the program inside a tick as well (while it waits on another
          // process), between its status bar step and its page step: read again once the tick is
          // over.
          Sleep(150);
          auto s3 = statusText(w.pid, w.statusBar, 1);
          auto f2 = windowText(w.cpuFigure);
          if (!s3 || !f2 || *s3 != "CPU Usage: " + *f2)
            out.disagreeing += " " + *s1 + "/" + *f + "/" + *s2 + " then " + shown(s3) + "/" + shown(f2);
        }
      }
    }
    Sleep(kCpuSampleMs);
  }
  if (t0 && t1) out.driver = busyPercent(*t0, *t1);
  return out;
}

void checkCpuWindow(Checks& checks, const CpuWindow& cpu, const char* when) {
  checks.expect(cpu.driver >= 0, "%s: %s: the driver reads GetSystemTimes (%.1f %%)", kLabel, when, cpu.driver);
  checks.expect(cpu.unreadable == 0 && cpu.status.size() >= 10,
                "%s: %s: %u samples of \"CPU Usage: N%%\" and the figure \"N%%\", each a percentage (%d unreadable)",
                kLabel, when, static_cast<unsigned>(cpu.status.size()), cpu.unreadable);
  checks.expect(cpu.disagreeing.empty(), "%s: %s: the figure and status panel 1 show the same value (differ:%s)", kLabel,
                when, cpu.disagreeing.empty() ? " never" : cpu.disagreeing.c_str());
  const double status = cpu.mean(cpu.status), figure = cpu.mean(cpu.figure);
  checks.expect(!cpu.status.empty() && std::fabs(status - cpu.driver) <= kCpuTolerance,
                "%s: %s: status panel 1 averages %.1f %%, the driver measured %.1f %% over the same %lu ms (tolerance "
                "%.0f points; shown: %s)",
                kLabel, when, status, cpu.driver, static_cast<unsigned long>(kCpuWindowMs), kCpuTolerance,
                cpu.list(cpu.status).c_str());
  checks.expect(!cpu.figure.empty() && std::fabs(figure - cpu.driver) <= kCpuTolerance,
                "%s: %s: the CPU Usage figure averages %.1f %%, the driver measured %.1f %% (tolerance %.0f points)",
                kLabel, when, figure, cpu.driver, kCpuTolerance);
}

// ---- Usage logs --------------------------------------------------------------------------------

struct LogFile {
  bool exists = false;
  bool headerOk = false;
  bool endsWithLine = false;  // the last byte ends a line
  std::string head;           // the first bytes, as read
  struct Line {
    LONGLONG when = -1;  // local time in seconds
    unsigned long long value = 0;
    std::string text;
  };
  std::vector<Line> lines;
  std::string bad;  // lines that are not "date","time","value"
};

// Digits exactly `n` long at `at`; advances `at`.
bool digits(const std::string& s, size_t& at, size_t n, unsigned& value) {
  if (at + n > s.size()) return false;
  value = 0;
  for (size_t i = 0; i < n; ++i) {
    const char c = s[at + i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  at += n;
  return true;
}

bool literal(const std::string& s, size_t& at, const std::string& text) {
  if (s.compare(at, text.size(), text) != 0) return false;
  at += text.size();
  return true;
}

// "yyyy/mm/dd","HH:mm:ss","<digits>" with the locale's separators.
std::optional<LogFile::Line> parseLine(const std::string& s, const std::string& dateSep, const std::string& timeSep) {
  SYSTEMTIME st{};
  unsigned y = 0, mo = 0, d = 0, h = 0, mi = 0, se = 0;
  size_t at = 0;
  if (!(literal(s, at, "\"") && digits(s, at, 4, y) && literal(s, at, dateSep) && digits(s, at, 2, mo) &&
        literal(s, at, dateSep) && digits(s, at, 2, d) && literal(s, at, "\",\"") && digits(s, at, 2, h) &&
        literal(s, at, timeSep) && digits(s, at, 2, mi) && literal(s, at, timeSep) && digits(s, at, 2, se) &&
        literal(s, at, "\",\"")))
    return std::nullopt;
  const size_t start = at;
  while (at < s.size() && s[at] >= '0' && s[at] <= '9') ++at;
  if (at == start || at - start > 10 || !literal(s, at, "\"") || at != s.size()) return std::nullopt;
  st.wYear = static_cast<WORD>(y);
  st.wMonth = static_cast<WORD>(mo);
  st.wDay = static_cast<WORD>(d);
  st.wHour = static_cast<WORD>(h);
  st.wMinute = static_cast<WORD>(mi);
  st.wSecond = static_cast<WORD>(se);
  LogFile::Line line;
  line.when = localSeconds(st);
  if (line.when < 0) return std::nullopt;
  line.value = std::strtoull(s.c_str() + start, nullptr, 10);
  line.text = s;
  return line;
}

LogFile readLog(const std::string& path, const std::string& dateSep, const std::string& timeSep) {
  LogFile log;
  auto bytes = readFile(path);
  if (!bytes) return log;
  log.exists = true;
  const std::string header = kLogHeader;
  log.head = bytes->substr(0, header.size());
  log.headerOk = log.head == header;
  if (!log.headerOk) return log;
  log.endsWithLine = bytes->size() >= 2 && bytes->compare(bytes->size() - 2, 2, "\r\n") == 0;
  size_t at = header.size();
  while (at < bytes->size()) {
    size_t end = bytes->find("\r\n", at);
    if (end == std::string::npos) break;  // a line still being written
    const std::string text = bytes->substr(at, end - at);
    at = end + 2;
    auto line = parseLine(text, dateSep, timeSep);
    if (line)
      log.lines.push_back(*line);
    else if (log.bad.size() < 400)
      log.bad += " [" + text + "]";
  }
  return log;
}

std::string localeText(LCTYPE type, const char* fallback) {
  char buf[16] = {};
  return GetLocaleInfoA(LOCALE_USER_DEFAULT, type, buf, sizeof buf) > 1 ? std::string(buf) : std::string(fallback);
}

std::string printable(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\r')
      out += "\\r";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

struct LogSetup {
  std::string dir, cpu, mem, dateSep, timeSep;
};

// The log files after the program closed.
// committedAtStart: the driver's reading when the logs began. The machine's committed memory moves
// while other programs run, so each logged value is held against both readings, at the start and
// at the close.
void checkLogsAfterClose(Checks& checks, const Options& opt, const LogSetup& logs, LONGLONG startS, LONGLONG closeS,
                         ULONGLONG committedAtStart) {
  const auto memory = performanceInfo();
  const ULONGLONG committedAtClose = memory ? memory->commitBytes : 0;
  const ULONGLONG committedLow = std::min(committedAtStart, committedAtClose);
  const ULONGLONG committedHigh = std::max(committedAtStart, committedAtClose);
  size_t counts[2] = {0, 0};
  for (const auto& [isCpu, path, name, artifact] : {std::tuple{true, logs.cpu, "CPU", "cpu_usage.log"},
                                                    std::tuple{false, logs.mem, "memory", "mem_usage.log"}}) {
    const LogFile log = readLog(path, logs.dateSep, logs.timeSep);
    counts[isCpu ? 0 : 1] = log.lines.size();
    if (!checks.expect(log.exists, "%s: the %s log %s exists", kLogLabel, name, path.c_str())) continue;
    CopyFileA(path.c_str(), joinPath(opt.artifacts, artifact).c_str(), FALSE);
    if (!checks.expect(log.headerOk, "%s: the %s log starts with the bytes %s (got %s)", kLogLabel, name,
                       printable(kLogHeader).c_str(), printable(log.head).c_str()))
      continue;
    checks.expect(log.bad.empty() && log.endsWithLine && !log.lines.empty(),
                  "%s: each of the %u lines of the %s log reads \"yyyy%smm%sdd\",\"HH%smm%sss\",\"<digits>\" and ends "
                  "with CRLF (other:%s%s)",
                  kLogLabel, static_cast<unsigned>(log.lines.size()), name, logs.dateSep.c_str(), logs.dateSep.c_str(),
                  logs.timeSep.c_str(), logs.timeSep.c_str(), log.bad.empty() ? " none" : log.bad.c_str(),
                  log.endsWithLine ? "" : "; the file does not end with CRLF");
    std::string outside, backwards, implausible;
    LONGLONG previous = -1;
    for (const auto& line : log.lines) {
      if (line.when < startS - kClockToleranceS || line.when > closeS + kClockToleranceS)
        outside += " [" + line.text + "]";
      if (line.when < previous) backwards += " [" + line.text + "]";
      previous = line.when;
      const bool plausible =
          isCpu ? line.value <= 100 : line.value >= committedLow / 2 && line.value <= committedHigh * 2;
      if (!plausible && implausible.size() < 400) implausible += " [" + line.text + "]";
    }
    checks.expect(outside.empty(), "%s: the %s log's time stamps lie between the program's start and close by the "
                  "driver's clock, within %lld s (outside:%s)",
                  kLogLabel, name, static_cast<long long>(kClockToleranceS), outside.empty() ? " none" : outside.c_str());
    checks.expect(backwards.empty(), "%s: the %s log's time stamps never go back (back:%s)", kLogLabel, name,
                  backwards.empty() ? " none" : backwards.c_str());
    if (isCpu)
      checks.expect(implausible.empty(), "%s: each CPU log value is a percentage 0..100 (other:%s)", kLogLabel,
                    implausible.empty() ? " none" : implausible.c_str());
    else
      checks.expect(memory && implausible.empty(),
                    "%s: each memory log value is committed bytes, within half to twice the driver's %llu..%llu "
                    "(at the start and the close; other:%s)",
                    kLogLabel, static_cast<unsigned long long>(committedLow),
                    static_cast<unsigned long long>(committedHigh), implausible.empty() ? " none" : implausible.c_str());
  }
  checks.expect(counts[0] == counts[1], "%s: both logs have a line for every tick (%u CPU lines, %u memory lines)",
                kLogLabel, static_cast<unsigned>(counts[0]), static_cast<unsigned>(counts[1]));
}

// ---- Idle stretch ------------------------------------------------------------------------------

// The program's processor time over kIdleWindowMs in which the driver only waits, and the log lines
// those seconds added.
void checkIdleStretch(Checks& checks, const Options& opt, DWORD pid, const LogSetup& logs, CpuClock clock) {
  const LogFile cpu0 = readLog(logs.cpu, logs.dateSep, logs.timeSep), mem0 = readLog(logs.mem, logs.dateSep, logs.timeSep);
  const DWORD start = GetTickCount();
  std::set<DWORD> threads0, threads1;
  const auto t0 = cpuTime(clock, pid, &threads0);
  Sleep(kIdleWindowMs);
  const auto t1 = cpuTime(clock, pid, &threads1);
  const DWORD elapsed = GetTickCount() - start;
  const LogFile cpu1 = readLog(logs.cpu, logs.dateSep, logs.timeSep), mem1 = readLog(logs.mem, logs.dateSep, logs.timeSep);
  const LONGLONG now = nowSeconds();

  const bool measured = t0 && t1 && *t1 >= *t0;
  const double cpuMs = measured ? static_cast<double>(*t1 - *t0) / 10000.0 : -1;
  const double share = measured ? cpuMs / elapsed : -1;
  const bool ok = measured && share < kIdleCpuLimit;
  // Summed over threads, a thread that ended within the stretch would be missed: say whether the
  // threads stayed the same.
  std::string threadNote;
  if (clock == CpuClock::ThreadTimes)
    threadNote = threads0 == threads1 ? "the same " + std::to_string(threads1.size()) + " threads at both ends"
                                      : std::to_string(threads0.size()) + " threads at the start, " +
                                            std::to_string(threads1.size()) + " at the end, not all the same";
  char text[1024];
  std::snprintf(text, sizeof text,
                "taskwell.exe (pid %lu), update speed High, Performance page shown, both usage logs on\r\n"
                "idle stretch: %lu ms (the driver only waited)\r\n"
                "processor time (kernel + user): %.1f ms, read with %s%s%s\r\n"
                "share of one processor: %.2f %% (limit %.0f %%)\r\n"
                "%s\r\n",
                static_cast<unsigned long>(pid), static_cast<unsigned long>(elapsed), cpuMs, clockName(clock),
                threadNote.empty() ? "" : "; ", threadNote.c_str(), share * 100.0, kIdleCpuLimit * 100.0,
                ok ? "PASS" : "FAIL");
  const std::string file = joinPath(opt.artifacts, "idle_cpu_time.txt");
  checks.expect(writeFile(file, text), "%s: wrote %s", kLabel, file.c_str());
  checks.expect(ok, "%s: idle at High the program used %.1f ms of processor time in %lu ms (%.2f %% of one processor, "
                "limit %.0f %%; %s%s%s)",
                kLabel, cpuMs, static_cast<unsigned long>(elapsed), share * 100.0, kIdleCpuLimit * 100.0,
                clockName(clock), threadNote.empty() ? "" : "; ", threadNote.c_str());

  // One line per tick: every 750 ms, plus the tick's own work (the timer restarts after it), so a
  // stretch holds at most elapsed/750 + 1 ticks and, with ticks shorter than a second, at least
  // elapsed/1000 - 1.
  const long most = static_cast<long>(elapsed / kTickMs) + 1, least = static_cast<long>(elapsed / 1000) - 1;
  for (const auto& [name, before, after] : {std::tuple{"CPU", &cpu0, &cpu1}, std::tuple{"memory", &mem0, &mem1}}) {
    const long added = static_cast<long>(after->lines.size()) - static_cast<long>(before->lines.size());
    checks.expect(before->exists && after->exists && added >= least && added <= most,
                  "%s: in %lu ms at High the %s log grew by %ld lines (between %ld and %ld: one per tick of 750 ms "
                  "to 1 s)",
                  kLogLabel, static_cast<unsigned long>(elapsed), name, added, least, most);
    const LONGLONG last = after->lines.empty() ? -1 : after->lines.back().when;
    checks.expect(last >= now - kClockToleranceS && last <= now + 1,
                  "%s: the %s log's last line [%s] is stamped with the driver's clock (within %lld s)", kLogLabel, name,
                  after->lines.empty() ? "none" : after->lines.back().text.c_str(),
                  static_cast<long long>(kClockToleranceS));
  }
}

// ---- System Info ---------------------------------------------------------------------------------

std::string cpuTypeText(unsigned long type) {
  switch (type) {
    case 386: return "Intel 386";
    case 486: return "Intel 486";
    case 586: return "Intel Pentium";
    case 4000: return "MIPS R4000";
    default: return "Unknown";
  }
}

// The architecture the driver runs as; the program it checks is built for the same one (the
// 32-bit program, or the 64-bit test build on a host that cannot run 32-bit programs).
#ifdef _WIN64
constexpr unsigned long kOwnArchitecture = PROCESSOR_ARCHITECTURE_AMD64;
#else
constexpr unsigned long kOwnArchitecture = PROCESSOR_ARCHITECTURE_INTEL;
#endif

// The architectures the System Info page names; any other is "Unknown" (Wine answers Intel or AMD64).
std::string architectureText(unsigned long arch) {
  switch (arch) {
    case PROCESSOR_ARCHITECTURE_INTEL: return "Intel";
    case PROCESSOR_ARCHITECTURE_MIPS: return "MIPS";
    case PROCESSOR_ARCHITECTURE_ALPHA: return "Alpha";
    case PROCESSOR_ARCHITECTURE_PPC: return "PowerPC";
    default: return "Unknown";
  }
}

// The level and revision texts of an Intel processor as Windows 98 programs name them.
std::string intelLevelText(unsigned long level) {
  switch (level) {
    case 3: return "80386";
    case 4: return "80486";
    case 5: return "Pentium";
    default: return "Unknown";
  }
}

std::string intelRevisionText(unsigned long level, unsigned long revision) {
  const unsigned long high = (revision >> 8) & 0xFF, low = revision & 0xFF;
  if (level == 3 || level == 4) return std::string(1, static_cast<char>('A' + high)) + std::to_string(low);
  if (level == 5) return "Model " + std::to_string(high) + ", Stepping " + std::to_string(low);
  return "Unknown";
}

struct InfoRow {
  const char* group;
  const char* caption;
  std::string want;  // empty: checked apart
  int field = 0;     // which field of the row, from the left
};

void checkSystemInfo(Checks& checks, const Options& opt, HWND main, DWORD pid, HWND tab, const std::optional<Facts>& facts) {
  if (!checks.expect(clickTab(pid, tab, kSystemInfoTab), "%s: click selects tab \"System Info\"", kSystemLabel)) return;
  HWND os = groupBox(main, " Operating System "), general = groupBox(main, " General "),
       processor = groupBox(main, " Processor ");
  checks.expect(os && general && processor && reallyVisible(os) && reallyVisible(processor),
                "%s: groups \" Operating System \", \" General \" and \" Processor \" are shown", kSystemLabel);
  screenshot(checks, main, opt, "system_info.bmp");
  if (!facts) return;
  const Facts& f = *facts;

  // Every field: a read-only EDIT without a border, on its caption's row.
  auto field = [&](const char* group, const char* caption, int index) -> HWND {
    HWND g = std::string(group) == "os" ? os : std::string(group) == "general" ? general : processor;
    auto fields = rowFields(g, caption, "Edit");
    return static_cast<int>(fields.size()) > index ? fields[static_cast<size_t>(index)] : nullptr;
  };
  const unsigned long arch = fact(f, "arch"), level = fact(f, "level"), revision = fact(f, "revision");
  std::string active;
  for (unsigned long i = 0; i < fact(f, "cpus") && i < 32; ++i) active += (fact(f, "mask") >> i) & 1 ? '1' : '0';
  const std::vector<InfoRow> rows = {
      {"os", "Windows Dir.:", factText(f, "windowsDir")},
      {"os", "System Dir.:", factText(f, "systemDir")},
      {"os", "Platform:", "Windows 98"},
      {"os", "Version:", factText(f, "major") + "." + factText(f, "minor") + " build " +
                             std::to_string(fact(f, "build") & 0xFFFF) + " " + factText(f, "csd")},
      {"general", "Computer name:", factText(f, "computerName")},
      {"general", "User name:", factText(f, "userName")},
      {"general", "Registered owner:", kSeededOwner},
      {"general", "Registered org.:", kSeededOrganization},
      {"processor", "CPU architecture:", architectureText(arch)},
      {"processor", "Page size:", factText(f, "pageSize")},
      {"processor", "Address space:", "Lowest: " + hex8(fact(f, "minAddress")), 0},
      {"processor", "Address space:", "Highest: " + hex8(fact(f, "maxAddress")), 1},
      {"processor", "Nb of CPUs:", factText(f, "cpus")},
      {"processor", "Active CPUs:", active},
      {"processor", "Alloc. Gran.:", std::to_string(fact(f, "granularity") / 1024) + "K"},
      {"processor", "CPU type:", cpuTypeText(fact(f, "type"))},
      {"processor", "CPU level:", arch == PROCESSOR_ARCHITECTURE_INTEL ? intelLevelText(level) : "Unknown"},
      {"processor", "CPU revision:", arch == PROCESSOR_ARCHITECTURE_INTEL ? intelRevisionText(level, revision) : "Unknown"},
  };
  checks.expect(arch == kOwnArchitecture, "%s: the driver's processor architecture is its own build's (%lu, expected %lu)",
                kSystemLabel, arch, kOwnArchitecture);
  for (const InfoRow& row : rows) {
    HWND w = field(row.group, row.caption, row.field);
    const LONG style = w ? GetWindowLongA(w, GWL_STYLE) : 0, exStyle = w ? GetWindowLongA(w, GWL_EXSTYLE) : 0;
    const bool plain = w && (style & ES_READONLY) && !(style & WS_BORDER) && !(exStyle & WS_EX_CLIENTEDGE);
    const auto text = w ? windowText(w) : std::nullopt;
    checks.expect(plain && text && *text == row.want,
                  "%s: \"%s\"%s reads \"%s\" (got %s%s)", kSystemLabel, row.caption,
                  row.field ? " (second field)" : "", row.want.c_str(), w ? shown(text).c_str() : "no field on its row",
                  w && !plain ? ", not a read-only borderless EDIT" : "");
  }

  // The up time against the driver's GetTickCount, within a few seconds.
  HWND up = field("os", "Up time:", 0);
  std::optional<std::string> text;
  std::optional<long long> shownMs;
  DWORD tick = 0;
  if (up) {
    text = windowText(up);
    tick = GetTickCount();
    unsigned h = 0, m = 0, s = 0;
    char rest = 0;
    if (text && std::sscanf(text->c_str(), "%uh %um %us%c", &h, &m, &s, &rest) == 3 && m < 60 && s < 60 &&
        *text == std::to_string(h) + "h " + std::to_string(m) + "m " + std::to_string(s) + "s")
      shownMs = (static_cast<long long>(h) * 3600 + m * 60 + s) * 1000;
  }
  const long long diff = shownMs ? static_cast<long long>(tick) - *shownMs : 0;
  checks.expect(shownMs && diff >= -1000 && diff <= kUpTimeToleranceS * 1000 + 1000,
                "%s: \"Up time:\" %s is \"Nh Nm Ns\" within %lld s of GetTickCount %lu ms", kSystemLabel,
                up ? shown(text).c_str() : "<no field>", static_cast<long long>(kUpTimeToleranceS),
                static_cast<unsigned long>(tick));
}

// ---- The case ------------------------------------------------------------------------------------

}  // namespace

namespace {

DWORD burnUntil = 0;

DWORD WINAPI burnThread(LPVOID) {
  volatile unsigned sink = 0;
  while (static_cast<LONG>(GetTickCount() - burnUntil) < 0)
    for (unsigned i = 0; i < 100000; ++i) sink = sink + i;
  return 0;
}

}  // namespace

int runBurnChild(int argc, char** argv) {
  const DWORD ms = argc > 2 ? std::min<DWORD>(std::strtoul(argv[2], nullptr, 10), kBurnLimitMs) : 1000;
  const int threads = argc > 3 ? std::clamp(std::atoi(argv[3]), 1, 8) : 1;
  burnUntil = GetTickCount() + ms;
  std::vector<HANDLE> started;
  for (int i = 1; i < threads; ++i)
    if (HANDLE t = CreateThread(nullptr, 0, burnThread, nullptr, 0, nullptr)) started.push_back(t);
  burnThread(nullptr);
  for (HANDLE t : started) {
    WaitForSingleObject(t, 5000);
    CloseHandle(t);
  }
  return 0;
}

int runFactsChild(int argc, char** argv) {
  if (argc < 3) return 2;
  FILE* f = std::fopen(argv[2], "wb");
  if (!f) return 1;
  OSVERSIONINFOA v{};
  v.dwOSVersionInfoSize = sizeof v;
  GetVersionExA(&v);
  SYSTEM_INFO si{};
  GetSystemInfo(&si);
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof ms;
  GlobalMemoryStatusEx(&ms);
  char windows[MAX_PATH + 1] = {}, system[MAX_PATH + 1] = {}, computer[MAX_COMPUTERNAME_LENGTH + 2] = {},
       user[257] = {};
  GetWindowsDirectoryA(windows, sizeof windows);
  GetSystemDirectoryA(system, sizeof system);
  DWORD size = sizeof computer;
  GetComputerNameA(computer, &size);
  size = sizeof user;
  GetUserNameA(user, &size);
  std::fprintf(f, "platformId=%lu\nmajor=%lu\nminor=%lu\nbuild=%lu\ncsd=%s\n", v.dwPlatformId, v.dwMajorVersion,
               v.dwMinorVersion, v.dwBuildNumber, v.szCSDVersion);
  std::fprintf(f, "windowsDir=%s\nsystemDir=%s\ncomputerName=%s\nuserName=%s\n", windows, system, computer, user);
  std::fprintf(f, "arch=%u\npageSize=%lu\nminAddress=%lu\nmaxAddress=%lu\ncpus=%lu\nmask=%lu\ntype=%lu\n",
               static_cast<unsigned>(si.wProcessorArchitecture), si.dwPageSize,
               static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(si.lpMinimumApplicationAddress)),
               static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(si.lpMaximumApplicationAddress)),
               si.dwNumberOfProcessors, static_cast<unsigned long>(si.dwActiveProcessorMask), si.dwProcessorType);
  std::fprintf(f, "granularity=%lu\nlevel=%u\nrevision=%u\n", si.dwAllocationGranularity,
               static_cast<unsigned>(si.wProcessorLevel), static_cast<unsigned>(si.wProcessorRevision));
  // The memory figures in bytes, 64-bit.
  for (const auto& [name, bytes] : {std::pair{"totalPhys", ms.ullTotalPhys}, std::pair{"totalPageFile", ms.ullTotalPageFile},
                                    std::pair{"totalVirtual", ms.ullTotalVirtual}, std::pair{"availPhys", ms.ullAvailPhys},
                                    std::pair{"availPageFile", ms.ullAvailPageFile}})
    std::fprintf(f, "%s=%s\n", name, std::to_string(bytes).c_str());
  return std::fclose(f) == 0 ? 0 : 1;
}

void runPerformance(Checks& checks, const Options& opt, VersionSetting& version) {
  if (!checks.expect(version.set("win98"), "%s: set Version=win98", kLabel)) return;

  // A directory of the driver's for the logs, without files from an earlier run.
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  LogSetup logs;
  logs.dir = joinPath(temp, "taskwell-e2e-logs");
  CreateDirectoryA(logs.dir.c_str(), nullptr);
  logs.cpu = joinPath(logs.dir, "cpu usage.log");
  logs.mem = joinPath(logs.dir, "mem usage.log");
  DeleteFileA(logs.cpu.c_str());
  DeleteFileA(logs.mem.c_str());
  logs.dateSep = localeText(LOCALE_SDATE, "/");
  logs.timeSep = localeText(LOCALE_STIME, ":");

  const bool seeded =
      deleteTree(HKEY_CURRENT_USER, kSettingsKey) && storeValue("", "ActivePage", dwordValue(kPerformanceTab)) &&
      storeValue("", "&High", dwordValue(1)) && storeValue("", "&Normal", dwordValue(0)) &&
      storeValue("", "&Low", dwordValue(0)) && storeValue("", "&Paused", dwordValue(0)) &&
      storeValue(kLogsKey, "CPU", dwordValue(1)) && storeValue(kLogsKey, "Mem", dwordValue(1)) &&
      storeValue(kLogsKey, "CPU_Logfile", textValue(logs.cpu)) && storeValue(kLogsKey, "Mem_Logfile", textValue(logs.mem));
  if (!checks.expect(seeded, "%s: settings stored before the start (Performance page, High, both logs into %s)", kLabel,
                     logs.dir.c_str()))
    return;
  ScopedRegistryValue owner(HKEY_LOCAL_MACHINE, kVersionKey, "RegisteredOwner");
  ScopedRegistryValue organization(HKEY_LOCAL_MACHINE, kVersionKey, "RegisteredOrganization");
  if (!checks.expect(owner.set(textValue(kSeededOwner)) && organization.set(textValue(kSeededOrganization)),
                     "%s: HKLM\\%s RegisteredOwner and RegisteredOrganization seeded", kSystemLabel, kVersionKey))
    return;

  const std::optional<Facts> facts = childFacts(checks, logs.dir);

  const LONGLONG startS = nowSeconds();
  const auto memoryAtStart = performanceInfo();
  Launched app;
  HWND main = startProgram(checks, opt, app, kLabel);
  if (!main) return;
  auto tabs = childrenOfClass(main, WC_TABCONTROLA);
  auto cur = tabs.size() == 1 ? send(tabs[0], TCM_GETCURSEL, 0, 0) : std::nullopt;
  if (!checks.expect(cur && *cur == kPerformanceTab, "%s: opens on the Performance page (selected: %ld)", kLabel,
                     cur ? static_cast<long>(*cur) : -1L))
    return;

  PerformanceWindows w;
  w.pid = app.pid();
  if (findPerformanceWindows(checks, main, w)) checkFigures(checks, w, facts);

  // Load from a child of the driver: one busy thread less than the processors (at least one, at most
  // two), so that the program and the driver still get a processor.
  SYSTEM_INFO si{};
  GetSystemInfo(&si);
  const int burners = std::clamp(static_cast<int>(si.dwNumberOfProcessors) - 1, 1, 2);
  CpuClock clock = CpuClock::ProcessTimes;  // unless the burning child shows another way works
  if (w.statusBar && w.cpuFigure) {
    Launched burner;
    std::string err;
    const bool burning = burner.start(driverPath(), err,
                                      std::string(kBurnArgument) + " " + std::to_string(kBurnMs) + " " +
                                          std::to_string(burners));
    if (checks.expect(burning, "%s: child burning %d thread(s) for %lu ms started %s", kLabel, burners,
                      static_cast<unsigned long>(kBurnMs), err.c_str())) {
      Sleep(kCpuSettleMs);
      const DWORD b0 = GetTickCount();
      const auto byProcess0 = processTimes(burner.pid()), byThreads0 = threadTimes(burner.pid());
      const CpuWindow busy = measureCpu(w);
      const auto byProcess1 = processTimes(burner.pid()), byThreads1 = threadTimes(burner.pid());
      const DWORD span = GetTickCount() - b0;
      const bool stillBurning = !burner.exited();
      // The child's own processor time over the window tells which way of reading another
      // process's time works here: one that sees at least a quarter of what the child could burn
      // (it shares the processors with whatever else the machine runs; a way that does not work
      // sees next to nothing).
      auto burnedMs = [](const std::optional<ULONGLONG>& a, const std::optional<ULONGLONG>& b) {
        return a && b && *b >= *a ? static_cast<double>(*b - *a) / 10000.0 : -1.0;
      };
      const double byProcess = burnedMs(byProcess0, byProcess1), byThreads = burnedMs(byThreads0, byThreads1);
      const double burnedAtLeast = 0.25 * span * burners;
      clock = byProcess >= burnedAtLeast ? CpuClock::ProcessTimes
              : byThreads >= burnedAtLeast ? CpuClock::ThreadTimes
                                           : CpuClock::None;
      checks.expect(clock != CpuClock::None,
                    "%s: the driver reads the burning child's processor time: %.0f ms by GetProcessTimes, %.0f ms by "
                    "GetThreadTimes in %lu ms (at least %.0f ms expected; %s is used for the program)",
                    kLabel, byProcess, byThreads, static_cast<unsigned long>(span), burnedAtLeast, clockName(clock));
      screenshot(checks, main, opt, "performance_burning.bmp");
      checks.expect(stillBurning, "%s: the child burned through the whole window", kLabel);
      const double load = 100.0 * burners / std::max<DWORD>(si.dwNumberOfProcessors, 1);
      checks.expect(busy.driver >= load * kBurnSeenShare,
                    "%s: while the child burns the driver measures %.1f %% busy (at least %.0f %% of the child's %.0f %%)",
                    kLabel, busy.driver, kBurnSeenShare * 100, load);
      checkCpuWindow(checks, busy, "while burning");
      checks.expect(burner.waitExit(kBurnMs + 10000), "%s: the burning child ended by itself", kLabel);
      Sleep(kCpuSettleMs);
      const CpuWindow after = measureCpu(w);
      checkCpuWindow(checks, after, "after the child ended");
      const double shownFall = busy.mean(busy.status) - after.mean(after.status), driverFall = busy.driver - after.driver;
      checks.expect(std::fabs(shownFall - driverFall) <= kCpuTolerance,
                    "%s: CPU usage falls by %.1f points when the child ends, the driver's reading by %.1f (tolerance "
                    "%.0f points)",
                    kLabel, shownFall, driverFall, kCpuTolerance);
    }
  }

  checkIdleStretch(checks, opt, app.pid(), logs, clock);
  if (tabs.size() == 1) checkSystemInfo(checks, opt, main, app.pid(), tabs[0], facts);

  // No polling thread may hold the process: WM_CLOSE ends it within a few seconds.
  const DWORD closing = GetTickCount();
  PostMessageA(main, WM_CLOSE, 0, 0);
  const bool ended = app.waitExit(kExitTimeoutMs);
  const DWORD took = GetTickCount() - closing;
  checks.expect(ended && took <= kPromptCloseMs, "%s: WM_CLOSE ends the process in %lu ms (limit %lu ms)", kLabel,
                static_cast<unsigned long>(took), static_cast<unsigned long>(kPromptCloseMs));
  if (!ended) app.kill();
  const LONGLONG closeS = nowSeconds();
  checkLogsAfterClose(checks, opt, logs, startS, closeS, memoryAtStart ? memoryAtStart->commitBytes : 0);

  checks.expect(owner.restore() && organization.restore(), "%s: HKLM\\%s RegisteredOwner and RegisteredOrganization "
                "put back as they were", kSystemLabel, kVersionKey);
  // Later cases start without logs into a directory that is gone.
  deleteTree(HKEY_CURRENT_USER, kSettingsKey);
  DeleteFileA(logs.cpu.c_str());
  DeleteFileA(logs.mem.c_str());
  RemoveDirectoryA(logs.dir.c_str());
}

}  // namespace e2e
