// Menus: the main menu bar, popup menus and their items. An option of the program is the check mark
// of its menu item; radio items of one group keep exactly the one that was checked last.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/UiBackend.h"

namespace taskwell {

class TForm;
class TMenu;

class TMenuItem {
public:
    TMenuItem() = default;
    explicit TMenuItem(std::string caption) : caption_(std::move(caption)) {}
    TMenuItem(const TMenuItem&) = delete;
    TMenuItem& operator=(const TMenuItem&) = delete;

    std::string Name;

    // Adds a child item (a submenu entry); "-" makes a separator line.
    TMenuItem& Add(const std::string& caption);
    int Count() const { return static_cast<int>(items_.size()); }
    TMenuItem& operator[](int index) const;
    // The direct child with exactly this caption, or null.
    TMenuItem* Find(const std::string& caption) const;
    TMenuItem* ParentItem() const { return parent_; }
    int MenuIndex() const;

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);
    bool IsLine() const { return caption_ == "-"; }

    bool Checked() const { return checked_; }
    // Checking a radio item unchecks the other radio items of its group among its siblings.
    void SetChecked(bool v);
    bool RadioItem() const { return radio_; }
    void SetRadioItem(bool v);
    int GroupIndex() const { return group_; }
    void SetGroupIndex(int v);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    bool Default() const { return default_; }
    void SetDefault(bool v);
    int HelpContext = 0;

    std::function<void()> OnClick;
    // What a user's choice of the item does: runs OnClick. The backend calls this for a native
    // command; tests call it to click. Disabled or hidden items do nothing.
    void Click();

    TMenu* Menu() const;

private:
    friend class TMenu;
    void Changed();
    TMenuItem* parent_ = nullptr;
    TMenu* menu_ = nullptr;
    std::vector<std::unique_ptr<TMenuItem>> items_;
    std::string caption_;
    bool checked_ = false;
    bool radio_ = false;
    int group_ = 0;
    bool enabled_ = true;
    bool visible_ = true;
    bool default_ = false;
};

class TMenu {
public:
    TMenu();
    virtual ~TMenu();
    TMenu(const TMenu&) = delete;
    TMenu& operator=(const TMenu&) = delete;

    std::string Name;
    TMenuItem& Items() { return root_; }
    const TMenuItem& Items() const { return root_; }

    // Follows a path of captions from the top level, for example {"&View", "&Update Speed", "&High"}.
    TMenuItem* FindPath(const std::vector<std::string>& captions) const;

    TForm* Owner() const { return owner_; }
    IPeer* Peer() const { return peer_.get(); }
    void Realise(TForm* owner);
    void Unrealise();
    // An item changed its caption, state or visibility, or items were added.
    void StructureChanged();

private:
    TMenuItem root_;
    TForm* owner_ = nullptr;
    std::unique_ptr<IPeer> peer_;
};

class TMainMenu : public TMenu {};

// Adds a check item to parent, checked or not.
TMenuItem* AddCheckItem(TMenuItem& parent, const std::string& caption, bool checked);
// Adds a radio item of that group to parent, checked or not.
TMenuItem* AddRadioItem(TMenuItem& parent, const std::string& caption, int group, bool checked);

class TPopupMenu : public TMenu {
public:
    // Shows the menu at the screen position on behalf of the owner form and returns when it has
    // closed; the chosen item's Click has run by then. OnPopup runs first, so it can set the items'
    // states for this showing.
    void Popup(TForm& owner, int x, int y);
    std::function<void()> OnPopup;
};

}  // namespace taskwell
