#include "cli/cli_options.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <map>
#include <utility>

#include "app/connection/connection.h"
#include "platform/long_option.h"

namespace keelsong::cli {

namespace {

constexpr std::string_view kUsageHead =
    R"(Usage: keelsong-cli [OPTION]... COMMAND [ARGUMENT]...
Configures Orvane units from a script: one unit, or a fleet on several ports at once, each
port in a thread of its own.

Options:
  --settings-dir DIR    the settings folder whose ports/ names the port numbers (default
                        $XDG_CONFIG_HOME/Keelsong, else ~/.config/Keelsong); without a
                        ports/COM<N> entry, N counts the USB serial devices
  --timeout MS          time-out of every read and write, 1-65535 ms (default 600)
  --json                one JSON object per unit instead of a line
  --trace FILE          write every frame sent to a unit and every answer read or missed
                        to FILE, one line each, as keelsong --trace does; each line begins
                        with its unit ("[port 3]"), and the units' lines never mix
  --help                show this text and exit
  --version             show the version and exit

Units (one of these; list, report and history take none, and without them apply searches
ports 1-30):
  --port N[,N...]       port numbers 1-30; N-M stands for every port from N to M
  --device PATH         the one unit on this serial device
  --serial S[,S...]     the units with these serial numbers, searched for on ports 1-30

Commands:
)";

constexpr std::string_view kUsageTail =
    R"(
Each unit ends with one line, in port order, its fields separated by tabs: the port (- for
--device), the device, the unit, then "ok" or the message of the step that failed; after
"ok" some commands add what they did or read. With --json each line is a JSON object with
the fields port, device, unit, status and ok, and what the command read.
While it works on a terminal, a progress line per unit goes to standard error.

Exit status: 0 when every unit succeeded, 1 when any failed, 2 for a usage error.

To try it without units, orvane-sim serves a simulated unit on a pseudo-terminal and
publishes it as a port in the settings folder given, where keelsong-cli finds it as it
finds a unit on USB:
  $ orvane-sim --port 1 --serial 1201 --settings-dir /tmp/fleet &
  $ orvane-sim --port 2 --serial 1202 --settings-dir /tmp/fleet &
  $ keelsong-cli --settings-dir /tmp/fleet --port 1,2 info
)";

// Whether a command is given its units: always, never (it searches every port or asks none),
// or optionally (else every port is searched).
enum class Units { Needed, None, Optional };

// Every command: how it is written and used, its paragraph of --help (the man page is made
// from it) and one example. Parsing, checking and the usage text all go by this table.
struct CommandForm {
    std::string_view name;
    CommandKind kind;
    int arguments;  // positional arguments after the command
    bool one_unit;  // works on a single unit only
    Units units;
    std::string_view needs;  // what a usage error says its arguments are
    std::string_view synopsis;
    std::string_view description;  // lines of at most 68 characters
    std::string_view example;
};

constexpr CommandForm kCommands[] = {
    {"list", CommandKind::List, 0, false, Units::None, "", "list",
     "search ports 1-30; one line per unit found, naming its device by\n"
     "its stable /dev/serial/by-id/ name where it has one",
     "keelsong-cli list"},
    {"info", CommandKind::Info, 0, false, Units::Needed, "", "info",
     "identity, firmware, battery, play state, clock offset",
     "keelsong-cli --port 1-4 --json info"},
    {"read", CommandKind::Read, 1, false, Units::Needed, "a FILE", "read FILE",
     "the table and setup into a \".tlk\" file; \"{port}\" and \"{serial}\" in\n"
     "FILE are replaced per unit (needed when reading several units)",
     "keelsong-cli --port 1-4 read 'fleet/unit-{serial}.tlk'"},
    {"write", CommandKind::Write, 1, false, Units::Needed, "a FILE",
     "write FILE [--verify] [--any-type]",
     "send a \".tlk\" file's table and setup and have the unit save them,\n"
     "as \"Accept Changes\"; --verify reads them back and compares. A unit\n"
     "of another type than the one the file names is not written unless\n"
     "--any-type",
     "keelsong-cli --port 1-4 write deployment.tlk --verify"},
    {"play", CommandKind::Play, 0, false, Units::Needed, "", "play", "start playback",
     "keelsong-cli --port 1,2 play"},
    {"stop", CommandKind::Stop, 0, false, Units::Needed, "", "stop", "stop playback",
     "keelsong-cli --serial 1042,1043 stop"},
    {"set-time", CommandKind::SetTime, 0, false, Units::Needed, "", "set-time",
     "set the unit's clock from this computer's", "keelsong-cli --port 1-4 set-time"},
    {"restore", CommandKind::Restore, 0, false, Units::Needed, "", "restore",
     "go back to the table and setup the unit saved", "keelsong-cli --port 2 restore"},
    {"serial", CommandKind::Serial, 1, true, Units::Needed, "the new serial NUMBER",
     "serial NUMBER", "give the unit a new serial number, 1-65535 (one unit)",
     "keelsong-cli --port 3 serial 1207"},
    {"reset", CommandKind::Reset, 0, true, Units::Needed, "", "reset",
     "restart the unit and read its table and setup again (one unit)",
     "keelsong-cli --device /dev/ttyUSB0 reset"},
    {"firmware", CommandKind::Firmware, 1, false, Units::Needed, "an IMAGE",
     "firmware IMAGE [--keep-table] [--ignore-battery]",
     "install a firmware image; --keep-table sends the table and setup\n"
     "back afterwards (\"Update and Save\"), else they are read again.\n"
     "The unit's table and setup are first backed up to\n"
     "$XDG_DATA_HOME/Keelsong/backups/; a battery below 30 % or without a\n"
     "reading stops the update unless --ignore-battery",
     "keelsong-cli --port 1 firmware OrvaneHF.bin --keep-table"},
    {"restore-backup", CommandKind::RestoreBackup, 0, false, Units::Needed, "",
     "restore-backup [--from FILE]",
     "write the unit's newest firmware backup (or FILE) back into it,\n"
     "have it save them and read them back to compare",
     "keelsong-cli --port 1 restore-backup"},
    {"check", CommandKind::Check, 1, false, Units::Needed, "", "check [FILE.tlk]",
     "compare each unit's table and setup with a \".tlk\" file, writing\n"
     "nothing: \"matches\", or \"differs\" and the first differences; then\n"
     "warnings for what would stop the unit in the field (start time\n"
     "past, clock off by more than 2 s, battery low, table empty, admin\n"
     "mode). Without FILE, the warnings alone. Exit 1 when any unit\n"
     "differs or warns",
     "keelsong-cli --port 1-4 check deployment.tlk"},
    {"apply", CommandKind::Apply, 1, false, Units::Optional, "a MANIFEST.csv", "apply MANIFEST.csv",
     "write each unit the file a deployment manifest names for its serial\n"
     "number, and verify it; the manifest has a header line and the\n"
     "columns serial, file (relative to the manifest) and, optionally,\n"
     "start (local YYYY-MM-DD HH:MM, in place of the file's start time).\n"
     "Every unit found on ports 1-30 unless --port or --device; a unit\n"
     "the manifest does not name is left alone (\"not in manifest\"), a\n"
     "serial number not found is told \"missing\". The manifest and all\n"
     "its files are checked before any unit is touched (exit 2). Exit 0\n"
     "only when every unit named was written and verified",
     "keelsong-cli apply deployment.csv"},
    {"report", CommandKind::Report, 2, false, Units::None, "a FILE.tlk and an OUT.pdf",
     "report FILE.tlk OUT.pdf [--type LF|HF|HF-R1]",
     "the deployment report of a \".tlk\" file, as the window's \"Export\n"
     "Report\" writes it; no unit is asked (its fields say \"from file\").\n"
     "The events are read as for the --type given, else the type the\n"
     "file names, else the type that plays them all; the report says which",
     "keelsong-cli report deployment.tlk deployment.pdf"},
    {"history", CommandKind::History, 0, false, Units::None, "",
     "history [--serial N] [--since YYYY-MM-DD]",
     "the service history: every change made to a unit from this\n"
     "computer (write, restore, firmware, serial, reset, set-time and\n"
     "the window's own), newest first; --serial keeps one unit's,\n"
     "--since those from that day (UTC) on. Each line: time, user,\n"
     "program, type, serial, firmware, operation, file, the file's\n"
     "SHA-256, the SHA-256 of the table and setup afterwards, ok or\n"
     "failed, message. Kept in $XDG_DATA_HOME/Keelsong/history.sqlite\n"
     "(default ~/.local/share/Keelsong/)",
     "keelsong-cli history --serial 1203 --since 2026-05-01 --json"},
};

const CommandForm* FindCommand(std::string_view name) {
    for (const CommandForm& form : kCommands) {
        if (form.name == name) {
            return &form;
        }
    }
    return nullptr;
}

// "  synopsis  description" in two columns, the description's further lines and the example
// indented under it; a synopsis too wide for its column stands on a line of its own.
std::string UsageOf(const CommandForm& form) {
    constexpr size_t kColumn = 24;
    std::string text = "  " + std::string(form.synopsis);
    text += text.size() + 2 <= kColumn ? std::string(kColumn - text.size(), ' ')
                                       : "\n" + std::string(kColumn, ' ');
    for (size_t start = 0;;) {
        const size_t end = form.description.find('\n', start);
        text += form.description.substr(start, end - start);
        text += '\n';
        if (end == std::string_view::npos) {
            break;
        }
        text += std::string(kColumn, ' ');
        start = end + 1;
    }
    return text + std::string(kColumn + 2, ' ') + std::string(form.example) + '\n';
}

std::optional<long long> WholeNumber(std::string_view text) {
    long long value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> SplitList(std::string_view text) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma - start));
        if (comma == std::string_view::npos) {
            return parts;
        }
        start = comma + 1;
    }
}

// "2", "2,5" or "1-4": ports 1-30, none twice. The error text, or empty.
std::string ParsePorts(std::string_view text, std::vector<int>& ports) {
    const std::string bad = "port numbers run from 1 to " + std::to_string(kSearchedPorts) + ": '";
    for (const std::string_view part : SplitList(text)) {
        const size_t dash = part.find('-', 1);
        const auto first = WholeNumber(part.substr(0, dash));
        const auto last =
            dash == std::string_view::npos ? first : WholeNumber(part.substr(dash + 1));
        if (!first || !last || *first < 1 || *last > kSearchedPorts || *first > *last) {
            return bad + std::string(part) + "'";
        }
        for (long long number = *first; number <= *last; ++number) {
            if (std::find(ports.begin(), ports.end(), number) != ports.end()) {
                return "port " + std::to_string(number) + " is given twice";
            }
            ports.push_back(static_cast<int>(number));
        }
    }
    return {};
}

std::optional<uint16_t> SerialNumber(std::string_view text, long long lowest) {
    const auto number = WholeNumber(text);
    if (!number || *number < lowest || *number > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(*number);
}

std::string ParseSerials(std::string_view text, std::vector<uint16_t>& serials) {
    for (const std::string_view part : SplitList(text)) {
        const auto serial = SerialNumber(part, 0);
        if (!serial) {
            return "serial numbers run from 0 to 65535: '" + std::string(part) + "'";
        }
        if (std::find(serials.begin(), serials.end(), *serial) != serials.end()) {
            return "serial number " + std::to_string(*serial) + " is given twice";
        }
        serials.push_back(*serial);
    }
    return {};
}

// report's --type: the unit types with an event table, as the command line writes them.
std::optional<int> UnitTypeNamed(std::string_view name) {
    if (name == "LF") {
        return device_type::kOrvaneLf;
    }
    if (name == "HF") {
        return device_type::kOrvaneHf;
    }
    if (name == "HF-R1") {
        return device_type::kOrvaneHfR1;
    }
    return std::nullopt;
}

// "YYYY-MM-DD" as the UTC instant that day begins.
std::optional<int64_t> UtcDay(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const auto year = WholeNumber(text.substr(0, 4));
    const auto month = WholeNumber(text.substr(5, 2));
    const auto day = WholeNumber(text.substr(8, 2));
    if (!year || !month || !day || *month < 1 || *day < 1) {
        return std::nullopt;
    }
    const std::chrono::year_month_day date{std::chrono::year(static_cast<int>(*year)),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) {
        return std::nullopt;
    }
    return std::chrono::sys_seconds(std::chrono::sys_days(date)).time_since_epoch().count();
}

bool NamesUnit(std::string_view file) {
    return file.find(kPortPlaceholder) != std::string_view::npos ||
           file.find(kSerialPlaceholder) != std::string_view::npos;
}

ParsedCommandLine UsageError(std::string text) {
    ParsedCommandLine parsed;
    parsed.error = std::move(text);
    return parsed;
}

// The checks that need the whole command line.
std::string CheckRequest(const CliRequest& request, std::string_view name,
                         const CommandForm& form) {
    const bool several = request.ports.size() > 1 || request.serials.size() > 1;
    const int unit_kinds =
        !request.ports.empty() + !request.device.empty() + !request.serials.empty();
    if (unit_kinds > 1) {
        return "give the units by one of --port, --device and --serial";
    }
    if (request.command == CommandKind::History) {
        if (!request.ports.empty() || !request.device.empty()) {
            return "history asks no unit: --port and --device do not apply";
        }
        if (request.serials.size() > 1) {
            return "history takes one --serial";
        }
    } else if (form.units == Units::None && unit_kinds > 0) {
        return std::string(name) +
               (request.command == CommandKind::Report ? " asks no unit" : " searches every port") +
               ": --port, --device and --serial do not apply";
    }
    if (request.command == CommandKind::Apply && !request.serials.empty()) {
        return "apply finds the units the manifest names: --serial does not apply";
    }
    if (form.units == Units::Needed && unit_kinds == 0) {
        return std::string(name) + " needs the units: --port, --device or --serial";
    }
    if (form.one_unit && (request.ports.size() > 1 || request.serials.size() > 1)) {
        return std::string(name) + " works on one unit only";
    }
    if (request.verify && request.command != CommandKind::Write) {
        return "--verify goes with write only";
    }
    if (request.since && request.command != CommandKind::History) {
        return "--since goes with history only";
    }
    if (request.unit_type && request.command != CommandKind::Report) {
        return "--type goes with report only";
    }
    if (request.any_type && request.command != CommandKind::Write) {
        return "--any-type goes with write only";
    }
    if (request.keep_table && request.command != CommandKind::Firmware) {
        return "--keep-table goes with firmware only";
    }
    if (request.ignore_battery && request.command != CommandKind::Firmware) {
        return "--ignore-battery goes with firmware only";
    }
    if (!request.file.empty() && request.command == CommandKind::RestoreBackup && several) {
        return "restore-backup --from FILE writes one file: give one unit";
    }
    if (request.command == CommandKind::Read && several && !NamesUnit(request.file)) {
        return "reading several units needs {port} or {serial} in FILE, so that each unit has "
               "a file of its own";
    }
    return {};
}

// What the options have said so far.
struct ParsedOptions {
    CliRequest request;
    bool has_ports = false;
    bool has_serials = false;
    std::string from;  // restore-backup's file
};

// An option without a value: it sets its field of the request.
struct Flag {
    std::string_view name;
    bool CliRequest::*field;
};
constexpr std::array<Flag, 5> kFlags = {{
    {"--json", &CliRequest::json},
    {"--verify", &CliRequest::verify},
    {"--keep-table", &CliRequest::keep_table},
    {"--ignore-battery", &CliRequest::ignore_battery},
    {"--any-type", &CliRequest::any_type},
}};

// An option with a value: takes it into the options, or says why it cannot.
struct ValueOption {
    std::string_view name;
    std::string (*take)(std::string_view value, ParsedOptions& options);
};
constexpr std::array<ValueOption, 9> kValueOptions = {{
    {"--settings-dir",
     [](std::string_view value, ParsedOptions& options) -> std::string {
         options.request.settings_dir = std::string(value);
         return value.empty() ? "--settings-dir needs a folder" : "";
     }},
    {"--timeout",
     [](std::string_view value, ParsedOptions& options) -> std::string {
         const auto ms = WholeNumber(value);
         if (!ms || *ms < 1 || *ms > 0xFFFF) {
             return "--timeout takes 1 to 65535 milliseconds: '" + std::string(value) + "'";
         }
         options.request.timeout_ms = static_cast<uint32_t>(*ms);
         return "";
     }},
    {"--trace",
     [](std::string_view value, ParsedOptions& options) -> std::string {
         options.request.trace_file = std::string(value);
         return value.empty() ? "--trace needs a file" : "";
     }},
    {"--port",
     [](std::string_view value, ParsedOptions& options) -> std::string {
         if (std::exchange(options.has_ports, true)) {
             return "--port is given twice";
         }
         return ParsePorts(value, options.request.ports);
     }},
    {"--type",
     [](std::string_view value, ParsedOptions& options) -> std::string {
         if (options.request.unit_type) {
             return "--type is given twice";
         }
         options.request.unit_type = UnitTypeNamed(value);
         return options.request.unit_type
                    ? ""
                    : "--type is LF, HF or HF-R1: '" + std::string(value) + "'";
     }},
    {"--from",
     [](std::string_view value, ParsedOptions& options) -> std::string {
         if (!options.from.empty()) {
             return "--from is given twice";
         }
         options.from = std::string(value);
         return value.empty() ? "--from needs a file" : "";
     }},
    {"--device",
     [](std::string_view value, ParsedOptions& options) -> std::string {
         if (!options.request.device.empty()) {
             return "--device is given twice";
         }
         options.request.device = std::string(value);
         return value.empty() ? "--device needs a path" : "";
     }},
    {"--since",
     [](std::string_view value, ParsedOptions& options) -> std::string {
         options.request.since = UtcDay(value);
         return options.request.since
                    ? ""
                    : "--since takes a date, YYYY-MM-DD: '" + std::string(value) + "'";
     }},
    {"--serial",
     [](std::string_view value, ParsedOptions& options) -> std::string {
         if (std::exchange(options.has_serials, true)) {
             return "--serial is given twice";
         }
         return ParseSerials(value, options.request.serials);
     }},
}};

// The command and its arguments, into the request the options began.
ParsedCommandLine TakeCommand(const std::vector<std::string_view>& positional,
                              ParsedOptions options) {
    if (positional.empty()) {
        return UsageError("no command given");
    }
    const CommandForm* command = FindCommand(positional.front());
    if (!command) {
        return UsageError("unknown command '" + std::string(positional.front()) + "'");
    }
    CliRequest& request = options.request;
    const std::string_view name = command->name;
    const CommandForm& form = *command;
    request.command = form.kind;
    const size_t arguments = positional.size() - 1;
    // check's file is optional: without it, only the readiness checks run.
    if (arguments < static_cast<size_t>(form.arguments) && form.kind != CommandKind::Check) {
        return UsageError(std::string(name) + " needs " + std::string(form.needs));
    }
    if (arguments > static_cast<size_t>(form.arguments)) {
        return UsageError("too many arguments for " + std::string(name) + ": '" +
                          std::string(positional[static_cast<size_t>(form.arguments) + 1]) + "'");
    }
    if (form.kind == CommandKind::Serial) {
        const auto serial = SerialNumber(positional[1], 1);
        if (!serial) {
            return UsageError("the new serial number runs from 1 to 65535: '" +
                              std::string(positional[1]) + "'");
        }
        request.new_serial = *serial;
    } else if (form.arguments >= 1 && arguments >= 1) {
        request.file = std::string(positional[1]);
        request.output = form.arguments == 2 ? std::string(positional[2]) : std::string();
        if (request.file.empty() || (form.arguments == 2 && request.output.empty())) {
            return UsageError(std::string(name) + " needs a file name, not an empty one");
        }
    }
    if (!options.from.empty()) {
        if (form.kind != CommandKind::RestoreBackup) {
            return UsageError("--from goes with restore-backup only");
        }
        request.file = options.from;
    }
    if (const std::string error = CheckRequest(request, name, form); !error.empty()) {
        return UsageError(error);
    }
    ParsedCommandLine parsed;
    parsed.request = std::move(request);
    return parsed;
}

}  // namespace

std::string_view UsageText() {
    static const std::string text = [] {
        std::string usage(kUsageHead);
        for (const CommandForm& form : kCommands) {
            usage += UsageOf(form);
        }
        return usage + std::string(kUsageTail);
    }();
    return text;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string_view>& args) {
    ParsedOptions options;
    std::vector<std::string_view> positional;
    bool options_ended = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (options_ended || args[i] == "--") {
            // After "--" everything is an argument, even a file name that starts with "--".
            if (options_ended) {
                positional.push_back(args[i]);
            }
            options_ended = true;
            continue;
        }
        auto [name, value] = SplitLongOption(args[i]);
        if (!name.starts_with("--")) {
            positional.push_back(args[i]);
            continue;
        }
        if (name == "--help" || name == "--version") {
            ParsedCommandLine parsed;
            parsed.help = name == "--help";
            parsed.version = name == "--version";
            return parsed;
        }
        if (const auto flag = std::ranges::find(kFlags, name, &Flag::name); flag != kFlags.end()) {
            if (value) {
                return UsageError(std::string(name) + " takes no value");
            }
            options.request.*(flag->field) = true;
            continue;
        }
        const auto option = std::ranges::find(kValueOptions, name, &ValueOption::name);
        if (option == kValueOptions.end()) {
            return UsageError("unknown option '" + std::string(args[i]) + "'");
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                return UsageError(std::string(name) + " needs a value");
            }
            value = args[++i];
        }
        if (const std::string error = option->take(*value, options); !error.empty()) {
            return UsageError(error);
        }
    }
    return TakeCommand(positional, std::move(options));
}

}  // namespace keelsong::cli
