// A status bar of panels with fixed widths along the bottom of a form.
#pragma once

#include <string>
#include <vector>

#include "ui/TControl.h"

namespace taskwell {

class TStatusBar : public TWinControl {
public:
    TStatusBar();

    struct Panel {
        int Width = 50;
        std::string Text;
    };

    void AddPanel(int width, const std::string& text = "");
    int PanelCount() const { return static_cast<int>(panels_.size()); }
    const Panel& Panels(int index) const;
    const std::string& PanelText(int index) const { return Panels(index).Text; }
    // Only a real change reaches the native control.
    void SetPanelText(int index, const std::string& text);

private:
    std::vector<Panel> panels_;
};

}  // namespace taskwell
