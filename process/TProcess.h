// The record kept for each process of the latest snapshot. Numbers hold the snapshot entry's value
// bit for bit; Icon, BinTyp and ExePath are taken once, when the record is created.
#pragma once

#include <string>

#include "platform/Types.h"

namespace taskwell {

class TProcess {
public:
    HICON Icon = 0;
    LONG ImageIndex = 0;  // index in both process image lists; -1 without an image
    DWORD CntUsage = 0;
    DWORD ProcessID = 0;
    DWORD DefHeapID = 0;
    DWORD ModuleID = 0;
    DWORD CntThreads = 0;
    DWORD ParentID = 0;
    LONG PriClassBase = 0;
    std::string Priority;
    std::string BinTyp;
    DWORD Flags = 0;
    std::string ExePath;
    bool Seen = false;
};

}  // namespace taskwell
