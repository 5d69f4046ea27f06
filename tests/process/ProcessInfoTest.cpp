// The process information dialog against the simulated machine: its layout, its fields, the three
// lists with their filters and failures, the icon copy, the cursor and resizing.
#include "process/ProcessInfo.h"

#include <gtest/gtest.h>

#include "app/Main.h"
#include "support/SimFixture.h"

namespace taskwell {
namespace {

using sim::Op;
using testing::SimFixture;

struct InfoFixture : SimFixture {
    std::unique_ptr<TfrmMain> form;
    DWORD pid = 0;
    DWORD other = 0;

    InfoFixture() {
        sim::SimProcess p;
        p.szExeFile = "C:\\PROGRAM FILES\\ORVEX\\TASKWELL\\TOOLS\\HELPERS\\TWHELP.EXE";
        p.cntUsage = 2;
        p.th32DefaultHeapID = 0x80C20000;
        p.th32ModuleID = 0x0123;
        p.cntThreads = 2;
        p.th32ParentProcessID = 0xFFF0AB00;
        p.pcPriClassBase = 8;
        p.dwFlags = 0x00000008;
        p.threads = {sim::SimThread{0xFFF30000, 1, 8, 0, 0}, sim::SimThread{0xFFF30100, 0, 9, -2, 4}};
        p.modules = {sim::SimModule{1, 0, 3, 1, 0x00400000, 0x6000, 0x00400000, "TWHELP.EXE",
                                    "C:\\PROGRAM FILES\\ORVEX\\TASKWELL\\TOOLS\\HELPERS\\TWHELP.EXE"},
                     sim::SimModule{2, 0, 40, 2, 0xBFF70000, 0x71000, 0xBFF70000, "KERNEL32.DLL",
                                    "C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL"},
                     // An entry the snapshot says belongs to another process: not this one's.
                     sim::SimModule{3, 0x1234, 1, 1, 0x10000000, 0x1000, 0x10000000, "STRAY.DLL", "C:\\STRAY.DLL"}};
        p.heaps = {sim::SimHeap{0x00C20000, 0, 1, {{0x10, 0x00C20010, 64, 1, 0, 0}, {0x20, 0x00C20060, 4096, 2, 1, 7}}},
                   // A heap list the snapshot says belongs to another process: never walked.
                   sim::SimHeap{0x00D30000, 0x1234, 0, {{0x30, 0x00D30010, 16, 1, 0, 0}}}};
        pid = machine.AddProcess(p);
        sim::SimProcess q;
        q.szExeFile = "C:\\WINDOWS\\EXPLORER.EXE";
        q.threads = {sim::SimThread{}, sim::SimThread{}, sim::SimThread{}};
        other = machine.AddProcess(q);
        form = CreateMainForm();
        form->Show();
        form->pcMain->SelectPage(1);
    }

    // Opens the dialog on the process's row by a double-click; check runs while it is shown.
    void Open(DWORD process, const std::function<void(TfrmProcessInfo&)>& check) {
        TListItem* row = form->ProcessPage.FindProcessRow(process);
        ASSERT_NE(row, nullptr);
        form->ProcessPage.sagProcesses->PeerSelected(row->Index());
        ui.ModalResponder = [&](TForm& shown) {
            check(dynamic_cast<TfrmProcessInfo&>(shown));
            return mrOk;
        };
        form->ProcessPage.sagProcesses->PeerDblClick();
    }

    static std::vector<std::string> RowTexts(const TListView& list, int row) {
        std::vector<std::string> texts{list.Item(row).Caption()};
        for (const auto& s : list.Item(row).SubItems()) texts.push_back(s);
        return texts;
    }
};

TEST(ProcessInformation, IsLaidOutAsDescribed) {
    SimFixture f;
    TfrmProcessInfo d(f.app, f.platform);
    EXPECT_EQ(d.Caption(), "Process Information");
    EXPECT_EQ(d.BorderStyle, TBorderStyle::bsSizeable);
    EXPECT_EQ(d.Width(), 427);
    EXPECT_EQ(d.Height(), 483);
    EXPECT_EQ(d.Font(), (TFont{.Name = "MS Sans Serif", .Size = 8}));
    EXPECT_EQ(d.HelpContext, 150);
    struct Place {
        const TControl* control;
        int left, top, width, height;
    };
    for (Place p : {Place{d.imgIcon, 8, 12, 32, 32}, Place{d.lblName, 50, 12, -1, -1},
                    Place{d.gbProcessInfo, 7, 58, 405, 201}, Place{d.pcProcInfo, 7, 264, 405, -1},
                    Place{d.btnOk, 180, -1, 75, 25}}) {
        EXPECT_EQ(p.control->Left(), p.left) << p.control->Caption();
        if (p.top >= 0) {
            EXPECT_EQ(p.control->Top(), p.top) << p.control->Caption();
        }
        if (p.width >= 0) {
            EXPECT_EQ(p.control->Width(), p.width) << p.control->Caption();
        }
        if (p.height >= 0) {
            EXPECT_EQ(p.control->Height(), p.height) << p.control->Caption();
        }
    }
    EXPECT_TRUE(d.imgIcon->Stretch());
    EXPECT_EQ(d.valueProcName->Left(), 49);
    EXPECT_EQ(d.valueProcName->Top(), 29);
    EXPECT_EQ(d.valueProcName->Height(), 21);
    // Ten labelled values, one under the other, 310 by 15 at left 84, read-only and borderless.
    const char* labels[] = {"Process ID:", "Usage:", "Def Heap ID:", "Module ID:", "Threads:",
                            "Parent ID:", "Priority:", "Type:", "Flags:", "Exe Path:"};
    const TEdit* fields[] = {d.valueProcessID, d.valueUsage, d.valueDefHeapID, d.valueModuleID, d.valueCntThreads,
                             d.valueParentID, d.valuePriority, d.valueType, d.valueFlags, d.valueExePath};
    for (int i = 0; i < 10; ++i) {
        const TEdit* field = fields[i];
        EXPECT_EQ(field->Parent(), d.gbProcessInfo);
        EXPECT_EQ(field->Left(), 84);
        EXPECT_EQ(field->Width(), 310);
        EXPECT_EQ(field->Height(), 15);
        EXPECT_TRUE(field->ReadOnly());
        EXPECT_EQ(field->BorderStyle(), TEditBorder::bsNone);
        EXPECT_EQ(field->Color, clBtnFace);
        if (i > 0) {
            EXPECT_GT(field->Top(), fields[i - 1]->Top());
        }
        // Its label stands on the same line, to its left.
        bool labelled = false;
        for (auto& c : d.gbProcessInfo->Controls())
            if (c->Caption() == labels[i] && c->Top() == field->Top() && c->Left() < 84) labelled = true;
        EXPECT_TRUE(labelled) << labels[i];
    }
    EXPECT_TRUE(d.valueProcName->ReadOnly());
    ASSERT_EQ(d.pcProcInfo->PageCount(), 3);
    EXPECT_EQ(d.pcProcInfo->Page(0).Caption(), "Threads");
    EXPECT_EQ(d.pcProcInfo->Page(1).Caption(), "Modules");
    EXPECT_EQ(d.pcProcInfo->Page(2).Caption(), "Heaps");
    EXPECT_EQ(d.pcProcInfo->ActivePageIndex(), 0);
    struct Columns {
        const TListView* list;
        std::vector<std::pair<std::string, int>> columns;
    };
    for (const Columns& c :
         {Columns{d.lbThreads,
                  {{"Thread ID", 80}, {"Usage", 50}, {"Priority", 100}, {"Delta Priority", 100}, {"Flags", 80}}},
          Columns{d.lbModules,
                  {{" Name", 100},
                   {"ModuleID", 80},
                   {"Global Usage", 50},
                   {"Process Usage", 50},
                   {"Base Addr", 80},
                   {"Base Size", 80},
                   {"Module Handle", 80}}},
          Columns{d.lbHeaps,
                  {{"Heap List ID", 80},
                   {"List Flags", 80},
                   {"Handle", 80},
                   {"Address", 80},
                   {"Block Size", 80},
                   {"Flags", 80},
                   {"Lock Count", 50},
                   {"Reserved", 80}}}}) {
        ASSERT_EQ(c.list->ColumnCount(), static_cast<int>(c.columns.size()));
        for (size_t i = 0; i < c.columns.size(); ++i) {
            EXPECT_EQ(c.list->Column(static_cast<int>(i)).Caption, c.columns[i].first);
            EXPECT_EQ(c.list->Column(static_cast<int>(i)).Width, c.columns[i].second);
        }
        EXPECT_EQ(c.list->ViewStyle(), TViewStyle::vsReport);
        EXPECT_TRUE(c.list->RowSelect());
        EXPECT_EQ(c.list->Font(), (TFont{.Name = "Verdana", .Size = 8}));
    }
    EXPECT_EQ(d.btnOk->Caption(), "&Ok");
    EXPECT_TRUE(d.btnOk->Default);
    EXPECT_EQ(d.btnOk->ModalResult, mrOk);
}

TEST(ProcessInformation, ShowsTheRecordsFields) {
    InfoFixture f;
    bool shown = false;
    f.Open(f.pid, [&](TfrmProcessInfo& d) {
        shown = true;
        EXPECT_EQ(d.valueProcName->Text(), "twhelp.exe");
        EXPECT_EQ(d.valueProcessID->Text(), "FFF10000");
        EXPECT_EQ(d.valueUsage->Text(), "2");
        EXPECT_EQ(d.valueDefHeapID->Text(), "80C20000");
        EXPECT_EQ(d.valueModuleID->Text(), "00000123");
        EXPECT_EQ(d.valueCntThreads->Text(), "2");
        EXPECT_EQ(d.valueParentID->Text(), "FFF0AB00");
        EXPECT_EQ(d.valuePriority->Text(), "8  (Normal)");
        EXPECT_EQ(d.valueType->Text(), "32-Bit (4.0)");
        EXPECT_EQ(d.valueFlags->Text(), "00000008");
        // 56 characters are 336 pixels headless; 310 hold the path without its first directory.
        EXPECT_EQ(d.valueExePath->Text(), "C:\\...\\ORVEX\\TASKWELL\\TOOLS\\HELPERS\\TWHELP.EXE");
        // Centred over the main window.
        EXPECT_EQ(d.Left(), f.form->Left() + f.form->Width() / 2 - 427 / 2);
    });
    EXPECT_TRUE(shown);
    EXPECT_EQ(f.ui.ModalForms, std::vector<std::string>{"Process Information"});
}

TEST(ProcessInformation, PriorityShowsTheNumberThenItsName) {
    for (auto [base, text] : {std::pair{13, "13  (High)"}, std::pair{4, "4  (Idle)"}, std::pair{9, "9  (Unknown)"}}) {
        InfoFixture f;
        f.machine.FindProcess(f.pid)->pcPriClassBase = base;
        f.form->tmrRefreshTimer();
        std::string shown;
        f.Open(f.pid, [&](TfrmProcessInfo& d) { shown = d.valuePriority->Text(); });
        EXPECT_EQ(shown, text);
    }
}

TEST(ProcessInformation, ListsOnlyThisProcesssThreadsModulesAndHeaps) {
    InfoFixture f;
    f.Open(f.pid, [&](TfrmProcessInfo& d) {
        ASSERT_EQ(d.lbThreads->ItemCount(), 2);
        EXPECT_EQ(InfoFixture::RowTexts(*d.lbThreads, 0),
                  (std::vector<std::string>{"FFF30000", "1", "Normal (8)", "0", "00000000"}));
        EXPECT_EQ(InfoFixture::RowTexts(*d.lbThreads, 1),
                  (std::vector<std::string>{"FFF30100", "0", "Unknown (9)", "-2", "00000004"}));
        ASSERT_EQ(d.lbModules->ItemCount(), 2);
        EXPECT_EQ(InfoFixture::RowTexts(*d.lbModules, 0),
                  (std::vector<std::string>{"twhelp.exe", "00000001", "3", "1", "00400000", "24576", "00400000"}));
        EXPECT_EQ(d.lbModules->Item(1).Caption(), "kernel32.dll");
        ASSERT_EQ(d.lbHeaps->ItemCount(), 2);
        EXPECT_EQ(InfoFixture::RowTexts(*d.lbHeaps, 1),
                  (std::vector<std::string>{"00C20000", "00000001", "00000020", "00C20060", "4096", "00000002", "1",
                                            "00000007"}));
        for (const TLabel* note : {d.lblThreadsNote, d.lblModulesNote, d.lblHeapsNote}) EXPECT_FALSE(note->Visible());
    });
    // The heap of another process was never walked.
    EXPECT_EQ(f.machine.Calls(Op::Heap32First), 1);
    EXPECT_EQ(f.machine.OpenSnapshots(), 0);
}

TEST(ProcessInformation, ARefusedSnapshotLeavesItsListEmptyAndSaysSo) {
    struct Case {
        DWORD kind;
        int list;  // 0 threads, 1 modules, 2 heaps
        const char* note;
    };
    for (Case c : {Case{TH32CS_SNAPTHREAD, 0, TfrmProcessInfo::kThreadsNotAvailable},
                   Case{TH32CS_SNAPMODULE, 1, TfrmProcessInfo::kModulesNotAvailable},
                   Case{TH32CS_SNAPHEAPLIST, 2, TfrmProcessInfo::kHeapsNotAvailable}}) {
        InfoFixture f;
        f.machine.RefusedSnapshots.insert(c.kind);
        f.Open(f.pid, [&](TfrmProcessInfo& d) {
            const TListView* lists[] = {d.lbThreads, d.lbModules, d.lbHeaps};
            const TLabel* notes[] = {d.lblThreadsNote, d.lblModulesNote, d.lblHeapsNote};
            for (int i = 0; i < 3; ++i) {
                EXPECT_EQ(lists[i]->ItemCount() == 0, i == c.list) << c.note << " list " << i;
                EXPECT_EQ(notes[i]->Visible(), i == c.list) << c.note << " list " << i;
            }
            EXPECT_EQ(notes[c.list]->Caption(), c.note);
        });
        EXPECT_EQ(f.ui.MessageBoxes.size(), 0u) << c.note;
        EXPECT_EQ(f.machine.OpenSnapshots(), 0) << c.note;
    }
}

TEST(ProcessInformation, AWalkThatFailsHalfWayShowsNothingOfIt) {
    for (Op op : {Op::Thread32Next, Op::Module32Next, Op::Heap32Next}) {
        InfoFixture f;
        f.machine.Raise(op);
        int rows = -1;
        bool noted = false;
        f.Open(f.pid, [&](TfrmProcessInfo& d) {
            const TListView* list = op == Op::Thread32Next   ? d.lbThreads
                                    : op == Op::Module32Next ? d.lbModules
                                                             : d.lbHeaps;
            const TLabel* note = op == Op::Thread32Next   ? d.lblThreadsNote
                                 : op == Op::Module32Next ? d.lblModulesNote
                                                          : d.lblHeapsNote;
            rows = list->ItemCount();
            noted = note->Visible();
        });
        EXPECT_EQ(rows, 0) << sim::OpName(op);
        EXPECT_TRUE(noted) << sim::OpName(op);
        EXPECT_EQ(f.machine.OpenSnapshots(), 0) << sim::OpName(op);
    }
}

TEST(ProcessInformation, AHeapListStopsAtItsLimitAndSaysSo) {
    InfoFixture f;
    sim::SimHeap big{0x00E00000, 0, 0, {}};
    for (DWORD i = 0; i < TfrmProcessInfo::kMaxHeapBlocks + 50; ++i)
        big.blocks.push_back(sim::SimHeapBlock{i, 0x00E00000 + 16 * i, 16, 1, 0, 0});
    f.machine.FindProcess(f.pid)->heaps.push_back(big);
    f.Open(f.pid, [&](TfrmProcessInfo& d) {
        EXPECT_EQ(d.lbHeaps->ItemCount(), TfrmProcessInfo::kMaxHeapBlocks);
        EXPECT_TRUE(d.lblHeapsNote->Visible());
        EXPECT_EQ(d.lblHeapsNote->Caption(), TfrmProcessInfo::kHeapsCut);
        EXPECT_EQ(d.lbHeaps->Item(0).Caption(), "00C20000");
    });
}

TEST(ProcessInformation, ShowsItsOwnCopyOfTheIconWhileTheRecordGoes) {
    InfoFixture f;
    const int liveBefore = f.machine.LiveIcons();
    HICON recordIcon = f.form->ProcessList.Find(f.pid)->Icon;
    HICON shownIcon = 0;
    std::string idWhileOpen;
    f.Open(f.pid, [&](TfrmProcessInfo& d) {
        shownIcon = d.imgIcon->Icon();
        // The process ends and a tick removes its record and destroys the record's icon.
        f.machine.RemoveProcess(f.pid);
        f.ui.Advance(1750);
        EXPECT_EQ(f.form->ProcessList.Find(f.pid), nullptr);
        EXPECT_FALSE(f.machine.IsUsableIcon(recordIcon));
        EXPECT_TRUE(f.machine.IsUsableIcon(d.imgIcon->Icon()));
        idWhileOpen = d.valueProcessID->Text();
    });
    EXPECT_NE(shownIcon, 0u);
    EXPECT_NE(shownIcon, recordIcon);
    EXPECT_EQ(idWhileOpen, "FFF10000");
    // The copy went with the dialog (and the record's icon with the record).
    EXPECT_FALSE(f.machine.IsUsableIcon(shownIcon));
    EXPECT_EQ(f.machine.LiveIcons(), liveBefore - 1);
}

TEST(ProcessInformation, ShowsTheIconEachTimeItOpens) {
    InfoFixture f;
    for (int i = 0; i < 2; ++i) {
        HICON shown = 0;
        f.Open(f.pid, [&](TfrmProcessInfo& d) { shown = d.imgIcon->Icon(); });
        EXPECT_TRUE(shown != 0) << i;
    }
}

TEST(ProcessInformation, ShowsTheHourglassWhileFillingAndWhileGoing) {
    InfoFixture f;
    TCursor duringModal = TCursor::crHourGlass;
    f.Open(f.pid, [&](TfrmProcessInfo&) { duringModal = f.app.Cursor(); });
    EXPECT_EQ(duringModal, TCursor::crDefault);
    EXPECT_EQ(f.ui.CursorChanges, (std::vector<TCursor>{TCursor::crHourGlass, TCursor::crDefault, TCursor::crHourGlass,
                                                       TCursor::crDefault}));
}

TEST(ProcessInformation, AFillThatFailsRestoresTheCursorAndShowsNoDialog) {
    InfoFixture f;
    f.machine.Raise(Op::CopyIcon);
    bool shown = false;
    f.Open(f.pid, [&](TfrmProcessInfo&) { shown = true; });
    EXPECT_FALSE(shown);
    EXPECT_EQ(f.app.Cursor(), TCursor::crDefault);
    EXPECT_EQ(f.ui.Forms().size(), 1u);  // only the main window
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(f.ui.MessageBoxes[0].text, "CopyIcon failed");
    EXPECT_EQ(f.machine.OpenSnapshots(), 0);
}

TEST(ProcessInformation, OpensNothingWithoutASelectionOrForAGoneRecord) {
    InfoFixture f;
    f.form->ProcessPage.sagProcesses->PeerDblClick();
    f.form->ProcessPage.itmProcessInformationClick();
    EXPECT_TRUE(f.ui.ModalForms.empty());
    // The page is hidden while the process ends: its row stays until the page is refreshed.
    f.form->pcMain->SelectPage(0);
    f.machine.RemoveProcess(f.other);
    f.ui.Advance(1750);
    f.form->pcMain->SelectPage(1);
    bool shown = false;
    f.Open(f.other, [&](TfrmProcessInfo&) { shown = true; });
    EXPECT_FALSE(shown);
    EXPECT_TRUE(f.ui.MessageBoxes.empty());
}

TEST(ProcessInformation, ResizingFollowsTheClientAreaAndNeverGoesBelowZero) {
    SimFixture f;
    TfrmProcessInfo d(f.app, f.platform);
    d.SetBounds(0, 0, 600, 700);
    const int w = d.ClientWidth(), h = d.ClientHeight();
    EXPECT_EQ(d.valueProcName->Width(), w - 49 - 5);
    EXPECT_EQ(d.gbProcessInfo->Width(), w - 14);
    EXPECT_EQ(d.pcProcInfo->Width(), w - 14);
    EXPECT_EQ(d.pcProcInfo->Height(), h - 264 - 25 - 10);
    EXPECT_EQ(d.btnOk->Top(), h - 25 - 5);
    EXPECT_EQ(d.btnOk->Left(), 180);
    d.SetBounds(0, 0, 30, 40);
    for (const TControl* c :
         {static_cast<const TControl*>(d.valueProcName), static_cast<const TControl*>(d.gbProcessInfo),
          static_cast<const TControl*>(d.pcProcInfo), static_cast<const TControl*>(d.btnOk)}) {
        EXPECT_GE(c->Width(), 0);
        EXPECT_GE(c->Height(), 0);
        EXPECT_GE(c->Top(), 0);
    }
}

}  // namespace
}  // namespace taskwell
