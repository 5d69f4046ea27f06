// A soak of taskwell.exe: the program at the High update speed for a number of minutes while this
// program keeps the desktop busy, reading the program's resource figures every 10 s.
//
//   taskwell_soak.exe <taskwell.exe> <artifact directory> <minutes>
//   taskwell_soak.exe --child <soak pid> <0|1>       a child of the soak itself (1: with a window)
//
// The load, for the whole run:
//   - the program's pages are switched every 3 s by a click on the next tab;
//   - 50 child processes a minute are started and, 6 s later, ended: those with a window by a
//     WM_CLOSE to it, the others by TerminateProcess;
//   - 100 top-level windows a minute are opened and, 3 s later, closed, on three threads of the soak;
//   - one more window, on a thread of its own, hangs for 10 s every minute (its thread waits inside
//     its window procedure): the Applications page shows it "Not Responding" and then "Running".
//     The page is held on Applications while it hangs, to see both.
// Every 10 s the soak reads, for taskwell.exe:
//   - its handle count: GetProcessHandleCount (looked up at run time) and the entries of the system
//     handle table that belong to the process (Wine answers GetProcessHandleCount with 0);
//   - its USER and GDI objects as GetGuiResources answers (Wine fails it, ERROR_CALL_NOT_IMPLEMENTED),
//     and two figures that stand in for them: the used entries of the process's GDI handle table (the
//     table Wine keeps in each process's memory, found through its PEB) and its windows (top-level and
//     children: the part of the USER objects that can be counted from outside);
//   - its private memory: PrivateUsage and PagefileUsage from GetProcessMemoryInfo (looked up at run
//     time; on Windows both are the commit charge, Wine answers 0 for the first and the Unix process's
//     anonymous resident memory for the second), and its committed private memory summed over
//     VirtualQueryEx's regions;
//   - whether its main window answers a WM_NULL within 1 s, and whether a message posted to its
//     Applications list (a hover time, read back) is handled within 1 s.
// Each way of reading is checked before it is used: the handle and GDI tables against objects the
// soak makes in its own process, the memory figures against a megabyte the soak commits and writes in
// the program's process. One that fails its check, fails every reading, or reads 0 throughout is
// reported as not measured, never as flat.
// Counts are the least of three readings 250 ms apart, so objects that live only inside one refresh
// (a snapshot, a device context while painting) do not count.
//
// Verdict: the samples of the first quarter of the run (at least 30 s) are the warm-up; over the
// rest a least-squares line is fitted per figure. The soak passes when every figure that is measured
// has a slope within its tolerance, at least one handle figure and one private-memory figure are
// measured, every probe was answered, the load ran at 70 % or more of its rates, the hanging window
// was seen "Not Responding" and then "Running", and the program ends within 15 s of WM_CLOSE.
// Tolerances (kFigures): per minute, the larger of a floor and the slope that a one-off growth of a
// stated size (a lazily made object, a heap extension) gives in the middle of the fitted span; so a
// longer run judges a smaller rate. At High a refresh tick comes every 750 ms (70 to 80 a minute:
// the tick's own work comes on top); a leak of one object per tick exceeds a 2-minute run's
// tolerance (4 a minute) more than tenfold, and one per hang (1 a minute) a 20-minute run's (0.5).
// Output: the samples as a table and the slopes with their verdicts, on stdout and in
// soak-result.txt and soak-samples.csv in the artifact directory. Exit code 0 only on a pass.
// Whatever happens, the load stops, the program is closed (WM_CLOSE, then terminated after 15 s)
// and every child is ended; a child also ends by itself when the soak process ends.
#include "driver_common.h"

#include <psapi.h>

#include <algorithm>
#include <cstddef>
#include <atomic>
#include <cmath>
#include <deque>
#include <memory>

namespace e2e {
namespace {

// ---- Load and sampling ------------------------------------------------------------------------

constexpr DWORD kSampleIntervalMs = 10000;
constexpr DWORD kTabIntervalMs = 3000;
constexpr int kPageCount = 4;
constexpr int kApplicationsTab = 0;
constexpr DWORD kChildStartIntervalMs = 60000 / 50;
constexpr DWORD kChildLifetimeMs = 6000;
constexpr DWORD kChildCloseLimitMs = 5000;  // after WM_CLOSE, then TerminateProcess
constexpr DWORD kWindowOpenIntervalMs = 60000 / 100;
constexpr DWORD kWindowLifetimeMs = 3000;
constexpr int kWindowThreads = 3;
constexpr DWORD kHangPeriodMs = 60000;
constexpr DWORD kHangOffsetMs = 20000;
constexpr DWORD kHangMs = 10000;
// The Applications page is held from the hang's start until it shows "Running" again, at most
// until kHangMs + kRecoverLimitMs.
constexpr DWORD kRecoverLimitMs = 6000;
constexpr DWORD kProbeTimeoutMs = 1000;
constexpr int kReadingsPerSample = 3;
constexpr DWORD kReadingGapMs = 250;
constexpr DWORD kMinWarmUpMs = 30000;
constexpr double kLoadFloor = 0.7;
constexpr DWORD kTickMs = 750;  // the High update speed

constexpr const char* kWindowClass = "TaskwellSoakWindow";
constexpr const char* kChildClass = "TaskwellSoakChild";
constexpr const char* kChildArgument = "--child";
constexpr const char* kHungCaption = "Taskwell soak hung window";
constexpr const char* kRunning = "Running";
constexpr const char* kNotResponding = "Not Responding";

constexpr UINT kOpenMessage = WM_APP + 1;   // thread message: lParam a new std::string caption
constexpr UINT kStopMessage = WM_APP + 2;   // thread message: destroy the thread's windows and end
constexpr UINT kBlockMessage = WM_APP + 3;  // window message: wait on the release event

// ---- Figures ----------------------------------------------------------------------------------

enum FigureId {
  kHandles,
  kSystemHandles,
  kGuiUser,
  kGuiGdi,
  kGdiTable,
  kWindows,
  kPrivateUsage,
  kPagefileUsage,
  kCommitted,
  kFigureCount
};

struct FigureRule {
  const char* name;
  const char* source;
  // The tolerance: a slope within the larger of `floorPerMinute` and the slope a one-off growth of
  // `allowance` in the middle of the fitted span gives (1.5 x allowance / span in minutes). A lazily
  // made object or a heap extension is such a one-off; a leak keeps growing and exceeds the floor.
  double allowance;       // in the figure's unit
  double floorPerMinute;  // in the figure's unit
  double unitDivisor;     // readings (bytes or objects) per unit shown
  const char* unit;
  bool handleFigure;
  bool memoryFigure;
};

// Allowances and floors: 4 handles, USER or GDI objects and 0.5 a minute; 2 windows and 0.25 a
// minute; 96 KB of private memory (one or two heap extensions of 64 KB) and 16 KB a minute. The
// tolerance of a 2-minute run (a 90 s fit) is then 4 objects, 2 windows and 96 KB a minute; of a
// 20-minute run (a 15-minute fit) 0.5 objects, 0.25 windows and 16 KB a minute. A leak of one object
// per tick (70 to 80 a minute), per started process (50) or per opened window (100) exceeds the short
// run's tolerance tenfold; one of 2 KB per tick (140 KB a minute or more) exceeds it too; one per
// hang (1 a minute) or of 0.25 KB per tick exceeds a 20-minute run's.
constexpr FigureRule kFigures[kFigureCount] = {
    {"handles", "GetProcessHandleCount", 4, 0.5, 1, "", true, false},
    {"handles", "system handle table", 4, 0.5, 1, "", true, false},
    {"USER objects", "GetGuiResources", 4, 0.5, 1, "", false, false},
    {"GDI objects", "GetGuiResources", 4, 0.5, 1, "", false, false},
    {"GDI objects", "process GDI handle table", 4, 0.5, 1, "", false, false},
    {"windows", "EnumWindows+EnumChildWindows", 2, 0.25, 1, "", false, false},
    {"private bytes", "GetProcessMemoryInfo PrivateUsage", 96, 16, 1024, " KB", false, true},
    {"private bytes", "GetProcessMemoryInfo PagefileUsage", 96, 16, 1024, " KB", false, true},
    {"committed private", "VirtualQueryEx MEM_PRIVATE", 96, 16, 1024, " KB", false, true},
};

// The tolerance of a figure, per minute, for a fit over `spanMinutes`.
double tolerancePerMinute(const FigureRule& figure, double spanMinutes) {
  return std::max(figure.floorPerMinute, spanMinutes > 0 ? 1.5 * figure.allowance / spanMinutes : figure.allowance);
}

struct Sample {
  double seconds = 0;
  std::optional<double> value[kFigureCount];
  bool answered = false;
  DWORD probeMs = 0;
  // A hover time posted to the Applications list, read back until it took effect: handled only when
  // the program's message loop runs (a sent WM_NULL is answered wherever the program waits).
  bool postedHandled = false;
  DWORD postedMs = 0;
  int page = -1;
};

// ---- The slope ----------------------------------------------------------------------------------

// The least-squares slope of (seconds, value) pairs, in value units per minute; null with fewer than
// three points or no spread in time.
std::optional<double> slopePerMinute(const std::vector<std::pair<double, double>>& points) {
  if (points.size() < 3) return std::nullopt;
  double mt = 0, mv = 0;
  for (auto [t, v] : points) {
    mt += t;
    mv += v;
  }
  mt /= static_cast<double>(points.size());
  mv /= static_cast<double>(points.size());
  double stt = 0, stv = 0;
  for (auto [t, v] : points) {
    stt += (t - mt) * (t - mt);
    stv += (t - mt) * (v - mv);
  }
  if (stt <= 0) return std::nullopt;
  return stv / stt * 60.0;
}

// The fit against series whose slope is known, on the sample times of a 2-minute run after its
// warm-up: a flat series with one spike and one with a step of a handle figure's allowance in the
// middle stay within its tolerance, a leak of one object per tick does not, and a line of known slope
// comes out as that slope.
bool fitSelfCheck(Checks& checks) {
  const FigureRule& figure = kFigures[kSystemHandles];
  std::vector<std::pair<double, double>> spike, step, leak, line;
  for (int t = 30; t <= 120; t += 10) {
    spike.push_back({t, t == 70 ? 212.0 : 200.0});
    step.push_back({t, t < 75 ? 200.0 : 200.0 + figure.allowance});
    leak.push_back({t, 200.0 + t * 1000.0 / kTickMs});
    line.push_back({t, 5.0 - 0.5 * t});
  }
  const double tolerance = tolerancePerMinute(figure, 1.5);
  auto a = slopePerMinute(spike), b = slopePerMinute(step), l = slopePerMinute(leak), s = slopePerMinute(line);
  return checks.expect(a && std::fabs(*a) <= tolerance && b && std::fabs(*b) <= tolerance && l && *l > 10 * tolerance &&
                           s && std::fabs(*s + 30.0) < 1e-9,
                       "slope fit over 90 s (tolerance %.2f/min): a spike %+.2f/min, a step of %.0f %+.2f/min, one "
                       "leak per tick %+.1f/min, a line of -30/min %+.3f/min",
                       tolerance, a ? *a : NAN, figure.allowance, b ? *b : NAN, l ? *l : NAN, s ? *s : NAN);
}

// ---- Readings of another process -------------------------------------------------------------

using GetProcessHandleCountFn = BOOL(WINAPI*)(HANDLE, PDWORD);
using GetGuiResourcesFn = DWORD(WINAPI*)(HANDLE, DWORD);
using GetProcessMemoryInfoFn = BOOL(WINAPI*)(HANDLE, PPROCESS_MEMORY_COUNTERS, DWORD);
using NtQuerySystemInformationFn = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
using NtQueryInformationProcessFn = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

constexpr ULONG kSystemHandleInformation = 16;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr ULONG kProcessBasicInformation = 0;
// PEB.GdiSharedHandleTable: after the PEB's first pointers, which are twice as wide in a 64-bit
// process. The soak and the program it measures are built for the same architecture.
#ifdef _WIN64
constexpr size_t kPebGdiTableOffset = 0xF8;
#else
constexpr size_t kPebGdiTableOffset = 0x94;
#endif
constexpr size_t kGdiTableEntries = 0x10000;

// One entry of the system handle table in this architecture's layout (16 bytes on 32-bit Windows,
// 24 on 64-bit: the object's address is a pointer).
struct SystemHandleEntry {
  ULONG ownerPid;
  BYTE objectType;
  BYTE flags;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};
// The table: a count, then the entries at their own alignment (offset 4 on 32-bit, 8 on 64-bit).
struct SystemHandleTable {
  ULONG count;
  SystemHandleEntry first;
};
constexpr size_t kSystemHandleEntriesOffset = offsetof(SystemHandleTable, first);

// One entry of a process's GDI handle table as Wine lays it out (24 bytes); `type` 0 is free.
#pragma pack(push, 1)
struct GdiTableEntry {
  unsigned long long object;
  ULONG owner;
  USHORT unique;
  UCHAR type;
  UCHAR flags;
  unsigned long long user;
};
#pragma pack(pop)
static_assert(sizeof(GdiTableEntry) == 24, "GDI handle table entry layout");

struct BasicInformation {
  LONG exitStatus;
  PVOID peb;
  ULONG_PTR affinity;
  LONG basePriority;
  ULONG_PTR pid;
  ULONG_PTR parentPid;
};

class Meter {
 public:
  Meter() {
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    HMODULE user = GetModuleHandleA("user32.dll");
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    handleCount_ = reinterpret_cast<GetProcessHandleCountFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetProcessHandleCount")));
    guiResources_ = reinterpret_cast<GetGuiResourcesFn>(reinterpret_cast<void*>(GetProcAddress(user, "GetGuiResources")));
    memoryInfo_ = reinterpret_cast<GetProcessMemoryInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "K32GetProcessMemoryInfo")));
    if (!memoryInfo_) {
      if (HMODULE psapi = LoadLibraryA("psapi.dll"))
        memoryInfo_ = reinterpret_cast<GetProcessMemoryInfoFn>(
            reinterpret_cast<void*>(GetProcAddress(psapi, "GetProcessMemoryInfo")));
    }
    systemInformation_ = reinterpret_cast<NtQuerySystemInformationFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
    processInformation_ = reinterpret_cast<NtQueryInformationProcessFn>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationProcess")));
  }

  // What was found, for the log.
  std::string functions() const {
    std::string s;
    s += handleCount_ ? "GetProcessHandleCount found" : "GetProcessHandleCount missing";
    s += guiResources_ ? ", GetGuiResources found" : ", GetGuiResources missing";
    s += memoryInfo_ ? ", GetProcessMemoryInfo found" : ", GetProcessMemoryInfo missing";
    s += systemInformation_ ? ", NtQuerySystemInformation found" : ", NtQuerySystemInformation missing";
    s += processInformation_ ? ", NtQueryInformationProcess found" : ", NtQueryInformationProcess missing";
    return s;
  }

  std::optional<double> handles(HANDLE process) const {
    DWORD n = 0;
    if (!handleCount_ || !handleCount_(process, &n)) return std::nullopt;
    return n;
  }

  // Entries of the system handle table owned by `pid`.
  std::optional<double> systemHandles(DWORD pid) {
    if (!systemInformation_) return std::nullopt;
    for (int attempt = 0; attempt < 8; ++attempt) {
      if (handleBuffer_.size() < 65536) handleBuffer_.resize(65536);
      ULONG needed = 0;
      LONG status = systemInformation_(kSystemHandleInformation, handleBuffer_.data(),
                                       static_cast<ULONG>(handleBuffer_.size()), &needed);
      if (status == kStatusInfoLengthMismatch) {
        handleBuffer_.resize(std::max<size_t>(handleBuffer_.size() * 2, needed + 4096));
        continue;
      }
      if (status < 0) return std::nullopt;
      ULONG count = 0;
      std::memcpy(&count, handleBuffer_.data(), sizeof count);
      const size_t room = (handleBuffer_.size() - kSystemHandleEntriesOffset) / sizeof(SystemHandleEntry);
      if (count > room) return std::nullopt;
      const auto* entries =
          reinterpret_cast<const SystemHandleEntry*>(handleBuffer_.data() + kSystemHandleEntriesOffset);
      double owned = 0;
      for (ULONG i = 0; i < count; ++i)
        if (entries[i].ownerPid == pid) ++owned;
      return owned;
    }
    return std::nullopt;
  }

  // GetGuiResources' answer; null when it answers 0 with an error (Wine: not implemented).
  std::optional<double> gui(HANDLE process, DWORD which, DWORD* error = nullptr) const {
    if (!guiResources_) return std::nullopt;
    SetLastError(0);
    DWORD n = guiResources_(process, which);
    const DWORD e = GetLastError();
    if (error) *error = e;
    if (n == 0 && e != ERROR_SUCCESS) return std::nullopt;
    return n;
  }

  // PrivateUsage and PagefileUsage (on Windows the same commit charge; Wine answers 0 for the first
  // and the Unix process's anonymous resident memory and swap for the second).
  std::optional<std::pair<double, double>> memoryCounters(HANDLE process) const {
    if (!memoryInfo_) return std::nullopt;
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    if (!memoryInfo_(process, reinterpret_cast<PPROCESS_MEMORY_COUNTERS>(&pmc), sizeof pmc)) return std::nullopt;
    return std::make_pair(static_cast<double>(pmc.PrivateUsage), static_cast<double>(pmc.PagefileUsage));
  }

  // Committed private memory: the sum of the MEM_COMMIT, MEM_PRIVATE regions of the address space.
  static std::optional<double> committedPrivate(HANDLE process) {
    double sum = 0;
    const char* at = nullptr;
    int regions = 0;
    MEMORY_BASIC_INFORMATION mbi{};
    while (VirtualQueryEx(process, at, &mbi, sizeof mbi) == sizeof mbi) {
      if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) sum += static_cast<double>(mbi.RegionSize);
      const char* next = static_cast<const char*>(mbi.BaseAddress) + mbi.RegionSize;
      if (next <= at || ++regions > 200000) break;
      at = next;
    }
    if (regions == 0) return std::nullopt;
    return sum;
  }

  // The used entries of the process's GDI handle table, found through its PEB.
  std::optional<double> gdiTable(HANDLE process) {
    auto table = gdiTableAddress(process);
    if (!table) return std::nullopt;
    gdiBuffer_.resize(kGdiTableEntries);
    SIZE_T done = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<LPCVOID>(*table), gdiBuffer_.data(),
                           gdiBuffer_.size() * sizeof(GdiTableEntry), &done) ||
        done != gdiBuffer_.size() * sizeof(GdiTableEntry))
      return std::nullopt;
    double used = 0;
    for (const GdiTableEntry& e : gdiBuffer_)
      if (e.type != 0) ++used;
    return used;
  }

  // Whether the system handle table counts a process's handles: the soak's own count must rise by
  // exactly the events it opens, and fall back when it closes them.
  bool systemHandlesCount(std::string& detail) {
    const DWORD self = GetCurrentProcessId();
    auto before = systemHandles(self);
    std::vector<HANDLE> made;
    for (int i = 0; i < 10; ++i) made.push_back(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    auto during = systemHandles(self);
    for (HANDLE h : made)
      if (h) CloseHandle(h);
    auto after = systemHandles(self);
    const bool allMade = std::all_of(made.begin(), made.end(), [](HANDLE h) { return h != nullptr; });
    char buf[160];
    std::snprintf(buf, sizeof buf, "own handles: %.0f before, %.0f with 10 events open, %.0f after closing them",
                  before ? *before : -1.0, during ? *during : -1.0, after ? *after : -1.0);
    detail = buf;
    return allMade && before && during && after && *during - *before == 10 && *after == *before;
  }

  // Whether a memory figure of another process follows a megabyte committed and written in it and
  // released again (the program may allocate a little meanwhile: within 128 KB). `read` gives the
  // figure in bytes.
  static bool followsBlock(DWORD pid, const std::function<std::optional<double>()>& read, std::string& detail) {
    constexpr double kBlock = 1024.0 * 1024.0, kSlack = 128.0 * 1024.0;
    std::optional<double> before, during, after;
    auto fits = [&] {
      return before && during && after && std::fabs(*during - *before - kBlock) <= kSlack &&
             std::fabs(*after - *before) <= kSlack;
    };
    for (int attempt = 0; attempt < 3 && !fits(); ++attempt) {
      before = read();
      {
        RemoteBuffer block(pid, static_cast<size_t>(kBlock));
        during = block.ok() && block.zero() ? read() : std::nullopt;
      }
      after = read();
    }
    char buf[200];
    std::snprintf(buf, sizeof buf, "%.0f KB before, %.0f KB with 1024 KB committed and written in it, %.0f KB after "
                  "releasing it", before ? *before / 1024 : -1.0, during ? *during / 1024 : -1.0,
                  after ? *after / 1024 : -1.0);
    detail = buf;
    return fits();
  }

  // What each reading answers once, with its error, for the log.
  std::string firstAnswers(DWORD pid, HANDLE process) {
    char buf[400];
    DWORD n = 0, handleError = 0;
    BOOL handleOk = FALSE;
    if (handleCount_) {
      SetLastError(0);
      handleOk = handleCount_(process, &n);
      handleError = GetLastError();
    }
    DWORD userError = 0, gdiError = 0;
    auto user = gui(process, GR_USEROBJECTS, &userError);
    auto gdi = gui(process, GR_GDIOBJECTS, &gdiError);
    PROCESS_MEMORY_COUNTERS_EX pmc{};
    pmc.cb = sizeof pmc;
    const BOOL memoryOk =
        memoryInfo_ && memoryInfo_(process, reinterpret_cast<PPROCESS_MEMORY_COUNTERS>(&pmc), sizeof pmc);
    auto table = systemHandles(pid);
    std::snprintf(buf, sizeof buf,
                  "GetProcessHandleCount %s %lu (error %lu); system handle table %.0f; GetGuiResources USER %s (error "
                  "%lu), GDI %s (error %lu); GetProcessMemoryInfo %s: PrivateUsage %lu, PagefileUsage %lu, "
                  "WorkingSetSize %lu",
                  handleOk ? "answers" : "fails,", static_cast<unsigned long>(n), static_cast<unsigned long>(handleError),
                  table ? *table : -1.0, user ? std::to_string(static_cast<long>(*user)).c_str() : "fails",
                  static_cast<unsigned long>(userError), gdi ? std::to_string(static_cast<long>(*gdi)).c_str() : "fails",
                  static_cast<unsigned long>(gdiError), memoryOk ? "answers" : "fails",
                  static_cast<unsigned long>(pmc.PrivateUsage), static_cast<unsigned long>(pmc.PagefileUsage),
                  static_cast<unsigned long>(pmc.WorkingSetSize));
    return buf;
  }

  // Whether the GDI table reading counts objects: the soak's own count must rise by exactly the
  // bitmaps and brushes it makes, and fall back when it deletes them.
  bool gdiTableCounts(std::string& detail) {
    HANDLE self = GetCurrentProcess();
    auto before = gdiTable(self);
    std::vector<HGDIOBJ> made;
    for (int i = 0; i < 6; ++i) made.push_back(CreateBitmap(4, 4, 1, 32, nullptr));
    for (int i = 0; i < 4; ++i) made.push_back(CreateSolidBrush(RGB(i, 2 * i, 3 * i)));
    auto during = gdiTable(self);
    for (HGDIOBJ o : made)
      if (o) DeleteObject(o);
    auto after = gdiTable(self);
    const bool allMade = std::all_of(made.begin(), made.end(), [](HGDIOBJ o) { return o != nullptr; });
    char buf[160];
    std::snprintf(buf, sizeof buf, "own table: %.0f before, %.0f with 10 objects made, %.0f after deleting them",
                  before ? *before : -1.0, during ? *during : -1.0, after ? *after : -1.0);
    detail = buf;
    return allMade && before && during && after && *during - *before == 10 && *after == *before;
  }

 private:
  std::optional<ULONG_PTR> gdiTableAddress(HANDLE process) const {
    if (!processInformation_) return std::nullopt;
    BasicInformation info{};
    ULONG got = 0;
    if (processInformation_(process, kProcessBasicInformation, &info, sizeof info, &got) < 0 || !info.peb)
      return std::nullopt;
    ULONG_PTR table = 0;
    SIZE_T done = 0;
    if (!ReadProcessMemory(process, static_cast<const char*>(info.peb) + kPebGdiTableOffset, &table, sizeof table,
                           &done) ||
        done != sizeof table || table == 0)
      return std::nullopt;
    return table;
  }

  GetProcessHandleCountFn handleCount_ = nullptr;
  GetGuiResourcesFn guiResources_ = nullptr;
  GetProcessMemoryInfoFn memoryInfo_ = nullptr;
  NtQuerySystemInformationFn systemInformation_ = nullptr;
  NtQueryInformationProcessFn processInformation_ = nullptr;
  std::vector<BYTE> handleBuffer_;
  std::vector<GdiTableEntry> gdiBuffer_;
};

BOOL CALLBACK countChild(HWND, LPARAM p) {
  ++*reinterpret_cast<long*>(p);
  return TRUE;
}

// The windows of `pid`: its top-level windows and all their descendants.
double windowsOf(DWORD pid) {
  long n = 0;
  for (HWND w : topLevelWindowsOf(pid)) {
    ++n;
    EnumChildWindows(w, countChild, reinterpret_cast<LPARAM>(&n));
  }
  return static_cast<double>(n);
}

// The least of the readings that succeeded; null when none did.
std::optional<double> least(const std::vector<std::optional<double>>& readings) {
  std::optional<double> low;
  for (const auto& r : readings)
    if (r && (!low || *r < *low)) low = r;
  return low;
}

// ---- Windows of the soak --------------------------------------------------------------------------

std::atomic<long> gWindowsDestroyed{0};
HANDLE gReleaseHang = nullptr;       // set: the hanging window's thread goes on
std::atomic<bool> gHanging{false};   // the hanging window's thread is inside its wait

LRESULT CALLBACK soakWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case kBlockMessage:
      // A window whose program is busy: the thread reads no messages until released.
      gHanging = true;
      WaitForSingleObject(gReleaseHang, kHangMs + 5000);
      gHanging = false;
      return 0;
    case WM_DESTROY:
      ++gWindowsDestroyed;
      return 0;
    default:
      return DefWindowProcA(hwnd, msg, wp, lp);
  }
}


// A thread of the soak with a message loop, on which top-level windows are opened. Windows it made
// are handed to the main thread through takeOpened(); they are closed with a posted WM_CLOSE.
class WindowThread {
 public:
  WindowThread() : ready_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) { InitializeCriticalSection(&lock_); }
  ~WindowThread() {
    stop();
    if (ready_) CloseHandle(ready_);
    DeleteCriticalSection(&lock_);
  }
  WindowThread(const WindowThread&) = delete;
  WindowThread& operator=(const WindowThread&) = delete;

  bool start() {
    thread_ = CreateThread(nullptr, 0, &WindowThread::threadMain, this, 0, &threadId_);
    return thread_ && ready_ && WaitForSingleObject(ready_, 10000) == WAIT_OBJECT_0;
  }

  bool open(const std::string& caption) {
    auto* text = new std::string(caption);
    if (PostThreadMessageA(threadId_, kOpenMessage, 0, reinterpret_cast<LPARAM>(text))) return true;
    delete text;
    return false;
  }

  std::vector<HWND> takeOpened() {
    EnterCriticalSection(&lock_);
    std::vector<HWND> out;
    out.swap(opened_);
    LeaveCriticalSection(&lock_);
    return out;
  }

  int failedOpens() const { return failedOpens_; }

  // Ends the thread; its windows still open are destroyed on it first.
  void stop() {
    if (!thread_) return;
    PostThreadMessageA(threadId_, kStopMessage, 0, 0);
    if (WaitForSingleObject(thread_, 10000) != WAIT_OBJECT_0) {
      Checks::info("soak: window thread %lu did not end; terminated", static_cast<unsigned long>(threadId_));
      TerminateThread(thread_, 1);
      WaitForSingleObject(thread_, 1000);
    }
    CloseHandle(thread_);
    thread_ = nullptr;
  }

 private:
  static DWORD WINAPI threadMain(LPVOID p) {
    auto* self = static_cast<WindowThread*>(p);
    MSG m;
    PeekMessageA(&m, nullptr, WM_USER, WM_USER, PM_NOREMOVE);  // the thread's queue exists from here
    SetEvent(self->ready_);
    std::vector<HWND> mine;
    int sequence = 0;
    static const LPCSTR kIcons[] = {MAKEINTRESOURCEA(32512), MAKEINTRESOURCEA(32516), MAKEINTRESOURCEA(32515),
                                    MAKEINTRESOURCEA(32514)};
    for (;;) {
      const BOOL got = GetMessageA(&m, nullptr, 0, 0);
      if (got <= 0) break;
      if (!m.hwnd && m.message == kOpenMessage) {
        std::unique_ptr<std::string> caption(reinterpret_cast<std::string*>(m.lParam));
        const int slot = sequence++ % 8;
        HWND w = CreateWindowExA(0, kWindowClass, caption->c_str(), WS_OVERLAPPEDWINDOW, 40 + 60 * slot,
                                 60 + 40 * slot, 360, 200, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!w) {
          ++self->failedOpens_;
          continue;
        }
        // Different icons, so the Applications page's image list sees new ones come and go.
        HICON icon = LoadIconA(nullptr, kIcons[sequence % 4]);
        SendMessageA(w, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
        ShowWindow(w, SW_SHOWNOACTIVATE);
        mine.erase(std::remove_if(mine.begin(), mine.end(), [](HWND h) { return !IsWindow(h); }), mine.end());
        mine.push_back(w);
        EnterCriticalSection(&self->lock_);
        self->opened_.push_back(w);
        LeaveCriticalSection(&self->lock_);
        continue;
      }
      if (!m.hwnd && m.message == kStopMessage) break;
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    for (HWND w : mine)
      if (IsWindow(w)) DestroyWindow(w);
    return 0;
  }

  HANDLE ready_;
  HANDLE thread_ = nullptr;
  DWORD threadId_ = 0;
  CRITICAL_SECTION lock_;
  std::vector<HWND> opened_;
  std::atomic<int> failedOpens_{0};
};

// ---- Children ---------------------------------------------------------------------------------------

LRESULT CALLBACK childWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wp, lp);
}

// The child: optionally a window, its messages pumped until it is closed, the soak ends, or
// kSleeperLifetimeMs has passed.
int runChild(int argc, char** argv) {
  if (argc != 4) return 2;
  const DWORD parentPid = std::strtoul(argv[2], nullptr, 10);
  const bool windowed = std::strcmp(argv[3], "1") == 0;
  HANDLE parent = OpenProcess(SYNCHRONIZE, FALSE, parentPid);
  if (!parent) return 3;
  if (windowed && e2e::registerWindowClass(kChildClass, childWindowProc)) {
    const std::string caption = "Taskwell soak child " + std::to_string(GetCurrentProcessId());
    HWND w = CreateWindowExA(0, kChildClass, caption.c_str(), WS_OVERLAPPEDWINDOW, 500, 300, 300, 160, nullptr, nullptr,
                             GetModuleHandleA(nullptr), nullptr);
    if (w) ShowWindow(w, SW_SHOWNOACTIVATE);
  }
  const DWORD start = GetTickCount();
  int rc = 0;
  for (;;) {
    const DWORD waited = GetTickCount() - start;
    if (waited >= kSleeperLifetimeMs) break;
    DWORD r = MsgWaitForMultipleObjects(1, &parent, FALSE, kSleeperLifetimeMs - waited, QS_ALLINPUT);
    if (r == WAIT_OBJECT_0) break;  // the soak has ended
    MSG m;
    bool quit = false;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      if (m.message == WM_QUIT) {
        quit = true;
        break;
      }
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    if (quit) break;
    if (r == WAIT_FAILED) {
      rc = 4;
      break;
    }
  }
  CloseHandle(parent);
  return rc;
}

struct Child {
  PROCESS_INFORMATION pi{};
  DWORD startedAt = 0;
  bool windowed = false;
  DWORD closeAskedAt = 0;  // 0: not asked
};

struct LoadCounts {
  int childrenStarted = 0, childStartFailures = 0, childrenClosed = 0, childrenTerminated = 0;
  int childCloseIgnored = 0, childWindowMissing = 0;
  int windowsOpened = 0, windowsClosed = 0, windowOpenFailures = 0;
  int tabClicks = 0, tabClickFailures = 0;
  int hangs = 0, hangsSeenNotResponding = 0, hangsSeenRecovered = 0;
};

// ---- The soak -----------------------------------------------------------------------------------------

class Soak {
 public:
  Soak(Checks& checks, const Options& opt, double minutes)
      : checks_(checks), opt_(opt), durationMs_(static_cast<DWORD>(minutes * 60000.0 + 0.5)) {}

  ~Soak() { shutDown(); }
  Soak(const Soak&) = delete;
  Soak& operator=(const Soak&) = delete;

  void run();

 private:
  bool prepare();
  void loop();
  void shutDown();
  void sample(DWORD now);
  void startChild(DWORD now);
  void tendChildren(DWORD now, bool all);
  void tendWindows(DWORD now, bool all);
  void followHang(DWORD now);
  std::optional<std::string> hungRowStatus();
  void report();
  DWORD elapsed() const { return GetTickCount() - start_; }

  Checks& checks_;
  const Options& opt_;
  const DWORD durationMs_;
  Meter meter_;
  bool gdiTableValid_ = false;
  bool systemHandlesValid_ = false;
  bool privateUsageValid_ = false;
  bool pagefileUsageValid_ = false;
  bool committedValid_ = false;
  Launched app_;
  HANDLE process_ = nullptr;
  HWND main_ = nullptr;
  HWND tab_ = nullptr;
  HWND applicationsList_ = nullptr;
  std::vector<std::unique_ptr<WindowThread>> threads_;
  std::unique_ptr<WindowThread> hangThread_;
  HWND hungWindow_ = nullptr;
  std::deque<std::pair<HWND, DWORD>> windows_;
  std::vector<Child> children_;
  std::vector<Sample> samples_;
  LoadCounts load_;
  DWORD start_ = 0;
  int page_ = kApplicationsTab;
  bool appEnded_ = false;
  bool shutDown_ = false;
  // The hang in progress: when it began, whether it was released and what was seen.
  DWORD hangStartedAt_ = 0;
  bool hangActive_ = false;
  bool hangReleased_ = false;
  bool hangSeenNotResponding_ = false;
  bool hangSeenRecovered_ = false;
  int hangsDone_ = 0;
  DWORD lastRowRead_ = 0;
};

bool Soak::prepare() {
  fitSelfCheck(checks_);
  Checks::info("soak: %s", meter_.functions().c_str());
  std::string detail;
  gdiTableValid_ = meter_.gdiTableCounts(detail);
  Checks::info("soak: process GDI handle table %s (%s)",
               gdiTableValid_ ? "counts objects and is used" : "does not count objects and is not used", detail.c_str());
  systemHandlesValid_ = meter_.systemHandlesCount(detail);
  Checks::info("soak: system handle table %s (%s)",
               systemHandlesValid_ ? "counts handles and is used" : "does not count handles and is not used",
               detail.c_str());

  gReleaseHang = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  if (!checks_.expect(gReleaseHang && e2e::registerWindowClass(kWindowClass, soakWindowProc), "soak: window class registered"))
    return false;
  for (int i = 0; i < kWindowThreads; ++i) {
    threads_.push_back(std::make_unique<WindowThread>());
    if (!checks_.expect(threads_.back()->start(), "soak: window thread %d started", i)) return false;
  }
  hangThread_ = std::make_unique<WindowThread>();
  if (!checks_.expect(hangThread_->start() && hangThread_->open(kHungCaption), "soak: hanging window's thread started"))
    return false;
  waitFor(5000, [&] {
    auto got = hangThread_->takeOpened();
    if (!got.empty()) hungWindow_ = got.front();
    return hungWindow_ != nullptr;
  });
  if (!checks_.expect(hungWindow_ != nullptr, "soak: window \"%s\" opened", kHungCaption)) return false;

  std::string err;
  if (!app_.start(opt_.exe, err)) {
    checks_.fail("soak: start %s: %s", opt_.exe.c_str(), err.c_str());
    return false;
  }
  main_ = waitMainWindow(checks_, app_, "soak");
  if (!main_) return false;
  process_ = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_VM_OPERATION | SYNCHRONIZE, FALSE,
                         app_.pid());
  if (!checks_.expect(process_ != nullptr, "soak: opened taskwell.exe (pid %lu) for reading",
                      static_cast<unsigned long>(app_.pid())))
    return false;
  Checks::info("soak: first answers for taskwell.exe: %s", meter_.firstAnswers(app_.pid(), process_).c_str());
  const std::pair<bool*, int> memoryFigures[] = {{&privateUsageValid_, 0}, {&pagefileUsageValid_, 1}, {&committedValid_, 2}};
  for (auto [valid, which] : memoryFigures) {
    auto read = [&, which = which]() -> std::optional<double> {
      if (which == 2) return Meter::committedPrivate(process_);
      auto counters = meter_.memoryCounters(process_);
      if (!counters) return std::nullopt;
      return which == 0 ? counters->first : counters->second;
    };
    *valid = Meter::followsBlock(app_.pid(), read, detail);
    const FigureRule& figure = kFigures[which == 0 ? kPrivateUsage : which == 1 ? kPagefileUsage : kCommitted];
    Checks::info("soak: %s of taskwell.exe %s (%s)", figure.source,
                 *valid ? "follows a known allocation and is used" : "does not follow a known allocation and is not used",
                 detail.c_str());
  }
  auto tabs = childrenOfClass(main_, WC_TABCONTROLA);
  if (!checks_.expect(tabs.size() == 1, "soak: main window has one tab control (found %u)",
                      static_cast<unsigned>(tabs.size())))
    return false;
  tab_ = tabs[0];
  for (HWND list : childrenOfClass(main_, WC_LISTVIEWA)) {
    auto head = headerTexts(app_.pid(), listHeader(list));
    if (head.size() >= 2 && head[0] == "Task" && head[1] == "Status") applicationsList_ = list;
  }
  return checks_.expect(applicationsList_ != nullptr, "soak: Applications list (columns Task, Status) found");
}

void Soak::run() {
  if (!checks_.expect(durationMs_ >= 60000, "soak: run of %.1f minutes (at least 1)", durationMs_ / 60000.0)) return;
  if (!prepare()) return;
  Checks::info("soak: %.1f minutes: pages every %lu ms, a child process every %lu ms (ended after %lu ms), a window "
               "every %lu ms (closed after %lu ms), a %lu ms hang every %lu ms; a sample every %lu ms",
               durationMs_ / 60000.0, kTabIntervalMs, kChildStartIntervalMs, kChildLifetimeMs, kWindowOpenIntervalMs,
               kWindowLifetimeMs, kHangMs, kHangPeriodMs, kSampleIntervalMs);
  loop();
  shutDown();
  report();
}

void Soak::loop() {
  start_ = GetTickCount();
  DWORD nextSample = 0, nextTab = kTabIntervalMs, nextChild = 0, nextWindow = 0;
  int windowSequence = 0, thread = 0;
  for (;;) {
    const DWORD now = elapsed();
    if (app_.exited()) {
      checks_.fail("soak: taskwell.exe ended by itself at %.1f s (exit code %lu)", now / 1000.0,
                   static_cast<unsigned long>(app_.exitCode()));
      appEnded_ = true;
      return;
    }
    if (now >= nextSample) {
      sample(now);
      nextSample += kSampleIntervalMs;
      if (nextSample > durationMs_) return;
      continue;
    }
    if (now >= nextChild) {
      startChild(now);
      nextChild += kChildStartIntervalMs;
    }
    if (now >= nextWindow) {
      const std::string caption = "Taskwell soak window " + std::to_string(++windowSequence);
      if (threads_[thread]->open(caption))
        ++load_.windowsOpened;
      else
        ++load_.windowOpenFailures;
      thread = (thread + 1) % kWindowThreads;
      nextWindow += kWindowOpenIntervalMs;
    }
    tendWindows(now, false);
    tendChildren(now, false);
    followHang(now);
    if (now >= nextTab) {
      nextTab += kTabIntervalMs;
      if (!hangActive_) {
        page_ = (page_ + 1) % kPageCount;
        if (clickTab(app_.pid(), tab_, page_))
          ++load_.tabClicks;
        else
          ++load_.tabClickFailures;
      }
    }
    Sleep(50);
  }
}

void Soak::sample(DWORD now) {
  Sample s;
  s.seconds = now / 1000.0;
  s.page = page_;
  const DWORD pid = app_.pid();
  std::vector<std::optional<double>> readings[kFigureCount];
  for (int r = 0; r < kReadingsPerSample; ++r) {
    if (r > 0) Sleep(kReadingGapMs);
    readings[kHandles].push_back(meter_.handles(process_));
    if (systemHandlesValid_) readings[kSystemHandles].push_back(meter_.systemHandles(pid));
    readings[kGuiUser].push_back(meter_.gui(process_, GR_USEROBJECTS));
    readings[kGuiGdi].push_back(meter_.gui(process_, GR_GDIOBJECTS));
    if (gdiTableValid_) readings[kGdiTable].push_back(meter_.gdiTable(process_));
    readings[kWindows].push_back(windowsOf(pid));
  }
  for (int f = 0; f < kFigureCount; ++f) s.value[f] = least(readings[f]);
  if (auto counters = meter_.memoryCounters(process_)) {
    if (privateUsageValid_) s.value[kPrivateUsage] = counters->first;
    if (pagefileUsageValid_) s.value[kPagefileUsage] = counters->second;
  }
  if (committedValid_) s.value[kCommitted] = Meter::committedPrivate(process_);
  const DWORD t0 = GetTickCount();
  DWORD_PTR result = 0;
  s.answered = SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_NORMAL, kProbeTimeoutMs, &result) != 0;
  s.probeMs = GetTickCount() - t0;
  const DWORD value = 2000 + static_cast<DWORD>(samples_.size() % 50000);
  const DWORD t1 = GetTickCount();
  if (PostMessageA(applicationsList_, LVM_SETHOVERTIME, 0, static_cast<LPARAM>(value))) {
    do {
      DWORD_PTR got = 0;
      s.postedHandled = SendMessageTimeoutA(applicationsList_, LVM_GETHOVERTIME, 0, 0, SMTO_ABORTIFHUNG,
                                            kProbeTimeoutMs, &got) != 0 &&
                        got == value;
      if (!s.postedHandled) Sleep(5);
    } while (!s.postedHandled && GetTickCount() - t1 < kProbeTimeoutMs);
  }
  s.postedMs = GetTickCount() - t1;
  samples_.push_back(s);
  auto show = [&](int f) { return s.value[f] ? *s.value[f] / kFigures[f].unitDivisor : -1.0; };
  Checks::info("soak sample %5.1f s: handles %.0f (table %.0f), USER %.0f, GDI %.0f (table %.0f), windows %.0f, "
               "private %.0f KB (pagefile %.0f KB), committed %.0f KB, WM_NULL %s in %lu ms, posted %s in %lu ms",
               s.seconds, show(kHandles), show(kSystemHandles), show(kGuiUser), show(kGuiGdi), show(kGdiTable),
               show(kWindows), show(kPrivateUsage), show(kPagefileUsage), show(kCommitted),
               s.answered ? "answered" : "NOT answered", static_cast<unsigned long>(s.probeMs),
               s.postedHandled ? "handled" : "NOT handled", static_cast<unsigned long>(s.postedMs));
}

void Soak::startChild(DWORD now) {
  const bool windowed = (load_.childrenStarted + load_.childStartFailures) % 2 == 0;
  const std::string self = driverPath();
  std::string cmd = "\"" + self + "\" " + kChildArgument + " " + std::to_string(GetCurrentProcessId()) + " " +
                    (windowed ? "1" : "0");
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back('\0');
  STARTUPINFOA si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_SHOWNOACTIVATE;
  Child c;
  if (!CreateProcessA(self.c_str(), line.data(), nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &si,
                      &c.pi)) {
    ++load_.childStartFailures;
    return;
  }
  c.startedAt = now;
  c.windowed = windowed;
  children_.push_back(c);
  ++load_.childrenStarted;
}

// Ends children that have lived their time (`all`: every child, now): a windowed one is asked to
// close by a WM_CLOSE to its window and terminated when it has not ended kChildCloseLimitMs later;
// the others are terminated. Ended children's handles are closed.
void Soak::tendChildren(DWORD now, bool all) {
  for (Child& c : children_) {
    if (!c.pi.hProcess) continue;
    if (WaitForSingleObject(c.pi.hProcess, 0) == WAIT_OBJECT_0) {
      if (c.closeAskedAt) ++load_.childrenClosed;
      CloseHandle(c.pi.hProcess);
      CloseHandle(c.pi.hThread);
      c.pi = {};
      continue;
    }
    if (!all && now - c.startedAt < kChildLifetimeMs) continue;
    bool terminate = all || !c.windowed;
    if (!terminate && !c.closeAskedAt) {
      HWND w = nullptr;
      for (HWND h : topLevelWindowsOf(c.pi.dwProcessId))
        if (sameClass(className(h), kChildClass)) w = h;
      if (w && PostMessageA(w, WM_CLOSE, 0, 0)) {
        c.closeAskedAt = now ? now : 1;
      } else {
        ++load_.childWindowMissing;
        terminate = true;
      }
    } else if (!terminate && now - c.closeAskedAt >= kChildCloseLimitMs) {
      ++load_.childCloseIgnored;
      terminate = true;
    }
    if (terminate) {
      TerminateProcess(c.pi.hProcess, 1);
      WaitForSingleObject(c.pi.hProcess, 5000);
      ++load_.childrenTerminated;
      CloseHandle(c.pi.hProcess);
      CloseHandle(c.pi.hThread);
      c.pi = {};
    }
  }
  children_.erase(std::remove_if(children_.begin(), children_.end(), [](const Child& c) { return !c.pi.hProcess; }),
                  children_.end());
}

// Closes windows that have lived their time (`all`: every one, now).
void Soak::tendWindows(DWORD now, bool all) {
  for (auto& t : threads_)
    for (HWND w : t->takeOpened()) windows_.push_back({w, now});
  while (!windows_.empty() && (all || now - windows_.front().second >= kWindowLifetimeMs)) {
    if (PostMessageA(windows_.front().first, WM_CLOSE, 0, 0)) ++load_.windowsClosed;
    windows_.pop_front();
  }
}

// The hang of every minute: the window's thread is blocked at kHangOffsetMs into the minute for
// kHangMs; meanwhile the Applications page is held and its row for the window read until it shows
// "Not Responding", then after the release until it shows "Running" again.
void Soak::followHang(DWORD now) {
  if (!hangActive_) {
    const DWORD due = kHangOffsetMs + static_cast<DWORD>(hangsDone_) * kHangPeriodMs;
    if (now < due || due + kHangMs + kRecoverLimitMs > durationMs_) return;
    ResetEvent(gReleaseHang);
    if (!PostMessageA(hungWindow_, kBlockMessage, 0, 0)) {
      ++hangsDone_;
      return;
    }
    hangActive_ = true;
    hangReleased_ = hangSeenNotResponding_ = hangSeenRecovered_ = false;
    hangStartedAt_ = now;
    ++load_.hangs;
    if (clickTab(app_.pid(), tab_, kApplicationsTab)) page_ = kApplicationsTab;
    return;
  }
  const DWORD into = now - hangStartedAt_;
  if (!hangReleased_ && into >= kHangMs) {
    SetEvent(gReleaseHang);
    hangReleased_ = true;
  }
  // The rows are read twice a second: each reading is a round of messages to the program.
  if (now - lastRowRead_ < 500) return;
  lastRowRead_ = now;
  auto status = hungRowStatus();
  if (!hangReleased_ && status && *status == kNotResponding) hangSeenNotResponding_ = true;
  if (hangReleased_ && !gHanging && status && *status == kRunning) hangSeenRecovered_ = true;
  if (hangSeenRecovered_ || into >= kHangMs + kRecoverLimitMs) {
    Checks::info("soak: hang %d at %.1f s: \"%s\" %s, then %s", load_.hangs, hangStartedAt_ / 1000.0, kHungCaption,
                 hangSeenNotResponding_ ? "seen Not Responding" : "never seen Not Responding",
                 hangSeenRecovered_ ? "Running again" : "not seen Running again");
    load_.hangsSeenNotResponding += hangSeenNotResponding_ ? 1 : 0;
    load_.hangsSeenRecovered += hangSeenRecovered_ ? 1 : 0;
    hangActive_ = false;
    ++hangsDone_;
  }
}

// The status of the hanging window's row on the Applications page; null when there is no such row
// or the list cannot be read.
std::optional<std::string> Soak::hungRowStatus() {
  auto rows = listRows(app_.pid(), applicationsList_, 2);
  if (!rows) return std::nullopt;
  for (const auto& row : *rows)
    if (row.size() == 2 && row[0] == kHungCaption) return row[1];
  return std::nullopt;
}

// Stops the load, closes the program (WM_CLOSE, then terminated) and ends every child. Runs once.
void Soak::shutDown() {
  if (shutDown_) return;
  shutDown_ = true;
  if (gReleaseHang) SetEvent(gReleaseHang);
  tendWindows(elapsed(), true);
  for (auto& t : threads_) t->stop();
  if (hangThread_) hangThread_->stop();
  tendChildren(elapsed(), true);
  if (main_ && !app_.exited() && !appEnded_) {
    PostMessageA(main_, WM_CLOSE, 0, 0);
    checkEnds(checks_, app_, "soak: WM_CLOSE to the main window at the end");
  }
  app_.kill();
  if (process_) {
    CloseHandle(process_);
    process_ = nullptr;
  }
  if (gReleaseHang) {
    CloseHandle(gReleaseHang);
    gReleaseHang = nullptr;
  }
}

void Soak::report() {
  if (samples_.empty()) {
    checks_.fail("soak: no samples taken");
    return;
  }
  std::string out;
  char line[1024];
  auto add = [&](const char* fmt, auto... args) {
    std::snprintf(line, sizeof line, fmt, args...);
    out += line;
  };
  std::string csv = "seconds,page,handles,system_handles,gui_user,gui_gdi,gdi_table,windows,private_usage,"
                    "pagefile_usage,committed_private_bytes,wm_null_answered,wm_null_ms\n";
  add("Soak of taskwell.exe: %.1f minutes at the High update speed, a sample every %lu s\n", durationMs_ / 60000.0,
      kSampleIntervalMs / 1000);
  add("(-: not measured; readings that failed or were not used.)\n");
  add("%7s %4s %8s %8s %6s %6s %8s %8s %11s %11s %11s %8s\n", "t(s)", "page", "handles", "h.table", "USER", "GDI",
      "GDItable", "windows", "private KB", "pagefileKB", "commit KB", "WM_NULL");
  for (const Sample& s : samples_) {
    auto cell = [&](int f, char* buf, size_t n) {
      if (s.value[f])
        std::snprintf(buf, n, "%.0f", *s.value[f] / kFigures[f].unitDivisor);
      else
        std::snprintf(buf, n, "-");
      return buf;
    };
    char c[kFigureCount][32];
    add("%7.1f %4d %8s %8s %6s %6s %8s %8s %11s %11s %11s %5s %lu\n", s.seconds, s.page, cell(kHandles, c[0], 32),
        cell(kSystemHandles, c[1], 32), cell(kGuiUser, c[2], 32), cell(kGuiGdi, c[3], 32), cell(kGdiTable, c[4], 32),
        cell(kWindows, c[5], 32), cell(kPrivateUsage, c[6], 32), cell(kPagefileUsage, c[7], 32),
        cell(kCommitted, c[8], 32), s.answered ? "ok" : "NO", static_cast<unsigned long>(s.probeMs));
    char row[512];
    auto raw = [&](int f) { return s.value[f] ? *s.value[f] : -1.0; };
    std::snprintf(row, sizeof row, "%.1f,%d,%.0f,%.0f,%.0f,%.0f,%.0f,%.0f,%.0f,%.0f,%.0f,%d,%lu\n", s.seconds, s.page,
                  raw(kHandles), raw(kSystemHandles), raw(kGuiUser), raw(kGuiGdi), raw(kGdiTable), raw(kWindows),
                  raw(kPrivateUsage), raw(kPagefileUsage), raw(kCommitted), s.answered ? 1 : 0,
                  static_cast<unsigned long>(s.probeMs));
    csv += row;
  }

  // The fit: samples after the warm-up.
  const double warmUp = std::max<double>(kMinWarmUpMs, durationMs_ / 4.0) / 1000.0;
  const double spanMinutes = (samples_.back().seconds - warmUp) / 60.0;
  add("\nWarm-up: the first %.0f s; slopes fitted over the samples from then on (least squares, %.1f minutes), per "
      "minute.\nTolerance per minute: the larger of a floor and 1.5 x a one-off growth allowed / %.1f minutes "
      "(the slope such a step in the middle of the span gives).\n",
      warmUp, spanMinutes, spanMinutes);
  add("%-18s %-34s %12s %12s %16s  %s\n", "figure", "source", "slope/min", "tolerance", "(allowed, floor)",
      "verdict");
  bool handleMeasured = false, memoryMeasured = false, allFlat = true;
  for (int f = 0; f < kFigureCount; ++f) {
    const FigureRule& figure = kFigures[f];
    std::vector<std::pair<double, double>> points;
    int missing = 0, nonZero = 0, total = 0;
    for (const Sample& s : samples_) {
      if (s.seconds < warmUp) continue;
      ++total;
      if (!s.value[f]) {
        ++missing;
        continue;
      }
      if (*s.value[f] != 0) ++nonZero;
      points.push_back({s.seconds, *s.value[f] / figure.unitDivisor});
    }
    const double tolerance = tolerancePerMinute(figure, spanMinutes);
    std::string verdict;
    std::optional<double> slope;
    if ((f == kGdiTable && !gdiTableValid_) || (f == kSystemHandles && !systemHandlesValid_) ||
        (f == kPrivateUsage && !privateUsageValid_) || (f == kPagefileUsage && !pagefileUsageValid_) ||
        (f == kCommitted && !committedValid_)) {
      verdict = "not measured (the reading failed its check against known objects)";
    } else if (total == 0 || missing == total) {
      verdict = "not measured (the reading failed at every sample)";
    } else if (missing > 0) {
      verdict = "not measured (the reading failed at " + std::to_string(missing) + " of " + std::to_string(total) +
                " samples)";
    } else if (nonZero == 0) {
      verdict = "not measured (0 at every sample: this system does not count it)";
    } else if (!(slope = slopePerMinute(points))) {
      verdict = "not judged (too few samples after the warm-up)";
      allFlat = false;
    } else {
      const bool flat = std::fabs(*slope) <= tolerance;
      verdict = flat ? "flat" : "GROWS";
      allFlat &= flat;
      handleMeasured |= figure.handleFigure;
      memoryMeasured |= figure.memoryFigure;
    }
    char slopeText[32] = "-", tolText[32], basis[48];
    if (slope) std::snprintf(slopeText, sizeof slopeText, "%+.2f%s", *slope, figure.unit);
    std::snprintf(tolText, sizeof tolText, "%.2f%s", tolerance, figure.unit);
    std::snprintf(basis, sizeof basis, "(%.0f, %.2f)", figure.allowance, figure.floorPerMinute);
    add("%-18s %-34s %12s %12s %16s  %s\n", figure.name, figure.source, slopeText, tolText, basis, verdict.c_str());
    if (slope) {
      auto [low, high] = std::minmax_element(points.begin(), points.end(),
                                             [](const auto& x, const auto& y) { return x.second < y.second; });
      add("%-18s %-34s %12s %12s %16s  %.0f at %.0f s, %.0f at %.0f s; least %.0f, most %.0f\n", "", "", "", "", "",
          points.front().second, points.front().first, points.back().second, points.back().first, low->second,
          high->second);
    }
  }

  const double minutes = durationMs_ / 60000.0;
  add("\nLoad: %d child processes started (%d failed to start), %d closed by WM_CLOSE, %d terminated (%d windows not "
      "found, %d closes ignored); %d windows opened (%d failed), %d closed, %ld destroyed; %d page switches (%d "
      "failed); %d hangs, %d seen Not Responding, %d seen Running again\n",
      load_.childrenStarted, load_.childStartFailures, load_.childrenClosed, load_.childrenTerminated,
      load_.childWindowMissing, load_.childCloseIgnored, load_.windowsOpened, load_.windowOpenFailures,
      load_.windowsClosed, gWindowsDestroyed.load(), load_.tabClicks, load_.tabClickFailures, load_.hangs,
      load_.hangsSeenNotResponding, load_.hangsSeenRecovered);
  int unanswered = 0, unhandled = 0;
  DWORD slowest = 0, slowestPosted = 0;
  for (const Sample& s : samples_) {
    unanswered += s.answered ? 0 : 1;
    slowest = std::max(slowest, s.probeMs);
    unhandled += s.postedHandled ? 0 : 1;
    slowestPosted = std::max(slowestPosted, s.postedMs);
  }
  add("WM_NULL probes: %u, unanswered %d, slowest %lu ms (limit %lu ms)\n", static_cast<unsigned>(samples_.size()),
      unanswered, static_cast<unsigned long>(slowest), static_cast<unsigned long>(kProbeTimeoutMs));
  add("Posted probes: %u, not handled %d, slowest %lu ms (limit %lu ms)\n", static_cast<unsigned>(samples_.size()),
      unhandled, static_cast<unsigned long>(slowestPosted), static_cast<unsigned long>(kProbeTimeoutMs));
  std::fputs(out.c_str(), stdout);
  std::fflush(stdout);

  const std::pair<const char*, const std::string*> files[] = {{"soak-result.txt", &out}, {"soak-samples.csv", &csv}};
  for (const auto& [name, text] : files) {
    const std::string path = joinPath(opt_.artifacts, name);
    FILE* f = std::fopen(path.c_str(), "wb");
    bool written = f && std::fwrite(text->data(), 1, text->size(), f) == text->size();
    if (f) written = (std::fclose(f) == 0) && written;
    checks_.expect(written, "soak: %s written", path.c_str());
  }

  const size_t expectedSamples = durationMs_ / kSampleIntervalMs + 1;
  checks_.expect(samples_.size() == expectedSamples, "soak: %u samples taken (expected %u)",
                 static_cast<unsigned>(samples_.size()), static_cast<unsigned>(expectedSamples));
  checks_.expect(unanswered == 0, "soak: the main window answered WM_NULL within %lu ms at every sample (%d missed)",
                 static_cast<unsigned long>(kProbeTimeoutMs), unanswered);
  checks_.expect(unhandled == 0, "soak: a message posted to the program was handled within %lu ms at every sample (%d "
                 "missed, slowest %lu ms)",
                 static_cast<unsigned long>(kProbeTimeoutMs), unhandled, static_cast<unsigned long>(slowestPosted));
  checks_.expect(handleMeasured, "soak: a handle count was measured");
  checks_.expect(memoryMeasured, "soak: a private-memory figure was measured");
  checks_.expect(allFlat, "soak: every measured figure is flat within its tolerance after the warm-up");
  const double wantChildren = kLoadFloor * minutes * 60000.0 / kChildStartIntervalMs;
  const double wantWindows = kLoadFloor * minutes * 60000.0 / kWindowOpenIntervalMs;
  const double wantTabs = kLoadFloor * (minutes * 60000.0 - load_.hangs * (kHangMs + kRecoverLimitMs)) / kTabIntervalMs;
  checks_.expect(load_.childrenStarted >= wantChildren && load_.childrenClosed + load_.childrenTerminated >= wantChildren,
                 "soak: %d child processes started and %d ended (at least %.0f each)", load_.childrenStarted,
                 load_.childrenClosed + load_.childrenTerminated, wantChildren);
  checks_.expect(load_.windowsOpened - load_.windowOpenFailures >= wantWindows &&
                     gWindowsDestroyed.load() >= wantWindows,
                 "soak: %d windows opened and %ld destroyed (at least %.0f each)",
                 load_.windowsOpened - load_.windowOpenFailures, gWindowsDestroyed.load(), wantWindows);
  checks_.expect(load_.tabClicks >= wantTabs, "soak: %d page switches (at least %.0f)", load_.tabClicks, wantTabs);
  checks_.expect(load_.hangs > 0 && load_.hangsSeenNotResponding == load_.hangs &&
                     load_.hangsSeenRecovered == load_.hangs,
                 "soak: every hang (%d) was shown Not Responding (%d) and then Running (%d)", load_.hangs,
                 load_.hangsSeenNotResponding, load_.hangsSeenRecovered);
}

}  // namespace
}  // namespace e2e

int main(int argc, char** argv) {
  using namespace e2e;
  if (argc >= 2 && std::strcmp(argv[1], kChildArgument) == 0) return runChild(argc, argv);
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <path to taskwell.exe> <artifact directory> <minutes>\n",
                 argc > 0 ? argv[0] : "taskwell_soak");
    return 2;
  }
  Options opt{argv[1], argv[2]};
  char* end = nullptr;
  const double minutes = std::strtod(argv[3], &end);
  Checks checks;
  if (!end || *end != '\0' || !(minutes > 0) || minutes > 24 * 60) {
    checks.fail("minutes \"%s\" is not a number of minutes", argv[3]);
  } else if (GetFileAttributesA(opt.exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
    checks.fail("program %s not found", opt.exe.c_str());
  } else {
    CreateDirectoryA(opt.artifacts.c_str(), nullptr);
    Checks::info("soak: program %s, artifacts in %s", opt.exe.c_str(), opt.artifacts.c_str());
    VersionSetting version(baseName(opt.exe));
    // The settings of this run: the Applications page and the High update speed (each speed is
    // stored under its menu item's caption; the last one stored on wins, so the others are off).
    ScopedRegistryValue page(HKEY_CURRENT_USER, kSettingsKey, "ActivePage");
    ScopedRegistryValue high(HKEY_CURRENT_USER, kSettingsKey, "&High");
    ScopedRegistryValue normal(HKEY_CURRENT_USER, kSettingsKey, "&Normal");
    ScopedRegistryValue low(HKEY_CURRENT_USER, kSettingsKey, "&Low");
    ScopedRegistryValue paused(HKEY_CURRENT_USER, kSettingsKey, "&Paused");
    const bool seeded = version.set("win98") && page.set(dwordValue(0)) && high.set(dwordValue(1)) &&
                        normal.set(dwordValue(0)) && low.set(dwordValue(0)) && paused.set(dwordValue(0));
    if (checks.expect(seeded, "soak: Version=win98 and the High speed stored")) {
      Soak soak(checks, opt, minutes);
      soak.run();
    }
  }
  std::printf("%d passed, %d failed\n", checks.passed(), checks.failed());
  std::fflush(stdout);
  return checks.failed() == 0 ? 0 : 1;
}
