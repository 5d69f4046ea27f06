// The record each row of the Applications list carries: the facts about its window, copied from
// the window list engine when the row was made.
#pragma once

#include <string>

#include "platform/Types.h"

namespace taskwell {

struct TApplicationWin {
    HWND Handle = 0;
    HWND ParentHandle = 0;
    DWORD ThreadID = 0;
    // The icon the engine extracted; the row's record owns it.
    HICON Icon = 0;
    // The icon's index in both image lists of the page; -1 for none.
    LONG ImageIndex = -1;
    DWORD ProcessID = 0;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    std::string ExePath;
    std::string WinClassName;
    std::string ParentCaption;
};

}  // namespace taskwell
