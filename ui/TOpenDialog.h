// The system's dialog for choosing an existing file to open (see TFileDialog for the properties;
// ofFileMustExist makes it accept only a file that exists).
#pragma once

#include "ui/TFileDialog.h"

namespace taskwell {

class TOpenDialog : public TFileDialog {
public:
    explicit TOpenDialog(TApplication& app) : TFileDialog(app) {}

    bool Execute();
};

}  // namespace taskwell
