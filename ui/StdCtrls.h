// Simple controls: panels, group boxes, labels, edit fields, check boxes, buttons, icon pictures and
// the bar gauge.
#pragma once

#include <functional>
#include <string>

#include "platform/Types.h"
#include "ui/TControl.h"

namespace taskwell {

// A plain rectangle that holds other controls; Color is an RGB value (-1 for the system colour).
class TPanel : public TWinControl {
public:
    int Color = -1;
};

// A framed group with a caption; children sit inside the frame.
class TGroupBox : public TWinControl {
public:
    explicit TGroupBox(const std::string& caption = "") { SetCaption(caption); }
    // The caption line takes 15 pixels at the top, the frame 2 pixels elsewhere.
    TRect ClientRect() const override;
};

enum class TAlignment { taLeftJustify, taRightJustify, taCenter };

// A label's alignment is taken when its window is made: give it at construction when the label
// is added to a form that is already on the screen.
class TLabel : public TControl {
public:
    explicit TLabel(const std::string& caption = "", TAlignment alignment = TAlignment::taLeftJustify)
        : Alignment(alignment) {
        SetCaption(caption);
    }
    TAlignment Alignment = TAlignment::taLeftJustify;
};

// The system colour of button faces, for controls drawn "on the button face".
constexpr int clBtnFace = -2;

enum class TEditBorder { bsSingle, bsNone };

// A one-line text field. Its text is the caption. A read-only field shows a value the user can select
// and copy but not change; borderless on the button face it reads as a value on a dialog.
class TEdit : public TControl {
public:
    explicit TEdit(const std::string& text = "") { SetCaption(text); }
    const std::string& Text() const { return Caption(); }
    void SetText(const std::string& text) { SetCaption(text); }
    bool ReadOnly() const { return readOnly_; }
    void SetReadOnly(bool v);
    TEditBorder BorderStyle() const { return border_; }
    void SetBorderStyle(TEditBorder v);
    int Color = -1;  // RGB value, -1 for the window colour, clBtnFace for the button face

private:
    bool readOnly_ = false;
    TEditBorder border_ = TEditBorder::bsSingle;
};

// Adds a read-only value field to parent: borderless on the button face, as the pages and dialogs
// show a value the user can select and copy but not change.
TEdit& AddValueField(TWinControl& parent, int left, int top, int width, int height);

// A check box with its caption. The user's click toggles it and then runs OnClick.
class TCheckBox : public TControl {
public:
    explicit TCheckBox(const std::string& caption = "") { SetCaption(caption); }
    bool Checked() const { return checked_; }
    void SetChecked(bool v);
    std::function<void()> OnClick;
    // The user clicked the box; the backend and tests call this. Nothing happens while the box, or
    // a control around it, is disabled or the box hidden.
    void Click();
    // The backend reports the state the native box took.
    void PeerChecked(bool v);

private:
    bool checked_ = false;
};

// A picture of an icon, drawn at its own size or stretched to fill the control. The caller keeps the
// icon alive while it is shown.
class TImage : public TControl {
public:
    HICON Icon() const { return icon_; }
    void SetIcon(HICON icon);
    bool Stretch() const { return stretch_; }
    void SetStretch(bool v);

private:
    HICON icon_ = 0;
    bool stretch_ = false;
};

// A push button. A click runs OnClick and then, when ModalResult is set, ends its form's modal
// showing with that result.
class TButton : public TControl {
public:
    explicit TButton(const std::string& caption = "") { SetCaption(caption); }
    int ModalResult = 0;
    bool Default = false;  // drawn as the default button, chosen by Enter
    std::function<void()> OnClick;
    // The user pressed the button; the backend and tests call this. Nothing happens while the
    // button, or a control around it, is disabled or the button hidden.
    void Click();
};

// A vertical bar gauge filled from the bottom in proportion to its progress (0 to 100, clamped).
class TGauge : public TControl {
public:
    int Progress() const { return progress_; }
    void SetProgress(int v);
    int ForeColor = 0x00FF80;  // RGB(128, 255, 0) as 0xBBGGRR
    int BackColor = 0x002F00;  // RGB(0, 47, 0)

private:
    int progress_ = 0;
};

}  // namespace taskwell
