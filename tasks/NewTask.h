// The new task dialog: the user types or picks a program, folder or document to start, from a
// history of earlier entries kept in the current user's registry (most recent first, at most 21).
// The history is read when the dialog is made and written only when OK is pressed; Cancel discards
// every change made in the dialog, browsed files included. Created for one showing by the
// Applications page's New Task command (RunNewTask), which starts the chosen entry.
#pragma once

#include <string>

#include "components/TRegistryEnhanced.h"
#include "platform/Platform.h"
#include "ui/StdCtrls.h"
#include "ui/TComboBox.h"
#include "ui/TForm.h"
#include "ui/TOpenDialog.h"

namespace taskwell {

class TfrmNewTask : public TForm {
public:
    // Builds the dialog and loads the history (FormCreate) through the settings accessor.
    TfrmNewTask(TApplication& app, TRegistryEnhanced& registry);

    // The history's key below HKEY_CURRENT_USER; its values are named "0" (most recent) to "20".
    static constexpr const char* kHistoryKey = "Software\\Orvex Software\\Taskwell\\New Tasks\\";
    static constexpr int kMaxEntries = 21;
    static constexpr const char* kCaption = "New Task";

    // Loads the stored entries "0" to "20" in the order of their names. A missing, unreadable or
    // empty value is skipped without stopping the loading, and so is one equal (ignoring case) to
    // an entry already loaded. The most recent entry shows in the field.
    void FormCreate();
    // Lets the user pick a file and puts it at the top of the list; nothing is saved yet.
    void btnBrowseClick();
    // Puts the field's text at the top of the list and saves the whole list; the dialog then
    // closes with OK. Values stored beyond the list's count are left as they are. A blank text
    // changes nothing.
    void btnOkClick();

    TLabel* lblRun;
    TComboBox* cbRun;
    TButton* btnBrowse;
    TButton* btnOk;
    TButton* btnCancel;
    TOpenDialog OpenDialog;

private:
    // Deletes the oldest entries until there is room for one more.
    void MakeRoomForOne();
    // Moves the entry equal to text (ignoring case) to the top, keeping its text as stored, or
    // inserts text at the top when there is none; the top entry is then selected.
    void PutOnTop(const std::string& text);

    TRegistryEnhanced& registry_;
};

// Starts an entry as a command line and, when that fails, opens it through the shell; true when one
// of them started something. A blank text, or one longer than a path can be, is handed to neither.
bool StartEntry(const Platform& platform, const std::string& text);

// The Applications page's New Task command: shows the dialog over the owner and, on OK with an
// entry that is not blank, starts it (StartEntry); when nothing could be started the user is told
// that it cannot be found. The dialog is destroyed on every path.
void RunNewTask(TForm& owner, TRegistryEnhanced& registry, const Platform& platform);

}  // namespace taskwell
