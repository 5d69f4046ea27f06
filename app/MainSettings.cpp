// The main window's settings: loading at start-up, saving at shutdown, the window placement and the
// process list's columns with their stored widths.
//
// Everything lives under HKEY_CURRENT_USER\Software\Orvex Software\Taskwell. Options are stored under
// the captions of their menu items, so the names below come from the items themselves. Each value is
// read with the current state of its target as the default and applied at once, so missing or
// unusable settings leave the design state.
//
// A write the registry refuses does not stop the shutdown: every other value is still saved, and the
// first refusal is shown once, in a message box, after the settings were saved (at the end of
// SaveSettings, or at once when the placement is saved at destruction and nothing was shown yet). A
// refusal is therefore never silent, and it neither blocks the close nor costs the other values.
#include <exception>

#include "app/Main.h"
#include "app/MiscUtils.h"
#include "app/PathUtils.h"
#include "ui/Exception.h"
#include "ui/TApplication.h"

namespace taskwell {

namespace {

constexpr const char* kSettingsRoot = "Software\\Orvex Software\\Taskwell\\";
constexpr const char* kMinimizeOnUse = "&Minimize On Use";

constexpr LONG kMaxColumnWidth = 32767;
constexpr int kPageCount = 4;

// The executable's file name without directory and extension ("taskwell" for
// "C:\Program Files\Orvex\Taskwell\taskwell.exe").
std::string ExecutableName(ISystem& system) {
    std::string path;
    try {
        path = system.GetModuleFileNameA();
    } catch (...) {
    }
    const std::string name = ChangeFileExt(ExtractFileName(path), "");
    // Without a name the placement still needs a key of its own.
    return name.empty() ? "taskwell" : name;
}

}  // namespace

std::string SettingsKey(const std::string& name) {
    return kSettingsRoot + name;
}

// A negative width would ask the list view to size the column itself.
LONG ReadColumnWidth(const TRegistryEnhanced& registry, const std::string& name, LONG def) {
    LONG width = registry.ReadInteger(name, def);
    return width < 0 || width > kMaxColumnWidth ? def : width;
}

// ---------------------------------------------------------------------------------------------
// Loading.

void TfrmMain::LoadSettings() {
    TRegistryEnhanced& reg = RegistryEnhanced;
    reg.RootKey = TRootKey::hkCurrentUser;
    reg.Access = TRegAccess::kAllAccess;

    // 1. Application list column widths.
    ApplicationsPage.LoadColumnWidths(reg);

    // 2. Usage logs: switches and paths. An empty stored path names no file and keeps the default.
    PerformancePage.LoadSettings(reg);

    // 3. Options of the settings root.
    reg.Key = kSettingsRoot;
    const bool onTop = reg.ReadBool(Menus.itmAlwaysOnTop->Caption(), Menus.itmAlwaysOnTop->Checked());
    Menus.itmAlwaysOnTop->SetChecked(onTop);
    Menus.itmPopAlwaysOnTop->SetChecked(onTop);
    // A z-order the window manager refuses is shown, and costs none of the settings read after it.
    App().Guarded([&] { ApplyAlwaysOnTop(); });
    Menus.itmShowIconInTray->SetChecked(
        reg.ReadBool(Menus.itmShowIconInTray->Caption(), Menus.itmShowIconInTray->Checked()));
    Menus.itmConfirmations->SetChecked(
        reg.ReadBool(Menus.itmConfirmations->Caption(), Menus.itmConfirmations->Checked()));
    const bool hide = reg.ReadBool(Menus.itmHideWhenMinimized->Caption(), Menus.itmHideWhenMinimized->Checked());
    Menus.itmHideWhenMinimized->SetChecked(hide);
    // Hiding the minimised window needs the tray icon to bring it back.
    if (hide) Menus.itmShowIconInTray->SetChecked(true);
    Menus.itmShowIconInTray->SetEnabled(!hide);
    SetTrayIconShown(Menus.itmShowIconInTray->Checked());
    Menus.itmShow16bit->SetChecked(reg.ReadBool(Menus.itmShow16bit->Caption(), Menus.itmShow16bit->Checked()));
    ApplicationsPage.LoadViewStyle(reg);
    Menus.itmShowKernelTimes->SetChecked(
        reg.ReadBool(Menus.itmShowKernelTimes->Caption(), Menus.itmShowKernelTimes->Checked()));

    // 4. Process list columns and sort column.
    ProcessPage.LoadSettings(reg);
}

void TfrmMain::LoadActivePage() {
    RegistryEnhanced.Key = kSettingsRoot;
    const LONG page = RegistryEnhanced.ReadInteger("ActivePage", pcMain->ActivePageIndex());
    pcMain->SetActivePageIndex(page >= 0 && page < kPageCount ? page : 0);
}

void TfrmMain::LoadUpdateSpeed() {
    RegistryEnhanced.Key = kSettingsRoot;
    // Each speed stored on is applied by its handler, in this order, so the last one wins. With
    // nothing stored, Normal reads on through its check mark.
    const std::pair<TMenuItem*, void (TfrmMain::*)()> speeds[] = {
        {Menus.itmUpdateSpeedHigh, &TfrmMain::itmUpdateSpeedHighClick},
        {Menus.itmUpdateSpeedNormal, &TfrmMain::itmUpdateSpeedNormalClick},
        {Menus.itmUpdateSpeedLow, &TfrmMain::itmUpdateSpeedLowClick},
        {Menus.itmUpdateSpeedPaused, &TfrmMain::itmUpdateSpeedPausedClick}};
    bool applied = false;
    for (auto [item, handler] : speeds) {
        if (!RegistryEnhanced.ReadBool(item->Caption(), item->Checked())) continue;
        (this->*handler)();
        applied = true;
    }
    // All four stored off: creation's fast start-up intervals would stay in force under a menu that
    // shows Normal. Normal is applied so the intervals and the menu agree.
    if (!applied) itmUpdateSpeedNormalClick();
}

namespace {

// design: where the window opens when no placement is stored.
void ConfigurePlacement(TRePosApp& placement, const std::string& exeName, const std::string& formName,
                        const TRect& design) {
    placement.Left = design.Left;
    placement.Top = design.Top;
    placement.Width = design.Width();
    placement.Height = design.Height();
    placement.SectionName = formName;
    placement.InifileName = std::string(kSettingsRoot) + exeName;
    placement.ForceINIFile = false;
}

}  // namespace

void TfrmMain::LoadAppPosition() {
    ConfigurePlacement(RePosApp, ExecutableName(platform_.System), Name, DesignBounds());
    RePosApp.LoadAppPosition();
    // A place stored off the screen (saved while minimised, on a monitor since removed, at another
    // resolution) is brought onto it; the window is saved where it now is. Without a stored place
    // the window opens wholly on the primary work area: its design bounds, scaled for Large Fonts,
    // reach below the task bar of a 1024 x 768 screen.
    const TRect stored{Left(), Top(), Left() + Width(), Top() + Height()};
    const std::vector<TRect> areas = DesktopWorkAreas(platform_.System);
    const TRect placed = stored == DesignBounds() && !areas.empty() ? MovedOnto(stored, areas.front())
                                                                     : PlacementOnScreen(stored, areas);
    if (placed != stored) SetBounds(placed.Left, placed.Top, placed.Width(), placed.Height());
}

// ---------------------------------------------------------------------------------------------
// Saving.

void TfrmMain::NoteSaveError(const std::exception& e) {
    if (pendingSaveError_.empty() && !saveErrorShown_) pendingSaveError_ = e.what();
}

void TfrmMain::ShowSaveError() {
    if (pendingSaveError_.empty() || saveErrorShown_) return;
    saveErrorShown_ = true;
    const Exception error(pendingSaveError_);
    pendingSaveError_.clear();
    App().HandleException(error);
}

void TfrmMain::SaveValue(const std::string& name, const TRegValue& value) {
    try {
        RegistryEnhanced.WriteValue(name, value);
    } catch (const Exception& e) {
        NoteSaveError(e);
    }
}

void TfrmMain::SaveAppPosition() {
    // A window that refused to run on Windows NT stores nothing.
    if (refused_) return;
    ConfigurePlacement(RePosApp, ExecutableName(platform_.System), Name, DesignBounds());
    try {
        RePosApp.SaveAppPosition();
    } catch (const Exception& e) {
        NoteSaveError(e);
    }
    // At destruction no saving of the settings follows that would show a refusal.
    if (destroyed_) ShowSaveError();
}

void TfrmMain::SaveSettings() {
    if (refused_) return;
    TRegistryEnhanced& reg = RegistryEnhanced;
    reg.RootKey = TRootKey::hkCurrentUser;
    reg.Access = TRegAccess::kAllAccess;
    const TSettingWriter save = [this](const std::string& name, const TRegValue& value) { SaveValue(name, value); };

    // Usage logs.
    PerformancePage.SaveSettings(reg, save);

    // Options, update speed, view style and page.
    reg.Key = kSettingsRoot;
    SaveValue(Menus.itmAlwaysOnTop->Caption(), Menus.itmAlwaysOnTop->Checked());
    SaveValue(kMinimizeOnUse, true);
    for (TMenuItem* item :
         {Menus.itmShowIconInTray, Menus.itmConfirmations, Menus.itmHideWhenMinimized, Menus.itmShow16bit,
          Menus.itmUpdateSpeedHigh, Menus.itmUpdateSpeedNormal, Menus.itmUpdateSpeedLow, Menus.itmUpdateSpeedPaused})
        SaveValue(item->Caption(), item->Checked());
    ApplicationsPage.SaveViewStyle(save);
    SaveValue(Menus.itmShowKernelTimes->Caption(), Menus.itmShowKernelTimes->Checked());
    const int page = pcMain->ActivePageIndex();
    SaveValue("ActivePage", page >= 0 && page < kPageCount ? page : 0);

    // Application list column widths.
    ApplicationsPage.SaveColumnWidths(reg, save);

    ProcessPage.SaveSettings(reg, save);

    ShowSaveError();
}

}  // namespace taskwell
