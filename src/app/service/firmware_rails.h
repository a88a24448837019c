#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "app/service/firmware_battery.h"
#include "protocol/unit_identity.h"

namespace keelsong {

class Program;

// What guards a firmware update before anything is written: the unit's battery, a backup of
// its table and setup, and how long the update will take.

// What to do when the battery is below kMinFirmwareBattery or gives no reading.
enum class BatteryGate {
    Ask,     // a second, explicit confirmation that names the level (the window)
    Refuse,  // the update does not start (keelsong-cli)
    Ignore,  // go on regardless (keelsong-cli --ignore-battery)
};

// "Battery at 12 %: charge the unit to at least 30 % before updating its firmware", or the
// same for a unit that gives no reading.
std::string LowBatteryText(std::optional<int> level);

// "about 52 s": `seconds` rounded up to whole seconds.
std::string AboutSeconds(double seconds);

// What the update question adds for an image of `image_bytes` (nullopt: unknown yet) and the
// unit as last enquired: how long writing takes, and for a unit in admin mode that nothing can
// be backed up and, without a reading, that its battery is unknown.
std::string UpdatePlanText(const UnitIdentity& identity, std::optional<size_t> image_bytes);

// Enquires the unit, checks its battery (`gate` says what a low or missing reading does) and
// backs up its table and setup into `backup` (left empty for a unit in admin mode or without
// an event table: there is nothing to back up). nullopt to go on; otherwise why the update must
// not start, also in the status line. Nothing is sent but reads.
std::optional<std::string> PrepareFirmwareUpdate(Program& program, BatteryGate gate,
                                                 std::string& backup);

}  // namespace keelsong
