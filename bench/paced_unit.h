#pragma once

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/posix_serial_port.h"
#include "protocol/frame.h"
#include "sim/pty_server.h"

namespace keelsong {

// Starts the simulated unit (paced at 19200 baud unless its options say otherwise) and opens
// `port` on its terminal with the program's default time-out. On failure says why on stderr.
inline bool OpenPacedUnit(sim::PtyServer& server, PosixSerialPort& port) {
    std::string error;
    if (!server.Start(&error)) {
        std::fprintf(stderr, "cannot start the simulated unit: %s\n", error.c_str());
        return false;
    }
    if (const int opened = port.OpenPath(server.Path()); opened != 0) {
        std::fprintf(stderr, "cannot open %s: %s\n", server.Path().c_str(),
                     SerialErrorText(opened).c_str());
        return false;
    }
    port.SetTimeout(0.6);
    return true;
}

// Serves simulated units, paced, on ports 1 to `count` published in `settings_folder`, unit N
// with serial number `first_serial` + N and the events given. Empty (after saying why) when
// one does not start.
inline std::vector<std::unique_ptr<sim::PtyServer>> StartPacedUnits(
    const std::string& settings_folder, int count, int first_serial,
    const std::vector<sim::StoredEvent>& events = {}) {
    std::vector<std::unique_ptr<sim::PtyServer>> servers;
    for (int port = 1; port <= count; ++port) {
        sim::UnitSimulator simulator;
        simulator.State().serial_number = static_cast<uint16_t>(first_serial + port);
        simulator.Events() = events;
        sim::PtyServerOptions options;  // paced
        options.port_number = port;
        options.settings_folder = settings_folder;
        servers.push_back(std::make_unique<sim::PtyServer>(options, std::move(simulator)));
        std::string error;
        if (!servers.back()->Start(&error)) {
            std::fprintf(stderr, "cannot start the simulated unit: %s\n", error.c_str());
            return {};
        }
    }
    return servers;
}

// The least time the logged transactions can take: for each, the 0.1 s pause or its request's
// and response's time on the line (10 bits a byte at 19200 baud), whichever is longer.
inline double TransactionFloor(const std::vector<sim::LoggedRequest>& log) {
    constexpr double kByteSeconds = 10.0 / 19200.0;
    double total = 0;
    for (const sim::LoggedRequest& request : log) {
        const size_t bytes = kFrameOverhead + request.payload.size() + request.response.size();
        total += std::max(kResponsePauseSeconds, static_cast<double>(bytes) * kByteSeconds);
    }
    return total;
}

}  // namespace keelsong
