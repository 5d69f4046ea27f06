// taskwell_fit_checks.exe: whether every text of the program's windows fits its control on the
// screen it runs on (Small Fonts, 96 dpi, or Large Fonts, 120 dpi).
//
// It takes the place of the program's entry (it defines TaskwellMain and links with WinMain.cpp,
// the other Win32 sources, the widget layer and the resources) and builds the real main window,
// from a first start (no stored settings), and each dialog. The main window shows each page in
// turn after a few refresh ticks; each dialog is shown without its modal loop. Every visible
// control is then measured with its own font (GetTextExtentPoint32 of the font WM_GETFONT gives):
//   - labels, value fields, buttons, check boxes and group box captions: the text and its line
//     height within the control's client area (a check box's text beside its box, a button's
//     within its edges, a group box's caption within its frame);
//   - the status bar: each panel's text within its part;
//   - the page controls: every tab within the control, and no scroll arrows beside the tabs.
// The main window opens at its design size on this screen: 444 x 538 scaled by the screen's DPI.
//
// TASKWELL_FIT_DPI names the logical DPI the prefix was set to; the screen must report it (so a
// prefix whose DPI did not take fails, rather than measuring 96 dpi twice). The program's settings
// key is deleted before and after (the window is measured as a first start opens it). Pictures of
// each page and dialog go to the directory TASKWELL_FIT_ARTIFACTS names, if any.
// One PASS/FAIL line per check, INFO lines with each measurement, then "N passed, M failed"; the
// exit code is the number of failures. Run by check_fit.sh under Wine reporting Windows 98.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/About.h"
#include "app/Main.h"
#include "components/TRegistryEnhanced.h"
#include "process/ProcessInfo.h"
#include "process/SelectColumns.h"
#include "tasks/NewTask.h"
#include "tasks/TaskInfo.h"
#include "ui/DesignScale.h"
#include "ui/TApplication.h"
#include "platform/win32/Win32Api.h"
#include "driver_common.h"

namespace {

// The program's settings, removed: the window opens as on a first start.
void ForgetSettings() {
    e2e::deleteTree(HKEY_CURRENT_USER, e2e::kSettingsKey);
}

BOOL CALLBACK NoteChild(HWND w, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(w);
    return TRUE;
}

}  // namespace

namespace taskwell {

namespace {

constexpr DWORD kSettleMs = 3000;
constexpr DWORD kPageMs = 600;

// Handles the program's messages for a while (its timers, the painting of a page just shown).
void Pump(TApplication& app, DWORD ms) {
    const DWORD start = ::GetTickCount();
    do {
        app.ProcessMessages();
        ::Sleep(20);
    } while (::GetTickCount() - start < ms);
}

// The text as drawn: "&&" is one ampersand, a single one underlines the next letter.
std::string Drawn(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

// The size of the text in the window's own font, and the font's line height.
struct Extent {
    int width = 0;
    int height = 0;
};
Extent Measure(::HWND w, const std::string& text) {
    Extent e;
    ::HDC dc = ::GetDC(w);
    if (!dc) return e;
    auto font = reinterpret_cast<::HFONT>(::SendMessageA(w, WM_GETFONT, 0, 0));
    ::HGDIOBJ old = ::SelectObject(dc, font ? static_cast<::HGDIOBJ>(font) : ::GetStockObject(SYSTEM_FONT));
    SIZE size{};
    if (!text.empty()) ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &size);
    TEXTMETRICA tm{};
    ::GetTextMetricsA(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(w, dc);
    e.width = static_cast<int>(size.cx);
    e.height = static_cast<int>(tm.tmHeight);
    return e;
}

// A 64-bit process has 128 TB of address space, a twelve-digit figure in K, and the 64-bit test
// build shows it in the " Virtual (K) " group. The program runs as a 32-bit process, whose address
// space is at most 4 GB: 4194303 K, seven digits. There the widest figure the program can show is
// measured in place of the test build's own, so the check still holds the program's layout to it.
std::string AsTheProgramShowsIt(::HWND w, const std::string& text) {
#ifdef _WIN64
    constexpr const char* kWidestAddressSpace = "4194303";
    const bool figure = !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
    ::HWND group = ::GetParent(w);
    if (figure && text.size() > std::strlen(kWidestAddressSpace) && group &&
        e2e::caption(group) == " Virtual (K) ") {
        e2e::Checks::info("64-bit test build: \"%s\" measured as a 32-bit process's widest, \"%s\"", text.c_str(),
                          kWidestAddressSpace);
        return kWidestAddressSpace;
    }
#else
    (void)w;
#endif
    return text;
}

class Fitter {
public:
    Fitter(e2e::Checks& checks, int dpi) : checks_(checks), dpi_(dpi) {}

    // Every visible control inside `top`, measured; `where` names the window in the output.
    void Window(::HWND top, const std::string& where) {
        where_ = where;
        std::vector<::HWND> children;
        ::EnumChildWindows(top, &NoteChild, reinterpret_cast<::LPARAM>(&children));
        for (::HWND w : children)
            if (::IsWindowVisible(w)) Control(w);
    }

private:
    void Control(::HWND w) {
        const std::string cls = e2e::className(w);
        RECT client{};
        ::GetClientRect(w, &client);
        const auto style = static_cast<DWORD>(::GetWindowLongA(w, GWL_STYLE));
        if (cls == "Static") {
            const bool plain = (style & SS_NOPREFIX) != 0;
            const std::string text = plain ? e2e::caption(w) : Drawn(e2e::caption(w));
            Fits(w, "label", AsTheProgramShowsIt(w, text), client.right, client.bottom);
        } else if (cls == "Edit") {
            Fits(w, "value", e2e::caption(w), client.right - 2, client.bottom);
        } else if (cls == "Button") {
            Button(w, style, client);
        } else if (lstrcmpiA(cls.c_str(), STATUSCLASSNAMEA) == 0) {
            StatusBar(w);
        } else if (lstrcmpiA(cls.c_str(), WC_TABCONTROLA) == 0) {
            Tabs(w, client);
        }
    }

    void Button(::HWND w, DWORD style, const RECT& client) {
        const std::string text = Drawn(e2e::caption(w));
        switch (style & BS_TYPEMASK) {
        case BS_GROUPBOX:
            // The caption sits on the frame, a few pixels in from each side.
            Fits(w, "group caption", text, client.right - 2 * ::GetSystemMetrics(SM_CXEDGE) - 4);
            break;
        case BS_CHECKBOX:
        case BS_AUTOCHECKBOX:
        case BS_RADIOBUTTON:
        case BS_AUTORADIOBUTTON:
            // The box, then a gap, then the text.
            Fits(w, "check box", text, client.right - ::GetSystemMetrics(SM_CXMENUCHECK) - 4, client.bottom);
            break;
        default:
            Fits(w, "button", text, client.right - 2 * ::GetSystemMetrics(SM_CXEDGE) - 4, client.bottom);
            break;
        }
    }

    void StatusBar(::HWND w) {
        const int parts = static_cast<int>(::SendMessageA(w, SB_GETPARTS, 0, 0));
        for (int i = 0; i < parts; ++i) {
            char text[256] = {};
            const auto length = LOWORD(::SendMessageA(w, SB_GETTEXTLENGTHA, static_cast<::WPARAM>(i), 0));
            if (length == 0 || length >= sizeof text) continue;
            ::SendMessageA(w, SB_GETTEXTA, static_cast<::WPARAM>(i), reinterpret_cast<::LPARAM>(text));
            RECT part{};
            ::SendMessageA(w, SB_GETRECT, static_cast<::WPARAM>(i), reinterpret_cast<::LPARAM>(&part));
            // The sunken border of the part takes a couple of pixels on each side.
            Fits(w, "status panel", text, part.right - part.left - 2 * ::GetSystemMetrics(SM_CXEDGE) - 2,
                 part.bottom - part.top);
        }
    }

    void Tabs(::HWND w, const RECT& client) {
        const int count = static_cast<int>(::SendMessageA(w, TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            RECT item{};
            ::SendMessageA(w, TCM_GETITEMRECT, static_cast<::WPARAM>(i), reinterpret_cast<::LPARAM>(&item));
            checks_.expect(item.left >= 0 && item.right <= client.right,
                           "%d dpi, %s: tab %d (%ld..%ld) lies inside the page control (%ld wide)", dpi_,
                           where_.c_str(), i, static_cast<long>(item.left), static_cast<long>(item.right),
                           static_cast<long>(client.right));
        }
        // The control shows its scroll arrows as a child up-down control when the tabs overflow.
        ::HWND arrows = ::FindWindowExA(w, nullptr, UPDOWN_CLASSA, nullptr);
        checks_.expect(!arrows || !::IsWindowVisible(arrows), "%d dpi, %s: no scroll arrows beside the tabs", dpi_,
                       where_.c_str());
    }

    // The text within `room` pixels of width (and its line within `height`, when given).
    void Fits(::HWND w, const char* kind, const std::string& text, int room, int height = 0) {
        if (text.empty()) return;
        const Extent e = Measure(w, text);
        checks_.expect(e.width <= room, "%d dpi, %s: %s \"%s\" needs %d of %d pixels", dpi_, where_.c_str(), kind,
                       text.c_str(), e.width, room);
        if (height > 0)
            checks_.expect(e.height <= height, "%d dpi, %s: %s \"%s\" is %d high in %d", dpi_, where_.c_str(), kind,
                           text.c_str(), e.height, height);
    }

    e2e::Checks& checks_;
    int dpi_;
    std::string where_;
};

::HWND HandleOf(TApplication& app, const TControl& control) {
    return win32::ToHwnd(app.Backend().WindowHandle(control));
}

// A picture of the window as measured, for a person to look at, where TASKWELL_FIT_ARTIFACTS names
// a directory (a Windows path).
void Picture(::HWND w, const std::string& name) {
    const char* dir = std::getenv("TASKWELL_FIT_ARTIFACTS");
    if (dir && *dir) e2e::screenshotWindow(w, e2e::joinPath(dir, name + ".bmp"));
}

// Shows the dialog without its modal loop, measures it, and hides it again.
void MeasureDialog(TApplication& app, Fitter& fitter, TForm& dialog, const std::string& name) {
    dialog.Show();
    Pump(app, kPageMs);
    fitter.Window(HandleOf(app, dialog), name);
    Picture(HandleOf(app, dialog), name);
    dialog.Hide();
}

}  // namespace

int TaskwellMain(const Platform& platform) {
    e2e::Checks checks;
    const char* wanted = std::getenv("TASKWELL_FIT_DPI");
    const int dpi = wanted ? std::atoi(wanted) : kDesignDpi;
    const int screen = platform.Ui.ScreenLogPixels();
    if (!checks.expect(screen == dpi, "the screen reports %d dpi (asked for %d)", screen, dpi)) return 1;

    ForgetSettings();
    {
        TApplication app(platform.Ui);
        // The program's own title (its InitialiseApplication shares a file with the entry this
        // program replaces): the About box shows it.
        app.SetTitle(e2e::kMainCaption);
        TfrmMain form(app, platform);
        if (!checks.expect(!form.Refused(), "the main window runs (Windows 98)")) return 1;
        app.MainForm = &form;
        form.Show();
        Pump(app, kSettleMs);

        RECT bounds{};
        ::GetWindowRect(HandleOf(app, form), &bounds);
        const int width = ScaleDesignLength(444, dpi), height = ScaleDesignLength(538, dpi);
        checks.expect(bounds.right - bounds.left == width && bounds.bottom - bounds.top == height,
                      "%d dpi: the main window opens at %d x %d (got %ld x %ld)", dpi, width, height,
                      static_cast<long>(bounds.right - bounds.left), static_cast<long>(bounds.bottom - bounds.top));

        Fitter fitter(checks, dpi);
        for (int page = 0; page < form.pcMain->PageCount(); ++page) {
            form.pcMain->SelectPage(page);
            Pump(app, kPageMs);
            fitter.Window(HandleOf(app, form), "page " + form.pcMain->Page(page).Caption());
            Picture(HandleOf(app, form), form.pcMain->Page(page).Caption());
        }

        TfrmAbout about(app, "1.0");
        MeasureDialog(app, fitter, about, "About");
        TfrmSelectColumns columns(app);
        MeasureDialog(app, fitter, columns, "Select Columns");
        TfrmProcessInfo processInfo(app, platform);
        MeasureDialog(app, fitter, processInfo, "Process Information");
        TfrmTaskProperties taskProperties(app, platform);
        MeasureDialog(app, fitter, taskProperties, "Task Properties");
        TRegistryEnhanced history(platform.Registry);
        TfrmNewTask newTask(app, history);
        MeasureDialog(app, fitter, newTask, "Create New Task");
        form.Close();
        Pump(app, 200);
    }
    ForgetSettings();
    std::printf("%d passed, %d failed\n", checks.passed(), checks.failed());
    return checks.failed();
}

}  // namespace taskwell
