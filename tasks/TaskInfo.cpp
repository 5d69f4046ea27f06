#include "tasks/TaskInfo.h"

#include <memory>

#include "app/DisplayFormats.h"
#include "app/MiscUtils.h"
#include "app/PathUtils.h"
#include "ui/TApplication.h"

namespace taskwell {

namespace {
constexpr int kClientWidth = 417;
constexpr int kClientHeight = 389;
constexpr int kTaskPropertiesTopic = 160;
// The longest caption a window can have, with its terminating zero.
constexpr int kCaptionBuffer = 257;

constexpr int kLabelLeft = 6;
constexpr int kFieldLeft = 88;
constexpr int kFieldWidth = 310;
constexpr int kFieldHeight = 15;
constexpr int kFirstFieldTop = 16;
constexpr int kFieldPitch = 18;

constexpr int kBoxFirstTop = 18;
constexpr int kBoxPitch = 18;
constexpr int kBoxHeight = 17;
constexpr int kBoxFirstLeft = 12;
constexpr int kBoxColumnPitch = 130;
constexpr int kBoxWidth = 125;

// One style box: the member that holds it, its name, its caption, the style bits it shows (the
// platform's value of the named style) and the column it stands in. Within a column the boxes stand
// in the alphabetical order of their captions.
struct StyleBoxRow {
    TCheckBox* TfrmTaskProperties::*box;
    const char* name;
    const char* caption;
    DWORD mask;
    int column;
};

using F = TfrmTaskProperties;
constexpr StyleBoxRow kStyleBoxes[] = {
    {&F::cb1, "cb1", "WS_OVERLAPPED", WS_OVERLAPPED, 1},
    {&F::cb2, "cb2", "WS_POPUP", WS_POPUP, 1},
    {&F::cb3, "cb3", "WS_CHILD", WS_CHILD, 0},
    {&F::cb4, "cb4", "WS_MINIMIZE", WS_MINIMIZE, 1},
    {&F::cb5, "cb5", "WS_VISIBLE", WS_VISIBLE, 2},
    {&F::cb6, "cb6", "WS_DISABLED", WS_DISABLED, 0},
    {&F::cb7, "cb7", "WS_CLIPSIBLINGS", WS_CLIPSIBLINGS, 0},
    {&F::cb8, "cb8", "WS_CLIPCHILDREN", WS_CLIPCHILDREN, 0},
    {&F::cb9, "cb9", "WS_MAXIMIZE", WS_MAXIMIZE, 1},
    {&F::cb10, "cb10", "WS_CAPTION", WS_CAPTION, 0},
    {&F::cb11, "cb11", "WS_BORDER", WS_BORDER, 0},
    {&F::cb12, "cb12", "WS_DLGFRAME", WS_DLGFRAME, 0},
    {&F::cb13, "cb13", "WS_VSCROLL", WS_VSCROLL, 2},
    {&F::cb14, "cb14", "WS_HSCROLL", WS_HSCROLL, 1},
    {&F::cb15, "cb15", "WS_SYSMENU", WS_SYSMENU, 2},
    {&F::cb16, "cb16", "WS_THICKFRAME", WS_THICKFRAME, 2},
    {&F::cb17, "cb17", "WS_GROUP", WS_GROUP, 0},
    {&F::cb18, "cb18", "WS_TABSTOP", WS_TABSTOP, 2},
    {&F::cb19, "cb19", "WS_MINIMIZEBOX", WS_MINIMIZEBOX, 1},
    {&F::cb20, "cb20", "WS_MAXIMIZEBOX", WS_MAXIMIZEBOX, 1},
    {&F::cb21, "cb21", "WS_TILEDWINDOW", WS_TILEDWINDOW, 2},
    {&F::cb22, "cb22", "WS_POPUPWINDOW", WS_POPUPWINDOW, 1},
};

// The box's line in its column: how many boxes of the same column have a caption that sorts before
// its own.
int LineInColumn(const StyleBoxRow& row) {
    int line = 0;
    for (const StyleBoxRow& other : kStyleBoxes)
        if (other.column == row.column && std::string(other.caption) < row.caption) ++line;
    return line;
}

struct FieldRow {
    const char* label;
    TEdit* TfrmTaskProperties::*field;
};
constexpr FieldRow kFields[] = {
    {"Handle:", &F::valueHandle},        {"Process ID:", &F::valueProcessID}, {"Thread ID:", &F::valueThreadID},
    {"Parent handle:", &F::valueParent}, {"Class name:", &F::valueClassName}, {"Path:", &F::valuePath},
};

}  // namespace

TfrmTaskProperties::TfrmTaskProperties(TApplication& app, const Platform& platform)
    : TForm(app), platform_(platform) {
    Name = "frmTaskProperties";
    BorderStyle = TBorderStyle::bsToolWindow;
    HelpContext = kTaskPropertiesTopic;
    SetCaption("Task Properties");
    SetClientSize(Scaled(kClientWidth), Scaled(kClientHeight));

    imgIcon = &Add<TImage>();
    imgIcon->Name = "imgIcon";
    imgIcon->SetDesignBounds(8, 8, 32, 32);
    imgIcon->SetStretch(true);
    lblCaption = &Add<TLabel>("Caption:");
    lblCaption->SetDesignBounds(48, 8, 60, 13);
    valueCaption = &AddValueField(*this, Scaled(48), Scaled(24), Scaled(361), Scaled(16));
    valueCaption->Name = "valueCaption";

    gbWindowInformation = &Add<TGroupBox>(" Window information ");
    gbWindowInformation->Name = "gbWindowInformation";
    gbWindowInformation->SetDesignBounds(8, 48, 401, 130);
    int top = kFirstFieldTop;
    for (const FieldRow& row : kFields) {
        TLabel& label = gbWindowInformation->Add<TLabel>(row.label);
        label.SetDesignBounds(kLabelLeft, top, kFieldLeft - kLabelLeft - 2, kFieldHeight);
        this->*row.field = &AddValueField(*gbWindowInformation, Scaled(kFieldLeft), Scaled(top), Scaled(kFieldWidth),
                                          Scaled(kFieldHeight));
        top += kFieldPitch;
    }
    valueHandle->Name = "valueHandle";
    valueProcessID->Name = "valueProcessID";
    valueThreadID->Name = "valueThreadID";
    valueParent->Name = "valueParent";
    valueClassName->Name = "valueClassName";
    valuePath->Name = "valuePath";

    // Disabled as a whole, so that its boxes show the style but cannot be changed.
    gbWindowStyles = &Add<TGroupBox>(" Window Styles ");
    gbWindowStyles->Name = "gbWindowStyles";
    gbWindowStyles->SetDesignBounds(8, 184, 401, 166);
    gbWindowStyles->SetEnabled(false);
    for (const StyleBoxRow& row : kStyleBoxes) {
        TCheckBox& box = gbWindowStyles->Add<TCheckBox>(row.caption);
        box.Name = row.name;
        box.SetDesignBounds(kBoxFirstLeft + row.column * kBoxColumnPitch, kBoxFirstTop + LineInColumn(row) * kBoxPitch,
                            kBoxWidth, kBoxHeight);
        this->*row.box = &box;
    }

    // Both the default and the cancel button: Enter presses it, Escape closes the dialog.
    btnOk = &Add<TButton>("&Ok");
    btnOk->Name = "btnOk";
    btnOk->Default = true;
    btnOk->ModalResult = mrOk;
    btnOk->SetDesignBounds(171, 358, 75, 25);
}

TfrmTaskProperties::~TfrmTaskProperties() {
    DestroyIconQuietly(platform_.Shell, icon_);
}

bool TfrmTaskProperties::StyleBoxChecked(DWORD style, DWORD mask) {
    if (style == 0) return false;
    if (mask == WS_OVERLAPPED) return (style & (WS_POPUP | WS_CHILD)) == 0;
    return (style & mask) == mask;
}

void TfrmTaskProperties::ShowTask(const TApplicationWin& record) {
    // A second showing of a record gives back the first one's icon copy.
    if (icon_ != 0) {
        imgIcon->SetIcon(0);
        const HICON old = icon_;
        icon_ = 0;
        DestroyIconQuietly(platform_.Shell, old);
    }
    record_ = record;
    record_.Icon = 0;
    // The record's icon goes with the record, which the window list engine may free while the
    // dialog is open: show a copy of its own.
    if (platform_.Shell.IsUsableIcon(record.Icon)) {
        icon_ = platform_.Shell.CopyIcon(record.Icon);
        record_.Icon = icon_;
        imgIcon->SetIcon(icon_);
    }

    std::string caption;
    if (platform_.Windows.GetWindowTextA(record_.Handle, caption, kCaptionBuffer) <= 0) caption.clear();
    valueCaption->SetText(caption);
    valueHandle->SetText(HexText(record_.Handle));
    valueProcessID->SetText(HexText(record_.ProcessID));
    valueThreadID->SetText(HexText(record_.ThreadID));
    // The parent handle is read now while its caption is the one the record took: for an owned
    // window that is not a popup the two differ (no parent, the owner's caption).
    valueParent->SetText(HexText(platform_.Windows.GetParent(record_.Handle)) + " (\"" + record_.ParentCaption +
                         "\")");
    valueClassName->SetText(record_.WinClassName);
    IUiBackend& ui = App().Backend();
    const TFont font = Font();
    valuePath->SetText(ShortenPath(record_.ExePath, valuePath->Width(),
                                   [&](const std::string& text) { return ui.TextWidth(font, text); }));

    for (const StyleBoxRow& row : kStyleBoxes) (this->*row.box)->SetChecked(StyleBoxChecked(record_.Style, row.mask));
}

void ShowTaskProperties(TForm& owner, const Platform& platform, const TApplicationWin& record) {
    ShowFilledDialog(
        owner, [&] { return std::make_unique<TfrmTaskProperties>(owner.App(), platform); },
        [&](TfrmTaskProperties& dialog) { dialog.ShowTask(record); });
}

}  // namespace taskwell
