#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/platform.h"

namespace keelsong {

class Program;

// The copy of a unit's event table and setup taken before its firmware is replaced: an
// ordinary ".tlk" configuration file in the backups folder, named after the unit and the time.

// <data folder>/backups
std::string BackupFolder(const Platform& platform);

// "unit<serial>_<yymmdd>_<hhmmss>.tlk" for the local time `local`.
std::string BackupFileName(uint16_t serial, const CalendarTime& local);

// The newest backup of unit `serial` in `folder` (the latest time in its name), or nullopt
// when there is none.
std::optional<std::string> NewestBackup(const std::string& folder, uint16_t serial);

// Reads the connected unit's table and setup and saves them in a new file in the backups
// folder, whose path goes into `path`. What the program shows, and whether it holds edits the
// unit does not have, is the same afterwards. nullopt, or what failed (also in the status
// line; nothing is left behind).
std::optional<std::string> BackUpUnit(Program& program, std::string& path);

}  // namespace keelsong
