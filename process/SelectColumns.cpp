#include "process/SelectColumns.h"

namespace taskwell {

namespace {
constexpr int kClientWidth = 303;
constexpr int kClientHeight = 224;
constexpr int kSelectColumnsTopic = 170;
constexpr int kBoxTop = 18;
constexpr int kBoxPitch = 17;

using C = TProcessColumn;
}  // namespace

TfrmSelectColumns::TfrmSelectColumns(TApplication& app) : TForm(app) {
    Name = "frmSelectColumns";
    BorderStyle = TBorderStyle::bsToolWindow;
    HelpContext = kSelectColumnsTopic;
    SetCaption("Select Columns");
    SetClientSize(Scaled(kClientWidth), Scaled(kClientHeight));

    gbColumns = &Add<TGroupBox>(" Select information to display for processes ");
    gbColumns->SetDesignBounds(8, 6, kClientWidth - 16, kBoxTop + kBoxPitch * 9 + 4);
    // One box per optional column, top to bottom in the columns' order.
    int top = kBoxTop;
    for (const TProcessColumnRow& row : ProcessColumnTable()) {
        if (*row.boxCaption == '\0') continue;
        TCheckBox& box = gbColumns->Add<TCheckBox>(row.boxCaption);
        box.SetDesignBounds(16, top, 150, kBoxPitch);
        boxes_[static_cast<size_t>(row.column)] = &box;
        top += kBoxPitch;
    }
    cbName = BoxOf(C::pdImageName);
    cbCntUsage = BoxOf(C::pdCntUsage);
    cbDefHeapID = BoxOf(C::pdDefHeapID);
    cbModuleID = BoxOf(C::pdModuleID);
    cbCntThreads = BoxOf(C::pdCntThreads);
    cbParentID = BoxOf(C::pdParentID);
    cbPriority = BoxOf(C::pdPriority);
    cbBinTyp = BoxOf(C::pdBinTyp);
    cbFlags = BoxOf(C::pddwFlags);

    const int buttonTop = kClientHeight - 25 - 8;
    btnOk = &Add<TButton>("&Ok");
    btnOk->Default = true;
    btnOk->ModalResult = mrOk;
    btnOk->SetDesignBounds(kClientWidth / 2 - 75 - 4, buttonTop, 75, 25);
    btnCancel = &Add<TButton>("&Cancel");
    btnCancel->ModalResult = mrCancel;
    btnCancel->SetDesignBounds(kClientWidth / 2 + 4, buttonTop, 75, 25);
}

void TfrmSelectColumns::SetColumns(const TProcessColumns& columns) {
    for (size_t i = 0; i < boxes_.size(); ++i)
        if (boxes_[i]) boxes_[i]->SetChecked(columns.count(static_cast<TProcessColumn>(i)) != 0);
}

TProcessColumns TfrmSelectColumns::Columns() const {
    TProcessColumns columns{C::pdProcessID};
    for (size_t i = 0; i < boxes_.size(); ++i)
        if (boxes_[i] && boxes_[i]->Checked()) columns.insert(static_cast<TProcessColumn>(i));
    return columns;
}

TCheckBox* TfrmSelectColumns::BoxOf(TProcessColumn column) const {
    return boxes_[static_cast<size_t>(column)];
}

}  // namespace taskwell
