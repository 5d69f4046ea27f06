#include "platform/win32/Win32MenuPeer.h"

#include <cstddef>
#include <string>

#include "platform/win32/Win32ControlPeer.h"
#include "platform/win32/Win32UiBackend.h"
#include "ui/TForm.h"
#include "ui/TMenu.h"

namespace taskwell::win32 {

std::unique_ptr<Win32MenuPeer> Win32MenuPeer::Create(Win32UiBackend& backend, TMenu& menu) {
    auto peer = std::make_unique<Win32MenuPeer>(backend, menu);
    peer->Build();
    if (!peer->handle_) return nullptr;
    return peer;
}

Win32MenuPeer::Win32MenuPeer(Win32UiBackend& backend, TMenu& menu) : backend_(backend), menu_(menu) {
    backend_.AddMenu(this);
}

Win32MenuPeer::~Win32MenuPeer() {
    backend_.RemoveMenu(this);
    ReleaseCommands();
    // The form may be gone by now: only the window we attached to is looked at, never the form.
    if (attached_ && ::IsWindow(attached_) && ::GetMenu(attached_) == handle_) {
        ::SetMenu(attached_, nullptr);
        ::DrawMenuBar(attached_);
    }
    if (handle_) ::DestroyMenu(handle_);
}

bool Win32MenuPeer::IsBar() const {
    return dynamic_cast<const TMainMenu*>(&menu_) != nullptr;
}

void Win32MenuPeer::ShapeOf(const TMenuItem& parent, std::vector<ShapeStep>& out) const {
    for (int i = 0; i < parent.Count(); ++i) {
        const TMenuItem& item = parent[i];
        if (!item.Visible()) continue;
        if (item.IsLine()) {
            out.push_back({&item, Kind::Line});
        } else if (item.Count() > 0) {
            out.push_back({&item, Kind::SubmenuBegin});
            ShapeOf(item, out);
            out.push_back({&item, Kind::SubmenuEnd});
        } else {
            out.push_back({&item, Kind::Command});
        }
    }
}

std::vector<Win32MenuPeer::ShapeStep> Win32MenuPeer::Shape() const {
    std::vector<ShapeStep> shape;
    ShapeOf(menu_.Items(), shape);
    return shape;
}

// The menu item record as Windows 95 and NT 4 know it: everything before hbmpItem, which Windows 98
// and 2000 added. Windows 95 checks the size and may refuse the larger record, which would leave
// every menu empty there; the later systems take both sizes.
constexpr UINT kMenuItemInfoSize = offsetof(::MENUITEMINFOA, hbmpItem);
#ifdef _WIN64
static_assert(kMenuItemInfoSize == 72, "the 4.0 menu item record: five 32-bit fields, five pointers, a count");
#else
static_assert(kMenuItemInfoSize == 44, "the 4.0 menu item record is eleven 32-bit fields");
#endif

void Win32MenuPeer::FillInfo(const TMenuItem& item, MENUITEMINFOA& info, std::string& text) const {
    text = item.Caption();
    info.cbSize = kMenuItemInfoSize;
    // MIIM_TYPE rather than MIIM_STRING/MIIM_FTYPE: the older flags are what Windows 95 knows.
    info.fMask = MIIM_TYPE | MIIM_STATE;
    info.fType = MFT_STRING | (item.RadioItem() ? MFT_RADIOCHECK : 0);
    info.fState = (item.Checked() ? MFS_CHECKED : MFS_UNCHECKED) | (item.Enabled() ? MFS_ENABLED : MFS_GRAYED) |
                  (item.Default() ? MFS_DEFAULT : 0);
    info.dwTypeData = text.data();
    info.cch = static_cast<UINT>(text.size());
}

void Win32MenuPeer::BuildItems(::HMENU menu, const TMenuItem& parent) {
    UINT position = 0;
    for (int i = 0; i < parent.Count(); ++i) {
        TMenuItem& item = parent[i];
        if (!item.Visible()) continue;
        if (item.IsLine()) {
            if (::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr)) ++position;
            continue;
        }
        MENUITEMINFOA info{};
        std::string text;
        FillInfo(item, info, text);
        UINT id = IdFor(item);
        info.fMask |= MIIM_ID;
        info.wID = id;
        ::HMENU sub = nullptr;
        if (item.Count() > 0) {
            sub = ::CreatePopupMenu();
            if (sub) {
                BuildItems(sub, item);
                info.fMask |= MIIM_SUBMENU;
                info.hSubMenu = sub;
            }
        }
        if (::InsertMenuItemA(menu, position, TRUE, &info)) {
            entries_.push_back(Entry{&item, menu, position, id});
            ++position;
        } else if (sub) {
            ::DestroyMenu(sub);
        }
    }
}

UINT Win32MenuPeer::IdFor(TMenuItem& item) {
    auto it = ids_.find(&item);
    if (it != ids_.end()) return it->second;
    UINT id = backend_.AddMenuCommand(&item);
    if (id != 0) ids_.emplace(&item, id);
    return id;
}

void Win32MenuPeer::ReleaseCommands() {
    for (const auto& [item, id] : ids_) backend_.RemoveMenuCommand(id);
    ids_.clear();
    entries_.clear();
}

void Win32MenuPeer::Build() {
    ::HMENU fresh = IsBar() ? ::CreateMenu() : ::CreatePopupMenu();
    if (!fresh) return;
    entries_.clear();
    BuildItems(fresh, menu_.Items());
    shape_ = Shape();
    pending_ = false;
    ::HMENU old = handle_;
    handle_ = fresh;
    if (IsBar()) AttachToForm();
    // Destroying a menu destroys its submenus too.
    if (old) ::DestroyMenu(old);
}

void Win32MenuPeer::AttachToForm() {
    TForm* owner = menu_.Owner();
    auto* peer = owner ? dynamic_cast<Win32ControlPeer*>(owner->Peer()) : nullptr;
    ::HWND window = peer ? peer->Handle() : nullptr;
    if (!window) return;
    attached_ = window;
    if (::GetMenu(window) != handle_) ::SetMenu(window, handle_);
    ::DrawMenuBar(window);
}

void Win32MenuPeer::UpdateInPlace() {
    for (const auto& e : entries_) {
        MENUITEMINFOA info{};
        std::string text;
        FillInfo(*e.item, info, text);
        ::SetMenuItemInfoA(e.parent, e.position, TRUE, &info);
    }
    if (IsBar()) AttachToForm();
}

void Win32MenuPeer::Changed(Change what, int) {
    if (what != Change::Structure) return;
    if (!pending_ && Shape() == shape_) {
        UpdateInPlace();
        return;
    }
    if (backend_.InMenuLoop()) {
        pending_ = true;
        return;
    }
    Build();
}

void Win32MenuPeer::FlushPending() {
    if (pending_) Build();
}

UINT Win32MenuPeer::CommandOf(const TMenuItem* item) const {
    for (const auto& e : entries_)
        if (e.item == item) return e.id;
    return 0;
}

bool Win32MenuPeer::Popup(int x, int y) {
    if (!handle_ || IsBar()) return false;
    FlushPending();
    TForm* owner = menu_.Owner();
    auto* peer = owner ? dynamic_cast<Win32ControlPeer*>(owner->Peer()) : nullptr;
    ::HWND window = peer && peer->Handle() ? peer->Handle() : backend_.UtilityWindow();
    // The owner must be in front, or the menu does not close when the user clicks elsewhere.
    ::SetForegroundWindow(window);
    // Changes to menus wait while this one is open. The item runs before they are made; it may
    // destroy this peer, so only the backend is used from there on.
    Win32UiBackend& backend = backend_;
    backend.EnterMenuLoop();
    UINT chosen = static_cast<UINT>(
        ::TrackPopupMenu(handle_, TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, x, y, 0, window, nullptr));
    ::PostMessageA(window, WM_NULL, 0, 0);
    if (chosen != 0) backend.MenuCommand(chosen);
    backend.ExitMenuLoop();
    return true;
}

}  // namespace taskwell::win32
