#include "app/events/unit_limits.h"

#include "app/state/event_grid_model.h"
#include "app/state/program.h"

namespace keelsong {

namespace {

namespace col = grid_column;

constexpr int32_t kWideLevelFirmware = 0x020006;  // 2.0.6
constexpr double kShortestDuration = 0.1;

constexpr UnitLimits kLfLimits = {20, 8000, "Attenuation(dB)", 0, 24, 429496729.0};
constexpr UnitLimits kHfLimits = {3000, 200000, "Level(dB)", -24, 7, 3024000.0};
constexpr UnitLimits kOlderHfLimits = {3000, 200000, "Level(dB)", -20, 0, 3024000.0};
constexpr UnitLimits kAnyUnitLimits = {20, 200000, "Level (dB)", -24, 24, 429496729.0};

}  // namespace

const UnitLimits* LimitsFor(const UnitContext& unit) {
    if (unit.device_type == device_type::kOrvaneLf) {
        return &kLfLimits;
    }
    if (unit.device_type == device_type::kOrvaneHf ||
        unit.device_type == device_type::kOrvaneHfR1) {
        return unit.firmware_version >= kWideLevelFirmware ? &kHfLimits : &kOlderHfLimits;
    }
    return nullptr;
}

const UnitLimits& AnyUnitLimits() {
    return kAnyUnitLimits;
}

void ApplyGridLimits(EventGridModel& grid, const UnitLimits& limits) {
    grid.SetColumnRange(col::kStartFrequency, limits.lowest_frequency, limits.highest_frequency);
    grid.SetColumnRange(col::kEndFrequency, limits.lowest_frequency, limits.highest_frequency);
    grid.SetColumnMinimum(col::kDuration, kShortestDuration);
    grid.SetColumnTitle(col::kLevel, limits.level_title);
    grid.SetColumnRange(col::kLevel, limits.lowest_level, limits.highest_level);
}

void ApplyUnitLimits(Program& program, const UnitLimits& limits) {
    ApplyGridLimits(program.Grid(), limits);
    program.GetUi().SetRange(Panel::MAIN, Control::REST_TIME, 0, limits.longest_rest);
}

}  // namespace keelsong
