// The program entry: refuses Windows NT, otherwise creates the main window and runs until it closes.
#pragma once

#include "platform/Platform.h"

namespace taskwell {

int TaskwellMain(const Platform& platform);

}  // namespace taskwell
