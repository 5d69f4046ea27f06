// An editable drop-down combo box as the system's combo box control (an edit field with a list
// that drops down below it).
//
// The peer mirrors the widget's items, selection and text into the control, and reports what the
// user does: typing in the field (CBN_EDITCHANGE) becomes the widget's text, picking an item
// (CBN_SELCHANGE) its selection. The window is as high as the field plus the dropped-down list,
// which shows the widget's DropDownCount items.
#pragma once

#include <memory>
#include <string>

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell {
class TComboBox;
}

namespace taskwell::win32 {

class Win32ComboBoxPeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32ComboBoxPeer> Create(Win32UiBackend& backend, TComboBox& combo);
    Win32ComboBoxPeer(Win32UiBackend& backend, TComboBox& combo);

    bool OnCommand(WORD code) override;
    void Recheck() override;

    // The edit field inside the control; null when there is none.
    ::HWND EditWindow() const;

protected:
    void Apply(Change what, int index) override;

private:
    // At the widget's position and width, with room for the dropped-down list below the field.
    void Place();
    // Every item again, from the widget.
    void Rebuild();
    // Brings the field's text and the list's selection in line with the widget.
    void Sync();
};

}  // namespace taskwell::win32
