#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/sim/SimMachine.h"
#include "platform/sim/SimUi.h"
#include "ui/Exception.h"
#include "ui/TApplication.h"
#include "ui/TComboBox.h"
#include "ui/TForm.h"

namespace taskwell {
namespace {

// A native combo box in miniature: it keeps its own list, selection and text, and changes them only
// as the widget's notifications say, reading the new state from the widget the way the Win32 peer
// does (items one at a time by index). After any step it must show what the widget holds.
class MirrorPeer : public IPeer {
public:
    explicit MirrorPeer(TComboBox& combo) : combo_(combo) {}
    void Changed(Change what, int index) override {
        ++notifications;
        switch (what) {
        case Change::Items:
            if (index < 0) {
                items.clear();
                for (int i = 0; i < combo_.ItemCount(); ++i) items.push_back(combo_.Item(i));
            } else {
                items.insert(items.begin() + index, combo_.Item(index));
            }
            break;
        case Change::ItemDeleted:
            items.erase(items.begin() + index);
            break;
        default:
            break;
        }
        switch (what) {
        case Change::Items:
        case Change::ItemDeleted:
            // A changed list may have moved or dropped the native selection: the peer takes the
            // selection and the text from the widget again.
            selected = combo_.ItemIndex();
            text = combo_.Text();
            break;
        case Change::ItemIndex:
            selected = combo_.ItemIndex();
            if (selected >= 0) text = items[static_cast<size_t>(selected)];
            break;
        case Change::Caption:
            text = combo_.Text();
            break;
        default:
            break;
        }
    }
    std::vector<std::string> items;
    int selected = -1;
    std::string text;
    int notifications = 0;

private:
    TComboBox& combo_;
};

class MirrorUi : public sim::SimUi {
public:
    using SimUi::SimUi;
    std::unique_ptr<IPeer> CreatePeer(TControl& control) override {
        if (auto* combo = dynamic_cast<TComboBox*>(&control)) {
            auto peer = std::make_unique<MirrorPeer>(*combo);
            mirror = peer.get();
            return peer;
        }
        return SimUi::CreatePeer(control);
    }
    MirrorPeer* mirror = nullptr;
};

struct ComboFixture {
    sim::SimMachine machine;
    MirrorUi ui{machine};
    TApplication app{ui};
    TForm form{app};
    TComboBox& combo = form.Add<TComboBox>();
    int changes = 0;

    explicit ComboFixture(std::vector<std::string> items = {}, int selected = -1) {
        for (auto& item : items) combo.AddItem(item);
        if (selected >= 0) combo.SetItemIndex(selected);
        combo.OnChange = [this] { ++changes; };
    }
    std::vector<std::string> Items() const {
        std::vector<std::string> all;
        for (int i = 0; i < combo.ItemCount(); ++i) all.push_back(combo.Item(i));
        return all;
    }
};

TEST(ComboBox, IndexesOutsideTheListRaiseAndChangeNothing) {
    struct Case {
        const char* name;
        void (*call)(TComboBox&);
    };
    const Case cases[] = {
        {"Item(-1)", [](TComboBox& c) { c.Item(-1); }},
        {"Item(count)", [](TComboBox& c) { c.Item(3); }},
        {"InsertItem(-1)", [](TComboBox& c) { c.InsertItem(-1, "x"); }},
        {"InsertItem(count + 1)", [](TComboBox& c) { c.InsertItem(4, "x"); }},
        {"DeleteItem(-1)", [](TComboBox& c) { c.DeleteItem(-1); }},
        {"DeleteItem(count)", [](TComboBox& c) { c.DeleteItem(3); }},
        {"SetItemIndex(-2)", [](TComboBox& c) { c.SetItemIndex(-2); }},
        {"SetItemIndex(count)", [](TComboBox& c) { c.SetItemIndex(3); }},
    };
    for (const Case& c : cases) {
        ComboFixture f({"a", "b", "c"}, 1);
        EXPECT_THROW(c.call(f.combo), EListError) << c.name;
        EXPECT_EQ(f.Items(), (std::vector<std::string>{"a", "b", "c"})) << c.name;
        EXPECT_EQ(f.combo.ItemIndex(), 1) << c.name;
        EXPECT_EQ(f.combo.Text(), "b") << c.name;
    }
    ComboFixture empty;
    EXPECT_THROW(empty.combo.Item(0), EListError);
    EXPECT_THROW(empty.combo.SetItemIndex(0), EListError);
    EXPECT_NO_THROW(empty.combo.SetItemIndex(-1));
    EXPECT_NO_THROW(empty.combo.InsertItem(0, "first"));
}

TEST(ComboBox, TheSelectionFollowsItsItemThroughInsertsAndDeletes) {
    // Four items, "c" selected; one change each; the selection and the field afterwards.
    struct Case {
        const char* name;
        void (*change)(TComboBox&);
        int selected;
        const char* text;
    };
    const Case cases[] = {
        {"insert before it", [](TComboBox& c) { c.InsertItem(0, "new"); }, 3, "c"},
        {"insert at its place", [](TComboBox& c) { c.InsertItem(2, "new"); }, 3, "c"},
        {"insert right after it", [](TComboBox& c) { c.InsertItem(3, "new"); }, 2, "c"},
        {"append", [](TComboBox& c) { c.AddItem("new"); }, 2, "c"},
        {"delete before it", [](TComboBox& c) { c.DeleteItem(0); }, 1, "c"},
        {"delete it", [](TComboBox& c) { c.DeleteItem(2); }, -1, "c"},
        {"delete after it", [](TComboBox& c) { c.DeleteItem(3); }, 2, "c"},
        {"clear the list", [](TComboBox& c) { c.ClearItems(); }, -1, "c"},
    };
    for (const Case& c : cases) {
        ComboFixture f({"a", "b", "c", "d"}, 2);
        c.change(f.combo);
        EXPECT_EQ(f.combo.ItemIndex(), c.selected) << c.name;
        EXPECT_EQ(f.combo.Text(), c.text) << c.name;
        if (c.selected >= 0) {
            EXPECT_EQ(f.combo.Item(c.selected), "c") << c.name;
        }
        EXPECT_EQ(f.changes, 0) << c.name << ": the program's changes are not the user's";
    }
}

TEST(ComboBox, SelectingShowsTheItemAndADifferentTextDropsTheSelection) {
    ComboFixture f({"notepad", "calc", "sol"});
    f.combo.SetText("typed");
    f.combo.SetItemIndex(1);
    EXPECT_EQ(f.combo.Text(), "calc");
    f.combo.SetItemIndex(-1);
    EXPECT_EQ(f.combo.Text(), "calc") << "selecting nothing keeps the text";
    f.combo.SetItemIndex(2);
    f.combo.SetText("sol");
    EXPECT_EQ(f.combo.ItemIndex(), 2) << "the selected item's own text keeps it selected";
    f.combo.SetText("sol.exe");
    EXPECT_EQ(f.combo.ItemIndex(), -1);
    EXPECT_EQ(f.combo.Text(), "sol.exe");
    EXPECT_EQ(f.changes, 0);
}

TEST(ComboBox, APickPutsTheItemsTextInTheFieldAndRunsOnChange) {
    ComboFixture f({"notepad", "calc", "sol"});
    f.combo.SetText("typed");
    f.combo.PeerItemIndex(1);
    EXPECT_EQ(f.combo.ItemIndex(), 1);
    EXPECT_EQ(f.combo.Text(), "calc");
    EXPECT_EQ(f.changes, 1);
    f.combo.PeerItemIndex(1);
    EXPECT_EQ(f.changes, 1) << "the same item again is no change";
    // Indexes the list does not have (a native list out of step) change nothing.
    for (int bad : {-2, 3, 100}) {
        f.combo.PeerItemIndex(bad);
        EXPECT_EQ(f.combo.ItemIndex(), 1) << bad;
        EXPECT_EQ(f.combo.Text(), "calc") << bad;
    }
    EXPECT_EQ(f.changes, 1);
    // The list losing its selection keeps the text; no text changed.
    f.combo.PeerItemIndex(-1);
    EXPECT_EQ(f.combo.ItemIndex(), -1);
    EXPECT_EQ(f.combo.Text(), "calc");
    EXPECT_EQ(f.changes, 1);
}

TEST(ComboBox, TypingSetsTheTextDropsAStaleSelectionAndRunsOnChange) {
    ComboFixture f({"notepad", "calc"}, 0);
    f.combo.PeerText("notepad");
    EXPECT_EQ(f.changes, 0) << "the same text is no change";
    EXPECT_EQ(f.combo.ItemIndex(), 0);
    f.combo.PeerText("notepad.exe");
    EXPECT_EQ(f.combo.Text(), "notepad.exe");
    EXPECT_EQ(f.combo.ItemIndex(), -1);
    EXPECT_EQ(f.changes, 1);
    f.combo.PeerText("");
    EXPECT_EQ(f.combo.Text(), "");
    EXPECT_EQ(f.changes, 2);
}

TEST(ComboBox, AnErrorInOnChangeIsShownAndTheTextIsTakenAnyway) {
    ComboFixture f({"a"});
    f.combo.OnChange = [] { throw Exception("bad command"); };
    f.combo.PeerText("abc");
    EXPECT_EQ(f.combo.Text(), "abc");
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(f.ui.MessageBoxes[0].text, "bad command");
    f.combo.PeerItemIndex(0);
    EXPECT_EQ(f.combo.Text(), "a");
    EXPECT_EQ(f.ui.MessageBoxes.size(), 2u);
}

TEST(ComboBox, APeerFollowingTheNotificationsAlwaysShowsTheWidgetsState) {
    ComboFixture f({"one", "two"});
    f.form.Show();
    MirrorPeer* m = f.ui.mirror;
    ASSERT_NE(m, nullptr);
    // Realised with items already there: the peer starts from the widget's state, as the native
    // control is filled when it is made.
    for (int i = 0; i < f.combo.ItemCount(); ++i) m->items.push_back(f.combo.Item(i));
    m->selected = f.combo.ItemIndex();
    m->text = f.combo.Text();

    // A fixed pseudo-random walk through every operation, the user's included (the native control
    // changes first, then the widget hears of it).
    unsigned seed = 12345;
    auto next = [&](unsigned n) {
        seed = seed * 1103515245u + 12345u;
        return static_cast<int>((seed >> 16) % n);
    };
    for (int step = 0; step < 400; ++step) {
        const int count = f.combo.ItemCount();
        const int op = next(8);
        std::string what;
        switch (op) {
        case 0:
        case 1:
            what = "insert";
            f.combo.InsertItem(next(static_cast<unsigned>(count) + 1), "item" + std::to_string(step));
            break;
        case 2:
            if (count == 0) continue;
            what = "delete";
            f.combo.DeleteItem(next(static_cast<unsigned>(count)));
            break;
        case 3:
            what = "select";
            f.combo.SetItemIndex(next(static_cast<unsigned>(count) + 1) - 1);
            break;
        case 4:
            what = "set text";
            f.combo.SetText(next(2) && count > 0 ? f.combo.Item(next(static_cast<unsigned>(count)))
                                                 : "text" + std::to_string(step));
            break;
        case 5: {
            what = "user types";
            m->text += "x";
            m->selected = -1;
            const int before = m->notifications;
            f.combo.PeerText(m->text);
            EXPECT_EQ(m->notifications, before) << "step " << step << ": typing is not echoed";
            break;
        }
        case 6: {
            if (count == 0) continue;
            what = "user picks";
            m->selected = next(static_cast<unsigned>(count));
            m->text = m->items[static_cast<size_t>(m->selected)];
            const int before = m->notifications;
            f.combo.PeerItemIndex(m->selected);
            EXPECT_EQ(m->notifications, before) << "step " << step << ": a pick is not echoed";
            break;
        }
        default:
            if (next(10) != 0) continue;
            what = "clear";
            f.combo.ClearItems();
            break;
        }
        ASSERT_EQ(m->items, f.Items()) << "step " << step << " (" << what << ")";
        ASSERT_EQ(m->selected, f.combo.ItemIndex()) << "step " << step << " (" << what << ")";
        ASSERT_EQ(m->text, f.combo.Text()) << "step " << step << " (" << what << ")";
        if (f.combo.ItemIndex() >= 0) {
            ASSERT_EQ(f.combo.Text(), f.combo.Item(f.combo.ItemIndex())) << "step " << step << " (" << what << ")";
        }
    }
}

}  // namespace
}  // namespace taskwell
