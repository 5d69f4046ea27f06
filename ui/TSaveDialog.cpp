#include "ui/TSaveDialog.h"

#include "ui/TApplication.h"

namespace taskwell {

bool TSaveDialog::Execute() {
    return App().Backend().ExecuteSaveDialog(*this, App().DialogOwner());
}

}  // namespace taskwell
