// Files: the usage logs are the only files the program writes. A log is opened, appended to and
// closed for each line; nothing is kept open between ticks.
#pragma once

#include <string>

#include "platform/Types.h"

namespace taskwell {

constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD OPEN_EXISTING = 3;
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_END = 2;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFF;

class IFiles {
public:
    virtual ~IFiles() = default;
    // The file's attributes; INVALID_FILE_ATTRIBUTES when there is no such file (or it cannot be
    // reached).
    virtual DWORD GetFileAttributesA(const std::string& path) = 0;
    // Opens a file for writing: CREATE_NEW makes a new one (and fails when one exists),
    // OPEN_EXISTING opens one that exists. Returns 0 on failure.
    virtual HANDLE CreateFileA(const std::string& path, DWORD desiredAccess, DWORD creationDisposition) = 0;
    // Moves the write position distance bytes from the start (FILE_BEGIN 0) or the end (FILE_END);
    // returns the new position, negative on failure. Positions are 64-bit, as the platform carries
    // them in two halves (its distance and high distance): a file may pass 2 and 4 GB.
    virtual LONGLONG SetFilePointer(HANDLE file, LONGLONG distance, DWORD moveMethod) = 0;
    // Writes the bytes at the write position; written tells how many reached the file. False on
    // failure (a full disk may have taken part of them).
    virtual bool WriteFile(HANDLE file, const std::string& bytes, DWORD& written) = 0;
    // Ends the file at the write position (cuts off what lies behind it).
    virtual bool SetEndOfFile(HANDLE file) = 0;
    virtual bool CloseHandle(HANDLE file) = 0;
    virtual bool DeleteFileA(const std::string& path) = 0;
};

}  // namespace taskwell
