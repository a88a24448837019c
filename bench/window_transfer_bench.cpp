// The transfer benchmark in the window: the same "Accept Changes" of 40 events over 40 and the
// same 40-event read as transfer_bench, with the program's window shown (offscreen unless
// QT_QPA_PLATFORM names another platform) and its pauses waiting in the event loop, so that
// every repaint, clock tick and progress step the window makes is in the time measured.
#include <QApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>

#include "app/state/program.h"
#include "gui/event_loop_platform.h"
#include "gui/qt_ui.h"
#include "paced_unit.h"
#include "platform/posix_platform.h"
#include "platform/posix_serial_port.h"
#include "sim/pty_server.h"
#include "transfer_measure.h"

using namespace keelsong;

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);

    sim::PtyServer server;  // paced by default
    PosixPlatform posix;
    bench::WithoutHistory machine(posix);
    EventLoopPlatform platform(machine);
    PosixSerialPort port{PortDirectory(machine.SettingsFolder())};
    if (!OpenPacedUnit(server, port)) {
        return 1;
    }
    QtUi ui;
    Program program(ui, port, platform);
    ui.Attach(program);
    ui.MainWindow()->show();
    const int result = bench::MeasureTransfers(program, server, runs);
    ui.Detach();
    return result;
}
