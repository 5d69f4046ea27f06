// A simulated Windows 98 machine with its headless user interface, ready for a test.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "app/Main.h"
#include "app/Program.h"
#include "platform/Platform.h"
#include "platform/sim/SimFiles.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimRegistry.h"
#include "platform/sim/SimThreads.h"
#include "platform/sim/SimUi.h"
#include "platform/sim/SimWindows.h"
#include "ui/TApplication.h"

namespace taskwell::testing {

struct SimFixture {
    sim::SimMachine machine;
    sim::SimRegistry registry;
    sim::SimWindows windows{machine};
    sim::SimUi ui{machine, windows};
    sim::SimFiles files;
    sim::SimThreads threads{ui};
    Platform platform{machine, machine, machine, machine, ui, registry, windows, files, threads};
    TApplication app{ui};

    SimFixture() {
        InitialiseApplication(app);
        registry.AddWindows98Statistics();
    }

    // A process with the given executable; the machine gives it a new id.
    DWORD Start(const std::string& exe, DWORD exeType = sim::kExePE32, DWORD version = 0x00040000,
                bool hasIcon = true) {
        sim::SimProcess p;
        p.szExeFile = exe;
        p.exeType = exeType;
        p.version = version;
        p.hasIcon = hasIcon;
        return machine.AddProcess(p);
    }

    // The usual few processes of a Windows 98 desktop.
    std::vector<DWORD> StartDesktop() {
        return {Start("C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL"), Start("C:\\WINDOWS\\SYSTEM\\MSGSRV32.EXE"),
                Start("C:\\WINDOWS\\EXPLORER.EXE"), Start("C:\\WINDOWS\\SYSTEM\\SPOOL32.EXE")};
    }

    std::unique_ptr<TfrmMain> CreateMainForm() {
        auto form = std::make_unique<TfrmMain>(app, platform);
        app.MainForm = form.get();
        return form;
    }
};

// The usual desktop with the main window on it, made by Create (a test may set the machine up
// between the desktop's start and the window's creation).
struct MainWindowFixture : SimFixture {
    std::unique_ptr<TfrmMain> form;

    MainWindowFixture() { StartDesktop(); }
    TfrmMain& Create() {
        form = CreateMainForm();
        return *form;
    }
};

}  // namespace taskwell::testing
