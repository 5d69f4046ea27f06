#include <gtest/gtest.h>

#include "app/About.h"
#include "app/Main.h"
#include "app/MiscUtils.h"
#include "support/SimFixture.h"

namespace taskwell {
namespace {

using sim::Op;
using testing::SimFixture;

struct MenuFixture : testing::MainWindowFixture {
    MenuFixture() {
        machine.FileVersions[machine.ModulePath] = "1.1.2.25";
        Create();
    }
    std::vector<std::string> VisibleCaptions(const TMenuItem& parent) const {
        std::vector<std::string> out;
        for (int i = 0; i < parent.Count(); ++i)
            if (parent[i].Visible() && !parent[i].IsLine()) out.push_back(parent[i].Caption());
        return out;
    }
};

TEST(Menus, OnThePerformancePageTheViewMenuHoldsOnlyTheRefreshControls) {
    MenuFixture f;
    TfrmMain& m = *f.form;
    m.pcMain->SelectPage(2);
    EXPECT_EQ(f.VisibleCaptions(m.Menus.MainMenu.Items()),
              (std::vector<std::string>{"&File", "&Options", "&View", "&Events", "&Tools", "&Help"}));
    EXPECT_EQ(f.VisibleCaptions(*m.Menus.itmView), (std::vector<std::string>{"&Refresh Now", "&Update Speed"}));
    m.pcMain->SelectPage(3);
    EXPECT_EQ(f.VisibleCaptions(m.Menus.MainMenu.Items()),
              (std::vector<std::string>{"&File", "&Options", "&View", "&Tools", "&Help"}));
}

TEST(Menus, ViewStylesAreRadioChoicesOfTheApplicationsList) {
    MenuFixture f;
    TfrmMain& m = *f.form;
    struct Case {
        TMenuItem* item;
        TViewStyle style;
    };
    for (Case c : {Case{m.ApplicationsPage.itmDetails, TViewStyle::vsReport},
                   Case{m.ApplicationsPage.itmList, TViewStyle::vsList},
                   Case{m.ApplicationsPage.itmSmallIcons, TViewStyle::vsSmallIcon},
                   Case{m.ApplicationsPage.itmLargeIcons, TViewStyle::vsIcon}}) {
        c.item->Click();
        EXPECT_EQ(m.ApplicationsPage.sagApplications->ViewStyle(), c.style) << c.item->Caption();
        for (TMenuItem* other : {m.ApplicationsPage.itmLargeIcons, m.ApplicationsPage.itmSmallIcons,
                                 m.ApplicationsPage.itmList, m.ApplicationsPage.itmDetails})
            EXPECT_EQ(other->Checked(), other == c.item) << other->Caption();
    }
}

TEST(Menus, PlainOptionsToggle) {
    MenuFixture f;
    TfrmMain& m = *f.form;
    m.Menus.itmConfirmations->Click();
    EXPECT_FALSE(m.Menus.itmConfirmations->Checked());
    m.Menus.itmConfirmations->Click();
    EXPECT_TRUE(m.Menus.itmConfirmations->Checked());
    m.pcMain->SelectPage(1);
    m.Menus.itmShow16bit->Click();
    EXPECT_FALSE(m.Menus.itmShow16bit->Checked());
}

TEST(Menus, HideWhenMinimizedForcesTheTrayOptionOnAndGreysIt) {
    MenuFixture f;
    TfrmMain& m = *f.form;
    // Start from Hide When Minimized off and Show icon in tray off.
    m.Menus.itmHideWhenMinimized->Click();
    EXPECT_FALSE(m.Menus.itmHideWhenMinimized->Checked());
    EXPECT_TRUE(m.Menus.itmShowIconInTray->Enabled());
    m.Menus.itmShowIconInTray->Click();
    EXPECT_FALSE(m.Menus.itmShowIconInTray->Checked());

    m.Menus.itmHideWhenMinimized->Click();
    EXPECT_TRUE(m.Menus.itmShowIconInTray->Checked());
    EXPECT_FALSE(m.Menus.itmShowIconInTray->Enabled());
    // A greyed item cannot be clicked off.
    m.Menus.itmShowIconInTray->Click();
    EXPECT_TRUE(m.Menus.itmShowIconInTray->Checked());

    m.Menus.itmHideWhenMinimized->Click();
    EXPECT_TRUE(m.Menus.itmShowIconInTray->Checked());
    EXPECT_TRUE(m.Menus.itmShowIconInTray->Enabled());
}

TEST(Menus, AlwaysOnTopFromEitherMenuKeepsBothMarksEqual) {
    MenuFixture f;
    TfrmMain& m = *f.form;
    m.Menus.itmAlwaysOnTop->Click();
    EXPECT_TRUE(m.Menus.itmAlwaysOnTop->Checked());
    EXPECT_TRUE(m.Menus.itmPopAlwaysOnTop->Checked());
    m.Menus.itmPopAlwaysOnTop->Click();
    EXPECT_FALSE(m.Menus.itmAlwaysOnTop->Checked());
    EXPECT_FALSE(m.Menus.itmPopAlwaysOnTop->Checked());
    m.Menus.itmPopAlwaysOnTop->Click();
    EXPECT_TRUE(m.Menus.itmAlwaysOnTop->Checked());
    EXPECT_TRUE(m.Menus.itmPopAlwaysOnTop->Checked());
}

TEST(Menus, AlwaysOnTopMovesTheWindowBetweenTheBandsWithoutMovingOrActivatingIt) {
    MenuFixture f;
    TfrmMain& m = *f.form;
    const HWND window = f.ui.WindowHandle(m);
    ASSERT_NE(window, 0u);
    f.windows.ClearLog();
    m.Menus.itmAlwaysOnTop->Click();
    ASSERT_TRUE(f.windows.Find(window));
    EXPECT_TRUE(f.windows.Find(window)->topmost);
    m.Menus.itmPopAlwaysOnTop->Click();
    EXPECT_FALSE(f.windows.Find(window)->topmost);
    std::vector<sim::WindowEvent> calls;
    for (const auto& e : f.windows.LogOf(window))
        if (e.kind == sim::WindowEvent::Kind::SetWindowPos) calls.push_back(e);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].insertAfter, HWND_TOPMOST);
    EXPECT_EQ(calls[1].insertAfter, HWND_NOTOPMOST);
    for (const auto& c : calls) EXPECT_EQ(c.flags, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

TEST(AboutBox, ShowsTheVersionOfTheRunningProgramCentredOverTheWindow) {
    MenuFixture f;
    TfrmMain& m = *f.form;
    m.SetBounds(300, 200, 444, 538);
    std::string caption;
    TRect bounds;
    int topic = 0;
    f.ui.ModalResponder = [&](TForm& about) {
        caption = about.Caption();
        bounds = TRect{about.Left(), about.Top(), about.Left() + about.Width(), about.Top() + about.Height()};
        topic = about.HelpContext;
        dynamic_cast<TfrmAbout&>(about).btnOK->Click();
        return mrNone;
    };
    m.Menus.itmAbout->Click();
    EXPECT_EQ(caption, " About Orvex Taskwell 98 v1.01b build 25");
    EXPECT_EQ(bounds.Left, 300 + 444 / 2 - bounds.Width() / 2);
    EXPECT_EQ(bounds.Top, 200 + 538 / 2 - bounds.Height() / 2);
    EXPECT_EQ(topic, 90);
    EXPECT_EQ(f.ui.ModalForms.size(), 1u);
}

TEST(AboutBox, KeepsTwoPixelsFromTheScreensTopLeftCorner) {
    SimFixture f;
    TForm owner(f.app);
    struct Case {
        int left, top, width, height;
        int wantLeft, wantTop;
    };
    for (Case c : {Case{0, 0, 100, 80, 2, 2}, Case{-300, -300, 444, 538, 2, 2}, Case{-50, -40, 444, 538, 7, 134},
                   Case{1, 500, 331, 190, 2, 500}, Case{400, 0, 444, 538, 400 + 222 - 165, 269 - 95},
                   Case{10, 10, 331, 191, 10, 10}}) {
        owner.SetBounds(c.left, c.top, c.width, c.height);
        TRect r = DialogPlacement(owner, 330, 190);
        EXPECT_EQ(r.Left, c.wantLeft) << c.left << "," << c.top;
        EXPECT_EQ(r.Top, c.wantTop) << c.left << "," << c.top;
        EXPECT_EQ(r.Width(), 330);
    }
}

TEST(AboutBox, WithoutAVersionResourceShowsEmptyVersionTexts) {
    MenuFixture f;
    f.machine.FileVersions.clear();
    std::string caption;
    f.ui.ModalResponder = [&](TForm& about) {
        caption = about.Caption();
        return mrOk;
    };
    f.form->Menus.itmAbout->Click();
    EXPECT_EQ(caption, " About Orvex Taskwell 98 v build ");
}

TEST(Help, TopicsOpenTheHelpFileBesideTheProgramOrSaySoWhenItCannot) {
    MenuFixture f;
    TfrmMain& m = *f.form;
    f.ui.HelpAvailable = true;
    m.Menus.itmHelpTopics->Click();
    ASSERT_EQ(f.ui.HelpCalls.size(), 1u);
    EXPECT_EQ(f.ui.HelpCalls[0].file, "C:\\Program Files\\Orvex\\Taskwell\\Taskwell.hlp");
    EXPECT_EQ(f.ui.HelpCalls[0].topic, 10u);
    EXPECT_TRUE(f.ui.MessageBoxes.empty());

    f.ui.HelpAvailable = false;
    f.app.HelpContext(30);  // F1 on the Processes page
    ASSERT_EQ(f.ui.HelpCalls.size(), 2u);
    EXPECT_EQ(f.ui.HelpCalls[1].topic, 30u);
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_NE(f.ui.MessageBoxes[0].text.find("Taskwell.hlp"), std::string::npos);
}

TEST(Help, ElementsCarryTheirTopics) {
    MenuFixture f;
    TfrmMain& m = *f.form;
    EXPECT_EQ(m.HelpContext, 10);
    EXPECT_EQ(m.tsApplications->HelpContext, 20);
    EXPECT_EQ(m.tsProcesses->HelpContext, 30);
    EXPECT_EQ(m.tsPerformance->HelpContext, 40);
    EXPECT_EQ(m.tsSystemInfo->HelpContext, 50);
    EXPECT_EQ(m.Menus.itmUpdateSpeedHigh->HelpContext, 60);
    EXPECT_EQ(m.Menus.itmHelp->HelpContext, 60);
    EXPECT_EQ(m.Menus.itmPopRestore->HelpContext, 130);
}

TEST(Updater, StartsTheUpdateProgramWithTheQuotedUpdateFile) {
    MenuFixture f;
    f.form->Menus.itmToolsUpdate->Click();
    ASSERT_EQ(f.machine.StartedPrograms.size(), 1u);
    const auto& s = f.machine.StartedPrograms[0];
    EXPECT_EQ(s.file, "C:\\Program Files\\Orvex\\Taskwell\\TWUpdate.exe");
    EXPECT_EQ(s.parameters, "\"C:\\Program Files\\Orvex\\Taskwell\\taskwell.upd\"");
    EXPECT_EQ(s.showCmd, 1);  // shown normally
    EXPECT_TRUE(f.ui.MessageBoxes.empty());

    f.machine.Fail(Op::ShellExecuteA);
    f.form->Menus.itmToolsUpdate->Click();
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_NE(f.ui.MessageBoxes[0].text.find("TWUpdate.exe"), std::string::npos);
}

TEST(Updater, AnExecutableWithoutExtensionGetsTheUpdateExtensionAppended) {
    MenuFixture f;
    f.machine.ModulePath = "C:\\ORVEX.DIR\\TASKWELL";
    f.form->Menus.itmToolsUpdate->Click();
    ASSERT_EQ(f.machine.StartedPrograms.size(), 1u);
    EXPECT_EQ(f.machine.StartedPrograms[0].parameters, "\"C:\\ORVEX.DIR\\TASKWELL.upd\"");
}

}  // namespace
}  // namespace taskwell
