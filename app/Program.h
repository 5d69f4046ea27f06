// The program entry: refuses Windows NT, otherwise creates the main window and runs until it closes.
#pragma once

#include "platform/Platform.h"

namespace taskwell {

class TApplication;

int TaskwellMain(const Platform& platform);

// Gives the application the program's title and help file.
void InitialiseApplication(TApplication& app);

}  // namespace taskwell
