// The Processes page as another process sees it, under Windows 98.
//
// The driver first starts a child of its own (itself with --sleep) so that the program's first
// process snapshot holds it, then the program with settings stored beforehand: the Processes page,
// updates paused (so that rows change only by the page's own actions), confirmations on, the
// default columns plus "Flags". Then:
//   - the rows against the driver's own process snapshots: ids, image names, thread counts,
//     priorities, flags, types, sorted by image name; End Process disabled without a selection;
//   - header clicks: "Threads" ascending then descending, "PID" ascending twice, "Threads" again
//     twice (descending last);
//   - the column chooser from the View menu: its boxes as stored, "Parent ID" added with OK (the
//     column and each row's parent id), and a change left with Cancel;
//   - the process information dialog by a double click on the child's row: its values, its thread
//     and module lists against the driver's snapshots of the child, the heap page's note, no error
//     box, and OK closing it;
//   - End Process on the child: the "Confirm" box, "No" keeping the child and its row, "Yes"
//     ending it with exit code 0xFFFFFFFF and dropping its row at once, no other process ended;
//   - after the close: the stored sort column (descending "Threads") and column set.
// The driver ends nothing but its child and the program it started.
#include "driver_common.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>

namespace e2e {

namespace {

constexpr const char* kLabel = "processes";
constexpr const char* kColumnsKey = "Process Columns";
constexpr const char* kEndProcessCaption = "&End Process";
constexpr const char* kConfirmCaption = "Confirm";
constexpr const char* kConfirmText = "Are you sure you want to end this process ?";
constexpr const char* kChooserCaption = "Select Columns";
constexpr const char* kChooserGroup = " Select information to display for processes ";
constexpr const char* kInfoCaption = "Process Information";
constexpr const char* kHeapsNote = "Heap information is not available for this process.";
constexpr DWORD kActionTimeoutMs = 5000;
// How long a state is watched to see that nothing changes it.
constexpr DWORD kSettleMs = 1200;
constexpr DWORD kEndedExitCode = 0xFFFFFFFF;

// ---- Texts --------------------------------------------------------------------------------------

std::string hex8(DWORD v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%08lX", static_cast<unsigned long>(v));
  return buf;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The lower-case file-name part of a path: what the program shows as an image or module name.
std::string imageName(const std::string& path) { return lower(baseName(path)); }

bool isHex8(const std::string& s) {
  return s.size() == 8 && std::all_of(s.begin(), s.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
         });
}

std::optional<long> decimal(const std::string& s) {
  if (s.empty() || s.size() > 9 || !std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return std::nullopt;
  return std::strtol(s.c_str(), nullptr, 10);
}

// What a row shows as priority for Wine's priority class number (1 idle, 2 normal, 3 high,
// 4 realtime), which the program turns into the base priority Windows 98 reports.
std::string priorityText(LONG wineClass) {
  switch (wineClass) {
    case 1: return "Idle";
    case 2: return "Normal";
    case 3: return "High";
    case 4: return "RealTime";
    default: return "Unknown";
  }
}

// ---- The driver's own snapshots -------------------------------------------------------------

struct ProcessFacts {
  DWORD pid = 0;
  DWORD parent = 0;
  DWORD threads = 0;
  LONG priorityClass = 0;
  DWORD flags = 0;
  std::string exe;
};

std::map<DWORD, ProcessFacts> snapshotProcesses() {
  std::map<DWORD, ProcessFacts> out;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return out;
  PROCESSENTRY32 pe{};
  pe.dwSize = sizeof pe;
  for (BOOL more = Process32First(snap, &pe); more && out.size() < 4096; more = Process32Next(snap, &pe))
    out[pe.th32ProcessID] = ProcessFacts{pe.th32ProcessID, pe.th32ParentProcessID, pe.cntThreads,
                                         pe.pcPriClassBase, pe.dwFlags, pe.szExeFile};
  CloseHandle(snap);
  return out;
}

// The ids of the threads of one process.
std::set<DWORD> threadsOf(DWORD pid) {
  std::set<DWORD> out;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snap == INVALID_HANDLE_VALUE) return out;
  THREADENTRY32 te{};
  te.dwSize = sizeof te;
  for (BOOL more = Thread32First(snap, &te); more; more = Thread32Next(snap, &te))
    if (te.th32OwnerProcessID == pid) out.insert(te.th32ThreadID);
  CloseHandle(snap);
  return out;
}

struct ModuleFacts {
  std::string name;  // lower-case file name
  DWORD base = 0;
  DWORD size = 0;
  DWORD handle = 0;
};

std::vector<ModuleFacts> modulesOf(DWORD pid) {
  std::vector<ModuleFacts> out;
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
  if (snap == INVALID_HANDLE_VALUE) return out;
  MODULEENTRY32 me{};
  me.dwSize = sizeof me;
  for (BOOL more = Module32First(snap, &me); more && out.size() < 1024; more = Module32Next(snap, &me))
    out.push_back(ModuleFacts{imageName(me.szExePath), static_cast<DWORD>(reinterpret_cast<UINT_PTR>(me.modBaseAddr)),
                              me.modBaseSize, static_cast<DWORD>(reinterpret_cast<UINT_PTR>(me.hModule))});
  CloseHandle(snap);
  return out;
}

std::string selfPath() {
  char buf[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, buf, sizeof buf);
  return buf;
}

// ---- Windows of the program ---------------------------------------------------------------------

// The process list: the list view shown on the Processes page.
HWND processList(HWND main) {
  for (HWND w : childrenOfClass(main, WC_LISTVIEWA))
    if (reallyVisible(w)) return w;
  return nullptr;
}

// A descendant BUTTON of `parent` whose text is `text`.
HWND findButton(HWND parent, const char* text) {
  for (HWND b : childrenOfClass(parent, "Button")) {
    auto t = windowText(b);
    if (t && *t == text) return b;
  }
  return nullptr;
}

// A visible top-level window of `pid` with this caption (and class), waited for.
HWND waitTopLevel(DWORD pid, const char* caption, const char* cls = nullptr, DWORD timeoutMs = kActionTimeoutMs) {
  HWND w = nullptr;
  waitFor(timeoutMs, [&] {
    w = findTopLevel(pid, caption, cls);
    return w && IsWindowVisible(w);
  });
  return w && IsWindowVisible(w) ? w : nullptr;
}

bool waitGone(HWND w, DWORD timeoutMs = kActionTimeoutMs) {
  return waitFor(timeoutMs, [&] { return !IsWindow(w) || !IsWindowVisible(w); });
}

// Visible message boxes of `pid` (dialog class #32770), with their captions.
std::string messageBoxesOf(DWORD pid) {
  std::string seen;
  for (HWND w : topLevelWindowsOf(pid))
    if (sameClass(className(w), "#32770") && IsWindowVisible(w)) seen += " \"" + caption(w) + "\"";
  return seen;
}

// The texts of a window's visible STATIC descendants.
std::vector<std::string> visibleStatics(HWND parent) {
  std::vector<std::string> out;
  for (HWND s : childrenOfClass(parent, "Static")) {
    if (!reallyVisible(s)) continue;
    auto t = windowText(s);
    if (t && !t->empty()) out.push_back(*t);
  }
  return out;
}

// The process list as the driver reads it: header texts and rows.
struct Page {
  DWORD pid = 0;
  HWND list = nullptr;
  HWND header = nullptr;
  std::vector<std::string> columns;
  ListRows rows;

  bool read() {
    columns = headerTexts(pid, header);
    auto r = listRows(pid, list, static_cast<int>(columns.size()));
    if (!r) return false;
    rows = std::move(*r);
    return true;
  }
  int column(const char* name) const {
    for (size_t i = 0; i < columns.size(); ++i)
      if (columns[i] == name) return static_cast<int>(i);
    return -1;
  }
  int rowOf(DWORD processId) const {
    const std::string id = hex8(processId);
    for (size_t i = 0; i < rows.size(); ++i)
      if (!rows[i].empty() && rows[i][0] == id) return static_cast<int>(i);
    return -1;
  }
  std::string columnList() const {
    std::string s;
    for (const auto& c : columns) s += (s.empty() ? "" : ", ") + c;
    return s.empty() ? "none" : s;
  }
};

// Whether the rows are ordered by column `col`: by number when `numeric`, else byte by byte;
// `descending` reverses. Equal keys may stand in any order.
bool rowsOrdered(const Page& page, int col, bool numeric, bool descending, std::string* firstBreak) {
  if (col < 0) return false;
  for (size_t i = 1; i < page.rows.size(); ++i) {
    const std::string& a = page.rows[i - 1][static_cast<size_t>(col)];
    const std::string& b = page.rows[i][static_cast<size_t>(col)];
    int c;
    if (numeric) {
      auto x = decimal(a), y = decimal(b);
      if (!x || !y) {
        if (firstBreak) *firstBreak = "not a number: \"" + a + "\" / \"" + b + "\"";
        return false;
      }
      c = *x < *y ? -1 : *x > *y ? 1 : 0;
    } else {
      c = a.compare(b);  // unsigned bytes
    }
    if (descending ? c < 0 : c > 0) {
      if (firstBreak) *firstBreak = "row " + std::to_string(i - 1) + " \"" + a + "\" before row " + std::to_string(i) + " \"" + b + "\"";
      return false;
    }
  }
  return true;
}

// ---- Rows against the driver's snapshots ---------------------------------------------------------

void checkRows(Checks& checks, Page& page, const std::map<DWORD, ProcessFacts>& before,
               const std::map<DWORD, ProcessFacts>& after, DWORD programPid) {
  const int image = page.column("Image Name"), threads = page.column("Threads"), priority = page.column("Priority"),
            type = page.column("Type"), flags = page.column("Flags");
  checks.expect(page.columns == std::vector<std::string>{"PID", "Image Name", "Threads", "Priority", "Type", "Flags"},
                "%s: columns as stored: PID, Image Name, Threads, Priority, Type, Flags (got %s)", kLabel,
                page.columnList().c_str());
  if (image < 0 || threads < 0 || priority < 0 || type < 0 || flags < 0) return;

  // Every process that existed before and after the program started has its row.
  std::string missing, wrongName, wrongPriority, wrongThreads, wrongFlags, emptyType;
  int compared = 0, threadCompared = 0;
  for (const auto& [pid, facts] : before) {
    auto later = after.find(pid);
    if (later == after.end() || later->second.exe != facts.exe) continue;
    ++compared;
    const int r = page.rowOf(pid);
    if (r < 0) {
      missing += " " + hex8(pid) + " (" + facts.exe + ")";
      continue;
    }
    const auto& row = page.rows[static_cast<size_t>(r)];
    if (row[static_cast<size_t>(image)] != imageName(facts.exe))
      wrongName += " " + hex8(pid) + " \"" + row[static_cast<size_t>(image)] + "\" for \"" + facts.exe + "\"";
    if (row[static_cast<size_t>(priority)] != priorityText(facts.priorityClass))
      wrongPriority += " " + hex8(pid) + " \"" + row[static_cast<size_t>(priority)] + "\" for class " +
                       std::to_string(facts.priorityClass);
    if (row[static_cast<size_t>(flags)] != hex8(facts.flags))
      wrongFlags += " " + hex8(pid) + " \"" + row[static_cast<size_t>(flags)] + "\"";
    if (row[static_cast<size_t>(type)].empty()) emptyType += " " + hex8(pid) + " (" + facts.exe + ")";
    // Thread counts move; compare those that stood still around the program's start.
    if (facts.threads == later->second.threads) {
      ++threadCompared;
      if (row[static_cast<size_t>(threads)] != std::to_string(facts.threads))
        wrongThreads += " " + hex8(pid) + " \"" + row[static_cast<size_t>(threads)] + "\" for " +
                        std::to_string(facts.threads);
    }
  }
  checks.expect(compared > 0 && missing.empty(), "%s: each of the %d processes of the driver's snapshots has a row (missing:%s)",
                kLabel, compared, missing.empty() ? " none" : missing.c_str());
  checks.expect(wrongName.empty(), "%s: rows show the lower-case file name of the exe (wrong:%s)", kLabel,
                wrongName.empty() ? " none" : wrongName.c_str());
  checks.expect(wrongPriority.empty(), "%s: rows show the priority of Wine's class (\"Normal\" for class 2) (wrong:%s)",
                kLabel, wrongPriority.empty() ? " none" : wrongPriority.c_str());
  checks.expect(threadCompared > 0 && wrongThreads.empty(), "%s: rows show the thread count (%d compared, wrong:%s)",
                kLabel, threadCompared, wrongThreads.empty() ? " none" : wrongThreads.c_str());
  checks.expect(wrongFlags.empty(), "%s: rows show dwFlags as 8 hex digits (wrong:%s)", kLabel,
                wrongFlags.empty() ? " none" : wrongFlags.c_str());
  // The type needs the exe's full path, which Wine's process walk lacks until the program
  // completes it.
  checks.expect(emptyType.empty(), "%s: every row shows a type (empty:%s)", kLabel,
                emptyType.empty() ? " none" : emptyType.c_str());
  const int own = page.rowOf(programPid);
  const std::string ownType = own < 0 ? "<no row>" : page.rows[static_cast<size_t>(own)][static_cast<size_t>(type)];
  // A 32-bit Windows program that asks for version 4.0; the 64-bit test build's image asks for 5.2
  // (the linker's default there), whose version word the type rule does not name.
#ifdef _WIN64
  const char* ownTypeWanted = "Unknown (5.2)";
#else
  const char* ownTypeWanted = "32-Bit (4.0)";
#endif
  checks.expect(ownType == ownTypeWanted, "%s: the program's own row has type \"%s\" (got \"%s\")", kLabel,
                ownTypeWanted, ownType.c_str());

  // No row of a process the driver never saw, and every caption is an id in 8 hex digits.
  std::string strange;
  std::set<std::string> seen;
  for (const auto& row : page.rows) {
    const std::string& id = row[0];
    const DWORD pid = static_cast<DWORD>(std::strtoul(id.c_str(), nullptr, 16));
    if (!isHex8(id) || !seen.insert(id).second || (!before.count(pid) && !after.count(pid))) strange += " \"" + id + "\"";
  }
  checks.expect(strange.empty(), "%s: each of the %u rows is one known process with its id in 8 upper-case hex digits (other:%s)",
                kLabel, static_cast<unsigned>(page.rows.size()), strange.empty() ? " none" : strange.c_str());
  std::string why;
  checks.expect(rowsOrdered(page, image, false, false, &why), "%s: rows sorted by image name, ascending %s", kLabel,
                why.c_str());
}

// ---- Sorting by header clicks ------------------------------------------------------------------

// Clicks a header item and waits until the rows are in the wanted order; `settle` watches for a
// while longer that they stay so (for a click that must change nothing).
void clickAndCheckOrder(Checks& checks, Page& page, const char* name, bool numeric, bool descending,
                        const char* what, bool settle = false) {
  const int col = page.column(name);
  const size_t rowsBefore = page.rows.size();
  if (!checks.expect(col >= 0 && clickHeaderItem(page.pid, page.header, col), "%s: click on header \"%s\"", kLabel, name))
    return;
  std::string why;
  bool ordered = waitFor(3000, [&] {
    return page.read() && page.rows.size() == rowsBefore && rowsOrdered(page, col, numeric, descending, &why);
  });
  if (ordered && settle) {
    Sleep(kSettleMs);
    ordered = page.read() && page.rows.size() == rowsBefore && rowsOrdered(page, col, numeric, descending, &why);
  }
  checks.expect(ordered, "%s: %s: rows by \"%s\" %s, all %u rows kept %s", kLabel, what, name,
                descending ? "descending" : "ascending", static_cast<unsigned>(page.rows.size()), why.c_str());
}

void checkSorting(Checks& checks, Page& page) {
  clickAndCheckOrder(checks, page, "Threads", true, false, "first click on Threads");
  clickAndCheckOrder(checks, page, "Threads", true, true, "second click on Threads");
  clickAndCheckOrder(checks, page, "PID", false, false, "first click on PID");
  clickAndCheckOrder(checks, page, "PID", false, false, "second click on PID", true);
  clickAndCheckOrder(checks, page, "Threads", true, false, "Threads after PID");
  clickAndCheckOrder(checks, page, "Threads", true, true, "Threads again");
}

// ---- The column chooser -----------------------------------------------------------------------

struct Box {
  const char* caption;
  const char* column;  // header text of the column the box stands for
  const char* stored;  // its flag under Process Columns
};
constexpr Box kBoxes[] = {
    {"Name", "Image Name", "pdImageName"}, {"Usage Count", "Usage", "pdCntUsage"},
    {"Def Heap ID", "DefHeapID", "pdDefHeapID"}, {"Module ID", "ModuleID", "pdModuleID"},
    {"Threads count", "Threads", "pdCntThreads"}, {"Parent ID", "ParentID", "pdParentID"},
    {"Priority", "Priority", "pdPriority"}, {"Type", "Type", "pdBinTyp"},
    {"Flags", "Flags", "pddwFlags"},
};

// Opens the chooser as the keyboard does: Alt+V, then S for "&Select Columns..". `menuShot`, when
// given, is the file for a screenshot of the open View menu.
HWND openChooser(Checks& checks, const Options& opt, HWND main, const char* what, const char* menuShot = nullptr) {
  const DWORD pid = windowPid(main);
  SetForegroundWindow(main);
  PostMessageA(main, WM_SYSCOMMAND, SC_KEYMENU, 'v');
  HWND menu = nullptr;
  waitFor(kActionTimeoutMs, [&] {
    menu = findTopLevel(pid, "", "#32768");
    return menu && IsWindowVisible(menu);
  });
  if (!checks.expect(menu && IsWindowVisible(menu), "%s: %s: Alt+V opens the View menu", kLabel, what)) return nullptr;
  Sleep(300);  // let the menu paint
  if (menuShot) {
    ScreenshotResult shot = screenshotWindow(menu, joinPath(opt.artifacts, menuShot));
    checks.expect(shot.written && shot.distinctColours > 2, "screenshot %s (%dx%d) shows content", menuShot, shot.width,
                  shot.height);
  }
  PostMessageA(menu, WM_KEYDOWN, 'S', 0);
  HWND chooser = waitTopLevel(pid, kChooserCaption);
  checks.expect(chooser != nullptr, "%s: %s: S opens the \"%s\" window", kLabel, what, kChooserCaption);
  if (!chooser) {
    // Leave no menu open behind a failed step.
    if (IsWindow(menu)) PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(main, WM_CANCELMODE, 0, 0);
  }
  return chooser;
}

// Each box's check state; a missing box or one of another kind is reported.
bool readBoxes(Checks& checks, HWND chooser, std::map<std::string, bool>& state, const char* what) {
  std::string wrong;
  for (const Box& box : kBoxes) {
    HWND b = findButton(chooser, box.caption);
    if (!b) {
      wrong += std::string(" \"") + box.caption + "\" missing";
      continue;
    }
    const LONG style = GetWindowLongA(b, GWL_STYLE);
    if ((style & BS_TYPEMASK) != BS_AUTOCHECKBOX) wrong += std::string(" \"") + box.caption + "\" not an auto check box";
    auto checked = send(b, BM_GETCHECK, 0, 0);
    state[box.caption] = checked && *checked == BST_CHECKED;
  }
  return checks.expect(wrong.empty(), "%s: %s: nine auto check boxes (problems:%s)", kLabel, what,
                       wrong.empty() ? " none" : wrong.c_str());
}

std::string describeBoxes(const std::map<std::string, bool>& state) {
  std::string s;
  for (const Box& box : kBoxes) {
    auto it = state.find(box.caption);
    if (it != state.end() && it->second) s += (s.empty() ? "" : ", ") + std::string(box.caption);
  }
  return s.empty() ? "none" : s;
}

void checkColumnChooser(Checks& checks, const Options& opt, HWND main, Page& page,
                        const std::map<DWORD, ProcessFacts>& facts, std::map<std::string, bool>& shown) {
  HWND chooser = openChooser(checks, opt, main, "first opening", "menu_view_processes.bmp");
  if (!chooser) return;
  std::string groupText;
  for (HWND b : childrenOfClass(chooser, "Button"))
    if ((GetWindowLongA(b, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX) groupText = windowText(b).value_or("");
  checks.expect(groupText == kChooserGroup, "%s: chooser group box \"%s\" (got \"%s\")", kLabel, kChooserGroup,
                groupText.c_str());
  HWND ok = findButton(chooser, "&Ok"), cancel = findButton(chooser, "&Cancel");
  checks.expect(ok && cancel, "%s: chooser has \"&Ok\" and \"&Cancel\"", kLabel);
  std::map<std::string, bool> boxes;
  if (readBoxes(checks, chooser, boxes, "chooser")) {
    bool asShown = true;
    for (const Box& box : kBoxes) asShown &= boxes[box.caption] == shown[box.caption];
    checks.expect(asShown, "%s: chooser boxes as stored: %s (checked: %s)", kLabel, describeBoxes(shown).c_str(),
                  describeBoxes(boxes).c_str());
  }
  screenshot(checks, chooser, opt, "select_columns.bmp");

  // "Parent ID" on, OK: the column comes at once, with each process's parent.
  HWND parentBox = findButton(chooser, "Parent ID");
  if (parentBox) send(parentBox, BM_CLICK, 0, 0);
  auto nowChecked = parentBox ? send(parentBox, BM_GETCHECK, 0, 0) : std::nullopt;
  checks.expect(nowChecked && *nowChecked == BST_CHECKED, "%s: a click checks \"Parent ID\"", kLabel);
  if (ok) PostMessageA(ok, BM_CLICK, 0, 0);
  checks.expect(ok && waitGone(chooser), "%s: \"&Ok\" closes the chooser", kLabel);
  if (IsWindow(chooser) && IsWindowVisible(chooser)) {
    PostMessageA(chooser, WM_CLOSE, 0, 0);
    return;
  }
  shown["Parent ID"] = true;
  const std::vector<std::string> withParent = {"PID", "Image Name", "Threads", "ParentID", "Priority", "Type", "Flags"};
  const bool headed = waitFor(3000, [&] { return page.read() && page.columns == withParent; });
  checks.expect(headed, "%s: after OK the columns are PID, Image Name, Threads, ParentID, Priority, Type, Flags (got %s)",
                kLabel, page.columnList().c_str());
  const int parent = page.column("ParentID");
  if (parent >= 0) {
    std::string wrong;
    int compared = 0;
    for (const auto& row : page.rows) {
      const DWORD pid = static_cast<DWORD>(std::strtoul(row[0].c_str(), nullptr, 16));
      auto it = facts.find(pid);
      if (it == facts.end()) continue;
      ++compared;
      if (row[static_cast<size_t>(parent)] != hex8(it->second.parent))
        wrong += " " + row[0] + " \"" + row[static_cast<size_t>(parent)] + "\" for " + hex8(it->second.parent);
    }
    checks.expect(compared > 0 && wrong.empty(), "%s: each row's ParentID is the driver's parent id (%d compared, wrong:%s)",
                  kLabel, compared, wrong.empty() ? " none" : wrong.c_str());
  }
  screenshot(checks, main, opt, "processes_page.bmp");

  // Opened again: the boxes as applied; a change left with Cancel changes nothing.
  chooser = openChooser(checks, opt, main, "second opening");
  if (!chooser) return;
  boxes.clear();
  if (readBoxes(checks, chooser, boxes, "chooser again")) {
    bool asShown = true;
    for (const Box& box : kBoxes) asShown &= boxes[box.caption] == shown[box.caption];
    checks.expect(asShown, "%s: chooser again shows %s (checked: %s)", kLabel, describeBoxes(shown).c_str(),
                  describeBoxes(boxes).c_str());
  }
  HWND priorityBox = findButton(chooser, "Priority");
  if (priorityBox) send(priorityBox, BM_CLICK, 0, 0);
  auto unchecked = priorityBox ? send(priorityBox, BM_GETCHECK, 0, 0) : std::nullopt;
  checks.expect(unchecked && *unchecked == BST_UNCHECKED, "%s: a click clears \"Priority\"", kLabel);
  cancel = findButton(chooser, "&Cancel");
  if (cancel) PostMessageA(cancel, BM_CLICK, 0, 0);
  checks.expect(cancel && waitGone(chooser), "%s: \"&Cancel\" closes the chooser", kLabel);
  if (IsWindow(chooser) && IsWindowVisible(chooser)) PostMessageA(chooser, WM_CLOSE, 0, 0);
  const size_t rowsBefore = page.rows.size();
  Sleep(kSettleMs);
  checks.expect(page.read() && page.columns == withParent && page.rows.size() == rowsBefore,
                "%s: after Cancel the columns stay %s and the %u rows stay (got %s, %u rows)", kLabel,
                "PID, Image Name, Threads, ParentID, Priority, Type, Flags", static_cast<unsigned>(rowsBefore),
                page.columnList().c_str(), static_cast<unsigned>(page.rows.size()));
}

// ---- The process information dialog --------------------------------------------------------------

// The read-only EDIT on the same row as a STATIC label (same top) and to its right.
HWND fieldRightOf(HWND dialog, HWND label) {
  RECT lr{};
  GetWindowRect(label, &lr);
  HWND best = nullptr;
  LONG bestLeft = 0;
  for (HWND e : childrenOfClass(dialog, "Edit")) {
    RECT er{};
    GetWindowRect(e, &er);
    if (std::labs(er.top - lr.top) > 1 || er.left < lr.right - 2) continue;
    if (!best || er.left < bestLeft) {
      best = e;
      bestLeft = er.left;
    }
  }
  return best;
}

HWND findStatic(HWND parent, const char* text) {
  for (HWND s : childrenOfClass(parent, "Static")) {
    auto t = windowText(s);
    if (t && *t == text) return s;
  }
  return nullptr;
}

bool readOnlyBorderless(HWND edit) {
  const LONG style = GetWindowLongA(edit, GWL_STYLE), ex = GetWindowLongA(edit, GWL_EXSTYLE);
  return (style & ES_READONLY) && !(style & WS_BORDER) && !(ex & WS_EX_CLIENTEDGE);
}

// The list view on the tab control's page now shown.
HWND shownList(HWND dialog) {
  for (HWND w : childrenOfClass(dialog, WC_LISTVIEWA))
    if (reallyVisible(w)) return w;
  return nullptr;
}

// Whether `shown` is `path`, or `path` cut to fit with "...\" standing for a middle part.
bool pathOrShortened(const std::string& shown, const std::string& path) {
  if (lower(shown) == lower(path)) return true;
  const size_t cut = shown.find("...\\");
  if (cut == std::string::npos) return false;
  const std::string head = lower(shown.substr(0, cut)), tail = lower(shown.substr(cut + 3));
  const std::string p = lower(path);
  return p.size() > head.size() + tail.size() && p.compare(0, head.size(), head) == 0 &&
         p.compare(p.size() - tail.size(), tail.size(), tail) == 0 && tail.size() > baseName(path).size();
}

void checkInfoFields(Checks& checks, HWND dialog, DWORD childPid, const std::string& childExe) {
  HWND nameLabel = findStatic(dialog, "Name:");
  HWND nameField = nullptr;
  if (nameLabel) {
    // The name's field lies below its label or beside it, outside the group box.
    RECT lr{};
    GetWindowRect(nameLabel, &lr);
    for (HWND e : childrenOfClass(dialog, "Edit")) {
      if (GetParent(e) != dialog) continue;
      RECT er{};
      GetWindowRect(e, &er);
      if (er.top >= lr.top - 1 && er.top <= lr.bottom + 8) nameField = e;
    }
  }
  const std::string name = nameField ? windowText(nameField).value_or("<unreadable>") : "<no field>";
  checks.expect(nameField && name == imageName(childExe) && readOnlyBorderless(nameField),
                "%s: dialog: \"Name:\" with a borderless read-only field \"%s\" (expected \"%s\")", kLabel, name.c_str(),
                imageName(childExe).c_str());

  std::string group;
  for (HWND b : childrenOfClass(dialog, "Button"))
    if ((GetWindowLongA(b, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX) group = windowText(b).value_or("");
  checks.expect(group == " Process Information ", "%s: dialog: group box \" Process Information \" (got \"%s\")", kLabel,
                group.c_str());

  struct Field {
    const char* label;
    std::string expected;  // empty: only present, read-only and filled
  };
  const std::vector<Field> fields = {
      {"Process ID:", hex8(childPid)},
      {"Usage:", ""},
      {"Def Heap ID:", ""},
      {"Module ID:", ""},
      {"Threads:", std::to_string(threadsOf(childPid).size())},
      {"Parent ID:", hex8(GetCurrentProcessId())},
      {"Priority:", "8  (Normal)"},
      {"Type:", ""},
      {"Flags:", ""},
      {"Exe Path:", ""},
  };
  for (const Field& f : fields) {
    HWND label = findStatic(dialog, f.label);
    HWND field = label ? fieldRightOf(dialog, label) : nullptr;
    const std::string text = field ? windowText(field).value_or("<unreadable>") : "<no field>";
    bool ok = field && readOnlyBorderless(field) && !text.empty();
    if (!f.expected.empty()) ok &= text == f.expected;
    if (std::string(f.label) == "Exe Path:") ok &= pathOrShortened(text, childExe);
    checks.expect(ok, "%s: dialog: \"%s\" has a read-only field beside it reading \"%s\" (expected %s)", kLabel, f.label,
                  text.c_str(),
                  std::string(f.label) == "Exe Path:" ? ("\"" + childExe + "\" or a shortened form").c_str()
                  : f.expected.empty()                 ? "a value"
                                                       : ("\"" + f.expected + "\"").c_str());
  }
}

void checkInfoTabs(Checks& checks, const Options& opt, HWND dialog, DWORD pid, DWORD childPid) {
  auto tabs = childrenOfClass(dialog, WC_TABCONTROLA);
  if (!checks.expect(tabs.size() == 1, "%s: dialog: one tab control (found %u)", kLabel,
                     static_cast<unsigned>(tabs.size())))
    return;
  HWND tab = tabs[0];
  static const char* const kTabs[] = {"Threads", "Modules", "Heaps"};
  std::string names;
  for (int i = 0; i < 3; ++i) names += (i ? ", " : "") + tabText(pid, tab, i).value_or("<unreadable>");
  auto count = send(tab, TCM_GETITEMCOUNT, 0, 0);
  checks.expect(count && *count == 3 && names == "Threads, Modules, Heaps", "%s: dialog tabs: %s", kLabel, names.c_str());

  for (int i = 0; i < 3; ++i) {
    if (!checks.expect(clickTab(pid, tab, i), "%s: dialog: click selects tab \"%s\"", kLabel, kTabs[i])) continue;
    Sleep(300);
    HWND list = shownList(dialog);
    const std::vector<std::string> statics = visibleStatics(dialog);
    std::string notes;
    for (const auto& s : statics)
      if (s.find("not available") != std::string::npos || s.find("Only the first") != std::string::npos)
        notes += " \"" + s + "\"";
    if (!checks.expect(list != nullptr, "%s: dialog: tab \"%s\" shows a list", kLabel, kTabs[i])) continue;
    const std::vector<std::string> columns = headerTexts(pid, listHeader(list));
    auto rows = listRows(pid, list, static_cast<int>(columns.size()));
    std::string cols;
    for (const auto& c : columns) cols += (cols.empty() ? "" : ", ") + c;

    if (i == 0) {
      const std::set<DWORD> threads = threadsOf(childPid);
      std::set<std::string> want, got;
      for (DWORD t : threads) want.insert(hex8(t));
      std::string wrongPriority;
      const bool headed = columns.size() == 5 && columns[1] == "Usage" && columns[2] == "Priority" &&
                          columns[3] == "Delta Priority" && columns[4] == "Flags";
      if (rows && headed)
        for (const auto& r : *rows) {
          got.insert(r[0]);
          if (r[2] != "Unknown (0)") wrongPriority += " " + r[0] + " \"" + r[2] + "\"";
        }
      checks.expect(headed, "%s: dialog: thread columns <id>, Usage, Priority, Delta Priority, Flags (got %s)", kLabel,
                    cols.c_str());
      checks.expect(rows && !want.empty() && got == want, "%s: dialog: the thread list holds the child's %u threads (%u rows)",
                    kLabel, static_cast<unsigned>(want.size()), rows ? static_cast<unsigned>(rows->size()) : 0u);
      checks.expect(rows && wrongPriority.empty(), "%s: dialog: each thread's priority reads \"Unknown (0)\" (other:%s)",
                    kLabel, wrongPriority.empty() ? " none" : wrongPriority.c_str());
      checks.expect(notes.empty(), "%s: dialog: no note on the Threads page (notes:%s)", kLabel,
                    notes.empty() ? " none" : notes.c_str());
      screenshot(checks, dialog, opt, "process_info_threads.bmp");
    } else if (i == 1) {
      const std::vector<ModuleFacts> modules = modulesOf(childPid);
      const bool headed = columns.size() == 7 && columns[1] == "ModuleID" && columns[2] == "Global Usage" &&
                          columns[3] == "Process Usage" && columns[4] == "Base Addr" && columns[5] == "Base Size" &&
                          columns[6] == "Module Handle";
      checks.expect(headed, "%s: dialog: module columns <name>, ModuleID, Global Usage, Process Usage, Base Addr, Base Size, "
                    "Module Handle (got %s)", kLabel, cols.c_str());
      std::string wrong;
      if (rows && headed) {
        for (const ModuleFacts& m : modules) {
          bool found = false;
          for (const auto& r : *rows)
            if (r[4] == hex8(m.base)) {
              found = true;
              if (r[0] != m.name || r[5] != std::to_string(m.size) || r[6] != hex8(m.handle))
                wrong += " " + r[0] + "/" + r[4] + "/" + r[5] + "/" + r[6] + " for " + m.name;
            }
          if (!found) wrong += " " + m.name + " missing";
        }
      }
      checks.expect(rows && !modules.empty() && rows->size() == modules.size() && wrong.empty(),
                    "%s: dialog: the module list holds the child's %u modules with name, base, size and handle (%u rows; wrong:%s)",
                    kLabel, static_cast<unsigned>(modules.size()), rows ? static_cast<unsigned>(rows->size()) : 0u,
                    wrong.empty() ? " none" : wrong.c_str());
      checks.expect(rows && !rows->empty() && (*rows)[0][0] == imageName(selfPath()),
                    "%s: dialog: the first module is the child's exe \"%s\" (got \"%s\")", kLabel,
                    imageName(selfPath()).c_str(), rows && !rows->empty() ? (*rows)[0][0].c_str() : "<none>");
      checks.expect(notes.empty(), "%s: dialog: no note on the Modules page (notes:%s)", kLabel,
                    notes.empty() ? " none" : notes.c_str());
      screenshot(checks, dialog, opt, "process_info_modules.bmp");
    } else {
      checks.expect(rows && rows->empty(), "%s: dialog: the heap list is empty (%u rows)", kLabel,
                    rows ? static_cast<unsigned>(rows->size()) : 0u);
      checks.expect(notes == std::string(" \"") + kHeapsNote + "\"", "%s: dialog: the Heaps page says \"%s\" (notes:%s)",
                    kLabel, kHeapsNote, notes.empty() ? " none" : notes.c_str());
      screenshot(checks, dialog, opt, "process_info_heaps.bmp");
    }
  }
}

void checkProcessInformation(Checks& checks, const Options& opt, Page& page, DWORD childPid, const std::string& childExe) {
  page.read();
  const int row = page.rowOf(childPid);
  if (!checks.expect(row >= 0, "%s: the child %s has a row for the dialog", kLabel, hex8(childPid).c_str())) return;
  if (!checks.expect(doubleClickRow(page.pid, page.list, row), "%s: double click on the child's row", kLabel)) return;
  HWND dialog = waitTopLevel(page.pid, kInfoCaption);
  if (!checks.expect(dialog != nullptr, "%s: the double click opens \"%s\"", kLabel, kInfoCaption)) {
    const std::string boxes = messageBoxesOf(page.pid);
    if (!boxes.empty()) Checks::info("%s: message boxes instead:%s", kLabel, boxes.c_str());
    return;
  }
  checkInfoFields(checks, dialog, childPid, childExe);
  checkInfoTabs(checks, opt, dialog, page.pid, childPid);
  const std::string boxes = messageBoxesOf(page.pid);
  checks.expect(boxes.empty(), "%s: no message box while the dialog is open (seen:%s)", kLabel,
                boxes.empty() ? " none" : boxes.c_str());

  HWND ok = findButton(dialog, "&Ok");
  if (ok) PostMessageA(ok, BM_CLICK, 0, 0);
  const bool closed = ok && waitGone(dialog);
  checks.expect(closed, "%s: \"&Ok\" closes the dialog", kLabel);
  if (!closed && IsWindow(dialog)) PostMessageA(dialog, WM_CLOSE, 0, 0);
}

// ---- End Process --------------------------------------------------------------------------------

// Clicks End Process with the child's row selected and waits for the question.
HWND askToEnd(Checks& checks, Page& page, HWND button, DWORD childPid, const char* what) {
  page.read();
  const int row = page.rowOf(childPid);
  if (!checks.expect(row >= 0 && setRowSelected(page.pid, page.list, row), "%s: %s: the child's row is selected", kLabel, what))
    return nullptr;
  checks.expect(waitFor(3000, [&] { return IsWindowEnabled(button) != FALSE; }),
                "%s: %s: \"&End Process\" is enabled with a row selected", kLabel, what);
  PostMessageA(button, BM_CLICK, 0, 0);
  HWND box = waitTopLevel(page.pid, kConfirmCaption, "#32770");
  if (!checks.expect(box != nullptr, "%s: %s: End Process asks in a \"%s\" box", kLabel, what, kConfirmCaption)) return nullptr;
  std::string text;
  for (const auto& s : visibleStatics(box))
    if (text.empty() || s == kConfirmText) text = s;
  checks.expect(text == kConfirmText, "%s: %s: the box asks \"%s\" (got \"%s\")", kLabel, what, kConfirmText, text.c_str());
  checks.expect(findButton(box, "&Yes") && findButton(box, "&No"), "%s: %s: the box has Yes and No", kLabel, what);
  return box;
}

void checkEndProcess(Checks& checks, const Options& opt, HWND main, Page& page, Launched& child) {
  HWND button = findButton(main, kEndProcessCaption);
  if (!checks.expect(button != nullptr, "%s: \"%s\" button present", kLabel, kEndProcessCaption)) return;
  const DWORD childPid = child.pid();

  // "No": nothing happens.
  HWND box = askToEnd(checks, page, button, childPid, "No");
  if (!box) return;
  screenshot(checks, box, opt, "confirm_end_process.bmp");
  HWND no = findButton(box, "&No");
  if (no) PostMessageA(no, BM_CLICK, 0, 0);
  checks.expect(waitGone(box), "%s: \"&No\" closes the box", kLabel);
  Sleep(kSettleMs);
  checks.expect(!child.exited(), "%s: after No the child still runs", kLabel);
  checks.expect(page.read() && page.rowOf(childPid) >= 0, "%s: after No the child's row stays", kLabel);

  // "Yes": the child ends with the program's exit code, and its row goes at once although the
  // updates are paused. Nothing else ends.
  const std::map<DWORD, ProcessFacts> before = snapshotProcesses();
  box = askToEnd(checks, page, button, childPid, "Yes");
  if (!box) return;
  HWND yes = findButton(box, "&Yes");
  if (yes) PostMessageA(yes, BM_CLICK, 0, 0);
  checks.expect(waitGone(box), "%s: \"&Yes\" closes the box", kLabel);
  const bool ended = child.waitExit(kActionTimeoutMs);
  checks.expect(ended && child.exitCode() == kEndedExitCode, "%s: Yes ends the child with exit code 0x%08lX (%s, 0x%08lX)",
                kLabel, static_cast<unsigned long>(kEndedExitCode), ended ? "ended" : "still running",
                static_cast<unsigned long>(child.exitCode()));
  const bool rowGone = waitFor(3000, [&] { return page.read() && !page.rows.empty() && page.rowOf(childPid) < 0; });
  checks.expect(rowGone, "%s: the ended child's row is gone at once, with updates paused (%u rows)", kLabel,
                static_cast<unsigned>(page.rows.size()));
  const std::map<DWORD, ProcessFacts> after = snapshotProcesses();
  std::string gone;
  for (const auto& [pid, facts] : before)
    if (pid != childPid && !after.count(pid)) gone += " " + hex8(pid) + " (" + facts.exe + ")";
  checks.expect(gone.empty(), "%s: no other process ended (gone:%s)", kLabel, gone.empty() ? " none" : gone.c_str());
  const std::string boxes = messageBoxesOf(page.pid);
  checks.expect(boxes.empty(), "%s: no message box after End Process (seen:%s)", kLabel, boxes.empty() ? " none" : boxes.c_str());
}

// ---- Stored settings ------------------------------------------------------------------------------

std::optional<StoredValue> storedValue(const std::map<std::string, StoredValue>& all, const std::string& name) {
  auto it = all.find(name);
  if (it == all.end()) return std::nullopt;
  return it->second;
}

void checkStored(Checks& checks, const std::map<std::string, bool>& shown) {
  const auto all = dumpSettings();
  const std::string columns = std::string(kColumnsKey) + "\\";
  // Descending "Threads" (index 5) is stored as -5.
  const auto sorting = storedValue(all, columns + "Sorting");
  checks.expect(sorting && *sorting == dwordValue(static_cast<DWORD>(-5)),
                "%s: after the close Sorting is %s (descending Threads; got %s)", kLabel,
                describe(dwordValue(static_cast<DWORD>(-5))).c_str(), describe(sorting).c_str());
  for (const Box& box : kBoxes) {
    auto it = shown.find(box.caption);
    const DWORD want = it != shown.end() && it->second ? 1 : 0;
    const auto got = storedValue(all, columns + box.stored);
    checks.expect(got && *got == dwordValue(want), "%s: after the close %s is %lu (got %s)", kLabel, box.stored,
                  static_cast<unsigned long>(want), describe(got).c_str());
  }
  const auto page = storedValue(all, "\\ActivePage");
  checks.expect(page && *page == dwordValue(1), "%s: after the close ActivePage is 1 (got %s)", kLabel,
                describe(page).c_str());
}

}  // namespace

void runProcessPage(Checks& checks, const Options& opt, VersionSetting& version) {
  if (!checks.expect(version.set("win98"), "%s: set Version=win98", kLabel)) return;

  // Stored beforehand: the Processes page, paused, confirmations on, the default columns and
  // "Flags", sorted by image name.
  std::map<std::string, bool> shown = {{"Name", true}, {"Threads count", true}, {"Priority", true},
                                       {"Type", true}, {"Flags", true}};
  bool seeded = deleteTree(HKEY_CURRENT_USER, kSettingsKey) && storeValue("", "ActivePage", dwordValue(1)) &&
                storeValue("", "&High", dwordValue(0)) && storeValue("", "&Normal", dwordValue(0)) &&
                storeValue("", "&Low", dwordValue(0)) && storeValue("", "&Paused", dwordValue(1)) &&
                storeValue("", "&Confirmations", dwordValue(1)) && storeValue(kColumnsKey, "Sorting", dwordValue(1));
  for (const Box& box : kBoxes) seeded = seeded && storeValue(kColumnsKey, box.stored, dwordValue(shown[box.caption] ? 1 : 0));
  if (!checks.expect(seeded, "%s: settings stored before the start (Processes page, paused, columns)", kLabel)) return;

  // The child first, readable before the program takes its one snapshot.
  Launched child;
  std::string err;
  const std::string childExe = selfPath();
  if (!checks.expect(child.start(childExe, err, kSleeperArgument), "%s: child %s %s started %s", kLabel,
                     childExe.c_str(), kSleeperArgument, err.c_str()))
    return;
  checks.expect(waitFor(10000, [&] { return !modulesOf(child.pid()).empty(); }),
                "%s: the child %lu is running with its modules readable", kLabel, child.pid());

  const std::map<DWORD, ProcessFacts> before = snapshotProcesses();
  Launched app;
  HWND main = startProgram(checks, opt, app, kLabel);
  if (!main) return;

  auto tabs = childrenOfClass(main, WC_TABCONTROLA);
  auto cur = tabs.size() == 1 ? send(tabs[0], TCM_GETCURSEL, 0, 0) : std::nullopt;
  checks.expect(cur && *cur == 1, "%s: opens on the Processes page (selected: %ld)", kLabel, cur ? static_cast<long>(*cur) : -1L);

  Page page;
  page.pid = app.pid();
  waitFor(10000, [&] { return (page.list = processList(main)) != nullptr; });
  if (!checks.expect(page.list != nullptr, "%s: the process list is shown", kLabel)) return;
  page.header = listHeader(page.list);
  const bool filled = waitFor(10000, [&] { return page.read() && page.rows.size() >= 2; });
  checks.expect(filled, "%s: the process list has rows (%u)", kLabel, static_cast<unsigned>(page.rows.size()));
  const std::map<DWORD, ProcessFacts> after = snapshotProcesses();

  HWND endButton = findButton(main, kEndProcessCaption);
  checks.expect(endButton && !IsWindowEnabled(endButton) && selectedRow(page.list) < 0,
                "%s: \"%s\" is there and disabled while no row is selected", kLabel, kEndProcessCaption);

  checkRows(checks, page, before, after, app.pid());
  checkSorting(checks, page);
  checkColumnChooser(checks, opt, main, page, after, shown);
  checkProcessInformation(checks, opt, page, child.pid(), childExe);
  checkEndProcess(checks, opt, main, page, child);

  PostMessageA(main, WM_CLOSE, 0, 0);
  if (checkEnds(checks, app, "processes: WM_CLOSE to the main window")) checkStored(checks, shown);
}

}  // namespace e2e
