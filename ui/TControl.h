// Base of every visual widget: bounds, visibility, caption, alignment in its parent, and the native
// peer that mirrors the state when a backend provides one.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/UiBackend.h"
#include "ui/TFont.h"

namespace taskwell {

class TApplication;
class TForm;
class TPopupMenu;
class TWinControl;

enum class TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };

struct TRect {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool operator==(const TRect&) const = default;
};

class TControl {
public:
    TControl() = default;
    TControl(const TControl&) = delete;
    TControl& operator=(const TControl&) = delete;
    virtual ~TControl();

    std::string Name;

    TWinControl* Parent() const { return parent_; }
    // The application of the form this control sits on; null until the control has a parent chain
    // that ends in a form.
    virtual TApplication* Application() const;

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);
    void SetLeft(int v) { SetBounds(v, top_, width_, height_); }
    void SetTop(int v) { SetBounds(left_, v, width_, height_); }
    void SetWidth(int v) { SetBounds(left_, top_, v, height_); }
    void SetHeight(int v) { SetBounds(left_, top_, width_, v); }

    // A length of the 96-dpi design in pixels of this screen (ui/DesignScale.h): every fixed size,
    // position and margin a form or page lays out goes through it. Unchanged while the control is
    // on no form yet.
    int Scaled(int designLength) const;
    // SetBounds with all four given in design pixels.
    void SetDesignBounds(int left, int top, int width, int height) {
        SetBounds(Scaled(left), Scaled(top), Scaled(width), Scaled(height));
    }

    bool Visible() const { return visible_; }
    void SetVisible(bool v);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool v);
    // Whether the control and every control around it, its form included, are enabled: the user
    // reaches no control of a disabled window (a form whose message box or dialog is up).
    bool EnabledWithParents() const;
    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& v);

    TAlign Align() const { return align_; }
    void SetAlign(TAlign a);

    int HelpContext = 0;
    std::string Hint;

    const TFont& Font() const { return font_; }
    void SetFont(const TFont& font);

    // The menu that a right click (or the menu key) on the control opens; null for none.
    TPopupMenu* PopupMenu = nullptr;
    // The user asked for the control's popup menu at the screen position: it opens there (its
    // OnPopup runs first) on behalf of the control's form. The backend and tests call this.
    void PeerContextPopup(int x, int y);
    // The form the control sits on, or null.
    TForm* ParentForm() const;

    IPeer* Peer() const { return peer_.get(); }
    bool Realised() const { return realised_; }
    // Creates the native peer of this control and of everything inside it. Peers exist only after
    // this; until then changes only touch the widget's own state.
    virtual void Realise();
    // Removes the native peers again (the form's window closed for good).
    virtual void Unrealise();

    // Bounds as the backend reports them after the user moved or sized a native window; no echo.
    virtual void PeerBoundsChanged(int left, int top, int width, int height);

protected:
    void Notify(Change what, int index = -1) {
        if (peer_) peer_->Changed(what, index);
    }
    virtual void BoundsChanged() {}
    // The caption the native control already shows (the user typed it): taken without echo.
    void TakeCaption(const std::string& v) { caption_ = v; }

private:
    friend class TWinControl;
    TWinControl* parent_ = nullptr;
    std::unique_ptr<IPeer> peer_;
    bool realised_ = false;
    int left_ = 0, top_ = 0, width_ = 0, height_ = 0;
    bool visible_ = true;
    bool enabled_ = true;
    std::string caption_;
    TAlign align_ = TAlign::alNone;
    TFont font_;
};

// A control that holds other controls. It owns its children and lays out the aligned ones.
class TWinControl : public TControl {
public:
    ~TWinControl() override;

    // Creates a child owned by this control. A child added after realisation is realised at once.
    template <class T, class... Args>
    T& Add(Args&&... args) {
        auto child = std::make_unique<T>(std::forward<Args>(args)...);
        T& ref = *child;
        Adopt(std::move(child));
        return ref;
    }

    const std::vector<std::unique_ptr<TControl>>& Controls() const { return children_; }

    // Empty space kept between the client area's edges and the aligned children.
    TRect Padding;

    // The area inside this control in which children are placed, in the control's own coordinates.
    virtual TRect ClientRect() const { return TRect{0, 0, Width(), Height()}; }
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }

    // Places the aligned children: top and bottom strips first, then left and right, then client.
    void Realign();

    void Realise() override;
    void Unrealise() override;

protected:
    void BoundsChanged() override { Realign(); }

private:
    void Adopt(std::unique_ptr<TControl> child);
    std::vector<std::unique_ptr<TControl>> children_;
};

}  // namespace taskwell
