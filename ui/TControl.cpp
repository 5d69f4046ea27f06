#include "ui/TControl.h"

#include "ui/DesignScale.h"
#include "ui/TApplication.h"
#include "ui/TForm.h"
#include "ui/TMenu.h"

namespace taskwell {

TControl::~TControl() = default;

TApplication* TControl::Application() const {
    return parent_ ? parent_->Application() : nullptr;
}

int TControl::Scaled(int designLength) const {
    const TApplication* app = Application();
    return ScaleDesignLength(designLength, app ? app->ScreenDpi() : kDesignDpi);
}

void TControl::SetBounds(int left, int top, int width, int height) {
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    Notify(Change::Bounds);
    BoundsChanged();
}

void TControl::PeerBoundsChanged(int left, int top, int width, int height) {
    bool same = left == left_ && top == top_ && width == width_ && height == height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (!same) BoundsChanged();
}

void TControl::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    Notify(Change::Visible);
    if (parent_) parent_->Realign();
}

bool TControl::EnabledWithParents() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (!c->Enabled()) return false;
    return true;
}

void TControl::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Notify(Change::Enabled);
}

void TControl::SetCaption(const std::string& v) {
    if (v == caption_) return;
    caption_ = v;
    Notify(Change::Caption);
}

void TControl::SetFont(const TFont& font) {
    if (font == font_) return;
    font_ = font;
    Notify(Change::Font);
}

TForm* TControl::ParentForm() const {
    for (const TControl* c = this; c; c = c->Parent())
        if (auto* form = dynamic_cast<const TForm*>(c)) return const_cast<TForm*>(form);
    return nullptr;
}

void TControl::PeerContextPopup(int x, int y) {
    TForm* form = ParentForm();
    if (!PopupMenu || !form) return;
    form->App().Guarded([&] { PopupMenu->Popup(*form, x, y); });
}

void TControl::SetAlign(TAlign a) {
    if (a == align_) return;
    align_ = a;
    if (parent_) parent_->Realign();
}

void TControl::Realise() {
    if (realised_) return;
    realised_ = true;
    if (TApplication* app = Application()) peer_ = app->Backend().CreatePeer(*this);
}

void TControl::Unrealise() {
    peer_.reset();
    realised_ = false;
}

TWinControl::~TWinControl() {
    // Children go first, while this control still exists for their peers.
    while (!children_.empty()) children_.pop_back();
}

void TWinControl::Adopt(std::unique_ptr<TControl> child) {
    child->parent_ = this;
    TControl& ref = *child;
    children_.push_back(std::move(child));
    if (Realised()) ref.Realise();
    Realign();
}

void TWinControl::Realign() {
    TRect r = ClientRect();
    r.Left += Padding.Left;
    r.Top += Padding.Top;
    r.Right -= Padding.Right;
    r.Bottom -= Padding.Bottom;
    for (auto& c : children_) {
        if (!c->Visible()) continue;
        switch (c->Align()) {
        case TAlign::alTop:
            c->SetBounds(r.Left, r.Top, r.Width(), c->Height());
            r.Top += c->Height();
            break;
        case TAlign::alBottom:
            c->SetBounds(r.Left, r.Bottom - c->Height(), r.Width(), c->Height());
            r.Bottom -= c->Height();
            break;
        default:
            break;
        }
    }
    for (auto& c : children_) {
        if (!c->Visible()) continue;
        switch (c->Align()) {
        case TAlign::alLeft:
            c->SetBounds(r.Left, r.Top, c->Width(), r.Height());
            r.Left += c->Width();
            break;
        case TAlign::alRight:
            c->SetBounds(r.Right - c->Width(), r.Top, c->Width(), r.Height());
            r.Right -= c->Width();
            break;
        default:
            break;
        }
    }
    for (auto& c : children_) {
        if (c->Visible() && c->Align() == TAlign::alClient)
            c->SetBounds(r.Left, r.Top, r.Width() < 0 ? 0 : r.Width(), r.Height() < 0 ? 0 : r.Height());
    }
}

void TWinControl::Realise() {
    if (Realised()) return;
    TControl::Realise();
    for (auto& c : children_) c->Realise();
}

void TWinControl::Unrealise() {
    for (auto& c : children_) c->Unrealise();
    TControl::Unrealise();
}

}  // namespace taskwell
