#include "app/unit/readiness.h"

#include <ctime>

#include "app/events/event_grid.h"
#include "app/state/program.h"
#include "protocol/unit_identity.h"
#include "protocol/utc_text.h"

namespace keelsong {

namespace {

std::string UtcText(int64_t seconds) {
    return FormatUtc(seconds, "%Y-%m-%d %H:%M:%S UTC", "an unknown time");
}

}  // namespace

std::vector<std::string> ReadinessWarnings(const ReadinessFacts& facts, int min_battery) {
    std::vector<std::string> warnings;
    if (facts.admin_mode) {
        warnings.push_back("unit in admin mode: it plays nothing until its firmware is updated");
    }
    if (facts.start_time && *facts.start_time > 0) {
        const int64_t start = *facts.start_time;
        const int64_t unit_now = facts.computer_now - facts.clock_offset.value_or(0);
        if (start <= facts.computer_now) {
            warnings.push_back("start time " + UtcText(start) + " is in the past");
        } else if (start <= unit_now) {
            warnings.push_back("start time " + UtcText(start) + " is before the unit's clock (" +
                               UtcText(unit_now) + ")");
        }
    }
    if (facts.clock_offset) {
        const int64_t offset = *facts.clock_offset;
        if (offset > kReadinessClockTolerance || offset < -kReadinessClockTolerance) {
            warnings.push_back("unit clock " + std::to_string(offset > 0 ? offset : -offset) +
                               " s " + (offset > 0 ? "behind" : "ahead of") + " this computer's");
        }
    }
    if (facts.battery && *facts.battery < min_battery) {
        warnings.push_back("battery at " + std::to_string(*facts.battery) + " %, below " +
                           std::to_string(min_battery) + " %");
    }
    if (!facts.admin_mode && facts.events == 0) {
        warnings.push_back("the event table is empty");
    }
    return warnings;
}

std::optional<int> BatteryReading(const UnitIdentity& identity) {
    const int level = identity.BatteryLevel();
    if (identity.StatusPresent() == 0 || identity.BatteryState() == 0 || level < 0 || level > 100) {
        return std::nullopt;
    }
    return level;
}

ReadinessFacts ReadinessFactsOf(Program& program) {
    const UnitIdentity& identity = program.Identity();
    ReadinessFacts facts;
    facts.computer_now = program.GetPlatform().UtcNow();
    facts.admin_mode = identity.firmware_version < kNormalFirmware;
    if (identity.DeviceType() == device_type::kOrvaneHf &&
        identity.firmware_version >= kSyncFirmware) {
        facts.clock_offset = identity.clock_offset;
        facts.start_time = program.CurrentUnitSetup().start_time;
    }
    facts.battery = BatteryReading(identity);
    for (int row = 1; row <= program.Grid().RowCount(); ++row) {
        EventBody body{};
        const int32_t type = RowToEvent(program, body, row);
        facts.events +=
            type >= TypeCode(EventType::ToneCycles) && type <= TypeCode(EventType::ToneSeconds);
    }
    return facts;
}

}  // namespace keelsong
