#include "platform/win32/Win32EditPeer.h"

#include <string>
#include <vector>

#include "platform/win32/Win32UiBackend.h"
#include "ui/StdCtrls.h"

namespace taskwell::win32 {

std::unique_ptr<Win32EditPeer> Win32EditPeer::Create(Win32UiBackend& backend, TEdit& edit) {
    auto peer = std::make_unique<Win32EditPeer>(backend, edit);
    DWORD style = 0, exStyle = 0;
    StylesOf(edit, style, exStyle);
    if (!peer->CreateChild("EDIT", style, exStyle, edit.Text().c_str())) return nullptr;
    // No inner margins: the text starts where the field starts, in line with the labels beside it,
    // and a text measured to fit the field's width (a shortened path) is shown whole.
    ::SendMessageA(peer->Handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
    return peer;
}

Win32EditPeer::Win32EditPeer(Win32UiBackend& backend, TEdit& edit) : Win32ControlPeer(backend, edit) {}

Win32EditPeer::~Win32EditPeer() {
    DestroyHandle();
    if (brush_) ::DeleteObject(brush_);
}

void Win32EditPeer::StylesOf(const TEdit& edit, DWORD& style, DWORD& exStyle) {
    style = WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT | (edit.ReadOnly() ? ES_READONLY : 0);
    exStyle = edit.BorderStyle() == TEditBorder::bsSingle ? WS_EX_CLIENTEDGE : 0;
}

void Win32EditPeer::ApplyText() {
    TEdit* edit = As<TEdit>();
    // Setting the same text again would move the user's caret and selection.
    if (!edit || WindowText() == edit->Text()) return;
    ::SetWindowTextA(Handle(), edit->Text().c_str());
}

void Win32EditPeer::ShowText() {
    ApplyText();
}

void Win32EditPeer::ApplyReadOnly() {
    TEdit* edit = As<TEdit>();
    if (!edit) return;
    ::SendMessageA(Handle(), EM_SETREADONLY, edit->ReadOnly() ? TRUE : FALSE, 0);
    DWORD style = 0, exStyle = 0;
    StylesOf(*edit, style, exStyle);
    auto current = static_cast<DWORD>(::GetWindowLongA(Handle(), GWL_EXSTYLE));
    DWORD wanted = (current & ~static_cast<DWORD>(WS_EX_CLIENTEDGE)) | exStyle;
    if (wanted != current) {
        ::SetWindowLongA(Handle(), GWL_EXSTYLE, static_cast<LONG>(wanted));
        // The frame is part of the non-client area: the system measures it again.
        ::SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                       SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ::InvalidateRect(Handle(), nullptr, TRUE);
}

void Win32EditPeer::Apply(Change what, int index) {
    switch (what) {
    case Change::Caption:
        if (!HoldText()) ApplyText();
        break;
    case Change::ReadOnly:
        ApplyReadOnly();
        break;
    default:
        Win32ControlPeer::Apply(what, index);
        break;
    }
}

bool Win32EditPeer::OnCommand(WORD code) {
    if (code != EN_CHANGE) return false;
    // The program's own text comes back as a change too; only the user's is news.
    if (applying_) return true;
    if (TEdit* edit = As<TEdit>()) edit->SetText(WindowText());
    return true;
}

::LRESULT Win32EditPeer::ControlColor(UINT msg, ::HDC dc, ::LRESULT brush) {
    brush = Win32ControlPeer::ControlColor(msg, dc, brush);
    TEdit* edit = As<TEdit>();
    if (!edit || edit->Color == -1) return brush;  // the system's window colour (button face when read-only)
    if (edit->Color == clBtnFace) {
        ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<::LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
    }
    if (!brush_ || brushColor_ != edit->Color) {
        if (brush_) ::DeleteObject(brush_);
        brush_ = ::CreateSolidBrush(static_cast<COLORREF>(edit->Color & 0xFFFFFF));
        brushColor_ = edit->Color;
    }
    if (!brush_) return brush;
    ::SetBkColor(dc, static_cast<COLORREF>(edit->Color & 0xFFFFFF));
    return reinterpret_cast<::LRESULT>(brush_);
}

}  // namespace taskwell::win32
