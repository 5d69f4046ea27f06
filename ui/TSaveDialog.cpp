#include "ui/TSaveDialog.h"

#include "ui/TApplication.h"

namespace taskwell {

bool TSaveDialog::Execute() {
    return app_.Backend().ExecuteSaveDialog(*this);
}

}  // namespace taskwell
