#include "process/SelectColumns.h"

namespace taskwell {

namespace {
constexpr int kClientWidth = 303;
constexpr int kClientHeight = 224;
constexpr int kSelectColumnsTopic = 170;
constexpr int kBoxTop = 18;
constexpr int kBoxPitch = 17;

using C = TProcessColumn;
// The boxes from top to bottom: the column each stands for, its caption and its field.
struct BoxRow {
    TProcessColumn column;
    const char* caption;
    TCheckBox* TfrmSelectColumns::*field;
};
constexpr BoxRow kBoxes[] = {
    {C::pdImageName, "Name", &TfrmSelectColumns::cbName},
    {C::pdCntUsage, "Usage Count", &TfrmSelectColumns::cbCntUsage},
    {C::pdDefHeapID, "Def Heap ID", &TfrmSelectColumns::cbDefHeapID},
    {C::pdModuleID, "Module ID", &TfrmSelectColumns::cbModuleID},
    {C::pdCntThreads, "Threads count", &TfrmSelectColumns::cbCntThreads},
    {C::pdParentID, "Parent ID", &TfrmSelectColumns::cbParentID},
    {C::pdPriority, "Priority", &TfrmSelectColumns::cbPriority},
    {C::pdBinTyp, "Type", &TfrmSelectColumns::cbBinTyp},
    {C::pddwFlags, "Flags", &TfrmSelectColumns::cbFlags},
};
}  // namespace

TfrmSelectColumns::TfrmSelectColumns(TApplication& app) : TForm(app) {
    Name = "frmSelectColumns";
    BorderStyle = TBorderStyle::bsToolWindow;
    HelpContext = kSelectColumnsTopic;
    SetCaption("Select Columns");
    SetClientSize(kClientWidth, kClientHeight);

    gbColumns = &Add<TGroupBox>(" Select information to display for processes ");
    gbColumns->SetBounds(8, 6, kClientWidth - 16, kBoxTop + kBoxPitch * 9 + 4);
    int top = kBoxTop;
    for (const BoxRow& row : kBoxes) {
        TCheckBox& box = gbColumns->Add<TCheckBox>(row.caption);
        box.SetBounds(16, top, 150, kBoxPitch);
        this->*row.field = &box;
        top += kBoxPitch;
    }

    const int buttonTop = kClientHeight - 25 - 8;
    btnOk = &Add<TButton>("&Ok");
    btnOk->Default = true;
    btnOk->ModalResult = mrOk;
    btnOk->SetBounds(kClientWidth / 2 - 75 - 4, buttonTop, 75, 25);
    btnCancel = &Add<TButton>("&Cancel");
    btnCancel->ModalResult = mrCancel;
    btnCancel->SetBounds(kClientWidth / 2 + 4, buttonTop, 75, 25);
}

void TfrmSelectColumns::SetColumns(const TProcessColumns& columns) {
    for (const BoxRow& row : kBoxes) (this->*row.field)->SetChecked(columns.count(row.column) != 0);
}

TProcessColumns TfrmSelectColumns::Columns() const {
    TProcessColumns columns{C::pdProcessID};
    for (const BoxRow& row : kBoxes)
        if ((this->*row.field)->Checked()) columns.insert(row.column);
    return columns;
}

TCheckBox* TfrmSelectColumns::BoxOf(TProcessColumn column) const {
    for (const BoxRow& row : kBoxes)
        if (row.column == column) return this->*row.field;
    return nullptr;
}

}  // namespace taskwell
