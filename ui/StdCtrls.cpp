#include "ui/StdCtrls.h"

namespace taskwell {

TRect TGroupBox::ClientRect() const {
    TRect r{2, 15, Width() - 2, Height() - 2};
    if (r.Right < r.Left) r.Right = r.Left;
    if (r.Bottom < r.Top) r.Bottom = r.Top;
    return r;
}

void TGauge::SetProgress(int v) {
    if (v < 0) v = 0;
    if (v > 100) v = 100;
    if (v == progress_) return;
    progress_ = v;
    Notify(Change::Progress);
}

}  // namespace taskwell
