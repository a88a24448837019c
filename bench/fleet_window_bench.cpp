// Measures how long the fleet window's event loop can go without a turn while it writes a
// 40-event deployment to four simulated units at once, each pacing its line at 19200 baud with
// the real 0.1 s pauses: a 5 ms timer notes the longest gap between its turns, from the click
// on "Write Deployment" until every row is done. Run offscreen (QT_QPA_PLATFORM=offscreen).
// Optional argument: the number of units (default 4).
#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "gui/fleet_window.h"
#include "paced_unit.h"
#include "sim/pty_server.h"

using namespace keelsong;

namespace {

constexpr qint64 kTargetMs = 50;

// Runs the event loop until `done` holds or `seconds` pass; false on time-out.
template <class Done>
bool SpinUntil(Done done, int seconds) {
    QElapsedTimer since;
    since.start();
    while (!done()) {
        if (since.elapsed() > seconds * 1000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int units = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, 16) : 4;
    QApplication application(argc, argv);
    std::string folder =
        (std::filesystem::temp_directory_path() / "keelsong-fleet-window-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        std::fprintf(stderr, "cannot make a scratch folder\n");
        return 1;
    }
    std::vector<std::unique_ptr<sim::PtyServer>> servers = StartPacedUnits(folder, units, 2000);
    if (servers.empty()) {
        return 1;
    }
    const std::string deployment = folder + "/deploy.tlk";
    {
        std::ofstream file(deployment, std::ios::binary);
        for (int k = 1; k <= 40; ++k) {
            file << "[Event " << (k < 10 ? "0" : "") << k
                 << "]\r\nType = 5\r\nFrequency = " << 10000 + 100 * k
                 << "\r\nTime = 20\r\nLevel = 7\r\n\r\n";
        }
    }

    cli::FleetSettings settings;
    settings.settings_folder = folder;
    settings.device_folder = folder + "/no-devices";
    settings.environment = {{"XDG_DATA_HOME", folder + "/data"}};
    FleetWindow window(settings, {});
    window.SetDialogDriver([&](QDialog& dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            files->selectFile(QString::fromStdString(deployment));
            dialog.accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            box->buttons().constFirst()->click();  // "Write"
        }
    });
    window.show();
    auto* table = window.findChild<QTableView*>(QStringLiteral("fleetTable"));
    auto* status = window.findChild<QLabel*>(QStringLiteral("fleetStatus"));
    const auto press = [&](const char* name) {
        window.findChild<QPushButton*>(QLatin1String(name))->click();
    };
    if (!SpinUntil([&] { return table->model()->rowCount() == units && !window.Busy(); }, 60)) {
        std::fprintf(stderr, "the units did not all show\n");
        return 1;
    }
    press("chooseDeployment");
    if (!SpinUntil([&] { return !window.Busy(); }, 120)) {
        std::fprintf(stderr, "the comparison did not end\n");
        return 1;
    }

    qint64 longest = 0;
    size_t turns = 0;
    QElapsedTimer gap;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        longest = std::max(longest, gap.restart());
        ++turns;
    });
    table->selectAll();
    QElapsedTimer took;
    took.start();
    gap.start();
    probe.start(5);
    press("writeDeployment");
    const bool over =
        SpinUntil([&] { return status->text().contains(QStringLiteral("done on")); }, 300);
    probe.stop();
    std::printf("%s\n", qPrintable(status->text()));
    std::printf(
        "%d units written at once in %.1f s: longest stall of the event loop %lld ms "
        "over %zu turns of a 5 ms timer (target under %lld ms): %s\n",
        units, static_cast<double>(took.elapsed()) / 1000.0, static_cast<long long>(longest), turns,
        static_cast<long long>(kTargetMs), longest < kTargetMs ? "met" : "NOT met");
    servers.clear();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return over && status->text().contains(QStringLiteral("done on %1 of").arg(units)) ? 0 : 1;
}
