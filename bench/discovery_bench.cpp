// Times the search of ports 1-30 with one simulated unit on port 5 (pacing at 19200 baud) and no
// device behind any other port number, and a full connection to that unit. Each figure is a
// ratio to its floor: for every transaction the unit received, the 0.1 s pause or the request's
// and response's time on the line, whichever is longer.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "app/connection/connection.h"
#include "app/state/program.h"
#include "headless/headless_ui.h"
#include "platform/posix_platform.h"
#include "platform/posix_serial_port.h"
#include "protocol/commands.h"
#include "protocol/frame.h"
#include "sim/pty_server.h"

using namespace keelsong;

namespace {

constexpr double kByteSeconds = 10.0 / 19200.0;
constexpr int kUnitPort = 5;
constexpr int kTimeoutMs = 600;

std::string MakeTempFolder(const char* tag) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / (std::string("keelsong-") + tag + "-XXXXXX"))
            .string();
    return ::mkdtemp(pattern.data()) ? pattern : std::string{};
}

// The floor of what the unit logged since the log was last cleared, and what it received.
double LoggedFloor(const sim::PtyServer& server, std::string* commands) {
    double floor = 0;
    commands->clear();
    for (const sim::LoggedRequest& request : server.RequestLog()) {
        const size_t bytes = request.payload.size() + kFrameOverhead + request.response.size();
        floor += std::max(kResponsePauseSeconds, bytes * kByteSeconds);
        if (!commands->empty()) {
            *commands += ", ";
        }
        *commands += std::string(CommandName(request.command));
    }
    return floor;
}

struct Figures {
    double mean = 0;
    double worst = 0;
    double floor = 0;
    std::string commands;
};

// Runs `once` `count` times; each run must end with `ok` true.
bool Measure(sim::PtyServer& server, int count, const std::function<bool()>& once,
             const std::function<void()>& between, Figures* figures) {
    double total = 0;
    for (int i = 0; i < count; ++i) {
        between();
        server.ClearRequestLog();
        const auto start = std::chrono::steady_clock::now();
        if (!once()) {
            std::fprintf(stderr, "run %d failed\n", i);
            return false;
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        total += seconds;
        figures->worst = std::max(figures->worst, seconds);
        figures->floor = LoggedFloor(server, &figures->commands);
    }
    figures->mean = total / count;
    return true;
}

void Report(const char* what, int count, const Figures& f) {
    std::printf("%s x%d: %s\n", what, count, f.commands.c_str());
    std::printf("  floor %.4f s; mean %.4f s (ratio %.3f), worst %.4f s (ratio %.3f)\n", f.floor,
                f.mean, f.mean / f.floor, f.worst, f.worst / f.floor);
}

}  // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    const std::string settings = MakeTempFolder("bench-settings");
    const std::string devices = MakeTempFolder("bench-devices");  // no USB serial devices
    if (settings.empty() || devices.empty()) {
        std::fprintf(stderr, "cannot make a scratch folder\n");
        return 1;
    }

    sim::PtyServerOptions options;  // paced
    options.port_number = kUnitPort;
    options.settings_folder = settings;
    sim::PtyServer server(options);
    std::string error;
    if (!server.Start(&error)) {
        std::fprintf(stderr, "cannot start the simulated unit: %s\n", error.c_str());
        return 1;
    }

    HeadlessUi ui;
    PosixPlatform platform;
    PosixSerialPort port{PortDirectory(settings, devices)};
    Program program(ui, port, platform);
    ui.SetInt(Panel::CONNECT, Control::COM_TIMEOUT, kTimeoutMs);

    Figures search;
    const bool searched = Measure(
        server, count, [&] { return FindUnits(program) == 1; }, [] {}, &search);
    Figures connection;
    ui.SetInt(Panel::CONNECT, Control::PORT, kUnitPort);
    const bool connected =
        searched && Measure(
                        server, count, [&] { return ConnectToPort(program, false) == 0; },
                        [&] { Disconnect(program); }, &connection);
    server.Stop();
    std::error_code ignored;
    std::filesystem::remove_all(settings, ignored);
    std::filesystem::remove_all(devices, ignored);
    if (!connected) {
        return 1;
    }
    Report("FindUnits over 30 ports, unit on port 5", count, search);
    Report("ConnectToPort", count, connection);
    return 0;
}
