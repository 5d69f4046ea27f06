#include <gtest/gtest.h>

#include "support/RecordingUi.h"
#include "support/SimFixture.h"
#include "ui/Exception.h"
#include "ui/StdCtrls.h"
#include "ui/TImageList.h"
#include "ui/TListView.h"
#include "ui/TMenu.h"
#include "ui/TPageControl.h"
#include "ui/TStatusBar.h"
#include "ui/TTimer.h"

namespace taskwell {
namespace {

using testing::SimFixture;

TEST(ImageList, AddReturnsTheIndexAndDeleteShiftsLaterImages) {
    SimFixture f;
    TImageList list(f.app, 16, 16);
    HICON a = f.machine.LoadIconA("Z_1"), b = f.machine.LoadIconA("Z_2"), c = f.machine.LoadIconA("Z_3");
    EXPECT_EQ(list.AddIcon(a), 0);
    EXPECT_EQ(list.AddIcon(b), 1);
    EXPECT_EQ(list.AddIcon(c), 2);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Icon(0), b);
    EXPECT_EQ(list.Icon(1), c);
    EXPECT_THROW(list.Delete(2), EListError);
    EXPECT_THROW(list.Delete(-1), EListError);
    EXPECT_EQ(list.Count(), 2);
}

TEST(ImageList, RefusesAnUnusableIcon) {
    SimFixture f;
    TImageList list(f.app, 16, 16);
    EXPECT_EQ(list.AddIcon(0), -1);
    EXPECT_EQ(list.AddIcon(1), -1);
    EXPECT_EQ(list.Count(), 0);
}

TEST(Timer, FiresEveryIntervalWhileEnabled) {
    SimFixture f;
    TTimer timer(f.app, 100, true);
    int fired = 0;
    timer.OnTimer = [&] { ++fired; };
    f.ui.Advance(350);
    EXPECT_EQ(fired, 3);
    timer.SetEnabled(false);
    f.ui.Advance(1000);
    EXPECT_EQ(fired, 3);
    timer.SetEnabled(true);  // the count starts again
    f.ui.Advance(99);
    EXPECT_EQ(fired, 3);
    f.ui.Advance(1);
    EXPECT_EQ(fired, 4);
}

TEST(Timer, WithIntervalZeroNeverFiresEvenWhenEnabled) {
    SimFixture f;
    TTimer timer(f.app, 0, true);
    int fired = 0;
    timer.OnTimer = [&] { ++fired; };
    f.ui.Advance(100000);
    timer.Fire();
    EXPECT_EQ(fired, 0);
    timer.SetInterval(50);
    f.ui.Advance(50);
    EXPECT_EQ(fired, 1);
}

TEST(Timer, AnErrorInTheHandlerIsShownAndTheTimerGoesOn) {
    SimFixture f;
    TTimer timer(f.app, 100, true);
    int fired = 0;
    timer.OnTimer = [&] {
        ++fired;
        throw Exception("boom");
    };
    f.ui.Advance(200);
    EXPECT_EQ(fired, 2);
    ASSERT_EQ(f.ui.MessageBoxes.size(), 2u);
    EXPECT_EQ(f.ui.MessageBoxes[0].text, "boom");
}

TEST(MenuItem, RadioItemsOfOneGroupKeepOneChecked) {
    TMainMenu menu;
    TMenuItem& view = menu.Items().Add("&View");
    auto radio = [&](const char* caption, int group) -> TMenuItem& {
        TMenuItem& i = view.Add(caption);
        i.SetRadioItem(true);
        i.SetGroupIndex(group);
        return i;
    };
    TMenuItem& a = radio("A", 1);
    TMenuItem& b = radio("B", 1);
    TMenuItem& x = radio("X", 2);
    TMenuItem& plain = view.Add("Plain");
    a.SetChecked(true);
    x.SetChecked(true);
    plain.SetChecked(true);
    b.SetChecked(true);
    EXPECT_FALSE(a.Checked());
    EXPECT_TRUE(b.Checked());
    EXPECT_TRUE(x.Checked());
    EXPECT_TRUE(plain.Checked());
    EXPECT_EQ(menu.FindPath({"&View", "X"}), &x);
    EXPECT_EQ(menu.FindPath({"&View", "Y"}), nullptr);
}

TEST(MenuItem, DisabledOrHiddenItemsDoNothingWhenClicked) {
    TMainMenu menu;
    TMenuItem& item = menu.Items().Add("&Go");
    int clicks = 0;
    item.OnClick = [&] { ++clicks; };
    item.Click();
    item.SetEnabled(false);
    item.Click();
    item.SetEnabled(true);
    item.SetVisible(false);
    item.Click();
    EXPECT_EQ(clicks, 1);
}

TEST(ListView, DeletingARowRenumbersTheRestAndKeepsTheSelection) {
    TListView view;
    for (int i = 0; i < 4; ++i) view.AddItem().SetCaption("row" + std::to_string(i));
    view.SetSelectedIndex(3);
    view.DeleteItem(1);
    EXPECT_EQ(view.ItemCount(), 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(view.Item(i).Index(), i);
    EXPECT_EQ(view.Item(1).Caption(), "row2");
    EXPECT_EQ(view.SelectedIndex(), 2);
    view.DeleteItem(2);
    EXPECT_EQ(view.Selected(), nullptr);
    EXPECT_THROW(view.Item(5), EListError);
}

TEST(PageControl, UserChoiceFiresOnChangeProgramChoiceDoesNot) {
    SimFixture f;
    TForm form(f.app);
    TPageControl& pages = form.Add<TPageControl>();
    pages.AddPage("One", 0);
    pages.AddPage("Two", 1);
    int changes = 0;
    pages.OnChange = [&] { ++changes; };
    pages.SetActivePageIndex(1);
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(pages.Page(1).Visible());
    EXPECT_FALSE(pages.Page(0).Visible());
    pages.SelectPage(0);
    pages.SelectPage(0);
    pages.SelectPage(9);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(pages.ActivePageIndex(), 0);
}

TEST(Layout, AlignedChildrenShareTheClientArea) {
    SimFixture f;
    TForm form(f.app);
    form.SetBounds(0, 0, 444, 538);
    TStatusBar& bar = form.Add<TStatusBar>();
    TPanel& client = form.Add<TPanel>();
    client.SetAlign(TAlign::alClient);
    client.Padding = TRect{7, 2, 7, 7};
    TPanel& inner = client.Add<TPanel>();
    inner.SetAlign(TAlign::alClient);
    EXPECT_EQ(bar.Top() + bar.Height(), form.ClientHeight());
    EXPECT_EQ(client.Height(), form.ClientHeight() - bar.Height());
    EXPECT_EQ(inner.Left(), 7);
    EXPECT_EQ(inner.Width(), client.Width() - 14);
    EXPECT_EQ(inner.Height(), client.Height() - 9);
    form.SetBounds(0, 0, 600, 700);
    EXPECT_EQ(inner.Width(), form.ClientWidth() - 14);
}

// The status bar's native control paints a part whenever its text changes: a refresh of several
// changed panels suspends its drawing once around them, one of a single changed panel does not,
// and one that changes nothing tells it nothing.
TEST(StatusBarTexts, DrawingIsSuspendedOnlyAroundSeveralChanges) {
    testing::RecordingForm<TStatusBar> f;
    TForm& form = f.form;
    auto& ui = f.ui;
    TStatusBar& bar = form.Add<TStatusBar>();
    for (const char* text : {"a", "b", "c"}) bar.AddPanel(50, text);
    form.Realise();
    ASSERT_NE(ui.recorder, nullptr);
    auto& changes = ui.recorder->changes;
    using Told = std::vector<std::pair<Change, int>>;
    struct Case {
        std::vector<std::string> texts;
        Told told;
    };
    const Case cases[] = {
        {{"a", "b", "c"}, {}},
        {{"a", "B", "c"}, {{Change::Panels, 1}}},
        {{"A", "B", "C"}, {{Change::Panels, 0}, {Change::Panels, 2}}},
        {{"x", "y"}, {{Change::Panels, 0}, {Change::Panels, 1}}},
    };
    for (const Case& c : cases) {
        changes.clear();
        bar.SetPanelTexts(c.texts);
        EXPECT_EQ(changes, c.told) << c.texts[0];
        for (size_t i = 0; i < c.texts.size(); ++i) EXPECT_EQ(bar.PanelText(static_cast<int>(i)), c.texts[i]);
    }
    // More texts than panels: refused before anything changes.
    changes.clear();
    EXPECT_THROW(bar.SetPanelTexts({"1", "2", "3", "4"}), EListError);
    EXPECT_TRUE(changes.empty());
    EXPECT_EQ(bar.PanelText(0), "x");
}

TEST(Gauge, ClampsItsProgress) {
    TGauge g;
    g.SetProgress(101);
    EXPECT_EQ(g.Progress(), 100);
    g.SetProgress(-4);
    EXPECT_EQ(g.Progress(), 0);
}

}  // namespace
}  // namespace taskwell

namespace taskwell {
namespace {

TEST(ModalForm, TheResponderAnswersAndTheFormIsHiddenAfterwards) {
    testing::SimFixture f;
    TForm main(f.app);
    f.app.MainForm = &main;
    TForm dialog(f.app);
    dialog.SetCaption("Select Columns");
    bool sawItShown = false;
    f.ui.ModalResponder = [&](TForm& shown) {
        sawItShown = shown.Visible() && shown.Modal();
        return mrOk;
    };
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    EXPECT_TRUE(sawItShown);
    EXPECT_FALSE(dialog.Visible());
    EXPECT_EQ(f.ui.ModalForms, std::vector<std::string>{"Select Columns"});
}

TEST(ModalForm, ClosingItCancelsWithoutEndingTheProgram) {
    testing::SimFixture f;
    TForm main(f.app);
    f.app.MainForm = &main;
    TForm dialog(f.app);
    int closes = 0;
    dialog.OnClose = [&] { ++closes; };
    f.ui.ModalResponder = [&](TForm& shown) {
        shown.Close();
        return mrNone;
    };
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
    EXPECT_EQ(closes, 1);
    EXPECT_FALSE(f.app.Terminated());
    // A dialog can be shown again.
    f.ui.ModalResponder = nullptr;
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
}

}  // namespace
}  // namespace taskwell

namespace taskwell {
namespace {

TEST(ModalForm, EnterPressesTheDefaultButtonAndEscapeCancels) {
    testing::SimFixture f;
    TForm main(f.app);
    f.app.MainForm = &main;
    TForm dialog(f.app);
    TPanel& panel = dialog.Add<TPanel>();
    TButton& other = panel.Add<TButton>("&Other");
    other.ModalResult = mrCancel;
    TButton& ok = panel.Add<TButton>("&OK");
    ok.Default = true;
    ok.ModalResult = mrOk;
    EXPECT_FALSE(dialog.DialogKey(0x0D));  // not shown modally: nothing happens
    f.ui.ModalResponder = [](TForm& shown) {
        shown.DialogKey(0x0D);
        return mrNone;
    };
    EXPECT_EQ(dialog.ShowModal(), mrOk);
    f.ui.ModalResponder = [](TForm& shown) {
        shown.DialogKey(0x1B);
        return mrNone;
    };
    EXPECT_EQ(dialog.ShowModal(), mrCancel);
}

}  // namespace
}  // namespace taskwell
