// What the fleet window shows of a row, column by column: plain text, so that it is the same
// wherever a fleet is shown and can be checked without a window.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "cli/fleet.h"

namespace keelsong::cli {

enum class FleetColumn {
    Port,
    Device,
    Type,
    Serial,
    Firmware,
    Battery,
    Clock,
    PlayState,
    Deployed,
    Progress,
};

struct FleetColumnInfo {
    FleetColumn column;
    std::string_view title;
    std::string_view tooltip;
};

inline constexpr std::array<FleetColumnInfo, 10> kFleetColumns = {{
    {FleetColumn::Port, "Port", "The port number the unit answers on"},
    {FleetColumn::Device, "Device", "The serial device, by the name that stays with it"},
    {FleetColumn::Type, "Type", ""},
    {FleetColumn::Serial, "Serial", ""},
    {FleetColumn::Firmware, "Firmware", ""},
    {FleetColumn::Battery, "Battery", ""},
    {FleetColumn::Clock, "Clock", "The unit's clock against this computer's"},
    {FleetColumn::PlayState, "Play state", ""},
    {FleetColumn::Deployed, "Deployment", "The unit's table and setup against its file"},
    {FleetColumn::Progress, "Progress", "What the unit is doing, or how its last task ended"},
}};

// The unit's clock against the computer's, from the computer's clock less the unit's:
// "in step" (within the readiness check's tolerance), "12 s ahead", "3 s behind".
std::string ClockOffsetText(int64_t computer_less_unit_s);

// The cell's text; a device under /dev/serial/by-id by its file name (the whole path is its
// tooltip).
std::string FleetCellText(const FleetRow& row, FleetColumn column);

// What a cell says in full, where its text is cut or needs explaining; empty for none.
std::string FleetCellTooltip(const FleetRow& row, FleetColumn column);

}  // namespace keelsong::cli
