// The task properties dialog: the facts about the window of one Applications item (its caption and
// parent read live, the rest from the item's record), its icon, and its style bits as a grid of check
// boxes that show state but cannot be changed. It changes nothing. Created for one showing by the
// Applications page (ShowTaskProperties).
#pragma once

#include <string>

#include "platform/Platform.h"
#include "tasks/ApplicationWin.h"
#include "ui/StdCtrls.h"
#include "ui/TForm.h"

namespace taskwell {

class TfrmTaskProperties : public TForm {
public:
    TfrmTaskProperties(TApplication& app, const Platform& platform);
    // Gives back the copy of the window's icon the dialog showed.
    ~TfrmTaskProperties() override;

    // Keeps a copy of the record and shows it: the live caption and parent, the record's numbers,
    // class name and shortened path, a copy of its icon, and its style bits. The dialog refers to
    // nothing of the record afterwards, so the record may go while the dialog is open.
    void ShowTask(const TApplicationWin& record);

    // Whether a style box with that mask is checked for the style word. Nothing is checked for a
    // style of 0. The WS_OVERLAPPED box has no bits of its own: it is checked for an overlapped
    // top-level window, one with neither WS_POPUP nor WS_CHILD set. Every other box is checked
    // exactly when all bits of its mask are set.
    static bool StyleBoxChecked(DWORD style, DWORD mask);

    // The dialog's copy of the record; its Icon is the dialog's own copy of the icon (0 for none).
    const TApplicationWin& Record() const { return record_; }

    TImage* imgIcon;
    TLabel* lblCaption;
    TEdit* valueCaption;
    TGroupBox* gbWindowInformation;
    TEdit* valueHandle;
    TEdit* valueProcessID;
    TEdit* valueThreadID;
    TEdit* valueParent;
    TEdit* valueClassName;
    TEdit* valuePath;
    TGroupBox* gbWindowStyles;
    TCheckBox* cb1;
    TCheckBox* cb2;
    TCheckBox* cb3;
    TCheckBox* cb4;
    TCheckBox* cb5;
    TCheckBox* cb6;
    TCheckBox* cb7;
    TCheckBox* cb8;
    TCheckBox* cb9;
    TCheckBox* cb10;
    TCheckBox* cb11;
    TCheckBox* cb12;
    TCheckBox* cb13;
    TCheckBox* cb14;
    TCheckBox* cb15;
    TCheckBox* cb16;
    TCheckBox* cb17;
    TCheckBox* cb18;
    TCheckBox* cb19;
    TCheckBox* cb20;
    TCheckBox* cb21;
    TCheckBox* cb22;
    TButton* btnOk;

private:
    const Platform& platform_;
    TApplicationWin record_;
    HICON icon_ = 0;  // the dialog's own copy of the window's icon
};

// The Applications page's Properties command for the selected item's record: shows the hourglass
// while the dialog is made and filled (and puts the cursor back on every path, errors included),
// places the dialog over the owner, shows it modally and destroys it.
void ShowTaskProperties(TForm& owner, const Platform& platform, const TApplicationWin& record);

}  // namespace taskwell
