#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "app/shell/ui.h"

namespace keelsong {

// How busy the program has been: the one-second timer polls the unit only after a quiet spell,
// and stops polling after three failed polls in a row.
struct ActivityCounters {
    // Seconds since the last status message or transaction attempt.
    int idle_seconds = 0;
    // Consecutive failed status polls; any successful transaction resets it.
    int failed_polls = 0;
};

// What the program tells the user as it works: status messages (success in black, failure in
// red, at the foot of MAIN), message pop-ups and the stages of long operations. It keeps the
// latest of each, so that an operation's caller learns what the operation told without looking
// at any window (outcome.h).
class StatusLine {
  public:
    explicit StatusLine(Ui& ui) : ui_(ui) {}

    void ShowStatusMessage(bool success, std::string_view text);
    // A message pop-up: shown, and kept as the latest told that way.
    void ShowMessagePopup(std::string_view title, std::string_view text);
    // A stage of a long operation, on the status line in its present colour: no message of its
    // own, so no outcome either.
    void ShowStage(std::string_view text);
    // Passes a stage shown elsewhere on to the listener.
    void TellStage(std::string_view text) const;

    // Receives every status message and stage as it is told (keelsong-cli's progress line).
    using Listener = std::function<void(std::string_view text)>;
    void SetListener(Listener listener) { listener_ = std::move(listener); }

    // Where the telling stood at one moment; compare with a later one to see what was told since.
    struct Mark {
        uint64_t messages = 0;
        uint64_t popups = 0;
    };
    Mark Now() const { return {shown_, popups_}; }
    // What was told since `mark` of a failure: the last failure on the status line, else the
    // last message pop-up, else the status line as it stands. `popup_first` for an operation
    // that tells its outcome in a pop-up: the failures its exchanges show on the way may be
    // expected ones.
    std::string FailureSince(const Mark& mark, bool popup_first = false) const;

    // What was told, for the service history's record of an operation: how many messages so
    // far, and the latest success and failure, each with the count it came at.
    uint64_t MessagesShown() const { return shown_; }
    uint64_t LastSuccessAt() const { return last_success_at_; }
    const std::string& LastSuccess() const { return last_success_; }
    uint64_t LastFailureAt() const { return last_failure_at_; }
    const std::string& LastFailure() const { return last_failure_; }
    // The message the status line shows now.
    const std::string& Current() const { return current_; }

    ActivityCounters& Activity() { return activity_; }
    const ActivityCounters& Activity() const { return activity_; }

  private:
    Ui& ui_;
    Listener listener_;
    ActivityCounters activity_;
    uint64_t shown_ = 0;
    uint64_t last_success_at_ = 0;
    std::string last_success_;
    uint64_t last_failure_at_ = 0;
    std::string last_failure_;
    std::string current_;
    uint64_t popups_ = 0;
    std::string last_popup_;
};

}  // namespace keelsong
