// The simulated machine's files: whole files held in memory by path (compared without regard to
// case, as the platform does), the directories that exist, a disk that can run out of space, and
// files that refuse to be opened. Every call is counted, any operation can be told to fail or
// raise, and open handles are counted so that tests can see each one given back.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>

#include "platform/Files.h"

namespace taskwell::sim {

enum class FileOp { GetFileAttributesA, CreateFileA, SetFilePointer, WriteFile, SetEndOfFile, CloseHandle, DeleteFileA };

// The last operation, as kLastOp of the machine's.
constexpr FileOp kLastFileOp = FileOp::DeleteFileA;
constexpr int kFileOpCount = static_cast<int>(kLastFileOp) + 1;

// "?" for a value that names no operation.
const char* FileOpName(FileOp op);

class SimFiles : public IFiles {
public:
    SimFiles();

    // Directories that exist (a file can be made only in one of them); "C:\" and the program's
    // directory exist from the start.
    void AddDirectory(const std::string& path);
    // The content of a file; nullptr when there is none.
    const std::string* Content(const std::string& path) const;
    void SetContent(const std::string& path, const std::string& content);
    bool Exists(const std::string& path) const { return Content(path) != nullptr; }
    // Files that cannot be opened or made (as if another program held them).
    std::set<std::string> Refused;
    // Bytes the disk can still take; writes beyond it stop there and fail.
    std::uint64_t FreeSpace = UINT64_MAX;

    void Fail(FileOp op, bool on = true);
    void Raise(FileOp op, bool on = true);
    int Calls(FileOp op) const;
    int OpenHandles() const { return static_cast<int>(handles_.size()); }

    DWORD GetFileAttributesA(const std::string& path) override;
    HANDLE CreateFileA(const std::string& path, DWORD desiredAccess, DWORD creationDisposition) override;
    DWORD SetFilePointer(HANDLE file, LONG distance, DWORD moveMethod) override;
    bool WriteFile(HANDLE file, const std::string& bytes, DWORD& written) override;
    bool SetEndOfFile(HANDLE file) override;
    bool CloseHandle(HANDLE file) override;
    bool DeleteFileA(const std::string& path) override;

private:
    static std::string Key(const std::string& path);
    bool Enter(FileOp op);
    struct Open {
        std::string key;
        size_t position = 0;
    };
    std::map<std::string, std::string> files_;  // by upper-cased path
    std::set<std::string> directories_;         // upper-cased, with a trailing backslash
    std::map<HANDLE, Open> handles_;
    HANDLE next_ = 0x500;
    std::set<FileOp> failing_, raising_;
    std::map<FileOp, int> calls_;
};

}  // namespace taskwell::sim
