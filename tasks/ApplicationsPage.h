// The Applications page: one row per task the window list engine accepted, with the window's icon,
// its caption and whether it answers ("Running") or not ("Not Responding"); the buttons under the
// list, its popup menu, and the commands that act on the selected task's window.
//
// Rows carry a key in Data; the page keeps each row's TApplicationWin record under that key. The
// rows are in the order of their captions by the locale's comparison: a new row goes where a binary
// search in that order puts it (after rows of an equal caption), and no other row moves; a caption
// that changes later does not move its row. Each record owns its icon; both image lists hold their
// own copies of it, in step, so one index is valid in both.
//
// Statuses come from questions the program never waits for (StatusProbes). Each status refresh looks
// at kRowsPerRefresh rows at most, those never asked first and then the others in turn, going on
// where the last refresh stopped: it reads their captions and asks their windows, kRowsAskedAtOnce
// rows at a time and the next ones from tmrPendingAsks, so that messages do not wait for a hundred
// windows when the window server is busy. The verdicts come from tmrProbeVerdicts kProbeTimeoutMs
// after the questions, or as soon as every window asked has answered; a new row shows no status
// until its first verdict.
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

#include "app/PageFrame.h"
#include "platform/Platform.h"
#include "tasks/ApplicationWin.h"
#include "tasks/StatusProbes.h"
#include "ui/StdCtrls.h"
#include "ui/TImageList.h"
#include "ui/TListView.h"
#include "ui/TMenu.h"
#include "ui/TPageControl.h"
#include "ui/TTimer.h"

namespace taskwell {

class TApplicationsPage {
public:
    TApplicationsPage(TPageFrame& frame, TApplication& app, const Platform& platform);
    ~TApplicationsPage();

    // Adds the view styles to the View menu, and the "&Windows" menu to the menu bar.
    void BuildViewMenu(TMenuItem& view);
    void BuildWindowsMenu(TMenuItem& menuBar);
    // Builds sagApplications, the buttons and the popup menu on the page's sheet.
    void Build(TTabSheet& sheet);
    // The page's menu entries show only while the page does.
    void ShowMenus(bool shown);

    // Settings: the widths of the two columns under "Application Columns", and the view style among
    // the options of the key set (each style stored on is applied in turn).
    void LoadColumnWidths(TRegistryEnhanced& registry);
    void LoadViewStyle(const TRegistryEnhanced& registry);
    void SaveViewStyle(const TSettingWriter& save) const;
    void SaveColumnWidths(TRegistryEnhanced& registry, const TSettingWriter& save) const;

    // The view styles of the list.
    void itmLargeIconsClick();
    void itmSmallIconsClick();
    void itmListClick();
    void itmDetailsClick();

    // Brings the rows in line with the engine's list, then refreshes captions and statuses. At most
    // kRowsAddedPerSync rows are made at once; tmrPendingRows makes the others soon after.
    void ApplicationsListChanged();
    // Reads rows' live captions and asks their windows whether they answer (see above).
    void UpdateTaskStatus();
    // The verdicts on the questions whose time is up, or that were all answered: "Running" or
    // "Not Responding".
    void tmrProbeVerdictsTimer();
    // Rows for the windows a synchronisation left without one (see kRowsAddedPerSync).
    void tmrPendingRowsTimer();
    // The rows of the last status refresh not asked yet (see kRowsAskedAtOnce).
    void tmrPendingAsksTimer();

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
    // Rows looked at per status refresh: a refresh costs the thread a bounded time however many
    // windows there are.
    static constexpr int kRowsPerRefresh = 100;
    // Of those, rows read and asked at once; the next ones follow kPendingRowsDelayMs later.
    static constexpr int kRowsAskedAtOnce = 25;
    // New rows made per synchronisation, and how soon the next ones follow: each costs an icon.
    static constexpr int kRowsAddedPerSync = 16;
    static constexpr UINT kPendingRowsDelayMs = 10;

    TListView* sagApplications = nullptr;
    TMenuItem* itmLargeIcons = nullptr;
    TMenuItem* itmSmallIcons = nullptr;
    TMenuItem* itmList = nullptr;
    TMenuItem* itmDetails = nullptr;
    TMenuItem* itmWindows = nullptr;
    TMenuItem* itmMinimize = nullptr;
    TMenuItem* itmAppRestore = nullptr;
    TMenuItem* itmMaximize = nullptr;
    TMenuItem* itmBringToFront = nullptr;
    TMenuItem* itmAppAlwaysOnTop = nullptr;
    TMenuItem* itmSetasAlwaysOnTop = nullptr;
    TMenuItem* itmDisableAlwaysOnTop = nullptr;

    TTimer tmrProbeVerdicts;
    TTimer tmrPendingRows;
    TTimer tmrPendingAsks;

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
    // Shows the rows in that style and checks its menu item.
    void ShowViewStyle(TViewStyle style, TMenuItem& item);
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
    // Where a row of that caption goes: after every row whose caption is not ordered after it, by a
    // binary search in the rows' order.
    int InsertionPoint(const std::string& caption) const;
    void UpdateButtons();

    TPageFrame& frame_;
    const Platform& platform_;
    std::map<std::uintptr_t, std::unique_ptr<TApplicationWin>> records_;
    std::uintptr_t nextKey_ = 1;
    StatusProbes probes_;
    // The position the next status refresh goes on from.
    int nextQuestion_ = 0;
    // The keys of the rows the last status refresh looked at and has not asked yet, in order.
    std::vector<StatusProbes::Row> unasked_;
    // Reads and asks the next kRowsAskedAtOnce of them; a row gone meanwhile is passed over.
    void AskPending();
};

}  // namespace taskwell
