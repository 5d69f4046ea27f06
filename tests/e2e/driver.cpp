// taskwell_e2e: checks a running taskwell.exe from outside, inside the same Wine prefix.
//
//   taskwell_e2e.exe <path to taskwell.exe> <artifact directory>
//   taskwell_e2e.exe --sleep      (a child of the driver that only waits)
//   taskwell_e2e.exe --burn <ms> <threads>   (a child that keeps processors busy for a while)
//   taskwell_e2e.exe --facts <file>          (a child that writes the system facts it reads)
//   taskwell_e2e.exe --signal <event name>   (a child that sets the named event and ends)
//
// TASKWELL_E2E_CASES, when set, names the cases to run, separated by commas (win98, stored,
// offscreen, processes, performance, applications, crowd, nt, win95); unset, every case runs.
//
// For each Windows version it sets the per-program version (value Version under
// HKCU\Software\Wine\AppDefaults\<exe name>), starts the program and looks at its windows:
//   - as Windows 98 (from a first start, no stored settings): the main window "Orvex
//     Taskwell 98", its four tabs, its four-panel status bar (process count, CPU, memory),
//     each page selected by a click, its tray icon in Wine's task bar (the CPU usage tip, the
//     window and its task bar button hidden when minimised and brought back by a double click
//     on the icon, the tray menu on a right click, and the icon gone after the close), a clean
//     close, and then every value of the settings
//     layout under HKCU\Software\Orvex Software\Taskwell with its type and first-run value;
//   - as Windows 98 with settings stored beforehand (page, update speed, view style, window
//     position): the program opens on the stored page at the stored position, and after its
//     close every stored value reads as before;
//   - as Windows 98 with Left and Top stored as -32000: the window opens on the work area at its
//     stored size, and its close stores where it was;
//   - as Windows 98 on the Processes page, paused, beside a child of the driver
//     (ProcessPageChecks.cpp): the rows against the driver's own snapshots, sorting by header
//     clicks, the column chooser, the process information dialog, ending the child, and the
//     stored sorting and columns;
//   - as Windows 98 on the Performance page at High with both usage logs on, under load from a
//     child of the driver (PerformanceChecks.cpp): CPU, thread and memory figures against the
//     driver's own readings, the System Info page against a Windows 98 child of the driver, the
//     usage log files, the program's processor time when idle, and a prompt close;
//   - as Windows 98 on the Applications page at High, beside windows of the driver on threads of
//     its own (ApplicationsChecks.cpp): the rows against the driver's own scan, a window's row
//     coming and going, "Not Responding" for a blocked thread, every command of the popup and
//     Windows menus on an answering and a blocked window while the program is probed, End Task's
//     question and a slow closer, the task properties dialog and New Task (2,000 typed characters,
//     then the same from the history: the program says it cannot find them and lives on);
//   - as Windows 98 on the Applications page at High, without the tray icon, beside 300 windows of
//     a thread that answers slowly, then 10 hung windows as well, then windows coming and going
//     (ApplicationsChecks.cpp): 60 posted messages over 6 s each time, each handled within 1 s and
//     on average within 100 ms, and the statuses of the 300 and the 10;
//   - as Windows 95: the main window and a clean close;
//   - as an NT version (explicit, and Wine's own default): the "Error" message box that
//     refuses to run, no main window, and a clean exit once the box is dismissed.
// Screenshots go to the artifact directory as BMP files. One PASS/FAIL line per check,
// then "N passed, M failed"; the exit code is 0 only when nothing failed. The program is
// never left running: any path out of a case terminates it if it is still alive.
#include "driver_common.h"

#include <shellapi.h>

#include <cctype>
#include <cstdlib>
#include <map>

namespace {

using namespace e2e;

constexpr const char* kRefusalText = "This application does not run on Windows NT";
constexpr const char* kTabTexts[] = {"Applications", "Processes", "Performance", "System Info"};
constexpr DWORD kStatusTimeoutMs = 15000;
constexpr int kProcessTolerance = 3;

// ---- Tab control --------------------------------------------------------------------

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

// ---- Status bar ---------------------------------------------------------------------

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

// ---- Process list columns --------------------------------------------------------------

// The process list (the list view shown on the Processes page) has the columns a first start
// builds from the stored column set: PID, Image Name, Threads, Priority and Type.
void checkProcessColumns(Checks& checks, DWORD pid, HWND main, const char* label) {
  static const char* const kColumns[] = {"PID", "Image Name", "Threads", "Priority", "Type"};
  HWND list = nullptr;
  for (HWND w : e2e::childrenOfClass(main, WC_LISTVIEWA))
    if (reallyVisible(w)) list = w;
  if (!checks.expect(list != nullptr, "%s: a list view is shown on the Processes page", label)) return;
  auto header = e2e::send(list, LVM_GETHEADER, 0, 0);
  HWND h = header ? reinterpret_cast<HWND>(*header) : nullptr;
  long count = -1;
  if (h) {
    if (auto n = e2e::send(h, HDM_GETITEMCOUNT, 0, 0)) count = static_cast<long>(*n);
  }
  RECT hr{};
  if (h) GetWindowRect(h, &hr);
  Checks::info("%s: header of the process list is %s, %ld x %ld", label,
               h && IsWindowVisible(h) ? "visible" : "hidden", static_cast<long>(hr.right - hr.left),
               static_cast<long>(hr.bottom - hr.top));
  std::string seen;
  bool ok = count == 5;
  for (int i = 0; i < count; ++i) {
    auto text = headerText(pid, h, i);
    seen += (i ? ", " : "") + (text ? *text : std::string("<unreadable>"));
    if (i < 5) ok &= text && *text == kColumns[i];
  }
  checks.expect(ok, "%s: process list columns are PID, Image Name, Threads, Priority, Type (got %s)",
                label, seen.empty() ? "none" : seen.c_str());
}

// ---- Settings -------------------------------------------------------------------------

bool sameTextIgnoringCase(const StoredValue& a, const StoredValue& b) {
  return a.type == b.type && a.data.size() == b.data.size() &&
         std::equal(a.data.begin(), a.data.end(), b.data.begin(), [](BYTE x, BYTE y) {
           return std::tolower(x) == std::tolower(y);
         });
}

// The layout a first shutdown writes: every value with its type and first-run value. The log
// paths lie beside the executable, whose path the system may spell in another case.
struct LayoutValue {
  std::string name;  // "<subkey>\<value>" below the settings key
  StoredValue value;
  bool ignoreCase = false;
};

std::vector<LayoutValue> firstRunLayout(const std::string& exe) {
  const std::string dir = dirName(exe) + "\\";
  std::string base = baseName(exe);
  if (size_t dot = base.find_last_of('.'); dot != std::string::npos) base.erase(dot);
  const std::string placement = base + ".INI\\frmMain\\";
  std::vector<LayoutValue> layout = {
      {"\\&Always On Top", dwordValue(0)},       {"\\&Minimize On Use", dwordValue(1)},
      {"\\&Show icon in tray", dwordValue(1)},   {"\\&Confirmations", dwordValue(1)},
      {"\\&Hide When Minimized", dwordValue(1)}, {"\\&Show 16-bit tasks", dwordValue(1)},
      {"\\&High", dwordValue(0)},                {"\\&Normal", dwordValue(1)},
      {"\\&Low", dwordValue(0)},                 {"\\&Paused", dwordValue(0)},
      {"\\Lar&ge Icons", dwordValue(1)},         {"\\S&mall Icons", dwordValue(0)},
      {"\\&List", dwordValue(0)},                {"\\&Details", dwordValue(0)},
      {"\\&Show Kernel Times", dwordValue(0)},   {"\\ActivePage", dwordValue(0)},
      {"Application Columns\\Task", dwordValue(250)},
      {"Application Columns\\Status", dwordValue(100)},
      {"Logs\\CPU", dwordValue(0)},
      {"Logs\\CPU_Logfile", textValue(dir + "CPU_Usage.Log"), true},
      {"Logs\\Mem", dwordValue(0)},
      {"Logs\\Mem_Logfile", textValue(dir + "Mem_Usage.Log"), true},
      {"Process Columns\\pdImageName", dwordValue(1)},
      {"Process Columns\\pdCntUsage", dwordValue(0)},
      {"Process Columns\\pdDefHeapID", dwordValue(0)},
      {"Process Columns\\pdModuleID", dwordValue(0)},
      {"Process Columns\\pdCntThreads", dwordValue(1)},
      {"Process Columns\\pdParentID", dwordValue(0)},
      {"Process Columns\\pdPriority", dwordValue(1)},
      {"Process Columns\\pddwFlags", dwordValue(0)},
      {"Process Columns\\pdBinTyp", dwordValue(1)},
      {"Process Columns\\Sorting", dwordValue(1)},
      {placement + "MyWindowState", textValue("False")},
      {placement + "Top", textValue("137")},
      {placement + "Left", textValue("259")},
      {placement + "Width", textValue("444")},
      {placement + "Height", textValue("538")},
  };
  for (const char* column : {"PID", "Image Name", "Threads", "Priority", "Type"})
    layout.push_back({std::string("Process Columns\\") + column, dwordValue(50)});
  return layout;
}

void checkFirstRunLayout(Checks& checks, const Options& opt, const char* label) {
  const auto stored = dumpSettings();
  const auto layout = firstRunLayout(opt.exe);
  for (const LayoutValue& want : layout) {
    auto it = stored.find(want.name);
    std::optional<StoredValue> got;
    if (it != stored.end()) got = it->second;
    const bool ok = got && (want.ignoreCase ? sameTextIgnoringCase(*got, want.value) : *got == want.value);
    const char* shown = want.name.c_str() + (want.name[0] == '\\' ? 1 : 0);
    checks.expect(ok, "%s: HKCU\\%s\\%s is %s (got %s)", label, kSettingsKey, shown,
                  describe(want.value).c_str(), describe(got).c_str());
  }
  std::string extra;
  for (const auto& [name, value] : stored) {
    bool known = false;
    for (const LayoutValue& want : layout) known |= want.name == name;
    if (!known) extra += " " + name;
  }
  checks.expect(extra.empty(), "%s: the settings key holds the %u values of the layout and no other (extra:%s)",
                label, static_cast<unsigned>(layout.size()), extra.empty() ? " none" : extra.c_str());
}

// ---- Tray icon -----------------------------------------------------------------------

// Wine's task bar (explorer.exe, class Shell_TrayWnd) keeps each notification icon's tip as a tool
// of a tooltip window that it owns (Wine 8: the tool is the icon's rectangle in the task bar;
// later versions give each icon a window of its own, owning its tooltip, and name that window as
// the tool). A mouse message posted there at the icon reaches the icon's program as the shell's
// notification.
constexpr const char* kTaskBarClass = "Shell_TrayWnd";
constexpr const char* kTrayTipPrefix = "CPU Usage: ";
constexpr DWORD kTrayTimeoutMs = 15000;

struct TrayIconRef {
  HWND target = nullptr;  // where mouse messages for the icon go
  POINT at{};             // the icon's centre in the target's client area
  std::string tip;
  // A removed icon may keep its tool, with an empty area (Wine 8).
  bool shown = false;
};

// Every tool of a tooltip window, read across processes: where its area is, and its text.
std::vector<TrayIconRef> toolsOf(HWND tooltip) {
  std::vector<TrayIconRef> out;
  const DWORD pid = e2e::windowPid(tooltip);
  auto count = e2e::send(tooltip, TTM_GETTOOLCOUNT, 0, 0);
  if (!count) return out;
  constexpr size_t kChars = 1024;  // far more than any tip
  for (LRESULT i = 0; i < *count && i < 64; ++i) {
    e2e::RemoteBuffer buf(pid, sizeof(TTTOOLINFOW) + (kChars + 1) * sizeof(WCHAR));
    if (!buf.ok() || !buf.zero()) break;
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.lpszText = reinterpret_cast<LPWSTR>(buf.at(sizeof ti));
    if (!buf.write(0, &ti, sizeof ti)) break;
    auto ok = e2e::send(tooltip, TTM_ENUMTOOLSW, static_cast<WPARAM>(i), buf.at());
    if (!ok || !*ok || !buf.read(0, &ti, sizeof ti)) continue;
    std::vector<WCHAR> text(kChars + 1, 0);
    if (!buf.read(sizeof ti, text.data(), kChars * sizeof(WCHAR))) continue;
    std::vector<char> narrow(kChars * 2 + 1, 0);
    WideCharToMultiByte(CP_ACP, 0, text.data(), -1, narrow.data(),
                        static_cast<int>(narrow.size()) - 1, nullptr, nullptr);
    TrayIconRef ref;
    ref.tip = narrow.data();
    if (ti.uFlags & TTF_IDISHWND) {
      ref.target = reinterpret_cast<HWND>(ti.uId);
      RECT r{};
      GetClientRect(ref.target, &r);
      ref.at = POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
      ref.shown = IsWindowVisible(ref.target) != FALSE;
    } else {
      ref.target = ti.hwnd;
      ref.at = POINT{(ti.rect.left + ti.rect.right) / 2, (ti.rect.top + ti.rect.bottom) / 2};
      ref.shown = !IsRectEmpty(&ti.rect);
    }
    out.push_back(ref);
  }
  return out;
}

// Wine's task bar button of a window: a button inside the task bar whose control id is the window.
HWND taskBarButton(HWND taskBar, HWND window) {
  for (HWND b : e2e::childrenOfClass(taskBar, "Button"))
    if (GetWindowLongPtrA(b, GWLP_ID) == reinterpret_cast<LONG_PTR>(window)) return b;
  return nullptr;
}

// Wine's task bar looks at its buttons again when the notification area changes. The program hands
// the shell a change only when its meter or tip changes, which may not happen for a while (a CPU
// figure that stays at 100 % on a busy host), so the driver makes a change of its own: it adds an
// icon and takes it away again.
void prodNotificationArea() {
  HWND owner = CreateWindowA("STATIC", "", 0, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (!owner) return;
  NOTIFYICONDATAA nid{};
  nid.cbSize = sizeof nid;
  nid.hWnd = owner;
  nid.uID = 1;
  nid.uFlags = NIF_ICON;
  nid.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  if (Shell_NotifyIconA(NIM_ADD, &nid)) Shell_NotifyIconA(NIM_DELETE, &nid);
  DestroyWindow(owner);
}

// The program's icon in the task bar: the one whose tip reads "CPU Usage: N%", N a percentage.
std::optional<TrayIconRef> findProgramTrayIcon(HWND taskBar, std::string* tipsSeen = nullptr) {
  const DWORD pid = e2e::windowPid(taskBar);
  std::string seen;
  for (HWND w : e2e::topLevelWindowsOf(pid)) {
    if (!e2e::sameClass(e2e::className(w), TOOLTIPS_CLASSA)) continue;
    // Owned by the task bar, or by an icon window inside it.
    HWND owner = GetWindow(w, GW_OWNER);
    if (owner != taskBar && GetParent(owner) != taskBar) continue;
    for (const TrayIconRef& ref : toolsOf(w)) {
      if (!ref.shown) continue;
      seen += (seen.empty() ? "\"" : ", \"") + ref.tip + "\"";
      auto n = parseNumber(ref.tip, kTrayTipPrefix, "%");
      if (n && *n >= 0 && *n <= 100) {
        if (tipsSeen) *tipsSeen = seen;
        return ref;
      }
    }
  }
  if (tipsSeen) *tipsSeen = seen.empty() ? "none" : seen;
  return std::nullopt;
}

// The program sits in the notification area with its CPU meter and usage tip; with "Hide When
// Minimized" on (as on a first start) minimising leaves only the tray icon, and a double click on
// the icon brings the window back and to the front. Screenshots of the task bar go with it.
void checkTrayIcon(Checks& checks, const Options& opt, HWND main, const char* label) {
  HWND taskBar = FindWindowA(kTaskBarClass, nullptr);
  if (!checks.expect(taskBar != nullptr, "%s: Wine's task bar (%s) exists", label, kTaskBarClass))
    return;
  std::optional<TrayIconRef> icon;
  std::string tips;
  e2e::waitFor(kTrayTimeoutMs, [&] {
    icon = findProgramTrayIcon(taskBar, &tips);
    return icon.has_value();
  });
  if (!checks.expect(icon.has_value(),
                     "%s: the task bar holds the program's tray icon (tips seen: %s)", label,
                     tips.c_str()))
    return;
  POINT screen = icon->at;
  ClientToScreen(icon->target, &screen);
  Checks::info("%s: tray icon at (%ld,%ld) on the screen, tip \"%s\"", label, screen.x, screen.y,
               icon->tip.c_str());
  screenshot(checks, taskBar, opt, "tray_icon.bmp");

  PostMessageA(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  bool hidden = e2e::waitFor(kTrayTimeoutMs, [&] { return !IsWindowVisible(main); });
  checks.expect(hidden, "%s: minimised with Hide When Minimized on, the main window is hidden",
                label);
  // The task bar drops the button of the hidden window when it next looks (Wine: at the next
  // notification-area change, which the program's next tick may make, else the driver's).
  HWND button = taskBarButton(taskBar, main);
  if (button) {
    bool dropped = e2e::waitFor(kTrayTimeoutMs / 5, [&] { return !IsWindowVisible(button); });
    if (!dropped) {
      prodNotificationArea();
      dropped = e2e::waitFor(kTrayTimeoutMs, [&] { return !IsWindowVisible(button); });
    }
    checks.expect(dropped, "%s: the hidden window has no task bar button", label);
  } else {
    Checks::info("%s: no task bar button is known to belong to the main window", label);
  }
  checks.expect(findProgramTrayIcon(taskBar).has_value(),
                "%s: the tray icon stays while the window is hidden", label);
  screenshot(checks, taskBar, opt, "tray_icon_minimized.bmp");

  // The shell relays the double click to the program, which restores its window.
  const LPARAM at = MAKELPARAM(icon->at.x, icon->at.y);
  PostMessageA(icon->target, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(icon->target, WM_LBUTTONUP, 0, at);
  PostMessageA(icon->target, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageA(icon->target, WM_LBUTTONUP, 0, at);
  bool restored =
      e2e::waitFor(kTrayTimeoutMs, [&] { return IsWindowVisible(main) && !IsIconic(main); });
  checks.expect(restored, "%s: a double click on the tray icon restores the main window", label);
  if (!restored) return;
  bool front = e2e::waitFor(3000, [&] { return GetForegroundWindow() == main; });
  checks.expect(front, "%s: the restored window comes to the foreground", label);
  if (button) {
    bool back = e2e::waitFor(kTrayTimeoutMs, [&] { return IsWindowVisible(button) != FALSE; });
    checks.expect(back, "%s: the restored window has its task bar button again", label);
  }
  screenshot(checks, taskBar, opt, "tray_icon_restored.bmp");

  // A right click pops the tray menu up at the icon; Escape closes it again. (The menu's items
  // cannot be read from another process; the screenshot shows them.)
  const DWORD pid = e2e::windowPid(main);
  PostMessageA(icon->target, WM_RBUTTONDOWN, MK_RBUTTON, at);
  PostMessageA(icon->target, WM_RBUTTONUP, 0, at);
  HWND menu = nullptr;
  e2e::waitFor(kTrayTimeoutMs, [&] {
    menu = e2e::findTopLevel(pid, "", "#32768");
    return menu && IsWindowVisible(menu);
  });
  if (!checks.expect(menu && IsWindowVisible(menu),
                     "%s: a right click on the tray icon opens a menu", label))
    return;
  Sleep(500);  // let the menu paint
  e2e::ScreenshotResult shot =
      e2e::screenshotWindow(menu, joinPath(opt.artifacts, "tray_menu.bmp"));
  checks.expect(shot.written && shot.distinctColours > 2,
                "screenshot tray_menu.bmp (%dx%d) shows content", shot.width, shot.height);
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  bool closed = e2e::waitFor(5000, [&] { return !IsWindow(menu) || !IsWindowVisible(menu); });
  checks.expect(closed, "%s: Escape closes the tray menu", label);
}

// Opens a menu of the menu bar by its accelerator letter (as Alt+letter does), saves a screenshot
// of it and closes it again. Another process cannot read the menu's items; the picture shows which
// of them the page shows.
void menuScreenshot(Checks& checks, const Options& opt, HWND main, char letter, const std::string& file) {
  const DWORD pid = e2e::windowPid(main);
  SetForegroundWindow(main);
  PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, static_cast<LPARAM>(letter));
  HWND menu = nullptr;
  e2e::waitFor(5000, [&] {
    menu = e2e::findTopLevel(pid, "", "#32768");
    return menu && IsWindowVisible(menu);
  });
  if (!checks.expect(menu && IsWindowVisible(menu), "menu '%c' opens for %s", letter, file.c_str())) return;
  Sleep(400);  // let the menu paint
  e2e::ScreenshotResult shot = e2e::screenshotWindow(menu, joinPath(opt.artifacts, file));
  checks.expect(shot.written && shot.distinctColours > 2, "screenshot %s (%dx%d) shows content", file.c_str(),
                shot.width, shot.height);
  // Escape closes the submenu, a second one leaves the menu bar.
  PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
  PostMessageA(main, WM_KEYDOWN, VK_ESCAPE, 0);
  bool closed = e2e::waitFor(5000, [&] { return !IsWindow(menu) || !IsWindowVisible(menu); });
  checks.expect(closed, "Escape closes the menu of %s", file.c_str());
  PostMessageA(main, WM_CANCELMODE, 0, 0);
  Sleep(200);
}

// After the program has ended no icon of it is left in the task bar.
void checkTrayIconGone(Checks& checks, const char* label) {
  HWND taskBar = FindWindowA(kTaskBarClass, nullptr);
  if (!taskBar) return;
  std::string tips;
  bool gone = e2e::waitFor(kTrayTimeoutMs,
                           [&] { return !findProgramTrayIcon(taskBar, &tips).has_value(); });
  checks.expect(gone, "%s: the tray icon is gone after the program ended (tips seen: %s)", label,
                tips.c_str());
}

// ---- Cases ---------------------------------------------------------------------------

void runWindows98(Checks& checks, const Options& opt, VersionSetting& version) {
  const char* label = "win98";
  if (!checks.expect(version.set("win98"), "%s: set %s Version=win98", label, version.key().c_str()))
    return;
  // A first start: no settings from an earlier run decide the page, placement or options.
  checks.expect(deleteTree(HKEY_CURRENT_USER, kSettingsKey) &&
                    !keyExists(HKEY_CURRENT_USER, kSettingsKey),
                "%s: settings key HKCU\\%s cleared before the first start", label, kSettingsKey);
  Launched app;
  HWND main = startProgram(checks, opt, app, label);
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
      if (i == 1) checkProcessColumns(checks, app.pid(), main, label);
      screenshot(checks, main, opt, files[i]);
      // The View menu differs by page: view styles on Applications, only the refresh controls on
      // Performance.
      if (i == 0) menuScreenshot(checks, opt, main, 'v', "menu_view_applications.bmp");
      if (i == 2) menuScreenshot(checks, opt, main, 'v', "menu_view_performance.bmp");
    }
  }

  checkTrayIcon(checks, opt, main, label);

  PostMessageA(main, WM_CLOSE, 0, 0);
  if (checkEnds(checks, app, "win98: WM_CLOSE to the main window")) {
    checkTrayIconGone(checks, label);
    checkFirstRunLayout(checks, opt, label);
  }
}

// A start with settings stored beforehand: the Performance page, Low speed, the Details view and a
// window position of its own. The program opens as stored, and its close stores the same again.
void runSeededSettings(Checks& checks, const Options& opt, VersionSetting& version) {
  const char* label = "win98 stored settings";
  if (!checks.expect(version.set("win98"), "%s: set Version=win98", label)) return;
  std::string base = baseName(opt.exe);
  if (size_t dot = base.find_last_of('.'); dot != std::string::npos) base.erase(dot);
  const std::string placement = base + ".INI\\frmMain";
  constexpr int kLeft = 200, kTop = 120, kWidth = 500, kHeight = 560;
  bool seeded = storeValue("", "ActivePage", dwordValue(2)) && storeValue("", "&Low", dwordValue(1)) &&
                storeValue("", "&Normal", dwordValue(0)) && storeValue("", "&Details", dwordValue(1)) &&
                storeValue("", "Lar&ge Icons", dwordValue(0)) &&
                storeValue(placement, "Top", textValue(std::to_string(kTop))) &&
                storeValue(placement, "Left", textValue(std::to_string(kLeft))) &&
                storeValue(placement, "Width", textValue(std::to_string(kWidth))) &&
                storeValue(placement, "Height", textValue(std::to_string(kHeight)));
  if (!checks.expect(seeded, "%s: settings stored before the start", label)) return;
  const auto before = dumpSettings();

  Launched app;
  HWND main = startProgram(checks, opt, app, label);
  if (!main) return;

  auto tabs = e2e::childrenOfClass(main, WC_TABCONTROLA);
  if (checks.expect(tabs.size() == 1, "%s: main window has one SysTabControl32", label)) {
    auto cur = e2e::send(tabs[0], TCM_GETCURSEL, 0, 0);
    checks.expect(cur && *cur == 2, "%s: opens on tab 2 \"%s\" (selected: %ld)", label, kTabTexts[2],
                  cur ? static_cast<long>(*cur) : -1L);
  }
  RECT rc{};
  const bool placed = GetWindowRect(main, &rc) && rc.left == kLeft && rc.top == kTop &&
                      rc.right - rc.left == kWidth && rc.bottom - rc.top == kHeight;
  checks.expect(placed, "%s: window at left %d top %d, %d x %d (is left %ld top %ld, %ld x %ld)", label,
                kLeft, kTop, kWidth, kHeight, static_cast<long>(rc.left), static_cast<long>(rc.top),
                static_cast<long>(rc.right - rc.left), static_cast<long>(rc.bottom - rc.top));
  screenshot(checks, main, opt, "stored_settings_performance.bmp");

  PostMessageA(main, WM_CLOSE, 0, 0);
  if (!checkEnds(checks, app, "win98 stored settings: WM_CLOSE to the main window")) return;

  const auto after = dumpSettings();
  for (const auto& [name, value] : before) {
    auto it = after.find(name);
    std::optional<StoredValue> got;
    if (it != after.end()) got = it->second;
    checks.expect(got && *got == value, "%s: after the close %s is still %s (got %s)", label, name.c_str(),
                  describe(value).c_str(), describe(got).c_str());
  }
  checks.expect(after.size() == before.size(), "%s: the close stored %u values, as many as before (%u)",
                label, static_cast<unsigned>(after.size()), static_cast<unsigned>(before.size()));
}

// A place stored off the screen, as a program saved while minimised leaves it: the window opens on
// the desktop's work area with its stored size, and its close stores where it was.
void runOffScreenPlacement(Checks& checks, const Options& opt, VersionSetting& version) {
  const char* label = "win98 off-screen placement";
  if (!checks.expect(version.set("win98"), "%s: set Version=win98", label)) return;
  std::string base = baseName(opt.exe);
  if (size_t dot = base.find_last_of('.'); dot != std::string::npos) base.erase(dot);
  const std::string placement = base + ".INI\\frmMain";
  constexpr int kWidth = 444, kHeight = 538;
  const bool seeded = storeValue(placement, "Left", textValue("-32000")) &&
                      storeValue(placement, "Top", textValue("-32000")) &&
                      storeValue(placement, "Width", textValue(std::to_string(kWidth))) &&
                      storeValue(placement, "Height", textValue(std::to_string(kHeight))) &&
                      storeValue(placement, "MyWindowState", textValue("False"));
  if (!checks.expect(seeded, "%s: Left and Top stored as -32000", label)) return;
  RECT work{};
  SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);

  Launched app;
  HWND main = startProgram(checks, opt, app, label);
  if (!main) return;
  RECT rc{};
  GetWindowRect(main, &rc);
  checks.expect(rc.left >= work.left && rc.top >= work.top && rc.right <= work.right && rc.bottom <= work.bottom &&
                    rc.right - rc.left == kWidth && rc.bottom - rc.top == kHeight,
                "%s: the window opens on the work area (%ld,%ld)-(%ld,%ld) at its size %d x %d "
                "(is (%ld,%ld)-(%ld,%ld))",
                label, static_cast<long>(work.left), static_cast<long>(work.top), static_cast<long>(work.right),
                static_cast<long>(work.bottom), kWidth, kHeight, static_cast<long>(rc.left), static_cast<long>(rc.top),
                static_cast<long>(rc.right), static_cast<long>(rc.bottom));
  screenshot(checks, main, opt, "offscreen_placement.bmp");
  PostMessageA(main, WM_CLOSE, 0, 0);
  if (!checkEnds(checks, app, "win98 off-screen placement: WM_CLOSE to the main window")) return;
  const auto after = dumpSettings();
  auto stored = [&](const char* name) {
    auto it = after.find(placement + "\\" + name);
    return it == after.end() ? std::string("<absent>") : describe(it->second);
  };
  checks.expect(stored("Left") == describe(textValue(std::to_string(rc.left))) &&
                    stored("Top") == describe(textValue(std::to_string(rc.top))),
                "%s: the close stores where the window was (Left %s, Top %s)", label, stored("Left").c_str(),
                stored("Top").c_str());
}

// Another 95-family version: the program must run there as well.
void runWindows95(Checks& checks, const Options& opt, VersionSetting& version) {
  const char* label = "win95";
  if (!checks.expect(version.set("win95"), "%s: set Version=win95", label)) return;
  Launched app;
  HWND main = startProgram(checks, opt, app, label);
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

// Whether the case `name` runs: every case unless TASKWELL_E2E_CASES names some.
bool caseSelected(const char* name) {
  char buf[512] = {};
  const DWORD n = GetEnvironmentVariableA("TASKWELL_E2E_CASES", buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return true;
  const std::string list = std::string(",") + buf + ",";
  return list.find(std::string(",") + name + ",") != std::string::npos;
}

}  // namespace

int main(int argc, char** argv) {
  // The child the Processes page case ends from the program: it only waits, for a bounded time
  // so that it never outlives a driver that was killed.
  if (argc == 2 && std::strcmp(argv[1], kSleeperArgument) == 0) {
    Sleep(kSleeperLifetimeMs);
    return 0;
  }
  // Children of the Performance page case: load for a bounded time, and the system facts as a
  // Windows 98 program reads them.
  if (argc >= 2 && std::strcmp(argv[1], kBurnArgument) == 0) return runBurnChild(argc, argv);
  if (argc >= 2 && std::strcmp(argv[1], kFactsArgument) == 0) return runFactsChild(argc, argv);
  // The child New Task starts: by its argument, or as the copy under a path with spaces.
  if (argc >= 2 && std::strcmp(argv[1], kSignalArgument) == 0) return runSignalChild(argc, argv);
  if (argc == 1 && lstrcmpiA(baseName(driverPath()).c_str(), kSignalCopyName) == 0) return runSignalChild(argc, argv);
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
      if (caseSelected("win98")) runWindows98(checks, opt, version);
      if (caseSelected("stored")) runSeededSettings(checks, opt, version);
      if (caseSelected("offscreen")) runOffScreenPlacement(checks, opt, version);
      if (caseSelected("processes")) runProcessPage(checks, opt, version);
      if (caseSelected("performance")) runPerformance(checks, opt, version);
      if (caseSelected("applications")) runApplicationsPage(checks, opt, version);
      if (caseSelected("crowd")) runCrowdedApplications(checks, opt, version);
      if (caseSelected("nt")) {
        runRefusal(checks, opt, version, "win10", "nt (win10)", "nt_refusal.bmp");
        runRefusal(checks, opt, version, nullptr, "nt (Wine default)", "nt_refusal_default.bmp");
      }
      if (caseSelected("win95")) runWindows95(checks, opt, version);
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
