// The Applications page: one row per task the window list engine accepted, with the window's icon,
// its caption and whether it answers ("Running") or not ("Not Responding"); the buttons under the
// list, its popup menu, and the commands that act on the selected task's window.
//
// Rows carry a key in Data; the page keeps each row's TApplicationWin record under that key. The
// rows stay sorted by caption with the locale's comparison, re-sorted once per synchronisation that
// added rows. Each record owns its icon; both image lists hold their own copies of it, in step, so
// one index is valid in both.
//
// Every command takes the selected record's window, thread and process when it starts and acts only
// if the window still belongs to that thread and process just before acting (a closed window's
// handle may have been given to another). Commands never wait on another program without a limit:
// windows of other threads are shown and raised asynchronously.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

#include "platform/Platform.h"
#include "tasks/ApplicationWin.h"
#include "ui/StdCtrls.h"
#include "ui/TImageList.h"
#include "ui/TListView.h"
#include "ui/TMenu.h"

namespace taskwell {

class TfrmMain;

class TApplicationsPage {
public:
    TApplicationsPage(TfrmMain& main, const Platform& platform);
    ~TApplicationsPage();

    // Sets up sagApplications and builds the buttons and the popup menu.
    void Build();

    // Brings the rows in line with the engine's list, then refreshes captions and statuses.
    void ApplicationsListChanged();
    // Reads each row's live caption and probes its window: "Running" or "Not Responding".
    void UpdateTaskStatus();

    void popApplicationsPopup();
    void sagApplicationsClick();
    // The selection changed (by mouse, keyboard or program): the buttons and the Windows menu follow.
    void sagApplicationsSelectItem();
    void sagApplicationsDblClick();
    // Enables the Windows menu's entries exactly when a row is selected.
    void itmWindowsClick();

    // Commands on the selected task's window.
    void itmMinimizeClick();
    void itmAppRestoreClick();
    void itmMaximizeClick();
    void itmBringToFrontClick();
    void itmSetasAlwaysOnTopClick();
    void itmDisableAlwaysOnTopClick();
    void btnSwitchToClick();
    void btnEndTaskClick();
    void itmAppGotoProcessClick();
    void itmAppPropertiesClick();
    // Opens the New Task dialog and starts what was entered.
    void btnNewTaskClick();

    // The record a row carries; null when it has none.
    const TApplicationWin* RecordOf(const TListItem& row) const;
    // Frees every record and its icon (the main window's destruction).
    void FreeRecords();

    // How long a window may take to answer the responsiveness probe.
    static constexpr UINT kProbeTimeoutMs = 200;

    TImageList imglstAppSmallIcon;
    TImageList imglstAppLargeIcon;
    TPanel* pnlApplicationsBottom = nullptr;
    TButton* btnEndTask = nullptr;
    TButton* btnSwitchTo = nullptr;
    TButton* btnNewTask = nullptr;
    TPopupMenu popApplications;
    TMenuItem* itmAppProperties = nullptr;
    TMenuItem* itmSwitchTo = nullptr;
    TMenuItem* itmAppBringToFront = nullptr;
    TMenuItem* itmAppMinimize = nullptr;
    TMenuItem* itmPopAppRestore = nullptr;
    TMenuItem* itmAppMaximize = nullptr;
    TMenuItem* itmAppEndTask = nullptr;
    TMenuItem* itmAppGotoProcess = nullptr;

private:
    // The window a command acts on, taken when the command starts.
    struct Target {
        HWND handle = 0;
        DWORD threadId = 0;
        DWORD processId = 0;
    };
    bool SelectedTarget(Target& target) const;
    // Whether the handle still belongs to the target's thread and process.
    bool StillThere(const Target& target) const;
    // Whether the window belongs to another thread than the program's own.
    bool OtherThread(const Target& target) const;
    // The responsiveness probe: true when the window's thread answered within kProbeTimeoutMs.
    bool Answers(HWND handle) const;
    // Shows the window with the command, without waiting for a window of another thread.
    void Show(int cmdShow);
    // Raises the window to the top of the z-order, without waiting for a window of another thread.
    void Raise(const Target& target);
    void SetTopmost(HWND insertAfter);
    // Removes the rows at those positions (ascending) with their images and records.
    void RemoveRows(const std::vector<int>& gone);
    void AddRow(int engineIndex);
    void UpdateButtons();

    TfrmMain& main_;
    const Platform& platform_;
    std::map<std::uintptr_t, std::unique_ptr<TApplicationWin>> records_;
    std::uintptr_t nextKey_ = 1;
};

}  // namespace taskwell
