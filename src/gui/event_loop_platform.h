#pragma once

#include <chrono>

#include "platform/delegating_platform.h"

namespace keelsong {

// The machine's platform as the window needs it: every pause (the 0.1 s of each exchange with
// the unit, the 5 s while it restarts) waits in short slices that let the window repaint and
// its timers run, but take no user input, so the window stays painted while the program
// blocks. Everything else is the wrapped platform's.
class EventLoopPlatform final : public DelegatingPlatform {
  public:
    // The longest stretch between two looks at the window's events.
    static constexpr std::chrono::milliseconds kSlice{15};

    explicit EventLoopPlatform(Platform& machine) : DelegatingPlatform(machine) {}

    // Blocks for at least `seconds`, painting and running timers all the while.
    void Delay(double seconds) override;
};

}  // namespace keelsong
