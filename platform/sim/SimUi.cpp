#include "platform/sim/SimUi.h"

#include <algorithm>
#include <memory>

#include "ui/DesignScale.h"
#include "ui/TApplication.h"
#include "ui/TFont.h"
#include "ui/TForm.h"
#include "ui/TTimer.h"

namespace taskwell::sim {

class SimTimerPeer : public IPeer {
public:
    SimTimerPeer(SimUi& ui, TTimer& timer) : ui_(ui), timer_(timer) {}
    ~SimTimerPeer() override { ui_.TimerGone(timer_); }
    void Changed(Change what, int) override {
        if (what == Change::Timer) ui_.TimerChanged(timer_);
    }

private:
    SimUi& ui_;
    TTimer& timer_;
};

// A form's window. With the window manager it is an entry of its table: the form's changes set the
// window's state, and the window's minimising and restoring (by the program or the user) reach the
// form and, for the main form, the application, as a native window's WM_SIZE does.
class SimFormPeer : public IPeer {
public:
    SimFormPeer(SimUi& ui, TForm& form) : ui_(ui), form_(form) {
        ui_.forms_.push_back(&form_);
        if (SimWindows* windows = ui_.windows_) {
            SimWindow w;
            w.caption = form.Caption();
            w.className = "TaskwellForm";
            w.processId = windows->ProgramProcessId;
            w.threadId = windows->ProgramThreadId;
            // Other forms stay above the main form, as its dialogs.
            if (TForm* main = form.App().MainForm; main && main != &form) w.owner = ui_.WindowHandle(*main);
            w.visible = false;
            w.enabled = form.Enabled();
            w.left = form.Left();
            w.top = form.Top();
            w.width = form.Width();
            w.height = form.Height();
            std::shared_ptr<bool> alive = alive_;
            w.handler = [this, alive](UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
                return *alive ? WndProc(msg, wParam, lParam) : 0;
            };
            hwnd_ = windows->AddWindow(std::move(w));
        } else {
            hwnd_ = ui_.nextHandle_;
            ui_.nextHandle_ += 4;
        }
        ui_.handles_[&form_] = hwnd_;
    }
    ~SimFormPeer() override {
        *alive_ = false;
        ui_.forms_.erase(std::remove(ui_.forms_.begin(), ui_.forms_.end(), &form_), ui_.forms_.end());
        ui_.handles_.erase(&form_);
        if (ui_.windows_) ui_.windows_->RemoveWindow(hwnd_);
    }

    void Changed(Change what, int) override {
        SimWindows* windows = ui_.windows_;
        SimWindow* w = windows ? windows->Find(hwnd_) : nullptr;
        if (!w) return;
        switch (what) {
        case Change::Visible:
            windows->Apply(hwnd_, form_.Visible() ? ShowCommand() : SW_HIDE);
            break;
        case Change::WindowState:
            // A hidden form takes its state when it is shown.
            if (w->visible) windows->Apply(hwnd_, ShowCommand());
            break;
        case Change::Caption:
            w->caption = form_.Caption();
            break;
        case Change::Enabled:
            w->enabled = form_.Enabled();
            break;
        case Change::Bounds:
            w->left = form_.Left();
            w->top = form_.Top();
            w->width = form_.Width();
            w->height = form_.Height();
            break;
        default:
            break;
        }
    }

private:
    int ShowCommand() const {
        switch (form_.WindowState()) {
        case TWindowState::wsMinimized:
            return SW_SHOWMINIMIZED;
        case TWindowState::wsMaximized:
            return SW_SHOWMAXIMIZED;
        default:
            return SW_RESTORE;
        }
    }

    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
        const bool main = form_.App().MainForm == &form_;
        switch (msg) {
        case kWmSize:
            if (wParam == kSizeMinimized) {
                form_.PeerWindowState(TWindowState::wsMinimized);
                if (main) form_.App().PeerMinimized(true);
                return 0;
            }
            form_.PeerWindowState(wParam == kSizeMaximized ? TWindowState::wsMaximized : TWindowState::wsNormal);
            if (main && form_.App().Minimized()) form_.App().PeerMinimized(false);
            return 0;
        case WM_CLOSE:
            form_.Close();
            return 0;
        default:
            return ui_.windows_->DefWindowProcA(hwnd_, msg, wParam, lParam);
        }
    }

    SimUi& ui_;
    TForm& form_;
    HWND hwnd_ = 0;
    // Cleared when the peer goes, so a message still on its way finds no handler.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

SimUi::~SimUi() = default;

std::unique_ptr<IPeer> SimUi::CreatePeer(TControl& control) {
    if (auto* form = dynamic_cast<TForm*>(&control)) return std::make_unique<SimFormPeer>(*this, *form);
    return nullptr;
}
std::unique_ptr<IPeer> SimUi::CreatePeer(TMenu&) { return nullptr; }
std::unique_ptr<IPeer> SimUi::CreatePeer(TImageList&) { return nullptr; }

std::unique_ptr<IPeer> SimUi::CreatePeer(TTimer& timer) {
    timers_.push_back(Timer{&timer, false, 0, order_++});
    return std::make_unique<SimTimerPeer>(*this, timer);
}

void SimUi::TimerChanged(TTimer& t) {
    for (auto& e : timers_) {
        if (e.timer != &t) continue;
        e.armed = t.Running();
        e.due = machine_.Now() + t.Interval();
    }
}

void SimUi::TimerGone(TTimer& t) {
    timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [&](const Timer& e) { return e.timer == &t; }),
                  timers_.end());
}

std::vector<SimUi::TimerState> SimUi::Timers() const {
    std::vector<TimerState> out;
    for (auto& e : timers_) out.push_back(TimerState{e.timer, e.armed, e.due});
    return out;
}

bool SimUi::RunNextDue(std::uint64_t until) {
    const Timer* bestTimer = nullptr;
    for (auto& e : timers_)
        if (e.armed && e.due <= until && (!bestTimer || e.due < bestTimer->due)) bestTimer = &e;
    const Call* bestCall = nullptr;
    for (auto& c : calls_)
        if (c.due <= until && (!bestCall || c.due < bestCall->due || (c.due == bestCall->due && c.order < bestCall->order)))
            bestCall = &c;
    // An answer of another program's thread that falls due first is taken when it comes, before any
    // timer or scheduled call due at the same time (sent messages come before timers).
    if (const auto answer = windows_ ? windows_->NextAnswerDue() : std::nullopt;
        answer && *answer <= until && (!bestTimer || *answer <= bestTimer->due) &&
        (!bestCall || *answer <= bestCall->due)) {
        if (machine_.Now() < *answer) machine_.SetNow(*answer);
        DeliverPosted();
        return true;
    }
    if (!bestTimer && !bestCall) return false;
    if (bestCall && (!bestTimer || bestCall->due <= bestTimer->due)) {
        if (machine_.Now() < bestCall->due) machine_.SetNow(bestCall->due);
        auto fn = std::move(const_cast<Call*>(bestCall)->fn);
        calls_.erase(calls_.begin() + (bestCall - calls_.data()));
        fn();
        return true;
    }
    TTimer* timer = bestTimer->timer;
    if (machine_.Now() < bestTimer->due) machine_.SetNow(bestTimer->due);
    // Like a native timer the next period counts from now, unless the handler restarts the timer.
    for (auto& e : timers_)
        if (e.timer == timer) e.due = machine_.Now() + timer->Interval();
    timer->Fire();
    return true;
}

bool SimUi::DeliverPosted() {
    return windows_ && windows_->DeliverPosted() > 0;
}

void SimUi::Advance(std::uint64_t ms) {
    std::uint64_t until = machine_.Now() + ms;
    // Posted messages are handled as soon as the loop runs, before any timer that is due.
    DeliverPosted();
    while (RunNextDue(until)) DeliverPosted();
    if (machine_.Now() < until) machine_.SetNow(until);
}

void SimUi::At(std::uint64_t delayMs, std::function<void()> fn) {
    calls_.push_back(Call{machine_.Now() + delayMs, order_++, std::move(fn)});
}

void SimUi::ProcessMessages() {
    Advance(ProcessMessagesQuantum);
}

void SimUi::RunMessageLoop() {
    while (!terminated_) {
        std::uint64_t next = UINT64_MAX;
        for (auto& e : timers_)
            if (e.armed) next = std::min(next, e.due);
        for (auto& c : calls_) next = std::min(next, c.due);
        if (windows_ && windows_->HasPosted()) next = machine_.Now();
        if (const auto answer = windows_ ? windows_->NextAnswerDue() : std::nullopt) next = std::min(next, *answer);
        if (next == UINT64_MAX) return;
        Advance(next > machine_.Now() ? next - machine_.Now() : 0);
    }
}

HWND SimUi::WindowHandle(const TControl& control) {
    auto it = handles_.find(&control);
    return it == handles_.end() ? 0 : it->second;
}

void SimUi::Popup(TPopupMenu& menu, int x, int y) {
    Popups.push_back(PopupCall{&menu, x, y});
    if (PopupResponder) PopupResponder(menu);
}

bool SimUi::ShowHelp(const std::string& helpFile, UINT topic) {
    HelpCalls.push_back(HelpCall{helpFile, topic});
    return HelpAvailable;
}

void SimUi::SetCursor(TCursor cursor) {
    Cursor = cursor;
    CursorChanges.push_back(cursor);
}

int SimUi::TextWidth(const TFont& font, const std::string& text) {
    const int perChar = ScaleDesignLength((font.Size * 3 + 3) / 4 + (font.Bold ? 1 : 0), LogPixels);
    return static_cast<int>(text.size()) * perChar;
}

void SimUi::WindowSizeForClient(const TForm& form, int clientWidth, int clientHeight, int& width, int& height) {
    const TRect frame = TForm::ClassicFrame(form.BorderStyle, form.Menu() != nullptr);
    width = clientWidth + frame.Left + frame.Right;
    height = clientHeight + frame.Top + frame.Bottom;
}

namespace {
// The owner form takes no input while a box or dialog it owns is up: disabled for as long as this
// lives, whatever happens meanwhile (a form that was disabled already stays so).
class OwnerDisabled {
public:
    explicit OwnerDisabled(TForm* owner) : owner_(owner && owner->Enabled() ? owner : nullptr) {
        if (owner_) owner_->SetEnabled(false);
    }
    ~OwnerDisabled() {
        if (owner_) owner_->SetEnabled(true);
    }
    OwnerDisabled(const OwnerDisabled&) = delete;
    OwnerDisabled& operator=(const OwnerDisabled&) = delete;

private:
    TForm* owner_;
};

// Records the dialog as it was set up and lets the responder answer it; a cancelled dialog keeps
// its file name, as the system's does.
template <class Dialog>
bool AnswerFileDialog(Dialog& dialog, TForm* owner, std::vector<Dialog>& record, std::vector<const TForm*>& owners,
                      const std::function<bool(Dialog&)>& responder) {
    record.push_back(dialog);
    owners.push_back(owner);
    const std::string before = dialog.FileName;
    OwnerDisabled disabled(owner);
    if (responder && responder(dialog)) return true;
    dialog.FileName = before;
    return false;
}
}  // namespace

bool SimUi::ExecuteSaveDialog(TSaveDialog& dialog, TForm* owner) {
    return AnswerFileDialog(dialog, owner, SaveDialogs, FileDialogOwners, SaveDialogResponder);
}

bool SimUi::ExecuteOpenDialog(TOpenDialog& dialog, TForm* owner) {
    return AnswerFileDialog(dialog, owner, OpenDialogs, FileDialogOwners, OpenDialogResponder);
}

void SimUi::RunModal(TForm& form) {
    form.Show();
    ModalForms.push_back(form.Caption());
    int result = ModalResponder ? ModalResponder(form) : mrCancel;
    if (form.ModalResult == mrNone) form.ModalResult = result == mrNone ? mrCancel : result;
}

int SimUi::MessageBox(TForm* owner, const std::string& text, const std::string& caption, UINT flags) {
    MessageBoxCall call{owner == nullptr, text, caption, flags, owner};
    MessageBoxes.push_back(call);
    OwnerDisabled disabled(owner);
    if (Responder) return Responder(call);
    UINT buttons = flags & 0xF;
    return buttons == MB_YESNO ? IDYES : IDOK;
}

}  // namespace taskwell::sim
