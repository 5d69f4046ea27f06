// The system's dialog for choosing a file to save to (see TFileDialog for the properties).
#pragma once

#include "ui/TFileDialog.h"

namespace taskwell {

class TSaveDialog : public TFileDialog {
public:
    explicit TSaveDialog(TApplication& app) : TFileDialog(app) {}

    bool Execute();
};

}  // namespace taskwell
