// The task properties dialog against the simulated machine: its layout, the style boxes for a table
// of style words, the fields (live caption and parent, shortened path), the placement, the icon copy
// and the cursor on every path.
#include "tasks/TaskInfo.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "app/DisplayFormats.h"
#include "support/SimFixture.h"

namespace taskwell {
namespace {

using sim::Op;
using sim::WinOp;
using testing::SimFixture;

constexpr const char* kExe = "C:\\PROGRAM FILES\\ORVEX\\EDITOR.EXE";

struct TaskFixture : SimFixture {
    TForm owner{app};
    HWND window = 0;
    TApplicationWin record;

    TaskFixture() {
        owner.SetBounds(200, 150, 500, 400);
        const DWORD pid = Start(kExe);
        sim::SimWindow w;
        w.caption = "Untitled - Editor";
        w.className = "EditorFrame";
        w.processId = pid;
        w.threadId = 0xFFF2A000;
        w.style = 0x14CF0000;
        w.visible = true;
        window = windows.AddWindow(w);
        record.Handle = window;
        record.ProcessID = pid;
        record.ThreadID = 0xFFF2A000;
        record.Style = 0x14CF0000;
        record.ExePath = kExe;
        record.WinClassName = "EditorFrame";
        record.ParentCaption = "Desktop";
        record.Icon = machine.ExtractIconA(0, kExe, 0);
    }

    // Runs the command; check looks at the dialog while it is shown.
    void Show(const std::function<void(TfrmTaskProperties&)>& check) {
        ui.ModalResponder = [&](TForm& shown) {
            check(dynamic_cast<TfrmTaskProperties&>(shown));
            return mrOk;
        };
        ShowTaskProperties(owner, platform, record);
    }

    // The captions of the checked style boxes.
    static std::set<std::string> Checked(const TfrmTaskProperties& d) {
        std::set<std::string> checked;
        for (auto& c : d.gbWindowStyles->Controls())
            if (auto* box = dynamic_cast<const TCheckBox*>(c.get()); box && box->Checked()) checked.insert(box->Caption());
        return checked;
    }
};

std::string Join(const std::set<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += n + " ";
    return text;
}

TEST(TaskProperties, IsLaidOutAsDescribed) {
    SimFixture f;
    TfrmTaskProperties d(f.app, f.platform);
    EXPECT_EQ(d.Caption(), "Task Properties");
    EXPECT_EQ(d.BorderStyle, TBorderStyle::bsToolWindow);
    EXPECT_EQ(d.ClientWidth(), 417);
    EXPECT_EQ(d.ClientHeight(), 389);
    EXPECT_EQ(d.HelpContext, 160);
    EXPECT_EQ(d.gbWindowInformation->Caption(), " Window information ");
    EXPECT_EQ(d.gbWindowStyles->Caption(), " Window Styles ");
    EXPECT_FALSE(d.gbWindowStyles->Enabled());
    EXPECT_TRUE(d.imgIcon->Stretch());
    EXPECT_EQ(d.btnOk->Caption(), "&Ok");
    EXPECT_TRUE(d.btnOk->Default);
    EXPECT_EQ(d.btnOk->ModalResult, mrOk);
    EXPECT_EQ(d.valuePath->Width(), 310);

    // Every control stays inside the client area.
    for (auto& c : d.Controls()) {
        EXPECT_GE(c->Left(), 0) << c->Name;
        EXPECT_GE(c->Top(), 0) << c->Name;
        EXPECT_LE(c->Left() + c->Width(), 417) << c->Name;
        EXPECT_LE(c->Top() + c->Height(), 389) << c->Name;
    }

    // The caption and the six facts: read-only, borderless, on the face colour; the facts in the
    // group, one under the other in this order, each with its label on its line.
    EXPECT_TRUE(d.valueCaption->ReadOnly());
    EXPECT_EQ(d.valueCaption->BorderStyle(), TEditBorder::bsNone);
    EXPECT_EQ(d.valueCaption->Color, clBtnFace);
    const std::pair<const char*, const TEdit*> facts[] = {
        {"Handle:", d.valueHandle},        {"Process ID:", d.valueProcessID}, {"Thread ID:", d.valueThreadID},
        {"Parent handle:", d.valueParent}, {"Class name:", d.valueClassName}, {"Path:", d.valuePath}};
    for (size_t i = 0; i < std::size(facts); ++i) {
        const auto& [label, field] = facts[i];
        EXPECT_EQ(field->Parent(), d.gbWindowInformation) << label;
        EXPECT_TRUE(field->ReadOnly()) << label;
        EXPECT_EQ(field->BorderStyle(), TEditBorder::bsNone) << label;
        EXPECT_EQ(field->Color, clBtnFace) << label;
        if (i > 0) {
            EXPECT_GT(field->Top(), facts[i - 1].second->Top()) << label;
        }
        bool labelled = false;
        for (auto& c : d.gbWindowInformation->Controls())
            if (dynamic_cast<const TLabel*>(c.get()) && c->Caption() == label && c->Top() == field->Top() &&
                c->Left() + c->Width() <= field->Left())
                labelled = true;
        EXPECT_TRUE(labelled) << label;
    }
}

TEST(TaskProperties, StyleBoxesStandInThreeAlphabeticalColumns) {
    SimFixture f;
    TfrmTaskProperties d(f.app, f.platform);
    const TCheckBox* boxes[] = {d.cb1,  d.cb2,  d.cb3,  d.cb4,  d.cb5,  d.cb6,  d.cb7,  d.cb8,
                                d.cb9,  d.cb10, d.cb11, d.cb12, d.cb13, d.cb14, d.cb15, d.cb16,
                                d.cb17, d.cb18, d.cb19, d.cb20, d.cb21, d.cb22};
    std::map<int, std::vector<const TCheckBox*>> columns;  // by left edge
    for (size_t i = 0; i < std::size(boxes); ++i) {
        EXPECT_EQ(boxes[i]->Name, "cb" + std::to_string(i + 1));
        EXPECT_EQ(boxes[i]->Parent(), d.gbWindowStyles) << boxes[i]->Name;
        columns[boxes[i]->Left()].push_back(boxes[i]);
    }
    EXPECT_EQ(d.cb1->Caption(), "WS_OVERLAPPED");
    EXPECT_EQ(d.cb10->Caption(), "WS_CAPTION");
    EXPECT_EQ(d.cb22->Caption(), "WS_POPUPWINDOW");
    ASSERT_EQ(columns.size(), 3u);
    const std::pair<const char*, const char*> ranges[] = {
        {"WS_BORDER", "WS_GROUP"}, {"WS_HSCROLL", "WS_POPUPWINDOW"}, {"WS_SYSMENU", "WS_VSCROLL"}};
    int column = 0;
    for (auto& [left, list] : columns) {
        std::sort(list.begin(), list.end(), [](auto* a, auto* b) { return a->Top() < b->Top(); });
        for (size_t i = 1; i < list.size(); ++i) {
            EXPECT_LT(list[i - 1]->Caption(), list[i]->Caption()) << "column " << column;
            EXPECT_GE(list[i]->Top(), list[i - 1]->Top() + list[i - 1]->Height()) << list[i]->Caption();
        }
        EXPECT_EQ(list.front()->Caption(), ranges[column].first);
        EXPECT_EQ(list.back()->Caption(), ranges[column].second);
        ++column;
    }
}

struct StyleCase {
    DWORD style;
    std::set<std::string> checked;
    const char* why;
};

TEST(TaskProperties, StyleBoxesFollowTheStyleWord) {
    const std::set<std::string> tiled = {"WS_CAPTION", "WS_BORDER",      "WS_DLGFRAME",    "WS_SYSMENU",
                                         "WS_THICKFRAME", "WS_MINIMIZEBOX", "WS_MAXIMIZEBOX", "WS_GROUP",
                                         "WS_TABSTOP", "WS_TILEDWINDOW", "WS_OVERLAPPED"};
    std::set<std::string> everything;
    {
        SimFixture f;
        TfrmTaskProperties d(f.app, f.platform);
        for (auto& c : d.gbWindowStyles->Controls()) everything.insert(c->Caption());
    }
    std::set<std::string> allButOverlapped = everything;
    allButOverlapped.erase("WS_OVERLAPPED");
    std::set<std::string> visibleTiled = tiled;
    visibleTiled.insert({"WS_VISIBLE", "WS_CLIPSIBLINGS"});

    const StyleCase cases[] = {
        {0x00000000, {}, "a style of 0 checks nothing"},
        {0x00CF0000, tiled, "an overlapped window's whole frame"},
        {0x14CF0000, visibleTiled, "a visible overlapped window"},
        {0x00800000, {"WS_BORDER", "WS_OVERLAPPED"}, "one bit of WS_CAPTION is not the caption"},
        {0x00C00000, {"WS_CAPTION", "WS_BORDER", "WS_DLGFRAME", "WS_OVERLAPPED"}, "both bits of WS_CAPTION"},
        {0x80800000, {"WS_POPUP", "WS_BORDER"}, "two of WS_POPUPWINDOW's three bits"},
        {0x80880000, {"WS_POPUP", "WS_BORDER", "WS_SYSMENU", "WS_POPUPWINDOW"}, "all of WS_POPUPWINDOW"},
        {0x40000000, {"WS_CHILD"}, "a child window is not overlapped"},
        {0x00010000, {"WS_TABSTOP", "WS_MAXIMIZEBOX", "WS_OVERLAPPED"}, "a shared bit checks both its boxes"},
        {0xFFFFFFFF, allButOverlapped, "every bit: popup and child at once"},
    };
    for (const StyleCase& c : cases) {
        TaskFixture f;
        f.record.Style = c.style;
        TfrmTaskProperties d(f.app, f.platform);
        d.ShowTask(f.record);
        EXPECT_EQ(Join(TaskFixture::Checked(d)), Join(c.checked)) << c.why;
    }
}

TEST(TaskProperties, FieldsShowTheRecordAndTheLiveWindow) {
    TaskFixture f;
    f.record.ThreadID = 0x00ABCDEF;
    // The window's caption changed since the record was made: the dialog reads it now.
    f.windows.Find(f.window)->caption = "report.txt - Editor";
    f.Show([&](TfrmTaskProperties& d) {
        EXPECT_EQ(d.valueCaption->Text(), "report.txt - Editor");
        EXPECT_EQ(d.valueHandle->Text(), HexText(f.window));
        EXPECT_EQ(d.valueHandle->Text().size(), 8u);
        EXPECT_EQ(d.valueProcessID->Text(), HexText(f.record.ProcessID));
        EXPECT_EQ(d.valueThreadID->Text(), "00ABCDEF");
        EXPECT_EQ(d.valueParent->Text(), "00000000 (\"Desktop\")");
        EXPECT_EQ(d.valueClassName->Text(), "EditorFrame");
        EXPECT_EQ(d.valuePath->Text(), kExe);
    });
    EXPECT_EQ(f.ui.ModalForms, std::vector<std::string>{"Task Properties"});
    EXPECT_EQ(f.windows.Calls(WinOp::GetWindowTextA), 1);

    // A caption is read into a buffer of 257 characters: the first 256 show.
    f.windows.Find(f.window)->caption = std::string(256, 'a') + "bcdef";
    f.Show([&](TfrmTaskProperties& d) { EXPECT_EQ(d.valueCaption->Text(), std::string(256, 'a')); });
}

TEST(TaskProperties, ParentHandleIsLiveWhileItsCaptionIsTheRecords) {
    TaskFixture f;
    sim::SimWindow popup;
    popup.caption = "Find";
    popup.owner = f.window;
    popup.style = WS_POPUP | WS_CAPTION;
    const HWND dialog = f.windows.AddWindow(popup);
    sim::SimWindow tool;
    tool.caption = "Palette";
    tool.owner = f.window;
    tool.style = WS_CAPTION;
    const HWND owned = f.windows.AddWindow(tool);
    struct Case {
        HWND window;
        std::string expected;
    };
    const Case cases[] = {
        // A popup: the system names its owner as the parent.
        {dialog, HexText(f.window) + " (\"Untitled - Editor\")"},
        // An owned window that is not a popup has no parent, yet the record names its owner.
        {owned, "00000000 (\"Untitled - Editor\")"},
    };
    for (const Case& c : cases) {
        f.record.Handle = c.window;
        f.record.ParentCaption = "Untitled - Editor";
        f.Show([&](TfrmTaskProperties& d) { EXPECT_EQ(d.valueParent->Text(), c.expected); });
    }
}

TEST(TaskProperties, PathIsShortenedToTheFieldInTheDialogsFont) {
    // Headless text is 6 pixels a character in the dialog's font, so 51 characters fit 310 pixels.
    const std::string longName(60, 'N');
    struct Case {
        std::string path, shown;
        const char* why;
    };
    const Case cases[] = {
        {kExe, kExe, "a path that fits is shown whole"},
        {"C:\\AAAAAAAAAA\\BBBBBBBBBB\\CCCCCCCCCC\\DDDDDDDDDD\\PROGRAM.EXE",
         "C:\\...\\BBBBBBBBBB\\CCCCCCCCCC\\DDDDDDDDDD\\PROGRAM.EXE", "58 characters lose the first directory"},
        {"C:\\AAAAAAAAAA\\BBBBBBBBBB\\CCCCCCCCCC\\DDDDDDDDDDD\\PROGRAM.EXE",
         "C:\\...\\CCCCCCCCCC\\DDDDDDDDDDD\\PROGRAM.EXE", "one character more costs another directory"},
        {"", "", "an empty path stays empty"},
        {"C:\\WINDOWS\\" + longName + ".EXE", longName + ".EXE", "a file name too wide is shown whole"},
    };
    for (const Case& c : cases) {
        TaskFixture f;
        f.record.ExePath = c.path;
        f.Show([&](TfrmTaskProperties& d) { EXPECT_EQ(d.valuePath->Text(), c.shown) << c.why; });
    }
}

TEST(TaskProperties, IsCentredOverTheOwnerAndKeptOffTheScreenCorner) {
    struct Case {
        int left, top, width, height;
        const char* why;
    };
    const Case cases[] = {
        {200, 150, 500, 400, "centred"},
        {201, 151, 501, 401, "odd sizes: halves rounded toward zero"},
        {-300, 0, 444, 90, "near the top-left corner"},
    };
    for (const Case& c : cases) {
        TaskFixture f;
        f.owner.SetBounds(c.left, c.top, c.width, c.height);
        f.Show([&](TfrmTaskProperties& d) {
            const int left = std::max(2, c.left + c.width / 2 - d.Width() / 2);
            const int top = std::max(2, c.top + c.height / 2 - d.Height() / 2);
            EXPECT_EQ(d.Left(), left) << c.why;
            EXPECT_EQ(d.Top(), top) << c.why;
            EXPECT_GE(d.Left(), 2) << c.why;
            EXPECT_GE(d.Top(), 2) << c.why;
            EXPECT_EQ(d.ClientWidth(), 417) << c.why;
        });
    }
}

TEST(TaskProperties, ShowsACopyOfTheIconAndGivesItBack) {
    TaskFixture f;
    const int before = f.machine.LiveIcons();
    for (int showing = 0; showing < 2; ++showing) {
        f.Show([&](TfrmTaskProperties& d) {
            EXPECT_EQ(f.machine.LiveIcons(), before + 1);
            EXPECT_NE(d.imgIcon->Icon(), 0u);
            EXPECT_NE(d.imgIcon->Icon(), f.record.Icon);
            EXPECT_TRUE(f.machine.IsUsableIcon(d.imgIcon->Icon()));
        });
        EXPECT_EQ(f.machine.LiveIcons(), before) << "showing " << showing;
        EXPECT_TRUE(f.machine.IsUsableIcon(f.record.Icon)) << "showing " << showing;
    }
    EXPECT_EQ(f.machine.Calls(Op::CopyIcon), 2);
    EXPECT_EQ(f.machine.Calls(Op::DestroyIcon), 2);
}

TEST(TaskProperties, ARecordWithoutAnIconShowsNone) {
    TaskFixture f;
    f.machine.DestroyIcon(f.record.Icon);
    const int before = f.machine.LiveIcons();
    f.Show([&](TfrmTaskProperties& d) { EXPECT_EQ(d.imgIcon->Icon(), 0u); });
    EXPECT_EQ(f.machine.LiveIcons(), before);
    EXPECT_EQ(f.machine.Calls(Op::CopyIcon), 0);
}

TEST(TaskProperties, TheRecordMayGoWhileTheDialogIsOpen) {
    TaskFixture f;
    auto record = std::make_unique<TApplicationWin>(f.record);
    f.ui.ModalResponder = [&](TForm& shown) {
        auto& d = dynamic_cast<TfrmTaskProperties&>(shown);
        // The window list engine's timer frees the record and its icon meanwhile.
        record->ExePath = "changed";
        record->Style = 0;
        f.machine.DestroyIcon(record->Icon);
        record.reset();
        EXPECT_EQ(d.Record().ExePath, kExe);
        EXPECT_EQ(d.Record().Style, 0x14CF0000u);
        EXPECT_TRUE(f.machine.IsUsableIcon(d.imgIcon->Icon()));
        EXPECT_EQ(d.Record().Icon, d.imgIcon->Icon());
        return mrOk;
    };
    ShowTaskProperties(f.owner, f.platform, *record);
    EXPECT_EQ(f.machine.LiveIcons(), 0);
}

TEST(TaskProperties, HourglassWhileFillingAndDefaultCursorOnEveryPath) {
    TaskFixture f;
    f.Show([&](TfrmTaskProperties&) { EXPECT_EQ(f.ui.Cursor, TCursor::crDefault); });
    EXPECT_EQ(f.ui.Cursor, TCursor::crDefault);
    const std::vector<TCursor> expected = {TCursor::crHourGlass, TCursor::crDefault, TCursor::crHourGlass,
                                           TCursor::crDefault};
    EXPECT_EQ(f.ui.CursorChanges, expected);

    // Failures while filling: the dialog goes, nothing is shown, the cursor and icons come back.
    const std::function<void(TaskFixture&)> failures[] = {
        [](TaskFixture& t) { t.machine.Raise(Op::CopyIcon); },
        [](TaskFixture& t) { t.windows.Raise(WinOp::GetWindowTextA); },
        [](TaskFixture& t) { t.windows.Raise(WinOp::GetParent); },
    };
    int n = 0;
    for (const auto& fail : failures) {
        TaskFixture t;
        const int before = t.machine.LiveIcons();
        fail(t);
        EXPECT_ANY_THROW(t.Show([](TfrmTaskProperties&) {})) << "failure " << n;
        EXPECT_EQ(t.ui.Cursor, TCursor::crDefault) << "failure " << n;
        EXPECT_TRUE(t.ui.ModalForms.empty()) << "failure " << n;
        EXPECT_EQ(t.machine.LiveIcons(), before) << "failure " << n;
        ++n;
    }
}

TEST(TaskProperties, LiveReadsThatFindNothingLeaveTheRecordsFacts) {
    const std::function<void(TaskFixture&)> cases[] = {
        [](TaskFixture& t) { t.windows.RemoveWindow(t.window); },
        [](TaskFixture& t) {
            t.windows.Fail(WinOp::GetWindowTextA);
            t.windows.Fail(WinOp::GetParent);
        },
    };
    for (const auto& vanish : cases) {
        TaskFixture f;
        vanish(f);
        f.record.ParentCaption = "Owner";
        f.Show([&](TfrmTaskProperties& d) {
            EXPECT_EQ(d.valueCaption->Text(), "");
            EXPECT_EQ(d.valueParent->Text(), "00000000 (\"Owner\")");
            EXPECT_EQ(d.valueClassName->Text(), "EditorFrame");
            EXPECT_EQ(TaskFixture::Checked(d).count("WS_CAPTION"), 1u);
        });
        EXPECT_EQ(f.ui.ModalForms.size(), 1u);
    }
}

}  // namespace
}  // namespace taskwell
