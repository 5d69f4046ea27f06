#include "ui/StdCtrls.h"

#include "ui/TApplication.h"
#include "ui/TForm.h"

namespace taskwell {

TRect TGroupBox::ClientRect() const {
    TRect r{2, 15, Width() - 2, Height() - 2};
    if (r.Right < r.Left) r.Right = r.Left;
    if (r.Bottom < r.Top) r.Bottom = r.Top;
    return r;
}

void TButton::Click() {
    if (!Enabled() || !Visible()) return;
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
