// The one place the Win32 side of Taskwell takes the system's headers from.
//
// Our platform interfaces declare constants with the system's own names (MAX_PATH, MB_OK,
// TH32CS_SNAPPROCESS, ...), which the system headers define as macros. They are therefore read
// first, so our declarations are complete before those macros exist; code after this header uses
// the system's macros, whose values are the same. A new platform interface with such constants
// belongs in the list below, before <windows.h>.
//
// Headers of the widget layer may come before or after this one: the few system macros that would
// rewrite their identifiers (MessageBox, small) are removed at the end.
#pragma once

#include "platform/Platform.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <cderr.h>
#include <shellapi.h>
#include <tlhelp32.h>
#include <winver.h>

#undef MessageBox
#undef small

#include <cstdint>

namespace taskwell::win32 {

// Our handles are the 32-bit values of the system's; the program is a 32-bit executable.
inline ::HWND ToHwnd(taskwell::HWND h) { return reinterpret_cast<::HWND>(static_cast<std::uintptr_t>(h)); }
inline taskwell::HWND FromHwnd(::HWND h) {
    return static_cast<taskwell::HWND>(reinterpret_cast<std::uintptr_t>(h));
}
inline ::HICON ToHicon(taskwell::HICON h) { return reinterpret_cast<::HICON>(static_cast<std::uintptr_t>(h)); }
inline taskwell::HICON FromHicon(::HICON h) {
    return static_cast<taskwell::HICON>(reinterpret_cast<std::uintptr_t>(h));
}
inline ::HANDLE ToHandle(taskwell::HANDLE h) {
    return reinterpret_cast<::HANDLE>(static_cast<std::uintptr_t>(h));
}
inline taskwell::HANDLE FromHandle(::HANDLE h) {
    return static_cast<taskwell::HANDLE>(reinterpret_cast<std::uintptr_t>(h));
}
inline ::HINSTANCE ToHinstance(taskwell::HINSTANCE h) {
    return reinterpret_cast<::HINSTANCE>(static_cast<std::uintptr_t>(h));
}
inline taskwell::HINSTANCE FromHinstance(::HINSTANCE h) {
    return static_cast<taskwell::HINSTANCE>(reinterpret_cast<std::uintptr_t>(h));
}

// True when the handle is an icon the system can draw: GetIconInfo accepts it. The bitmaps it
// hands back are copies and are freed at once.
inline bool IconIsUsable(::HICON icon) {
    if (!icon || reinterpret_cast<std::uintptr_t>(icon) == 1) return false;
    ICONINFO info{};
    if (!::GetIconInfo(icon, &info)) return false;
    if (info.hbmMask) ::DeleteObject(info.hbmMask);
    if (info.hbmColor) ::DeleteObject(info.hbmColor);
    return true;
}

}  // namespace taskwell::win32
