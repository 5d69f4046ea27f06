// A blank image for a system image list: a slot that draws nothing, for a picture the list could
// not take, so the images after it keep their indices.
//
// Made from the image list functions of common controls 4.00 (ImageList_Add): Windows 95's own
// common controls have no ImageList_SetImageCount, which would grow the list directly.
#pragma once

#include "platform/win32/Win32Api.h"

namespace taskwell::win32 {

// Adds one image of the list's size whose mask is transparent everywhere. False when the list is
// null or the system cannot make the bitmaps (nothing is added then).
bool AddBlankImage(::HIMAGELIST list);

}  // namespace taskwell::win32
