#pragma once

#include "platform/delegating_platform.h"

namespace keelsong::cli {

// The machine's platform with every pause taken at `pause_scale` of its length: 1 for real
// units; tests pair a smaller share with simulated units that restart as much faster, so that
// the wait still outlasts the restart.
class PacedPlatform final : public DelegatingPlatform {
  public:
    PacedPlatform(Platform& machine, double pause_scale)
        : DelegatingPlatform(machine), pause_scale_(pause_scale) {}

    void Delay(double seconds) override { Machine().Delay(seconds * pause_scale_); }

  private:
    double pause_scale_;
};

}  // namespace keelsong::cli
