// The fault sweep: every operation of the simulated machine (its processes, shell and system, its
// window manager, registry, files and polling threads), in turn, fails the platform's way and then
// raises an error, for a whole session: creation, three ticks on each page, every menu command and
// button with the dialogs they open (answered with their defaults), the close and the destruction.
// The operations come from the enums themselves, so one added later is swept too.
//
// Each session must end with no error escaping to the caller and no error box but the ones the
// program shows on purpose, the virtual clock within bounds and no call that waits without limit,
// the refresh timer running after the ticks, every snapshot, process handle, registry key, file
// handle, icon, tray icon, window and polling thread given back, and every setting saved as a
// fault-free session saves it, except the values whose write was the failing operation, which keep
// what was stored before.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/Main.h"
#include "support/ListViewInvariants.h"
#include "support/RegistryTree.h"
#include "support/SimFixture.h"
#include "tasks/NewTask.h"
#include "ui/TApplication.h"

namespace taskwell {
namespace {

using testing::RegistryTree;
using testing::SimFixture;

enum class Mode { Fail, Raise };

const char* ModeName(Mode mode) {
    return mode == Mode::Fail ? "Fail" : "Raise";
}

// What an operation gives back itself: while it fails, that kind of resource cannot be returned and
// is left out of the leak checks (every other kind still counts).
enum class Gives { Nothing, Icons, ToolhelpHandles, RegistryKeys, FileHandles, Windows, Threads, TrayIcons };

// One operation of one group of the simulated machine.
struct Operation {
    std::string name;  // group and operation: "Registry_RegSetValueExA"
    std::string call;  // the operation alone: "RegSetValueExA"
    std::function<void(SimFixture&, Mode)> inject;
    std::function<int(SimFixture&)> calls;  // how often the program called it
    Gives gives = Gives::Nothing;
    // Every value the program stores goes through it: while it fails or raises nothing is stored.
    bool storesSettings = false;
    // Every value the program reads goes through it: while it fails or raises, the stored settings
    // are not seen and the session saves what a first run (nothing stored) saves.
    bool readsSettings = false;
};

template <class E, class Sim>
void AddGroup(std::vector<Operation>& out, const char* group, int count, const char* (*name)(E), Sim SimFixture::*sim) {
    for (int i = 0; i < count; ++i) {
        const E op = static_cast<E>(i);
        Operation o;
        o.call = name(op);
        o.name = std::string(group) + "_" + o.call;
        o.inject = [sim, op](SimFixture& f, Mode mode) {
            if (mode == Mode::Fail)
                (f.*sim).Fail(op);
            else
                (f.*sim).Raise(op);
        };
        o.calls = [sim, op](SimFixture& f) { return (f.*sim).Calls(op); };
        out.push_back(std::move(o));
    }
}

// The operations with a part of their own in the checks.
struct Role {
    const char* name;
    Gives gives;
    bool storesSettings;
    bool readsSettings;
};
constexpr Role kRoles[] = {
    {"Machine_DestroyIcon", Gives::Icons, false, false},
    {"Machine_CloseHandle", Gives::ToolhelpHandles, false, false},
    {"Machine_Shell_NotifyIconA", Gives::TrayIcons, false, false},
    {"Windows_DestroyWindow", Gives::Windows, false, false},
    {"Registry_RegCloseKey", Gives::RegistryKeys, false, false},
    {"Files_CloseHandle", Gives::FileHandles, false, false},
    {"Threads_StopThread", Gives::Threads, false, false},
    {"Registry_RegCreateKeyExA", Gives::Nothing, true, false},
    {"Registry_RegSetValueExA", Gives::Nothing, true, false},
    {"Registry_RegOpenKeyExA", Gives::Nothing, false, true},
    {"Registry_RegQueryValueExA", Gives::Nothing, false, true},
};

// Every operation of every group, in the order of their enums.
const std::vector<Operation>& AllOperations() {
    static const std::vector<Operation> all = [] {
        std::vector<Operation> ops;
        AddGroup(ops, "Machine", sim::kOpCount, &sim::OpName, &SimFixture::machine);
        AddGroup(ops, "Windows", sim::kWinOpCount, &sim::WinOpName, &SimFixture::windows);
        AddGroup(ops, "Registry", sim::kRegOpCount, &sim::RegOpName, &SimFixture::registry);
        AddGroup(ops, "Files", sim::kFileOpCount, &sim::FileOpName, &SimFixture::files);
        AddGroup(ops, "Threads", sim::kThreadOpCount, &sim::ThreadOpName, &SimFixture::threads);
        for (const Role& role : kRoles)
            for (Operation& o : ops)
                if (o.name == role.name) {
                    o.gives = role.gives;
                    o.storesSettings = role.storesSettings;
                    o.readsSettings = role.readsSettings;
                }
        return ops;
    }();
    return all;
}

// ---------------------------------------------------------------------------------------------
// The session.

constexpr DWORD kTaskStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr std::uint64_t kLateAnswerMs = 600;  // beyond the status probe's limit
// A session takes about half a minute of virtual time; one that takes longer waited somewhere.
constexpr std::uint64_t kVirtualTimeBoundMs = 90000;
// Far beyond any session: the sweep stops here rather than spin (see ArmHangGuard).
constexpr std::uint64_t kHangGuardMs = 3600000;
// The page shown when the session closes, so the stored page does not depend on the commands.
constexpr int kClosingPage = 1;

// Ticks: time passes with no command running (the refresh ticks, the other timers, the polling).
enum class Phase { Creation, Ticks, Commands, Close, Destroy };

const char* PhaseName(Phase phase) {
    switch (phase) {
    case Phase::Creation: return "creation";
    case Phase::Ticks: return "ticks and timers";
    case Phase::Commands: return "commands";
    case Phase::Close: return "close";
    case Phase::Destroy: return "destruction";
    }
    return "?";
}

struct Box {
    Phase phase;
    std::string command;  // the command or step running when it was shown
    std::string text;
};

// The questions the commands ask. End Task is answered No, so the session keeps its windows; End
// Process is answered Yes, on a process that never ends, so the session keeps its processes too.
constexpr const char* kEndTaskQuestion = "Are you sure you want to end this task ?";
constexpr const char* kEndProcessQuestion = "Are you sure you want to end this process ?";
const std::set<std::string> kConfirmations = {kEndTaskQuestion, kEndProcessQuestion};

// The rows the commands act on: a window slow to answer, and a process with threads, modules and
// heaps that never ends when it is ended.
constexpr const char* kSelectedTask = "Slow - Paint";
constexpr const char* kStuckProgram = "C:\\APPS\\STUCK.EXE";

struct Scenario {
    explicit Scenario(bool stored, const Operation* fault = nullptr, Mode how = Mode::Fail, std::string refused = "")
        : storedSettings(stored), op(fault), mode(how), refusedValue(std::move(refused)) {}

    bool storedSettings;
    const Operation* op;  // none: a fault-free session
    Mode mode;
    std::string refusedValue;  // a value name the registry refuses to store, in any key

    std::string Label() const {
        std::string label = op                     ? op->name + "_" + ModeName(mode)
                            : refusedValue.empty() ? "FaultFree"
                                                   : "Refused_" + refusedValue;
        return label + (storedSettings ? "_Stored" : "_NoneStored");
    }
};

struct Outcome {
    std::string escaped;  // an error that reached the test (the caller of the program)
    std::vector<Box> boxes;
    bool timerRunning = false;
    int taskRows = 0, processRows = 0;  // after the ticks
    std::vector<std::string> invariantFailures;
    std::uint64_t virtualTime = 0;
    int blockingCalls = 0;
    // Left over after the destruction.
    int snapshots = 0, processHandles = 0, registryKeys = 0, fileHandles = 0, icons = 0, trayIcons = 0,
        programWindows = 0, threads = 0, heldPasses = 0, armedTimers = 0;
    RegistryTree beforeClose;
    RegistryTree after;
    // The values stored at the close and destruction, relative to the settings root.
    std::set<std::string> closeWrites;
    std::set<std::string> commandsClicked;
    std::map<std::string, int> calls;  // by operation
};

void StoreSettings(sim::SimRegistry& r) {
    const HKEY cu = HKEY_CURRENT_USER;
    const std::string root = testing::kSettingsRootPath;
    r.SetDword(cu, root + "\\Application Columns", "Task", 240);
    r.SetDword(cu, root + "\\Application Columns", "Status", 90);
    r.SetDword(cu, root + "\\Logs", "CPU", 1);
    r.SetString(cu, root + "\\Logs", "CPU_Logfile", "C:\\LOGS\\cpu.log");
    r.SetDword(cu, root + "\\Logs", "Mem", 1);
    r.SetString(cu, root + "\\Logs", "Mem_Logfile", "C:\\LOGS\\mem.log");
    for (auto [name, on] : {std::pair{"&Always On Top", 1}, {"&Show icon in tray", 1}, {"&Confirmations", 1},
                            {"&Hide When Minimized", 1}, {"&Show 16-bit tasks", 0}, {"&High", 1}, {"&Normal", 0},
                            {"&Low", 0}, {"&Paused", 0}, {"Lar&ge Icons", 0}, {"S&mall Icons", 1}, {"&List", 0},
                            {"&Details", 0}, {"&Show Kernel Times", 1}})
        r.SetDword(cu, root, name, static_cast<DWORD>(on));
    r.SetDword(cu, root, "ActivePage", 2);
    for (auto [name, on] : {std::pair{"pdImageName", 1}, {"pdCntUsage", 1}, {"pdDefHeapID", 0}, {"pdModuleID", 1},
                            {"pdCntThreads", 1}, {"pdParentID", 1}, {"pdPriority", 0}, {"pddwFlags", 0},
                            {"pdBinTyp", 1}})
        r.SetDword(cu, root + "\\Process Columns", name, static_cast<DWORD>(on));
    r.SetDword(cu, root + "\\Process Columns", "Sorting", static_cast<DWORD>(-2));
    r.SetDword(cu, root + "\\Process Columns", "PID", 70);
    r.SetDword(cu, root + "\\Process Columns", "Image Name", 180);
    const std::string placement = root + "\\taskwell.INI\\frmMain";
    r.SetString(cu, placement, "MyWindowState", "False");
    r.SetString(cu, placement, "Top", "90");
    r.SetString(cu, placement, "Left", "120");
    r.SetString(cu, placement, "Width", "470");
    r.SetString(cu, placement, "Height", "520");
    r.SetString(cu, root + "\\New Tasks", "0", "C:\\WINDOWS\\NOTEPAD.EXE");
    r.SetString(cu, root + "\\New Tasks", "1", "C:\\WINDOWS\\CALC.EXE");
}

// The desktop: the usual processes, programs with task windows (one slow to answer, one whose file
// has no icon, one behind a dialog of its own), a process that never ends and a directory for the
// usage logs.
void SetUpDesktop(SimFixture& f) {
    f.StartDesktop();
    const DWORD edit = f.Start("C:\\APPS\\EDIT.EXE");
    const DWORD paint = f.Start("C:\\APPS\\PAINT.EXE");
    const DWORD viewer = f.Start("C:\\APPS\\VIEWER.EXE", sim::kExePE32, 0x00040000, false);
    const DWORD setup = f.Start("C:\\APPS\\SETUP.EXE");
    auto task = [&](const std::string& caption, DWORD pid, std::uint64_t answerDelayMs, DWORD style = kTaskStyle,
                    HWND owner = 0) {
        sim::SimWindow w;
        w.caption = caption;
        w.className = "Frame";
        w.style = style;
        w.visible = true;
        w.owner = owner;
        w.processId = pid;
        w.threadId = f.machine.AddThread(pid);
        w.answerDelayMs = answerDelayMs;
        return f.windows.AddWindow(w);
    };
    task("Letter - Edit", edit, 0);
    task("Picture - Paint", paint, 0);
    task(kSelectedTask, paint, kLateAnswerMs);
    task("Notes - Viewer", viewer, 0);
    // A popup frame is no task by itself, but is one through the dialog it stands behind.
    const HWND frame = task("Setup", setup, 0, WS_POPUP | WS_CAPTION);
    const HWND dialog = task("Setup - Options", setup, 0, WS_POPUP | kTaskStyle, frame);
    f.windows.Find(frame)->lastActivePopup = dialog;
    sim::SimProcess stuck;
    stuck.szExeFile = kStuckProgram;
    stuck.neverEnds = true;
    stuck.threads = {sim::SimThread{}, sim::SimThread{}};
    stuck.modules = {sim::SimModule{1, 0, 1, 1, 0x00400000, 0x10000, 0x00400000, "STUCK.EXE", kStuckProgram},
                     sim::SimModule{2, 0, 3, 1, 0xBFF70000, 0x70000, 0xBFF70000, "KERNEL32.DLL",
                                    "C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL"}};
    stuck.heaps = {
        sim::SimHeap{0x00520000, 0, 0, {sim::SimHeapBlock{1, 0x00520010, 64}, sim::SimHeapBlock{2, 0x00520050, 128}}},
        sim::SimHeap{0x00620000, 0, 0, {sim::SimHeapBlock{3, 0x00620010, 32}}}};
    f.machine.AddProcess(stuck);
    f.files.AddDirectory("C:\\LOGS");
    f.machine.FileVersions[f.machine.ModulePath] = "1.1.2.25";
    // The program's icon resources as the real module has them, each load an icon of its own that
    // the program must destroy, as the Win32 implementation hands them out.
    for (const char* page : {"PAGE_APPS", "PAGE_PROCS", "PAGE_PERF", "PAGE_SYSINFO"})
        f.machine.IconResources.insert(page);
    f.machine.SharedResourceIcons = false;
}

// A sweep that spins would never end: far beyond any session's length it stops the test binary,
// naming the session.
void ArmHangGuard(SimFixture& f, const std::string& label) {
    f.ui.At(kHangGuardMs, [label] {
        std::fprintf(stderr, "fault sweep: %s is still running after %llu ms of virtual time\n", label.c_str(),
                     static_cast<unsigned long long>(kHangGuardMs));
        std::abort();
    });
}

TButton* OkButton(const TWinControl& parent) {
    for (const auto& c : parent.Controls()) {
        if (auto* b = dynamic_cast<TButton*>(c.get()); b && b->ModalResult == mrOk && b->Enabled() && b->Visible())
            return b;
        if (auto* w = dynamic_cast<const TWinControl*>(c.get()))
            if (TButton* b = OkButton(*w)) return b;
    }
    return nullptr;
}

// A dialog's default answer: its OK button, with an empty entry in the New Task dialog so that OK
// starts nothing; Cancel for a dialog without one.
int AnswerDefault(TForm& dialog) {
    if (auto* run = dynamic_cast<TfrmNewTask*>(&dialog)) run->cbRun->PeerText("");
    if (TButton* ok = OkButton(dialog)) {
        ok->Click();
        return mrOk;
    }
    return mrCancel;
}

class Session {
public:
    explicit Session(const Scenario& s) : s_(s) {}

    Outcome Run() {
        SetUpDesktop(f_);
        if (s_.storedSettings) StoreSettings(f_.registry);
        const int iconsBefore = f_.machine.LiveIcons();
        ArmHangGuard(f_, s_.Label());
        f_.ui.Responder = [this](const sim::MessageBoxCall& call) {
            out_.boxes.push_back(Box{phase_, command_, call.text});
            if (call.text == kEndTaskQuestion) return IDNO;
            if (call.text == kEndProcessQuestion) return IDYES;
            return (call.flags & 0xF) == MB_YESNO ? IDYES : IDOK;
        };
        f_.ui.ModalResponder = [](TForm& dialog) { return AnswerDefault(dialog); };
        if (s_.op) s_.op->inject(f_, s_.mode);
        if (!s_.refusedValue.empty()) f_.registry.RefuseValue(s_.refusedValue);

        phase_ = Phase::Creation;
        Drive("creation", [&] {
            form_ = f_.CreateMainForm();
            form_->Show();
        });
        if (form_) {
            Ticks();
            Commands();
            Close();
        }
        phase_ = Phase::Destroy;
        command_ = "destruction";
        // An error escaping the destructor would end the test binary here.
        form_.reset();
        Collect(iconsBefore);
        return std::move(out_);
    }

private:
    // Runs a step of the test as its caller; an error that reaches it has escaped the program.
    void Drive(const std::string& what, const std::function<void()>& step) {
        command_ = what;
        try {
            step();
        } catch (const std::exception& e) {
            if (out_.escaped.empty()) out_.escaped = what + ": " + e.what();
        } catch (...) {
            if (out_.escaped.empty()) out_.escaped = what + ": an error of no known kind";
        }
    }

    // A user's click as the backend delivers it: an error escaping the handler goes to the
    // application's error box.
    void Click(TMenuItem& item, const std::string& label) {
        Drive(label, [&] { f_.app.Guarded([&] { item.Click(); }); });
        out_.commandsClicked.insert(label);
    }

    // The user selects the row the commands act on (the first row when it is not listed).
    static void SelectRow(TListView& rows, const TListItem* row) {
        const int index = row ? row->Index() : rows.ItemCount() > 0 ? 0 : -1;
        if (index >= 0 && rows.SelectedIndex() != index) rows.PeerSelected(index);
    }

    const TListItem* StuckRow() {
        for (const sim::SimProcess& p : f_.machine.Processes())
            if (p.szExeFile == kStuckProgram) return form_->ProcessPage.FindProcessRow(p.th32ProcessID);
        return nullptr;
    }

    void ShowPage(int page) {
        Drive("page " + std::to_string(page), [&] {
            form_->pcMain->SelectPage(page);
            if (page == 0)
                SelectRow(*form_->ApplicationsPage.sagApplications,
                          form_->ApplicationsPage.sagApplications->FindCaption(0, kSelectedTask));
            if (page == 1) SelectRow(*form_->ProcessPage.sagProcesses, StuckRow());
        });
    }

    void Ticks() {
        phase_ = Phase::Ticks;
        for (int page = 0; page < 4; ++page) {
            ShowPage(page);
            for (int tick = 0; tick < 3; ++tick) {
                Drive("tick on page " + std::to_string(page), [&] {
                    const UINT interval = form_->tmrRefresh.Interval();
                    f_.ui.Advance(interval > 0 ? interval : 1750);
                });
            }
            CheckLists("after the ticks on page " + std::to_string(page));
        }
        for (const auto& t : f_.ui.Timers())
            if (t.timer == &form_->tmrRefresh) out_.timerRunning = t.armed && form_->tmrRefresh.Interval() > 0;
        out_.taskRows = form_->ApplicationsPage.sagApplications->ItemCount();
        out_.processRows = form_->ProcessPage.sagProcesses->ItemCount();
    }

    void CheckLists(const std::string& when) {
        auto note = [&](const ::testing::AssertionResult& r, const char* list) {
            if (!r) out_.invariantFailures.push_back(std::string(list) + " " + when + ": " + r.message());
        };
        note(testing::ImageIndicesValid(*form_->ApplicationsPage.sagApplications), "sagApplications");
        note(testing::ImageIndicesValid(*form_->ProcessPage.sagProcesses), "sagProcesses");
        note(testing::RowsBoundToRecords(*form_->ProcessPage.sagProcesses, form_->ProcessList), "sagProcesses");
    }

    static std::string Path(const TMenuItem& item) {
        std::string path = item.Caption();
        for (const TMenuItem* p = item.ParentItem(); p && p->ParentItem(); p = p->ParentItem())
            path = p->Caption() + " > " + path;
        return path;
    }

    // Clicks every visible, enabled item below parent not clicked yet, opening submenus on the way
    // as the user does. An option a click switched is switched back by a second click, so the
    // options stay as loaded (the confirmations stay on); radio choices are simply clicked.
    void WalkMenu(TMenuItem& parent, int page) {
        for (int i = 0; i < parent.Count(); ++i) {
            TMenuItem& item = parent[i];
            if (item.IsLine() || !item.Visible() || !item.Enabled()) continue;
            if (&item == form_->Menus.itmExit || &item == form_->Menus.itmPopClose) continue;  // the close comes last
            const std::string label = Path(item);
            if (item.Count() > 0) {
                if (item.OnClick) Click(item, label);
                WalkMenu(item, page);
                continue;
            }
            if (!clicked_.insert(&item).second) continue;
            ShowPage(page);
            const bool checked = item.Checked();
            Click(item, label);
            if (!item.RadioItem() && item.Checked() != checked) Click(item, label + " (again)");
        }
    }

    // Pops the menu up once for each of its items and chooses that item, if the popup enabled it.
    void WalkPopup(TPopupMenu& menu, int page) {
        for (int i = 0; i < menu.Items().Count(); ++i) {
            TMenuItem& item = menu.Items()[i];
            if (item.IsLine() || &item == form_->Menus.itmPopClose) continue;
            const std::string label = menu.Name + " > " + item.Caption();
            ShowPage(page);
            bool chosen = false, checked = false;
            f_.ui.PopupResponder = [&](TPopupMenu& shown) {
                if (&shown != &menu || !item.Enabled() || !item.Visible()) return;
                chosen = true;
                checked = item.Checked();
                Click(item, label);
            };
            command_ = label;
            Drive(label, [&] { OpenPopup(menu); });
            if (chosen && !item.RadioItem() && item.Checked() != checked) Click(item, label + " (again)");
        }
        f_.ui.PopupResponder = nullptr;
    }

    // The tray's menu opens as the shell reports a right click to the tray icon's window (straight to
    // its window procedure: the shell's message is no call of the program); the other menus, and
    // the tray's when its window could not be made, open on their list as the backend opens them.
    void OpenPopup(TPopupMenu& menu) {
        if (&menu == &form_->Menus.popTray) {
            if (const sim::SimWindow* tray = f_.windows.Find(form_->TrayIcon.Handle()); tray && tray->handler) {
                tray->handler(TTrayIcon::kNotifyMessage, 0, WM_RBUTTONUP);
                return;
            }
        }
        f_.app.Guarded([&] { menu.Popup(*form_, 10, 10); });
    }

    void Press(TButton* button, int page) {
        if (!button) return;
        ShowPage(page);
        if (!button->Enabled()) return;
        const std::string label = "button " + button->Caption();
        Drive(label, [&] { button->Click(); });
        out_.commandsClicked.insert(label);
    }

    void Commands() {
        phase_ = Phase::Commands;
        TfrmMain& m = *form_;
        for (int page = 0; page < 4; ++page) {
            ShowPage(page);
            WalkMenu(m.Menus.MainMenu.Items(), page);
            if (page == 0) {
                WalkPopup(m.ApplicationsPage.popApplications, page);
                for (TButton* b :
                     {m.ApplicationsPage.btnSwitchTo, m.ApplicationsPage.btnEndTask, m.ApplicationsPage.btnNewTask})
                    Press(b, page);
            }
            if (page == 1) {
                WalkPopup(m.ProcessPage.popProcesses, page);
                Press(m.ProcessPage.btnEndProcess, page);
            }
        }
        WalkPopup(m.Menus.popTray, 2);
        // Back to a speed with a running refresh; time passes (the delayed bring-to-front of the
        // restore, a tick, the polling) with no command running.
        Click(*m.Menus.itmUpdateSpeedNormal, "back to Normal");
        phase_ = Phase::Ticks;
        Drive("time after the commands", [&] { f_.ui.Advance(1750); });
        CheckLists("after the commands");
        Drive("closing page", [&] { m.pcMain->SelectPage(kClosingPage); });
        out_.beforeClose = testing::SettingsTree(f_.registry);
    }

    void Close() {
        phase_ = Phase::Close;
        f_.registry.ClearLog();
        Click(*form_->Menus.itmExit, "close");
        if (!form_->Closed() && out_.escaped.empty()) out_.escaped = "the close did not close the window";
    }

    void Collect(int iconsBefore) {
        const std::string prefix = "HKEY_CURRENT_USER\\" + std::string(testing::kSettingsRootPath) + "\\";
        for (const std::string& w : f_.registry.Writes())
            if (w.compare(0, prefix.size(), prefix) == 0) out_.closeWrites.insert(w.substr(prefix.size()));
        out_.after = testing::SettingsTree(f_.registry);
        out_.virtualTime = f_.machine.Now();
        out_.blockingCalls = f_.windows.BlockingCalls;
        out_.snapshots = f_.machine.OpenSnapshots();
        out_.processHandles = f_.machine.OpenProcessHandles();
        out_.registryKeys = f_.registry.OpenKeys();
        out_.fileHandles = f_.files.OpenHandles();
        out_.icons = f_.machine.LiveIcons() - iconsBefore;
        out_.trayIcons = static_cast<int>(f_.machine.TrayIcons.size());
        for (HWND h : f_.windows.ZOrder())
            if (const sim::SimWindow* w = f_.windows.Find(h); w && w->processId == f_.windows.ProgramProcessId)
                ++out_.programWindows;
        out_.threads = f_.threads.Running();
        out_.heldPasses = f_.threads.Held();
        for (const auto& t : f_.ui.Timers()) out_.armedTimers += t.armed ? 1 : 0;
        for (const Operation& op : AllOperations()) out_.calls[op.name] = op.calls(f_);
    }

    Scenario s_;
    SimFixture f_;
    std::unique_ptr<TfrmMain> form_;
    Outcome out_;
    Phase phase_ = Phase::Creation;
    std::string command_;
    std::set<const TMenuItem*> clicked_;
};

Outcome RunSession(const Scenario& s) {
    return Session(s).Run();
}

// The fault-free sessions, run once.
const Outcome& Baseline(bool storedSettings) {
    static const Outcome stored = RunSession(Scenario(true));
    static const Outcome none = RunSession(Scenario(false));
    return storedSettings ? stored : none;
}

// ---------------------------------------------------------------------------------------------
// The checks.

bool StartsWith(const std::string& text, const std::string& head) {
    return text.compare(0, head.size(), head) == 0;
}

// Whether the program shows this box on purpose in this session; everything else is an error that
// escaped a handler.
bool Legitimate(const Box& box, const Scenario& s) {
    const bool commands = box.phase == Phase::Commands;
    // Questions a command asks, and what help and the updater say when they cannot do their part.
    if (commands && kConfirmations.count(box.text)) return true;
    if (commands && StartsWith(box.text, "Help is not available: ")) return true;
    if (commands && StartsWith(box.text, "The update program ")) return true;
    // A refused write is reported: by the command that stored (the run history, the column widths)
    // or once after the close has saved everything else.
    const bool refusedWrites = !s.refusedValue.empty() || (s.op && s.op->storesSettings);
    if (refusedWrites && StartsWith(box.text, "Failed to set data for '"))
        return commands || box.phase == Phase::Close || box.phase == Phase::Destroy;
    // A raised error in a step of creation is shown and creation goes on; a command the user chose
    // that could not be carried out says why. Ticks, the close and the destruction show none.
    if (s.op && s.mode == Mode::Raise && box.text == s.op->call + " failed")
        return box.phase == Phase::Creation || commands;
    return false;
}

void ExpectClean(const Scenario& s, const Outcome& o) {
    const std::string label = s.Label();
    EXPECT_EQ(o.escaped, "") << label;
    int saveErrors = 0;
    std::map<std::string, int> perCommand;
    for (const Box& b : o.boxes) {
        EXPECT_TRUE(Legitimate(b, s)) << label << ": box \"" << b.text << "\" in " << PhaseName(b.phase) << " ("
                                      << b.command << ")";
        if (StartsWith(b.text, "Failed to set data for '") && b.phase != Phase::Commands) ++saveErrors;
        if (b.phase == Phase::Commands && !kConfirmations.count(b.text)) ++perCommand[b.command];
    }
    EXPECT_LE(saveErrors, 1) << label << ": the refusal at the close is shown once";
    for (const auto& [command, n] : perCommand) {
        EXPECT_LE(n, 1) << label << ": " << command << " showed " << n << " boxes";
    }
    EXPECT_TRUE(o.timerRunning) << label << ": the refresh timer stopped";
    for (const std::string& failure : o.invariantFailures) ADD_FAILURE() << label << ": " << failure;
    EXPECT_LT(o.virtualTime, kVirtualTimeBoundMs) << label;
    EXPECT_EQ(o.blockingCalls, 0) << label << ": a call waited without limit";

    // What the failing operation itself would have given back is left out; everything else counts.
    const Gives gives = s.op ? s.op->gives : Gives::Nothing;
    struct Leftover {
        Gives kind;
        int count;
        const char* what;
    };
    for (const Leftover& l : {Leftover{Gives::ToolhelpHandles, o.snapshots, "snapshots left open"},
                              Leftover{Gives::ToolhelpHandles, o.processHandles, "process handles left open"},
                              Leftover{Gives::RegistryKeys, o.registryKeys, "registry keys left open"},
                              Leftover{Gives::FileHandles, o.fileHandles, "files left open"},
                              Leftover{Gives::Icons, o.icons, "icons left"},
                              Leftover{Gives::TrayIcons, o.trayIcons, "tray icons left"},
                              Leftover{Gives::Windows, o.programWindows, "windows of the program left"},
                              Leftover{Gives::Threads, o.threads, "polling threads left running"}}) {
        if (gives != l.kind) {
            EXPECT_EQ(l.count, 0) << label << ": " << l.what;
        }
    }
    EXPECT_EQ(o.heldPasses, 0) << label;
    EXPECT_EQ(o.armedTimers, 0) << label << ": timers left armed";
}

// Every value the fault-free session stored at the close is stored alike, except the failing
// writes, which leave the value stored before the close as it was.
void ExpectSettingsSaved(const Scenario& s, const Outcome& o, const Outcome& baseline) {
    const std::string label = s.Label();
    const bool noneStored = s.op && s.op->storesSettings;
    for (const std::string& name : baseline.closeWrites) {
        const size_t cut = name.find_last_of('\\');
        const std::string valueName = cut == std::string::npos ? name : name.substr(cut + 1);
        const bool refused = noneStored || valueName == s.refusedValue;
        auto now = o.after.find(name);
        if (refused) {
            EXPECT_EQ(o.closeWrites.count(name), 0u) << label << ": " << name << " was stored";
            auto before = o.beforeClose.find(name);
            EXPECT_EQ(now == o.after.end(), before == o.beforeClose.end()) << label << ": " << name;
            if (now != o.after.end() && before != o.beforeClose.end()) {
                EXPECT_EQ(now->second, before->second) << label << ": " << name << " changed by a refused write";
            }
            continue;
        }
        EXPECT_EQ(o.closeWrites.count(name), 1u) << label << ": " << name << " was not saved";
        const auto& expected = baseline.after.at(name);
        if (now == o.after.end()) {
            ADD_FAILURE() << label << ": " << name << " missing";
            continue;
        }
        EXPECT_EQ(now->second, expected) << label << ": " << name << " is " << testing::DescribeValue(now->second)
                                             << ", a fault-free session stores " << testing::DescribeValue(expected);
    }
    for (const std::string& name : o.closeWrites) {
        EXPECT_EQ(baseline.closeWrites.count(name), 1u) << label << ": " << name << " stored only in this session";
    }
}

// ---------------------------------------------------------------------------------------------

TEST(FaultSweep, TheSweepCoversEveryOperationOfEveryGroup) {
    // Each group's last operation is its last named value: one added after it (and named, as the
    // name functions' switches make sure) would be left out of the sweep.
    EXPECT_STREQ(sim::OpName(static_cast<sim::Op>(sim::kOpCount)), "?");
    EXPECT_STREQ(sim::WinOpName(static_cast<sim::WinOp>(sim::kWinOpCount)), "?");
    EXPECT_STREQ(sim::RegOpName(static_cast<sim::RegOp>(sim::kRegOpCount)), "?");
    EXPECT_STREQ(sim::FileOpName(static_cast<sim::FileOp>(sim::kFileOpCount)), "?");
    EXPECT_STREQ(sim::ThreadOpName(static_cast<sim::ThreadOp>(sim::kThreadOpCount)), "?");
    std::set<std::string> names;
    for (const Operation& op : AllOperations()) {
        EXPECT_EQ(op.name.find('?'), std::string::npos) << op.name;
        EXPECT_TRUE(names.insert(op.name).second) << op.name;
    }
    EXPECT_EQ(names.size(), static_cast<size_t>(sim::kOpCount + sim::kWinOpCount + sim::kRegOpCount +
                                                 sim::kFileOpCount + sim::kThreadOpCount));
    // The operations with a part of their own are still there under their names.
    for (const Role& role : kRoles) EXPECT_EQ(names.count(role.name), 1u) << role.name;
}

TEST(FaultSweep, AFaultFreeSessionIsClean) {
    for (bool stored : {true, false}) {
        const Scenario s(stored);
        const Outcome& o = Baseline(stored);
        ExpectClean(s, o);
        // The session reaches what it is meant to: every task and process listed, every kind of
        // command run, and the whole layout stored at the close.
        EXPECT_EQ(o.taskRows, 6) << s.Label();  // the five tasks and the program's own window
        EXPECT_EQ(o.processRows, 9) << s.Label();
        EXPECT_GE(o.commandsClicked.size(), 50u) << s.Label();
        EXPECT_GE(o.closeWrites.size(), 40u) << s.Label();
        for (const Box& b : o.boxes) {
            EXPECT_EQ(b.phase, Phase::Commands) << s.Label() << ": " << b.text;
        }
    }
}

// Operations a fault-free session never calls, and why: the sweep's sessions for them test only
// that an operation nobody calls changes nothing.
const std::map<std::string, std::string> kNotReached = {
    {"Windows_BringWindowToTop",
     "used only on the program's own windows; other programs' tasks are raised without waiting"},
    {"Windows_SendMessageTimeoutA",
     "the statuses are asked without waiting, End Task is answered No, the other commands act asynchronously"},
    {"Machine_WinExec", "New Task is confirmed with an empty entry, which starts nothing"},
    {"Registry_RegDeleteValueA", "the program deletes no value"},
    {"Registry_RegEnumValueA", "the program enumerates no value"},
    {"Files_DeleteFileA", "only after a log line failed to reach a new file (reached in the write-failure sessions)"},
    {"Files_SetEndOfFile", "only after a log line reached a file in part (reached in the write-failure sessions)"},
};

TEST(FaultSweep, TheSessionReachesEveryOperationButTheNamedOnes) {
    for (const auto& [name, calls] : Baseline(true).calls) {
        const int both = calls + Baseline(false).calls.at(name);
        if (kNotReached.count(name))
            EXPECT_EQ(both, 0) << name << " is reached now: take it off the list";
        else
            EXPECT_GT(both, 0) << name << " is never called by the session";
    }
}

struct SweepCase {
    const Operation* op;
    Mode mode;
    bool storedSettings;
};

void PrintTo(const SweepCase& c, std::ostream* os) {
    *os << Scenario(c.storedSettings, c.op, c.mode).Label();
}

class FaultSweepCase : public ::testing::TestWithParam<SweepCase> {};

TEST_P(FaultSweepCase, NoCrashNoHangNothingLost) {
    const SweepCase& c = GetParam();
    Scenario s(c.storedSettings, c.op, c.mode);
    const Outcome o = RunSession(s);
    ExpectClean(s, o);
    // With the settings unreadable, the session saves what one that found none saves.
    ExpectSettingsSaved(s, o, Baseline(c.storedSettings && !c.op->readsSettings));
}

std::vector<SweepCase> SweepCases() {
    std::vector<SweepCase> cases;
    for (const Operation& op : AllOperations())
        for (Mode mode : {Mode::Fail, Mode::Raise})
            for (bool stored : {true, false}) cases.push_back(SweepCase{&op, mode, stored});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryOperation, FaultSweepCase, ::testing::ValuesIn(SweepCases()),
                         [](const ::testing::TestParamInfo<SweepCase>& info) {
                             return Scenario(info.param.storedSettings, info.param.op, info.param.mode).Label();
                         });

TEST(FaultSweep, ARefusedSettingCostsOnlyItselfAndIsReportedOnce) {
    const Outcome& baseline = Baseline(true);
    std::set<std::string> valueNames;
    for (const std::string& name : baseline.closeWrites) valueNames.insert(name.substr(name.find_last_of('\\') + 1));
    for (const std::string& value : valueNames) {
        Scenario s(true, nullptr, Mode::Fail, value);
        const Outcome o = RunSession(s);
        ExpectClean(s, o);
        ExpectSettingsSaved(s, o, baseline);
        int shown = 0;
        for (const Box& b : o.boxes)
            shown += b.phase != Phase::Commands && b.text == "Failed to set data for '" + value + "'";
        EXPECT_EQ(shown, 1) << s.Label();
    }
}

}  // namespace
}  // namespace taskwell
