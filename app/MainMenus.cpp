// The main window's option and view menus, help, the About box and the updater.
#include <string>

#include "app/About.h"
#include "app/Main.h"
#include "app/MiscUtils.h"
#include "app/PathUtils.h"
#include "ui/TApplication.h"

namespace taskwell {

namespace {
// The external update program, beside the executable, and the extension of the file it is given.
constexpr const char* kUpdaterName = "TWUpdate.exe";
constexpr const char* kUpdateFileExtension = ".upd";

constexpr int kMainWindowTopic = 10;

void Toggle(TMenuItem* item) {
    item->SetChecked(!item->Checked());
}
}  // namespace

void TfrmMain::itmAlwaysOnTopClick() {
    Toggle(Menus.itmAlwaysOnTop);
    Menus.itmPopAlwaysOnTop->SetChecked(Menus.itmAlwaysOnTop->Checked());
    ApplyAlwaysOnTop();
}

void TfrmMain::ApplyAlwaysOnTop() {
    HWND window = platform_.Ui.WindowHandle(*this);
    if (window == 0) return;
    platform_.Windows.SetWindowPos(window, Menus.itmAlwaysOnTop->Checked() ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
                                   SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void TfrmMain::itmConfirmationsClick() {
    Toggle(Menus.itmConfirmations);
}

void TfrmMain::itmShowIconInTrayClick() {
    Toggle(Menus.itmShowIconInTray);
    SetTrayIconShown(Menus.itmShowIconInTray->Checked());
}

void TfrmMain::itmHideWhenMinimizedClick() {
    Toggle(Menus.itmHideWhenMinimized);
    const bool hide = Menus.itmHideWhenMinimized->Checked();
    Menus.itmShowIconInTray->SetEnabled(!hide);
    // A window hidden when minimised can always come back from the tray.
    if (hide) {
        Menus.itmShowIconInTray->SetChecked(true);
        SetTrayIconShown(true);
    }
}

void TfrmMain::itmShow16bitClick() {
    Toggle(Menus.itmShow16bit);
    ProcessPage.RefreshProcessList();
}

void TfrmMain::itmToolsUpdateClick() {
    const std::string exe = platform_.System.GetModuleFileNameA();
    const std::string updater = ProgramDirectory() + kUpdaterName;
    std::string argument(1, '"');
    argument.append(ChangeFileExt(exe, kUpdateFileExtension)).push_back('"');
    HINSTANCE result = platform_.Processes.ShellExecuteA(platform_.Ui.WindowHandle(*this), "open", updater, argument,
                                                         ProgramDirectory(), SW_SHOWNORMAL);
    // Nothing is awaited, but a program that did not start is said so rather than ignored.
    if (result <= 32)
        App().MessageBox("The update program \"" + updater + "\" could not be started.", App().Title(),
                         MB_OK | MB_ICONEXCLAMATION);
}

void TfrmMain::ShowHelpTopic(int topic) {
    const std::string file = ProgramDirectory() + App().HelpFile;
    if (!platform_.Ui.ShowHelp(file, static_cast<UINT>(topic)))
        App().MessageBox("Help is not available: the help file \"" + file + "\" could not be opened.", App().Title(),
                         MB_OK | MB_ICONASTERISK);
}

void TfrmMain::itmHelpTopicsClick() {
    ShowHelpTopic(kMainWindowTopic);
}

void TfrmMain::itmAboutClick() {
    const std::string exe = platform_.System.GetModuleFileNameA();
    TfrmAbout about(App(), ShortVersionText(platform_.System, exe) + " build " + BuildText(platform_.System, exe));
    PlaceDialog(about, *this);
    about.ShowModal();
}

}  // namespace taskwell
