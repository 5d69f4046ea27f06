// taskwell_toolhelp_checks: checks the toolhelp and process adapters of the Win32 platform from
// inside a running program under Wine.
//
//   taskwell_toolhelp_checks.exe            run the checks
//   taskwell_toolhelp_checks.exe --sleep    the child the checks start: waits until it is ended
//
// What Wine's toolhelp reports and the adapter relies on (priority class numbers 1 to 4 instead of
// base priorities, bare file names instead of full paths, no heap list, a heap walk that would end
// the program), what the adapter turns it into (base priorities 4, 8, 13, 24, full paths taken from
// one module snapshot per process and remembered), and ending a process through the process
// adapter. The checks run as Windows 98, as the program does: Wine gives a caller that it tells
// it is Windows 95 or 98 every right to a process it opens (on Windows 98 any process handle can be
// waited on), while for NT versions a handle opened to end a process cannot be waited on. Started
// otherwise, the program stores the per-program version Windows 98 and runs itself again.
//
// One PASS/FAIL line per check, then "N passed, M failed"; the exit code is 0 only when nothing
// failed. Run by run_e2e.sh --self.
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Toolhelp.h"
#include "platform/win32/Win32Api.h"

#include "e2e_util.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
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
  bool start() {
    const std::string exe = selfPath();
    std::string cmd = "\"" + exe + "\" --sleep";
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (!CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_)) {
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
  Win32Toolhelp raw(false);
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
  Win32Toolhelp raw(false);
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
  tw::HANDLE h = processes.OpenProcess(PROCESS_TERMINATE, false, child.pid());
  if (!checks.expect(h != 0, "child opened with PROCESS_TERMINATE")) return;
  checks.expect(processes.TerminateProcess(h, 0xFFFFFFFFu), "TerminateProcess accepted");
  const tw::DWORD waited = processes.WaitForSingleObject(h, 5000);
  checks.expect(waited == WAIT_OBJECT_0, "waiting on the PROCESS_TERMINATE handle sees the end (%lu)",
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
  std::printf("%d passed, %d failed\n", checks.passed(), checks.failed());
  std::fflush(stdout);
  return checks.failed() == 0 ? 0 : 1;
}
