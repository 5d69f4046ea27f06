#include "app/Program.h"

#include "app/Main.h"
#include "app/MiscUtils.h"
#include "ui/TApplication.h"

namespace taskwell {

void InitialiseApplication(TApplication& app) {
    app.SetTitle("Orvex Taskwell 98");
    app.HelpFile = "Taskwell.hlp";
}

int TaskwellMain(const Platform& platform) {
    if (IsWindowsNT(platform.System)) {
        ShowMessageBox(platform.Ui, "Error", "This application does not run on Windows NT");
        return 0;
    }
    TApplication app(platform.Ui);
    InitialiseApplication(app);
    TfrmMain form(app, platform);
    if (form.Refused()) return 0;
    app.MainForm = &form;
    app.Run();
    return 0;
}

}  // namespace taskwell
