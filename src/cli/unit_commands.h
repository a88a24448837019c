#pragma once

#include <mutex>
#include <set>
#include <string>

#include "cli/cli_options.h"
#include "cli/unit_report.h"
#include "cli/unit_session.h"

namespace keelsong::cli {

// The files that read's units write, across all units of a command line: a second unit that
// would write the same file (two units with one serial number) fails rather than replacing
// the first one's file. Safe to use from every unit's thread.
class FileClaims {
  public:
    // True when no other unit has claimed `path` (compared as an absolute, normal path).
    bool Claim(const std::string& path);

  private:
    std::mutex mutex_;
    std::set<std::string> claimed_;
};

// read's FILE for one unit: "{port}" becomes the port number (the device's file name for a
// unit given by its device), "{serial}" the unit's serial number.
std::string FileForUnit(const std::string& pattern, const UnitTarget& target, uint16_t serial);

// Connects to the session's unit and runs the request's command on it with the window's own
// operations. A unit in admin mode (but for firmware) or of a type without an event table ends
// there, like a port that does not open or a file that does not load.
UnitReport RunUnitCommand(UnitSession& session, const CliRequest& request, FileClaims& claims);

}  // namespace keelsong::cli
