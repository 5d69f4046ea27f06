#include "ui/TStatusBar.h"

#include "ui/Exception.h"

namespace taskwell {

TStatusBar::TStatusBar() {
    SetHeight(kDesignHeight);
    SetAlign(TAlign::alBottom);
}

void TStatusBar::AddPanel(int width, const std::string& text) {
    panels_.push_back(Panel{width, text});
    Notify(Change::Panels, -1);
}

const TStatusBar::Panel& TStatusBar::Panels(int index) const {
    if (index < 0 || index >= PanelCount())
        throw EListError("Status panel index out of range (" + std::to_string(index) + ")");
    return panels_[static_cast<size_t>(index)];
}

void TStatusBar::SetPanelTexts(const std::vector<std::string>& texts) {
    if (texts.size() > panels_.size())
        throw EListError("Status panel index out of range (" + std::to_string(texts.size() - 1) + ")");
    for (size_t i = 0; i < texts.size(); ++i) SetPanelText(static_cast<int>(i), texts[i]);
}

void TStatusBar::SetPanelText(int index, const std::string& text) {
    Panels(index);
    auto& p = panels_[static_cast<size_t>(index)];
    if (p.Text == text) return;
    p.Text = text;
    Notify(Change::Panels, index);
}

}  // namespace taskwell
