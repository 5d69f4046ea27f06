// The user-interface backend: native peers for the widget layer, the message loop, message boxes.
// The Win32 backend mirrors every widget into a real control; the simulated machine's backend keeps
// none and drives timers from a virtual clock, so tests can click, tick and answer dialogs.
#pragma once

#include <memory>
#include <string>

#include "platform/Types.h"

namespace taskwell {

class TControl;
class TForm;
class TMenu;
class TPopupMenu;
class TImageList;
class TTimer;
struct TFont;
class TSaveDialog;
class TOpenDialog;

// What changed in a widget; the peer reads the new state from the widget itself.
enum class Change {
    Bounds,       // position or size
    Visible,
    Caption,      // caption or text
    Enabled,
    Structure,    // menu items added, removed, shown, hidden or changed
    Items,        // list view or combo box item (index) added, changed (index) or all items (-1)
    ItemDeleted,  // list view or combo box item (index) removed
    ItemInserted,  // list view item inserted at (index), before the items from there on
    Columns,      // list view columns
    Panels,       // status bar panel (index) text or the panel layout (-1)
    ActivePage,
    ViewStyle,
    Images,       // image list content or the image lists a control uses
    WindowState,  // form normal, minimised or maximised
    Timer,        // timer interval or enabled
    Progress,     // gauge position
    Icon,         // application or form icon
    Redraw,       // suspend (index 0) or resume (index 1) drawing during a batch of changes
                  // (list views, status bars)
    Checked,      // check box state
    Font,         // the control's font
    Picture,      // an image control's icon or stretching
    TopIndex,     // the list view's first visible row
    ReadOnly,     // an edit field's read-only state or border
    ItemIndex,    // the combo box's selected item
    EnsureVisible,  // the list view's row (index) is to be scrolled into view
    Focus,        // the form's active control is to take the keyboard focus
};

// The screen cursor the program asks for over its windows.
enum class TCursor { crDefault, crHourGlass };

class IPeer {
public:
    virtual ~IPeer() = default;
    virtual void Changed(Change what, int index) = 0;
};

// Message box flags and answers, with the platform's values.
constexpr UINT MB_OK = 0x0;
constexpr UINT MB_OKCANCEL = 0x1;
constexpr UINT MB_YESNO = 0x4;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_SETFOREGROUND = 0x10000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

class IUiBackend {
public:
    virtual ~IUiBackend() = default;

    // Peers. A backend without native controls returns nullptr; the widget then keeps only its state.
    virtual std::unique_ptr<IPeer> CreatePeer(TControl& control) = 0;
    virtual std::unique_ptr<IPeer> CreatePeer(TMenu& menu) = 0;
    virtual std::unique_ptr<IPeer> CreatePeer(TImageList& images) = 0;
    virtual std::unique_ptr<IPeer> CreatePeer(TTimer& timer) = 0;

    // Handles every pending message (timers due, input, posted calls) and returns.
    virtual void ProcessMessages() = 0;
    // Runs until Terminate is called.
    virtual void RunMessageLoop() = 0;
    virtual void Terminate() = 0;

    // Shows the form modally: the program's other windows take no input until the form's ModalResult
    // is set or the form is closed; the form is hidden again before this returns.
    virtual void RunModal(TForm& form) = 0;

    // Shows a modal message box and returns the button chosen (IDOK, IDYES, ...); its owner is
    // disabled while it is up. A null owner makes the desktop the owner.
    virtual int MessageBox(TForm* owner, const std::string& text, const std::string& caption,
                           UINT flags) = 0;

    // The application's title and task bar icon changed.
    virtual void ApplicationChanged() = 0;

    // True when the handle is an icon that an image list can take.
    virtual bool IsUsableIcon(HICON icon) = 0;

    // The native window of a realised control (a form's top-level window); 0 when it has none.
    virtual HWND WindowHandle(const TControl& control) = 0;

    // Shows the popup menu at the screen position and returns when it has closed; the chosen item's
    // Click has run by then.
    virtual void Popup(TPopupMenu& menu, int x, int y) = 0;

    // Opens the help file at the topic with the system's help viewer; false when no viewer or no
    // help file could show it.
    virtual bool ShowHelp(const std::string& helpFile, UINT topic) = 0;

    // The cursor shown over the program's windows from now on.
    virtual void SetCursor(TCursor cursor) = 0;

    // The width in pixels of the text drawn in the font.
    virtual int TextWidth(const TFont& font, const std::string& text) = 0;
    // The screen's logical pixels per inch (96 with Small Fonts, 120 with Large Fonts): fonts in
    // points are that many pixels per 72 points, and forms scale their design lengths by it over 96.
    // 0 when the system cannot say.
    virtual int ScreenLogPixels() = 0;

    // Shows the save-file dialog modally, owned by owner (disabled while the dialog is up; null: the
    // desktop); true when the user chose a file, whose full path is then in the dialog's FileName.
    virtual bool ExecuteSaveDialog(TSaveDialog& dialog, TForm* owner) = 0;
    // Shows the open-file dialog modally, owned as the save dialog is; true when the user chose a
    // file, whose full path is then in the dialog's FileName. Cancelled or not shown: false, FileName
    // unchanged.
    virtual bool ExecuteOpenDialog(TOpenDialog& dialog, TForm* owner) = 0;

    // The outer size a form of the given client size has, with its border style and menu.
    virtual void WindowSizeForClient(const TForm& form, int clientWidth, int clientHeight, int& width,
                                     int& height) = 0;
};

}  // namespace taskwell
