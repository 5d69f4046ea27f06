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
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

#include "app/Program.h"
#include "ui/Exception.h"
#include "ui/StdCtrls.h"
#include "ui/TApplication.h"
#include "ui/TForm.h"
#include "ui/TImageList.h"
#include "ui/TListView.h"
#include "ui/TMenu.h"
#include "ui/TPageControl.h"
#include "ui/TStatusBar.h"
#include "ui/TTimer.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32ControlPeer.h"
#include "platform/win32/Win32ImageListPeer.h"

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
}

}  // namespace

int TaskwellMain(const Platform& platform) {
    CheckSystemServices(platform);

    TApplication app(platform.Ui);
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

    int ticks = 0;
    TTimer counter(app, 50, false);
    counter.OnTimer = [&] { ++ticks; };

    BoxAnswer answer;
    std::vector<std::function<void()>> steps;
    size_t step = 0;
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
        list.Item(4).SetCaption("renamed");
        list.Item(4).SetSubItem(1, "9");
        Equal(ListText(lv, 4, 0), std::string("renamed"), "a changed caption shows");
        Equal(ListText(lv, 4, 2), std::string("9"), "a changed sub-item shows");
        list.Item(0).SetImageIndex(-1);
        Equal(ListImage(lv, 0), static_cast<int>(I_IMAGENONE), "an image removed from a row");
        list.SetSelectedIndex(2);
        Equal(ListSelected(lv), 2, "the program's selection shows");
        Equal(selections, 0, "and is not reported as the user's");
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
        if (step < steps.size()) {
            size_t now = step++;
            steps[now]();
        }
    };
    TTimer watchdog(app, 30000, true);
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
