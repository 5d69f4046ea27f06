#include "process/ProcessPage.h"

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <memory>

#include "app/DisplayFormats.h"
#include "app/MiscUtils.h"
#include "app/PathUtils.h"
#include "process/ProcessInfo.h"
#include "process/SelectColumns.h"
#include "ui/Exception.h"
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

constexpr const char* kProcessColumnsKey = "Process Columns";
constexpr LONG kLastSortColumn = kProcessColumnCount - 1;

TProcessPage::TProcessPage(TPageFrame& frame, TApplication& app, const Platform& platform)
    : imglstProcSmallIcon(app, 16, 16), imglstProcLargeIcon(app, 32, 32), frame_(frame), platform_(platform) {}

void TProcessPage::BuildMenu(TMenuItem& view) {
    itmSelectColumns = &view.Add("&Select Columns..");
    itmSelectColumns->OnClick = [this] { itmSelectColumnsClick(); };
}

void TProcessPage::ShowMenus(bool shown) {
    itmSelectColumns->SetVisible(shown);
}

void TProcessPage::Build(TTabSheet& sheet) {
    imglstProcSmallIcon.Name = "imglstProcSmallIcon";
    imglstProcLargeIcon.Name = "imglstProcLargeIcon";
    sagProcesses = &sheet.Add<TListView>();
    sagProcesses->Name = "sagProcesses";
    sagProcesses->SetAlign(TAlign::alClient);
    sagProcesses->SetViewStyle(TViewStyle::vsReport);
    sagProcesses->SetImages(&imglstProcLargeIcon, &imglstProcSmallIcon);
    TListView& rows = *sagProcesses;
    rows.SetRowSelect(true);
    rows.SetFont(TFont{.Name = "Verdana", .Size = 8});
    rows.PopupMenu = &popProcesses;
    rows.OnClick = [this] { sagProcessesClick(); };
    rows.OnSelectItem = [this] { sagProcessesSelectItem(); };
    rows.OnDblClick = [this] { sagProcessesDblClick(); };
    rows.OnColumnClick = [this](int column) { sagProcessesColumnClick(column); };

    pnlProcessesBottom = &sheet.Add<TPanel>();
    pnlProcessesBottom->Name = "pnlProcessesBottom";
    pnlProcessesBottom->SetHeight(sheet.Scaled(kBottomPanelHeight));
    pnlProcessesBottom->SetAlign(TAlign::alBottom);
    btnEndProcess = &pnlProcessesBottom->Add<TButton>("&End Process");
    btnEndProcess->Name = "btnEndProcess";
    btnEndProcess->Hint = "Terminate this process.";
    btnEndProcess->SetDesignBounds(8, 12, 81, 25);
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
    return frame_.Processes().Find(static_cast<DWORD>(row.Data));
}

bool TProcessPage::Hidden(const TProcess& record) const {
    return !frame_.Show16bit() && StartsWith(record.BinTyp, "16");
}

std::vector<const TProcessColumnRow*> TProcessPage::CellColumns() const {
    std::vector<const TProcessColumnRow*> columns;
    // "PID" is the row's caption; the other columns shown are its sub-items.
    for (const TProcessColumnRow& column : ProcessColumnTable())
        if (column.column != C::pdProcessID && ProcessColumns.count(column.column)) columns.push_back(&column);
    return columns;
}

std::vector<std::string> TProcessPage::CellsOf(const TProcess& record,
                                               const std::vector<const TProcessColumnRow*>& columns) {
    std::vector<std::string> cells;
    cells.reserve(columns.size());
    for (const TProcessColumnRow* column : columns) cells.push_back(column->cell(record));
    return cells;
}

TListItem* TProcessPage::FindProcessRow(DWORD processId) const {
    return sagProcesses->FindCaption(0, HexText(processId));
}

bool TProcessPage::SelectProcess(DWORD processId) {
    // The rows may be stale while the page is hidden: they are brought up to date first.
    RefreshProcessList();
    const TListItem* row = FindProcessRow(processId);
    if (!row) return false;
    sagProcesses->SetSelectedIndex(row->Index());
    return true;
}

void TProcessPage::RevealSelection() {
    // The row comes into view and the list takes the focus, so the selection shows at once (the
    // page change may have moved the row).
    if (const TListItem* selected = sagProcesses->Selected()) sagProcesses->MakeVisible(selected->Index());
    frame_.Window().FocusControl(*sagProcesses);
}

void TProcessPage::RefreshProcessList() {
    TListView& rows = *sagProcesses;
    TListUpdate update(rows);

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
    const ProcessList& records = frame_.Processes();
    const std::vector<const TProcessColumnRow*> columns = CellColumns();
    for (int i = 0; i < records.Count(); ++i) {
        try {
            const TProcess& record = records.Record(i);
            if (Hidden(record)) continue;
            std::string caption = HexText(record.ProcessID);
            std::vector<std::string> cells = CellsOf(record, columns);
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
    const LONG column = SortColumn < 0 ? -static_cast<std::int64_t>(SortColumn) : SortColumn;
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
    return SortColumn < 0 ? -result : result;
}

void TProcessPage::SortRows() {
    TListView& rows = *sagProcesses;
    const int column = SortIndex();
    const bool descending = SortColumn < 0;
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
    const int index = SortColumnOfCaption(sagProcesses->Column(column).Caption);
    SortColumn = index == SortIndex() ? -SortColumn : index;
    sagProcesses->ClearItems();
    RefreshProcessList();
}

// ---------------------------------------------------------------------------------------------
// Columns.

void TProcessPage::itmSelectColumnsClick() {
    {
        TfrmSelectColumns chooser(frame_.Window().App());
        PlaceDialog(chooser, frame_.Window());
        chooser.SetColumns(ProcessColumns);
        if (chooser.ShowModal() == mrOk) ProcessColumns = chooser.Columns();
    }
    // The rows take the new columns at once, also when storing the old widths was refused.
    try {
        SetupProcessColumns();
    } catch (...) {
        RefreshProcessList();
        throw;
    }
    RefreshProcessList();
}

void TProcessPage::LoadSettings(TRegistryEnhanced& reg) {
    reg.Key = SettingsKey(kProcessColumnsKey);
    const TProcessColumns defaults = ProcessColumns;
    ProcessColumns = {TProcessColumn::pdProcessID};
    for (TProcessColumn column : FlagLoadOrder())
        if (reg.ReadBool(ColumnIdentifier(column), defaults.count(column) != 0)) ProcessColumns.insert(column);
    // A sort column must name a column; anything else (including the one number whose sign cannot
    // be turned) keeps the current one.
    const LONG sorting = reg.ReadInteger("Sorting", SortColumn);
    if (sorting >= -kLastSortColumn && sorting <= kLastSortColumn) SortColumn = sorting;
}

void TProcessPage::SetupProcessColumns() {
    TRegistryEnhanced& reg = frame_.Settings();
    reg.Key = SettingsKey(kProcessColumnsKey);
    std::exception_ptr refused;
    for (int i = 0; i < sagProcesses->ColumnCount(); ++i) {
        const TListColumn& column = sagProcesses->Column(i);
        if (column.Caption.empty()) continue;
        try {
            reg.WriteValue(column.Caption, column.Width);
        } catch (const Exception&) {
            if (!refused) refused = std::current_exception();
        }
    }
    sagProcesses->ClearColumns();
    for (const TProcessColumnRow& row : ProcessColumnTable())
        if (ProcessColumns.count(row.column))
            sagProcesses->AddColumn(row.caption, ReadColumnWidth(reg, row.caption, sagProcesses->Scaled(row.defaultWidth)));
    // The columns are rebuilt whatever was refused; the refusal is then reported to the caller.
    if (refused) std::rethrow_exception(refused);
}

void TProcessPage::SaveSettings(TRegistryEnhanced& reg, const TSettingWriter& save) const {
    // The widths of the columns shown, the column set and the sort column.
    reg.Key = SettingsKey(kProcessColumnsKey);
    for (int i = 0; i < sagProcesses->ColumnCount(); ++i) {
        const TListColumn& column = sagProcesses->Column(i);
        if (!column.Caption.empty()) save(column.Caption, column.Width);
    }
    for (TProcessColumn column : FlagSaveOrder()) save(ColumnIdentifier(column), ProcessColumns.count(column) != 0);
    save("Sorting", SortColumn);
}

// ---------------------------------------------------------------------------------------------
// Selection, button and popup menu.

void TProcessPage::UpdateButtons() {
    if (btnEndProcess) btnEndProcess->SetEnabled(sagProcesses->Selected() != nullptr);
}

void TProcessPage::sagProcessesClick() {
    UpdateButtons();
}

void TProcessPage::sagProcessesSelectItem() {
    UpdateButtons();
}

void TProcessPage::popProcessesPopup() {
    const bool selected = sagProcesses->Selected() != nullptr;
    itmEndProcess->SetEnabled(selected);
    itmProcessInformation->SetEnabled(selected);
}

void TProcessPage::sagProcessesDblClick() {
    itmProcessInformationClick();
}

bool TProcessPage::SelectedProcess(DWORD& processId) const {
    const TListItem* row = sagProcesses->Selected();
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
    if (frame_.Confirmations() && frame_.Window().App().MessageBox("Are you sure you want to end this process ?",
                                                                   "Confirm", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    // A process that left meanwhile is not looked for again: its id may already be another's.
    if (frame_.Processes().Find(processId)) EndProcess(processId);
    frame_.RefreshNow();
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
    const TListItem* row = sagProcesses->Selected();
    if (!row) return;
    const TProcess* record = RecordOf(*row);
    if (!record) return;
    // Filling can take a while (a heap list is long).
    TForm& owner = frame_.Window();
    ShowFilledDialog(
        owner, [&] { return std::make_unique<TfrmProcessInfo>(owner.App(), platform_); },
        [&](TfrmProcessInfo& dialog) { dialog.ShowProcess(*record); });
}

}  // namespace taskwell
