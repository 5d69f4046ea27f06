#include "platform/win32/Win32ComboBoxPeer.h"

#include <vector>

#include "platform/win32/Win32UiBackend.h"
#include "ui/TComboBox.h"

namespace taskwell::win32 {

std::unique_ptr<Win32ComboBoxPeer> Win32ComboBoxPeer::Create(Win32UiBackend& backend, TComboBox& combo) {
    auto peer = std::make_unique<Win32ComboBoxPeer>(backend, combo);
    const DWORD style = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL;
    if (!peer->CreateChild("COMBOBOX", style, 0, "")) return nullptr;
    // The field inside shows the hint too: the pointer rests on it more than on the button.
    peer->AddHintTool(peer->EditWindow());
    FlagScope applying(peer->applying_);
    peer->Rebuild();
    peer->Place();
    return peer;
}

Win32ComboBoxPeer::Win32ComboBoxPeer(Win32UiBackend& backend, TComboBox& combo)
    : Win32ControlPeer(backend, combo) {}

::HWND Win32ComboBoxPeer::EditWindow() const {
    return Handle() ? ::FindWindowExA(Handle(), nullptr, "Edit", nullptr) : nullptr;
}

void Win32ComboBoxPeer::Place() {
    TComboBox* combo = As<TComboBox>();
    if (!combo || !Handle()) return;
    int dx = 0, dy = 0;
    ParentWindow(dx, dy);
    // The system keeps the field at the height its font needs and takes whatever the window is
    // given beyond that as the height of the dropped-down list.
    RECT r{};
    int field = ::GetWindowRect(Handle(), &r) ? static_cast<int>(r.bottom - r.top) : combo->Height();
    if (field <= 0) field = combo->Height();
    auto itemHeight = static_cast<int>(::SendMessageA(Handle(), CB_GETITEMHEIGHT, 0, 0));
    if (itemHeight <= 0) itemHeight = 13;
    const int rows = combo->DropDownCount > 0 ? combo->DropDownCount : 1;
    const int width = combo->Width() < 0 ? 0 : combo->Width();
    ::MoveWindow(Handle(), combo->Left() + dx, combo->Top() + dy, width, field + rows * itemHeight + 2, TRUE);
}

void Win32ComboBoxPeer::Rebuild() {
    TComboBox* combo = As<TComboBox>();
    if (!combo) return;
    ::SendMessageA(Handle(), WM_SETREDRAW, FALSE, 0);
    ::SendMessageA(Handle(), CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < combo->ItemCount(); ++i)
        ::SendMessageA(Handle(), CB_ADDSTRING, 0, reinterpret_cast<::LPARAM>(combo->Item(i).c_str()));
    ::SendMessageA(Handle(), WM_SETREDRAW, TRUE, 0);
    ::InvalidateRect(Handle(), nullptr, TRUE);
    Sync();
}

void Win32ComboBoxPeer::Sync() {
    TComboBox* combo = As<TComboBox>();
    if (!combo) return;
    // Text set into the field makes the control drop the list's selection, and selecting nothing
    // empties the field: the text goes first, the selection next, and the text again after an
    // empty selection. (A selected item's text is the widget's text.)
    if (WindowText() != combo->Text()) ::SetWindowTextA(Handle(), combo->Text().c_str());
    const int wanted = combo->ItemIndex();
    if (static_cast<int>(::SendMessageA(Handle(), CB_GETCURSEL, 0, 0)) != wanted)
        ::SendMessageA(Handle(), CB_SETCURSEL, static_cast<::WPARAM>(wanted), 0);
    if (WindowText() != combo->Text()) ::SetWindowTextA(Handle(), combo->Text().c_str());
}

void Win32ComboBoxPeer::Apply(Change what, int index) {
    TComboBox* combo = As<TComboBox>();
    if (!combo) return;
    switch (what) {
    case Change::Bounds:
        Place();
        break;
    case Change::Items:
        if (index < 0 || index >= combo->ItemCount()) {
            Rebuild();
            break;
        }
        ::SendMessageA(Handle(), CB_INSERTSTRING, static_cast<::WPARAM>(index),
                       reinterpret_cast<::LPARAM>(combo->Item(index).c_str()));
        // A control that could not take the item (out of memory) is given the whole list again.
        if (static_cast<int>(::SendMessageA(Handle(), CB_GETCOUNT, 0, 0)) != combo->ItemCount())
            Rebuild();
        else
            Sync();
        break;
    case Change::ItemDeleted:
        if (index < 0) {
            Rebuild();
            break;
        }
        ::SendMessageA(Handle(), CB_DELETESTRING, static_cast<::WPARAM>(index), 0);
        if (static_cast<int>(::SendMessageA(Handle(), CB_GETCOUNT, 0, 0)) != combo->ItemCount())
            Rebuild();
        else
            Sync();
        break;
    case Change::Caption:
    case Change::ItemIndex:
        Sync();
        break;
    case Change::Font:
        ApplyFont();
        Place();
        break;
    default:
        Win32ControlPeer::Apply(what, index);
        break;
    }
}

bool Win32ComboBoxPeer::OnCommand(WORD code) {
    if (code != CBN_EDITCHANGE && code != CBN_SELCHANGE) return false;
    // What the peer itself does to the control is not news.
    if (applying_) return true;
    TComboBox* combo = As<TComboBox>();
    if (!combo) return true;
    if (code == CBN_EDITCHANGE) {
        combo->PeerText(WindowText());
        return true;
    }
    // The control puts the picked item's text in the field after this notification; a handler
    // may ask for something else meanwhile, so the peer looks again afterwards (when the handler
    // has not done away with the peer and its window: the recheck finds no peer then).
    Win32UiBackend& backend = Backend();
    ::HWND self = Handle();
    combo->PeerItemIndex(static_cast<int>(::SendMessageA(self, CB_GETCURSEL, 0, 0)));
    backend.PostRecheck(self);
    return true;
}

void Win32ComboBoxPeer::Recheck() {
    if (!Handle()) return;
    FlagScope applying(applying_);
    Sync();
}

}  // namespace taskwell::win32
