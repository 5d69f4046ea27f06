#include "process/ProcessPage.h"

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "app/DisplayFormats.h"
#include "app/Main.h"
#include "app/MiscUtils.h"
#include "app/PathUtils.h"
#include "process/ProcessInfo.h"
#include "process/SelectColumns.h"
#include "ui/TApplication.h"

namespace taskwell {

namespace {

constexpr int kBottomPanelHeight = 41;
constexpr int kProcessesPopupTopic = 80;
constexpr int kDefaultSortColumn = 1;
constexpr UINT kTerminatedExitCode = 0xFFFFFFFF;

using C = TProcessColumn;

// The column index of a header caption; 1 ("Image Name") for a caption that names none.
int SortColumnOfCaption(const std::string& caption) {
    const int column = ColumnOfCaption(caption);
    return column < 0 ? kDefaultSortColumn : column;
}

}  // namespace

TProcessPage::TProcessPage(TfrmMain& main, const Platform& platform) : main_(main), platform_(platform) {}

void TProcessPage::Build() {
    TListView& rows = *main_.sagProcesses;
    rows.SetViewStyle(TViewStyle::vsReport);
    rows.SetRowSelect(true);
    rows.SetFont(TFont{.Name = "Verdana", .Size = 8});
    rows.PopupMenu = &popProcesses;
    rows.OnClick = [this] { sagProcessesClick(); };
    rows.OnSelectItem = [this] { sagProcessesSelectItem(); };
    rows.OnDblClick = [this] { sagProcessesDblClick(); };
    rows.OnColumnClick = [this](int column) { sagProcessesColumnClick(column); };

    pnlProcessesBottom = &main_.tsProcesses->Add<TPanel>();
    pnlProcessesBottom->Name = "pnlProcessesBottom";
    pnlProcessesBottom->SetHeight(kBottomPanelHeight);
    pnlProcessesBottom->SetAlign(TAlign::alBottom);
    btnEndProcess = &pnlProcessesBottom->Add<TButton>("&End Process");
    btnEndProcess->Name = "btnEndProcess";
    btnEndProcess->Hint = "Terminate this process.";
    btnEndProcess->SetBounds(8, 12, 81, 25);
    btnEndProcess->SetEnabled(false);
    btnEndProcess->OnClick = [this] { itmEndProcessClick(); };

    popProcesses.Name = "popProcesses";
    itmEndProcess = &popProcesses.Items().Add("&End process");
    itmProcessInformation = &popProcesses.Items().Add("&Process Information");
    itmProcessInformation->SetDefault(true);
    for (TMenuItem* item : {itmEndProcess, itmProcessInformation}) {
        item->SetEnabled(false);
        item->HelpContext = kProcessesPopupTopic;
    }
    itmEndProcess->OnClick = [this] { itmEndProcessClick(); };
    itmProcessInformation->OnClick = [this] { itmProcessInformationClick(); };
    popProcesses.OnPopup = [this] { popProcessesPopup(); };
}

// ---------------------------------------------------------------------------------------------
// Rows.

TProcess* TProcessPage::RecordOf(const TListItem& row) const {
    return main_.ProcessList.Find(static_cast<DWORD>(row.Data));
}

bool TProcessPage::Hidden(const TProcess& record) const {
    return !main_.itmShow16bit->Checked() && StartsWith(record.BinTyp, "16");
}

std::vector<std::string> TProcessPage::CellsOf(const TProcess& record) const {
    std::vector<std::string> cells;
    // "PID" is the row's caption; the other columns shown are its sub-items.
    for (const TProcessColumnRow& column : ProcessColumnTable())
        if (column.column != C::pdProcessID && main_.ProcessColumns.count(column.column))
            cells.push_back(column.cell(record));
    return cells;
}

TListItem* TProcessPage::FindProcessRow(DWORD processId) const {
    return main_.sagProcesses->FindCaption(0, HexText(processId));
}

void TProcessPage::RefreshProcessList() {
    TListView& rows = *main_.sagProcesses;
    rows.BeginUpdate();
    struct EndUpdate {
        TListView& rows;
        ~EndUpdate() { rows.EndUpdate(); }
    } endUpdate{rows};

    // Rows of processes that are gone, or hidden by the 16-bit filter, go.
    for (int position = 0; position < rows.ItemCount();) {
        try {
            const TProcess* record = RecordOf(rows.Item(position));
            if (!record || Hidden(*record)) {
                rows.DeleteItem(position);
                continue;
            }
        } catch (...) {
            // The row stays; the walk goes on.
        }
        ++position;
    }

    // Every shown process gets its row with its current texts. The texts are made before the row
    // is touched, so a record that fails leaves its row as it was.
    const ProcessList& records = main_.ProcessList;
    for (int i = 0; i < records.Count(); ++i) {
        try {
            const TProcess& record = records.Record(i);
            if (Hidden(record)) continue;
            std::string caption = HexText(record.ProcessID);
            std::vector<std::string> cells = CellsOf(record);
            TListItem* row = rows.FindCaption(0, caption);
            if (!row) row = &rows.AddItem();
            row->Data = record.ProcessID;
            row->SetCaption(caption);
            row->SetImageIndex(record.ImageIndex);
            row->SetSubItems(std::move(cells));
        } catch (...) {
            // The next record is handled all the same.
        }
    }

    SortRows();
    UpdateButtons();
}

// ---------------------------------------------------------------------------------------------
// Order.

int TProcessPage::SortIndex() const {
    const LONG column = main_.SortColumn < 0 ? -static_cast<std::int64_t>(main_.SortColumn) : main_.SortColumn;
    return column < kProcessColumnCount ? static_cast<int>(column) : kDefaultSortColumn;
}

TProcessPage::SortKey TProcessPage::KeyOf(const TListItem& row, int column) const {
    SortKey key;
    if (column == ColumnIndex(C::pdProcessID)) {
        key.text = row.Caption();
        return key;
    }
    const TProcessColumnRow& rule = ColumnRow(static_cast<TProcessColumn>(column));
    const TProcess* record = RecordOf(row);
    if (!record) return key;
    if (rule.number) {
        key.numeric = true;
        key.number = static_cast<LONG>(rule.number(*record));
    } else {
        key.text = rule.cell(*record);
    }
    return key;
}

int TProcessPage::CompareKeys(const SortKey& a, const SortKey& b) {
    if (a.numeric && b.numeric) return a.number < b.number ? -1 : a.number > b.number ? 1 : 0;
    // std::string compares as unsigned characters, a proper prefix being the smaller.
    const int c = a.text.compare(b.text);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

int TProcessPage::sagProcessesCompare(const TListItem& row1, const TListItem& row2) const {
    const int column = SortIndex();
    const int result = CompareKeys(KeyOf(row1, column), KeyOf(row2, column)) > 0 ? 1 : -1;
    return main_.SortColumn < 0 ? -result : result;
}

void TProcessPage::SortRows() {
    TListView& rows = *main_.sagProcesses;
    const int column = SortIndex();
    const bool descending = main_.SortColumn < 0;
    // Each row's key once, by its position before the sort; the comparison itself asks nothing.
    std::vector<SortKey> keys;
    keys.reserve(static_cast<size_t>(rows.ItemCount()));
    for (int i = 0; i < rows.ItemCount(); ++i) keys.push_back(KeyOf(rows.Item(i), column));
    // The order of sagProcessesCompare as a strict test: a row goes before another only when its
    // key really is smaller (greater when descending); equal keys keep their order.
    rows.Sort([&](const TListItem& a, const TListItem& b) {
        const int c = CompareKeys(keys[static_cast<size_t>(a.Index())], keys[static_cast<size_t>(b.Index())]);
        return descending ? c > 0 : c < 0;
    });
}

void TProcessPage::sagProcessesColumnClick(int column) {
    const int index = SortColumnOfCaption(main_.sagProcesses->Column(column).Caption);
    main_.SortColumn = index == SortIndex() ? -main_.SortColumn : index;
    main_.sagProcesses->ClearItems();
    RefreshProcessList();
}

// ---------------------------------------------------------------------------------------------
// Columns.

void TProcessPage::itmSelectColumnsClick() {
    {
        TfrmSelectColumns chooser(main_.App());
        PlaceDialog(chooser, main_);
        chooser.SetColumns(main_.ProcessColumns);
        if (chooser.ShowModal() == mrOk) main_.ProcessColumns = chooser.Columns();
    }
    // The rows take the new columns at once, also when storing the old widths was refused.
    try {
        main_.SetupProcessColumns();
    } catch (...) {
        RefreshProcessList();
        throw;
    }
    RefreshProcessList();
}

// ---------------------------------------------------------------------------------------------
// Selection, button and popup menu.

void TProcessPage::UpdateButtons() {
    if (btnEndProcess) btnEndProcess->SetEnabled(main_.sagProcesses->Selected() != nullptr);
}

void TProcessPage::sagProcessesClick() {
    UpdateButtons();
}

void TProcessPage::sagProcessesSelectItem() {
    UpdateButtons();
}

void TProcessPage::popProcessesPopup() {
    const bool selected = main_.sagProcesses->Selected() != nullptr;
    itmEndProcess->SetEnabled(selected);
    itmProcessInformation->SetEnabled(selected);
}

void TProcessPage::sagProcessesDblClick() {
    itmProcessInformationClick();
}

bool TProcessPage::SelectedProcess(DWORD& processId) const {
    const TListItem* row = main_.sagProcesses->Selected();
    if (!row) return false;
    // The caption is the id in hexadecimal.
    char* end = nullptr;
    const unsigned long id = std::strtoul(row->Caption().c_str(), &end, 16);
    if (row->Caption().empty() || *end != '\0') return false;
    processId = static_cast<DWORD>(id);
    return true;
}

// ---------------------------------------------------------------------------------------------
// End Process.

void TProcessPage::itmEndProcessClick() {
    // The process is the one selected when the command starts: ticks run while the question is
    // open and may move or remove rows.
    DWORD processId = 0;
    if (!SelectedProcess(processId)) return;
    if (main_.itmConfirmations->Checked() &&
        main_.App().MessageBox("Are you sure you want to end this process ?", "Confirm", MB_YESNO | MB_ICONQUESTION) !=
            IDYES)
        return;
    // A process that left meanwhile is not looked for again: its id may already be another's.
    if (main_.ProcessList.Find(processId)) EndProcess(processId);
    main_.tmrRefreshTimer();
}

void TProcessPage::EndProcess(DWORD processId) {
    IProcesses& processes = platform_.Processes;
    // The wait below needs the right to wait on the handle: without it the NT family and Wine fail
    // the wait at once, and the refresh could still list the dying process.
    const HANDLE process = processes.OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, false, processId);
    struct Release {
        IProcesses& processes;
        HANDLE handle;
        ~Release() {
            try {
                if (handle != 0) processes.CloseHandle(handle);
            } catch (...) {
            }
        }
    } release{processes, process};
    if (process == 0) return;
    // A process that does not end in time is left to the refresh to show; the program never waits
    // for another one without a limit.
    if (processes.TerminateProcess(process, kTerminatedExitCode))
        processes.WaitForSingleObject(process, kEndProcessWaitMs);
}

// ---------------------------------------------------------------------------------------------
// Process information.

void TProcessPage::itmProcessInformationClick() {
    const TListItem* row = main_.sagProcesses->Selected();
    if (!row) return;
    const TProcess* record = RecordOf(*row);
    if (!record) return;
    // Filling can take a while (a heap list is long): the hourglass shows until the dialog is up.
    // Should filling fail, the dialog goes and the cursor comes back.
    THourGlass hourglass(main_.App());
    auto dialog = std::make_unique<TfrmProcessInfo>(main_.App(), platform_);
    PlaceDialog(*dialog, main_);
    dialog->ShowProcess(*record);
    hourglass.Restore();
    dialog->ShowModal();
    THourGlass closing(main_.App());
    dialog.reset();
}

}  // namespace taskwell
