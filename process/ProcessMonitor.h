// Keeps ProcessList in step with the system's process snapshot: a full load at start-up and an
// incremental reconciliation on every refresh tick. Records are matched by process id; new processes
// get records with their type text and icon, vanished ones lose their record and both their images,
// and every image index above a removed image moves down by one, in records and rows alike.
#pragma once

#include <string>

#include "platform/Platform.h"
#include "process/ProcessList.h"

namespace taskwell {

class TImageList;
class TListView;

// "Idle", "Normal", "High", "RealTime" for base priorities 4, 8, 13, 24; "Unknown" otherwise.
std::string PriorityClassText(LONG basePriority);
// The type text of an executable-type query value ("MS-Dos", "Vxd", "16-Bit", "32-Bit", "Unknown",
// or empty when the query failed).
std::string ExeTypeText(DWORD queryValue);

class TProcessMonitor {
public:
    TProcessMonitor(const Platform& platform, ProcessList& list, TImageList& smallIcons, TImageList& largeIcons,
                    TListView& rows, LONG& processCount);

    void LoadProcesses();
    void UpdateProcesses();
    // Gives every record's icon back and empties the list (the main window's destruction).
    void FreeRecords();
    // Copies one snapshot entry into a record: with update false also the type text, icon, image
    // and path (creation), with update true only the fields that change.
    void FillProcess(const PROCESSENTRY32& entry, TProcess& record, bool update);

private:
    // Walks a fresh snapshot, calling visit for each entry; the snapshot is always released.
    template <class Visit>
    void WalkSnapshot(Visit visit);
    void Prune();
    void RemoveImage(LONG index);
    void ReleaseIcon(HICON icon);

    const Platform& platform_;
    ProcessList& list_;
    TImageList& small_;
    TImageList& large_;
    TListView& rows_;
    LONG& processCount_;
};

}  // namespace taskwell
