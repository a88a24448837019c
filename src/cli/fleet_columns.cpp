#include "cli/fleet_columns.h"

#include <filesystem>

#include "app/unit/readiness.h"

namespace keelsong::cli {

namespace {

constexpr char kHeld[] = "Open in the main window";

// "12 s ahead" or "3 s behind".
std::string OffsetText(int64_t computer_less_unit_s, const char* ahead, const char* behind) {
    const int64_t seconds = computer_less_unit_s < 0 ? -computer_less_unit_s : computer_less_unit_s;
    return std::to_string(seconds) + (computer_less_unit_s < 0 ? ahead : behind);
}

}  // namespace

std::string ClockOffsetText(int64_t computer_less_unit_s) {
    // Within what the readiness check lets pass: the clocks are read to the second, at
    // different moments.
    if (computer_less_unit_s >= -kReadinessClockTolerance &&
        computer_less_unit_s <= kReadinessClockTolerance) {
        return "in step";
    }
    return OffsetText(computer_less_unit_s, " s ahead", " s behind");
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
                return "The unit's clock is " +
                       OffsetText(*row.clock_offset_s, " s ahead of", " s behind") +
                       " this computer's";
            }
            return {};
        case FleetColumn::Progress:
            return FleetCellText(row, column);
        default:
            return {};
    }
}

}  // namespace keelsong::cli
