// keelsong-cli run in-process against simulated units served on pseudo-terminals and published
// as ports/COM<N> in a scratch settings folder. The device folder is an empty scratch folder
// too: no USB serial device of the machine stands behind any port number.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "sim/pty_server.h"
#include "support/temp_dir.h"

namespace keelsong::testing {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;

    std::vector<std::string> Lines() const {
        std::vector<std::string> lines;
        std::istringstream stream(out);
        for (std::string line; std::getline(stream, line);) {
            lines.push_back(line);
        }
        return lines;
    }
};

class CliFixture : public ::testing::Test {
  protected:
    sim::PtyServer& AddUnit(int port, uint16_t serial, sim::UnitState state = {}) {
        state.serial_number = serial;
        sim::UnitSimulator simulator;
        simulator.State() = state;
        sim::PtyServerOptions options;
        options.pacing = false;
        options.port_number = port;
        options.settings_folder = settings.Path();
        servers_.push_back(std::make_unique<sim::PtyServer>(options, std::move(simulator)));
        std::string error;
        EXPECT_TRUE(servers_.back()->Start(&error)) << error;
        return *servers_.back();
    }

    // keelsong-cli with the scratch settings folder and a short time-out before `args`.
    CliRun Run(std::vector<std::string> args) {
        args.insert(args.begin(), {"--settings-dir", settings.Path(), "--timeout", "150"});
        return RunBare(args);
    }

    CliRun RunBare(const std::vector<std::string>& args) {
        std::ostringstream out;
        std::ostringstream err;
        cli::CliEnvironment environment{out, err, false, 80, devices.Path(), {}, report_writer};
        environment.pause_scale = pause_scale;
        // Firmware backups and the service history go to a scratch folder, never the user's.
        environment.environment = variables;
        environment.environment.emplace("XDG_DATA_HOME", data.Path());
        const std::vector<std::string_view> views(args.begin(), args.end());
        CliRun run;
        run.status = cli::RunCli(views, environment);
        run.out = out.str();
        run.err = err.str();
        return run;
    }

    TempDir settings;
    TempDir devices;
    Shell::ReportWriter report_writer;
    // The CLI's pauses, as a share of their length (see CliEnvironment).
    double pause_scale = 1.0;
    TempDir files;
    // The scratch XDG_DATA_HOME, holding Keelsong/history.sqlite and Keelsong/backups/.
    TempDir data;
    // The environment keelsong-cli sees; XDG_DATA_HOME is `data` unless given here.
    PosixPlatform::Environment variables;

  private:
    std::vector<std::unique_ptr<sim::PtyServer>> servers_;
};

}  // namespace keelsong::testing
