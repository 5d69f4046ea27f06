#include "process/ProcessMonitor.h"

#include <cstring>

#include "app/MiscUtils.h"
#include "process/ToolhelpSnapshot.h"
#include "ui/TImageList.h"
#include "ui/TListView.h"

namespace taskwell {

std::string PriorityClassText(LONG basePriority) {
    switch (basePriority) {
    case 4: return "Idle";
    case 8: return "Normal";
    case 13: return "High";
    case 24: return "RealTime";
    default: return "Unknown";
    }
}

std::string ExeTypeText(DWORD queryValue) {
    if (queryValue == 0) return "";
    const WORD signature = static_cast<WORD>(queryValue & 0xFFFF);
    const WORD expects = static_cast<WORD>(queryValue >> 16);
    switch (signature) {
    case 0x5A4D: return "MS-Dos";  // "MZ"
    case 0x454C: return "Vxd";     // "LE"
    case 0x454E:                   // "NE"
    case 0x4550:                   // "PE"
    case 0:
        if (expects == 0x0300 || expects == 0x030A) return "16-Bit";
        if (expects == 0x0400) return "32-Bit";
        return "Unknown";
    default: return "Unknown";
    }
}

TProcessMonitor::TProcessMonitor(const Platform& platform, ProcessList& list, TImageList& smallIcons,
                                 TImageList& largeIcons, TListView& rows, LONG& processCount)
    : platform_(platform), list_(list), small_(smallIcons), large_(largeIcons), rows_(rows),
      processCount_(processCount) {}

namespace {
std::string ExeFileOf(const PROCESSENTRY32& entry) {
    // At most 260 characters, up to the first NUL, even if the entry lacks its terminator.
    return std::string(entry.szExeFile, strnlen(entry.szExeFile, sizeof(entry.szExeFile)));
}
}  // namespace

void TProcessMonitor::FillProcess(const PROCESSENTRY32& entry, TProcess& record, bool update) {
    record.CntUsage = entry.cntUsage;
    record.ProcessID = entry.th32ProcessID;
    record.DefHeapID = entry.th32DefaultHeapID;
    record.ModuleID = entry.th32ModuleID;
    record.CntThreads = entry.cntThreads;
    record.ParentID = entry.th32ParentProcessID;
    record.PriClassBase = entry.pcPriClassBase;
    record.Priority = PriorityClassText(record.PriClassBase);
    record.Flags = entry.dwFlags;
    if (update) return;

    const std::string exe = ExeFileOf(entry);
    SHFILEINFOA info{};
    record.BinTyp = ExeTypeText(platform_.Shell.SHGetFileInfoA(exe, 0, info, SHGFI_EXETYPE));
    DWORD version = platform_.Processes.GetProcessVersion(record.ProcessID);
    if (version != 0 && !record.BinTyp.empty())
        record.BinTyp += " (" + std::to_string(version >> 16) + "." + std::to_string(version & 0xFFFF) + ")";
    record.Icon = platform_.Shell.ExtractIconA(platform_.Shell.GetModuleHandleA(), exe, 0);
    record.ImageIndex = small_.AddIcon(record.Icon);
    if (record.ImageIndex >= 0) large_.AddIcon(record.Icon);
    record.ExePath = exe;
}

template <class Visit>
void TProcessMonitor::WalkSnapshot(Visit visit) {
    ToolhelpSnapshot snapshot(platform_.Toolhelp, TH32CS_SNAPPROCESS, 0);
    snapshot.Walk(&IToolhelp::Process32First, &IToolhelp::Process32Next, visit);
}

void TProcessMonitor::LoadProcesses() {
    list_.Clear();
    WalkSnapshot([&](const PROCESSENTRY32& entry) {
        auto record = std::make_unique<TProcess>();
        FillProcess(entry, *record, false);
        list_.Append(ProcessList::KeyOf(entry.th32ProcessID), std::move(record));
    });
    processCount_ = list_.Count();
}

void TProcessMonitor::UpdateProcesses() {
    for (int i = 0; i < list_.Count(); ++i) list_.Record(i).Seen = false;
    WalkSnapshot([&](const PROCESSENTRY32& entry) {
        if (TProcess* found = list_.Find(entry.th32ProcessID)) {
            FillProcess(entry, *found, true);
            found->Seen = true;
            return;
        }
        auto record = std::make_unique<TProcess>();
        FillProcess(entry, *record, false);
        record->Seen = true;
        list_.Append(ProcessList::KeyOf(entry.th32ProcessID), std::move(record));
    });
    Prune();
    processCount_ = list_.Count();
}

void TProcessMonitor::RemoveImage(LONG index) {
    small_.Delete(index);
    large_.Delete(index);
    for (int i = 0; i < list_.Count(); ++i) {
        TProcess& other = list_.Record(i);
        if (other.ImageIndex > index) --other.ImageIndex;
    }
    // A row still showing the removed image belongs to the gone process (its page is not being
    // refreshed): until the row goes it shows no picture rather than another process's.
    for (int i = 0; i < rows_.ItemCount(); ++i) {
        TListItem& row = rows_.Item(i);
        if (row.ImageIndex() > index)
            row.SetImageIndex(row.ImageIndex() - 1);
        else if (row.ImageIndex() == index)
            row.SetImageIndex(-1);
    }
}

void TProcessMonitor::ReleaseIcon(HICON icon) {
    // ExtractIconA answers 1 for a file that is no executable: there is no icon to give back.
    if (icon != 1) DestroyIconQuietly(platform_.Shell, icon);
}

void TProcessMonitor::FreeRecords() {
    for (int i = 0; i < list_.Count(); ++i) ReleaseIcon(list_.Record(i).Icon);
    list_.Clear();
}

void TProcessMonitor::Prune() {
    int position = 0;
    while (position < list_.Count()) {
        TProcess& record = list_.Record(position);
        if (record.Seen) {
            ++position;
            continue;
        }
        try {
            if (record.ImageIndex >= 0) RemoveImage(record.ImageIndex);
            const HICON icon = record.Icon;
            list_.Delete(position);
            // The record held its icon for its whole life; give it back to the system now.
            ReleaseIcon(icon);
        } catch (...) {
            // The record stays; the walk goes on with the next one.
            ++position;
        }
    }
}

}  // namespace taskwell
