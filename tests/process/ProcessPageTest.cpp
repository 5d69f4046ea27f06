// The Processes page against the simulated machine: the rows and their texts, the order of every
// column, header clicks, the 16-bit filter, the column chooser, End Process and the popup menu.
#include "process/ProcessPage.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "app/Main.h"
#include "process/SelectColumns.h"
#include "support/ListViewInvariants.h"
#include "support/SimFixture.h"

namespace taskwell {
namespace {

using sim::Op;
using testing::SimFixture;

constexpr const char* kProcColumns = "Software\\Orvex Software\\Taskwell\\Process Columns";

TProcessColumns AllColumns() {
    TProcessColumns all;
    for (int i = 0; i < kProcessColumnCount; ++i) all.insert(static_cast<TProcessColumn>(i));
    return all;
}

struct PageFixture : SimFixture {
    std::unique_ptr<TfrmMain> form;

    // The main window, shown, on the Processes page.
    void Create() {
        form = CreateMainForm();
        form->Show();
        form->pcMain->SelectPage(1);
    }
    TListView& Rows() const { return *form->ProcessPage.sagProcesses; }
    TProcessPage& Page() const { return form->ProcessPage; }
    void Tick() { form->tmrRefreshTimer(); }

    // The process ids of the rows, top to bottom.
    std::vector<DWORD> Order() const {
        std::vector<DWORD> ids;
        for (int i = 0; i < Rows().ItemCount(); ++i) ids.push_back(static_cast<DWORD>(Rows().Item(i).Data));
        return ids;
    }
    // The text a row shows under the column with that caption ("" when there is no such column).
    std::string Cell(DWORD pid, const std::string& caption) const {
        const TListItem* row = Page().FindProcessRow(pid);
        if (!row) return "<no row>";
        for (int c = 0; c < Rows().ColumnCount(); ++c) {
            if (Rows().Column(c).Caption != caption) continue;
            if (c == 0) return row->Caption();
            const auto& subs = row->SubItems();
            return static_cast<size_t>(c - 1) < subs.size() ? subs[static_cast<size_t>(c - 1)] : "<missing>";
        }
        return "";
    }
    void Select(DWORD pid) {
        TListItem* row = Page().FindProcessRow(pid);
        ASSERT_NE(row, nullptr);
        Rows().PeerSelected(row->Index());
    }
    ::testing::AssertionResult Invariants() const {
        auto images = testing::ImageIndicesValid(Rows());
        if (!images) return images;
        return testing::RowsBoundToRecords(Rows(), form->ProcessList);
    }
    void ShowColumns(const TProcessColumns& columns) {
        form->ProcessPage.ProcessColumns = columns;
        form->ProcessPage.SetupProcessColumns();
        form->ProcessPage.RefreshProcessList();
    }
};

// ---------------------------------------------------------------------------------------------
// Rows and texts.

TEST(ProcessRows, ShowEachProcessWithTheDefaultColumns) {
    PageFixture f;
    sim::SimProcess p;
    p.szExeFile = "C:\\WINDOWS\\EXPLORER.EXE";
    p.cntThreads = 7;
    p.pcPriClassBase = 13;
    const DWORD explorer = f.machine.AddProcess(p);
    const DWORD dos = f.Start("C:\\DOS\\EDIT.COM", sim::kExeMZ, 0);
    f.Create();
    EXPECT_TRUE(f.Invariants());
    ASSERT_EQ(f.Rows().ColumnCount(), 5);
    const char* captions[] = {"PID", "Image Name", "Threads", "Priority", "Type"};
    for (int c = 0; c < 5; ++c) EXPECT_EQ(f.Rows().Column(c).Caption, captions[c]);
    EXPECT_EQ(f.Cell(explorer, "PID"), "FFF10000");
    EXPECT_EQ(f.Cell(explorer, "Image Name"), "explorer.exe");
    EXPECT_EQ(f.Cell(explorer, "Threads"), "7");
    EXPECT_EQ(f.Cell(explorer, "Priority"), "High");
    EXPECT_EQ(f.Cell(explorer, "Type"), "32-Bit (4.0)");
    EXPECT_EQ(f.Cell(dos, "Type"), "MS-Dos");
    // Rows carry their process's icon.
    const TListItem* row = f.Page().FindProcessRow(explorer);
    EXPECT_EQ(row->ImageIndex(), f.form->ProcessList.Find(explorer)->ImageIndex);
    EXPECT_GE(row->ImageIndex(), 0);
}

TEST(ProcessRows, EveryTextStandsUnderItsOwnColumnWhateverIsShown) {
    PageFixture f;
    sim::SimProcess p;
    p.szExeFile = "C:\\APPS\\TOOL.EXE";
    p.cntUsage = 3;
    p.th32DefaultHeapID = 0x00C20000;
    p.th32ModuleID = 0x1111;
    p.cntThreads = 4;
    p.th32ParentProcessID = 0xFFF00020;
    p.dwFlags = 0x10;
    const DWORD pid = f.machine.AddProcess(p);
    f.Create();
    const std::map<std::string, std::string> expected = {
        {"PID", "FFF10000"},       {"Image Name", "tool.exe"}, {"Usage", "3"},    {"DefHeapID", "00C20000"},
        {"ModuleID", "00001111"}, {"Threads", "4"},           {"ParentID", "FFF00020"}, {"Priority", "Normal"},
        {"Type", "32-Bit (4.0)"}, {"Flags", "00000010"}};
    // All columns, all but "Name", and a few scattered ones: each cell is its column's text.
    TProcessColumns noName = AllColumns();
    noName.erase(TProcessColumn::pdImageName);
    const TProcessColumns sets[] = {
        AllColumns(), noName, {TProcessColumn::pdProcessID, TProcessColumn::pdParentID, TProcessColumn::pddwFlags}};
    for (const TProcessColumns& set : sets) {
        f.ShowColumns(set);
        ASSERT_EQ(f.Rows().ColumnCount(), static_cast<int>(set.size()));
        for (int c = 0; c < f.Rows().ColumnCount(); ++c) {
            const std::string& caption = f.Rows().Column(c).Caption;
            EXPECT_EQ(f.Cell(pid, caption), expected.at(caption)) << caption << " of " << set.size() << " columns";
        }
        EXPECT_EQ(f.Page().FindProcessRow(pid)->SubItems().size(), set.size() - 1);
        EXPECT_TRUE(f.Invariants());
    }
}

TEST(ProcessRows, FollowTheRecordsOnEveryTickWhileThePageIsShown) {
    PageFixture f;
    const std::vector<DWORD> desktop = f.StartDesktop();
    f.Create();
    EXPECT_EQ(f.Rows().ItemCount(), 4);
    f.machine.FindProcess(desktop[2])->cntThreads = 12;
    f.machine.RemoveProcess(desktop[0]);
    const DWORD started = f.Start("C:\\WINDOWS\\NOTEPAD.EXE");
    f.ui.Advance(1750);  // the next tick at Normal speed
    EXPECT_TRUE(f.Invariants());
    EXPECT_EQ(f.Page().FindProcessRow(desktop[0]), nullptr);
    EXPECT_EQ(f.Cell(desktop[2], "Threads"), "12");
    EXPECT_EQ(f.Cell(started, "Image Name"), "notepad.exe");
    EXPECT_EQ(f.Rows().ItemCount(), 4);
}

TEST(ProcessRows, StayAsTheyWereWhileThePageIsHidden) {
    PageFixture f;
    const std::vector<DWORD> desktop = f.StartDesktop();
    f.Create();
    f.form->pcMain->SelectPage(0);
    f.machine.FindProcess(desktop[1])->cntThreads = 9;
    f.machine.RemoveProcess(desktop[2]);
    f.ui.Advance(1750);
    // The gone process is still listed, with no picture of another process, and nothing changed.
    EXPECT_TRUE(testing::ImageIndicesValid(f.Rows()));
    ASSERT_NE(f.Page().FindProcessRow(desktop[2]), nullptr);
    EXPECT_EQ(f.Page().FindProcessRow(desktop[2])->ImageIndex(), -1);
    EXPECT_EQ(f.Cell(desktop[1], "Threads"), "1");
    // Showing the page changes nothing yet; the next tick brings the rows up to date.
    f.form->pcMain->SelectPage(1);
    ASSERT_NE(f.Page().FindProcessRow(desktop[2]), nullptr);
    f.ui.Advance(1750);
    EXPECT_EQ(f.Page().FindProcessRow(desktop[2]), nullptr);
    EXPECT_EQ(f.Cell(desktop[1], "Threads"), "9");
    EXPECT_TRUE(f.Invariants());
}

TEST(ProcessRows, AMinimisedWindowRefreshesNoRows) {
    PageFixture f;
    const std::vector<DWORD> desktop = f.StartDesktop();
    f.Create();
    f.form->SetWindowState(TWindowState::wsMinimized);
    f.machine.RemoveProcess(desktop[3]);
    f.Tick();
    EXPECT_NE(f.Page().FindProcessRow(desktop[3]), nullptr);
    EXPECT_EQ(f.form->Readings.ProcessCount, 3);
}

// ---------------------------------------------------------------------------------------------
// Order.

// Three processes whose keys differ in every column, and their ascending order in each.
struct OrderCase {
    int column;
    std::vector<int> ascending;  // positions of the three processes, top to bottom
};

void StartThree(PageFixture& f, std::vector<DWORD>& ids) {
    struct Fields {
        DWORD pid;
        const char* exe;
        DWORD usage, heap, module, threads, parent;
        LONG priority;
        DWORD exeType, version, flags;
    };
    const Fields three[] = {
        {0x00000010, "C:\\B\\ZED.EXE", 5, 0x00000000, 3, 2, 0xFFFFFFF0, 8, sim::kExePE32, 0x00040000, 2},
        {0x80000000, "C:\\Z\\alpha.exe", 0xFFFFFFFF, 0x80000000, 1, 10, 4, 13, sim::kExeMZ, 0x00040000, 0x80000001},
        {0x7FFFFFF0, "C:\\A\\Mid.EXE", 0, 0x7FFFFFFF, 2, 9, 0, 4, sim::kExeNE16, 0x0003000A, 0x7FFFFFFF},
    };
    for (const Fields& x : three) {
        sim::SimProcess p;
        p.th32ProcessID = x.pid;
        p.szExeFile = x.exe;
        p.cntUsage = x.usage;
        p.th32DefaultHeapID = x.heap;
        p.th32ModuleID = x.module;
        p.cntThreads = x.threads;
        p.th32ParentProcessID = x.parent;
        p.pcPriClassBase = x.priority;
        p.exeType = x.exeType;
        p.version = x.version;
        p.dwFlags = x.flags;
        ids.push_back(f.machine.AddProcess(p));
    }
}

class ColumnOrder : public ::testing::TestWithParam<OrderCase> {};

TEST_P(ColumnOrder, SortsBothWays) {
    const OrderCase c = GetParam();
    PageFixture f;
    std::vector<DWORD> ids;
    StartThree(f, ids);
    f.Create();
    f.ShowColumns(AllColumns());
    std::vector<DWORD> ascending;
    for (int i : c.ascending) ascending.push_back(ids[static_cast<size_t>(i)]);

    f.form->ProcessPage.SortColumn = c.column;
    f.form->ProcessPage.RefreshProcessList();
    EXPECT_EQ(f.Order(), ascending) << ColumnCaption(static_cast<TProcessColumn>(c.column)) << " ascending";
    f.form->ProcessPage.SortColumn = -c.column;
    f.form->ProcessPage.RefreshProcessList();
    std::vector<DWORD> descending(ascending.rbegin(), ascending.rend());
    // -0 is 0: "PID" always sorts ascending.
    EXPECT_EQ(f.Order(), c.column == 0 ? ascending : descending) << ColumnCaption(static_cast<TProcessColumn>(c.column))
                                                                  << " descending";
    EXPECT_TRUE(f.Invariants());
}

INSTANTIATE_TEST_SUITE_P(
    EveryColumn, ColumnOrder,
    ::testing::Values(OrderCase{0, {0, 2, 1}},   // ids as text: 00000010, 7FFFFFF0, 80000000
                      OrderCase{1, {1, 2, 0}},   // lower-case names: alpha, mid, zed
                      OrderCase{2, {1, 2, 0}},   // usage signed: -1, 0, 5
                      OrderCase{3, {1, 0, 2}},   // heap ids signed: 80000000, 00000000, 7FFFFFFF
                      OrderCase{4, {1, 2, 0}},   // module ids 1, 2, 3
                      OrderCase{5, {0, 2, 1}},   // threads as numbers: 2, 9, 10
                      OrderCase{6, {0, 2, 1}},   // parents signed: FFFFFFF0, 0, 4
                      OrderCase{7, {1, 2, 0}},   // "High", "Idle", "Normal"
                      OrderCase{8, {2, 0, 1}},   // "16-Bit (3.10)", "32-Bit (4.0)", "MS-Dos (4.0)"
                      OrderCase{9, {1, 0, 2}}),  // flags signed: 80000001, 2, 7FFFFFFF
    [](const ::testing::TestParamInfo<OrderCase>& info) { return "Column" + std::to_string(info.param.column); });

TEST(ProcessOrder, EqualKeysCompareAsMinusOneAscendingAndPlusOneDescending) {
    PageFixture f;
    f.StartDesktop();  // all with one thread
    f.Create();
    f.form->ProcessPage.SortColumn = 5;
    const TListItem& a = f.Rows().Item(0);
    const TListItem& b = f.Rows().Item(1);
    EXPECT_EQ(f.Page().sagProcessesCompare(a, b), -1);
    EXPECT_EQ(f.Page().sagProcessesCompare(b, a), -1);
    f.form->ProcessPage.SortColumn = -5;
    EXPECT_EQ(f.Page().sagProcessesCompare(a, b), 1);
    EXPECT_EQ(f.Page().sagProcessesCompare(b, a), 1);
    // Different keys: +1 exactly when row 1's key is greater.
    f.machine.FindProcess(static_cast<DWORD>(a.Data))->cntThreads = 5;
    f.Tick();
    const TListItem& more = *f.Page().FindProcessRow(static_cast<DWORD>(a.Data));
    const TListItem& fewer = *f.Page().FindProcessRow(static_cast<DWORD>(b.Data));
    EXPECT_EQ(f.Page().sagProcessesCompare(more, fewer), -1);  // descending: greater comes first
    f.form->ProcessPage.SortColumn = 5;
    EXPECT_EQ(f.Page().sagProcessesCompare(more, fewer), 1);
    EXPECT_EQ(f.Page().sagProcessesCompare(fewer, more), -1);
}

TEST(ProcessOrder, RowsWithEqualKeysNeverSwapAndTheSelectionFollowsItsProcess) {
    PageFixture f;
    std::vector<DWORD> ids = f.StartDesktop();
    ids.push_back(f.Start("C:\\WINDOWS\\NOTEPAD.EXE"));
    ids.push_back(f.Start("C:\\WINDOWS\\CALC.EXE"));
    f.Create();
    f.form->ProcessPage.SortColumn = 5;  // all have one thread
    f.Tick();
    const std::vector<DWORD> first = f.Order();
    f.Select(first[4]);
    f.Rows().PeerTopIndex(2);
    for (int i = 0; i < 5; ++i) {
        f.ui.Advance(1750);
        ASSERT_EQ(f.Order(), first) << "tick " << i;
    }
    // One process gains threads: it alone moves, to the bottom; the others keep their order.
    f.machine.FindProcess(first[1])->cntThreads = 4;
    f.ui.Advance(1750);
    std::vector<DWORD> expected = first;
    expected.erase(expected.begin() + 1);
    expected.push_back(first[1]);
    EXPECT_EQ(f.Order(), expected);
    ASSERT_NE(f.Rows().Selected(), nullptr);
    EXPECT_EQ(f.Rows().Selected()->Data, first[4]);
    EXPECT_EQ(f.Rows().TopIndex(), 2);
    EXPECT_TRUE(f.Invariants());
}

TEST(HeaderClicks, SortAscendingThenDescendingAndPIDAlwaysAscending) {
    PageFixture f;
    std::vector<DWORD> ids;
    StartThree(f, ids);
    f.Create();
    auto click = [&](const char* caption) {
        for (int c = 0; c < f.Rows().ColumnCount(); ++c)
            if (f.Rows().Column(c).Caption == caption) f.Rows().PeerColumnClick(c);
    };
    EXPECT_EQ(f.form->ProcessPage.SortColumn, 1);
    click("Threads");
    EXPECT_EQ(f.form->ProcessPage.SortColumn, 5);
    EXPECT_EQ(f.Order(), (std::vector<DWORD>{ids[0], ids[2], ids[1]}));
    click("Threads");
    EXPECT_EQ(f.form->ProcessPage.SortColumn, -5);
    EXPECT_EQ(f.Order(), (std::vector<DWORD>{ids[1], ids[2], ids[0]}));
    click("Priority");
    EXPECT_EQ(f.form->ProcessPage.SortColumn, 7);
    EXPECT_EQ(f.Order(), (std::vector<DWORD>{ids[1], ids[2], ids[0]}));
    click("PID");
    click("PID");
    EXPECT_EQ(f.form->ProcessPage.SortColumn, 0);
    EXPECT_EQ(f.Order(), (std::vector<DWORD>{ids[0], ids[2], ids[1]}));
    click("Threads");
    click("Threads");
    EXPECT_TRUE(f.Invariants());
    // The header click rebuilt the rows: no row is selected any more.
    EXPECT_EQ(f.Rows().Selected(), nullptr);
    f.form->Close();
    EXPECT_EQ(f.registry.GetDword(HKEY_CURRENT_USER, kProcColumns, "Sorting"), static_cast<DWORD>(-5));
}

// ---------------------------------------------------------------------------------------------
// The 16-bit filter.

TEST(Show16bit, HidesRowsWhoseTypeBeginsWith16AndCountsThemStill) {
    PageFixture f;
    const DWORD win16 = f.Start("C:\\WINDOWS\\SOL.EXE", sim::kExeNE16, 0x0003000A);
    const DWORD noType = f.Start("C:\\DATA\\README.TXT", 0, 0);
    const DWORD win32 = f.Start("C:\\WINDOWS\\EXPLORER.EXE");
    f.Create();
    EXPECT_EQ(f.Rows().ItemCount(), 3);
    f.form->Menus.itmShow16bit->Click();
    // At once, without a tick.
    EXPECT_EQ(f.Page().FindProcessRow(win16), nullptr);
    EXPECT_NE(f.Page().FindProcessRow(noType), nullptr);  // an empty type is no 16-bit type
    EXPECT_NE(f.Page().FindProcessRow(win32), nullptr);
    EXPECT_EQ(f.form->Readings.ProcessCount, 3);
    f.ui.Advance(1750);
    EXPECT_EQ(f.Page().FindProcessRow(win16), nullptr);
    EXPECT_TRUE(f.Invariants());
    f.form->Menus.itmShow16bit->Click();
    EXPECT_EQ(f.Cell(win16, "Type"), "16-Bit (3.10)");
    EXPECT_TRUE(f.Invariants());
}

// ---------------------------------------------------------------------------------------------
// The column chooser.

TEST(SelectColumns, IsBuiltAsDescribed) {
    SimFixture f;
    TfrmSelectColumns chooser(f.app);
    EXPECT_EQ(chooser.Caption(), "Select Columns");
    EXPECT_EQ(chooser.BorderStyle, TBorderStyle::bsToolWindow);
    EXPECT_EQ(chooser.HelpContext, 170);
    EXPECT_EQ(chooser.ClientWidth(), 303);
    EXPECT_EQ(chooser.ClientHeight(), 224);
    EXPECT_EQ(chooser.gbColumns->Caption(), " Select information to display for processes ");
    const char* captions[] = {"Name", "Usage Count", "Def Heap ID", "Module ID", "Threads count",
                              "Parent ID", "Priority", "Type", "Flags"};
    ASSERT_EQ(chooser.gbColumns->Controls().size(), 9u);
    int lastTop = -1;
    for (size_t i = 0; i < 9; ++i) {
        const TControl& box = *chooser.gbColumns->Controls()[i];
        EXPECT_EQ(box.Caption(), captions[i]);
        EXPECT_GT(box.Top(), lastTop) << "one under the other";
        lastTop = box.Top();
    }
    EXPECT_EQ(chooser.btnOk->Caption(), "&Ok");
    EXPECT_TRUE(chooser.btnOk->Default);
    EXPECT_EQ(chooser.btnOk->ModalResult, mrOk);
    EXPECT_EQ(chooser.btnCancel->Caption(), "&Cancel");
    EXPECT_EQ(chooser.btnCancel->ModalResult, mrCancel);
    // Both buttons lie inside the client area, below the group.
    for (const TButton* b : {chooser.btnOk, chooser.btnCancel}) {
        EXPECT_GE(b->Top(), chooser.gbColumns->Top() + chooser.gbColumns->Height());
        EXPECT_LE(b->Top() + b->Height(), 224);
    }
}

TEST(SelectColumns, OkAppliesTheBoxesAndRefreshesTheRowsAtOnce) {
    PageFixture f;
    const std::vector<DWORD> ids = f.StartDesktop();
    f.machine.FindProcess(ids[0])->th32ParentProcessID = 0xFFF0ABCD;
    f.Create();
    f.form->Menus.itmUpdateSpeedPaused->Click();  // no tick will come
    std::vector<bool> shownChecked;
    f.ui.ModalResponder = [&](TForm& form) {
        auto& chooser = dynamic_cast<TfrmSelectColumns&>(form);
        for (TProcessColumn c : {TProcessColumn::pdImageName, TProcessColumn::pdCntUsage, TProcessColumn::pdCntThreads,
                                 TProcessColumn::pdParentID})
            shownChecked.push_back(chooser.BoxOf(c)->Checked());
        chooser.cbParentID->Click();
        chooser.cbPriority->Click();
        chooser.btnOk->Click();
        return mrNone;
    };
    f.form->ProcessPage.itmSelectColumns->Click();
    EXPECT_EQ(f.ui.ModalForms, std::vector<std::string>{"Select Columns"});
    EXPECT_EQ(shownChecked, (std::vector<bool>{true, false, true, false}));
    EXPECT_TRUE(f.form->ProcessPage.ProcessColumns.count(TProcessColumn::pdParentID));
    EXPECT_FALSE(f.form->ProcessPage.ProcessColumns.count(TProcessColumn::pdPriority));
    std::vector<std::string> headers;
    for (int c = 0; c < f.Rows().ColumnCount(); ++c) headers.push_back(f.Rows().Column(c).Caption);
    EXPECT_EQ(headers, (std::vector<std::string>{"PID", "Image Name", "Threads", "ParentID", "Type"}));
    EXPECT_EQ(f.Cell(ids[0], "ParentID"), "FFF0ABCD");
    EXPECT_EQ(f.Cell(ids[0], "Type"), "32-Bit (4.0)");
    EXPECT_TRUE(f.Invariants());
    // The dialog is gone.
    EXPECT_EQ(f.ui.Forms().size(), 1u);
}

TEST(SelectColumns, CancelKeepsTheSetButStoresTheWidthsAndRebuildsTheColumns) {
    PageFixture f;
    f.StartDesktop();
    f.Create();
    f.Rows().PeerColumnWidth(1, 120);  // the user widened "Image Name"
    const TProcessColumns before = f.form->ProcessPage.ProcessColumns;
    f.ui.ModalResponder = [&](TForm& form) {
        auto& chooser = dynamic_cast<TfrmSelectColumns&>(form);
        chooser.cbFlags->Click();
        form.DialogKey(0x1B);  // Escape
        return mrNone;
    };
    f.form->ProcessPage.itmSelectColumns->Click();
    EXPECT_EQ(f.form->ProcessPage.ProcessColumns, before);
    EXPECT_EQ(f.registry.GetDword(HKEY_CURRENT_USER, kProcColumns, "Image Name"), 120u);
    EXPECT_EQ(f.Rows().Column(1).Width, 120);
    EXPECT_EQ(f.Rows().ColumnCount(), 5);
}

TEST(SelectColumns, IsCentredOverTheMainWindow) {
    PageFixture f;
    f.Create();
    TRect place;
    f.ui.ModalResponder = [&](TForm& form) {
        place = TRect{form.Left(), form.Top(), form.Left() + form.Width(), form.Top() + form.Height()};
        return mrCancel;
    };
    f.form->ProcessPage.itmSelectColumns->Click();
    EXPECT_EQ(place.Left, f.form->Left() + f.form->Width() / 2 - place.Width() / 2);
    EXPECT_EQ(place.Top, f.form->Top() + f.form->Height() / 2 - place.Height() / 2);
}

// ---------------------------------------------------------------------------------------------
// Button and popup menu.

TEST(EndProcessButton, FollowsTheSelectionHoweverItChanges) {
    PageFixture f;
    const std::vector<DWORD> ids = f.StartDesktop();
    f.Create();
    EXPECT_FALSE(f.Page().btnEndProcess->Enabled());
    EXPECT_EQ(f.Page().btnEndProcess->Caption(), "&End Process");
    EXPECT_EQ(f.Page().btnEndProcess->Hint, "Terminate this process.");
    f.Rows().PeerSelected(2);  // a key moved the selection: no click
    EXPECT_TRUE(f.Page().btnEndProcess->Enabled());
    // The selected process ends: its row goes, and the button with it.
    f.machine.RemoveProcess(static_cast<DWORD>(f.Rows().Selected()->Data));
    f.ui.Advance(1750);
    EXPECT_EQ(f.Rows().Selected(), nullptr);
    EXPECT_FALSE(f.Page().btnEndProcess->Enabled());
    f.Rows().SetSelectedIndex(0);  // the program selects a row (as Goto Process does)
    EXPECT_TRUE(f.Page().btnEndProcess->Enabled());
}

TEST(PopupMenu, EnablesItsItemsForASelectionAndOpensTheDialogByDefault) {
    PageFixture f;
    f.StartDesktop();
    f.Create();
    ASSERT_EQ(f.Rows().PopupMenu, &f.Page().popProcesses);
    EXPECT_EQ(f.Page().itmEndProcess->Caption(), "&End process");
    EXPECT_EQ(f.Page().itmProcessInformation->Caption(), "&Process Information");
    EXPECT_TRUE(f.Page().itmProcessInformation->Default());
    std::vector<bool> enabled;
    f.ui.PopupResponder = [&](TPopupMenu&) {
        enabled.push_back(f.Page().itmEndProcess->Enabled());
        enabled.push_back(f.Page().itmProcessInformation->Enabled());
    };
    f.Rows().PeerContextPopup(100, 200);
    f.Rows().PeerSelected(1);
    f.Rows().PeerContextPopup(100, 200);
    EXPECT_EQ(enabled, (std::vector<bool>{false, false, true, true}));
    EXPECT_EQ(f.ui.Popups.back().x, 100);
    // F1 on the menu's items asks for topic 80.
    EXPECT_EQ(f.Page().itmEndProcess->HelpContext, 80);
    EXPECT_EQ(f.Page().itmProcessInformation->HelpContext, 80);
}

// ---------------------------------------------------------------------------------------------
// End Process.

struct EndFixture : PageFixture {
    std::vector<DWORD> ids;
    EndFixture() {
        ids = StartDesktop();
        Create();
    }
    // The user's End Process on the row of pid, as a click on the button.
    void EndProcessOf(DWORD pid) {
        Select(pid);
        Page().btnEndProcess->Click();
    }
};

TEST(EndProcess, AsksThenEndsTheProcessAndRefreshesAtOnce) {
    EndFixture f;
    f.form->Menus.itmUpdateSpeedPaused->Click();  // only the action's own tick can drop the row
    f.EndProcessOf(f.ids[1]);
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(f.ui.MessageBoxes[0].caption, "Confirm");
    EXPECT_EQ(f.ui.MessageBoxes[0].text, "Are you sure you want to end this process ?");
    EXPECT_EQ(f.ui.MessageBoxes[0].flags, MB_YESNO | MB_ICONQUESTION);
    ASSERT_EQ(f.machine.TerminatedProcesses.size(), 1u);
    EXPECT_EQ(f.machine.TerminatedProcesses[0].pid, f.ids[1]);
    EXPECT_EQ(f.machine.TerminatedProcesses[0].exitCode, 0xFFFFFFFFu);
    EXPECT_EQ(f.Page().FindProcessRow(f.ids[1]), nullptr);
    EXPECT_EQ(f.form->Readings.ProcessCount, 3);
    EXPECT_EQ(f.machine.OpenProcessHandles(), 0);
    EXPECT_EQ(f.machine.OpenSnapshots(), 0);
    EXPECT_TRUE(f.Invariants());
}

TEST(EndProcess, WithoutConfirmationsEndsWithoutAsking) {
    EndFixture f;
    f.form->Menus.itmConfirmations->Click();
    f.EndProcessOf(f.ids[2]);
    EXPECT_TRUE(f.ui.MessageBoxes.empty());
    ASSERT_EQ(f.machine.TerminatedProcesses.size(), 1u);
    EXPECT_EQ(f.machine.TerminatedProcesses[0].pid, f.ids[2]);
}

TEST(EndProcess, NoChangesNothingAndRefreshesNothing) {
    EndFixture f;
    f.ui.Responder = [](const sim::MessageBoxCall&) { return IDNO; };
    const int snapshots = f.machine.Calls(Op::CreateToolhelp32Snapshot);
    f.EndProcessOf(f.ids[1]);
    EXPECT_EQ(f.machine.Calls(Op::OpenProcess), 0);
    EXPECT_EQ(f.machine.Calls(Op::CreateToolhelp32Snapshot), snapshots);
    EXPECT_NE(f.Page().FindProcessRow(f.ids[1]), nullptr);
}

TEST(EndProcess, WithoutASelectionDoesNothing) {
    EndFixture f;
    f.Page().itmEndProcessClick();
    EXPECT_TRUE(f.ui.MessageBoxes.empty());
    EXPECT_EQ(f.machine.Calls(Op::OpenProcess), 0);
}

TEST(EndProcess, ARefusalIsNotReportedAndTheListIsRefreshed) {
    struct Case {
        const char* what;
        bool refusesOpen, refusesTerminate;
    };
    for (Case c : {Case{"open refused", true, false}, Case{"terminate refused", false, true}}) {
        EndFixture f;
        f.machine.FindProcess(f.ids[3])->refusesOpen = c.refusesOpen;
        f.machine.FindProcess(f.ids[3])->refusesTerminate = c.refusesTerminate;
        const int snapshots = f.machine.Calls(Op::CreateToolhelp32Snapshot);
        f.EndProcessOf(f.ids[3]);
        EXPECT_EQ(f.ui.MessageBoxes.size(), 1u) << c.what << ": only the question";
        EXPECT_TRUE(f.machine.TerminatedProcesses.empty()) << c.what;
        EXPECT_EQ(f.machine.Calls(Op::WaitForSingleObject), 0) << c.what;
        EXPECT_GT(f.machine.Calls(Op::CreateToolhelp32Snapshot), snapshots) << c.what << ": a tick ran";
        EXPECT_NE(f.Page().FindProcessRow(f.ids[3]), nullptr) << c.what;
        EXPECT_EQ(f.machine.OpenProcessHandles(), 0) << c.what;
    }
}

TEST(EndProcess, WaitsForAProcessThatTakesItsTimeToEndSoTheRefreshNoLongerListsIt) {
    EndFixture f;
    f.form->Menus.itmUpdateSpeedPaused->Click();  // only the action's own tick can drop the row
    f.machine.FindProcess(f.ids[2])->endsAfterMs = 400;
    f.EndProcessOf(f.ids[2]);
    EXPECT_EQ(f.machine.WaitedMs, 400u);
    EXPECT_EQ(f.Page().FindProcessRow(f.ids[2]), nullptr);
    EXPECT_EQ(f.form->Readings.ProcessCount, 3);
    EXPECT_EQ(f.machine.OpenProcessHandles(), 0);
}

TEST(EndProcess, AProcessThatNeverEndsIsWaitedForABoundedTime) {
    EndFixture f;
    f.machine.FindProcess(f.ids[0])->neverEnds = true;
    f.EndProcessOf(f.ids[0]);
    EXPECT_EQ(f.machine.WaitedMs, TProcessPage::kEndProcessWaitMs);
    EXPECT_NE(f.Page().FindProcessRow(f.ids[0]), nullptr);
    EXPECT_EQ(f.machine.OpenProcessHandles(), 0);
    // The program goes on: the refresh timer still ticks.
    const int snapshots = f.machine.Calls(Op::CreateToolhelp32Snapshot);
    f.ui.Advance(1750);
    EXPECT_GT(f.machine.Calls(Op::CreateToolhelp32Snapshot), snapshots);
}

TEST(EndProcess, TheProcessIsTheOneSelectedWhenTheCommandStarted) {
    EndFixture f;
    // While the question is open, ticks run and the rows are re-sorted: another process moves onto
    // the selected row's place.
    f.form->ProcessPage.SortColumn = 5;
    f.Tick();
    const DWORD chosen = static_cast<DWORD>(f.Rows().Item(0).Data);
    f.ui.Responder = [&](const sim::MessageBoxCall&) {
        f.machine.FindProcess(chosen)->cntThreads = 9;
        f.Tick();
        return IDYES;
    };
    f.EndProcessOf(chosen);
    EXPECT_NE(f.Rows().Item(0).Data, chosen);
    ASSERT_EQ(f.machine.TerminatedProcesses.size(), 1u);
    EXPECT_EQ(f.machine.TerminatedProcesses[0].pid, chosen);
}

TEST(EndProcess, AProcessThatLeftDuringTheQuestionIsNotLookedForAgain) {
    EndFixture f;
    f.ui.Responder = [&](const sim::MessageBoxCall&) {
        f.machine.RemoveProcess(f.ids[2]);
        f.Start("C:\\WINDOWS\\NOTEPAD.EXE");
        f.Tick();
        return IDYES;
    };
    f.EndProcessOf(f.ids[2]);
    EXPECT_EQ(f.machine.Calls(Op::OpenProcess), 0);
    EXPECT_TRUE(f.machine.TerminatedProcesses.empty());
    EXPECT_EQ(f.Rows().ItemCount(), 4);
    EXPECT_TRUE(f.Invariants());
}

TEST(EndProcess, GivesTheHandleBackWhenAPlatformCallRaises) {
    for (Op op : {Op::TerminateProcess, Op::WaitForSingleObject, Op::OpenProcess}) {
        EndFixture f;
        f.machine.Raise(op);
        f.EndProcessOf(f.ids[1]);
        EXPECT_EQ(f.machine.OpenProcessHandles(), 0) << sim::OpName(op);
        // The error is shown, and the program goes on.
        ASSERT_EQ(f.ui.MessageBoxes.size(), 2u) << sim::OpName(op);
        EXPECT_EQ(f.ui.MessageBoxes[1].text, std::string(sim::OpName(op)) + " failed");
        f.machine.Raise(op, false);
        const int snapshots = f.machine.Calls(Op::CreateToolhelp32Snapshot);
        f.ui.Advance(1750);
        EXPECT_GT(f.machine.Calls(Op::CreateToolhelp32Snapshot), snapshots) << sim::OpName(op);
    }
}

TEST(EndProcess, FromThePopupMenu) {
    EndFixture f;
    f.Select(f.ids[0]);
    f.ui.PopupResponder = [&](TPopupMenu&) { f.Page().itmEndProcess->Click(); };
    f.Rows().PeerContextPopup(5, 5);
    ASSERT_EQ(f.machine.TerminatedProcesses.size(), 1u);
    EXPECT_EQ(f.machine.TerminatedProcesses[0].pid, f.ids[0]);
}

}  // namespace
}  // namespace taskwell
