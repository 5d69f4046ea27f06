// A toolhelp snapshot held for one walk and released when the holder goes, whatever happened in
// between: a walk that raises gives its snapshot back all the same. The release is asked for once
// per attempt, also when no snapshot was obtained (the platform ignores 0).
#pragma once

#include "platform/Toolhelp.h"

namespace taskwell {

class ToolhelpSnapshot {
public:
    ToolhelpSnapshot(IToolhelp& toolhelp, DWORD flags, DWORD processId)
        : toolhelp_(toolhelp), handle_(toolhelp.CreateToolhelp32Snapshot(flags, processId)) {}
    ~ToolhelpSnapshot() {
        try {
            toolhelp_.CloseHandle(handle_);
        } catch (...) {
            // Nothing more can be done about a release the system refuses.
        }
    }
    ToolhelpSnapshot(const ToolhelpSnapshot&) = delete;
    ToolhelpSnapshot& operator=(const ToolhelpSnapshot&) = delete;

    // False when the system gave no snapshot.
    bool Taken() const { return handle_ != 0; }

    // Calls visit for each entry, from first through next until the walk ends; nothing without a
    // snapshot. The entry's size is set before the first call.
    template <class Entry, class Visit>
    void Walk(bool (IToolhelp::*first)(HANDLE, Entry&), bool (IToolhelp::*next)(HANDLE, Entry&), Visit visit) {
        if (!Taken()) return;
        Entry entry{};
        entry.dwSize = sizeof(Entry);
        for (bool more = (toolhelp_.*first)(handle_, entry); more; more = (toolhelp_.*next)(handle_, entry))
            visit(entry);
    }

private:
    IToolhelp& toolhelp_;
    HANDLE handle_;
};

}  // namespace taskwell
