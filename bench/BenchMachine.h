// A simulated machine with N processes for the benchmarks. Its calls cost next to nothing, so what a
// benchmark measures is the program's own work.
#pragma once

#include <string>

#include "platform/Platform.h"
#include "platform/sim/SimFiles.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimUi.h"
#include "platform/sim/SimWindows.h"
#include "ui/TApplication.h"

namespace taskwell::bench {

struct Machine {
    sim::SimMachine machine;
    sim::SimRegistry registry;
    sim::SimWindows windows{machine};
    sim::SimUi ui{machine};
    sim::SimFiles files;
    sim::SimThreads threads{ui};
    Platform platform{machine, machine, machine, machine, ui, registry, windows, files, threads};
    TApplication app{ui};
    explicit Machine(int processes) {
        registry.AddWindows98Statistics();
        for (int i = 0; i < processes; ++i) machine.AddProcess("C:\\APPS\\PROGRAM" + std::to_string(i) + ".EXE");
    }
};

}  // namespace taskwell::bench
