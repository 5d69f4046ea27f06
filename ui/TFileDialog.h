// What the system's file dialogs share: the title, the filter, the default extension, the options,
// the starting folder and the file name. Set the properties and call the dialog's Execute: true when
// the user chose a file (FileName is then the full path), false when the dialog was cancelled (or
// could not be shown), which changes nothing.
#pragma once

#include <string>
#include <vector>

#include "platform/Types.h"

namespace taskwell {

class TApplication;

// Options with the platform's values.
constexpr DWORD ofHideReadOnly = 0x00000004;
constexpr DWORD ofPathMustExist = 0x00000800;
constexpr DWORD ofFileMustExist = 0x00001000;

class TFileDialog {
public:
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

    TApplication& App() const { return app_; }

protected:
    explicit TFileDialog(TApplication& app) : app_(app) {}
    // Copies keep a record of a dialog as it was set up (the headless backend's); only as the
    // dialog's own kind.
    TFileDialog(const TFileDialog&) = default;
    TFileDialog& operator=(const TFileDialog&) = delete;
    ~TFileDialog() = default;

private:
    TApplication& app_;
};

}  // namespace taskwell
