// The simulated machine's files: files held in memory by path (compared without regard to case, as
// the platform does), the directories that exist, a disk that can run out of space, and files that
// refuse to be opened. A large file is held from some point on only: the bytes before it count in
// its size and positions but are not kept (they cannot be written). Every call is counted, any
// operation can be told to fail or raise, and open handles are counted so that tests can see each
// one given back.
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
    // The content of a file (of a large file, the part that is held); nullptr when there is none.
    const std::string* Content(const std::string& path) const;
    // Makes the file: unheld bytes that are not kept, then the content.
    void SetContent(const std::string& path, const std::string& content, std::uint64_t unheld = 0);
    // The file's size in bytes, the part not held included; 0 when there is none.
    std::uint64_t Size(const std::string& path) const;
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
    LONGLONG SetFilePointer(HANDLE file, LONGLONG distance, DWORD moveMethod) override;
    bool WriteFile(HANDLE file, const std::string& bytes, DWORD& written) override;
    bool SetEndOfFile(HANDLE file) override;
    bool CloseHandle(HANDLE file) override;
    bool DeleteFileA(const std::string& path) override;

private:
    static std::string Key(const std::string& path);
    bool Enter(FileOp op);
    struct Open {
        std::string key;
        std::uint64_t position = 0;
    };
    struct File {
        std::uint64_t unheld = 0;  // bytes before the content that are not kept
        std::string content;
        std::uint64_t Size() const { return unheld + content.size(); }
    };
    std::map<std::string, File> files_;  // by upper-cased path
    std::set<std::string> directories_;         // upper-cased, with a trailing backslash
    std::map<HANDLE, Open> handles_;
    HANDLE next_ = 0x500;
    std::set<FileOp> failing_, raising_;
    std::map<FileOp, int> calls_;
};

}  // namespace taskwell::sim
