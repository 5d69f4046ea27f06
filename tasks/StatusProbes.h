// The responsiveness questions of the Applications page. Each row's window is asked with a WM_NULL
// that the program does not wait for (SendMessageCallbackA): the window's thread answers when it
// takes its messages, and the answer is noted when it reaches the program. Questions are asked in
// rounds; a round is closed when its verdict is due, kProbeTimeoutMs later, and judged then: a row
// whose window answered its question by then is "Running", one whose window did not (or could not
// be asked) is "Not Responding". A round asked while an earlier one waits for its verdict is closed
// at that verdict and judged one limit later, so every question has at least kProbeTimeoutMs and at
// most twice that. When the last question of the closed rounds is answered before its verdict is
// due, there is nothing left to wait for: OnSettled tells the owner, who may judge at once (the
// windows answered, as a probe that waits for its answer would have learnt without waiting the
// limit).
//
// A window that has not answered is not asked again (a stuck program's queue gets one question, not
// one per refresh) until kRetryAfterRefusals refreshes have found its question open: a question can
// be lost with its window when the handle goes to a new window of the same thread.
//
// Answers are matched to their question by a number of its own. An answer to the question of a row
// since removed (its window gone, its handle given to another window, the row made afresh), or to a
// question since asked again, changes nothing; nor does an answer that comes after the probes are
// gone: the answer's procedure holds the questions only weakly.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/Windowing.h"

namespace taskwell {

class StatusProbes {
public:
    enum class Verdict { Running, NotResponding };
    using Row = std::uintptr_t;

    explicit StatusProbes(IWindows& windows);
    // The answers' procedures reach OnSettled through the state: the object stays where it is made.
    StatusProbes(const StatusProbes&) = delete;
    StatusProbes& operator=(const StatusProbes&) = delete;

    // Asks the row's window, unless its last question is still open (see above). A question that
    // cannot be sent is judged "Not Responding" like one not answered.
    void Ask(Row row, HWND window);
    // Closes the round of questions asked since the last one was closed; the next Judge decides it.
    void CloseRound();
    // The verdicts on every question of the closed rounds not judged yet, by row.
    std::vector<std::pair<Row, Verdict>> Judge();
    // Whether questions wait for their verdict (asked, not judged).
    bool Waiting() const;
    // Whether the closed rounds have questions not judged yet, all of them answered.
    bool Settled() const { return Settled(*state_); }
    // Called when an answer settles the closed rounds (see above). It comes while the program takes
    // its messages, as the answer does.
    std::function<void()> OnSettled;
    // Whether the row's window was asked since the row came (or since Forget).
    bool Asked(Row row) const { return state_->book.count(row) != 0; }
    // The row is gone: its question is forgotten, and an answer to it changes nothing.
    void Forget(Row row);
    void Clear();

    // How many refreshes find a question open before its window is asked again.
    static constexpr int kRetryAfterRefusals = 8;

private:
    struct Question {
        DWORD id = 0;
        std::uint64_t round = 0;
        bool open = false;      // sent, its answer not come
        bool answered = false;  // its answer came
        bool judged = false;
        int refusals = 0;       // refreshes that found it open after its verdict
    };
    using Book = std::unordered_map<Row, Question>;
    // What an answer reaches: its procedure holds it weakly.
    struct State {
        Book book;
        std::uint64_t closedRound = 0;  // the last round closed
        std::function<void()>* settled = nullptr;  // the owner's OnSettled
    };
    static bool Settled(const State& state);

    IWindows& windows_;
    std::shared_ptr<State> state_ = std::make_shared<State>(State{{}, 0, &OnSettled});
    DWORD nextId_ = 0;
    std::uint64_t round_ = 1;  // the round new questions join
};

}  // namespace taskwell
