#pragma once

#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/shell/shell.h"
#include "platform/posix_platform.h"

namespace keelsong::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitUnitFailed = 1;
inline constexpr int kExitUsage = 2;

// Where keelsong-cli runs: its output streams and what it knows of the machine.
struct CliEnvironment {
    std::ostream& out;
    std::ostream& err;
    // Progress lines go to `err` only when it is a terminal this wide.
    bool err_is_terminal = false;
    int terminal_width = 80;
    // Where the USB serial devices and serial/by-id live.
    std::string device_folder = "/dev";
    // HOME, the XDG folders and the user's name (PosixPlatform::ProcessEnvironment): the
    // default settings folder, the firmware backups' and the service history's folder, and who
    // records in it.
    PosixPlatform::Environment environment;
    // Writes report's PDF; empty in a build without the report library.
    Shell::ReportWriter report_writer;
    // Share of their length that the pauses take (the 5 s a unit is given to restart, the
    // 0.1 s before each answer is read). 1 for real units; tests that serve simulated units
    // restarting as much faster set less, so that a firmware update takes well under a second.
    double pause_scale = 1.0;
};

// The whole command: parses `args` (without the program name), runs the command on every unit,
// one thread per unit, and prints one line per unit in port order. The exit status.
int RunCli(const std::vector<std::string_view>& args, const CliEnvironment& environment);

}  // namespace keelsong::cli
