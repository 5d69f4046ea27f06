#include "ui/StdCtrls.h"

#include "ui/TApplication.h"
#include "ui/TForm.h"

namespace taskwell {

TRect TGroupBox::ClientRect() const {
    // Inside the frame and below the caption's line.
    TRect r{Scaled(2), Scaled(15), Width() - Scaled(2), Height() - Scaled(2)};
    if (r.Right < r.Left) r.Right = r.Left;
    if (r.Bottom < r.Top) r.Bottom = r.Top;
    return r;
}

void TEdit::SetReadOnly(bool v) {
    if (v == readOnly_) return;
    readOnly_ = v;
    Notify(Change::ReadOnly);
}

void TEdit::SetBorderStyle(TEditBorder v) {
    if (v == border_) return;
    border_ = v;
    Notify(Change::ReadOnly);
}

TEdit& AddValueField(TWinControl& parent, int left, int top, int width, int height) {
    TEdit& field = parent.Add<TEdit>();
    field.SetReadOnly(true);
    field.SetBorderStyle(TEditBorder::bsNone);
    field.Color = clBtnFace;
    field.SetBounds(left, top, width, height);
    return field;
}

void TCheckBox::SetChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    Notify(Change::Checked);
}

void TCheckBox::Click() {
    if (!EnabledWithParents() || !Visible()) return;
    SetChecked(!checked_);
    if (!OnClick) return;
    if (TApplication* app = Application())
        app->Guarded(OnClick);
    else
        OnClick();
}

void TCheckBox::PeerChecked(bool v) {
    if (v == checked_) return;
    checked_ = v;
    if (!OnClick) return;
    if (TApplication* app = Application())
        app->Guarded(OnClick);
    else
        OnClick();
}

void TImage::SetIcon(HICON icon) {
    if (icon == icon_) return;
    icon_ = icon;
    Notify(Change::Picture);
}

void TImage::SetStretch(bool v) {
    if (v == stretch_) return;
    stretch_ = v;
    Notify(Change::Picture);
}

void TButton::Click() {
    if (!EnabledWithParents() || !Visible()) return;
    auto run = [&] {
        if (OnClick) OnClick();
        if (ModalResult != 0) {
            for (TControl* c = Parent(); c; c = c->Parent())
                if (auto* form = dynamic_cast<TForm*>(c)) {
                    form->ModalResult = ModalResult;
                    break;
                }
        }
    };
    if (TApplication* app = Application())
        app->Guarded(run);
    else
        run();
}

void TGauge::SetProgress(int v) {
    if (v < 0) v = 0;
    if (v > 100) v = 100;
    if (v == progress_) return;
    progress_ = v;
    Notify(Change::Progress);
}

}  // namespace taskwell
