// Renders the main window, and on request the three pop-up panels, to PNG files without a
// screen (QT_QPA_PLATFORM=offscreen), so the README's picture can be made again at will.
//
//   keelsong_screenshot MAIN.png [CONNECT.png ADVANCED.png AUTO.png]
//
// The program starts as keelsong does, from the user settings of the environment (so a
// settings file naming a simulated unit's port shows the window connected to it). Pop-ups
// that would wait for a person are answered with their Escape button.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QStyleFactory>
#include <cstdio>

#include "gui/desktop_program.h"

namespace {

void Settle(int milliseconds) {
    const QDeadlineTimer deadline(milliseconds);
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 5) {
        std::fprintf(stderr, "usage: %s MAIN.png [CONNECT.png ADVANCED.png AUTO.png]\n", argv[0]);
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

    constexpr keelsong::Panel kPopups[] = {keelsong::Panel::CONNECT, keelsong::Panel::ADVANCED,
                                           keelsong::Panel::AUTO};
    keelsong::QtUi& ui = program.Window();
    for (keelsong::Panel popup : kPopups) {
        ui.RemovePopup(popup);
    }
    Settle(100);
    int failures = ui.SavePanelPicture(keelsong::Panel::MAIN, argv[1]) < 0 ? 1 : 0;
    for (int i = 2; i < argc; ++i) {
        const keelsong::Panel popup = kPopups[i - 2];
        ui.InstallPopup(popup);
        Settle(200);
        failures += ui.SavePanelPicture(popup, argv[i]) < 0 ? 1 : 0;
        ui.RemovePopup(popup);
    }
    program.ShutDown();
    return failures == 0 ? 0 : 1;
}
