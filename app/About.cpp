#include "app/About.h"

#include "ui/TApplication.h"

namespace taskwell {

namespace {
constexpr int kWidth = 330;
constexpr int kHeight = 190;
constexpr int kAboutTopic = 90;
}  // namespace

TfrmAbout::TfrmAbout(TApplication& app, const std::string& versionLabel) : TForm(app) {
    Name = "frmAbout";
    BorderStyle = TBorderStyle::bsDialog;
    HelpContext = kAboutTopic;
    SetCaption(" About " + app.Title() + " v" + versionLabel);
    SetBounds(0, 0, kWidth, kHeight);

    auto label = [&](const std::string& text, int top) {
        TLabel& l = Add<TLabel>(text);
        l.Alignment = TAlignment::taCenter;
        l.SetBounds(10, top, ClientWidth() - 20, 16);
        return &l;
    };
    lblProduct = label(app.Title(), 14);
    lblVersion = label("Version " + versionLabel, 36);
    lblPurpose = label("Process and task monitor for Windows 95 and 98", 64);
    lblMaker = label("Copyright \xA9 1999 Orvex Software", 86);

    btnOK = &Add<TButton>("&OK");
    btnOK->Default = true;
    btnOK->ModalResult = mrOk;
    btnOK->SetBounds((ClientWidth() - 75) / 2, ClientHeight() - 25 - 12, 75, 25);
}

}  // namespace taskwell
