// A form as a top-level window with a sizable frame, its menu bar and the application icon.
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

    // Shows the application's icon in the caption and on the task bar button.
    void ApplyIcon();

    // The window styles of the form's border style.
    static void StylesOf(const TForm& form, DWORD& style, DWORD& exStyle);

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
    bool shown_ = false;
};

}  // namespace taskwell::win32
