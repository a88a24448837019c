#include "gui/desktop_program.h"

#include <QApplication>
#include <QMessageBox>
#include <QStyleFactory>
#include <cstdio>
#include <new>

#include "app/startup.h"

namespace keelsong {

namespace {

constexpr char kStartupFailure[] = "Program Startup Failure";

}  // namespace

DesktopProgram::DesktopProgram()
    : default_folder_(MakeDefaultFolder(platform_)),
      ui_(std::make_unique<QtUi>()),
      port_(PortDirectory(platform_.SettingsFolder())),
      program_(std::make_unique<Program>(*ui_, port_, platform_)) {}

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
    try {
        application = std::make_unique<QApplication>(argc, argv);
    } catch (const std::bad_alloc&) {
        // Without a run-time there is no window to show the message in.
        std::fprintf(stderr, "%s: Out of Memory\n", kStartupFailure);
        return 1;
    }
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
