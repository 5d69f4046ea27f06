#include "tasks/ApplicationsPage.h"

#include <algorithm>
#include <functional>
#include <set>
#include <tuple>
#include <unordered_map>

#include "app/MiscUtils.h"
#include "tasks/NewTask.h"
#include "tasks/TaskInfo.h"
#include "ui/TApplication.h"

namespace taskwell {

namespace {
constexpr int kBottomPanelHeight = 41;
constexpr int kApplicationsPopupTopic = 70;
// Buffer of the live caption, in characters with the terminating NUL.
constexpr int kLiveCaptionBuffer = 257;
constexpr const char* kRunning = "Running";
constexpr const char* kNotResponding = "Not Responding";
// Always on top: keep place and size, do not activate.
constexpr UINT kTopmostFlags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;

// The buttons under the list: caption, hint, left edge.
struct ButtonRow {
    TButton* TApplicationsPage::*button;
    const char* name;
    const char* caption;
    const char* hint;
    int left;
};
constexpr ButtonRow kButtons[] = {
    {&TApplicationsPage::btnEndTask, "btnEndTask", "&End Task", "Terminate this task.", 8},
    {&TApplicationsPage::btnSwitchTo, "btnSwitchTo", "&Switch To", "Give focus to this task.", 95},
    {&TApplicationsPage::btnNewTask, "btnNewTask", "&New Task..", "Create a new task.", 182},
};
constexpr int kButtonTop = 12;
constexpr int kButtonWidth = 81;
constexpr int kButtonHeight = 25;
constexpr int kViewStyleGroup = 2;
constexpr const char* kApplicationColumnsKey = "Application Columns";
// The two columns whose widths are stored.
constexpr int kStoredColumns = 2;

}  // namespace

TApplicationsPage::TApplicationsPage(TPageFrame& frame, TApplication& app, const Platform& platform)
    : tmrProbeVerdicts(app, kProbeTimeoutMs, false),
      tmrPendingRows(app, kPendingRowsDelayMs, false),
      tmrPendingAsks(app, kPendingRowsDelayMs, false),
      imglstAppSmallIcon(app, 16, 16),
      imglstAppLargeIcon(app, 32, 32),
      frame_(frame),
      platform_(platform),
      probes_(platform.Windows) {
    tmrProbeVerdicts.Name = "tmrProbeVerdicts";
    tmrProbeVerdicts.OnTimer = [this] { tmrProbeVerdictsTimer(); };
    // Every window asked has answered: nothing is left to wait for.
    probes_.OnSettled = [this] { tmrProbeVerdictsTimer(); };
    tmrPendingRows.Name = "tmrPendingRows";
    tmrPendingRows.OnTimer = [this] { tmrPendingRowsTimer(); };
    tmrPendingAsks.Name = "tmrPendingAsks";
    tmrPendingAsks.OnTimer = [this] { tmrPendingAsksTimer(); };
}

TApplicationsPage::~TApplicationsPage() {
    FreeRecords();
}

void TApplicationsPage::BuildViewMenu(TMenuItem& view) {
    itmLargeIcons = AddRadioItem(view, "Lar&ge Icons", kViewStyleGroup, true);
    itmSmallIcons = AddRadioItem(view, "S&mall Icons", kViewStyleGroup, false);
    itmList = AddRadioItem(view, "&List", kViewStyleGroup, false);
    itmDetails = AddRadioItem(view, "&Details", kViewStyleGroup, false);
    itmLargeIcons->OnClick = [this] { itmLargeIconsClick(); };
    itmSmallIcons->OnClick = [this] { itmSmallIconsClick(); };
    itmList->OnClick = [this] { itmListClick(); };
    itmDetails->OnClick = [this] { itmDetailsClick(); };
}

void TApplicationsPage::BuildWindowsMenu(TMenuItem& menuBar) {
    itmWindows = &menuBar.Add("&Windows");
    itmMinimize = &itmWindows->Add("&Minimize");
    itmAppRestore = &itmWindows->Add("&Restore");
    itmMaximize = &itmWindows->Add("Ma&ximize");
    itmBringToFront = &itmWindows->Add("&Bring To Front");
    itmAppAlwaysOnTop = &itmWindows->Add("Set as &Always on top");
    itmSetasAlwaysOnTop = &itmAppAlwaysOnTop->Add("Enable");
    itmDisableAlwaysOnTop = &itmAppAlwaysOnTop->Add("Disable");
    for (TMenuItem* item : {itmMinimize, itmAppRestore, itmMaximize, itmBringToFront, itmAppAlwaysOnTop})
        item->SetEnabled(false);
    itmWindows->OnClick = [this] { itmWindowsClick(); };
    itmMinimize->OnClick = [this] { itmMinimizeClick(); };
    itmAppRestore->OnClick = [this] { itmAppRestoreClick(); };
    itmMaximize->OnClick = [this] { itmMaximizeClick(); };
    itmBringToFront->OnClick = [this] { itmBringToFrontClick(); };
    itmSetasAlwaysOnTop->OnClick = [this] { itmSetasAlwaysOnTopClick(); };
    itmDisableAlwaysOnTop->OnClick = [this] { itmDisableAlwaysOnTopClick(); };
}

void TApplicationsPage::ShowMenus(bool shown) {
    for (TMenuItem* item : {itmLargeIcons, itmSmallIcons, itmList, itmDetails}) item->SetVisible(shown);
    itmWindows->SetVisible(shown);
}

void TApplicationsPage::Build(TTabSheet& sheet) {
    sagApplications = &sheet.Add<TListView>();
    sagApplications->Name = "sagApplications";
    sagApplications->SetAlign(TAlign::alClient);
    sagApplications->AddColumn("Task", sheet.Scaled(250));
    sagApplications->AddColumn("Status", sheet.Scaled(100));
    imglstAppSmallIcon.Name = "imglstAppSmallIcon";
    imglstAppLargeIcon.Name = "imglstAppLargeIcon";
    TListView& rows = *sagApplications;
    rows.SetRowSelect(true);
    rows.SetImages(&imglstAppLargeIcon, &imglstAppSmallIcon);
    rows.PopupMenu = &popApplications;
    rows.OnClick = [this] { sagApplicationsClick(); };
    rows.OnSelectItem = [this] { sagApplicationsSelectItem(); };
    rows.OnDblClick = [this] { sagApplicationsDblClick(); };

    pnlApplicationsBottom = &sheet.Add<TPanel>();
    pnlApplicationsBottom->Name = "pnlApplicationsBottom";
    pnlApplicationsBottom->SetHeight(sheet.Scaled(kBottomPanelHeight));
    pnlApplicationsBottom->SetAlign(TAlign::alBottom);
    for (const ButtonRow& row : kButtons) {
        TButton& button = pnlApplicationsBottom->Add<TButton>(row.caption);
        button.Name = row.name;
        button.Hint = row.hint;
        button.SetDesignBounds(row.left, kButtonTop, kButtonWidth, kButtonHeight);
        this->*row.button = &button;
    }
    btnEndTask->SetEnabled(false);
    btnSwitchTo->SetEnabled(false);
    btnEndTask->OnClick = [this] { btnEndTaskClick(); };
    btnSwitchTo->OnClick = [this] { btnSwitchToClick(); };
    btnNewTask->OnClick = [this] { btnNewTaskClick(); };

    popApplications.Name = "popApplications";
    TMenuItem& items = popApplications.Items();
    itmAppProperties = &items.Add("&Properties");
    itmAppProperties->SetDefault(true);
    itmSwitchTo = &items.Add("&Switch To");
    itmAppBringToFront = &items.Add("&Bring To Front");
    items.Add("-");
    itmAppMinimize = &items.Add("&Minimize");
    itmPopAppRestore = &items.Add("&Restore");
    itmAppMaximize = &items.Add("Ma&ximize");
    items.Add("-");
    itmAppEndTask = &items.Add("&End Task");
    itmAppGotoProcess = &items.Add("&Goto Process");
    for (int i = 0; i < items.Count(); ++i) items[i].HelpContext = kApplicationsPopupTopic;
    itmAppProperties->OnClick = [this] { itmAppPropertiesClick(); };
    itmSwitchTo->OnClick = [this] { btnSwitchToClick(); };
    itmAppBringToFront->OnClick = [this] { itmBringToFrontClick(); };
    itmAppMinimize->OnClick = [this] { itmMinimizeClick(); };
    itmPopAppRestore->OnClick = [this] { itmAppRestoreClick(); };
    itmAppMaximize->OnClick = [this] { itmMaximizeClick(); };
    itmAppEndTask->OnClick = [this] { btnEndTaskClick(); };
    itmAppGotoProcess->OnClick = [this] { itmAppGotoProcessClick(); };
    popApplications.OnPopup = [this] { popApplicationsPopup(); };
}

// ---------------------------------------------------------------------------------------------
// Rows and records.

const TApplicationWin* TApplicationsPage::RecordOf(const TListItem& row) const {
    auto it = records_.find(row.Data);
    return it == records_.end() ? nullptr : it->second.get();
}

void TApplicationsPage::FreeRecords() {
    for (auto& [key, record] : records_)
        DestroyIconQuietly(platform_.Shell, record->Icon);
    records_.clear();
    probes_.Clear();
}

void TApplicationsPage::RemoveRows(const std::vector<int>& gone) {
    TListView& rows = *sagApplications;
    std::vector<std::unique_ptr<TApplicationWin>> records;
    std::vector<int> images;
    for (int index : gone) {
        auto it = records_.find(rows.Item(index).Data);
        if (it == records_.end()) continue;
        if (it->second->ImageIndex >= 0) images.push_back(it->second->ImageIndex);
        records.push_back(std::move(it->second));
        records_.erase(it);
        // An answer to the row's question that comes from now on changes nothing.
        probes_.Forget(rows.Item(index).Data);
    }
    // Their images go from both lists, the highest first; an image that can't be deleted stays, and
    // its row goes all the same.
    std::sort(images.begin(), images.end(), std::greater<>());
    std::vector<int> deleted;
    for (int image : images)
        RunQuietly([&] {
            imglstAppSmallIcon.Delete(image);
            imglstAppLargeIcon.Delete(image);
            deleted.push_back(image);
        });
    // The other rows keep their pictures: each index drops by the number of images deleted below it.
    if (!deleted.empty()) {
        std::sort(deleted.begin(), deleted.end());
        auto below = [&](int index) {
            return static_cast<int>(std::lower_bound(deleted.begin(), deleted.end(), index) - deleted.begin());
        };
        for (int i = 0; i < rows.ItemCount(); ++i) {
            TListItem& row = rows.Item(i);
            if (row.ImageIndex() > 0) row.SetImageIndex(row.ImageIndex() - below(row.ImageIndex()));
            if (auto it = records_.find(row.Data); it != records_.end() && it->second->ImageIndex > 0)
                it->second->ImageIndex -= below(it->second->ImageIndex);
        }
    }
    for (const auto& record : records)
        DestroyIconQuietly(platform_.Shell, record->Icon);
    // From the last to the first, so the positions still to come stay valid.
    for (auto it = gone.rbegin(); it != gone.rend(); ++it) RunQuietly([&] { rows.DeleteItem(*it); });
}

int TApplicationsPage::InsertionPoint(const std::string& caption) const {
    const TListView& rows = *sagApplications;
    ISystem& system = platform_.System;
    int low = 0, high = rows.ItemCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (system.lstrcmpA(caption, rows.Item(middle).Caption()) < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

void TApplicationsPage::AddRow(int engineIndex) {
    TWinList& list = frame_.Windows();
    const TWinInfo& info = list.Info(engineIndex);
    // The place first: nothing is made for a row that cannot be placed.
    const int position = InsertionPoint(list.Caption(engineIndex));
    auto record = std::make_unique<TApplicationWin>();
    record->Handle = info.Handle;
    record->ParentHandle = info.ParentHandle;
    record->ThreadID = info.ThreadID;
    record->ProcessID = info.ProcessID;
    record->Style = info.Style;
    record->ExStyle = info.ExStyle;
    record->ExePath = info.ExePath;
    record->WinClassName = info.WinClassName;
    record->ParentCaption = info.ParentCaption;
    // From here the record owns the icon, extracted now: the engine extracts none for windows that
    // have their rows already.
    record->Icon = list.AdoptIcon(engineIndex);
    const std::uintptr_t key = nextKey_++;
    TApplicationWin& owned = *record;
    records_[key] = std::move(record);

    // The icon goes into both image lists or into neither, so one index is valid in both.
    if (owned.Icon != 0) {
        int small = -1, large = -1;
        RunQuietly([&] {
            small = imglstAppSmallIcon.AddIcon(owned.Icon);
            if (small >= 0) large = imglstAppLargeIcon.AddIcon(owned.Icon);
        });
        if (small >= 0 && large == small) {
            owned.ImageIndex = large;
        } else {
            if (large >= 0) RunQuietly([&] { imglstAppLargeIcon.Delete(large); });
            if (small >= 0) RunQuietly([&] { imglstAppSmallIcon.Delete(small); });
        }
    }

    TListView& rows = *sagApplications;
    TListItem& row = rows.InsertItem(position);
    row.Data = key;
    row.SetCaption(list.Caption(engineIndex));
    row.SetImageIndex(owned.ImageIndex);
    row.SetSubItems({""});
}

void TApplicationsPage::ApplicationsListChanged() {
    TListView& rows = *sagApplications;
    TWinList& list = frame_.Windows();
    TListUpdate update(rows);

    // Removal: a row stays while the engine lists its window with the same parent, process and
    // thread; a handle reused by another window loses its row here and gets a fresh one below.
    std::set<std::tuple<HWND, HWND, DWORD, DWORD>> listed;
    for (int j = 0; j < list.Count(); ++j) {
        const TWinInfo& info = list.Info(j);
        listed.emplace(info.Handle, info.ParentHandle, info.ProcessID, info.ThreadID);
    }
    std::vector<int> gone;
    for (int i = 0; i < rows.ItemCount(); ++i) {
        RunQuietly([&] {
            const TApplicationWin* record = RecordOf(rows.Item(i));
            if (!record || !listed.count({record->Handle, record->ParentHandle, record->ProcessID, record->ThreadID}))
                gone.push_back(i);
        });
    }
    if (!gone.empty()) RemoveRows(gone);

    // Addition: a window without a row gets one, in its place. A row costs an icon; hundreds of new
    // windows get theirs kRowsAddedPerSync at a time, the rest from tmrPendingRows, so messages wait
    // for no more than that.
    std::set<HWND> shown;
    for (const auto& [key, record] : records_) shown.insert(record->Handle);
    int added = 0;
    bool pending = false;
    for (int j = 0; j < list.Count() && !pending; ++j) {
        RunQuietly([&] {
            const HWND handle = list.GetWinHandle(j);
            if (shown.count(handle)) return;
            if (added == kRowsAddedPerSync) {
                pending = true;
                return;
            }
            AddRow(j);
            shown.insert(handle);
            ++added;
        });
    }
    if (pending) tmrPendingRows.SetEnabled(true);
    UpdateTaskStatus();
}

void TApplicationsPage::tmrPendingRowsTimer() {
    tmrPendingRows.SetEnabled(false);
    ApplicationsListChanged();
}

bool TApplicationsPage::Answers(HWND handle) const {
    return platform_.Windows.SendMessageTimeoutA(handle, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kProbeTimeoutMs,
                                                 nullptr) != 0;
}

void TApplicationsPage::UpdateTaskStatus() {
    TListView& rows = *sagApplications;
    // The rows looked at: those never asked first (a new row gets its status at once), then the
    // others in turn, going on where the last refresh stopped.
    const int count = rows.ItemCount();
    const size_t budget = static_cast<size_t>(std::min(count, kRowsPerRefresh));
    std::vector<int> looked;
    looked.reserve(budget);
    for (int i = 0; i < count && looked.size() < budget; ++i)
        if (!probes_.Asked(rows.Item(i).Data)) looked.push_back(i);
    const int first = count > 0 ? nextQuestion_ % count : 0;
    int n = 0;
    for (; n < count && looked.size() < budget; ++n) {
        const int i = (first + n) % count;
        if (probes_.Asked(rows.Item(i).Data)) looked.push_back(i);
    }
    nextQuestion_ = count > 0 ? (first + n) % count : 0;
    // A refresh replaces the rows an earlier one left unasked: they are among those it looks at
    // when they are due.
    unasked_.clear();
    for (int i : looked) unasked_.push_back(rows.Item(i).Data);
    AskPending();
}

void TApplicationsPage::tmrPendingAsksTimer() {
    tmrPendingAsks.SetEnabled(false);
    AskPending();
}

void TApplicationsPage::AskPending() {
    TListView& rows = *sagApplications;
    const size_t batch = std::min(unasked_.size(), static_cast<size_t>(kRowsAskedAtOnce));
    std::vector<StatusProbes::Row> now(unasked_.begin(), unasked_.begin() + static_cast<std::ptrdiff_t>(batch));
    unasked_.erase(unasked_.begin(), unasked_.begin() + static_cast<std::ptrdiff_t>(batch));
    if (!unasked_.empty()) tmrPendingAsks.SetEnabled(true);
    std::unordered_map<StatusProbes::Row, int> indexOf;
    if (!now.empty())
        for (int i = 0; i < rows.ItemCount(); ++i) indexOf.emplace(rows.Item(i).Data, i);
    TListUpdate update(rows);
    for (StatusProbes::Row key : now) {
        RunQuietly([&] {
            auto at = indexOf.find(key);
            if (at == indexOf.end()) return;
            TListItem& row = rows.Item(at->second);
            const TApplicationWin* record = RecordOf(row);
            if (!record) return;
            // Reading another program's caption never waits for it.
            std::string caption;
            platform_.Windows.GetWindowTextA(record->Handle, caption, kLiveCaptionBuffer);
            row.SetCaption(caption);
            probes_.Ask(row.Data, record->Handle);
        });
    }
    // Their verdict comes kProbeTimeoutMs from now, or when the last of them answers; while an
    // earlier round waits for its own, these questions are judged at the round after it. Windows of
    // this thread have answered already.
    if (!tmrProbeVerdicts.Enabled() && probes_.Waiting()) {
        probes_.CloseRound();
        if (probes_.Settled())
            tmrProbeVerdictsTimer();
        else
            tmrProbeVerdicts.SetEnabled(true);
    }
}

void TApplicationsPage::tmrProbeVerdictsTimer() {
    tmrProbeVerdicts.SetEnabled(false);
    std::unordered_map<StatusProbes::Row, StatusProbes::Verdict> verdicts;
    RunQuietly([&] {
        for (const auto& [row, verdict] : probes_.Judge()) verdicts.emplace(row, verdict);
    });
    if (!verdicts.empty()) {
        TListView& rows = *sagApplications;
        TListUpdate update(rows);
        for (int i = 0; i < rows.ItemCount(); ++i) {
            RunQuietly([&] {
                TListItem& row = rows.Item(i);
                auto it = verdicts.find(row.Data);
                if (it == verdicts.end()) return;
                row.SetSubItem(0, it->second == StatusProbes::Verdict::Running ? kRunning : kNotResponding);
            });
        }
    }
    if (probes_.Waiting()) {
        probes_.CloseRound();
        tmrProbeVerdicts.SetEnabled(true);
    }
}

// ---------------------------------------------------------------------------------------------
// View styles and settings.

void TApplicationsPage::ShowViewStyle(TViewStyle style, TMenuItem& item) {
    sagApplications->SetViewStyle(style);
    item.SetChecked(true);
}

void TApplicationsPage::itmLargeIconsClick() { ShowViewStyle(TViewStyle::vsIcon, *itmLargeIcons); }
void TApplicationsPage::itmSmallIconsClick() { ShowViewStyle(TViewStyle::vsSmallIcon, *itmSmallIcons); }
void TApplicationsPage::itmListClick() { ShowViewStyle(TViewStyle::vsList, *itmList); }
void TApplicationsPage::itmDetailsClick() { ShowViewStyle(TViewStyle::vsReport, *itmDetails); }

void TApplicationsPage::LoadColumnWidths(TRegistryEnhanced& reg) {
    reg.Key = SettingsKey(kApplicationColumnsKey);
    for (int i = 0; i < sagApplications->ColumnCount() && i < kStoredColumns; ++i) {
        const TListColumn& column = sagApplications->Column(i);
        sagApplications->SetColumnWidth(i, ReadColumnWidth(reg, column.Caption, column.Width));
    }
}

void TApplicationsPage::LoadViewStyle(const TRegistryEnhanced& reg) {
    // View styles are radio choices: each one stored on is applied in turn, so each later one is
    // read against the state the earlier ones left.
    const std::pair<TMenuItem*, void (TApplicationsPage::*)()> styles[] = {
        {itmLargeIcons, &TApplicationsPage::itmLargeIconsClick},
        {itmSmallIcons, &TApplicationsPage::itmSmallIconsClick},
        {itmList, &TApplicationsPage::itmListClick},
        {itmDetails, &TApplicationsPage::itmDetailsClick}};
    for (auto [item, handler] : styles) {
        if (!reg.ReadBool(item->Caption(), item->Checked())) continue;
        item->SetChecked(true);
        (this->*handler)();
    }
}

void TApplicationsPage::SaveViewStyle(const TSettingWriter& save) const {
    for (const TMenuItem* item : {itmLargeIcons, itmSmallIcons, itmList, itmDetails})
        save(item->Caption(), item->Checked());
}

void TApplicationsPage::SaveColumnWidths(TRegistryEnhanced& reg, const TSettingWriter& save) const {
    reg.Key = SettingsKey(kApplicationColumnsKey);
    for (int i = 0; i < sagApplications->ColumnCount() && i < kStoredColumns; ++i)
        save(sagApplications->Column(i).Caption, sagApplications->Column(i).Width);
}

// ---------------------------------------------------------------------------------------------
// Selection, popup menu, Windows menu.

void TApplicationsPage::UpdateButtons() {
    const bool selected = sagApplications->Selected() != nullptr;
    btnEndTask->SetEnabled(selected);
    btnSwitchTo->SetEnabled(selected);
}

void TApplicationsPage::sagApplicationsClick() {
    UpdateButtons();
}

void TApplicationsPage::sagApplicationsSelectItem() {
    UpdateButtons();
    itmWindowsClick();
}

void TApplicationsPage::popApplicationsPopup() {
    const bool selected = sagApplications->Selected() != nullptr;
    for (TMenuItem* item : {itmAppProperties, itmSwitchTo, itmAppBringToFront, itmAppMinimize, itmPopAppRestore,
                            itmAppMaximize, itmAppEndTask, itmAppGotoProcess})
        item->SetEnabled(selected);
}

void TApplicationsPage::itmWindowsClick() {
    const bool selected = sagApplications->Selected() != nullptr;
    for (TMenuItem* item :
         {itmMinimize, itmAppRestore, itmMaximize, itmBringToFront, itmAppAlwaysOnTop})
        item->SetEnabled(selected);
}

void TApplicationsPage::sagApplicationsDblClick() {
    itmAppPropertiesClick();
}

// ---------------------------------------------------------------------------------------------
// Commands on the selected window.

bool TApplicationsPage::SelectedTarget(Target& target) const {
    const TListItem* row = sagApplications->Selected();
    if (!row) return false;
    const TApplicationWin* record = RecordOf(*row);
    if (!record) return false;
    target = Target{record->Handle, record->ThreadID, record->ProcessID};
    return true;
}

bool TApplicationsPage::StillThere(const Target& target) const {
    DWORD processId = 0;
    const DWORD threadId = platform_.Windows.GetWindowThreadProcessId(target.handle, &processId);
    return threadId != 0 && threadId == target.threadId && processId == target.processId;
}

bool TApplicationsPage::OtherThread(const Target& target) const {
    return target.threadId != platform_.Windows.GetCurrentThreadId();
}

void TApplicationsPage::Show(int cmdShow) {
    Target target;
    if (!SelectedTarget(target) || !StillThere(target)) return;
    IWindows& windows = platform_.Windows;
    if (!OtherThread(target))
        windows.ShowWindow(target.handle, cmdShow);
    else if (windows.HasShowWindowAsync())
        windows.ShowWindowAsync(target.handle, cmdShow);
    else if (Answers(target.handle))
        windows.ShowWindow(target.handle, cmdShow);
}

void TApplicationsPage::Raise(const Target& target) {
    IWindows& windows = platform_.Windows;
    if (!OtherThread(target))
        windows.BringWindowToTop(target.handle);
    else if (windows.HasShowWindowAsync())
        windows.SetWindowPos(target.handle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_ASYNCWINDOWPOS);
    else if (Answers(target.handle))
        windows.BringWindowToTop(target.handle);
}

void TApplicationsPage::SetTopmost(HWND insertAfter) {
    Target target;
    if (!SelectedTarget(target) || !StillThere(target)) return;
    IWindows& windows = platform_.Windows;
    UINT flags = kTopmostFlags;
    if (OtherThread(target)) {
        if (windows.HasShowWindowAsync())
            flags |= SWP_ASYNCWINDOWPOS;
        else if (!Answers(target.handle))
            return;
    }
    windows.SetWindowPos(target.handle, insertAfter, -1, -1, -1, -1, flags);
}

void TApplicationsPage::itmMinimizeClick() {
    Show(SW_MINIMIZE);
}

void TApplicationsPage::itmAppRestoreClick() {
    Show(SW_RESTORE);
}

void TApplicationsPage::itmMaximizeClick() {
    Show(SW_SHOWMAXIMIZED);
}

void TApplicationsPage::itmBringToFrontClick() {
    Target target;
    if (!SelectedTarget(target) || !StillThere(target)) return;
    Raise(target);
}

void TApplicationsPage::itmSetasAlwaysOnTopClick() {
    SetTopmost(HWND_TOPMOST);
}

void TApplicationsPage::itmDisableAlwaysOnTopClick() {
    SetTopmost(HWND_NOTOPMOST);
}

void TApplicationsPage::btnSwitchToClick() {
    Target target;
    if (!SelectedTarget(target) || !StillThere(target)) return;
    Raise(target);
    platform_.Windows.SetForegroundWindow(target.handle);
    platform_.Windows.SetActiveWindow(target.handle);
}

void TApplicationsPage::btnEndTaskClick() {
    // The window is the one selected when the command starts: the engine's timer and the refresh
    // tick run while the question is open and may change the rows.
    Target target;
    if (!SelectedTarget(target)) return;
    // Whatever the answer, the list is brought up to date afterwards, so a window that went away
    // loses its row at once.
    struct Resync {
        TApplicationsPage& page;
        ~Resync() {
            RunQuietly([&] {
                page.frame_.Windows().Refresh();
                page.ApplicationsListChanged();
            });
        }
    } resync{*this};
    if (frame_.Confirmations() && frame_.Window().App().MessageBox("Are you sure you want to end this task ?",
                                                                   "Confirm", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    // Only the close is asked for, and posted: the program never waits on the window. A program
    // that is slow to close (asking whether to save) closes in its own time, one that is stuck takes
    // the close when it takes messages again (or is ended from the Processes page), and the window
    // list notices the window going as it does for any window that closes.
    if (!StillThere(target)) return;
    platform_.Windows.PostMessageA(target.handle, WM_CLOSE, 0, 0);
}

void TApplicationsPage::itmAppGotoProcessClick() {
    Target target;
    if (!SelectedTarget(target)) return;
    frame_.ShowProcess(target.processId);
}

void TApplicationsPage::itmAppPropertiesClick() {
    const TListItem* row = sagApplications->Selected();
    if (!row) return;
    const TApplicationWin* record = RecordOf(*row);
    if (!record) return;
    // The dialog gets its own copy: the engine's timer runs while it is open and may free the record.
    const TApplicationWin copy = *record;
    ShowTaskProperties(frame_.Window(), platform_, copy);
}

void TApplicationsPage::btnNewTaskClick() {
    RunNewTask(frame_.Window(), frame_.Settings(), platform_);
}

}  // namespace taskwell
