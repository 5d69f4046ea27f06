#include "components/TWinList.h"

#include <algorithm>
#include <map>
#include <optional>

#include "app/MiscUtils.h"
#include "process/ToolhelpSnapshot.h"
#include "ui/Exception.h"
#include "ui/TApplication.h"

namespace taskwell {

namespace {
// Buffer sizes of the reads, in characters with the terminating NUL.
constexpr int kCaptionBuffer = 255;
constexpr int kClassNameBuffer = 100;
}  // namespace

bool ShowsOnTaskBar(DWORD style) {
    if (!(style & WS_POPUP)) return true;
    return (style & WS_MINIMIZEBOX) && !(style & WS_DISABLED) && (style & WS_SYSMENU);
}

TWinList::TWinList(TApplication& app, const Platform& platform)
    : app_(app), platform_(platform), timer_(app, static_cast<UINT>(kDefaultIntval), false) {
    timer_.OnTimer = [this] { TimerTick(); };
}

TWinList::~TWinList() {
    timer_.SetEnabled(false);
    ReleaseRecords();
}

void TWinList::SetEnableTimer(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    timer_.SetEnabled(v);
}

void TWinList::SetTimerIntval(LONG ms) {
    if (ms <= 0) SetEnableTimer(false);
    if (ms == interval_) return;
    interval_ = ms;
    timer_.SetInterval(ms > 0 ? static_cast<UINT>(ms) : 0);
}

const TWinInfo& TWinList::Info(int index) const {
    if (index < 0 || index >= Count())
        throw EListError("Window list index out of bounds (" + std::to_string(index) + ")");
    return records_[static_cast<size_t>(index)].info;
}

const std::string& TWinList::Caption(int index) const {
    Info(index);
    return records_[static_cast<size_t>(index)].caption;
}

HICON TWinList::GetIcon(int index) {
    Info(index);
    Entry& e = records_[static_cast<size_t>(index)];
    if (!e.iconRead) {
        e.iconRead = true;
        if (!e.info.ExePath.empty()) e.info.Icon = IconOf(e.info.ExePath);
    }
    return e.info.Icon;
}

HICON TWinList::AdoptIcon(int index) {
    Info(index);
    // Adopted before (its view let it go since): the new adopter gets an icon of its own.
    if (Entry& e = records_[static_cast<size_t>(index)]; e.iconAdopted) {
        e.iconAdopted = false;
        e.iconRead = false;
        e.info.Icon = 0;
    }
    const HICON icon = GetIcon(index);
    records_[static_cast<size_t>(index)].iconAdopted = true;
    return icon;
}

bool TWinList::Accepts(HWND hwnd, std::string& caption, DWORD& thread) {
    IWindows& windows = platform_.Windows;
    // The style first: it says whether the window is visible (a top-level window, as every window
    // a scan meets is, is visible exactly when it has WS_VISIBLE: its parent is the desktop) and
    // whether it would have a task bar button, in one question. Most top-level windows are hidden
    // ones (of the system, of every program's input and messaging helpers) and cost no more.
    const DWORD style = static_cast<DWORD>(windows.GetWindowLongA(hwnd, GWL_STYLE));
    const bool visible = (style & WS_VISIBLE) != 0;
    switch (WhatDoFind) {
    case TFind_ID::id_All: break;
    case TFind_ID::id_VisOnly:
        if (!visible) return false;
        break;
    case TFind_ID::id_InvisOnly:
        if (visible) return false;
        break;
    }
    if (!EmptyNames) {
        // The thread, which a listed window needs anyway, read after the caption also tells that
        // the caption was the window's: a window gone by then leaves no caption.
        thread = windows.GetWindowTextAndThread(hwnd, caption, kCaptionBuffer);
        if (caption.empty()) return false;
    }
    if (!TaskBarSty) return true;
    if (windows.GetWindow(hwnd, GW_OWNER) != 0) return false;
    if (ShowsOnTaskBar(style)) return true;
    // A window that stands behind a popup of its own is a task when that popup would be one.
    const HWND popup = windows.GetLastActivePopup(hwnd);
    return popup != 0 && windows.IsWindow(popup) &&
           ShowsOnTaskBar(static_cast<DWORD>(windows.GetWindowLongA(popup, GWL_STYLE)));
}

void TWinList::Refresh() {
    // A scan lets the thread take its messages now and then; a Refresh asked for by one of them is
    // left to the scan under way, which raises the change when it has one.
    if (refreshing_) return;
    changed_ = false;
    timer_.SetEnabled(false);
    struct Resume {
        TWinList& list;
        ~Resume() {
            list.refreshing_ = false;
            if (list.enabled_) list.timer_.SetEnabled(true);
        }
    } resume{*this};
    refreshing_ = true;

    // The scan: each accepted window with its creating thread and caption, in the order of the scan.
    struct Scanned {
        Accepted window;
        std::string caption;
    };
    std::vector<Scanned> order;
    std::vector<Accepted> accepted;
    int visited = 0;
    platform_.Windows.EnumWindows([&](HWND hwnd) {
        // Hundreds of windows cost a scan a long time: messages do not wait for all of them.
        if (++visited % kWindowsBetweenMessages == 0) app_.ProcessMessages();
        std::string caption;
        DWORD thread = 0;
        if (Accepts(hwnd, caption, thread)) {
            if (thread == 0) thread = platform_.Windows.GetWindowThreadProcessId(hwnd, nullptr);
            order.push_back(Scanned{{hwnd, thread}, std::move(caption)});
            accepted.push_back(order.back().window);
        }
        return true;
    });
    std::sort(accepted.begin(), accepted.end());
    if (accepted == listed_) return;

    // A rebuild keeps the records of the windows it listed already (the same window of the same
    // thread) and reads only the new ones, with one process snapshot for them all; the records of
    // windows gone are released, their icons with them unless a view adopted them.
    std::map<Accepted, Entry> known;
    for (Entry& e : records_) known.emplace(Accepted{e.info.Handle, e.info.ThreadID}, std::move(e));
    records_.clear();
    listed_.clear();
    changed_ = true;
    struct Release {
        TWinList& list;
        std::map<Accepted, Entry>& gone;
        ~Release() {
            for (auto& [window, e] : gone) list.ReleaseIcon(e);
        }
    } release{*this, known};
    // The set the list holds: a window that went away before it was read is not in it, so it causes
    // no rebuild once it is gone from the scans too. After an error, the records made so far.
    struct KeepSorted {
        std::vector<Accepted>& set;
        ~KeepSorted() { std::sort(set.begin(), set.end()); }
    } keepSorted{listed_};
    std::optional<std::unordered_map<DWORD, std::string>> exeByProcess;
    for (Scanned& s : order) {
        if (auto it = known.find(s.window); it != known.end()) {
            if (!EmptyNames) it->second.caption = std::move(s.caption);
            records_.push_back(std::move(it->second));
            known.erase(it);
            listed_.push_back(s.window);
            continue;
        }
        if (!exeByProcess) exeByProcess = ExePaths();
        if (AddWindow(s.window.first, *exeByProcess))
            listed_.emplace_back(s.window.first, records_.back().info.ThreadID);
    }
}

std::unordered_map<DWORD, std::string> TWinList::ExePaths() {
    std::unordered_map<DWORD, std::string> paths;
    ToolhelpSnapshot snapshot(platform_.Toolhelp, TH32CS_SNAPPROCESS, 0);
    snapshot.Walk(&IToolhelp::Process32First, &IToolhelp::Process32Next, [&](const PROCESSENTRY32& entry) {
        paths.emplace(entry.th32ProcessID, std::string(entry.szExeFile));
    });
    return paths;
}

HICON TWinList::IconOf(const std::string& exePath) {
    IShell& shell = platform_.Shell;
    const HINSTANCE instance = shell.GetModuleHandleA();
    // 1 means "not an executable": no icon either.
    HICON icon = shell.ExtractIconA(instance, exePath, 0);
    if (icon > 1) return icon;
    std::string path = exePath;
    WORD index = 0;
    icon = shell.ExtractAssociatedIconA(instance, path, index);
    return icon > 1 ? icon : 0;
}

bool TWinList::AddWindow(HWND hwnd, const std::unordered_map<DWORD, std::string>& exeByProcess) {
    IWindows& windows = platform_.Windows;
    Entry entry;
    TWinInfo& info = entry.info;
    info.Handle = hwnd;
    info.ThreadID = windows.GetWindowThreadProcessId(hwnd, &info.ProcessID);
    // A window that closed after the scan has no thread any more: it is not listed.
    if (info.ThreadID == 0) return false;
    info.Style = static_cast<DWORD>(windows.GetWindowLongA(hwnd, GWL_STYLE));
    info.ExStyle = static_cast<DWORD>(windows.GetWindowLongA(hwnd, GWL_EXSTYLE));
    info.ParentHandle = static_cast<HWND>(windows.GetWindowLongA(hwnd, GWL_HWNDPARENT));
    windows.GetClassNameA(hwnd, info.WinClassName, kClassNameBuffer);
    if (info.ParentHandle == 0) {
        info.ParentCaption = "Desktop";
    } else {
        windows.GetWindowTextA(info.ParentHandle, info.ParentCaption, kCaptionBuffer);
        if (info.ParentCaption.empty()) info.ParentCaption = "NoName";
    }
    windows.GetWindowTextA(hwnd, entry.caption, kCaptionBuffer);
    auto exe = exeByProcess.find(info.ProcessID);
    if (exe != exeByProcess.end()) info.ExePath = exe->second;
    records_.push_back(std::move(entry));
    return true;
}

void TWinList::ReleaseIcon(Entry& e) {
    if (e.iconAdopted || e.info.Icon == 0) return;
    const HICON icon = e.info.Icon;
    e.info.Icon = 0;
    // An icon the system will not destroy is given up; the others still go.
    DestroyIconQuietly(platform_.Shell, icon);
}

void TWinList::ReleaseRecords() {
    for (Entry& e : records_) ReleaseIcon(e);
    records_.clear();
}

void TWinList::TimerTick() {
    if (interval_ < 1) timer_.SetEnabled(false);
    try {
        Refresh();
    } catch (const std::exception&) {
        // The engine reports nothing: a scan the system broke off is made again at the next tick,
        // and what was rebuilt before the error is still announced.
    }
    app_.ProcessMessages();
    if (changed_ && OnChanged) OnChanged();
}

}  // namespace taskwell
