// Times `keelsong-cli read` of a 40-event table from one simulated unit and from 4, 8 and 16 at
// once, each unit pacing its own line at 19200 baud, with the real 0.1 s pauses. Prints each
// time as a ratio to the floor (for each unit, the sum over its transactions of the 0.1 s pause
// or the time on the line, whichever is longer; for a fleet, the largest of its units' floors)
// and each fleet's time as a ratio to the one-unit time. Optional arguments: the number of runs
// (default 3), then "check" to time `keelsong-cli check` of the first unit's table instead.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli.h"
#include "paced_unit.h"
#include "sim/pty_server.h"

using namespace keelsong;

namespace {

constexpr int kFleets[] = {4, 8, 16};
constexpr int kUnits = 16;  // the largest fleet
constexpr int kEvents = 40;

std::string MakeTempFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "keelsong-fleet-XXXXXX").string();
    return ::mkdtemp(pattern.data()) ? pattern : std::string{};
}

// Tones timed in tenths, 10000 Hz upwards, 2.0 s, 7 dB.
std::vector<sim::StoredEvent> FortyTones() {
    std::vector<sim::StoredEvent> events;
    for (int k = 0; k < kEvents; ++k) {
        const uint32_t hertz = 10000 + 100 * static_cast<uint32_t>(k);
        events.push_back({5,
                          {static_cast<uint8_t>(hertz), static_cast<uint8_t>(hertz >> 8),
                           static_cast<uint8_t>(hertz >> 16), 0x00, 0x14, 0x00, 0x07}});
    }
    return events;
}

struct Measured {
    double seconds = 0;
    double floor = 0;  // the largest of the units' floors
    size_t transactions = 0;
};

// One `read` (or `check` of deploy.tlk) of ports 1 to `units`; false (with what it printed)
// when a unit failed.
bool ReadFleet(const std::string& folder, int units,
               std::vector<std::unique_ptr<sim::PtyServer>>& servers, Measured& measured,
               bool check = false) {
    for (auto& server : servers) {
        server->ClearRequestLog();
    }
    std::ostringstream out;
    std::ostringstream err;
    cli::CliEnvironment environment{out, err, false, 80, folder + "/no-devices", {}, {}};
    const std::string ports = units == 1 ? "1" : "1-" + std::to_string(units);
    const std::string file = folder + "/unit-{port}.tlk";
    const auto start = std::chrono::steady_clock::now();
    const std::string deployment = folder + "/deploy.tlk";
    const int status =
        check ? cli::RunCli({"--settings-dir", folder, "--port", ports, "check", deployment},
                            environment)
              : cli::RunCli({"--settings-dir", folder, "--port", ports, "read", file}, environment);
    measured.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status != 0) {
        std::fprintf(stderr, "%s failed:\n%s%s", check ? "check" : "read", out.str().c_str(),
                     err.str().c_str());
        return false;
    }
    measured.floor = 0;
    measured.transactions = 0;
    for (int k = 0; k < units; ++k) {
        const std::vector<sim::LoggedRequest> log = servers[static_cast<size_t>(k)]->RequestLog();
        measured.floor = std::max(measured.floor, TransactionFloor(log));
        measured.transactions += log.size();
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const bool check = argc > 2 && std::string(argv[2]) == "check";
    const std::string folder = MakeTempFolder();
    if (folder.empty()) {
        std::fprintf(stderr, "cannot make a scratch folder\n");
        return 1;
    }
    std::vector<std::unique_ptr<sim::PtyServer>> servers =
        StartPacedUnits(folder, kUnits, 1000, FortyTones());
    if (servers.empty()) {
        return 1;
    }

    if (check) {
        // The file every unit is checked against: what the first unit holds.
        Measured read;
        if (!ReadFleet(folder, 1, servers, read) ||
            std::rename((folder + "/unit-1.tlk").c_str(), (folder + "/deploy.tlk").c_str()) != 0) {
            return 1;
        }
    }
    double one_sum = 0;
    double fleet_sums[std::size(kFleets)] = {};
    for (int run = 0; run < runs; ++run) {
        Measured one;
        if (!ReadFleet(folder, 1, servers, one, check)) {
            return 1;
        }
        std::printf("run %d: 1 unit %.3f s (%zu transactions, floor %.3f s, ratio %.4f)\n", run + 1,
                    one.seconds, one.transactions, one.floor, one.seconds / one.floor);
        one_sum += one.seconds;
        for (size_t k = 0; k < std::size(kFleets); ++k) {
            Measured fleet;
            if (!ReadFleet(folder, kFleets[k], servers, fleet, check)) {
                return 1;
            }
            std::printf(
                "       %d units %.3f s (%zu transactions, floor %.3f s, ratio %.4f); %d/1 %.4f\n",
                kFleets[k], fleet.seconds, fleet.transactions, fleet.floor,
                fleet.seconds / fleet.floor, kFleets[k], fleet.seconds / one.seconds);
            fleet_sums[k] += fleet.seconds;
        }
    }
    std::printf("mean: 1 unit %.3f s", one_sum / runs);
    for (size_t k = 0; k < std::size(kFleets); ++k) {
        std::printf("; %d units %.3f s, %d/1 %.4f", kFleets[k], fleet_sums[k] / runs, kFleets[k],
                    fleet_sums[k] / one_sum);
    }
    std::printf(" (target 1.10 or less)\n");
    servers.clear();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
