// Times "Accept Changes" replacing a 40-event table by another of 40, and reading a 40-event
// table, against the simulated unit pacing at 19200 baud, with the real 0.1 s pauses. Each is
// printed as a ratio to its floor: the sum over its transactions of the 0.1 s pause or the
// request's and response's time on the line, whichever is longer.
#include <algorithm>
#include <cstdlib>

#include "app/state/program.h"
#include "headless/headless_ui.h"
#include "paced_unit.h"
#include "platform/posix_platform.h"
#include "platform/posix_serial_port.h"
#include "sim/pty_server.h"
#include "transfer_measure.h"

using namespace keelsong;

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

    sim::PtyServer server;  // paced by default
    HeadlessUi ui;
    PosixPlatform machine;
    bench::WithoutHistory platform(machine);
    PosixSerialPort port{PortDirectory(platform.SettingsFolder())};
    if (!OpenPacedUnit(server, port)) {
        return 1;
    }
    Program program(ui, port, platform);
    return bench::MeasureTransfers(program, server, runs);
}
