// A status bar of panels with fixed widths along the bottom of a form.
#pragma once

#include <string>
#include <vector>

#include "ui/TControl.h"

namespace taskwell {

class TStatusBar : public TWinControl {
public:
    // The bar's height in design pixels (its form scales it once the bar is on it).
    static constexpr int kDesignHeight = 19;
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
    // The texts of the first panels (one per panel, at most PanelCount()); only the panels whose
    // text changed are told. Drawing is not suspended around them: the native control paints just
    // the part that changed, and suspending and resuming its window costs the window server more
    // requests than the second part's painting.
    void SetPanelTexts(const std::vector<std::string>& texts);

private:
    std::vector<Panel> panels_;
};

}  // namespace taskwell
