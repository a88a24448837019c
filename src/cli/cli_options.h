#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace keelsong::cli {

enum class CommandKind {
    List,
    Info,
    Read,
    Write,
    Play,
    Stop,
    SetTime,
    Restore,
    Serial,
    Reset,
    Firmware,
    RestoreBackup,
    Report,
    History,
    Check,
    Apply
};

// What the command line asks for, checked: every number in range, every command with what it
// needs.
struct CliRequest {
    std::string settings_dir;  // empty: the program's own settings folder
    uint32_t timeout_ms = 600;
    bool json = false;
    std::string trace_file;
    CommandKind command = CommandKind::List;
    // The units: ports, or one device, or serial numbers to search for (at most one kind).
    std::vector<int> ports;
    std::string device;
    std::vector<uint16_t> serials;
    std::string file;    // read's and write's FILE, firmware's IMAGE, report's FILE.tlk,
                         // restore-backup's --from FILE (empty: the unit's newest backup),
                         // check's FILE.tlk (empty: the readiness checks alone),
                         // apply's MANIFEST.csv
    std::string output;  // report's OUT.pdf
    uint16_t new_serial = 0;
    bool verify = false;
    bool keep_table = false;
    bool ignore_battery = false;
    // write: a unit of another type than the file's "[Unit] Type" is written all the same.
    bool any_type = false;
    // report's --type: the unit type the file's events are read as for.
    std::optional<int> unit_type;
    // history's --since: UTC midnight of the date given.
    std::optional<int64_t> since;
};

struct ParsedCommandLine {
    std::optional<CliRequest> request;
    bool help = false;
    bool version = false;
    std::string error;  // a usage error: set when neither a request nor help
};

ParsedCommandLine ParseCommandLine(const std::vector<std::string_view>& args);

// The --help text: every option and command, each command with an example.
std::string_view UsageText();

// Where read's FILE names the unit: "{port}" and "{serial}" are replaced.
inline constexpr std::string_view kPortPlaceholder = "{port}";
inline constexpr std::string_view kSerialPlaceholder = "{serial}";

}  // namespace keelsong::cli
