#pragma once

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

    ActivityCounters& Activity() { return activity_; }
    const ActivityCounters& Activity() const { return activity_; }

  private:
    Ui& ui_;
    ActivityCounters activity_;
};

}  // namespace keelsong
