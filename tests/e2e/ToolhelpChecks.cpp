// taskwell_toolhelp_checks: checks the toolhelp and process adapters of the Win32 platform, and
// the windowing, shell and system operations the task list uses, from inside a running program
// under Wine.
//
//   taskwell_toolhelp_checks.exe                run the checks
//   taskwell_toolhelp_checks.exe --sleep        the child the checks start: waits until it is ended
//   taskwell_toolhelp_checks.exe --signal NAME  the program WinExec starts: sets the named event
//
// What Wine's toolhelp reports and the adapter relies on (priority class numbers 1 to 4 instead of
// base priorities, bare file names instead of full paths, no heap list, a heap walk that would end
// the program), what the adapter turns it into (base priorities 4, 8, 13, 24, full paths taken from
// one module snapshot per process and remembered), the process snapshot the adapter takes with
// one NtQuerySystemInformation call (against Wine's own toolhelp walks, handle by handle against
// the system's snapshot, and on answers the checks make up), and ending a process through the
// process adapter. The checks run as Windows 98, as the program does: Wine gives a caller that it tells
// it is Windows 95 or 98 every right to a process it opens (on Windows 98 any process handle can be
// waited on), while for NT versions a handle opened to end a process cannot be waited on. Started
// otherwise, the program stores the per-program version Windows 98 and runs itself again.
//
// One PASS/FAIL line per check, then "N passed, M failed"; the exit code is 0 only when nothing
// failed. Run by run_e2e.sh --self.
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Win32Toolhelp.h"
#include "platform/win32/Win32Windows.h"
#include "platform/win32/Win32Api.h"

#include "e2e_util.h"

#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using e2e::Checks;
namespace tw = taskwell;
using tw::win32::ExePathCache;
using tw::win32::Win32Toolhelp;

constexpr DWORD kChildStartMs = 15000;
constexpr DWORD kChecksTimeoutMs = 60000;

std::string selfPath() {
  char buf[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, buf, sizeof buf);
  return buf;
}

bool sameTextIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && lstrcmpiA(a.c_str(), b.c_str()) == 0;
}

std::string fileNameOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

// This program started again with --sleep. Ended on destruction if it still runs.
class Child {
 public:
  ~Child() {
    if (!pi_.hProcess) return;
    if (WaitForSingleObject(pi_.hProcess, 0) != WAIT_OBJECT_0) {
      TerminateProcess(pi_.hProcess, 1);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
  }
  // Starts `exe` (a copy of this program; this program itself when empty) with --sleep.
  bool start(const std::wstring& exe = {}) {
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const std::wstring program = exe.empty() ? std::wstring(self) : exe;
    std::wstring cmd = L"\"" + program + L"\" --sleep";
    std::vector<wchar_t> line(cmd.begin(), cmd.end());
    line.push_back(L'\0');
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) {
      pi_ = {};
      return false;
    }
    // Ready once its executable module can be read (a process caught while it starts may not
    // have it yet).
    std::string path;
    return e2e::waitFor(kChildStartMs, [&] {
      return Win32Toolhelp::ExePathOfProcess(static_cast<tw::DWORD>(pi_.dwProcessId), path);
    });
  }
  DWORD pid() const { return pi_.dwProcessId; }
  HANDLE handle() const { return pi_.hProcess; }

 private:
  PROCESS_INFORMATION pi_{};
};

// An adapter whose process snapshots are the system's own (no process list query).
Win32Toolhelp systemToolhelp(bool onWine) { return Win32Toolhelp(onWine, &Win32Toolhelp::ExePathOfProcess, {}); }

// One complete process walk through the adapter.
std::vector<tw::PROCESSENTRY32> walkProcesses(tw::IToolhelp& toolhelp) {
  std::vector<tw::PROCESSENTRY32> out;
  tw::HANDLE snap = toolhelp.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == 0) return out;
  tw::PROCESSENTRY32 e{};
  e.dwSize = sizeof e;
  for (bool more = toolhelp.Process32First(snap, e); more && out.size() < 4096;
       more = toolhelp.Process32Next(snap, e))
    out.push_back(e);
  toolhelp.CloseHandle(snap);
  return out;
}

const tw::PROCESSENTRY32* findProcess(const std::vector<tw::PROCESSENTRY32>& walk, DWORD pid) {
  for (const auto& e : walk)
    if (e.th32ProcessID == pid) return &e;
  return nullptr;
}

bool hasPathSeparator(const char* name) { return std::strchr(name, '\\') != nullptr; }

// ---- The path cache, against a scripted lookup ------------------------------------------------

// One step: optionally forget every id but `retain`, then complete (pid, bare name) while the
// lookup answers `answer` (null: it fails); whether the lookup was asked, and what came back.
struct CacheStep {
  const char* what;
  std::vector<tw::DWORD> retain;
  bool doRetain;
  tw::DWORD pid;
  const char* bare;
  const char* answer;
  bool looksUp;
  const char* result;
};

void checkExePathCache(Checks& checks) {
  const char* answer = nullptr;
  int lookups = 0;
  ExePathCache cache([&](tw::DWORD, std::string& path) {
    ++lookups;
    if (!answer) return false;
    path = answer;
    return true;
  });
  const CacheStep steps[] = {
      {"a new process is looked up", {}, false, 8, "a.exe", "C:\\x\\a.exe", true, "C:\\x\\a.exe"},
      {"a known path is not looked up again", {}, false, 8, "a.exe", "C:\\other\\a.exe", false, "C:\\x\\a.exe"},
      {"a failed lookup leaves the bare name", {}, false, 12, "b.exe", nullptr, true, "b.exe"},
      {"a failed lookup is tried again (2nd)", {}, false, 12, "b.exe", nullptr, true, "b.exe"},
      {"a failed lookup is tried again (3rd)", {}, false, 12, "b.exe", nullptr, true, "b.exe"},
      {"after three failures the process is given up", {}, false, 12, "b.exe", "C:\\y\\b.exe", false, "b.exe"},
      {"an id reused by another program is looked up again", {}, false, 8, "c.exe", "C:\\z\\c.exe", true,
       "C:\\z\\c.exe"},
      {"a path of another file name is refused", {}, false, 16, "d.exe", "C:\\w\\other.exe", true, "d.exe"},
      {"file names compare without case", {}, false, 20, "E.EXE", "C:\\w\\e.exe", true, "C:\\w\\e.exe"},
      {"a name without an extension is completed", {}, false, 24, "f", "C:\\v\\f", true, "C:\\v\\f"},
      {"ids not in the last walk are forgotten", {8, 24}, true, 20, "E.EXE", "C:\\u\\e.exe", true,
       "C:\\u\\e.exe"},
      {"a forgotten, given-up id starts afresh", {}, false, 12, "b.exe", "C:\\y\\b.exe", true, "C:\\y\\b.exe"},
      {"a kept id is still known", {}, false, 24, "f", nullptr, false, "C:\\v\\f"},
  };
  for (const CacheStep& s : steps) {
    if (s.doRetain) cache.Retain(s.retain);
    answer = s.answer;
    const int before = lookups;
    const std::string got = cache.Complete(s.pid, s.bare);
    const bool asked = lookups != before;
    checks.expect(asked == s.looksUp && got == s.result,
                  "path cache: %s (id %lu \"%s\": %s, \"%s\"; expected %s, \"%s\")", s.what,
                  static_cast<unsigned long>(s.pid), s.bare, asked ? "looked up" : "not looked up", got.c_str(),
                  s.looksUp ? "looked up" : "not looked up", s.result);
  }
  cache.Retain({24});
  checks.expect(cache.Size() == 1, "path cache: Retain keeps exactly the ids it is given (%u left)",
                static_cast<unsigned>(cache.Size()));
}

// ---- What Wine reports -----------------------------------------------------------------------

void checkWineFacts(Checks& checks, const Child& child) {
  checks.expect(Win32Toolhelp::RunsOnWine(), "Wine is recognised (ntdll exports wine_get_version)");
  Win32Toolhelp raw = systemToolhelp(false);
  const auto walk = walkProcesses(raw);
  const tw::PROCESSENTRY32* e = findProcess(walk, child.pid());
  if (!checks.expect(e != nullptr, "unadjusted walk lists the child %lu", child.pid())) return;
  checks.expect(e->pcPriClassBase == 2, "Wine reports priority class number 2 for a normal process (got %ld)",
                static_cast<long>(e->pcPriClassBase));
  checks.expect(!hasPathSeparator(e->szExeFile) && sameTextIgnoringCase(e->szExeFile, fileNameOf(selfPath())),
                "Wine reports the bare file name \"%s\"", e->szExeFile);
  Checks::info("Wine's process fields: cntUsage %lu, th32DefaultHeapID %lu, th32ModuleID %lu, dwFlags %lu",
               static_cast<unsigned long>(e->cntUsage), static_cast<unsigned long>(e->th32DefaultHeapID),
               static_cast<unsigned long>(e->th32ModuleID), static_cast<unsigned long>(e->dwFlags));
  const bool noHeaps = raw.CreateToolhelp32Snapshot(TH32CS_SNAPHEAPLIST, GetCurrentProcessId()) == 0;
  const DWORD error = GetLastError();
  checks.expect(noHeaps, "Wine takes no heap-list snapshot (error %lu)", error);
}

// ---- The adjusted process walk ---------------------------------------------------------------

void checkAdjustedWalk(Checks& checks, const Child& child, Win32Toolhelp& toolhelp, const int& lookups) {
  int before = lookups;
  const auto first = walkProcesses(toolhelp);
  const int firstLookups = lookups - before;
  checks.expect(!first.empty() && firstLookups == static_cast<int>(first.size()),
                "first walk: one module snapshot per process (%d for %u processes)", firstLookups,
                static_cast<unsigned>(first.size()));
  std::string bare;
  for (const auto& e : first)
    if (!hasPathSeparator(e.szExeFile)) bare += std::string(" ") + e.szExeFile;
  checks.expect(bare.empty(), "first walk: every process has a full path (bare:%s)",
                bare.empty() ? " none" : bare.c_str());
  const tw::PROCESSENTRY32* own = findProcess(first, GetCurrentProcessId());
  const tw::PROCESSENTRY32* kid = findProcess(first, child.pid());
  const std::string self = selfPath();
  checks.expect(own && sameTextIgnoringCase(own->szExeFile, self), "own process: path \"%s\" (expected \"%s\")",
                own ? own->szExeFile : "<missing>", self.c_str());
  checks.expect(kid && sameTextIgnoringCase(kid->szExeFile, self), "child: path \"%s\" (expected \"%s\")",
                kid ? kid->szExeFile : "<missing>", self.c_str());
  checks.expect(kid && kid->pcPriClassBase == 8, "child: base priority 8 for a normal process (got %ld)",
                kid ? static_cast<long>(kid->pcPriClassBase) : -1L);
  checks.expect(toolhelp.KnownPaths() == first.size(), "first walk: %u processes remembered (walk has %u)",
                static_cast<unsigned>(toolhelp.KnownPaths()), static_cast<unsigned>(first.size()));

  // A second walk asks only about processes that were not in the first.
  before = lookups;
  const auto second = walkProcesses(toolhelp);
  int fresh = 0;
  for (const auto& e : second)
    if (!findProcess(first, e.th32ProcessID)) ++fresh;
  checks.expect(lookups - before == fresh, "second walk: %d module snapshots for %d new processes",
                lookups - before, fresh);
  kid = findProcess(second, child.pid());
  checks.expect(kid && sameTextIgnoringCase(kid->szExeFile, self), "second walk: child keeps its path \"%s\"",
                kid ? kid->szExeFile : "<missing>");

  // A walk left unfinished forgets nothing.
  tw::HANDLE snap = toolhelp.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  tw::PROCESSENTRY32 e{};
  e.dwSize = sizeof e;
  toolhelp.Process32First(snap, e);
  toolhelp.CloseHandle(snap);
  checks.expect(toolhelp.KnownPaths() == second.size(), "an unfinished walk forgets nothing (%u remembered)",
                static_cast<unsigned>(toolhelp.KnownPaths()));
}

// Each priority class of the child as the walk reports it: Wine's class number unadjusted, the
// Windows base priority adjusted.
void checkPriorities(Checks& checks, const Child& child, Win32Toolhelp& toolhelp) {
  struct Case {
    const char* name;
    DWORD priorityClass;
    tw::LONG wine;
    tw::LONG windows;
  };
  static const Case cases[] = {
      {"idle", IDLE_PRIORITY_CLASS, 1, 4},
      {"high", HIGH_PRIORITY_CLASS, 3, 13},
      {"realtime", REALTIME_PRIORITY_CLASS, 4, 24},
      {"normal", NORMAL_PRIORITY_CLASS, 2, 8},
  };
  HANDLE h = OpenProcess(PROCESS_SET_INFORMATION, FALSE, child.pid());
  if (!checks.expect(h != nullptr, "child opened to set its priority class")) return;
  Win32Toolhelp raw = systemToolhelp(false);
  for (const Case& c : cases) {
    if (!checks.expect(SetPriorityClass(h, c.priorityClass) != FALSE, "%s: priority class set", c.name)) continue;
    const auto rawWalk = walkProcesses(raw);
    const auto walk = walkProcesses(toolhelp);
    const tw::PROCESSENTRY32* r = findProcess(rawWalk, child.pid());
    const tw::PROCESSENTRY32* a = findProcess(walk, child.pid());
    checks.expect(r && r->pcPriClassBase == c.wine && a && a->pcPriClassBase == c.windows,
                  "%s: Wine reports %ld (expected %ld), the adapter %ld (expected %ld)", c.name,
                  r ? static_cast<long>(r->pcPriClassBase) : -1L, static_cast<long>(c.wine),
                  a ? static_cast<long>(a->pcPriClassBase) : -1L, static_cast<long>(c.windows));
  }
  CloseHandle(h);
}

// ---- The process list query -------------------------------------------------------------------
//
// Where ntdll exports NtQuerySystemInformation, the adapter takes a process snapshot with one call
// of it and walks the answer in memory. Its walk is compared with the system's own toolhelp walks
// taken around it, its snapshot handles with the system's snapshot handles, and its reading of the
// answer with answers the checks make up (malformed ones among them).

using tw::win32::Win32ProcessQuery;

// One process walk with the system's own calls.
std::vector<tw::PROCESSENTRY32> systemWalk() {
  std::vector<tw::PROCESSENTRY32> out;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return out;
  PROCESSENTRY32 e{};
  e.dwSize = sizeof e;
  for (BOOL more = Process32First(snap, &e); more && out.size() < 4096; more = Process32Next(snap, &e)) {
    tw::PROCESSENTRY32 t{};
    t.dwSize = sizeof t;  // our record, whatever the size of the system's
    t.cntUsage = e.cntUsage;
    t.th32ProcessID = e.th32ProcessID;
    t.th32DefaultHeapID = static_cast<tw::DWORD>(e.th32DefaultHeapID);
    t.th32ModuleID = e.th32ModuleID;
    t.cntThreads = e.cntThreads;
    t.th32ParentProcessID = e.th32ParentProcessID;
    t.pcPriClassBase = e.pcPriClassBase;
    t.dwFlags = e.dwFlags;
    std::memcpy(t.szExeFile, e.szExeFile, sizeof t.szExeFile);
    out.push_back(t);
  }
  CloseHandle(snap);
  return out;
}

std::string describe(const tw::PROCESSENTRY32& e) {
  char text[400];
  std::snprintf(text, sizeof text, "[%lu \"%s\" parent %lu, %lu threads, priority %ld, usage %lu heap %lu module %lu flags %lu]",
                static_cast<unsigned long>(e.th32ProcessID), e.szExeFile, static_cast<unsigned long>(e.th32ParentProcessID),
                static_cast<unsigned long>(e.cntThreads), static_cast<long>(e.pcPriClassBase),
                static_cast<unsigned long>(e.cntUsage), static_cast<unsigned long>(e.th32DefaultHeapID),
                static_cast<unsigned long>(e.th32ModuleID), static_cast<unsigned long>(e.dwFlags));
  return text;
}

// The fields, other than the thread count, in which two entries of one process differ.
std::string differences(const tw::PROCESSENTRY32& a, const tw::PROCESSENTRY32& b) {
  std::string d;
  if (a.dwSize != b.dwSize) d += " dwSize";
  if (a.cntUsage != b.cntUsage) d += " cntUsage";
  if (a.th32DefaultHeapID != b.th32DefaultHeapID) d += " th32DefaultHeapID";
  if (a.th32ModuleID != b.th32ModuleID) d += " th32ModuleID";
  if (a.th32ParentProcessID != b.th32ParentProcessID) d += " parent";
  if (a.pcPriClassBase != b.pcPriClassBase) d += " priority";
  if (a.dwFlags != b.dwFlags) d += " dwFlags";
  if (std::strcmp(a.szExeFile, b.szExeFile) != 0) d += " name";
  return d;
}

using Walker = std::function<std::vector<tw::PROCESSENTRY32>()>;

// Compares the walk `taken` with two walks of the reference, one right before and one right
// after it: every process in both reference walks is in it once, every process in it is in one of
// them (a process may start or end in between), and each of its entries agrees with the
// reference's, its thread count with one of the two. Tried three times, since the system's
// processes start and end threads all the time.
void compareWithReference(Checks& checks, const char* what, const Walker& reference, const Walker& taken,
                          const std::vector<DWORD>& mustList) {
  std::string problems;
  size_t listed = 0;
  for (int attempt = 0; attempt < 3; ++attempt) {
    const auto before = reference();
    const auto walk = taken();
    const auto after = reference();
    problems.clear();
    listed = walk.size();
    for (const auto& e : before)
      if (findProcess(after, e.th32ProcessID) &&
          std::count_if(walk.begin(), walk.end(), [&](const auto& w) { return w.th32ProcessID == e.th32ProcessID; }) != 1)
        problems += " not listed once: " + describe(e);
    for (const auto& e : walk) {
      const tw::PROCESSENTRY32* b = findProcess(before, e.th32ProcessID);
      const tw::PROCESSENTRY32* a = findProcess(after, e.th32ProcessID);
      if (!b && !a) {
        problems += " in neither of the system's walks: " + describe(e);
        continue;
      }
      std::string d = differences(e, b ? *b : *a);
      if (!(b && b->cntThreads == e.cntThreads) && !(a && a->cntThreads == e.cntThreads)) d += " threads";
      if (!d.empty()) problems += " differs in" + d + ": " + describe(e) + " against " + describe(b ? *b : *a);
    }
    for (DWORD pid : mustList)
      if (!findProcess(before, pid) || !findProcess(walk, pid))
        problems += " lacks process " + std::to_string(pid);
    if (problems.empty()) break;
  }
  checks.expect(problems.empty(), "%s: %u processes agree with the system's walks around it%s", what,
                static_cast<unsigned>(listed), problems.c_str());
}

// Whether `h` is an open handle of this process. (Wine counts no handles for
// GetProcessHandleCount, so each is asked about by itself.)
bool isOpenHandle(tw::HANDLE h) {
  DWORD flags = 0;
  return h != 0 && GetHandleInformation(tw::win32::ToHandle(h), &flags) != FALSE;
}

// The query's walk against the system's, unadjusted and with the Wine adjustments, with a second
// child whose file name lies outside ASCII (its name goes through the ANSI code page).
void checkQueryAgainstSystem(Checks& checks, const Child& child) {
  wchar_t temp[MAX_PATH] = {}, self[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring copy = std::wstring(temp) + L"Taskwell-\u00E4\u00F6.exe";
  const bool copied = CopyFileW(self, copy.c_str(), FALSE) != FALSE;
  {
    Child accented;
    const bool started = copied && accented.start(copy);
    checks.expect(started, "a copy of this program with a name outside ASCII started (error %lu)", GetLastError());
    std::vector<DWORD> mustList = {GetCurrentProcessId(), child.pid()};
    if (started) mustList.push_back(accented.pid());

    Win32Toolhelp query(false);
    const tw::HANDLE snap = query.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    const size_t open = query.OpenQuerySnapshots();
    query.CloseHandle(snap);
    checks.expect(snap != 0 && open == 1 && query.OpenQuerySnapshots() == 0,
                  "ntdll's NtQuerySystemInformation is found and takes the process snapshot (%u open, %u after "
                  "closing)", static_cast<unsigned>(open), static_cast<unsigned>(query.OpenQuerySnapshots()));
    compareWithReference(checks, "query walk against the system's toolhelp", systemWalk,
                         [&] { return walkProcesses(query); }, mustList);

    Win32Toolhelp system = systemToolhelp(true);
    Win32Toolhelp adjusted(true);
    compareWithReference(checks, "query walk with the Wine adjustments against the system's walk with them",
                         [&] { return walkProcesses(system); }, [&] { return walkProcesses(adjusted); }, mustList);
  }
  if (copied) DeleteFileW(copy.c_str());
}

std::vector<DWORD> walkIds(tw::IToolhelp& toolhelp, tw::HANDLE h, bool shortNext = false) {
  std::vector<DWORD> ids;
  tw::PROCESSENTRY32 e{};
  e.dwSize = sizeof e;
  for (bool more = toolhelp.Process32First(h, e); more && ids.size() < 4096; more = toolhelp.Process32Next(h, e)) {
    ids.push_back(e.th32ProcessID);
    if (shortNext && ids.size() == 1) {
      tw::PROCESSENTRY32 refused{};
      refused.dwSize = sizeof refused - 1;
      if (toolhelp.Process32Next(h, refused)) ids.push_back(0xFFFFFFFFu);  // a short record must not be filled
    }
  }
  return ids;
}

bool lists(const std::vector<DWORD>& ids, DWORD pid) { return std::find(ids.begin(), ids.end(), pid) != ids.end(); }

// One rule of a snapshot handle: whether the adapter kept it, and what it answered (compared with
// what the system's snapshot answers).
struct Observation {
  const char* what;
  bool right;
  std::string seen;
};

// Steps through the rules of a process snapshot handle `h` of `toolhelp`, ending with its close.
// `late` started after the snapshot was taken.
std::vector<Observation> handleRules(tw::IToolhelp& toolhelp, tw::HANDLE h, DWORD late) {
  auto said = [](bool ok) { return ok ? std::string("true") : "false (error " + std::to_string(GetLastError()) + ")"; };
  auto ids = [](const std::vector<DWORD>& v) {
    std::string text;
    for (DWORD id : v) {
      text += ' ';
      text += std::to_string(id);
    }
    return text;
  };
  std::vector<Observation> out;
  const bool open = isOpenHandle(h);
  out.push_back({"the snapshot is an open handle of this process", open, open ? "open" : "not open"});
  tw::PROCESSENTRY32 e{};
  e.dwSize = sizeof e - 1;
  e.th32ProcessID = 0xBADu;
  bool ok = toolhelp.Process32First(h, e);
  std::string seen = said(ok);
  out.push_back({"Process32First refuses a record one byte short and leaves it alone", !ok && e.th32ProcessID == 0xBADu,
                 seen + (e.th32ProcessID == 0xBADu ? ", untouched" : ", written")});
  const auto walk = walkIds(toolhelp, h, true);
  const DWORD endError = GetLastError();
  e.dwSize = sizeof e;
  ok = toolhelp.Process32Next(h, e);
  out.push_back({"Process32Next after the end", !ok && GetLastError() == ERROR_NO_MORE_FILES, said(ok)});
  const auto again = walkIds(toolhelp, h);
  out.push_back({"the walk lists this process and ends with ERROR_NO_MORE_FILES; a refused short Next keeps its place",
                 lists(walk, GetCurrentProcessId()) && endError == ERROR_NO_MORE_FILES && walk == again,
                 ids(walk) + ", error " + std::to_string(endError)});
  out.push_back({"Process32First walks the same snapshot again, without the process started since",
                 again == walk && !lists(again, late), ids(again)});
  tw::THREADENTRY32 thread{};
  thread.dwSize = sizeof thread;
  ok = toolhelp.Thread32First(h, thread);
  out.push_back({"Thread32First on the process snapshot", !ok, said(ok)});
  tw::MODULEENTRY32 module{};
  module.dwSize = sizeof module;
  ok = toolhelp.Module32First(h, module);
  out.push_back({"Module32First on the process snapshot", !ok, said(ok)});
  ok = toolhelp.CloseHandle(h);
  seen = said(ok);
  const bool stillOpen = isOpenHandle(h);
  out.push_back({"CloseHandle closes the handle", ok && !stillOpen, seen + (stillOpen ? ", still open" : ", closed")});
  ok = toolhelp.CloseHandle(h);
  out.push_back({"CloseHandle a second time", !ok && GetLastError() == ERROR_INVALID_HANDLE, said(ok)});
  ok = toolhelp.Process32First(h, e);
  out.push_back({"Process32First after the close", !ok, said(ok)});
  return out;
}

// The query's snapshot handle step by step beside the system's, and what either must answer.
void checkQuerySnapshotHandles(Checks& checks) {
  Win32Toolhelp query(false);
  Win32Toolhelp system = systemToolhelp(false);
  const tw::HANDLE q = query.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  const tw::HANDLE s = system.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  const size_t open = query.OpenQuerySnapshots();
  std::vector<Observation> byQuery, bySystem;
  {
    Child late;  // starts after both snapshots were taken: neither may list it
    checks.expect(late.start(), "a child started after the snapshots");
    byQuery = handleRules(query, q, late.pid());
    bySystem = handleRules(system, s, late.pid());
  }
  checks.expect(q != 0 && s != 0 && open == 1 && query.OpenQuerySnapshots() == 0,
                "snapshots taken (query 0x%lX, system 0x%lX), the query's open until closed",
                static_cast<unsigned long>(q), static_cast<unsigned long>(s));
  for (size_t i = 0; i < byQuery.size() && i < bySystem.size(); ++i)
    checks.expect(byQuery[i].right && byQuery[i].seen == bySystem[i].seen, "query snapshot: %s: %s (the system's: %s)",
                  byQuery[i].what, byQuery[i].seen.c_str(), bySystem[i].seen.c_str());

  // Two snapshots walked in turns keep their own places; closing one leaves the other.
  const tw::HANDLE a = query.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  const tw::HANDLE b = query.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  const size_t both = query.OpenQuerySnapshots();
  const auto whole = walkIds(query, b);
  tw::PROCESSENTRY32 e{};
  e.dwSize = sizeof e;
  std::vector<DWORD> turns;
  if (query.Process32First(a, e)) turns.push_back(e.th32ProcessID);
  if (query.Process32First(b, e)) turns.push_back(e.th32ProcessID);
  if (query.Process32Next(a, e)) turns.push_back(e.th32ProcessID);
  query.CloseHandle(a);
  const auto rest = walkIds(query, b);
  query.CloseHandle(b);
  checks.expect(a != 0 && b != 0 && a != b && both == 2 && whole.size() >= 2 && turns.size() == 3 &&
                    turns[0] == whole[0] && turns[1] == whole[0] && turns[2] == whole[1] && rest == whole &&
                    query.OpenQuerySnapshots() == 0,
                "two query snapshots open at once (0x%lX, 0x%lX, %u open) walk in turns and close apart",
                static_cast<unsigned long>(a), static_cast<unsigned long>(b), static_cast<unsigned>(both));

  // Handles the query did not make: the system answers for them.
  struct Foreign {
    const char* what;
    HANDLE handle;
  };
  const Foreign foreign[] = {
      {"an event", CreateEventA(nullptr, TRUE, FALSE, nullptr)},
      {"a thread snapshot", CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0)},
      {"no handle", nullptr},
  };
  for (const Foreign& f : foreign) {
    PROCESSENTRY32 native{};
    native.dwSize = sizeof native;
    SetLastError(0);
    const bool expected = Process32First(f.handle, &native) != FALSE;
    const DWORD expectedError = GetLastError();
    SetLastError(0);
    const bool got = query.Process32First(tw::win32::FromHandle(f.handle), e);
    const DWORD error = GetLastError();
    checks.expect(got == expected && error == expectedError,
                  "Process32First on %s through the query's adapter: %s, error %lu (the system: %s, error %lu)", f.what,
                  got ? "true" : "false", error, expected ? "true" : "false", expectedError);
    if (f.handle) CloseHandle(f.handle);
  }

  // Every other kind of snapshot is the system's (the thread and module walks are checked below).
  const tw::DWORD kinds[] = {TH32CS_SNAPTHREAD, TH32CS_SNAPPROCESS | TH32CS_SNAPTHREAD, TH32CS_SNAPMODULE};
  for (tw::DWORD flags : kinds) {
    const tw::HANDLE h = query.CreateToolhelp32Snapshot(flags, GetCurrentProcessId());
    const size_t ours = query.OpenQuerySnapshots();
    const bool listed = !(flags & TH32CS_SNAPPROCESS) || lists(walkIds(query, h), GetCurrentProcessId());
    const bool closed = query.CloseHandle(h);
    checks.expect(h != 0 && ours == 0 && listed && closed, "a snapshot of kinds 0x%lX is the system's (%u of the query's open)",
                  static_cast<unsigned long>(flags), static_cast<unsigned>(ours));
  }

  // The steady state: one query call per snapshot, into the same buffer, no handle left behind
  // (closed handles' values are given out again, so a leak would show as ever new values).
  int calls = 0;
  std::vector<void*> buffers;
  const Win32ProcessQuery::Query real = Win32ProcessQuery::SystemQuery();
  Win32Toolhelp counted(false, &Win32Toolhelp::ExePathOfProcess, [&](void* buffer, ULONG size, ULONG& needed) {
    ++calls;
    if (std::find(buffers.begin(), buffers.end(), buffer) == buffers.end()) buffers.push_back(buffer);
    return real(buffer, size, needed);
  });
  walkProcesses(counted);
  const size_t bytes = counted.QueryBufferBytes();
  const int firstCalls = calls;
  buffers.clear();
  calls = 0;
  std::vector<tw::HANDLE> handles;
  bool allClosed = true;
  for (int i = 0; i < 20; ++i) {
    const tw::HANDLE h = counted.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    walkIds(counted, h);
    counted.CloseHandle(h);
    allClosed = allClosed && !isOpenHandle(h);
    if (std::find(handles.begin(), handles.end(), h) == handles.end()) handles.push_back(h);
  }
  checks.expect(calls == 20 && buffers.size() == 1 && counted.QueryBufferBytes() == bytes && allClosed &&
                    handles.size() <= 2 && counted.OpenQuerySnapshots() == 0,
                "20 snapshots: %d query calls into %u buffer(s) of %u bytes (the first took %d), %u handle value(s), "
                "each closed: %s",
                calls, static_cast<unsigned>(buffers.size()), static_cast<unsigned>(counted.QueryBufferBytes()),
                firstCalls, static_cast<unsigned>(handles.size()), allClosed ? "yes" : "no");
}

// ---- Made-up answers of the query -------------------------------------------------------------

// One process of a made-up answer; name null: none (as the idle process has).
struct FakeProcess {
  DWORD pid;
  DWORD parent;
  ULONG threads;
  LONG base;
  const wchar_t* name;
};

// Lays the answer out as the system does: the records `stride` bytes apart (the system puts each
// process's threads after its record), the names after the last record. An answer that does not
// fit is refused with STATUS_INFO_LENGTH_MISMATCH and the size it needs.
LONG writeAnswer(const std::vector<FakeProcess>& processes, size_t stride, void* buffer, ULONG size, ULONG& needed) {
  size_t total = processes.size() * stride;
  for (const FakeProcess& p : processes)
    if (p.name) total += (std::wcslen(p.name) + 1) * sizeof(wchar_t);
  needed = static_cast<ULONG>(total);
  if (size < total) return Win32ProcessQuery::kInfoLengthMismatch;
  auto* bytes = static_cast<unsigned char*>(buffer);
  std::memset(bytes, 0, total);
  size_t names = processes.size() * stride;
  for (size_t i = 0; i < processes.size(); ++i) {
    const FakeProcess& p = processes[i];
    SYSTEM_PROCESS_INFORMATION record{};
    record.NextEntryOffset = i + 1 < processes.size() ? static_cast<ULONG>(stride) : 0;
    record.NumberOfThreads = p.threads;
    record.BasePriority = p.base;
    record.UniqueProcessId = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(p.pid));
    record.InheritedFromUniqueProcessId = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(p.parent));
    record.HandleCount = 77;  // fields the entries do not take, so that taking one by mistake shows
    record.SessionId = 5;
    record.CreateTime.QuadPart = 0x123456789LL;
    if (p.name) {
      const size_t length = std::wcslen(p.name) * sizeof(wchar_t);
      std::memcpy(bytes + names, p.name, length + sizeof(wchar_t));
      record.ImageName.Length = static_cast<USHORT>(length);
      record.ImageName.MaximumLength = static_cast<USHORT>(length + sizeof(wchar_t));
      record.ImageName.Buffer = reinterpret_cast<PWSTR>(bytes + names);
      names += length + sizeof(wchar_t);
    }
    std::memcpy(bytes + i * stride, &record, sizeof record);
  }
  return 0;
}

// Changes record `index` of an answer written by writeAnswer with records side by side.
template <class Change>
void editRecord(void* buffer, size_t index, Change change) {
  auto* at = static_cast<unsigned char*>(buffer) + index * sizeof(SYSTEM_PROCESS_INFORMATION);
  SYSTEM_PROCESS_INFORMATION record;
  std::memcpy(&record, at, sizeof record);
  change(record);
  std::memcpy(at, &record, sizeof record);
}

void checkMadeUpAnswers(Checks& checks) {
  const std::wstring longName = std::wstring(296, L'x') + L".exe";                  // cut to 259 characters
  const std::wstring pairAtCut = std::wstring(258, L'y') + L"\U0001F600" + L".exe";  // a surrogate pair at the cut
  // Each process of the answer, and the entry expected for it: the record's fields as they are,
  // the name cut to fit; with the Wine adjustments the base priority of the class number and the
  // full path where the lookup finds one.
  struct MadeUp {
    FakeProcess process;
    LONG winePriority;
    std::string name;
    std::string wineName;
  };
  const MadeUp table[] = {
      {{0, 0, 2, 0, nullptr}, 0, "", ""},  // the idle process: no name
      {{1001, 0, 3, 2, L"alpha.exe"}, 8, "alpha.exe", "C:\\Made\\Up\\alpha.exe"},
      {{1002, 1001, 7, 13, longName.c_str()}, 13, std::string(259, 'x'), std::string(259, 'x')},
      {{1003, 1001, 1, 4, pairAtCut.c_str()}, 24, std::string(258, 'y'), std::string(258, 'y')},
      {{1004, 1002, 12, 1, L"beta.exe"}, 4, "beta.exe", "beta.exe"},
  };
  std::vector<FakeProcess> processes;
  for (const MadeUp& m : table) processes.push_back(m.process);
  // Records 40000 bytes apart: more than the first buffer holds, so it is asked again.
  constexpr size_t kStride = 40000;

  for (bool onWine : {false, true}) {
    int calls = 0, lookups = 0;
    Win32Toolhelp toolhelp(
        onWine,
        [&](tw::DWORD pid, std::string& path) {
          ++lookups;
          if (pid != 1001) return false;
          path = "C:\\Made\\Up\\alpha.exe";
          return true;
        },
        [&](void* buffer, ULONG size, ULONG& needed) {
          ++calls;
          return writeAnswer(processes, kStride, buffer, size, needed);
        });
    const auto walk = walkProcesses(toolhelp);
    const int firstCalls = calls, firstLookups = lookups;
    walkProcesses(toolhelp);
    const char* how = onWine ? "with the Wine adjustments" : "unadjusted";
    checks.expect(firstCalls == 2 && calls == 3 && toolhelp.QueryBufferBytes() >= 5 * kStride,
                  "made-up answer %s: a too-small buffer is grown once and kept (%d calls, then %d; %u bytes)", how,
                  firstCalls, calls - firstCalls, static_cast<unsigned>(toolhelp.QueryBufferBytes()));
    checks.expect(walk.size() == processes.size(), "made-up answer %s: %u entries (expected %u)", how,
                  static_cast<unsigned>(walk.size()), static_cast<unsigned>(processes.size()));
    for (size_t i = 0; i < walk.size() && i < processes.size(); ++i) {
      const tw::PROCESSENTRY32& e = walk[i];
      const FakeProcess& x = table[i].process;
      const LONG priority = onWine ? table[i].winePriority : x.base;
      const std::string& name = onWine ? table[i].wineName : table[i].name;
      checks.expect(e.dwSize == sizeof e && e.cntUsage == 0 && e.th32ProcessID == x.pid && e.th32DefaultHeapID == 0 &&
                        e.th32ModuleID == 0 && e.cntThreads == x.threads && e.th32ParentProcessID == x.parent &&
                        e.pcPriClassBase == priority && e.dwFlags == 0 && name == e.szExeFile,
                    "made-up answer %s, entry %u: %s (expected %lu \"%.40s\"%s parent %lu, %lu threads, priority %ld)",
                    how, static_cast<unsigned>(i), describe(e).c_str(), static_cast<unsigned long>(x.pid), name.c_str(),
                    name.size() > 40 ? "..." : "", static_cast<unsigned long>(x.parent),
                    static_cast<unsigned long>(x.threads), static_cast<long>(priority));
    }
    // The idle process has no name to complete; every other process is looked up once.
    if (onWine)
      checks.expect(firstLookups == 4, "made-up answer with the Wine adjustments: %d path lookups (expected 4)",
                    firstLookups);
  }

  // Answers that cannot be read, and calls that fail: the system's snapshot is taken instead, and
  // nothing of the answer is handed out.
  using Spoil = std::function<LONG(void* buffer, ULONG size, ULONG& needed)>;
  auto spoiled = [&](std::function<void(void* buffer, ULONG& needed)> spoil) -> Spoil {
    return [&processes, spoil](void* buffer, ULONG size, ULONG& needed) {
      const LONG status = writeAnswer(processes, sizeof(SYSTEM_PROCESS_INFORMATION), buffer, size, needed);
      if (status == 0) spoil(buffer, needed);
      return status;
    };
  };
  using Record = SYSTEM_PROCESS_INFORMATION;
  struct Bad {
    const char* what;
    Spoil query;
  };
  const Bad bad[] = {
      {"the last record points past the answer",
       spoiled([](void* b, ULONG&) { editRecord(b, 4, [](Record& r) { r.NextEntryOffset = 0x10000; }); })},
      {"a record shorter than its fields",
       spoiled([](void* b, ULONG&) { editRecord(b, 0, [](Record& r) { r.NextEntryOffset = 8; }); })},
      {"a name after the end of the answer", spoiled([](void* b, ULONG& needed) {
         editRecord(b, 1, [&](Record& r) { r.ImageName.Buffer = reinterpret_cast<PWSTR>(static_cast<char*>(b) + needed + 64); });
       })},
      {"a name before the answer", spoiled([](void* b, ULONG&) {
         editRecord(b, 1, [&](Record& r) { r.ImageName.Buffer = reinterpret_cast<PWSTR>(static_cast<char*>(b) - 64); });
       })},
      {"a name longer than the answer",
       spoiled([](void* b, ULONG&) { editRecord(b, 1, [](Record& r) { r.ImageName.Length = 0xFFFE; }); })},
      {"a name at an odd address", spoiled([](void* b, ULONG&) {
         editRecord(b, 1, [](Record& r) { r.ImageName.Buffer = reinterpret_cast<PWSTR>(reinterpret_cast<char*>(r.ImageName.Buffer) + 1); });
       })},
      {"a name with a length and no address",
       spoiled([](void* b, ULONG&) { editRecord(b, 1, [](Record& r) { r.ImageName.Buffer = nullptr; }); })},
      {"an answer shorter than one record", spoiled([](void*, ULONG& needed) { needed = 40; })},
      {"a call that fails", [](void*, ULONG, ULONG&) { return static_cast<LONG>(0xC0000022u); }},  // STATUS_ACCESS_DENIED
      {"a list that outgrows every buffer", [](void*, ULONG size, ULONG& needed) {
         needed = size + 4096;
         return Win32ProcessQuery::kInfoLengthMismatch;
       }},
      {"a list bigger than the limit", [](void*, ULONG, ULONG& needed) {
         needed = 0xFFFFFF00u;
         return Win32ProcessQuery::kInfoLengthMismatch;
       }},
  };
  for (const Bad& b : bad) {
    int calls = 0;
    Win32Toolhelp toolhelp(false, &Win32Toolhelp::ExePathOfProcess, [&](void* buffer, ULONG size, ULONG& needed) {
      ++calls;
      return b.query(buffer, size, needed);
    });
    const tw::HANDLE h = toolhelp.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    const size_t ours = toolhelp.OpenQuerySnapshots();
    const auto ids = walkIds(toolhelp, h);
    toolhelp.CloseHandle(h);
    const bool own = std::find(ids.begin(), ids.end(), GetCurrentProcessId()) != ids.end();
    const bool madeUp = std::find(ids.begin(), ids.end(), 1001u) != ids.end();
    checks.expect(h != 0 && ours == 0 && own && !madeUp && calls <= Win32ProcessQuery::kMaxCalls &&
                      toolhelp.QueryBufferBytes() <= Win32ProcessQuery::kMaxBytes,
                  "%s: the system's snapshot instead (%u of the query's open, %u processes, this one %s, made-up ones "
                  "%s; %d calls, buffer %u bytes)",
                  b.what, static_cast<unsigned>(ours), static_cast<unsigned>(ids.size()), own ? "listed" : "missing",
                  madeUp ? "listed" : "absent", calls, static_cast<unsigned>(toolhelp.QueryBufferBytes()));
  }
}

// ---- Threads, modules and heaps of one process ------------------------------------------------

void checkThreadsModulesHeaps(Checks& checks, const Child& child, Win32Toolhelp& toolhelp) {
  const auto walk = walkProcesses(toolhelp);
  const tw::PROCESSENTRY32* kid = findProcess(walk, child.pid());
  tw::HANDLE snap = toolhelp.CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  int threads = 0;
  tw::LONG base = -1;
  tw::THREADENTRY32 t{};
  t.dwSize = sizeof t;
  for (bool more = toolhelp.Thread32First(snap, t); more; more = toolhelp.Thread32Next(snap, t)) {
    if (t.th32OwnerProcessID != child.pid()) continue;
    ++threads;
    base = t.tpBasePri;
  }
  toolhelp.CloseHandle(snap);
  checks.expect(kid && threads >= 1 && static_cast<tw::DWORD>(threads) == kid->cntThreads,
                "child: %d threads in the thread walk, cntThreads %lu", threads,
                kid ? static_cast<unsigned long>(kid->cntThreads) : 0UL);
  Checks::info("Wine's thread fields: tpBasePri %ld", static_cast<long>(base));

  snap = toolhelp.CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, child.pid());
  tw::MODULEENTRY32 m{};
  m.dwSize = sizeof m;
  const bool first = snap != 0 && toolhelp.Module32First(snap, m);
  int modules = first ? 1 : 0;
  const std::string firstPath = first ? m.szExePath : "", firstName = first ? m.szModule : "";
  while (first && toolhelp.Module32Next(snap, m) && modules < 1000) ++modules;
  toolhelp.CloseHandle(snap);
  const std::string self = selfPath();
  checks.expect(first && sameTextIgnoringCase(firstPath, self) && sameTextIgnoringCase(firstName, fileNameOf(self)),
                "child: first module \"%s\" at \"%s\" (%d modules)", firstName.c_str(), firstPath.c_str(), modules);

  // Wine's Heap32First and Heap32Next end the program that calls them: the adapter answers for
  // them, and these lines are printed only because it did.
  tw::HEAPENTRY32 h{};
  h.dwSize = sizeof h;
  checks.expect(!toolhelp.Heap32First(h, GetCurrentProcessId(), 0), "Heap32First finds no block on Wine");
  h.dwSize = sizeof h;
  checks.expect(!toolhelp.Heap32Next(h), "Heap32Next finds no block on Wine");
  checks.expect(toolhelp.CreateToolhelp32Snapshot(TH32CS_SNAPHEAPLIST, child.pid()) == 0,
                "no heap-list snapshot of the child");
}

// ---- Ending the child -------------------------------------------------------------------------

void checkEndProcess(Checks& checks, const Child& child, Win32Toolhelp& toolhelp) {
  tw::win32::Win32Processes processes;
  // The rights End Process asks for: ending the process and waiting for its end.
  tw::HANDLE h = processes.OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, false, child.pid());
  if (!checks.expect(h != 0, "child opened with PROCESS_TERMINATE and SYNCHRONIZE")) return;
  checks.expect(processes.TerminateProcess(h, 0xFFFFFFFFu), "TerminateProcess accepted");
  const tw::DWORD waited = processes.WaitForSingleObject(h, 5000);
  checks.expect(waited == WAIT_OBJECT_0, "waiting on the handle sees the end (%lu)",
                static_cast<unsigned long>(waited));
  checks.expect(processes.CloseHandle(h), "handle closed");
  DWORD code = 0;
  GetExitCodeProcess(child.handle(), &code);
  checks.expect(code == 0xFFFFFFFFu, "child's exit code 0x%08lX", code);
  const auto walk = walkProcesses(toolhelp);
  checks.expect(!walk.empty() && !findProcess(walk, child.pid()), "the next walk no longer lists the child");
  checks.expect(toolhelp.KnownPaths() == walk.size(), "the path of the ended child is forgotten (%u for %u)",
                static_cast<unsigned>(toolhelp.KnownPaths()), static_cast<unsigned>(walk.size()));
}

// ---- Windows, shell and system adapters ------------------------------------------------------
//
// Windows of this program's own making, read back through the windowing adapter: the test knows
// what it created (captions, classes, styles, owners, threads), so each answer has an independent
// expectation. A second thread owns one window and can be made to sleep without looking at its
// messages, as a hung program would.

using tw::win32::FromHwnd;
using tw::win32::ToHwnd;

constexpr char kCheckClass[] = "TaskwellCheckWindow";
constexpr UINT kSumMessage = WM_APP + 1;    // answered with wParam + lParam
constexpr UINT kBlockMessage = WM_APP + 2;  // a thread message: the window thread sleeps kBlockMs
constexpr DWORD kBlockMs = 1500;
constexpr UINT kProbeTimeoutMs = 200;
constexpr DWORD kPromptMs = 1000;  // a generous bound for calls that never wait for another thread

LRESULT CALLBACK checkWindowProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kSumMessage) return static_cast<LRESULT>(wp + static_cast<WPARAM>(lp));
  return DefWindowProcA(w, msg, wp, lp);
}

bool registerCheckClass() {
  return e2e::registerWindowClass(kCheckClass, checkWindowProc);
}

HWND createCheckWindow(DWORD exStyle, const char* caption, DWORD style, int x, HWND parent) {
  return CreateWindowExA(exStyle, kCheckClass, caption, style, x, 40, 200, 120, parent, nullptr,
                         GetModuleHandleA(nullptr), nullptr);
}

void pumpMessages() {
  MSG m;
  while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&m);
    DispatchMessageA(&m);
  }
}

// Polls with this thread's messages processed between the probes.
bool waitPumping(DWORD timeoutMs, const std::function<bool()>& probe) {
  const DWORD start = GetTickCount();
  for (;;) {
    pumpMessages();
    if (probe()) return true;
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(20);
  }
}

// The windows this thread creates; destroyed at the end whatever happened.
struct OwnWindows {
  HWND main = nullptr;    // overlapped, visible
  HWND owned = nullptr;   // overlapped, owned by main
  HWND popup = nullptr;   // tool-window popup owned by main, no caption
  HWND hidden = nullptr;  // overlapped, never shown
  HWND child = nullptr;   // child of main: not a top-level window
  HWND spare = nullptr;   // overlapped, visible: activated, raised and minimised
  HWND gone = nullptr;    // created and destroyed again
  ~OwnWindows() {
    for (HWND w : {child, popup, owned, hidden, spare, main})
      if (w && IsWindow(w)) DestroyWindow(w);
  }
  bool create() {
    main = createCheckWindow(0, "Taskwell check main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, nullptr);
    owned = createCheckWindow(0, "Taskwell check owned", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE, 60,
                              main);
    popup = createCheckWindow(WS_EX_TOOLWINDOW, "", WS_POPUP | WS_BORDER | WS_VISIBLE, 100, main);
    hidden = createCheckWindow(0, "Taskwell check hidden", WS_OVERLAPPEDWINDOW, 140, nullptr);
    child = createCheckWindow(0, "Taskwell check child", WS_CHILD | WS_VISIBLE, 0, main);
    spare = createCheckWindow(0, "Taskwell check spare", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 180, nullptr);
    gone = createCheckWindow(0, "Taskwell check gone", WS_OVERLAPPEDWINDOW, 220, nullptr);
    const bool made = main && owned && popup && hidden && child && spare && gone;
    if (gone) DestroyWindow(gone);
    pumpMessages();
    return made && !IsWindow(gone);
  }
};

// A window on a thread of its own that answers its messages until block() makes it sleep
// kBlockMs without looking at them.
class WindowThread {
 public:
  ~WindowThread() {
    if (thread_) {
      PostThreadMessageA(id_, WM_QUIT, 0, 0);
      if (WaitForSingleObject(thread_, kBlockMs + 5000) != WAIT_OBJECT_0) TerminateThread(thread_, 1);
      CloseHandle(thread_);
    }
    if (ready_) CloseHandle(ready_);
    if (blocking_) CloseHandle(blocking_);
  }
  bool start() {
    ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    blocking_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!ready_ || !blocking_) return false;
    thread_ = CreateThread(nullptr, 0, &WindowThread::run, this, 0, &id_);
    return thread_ && WaitForSingleObject(ready_, 5000) == WAIT_OBJECT_0 && hwnd_;
  }
  // Returns once the thread sleeps; GetTickCount at that moment in blockedAt.
  bool block(DWORD& blockedAt) {
    if (!PostThreadMessageA(id_, kBlockMessage, 0, 0)) return false;
    const bool ok = WaitForSingleObject(blocking_, 5000) == WAIT_OBJECT_0;
    blockedAt = GetTickCount();
    return ok;
  }
  HWND hwnd() const { return hwnd_; }
  DWORD id() const { return id_; }

 private:
  static DWORD WINAPI run(void* param) {
    auto* self = static_cast<WindowThread*>(param);
    self->hwnd_ = createCheckWindow(0, "Taskwell check other thread", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 420, nullptr);
    MSG m;
    PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE);  // the queue exists before anyone posts to it
    SetEvent(self->ready_);
    if (!self->hwnd_) return 1;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
      if (!m.hwnd && m.message == kBlockMessage) {
        SetEvent(self->blocking_);
        Sleep(kBlockMs);
        continue;
      }
      TranslateMessage(&m);
      DispatchMessageA(&m);
    }
    DestroyWindow(self->hwnd_);
    return 0;
  }
  HANDLE thread_ = nullptr;
  HANDLE ready_ = nullptr;
  HANDLE blocking_ = nullptr;
  DWORD id_ = 0;
  HWND hwnd_ = nullptr;
};

// The windows by name, for tables and messages.
struct NamedWindow {
  const char* name;
  HWND hwnd;
};

std::vector<tw::HWND> visitAll(tw::win32::Win32Windows& windows, bool* completed = nullptr) {
  std::vector<tw::HWND> visited;
  const bool ok = windows.EnumWindows([&](tw::HWND h) {
    visited.push_back(h);
    return true;
  });
  if (completed) *completed = ok;
  return visited;
}

void checkEnumWindows(Checks& checks, tw::win32::Win32Windows& windows, const OwnWindows& own,
                      const WindowThread& thread) {
  bool completed = false;
  const auto visited = visitAll(windows, &completed);
  checks.expect(completed && visited.size() >= 6, "EnumWindows: a full walk answers true (%u windows)",
                static_cast<unsigned>(visited.size()));
  const NamedWindow topLevel[] = {{"main", own.main},     {"owned", own.owned}, {"popup", own.popup},
                                  {"hidden", own.hidden}, {"spare", own.spare}, {"other thread", thread.hwnd()}};
  for (const NamedWindow& w : topLevel) {
    const auto n = std::count(visited.begin(), visited.end(), FromHwnd(w.hwnd));
    checks.expect(n == 1, "EnumWindows: the %s window visited once (%d times)", w.name, static_cast<int>(n));
  }
  const NamedWindow notTopLevel[] = {{"child", own.child}, {"destroyed", own.gone}};
  for (const NamedWindow& w : notTopLevel) {
    const auto n = std::count(visited.begin(), visited.end(), FromHwnd(w.hwnd));
    checks.expect(n == 0, "EnumWindows: the %s window is not visited (%d times)", w.name, static_cast<int>(n));
  }

  int calls = 0;
  const bool stopped = windows.EnumWindows([&](tw::HWND) { return ++calls < 3; });
  checks.expect(stopped && calls == 3, "EnumWindows: a visitor answering false at the 3rd window ends the walk "
                "there (%d visits, answer %s)", calls, stopped ? "true" : "false");

  calls = 0;
  std::string caught;
  try {
    windows.EnumWindows([&](tw::HWND) -> bool {
      if (++calls == 2) throw std::runtime_error("visitor failed");
      return true;
    });
  } catch (const std::runtime_error& e) {
    caught = e.what();
  }
  checks.expect(caught == "visitor failed" && calls == 2,
                "EnumWindows: a visitor's error ends the walk and reaches the caller (\"%s\" after %d visits)",
                caught.c_str(), calls);
  checks.expect(visitAll(windows).size() >= 6, "EnumWindows: walks again after a visitor's error");
  checks.expect(!windows.EnumWindows(tw::IWindows::WindowVisitor{}), "EnumWindows: an empty visitor walks nothing");
}

void checkTexts(Checks& checks, tw::win32::Win32Windows& windows, const OwnWindows& own, const WindowThread& thread) {
  enum Kind { Caption, ClassName };
  struct Case {
    const char* what;
    HWND hwnd;
    Kind kind;
    int maxCount;
    const char* expected;
  };
  const Case cases[] = {
      {"caption", own.main, Caption, 256, "Taskwell check main"},
      {"caption cut at maxCount 9", own.main, Caption, 9, "Taskwell"},
      {"caption at maxCount 1", own.main, Caption, 1, ""},
      {"caption at maxCount 0", own.main, Caption, 0, ""},
      {"caption at maxCount -4", own.main, Caption, -4, ""},
      {"empty caption", own.popup, Caption, 256, ""},
      {"caption of a hidden window", own.hidden, Caption, 256, "Taskwell check hidden"},
      {"caption of another thread's window", thread.hwnd(), Caption, 256, "Taskwell check other thread"},
      {"caption of a destroyed window", own.gone, Caption, 256, ""},
      {"class name", own.main, ClassName, 256, kCheckClass},
      {"class name cut at maxCount 5", own.hidden, ClassName, 5, "Task"},
      {"class name at maxCount 0", own.main, ClassName, 0, ""},
      {"class name of the desktop (another process)", GetDesktopWindow(), ClassName, 256, "#32769"},
      {"class name of a destroyed window", own.gone, ClassName, 256, ""},
  };
  for (const Case& c : cases) {
    std::string text = "stale text";
    const int n = c.kind == Caption ? windows.GetWindowTextA(FromHwnd(c.hwnd), text, c.maxCount)
                                    : windows.GetClassNameA(FromHwnd(c.hwnd), text, c.maxCount);
    checks.expect(text == c.expected && n == static_cast<int>(std::strlen(c.expected)),
                  "%s: %d \"%s\" (expected %d \"%s\")", c.what, n, text.c_str(),
                  static_cast<int>(std::strlen(c.expected)), c.expected);
  }

  // The caption and the thread in one: the thread 0 and no text for a window that is gone.
  struct ThreadCase {
    const char* what;
    HWND hwnd;
    int maxCount;
    const char* expected;
    DWORD thread;
  };
  const ThreadCase withThread[] = {
      {"caption and thread", own.main, 256, "Taskwell check main", GetCurrentThreadId()},
      {"caption cut at maxCount 9, and thread", own.main, 9, "Taskwell", GetCurrentThreadId()},
      {"another thread's caption and thread", thread.hwnd(), 256, "Taskwell check other thread", thread.id()},
      {"caption and thread of a destroyed window", own.gone, 256, "", 0},
  };
  for (const ThreadCase& c : withThread) {
    std::string text = "stale text";
    const tw::DWORD tid = windows.GetWindowTextAndThread(FromHwnd(c.hwnd), text, c.maxCount);
    checks.expect(text == c.expected && tid == c.thread, "%s: \"%s\", thread %lu (expected \"%s\", %lu)", c.what,
                  text.c_str(), static_cast<unsigned long>(tid), c.expected, static_cast<unsigned long>(c.thread));
  }
}

void checkStylesAndRelations(Checks& checks, tw::win32::Win32Windows& windows, const OwnWindows& own) {
  // Bits the window must have (those it was created with) and bits it must lack; the system adds
  // a few of its own (WS_CLIPSIBLINGS, WS_EX_WINDOWEDGE), so the answer is not compared whole.
  struct StyleCase {
    const char* what;
    HWND hwnd;
    int index;
    DWORD has;
    DWORD lacks;
  };
  const StyleCase styles[] = {
      {"main style", own.main, GWL_STYLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE, WS_POPUP | WS_CHILD},
      {"hidden style", own.hidden, GWL_STYLE, WS_OVERLAPPEDWINDOW, WS_VISIBLE | WS_POPUP | WS_CHILD},
      {"popup style", own.popup, GWL_STYLE, WS_POPUP | WS_BORDER | WS_VISIBLE, WS_CHILD | WS_DLGFRAME | WS_SYSMENU},
      {"child style", own.child, GWL_STYLE, WS_CHILD | WS_VISIBLE, WS_POPUP | WS_CAPTION},
      {"popup extended style", own.popup, GWL_EXSTYLE, WS_EX_TOOLWINDOW, WS_EX_TOPMOST},
      {"main extended style", own.main, GWL_EXSTYLE, 0, WS_EX_TOOLWINDOW | WS_EX_TOPMOST},
  };
  for (const StyleCase& c : styles) {
    const DWORD got = static_cast<DWORD>(windows.GetWindowLongA(FromHwnd(c.hwnd), c.index));
    checks.expect((got & c.has) == c.has && (got & c.lacks) == 0, "GetWindowLongA %s: 0x%08lX (has 0x%08lX, lacks 0x%08lX)",
                  c.what, got, c.has, c.lacks);
  }

  // Owners and parents: GetWindow(GW_OWNER) names the owner of a top-level window, GetParent the
  // owner only of a popup and the parent of a child, GWL_HWNDPARENT the owner or parent.
  struct RelationCase {
    const char* what;
    HWND hwnd;
    HWND owner;
    HWND parent;
    HWND hwndParent;
  };
  const RelationCase relations[] = {
      {"main", own.main, nullptr, nullptr, nullptr},
      {"owned", own.owned, own.main, nullptr, own.main},
      {"popup", own.popup, own.main, own.main, own.main},
      {"child", own.child, nullptr, own.main, own.main},
      {"hidden", own.hidden, nullptr, nullptr, nullptr},
      {"destroyed", own.gone, nullptr, nullptr, nullptr},
  };
  for (const RelationCase& c : relations) {
    const tw::HWND owner = windows.GetWindow(FromHwnd(c.hwnd), GW_OWNER);
    const tw::HWND parent = windows.GetParent(FromHwnd(c.hwnd));
    const tw::HWND hwndParent = static_cast<tw::HWND>(windows.GetWindowLongA(FromHwnd(c.hwnd), GWLP_HWNDPARENT));
    checks.expect(owner == FromHwnd(c.owner) && parent == FromHwnd(c.parent) && hwndParent == FromHwnd(c.hwndParent),
                  "%s window: owner 0x%lX, parent 0x%lX, GWL_HWNDPARENT 0x%lX (expected 0x%lX, 0x%lX, 0x%lX)", c.what,
                  static_cast<unsigned long>(owner), static_cast<unsigned long>(parent),
                  static_cast<unsigned long>(hwndParent), static_cast<unsigned long>(FromHwnd(c.owner)),
                  static_cast<unsigned long>(FromHwnd(c.parent)), static_cast<unsigned long>(FromHwnd(c.hwndParent)));
  }
  checks.expect(windows.GetWindowLongA(FromHwnd(own.gone), GWL_STYLE) == 0 &&
                    windows.GetWindowLongA(FromHwnd(own.gone), GWL_EXSTYLE) == 0,
                "GetWindowLongA of a destroyed window: 0");
}

void checkThreadIds(Checks& checks, tw::win32::Win32Windows& windows, const OwnWindows& own,
                    const WindowThread& thread) {
  struct Case {
    const char* what;
    HWND hwnd;
    DWORD thread;
    DWORD process;
  };
  const Case cases[] = {
      {"main window", own.main, GetCurrentThreadId(), GetCurrentProcessId()},
      {"hidden window", own.hidden, GetCurrentThreadId(), GetCurrentProcessId()},
      {"other thread's window", thread.hwnd(), thread.id(), GetCurrentProcessId()},
      {"destroyed window", own.gone, 0, 0},
  };
  for (const Case& c : cases) {
    tw::DWORD process = 0xDEADu;
    const tw::DWORD tid = windows.GetWindowThreadProcessId(FromHwnd(c.hwnd), &process);
    checks.expect(tid == c.thread && process == c.process,
                  "GetWindowThreadProcessId %s: thread %lu, process %lu (expected %lu, %lu)", c.what,
                  static_cast<unsigned long>(tid), static_cast<unsigned long>(process),
                  static_cast<unsigned long>(c.thread), static_cast<unsigned long>(c.process));
  }
  checks.expect(windows.GetWindowThreadProcessId(FromHwnd(thread.hwnd()), nullptr) == thread.id(),
                "GetWindowThreadProcessId without a process id variable");
  tw::DWORD desktopProcess = 0;
  windows.GetWindowThreadProcessId(FromHwnd(GetDesktopWindow()), &desktopProcess);
  checks.expect(desktopProcess != 0 && desktopProcess != GetCurrentProcessId(),
                "GetWindowThreadProcessId of the desktop: another process (%lu)",
                static_cast<unsigned long>(desktopProcess));
}

// SendMessageTimeoutA to windows that answer, and to one that no longer exists.
void checkSendToAnswering(Checks& checks, tw::win32::Win32Windows& windows, const OwnWindows& own,
                          const WindowThread& thread) {
  struct Case {
    const char* what;
    HWND hwnd;
    UINT msg;
    tw::WPARAM wParam;
    tw::LPARAM lParam;
    bool handled;
    tw::DWORD result;
  };
  const Case cases[] = {
      {"own thread's window", own.main, kSumMessage, 0x10, -1, true, 0xF},
      {"own thread's window, negative answer", own.hidden, kSumMessage, 1, -3, true, 0xFFFFFFFEu},
      {"other thread's window", thread.hwnd(), kSumMessage, 40, 2, true, 42},
      {"other thread's window, WM_NULL", thread.hwnd(), WM_NULL, 0, 0, true, 0},
      {"destroyed window", own.gone, kSumMessage, 40, 2, false, 0},
  };
  for (const Case& c : cases) {
    tw::DWORD result = 77;
    const DWORD start = GetTickCount();
    const tw::LRESULT handled =
        windows.SendMessageTimeoutA(FromHwnd(c.hwnd), c.msg, c.wParam, c.lParam, SMTO_NORMAL, kProbeTimeoutMs, &result);
    const DWORD took = GetTickCount() - start;
    checks.expect((handled != 0) == c.handled && result == c.result && took < 2000,
                  "SendMessageTimeoutA to the %s: %ld, result 0x%lX (expected %s, 0x%lX) in %lu ms", c.what,
                  static_cast<long>(handled), static_cast<unsigned long>(result), c.handled ? "nonzero" : "0",
                  static_cast<unsigned long>(c.result), static_cast<unsigned long>(took));
  }
  checks.expect(windows.SendMessageTimeoutA(FromHwnd(own.main), WM_NULL, 0, 0, SMTO_NORMAL, kProbeTimeoutMs,
                                            nullptr) != 0,
                "SendMessageTimeoutA without a result variable");
}

// The window thread sleeps: a probe waits at most its limit, and the asynchronous calls return at
// once; what they posted is carried out when the thread looks at its messages again.
void checkBlockedThread(Checks& checks, tw::win32::Win32Windows& windows, WindowThread& thread) {
  const tw::HWND target = FromHwnd(thread.hwnd());
  DWORD blockedAt = 0;
  if (!checks.expect(thread.block(blockedAt), "the window thread sleeps without looking at its messages")) return;

  tw::DWORD result = 77;
  DWORD start = GetTickCount();
  const tw::LRESULT answered =
      windows.SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_NORMAL, kProbeTimeoutMs, &result);
  DWORD took = GetTickCount() - start;
  Checks::info("probe of the sleeping thread's window (limit %u ms) returned after %lu ms", kProbeTimeoutMs,
               static_cast<unsigned long>(took));
  checks.expect(answered == 0 && result == 0 && took < 2000,
                "SendMessageTimeoutA to the sleeping thread's window: %ld after %lu ms (0 within 2000 ms)",
                static_cast<long>(answered), static_cast<unsigned long>(took));

  start = GetTickCount();
  const bool shown = windows.ShowWindowAsync(target, SW_MINIMIZE);
  took = GetTickCount() - start;
  Checks::info("ShowWindowAsync on the sleeping thread's window took %lu ms", static_cast<unsigned long>(took));
  checks.expect(shown && took < kPromptMs, "ShowWindowAsync on the sleeping thread's window: %s, %lu ms",
                shown ? "true" : "false", static_cast<unsigned long>(took));

  start = GetTickCount();
  const bool moved = windows.SetWindowPos(target, FromHwnd(HWND_TOP), 0, 0, 0, 0,
                                          SWP_ASYNCWINDOWPOS | SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  took = GetTickCount() - start;
  Checks::info("SetWindowPos(SWP_ASYNCWINDOWPOS) on the sleeping thread's window took %lu ms",
               static_cast<unsigned long>(took));
  checks.expect(moved && took < kPromptMs, "SetWindowPos(SWP_ASYNCWINDOWPOS) on the sleeping thread's window: %s, %lu ms",
                moved ? "true" : "false", static_cast<unsigned long>(took));

  const DWORD sinceBlock = GetTickCount() - blockedAt;
  checks.expect(sinceBlock < kBlockMs, "the calls above ran while the thread slept (%lu of %lu ms)",
                static_cast<unsigned long>(sinceBlock), static_cast<unsigned long>(kBlockMs));
  checks.expect(!IsIconic(thread.hwnd()), "the posted minimise waits for the thread");

  const bool minimised = e2e::waitFor(kBlockMs + 3000, [&] { return IsIconic(thread.hwnd()) != FALSE; });
  checks.expect(minimised, "the thread carries out the posted minimise when it wakes (%lu ms after it slept)",
                static_cast<unsigned long>(GetTickCount() - blockedAt));
  checks.expect(windows.SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_NORMAL, kProbeTimeoutMs, nullptr) != 0,
                "SendMessageTimeoutA to the woken thread's window is answered");
}

void checkShowAndActivate(Checks& checks, tw::win32::Win32Windows& windows, const OwnWindows& own) {
  const tw::HWND main = FromHwnd(own.main), spare = FromHwnd(own.spare), gone = FromHwnd(own.gone);
  checks.expect(windows.HasShowWindowAsync(), "ShowWindowAsync exists under Wine");

  windows.SetActiveWindow(main);
  pumpMessages();
  const tw::HWND before = windows.SetActiveWindow(spare);
  pumpMessages();
  checks.expect(before == main && GetActiveWindow() == own.spare,
                "SetActiveWindow answers the window active before (0x%lX, expected 0x%lX) and activates",
                static_cast<unsigned long>(before), static_cast<unsigned long>(main));

  // Raising changes the order of the next walk.
  auto position = [&](tw::HWND h) {
    const auto walk = visitAll(windows);
    return std::find(walk.begin(), walk.end(), h) - walk.begin();
  };
  const bool raisedMain = windows.BringWindowToTop(main);
  pumpMessages();
  const bool mainFirst = position(main) < position(spare);
  const bool raisedSpare = windows.BringWindowToTop(spare);
  pumpMessages();
  const bool spareFirst = position(spare) < position(main);
  checks.expect(raisedMain && raisedSpare && mainFirst && spareFirst,
                "BringWindowToTop puts the window above the other in the walk (main first %s, spare first %s)",
                mainFirst ? "yes" : "no", spareFirst ? "yes" : "no");

  windows.ShowWindowAsync(spare, SW_MINIMIZE);
  const bool minimised = waitPumping(2000, [&] { return IsIconic(own.spare) != FALSE; });
  checks.expect(minimised, "ShowWindowAsync(SW_MINIMIZE) minimises an own window");
  windows.ShowWindowAsync(spare, SW_RESTORE);
  const bool restored = waitPumping(2000, [&] { return IsIconic(own.spare) == FALSE; });
  checks.expect(restored, "ShowWindowAsync(SW_RESTORE) restores it");

  checks.expect(!windows.ShowWindowAsync(gone, SW_MINIMIZE) && !windows.BringWindowToTop(gone) &&
                    windows.SetActiveWindow(gone) == 0,
                "a destroyed window: ShowWindowAsync and BringWindowToTop false, SetActiveWindow 0");
}

// Whether this executable imports the function by name from any DLL (read from its own import
// directory in memory).
bool importsFunction(const char* function) {
  const auto* base = reinterpret_cast<const BYTE*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (dir.VirtualAddress == 0) return false;
  for (const auto* d = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name; ++d) {
    if (!d->OriginalFirstThunk) continue;
    for (const auto* t = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
         t->u1.AddressOfData; ++t) {
      if (IMAGE_SNAP_BY_ORDINAL(t->u1.Ordinal)) continue;
      const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + t->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0) return true;
    }
  }
  return false;
}

void checkImports(Checks& checks) {
  const bool enumImported = importsFunction("EnumWindows");
  const bool asyncImported = importsFunction("ShowWindowAsync");
  checks.expect(enumImported && !asyncImported,
                "imports: EnumWindows is imported (%s), ShowWindowAsync is not (%s)", enumImported ? "yes" : "no",
                asyncImported ? "imported" : "not imported");
}

void checkWindowing(Checks& checks) {
  if (!checks.expect(registerCheckClass(), "window class registered")) return;
  OwnWindows own;
  if (!checks.expect(own.create(), "own windows created (one destroyed again)")) return;
  WindowThread thread;
  if (!checks.expect(thread.start(), "window thread started with its window")) return;
  tw::win32::Win32Windows windows;
  checkEnumWindows(checks, windows, own, thread);
  checkTexts(checks, windows, own, thread);
  checkStylesAndRelations(checks, windows, own);
  checkThreadIds(checks, windows, own, thread);
  checkSendToAnswering(checks, windows, own, thread);
  checkBlockedThread(checks, windows, thread);
  checkShowAndActivate(checks, windows, own);
  checkImports(checks);
}

// ---- WinExec, associated icons, text order ----------------------------------------------------

void checkWinExec(Checks& checks) {
  tw::win32::Win32Processes processes;
  struct Case {
    const char* what;
    std::string commandLine;
  };
  const Case refused[] = {
      {"a missing program", "C:\\taskwell-no-such-dir\\no-such-program.exe"},
      {"a missing program with arguments", "taskwell-no-such-program --now"},
      {"an empty command line", ""},
  };
  for (const Case& c : refused) {
    const tw::UINT answer = processes.WinExec(c.commandLine, SW_HIDE);
    checks.expect(answer <= 31, "WinExec of %s: %u (expected 0 to 31)", c.what, answer);
  }

  // This program again, told to set a named event and end: the answer says it started, the
  // event that it ran with its arguments.
  const std::string eventName = "TaskwellChecksWinExec" + std::to_string(GetCurrentProcessId());
  HANDLE started = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  if (!checks.expect(started != nullptr, "event for the started program created")) return;
  const DWORD start = GetTickCount();
  const tw::UINT answer = processes.WinExec("\"" + selfPath() + "\" --signal " + eventName, SW_HIDE);
  const bool ran = answer > 31 && WaitForSingleObject(started, 15000) == WAIT_OBJECT_0;
  checks.expect(answer > 31 && ran, "WinExec of this program: %u, and it ran with its arguments (%s, %lu ms)", answer,
                ran ? "yes" : "no", static_cast<unsigned long>(GetTickCount() - start));
  CloseHandle(started);
}

bool iconDrawable(tw::HICON icon) {
  ICONINFO info{};
  if (icon <= 1 || !GetIconInfo(reinterpret_cast<HICON>(static_cast<std::uintptr_t>(icon)), &info)) return false;
  if (info.hbmMask) DeleteObject(info.hbmMask);
  if (info.hbmColor) DeleteObject(info.hbmColor);
  return info.fIcon != FALSE;
}

void checkAssociatedIcons(Checks& checks) {
  tw::win32::Win32Shell shell;
  const tw::HINSTANCE self = shell.GetModuleHandleA();

  // This executable carries the application icon at index 0 and the page images after it.
  for (tw::WORD want : {tw::WORD{0}, tw::WORD{1}}) {
    std::string path = selfPath();
    tw::WORD index = want;
    const tw::HICON icon = shell.ExtractAssociatedIconA(self, path, index);
    checks.expect(iconDrawable(icon) && sameTextIgnoringCase(path, selfPath()) && index == want,
                  "ExtractAssociatedIconA of this executable, index %u: icon 0x%lX from \"%s\", index %u", want,
                  static_cast<unsigned long>(icon), path.c_str(), index);
    checks.expect(shell.DestroyIcon(icon), "the icon of index %u destroyed", want);
  }

  // A text file: its own icon or its program's, or none; the path and index say where it came from.
  char temp[MAX_PATH] = {};
  GetTempPathA(sizeof temp, temp);
  const std::string textFile = std::string(temp) + "taskwell-check-" + std::to_string(GetCurrentProcessId()) + ".txt";
  HANDLE f = CreateFileA(textFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (checks.expect(f != INVALID_HANDLE_VALUE, "text file %s created", textFile.c_str())) {
    DWORD written = 0;
    WriteFile(f, "Taskwell\r\n", 10, &written, nullptr);
    CloseHandle(f);
    std::string path = textFile;
    tw::WORD index = 0;
    const tw::HICON icon = shell.ExtractAssociatedIconA(self, path, index);
    checks.expect(icon == 0 || iconDrawable(icon), "ExtractAssociatedIconA of a text file: icon 0x%lX from \"%s\", index %u",
                  static_cast<unsigned long>(icon), path.c_str(), index);
    if (icon) shell.DestroyIcon(icon);
    DeleteFileA(textFile.c_str());
  }

  // A path longer than the system's buffer is cut, not overrun.
  std::string path = std::string(temp) + std::string(400, 'x') + ".txt";
  tw::WORD index = 0;
  const tw::HICON icon = shell.ExtractAssociatedIconA(self, path, index);
  checks.expect((icon == 0 || iconDrawable(icon)) && path.size() < MAX_PATH,
                "ExtractAssociatedIconA of a %u-character path: icon 0x%lX, path written back with %u characters",
                static_cast<unsigned>(std::strlen(temp) + 404), static_cast<unsigned long>(icon),
                static_cast<unsigned>(path.size()));
  if (icon) shell.DestroyIcon(icon);
}

void checkTextOrder(Checks& checks) {
  tw::win32::Win32System system;
  struct Case {
    const char* a;
    const char* b;
    int sign;
  };
  // Letters before case: a byte-wise comparison would put "Banana" first.
  const Case cases[] = {
      {"apple", "Banana", -1}, {"Banana", "cherry", -1}, {"apple", "cherry", -1}, {"cherry", "apple", 1},
      {"Banana", "apple", 1},  {"apple", "apple", 0},    {"", "", 0},            {"", "apple", -1},
      {"apple", "apples", -1},
  };
  for (const Case& c : cases) {
    const int got = system.lstrcmpA(c.a, c.b);
    const int sign = (got > 0) - (got < 0);
    checks.expect(sign == c.sign, "lstrcmpA(\"%s\", \"%s\") = %d (expected sign %d)", c.a, c.b, got, c.sign);
  }
  // Texts that differ only in case are not equal, and the order is the same both ways round.
  const int ab = system.lstrcmpA("apple", "APPLE"), ba = system.lstrcmpA("APPLE", "apple");
  checks.expect(ab != 0 && (ab > 0) == (ba < 0), "lstrcmpA of \"apple\" and \"APPLE\": %d and %d", ab, ba);
}

// The last word of a program that crashed: one FAIL line, then the end of the process.
LONG WINAPI reportCrash(EXCEPTION_POINTERS* info) {
  std::printf("FAIL: the checks crashed (exception 0x%08lX)\n", info ? info->ExceptionRecord->ExceptionCode : 0UL);
  std::fflush(stdout);
  return EXCEPTION_EXECUTE_HANDLER;
}

// ---- Running as Windows 98 --------------------------------------------------------------------

bool runsAsWindows9x() { return (GetVersion() & 0x80000000u) != 0; }

// Stores Version=win98 for this program's file name (HKCU\Software\Wine\AppDefaults\<name>) and
// runs it again with --as-win98 on the same console; returns that run's exit code.
int runAgainAsWindows98() {
  const std::string exe = selfPath();
  const std::string key = "Software\\Wine\\AppDefaults\\" + fileNameOf(exe);
  HKEY k = nullptr;
  bool stored = RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr) ==
                ERROR_SUCCESS;
  if (stored) {
    stored = RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>("win98"), 6) == ERROR_SUCCESS;
    RegCloseKey(k);
  }
  if (!stored) std::printf("INFO: could not store Version=win98 under HKCU\\%s\n", key.c_str());
  std::fflush(stdout);
  std::string cmd = "\"" + exe + "\" --as-win98";
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back('\0');
  STARTUPINFOA si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::printf("FAIL: could not run again as Windows 98 (error %lu)\n0 passed, 1 failed\n", GetLastError());
    return 1;
  }
  DWORD code = 1;
  if (WaitForSingleObject(pi.hProcess, kChecksTimeoutMs) == WAIT_OBJECT_0) {
    GetExitCodeProcess(pi.hProcess, &code);
  } else {
    std::printf("FAIL: the checks did not finish within %lu ms\n0 passed, 1 failed\n",
                static_cast<unsigned long>(kChecksTimeoutMs));
    TerminateProcess(pi.hProcess, 1);
    WaitForSingleObject(pi.hProcess, 5000);
  }
  CloseHandle(pi.hProcess);
  CloseHandle(pi.hThread);
  return static_cast<int>(code);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1 && std::strcmp(argv[1], "--sleep") == 0) {
    Sleep(120000);
    return 0;
  }
  if (argc > 2 && std::strcmp(argv[1], "--signal") == 0) {
    HANDLE started = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (started) {
      SetEvent(started);
      CloseHandle(started);
    }
    return started ? 0 : 1;
  }
  // A crash (Wine's unimplemented functions raise one) ends the program at once and fails the run,
  // instead of waiting in Wine's debugger.
  SetUnhandledExceptionFilter(reportCrash);
  const bool again = argc > 1 && std::strcmp(argv[1], "--as-win98") == 0;
  if (!runsAsWindows9x() && !again) return runAgainAsWindows98();
  Checks checks;
  checks.expect(runsAsWindows9x(), "runs as a Windows 95/98 version (GetVersion 0x%08lX)", GetVersion());
  checkExePathCache(checks);
  {
    Child child;
    if (checks.expect(child.start(), "child started and its modules readable")) {
      checkWineFacts(checks, child);
      checkQueryAgainstSystem(checks, child);
      checkQuerySnapshotHandles(checks);
      checkMadeUpAnswers(checks);
      int lookups = 0;
      Win32Toolhelp toolhelp(true, [&](tw::DWORD pid, std::string& path) {
        ++lookups;
        return Win32Toolhelp::ExePathOfProcess(pid, path);
      });
      checkAdjustedWalk(checks, child, toolhelp, lookups);
      checkPriorities(checks, child, toolhelp);
      checkThreadsModulesHeaps(checks, child, toolhelp);
      checkEndProcess(checks, child, toolhelp);
    }
  }
  checkWindowing(checks);
  checkWinExec(checks);
  checkAssociatedIcons(checks);
  checkTextOrder(checks);
  std::printf("%d passed, %d failed\n", checks.passed(), checks.failed());
  std::fflush(stdout);
  return checks.failed() == 0 ? 0 : 1;
}
