#include "tasks/StatusProbes.h"

namespace taskwell {

StatusProbes::StatusProbes(IWindows& windows) : windows_(windows) {}

void StatusProbes::Ask(Row row, HWND window) {
    Book& book = state_->book;
    if (auto it = book.find(row); it != book.end()) {
        Question& last = it->second;
        // Its verdict is still to come, or its window has not answered it yet.
        if (!last.judged) return;
        if (last.open && ++last.refusals < kRetryAfterRefusals) return;
    }
    Question& q = book[row];
    q = Question{};
    q.id = ++nextId_;
    q.round = round_;
    // Open before the call: the answer of a window of this thread comes inside it.
    q.open = true;
    std::weak_ptr<State> weak = state_;
    const DWORD id = q.id;
    bool sent = false;
    try {
        sent = windows_.SendMessageCallbackA(window, WM_NULL, 0, 0, [weak, row, id](LRESULT) {
            const std::shared_ptr<State> state = weak.lock();
            if (!state) return;
            auto it = state->book.find(row);
            if (it == state->book.end() || it->second.id != id) return;
            it->second.open = false;
            it->second.answered = true;
            if (it->second.round <= state->closedRound && !it->second.judged && Settled(*state) &&
                *state->settled)
                (*state->settled)();
        });
    } catch (...) {
        // Asked of nobody: judged as unanswered.
        book[row].open = false;
        throw;
    }
    if (!sent) book[row].open = false;
}

void StatusProbes::CloseRound() {
    state_->closedRound = round_++;
}

bool StatusProbes::Settled(const State& state) {
    bool waiting = false;
    for (const auto& [row, q] : state.book) {
        if (q.judged || q.round > state.closedRound) continue;
        if (!q.answered) return false;
        waiting = true;
    }
    return waiting;
}

std::vector<std::pair<StatusProbes::Row, StatusProbes::Verdict>> StatusProbes::Judge() {
    std::vector<std::pair<Row, Verdict>> verdicts;
    for (auto& [row, q] : state_->book) {
        if (q.judged || q.round > state_->closedRound) continue;
        q.judged = true;
        verdicts.emplace_back(row, q.answered ? Verdict::Running : Verdict::NotResponding);
    }
    return verdicts;
}

bool StatusProbes::Waiting() const {
    for (const auto& [row, q] : state_->book)
        if (!q.judged) return true;
    return false;
}

void StatusProbes::Forget(Row row) {
    state_->book.erase(row);
}

void StatusProbes::Clear() {
    state_->book.clear();
}

}  // namespace taskwell
