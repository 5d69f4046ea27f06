#include "ui/TForm.h"

#include "ui/StdCtrls.h"
#include "ui/TApplication.h"
#include "ui/TMenu.h"

namespace taskwell {

namespace {
constexpr int kSizeableFrame = 4;
constexpr int kFixedFrame = 3;
constexpr int kCaption = 18;
constexpr int kToolCaption = 15;
constexpr int kMenuBar = 19;
}  // namespace

TForm::TForm(TApplication& app) : app_(app) {
    SetVisible(false);
}

TForm::~TForm() = default;

void TForm::SetMenu(TMainMenu* menu) {
    menu_ = menu;
    if (menu_ && Realised()) menu_->Realise(this);
    Realign();
}

void TForm::SetWindowState(TWindowState s) {
    if (s == state_) return;
    state_ = s;
    Notify(Change::WindowState);
}

void TForm::PeerWindowState(TWindowState s) {
    state_ = s;
}

TRect TForm::ClassicFrame(TBorderStyle style, bool hasMenu) {
    const int frame = style == TBorderStyle::bsSizeable ? kSizeableFrame : kFixedFrame;
    const int caption = style == TBorderStyle::bsToolWindow ? kToolCaption : kCaption;
    return TRect{frame, frame + caption + (hasMenu ? kMenuBar : 0), frame, frame};
}

TRect TForm::ClientRect() const {
    if (peerClientW_ >= 0) return TRect{0, 0, peerClientW_, peerClientH_};
    const TRect frame = ClassicFrame(BorderStyle, menu_ != nullptr);
    int w = Width() - frame.Left - frame.Right;
    int h = Height() - frame.Top - frame.Bottom;
    return TRect{0, 0, w < 0 ? 0 : w, h < 0 ? 0 : h};
}

void TForm::SetClientSize(int width, int height) {
    int outerWidth = width, outerHeight = height;
    app_.Backend().WindowSizeForClient(*this, width, height, outerWidth, outerHeight);
    SetBounds(Left(), Top(), outerWidth, outerHeight);
}

void TForm::PeerClientSize(int width, int height) {
    peerClientW_ = width;
    peerClientH_ = height;
    Realign();
    app_.Guarded([&] {
        if (OnResize) OnResize();
    });
}

bool TForm::Showing() const {
    return Visible() && state_ != TWindowState::wsMinimized && !app_.Minimized();
}

void TForm::BoundsChanged() {
    TWinControl::BoundsChanged();
    if (peerClientW_ < 0) {
        app_.Guarded([&] {
            if (OnResize) OnResize();
        });
    }
}

void TForm::Show() {
    if (!Realised()) {
        Realise();
        if (menu_) menu_->Realise(this);
    }
    SetVisible(true);
    if (!shownOnce_) {
        shownOnce_ = true;
        app_.Guarded([&] {
            if (OnShow) OnShow();
        });
    }
}

void TForm::Hide() {
    SetVisible(false);
}

void TForm::Close() {
    if (OnCloseQuery) {
        bool canClose = true;
        app_.Guarded([&] { canClose = OnCloseQuery(); });
        if (!canClose) return;
    }
    if (modal_) {
        app_.Guarded([&] {
            if (OnClose) OnClose();
        });
        if (ModalResult == mrNone) ModalResult = mrCancel;
        return;
    }
    if (closed_) return;
    closed_ = true;
    app_.Guarded([&] {
        if (OnClose) OnClose();
    });
    Hide();
    if (app_.MainForm == this) app_.Terminate();
}

namespace {
TButton* DefaultButton(const TWinControl& parent) {
    for (auto& child : parent.Controls()) {
        if (auto* button = dynamic_cast<TButton*>(child.get()); button && button->Default) return button;
        if (auto* inner = dynamic_cast<TWinControl*>(child.get()))
            if (TButton* found = DefaultButton(*inner)) return found;
    }
    return nullptr;
}
}  // namespace

namespace {
// Whether c is one of the controls inside parent, at any depth. Compares addresses only, so a
// pointer to a control that no longer exists is merely not found.
bool Holds(const TWinControl& parent, const TControl* c) {
    for (auto& child : parent.Controls()) {
        if (child.get() == c) return true;
        if (auto* inner = dynamic_cast<const TWinControl*>(child.get()); inner && Holds(*inner, c)) return true;
    }
    return false;
}
}  // namespace

void TForm::FocusControl(TControl& control) {
    ActiveControl = &control;
    Notify(Change::Focus);
}

TControl* TForm::FocusTarget() const {
    if (!ActiveControl || !Holds(*this, ActiveControl)) return nullptr;
    for (const TControl* c = ActiveControl; c && c != this; c = c->Parent())
        if (!c->Visible() || !c->Enabled()) return nullptr;
    return ActiveControl;
}

bool TForm::DialogKey(int virtualKey) {
    constexpr int kReturn = 0x0D;
    constexpr int kEscape = 0x1B;
    if (!modal_) return false;
    if (virtualKey == kReturn) {
        TButton* button = DefaultButton(*this);
        if (!button) return false;
        button->Click();
        return true;
    }
    if (virtualKey == kEscape) {
        Close();
        return true;
    }
    return false;
}

int TForm::ShowModal() {
    ModalResult = mrNone;
    modal_ = true;
    app_.ModalBegins(*this);
    try {
        app_.Backend().RunModal(*this);
    } catch (...) {
        modal_ = false;
        app_.ModalEnds(*this);
        Hide();
        throw;
    }
    modal_ = false;
    app_.ModalEnds(*this);
    Hide();
    return ModalResult;
}

}  // namespace taskwell
