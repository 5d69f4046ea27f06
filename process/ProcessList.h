// The ordered list of process records, keyed by the process id in signed decimal. New pairs go to
// the end and a removed pair closes the gap, so the order is that of first appearance. The list
// owns its records.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "process/TProcess.h"

namespace taskwell {

class ProcessList {
public:
    // The key of a process id: the id as a signed 32-bit decimal number.
    static std::string KeyOf(DWORD processId);

    int Count() const { return static_cast<int>(pairs_.size()); }
    bool Empty() const { return pairs_.empty(); }
    const std::string& Key(int index) const { return pairs_.at(static_cast<size_t>(index)).first; }
    TProcess& Record(int index) const { return *pairs_.at(static_cast<size_t>(index)).second; }

    // Position of the first pair with that key, or -1.
    int IndexOf(const std::string& key) const;
    TProcess* Find(DWORD processId) const;

    TProcess& Append(std::string key, std::unique_ptr<TProcess> record);
    // Destroys the record and removes its pair.
    void Delete(int index);
    // Destroys the records one by one from the front.
    void Clear();

private:
    std::vector<std::pair<std::string, std::unique_ptr<TProcess>>> pairs_;
    // Process id to record, so a tick's lookups stay linear in the number of processes.
    std::unordered_map<DWORD, TProcess*> byId_;
};

}  // namespace taskwell
