// Shell services: executable type, icons of files and of the program's own resources.
#pragma once

#include <string>

#include "platform/Types.h"

namespace taskwell {

constexpr UINT SHGFI_EXETYPE = 0x2000;

constexpr DWORD NIM_ADD = 0;
constexpr DWORD NIM_MODIFY = 1;
constexpr DWORD NIM_DELETE = 2;
constexpr UINT NIF_MESSAGE = 0x1;
constexpr UINT NIF_ICON = 0x2;
constexpr UINT NIF_TIP = 0x4;

// A notification-area icon; 88 bytes, as the platform lays it out.
struct NOTIFYICONDATAA {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    char szTip[64];
};
static_assert(sizeof(NOTIFYICONDATAA) == 88);

// 352 bytes, as the platform lays it out.
struct SHFILEINFOA {
    HICON hIcon;
    int iIcon;
    DWORD dwAttributes;
    char szDisplayName[MAX_PATH];
    char szTypeName[80];
};
static_assert(sizeof(SHFILEINFOA) == 352);

class IShell {
public:
    virtual ~IShell() = default;
    // With SHGFI_EXETYPE: the executable-type value of the file (signature in the low word, expected
    // system version in the high word); 0 on failure.
    virtual DWORD SHGetFileInfoA(const std::string& path, DWORD fileAttributes, SHFILEINFOA& info,
                                 UINT flags) = 0;
    // The icon of the given index in the file, extracted on behalf of module hInst. 0 when the file has
    // none; 1 when the file is not an executable, DLL or icon file. Neither is a usable icon.
    virtual HICON ExtractIconA(HINSTANCE hInst, const std::string& path, UINT index) = 0;
    // The icon of the file at index, or the icon of the program associated with the file. path
    // and index are in and out: the system may rewrite them to name where the icon came from. 0 when
    // there is none.
    virtual HICON ExtractAssociatedIconA(HINSTANCE hInst, std::string& path, WORD& index) = 0;
    // True when the handle is an icon that can be drawn or added to an image list.
    virtual bool IsUsableIcon(HICON icon) = 0;
    virtual bool DestroyIcon(HICON icon) = 0;
    // A new icon with the same picture, which the caller destroys; 0 on failure.
    virtual HICON CopyIcon(HICON icon) = 0;
    // The program's own icon resource of that name; 0 when absent.
    virtual HICON LoadIconA(const std::string& resourceName) = 0;
    // Adds, changes or removes an icon in the notification area.
    virtual bool Shell_NotifyIconA(DWORD message, const NOTIFYICONDATAA& data) = 0;
    // The program's own module instance.
    virtual HINSTANCE GetModuleHandleA() = 0;
};

}  // namespace taskwell
