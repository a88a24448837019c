#pragma once

#include <cstdio>
#include <string>

#include "platform/posix_serial_port.h"
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

}  // namespace keelsong
