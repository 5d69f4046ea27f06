#include "platform/sim/SimFiles.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

namespace taskwell::sim {

const char* FileOpName(FileOp op) {
    switch (op) {
    case FileOp::GetFileAttributesA: return "GetFileAttributesA";
    case FileOp::CreateFileA: return "CreateFileA";
    case FileOp::SetFilePointer: return "SetFilePointer";
    case FileOp::WriteFile: return "WriteFile";
    case FileOp::SetEndOfFile: return "SetEndOfFile";
    case FileOp::CloseHandle: return "CloseHandle";
    case FileOp::DeleteFileA: return "DeleteFileA";
    }
    return "?";
}

namespace {
constexpr DWORD kNormalFile = 0x80;  // FILE_ATTRIBUTE_NORMAL
constexpr DWORD kDirectory = 0x10;   // FILE_ATTRIBUTE_DIRECTORY

std::string DirectoryOf(const std::string& key) {
    const size_t cut = key.find_last_of('\\');
    return cut == std::string::npos ? std::string() : key.substr(0, cut + 1);
}
}  // namespace

SimFiles::SimFiles() {
    AddDirectory("C:\\");
    AddDirectory("C:\\Program Files\\Orvex\\Taskwell\\");
}

std::string SimFiles::Key(const std::string& path) {
    std::string key = path;
    std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::toupper(c); });
    return key;
}

void SimFiles::AddDirectory(const std::string& path) {
    std::string key = Key(path);
    if (key.empty() || key.back() != '\\') key.push_back('\\');
    directories_.insert(key);
}

const std::string* SimFiles::Content(const std::string& path) const {
    auto it = files_.find(Key(path));
    return it == files_.end() ? nullptr : &it->second.content;
}

void SimFiles::SetContent(const std::string& path, const std::string& content, std::uint64_t unheld) {
    files_[Key(path)] = File{unheld, content};
}

std::uint64_t SimFiles::Size(const std::string& path) const {
    auto it = files_.find(Key(path));
    return it == files_.end() ? 0 : it->second.Size();
}

void SimFiles::Fail(FileOp op, bool on) {
    if (on)
        failing_.insert(op);
    else
        failing_.erase(op);
}

void SimFiles::Raise(FileOp op, bool on) {
    if (on)
        raising_.insert(op);
    else
        raising_.erase(op);
}

int SimFiles::Calls(FileOp op) const {
    auto it = calls_.find(op);
    return it == calls_.end() ? 0 : it->second;
}

bool SimFiles::Enter(FileOp op) {
    ++calls_[op];
    if (raising_.count(op)) throw std::runtime_error(std::string(FileOpName(op)) + " failed");
    return failing_.count(op) != 0;
}

DWORD SimFiles::GetFileAttributesA(const std::string& path) {
    if (Enter(FileOp::GetFileAttributesA)) return INVALID_FILE_ATTRIBUTES;
    const std::string key = Key(path);
    if (files_.count(key)) return kNormalFile;
    if (directories_.count(key) || directories_.count(key + "\\")) return kDirectory;
    return INVALID_FILE_ATTRIBUTES;
}

HANDLE SimFiles::CreateFileA(const std::string& path, DWORD, DWORD creationDisposition) {
    if (Enter(FileOp::CreateFileA)) return 0;
    const std::string key = Key(path);
    if (Refused.count(path) || Refused.count(key)) return 0;
    const bool exists = files_.count(key) != 0;
    if (creationDisposition == OPEN_EXISTING && !exists) return 0;
    if (creationDisposition == CREATE_NEW) {
        if (exists || !directories_.count(DirectoryOf(key))) return 0;
        files_[key];
    }
    HANDLE h = next_;
    next_ += 4;
    handles_[h] = Open{key, 0};
    return h;
}

LONGLONG SimFiles::SetFilePointer(HANDLE file, LONGLONG distance, DWORD moveMethod) {
    if (Enter(FileOp::SetFilePointer)) return -1;
    auto it = handles_.find(file);
    if (it == handles_.end()) return -1;
    const LONGLONG base = moveMethod == FILE_END ? static_cast<LONGLONG>(files_[it->second.key].Size()) : 0;
    const LONGLONG position = base + distance;
    if (position < 0) return -1;
    it->second.position = static_cast<std::uint64_t>(position);
    return position;
}

namespace {
// A step the simulation cannot take: it keeps no bytes before the held part of a large file.
std::size_t HeldIndex(std::uint64_t position, std::uint64_t unheld, const char* call) {
    if (position < unheld) throw std::logic_error(std::string(call) + " before the held part of a large file");
    return static_cast<std::size_t>(position - unheld);
}
}  // namespace

bool SimFiles::WriteFile(HANDLE file, const std::string& bytes, DWORD& written) {
    written = 0;
    if (Enter(FileOp::WriteFile)) return false;
    auto it = handles_.find(file);
    if (it == handles_.end()) return false;
    File& f = files_[it->second.key];
    std::string& content = f.content;
    const size_t position = HeldIndex(it->second.position, f.unheld, "WriteFile");
    const size_t before = content.size();
    // Only what the disk can still take reaches it.
    const size_t end = position + bytes.size();
    size_t fits = bytes.size();
    if (end > before && end - before > FreeSpace) fits -= static_cast<size_t>(end - before - FreeSpace);
    if (content.size() < position + fits) content.resize(position + fits, '\0');
    content.replace(position, fits, bytes, 0, fits);
    if (FreeSpace != UINT64_MAX) FreeSpace -= content.size() - before;
    it->second.position += fits;
    written = static_cast<DWORD>(fits);
    return fits == bytes.size();
}

bool SimFiles::SetEndOfFile(HANDLE file) {
    if (Enter(FileOp::SetEndOfFile)) return false;
    auto it = handles_.find(file);
    if (it == handles_.end()) return false;
    File& f = files_[it->second.key];
    if (it->second.position < f.Size()) {
        const size_t end = HeldIndex(it->second.position, f.unheld, "SetEndOfFile");
        if (FreeSpace != UINT64_MAX) FreeSpace += f.content.size() - end;
        f.content.resize(end);
    }
    return true;
}

bool SimFiles::CloseHandle(HANDLE file) {
    if (Enter(FileOp::CloseHandle)) return false;
    return handles_.erase(file) != 0;
}

bool SimFiles::DeleteFileA(const std::string& path) {
    if (Enter(FileOp::DeleteFileA)) return false;
    auto it = files_.find(Key(path));
    if (it == files_.end()) return false;
    for (auto& h : handles_)
        if (h.second.key == it->first) return false;  // an open file cannot go
    if (FreeSpace != UINT64_MAX) FreeSpace += it->second.Size();
    files_.erase(it);
    return true;
}

}  // namespace taskwell::sim
