// Renders the main window, and on request the three pop-up panels, to PNG files without a
// screen (QT_QPA_PLATFORM=offscreen), so the README's picture can be made again at will.
//
//   keelsong_screenshot [--load FILE.tlk] MAIN.png [CONNECT.png ADVANCED.png AUTO.png]
//   keelsong_screenshot --fleet DEPLOYMENT FLEET.png
//
// The program starts as keelsong does, from the user settings of the environment (so a
// settings file naming a simulated unit's port shows the window connected to it). With
// --load, the configuration file is loaded through "Load" and sent with "Accept Changes"
// before the picture is taken. Pop-ups that would wait for a person are answered with their
// Escape button. With --fleet the picture is of the fleet window instead, on every unit the
// settings' ports reach, once the deployment (a manifest or one file) has been chosen and
// written to all of them.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QFileDialog>
#include <QStyleFactory>
#include <cstdio>
#include <cstring>
#include <string>

#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>

#include "gui/desktop_program.h"
#include "gui/fleet_window.h"

namespace {

void Settle(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

template <class Done>
bool SettleUntil(Done done, int seconds) {
    const QDeadlineTimer deadline(seconds * 1000);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

int FleetPicture(const std::string& deployment, const std::string& picture) {
    keelsong::cli::FleetSettings settings;
    settings.settings_folder = keelsong::PosixPlatform().SettingsFolder();
    settings.environment = keelsong::PosixPlatform::ProcessEnvironment();
    keelsong::FleetWindow window(settings, {});
    window.SetDialogDriver([&deployment](QDialog& dialog) {
        if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
            files->selectFile(QString::fromStdString(deployment));
            dialog.accept();
        } else if (auto* box = qobject_cast<QMessageBox*>(&dialog)) {
            box->buttons().constFirst()->click();  // "Write"
        } else {
            dialog.reject();
        }
    });
    window.resize(1180, 250);
    window.show();
    auto* table = window.findChild<QTableView*>(QStringLiteral("fleetTable"));
    const auto press = [&window](const char* name) {
        window.findChild<QPushButton*>(QLatin1String(name))->click();
    };
    Settle(1500);
    if (!SettleUntil([&] { return table->model()->rowCount() > 0 && !window.Busy(); }, 60)) {
        std::fprintf(stderr, "no unit answered\n");
        return 1;
    }
    press("chooseDeployment");
    SettleUntil([&] { return !window.Busy(); }, 120);
    table->selectAll();
    press("writeDeployment");
    SettleUntil([&] { return !window.Busy(); }, 300);
    table->clearSelection();
    Settle(300);
    return window.grab().save(QString::fromStdString(picture)) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--fleet") == 0) {
        QApplication application(argc, argv);
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        return FleetPicture(argv[2], argv[3]);
    }
    std::string table;
    int first_picture = 1;
    if (argc > 2 && std::strcmp(argv[1], "--load") == 0) {
        table = argv[2];
        first_picture = 3;
    }
    const int pictures = argc - first_picture;
    if (pictures < 1 || pictures > 4) {
        std::fprintf(stderr,
                     "usage: %s [--load FILE.tlk] MAIN.png [CONNECT.png ADVANCED.png AUTO.png]\n"
                     "       %s --fleet DEPLOYMENT FLEET.png\n",
                     argv[0], argv[0]);
        return 2;
    }
    QApplication application(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    keelsong::DesktopProgram program;
    if (!program.PanelsLoaded()) {
        std::fprintf(stderr, "the forms lack controls\n");
        return 1;
    }
    program.Window().SetPopupDriver([](QDialog& dialog) { dialog.reject(); });
    program.Start();
    Settle(2500);

    keelsong::QtUi& ui = program.Window();
    if (!table.empty()) {
        ui.SetPopupDriver([&table](QDialog& dialog) {
            auto* files = qobject_cast<QFileDialog*>(&dialog);
            if (!files) {
                dialog.reject();
                return;
            }
            files->selectFile(QString::fromStdString(table));
            dialog.accept();
        });
        ui.Dispatch(keelsong::Panel::MAIN, keelsong::Control::LOAD_EVENTS,
                    keelsong::UiEvent::Commit);
        ui.SetPopupDriver([](QDialog& dialog) { dialog.reject(); });
        ui.Dispatch(keelsong::Panel::MAIN, keelsong::Control::ACCEPT_CHANGES,
                    keelsong::UiEvent::Commit);
        Settle(1500);
    }

    constexpr keelsong::Panel kPopups[] = {keelsong::Panel::CONNECT, keelsong::Panel::ADVANCED,
                                           keelsong::Panel::AUTO};
    for (keelsong::Panel popup : kPopups) {
        ui.RemovePopup(popup);
    }
    Settle(100);
    int failures = ui.SavePanelPicture(keelsong::Panel::MAIN, argv[first_picture]) < 0 ? 1 : 0;
    for (int i = first_picture + 1; i < argc; ++i) {
        const keelsong::Panel popup = kPopups[i - first_picture - 1];
        ui.InstallPopup(popup);
        Settle(200);
        failures += ui.SavePanelPicture(popup, argv[i]) < 0 ? 1 : 0;
        ui.RemovePopup(popup);
    }
    program.ShutDown();
    return failures == 0 ? 0 : 1;
}
