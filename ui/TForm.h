// A top-level window with an optional main menu. Its client area lies inside the frame, caption and
// menu bar; the backend reports the real one, the headless build uses classic Windows 98 metrics.
#pragma once

#include <functional>

#include "ui/TControl.h"

namespace taskwell {

class TApplication;
class TMainMenu;

enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// A sizable window, a fixed dialog frame with a caption and a close button, or a fixed tool window
// (a thin frame and a small caption with only a close button).
enum class TBorderStyle { bsSizeable, bsDialog, bsToolWindow };

// Results of a modal showing, with the platform's button ids.
constexpr int mrNone = 0;
constexpr int mrOk = 1;
constexpr int mrCancel = 2;

class TForm : public TWinControl {
public:
    explicit TForm(TApplication& app);
    ~TForm() override;

    TApplication* Application() const override { return &app_; }
    TApplication& App() const { return app_; }

    // Set before the form is first shown.
    TBorderStyle BorderStyle = TBorderStyle::bsSizeable;

    TMainMenu* Menu() const { return menu_; }
    void SetMenu(TMainMenu* menu);

    TWindowState WindowState() const { return state_; }
    void SetWindowState(TWindowState s);
    // Reported by the backend when the user minimised, maximised or restored the window.
    void PeerWindowState(TWindowState s);

    // Frame metrics used until a backend reports the real client area: a sizable frame of 4 pixels,
    // a fixed frame of 3, an 18-pixel caption (15 for a tool window) and a 19-pixel menu bar.
    TRect ClientRect() const override;
    void PeerClientSize(int width, int height);
    // The thickness of the frame, caption and menu bar on each side, in those classic metrics.
    static TRect ClassicFrame(TBorderStyle style, bool hasMenu);
    // Sizes the form so that its client area has the given size, with the frame the backend draws.
    void SetClientSize(int width, int height);

    // Whether the window is on the screen: shown and not minimised.
    bool Showing() const;

    void Show();
    void Hide();
    // Runs OnClose; the main form's close ends the program. Closing a modal form ends its showing
    // with mrCancel unless a result was set.
    void Close();
    bool Closed() const { return closed_; }

    // Shows the form modally and returns its ModalResult. Setting ModalResult to anything but
    // mrNone (a button does) ends the showing.
    int ShowModal();
    // Keys of a modal form: Enter presses its default button, Escape closes it. True when handled.
    bool DialogKey(int virtualKey);
    int ModalResult = mrNone;
    bool Modal() const { return modal_; }

    // The control that has the keyboard focus when the form is shown (null: the form itself).
    TControl* ActiveControl = nullptr;
    // Gives the control of this form the keyboard focus: it becomes ActiveControl, and the backend
    // focuses it when it can take the focus (FocusTarget).
    void FocusControl(TControl& control);
    // ActiveControl when it can take the focus: a control of this form, shown and enabled, and so
    // are the controls around it; null otherwise.
    TControl* FocusTarget() const;

    std::function<void()> OnShow;
    std::function<void()> OnResize;
    // Asked before a close: false keeps the form open (the close does not happen).
    std::function<bool()> OnCloseQuery;
    std::function<void()> OnClose;

protected:
    void BoundsChanged() override;

private:
    TApplication& app_;
    TMainMenu* menu_ = nullptr;
    TWindowState state_ = TWindowState::wsNormal;
    bool closed_ = false;
    bool modal_ = false;
    bool shownOnce_ = false;
    int peerClientW_ = -1, peerClientH_ = -1;
};

}  // namespace taskwell
