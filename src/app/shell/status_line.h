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
// red, at the foot of MAIN), message pop-ups and the stages of long operations. It only shows:
// an operation's caller learns how it went from the Outcome it returns (outcome.h).
class StatusLine {
  public:
    explicit StatusLine(Ui& ui) : ui_(ui) {}

    void ShowStatusMessage(bool success, std::string_view text);
    // A message pop-up.
    void ShowMessagePopup(std::string_view title, std::string_view text);
    // A stage of a long operation, on the status line in its present colour: no message of its
    // own, so no outcome either.
    void ShowStage(std::string_view text);
    // Passes a stage shown elsewhere on to the listener.
    void TellStage(std::string_view text) const;

    // Receives every status message and stage as it is told (keelsong-cli's progress line).
    using Listener = std::function<void(std::string_view text)>;
    void SetListener(Listener listener) { listener_ = std::move(listener); }

    ActivityCounters& Activity() { return activity_; }
    const ActivityCounters& Activity() const { return activity_; }

  private:
    Ui& ui_;
    Listener listener_;
    ActivityCounters activity_;
};

}  // namespace keelsong
