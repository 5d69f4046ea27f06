#include "ui/TMenu.h"

#include "ui/Exception.h"
#include "ui/TApplication.h"
#include "ui/TForm.h"

namespace taskwell {

TMenuItem& TMenuItem::Add(const std::string& caption) {
    auto item = std::make_unique<TMenuItem>(caption);
    item->parent_ = this;
    item->menu_ = menu_;
    TMenuItem& ref = *item;
    items_.push_back(std::move(item));
    Changed();
    return ref;
}

TMenuItem& TMenuItem::operator[](int index) const {
    if (index < 0 || index >= Count())
        throw EListError("Menu index out of range (" + std::to_string(index) + ")");
    return *items_[static_cast<size_t>(index)];
}

TMenuItem* TMenuItem::Find(const std::string& caption) const {
    for (auto& i : items_)
        if (i->caption_ == caption) return i.get();
    return nullptr;
}

int TMenuItem::MenuIndex() const {
    if (!parent_) return -1;
    for (size_t i = 0; i < parent_->items_.size(); ++i)
        if (parent_->items_[i].get() == this) return static_cast<int>(i);
    return -1;
}

TMenu* TMenuItem::Menu() const {
    const TMenuItem* top = this;
    while (top->parent_) top = top->parent_;
    return top->menu_;
}

void TMenuItem::Changed() {
    if (TMenu* m = Menu()) m->StructureChanged();
}

void TMenuItem::SetCaption(const std::string& v) {
    if (v == caption_) return;
    caption_ = v;
    Changed();
}

void TMenuItem::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    if (v && radio_ && parent_) {
        for (auto& sibling : parent_->items_)
            if (sibling.get() != this && sibling->radio_ && sibling->group_ == group_) sibling->checked_ = false;
    }
    Changed();
}

void TMenuItem::SetRadioItem(bool v) {
    if (v == radio_) return;
    radio_ = v;
    Changed();
}

void TMenuItem::SetGroupIndex(int v) {
    if (v == group_) return;
    group_ = v;
    Changed();
}

void TMenuItem::SetEnabled(bool v) {
    if (v == enabled_) return;
    enabled_ = v;
    Changed();
}

void TMenuItem::SetVisible(bool v) {
    if (v == visible_) return;
    visible_ = v;
    Changed();
}

void TMenuItem::SetDefault(bool v) {
    if (v == default_) return;
    default_ = v;
    Changed();
}

void TMenuItem::Click() {
    if (!enabled_ || !visible_) return;
    if (OnClick) OnClick();
}

TMenu::TMenu() {
    root_.menu_ = this;
}

TMenu::~TMenu() = default;

TMenuItem* TMenu::FindPath(const std::vector<std::string>& captions) const {
    const TMenuItem* at = &root_;
    for (const auto& c : captions) {
        at = at->Find(c);
        if (!at) return nullptr;
    }
    return const_cast<TMenuItem*>(at);
}

void TMenu::Realise(TForm* owner) {
    owner_ = owner;
    if (!peer_ && owner_) peer_ = owner_->App().Backend().CreatePeer(*this);
}

void TMenu::Unrealise() {
    peer_.reset();
}

void TPopupMenu::Popup(TForm& owner, int x, int y) {
    if (OnPopup) OnPopup();
    if (!Peer()) Realise(&owner);
    owner.App().Backend().Popup(*this, x, y);
}

void TMenu::StructureChanged() {
    if (peer_) peer_->Changed(Change::Structure, -1);
}

TMenuItem* AddCheckItem(TMenuItem& parent, const std::string& caption, bool checked) {
    TMenuItem& item = parent.Add(caption);
    item.SetChecked(checked);
    return &item;
}

TMenuItem* AddRadioItem(TMenuItem& parent, const std::string& caption, int group, bool checked) {
    TMenuItem& item = parent.Add(caption);
    item.SetRadioItem(true);
    item.SetGroupIndex(group);
    item.SetChecked(checked);
    return &item;
}

}  // namespace taskwell
