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

// Keeps the first refused write of this shutdown until it is shown.
void NoteSaveError(TfrmMain& form, const std::exception& e) {
    if (form.PendingSaveError.empty() && !form.SaveErrorShown) form.PendingSaveError = e.what();
}

void ShowSaveError(TfrmMain& form) {
    if (form.PendingSaveError.empty() || form.SaveErrorShown) return;
    form.SaveErrorShown = true;
    const Exception error(form.PendingSaveError);
    form.PendingSaveError.clear();
    form.App().HandleException(error);
}

// Writes one value; a refusal is noted and the caller goes on with the next value.
void Save(TfrmMain& form, const std::string& name, const TRegValue& value) {
    try {
        form.RegistryEnhanced.WriteValue(name, value);
    } catch (const Exception& e) {
        NoteSaveError(form, e);
    }
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
    const bool onTop = reg.ReadBool(itmAlwaysOnTop->Caption(), itmAlwaysOnTop->Checked());
    itmAlwaysOnTop->SetChecked(onTop);
    itmPopAlwaysOnTop->SetChecked(onTop);
    // A z-order the window manager refuses is shown, and costs none of the settings read after it.
    App().Guarded([&] { ApplyAlwaysOnTop(); });
    itmShowIconInTray->SetChecked(reg.ReadBool(itmShowIconInTray->Caption(), itmShowIconInTray->Checked()));
    itmConfirmations->SetChecked(reg.ReadBool(itmConfirmations->Caption(), itmConfirmations->Checked()));
    const bool hide = reg.ReadBool(itmHideWhenMinimized->Caption(), itmHideWhenMinimized->Checked());
    itmHideWhenMinimized->SetChecked(hide);
    // Hiding the minimised window needs the tray icon to bring it back.
    if (hide) itmShowIconInTray->SetChecked(true);
    itmShowIconInTray->SetEnabled(!hide);
    SetTrayIconShown(itmShowIconInTray->Checked());
    itmShow16bit->SetChecked(reg.ReadBool(itmShow16bit->Caption(), itmShow16bit->Checked()));
    ApplicationsPage.LoadViewStyle(reg);
    itmShowKernelTimes->SetChecked(reg.ReadBool(itmShowKernelTimes->Caption(), itmShowKernelTimes->Checked()));

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
        {itmUpdateSpeedHigh, &TfrmMain::itmUpdateSpeedHighClick},
        {itmUpdateSpeedNormal, &TfrmMain::itmUpdateSpeedNormalClick},
        {itmUpdateSpeedLow, &TfrmMain::itmUpdateSpeedLowClick},
        {itmUpdateSpeedPaused, &TfrmMain::itmUpdateSpeedPausedClick}};
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

void ConfigurePlacement(TRePosApp& placement, const std::string& exeName, const std::string& formName) {
    placement.Left = TfrmMain::kDesignLeft;
    placement.Top = TfrmMain::kDesignTop;
    placement.Width = TfrmMain::kDesignWidth;
    placement.Height = TfrmMain::kDesignHeight;
    placement.SectionName = formName;
    placement.InifileName = std::string(kSettingsRoot) + exeName;
    placement.ForceINIFile = false;
}

}  // namespace

void TfrmMain::LoadAppPosition() {
    ConfigurePlacement(RePosApp, ExecutableName(platform_.System), Name);
    RePosApp.LoadAppPosition();
    // A place stored off the screen (saved while minimised, on a monitor since removed, at another
    // resolution) is brought onto it; the window is saved where it now is.
    const TRect stored{Left(), Top(), Left() + Width(), Top() + Height()};
    const TRect placed = PlacementOnScreen(stored, DesktopWorkAreas(platform_.System));
    if (placed.Left != stored.Left || placed.Top != stored.Top || placed.Right != stored.Right ||
        placed.Bottom != stored.Bottom)
        SetBounds(placed.Left, placed.Top, placed.Width(), placed.Height());
}

// ---------------------------------------------------------------------------------------------
// Saving.

void TfrmMain::SaveAppPosition() {
    // A window that refused to run on Windows NT stores nothing.
    if (refused_) return;
    ConfigurePlacement(RePosApp, ExecutableName(platform_.System), Name);
    try {
        RePosApp.SaveAppPosition();
    } catch (const Exception& e) {
        NoteSaveError(*this, e);
    }
    // At destruction no saving of the settings follows that would show a refusal.
    if (destroyed_) ShowSaveError(*this);
}

void TfrmMain::SaveSettings() {
    if (refused_) return;
    TRegistryEnhanced& reg = RegistryEnhanced;
    reg.RootKey = TRootKey::hkCurrentUser;
    reg.Access = TRegAccess::kAllAccess;
    const TSettingWriter save = [this](const std::string& name, const TRegValue& value) { Save(*this, name, value); };

    // Usage logs.
    PerformancePage.SaveSettings(reg, save);

    // Options, update speed, view style and page.
    reg.Key = kSettingsRoot;
    Save(*this, itmAlwaysOnTop->Caption(), itmAlwaysOnTop->Checked());
    Save(*this, kMinimizeOnUse, true);
    for (TMenuItem* item : {itmShowIconInTray, itmConfirmations, itmHideWhenMinimized, itmShow16bit,
                            itmUpdateSpeedHigh, itmUpdateSpeedNormal, itmUpdateSpeedLow, itmUpdateSpeedPaused})
        Save(*this, item->Caption(), item->Checked());
    ApplicationsPage.SaveViewStyle(save);
    Save(*this, itmShowKernelTimes->Caption(), itmShowKernelTimes->Checked());
    const int page = pcMain->ActivePageIndex();
    Save(*this, "ActivePage", page >= 0 && page < kPageCount ? page : 0);

    // Application list column widths.
    ApplicationsPage.SaveColumnWidths(reg, save);

    ProcessPage.SaveSettings(reg, save);

    ShowSaveError(*this);
}

}  // namespace taskwell
