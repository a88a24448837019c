// Times Enquire transactions against the simulated unit pacing at 19200 baud, and prints the
// mean as a ratio to the transaction's floor: the 0.1 s pause or the request's and response's
// time on the line, whichever is longer.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/link/comm.h"
#include "headless/headless_ui.h"
#include "paced_unit.h"
#include "platform/posix_platform.h"
#include "platform/posix_serial_port.h"
#include "protocol/frame.h"
#include "sim/pty_server.h"

using namespace keelsong;

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;

    sim::PtyServer server;  // paced by default
    HeadlessUi ui;
    PosixPlatform platform;
    PosixSerialPort port{PortDirectory(platform.SettingsFolder())};
    if (!OpenPacedUnit(server, port)) {
        return 1;
    }
    StatusLine status(ui);
    SerialLink link(port, platform, status);

    const size_t response_bytes = server.WithSimulator([](sim::UnitSimulator& unit) {
        return unit.EnquirePayload().size();
    }) + kFrameOverhead;
    const double byte_seconds = 10.0 / 19200.0;
    const double line_seconds = (kFrameOverhead + response_bytes) * byte_seconds;
    const double floor_seconds = std::max(kResponsePauseSeconds, line_seconds);

    double total = 0;
    double worst = 0;
    for (int i = 0; i < count; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const int result = link.SendCommand(Command::Enquire);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (result != static_cast<int>(response_bytes)) {
            std::fprintf(stderr, "transaction %d failed (%d)\n", i, result);
            return 1;
        }
        total += seconds;
        worst = std::max(worst, seconds);
    }
    const double mean = total / count;
    std::printf("Enquire x%d: request 6 B + response %zu B = %.4f s on the line; floor %.4f s\n",
                count, response_bytes, line_seconds, floor_seconds);
    std::printf("mean %.4f s (ratio %.3f), worst %.4f s (ratio %.3f)\n", mean, mean / floor_seconds,
                worst, worst / floor_seconds);
    return 0;
}
