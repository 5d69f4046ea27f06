// What the cases of the end-to-end driver share: the options, the program's settings key and its
// values, a started instance of the program, screenshots, and waiting for the main window.
#pragma once

#include "e2e_util.h"

#include <cstdlib>
#include <map>
#include <utility>

namespace e2e {

constexpr const char* kMainCaption = "Orvex Taskwell 98";
constexpr const char* kRefusalCaption = "Error";
constexpr DWORD kWindowTimeoutMs = 30000;
constexpr DWORD kExitTimeoutMs = 15000;

struct Options {
  std::string exe;        // Windows path of taskwell.exe
  std::string artifacts;  // Windows path of the directory for screenshots
};

inline std::string baseName(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

inline std::string dirName(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string(".") : path.substr(0, cut);
}

inline std::string joinPath(const std::string& dir, const std::string& file) {
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

// One started instance of a program. Terminated on destruction if still running.
class Launched {
 public:
  Launched() = default;
  ~Launched() { kill(); }
  Launched(const Launched&) = delete;
  Launched& operator=(const Launched&) = delete;

  // `args`, when given, follow the quoted program path on the command line.
  bool start(const std::string& exe, std::string& error, const std::string& args = "") {
    std::string cmd = "\"" + exe + "\"" + (args.empty() ? "" : " " + args);
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
inline bool reallyVisible(HWND w) {
  for (HWND p = w; p; p = GetParent(p))
    if (!IsWindowVisible(p)) return false;
  return true;
}

// Saves a screenshot after bringing `w` to the front, and records whether it shows anything.
inline void screenshot(Checks& checks, HWND w, const Options& opt, const std::string& file) {
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
inline bool checkEnds(Checks& checks, Launched& app, const char* what) {
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

// Where the program keeps its per-user settings.
constexpr const char* kSettingsKey = "Software\\Orvex Software\\Taskwell";

inline bool keyExists(HKEY root, const char* path) {
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
  RegCloseKey(k);
  return true;
}

// Deletes `path` below `root` with all its subkeys. A missing key counts as deleted.
inline bool deleteTree(HKEY root, const std::string& path, int depth = 0) {
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

struct StoredValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
  bool operator==(const StoredValue& o) const { return type == o.type && data == o.data; }
};

// Every value below `path`, keyed "<subkey path>\<name>" relative to `path` ("\<name>" for the
// key's own values).
inline void dumpKey(HKEY root, const std::string& path, const std::string& relative,
             std::map<std::string, StoredValue>& out, int depth = 0) {
  if (depth > 16) return;
  HKEY k = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
  std::vector<char> name(16384);
  std::vector<BYTE> data(65536);
  for (DWORD i = 0;; ++i) {
    DWORD nameLen = static_cast<DWORD>(name.size()), dataLen = static_cast<DWORD>(data.size()), type = 0;
    if (RegEnumValueA(k, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen) !=
        ERROR_SUCCESS)
      break;
    out[relative + "\\" + std::string(name.data(), nameLen)] =
        StoredValue{type, std::vector<BYTE>(data.begin(), data.begin() + dataLen)};
  }
  std::vector<std::string> subkeys;
  for (DWORD i = 0;; ++i) {
    DWORD len = static_cast<DWORD>(name.size());
    if (RegEnumKeyExA(k, i, name.data(), &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;
    subkeys.emplace_back(name.data(), len);
  }
  RegCloseKey(k);
  for (const auto& sub : subkeys)
    dumpKey(root, path + "\\" + sub, relative.empty() ? sub : relative + "\\" + sub, out, depth + 1);
}

inline std::map<std::string, StoredValue> dumpSettings() {
  std::map<std::string, StoredValue> out;
  dumpKey(HKEY_CURRENT_USER, kSettingsKey, "", out);
  return out;
}

inline StoredValue dwordValue(DWORD n) {
  return StoredValue{REG_DWORD, {static_cast<BYTE>(n), static_cast<BYTE>(n >> 8),
                                 static_cast<BYTE>(n >> 16), static_cast<BYTE>(n >> 24)}};
}

inline StoredValue textValue(const std::string& text) {
  StoredValue v{REG_SZ, std::vector<BYTE>(text.begin(), text.end())};
  v.data.push_back(0);
  return v;
}

inline std::string describe(const std::optional<StoredValue>& v) {
  if (!v) return "<absent>";
  char buf[64];
  if (v->type == REG_DWORD && v->data.size() == 4) {
    DWORD n = v->data[0] | v->data[1] << 8 | v->data[2] << 16 | static_cast<DWORD>(v->data[3]) << 24;
    std::snprintf(buf, sizeof buf, "REG_DWORD %lu", static_cast<unsigned long>(n));
    return buf;
  }
  if (v->type == REG_SZ || v->type == REG_EXPAND_SZ) {
    std::string text(v->data.begin(), v->data.end());
    bool terminated = !text.empty() && text.back() == '\0';
    text = text.c_str();
    return std::string(v->type == REG_SZ ? "REG_SZ" : "REG_EXPAND_SZ") + " \"" + text + "\"" +
           (terminated ? "" : " (no terminating zero)");
  }
  std::snprintf(buf, sizeof buf, "type %lu, %u bytes", static_cast<unsigned long>(v->type),
                static_cast<unsigned>(v->data.size()));
  return buf;
}

// Stores one value below the settings key, creating the key.
inline bool storeValue(const std::string& key, const char* name, const StoredValue& v) {
  const std::string path = std::string(kSettingsKey) + "\\" + key;
  HKEY k = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                      &k, nullptr) != ERROR_SUCCESS)
    return false;
  LONG rc = RegSetValueExA(k, name, 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
  RegCloseKey(k);
  return rc == ERROR_SUCCESS;
}

// Waits for the main window of `app`; reports a refusal box instead if one shows up.
inline HWND waitMainWindow(Checks& checks, Launched& app, const char* label) {
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

// Starts the program and waits for its main window; null, with the failure said, when either fails.
inline HWND startProgram(Checks& checks, const Options& opt, Launched& app, const char* label) {
  std::string err;
  if (!app.start(opt.exe, err)) {
    checks.fail("%s: start %s: %s", label, opt.exe.c_str(), err.c_str());
    return nullptr;
  }
  return waitMainWindow(checks, app, label);
}

// The driver started with this single argument only waits, at most kSleeperLifetimeMs: a child
// process that a case may end through the program.
constexpr const char* kSleeperArgument = "--sleep";
constexpr DWORD kSleeperLifetimeMs = 180000;

// One registry value that a case changes for its own run: what was there before (or that nothing
// was) is put back on destruction, and a key made only for it is removed again.
class ScopedRegistryValue {
 public:
  ScopedRegistryValue(HKEY root, std::string key, std::string name)
      : root_(root), key_(std::move(key)), name_(std::move(name)) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
    keyExisted_ = true;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(k, name_.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
      StoredValue v{type, std::vector<BYTE>(size)};
      if (RegQueryValueExA(k, name_.c_str(), nullptr, &type, v.data.data(), &size) == ERROR_SUCCESS) {
        v.data.resize(size);
        saved_ = std::move(v);
      }
    }
    RegCloseKey(k);
  }
  ~ScopedRegistryValue() { restore(); }
  ScopedRegistryValue(const ScopedRegistryValue&) = delete;
  ScopedRegistryValue& operator=(const ScopedRegistryValue&) = delete;

  bool set(const StoredValue& v) {
    HKEY k = nullptr;
    if (RegCreateKeyExA(root_, key_.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
      return false;
    changed_ = true;
    LONG rc = RegSetValueExA(k, name_.c_str(), 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
    RegCloseKey(k);
    return rc == ERROR_SUCCESS;
  }

  // Puts back the value as it was found; true when the registry holds it so again.
  bool restore() {
    if (!changed_) return true;
    changed_ = false;
    HKEY k = nullptr;
    if (RegOpenKeyExA(root_, key_.c_str(), 0, KEY_READ | KEY_WRITE, &k) != ERROR_SUCCESS) return !keyExisted_;
    LONG rc;
    if (saved_) {
      rc = RegSetValueExA(k, name_.c_str(), 0, saved_->type, saved_->data.data(),
                          static_cast<DWORD>(saved_->data.size()));
    } else {
      rc = RegDeleteValueA(k, name_.c_str());
      if (rc == ERROR_FILE_NOT_FOUND) rc = ERROR_SUCCESS;
    }
    DWORD subkeys = 0, values = 0;
    RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                     nullptr);
    RegCloseKey(k);
    if (!keyExisted_ && subkeys == 0 && values == 0) RegDeleteKeyA(root_, key_.c_str());
    return rc == ERROR_SUCCESS;
  }

  const std::optional<StoredValue>& saved() const { return saved_; }

 private:
  HKEY root_;
  std::string key_;
  std::string name_;
  std::optional<StoredValue> saved_;
  bool keyExisted_ = false;
  bool changed_ = false;
};

// The path of the driver's own executable.
inline std::string driverPath() {
  char buf[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, buf, sizeof buf);
  return buf;
}

// ---- Status bar ---------------------------------------------------------------------------

// The text of one part of another process's status bar.
inline std::optional<std::string> statusText(DWORD pid, HWND sb, int part) {
  auto len = e2e::send(sb, SB_GETTEXTLENGTHA, static_cast<WPARAM>(part), 0);
  if (!len) return std::nullopt;
  const size_t need = LOWORD(*len) + 1;
  e2e::RemoteBuffer buf(pid, need < 1024 ? 1024 : need + 256);
  if (!buf.ok() || !buf.zero()) return std::nullopt;
  if (!e2e::send(sb, SB_GETTEXTA, static_cast<WPARAM>(part), buf.at())) return std::nullopt;
  return buf.readString(0);
}

// "<prefix><digits><suffix>" exactly (with `end`, the text may go on after the suffix and `end`
// receives where); returns the number.
inline std::optional<long long> parseNumber(const std::string& s, const std::string& prefix, const std::string& suffix,
                                            size_t* end = nullptr) {
  if (s.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  size_t i = prefix.size(), start = i;
  while (i < s.size() && s[i] >= '0' && s[i] <= '9') ++i;
  if (i == start || i - start > 18) return std::nullopt;
  if (s.compare(i, suffix.size(), suffix) != 0) return std::nullopt;
  if (end)
    *end = i + suffix.size();
  else if (i + suffix.size() != s.size())
    return std::nullopt;
  return std::strtoll(s.c_str() + start, nullptr, 10);
}

// ---- Children of the driver ------------------------------------------------------------------

// The driver started with "--burn <ms> <threads>" keeps that many threads busy for that long (at
// most kBurnLimitMs), then ends: load that the program's CPU figures must show.
constexpr const char* kBurnArgument = "--burn";
constexpr DWORD kBurnLimitMs = 60000;
int runBurnChild(int argc, char** argv);

// The driver started with "--facts <file>" writes the system facts it reads (version, directories,
// names, processor, memory totals) into the file as "name=value" lines, then ends. Started while
// the driver's own exe is told it runs on Windows 98, it reads them as the program does.
constexpr const char* kFactsArgument = "--facts";
int runFactsChild(int argc, char** argv);

// ---- Buttons, boxes and menus of another process --------------------------------------------

// A descendant BUTTON of `parent` whose text is `text`.
inline HWND buttonWithText(HWND parent, const char* text) {
  for (HWND b : e2e::childrenOfClass(parent, "Button")) {
    auto t = e2e::windowText(b);
    if (t && *t == text) return b;
  }
  return nullptr;
}

// A visible top-level window of `pid` with this caption (and class), waited for at most `timeoutMs`.
inline HWND waitShownTopLevel(DWORD pid, const char* wantCaption, const char* wantClass, DWORD timeoutMs) {
  HWND w = nullptr;
  e2e::waitFor(timeoutMs, [&] {
    w = e2e::findTopLevel(pid, wantCaption, wantClass);
    return w && IsWindowVisible(w);
  });
  return w && IsWindowVisible(w) ? w : nullptr;
}

// Waits until `w` is gone or hidden.
inline bool waitHidden(HWND w, DWORD timeoutMs) {
  return e2e::waitFor(timeoutMs, [&] { return !IsWindow(w) || !IsWindowVisible(w); });
}

// The visible menus (class #32768) of `pid`, the one opened last first as the system stacks them.
inline std::vector<HWND> visibleMenus(DWORD pid) {
  std::vector<HWND> out;
  for (HWND w : e2e::topLevelWindowsOf(pid))
    if (e2e::sameClass(e2e::className(w), "#32768") && IsWindowVisible(w)) out.push_back(w);
  return out;
}

// Waits until `pid` shows at least `count` menus; returns one of them, or null.
inline HWND waitMenus(DWORD pid, size_t count, DWORD timeoutMs) {
  HWND menu = nullptr;
  e2e::waitFor(timeoutMs, [&] {
    auto menus = visibleMenus(pid);
    menu = menus.size() >= count ? menus.front() : nullptr;
    return menu != nullptr;
  });
  return menu;
}

// Opens a menu of the menu bar by its accelerator letter, as Alt+letter does; returns the menu.
inline HWND openMenuBarMenu(HWND main, char letter, DWORD timeoutMs) {
  SetForegroundWindow(main);
  PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(letter));
  return waitMenus(e2e::windowPid(main), 1, timeoutMs);
}

// Leaves whatever menu `pid` shows: Escape to each, then a cancel of the menu mode.
inline void closeMenus(DWORD pid, HWND main) {
  for (HWND m : visibleMenus(pid)) PostMessageA(m, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(main, WM_CANCELMODE, 0, 0);
  e2e::waitFor(2000, [&] { return visibleMenus(pid).empty(); });
}

// A right click on a row's caption (posted, as the mouse would); the row is scrolled into view
// first, and the cursor is put where the click is, since the control takes the place of its
// context menu from the message's cursor position.
inline bool rightClickRow(DWORD pid, HWND list, int row) {
  e2e::send(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
  auto rc = e2e::remoteRect(pid, list, LVM_GETITEMRECT, static_cast<WPARAM>(row), LVIR_LABEL);
  if (!rc) return false;
  const POINT at{(rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2};
  POINT onScreen = at;
  if (!ClientToScreen(list, &onScreen)) return false;
  SetCursorPos(onScreen.x, onScreen.y);
  const LPARAM lp = MAKELPARAM(at.x, at.y);
  PostMessageA(list, WM_MOUSEMOVE, 0, lp);
  PostMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, lp);
  PostMessageA(list, WM_RBUTTONUP, 0, lp);
  return true;
}

// ---- Cases in other files -------------------------------------------------------------------

// The driver started with "--signal <event name>" sets that named event and ends: the child the
// Applications page case starts through the program's New Task dialog. Started under the file name
// kSignalCopyName without arguments, it sets kSignalCopyEvent instead.
constexpr const char* kSignalArgument = "--signal";
constexpr const char* kSignalCopyName = "tw e2e signal.exe";
constexpr const char* kSignalCopyEvent = "TaskwellE2E.SignalCopy";
int runSignalChild(int argc, char** argv);

// The Processes page under Windows 98 (ProcessPageChecks.cpp).
void runProcessPage(Checks& checks, const Options& opt, VersionSetting& version);

// The Performance and System Info pages and the usage logs under Windows 98, the program's CPU
// time when idle, and a prompt close (PerformanceChecks.cpp).
void runPerformance(Checks& checks, const Options& opt, VersionSetting& version);

// The Applications page under Windows 98, against windows of the driver's own: its rows, statuses,
// commands, End Task, the task properties and New Task dialogs (ApplicationsChecks.cpp).
void runApplicationsPage(Checks& checks, const Options& opt, VersionSetting& version);

// Hundreds of windows on the Applications page at High: posted messages handled promptly beside 300
// slowly answering windows, 10 hung ones, and windows coming and going (ApplicationsChecks.cpp).
void runCrowdedApplications(Checks& checks, const Options& opt, VersionSetting& version);

}  // namespace e2e
