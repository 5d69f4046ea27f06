#include "process/ProcessList.h"

#include <stdexcept>

namespace taskwell {

std::string ProcessList::KeyOf(DWORD processId) {
    return std::to_string(static_cast<LONG>(processId));
}

int ProcessList::IndexOf(const std::string& key) const {
    for (size_t i = 0; i < pairs_.size(); ++i)
        if (pairs_[i].first == key) return static_cast<int>(i);
    return -1;
}

TProcess* ProcessList::Find(DWORD processId) const {
    auto it = byId_.find(processId);
    return it == byId_.end() ? nullptr : it->second;
}

TProcess& ProcessList::Append(std::string key, std::unique_ptr<TProcess> record) {
    TProcess& ref = *record;
    byId_.emplace(ref.ProcessID, &ref);
    pairs_.emplace_back(std::move(key), std::move(record));
    return ref;
}

void ProcessList::Delete(int index) {
    if (index < 0 || index >= Count()) throw std::out_of_range("Process list index out of bounds");
    auto& record = pairs_[static_cast<size_t>(index)].second;
    auto it = byId_.find(record->ProcessID);
    if (it != byId_.end() && it->second == record.get()) byId_.erase(it);
    record.reset();
    pairs_.erase(pairs_.begin() + index);
}

void ProcessList::Clear() {
    byId_.clear();
    for (auto& pair : pairs_) pair.second.reset();
    pairs_.clear();
}

}  // namespace taskwell
