#include "platform/win32/Win32BlankImage.h"

namespace taskwell::win32 {

bool AddBlankImage(::HIMAGELIST list) {
    int width = 0, height = 0;
    if (!list || !::ImageList_GetIconSize(list, &width, &height) || width <= 0 || height <= 0) return false;
    bool added = false;
    ::HDC screen = ::GetDC(nullptr);
    ::HDC dc = screen ? ::CreateCompatibleDC(screen) : nullptr;
    ::HBITMAP image = screen ? ::CreateCompatibleBitmap(screen, width, height) : nullptr;
    ::HBITMAP mask = ::CreateBitmap(width, height, 1, 1, nullptr);
    if (dc && image && mask) {
        // A masked image draws its picture where the mask is clear and leaves the background where
        // it is set: a set mask over a black picture draws nothing at all.
        const ::RECT all{0, 0, width, height};
        ::HGDIOBJ old = ::SelectObject(dc, image);
        ::FillRect(dc, &all, static_cast<::HBRUSH>(::GetStockObject(BLACK_BRUSH)));
        ::SelectObject(dc, mask);
        ::FillRect(dc, &all, static_cast<::HBRUSH>(::GetStockObject(WHITE_BRUSH)));
        ::SelectObject(dc, old);
        // The list keeps copies of the bitmaps.
        added = ::ImageList_Add(list, image, mask) >= 0;
    }
    if (mask) ::DeleteObject(mask);
    if (image) ::DeleteObject(image);
    if (dc) ::DeleteDC(dc);
    if (screen) ::ReleaseDC(nullptr, screen);
    return added;
}

}  // namespace taskwell::win32
