// Basic platform types. Records and handles keep the 32-bit widths of the Win32 interface of the
// Windows 95/98 family, so the logic reads like the calls it makes and behaves the same in both builds.
#pragma once

#include <cstdint>

namespace taskwell {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using LONGLONG = std::int64_t;
using DWORDLONG = std::uint64_t;

// Handles are opaque 32-bit values; 0 is "no handle".
using HANDLE = std::uint32_t;
using HWND = std::uint32_t;
using HICON = std::uint32_t;
using HINSTANCE = std::uint32_t;

constexpr int MAX_PATH = 260;

}  // namespace taskwell
