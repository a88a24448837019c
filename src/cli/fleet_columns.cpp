#include "cli/fleet_columns.h"

#include <filesystem>

#include "app/unit/readiness.h"

namespace keelsong::cli {

namespace {

constexpr char kHeld[] = "Open in the main window";

}  // namespace

std::string ClockOffsetText(int64_t computer_less_unit_s) {
    const int64_t ahead = -computer_less_unit_s;
    const int64_t seconds = ahead < 0 ? -ahead : ahead;
    // Within what the readiness check lets pass: the clocks are read to the second, at
    // different moments.
    if (seconds <= kReadinessClockTolerance) {
        return "in step";
    }
    return std::to_string(seconds) + (ahead > 0 ? " s ahead" : " s behind");
}

std::string FleetCellText(const FleetRow& row, FleetColumn column) {
    switch (column) {
        case FleetColumn::Port:
            return std::to_string(row.port);
        case FleetColumn::Device:
            // A by-id name is long and says all in its last part.
            return row.device.find("/serial/by-id/") != std::string::npos
                       ? std::filesystem::path(row.device).filename().string()
                       : row.device;
        case FleetColumn::Type:
            return row.type;
        case FleetColumn::Serial:
            return row.serial ? std::to_string(*row.serial) : std::string();
        case FleetColumn::Firmware:
            return row.admin_mode ? row.firmware + " (admin mode)" : row.firmware;
        case FleetColumn::Battery:
            return row.battery;
        case FleetColumn::Clock:
            return row.clock_offset_s ? ClockOffsetText(*row.clock_offset_s) : std::string();
        case FleetColumn::PlayState:
            return row.play_state;
        case FleetColumn::Deployed:
            return row.deployment;
        case FleetColumn::Progress:
            if (row.busy) {
                return row.progress;
            }
            return row.held ? kHeld : row.outcome;
    }
    return {};
}

std::string FleetCellTooltip(const FleetRow& row, FleetColumn column) {
    switch (column) {
        case FleetColumn::Device:
            return row.device;
        case FleetColumn::Clock:
            if (row.clock_offset_s && *row.clock_offset_s != 0) {
                const int64_t ahead = -*row.clock_offset_s;
                return "The unit's clock is " + std::to_string(ahead < 0 ? -ahead : ahead) +
                       (ahead > 0 ? " s ahead of" : " s behind") + " this computer's";
            }
            return {};
        case FleetColumn::Progress:
            return FleetCellText(row, column);
        default:
            return {};
    }
}

}  // namespace keelsong::cli
