// The application object: title, help file, task bar icon, the main form, message processing, the
// minimise hook, and the handling of errors that escape event handlers.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "platform/UiBackend.h"

namespace taskwell {

class TForm;

class TApplication {
public:
    explicit TApplication(IUiBackend& backend) : backend_(backend) {}
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;

    IUiBackend& Backend() const { return backend_; }

    // The screen's logical DPI as the backend said it when first asked (0: unknown): every form
    // scales by the same one (the system applies a change of it only after a restart anyway).
    int ScreenDpi() const;

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title);
    std::string HelpFile;
    // Help on a topic was asked for (F1 on an element, or a menu command); the program shows it.
    std::function<void(int topic)> OnHelp;
    void HelpContext(int topic);
    // The icon of the application's windows (their captions and task bar buttons); 0 for the
    // program's own. The windows show the picture itself, and a hidden one may hold an earlier
    // picture until it is shown: every picture given here must stay valid until the icon is set to 0.
    HICON Icon() const { return icon_; }
    void SetIcon(HICON icon);

    TForm* MainForm = nullptr;

    // Called when the application is minimised or restored as a whole (the task bar button).
    std::function<void()> OnMinimize;
    std::function<void()> OnRestore;
    bool Minimized() const { return minimized_; }
    // Reported by the backend when the user minimises or restores the program.
    void PeerMinimized(bool minimized);

    void ProcessMessages() { backend_.ProcessMessages(); }
    // Shows the main form and handles messages until Terminate.
    void Run();
    void Terminate();
    bool Terminated() const { return terminated_; }

    // A message box owned by DialogOwner().
    int MessageBox(const std::string& text, const std::string& caption, UINT flags);

    // The form shown modally now, the innermost when one opened another; null when none is.
    TForm* ModalForm() const { return modalForms_.empty() ? nullptr : modalForms_.back(); }
    // The owner of a message box or file dialog shown now: the modal form (so the box keeps it from
    // taking input until it is answered), else the main form.
    TForm* DialogOwner() const { return ModalForm() ? ModalForm() : MainForm; }
    // A form's modal showing begins or ends (TForm::ShowModal).
    void ModalBegins(TForm& form) { modalForms_.push_back(&form); }
    void ModalEnds(TForm& form);

    // The cursor over the program's windows (the hourglass while a long step runs).
    TCursor Cursor() const { return cursor_; }
    void SetCursor(TCursor cursor);

    // An error escaped an event handler: show its text and go on.
    void HandleException(const std::exception& e);
    // Runs a handler, handing any error it raises to HandleException.
    void Guarded(const std::function<void()>& handler);

private:
    IUiBackend& backend_;
    mutable int screenDpi_ = 0;
    mutable bool screenDpiRead_ = false;
    std::string title_;
    HICON icon_ = 0;
    bool minimized_ = false;
    bool terminated_ = false;
    TCursor cursor_ = TCursor::crDefault;
    std::vector<TForm*> modalForms_;
};

// Shows the hourglass for as long as it lives (or until Restore) and then puts back the cursor that
// was shown before, also when the step it covers ends with an error.
class THourGlass {
public:
    explicit THourGlass(TApplication& app) : app_(app), previous_(app.Cursor()) {
        app_.SetCursor(TCursor::crHourGlass);
    }
    ~THourGlass() {
        try {
            Restore();
        } catch (...) {
        }
    }
    THourGlass(const THourGlass&) = delete;
    THourGlass& operator=(const THourGlass&) = delete;
    void Restore() {
        if (active_) app_.SetCursor(previous_);
        active_ = false;
    }

private:
    TApplication& app_;
    TCursor previous_;
    bool active_ = true;
};

}  // namespace taskwell
