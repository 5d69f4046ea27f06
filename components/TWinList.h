// The window list engine: keeps the list of top-level windows that count as running tasks, with
// the facts about each that the Applications page shows, and raises OnChanged when the set of
// those windows has changed, rescanning on its own timer.
//
// A scan touches only the style (which holds the visibility), a caption, the owner and the
// creating thread of each window. The list is rebuilt only when the accepted set of (window, thread)
// pairs differs from the one of the last rebuild, in any order: a handle that the system gave to a
// new window of another thread counts as a new window. A rebuild reads only the windows new to the
// list (one process snapshot for them all); the others keep their records, with the captions of
// the scan.
//
// Icons: a record's icon is extracted when it is first asked for (GetIcon, AdoptIcon), so a rebuild
// costs no icons for windows a view shows already; it belongs to the engine until a view adopts it,
// and the engine destroys every icon nobody adopted when its record goes.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Platform.h"
#include "ui/TTimer.h"

namespace taskwell {

class TApplication;

// Which windows a scan takes by their visibility.
enum class TFind_ID { id_All, id_VisOnly, id_InvisOnly };

// The facts about one listed window.
class TWinInfo {
public:
    HWND ParentHandle = 0;  // parent or owner, 0 for none
    HWND Handle = 0;
    DWORD ThreadID = 0;
    std::string ParentCaption;  // "Desktop" without parent, "NoName" for a parent without caption
    std::string WinClassName;
    std::string ExePath;  // empty when the window's process was not found
    HICON Icon = 0;       // 0 when none, or not read yet (GetIcon reads it)
    DWORD ProcessID = 0;
    DWORD Style = 0;
    DWORD ExStyle = 0;
};

// Whether a window with this style would get a task bar button: any window that is no popup, and a
// popup with a minimise box and a system menu that is not disabled.
bool ShowsOnTaskBar(DWORD style);

class TWinList {
public:
    TWinList(TApplication& app, const Platform& platform);
    ~TWinList();
    TWinList(const TWinList&) = delete;
    TWinList& operator=(const TWinList&) = delete;

    std::string Name;

    // Filters of the scan.
    TFind_ID WhatDoFind = TFind_ID::id_VisOnly;
    bool EmptyNames = false;
    bool TaskBarSty = true;

    // The engine's own timer: period in milliseconds (0 or less stops polling) and switch.
    LONG TimerIntval() const { return interval_; }
    void SetTimerIntval(LONG ms);
    bool EnableTimer() const { return enabled_; }
    void SetEnableTimer(bool v);

    // Raised by the timer after a scan that rebuilt the list.
    std::function<void()> OnChanged;

    // Scans the windows and rebuilds the list when the accepted set changed. Raises no OnChanged: a
    // caller that scans directly updates its view itself. A long scan takes the thread's pending
    // messages after every kWindowsBetweenMessages windows; a Refresh called meanwhile (by one of
    // them) does nothing.
    virtual void Refresh();
    // Whether the last Refresh rebuilt the list.
    bool Changed() const { return changed_; }

    // The list, in the order of the scan: captions (which may repeat) and records.
    int Count() const { return static_cast<int>(records_.size()); }
    const std::string& Caption(int index) const;
    const TWinInfo& Info(int index) const;
    // Accessors by index (0 to Count() - 1; any other index raises).
    HWND GetParentHandle(int index) const { return Info(index).ParentHandle; }
    HWND GetWinHandle(int index) const { return Info(index).Handle; }
    DWORD GetThreadID(int index) const { return Info(index).ThreadID; }
    // The window's icon, extracted on first use.
    HICON GetIcon(int index);
    DWORD GetProcessID(int index) const { return Info(index).ProcessID; }
    DWORD GetStyle(int index) const { return Info(index).Style; }
    DWORD GetExStyle(int index) const { return Info(index).ExStyle; }
    const std::string& GetExePath(int index) const { return Info(index).ExePath; }
    const std::string& GetWinClassName(int index) const { return Info(index).WinClassName; }
    const std::string& GetParentCaption(int index) const { return Info(index).ParentCaption; }

    // A view takes over the record's icon (extracted now if it was not yet) and gets it: from now on
    // the view destroys it, the engine never does.
    HICON AdoptIcon(int index);

    // The timer's tick: scan, let pending messages run, raise OnChanged after a rebuild.
    void TimerTick();
    TTimer& Timer() { return timer_; }

private:
    // One accepted window of a scan: its handle and creating thread.
    using Accepted = std::pair<HWND, DWORD>;
    struct Entry {
        std::string caption;
        TWinInfo info;
        bool iconRead = false;
        bool iconAdopted = false;
    };
    // Whether the window passes the caption, visibility and task-bar filters; the caption read on
    // the way (none with EmptyNames) in caption, and with it the window's creating thread in thread
    // (0 when no caption was read).
    bool Accepts(HWND hwnd, std::string& caption, DWORD& thread);
    // Makes the record of one window; false when the window went away before it could be read.
    bool AddWindow(HWND hwnd, const std::unordered_map<DWORD, std::string>& exeByProcess);
    // Executable paths of the running processes, from one snapshot; empty when none can be taken.
    std::unordered_map<DWORD, std::string> ExePaths();
    HICON IconOf(const std::string& exePath);
    // Destroys the record's icon unless a view adopted it.
    void ReleaseIcon(Entry& e);
    void ReleaseRecords();

    TApplication& app_;
    const Platform& platform_;
    static constexpr LONG kDefaultIntval = 500;
    // A scan takes the thread's messages after every so many windows.
    static constexpr int kWindowsBetweenMessages = 48;
    bool refreshing_ = false;
    TTimer timer_;
    LONG interval_ = kDefaultIntval;
    bool enabled_ = false;
    bool changed_ = false;
    std::vector<Entry> records_;
    // The accepted set of the last rebuild, sorted.
    std::vector<Accepted> listed_;
};

}  // namespace taskwell
