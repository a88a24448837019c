#include "gui/desktop_program.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>
#include <QStyleFactory>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "app/connection/connection.h"
#include "app/files/config_file_io.h"
#include "app/wiring/startup.h"
#include "gui/command_line.h"
#include "keelsong_version.h"

// The icon is a resource of this static library: nothing would pull it into a program without
// this call. Qt's macro must stand outside any namespace.
static void InitIconResource() {
    Q_INIT_RESOURCE(keelsong);
}

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

int DesktopProgram::Start(const std::string& config_file) {
    ui_->Attach(*program_);
    program_->GetShell().SetQuitHandler([] { QCoreApplication::quit(); });
    if (auto* fleet = ui_->MainWindow()->findChild<QPushButton*>(QStringLiteral("fleetButton"))) {
        QObject::connect(fleet, &QPushButton::clicked, fleet, [this] { ShowFleet(); });
    }
    const int settings_loaded =
        StartProgram(*program_, default_folder_, [this] { ui_->MainWindow()->show(); });
    if (!config_file.empty()) {
        LoadConfigFileFrom(*program_, config_file);
    }
    return settings_loaded;
}

std::string DesktopProgram::TraceTo(const std::string& path,
                                    std::vector<std::string> command_line) {
    const TraceOrigin origin{"keelsong", kVersion, std::move(command_line),
                             DescribePorts(port_, {})};
    std::string problem;
    std::unique_ptr<FileFrameTrace> trace = FileFrameTrace::Open(path, origin, &problem);
    if (!trace) {
        return problem;
    }
    program_->Link().SetTrace(trace.get());
    trace_ = std::move(trace);
    return {};
}

void DesktopProgram::ShowFleet() {
    if (!fleet_window_) {
        cli::FleetSettings settings;
        settings.settings_folder = platform_.SettingsFolder();
        settings.environment = PosixPlatform::ProcessEnvironment();
        settings.timeout_ms = program_->Link().Settings().timeout_ms;
        settings.trace = trace_.get();
        FleetWindow::Hooks hooks;
        hooks.main_port = [this]() -> std::optional<int> {
            const ConnectionSettings& link = program_->Link().Settings();
            return link.open ? std::optional<int>(link.port_number) : std::nullopt;
        };
        hooks.open_in_main = [this](int port) {
            QWidget* window = ui_->MainWindow();
            window->show();
            window->raise();
            window->activateWindow();
            ui_->RunOperation([port](Program& program) {
                ConnectToUnit(program, ConnectRequest{port, program.Link().Settings().timeout_ms,
                                                      true, UnitContents::Read});
            });
        };
        fleet_window_ = std::make_unique<FleetWindow>(std::move(settings), std::move(hooks));
        fleet_window_->SetStartFolder(QString::fromStdString(default_folder_));
    }
    fleet_window_->show();
    fleet_window_->raise();
    fleet_window_->activateWindow();
}

void DesktopProgram::ShutDown() {
    // The fleet window closes only once its units are done; its fleet waits for any task
    // still under way, so none is cut short.
    fleet_window_.reset();
    ShutDownProgram(*program_);
}

void SetDesktopIdentity() {
    InitIconResource();
    QGuiApplication::setDesktopFileName(QString::fromLatin1(kApplicationId));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/%1.svg").arg(kApplicationId)));
}

namespace {

// A file named on the command line, as the program keeps it: by its full path, which "Load"
// remembers as the folder to start from next time, in the file system's own encoding.
std::string ConfigFilePath(const QString& argument) {
    if (argument.isEmpty()) {
        return {};
    }
    return QFile::encodeName(QFileInfo(argument).absoluteFilePath()).toStdString();
}

}  // namespace

int RunKeelsong(int& argc, char** argv) {
    // --help and --version are answered before the application exists: they need no display.
    const CommandLine early = ReadCommandLine(ArgumentsOf(argc, argv));
    if (early.action == CommandLine::Action::kShowHelp ||
        early.action == CommandLine::Action::kShowVersion) {
        std::fputs(qPrintable(early.text), stdout);
        return 0;
    }

    // As typed, for the trace: Qt takes its own options out of argv.
    const std::vector<std::string> started_as(argv, argv + argc);
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
    // Qt has taken its own options (-platform, -style and the like) out of the arguments.
    const CommandLine line = ReadCommandLine(QCoreApplication::arguments());
    if (line.action == CommandLine::Action::kBadUsage) {
        std::fputs(qPrintable(line.text), stderr);
        return 2;
    }
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setApplicationName(QStringLiteral("Keelsong"));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersion));
    SetDesktopIdentity();

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
    if (!line.trace_file.isEmpty()) {
        const std::string path = QFile::encodeName(line.trace_file).toStdString();
        if (const std::string problem = program->TraceTo(path, started_as); !problem.empty()) {
            std::fprintf(stderr, "keelsong: cannot write the trace to %s: %s\n", path.c_str(),
                         problem.c_str());
            return 1;
        }
    }
    program->Start(ConfigFilePath(line.config_file));
    if (line.fleet) {
        program->ShowFleet();
    }
    QApplication::exec();
    program->ShutDown();
    return 0;
}

}  // namespace keelsong
