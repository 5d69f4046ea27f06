// The new task dialog against the simulated machine: its layout, the history as stored in the
// registry (loading, the 21-entry cap, moving an entry to the top, Cancel, refused writes) and the
// starting of the chosen entry (command line, then the shell's "open" verb).
#include "tasks/NewTask.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/sim/SimRegistry.h"
#include "support/SimFixture.h"

namespace taskwell {
namespace {

using sim::Op;
using sim::RegOp;
using testing::SimFixture;

constexpr const char* kKey = "Software\\Orvex Software\\Taskwell\\New Tasks";

struct NewTaskFixture : SimFixture {
    TForm owner{app};
    TRegistryEnhanced settings{registry};

    NewTaskFixture() { owner.SetBounds(259, 137, 444, 538); }

    void Seed(const std::vector<std::string>& entries) {
        for (size_t i = 0; i < entries.size(); ++i)
            registry.SetString(HKEY_CURRENT_USER, kKey, std::to_string(i), entries[i]);
    }
    std::optional<std::string> Stored(int n) const {
        return registry.GetString(HKEY_CURRENT_USER, kKey, std::to_string(n));
    }
    // The stored entries "0", "1", ... up to the first missing one.
    std::vector<std::string> History() const {
        std::vector<std::string> entries;
        for (int n = 0; auto text = Stored(n); ++n) entries.push_back(*text);
        return entries;
    }
    static std::vector<std::string> Items(const TfrmNewTask& d) {
        std::vector<std::string> items;
        for (int i = 0; i < d.cbRun->ItemCount(); ++i) items.push_back(d.cbRun->Item(i));
        return items;
    }

    // Runs the command; answer acts on the dialog while it is shown.
    void Run(const std::function<void(TfrmNewTask&)>& answer) {
        ui.ModalResponder = [&](TForm& shown) {
            answer(dynamic_cast<TfrmNewTask&>(shown));
            return mrCancel;  // only when no button ended the showing
        };
        RunNewTask(owner, settings, platform);
    }
    // The user types text and presses OK.
    void RunTyped(const std::string& text) {
        Run([&](TfrmNewTask& d) {
            d.cbRun->PeerText(text);
            d.btnOk->Click();
        });
    }
    // What the dialog loads now.
    std::vector<std::string> Loaded() {
        TfrmNewTask d(app, settings);
        return Items(d);
    }
};

std::vector<std::string> Entries(const char* prefix, int count) {
    std::vector<std::string> entries;
    for (int i = 0; i < count; ++i) {
        std::string entry = prefix;
        entry += std::to_string(i);
        entries.push_back(entry);
    }
    return entries;
}

TEST(NewTask, IsLaidOutAsDescribed) {
    NewTaskFixture f;
    TfrmNewTask d(f.app, f.settings);
    EXPECT_EQ(d.Caption(), "New Task");
    EXPECT_EQ(d.BorderStyle, TBorderStyle::bsToolWindow);
    EXPECT_EQ(d.ClientWidth(), 366);
    EXPECT_EQ(d.ClientHeight(), 107);
    EXPECT_EQ(d.HelpContext, 140);
    EXPECT_EQ(d.lblRun->Caption(), "Type the name of a program, folder, or document to run :");
    EXPECT_EQ(d.ActiveControl, d.cbRun);
    EXPECT_EQ(d.FocusTarget(), d.cbRun);
    EXPECT_EQ(d.btnBrowse->Caption(), "...");
    EXPECT_EQ(d.btnOk->Caption(), "&Ok");
    EXPECT_TRUE(d.btnOk->Default);
    EXPECT_EQ(d.btnOk->ModalResult, mrOk);
    EXPECT_EQ(d.btnCancel->Caption(), "&Cancel");
    EXPECT_FALSE(d.btnCancel->Default);
    EXPECT_EQ(d.btnCancel->ModalResult, mrCancel);
    for (auto& c : d.Controls()) {
        EXPECT_GE(c->Left(), 0) << c->Name;
        EXPECT_GE(c->Top(), 0) << c->Name;
        EXPECT_LE(c->Left() + c->Width(), 366) << c->Name;
        EXPECT_LE(c->Top() + c->Height(), 107) << c->Name;
    }
    // The browse button stands beside the combo box.
    EXPECT_EQ(d.btnBrowse->Top(), d.cbRun->Top());
    EXPECT_GE(d.btnBrowse->Left(), d.cbRun->Left() + d.cbRun->Width());

    EXPECT_EQ(d.OpenDialog.Title, "Choose a program, folder or document");
    const std::vector<std::pair<std::string, std::string>> filter = {
        {"All files", "*.*"}, {"Executables", "*.exe;*.com;*.bat"}, {"Text files", "*.txt"},
        {"Documents", "*.doc"}, {"HTML", "*.htm*"}};
    std::vector<std::pair<std::string, std::string>> actual;
    for (auto& e : d.OpenDialog.Filter) actual.emplace_back(e.Description, e.Pattern);
    EXPECT_EQ(actual, filter);
    EXPECT_EQ(d.OpenDialog.DefaultExt, "exe");
    EXPECT_EQ(d.OpenDialog.Options, ofHideReadOnly | ofPathMustExist | ofFileMustExist);
}

TEST(NewTask, LoadsTheStoredHistory) {
    struct Value {
        std::string name;
        DWORD type;
        std::string text;
    };
    struct Case {
        std::vector<Value> stored;
        std::vector<std::string> items;
        const char* why;
    };
    const Case cases[] = {
        {{}, {}, "no key: an empty history"},
        {{{"0", REG_SZ, "notepad"}, {"1", REG_SZ, "calc"}, {"3", REG_SZ, "C:\\README.TXT"}},
         {"notepad", "calc", "C:\\README.TXT"},
         "a gap does not stop the loading"},
        {{{"1", REG_SZ, "second"}, {"0", REG_SZ, "first"}}, {"first", "second"}, "in the order of the names"},
        {{{"0", REG_SZ, ""}, {"1", REG_SZ, "calc"}}, {"calc"}, "an empty entry is skipped"},
        {{{"0", REG_SZ, "notepad"}, {"1", REG_SZ, "calc"}, {"2", REG_SZ, "NOTEPAD"}},
         {"notepad", "calc"},
         "an entry equal but for case to one loaded is skipped"},
        {{{"0", REG_DWORD, ""}, {"1", REG_SZ, "calc"}}, {"calc"}, "a number is no entry"},
        {{{"20", REG_SZ, "last"}, {"21", REG_SZ, "beyond"}}, {"last"}, "only the names 0 to 20"},
    };
    for (const Case& c : cases) {
        NewTaskFixture f;
        for (const Value& v : c.stored) {
            if (v.type == REG_DWORD)
                f.registry.SetDword(HKEY_CURRENT_USER, kKey, v.name, 5);
            else
                f.registry.SetString(HKEY_CURRENT_USER, kKey, v.name, v.text, v.type);
        }
        TfrmNewTask d(f.app, f.settings);
        EXPECT_EQ(NewTaskFixture::Items(d), c.items) << c.why;
        // The most recent entry shows in the field.
        EXPECT_EQ(d.cbRun->Text(), c.items.empty() ? "" : c.items.front()) << c.why;
        EXPECT_EQ(d.cbRun->ItemIndex(), c.items.empty() ? -1 : 0) << c.why;
        EXPECT_EQ(f.registry.OpenKeys(), 0) << c.why;
        EXPECT_EQ(f.registry.Calls(RegOp::RegSetValueExA), 0) << c.why;
    }
}

TEST(NewTask, OkPutsTheEntryOnTopAndSavesTheList) {
    struct Case {
        std::vector<std::string> stored;
        std::string typed;
        std::vector<std::string> saved;
        std::string run;
        const char* why;
    };
    std::vector<std::string> full = Entries("e", 21);
    std::vector<std::string> newOnTop = {"new"};
    newOnTop.insert(newOnTop.end(), full.begin(), full.begin() + 20);
    std::vector<std::string> lastOnTop = {"e20"};
    lastOnTop.insert(lastOnTop.end(), full.begin(), full.begin() + 20);
    std::vector<std::string> middleOnTop = {"E5"};
    for (const std::string& e : full)
        if (e != "e5") middleOnTop.push_back(e);
    middleOnTop.front() = "e5";
    const Case cases[] = {
        {{"notepad", "write"}, "calc", {"calc", "notepad", "write"}, "calc", "a new entry goes on top"},
        {{"notepad", "calc", "write"}, "CALC", {"calc", "notepad", "write"}, "calc",
         "a stored entry typed in other letters moves, its stored text runs"},
        {{"notepad", "calc"}, "notepad", {"notepad", "calc"}, "notepad", "the top entry stays"},
        {full, "new", newOnTop, "new", "with 21 stored, the oldest drops"},
        {full, "e20", lastOnTop, "e20", "re-entering the 21st drops it, then puts it on top"},
        {full, "E5", middleOnTop, "e5", "an entry in the middle moves; the count stays 21"},
        {{}, "calc", {"calc"}, "calc", "the first entry"},
    };
    for (const Case& c : cases) {
        NewTaskFixture f;
        f.Seed(c.stored);
        f.machine.WinExecResults[c.run] = 33;
        f.Run([&](TfrmNewTask& d) {
            d.cbRun->PeerText(c.typed);
            d.btnOk->Click();
            EXPECT_EQ(d.ModalResult, mrOk) << c.why;
            EXPECT_EQ(d.cbRun->ItemIndex(), 0) << c.why;
            EXPECT_EQ(d.cbRun->Text(), c.run) << c.why;
        });
        EXPECT_EQ(f.History(), c.saved) << c.why;
        EXPECT_EQ(f.machine.ExecutedCommands, std::vector<std::string>{c.run}) << c.why;
        EXPECT_EQ(f.registry.Calls(RegOp::RegDeleteValueA), 0) << c.why;
        EXPECT_EQ(f.registry.OpenKeys(), 0) << c.why;
    }
}

TEST(NewTask, AnEmptyOrBlankEntryStartsNothingAndChangesNoHistory) {
    for (const char* typed : {"", "   ", "\t "}) {
        NewTaskFixture f;
        f.Seed({"notepad"});
        f.RunTyped(typed);
        EXPECT_EQ(f.History(), std::vector<std::string>{"notepad"}) << '"' << typed << '"';
        EXPECT_EQ(f.registry.Calls(RegOp::RegSetValueExA), 0) << '"' << typed << '"';
        EXPECT_TRUE(f.machine.ExecutedCommands.empty()) << '"' << typed << '"';
        EXPECT_TRUE(f.machine.StartedPrograms.empty()) << '"' << typed << '"';
        EXPECT_TRUE(f.ui.MessageBoxes.empty()) << '"' << typed << '"';
    }
}

// What the user is told when nothing starts, and what the system is handed: never a text longer than
// a path, which the shell's code cannot take (the simulated shell raises on one, as the real one
// ends the process).
TEST(NewTask, ATextThatStartsNothingIsNotFoundAndALongOneReachesNoSystemCall) {
    const std::string longest = "C:\\" + std::string(MAX_PATH - 4, 'x');
    struct Case {
        std::string typed;
        HINSTANCE shell;  // what the shell answers for the text
        bool handedOver;  // to WinExec and the shell
        bool notFound;
        const char* why;
    };
    const Case cases[] = {
        {"C:\\nothing.doc", 2, true, true, "neither the command line nor the shell starts it"},
        {"C:\\letter.doc", 42, true, false, "the shell opens it"},
        {longest, 2, true, true, "the longest path is handed over"},
        {longest + "y", 2, false, true, "one character more is handed to neither"},
        {"C:\\" + std::string(2000, 'z'), 2, false, true, "2,000 characters"},
    };
    for (const Case& c : cases) {
        NewTaskFixture f;
        f.machine.ShellExecuteResults[c.typed] = c.shell;
        f.RunTyped(c.typed);
        EXPECT_EQ(f.machine.TextsTooLong, 0) << c.why;
        EXPECT_EQ(f.machine.Calls(Op::WinExec), c.handedOver ? 1 : 0) << c.why;
        EXPECT_EQ(f.machine.Calls(Op::ShellExecuteA), c.handedOver ? 1 : 0) << c.why;
        EXPECT_EQ(f.Stored(0), c.typed) << c.why;
        ASSERT_EQ(f.ui.MessageBoxes.size(), c.notFound ? 1u : 0u) << c.why;
        if (!c.notFound) continue;
        const sim::MessageBoxCall& box = f.ui.MessageBoxes[0];
        EXPECT_EQ(box.caption, "New Task") << c.why;
        EXPECT_EQ(box.flags, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION)) << c.why;
        EXPECT_EQ(box.text.rfind("Cannot find '" + c.typed.substr(0, 40), 0), 0u) << c.why;
        EXPECT_LT(box.text.size(), 200u) << c.why;
    }
}

TEST(NewTask, ALongEntryInTheHistoryEndsNothing) {
    const std::string typed = "C:\\" + std::string(2000, 'x');
    NewTaskFixture f;
    f.RunTyped(typed);
    // The next New Task opens with it, and the user presses OK again.
    f.Run([&](TfrmNewTask& d) {
        EXPECT_EQ(d.cbRun->Text(), typed);
        d.btnOk->Click();
    });
    EXPECT_EQ(f.machine.TextsTooLong, 0);
    EXPECT_EQ(f.ui.MessageBoxes.size(), 2u);
    EXPECT_EQ(f.History(), std::vector<std::string>{typed});
}

TEST(NewTask, ValuesBeyondTheCountStayAndAStaleDuplicateIsSkipped) {
    NewTaskFixture f;
    f.Seed({"a", "b", "A"});
    f.registry.SetString(HKEY_CURRENT_USER, kKey, "5", "z");
    EXPECT_EQ(f.Loaded(), (std::vector<std::string>{"a", "b", "z"}));
    f.RunTyped("c");
    EXPECT_EQ(f.History(), (std::vector<std::string>{"c", "a", "b", "z"}));
    // The old "5" is still there, now a duplicate of "3": the next loading shows it once.
    EXPECT_EQ(f.Stored(5), "z");
    EXPECT_EQ(f.Loaded(), (std::vector<std::string>{"c", "a", "b", "z"}));
    EXPECT_EQ(f.registry.Calls(RegOp::RegDeleteValueA), 0);
}

TEST(NewTask, BrowsePutsTheChosenFileOnTop) {
    struct Case {
        bool chosen;
        std::string file;
        std::vector<std::string> items;
        const char* why;
    };
    const Case cases[] = {
        {true, "C:\\DOCS\\PLAN.TXT", {"C:\\DOCS\\PLAN.TXT", "notepad", "c:\\docs\\letter.doc"}, "a new file"},
        {true, "C:\\DOCS\\LETTER.DOC", {"c:\\docs\\letter.doc", "notepad"}, "a file in the list moves"},
        {false, "", {"notepad", "c:\\docs\\letter.doc"}, "cancelled: nothing changes"},
    };
    for (const Case& c : cases) {
        NewTaskFixture f;
        f.Seed({"notepad", "c:\\docs\\letter.doc"});
        f.ui.OpenDialogResponder = [&](TOpenDialog& dialog) {
            dialog.FileName = c.file;
            return c.chosen;
        };
        f.Run([&](TfrmNewTask& d) {
            d.btnBrowse->Click();
            EXPECT_EQ(NewTaskFixture::Items(d), c.items) << c.why;
            EXPECT_EQ(d.cbRun->Text(), c.items.front()) << c.why;
            EXPECT_EQ(d.ModalResult, mrNone) << c.why;
            // Nothing is saved before OK.
            EXPECT_EQ(f.registry.Calls(RegOp::RegSetValueExA), 0) << c.why;
            d.btnOk->Click();
        });
        ASSERT_EQ(f.ui.OpenDialogs.size(), 1u) << c.why;
        EXPECT_EQ(f.ui.OpenDialogs[0].Title, "Choose a program, folder or document");
        EXPECT_EQ(f.History(), c.items) << c.why;
    }
}

TEST(NewTask, CancelDiscardsEverythingAndStartsNothing) {
    const std::function<void(TfrmNewTask&)> cancels[] = {
        [](TfrmNewTask& d) {
            d.btnBrowse->Click();
            d.btnCancel->Click();
        },
        [](TfrmNewTask& d) {
            d.cbRun->PeerText("calc");
            d.DialogKey(0x1B);  // Escape
        },
    };
    int n = 0;
    for (const auto& cancel : cancels) {
        NewTaskFixture f;
        f.Seed({"notepad"});
        f.ui.OpenDialogResponder = [](TOpenDialog& dialog) {
            dialog.FileName = "C:\\DOCS\\PLAN.TXT";
            return true;
        };
        f.Run(cancel);
        EXPECT_EQ(f.registry.Calls(RegOp::RegSetValueExA), 0) << "cancel " << n;
        EXPECT_EQ(f.History(), std::vector<std::string>{"notepad"}) << "cancel " << n;
        EXPECT_EQ(f.machine.Calls(Op::WinExec), 0) << "cancel " << n;
        EXPECT_EQ(f.machine.Calls(Op::ShellExecuteA), 0) << "cancel " << n;
        EXPECT_TRUE(f.ui.Forms().empty()) << "cancel " << n;
        EXPECT_EQ(f.Loaded(), std::vector<std::string>{"notepad"}) << "cancel " << n;
        ++n;
    }
}

TEST(NewTask, StartsByCommandLineAndOpensThroughTheShellWhenThatFails) {
    struct Case {
        UINT result;
        bool shell;
    };
    const Case cases[] = {{0, true}, {2, true}, {11, true}, {31, true}, {32, false}, {33, false}};
    for (const Case& c : cases) {
        NewTaskFixture f;
        f.machine.WinExecResults["readme.txt"] = c.result;
        f.RunTyped("readme.txt");
        EXPECT_EQ(f.machine.ExecutedCommands, std::vector<std::string>{"readme.txt"}) << c.result;
        if (!c.shell) {
            EXPECT_EQ(f.machine.Calls(Op::ShellExecuteA), 0) << c.result;
            continue;
        }
        ASSERT_EQ(f.machine.StartedPrograms.size(), 1u) << c.result;
        const auto& started = f.machine.StartedPrograms[0];
        EXPECT_EQ(started.operation, "open");
        EXPECT_EQ(started.file, "readme.txt");
        EXPECT_EQ(started.parameters, "");
        EXPECT_EQ(started.directory, "");
        EXPECT_EQ(started.showCmd, SW_SHOW);
        EXPECT_EQ(started.owner, f.windows.GetDesktopWindow());
    }
}

TEST(NewTask, AWholeExistingPathIsHandedOverQuoted) {
    struct Case {
        std::string typed;
        std::string commandLine;
        bool started;  // by the command line; otherwise the shell opens the text as typed
        const char* why;
    };
    const Case cases[] = {
        {"C:\\Program Files\\Editor\\edit.exe", "\"C:\\Program Files\\Editor\\edit.exe\"", true,
         "a program whose path has a space"},
        {"C:\\My Documents", "\"C:\\My Documents\"", false, "a folder whose path has a space"},
        {"\"C:\\Program Files\\Editor\\edit.exe\" /n", "\"C:\\Program Files\\Editor\\edit.exe\" /n", true,
         "already quoted, with an argument"},
        {"C:\\Program Files\\Editor\\edit.exe C:\\plan.txt", "C:\\Program Files\\Editor\\edit.exe C:\\plan.txt", false,
         "a path with an argument is no existing file: as typed"},
        {"C:\\WINDOWS\\NOTEPAD.EXE C:\\plan.txt", "C:\\WINDOWS\\NOTEPAD.EXE C:\\plan.txt", true,
         "a command line with an argument"},
    };
    for (const Case& c : cases) {
        NewTaskFixture f;
        f.files.SetContent("C:\\Program Files\\Editor\\edit.exe", "MZ");
        f.files.AddDirectory("C:\\My Documents");
        f.machine.Programs = {"C:\\Program Files\\Editor\\edit.exe", "C:\\WINDOWS\\NOTEPAD.EXE"};
        f.RunTyped(c.typed);
        EXPECT_EQ(f.machine.ExecutedCommands, std::vector<std::string>{c.commandLine}) << c.why;
        // The history keeps the text as typed.
        EXPECT_EQ(f.Stored(0), c.typed) << c.why;
        if (c.started) {
            EXPECT_TRUE(f.machine.StartedPrograms.empty()) << c.why;
        } else {
            ASSERT_EQ(f.machine.StartedPrograms.size(), 1u) << c.why;
            EXPECT_EQ(f.machine.StartedPrograms[0].file, c.typed) << c.why;
        }
    }
}

TEST(NewTask, AFailingFileProbeStartsTheTextAsTyped) {
    NewTaskFixture f;
    f.files.SetContent("C:\\Program Files\\Editor\\edit.exe", "MZ");
    f.files.Raise(sim::FileOp::GetFileAttributesA);
    f.RunTyped("C:\\Program Files\\Editor\\edit.exe");
    EXPECT_EQ(f.machine.ExecutedCommands, std::vector<std::string>{"C:\\Program Files\\Editor\\edit.exe"});
}

TEST(NewTask, ARefusedHistoryValueCostsNeitherTheOthersNorTheStart) {
    NewTaskFixture f;
    f.Seed({"notepad", "write"});
    f.registry.RefuseValue("1");
    f.machine.WinExecResults["calc"] = 33;
    f.RunTyped("calc");
    EXPECT_EQ(f.Stored(0), "calc");
    EXPECT_EQ(f.Stored(1), "write");  // refused: the old value stays, not "notepad"
    EXPECT_EQ(f.Stored(2), "write");
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(f.ui.MessageBoxes[0].text, "Failed to set data for '1'");
    EXPECT_EQ(f.machine.ExecutedCommands, std::vector<std::string>{"calc"});
}

TEST(NewTask, TheDialogIsPlacedOverTheOwnerAndDestroyedOnEveryPath) {
    struct Case {
        int left, top, width, height;
    };
    for (const Case c : {Case{259, 137, 444, 538}, Case{0, 0, 100, 80}, Case{-50, 1, 201, 99}}) {
        NewTaskFixture f;
        f.owner.SetBounds(c.left, c.top, c.width, c.height);
        f.Run([&](TfrmNewTask& d) {
            EXPECT_EQ(d.Left(), std::max(2, c.left + c.width / 2 - d.Width() / 2)) << c.left;
            EXPECT_EQ(d.Top(), std::max(2, c.top + c.height / 2 - d.Height() / 2)) << c.left;
        });
        EXPECT_TRUE(f.ui.Forms().empty());
    }
    // A start that raises: the error goes to the caller, the dialog still goes.
    NewTaskFixture f;
    f.machine.Raise(Op::WinExec);
    EXPECT_ANY_THROW(f.RunTyped("calc"));
    EXPECT_TRUE(f.ui.Forms().empty());
    EXPECT_EQ(f.Stored(0), "calc");
}

TEST(NewTask, OwnsTheDialogsItOpensAndTakesNoInputWhileOneIsUp) {
    NewTaskFixture f;
    f.Seed({"notepad"});
    f.registry.RefuseValue("1");  // OK's save is refused: the box that says so is the dialog's too
    TfrmNewTask* shown = nullptr;
    int opened = 0;
    f.ui.OpenDialogResponder = [&](TOpenDialog& dialog) {
        // The user presses "..." again while the Open dialog is up.
        if (opened++ == 0) shown->btnBrowse->Click();
        dialog.FileName = "C:\\DOCS\\PLAN.TXT";
        return true;
    };
    f.Run([&](TfrmNewTask& d) {
        shown = &d;
        d.btnBrowse->Click();
        EXPECT_TRUE(d.Enabled()) << "the dialog takes input again once the Open dialog is answered";
        d.btnOk->Click();
    });
    EXPECT_EQ(f.ui.OpenDialogs.size(), 1u) << "no second Open dialog while one is up";
    EXPECT_EQ(f.ui.FileDialogOwners, (std::vector<const TForm*>{shown}));
    ASSERT_FALSE(f.History().empty());
    EXPECT_EQ(f.History().front(), "C:\\DOCS\\PLAN.TXT");
    ASSERT_EQ(f.ui.MessageBoxes.size(), 1u);
    EXPECT_EQ(f.ui.MessageBoxes[0].owner, shown);
}

}  // namespace
}  // namespace taskwell
