#include "platform/win32/Win32Shell.h"

#include <cstddef>
#include <cstring>

#include "platform/win32/Win32Api.h"

namespace taskwell::win32 {

namespace {

// Layout of an icon group resource: a header and one 14-byte entry per picture.
#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width;  // 0 means 256
    BYTE height;
    BYTE colorCount;
    BYTE reserved;
    WORD planes;
    WORD bitCount;
    DWORD bytesInRes;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved;
    WORD type;
    WORD count;
};
#pragma pack(pop)

// The size to load an icon group at: the standard icon size when the group has a picture of that
// size, otherwise the size of its first picture (the page images hold only a small one, which must
// not be stretched). 0 when the group does not exist.
int GroupIconSize(::HMODULE module, const char* name) {
    ::HRSRC res = ::FindResourceA(module, name, MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    if (!res) return 0;
    ::HGLOBAL loaded = ::LoadResource(module, res);
    const void* data = loaded ? ::LockResource(loaded) : nullptr;
    DWORD size = ::SizeofResource(module, res);
    if (!data || size < sizeof(GroupIconHeader)) return 0;
    const auto* header = static_cast<const GroupIconHeader*>(data);
    const auto* entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
    size_t count = header->count;
    if (sizeof(GroupIconHeader) + count * sizeof(GroupIconEntry) > size) count = 0;
    if (count == 0) return 0;
    int standard = ::GetSystemMetrics(SM_CXICON);
    for (size_t i = 0; i < count; ++i) {
        int w = entries[i].width == 0 ? 256 : entries[i].width;
        if (w == standard) return standard;
    }
    return entries[0].width == 0 ? 256 : entries[0].width;
}

}  // namespace

taskwell::DWORD Win32Shell::SHGetFileInfoA(const std::string& path, taskwell::DWORD fileAttributes,
                                           taskwell::SHFILEINFOA& info, taskwell::UINT flags) {
    ::SHFILEINFOA native{};
    DWORD_PTR result = ::SHGetFileInfoA(path.c_str(), fileAttributes, &native, sizeof native, flags);
    info.hIcon = FromHicon(native.hIcon);
    info.iIcon = native.iIcon;
    info.dwAttributes = native.dwAttributes;
    std::memcpy(info.szDisplayName, native.szDisplayName, sizeof info.szDisplayName);
    info.szDisplayName[sizeof info.szDisplayName - 1] = '\0';
    std::memcpy(info.szTypeName, native.szTypeName, sizeof info.szTypeName);
    info.szTypeName[sizeof info.szTypeName - 1] = '\0';
    return static_cast<taskwell::DWORD>(result);
}

taskwell::HICON Win32Shell::ExtractIconA(taskwell::HINSTANCE hInst, const std::string& path, taskwell::UINT index) {
    return FromHicon(::ExtractIconA(ToHinstance(hInst), path.c_str(), index));
}

taskwell::HICON Win32Shell::ExtractAssociatedIconA(taskwell::HINSTANCE hInst, std::string& path, taskwell::WORD& index) {
    // The system may write a path of up to MAX_PATH characters into the buffer (the program
    // associated with the file, or the module the icon came from); a longer path is cut to fit.
    char buffer[MAX_PATH] = {};
    path.copy(buffer, sizeof buffer - 1);
    ::WORD iconIndex = index;
    ::HICON icon = ::ExtractAssociatedIconA(ToHinstance(hInst), buffer, &iconIndex);
    buffer[sizeof buffer - 1] = '\0';
    path.assign(buffer);
    index = iconIndex;
    return FromHicon(icon);
}

bool Win32Shell::IsUsableIcon(taskwell::HICON icon) {
    return IconIsUsable(ToHicon(icon));
}

bool Win32Shell::DestroyIcon(taskwell::HICON icon) {
    // 0 is no icon and 1 is ExtractIcon's "not an executable": neither is a handle to free.
    if (icon == 0 || icon == 1) return false;
    return ::DestroyIcon(ToHicon(icon)) != FALSE;
}

taskwell::HICON Win32Shell::CopyIcon(taskwell::HICON icon) {
    if (!icon) return 0;
    return FromHicon(::CopyIcon(ToHicon(icon)));
}

taskwell::HICON Win32Shell::LoadIconA(const std::string& resourceName) {
    ::HMODULE module = ::GetModuleHandleA(nullptr);
    int size = GroupIconSize(module, resourceName.c_str());
    if (size <= 0) return 0;
    ::HANDLE icon = ::LoadImageA(module, resourceName.c_str(), IMAGE_ICON, size, size, 0);
    return FromHandle(icon);
}

taskwell::HINSTANCE Win32Shell::GetModuleHandleA() {
    return FromHinstance(::GetModuleHandleA(nullptr));
}

bool Win32Shell::Shell_NotifyIconA(taskwell::DWORD message, const taskwell::NOTIFYICONDATAA& data) {
    // The record as the shell of the Windows 95 family knows it: the system's record up to the end
    // of a 64-character tip (88 bytes on 32-bit Windows). Written out rather than with the
    // system's macro, which names the record unqualified and would here measure our own.
    constexpr ::DWORD kFirstRecordSize = offsetof(::NOTIFYICONDATAA, szTip) + sizeof(data.szTip);
#ifdef _WIN64
    static_assert(kFirstRecordSize == 104, "the first notification icon record: 64-bit layout");
#else
    static_assert(kFirstRecordSize == 88, "the first notification icon record is 88 bytes");
#endif
    ::NOTIFYICONDATAA nid{};
    nid.cbSize = kFirstRecordSize;
    nid.hWnd = ToHwnd(data.hWnd);
    nid.uID = data.uID;
    nid.uFlags = data.uFlags;
    nid.uCallbackMessage = data.uCallbackMessage;
    nid.hIcon = ToHicon(data.hIcon);
    static_assert(sizeof(nid.szTip) >= sizeof(data.szTip));
    std::memcpy(nid.szTip, data.szTip, sizeof(data.szTip));
    nid.szTip[sizeof(data.szTip) - 1] = '\0';
    return ::Shell_NotifyIconA(message, &nid) != FALSE;
}

}  // namespace taskwell::win32
