// The process information dialog: everything known of one process record (its values and icon),
// and its threads, modules and heap blocks as the system reports them when the dialog opens. A
// still picture: nothing in it follows later ticks. Created for one showing by the Processes page.
#pragma once

#include <string>

#include "platform/Platform.h"
#include "process/TProcess.h"
#include "ui/StdCtrls.h"
#include "ui/TForm.h"
#include "ui/TListView.h"
#include "ui/TPageControl.h"

namespace taskwell {

class TfrmProcessInfo : public TForm {
public:
    TfrmProcessInfo(TApplication& app, const Platform& platform);
    // Gives back the copy of the process icon the dialog showed.
    ~TfrmProcessInfo() override;

    // Shows the record's values and icon, then fills the three lists for its process.
    void ShowProcess(const TProcess& record);
    // Each fills one list from a fresh snapshot. A snapshot the system refuses (or a walk that
    // fails) leaves the list empty and says on its page that the information is not available.
    void ListThreads(DWORD processId);
    void ListModules(DWORD processId);
    void ListHeaps(DWORD processId);
    // Re-lays the dialog for its client size; no size ever goes below zero.
    void FormResize();

    // A heap can hold a great many blocks; the list stops here and says so.
    static constexpr int kMaxHeapBlocks = 5000;
    // What a page says when its list could not be had, or was cut.
    static constexpr const char* kThreadsNotAvailable = "Thread information is not available for this process.";
    static constexpr const char* kModulesNotAvailable = "Module information is not available for this process.";
    static constexpr const char* kHeapsNotAvailable = "Heap information is not available for this process.";
    static constexpr const char* kHeapsCut = "Only the first 5000 heap blocks are listed.";

    TImage* imgIcon;
    TLabel* lblName;
    TEdit* valueProcName;
    TGroupBox* gbProcessInfo;
    TEdit* valueProcessID;
    TEdit* valueUsage;
    TEdit* valueDefHeapID;
    TEdit* valueModuleID;
    TEdit* valueCntThreads;
    TEdit* valueParentID;
    TEdit* valuePriority;
    TEdit* valueType;
    TEdit* valueFlags;
    TEdit* valueExePath;
    TPageControl* pcProcInfo;
    TTabSheet* tsThreads;
    TTabSheet* tsModules;
    TTabSheet* tsHeaps;
    TListView* lbThreads;
    TListView* lbModules;
    TListView* lbHeaps;
    // The note on each page, shown only when there is something to say.
    TLabel* lblThreadsNote;
    TLabel* lblModulesNote;
    TLabel* lblHeapsNote;
    TButton* btnOk;

private:
    // Fills one list inside a batch; on an error the list is emptied and its note shown.
    template <class Fill>
    void FillList(TListView& list, TLabel& note, const char* notAvailable, Fill fill);

    const Platform& platform_;
    HICON icon_ = 0;  // the dialog's own copy of the process icon
};

}  // namespace taskwell
