// A menu as a system menu: the main menu as the menu bar of its form, a popup menu as a popup.
//
// The system menu is built from the item tree. When only states change (check marks, enabled,
// default, captions) the built items are updated where they are; when items appear, disappear or
// move, the whole menu is built again, but never while a menu is open: that waits until it closes.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/UiBackend.h"
#include "platform/win32/Win32Api.h"

namespace taskwell {
class TMenu;
class TMenuItem;
}  // namespace taskwell

namespace taskwell::win32 {

class Win32UiBackend;

class Win32MenuPeer : public IPeer {
public:
    static std::unique_ptr<Win32MenuPeer> Create(Win32UiBackend& backend, TMenu& menu);
    Win32MenuPeer(Win32UiBackend& backend, TMenu& menu);
    ~Win32MenuPeer() override;
    Win32MenuPeer(const Win32MenuPeer&) = delete;
    Win32MenuPeer& operator=(const Win32MenuPeer&) = delete;

    void Changed(Change what, int index) override;
    // Runs a rebuild that had to wait for an open menu to close.
    void FlushPending();

    ::HMENU Handle() const { return handle_; }
    // The command id given to an item in the current build; 0 when the item is not in the menu.
    UINT CommandOf(const TMenuItem* item) const;
    // Shows a popup menu at a screen position and runs the item chosen (TPopupMenu::Popup comes
    // here through the backend, after the menu's OnPopup). False when the menu could not be shown.
    // The default item is the system's default item, which the menu draws bold.
    bool Popup(int x, int y);

private:
    enum class Kind { Command, Line, SubmenuBegin, SubmenuEnd };
    struct ShapeStep {
        const TMenuItem* item;
        Kind kind;
        bool operator==(const ShapeStep&) const = default;
    };
    struct Entry {
        TMenuItem* item;
        ::HMENU parent;
        UINT position;
        UINT id;
    };

    bool IsBar() const;
    std::vector<ShapeStep> Shape() const;
    void ShapeOf(const TMenuItem& parent, std::vector<ShapeStep>& out) const;
    void Build();
    void BuildItems(::HMENU menu, const TMenuItem& parent);
    void UpdateInPlace();
    void FillInfo(const TMenuItem& item, MENUITEMINFOA& info, std::string& text) const;
    // The command id of an item: given once and kept across rebuilds, so a command the system
    // posted before a rebuild still names the item the user chose.
    UINT IdFor(TMenuItem& item);
    void ReleaseCommands();
    // Puts the menu on its form's window (a menu bar), as far as the form has one.
    void AttachToForm();

    Win32UiBackend& backend_;
    TMenu& menu_;
    ::HMENU handle_ = nullptr;
    ::HWND attached_ = nullptr;
    std::vector<Entry> entries_;
    std::map<const TMenuItem*, UINT> ids_;
    std::vector<ShapeStep> shape_;
    bool pending_ = false;
};

}  // namespace taskwell::win32
