// The system's dialog for choosing a file to save to. Set its properties, call Execute: true when the
// user chose a file (FileName is then the full path), false when the dialog was cancelled (or could
// not be shown), which changes nothing.
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

namespace taskwell {

class TApplication;

// Options with the platform's values.
constexpr DWORD ofHideReadOnly = 0x00000004;
constexpr DWORD ofPathMustExist = 0x00000800;

class TSaveDialog {
public:
    explicit TSaveDialog(TApplication& app) : app_(app) {}

    struct FilterEntry {
        std::string Description;  // "Log files"
        std::string Pattern;      // "*.log"
    };

    std::string Title;
    std::string DefaultExt;  // without the dot
    std::vector<FilterEntry> Filter;
    DWORD Options = 0;
    std::string InitialDir;
    std::string FileName;

    bool Execute();

private:
    TApplication& app_;
};

}  // namespace taskwell
