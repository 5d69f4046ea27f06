// The column chooser: a fixed tool window with one check box per optional column of the process
// list, OK and Cancel. Created for one showing by the Processes page.
#pragma once

#include <array>

#include "process/ProcessColumns.h"
#include "ui/StdCtrls.h"
#include "ui/TForm.h"

namespace taskwell {

class TfrmSelectColumns : public TForm {
public:
    explicit TfrmSelectColumns(TApplication& app);

    // Checks the box of every optional column in the set and clears the others.
    void SetColumns(const TProcessColumns& columns);
    // "PID" and the column of every checked box.
    TProcessColumns Columns() const;
    // The box of an optional column; null for "PID", which is always shown.
    TCheckBox* BoxOf(TProcessColumn column) const;

    TGroupBox* gbColumns;
    TCheckBox* cbName;
    TCheckBox* cbCntUsage;
    TCheckBox* cbDefHeapID;
    TCheckBox* cbModuleID;
    TCheckBox* cbCntThreads;
    TCheckBox* cbParentID;
    TCheckBox* cbPriority;
    TCheckBox* cbBinTyp;
    TCheckBox* cbFlags;
    TButton* btnOk;
    TButton* btnCancel;

private:
    // The boxes by column; null for "PID".
    std::array<TCheckBox*, kProcessColumnCount> boxes_{};
};

}  // namespace taskwell
