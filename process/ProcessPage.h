// The Processes page: the process list sagProcesses with its chosen columns, its sorting and its
// 16-bit filter, the End Process button and the list's popup menu, and the two dialogs the page
// opens (the column chooser and the process information).
//
// Rows reach their records only through ProcessList, by the process id each row carries, so a row
// whose process has gone (while the page was hidden) never reaches a destroyed record. The rows are
// kept in the order of sagProcessesCompare, and that order is applied as a stable sort: rows whose
// keys are equal keep their places from one refresh to the next, and the selected row follows its
// process wherever the sort moves it.
#pragma once

#include <string>
#include <vector>

#include "app/PageFrame.h"
#include "platform/Platform.h"
#include "process/ProcessColumns.h"
#include "process/TProcess.h"
#include "ui/StdCtrls.h"
#include "ui/TImageList.h"
#include "ui/TListView.h"
#include "ui/TMenu.h"
#include "ui/TPageControl.h"

namespace taskwell {

class TProcessPage {
public:
    TProcessPage(TPageFrame& frame, TApplication& app, const Platform& platform);

    // Adds "&Select Columns.." to the View menu.
    void BuildMenu(TMenuItem& view);
    // Builds sagProcesses, the bottom panel, its button and the popup menu on the page's sheet.
    void Build(TTabSheet& sheet);
    // The page's menu entries show only while the page does.
    void ShowMenus(bool shown);

    // Settings: the column set and the sort column are read at start-up; SetupProcessColumns builds
    // the list's columns from ProcessColumns, storing the widths of the old columns first, each new
    // column taking its stored width; the widths, the set and the sort column are written at
    // shutdown.
    void LoadSettings(TRegistryEnhanced& registry);
    void SetupProcessColumns();
    void SaveSettings(TRegistryEnhanced& registry, const TSettingWriter& save) const;

    // Brings the rows in line with ProcessList: rows of gone or hidden processes go, the others
    // show their records' current texts, new processes get rows, and the rows are sorted once.
    void RefreshProcessList();
    // The list's comparison: +1 when row 1's key is greater than row 2's, -1 otherwise (equal keys
    // too), negated when sorting descends.
    int sagProcessesCompare(const TListItem& row1, const TListItem& row2) const;
    // A click on a column header: sorts by that column, or reverses the order when it already sorts.
    void sagProcessesColumnClick(int column);
    // The row showing that process, or null.
    TListItem* FindProcessRow(DWORD processId) const;
    // Refreshes the rows and selects the process's row; false when the process has none.
    bool SelectProcess(DWORD processId);
    // Brings the selected row into view and gives the list the focus.
    void RevealSelection();
    // Opens the column chooser; the columns are rebuilt and the rows refreshed afterwards.
    void itmSelectColumnsClick();
    void sagProcessesClick();
    // The selection changed, by mouse, keyboard or program: the button follows it.
    void sagProcessesSelectItem();
    void popProcessesPopup();
    void sagProcessesDblClick();
    // Ends the selected process (after a confirmation when confirmations are on) and refreshes.
    void itmEndProcessClick();
    // Opens the process information dialog for the selected row.
    void itmProcessInformationClick();

    // How long End Process waits for an ended process to be gone before it refreshes anyway.
    static constexpr DWORD kEndProcessWaitMs = 3000;

    TListView* sagProcesses = nullptr;
    // The process records' pictures, one index valid in both.
    TImageList imglstProcSmallIcon;
    TImageList imglstProcLargeIcon;
    TMenuItem* itmSelectColumns = nullptr;
    // The columns shown, and the signed index of the sort column (negative: descending).
    TProcessColumns ProcessColumns = DefaultProcessColumns();
    LONG SortColumn = 1;

    TPanel* pnlProcessesBottom = nullptr;
    TButton* btnEndProcess = nullptr;
    TPopupMenu popProcesses;
    TMenuItem* itmEndProcess = nullptr;
    TMenuItem* itmProcessInformation = nullptr;

private:
    // A row's sort key in one column: a number for the numeric columns, a text for the others.
    struct SortKey {
        bool numeric = false;
        LONG number = 0;
        std::string text;
    };
    // Three-way comparison of two keys of one column: numbers signed, texts byte by byte.
    static int CompareKeys(const SortKey& a, const SortKey& b);
    SortKey KeyOf(const TListItem& row, int column) const;
    // The column the rows are sorted by (1 when the stored one names none).
    int SortIndex() const;
    void SortRows();
    TProcess* RecordOf(const TListItem& row) const;
    // A 16-bit process while "&Show 16-bit tasks" is off.
    bool Hidden(const TProcess& record) const;
    // The shown optional columns, in column order: a row's sub-items.
    std::vector<const TProcessColumnRow*> CellColumns() const;
    // A record's sub-item texts in those columns.
    static std::vector<std::string> CellsOf(const TProcess& record,
                                            const std::vector<const TProcessColumnRow*>& columns);
    // The selected row's process id, when a row is selected.
    bool SelectedProcess(DWORD& processId) const;
    void EndProcess(DWORD processId);
    void UpdateButtons();

    TPageFrame& frame_;
    const Platform& platform_;
};

}  // namespace taskwell
