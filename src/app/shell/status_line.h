#pragma once

#include <cstdint>
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

// The one-line message area at the foot of MAIN: success in black, failure in red.
class StatusLine {
  public:
    explicit StatusLine(Ui& ui) : ui_(ui) {}

    void ShowStatusMessage(bool success, std::string_view text);

    // What was told, for the service history's record of an operation: how many messages so
    // far, and the latest success and failure, each with the count it came at.
    uint64_t MessagesShown() const { return shown_; }
    uint64_t LastSuccessAt() const { return last_success_at_; }
    const std::string& LastSuccess() const { return last_success_; }
    uint64_t LastFailureAt() const { return last_failure_at_; }
    const std::string& LastFailure() const { return last_failure_; }

    ActivityCounters& Activity() { return activity_; }
    const ActivityCounters& Activity() const { return activity_; }

  private:
    Ui& ui_;
    ActivityCounters activity_;
    uint64_t shown_ = 0;
    uint64_t last_success_at_ = 0;
    std::string last_success_;
    uint64_t last_failure_at_ = 0;
    std::string last_failure_;
};

}  // namespace keelsong
