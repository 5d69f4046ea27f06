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

// Our handles are the 32-bit values of the system's. The product is a 32-bit executable, where the
// two are the same. In the 64-bit test build the system's window, icon and kernel handles carry
// 32 significant bits and are sign-extended back (as the system's HandleToLong/LongToHandle do), so
// pseudo handles such as INVALID_HANDLE_VALUE survive the trip.
template <typename SystemHandle>
SystemHandle ToSystemHandle(std::uint32_t h) {
    return reinterpret_cast<SystemHandle>(static_cast<std::intptr_t>(static_cast<std::int32_t>(h)));
}
template <typename SystemHandle>
std::uint32_t FromSystemHandle(SystemHandle h) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(h));
}

inline ::HWND ToHwnd(taskwell::HWND h) { return ToSystemHandle<::HWND>(h); }
inline taskwell::HWND FromHwnd(::HWND h) { return FromSystemHandle(h); }
inline ::HICON ToHicon(taskwell::HICON h) { return ToSystemHandle<::HICON>(h); }
inline taskwell::HICON FromHicon(::HICON h) { return FromSystemHandle(h); }
inline ::HANDLE ToHandle(taskwell::HANDLE h) { return ToSystemHandle<::HANDLE>(h); }
inline taskwell::HANDLE FromHandle(::HANDLE h) { return FromSystemHandle(h); }

// A module handle is the module's address, which in a 64-bit process lies above 4 GB. The only
// module handle the logic hands back is the program's own (for the icons it extracts), so its
// 32-bit value is mapped back to the program's full one; any other value passes as it is.
inline ::HINSTANCE ToHinstance(taskwell::HINSTANCE h) {
    ::HINSTANCE own = ::GetModuleHandleA(nullptr);
    if (h == FromSystemHandle(own)) return own;
    return reinterpret_cast<::HINSTANCE>(static_cast<std::uintptr_t>(h));
}
inline taskwell::HINSTANCE FromHinstance(::HINSTANCE h) { return FromSystemHandle(h); }

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
