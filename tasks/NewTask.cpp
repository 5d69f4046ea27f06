#include "tasks/NewTask.h"

#include <exception>
#include <memory>
#include <optional>

#include "app/MiscUtils.h"
#include "app/PathUtils.h"
#include "ui/Exception.h"
#include "ui/TApplication.h"

namespace taskwell {

namespace {
constexpr int kClientWidth = 366;
constexpr int kClientHeight = 107;
constexpr int kNewTaskTopic = 140;
// What a read gives for a value that is missing or unreadable: no entry can be this text.
const std::string kNoEntry(1, '\0');
// Above this, WinExec started the program; at or below, it names why it could not.
constexpr UINT kLastExecError = 31;
// Above this, the shell opened the file; at or below, it names why it could not.
constexpr HINSTANCE kLastShellError = 32;
// The longest text a path can be. The shell's code takes no longer file name (a longer one can end
// the process inside it), and the command lines of the Windows 95 family are no longer either.
constexpr std::size_t kLongestPath = MAX_PATH - 1;
// How much of the text the "cannot find" answer shows.
constexpr std::size_t kShownLength = 40;

// Whether the text holds nothing but blanks: an entry that names nothing.
bool Blank(const std::string& text) {
    return text.find_first_not_of(" \t") == std::string::npos;
}

// WinExec takes the command line up to the first space as the program. A text that as a whole
// names an existing file or folder ("C:\Program Files\Editor\edit.exe") is therefore handed over
// in quotes, unless it is quoted already. A text the probe cannot answer for goes as typed.
std::string CommandLineOf(IFiles& files, const std::string& text) {
    if (text.empty() || text.front() == '"') return text;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    try {
        attributes = files.GetFileAttributesA(text);
    } catch (...) {
        attributes = INVALID_FILE_ATTRIBUTES;
    }
    return attributes == INVALID_FILE_ATTRIBUTES ? text : "\"" + text + "\"";
}
}  // namespace

TfrmNewTask::TfrmNewTask(TApplication& app, TRegistryEnhanced& registry)
    : TForm(app), OpenDialog(app), registry_(registry) {
    Name = "frmNewTask";
    BorderStyle = TBorderStyle::bsToolWindow;
    HelpContext = kNewTaskTopic;
    SetCaption(kCaption);
    SetClientSize(Scaled(kClientWidth), Scaled(kClientHeight));

    lblRun = &Add<TLabel>("Type the name of a program, folder, or document to run :");
    lblRun->Name = "lblRun";
    lblRun->SetDesignBounds(8, 8, 350, 13);
    cbRun = &Add<TComboBox>();
    cbRun->Name = "cbRun";
    cbRun->SetDesignBounds(8, 28, 318, 21);
    btnBrowse = &Add<TButton>("...");
    btnBrowse->Name = "btnBrowse";
    btnBrowse->SetDesignBounds(332, 28, 26, 21);
    btnBrowse->OnClick = [this] { btnBrowseClick(); };
    btnOk = &Add<TButton>("&Ok");
    btnOk->Name = "btnOk";
    btnOk->Default = true;
    btnOk->ModalResult = mrOk;
    btnOk->SetDesignBounds(104, 72, 75, 25);
    btnOk->OnClick = [this] { btnOkClick(); };
    // The cancel button: Escape closes the dialog with the same result.
    btnCancel = &Add<TButton>("&Cancel");
    btnCancel->Name = "btnCancel";
    btnCancel->ModalResult = mrCancel;
    btnCancel->SetDesignBounds(187, 72, 75, 25);
    ActiveControl = cbRun;

    OpenDialog.Title = "Choose a program, folder or document";
    OpenDialog.Filter = {{"All files", "*.*"},
                         {"Executables", "*.exe;*.com;*.bat"},
                         {"Text files", "*.txt"},
                         {"Documents", "*.doc"},
                         {"HTML", "*.htm*"}};
    OpenDialog.DefaultExt = "exe";
    OpenDialog.Options = ofHideReadOnly | ofPathMustExist | ofFileMustExist;

    FormCreate();
}

void TfrmNewTask::FormCreate() {
    registry_.RootKey = TRootKey::hkCurrentUser;
    registry_.Key = kHistoryKey;
    for (int n = 0; n < kMaxEntries; ++n) {
        const std::optional<std::string> entry = registry_.ReadValue(std::to_string(n), kNoEntry).AsText();
        // An entry is a text; a value of another kind is no entry.
        if (!entry || *entry == kNoEntry || entry->empty()) continue;
        // The same entry stored twice (left behind past the count by an older list) is shown once.
        bool known = false;
        for (int i = 0; i < cbRun->ItemCount() && !known; ++i) known = SameText(cbRun->Item(i), *entry);
        if (!known) cbRun->AddItem(*entry);
    }
    if (cbRun->ItemCount() > 0) cbRun->SetItemIndex(0);
}

void TfrmNewTask::MakeRoomForOne() {
    while (cbRun->ItemCount() > kMaxEntries - 1) cbRun->DeleteItem(cbRun->ItemCount() - 1);
}

void TfrmNewTask::PutOnTop(const std::string& text) {
    std::string entry = text;
    for (int i = 0; i < cbRun->ItemCount(); ++i) {
        if (!SameText(cbRun->Item(i), text)) continue;
        entry = cbRun->Item(i);
        cbRun->DeleteItem(i);
        break;
    }
    cbRun->InsertItem(0, entry);
    cbRun->SetItemIndex(0);
}

void TfrmNewTask::btnBrowseClick() {
    if (!OpenDialog.Execute()) return;
    MakeRoomForOne();
    PutOnTop(OpenDialog.FileName);
}

void TfrmNewTask::btnOkClick() {
    // A blank line starts nothing, and a remembered command is not pushed out for it.
    if (Blank(cbRun->Text())) return;
    MakeRoomForOne();
    PutOnTop(cbRun->Text());
    registry_.RootKey = TRootKey::hkCurrentUser;
    registry_.Key = kHistoryKey;
    // A value the registry refuses does not cost the others, nor the start of the entry: every
    // entry is written, the dialog closes with OK, and the first refusal is then reported.
    std::exception_ptr refused;
    for (int i = 0; i < cbRun->ItemCount(); ++i) {
        try {
            registry_.WriteValue(std::to_string(i), cbRun->Item(i));
        } catch (const Exception&) {
            if (!refused) refused = std::current_exception();
        }
    }
    if (refused) {
        ModalResult = mrOk;
        std::rethrow_exception(refused);
    }
}

bool StartEntry(const Platform& platform, const std::string& text) {
    if (Blank(text) || text.size() > kLongestPath) return false;
    if (platform.Processes.WinExec(CommandLineOf(platform.Files, text), SW_SHOW) > kLastExecError) return true;
    return platform.Processes.ShellExecuteA(platform.Windows.GetDesktopWindow(), "open", text, "", "", SW_SHOW) >
           kLastShellError;
}

void RunNewTask(TForm& owner, TRegistryEnhanced& registry, const Platform& platform) {
    auto dialog = std::make_unique<TfrmNewTask>(owner.App(), registry);
    PlaceDialog(*dialog, owner);
    if (dialog->ShowModal() != mrOk) return;
    // The entry as the history stores it (a case-insensitive match runs as stored).
    const std::string text = dialog->cbRun->Text();
    if (Blank(text) || StartEntry(platform, text)) return;
    std::string shown = text.substr(0, kShownLength);
    if (shown.size() < text.size()) shown += "...";
    owner.App().MessageBox("Cannot find '" + shown + "'. Make sure the name is typed correctly, then try again.",
                           TfrmNewTask::kCaption, MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace taskwell
