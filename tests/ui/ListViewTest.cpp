#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "support/RecordingUi.h"
#include "support/SimFixture.h"
#include "ui/Exception.h"
#include "ui/StdCtrls.h"
#include "ui/TForm.h"
#include "ui/TListView.h"
#include "ui/TMenu.h"

namespace taskwell {
namespace {

using testing::SimFixture;

// A form with one list view whose rows have the given captions, in order.
struct ListFixture : SimFixture {
    TForm form{app};
    TListView& list = form.Add<TListView>();
    int selections = 0;
    explicit ListFixture(std::initializer_list<const char*> captions) {
        for (const char* c : captions) list.AddItem().SetCaption(c);
        list.OnSelectItem = [this] { ++selections; };
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> out;
        for (int i = 0; i < list.ItemCount(); ++i) out.push_back(list.Item(i).Caption());
        return out;
    }
};

// Orders rows by the first letter of their caption only, so "b1" and "b2" are equal.
bool ByFirstLetter(const TListItem& a, const TListItem& b) {
    return a.Caption()[0] < b.Caption()[0];
}

TEST(ListViewSort, IsStableAndTheSelectionFollowsItsItem) {
    ListFixture f{"b1", "a1", "c1", "b2", "a2"};
    f.list.SetSelectedIndex(3);  // "b2"
    f.selections = 0;
    f.list.Sort(ByFirstLetter);
    EXPECT_EQ(f.Captions(), (std::vector<std::string>{"a1", "a2", "b1", "b2", "c1"}));
    for (int i = 0; i < f.list.ItemCount(); ++i) EXPECT_EQ(f.list.Item(i).Index(), i);
    ASSERT_NE(f.list.Selected(), nullptr);
    EXPECT_EQ(f.list.Selected()->Caption(), "b2");
    EXPECT_EQ(f.list.SelectedIndex(), 3);
    // The same item stays selected: that is no change of selection.
    EXPECT_EQ(f.selections, 0);
    EXPECT_TRUE(f.list.IsSorted(ByFirstLetter));
    // Sorting again keeps equal items where they are.
    f.list.Sort(ByFirstLetter);
    EXPECT_EQ(f.Captions(), (std::vector<std::string>{"a1", "a2", "b1", "b2", "c1"}));
}

TEST(ListViewInsert, MovesOnlyTheRowsBelowAndTheSelectionFollowsItsItem) {
    testing::RecordingForm<TListView> f;
    TListView& list = f.form.Add<TListView>();
    for (const char* c : {"a", "c"}) list.AddItem().SetCaption(c);
    list.SetSelectedIndex(1);  // "c"
    f.form.Realise();
    ASSERT_NE(f.ui.recorder, nullptr);
    f.ui.recorder->changes.clear();
    list.InsertItem(1).SetCaption("b");
    list.InsertItem(0).SetCaption("0");
    list.InsertItem(4).SetCaption("d");
    std::vector<std::string> captions;
    for (int i = 0; i < list.ItemCount(); ++i) {
        captions.push_back(list.Item(i).Caption());
        EXPECT_EQ(list.Item(i).Index(), i);
    }
    EXPECT_EQ(captions, (std::vector<std::string>{"0", "a", "b", "c", "d"}));
    EXPECT_EQ(list.Selected()->Caption(), "c");
    EXPECT_EQ(list.FindCaption(0, "b"), &list.Item(2));
    // The peer hears of each new row where it goes, not of the whole list.
    const auto& changes = f.ui.recorder->changes;
    EXPECT_EQ(std::count(changes.begin(), changes.end(), std::pair{Change::ItemInserted, 1}), 1);
    EXPECT_EQ(std::count(changes.begin(), changes.end(), std::pair{Change::ItemInserted, 0}), 1);
    EXPECT_EQ(std::count(changes.begin(), changes.end(), std::pair{Change::Items, -1}), 0);
    EXPECT_THROW(list.InsertItem(9), EListError);
}

TEST(ListViewFind, FindsWholeCaptionsFromAPosition) {
    ListFixture f{"0000ABCD", "00001234", "0000ABCD", "ABC"};
    EXPECT_EQ(f.list.FindCaption(0, "0000ABCD"), &f.list.Item(0));
    EXPECT_EQ(f.list.FindCaption(1, "0000ABCD"), &f.list.Item(2));
    EXPECT_EQ(f.list.FindCaption(3, "0000ABCD"), nullptr);
    EXPECT_EQ(f.list.FindCaption(0, "0000ABC"), nullptr);  // no partial matches
    EXPECT_EQ(f.list.FindCaption(0, "abc"), nullptr);      // nor other cases
    // A renamed item is found under its new caption only; a deleted one not at all.
    f.list.Item(1).SetCaption("0000FFFF");
    EXPECT_EQ(f.list.FindCaption(0, "00001234"), nullptr);
    EXPECT_EQ(f.list.FindCaption(0, "0000FFFF"), &f.list.Item(1));
    f.list.DeleteItem(0);
    EXPECT_EQ(f.list.FindCaption(0, "0000ABCD"), &f.list.Item(1));
    // After a sort the first one in the new order is found.
    f.list.Item(2).SetCaption("0000ABCD");
    f.list.Sort([](const TListItem& a, const TListItem& b) { return a.Index() > b.Index(); });
    EXPECT_EQ(f.list.FindCaption(0, "0000ABCD")->Index(), 0);
    f.list.ClearItems();
    EXPECT_EQ(f.list.FindCaption(0, "0000ABCD"), nullptr);
}

TEST(ListViewSelection, EveryChangeOfTheSelectedItemIsAnnounced) {
    ListFixture f{"a", "b", "c", "d"};
    f.list.SetSelectedIndex(2);  // by the program
    EXPECT_EQ(f.selections, 1);
    f.list.SetSelectedIndex(2);  // no change
    EXPECT_EQ(f.selections, 1);
    f.list.DeleteItem(0);  // another row goes: "c" stays selected, one place up
    EXPECT_EQ(f.selections, 1);
    EXPECT_EQ(f.list.SelectedIndex(), 1);
    f.list.DeleteItem(1);  // the selected row goes
    EXPECT_EQ(f.selections, 2);
    EXPECT_EQ(f.list.Selected(), nullptr);
    f.list.PeerSelected(0);  // by the user
    EXPECT_EQ(f.selections, 3);
    f.list.ClearItems();
    EXPECT_EQ(f.selections, 4);
    f.list.ClearItems();
    EXPECT_EQ(f.selections, 4);
}

TEST(ListViewEvents, ClicksReachTheirHandlersAndErrorsAreShown) {
    ListFixture f{"a"};
    f.list.AddColumn("PID", 50);
    f.list.AddColumn("Threads", 50);
    std::vector<int> columns;
    int clicks = 0, doubles = 0;
    f.list.OnColumnClick = [&](int c) { columns.push_back(c); };
    f.list.OnClick = [&] { ++clicks; };
    f.list.OnDblClick = [&] {
        ++doubles;
        throw std::runtime_error("double-click failed");
    };
    f.list.PeerColumnClick(1);
    f.list.PeerColumnClick(2);  // no such column
    f.list.PeerColumnClick(-1);
    f.list.PeerClick();
    f.list.PeerDblClick();
    EXPECT_EQ(columns, std::vector<int>{1});
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(doubles, 1);
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(f.ui.MessageBoxes[0].text, "double-click failed");
}

TEST(ListViewTopIndex, StaysWhereTheUserScrolledWithinTheRows) {
    ListFixture f{"a", "b", "c", "d", "e"};
    f.list.PeerTopIndex(3);
    f.list.Sort([](const TListItem& a, const TListItem& b) { return a.Caption() > b.Caption(); });
    EXPECT_EQ(f.list.TopIndex(), 3);
    f.list.DeleteItem(0);
    f.list.DeleteItem(0);
    EXPECT_EQ(f.list.TopIndex(), 2);  // the last row
    f.list.ClearItems();
    EXPECT_EQ(f.list.TopIndex(), 0);
}

TEST(ListViewTopIndex, MakeVisibleScrollsAsLittleAsNeeded) {
    ListFixture f{};
    for (int i = 0; i < 40; ++i) f.list.AddItem().SetCaption(std::to_string(i));
    f.list.SetViewStyle(TViewStyle::vsReport);
    f.list.SetBounds(0, 0, 200, 4 + 17 + 10 * 17);  // ten whole rows below the header
    ASSERT_EQ(f.list.PageRows(), 10);
    f.list.PeerTopIndex(5);
    struct Case {
        int row, top;
    };
    for (Case c : {Case{9, 5}, Case{14, 5}, Case{15, 6}, Case{39, 30}, Case{30, 30}, Case{2, 2}, Case{40, 2}, Case{-1, 2}})
    {
        f.list.MakeVisible(c.row);
        EXPECT_EQ(f.list.TopIndex(), c.top) << c.row;
    }
}

TEST(PopupMenu, PreparesItsItemsBeforeItShows) {
    ListFixture f{"a"};
    f.form.Show();
    TPopupMenu menu;
    TMenuItem& item = menu.Items().Add("&End process");
    bool enabledWhenShown = false;
    menu.OnPopup = [&] { item.SetEnabled(f.list.Selected() != nullptr); };
    f.ui.PopupResponder = [&](TPopupMenu&) { enabledWhenShown = item.Enabled(); };
    f.list.PeerContextPopup(10, 20);  // no popup menu yet: nothing
    EXPECT_TRUE(f.ui.Popups.empty());
    f.list.PopupMenu = &menu;
    f.list.PeerContextPopup(10, 20);
    ASSERT_EQ(f.ui.Popups.size(), 1u);
    EXPECT_EQ(f.ui.Popups[0].x, 10);
    EXPECT_EQ(f.ui.Popups[0].y, 20);
    EXPECT_FALSE(enabledWhenShown);
    f.list.SetSelectedIndex(0);
    f.list.PeerContextPopup(10, 20);
    EXPECT_TRUE(enabledWhenShown);
}

TEST(CheckBox, AClickTogglesThenRunsItsHandler) {
    SimFixture f;
    TForm form(f.app);
    TCheckBox& box = form.Add<TCheckBox>("Name");
    std::vector<bool> seen;
    box.OnClick = [&] { seen.push_back(box.Checked()); };
    box.Click();
    box.Click();
    box.PeerChecked(true);
    box.PeerChecked(true);  // no change, no event
    box.SetEnabled(false);
    box.Click();
    box.SetEnabled(true);
    form.SetEnabled(false);  // a box of a disabled form takes no click either
    box.Click();
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true}));
    EXPECT_TRUE(box.Checked());
}

TEST(FormFrame, TheClientSizeAskedForIsTheClientSizeHad) {
    SimFixture f;
    for (TBorderStyle style : {TBorderStyle::bsSizeable, TBorderStyle::bsDialog, TBorderStyle::bsToolWindow}) {
        TForm form(f.app);
        form.BorderStyle = style;
        form.SetClientSize(303, 224);
        EXPECT_EQ(form.ClientWidth(), 303) << static_cast<int>(style);
        EXPECT_EQ(form.ClientHeight(), 224) << static_cast<int>(style);
    }
    // A tool window's caption is smaller than a dialog's.
    EXPECT_LT(TForm::ClassicFrame(TBorderStyle::bsToolWindow, false).Top,
              TForm::ClassicFrame(TBorderStyle::bsDialog, false).Top);
}

TEST(HourGlass, ComesBackToTheCursorBeforeItAlsoOnAnError) {
    SimFixture f;
    try {
        THourGlass outer(f.app);
        {
            THourGlass inner(f.app);  // nested: leaves the hourglass to the outer one
        }
        EXPECT_EQ(f.app.Cursor(), TCursor::crHourGlass);
        throw std::runtime_error("step failed");
    } catch (const std::runtime_error&) {
    }
    EXPECT_EQ(f.app.Cursor(), TCursor::crDefault);
    EXPECT_EQ(f.ui.CursorChanges, (std::vector<TCursor>{TCursor::crHourGlass, TCursor::crDefault}));
}

}  // namespace
}  // namespace taskwell

namespace taskwell {
namespace {

// A refresh that finds every row as it was costs the control nothing; one that changes rows
// suspends drawing once around all of them, however deeply the batches nest.
TEST(ListViewUpdate, DrawingIsSuspendedOnlyForABatchThatChangesSomething) {
    testing::RecordingForm<TListView> f;
    TForm& form = f.form;
    auto& ui = f.ui;
    TListView& list = form.Add<TListView>();
    for (const char* c : {"a", "b"}) list.AddItem().SetCaption(c);
    form.Realise();
    ASSERT_NE(ui.recorder, nullptr);
    auto& changes = ui.recorder->changes;
    auto redraws = [&] {
        std::vector<int> out;
        for (auto& [what, index] : changes)
            if (what == Change::Redraw) out.push_back(index);
        return out;
    };

    changes.clear();
    list.BeginUpdate();
    list.Item(0).SetCaption("a");  // the same text
    list.Sort([](const TListItem& x, const TListItem& y) { return x.Caption() < y.Caption(); });  // already sorted
    list.EndUpdate();
    EXPECT_TRUE(changes.empty());

    list.BeginUpdate();
    list.BeginUpdate();
    list.Item(0).SetCaption("c");
    list.Item(1).SetCaption("d");
    list.EndUpdate();
    EXPECT_EQ(redraws(), std::vector<int>{0});
    list.EndUpdate();
    EXPECT_EQ(redraws(), (std::vector<int>{0, 1}));
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.front().first, Change::Redraw);  // suspended before the first change
}

}  // namespace
}  // namespace taskwell
