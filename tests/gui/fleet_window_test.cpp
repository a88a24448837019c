// The fleet window offscreen over simulated units on pseudo-terminals: its dialogs answered as
// a person would, its buttons clicked, its rows read off the view.
#include "gui/fleet_window.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <fstream>
#include <map>
#include <set>

#include "cli/cli_fixture.h"
#include "cli/fleet_columns.h"
#include "gui_support.h"
#include "sim/pty_server.h"

namespace keelsong {
namespace {

using cli::FleetColumn;

// The simulated units and scratch folders of keelsong-cli's tests, under a window.
struct FleetWindowTest : testing::CliFixture, testing::WithApplication {
    void Open() {
        cli::FleetSettings fleet;
        fleet.settings_folder = settings.Path();
        fleet.device_folder = devices.Path();
        fleet.environment = {{"XDG_DATA_HOME", data.Path()}};
        fleet.timeout_ms = 150;
        FleetWindow::Hooks hooks;
        hooks.main_port = [this] { return main_port; };
        hooks.open_in_main = [this](int port) {
            opened.push_back(port);
            // The main window lets go of its unit only while it connects the new one, running
            // the event loop in its pauses: the fleet must touch neither port meanwhile.
            QElapsedTimer connecting;
            connecting.start();
            while (connecting.elapsed() < 1200) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                touched_while_opening |= window->Busy();  // nothing else is under way
            }
            main_port = port;
        };
        window = std::make_unique<FleetWindow>(fleet, hooks);
        window->show();
    }

    // Runs the event loop until `done` holds, noting the longest wait between two turns of a
    // 5 ms timer and each row's progress texts.
    template <class Done>
    bool SpinUntil(Done done, int seconds = 30) {
        QElapsedTimer since;
        since.start();
        QElapsedTimer tick;
        tick.start();
        QTimer probe;
        QObject::connect(&probe, &QTimer::timeout, [&] {
            longest_stall_ms = std::max(longest_stall_ms, tick.restart());
            for (int row = 0; row < Table().model()->rowCount(); ++row) {
                const QString text = Cell(row, FleetColumn::Progress);
                if (!text.isEmpty()) {
                    progress_seen[row].insert(text.toStdString());
                }
            }
        });
        probe.start(5);
        while (!done()) {
            if (since.elapsed() > seconds * 1000) {
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        return true;
    }

    QTableView& Table() { return *window->findChild<QTableView*>(QStringLiteral("fleetTable")); }
    QString Cell(int row, FleetColumn column) {
        const auto at = static_cast<int>(column);
        return Table().model()->index(row, at).data().toString();
    }
    QString Status() { return window->findChild<QLabel*>(QStringLiteral("fleetStatus"))->text(); }
    void Click(const char* name) { window->findChild<QPushButton*>(QLatin1String(name))->click(); }
    bool AllRows(FleetColumn column, const std::function<bool(const QString&)>& holds) {
        const int rows = Table().model()->rowCount();
        for (int row = 0; row < rows; ++row) {
            if (!holds(Cell(row, column))) {
                return false;
            }
        }
        return rows > 0;
    }

    std::vector<sim::PtyServer*> servers;
    std::optional<int> main_port;
    std::vector<int> opened;
    bool touched_while_opening = false;
    std::unique_ptr<FleetWindow> window;
    qint64 longest_stall_ms = 0;
    std::map<int, std::set<std::string>> progress_seen;
};

// Selects `path` in a file dialog; clicks `button` in any other.
std::function<void(QDialog&)> Answer(const std::string& path, const std::string& button,
                                     std::vector<testing::SeenDialog>* seen) {
    return [=](QDialog& dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            files->selectFile(QString::fromStdString(path));
            dialog.accept();
            return;
        }
        testing::ClickButton(button, seen)(dialog);
    };
}

TEST_F(FleetWindowTest, FourUnits_DeploymentWrittenRowByRow_TheWindowNeverWaitsOnAUnit) {
    for (int port = 1; port <= 4; ++port) {
        sim::UnitState state;
        // The third unit stores another number of plays than it is sent.
        state.altered_number_of_plays = port == 3 ? std::optional<uint32_t>(9) : std::nullopt;
        servers.push_back(&AddUnit(port, static_cast<uint16_t>(1500 + port), state));
    }
    Open();
    ASSERT_TRUE(SpinUntil([&] {
        return Table().model()->rowCount() == 4 &&
               AllRows(FleetColumn::Serial, [](const QString& s) { return !s.isEmpty(); }) &&
               !window->Busy();
    })) << Status().toStdString();
    EXPECT_EQ(Cell(1, FleetColumn::Type), QStringLiteral("Orvane HF"));
    EXPECT_FALSE(Cell(1, FleetColumn::Clock).isEmpty());
    EXPECT_EQ(Status(), QStringLiteral("4 units found"));

    std::ofstream(files / "deploy.tlk", std::ios::binary)
        << "[Event 01]\r\nType = 3\r\nTime = 50\r\n\r\n[Setup]\r\nNumber of Plays = 2\r\n\r\n";
    std::ofstream(files / "bad.csv") << "serial,file\n1501,nosuch.tlk\n";
    std::vector<testing::SeenDialog> seen;
    window->SetDialogDriver(Answer(files / "bad.csv", "OK", &seen));
    Click("chooseDeployment");
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "bad.csv cannot be used; nothing was changed.");
    EXPECT_EQ(window->findChild<QLabel*>(QStringLiteral("fleetDeployment"))->text(),
              QStringLiteral("none chosen"));

    window->SetDialogDriver(Answer(files / "deploy.tlk", "Write", &seen));
    Click("chooseDeployment");
    ASSERT_TRUE(SpinUntil([&] {
        return AllRows(FleetColumn::Deployed, [](const QString& s) { return s == "differs (2)"; });
    }));

    Table().selectAll();
    longest_stall_ms = 0;
    progress_seen.clear();
    Click("writeDeployment");
    // Closed while the units are at work, the window stays until they are done.
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(seen.back().title, "Write Deployment");
    EXPECT_EQ(seen.back().default_button, "Cancel");
    ASSERT_TRUE(SpinUntil([&] { return Status().contains(QStringLiteral("done on")); }))
        << Status().toStdString();
    EXPECT_FALSE(window->isVisible());

    EXPECT_EQ(Status(), QStringLiteral("Write Deployment: done on 3 of 4 units; failed on port 3 "
                                       "(see Progress)"));
    for (const int row : {0, 1, 3}) {
        EXPECT_EQ(Cell(row, FleetColumn::Progress), QStringLiteral("verified")) << row;
        EXPECT_EQ(Cell(row, FleetColumn::Deployed), QStringLiteral("matches")) << row;
        EXPECT_EQ(servers[static_cast<size_t>(row)]->WithSimulator(
                      [](sim::UnitSimulator& u) { return u.Events(); }),
                  (std::vector<sim::StoredEvent>{{3, {0x32, 0x00}}}));
    }
    EXPECT_TRUE(Cell(2, FleetColumn::Progress).startsWith(QStringLiteral("Verify failed: Setup")))
        << Cell(2, FleetColumn::Progress).toStdString();
    for (int row = 0; row < 4; ++row) {
        EXPECT_GE(progress_seen[row].size(), 3u) << row;  // each row told its own steps
    }
    // Each unit's write takes seconds: a window that waited on one would stall that long.
    EXPECT_LT(longest_stall_ms, 750);

    // A double-click opens the unit in the main window, which had port 4 open; the fleet leaves
    // the unit alone from then on, and looks at port 4's again once the window let it go.
    main_port = 4;
    ASSERT_TRUE(SpinUntil([&] {
        return Cell(3, FleetColumn::Progress) == QStringLiteral("Open in the main window");
    }));
    window->OpenInMainWindow(Table().model()->index(1, 0));
    EXPECT_EQ(opened, std::vector<int>{2});
    EXPECT_FALSE(touched_while_opening);
    EXPECT_TRUE(SpinUntil([&] {
        return Cell(1, FleetColumn::Progress) == QStringLiteral("Open in the main window");
    }));
}

}  // namespace
}  // namespace keelsong
