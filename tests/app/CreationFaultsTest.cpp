// Faults around creation and destruction of the main window: a close that arrives while creation
// still runs, an error inside a step of creation, a tray icon the shell refused, and a refused
// placement at destruction.
#include <gtest/gtest.h>

#include <algorithm>

#include "app/Main.h"
#include "app/Program.h"
#include "support/SimFixture.h"

namespace taskwell {
namespace {

using sim::Op;
using testing::SimFixture;

// The program's window in the simulated window table.
HWND ProgramWindow(sim::SimWindows& windows) {
    for (HWND h : windows.ZOrder())
        if (const sim::SimWindow* w = windows.Find(h); w && w->className == "TaskwellForm") return h;
    return 0;
}

int WritesOf(const sim::SimRegistry& registry, const std::string& name) {
    int n = 0;
    for (const std::string& w : registry.Writes())
        if (w.size() >= name.size() && w.compare(w.size() - name.size(), name.size(), name) == 0) ++n;
    return n;
}

TEST(CreationFaults, ACloseDuringCreationEndsTheProgramAfterCreationWithSettingsSavedOnce) {
    for (std::uint64_t at : {100u, 500u}) {  // during the first and the second wait
        SimFixture f;
        f.StartDesktop();
        f.ui.At(at, [&] { f.windows.PostMessageA(ProgramWindow(f.windows), WM_CLOSE, 0, 0); });
        auto form = f.CreateMainForm();
        EXPECT_TRUE(f.app.Terminated()) << at;
        EXPECT_TRUE(form->Closed()) << at;
        EXPECT_FALSE(form->Visible()) << at;
        EXPECT_FALSE(form->tmrRefresh.Enabled()) << at;
        EXPECT_EQ(WritesOf(f.registry, "\\ActivePage"), 1) << at;
        // Creation ran to its end before the close: the placement was loaded, the hook installed.
        EXPECT_TRUE(static_cast<bool>(f.app.OnMinimize)) << at;
    }
}

TEST(CreationFaults, TheProgramEntryEndsWhenClosedDuringCreation) {
    SimFixture f;
    f.StartDesktop();
    f.ui.At(100, [&] { f.windows.PostMessageA(ProgramWindow(f.windows), WM_CLOSE, 0, 0); });
    EXPECT_EQ(TaskwellMain(f.platform), 0);  // returns: the loop does not wait for a second close
    EXPECT_TRUE(f.ui.Terminated());
}

TEST(CreationFaults, AnErrorInAStepIsShownAndCreationGoesOn) {
    // (A failing first reading of the system facts, made when the window's parts are built, is no
    // step of creation: it leaves the facts empty until the next tick reads them.)
    for (Op op : {Op::CreateToolhelp32Snapshot, Op::GetLocaleInfoA, Op::GetComputerNameA}) {
        SimFixture f;
        f.StartDesktop();
        f.machine.Raise(op);
        std::unique_ptr<TfrmMain> form;
        EXPECT_NO_THROW(form = f.CreateMainForm()) << sim::OpName(op);
        ASSERT_TRUE(form) << sim::OpName(op);
        const bool shown = std::any_of(f.ui.MessageBoxes.begin(), f.ui.MessageBoxes.end(), [&](const auto& b) {
            return b.text == std::string(sim::OpName(op)) + " failed";
        });
        EXPECT_TRUE(shown) << sim::OpName(op);
        // The later steps ran: the refresh cycle runs at Normal, the hook is installed.
        EXPECT_TRUE(form->tmrRefresh.Enabled()) << sim::OpName(op);
        EXPECT_EQ(form->UpdateSpeed, TUpdateSpeed::Normal) << sim::OpName(op);
        EXPECT_TRUE(static_cast<bool>(f.app.OnMinimize)) << sim::OpName(op);
        EXPECT_FALSE(f.app.Terminated()) << sim::OpName(op);
    }
}

TEST(CreationFaults, AFailingFirstReadingOfTheSystemFactsIsNoFailureOfTheWindow) {
    SimFixture f;
    f.machine.Raise(Op::GetSystemInfo);
    std::unique_ptr<TfrmMain> form;
    EXPECT_NO_THROW(form = f.CreateMainForm());
    ASSERT_TRUE(form);
    f.machine.Raise(Op::GetSystemInfo, false);
    f.ui.Advance(1750);
    EXPECT_EQ(form->SystemInfo.siPageSize(), 4096);
}

TEST(CreationFaults, WithoutATrayIconAMinimisedWindowKeepsItsTaskBarButton) {
    for (bool refused : {false, true}) {
        SimFixture f;
        f.StartDesktop();
        if (refused) f.machine.Fail(Op::Shell_NotifyIconA);
        auto form = f.CreateMainForm();
        form->Show();
        ASSERT_TRUE(form->Menus.itmHideWhenMinimized->Checked());
        EXPECT_EQ(form->TrayIcon.Present(), !refused);
        const HWND window = f.ui.WindowHandle(*form);
        f.windows.Apply(window, SW_MINIMIZE);
        EXPECT_EQ(f.windows.Find(window)->visible, refused) << (refused ? "refused" : "accepted");
    }
}

TEST(CreationFaults, ARefusedPlacementAtDestructionIsShownBeforeTheTeardown) {
    SimFixture f;
    f.StartDesktop();
    auto form = f.CreateMainForm();
    form->Show();
    f.registry.RefuseValue("Left");
    bool trayGone = false, recordsThere = false, ticking = true;
    TfrmMain* going = form.get();
    f.ui.Responder = [&](const sim::MessageBoxCall&) {
        trayGone = f.machine.TrayIcons.empty();
        recordsThere = going->ProcessList.Count() == 4;
        ticking = going->tmrRefresh.Enabled();
        return IDOK;
    };
    form.reset();  // destroyed without a close (the session ends)
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_NE(f.ui.MessageBoxes[0].text.find("Left"), std::string::npos);
    EXPECT_TRUE(trayGone);
    EXPECT_TRUE(recordsThere);
    EXPECT_FALSE(ticking);
}

}  // namespace
}  // namespace taskwell
