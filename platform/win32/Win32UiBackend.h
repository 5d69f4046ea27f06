// The Win32 user-interface backend: gives every widget a real window or common control, runs the
// message loop, the timers and the message boxes.
//
// Peers find their windows' messages through a window property that points at the peer. Every
// window a peer makes is either of one of our own classes or subclassed, so the peer always sees
// its window go, and no message reaches a peer that no longer exists.
#pragma once

#include <exception>
#include <map>
#include <string>
#include <vector>

#include "platform/UiBackend.h"
#include "platform/win32/Win32Api.h"
#include "ui/TFont.h"

namespace taskwell {
class TApplication;
class TFileDialog;
class TMenuItem;
}  // namespace taskwell

namespace taskwell::win32 {

class Win32ControlPeer;
class Win32FormPeer;
class Win32TimerPeer;
class Win32MenuPeer;

class Win32UiBackend : public IUiBackend {
public:
    explicit Win32UiBackend(::HINSTANCE instance);
    ~Win32UiBackend() override;
    Win32UiBackend(const Win32UiBackend&) = delete;
    Win32UiBackend& operator=(const Win32UiBackend&) = delete;

    std::unique_ptr<IPeer> CreatePeer(TControl& control) override;
    std::unique_ptr<IPeer> CreatePeer(TMenu& menu) override;
    std::unique_ptr<IPeer> CreatePeer(TImageList& images) override;
    std::unique_ptr<IPeer> CreatePeer(TTimer& timer) override;

    void ProcessMessages() override;
    void RunMessageLoop() override;
    void Terminate() override;
    void RunModal(TForm& form) override;

    int MessageBox(TForm* owner, const std::string& text, const std::string& caption, UINT flags) override;
    void ApplicationChanged() override;
    bool IsUsableIcon(HICON icon) override;
    HWND WindowHandle(const TControl& control) override;
    void Popup(TPopupMenu& menu, int x, int y) override;
    bool ShowHelp(const std::string& helpFile, UINT topic) override;
    void SetCursor(TCursor cursor) override;
    bool ExecuteSaveDialog(TSaveDialog& dialog, TForm* owner) override;
    bool ExecuteOpenDialog(TOpenDialog& dialog, TForm* owner) override;
    int TextWidth(const TFont& font, const std::string& text) override;
    int ScreenLogPixels() override;
    void WindowSizeForClient(const TForm& form, int clientWidth, int clientHeight, int& width,
                             int& height) override;

    // --- Services for the peers ---

    ::HINSTANCE Instance() const { return instance_; }
    // The face every control is drawn in: the classic 8-point sans serif.
    ::HFONT Font() const { return font_; }
    // The font for a widget's font description (face, size and weight; the colour is the
    // controls' business): the classic face for the default, others made once and kept until the
    // backend goes.
    ::HFONT FontFor(const TFont& font);
    // The cursor the program asked for, and the system's shape for it.
    TCursor Cursor() const { return cursor_; }
    static ::HCURSOR CursorHandle(TCursor cursor);
    // Names of our window classes.
    static const char* FormClass() { return "TaskwellForm"; }
    static const char* PageClass() { return "TaskwellPage"; }
    static const char* PanelClass() { return "TaskwellPanel"; }
    static const char* GaugeClass() { return "TaskwellGauge"; }
    static const char* ImageClass() { return "TaskwellImage"; }
    static const char* GraphClass() { return "TaskwellGraph"; }

    // Control peers register themselves so that image list changes reach the controls showing them,
    // and held texts the controls that come on the screen.
    void AddControl(Win32ControlPeer* peer);
    void RemoveControl(Win32ControlPeer* peer);
    // A window came on the screen: the controls that now show take the texts they held back.
    void ShowHeldTexts();
    void ImageListChanged(::HIMAGELIST list);
    void ImageListGone(::HIMAGELIST list);

    // Forms, for the application icon.
    void AddForm(Win32FormPeer* peer);
    void RemoveForm(Win32FormPeer* peer);
    // The icon the application's forms show (the system draws it at both sizes); null when the
    // application has none.
    ::HICON AppIcon() const { return appIcon_; }

    // The application whose windows this backend shows, for errors raised where no widget is at hand.
    void RememberApplication(TApplication* app);
    // Hands an error that escaped a handler to the application; never throws.
    void ReportException(TApplication* app, const std::exception& e);

    // Timers live on the backend's hidden window; the id identifies the timer in WM_TIMER.
    UINT_PTR AddTimer(Win32TimerPeer* peer);
    void RemoveTimer(UINT_PTR id);
    bool HasTimer(UINT_PTR id) const { return timers_.count(id) != 0; }
    ::HWND UtilityWindow() const { return utility_; }

    // Command ids of menu items, shared by every menu so a command finds its item from any window.
    UINT AddMenuCommand(TMenuItem* item);
    void RemoveMenuCommand(UINT id);
    // The item of a menu command id, or null.
    TMenuItem* MenuItemOf(UINT id) const {
        auto it = commands_.find(id);
        return it == commands_.end() ? nullptr : it->second;
    }
    // Runs the item of a menu command; false when the id is not ours.
    bool MenuCommand(UINT id);
    // Menus must not be rebuilt while one is open: rebuilds wait for the menu loop to end.
    bool InMenuLoop() const { return menuLoop_ > 0; }
    void EnterMenuLoop() { ++menuLoop_; }
    void ExitMenuLoop();
    void AddMenu(Win32MenuPeer* peer);
    void RemoveMenu(Win32MenuPeer* peer);

    // Asks the peer of a window to look again at its state once the current message is done.
    void PostRecheck(::HWND window);

private:
    // The system's open or save dialog for the dialog's settings; see ExecuteSaveDialog.
    bool RunFileDialog(TFileDialog& dialog, bool save, TForm* owner);
    static ::LRESULT CALLBACK UtilityProc(::HWND hwnd, UINT msg, ::WPARAM wParam, ::LPARAM lParam);
    ::LRESULT HandleUtility(UINT msg, ::WPARAM wParam, ::LPARAM lParam);
    void RegisterClasses();
    // Takes the application's icon; true when it became none (the program may then free the
    // picture the forms hold).
    bool UpdateAppIcon(TApplication* app);

    ::HINSTANCE instance_;
    ::HFONT font_ = nullptr;
    bool ownFont_ = false;
    std::vector<std::pair<TFont, ::HFONT>> fonts_;
    TCursor cursor_ = TCursor::crDefault;
    ::HWND utility_ = nullptr;
    bool quit_ = false;
    int menuLoop_ = 0;
    TApplication* app_ = nullptr;
    ::HICON appIcon_ = nullptr;
    HICON appIconSource_ = 0;

    std::vector<Win32ControlPeer*> controls_;
    std::vector<Win32FormPeer*> forms_;
    std::vector<Win32MenuPeer*> menus_;
    std::map<UINT_PTR, Win32TimerPeer*> timers_;
    UINT_PTR nextTimer_ = 1;
    std::map<UINT, TMenuItem*> commands_;
    UINT nextCommand_ = 100;
};

}  // namespace taskwell::win32
