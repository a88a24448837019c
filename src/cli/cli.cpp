#include "cli/cli.h"

#include <algorithm>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <set>
#include <system_error>
#include <thread>

#include "app/connection/connection.h"
#include "app/link/frame_trace.h"
#include "cli/cli_options.h"
#include "cli/deployment_manifest.h"
#include "cli/history_command.h"
#include "cli/progress_board.h"
#include "cli/report_command.h"
#include "cli/unit_commands.h"
#include "cli/unit_session.h"
#include "keelsong_version.h"
#include "platform/posix_serial_port.h"

namespace keelsong::cli {

namespace {

// What one unit's thread does; nullopt when there is nothing to report (no unit on a port
// searched).
using UnitJob =
    std::function<std::optional<UnitReport>(const UnitTarget& target, const ProgressSink&)>;

std::string Label(const UnitTarget& target) {
    return target.port ? "port " + std::to_string(*target.port) : target.device_path;
}

// Runs the job for every target at once, one thread each, and hands the reports to `emit` in
// the order of the targets, each as soon as it and all before it are done.
void RunConcurrently(const std::vector<UnitTarget>& targets, const UnitJob& job,
                     ProgressBoard& board, const std::function<void(const UnitReport&)>& emit) {
    std::vector<std::future<std::optional<UnitReport>>> results;
    std::vector<std::thread> threads;
    std::vector<size_t> lines;
    for (const UnitTarget& target : targets) {
        const size_t line = board.Add(Label(target));
        lines.push_back(line);
        ProgressSink progress = [&board, line](const std::string& text) {
            board.Update(line, text);
        };
        std::packaged_task<std::optional<UnitReport>()> task([&job, target, progress] {
            return Guarded(target, [&] { return job(target, progress); });
        });
        results.push_back(task.get_future());
        try {
            threads.emplace_back(std::move(task));
        } catch (const std::system_error&) {
            task();  // no thread to be had: this unit runs here, the others go on
        }
    }
    for (size_t k = 0; k < results.size(); ++k) {
        const std::optional<UnitReport> report = results[k].get();
        board.Done(lines[k]);
        if (report) {
            emit(*report);
        }
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
}

// "Find All Units" on every port at once: the units that answer, in port order.
std::vector<UnitReport> SearchPorts(const FleetSettings& settings, ProgressBoard& board) {
    std::vector<UnitTarget> targets;
    for (const int number : PortsToSearch(PosixSerialPort(settings.Ports()))) {
        targets.push_back({number, {}});
    }
    const UnitJob probe = [&settings](const UnitTarget& target,
                                      const ProgressSink&) -> std::optional<UnitReport> {
        UnitSession session(settings, target, nullptr);
        if (session.Probe() < 0) {
            return std::nullopt;
        }
        UnitReport report = session.Report();
        report.ok = true;
        return report;
    };
    std::vector<UnitReport> found;
    RunConcurrently(targets, probe, board,
                    [&found](const UnitReport& report) { found.push_back(report); });
    return found;
}

// The units of a --serial search, in port order, and a failure for each number not found.
std::vector<UnitTarget> UnitsWithSerials(const std::vector<uint16_t>& serials,
                                         const std::vector<UnitReport>& found,
                                         std::vector<UnitReport>& not_found) {
    std::vector<UnitTarget> targets;
    for (const UnitReport& unit : found) {
        const std::optional<int64_t> serial = FieldOf<int64_t>(unit, "serial");
        if (serial && std::find(serials.begin(), serials.end(), *serial) != serials.end()) {
            targets.push_back({unit.port, {}});
        }
    }
    for (const uint16_t serial : serials) {
        const bool seen = std::any_of(found.begin(), found.end(), [&](const UnitReport& unit) {
            return FieldOf<int64_t>(unit, "serial") == int64_t{serial};
        });
        if (!seen) {
            UnitReport missing;
            missing.failure = "No unit with serial number " + std::to_string(serial) +
                              " found on ports 1-" + std::to_string(kSearchedPorts);
            not_found.push_back(missing);
        }
    }
    return targets;
}

// A manifest's unit that no unit searched or given answered as.
UnitReport MissingFromDeployment(uint16_t serial, const std::string& file) {
    UnitReport missing;
    missing.failure = "missing: no unit with serial number " + std::to_string(serial) +
                      " answered; not written: " + file;
    missing.fields = {{"serial", int64_t{serial}}, {"file", file}, {"in_manifest", true}};
    return missing;
}

// What every unit of the command line shares.
FleetSettings SettingsFor(const CliRequest& request, const CliEnvironment& environment) {
    FleetSettings settings;
    settings.settings_folder = request.settings_dir.empty()
                                   ? PosixPlatform(environment.environment).SettingsFolder()
                                   : request.settings_dir;
    settings.device_folder = environment.device_folder;
    settings.environment = environment.environment;
    settings.timeout_ms = request.timeout_ms;
    settings.pause_scale = environment.pause_scale;
    return settings;
}

// --trace's file, its header naming the command line and the devices of the ports asked for;
// null (after saying why) when it cannot be written.
std::unique_ptr<FileFrameTrace> OpenTrace(const std::vector<std::string_view>& args,
                                          const CliRequest& request, const FleetSettings& settings,
                                          std::ostream& err) {
    std::string problem;
    TraceOrigin origin{"keelsong-cli", kVersion, {"keelsong-cli"}, {}};
    origin.command_line.insert(origin.command_line.end(), args.begin(), args.end());
    if (request.device.empty()) {
        // The ports named, or for a search every port with a device now.
        origin.devices = DescribePorts(PosixSerialPort(settings.Ports()), request.ports);
    } else {
        origin.devices.push_back("device: " + request.device);
    }
    std::unique_ptr<FileFrameTrace> trace =
        FileFrameTrace::Open(request.trace_file, origin, &problem);
    if (!trace) {
        err << "keelsong-cli: cannot write the trace to " << request.trace_file << ": " << problem
            << std::endl;
    }
    return trace;
}

// What the command sends or compares with, read once before any unit is touched: write's file
// (refused for what no unit could take), check's, apply's manifest and every file it names.
struct CommandFiles {
    std::optional<ConfigFileContents> to_write;
    std::optional<Deployment> deployment;
};

// The files, or nullopt after telling every problem.
std::optional<CommandFiles> ReadCommandFiles(const CliRequest& request,
                                             const CliEnvironment& environment) {
    CommandFiles files;
    // Every unit then gets the same contents, however the file changes meanwhile. Only a check
    // file that cannot be read stops check.
    const bool checks_file = request.command == CommandKind::Check && !request.file.empty();
    if (request.command == CommandKind::Write || checks_file) {
        ConfigFileRead read = ReadConfigurationFile(request.file);
        std::optional<std::string> refusal = !read.contents ? read.failure
                                             : checks_file  ? std::nullopt
                                                            : RefusedForEveryUnit(*read.contents);
        if (refusal) {
            environment.err << "keelsong-cli: " << request.file << ": " << *refusal << std::endl;
            return std::nullopt;
        }
        files.to_write = std::move(read.contents);
    }
    if (request.command == CommandKind::Apply) {
        DeploymentRead read = ReadDeployment(request.file, PosixPlatform(environment.environment));
        for (const std::string& problem : read.problems) {
            environment.err << "keelsong-cli: " << request.file << ": " << problem << std::endl;
        }
        if (!read.problems.empty()) {
            return std::nullopt;
        }
        files.deployment = std::move(read.units);
    }
    return files;
}

// Searches every port, with one progress line for the search.
std::vector<UnitReport> SearchEveryPort(const FleetSettings& settings, ProgressBoard& board,
                                        const CliEnvironment& environment) {
    const size_t searching = board.Add("ports 1-" + std::to_string(kSearchedPorts));
    board.Update(searching, "Searching For Units");
    ProgressBoard silent(environment.err, false, environment.terminal_width);
    std::vector<UnitReport> found = SearchPorts(settings, silent);
    board.Done(searching);
    return found;
}

// The units the command works on, in port order, and a failure for each serial number asked
// for that no unit answered as.
std::vector<UnitTarget> TargetsOf(const CliRequest& request, const FleetSettings& settings,
                                  ProgressBoard& board, const CliEnvironment& environment,
                                  std::vector<UnitReport>& not_found) {
    std::vector<UnitTarget> targets;
    const bool searches_every_port =
        request.command == CommandKind::Apply && request.ports.empty() && request.device.empty();
    if (!request.serials.empty() || searches_every_port) {
        const std::vector<UnitReport> found = SearchEveryPort(settings, board, environment);
        if (!searches_every_port) {
            return UnitsWithSerials(request.serials, found, not_found);
        }
        for (const UnitReport& unit : found) {
            targets.push_back({unit.port, {}});
        }
    } else if (!request.device.empty()) {
        targets.push_back({std::nullopt, request.device});
    } else {
        std::vector<int> ports = request.ports;
        std::sort(ports.begin(), ports.end());
        for (const int number : ports) {
            targets.push_back({number, {}});
        }
    }
    return targets;
}

}  // namespace

int RunCli(const std::vector<std::string_view>& args, const CliEnvironment& environment) {
    const ParsedCommandLine parsed = ParseCommandLine(args);
    if (parsed.help) {
        environment.out << UsageText() << std::flush;
        return kExitOk;
    }
    if (parsed.version) {
        environment.out << "keelsong-cli " << kVersion << std::endl;
        return kExitOk;
    }
    if (!parsed.request) {
        environment.err << "keelsong-cli: " << parsed.error << "\nTry 'keelsong-cli --help'."
                        << std::endl;
        return kExitUsage;
    }
    const CliRequest& request = *parsed.request;
    if (request.command == CommandKind::History) {
        return RunHistoryCommand(request, environment);
    }

    FleetSettings settings = SettingsFor(request, environment);
    std::unique_ptr<FileFrameTrace> trace;
    if (!request.trace_file.empty()) {
        if (!(trace = OpenTrace(args, request, settings, environment.err))) {
            return kExitUsage;
        }
        settings.trace = trace.get();
    }

    bool all_ok = true;
    ProgressBoard board(environment.err, environment.err_is_terminal, environment.terminal_width);
    const auto emit = [&](const UnitReport& report) {
        all_ok = all_ok && report.ok && !report.attention;
        for (const std::string& warning : report.warnings) {
            board.Print(environment.err,
                        "keelsong-cli: " + Label({report.port, report.device}) + ": " + warning);
        }
        board.Print(environment.out, request.json ? FormatJson(report) : FormatLine(report));
    };

    if (request.command == CommandKind::Report) {
        emit(RunReportCommand(settings, request, environment.report_writer));
        return all_ok ? kExitOk : kExitUnitFailed;
    }
    if (request.command == CommandKind::List) {
        const std::vector<UnitReport> found = SearchEveryPort(settings, board, environment);
        for (const UnitReport& unit : found) {
            emit(unit);
        }
        if (found.empty()) {
            board.Print(environment.err, "No Units Found");
            return kExitUnitFailed;
        }
        return all_ok ? kExitOk : kExitUnitFailed;
    }

    const std::optional<CommandFiles> files = ReadCommandFiles(request, environment);
    if (!files) {
        return kExitUsage;
    }
    std::vector<UnitReport> not_found;
    const std::vector<UnitTarget> targets =
        TargetsOf(request, settings, board, environment, not_found);

    FileClaims claims;
    const UnitJob run = [&](const UnitTarget& target,
                            const ProgressSink& progress) -> std::optional<UnitReport> {
        UnitSession session(settings, target, progress);
        return RunUnitCommand(session, request, claims,
                              files->to_write ? &*files->to_write : nullptr,
                              files->deployment ? &*files->deployment : nullptr);
    };
    std::set<int64_t> reached;  // the serial numbers of the units that answered
    RunConcurrently(targets, run, board, [&](const UnitReport& report) {
        if (const std::optional<int64_t> serial = FieldOf<int64_t>(report, "serial")) {
            reached.insert(*serial);
        }
        emit(report);
    });
    for (const UnitReport& missing : not_found) {
        emit(missing);
    }
    if (files->deployment) {
        for (const auto& [serial, file] : *files->deployment) {
            if (!reached.contains(serial)) {
                emit(MissingFromDeployment(serial, file.path));
            }
        }
    }
    return all_ok ? kExitOk : kExitUnitFailed;
}

}  // namespace keelsong::cli
