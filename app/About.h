// The About box: the program's name, version and maker, with an OK button. Shown modally, centred
// over the main window, for one showing.
#pragma once

#include <string>

#include "ui/StdCtrls.h"
#include "ui/TForm.h"

namespace taskwell {

class TfrmAbout : public TForm {
public:
    // versionLabel is the short version text and build, for example "1.01 build 25".
    TfrmAbout(TApplication& app, const std::string& versionLabel);

    TLabel* lblProduct;
    TLabel* lblVersion;
    TLabel* lblMaker;
    TLabel* lblPurpose;
    TButton* btnOK;
};

}  // namespace taskwell
