#include "ui/TOpenDialog.h"

#include "ui/TApplication.h"

namespace taskwell {

bool TOpenDialog::Execute() {
    return App().Backend().ExecuteOpenDialog(*this, App().DialogOwner());
}

}  // namespace taskwell
