// Simple controls: panels, group boxes, labels and the bar gauge.
#pragma once

#include <functional>
#include <string>

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

class TLabel : public TControl {
public:
    explicit TLabel(const std::string& caption = "") { SetCaption(caption); }
    TAlignment Alignment = TAlignment::taLeftJustify;
};

// A push button. A click runs OnClick and then, when ModalResult is set, ends its form's modal
// showing with that result.
class TButton : public TControl {
public:
    explicit TButton(const std::string& caption = "") { SetCaption(caption); }
    int ModalResult = 0;
    bool Default = false;  // drawn as the default button, chosen by Enter
    std::function<void()> OnClick;
    // The user pressed the button; the backend and tests call this.
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
