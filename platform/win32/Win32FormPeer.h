// A form as a top-level window with its menu bar and the application icon: a sizable window, a
// sizable dialog while it is shown modally, a fixed dialog or a fixed tool window. Forms other than
// the main form are owned by the main form's window.
#pragma once

#include <memory>

#include "platform/win32/Win32ControlPeer.h"

namespace taskwell {
class TForm;
}

namespace taskwell::win32 {

class Win32FormPeer : public Win32ControlPeer {
public:
    static std::unique_ptr<Win32FormPeer> Create(Win32UiBackend& backend, TForm& form);
    Win32FormPeer(Win32UiBackend& backend, TForm& form);
    ~Win32FormPeer() override;

    // Shows the application's icon in the caption and on the task bar button. A hidden window has
    // neither and takes the icon when it is next shown, unless now is true (the picture it holds may
    // be freed).
    void ApplyIcon(bool now = false);

    // The window styles of the form's border style (and, for a sizable form, of its modal state).
    static void StylesOf(const TForm& form, DWORD& style, DWORD& exStyle);

    // The form's tooltip, which shows the hints of its controls; made when first asked for, null
    // when the system makes none.
    ::HWND Tooltip();

protected:
    void Apply(Change what, int index) override;
    ::LRESULT WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam) override;
    void WindowLost() override;

private:
    bool Open();
    void ReportBounds();
    void ReportClientSize();
    bool IsMainForm() const;
    void ShowAsState();
    // Gives the window the styles of the form's border style and modal state, when they differ.
    void ApplyStyles();
    // Gives the keyboard focus to the form's active control, when it can take it.
    void FocusActiveControl();
    // Hands the window the application's icon when it does not have it yet.
    void ShowIcon();
    bool shown_ = false;
    // The application's icon changed while the window was hidden.
    bool iconStale_ = false;
    ::HWND tooltip_ = nullptr;
    // The control window that had the focus when the form was last deactivated.
    ::HWND lastFocus_ = nullptr;
};

}  // namespace taskwell::win32
