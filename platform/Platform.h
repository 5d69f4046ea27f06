// Everything the program reaches of the operating system, handed to the main window as one
// aggregate so a test can give each window its own simulated machine.
#pragma once

#include "platform/Files.h"
#include "platform/Processes.h"
#include "platform/Registry.h"
#include "platform/Shell.h"
#include "platform/SystemFacts.h"
#include "platform/Threads.h"
#include "platform/Toolhelp.h"
#include "platform/UiBackend.h"
#include "platform/Windowing.h"

namespace taskwell {

struct Platform {
    IToolhelp& Toolhelp;
    IProcesses& Processes;
    IShell& Shell;
    ISystem& System;
    IUiBackend& Ui;
    IRegistry& Registry;
    IWindows& Windows;
    IFiles& Files;
    IThreads& Threads;
};

}  // namespace taskwell
