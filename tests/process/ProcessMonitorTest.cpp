#include "process/ProcessMonitor.h"

#include <gtest/gtest.h>

#include <cstring>

#include "support/ListViewInvariants.h"
#include "support/SimFixture.h"
#include "ui/TImageList.h"
#include "ui/TListView.h"

namespace taskwell {
namespace {

using sim::Op;
using testing::SimFixture;

TEST(PriorityClassText, NamesTheFourClassesAndNothingElse) {
    struct Case {
        LONG base;
        const char* text;
    };
    for (Case c : {Case{4, "Idle"}, Case{8, "Normal"}, Case{13, "High"}, Case{24, "RealTime"}, Case{9, "Unknown"},
                   Case{0, "Unknown"}, Case{-1, "Unknown"}, Case{31, "Unknown"}})
        EXPECT_EQ(PriorityClassText(c.base), c.text) << c.base;
}

TEST(ExeTypeText, ReadsSignatureAndExpectedVersion) {
    struct Case {
        DWORD value;
        const char* text;
    };
    for (Case c : {Case{0, ""}, Case{0x00005A4D, "MS-Dos"}, Case{0x04005A4D, "MS-Dos"}, Case{0x0000454C, "Vxd"},
                   Case{0x0300454E, "16-Bit"}, Case{0x030A454E, "16-Bit"}, Case{0x0400454E, "32-Bit"},
                   Case{0x03004550, "16-Bit"}, Case{0x04004550, "32-Bit"}, Case{0x00004550, "Unknown"},
                   Case{0x05004550, "Unknown"}, Case{0x04000000, "32-Bit"}, Case{0x030A0000, "16-Bit"},
                   Case{0x0400584C, "Unknown"}})
        EXPECT_EQ(ExeTypeText(c.value), c.text) << std::hex << c.value;
}

// The process records of one main window, without the window.
struct MonitorFixture : SimFixture {
    TImageList small{app, 16, 16};
    TImageList large{app, 32, 32};
    TListView rows;
    ProcessList list;
    LONG count = -7;
    TProcessMonitor monitor{platform, list, small, large, rows, count};

    // One row per record, bound by process id, as the process list view shows them.
    void ShowRows() {
        rows.ClearItems();
        for (int i = 0; i < list.Count(); ++i) {
            TListItem& row = rows.AddItem();
            row.Data = list.Record(i).ProcessID;
            row.SetImageIndex(list.Record(i).ImageIndex);
            row.SetCaption(list.Record(i).ExePath);
        }
    }
    // Drops the rows whose records are gone, as the next refresh of the list view does.
    void DropDeadRows() {
        for (int i = rows.ItemCount() - 1; i >= 0; --i)
            if (!list.Find(static_cast<DWORD>(rows.Item(i).Data))) rows.DeleteItem(i);
    }
};

TEST(FillProcess, CreationTakesTypeVersionIconAndPath) {
    struct Case {
        DWORD exeType;
        DWORD version;
        const char* binTyp;
    };
    for (Case c : {Case{sim::kExePE32, 0x00040000, "32-Bit (4.0)"}, Case{sim::kExeConsole, 0x00040000, "Unknown (4.0)"},
                   Case{sim::kExeNE16, 0x0003000A, "16-Bit (3.10)"}, Case{sim::kExeMZ, 0x00040000, "MS-Dos (4.0)"},
                   Case{sim::kExeMZ, 0, "MS-Dos"}, Case{0, 0x00040000, ""}}) {
        MonitorFixture f;
        DWORD pid = f.Start("C:\\APP.EXE", c.exeType, c.version);
        f.monitor.LoadProcesses();
        ASSERT_EQ(f.list.Count(), 1);
        const TProcess& r = f.list.Record(0);
        EXPECT_EQ(r.BinTyp, c.binTyp);
        EXPECT_EQ(r.ProcessID, pid);
        EXPECT_EQ(r.ExePath, "C:\\APP.EXE");
        EXPECT_EQ(r.ImageIndex, 0);
        EXPECT_EQ(f.small.Count(), 1);
        EXPECT_EQ(f.large.Count(), 1);
    }
}

TEST(FillProcess, FailedQueriesLeaveTypeWithoutVersionAndNoImage) {
    MonitorFixture f;
    f.Start("C:\\APP.EXE");
    f.machine.Fail(Op::GetProcessVersion);
    f.machine.Fail(Op::ExtractIconA);
    f.monitor.LoadProcesses();
    const TProcess& r = f.list.Record(0);
    EXPECT_EQ(r.BinTyp, "32-Bit");
    EXPECT_EQ(r.ImageIndex, -1);
    EXPECT_EQ(f.small.Count(), 0);
    EXPECT_EQ(f.large.Count(), 0);
}

TEST(FillProcess, UpdateCopiesOnlyTheChangingFields) {
    MonitorFixture f;
    DWORD pid = f.Start("C:\\APP.EXE");
    f.monitor.LoadProcesses();
    sim::SimProcess* p = f.machine.FindProcess(pid);
    p->cntThreads = 9;
    p->pcPriClassBase = 13;
    p->cntUsage = 3;
    p->dwFlags = 0x80000000u;
    p->th32ParentProcessID = 0xFFFF1234u;
    p->szExeFile = "C:\\OTHER.EXE";
    p->exeType = sim::kExeMZ;
    f.monitor.UpdateProcesses();
    const TProcess& r = f.list.Record(0);
    EXPECT_EQ(r.CntThreads, 9u);
    EXPECT_EQ(r.PriClassBase, 13);
    EXPECT_EQ(r.Priority, "High");
    EXPECT_EQ(r.CntUsage, 3u);
    EXPECT_EQ(r.Flags, 0x80000000u);
    EXPECT_EQ(r.ParentID, 0xFFFF1234u);
    EXPECT_EQ(r.ExePath, "C:\\APP.EXE");
    EXPECT_EQ(r.BinTyp, "32-Bit (4.0)");
}

TEST(FillProcess, AnEntryWithoutTerminatorGives260Characters) {
    MonitorFixture f;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    std::memset(entry.szExeFile, 'A', sizeof entry.szExeFile);
    TProcess record;
    f.monitor.FillProcess(entry, record, false);
    EXPECT_EQ(record.ExePath.size(), 260u);
}

TEST(LoadProcesses, FillsInSnapshotOrderWithSignedDecimalKeys) {
    MonitorFixture f;
    auto pids = f.StartDesktop();
    sim::SimProcess small;
    small.th32ProcessID = 1234;
    small.szExeFile = "C:\\SMALL.EXE";
    f.machine.AddProcess(small);
    f.monitor.LoadProcesses();
    ASSERT_EQ(f.list.Count(), 5);
    EXPECT_EQ(f.count, 5);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(f.list.Record(i).ProcessID, pids[static_cast<size_t>(i)]);
        EXPECT_EQ(f.list.Key(i), std::to_string(static_cast<LONG>(pids[static_cast<size_t>(i)])));
        EXPECT_EQ(f.list.Key(i)[0], '-');
        EXPECT_EQ(f.list.Record(i).ImageIndex, i);
        EXPECT_FALSE(f.list.Record(i).Seen);
    }
    EXPECT_EQ(f.list.Key(4), "1234");
    EXPECT_EQ(f.machine.OpenSnapshots(), 0);
}

TEST(UpdateProcesses, AnExitShiftsLaterImagesInRecordsAndRows) {
    MonitorFixture f;
    auto pids = f.StartDesktop();
    f.monitor.LoadProcesses();
    f.ShowRows();
    // A record without an image between them must not move.
    DWORD iconless = f.Start("C:\\NOICON.EXE", sim::kExePE32, 0x00040000, false);
    f.monitor.UpdateProcesses();
    f.ShowRows();

    f.machine.RemoveProcess(pids[1]);
    f.monitor.UpdateProcesses();

    EXPECT_EQ(f.count, 4);
    EXPECT_EQ(f.list.Find(pids[1]), nullptr);
    EXPECT_EQ(f.small.Count(), 3);
    EXPECT_EQ(f.large.Count(), 3);
    EXPECT_EQ(f.list.Find(pids[0])->ImageIndex, 0);
    EXPECT_EQ(f.list.Find(pids[2])->ImageIndex, 1);
    EXPECT_EQ(f.list.Find(pids[3])->ImageIndex, 2);
    EXPECT_EQ(f.list.Find(iconless)->ImageIndex, -1);
    // Order of survivors is kept.
    EXPECT_EQ(f.list.Record(0).ProcessID, pids[0]);
    EXPECT_EQ(f.list.Record(1).ProcessID, pids[2]);
    EXPECT_EQ(f.list.Record(3).ProcessID, iconless);
    // Every row above the removed image moved too, shown or not.
    EXPECT_TRUE(testing::ImageIndicesValid(f.rows));
    f.DropDeadRows();
    EXPECT_TRUE(testing::RowsBoundToRecords(f.rows, f.list));
    for (int i = 0; i < f.list.Count(); ++i) EXPECT_TRUE(f.list.Record(i).Seen);
}

TEST(UpdateProcesses, ImagesFollowTheirProcessesAfterSeveralExits) {
    MonitorFixture f;
    std::vector<DWORD> pids;
    for (int i = 0; i < 8; ++i) pids.push_back(f.Start("C:\\P" + std::to_string(i) + ".EXE"));
    f.monitor.LoadProcesses();
    std::map<DWORD, HICON> iconOf;
    for (int i = 0; i < f.list.Count(); ++i) iconOf[f.list.Record(i).ProcessID] = f.list.Record(i).Icon;
    for (size_t i : {0u, 3u, 7u}) f.machine.RemoveProcess(pids[i]);
    f.monitor.UpdateProcesses();
    ASSERT_EQ(f.list.Count(), 5);
    for (int i = 0; i < f.list.Count(); ++i) {
        const TProcess& r = f.list.Record(i);
        EXPECT_EQ(f.small.Icon(r.ImageIndex), iconOf[r.ProcessID]);
        EXPECT_EQ(f.large.Icon(r.ImageIndex), iconOf[r.ProcessID]);
    }
}

TEST(UpdateProcesses, AReusedIdKeepsTheOldIconTypeAndPath) {
    MonitorFixture f;
    DWORD pid = f.Start("C:\\OLD.EXE", sim::kExePE32);
    f.monitor.LoadProcesses();
    const HICON oldIcon = f.list.Record(0).Icon;
    f.machine.RemoveProcess(pid);
    sim::SimProcess reused;
    reused.th32ProcessID = pid;
    reused.szExeFile = "C:\\NEW.COM";
    reused.exeType = sim::kExeMZ;
    reused.cntThreads = 4;
    f.machine.AddProcess(reused);
    f.monitor.UpdateProcesses();
    ASSERT_EQ(f.list.Count(), 1);
    const TProcess& r = f.list.Record(0);
    EXPECT_EQ(r.ExePath, "C:\\OLD.EXE");
    EXPECT_EQ(r.BinTyp, "32-Bit (4.0)");
    EXPECT_EQ(r.Icon, oldIcon);
    EXPECT_EQ(r.CntThreads, 4u);
}

TEST(UpdateProcesses, AFailingSnapshotEmptiesTheListAndTheNextRebuildsIt) {
    for (Op failing : {Op::CreateToolhelp32Snapshot, Op::Process32First}) {
        MonitorFixture f;
        f.StartDesktop();
        f.monitor.LoadProcesses();
        f.machine.Fail(failing);
        f.monitor.UpdateProcesses();
        EXPECT_EQ(f.list.Count(), 0) << sim::OpName(failing);
        EXPECT_EQ(f.count, 0);
        EXPECT_EQ(f.small.Count(), 0);
        EXPECT_EQ(f.large.Count(), 0);
        f.machine.Fail(failing, false);
        f.monitor.UpdateProcesses();
        EXPECT_EQ(f.count, 4);
        for (int i = 0; i < 4; ++i) EXPECT_EQ(f.list.Record(i).ImageIndex, i);
        // Every snapshot attempt is released, also the one that was not obtained.
        EXPECT_EQ(f.machine.OpenSnapshots(), 0);
        EXPECT_EQ(f.machine.Calls(Op::CloseHandle), f.machine.Calls(Op::CreateToolhelp32Snapshot));
    }
}

TEST(UpdateProcesses, UnchangedTicksCreateNothingAndExtractNoIcons) {
    MonitorFixture f;
    f.StartDesktop();
    f.monitor.LoadProcesses();
    f.machine.ClearLog();
    f.monitor.UpdateProcesses();
    f.monitor.UpdateProcesses();
    EXPECT_EQ(f.machine.Calls(Op::ExtractIconA), 0);
    EXPECT_EQ(f.machine.Calls(Op::SHGetFileInfoA), 0);
    EXPECT_EQ(f.machine.Calls(Op::GetProcessVersion), 0);
    EXPECT_EQ(f.small.Count(), 4);
}

TEST(UpdateProcesses, ANewProcessComesLastWithTheNextImage) {
    MonitorFixture f;
    f.StartDesktop();
    f.monitor.LoadProcesses();
    DWORD pid = f.Start("C:\\NOTEPAD.EXE");
    f.monitor.UpdateProcesses();
    ASSERT_EQ(f.count, 5);
    EXPECT_EQ(f.list.Record(4).ProcessID, pid);
    EXPECT_EQ(f.list.Record(4).ImageIndex, 4);
    EXPECT_TRUE(f.list.Record(4).Seen);
}

TEST(UpdateProcesses, ARecordWhoseImageCannotBeRemovedStaysAndTheWalkGoesOn) {
    MonitorFixture f;
    auto pids = f.StartDesktop();
    f.monitor.LoadProcesses();
    // Lose the last image behind the records' back, so removing pids[3] is refused.
    f.small.Delete(3);
    f.machine.RemoveProcess(pids[3]);
    f.machine.RemoveProcess(pids[0]);
    f.monitor.UpdateProcesses();
    EXPECT_EQ(f.list.Find(pids[0]), nullptr);
    ASSERT_NE(f.list.Find(pids[3]), nullptr);
    EXPECT_EQ(f.count, 3);
}

TEST(UpdateProcesses, RemovedRecordsGiveTheirIconsBack) {
    MonitorFixture f;
    auto pids = f.StartDesktop();
    f.monitor.LoadProcesses();
    int live = f.machine.LiveIcons();
    f.machine.RemoveProcess(pids[2]);
    f.monitor.UpdateProcesses();
    EXPECT_EQ(f.machine.LiveIcons(), live - 1);
}

TEST(UpdateProcesses, AnIconTheSystemWillNotDestroyCostsNoOtherRecordItsRemoval) {
    MonitorFixture f;
    auto pids = f.StartDesktop();
    f.monitor.LoadProcesses();
    f.machine.RemoveProcess(pids[0]);
    f.machine.RemoveProcess(pids[1]);
    f.machine.Raise(Op::DestroyIcon);
    f.monitor.UpdateProcesses();
    EXPECT_EQ(f.list.Find(pids[0]), nullptr);
    EXPECT_EQ(f.list.Find(pids[1]), nullptr);
    EXPECT_EQ(f.count, 2);
}

}  // namespace
}  // namespace taskwell
