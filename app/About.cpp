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
    SetDesignBounds(0, 0, kWidth, kHeight);

    auto label = [&](const std::string& text, int top) {
        TLabel& l = Add<TLabel>(text);
        l.Alignment = TAlignment::taCenter;
        l.SetBounds(Scaled(10), Scaled(top), ClientWidth() - Scaled(20), Scaled(16));
        return &l;
    };
    lblProduct = label(app.Title(), 14);
    lblVersion = label("Version " + versionLabel, 36);
    lblPurpose = label("Process and task monitor for Windows 95 and 98", 64);
    lblMaker = label("Copyright \xA9 1999 Orvex Software", 86);

    btnOK = &Add<TButton>("&OK");
    btnOK->Default = true;
    btnOK->ModalResult = mrOk;
    const int width = Scaled(75), height = Scaled(25);
    btnOK->SetBounds((ClientWidth() - width) / 2, ClientHeight() - height - Scaled(12), width, height);
}

}  // namespace taskwell
