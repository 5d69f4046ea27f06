#include "tasks/StatusProbes.h"

namespace taskwell {

StatusProbes::StatusProbes(IWindows& windows) : windows_(windows) {}

void StatusProbes::Ask(Row row, HWND window) {
    if (auto it = book_->find(row); it != book_->end()) {
        Question& last = it->second;
        // Its verdict is still to come, or its window has not answered it yet.
        if (!last.judged) return;
        if (last.open && ++last.refusals < kRetryAfterRefusals) return;
    }
    Question& q = (*book_)[row];
    q = Question{};
    q.id = ++nextId_;
    q.round = round_;
    // Open before the call: the answer of a window of this thread comes inside it.
    q.open = true;
    std::weak_ptr<Book> book = book_;
    const DWORD id = q.id;
    bool sent = false;
    try {
        sent = windows_.SendMessageCallbackA(window, WM_NULL, 0, 0, [book, row, id](LRESULT) {
            const std::shared_ptr<Book> questions = book.lock();
            if (!questions) return;
            auto it = questions->find(row);
            if (it == questions->end() || it->second.id != id) return;
            it->second.open = false;
            it->second.answered = true;
        });
    } catch (...) {
        // Asked of nobody: judged as unanswered.
        (*book_)[row].open = false;
        throw;
    }
    if (!sent) (*book_)[row].open = false;
}

void StatusProbes::CloseRound() {
    closedRound_ = round_++;
}

std::vector<std::pair<StatusProbes::Row, StatusProbes::Verdict>> StatusProbes::Judge() {
    std::vector<std::pair<Row, Verdict>> verdicts;
    for (auto& [row, q] : *book_) {
        if (q.judged || q.round > closedRound_) continue;
        q.judged = true;
        verdicts.emplace_back(row, q.answered ? Verdict::Running : Verdict::NotResponding);
    }
    return verdicts;
}

bool StatusProbes::Waiting() const {
    for (const auto& [row, q] : *book_)
        if (!q.judged) return true;
    return false;
}

void StatusProbes::Forget(Row row) {
    book_->erase(row);
}

void StatusProbes::Clear() {
    book_->clear();
}

}  // namespace taskwell
