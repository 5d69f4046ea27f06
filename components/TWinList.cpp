#include "components/TWinList.h"

#include <algorithm>

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

void TWinList::AdoptIcon(int index) {
    Info(index);
    records_[static_cast<size_t>(index)].iconAdopted = true;
}

bool TWinList::Accepts(HWND hwnd) {
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
        std::string caption;
        windows.GetWindowTextA(hwnd, caption, kCaptionBuffer);
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
    changed_ = false;
    timer_.SetEnabled(false);
    struct Resume {
        TWinList& list;
        ~Resume() {
            if (list.enabled_) list.timer_.SetEnabled(true);
        }
    } resume{*this};

    // The scan: each accepted window with its creating thread, in the order of the scan.
    std::vector<HWND> order;
    std::vector<Accepted> accepted;
    platform_.Windows.EnumWindows([&](HWND hwnd) {
        if (Accepts(hwnd)) {
            order.push_back(hwnd);
            accepted.emplace_back(hwnd, platform_.Windows.GetWindowThreadProcessId(hwnd, nullptr));
        }
        return true;
    });
    std::sort(accepted.begin(), accepted.end());
    if (accepted == listed_) return;

    ReleaseRecords();
    listed_.clear();
    changed_ = true;
    // The set the list holds: a window that went away before it was read is not in it, so it causes
    // no rebuild once it is gone from the scans too. After an error, the records made so far.
    struct KeepSorted {
        std::vector<Accepted>& set;
        ~KeepSorted() { std::sort(set.begin(), set.end()); }
    } keepSorted{listed_};
    const auto exeByProcess = ExePaths();
    for (HWND hwnd : order)
        if (AddWindow(hwnd, exeByProcess)) listed_.emplace_back(hwnd, records_.back().info.ThreadID);
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
    if (exe != exeByProcess.end()) {
        info.ExePath = exe->second;
        info.Icon = IconOf(info.ExePath);
    }
    records_.push_back(std::move(entry));
    return true;
}

void TWinList::ReleaseRecords() {
    for (Entry& e : records_) {
        if (e.iconAdopted || e.info.Icon == 0) continue;
        try {
            platform_.Shell.DestroyIcon(e.info.Icon);
        } catch (...) {
            // An icon the system will not destroy is given up; the others still go.
        }
    }
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
