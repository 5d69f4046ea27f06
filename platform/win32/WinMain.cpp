// The program's entry on Windows: builds the Win32 platform and hands it to the program.
#include <exception>

#include "app/Program.h"
#include "platform/win32/Win32Api.h"
#include "platform/win32/Win32Files.h"
#include "platform/win32/Win32Processes.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Shell.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Win32Threads.h"
#include "platform/win32/Win32Toolhelp.h"
#include "platform/win32/Win32UiBackend.h"
#include "platform/win32/Win32Windows.h"

int WINAPI WinMain(::HINSTANCE instance, ::HINSTANCE, LPSTR, int) {
    try {
        taskwell::win32::Win32Toolhelp toolhelp;
        taskwell::win32::Win32Processes processes;
        taskwell::win32::Win32Shell shell;
        taskwell::win32::Win32System system;
        taskwell::win32::Win32UiBackend ui(instance);
        taskwell::win32::Win32Registry registry;
        taskwell::win32::Win32Windows windows;
        taskwell::win32::Win32Files files;
        // Made after the user interface and gone before it: every polling thread has ended before
        // the windows it hands its passes to.
        taskwell::win32::Win32Threads threads(instance);
        taskwell::Platform platform{toolhelp, processes, shell, system, ui, registry, windows, files, threads};
        return taskwell::TaskwellMain(platform);
    } catch (const std::exception& e) {
        ::MessageBoxA(nullptr, e.what(), "Error", MB_OK | MB_ICONHAND);
    } catch (...) {
        ::MessageBoxA(nullptr, "Unknown error", "Error", MB_OK | MB_ICONHAND);
    }
    return 1;
}
