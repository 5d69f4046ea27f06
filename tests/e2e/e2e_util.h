// Helpers of the end-to-end driver: a check tally, bounded waits, window lookup across
// processes, buffers inside another process for common-control messages that carry
// pointers, and a GDI screen capture written as a BMP file.
//
// The driver is a separate process from taskwell.exe, so every message it sends goes
// through SendMessageTimeoutA (a hung target costs at most kSendTimeoutMs, never a hang),
// and every wait polls with a deadline.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

constexpr UINT kSendTimeoutMs = 5000;
constexpr DWORD kPollMs = 200;

// The compiler checks the arguments of the printf-style calls below against their formats.
#define E2E_PRINTF(format_index) __attribute__((format(gnu_printf, format_index, format_index + 1)))

// Counts PASS and FAIL lines; each line is flushed at once so a caller that pipes the
// output (ctest, the run script) sees progress even when the driver is killed.
class Checks {
 public:
  E2E_PRINTF(2) void pass(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    line("PASS", fmt, ap);
    va_end(ap);
    ++passed_;
  }
  E2E_PRINTF(2) void fail(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    line("FAIL", fmt, ap);
    va_end(ap);
    ++failed_;
  }
  // Records one check from a condition; returns the condition so callers can stop early.
  E2E_PRINTF(3) bool expect(bool ok, const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    line(ok ? "PASS" : "FAIL", fmt, ap);
    va_end(ap);
    ++(ok ? passed_ : failed_);
    return ok;
  }
  E2E_PRINTF(1) static void info(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    line("INFO", fmt, ap);
    va_end(ap);
  }
  int passed() const { return passed_; }
  int failed() const { return failed_; }

 private:
  static void line(const char* tag, const char* fmt, va_list ap) {
    std::printf("%s: ", tag);
    std::vprintf(fmt, ap);
    std::printf("\n");
    std::fflush(stdout);
  }
  int passed_ = 0;
  int failed_ = 0;
};

// Polls `probe` until it returns true or `timeoutMs` has passed. Returns whether it succeeded.
// `stop`, when given, ends the wait early (for example when the watched process has exited).
inline bool waitFor(DWORD timeoutMs, const std::function<bool()>& probe,
                    const std::function<bool()>& stop = nullptr) {
  const DWORD start = GetTickCount();
  for (;;) {
    if (probe()) return true;
    if (stop && stop()) return probe();
    if (GetTickCount() - start >= timeoutMs) return false;
    Sleep(kPollMs);
  }
}

// Registers a window class of this program (the system's application icon and arrow cursor, the
// system colour `background` behind it); true when the class is there, registered now or before.
inline bool registerWindowClass(const char* name, WNDPROC proc, int background = COLOR_WINDOW) {
  WNDCLASSA wc{};
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hIcon = LoadIconA(nullptr, MAKEINTRESOURCEA(32512));      // IDI_APPLICATION
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
  wc.lpszClassName = name;
  return RegisterClassA(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

inline std::string className(HWND w) {
  char buf[256] = {};
  int n = GetClassNameA(w, buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// The caption as the window manager stores it; does not send a message to the owner.
inline std::string caption(HWND w) {
  char buf[512] = {};
  int n = GetWindowTextA(w, buf, sizeof buf);
  return n > 0 ? std::string(buf, static_cast<size_t>(n)) : std::string();
}

// The text as the window's own procedure answers WM_GETTEXT (marshalled across processes).
inline std::optional<std::string> windowText(HWND w) {
  char buf[1024] = {};
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(w, WM_GETTEXT, sizeof buf, reinterpret_cast<LPARAM>(buf),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
    return std::nullopt;
  buf[sizeof buf - 1] = '\0';
  return std::string(buf);
}

inline DWORD windowPid(HWND w) {
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  return pid;
}

inline bool sameClass(const std::string& a, const char* b) {
  return lstrcmpiA(a.c_str(), b) == 0;
}

struct PidWindows {
  DWORD pid;
  std::vector<HWND> out;
};

inline BOOL CALLBACK collectPidWindow(HWND w, LPARAM p) {
  auto* c = reinterpret_cast<PidWindows*>(p);
  if (windowPid(w) == c->pid) c->out.push_back(w);
  return TRUE;
}

// All top-level windows that belong to process `pid`.
inline std::vector<HWND> topLevelWindowsOf(DWORD pid) {
  PidWindows ctx{pid, {}};
  EnumWindows(collectPidWindow, reinterpret_cast<LPARAM>(&ctx));
  return ctx.out;
}

// A top-level window of `pid` with this exact caption (and class, when given).
inline HWND findTopLevel(DWORD pid, const char* wantCaption, const char* wantClass = nullptr) {
  for (HWND w : topLevelWindowsOf(pid)) {
    if (caption(w) != wantCaption) continue;
    if (wantClass && !sameClass(className(w), wantClass)) continue;
    return w;
  }
  return nullptr;
}

struct ClassWindows {
  const char* cls;
  std::vector<HWND> out;
};

inline BOOL CALLBACK collectClassWindow(HWND w, LPARAM p) {
  auto* c = reinterpret_cast<ClassWindows*>(p);
  if (sameClass(className(w), c->cls)) c->out.push_back(w);
  return TRUE;
}

// All descendants of `parent` whose class is `cls`.
inline std::vector<HWND> childrenOfClass(HWND parent, const char* cls) {
  ClassWindows ctx{cls, {}};
  EnumChildWindows(parent, collectClassWindow, reinterpret_cast<LPARAM>(&ctx));
  return ctx.out;
}

inline std::optional<LRESULT> send(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutA(w, msg, wp, lp, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
    return std::nullopt;
  return static_cast<LRESULT>(result);
}

// A block of memory inside another process, for messages whose lParam points at a
// structure or a text buffer that the target's window procedure fills in.
class RemoteBuffer {
 public:
  RemoteBuffer(DWORD pid, size_t size) : size_(size) {
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE |
                               PROCESS_QUERY_INFORMATION,
                           FALSE, pid);
    if (process_)
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE,
                                PAGE_READWRITE);
  }
  ~RemoteBuffer() {
    if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool ok() const { return address_ != nullptr; }
  size_t size() const { return size_; }
  // The address as the target process sees it, `offset` bytes into the block.
  LPARAM at(size_t offset = 0) const {
    return reinterpret_cast<LPARAM>(static_cast<char*>(address_) + offset);
  }
  bool write(size_t offset, const void* data, size_t n) {
    if (!ok() || offset + n > size_) return false;
    SIZE_T done = 0;
    return WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, n, &done) &&
           done == n;
  }
  bool read(size_t offset, void* data, size_t n) const {
    if (!ok() || offset + n > size_) return false;
    SIZE_T done = 0;
    return ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, n, &done) &&
           done == n;
  }
  bool zero() {
    std::vector<char> z(size_, 0);
    return write(0, z.data(), z.size());
  }
  // A NUL-terminated string starting at `offset`, cut at the end of the block.
  std::optional<std::string> readString(size_t offset) const {
    if (offset >= size_) return std::nullopt;
    std::vector<char> buf(size_ - offset + 1, 0);
    if (!read(offset, buf.data(), size_ - offset)) return std::nullopt;
    return std::string(buf.data());
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

// Processes visible to a toolhelp snapshot right now; -1 when the snapshot fails.
inline int countProcesses() {
  HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return -1;
  PROCESSENTRY32 pe{};
  pe.dwSize = sizeof pe;
  int n = 0;
  for (BOOL more = Process32First(snap, &pe); more; more = Process32Next(snap, &pe)) ++n;
  CloseHandle(snap);
  return n;
}

// ---- Items of another process's tab and header controls ---------------------------------

// The text of item `index` of a control of another process that answers `msg` with an item record
// (TCITEMA, HDITEMA): the record and the text buffer live in that process.
template <class Item>
inline std::optional<std::string> remoteItemText(DWORD pid, HWND control, UINT msg, UINT mask, int index) {
  constexpr size_t kText = 260;
  e2e::RemoteBuffer buf(pid, sizeof(Item) + kText);
  if (!buf.ok() || !buf.zero()) return std::nullopt;
  Item item{};
  item.mask = mask;
  item.pszText = reinterpret_cast<LPSTR>(buf.at(sizeof(Item)));
  item.cchTextMax = static_cast<int>(kText);
  if (!buf.write(0, &item, sizeof item)) return std::nullopt;
  auto ok = e2e::send(control, msg, static_cast<WPARAM>(index), buf.at());
  if (!ok || !*ok) return std::nullopt;
  return buf.readString(sizeof(Item));
}

inline std::optional<std::string> tabText(DWORD pid, HWND tab, int index) {
  return remoteItemText<TCITEMA>(pid, tab, TCM_GETITEMA, TCIF_TEXT, index);
}

inline std::optional<RECT> tabRect(DWORD pid, HWND tab, int index) {
  e2e::RemoteBuffer buf(pid, sizeof(RECT));
  if (!buf.ok() || !buf.zero()) return std::nullopt;
  auto ok = e2e::send(tab, TCM_GETITEMRECT, static_cast<WPARAM>(index), buf.at());
  RECT rc{};
  if (!ok || !*ok || !buf.read(0, &rc, sizeof rc)) return std::nullopt;
  return rc;
}

// Clicks tab `index` the way a user would and waits until the control reports it selected.
inline bool clickTab(DWORD pid, HWND tab, int index) {
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

inline std::optional<std::string> headerText(DWORD pid, HWND header, int index) {
  return remoteItemText<HDITEMA>(pid, header, HDM_GETITEMA, HDI_TEXT, index);
}

// ---- List views and headers of another process ---------------------------------------------

// A rectangle that a control of another process fills in (LVM_GETITEMRECT, HDM_GETITEMRECT);
// `left` goes in as the message expects (LVIR_BOUNDS and friends).
inline std::optional<RECT> remoteRect(DWORD pid, HWND control, UINT msg, WPARAM index, LONG left = 0) {
  e2e::RemoteBuffer buf(pid, sizeof(RECT));
  RECT rc{};
  rc.left = left;
  if (!buf.ok() || !buf.write(0, &rc, sizeof rc)) return std::nullopt;
  auto ok = e2e::send(control, msg, index, buf.at());
  if (!ok || !*ok || !buf.read(0, &rc, sizeof rc)) return std::nullopt;
  return rc;
}

// The texts of every header item, in display order of their indices.
inline std::vector<std::string> headerTexts(DWORD pid, HWND header) {
  std::vector<std::string> out;
  auto count = e2e::send(header, HDM_GETITEMCOUNT, 0, 0);
  for (int i = 0; count && i < *count && i < 64; ++i) {
    auto text = headerText(pid, header, i);
    out.push_back(text ? *text : std::string("<unreadable>"));
  }
  return out;
}

// The list view's header control.
inline HWND listHeader(HWND list) {
  auto h = e2e::send(list, LVM_GETHEADER, 0, 0);
  return h ? reinterpret_cast<HWND>(*h) : nullptr;
}

using ListRows = std::vector<std::vector<std::string>>;

// Every row of a list view of another process: `columns` texts each (the caption, then the
// sub-items). Null when the control cannot be read.
inline std::optional<ListRows> listRows(DWORD pid, HWND list, int columns) {
  constexpr size_t kText = 520;
  auto count = e2e::send(list, LVM_GETITEMCOUNT, 0, 0);
  if (!count || *count < 0) return std::nullopt;
  e2e::RemoteBuffer buf(pid, sizeof(LVITEMA) + kText);
  if (!buf.ok()) return std::nullopt;
  ListRows rows;
  for (LRESULT row = 0; row < *count && row < 4096; ++row) {
    std::vector<std::string> cells;
    for (int column = 0; column < columns; ++column) {
      LVITEMA item{};
      item.iSubItem = column;
      item.pszText = reinterpret_cast<LPSTR>(buf.at(sizeof(LVITEMA)));
      item.cchTextMax = static_cast<int>(kText);
      const char nothing = '\0';
      if (!buf.write(0, &item, sizeof item) || !buf.write(sizeof(LVITEMA), &nothing, 1)) return std::nullopt;
      if (!e2e::send(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), buf.at())) return std::nullopt;
      auto text = buf.readString(sizeof(LVITEMA));
      if (!text) return std::nullopt;
      cells.push_back(*text);
    }
    rows.push_back(std::move(cells));
  }
  return rows;
}

// Selects and focuses one row (or, with `selected` false, clears its selection) as the program
// would: the list view tells its owner that the item changed.
inline bool setRowSelected(DWORD pid, HWND list, int row, bool selected = true) {
  e2e::RemoteBuffer buf(pid, sizeof(LVITEMA));
  LVITEMA item{};
  item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  item.state = selected ? (LVIS_SELECTED | LVIS_FOCUSED) : 0;
  if (!buf.ok() || !buf.write(0, &item, sizeof item)) return false;
  auto ok = e2e::send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), buf.at());
  return ok && *ok;
}

// The index of the first selected row, or -1.
inline int selectedRow(HWND list) {
  auto row = e2e::send(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
  return row ? static_cast<int>(*row) : -1;
}

// A click on header item `index` at its centre (posted, as the mouse would).
inline bool clickHeaderItem(DWORD pid, HWND header, int index) {
  auto rc = remoteRect(pid, header, HDM_GETITEMRECT, static_cast<WPARAM>(index));
  if (!rc) return false;
  const LPARAM at = MAKELPARAM((rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2);
  PostMessageA(header, WM_MOUSEMOVE, 0, at);
  PostMessageA(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(header, WM_LBUTTONUP, 0, at);
  return true;
}

// A double click on a row's caption (posted, as the mouse would); the row is scrolled into view first.
inline bool doubleClickRow(DWORD pid, HWND list, int row) {
  e2e::send(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
  auto rc = remoteRect(pid, list, LVM_GETITEMRECT, static_cast<WPARAM>(row), LVIR_LABEL);
  if (!rc) return false;
  const LPARAM at = MAKELPARAM((rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2);
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
  PostMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  PostMessageA(list, WM_LBUTTONUP, 0, at);
  return true;
}

struct ScreenshotResult {
  bool written = false;
  int width = 0;
  int height = 0;
  int distinctColours = 0;  // among a sample grid; 1 means a flat, empty picture
  std::string error;
};

// Copies the screen area under `w` (clipped to the screen) into a 24-bit BMP file.
inline ScreenshotResult screenshotWindow(HWND w, const std::string& path) {
  ScreenshotResult r;
  RECT rc{};
  if (!GetWindowRect(w, &rc)) {
    r.error = "GetWindowRect failed";
    return r;
  }
  const int sx = GetSystemMetrics(SM_CXSCREEN), sy = GetSystemMetrics(SM_CYSCREEN);
  if (rc.left < 0) rc.left = 0;
  if (rc.top < 0) rc.top = 0;
  if (rc.right > sx) rc.right = sx;
  if (rc.bottom > sy) rc.bottom = sy;
  r.width = rc.right - rc.left;
  r.height = rc.bottom - rc.top;
  if (r.width <= 0 || r.height <= 0) {
    r.error = "window lies outside the screen";
    return r;
  }

  HDC screen = GetDC(nullptr);
  if (!screen) {
    r.error = "GetDC(NULL) failed";
    return r;
  }
  HDC mem = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, r.width, r.height);
  bool copied = false;
  std::vector<unsigned char> bits;
  BITMAPINFOHEADER bih{};
  bih.biSize = sizeof bih;
  bih.biWidth = r.width;
  bih.biHeight = r.height;  // positive: rows bottom-up, as BMP files store them
  bih.biPlanes = 1;
  bih.biBitCount = 24;
  bih.biCompression = BI_RGB;
  const int stride = ((r.width * 3) + 3) & ~3;
  if (mem && bmp) {
    HGDIOBJ old = SelectObject(mem, bmp);
    copied = BitBlt(mem, 0, 0, r.width, r.height, screen, rc.left, rc.top, SRCCOPY | CAPTUREBLT);
    SelectObject(mem, old);
    if (copied) {
      bits.resize(static_cast<size_t>(stride) * static_cast<size_t>(r.height));
      copied = GetDIBits(mem, bmp, 0, static_cast<UINT>(r.height), bits.data(),
                         reinterpret_cast<BITMAPINFO*>(&bih), DIB_RGB_COLORS) == r.height;
    }
  }
  if (bmp) DeleteObject(bmp);
  if (mem) DeleteDC(mem);
  ReleaseDC(nullptr, screen);
  if (!copied) {
    r.error = "BitBlt/GetDIBits from the screen failed";
    return r;
  }

  std::vector<DWORD> seen;
  for (int y = 0; y < r.height; y += 4) {
    for (int x = 0; x < r.width; x += 4) {
      const unsigned char* p = &bits[static_cast<size_t>(y) * stride + static_cast<size_t>(x) * 3];
      DWORD c = p[0] | (p[1] << 8) | (p[2] << 16);
      bool known = false;
      for (DWORD s : seen)
        if (s == c) {
          known = true;
          break;
        }
      if (!known) seen.push_back(c);
      if (seen.size() >= 64) break;
    }
    if (seen.size() >= 64) break;
  }
  r.distinctColours = static_cast<int>(seen.size());

  BITMAPFILEHEADER bfh{};
  bfh.bfType = 0x4D42;  // "BM"
  bfh.bfOffBits = sizeof bfh + sizeof bih;
  bfh.bfSize = static_cast<DWORD>(bfh.bfOffBits + bits.size());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    r.error = "cannot create " + path;
    return r;
  }
  bool ok = std::fwrite(&bfh, sizeof bfh, 1, f) == 1 && std::fwrite(&bih, sizeof bih, 1, f) == 1 &&
            std::fwrite(bits.data(), 1, bits.size(), f) == bits.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    r.error = "write to " + path + " failed";
    return r;
  }
  r.written = true;
  return r;
}

}  // namespace e2e
