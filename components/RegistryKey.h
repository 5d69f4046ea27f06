// One registry key held open for a few reads and closed when the holder goes, whatever happened.
// A path that begins with a backslash names a key from the root (the system's statistics and
// version keys are written so); the backslash is dropped before the key is opened, since the
// platform's own call refuses it (error 161, a bad path name).
#pragma once

#include <string>

#include "platform/Registry.h"

namespace taskwell {

class RegistryKey {
public:
    // Opens the key with the access asked for; with fallBackToRead, a refused full access is asked
    // for again as read access (as a reader of another program's keys should).
    RegistryKey(IRegistry& registry, HKEY root, const std::string& path, DWORD access, bool fallBackToRead = false);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    bool Opened() const { return opened_; }
    // The text of a string value (REG_SZ or REG_EXPAND_SZ, up to its first NUL); empty when the
    // value is missing, is of another type or cannot be read. A call that raises an error counts as
    // one that failed, here and in the opening.
    std::string ReadString(const std::string& name) const;
    // Reads the value into the buffer of size bytes in one query of the system, whatever its type;
    // size then holds the bytes read. False when it is missing, longer than the buffer or cannot
    // be read.
    bool ReadData(const std::string& name, BYTE* buffer, DWORD& size) const;

private:
    IRegistry& registry_;
    HKEY key_ = 0;
    bool opened_ = false;
};

}  // namespace taskwell
