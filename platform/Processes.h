// Operations on processes: their expected system version, ending them, and starting programs.
#pragma once

#include <string>

#include "platform/Types.h"

namespace taskwell {

// Access rights asked for when a process is to be ended: ending it, and waiting for its end (the
// NT family refuses a wait on a handle without SYNCHRONIZE; Windows 95/98 ignores the right).
constexpr DWORD PROCESS_TERMINATE = 0x0001;
constexpr DWORD SYNCHRONIZE = 0x00100000;

// Results of WaitForSingleObject.
constexpr DWORD WAIT_OBJECT_0 = 0x00000000;
constexpr DWORD WAIT_TIMEOUT = 0x00000102;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;
constexpr DWORD INFINITE = 0xFFFFFFFF;

class IProcesses {
public:
    virtual ~IProcesses() = default;
    // The system version the process expects: major in the high word, minor in the low word; 0 on failure.
    virtual DWORD GetProcessVersion(DWORD processId) = 0;
    // Opens or runs a file as the shell does; the result is above 32 on success.
    virtual HINSTANCE ShellExecuteA(HWND owner, const std::string& operation, const std::string& file,
                                    const std::string& parameters, const std::string& directory,
                                    int showCmd) = 0;
    // Starts a program from a command line (split at the first space unless the program's path is
    // quoted). Above 31 when it started; 0 to 31 are the system's reasons for not starting it (2:
    // file not found, 3: path not found, 11: not an executable).
    virtual UINT WinExec(const std::string& commandLine, UINT showCmd) = 0;
    // A handle to the process with the given access rights, which the caller closes with CloseHandle;
    // 0 when the system refuses (no such process, or no right to it).
    virtual HANDLE OpenProcess(DWORD desiredAccess, bool inheritHandle, DWORD processId) = 0;
    // Asks the system to end the process with the exit code; true when it accepted. The process may
    // still be running when this returns.
    virtual bool TerminateProcess(HANDLE process, UINT exitCode) = 0;
    // Waits at most milliseconds for the process to end: WAIT_OBJECT_0 when it has ended,
    // WAIT_TIMEOUT when it still runs, WAIT_FAILED at once when the handle is unusable or lacks the
    // SYNCHRONIZE right.
    virtual DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) = 0;
    // Releases a handle from OpenProcess; false for 0 or a handle that is not open.
    virtual bool CloseHandle(HANDLE h) = 0;
};

}  // namespace taskwell
