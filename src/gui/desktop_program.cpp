#include "gui/desktop_program.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "app/startup.h"

namespace keelsong {

namespace {

constexpr char kStartupFailure[] = "Program Startup Failure";

// Qt ends the process with abort() when it cannot start at all (no display, no platform
// plugin). Until the application stands, its fatal message is the reason start-up failed:
// said as such, and the program ends with its own failure status instead of a crash. The
// process ends at once: nothing of the half-made application may run its clean-up.
void StartupMessageHandler(QtMsgType type, const QMessageLogContext& context,
                           const QString& message) {
    if (type != QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
        return;
    }
    std::fprintf(stderr, "%s: %s\n", kStartupFailure, qPrintable(message));
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

DesktopProgram::DesktopProgram()
    : default_folder_(MakeDefaultFolder(platform_)),
      ui_(std::make_unique<QtUi>()),
      port_(PortDirectory(platform_.SettingsFolder())),
      program_(std::make_unique<Program>(*ui_, port_, window_platform_)) {}

DesktopProgram::~DesktopProgram() {
    ui_->Detach();
}

int DesktopProgram::Start() {
    ui_->Attach(*program_);
    program_->GetShell().SetQuitHandler([] { QCoreApplication::quit(); });
    return StartProgram(*program_, default_folder_, [this] { ui_->MainWindow()->show(); });
}

void DesktopProgram::ShutDown() {
    ShutDownProgram(*program_);
}

int RunKeelsong(int& argc, char** argv) {
    std::unique_ptr<QApplication> application;
    qInstallMessageHandler(StartupMessageHandler);
    try {
        application = std::make_unique<QApplication>(argc, argv);
    } catch (const std::bad_alloc&) {
        // Without a run-time there is no window to show the message in.
        std::fprintf(stderr, "%s: Out of Memory\n", kStartupFailure);
        return 1;
    }
    qInstallMessageHandler(nullptr);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(QStringLiteral("Keelsong"));

    std::unique_ptr<DesktopProgram> program;
    try {
        program = std::make_unique<DesktopProgram>();
    } catch (const std::bad_alloc&) {
        program.reset();  // the panels could not be built: told below
    }
    if (!program || !program->PanelsLoaded()) {
        QMessageBox box(QMessageBox::NoIcon, QString::fromLatin1(kStartupFailure),
                        QStringLiteral("Error Loading Display Panels"), QMessageBox::Ok);
        box.exec();
        return 1;
    }
    program->Start();
    QApplication::exec();
    program->ShutDown();
    return 0;
}

}  // namespace keelsong
