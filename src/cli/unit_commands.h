#pragma once

#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "cli/cli_options.h"
#include "cli/deployment_manifest.h"
#include "cli/unit_report.h"
#include "cli/unit_session.h"
#include "files/config_file_read.h"

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

// Why write must not send `contents` to any unit: an event no unit plays, or a section that
// stands twice (which of them was meant is not known). nullopt when it may go.
std::optional<std::string> RefusedForEveryUnit(const ConfigFileContents& contents);

// Connects to the session's unit and runs the request's command on it with the window's own
// operations. A unit in admin mode (but for firmware) or of a type without an event table ends
// there, like a port that does not open. write sends `to_write`, the file as read once for
// every unit, and refuses it when the unit would not get it as it stands; check compares the
// unit with it, or with the file `deployment` names for its serial number (neither: the
// readiness checks alone). apply writes and verifies the file
// `deployment` names for the unit's serial number, and leaves a unit it does not name alone.
UnitReport RunUnitCommand(UnitSession& session, const CliRequest& request, FileClaims& claims,
                          const ConfigFileContents* to_write = nullptr,
                          const Deployment* deployment = nullptr);

}  // namespace keelsong::cli
