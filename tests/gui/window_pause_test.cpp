// The window while the program talks to the unit: its pauses wait in the event loop, so that
// the window keeps its clock going through a long exchange without polling in the middle of it.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <set>
#include <string>

#include "app/events/event_grid.h"
#include "app/events/event_transfer.h"
#include "app/setup/setup_panel.h"
#include "app/shell/callbacks.h"
#include "app/state/program.h"
#include "app/unit/enquiry.h"
#include "app/unit/status_display.h"
#include "gui/event_loop_platform.h"
#include "gui/event_table_view.h"
#include "gui/qt_ui.h"
#include "gui_support.h"
#include "platform/posix_platform.h"
#include "platform/posix_serial_port.h"
#include "sim/pty_server.h"
#include "support/temp_dir.h"

namespace keelsong {
namespace {

struct WindowPauseTest : ::testing::Test, testing::WithApplication {};

sim::PtyServerOptions Paced(bool paced) {
    sim::PtyServerOptions options;
    options.pacing = paced;
    return options;
}

// The window's program connected to a simulated unit over a pseudo-terminal, its pauses in the
// event loop.
struct WindowOnSimulator {
    WindowOnSimulator(sim::UnitSimulator unit, bool paced)
        : server(Paced(paced), std::move(unit)) {}
    // Serving, the port open, the unit enquired.
    void Connect() {
        std::string error;
        ASSERT_TRUE(server.Start(&error)) << error;
        ASSERT_EQ(port.OpenPath(server.Path()), 0);
        port.SetTimeout(0.6);
        ui.Attach(program);
        InstallSetupPanel(program);
        program.Link().Settings().open = 1;
        ASSERT_GE(EnquireUnit(program, false), 0);
    }
    ~WindowOnSimulator() { ui.Detach(); }

    sim::PtyServer server;
    testing::TempDir temp;
    PosixPlatform machine{testing::WithDataHome(temp / "data")};
    EventLoopPlatform platform{machine};
    PosixSerialPort port{PortDirectory(temp / "config")};
    QtUi ui;
    Program program{ui, port, platform};
};

TEST_F(WindowPauseTest, FortyEventRead_ClockTicksThroughItAndNothingElseIsSent) {
    sim::UnitSimulator unit;
    for (uint16_t tenths = 1; tenths <= EventGridModel::kMaxRows; ++tenths) {
        unit.Events().push_back({3, {static_cast<uint8_t>(tenths), 0}});  // Rests
    }
    WindowOnSimulator window(std::move(unit), true);  // paced: the read takes over 4 s
    ASSERT_NO_FATAL_FAILURE(window.Connect());
    sim::PtyServer& server = window.server;
    QtUi& ui = window.ui;
    Program& program = window.program;
    program.Status().Activity().idle_seconds = 100;  // a poll would be due at the next tick

    // What the clock shows, looked at every tenth of a second from inside the pauses.
    std::set<std::string> times_seen;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout,
                     [&] { times_seen.insert(ui.TextValue(Panel::MAIN, Control::TIME)); });
    watch.start(100);
    server.ClearRequestLog();

    EXPECT_EQ(RetrieveEventTable(program), 0);

    watch.stop();
    EXPECT_EQ(program.Grid().RowCount(), EventGridModel::kMaxRows);
    EXPECT_EQ(server.RequestCount(), size_t{EventGridModel::kMaxRows + 1}) << "no poll between";
    // Over four seconds the clock shows at least three different times, however loaded the
    // machine: its timer runs in every pause that finds it due.
    EXPECT_GE(times_seen.size(), 3u);
}

// The user types into a cell, the idle poll runs, and the key that commits the number comes
// in during the poll's pause: the window keeps that key until the exchange is over, and the
// number typed must be what the key commits.
TEST_F(WindowPauseTest, NumberTypedWhenThePollStarts_IsWhatTheKeyAfterItCommits) {
    namespace col = grid_column;
    WindowOnSimulator window(sim::UnitSimulator{}, false);
    ASSERT_NO_FATAL_FAILURE(window.Connect());
    Program& program = window.program;
    SetUnitControlsDimmed(program, false);
    EventGridModel& grid = program.Grid();
    Press(program, Panel::MAIN, Control::EVENT_ADD);
    grid.UserSetText(col::kType, 1, "Rest");
    Press(program, Panel::MAIN, Control::EVENT_TABLE, UiEvent::ValueChanged, 1, col::kType);
    window.ui.MainWindow()->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.ui.MainWindow()));
    auto* view =
        qobject_cast<EventTableView*>(window.ui.ControlWidget(Panel::MAIN, Control::EVENT_TABLE));
    ASSERT_NE(view, nullptr);

    struct Case {
        Qt::Key commit;
        const char* typed;
        double kept;
    };
    for (const Case& c : {Case{Qt::Key_Return, "3.3", 3.3}, Case{Qt::Key_Tab, "46", 46}}) {
        SCOPED_TRACE(c.typed);
        view->setFocus();
        view->setCurrentIndex(view->model()->index(0, col::kDuration - 1));
        QTest::keyClicks(view, QString(c.typed).left(1));  // opens the editor
        QTest::keyClicks(QApplication::focusWidget(), QString(c.typed).mid(1));
        window.server.ClearRequestLog();
        program.Status().Activity().idle_seconds = 100;
        Press(program, Panel::MAIN, Control::TIMER, UiEvent::TimerTick);
        ASSERT_GE(window.server.RequestCount(), 1u) << "the poll ran";
        QTest::keyClick(QApplication::focusWidget(), c.commit);
        QApplication::processEvents();
        EXPECT_DOUBLE_EQ(grid.Number(col::kDuration, 1), c.kept);
    }
}

TEST_F(WindowPauseTest, UnitReplacedRaisedByThePoll_ClockRunsWhileTheMessageIsUp) {
    sim::UnitSimulator unit;
    sim::PtyServerOptions unpaced;
    unpaced.pacing = false;
    sim::PtyServer server(unpaced, unit);
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    testing::TempDir temp;
    PosixPlatform machine{testing::WithDataHome(temp / "data")};
    EventLoopPlatform platform(machine);
    PosixSerialPort port{PortDirectory(temp / "config")};
    ASSERT_EQ(port.OpenPath(server.Path()), 0);
    port.SetTimeout(0.6);
    QtUi ui;
    Program program(ui, port, platform);
    ui.Attach(program);
    InstallSetupPanel(program);
    program.Link().Settings().open = 1;
    ASSERT_GE(EnquireUnit(program, false), 0);
    server.WithSimulator([](sim::UnitSimulator& u) { u.State().serial_number = 2001; });
    program.Status().Activity().idle_seconds = 100;  // the next tick polls, and finds 2001

    // The message stays up for 3.5 s; what the clock shows meanwhile is looked at every tenth.
    bool message_up = false;
    bool answered = false;
    std::set<std::string> times_while_up;
    ui.SetPopupDriver([&](QDialog& dialog) {
        message_up = true;
        QTimer::singleShot(3500, &dialog, [&] {
            message_up = false;
            answered = true;
            dialog.accept();
        });
    });
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (message_up) {
            times_while_up.insert(ui.TextValue(Panel::MAIN, Control::TIME));
        }
    });
    watch.start(100);

    const QDeadlineTimer deadline(10000);
    while (!answered && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    watch.stop();
    ASSERT_TRUE(answered) << "the poll raised no pop-up";
    EXPECT_EQ(program.Identity().SerialNumber(), 2001);
    // Three and a half seconds of a running clock show at least three different times.
    EXPECT_GE(times_while_up.size(), 3u);
    ui.Detach();
}

}  // namespace
}  // namespace keelsong
