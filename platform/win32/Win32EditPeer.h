// A one-line edit field as the system's edit control.
//
// The text is the widget's caption both ways: the program's text is shown, and what the user
// types becomes the widget's text. A read-only field stays an edit control, so its value can be
// selected and copied, and read with WM_GETTEXT from outside; its background is the button face
// when the widget asks for it (the system's own choice for read-only fields, too).
#pragma once

#include <memory>
#include <string>

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell {
class TEdit;
}

namespace taskwell::win32 {

class Win32EditPeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32EditPeer> Create(Win32UiBackend& backend, TEdit& edit);
    Win32EditPeer(Win32UiBackend& backend, TEdit& edit);
    ~Win32EditPeer() override;

    bool OnCommand(WORD code) override;
    ::LRESULT ControlColor(UINT msg, ::HDC dc, ::LRESULT brush) override;

    // The window styles of the field's read-only state and border.
    static void StylesOf(const TEdit& edit, DWORD& style, DWORD& exStyle);

protected:
    // The text waits while the field is off the screen.
    void Apply(Change what, int index) override;
    void ShowText() override;

private:
    void ApplyText();
    void ApplyReadOnly();
    ::HBRUSH brush_ = nullptr;
    int brushColor_ = -1;
};

}  // namespace taskwell::win32
