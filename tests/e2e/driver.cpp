// taskwell_e2e: checks a running taskwell.exe from outside, inside the same Wine prefix.
//
//   taskwell_e2e.exe <path to taskwell.exe> <artifact directory>
//
// For each Windows version it sets the per-program version (value Version under
// HKCU\Software\Wine\AppDefaults\<exe name>), starts the program and looks at its windows:
//   - as Windows 98 (from a first start, no stored settings): the main window "Orvex
//     Taskwell 98", its four tabs, its four-panel status bar (process count, CPU, memory),
//     each page selected by a click, and a clean close; as Windows 95: the main window and a
//     clean close;
//   - as an NT version (explicit, and Wine's own default): the "Error" message box that
//     refuses to run, no main window, and a clean exit once the box is dismissed.
// Screenshots go to the artifact directory as BMP files. One PASS/FAIL line per check,
// then "N passed, M failed"; the exit code is 0 only when nothing failed. The program is
// never left running: any path out of a case terminates it if it is still alive.
#include "e2e_util.h"

#include <cctype>
#include <cstdlib>

namespace {

using e2e::Checks;

constexpr const char* kMainCaption = "Orvex Taskwell 98";
constexpr const char* kRefusalCaption = "Error";
constexpr const char* kRefusalText = "This application does not run on Windows NT";
constexpr const char* kTabTexts[] = {"Applications", "Processes", "Performance", "System Info"};
constexpr DWORD kWindowTimeoutMs = 30000;
constexpr DWORD kStatusTimeoutMs = 15000;
constexpr DWORD kExitTimeoutMs = 15000;
constexpr int kProcessTolerance = 3;

struct Options {
  std::string exe;        // Windows path of taskwell.exe
  std::string artifacts;  // Windows path of the directory for screenshots
};

std::string baseName(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string dirName(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

std::string joinPath(const std::string& dir, const std::string& file) {
  if (dir.empty()) return file;
  char last = dir.back();
  return (last == '\\' || last == '/') ? dir + file : dir + "\\" + file;
}

// The per-program Windows version that Wine reports to the program. Put back to
// Windows 98 when the driver leaves, whatever happened.
class VersionSetting {
 public:
  explicit VersionSetting(const std::string& exeName)
      : key_("Software\\Wine\\AppDefaults\\" + exeName) {}
  ~VersionSetting() { set("win98"); }
  VersionSetting(const VersionSetting&) = delete;
  VersionSetting& operator=(const VersionSetting&) = delete;

  // `value` null removes the setting, so Wine's own default version applies.
  bool set(const char* value) {
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, &k, nullptr) != ERROR_SUCCESS)
      return false;
    LONG rc;
    if (value) {
      rc = RegSetValueExA(k, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                          static_cast<DWORD>(std::strlen(value) + 1));
    } else {
      rc = RegDeleteValueA(k, "Version");
      if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
    }
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
  }

  std::optional<std::string> get() const {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
      return std::nullopt;
    char buf[64] = {};
    DWORD size = sizeof buf - 1, type = 0;
    LONG rc = RegQueryValueExA(k, "Version", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(k);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
    return std::string(buf);
  }

  const std::string& key() const { return key_; }

 private:
  std::string key_;
};

// One started instance of the program. Terminated on destruction if still running.
class Launched {
 public:
  Launched() = default;
  ~Launched() { kill(); }
  Launched(const Launched&) = delete;
  Launched& operator=(const Launched&) = delete;

  bool start(const std::string& exe, std::string& error) {
    std::string cmd = "\"" + exe + "\"";
    std::vector<char> cmdline(cmd.begin(), cmd.end());
    cmdline.push_back('\0');
    std::string cwd = dirName(exe);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    if (!CreateProcessA(exe.c_str(), cmdline.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        cwd.c_str(), &si, &pi_)) {
      error = "CreateProcess failed, error " + std::to_string(GetLastError());
      pi_ = {};
      return false;
    }
    // Give the new process a moment to reach its message loop before it is polled.
    WaitForInputIdle(pi_.hProcess, 10000);
    return true;
  }

  DWORD pid() const { return pi_.dwProcessId; }
  bool exited() const {
    return !pi_.hProcess || WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0;
  }
  bool waitExit(DWORD ms) const {
    return !pi_.hProcess || WaitForSingleObject(pi_.hProcess, ms) == WAIT_OBJECT_0;
  }
  DWORD exitCode() const {
    DWORD code = STILL_ACTIVE;
    if (pi_.hProcess) GetExitCodeProcess(pi_.hProcess, &code);
    return code;
  }
  void kill() {
    if (!pi_.hProcess) return;
    if (!exited()) {
      Checks::info("terminating pid %lu", static_cast<unsigned long>(pi_.dwProcessId));
      TerminateProcess(pi_.hProcess, 1);
      WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
    pi_ = {};
  }

 private:
  PROCESS_INFORMATION pi_{};
};

// A window that is visible together with all its ancestors.
bool reallyVisible(HWND w) {
  for (HWND p = w; p; p = GetParent(p))
    if (!IsWindowVisible(p)) return false;
  return true;
}

// Saves a screenshot after bringing `w` to the front, and records whether it shows anything.
void screenshot(Checks& checks, HWND w, const Options& opt, const std::string& file) {
  SetForegroundWindow(w);
  BringWindowToTop(w);
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  Sleep(800);  // let the owner process paint
  const std::string path = joinPath(opt.artifacts, file);
  e2e::ScreenshotResult r = e2e::screenshotWindow(w, path);
  if (!r.written) {
    checks.fail("screenshot %s: %s", file.c_str(), r.error.c_str());
    return;
  }
  checks.expect(r.distinctColours > 2, "screenshot %s (%dx%d) shows content (%d colours sampled)",
                file.c_str(), r.width, r.height, r.distinctColours);
}

// Checks that the process ends in time after it was told to close; kills it otherwise.
bool checkEnds(Checks& checks, Launched& app, const char* what) {
  if (app.waitExit(kExitTimeoutMs)) {
    checks.pass("%s: process ended (exit code %lu)", what,
                static_cast<unsigned long>(app.exitCode()));
    return true;
  }
  checks.fail("%s: process still running %lu ms later", what,
              static_cast<unsigned long>(kExitTimeoutMs));
  app.kill();
  return false;
}

// ---- Tab control --------------------------------------------------------------------

std::optional<std::string> tabText(DWORD pid, HWND tab, int index) {
  constexpr size_t kText = 260;
  e2e::RemoteBuffer buf(pid, sizeof(TCITEMA) + kText);
  if (!buf.ok() || !buf.zero()) return std::nullopt;
  TCITEMA item{};
  item.mask = TCIF_TEXT;
  item.pszText = reinterpret_cast<LPSTR>(buf.at(sizeof(TCITEMA)));
  item.cchTextMax = static_cast<int>(kText);
  if (!buf.write(0, &item, sizeof item)) return std::nullopt;
  auto ok = e2e::send(tab, TCM_GETITEMA, static_cast<WPARAM>(index), buf.at());
  if (!ok || !*ok) return std::nullopt;
  return buf.readString(sizeof(TCITEMA));
}

std::optional<RECT> tabRect(DWORD pid, HWND tab, int index) {
  e2e::RemoteBuffer buf(pid, sizeof(RECT));
  if (!buf.ok() || !buf.zero()) return std::nullopt;
  auto ok = e2e::send(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), buf.at());
  RECT rc{};
  if (!ok || !*ok || !buf.read(0, &rc, sizeof rc)) return std::nullopt;
  return rc;
}

bool checkTabs(Checks& checks, DWORD pid, HWND tab) {
  auto count = e2e::send(tab, TCM_GETITEMCOUNT, 0, 0);
  if (!checks.expect(count && *count == 4, "tab control has 4 tabs (got %ld)",
                     count ? static_cast<long>(*count) : -1L))
    return false;
  bool all = true;
  for (int i = 0; i < 4; ++i) {
    auto text = tabText(pid, tab, i);
    all &= checks.expect(text && *text == kTabTexts[i], "tab %d reads \"%s\" (got \"%s\")", i,
                         kTabTexts[i], text ? text->c_str() : "<unreadable>");
  }
  return all;
}

// Clicks tab `index` the way a user would and waits until the control reports it selected.
bool clickTab(DWORD pid, HWND tab, int index) {
  auto rc = tabRect(pid, tab, index);
  if (!rc) return false;
  LPARAM at = MAKELPARAM((rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2);
  PostMessageA(tab, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(tab, WM_LBUTTONUP, 0, at);
  return e2e::waitFor(3000, [&] {
    auto cur = e2e::send(tab, TCM_GETCURSEL, 0, 0);
    return cur && *cur == index;
  });
}

// ---- Status bar ---------------------------------------------------------------------

std::optional<std::string> statusText(DWORD pid, HWND sb, int part) {
  auto len = e2e::send(sb, SB_GETTEXTLENGTHA, static_cast<WPARAM>(part), 0);
  if (!len) return std::nullopt;
  const size_t need = LOWORD(*len) + 1;
  e2e::RemoteBuffer buf(pid, need < 1024 ? 1024 : need + 256);
  if (!buf.ok() || !buf.zero()) return std::nullopt;
  if (!e2e::send(sb, SB_GETTEXTA, static_cast<WPARAM>(part), buf.at())) return std::nullopt;
  return buf.readString(0);
}

// "<prefix><digits><suffix>" exactly; returns the number.
std::optional<long> parseNumber(const std::string& s, const std::string& prefix,
                                const std::string& suffix, size_t* end = nullptr) {
  if (s.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  size_t i = prefix.size(), start = i;
  while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) ++i;
  if (i == start || i - start > 9) return std::nullopt;
  if (s.compare(i, suffix.size(), suffix) != 0) return std::nullopt;
  if (end)
    *end = i + suffix.size();
  else if (i + suffix.size() != s.size())
    return std::nullopt;
  return std::strtol(s.c_str() + start, nullptr, 10);
}

void checkStatusBar(Checks& checks, DWORD pid, HWND sb) {
  auto parts = e2e::send(sb, SB_GETPARTS, 0, 0);
  checks.expect(parts && *parts == 4, "status bar has 4 parts (got %ld)",
                parts ? static_cast<long>(*parts) : -1L);

  // First panel: the process count, refreshed on the program's timer; poll until it agrees
  // with a snapshot taken here.
  std::string last;
  int ours = -1;
  bool matched = e2e::waitFor(kStatusTimeoutMs, [&] {
    auto text = statusText(pid, sb, 0);
    last = text ? *text : "<unreadable>";
    ours = e2e::countProcesses();
    auto n = parseNumber(last, "Processes: ", "");
    return n && ours >= 0 && std::labs(*n - ours) <= kProcessTolerance;
  });
  checks.expect(matched, "status panel 0 \"%s\" matches the %d processes seen by the driver",
                last.c_str(), ours);

  // Second panel: "CPU Usage: N%" with N a percentage.
  bool cpuOk = e2e::waitFor(kStatusTimeoutMs, [&] {
    auto text = statusText(pid, sb, 1);
    last = text ? *text : "<unreadable>";
    auto n = parseNumber(last, "CPU Usage: ", "%");
    return n && *n >= 0 && *n <= 100;
  });
  checks.expect(cpuOk, "status panel 1 \"%s\" is a CPU percentage", last.c_str());

  // Third panel: "Mem Usage: <committed>K / <page file total>K", both plain kilobyte numbers and
  // a page file total above 0.
  bool memOk = e2e::waitFor(kStatusTimeoutMs, [&] {
    auto text = statusText(pid, sb, 2);
    last = text ? *text : "<unreadable>";
    size_t end = 0;
    auto used = parseNumber(last, "Mem Usage: ", "K / ", &end);
    auto total = used ? parseNumber(last.substr(end), "", "K") : std::nullopt;
    return used && total && *used >= 0 && *total > 0;
  });
  checks.expect(memOk, "status panel 2 \"%s\" shows committed memory and the page file total",
                last.c_str());
}

// ---- Settings -------------------------------------------------------------------------

// Where the program keeps its per-user settings.
constexpr const char* kSettingsKey = "Software\\Orvex Software\\Taskwell";

bool keyExists(HKEY root, const char* path) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

// Deletes `path` below `root` with all its subkeys. A missing key counts as deleted.
bool deleteTree(HKEY root, const std::string& path, int depth = 0) {
  if (depth > 16) return false;
  HKEY k = nullptr;
  LONG rc = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | KEY_WRITE, &k);
  if (rc == ERROR_FILE_NOT_FOUND) return true;
  if (rc != ERROR_SUCCESS) return false;
  std::vector<std::string> subkeys;
  char name[256];
  for (DWORD i = 0;; ++i) {
    DWORD len = sizeof name;
    if (RegEnumKeyExA(k, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    subkeys.emplace_back(name, len);
  }
  RegCloseKey(k);
  bool ok = true;
  for (const auto& sub : subkeys) ok &= deleteTree(root, path + "\\" + sub, depth + 1);
  return ok && RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
}

// ---- Cases ---------------------------------------------------------------------------

// Waits for the main window of `app`; reports a refusal box instead if one shows up.
HWND waitMainWindow(Checks& checks, Launched& app, const char* label) {
  HWND main = nullptr;
  e2e::waitFor(
      kWindowTimeoutMs,
      [&] {
        main = e2e::findTopLevel(app.pid(), kMainCaption);
        return main && IsWindowVisible(main);
      },
      [&] { return app.exited(); });
  if (main && IsWindowVisible(main)) {
    checks.pass("%s: main window \"%s\" is shown (class %s)", label, kMainCaption,
                e2e::className(main).c_str());
    return main;
  }
  if (app.exited())
    checks.fail("%s: program exited (code %lu) without showing \"%s\"", label,
                static_cast<unsigned long>(app.exitCode()), kMainCaption);
  else if (e2e::findTopLevel(app.pid(), kRefusalCaption))
    checks.fail("%s: program shows the \"%s\" box instead of its main window", label,
                kRefusalCaption);
  else
    checks.fail("%s: no visible window \"%s\" within %lu ms", label, kMainCaption,
                static_cast<unsigned long>(kWindowTimeoutMs));
  return nullptr;
}

void runWindows98(Checks& checks, const Options& opt, VersionSetting& version) {
  const char* label = "win98";
  if (!checks.expect(version.set("win98"), "%s: set %s Version=win98", label, version.key().c_str()))
    return;
  // A first start: no settings from an earlier run decide the page, placement or options.
  checks.expect(deleteTree(HKEY_CURRENT_USER, kSettingsKey) &&
                    !keyExists(HKEY_CURRENT_USER, kSettingsKey),
                "%s: settings key HKCU\\%s cleared before the first start", label, kSettingsKey);
  Launched app;
  std::string err;
  if (!app.start(opt.exe, err)) {
    checks.fail("%s: start %s: %s", label, opt.exe.c_str(), err.c_str());
    return;
  }
  HWND main = waitMainWindow(checks, app, label);
  if (!main) return;
  checks.expect(!e2e::findTopLevel(app.pid(), kRefusalCaption, "#32770"),
                "%s: no \"%s\" message box", label, kRefusalCaption);

  auto tabs = e2e::childrenOfClass(main, WC_TABCONTROLA);
  bool tabsOk = false;
  if (checks.expect(tabs.size() == 1, "%s: main window has one SysTabControl32 (found %u)", label,
                    static_cast<unsigned>(tabs.size())))
    tabsOk = checkTabs(checks, app.pid(), tabs[0]);

  auto bars = e2e::childrenOfClass(main, STATUSCLASSNAMEA);
  if (checks.expect(bars.size() == 1, "%s: main window has one msctls_statusbar32 (found %u)",
                    label, static_cast<unsigned>(bars.size())))
    checkStatusBar(checks, app.pid(), bars[0]);

  screenshot(checks, main, opt, "main_window.bmp");

  // Each page in turn, selected by a click on its tab.
  if (tabsOk) {
    static const char* const files[] = {"page_applications.bmp", "page_processes.bmp",
                                        "page_performance.bmp", "page_system_info.bmp"};
    for (int i : {1, 2, 3, 0}) {
      if (!checks.expect(clickTab(app.pid(), tabs[0], i), "%s: click selects tab \"%s\"", label,
                         kTabTexts[i]))
        continue;
      screenshot(checks, main, opt, files[i]);
    }
  }

  PostMessageA(main, WM_CLOSE, 0, 0);
  checkEnds(checks, app, "win98: WM_CLOSE to the main window");
}

// Another 95-family version: the program must run there as well.
void runWindows95(Checks& checks, const Options& opt, VersionSetting& version) {
  const char* label = "win95";
  if (!checks.expect(version.set("win95"), "%s: set Version=win95", label)) return;
  Launched app;
  std::string err;
  if (!app.start(opt.exe, err)) {
    checks.fail("%s: start: %s", label, err.c_str());
    return;
  }
  HWND main = waitMainWindow(checks, app, label);
  if (!main) return;
  PostMessageA(main, WM_CLOSE, 0, 0);
  checkEnds(checks, app, "win95: WM_CLOSE to the main window");
}

// An NT-family version: the program refuses with a message box and creates no window.
void runRefusal(Checks& checks, const Options& opt, VersionSetting& version, const char* value,
                const char* label, const char* shot) {
  if (!checks.expect(version.set(value), "%s: %s", label,
                     value ? (std::string("set Version=") + value).c_str()
                           : "remove Version so Wine's default applies"))
    return;
  Launched app;
  std::string err;
  if (!app.start(opt.exe, err)) {
    checks.fail("%s: start: %s", label, err.c_str());
    return;
  }
  HWND box = nullptr;
  e2e::waitFor(
      kWindowTimeoutMs,
      [&] {
        box = e2e::findTopLevel(app.pid(), kRefusalCaption, "#32770");
        return box && IsWindowVisible(box);
      },
      [&] { return app.exited() || e2e::findTopLevel(app.pid(), kMainCaption); });
  if (!box) {
    if (e2e::findTopLevel(app.pid(), kMainCaption))
      checks.fail("%s: program opened its main window \"%s\" instead of refusing", label,
                  kMainCaption);
    else if (app.exited())
      checks.fail("%s: program exited (code %lu) without an \"%s\" box", label,
                  static_cast<unsigned long>(app.exitCode()), kRefusalCaption);
    else
      checks.fail("%s: no \"%s\" message box within %lu ms", label, kRefusalCaption,
                  static_cast<unsigned long>(kWindowTimeoutMs));
    return;
  }
  checks.pass("%s: message box \"%s\" is shown", label, kRefusalCaption);

  std::string seen;
  bool textOk = false;
  for (HWND st : e2e::childrenOfClass(box, "Static")) {
    auto t = e2e::windowText(st);
    if (!t || t->empty()) continue;
    seen = *t;
    if (*t == kRefusalText) {
      textOk = true;
      break;
    }
  }
  checks.expect(textOk, "%s: box text is \"%s\" (saw \"%s\")", label, kRefusalText, seen.c_str());

  // The refusal comes before any window of the program's own.
  bool noMain = true;
  for (HWND w : e2e::topLevelWindowsOf(app.pid()))
    if (e2e::caption(w) == kMainCaption) noMain = false;
  checks.expect(noMain, "%s: no \"%s\" window exists", label, kMainCaption);

  screenshot(checks, box, opt, shot);

  PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  checkEnds(checks, app, (std::string(label) + ": OK on the message box").c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <path to taskwell.exe> <artifact directory>\n",
                 argc > 0 ? argv[0] : "taskwell_e2e");
    return 2;
  }
  Options opt{argv[1], argv[2]};
  Checks checks;

  if (GetFileAttributesA(opt.exe.c_str()) == INVALID_FILE_ATTRIBUTES) {
    checks.fail("program %s not found", opt.exe.c_str());
  } else {
    CreateDirectoryA(opt.artifacts.c_str(), nullptr);
    Checks::info("program %s, artifacts in %s", opt.exe.c_str(), opt.artifacts.c_str());
    {
      VersionSetting version(baseName(opt.exe));
      runWindows98(checks, opt, version);
      runRefusal(checks, opt, version, "win10", "nt (win10)", "nt_refusal.bmp");
      runRefusal(checks, opt, version, nullptr, "nt (Wine default)", "nt_refusal_default.bmp");
      runWindows95(checks, opt, version);
    }  // VersionSetting puts Version=win98 back here
    VersionSetting readBack(baseName(opt.exe));
    auto v = readBack.get();
    checks.expect(v && *v == "win98", "Version restored to win98 (is \"%s\")",
                  v ? v->c_str() : "<missing>");
  }
  std::printf("%d passed, %d failed\n", checks.passed(), checks.failed());
  std::fflush(stdout);
  return checks.failed() == 0 ? 0 : 1;
}
