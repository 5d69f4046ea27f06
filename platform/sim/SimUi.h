// The headless user-interface backend of the simulated machine. Widgets get no native peers; timers
// run on the machine's virtual clock, which only moves when a test advances it or the program
// processes messages (each round of message processing lets one millisecond pass, so a busy wait
// ends). Message boxes are answered by a responder and recorded. While a message box or file dialog
// is up (its responder runs), its owner form is disabled, as the system disables the owner window:
// a click on the owner's buttons does nothing meanwhile.
//
// Given the machine's window manager, each form's window is a window of its table (so the form's
// handle is a real entry there, and what the program does to it is logged), the form follows the
// minimising and restoring of its window, and message processing delivers posted messages.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/UiBackend.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimWindows.h"
#include "ui/TOpenDialog.h"
#include "ui/TSaveDialog.h"

namespace taskwell::sim {

struct MessageBoxCall {
    bool ownedByDesktop;
    std::string text;
    std::string caption;
    UINT flags;
    const TForm* owner = nullptr;
};

class SimUi : public IUiBackend {
public:
    explicit SimUi(SimMachine& machine) : machine_(machine) {}
    SimUi(SimMachine& machine, SimWindows& windows) : machine_(machine), windows_(&windows) {}
    ~SimUi() override;

    std::unique_ptr<IPeer> CreatePeer(TControl& control) override;
    std::unique_ptr<IPeer> CreatePeer(TMenu& menu) override;
    std::unique_ptr<IPeer> CreatePeer(TImageList& images) override;
    std::unique_ptr<IPeer> CreatePeer(TTimer& timer) override;

    void ProcessMessages() override;
    // Runs until Terminate, moving the clock from one due timer or scheduled call to the next; returns
    // when nothing is left that could ever happen.
    void RunMessageLoop() override;
    void Terminate() override { terminated_ = true; }
    bool Terminated() const { return terminated_; }

    // Modal forms are answered by ModalResponder, which may look at and click the form's widgets and
    // returns the result; without one a modal form is cancelled.
    void RunModal(TForm& form) override;
    std::function<int(TForm&)> ModalResponder;
    std::vector<std::string> ModalForms;  // captions of the forms shown modally, in order

    int MessageBox(TForm* owner, const std::string& text, const std::string& caption, UINT flags) override;
    void ApplicationChanged() override { ++applicationChanges_; }
    bool IsUsableIcon(HICON icon) override { return machine_.IsUsableIcon(icon); }
    HWND WindowHandle(const TControl& control) override;
    // Popup menus are recorded and answered by PopupResponder, which may click an item.
    void Popup(TPopupMenu& menu, int x, int y) override;
    struct PopupCall {
        TPopupMenu* menu;
        int x, y;
    };
    std::vector<PopupCall> Popups;
    std::function<void(TPopupMenu&)> PopupResponder;
    // Help requests are recorded; HelpAvailable says whether a viewer and the file are there.
    bool ShowHelp(const std::string& helpFile, UINT topic) override;
    struct HelpCall {
        std::string file;
        UINT topic;
    };
    std::vector<HelpCall> HelpCalls;
    bool HelpAvailable = false;

    // The cursor asked for, and every change of it in order.
    void SetCursor(TCursor cursor) override;
    TCursor Cursor = TCursor::crDefault;
    std::vector<TCursor> CursorChanges;

    // Text widths without a screen: each character is as wide as three quarters of the font's point
    // size, rounded up (6 pixels at 8 points), one more in bold, at 96 dpi; on a screen of LogPixels
    // scaled as a design length is. Deterministic, so tests can say exactly which text fits a field.
    int TextWidth(const TFont& font, const std::string& text) override;
    // The screen's logical DPI the program is told (Large Fonts: 120).
    int ScreenLogPixels() override { return LogPixels; }
    int LogPixels = 96;
    // Save dialogs are recorded (as they were set up) and answered by SaveDialogResponder, which may
    // set the dialog's FileName and returns whether the user confirmed; without one they are
    // cancelled. A cancelled dialog leaves FileName as it was, whatever the responder did to it.
    bool ExecuteSaveDialog(TSaveDialog& dialog, TForm* owner) override;
    std::function<bool(TSaveDialog&)> SaveDialogResponder;
    std::vector<TSaveDialog> SaveDialogs;
    // Open dialogs likewise, with OpenDialogResponder.
    bool ExecuteOpenDialog(TOpenDialog& dialog, TForm* owner) override;
    std::function<bool(TOpenDialog&)> OpenDialogResponder;
    std::vector<TOpenDialog> OpenDialogs;
    // The owner of every file dialog shown (of both kinds), in order; null for the desktop.
    std::vector<const TForm*> FileDialogOwners;

    // The classic frame metrics of the form's border style (TForm::ClassicFrame).
    void WindowSizeForClient(const TForm& form, int clientWidth, int clientHeight, int& width,
                             int& height) override;

    // Test driving.
    // Lets ms milliseconds of virtual time pass, firing the timers and scheduled calls due on the way.
    void Advance(std::uint64_t ms);
    // Runs fn when the clock reaches now + delayMs.
    void At(std::uint64_t delayMs, std::function<void()> fn);
    // Answers message boxes; by default the first button (OK or Yes).
    std::function<int(const MessageBoxCall&)> Responder;
    std::vector<MessageBoxCall> MessageBoxes;
    int ApplicationChanges() const { return applicationChanges_; }
    // Milliseconds one round of message processing lets pass.
    std::uint64_t ProcessMessagesQuantum = 1;

    // The forms that have been shown and not destroyed, in order of showing: the windows on screen.
    const std::vector<TForm*>& Forms() const { return forms_; }

    // Timers that will fire.
    struct TimerState {
        TTimer* timer;
        bool armed;
        std::uint64_t due;
    };
    std::vector<TimerState> Timers() const;

private:
    friend class SimTimerPeer;
    friend class SimFormPeer;
    std::vector<TForm*> forms_;
    std::map<const TControl*, HWND> handles_;
    // Delivers the messages posted to windows of the table; false when there were none.
    bool DeliverPosted();
    HWND nextHandle_ = 0x00010010;
    void TimerChanged(TTimer& t);
    void TimerGone(TTimer& t);
    // The earliest due event at or before 'until'; false when none.
    bool RunNextDue(std::uint64_t until);

    SimMachine& machine_;
    SimWindows* windows_ = nullptr;
    struct Timer {
        TTimer* timer;
        bool armed;
        std::uint64_t due;
        std::uint64_t order;
    };
    std::vector<Timer> timers_;
    struct Call {
        std::uint64_t due;
        std::uint64_t order;
        std::function<void()> fn;
    };
    std::vector<Call> calls_;
    std::uint64_t order_ = 0;
    bool terminated_ = false;
    int applicationChanges_ = 0;
};

}  // namespace taskwell::sim
