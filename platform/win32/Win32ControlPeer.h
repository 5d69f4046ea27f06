// The native window of a widget: common ground of every control peer.
//
// The window is made a child of the nearest ancestor widget that has a window, at the widget's
// bounds (widget bounds are relative to the widget's parent; ancestors without a window add their
// offset). The peer mirrors the widget's changes into the window and routes the notifications its
// window receives from child controls to the peers of those controls.
#pragma once

#include <exception>
#include <string>
#include <vector>

#include "platform/UiBackend.h"
#include "platform/win32/Win32Api.h"

namespace taskwell {
class TControl;
class TApplication;
}  // namespace taskwell

namespace taskwell::win32 {

class Win32UiBackend;

class Win32ControlPeer : public IPeer {
public:
    Win32ControlPeer(Win32UiBackend& backend, TControl& control);
    ~Win32ControlPeer() override;
    Win32ControlPeer(const Win32ControlPeer&) = delete;
    Win32ControlPeer& operator=(const Win32ControlPeer&) = delete;

    void Changed(Change what, int index) override;

    // Null once the window is gone.
    ::HWND Handle() const { return hwnd_; }
    TControl& Control() const { return control_; }
    Win32UiBackend& Backend() const { return backend_; }

    // The application of the widget, for errors raised by handlers; null when it has none.
    TApplication* App() const;

    // The peer of a window we made, or null.
    static Win32ControlPeer* FromWindow(::HWND hwnd);

    // Notifications a parent window passes on to the control they came from. True when handled.
    virtual bool OnNotify(const NMHDR& header, ::LRESULT& result);
    virtual bool OnCommand(WORD code);
    // An image list's pictures changed, or the list is about to be destroyed.
    virtual void ImageListChanged(::HIMAGELIST list);
    virtual void ImageListGone(::HIMAGELIST list);
    // A look at the window's state asked for earlier with Win32UiBackend::PostRecheck.
    virtual void Recheck();
    // Some window came on the screen: a text or font held back while this window was off it goes
    // into the window now, if this window shows too.
    void ShowHeldText();
    // The colours of a child control's text and background, asked for by WM_CTLCOLOR* in its
    // parent: the control draws its text in its font's colour, and may replace the brush it was
    // given (its result is the brush).
    virtual ::LRESULT ControlColor(UINT msg, ::HDC dc, ::LRESULT brush);

    // The window procedure of our own classes; also the subclass procedure of the system's controls.
    static ::LRESULT CALLBACK WindowProc(::HWND hwnd, UINT msg, ::WPARAM wParam, ::LPARAM lParam);

protected:
    // Makes the window: a child of the nearest ancestor window at the widget's bounds, visible and
    // enabled as the widget is. Returns false when no parent window exists or creation fails.
    bool CreateChild(const char* className, DWORD style, DWORD exStyle, const char* text = "");
    // Takes over a window made by a subclass: routes its messages here and sets the font.
    void Attach(::HWND hwnd, bool setFont);
    // When the widget has a hint, the form's tooltip shows it while the pointer rests on the
    // window (the peer's own, or one inside it); the text is asked for each time it shows, so a
    // hint changed later shows too. Nothing happens without a hint, a form peer or a tooltip.
    void AddHintTool(::HWND window);
    // Releases the window and destroys it; called by the destructor, and earlier by subclasses whose
    // windows need work before they go.
    void DestroyHandle();

    // Mirrors one change into the window. The base handles bounds, visibility, enabled and caption.
    virtual void Apply(Change what, int index);
    // Messages of the peer's own window. The base routes child notifications and menu commands and
    // passes everything else to DefaultProc.
    virtual ::LRESULT WndProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam);
    ::LRESULT DefaultProc(UINT msg, ::WPARAM wParam, ::LPARAM lParam);
    // The window went away without the peer asking for it.
    virtual void WindowLost() {}
    // The font of the widget changed (also called once the window exists).
    virtual void ApplyFont();
    // The brush a container gives its child controls' backgrounds (WM_CTLCOLOR*), with the
    // background colour set on the device context; null for the system's choice.
    virtual ::HBRUSH ChildBackground(UINT msg, ::HDC dc);
    // Where the popup menu asked for with the keyboard opens, in screen coordinates: the
    // control's top left corner unless the control has a better place (its selected row).
    virtual ::POINT KeyboardPopupPoint();
    // Runs just before the widget's popup menu opens, so the widget knows what the user
    // pointed at (a list view reports its selection).
    virtual void BeforeContextPopup() {}
    // True when the window still exists and still belongs to the peer at that address: a
    // handler the peer called may have destroyed both.
    static bool StillAttached(::HWND hwnd, const Win32ControlPeer* peer);

    // The widget as its concrete type, or null while the widget is being destroyed (its own part is
    // already gone then, and its window may still send messages as its children go).
    template <class T>
    T* As() const {
        return dynamic_cast<T*>(&control_);
    }

    // The window's position for the widget's bounds, in the parent window's client coordinates.
    void PlaceWindow();
    ::HWND ParentWindow(int& dx, int& dy) const;
    // The text the control's window holds now (what the user typed, for a field).
    std::string WindowText() const;

    // True while the peer itself changes the window: notifications that result are not news.
    bool applying_ = false;

    // A text change of a window that is not on the screen (its page or its form hidden) waits
    // until the window shows, or until someone asks the window for its text: on a hidden page or
    // in the tray, texts that change every tick would cost the window server a request or more
    // each. True when the change was held back; ShowText applies it later.
    bool HoldText();
    // Puts the widget's current text into the window: the base sets the window text to the caption.
    virtual void ShowText();
    // Applies a held text now; nothing when none is held.
    void ReleaseText();
    // A font of its own (not the program's default one) given to a window that is not on the
    // screen waits the same way: the system makes a face ready when a window takes its font,
    // loading the font file, and a page never shown (the Processes page's list, while the program
    // lives in the tray) never needs it. True when held back; ReleaseFont applies it later.
    bool HoldFont();
    void ReleaseFont();

private:
    // Takes the peer's windows out of the form's tooltip again.
    void RemoveHintTools();
    // Answers a form tooltip's request for the text of a tool (TTN_GETDISPINFO); false when the
    // request is not about one of our tools.
    static bool HintText(const NMHDR& header);
    // Gives the window the widget's font (WM_SETFONT), repainting it when redraw is set.
    void PutFont(bool redraw);

    Win32UiBackend& backend_;
    TControl& control_;
    ::HWND hwnd_ = nullptr;
    WNDPROC previous_ = nullptr;
    bool textHeld_ = false;
    bool fontHeld_ = false;
    ::HWND tooltip_ = nullptr;       // the form's tooltip the windows below are tools of
    ::HWND tooltipOwner_ = nullptr;  // the window that tooltip asks for their texts
    std::vector<::HWND> hintTools_;
    std::wstring hintWide_;  // the hint for a tooltip that asks in UTF-16
};

// Sets a flag for the lifetime of a scope.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};

}  // namespace taskwell::win32
