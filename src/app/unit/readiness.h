// Whether a connected unit would work in the field as it stands: each reason it might not, as a
// warning for people. Nothing is asked of the unit here; the facts come from what connecting and
// reading it left in the program.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "protocol/unit_identity.h"

namespace keelsong {

class Program;

struct ReadinessFacts {
    int64_t computer_now = 0;  // seconds since 1970 UTC
    bool admin_mode = false;
    // Only for a unit that keeps a clock and a start time.
    std::optional<int32_t> clock_offset;  // computer's clock minus the unit's, in seconds
    std::optional<int32_t> start_time;    // seconds since 1970 UTC; 0 or less: none set
    std::optional<int> battery;           // percent; none without a reading
    int events = 0;
};

// The largest clock difference that is no warning, in seconds.
inline constexpr int64_t kReadinessClockTolerance = 2;

// In a fixed order: admin mode, start time, clock, battery, table. `min_battery` in percent.
std::vector<std::string> ReadinessWarnings(const ReadinessFacts& facts, int min_battery);

// The unit's battery level in percent as its last enquiry reported it; nullopt without one.
std::optional<int> BatteryReading(const UnitIdentity& identity);

// The facts of the unit the program is connected to, after its table and setup were read.
ReadinessFacts ReadinessFactsOf(Program& program);

}  // namespace keelsong
