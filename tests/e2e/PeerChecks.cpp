// peer_checks.exe: checks the Win32 platform and the native peers from inside a running program.
//
// It takes the place of the program's entry (it defines TaskwellMain and links with WinMain.cpp,
// the other Win32 sources, the widget layer and the resources), builds a form with every kind of
// widget, and then, step by step from a timer so that the message loop runs between steps,
// changes widgets and compares the real windows with them, plays the user (tab clicks, row
// selection, column drags, menu commands, minimise and restore, resize, close) and checks that
// the widgets hear about it. It also checks the system services against the running system.
//
// One PASS/FAIL line per check on standard output, then "N passed, M failed"; the exit code is
// the number of failures. Built in the Win32 build and run by run_e2e.sh --self under Wine reporting Windows 98.
// Screenshots of the new controls (BMP) go to the directory named by the first argument or by
// TASKWELL_PEER_ARTIFACTS (a Windows path); without either none are taken.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "app/Program.h"
#include "components/RegistryKey.h"
#include "components/TPerfStats.h"
#include "components/TUpStatsThread.h"
#include "ui/Exception.h"
#include "ui/StdCtrls.h"
#include "ui/TApplication.h"
#include "ui/TComboBox.h"
#include "ui/TForm.h"
#include "ui/TImageList.h"
#include "ui/TListView.h"
#include "ui/TMenu.h"
#include "ui/TOpenDialog.h"
#include "ui/TPageControl.h"
#include "ui/TSaveDialog.h"
#include "ui/TStatusBar.h"
#include "ui/TTimer.h"
#include "ui/TxyGraph.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32ControlPeer.h"
#include "platform/win32/Win32ImageListPeer.h"
#include "platform/win32/Win32MenuPeer.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32SystemFunction.h"
#include "platform/win32/Win32UiBackend.h"

namespace taskwell {

namespace {

int passed = 0;
int failed = 0;

bool Check(bool ok, const std::string& what) {
    std::printf("%s: %s\n", ok ? "PASS" : "FAIL", what.c_str());
    std::fflush(stdout);
    ++(ok ? passed : failed);
    return ok;
}

template <class A, class B>
bool Equal(const A& actual, const B& expected, const std::string& what) {
    bool ok = actual == expected;
    if (!ok) {
        std::string a, e;
        if constexpr (std::is_convertible_v<A, std::string>) {
            a = actual;
            e = expected;
        } else {
            a = std::to_string(actual);
            e = std::to_string(expected);
        }
        return Check(false, what + " (got " + a + ", expected " + e + ")");
    }
    return Check(true, what);
}

::HWND WindowOf(const TControl& c) {
    auto* peer = dynamic_cast<win32::Win32ControlPeer*>(c.Peer());
    return peer ? peer->Handle() : nullptr;
}

std::string WindowText(::HWND h) {
    char buf[512] = {};
    ::GetWindowTextA(h, buf, sizeof buf);
    return buf;
}

std::string ClassOf(::HWND h) {
    char buf[128] = {};
    ::GetClassNameA(h, buf, sizeof buf);
    return buf;
}

std::string ListText(::HWND lv, int row, int column) {
    char buf[512] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buf;
    item.cchTextMax = sizeof buf;
    ::SendMessageA(lv, LVM_GETITEMTEXTA, static_cast<::WPARAM>(row), reinterpret_cast<::LPARAM>(&item));
    return buf;
}

int ListImage(::HWND lv, int row) {
    LVITEMA item{};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    ::SendMessageA(lv, LVM_GETITEMA, 0, reinterpret_cast<::LPARAM>(&item));
    return item.iImage;
}

int ListCount(::HWND lv) { return static_cast<int>(::SendMessageA(lv, LVM_GETITEMCOUNT, 0, 0)); }

int ListSelected(::HWND lv) {
    return static_cast<int>(::SendMessageA(lv, LVM_GETNEXTITEM, static_cast<::WPARAM>(-1), LVNI_SELECTED));
}

// A window's text as the system keeps it, read without asking the window.
std::string StoredText(::HWND w) {
    WCHAR wide[256] = {};
    const int n = ::InternalGetWindowText(w, wide, 255);
    char narrow[512] = {};
    if (n > 0) ::WideCharToMultiByte(CP_ACP, 0, wide, n, narrow, sizeof narrow - 1, nullptr, nullptr);
    return narrow;
}

// The font a window of a system class holds itself, asked of its class's procedure past the peer.
::HFONT StoredFont(::HWND w) {
    auto proc = reinterpret_cast<WNDPROC>(::GetClassLongPtrA(w, GCLP_WNDPROC));
    return reinterpret_cast<::HFONT>(::CallWindowProcA(proc, w, WM_GETFONT, 0, 0));
}

std::string StatusText(::HWND sb, int part) {
    char buf[512] = {};
    ::SendMessageA(sb, SB_GETTEXTA, static_cast<::WPARAM>(part), reinterpret_cast<::LPARAM>(buf));
    return buf;
}

std::string TabText(::HWND tabs, int index, int* image = nullptr) {
    char buf[256] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE;
    item.pszText = buf;
    item.cchTextMax = sizeof buf;
    ::SendMessageA(tabs, TCM_GETITEMA, static_cast<::WPARAM>(index), reinterpret_cast<::LPARAM>(&item));
    if (image) *image = item.iImage;
    return buf;
}

// Menu item by position: its state, type and text.
struct MenuFacts {
    UINT id = 0;
    UINT state = 0;
    UINT type = 0;
    std::string text;
};

MenuFacts MenuAt(::HMENU menu, int position) {
    MenuFacts f;
    char buf[256] = {};
    MENUITEMINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_TYPE;
    info.dwTypeData = buf;
    info.cch = sizeof buf;
    if (::GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &info)) {
        f.id = info.wID;
        f.state = info.fState;
        f.type = info.fType;
        f.text = buf;
    }
    return f;
}

int IconWidth(::HICON icon) {
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) return 0;
    BITMAP bm{};
    ::GetObjectA(info.hbmMask, sizeof bm, &bm);
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    return bm.bmWidth;
}

// Answers the next message box with the given caption from another thread, as a user would.
struct BoxAnswer {
    std::string caption;
    int button;
    bool seen = false;
};

::DWORD WINAPI AnswerBox(void* param) {
    auto* answer = static_cast<BoxAnswer*>(param);
    for (int i = 0; i < 100; ++i) {
        if (::HWND box = ::FindWindowA("#32770", answer->caption.c_str())) {
            answer->seen = true;
            ::PostMessageA(box, WM_COMMAND, MAKEWPARAM(answer->button, BN_CLICKED), 0);
            return 0;
        }
        ::Sleep(50);
    }
    return 1;
}

void AnswerNextBox(BoxAnswer& answer) {
    answer.seen = false;
    if (::HANDLE t = ::CreateThread(nullptr, 0, &AnswerBox, &answer, 0, nullptr)) ::CloseHandle(t);
}

void CheckSystemServices(const Platform& platform) {
    // Version record: Wine is told to report Windows 98.
    OSVERSIONINFOA v{};
    v.dwOSVersionInfoSize = sizeof v;
    Check(platform.System.GetVersionExA(v), "GetVersionExA succeeds");
    Equal(v.dwPlatformId, 1u, "the platform is the Windows 95/98 family");
    Equal(v.dwMajorVersion, 4u, "major version 4");
    Equal(v.dwMinorVersion, 10u, "minor version 10 (Windows 98)");
    OSVERSIONINFOA bad{};
    bad.dwOSVersionInfoSize = 12;
    Check(!platform.System.GetVersionExA(bad), "GetVersionExA refuses a record of the wrong size");

    MEMORYSTATUS m{};
    m.dwLength = sizeof m;
    platform.System.GlobalMemoryStatus(m);
    Equal(m.dwLength, 32u, "memory status length");
    Check(m.dwTotalPhys > 0 && m.dwAvailPhys <= m.dwTotalPhys, "physical memory: available within total");
    Check(m.dwMemoryLoad <= 100, "memory load is a percentage");
    // Large-address aware, the program has 4 GB of address space (2 GB without the mark).
    Check(m.dwTotalVirtual > 0x80000000u, "the address space passes 2 GB (" + std::to_string(m.dwTotalVirtual) + ")");
    // The extended status, looked up at run time, answers under Wine: 64-bit figures that agree with
    // each other and with the 32-bit record where that can carry them.
    MEMORYSTATUSEX mx{};
    mx.dwLength = sizeof mx;
    const bool extended = platform.System.GlobalMemoryStatusEx(mx);
    Check(extended, "GlobalMemoryStatusEx answers");
    Check(mx.ullTotalPhys >= m.dwTotalPhys && mx.ullAvailPhys <= mx.ullTotalPhys &&
              mx.ullAvailPageFile <= mx.ullTotalPageFile &&
              std::min<ULONGLONG>(mx.ullTotalVirtual, 0xFFFFFFFFu) == m.dwTotalVirtual,
          "its figures: physical " + std::to_string(mx.ullTotalPhys) + ", page file " +
              std::to_string(mx.ullTotalPageFile) + ", address space " + std::to_string(mx.ullTotalVirtual));
    MEMORYSTATUSEX wrong{};
    wrong.dwLength = 32;
    Check(!platform.System.GlobalMemoryStatusEx(wrong), "GlobalMemoryStatusEx refuses a record of the wrong size");

    SYSTEM_INFO si{};
    platform.System.GetSystemInfo(si);
    Equal(si.dwPageSize, 4096u, "page size");
    Check(si.dwNumberOfProcessors >= 1, "at least one processor");
    Check(si.lpMaximumApplicationAddress > si.lpMinimumApplicationAddress, "application address range");

    DWORD t0 = platform.System.GetTickCount();
    ::Sleep(120);
    DWORD t1 = platform.System.GetTickCount();
    Check(t1 - t0 >= 60 && t1 - t0 < 2000, "tick count advances with time (" + std::to_string(t1 - t0) + " ms)");

    std::string exe = platform.System.GetModuleFileNameA();
    Check(exe.size() > 4 && (exe.substr(exe.size() - 4) == ".exe" || exe.substr(exe.size() - 4) == ".EXE"),
          "module file name is the executable (" + exe + ")");

    DWORD handle = 0;
    DWORD size = platform.System.GetFileVersionInfoSizeA(exe, handle);
    Check(size > 0, "own executable has version information");
    std::vector<char> block(size + 16);
    Check(platform.System.GetFileVersionInfoA(exe, handle, size, block.data()), "version information is read");
    const char* text = nullptr;
    UINT len = 0;
    bool found = platform.System.VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\FileVersion", text, len);
    Check(found && text && std::string(text) == "1.1.0.25", "FileVersion string is 1.1.0.25");
    found = platform.System.VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\CompanyName", text, len);
    Check(found && text && std::string(text) == "Orvex Software", "CompanyName string");
    found = platform.System.VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\ProductName", text, len);
    Check(found && text && std::string(text) == "Orvex Taskwell 98", "ProductName string");
    Check(!platform.System.VerQueryValueA(block.data(), "\\StringFileInfo\\040904E4\\NoSuchValue", text, len) &&
              text == nullptr,
          "an absent value is not found");
    Check(!platform.System.VerQueryValueA(nullptr, "\\", text, len), "no block, no value");
    Equal(platform.System.GetFileVersionInfoSizeA("C:\\no\\such\\file.exe", handle), 0u,
          "no version information for a missing file");

    // Toolhelp.
    HANDLE snap = platform.Toolhelp.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    Check(snap != 0, "process snapshot taken");
    PROCESSENTRY32 e{};
    e.dwSize = sizeof e;
    int count = 0;
    bool self = false;
    for (bool ok = platform.Toolhelp.Process32First(snap, e); ok; ok = platform.Toolhelp.Process32Next(snap, e)) {
        ++count;
        if (e.th32ProcessID == ::GetCurrentProcessId()) {
            self = true;
            Check(e.cntThreads >= 1, "own process has threads");
            Check(std::strlen(e.szExeFile) > 0, std::string("own process has a file name (") + e.szExeFile + ")");
        }
        if (count > 10000) break;
    }
    Check(count >= 2, "snapshot lists processes (" + std::to_string(count) + ")");
    Check(self, "snapshot contains this process");
    Check(platform.Toolhelp.CloseHandle(snap), "snapshot closed");
    Check(!platform.Toolhelp.CloseHandle(0), "closing no handle is refused, harmlessly");
    PROCESSENTRY32 none{};
    none.dwSize = sizeof none;
    Check(!platform.Toolhelp.Process32First(0, none), "walking no snapshot fails");
    snap = platform.Toolhelp.CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 small{};
    small.dwSize = 20;
    Check(!platform.Toolhelp.Process32First(snap, small), "a record of the wrong size is refused");
    platform.Toolhelp.CloseHandle(snap);

    Check(platform.Processes.GetProcessVersion(::GetCurrentProcessId()) != 0, "own process version");

    // Shell.
    HICON page = platform.Shell.LoadIconA("PAGE_APPS");
    Check(platform.Shell.IsUsableIcon(page), "page image loads");
    Equal(IconWidth(win32::ToHicon(page)), 16, "page image keeps its 16-pixel size");
    HICON main = platform.Shell.LoadIconA("MAINICON");
    Check(platform.Shell.IsUsableIcon(main), "application icon loads");
    Equal(IconWidth(win32::ToHicon(main)), ::GetSystemMetrics(SM_CXICON), "application icon at the standard size");
    Equal(platform.Shell.LoadIconA("NO_SUCH_ICON"), 0u, "a missing icon resource gives no icon");
    Check(platform.Shell.DestroyIcon(page), "icon destroyed");
    Check(!platform.Shell.IsUsableIcon(0) && !platform.Shell.IsUsableIcon(1), "0 and 1 are not icons");
    Check(!platform.Shell.DestroyIcon(0) && !platform.Shell.DestroyIcon(1), "0 and 1 are not destroyed");
    Check(platform.Shell.GetModuleHandleA() != 0, "module handle");

    char sysdir[MAX_PATH] = {};
    ::GetSystemDirectoryA(sysdir, sizeof sysdir);
    std::string notepad = std::string(sysdir) + "\\notepad.exe";
    SHFILEINFOA sfi{};
    DWORD type = platform.Shell.SHGetFileInfoA(notepad, 0, sfi, SHGFI_EXETYPE);
    Equal(type & 0xFFFF, 0x4550u, "notepad is a PE executable");
    HICON extracted = platform.Shell.ExtractIconA(platform.Shell.GetModuleHandleA(), notepad, 0);
    Check(platform.Shell.IsUsableIcon(extracted), "notepad's icon extracted");
    platform.Shell.DestroyIcon(extracted);
    HICON fromText = platform.Shell.ExtractIconA(platform.Shell.GetModuleHandleA(), "C:\\no\\such.txt", 0);
    Check(!platform.Shell.IsUsableIcon(fromText), "no icon from a missing file");

    // File positions are 64-bit: a position past 4 GB (the write position may lie beyond the end
    // without the file growing) and one whose low half is all ones are no failures.
    char temp[MAX_PATH] = {};
    ::GetTempPathA(sizeof temp, temp);
    const std::string path = std::string(temp) + "taskwell-peer-positions.log";
    ::DeleteFileA(path.c_str());
    HANDLE file = platform.Files.CreateFileA(path, GENERIC_WRITE, CREATE_NEW);
    DWORD written = 0;
    Check(file != 0 && platform.Files.WriteFile(file, "12345", written), "a small file is written");
    for (LONGLONG at : {5LL << 30, 0x1FFFFFFFFLL, 3LL})
        Check(platform.Files.SetFilePointer(file, at, FILE_BEGIN) == at,
              "the write position moves to " + std::to_string(at));
    Check(platform.Files.SetFilePointer(file, 0, FILE_END) == 5, "the end of the file is still its 5 bytes");
    Check(platform.Files.SetFilePointer(file, -6, FILE_END) < 0, "a position before the start is refused");
    platform.Files.CloseHandle(file);
    ::DeleteFileA(path.c_str());
}


// --- Helpers of the checks of list view events, popup menus, the simple controls and forms ---

::HFONT FontHandle(::HWND h) { return reinterpret_cast<::HFONT>(::SendMessageA(h, WM_GETFONT, 0, 0)); }

LOGFONTA FontOfWindow(::HWND h) {
    LOGFONTA lf{};
    auto font = reinterpret_cast<::HFONT>(::SendMessageA(h, WM_GETFONT, 0, 0));
    if (font) ::GetObjectA(font, sizeof lf, &lf);
    return lf;
}

int PointHeight(int points) {
    ::HDC dc = ::GetDC(nullptr);
    int height = -::MulDiv(points, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, dc);
    return height;
}

bool HasStyle(::HWND h, DWORD bits) { return (static_cast<DWORD>(::GetWindowLongA(h, GWL_STYLE)) & bits) == bits; }
bool HasExStyle(::HWND h, DWORD bits) {
    return (static_cast<DWORD>(::GetWindowLongA(h, GWL_EXSTYLE)) & bits) == bits;
}

::SIZE ClientSize(::HWND h) {
    RECT r{};
    ::GetClientRect(h, &r);
    return ::SIZE{r.right - r.left, r.bottom - r.top};
}

std::string SizeText(::SIZE s) { return std::to_string(s.cx) + "x" + std::to_string(s.cy); }

// The colour a window shows at a point of its client area, after it painted what was pending.
COLORREF PixelAt(::HWND h, int x, int y) {
    ::UpdateWindow(h);
    ::HDC dc = ::GetDC(h);
    COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(h, dc);
    return c;
}

std::string Hex(COLORREF c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06lX", static_cast<unsigned long>(c));
    return buf;
}

// A 16x16 icon of one opaque colour.
::HICON SolidIcon(COLORREF colour) {
    ::HDC screen = ::GetDC(nullptr);
    ::HBITMAP picture = ::CreateCompatibleBitmap(screen, 16, 16);
    ::HDC mem = ::CreateCompatibleDC(screen);
    ::HGDIOBJ old = ::SelectObject(mem, picture);
    RECT all{0, 0, 16, 16};
    ::HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(mem, &all, brush);
    ::DeleteObject(brush);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    const unsigned char opaque[32] = {};  // an all-zero mask: every pixel drawn
    ::HBITMAP mask = ::CreateBitmap(16, 16, 1, 1, opaque);
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask;
    info.hbmColor = picture;
    ::HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(mask);
    ::DeleteObject(picture);
    return icon;
}

// Where the screenshots go: the first argument, else TASKWELL_PEER_ARTIFACTS; none without either.
std::string ArtifactDir() {
    if (__argc > 1 && __argv[1] && __argv[1][0]) return __argv[1];
    char buf[MAX_PATH] = {};
    DWORD n = ::GetEnvironmentVariableA("TASKWELL_PEER_ARTIFACTS", buf, sizeof buf);
    return n > 0 && n < sizeof buf ? std::string(buf) : std::string();
}

// Copies the screen under the window into a 24-bit BMP file in the artifact directory.
void SaveShot(::HWND h, const std::string& name) {
    static const std::string dir = ArtifactDir();
    RECT r{};
    if (dir.empty() || !::GetWindowRect(h, &r)) return;
    int w = r.right - r.left, ht = r.bottom - r.top;
    if (w <= 0 || ht <= 0) return;
    ::HDC screen = ::GetDC(nullptr);
    ::HDC mem = ::CreateCompatibleDC(screen);
    ::HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, ht);
    ::HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, w, ht, screen, r.left, r.top, SRCCOPY);
    ::SelectObject(mem, old);
    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof bih;
    bih.biWidth = w;
    bih.biHeight = ht;
    bih.biPlanes = 1;
    bih.biBitCount = 24;
    bih.biCompression = BI_RGB;
    const int stride = (w * 3 + 3) & ~3;
    std::vector<unsigned char> bits(static_cast<size_t>(stride) * static_cast<size_t>(ht));
    bool ok = ::GetDIBits(mem, bmp, 0, static_cast<UINT>(ht), bits.data(), reinterpret_cast<BITMAPINFO*>(&bih),
                          DIB_RGB_COLORS) == ht;
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    if (!ok) return;
    BITMAPFILEHEADER bfh{};
    bfh.bfType = 0x4D42;
    bfh.bfOffBits = sizeof bfh + sizeof bih;
    bfh.bfSize = static_cast<DWORD>(bfh.bfOffBits + bits.size());
    std::string path = dir + "\\" + name + ".bmp";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(&bfh, sizeof bfh, 1, f);
        std::fwrite(&bih, sizeof bih, 1, f);
        std::fwrite(bits.data(), 1, bits.size(), f);
        std::fclose(f);
        std::printf("screenshot: %s\n", path.c_str());
    }
}

// The popup menu window on the screen, if one is open.
::BOOL CALLBACK FindMenuWindow(::HWND h, ::LPARAM found) {
    if (ClassOf(h) == "#32768" && ::IsWindowVisible(h)) {
        *reinterpret_cast<::HWND*>(found) = h;
        return FALSE;
    }
    return TRUE;
}

::HWND VisibleMenuWindow() {
    ::HWND found = nullptr;
    ::EnumWindows(&FindMenuWindow, reinterpret_cast<::LPARAM>(&found));
    return found;
}

// Answers the next popup menu from another thread, as a user would: notes where it opened,
// photographs it, then presses the keys (Down and Enter choose the first item, Escape closes).
struct MenuAnswer {
    std::vector<WPARAM> keys;
    std::string shot;
    volatile bool seen = false;
    volatile bool done = false;
    RECT rect{};
};

::DWORD WINAPI AnswerMenu(void* param) {
    auto* answer = static_cast<MenuAnswer*>(param);
    for (int i = 0; i < 250 && !answer->seen; ++i) {
        if (::HWND menu = VisibleMenuWindow()) {
            ::Sleep(100);  // let it paint
            ::GetWindowRect(menu, &answer->rect);
            if (!answer->shot.empty()) SaveShot(menu, answer->shot);
            answer->seen = true;
            for (WPARAM key : answer->keys) ::PostMessageA(menu, WM_KEYDOWN, key, 0);
            break;
        }
        ::Sleep(20);
    }
    answer->done = true;
    return 0;
}

void AnswerNextMenu(MenuAnswer& answer, std::vector<WPARAM> keys, const std::string& shot = "") {
    answer.keys = std::move(keys);
    answer.shot = shot;
    answer.seen = false;
    answer.done = false;
    answer.rect = RECT{};
    if (::HANDLE t = ::CreateThread(nullptr, 0, &AnswerMenu, &answer, 0, nullptr)) ::CloseHandle(t);
}

// Reads a window's text with WM_GETTEXT from another thread (the message crosses threads as it
// crosses processes); the calling thread answers sent messages meanwhile, and nothing else.
struct TextRead {
    ::HWND window = nullptr;
    std::string text;
};

::DWORD WINAPI ReadText(void* param) {
    auto* read = static_cast<TextRead*>(param);
    char buf[256] = {};
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutA(read->window, WM_GETTEXT, sizeof buf, reinterpret_cast<::LPARAM>(buf), SMTO_NORMAL,
                              5000, &result))
        read->text = buf;
    return 0;
}

std::string TextFromOtherThread(::HWND h) {
    TextRead read{h, {}};
    ::HANDLE t = ::CreateThread(nullptr, 0, &ReadText, &read, 0, nullptr);
    if (!t) return "(no thread)";
    while (::MsgWaitForMultipleObjects(1, &t, FALSE, 10000, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG m;
        ::PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    ::CloseHandle(t);
    return read.text;
}

// Counts the row messages a list view control receives while it is watched.
struct RowMessages {
    int inserts = 0;
    int deletes = 0;
    int texts = 0;
    WNDPROC previous = nullptr;
};
RowMessages* watched = nullptr;

::LRESULT CALLBACK CountRowMessages(::HWND h, UINT msg, ::WPARAM w, ::LPARAM l) {
    switch (msg) {
    case LVM_INSERTITEMA:
    case LVM_INSERTITEMW:
        ++watched->inserts;
        break;
    case LVM_DELETEITEM:
    case LVM_DELETEALLITEMS:
        ++watched->deletes;
        break;
    case LVM_SETITEMA:
    case LVM_SETITEMW:
    case LVM_SETITEMTEXTA:
    case LVM_SETITEMTEXTW:
        ++watched->texts;
        break;
    default:
        break;
    }
    return ::CallWindowProcA(watched->previous, h, msg, w, l);
}

void WatchRows(::HWND lv, RowMessages& counts) {
    counts = RowMessages{};
    watched = &counts;
    counts.previous = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(lv, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountRowMessages)));
}

void UnwatchRows(::HWND lv, RowMessages& counts) {
    ::SetWindowLongPtrA(lv, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(counts.previous));
    watched = nullptr;
}

RECT RowRect(::HWND lv, int row, int part = LVIR_BOUNDS) {
    RECT r{};
    r.left = part;
    ::SendMessageA(lv, LVM_GETITEMRECT, static_cast<::WPARAM>(row), reinterpret_cast<::LPARAM>(&r));
    return r;
}

int TopRow(::HWND lv) { return static_cast<int>(::SendMessageA(lv, LVM_GETTOPINDEX, 0, 0)); }

::POINT ToScreen(::HWND h, int x, int y) {
    ::POINT p{x, y};
    ::ClientToScreen(h, &p);
    return p;
}

// A left click at a point of the window's client area, as posted mouse messages.
void PostClick(::HWND h, int x, int y, bool twice = false) {
    ::PostMessageA(h, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::PostMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    if (twice) {
        ::PostMessageA(h, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
        ::PostMessageA(h, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    }
}

// --- Helpers of the checks of the statistics, the line graph, gauge labels, polling threads and
// the save dialog ---

// The roots as the system's own handles, for looks at the real registry beside ours.
::HKEY SystemRoot(std::uint32_t root) { return reinterpret_cast<::HKEY>(static_cast<std::uintptr_t>(root)); }
const std::string kStatEnum = "\\System\\CurrentControlSet\\control\\PerfStats\\Enum\\";
const char* const kStatNames[] = {"KERNEL\\CPUUsage", "KERNEL\\Threads", "KERNEL\\VMs", "VMM\\cpgDiskcache",
                                  "VMM\\cpgCommit"};

// One live value as the statistics reader takes it: StatData opened with full access for the one
// reading, a value of at most 4 bytes, least significant first.
bool ReadStat(IRegistry& registry, const std::string& keyName, LONG& value) {
    RegistryKey data(registry, HKEY_DYN_DATA, "PerfStats\\StatData", KEY_ALL_ACCESS);
    BYTE bytes[4] = {};
    DWORD size = sizeof bytes;
    if (!data.ReadData(keyName, bytes, size) || size == 0) return false;
    DWORD v = 0;
    for (DWORD i = 0; i < size; ++i) v |= static_cast<DWORD>(bytes[i]) << (8 * i);
    value = static_cast<LONG>(v);
    return true;
}

// Reads the start or stop value of a statistic, as the reader starts and stops one.
bool TouchStat(IRegistry& registry, const char* key, const std::string& keyName) {
    RegistryKey k(registry, HKEY_DYN_DATA, key, KEY_ALL_ACCESS, true);
    BYTE bytes[4] = {};
    DWORD size = sizeof bytes;
    return k.ReadData(keyName, bytes, size);
}

// The threads a toolhelp snapshot lists: all of them, or those of one process.
int SnapshotThreads(DWORD process = 0) {
    ::HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (reinterpret_cast<std::intptr_t>(snap) == -1) return -1;
    ::THREADENTRY32 e{};
    e.dwSize = sizeof e;
    int n = 0;
    for (::BOOL ok = ::Thread32First(snap, &e); ok; ok = ::Thread32Next(snap, &e)) {
        if (process == 0 || e.th32OwnerProcessID == process) ++n;
        e.dwSize = sizeof e;
    }
    ::CloseHandle(snap);
    return n;
}

// The handles the process holds, where the system tells (not on Windows 95/98); -1 otherwise.
long HandleCount() {
    using Fn = ::BOOL(WINAPI*)(::HANDLE, ::DWORD*);
    static const auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetProcessHandleCount")));
    ::DWORD n = 0;
    // A count of none means the system does not count (Wine answers so).
    if (!fn || !fn(::GetCurrentProcess(), &n) || n == 0) return -1;
    return static_cast<long>(n);
}

// How many more graphics objects the process can make: makes regions until the system refuses,
// then deletes them all. Every system limits them (Wine to about 65000 a process).
int GraphicsRoom() {
    std::vector<::HRGN> made;
    made.reserve(70000);
    while (made.size() < 200000) {
        ::HRGN r = ::CreateRectRgn(0, 0, 1, 1);
        if (!r) break;
        made.push_back(r);
    }
    for (::HRGN r : made) ::DeleteObject(r);
    return static_cast<int>(made.size());
}

// Busy threads: each spins until told to stop.
struct Burner {
    volatile LONG stop = 0;
    std::vector<::HANDLE> threads;
};

::DWORD WINAPI Burn(void* param) {
    auto* burner = static_cast<Burner*>(param);
    volatile unsigned spins = 0;
    while (!burner->stop) spins = spins + 1;
    return 0;
}

void StartBurning(Burner& burner, int count) {
    burner.stop = 0;
    for (int i = 0; i < count; ++i)
        if (::HANDLE t = ::CreateThread(nullptr, 0, &Burn, &burner, 0, nullptr)) burner.threads.push_back(t);
}

void StopBurning(Burner& burner) {
    burner.stop = 1;
    for (::HANDLE t : burner.threads) {
        ::WaitForSingleObject(t, 5000);
        ::CloseHandle(t);
    }
    burner.threads.clear();
}

// Threads that wait for an event, to change the number of threads in the system.
::DWORD WINAPI WaitForEvent(void* event) {
    ::WaitForSingleObject(static_cast<::HANDLE>(event), 10000);
    return 0;
}

void CheckStatistics(const Platform& platform) {
    IRegistry& registry = platform.Registry;
    auto* win32Registry = dynamic_cast<win32::Win32Registry*>(&registry);
    if (!Check(win32Registry != nullptr, "the registry is the Win32 one")) return;

    // What the real registry holds (the emulation answers what it lacks).
    {
        ::HKEY h = nullptr;
        ::DWORD values = 0;
        LONG rc = ::RegOpenKeyExA(SystemRoot(0x80000006u), "PerfStats\\StatData", 0, KEY_ALL_ACCESS, &h);
        if (rc == ERROR_SUCCESS) {
            ::RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                               nullptr, nullptr);
            ::RegCloseKey(h);
        }
        std::printf("note: the real HKEY_DYN_DATA\\PerfStats\\StatData %s (%lu values)\n",
                    rc == ERROR_SUCCESS ? "opens" : "does not open", static_cast<unsigned long>(values));
        for (const char* path : {"PerfStats\\StartStat", "PerfStats\\StopStat"}) {
            rc = ::RegOpenKeyExA(SystemRoot(0x80000006u), path, 0, KEY_READ, &h);
            if (rc == ERROR_SUCCESS) ::RegCloseKey(h);
            std::printf("note: the real HKEY_DYN_DATA\\%s %s (%ld)\n", path,
                        rc == ERROR_SUCCESS ? "opens" : "does not open", static_cast<long>(rc));
        }
        rc = ::RegOpenKeyExA(SystemRoot(0x80000002u), "System\\CurrentControlSet\\Control\\PerfStats\\Enum", 0,
                             KEY_READ, &h);
        if (rc == ERROR_SUCCESS) ::RegCloseKey(h);
        std::printf("note: the real statistics descriptions %s (%ld)\n", rc == ERROR_SUCCESS ? "open" : "do not open",
                    static_cast<long>(rc));
    }

    // The descriptions, through the statistics reader itself.
    TStatsThreads statsThreads(platform.Threads);
    for (const char* name : kStatNames) {
        TPerfStats stat(registry, statsThreads);
        stat.SetAutoTick(false);
        stat.SetKeyName(name);
        const std::string what = std::string("the statistic ") + name;
        Equal(stat.LastError(), 0, what + " is described");
        Equal(stat.KeyName(), std::string(name), what + " takes its key name");
        Check(!stat.CategoryName().empty() && !stat.StatName().empty() && !stat.Description().empty(),
              what + " has a category, a name and a description (" + stat.CategoryName() + ": " + stat.StatName() +
                  ": " + stat.Description() + ")");
        Check(!stat.Differentiate(), what + " is a level, not a running counter");
        stat.SetActiveStat(true);
        ::Sleep(50);
        stat.Tick();
        const LONG value = stat.Stat();
        std::printf("note: %s reads %ld\n", name, static_cast<long>(value));
        Check(value >= 0, what + " gives a reading within 0..0x7FFFFFFF (" + std::to_string(value) + ")");
        stat.SetActiveStat(false);
    }
    {
        TPerfStats unknown(registry, statsThreads);
        unknown.SetKeyName("KERNEL\\Interrupts");
        Check(unknown.KeyName().empty() && unknown.LastError() != 0,
              "a statistic the host cannot work out is not described");
    }

    // Start and stop values, read as the reader reads them.
    for (const char* name : kStatNames) {
        const std::string stat = name;
        Check(TouchStat(registry, "PerfStats\\StartStat", stat), "the start value of " + stat + " is readable");
        Check(TouchStat(registry, "PerfStats\\StopStat", stat), "the stop value of " + stat + " is readable");
    }

    // Processor usage: low-ish while this process rests, higher while it burns every processor.
    ::SYSTEM_INFO si{};
    ::GetSystemInfo(&si);
    const int processors = static_cast<int>(si.dwNumberOfProcessors ? si.dwNumberOfProcessors : 1);
    TouchStat(registry, "PerfStats\\StartStat", "KERNEL\\CPUUsage");
    LONG resting = -1, busy = -1, first = -1;
    ReadStat(registry, "KERNEL\\CPUUsage", first);
    ::Sleep(700);
    bool read = ReadStat(registry, "KERNEL\\CPUUsage", resting);
    Burner burner;
    StartBurning(burner, processors);
    ::Sleep(700);
    ReadStat(registry, "KERNEL\\CPUUsage", busy);  // the first stretch includes the threads' start
    ::Sleep(700);
    read = ReadStat(registry, "KERNEL\\CPUUsage", busy) && read;
    StopBurning(burner);
    TouchStat(registry, "PerfStats\\StopStat", "KERNEL\\CPUUsage");
    Check(read && resting >= 0 && resting <= 100 && busy >= 0 && busy <= 100,
          "processor usage is a percentage (resting " + std::to_string(resting) + "%, busy " + std::to_string(busy) +
              "%)");
    Check(busy > resting || busy >= 95, "processor usage rises while " + std::to_string(processors) +
                                            " threads burn the processors (" + std::to_string(resting) + "% -> " +
                                            std::to_string(busy) + "%)");
    Check(busy >= 50, "and shows most of the processor time busy (" + std::to_string(busy) + "%)");

    // Threads: near the count of a thread snapshot, and more of them with more threads.
    LONG threads = -1, more = -1;
    const int snapshot = SnapshotThreads();
    ReadStat(registry, "KERNEL\\Threads", threads);
    Check(threads > 0 && std::abs(threads - snapshot) <= 10, "the thread count is near a thread snapshot's (" +
                                                                  std::to_string(threads) + " against " +
                                                                  std::to_string(snapshot) + ")");
    ::HANDLE release = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<::HANDLE> waiting;
    for (int i = 0; i < 8; ++i)
        if (::HANDLE t = ::CreateThread(nullptr, 0, &WaitForEvent, release, 0, nullptr)) waiting.push_back(t);
    ::Sleep(100);
    ReadStat(registry, "KERNEL\\Threads", more);
    ::SetEvent(release);
    for (::HANDLE t : waiting) {
        ::WaitForSingleObject(t, 5000);
        ::CloseHandle(t);
    }
    ::CloseHandle(release);
    Check(more >= threads + 6, "eight more threads raise the count (" + std::to_string(threads) + " -> " +
                                   std::to_string(more) + ")");

    LONG vms = -1;
    const bool vmsRead = ReadStat(registry, "KERNEL\\VMs", vms);
    Check(vmsRead && vms == 1, "one virtual machine: the system's (" + std::to_string(vms) + ")");

    // Memory: committed memory and disk cache in bytes, within what a 32-bit value shows.
    LONG commit = -1, cache = -1;
    const bool commitRead = ReadStat(registry, "VMM\\cpgCommit", commit);
    const bool cacheRead = ReadStat(registry, "VMM\\cpgDiskcache", cache);
    Check(commitRead && commit >= 1024 * 1024,
          "committed memory is at least a megabyte and at most 0x7FFFFFFF bytes (" + std::to_string(commit) + ")");
    Check(cacheRead && cache >= 0, "the disk cache is within 0..0x7FFFFFFF bytes (" + std::to_string(cache) + ")");
    Check(commit % 4096 == 0 || commit == 0x7FFFFFFF, "committed memory comes in whole pages");

    // The real registry first: a value the real StatData key holds is the real one, for a program
    // that starts while it is published; the registry above, which found it lacking, keeps
    // working it out rather than asking the system every pass.
    {
        ::HKEY real = nullptr;
        const DWORD seven = 7;
        if (::RegOpenKeyExA(SystemRoot(0x80000006u), "PerfStats\\StatData", 0, KEY_ALL_ACCESS, &real) ==
                ERROR_SUCCESS &&
            ::RegSetValueExA(real, "KERNEL\\VMs", 0, REG_BINARY, reinterpret_cast<const BYTE*>(&seven), 4) ==
                ERROR_SUCCESS) {
            LONG v = -1;
            win32::Win32Registry started;
            ReadStat(started, "KERNEL\\VMs", v);
            Equal(v, 7, "a live value the system publishes wins over the worked-out one");
            ReadStat(registry, "KERNEL\\VMs", v);
            Equal(v, 1, "a live value found lacking is worked out from then on");
            ::RegDeleteValueA(real, "KERNEL\\VMs");
            ReadStat(started, "KERNEL\\VMs", v);
            Equal(v, 1, "and once it is gone the worked-out one is back");
        } else {
            std::printf("note: the real StatData key takes no value here; the real-first check is left out\n");
        }
        if (real) ::RegCloseKey(real);
        // A description the system holds for one value: that value is the system's, the rest ours.
        ::HKEY made[4] = {};
        const char* keyPath[] = {"System\\CurrentControlSet\\Control\\PerfStats", "Enum", "KERNEL", "Threads"};
        ::HKEY parent = SystemRoot(0x80000002u);
        bool madeAll = true;
        for (int i = 0; i < 4 && madeAll; ++i) {
            madeAll = ::RegCreateKeyExA(parent, keyPath[i], 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                        &made[i], nullptr) == ERROR_SUCCESS;
            parent = made[i];
        }
        const char realName[] = "Real threads";
        if (madeAll && ::RegSetValueExA(made[3], "Name", 0, REG_SZ, reinterpret_cast<const BYTE*>(realName),
                                        sizeof realName) == ERROR_SUCCESS) {
            TPerfStats stat(registry, statsThreads);
            stat.SetAutoTick(false);
            stat.SetKeyName("KERNEL\\Threads");
            Equal(stat.StatName(), std::string(realName), "a description value the system holds is the system's");
            Check(!stat.Description().empty() && !stat.CategoryName().empty() && stat.LastError() == 0,
                  "and the values it lacks are still answered");
        } else {
            std::printf("note: no description key could be made; the real-first description check is left out\n");
        }
        for (int i = 3; i >= 0; --i) {
            if (!made[i]) continue;
            ::RegCloseKey(made[i]);
            ::RegDeleteKeyA(i == 0 ? SystemRoot(0x80000002u) : made[i - 1], keyPath[i]);
        }
    }

    // Handles: every key the statistics opened is closed again, stand-ins included.
    Equal(win32Registry->FollowedKeys(), 0, "no statistics key is left open");
    {
        HKEY start = 0;
        LONG rc = registry.RegOpenKeyExA(HKEY_DYN_DATA, "PerfStats\\StartStat", KEY_ALL_ACCESS, start);
        Check(rc == ERROR_SUCCESS && start != 0, "StartStat opens");
        std::printf("note: StartStat is %s\n", win32Registry->StandIns() == 1 ? "stood in for" : "the system's own");
        Equal(registry.RegCloseKey(start), static_cast<LONG>(ERROR_SUCCESS), "and closes");
        Check(registry.RegCloseKey(start) != ERROR_SUCCESS, "after which its handle is no key any more");
        Equal(win32Registry->StandIns(), 0, "no stand-in is left open");
        HKEY nested = 0, below = 0;
        registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\System\\CurrentControlSet\\control\\PerfStats", KEY_READ, nested);
        rc = registry.RegOpenKeyExA(nested, "Enum\\KERNEL", KEY_READ, below);
        std::vector<BYTE> data;
        DWORD type = 0;
        Check(rc == ERROR_SUCCESS && registry.RegQueryValueExA(below, "Name", type, data) == ERROR_SUCCESS &&
                  type == REG_SZ && data.size() > 1,
              "a category opened below an opened parent, path from the root, is described too");
        if (below) registry.RegCloseKey(below);
        if (nested) registry.RegCloseKey(nested);
        // A live value read into a buffer: one query; a buffer too small for it is told so.
        HKEY statData = 0;
        registry.RegOpenKeyExA(HKEY_DYN_DATA, "PerfStats\\StatData", KEY_ALL_ACCESS, statData);
        BYTE small[2] = {};
        DWORD size = sizeof small;
        Check(registry.RegQueryValueExA(statData, "KERNEL\\Threads", type, small, size) == ERROR_MORE_DATA && size == 4,
              "a live value does not fit a 2-byte buffer, which is told its 4 bytes");
        if (statData) registry.RegCloseKey(statData);
        HKEY version = 0;
        rc = registry.RegOpenKeyExA(HKEY_LOCAL_MACHINE, "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", KEY_READ,
                                    version);
        Equal(rc, static_cast<LONG>(ERROR_SUCCESS), "a path with a leading backslash opens from the root");
        if (version) registry.RegCloseKey(version);
        Equal(win32Registry->FollowedKeys(), 0, "and every key is closed again");
    }
    const long handlesBefore = HandleCount();
    for (int i = 0; i < 2000; ++i) {
        LONG v = 0;
        TouchStat(registry, "PerfStats\\StartStat", "KERNEL\\Threads");
        ReadStat(registry, "KERNEL\\CPUUsage", v);
        TouchStat(registry, "PerfStats\\StopStat", "KERNEL\\Threads");
    }
    const long handlesAfter = HandleCount();
    if (handlesBefore >= 0)
        Check(handlesAfter <= handlesBefore + 2, "2000 readings keep no handles (" + std::to_string(handlesBefore) +
                                                     " -> " + std::to_string(handlesAfter) + ")");
    else
        std::printf("note: the system does not count handles\n");
    Equal(win32Registry->FollowedKeys(), 0, "2000 readings leave no statistics key open");
}

// The client area of a window as it shows on the screen, one colour per pixel, row by row.
std::vector<COLORREF> ClientPixels(::HWND h, int& width, int& height) {
    ::UpdateWindow(h);
    RECT r{};
    ::GetClientRect(h, &r);
    width = r.right;
    height = r.bottom;
    std::vector<COLORREF> pixels;
    if (width <= 0 || height <= 0) return pixels;
    ::HDC dc = ::GetDC(h);
    ::HDC mem = ::CreateCompatibleDC(dc);
    ::HBITMAP bmp = ::CreateCompatibleBitmap(dc, width, height);
    ::HGDIOBJ old = ::SelectObject(mem, bmp);
    ::BitBlt(mem, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    BITMAPINFOHEADER bih{};
    bih.biSize = sizeof bih;
    bih.biWidth = width;
    bih.biHeight = -height;  // top row first
    bih.biPlanes = 1;
    bih.biBitCount = 32;
    bih.biCompression = BI_RGB;
    std::vector<unsigned char> bits(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    if (::GetDIBits(mem, bmp, 0, static_cast<UINT>(height), bits.data(), reinterpret_cast<BITMAPINFO*>(&bih),
                    DIB_RGB_COLORS) == height) {
        pixels.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
        for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = RGB(bits[4 * i + 2], bits[4 * i + 1], bits[4 * i]);
    }
    ::DeleteObject(bmp);
    ::DeleteDC(mem);
    ::ReleaseDC(h, dc);
    return pixels;
}

// Where pixels of one colour lie in a window's client area.
struct Lit {
    int count = 0, others = 0;
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
    int width = 0, height = 0;
};

Lit LitPixels(::HWND h, COLORREF colour, COLORREF background) {
    Lit lit;
    const auto pixels = ClientPixels(h, lit.width, lit.height);
    for (int y = 0; y < lit.height && !pixels.empty(); ++y) {
        for (int x = 0; x < lit.width; ++x) {
            const COLORREF c = pixels[static_cast<size_t>(y) * lit.width + x];
            if (c == colour) {
                ++lit.count;
                lit.left = std::min(lit.left, x);
                lit.right = std::max(lit.right, x);
                lit.top = std::min(lit.top, y);
                lit.bottom = std::max(lit.bottom, y);
            } else if (c != background) {
                ++lit.others;  // the edges of smoothed letters
            }
        }
    }
    return lit;
}

// Whether a pixel of the colour lies within one pixel of (x, y).
bool NearColour(const std::vector<COLORREF>& pixels, int width, int height, int x, int y, COLORREF colour) {
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
            const int px = x + dx, py = y + dy;
            if (px >= 0 && py >= 0 && px < width && py < height &&
                pixels[static_cast<size_t>(py) * width + px] == colour)
                return true;
        }
    return false;
}

COLORREF PixelOf(const std::vector<COLORREF>& pixels, int width, int x, int y) {
    return pixels.empty() ? CLR_INVALID : pixels[static_cast<size_t>(y) * width + x];
}

// Answers the next common dialog with the given caption from another thread, as a user would:
// closes it with its close box, cancels it, or types a file name and presses OK.
struct DialogAnswer {
    enum Action { Close, Cancel, Choose };
    std::string caption;
    Action action = Cancel;
    std::string fileName;
    volatile bool seen = false;
    volatile bool done = false;
    // The dialog's owner, and whether it took input while the dialog was up.
    ::HWND owner = nullptr;
    volatile bool ownerEnabled = false;
};

::DWORD WINAPI AnswerDialog(void* param) {
    auto* answer = static_cast<DialogAnswer*>(param);
    for (int i = 0; i < 200 && !answer->seen; ++i) {
        if (::HWND d = ::FindWindowA("#32770", answer->caption.c_str())) {
            ::Sleep(200);  // let it settle
            answer->owner = ::GetWindow(d, GW_OWNER);
            answer->ownerEnabled = answer->owner && ::IsWindowEnabled(answer->owner);
            answer->seen = true;
            if (answer->action == DialogAnswer::Close) {
                ::PostMessageA(d, WM_CLOSE, 0, 0);
            } else if (answer->action == DialogAnswer::Cancel) {
                ::PostMessageA(d, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                               reinterpret_cast<::LPARAM>(::GetDlgItem(d, IDCANCEL)));
            } else {
                // The file name field: a combo box (cmb13) in newer dialogs, an edit (edt1) in older.
                if (!::SetDlgItemTextA(d, 0x47C, answer->fileName.c_str()))
                    ::SetDlgItemTextA(d, 0x480, answer->fileName.c_str());
                ::PostMessageA(d, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                               reinterpret_cast<::LPARAM>(::GetDlgItem(d, IDOK)));
            }
            break;
        }
        ::Sleep(50);
    }
    answer->done = true;
    return 0;
}

void AnswerNextDialog(DialogAnswer& answer, DialogAnswer::Action action, const std::string& fileName = "") {
    answer.action = action;
    answer.fileName = fileName;
    answer.seen = false;
    answer.done = false;
    if (::HANDLE t = ::CreateThread(nullptr, 0, &AnswerDialog, &answer, 0, nullptr)) ::CloseHandle(t);
}

// Lets the user-interface thread run what others hand it for a while.
void Pump(DWORD ms) {
    const DWORD t0 = ::GetTickCount();
    MSG msg;
    while (::GetTickCount() - t0 < ms) {
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::Sleep(2);
    }
}

// The items a combo box's list shows, in order.
std::vector<std::string> ComboItems(::HWND combo) {
    std::vector<std::string> items;
    const auto count = static_cast<int>(::SendMessageA(combo, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char buf[256] = {};
        const auto length = ::SendMessageA(combo, CB_GETLBTEXTLEN, static_cast<::WPARAM>(i), 0);
        if (length >= 0 && length < static_cast<::LRESULT>(sizeof buf))
            ::SendMessageA(combo, CB_GETLBTEXT, static_cast<::WPARAM>(i), reinterpret_cast<::LPARAM>(buf));
        items.push_back(buf);
    }
    return items;
}

std::string Joined(const std::vector<std::string>& items) {
    std::string all;
    for (const auto& item : items) all += (all.empty() ? "" : "|") + item;
    return all;
}

int ComboSelection(::HWND combo) { return static_cast<int>(::SendMessageA(combo, CB_GETCURSEL, 0, 0)); }

struct TooltipSearch {
    ::HWND owner;
    std::vector<::HWND> found;
};

::BOOL CALLBACK NoteTooltip(::HWND h, ::LPARAM param) {
    auto* search = reinterpret_cast<TooltipSearch*>(param);
    if (ClassOf(h) == TOOLTIPS_CLASSA && ::GetWindow(h, GW_OWNER) == search->owner) search->found.push_back(h);
    return TRUE;
}

// The program's tooltip windows owned by the window.
std::vector<::HWND> TooltipsOf(::HWND owner) {
    TooltipSearch search{owner, {}};
    ::EnumThreadWindows(::GetCurrentThreadId(), &NoteTooltip, reinterpret_cast<::LPARAM>(&search));
    return search.found;
}

// Whether the window is a tool of the tooltip.
bool IsTool(::HWND tooltip, ::HWND owner, ::HWND window) {
    TTTOOLINFOA info{};
    info.cbSize = TTTOOLINFOA_V1_SIZE;
    info.hwnd = owner;
    info.uId = reinterpret_cast<UINT_PTR>(window);
    return ::SendMessageA(tooltip, TTM_GETTOOLINFOA, 0, reinterpret_cast<::LPARAM>(&info)) != 0;
}

// The text a window gives its tooltip for the tool, asked for as the tooltip asks.
std::string ToolText(::HWND tooltip, ::HWND owner, ::HWND window) {
    NMTTDISPINFOA info{};
    info.hdr.hwndFrom = tooltip;
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(window);
    info.hdr.code = TTN_GETDISPINFOA;
    info.uFlags = TTF_IDISHWND;
    ::SendMessageA(owner, WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<::LPARAM>(&info));
    if (info.lpszText && info.lpszText != LPSTR_TEXTCALLBACKA && !IS_INTRESOURCE(info.lpszText)) return info.lpszText;
    return info.szText;
}

}  // namespace

int TaskwellMain(const Platform& platform) {
    CheckSystemServices(platform);
    CheckStatistics(platform);

    TApplication app(platform.Ui);
    auto* win32Ui = dynamic_cast<win32::Win32UiBackend*>(&platform.Ui);
    if (!Check(win32Ui != nullptr, "the program runs on the Win32 backend")) return 1;
    app.SetTitle("Peer checks");
    HICON appIcon = platform.Shell.LoadIconA("MAINICON");
    app.SetIcon(appIcon);

    int minimizes = 0, restores = 0, closes = 0, pageChanges = 0, selections = 0, clicks = 0;
    app.OnMinimize = [&] { ++minimizes; };
    app.OnRestore = [&] { ++restores; };

    TImageList pageImages(app, 16, 16);
    TImageList smallImages(app, 16, 16);
    for (const char* name : {"PAGE_APPS", "PAGE_PROCS", "PAGE_PERF", "PAGE_SYSINFO"}) {
        HICON icon = platform.Shell.LoadIconA(name);
        pageImages.AddIcon(icon);
        smallImages.AddIcon(icon);
    }

    TForm form(app);
    app.MainForm = &form;
    form.SetCaption("Peer checks");
    form.SetBounds(60, 40, 444, 538);
    form.OnClose = [&] { ++closes; };

    TMainMenu menu;
    TMenuItem& file = menu.Items().Add("&File");
    TMenuItem& exitItem = file.Add("E&xit");
    exitItem.OnClick = [&] { form.Close(); };
    TMenuItem& options = menu.Items().Add("&Options");
    TMenuItem& alpha = options.Add("&Alpha");
    alpha.SetChecked(true);
    TMenuItem& beta = options.Add("&Beta");
    beta.OnClick = [&] {
        ++clicks;
        beta.SetChecked(!beta.Checked());
    };
    TMenuItem& hidden = options.Add("&Hidden");
    hidden.SetVisible(false);
    TMenuItem& grey = options.Add("&Grey");
    grey.SetEnabled(false);
    options.Add("-");
    TMenuItem& speed = options.Add("&Speed");
    TMenuItem& fast = speed.Add("&Fast");
    TMenuItem& slow = speed.Add("&Slow");
    for (TMenuItem* r : {&fast, &slow}) {
        r->SetRadioItem(true);
        r->SetGroupIndex(1);
    }
    fast.SetChecked(true);
    TMenuItem& deflt = options.Add("&Default");
    deflt.SetDefault(true);
    TMenuItem& thrower = options.Add("&Throw");
    thrower.OnClick = [] { throw Exception("checked failure"); };
    form.SetMenu(&menu);

    TStatusBar& bar = form.Add<TStatusBar>();
    bar.AddPanel(100, "Processes: 7");
    bar.AddPanel(105, "CPU Usage: 0%");
    bar.AddPanel(200, "Mem Usage: 0K / 0K");
    bar.AddPanel(50, "");

    TPanel& body = form.Add<TPanel>();
    body.Padding = TRect{7, 2, 7, 7};
    body.SetAlign(TAlign::alClient);
    TPageControl& pages = body.Add<TPageControl>();
    pages.SetAlign(TAlign::alClient);
    pages.SetImages(&pageImages);
    TTabSheet& one = pages.AddPage("One", 0);
    TTabSheet& two = pages.AddPage("Two", 1);
    pages.OnChange = [&] { ++pageChanges; };

    TListView& list = one.Add<TListView>();
    list.SetAlign(TAlign::alClient);
    list.SetViewStyle(TViewStyle::vsReport);
    list.SetImages(nullptr, &smallImages);
    list.AddColumn("Name", 120);
    list.AddColumn("PID", 60);
    list.AddColumn("Threads", 60);
    list.OnSelectItem = [&] { ++selections; };
    for (int i = 0; i < 12; ++i) {
        TListItem& item = list.AddItem();
        item.SetCaption("row " + std::to_string(i));
        item.SetSubItems({std::to_string(100 + i), std::to_string(i % 4)});
        item.SetImageIndex(i % 3 == 2 ? -1 : i % 2);
    }

    TGroupBox& group = two.Add<TGroupBox>("Group");
    group.SetBounds(8, 8, 200, 120);
    TLabel& label = group.Add<TLabel>("Right");
    label.Alignment = TAlignment::taRightJustify;
    label.SetBounds(10, 20, 100, 16);
    TPanel& red = two.Add<TPanel>();
    red.Color = 0x0000FF;
    red.SetBounds(220, 8, 40, 40);
    TGauge& gauge = group.Add<TGauge>();
    gauge.SetBounds(120, 20, 30, 90);
    gauge.SetProgress(50);

    // A widget type without a native peer stays headless, and its children still get windows
    // at the right offsets in the nearest window.
    TWinControl& plain = two.Add<TWinControl>();
    plain.SetBounds(20, 200, 100, 60);
    TLabel& inner = plain.Add<TLabel>("inner");
    inner.SetBounds(5, 6, 50, 16);

    // List view events and the list's popup menu.
    int listClicks = 0, listDblClicks = 0, clickSelected = -2, dblSelected = -2, columnClicks = 0, columnClicked = -1;
    list.OnClick = [&] {
        ++listClicks;
        clickSelected = list.SelectedIndex();
    };
    list.OnDblClick = [&] {
        ++listDblClicks;
        dblSelected = list.SelectedIndex();
    };
    list.OnColumnClick = [&](int column) {
        ++columnClicks;
        columnClicked = column;
    };
    TPopupMenu rowMenu;
    TMenuItem& rowOpen = rowMenu.Items().Add("&Open");
    rowOpen.SetDefault(true);
    TMenuItem& rowEnd = rowMenu.Items().Add("&End Process");
    int popups = 0, rowOpens = 0, selectedAtPopup = -2;
    bool menuShownAtPopup = false;
    rowMenu.OnPopup = [&] {
        ++popups;
        menuShownAtPopup = VisibleMenuWindow() != nullptr;
        selectedAtPopup = list.SelectedIndex();
        rowEnd.SetEnabled(list.SelectedIndex() >= 0);
    };
    rowOpen.OnClick = [&] { ++rowOpens; };
    list.PopupMenu = &rowMenu;
    TFont verdana;
    verdana.Name = "Verdana";

    // A tool window with a check box, edit fields and a picture; sized by its client area before
    // it has a window.
    TForm tool(app);
    tool.BorderStyle = TBorderStyle::bsToolWindow;
    tool.SetCaption("Tool");
    tool.SetBounds(540, 40, 100, 100);
    tool.SetClientSize(240, 110);
    TCheckBox& box = tool.Add<TCheckBox>("&Show 16-bit tasks");
    box.SetBounds(8, 8, 160, 20);
    TFont boldFont;
    boldFont.Bold = true;
    box.SetFont(boldFont);
    int boxClicks = 0;
    box.OnClick = [&] { ++boxClicks; };
    TPopupMenu boxMenu;
    boxMenu.Items().Add("&What's This?");
    int boxPopups = 0;
    boxMenu.OnPopup = [&] { ++boxPopups; };
    box.PopupMenu = &boxMenu;
    TEdit& edit = tool.Add<TEdit>("hello");
    edit.SetBounds(8, 34, 150, 21);
    TEdit& value = tool.Add<TEdit>("1234 K");
    value.SetBounds(8, 64, 150, 16);
    value.SetReadOnly(true);
    value.SetBorderStyle(TEditBorder::bsNone);
    value.Color = clBtnFace;
    const COLORREF redColour = RGB(255, 0, 0), blueColour = RGB(0, 0, 255);
    ::HICON redIcon = SolidIcon(redColour), blueIcon = SolidIcon(blueColour);
    TImage& image = tool.Add<TImage>();
    image.SetBounds(180, 8, 48, 48);
    image.SetIcon(win32::FromHicon(redIcon));

    // A sizable form shown modally, sized by its client area before it has a window; a timer
    // looks at it while it is up and presses its OK button.
    TForm dialog(app);
    dialog.SetCaption("Sizable dialog");
    dialog.SetBounds(120, 120, 100, 100);
    dialog.SetClientSize(300, 180);
    TListView& dialogList = dialog.Add<TListView>();
    dialogList.SetBounds(8, 8, 284, 130);
    dialogList.SetViewStyle(TViewStyle::vsReport);
    dialogList.SetFont(verdana);
    dialogList.AddColumn("Module", 180);
    dialogList.AddItem().SetCaption("KERNEL32.DLL");
    TButton& dialogOk = dialog.Add<TButton>("OK");
    dialogOk.SetBounds(212, 148, 80, 24);
    dialogOk.ModalResult = mrOk;
    TTimer dialogTimer(app, 150, false);
    bool dialogChecked = false;
    ::HWND mainWindow = nullptr;
    dialogTimer.OnTimer = [&] {
        ::HWND d = WindowOf(dialog);
        if (!d || !::IsWindowVisible(d)) return;
        dialogTimer.SetEnabled(false);
        dialogChecked = true;
        SaveShot(d, "sizable-dialog");
        Equal(SizeText(ClientSize(d)), std::string("300x180"),
              "a sizable form given a client size before it had a window gets exactly that client area");
        Check(HasStyle(d, WS_THICKFRAME), "the modal sizable form has a sizing frame");
        Check(!HasStyle(d, WS_MINIMIZEBOX), "and no minimise box");
        Check(::GetWindow(d, GW_OWNER) == mainWindow, "it is owned by the main window");
        Check(!::IsWindowEnabled(mainWindow), "which takes no input meanwhile");
        dialog.SetClientSize(320, 200);
        Equal(SizeText(ClientSize(d)), std::string("320x200"), "a client size set while it shows is exact too");
        Equal(dialog.ClientWidth(), 320, "and the form knows its client width");
        Check(FontHandle(WindowOf(dialogList)) == win32Ui->FontFor(verdana), "the dialog's list view is drawn in Verdana");
        // The user presses OK.
        ::PostMessageA(WindowOf(dialogOk), BM_CLICK, 0, 0);
    };

    // The performance page's look on a form of its own: a black panel with gauge labels in bold
    // 19-pixel lime Courier New, centred and right-aligned, and a history graph of 121 by 101
    // pixels (two pixels per x unit, one per y unit) whose line leaves the top once.
    const COLORREF lime = RGB(0, 255, 0), gridGreen = RGB(0, 64, 0), black = RGB(0, 0, 0);
    TForm perfLook(app);
    perfLook.BorderStyle = TBorderStyle::bsToolWindow;
    perfLook.SetCaption("Performance look");
    perfLook.SetBounds(560, 300, 100, 100);
    perfLook.SetClientSize(290, 120);
    TPanel& blackPanel = perfLook.Add<TPanel>();
    blackPanel.Color = 0x000000;
    blackPanel.SetAlign(TAlign::alClient);
    TFont gaugeFont;
    gaugeFont.Name = "Courier New";
    gaugeFont.Height = 19;
    gaugeFont.Bold = true;
    gaugeFont.Color = 0x00FF00;
    TLabel& centred = blackPanel.Add<TLabel>("42%");
    centred.Alignment = TAlignment::taCenter;
    centred.SetFont(gaugeFont);
    centred.SetBounds(8, 8, 120, 24);
    TLabel& righted = blackPanel.Add<TLabel>("1234K");
    righted.Alignment = TAlignment::taRightJustify;
    righted.SetFont(gaugeFont);
    righted.SetBounds(8, 40, 120, 24);
    TxyGraph& graph = blackPanel.Add<TxyGraph>();
    graph.SetBounds(150, 8, 121, 101);
    graph.XAxis.Min = 0;
    graph.XAxis.Max = 60;
    graph.YAxis.Min = 0;
    graph.YAxis.Max = 100;
    graph.YAxis.AutoStepping = false;
    TDataSeries& graphLine = graph.Series(1);
    const double graphPoints[][2] = {{0, 10}, {10, 50}, {20, 50}, {30, 150}, {40, 0}, {50, 30}, {60, 100}};
    for (const auto& p : graphPoints) graphLine.Add(p[0], p[1]);

    // The polling threads' records.
    const DWORD uiThread = ::GetCurrentThreadId();
    std::vector<DWORD> passTimes;
    bool passesOnUi = true;
    HANDLE pollA = 0, pollC = 0, pollE = 0;
    int cPasses = 0, ePasses = 0, eMark = 0;
    DWORD pollStart = 0, stopInPassMs = 0;

    // The save dialog.
    TSaveDialog save(app);
    save.Title = "Save the usage log";
    save.Filter = {{"Log files (*.log)", "*.log"}, {"All files (*.*)", "*.*"}};
    save.DefaultExt = "log";
    save.Options = ofHideReadOnly | ofPathMustExist;
    DialogAnswer dialogAnswer;
    dialogAnswer.caption = save.Title;

    // A dialog-like form with a combo box, controls with hints and an active control; shown
    // plainly first, then modally with another active control (its timer looks at the focus and
    // presses OK).
    TForm entry(app);
    entry.BorderStyle = TBorderStyle::bsDialog;
    entry.SetCaption("Combo and hints");
    entry.SetBounds(150, 150, 100, 100);
    entry.SetClientSize(300, 120);
    TLabel& entryLabel = entry.Add<TLabel>("&Open:");
    entryLabel.SetBounds(8, 12, 40, 16);
    entryLabel.Hint = "What to start";
    TComboBox& combo = entry.Add<TComboBox>();
    combo.SetBounds(56, 8, 230, 21);
    combo.Hint = "Type a program or pick one";
    for (const char* item : {"notepad", "calc", "sol"}) combo.AddItem(item);
    TEdit& entryEdit = entry.Add<TEdit>("");
    entryEdit.SetBounds(56, 40, 230, 21);
    TButton& entryOk = entry.Add<TButton>("OK");
    entryOk.SetBounds(126, 84, 75, 23);
    entryOk.ModalResult = mrOk;
    entryOk.Hint = "Start it";
    TButton& entryCancel = entry.Add<TButton>("Cancel");
    entryCancel.SetBounds(211, 84, 75, 23);
    entryCancel.ModalResult = mrCancel;
    entry.ActiveControl = &combo;
    int comboChanges = 0;
    combo.OnChange = [&] {
        ++comboChanges;
        // A handler that puts a text of its own in place of a picked item.
        if (combo.ItemIndex() == 2) combo.SetText("sol.exe");
    };
    ::HWND entryWindow = nullptr, comboWindow = nullptr, comboEdit = nullptr, entryTip = nullptr;
    std::string typedBefore;
    DWORD hoverStart = 0;
    TTimer entryTimer(app, 150, false);
    bool entryModalChecked = false;
    entryTimer.OnTimer = [&] {
        ::HWND d = WindowOf(entry);
        if (!d || !::IsWindowVisible(d)) return;
        entryTimer.SetEnabled(false);
        entryModalChecked = true;
        Check(::GetFocus() == WindowOf(entryEdit), "a form shown modally gives the focus to its active control");
        ::PostMessageA(WindowOf(entryOk), BM_CLICK, 0, 0);
    };

    // The open dialog.
    TOpenDialog openDialog(app);
    openDialog.Title = "Open a program";
    openDialog.Filter = {{"Programs (*.exe)", "*.exe"}, {"All files (*.*)", "*.*"}};
    openDialog.DefaultExt = "exe";
    openDialog.Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist;

    int ticks = 0;
    TTimer counter(app, 50, false);
    counter.OnTimer = [&] { ++ticks; };

    BoxAnswer answer;
    std::vector<std::function<void()>> steps;
    size_t step = 0;
    // A step may make the next one wait for something that happens outside it (a menu the
    // answering thread closes); steps never run inside another step's message loop.
    std::function<bool()> waitFor;
    bool inStep = false;
    ::HWND hwnd = nullptr, sbw = nullptr, tabs = nullptr, lv = nullptr;
    int tickMark = 0;

    steps.push_back([&] {
        hwnd = WindowOf(form);
        sbw = WindowOf(bar);
        tabs = WindowOf(pages);
        lv = WindowOf(list);
        Check(hwnd && sbw && tabs && lv, "form, status bar, tabs and list have windows");
        Check(::IsWindowVisible(hwnd), "form is shown");
        Equal(WindowText(hwnd), std::string("Peer checks"), "form caption");
        RECT r{};
        ::GetWindowRect(hwnd, &r);
        Equal(r.right - r.left, 444, "form width");
        Equal(r.bottom - r.top, 538, "form height");
        ::GetClientRect(hwnd, &r);
        Equal(form.ClientWidth(), static_cast<int>(r.right), "widget knows the real client width");
        Equal(form.ClientHeight(), static_cast<int>(r.bottom), "widget knows the real client height (menu bar included)");
        Check(::SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0) != 0, "form shows the application icon");
        Equal(ClassOf(sbw), std::string(STATUSCLASSNAMEA), "status bar class");
        Equal(ClassOf(tabs), std::string(WC_TABCONTROLA), "tab control class");
        Equal(ClassOf(lv), std::string(WC_LISTVIEWA), "list view class");
        Check(WindowOf(plain) == nullptr, "a plain container has no window of its own");
        ::HWND innerWindow = WindowOf(inner);
        Check(innerWindow && ::GetParent(innerWindow) == WindowOf(two), "its child sits in the page's window");
        RECT ir{};
        ::GetWindowRect(innerWindow, &ir);
        ::MapWindowPoints(nullptr, WindowOf(two), reinterpret_cast<::POINT*>(&ir), 2);
        Check(ir.left == 25 && ir.top == 206, "at the container's offset plus its own (" + std::to_string(ir.left) +
                                                  "," + std::to_string(ir.top) + ")");
    });

    steps.push_back([&] {
        // The application's icon: the forms show the picture given; a form hidden while the icon
        // changed shows the new one when it is shown again.
        auto shownIcon = [&](::WPARAM which) { return ::SendMessageA(hwnd, WM_GETICON, which, 0); };
        HICON level = platform.Shell.LoadIconA("Z_5");
        const ::LRESULT firstBig = shownIcon(ICON_BIG);
        app.SetIcon(level);
        const ::LRESULT levelBig = shownIcon(ICON_BIG), levelSmall = shownIcon(ICON_SMALL);
        Check(levelBig == static_cast<::LRESULT>(level) && levelSmall == levelBig && levelBig != firstBig,
              "the form shows the new application icon at both sizes");
        app.SetIcon(appIcon);
        Check(shownIcon(ICON_BIG) == firstBig, "and the earlier one again");
        ::ShowWindow(hwnd, SW_HIDE);
        app.SetIcon(level);
        bar.SetPanelText(1, "CPU Usage: 7%");
        Equal(StatusText(sbw, 1), std::string("CPU Usage: 7%"), "a hidden form's status bar answers with its new text");
        ::ShowWindow(hwnd, SW_SHOW);
        Check(shownIcon(ICON_BIG) == levelBig && shownIcon(ICON_SMALL) == levelSmall,
              "a form hidden while the icon changed shows the new icon when shown");
        app.SetIcon(appIcon);
    });

    steps.push_back([&] {
        // Status bar: parts from the panel widths, texts readable with SB_GETTEXT.
        int edges[8] = {};
        int parts = static_cast<int>(::SendMessageA(sbw, SB_GETPARTS, 8, reinterpret_cast<::LPARAM>(edges)));
        Equal(parts, 4, "status bar has four parts");
        Check(edges[0] == 100 && edges[1] == 205 && edges[2] == 405 && edges[3] == 455,
              "part edges are the running sums of the panel widths");
        Equal(StatusText(sbw, 0), std::string("Processes: 7"), "first part text");
        bar.SetPanelText(2, "Mem Usage: 1K / 2K");
        Equal(StatusText(sbw, 2), std::string("Mem Usage: 1K / 2K"), "changed part text");
        RECT r{};
        ::GetWindowRect(sbw, &r);
        ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<::POINT*>(&r), 2);
        Equal(static_cast<int>(r.top), form.ClientHeight() - 19, "status bar sits at the bottom of the form");
        Equal(static_cast<int>(r.bottom - r.top), 19, "status bar height is the widget's");
        // Drawn the plain way, as on Windows 98: Wine's control library would theme it otherwise.
        using GetWindowThemeFunction = ::HANDLE(WINAPI*)(::HWND);
        if (const auto windowTheme = win32::SystemFunction<GetWindowThemeFunction>("uxtheme.dll", "GetWindowTheme"))
            Check(windowTheme(sbw) == nullptr, "the status bar is drawn without the system's theme");
        // Two parts changed in one pass wait for one paint when the program takes messages again.
        bar.SetPanelText(1, "CPU Usage: 9%");
        Check(::GetUpdateRect(sbw, nullptr, FALSE) != FALSE, "changed parts wait to be painted");
        Equal(StatusText(sbw, 1), std::string("CPU Usage: 9%"), "a waiting part answers with its new text");
    });

    steps.push_back([&] {
        Check(::GetUpdateRect(sbw, nullptr, FALSE) == FALSE, "the waiting parts were painted between two passes");
    });

    steps.push_back([&] {
        // Menu bar.
        ::HMENU m = ::GetMenu(hwnd);
        Check(m != nullptr, "form has a menu bar");
        Equal(::GetMenuItemCount(m), 2, "two menus on the bar");
        Equal(MenuAt(m, 0).text, std::string("&File"), "first menu caption keeps its mnemonic");
        ::HMENU opts = ::GetSubMenu(m, 1);
        Equal(::GetMenuItemCount(opts), 7, "hidden item left out of the Options menu");
        Check(MenuAt(opts, 0).state & MFS_CHECKED, "Alpha is checked");
        Check(!(MenuAt(opts, 1).state & MFS_CHECKED), "Beta is not checked");
        Check(MenuAt(opts, 2).state & MFS_GRAYED, "disabled item is greyed");
        Check(MenuAt(opts, 3).type & MFT_SEPARATOR, "separator line");
        ::HMENU sp = ::GetSubMenu(opts, 4);
        Check(sp != nullptr, "Speed is a submenu");
        Check((MenuAt(sp, 0).type & MFT_RADIOCHECK) && (MenuAt(sp, 0).state & MFS_CHECKED), "Fast: checked radio item");
        Check((MenuAt(sp, 1).type & MFT_RADIOCHECK) && !(MenuAt(sp, 1).state & MFS_CHECKED), "Slow: unchecked radio item");
        Equal(static_cast<int>(::GetMenuDefaultItem(opts, TRUE, 0)), 5, "Default is the default item");
        // The user chooses Beta.
        ::PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(MenuAt(opts, 1).id, 0), 0);
    });

    steps.push_back([&] {
        Equal(clicks, 1, "the menu command ran the item's handler");
        ::HMENU opts = ::GetSubMenu(::GetMenu(hwnd), 1);
        Check(MenuAt(opts, 1).state & MFS_CHECKED, "the handler's check mark shows");
        UINT betaId = MenuAt(opts, 1).id;
        slow.SetChecked(true);
        ::HMENU sp = ::GetSubMenu(opts, 4);
        Check(!(MenuAt(sp, 0).state & MFS_CHECKED) && (MenuAt(sp, 1).state & MFS_CHECKED),
              "checking Slow unchecks Fast in the menu");
        hidden.SetVisible(true);
        opts = ::GetSubMenu(::GetMenu(hwnd), 1);
        Equal(::GetMenuItemCount(opts), 8, "an item made visible appears");
        Equal(MenuAt(opts, 2).text, std::string("&Hidden"), "in its place");
        Equal(MenuAt(opts, 1).id, betaId, "a rebuild keeps the command ids");
        grey.SetEnabled(true);
        Check(!(MenuAt(opts, 3).state & MFS_GRAYED), "enabled item is no longer greyed");
        // A command whose handler fails: the application shows the error (in a box the answering
        // thread closes) and goes on.
        answer.caption = "Peer checks";
        answer.button = IDOK;
        AnswerNextBox(answer);
        ::SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(MenuAt(opts, 7).id, 0), 0);
        Check(answer.seen, "an error raised by a menu handler is shown in a message box");
        // Commands that are not ours do nothing.
        ::SendMessageA(hwnd, WM_COMMAND, MAKEWPARAM(0xEFF0, 0), 0);
    });

    steps.push_back([&] {
        Check(::IsWindow(hwnd) && ::IsWindowVisible(hwnd), "and the program goes on");
        // Tabs.
        Equal(static_cast<int>(::SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0)), 2, "two tabs");
        int image = -5;
        Equal(TabText(tabs, 1, &image), std::string("Two"), "second tab caption");
        Equal(image, 1, "second tab image");
        Check(::SendMessageA(tabs, TCM_GETIMAGELIST, 0, 0) ==
                  reinterpret_cast<::LRESULT>(win32::Win32ImageListPeer::HandleOf(&pageImages)),
              "tabs show the page image list");
        Equal(static_cast<int>(::SendMessageA(tabs, TCM_GETCURSEL, 0, 0)), 0, "first tab selected");
        Check(::IsWindowVisible(WindowOf(one)) && !::IsWindowVisible(WindowOf(two)), "only the first page shows");
        Check(::GetParent(WindowOf(one)) == tabs, "pages are children of the tab control");
        pages.SetActivePageIndex(1);
        Equal(static_cast<int>(::SendMessageA(tabs, TCM_GETCURSEL, 0, 0)), 1, "program's page choice selects the tab");
        Check(!::IsWindowVisible(WindowOf(one)) && ::IsWindowVisible(WindowOf(two)), "and shows its page");
        Equal(pageChanges, 0, "a program's page choice is not reported as the user's");
        two.SetCaption("Second");
        Equal(TabText(tabs, 1), std::string("Second"), "a page caption shows on its tab");
    });

    steps.push_back([&] {
        // Page two's simple controls.
        ::HWND g = WindowOf(group);
        Equal(ClassOf(g), std::string("Button"), "group box is a button");
        Equal(static_cast<int>(::GetWindowLongA(g, GWL_STYLE) & 0xF), static_cast<int>(BS_GROUPBOX), "of group style");
        Equal(WindowText(g), std::string("Group"), "group caption");
        ::HWND l = WindowOf(label);
        Check(::GetParent(l) == g, "label sits in the group box");
        Equal(static_cast<int>(::GetWindowLongA(l, GWL_STYLE) & SS_TYPEMASK), static_cast<int>(SS_RIGHT),
              "label is right-aligned");
        label.SetCaption("Changed");
        Equal(WindowText(l), std::string("Changed"), "label caption follows");
        group.SetCaption("Frame");
        Equal(WindowText(g), std::string("Frame"), "group caption follows");
        ::UpdateWindow(hwnd);
        ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        ::HWND gw = WindowOf(gauge);
        ::HDC dc = ::GetDC(gw);
        COLORREF top = ::GetPixel(dc, 5, 5);
        COLORREF bottom = ::GetPixel(dc, 5, 85);
        ::ReleaseDC(gw, dc);
        Equal(static_cast<unsigned>(top), static_cast<unsigned>(gauge.BackColor), "gauge top in the back colour");
        Equal(static_cast<unsigned>(bottom), static_cast<unsigned>(gauge.ForeColor), "gauge bottom in the fore colour");
        gauge.SetProgress(90);
        ::UpdateWindow(gw);
        dc = ::GetDC(gw);
        COLORREF upper = ::GetPixel(dc, 5, 20);
        ::ReleaseDC(gw, dc);
        Equal(static_cast<unsigned>(upper), static_cast<unsigned>(gauge.ForeColor), "a higher progress fills higher");
        ::HWND rw = WindowOf(red);
        dc = ::GetDC(rw);
        COLORREF panelColour = ::GetPixel(dc, 10, 10);
        ::ReleaseDC(rw, dc);
        Equal(static_cast<unsigned>(panelColour), 0x0000FFu, "panel painted in its colour");
        // The user clicks the first tab.
        ::SendMessageA(tabs, TCM_SETCURSEL, 0, 0);
        NMHDR n{tabs, static_cast<UINT_PTR>(::GetDlgCtrlID(tabs)), static_cast<UINT>(TCN_SELCHANGE)};
        ::SendMessageA(::GetParent(tabs), WM_NOTIFY, n.idFrom, reinterpret_cast<::LPARAM>(&n));
        Equal(pages.ActivePageIndex(), 0, "a tab the user chose becomes the active page");
        Equal(pageChanges, 1, "and is reported once");
        Check(::IsWindowVisible(WindowOf(one)) && !::IsWindowVisible(WindowOf(two)), "its page shows");
        // A label on the hidden page takes a new text when asked for it or when its page shows.
        ::HWND held = WindowOf(label);
        label.SetCaption("Held");
        Equal(StoredText(held), std::string("Changed"), "a hidden page's label holds its new text back");
        Equal(WindowText(held), std::string("Held"), "but answers WM_GETTEXT with it");
        label.SetCaption("Shown");
        // So does a font of its own, which the system would make ready (loading its file) when the
        // window takes it.
        const TFont labelFont = label.Font();
        const ::HFONT verdanaFont = win32Ui->FontFor(verdana);
        label.SetFont(verdana);
        Check(StoredFont(held) != verdanaFont, "a hidden page's label holds a font of its own back");
        Check(reinterpret_cast<::HFONT>(::SendMessageA(held, WM_GETFONT, 0, 0)) == verdanaFont,
              "but answers WM_GETFONT with it");
        label.SetFont(labelFont);
        label.SetFont(verdana);
        pages.SetActivePageIndex(1);
        Equal(StoredText(held), std::string("Shown"), "and its page shows it");
        Check(StoredFont(held) == verdanaFont, "and its font");
        label.SetFont(labelFont);
        Check(StoredFont(held) == win32Ui->Font(), "the default font goes into a shown window at once");
        pages.SetActivePageIndex(0);
    });

    steps.push_back([&] {
        // List view rows, columns and images.
        Equal(ListCount(lv), 12, "rows in the control");
        Equal(ListText(lv, 3, 0), std::string("row 3"), "row caption");
        Equal(ListText(lv, 3, 1), std::string("103"), "first sub-item");
        Equal(ListText(lv, 3, 2), std::string("3"), "second sub-item");
        ::HWND header = reinterpret_cast<::HWND>(::SendMessageA(lv, LVM_GETHEADER, 0, 0));
        Equal(static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)), 3, "three columns");
        Equal(static_cast<int>(::SendMessageA(lv, LVM_GETCOLUMNWIDTH, 0, 0)), 120, "column width");
        Equal(ListImage(lv, 1), 1, "row image");
        Equal(ListImage(lv, 2), static_cast<int>(I_IMAGENONE), "a row without an image has none");
        Equal(static_cast<int>(::GetWindowLongA(lv, GWL_STYLE) & LVS_TYPEMASK), static_cast<int>(LVS_REPORT),
              "report view");
        list.DeleteItem(1);
        Equal(ListCount(lv), 11, "a deleted row goes");
        Equal(ListText(lv, 1, 0), std::string("row 2"), "and the rows after it move up");
        // A row inserted in the middle: the control moves the rows below it itself, and the selected
        // row stays selected where it went.
        list.SetSelectedIndex(3);
        RowMessages counts;
        WatchRows(lv, counts);
        list.InsertItem(1).SetCaption("inserted");
        UnwatchRows(lv, counts);
        Equal(ListCount(lv), 12, "a row inserted in the middle");
        Equal(ListText(lv, 1, 0), std::string("inserted"), "shows where it was inserted");
        Equal(ListText(lv, 2, 0), std::string("row 2"), "and the rows after it move down");
        Equal(counts.inserts, 1, "one insertion reaches the control");
        Check(counts.texts <= 2, "and no other row is sent again (" + std::to_string(counts.texts) + " texts)");
        Equal(ListSelected(lv), 4, "the selected row stays selected");
        list.DeleteItem(1);
        list.SetSelectedIndex(-1);
        selections = 0;
        list.Item(4).SetCaption("renamed");
        list.Item(4).SetSubItem(1, "9");
        Equal(ListText(lv, 4, 0), std::string("renamed"), "a changed caption shows");
        Equal(ListText(lv, 4, 2), std::string("9"), "a changed sub-item shows");
        list.Item(0).SetImageIndex(-1);
        Equal(ListImage(lv, 0), static_cast<int>(I_IMAGENONE), "an image removed from a row");
        list.SetSelectedIndex(2);
        Equal(ListSelected(lv), 2, "the program's selection shows");
        Equal(selections, 1, "the widget runs OnSelectItem once for it, the control adds no second run");
        // The user selects row 5.
        LVITEMA st{};
        st.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        st.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageA(lv, LVM_SETITEMSTATE, 5, reinterpret_cast<::LPARAM>(&st));
        Equal(list.SelectedIndex(), 5, "the user's selection reaches the widget");
        Check(selections >= 1, "and fires OnSelectItem");
        selections = 0;
        // The user drags a column wider.
        ::SendMessageA(lv, LVM_SETCOLUMNWIDTH, 1, MAKELPARAM(90, 0));
        Equal(list.Column(1).Width, 90, "a column width the user set reaches the widget");
        list.SetColumnWidth(2, 75);
        Equal(static_cast<int>(::SendMessageA(lv, LVM_GETCOLUMNWIDTH, 2, 0)), 75, "the program's column width shows");
        list.AddColumn("Extra", 40);
        Equal(static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)), 4, "a column added later shows");
        list.Item(3).SetSubItems({"a", "b", "c"});
        Equal(ListText(lv, 3, 3), std::string("c"), "and takes its sub-item text");
    });

    steps.push_back([&] {
        // The user clicks from row 5 to row 7: one change of selection, none in between.
        LVITEMA st{};
        st.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        st.state = LVIS_SELECTED | LVIS_FOCUSED;
        ::SendMessageA(lv, LVM_SETITEMSTATE, 7, reinterpret_cast<::LPARAM>(&st));
        Equal(list.SelectedIndex(), 7, "moving the selection reaches the widget");
        // The user clears the selection.
        LVITEMA none{};
        none.stateMask = LVIS_SELECTED;
        ::SendMessageA(lv, LVM_SETITEMSTATE, static_cast<::WPARAM>(-1), reinterpret_cast<::LPARAM>(&none));
    });

    steps.push_back([&] {
        Equal(list.SelectedIndex(), -1, "clearing the selection reaches the widget once messages ran");
        // A batch of changes with drawing suspended.
        list.BeginUpdate();
        for (int i = 0; i < 40; ++i) list.AddItem().SetCaption("batch " + std::to_string(i));
        list.EndUpdate();
        Equal(ListCount(lv), 51, "rows added in a batch");
        Equal(ListText(lv, 50, 0), std::string("batch 39"), "last batch row");
        list.SetViewStyle(TViewStyle::vsSmallIcon);
        Equal(static_cast<int>(::GetWindowLongA(lv, GWL_STYLE) & LVS_TYPEMASK), static_cast<int>(LVS_SMALLICON),
              "view style follows");
        list.SetViewStyle(TViewStyle::vsReport);
        // Image list: the control's image list follows the widget's.
        ::HIMAGELIST sil = win32::Win32ImageListPeer::HandleOf(&smallImages);
        Equal(::ImageList_GetImageCount(sil), smallImages.Count(), "image counts agree");
        Equal(smallImages.AddIcon(12345), -1, "a handle that is no icon is refused");
        smallImages.Delete(0);
        Equal(::ImageList_GetImageCount(sil), 3, "a deleted image goes");
        smallImages.AddIcon(appIcon);
        Equal(::ImageList_GetImageCount(sil), 4, "an added image comes");
        Check(::SendMessageA(lv, LVM_GETIMAGELIST, LVSIL_SMALL, 0) == reinterpret_cast<::LRESULT>(sil),
              "list shows the small image list");
        list.ClearItems();
        Equal(ListCount(lv), 0, "all rows cleared");
        list.AddItem().SetCaption("again");
        Equal(ListText(lv, 0, 0), std::string("again"), "rows come back after a clear");
    });

    // --- List view: events, popup menu, sorting and the scroll position ---
    MenuAnswer menuAnswer;
    int scrollMark = 0, clickRow = -1, dblRow = -1, popupRow = -1;
    ::POINT popupAt{}, keyAt{};
    auto openedAt = [&](::POINT p) {
        return menuAnswer.seen && menuAnswer.rect.left == p.x && menuAnswer.rect.top == p.y;
    };
    auto where = [&](::POINT p) {
        return " (menu at " + std::to_string(menuAnswer.rect.left) + "," + std::to_string(menuAnswer.rect.top) +
               ", expected " + std::to_string(p.x) + "," + std::to_string(p.y) + ")";
    };

    steps.push_back([&] {
        list.SetSelectedIndex(-1);
        list.ClearItems();
        list.BeginUpdate();
        for (int i = 0; i < 1000; ++i) {
            TListItem& item = list.AddItem();
            int pid = (i * 7919) % 1000;  // every value once, in a scrambled order
            item.SetCaption("proc " + std::to_string(1000 + i));
            item.SetSubItems({std::to_string(4000 + pid), std::to_string(pid % 7)});
        }
        list.EndUpdate();
        Equal(ListCount(lv), 1000, "a thousand rows");
        Check(!(::SendMessageA(lv, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT),
              "without row select only the caption selects");
        list.SetRowSelect(true);
        Check(::SendMessageA(lv, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_FULLROWSELECT,
              "with row select the control selects whole rows");
        const std::string sansFace = FontOfWindow(lv).lfFaceName;
        Check(FontHandle(lv) == win32Ui->FontFor(TFont{}), "a control starts in the default font, MS Sans Serif (made in " +
                                                                sansFace + ")");
        Equal(static_cast<int>(FontOfWindow(lv).lfHeight), PointHeight(8), "at 8 points");
        list.SetFont(verdana);
        const std::string verdanaFace = FontOfWindow(lv).lfFaceName;
        Check(FontHandle(lv) == win32Ui->FontFor(verdana), "a font set later reaches the control");
        Check(verdanaFace != sansFace, "Verdana is another face than MS Sans Serif (made in " + verdanaFace + ")");
        Equal(static_cast<int>(FontOfWindow(lv).lfHeight), PointHeight(8), "at its size");
        Equal(static_cast<unsigned>(::SendMessageA(lv, LVM_GETTEXTCOLOR, 0, 0)), 0u, "in its colour, black");
        list.SetTopIndex(100);
        Equal(TopRow(lv), 100, "the program's top index scrolls the control");
        Equal(list.TopIndex(), 100, "and stays the widget's");
        list.SetSelectedIndex(110);
        Equal(TopRow(lv), 100, "selecting a row in sight does not scroll");
    });

    steps.push_back([&] {
        SaveShot(hwnd, "list-verdana-rowselect");
        const int top = TopRow(lv);
        TListItem* selected = list.Selected();
        ::HWND header = reinterpret_cast<::HWND>(::SendMessageA(lv, LVM_GETHEADER, 0, 0));
        const int columns = static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
        std::vector<std::vector<std::string>> shown(1000, std::vector<std::string>(static_cast<size_t>(columns)));
        for (int r = 0; r < 1000; ++r)
            for (int c = 0; c < columns; ++c) shown[static_cast<size_t>(r)][static_cast<size_t>(c)] = ListText(lv, r, c);
        RowMessages counts;
        WatchRows(lv, counts);
        DWORD t0 = ::GetTickCount();
        list.Sort([](const TListItem& a, const TListItem& b) { return a.SubItems()[0] > b.SubItems()[0]; });
        DWORD elapsed = ::GetTickCount() - t0;
        UnwatchRows(lv, counts);
        int changed = 0;
        bool same = true;
        for (int r = 0; r < 1000; ++r) {
            const TListItem& item = list.Item(r);
            const auto& before = shown[static_cast<size_t>(r)];
            if (before[0] != item.Caption()) ++changed;
            for (int c = 1; c < columns; ++c) {
                size_t sub = static_cast<size_t>(c - 1);
                std::string want = sub < item.SubItems().size() ? item.SubItems()[sub] : std::string();
                if (before[static_cast<size_t>(c)] != want) ++changed;
                same = same && ListText(lv, r, c) == want;
            }
            same = same && ListText(lv, r, 0) == item.Caption();
        }
        Check(list.IsSorted([](const TListItem& a, const TListItem& b) { return a.SubItems()[0] > b.SubItems()[0]; }),
              "the widget's rows are sorted");
        Check(same, "after sorting every row of the control shows its item's texts");
        Equal(counts.inserts, 0, "sorting a thousand rows inserts no row");
        Equal(counts.deletes, 0, "and deletes none");
        Equal(counts.texts, changed,
              "it sends exactly the cells that changed (" + std::to_string(changed) + " cells, " +
                  std::to_string(elapsed) + " ms)");
        Equal(ListSelected(lv), selected->Index(), "the selected item stays selected where it went");
        Check(list.Selected() == selected, "in the widget too");
        Equal(TopRow(lv), top, "sorting keeps the scroll position");
        Equal(list.TopIndex(), top, "and the widget's top index");
    });

    steps.push_back([&] {
        // A row out of sight comes into view, scrolled as little as needed, and the list takes the
        // focus; the selection shows while the list has not the focus as well.
        Check(HasStyle(lv, LVS_SHOWSELALWAYS), "the list shows its selection also without the focus");
        const int top = TopRow(lv);
        const int page = static_cast<int>(::SendMessageA(lv, LVM_GETCOUNTPERPAGE, 0, 0));
        const int row = top + page + 20;
        list.SetSelectedIndex(row);
        list.MakeVisible(row);
        Equal(TopRow(lv), row - page + 1, "a row made visible below the rows shown becomes the last one shown");
        Equal(list.TopIndex(), TopRow(lv), "and the widget knows the new first row");
        form.FocusControl(list);
        Check(::GetFocus() == lv, "the list takes the focus");
        list.SetTopIndex(top);
    });

    steps.push_back([&] {
        const int top = TopRow(lv);
        list.Item(top + 1).SetCaption("renamed row");
        list.Item(top + 2).SetSubItem(0, "9999");
        list.SetSelectedIndex(top + 60);
        Equal(TopRow(lv), top, "changing texts and selecting a row out of sight keep the scroll position");
        Equal(ListSelected(lv), top + 60, "the program's selection shows all the same");
        scrollMark = top;
        // The user scrolls two lines down with the scroll bar.
        ::PostMessageA(lv, WM_VSCROLL, SB_LINEDOWN, 0);
        ::PostMessageA(lv, WM_VSCROLL, SB_LINEDOWN, 0);
    });

    steps.push_back([&] {
        Equal(TopRow(lv), scrollMark + 2, "the scroll bar scrolled the control");
        Equal(list.TopIndex(), TopRow(lv), "the user's scrolling reaches the widget");
        scrollMark = TopRow(lv);
        // One notch of the wheel, towards the user.
        ::POINT at = ToScreen(lv, 60, 120);
        ::PostMessageA(lv, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), MAKELPARAM(at.x, at.y));
    });

    steps.push_back([&] {
        Check(TopRow(lv) > scrollMark, "the wheel scrolled the control (" + std::to_string(scrollMark) + " -> " +
                                           std::to_string(TopRow(lv)) + ")");
        Equal(list.TopIndex(), TopRow(lv), "and the widget knows the new first row");
        scrollMark = TopRow(lv);
        // Page Down twice: the first goes to the last row in view, the second a page further.
        for (int i = 0; i < 2; ++i) {
            ::PostMessageA(lv, WM_KEYDOWN, VK_NEXT, 1);
            ::PostMessageA(lv, WM_KEYUP, VK_NEXT, static_cast<::LPARAM>(0xC0000001));
        }
    });

    steps.push_back([&] {
        Check(TopRow(lv) > scrollMark, "keys that move the selection scrolled the control (" +
                                           std::to_string(scrollMark) + " -> " + std::to_string(TopRow(lv)) + ")");
        Equal(list.TopIndex(), TopRow(lv), "and the widget knows where to");
        Equal(list.SelectedIndex(), ListSelected(lv), "as well as the row the key selected");
        // The user clicks the second column's header.
        ::HWND header = reinterpret_cast<::HWND>(::SendMessageA(lv, LVM_GETHEADER, 0, 0));
        RECT c{};
        ::SendMessageA(header, HDM_GETITEMRECT, 1, reinterpret_cast<::LPARAM>(&c));
        PostClick(header, (c.left + c.right) / 2, (c.top + c.bottom) / 2);
    });

    steps.push_back([&] {
        Equal(columnClicks, 1, "a click on a column header runs OnColumnClick once");
        Equal(columnClicked, 1, "with that column's index");
        // The user clicks a row in its second column: with row select that selects the row.
        clickRow = TopRow(lv) + 2;
        RECT r = RowRect(lv, clickRow);
        int x = static_cast<int>(::SendMessageA(lv, LVM_GETCOLUMNWIDTH, 0, 0)) + 10;
        listClicks = 0;
        PostClick(lv, x, (r.top + r.bottom) / 2);
    });

    steps.push_back([&] {
        Equal(listClicks, 1, "a click on a row runs OnClick once");
        Equal(clickSelected, clickRow, "after the clicked row became the widget's selection");
        Equal(list.SelectedIndex(), clickRow, "the row clicked is selected");
        dblRow = TopRow(lv) + 4;
        RECT r = RowRect(lv, dblRow);
        listDblClicks = 0;
        PostClick(lv, 30, (r.top + r.bottom) / 2, true);
    });

    steps.push_back([&] {
        Equal(listDblClicks, 1, "a double click runs OnDblClick once");
        Equal(dblSelected, dblRow, "on the row double-clicked, already selected");
        // A right click on another row opens the list's popup menu; the user chooses its first item.
        popupRow = TopRow(lv) + 6;
        RECT r = RowRect(lv, popupRow);
        int y = (r.top + r.bottom) / 2;
        popupAt = ToScreen(lv, 40, y);
        ::SetCursorPos(popupAt.x, popupAt.y);
        AnswerNextMenu(menuAnswer, {VK_DOWN, VK_RETURN}, "list-popup-menu");
        ::PostMessageA(lv, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(40, y));
        ::PostMessageA(lv, WM_RBUTTONUP, 0, MAKELPARAM(40, y));
        waitFor = [&] { return menuAnswer.done; };
    });

    steps.push_back([&] {
        Check(menuAnswer.seen, "a right click on a row opens the list's popup menu");
        Equal(popups, 1, "OnPopup ran once");
        Check(!menuShownAtPopup, "before the menu showed");
        Equal(selectedAtPopup, popupRow, "with the right-clicked row already the widget's selection");
        Check(openedAt(popupAt), "the menu opens where the user clicked" + where(popupAt));
        Equal(rowOpens, 1, "the item the user chose ran");
        auto* peer = dynamic_cast<win32::Win32MenuPeer*>(rowMenu.Peer());
        Check(peer && ::GetMenuDefaultItem(peer->Handle(), TRUE, 0) == 0,
              "the menu's default item is the system's default item, drawn bold");
        // The menu key, with a row selected in sight: the menu opens below the row.
        list.SetSelectedIndex(TopRow(lv) + 1);
        RECT label = RowRect(lv, list.SelectedIndex(), LVIR_LABEL);
        keyAt = ToScreen(lv, std::max<int>(label.left, 0), label.bottom);
        AnswerNextMenu(menuAnswer, {VK_ESCAPE});
        ::PostMessageA(lv, WM_CONTEXTMENU, reinterpret_cast<::WPARAM>(lv), static_cast<::LPARAM>(-1));
        waitFor = [&] { return menuAnswer.done; };
    });

    steps.push_back([&] {
        Check(openedAt(keyAt), "the menu key opens the menu below the selected row" + where(keyAt));
        Equal(popups, 2, "through OnPopup again");
        Equal(rowOpens, 1, "Escape chooses nothing");
        // The selected row out of sight: at the control's corner.
        list.SetSelectedIndex(0);
        keyAt = ToScreen(lv, 0, 0);
        AnswerNextMenu(menuAnswer, {VK_ESCAPE});
        ::PostMessageA(lv, WM_CONTEXTMENU, reinterpret_cast<::WPARAM>(lv), static_cast<::LPARAM>(-1));
        waitFor = [&] { return menuAnswer.done; };
    });

    steps.push_back([&] {
        Check(openedAt(keyAt), "with the selected row out of sight, at the control's corner" + where(keyAt));
        Equal(selectedAtPopup, 0, "the widget's selection is the row selected");
        // A few rows, one selected; the user clicks below the last one.
        list.ClearItems();
        for (int i = 0; i < 3; ++i) list.AddItem().SetCaption("short " + std::to_string(i));
        list.SetSelectedIndex(1);
        listClicks = 0;
        clickSelected = -2;
        RECT last = RowRect(lv, 2);
        PostClick(lv, 30, last.bottom + 20);
    });

    steps.push_back([&] {
        Equal(listClicks, 1, "a click below the rows runs OnClick once");
        Equal(clickSelected, -1, "after the widget learnt that the click left nothing selected");
        Equal(ListSelected(lv), -1, "as the control shows");
        // The tool window.
        tool.Show();
    });

    steps.push_back([&] {
        ::HWND tw = WindowOf(tool);
        Check(tw && ::IsWindowVisible(tw), "the tool window shows");
        Equal(SizeText(ClientSize(tw)), std::string("240x110"),
              "a client size set before the window existed is exact");
        Check(HasExStyle(tw, WS_EX_TOOLWINDOW) && !HasExStyle(tw, WS_EX_APPWINDOW),
              "a tool window: small caption, no task bar button");
        Check(HasStyle(tw, WS_CAPTION | WS_SYSMENU), "with a caption and a close button");
        Check(!HasStyle(tw, WS_THICKFRAME) && !HasStyle(tw, WS_MINIMIZEBOX) && !HasStyle(tw, WS_MAXIMIZEBOX),
              "a fixed frame without minimise and maximise boxes");
        Check(::GetWindow(tw, GW_OWNER) == hwnd, "owned by the main window");
        RECT wr{};
        ::GetWindowRect(tw, &wr);
        ::POINT origin = ToScreen(tw, 0, 0);
        int frame = origin.x - wr.left;
        int caption = origin.y - wr.top - frame;
        Check(caption >= ::GetSystemMetrics(SM_CYSMCAPTION) && caption < ::GetSystemMetrics(SM_CYCAPTION) + 1,
              "its caption is the small one (" + std::to_string(caption) + " pixels; small " +
                  std::to_string(::GetSystemMetrics(SM_CYSMCAPTION)) + ", normal " +
                  std::to_string(::GetSystemMetrics(SM_CYCAPTION)) + ")");
        Check(frame <= ::GetSystemMetrics(SM_CXFIXEDFRAME) + 1, "and the thin fixed frame (" + std::to_string(frame) + ")");
        tool.SetClientSize(260, 120);
        Equal(SizeText(ClientSize(tw)), std::string("260x120"), "a client size set while it shows is exact");
        Check(tool.ClientWidth() == 260 && tool.ClientHeight() == 120, "and the form knows it");
        // The main form, menu bar and all.
        RECT before{};
        ::GetWindowRect(hwnd, &before);
        form.SetClientSize(430, 470);
        Equal(SizeText(ClientSize(hwnd)), std::string("430x470"), "the main form's client size is exact below its menu bar");
        form.SetBounds(before.left, before.top, before.right - before.left, before.bottom - before.top);
    });

    steps.push_back([&] {
        // Check box.
        ::HWND bw = WindowOf(box);
        Equal(ClassOf(bw), std::string("Button"), "a check box is a button");
        Equal(static_cast<int>(::GetWindowLongA(bw, GWL_STYLE) & 0xF), static_cast<int>(BS_AUTOCHECKBOX),
              "that checks itself");
        Equal(WindowText(bw), std::string("&Show 16-bit tasks"), "with its caption");
        Equal(static_cast<int>(FontOfWindow(bw).lfWeight), static_cast<int>(FW_BOLD), "in its bold font");
        Check(FontHandle(WindowOf(edit)) == win32Ui->FontFor(TFont{}), "controls without a font of their own use MS Sans Serif");
        box.SetChecked(true);
        Equal(static_cast<int>(::SendMessageA(bw, BM_GETCHECK, 0, 0)), static_cast<int>(BST_CHECKED),
              "the program's check shows");
        Equal(boxClicks, 0, "and is not reported as a click");
        PostClick(bw, 6, 10);
    });

    steps.push_back([&] {
        ::HWND bw = WindowOf(box);
        Check(!box.Checked(), "the user's click unchecks the widget");
        Equal(static_cast<int>(::SendMessageA(bw, BM_GETCHECK, 0, 0)), static_cast<int>(BST_UNCHECKED),
              "as the box shows");
        Equal(boxClicks, 1, "OnClick ran once");
        PostClick(bw, 6, 10);
    });

    steps.push_back([&] {
        ::HWND bw = WindowOf(box);
        Check(box.Checked() && boxClicks == 2, "a second click checks it again");
        box.SetChecked(false);
        Equal(static_cast<int>(::SendMessageA(bw, BM_GETCHECK, 0, 0)), static_cast<int>(BST_UNCHECKED),
              "the program unchecks it");
        // The menu key on the check box: its own popup menu, at its corner.
        keyAt = ToScreen(bw, 0, 0);
        AnswerNextMenu(menuAnswer, {VK_ESCAPE});
        ::PostMessageA(bw, WM_CONTEXTMENU, reinterpret_cast<::WPARAM>(bw), static_cast<::LPARAM>(-1));
        waitFor = [&] { return menuAnswer.done; };
    });

    steps.push_back([&] {
        Check(openedAt(keyAt), "any control with a popup menu opens it: the check box's, at its corner" + where(keyAt));
        Equal(boxPopups, 1, "its OnPopup ran");
        // Edit fields.
        ::HWND ew = WindowOf(edit);
        Equal(ClassOf(ew), std::string("Edit"), "an edit field is an edit control");
        Check(HasExStyle(ew, WS_EX_CLIENTEDGE), "a bordered field has the sunken edge");
        Check(!HasStyle(ew, ES_READONLY) && HasStyle(ew, ES_AUTOHSCROLL), "editable, scrolling sideways");
        Equal(WindowText(ew), std::string("hello"), "showing its text");
        edit.SetText("world");
        Equal(WindowText(ew), std::string("world"), "the program's text shows");
        ::SIZE size = ClientSize(ew);
        Equal(Hex(PixelAt(ew, size.cx - 3, size.cy / 2)), Hex(::GetSysColor(COLOR_WINDOW)),
              "an editable field shows on the window colour");
        // The colour is read when the field paints.
        edit.Color = clBtnFace;
        ::InvalidateRect(ew, nullptr, TRUE);
        Equal(Hex(PixelAt(ew, size.cx - 3, size.cy / 2)), Hex(::GetSysColor(COLOR_BTNFACE)),
              "an editable field asked for the button face shows on it");
        edit.Color = 0x00FFFF;
        ::InvalidateRect(ew, nullptr, TRUE);
        Equal(Hex(PixelAt(ew, size.cx - 3, size.cy / 2)), Hex(0x00FFFF), "and on a colour of its own");
        edit.Color = -1;
        ::InvalidateRect(ew, nullptr, TRUE);
        // The user types at the end.
        ::PostMessageA(ew, WM_KEYDOWN, VK_END, 0);
        ::PostMessageA(ew, WM_CHAR, '!', 0);
    });

    steps.push_back([&] {
        Equal(edit.Text(), std::string("world!"), "what the user types becomes the widget's text");
        ::HWND vw = WindowOf(value);
        Check(HasStyle(vw, ES_READONLY), "a read-only field is read-only");
        Check(!HasExStyle(vw, WS_EX_CLIENTEDGE), "a borderless field has no edge");
        RECT wr{};
        ::GetWindowRect(vw, &wr);
        ::SIZE size = ClientSize(vw);
        Check(size.cx == wr.right - wr.left && size.cy == wr.bottom - wr.top, "and no border at all");
        Equal(Hex(PixelAt(vw, size.cx - 3, size.cy / 2)), Hex(::GetSysColor(COLOR_BTNFACE)),
              "it shows on the button face");
        Equal(TextFromOtherThread(vw), std::string("1234 K"), "its text is readable with WM_GETTEXT from another thread");
        value.SetReadOnly(false);
        value.SetBorderStyle(TEditBorder::bsSingle);
        ::GetWindowRect(vw, &wr);
        size = ClientSize(vw);
        Check(!HasStyle(vw, ES_READONLY), "read-only can be switched off");
        Check(HasExStyle(vw, WS_EX_CLIENTEDGE) && size.cx < wr.right - wr.left, "and the border on");
        value.SetReadOnly(true);
        value.SetBorderStyle(TEditBorder::bsNone);
        ::GetWindowRect(vw, &wr);
        size = ClientSize(vw);
        Check(HasStyle(vw, ES_READONLY) && !HasExStyle(vw, WS_EX_CLIENTEDGE) && size.cx == wr.right - wr.left,
              "and both back again");
        value.SetText("5678 K");
        Equal(WindowText(vw), std::string("5678 K"), "a read-only field shows the program's new value");
        // The picture.
        ::HWND iw = WindowOf(image);
        Equal(Hex(PixelAt(iw, 8, 8)), Hex(redColour), "the picture shows its icon");
        Equal(Hex(PixelAt(iw, 40, 40)), Hex(::GetSysColor(COLOR_BTNFACE)), "at its own size, the rest on the button face");
        image.SetIcon(win32::FromHicon(blueIcon));
        Equal(Hex(PixelAt(iw, 8, 8)), Hex(blueColour), "a new icon repaints the picture");
        image.SetStretch(true);
        Equal(Hex(PixelAt(iw, 40, 40)), Hex(blueColour), "a stretched icon fills the control");
    });

    steps.push_back([&] {
        SaveShot(WindowOf(tool), "tool-window");
        // The modal sizable form (its timer checks it and presses OK).
        mainWindow = hwnd;
        dialogTimer.SetEnabled(true);
        int result = dialog.ShowModal();
        Check(dialogChecked, "the modal sizable form was shown and looked at");
        Equal(result, mrOk, "its OK button ended the showing");
        Check(::IsWindowEnabled(hwnd), "the main window takes input again");
    });

    steps.push_back([&] {
        // The hourglass.
        ::HCURSOR wait = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32514));
        ::HCURSOR arrow = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
        ::HCURSOR beam = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32513));
        ::POINT over = ToScreen(lv, 100, 120);
        ::SetCursorPos(over.x, over.y);
        {
            THourGlass busy(app);
            Check(::GetCursor() == wait, "the hourglass shows at once");
            bool everywhere = true;
            for (::HWND w : {hwnd, lv, sbw, WindowOf(edit), WindowOf(box), WindowOf(tool)}) {
                ::SetCursor(arrow);
                ::LRESULT handled = ::SendMessageA(w, WM_SETCURSOR, reinterpret_cast<::WPARAM>(w),
                                                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
                everywhere = everywhere && handled && ::GetCursor() == wait;
            }
            Check(everywhere, "every window of the program shows it while the program is busy");
        }
        Check(app.Cursor() == TCursor::crDefault, "the hourglass goes when the step ends");
        Check(::GetCursor() == arrow, "and the arrow is back at once");
        ::SendMessageA(WindowOf(edit), WM_SETCURSOR, reinterpret_cast<::WPARAM>(WindowOf(edit)),
                       MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        Check(::GetCursor() == beam, "an edit field shows its text cursor again");
        // Text widths.
        TFont sans, bold;
        bold.Bold = true;
        const std::string text = "Processes: 128";
        const int n = static_cast<int>(text.size());
        int plain = platform.Ui.TextWidth(sans, text);
        int wide = platform.Ui.TextWidth(verdana, text);
        int longer = platform.Ui.TextWidth(sans, text + " of 4096");
        int heavy = platform.Ui.TextWidth(bold, text);
        std::string faces;
        {
            ::HDC dc = ::CreateCompatibleDC(nullptr);
            char face[LF_FACESIZE] = {};
            ::HGDIOBJ old = ::SelectObject(dc, win32Ui->FontFor(verdana));
            ::GetTextFaceA(dc, sizeof face, face);
            faces = std::string(" (Verdana drawn as ") + face;
            ::SelectObject(dc, win32Ui->FontFor(sans));
            ::GetTextFaceA(dc, sizeof face, face);
            faces += std::string(", MS Sans Serif as ") + face + ")";
            ::SelectObject(dc, old);
            ::DeleteDC(dc);
        }
        Check(plain >= 3 * n && plain <= 9 * n, "a text's width is plausible for 8 points (" + std::to_string(plain) +
                                                    " pixels for " + std::to_string(n) + " characters)");
        Check(wide > plain, "Verdana is wider than MS Sans Serif (" + std::to_string(wide) + " against " +
                                std::to_string(plain) + ")" + faces);
        Check(longer > plain, "a longer text is wider");
        Check(heavy >= plain, "bold is not narrower");
        Equal(platform.Ui.TextWidth(sans, ""), 0, "no text has no width");
        // A context or font kept per measurement would use up the system's graphics objects
        // (65536 at most) long before this ends, and the widths would change.
        bool steady = true;
        DWORD t0 = ::GetTickCount();
        for (int i = 0; i < 70000 && steady; ++i)
            steady = platform.Ui.TextWidth(i % 2 ? sans : verdana, text) == (i % 2 ? plain : wide);
        ::HDC probe = ::CreateCompatibleDC(nullptr);
        Check(steady && probe, "measuring 70000 times keeps no device contexts or fonts (" +
                                   std::to_string(::GetTickCount() - t0) + " ms)");
        if (probe) ::DeleteDC(probe);
        tool.Hide();
    });

    steps.push_back([&] {
        // The performance page's look.
        perfLook.Show();
    });

    steps.push_back([&] {
        ::HWND pw = WindowOf(perfLook), gw = WindowOf(graph), cw = WindowOf(centred), rw = WindowOf(righted);
        Check(pw && gw && cw && rw && ::IsWindowVisible(gw), "the graph and the gauge labels have windows");
        Equal(ClassOf(gw), std::string(win32::Win32UiBackend::GraphClass()), "the graph is a window of our own class");
        Equal(SizeText(ClientSize(gw)), std::string("121x101"), "at the widget's size");
        ::RedrawWindow(pw, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        SaveShot(pw, "performance-look");
        int w = 0, h = 0;
        auto pixels = ClientPixels(gw, w, h);
        if (!Check(w == 121 && h == 101 && !pixels.empty(), "the graph's pixels can be read")) return;
        auto at = [&](int x, int y) { return Hex(PixelOf(pixels, w, x, y)); };
        Equal(at(50, 90), Hex(black), "the graph's background is black");
        Equal(at(110, 50), Hex(black), "between the grid lines too");
        Equal(at(100, 90), Hex(gridGreen), "a vertical grid line every x step (x = 50)");
        Equal(at(10, 20), Hex(gridGreen), "a horizontal grid line every y step (y = 80)");
        Equal(at(50, 100), Hex(gridGreen), "the x axis along the bottom, where y is 0");
        Equal(at(0, 50), Hex(gridGreen), "the y axis along the left edge, where x is 0");
        Equal(at(30, 50), Hex(lime), "the line runs through its points in its colour (y = 50 from x = 10 to 20)");
        Check(NearColour(pixels, w, h, 73, 50, lime), "a falling stretch of the line is drawn (x = 36.7, y = 50)");
        Check(NearColour(pixels, w, h, 120, 0, lime), "the line reaches its last point in the top right corner");
        Check(NearColour(pixels, w, h, 50, 1, lime) && NearColour(pixels, w, h, 67, 1, lime),
              "a value above the top is drawn up to the top edge, where the line leaves and comes back");
        Equal(at(58, 0), Hex(gridGreen), "and not along the top edge while it is out of sight");
        Equal(at(58, 3), Hex(black), "nor anywhere below it");
        // Flicker: the background is never erased on its own; the paint covers every pixel.
        Check(::GetClassLongPtrA(gw, GCLP_HBRBACKGROUND) == 0, "the graph's class has no background brush");
        {
            ::HDC screen = ::GetDC(nullptr);
            ::HDC mem = ::CreateCompatibleDC(screen);
            ::HBITMAP bmp = ::CreateCompatibleBitmap(screen, 8, 8);
            ::HGDIOBJ old = ::SelectObject(mem, bmp);
            RECT all{0, 0, 8, 8};
            ::FillRect(mem, &all, static_cast<::HBRUSH>(::GetStockObject(WHITE_BRUSH)));
            ::LRESULT erased = ::SendMessageA(gw, WM_ERASEBKGND, reinterpret_cast<::WPARAM>(mem), 0);
            Check(erased != 0 && ::GetPixel(mem, 4, 4) == RGB(255, 255, 255),
                  "erasing its background paints nothing and counts as done");
            ::SelectObject(mem, old);
            ::DeleteObject(bmp);
            ::DeleteDC(mem);
            ::ReleaseDC(nullptr, screen);
        }
        // Plotting off holds the picture; on again, the new points show.
        graph.SetPlotting(false);
        graphLine.Add(5, 95);  // (10, 5) in pixels
        ::InvalidateRect(gw, nullptr, FALSE);
        pixels = ClientPixels(gw, w, h);
        Check(!NearColour(pixels, w, h, 10, 5, lime), "while plotting is off a repaint shows the last picture");
        graph.SetPlotting(true);
        pixels = ClientPixels(gw, w, h);
        Check(NearColour(pixels, w, h, 10, 5, lime), "switched on, the new point shows");
        graphLine.Delete(5);
        pixels = ClientPixels(gw, w, h);
        Check(!NearColour(pixels, w, h, 10, 5, lime), "and a deleted point goes");
        // A change asks for one paint until the paint comes: hidden before it came, the graph still
        // paints that change and the next ones once it shows again.
        graphLine.Add(5, 95);
        ::ShowWindow(gw, SW_HIDE);
        ::ShowWindow(gw, SW_SHOWNA);
        pixels = ClientPixels(gw, w, h);
        Check(NearColour(pixels, w, h, 10, 5, lime), "a point added just before the graph was hidden shows with it");
        graphLine.Delete(5);
        pixels = ClientPixels(gw, w, h);
        Check(!NearColour(pixels, w, h, 10, 5, lime), "and the next change is painted too");
        // Graphics objects: many repaints keep none (a repaint that kept one would leave room for
        // 3000 fewer).
        const int roomBefore = GraphicsRoom();
        const DWORD t0 = ::GetTickCount();
        for (int i = 0; i < 3000; ++i) {
            graphLine.Delete(60);
            graphLine.Add(60, i % 2 ? 100 : 90);
            ::UpdateWindow(gw);
        }
        const DWORD took = ::GetTickCount() - t0;
        const int roomAfter = GraphicsRoom();
        Check(roomBefore > 3000 && roomAfter >= roomBefore - 16,
              "3000 repaints keep no graphics objects (room for " + std::to_string(roomBefore) + " -> " +
                  std::to_string(roomAfter) + "; " + std::to_string(took) + " ms)");
        pixels = ClientPixels(gw, w, h);
        Check(NearColour(pixels, w, h, 120, 0, lime) && PixelOf(pixels, w, 50, 90) == black,
              "after 3000 repaints the graph still draws the same");

        // The gauge labels: bold 19-pixel lime text on the black panel, as aligned.
        const LOGFONTA lf = FontOfWindow(cw);
        Equal(static_cast<int>(lf.lfHeight), -19, "a label's font height in pixels wins over its point size");
        Equal(static_cast<int>(lf.lfWeight), static_cast<int>(FW_BOLD), "in bold");
        {
            ::HDC dc = ::GetDC(cw);
            ::HGDIOBJ old = ::SelectObject(dc, FontHandle(cw));
            char face[LF_FACESIZE] = {};
            ::GetTextFaceA(dc, sizeof face, face);
            TEXTMETRICA tm{};
            ::GetTextMetricsA(dc, &tm);
            ::SelectObject(dc, old);
            ::ReleaseDC(cw, dc);
            // TMPF_FIXED_PITCH set means a variable pitch.
            Check(!(tm.tmPitchAndFamily & TMPF_FIXED_PITCH),
                  std::string("a fixed-pitch face for Courier New (") + lf.lfFaceName + " drawn as " + face + ")");
        }
        for (TLabel* label : {&centred, &righted}) {
            ::HWND lw = WindowOf(*label);
            const Lit text = LitPixels(lw, lime, black);
            const std::string what = "the " + std::string(label == &centred ? "centred" : "right-aligned") + " label";
            Check(text.count > 20, what + " draws its text in lime (" + std::to_string(text.count) + " pixels)");
            const auto labelPixels = ClientPixels(lw, w, h);
            Equal(Hex(PixelOf(labelPixels, w, 1, 1)), Hex(black), what + " shows the panel's black");
            const int height = text.bottom - text.top + 1;
            Check(height >= 11 && height <= 20, what + "'s letters are about 19-pixel ones (" + std::to_string(height) +
                                                    " pixels tall)");
            const int leftGap = text.left, rightGap = text.width - 1 - text.right;
            if (label == &centred)
                Check(std::abs(leftGap - rightGap) <= 2, what + " is centred (" + std::to_string(leftGap) + " and " +
                                                             std::to_string(rightGap) + " pixels free)");
            else
                Check(rightGap <= 3 && leftGap > rightGap + 10, what + " ends at the right edge (" +
                                                                    std::to_string(leftGap) + " and " +
                                                                    std::to_string(rightGap) + " pixels free)");
        }
        perfLook.Hide();
    });

    steps.push_back([&] {
        // Polling threads: passes on this thread, about once an interval.
        passTimes.clear();
        pollStart = ::GetTickCount();
        pollA = platform.Threads.CreatePollingThread(100, [&] {
            passesOnUi = passesOnUi && ::GetCurrentThreadId() == uiThread;
            passTimes.push_back(::GetTickCount());
        });
        Check(pollA != 0, "a polling thread starts");
        waitFor = [&] { return passTimes.size() >= 6 || ::GetTickCount() - pollStart > 4000; };
    });

    steps.push_back([&] {
        const size_t n = passTimes.size();
        Check(n >= 6, "its passes arrive (" + std::to_string(n) + " in " +
                          std::to_string(::GetTickCount() - pollStart) + " ms)");
        Check(passesOnUi, "each on the user-interface thread");
        const DWORD gap = n >= 2 ? (passTimes.back() - passTimes.front()) / static_cast<DWORD>(n - 1) : 0;
        Check(gap >= 80 && gap <= 250, "about every 100 ms (" + std::to_string(gap) + " ms on average)");
        platform.Threads.StopThread(pollA);
        const size_t stoppedAt = passTimes.size();
        Pump(300);
        Equal(passTimes.size(), stoppedAt, "a stopped thread runs no pass after its stop");
        // A thread asleep for a minute: the stop returns at once.
        HANDLE sleeper = platform.Threads.CreatePollingThread(60000, [] {});
        Check(sleeper != 0 && sleeper != pollA, "a new polling thread has a handle of its own");
        Pump(50);
        const DWORD t0 = ::GetTickCount();
        platform.Threads.StopThread(sleeper);
        const DWORD took = ::GetTickCount() - t0;
        Check(took < 500, "a stop of a thread sleeping a minute returns at once (" + std::to_string(took) + " ms)");
        // A thread stopped from inside its own pass.
        cPasses = 0;
        pollC = platform.Threads.CreatePollingThread(30, [&] {
            ++cPasses;
            const DWORD s = ::GetTickCount();
            platform.Threads.StopThread(pollC);
            stopInPassMs = ::GetTickCount() - s;
        });
        pollStart = ::GetTickCount();
        waitFor = [&] {
            const DWORD elapsed = ::GetTickCount() - pollStart;
            return (cPasses >= 1 && elapsed > 400) || elapsed > 3000;
        };
    });

    steps.push_back([&] {
        Equal(cPasses, 1, "a thread stopped from inside its own pass runs no further pass");
        Check(stopInPassMs < 100, "the stop inside the pass returns at once (" + std::to_string(stopInPassMs) + " ms)");
        // A thread caught handing over its pass while this thread does not take it.
        int dPasses = 0;
        HANDLE pollD = platform.Threads.CreatePollingThread(20, [&] { ++dPasses; });
        ::Sleep(300);  // it is waiting for this thread to take its pass now
        DWORD t0 = ::GetTickCount();
        platform.Threads.StopThread(pollD);
        DWORD took = ::GetTickCount() - t0;
        Check(took < 1000, "a stop while the thread waits to hand over its pass returns (" + std::to_string(took) +
                               " ms)");
        Pump(100);
        Equal(dPasses, 0, "and the pass it was handing over does not run");
        // Another thread waiting to hand over its pass while a stop waits: its pass does not run
        // inside the stop.
        bool stopping = false, insideStop = false;
        ePasses = 0;
        pollE = platform.Threads.CreatePollingThread(20, [&] {
            ++ePasses;
            insideStop = insideStop || stopping;
        });
        HANDLE pollF = platform.Threads.CreatePollingThread(20, [] {});
        ::Sleep(300);
        stopping = true;
        platform.Threads.StopThread(pollF);
        stopping = false;
        Check(!insideStop, "another thread's pass does not run inside a stop");
        eMark = ePasses;
        pollStart = ::GetTickCount();
        waitFor = [&] { return ePasses > eMark || ::GetTickCount() - pollStart > 2000; };
    });

    steps.push_back([&] {
        Check(ePasses > eMark, "that thread polls again afterwards");
        platform.Threads.StopThread(pollE);
        // Twenty threads started and stopped, every other one from inside its own pass.
        const DWORD self = ::GetCurrentProcessId();
        const int threadsBefore = SnapshotThreads(self);
        const long handlesBefore = HandleCount();
        HANDLE cycle = 0;
        int withPasses = 0;
        for (int i = 0; i < 20; ++i) {
            int passes = 0;
            const bool stopsItself = i % 2 == 1;
            cycle = platform.Threads.CreatePollingThread(5 + i % 3, [&, stopsItself] {
                ++passes;
                if (stopsItself) platform.Threads.StopThread(cycle);
            });
            // Until its first pass, for at most a second: a machine under load may start a thread late.
            for (const DWORD started = ::GetTickCount(); passes == 0 && ::GetTickCount() - started < 1000;) Pump(10);
            Pump(20);
            platform.Threads.StopThread(cycle);
            if (passes > 0) ++withPasses;
        }
        Pump(50);
        // A last start and stop takes in what the threads that stopped themselves left.
        platform.Threads.StopThread(platform.Threads.CreatePollingThread(1000, [] {}));
        Equal(withPasses, 20, "20 threads started and ran passes");
        const int threadsAfter = SnapshotThreads(self);
        Equal(threadsAfter, threadsBefore, "20 starts and stops leave no thread behind");
        // Six at once, each at its own interval, share the system thread the others ran on.
        constexpr DWORD kIntervals[] = {20, 35, 50, 70, 100, 150};
        std::vector<int> counts(std::size(kIntervals));
        std::vector<HANDLE> six;
        for (size_t i = 0; i < counts.size(); ++i)
            six.push_back(platform.Threads.CreatePollingThread(kIntervals[i], [&counts, i] { ++counts[i]; }));
        Equal(SnapshotThreads(self), threadsBefore, "six threads at once add no system thread");
        Pump(1500);
        for (HANDLE h : six) platform.Threads.StopThread(h);
        std::string seen;
        for (size_t i = 0; i < counts.size(); ++i)
            seen += (i ? ", " : "") + std::to_string(counts[i]) + " at " + std::to_string(kIntervals[i]) + " ms";
        Check(counts.back() >= 4 && counts.front() > 3 * counts.back(),
              "and each polls at its own interval (in 1.5 s: " + seen + ")");
        const long handlesAfter = HandleCount();
        if (handlesBefore >= 0)
            Check(handlesAfter <= handlesBefore + 1, "nor any handle (" + std::to_string(handlesBefore) + " -> " +
                                                         std::to_string(handlesAfter) + ")");
    });

    steps.push_back([&] {
        // The save dialog: closed with its close box, cancelled, a file chosen, a bad starting name.
        save.FileName = "C:\\keep.log";
        AnswerNextDialog(dialogAnswer, DialogAnswer::Close);
        bool chosen = save.Execute();
        Check(dialogAnswer.seen, "the save dialog shows, with its title as caption");
        Check(!chosen, "closed with its close box it chooses nothing");
        Equal(save.FileName, std::string("C:\\keep.log"), "and leaves the file name as it was");
        AnswerNextDialog(dialogAnswer, DialogAnswer::Cancel);
        chosen = save.Execute();
        Check(dialogAnswer.seen && !chosen, "cancelled it chooses nothing");
        Equal(save.FileName, std::string("C:\\keep.log"), "and leaves the file name as it was");
        AnswerNextDialog(dialogAnswer, DialogAnswer::Choose, "C:\\windows\\temp\\peer-save.log");
        chosen = save.Execute();
        Check(dialogAnswer.seen && chosen, "a file name typed and confirmed is chosen");
        Check(_stricmp(save.FileName.c_str(), "C:\\windows\\temp\\peer-save.log") == 0,
              "and becomes the file name (" + save.FileName + ")");
        save.FileName = "bad|name<>.log";
        AnswerNextDialog(dialogAnswer, DialogAnswer::Cancel);
        chosen = save.Execute();
        Check(dialogAnswer.seen, "a starting name no file can have still shows the dialog");
        Check(!chosen && save.FileName == "bad|name<>.log", "cancelled, it leaves that name as it was");
    });

    steps.push_back([&] {
        // The combo box form, shown plainly.
        entry.Show();
    });

    steps.push_back([&] {
        entryWindow = WindowOf(entry);
        comboWindow = WindowOf(combo);
        Check(entryWindow && comboWindow && ::IsWindowVisible(comboWindow), "the combo box has a window");
        Equal(ClassOf(comboWindow), std::string("ComboBox"), "a combo box is the system's combo box");
        const auto style = static_cast<DWORD>(::GetWindowLongA(comboWindow, GWL_STYLE));
        Check((style & 3) == CBS_DROPDOWN && (style & CBS_AUTOHSCROLL), "editable, dropping down, scrolling sideways");
        comboEdit = ::FindWindowExA(comboWindow, nullptr, "Edit", nullptr);
        Check(comboEdit != nullptr, "with an edit field inside");
        Equal(Joined(ComboItems(comboWindow)), std::string("notepad|calc|sol"), "the items show in order");
        Equal(ComboSelection(comboWindow), -1, "nothing selected at first");
        // Dropped down with ten items, the list shows eight of them.
        for (int i = 0; i < 7; ++i) combo.AddItem("extra " + std::to_string(i));
        const auto itemHeight = static_cast<int>(::SendMessageA(comboWindow, CB_GETITEMHEIGHT, 0, 0));
        ::SendMessageA(comboWindow, CB_SHOWDROPDOWN, TRUE, 0);
        COMBOBOXINFO comboInfo{};
        comboInfo.cbSize = sizeof comboInfo;
        RECT list{};
        if (::GetComboBoxInfo(comboWindow, &comboInfo) && comboInfo.hwndList) ::GetWindowRect(comboInfo.hwndList, &list);
        ::SendMessageA(comboWindow, CB_SHOWDROPDOWN, FALSE, 0);
        const int listHeight = static_cast<int>(list.bottom - list.top);
        Check(itemHeight > 0 && listHeight >= 8 * itemHeight && listHeight < 9 * itemHeight,
              "the dropped-down list shows 8 items (" + std::to_string(listHeight) + " pixels, items of " +
                  std::to_string(itemHeight) + ")");
        while (combo.ItemCount() > 3) combo.DeleteItem(3);
        RECT field{};
        ::GetWindowRect(comboWindow, &field);
        Check(field.bottom - field.top < 40, "while the field keeps the height of one line");
        // The active control has the focus (a combo box hands it to its field).
        ::HWND focus = ::GetFocus();
        Check(focus == comboWindow || focus == comboEdit, "the form's active control has the focus when it shows");
        // The program's changes.
        combo.SetItemIndex(1);
        Equal(ComboSelection(comboWindow), 1, "the program's selection shows");
        Equal(WindowText(comboWindow), std::string("calc"), "with the item's text in the field");
        combo.InsertItem(0, "first");
        Equal(Joined(ComboItems(comboWindow)), std::string("first|notepad|calc|sol"), "an inserted item shows in its place");
        Equal(ComboSelection(comboWindow), 2, "and the selection stays on its item");
        combo.DeleteItem(2);
        Equal(Joined(ComboItems(comboWindow)), std::string("first|notepad|sol"), "a deleted item goes");
        Equal(ComboSelection(comboWindow), -1, "deleting the selected item leaves nothing selected");
        Equal(WindowText(comboWindow), std::string("calc"), "and the field keeps its text");
        combo.SetItemIndex(0);
        combo.SetText("typed by the program");
        Equal(WindowText(comboWindow), std::string("typed by the program"), "the program's text shows");
        Equal(ComboSelection(comboWindow), -1, "and a text that is no item's leaves nothing selected");
        combo.SetItemIndex(2);
        combo.ClearItems();
        Equal(static_cast<int>(::SendMessageA(comboWindow, CB_GETCOUNT, 0, 0)), 0, "clearing the items empties the list");
        Equal(WindowText(comboWindow), std::string("sol"), "and keeps the field's text");
        for (const char* item : {"notepad", "calc", "sol"}) combo.AddItem(item);
        combo.SetItemIndex(0);
        Equal(Joined(ComboItems(comboWindow)) + " " + std::to_string(ComboSelection(comboWindow)) + " " +
                  WindowText(comboWindow),
              std::string("notepad|calc|sol 0 notepad"), "items added again show, with the selection");
        Equal(comboChanges, 0, "none of the program's changes ran OnChange");
        // Hints: one tooltip for the form, with the hinted controls (the combo box's field too)
        // as its tools, answering with their hints.
        auto tips = TooltipsOf(entryWindow);
        Equal(static_cast<int>(tips.size()), 1, "the form has one tooltip");
        entryTip = tips.empty() ? nullptr : tips[0];
        if (entryTip) {
            Equal(static_cast<int>(::SendMessageA(entryTip, TTM_GETTOOLCOUNT, 0, 0)), 4,
                  "its tools: the label, the combo box and its field, the OK button");
            Check(IsTool(entryTip, entryWindow, WindowOf(entryOk)) && IsTool(entryTip, entryWindow, comboEdit) &&
                      IsTool(entryTip, entryWindow, WindowOf(entryLabel)),
                  "the hinted windows are tools");
            Check(!IsTool(entryTip, entryWindow, WindowOf(entryEdit)) && !IsTool(entryTip, entryWindow, WindowOf(entryCancel)),
                  "controls without a hint are not");
            Equal(ToolText(entryTip, entryWindow, WindowOf(entryOk)), std::string("Start it"),
                  "the form answers the tooltip with the button's hint");
            Equal(ToolText(entryTip, entryWindow, comboEdit), std::string("Type a program or pick one"),
                  "and with the combo box's for its field");
            entryOk.Hint = "Start the program";
            Equal(ToolText(entryTip, entryWindow, WindowOf(entryOk)), std::string("Start the program"),
                  "a hint changed later is the one shown");
        }
        // The user types at the end of the field.
        typedBefore = combo.Text();
        ::PostMessageA(comboEdit, WM_KEYDOWN, VK_END, 0);
        ::PostMessageA(comboEdit, WM_CHAR, '!', 0);
    });

    steps.push_back([&] {
        Equal(combo.Text(), typedBefore + "!", "what the user types in the field becomes the widget's text");
        Equal(combo.ItemIndex(), -1, "and leaves no item selected");
        Equal(comboChanges, 1, "OnChange ran once");
        // The user picks the next item with the arrow key.
        ::PostMessageA(comboEdit, WM_KEYDOWN, VK_DOWN, 0);
    });

    steps.push_back([&] {
        Equal(std::to_string(combo.ItemIndex()) + " " + combo.Text(),
              std::to_string(ComboSelection(comboWindow)) + " " + WindowText(comboWindow),
              "the user's pick reaches the widget: selection and text as the control shows them");
        Check(combo.ItemIndex() >= 0, "an item is picked (" + std::to_string(combo.ItemIndex()) + ")");
        Equal(comboChanges, 2, "OnChange ran for the pick");
        // Picking the third item makes the handler put a text of its own in the field.
        combo.SetItemIndex(1);
        ::PostMessageA(comboEdit, WM_KEYDOWN, VK_DOWN, 0);
    });

    steps.push_back([&] {
        Equal(combo.Text(), std::string("sol.exe"), "a handler's text replaces the picked item's");
        Equal(WindowText(comboWindow), std::string("sol.exe"), "in the field too, after the control's own update");
        Equal(ComboSelection(comboWindow), -1, "with nothing selected");
        // The pointer rests on the OK button: its hint shows.
        ::HWND okWindow = WindowOf(entryOk);
        ::POINT over = ToScreen(okWindow, 20, 10);
        ::SetCursorPos(over.x, over.y);
        ::PostMessageA(okWindow, WM_MOUSEMOVE, 0, MAKELPARAM(20, 10));
        hoverStart = ::GetTickCount();
        waitFor = [&] {
            return (entryTip && ::IsWindowVisible(entryTip)) || ::GetTickCount() - hoverStart > 4000;
        };
    });

    steps.push_back([&] {
        Check(entryTip && ::IsWindowVisible(entryTip), "resting the pointer on a control shows its tooltip");
        if (entryTip) Equal(WindowText(entryTip), std::string("Start the program"), "with the control's hint");
        SaveShot(entryWindow, "combo-and-hints");
        entry.Hide();
        ::SetCursorPos(0, 0);
        // Shown modally with another active control.
        entry.ActiveControl = &entryEdit;
        entryTimer.SetEnabled(true);
        int result = entry.ShowModal();
        Check(entryModalChecked, "the modal form was looked at");
        Equal(result, mrOk, "and its OK button ended the showing");
    });

    steps.push_back([&] {
        // The open dialog: cancelled, closed, and an existing file chosen.
        dialogAnswer.caption = openDialog.Title;
        openDialog.FileName = "C:\\keep.exe";
        AnswerNextDialog(dialogAnswer, DialogAnswer::Cancel);
        bool chosen = openDialog.Execute();
        Check(dialogAnswer.seen, "the open dialog shows, with its title as caption");
        Check(!chosen, "cancelled it chooses nothing");
        Equal(openDialog.FileName, std::string("C:\\keep.exe"), "and leaves the file name as it was");
        AnswerNextDialog(dialogAnswer, DialogAnswer::Close);
        chosen = openDialog.Execute();
        Check(dialogAnswer.seen && !chosen && openDialog.FileName == "C:\\keep.exe",
              "closed with its close box it chooses nothing either");
        char windows[MAX_PATH] = {};
        ::GetWindowsDirectoryA(windows, MAX_PATH);
        const std::string existing = std::string(windows) + "\\notepad.exe";
        AnswerNextDialog(dialogAnswer, DialogAnswer::Choose, existing);
        chosen = openDialog.Execute();
        Check(dialogAnswer.seen && chosen, "an existing file named and confirmed is chosen");
        Check(_stricmp(openDialog.FileName.c_str(), existing.c_str()) == 0,
              "and becomes the file name (" + openDialog.FileName + ")");
        dialogAnswer.caption = save.Title;
    });

    steps.push_back([&] {
        // Opened while a form is shown modally, the open dialog belongs to that form, which takes
        // no input until the dialog is answered.
        dialogAnswer.caption = openDialog.Title;
        bool browsed = false;
        TTimer browse(app, 150, false);
        browse.OnTimer = [&] {
            if (!entry.Modal() || !::IsWindowVisible(WindowOf(entry))) return;
            browse.SetEnabled(false);
            browsed = true;
            AnswerNextDialog(dialogAnswer, DialogAnswer::Cancel);
            openDialog.Execute();
            Check(dialogAnswer.seen && dialogAnswer.owner == WindowOf(entry),
                  "a file dialog opened from a modal form is owned by that form");
            Check(!dialogAnswer.ownerEnabled, "which takes no input while the dialog is up");
            Check(::IsWindowEnabled(WindowOf(entry)) != FALSE, "and takes input again once it is answered");
            ::PostMessageA(WindowOf(entryOk), BM_CLICK, 0, 0);
        };
        browse.SetEnabled(true);
        entry.ShowModal();
        Check(browsed, "the modal form opened the dialog");
        dialogAnswer.caption = save.Title;
    });

    steps.push_back([&] {
        // Timers.
        tickMark = ticks;
        counter.SetEnabled(true);
    });
    steps.push_back([&] { ::Sleep(200); });
    steps.push_back([&] {
        Check(ticks > tickMark, "an enabled timer fires (" + std::to_string(ticks - tickMark) + " times)");
        counter.SetEnabled(false);
        tickMark = ticks;
    });
    steps.push_back([&] { ::Sleep(200); });
    steps.push_back([&] {
        Equal(ticks, tickMark, "a disabled timer does not fire");
        counter.SetInterval(0);
        counter.SetEnabled(true);
    });
    steps.push_back([&] { ::Sleep(200); });
    steps.push_back([&] {
        Equal(ticks, tickMark, "a timer with interval 0 does not fire");
        counter.SetEnabled(false);
        // Message box answers.
        answer.caption = "Question";
        answer.button = IDNO;
        AnswerNextBox(answer);
        int got = platform.Ui.MessageBox(&form, "Go on?", "Question", MB_YESNO | MB_ICONQUESTION);
        Equal(got, IDNO, "a message box returns the button chosen");
        answer.button = IDYES;
        AnswerNextBox(answer);
        got = platform.Ui.MessageBox(nullptr, "Go on?", "Question", MB_YESNO);
        Equal(got, IDYES, "a message box without owner works too");
        // Window state: the program minimises.
        form.SetWindowState(TWindowState::wsMinimized);
    });

    steps.push_back([&] {
        Check(::IsIconic(hwnd), "the program's minimise shows");
        Check(app.Minimized(), "the application counts as minimised");
        Equal(minimizes, 1, "OnMinimize ran");
        // The user restores.
        ::ShowWindow(hwnd, SW_RESTORE);
    });

    steps.push_back([&] {
        Equal(static_cast<int>(form.WindowState()), static_cast<int>(TWindowState::wsNormal),
              "the user's restore reaches the form");
        Check(!app.Minimized(), "the application is restored");
        Equal(restores, 1, "OnRestore ran");
        // The user sizes the window.
        ::SetWindowPos(hwnd, nullptr, 0, 0, 520, 600, SWP_NOMOVE | SWP_NOZORDER);
    });

    steps.push_back([&] {
        Equal(form.Width(), 520, "a size the user gave reaches the form");
        RECT r{};
        ::GetClientRect(hwnd, &r);
        Equal(form.ClientHeight(), static_cast<int>(r.bottom), "with its client area");
        ::GetWindowRect(sbw, &r);
        ::MapWindowPoints(nullptr, hwnd, reinterpret_cast<::POINT*>(&r), 2);
        Equal(static_cast<int>(r.top), form.ClientHeight() - 19, "the status bar follows the bottom edge");
        ::GetWindowRect(lv, &r);
        Equal(static_cast<int>(r.right - r.left), list.Width(), "the list view follows its widget's width");
        // The program moves the window.
        form.SetBounds(30, 30, 444, 538);
        ::GetWindowRect(hwnd, &r);
        Check(r.left == 30 && r.top == 30 && r.right - r.left == 444, "the program's bounds show");
        // The user closes it.
        ::PostMessageA(hwnd, WM_CLOSE, 0, 0);
    });

    TTimer stepper(app, 60, true);
    stepper.OnTimer = [&] {
        if (inStep || (win32Ui && win32Ui->InMenuLoop())) return;
        if (waitFor && !waitFor()) return;
        waitFor = nullptr;
        if (step < steps.size()) {
            size_t now = step++;
            inStep = true;
            steps[now]();
            inStep = false;
        }
    };
    TTimer watchdog(app, 60000, true);
    watchdog.OnTimer = [&] {
        Check(false, "the checks finished in time");
        app.Terminate();
    };

    app.Run();

    Equal(closes, 1, "closing the window ran OnClose once");
    Check(app.Terminated(), "closing the main form ended the program");
    Equal(step, steps.size(), "every step ran");
    Check(!::IsWindowVisible(hwnd), "the closed form is hidden");

    // Tearing down in an awkward order: the image lists go while the controls still show them.
    pages.SetImages(nullptr);
    smallImages.Clear();
    form.Unrealise();
    Check(!::IsWindow(hwnd), "unrealising the form destroys its window");
    menu.Unrealise();

    std::printf("%d passed, %d failed\n", passed, failed);
    std::fflush(stdout);
    return failed;
}

}  // namespace taskwell
